// Reading entry data: archives of every tool, data descriptors, traditional
// encryption, damaged entries, read failures and stopping.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "entry_reader.h"
#include "local_header.h"
#include "pyzipkit.h"
#include "testenv.h"
#include "traditional_crypto.h"
#include "unzip_test_support.h"
#include "zip_format.h"

using namespace unziptest;
using unzip::Error;

namespace {

// Files every tool archives in the matrix below.
std::map<std::string, Bytes> sampleFiles()
{
    return {{"small.txt", pattern(1000, 1)},
            {"big.bin", pattern(700 * 1024, 2)}, // several read chunks
            {"empty.txt", {}},
            {"sub/inner.txt", toBytes("inner file\n")}};
}

std::string writeSampleFiles(const std::string &name)
{
    std::string dir = brxtest::makeScratchDir(name);
    run("mkdir -p " + dir + "/in/sub");
    for (const auto &[n, b] : sampleFiles())
        writeBytes(dir + "/in/" + n, b);
    return dir;
}

void expectContents(Parsed &p, const std::map<std::string, Bytes> &files,
                    std::optional<std::string_view> password = std::nullopt)
{
    for (const auto &[name, content] : files) {
        long i = findEntry(p.dir, name);
        ASSERT_GE(i, 0) << name;
        VectorSink sink;
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, static_cast<std::size_t>(i), sink, password),
                  Error::Ok)
            << name;
        EXPECT_EQ(sink.bytes, content) << name;
    }
}

struct ToolCase {
    const char *tool;
    const char *command; // run inside the folder holding in/, writes out.zip
};

class ToolArchives : public testing::TestWithParam<ToolCase> {};

} // namespace

TEST_P(ToolArchives, EveryEntryDecodes)
{
    SKIP_WITHOUT(GetParam().tool);
    std::string dir = writeSampleFiles(std::string("tool-") + GetParam().tool);
    ASSERT_TRUE(run("cd " + dir + " && " + GetParam().command));
    Parsed p = parse(readBytes(dir + "/out.zip"));
    ASSERT_EQ(p.error, Error::Ok);
    expectContents(p, sampleFiles());
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolArchives,
    testing::Values(
        ToolCase{"zip", "cd in && zip -qr ../out.zip ."},
        ToolCase{"zip", "cd in && zip -qr0 ../out.zip ."},
        ToolCase{"7zz",
                 "cd in && 7zz a -tzip -bso0 -bsp0 ../out.zip small.txt big.bin empty.txt sub"},
        ToolCase{"bsdtar",
                 "cd in && bsdtar --format zip -cf ../out.zip small.txt big.bin empty.txt sub"},
        ToolCase{
            "python3",
            "python3 -c \"import zipfile,os; z=zipfile.ZipFile('out.zip','w',zipfile.ZIP_DEFLATED);"
            "[z.write(os.path.join(r,f), os.path.relpath(os.path.join(r,f),'in')) "
            "for r,_,fs in os.walk('in') for f in fs]; z.close()\""}),
    [](const testing::TestParamInfo<ToolCase> &info) {
        return std::string(info.param.tool == std::string("python3") ? "python" : info.param.tool) +
               std::to_string(info.index);
    });

