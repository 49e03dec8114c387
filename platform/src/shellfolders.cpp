#include "platform/shellfolders.h"

#include "platform/errors.h"
#include "sysroot_internal.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace plat {
namespace sysroot {

const std::vector<FolderDef> &folderDefs()
{
    // The all-users folders and the local application data exist on the NT family
    // only, as on the systems the program was written for.
    static const std::vector<FolderDef> defs = {
        {CSIDL_DESKTOP, "Desktop", "Desktop", nullptr, false, true},
        {CSIDL_PROGRAMS, "Start Menu/Programs", "Start Menu/Programs", "Programs", false, true},
        {CSIDL_PERSONAL, "My Documents", "My Documents", "Personal", false, true},
        {CSIDL_FAVORITES, "Favorites", "Favorites", "Favorites", false, false},
        {CSIDL_STARTUP, "Start Menu/Programs/Startup", "Start Menu/Programs/Startup", "Startup",
         false, false},
        {CSIDL_RECENT, "Recent", "Recent", "Recent", false, false},
        {CSIDL_SENDTO, "SendTo", "SendTo", "SendTo", false, false},
        {CSIDL_STARTMENU, "Start Menu", "Start Menu", "Start Menu", false, true},
        {CSIDL_DESKTOPDIRECTORY, "Desktop", "Desktop", "Desktop", false, true},
        {CSIDL_NETHOOD, "NetHood", "NetHood", "NetHood", false, false},
        {CSIDL_FONTS, "Windows/Fonts", "Windows/Fonts", "Fonts", false, false},
        {CSIDL_TEMPLATES, "Windows/ShellNew", "Templates", "Templates", false, false},
        {CSIDL_COMMON_STARTMENU, nullptr, "All Users/Start Menu", "Common Start Menu", true, false},
        {CSIDL_COMMON_PROGRAMS, nullptr, "All Users/Start Menu/Programs", "Common Programs", true,
         false},
        {CSIDL_COMMON_STARTUP, nullptr, "All Users/Start Menu/Programs/Startup", "Common Startup",
         true, false},
        {CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, "All Users/Desktop", "Common Desktop", true,
         false},
        {CSIDL_APPDATA, "Application Data", "Application Data", "AppData", false, true},
        {CSIDL_PRINTHOOD, "PrintHood", "PrintHood", "PrintHood", false, false},
        {CSIDL_LOCAL_APPDATA, nullptr, "Local Settings/Application Data", "Local AppData", false,
         false},
        {CSIDL_COMMON_APPDATA, nullptr, "All Users/Application Data", "Common AppData", true,
         false},
        {CSIDL_WINDOWS, "Windows", "Windows", nullptr, false, true},
        {CSIDL_SYSTEM, "Windows/System", "Windows/System32", nullptr, false, false},
        {CSIDL_PROGRAM_FILES, "Program Files", "Program Files", nullptr, false, true},
        {CSIDL_MYPICTURES, nullptr, "My Documents/My Pictures", "My Pictures", false, false},
        {CSIDL_PROGRAM_FILES_COMMON, "Program Files/Common Files", "Program Files/Common Files",
         nullptr, false, false},
        {CSIDL_COMMON_DOCUMENTS, nullptr, "All Users/Documents", "Common Documents", true, false},
    };
    return defs;
}

std::string folderHostPath(const FolderDef &def, const OsVersionInfo &version)
{
    const char *rel = version.platformId == VER_PLATFORM_WIN32_NT ? def.pathNt : def.path95;
    return rel ? systemRootHostDir() + "/" + rel : std::string();
}

} // namespace sysroot

namespace {

const sysroot::FolderDef *findFolder(int id)
{
    for (const sysroot::FolderDef &def : sysroot::folderDefs())
        if (def.csidl == id)
            return &def;
    return nullptr;
}

BOOL failFolder(char *path, DWORD error)
{
    if (path)
        path[0] = '\0';
    setLastError(error);
    return 0;
}

} // namespace

BOOL getSpecialFolderPath(int csidl, char *path, BOOL create)
{
    if (!path)
        return failFolder(path, ERROR_INVALID_PARAMETER);
    if (csidl & CSIDL_FLAG_CREATE)
        create = 1;
    const sysroot::FolderDef *def = findFolder(csidl & 0xff);
    if (!def || (csidl & 0x7f00))
        return failFolder(path, ERROR_INVALID_PARAMETER);
    initSystemRoot();
    std::string host = sysroot::folderHostPath(*def, getVersion());
    if (host.empty())
        return failFolder(path, ERROR_NOT_SUPPORTED);
    std::error_code ec;
    if (!std::filesystem::is_directory(host, ec)) {
        if (!create)
            return failFolder(path, ERROR_FILE_NOT_FOUND);
        std::filesystem::create_directories(host, ec);
        if (ec)
            return failFolder(path, errorFromErrno(ec.value()));
    }
    std::string windows = sysroot::hostToWindowsPath(host);
    if (windows.size() >= static_cast<std::size_t>(kMaxPath))
        return failFolder(path, ERROR_FILENAME_EXCED_RANGE);
    std::memcpy(path, windows.c_str(), windows.size() + 1);
    return 1;
}

std::string specialFolderHostPath(int csidl)
{
    const sysroot::FolderDef *def = findFolder(csidl & 0xff);
    return def ? sysroot::folderHostPath(*def, getVersion()) : std::string();
}

} // namespace plat
