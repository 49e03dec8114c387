#pragma once

// Output side of the decoders: a power-of-two ring that doubles as the
// LZ77 dictionary and as the output buffer, handed to the Sink one full ring at
// a time. It never accepts more than `limit` bytes in total; the decoders
// check remaining() before producing output.

#include "codecs/codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace codecs::detail {

class OutWindow {
public:
    OutWindow(Sink &sink, std::uint64_t limit, std::size_t size)
        : sink_(sink), buf_(new (std::nothrow) std::uint8_t[size]()), size_(size), mask_(size - 1),
          limit_(limit)
    {
    }

    bool valid() const { return buf_ != nullptr; }
    std::uint64_t total() const { return total_; }
    std::uint64_t remaining() const { return limit_ - total_; }
    bool stopped() const { return stopped_; }

    void put(std::uint8_t b)
    {
        buf_[pos_] = b;
        ++total_;
        if (++pos_ == size_)
            flush();
    }

    // Repeats `len` bytes starting `dist` (1..size) bytes back. The ring starts
    // zeroed, so a distance reaching before the first byte yields zeros.
    void copy(std::size_t dist, std::size_t len)
    {
        std::size_t from = (pos_ - dist) & mask_;
        total_ += len;
        while (len != 0) {
            std::size_t run = len;
            if (run > size_ - pos_)
                run = size_ - pos_;
            if (run > size_ - from)
                run = size_ - from;
            std::uint8_t *dst = buf_.get() + pos_;
            const std::uint8_t *src = buf_.get() + from;
            // Byte by byte: source and destination overlap for short distances.
            for (std::size_t i = 0; i < run; ++i)
                dst[i] = src[i];
            len -= run;
            from = (from + run) & mask_;
            pos_ += run;
            if (pos_ == size_)
                flush();
        }
    }

    // Hands the pending bytes to the Sink; false when it asked to stop.
    bool finish()
    {
        if (!stopped_ && pos_ != 0 && !sink_.write(buf_.get(), pos_))
            stopped_ = true;
        pos_ = 0;
        return !stopped_;
    }

private:
    void flush()
    {
        if (!stopped_ && !sink_.write(buf_.get(), pos_))
            stopped_ = true;
        pos_ = 0;
    }

    Sink &sink_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t size_;
    std::size_t mask_;
    std::size_t pos_ = 0;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    bool stopped_ = false;
};

} // namespace codecs::detail
