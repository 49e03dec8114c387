#pragma once

// PKWARE traditional encryption (decryption side): three 32-bit keys driven
// by the password, a 12-byte header in front of the compressed data whose
// last byte checks the password.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec.h"
#include "unzip_error.h"

namespace unzip {

class TraditionalKeys {
public:
    explicit TraditionalKeys(std::string_view password);
    // Decrypts len bytes in place.
    void decrypt(std::uint8_t *data, std::size_t len);

private:
    void update(std::uint8_t plain);
    std::uint8_t streamByte() const;
    std::uint32_t k0_, k1_, k2_;
};

// The byte the last header byte must decrypt to: the high byte of the CRC,
// or of the DOS time when the entry was written with a data descriptor (the
// CRC was not known when the header was written).
std::uint8_t encryptionCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint16_t dosTime);

// A Source that decrypts another Source. Call readHeader() first.
class DecryptingSource final : public codecs::Source {
public:
    DecryptingSource(codecs::Source &inner, std::string_view password)
        : inner_(inner), keys_(password)
    {
    }
    // Consumes the 12-byte header. Ok, WrongPassword (check byte differs),
    // Truncated or ReadError. About one wrong password in 256 passes; the CRC
    // check after decoding catches it (see wrongPasswordOr).
    Error readHeader(std::uint8_t checkByte);
    long read(std::uint8_t *buf, std::size_t len) override;

private:
    codecs::Source &inner_;
    TraditionalKeys keys_;
};

// For an encrypted entry, a failure of the decoded data (bad compressed data,
// wrong size, CRC mismatch) means the password was wrong; others stay as they are.
Error wrongPasswordOr(bool encrypted, Error error);

} // namespace unzip
