// The catalogue's view of an entry: attributes per host system, date text,
// path with backslashes, encrypted and long-name bits.

#include <gtest/gtest.h>

#include "entry_record.h"
#include "pyzipkit.h"
#include "testenv.h"
#include "unzip_test_support.h"

using namespace unziptest;
using unzip::Error;

TEST(EntryRecord, AttributesByHostSystem)
{
    const struct {
        const char *what;
        std::uint16_t madeBy;
        std::uint32_t external;
        std::uint32_t attrs;
    } cases[] = {
        {"DOS read-only archive", 0x0014, 0x21, 0x21},
        {"NTFS hidden system", 0x0A3F, 0x26, 0x26},
        {"VFAT folder", 0x0E14, 0x10, 0x10},
        {"Unix rw-r--r--", 0x031E, 0100644u << 16, 0},
        {"Unix r--r--r--", 0x031E, 0100444u << 16, 0x01},
        {"Unix folder", 0x031E, (0040755u << 16) | 0x10, 0x10},
        {"Unix folder without DOS byte", 0x031E, 0040555u << 16, 0x11},
        {"Unix mode plus DOS hidden", 0x031E, (0100644u << 16) | 0x02, 0x02},
        {"Unix without mode keeps DOS byte", 0x031E, 0x01, 0x01},
        {"DOS ignores high bits", 0x0014, 0100444u << 16, 0},
    };
    for (const auto &c : cases) {
        unzip::CentralEntry e;
        e.versionMadeBy = c.madeBy;
        e.externalAttributes = c.external;
        EXPECT_EQ(unzip::dosAttributes(e), c.attrs) << c.what;
    }
}

TEST(EntryRecord, FieldsFromAnArchive)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("record-fields");
    // DOS date 2021-03-04 = (41 << 9) | (3 << 5) | 4, time 05:06:08 = (5 << 11) | (6 << 5) | 4.
    std::string program = std::string(kPyZipKit) + R"PY(
d = (41 << 9) | (3 << 5) | 4
t = (5 << 11) | (6 << 5) | 4
save(build([entry(b'folder/sub/LongFileName.txt', b'hello' * 100, method=8, date=d, time=t,
                  made_by=0x0314, ext_attr=0o100444 << 16),
            entry(b'TOP.TXT', b'x', flags=1, made_by=0x0014, ext_attr=0x20, date=0, time=0)]))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/r.zip"));
    Parsed p = parse(readBytes(dir + "/r.zip"));
    ASSERT_EQ(p.error, Error::Ok);

    unzip::EntryInfo a;
    ASSERT_TRUE(unzip::fillEntryInfo(p.dir, 0, a));
    EXPECT_EQ(a.entryIndex, 0);
    EXPECT_EQ(a.path, "folder\\sub\\LongFileName.txt");
    EXPECT_EQ(a.hasFolder, 1);
    EXPECT_STREQ(a.dateTime, "03/04/2021 05:06");
    EXPECT_EQ(a.uncompressedSize, 500u);
    EXPECT_LT(a.compressedSize, 500u);
    EXPECT_EQ(a.method, 8);
    EXPECT_EQ(a.attributes, unzip::kAttrReadOnly | unzip::kEntryLongName);
    EXPECT_EQ(a.crc32, p.dir.entries[0].crc32);

    unzip::EntryInfo b;
    ASSERT_TRUE(unzip::fillEntryInfo(p.dir, 1, b));
    EXPECT_EQ(b.entryIndex, 1);
    EXPECT_EQ(b.path, "TOP.TXT");
    EXPECT_EQ(b.hasFolder, 0);
    EXPECT_STREQ(b.dateTime, "00/00/1980 00:00");
    EXPECT_EQ(b.attributes, unzip::kAttrArchive | unzip::kEntryEncrypted);

    EXPECT_FALSE(unzip::fillEntryInfo(p.dir, 2, b));
}

TEST(EntryRecord, PathIsCutToTheRecordAtACharacterBoundary)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("record-long");
    std::string program = std::string(kPyZipKit) + R"PY(
save(build([entry(('a' + 'é' * 1500).encode(), b'', flags=0x800)]))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/l.zip"));
    Parsed p = parse(readBytes(dir + "/l.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    unzip::EntryInfo info;
    ASSERT_TRUE(unzip::fillEntryInfo(p.dir, 0, info));
    EXPECT_EQ(info.path.size(), 2079u); // 'a' plus 1039 two-byte characters
    EXPECT_EQ(info.path.back(), '\xA9');
}

TEST(EntryRecord, UnixModesFromZipTool)
{
    SKIP_WITHOUT("zip");
    std::string dir = brxtest::makeScratchDir("record-unix");
    writeBytes(dir + "/ro.txt", toBytes("r"));
    writeBytes(dir + "/rw.txt", toBytes("w"));
    ASSERT_TRUE(run("cd " + dir +
                    " && mkdir folder && chmod 444 ro.txt && chmod 644 rw.txt && "
                    "zip -q m.zip ro.txt rw.txt folder"));
    Parsed p = parse(readBytes(dir + "/m.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    const struct {
        const char *name;
        std::uint32_t attrs;
    } want[] = {
        {"ro.txt", unzip::kAttrReadOnly}, {"rw.txt", 0}, {"folder/", unzip::kAttrDirectory}};
    for (const auto &w : want) {
        long i = findEntry(p.dir, w.name);
        ASSERT_GE(i, 0) << w.name;
        unzip::EntryInfo info;
        ASSERT_TRUE(unzip::fillEntryInfo(p.dir, static_cast<std::size_t>(i), info));
        EXPECT_EQ(info.attributes & (unzip::kAttrReadOnly | unzip::kAttrDirectory), w.attrs)
            << w.name;
    }
}
