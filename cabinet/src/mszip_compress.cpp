#include "mszip_compress.h"

#include "cab_format.h"

#include <cstring>
#include <zlib.h>

namespace cab::detail {
namespace {

constexpr std::size_t kOutMax = kBlockMax + kMszipMaxGrowth;

class MszipCompressor final : public FolderCompressor {
public:
    MszipCompressor(const Allocator &alloc, BlockSink &sink) : alloc_(alloc), sink_(sink) {}
    ~MszipCompressor() override
    {
        if (streamReady_)
            deflateEnd(&zs_);
    }

    bool init() override
    {
        if (!history_.allocate(alloc_, kBlockMax) || !out_.allocate(alloc_, kOutMax + 64))
            return false;
        std::memset(&zs_, 0, sizeof zs_);
        // Raw deflate with the full 32 KiB window the decoder keeps.
        if (deflateInit2(&zs_, 6, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        streamReady_ = true;
        return true;
    }

    bool addFrame(const std::uint8_t *data, std::size_t len) override
    {
        std::size_t size = compress(data, len);
        if (size == 0)
            size = stored(data, len);
        if (!emit(sink_, out_.data(), size, len))
            return false;
        std::memcpy(history_.data(), data, len);
        historyLen_ = len;
        return true;
    }

    bool finish() override { return true; }

private:
    // Deflates one frame after "CK"; 0 when it does not fit the growth limit.
    std::size_t compress(const std::uint8_t *data, std::size_t len)
    {
        if (deflateReset(&zs_) != Z_OK)
            return 0;
        // With the previous frame as dictionary every position has a full hash
        // chain, so zlib's usual chain lengths cost twice what they cost
        // without one. Lazy matching with chains of 48 keeps most of the gain
        // of longer chains at a third of the time of level 9 (a reset restores
        // the level's parameters, hence here).
        deflateTune(&zs_, 8, 16, 32, 48);
        if (historyLen_ != 0 &&
            deflateSetDictionary(&zs_, history_.data(), static_cast<uInt>(historyLen_)) != Z_OK)
            return 0;
        out_[0] = 'C';
        out_[1] = 'K';
        zs_.next_in = const_cast<Bytef *>(data);
        zs_.avail_in = static_cast<uInt>(len);
        zs_.next_out = out_.data() + 2;
        zs_.avail_out = static_cast<uInt>(kOutMax - 2);
        if (deflate(&zs_, Z_FINISH) != Z_STREAM_END)
            return 0;
        return kOutMax - zs_.avail_out;
    }

    // One final stored deflate block: never more than 7 bytes of overhead.
    std::size_t stored(const std::uint8_t *data, std::size_t len)
    {
        std::uint8_t *p = out_.data();
        p[0] = 'C';
        p[1] = 'K';
        p[2] = 0x01; // final block, stored
        put16(p + 3, static_cast<std::uint16_t>(len));
        put16(p + 5, static_cast<std::uint16_t>(~len));
        std::memcpy(p + 7, data, len);
        return len + 7;
    }

    Allocator alloc_;
    BlockSink &sink_;
    z_stream zs_{};
    bool streamReady_ = false;
    Buffer<std::uint8_t> history_;
    std::size_t historyLen_ = 0;
    Buffer<std::uint8_t> out_;
};

} // namespace

std::unique_ptr<FolderCompressor> makeMszipCompressor(const Allocator &alloc, BlockSink &sink)
{
    return std::make_unique<MszipCompressor>(alloc, sink);
}

} // namespace cab::detail
