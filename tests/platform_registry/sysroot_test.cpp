// System root initialisation, the reported Windows version and the special
// folders, under the old (95 family) and new (NT family) rules.

#include "platform/shellfolders.h"
#include "platform/sysroot.h"
#include "regtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace plat;
namespace fs = std::filesystem;

namespace {

class PlatformRegistrySysRoot : public regtest::FreshRoot {
protected:
    std::string windowsPath(const std::string &relative)
    {
        std::string out = "C:" + root() + "/" + relative;
        for (char &c : out)
            if (c == '/')
                c = '\\';
        return out;
    }
};

const char *const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char *const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TEST_F(PlatformRegistrySysRoot, FirstUseMakesFoldersAndDefaultsOnce)
{
    ASSERT_FALSE(fs::exists(root()));
    ASSERT_TRUE(initSystemRoot());
    for (const char *folder : {"Windows", "Start Menu", "Start Menu/Programs", "Desktop",
                               "Program Files", "Temp", "My Documents", "Application Data"})
        EXPECT_TRUE(fs::is_directory(root() + "/" + folder)) << folder;
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"),
              windowsPath("Program Files"));
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName"),
              "Microsoft Windows XP");
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, kShellFolders, "Programs"),
              windowsPath("Start Menu/Programs"));
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, kShellFolders, "Desktop"),
              windowsPath("Desktop"));
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs"),
              windowsPath("All Users/Start Menu/Programs"));

    // A changed default stays changed: neither this process nor the next one
    // initialises the root again.
    HKEY key = nullptr;
    ASSERT_EQ(regOpenKey(HKEY_LOCAL_MACHINE, kCurrentVersion, &key), ERROR_SUCCESS);
    const char other[] = "D:\\Apps";
    ASSERT_EQ(regSetValueEx(key, "ProgramFilesDir", REG_SZ, reinterpret_cast<const BYTE *>(other),
                            sizeof other),
              ERROR_SUCCESS);
    regCloseKey(key);
    fs::remove(root() + "/Temp");
    EXPECT_TRUE(initSystemRoot());
    regtest::ToolResult tool = regtest::runTool({"init"});
    EXPECT_EQ(tool.exitCode, 0) << tool.err;
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"), other);
    EXPECT_FALSE(fs::exists(root() + "/Temp"));
}

TEST_F(PlatformRegistrySysRoot, TwoProcessesStartingOnAnEmptyRootBothSucceed)
{
    // Both start before either has finished: the second must wait, not fail or
    // initialise twice.
    std::vector<regtest::ToolResult> results = regtest::runToolsTogether({{"init"}, {"init"}});
    for (const regtest::ToolResult &r : results)
        EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(root() + "/.initialised"));
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir"),
              windowsPath("Program Files"));
}

struct VersionCase {
    const char *env; // null: unset
    DWORD major, minor, build, platform;
};

