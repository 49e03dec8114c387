#pragma once

// The one place that chooses a decoder for an entry's compressed data.

#include <cstdint>

#include "codecs/codec.h"

namespace unzip {

// Decodes the data of one entry from src (already decrypted, exactly the
// compressed bytes) into dst. uncompressedSize is what the directory states;
// decoders that cannot find the end of their data themselves stop there.
// Methods without a decoder here return Result::Unsupported.
codecs::Result decodeEntryData(std::uint16_t method, std::uint16_t flags, codecs::Source &src,
                               std::uint64_t uncompressedSize, codecs::Sink &dst);

} // namespace unzip
