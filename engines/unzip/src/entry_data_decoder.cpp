#include "entry_data_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "codecs/decoders.h"
#include "zip_format.h"

namespace unzip {
namespace {

class MemorySource final : public codecs::Source {
public:
    MemorySource(const std::uint8_t *data, std::size_t size) : data_(data), left_(size) {}
    long read(std::uint8_t *buf, std::size_t len) override
    {
        std::size_t n = std::min({len, left_, std::size_t{1} << 30});
        std::memcpy(buf, data_, n);
        data_ += n;
        left_ -= n;
        return static_cast<long>(n);
    }

private:
    const std::uint8_t *data_;
    std::size_t left_;
};

// Reads exactly len bytes (fewer only when the source ends early).
long readAll(codecs::Source &src, std::uint8_t *buf, std::size_t len)
{
    std::size_t got = 0;
    while (got < len) {
        long n = src.read(buf + got, len - got);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

codecs::Result inflateWhole(codecs::Source &src, std::size_t compressedSize,
                            std::size_t uncompressedSize, codecs::Sink &dst)
{
    std::unique_ptr<std::uint8_t[]> in(new (std::nothrow) std::uint8_t[compressedSize + 1]);
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow) std::uint8_t[uncompressedSize + 1]);
    if (!in || !out)
        return codecs::Result::OutOfMemory;
    long got = readAll(src, in.get(), compressedSize);
    if (got < 0)
        return codecs::Result::ReadError;
    codecs::Result r = codecs::inflateBuffer(in.get(), static_cast<std::size_t>(got), out.get(),
                                             uncompressedSize, nullptr);
    if (r == codecs::Result::DataError) {
        // The whole-buffer inflater cannot tell a wrong stated size from
        // damaged data; the streaming one, run to the stream's own end, can
        // (the caller's size check sees too much or too little output).
        MemorySource again(in.get(), static_cast<std::size_t>(got));
        return codecs::decodeDeflate(again, codecs::kUnknownSize, dst);
    }
    if (r != codecs::Result::Ok)
        return r;
    if (uncompressedSize > 0 && !dst.write(out.get(), uncompressedSize))
        return codecs::Result::Stopped;
    return codecs::Result::Ok;
}

} // namespace

codecs::Result decodeEntryData(std::uint16_t method, std::uint16_t flags, codecs::Source &src,
                               std::uint64_t compressedSize, std::uint64_t uncompressedSize,
                               codecs::Sink &dst)
{
    if (method == fmt::method::kDeflated && compressedSize <= kWholeBufferLimit &&
        uncompressedSize <= kWholeBufferLimit)
        return inflateWhole(src, static_cast<std::size_t>(compressedSize),
                            static_cast<std::size_t>(uncompressedSize), dst);
    // Stored data is exactly the compressed bytes: copying all of them lets
    // the caller's size check tell a wrong stated size from a cut entry.
    if (method == fmt::method::kStored)
        return codecs::decodeStored(src, codecs::kUnknownSize, dst);
    return codecs::decodeEntry(method, flags, src, uncompressedSize, dst);
}

} // namespace unzip
