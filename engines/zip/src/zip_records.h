#pragma once

// Building the records the writer emits: local headers, central directory
// headers, ZIP64 fields and the end records. A ZIP64 value is written only
// where the 16- or 32-bit field cannot hold it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "zip_format.h"

namespace zipengine {

namespace fmt = unzip::fmt;

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes &b, std::uint32_t v);
void put32(Bytes &b, std::uint32_t v);
void put64(Bytes &b, std::uint64_t v);

// Version made by: the MS-DOS/Windows host (0) with ZIP 4.5; the external
// attributes hold the DOS attribute bits in the low byte and a Unix mode in the
// high 16 bits, which Unix extractors apply.
inline constexpr std::uint16_t kVersionMadeBy = (fmt::host::kFat << 8) | 45;

// Everything the central directory says about one entry. `extra` holds the
// central extra fields except the ZIP64 field, which is rebuilt from the values.
struct CentralRecord {
    std::uint16_t versionMadeBy = kVersionMadeBy;
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t diskStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localHeaderOffset = 0;
    std::string name;
    Bytes extra;
    Bytes comment;
};

// Serialises one central directory header (ZIP64 field first when needed).
void appendCentral(Bytes &out, const CentralRecord &r);

// The extra fields of a central record without any ZIP64 field.
Bytes withoutZip64(std::span<const std::uint8_t> extra);

// What a new entry's local header needs to say.
struct LocalRecord {
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    bool zip64 = false; // carry both sizes in a ZIP64 field
    const std::string *name = nullptr;
    const Bytes *extra = nullptr; // other extra fields
};

void appendLocal(Bytes &out, const LocalRecord &r);

// Data descriptor after streamed data (8-byte sizes with ZIP64).
void appendDataDescriptor(Bytes &out, std::uint32_t crc, std::uint64_t csize, std::uint64_t usize,
                          bool zip64);

// The end of the archive: directory position and size, entry counts, disks.
struct EndRecord {
    std::uint32_t thisDisk = 0;
    std::uint32_t directoryDisk = 0;
    std::uint64_t entriesOnDisk = 0;
    std::uint64_t totalEntries = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t directoryOffset = 0;
    std::uint64_t endOffset = 0; // where these records start on thisDisk
    const Bytes *comment = nullptr;
};

// ZIP64 end record and locator when any value needs them, then the end record.
void appendEnd(Bytes &out, const EndRecord &r);

// Extended timestamp field (modification time only, the same in the local and
// the central form); empty when the time does not fit its 32 bits.
Bytes timestampExtra(std::int64_t unixSeconds);

} // namespace zipengine
