#pragma once

// The local header in front of each entry's data, and the data descriptor
// after it for entries written in one pass (flag bit 3).

#include <cstdint>

#include "archive_file.h"
#include "central_directory.h"
#include "unzip_error.h"

namespace unzip {

struct EntryLocation {
    std::uint64_t headerOffset = 0; // where the local header really is
    std::uint64_t dataOffset = 0;   // first byte of the (possibly encrypted) compressed data
    std::uint16_t flags = 0;        // as the local header has them
    std::uint16_t modTime = 0;      // local header's DOS time (checks encrypted bit-3 entries)
};

// Validates the local header of entry e and finds its data, whose
// compressed size (from the directory) must lie inside the file.
// Errors: EntryOnOtherDisk, BadLocalHeader, Truncated, ReadError.
Error locateEntryData(ArchiveFile &file, const ArchiveDirectory &dir, const CentralEntry &e,
                      EntryLocation &loc);

// The same for a local header known to start at headerOffset of file (the
// segment of a spanned set that holds it). Errors: BadLocalHeader, Truncated,
// ReadError.
Error locateEntryAt(ArchiveFile &file, const CentralEntry &e, std::uint64_t headerOffset,
                    EntryLocation &loc);

struct DataDescriptor {
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    bool hasSignature = false;
    bool zip64 = false; // 8-byte sizes
};

// Reads the data descriptor at offset, accepting every layout (with or
// without signature, 4- or 8-byte sizes) and choosing the one whose values
// agree with the directory entry. BadDataDescriptor when none agrees.
Error readDataDescriptor(ArchiveFile &file, std::uint64_t offset, const CentralEntry &expected,
                         DataDescriptor &out);

} // namespace unzip
