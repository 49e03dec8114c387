#pragma once

// Opens the archive named by a command block (a Windows path) and reads its
// entries, whether the archive is one file or a set of disks: a spanned set on
// a removable drive (every disk holds the same file name; the engine asks for
// each disk through the message callback) or a split set on another drive
// (segments NAME.z01, NAME.z02 ... beside NAME.zip).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "archive_file.h"
#include "central_directory.h"
#include "codecs/codec.h"
#include "common/records.h"
#include "unzip_error.h"

namespace unzip {

// The message callback of a command block; asks for disks.
struct DiskPrompter {
    EngineMessageCallback callback = nullptr;
    void *context = nullptr;
    // "Insert the last disk": true when the user says it is in.
    bool askLastDisk() const;
    // "Insert disk n of m" (1-based n): true when the user says it is in.
    bool askDisk(std::uint32_t number, std::uint32_t count) const;
};

class DiskSet;

class OpenArchive {
public:
    OpenArchive();
    ~OpenArchive();
    OpenArchive(const OpenArchive &) = delete;
    OpenArchive &operator=(const OpenArchive &) = delete;

    // Opens the archive at a Windows path and reads its directory (from the
    // cache when unchanged). Returns an engine code (engine_codes.h).
    // With `listOnly` the caller only reads the directory (no entry data):
    // an unchanged archive seen before is then served without opening it.
    int open(const char *windowsPath, const DiskPrompter &prompter, bool listOnly = false);

    const ArchiveDirectory &directory() const { return *dir_; }
    // True for a set of several disks or segments: entries are then read one at
    // a time on the calling thread (reading may ask for disks).
    bool multiDisk() const { return dir_->end.diskCount > 1; }

    // Decodes entry `index` into out. Safe to call from several threads at
    // once for a single-file archive.
    Error readEntry(std::size_t index, codecs::Sink &out, std::optional<std::string_view> password);

private:
    int openSet(const DiskPrompter &prompter, bool removable);

    std::string windowsPath_;
    std::string hostPath_;
    std::shared_ptr<const ArchiveDirectory> dir_;
    std::unique_ptr<HostArchiveFile> file_;
    std::unique_ptr<DiskSet> disks_;
};

// Maps a reader error to the engine code reported for it.
int engineCodeOf(Error error);

} // namespace unzip
