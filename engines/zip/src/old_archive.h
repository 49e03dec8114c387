#pragma once

// The archive being changed: its catalogue (read with the reading engine's
// directory parser) and, per entry, the byte range its local header, data and
// data descriptor occupy, so unchanged entries are copied without decoding.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "central_directory.h"
#include "platform/file.h"
#include "zip_records.h"

namespace zipengine {

class PlatArchiveFile final : public unzip::ArchiveFile {
public:
    PlatArchiveFile(plat::HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    ~PlatArchiveFile() override;
    std::uint64_t size() const override { return size_; }
    std::ptrdiff_t readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len) override;
    plat::HANDLE handle() const { return file_; }

private:
    plat::HANDLE file_;
    std::uint64_t size_;
};

struct OldEntry {
    CentralRecord record;         // localHeaderOffset already corrected to a file offset
    std::uint64_t rangeStart = 0; // file offset of the local header
    std::uint64_t rangeEnd = 0;   // end of its data (and descriptor)
};

struct OldArchive {
    std::unique_ptr<PlatArchiveFile> file;
    std::vector<OldEntry> entries;
    Bytes comment;
    std::uint64_t directoryStart = 0; // file offset where new data may be appended
    std::int64_t offsetCorrection = 0;
};

// Opens and parses the archive. Result codes: 0, kOpenFailed-like codes are
// returned as kCreateFailed (cannot open), kDamaged, kBadStructure, kOutOfMemory.
int loadOldArchive(const std::string &path, OldArchive &out);

} // namespace zipengine
