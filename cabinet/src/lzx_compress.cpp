#include "lzx_compress.h"

#include "cab_format.h"
#include "lzx_huffman.h"
#include "lzx_match_finder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace cab::detail {
namespace {

constexpr int kMinMatch = 2;
constexpr int kMaxMatch = 257;
constexpr int kNumChars = 256;
constexpr int kPrimaryLengths = 7;
constexpr int kSecondaryLengths = 249;
constexpr int kPretreeSymbols = 20;
constexpr int kMaxSlots = 50;
constexpr int kMainMax = kNumChars + 8 * kMaxSlots;
constexpr int kMaxCodeLen = 16;
constexpr int kMaxPretreeLen = 15; // pretree lengths are stored in 4 bits

constexpr int kBlockVerbatim = 1;
constexpr int kBlockUncompressed = 3;

// Frames per block: larger blocks spread the cost of the trees, smaller ones
// follow changes in the data.
constexpr std::size_t kFramesPerBlock = 4;
constexpr std::size_t kFrameLimit = kBlockMax + kLzxMaxGrowth;

// Match search: tree nodes visited per position, and the length at which a
// match is taken without looking further.
constexpr int kMaxDepth = 32;
constexpr int kNiceLength = 64;

// Position slots by window size (2^15 .. 2^21).
constexpr int kSlotsByWindow[] = {30, 32, 34, 36, 38, 42, 50};

struct SlotTables {
    std::uint8_t extra[kMaxSlots + 1];
    std::uint32_t base[kMaxSlots + 1];
    constexpr SlotTables() : extra(), base()
    {
        int bits = 0;
        for (int i = 0; i <= kMaxSlots; i += 2) {
            extra[i] = static_cast<std::uint8_t>(bits);
            if (i + 1 <= kMaxSlots)
                extra[i + 1] = static_cast<std::uint8_t>(bits);
            if (i != 0 && bits < 17)
                ++bits;
        }
        std::uint32_t b = 0;
        for (int i = 0; i <= kMaxSlots; ++i) {
            base[i] = b;
            b += 1u << extra[i];
        }
    }
};
constexpr SlotTables kSlots;

// Slot of a formatted offset (distance + 2).
inline int slotOf(std::uint32_t formatted)
{
    if (formatted < 4)
        return static_cast<int>(formatted);
    if (formatted >= kSlots.base[36])
        return 36 + static_cast<int>((formatted - kSlots.base[36]) >> 17);
    const int high = 31 - __builtin_clz(formatted);
    return 2 * high + static_cast<int>((formatted >> (high - 1)) & 1);
}

// One coded item of a block: a literal, or a match with its length footer and
// verbatim offset bits.
struct Item {
    std::uint16_t main;
    std::uint16_t footer; // length-tree symbol, or kNoFooter
    std::uint32_t extra;
    std::uint8_t extraBits;
};
constexpr std::uint16_t kNoFooter = 0xFFFF;

// Writes 16-bit little-endian words, filled from the most significant bit.
class BitWriter {
public:
    void reset(std::uint8_t *out, std::size_t cap)
    {
        out_ = out;
        cap_ = cap;
        pos_ = 0;
        acc_ = 0;
        bits_ = 0;
        overflow_ = false;
    }
    void put(std::uint32_t value, int n)
    {
        acc_ = (acc_ << n) | (value & ((1u << n) - 1));
        bits_ += n;
        while (bits_ >= 16) {
            bits_ -= 16;
            const auto word = static_cast<std::uint16_t>(acc_ >> bits_);
            if (pos_ + 2 > cap_) {
                overflow_ = true;
            } else {
                out_[pos_] = static_cast<std::uint8_t>(word);
                out_[pos_ + 1] = static_cast<std::uint8_t>(word >> 8);
                pos_ += 2;
            }
        }
        acc_ &= (std::uint64_t(1) << bits_) - 1;
    }
    // Pads to the next 16-bit boundary (nothing when already there).
    void align()
    {
        if (bits_ != 0)
            put(0, 16 - bits_);
    }
    int pending() const { return bits_; }
    void bytes(const std::uint8_t *data, std::size_t len)
    {
        if (pos_ + len > cap_) {
            overflow_ = true;
            return;
        }
        std::memcpy(out_ + pos_, data, len);
        pos_ += len;
    }
    std::size_t size() const { return pos_; }
    bool overflow() const { return overflow_; }

private:
    std::uint8_t *out_ = nullptr;
    std::size_t cap_ = 0;
    std::size_t pos_ = 0;
    std::uint64_t acc_ = 0;
    int bits_ = 0;
    bool overflow_ = false;
};

using Candidate = MatchCandidate;
constexpr std::size_t kMaxCandidates = 32;
constexpr std::uint8_t kUnusedCost = 14; // bits assumed for a symbol the last trees lacked

// Best way found to reach one position of a frame.
struct Node {
    std::uint32_t cost;
    std::uint32_t prev;
    std::uint32_t dist; // 0 for a literal
    std::uint16_t len;
    std::uint32_t r[3]; // repeated offsets after this step
};

struct Tree {
    std::uint8_t lens[kMainMax];
    std::uint16_t codes[kMainMax];
};

class LzxCompressor final : public FolderCompressor {
public:
    LzxCompressor(int windowBits, const Allocator &alloc, BlockSink &sink)
        : alloc_(alloc), sink_(sink), windowBits_(windowBits),
          windowSize_(std::uint32_t(1) << windowBits), maxDistance_(windowSize_ - 3),
          slots_(kSlotsByWindow[windowBits - 15]), mainSymbols_(kNumChars + 8 * slots_)
    {
    }

