#pragma once

// Helpers of the unzip reader tests: building archives with the installed
// tools, reading them back through the reader.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive_file.h"
#include "central_directory.h"
#include "codecs/codec.h"

namespace unziptest {

using Bytes = std::vector<std::uint8_t>;

// True when the program is on PATH.
bool haveTool(const std::string &name);
// Runs a shell command; true when it exited with 0.
bool run(const std::string &command);
// Runs a Python program with the given arguments; true on success.
bool runPython(const std::string &program, const std::string &args);

Bytes readBytes(const std::string &path);
void writeBytes(const std::string &path, const Bytes &bytes);
Bytes toBytes(const std::string &s);

// Collects everything written to it.
class VectorSink final : public codecs::Sink {
public:
    bool write(const std::uint8_t *data, std::size_t len) override
    {
        bytes.insert(bytes.end(), data, data + len);
        return true;
    }
    Bytes bytes;
};

// Parses archive bytes held in memory.
struct Parsed {
    std::unique_ptr<unzip::MemoryArchiveFile> file;
    unzip::ArchiveDirectory dir;
    unzip::Error error = unzip::Error::Ok;
};
Parsed parse(Bytes bytes);

// The decoded name of entry i.
std::string entryName(const unzip::ArchiveDirectory &dir, std::size_t i);
// Index of the entry with that decoded name, or -1.
long findEntry(const unzip::ArchiveDirectory &dir, const std::string &name);

// Deterministic test content of the given length.
Bytes pattern(std::size_t length, unsigned seed = 1);

} // namespace unziptest

#define SKIP_WITHOUT(tool)                                                                         \
    do {                                                                                           \
        if (!unziptest::haveTool(tool))                                                            \
            GTEST_SKIP() << tool << " is not installed";                                           \
    } while (0)
