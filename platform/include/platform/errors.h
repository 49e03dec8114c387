#pragma once

// The per-thread "last error" of the platform, with the Windows error numbers
// the system relies on. Platform calls that fail set it; calls that succeed
// leave it unless stated otherwise.

#include "platform/types.h"

namespace plat {

enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_FUNCTION = 1,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_DATA = 13,
    ERROR_OUT_OF_MEMORY = 14,
    ERROR_INVALID_DRIVE = 15,
    ERROR_NOT_SAME_DEVICE = 17,
    ERROR_NO_MORE_FILES = 18,
    ERROR_WRITE_PROTECT = 19,
    ERROR_NOT_READY = 21,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_LOCK_VIOLATION = 33,
    ERROR_HANDLE_EOF = 38,
    ERROR_HANDLE_DISK_FULL = 39,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_BAD_NETPATH = 53,
    ERROR_FILE_EXISTS = 80,
    ERROR_CANNOT_MAKE = 82,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_NOT_LOCKED = 158,
    ERROR_BROKEN_PIPE = 109,
    ERROR_DISK_FULL = 112,
    ERROR_CALL_NOT_IMPLEMENTED = 120,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_INVALID_NAME = 123,
    ERROR_MOD_NOT_FOUND = 126,
    ERROR_PROC_NOT_FOUND = 127,
    ERROR_NEGATIVE_SEEK = 131,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BAD_PATHNAME = 161,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_MORE_DATA = 234,
    ERROR_NO_MORE_ITEMS = 259,
    ERROR_DIRECTORY = 267,
    ERROR_CANCELLED = 1223,
    ERROR_BAD_KEY = 1010,
    ERROR_CANT_OPEN_KEY = 1011,
    ERROR_CANT_READ = 1012,
    ERROR_CANT_WRITE = 1013,
    ERROR_KEY_DELETED = 1018,
};

// Error of the last failed platform call on this thread.
DWORD getLastError();

// Sets the error that getLastError() reports on this thread.
void setLastError(DWORD error);

// Windows error number for a host errno value.
DWORD errorFromErrno(int err);

} // namespace plat
