#pragma once

// On-disk layout of ZIP archives: record signatures, field offsets inside the
// fixed part of each record, general-purpose flag bits and extra-field ids.
// Every multi-byte field is little-endian.

#include <cstddef>
#include <cstdint>

namespace unzip::fmt {

// Record signatures ("PK" followed by two record-type bytes).
inline constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;
inline constexpr std::uint32_t kEndRecordSig = 0x06054b50;
inline constexpr std::uint32_t kZip64EndRecordSig = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
inline constexpr std::uint32_t kDataDescriptorSig = 0x08074b50;
// A split archive that needed only one segment starts with this marker.
inline constexpr std::uint32_t kSingleSegmentMarker = 0x30304b50;

// Local file header (30 bytes, then name and extra field).
namespace local {
inline constexpr std::size_t kSize = 30;
inline constexpr std::size_t kVersionNeeded = 4;
inline constexpr std::size_t kFlags = 6;
inline constexpr std::size_t kMethod = 8;
inline constexpr std::size_t kModTime = 10;
inline constexpr std::size_t kModDate = 12;
inline constexpr std::size_t kCrc = 14;
inline constexpr std::size_t kCompressedSize = 18;
inline constexpr std::size_t kUncompressedSize = 22;
inline constexpr std::size_t kNameLength = 26;
inline constexpr std::size_t kExtraLength = 28;
} // namespace local

// Central directory file header (46 bytes, then name, extra field, comment).
namespace central {
inline constexpr std::size_t kSize = 46;
inline constexpr std::size_t kVersionMadeBy = 4;
inline constexpr std::size_t kVersionNeeded = 6;
inline constexpr std::size_t kFlags = 8;
inline constexpr std::size_t kMethod = 10;
inline constexpr std::size_t kModTime = 12;
inline constexpr std::size_t kModDate = 14;
inline constexpr std::size_t kCrc = 16;
inline constexpr std::size_t kCompressedSize = 20;
inline constexpr std::size_t kUncompressedSize = 24;
inline constexpr std::size_t kNameLength = 28;
inline constexpr std::size_t kExtraLength = 30;
inline constexpr std::size_t kCommentLength = 32;
inline constexpr std::size_t kDiskStart = 34;
inline constexpr std::size_t kInternalAttributes = 36;
inline constexpr std::size_t kExternalAttributes = 38;
inline constexpr std::size_t kLocalHeaderOffset = 42;
} // namespace central

// End of central directory record (22 bytes, then the archive comment).
namespace end {
inline constexpr std::size_t kSize = 22;
inline constexpr std::size_t kThisDisk = 4;
inline constexpr std::size_t kDirectoryDisk = 6;
inline constexpr std::size_t kEntriesOnDisk = 8;
inline constexpr std::size_t kTotalEntries = 10;
inline constexpr std::size_t kDirectorySize = 12;
inline constexpr std::size_t kDirectoryOffset = 16;
inline constexpr std::size_t kCommentLength = 20;
inline constexpr std::size_t kMaxCommentLength = 0xFFFF;
} // namespace end

// ZIP64 end of central directory record (56 bytes, then extensible data).
namespace end64 {
inline constexpr std::size_t kSize = 56;
inline constexpr std::size_t kRecordSize = 4; // size of the rest, excluding the first 12 bytes
inline constexpr std::size_t kThisDisk = 16;
inline constexpr std::size_t kDirectoryDisk = 20;
inline constexpr std::size_t kEntriesOnDisk = 24;
inline constexpr std::size_t kTotalEntries = 32;
inline constexpr std::size_t kDirectorySize = 40;
inline constexpr std::size_t kDirectoryOffset = 48;
} // namespace end64

// ZIP64 end of central directory locator (20 bytes, just before the end record).
namespace locator64 {
inline constexpr std::size_t kSize = 20;
inline constexpr std::size_t kEndRecordDisk = 4;
inline constexpr std::size_t kEndRecordOffset = 8;
inline constexpr std::size_t kTotalDisks = 16;
} // namespace locator64

// General-purpose flag bits.
namespace flag {
inline constexpr std::uint16_t kEncrypted = 0x0001;
inline constexpr std::uint16_t kImplode8kDictionary = 0x0002; // method 6
inline constexpr std::uint16_t kImplode3Trees = 0x0004;       // method 6
inline constexpr std::uint16_t kDataDescriptor = 0x0008;
inline constexpr std::uint16_t kStrongEncryption = 0x0040;
inline constexpr std::uint16_t kUtf8 = 0x0800;
inline constexpr std::uint16_t kMaskedHeaders = 0x2000;
} // namespace flag

// Compression methods this engine knows by number.
namespace method {
inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kShrunk = 1;
inline constexpr std::uint16_t kReducedFirst = 2;
inline constexpr std::uint16_t kReducedLast = 5;
inline constexpr std::uint16_t kImploded = 6;
inline constexpr std::uint16_t kDeflated = 8;
inline constexpr std::uint16_t kDeflate64 = 9;
inline constexpr std::uint16_t kAesMarker = 99;
} // namespace method

// Extra-field header ids.
namespace extra {
inline constexpr std::uint16_t kZip64 = 0x0001;
inline constexpr std::uint16_t kExtendedTimestamp = 0x5455;
inline constexpr std::uint16_t kUnicodePath = 0x7075;
} // namespace extra

// Host system in the high byte of "version made by".
namespace host {
inline constexpr std::uint8_t kFat = 0;
inline constexpr std::uint8_t kUnix = 3;
inline constexpr std::uint8_t kHpfs = 6;
inline constexpr std::uint8_t kNtfs = 10;
inline constexpr std::uint8_t kVfat = 14;
inline constexpr std::uint8_t kMacOsX = 19;
} // namespace host

// Field values that mean "the real value is in the ZIP64 record or extra field".
inline constexpr std::uint16_t kZip64Marker16 = 0xFFFF;
inline constexpr std::uint32_t kZip64Marker32 = 0xFFFFFFFF;

// Traditional encryption prefixes the data with this many bytes.
inline constexpr std::size_t kEncryptionHeaderSize = 12;

// Little-endian field readers over a byte buffer; callers check bounds first.
inline std::uint16_t get16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t get64(const std::uint8_t *p)
{
    return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

} // namespace unzip::fmt
