#pragma once

// Loading deliverables (shared libraries) by their Windows file names.
//
// A name without a folder is looked for, without regard to case, in the
// program's folders in this order: the folder of the running executable, the
// folders of deliverables already loaded in the process (files ending in
// ".dll" or ".exe", any case), then $BRX_BIN_DIR when set, then the platform's
// own folder (modules standing in for the system's). $BRX_MODULE_OVERRIDES
// ("NAME.DLL=/host/file;...") maps a file name to a host file first. A name
// without an
// extension gets ".DLL". A name with a relative folder ("sub\X.DLL") is
// looked for below the same folders; a full Windows path ("C:\...\X.DLL") is
// taken as it stands (its components matched without regard to case when
// the exact name does not exist).
//
// Exports imported by ordinal: a deliverable that has them defines
//
//     extern "C" BRX_EXPORT const plat::OrdinalExport brx_ordinal_exports[] = {
//         {1, "MessageDisplayAdd"}, {2, "MessageDisplayExtract"}, {0, nullptr}};
//
// (terminated by an entry with a null name) and getProcAddress, given an
// ordinal in the disguise of a name pointer (ordinalName(1)), looks the
// ordinal up there and resolves the name.

#include "platform/types.h"

#include <cstdint>

#ifndef BRX_EXPORT
#define BRX_EXPORT __attribute__((visibility("default")))
#endif

namespace plat {

struct ModuleRecord;
using HMODULE = ModuleRecord *;
using FARPROC = void *;

constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;

// A module may export this C function (int, no arguments); when it returns 0
// on loading, the load fails with ERROR_DLL_INIT_FAILED.
constexpr const char *kProcessAttachSymbol = "brx_process_attach";

struct OrdinalExport {
    WORD ordinal;
    const char *name;
};

// The symbol name of a deliverable's ordinal table.
constexpr const char *kOrdinalTableSymbol = "brx_ordinal_exports";

// An ordinal passed where an export name is expected (values below 0x10000,
// as Windows does).
inline const char *ordinalName(WORD ordinal)
{
    return reinterpret_cast<const char *>(static_cast<std::uintptr_t>(ordinal));
}
inline bool isOrdinalName(const char *name)
{
    return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

// Loads a deliverable (or takes another reference to one already loaded).
// Success: its handle. Failure: null with ERROR_MOD_NOT_FOUND (no such file,
// or a library it needs is missing), ERROR_BAD_EXE_FORMAT (not a loadable
// library) or ERROR_INVALID_PARAMETER (null or empty name).
HMODULE loadLibrary(const char *fileName);

// Handle of a deliverable loaded with loadLibrary, found by its file name
// (without regard to case), without taking a reference. Null with
// ERROR_MOD_NOT_FOUND when it is not loaded.
HMODULE getModuleHandle(const char *fileName);

// Drops a reference; the last one unloads the library. FALSE with
// ERROR_INVALID_HANDLE for a handle that is not loaded.
BOOL freeLibrary(HMODULE module);

// Address of an export of `module` given by name or by ordinal
// (ordinalName). Only the module's own exports count, not those of the
// libraries it uses. Failure: null with ERROR_PROC_NOT_FOUND (no such export
// or ordinal) or ERROR_INVALID_HANDLE.
FARPROC getProcAddress(HMODULE module, const char *nameOrOrdinal);

// Host path of the loaded file into `buffer` (Windows-style: returns the
// length without terminator; truncates; 0 with ERROR_INVALID_HANDLE).
DWORD getModuleHostPath(HMODULE module, char *buffer, DWORD bufferSize);

// Looks an exported function up and converts it to the given pointer type.
template <typename Fn> Fn getProc(HMODULE module, const char *nameOrOrdinal)
{
    return reinterpret_cast<Fn>(getProcAddress(module, nameOrOrdinal));
}

} // namespace plat
