#pragma once

// The utility library: path, file-name, registry and shell helpers that every
// other deliverable shares, the unique-name mask, and the file associations.
//
// Functions that return text return it in a buffer of the library, one per
// function and per thread, valid until the next call of the same function on
// the same thread.

#include <cstdint>

#include "common/export.h"
#include "common/records.h"
#include "platform/registry.h"

using plat::HKEY;

// Appends name to buffer, with a '\' between them unless buffer is empty or
// already ends in '\' or '/', then writes a second terminating zero.
BRX_EXPORT void catpath(char *buffer, const char *name);
// Pointer to the last '.' after the last '\' of path, or null.
BRX_EXPORT char *GetExtension(char *path);
BRX_EXPORT const char *GetExtension(const char *path);
// Pointer to the text after the last '\' (the whole path when there is none).
BRX_EXPORT char *GetFileNameFromFullPath(char *path);
BRX_EXPORT const char *GetFileNameFromFullPath(const char *path);
// Copy of path cut at its last '\'.
BRX_EXPORT const char *GetDirFromFullPath(const char *path);
// 1 when path contains '\'.
BRX_EXPORT int IsFullPath(const char *path);
// 1 when path is a well-formed drive or network path without invalid characters.
BRX_EXPORT int IsValidFileName(const char *path);
// Replaces or removes invalid characters in place; 0 when a path is too short.
BRX_EXPORT int MakeValidFileName(char *text, char replacement, int isPath);
// Creates every folder of path; 1 when all exist afterwards.
BRX_EXPORT int make_dirs(const char *path);
// 0 none, 1 file, 2 folder, 3 root.
BRX_EXPORT unsigned DoesFileExist(const char *path);
// 1 when the drive of "X:" or "X:\..." is removable.
BRX_EXPORT int CheckIfRemovable(const char *path);
// Decimal digits with ',' every three digits.
BRX_EXPORT const char *FormatComma(const unsigned long *value);
// value with the given decimals, ',' every three digits of the integer part.
BRX_EXPORT const char *FormatComma(double value, int decimals);
// Path of a special folder (CSIDL number) into a 260-byte buffer; 1 on success.
BRX_EXPORT int GetSpecialDirectory(int csidl, char *buffer);
// Builds the two formats of record from mask; with rewrite 1 "%f"/"%n" are
// turned into the format's own arguments first.
BRX_EXPORT void PrepareMUFNMask(const char *mask, _RENAMEINFO *record, int rewrite);
// First name made from path by record's formats that does not exist.
BRX_EXPORT const char *MakeUniqueFileName(const char *path, const _RENAMEINFO *record);

// Registry helpers.
BRX_EXPORT const char *RegReadSZ(HKEY key, const char *subkey, const char *name);
BRX_EXPORT long RegSetSZ(HKEY key, const char *subkey, const char *name, const char *text);
BRX_EXPORT std::uint8_t *RegReadBinary(HKEY key, const char *subkey, const char *name,
                                       std::uint32_t *size);
BRX_EXPORT long RegSetBinary(HKEY key, const char *subkey, const char *name,
                             const std::uint8_t *data, std::uint32_t size);
BRX_EXPORT long RegDelValue(HKEY key, const char *subkey, const char *name);

// Shell file operation codes.
enum : unsigned { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3, FO_RENAME = 4 };
// Copy, move, delete or rename; lists are double-zero terminated. 0 on success.
BRX_EXPORT int ShellFileOp(unsigned operation, const char *from, const char *to, HWND owner,
                           int silent, int allowUndo);
// Version of the list control the system's views stand on.
BRX_EXPORT double GetComCtlVer();
// Frees a block the library allocated; returns 0.
BRX_EXPORT int BrxutilDelete(void *block, int ignored);

// File associations of ".zip" and ".cab" and the shell extension's registration.
BRX_EXPORT void MakeAssociations();
BRX_EXPORT int CheckAssociations();
