#pragma once

// The shell's special folders, addressed by their CSIDL numbers. File-system
// folders live below the system root; virtual folders (My Computer, the network)
// have no path.

#include "platform/types.h"

#include <string>

namespace plat {

constexpr int CSIDL_DESKTOP = 0x0000;
constexpr int CSIDL_INTERNET = 0x0001;
constexpr int CSIDL_PROGRAMS = 0x0002;
constexpr int CSIDL_CONTROLS = 0x0003;
constexpr int CSIDL_PRINTERS = 0x0004;
constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_FAVORITES = 0x0006;
constexpr int CSIDL_STARTUP = 0x0007;
constexpr int CSIDL_RECENT = 0x0008;
constexpr int CSIDL_SENDTO = 0x0009;
constexpr int CSIDL_BITBUCKET = 0x000a;
constexpr int CSIDL_STARTMENU = 0x000b;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
constexpr int CSIDL_DRIVES = 0x0011;
constexpr int CSIDL_NETWORK = 0x0012;
constexpr int CSIDL_NETHOOD = 0x0013;
constexpr int CSIDL_FONTS = 0x0014;
constexpr int CSIDL_TEMPLATES = 0x0015;
constexpr int CSIDL_COMMON_STARTMENU = 0x0016;
constexpr int CSIDL_COMMON_PROGRAMS = 0x0017;
constexpr int CSIDL_COMMON_STARTUP = 0x0018;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
constexpr int CSIDL_APPDATA = 0x001a;
constexpr int CSIDL_PRINTHOOD = 0x001b;
constexpr int CSIDL_LOCAL_APPDATA = 0x001c;
constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
constexpr int CSIDL_PROGRAM_FILES = 0x0026;
constexpr int CSIDL_MYPICTURES = 0x0027;
constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002b;
constexpr int CSIDL_COMMON_DOCUMENTS = 0x002e;
// Or-ed into a CSIDL: create the folder when it does not exist.
constexpr int CSIDL_FLAG_CREATE = 0x8000;

// Windows path of a special folder into path (kMaxPath bytes). With create (or
// CSIDL_FLAG_CREATE) a missing folder is made. TRUE on success. FALSE with the last
// error set: ERROR_INVALID_PARAMETER for a virtual or unknown folder (or a null
// path), ERROR_NOT_SUPPORTED for a folder the reported Windows version lacks (the
// all-users folders on the 95 family), ERROR_FILE_NOT_FOUND for a missing folder
// without create, ERROR_FILENAME_EXCED_RANGE when the path does not fit.
BOOL getSpecialFolderPath(int csidl, char *path, BOOL create);

// Host path of a special folder (empty for virtual, unknown or unsupported ones);
// nothing is created.
std::string specialFolderHostPath(int csidl);

} // namespace plat
