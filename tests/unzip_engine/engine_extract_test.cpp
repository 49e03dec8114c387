// Extraction and testing through function 8: archives of the usual tools,
// the legacy methods, encryption, callbacks and cancelling.

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dunzip.h"
#include "engine_test_support.h"
#include "platform/file.h"
#include "testenv.h"
#include "traditional_crypto.h"
#include "zip_format.h"

using namespace enginetest;
using unziptest::run;

namespace {

namespace fs = std::filesystem;

std::string makeTree(const std::string &root)
{
    std::string src = root + "/src";
    writeText(src + "/top.txt", "top level text\n");
    writeText(src + "/docs/Read Me.txt", std::string(50000, 'r') + "end");
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary += static_cast<char>((i * 7919) >> 3);
    writeText(src + "/docs/deep/data.bin", binary);
    writeText(src + "/empty.txt", "");
    fs::create_directories(src + "/emptydir");
    return src;
}

bool noTemporaries(const std::string &dir)
{
    for (const std::string &f : listTree(dir))
        if (f.find("~bxu") != std::string::npos)
            return false;
    return true;
}

} // namespace

TEST(UnzipEngineExtract, ToolArchivesRoundTrip)
{
    SKIP_WITHOUT("zip");
    std::string root = brxtest::makeScratchDir("roundtrip");
    std::string src = makeTree(root);
    ::chmod((src + "/top.txt").c_str(), 0444);
    ASSERT_TRUE(run("touch -d '2021-03-04 05:06:08 UTC' '" + src + "/docs/deep/data.bin'"));
    struct Tool {
        const char *name;
        std::string command;
    } tools[] = {
        {"zip", "cd '" + src + "' && zip -q -r -X '" + root + "/zip.zip' ."},
        {"7zz",
         "cd '" + src + "' && 7zz a -bd -tzip -mm=Deflate64 '" + root + "/7z.zip' . >/dev/null"},
        {"bsdtar", "cd '" + src + "' && bsdtar --format zip -cf '" + root + "/bsd.zip' ."},
    };
    for (const Tool &tool : tools) {
        if (!unziptest::haveTool(tool.name))
            continue;
        SCOPED_TRACE(tool.name);
        ASSERT_TRUE(run(tool.command));
        std::string archive = root + "/" +
                              (tool.name == std::string("zip")   ? "zip.zip"
                               : tool.name == std::string("7zz") ? "7z.zip"
                                                                 : "bsd.zip");
        std::string dest = root + "/out-" + tool.name;
        Recorder rec;
        UnzipCommand cmd = extractCommand(win(archive), win(dest), rec);
        ASSERT_EQ(dunzipS(&cmd), 0);
        EXPECT_EQ(listTree(dest), listTree(src));
        for (const std::string &f : listTree(src))
            EXPECT_EQ(fileText(dest + "/" + f), fileText(src + "/" + f)) << f;
        EXPECT_TRUE(fs::is_directory(dest + "/emptydir"));
        EXPECT_TRUE(plat::getFileAttributes(win(dest + "/top.txt").c_str()) &
                    plat::FILE_ATTRIBUTE_READONLY);
        auto when = fs::last_write_time(dest + "/docs/deep/data.bin");
        auto expected = fs::last_write_time(src + "/docs/deep/data.bin");
        EXPECT_LE(std::chrono::abs(when - expected), std::chrono::seconds(2));
        EXPECT_TRUE(noTemporaries(dest));
    }
}

