#include "reader_headers.h"

#include "cab_format.h"

#include <cstring>

namespace cab::detail {

bool FileEntry::fromPrevious() const
{
    return folder == kFolderContinuedFromPrev || folder == kFolderContinuedPrevAndNext;
}

bool FileEntry::toNext() const
{
    return folder == kFolderContinuedToNext || folder == kFolderContinuedPrevAndNext;
}

bool Header::hasPrevious() const
{
    return (flags & kFlagPrevCabinet) != 0;
}
bool Header::hasNext() const
{
    return (flags & kFlagNextCabinet) != 0;
}

bool Header::continuesToNext() const
{
    if (!hasNext())
        return false;
    for (const FileEntry &f : files)
        if (f.toNext())
            return true;
    return false;
}

bool compressionSupported(std::uint16_t type)
{
    const int window = (type >> 8) & 0x1F;
    switch (type & kCompressMask) {
    case kCompressNone:
    case kCompressMszip: return true;
    case kCompressQuantum: return window >= 10 && window <= 21;
    case kCompressLzx: return window >= kLzxMinWindow && window <= kLzxMaxWindow;
    default: return false;
    }
}

namespace {

// Sequential reads from a caller's file with position tracking; short reads are
// retried until the callback reports the end.
class Source {
public:
    Source(const Io &io, FileHandle file) : io_(io), file_(file) {}

    bool seek(std::uint64_t pos)
    {
        if (io_.seek(io_.context, file_, static_cast<std::int64_t>(pos), kSeekSet) !=
            static_cast<std::int64_t>(pos))
            return false;
        pos_ = pos;
        return true;
    }

    // Bytes read, short only at the end of the file; -1 on failure.
    long read(void *buffer, std::size_t size)
    {
        auto *p = static_cast<std::uint8_t *>(buffer);
        std::size_t done = 0;
        while (done < size) {
            std::int32_t n =
                io_.read(io_.context, file_, p + done, static_cast<std::uint32_t>(size - done));
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        pos_ += done;
        return static_cast<long>(done);
    }

    bool readExact(void *buffer, std::size_t size)
    {
        return read(buffer, size) == static_cast<long>(size);
    }

    // A NUL-terminated string of at most 255 bytes; empty only when allowed
    // (disk names are empty in sets made without disk labels).
    bool readString(std::string &out, bool allowEmpty = false)
    {
        char buf[256];
        const std::uint64_t start = pos_;
        long n = read(buf, sizeof buf);
        if (n <= 0)
            return false;
        const void *nul = std::memchr(buf, 0, static_cast<std::size_t>(n));
        if (!nul || (nul == buf && !allowEmpty))
            return false;
        out.assign(buf, static_cast<std::size_t>(static_cast<const char *>(nul) - buf));
        return seek(start + out.size() + 1);
    }

    bool skip(std::size_t bytes) { return bytes == 0 || seek(pos_ + bytes); }

private:
    const Io &io_;
    FileHandle file_;
    std::uint64_t pos_ = 0;
};

} // namespace

int readHeader(const Io &io, FileHandle file, bool entries, Header &out)
{
    out = Header{};
    Source src(io, file);
    std::uint8_t buf[kHeaderSize];
    if (!src.seek(0))
        return kErrNotACabinet;
    if (!src.readExact(buf, kHeaderSize) || std::memcmp(buf, kSignature, 4) != 0)
        return kErrNotACabinet;
    out.length = get32(buf + 8);
    out.filesOffset = get32(buf + 16);
    out.versionMinor = buf[24];
    out.versionMajor = buf[25];
    out.folderCount = get16(buf + 26);
    out.fileCount = get16(buf + 28);
    out.flags = get16(buf + 30);
    out.setId = get16(buf + 32);
    out.iCabinet = get16(buf + 34);
    if (out.versionMajor != kVersionMajor)
        return kErrUnknownVersion;

    if (out.flags & kFlagReservePresent) {
        std::uint8_t r[kHeaderReserveFieldsSize];
        if (!src.readExact(r, sizeof r))
            return kErrCorruptCabinet;
        out.headerReserve = get16(r);
        out.folderReserve = r[2];
        out.dataReserve = r[3];
        if (out.headerReserve > kMaxHeaderReserve || !src.skip(out.headerReserve))
            return kErrCorruptCabinet;
    }
    if (out.hasPrevious() && (!src.readString(out.prevName) || !src.readString(out.prevDisk, true)))
        return kErrCorruptCabinet;
    if (out.hasNext() && (!src.readString(out.nextName) || !src.readString(out.nextDisk, true)))
        return kErrCorruptCabinet;
    if (!entries)
        return kErrNone;

    if (out.folderCount == 0 || out.fileCount == 0)
        return kErrCorruptCabinet;
    out.folders.reserve(out.folderCount);
    for (unsigned i = 0; i < out.folderCount; ++i) {
        std::uint8_t f[kFolderSize];
        if (!src.readExact(f, sizeof f) || !src.skip(out.folderReserve))
            return kErrCorruptCabinet;
        out.folders.push_back({get32(f), get16(f + 4), get16(f + 6)});
    }

    if (!src.seek(out.filesOffset))
        return kErrCorruptCabinet;
    out.files.reserve(out.fileCount);
    for (unsigned i = 0; i < out.fileCount; ++i) {
        std::uint8_t f[kFileSize];
        FileEntry e;
        if (!src.readExact(f, sizeof f) || !src.readString(e.name))
            return kErrCorruptCabinet;
        e.size = get32(f);
        e.offset = get32(f + 4);
        e.folder = get16(f + 8);
        e.date = get16(f + 10);
        e.time = get16(f + 12);
        e.attribs = get16(f + 14);
        if (e.folder < kFolderContinuedFromPrev && e.folder >= out.folderCount)
            return kErrCorruptCabinet;
        // Continuation markers only make sense in a part that has the neighbour.
        if ((e.fromPrevious() && !out.hasPrevious()) || (e.toNext() && !out.hasNext()))
            return kErrCorruptCabinet;
        out.files.push_back(std::move(e));
    }
    return kErrNone;
}

} // namespace cab::detail
