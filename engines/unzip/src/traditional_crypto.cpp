#include "traditional_crypto.h"

#include <zlib.h>

#include "zip_format.h"

namespace unzip {
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

std::uint8_t encryptionCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint16_t dosTime)
{
    if (flags & fmt::flag::kDataDescriptor)
        return static_cast<std::uint8_t>(dosTime >> 8);
    return static_cast<std::uint8_t>(crc32 >> 24);
}

Error DecryptingSource::readHeader(std::uint8_t checkByte)
{
    std::uint8_t header[fmt::kEncryptionHeaderSize];
    std::size_t got = 0;
    while (got < sizeof header) {
        long n = inner_.read(header + got, sizeof header - got);
        if (n < 0)
            return Error::ReadError;
        if (n == 0)
            return Error::Truncated;
        got += static_cast<std::size_t>(n);
    }
    keys_.decrypt(header, sizeof header);
    return header[sizeof header - 1] == checkByte ? Error::Ok : Error::WrongPassword;
}

long DecryptingSource::read(std::uint8_t *buf, std::size_t len)
{
    long n = inner_.read(buf, len);
    if (n > 0)
        keys_.decrypt(buf, static_cast<std::size_t>(n));
    return n;
}

Error wrongPasswordOr(bool encrypted, Error error)
{
    if (encrypted &&
        (error == Error::DataError || error == Error::SizeMismatch || error == Error::CrcMismatch))
        return Error::WrongPassword;
    return error;
}

} // namespace unzip
