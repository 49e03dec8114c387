// Deflate through both paths (streaming and whole buffer), and deflate64
// against archives written by 7-Zip, including matches beyond 32 KiB and
// lengths beyond 258.

#include "codec_test_support.h"
#include "testenv.h"

#include "codecs/decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>

using namespace codectest;
using codecs::Result;

namespace {

// Text, noise and long runs, with repeats reaching far back.
Bytes sampleData(std::size_t size)
{
    Bytes data;
    std::uint32_t seed = 12345;
    auto noise = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            data.push_back(static_cast<std::uint8_t>(seed >> 16));
        }
    };
    const std::string text = "The quick brown fox jumps over the lazy dog. 0123456789\n";
    while (data.size() < size) {
        std::size_t blockStart = data.size();
        noise(20000);
        for (int i = 0; i < 200; ++i)
            data.insert(data.end(), text.begin(), text.end());
        data.insert(data.end(), 70000, 'a');
        noise(30000);
        // A copy of the noise block from about 50 KiB back.
        Bytes block(data.begin() + static_cast<long>(blockStart),
                    data.begin() + static_cast<long>(blockStart + 20000));
        data.insert(data.end(), block.begin(), block.end());
    }
    data.resize(size);
    return data;
}

Bytes rawDeflate(const Bytes &data)
{
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&zs, data.size()));
    zs.next_in = const_cast<Bytef *>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

Result streamDeflate(const Bytes &in, std::uint64_t size, Bytes &out, std::size_t step = 1 << 20)
{
    MemorySource src(in, step);
    VectorSink sink;
    Result r = codecs::decodeDeflate(src, size, sink);
    out = std::move(sink.data);
    return r;
}

TEST(Deflate, StreamingAndWholeBufferGiveTheData)
{
    Bytes data = sampleData(300000);
    Bytes packed = rawDeflate(data);
    for (std::size_t step : {std::size_t{1} << 20, std::size_t{7}, std::size_t{1}}) {
        Bytes out;
        EXPECT_EQ(streamDeflate(packed, data.size(), out, step), Result::Ok) << step;
        EXPECT_EQ(out, data) << step;
    }
    Bytes out;
    EXPECT_EQ(streamDeflate(packed, codecs::kUnknownSize, out), Result::Ok);
    EXPECT_EQ(out, data);

    // Trailing bytes after the stream are not part of it.
    Bytes padded = packed;
    padded.insert(padded.end(), {1, 2, 3, 4});
    Bytes buffer(data.size());
    std::size_t consumed = 0;
    EXPECT_EQ(codecs::inflateBuffer(padded.data(), padded.size(), buffer.data(), buffer.size(),
                                    &consumed),
              Result::Ok);
    EXPECT_EQ(buffer, data);
    EXPECT_EQ(consumed, packed.size());
}

TEST(Deflate, DamagedStreamsFailTheSameWayOnBothPaths)
{
    Bytes data = sampleData(100000);
    Bytes packed = rawDeflate(data);
    Bytes cut(packed.begin(), packed.end() - 20);
    Bytes garbage(500, 0xFF);
    struct Case {
        const char *what;
        const Bytes &input;
        std::uint64_t size;
        Result expected;
    } cases[] = {
        {"truncated", cut, data.size(), Result::Truncated},
        {"empty", Bytes(), data.size(), Result::Truncated},
        {"longer than declared", packed, data.size() - 1, Result::DataError},
        {"shorter than declared", packed, data.size() + 1, Result::DataError},
        {"invalid block type", garbage, data.size(), Result::DataError},
    };
    for (const Case &c : cases) {
        Bytes out;
        EXPECT_EQ(streamDeflate(c.input, c.size, out), c.expected) << c.what;
        EXPECT_LE(out.size(), c.size) << c.what;
        Bytes buffer(static_cast<std::size_t>(c.size));
        EXPECT_EQ(codecs::inflateBuffer(c.input.data(), c.input.size(), buffer.data(),
                                        buffer.size(), nullptr),
                  c.expected)
            << c.what;
    }
}

class Deflate64Archive : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("command -v 7zz >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "7zz is not installed";
    }

    // Packs `data` as one deflate64 entry with 7-Zip and returns that entry.
    ZipEntry pack(const Bytes &data)
    {
        std::string dir = brxtest::makeScratchDir("deflate64");
        {
            std::ofstream f(dir + "/sample.bin", std::ios::binary);
            f.write(reinterpret_cast<const char *>(data.data()),
                    static_cast<std::streamsize>(data.size()));
        }
        std::string cmd = "cd '" + dir + "' && 7zz a -tzip -mm=Deflate64 -mx=9 out.zip sample.bin" +
                          " >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        auto entries = readZip(dir + "/out.zip");
        EXPECT_EQ(entries.size(), 1u);
        return entries.empty() ? ZipEntry{} : entries[0];
    }
};

TEST_F(Deflate64Archive, LongMatchesAndFarDistancesDecode)
{
    Bytes data = sampleData(400000);
    ZipEntry e = pack(data);
    ASSERT_EQ(e.method, codecs::MethodDeflate64);
    for (std::size_t step : {std::size_t{1} << 20, std::size_t{7}}) {
        Bytes out;
        EXPECT_EQ(decode(e, e.compressed, out, step), Result::Ok) << step;
        EXPECT_EQ(out, data) << step;
    }
    MemorySource src(e.compressed);
    VectorSink sink;
    EXPECT_EQ(codecs::decodeDeflate64(src, codecs::kUnknownSize, sink), Result::Ok);
    EXPECT_EQ(sink.data, data);

    // The stream is longer than a size declared one byte short.
    MemorySource src2(e.compressed);
    VectorSink sink2;
    EXPECT_EQ(codecs::decodeDeflate64(src2, data.size() - 1, sink2), Result::DataError);
    EXPECT_LE(sink2.data.size(), data.size() - 1);
}

TEST_F(Deflate64Archive, SmallFileDecodes)
{
    const std::string line = "hello, small world\n";
    Bytes data;
    for (int i = 0; i < 100; ++i)
        data.insert(data.end(), line.begin(), line.end());
    ZipEntry e = pack(data);
    ASSERT_EQ(e.method, codecs::MethodDeflate64);
    Bytes out;
    EXPECT_EQ(decode(e, e.compressed, out), Result::Ok);
    EXPECT_EQ(out, data);
}

} // namespace
