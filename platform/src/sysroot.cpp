#include "platform/sysroot.h"

#include "platform/errors.h"
#include "sysroot_internal.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace plat {

std::string systemRootHostDir()
{
    if (const char *root = std::getenv("BRX_ROOT"); root && *root)
        return root;
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = "/tmp";
    return base + "/brindle-dovozoz/root";
}

std::string systemRootSubdir(const char *name)
{
    std::string dir = systemRootHostDir() + "/" + name;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string windowsDirHostPath()
{
    return systemRootHostDir() + "/Windows";
}

DWORD getWindowsDirectory(char *buffer, DWORD size)
{
    initSystemRoot();
    std::string path = sysroot::hostToWindowsPath(windowsDirHostPath());
    if (!buffer || size <= path.size())
        return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

namespace {

struct KnownVersion {
    DWORD major, minor, build;
    const char *name;
};

const KnownVersion kKnownVersions[] = {
    {4, 0, 950, "Microsoft Windows 95"},   {4, 10, 1998, "Microsoft Windows 98"},
    {4, 90, 3000, "Microsoft Windows Me"}, {5, 0, 2195, "Microsoft Windows 2000"},
    {5, 1, 2600, "Microsoft Windows XP"},  {5, 2, 3790, "Microsoft Windows Server 2003"},
    {6, 0, 6000, "Windows Vista"},
};

// Reads one decimal number of at most five digits; false when there is none.
bool readNumber(const char *&p, DWORD &out)
{
    if (*p < '0' || *p > '9')
        return false;
    out = 0;
    for (int digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits == 5)
            return false;
        out = out * 10 + static_cast<DWORD>(*p - '0');
    }
    return true;
}

} // namespace

OsVersionInfo getVersion()
{
    OsVersionInfo info; // 5.1.2600, NT family
    const char *text = std::getenv("BRX_WINVER");
    if (!text || !*text)
        return info;
    const char *p = text;
    DWORD major = 0, minor = 0, build = 0;
    if (!readNumber(p, major) || *p++ != '.' || !readNumber(p, minor))
        return info;
    bool haveBuild = false;
    if (*p == '.') {
        ++p;
        if (!readNumber(p, build))
            return info;
        haveBuild = true;
    }
    if (*p != '\0' || major < 4)
        return info;
    info.majorVersion = major;
    info.minorVersion = minor;
    info.platformId = major < 5 ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    info.buildNumber = 0;
    for (const KnownVersion &known : kKnownVersions)
        if (known.major == major && known.minor == minor)
            info.buildNumber = known.build;
    if (haveBuild)
        info.buildNumber = build;
    return info;
}

std::string windowsProductName(const OsVersionInfo &version)
{
    for (const KnownVersion &known : kKnownVersions)
        if (known.major == version.majorVersion && known.minor == version.minorVersion)
            return known.name;
    return "Microsoft Windows";
}

namespace sysroot {

std::string hostToWindowsPath(const std::string &host)
{
    std::string out = "C:";
    if (host.empty() || host.front() != '/')
        out += '\\';
    for (char c : host)
        out += c == '/' ? '\\' : c;
    if (out.size() > 3 && out.back() == '\\')
        out.pop_back();
    return out;
}

} // namespace sysroot

} // namespace plat
