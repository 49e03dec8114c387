#include "traditional_keys.h"

#include <zlib.h>

#include "zip_format.h"

namespace zipcommon {
namespace {

// One step of the CRC-32 register the key schedule uses.
std::uint32_t crcStep(std::uint32_t crc, std::uint8_t byte)
{
    static const z_crc_t *table = get_crc_table();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

} // namespace

TraditionalKeys::TraditionalKeys(std::string_view password)
    : k0_(0x12345678), k1_(0x23456789), k2_(0x34567890)
{
    for (char c : password)
        update(static_cast<std::uint8_t>(c));
}

void TraditionalKeys::update(std::uint8_t plain)
{
    k0_ = crcStep(k0_, plain);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = crcStep(k2_, static_cast<std::uint8_t>(k1_ >> 24));
}

std::uint8_t TraditionalKeys::streamByte() const
{
    // Unsigned 32-bit product: as 16-bit values promoted to int it overflows.
    std::uint32_t t = (k2_ | 2) & 0xFFFF;
    return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

void TraditionalKeys::decrypt(std::uint8_t *data, std::size_t len)
{
    for (std::size_t i = 0; i < len; ++i) {
        data[i] ^= streamByte();
        update(data[i]);
    }
}

void TraditionalKeys::encrypt(std::uint8_t *data, std::size_t len)
{
    for (std::size_t i = 0; i < len; ++i) {
        const std::uint8_t plain = data[i];
        data[i] ^= streamByte();
        update(plain);
    }
}

std::uint8_t encryptionCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint16_t dosTime)
{
    if (flags & unzip::fmt::flag::kDataDescriptor)
        return static_cast<std::uint8_t>(dosTime >> 8);
    return static_cast<std::uint8_t>(crc32 >> 24);
}

} // namespace zipcommon
