#pragma once

// The per-thread "last error" of the platform, with the Windows error numbers
// the system relies on. Platform calls that fail set it; calls that succeed
// leave it unless stated otherwise.

#include "platform/types.h"

namespace plat {

enum : DWORD {
    kErrorSuccess = 0,
    kErrorInvalidFunction = 1,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorTooManyOpenFiles = 4,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorOutOfMemory = 14,
    kErrorInvalidDrive = 15,
    kErrorNoMoreFiles = 18,
    kErrorWriteProtect = 19,
    kErrorNotReady = 21,
    kErrorSharingViolation = 32,
    kErrorLockViolation = 33,
    kErrorHandleEof = 38,
    kErrorHandleDiskFull = 39,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorCannotMake = 82,
    kErrorInvalidParameter = 87,
    kErrorBrokenPipe = 109,
    kErrorDiskFull = 112,
    kErrorCallNotImplemented = 120,
    kErrorInsufficientBuffer = 122,
    kErrorInvalidName = 123,
    kErrorModNotFound = 126,
    kErrorProcNotFound = 127,
    kErrorDirNotEmpty = 145,
    kErrorBadPathname = 161,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
    kErrorCancelled = 1223,
    kErrorBadKey = 1010,
    kErrorCantOpenKey = 1011,
    kErrorCantRead = 1012,
    kErrorCantWrite = 1013,
    kErrorKeyDeleted = 1018,
};

// Error of the last failed platform call on this thread.
DWORD getLastError();

// Sets the error that getLastError() reports on this thread.
void setLastError(DWORD error);

// Windows error number for a host errno value.
DWORD errorFromErrno(int err);

} // namespace plat
