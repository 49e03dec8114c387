// Count, entry records and comment through the command block.

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "dunzip.h"
#include "engine_test_support.h"
#include "testenv.h"

using namespace enginetest;

namespace {

UnzipCommand listCommand(int function, const std::string &path)
{
    UnzipCommand cmd;
    initUnzipCommand(cmd);
    cmd.function = function;
    cmd.archivePath = path.c_str();
    cmd.neverPrompt = 1;
    return cmd;
}

const char *kListingProgram = R"PY(
save(build([entry(b'dir/Sub/LongFileName.txt', b'hello', method=8, ext_attr=0x21, made_by=0x0014,
                  date=0x5A21, time=0x7BC0),
            entry(b'README.TXT', b'x' * 1000, method=0, made_by=0x0014),
            entry(b'secret.bin', b'abc', flags=1)],
           comment=b'Archive comment'))
)PY";

} // namespace

TEST(UnzipEngineListing, CountEntriesAndComment)
{
    SKIP_WITHOUT("python3");
    std::string path =
        win(buildWithPython(brxtest::makeScratchDir("listing"), "l.zip", kListingProgram));
    UnzipCommand cmd = listCommand(UNZIP_COUNT, path);
    ASSERT_EQ(dunzipS(&cmd), 0);
    ASSERT_EQ(cmd.count, 3);

    std::vector<ZIPINFOEX> records(4);
    cmd = listCommand(UNZIP_ENTRY, path);
    for (int i = 0; i < 3; ++i) {
        cmd.entryOut = &records[i];
        ASSERT_EQ(dunzipS(&cmd), 0) << i;
    }
    EXPECT_STREQ(records[0].path, "dir\\Sub\\LongFileName.txt");
    EXPECT_EQ(+records[0].hasFolder, 1);
    EXPECT_EQ(+records[0].method, 8);
    EXPECT_EQ(+records[0].uncompressedSize, 5u);
    EXPECT_EQ(+records[0].attributes, ENTRY_READONLY | ENTRY_ARCHIVE | ENTRY_LONG_NAME);
    EXPECT_STREQ(records[0].dateTime, "01/01/2025 15:30");
    EXPECT_EQ(+records[1].entryIndex, 1);
    EXPECT_STREQ(records[1].path, "README.TXT");
    EXPECT_EQ(+records[1].hasFolder, 0);
    EXPECT_EQ(+records[1].compressedSize, 1000u);
    EXPECT_EQ(+records[2].entryIndex, 2);
    EXPECT_TRUE(records[2].attributes & ENTRY_ENCRYPTED);
    // A call past the last entry fails and leaves the record alone.
    records[3].entryIndex = 77;
    cmd.entryOut = &records[3];
    EXPECT_EQ(dunzipS(&cmd), 10);
    EXPECT_EQ(+records[3].entryIndex, 77);

    cmd = listCommand(UNZIP_COMMENT_LENGTH, path);
    ASSERT_EQ(dunzipS(&cmd), 0);
    ASSERT_EQ(cmd.count, 15);
    std::vector<char> buffer(cmd.count + 1, '#');
    cmd.function = UNZIP_COMMENT;
    cmd.commentBuffer = buffer.data();
    ASSERT_EQ(dunzipS(&cmd), 0);
    EXPECT_EQ(std::string(buffer.data(), 15), "Archive comment");
    EXPECT_EQ(buffer[15], '#') << "the text is written unterminated";
}

// The list view leaves folder entries out by their folder bit, whether the
// making tool set the DOS bit, a Unix folder mode or only a trailing slash.
TEST(UnzipEngineListing, FolderEntriesCarryTheFolderBit)
{
    SKIP_WITHOUT("python3");
    std::string path =
        win(buildWithPython(brxtest::makeScratchDir("listing-folders"), "f.zip", R"PY(
save(build([entry(b'dos/', b'', ext_attr=0x10, made_by=0x0014),
            entry(b'unix/', b'', ext_attr=0o40755 << 16, made_by=0x0314),
            entry(b'bare/', b'', made_by=0x0314),
            entry(b'bare/file.txt', b'data', made_by=0x0314)]))
)PY"));
    std::vector<ZIPINFOEX> records(4);
    UnzipCommand cmd = listCommand(UNZIP_ENTRY, path);
    for (int i = 0; i < 4; ++i) {
        cmd.entryOut = &records[i];
        ASSERT_EQ(dunzipS(&cmd), 0) << i;
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(records[i].attributes & ENTRY_FOLDER) << records[i].path;
    EXPECT_FALSE(records[3].attributes & ENTRY_FOLDER);
}

TEST(UnzipEngineListing, FreshBlockStartsAtTheFirstEntry)
{
    SKIP_WITHOUT("python3");
    std::string path =
        win(buildWithPython(brxtest::makeScratchDir("listing2"), "l.zip", kListingProgram));
    std::vector<ZIPINFOEX> a(2), b(1);
    UnzipCommand cmd = listCommand(UNZIP_ENTRY, path);
    cmd.entryOut = &a[0];
    ASSERT_EQ(dunzipS(&cmd), 0);
    cmd.entryOut = &a[1];
    ASSERT_EQ(dunzipS(&cmd), 0);
    EXPECT_EQ(+a[1].entryIndex, 1);
    UnzipCommand other = listCommand(UNZIP_ENTRY, path);
    other.entryOut = &b[0];
    ASSERT_EQ(dunzipS(&other), 0);
    EXPECT_EQ(+b[0].entryIndex, 0);
}

TEST(UnzipEngineListing, FailuresHaveTheirCodes)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("listing-fail");
    writeText(dir + "/plain.zip", std::string(3000, 'x'));
    struct Case {
        std::string path;
        int expected;
    } cases[] = {
        {win(dir) + "\\missing.zip", 9},
        {win(dir + "/plain.zip"), 3},
    };
    for (const Case &c : cases) {
        UnzipCommand cmd = listCommand(UNZIP_COUNT, c.path);
        EXPECT_EQ(dunzipS(&cmd), c.expected) << c.path;
    }
    UnzipCommand bad = listCommand(UNZIP_COUNT, cases[0].path);
    bad.size = 200;
    EXPECT_EQ(dunzipS(&bad), 1);
    bad = listCommand(3, cases[0].path);
    EXPECT_EQ(dunzipS(&bad), 1);
    EXPECT_EQ(dunzipS(nullptr), 1);
}
