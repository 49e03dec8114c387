#pragma once

// Helpers of the codec tests: an in-memory Source that can hand out tiny reads
// or fail, a Sink that collects or refuses, and a minimal walk over a ZIP
// file's central directory to find the entries' compressed bytes.

#include "codecs/codec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace codectest {

using Bytes = std::vector<std::uint8_t>;

class MemorySource : public codecs::Source {
public:
    // Hands out at most `step` bytes per read; fails once `failAt` bytes were
    // delivered (never when failAt is SIZE_MAX).
    explicit MemorySource(const Bytes &data, std::size_t step = 1 << 20,
                          std::size_t failAt = SIZE_MAX)
        : data_(data), step_(step), failAt_(failAt)
    {
    }
    long read(std::uint8_t *buf, std::size_t len) override;
    std::size_t reads() const { return reads_; }

private:
    const Bytes &data_;
    std::size_t pos_ = 0;
    std::size_t step_;
    std::size_t failAt_;
    std::size_t reads_ = 0;
};

class VectorSink : public codecs::Sink {
public:
    // Refuses the write that would take the total past `stopAfter` bytes.
    explicit VectorSink(std::size_t stopAfter = SIZE_MAX) : stopAfter_(stopAfter) {}
    bool write(const std::uint8_t *data, std::size_t len) override;
    Bytes data;

private:
    std::size_t stopAfter_;
};

struct ZipEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t uncompressedSize = 0;
    Bytes compressed;
};

// Entries of a plain ZIP file (no ZIP64, no encryption), from its central
// directory. Fails the current test when the file is not such a ZIP.
std::vector<ZipEntry> readZip(const std::string &path);

Bytes readFile(const std::string &path);
std::uint32_t crcOf(const Bytes &data);

// Decodes with the entry's own method and size.
codecs::Result decode(const ZipEntry &e, const Bytes &compressed, Bytes &out,
                      std::size_t step = 1 << 20);

} // namespace codectest
