// brx add: folders, wildcards, recursion, path modes, filters, password, move
// and comment, checked with unzip.

#include "cli_test_util.h"
#include "testenv.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace clitest;
namespace fs = std::filesystem;

TEST(CliAdd, SourcesRecursionAndPathModes)
{
    const std::string root = makeTree("add-modes");
    const std::string full = fs::path(root).relative_path().string(); // without the leading '/'
    struct Case {
        std::vector<std::string> args;
        std::set<std::string> names;
    } cases[] = {
        {{"d"}, {"d/a.txt", "d/b.log"}},
        {{"d", "-r"}, {"d/", "d/a.txt", "d/b.log", "d/sub/", "d/sub/c.txt"}},
        {{"d/*.txt", "-r", "--paths", "relative"}, {"a.txt", "sub/", "sub/c.txt"}},
        {{"d/*.*", "-r", "--paths", "none"}, {"a.txt", "b.log", "c.txt"}},
        {{"d/*.*", "--no-recurse", "--paths", "full"}, {full + "/d/a.txt", full + "/d/b.log"}},
        {{"d/*.*", "-r", "--include", "*.log"}, {"b.log"}},
        {{"d/*.*", "-r", "--exclude", ".log", "--paths", "none"}, {"a.txt", "c.txt"}},
        // Windows paths for the sources.
        {{win(root + "/d/a.txt"), win(root) + "\\d\\sub"}, {"a.txt", "sub/c.txt"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string archive = root + "/out" + std::to_string(n++) + ".zip";
        SCOPED_TRACE(archive);
        std::vector<std::string> args = {"add", archive};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = brx(args, root);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(zipNames(archive), c.names);
        EXPECT_EQ(sh("unzip -tq '" + archive + "'"), 0);
    }
}

TEST(CliAdd, PasswordCommentLevelAndMove)
{
    const std::string root = makeTree("add-options");
    const std::string archive = win(root + "/p.zip"); // a Windows path for the archive
    const Result r = brx({"add", archive, "d/*.*", "-r", "--password", "s3cret", "--comment",
                          "made by brx", "--level", "9", "--move"},
                         root);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sh("unzip -tq -P s3cret '" + root + "/p.zip'"), 0);
    EXPECT_NE(sh("unzip -tq -P wrong '" + root + "/p.zip'"), 0);
    std::string comment;
    sh("unzip -z '" + root + "/p.zip'", &comment);
    EXPECT_NE(comment.find("made by brx"), std::string::npos) << comment;
    // Moved: the sources are gone once they are stored.
    EXPECT_FALSE(fs::exists(root + "/d/a.txt"));
    EXPECT_FALSE(fs::exists(root + "/d/sub/c.txt"));
    std::string content;
    sh("unzip -p -P s3cret '" + root + "/p.zip' sub/c.txt", &content);
    EXPECT_EQ(content, "charlie");

    // Adding to the archive keeps what is in it; level 0 stores.
    writeFile(root + "/more.txt", std::string(5000, 'm'));
    const Result more = brx({"add", root + "/p.zip", root + "/more.txt", "--level", "0"});
    ASSERT_EQ(more.exitCode, 0) << more.err;
    EXPECT_EQ(zipNames(root + "/p.zip").count("a.txt"), 1u);
    std::string verbose;
    sh("unzip -Zv '" + root + "/p.zip' more.txt", &verbose);
    EXPECT_NE(verbose.find("none (stored)"), std::string::npos);
}

TEST(CliAdd, Refusals)
{
    const std::string root = makeTree("add-refusals");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"add", root + "/x.zip", root + "/missing.txt"}, 18},
        {{"add", root + "/x.zip", root + "/d/*.none"}, 12},
        {{"add", root + "/x.cab", root + "/d/a.txt"}, 64},
        {{"add", root + "/x.zip", root + "/d/a.txt", "--level", "10"}, 64},
        {{"add", root + "/x.zip", root + "/d/a.txt", "--since", "2024-13-01"}, 64},
        {{"add", root + "/x.zip"}, 64},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back());
        const Result r = brx(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(fs::exists(root + "/x.zip"));
}

TEST(CliAdd, DateFilter)
{
    const std::string root = makeTree("add-since");
    ASSERT_EQ(sh("touch -t 201001010000 '" + root + "/d/b.log'"), 0);
    const Result r =
        brx({"add", root + "/s.zip", root + "/d/*.*", "--since", "2015-06-01", "--paths", "none"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(zipNames(root + "/s.zip"), (std::set<std::string>{"a.txt"}));
}
