#pragma once

// The registry: hierarchical, case-insensitive keys holding typed values, kept in
// two SQLite databases under the system root (the user hive and the machine hive;
// HKEY_CLASSES_ROOT is the machine hive's Software\Classes). Nothing is cached:
// every call reads or writes the database, so a value written by one process is
// seen by the next call of any other. Each write is one transaction.
//
// Every function returns a Windows error code (ERROR_SUCCESS on success) and, on
// failure, also sets the thread's last error to it. Names are UTF-8; a null or
// empty value name means the key's default (unnamed) value.

#include "platform/errors.h"
#include "platform/types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct HKEY__;
// An open key. Handles come from regCreateKeyEx / regOpenKeyEx, or are one of the
// predefined roots below; they are opaque values, never pointers to dereference.
using HKEY = HKEY__ *;
using REGSAM = DWORD;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights of a key handle.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options and dispositions of regCreateKeyEx.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens subKey below key, creating it and every missing key on its path.
// out: *result the new handle, *disposition (optional) REG_CREATED_NEW_KEY or
// REG_OPENED_EXISTING_KEY. Only REG_OPTION_NON_VOLATILE is supported.
// Fails with ERROR_BAD_PATHNAME for a path with an empty component or a leading `\`,
// ERROR_ACCESS_DENIED when a key must be created through a handle without
// KEY_CREATE_SUB_KEY, ERROR_KEY_DELETED when key was deleted.
LONG regCreateKeyEx(HKEY key, const char *subKey, DWORD options, REGSAM access, HKEY *result,
                    DWORD *disposition);

// Opens an existing subKey (null or empty: key itself again) with the given access.
// out: *result the handle (null on failure). Fails with ERROR_FILE_NOT_FOUND.
LONG regOpenKeyEx(HKEY key, const char *subKey, DWORD options, REGSAM access, HKEY *result);

// Short forms: create with full access; open with full access.
LONG regCreateKey(HKEY key, const char *subKey, HKEY *result);
LONG regOpenKey(HKEY key, const char *subKey, HKEY *result);

// Releases a handle. Closing a predefined root succeeds and does nothing.
LONG regCloseKey(HKEY key);

// Reads a value. in: *size the capacity of data; out: *type, *size the value's size.
// With data null only the size is reported. A buffer too small gives ERROR_MORE_DATA
// with *size set to the size needed. String values include their terminator.
// Fails with ERROR_FILE_NOT_FOUND for a missing value.
LONG regQueryValueEx(HKEY key, const char *valueName, DWORD *type, BYTE *data, DWORD *size);

// Reads a whole value in one step (no size race with other writers).
// out: type and data. Fails like regQueryValueEx.
LONG regReadValue(HKEY key, const char *valueName, DWORD &type, std::vector<BYTE> &data);

// Writes a value (creating or replacing it). String data (REG_SZ, REG_EXPAND_SZ)
// is stored up to its first terminator, or all size bytes, plus one terminator.
// REG_DWORD needs size 4. Fails with ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED
// (handle without KEY_SET_VALUE), ERROR_KEY_DELETED.
LONG regSetValueEx(HKEY key, const char *valueName, DWORD type, const BYTE *data, DWORD size);

// Removes a value. Fails with ERROR_FILE_NOT_FOUND when it does not exist.
LONG regDeleteValue(HKEY key, const char *valueName);

// Removes subKey (empty: the key of the handle) when it has no subkeys; a key with
// subkeys gives ERROR_ACCESS_DENIED, a missing one ERROR_FILE_NOT_FOUND, a hive
// root ERROR_ACCESS_DENIED.
LONG regDeleteKey(HKEY key, const char *subKey);

// Removes subKey with all its values and subkeys; with subKey null or empty, empties
// key (its values and subkeys) but keeps it (ERROR_ACCESS_DENIED for a predefined
// root). Fails with ERROR_FILE_NOT_FOUND for a missing subKey.
LONG regDeleteTree(HKEY key, const char *subKey);

// Name of the index-th subkey (sorted case-insensitively), as created.
// in: *nameSize capacity of name in bytes; out: *nameSize length without the
// terminator. ERROR_NO_MORE_ITEMS past the end; ERROR_MORE_DATA when name is too
// small (*nameSize then holds the length needed without the terminator).
LONG regEnumKeyEx(HKEY key, DWORD index, char *name, DWORD *nameSize);

// Name, type and data of the index-th value (in order of first creation). name and
// nameSize as regEnumKeyEx; type, data and dataSize optional, as regQueryValueEx.
LONG regEnumValue(HKEY key, DWORD index, char *name, DWORD *nameSize, DWORD *type, BYTE *data,
                  DWORD *dataSize);

// Counts and maxima of a key; every out parameter is optional. Lengths are in bytes
// without terminators; maxValueLen is the largest data size.
LONG regQueryInfoKey(HKEY key, DWORD *subKeys, DWORD *maxSubKeyLen, DWORD *values,
                     DWORD *maxValueNameLen, DWORD *maxValueLen);

// Canonical name of a predefined root ("HKEY_CURRENT_USER" ...), empty for others.
std::string regRootName(HKEY root);

// Predefined root for "HKEY_CURRENT_USER" / "HKCU" and the other roots (any case);
// null when name is none of them.
HKEY regRootFromName(const std::string &name);

} // namespace plat
