// Finding and parsing the central directory: comments, programs in front,
// ZIP64, large entry counts, spanned sets and damaged input.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "central_directory.h"
#include "directory_cache.h"
#include "entry_reader.h"
#include "pyzipkit.h"
#include "testenv.h"
#include "unzip_test_support.h"

using namespace unziptest;
using unzip::Error;

namespace {

// Two entries and a comment, written by Python's zipfile.
Bytes pythonArchive(const std::string &dir, const std::string &comment = "")
{
    std::string path = dir + "/py.zip";
    std::string program = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr(zipfile.ZipInfo('a.txt', (2020, 1, 2, 3, 4, 6)), b'alpha ' * 500,
               compress_type=zipfile.ZIP_DEFLATED)
    z.writestr(zipfile.ZipInfo('dir/b.bin', (2020, 1, 2, 3, 4, 6)), bytes(range(256)) * 4)
    z.comment = sys.argv[2].encode()
)PY";
    if (!runPython(program, path + " '" + comment + "'"))
        return {};
    return readBytes(path);
}

void expectReadsAll(Parsed &p)
{
    for (std::size_t i = 0; i < p.dir.entries.size(); ++i) {
        VectorSink sink;
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, i, sink), Error::Ok) << "entry " << i;
        EXPECT_EQ(sink.bytes.size(), p.dir.entries[i].uncompressedSize);
    }
}

} // namespace

TEST(CentralDirectory, LongCommentHidingAFakeEndRecord)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-comment");
    // The fake record's comment length reaches exactly to the end of the
    // file, so only the check of the directory it points to can reject it.
    std::string program = std::string(kPyZipKit) + R"PY(