    bool init() override
    {
        const std::size_t blockBytes = kFramesPerBlock * kBlockMax;
        capacity_ = windowSize_ + blockBytes;
        if (!window_.allocate(alloc_, capacity_ + 8) ||
            !finder_.init(alloc_, windowBits_, maxDistance_) ||
            !items_.allocate(alloc_, blockBytes + 8) ||
            !out_.allocate(alloc_, kFramesPerBlock * kFrameLimit + 4096) ||
            !nodes_.allocate(alloc_, kBlockMax + 1) || !cache_.allocate(alloc_, 4 * blockBytes) ||
            !cacheStart_.allocate(alloc_, blockBytes + 2))
            return false;
        std::memset(prevMain_, 0, sizeof prevMain_);
        std::memset(prevLength_, 0, sizeof prevLength_);
        return true;
    }

    bool addFrame(const std::uint8_t *data, std::size_t len) override
    {
        if (len == 0 || len > kBlockMax || lastFrameSeen_)
            return false;
        if (dataEnd_ - base_ + len > capacity_)
            slide();
        std::memcpy(window_.data() + (dataEnd_ - base_), data, len);
        frameLens_[pendingFrames_++] = static_cast<std::uint32_t>(len);
        dataEnd_ += len;
        if (len < kBlockMax)
            lastFrameSeen_ = true; // only the folder's last frame may be short
        if (pendingFrames_ == kFramesPerBlock)
            return compressBlock();
        return true;
    }

    bool finish() override { return pendingFrames_ == 0 || compressBlock(); }

private:
    std::uint8_t *at(std::uint64_t pos) { return window_.data() + (pos - base_); }

    // Keeps the last window of history at the front of the buffer.
    void slide()
    {
        // The pending frames still need a whole window of history before them.
        const std::uint64_t keepFrom = blockStart_ > windowSize_ ? blockStart_ - windowSize_ : 0;
        if (keepFrom <= base_)
            return;
        std::memmove(window_.data(), at(keepFrom), dataEnd_ - keepFrom);
        base_ = keepFrom;
    }

    int matchLength(std::uint64_t pos, std::uint32_t dist, int limit)
    {
        const std::uint8_t *a = at(pos);
        return commonLength(a, a - dist, limit);
    }

    void emitLiteral(std::uint8_t c)
    {
        items_[itemCount_++] = Item{c, kNoFooter, 0, 0};
        ++mainFreq_[c];
    }

    void emitMatch(int len, std::uint32_t dist)
    {
        int slot;
        std::uint32_t extra = 0;
        std::uint8_t extraBits = 0;
        if (dist == r_[0]) {
            slot = 0;
        } else if (dist == r_[1]) {
            slot = 1;
            std::swap(r_[0], r_[1]);
        } else if (dist == r_[2]) {
            slot = 2;
            std::swap(r_[0], r_[2]);
        } else {
            const std::uint32_t formatted = dist + 2;
            slot = slotOf(formatted);
            extraBits = kSlots.extra[slot];
            extra = formatted - kSlots.base[slot];
            r_[2] = r_[1];
            r_[1] = r_[0];
            r_[0] = dist;
        }
        const int lenHeader = std::min(len - kMinMatch, kPrimaryLengths);
        Item item{static_cast<std::uint16_t>(kNumChars + slot * 8 + lenHeader), kNoFooter, extra,
                  extraBits};
        if (lenHeader == kPrimaryLengths) {
            item.footer = static_cast<std::uint16_t>(len - kMinMatch - kPrimaryLengths);
            ++lengthFreq_[item.footer];
        }
        ++mainFreq_[item.main];
        items_[itemCount_++] = item;
    }

