#include "lzx_huffman.h"

#include <algorithm>
#include <vector>

namespace cab::detail {
namespace {

// Plain Huffman code lengths; returns the longest.
int huffmanLengths(const std::vector<std::uint32_t> &freq, const std::vector<std::size_t> &used,
                   std::uint8_t *lens)
{
    struct Node {
        std::uint64_t weight;
        int parent;
    };
    const std::size_t leaves = used.size();
    std::vector<Node> nodes;
    nodes.reserve(2 * leaves);
    std::vector<std::size_t> order(used.begin(), used.end());
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return freq[a] < freq[b]; });
    for (std::size_t sym : order)
        nodes.push_back({freq[sym], -1});
    // Two-queue merge: leaves in weight order, internal nodes in creation order.
    std::size_t leaf = 0, inner = leaves;
    auto takeSmallest = [&]() -> std::size_t {
        if (leaf < leaves && (inner >= nodes.size() || nodes[leaf].weight <= nodes[inner].weight))
            return leaf++;
        return inner++;
    };
    for (std::size_t k = 1; k < leaves; ++k) {
        const std::size_t a = takeSmallest();
        const std::size_t b = takeSmallest();
        nodes.push_back({nodes[a].weight + nodes[b].weight, -1});
        nodes[a].parent = nodes[b].parent = static_cast<int>(nodes.size() - 1);
    }
    std::vector<int> depth(nodes.size(), 0);
    for (std::size_t i = nodes.size(); i-- > 0;)
        depth[i] = nodes[i].parent < 0 ? 0 : depth[static_cast<std::size_t>(nodes[i].parent)] + 1;
    int longest = 0;
    for (std::size_t i = 0; i < leaves; ++i) {
        lens[order[i]] = static_cast<std::uint8_t>(depth[i]);
        longest = std::max(longest, depth[i]);
    }
    return longest;
}

} // namespace

void buildCodeLengths(const std::uint32_t *freqIn, std::size_t n, int maxLen, std::uint8_t *lens)
{
    std::vector<std::uint32_t> freq(freqIn, freqIn + n);
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < n; ++i) {
        lens[i] = 0;
        if (freq[i])
            used.push_back(i);
    }
    if (used.empty())
        return;
    if (used.size() == 1) {
        const std::size_t partner = used[0] == 0 ? 1 : 0;
        lens[used[0]] = lens[partner] = 1;
        return;
    }
    // Flatten the distribution until the code fits the length limit.
    while (huffmanLengths(freq, used, lens) > maxLen)
        for (std::size_t sym : used)
            freq[sym] = (freq[sym] >> 1) | 1;
}

void buildCodes(const std::uint8_t *lens, std::size_t n, std::uint16_t *codes)
{
    std::uint32_t count[33] = {};
    for (std::size_t i = 0; i < n; ++i)
        ++count[lens[i]];
    count[0] = 0;
    std::uint32_t next[33] = {};
    std::uint32_t code = 0;
    for (int len = 1; len <= 32; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (std::size_t i = 0; i < n; ++i)
        codes[i] = lens[i] ? static_cast<std::uint16_t>(next[lens[i]]++) : 0;
}

} // namespace cab::detail
