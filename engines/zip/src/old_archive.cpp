#include "old_archive.h"

#include <algorithm>
#include <new>

#include "archive_output.h"
#include "zip_result.h"

namespace zipengine {

PlatArchiveFile::~PlatArchiveFile()
{
    plat::closeHandle(file_);
}

std::ptrdiff_t PlatArchiveFile::readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len)
{
    if (offset >= size_)
        return 0;
    len = static_cast<std::size_t>(std::min<std::uint64_t>(len, size_ - offset));
    if (!zipengine::readAt(file_, offset, buf, len))
        return -1;
    return static_cast<std::ptrdiff_t>(len);
}

int loadOldArchive(const std::string &path, OldArchive &out)
{
    plat::HANDLE h = plat::createFile(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                      plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE)
        return kCreateFailed;
    std::uint64_t size = 0;
    if (!plat::getFileSizeEx(h, &size)) {
        plat::closeHandle(h);
        return kCreateFailed;
    }
    out.file = std::make_unique<PlatArchiveFile>(h, size);
    unzip::ArchiveDirectory dir;
    unzip::Error err;
    try {
        err = unzip::readArchiveDirectory(*out.file, dir);
    } catch (const std::bad_alloc &) {
        return kOutOfMemory;
    }
    switch (err) {
    case unzip::Error::Ok: break;
    case unzip::Error::OutOfMemory: return kOutOfMemory;
    case unzip::Error::NotAnArchive:
    case unzip::Error::DirectoryOnOtherDisk: return kBadStructure;
    default: return kDamaged;
    }
    if (dir.end.diskCount > 1)
        return kBadStructure; // a multi-disk set cannot be changed in place
    out.comment.assign(dir.comment.begin(), dir.comment.end());
    out.offsetCorrection = dir.offsetCorrection;
    out.directoryStart = static_cast<std::uint64_t>(
        static_cast<std::int64_t>(dir.end.directoryOffset) + dir.offsetCorrection);
    if (out.directoryStart > size)
        return kDamaged;

    out.entries.resize(dir.entries.size());
    std::vector<std::size_t> byOffset(dir.entries.size());
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
        const unzip::CentralEntry &e = dir.entries[i];
        CentralRecord &r = out.entries[i].record;
        r.versionMadeBy = e.versionMadeBy;
        r.versionNeeded = e.versionNeeded;
        r.flags = e.flags;
        r.method = e.method;
        r.modTime = e.modTime;
        r.modDate = e.modDate;
        r.crc32 = e.crc32;
        r.compressedSize = e.compressedSize;
        r.uncompressedSize = e.uncompressedSize;
        r.internalAttributes = e.internalAttributes;
        r.externalAttributes = e.externalAttributes;
        const auto name = dir.name(e);
        r.name.assign(name.begin(), name.end());
        r.extra = withoutZip64(dir.extra(e));
        const auto comment = dir.entryComment(e);
        r.comment.assign(comment.begin(), comment.end());
        const std::int64_t start =
            static_cast<std::int64_t>(e.localHeaderOffset) + dir.offsetCorrection;
        if (start < 0 || static_cast<std::uint64_t>(start) >= out.directoryStart)
            return kDamaged;
        r.localHeaderOffset = static_cast<std::uint64_t>(start);
        out.entries[i].rangeStart = r.localHeaderOffset;
        byOffset[i] = i;
    }
    std::sort(byOffset.begin(), byOffset.end(), [&](std::size_t a, std::size_t b) {
        return out.entries[a].rangeStart < out.entries[b].rangeStart;
    });
    for (std::size_t k = 0; k < byOffset.size(); ++k) {
        OldEntry &e = out.entries[byOffset[k]];
        e.rangeEnd =
            k + 1 < byOffset.size() ? out.entries[byOffset[k + 1]].rangeStart : out.directoryStart;
        // Two entries claiming the same bytes, or data running past the
        // directory, mean the catalogue cannot be trusted for raw copies.
        if (e.rangeEnd < e.rangeStart + fmt::local::kSize + e.record.compressedSize)
            return kDamaged;
    }
    return kOk;
}

} // namespace zipengine
