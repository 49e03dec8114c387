#include "local_header.h"

#include <limits>

#include "zip_format.h"

namespace unzip {

using fmt::get16;
using fmt::get32;
using fmt::get64;

Error locateEntryData(ArchiveFile &file, const ArchiveDirectory &dir, const CentralEntry &e,
                      EntryLocation &loc)
{
    if (dir.end.diskCount > 1 && e.diskStart != dir.end.thisDisk)
        return Error::EntryOnOtherDisk;
    const std::uint64_t fileSize = file.size();
    // The stated offset plus the correction for a program in front; either
    // may be hostile, so the sum is checked before use.
    if (e.localHeaderOffset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return Error::BadLocalHeader;
    std::int64_t pos = static_cast<std::int64_t>(e.localHeaderOffset);
    if (dir.offsetCorrection > 0 &&
        pos > std::numeric_limits<std::int64_t>::max() - dir.offsetCorrection)
        return Error::BadLocalHeader;
    pos += dir.offsetCorrection;
    if (pos < 0 || static_cast<std::uint64_t>(pos) >= fileSize)
        return Error::BadLocalHeader;
    return locateEntryAt(file, e, static_cast<std::uint64_t>(pos), loc);
}

Error locateEntryAt(ArchiveFile &file, const CentralEntry &e, std::uint64_t headerOffset,
                    EntryLocation &loc)
{
    const std::uint64_t fileSize = file.size();
    loc.headerOffset = headerOffset;
    std::uint8_t h[fmt::local::kSize];
    Error err = readExact(file, loc.headerOffset, h, sizeof h);
    if (err == Error::Truncated)
        return Error::BadLocalHeader;
    if (err != Error::Ok)
        return err;
    if (get32(h) != fmt::kLocalHeaderSig)
        return Error::BadLocalHeader;
    loc.flags = get16(h + fmt::local::kFlags);
    loc.modTime = get16(h + fmt::local::kModTime);
    // The two copies must at least agree on how the data is to be read.
    if (get16(h + fmt::local::kMethod) != e.method ||
        (loc.flags & fmt::flag::kEncrypted) != (e.flags & fmt::flag::kEncrypted))
        return Error::BadLocalHeader;
    std::uint64_t variable =
        std::uint64_t{get16(h + fmt::local::kNameLength)} + get16(h + fmt::local::kExtraLength);
    loc.dataOffset = loc.headerOffset + fmt::local::kSize + variable;
    if (loc.dataOffset > fileSize || fileSize - loc.dataOffset < e.compressedSize)
        return Error::Truncated;
    return Error::Ok;
}

Error readDataDescriptor(ArchiveFile &file, std::uint64_t offset, const CentralEntry &expected,
                         DataDescriptor &out)
{
    std::uint8_t buf[24] = {};
    std::uint64_t avail = offset < file.size() ? file.size() - offset : 0;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buf, avail));
    Error err = readExact(file, offset, buf, n);
    if (err != Error::Ok)
        return err;
    for (bool sig : {true, false}) {
        for (bool wide : {false, true}) {
            std::size_t start = sig ? 4 : 0;
            std::size_t need = start + 4 + (wide ? 16 : 8);
            if (n < need || (sig && get32(buf) != fmt::kDataDescriptorSig))
                continue;
            DataDescriptor d;
            d.hasSignature = sig;
            d.zip64 = wide;
            d.crc32 = get32(buf + start);
            d.compressedSize = wide ? get64(buf + start + 4) : get32(buf + start + 4);
            d.uncompressedSize = wide ? get64(buf + start + 12) : get32(buf + start + 8);
            if (d.crc32 == expected.crc32 && d.compressedSize == expected.compressedSize &&
                d.uncompressedSize == expected.uncompressedSize) {
                out = d;
                return Error::Ok;
            }
        }
    }
    return Error::BadDataDescriptor;
}

} // namespace unzip
