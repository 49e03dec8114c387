#pragma once

// PKWARE traditional encryption: three 32-bit keys driven by the password and
// by every plain byte, a 12-byte header in front of the (compressed) data whose
// last byte checks the password. Shared by the reading and the writing engine.
// The cipher is weak: it hides data from a casual look, nothing more.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zipcommon {

class TraditionalKeys {
public:
    explicit TraditionalKeys(std::string_view password);
    // Decrypts len bytes in place.
    void decrypt(std::uint8_t *data, std::size_t len);
    // Encrypts len bytes in place.
    void encrypt(std::uint8_t *data, std::size_t len);

private:
    void update(std::uint8_t plain);
    std::uint8_t streamByte() const;
    std::uint32_t k0_, k1_, k2_;
};

// The byte the last header byte must decrypt to: the high byte of the CRC,
// or of the DOS time when the entry was written with a data descriptor (the
// CRC was not known when the header was written).
std::uint8_t encryptionCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint16_t dosTime);

} // namespace zipcommon
