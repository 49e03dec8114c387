#pragma once

// What the catalogue shows of one entry, in the values of the shared entry
// record: sizes, DOS attributes plus the encrypted and long-name bits, CRC,
// method, the date text and the path with '\' separators.

#include <cstddef>
#include <cstdint>
#include <string>

#include "central_directory.h"
#include "common/records.h"

namespace unzip {

// The attribute bits and path room of the shared entry record.
inline constexpr std::uint32_t kAttrReadOnly = ENTRY_READONLY;
inline constexpr std::uint32_t kAttrHidden = ENTRY_HIDDEN;
inline constexpr std::uint32_t kAttrSystem = ENTRY_SYSTEM;
inline constexpr std::uint32_t kAttrDirectory = ENTRY_FOLDER;
inline constexpr std::uint32_t kAttrArchive = ENTRY_ARCHIVE;
inline constexpr std::uint32_t kEntryEncrypted = ENTRY_ENCRYPTED;
inline constexpr std::uint32_t kEntryLongName = ENTRY_LONG_NAME;
inline constexpr std::size_t kEntryPathCapacity = kEntryPathSize; // terminator included

struct EntryInfo {
    std::int32_t entryIndex = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint32_t attributes = 0;
    std::uint32_t crc32 = 0;
    std::uint16_t method = 0;
    std::uint16_t hasFolder = 0;
    char dateTime[32] = {};
    // UTF-8, '\' separators, at most kEntryPathCapacity - 1 bytes (cut at a
    // character boundary).
    std::string path;
};

// DOS attribute bits of the entry, from the external attributes as the host
// system that made it stores them.
std::uint32_t dosAttributes(const CentralEntry &e);

// "MM/DD/YYYY hh:mm" from a DOS date and time, zero-terminated in out.
void formatDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime, char (&out)[32]);

// Fills info for entry `index` of dir. Returns false when there is no such entry.
bool fillEntryInfo(const ArchiveDirectory &dir, std::size_t index, EntryInfo &info);

} // namespace unzip
