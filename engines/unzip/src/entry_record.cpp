#include "entry_record.h"

#include <cstdio>

#include "names.h"
#include "zip_format.h"

namespace unzip {
namespace {

constexpr std::uint32_t kDosBits =
    kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory | kAttrArchive;
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixDirectory = 0040000;
constexpr std::uint32_t kUnixOwnerWrite = 0200;

void cutAtCharBoundary(std::string &s, std::size_t max)
{
    if (s.size() <= max)
        return;
    std::size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    s.resize(n);
}

} // namespace

std::uint32_t dosAttributes(const CentralEntry &e)
{
    const std::uint8_t host = static_cast<std::uint8_t>(e.versionMadeBy >> 8);
    std::uint32_t attrs = e.externalAttributes & kDosBits;
    if (host == fmt::host::kUnix || host == fmt::host::kMacOsX) {
        std::uint32_t mode = e.externalAttributes >> 16;
        if (mode != 0) {
            if (!(mode & kUnixOwnerWrite))
                attrs |= kAttrReadOnly;
            if ((mode & kUnixTypeMask) == kUnixDirectory)
                attrs |= kAttrDirectory;
        }
        return attrs;
    }
    // FAT, HPFS, NTFS, VFAT and the rest keep DOS bits in the low byte.
    return attrs;
}

void formatDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime, char (&out)[32])
{
    unsigned day = dosDate & 0x1F;
    unsigned month = (dosDate >> 5) & 0x0F;
    unsigned year = (dosDate >> 9) + 1980u;
    unsigned hour = dosTime >> 11;
    unsigned minute = (dosTime >> 5) & 0x3F;
    std::snprintf(out, sizeof out, "%02u/%02u/%04u %02u:%02u", month, day, year, hour, minute);
}

bool fillEntryInfo(const ArchiveDirectory &dir, std::size_t index, EntryInfo &info)
{
    if (index >= dir.entries.size())
        return false;
    const CentralEntry &e = dir.entries[index];
    info.entryIndex = static_cast<std::int32_t>(index);
    info.uncompressedSize = e.uncompressedSize;
    info.compressedSize = e.compressedSize;
    info.crc32 = e.crc32;
    info.method = e.method;
    std::string name = decodeEntryName(dir.name(e), e.flags, dir.extra(e), e.versionMadeBy);
    info.attributes = dosAttributes(e);
    // Some tools mark folders only by the trailing separator.
    if (!name.empty() && (name.back() == '/' || name.back() == '\\'))
        info.attributes |= kAttrDirectory;
    if (e.flags & fmt::flag::kEncrypted)
        info.attributes |= kEntryEncrypted;
    if (isLongName(name))
        info.attributes |= kEntryLongName;
    formatDosDateTime(e.modDate, e.modTime, info.dateTime);
    info.path = toBackslashes(std::move(name));
    cutAtCharBoundary(info.path, kEntryPathCapacity - 1);
    info.hasFolder = info.path.find('\\') != std::string::npos ? 1 : 0;
    return true;
}

} // namespace unzip
