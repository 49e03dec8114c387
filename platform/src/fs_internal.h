#pragma once

// Shared internals of the paths, drives and files areas (not a public header).

#include "platform/drives.h"
#include "platform/filetime.h"
#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace plat::detail {

// Name folded for case-insensitive comparison (Unicode case folding).
std::u32string foldName(std::string_view utf8);
bool sameNameNoCase(std::string_view a, std::string_view b);

// Whether Windows can address a name component: no control characters and none
// of < > : " / \ | (nor ? * unless wildcards are allowed); not empty.
bool isValidNameComponent(std::string_view name, bool allowWildcards);

// A Windows path looked up on the host.
struct Resolved {
    std::string windows; // full Windows path
    std::string host;    // host path, existing components in their real case
    DriveInfo drive;
    bool isRoot = false;       // the drive root itself
    bool exists = false;       // the whole path exists
    bool parentExists = false; // everything but the last component exists as folders
};

// Looks a Windows path up (see windowsToHostPath); nullopt with the error set.
std::optional<Resolved> resolvePath(std::string_view windowsPath);

// Sets ERROR_FILE_NOT_FOUND when only the last component is missing, else
// ERROR_PATH_NOT_FOUND.
void setMissingError(const Resolved &r);

// Capacity accounting of drives with a capacity (no-ops on the others).
// Whether a file growing from oldSize to newSize bytes plus `newFolders` new
// folders fit on the drive's medium; false with ERROR_DISK_FULL.
bool roomFor(const DriveInfo &drive, std::uint64_t oldSize, std::uint64_t newSize,
             std::uint64_t newFolders = 0);
// Whether a whole host tree (file or folder) fits when moved or copied onto the
// drive; false with ERROR_DISK_FULL.
bool roomForTree(const DriveInfo &drive, const std::string &hostTree);

// Extended attributes kept for Windows attributes and creation times.
inline constexpr const char *kDosAttributesXattr = "user.brx.dosattrib";
inline constexpr const char *kCreationTimeXattr = "user.brx.created";

// Hidden/system/archive bits (and read-only of folders) kept for a host path.
DWORD storedAttributeBits(const std::string &host);
// Keeps those bits; true also where the file system has no extended attributes.
bool storeAttributeBits(const std::string &host, DWORD bits);
// Windows attributes of a host path from its stat data.
DWORD attributesOf(const std::string &host, const struct stat &st);

// Creation time of an open file or a path: the kept one, else the host's birth
// time, else the last write time.
FILETIME creationTimeOfFd(int fd);
FILETIME creationTimeOfPath(const std::string &host);

// Windows buffer convention: copies text + terminator and returns its length,
// or returns the size needed (with terminator) when it does not fit.
DWORD copyOut(std::string_view text, char *buffer, DWORD size);

// Errno of a host call → last error; returns FALSE for convenience.
BOOL failErrno(int err);

// Reads a whole host file; a missing file gives "" when missingIsEmpty. False
// with the last error set.
bool readHostFile(const std::string &path, std::string *text, bool missingIsEmpty);

// Replaces the file `target` with the text, written beside and renamed.
bool writeHostFileAtomically(const std::string &target, std::string_view text);

} // namespace plat::detail
