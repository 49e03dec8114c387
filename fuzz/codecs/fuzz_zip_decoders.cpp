// Input layout: byte 0 picks the decoder (and implode variant), byte 1 the
// read size handed out by the Source, bytes 2-4 the declared uncompressed size
// (little endian), the rest is the compressed data. The decoder must end with
// a result and never produce more than the declared size; the two deflate
// paths must agree.

#include "codecs/decoders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class FuzzSource : public codecs::Source {
public:
    FuzzSource(const std::uint8_t *data, std::size_t size, std::size_t step)
        : data_(data), size_(size), step_(step)
    {
    }
    long read(std::uint8_t *buf, std::size_t len) override
    {
        std::size_t n = len < step_ ? len : step_;
        if (n > size_ - pos_)
            n = size_ - pos_;
        if (n != 0)
            std::memcpy(buf, data_ + pos_, n);
        pos_ += n;
        return static_cast<long>(n);
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::size_t step_;
};

class CollectSink : public codecs::Sink {
public:
    bool write(const std::uint8_t *data, std::size_t len) override
    {
        out.insert(out.end(), data, data + len);
        return true;
    }
    std::vector<std::uint8_t> out;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    const unsigned pick = data[0] % 12;
    const std::size_t step = data[1] == 0 ? 65536 : data[1];
    // Capped at 4 MiB so that one input stays fast.
    const std::uint64_t declared =
        data[2] | (data[3] << 8) | (std::uint32_t{data[4] & 0x3Fu} << 16);
    const std::uint8_t *payload = data + 5;
    const std::size_t payloadSize = size - 5;

    FuzzSource src(payload, payloadSize, step);
    CollectSink sink;
    codecs::Result r;
    switch (pick) {
    case 0: r = codecs::decodeShrink(src, declared, sink); break;
    case 1:
    case 2:
    case 3:
    case 4: r = codecs::decodeReduce(src, declared, static_cast<int>(pick), sink); break;
    case 5:
    case 6:
    case 7:
    case 8:
        r = codecs::decodeImplode(src, declared, static_cast<std::uint16_t>((pick - 5) << 1), sink);
        break;
    case 9: r = codecs::decodeDeflate64(src, declared, sink); break;
    default: {
        r = codecs::decodeDeflate(src, declared, sink);
        std::vector<std::uint8_t> buffer(declared);
        std::size_t consumed = 0;
        codecs::Result whole =
            codecs::inflateBuffer(payload, payloadSize, buffer.data(), buffer.size(), &consumed);
        if ((r == codecs::Result::Ok) != (whole == codecs::Result::Ok))
            std::abort();
        if (r == codecs::Result::Ok && (buffer != sink.out || consumed > payloadSize))
            std::abort();
        break;
    }
    }
    if (sink.out.size() > declared)
        std::abort();
    if (r == codecs::Result::Ok && sink.out.size() != declared)
        std::abort();
    return 0;
}
