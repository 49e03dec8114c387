#include "platform/virtualmem.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace plat {

BOOL prefetchVirtualMemory(void *address, std::size_t bytes)
{
    if (!address || bytes == 0)
        return FALSE;
    const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
    // Every page touched holds part of the buffer, so it is mapped and
    // writable; populating it leaves its bytes as they are.
    // Large buffers take large pages where the system offers them: on
    // machines with shadow page tables each small page costs a trap on first
    // use, which dominates filling an array of a few hundred megabytes.
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    const std::uintptr_t largeFirst = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t largeEnd = (start + bytes) & ~(kLargePage - 1);
    if (largeEnd > largeFirst)
        madvise(reinterpret_cast<void *>(largeFirst), largeEnd - largeFirst, MADV_HUGEPAGE);
    const std::uintptr_t first = start & ~(page - 1);
    const std::uintptr_t end = (start + bytes + page - 1) & ~(page - 1);
    return madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE) == 0 ? TRUE
                                                                                           : FALSE;
}

} // namespace plat
