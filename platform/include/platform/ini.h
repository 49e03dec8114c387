#pragma once

// INI files ("profile" files) as Windows reads and writes them: sections in
// brackets, key=value lines, names compared case-insensitively, blanks around
// names and values ignored, a value in matching quotes unquoted. A file name
// without a folder lives in the Windows folder (so "WININIT.INI" and
// "SETUP.INI" land there). Writes replace the file as a whole (written beside,
// then renamed), keeping every other line as it was.

#include "platform/types.h"

namespace plat {

// The value of `key` in `section`, or `defaultValue` (trailing blanks removed)
// when either is missing, copied into `buffer` of `size` bytes (truncated and
// terminated when longer). A null key gives all key names of the section, a
// null section all section names, as a list of terminated strings ending in an
// extra zero. Returns the number of bytes copied without the (final) terminator:
// size - 1 (size - 2 for lists) when truncated.
DWORD getPrivateProfileString(const char *section, const char *key, const char *defaultValue,
                              char *buffer, DWORD size, const char *fileName);

// The value as a number: leading decimal digits (an optional sign) of the value,
// 0 when it does not start with one; `defaultValue` when the key is missing.
DWORD getPrivateProfileInt(const char *section, const char *key, int defaultValue,
                           const char *fileName);

// Writes key=value into the section (created with the file when missing). A null
// value deletes the key, a null key the whole section. FALSE with the file
// error (ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_DISK_FULL) or
// ERROR_INVALID_PARAMETER (null section or file name).
BOOL writePrivateProfileString(const char *section, const char *key, const char *value,
                               const char *fileName);

// Every line of a section ("key=value", blanks trimmed; comments left out) as a
// list of terminated strings ending in an extra zero. Returns the bytes copied
// without the final zero, size - 2 when truncated; 0 when the section is missing.
DWORD getPrivateProfileSection(const char *section, char *buffer, DWORD size, const char *fileName);

// Replaces the lines of a section by a list of terminated "key=value" strings
// ending in an extra zero (created when missing). Errors as
// writePrivateProfileString.
BOOL writePrivateProfileSection(const char *section, const char *lines, const char *fileName);

} // namespace plat