TEST(EntryReader, DataDescriptorsFromStreamingWriters)
{
    SKIP_WITHOUT("zip");
    SKIP_WITHOUT("python3");
    std::string dir = writeSampleFiles("descriptors");
    // zip writing to a pipe cannot seek back: sizes and CRC follow the data.
    ASSERT_TRUE(run("cd " + dir + "/in && zip -q - small.txt big.bin | cat > ../pipe.zip"));
    ASSERT_TRUE(run("cd " + dir + "/in && cat small.txt | zip -q - - > ../stdin.zip"));
    std::string program = R"PY(
import sys, zipfile
class Pipe:
    def __init__(self, f): self.f = f; self.n = 0
    def write(self, b): self.n += len(b); return self.f.write(b)
    def tell(self): return self.n
    def flush(self): pass
    def seekable(self): return False
for name, z64 in (('stream.zip', False), ('stream64.zip', True)):
    with open(sys.argv[1] + '/' + name, 'wb') as raw:
        with zipfile.ZipFile(Pipe(raw), 'w', compression=zipfile.ZIP_DEFLATED) as z:
            for f in ('small.txt', 'big.bin'):
                with z.open(f, 'w', force_zip64=z64) as out:
                    out.write(open(sys.argv[1] + '/in/' + f, 'rb').read())
)PY";
    ASSERT_TRUE(runPython(program, dir));
    auto files = sampleFiles();
    std::map<std::string, Bytes> two = {{"small.txt", files["small.txt"]},
                                        {"big.bin", files["big.bin"]}};
    for (const char *name : {"pipe.zip", "stream.zip", "stream64.zip"}) {
        SCOPED_TRACE(name);
        Parsed p = parse(readBytes(dir + "/" + name));
        ASSERT_EQ(p.error, Error::Ok);
        ASSERT_EQ(p.dir.entries.size(), 2u);
        EXPECT_TRUE(p.dir.entries[0].flags & unzip::fmt::flag::kDataDescriptor);
        expectContents(p, two);
    }
    Parsed in = parse(readBytes(dir + "/stdin.zip"));
    ASSERT_EQ(in.error, Error::Ok);
    expectContents(in, {{"-", files["small.txt"]}});
}

TEST(EntryReader, DataDescriptorLayouts)
{
    unzip::CentralEntry e;
    e.crc32 = 0x11223344;
    e.compressedSize = 5;
    e.uncompressedSize = 9;
    const struct {
        const char *what;
        Bytes bytes;
        Error result;
        bool signature, zip64;
    } cases[] = {
        {"signed",
         {0x50, 0x4b, 7, 8, 0x44, 0x33, 0x22, 0x11, 5, 0, 0, 0, 9, 0, 0, 0},
         Error::Ok,
         true,
         false},
        {"unsigned", {0x44, 0x33, 0x22, 0x11, 5, 0, 0, 0, 9, 0, 0, 0}, Error::Ok, false, false},
        {"signed 64",
         {0x50, 0x4b, 7, 8, 0x44, 0x33, 0x22, 0x11, 5, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0},
         Error::Ok,
         true,
         true},
        {"wrong crc",
         {0x50, 0x4b, 7, 8, 0x45, 0x33, 0x22, 0x11, 5, 0, 0, 0, 9, 0, 0, 0},
         Error::BadDataDescriptor,
         false,
         false},
        {"cut", {0x50, 0x4b, 7, 8, 0x44, 0x33}, Error::BadDataDescriptor, false, false},
    };
    for (const auto &c : cases) {
        unzip::MemoryArchiveFile f(c.bytes);
        unzip::DataDescriptor d;
        ASSERT_EQ(unzip::readDataDescriptor(f, 0, e, d), c.result) << c.what;
        if (c.result == Error::Ok) {
            EXPECT_EQ(d.hasSignature, c.signature) << c.what;
            EXPECT_EQ(d.zip64, c.zip64) << c.what;
        }
    }
}

namespace {

// Index of the first password of the form "wrongN" that passes the check
// byte of entry i without being the right one.
std::string falsePassword(const Parsed &p, std::size_t i)
{
    unzip::EntryLocation loc;
    if (unzip::locateEntryData(*p.file, p.dir, p.dir.entries[i], loc) != Error::Ok)
        return {};
    std::uint8_t header[12];
    if (unzip::readExact(*p.file, loc.dataOffset, header, 12) != Error::Ok)
        return {};
    std::uint8_t check = unzip::encryptionCheckByte(loc.flags, p.dir.entries[i].crc32, loc.modTime);
    for (int n = 0; n < 100000; ++n) {
        std::string pw = "wrong" + std::to_string(n);
        std::uint8_t h[12];
        std::copy(header, header + 12, h);
        unzip::TraditionalKeys keys(pw);
        keys.decrypt(h, 12);
        if (h[11] == check)
            return pw;
    }
    return {};
}

} // namespace

