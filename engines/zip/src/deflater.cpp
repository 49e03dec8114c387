#include "deflater.h"

#include <libdeflate.h>

#include <memory>

namespace zipengine {

namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};

// One compressor per thread and level: allocating one costs more than
// compressing a small file.
libdeflate_compressor *compressorFor(int level)
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> cache[13];
    if (level < 1 || level > 12)
        return nullptr;
    if (!cache[level])
        cache[level].reset(libdeflate_alloc_compressor(level));
    return cache[level].get();
}

} // namespace

int libdeflateLevel(int factor)
{
    // libdeflate's level n is denser than zlib's level n on text and several
    // times faster, so the factors map one to one, except that 9 takes level
    // 8: level 9 gains almost nothing over 8 for a sixth more time.
    static const int kLevels[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 8};
    if (factor < 1)
        factor = 1;
    if (factor > 9)
        factor = 9;
    return kLevels[factor];
}

bool deflateWhole(const std::uint8_t *data, std::size_t len, int factor,
                  std::vector<std::uint8_t> &out)
{
    libdeflate_compressor *c = compressorFor(libdeflateLevel(factor));
    if (!c || len == 0)
        return false;
    // Anything not smaller than the input is stored instead, so the output
    // buffer never needs more than len - 1 bytes.
    try {
        out.resize(len - 1 == 0 ? 1 : len - 1);
    } catch (const std::bad_alloc &) {
        return false;
    }
    const std::size_t n = libdeflate_deflate_compress(c, data, len, out.data(), len - 1);
    if (n == 0)
        return false;
    out.resize(n);
    return true;
}

std::uint32_t crc32Of(std::uint32_t crc, const std::uint8_t *data, std::size_t len)
{
    return libdeflate_crc32(crc, data, len);
}

DeflateStream::DeflateStream(int factor)
{
    ok_ = deflateInit2(&z_, factor, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

DeflateStream::~DeflateStream()
{
    if (ok_)
        deflateEnd(&z_);
}

bool DeflateStream::feed(const std::uint8_t *data, std::size_t len, bool finish,
                         std::vector<std::uint8_t> &out)
{
    if (!ok_)
        return false;
    z_.next_in = const_cast<Bytef *>(data);
    z_.avail_in = static_cast<uInt>(len);
    std::uint8_t buf[64 * 1024];
    for (;;) {
        z_.next_out = buf;
        z_.avail_out = sizeof buf;
        const int rc = deflate(&z_, finish ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR)
            return false;
        out.insert(out.end(), buf, buf + (sizeof buf - z_.avail_out));
        if (finish ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
            return true;
    }
}

} // namespace zipengine
