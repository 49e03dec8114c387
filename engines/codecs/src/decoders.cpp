// Stored data and the choice of decoder by ZIP method number.

#include "codecs/decoders.h"

#include <memory>
#include <new>

namespace codecs {

Result decodeStored(Source &in, std::uint64_t size, Sink &out) noexcept
{
    constexpr std::size_t kChunk = 64 * 1024;
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kChunk]);
    if (!buf)
        return Result::OutOfMemory;
    const bool unknown = size == kUnknownSize;
    std::uint64_t left = size;
    while (unknown || left != 0) {
        std::size_t want = !unknown && left < kChunk ? static_cast<std::size_t>(left) : kChunk;
        long n = in.read(buf.get(), want);
        if (n < 0 || static_cast<std::size_t>(n) > want)
            return Result::ReadError;
        if (n == 0)
            return unknown ? Result::Ok : Result::Truncated;
        if (!out.write(buf.get(), static_cast<std::size_t>(n)))
            return Result::Stopped;
        left -= static_cast<std::uint64_t>(n);
    }
    return Result::Ok;
}

Result decodeEntry(std::uint16_t method, std::uint16_t gpFlags, Source &in,
                   std::uint64_t uncompressedSize, Sink &out) noexcept
{
    switch (method) {
    case MethodStored: return decodeStored(in, uncompressedSize, out);
    case MethodShrunk: return decodeShrink(in, uncompressedSize, out);
    case 2:
    case 3:
    case 4:
    case MethodReduced4: return decodeReduce(in, uncompressedSize, method - 1, out);
    case MethodImploded: return decodeImplode(in, uncompressedSize, gpFlags, out);
    case MethodDeflated: return decodeDeflate(in, uncompressedSize, out);
    case MethodDeflate64: return decodeDeflate64(in, uncompressedSize, out);
    default: return Result::Unsupported;
    }
}

} // namespace codecs
