#pragma once

// Files and folders addressed by Windows paths. Lookup of an existing file or
// folder is case-insensitive when the exact name does not exist; new names keep
// the case given. Share modes are accepted and ignored (the host has no
// mandatory locks). Read-only is the host's write permission; hidden, system
// and archive live in an extended attribute where the file system has them
// (else they read as clear). Writes on a drive with a capacity fail with
// ERROR_DISK_FULL once the medium is full (drives.h).

#include "platform/filetime.h"
#include "platform/handle.h"
#include "platform/types.h"

#include <cstdint>
#include <string_view>

namespace plat {

enum : DWORD {
    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    FILE_READ_ATTRIBUTES = 0x80,
    FILE_WRITE_ATTRIBUTES = 0x100,

    FILE_SHARE_READ = 1,
    FILE_SHARE_WRITE = 2,
    FILE_SHARE_DELETE = 4,

    CREATE_NEW = 1,
    CREATE_ALWAYS = 2,
    OPEN_EXISTING = 3,
    OPEN_ALWAYS = 4,
    TRUNCATE_EXISTING = 5,

    FILE_ATTRIBUTE_READONLY = 0x01,
    FILE_ATTRIBUTE_HIDDEN = 0x02,
    FILE_ATTRIBUTE_SYSTEM = 0x04,
    FILE_ATTRIBUTE_DIRECTORY = 0x10,
    FILE_ATTRIBUTE_ARCHIVE = 0x20,
    FILE_ATTRIBUTE_NORMAL = 0x80,
    INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu,

    FILE_FLAG_BACKUP_SEMANTICS = 0x02000000,
    FILE_FLAG_DELETE_ON_CLOSE = 0x04000000,

    FILE_BEGIN = 0,
    FILE_CURRENT = 1,
    FILE_END = 2,
    INVALID_SET_FILE_POINTER = 0xFFFFFFFFu,
    INVALID_FILE_SIZE = 0xFFFFFFFFu,

    MOVEFILE_REPLACE_EXISTING = 1,
    MOVEFILE_COPY_ALLOWED = 2,
    MOVEFILE_DELAY_UNTIL_REBOOT = 4,
    MOVEFILE_WRITE_THROUGH = 8,
};

// Opens or creates a file (or, with FILE_FLAG_BACKUP_SEMANTICS, opens a folder
// for its times). Access: GENERIC_READ, GENERIC_WRITE, FILE_WRITE_ATTRIBUTES.
// Attributes apply to a new file; FILE_FLAG_DELETE_ON_CLOSE deletes it at the
// last close. Returns the handle; on success the last error is
// ERROR_ALREADY_EXISTS when CREATE_ALWAYS/OPEN_ALWAYS found the file, else 0.
// INVALID_HANDLE_VALUE with ERROR_FILE_EXISTS (CREATE_NEW on an existing file),
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED (folder,
// read-only file opened for writing, hidden/system file replaced without those
// attributes).
HANDLE createFile(const char *fileName, DWORD desiredAccess, DWORD shareMode,
                  DWORD creationDisposition, DWORD flagsAndAttributes);

// Reads up to `toRead` bytes at the file pointer; TRUE with *read = 0 at end of
// file. FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (not opened for
// reading), ERROR_INVALID_PARAMETER (null buffer or count).
BOOL readFile(HANDLE file, void *buffer, DWORD toRead, DWORD *read);

// Writes all `toWrite` bytes at the file pointer or nothing: FALSE with
// ERROR_DISK_FULL (and *written = 0) when the drive's capacity would be
// exceeded; ERROR_ACCESS_DENIED when not opened for writing.
BOOL writeFile(HANDLE file, const void *buffer, DWORD toWrite, DWORD *written);

// Moves the file pointer (FILE_BEGIN, FILE_CURRENT, FILE_END); newPosition may be
// null. FALSE with ERROR_NEGATIVE_SEEK before the start, ERROR_INVALID_PARAMETER
// for another method.
BOOL setFilePointerEx(HANDLE file, std::int64_t distance, std::int64_t *newPosition,
                      DWORD moveMethod);

// The 32-bit form: returns the low half of the new position (high half in
// *distanceHigh when given); INVALID_SET_FILE_POINTER with the error set on
// failure (a valid position can have that low half too: check the error).
DWORD setFilePointer(HANDLE file, LONG distance, LONG *distanceHigh, DWORD moveMethod);

// Cuts or extends the file at the file pointer. FALSE with ERROR_DISK_FULL when
// extending beyond the drive's capacity, ERROR_ACCESS_DENIED without write access.
BOOL setEndOfFile(HANDLE file);

// Size of an open file. FALSE with ERROR_INVALID_HANDLE.
BOOL getFileSizeEx(HANDLE file, std::uint64_t *size);

// Low half of the size (high half into *high when given); INVALID_FILE_SIZE with
// the error set on failure.
DWORD getFileSize(HANDLE file, DWORD *high);

// Writes the file's data through to the medium.
BOOL flushFileBuffers(HANDLE file);

// Creation, last access and last write times (any may be null).
BOOL getFileTime(HANDLE file, FILETIME *creation, FILETIME *lastAccess, FILETIME *lastWrite);

// Sets the times that are not null. The creation time is kept in an extended
// attribute (FALSE with ERROR_NOT_SUPPORTED where the file system has none).
// Needs GENERIC_WRITE or FILE_WRITE_ATTRIBUTES access (else ERROR_ACCESS_DENIED).
BOOL setFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess,
                 const FILETIME *lastWrite);

struct WIN32_FIND_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    char cFileName[kMaxPath] = {};
    char cAlternateFileName[14] = {}; // always empty: there are no short names
};

