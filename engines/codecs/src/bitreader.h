#pragma once

// Least-significant-bit-first reader over a Source, shared by the decoders we
// write ourselves. Input is pulled in large chunks so that reading a code costs
// no virtual call. Bits past the end of the input read as zero; consuming them
// marks the reader as overrun, which the decoders report as Truncated (or as
// ReadError when the Source failed), so a decoder loop can never spin on the
// end of its input.

#include "codecs/codec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace codecs::detail {

class BitReader {
public:
    static constexpr std::size_t kChunk = 64 * 1024;

    explicit BitReader(Source &src) : src_(src), buf_(new (std::nothrow) std::uint8_t[kChunk]) {}

    // False when the input buffer could not be allocated.
    bool valid() const { return buf_ != nullptr; }

    // The next n (<= 32) bits without consuming them.
    std::uint32_t peek(unsigned n)
    {
        if (count_ < n)
            fill();
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << n) - 1));
    }

    void drop(unsigned n)
    {
        if (n > count_) {
            overrun_ = true;
            bits_ = 0;
            count_ = 0;
            return;
        }
        bits_ >>= n;
        count_ -= n;
    }

    std::uint32_t get(unsigned n)
    {
        std::uint32_t v = peek(n);
        drop(n);
        return v;
    }

    void alignToByte() { drop(count_ & 7); }

    // True when fewer than n real bits remain (the input is exhausted).
    bool short_of(unsigned n)
    {
        if (count_ < n)
            fill();
        return count_ < n;
    }

    // Marks the input as exhausted after an invalid code that needed bits
    // the input did not have.
    void markOverrun() { overrun_ = true; }

    bool failed() const { return overrun_; }
    Result failure() const { return readError_ ? Result::ReadError : Result::Truncated; }

private:
    void fill()
    {
        while (count_ <= 56) {
            if (pos_ == len_ && !refill())
                return;
            bits_ |= std::uint64_t{buf_[pos_++]} << count_;
            count_ += 8;
        }
    }

    bool refill()
    {
        if (ended_)
            return false;
        long n = src_.read(buf_.get(), kChunk);
        if (n <= 0 || static_cast<std::size_t>(n) > kChunk) {
            readError_ = n != 0;
            ended_ = true;
            return false;
        }
        pos_ = 0;
        len_ = static_cast<std::size_t>(n);
        return true;
    }

    Source &src_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uint64_t bits_ = 0;
    unsigned count_ = 0;
    bool ended_ = false;
    bool readError_ = false;
    bool overrun_ = false;
};

} // namespace codecs::detail
