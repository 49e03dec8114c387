#include "traditional_crypto.h"

#include "zip_format.h"

namespace unzip {

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
