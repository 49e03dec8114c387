#pragma once

// Canonical prefix-code decoder used by deflate64 and implode. Codes are
// assigned in order of length, then of symbol; the stream carries them
// starting with the most significant bit of the code. Implode stores each code
// with its bits inverted, which `inverted` undoes.

#include "bitreader.h"

#include <cstdint>

namespace codecs::detail {

class PrefixCode {
public:
    static constexpr unsigned kMaxBits = 16;
    static constexpr unsigned kMaxSymbols = 288;

    // Builds the decoder from one code length per symbol (0 = unused). False
    // when the lengths over-subscribe the code space or exceed the limits; an
    // incomplete code is accepted and its missing codes decode as errors.
    bool build(const std::uint8_t *lengths, unsigned n);

    // The next symbol, or -1 for a bit pattern that is no code. When the input
    // ran out, the reader is marked overrun.
    int decode(BitReader &in, bool inverted = false) const;

private:
    static constexpr unsigned kFastBits = 9;

    std::uint16_t count_[kMaxBits + 1] = {};
    std::uint16_t symbols_[kMaxSymbols] = {};
    // (symbol << 5) | length for codes of up to kFastBits bits, indexed by
    // the next kFastBits input bits; 0 sends the lookup to the slow path.
    std::uint16_t fast_[1u << kFastBits] = {};
};

} // namespace codecs::detail
