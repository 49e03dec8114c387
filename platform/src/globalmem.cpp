#include "platform/globalmem.h"

#include "platform/errors.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace plat {

struct GlobalBlock {
    std::size_t size;
    std::atomic<int> locks;
    unsigned char *data;
};

HGLOBAL globalAlloc(unsigned flags, std::size_t size)
{
    auto *block = new (std::nothrow) GlobalBlock{size, {0}, nullptr};
    if (block)
        block->data = static_cast<unsigned char *>(std::malloc(size ? size : 1));
    if (!block || !block->data) {
        delete block;
        setLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (flags & GMEM_ZEROINIT)
        std::memset(block->data, 0, size);
    return block;
}

void *globalLock(HGLOBAL block)
{
    if (!block) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ++block->locks;
    return block->data;
}

BOOL globalUnlock(HGLOBAL block)
{
    if (!block || block->locks.load() == 0) {
        setLastError(block ? ERROR_NOT_LOCKED : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return --block->locks > 0 ? TRUE : FALSE;
}

std::size_t globalSize(HGLOBAL block)
{
    return block ? block->size : 0;
}

HGLOBAL globalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
    std::free(block->data);
    delete block;
    return nullptr;
}

} // namespace plat
