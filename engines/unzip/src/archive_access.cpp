#include "archive_access.h"

#include <cstdio>
#include <limits>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <vector>

#include "directory_cache.h"
#include "engine_codes.h"
#include "entry_reader.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/path.h"
#include "zip_format.h"

namespace unzip {

bool DiskPrompter::askLastDisk() const
{
    // Style MB_OKCANCEL alone: the listing callback takes its kind from the
    // style argument, and 1 is its disk prompt.
    return callback && callback(0, plat::MB_OKCANCEL, 0, -1, "", 0, context) == plat::IDOK;
}

bool DiskPrompter::askDisk(std::uint32_t number, std::uint32_t count) const
{
    return callback && callback(1, plat::MB_OKCANCEL, static_cast<int>(number),
                                static_cast<int>(count), "", 0, context) == plat::IDOK;
}

namespace {

// A person who answers OK without changing the disk must not keep the engine
// asking forever.
constexpr int kMaxPrompts = 50;

// Directories of disk sets read from several disks, with the identities of
// every disk seen, so the next call finds the set again whichever of its disks
// is in the drive.
struct SetEntry {
    std::vector<FileIdentity> disks;
    std::shared_ptr<const ArchiveDirectory> dir;
};
std::mutex gSetMutex;
std::map<std::string, SetEntry> gSets; // by host path

std::shared_ptr<const ArchiveDirectory> findSet(const std::string &hostPath, const FileIdentity &id)
{
    std::lock_guard lock(gSetMutex);
    auto it = gSets.find(hostPath);
    if (it == gSets.end())
        return nullptr;
    for (const FileIdentity &d : it->second.disks)
        if (d == id)
            return it->second.dir;
    return nullptr;
}

void storeSet(const std::string &hostPath, std::vector<FileIdentity> disks,
              std::shared_ptr<const ArchiveDirectory> dir)
{
    std::lock_guard lock(gSetMutex);
    gSets[hostPath] = SetEntry{std::move(disks), std::move(dir)};
}

// Where a Windows path led last time, for listings: a catalogue makes one
// call per entry, and resolving the path component by component and opening
// the file each time would cost more than filling the record. Trusted only
// while the drive still maps to the same folder and a stat of the host file
// gives the same identity (never for removable drives, whose medium changes).
struct PathMemo {
    std::string driveFolder;
    std::string hostPath;
};
std::mutex gMemoMutex;
std::map<std::string, PathMemo> gMemo;
constexpr std::size_t kMaxMemo = 64;

std::string driveFolderOf(std::string_view windowsPath)
{
    if (windowsPath.size() < 2 || windowsPath[1] != ':')
        return {};
    auto info = plat::driveInfo(windowsPath[0]);
    if (!info || info->type == plat::DRIVE_REMOVABLE || info->type == plat::DRIVE_CDROM)
        return {};
    return info->hostDir;
}

std::optional<FileIdentity> statIdentity(const std::string &hostPath)
{
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    FileIdentity id;
    id.path = hostPath;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.device = static_cast<std::uint64_t>(st.st_dev);
    return id;
}

std::shared_ptr<const ArchiveDirectory> memoLookup(const std::string &windowsPath)
{
    std::string folder = driveFolderOf(windowsPath);
    if (folder.empty())
        return nullptr;
    std::string host;
    {
        std::lock_guard lock(gMemoMutex);
        auto it = gMemo.find(windowsPath);
        if (it == gMemo.end() || it->second.driveFolder != folder)
            return nullptr;
        host = it->second.hostPath;
    }
    auto id = statIdentity(host);
    if (!id)
        return nullptr;
    auto dir = DirectoryCache::shared().find(*id);
    return dir && dir->end.diskCount <= 1 ? dir : nullptr;
}

void memoStore(const std::string &windowsPath, const std::string &hostPath)
{
    std::string folder = driveFolderOf(windowsPath);
    if (folder.empty())
        return;
    std::lock_guard lock(gMemoMutex);
    if (gMemo.size() >= kMaxMemo)
        gMemo.clear();
    gMemo[windowsPath] = PathMemo{folder, hostPath};
}

bool isRemovable(std::string_view windowsPath)
{
    if (windowsPath.size() < 2 || windowsPath[1] != ':')
        return false;
    char root[4] = {windowsPath[0], ':', '\\', 0};
    return plat::getDriveType(root) == plat::DRIVE_REMOVABLE;
}

bool startsWithSpanMarker(ArchiveFile &file)
{
    std::uint8_t sig[4];
    return readExact(file, 0, sig, 4) == Error::Ok && fmt::get32(sig) == fmt::kDataDescriptorSig;
}

} // namespace

// The disks of a set, fetched on demand. On a removable drive each disk is the
// same file name on another medium, asked for through the prompter; elsewhere
// disk k is the segment NAME.z<k+1> and the last disk NAME.zip.
class DiskSet {
public:
    DiskSet(std::string windowsPath, bool removable, std::uint32_t count, DiskPrompter prompter)
        : windowsPath_(std::move(windowsPath)), removable_(removable), count_(count),
          prompter_(prompter)
    {
    }

