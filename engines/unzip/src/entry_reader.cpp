#include "entry_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <zlib.h>

#include "entry_data_decoder.h"
#include "local_header.h"
#include "traditional_crypto.h"
#include "zip_format.h"

namespace unzip {
namespace {

// Large reads keep the number of system calls low on big archives whatever
// size of reads the decoder makes.
constexpr std::size_t kReadChunk = 256 * 1024;

// The compressed bytes of one entry: [offset, offset + length) of the file.
class RangeSource final : public codecs::Source {
public:
    RangeSource(ArchiveFile &file, std::uint64_t offset, std::uint64_t length)
        : file_(file), next_(offset), left_(length)
    {
    }
    bool allocate()
    {
        // Small entries get a small buffer: allocating and touching a large
        // one per entry dominates the time on archives of many tiny files.
        capacity_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(left_, 1, kReadChunk));
        buf_.reset(new (std::nothrow) std::uint8_t[capacity_]);
        return buf_ != nullptr;
    }
    long read(std::uint8_t *dst, std::size_t len) override
    {
        if (pos_ == end_) {
            if (left_ == 0)
                return 0;
            if (len >= capacity_) {
                // A caller reading large blocks (a whole entry at once) gets
                // them straight from the file, without a copy.
                std::size_t want = static_cast<std::size_t>(
                    std::min<std::uint64_t>({len, left_, std::uint64_t{1} << 30}));
                Error err = readExact(file_, next_, dst, want);
                if (err != Error::Ok) {
                    failure_ = err;
                    return -1;
                }
                next_ += want;
                left_ -= want;
                return static_cast<long>(want);
            }
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_, left_));
            Error err = readExact(file_, next_, buf_.get(), want);
            if (err != Error::Ok) {
                failure_ = err;
                return -1;
            }
            next_ += want;
            left_ -= want;
            pos_ = 0;
            end_ = want;
        }
        std::size_t n = std::min(len, end_ - pos_);
        std::memcpy(dst, buf_.get() + pos_, n);
        pos_ += n;
        return static_cast<long>(n);
    }
    // Why the last read failed (ReadError, or Truncated when the file shrank).
    Error failure() const { return failure_; }

private:
    ArchiveFile &file_;
    std::uint64_t next_;
    std::uint64_t left_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t capacity_ = 0;
    std::size_t pos_ = 0, end_ = 0;
    Error failure_ = Error::ReadError;
};

// Forwards data while computing its CRC-32; refuses data beyond the stated
// size so a damaged or hostile entry cannot produce more than it declares.
class CheckingSink final : public codecs::Sink {
public:
    CheckingSink(codecs::Sink &out, std::uint64_t limit) : out_(out), limit_(limit) {}
    bool write(const std::uint8_t *data, std::size_t len) override
    {
        if (len > limit_ - count_) {
            overflow_ = true;
            return false;
        }
        count_ += len;
        for (std::size_t done = 0; done < len;) {
            uInt n = static_cast<uInt>(std::min<std::size_t>(len - done, 1u << 30));
            crc_ = ::crc32(crc_, data + done, n);
            done += n;
        }
        return out_.write(data, len);
    }
    std::uint64_t count() const { return count_; }
    std::uint32_t crc() const { return static_cast<std::uint32_t>(crc_); }
    bool overflow() const { return overflow_; }

private:
    codecs::Sink &out_;
    std::uint64_t limit_;
    std::uint64_t count_ = 0;
    uLong crc_ = 0;
    bool overflow_ = false;
};

Error fromCodec(codecs::Result r, const RangeSource &src, const CheckingSink &sink)
{
    switch (r) {
    case codecs::Result::Ok: return Error::Ok;
    case codecs::Result::DataError: return Error::DataError;
    // The data lies inside the file (checked before), so a stream that ends
    // early is damaged data rather than a cut file.
    case codecs::Result::Truncated: return Error::DataError;
    case codecs::Result::ReadError: return src.failure();
    case codecs::Result::Stopped: return sink.overflow() ? Error::SizeMismatch : Error::Stopped;
    case codecs::Result::Unsupported: return Error::UnsupportedMethod;
    case codecs::Result::OutOfMemory: return Error::OutOfMemory;
    }
    return Error::DataError;
}

Error checkEncryption(const CentralEntry &e, const std::optional<std::string_view> &password)
{
    if ((e.flags & fmt::flag::kStrongEncryption) || e.method == fmt::method::kAesMarker)
        return Error::UnsupportedEncryption;
    if ((e.flags & fmt::flag::kEncrypted) && !password)
        return Error::PasswordRequired;
    return Error::Ok;
}

Error decodeLocated(ArchiveFile &file, const CentralEntry &e, const EntryLocation &loc,
                    codecs::Sink &out, const std::optional<std::string_view> &password)
{
    const bool encrypted = e.flags & fmt::flag::kEncrypted;
    RangeSource range(file, loc.dataOffset, e.compressedSize);
    if (!range.allocate())
        return Error::OutOfMemory;
    codecs::Source *src = &range;
    std::optional<DecryptingSource> decrypting;
    std::uint64_t dataSize = e.compressedSize;
    if (encrypted) {
        decrypting.emplace(range, *password);
        Error err = decrypting->readHeader(encryptionCheckByte(loc.flags, e.crc32, loc.modTime));
        if (err == Error::Truncated)
            return Error::DataError;
        if (err == Error::ReadError)
            return range.failure();
        if (err != Error::Ok)
            return err;
        src = &*decrypting;
        dataSize -= fmt::kEncryptionHeaderSize;
    }

    CheckingSink sink(out, e.uncompressedSize);
    Error err = fromCodec(
        decodeEntryData(e.method, e.flags, *src, dataSize, e.uncompressedSize, sink), range, sink);
    if (err == Error::Ok && sink.count() != e.uncompressedSize)
        err = Error::SizeMismatch;
    if (err == Error::Ok && sink.crc() != e.crc32)
        err = Error::CrcMismatch;
    err = wrongPasswordOr(encrypted, err);
    if (err != Error::Ok)
        return err;

    if (e.flags & fmt::flag::kDataDescriptor) {
        DataDescriptor dd;
        err = readDataDescriptor(file, loc.dataOffset + e.compressedSize, e, dd);
        if (err != Error::Ok)
            return err == Error::ReadError ? err : Error::BadDataDescriptor;
    }
    return Error::Ok;
}

} // namespace

Error readEntry(ArchiveFile &file, const ArchiveDirectory &dir, std::size_t index,
                codecs::Sink &out, std::optional<std::string_view> password)
{
    if (index >= dir.entries.size())
        return Error::BadEntryIndex;
    const CentralEntry &e = dir.entries[index];
    Error err = checkEncryption(e, password);
    if (err != Error::Ok)
        return err;
    EntryLocation loc;
    err = locateEntryData(file, dir, e, loc);
    if (err != Error::Ok)
        return err;
    return decodeLocated(file, e, loc, out, password);
}

Error readEntryAt(ArchiveFile &file, const CentralEntry &e, std::uint64_t headerOffset,
                  codecs::Sink &out, std::optional<std::string_view> password)
{
    Error err = checkEncryption(e, password);
    if (err != Error::Ok)
        return err;
    EntryLocation loc;
    err = locateEntryAt(file, e, headerOffset, loc);
    if (err != Error::Ok)
        return err;
    return decodeLocated(file, e, loc, out, password);
}

} // namespace unzip
