#include "platform/sysroot.h"

#include <cstdlib>
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

} // namespace plat
