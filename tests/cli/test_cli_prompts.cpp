// Questions without a terminal: answered from options or refused with a
// message, never waited for; and the help of every command.

#include "cli_test_util.h"
#include "testenv.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using namespace clitest;
namespace fs = std::filesystem;

TEST(CliPrompts, RemovableDriveQuestions)
{
    const std::string floppy = brxtest::makeScratchDir("prompt-floppy");
    const std::string root = brxtest::makeScratchDir("prompt-src");
    writeFile(root + "/h.txt", "hello");
    setenv("BRX_DRIVES", ("R=removable:1457664:" + floppy).c_str(), 1);
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        std::string hint; // the option the refusal names
        bool made;
    } cases[] = {
        {{}, 9, "--volumes", false},
        {{"--volumes", "keep"}, 1, "--disk", false},
        {{"--volumes", "keep", "--disk", "cancel"}, 1, "", false},
        {{"--volumes", "keep", "--disk", "ready"}, 0, "", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.empty() ? "no answers" : c.options.back());
        std::vector<std::string> args = {"cab", "R:\\x.cab", root + "/h.txt", "--replace"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = brx(args);
        ASSERT_TRUE(r.finished) << "brx waited for an answer";
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
        EXPECT_EQ(fs::exists(floppy + "/x.cab"), c.made);
    }
    EXPECT_EQ(sh("cabextract -t '" + floppy + "/x.cab'"), 0);

    // The same questions for a ZIP archive on the removable drive.
    for (const Case &c : cases) {
        SCOPED_TRACE("add " + (c.options.empty() ? "no answers" : c.options.back()));
        fs::remove(floppy + "/x.zip");
        std::vector<std::string> args = {"add", "R:\\x.zip", root + "/h.txt"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = brx(args);
        ASSERT_TRUE(r.finished) << "brx waited for an answer";
        EXPECT_EQ(r.exitCode, c.made ? 0 : 9) << r.err;
        EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
        EXPECT_EQ(fs::exists(floppy + "/x.zip"), c.made);
    }
    EXPECT_EQ(sh("unzip -tq '" + floppy + "/x.zip'"), 0);
    unsetenv("BRX_DRIVES");
}

TEST(CliHelp, EveryCommandDescribesItself)
{
    for (const std::string command :
         {"list", "test", "extract", "add", "delete", "comment", "cab", "convert"}) {
        SCOPED_TRACE(command);
        const Result r = brx({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("Usage: brx " + command + " ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--help"), std::string::npos);
        EXPECT_EQ(brx({"help", command}).out, r.out);
    }
    const Result overview = brx({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    EXPECT_NE(overview.out.find("convert"), std::string::npos);
    EXPECT_EQ(brx({}).exitCode, 64);
    EXPECT_EQ(brx({"frobnicate"}).exitCode, 64);
    const Result badOption = brx({"extract", "--colour", "x.zip"});
    EXPECT_EQ(badOption.exitCode, 64);
    EXPECT_NE(badOption.err.find("--colour"), std::string::npos);
}

// With a terminal on standard input the questions are asked there (script(1)
// gives brx a pseudo-terminal; the answers are typed after a pause).
TEST(CliPrompts, AskedOnTheTerminal)
{
    if (sh("command -v script") != 0)
        GTEST_SKIP() << "script(1) is not installed";
    const std::string root = makeTree("prompt-tty");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -r -X -P code e.zip d"), 0);
    const std::string out = root + "/out";
    writeFile(out + "/d/a.txt", "old");
    const std::string brxPath = brxtest::binDir() + "/brx";
    // The code typed (no echo) serves every encrypted file; "n" keeps the
    // existing d/a.txt. zip stores d/b.log first, so the code is asked first.
    std::string transcript;
    const int status = sh(
        "(sleep 2; printf 'code\\n'; sleep 1; printf 'n\\n') | timeout 60 script -qec \"'" +
            brxPath + "' extract '" + root + "/e.zip' -d '" + out + "' --overwrite ask\" /dev/null",
        &transcript);
    EXPECT_EQ(status, 0) << transcript;
    EXPECT_NE(transcript.find("[y]es"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("decryption code"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("code\r\n"), std::string::npos) << "the code was echoed";
    EXPECT_EQ(readFile(out + "/d/a.txt"), "old");
    EXPECT_EQ(readFile(out + "/d/sub/c.txt"), "charlie");
}
