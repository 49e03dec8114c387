#include "files_fixture.h"
#include "platform/file.h"

#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace plat;
using namespace filestest;

namespace {

bool hostExists(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

mode_t hostMode(const std::string &path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(PlatFilesFileOpen, CreationDispositions)
{
    struct Case {
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD error; // kSentinel: left untouched
        bool truncated;
    };
    const Case cases[] = {
        {CREATE_NEW, false, true, kSentinel, false},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, false},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, false},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, true},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, false},
        {OPEN_EXISTING, true, true, kSentinel, false},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, false},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, false},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, false},
        {TRUNCATE_EXISTING, true, true, kSentinel, true},
    };
    auto dir = makeScratch("dispositions");
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "disposition " << c.disposition << " exists " << c.exists);
        std::string host = dir.host + "/f.txt";
        ::unlink(host.c_str());
        if (c.exists)
            writeHost(host, "old data");
        setLastError(kSentinel);
        HANDLE h = createFile((dir.win + "\\F.TXT").c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ, c.disposition, FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(getLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(closeHandle(h));
        }
        if (c.exists)
            EXPECT_EQ(readHost(host), c.truncated ? "" : "old data");
        else
            EXPECT_EQ(hostExists(host) || hostExists(dir.host + "/F.TXT"), c.opens);
        ::unlink((dir.host + "/F.TXT").c_str());
    }
}

