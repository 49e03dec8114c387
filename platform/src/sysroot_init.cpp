// First-use initialisation of a system root: folders, hives and the registry
// defaults a Windows installation would have.

#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/sysroot.h"
#include "sysroot_internal.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {
namespace {

namespace fs = std::filesystem;

// Written last, so a root whose initialisation was interrupted is completed by
// the next process instead of being taken as done.
const char *const kMarker = ".initialised";
const char *const kLockFile = ".initialising";

const char *const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char *const kNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char *const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Writes a string value unless the value is already there (a partly initialised
// root keeps what it has).
DWORD setDefault(HKEY root, const char *path, const char *name, const std::string &text)
{
    HKEY key = nullptr;
    DWORD err = static_cast<DWORD>(
        regCreateKeyEx(root, path, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &key, nullptr));
    if (err)
        return err;
    err = static_cast<DWORD>(regQueryValueEx(key, name, nullptr, nullptr, nullptr));
    if (err == ERROR_FILE_NOT_FOUND)
        err = static_cast<DWORD>(regSetValueEx(key, name, REG_SZ,
                                               reinterpret_cast<const BYTE *>(text.c_str()),
                                               static_cast<DWORD>(text.size() + 1)));
    regCloseKey(key);
    return err;
}

DWORD writeRegistryDefaults(const OsVersionInfo &version)
{
    using sysroot::hostToWindowsPath;
    const std::string root = systemRootHostDir();
    const std::string product = windowsProductName(version);
    const std::string windows = hostToWindowsPath(root + "/Windows");
    const std::string programFiles = hostToWindowsPath(root + "/Program Files");
    const std::string versionText =
        std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion);
    char number[48];
    std::snprintf(number, sizeof number, "%u.%02u.%u", unsigned(version.majorVersion),
                  unsigned(version.minorVersion), unsigned(version.buildNumber));

    struct Entry {
        HKEY root;
        const char *key;
        const char *name;
        std::string text;
    };
    std::vector<Entry> entries = {
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", programFiles},
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "CommonFilesDir", programFiles + "\\Common Files"},
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName", product},
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "Version",
         product.rfind("Microsoft ", 0) == 0 ? product.substr(10) : product},
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber", number},
        {HKEY_LOCAL_MACHINE, kCurrentVersion, "SystemRoot", windows},
    };
    if (version.platformId == VER_PLATFORM_WIN32_NT) {
        entries.push_back({HKEY_LOCAL_MACHINE, kNtCurrentVersion, "ProductName", product});
        entries.push_back({HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentVersion", versionText});
        entries.push_back({HKEY_LOCAL_MACHINE, kNtCurrentVersion, "CurrentBuildNumber",
                           std::to_string(version.buildNumber)});
        entries.push_back({HKEY_LOCAL_MACHINE, kNtCurrentVersion, "SystemRoot", windows});
    }
    for (const sysroot::FolderDef &def : sysroot::folderDefs()) {
        std::string host = sysroot::folderHostPath(def, version);
        if (def.shellFolderName && !host.empty())
            entries.push_back({def.common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFolders,
                               def.shellFolderName, hostToWindowsPath(host)});
    }
    for (const Entry &e : entries)
        if (DWORD err = setDefault(e.root, e.key, e.name, e.text))
            return err;
    // The file classes view must exist even before anything registers a class.
    HKEY classes = nullptr;
    DWORD err = static_cast<DWORD>(regCreateKey(HKEY_LOCAL_MACHINE, "Software\\Classes", &classes));
    if (!err)
        regCloseKey(classes);
    return err;
}

DWORD makeFolders(const std::string &root, const OsVersionInfo &version)
{
    std::error_code ec;
    fs::create_directories(root + "/Temp", ec);
    for (const sysroot::FolderDef &def : sysroot::folderDefs()) {
        std::string host = sysroot::folderHostPath(def, version);
        if (!ec && def.madeWithRoot && !host.empty())
            fs::create_directories(host, ec);
    }
    return ec ? errorFromErrno(ec.value()) : ERROR_SUCCESS;
}

DWORD initialise(const std::string &root)
{
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec)
        return errorFromErrno(ec.value());
    if (fs::exists(root + "/" + kMarker, ec))
        return ERROR_SUCCESS;
    // Two processes starting on an empty root: the second waits here and then
    // finds the marker.
    int fd = ::open((root + "/" + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return errorFromErrno(errno);
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            DWORD err = errorFromErrno(errno);
            ::close(fd);
            return err;
        }
    }
    DWORD err = ERROR_SUCCESS;
    if (!fs::exists(root + "/" + kMarker, ec)) {
        OsVersionInfo version = getVersion();
        err = makeFolders(root, version);
        if (!err)
            err = writeRegistryDefaults(version);
        if (!err) {
            std::string marker = root + "/" + kMarker;
            std::FILE *f = std::fopen((marker + ".tmp").c_str(), "w");
            bool written = f && std::fputs("1\n", f) >= 0;
            if (f && std::fclose(f) != 0)
                written = false;
            if (!written)
                err = errorFromErrno(errno);
            else if (std::rename((marker + ".tmp").c_str(), marker.c_str()) != 0)
                err = errorFromErrno(errno);
        }
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return err;
}

} // namespace

bool initSystemRoot()
{
    // The defaults are written through the registry, which asks for the root again.
    thread_local bool t_initialising = false;
    if (t_initialising)
        return true;
    static std::mutex mutex;
    static std::set<std::string> done;
    std::string root = systemRootHostDir();
    std::lock_guard<std::mutex> lock(mutex);
    if (done.count(root))
        return true;
    // Callers see their own last error untouched when all went well.
    DWORD saved = getLastError();
    t_initialising = true;
    DWORD err = initialise(root);
    t_initialising = false;
    if (err) {
        setLastError(err);
        return false;
    }
    setLastError(saved);
    done.insert(root);
    return true;
}

} // namespace plat
