#pragma once

// Match finder for the LZX encoder: binary trees of earlier positions sorted
// by the bytes that follow them, one tree per 4-byte hash. A search walks one tree from
// its root, each step towards strings closer to the current one, and re-roots
// the tree at the current position on the way, so finding matches and adding
// the position are one walk. Against hash chains this visits few positions to
// find the long matches (a chain also holds every position that only shares
// the hash), which is what made the encoder slow on large windows.
//
// Positions are folder offsets; the caller keeps the bytes of at least the
// last window before the current position addressable, and searches every
// position once, in order (positions may be left out).

#include "folder_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cab::detail {

// Length of the common prefix of a and b, at most `limit` bytes.
inline int commonLength(const std::uint8_t *a, const std::uint8_t *b, int limit)
{
    int len = 0;
    while (len + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y)
            return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < limit && a[len] == b[len])
        ++len;
    return len;
}

struct MatchCandidate {
    int len;
    std::uint32_t dist;
};

class BinaryTreeMatchFinder {
public:
    // Trees over a window of 2^windowBits; matches reach at most maxDistance back.
    bool init(const Allocator &alloc, int windowBits, std::uint32_t maxDistance);

    // Matches for the string at `cur` (folder offset `pos`), each longer than
    // the one before, at most maxCandidates. `available` bytes may be read
    // from `cur` (used to sort the trees; at least 4 for the position to be
    // added); matches are cut to `limit` bytes, and the walk ends at a match
    // of `nice` bytes or after `depth` steps.
    std::size_t find(const std::uint8_t *cur, std::uint64_t pos, std::size_t available, int limit,
                     int nice, int depth, MatchCandidate *out, std::size_t maxCandidates);

private:
    static constexpr int kHash4Bits = 17;

    std::uint32_t *children(std::uint64_t pos) { return &child_[2 * (pos & mask_)]; }

    Buffer<std::uint32_t> head4_; // folder offset + 1 of each tree's root, 0 when empty
    Buffer<std::uint32_t> child_; // two per window slot: smaller and greater subtree
    std::uint64_t mask_ = 0;
    std::uint32_t maxDistance_ = 0;
};

} // namespace cab::detail
