// Helpers shared by the paths, drives and files areas: buffers, errors, whole-file
// I/O, and the extended attributes that keep what the host has no place for.

#include "fs_internal.h"
#include "platform/errors.h"
#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace plat::detail {

DWORD copyOut(std::string_view text, char *buffer, DWORD size)
{
    if (!buffer || size <= text.size())
        return DWORD(text.size() + 1);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = 0;
    return DWORD(text.size());
}

BOOL failErrno(int err)
{
    setLastError(errorFromErrno(err));
    return FALSE;
}

bool readHostFile(const std::string &path, std::string *text, bool missingIsEmpty)
{
    text->clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && missingIsEmpty)
            return true;
        failErrno(errno);
        return false;
    }
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            failErrno(err);
            return false;
        }
        if (n == 0)
            break;
        text->append(chunk, std::size_t(n));
    }
    ::close(fd);
    return true;
}

bool writeHostFileAtomically(const std::string &target, std::string_view text)
{
    std::string temp = target + ".brx-new-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        failErrno(errno);
        return false;
    }
    const char *p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temp.c_str());
            failErrno(err);
            return false;
        }
        p += n;
        left -= std::size_t(n);
    }
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        failErrno(err);
        return false;
    }
    return true;
}

DWORD storedAttributeBits(const std::string &host)
{
    char text[16] = {};
    ssize_t n = ::lgetxattr(host.c_str(), kDosAttributesXattr, text, sizeof text - 1);
    if (n <= 0)
        return 0;
    return DWORD(std::strtoul(text, nullptr, 16)) &
           (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
            FILE_ATTRIBUTE_ARCHIVE);
}

bool storeAttributeBits(const std::string &host, DWORD bits)
{
    if (bits == 0) {
        if (::lremovexattr(host.c_str(), kDosAttributesXattr) == 0 || errno == ENODATA ||
            errno == ENOTSUP)
            return true;
        failErrno(errno);
        return false;
    }
    char text[16];
    int n = std::snprintf(text, sizeof text, "%X", unsigned(bits));
    if (::lsetxattr(host.c_str(), kDosAttributesXattr, text, std::size_t(n), 0) == 0)
        return true;
    if (errno == ENOTSUP || errno == EPERM)
        return true; // no place for them here: they read as clear
    failErrno(errno);
    return false;
}

DWORD attributesOf(const std::string &host, const struct stat &st)
{
    DWORD bits = storedAttributeBits(host);
    DWORD attrs = bits & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (S_ISDIR(st.st_mode)) {
        // A folder's read-only mark does not stop writing into it on Windows, so
        // it is not mapped to the permission bits.
        attrs |= FILE_ATTRIBUTE_DIRECTORY | (bits & FILE_ATTRIBUTE_READONLY);
    } else if ((st.st_mode & S_IWUSR) == 0) {
        attrs |= FILE_ATTRIBUTE_READONLY;
    }
    return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

namespace {

bool parseCreation(const char *text, ssize_t n, FILETIME *out)
{
    if (n <= 0)
        return false;
    std::string s(text, std::size_t(n));
    char *end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (end == s.c_str())
        return false;
    *out = fileTimeFromU64(v);
    return true;
}

FILETIME fromStatx(const struct statx &sx)
{
    if (sx.stx_mask & STATX_BTIME)
        return fileTimeFromUnix(sx.stx_btime.tv_sec, long(sx.stx_btime.tv_nsec));
    return fileTimeFromUnix(sx.stx_mtime.tv_sec, long(sx.stx_mtime.tv_nsec));
}

} // namespace

FILETIME creationTimeOfFd(int fd)
{
    char text[32];
    FILETIME ft;
    if (parseCreation(text, ::fgetxattr(fd, kCreationTimeXattr, text, sizeof text - 1), &ft))
        return ft;
    struct statx sx = {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &sx) == 0)
        return fromStatx(sx);
    return FILETIME{};
}

FILETIME creationTimeOfPath(const std::string &host)
{
    char text[32];
    FILETIME ft;
    if (parseCreation(text, ::lgetxattr(host.c_str(), kCreationTimeXattr, text, sizeof text - 1),
                      &ft))
        return ft;
    struct statx sx = {};
    if (::statx(AT_FDCWD, host.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &sx) == 0)
        return fromStatx(sx);
    return FILETIME{};
}

} // namespace plat::detail
