#pragma once

// Pieces of the system root shared by its initialisation and the special folders.
// Internal to the platform library.

#include "platform/sysroot.h"

#include <string>
#include <vector>

namespace plat::sysroot {

// Windows path of a host path.
// TODO(path conversion): replace with the drive table's host-to-Windows conversion
// once it is available; until then C: is the host's "/".
std::string hostToWindowsPath(const std::string &host);

// A file-system special folder: where it lives below the root, the value naming it
// in the Explorer's "Shell Folders" key, whether it is an all-users folder (kept in
// the machine hive, missing on the 95 family) and whether the root is made with it.
struct FolderDef {
    int csidl;
    const char *path95;          // relative to the root; null when the 95 family lacks it
    const char *pathNt;          // relative to the root on the NT family
    const char *shellFolderName; // null: not listed in "Shell Folders"
    bool common;
    bool madeWithRoot;
};

const std::vector<FolderDef> &folderDefs();

// Host path of a folder for a version; empty when that version lacks it.
std::string folderHostPath(const FolderDef &def, const OsVersionInfo &version);

} // namespace plat::sysroot