    // Matches at `pos` that end within the frame, each longer than the one before.
    std::size_t findMatches(std::uint64_t pos, std::uint64_t frameEnd, Candidate *out)
    {
        const int limit = static_cast<int>(std::min<std::uint64_t>(kMaxMatch, frameEnd - pos));
        return finder_.find(at(pos), pos, static_cast<std::size_t>(dataEnd_ - pos), limit,
                            kNiceLength, kMaxDepth, out, kMaxCandidates);
    }

    std::uint32_t lengthCost(int len) const
    {
        return len - kMinMatch >= kPrimaryLengths ? lenCost_[len - kMinMatch - kPrimaryLengths] : 0;
    }

    std::uint32_t symbolCost(int slot, int len) const
    {
        const int header = std::min(len - kMinMatch, kPrimaryLengths);
        return symCost_[kNumChars + slot * 8 + header] + lengthCost(len);
    }

    // Cheapest coding of one frame under the current cost model: every
    // position is a node reached by a literal or a match, and the repeated
    // offsets travel along the best path to each node.
    void optimalParseFrame(std::uint64_t start, std::uint64_t end, bool replay)
    {
        const auto n = static_cast<std::size_t>(end - start);
        constexpr std::uint32_t kInf = 0xFFFFFFFFu;
        for (std::size_t i = 0; i <= n; ++i)
            nodes_[i].cost = kInf;
        nodes_[0].cost = 0;
        std::memcpy(nodes_[0].r, r_, sizeof r_);
        auto relax = [&](std::size_t to, std::uint32_t cost, std::size_t from, std::uint32_t dist,
                         int len, const std::uint32_t *r) {
            Node &node = nodes_[to];
            if (cost >= node.cost)
                return;
            node.cost = cost;
            node.prev = static_cast<std::uint32_t>(from);
            node.dist = dist;
            node.len = static_cast<std::uint16_t>(len);
            std::memcpy(node.r, r, sizeof node.r);
        };
        Candidate found_[kMaxCandidates];
        std::size_t i = 0;
        while (i < n) {
            if (!replay) {
                // Positions passed over inside a long match keep an empty list.
                const std::size_t rel = static_cast<std::size_t>(start - blockStart_) + i;
                for (std::size_t k = lastCached_; k <= rel; ++k)
                    cacheStart_[k + 1] = static_cast<std::uint32_t>(cacheUsed_);
                lastCached_ = rel + 1;
            }
            const Node cur = nodes_[i];
            const std::uint64_t pos = start + i;
            relax(i + 1, cur.cost + symCost_[*at(pos)], i, 0, 1, cur.r);
            const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, n - i));
            int longest = 0;
            if (limit >= kMinMatch) {
                for (int j = 0; j < 3; ++j) {
                    const std::uint32_t d = cur.r[j];
                    if (d > pos || (j > 0 && d == cur.r[0]) || (j == 2 && d == cur.r[1]))
                        continue;
                    const int len = matchLength(pos, d, limit);
                    if (len < kMinMatch)
                        continue;
                    std::uint32_t r[3] = {cur.r[0], cur.r[1], cur.r[2]};
                    std::swap(r[0], r[j]);
                    for (int l = kMinMatch; l <= len; ++l)
                        relax(i + l, cur.cost + symbolCost(j, l), i, d, l, r);
                    longest = std::max(longest, len);
                }
                // The first pass searches the chains and keeps what it found;
                // the second prices the same matches with better costs.
                const std::size_t rel = static_cast<std::size_t>(pos - blockStart_);
                const Candidate *cands = found_;
                std::size_t found = 0;
                if (replay) {
                    cands = cache_.data() + cacheStart_[rel];
                    found = cacheStart_[rel + 1] - cacheStart_[rel];
                } else {
                    found = findMatches(pos, end, found_);
                    if (cacheUsed_ + found > cache_.size())
                        found = 0;
                    std::memcpy(cache_.data() + cacheUsed_, found_, found * sizeof(Candidate));
                    cacheUsed_ += found;
                    cacheStart_[rel + 1] = static_cast<std::uint32_t>(cacheUsed_);
                }
                int covered = 1;
                for (std::size_t k = 0; k < found; ++k) {
                    const Candidate &m = cands[k];
                    if (m.dist == cur.r[0] || m.dist == cur.r[1] || m.dist == cur.r[2])
                        continue; // costed above as a repeated offset
                    const int slot = slotOf(m.dist + 2);
                    const std::uint32_t base = cur.cost + kSlots.extra[slot];
                    const std::uint32_t r[3] = {m.dist, cur.r[0], cur.r[1]};
                    for (int l = std::max(covered + 1, kMinMatch); l <= m.len; ++l)
                        relax(i + l, base + symbolCost(slot, l), i, m.dist, l, r);
                    covered = m.len;
                    longest = std::max(longest, m.len);
                }
            }
            // A long match is taken as it is; searching inside it rarely pays.
            i += longest >= kNiceLength ? static_cast<std::size_t>(longest) : 1;
        }
        if (!replay) {
            const std::size_t endRel = static_cast<std::size_t>(end - blockStart_);
            for (std::size_t k = lastCached_; k < endRel; ++k)
                cacheStart_[k + 1] = static_cast<std::uint32_t>(cacheUsed_);
            lastCached_ = endRel;
        }
        path_.clear();
        for (std::size_t at = n; at != 0; at = nodes_[at].prev)
            path_.push_back(static_cast<std::uint32_t>(at));
        for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
            const Node &node = nodes_[*it];
            if (node.dist == 0)
                emitLiteral(*at(start + node.prev));
            else
                emitMatch(node.len, node.dist);
        }
    }

    // Before any trees exist: literals by their frequency in the block,
    // matches at a flat estimate.
    void initialCosts(std::uint64_t start, std::uint32_t size)
    {
        std::uint32_t count[kNumChars] = {};
        for (std::uint32_t i = 0; i < size; ++i)
            ++count[*at(start + i)];
        for (int c = 0; c < kNumChars; ++c) {
            int bits = 1;
            while (bits < kUnusedCost && (std::uint64_t(count[c]) << bits) < size)
                ++bits;
            symCost_[c] = static_cast<std::uint8_t>(bits);
        }
        for (int sym = kNumChars; sym < kMainMax; ++sym)
            symCost_[sym] = sym < kNumChars + 3 * 8 ? 8 : 10;
        for (int l = 0; l < kSecondaryLengths; ++l)
            lenCost_[l] = static_cast<std::uint8_t>(l < 16 ? 5 : 8);
    }

    void setCosts(const Tree &main, const Tree &length)
    {
        for (int s = 0; s < kMainMax; ++s)
            symCost_[s] = main.lens[s] ? main.lens[s] : kUnusedCost;
        for (int s = 0; s < kSecondaryLengths; ++s)
            lenCost_[s] = length.lens[s] ? length.lens[s] : kUnusedCost;
        haveCosts_ = true;
    }

    // Pretree-coded lengths of symbols [first, last) against the previous tree.
    struct PreItem {
        std::uint8_t sym, extraBits, extra, sym2;
    };
    static void deltaCode(const std::uint8_t *lens, const std::uint8_t *prev, int first, int last,
                          std::vector<PreItem> &out)
    {
        int i = first;
        while (i < last) {
            if (lens[i] == 0) {
                int run = 0;
                while (i + run < last && lens[i + run] == 0)
                    ++run;
                if (run >= 20) {
                    run = std::min(run, 51);
                    out.push_back({18, 5, static_cast<std::uint8_t>(run - 20), 0});
                    i += run;
                    continue;
                }
                if (run >= 4) {
                    run = std::min(run, 19);
                    out.push_back({17, 4, static_cast<std::uint8_t>(run - 4), 0});
                    i += run;
                    continue;
                }
            }
            int same = 1;
            while (i + same < last && same < 5 && lens[i + same] == lens[i])
                ++same;
            const auto delta = static_cast<std::uint8_t>((prev[i] + 17 - lens[i]) % 17);
            if (same >= 4) {
                out.push_back({19, 1, static_cast<std::uint8_t>(same - 4), delta});
                i += same;
            } else {
                out.push_back({delta, 0, 0, 0});
                ++i;
            }
        }
    }

    static void writeLengths(BitWriter &bw, const std::uint8_t *lens, const std::uint8_t *prev,
                             int first, int last)
    {
        std::vector<PreItem> items;
        items.reserve(static_cast<std::size_t>(last - first));
        deltaCode(lens, prev, first, last, items);
        std::uint32_t freq[kPretreeSymbols] = {};
        for (const PreItem &p : items) {
            ++freq[p.sym];
            if (p.sym == 19)
                ++freq[p.sym2];
        }
        std::uint8_t preLens[kPretreeSymbols];
        std::uint16_t preCodes[kPretreeSymbols];
        buildCodeLengths(freq, kPretreeSymbols, kMaxPretreeLen, preLens);
        buildCodes(preLens, kPretreeSymbols, preCodes);
        for (int i = 0; i < kPretreeSymbols; ++i)
            bw.put(preLens[i], 4);
        for (const PreItem &p : items) {
            bw.put(preCodes[p.sym], preLens[p.sym]);
            if (p.extraBits)
                bw.put(p.extra, p.extraBits);
            if (p.sym == 19)
                bw.put(preCodes[p.sym2], preLens[p.sym2]);
        }
    }

    void writeBlockHeader(BitWriter &bw, int type, std::uint32_t size)
    {
        if (!headerWritten_)
            bw.put(0, 1); // no Intel E8 translation
        bw.put(static_cast<std::uint32_t>(type), 3);
        bw.put(size >> 8, 16);
        bw.put(size & 0xFF, 8);
    }

    // Encodes the parsed block as a verbatim block; false when it does not
    // fit the frame limits.
    bool encodeVerbatim(BitWriter &bw, const Tree &main, const Tree &length, std::uint32_t size,
                        std::size_t *frameEnds)
    {
        writeBlockHeader(bw, kBlockVerbatim, size);
        writeLengths(bw, main.lens, prevMain_, 0, kNumChars);
        writeLengths(bw, main.lens, prevMain_, kNumChars, mainSymbols_);
        writeLengths(bw, length.lens, prevLength_, 0, kSecondaryLengths);
        std::size_t item = 0;
        std::size_t frameStartByte = 0;
        for (std::size_t f = 0; f < pendingFrames_; ++f) {
            for (; item < frameItemEnd_[f]; ++item) {
                const Item &it = items_[item];
                bw.put(main.codes[it.main], main.lens[it.main]);
                if (it.footer != kNoFooter)
                    bw.put(length.codes[it.footer], length.lens[it.footer]);
                if (it.extraBits)
                    bw.put(it.extra, it.extraBits);
            }
            bw.align();
            frameEnds[f] = bw.size();
            if (bw.overflow() || frameEnds[f] - frameStartByte > kFrameLimit)
                return false;
            frameStartByte = frameEnds[f];
        }
        return true;
    }

    void encodeUncompressed(BitWriter &bw, std::uint32_t size, std::uint64_t start,
                            std::size_t *frameEnds)
    {
        writeBlockHeader(bw, kBlockUncompressed, size);
        // 1 to 16 bits of padding, then the repeated offsets as bytes.
        bw.put(0, 16 - bw.pending());
        std::uint8_t r[12];
        for (int i = 0; i < 3; ++i)
            put32(r + 4 * i, blockStartR_[i]);
        bw.bytes(r, sizeof r);
        std::uint64_t pos = start;
        for (std::size_t f = 0; f < pendingFrames_; ++f) {
            bw.bytes(at(pos), frameLens_[f]);
            pos += frameLens_[f];
            if (f + 1 == pendingFrames_ && (size & 1)) {
                const std::uint8_t pad = 0;
                bw.bytes(&pad, 1);
            }
            frameEnds[f] = bw.size();
        }
    }

    bool compressBlock()
    {
        const std::uint64_t start = blockStart_;
        std::uint32_t size = 0;
        for (std::size_t f = 0; f < pendingFrames_; ++f)
            size += frameLens_[f];
        std::memcpy(blockStartR_, r_, sizeof r_);
        std::memset(mainFreq_, 0, sizeof mainFreq_);
        std::memset(lengthFreq_, 0, sizeof lengthFreq_);
        if (!haveCosts_)
            initialCosts(start, size);
        cacheUsed_ = 0;
        lastCached_ = 0;
        cacheStart_[0] = 0;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) {
                // Price the second pass with the statistics of the first.
                Tree main, length;
                buildCodeLengths(mainFreq_, static_cast<std::size_t>(mainSymbols_), kMaxCodeLen,
                                 main.lens);
                buildCodeLengths(lengthFreq_, kSecondaryLengths, kMaxCodeLen, length.lens);
                setCosts(main, length);
                std::memcpy(r_, blockStartR_, sizeof r_);
            }
            std::memset(mainFreq_, 0, sizeof mainFreq_);
            std::memset(lengthFreq_, 0, sizeof lengthFreq_);
            itemCount_ = 0;
            std::uint64_t pos = start;
            for (std::size_t f = 0; f < pendingFrames_; ++f) {
                optimalParseFrame(pos, pos + frameLens_[f], pass == 1);
                pos += frameLens_[f];
                frameItemEnd_[f] = itemCount_;
            }
        }

        std::vector<Tree> trees(2);
        Tree &main = trees[0], &length = trees[1];
        buildCodeLengths(mainFreq_, static_cast<std::size_t>(mainSymbols_), kMaxCodeLen, main.lens);
        buildCodes(main.lens, static_cast<std::size_t>(mainSymbols_), main.codes);
        buildCodeLengths(lengthFreq_, kSecondaryLengths, kMaxCodeLen, length.lens);
        buildCodes(length.lens, kSecondaryLengths, length.codes);

        std::size_t frameEnds[kFramesPerBlock];
        BitWriter bw;
        bw.reset(out_.data(), out_.size());
        // An uncompressed block costs its bytes plus at most 20 bytes of framing.
        bool verbatim =
            encodeVerbatim(bw, main, length, size, frameEnds) && bw.size() < std::size_t(size) + 16;
        if (verbatim) {
            std::memcpy(prevMain_, main.lens, sizeof prevMain_);
            std::memcpy(prevLength_, length.lens, sizeof prevLength_);
        } else {
            std::memcpy(r_, blockStartR_, sizeof r_);
            bw.reset(out_.data(), out_.size());
            encodeUncompressed(bw, size, start, frameEnds);
            if (bw.overflow())
                return false;
        }
        headerWritten_ = true;
        setCosts(main, length); // the next block is parsed with this one's statistics

        std::size_t from = 0;
        for (std::size_t f = 0; f < pendingFrames_; ++f) {
            if (!emit(sink_, out_.data() + from, frameEnds[f] - from, frameLens_[f]))
                return false;
            from = frameEnds[f];
        }
        blockStart_ += size;
        pendingFrames_ = 0;
        return true;
    }

    Allocator alloc_;
    BlockSink &sink_;
    int windowBits_;
    std::uint32_t windowSize_;
    std::uint32_t maxDistance_;
    int slots_;
    int mainSymbols_;

    Buffer<std::uint8_t> window_;
    std::size_t capacity_ = 0;
    std::uint64_t base_ = 0;       // folder position of window_[0]
    std::uint64_t dataEnd_ = 0;    // folder position after the buffered data
    std::uint64_t blockStart_ = 0; // first position not yet compressed
    BinaryTreeMatchFinder finder_;
    bool lastFrameSeen_ = false;
    bool headerWritten_ = false;

    std::uint32_t frameLens_[kFramesPerBlock] = {};
    std::size_t frameItemEnd_[kFramesPerBlock] = {};
    std::size_t pendingFrames_ = 0;
    Buffer<Item> items_;
    std::size_t itemCount_ = 0;
    std::uint32_t mainFreq_[kMainMax] = {};
    std::uint32_t lengthFreq_[kSecondaryLengths] = {};
    std::uint8_t prevMain_[kMainMax] = {};
    std::uint8_t prevLength_[kSecondaryLengths] = {};
    std::uint32_t r_[3] = {1, 1, 1};
    std::uint32_t blockStartR_[3] = {1, 1, 1};
    Buffer<std::uint8_t> out_;
    Buffer<Node> nodes_;
    Buffer<Candidate> cache_;          // matches found in the first pass over a block
    Buffer<std::uint32_t> cacheStart_; // per block position: first entry in cache_
    std::size_t cacheUsed_ = 0;
    std::size_t lastCached_ = 0;
    std::vector<std::uint32_t> path_;
    std::uint8_t symCost_[kMainMax] = {};
    std::uint8_t lenCost_[kSecondaryLengths] = {};
    bool haveCosts_ = false;
};

} // namespace

std::unique_ptr<FolderCompressor> makeLzxCompressor(int windowBits, const Allocator &alloc,
                                                    BlockSink &sink)
{
    if (windowBits < kLzxMinWindow || windowBits > kLzxMaxWindow)
        return nullptr;
    return std::make_unique<LzxCompressor>(windowBits, alloc, sink);
}

} // namespace cab::detail
