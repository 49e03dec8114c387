// Entry names: code pages, the Unicode path field, the long-name rule and the
// mapping to a path inside the destination.

#include <gtest/gtest.h>

#include "names.h"
#include "pyzipkit.h"
#include "testenv.h"
#include "unzip_test_support.h"

using namespace unziptest;
using unzip::Error;

TEST(Names, Cp437TableMatchesPython)
{
    SKIP_WITHOUT("python3");
    std::string path = brxtest::makeScratchDir("names-cp437") + "/cp437.txt";
    ASSERT_TRUE(runPython(R"PY(
import sys
open(sys.argv[1], 'wb').write(bytes(range(256)).decode('cp437').encode('utf-8'))
)PY",
                          path));
    Bytes all(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<std::uint8_t>(i);
    Bytes expected = readBytes(path);
    EXPECT_EQ(unzip::cp437ToUtf8(all), std::string(expected.begin(), expected.end()));
}

TEST(Names, StoredNamesDecodeByFlagAndUnicodeField)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("names-archive");
    std::string program = std::string(kPyZipKit) + R"PY(
def upath(raw, utf8, crc=None):
    body = struct.pack('<BI', 1, zlib.crc32(raw) if crc is None else crc) + utf8
    return struct.pack('<HH', 0x7075, len(body)) + body
stale = b'old-name.txt'
save(build([
    entry(b'\x81ber.txt', b'1'),
    entry('grüße.txt'.encode(), b'2', flags=0x800),
    entry(b'na\x84me.txt', b'3', extra=upath(b'na\x84me.txt', '名前.txt'.encode())),
    entry(b'na\x84me2.txt', b'4', extra=upath(stale, '名前2.txt'.encode())),
    entry(b'bad\xff\xc3.txt', b'5', flags=0x800),
    entry(b'v2.txt', b'6', extra=upath(b'v2.txt', b'other.txt')[:4] + b'\x02' +
          upath(b'v2.txt', b'other.txt')[5:]),
    entry(b'caf\xc3\xa9.txt', b'7', made_by=0x0014),
    entry(b'caf\xc3\xa9.txt', b'8', made_by=0x0314),
]))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/n.zip"));
    Parsed p = parse(readBytes(dir + "/n.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    ASSERT_EQ(p.dir.entries.size(), 8u);
    EXPECT_EQ(entryName(p.dir, 0), "über.txt");
    EXPECT_EQ(entryName(p.dir, 1), "grüße.txt");
    EXPECT_EQ(entryName(p.dir, 2), "名前.txt");
    EXPECT_EQ(entryName(p.dir, 3), "naäme2.txt"); // stale CRC: the stored CP437 name
    EXPECT_EQ(entryName(p.dir, 4), "bad\uFFFD\uFFFD.txt");
    EXPECT_EQ(entryName(p.dir, 5), "v2.txt"); // unknown field version
    // Unflagged UTF-8 bytes: CP437 from a DOS archiver, UTF-8 from a Unix one.
    EXPECT_EQ(entryName(p.dir, 6), "caf├⌐.txt");
    EXPECT_EQ(entryName(p.dir, 7), "café.txt");
}

TEST(Names, Utf8FromZipTool)
{
    SKIP_WITHOUT("zip");
    std::string dir = brxtest::makeScratchDir("names-zip");
    writeBytes(dir + "/café.txt", toBytes("x"));
    ASSERT_TRUE(run("cd " + dir + " && LC_ALL=C.UTF-8 zip -q n.zip café.txt"));
    Parsed p = parse(readBytes(dir + "/n.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    ASSERT_EQ(p.dir.entries.size(), 1u);
    EXPECT_EQ(entryName(p.dir, 0), "café.txt");
}

TEST(Names, InvalidUtf8IsReplaced)
{
    const struct {
        Bytes in;
        std::string out;
    } cases[] = {
        {{'a', 0xC0, 0x80, 'b'}, "a\uFFFD\uFFFDb"},             // overlong NUL
        {{0xED, 0xA0, 0x80}, "\uFFFD\uFFFD\uFFFD"},             // surrogate
        {{0xF4, 0x90, 0x80, 0x80}, "\uFFFD\uFFFD\uFFFD\uFFFD"}, // beyond U+10FFFF
        {{0xE2, 0x82}, "\uFFFD\uFFFD"},                         // cut sequence
        {{0xF0, 0x9F, 0x98, 0x80}, "\U0001F600"},               // valid 4-byte
    };
    for (const auto &c : cases)
        EXPECT_EQ(unzip::sanitizeUtf8(c.in), c.out);
}

TEST(Names, LongNameRule)
{
    const struct {
        const char *name;
        bool isLong;
    } cases[] = {
        {"README.TXT", false},
        {"readme.txt", false},
        {"DIR/SUB/FILE.C", false},
        {"ÜBERLANG.TXT", false},
        {"NOEXT", false},
        {"dir/", false},
        {"LongFileName.txt", true},
        {"INDEX.HTML", true},
        {"a.b.c", true},
        {"my file.txt", true},
        {"A+B.TXT", true},
        {".profile", true},
        {"NAME.", true},
        {"VERYLONGDIR/A.TXT", true},
        {"ÜBERLANGE.TXT", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(unzip::isLongName(c.name), c.isLong) << c.name;
}

TEST(Names, HostileNamesStayInsideTheDestination)
{
    const struct {
        const char *name;
        const char *path;
    } cases[] = {
        {"../../x", "x"},
        {"C:\\x", "x"},
        {"c:x", "x"},
        {"/abs", "abs"},
        {"\\\\server\\share\\f", "server\\share\\f"},
        {"a/../../b", "a\\b"},
        {"dir/./f.txt", "dir\\f.txt"},
        {"...\\x", "x"},
        {". ./x", "x"},
        {"../..", ""},
        {"CON.txt", "_CON.txt"},
        {"dir/lpt1", "dir\\_lpt1"},
        {"aux .c", "_aux .c"},
        {"Com9.log", "_Com9.log"},
        {"COM10.txt", "COM10.txt"},
        {"console.txt", "console.txt"},
        {"a<b>c:d\"e|f?g*h", "a_b_c_d_e_f_g_h"},
        {"tab\there", "tab_here"},
        {"x/C:/y", "x\\C_\\y"},
        {"name. ", "name"},
        {"ok/dir/", "ok\\dir"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(unzip::safeRelativePath(c.name), c.path) << c.name;
}