fake_tail = 200
fake = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, 46, 0, fake_tail)
comment = b'c' * (65535 - len(fake) - fake_tail) + fake + b'd' * fake_tail
save(build([entry(b'one.txt', b'first'), entry(b'two.txt', b'second' * 50, method=8)],
           comment=comment))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/c.zip"));
    Parsed p = parse(readBytes(dir + "/c.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    ASSERT_EQ(p.dir.entries.size(), 2u);
    EXPECT_EQ(p.dir.comment.size(), 65535u);
    EXPECT_EQ(p.dir.offsetCorrection, 0);
    EXPECT_EQ(entryName(p.dir, 1), "two.txt");
    expectReadsAll(p);
}

TEST(CentralDirectory, CommentFromTool)
{
    SKIP_WITHOUT("python3");
    Bytes zip = pythonArchive(brxtest::makeScratchDir("cd-tool-comment"), "hello comment");
    Parsed p = parse(zip);
    ASSERT_EQ(p.error, Error::Ok);
    EXPECT_EQ(std::string(p.dir.comment.begin(), p.dir.comment.end()), "hello comment");
}

TEST(CentralDirectory, ProgramInFrontWithAndWithoutAdjustedOffsets)
{
    SKIP_WITHOUT("zip");
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-sfx");
    Bytes zip = pythonArchive(dir);
    ASSERT_FALSE(zip.empty());
    Bytes stub = pattern(5 * 1024, 7);
    Bytes sfx = stub;
    sfx.insert(sfx.end(), zip.begin(), zip.end());
    writeBytes(dir + "/sfx.exe", sfx);

    Parsed raw = parse(sfx);
    ASSERT_EQ(raw.error, Error::Ok);
    EXPECT_EQ(raw.dir.offsetCorrection, 5 * 1024);
    expectReadsAll(raw);

    ASSERT_TRUE(run("zip -qA " + dir + "/sfx.exe"));
    Parsed adjusted = parse(readBytes(dir + "/sfx.exe"));
    ASSERT_EQ(adjusted.error, Error::Ok);
    EXPECT_EQ(adjusted.dir.offsetCorrection, 0);
    expectReadsAll(adjusted);
}

TEST(CentralDirectory, Zip64ExtraAppliesOnlyToMarkedFieldsInOrder)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-zip64");
    std::string program = std::string(kPyZipKit) + R"PY(
save(build([entry(b'plain.txt', b'p' * 10),
            entry(b'offset-only.txt', b'o' * 20, z64='o'),
            entry(b'sizes.txt', b's' * 3000, method=8, z64='uc'),
            entry(b'all.txt', b'a' * 40, z64='uco')], zip64_end=True))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/z.zip"));
    Parsed p = parse(readBytes(dir + "/z.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    EXPECT_TRUE(p.dir.end.zip64);
    ASSERT_EQ(p.dir.entries.size(), 4u);
    EXPECT_EQ(p.dir.entries[1].uncompressedSize, 20u);
    EXPECT_EQ(p.dir.entries[1].localHeaderOffset, p.dir.entries[0].compressedSize + 30 + 9);
    EXPECT_EQ(p.dir.entries[2].uncompressedSize, 3000u);
    EXPECT_LT(p.dir.entries[2].compressedSize, 3000u);
    EXPECT_EQ(p.dir.entries[3].uncompressedSize, 40u);
    EXPECT_EQ(p.dir.entries[3].compressedSize, 40u);
    expectReadsAll(p);
}

TEST(CentralDirectory, Zip64FromPythonForceZip64)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-force64");
    std::string program = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', compression=zipfile.ZIP_DEFLATED) as z:
    for i in range(3):
        with z.open('f%d.txt' % i, 'w', force_zip64=True) as f:
            f.write(b'line %d\n' % i * 1000)
)PY";
    ASSERT_TRUE(runPython(program, dir + "/f.zip"));
    Parsed p = parse(readBytes(dir + "/f.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    ASSERT_EQ(p.dir.entries.size(), 3u);
    expectReadsAll(p);
}

TEST(CentralDirectory, MoreThan65535EntriesWithZip64End)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-many64");
    std::string program = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for i in range(70000):
        z.writestr('d/%d' % i, b'')
    z.writestr('last.txt', b'the end')
)PY";
    ASSERT_TRUE(runPython(program, dir + "/m.zip"));
    Parsed p = parse(readBytes(dir + "/m.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    EXPECT_TRUE(p.dir.end.zip64);
    ASSERT_EQ(p.dir.entries.size(), 70001u);
    EXPECT_EQ(entryName(p.dir, 70000), "last.txt");
    VectorSink sink;
    EXPECT_EQ(unzip::readEntry(*p.file, p.dir, 70000, sink), Error::Ok);
    EXPECT_EQ(sink.bytes, toBytes("the end"));
}

TEST(CentralDirectory, WrappedEntryCountWithoutZip64TrustsTheRecords)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-wrapped");
    std::string program = std::string(kPyZipKit) + R"PY(
save(build([entry(b'e%d' % i, b'') for i in range(66000)] + [entry(b'z', b'zz')]))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/w.zip"));
    Parsed p = parse(readBytes(dir + "/w.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    EXPECT_FALSE(p.dir.end.zip64);
    EXPECT_EQ(p.dir.end.totalEntries, 66001u - 65536u);
    ASSERT_EQ(p.dir.entries.size(), 66001u);
    EXPECT_EQ(entryName(p.dir, 66000), "z");
}

TEST(CentralDirectory, SpannedSetReportsDisks)
{
    SKIP_WITHOUT("zip");
    std::string dir = brxtest::makeScratchDir("cd-span");
    writeBytes(dir + "/big.bin", pattern(200 * 1024, 3));
    writeBytes(dir + "/small.txt", toBytes("small"));
    ASSERT_TRUE(run("cd " + dir + " && zip -q -0 -s 64k set.zip big.bin small.txt"));
    Error err;
    auto file = unzip::HostArchiveFile::open(dir + "/set.zip", err);
    ASSERT_NE(file, nullptr);
    unzip::ArchiveDirectory d;
    ASSERT_EQ(unzip::readArchiveDirectory(*file, d), Error::Ok);
    unsigned segments = 0;
    for (const auto &f : std::filesystem::directory_iterator(dir))
        if (f.path().filename().string().starts_with("set."))
            ++segments;
    ASSERT_GT(segments, 2u);
    EXPECT_EQ(d.end.diskCount, segments);
    EXPECT_EQ(d.end.thisDisk, segments - 1);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(d.entries[0].diskStart, 0u);
    VectorSink sink;
    EXPECT_EQ(unzip::readEntry(*file, d, 0, sink), Error::EntryOnOtherDisk);

    // End record of the last disk saying the directory starts on disk 1.
    Bytes last = readBytes(dir + "/set.zip");
    std::size_t eocd = last.size() - 22;
    last[eocd + 6] = 1;
    Parsed moved = parse(last);
    EXPECT_EQ(moved.error, Error::DirectoryOnOtherDisk);
    EXPECT_EQ(moved.dir.end.directoryDisk, 1u);
    EXPECT_EQ(moved.dir.end.diskCount, segments);
    writeBytes(dir + "/moved.zip", last);
    unzip::DirectoryCache cache;
    auto fromCache = cache.load(dir + "/moved.zip", err);
    EXPECT_EQ(err, Error::DirectoryOnOtherDisk);
    ASSERT_NE(fromCache, nullptr);
    EXPECT_EQ(fromCache->end.directoryDisk, 1u);
}

TEST(CentralDirectory, DamagedArchivesFailCleanly)
{
    SKIP_WITHOUT("python3");
    Bytes good = pythonArchive(brxtest::makeScratchDir("cd-damage"));
    ASSERT_GT(good.size(), 100u);
    Parsed ref = parse(good);
    ASSERT_EQ(ref.error, Error::Ok);
    const std::size_t eocd = good.size() - 22;
    const std::size_t cd = static_cast<std::size_t>(ref.dir.end.directoryOffset);
    struct Case {
        const char *what;
        std::function<void(Bytes &)> damage;
        Error expected;
    };
    const Case cases[] = {
        {"empty file", [](Bytes &b) { b.clear(); }, Error::NotAnArchive},
        {"not a zip", [](Bytes &b) { b = toBytes(std::string(300, 'x')); }, Error::NotAnArchive},
        {"cut in half", [](Bytes &b) { b.resize(b.size() / 2); }, Error::Truncated},
        {"cut before the directory", [&](Bytes &b) { b.resize(cd); }, Error::Truncated},
        {"cut inside the end record", [](Bytes &b) { b.resize(b.size() - 1); }, Error::Truncated},
        {"cut inside the directory", [&](Bytes &b) { b.resize(cd + 50); }, Error::Truncated},
        {"directory size beyond its start", [&](Bytes &b) { b[eocd + 15] = 0x7F; },
         Error::BadEndRecord},
        {"directory signature",
         [&](Bytes &b) {
             b[cd] = 'X';
             b[eocd + 16] ^= 1;
         },
         Error::BadCentralDirectory},
        {"name length runs past the directory", [&](Bytes &b) { b[cd + 29] = 0x40; },
         Error::BadCentralDirectory},
        {"entry count too high",
         [&](Bytes &b) {
             b[eocd + 10] = 3;
             b[eocd + 8] = 3;
         },
         Error::BadCentralDirectory},
        {"entry count too low",
         [&](Bytes &b) {
             b[eocd + 10] = 1;
             b[eocd + 8] = 1;
         },
         Error::BadCentralDirectory},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = good;
        c.damage(b);
        EXPECT_EQ(parse(b).error, c.expected);
    }
}

TEST(CentralDirectory, Zip64LocatorWithoutRecord)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-bad64");
    std::string program = std::string(kPyZipKit) + R"PY(
save(build([entry(b'a', b'abc', z64='o')], zip64_end=True))
)PY";
    ASSERT_TRUE(runPython(program, dir + "/z.zip"));
    Bytes b = readBytes(dir + "/z.zip");
    // Destroy the ZIP64 end record's signature (56 + 20 + 22 bytes from the end).
    b[b.size() - 22 - 20 - 56] = 'X';
    EXPECT_EQ(parse(b).error, Error::BadZip64Record);
}

TEST(DirectoryCache, ServesUnchangedFilesAndRereadsChangedOnes)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-cache");
    std::string program = std::string(kPyZipKit) + R"PY(
n = int(sys.argv[2])
save(build([entry(b'f%d' % i, b'x') for i in range(n)]))
)PY";
    const std::string path = dir + "/a.zip";
    ASSERT_TRUE(runPython(program, path + " 3"));
    unzip::DirectoryCache cache(2);
    Error err;
    auto first = cache.load(path, err);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->entries.size(), 3u);
    EXPECT_EQ(cache.load(path, err), first);

    // Replaced by another archive (new inode, size and time).
    ASSERT_TRUE(runPython(program, dir + "/b.zip 5"));
    ASSERT_TRUE(run("mv " + dir + "/b.zip " + path));
    auto second = cache.load(path, err);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->entries.size(), 5u);

    // Rewritten in place with the same size: the modification time differs.
    ASSERT_TRUE(run("sleep 0.01"));
    ASSERT_TRUE(runPython(program, dir + "/c.zip 5"));
    ASSERT_TRUE(run("cat " + dir + "/c.zip > " + path));
    auto third = cache.load(path, err);
    ASSERT_NE(third, nullptr);
    EXPECT_NE(third, second);

    // Bounded: two other archives push this one out.
    ASSERT_TRUE(runPython(program, dir + "/d.zip 1"));
    ASSERT_TRUE(runPython(program, dir + "/e.zip 2"));
    ASSERT_NE(cache.load(dir + "/d.zip", err), nullptr);
    ASSERT_NE(cache.load(dir + "/e.zip", err), nullptr);
    EXPECT_NE(cache.load(path, err), third);

    EXPECT_EQ(cache.load(dir + "/missing.zip", err), nullptr);
    EXPECT_EQ(err, Error::OpenFailed);

    // Concurrent callers all get a correct directory.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                Error e;
                std::string p = (i + t) % 2 ? dir + "/d.zip" : dir + "/e.zip";
                auto d = cache.load(p, e);
                std::size_t want = (i + t) % 2 ? 1 : 2;
                if (!d || d->entries.size() != want)
                    ++wrong;
            }
        });
    for (auto &th : threads)
        th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(CentralDirectory, EmptyArchiveAndBytesAfterTheEnd)
{
    SKIP_WITHOUT("python3");
    std::string dir = brxtest::makeScratchDir("cd-empty");
    ASSERT_TRUE(runPython("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').close()\n",
                          dir + "/e.zip"));
    Parsed empty = parse(readBytes(dir + "/e.zip"));
    ASSERT_EQ(empty.error, Error::Ok);
    EXPECT_TRUE(empty.dir.entries.empty());

    // Junk appended after the end record (comment length 0 no longer reaches the end).
    Bytes b = pythonArchive(dir);
    Bytes junk = pattern(300, 5);
    b.insert(b.end(), junk.begin(), junk.end());
    Parsed p = parse(b);
    ASSERT_EQ(p.error, Error::Ok);
    EXPECT_EQ(p.dir.entries.size(), 2u);
    expectReadsAll(p);
}
