#include "compress_test_util.h"

#include "scripted_responder.h"

#include <sys/stat.h>

using namespace comptest;

namespace {

// A stand-in xdg-email that records its arguments, one per line.
std::string installFakeMailer(const std::string &dir, int status = 0)
{
    const std::string record = dir + "/args.txt";
    const std::string script = dir + "/xdg-email";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << record
                          << "'\nexit " << status << "\n";
    chmod(script.c_str(), 0755);
    const std::string path = dir + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
    setenv("PATH", path.c_str(), 1);
    return record;
}

class CompressMail : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveUnzip())
            GTEST_SKIP() << "unzip not installed";
    }
};

TEST_F(CompressMail, WithoutAUiThreadTheLibraryMailsTheArchive)
{
    SourceTree tree("mail");
    const std::string record = installFakeMailer(brxtest::makeScratchDir("mailer"));
    bool done = false;
    plat::HWND owner = plat::createWindow([&](plat::UINT msg, plat::WPARAM, plat::LPARAM l) {
        if (msg == plat::WM_OPERATION_DONE && l == 1)
            done = true;
        return plat::LRESULT{0};
    });
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_MAIL;
    add->parentWnd = owner;
    ASSERT_EQ(Add(add.get()), 1);
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    if (add->progressWnd)
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    EXPECT_EQ(add->result, 0);
    expectSound(tree.archive());
    std::ifstream in(record);
    const std::string args((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(args.find("out.zip"), std::string::npos) << args;
    plat::destroyWindow(owner);
}

TEST_F(CompressMail, WithAUiThreadTheCompletionHandlerMails)
{
    SourceTree tree("nomail");
    const std::string record = installFakeMailer(brxtest::makeScratchDir("mailer2"));
    plat::HWND owner =
        plat::createWindow([](plat::UINT, plat::WPARAM, plat::LPARAM) { return plat::LRESULT{0}; });
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_MAIL;
    add->parentWnd = owner;
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->result, 0);
    expectSound(tree.archive());
    EXPECT_FALSE(fs::exists(record));
    plat::destroyWindow(owner);
}

} // namespace

namespace {

TEST_F(CompressMail, AFailingMailSystemIsReported)
{
    SourceTree tree("mailfail");
    installFakeMailer(brxtest::makeScratchDir("mailer3"), 4);
    brxtest::ScriptedResponder responder;
    responder.answer(61842, plat::IDOK);
    bool done = false;
    plat::HWND owner = plat::createWindow([&](plat::UINT msg, plat::WPARAM, plat::LPARAM) {
        done = done || msg == plat::WM_OPERATION_DONE;
        return plat::LRESULT{0};
    });
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_MAIL;
    add->parentWnd = owner;
    ASSERT_EQ(Add(add.get()), 1);
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    if (add->progressWnd)
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    EXPECT_EQ(add->result, 0);
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].text, "Send Mail failed to send message.");
    plat::destroyWindow(owner);
}

} // namespace

#include "framework/gui.h"

#include <QWidget>

namespace {

// While the mail program runs, the owner and the application's other
// windows take no input; afterwards they all do again.
TEST_F(CompressMail, WindowsAreDisabledWhileTheMailProgramRuns)
{
    SourceTree tree("mailmodal");
    const std::string dir = brxtest::makeScratchDir("mailer4");
    const std::string record = dir + "/args.txt";
    const std::string script = dir + "/xdg-email";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > '" << record << "'\nsleep 1\n";
    chmod(script.c_str(), 0755);
    setenv("PATH", (dir + ":" + std::getenv("PATH")).c_str(), 1);

    bool done = false;
    QWidget ownerWidget;
    ownerWidget.show();
    QWidget other; // a modeless window of the application
    other.show();
    plat::HWND owner = framework::makePlatformWindow(
        &ownerWidget, [&](plat::UINT msg, plat::WPARAM, plat::LPARAM) {
            done = done || msg == plat::WM_OPERATION_DONE;
            return plat::LRESULT{0};
        });
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_MAIL;
    add->parentWnd = owner;
    ASSERT_EQ(Add(add.get()), 1);
    bool seenWhileMailing = false;
    EXPECT_TRUE(pumpUntil([&] {
        if (!done && fs::exists(record) && !seenWhileMailing) {
            seenWhileMailing = true;
            EXPECT_FALSE(ownerWidget.isEnabled());
            EXPECT_FALSE(other.isEnabled());
        }
        return done;
    }));
    if (add->progressWnd)
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    EXPECT_TRUE(seenWhileMailing);
    EXPECT_EQ(add->result, 0);
    EXPECT_TRUE(ownerWidget.isEnabled());
    EXPECT_TRUE(other.isEnabled());
}

} // namespace
