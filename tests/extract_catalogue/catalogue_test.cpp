// The catalogue exports of the extract library for ZIP archives.

#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

#include "brxextrc.h"
#include "platform/drives.h"
#include "platform/globalmem.h"
#include "platform/path.h"
#include "pyzipkit.h"
#include "testenv.h"
#include "unzip_test_support.h"

namespace fs = std::filesystem;

namespace {

std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

std::string pyArchive(const std::string &dir, const std::string &name, const std::string &program)
{
    std::string path = dir + "/" + name;
    EXPECT_TRUE(
        unziptest::runPython(std::string(unziptest::kPyZipKit) + program, "'" + path + "'"));
    return path;
}

} // namespace

TEST(CatalogueType, KindByNameAndProbe)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("type");
    std::string sfx = pyArchive(dir, "setup.exe",
                                "save(build([entry(b'a', b'a')], prefix=b'MZ' + b'\\0' * 500))");
    unziptest::writeBytes(dir + "/plain.exe", unziptest::toBytes(std::string(600, 'M')));
    fs::create_directories(dir + "/folder.zip");
    std::string removable = brxtest::makeScratchDir("type-floppy");
    fs::copy_file(sfx, removable + "/setup.exe");
    ASSERT_TRUE(plat::defineDrive({'B', plat::DRIVE_REMOVABLE, removable, 0}));
    struct Case {
        std::string path;
        int kind;
    } cases[] = {
        {"C:\\x\\a.zip", ARCHIVE_ZIP},
        {"C:\\x\\A.ZiP", ARCHIVE_ZIP},
        {"C:\\x\\b.CAB", ARCHIVE_CABINET},
        {"C:\\x\\c.txt", ARCHIVE_UNKNOWN},
        {"C:\\x\\noext", ARCHIVE_UNKNOWN},
        {win(dir) + "\\folder.zip\\file", ARCHIVE_UNKNOWN},
        {win(sfx), ARCHIVE_ZIP},
        {win(dir + "/plain.exe"), ARCHIVE_UNKNOWN},
        {"B:\\setup.exe", ARCHIVE_UNKNOWN},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DetermineFileType(c.path.c_str()), c.kind) << c.path;
    plat::removeDrive('B');
    EXPECT_STREQ(GetTypeString(ARCHIVE_ZIP), "ZIP Archive");
    EXPECT_STREQ(GetTypeString(ARCHIVE_CABINET), "Cabinet File");
    EXPECT_STREQ(GetTypeString(7), "Unknown Type");
}

TEST(CatalogueZip, CountRecordsAndComment)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("zipcat");
    std::string path = win(pyArchive(dir, "c.zip", R"PY(
save(build([entry(b'top.txt', b'1'), entry(b'a/b/c.txt', b'22', method=8)], comment=b'hello'))
)PY"));
    int count = 0;
    ASSERT_EQ(GetFileCount(path.c_str(), &count), 0);
    ASSERT_EQ(count, 2);
    std::vector<ZIPINFOEX> records(count);
    ZIPINFOEX *array = records.data();
    int cabInfo = 1234;
    ASSERT_EQ(LoadFile(path.c_str(), count, &array, &cabInfo), 0);
    EXPECT_EQ(array, records.data());
    EXPECT_EQ(cabInfo, 1234);
    EXPECT_STREQ(records[1].path, "a\\b\\c.txt");
    EXPECT_EQ(+records[1].hasFolder, 1);
    EXPECT_EQ(+records[0].hasFolder, 0);
    EXPECT_EQ(+records[1].entryIndex, 1);

    HGLOBAL comment = GetZipComment(path.c_str());
    ASSERT_NE(comment, nullptr);
    EXPECT_STREQ(static_cast<const char *>(plat::globalLock(comment)), "hello");
    plat::globalUnlock(comment);
    plat::globalFree(comment);

    std::string bare = win(pyArchive(dir, "n.zip", "save(build([entry(b'x', b'y')]))"));
    EXPECT_EQ(GetZipComment(bare.c_str()), nullptr);

    count = 5;
    EXPECT_NE(GetFileCount((win(dir) + "\\missing.zip").c_str(), &count), 0);
    EXPECT_EQ(count, -1);
    count = 5;
    EXPECT_EQ(GetFileCount("C:\\x\\notes.txt", &count), 3);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(ExtractDelete(nullptr, 0), 0);
}

TEST(CatalogueZip, HundredThousandEntriesInLinearTime)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("many");
    std::string path = dir + "/many.zip";
    ASSERT_TRUE(unziptest::runPython(R"PY(
import struct, sys, zlib
n = 100000
out = bytearray(); cd = bytearray()
for i in range(n):
    name = b'dir%03d/file%06d.txt' % (i % 100, i)
    data = b'%d' % i
    crc = zlib.crc32(data)
    off = len(out)
    out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0, 0x5284, crc, len(data), len(data), len(name), 0) + name + data
    cd += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 0, 0, 0x5284, crc, len(data), len(data), len(name), 0, 0, 0, 0, 0, off) + name
cdoff = len(out)
out += cd
out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, n & 0xFFFF, n & 0xFFFF, len(cd), cdoff, 0)
open(sys.argv[1], 'wb').write(out)
)PY",
                                     "'" + path + "'"));
    auto start = std::chrono::steady_clock::now();
    int count = 0;
    ASSERT_EQ(GetFileCount(win(path).c_str(), &count), 0);
    ASSERT_EQ(count, 100000);
    std::vector<ZIPINFOEX> records(count);
    ZIPINFOEX *array = records.data();
    ASSERT_EQ(LoadFile(win(path).c_str(), count, &array, nullptr), 0);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_STREQ(records[99999].path, "dir099\\file099999.txt");
    EXPECT_EQ(+records[99999].entryIndex, 99999);
    EXPECT_EQ(+records[12345].entryIndex, 12345);
    // Quadratic work (re-reading the directory per record) would take minutes.
    EXPECT_LT(elapsed, std::chrono::seconds(30));
}