    void remember(std::uint32_t disk, const FileIdentity &id) { known_[disk] = id; }
    std::vector<FileIdentity> identities() const
    {
        std::vector<FileIdentity> out;
        for (const auto &[disk, id] : known_)
            out.push_back(id);
        return out;
    }
    std::uint32_t count() const { return count_; }
    bool cancelled() const { return cancelled_; }

    // The file of disk k, or null (cancelled() tells a refused prompt apart).
    HostArchiveFile *disk(std::uint32_t k)
    {
        if (current_ && currentDisk_ == k)
            return current_.get();
        current_.reset();
        if (!removable_)
            return openSegment(k);
        for (int prompt = 0; prompt <= kMaxPrompts; ++prompt) {
            if (auto file = openCurrentMedium(); file && isDisk(*file, k)) {
                known_[k] = file->identity();
                current_ = std::move(file);
                currentDisk_ = k;
                return current_.get();
            }
            if (prompt == kMaxPrompts || !prompter_.askDisk(k + 1, count_))
                break;
        }
        cancelled_ = true;
        return nullptr;
    }

private:
    std::unique_ptr<HostArchiveFile> openCurrentMedium()
    {
        auto host = plat::windowsToHostPath(windowsPath_);
        if (!host)
            return nullptr;
        Error err = Error::Ok;
        return HostArchiveFile::open(*host, err);
    }

    HostArchiveFile *openSegment(std::uint32_t k)
    {
        std::string path = windowsPath_;
        if (k + 1 < count_) {
            char ext[16];
            std::snprintf(ext, sizeof ext, ".z%02u", static_cast<unsigned>(k + 1));
            path = plat::removeExtension(windowsPath_) + ext;
        }
        auto host = plat::windowsToHostPath(path);
        if (!host)
            return nullptr;
        Error err = Error::Ok;
        current_ = HostArchiveFile::open(*host, err);
        currentDisk_ = k;
        return current_.get();
    }

    // Whether the file in the drive is disk k: a disk seen before is known by
    // its identity; otherwise the first disk starts with the span marker and
    // the last holds the end record naming its number.
    bool isDisk(HostArchiveFile &file, std::uint32_t k)
    {
        for (const auto &[disk, id] : known_)
            if (id == file.identity())
                return disk == k;
        ArchiveDirectory probe;
        Error err = readArchiveDirectory(file, probe);
        bool hasEnd = err == Error::Ok || err == Error::DirectoryOnOtherDisk;
        if (hasEnd)
            return probe.end.thisDisk == k;
        if (k == count_ - 1)
            return false;
        return startsWithSpanMarker(file) == (k == 0);
    }

    std::string windowsPath_;
    bool removable_;
    std::uint32_t count_;
    DiskPrompter prompter_;
    std::map<std::uint32_t, FileIdentity> known_;
    std::unique_ptr<HostArchiveFile> current_;
    std::uint32_t currentDisk_ = 0;
    bool cancelled_ = false;
};

namespace {

// The disks of a set from disk `first` on, seen as one file: offsets count
// from the start of that disk and run on into the following disks.
class SpanView final : public ArchiveFile {
public:
    SpanView(DiskSet &disks, std::uint32_t first) : disks_(disks), first_(first) {}
    // Unknown until the last disk was seen; readAt reports the real end.
    std::uint64_t size() const override { return std::numeric_limits<std::int64_t>::max(); }
    std::ptrdiff_t readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len) override
    {
        std::uint64_t start = 0;
        for (std::uint32_t i = 0;; ++i) {
            if (i == sizes_.size()) {
                if (first_ + i >= disks_.count())
                    return 0;
                HostArchiveFile *f = disks_.disk(first_ + i);
                if (!f)
                    return -1;
                sizes_.push_back(f->size());
            }
            if (offset < start + sizes_[i]) {
                HostArchiveFile *f = disks_.disk(first_ + i);
                if (!f)
                    return -1;
                std::uint64_t local = offset - start;
                std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(len, sizes_[i] - local));
                return f->readAt(local, buf, n);
            }
            start += sizes_[i];
        }
    }

private:
    DiskSet &disks_;
    std::uint32_t first_;
    std::vector<std::uint64_t> sizes_;
};

} // namespace

int engineCodeOf(Error error)
{
    switch (error) {
    case Error::Ok: return kOk;
    case Error::OpenFailed:
    case Error::ReadError: return kOpenFailed;
    case Error::NotAnArchive: return kNotZip;
    case Error::DirectoryOnOtherDisk:
    case Error::EntryOnOtherDisk: return kDiskNotInserted;
    case Error::UnsupportedMethod: return kUnsupportedMethod;
    case Error::UnsupportedEncryption: return kUnsupportedEncryption;
    case Error::PasswordRequired: return kEncryptedNoCode;
    case Error::WrongPassword: return kEncryptedWrongCode;
    case Error::Stopped: return kCancelled;
    case Error::OutOfMemory: return kOutOfMemory;
    default: return kDamaged;
    }
}

