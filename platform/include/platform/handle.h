#pragma once

// Handles of the platform: opaque values naming an object of the layer (an open
// file, a search, later threads and events). The table is checked on every use,
// so a stale or made-up handle is refused with ERROR_INVALID_HANDLE instead of
// touching freed memory.

#include "platform/types.h"

#include <cstdint>
#include <memory>

namespace plat {

using HANDLE = void *;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// Base of every object a handle can name. Subclasses release their resources
// in the destructor, which runs when the last reference goes.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Whether closeHandle() may close it (searches are closed by findClose only).
    virtual bool closableByCloseHandle() const { return true; }
};

// Enters an object into the handle table; returns its new handle (never null or
// INVALID_HANDLE_VALUE).
HANDLE insertHandle(std::shared_ptr<KernelObject> object);

// The object a handle names, or null (last error ERROR_INVALID_HANDLE) when the
// handle is not open.
std::shared_ptr<KernelObject> referenceHandle(HANDLE handle);

// Sets ERROR_INVALID_HANDLE as the last error (used by referenceHandleAs).
void setHandleError();

// Typed form of referenceHandle(): null with ERROR_INVALID_HANDLE when the
// handle is not open or names an object of another kind.
template <class T> std::shared_ptr<T> referenceHandleAs(HANDLE handle)
{
    auto typed = std::dynamic_pointer_cast<T>(referenceHandle(handle));
    if (!typed)
        setHandleError();
    return typed;
}

// Removes a handle from the table and returns its object (null when not open).
std::shared_ptr<KernelObject> removeHandle(HANDLE handle);

// Closes a handle. TRUE on success; FALSE with ERROR_INVALID_HANDLE when the
// handle is not open or must be closed by its own function.
BOOL closeHandle(HANDLE handle);

} // namespace plat
