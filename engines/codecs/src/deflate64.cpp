// Method 9: deflate with a 64 KiB window. Length code 285 carries 16 extra
// bits on a base of 3 (instead of meaning 258), and distance codes 30 and 31
// reach 64 KiB back with 14 extra bits.

#include "codecs/decoders.h"

#include "bitreader.h"
#include "huffman.h"
#include "outwindow.h"

namespace codecs {
namespace {

using detail::BitReader;
using detail::OutWindow;
using detail::PrefixCode;

constexpr std::size_t kWindow = 64 * 1024;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr std::uint16_t kDistBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                         17,   25,   33,   49,    65,    97,    129,   193,
                                         257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                         4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Order in which the code-length code lengths are stored.
constexpr std::uint8_t kClenOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

class Inflater {
public:
    Inflater(Source &in, std::uint64_t size, Sink &out)
        : br_(in), win_(out, size, kWindow), unknown_(size == kUnknownSize)
    {
    }

    Result run();

private:
    Result stored();
    Result fixedTables();
    Result dynamicTables();
    Result codes();

    BitReader br_;
    OutWindow win_;
    bool unknown_;
    PrefixCode lit_;
    PrefixCode dist_;
};

Result Inflater::run()
{
    if (!br_.valid() || !win_.valid())
        return Result::OutOfMemory;
    bool last = false;
    while (!last) {
        last = br_.get(1) != 0;
        unsigned type = br_.get(2);
        if (br_.failed())
            return br_.failure();
        Result r;
        switch (type) {
        case 0: r = stored(); break;
        case 1:
            r = fixedTables();
            if (r == Result::Ok)
                r = codes();
            break;
        case 2:
            r = dynamicTables();
            if (r == Result::Ok)
                r = codes();
            break;
        default: r = Result::DataError; break;
        }
        if (r != Result::Ok)
            return r;
    }
    if (!unknown_ && win_.remaining() != 0)
        return Result::DataError; // the stream ended short of the declared size
    if (!win_.finish())
        return Result::Stopped;
    return Result::Ok;
}

Result Inflater::stored()
{
    br_.alignToByte();
    unsigned len = br_.get(16);
    unsigned nlen = br_.get(16);
    if (br_.failed())
        return br_.failure();
    if (len != (~nlen & 0xFFFFu))
        return Result::DataError;
    if (len > win_.remaining())
        return Result::DataError;
    for (unsigned i = 0; i < len; ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(br_.get(8));
        if (br_.failed())
            return br_.failure();
        win_.put(b);
    }
    return win_.stopped() ? Result::Stopped : Result::Ok;
}

Result Inflater::fixedTables()
{
    std::uint8_t lengths[288];
    unsigned s = 0;
    for (; s < 144; ++s)
        lengths[s] = 8;
    for (; s < 256; ++s)
        lengths[s] = 9;
    for (; s < 280; ++s)
        lengths[s] = 7;
    for (; s < 288; ++s)
        lengths[s] = 8;
    lit_.build(lengths, 288);
    for (s = 0; s < 32; ++s)
        lengths[s] = 5;
    dist_.build(lengths, 32);
    return Result::Ok;
}

Result Inflater::dynamicTables()
{
    unsigned nlit = br_.get(5) + 257;
    unsigned ndist = br_.get(5) + 1;
    unsigned nclen = br_.get(4) + 4;
    if (br_.failed())
        return br_.failure();
    if (nlit > 286)
        return Result::DataError;

    std::uint8_t clen[19] = {};
    for (unsigned i = 0; i < nclen; ++i)
        clen[kClenOrder[i]] = static_cast<std::uint8_t>(br_.get(3));
    if (br_.failed())
        return br_.failure();
    PrefixCode clenCode;
    if (!clenCode.build(clen, 19))
        return Result::DataError;

    std::uint8_t lengths[286 + 32] = {};
    unsigned n = 0;
    while (n < nlit + ndist) {
        int sym = clenCode.decode(br_);
        if (br_.failed())
            return br_.failure();
        if (sym < 0)
            return Result::DataError;
        if (sym < 16) {
            lengths[n++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        unsigned repeat;
        std::uint8_t value = 0;
        if (sym == 16) {
            if (n == 0)
                return Result::DataError;
            value = lengths[n - 1];
            repeat = 3 + br_.get(2);
        } else if (sym == 17) {
            repeat = 3 + br_.get(3);
        } else {
            repeat = 11 + br_.get(7);
        }
        if (br_.failed())
            return br_.failure();
        if (n + repeat > nlit + ndist)
            return Result::DataError;
        while (repeat-- != 0)
            lengths[n++] = value;
    }
    if (lengths[256] == 0)
        return Result::DataError; // no end-of-block code
    if (!lit_.build(lengths, nlit) || !dist_.build(lengths + nlit, ndist))
        return Result::DataError;
    return Result::Ok;
}

Result Inflater::codes()
{
    for (;;) {
        if (win_.stopped())
            return Result::Stopped;
        int sym = lit_.decode(br_);
        if (br_.failed())
            return br_.failure();
        if (sym < 0)
            return Result::DataError;
        if (sym < 256) {
            if (win_.remaining() == 0)
                return Result::DataError; // more data than declared
            win_.put(static_cast<std::uint8_t>(sym));
            continue;
        }
        if (sym == 256)
            return Result::Ok;
        sym -= 257;
        if (sym >= 29)
            return Result::DataError;
        std::uint64_t len = kLengthBase[sym] + br_.get(kLengthExtra[sym]);
        int dsym = dist_.decode(br_);
        if (br_.failed())
            return br_.failure();
        if (dsym < 0)
            return Result::DataError;
        std::size_t dist = kDistBase[dsym] + br_.get(kDistExtra[dsym]);
        if (br_.failed())
            return br_.failure();
        if (dist > win_.total() || len > win_.remaining())
            return Result::DataError;
        win_.copy(dist, static_cast<std::size_t>(len));
    }
}

} // namespace

Result decodeDeflate64(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept
{
    Inflater inflater(in, uncompressedSize, out);
    return inflater.run();
}

} // namespace codecs
