#include "huffman.h"

#include <cstring>

namespace codecs::detail {

bool PrefixCode::build(const std::uint8_t *lengths, unsigned n)
{
    if (n > kMaxSymbols)
        return false;
    std::memset(count_, 0, sizeof count_);
    std::memset(fast_, 0, sizeof fast_);
    for (unsigned s = 0; s < n; ++s) {
        if (lengths[s] > kMaxBits)
            return false;
        ++count_[lengths[s]];
    }
    count_[0] = 0;

    int left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left = (left << 1) - count_[len];
        if (left < 0)
            return false;
    }

    std::uint16_t offset[kMaxBits + 2] = {};
    for (unsigned len = 1; len <= kMaxBits; ++len)
        offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count_[len]);
    std::uint16_t next[kMaxBits + 2];
    std::memcpy(next, offset, sizeof next);
    for (unsigned s = 0; s < n; ++s)
        if (lengths[s] != 0)
            symbols_[next[lengths[s]]++] = static_cast<std::uint16_t>(s);

    // Fill the fast table: walk the symbols in code order, tracking each code.
    unsigned code = 0;
    unsigned index = 0;
    for (unsigned len = 1; len <= kFastBits; ++len) {
        for (unsigned i = 0; i < count_[len]; ++i, ++index, ++code) {
            unsigned reversed = 0;
            for (unsigned b = 0; b < len; ++b)
                reversed |= ((code >> b) & 1u) << (len - 1 - b);
            auto entry = static_cast<std::uint16_t>((symbols_[index] << 5) | len);
            for (unsigned fill = reversed; fill < (1u << kFastBits); fill += 1u << len)
                fast_[fill] = entry;
        }
        code <<= 1;
    }
    return true;
}

int PrefixCode::decode(BitReader &in, bool inverted) const
{
    std::uint32_t bits = in.peek(kFastBits);
    if (inverted)
        bits ^= (1u << kFastBits) - 1;
    std::uint16_t entry = fast_[bits];
    if (entry != 0) {
        in.drop(entry & 31u);
        return entry >> 5;
    }

    bits = in.peek(kMaxBits);
    if (inverted)
        bits ^= (1u << kMaxBits) - 1;
    int code = 0;
    int first = 0;
    int index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code |= static_cast<int>((bits >> (len - 1)) & 1u);
        int count = count_[len];
        if (code - first < count) {
            in.drop(len);
            return symbols_[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    // No code matched: blame the end of the input when it cut the bits short.
    if (in.short_of(kMaxBits))
        in.markOverrun();
    return -1;
}

} // namespace codecs::detail
