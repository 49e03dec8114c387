#pragma once

// Virtual memory hints for large caller buffers.

#include <cstddef>

#include "platform/types.h"

namespace plat {

// Makes the pages under [address, address + bytes) resident and writable in
// one step, so that filling a freshly allocated array does not take one page
// fault per page (large pages are used for its interior where the system
// offers them). The contents are not changed. TRUE when done; FALSE when
// the system cannot (nothing changed, the caller just fills the buffer).
BOOL prefetchVirtualMemory(void *address, std::size_t bytes);

} // namespace plat
