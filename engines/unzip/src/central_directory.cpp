#include "central_directory.h"

#include <algorithm>
#include <new>
#include <optional>

#include "zip_format.h"

namespace unzip {

using fmt::get16;
using fmt::get32;
using fmt::get64;

namespace {

// A comment may hold bytes that look like an end record. Candidates are
// checked by parsing the directory they point to; after this many full
// attempts the search gives up, so a hostile comment cannot make it quadratic.
constexpr int kMaxCandidateAttempts = 8;

bool isBetterFailure(Error candidate, Error current)
{
    // Keep the most telling reason: anything beats "not an archive".
    return current == Error::NotAnArchive && candidate != Error::NotAnArchive;
}

// Applies the ZIP64 extra field to the fields whose fixed value is the marker,
// in the fixed order: uncompressed size, compressed size, header offset, disk.
Error applyZip64Extra(std::span<const std::uint8_t> extra, std::uint32_t rawCompressed,
                      std::uint32_t rawUncompressed, std::uint32_t rawOffset, std::uint16_t rawDisk,
                      CentralEntry &e)
{
    bool needU = rawUncompressed == fmt::kZip64Marker32;
    bool needC = rawCompressed == fmt::kZip64Marker32;
    bool needO = rawOffset == fmt::kZip64Marker32;
    bool needD = rawDisk == fmt::kZip64Marker16;
    if (!needU && !needC && !needO && !needD)
        return Error::Ok;
    bool found = false;
    auto field = findExtraField(extra, fmt::extra::kZip64, found);
    if (!found)
        return Error::Ok; // a genuine 0xFFFFFFFF value in an archive without ZIP64
    std::size_t pos = 0;
    auto take64 = [&](std::uint64_t &out) {
        if (field.size() - pos < 8)
            return false;
        out = get64(field.data() + pos);
        pos += 8;
        return true;
    };
    if (needU && !take64(e.uncompressedSize))
        return Error::BadCentralDirectory;
    if (needC && !take64(e.compressedSize))
        return Error::BadCentralDirectory;
    if (needO && !take64(e.localHeaderOffset))
        return Error::BadCentralDirectory;
    if (needD) {
        if (field.size() - pos < 4)
            return Error::BadCentralDirectory;
        e.diskStart = get32(field.data() + pos);
    }
    return Error::Ok;
}

Error parseEntries(ArchiveDirectory &dir)
{
    const std::vector<std::uint8_t> &buf = dir.directoryBytes;
    const std::size_t size = buf.size();
    dir.entries.clear();
    dir.entries.reserve(std::min<std::uint64_t>(dir.end.totalEntries, size / fmt::central::kSize));
    std::size_t p = 0;
    while (p < size) {
        if (size - p < 4)
            return Error::BadCentralDirectory;
        std::uint32_t sig = get32(&buf[p]);
        if (sig != fmt::kCentralHeaderSig)
            return Error::BadCentralDirectory;
        if (size - p < fmt::central::kSize)
            return Error::BadCentralDirectory;
        const std::uint8_t *h = &buf[p];
        CentralEntry e;
        e.versionMadeBy = get16(h + fmt::central::kVersionMadeBy);
        e.versionNeeded = get16(h + fmt::central::kVersionNeeded);
        e.flags = get16(h + fmt::central::kFlags);
        e.method = get16(h + fmt::central::kMethod);
        e.modTime = get16(h + fmt::central::kModTime);
        e.modDate = get16(h + fmt::central::kModDate);
        e.crc32 = get32(h + fmt::central::kCrc);
        std::uint32_t rawC = get32(h + fmt::central::kCompressedSize);
        std::uint32_t rawU = get32(h + fmt::central::kUncompressedSize);
        std::uint16_t rawDisk = get16(h + fmt::central::kDiskStart);
        std::uint32_t rawOffset = get32(h + fmt::central::kLocalHeaderOffset);
        e.compressedSize = rawC;
        e.uncompressedSize = rawU;
        e.diskStart = rawDisk;
        e.localHeaderOffset = rawOffset;
        e.internalAttributes = get16(h + fmt::central::kInternalAttributes);
        e.externalAttributes = get32(h + fmt::central::kExternalAttributes);
        e.nameLength = get16(h + fmt::central::kNameLength);
        e.extraLength = get16(h + fmt::central::kExtraLength);
        e.commentLength = get16(h + fmt::central::kCommentLength);
        std::size_t variable = std::size_t{e.nameLength} + e.extraLength + e.commentLength;
        if (size - p - fmt::central::kSize < variable)
            return Error::BadCentralDirectory;
        e.nameOffset = p + fmt::central::kSize;
        e.extraOffset = e.nameOffset + e.nameLength;
        e.commentOffset = e.extraOffset + e.extraLength;
        Error err = applyZip64Extra(dir.extra(e), rawC, rawU, rawOffset, rawDisk, e);
        if (err != Error::Ok)
            return err;
        dir.entries.push_back(e);
        p += fmt::central::kSize + variable;
    }
    // Writers without ZIP64 store the entry count modulo 65,536; the records
    // themselves are the truth then. Any other disagreement is damage.
    std::uint64_t parsed = dir.entries.size();
    if (parsed != dir.end.totalEntries) {
        bool wrapped =
            !dir.end.zip64 && parsed > 0xFFFF && (parsed & 0xFFFF) == dir.end.totalEntries;
        if (!wrapped)
            return Error::BadCentralDirectory;
    }
    return Error::Ok;
}

// Reads the ZIP64 locator before the end record at endPos and the ZIP64 end
// record it points to. Returns nullopt-like Ok with found=false when there is
// no locator. realEnd64 receives where the ZIP64 end record really is.
Error readZip64(ArchiveFile &file, std::uint64_t endPos, EndInfo &end, std::uint64_t &realEnd64,
                bool &found)
{
    found = false;
    if (endPos < fmt::locator64::kSize + fmt::end64::kSize)
        return Error::Ok;
    std::uint64_t locPos = endPos - fmt::locator64::kSize;
    std::uint8_t loc[fmt::locator64::kSize];
    Error err = readExact(file, locPos, loc, sizeof loc);
    if (err != Error::Ok)
        return err;
    if (get32(loc) != fmt::kZip64LocatorSig)
        return Error::Ok;
    found = true;
    std::uint64_t stated = get64(loc + fmt::locator64::kEndRecordOffset);
    std::uint32_t disks = get32(loc + fmt::locator64::kTotalDisks);
    // The record normally sits right before the locator; its stated offset is
    // wrong by the length of a program in front of the archive.
    std::uint64_t candidates[2] = {stated, locPos - fmt::end64::kSize};
    std::uint8_t rec[fmt::end64::kSize];
    for (std::uint64_t pos : candidates) {
        if (pos > locPos || locPos - pos < fmt::end64::kSize)
            continue;
        err = readExact(file, pos, rec, sizeof rec);
        if (err == Error::ReadError)
            return err;
        if (err != Error::Ok)
            continue;
        if (get32(rec) != fmt::kZip64EndRecordSig)
            continue;
        if (get64(rec + fmt::end64::kRecordSize) < fmt::end64::kSize - 12)
            return Error::BadZip64Record;
        end.zip64 = true;
        end.thisDisk = get32(rec + fmt::end64::kThisDisk);
        end.directoryDisk = get32(rec + fmt::end64::kDirectoryDisk);
        end.entriesOnDisk = get64(rec + fmt::end64::kEntriesOnDisk);
        end.totalEntries = get64(rec + fmt::end64::kTotalEntries);
        end.directorySize = get64(rec + fmt::end64::kDirectorySize);
        end.directoryOffset = get64(rec + fmt::end64::kDirectoryOffset);
        end.diskCount = disks == 0 ? end.thisDisk + 1 : disks;
        realEnd64 = pos;
        return Error::Ok;
    }
    return Error::BadZip64Record;
}

// Tries the end record at pos: reads what it says and parses the directory.
Error tryEndRecord(ArchiveFile &file, std::uint64_t pos, const std::uint8_t *rec,
                   ArchiveDirectory &dir)
{
    const std::uint64_t fileSize = file.size();
    dir = ArchiveDirectory{};
    EndInfo &end = dir.end;
    end.endRecordOffset = pos;
    end.thisDisk = get16(rec + fmt::end::kThisDisk);
    end.directoryDisk = get16(rec + fmt::end::kDirectoryDisk);
    end.entriesOnDisk = get16(rec + fmt::end::kEntriesOnDisk);
    end.totalEntries = get16(rec + fmt::end::kTotalEntries);
    end.directorySize = get32(rec + fmt::end::kDirectorySize);
    end.directoryOffset = get32(rec + fmt::end::kDirectoryOffset);
    end.diskCount = end.thisDisk + 1;
    std::uint16_t commentLength = get16(rec + fmt::end::kCommentLength);
    std::uint64_t commentAvail =
        std::min<std::uint64_t>(commentLength, fileSize - pos - fmt::end::kSize);
    dir.comment.resize(commentAvail);
    Error err = readExact(file, pos + fmt::end::kSize, dir.comment.data(), dir.comment.size());
    if (err != Error::Ok)
        return err;

    std::uint64_t directoryEnd = pos;
    bool zip64 = false;
    err = readZip64(file, pos, end, directoryEnd, zip64);
    if (err != Error::Ok)
        return err;
    if (end.directoryDisk != end.thisDisk)
        return Error::DirectoryOnOtherDisk;
    if (end.directorySize > directoryEnd)
        return Error::BadEndRecord;
    if (end.totalEntries == 0 && end.directorySize == 0)
        return Error::Ok;
    if (end.directorySize < fmt::central::kSize)
        return Error::BadEndRecord;

    // Where the directory really is (it ends where the end records begin),
    // then where the end record says it is.
    std::uint64_t realStart = directoryEnd - end.directorySize;
    std::uint64_t starts[2] = {realStart, end.directoryOffset};
    Error failure = Error::BadEndRecord;
    for (int i = 0; i < 2; ++i) {
        std::uint64_t start = starts[i];
        if (i == 1 && start == realStart)
            break;
        if (start > fileSize || fileSize - start < end.directorySize)
            continue;
        std::uint8_t sig[4];
        err = readExact(file, start, sig, 4);
        if (err == Error::ReadError)
            return err;
        if (err != Error::Ok || get32(sig) != fmt::kCentralHeaderSig) {
            failure = Error::BadCentralDirectory;
            continue;
        }
        try {
            dir.directoryBytes.assign(end.directorySize, 0);
        } catch (const std::bad_alloc &) {
            return Error::OutOfMemory;
        }
        err = readExact(file, start, dir.directoryBytes.data(), dir.directoryBytes.size());
        if (err != Error::Ok)
            return err;
        err = parseEntries(dir);
        if (err == Error::Ok) {
            dir.offsetCorrection =
                static_cast<std::int64_t>(start) - static_cast<std::int64_t>(end.directoryOffset);
            return Error::Ok;
        }
        failure = err;
    }
    return failure;
}

// Bytes at the start of the file decide whether a missing end record means
// "truncated archive" rather than "not an archive".
Error missingEndError(ArchiveFile &file)
{
    std::uint8_t sig[4];
    Error err = readExact(file, 0, sig, 4);
    if (err == Error::ReadError)
        return err;
    if (err == Error::Ok) {
        std::uint32_t s = get32(sig);
        if (s == fmt::kLocalHeaderSig || s == fmt::kDataDescriptorSig ||
            s == fmt::kSingleSegmentMarker)
            return Error::Truncated;
    }
    return Error::NotAnArchive;
}

} // namespace

std::span<const std::uint8_t> findExtraField(std::span<const std::uint8_t> extra, std::uint16_t id,
                                             bool &found)
{
    found = false;
    std::size_t p = 0;
    while (extra.size() - p >= 4) {
        std::uint16_t fieldId = get16(extra.data() + p);
        std::uint16_t len = get16(extra.data() + p + 2);
        if (extra.size() - p - 4 < len)
            break;
        if (fieldId == id) {
            found = true;
            return extra.subspan(p + 4, len);
        }
        p += 4 + std::size_t{len};
    }
    return {};
}

Error parseDirectoryBytes(ArchiveDirectory &dir)
{
    return parseEntries(dir);
}

Error readArchiveDirectory(ArchiveFile &file, ArchiveDirectory &dir)
{
    const std::uint64_t fileSize = file.size();
    if (fileSize < fmt::end::kSize)
        return fileSize == 0 ? Error::NotAnArchive : missingEndError(file);
    const std::size_t tailSize = static_cast<std::size_t>(
        std::min<std::uint64_t>(fileSize, fmt::end::kSize + fmt::end::kMaxCommentLength));
    const std::uint64_t tailStart = fileSize - tailSize;
    std::vector<std::uint8_t> tail(tailSize);
    Error err = readExact(file, tailStart, tail.data(), tail.size());
    if (err != Error::Ok)
        return err;

    // Pass 1 takes only records whose comment reaches exactly to the end of
    // the file; pass 2 tolerates bytes appended after the comment.
    Error failure = Error::NotAnArchive;
    std::optional<ArchiveDirectory> otherDisk;
    for (int pass = 0; pass < 2; ++pass) {
        int attempts = 0;
        for (std::size_t p = tailSize - fmt::end::kSize + 1; p-- > 0;) {
            const std::uint8_t *rec = &tail[p];
            if (get32(rec) != fmt::kEndRecordSig)
                continue;
            std::uint64_t pos = tailStart + p;
            std::uint64_t reach = pos + fmt::end::kSize + get16(rec + fmt::end::kCommentLength);
            bool exact = reach == fileSize;
            if ((pass == 0) != exact)
                continue;
            if (attempts++ == kMaxCandidateAttempts)
                break;
            Error e = tryEndRecord(file, pos, rec, dir);
            if (e == Error::Ok)
                return Error::Ok;
            if (e == Error::ReadError || e == Error::OutOfMemory)
                return e;
            if (e == Error::DirectoryOnOtherDisk) {
                if (!otherDisk)
                    otherDisk = dir;
            } else if (isBetterFailure(e, failure)) {
                failure = e;
            }
        }
    }
    if (otherDisk) {
        dir = std::move(*otherDisk);
        return Error::DirectoryOnOtherDisk;
    }
    if (failure == Error::NotAnArchive)
        return missingEndError(file);
    return failure;
}

} // namespace unzip
