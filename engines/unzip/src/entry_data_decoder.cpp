#include "entry_data_decoder.h"

#include <algorithm>
#include <memory>
#include <new>
#include <zlib.h>

#include "zip_format.h"

namespace unzip {
namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::size_t kMinChunk = 4 * 1024;
constexpr std::size_t kInputChunk = 64 * 1024;

// Output buffer for an entry of the stated size: large entries get large
// writes, tiny ones do not pay for a large allocation.
std::size_t outputChunk(std::uint64_t uncompressedSize)
{
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(uncompressedSize + 1, kMinChunk, kChunk));
}

codecs::Result copyStored(codecs::Source &src, std::size_t chunk, codecs::Sink &dst)
{
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[chunk]);
    if (!buf)
        return codecs::Result::OutOfMemory;
    for (;;) {
        long n = src.read(buf.get(), chunk);
        if (n < 0)
            return codecs::Result::ReadError;
        if (n == 0)
            return codecs::Result::Ok;
        if (!dst.write(buf.get(), static_cast<std::size_t>(n)))
            return codecs::Result::Stopped;
    }
}

// Raw deflate through zlib, until the codecs library brings its own inflate.
codecs::Result inflateRaw(codecs::Source &src, std::size_t chunk, codecs::Sink &dst)
{
    std::unique_ptr<std::uint8_t[]> in(new (std::nothrow) std::uint8_t[kInputChunk]);
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow) std::uint8_t[chunk]);
    if (!in || !out)
        return codecs::Result::OutOfMemory;
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return codecs::Result::OutOfMemory;
    struct Guard {
        z_stream *s;
        ~Guard() { inflateEnd(s); }
    } guard{&zs};
    bool inputDone = false;
    for (;;) {
        if (zs.avail_in == 0 && !inputDone) {
            long n = src.read(in.get(), kInputChunk);
            if (n < 0)
                return codecs::Result::ReadError;
            inputDone = n == 0;
            zs.next_in = in.get();
            zs.avail_in = static_cast<uInt>(n);
        }
        zs.next_out = out.get();
        zs.avail_out = static_cast<uInt>(chunk);
        int ret = inflate(&zs, Z_NO_FLUSH);
        std::size_t produced = chunk - zs.avail_out;
        if (produced > 0 && !dst.write(out.get(), produced))
            return codecs::Result::Stopped;
        switch (ret) {
        case Z_STREAM_END: return codecs::Result::Ok;
        case Z_OK: break;
        case Z_BUF_ERROR:
            // No progress possible: only acceptable while more input may come.
            if (inputDone && produced == 0)
                return codecs::Result::Truncated;
            break;
        case Z_MEM_ERROR: return codecs::Result::OutOfMemory;
        default: return codecs::Result::DataError;
        }
        if (inputDone && zs.avail_in == 0 && produced == 0)
            return codecs::Result::Truncated;
    }
}

} // namespace

codecs::Result decodeEntryData(std::uint16_t method, std::uint16_t flags, codecs::Source &src,
                               std::uint64_t uncompressedSize, codecs::Sink &dst)
{
    (void)flags;
    const std::size_t chunk = outputChunk(uncompressedSize);
    switch (method) {
    case fmt::method::kStored: return copyStored(src, chunk, dst);
    case fmt::method::kDeflated: return inflateRaw(src, chunk, dst);
    default: return codecs::Result::Unsupported;
    }
}

} // namespace unzip