TEST(UnzipEngineExtract, CallbacksComeInOrder)
{
    SKIP_WITHOUT("zip");
    std::string root = brxtest::makeScratchDir("order");
    std::string src = makeTree(root);
    ASSERT_TRUE(run("cd '" + src + "' && zip -q -r -D '" + root + "/a.zip' top.txt docs"));
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(root + "/a.zip"), win(root + "/out"), rec);
    ASSERT_EQ(dunzipS(&cmd), 0);
    ASSERT_EQ(rec.statusLines.size(), 3u);
    for (std::size_t i = 0; i < rec.statusLines.size(); ++i)
        EXPECT_EQ(rec.statusLines[i].rfind("Item " + std::to_string(i + 1) + " ", 0), 0u);
    // Each file's progress follows its own item line and ends at 100.
    int item = 0, last = -1;
    for (const std::string &e : rec.events) {
        if (e.rfind("item ", 0) == 0) {
            if (item > 0) {
                EXPECT_EQ(last, 100) << "item " << item;
            }
            item = std::stoi(e.substr(5));
            last = -1;
        } else if (e.rfind("progress ", 0) == 0) {
            int p = std::stoi(e.substr(9));
            EXPECT_GE(item, 1);
            EXPECT_GE(p, last);
            last = p;
        }
    }
    EXPECT_EQ(last, 100);
    EXPECT_TRUE(rec.messages.empty());
}

TEST(UnzipEngineExtract, CancelLeavesNoPartialFile)
{
    SKIP_WITHOUT("zip");
    std::string root = brxtest::makeScratchDir("cancel");
    std::string src = makeTree(root);
    ASSERT_TRUE(run("cd '" + src + "' && zip -q -0 -r -D '" + root + "/a.zip' top.txt docs"));
    // Cancel at the second item line, and in the middle of a file's progress.
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how);
        std::string dest = root + "/out" + std::to_string(how);
        writeText(dest + "/docs/Read Me.txt", "precious");
        Recorder rec;
        if (how == 0)
            rec.onStatus = [](const std::string &t) { return t.rfind("Item 2 ", 0) == 0; };
        else
            rec.onProgress = [&rec](int) {
                return !rec.statusLines.empty() && rec.statusLines.back().rfind("Item 2 ", 0) == 0;
            };
        UnzipCommand cmd = extractCommand(win(root + "/a.zip"), win(dest), rec);
        EXPECT_EQ(dunzipS(&cmd), 80);
        EXPECT_TRUE(fileText(dest + "/docs/Read Me.txt") == "precious");
        EXPECT_FALSE(fs::exists(dest + "/docs/deep/data.bin"));
        EXPECT_TRUE(noTemporaries(dest));
    }
}

TEST(UnzipEngineExtract, LegacyFixturesTestAndExtract)
{
    const char *fixtures[] = {"cc-SHRUNK.ZIP",
                              "cc-imploding-4Kdict-2trees.zip",
                              "cc-imploding-8Kdict-3trees.zip",
                              "cc-lorem-ipsum-deflate64.zip",
                              "cc-lorem-ipsum-implode.zip",
                              "cc-moby-imploded.zip",
                              "z2-shrink.zip",
                              "z2-reduce.zip",
                              "z2-implode.zip"};
    std::string root = brxtest::makeScratchDir("legacy");
    for (const char *f : fixtures) {
        SCOPED_TRACE(f);
        std::string archive = win(brxtest::fixturePath(std::string("zip-legacy/") + f));
        Recorder rec;
        UnzipCommand test = extractCommand(archive, "", rec);
        EXPECT_EQ(dunzipS(&test), 0);
        std::string dest = root + "/" + f;
        UnzipCommand cmd = extractCommand(archive, win(dest), rec);
        EXPECT_EQ(dunzipS(&cmd), 0);
        EXPECT_TRUE(rec.messages.empty());
    }
    std::string first = fileText(brxtest::fixturePath("zip-legacy/z2-first.txt"));
    EXPECT_EQ(fileText(root + "/z2-reduce.zip/first.txt"), first);
    EXPECT_EQ(fileText(root + "/z2-shrink.zip/FIRST.TXT"), first);
    EXPECT_EQ(fileText(root + "/cc-lorem-ipsum-deflate64.zip/lorem-ipsum.txt"),
              fileText(root + "/cc-lorem-ipsum-implode.zip/LOREM.TXT"));
}

