#pragma once

// MSZIP: each data block is "CK" followed by a complete raw deflate stream of
// one frame. The decoder keeps the previous frame as history, so each frame
// is compressed with the previous one as a preset dictionary.

#include "folder_codec.h"

namespace cab::detail {

std::unique_ptr<FolderCompressor> makeMszipCompressor(const Allocator &alloc, BlockSink &sink);

} // namespace cab::detail
