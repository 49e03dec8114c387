#include "platform/errors.h"

#include <cerrno>

namespace plat {
namespace {
thread_local DWORD t_lastError = kErrorSuccess;
}

DWORD getLastError() { return t_lastError; }

void setLastError(DWORD error) { t_lastError = error; }

DWORD errorFromErrno(int err)
{
    switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EROFS: return kErrorWriteProtect;
    case EEXIST: return kErrorAlreadyExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EBADF: return kErrorInvalidHandle;
    case EINVAL: return kErrorInvalidParameter;
    case ENAMETOOLONG: return kErrorFilenameExcedRange;
    case ENOTEMPTY: return kErrorDirNotEmpty;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    case EXDEV: return kErrorNotSupported;
    case EPIPE: return kErrorBrokenPipe;
    default: return kErrorInvalidFunction;
    }
}

} // namespace plat
