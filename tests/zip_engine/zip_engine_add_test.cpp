// Adding files and memory blocks: names, methods, encryption, UTF-8 names,
// comments, filters and ZIP64, each archive checked by the installed tools.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>

#include "archive_file.h"
#include "central_directory.h"
#include "testenv.h"
#include "zip_engine_support.h"

using namespace ziptest;
namespace fs = std::filesystem;

namespace {

unzip::ArchiveDirectory directoryOf(const std::string &path)
{
    unzip::Error err;
    auto file = unzip::HostArchiveFile::open(path, err);
    unzip::ArchiveDirectory dir;
    if (file)
        unzip::readArchiveDirectory(*file, dir);
    return dir;
}

std::vector<std::string> namesOf(const std::map<std::string, Bytes> &entries)
{
    std::vector<std::string> names;
    for (const auto &e : entries)
        names.push_back(e.first);
    return names;
}

struct Tree {
    std::string root;
    explicit Tree(const std::string &name) : root(brxtest::makeScratchDir(name))
    {
        writeText(root + "/data/a.txt", sampleText(5000, 1));
        writeText(root + "/data/b.log", sampleText(300, 2));
        writeText(root + "/data/sub/c.txt", sampleText(7000, 3));
        writeText(root + "/data/sub/deep/d.TXT", "short");
    }
};

} // namespace

struct NameCase {
    const char *label;
    int noFolderNames;
    std::uint16_t options;
    std::vector<std::string> expected; // besides the full-path case
};

class ZipEngineAddNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ZipEngineAddNames, RecursedFolderGetsNamesOfTheChosenMode)
{
    const NameCase &c = GetParam();
    Tree t(std::string("names_") + c.label);
    const std::string zip = t.root + "/out.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({t.root + "/data/*.*"});
    cmd.cmd.recurse = 1;
    cmd.cmd.noFolderNames = c.noFolderNames;
    cmd.cmd.options = c.options;
    ASSERT_EQ(cmd.run(), 0);
    auto entries = readArchive(zip);
    std::vector<std::string> expected = c.expected;
    if (expected.empty()) { // full paths: the host folder without the drive
        std::string base = win(t.root + "/data").substr(3);
        std::replace(base.begin(), base.end(), '\\', '/');
        expected = {base + "/a.txt",     base + "/b.log",     base + "/sub/",
                    base + "/sub/c.txt", base + "/sub/deep/", base + "/sub/deep/d.TXT"};
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesOf(entries), expected);
    const std::map<std::string, std::string> source = {{"a.txt", "a.txt"},
                                                       {"b.log", "b.log"},
                                                       {"c.txt", "sub/c.txt"},
                                                       {"d.TXT", "sub/deep/d.TXT"}};
    for (const auto &[name, bytes] : entries) {
        if (name.back() == '/')
            continue;
        const std::string base = name.substr(name.rfind('/') + 1);
        EXPECT_EQ(bytes, readBytes(t.root + "/data/" + source.at(base))) << name;
    }
    EXPECT_EQ(checkWithTools(zip), "");
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ZipEngineAddNames,
    ::testing::Values(NameCase{"nofolders", 1, 0, {"a.txt", "b.log", "c.txt", "d.TXT"}},
                      NameCase{
                          "relative",
                          0,
                          ZIP_OPT_RELATIVE_FOLDERS,
                          {"a.txt", "b.log", "sub/", "sub/c.txt", "sub/deep/", "sub/deep/d.TXT"}},
                      NameCase{"full", 0, 0, {}}),
    [](const auto &info) { return std::string(info.param.label); });

TEST(ZipEngineAdd, FactorChoosesMethodAndIncompressibleDataIsStored)
{
    const std::string root = brxtest::makeScratchDir("factor");
    writeText(root + "/text.txt", sampleText(200000, 4));
    Bytes noise(100000);
    std::mt19937 rng(9);
    for (auto &b : noise)
        b = static_cast<std::uint8_t>(rng());
    writeBytes(root + "/noise.bin", noise);
    for (int factor : {0, 1, 6, 9}) {
        const std::string zip = root + "/f" + std::to_string(factor) + ".zip";
        Command cmd(ZIP_ADD, zip);
        cmd.files({root + "/text.txt", root + "/noise.bin"});
        cmd.cmd.factor = factor;
        cmd.cmd.noFolderNames = 1;
        ASSERT_EQ(cmd.run(), 0);
        auto dir = directoryOf(zip);
        ASSERT_EQ(dir.entries.size(), 2u);
        for (const auto &e : dir.entries) {
            const auto n = dir.name(e);
            const bool text = std::string(n.begin(), n.end()) == "text.txt";
            EXPECT_EQ(e.method, text && factor > 0 ? 8 : 0) << factor;
            if (text && factor > 0) {
                EXPECT_LT(e.compressedSize, e.uncompressedSize / 3);
            }
        }
        EXPECT_EQ(readArchive(zip)["noise.bin"], noise);
        EXPECT_EQ(checkWithTools(zip), "") << factor;
    }
}

TEST(ZipEngineAdd, MemoryBlockBecomesOneEntryAndReplacesItsNamesake)
{
    const std::string root = brxtest::makeScratchDir("memory");
    const std::string zip = root + "/m.zip";
    for (const std::string &text : {std::string("first version"), sampleText(100000, 5)}) {
        Command cmd(ZIP_ADD_MEMORY, zip);
        cmd.list = "\"notes\\today.txt\"";
        cmd.cmd.sourceData = text.data();
        cmd.cmd.sourceSize = static_cast<std::uint32_t>(text.size());
        ASSERT_EQ(cmd.run(), 0);
        auto entries = readArchive(zip);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries["notes/today.txt"], toBytes(text));
    }
    EXPECT_EQ(checkWithTools(zip), "");
}

TEST(ZipEngineAdd, PasswordEncryptsEveryFileEntry)
{
    const std::string root = brxtest::makeScratchDir("crypt");
    writeText(root + "/in/a.txt", sampleText(20000, 6));
    writeText(root + "/in/empty.txt", "");
    const std::string zip = root + "/c.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.noFolderNames = 1;
    cmd.password = "s3cret";
    ASSERT_EQ(cmd.run(), 0);
    auto dir = directoryOf(zip);
    ASSERT_EQ(dir.entries.size(), 2u);
    for (const auto &e : dir.entries)
        EXPECT_TRUE(e.flags & 1);
    EXPECT_EQ(readArchive(zip, "s3cret")["a.txt"], readBytes(root + "/in/a.txt"));
    EXPECT_EQ(readArchive(zip, "wrong")["a.txt"], toBytes("<unreadable>"));
    EXPECT_EQ(checkWithTools(zip, "s3cret"), "");
    if (haveTool("unzip")) {
        EXPECT_NE(run("unzip -tqq -P wrong " + shellQuote(zip) + " >/dev/null 2>&1"), 0);
    }
}

TEST(ZipEngineAdd, NonAsciiNamesAreMarkedUtf8)
{
    const std::string root = brxtest::makeScratchDir("utf8");
    writeText(root + "/in/Größe €.txt", "umlaut");
    writeText(root + "/in/plain.txt", "ascii");
    const std::string zip = root + "/u.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.noFolderNames = 1;
    ASSERT_EQ(cmd.run(), 0);
    auto dir = directoryOf(zip);
    for (const auto &e : dir.entries) {
        const auto n = dir.name(e);
        const std::string name(n.begin(), n.end());
        EXPECT_EQ((e.flags & 0x800) != 0, name != "plain.txt") << name;
    }
    EXPECT_EQ(readArchive(zip)["Größe €.txt"], toBytes("umlaut"));
    EXPECT_EQ(checkWithTools(zip), "");
    if (haveTool("python3")) {
        EXPECT_EQ(run("python3 -c \"import zipfile,sys; "
                      "sys.exit(0 if 'Größe €.txt' in zipfile.ZipFile(sys.argv[1]).namelist() else "
                      "1)\" " +
                      shellQuote(zip)),
                  0);
    }
}

TEST(ZipEngineAdd, CommentAloneKeepsEntriesAndTheirBytes)
{
    const std::string root = brxtest::makeScratchDir("comment");
    writeText(root + "/a.txt", sampleText(3000, 7));
    const std::string zip = root + "/k.zip";
    Command add(ZIP_ADD, zip);
    add.files({root + "/a.txt"});
    add.cmd.noFolderNames = 1;
    ASSERT_EQ(add.run(), 0);
    const Bytes before = readBytes(zip);

    Command comment(ZIP_ADD, zip);
    comment.cmd.setComment = 1;
    comment.comment = "Made for the test";
    ASSERT_EQ(comment.run(), 0);
    const Bytes after = readBytes(zip);
    auto dir = directoryOf(zip);
    EXPECT_EQ(std::string(dir.comment.begin(), dir.comment.end()), "Made for the test");
    ASSERT_EQ(dir.entries.size(), 1u);
    const std::size_t dataEnd = dir.end.directoryOffset;
    ASSERT_LE(dataEnd, before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + dataEnd, after.begin()));
    EXPECT_EQ(checkWithTools(zip), "");
}

struct FilterCase {
    const char *label;
    std::string include, exclude;
    std::vector<std::string> expected;
};

class ZipEngineAddFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ZipEngineAddFilter, SelectsFilesByNameAndExtension)
{
    const FilterCase &c = GetParam();
    const std::string root = brxtest::makeScratchDir(std::string("filter_") + c.label);
    for (const char *n : {"a.txt", "B.TXT", "c.log", "readme", "d.txt.bak"})
        writeText(root + "/in/" + n, n);
    const std::string zip = root + "/f.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.noFolderNames = 1;
    cmd.include = c.include;
    cmd.exclude = c.exclude;
    ASSERT_EQ(cmd.run(), 0);
    EXPECT_EQ(namesOf(readArchive(zip)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ZipEngineAddFilter,
    ::testing::Values(FilterCase{"ext_include", ".txt", "", {"B.TXT", "a.txt"}},
                      FilterCase{"wild_include", "*.log;readme", "", {"c.log", "readme"}},
                      FilterCase{"exclude_ext", "", ".txt .bak", {"c.log", "readme"}},
                      FilterCase{
                          "exclude_name", "", "README", {"B.TXT", "a.txt", "c.log", "d.txt.bak"}},
                      FilterCase{"both", "*.t*", "b.txt", {"a.txt", "d.txt.bak"}}),
    [](const auto &info) { return std::string(info.param.label); });

struct DateCase {
    const char *text;
    int expectedCount; // of the files dated 1999-12-31, 2001-03-05, 2001-03-06; -1: bad text
};

class ZipEngineAddDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(ZipEngineAddDate, TakesFilesChangedOnOrAfterTheDay)
{
    const std::string root = brxtest::makeScratchDir("date");
    const struct {
        const char *name;
        int y, m, d;
    } files[] = {{"old.txt", 1999, 12, 31}, {"day.txt", 2001, 3, 5}, {"next.txt", 2001, 3, 6}};
    for (const auto &f : files) {
        writeText(root + "/in/" + f.name, f.name);
        std::tm tm{};
        tm.tm_year = f.y - 1900;
        tm.tm_mon = f.m - 1;
        tm.tm_mday = f.d;
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        setMtime(root + "/in/" + f.name, static_cast<long>(std::mktime(&tm)));
    }
    const std::string zip = root + "/d" + std::to_string(std::rand()) + ".zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.noFolderNames = 1;
    cmd.date = GetParam().text;
    const int rc = cmd.run();
    if (GetParam().expectedCount < 0) {
        EXPECT_EQ(rc, 1);
        EXPECT_FALSE(exists(zip));
        return;
    }
    if (GetParam().expectedCount == 0) {
        EXPECT_EQ(rc, 12);
        return;
    }
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(static_cast<int>(readArchive(zip).size()), GetParam().expectedCount);
}

INSTANTIATE_TEST_SUITE_P(Dates, ZipEngineAddDate,
                         ::testing::Values(DateCase{" 3 5 1", 2}, DateCase{" 3 6 1", 1},
                                           DateCase{"12319 ", -1}, DateCase{"123199", 3},
                                           DateCase{" 1 180", 3}, DateCase{" 1 179", 0},
                                           DateCase{"13 1 1", -1}),
                         [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(ZipEngineAdd, ManyEntriesNeedZip64EndRecords)
{
    const std::string root = brxtest::makeScratchDir("zip64");
    const int count = 65540;
    for (int i = 0; i < count; ++i)
        writeText(root + "/in/f" + std::to_string(i), std::to_string(i));
    const std::string zip = root + "/many.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.noFolderNames = 1;
    ASSERT_EQ(cmd.run(), 0);
    auto dir = directoryOf(zip);
    EXPECT_TRUE(dir.end.zip64);
    EXPECT_EQ(dir.entries.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(checkWithTools(zip), "");

    // A small archive stays without ZIP64 records.
    Command small(ZIP_ADD, root + "/few.zip");
    small.files({root + "/in/f1", root + "/in/f2"});
    ASSERT_EQ(small.run(), 0);
    EXPECT_FALSE(directoryOf(root + "/few.zip").end.zip64);
}

TEST(ZipEngineAdd, LargeFileIsStreamedWithDataDescriptorPlainAndEncrypted)
{
    const std::string root = brxtest::makeScratchDir("large");
    std::string text = sampleText(1 << 20, 8);
    std::string big;
    for (int i = 0; i < 66; ++i)
        big += text; // 66 MiB: beyond the whole-entry bound
    writeText(root + "/big.txt", big);
    for (const std::string password : {"", "pw"}) {
        const std::string zip = root + "/big" + password + ".zip";
        Command cmd(ZIP_ADD, zip);
        cmd.files({root + "/big.txt"});
        cmd.cmd.noFolderNames = 1;
        cmd.password = password;
        cmd.cmd.factor = 1;
        ASSERT_EQ(cmd.run(), 0);
        auto dir = directoryOf(zip);
        ASSERT_EQ(dir.entries.size(), 1u);
        EXPECT_TRUE(dir.entries[0].flags & 0x8);
        EXPECT_EQ(dir.entries[0].uncompressedSize, big.size());
        EXPECT_EQ(readArchive(zip, password)["big.txt"].size(), big.size());
        EXPECT_EQ(checkWithTools(zip, password, password.empty()), "") << password;
    }
}
