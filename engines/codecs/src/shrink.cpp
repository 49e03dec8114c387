// Method 1: LZW with codes of 9 to 13 bits. The compressor controls the code
// width (control code 256 followed by 1) and frees the table's leaves when it
// sees fit (256 followed by 2); freed codes are reused lowest first.

#include "codecs/decoders.h"

#include "bitreader.h"
#include "outwindow.h"

#include <memory>
#include <new>

namespace codecs {
namespace {

using detail::BitReader;
using detail::OutWindow;

constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;
constexpr unsigned kTableSize = 1u << 13;
constexpr unsigned kMinWidth = 9;
constexpr unsigned kMaxWidth = 13;
constexpr std::int16_t kFree = -1;
constexpr std::int16_t kRoot = -2;

struct Table {
    std::int16_t parent[kTableSize];
    std::uint8_t value[kTableSize];
    std::uint8_t stack[kTableSize];
    bool isParent[kTableSize];
    unsigned nextFree = kFirstFree;

    void reset()
    {
        for (unsigned c = 0; c < kTableSize; ++c) {
            parent[c] = c < kControl ? kRoot : kFree;
            value[c] = static_cast<std::uint8_t>(c);
        }
        parent[kControl] = kRoot; // never a string, never reused
        nextFree = kFirstFree;
    }

    void advanceFree()
    {
        while (nextFree < kTableSize && parent[nextFree] != kFree)
            ++nextFree;
    }

    // Frees every code that no other code extends.
    void partialClear()
    {
        for (unsigned c = 0; c < kTableSize; ++c)
            isParent[c] = false;
        for (unsigned c = kFirstFree; c < kTableSize; ++c)
            if (parent[c] >= 0)
                isParent[parent[c]] = true;
        for (unsigned c = kFirstFree; c < kTableSize; ++c)
            if (!isParent[c])
                parent[c] = kFree;
        nextFree = kFirstFree;
        advanceFree();
    }

    // Spells code c backwards into the stack; returns its length, or 0 when the
    // chain is broken (a freed link or a cycle left by a damaged stream).
    unsigned spell(unsigned c)
    {
        unsigned n = 0;
        for (;;) {
            if (n == kTableSize)
                return 0;
            stack[n++] = value[c];
            std::int16_t p = parent[c];
            if (p == kRoot)
                return c < kControl ? n : 0;
            if (p == kFree)
                return 0;
            c = static_cast<unsigned>(p);
        }
    }
};

} // namespace

Result decodeShrink(Source &in, std::uint64_t uncompressedSize, Sink &out) noexcept
{
    if (uncompressedSize == kUnknownSize)
        return Result::Unsupported;
    BitReader br(in);
    OutWindow win(out, uncompressedSize, 64 * 1024);
    std::unique_ptr<Table> table(new (std::nothrow) Table);
    if (!br.valid() || !win.valid() || !table)
        return Result::OutOfMemory;
    Table &t = *table;
    t.reset();

    unsigned width = kMinWidth;
    int prev = -1;
    std::uint8_t prevFirst = 0;
    while (win.remaining() != 0) {
        if (win.stopped())
            return Result::Stopped;
        unsigned code = br.get(width);
        if (br.failed())
            return br.failure();

        if (code == kControl) {
            unsigned sub = br.get(width);
            if (br.failed())
                return br.failure();
            if (sub == 1 && width < kMaxWidth)
                ++width;
            else if (sub == 2)
                t.partialClear();
            else
                return Result::DataError;
            continue;
        }

        // A free code is only valid as the one this very step defines: the
        // previous string followed by its own first byte.
        bool pending = t.parent[code] == kFree;
        if (pending && (prev < 0 || code != t.nextFree))
            return Result::DataError;
        unsigned n = pending ? 0 : t.spell(code);
        if (!pending && n == 0)
            return Result::DataError;
        std::uint8_t first = pending ? prevFirst : t.stack[n - 1];
        if (prev >= 0 && t.nextFree < kTableSize) {
            t.parent[t.nextFree] = static_cast<std::int16_t>(prev);
            t.value[t.nextFree] = first;
            ++t.nextFree;
            t.advanceFree();
        }
        if (pending) {
            n = t.spell(code);
            if (n == 0)
                return Result::DataError;
        }
        for (unsigned i = n; i > 0 && win.remaining() != 0; --i)
            win.put(t.stack[i - 1]);
        prev = static_cast<int>(code);
        prevFirst = first;
    }
    if (!win.finish())
        return Result::Stopped;
    return Result::Ok;
}

} // namespace codecs
