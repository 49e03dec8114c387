#pragma once

// Compression of entry data. Whole entries (up to kWholeEntryLimit bytes) are
// deflated in one call of libdeflate, which needs the whole input but is both
// faster and denser than zlib; larger entries are streamed through zlib.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

namespace zipengine {

// Entries up to this size are read into memory and compressed whole.
inline constexpr std::uint64_t kWholeEntryLimit = 64ull << 20;

// libdeflate level used for a compression factor 1..9.
int libdeflateLevel(int factor);

// Deflates `data` at `factor` (1..9) into `out`. False when the result is not
// smaller than the input (the caller stores it) or memory ran out.
bool deflateWhole(const std::uint8_t *data, std::size_t len, int factor,
                  std::vector<std::uint8_t> &out);

// CRC-32 of a buffer, continuing from `crc` (0 to start).
std::uint32_t crc32Of(std::uint32_t crc, const std::uint8_t *data, std::size_t len);

// Raw-deflate stream for entries too large to hold in memory.
class DeflateStream {
public:
    explicit DeflateStream(int factor);
    ~DeflateStream();
    DeflateStream(const DeflateStream &) = delete;
    DeflateStream &operator=(const DeflateStream &) = delete;
    bool ok() const { return ok_; }
    // Compresses `len` bytes (finish = last call); appends output to `out`.
    bool feed(const std::uint8_t *data, std::size_t len, bool finish,
              std::vector<std::uint8_t> &out);

private:
    z_stream z_{};
    bool ok_ = false;
};

} // namespace zipengine
