#include "files_fixture.h"
#include "platform/drives.h"
#include "platform/file.h"

#include <cstdlib>
#include <sys/stat.h>
#include <vector>

using namespace plat;
using namespace filestest;

namespace {

constexpr std::uint64_t kFloppy = 1457664; // 2847 clusters of 512 bytes

// Writes `size` bytes into a new file through the platform; returns the
// writeFile result and leaves the last error as the call left it.
BOOL writeNewFile(const std::string &path, std::size_t size)
{
    HANDLE h = createFile(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    std::vector<char> data(size, 'z');
    DWORD written = 0;
    BOOL ok = writeFile(h, data.data(), DWORD(size), &written);
    DWORD error = getLastError();
    closeHandle(h);
    setLastError(error);
    return ok;
}

DWORD freeClusters(const char *root)
{
    DWORD spc = 0, bps = 0, freeCl = 0, total = 0;
    EXPECT_TRUE(getDiskFreeSpace(root, &spc, &bps, &freeCl, &total));
    return freeCl;
}

} // namespace

class PlatFilesDrives : public DriveTableTest {};

TEST_F(PlatFilesDrives, TableFromTextAndEnvironment)
{
    ASSERT_TRUE(setDriveTable("A=removable:1457664:/tmp/floppy/;d=cdrom::;R=remote::/srv/x"));
    auto a = driveInfo('a');
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->type, DWORD(DRIVE_REMOVABLE));
    EXPECT_EQ(a->capacity, kFloppy);
    EXPECT_EQ(a->hostDir, "/tmp/floppy");
    auto d = driveInfo('D');
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->hostDir, "");
    EXPECT_EQ(driveInfo('C')->hostDir, "/"); // the default stays unless replaced
    EXPECT_EQ(getLogicalDrives(), DWORD((1u << 0) | (1u << 2) | (1u << 3) | (1u << ('R' - 'A'))));

    const char *malformed[] = {
        "A",           "A=floppy::/x", "A=removable:12x:/x", "A=fixed::relative",
        "1=fixed::/x", "A=fixed::",    "A=removable:0:/x",   "A=fixed:/x"};
    for (const char *spec : malformed) {
        setLastError(kSentinel);
        EXPECT_FALSE(setDriveTable(spec)) << spec;
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER)) << spec;
        EXPECT_TRUE(driveInfo('A').has_value()) << "table kept after " << spec;
    }

    setenv("BRX_DRIVES", "B=removable:737280:/tmp/b", 1);
    resetDriveTable();
    unsetenv("BRX_DRIVES");
    ASSERT_TRUE(driveInfo('B').has_value());
    EXPECT_EQ(driveInfo('B')->capacity, 737280u);
    EXPECT_FALSE(driveInfo('A').has_value());
}

TEST_F(PlatFilesDrives, DriveTypes)
{
    auto floppy = makeScratch("types-floppy");
    ASSERT_TRUE(setDriveTable("A=removable::" + floppy.host +
                              ";D=cdrom::;F=fixed::/nonexistent/brx-drive"));
    struct Case {
        const char *root;
        DWORD type;
    };
    const Case cases[] = {
        {"C:\\", DRIVE_FIXED},       {"c:", DRIVE_FIXED},         {"A:\\", DRIVE_REMOVABLE},
        {"D:\\", DRIVE_CDROM},       {"Q:\\", DRIVE_NO_ROOT_DIR}, {"C:\\tmp", DRIVE_NO_ROOT_DIR},
        {"F:\\", DRIVE_NO_ROOT_DIR}, // fixed drive whose folder is missing
    };
    for (const Case &c : cases)
        EXPECT_EQ(getDriveType(c.root), c.type) << c.root;
}

