#pragma once

// Keeps the parsed directories of the last few archives, so the catalogue's
// "count" call followed by one "entry record" call per entry parses the
// archive once. An entry is served only while the file's path, size,
// modification time and inode are unchanged. Thread-safe.

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "archive_file.h"
#include "central_directory.h"
#include "unzip_error.h"

namespace unzip {

class DirectoryCache {
public:
    explicit DirectoryCache(std::size_t capacity = 4) : capacity_(capacity) {}

    // The parsed directory of the host file at path, from the cache when the
    // file is unchanged, else read now (and remembered when it parsed).
    // Null on failure, with the reason in error - except DirectoryOnOtherDisk,
    // which returns the (uncached) directory holding only the end information.
    std::shared_ptr<const ArchiveDirectory> load(const std::string &path, Error &error);

    // The directory for an already opened file, or null when not cached.
    std::shared_ptr<const ArchiveDirectory> find(const FileIdentity &id);
    void store(const FileIdentity &id, std::shared_ptr<const ArchiveDirectory> dir);
    void clear();

    // The process-wide cache the engine entry points use.
    static DirectoryCache &shared();

private:
    struct Slot {
        FileIdentity id;
        std::shared_ptr<const ArchiveDirectory> dir;
    };
    std::mutex mutex_;
    std::list<Slot> slots_; // most recently used first
    std::size_t capacity_;
};

} // namespace unzip
