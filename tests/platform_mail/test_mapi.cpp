#include "platform/errors.h"
#include "platform/mapi.h"
#include "platform/module.h"
#include "platform/path.h"

#include "testenv.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace plat;

namespace {

// A stand-in xdg-email that records its arguments, one per line, and exits
// with the status in FAKE_MAIL_STATUS.
std::string installFakeMailer(const std::string &dir, const std::string &record)
{
    std::string script = dir + "/xdg-email";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << record
                          << "'\nexit ${FAKE_MAIL_STATUS:-0}\n";
    chmod(script.c_str(), 0755);
    return script;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(MailModule, DeclinesToLoadWithoutAMailProgram)
{
    std::string empty = brxtest::makeScratchDir("no-mailer");
    setenv("PATH", empty.c_str(), 1);
    setLastError(0);
    EXPECT_EQ(loadLibrary(kMailModuleName), nullptr);
    EXPECT_EQ(getLastError(), ERROR_DLL_INIT_FAILED);
}

TEST(MailModule, HandsAttachmentsAndRecipientsToTheDesktop)
{
    std::string bin = brxtest::makeScratchDir("mailer");
    std::string record = bin + "/args.txt";
    installFakeMailer(bin, record);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);

    std::string files = brxtest::makeScratchDir("mail-files");
    std::ofstream(files + "/a.zip") << "zip";
    std::string windowsPath = hostToWindowsPath(files + "/a.zip").value();

    HMODULE module = loadLibrary("mapi32.dll");
    ASSERT_NE(module, nullptr);
    auto send = reinterpret_cast<MapiSendMailFn>(getProcAddress(module, kSendMailExport));
    ASSERT_NE(send, nullptr);

    MapiFileDesc file{0, 0, ~0u, windowsPath.data(), windowsPath.data(), nullptr};
    char to[] = "SMTP:someone@example.org";
    MapiRecipDesc recipient{0, MAPI_TO, nullptr, to, 0, nullptr};
    MapiMessage message{};
    message.fileCount = 1;
    message.files = &file;
    message.recipCount = 1;
    message.recips = &recipient;
    EXPECT_EQ(send(0, 0, &message, MAPI_LOGON_UI | MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(readAll(record), "--utf8\n--attach\n" + files + "/a.zip\nsomeone@example.org\n");

    setenv("FAKE_MAIL_STATUS", "4", 1);
    EXPECT_EQ(send(0, 0, &message, MAPI_DIALOG, 0), MAPI_E_FAILURE);
    unsetenv("FAKE_MAIL_STATUS");

    std::string missing = windowsPath + ".gone";
    MapiFileDesc gone{0, 0, ~0u, missing.data(), nullptr, nullptr};
    message.files = &gone;
    EXPECT_EQ(send(0, 0, &message, MAPI_DIALOG, 0), MAPI_E_ATTACHMENT_NOT_FOUND);
}