TEST(PlatFilesFileOpen, RefusedOpens)
{
    auto dir = makeScratch("refused");
    writeHost(dir.host + "/ro.txt", "keep");
    ASSERT_TRUE(setFileAttributes((dir.win + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    writeHost(dir.host + "/hidden.txt", "h");
    ASSERT_TRUE(setFileAttributes((dir.win + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));

    struct Case {
        std::string path;
        DWORD access, disposition, flags, error;
    };
    const Case cases[] = {
        {dir.win + "\\missing\\f.txt", GENERIC_WRITE, CREATE_ALWAYS, 0, ERROR_PATH_NOT_FOUND},
        {dir.win, GENERIC_READ, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED}, // a folder
        {dir.win + "\\ro.txt", GENERIC_WRITE, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
        {dir.win + "\\ro.txt", GENERIC_WRITE, CREATE_ALWAYS, 0, ERROR_ACCESS_DENIED},
        {dir.win + "\\hidden.txt", GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
         ERROR_ACCESS_DENIED},
        {dir.win + "\\ro.txt", GENERIC_READ, TRUNCATE_EXISTING, 0, ERROR_INVALID_PARAMETER},
        {dir.win + "\\ro.txt", GENERIC_READ, 9, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        setLastError(kSentinel);
        EXPECT_EQ(createFile(c.path.c_str(), c.access, 0, c.disposition, c.flags),
                  INVALID_HANDLE_VALUE)
            << c.path;
        EXPECT_EQ(getLastError(), c.error) << c.path;
    }
    EXPECT_EQ(readHost(dir.host + "/ro.txt"), "keep");
    // Replacing a hidden file works when the caller asks for hidden again.
    HANDLE h = createFile((dir.win + "\\hidden.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_HIDDEN);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(closeHandle(h));
}

TEST(PlatFilesFileIo, ReadWriteSeekAndSize)
{
    auto dir = makeScratch("io");
    std::string path = dir.win + "\\data.bin";
    HANDLE h = createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(writeFile(h, "hello world", 11, &n));
    EXPECT_EQ(n, 11u);
    std::int64_t pos = -1;
    ASSERT_TRUE(setFilePointerEx(h, -5, &pos, FILE_END));
    EXPECT_EQ(pos, 6);
    char buf[16] = {};
    ASSERT_TRUE(readFile(h, buf, sizeof buf, &n));
    EXPECT_EQ(std::string(buf, n), "world");
    setLastError(kSentinel);
    EXPECT_TRUE(readFile(h, buf, sizeof buf, &n)); // end of file: success, nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(getLastError(), kSentinel);

    setLastError(kSentinel);
    EXPECT_FALSE(setFilePointerEx(h, -1, nullptr, FILE_BEGIN));
    EXPECT_EQ(getLastError(), DWORD(ERROR_NEGATIVE_SEEK));
    setLastError(kSentinel);
    EXPECT_FALSE(setFilePointerEx(h, 0, nullptr, 7));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));

    // Beyond 4 GiB: the 64-bit pointer, the high half of the size, the 32-bit form.
    ASSERT_TRUE(setFilePointerEx(h, 0x100000001LL, nullptr, FILE_BEGIN));
    ASSERT_TRUE(setEndOfFile(h));
    DWORD high = 0;
    EXPECT_EQ(getFileSize(h, &high), 1u);
    EXPECT_EQ(high, 1u);
    LONG hi = -1; // with a high half, the move is the 64-bit value of both
    EXPECT_EQ(setFilePointer(h, -1, &hi, FILE_END), 0u);
    EXPECT_EQ(hi, 1);
    setLastError(kSentinel);
    EXPECT_EQ(setFilePointer(h, 0, nullptr, FILE_END), DWORD(INVALID_SET_FILE_POINTER));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(setFilePointerEx(h, 4, nullptr, FILE_BEGIN));
    ASSERT_TRUE(setEndOfFile(h));
    std::uint64_t size = 0;
    ASSERT_TRUE(getFileSizeEx(h, &size));
    EXPECT_EQ(size, 4u);
    EXPECT_TRUE(flushFileBuffers(h));
    EXPECT_TRUE(closeHandle(h));
    EXPECT_EQ(readHost(dir.host + "/data.bin"), "hell");

    // Access is checked per handle.
    h = createFile(path.c_str(), GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    setLastError(kSentinel);
    EXPECT_FALSE(readFile(h, buf, 1, &n));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(closeHandle(h));
    h = createFile(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING, 0);
    setLastError(kSentinel);
    EXPECT_FALSE(writeFile(h, "x", 1, &n));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(closeHandle(h));
}

TEST(PlatFilesFileIo, HandlesAreChecked)
{
    auto dir = makeScratch("handles");
    HANDLE h = createFile((dir.win + "\\f").c_str(), GENERIC_WRITE, 0, CREATE_NEW, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(closeHandle(h));
    HANDLE bad[] = {h, INVALID_HANDLE_VALUE, nullptr, reinterpret_cast<HANDLE>(0x1234567)};
    for (HANDLE b : bad) {
        DWORD n = 0;
        setLastError(kSentinel);
        EXPECT_FALSE(closeHandle(b));
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_HANDLE));
        setLastError(kSentinel);
        EXPECT_FALSE(writeFile(b, "x", 1, &n));
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
}

TEST(PlatFilesFileIo, DeleteOnClose)
{
    auto dir = makeScratch("delete-on-close");
    HANDLE h = createFile((dir.win + "\\scratch.tmp").c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                          FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(hostExists(dir.host + "/scratch.tmp"));
    EXPECT_TRUE(closeHandle(h));
    EXPECT_FALSE(hostExists(dir.host + "/scratch.tmp"));
}

TEST(PlatFilesFileAttributes, ReadOnlyIsThePermissionHiddenIsKept)
{
    auto dir = makeScratch("attributes");
    std::string path = dir.win + "\\a.txt";
    HANDLE h = createFile(path.c_str(), GENERIC_WRITE, 0, CREATE_NEW, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    closeHandle(h);
    EXPECT_EQ(getFileAttributes(path.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE)); // new files

    ASSERT_TRUE(setFileAttributes(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(hostMode(dir.host + "/a.txt") & 0222, 0u);
    EXPECT_EQ(getFileAttributes(path.c_str()),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    char stored[16] = {};
    EXPECT_GT(
        ::getxattr((dir.host + "/a.txt").c_str(), "user.brx.dosattrib", stored, sizeof stored), 0);
    setLastError(kSentinel);
    EXPECT_FALSE(deleteFile(path.c_str()));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));

    ASSERT_TRUE(setFileAttributes(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_NE(hostMode(dir.host + "/a.txt") & S_IWUSR, 0u);
    EXPECT_EQ(getFileAttributes(path.c_str()), DWORD(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(deleteFile(path.c_str()));

    // A folder's read-only mark does not stop creating files in it.
    ASSERT_TRUE(createDirectory((dir.win + "\\sub").c_str()));
    ASSERT_TRUE(setFileAttributes((dir.win + "\\sub").c_str(),
                                  FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(getFileAttributes((dir.win + "\\SUB").c_str()),
              DWORD(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_NE(hostMode(dir.host + "/sub") & S_IWUSR, 0u);

    setLastError(kSentinel);
    EXPECT_EQ(getFileAttributes((dir.win + "\\nothing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(getLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    setLastError(kSentinel);
    EXPECT_EQ(getFileAttributes((dir.win + "\\no\\thing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(getLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(PlatFilesFileTimes, SetAndGetThroughHandles)
{
    auto dir = makeScratch("times");
    std::string path = dir.win + "\\t.txt";
    writeHost(dir.host + "/t.txt", "x");
    FILETIME write, created;
    ASSERT_TRUE(dosDateTimeToFileTime(WORD((19 << 9) | (7 << 5) | 18), WORD((10 << 11) | (30 << 5)),
                                      &write)); // 1999-07-18 10:30:00
    ASSERT_TRUE(dosDateTimeToFileTime(WORD((5 << 9) | (1 << 5) | 2), 0, &created)); // 1985-01-02

    // FILE_WRITE_ATTRIBUTES is enough, even on a read-only file.
    ASSERT_TRUE(setFileAttributes(path.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE h = createFile(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, OPEN_EXISTING, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(setFileTime(h, &created, nullptr, &write));
    closeHandle(h);

    h = createFile(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING, 0);
    FILETIME c{}, a{}, w{};
    ASSERT_TRUE(getFileTime(h, &c, &a, &w));
    EXPECT_EQ(fileTimeToU64(w), fileTimeToU64(write));
    EXPECT_EQ(fileTimeToU64(c), fileTimeToU64(created));
    setLastError(kSentinel);
    EXPECT_FALSE(setFileTime(h, nullptr, nullptr, &write));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));
    closeHandle(h);

    WIN32_FIND_DATA fd;
    HANDLE s = findFirstFile(path.c_str(), &fd);
    ASSERT_NE(s, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fileTimeToU64(fd.ftLastWriteTime), fileTimeToU64(write));
    EXPECT_EQ(fileTimeToU64(fd.ftCreationTime), fileTimeToU64(created));
    findClose(s);
}

TEST(PlatFilesFileOps, DeleteMoveCopyAndFolders)
{
    auto dir = makeScratch("ops");
    writeHost(dir.host + "/a.txt", "alpha");
    writeHost(dir.host + "/b.txt", "beta");
    ::mkdir((dir.host + "/full").c_str(), 0777);
    writeHost(dir.host + "/full/x", "x");
    auto w = [&](const char *name) { return dir.win + "\\" + name; };

    struct Case {
        const char *what;
        std::function<BOOL()> call;
        DWORD error;
    };
    const Case failures[] = {
        {"delete missing", [&] { return deleteFile(w("none").c_str()); }, ERROR_FILE_NOT_FOUND},
        {"delete folder", [&] { return deleteFile(w("full").c_str()); }, ERROR_ACCESS_DENIED},
        {"move onto existing", [&] { return moveFile(w("a.txt").c_str(), w("B.TXT").c_str()); },
         ERROR_ALREADY_EXISTS},
        {"move missing", [&] { return moveFile(w("none").c_str(), w("n2").c_str()); },
         ERROR_FILE_NOT_FOUND},
        {"move into missing folder",
         [&] { return moveFile(w("a.txt").c_str(), w("no\\a.txt").c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"move without target", [&] { return moveFileEx(w("a.txt").c_str(), nullptr, 0); },
         ERROR_INVALID_PARAMETER},
        {"copy fail-if-exists",
         [&] { return copyFile(w("a.txt").c_str(), w("b.txt").c_str(), TRUE); }, ERROR_FILE_EXISTS},
        {"copy onto itself",
         [&] { return copyFile(w("a.txt").c_str(), w("A.TXT").c_str(), FALSE); },
         ERROR_SHARING_VIOLATION},
        {"copy a folder", [&] { return copyFile(w("full").c_str(), w("f2").c_str(), FALSE); },
         ERROR_ACCESS_DENIED},
        {"mkdir existing", [&] { return createDirectory(w("FULL").c_str()); },
         ERROR_ALREADY_EXISTS},
        {"mkdir deep", [&] { return createDirectory(w("p\\q").c_str()); }, ERROR_PATH_NOT_FOUND},
        {"rmdir not empty", [&] { return removeDirectory(w("full").c_str()); },
         ERROR_DIR_NOT_EMPTY},
        {"rmdir a file", [&] { return removeDirectory(w("a.txt").c_str()); }, ERROR_DIRECTORY},
        {"rmdir missing", [&] { return removeDirectory(w("none").c_str()); }, ERROR_FILE_NOT_FOUND},
        {"rmdir a root", [&] { return removeDirectory("C:\\"); }, ERROR_ACCESS_DENIED},
    };
    for (const Case &c : failures) {
        setLastError(kSentinel);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(getLastError(), c.error) << c.what;
    }
    EXPECT_EQ(readHost(dir.host + "/a.txt"), "alpha"); // the self-copy truncated nothing
    EXPECT_EQ(readHost(dir.host + "/b.txt"), "beta");

    // Replacing moves, case-only renames, copies with attributes.
    ASSERT_TRUE(moveFileEx(w("b.txt").c_str(), w("a.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(readHost(dir.host + "/a.txt"), "beta");
    EXPECT_FALSE(hostExists(dir.host + "/b.txt"));
    ASSERT_TRUE(moveFile(w("a.txt").c_str(), w("A.TXT").c_str()));
    EXPECT_TRUE(hostExists(dir.host + "/A.TXT"));
    EXPECT_FALSE(hostExists(dir.host + "/a.txt"));
    ASSERT_TRUE(setFileAttributes(w("A.TXT").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(copyFile(w("a.txt").c_str(), w("copy.txt").c_str(), TRUE));
    EXPECT_EQ(readHost(dir.host + "/copy.txt"), "beta");
    EXPECT_EQ(getFileAttributes(w("copy.txt").c_str()),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    setLastError(kSentinel);
    EXPECT_FALSE(copyFile(w("full\\x").c_str(), w("copy.txt").c_str(), FALSE));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED)); // read-only target
    ASSERT_TRUE(moveFile(w("full").c_str(), w("moved").c_str()));
    EXPECT_EQ(readHost(dir.host + "/moved/x"), "x");
    ASSERT_TRUE(deleteFile(w("moved\\X").c_str()));
    EXPECT_TRUE(removeDirectory(w("MOVED").c_str()));
    EXPECT_FALSE(hostExists(dir.host + "/moved"));
}

TEST(PlatFilesFileNames, TempShortAndFull)
{
    char tempPath[kMaxPath];
    DWORD len = getTempPath(sizeof tempPath, tempPath);
    ASSERT_GT(len, 0u);
    ASSERT_EQ(len, std::strlen(tempPath));
    EXPECT_EQ(tempPath[len - 1], '\\');
    EXPECT_EQ(windowsToHostPath(tempPath), hostTempFolder());
    EXPECT_TRUE(hostExists(brxtest::scratchDir() + "/root/Temp"));
    EXPECT_EQ(getTempPath(3, tempPath), len + 1); // too small: the size needed

    auto dir = makeScratch("tempnames");
    char name1[kMaxPath], name2[kMaxPath];
    DWORD u1 = getTempFileName(dir.win.c_str(), "brxtemp", 0, name1);
    DWORD u2 = getTempFileName(dir.win.c_str(), "brxtemp", 0, name2);
    ASSERT_NE(u1, 0u);
    ASSERT_NE(u2, 0u);
    EXPECT_NE(u1, u2);
    char expected[32];
    std::snprintf(expected, sizeof expected, "\\brx%X.tmp", unsigned(u1));
    EXPECT_EQ(std::string(name1), dir.win + expected);
    EXPECT_NE(getFileAttributes(name1), INVALID_FILE_ATTRIBUTES); // created
    EXPECT_NE(getFileAttributes(name2), INVALID_FILE_ATTRIBUTES);

    // A given number: only its low 16 bits, and nothing is created.
    EXPECT_EQ(getTempFileName(dir.win.c_str(), "ab", 0x1001F, name1), 0x1Fu);
    EXPECT_EQ(std::string(name1), dir.win + "\\ab1F.tmp");
    EXPECT_EQ(getFileAttributes(name1), INVALID_FILE_ATTRIBUTES);
    setLastError(kSentinel);
    EXPECT_EQ(getTempFileName((dir.win + "\\missing").c_str(), "x", 0, name1), 0u);
    EXPECT_EQ(getLastError(), DWORD(ERROR_DIRECTORY));

    // No short names: the long path comes back, for existing paths only.
    char shortPath[kMaxPath];
    std::string longName = dir.win + "\\A Long File Name.document";
    writeHost(dir.host + "/A Long File Name.document", "");
    EXPECT_EQ(getShortPathName(longName.c_str(), shortPath, sizeof shortPath), longName.size());
    EXPECT_EQ(std::string(shortPath), longName);
    setLastError(kSentinel);
    EXPECT_EQ(getShortPathName((dir.win + "\\gone.txt").c_str(), shortPath, sizeof shortPath), 0u);
    EXPECT_EQ(getLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}
