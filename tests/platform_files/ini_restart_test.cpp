#include "files_fixture.h"
#include "platform/file.h"
#include "platform/ini.h"
#include "platform/restart.h"

#include <cstring>
#include <sys/stat.h>

using namespace plat;
using namespace filestest;

namespace {

bool hostExists(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string profileString(const char *section, const char *key, const char *def, const char *file,
                          DWORD size = 256)
{
    char buf[256] = {};
    DWORD n = getPrivateProfileString(section, key, def, buf, size, file);
    return std::string(buf, n);
}

} // namespace

TEST(PlatFilesIniFiles, ReadWriteAndKeepTheRest)
{
    std::string file = hostWindowsFolder() + "/TEST.INI";
    writeHost(file, "; setup notes\r\n[Main]\r\nName = \"Brindle Dovozoz\" \r\nCount=12abc\r\n"
                    "\r\n[Other]\nkey=value\n");

    // A bare name lives in the Windows folder; names are case-insensitive.
    EXPECT_EQ(profileString("main", "NAME", "", "TEST.INI"), "Brindle Dovozoz");
    EXPECT_EQ(profileString("Main", "missing", "fallback  ", "test.ini"), "fallback");
    EXPECT_EQ(profileString("None", "x", "d", "TEST.INI"), "d");
    EXPECT_EQ(profileString("Main", "Name", "", "TEST.INI", 6), "Brind"); // truncated
    EXPECT_EQ(getPrivateProfileInt("Main", "Count", 5, "TEST.INI"), 12u);
    EXPECT_EQ(getPrivateProfileInt("Main", "Name", 5, "TEST.INI"), 0u);
    EXPECT_EQ(getPrivateProfileInt("Main", "Missing", 5, "TEST.INI"), 5u);

    char list[64];
    DWORD n = getPrivateProfileString(nullptr, nullptr, "", list, sizeof list, "TEST.INI");
    EXPECT_EQ(std::string(list, n), std::string("Main\0Other\0", 11));
    n = getPrivateProfileString("Main", nullptr, "", list, sizeof list, "TEST.INI");
    EXPECT_EQ(std::string(list, n), std::string("Name\0Count\0", 11));
    n = getPrivateProfileSection("other", list, sizeof list, "TEST.INI");
    EXPECT_EQ(std::string(list, n), std::string("key=value\0", 10));

    ASSERT_TRUE(writePrivateProfileString("Main", "count", "7", "TEST.INI"));
    ASSERT_TRUE(writePrivateProfileString("New", "A", "1", "TEST.INI"));
    ASSERT_TRUE(writePrivateProfileString("Other", nullptr, nullptr, "TEST.INI"));
    ASSERT_TRUE(writePrivateProfileString("Main", "Name", nullptr, "TEST.INI"));
    EXPECT_EQ(readHost(file), "; setup notes\r\n[Main]\r\ncount=7\r\n\r\n[New]\r\nA=1\r\n");

    // Paths with a folder are taken as Windows paths.
    auto dir = makeScratch("ini");
    std::string other = dir.win + "\\Setup.ini";
    const char lines[] = "Group=Brindle Dovozoz\0Icons=4\0";
    ASSERT_TRUE(writePrivateProfileSection("Setup", lines, other.c_str()));
    EXPECT_EQ(profileString("SETUP", "icons", "", other.c_str()), "4");
    setLastError(kSentinel);
    EXPECT_FALSE(writePrivateProfileString("S", "k", "v", (dir.win + "\\no\\x.ini").c_str()));
    EXPECT_EQ(getLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(PlatFilesRestart, PendingOperationsRunAtTheNextStart)
{
    auto dir = makeScratch("restart");
    writeHost(dir.host + "/new.dll", "new version");
    writeHost(dir.host + "/old.dll", "old version");
    writeHost(dir.host + "/leftover.txt", "bye");
    ::mkdir((dir.host + "/emptydir").c_str(), 0777);
    std::string wininit = hostWindowsFolder() + "/WININIT.INI";
    // An existing [rename] section from another installer is extended.
    writeHost(wininit, "[rename]\r\nNUL=" + dir.win + "\\emptydir\r\n");

    std::string newDll = dir.win + "\\new.dll", oldDll = dir.win + "\\old.dll";
    std::string leftover = dir.win + "\\leftover.txt";
    ASSERT_TRUE(setFileAttributes(oldDll.c_str(), FILE_ATTRIBUTE_READONLY));
    setLastError(kSentinel);
    ASSERT_TRUE(moveFileEx(newDll.c_str(), oldDll.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(moveFileEx(leftover.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(moveFileEx((dir.win + "\\missing.dll").c_str(), (dir.win + "\\m2.dll").c_str(),
                           MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(getLastError(), kSentinel);
    EXPECT_FALSE(moveFileEx(newDll.c_str(), oldDll.c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(readHost(wininit), "[rename]\r\nNUL=" + dir.win + "\\emptydir\r\n" + oldDll + "=" +
                                     newDll + "\r\nNUL=" + leftover + "\r\n" + dir.win +
                                     "\\m2.dll=" + dir.win + "\\missing.dll\r\n");

    // Nothing happens before a restart was requested.
    DWORD done = 9, failed = 9;
    EXPECT_TRUE(completeRestart(&done, &failed));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(failed, 0u);
    EXPECT_TRUE(hostExists(dir.host + "/leftover.txt"));

    ASSERT_TRUE(requestRestart());
    EXPECT_TRUE(isRestartRequested());
    setLastError(kSentinel);
    EXPECT_FALSE(completeRestart(&done, &failed)); // the missing source fails alone
    EXPECT_EQ(getLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(failed, 1u);
    EXPECT_EQ(readHost(dir.host + "/old.dll"), "new version");
    EXPECT_FALSE(hostExists(dir.host + "/new.dll"));
    EXPECT_FALSE(hostExists(dir.host + "/leftover.txt"));
    EXPECT_FALSE(hostExists(dir.host + "/emptydir"));
    EXPECT_FALSE(hostExists(wininit));
    EXPECT_TRUE(hostExists(hostWindowsFolder() + "/WININIT.BAK"));
    EXPECT_FALSE(isRestartRequested());
}

TEST(PlatFilesRestart, StartPlatformRunsOncePerProcess)
{
    auto dir = makeScratch("start");
    writeHost(dir.host + "/first.txt", "1");
    writeHost(dir.host + "/second.txt", "2");
    ASSERT_TRUE(
        moveFileEx((dir.win + "\\first.txt").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    startPlatform(); // no restart requested: the operation stays pending
    EXPECT_TRUE(hostExists(dir.host + "/first.txt"));
    ASSERT_TRUE(requestRestart());
    startPlatform(); // already started in this process
    EXPECT_TRUE(hostExists(dir.host + "/first.txt"));
    EXPECT_TRUE(isRestartRequested());
    DWORD done = 0, failed = 0;
    EXPECT_TRUE(completeRestart(&done, &failed));
    EXPECT_EQ(done, 1u);
    EXPECT_FALSE(hostExists(dir.host + "/first.txt"));
    EXPECT_TRUE(hostExists(dir.host + "/second.txt"));
}
