#include "codecs/codec.h"

namespace codecs {

const char *resultText(Result result)
{
    switch (result) {
    case Result::Ok: return "no error";
    case Result::DataError: return "invalid compressed data";
    case Result::Truncated: return "compressed data ends too early";
    case Result::ReadError: return "read error";
    case Result::Stopped: return "stopped";
    case Result::Unsupported: return "unsupported compression method";
    case Result::OutOfMemory: return "out of memory";
    }
    return "unknown error";
}

} // namespace codecs
