// brx delete and brx comment, checked with unzip.

#include "cli_test_util.h"
#include "testenv.h"

#include <gtest/gtest.h>

using namespace clitest;

TEST(CliDelete, NamedEntriesGoOthersStay)
{
    const std::string root = makeTree("delete");
    writeFile(root + "/a.txt", "top-level a");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -r -X t.zip d a.txt"), 0);
    struct Case {
        std::vector<std::string> names;
        int exitCode;
        std::set<std::string> left;
    } cases[] = {
        // A plain name takes only that stored path, not d/a.txt.
        {{"a.txt"}, 0, {"d/", "d/a.txt", "d/b.log", "d/sub/", "d/sub/c.txt"}},
        {{"D\\SUB\\*"}, 0, {"d/", "d/a.txt", "d/b.log"}},
        {{"d/*.log", "d/a.txt"}, 0, {"d/"}},
        {{"nothing.txt"}, 12, {"d/"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.names[0]);
        std::vector<std::string> args = {"delete", root + "/t.zip"};
        args.insert(args.end(), c.names.begin(), c.names.end());
        const Result r = brx(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(zipNames(root + "/t.zip"), c.left);
        EXPECT_EQ(sh("unzip -tq '" + root + "/t.zip'"), 0);
    }
}

TEST(CliComment, ShowSetClear)
{
    const std::string root = makeTree("comment");
    ASSERT_EQ(sh("cd '" + root +
                 "' && zip -q -r -X t.zip d && echo 'first words' | "
                 "zip -q -z t.zip"),
              0);
    Result r = brx({"comment", root + "/t.zip"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "first words\n");

    r = brx({"comment", win(root + "/t.zip"), "--set", "second\nline two"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string shown;
    sh("unzip -z '" + root + "/t.zip'", &shown);
    EXPECT_NE(shown.find("second\nline two"), std::string::npos) << shown;
    EXPECT_EQ(brx({"comment", root + "/t.zip"}).out, "second\nline two\n");
    EXPECT_EQ(sh("unzip -tq '" + root + "/t.zip'"), 0);

    writeFile(root + "/c.txt", "from a file");
    EXPECT_EQ(brx({"comment", root + "/t.zip", "--file", root + "/c.txt"}).exitCode, 0);
    EXPECT_EQ(brx({"comment", root + "/t.zip"}).out, "from a file\n");

    EXPECT_EQ(brx({"comment", root + "/t.zip", "--clear"}).exitCode, 0);
    r = brx({"comment", root + "/t.zip"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(zipNames(root + "/t.zip").size(), 5u);

    ASSERT_EQ(sh("cd '" + root + "' && gcab -c -z t.cab d/a.txt"), 0);
    EXPECT_EQ(brx({"comment", root + "/t.cab", "--set", "x"}).exitCode, 3);
}

// The sample the README's run command uses is a sound archive with a comment.
TEST(CliSample, ShippedSampleListsTestsAndExtracts)
{
    // The fixtures folder is tests/fixtures of the source tree.
    const std::string sample = brxtest::fixturePath("../../samples/sample.zip");
    EXPECT_EQ(brx({"test", sample}).exitCode, 0);
    EXPECT_EQ(brx({"comment", sample}).out, "Sample archive of Brindle Dovozoz\n");
    EXPECT_EQ(listRows(sample).size(), 4u);
    const std::string out = brxtest::makeScratchDir("sample-out");
    EXPECT_EQ(brx({"extract", sample, "-d", out}).exitCode, 0);
    EXPECT_NE(readFile(out + "/notes/readme.txt").find("brx"), std::string::npos);
}
