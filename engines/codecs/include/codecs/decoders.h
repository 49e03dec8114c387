#pragma once

// Decoders for the compression methods a ZIP entry may use. Each one pulls the
// entry's compressed bytes from a Source and pushes exactly `uncompressedSize`
// bytes to a Sink, holding no more than one dictionary window in memory.
//
// Every decoder returns Result::Ok once the whole entry was produced,
// Truncated when the input ends first, DataError on an invalid code,
// ReadError when the Source fails and Stopped when the Sink refuses more data.
// None of them ever writes more than `uncompressedSize` bytes.

#include "codecs/codec.h"

#include <cstddef>
#include <cstdint>

namespace codecs {

// Size to pass when the entry's length is not known in advance (a streamed
// entry). Only stored, deflate and deflate64 data accept it: deflate streams
// end themselves, stored data runs to the end of the Source. The legacy methods
// have no end marker and answer Unsupported.
inline constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};

// ZIP method numbers handled here.
enum Method : std::uint16_t {
    MethodStored = 0,
    MethodShrunk = 1,
    MethodReduced1 = 2,
    MethodReduced4 = 5,
    MethodImploded = 6,
    MethodDeflated = 8,
    MethodDeflate64 = 9,
};

// Copies `size` bytes unchanged (method 0).
Result decodeStored(Source &in, std::uint64_t size, Sink &out) noexcept;

// Method 1: dynamic LZW, 9 to 13 bit codes, with partial clearing.
Result decodeShrink(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept;

// Methods 2 to 5; `factor` is the method number minus 1 (1..4). Another factor
// answers Unsupported.
Result decodeReduce(Source &in, std::uint64_t uncompressedSize, int factor, Sink &out) noexcept;

// Method 6. General-purpose flag bit 1 selects the 8 KiB dictionary, bit 2 the
// three-tree variant (coded literals, minimum match 3).
Result decodeImplode(Source &in, std::uint64_t uncompressedSize, std::uint16_t generalPurposeFlags,
                     Sink &out) noexcept;

// Method 9: deflate with a 64 KiB window and longer lengths and distances.
Result decodeDeflate64(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept;

// Method 8, streaming (raw deflate through zlib).
Result decodeDeflate(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept;

// Method 8 for an entry held in memory: inflates `in` into exactly `outLen`
// bytes of `out`. On Ok, *consumed (may be null) receives the number of input
// bytes the deflate stream used. Output that would not fit, or a stream that
// ends short of `outLen`, is a DataError; input that ends early is Truncated.
Result inflateBuffer(const std::uint8_t *in, std::size_t inLen, std::uint8_t *out,
                     std::size_t outLen, std::size_t *consumed) noexcept;

// Decodes one entry by its ZIP method number. Methods not listed in Method
// (tokenize, bzip2, LZMA, xz, PPMd, AES-encrypted and others) answer
// Unsupported without reading any input.
Result decodeEntry(std::uint16_t method, std::uint16_t gpFlags, Source &in,
                   std::uint64_t uncompressedSize, Sink &out) noexcept;

} // namespace codecs
