#pragma once

// Reading entries under PKWARE traditional encryption: a Source that strips
// and checks the 12-byte header and decrypts the rest (the key schedule is
// shared with the writing engine).

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/codec.h"
#include "traditional_keys.h"
#include "unzip_error.h"

namespace unzip {

using zipcommon::encryptionCheckByte;
using zipcommon::TraditionalKeys;

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