// Starts a search: the folder part of `pattern` is looked up, its last part
// may hold `*` and `?` (Windows matching, see matchesWildcard). Non-root folders
// report "." and "..". Entries come in case-insensitive name order; host names
// Windows cannot address (holding `\` or `:` ...) or longer than a
// WIN32_FIND_DATA name are left out. Returns a handle for findNextFile, or
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (nothing matches) or
// ERROR_PATH_NOT_FOUND (no such folder).
HANDLE findFirstFile(const char *pattern, WIN32_FIND_DATA *data);

// The next match; FALSE with ERROR_NO_MORE_FILES at the end.
BOOL findNextFile(HANDLE search, WIN32_FIND_DATA *data);

// Ends a search. FALSE with ERROR_INVALID_HANDLE for anything but a search.
BOOL findClose(HANDLE search);

// Windows name matching, case-insensitive: `*` any run, `?` one character (none
// at the end of the name or before a dot); a dot followed only by wildcards
// also matches the end of a name, so "*.*" matches names without a dot and
// "*." only those.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// Attributes of a file or folder; INVALID_FILE_ATTRIBUTES with
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
DWORD getFileAttributes(const char *path);

// Sets read-only (write permission bits on files), hidden, system and archive;
// FILE_ATTRIBUTE_NORMAL alone clears them. Other bits are ignored.
BOOL setFileAttributes(const char *path, DWORD attributes);

// Deletes a file. FALSE with ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED (folder or
// read-only file).
BOOL deleteFile(const char *path);

// Renames or moves a file or folder (files also across host file systems).
// FALSE with ERROR_ALREADY_EXISTS when the target exists, ERROR_FILE_NOT_FOUND,
// ERROR_DISK_FULL when the target drive has no room.
BOOL moveFile(const char *existing, const char *newName);

// As moveFile with flags: MOVEFILE_REPLACE_EXISTING replaces a file target,
// MOVEFILE_COPY_ALLOWED permits moving a file to another file system (else
// ERROR_NOT_SAME_DEVICE). MOVEFILE_DELAY_UNTIL_REBOOT records the move (a null
// newName: the deletion) for the next restart instead (restart.h).
BOOL moveFileEx(const char *existing, const char *newName, DWORD flags);

// Copies a file with its attributes and last-write time (archive set). FALSE with
// ERROR_FILE_EXISTS (failIfExists and the target exists), ERROR_FILE_NOT_FOUND,
// ERROR_ACCESS_DENIED (read-only target), ERROR_SHARING_VIOLATION (source and
// target are the same file), ERROR_DISK_FULL (nothing is left behind).
BOOL copyFile(const char *existing, const char *newName, BOOL failIfExists);

// Creates one folder. FALSE with ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND
// (parent missing), ERROR_DISK_FULL.
BOOL createDirectory(const char *path);

// Removes an empty folder. FALSE with ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY (not a
// folder), ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED (a drive root).
BOOL removeDirectory(const char *path);

// "<folder>\<up to 3 prefix characters><hex>.tmp" into `tempFileName` (kMaxPath
// bytes). With unique 0 a free number is chosen and the empty file created;
// otherwise the name is only built from the number's low 16 bits. Returns the
// number used, 0 with ERROR_DIRECTORY (no such folder), ERROR_FILE_EXISTS (all
// numbers taken), ERROR_INVALID_PARAMETER (null argument),
// ERROR_FILENAME_EXCED_RANGE (name longer than kMaxPath).
DWORD getTempFileName(const char *pathName, const char *prefix, DWORD unique, char *tempFileName);

// The system root's Temp folder as a Windows path ending in `\` (created on
// demand). Returns its length; when the buffer is too small, the size needed
// including the terminator (nothing written).
DWORD getTempPath(DWORD bufferLength, char *buffer);

// There are no short names: copies the long path of an existing file or folder.
// Length, or the size needed when the buffer is small; 0 with
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND.
DWORD getShortPathName(const char *longPath, char *shortPath, DWORD bufferLength);

// Absolute form of a path (fullPathName in path.h). Length, or the size needed;
// *filePart (may be null) points at the name part in the buffer, null when the
// path ends in `\`. 0 with ERROR_INVALID_NAME for an empty name.
DWORD getFullPathName(const char *fileName, DWORD bufferLength, char *buffer, char **filePart);

// The current directory into a buffer: length, or the size needed.
DWORD getCurrentDirectory(DWORD bufferLength, char *buffer);

// Sets the current directory; FALSE with ERROR_PATH_NOT_FOUND / ERROR_DIRECTORY.
BOOL setCurrentDirectory(const char *path);

} // namespace plat
