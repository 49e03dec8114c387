// Names: temporary files, the Temp folder, full and "short" path names, the
// current directory.

#include "fs_internal.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

DWORD fail0(DWORD error)
{
    setLastError(error);
    return 0;
}

// The first `count` characters (not bytes) of UTF-8 text.
std::string_view firstChars(std::string_view text, int count)
{
    std::size_t i = 0;
    for (int n = 0; i < text.size() && n < count; ++n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return text.substr(0, i);
}

} // namespace

DWORD getTempFileName(const char *pathName, const char *prefix, DWORD unique, char *tempFileName)
{
    if (!pathName || !prefix || !tempFileName)
        return fail0(ERROR_INVALID_PARAMETER);
    auto r = detail::resolvePath(pathName);
    if (!r)
        return 0;
    struct stat st;
    if (!r->exists || ::stat(r->host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return fail0(ERROR_DIRECTORY);
    std::string folder = addBackslash(toBackslashes(pathName));
    std::string stem(firstChars(prefix, 3));
    if (!detail::isValidNameComponent(stem.empty() ? "x" : stem, false))
        return fail0(ERROR_INVALID_NAME);
    auto nameFor = [&](DWORD n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", unsigned(n));
        return stem + hex + ".tmp";
    };
    auto finish = [&](DWORD n) -> DWORD {
        std::string full = folder + nameFor(n);
        if (full.size() + 1 > std::size_t(kMaxPath))
            return fail0(ERROR_FILENAME_EXCED_RANGE);
        std::memcpy(tempFileName, full.c_str(), full.size() + 1);
        return n;
    };
    unique &= 0xFFFF;
    if (unique != 0)
        return finish(unique);
    if ((folder + nameFor(0xFFFF)).size() + 1 > std::size_t(kMaxPath))
        return fail0(ERROR_FILENAME_EXCED_RANGE);
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    DWORD start = DWORD(now ^ (now >> 16) ^ ::getpid()) & 0xFFFF;
    for (DWORD i = 0; i < 0xFFFF; ++i) {
        DWORD n = (start + i) % 0xFFFF + 1; // 1..0xFFFF: 0 means "choose"
        std::string host = r->host + (r->host.back() == '/' ? "" : "/") + nameFor(n);
        if (!detail::roomFor(r->drive, 0, 0))
            return 0;
        int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            detail::storeAttributeBits(host, FILE_ATTRIBUTE_ARCHIVE);
            return finish(n);
        }
        if (errno != EEXIST) {
            detail::failErrno(errno);
            return 0;
        }
    }
    return fail0(ERROR_FILE_EXISTS);
}

DWORD getTempPath(DWORD bufferLength, char *buffer)
{
    auto win = hostToWindowsPath(hostTempFolder());
    if (!win)
        return 0;
    return detail::copyOut(addBackslash(*win), buffer, bufferLength);
}

DWORD getShortPathName(const char *longPath, char *shortPath, DWORD bufferLength)
{
    if (!longPath)
        return fail0(ERROR_INVALID_PARAMETER);
    auto r = detail::resolvePath(longPath);
    if (!r)
        return 0;
    if (!r->exists) {
        detail::setMissingError(*r);
        return 0;
    }
    return detail::copyOut(longPath, shortPath, bufferLength);
}

DWORD getFullPathName(const char *fileName, DWORD bufferLength, char *buffer, char **filePart)
{
    if (!fileName)
        return fail0(ERROR_INVALID_PARAMETER);
    std::string full = fullPathName(fileName);
    if (full.empty())
        return 0;
    DWORD n = detail::copyOut(full, buffer, bufferLength);
    if (filePart) {
        bool copied = n == full.size();
        std::size_t slash = full.find_last_of('\\');
        *filePart = copied && slash != std::string::npos && slash + 1 < full.size()
                        ? buffer + slash + 1
                        : nullptr;
    }
    return n;
}

DWORD getCurrentDirectory(DWORD bufferLength, char *buffer)
{
    return detail::copyOut(currentDirectory(), buffer, bufferLength);
}

BOOL setCurrentDirectory(const char *path)
{
    if (!path) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return setCurrentDirectoryPath(path);
}

} // namespace plat
