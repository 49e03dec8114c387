#pragma once

// Movable global memory: blocks handed between deliverables (an archive comment,
// the bytes of an entry to store) that the receiver locks, reads and frees.

#include "platform/types.h"

#include <cstddef>

namespace plat {

struct GlobalBlock;
using HGLOBAL = GlobalBlock *;

enum : unsigned {
    GMEM_FIXED = 0x0000,
    GMEM_MOVEABLE = 0x0002,
    GMEM_ZEROINIT = 0x0040,
    GHND = GMEM_MOVEABLE | GMEM_ZEROINIT,
};

// A new block of size bytes (zero-filled with GMEM_ZEROINIT); null with
// ERROR_NOT_ENOUGH_MEMORY when it cannot be had.
HGLOBAL globalAlloc(unsigned flags, std::size_t size);
// Pointer to the block's bytes (counts the lock); null for a null handle.
void *globalLock(HGLOBAL block);
// Releases one lock; TRUE while locks remain, FALSE when none remain.
BOOL globalUnlock(HGLOBAL block);
// Size in bytes; 0 for a null handle.
std::size_t globalSize(HGLOBAL block);
// Frees the block; returns null on success (the handle otherwise).
HGLOBAL globalFree(HGLOBAL block);

} // namespace plat