OpenArchive::OpenArchive() = default;
OpenArchive::~OpenArchive() = default;

int OpenArchive::open(const char *windowsPath, const DiskPrompter &prompter, bool listOnly)
{
    windowsPath_ = windowsPath;
    if (listOnly) {
        if (auto dir = memoLookup(windowsPath_)) {
            dir_ = std::move(dir);
            return kOk;
        }
    }
    const bool removable = isRemovable(windowsPath_);
    for (int prompt = 0;; ++prompt) {
        bool askable = removable && prompter.callback && prompt < kMaxPrompts;
        auto host = plat::windowsToHostPath(windowsPath_);
        Error err = Error::OpenFailed;
        if (host) {
            hostPath_ = *host;
            file_ = HostArchiveFile::open(hostPath_, err);
        }
        if (!file_) {
            // No medium, or a disk without the file: the person may insert another.
            if (askable && prompter.askLastDisk())
                continue;
            if (removable && prompter.callback)
                return kDiskNotInserted;
            return plat::getFileAttributes(windowsPath) == plat::INVALID_FILE_ATTRIBUTES
                       ? kArchiveMissing
                       : kOpenFailed;
        }
        if (auto set = findSet(hostPath_, file_->identity())) {
            dir_ = set;
            return openSet(prompter, removable);
        }
        DirectoryCache &cache = DirectoryCache::shared();
        memoStore(windowsPath_, hostPath_);
        dir_ = cache.find(file_->identity());
        if (dir_)
            return multiDisk() ? openSet(prompter, removable) : kOk;
        std::shared_ptr<ArchiveDirectory> dir;
        try {
            dir = std::make_shared<ArchiveDirectory>();
        } catch (const std::bad_alloc &) {
            return kOutOfMemory;
        }
        err = readArchiveDirectory(*file_, *dir);
        if (err == Error::Ok) {
            cache.store(file_->identity(), dir);
            dir_ = dir;
            return multiDisk() ? openSet(prompter, removable) : kOk;
        }
        if (err == Error::DirectoryOnOtherDisk) {
            dir_ = dir;
            return openSet(prompter, removable);
        }
        // Another disk of a spanned set (no end record): ask for the last one.
        if ((err == Error::NotAnArchive || err == Error::Truncated) && askable &&
            prompter.askLastDisk())
            continue;
        if ((err == Error::NotAnArchive || err == Error::Truncated) && removable &&
            prompter.callback)
            return kDiskNotInserted;
        return engineCodeOf(err);
    }
}

int OpenArchive::openSet(const DiskPrompter &prompter, bool removable)
{
    const EndInfo &end = dir_->end;
    if (end.diskCount < 2 || end.thisDisk + 1 != end.diskCount)
        return kDamaged;
    disks_ = std::make_unique<DiskSet>(windowsPath_, removable, end.diskCount, prompter);
    disks_->remember(end.thisDisk, file_->identity());
    if (!dir_->entries.empty() || end.totalEntries == 0) {
        storeSet(hostPath_, disks_->identities(), dir_);
        return kOk;
    }
    // The directory starts on an earlier disk: gather it from there, in
    // steps, so a hostile stated size runs out of data before it runs out of
    // memory.
    auto dir = std::make_shared<ArchiveDirectory>(*dir_);
    file_.reset();
    SpanView view(*disks_, end.directoryDisk);
    std::vector<std::uint8_t> &bytes = dir->directoryBytes;
    bytes.clear();
    Error err = Error::Ok;
    constexpr std::uint64_t kStep = 1 << 20;
    while (err == Error::Ok && bytes.size() < end.directorySize) {
        std::size_t step = static_cast<std::size_t>(
            std::min<std::uint64_t>(kStep, end.directorySize - bytes.size()));
        std::size_t old = bytes.size();
        try {
            bytes.resize(old + step);
        } catch (const std::bad_alloc &) {
            return kOutOfMemory;
        }
        err = readExact(view, end.directoryOffset + old, bytes.data() + old, step);
    }
    if (err == Error::Ok)
        err = parseDirectoryBytes(*dir);
    if (err != Error::Ok)
        return disks_->cancelled() ? kDiskNotInserted : engineCodeOf(err);
    dir->offsetCorrection = 0;
    dir_ = dir;
    storeSet(hostPath_, disks_->identities(), dir_);
    return kOk;
}

Error OpenArchive::readEntry(std::size_t index, codecs::Sink &out,
                             std::optional<std::string_view> password)
{
    if (index >= dir_->entries.size())
        return Error::BadEntryIndex;
    if (!multiDisk())
        return unzip::readEntry(*file_, *dir_, index, out, password);
    const CentralEntry &e = dir_->entries[index];
    if (e.diskStart >= disks_->count())
        return Error::BadLocalHeader;
    SpanView view(*disks_, e.diskStart);
    Error err = readEntryAt(view, e, e.localHeaderOffset, out, password);
    if (disks_->cancelled())
        return Error::EntryOnOtherDisk;
    return err;
}

} // namespace unzip
