#pragma once

// The one place that chooses a decoder for an entry's compressed data.

#include <cstdint>

#include "codecs/codec.h"

namespace unzip {

// Deflate entries up to this size (both compressed and uncompressed) are read
// whole and inflated in one step, which is several times faster than the
// streaming inflater; larger ones stream so memory stays bounded.
inline constexpr std::uint64_t kWholeBufferLimit = 64ull * 1024 * 1024;

// Decodes the data of one entry from src (already decrypted, exactly
// `compressedSize` bytes of compressed data) into dst. uncompressedSize is what
// the directory states; decoders that cannot find the end of their data
// themselves stop there. Methods without a decoder (tokenize, bzip2, LZMA,
// PPMd, ...) return Result::Unsupported without reading.
codecs::Result decodeEntryData(std::uint16_t method, std::uint16_t flags, codecs::Source &src,
                               std::uint64_t compressedSize, std::uint64_t uncompressedSize,
                               codecs::Sink &dst);

} // namespace unzip
