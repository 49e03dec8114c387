#pragma once

// Streaming interface shared by the ZIP decoders and encoders. A codec pulls its
// input from a Source and pushes its output to a Sink; neither side knows about
// files, so the engines can run codecs over files, memory or fuzz input alike.

#include <cstddef>
#include <cstdint>

namespace codecs {

// Supplies input bytes. read() places up to `len` bytes into `buf` and returns
// how many it placed: 0 at the end of the input, -1 on a read failure.
class Source {
public:
    virtual ~Source() = default;
    virtual long read(std::uint8_t *buf, std::size_t len) = 0;
};

// Receives output bytes in order. write() returns false to stop the codec (a
// failed write, or the user cancelled); the codec then returns Result::Stopped.
class Sink {
public:
    virtual ~Sink() = default;
    virtual bool write(const std::uint8_t *data, std::size_t len) = 0;
};

enum class Result {
    Ok = 0,
    DataError,   // the compressed data is invalid
    Truncated,   // the input ended before the data was complete
    ReadError,   // the Source reported a failure
    Stopped,     // the Sink asked to stop
    Unsupported, // the method (or a variant of it) is not supported
    OutOfMemory,
};

// Short English description of a result, for diagnostics.
const char *resultText(Result result);

} // namespace codecs
