#include "directory_cache.h"

#include <new>

namespace unzip {

std::shared_ptr<const ArchiveDirectory> DirectoryCache::find(const FileIdentity &id)
{
    std::lock_guard lock(mutex_);
    for (auto it = slots_.begin(); it != slots_.end(); ++it) {
        if (it->id == id) {
            slots_.splice(slots_.begin(), slots_, it);
            return slots_.front().dir;
        }
    }
    return nullptr;
}

void DirectoryCache::store(const FileIdentity &id, std::shared_ptr<const ArchiveDirectory> dir)
{
    std::lock_guard lock(mutex_);
    // A changed file has the same path but another identity: drop the old one.
    slots_.remove_if([&](const Slot &s) { return s.id.path == id.path; });
    if (capacity_ == 0)
        return;
    slots_.push_front(Slot{id, std::move(dir)});
    while (slots_.size() > capacity_)
        slots_.pop_back();
}

void DirectoryCache::clear()
{
    std::lock_guard lock(mutex_);
    slots_.clear();
}

std::shared_ptr<const ArchiveDirectory> DirectoryCache::load(const std::string &path, Error &error)
{
    auto file = HostArchiveFile::open(path, error);
    if (!file)
        return nullptr;
    if (auto hit = find(file->identity())) {
        error = Error::Ok;
        return hit;
    }
    std::shared_ptr<ArchiveDirectory> dir;
    try {
        dir = std::make_shared<ArchiveDirectory>();
    } catch (const std::bad_alloc &) {
        error = Error::OutOfMemory;
        return nullptr;
    }
    error = readArchiveDirectory(*file, *dir);
    if (error == Error::DirectoryOnOtherDisk)
        return dir; // the caller needs the disk numbers to ask for the right disk
    if (error != Error::Ok)
        return nullptr;
    store(file->identity(), dir);
    return dir;
}

DirectoryCache &DirectoryCache::shared()
{
    static DirectoryCache cache;
    return cache;
}

} // namespace unzip
