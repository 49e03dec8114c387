#include "cab_test_util.h"
#include "scripted_responder.h"

#include <QAbstractButton>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>

using namespace cabtest;

namespace {

class DoCabFlow : public CabTest {};

struct Sources {
    explicit Sources(const std::string &name) : root(brxtest::makeScratchDir(name))
    {
        writeFile(root + "/src/a.bin", noise(30 * 1024, 11));
        writeFile(root + "/src/b.txt", "bee");
        writeFile(root + "/src/sub/c.txt", "sea");
        fs::create_directories(root + "/out");
    }
    std::string src() const { return win(root + "/src"); }
    std::string out() const { return root + "/out"; }
    bool kept() const
    {
        return fs::exists(root + "/src/a.bin") && fs::exists(root + "/src/b.txt") &&
               fs::exists(root + "/src/sub/c.txt");
    }
    std::string root;
};

// Both cabinets of a two-part set exist already. Yes asks for each, Yes to
// All once; Cancel fails the run, keeps the old files and every source.
TEST_F(DoCabFlow, OverwriteWarningAnswers)
{
    struct Case {
        int answer;
        std::size_t asked;
        bool fails;
    };
    const Case cases[] = {{plat::IDYES, 2, false}, {1001, 1, false}, {plat::IDCANCEL, 1, true}};
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "20");
    settings::write(co::MaxDiskUnit, 1);
    settings::write(cc::Move, 1);
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(n);
        Sources sources("overwrite" + std::to_string(n++));
        writeFile(sources.out() + "/o.cab", "old one");
        writeFile(sources.out() + "/o2.cab", "old two");
        brxtest::ScriptedResponder responder;
        responder.answer(176, c.answer);
        responder.answer(65269, plat::IDOK);
        Record cab = newRecord(sources.out() + "/o.cab", {sources.src() + "\\*.*"});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, c.fails ? 1u : 0u);
        const auto requests = responder.requests();
        std::size_t asked = 0;
        for (const auto &request : requests)
            if (request.id == 176) {
                ++asked;
                EXPECT_EQ(request.caption, "Brindle Dovozoz - Overwrite Warning");
                EXPECT_EQ(request.fields.at(1003),
                          asked == 1 ? cab->cabinetPath : win(sources.out() + "/o2.cab"));
            }
        EXPECT_EQ(asked, c.asked);
        if (c.fails) {
            ASSERT_EQ(requests.size(), 2u);
            // The data is still in the writer when the final flush opens
            // the first cabinet.
            EXPECT_EQ(requests[1].text, "Fail to create Cabinet file!");
            EXPECT_EQ(readAll(sources.out() + "/o.cab"), "old one");
            EXPECT_EQ(readAll(sources.out() + "/o2.cab"), "old two");
            EXPECT_TRUE(sources.kept());
        } else {
            EXPECT_EQ(requests.size(), c.asked);
            expectSound(sources.out() + "/o.cab");
            EXPECT_TRUE(readCab(sources.out() + "/o2.cab").valid);
            EXPECT_FALSE(fs::exists(sources.root + "/src/a.bin"));
            EXPECT_TRUE(fs::exists(sources.root + "/src/sub/c.txt")) << "not gathered, not moved";
        }
    }
}

// Cancel on the progress window: no cabinet, message 65269, sources kept
// although they were to be moved.
TEST_F(DoCabFlow, CancelThroughTheProgressWindow)
{
    Sources sources("cancel");
    settings::write(cc::Move, 1);
    brxtest::ScriptedResponder responder;
    responder.answer(65269, plat::IDOK);
    Record cab =
        newRecord(sources.out() + "/c.cab", {sources.src() + "\\a.bin", sources.src() + "\\b.txt"});
    bool clicked = false;
    std::function<void()> clickCancel = [&] {
        auto *window = qobject_cast<QWidget *>(cab->progressWnd);
        auto *button = window ? window->findChild<QAbstractButton *>("2") : nullptr;
        if (!button) {
            QTimer::singleShot(0, clickCancel);
            return;
        }
        button->click();
        clicked = true;
    };
    QTimer::singleShot(0, clickCancel);
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(cab->failed, 1u);
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].text, "Fail to create Cabinet file!");
    EXPECT_TRUE(filesIn(sources.out()).empty());
    EXPECT_TRUE(sources.kept());
}

