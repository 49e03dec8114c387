// Method 8. Streaming goes through zlib's raw inflate; an entry held in memory
// goes through libdeflate, which is markedly faster on whole buffers. When
// libdeflate rejects a buffer, zlib decodes it once more to tell truncated
// input apart from invalid data.

#include "codecs/decoders.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <new>

namespace codecs {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

struct InflateStream {
    z_stream zs{};
    bool open = false;
    ~InflateStream()
    {
        if (open)
            inflateEnd(&zs);
    }
    bool init()
    {
        open = inflateInit2(&zs, -MAX_WBITS) == Z_OK;
        return open;
    }
};

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor *d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor *threadDecompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> d(
        libdeflate_alloc_decompressor());
    return d.get();
}

// One-shot zlib inflate of a whole buffer, for the precise failure reason.
Result inflateWithZlib(const std::uint8_t *in, std::size_t inLen, std::uint8_t *out,
                       std::size_t outLen, std::size_t *consumed)
{
    InflateStream s;
    if (!s.init())
        return Result::OutOfMemory;
    std::size_t inDone = 0;
    std::size_t outDone = 0;
    int rc = Z_OK;
    // avail_in/avail_out are 32-bit: feed at most 1 GiB at a time.
    constexpr std::size_t kStep = std::size_t{1} << 30;
    for (;;) {
        std::size_t inStep = inLen - inDone < kStep ? inLen - inDone : kStep;
        std::size_t outStep = outLen - outDone < kStep ? outLen - outDone : kStep;
        s.zs.next_in = const_cast<Bytef *>(in + inDone);
        s.zs.avail_in = static_cast<uInt>(inStep);
        s.zs.next_out = out + outDone;
        s.zs.avail_out = static_cast<uInt>(outStep);
        rc = inflate(&s.zs, Z_NO_FLUSH);
        inDone += inStep - s.zs.avail_in;
        outDone += outStep - s.zs.avail_out;
        bool progress = s.zs.avail_in != inStep || s.zs.avail_out != outStep;
        if (rc != Z_OK || !progress)
            break;
    }
    switch (rc) {
    case Z_STREAM_END:
        if (outDone != outLen)
            return Result::DataError;
        if (consumed)
            *consumed = inDone;
        return Result::Ok;
    case Z_MEM_ERROR: return Result::OutOfMemory;
    case Z_OK:
    case Z_BUF_ERROR:
        // Stuck: either the output is full (the stream is longer than
        // declared) or the input ran out.
        return outDone == outLen ? Result::DataError : Result::Truncated;
    default: return Result::DataError;
    }
}

} // namespace

Result decodeDeflate(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept
{
    InflateStream s;
    std::unique_ptr<std::uint8_t[]> inBuf(new (std::nothrow) std::uint8_t[kChunk]);
    std::unique_ptr<std::uint8_t[]> outBuf(new (std::nothrow) std::uint8_t[kChunk]);
    if (!inBuf || !outBuf || !s.init())
        return Result::OutOfMemory;

    const bool unknown = uncompressedSize == kUnknownSize;
    std::uint64_t total = 0;
    bool ended = false;
    bool outputFull = false;
    for (;;) {
        // zlib may still hold output when it last filled the buffer; only ask
        // for input when it has consumed everything and wants more.
        if (s.zs.avail_in == 0 && !ended && !outputFull) {
            long n = in.read(inBuf.get(), kChunk);
            if (n < 0 || static_cast<std::size_t>(n) > kChunk)
                return Result::ReadError;
            if (n == 0)
                ended = true;
            s.zs.next_in = inBuf.get();
            s.zs.avail_in = static_cast<uInt>(n);
        }
        s.zs.next_out = outBuf.get();
        s.zs.avail_out = static_cast<uInt>(kChunk);
        int rc = inflate(&s.zs, Z_NO_FLUSH);
        std::size_t produced = kChunk - s.zs.avail_out;
        outputFull = s.zs.avail_out == 0;
        if (produced != 0) {
            bool tooLong = !unknown && produced > uncompressedSize - total;
            std::size_t keep =
                tooLong ? static_cast<std::size_t>(uncompressedSize - total) : produced;
            if (keep != 0 && !out.write(outBuf.get(), keep))
                return Result::Stopped;
            if (tooLong)
                return Result::DataError;
            total += produced;
        }
        if (rc == Z_STREAM_END)
            break;
        if (rc == Z_MEM_ERROR)
            return Result::OutOfMemory;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return Result::DataError;
        if (ended && s.zs.avail_in == 0 && produced == 0)
            return Result::Truncated;
    }
    if (!unknown && total != uncompressedSize)
        return Result::DataError;
    return Result::Ok;
}

Result inflateBuffer(const std::uint8_t *in, std::size_t inLen, std::uint8_t *out,
                     std::size_t outLen, std::size_t *consumed) noexcept
{
    libdeflate_decompressor *d = threadDecompressor();
    if (!d)
        return Result::OutOfMemory;
    std::size_t inDone = 0;
    std::size_t outDone = 0;
    libdeflate_result r =
        libdeflate_deflate_decompress_ex(d, in, inLen, out, outLen, &inDone, &outDone);
    if (r == LIBDEFLATE_SUCCESS && outDone == outLen) {
        if (consumed)
            *consumed = inDone;
        return Result::Ok;
    }
    if (r == LIBDEFLATE_SUCCESS || r == LIBDEFLATE_SHORT_OUTPUT ||
        r == LIBDEFLATE_INSUFFICIENT_SPACE)
        return Result::DataError;
    return inflateWithZlib(in, inLen, out, outLen, consumed);
}

} // namespace codecs
