// Open files: creation dispositions, reading, writing (with the capacity of
// simulated media), the file pointer, size and times.

#include "fs_internal.h"
#include "platform/errors.h"
#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace plat {
namespace {

class FileObject final : public KernelObject {
public:
    ~FileObject() override
    {
        if (fd >= 0)
            ::close(fd);
        if (deleteOnClose)
            ::unlink(host.c_str());
    }

    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool canWriteAttributes = false;
    bool isFolder = false;
    bool deleteOnClose = false;
    std::string host;
    DriveInfo drive;
    std::mutex mutex; // keeps the capacity check and the write together
};

std::shared_ptr<FileObject> fileOf(HANDLE h)
{
    return referenceHandleAs<FileObject>(h);
}

BOOL fail(DWORD error)
{
    setLastError(error);
    return FALSE;
}

HANDLE failHandle(DWORD error)
{
    setLastError(error);
    return INVALID_HANDLE_VALUE;
}

std::uint64_t sizeOf(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 ? std::uint64_t(st.st_size) : 0;
}

constexpr DWORD kKeptOnCreate = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

} // namespace

HANDLE createFile(const char *fileName, DWORD desiredAccess, DWORD /*shareMode: no host locks*/,
                  DWORD creationDisposition, DWORD flagsAndAttributes)
{
    if (!fileName || creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING)
        return failHandle(ERROR_INVALID_PARAMETER);
    bool wantRead = desiredAccess & GENERIC_READ;
    bool wantWrite = desiredAccess & GENERIC_WRITE;
    if (creationDisposition == TRUNCATE_EXISTING && !wantWrite)
        return failHandle(ERROR_INVALID_PARAMETER);
    auto r = detail::resolvePath(fileName);
    if (!r)
        return INVALID_HANDLE_VALUE;

    auto file = std::make_shared<FileObject>();
    file->canRead = wantRead;
    file->canWrite = wantWrite;
    file->canWriteAttributes = wantWrite || (desiredAccess & FILE_WRITE_ATTRIBUTES);
    file->deleteOnClose = flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
    file->host = r->host;
    file->drive = r->drive;
    bool existed = r->exists;
    DWORD newBits = (flagsAndAttributes & kKeptOnCreate) | FILE_ATTRIBUTE_ARCHIVE;

    if (existed) {
        struct stat st;
        if (::stat(r->host.c_str(), &st) != 0) {
            detail::failErrno(errno);
            return INVALID_HANDLE_VALUE;
        }
        if (S_ISDIR(st.st_mode)) {
            bool opens = creationDisposition == OPEN_EXISTING || creationDisposition == OPEN_ALWAYS;
            if (!(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || !opens || wantWrite)
                return failHandle(ERROR_ACCESS_DENIED);
            file->isFolder = true;
            file->canRead = false;
            file->deleteOnClose = false;
            file->fd = ::open(r->host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } else {
            if (creationDisposition == CREATE_NEW)
                return failHandle(ERROR_FILE_EXISTS);
            bool truncates =
                creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
            bool readOnly = (st.st_mode & S_IWUSR) == 0;
            if (readOnly && (wantWrite || truncates || file->deleteOnClose))
                return failHandle(ERROR_ACCESS_DENIED);
            // Windows refuses to replace a hidden or system file unless the
            // caller asks for those attributes again.
            DWORD stored = detail::storedAttributeBits(r->host);
            if (creationDisposition == CREATE_ALWAYS &&
                (stored & kKeptOnCreate & ~flagsAndAttributes))
                return failHandle(ERROR_ACCESS_DENIED);
            int flags = O_CLOEXEC | (wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY);
            if (truncates)
                flags |= O_TRUNC;
            file->fd = ::open(r->host.c_str(), flags);
            if (file->fd >= 0 && creationDisposition == CREATE_ALWAYS)
                detail::storeAttributeBits(r->host, newBits | (stored & FILE_ATTRIBUTE_READONLY));
        }
    } else {
        if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING) {
            detail::setMissingError(*r);
            return INVALID_HANDLE_VALUE;
        }
        if (!r->parentExists)
            return failHandle(ERROR_PATH_NOT_FOUND);
        mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
        int flags = O_CLOEXEC | O_CREAT | O_EXCL |
                    (wantRead && wantWrite ? O_RDWR
                     : wantWrite           ? O_WRONLY
                                           : O_RDONLY);
        file->fd = ::open(r->host.c_str(), flags, mode);
        if (file->fd >= 0)
            detail::storeAttributeBits(r->host, newBits);
    }
    if (file->fd < 0) {
        int err = errno;
        if (err == EEXIST)
            return failHandle(ERROR_FILE_EXISTS);
        detail::failErrno(err);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = insertHandle(file);
    if (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
        setLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

BOOL readFile(HANDLE handle, void *buffer, DWORD toRead, DWORD *read)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (read)
        *read = 0;
    if (!f->canRead)
        return fail(ERROR_ACCESS_DENIED);
    if (!buffer && toRead)
        return fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    auto *p = static_cast<char *>(buffer);
    while (done < toRead) {
        ssize_t n = ::read(f->fd, p + done, toRead - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return detail::failErrno(errno);
        if (n == 0)
            break;
        done += DWORD(n);
    }
    if (read)
        *read = done;
    return TRUE;
}

BOOL writeFile(HANDLE handle, const void *buffer, DWORD toWrite, DWORD *written)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (written)
        *written = 0;
    if (!f->canWrite)
        return fail(ERROR_ACCESS_DENIED);
    if (!buffer && toWrite)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(f->mutex);
    if (f->drive.capacity) {
        off_t pos = ::lseek(f->fd, 0, SEEK_CUR);
        std::uint64_t size = sizeOf(f->fd);
        std::uint64_t end = std::uint64_t(pos) + toWrite;
        if (!detail::roomFor(f->drive, size, end > size ? end : size))
            return FALSE;
    }
    DWORD done = 0;
    const auto *p = static_cast<const char *>(buffer);
    while (done < toWrite) {
        ssize_t n = ::write(f->fd, p + done, toWrite - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (written)
                *written = done;
            return detail::failErrno(n < 0 ? errno : ENOSPC);
        }
        done += DWORD(n);
    }
    if (written)
        *written = done;
    return TRUE;
}

BOOL setFilePointerEx(HANDLE handle, std::int64_t distance, std::int64_t *newPosition,
                      DWORD moveMethod)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (f->isFolder)
        return fail(ERROR_ACCESS_DENIED);
    std::int64_t base = 0;
    if (moveMethod == FILE_CURRENT)
        base = ::lseek(f->fd, 0, SEEK_CUR);
    else if (moveMethod == FILE_END)
        base = std::int64_t(sizeOf(f->fd));
    else if (moveMethod != FILE_BEGIN)
        return fail(ERROR_INVALID_PARAMETER);
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance))
        return fail(ERROR_NEGATIVE_SEEK);
    off_t pos = ::lseek(f->fd, off_t(base + distance), SEEK_SET);
    if (pos < 0)
        return detail::failErrno(errno);
    if (newPosition)
        *newPosition = pos;
    return TRUE;
}