// A conversion moves the temporary sources in with their folders whatever
// the settings say; a plain move deletes exactly what was stored.
TEST_F(DoCabFlow, MovedSourcesAreDeletedAfterSuccess)
{
    settings::write(cc::Move, 0);
    settings::write(cc::Recurse, 0);
    settings::write(cc::Path, 0);
    Sources converted("convert");
    Record cab = newRecord(converted.out() + "/v.cab", {converted.src() + "\\*.*"});
    cab->flags = ADF_CONVERT;
    std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s", converted.src().c_str());
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 0u);
    EXPECT_EQ(cab->moveFiles, 1u);
    EXPECT_EQ(cab->recurse, 1u);
    EXPECT_EQ(cab->pathMode, 1u);
    EXPECT_EQ(readCab(converted.out() + "/v.cab").names,
              (std::vector<std::string>{"a.bin", "b.txt", "\\sub\\c.txt"}));
    expectSound(converted.out() + "/v.cab");
    EXPECT_FALSE(fs::exists(converted.root + "/src/a.bin"));
    EXPECT_FALSE(fs::exists(converted.root + "/src/sub/c.txt"));

    settings::write(cc::Move, 1);
    Sources moved("move");
    Record plain = newRecord(moved.out() + "/m.cab", {moved.src() + "\\*.*"});
    ASSERT_EQ(runCab(plain.get()), 1);
    EXPECT_EQ(plain->failed, 0u);
    EXPECT_EQ(readCab(moved.out() + "/m.cab").names, (std::vector<std::string>{"a.bin", "b.txt"}));
    EXPECT_FALSE(fs::exists(moved.root + "/src/a.bin"));
    EXPECT_FALSE(fs::exists(moved.root + "/src/b.txt"));
    EXPECT_TRUE(fs::exists(moved.root + "/src/sub/c.txt"));
}

// A file the writer refuses (its stored name is longer than 255 bytes, or
// it cannot be opened and "Skip Lock" is off) fails the run with the
// writer's reason; nothing is moved, not even the file stored before it.
TEST_F(DoCabFlow, FailedRunKeepsEverySource)
{
    settings::write(cc::Move, 1);
    settings::write(cc::Path, 2);
    Sources sources("failed");
    const std::string prefix = win(sources.root + "/src") + "\\";
    // 258 bytes: the stored name without "C:" is 256 bytes long.
    const std::string folder(258 - prefix.size() - std::string("\\x.txt").size(), 'd');
    ASSERT_LT(folder.size(), 255u);
    writeFile(sources.root + "/src/" + folder + "/x.txt", "x");
    const std::string longPath = prefix + folder + "\\x.txt";
    ASSERT_EQ(longPath.size(), 258u);
    fs::create_symlink("/nonexistent/target", sources.root + "/src/locked.txt");
    for (const std::string &refused : {longPath, prefix + "locked.txt"}) {
        SCOPED_TRACE(refused);
        brxtest::ScriptedResponder responder;
        responder.answer(65208, plat::IDOK);
        Record cab = newRecord(sources.out() + "/f.cab", {sources.src() + "\\b.txt", refused});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 1u);
        ASSERT_EQ(responder.requests().size(), 1u);
        EXPECT_EQ(responder.requests()[0].text,
                  "Add failed: Failure opening file to be stored in cabinet\n");
        EXPECT_TRUE(filesIn(sources.out()).empty());
        EXPECT_TRUE(sources.kept());
        EXPECT_TRUE(fs::exists(sources.root + "/src/" + folder + "/x.txt"));
    }
}

// A stand-in xdg-email that records its arguments, one per line.
std::string installFakeMailer(const std::string &dir)
{
    const std::string record = dir + "/args.txt";
    const std::string script = dir + "/xdg-email";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << record
                          << "'\nexit 0\n";
    chmod(script.c_str(), 0755);
    const std::string path = dir + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
    setenv("PATH", path.c_str(), 1);
    return record;
}

// Without a UI thread the library mails every cabinet of the set; with one,
// the completion handler does.
TEST_F(DoCabFlow, MailAfterSuccess)
{
    const std::string record = installFakeMailer(brxtest::makeScratchDir("mailer"));
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "20");
    settings::write(co::MaxDiskUnit, 1);
    Sources sources("mail");
    bool done = false;
    plat::HWND owner = plat::createWindow([&](plat::UINT msg, plat::WPARAM, plat::LPARAM l) {
        done = done || (msg == plat::WM_OPERATION_DONE && l == OPERATION_CABINET);
        return plat::LRESULT{0};
    });
    Record cab = newRecord(sources.out() + "/m.cab", {sources.src() + "\\*.*"});
    cab->flags = ADF_MAIL;
    cab->parentWnd = owner;
    ASSERT_EQ(DoCab(cab.get()), 1);
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    plat::sendMessage(cab->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    EXPECT_EQ(cab->failed, 0u);
    const std::string args = readAll(record);
    EXPECT_NE(args.find(sources.out() + "/m.cab\n"), std::string::npos) << args;
    EXPECT_NE(args.find(sources.out() + "/m2.cab\n"), std::string::npos) << args;

    fs::remove(record);
    Record second = newRecord(sources.out() + "/n.cab", {sources.src() + "\\b.txt"});
    second->flags = ADF_MAIL;
    second->parentWnd = owner;
    ASSERT_EQ(runCab(second.get()), 1);
    EXPECT_EQ(second->failed, 0u);
    EXPECT_FALSE(fs::exists(record));
    plat::destroyWindow(owner);
}

} // namespace