TEST(UnzipEngineExtract, DamagedAndUnsupportedEntriesAreReported)
{
    SKIP_WITHOUT("python3");
    std::string root = brxtest::makeScratchDir("damaged");
    std::string archive = buildWithPython(root, "d.zip", R"PY(
good = entry(b'good.txt', b'fine')
bz = entry(b'bzip.bin', b'BZh9...', method=12)
data = bytearray(build([good, bz]))
save(bytes(data))
)PY");
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(archive), win(root + "/out"), rec);
    EXPECT_EQ(dunzipS(&cmd), 82);
    EXPECT_EQ(fileText(root + "/out/good.txt"), "fine");
    EXPECT_FALSE(fs::exists(root + "/out/bzip.bin"));
    EXPECT_EQ(rec.statusCodes(), std::vector<int>{82});

    // A CRC that does not match the data: damaged, nothing written.
    unziptest::Bytes bytes = unziptest::readBytes(archive);
    bytes[14] ^= 0x55; // local header CRC is not checked; flip the central one
    std::size_t cd = bytes.size() - 22;
    std::uint32_t cdOffset = unzip::fmt::get32(&bytes[cd + 16]);
    bytes[cdOffset + 16] ^= 0x55;
    unziptest::writeBytes(root + "/crc.zip", bytes);
    Recorder rec2;
    UnzipCommand test = extractCommand(win(root + "/crc.zip"), "", rec2);
    EXPECT_EQ(dunzipS(&test), 2);
    EXPECT_EQ(rec2.statusCodes().front(), 2);
}

TEST(UnzipEngineExtract, EncryptedEntries)
{
    SKIP_WITHOUT("zip");
    std::string root = brxtest::makeScratchDir("crypt");
    writeText(root + "/src/plain.txt", "plain");
    writeText(root + "/src/secret.txt", std::string(3000, 's'));
    ASSERT_TRUE(run("cd '" + root + "/src' && zip -q '" + root +
                    "/c.zip' plain.txt && zip -q -P "
                    "right '" +
                    root + "/c.zip' secret.txt"));
    // Find a wrong code that passes the check byte (about 1 in 256 does).
    unziptest::Bytes bytes = unziptest::readBytes(root + "/c.zip");
    std::size_t local = 0;
    for (std::size_t p = 4; p + 30 < bytes.size(); ++p)
        if (unzip::fmt::get32(&bytes[p]) == unzip::fmt::kLocalHeaderSig) {
            local = p;
            break;
        }
    ASSERT_NE(local, 0u);
    const std::uint8_t *h = &bytes[local];
    std::uint8_t check = unzip::encryptionCheckByte(
        unzip::fmt::get16(h + 6), unzip::fmt::get32(h + 14), unzip::fmt::get16(h + 10));
    std::size_t data = local + 30 + unzip::fmt::get16(h + 26) + unzip::fmt::get16(h + 28);
    std::string falsePass;
    for (int i = 0; falsePass.empty() && i < 100000; ++i) {
        std::string candidate = "w" + std::to_string(i);
        std::uint8_t header[12];
        std::copy(&bytes[data], &bytes[data] + 12, header);
        unzip::TraditionalKeys keys(candidate);
        keys.decrypt(header, 12);
        if (header[11] == check)
            falsePass = candidate;
    }
    ASSERT_FALSE(falsePass.empty());

    struct Case {
        const char *what;
        const char *code; // null: no code given
        int result;
        std::vector<int> statuses;
        bool secretWritten;
    } cases[] = {
        {"no code", nullptr, 49, {41, 49}, false},
        {"wrong code", "wrong", 49, {44, 49}, false},
        {"wrong code passing the check byte", falsePass.c_str(), 49, {44, 49}, false},
        {"right code", "right", 0, {}, true},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string dest = root + "/out" + std::to_string(n++);
        Recorder rec;
        UnzipCommand cmd = extractCommand(win(root + "/c.zip"), win(dest), rec);
        cmd.useDecryptCode = c.code ? 1 : 0;
        cmd.decryptCode = c.code;
        EXPECT_EQ(dunzipS(&cmd), c.result);
        EXPECT_EQ(rec.statusCodes(), c.statuses);
        EXPECT_EQ(fileText(dest + "/plain.txt"), "plain");
        EXPECT_EQ(fs::exists(dest + "/secret.txt"), c.secretWritten);
        EXPECT_TRUE(noTemporaries(dest));
    }
}