TEST_F(PlatformRegistrySysRoot, VersionComesFromTheEnvironment)
{
    const VersionCase cases[] = {
        {nullptr, 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"4.0", 4, 0, 950, VER_PLATFORM_WIN32_WINDOWS},
        {"4.10", 4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS},
        {"4.90", 4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS},
        {"5.0", 5, 0, 2195, VER_PLATFORM_WIN32_NT},
        {"5.1", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"6.0.6002", 6, 0, 6002, VER_PLATFORM_WIN32_NT},
        {"", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"xp", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"5", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"4.0beta", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"3.11", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
        {"99999999.1", 5, 1, 2600, VER_PLATFORM_WIN32_NT},
    };
    for (const VersionCase &c : cases) {
        if (c.env)
            setenv("BRX_WINVER", c.env, 1);
        else
            unsetenv("BRX_WINVER");
        OsVersionInfo v = getVersion();
        const char *label = c.env ? c.env : "(unset)";
        EXPECT_EQ(v.majorVersion, c.major) << label;
        EXPECT_EQ(v.minorVersion, c.minor) << label;
        EXPECT_EQ(v.buildNumber, c.build) << label;
        EXPECT_EQ(v.platformId, c.platform) << label;
    }
}

TEST_F(PlatformRegistrySysRoot, The95FamilyHasNoAllUsersFoldersAndOldDefaults)
{
    setenv("BRX_WINVER", "4.10", 1);
    ASSERT_TRUE(initSystemRoot());
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProductName"),
              "Microsoft Windows 98");
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, kCurrentVersion, "VersionNumber"),
              "4.10.1998");
    HKEY key = nullptr;
    EXPECT_EQ(
        regOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT", 0, KEY_READ, &key),
        ERROR_FILE_NOT_FOUND);
    bool found = true;
    regtest::readString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", &found);
    EXPECT_FALSE(found);

    char path[kMaxPath] = "x";
    setLastError(0);
    EXPECT_FALSE(getSpecialFolderPath(CSIDL_COMMON_PROGRAMS, path, 1));
    EXPECT_EQ(getLastError(), DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_STREQ(path, "");
    ASSERT_TRUE(getSpecialFolderPath(CSIDL_SYSTEM, path, 1));
    EXPECT_EQ(std::string(path), windowsPath("Windows/System"));

    setenv("BRX_WINVER", "5.1", 1);
    ASSERT_TRUE(getSpecialFolderPath(CSIDL_COMMON_PROGRAMS, path, 1));
    EXPECT_EQ(std::string(path), windowsPath("All Users/Start Menu/Programs"));
    ASSERT_TRUE(getSpecialFolderPath(CSIDL_SYSTEM, path, 1));
    EXPECT_EQ(std::string(path), windowsPath("Windows/System32"));
}

struct FolderCase {
    int csidl;
    const char *relative; // null: no path
    DWORD error;
};

TEST_F(PlatformRegistrySysRoot, SpecialFoldersByNumber)
{
    const FolderCase cases[] = {
        {CSIDL_DESKTOP, "Desktop", 0},
        {CSIDL_DESKTOPDIRECTORY, "Desktop", 0},
        {CSIDL_PROGRAMS, "Start Menu/Programs", 0},
        {CSIDL_STARTMENU, "Start Menu", 0},
        {CSIDL_PERSONAL, "My Documents", 0},
        {CSIDL_APPDATA, "Application Data", 0},
        {CSIDL_PROGRAM_FILES, "Program Files", 0},
        {CSIDL_WINDOWS, "Windows", 0},
        {CSIDL_DRIVES, nullptr, ERROR_INVALID_PARAMETER},
        {CSIDL_NETWORK, nullptr, ERROR_INVALID_PARAMETER},
        {CSIDL_BITBUCKET, nullptr, ERROR_INVALID_PARAMETER},
        {0x7f, nullptr, ERROR_INVALID_PARAMETER},
        {CSIDL_FAVORITES, nullptr, ERROR_FILE_NOT_FOUND}, // not there, not created
    };
    for (const FolderCase &c : cases) {
        char path[kMaxPath];
        setLastError(0xdeadbeef);
        BOOL ok = getSpecialFolderPath(c.csidl, path, 0);
        EXPECT_EQ(ok != 0, c.relative != nullptr) << c.csidl;
        EXPECT_EQ(getLastError(), c.relative ? 0xdeadbeef : c.error) << c.csidl;
        if (c.relative) {
            EXPECT_EQ(std::string(path), windowsPath(c.relative)) << c.csidl;
        }
    }
    char path[kMaxPath];
    ASSERT_TRUE(getSpecialFolderPath(CSIDL_TEMPLATES | CSIDL_FLAG_CREATE, path, 0));
    EXPECT_EQ(std::string(path), windowsPath("Templates"));
    EXPECT_TRUE(fs::is_directory(root() + "/Templates"));
    EXPECT_FALSE(getSpecialFolderPath(CSIDL_DESKTOP, nullptr, 0));
}

TEST_F(PlatformRegistrySysRoot, WindowsDirectoryFollowsTheBufferProtocol)
{
    std::string expected = windowsPath("Windows");
    char small[4] = "abc";
    EXPECT_EQ(getWindowsDirectory(small, sizeof small), expected.size() + 1);
    EXPECT_STREQ(small, "abc");
    char path[kMaxPath];
    EXPECT_EQ(getWindowsDirectory(path, sizeof path), expected.size());
    EXPECT_EQ(std::string(path), expected);
}

} // namespace
