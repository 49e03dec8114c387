#pragma once

// Reads the catalogue of a ZIP archive: finds the end of central directory
// record (behind a comment, a ZIP64 locator, a self-extracting program in
// front) and parses every central directory entry once into plain records.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "archive_file.h"
#include "unzip_error.h"

namespace unzip {

// One central directory entry, with ZIP64 values already applied. The name,
// extra field and comment stay in ArchiveDirectory::directoryBytes.
struct CentralEntry {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0; // DOS time
    std::uint16_t modDate = 0; // DOS date
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t localHeaderOffset = 0; // as stored, before ArchiveDirectory::offsetCorrection
    std::uint32_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::size_t nameOffset = 0;
    std::uint16_t nameLength = 0;
    std::size_t extraOffset = 0;
    std::uint16_t extraLength = 0;
    std::size_t commentOffset = 0;
    std::uint16_t commentLength = 0;
};

// What the end record (and its ZIP64 counterpart) says.
struct EndInfo {
    std::uint64_t endRecordOffset = 0; // where the end record was found
    bool zip64 = false;
    std::uint32_t thisDisk = 0;      // number of the disk holding the end record (0-based)
    std::uint32_t directoryDisk = 0; // disk where the central directory starts
    std::uint32_t diskCount = 1;     // disks in the set
    std::uint64_t entriesOnDisk = 0;
    std::uint64_t totalEntries = 0; // as stated; may have wrapped at 65,536 without ZIP64
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0; // as stated
};

struct ArchiveDirectory {
    EndInfo end;
    // Added to every stated offset: the length of a program in front of the
    // archive whose offsets were not adjusted (0 for a plain archive).
    std::int64_t offsetCorrection = 0;
    std::vector<std::uint8_t> comment;
    std::vector<std::uint8_t> directoryBytes;
    std::vector<CentralEntry> entries;

    std::span<const std::uint8_t> name(const CentralEntry &e) const
    {
        return {directoryBytes.data() + e.nameOffset, e.nameLength};
    }
    std::span<const std::uint8_t> extra(const CentralEntry &e) const
    {
        return {directoryBytes.data() + e.extraOffset, e.extraLength};
    }
    std::span<const std::uint8_t> entryComment(const CentralEntry &e) const
    {
        return {directoryBytes.data() + e.commentOffset, e.commentLength};
    }
};

// Finds the end record and parses the whole central directory. On
// DirectoryOnOtherDisk the end information (disk numbers, disk count) is
// filled so the caller can ask for the right disk; on any other failure the
// contents of dir are unspecified.
Error readArchiveDirectory(ArchiveFile &file, ArchiveDirectory &dir);

// Parses dir.directoryBytes into dir.entries, checking the count against
// dir.end.totalEntries (used for a directory gathered from several disks).
Error parseDirectoryBytes(ArchiveDirectory &dir);

// The body of the first extra field with header id `id` inside `extra`, or an
// empty span with found = false. A field running past the end ends the search.
std::span<const std::uint8_t> findExtraField(std::span<const std::uint8_t> extra, std::uint16_t id,
                                             bool &found);

} // namespace unzip
