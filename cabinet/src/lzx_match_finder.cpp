#include "lzx_match_finder.h"

#include <algorithm>
#include <cstring>

namespace cab::detail {
namespace {

// Bytes compared to sort the trees: longer common prefixes are not told apart.
constexpr int kTreeLength = 258;

} // namespace

bool BinaryTreeMatchFinder::init(const Allocator &alloc, int windowBits, std::uint32_t maxDistance)
{
    const std::size_t slots = std::size_t(1) << windowBits;
    if (!head4_.allocate(alloc, std::size_t(1) << kHash4Bits) || !child_.allocate(alloc, 2 * slots))
        return false;
    std::memset(head4_.data(), 0, head4_.size() * sizeof(std::uint32_t));
    std::memset(child_.data(), 0, child_.size() * sizeof(std::uint32_t));
    mask_ = slots - 1;
    maxDistance_ = maxDistance;
    return true;
}

std::size_t BinaryTreeMatchFinder::find(const std::uint8_t *cur, std::uint64_t pos,
                                        std::size_t available, int limit, int nice, int depth,
                                        MatchCandidate *out, std::size_t maxCandidates)
{
    if (available < 4)
        return 0;
    std::uint32_t v;
    std::memcpy(&v, cur, 4);
    const std::uint32_t h4 = (v * 2654435761u) >> (32 - kHash4Bits);
    const auto self = static_cast<std::uint32_t>(pos + 1);
    const int treeLength = static_cast<int>(std::min<std::size_t>(available, kTreeLength));
    const int treeNice = std::min(nice, treeLength);
    const int reportLimit = std::min(limit, treeLength);

    std::size_t count = 0;
    // Matches of two or three bytes only pay at a repeated offset (tried by the
    // parser) or very close by; a separate table for them gained nothing on text.
    int best = 2;
    auto record = [&](int len, std::uint64_t dist) {
        len = std::min(len, reportLimit);
        if (len > best && count < maxCandidates) {
            out[count++] = MatchCandidate{len, static_cast<std::uint32_t>(dist)};
            best = len;
        }
    };

    // Walk the tree from its root and re-root it here: every node passed goes
    // to the smaller or the greater side of the current string.
    std::uint32_t node = head4_[h4];
    head4_[h4] = self;
    std::uint32_t *pendingLess = &child_[2 * (pos & mask_)];
    std::uint32_t *pendingGreater = pendingLess + 1;
    while (node != 0 && depth-- > 0) {
        const std::uint64_t dist = pos - (node - 1);
        if (dist == 0 || dist > maxDistance_)
            break;
        const std::uint8_t *match = cur - dist;
        // The full comparison keeps every reported length exact even where
        // the order of a tree rests on fewer bytes (near the end of the data).
        const int len = commonLength(cur, match, treeLength);
        record(len, dist);
        std::uint32_t *kids = &child_[2 * ((node - 1) & mask_)];
        if (len >= treeNice) {
            // Equal as far as the trees look: the node's subtrees become ours.
            *pendingLess = kids[0];
            *pendingGreater = kids[1];
            return count;
        }
        if (match[len] < cur[len]) {
            *pendingLess = node;
            pendingLess = &kids[1];
            node = kids[1];
        } else {
            *pendingGreater = node;
            pendingGreater = &kids[0];
            node = kids[0];
        }
    }
    *pendingLess = 0;
    *pendingGreater = 0;
    return count;
}

} // namespace cab::detail
