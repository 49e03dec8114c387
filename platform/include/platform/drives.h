#pragma once

// The drive table: each letter names a host folder (its medium) with a Windows
// drive type and, for simulated media, a capacity. Files on a drive with a
// capacity never take more than it: writes that would exceed it fail with
// ERROR_DISK_FULL, and free space is counted in whole clusters like FAT.
//
// Default table: C: = / (fixed). BRX_DRIVES adds or replaces letters, e.g.
//   BRX_DRIVES="A=removable:1457664:/tmp/floppy;D=cdrom::/mnt/x"
// Each entry is LETTER=TYPE:CAPACITY:HOSTFOLDER, entries separated by `;`.
// TYPE is fixed, removable, cdrom, remote or ramdisk; CAPACITY is a byte count
// or empty for the host's own space; HOSTFOLDER is absolute, or empty for a
// removable or CD-ROM drive without a medium.

#include "platform/types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum : DWORD {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

struct DriveInfo {
    char letter = 0; // 'A'..'Z'
    DWORD type = DRIVE_FIXED;
    std::string hostDir;        // empty: no medium
    std::uint64_t capacity = 0; // bytes; 0: the host file system's own space
};

// The drives of this process, in letter order.
std::vector<DriveInfo> driveTable();

// One drive (letter in either case), or nullopt when the letter is not mapped.
std::optional<DriveInfo> driveInfo(char letter);

// Replaces the process table by the default table plus the entries of `spec`
// (BRX_DRIVES syntax). TRUE on success; FALSE with ERROR_INVALID_PARAMETER and
// the table unchanged when the text is malformed.
BOOL setDriveTable(std::string_view spec);

// Back to the default table plus BRX_DRIVES.
void resetDriveTable();

// Adds or replaces one drive. FALSE with ERROR_INVALID_PARAMETER for a bad
// letter, type or a relative host folder.
BOOL defineDrive(const DriveInfo &drive);

// Removes a letter; FALSE with ERROR_INVALID_DRIVE when it is not mapped.
BOOL removeDrive(char letter);

// Bit mask of the mapped letters (bit 0 = A:).
DWORD getLogicalDrives();

// Type of the drive of a root ("C:\" or "C:"; null = the current drive).
// DRIVE_NO_ROOT_DIR for an unmapped letter, a path that is not a drive root, or
// a fixed drive whose host folder is missing.
DWORD getDriveType(const char *rootPath);

// Free space the Windows way for the drive of `rootPath` ("X:\", null = current
// drive). Any output may be null. FALSE with ERROR_PATH_NOT_FOUND (unknown
// drive) or ERROR_NOT_READY (no medium).
BOOL getDiskFreeSpace(const char *rootPath, DWORD *sectorsPerCluster, DWORD *bytesPerSector,
                      DWORD *freeClusters, DWORD *totalClusters);

// Free and total bytes of the drive holding `path` (any folder on it; null =
// current drive). Outputs may be null. Errors as getDiskFreeSpace.
BOOL getDiskFreeSpaceEx(const char *path, std::uint64_t *freeBytesForCaller,
                        std::uint64_t *totalBytes, std::uint64_t *totalFreeBytes);

// Puts another medium into a removable or CD-ROM drive: `hostDir` is the new
// medium's host folder, empty for "no medium". FALSE with ERROR_INVALID_DRIVE
// (unmapped letter), ERROR_INVALID_PARAMETER (other drive type, relative folder).
BOOL changeMedium(char letter, std::string_view hostDir);

// Volume information of a drive root. Buffers may be null (size 0). The label
// is the medium's own (kept per host folder in the system root), the serial
// number changes when the medium is formatted. FALSE with ERROR_NOT_READY (no
// medium), ERROR_PATH_NOT_FOUND (unknown drive), ERROR_MORE_DATA (buffer small).
BOOL getVolumeInformation(const char *rootPath, char *volumeName, DWORD volumeNameSize,
                          DWORD *serialNumber, DWORD *maxComponentLength, DWORD *fileSystemFlags,
                          char *fileSystemName, DWORD fileSystemNameSize);

// Sets (null or "" clears) the label of the medium in a drive. FALSE with
// ERROR_INVALID_NAME for a label longer than 11 bytes (32 on drives without a
// capacity) or with characters a label may not hold, ERROR_NOT_READY without medium.
BOOL setVolumeLabel(const char *rootPath, const char *label);

// Formats the medium of a removable drive: everything on it is deleted, the
// label is set (null = none) and a new serial number drawn. FALSE with
// ERROR_ACCESS_DENIED for any drive that is not removable, ERROR_NOT_READY
// without a medium.
BOOL formatMedium(char letter, const char *label);

} // namespace plat
