// Methods 2 to 5: a byte stream coded against per-byte "follower sets" (the
// likely successors of each byte), which is in turn an LZ77 stream escaped by
// DLE (144). The compression factor sets how many bits of the byte after DLE
// belong to the length and how many to the distance.

#include "codecs/decoders.h"

#include "bitreader.h"
#include "outwindow.h"

namespace codecs {
namespace {

using detail::BitReader;
using detail::OutWindow;

constexpr std::uint8_t kDle = 144;
constexpr unsigned kMaxFollowers = 32;

// Bits needed to index a follower set of n entries (at least one).
unsigned indexBits(unsigned n)
{
    unsigned bits = 1;
    while ((1u << bits) < n)
        ++bits;
    return bits;
}

} // namespace

Result decodeReduce(Source &in, std::uint64_t uncompressedSize, int factor, Sink &out) noexcept
{
    if (factor < 1 || factor > 4 || uncompressedSize == kUnknownSize)
        return Result::Unsupported;
    BitReader br(in);
    // The longest distance is 16 * 256 with factor 4.
    OutWindow win(out, uncompressedSize, 8 * 1024);
    if (!br.valid() || !win.valid())
        return Result::OutOfMemory;

    std::uint8_t followers[256][kMaxFollowers];
    std::uint8_t setSize[256];
    for (int j = 255; j >= 0; --j) {
        unsigned n = br.get(6);
        if (n > kMaxFollowers)
            return br.failed() ? br.failure() : Result::DataError;
        setSize[j] = static_cast<std::uint8_t>(n);
        for (unsigned i = 0; i < n; ++i)
            followers[j][i] = static_cast<std::uint8_t>(br.get(8));
    }
    if (br.failed())
        return br.failure();

    const unsigned lengthMask = 0xFFu >> factor;
    const unsigned distShift = 8 - static_cast<unsigned>(factor);
    unsigned state = 0;
    unsigned v = 0;
    unsigned len = 0;
    std::uint8_t last = 0;
    while (win.remaining() != 0) {
        if (win.stopped())
            return Result::Stopped;
        // First stage: the next byte of the LZ77 stream.
        std::uint8_t c;
        unsigned n = setSize[last];
        if (n == 0 || br.get(1) != 0) {
            c = static_cast<std::uint8_t>(br.get(8));
        } else {
            unsigned i = br.get(indexBits(n));
            if (i >= n && !br.failed())
                return Result::DataError;
            c = followers[last][i < n ? i : 0];
        }
        if (br.failed())
            return br.failure();
        last = c;

        // Second stage: DLE escapes.
        switch (state) {
        case 0:
            if (c == kDle)
                state = 1;
            else
                win.put(c);
            break;
        case 1:
            if (c == 0) {
                win.put(kDle);
                state = 0;
            } else {
                v = c;
                len = c & lengthMask;
                state = len == lengthMask ? 2 : 3;
            }
            break;
        case 2:
            len += c;
            state = 3;
            break;
        default: {
            std::size_t dist = ((v >> distShift) << 8) + c + 1;
            std::uint64_t count = len + 3;
            if (count > win.remaining())
                count = win.remaining();
            win.copy(dist, static_cast<std::size_t>(count));
            state = 0;
            break;
        }
        }
    }
    if (!win.finish())
        return Result::Stopped;
    return Result::Ok;
}

} // namespace codecs