TEST_F(PlatFilesDrives, FloppyFillsUpInWholeClusters)
{
    auto disk = makeScratch("floppy-fill");
    ASSERT_TRUE(setDriveTable("A=removable:1457664:" + disk.host));

    DWORD spc = 0, bps = 0, freeCl = 0, total = 0;
    setLastError(kSentinel);
    ASSERT_TRUE(getDiskFreeSpace("A:\\", &spc, &bps, &freeCl, &total));
    EXPECT_EQ(getLastError(), kSentinel);
    EXPECT_EQ(spc, 1u);
    EXPECT_EQ(bps, 512u);
    EXPECT_EQ(total, 2847u);
    EXPECT_EQ(freeCl, 2847u);

    ASSERT_TRUE(writeNewFile("A:\\small.bin", 1000)); // two clusters
    EXPECT_EQ(freeClusters("A:\\"), 2845u);
    ASSERT_TRUE(createDirectory("A:\\DIR")); // one cluster
    EXPECT_EQ(freeClusters("A:\\"), 2844u);
    std::uint64_t freeBytes = 0, totalBytes = 0, totalFree = 0;
    ASSERT_TRUE(getDiskFreeSpaceEx("A:\\DIR", &freeBytes, &totalBytes, &totalFree));
    EXPECT_EQ(freeBytes, 2844u * 512u);
    EXPECT_EQ(totalBytes, kFloppy);
    EXPECT_EQ(totalFree, freeBytes);

    // Exactly the free space fits; one byte more does not, and nothing is written.
    ASSERT_TRUE(writeNewFile("A:\\DIR\\big.bin", 2844 * 512));
    EXPECT_EQ(freeClusters("A:\\"), 0u);
    HANDLE h = createFile("A:\\extra.bin", GENERIC_WRITE, 0, CREATE_NEW, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 77;
    setLastError(kSentinel);
    EXPECT_FALSE(writeFile(h, "x", 1, &written));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(getFileSize(h, nullptr), 0u);
    ASSERT_TRUE(setFilePointerEx(h, 10, nullptr, FILE_BEGIN));
    setLastError(kSentinel);
    EXPECT_FALSE(setEndOfFile(h));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_TRUE(closeHandle(h));

    // The unused tail of small.bin's last cluster still takes data.
    h = createFile("A:\\small.bin", GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(setFilePointerEx(h, 0, nullptr, FILE_END));
    std::string tail(24, 't');
    EXPECT_TRUE(writeFile(h, tail.data(), DWORD(tail.size()), &written));
    setLastError(kSentinel);
    EXPECT_FALSE(writeFile(h, "!", 1, &written));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_TRUE(closeHandle(h));

    setLastError(kSentinel);
    EXPECT_FALSE(createDirectory("A:\\MORE"));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));

    // Copies and moves onto the full disk fail and leave nothing behind.
    auto outside = makeScratch("floppy-fill-src");
    writeHost(outside.host + "/src.bin", std::string(5000, 's'));
    std::string src = outside.win + "\\src.bin";
    setLastError(kSentinel);
    EXPECT_FALSE(copyFile(src.c_str(), "A:\\copy.bin", FALSE));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(getFileAttributes("A:\\copy.bin"), INVALID_FILE_ATTRIBUTES);
    setLastError(kSentinel);
    EXPECT_FALSE(moveFile(src.c_str(), "A:\\moved.bin"));
    EXPECT_EQ(getLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(readHost(outside.host + "/src.bin").size(), 5000u);

    // Deleting frees the clusters again.
    ASSERT_TRUE(deleteFile("A:\\DIR\\big.bin"));
    EXPECT_EQ(freeClusters("A:\\"), 2844u);
    EXPECT_TRUE(copyFile(src.c_str(), "A:\\copy.bin", FALSE));
    EXPECT_EQ(freeClusters("A:\\"), 2844u - 10u);
}

TEST_F(PlatFilesDrives, ChangingMediaLabelsAndFormat)
{
    auto disk1 = makeScratch("media-1");
    auto disk2 = makeScratch("media-2");
    ASSERT_TRUE(setDriveTable("A=removable:1457664:" + disk1.host));
    ASSERT_TRUE(writeNewFile("A:\\on-disk-1.txt", 10));

    ASSERT_TRUE(changeMedium('A', ""));
    EXPECT_EQ(getDriveType("A:\\"), DWORD(DRIVE_REMOVABLE));
    setLastError(kSentinel);
    EXPECT_EQ(getFileAttributes("A:\\on-disk-1.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(getLastError(), DWORD(ERROR_NOT_READY));
    setLastError(kSentinel);
    EXPECT_EQ(createFile("A:\\x", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(getLastError(), DWORD(ERROR_NOT_READY));
    setLastError(kSentinel);
    EXPECT_FALSE(getDiskFreeSpace("A:\\", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(getLastError(), DWORD(ERROR_NOT_READY));

    ASSERT_TRUE(changeMedium('A', disk2.host));
    EXPECT_EQ(getFileAttributes("A:\\on-disk-1.txt"), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(setVolumeLabel("A:\\", "PKBACK# 002"));
    ASSERT_TRUE(changeMedium('A', disk1.host));
    EXPECT_NE(getFileAttributes("A:\\on-disk-1.txt"), INVALID_FILE_ATTRIBUTES);

    // Labels belong to the medium, not the drive.
    char label[32] = {};
    DWORD serialBefore = 0;
    ASSERT_TRUE(getVolumeInformation("A:\\", label, sizeof label, &serialBefore, nullptr, nullptr,
                                     nullptr, 0));
    EXPECT_STREQ(label, "");
    ASSERT_TRUE(setVolumeLabel("A:\\", "PKBACK# 001"));
    ASSERT_TRUE(
        getVolumeInformation("A:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(label, "PKBACK# 001");
    ASSERT_TRUE(changeMedium('A', disk2.host));
    ASSERT_TRUE(
        getVolumeInformation("A:\\", label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_STREQ(label, "PKBACK# 002");
    setLastError(kSentinel);
    EXPECT_FALSE(setVolumeLabel("A:\\", "TWELVE CHARS"));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_NAME));
    setLastError(kSentinel);
    EXPECT_FALSE(getVolumeInformation("A:\\", label, 4, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(getLastError(), DWORD(ERROR_MORE_DATA));

    // Formatting empties the medium, sets the label and draws a new serial.
    ASSERT_TRUE(changeMedium('A', disk1.host));
    ASSERT_TRUE(createDirectory("A:\\SUB"));
    ASSERT_TRUE(writeNewFile("A:\\SUB\\f.bin", 3000));
    ASSERT_TRUE(formatMedium('A', "FRESH"));
    EXPECT_EQ(freeClusters("A:\\"), 2847u);
    EXPECT_EQ(getFileAttributes("A:\\SUB"), INVALID_FILE_ATTRIBUTES);
    DWORD serialAfter = 0;
    ASSERT_TRUE(getVolumeInformation("A:\\", label, sizeof label, &serialAfter, nullptr, nullptr,
                                     nullptr, 0));
    EXPECT_STREQ(label, "FRESH");
    EXPECT_NE(serialAfter, serialBefore);
    struct stat st;
    EXPECT_EQ(::stat(disk1.host.c_str(), &st), 0); // the medium itself stays

    // Only removable media can be formatted.
    setLastError(kSentinel);
    EXPECT_FALSE(formatMedium('C', nullptr));
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(changeMedium('A', ""));
    setLastError(kSentinel);
    EXPECT_FALSE(formatMedium('A', nullptr));
    EXPECT_EQ(getLastError(), DWORD(ERROR_NOT_READY));
    setLastError(kSentinel);
    EXPECT_FALSE(changeMedium('C', "/tmp"));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
}
