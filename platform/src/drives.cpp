#include "platform/drives.h"

#include "fs_internal.h"
#include "ini_internal.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "platform/sysroot.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace plat {
namespace {

std::mutex g_mutex;
std::map<char, DriveInfo> g_drives;
bool g_loaded = false;

char upperLetter(char letter)
{
    char up = char(std::toupper(static_cast<unsigned char>(letter)));
    return up >= 'A' && up <= 'Z' ? up : 0;
}

std::string cleanHostDir(std::string_view dir)
{
    std::string out = fs::path(dir).lexically_normal().string();
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

bool validDrive(const DriveInfo &d)
{
    if (!upperLetter(d.letter))
        return false;
    if (d.type < DRIVE_REMOVABLE || d.type > DRIVE_RAMDISK)
        return false;
    if (d.hostDir.empty())
        return d.type == DRIVE_REMOVABLE || d.type == DRIVE_CDROM;
    return d.hostDir[0] == '/';
}

std::optional<DWORD> typeFromName(std::string_view name)
{
    static const std::pair<const char *, DWORD> names[] = {{"fixed", DRIVE_FIXED},
                                                           {"removable", DRIVE_REMOVABLE},
                                                           {"cdrom", DRIVE_CDROM},
                                                           {"remote", DRIVE_REMOTE},
                                                           {"ramdisk", DRIVE_RAMDISK}};
    for (auto [text, type] : names)
        if (detail::sameNameNoCase(name, text))
            return type;
    return std::nullopt;
}

// LETTER=TYPE:CAPACITY:HOSTFOLDER;... → drives, or nullopt when malformed.
std::optional<std::vector<DriveInfo>> parseSpec(std::string_view spec)
{
    std::vector<DriveInfo> out;
    while (!spec.empty()) {
        std::size_t end = spec.find(';');
        std::string_view entry = spec.substr(0, end);
        spec = end == std::string_view::npos ? std::string_view() : spec.substr(end + 1);
        while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.front())))
            entry.remove_prefix(1);
        if (entry.empty())
            continue;
        if (entry.size() < 2 || entry[1] != '=' || !upperLetter(entry[0]))
            return std::nullopt;
        DriveInfo d;
        d.letter = upperLetter(entry[0]);
        std::string_view rest = entry.substr(2);
        std::size_t c1 = rest.find(':');
        if (c1 == std::string_view::npos)
            return std::nullopt;
        std::size_t c2 = rest.find(':', c1 + 1);
        if (c2 == std::string_view::npos)
            return std::nullopt;
        auto type = typeFromName(rest.substr(0, c1));
        if (!type)
            return std::nullopt;
        d.type = *type;
        std::string_view cap = rest.substr(c1 + 1, c2 - c1 - 1);
        if (!cap.empty()) {
            auto [ptr, ec] = std::from_chars(cap.data(), cap.data() + cap.size(), d.capacity);
            if (ec != std::errc() || ptr != cap.data() + cap.size() || d.capacity == 0)
                return std::nullopt;
        }
        std::string_view dir = rest.substr(c2 + 1);
        d.hostDir = dir.empty() ? std::string() : cleanHostDir(dir);
        if (!validDrive(d))
            return std::nullopt;
        out.push_back(std::move(d));
    }
    return out;
}

std::map<char, DriveInfo> defaultTable()
{
    std::map<char, DriveInfo> table;
    table['C'] = DriveInfo{'C', DRIVE_FIXED, "/", 0};
    return table;
}

void loadLocked()
{
    if (g_loaded)
        return;
    g_loaded = true;
    g_drives = defaultTable();
    const char *env = std::getenv("BRX_DRIVES");
    if (!env || !*env)
        return;
    auto parsed = parseSpec(env);
    if (!parsed) {
        std::fprintf(stderr, "BRX_DRIVES ignored: malformed drive table \"%s\"\n", env);
        return;
    }
    for (DriveInfo &d : *parsed)
        g_drives[d.letter] = d;
}

// The drive letter a root or path names (null = current drive); 0 when none.
char letterOf(const char *path)
{
    std::string full = path ? fullPathName(path) : currentDirectory();
    if (full.size() < 2 || full[1] != ':')
        return 0;
    return upperLetter(full[0]);
}

