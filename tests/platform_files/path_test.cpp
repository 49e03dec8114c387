#include "files_fixture.h"
#include "platform/file.h"
#include "platform/path.h"

#include <sys/stat.h>

using namespace plat;
using namespace filestest;

TEST(PlatFilesPathText, RootsFollowTheWindowsRules)
{
    struct Case {
        const char *path;
        bool root;
        std::size_t rootLength;
    };
    const Case cases[] = {
        {"C:\\", true, 3},
        {"c:/", true, 3},
        {"\\", true, 1},
        {"\\\\server\\share", true, 14},
        {"\\\\server", true, 8},
        {"\\\\server\\share\\", false, 15}, // a second backslash after the leading two
        {"\\\\server\\share\\dir", false, 15},
        {"C:", false, 2},
        {"C:\\a", false, 3},
        {"C:a", false, 2},
        {"\\a", false, 1},
        {"a\\b", false, 0},
        {"", false, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isPathRoot(c.path), c.root) << c.path;
        EXPECT_EQ(pathRootLength(c.path), c.rootLength) << c.path;
    }
}

TEST(PlatFilesPathText, JoinAndSplit)
{
    struct Join {
        const char *folder, *name, *joined;
    };
    const Join joins[] = {
        {"C:\\a", "b.txt", "C:\\a\\b.txt"},
        {"C:\\a\\", "b.txt", "C:\\a\\b.txt"},
        {"C:\\", "b", "C:\\b"},
        {"C:", "b", "C:b"},
        {"C:\\a", "D:\\x", "D:\\x"},
        {"C:\\a", "\\x", "\\x"},
        {"", "b", "b"},
        {"C:\\a", "", "C:\\a"},
    };
    for (const Join &j : joins)
        EXPECT_EQ(joinPath(j.folder, j.name), j.joined) << j.folder << " + " << j.name;

    struct Split {
        const char *path, *folder, *name, *ext;
    };
    const Split splits[] = {
        {"C:\\a\\b.txt", "C:\\a", "b.txt", ".txt"},
        {"C:\\b.tar.gz", "C:\\", "b.tar.gz", ".gz"},
        {"C:\\dir.x\\README", "C:\\dir.x", "README", ""},
        {"b.txt", "", "b.txt", ".txt"},
        {"C:b.txt", "C:", "b.txt", ".txt"},
        {"\\\\srv\\share\\f.zip", "\\\\srv\\share\\", "f.zip", ".zip"},
        {"C:\\a\\", "C:\\a", "", ""},
    };
    for (const Split &s : splits) {
        EXPECT_EQ(pathFolder(s.path), s.folder) << s.path;
        EXPECT_EQ(pathFileName(s.path), s.name) << s.path;
        EXPECT_EQ(pathExtension(s.path), s.ext) << s.path;
    }
    EXPECT_EQ(removeExtension("C:\\a.b\\c.txt"), "C:\\a.b\\c");
    EXPECT_EQ(addBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(removeBackslash("C:\\a\\"), "C:\\a");
    EXPECT_EQ(removeBackslash("C:\\"), "C:\\");
}

TEST(PlatFilesPathText, NormalizeAndFullPath)
{
    auto dir = makeScratch("fullpath");
    ASSERT_TRUE(setCurrentDirectoryPath(dir.win));
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:/a//b/", "C:\\a\\b\\"},
        {"C:\\..\\a", "C:\\a"},      // never above the root
        {"C:\\a\\b. .", "C:\\a\\b"}, // trailing dots and blanks of the last name go
        {"C:\\a.\\b", "C:\\a\\b"},   // one period ending any name goes
        {"C:\\a...\\b", "C:\\a...\\b"},
        {"\\x\\y", "C:\\x\\y"},
        {"rel\\y", dir.win + "\\rel\\y"},
        {"..\\up", pathFolder(dir.win) + "\\up"},
        {"E:rel", "E:\\rel"},
        {"\\\\srv\\share\\x\\..\\y", "\\\\srv\\share\\y"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fullPathName(c.in), c.out) << c.in;
    EXPECT_EQ(normalizePath("a\\..\\..\\b"), "..\\b");

    setLastError(kSentinel);
    EXPECT_EQ(fullPathName(""), "");
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_NAME));

    char buf[kMaxPath];
    char *filePart = nullptr;
    DWORD n = getFullPathName("sub\\file.txt", sizeof buf, buf, &filePart);
    std::string expected = dir.win + "\\sub\\file.txt";
    ASSERT_EQ(n, expected.size());
    EXPECT_EQ(std::string(buf), expected);
    ASSERT_NE(filePart, nullptr);
    EXPECT_STREQ(filePart, "file.txt");
    EXPECT_EQ(getFullPathName("sub\\file.txt", 4, buf, nullptr), expected.size() + 1);
    ASSERT_TRUE(setCurrentDirectoryPath("C:\\"));
}