DWORD setFilePointer(HANDLE handle, LONG distance, LONG *distanceHigh, DWORD moveMethod)
{
    std::int64_t move =
        distanceHigh ? std::int64_t((std::uint64_t(DWORD(*distanceHigh)) << 32) | DWORD(distance))
                     : std::int64_t(distance);
    auto f = fileOf(handle);
    if (!f)
        return INVALID_SET_FILE_POINTER;
    std::int64_t before = ::lseek(f->fd, 0, SEEK_CUR);
    std::int64_t pos = 0;
    if (!setFilePointerEx(handle, move, &pos, moveMethod))
        return INVALID_SET_FILE_POINTER;
    if (!distanceHigh && pos > 0x7FFFFFFF) {
        ::lseek(f->fd, before, SEEK_SET);
        setLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = LONG(pos >> 32);
    return DWORD(pos & 0xFFFFFFFF);
}

BOOL setEndOfFile(HANDLE handle)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (!f->canWrite)
        return fail(ERROR_ACCESS_DENIED);
    std::lock_guard lock(f->mutex);
    off_t pos = ::lseek(f->fd, 0, SEEK_CUR);
    if (!detail::roomFor(f->drive, sizeOf(f->fd), std::uint64_t(pos)))
        return FALSE;
    if (::ftruncate(f->fd, pos) != 0)
        return detail::failErrno(errno);
    return TRUE;
}

BOOL getFileSizeEx(HANDLE handle, std::uint64_t *size)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (!size)
        return fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (::fstat(f->fd, &st) != 0)
        return detail::failErrno(errno);
    *size = f->isFolder ? 0 : std::uint64_t(st.st_size);
    return TRUE;
}

DWORD getFileSize(HANDLE handle, DWORD *high)
{
    std::uint64_t size = 0;
    if (!getFileSizeEx(handle, &size))
        return INVALID_FILE_SIZE;
    if (high)
        *high = DWORD(size >> 32);
    return DWORD(size & 0xFFFFFFFF);
}

BOOL flushFileBuffers(HANDLE handle)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (!f->canWrite)
        return fail(ERROR_ACCESS_DENIED);
    if (::fsync(f->fd) != 0)
        return detail::failErrno(errno);
    return TRUE;
}

BOOL getFileTime(HANDLE handle, FILETIME *creation, FILETIME *lastAccess, FILETIME *lastWrite)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    struct stat st;
    if (::fstat(f->fd, &st) != 0)
        return detail::failErrno(errno);
    if (creation)
        *creation = detail::creationTimeOfFd(f->fd);
    if (lastAccess)
        *lastAccess = fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    if (lastWrite)
        *lastWrite = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return TRUE;
}

BOOL setFileTime(HANDLE handle, const FILETIME *creation, const FILETIME *lastAccess,
                 const FILETIME *lastWrite)
{
    auto f = fileOf(handle);
    if (!f)
        return FALSE;
    if (!f->canWriteAttributes)
        return fail(ERROR_ACCESS_DENIED);
    struct timespec times[2];
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    const FILETIME *given[2] = {lastAccess, lastWrite};
    for (int i = 0; i < 2; ++i) {
        if (given[i]) {
            std::int64_t s;
            long ns;
            fileTimeToUnix(*given[i], &s, &ns);
            times[i].tv_sec = time_t(s);
            times[i].tv_nsec = ns;
        }
    }
    if ((lastAccess || lastWrite) && ::futimens(f->fd, times) != 0)
        return detail::failErrno(errno);
    if (creation) {
        std::string text = std::to_string(fileTimeToU64(*creation));
        if (::fsetxattr(f->fd, detail::kCreationTimeXattr, text.data(), text.size(), 0) != 0)
            return detail::failErrno(errno);
    }
    return TRUE;
}

} // namespace plat
