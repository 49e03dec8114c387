#include "cabinet/posix_io.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cab::posix {

void *allocMem(std::uint32_t cb)
{
    return std::malloc(cb);
}

void freeMem(void *memory)
{
    std::free(memory);
}

std::intptr_t openFile(const char *file, int oflag, int pmode, int *err, void *)
{
    int flags = O_RDONLY;
    if ((oflag & 3) == kOpenWriteOnly)
        flags = O_WRONLY;
    else if ((oflag & 3) == kOpenReadWrite)
        flags = O_RDWR;
    if (oflag & kOpenCreate)
        flags |= O_CREAT;
    if (oflag & kOpenTruncate)
        flags |= O_TRUNC;
    if (oflag & kOpenExclusive)
        flags |= O_EXCL;
    const mode_t mode = ((pmode & kPermRead) ? 0444 : 0) | ((pmode & kPermWrite) ? 0200 : 0);
    const int fd = ::open(file, flags, mode ? mode : 0644);
    if (fd < 0)
        *err = errno;
    return fd;
}

std::uint32_t readFile(std::intptr_t hf, void *memory, std::uint32_t cb, int *err, void *)
{
    const ssize_t n = ::read(static_cast<int>(hf), memory, cb);
    if (n < 0) {
        *err = errno;
        return 0xFFFFFFFFu;
    }
    return static_cast<std::uint32_t>(n);
}

std::uint32_t writeFile(std::intptr_t hf, const void *memory, std::uint32_t cb, int *err, void *)
{
    const char *p = static_cast<const char *>(memory);
    std::uint32_t left = cb;
    while (left) {
        const ssize_t n = ::write(static_cast<int>(hf), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *err = n < 0 ? errno : ENOSPC;
            return 0xFFFFFFFFu;
        }
        p += n;
        left -= static_cast<std::uint32_t>(n);
    }
    return cb;
}

int closeFile(std::intptr_t hf, int *err, void *)
{
    if (::close(static_cast<int>(hf)) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}

long seekFile(std::intptr_t hf, long dist, int origin, int *err, void *)
{
    const int whence = origin == kSeekEnd ? SEEK_END : origin == kSeekCur ? SEEK_CUR : SEEK_SET;
    const off_t r = ::lseek(static_cast<int>(hf), dist, whence);
    if (r < 0)
        *err = errno;
    return static_cast<long>(r);
}

int removeFile(const char *file, int *err, void *)
{
    if (::unlink(file) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}

Callbacks fileCallbacks()
{
    Callbacks cb{};
    cb.alloc = allocMem;
    cb.free = freeMem;
    cb.open = openFile;
    cb.read = readFile;
    cb.write = writeFile;
    cb.close = closeFile;
    cb.seek = seekFile;
    cb.remove = removeFile;
    return cb;
}

} // namespace cab::posix