// A usable drive for space and volume queries; nullopt with the error set.
std::optional<DriveInfo> readyDrive(const char *path)
{
    char letter = letterOf(path);
    auto d = letter ? driveInfo(letter) : std::nullopt;
    if (!d) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    bool media = d->type == DRIVE_REMOVABLE || d->type == DRIVE_CDROM;
    struct stat st;
    if (d->hostDir.empty() || ::stat(d->hostDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        setLastError(media ? ERROR_NOT_READY : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return d;
}

struct Geometry {
    DWORD sectorsPerCluster = 1;
    DWORD bytesPerSector = 512;
    std::uint64_t totalClusters = 0;
    std::uint64_t clusterBytes() const { return std::uint64_t(sectorsPerCluster) * bytesPerSector; }
};

// FAT-like geometry of a simulated medium: 512-byte sectors and the smallest
// cluster that keeps the count within FAT16's limit.
Geometry geometryOf(std::uint64_t capacity)
{
    Geometry g;
    while (capacity / g.clusterBytes() > 65524 && g.sectorsPerCluster < 128)
        g.sectorsPerCluster *= 2;
    g.totalClusters = capacity / g.clusterBytes();
    return g;
}

std::uint64_t clustersFor(std::uint64_t bytes, std::uint64_t clusterBytes)
{
    return (bytes + clusterBytes - 1) / clusterBytes;
}

// Clusters a host tree takes: whole clusters per file, one per folder.
std::uint64_t treeClusters(const std::string &host, std::uint64_t clusterBytes, bool countTop)
{
    std::error_code ec;
    auto status = fs::symlink_status(host, ec);
    if (ec)
        return 0;
    if (!fs::is_directory(status))
        return fs::is_regular_file(status) ? clustersFor(fs::file_size(host, ec), clusterBytes) : 0;
    std::uint64_t total = countTop ? 1 : 0;
    for (auto it = fs::recursive_directory_iterator(host, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        auto st = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_directory(st))
            total += 1;
        else if (fs::is_regular_file(st))
            total += clustersFor(it->file_size(ec), clusterBytes);
    }
    return total;
}

// Volume labels and serial numbers live per medium (host folder) in the root.
std::string volumesFile()
{
    return systemRootHostDir() + "/volumes.ini";
}

std::string labelOf(const std::string &hostDir)
{
    detail::IniDocument doc;
    doc.load(volumesFile());
    return doc.value(hostDir, "Label").value_or("");
}

DWORD serialOf(const std::string &hostDir)
{
    detail::IniDocument doc;
    doc.load(volumesFile());
    if (auto text = doc.value(hostDir, "Serial"))
        return DWORD(std::strtoul(text->c_str(), nullptr, 16));
    DWORD hash = 2166136261u; // FNV-1a of the folder: stable until formatted
    for (unsigned char c : hostDir)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

bool storeVolume(const std::string &hostDir, std::optional<std::string_view> label,
                 std::optional<DWORD> serial)
{
    detail::IniDocument doc;
    if (!doc.load(volumesFile()))
        return false;
    if (label)
        doc.setValue(hostDir, "Label", *label);
    if (serial) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", unsigned(*serial));
        doc.setValue(hostDir, "Serial", hex);
    }
    return doc.save(volumesFile());
}

bool validLabel(std::string_view label, bool simulated)
{
    if (label.size() > (simulated ? 11u : 32u))
        return false;
    std::string_view forbidden = simulated ? "*?/\\|<>\":.,;+=[]" : "*?/\\|<>\":";
    for (unsigned char c : label)
        if (c < 32 || forbidden.find(char(c)) != std::string_view::npos)
            return false;
    return true;
}

} // namespace

std::vector<DriveInfo> driveTable()
{
    std::lock_guard lock(g_mutex);
    loadLocked();
    std::vector<DriveInfo> out;
    for (auto &[letter, d] : g_drives)
        out.push_back(d);
    return out;
}

std::optional<DriveInfo> driveInfo(char letter)
{
    char up = upperLetter(letter);
    std::lock_guard lock(g_mutex);
    loadLocked();
    auto it = g_drives.find(up);
    if (it == g_drives.end())
        return std::nullopt;
    return it->second;
}

BOOL setDriveTable(std::string_view spec)
{
    auto parsed = parseSpec(spec);
    if (!parsed) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    g_loaded = true;
    g_drives = defaultTable();
    for (DriveInfo &d : *parsed)
        g_drives[d.letter] = d;
    return TRUE;
}

void resetDriveTable()
{
    std::lock_guard lock(g_mutex);
    g_loaded = false;
    loadLocked();
}

BOOL defineDrive(const DriveInfo &drive)
{
    DriveInfo d = drive;
    d.letter = upperLetter(d.letter);
    if (!d.hostDir.empty())
        d.hostDir = cleanHostDir(d.hostDir);
    if (!validDrive(d)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_mutex);
    loadLocked();
    g_drives[d.letter] = d;
    return TRUE;
}

BOOL removeDrive(char letter)
{
    std::lock_guard lock(g_mutex);
    loadLocked();
    if (g_drives.erase(upperLetter(letter)) == 0) {
        setLastError(ERROR_INVALID_DRIVE);
        return FALSE;
    }
    return TRUE;
}

DWORD getLogicalDrives()
{
    DWORD mask = 0;
    for (const DriveInfo &d : driveTable())
        mask |= DWORD(1) << (d.letter - 'A');
    return mask;
}

DWORD getDriveType(const char *rootPath)
{
    char letter = 0;
    if (!rootPath) {
        letter = letterOf(nullptr);
    } else {
        std::string_view root(rootPath);
        bool isRoot =
            (root.size() == 2 || (root.size() == 3 && isPathSeparator(root[2]))) && root[1] == ':';
        letter = isRoot ? upperLetter(root[0]) : 0;
    }
    auto d = letter ? driveInfo(letter) : std::nullopt;
    if (!d)
        return DRIVE_NO_ROOT_DIR;
    if (d->type == DRIVE_REMOVABLE || d->type == DRIVE_CDROM)
        return d->type;
    struct stat st;
    if (::stat(d->hostDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return DRIVE_NO_ROOT_DIR;
    return d->type;
}

namespace {

// Free and total clusters of a drive, with its geometry.
bool spaceOf(const DriveInfo &d, Geometry *g, std::uint64_t *freeClusters,
             std::uint64_t *callerFreeClusters)
{
    if (d.capacity) {
        *g = geometryOf(d.capacity);
        std::uint64_t used = treeClusters(d.hostDir, g->clusterBytes(), false);
        *freeClusters = used >= g->totalClusters ? 0 : g->totalClusters - used;
        *callerFreeClusters = *freeClusters;
        return true;
    }
    struct statvfs vfs;
    if (::statvfs(d.hostDir.c_str(), &vfs) != 0)
        return detail::failErrno(errno);
    std::uint64_t block = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    g->bytesPerSector = 512;
    g->sectorsPerCluster = DWORD(std::max<std::uint64_t>(1, block / 512));
    std::uint64_t scale = block / g->clusterBytes();
    scale = scale ? scale : 1;
    g->totalClusters = std::uint64_t(vfs.f_blocks) * scale;
    *freeClusters = std::uint64_t(vfs.f_bfree) * scale;
    *callerFreeClusters = std::uint64_t(vfs.f_bavail) * scale;
    return true;
}

DWORD clampDword(std::uint64_t v)
{
    return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : DWORD(v);
}

} // namespace

BOOL getDiskFreeSpace(const char *rootPath, DWORD *sectorsPerCluster, DWORD *bytesPerSector,
                      DWORD *freeClusters, DWORD *totalClusters)
{
    auto d = readyDrive(rootPath);
    if (!d)
        return FALSE;
    Geometry g;
    std::uint64_t freeCl = 0, callerCl = 0;
    if (!spaceOf(*d, &g, &freeCl, &callerCl))
        return FALSE;
    if (sectorsPerCluster)
        *sectorsPerCluster = g.sectorsPerCluster;
    if (bytesPerSector)
        *bytesPerSector = g.bytesPerSector;
    if (freeClusters)
        *freeClusters = clampDword(callerCl);
    if (totalClusters)
        *totalClusters = clampDword(g.totalClusters);
    return TRUE;
}

BOOL getDiskFreeSpaceEx(const char *path, std::uint64_t *freeBytesForCaller,
                        std::uint64_t *totalBytes, std::uint64_t *totalFreeBytes)
{
    auto d = readyDrive(path);
    if (!d)
        return FALSE;
    Geometry g;
    std::uint64_t freeCl = 0, callerCl = 0;
    if (!spaceOf(*d, &g, &freeCl, &callerCl))
        return FALSE;
    if (freeBytesForCaller)
        *freeBytesForCaller = callerCl * g.clusterBytes();
    if (totalBytes)
        *totalBytes = g.totalClusters * g.clusterBytes();
    if (totalFreeBytes)
        *totalFreeBytes = freeCl * g.clusterBytes();
    return TRUE;
}

BOOL changeMedium(char letter, std::string_view hostDir)
{
    std::lock_guard lock(g_mutex);
    loadLocked();
    auto it = g_drives.find(upperLetter(letter));
    if (it == g_drives.end()) {
        setLastError(ERROR_INVALID_DRIVE);
        return FALSE;
    }
    DriveInfo &d = it->second;
    if ((d.type != DRIVE_REMOVABLE && d.type != DRIVE_CDROM) ||
        (!hostDir.empty() && hostDir[0] != '/')) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    d.hostDir = hostDir.empty() ? std::string() : cleanHostDir(hostDir);
    return TRUE;
}

BOOL getVolumeInformation(const char *rootPath, char *volumeName, DWORD volumeNameSize,
                          DWORD *serialNumber, DWORD *maxComponentLength, DWORD *fileSystemFlags,
                          char *fileSystemName, DWORD fileSystemNameSize)
{
    auto d = readyDrive(rootPath);
    if (!d)
        return FALSE;
    std::string label = labelOf(d->hostDir);
    const char *fsName = d->type == DRIVE_CDROM ? "CDFS" : d->capacity ? "FAT" : "NTFS";
    if ((volumeName && detail::copyOut(label, volumeName, volumeNameSize) > label.size()) ||
        (fileSystemName &&
         detail::copyOut(fsName, fileSystemName, fileSystemNameSize) > std::strlen(fsName))) {
        setLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    if (serialNumber)
        *serialNumber = serialOf(d->hostDir);
    if (maxComponentLength)
        *maxComponentLength = 255;
    if (fileSystemFlags)
        *fileSystemFlags = 0x2 | 0x4; // case-preserved names, Unicode names
    return TRUE;
}

BOOL setVolumeLabel(const char *rootPath, const char *label)
{
    auto d = readyDrive(rootPath);
    if (!d)
        return FALSE;
    std::string_view text = label ? label : "";
    if (!validLabel(text, d->capacity != 0)) {
        setLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    return storeVolume(d->hostDir, text, std::nullopt) ? TRUE : FALSE;
}

BOOL formatMedium(char letter, const char *label)
{
    auto d = driveInfo(letter);
    if (!d) {
        setLastError(ERROR_INVALID_DRIVE);
        return FALSE;
    }
    // Only media we simulate are wiped; never a fixed drive, the host's root or
    // a folder holding the system root.
    std::string root = cleanHostDir(systemRootHostDir());
    if (d->type != DRIVE_REMOVABLE || d->hostDir == "/" ||
        (!d->hostDir.empty() && (root == d->hostDir || root.rfind(d->hostDir + "/", 0) == 0))) {
        setLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string medium = d->hostDir;
    std::string root2 = std::string(1, d->letter) + ":\\";
    if (!readyDrive(root2.c_str()))
        return FALSE;
    std::string_view text = label ? label : "";
    if (!validLabel(text, d->capacity != 0)) {
        setLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    std::error_code ec;
    for (auto it = fs::directory_iterator(medium, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        fs::remove_all(it->path(), ec);
        if (ec)
            break;
    }
    if (ec)
        return detail::failErrno(ec.value());
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    DWORD serial = DWORD(now) ^ DWORD(now >> 32) ^ (DWORD(::getpid()) << 16) ^ ++counter;
    return storeVolume(medium, text, serial) ? TRUE : FALSE;
}

namespace detail {

bool roomFor(const DriveInfo &drive, std::uint64_t oldSize, std::uint64_t newSize,
             std::uint64_t newFolders)
{
    if (!drive.capacity || drive.hostDir.empty())
        return true;
    Geometry g = geometryOf(drive.capacity);
    std::uint64_t cb = g.clusterBytes();
    std::uint64_t before = clustersFor(oldSize, cb), after = clustersFor(newSize, cb);
    std::uint64_t needed = (after > before ? after - before : 0) + newFolders;
    if (needed == 0)
        return true;
    std::uint64_t used = treeClusters(drive.hostDir, cb, false);
    if (used + needed > g.totalClusters) {
        setLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool roomForTree(const DriveInfo &drive, const std::string &hostTree)
{
    if (!drive.capacity || drive.hostDir.empty())
        return true;
    Geometry g = geometryOf(drive.capacity);
    std::uint64_t needed = treeClusters(hostTree, g.clusterBytes(), true);
    std::uint64_t used = treeClusters(drive.hostDir, g.clusterBytes(), false);
    if (used + needed > g.totalClusters) {
        setLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

} // namespace detail
} // namespace plat
