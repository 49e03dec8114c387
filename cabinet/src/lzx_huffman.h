#pragma once

// Length-limited canonical Huffman codes for the LZX encoder.

#include <cstddef>
#include <cstdint>

namespace cab::detail {

// Code lengths (0 for unused symbols) for `freq` with no code longer than
// maxLen. A single used symbol gets a partner so the code stays complete,
// which the decoders require; with no used symbol all lengths are 0.
void buildCodeLengths(const std::uint32_t *freq, std::size_t n, int maxLen, std::uint8_t *lens);

// Canonical codes (shorter first, ties by symbol order) for `lens`.
void buildCodes(const std::uint8_t *lens, std::size_t n, std::uint16_t *codes);

} // namespace cab::detail
