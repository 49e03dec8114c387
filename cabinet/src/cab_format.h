#pragma once

// On-disk structures of the Microsoft cabinet format, shared by the reader and
// the writer. All fields are little-endian; records are read and written byte by
// byte, never by casting buffers.

#include <cstddef>
#include <cstdint>

namespace cab {

constexpr std::uint8_t kSignature[4] = {'M', 'S', 'C', 'F'};
constexpr std::uint8_t kVersionMinor = 3;
constexpr std::uint8_t kVersionMajor = 1;

// CFHEADER.flags
constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
constexpr std::uint16_t kFlagNextCabinet = 0x0002;
constexpr std::uint16_t kFlagReservePresent = 0x0004;

// Fixed sizes of the records (without reserves and strings).
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kHeaderReserveFieldsSize = 4; // cbCFHeader u16, cbCFFolder u8, cbCFData u8
constexpr std::size_t kFolderSize = 8;
constexpr std::size_t kFileSize = 16;
constexpr std::size_t kDataSize = 8;

// Reserve limits.
constexpr std::uint32_t kMaxHeaderReserve = 60000;
constexpr std::uint32_t kMaxFolderReserve = 255;
constexpr std::uint32_t kMaxDataReserve = 255;

// CFFOLDER.typeCompress (low nibble = method, LZX/Quantum window in the high byte).
constexpr std::uint16_t kCompressMask = 0x000F;
constexpr std::uint16_t kCompressNone = 0x0000;
constexpr std::uint16_t kCompressMszip = 0x0001;
constexpr std::uint16_t kCompressQuantum = 0x0002;
constexpr std::uint16_t kCompressLzx = 0x0003;
constexpr int kLzxMinWindow = 15;
constexpr int kLzxMaxWindow = 21;

constexpr std::uint16_t lzxCompressionCode(int windowBits)
{
    return static_cast<std::uint16_t>((windowBits << 8) | kCompressLzx);
}

// CFFILE.iFolder special values for files split across cabinets.
constexpr std::uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr std::uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr std::uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

// CFFILE.attribs
constexpr std::uint16_t kAttribReadOnly = 0x01;
constexpr std::uint16_t kAttribHidden = 0x02;
constexpr std::uint16_t kAttribSystem = 0x04;
constexpr std::uint16_t kAttribArchive = 0x20;
constexpr std::uint16_t kAttribExecute = 0x40;
constexpr std::uint16_t kAttribNameIsUtf = 0x80;

// Data blocks.
constexpr std::size_t kBlockMax = 32768;    // uncompressed bytes per CFDATA
constexpr std::size_t kMszipMaxGrowth = 12; // worst-case growth of an MSZIP block
constexpr std::size_t kLzxMaxGrowth = 6144; // worst-case growth of an LZX block
constexpr std::size_t kMaxBlocksPerFolder = 65535;

// CFDATA checksum: XOR of the little-endian 32-bit words of the data (a tail of
// 1 to 3 bytes packed in reverse order), seeded with `seed`.
inline std::uint32_t checksum(const std::uint8_t *data, std::size_t len, std::uint32_t seed)
{
    std::uint32_t csum = seed;
    std::size_t words = len / 4;
    for (std::size_t i = 0; i < words; ++i, data += 4)
        csum ^= std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
    std::uint32_t ul = 0;
    switch (len & 3) {
    case 3: ul |= std::uint32_t(*data++) << 16; [[fallthrough]];
    case 2: ul |= std::uint32_t(*data++) << 8; [[fallthrough]];
    case 1: ul |= *data;
    }
    return csum ^ ul;
}

// Checksum of one CFDATA block as stored in its csum field.
inline std::uint32_t blockChecksum(const std::uint8_t *data, std::uint16_t cbData,
                                   std::uint16_t cbUncomp)
{
    std::uint32_t csum = checksum(data, cbData, 0);
    const std::uint8_t sizes[4] = {std::uint8_t(cbData), std::uint8_t(cbData >> 8),
                                   std::uint8_t(cbUncomp), std::uint8_t(cbUncomp >> 8)};
    return checksum(sizes, 4, csum);
}

// Little-endian field access.
inline std::uint16_t get16(const std::uint8_t *p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}
inline std::uint32_t get32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline void put16(std::uint8_t *p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

} // namespace cab
