#include "files_fixture.h"
#include "platform/file.h"

#include <sys/stat.h>
#include <vector>

using namespace plat;
using namespace filestest;

TEST(PlatFilesWildcards, WindowsMatchingRules)
{
    struct Case {
        const char *pattern, *name;
        bool match;
    };
    const Case cases[] = {
        {"*", "README", true},
        {"*.*", "README", true}, // also names without a dot
        {"*.*", "a.b.c", true},
        {"*.*", "..", true},
        {"*.", "README", true}, // only names without an extension
        {"*.", "a.txt", false},
        {"*.txt", "A.TXT", true}, // case-insensitive
        {"*.txt", "a.txt.bak", false},
        {"*.TXT", "archive.txt", true},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"???.txt", "a.txt", true}, // `?` matches nothing before a dot
        {"a?", "a", true},          // ... and at the end
        {"a?b", "a.b", false},      // but never the dot itself
        {"a*b", "aXYb", true},
        {"a*b", "aXYc", false},
        {"DATA?.ZIP", "data1.zip", true},
        {"*.zip", "x.zip.", false},
        {"\xC3\x84*.txt", "\xC3\xA4rger.TXT", true}, // non-ASCII case folding
        {"name", "NAME", true},
        {"name", "name2", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matchesWildcard(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

namespace {

std::vector<std::string> listAll(const std::string &pattern, DWORD *firstError)
{
    std::vector<std::string> names;
    WIN32_FIND_DATA fd;
    setLastError(kSentinel);
    HANDLE h = findFirstFile(pattern.c_str(), &fd);
    *firstError = getLastError();
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.emplace_back(fd.cFileName);
    while (findNextFile(h, &fd));
    EXPECT_EQ(getLastError(), DWORD(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(findClose(h));
    return names;
}

using Names = std::vector<std::string>;

} // namespace

class PlatFilesFindFiles : public DriveTableTest {};

TEST_F(PlatFilesFindFiles, SearchesFolders)
{
    auto dir = makeScratch("find");
    writeHost(dir.host + "/b.TXT", "12345");
    writeHost(dir.host + "/a.txt", "1");
    writeHost(dir.host + "/README", "");
    writeHost(dir.host + "/weird:name", ""); // not addressable from Windows
    ::mkdir((dir.host + "/Sub").c_str(), 0777);

    struct Case {
        std::string pattern;
        Names names;
        DWORD error;
    };
    const Case cases[] = {
        {dir.win + "\\*.*", {".", "..", "a.txt", "b.TXT", "README", "Sub"}, kSentinel},
        {dir.win + "\\*", {".", "..", "a.txt", "b.TXT", "README", "Sub"}, kSentinel},
        {dir.win + "\\*.txt", {"a.txt", "b.TXT"}, kSentinel},
        {dir.win + "\\?.TXT", {"a.txt", "b.TXT"}, kSentinel},
        {dir.win + "\\*.", {".", "..", "README", "Sub"}, kSentinel},
        {dir.win + "\\readme", {"README"}, kSentinel},
        {dir.win + "\\*.zip", {}, ERROR_FILE_NOT_FOUND},
        {dir.win + "\\nofolder\\*.*", {}, ERROR_PATH_NOT_FOUND},
        {dir.win + "\\", {}, ERROR_FILE_NOT_FOUND},
    };
    for (const Case &c : cases) {
        DWORD error = 0;
        EXPECT_EQ(listAll(c.pattern, &error), c.names) << c.pattern;
        EXPECT_EQ(error, c.error) << c.pattern;
    }

    WIN32_FIND_DATA fd;
    HANDLE h = findFirstFile((dir.win + "\\B.txt").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.nFileSizeLow, 5u);
    EXPECT_EQ(fd.nFileSizeHigh, 0u);
    EXPECT_STREQ(fd.cAlternateFileName, "");
    setLastError(kSentinel);
    EXPECT_FALSE(closeHandle(h)); // searches end with findClose only
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(findClose(h));
    setLastError(kSentinel);
    EXPECT_FALSE(findClose(h));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_HANDLE));
    h = findFirstFile((dir.win + "\\sub").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.dwFileAttributes, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    findClose(h);

    // A drive root reports no "." and "..".
    ASSERT_TRUE(setDriveTable("A=removable:1457664:" + dir.host + "/Sub"));
    writeHost(dir.host + "/Sub/disk.zip", "");
    DWORD error = 0;
    EXPECT_EQ(listAll("A:\\*.*", &error), Names{"disk.zip"});
}
