#pragma once

// Buffered sequential writer over a file opened through the platform layer.
// Tracks the position the next byte lands at and keeps the first failure.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace zipengine {

class ArchiveOutput {
public:
    // Takes over `file` (closed by the destructor); `position` is the file
    // pointer it stands at.
    ArchiveOutput(plat::HANDLE file, std::uint64_t position);
    ~ArchiveOutput();
    ArchiveOutput(const ArchiveOutput &) = delete;
    ArchiveOutput &operator=(const ArchiveOutput &) = delete;

    bool write(const void *data, std::size_t len);
    bool flush();
    // Flushes and closes; false when a write failed.
    bool close();
    std::uint64_t position() const { return position_; }
    plat::HANDLE handle() const { return file_; }
    // Drops what is buffered and not yet written (after a failure).
    void discard() { buffer_.clear(); }
    // The platform error of the first failure (ERROR_DISK_FULL ...), 0 if none.
    plat::DWORD error() const { return error_; }

private:
    plat::HANDLE file_;
    std::uint64_t position_;
    std::vector<std::uint8_t> buffer_;
    plat::DWORD error_ = 0;
};

// Reads exactly len bytes at offset through the platform layer.
bool readAt(plat::HANDLE file, std::uint64_t offset, void *buf, std::size_t len);

} // namespace zipengine
