// Deleting, moving, copying files; creating and removing folders; attributes.

#include "fs_internal.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/restart.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

BOOL fail(DWORD error)
{
    setLastError(error);
    return FALSE;
}

// Looks up an existing path; nullopt with the Windows error when missing.
std::optional<detail::Resolved> existing(const char *path)
{
    if (!path) {
        setLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    auto r = detail::resolvePath(path);
    if (r && !r->exists) {
        detail::setMissingError(*r);
        return std::nullopt;
    }
    return r;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

constexpr DWORD kStoredBits =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// Copies file data, permissions, kept attributes (archive set) and the last
// write time from one host file onto another; a partial target is removed.
BOOL copyHostFile(const std::string &from, const std::string &to)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return detail::failErrno(errno);
    struct stat st;
    ::fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        int err = errno;
        ::close(in);
        return detail::failErrno(err);
    }
    char buf[65536];
    int err = 0;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < n && !err;) {
            ssize_t w = ::write(out, buf + done, std::size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                err = w < 0 ? errno : ENOSPC;
            else
                done += w;
        }
        if (err)
            break;
    }
    if (!err) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        ::fchmod(out, st.st_mode & 07777);
    }
    ::close(in);
    if (::close(out) != 0 && !err)
        err = errno;
    if (err) {
        ::unlink(to.c_str());
        return detail::failErrno(err);
    }
    detail::storeAttributeBits(to, (detail::storedAttributeBits(from) & kStoredBits) |
                                       FILE_ATTRIBUTE_ARCHIVE);
    return TRUE;
}

std::string siblingWithName(const std::string &host, const std::string &name)
{
    std::size_t slash = host.rfind('/');
    return host.substr(0, slash + 1) + name;
}

} // namespace

DWORD getFileAttributes(const char *path)
{
    auto r = existing(path);
    if (!r)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(r->host.c_str(), &st) != 0 && ::lstat(r->host.c_str(), &st) != 0) {
        detail::failErrno(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    return detail::attributesOf(r->host, st);
}

BOOL setFileAttributes(const char *path, DWORD attributes)
{
    auto r = existing(path);
    if (!r)
        return FALSE;
    struct stat st;
    if (::stat(r->host.c_str(), &st) != 0)
        return detail::failErrno(errno);
    DWORD bits = attributes & (FILE_ATTRIBUTE_READONLY | kStoredBits);
    if (!S_ISDIR(st.st_mode)) {
        mode_t mode = st.st_mode & 07777;
        mode_t wanted = (bits & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(0222))
                        : (mode & S_IWUSR)               ? mode
                                                         : (mode | S_IWUSR);
        if (wanted != mode && ::chmod(r->host.c_str(), wanted) != 0)
            return detail::failErrno(errno);
        bits &= kStoredBits;
    }
    return detail::storeAttributeBits(r->host, bits) ? TRUE : FALSE;
}

BOOL deleteFile(const char *path)
{
    auto r = existing(path);
    if (!r)
        return FALSE;
    struct stat st;
    if (::lstat(r->host.c_str(), &st) != 0)
        return detail::failErrno(errno);
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0))
        return fail(ERROR_ACCESS_DENIED);
    if (::unlink(r->host.c_str()) != 0)
        return detail::failErrno(errno);
    return TRUE;
}

