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
