// How each decoder ends when its input or output misbehaves: truncated,
// damaged or failing input, a Sink that stops, methods we do not handle.
// Hand-built streams pin down the error for specific invalid codes.

#include "codec_test_support.h"
#include "testenv.h"

#include "codecs/decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace codectest;
using codecs::Result;

namespace {

// Writes a bit stream least significant bit first, as all these formats do.
class BitWriter {
public:
    void bits(std::uint32_t value, unsigned n)
    {
        for (unsigned i = 0; i < n; ++i)
            put((value >> i) & 1u);
    }
    // A prefix code, which the stream carries most significant bit first.
    void code(std::uint32_t value, unsigned n)
    {
        for (unsigned i = n; i > 0; --i)
            put((value >> (i - 1)) & 1u);
    }
    Bytes done() const { return out_; }

private:
    void put(unsigned bit)
    {
        if (used_ == 0)
            out_.push_back(0);
        out_.back() = static_cast<std::uint8_t>(out_.back() | (bit << used_));
        used_ = (used_ + 1) & 7;
    }
    Bytes out_;
    unsigned used_ = 0;
};

ZipEntry firstEntry(const char *file)
{
    auto list = readZip(brxtest::fixturePath(std::string("zip-legacy/") + file));
    return list.empty() ? ZipEntry{} : list[0];
}

ZipEntry deflateEntry()
{
    ZipEntry e;
    e.name = "deflated";
    e.method = codecs::MethodDeflated;
    Bytes data = readFile(brxtest::fixturePath("zip-legacy/z2-first.txt"));
    uLongf len = compressBound(static_cast<uLong>(data.size()));
    Bytes z(len);
    EXPECT_EQ(compress2(z.data(), &len, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    // Strip the zlib header and trailer: ZIP stores raw deflate.
    e.compressed.assign(z.begin() + 2, z.begin() + static_cast<long>(len) - 4);
    e.uncompressedSize = data.size();
    e.crc = crcOf(data);
    return e;
}

ZipEntry storedEntry()
{
    ZipEntry e;
    e.name = "stored";
    e.compressed = readFile(brxtest::fixturePath("zip-legacy/z2-first.txt"));
    e.uncompressedSize = e.compressed.size();
    e.crc = crcOf(e.compressed);
    return e;
}

// One entry of every method and variant.
std::vector<ZipEntry> samples()
{
    return {storedEntry(),
            firstEntry("z2-shrink.zip"),
            firstEntry("z2-reduce.zip"),
            firstEntry("cc-imploding-4Kdict-2trees.zip"),
            firstEntry("cc-imploding-8Kdict-3trees.zip"),
            firstEntry("cc-lorem-ipsum-deflate64.zip"),
            deflateEntry()};
}

TEST(DecoderFailures, TruncatedInputIsReportedAsTruncated)
{
    for (const ZipEntry &e : samples()) {
        ASSERT_FALSE(e.compressed.empty()) << e.name;
        for (std::size_t keep : {std::size_t{0}, e.compressed.size() / 2}) {
            Bytes cut(e.compressed.begin(), e.compressed.begin() + static_cast<long>(keep));
            Bytes out;
            EXPECT_EQ(decode(e, cut, out), Result::Truncated)
                << e.name << " method " << e.method << " cut to " << keep;
            EXPECT_LT(out.size(), e.uncompressedSize) << e.name;
        }
    }
}

TEST(DecoderFailures, SinkThatStopsEndsTheDecoder)
{
    for (const ZipEntry &e : samples()) {
        for (std::size_t allowed : {std::size_t{0}, std::size_t(e.uncompressedSize / 2)}) {
            MemorySource src(e.compressed, 64);
            VectorSink sink(allowed);
            EXPECT_EQ(codecs::decodeEntry(e.method, e.flags, src, e.uncompressedSize, sink),
                      Result::Stopped)
                << e.name << " method " << e.method << " after " << allowed;
            EXPECT_LE(sink.data.size(), allowed);
        }
    }
}

TEST(DecoderFailures, SourceReadErrorIsReportedAsReadError)
{
    for (const ZipEntry &e : samples()) {
        for (std::size_t failAt : {std::size_t{0}, e.compressed.size() / 2}) {
            MemorySource src(e.compressed, 16, failAt);
            VectorSink sink;
            EXPECT_EQ(codecs::decodeEntry(e.method, e.flags, src, e.uncompressedSize, sink),
                      Result::ReadError)
                << e.name << " method " << e.method << " failing at " << failAt;
        }
    }
}

// Damage anywhere may go unnoticed by the methods without checks, but it must
// never crash, hang or produce more than the declared size.
TEST(DecoderFailures, DamagedInputNeverOverrunsTheDeclaredSize)
{
    for (const ZipEntry &e : samples()) {
        if (e.method == codecs::MethodStored)
            continue;
        int failures = 0;
        for (std::size_t at = 0; at < e.compressed.size(); at += 1 + e.compressed.size() / 97) {
            for (std::uint8_t mask : {0x01, 0x5A, 0xFF}) {
                Bytes damaged = e.compressed;
                damaged[at] ^= mask;
                Bytes out;
                Result r = decode(e, damaged, out, 13);
                EXPECT_LE(out.size(), e.uncompressedSize) << e.name << " at " << at;
                if (r != Result::Ok)
                    ++failures;
                else
                    EXPECT_EQ(out.size(), e.uncompressedSize) << e.name << " at " << at;
            }
        }
        // Flipping bits in a coded stream is noticed at least some of the time.
        EXPECT_GT(failures, 0) << e.name;
    }
}

TEST(DecoderFailures, OtherMethodsAreUnsupportedWithoutReading)
{
    Bytes data(100, 0x55);
    for (std::uint16_t method : {7, 10, 12, 14, 19, 93, 95, 96, 97, 98, 99}) {
        MemorySource src(data);
        VectorSink sink;
        EXPECT_EQ(codecs::decodeEntry(method, 0, src, 100, sink), Result::Unsupported) << method;
        EXPECT_EQ(src.reads(), 0u) << method;
        EXPECT_TRUE(sink.data.empty()) << method;
    }
    for (int factor : {0, 5}) {
        MemorySource src(data);
        VectorSink sink;
        EXPECT_EQ(codecs::decodeReduce(src, 100, factor, sink), Result::Unsupported) << factor;
    }
    // The legacy methods have no end marker, so they need the size.
    for (std::uint16_t method : {1, 2, 5, 6}) {
        MemorySource src(data);
        VectorSink sink;
        EXPECT_EQ(codecs::decodeEntry(method, 0, src, codecs::kUnknownSize, sink),
                  Result::Unsupported)
            << method;
    }
}

TEST(DecoderFailures, StoredCopiesExactlyTheSize)
{
    Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    MemorySource src(data, 3);
    VectorSink sink;
    EXPECT_EQ(codecs::decodeStored(src, 5, sink), Result::Ok);
    EXPECT_EQ(sink.data, Bytes({1, 2, 3, 4, 5}));
    MemorySource all(data, 3);
    VectorSink allSink;
    EXPECT_EQ(codecs::decodeStored(all, codecs::kUnknownSize, allSink), Result::Ok);
    EXPECT_EQ(allSink.data, data);
}

struct HandBuilt {
    const char *what;
    std::uint16_t method;
    std::uint16_t flags;
    Bytes input;
    std::uint64_t size;
    Result expected;
    Bytes output; // checked when expected is Ok
};

std::vector<HandBuilt> handBuiltStreams()
{
    std::vector<HandBuilt> cases;
    {
        BitWriter w; // 'A', then 256,3: no such control code
        w.bits('A', 9), w.bits(256, 9), w.bits(3, 9);
        cases.push_back({"shrink unknown control code", 1, 0, w.done(), 10, Result::DataError, {}});
    }
    {
        BitWriter w; // a first code that was never defined
        w.bits(300, 9);
        cases.push_back({"shrink undefined code", 1, 0, w.done(), 10, Result::DataError, {}});
    }
    {
        BitWriter w; // 'a', then 257 before it is defined: "a" + "aa"
        w.bits('a', 9), w.bits(257, 9), w.bits(258, 9);
        cases.push_back({"shrink code defined in its own step", 1, 0, w.done(), 6, Result::Ok,
                         Bytes{'a', 'a', 'a', 'a', 'a', 'a'}});
    }
    {
        BitWriter w; // 'a' 'b', partial clear frees 257 ("ab"), 257 becomes "bc"
        w.bits('a', 9), w.bits('b', 9), w.bits(256, 9), w.bits(2, 9), w.bits('c', 9);
        w.bits(257, 9);
        cases.push_back({"shrink partial clear reuses freed codes", 1, 0, w.done(), 5, Result::Ok,
                         Bytes{'a', 'b', 'c', 'b', 'c'}});
    }
    {
        BitWriter w; // 256,1 widens codes to 10 bits
        w.bits('x', 9), w.bits(256, 9), w.bits(1, 9), w.bits('y', 10), w.bits(257, 10);
        cases.push_back(
            {"shrink wider codes", 1, 0, w.done(), 4, Result::Ok, Bytes{'x', 'y', 'x', 'y'}});
    }
    {
        BitWriter w; // follower set of 33 entries
        w.bits(33, 6);
        for (int i = 0; i < 40; ++i)
            w.bits(0, 8);
        cases.push_back(
            {"reduce oversized follower set", 2, 0, w.done(), 4, Result::DataError, {}});
    }
    {
        BitWriter w; // empty follower sets; "ab", DLE 0 = literal DLE, a match of 3+2 at distance 2
        for (int j = 0; j < 256; ++j)
            w.bits(0, 6);
        for (unsigned c : {unsigned{'a'}, unsigned{'b'}, 144u, 0u, 144u, 0x02u, 0x01u})
            w.bits(c, 8);
        cases.push_back({"reduce literal DLE and a match", 5, 0, w.done(), 8, Result::Ok,
                         Bytes{'a', 'b', 144, 'b', 144, 'b', 144, 'b'}});
    }
    {
        BitWriter w; // a valid length tree (64 codes of 6 bits), then 65 distance codes
        w.bits(3, 8);
        for (int i = 0; i < 4; ++i)
            w.bits(0xF5, 8);
        w.bits(4, 8);
        for (int i = 0; i < 4; ++i)
            w.bits(0xF5, 8);
        w.bits(0x05, 8);
        cases.push_back(
            {"implode tree of the wrong size", 6, 0, w.done(), 4, Result::DataError, {}});
    }
    {
        BitWriter w; // deflate64 block type 3
        w.bits(1, 1), w.bits(3, 2);
        cases.push_back({"deflate64 invalid block type", 9, 0, w.done(), 4, Result::DataError, {}});
    }
    {
        BitWriter w; // fixed codes: a match before the first byte
        w.bits(1, 1), w.bits(1, 2), w.code(0b0000001, 7), w.code(0, 5), w.code(0, 7);
        cases.push_back(
            {"deflate64 distance before the start", 9, 0, w.done(), 3, Result::DataError, {}});
    }
    {
        // Fixed codes: 'a', then length code 285 with 16 extra bits (3 + 1000) at
        // distance 1, then end of block.
        BitWriter w;
        w.bits(1, 1), w.bits(1, 2);
        w.code(0x30 + 'a', 8);
        w.code(0xC0 + 5, 8), w.bits(1000, 16);
        w.code(0, 5);
        w.code(0, 7);
        cases.push_back(
            {"deflate64 long length code", 9, 0, w.done(), 1004, Result::Ok, Bytes(1004, 'a')});
    }
    return cases;
}

TEST(DecoderFailures, HandBuiltStreams)
{
    for (const HandBuilt &c : handBuiltStreams()) {
        MemorySource src(c.input);
        VectorSink sink;
        EXPECT_EQ(codecs::decodeEntry(c.method, c.flags, src, c.size, sink), c.expected) << c.what;
        if (c.expected == Result::Ok) {
            EXPECT_EQ(sink.data, c.output) << c.what;
        }
    }
}

} // namespace