TEST(PlatFilesPathText, CurrentDirectoryMustExist)
{
    auto dir = makeScratch("cwd");
    setLastError(kSentinel);
    EXPECT_FALSE(setCurrentDirectory((dir.win + "\\missing\\deeper").c_str()));
    EXPECT_EQ(getLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    writeHost(dir.host + "/file", "x");
    EXPECT_FALSE(setCurrentDirectory((dir.win + "\\FILE").c_str()));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DIRECTORY));
    EXPECT_TRUE(setCurrentDirectory(dir.win.c_str()));
    char buf[kMaxPath];
    EXPECT_EQ(getCurrentDirectory(sizeof buf, buf), dir.win.size());
    EXPECT_EQ(std::string(buf), dir.win);
    EXPECT_TRUE(setCurrentDirectory("C:\\"));
}

class PlatFilesPathConversion : public DriveTableTest {};

TEST_F(PlatFilesPathConversion, BothWaysThroughTheDriveTable)
{
    auto floppy = makeScratch("conv-floppy");
    ASSERT_TRUE(setDriveTable("A=removable:1457664:" + floppy.host + ";D=cdrom::"));

    EXPECT_EQ(hostToWindowsPath("/usr/share/doc"), "C:\\usr\\share\\doc");
    EXPECT_EQ(hostToWindowsPath("/"), "C:\\");
    // The drive whose folder holds the path most closely wins over C: = /.
    EXPECT_EQ(hostToWindowsPath(floppy.host + "/DISK1/a.zip"), "A:\\DISK1\\a.zip");
    EXPECT_EQ(hostToWindowsPath(floppy.host), "A:\\");
    EXPECT_EQ(hostToWindowsPath(floppy.host + "/x/../y"), "A:\\y");

    EXPECT_EQ(windowsToHostPath("A:\\new\\f.txt"), floppy.host + "/new/f.txt");
    EXPECT_EQ(windowsToHostPath("c:/usr"), "/usr");

    struct Bad {
        const char *path;
        DWORD error;
    };
    const Bad bad[] = {
        {"Q:\\x", ERROR_PATH_NOT_FOUND}, // no such drive
        {"D:\\x", ERROR_NOT_READY},      // CD-ROM drive without a medium
        {"\\\\server\\share\\x", ERROR_BAD_NETPATH},
        {"C:\\a|b", ERROR_INVALID_NAME},
        {"C:\\a\\b:c", ERROR_INVALID_NAME},
        {"C:\\what?", ERROR_INVALID_NAME},
    };
    for (const Bad &b : bad) {
        setLastError(kSentinel);
        EXPECT_EQ(windowsToHostPath(b.path), std::nullopt) << b.path;
        EXPECT_EQ(getLastError(), b.error) << b.path;
    }

    // With C: pointing elsewhere, a host path under no drive's folder has no
    // Windows name.
    ASSERT_TRUE(setDriveTable("C=fixed::" + floppy.host));
    setLastError(kSentinel);
    EXPECT_EQ(hostToWindowsPath("/usr"), std::nullopt);
    EXPECT_EQ(getLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(PlatFilesPathLookup, ExistingNamesMatchIgnoringCase)
{
    auto dir = makeScratch("lookup");
    ASSERT_EQ(::mkdir((dir.host + "/x").c_str(), 0777), 0);
    writeHost(dir.host + "/x/BrindleX.exe", "program");

    std::string upper = dir.win + "\\X\\BRINDLEX.EXE";
    EXPECT_EQ(windowsToHostPath(upper), dir.host + "/x/BrindleX.exe");
    // Missing parts keep the case given, below the existing ones found.
    EXPECT_EQ(windowsToHostPath(dir.win + "\\X\\NewDir\\New.TXT"), dir.host + "/x/NewDir/New.TXT");

    // Opening by another case reaches the same file; creating keeps the case.
    HANDLE h = createFile(upper.c_str(), GENERIC_READ, 0, OPEN_EXISTING, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(readFile(h, buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "program");
    EXPECT_TRUE(closeHandle(h));

    h = createFile((dir.win + "\\x\\ReadMe.Txt").c_str(), GENERIC_WRITE, 0, CREATE_NEW, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(closeHandle(h));
    struct stat st;
    EXPECT_EQ(::stat((dir.host + "/x/ReadMe.Txt").c_str(), &st), 0);

    // CREATE_ALWAYS by another case replaces the existing file, no twin appears.
    h = createFile((dir.win + "\\X\\brindlex.EXE").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(closeHandle(h));
    EXPECT_EQ(readHost(dir.host + "/x/BrindleX.exe"), "");
    EXPECT_NE(::stat((dir.host + "/x/brindlex.EXE").c_str(), &st), 0);
}