BOOL moveFileEx(const char *existingName, const char *newName, DWORD flags)
{
    if (!existingName)
        return fail(ERROR_INVALID_PARAMETER);
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        if (flags & MOVEFILE_COPY_ALLOWED)
            return fail(ERROR_INVALID_PARAMETER);
        std::string source = fullPathName(existingName);
        if (source.empty())
            return FALSE;
        std::string target = newName ? fullPathName(newName) : std::string();
        if (newName && target.empty())
            return FALSE;
        return scheduleAtRestart(source.c_str(), newName ? target.c_str() : nullptr);
    }
    if (!newName)
        return fail(ERROR_INVALID_PARAMETER);
    auto src = existing(existingName);
    if (!src)
        return FALSE;
    auto dst = detail::resolvePath(newName);
    if (!dst)
        return FALSE;
    struct stat sst, dstSt;
    if (::lstat(src->host.c_str(), &sst) != 0)
        return detail::failErrno(errno);
    if (src->isRoot)
        return fail(ERROR_ACCESS_DENIED);
    std::string target = dst->host;
    std::uint64_t replacedSize = 0;
    if (dst->exists) {
        if (::stat(dst->host.c_str(), &dstSt) != 0)
            return detail::failErrno(errno);
        if (sameFile(sst, dstSt)) {
            // The same file under another spelling: a change of case only.
            target = siblingWithName(dst->host, pathFileName(dst->windows));
            if (target == src->host)
                return TRUE;
        } else {
            if (!(flags & MOVEFILE_REPLACE_EXISTING))
                return fail(ERROR_ALREADY_EXISTS);
            if (S_ISDIR(dstSt.st_mode) || S_ISDIR(sst.st_mode) || (dstSt.st_mode & S_IWUSR) == 0)
                return fail(ERROR_ACCESS_DENIED);
            replacedSize = std::uint64_t(dstSt.st_size);
        }
    } else if (!dst->parentExists) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    bool sameMedium = dst->drive.hostDir == src->drive.hostDir;
    if (!sameMedium && dst->drive.capacity) {
        bool fits = S_ISDIR(sst.st_mode)
                        ? detail::roomForTree(dst->drive, src->host)
                        : detail::roomFor(dst->drive, replacedSize, std::uint64_t(sst.st_size));
        if (!fits)
            return FALSE;
    }
    if (::rename(src->host.c_str(), target.c_str()) == 0)
        return TRUE;
    if (errno != EXDEV)
        return detail::failErrno(errno);
    if (S_ISDIR(sst.st_mode) || !(flags & MOVEFILE_COPY_ALLOWED))
        return fail(ERROR_NOT_SAME_DEVICE);
    if (!copyHostFile(src->host, target))
        return FALSE;
    if (::unlink(src->host.c_str()) != 0)
        return detail::failErrno(errno);
    return TRUE;
}

BOOL moveFile(const char *existingName, const char *newName)
{
    return moveFileEx(existingName, newName, MOVEFILE_COPY_ALLOWED);
}

BOOL copyFile(const char *existingName, const char *newName, BOOL failIfExists)
{
    auto src = existing(existingName);
    if (!src)
        return FALSE;
    if (!newName)
        return fail(ERROR_INVALID_PARAMETER);
    auto dst = detail::resolvePath(newName);
    if (!dst)
        return FALSE;
    struct stat sst, dstSt;
    if (::stat(src->host.c_str(), &sst) != 0)
        return detail::failErrno(errno);
    if (S_ISDIR(sst.st_mode))
        return fail(ERROR_ACCESS_DENIED);
    std::uint64_t replacedSize = 0;
    if (dst->exists) {
        if (::stat(dst->host.c_str(), &dstSt) != 0)
            return detail::failErrno(errno);
        if (sameFile(sst, dstSt))
            return fail(ERROR_SHARING_VIOLATION); // never truncate the source itself
        if (failIfExists)
            return fail(ERROR_FILE_EXISTS);
        DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        DWORD dstBits = detail::storedAttributeBits(dst->host) & hiddenSystem;
        DWORD srcBits = detail::storedAttributeBits(src->host) & hiddenSystem;
        if (S_ISDIR(dstSt.st_mode) || (dstSt.st_mode & S_IWUSR) == 0 || (dstBits & ~srcBits))
            return fail(ERROR_ACCESS_DENIED);
        replacedSize = std::uint64_t(dstSt.st_size);
    } else if (!dst->parentExists) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (!detail::roomFor(dst->drive, replacedSize, std::uint64_t(sst.st_size)))
        return FALSE;
    return copyHostFile(src->host, dst->host);
}

BOOL createDirectory(const char *path)
{
    if (!path)
        return fail(ERROR_INVALID_PARAMETER);
    auto r = detail::resolvePath(path);
    if (!r)
        return FALSE;
    if (r->exists)
        return fail(ERROR_ALREADY_EXISTS);
    if (!r->parentExists)
        return fail(ERROR_PATH_NOT_FOUND);
    if (!detail::roomFor(r->drive, 0, 0, 1))
        return FALSE;
    if (::mkdir(r->host.c_str(), 0777) != 0)
        return detail::failErrno(errno);
    return TRUE;
}

BOOL removeDirectory(const char *path)
{
    auto r = existing(path);
    if (!r)
        return FALSE;
    if (r->isRoot)
        return fail(ERROR_ACCESS_DENIED);
    struct stat st;
    if (::stat(r->host.c_str(), &st) != 0)
        return detail::failErrno(errno);
    if (!S_ISDIR(st.st_mode))
        return fail(ERROR_DIRECTORY);
    struct stat lst;
    if (::lstat(r->host.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        if (::unlink(r->host.c_str()) != 0) // a linked folder goes, its target stays
            return detail::failErrno(errno);
        return TRUE;
    }
    if (::rmdir(r->host.c_str()) != 0)
        return detail::failErrno(errno == EEXIST ? ENOTEMPTY : errno);
    return TRUE;
}

} // namespace plat
