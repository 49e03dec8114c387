#include "folder_codec.h"

#include "cab_format.h"
#include "lzx_compress.h"
#include "mszip_compress.h"

namespace cab::detail {
namespace {

// Stores each frame as it is.
class StoreCompressor final : public FolderCompressor {
public:
    explicit StoreCompressor(BlockSink &sink) : sink_(sink) {}
    bool init() override { return true; }
    bool addFrame(const std::uint8_t *data, std::size_t len) override
    {
        return emit(sink_, data, len, len);
    }
    bool finish() override { return true; }

private:
    BlockSink &sink_;
};

} // namespace

bool isValidCompression(int code)
{
    if (code == kCompressNone || code == kCompressMszip)
        return true;
    if ((code & 0xFF) != kCompressLzx || (code & ~0xFFFF) != 0)
        return false;
    const int window = code >> 8;
    return window >= kLzxMinWindow && window <= kLzxMaxWindow;
}

std::unique_ptr<FolderCompressor> makeCompressor(int code, const Allocator &alloc, BlockSink &sink)
{
    if (code == kCompressNone)
        return std::make_unique<StoreCompressor>(sink);
    if (code == kCompressMszip)
        return makeMszipCompressor(alloc, sink);
    return makeLzxCompressor(code >> 8, alloc, sink);
}

} // namespace cab::detail
