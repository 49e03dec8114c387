#include "unzip_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return runUnzipFuzzInput(data, size);
}
