// Method 6: LZ77 over a 4 or 8 KiB dictionary whose literals, lengths and
// distances are coded with Shannon-Fano trees stored at the start of the data.

#include "codecs/decoders.h"

#include "bitreader.h"
#include "huffman.h"
#include "outwindow.h"

namespace codecs {
namespace {

using detail::BitReader;
using detail::OutWindow;
using detail::PrefixCode;

// Reads one stored tree: a byte giving the number of bytes that follow minus
// one, each byte a run of (high nibble + 1) codes of (low nibble + 1) bits.
// The runs must describe exactly `n` symbols.
Result readTree(BitReader &br, unsigned n, PrefixCode &code)
{
    std::uint8_t lengths[256];
    unsigned bytes = br.get(8) + 1;
    unsigned filled = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        unsigned b = br.get(8);
        unsigned count = (b >> 4) + 1;
        unsigned bits = (b & 15u) + 1;
        if (br.failed())
            return br.failure();
        if (filled + count > n)
            return Result::DataError;
        for (unsigned k = 0; k < count; ++k)
            lengths[filled++] = static_cast<std::uint8_t>(bits);
    }
    if (br.failed())
        return br.failure();
    if (filled != n || !code.build(lengths, n))
        return Result::DataError;
    return Result::Ok;
}

} // namespace

Result decodeImplode(Source &in, std::uint64_t uncompressedSize, std::uint16_t generalPurposeFlags,
                     Sink &out) noexcept
{
    if (uncompressedSize == kUnknownSize)
        return Result::Unsupported;
    const bool bigDictionary = (generalPurposeFlags & 0x02) != 0;
    const bool literalTree = (generalPurposeFlags & 0x04) != 0;
    const unsigned lowDistBits = bigDictionary ? 7 : 6;
    const unsigned minMatch = literalTree ? 3 : 2;

    BitReader br(in);
    OutWindow win(out, uncompressedSize, 8 * 1024);
    if (!br.valid() || !win.valid())
        return Result::OutOfMemory;

    PrefixCode literals, lengths, distances;
    Result r;
    if (literalTree && (r = readTree(br, 256, literals)) != Result::Ok)
        return r;
    if ((r = readTree(br, 64, lengths)) != Result::Ok)
        return r;
    if ((r = readTree(br, 64, distances)) != Result::Ok)
        return r;

    while (win.remaining() != 0) {
        if (win.stopped())
            return Result::Stopped;
        if (br.get(1) != 0) {
            int c = literalTree ? literals.decode(br, true) : static_cast<int>(br.get(8));
            if (br.failed())
                return br.failure();
            if (c < 0)
                return Result::DataError;
            win.put(static_cast<std::uint8_t>(c));
            continue;
        }
        unsigned low = br.get(lowDistBits);
        int high = distances.decode(br, true);
        int len = high < 0 ? 0 : lengths.decode(br, true);
        if (br.failed())
            return br.failure();
        if (high < 0 || len < 0)
            return Result::DataError;
        std::uint64_t count = static_cast<unsigned>(len) + minMatch;
        if (len == 63)
            count += br.get(8);
        if (br.failed())
            return br.failure();
        std::size_t dist = ((static_cast<std::size_t>(high) << lowDistBits) | low) + 1;
        if (count > win.remaining())
            count = win.remaining();
        win.copy(dist, static_cast<std::size_t>(count));
    }
    if (!win.finish())
        return Result::Stopped;
    return Result::Ok;
}

} // namespace codecs
