#pragma once

// libmspack's system interface on top of a reader's caller-supplied services:
// every read of a cabinet goes through the caller's open/read/seek/close, every
// decoded byte to the output handle the copy-file notification answered, and
// libmspack's allocations through the caller's allocator.

#include "cabinet/reader.h"

#include <mspack.h>

namespace cab::detail {

struct SystemGlue {
    mspack_system sys; // first member: libmspack hands this pointer back to us
    const Io *io = nullptr;
    FileHandle output = 0;     // target of files opened for writing
    bool outputFailed = false; // the caller's write failed
    bool inputFailed = false;  // the caller's read or seek failed
};

// Fills glue.sys; glue must stay at its address while libmspack uses it.
void initSystem(SystemGlue &glue, const Io &io);

// libmspack hands its decoders a copy of the system structure, so the
// structure's address cannot lead back to the glue. Every call into libmspack
// runs inside a scope that names the glue for this thread.
class SystemScope {
public:
    explicit SystemScope(SystemGlue &glue);
    ~SystemScope();
    SystemScope(const SystemScope &) = delete;
    SystemScope &operator=(const SystemScope &) = delete;

private:
    SystemGlue *previous_;
};

} // namespace cab::detail