TEST(EntryReader, TraditionalEncryption)
{
    SKIP_WITHOUT("zip");
    std::string dir = writeSampleFiles("crypto");
    ASSERT_TRUE(run("cd " + dir +
                    "/in && zip -q -P secret ../deflated.zip small.txt big.bin && "
                    "zip -q -0 -P secret ../stored.zip small.txt big.bin && "
                    "zip -q -P secret - small.txt | cat > ../streamed.zip"));
    auto files = sampleFiles();
    for (const char *name : {"deflated.zip", "stored.zip", "streamed.zip"}) {
        SCOPED_TRACE(name);
        Parsed p = parse(readBytes(dir + "/" + name));
        ASSERT_EQ(p.error, Error::Ok);
        long i = findEntry(p.dir, "small.txt");
        ASSERT_GE(i, 0);
        auto idx = static_cast<std::size_t>(i);
        VectorSink sink;
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, idx, sink, "secret"), Error::Ok);
        EXPECT_EQ(sink.bytes, files["small.txt"]);
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, idx, sink), Error::PasswordRequired);

        // A password whose check byte differs, and one of the ~1 in 256 whose
        // check byte happens to match: both are wrong passwords.
        unzip::DiscardSink discard;
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, idx, discard, "secreT"), Error::WrongPassword);
        std::string lucky = falsePassword(p, idx);
        ASSERT_FALSE(lucky.empty());
        EXPECT_EQ(unzip::readEntry(*p.file, p.dir, idx, discard, lucky), Error::WrongPassword)
            << lucky;
    }
}

namespace {

// Fails every read from the n-th on.
class FailingFile final : public unzip::ArchiveFile {
public:
    FailingFile(const Bytes &b, int okReads) : inner_(b), left_(okReads) {}
    std::uint64_t size() const override { return inner_.size(); }
    std::ptrdiff_t readAt(std::uint64_t o, std::uint8_t *buf, std::size_t len) override
    {
        if (left_-- <= 0)
            return -1;
        return inner_.readAt(o, buf, len);
    }

private:
    unzip::MemoryArchiveFile inner_;
    int left_;
};

class StoppingSink final : public codecs::Sink {
public:
    bool write(const std::uint8_t *, std::size_t) override { return ++calls < 1; }
    int calls = 0;
};

Bytes referenceArchive(const std::string &dir)
{
    std::string program = std::string(kPyZipKit) + R"PY(
save(build([entry(b'deflated.txt', b'some text to deflate ' * 4000, method=8),
            entry(b'stored.bin', bytes(range(256)) * 8)]))
)PY";
    if (!runPython(program, dir + "/ref.zip"))
        return {};
    return readBytes(dir + "/ref.zip");
}

} // namespace

TEST(EntryReader, ReadFailuresAreReported)
{
    SKIP_WITHOUT("python3");
    Bytes ref = referenceArchive(brxtest::makeScratchDir("read-fail"));
    ASSERT_FALSE(ref.empty());
    // Fail the n-th read for every n until the whole job succeeds.
    bool completed = false;
    for (int n = 0; n < 50 && !completed; ++n) {
        FailingFile f(ref, n);
        unzip::ArchiveDirectory d;
        Error err = unzip::readArchiveDirectory(f, d);
        for (std::size_t i = 0; err == Error::Ok && i < d.entries.size(); ++i) {
            unzip::DiscardSink sink;
            err = unzip::readEntry(f, d, i, sink);
        }
        if (err == Error::Ok)
            completed = true;
        else
            EXPECT_EQ(err, Error::ReadError) << "failing read " << n;
    }
    EXPECT_TRUE(completed);
}

