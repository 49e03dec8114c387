// brx cab and brx convert, checked with cabextract and unzip.

#include "cli_test_util.h"
#include "testenv.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace clitest;
namespace fs = std::filesystem;

namespace {

// Bytes that do not compress (a fixed linear congruential sequence).
std::string noise(std::size_t size)
{
    std::string data(size, '\0');
    std::uint32_t x = 12345;
    for (char &c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return data;
}

// cabextract's listing of a cabinet (names with '/').
std::string cabListing(const std::string &cab)
{
    std::string out;
    sh("cabextract -l '" + cab + "'", &out);
    return out;
}

} // namespace

TEST(CliCab, CompressionTypesAndNames)
{
    const std::string root = makeTree("cab-types");
    writeFile(root + "/d/big.txt", std::string(40000, 'b'));
    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> stored; // names cabextract lists
        std::vector<std::string> absent;
    } cases[] = {
        {{"--compression", "none"}, {"d/a.txt", "d/sub/c.txt"}, {}},
        {{"--compression", "mszip", "--folder-per-file"}, {"d/big.txt"}, {}},
        {{"--compression", "lzx", "--window", "21"}, {"d/b.log"}, {}},
        {{"--compression", "lzx", "--window", "15", "--paths", "none"},
         {"a.txt", "c.txt"},
         {"d/a.txt"}},
        {{"--no-recurse"}, {"d/a.txt"}, {"c.txt"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string cab = root + "/c" + std::to_string(n++) + ".cab";
        SCOPED_TRACE(cab);
        std::vector<std::string> args = {"cab", cab, "d", "--recurse", "--base", root};
        if (c.options[0] == "--no-recurse")
            args = {"cab", cab, "d"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        if (c.options[0] == "--no-recurse")
            args.push_back("--base=" + root);
        const Result r = brx(args, root);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::string test;
        EXPECT_EQ(sh("cabextract -t '" + cab + "'", &test), 0) << test;
        const std::string listing = cabListing(cab);
        for (const std::string &name : c.stored)
            EXPECT_NE(listing.find(" " + name + "\n"), std::string::npos) << listing;
        for (const std::string &name : c.absent)
            EXPECT_EQ(listing.find(" " + name + "\n"), std::string::npos) << listing;
    }
    // The content survives the round trip through an independent reader.
    const std::string out = brxtest::makeScratchDir("cab-types-out");
    ASSERT_EQ(sh("cabextract -q -d '" + out + "' '" + root + "/c1.cab'"), 0);
    EXPECT_EQ(readFile(out + "/d/big.txt"), std::string(40000, 'b'));
}

TEST(CliCab, NumberedSetAndReplace)
{
    const std::string root = brxtest::makeScratchDir("cab-set");
    writeFile(root + "/r.bin", noise(150000));
    writeFile(root + "/h.txt", "hello");
    const std::string cab = win(root + "/set.cab");
    const Result r = brx({"cab", cab, root + "/r.bin", root + "/h.txt", "--max-size", "60000",
                          "--compression", "none"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(root + "/set2.cab"));
    EXPECT_TRUE(fs::exists(root + "/set3.cab"));
    EXPECT_LE(fs::file_size(root + "/set.cab"), 60000u);
    std::string test;
    EXPECT_EQ(sh("cabextract -t '" + root + "/set.cab'", &test), 0) << test;

    // An existing cabinet is replaced only when asked to.
    const Result refused = brx({"cab", root + "/set.cab", root + "/h.txt"});
    EXPECT_TRUE(refused.finished);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("--replace"), std::string::npos) << refused.err;
    const Result replaced =
        brx({"cab", root + "/set.cab", root + "/h.txt", "--replace", "--paths", "none"});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_NE(cabListing(root + "/set.cab").find(" h.txt\n"), std::string::npos);
    EXPECT_EQ(cabListing(root + "/set.cab").find("r.bin"), std::string::npos);
}

TEST(CliConvert, ZipToCabinetAndBack)
{
    const std::string root = makeTree("convert");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -r -X -P pw t.zip d"), 0);
    // LZX without --window: a usable window even when the setting has none.
    const Result toCab =
        brx({"convert", root + "/t.zip", root + "/t.cab", "-p", "pw", "--compression", "lzx"});
    ASSERT_EQ(toCab.exitCode, 0) << toCab.err;
    std::string test;
    EXPECT_EQ(sh("cabextract -t '" + root + "/t.cab'", &test), 0) << test;
    const std::string listing = cabListing(root + "/t.cab");
    EXPECT_NE(listing.find(" d/sub/c.txt\n"), std::string::npos) << listing;

    const Result toZip = brx({"convert", win(root + "/t.cab"), win(root + "/back.zip")});
    ASSERT_EQ(toZip.exitCode, 0) << toZip.err;
    EXPECT_EQ(sh("unzip -tq '" + root + "/back.zip'"), 0);
    const auto names = zipNames(root + "/back.zip");
    EXPECT_EQ(names.count("d/sub/c.txt"), 1u);
    EXPECT_EQ(names.count("d/b.log"), 1u);
    std::string content;
    sh("unzip -p '" + root + "/back.zip' d/a.txt", &content);
    EXPECT_EQ(content, "alpha");

    // An existing target stays unless --replace; the direction must change.
    const auto before = fs::file_size(root + "/back.zip");
    EXPECT_EQ(brx({"convert", root + "/t.cab", root + "/back.zip"}).exitCode, 73);
    EXPECT_EQ(fs::file_size(root + "/back.zip"), before);
    EXPECT_EQ(brx({"convert", root + "/t.cab", root + "/back.zip", "--replace"}).exitCode, 0);
    EXPECT_EQ(zipNames(root + "/back.zip"), names);
    EXPECT_EQ(brx({"convert", root + "/t.zip", root + "/other.zip"}).exitCode, 64);
}

TEST(CliConvert, WrongPasswordConvertsNothing)
{
    const std::string root = makeTree("convert-pw");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -r -X -P pw t.zip d"), 0);
    const Result r = brx({"convert", root + "/t.zip", root + "/t.cab", "-p", "nope"});
    EXPECT_TRUE(r.finished);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_FALSE(fs::exists(root + "/t.cab"));
}
