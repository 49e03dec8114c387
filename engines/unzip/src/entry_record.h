#pragma once

// What the catalogue shows of one entry, in the values of the shared entry
// record: sizes, DOS attributes plus the encrypted and long-name bits, CRC,
// method, the date text and the path with '\' separators.

#include <cstddef>
#include <cstdint>
#include <string>

#include "central_directory.h"

namespace unzip {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kEntryEncrypted = 0x8000;
inline constexpr std::uint32_t kEntryLongName = 0x10000;

// Room for the path in the shared record, terminator included.
inline constexpr std::size_t kEntryPathCapacity = 2080;

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