TEST(EntryReader, StoppingSinkStops)
{
    SKIP_WITHOUT("python3");
    Parsed p = parse(referenceArchive(brxtest::makeScratchDir("stop")));
    ASSERT_EQ(p.error, Error::Ok);
    StoppingSink sink;
    EXPECT_EQ(unzip::readEntry(*p.file, p.dir, 0, sink), Error::Stopped);
    EXPECT_EQ(sink.calls, 1);
}

TEST(EntryReader, DamagedEntriesFailCleanly)
{
    SKIP_WITHOUT("python3");
    Bytes good = referenceArchive(brxtest::makeScratchDir("entry-damage"));
    Parsed ref = parse(good);
    ASSERT_EQ(ref.error, Error::Ok);
    const auto &d0 = ref.dir.entries[0];
    const auto &d1 = ref.dir.entries[1];
    const std::size_t cd = static_cast<std::size_t>(ref.dir.end.directoryOffset);
    const std::size_t cd1 = cd + 46 + d0.nameLength; // second central header
    const std::size_t data0 = 30 + d0.nameLength;
    const std::size_t data1 = static_cast<std::size_t>(d1.localHeaderOffset) + 30 + d1.nameLength;
    auto put32 = [](Bytes &b, std::size_t at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    struct Case {
        const char *what;
        std::size_t entry;
        std::function<void(Bytes &)> damage;
        std::vector<Error> expected; // any of these
    };
    const Case cases[] = {
        {"local signature", 0, [](Bytes &b) { b[0] = 'X'; }, {Error::BadLocalHeader}},
        {"local method",
         1,
         [&](Bytes &b) { b[d1.localHeaderOffset + 8] = 8; },
         {Error::BadLocalHeader}},
        {"header offset beyond the file",
         1,
         [&](Bytes &b) { put32(b, cd1 + 42, 0x7FFFFFF0); },
         {Error::BadLocalHeader}},
        {"compressed size beyond the file",
         1,
         [&](Bytes &b) { put32(b, cd1 + 20, 0x7FFFFFF0); },
         {Error::Truncated}},
        {"stored byte flipped", 1, [&](Bytes &b) { b[data1 + 100] ^= 0x55; }, {Error::CrcMismatch}},
        {"deflate stream damaged",
         0,
         [&](Bytes &b) {
             b[data0 + 3] ^= 0xFF;
             b[data0 + 4] ^= 0xFF;
         },
         {Error::DataError, Error::CrcMismatch, Error::SizeMismatch}},
        {"crc in the directory", 0, [&](Bytes &b) { b[cd + 16] ^= 1; }, {Error::CrcMismatch}},
        {"stated size too small",
         0,
         [&](Bytes &b) { put32(b, cd + 24, 1000); },
         {Error::SizeMismatch}},
        {"stated size too large",
         1,
         [&](Bytes &b) { put32(b, cd1 + 24, 5000); },
         {Error::SizeMismatch}},
        {"compressed data cut short",
         0,
         [&](Bytes &b) { put32(b, cd + 20, static_cast<std::uint32_t>(d0.compressedSize / 2)); },
         {Error::DataError}},
        {"unknown method",
         1,
         [&](Bytes &b) {
             b[d1.localHeaderOffset + 8] = 14;
             b[cd1 + 10] = 14;
         },
         {Error::UnsupportedMethod}},
        {"strong encryption",
         1,
         [&](Bytes &b) { b[cd1 + 8] |= 0x41; },
         {Error::UnsupportedEncryption}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = good;
        c.damage(b);
        Parsed p = parse(b);
        ASSERT_EQ(p.error, Error::Ok);
        unzip::DiscardSink sink;
        Error err = unzip::readEntry(*p.file, p.dir, c.entry, sink);
        EXPECT_NE(std::find(c.expected.begin(), c.expected.end(), err), c.expected.end())
            << unzip::errorText(err);
    }
    unzip::DiscardSink sink;
    EXPECT_EQ(unzip::readEntry(*ref.file, ref.dir, 2, sink), Error::BadEntryIndex);
}
