#pragma once

// LZX for cabinet folders: a window of 2^15..2^21 bytes, 32 KiB frames each
// ending on a 16-bit boundary, no reset between the data blocks of a folder
// and no Intel E8 translation. Blocks span a few frames; each is written as a
// verbatim block (Huffman-coded literals and matches, repeated offsets) or,
// when that would not be smaller, as an uncompressed block.

#include "folder_codec.h"

namespace cab::detail {

std::unique_ptr<FolderCompressor> makeLzxCompressor(int windowBits, const Allocator &alloc,
                                                    BlockSink &sink);

} // namespace cab::detail
