#pragma once

// The system root: one host folder per user that holds the Windows side of the
// system (registry hives, the Windows folder, Start Menu, Desktop, program files),
// and the Windows version the platform reports.

#include "platform/types.h"

#include <string>

namespace plat {

// Host folder of the system root: $BRX_ROOT when set, else
// $XDG_DATA_HOME/brindle-dovozoz/root (~/.local/share/... without XDG_DATA_HOME).
std::string systemRootHostDir();

// Host folder inside the system root (created on demand), e.g. "registry".
std::string systemRootSubdir(const char *name);

// Makes sure the system root is initialised: its folders (Windows, Start Menu,
// Start Menu/Programs, Desktop, Program Files, Temp, My Documents, Application
// Data), both registry hives and the platform's registry defaults. The first call
// for an empty root does the work, once even when several processes start together;
// later calls (and later processes) find it done and change nothing. The registry
// and the special folders call it themselves. true on success; false with the last
// error set when the root cannot be written.
bool initSystemRoot();

// Host path of the Windows folder, <root>/Windows.
std::string windowsDirHostPath();

// Windows path of the Windows folder into buffer (size bytes). Returns its length
// without the terminator; when buffer is too small, the size needed including the
// terminator (buffer untouched).
DWORD getWindowsDirectory(char *buffer, DWORD size);

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// The Windows version the platform reports.
struct OsVersionInfo {
    DWORD majorVersion = 5;
    DWORD minorVersion = 1;
    DWORD buildNumber = 2600;
    DWORD platformId = VER_PLATFORM_WIN32_NT; // 1 = 95/98/Me family, 2 = NT family
};

// Version from $BRX_WINVER: "major.minor" or "major.minor.build" ("4.0" Windows 95,
// "4.10" 98, "4.90" Me, "5.0" 2000, "5.1" XP, "5.2" Server 2003, "6.0" Vista).
// Versions below 5 are of the 95 family, the rest of the NT family. Unset or
// unreadable: 5.1 (XP). Read at every call.
OsVersionInfo getVersion();

// Product name of a version as the system shows it ("Microsoft Windows XP" ...).
std::string windowsProductName(const OsVersionInfo &version);

} // namespace plat
