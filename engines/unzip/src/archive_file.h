#pragma once

// Random-access byte source the archive is read from. The engine reads
// archives through this small interface so the same code runs over a host
// file, a file opened through the platform layer, or memory (tests, fuzzing).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "unzip_error.h"

namespace unzip {

class ArchiveFile {
public:
    virtual ~ArchiveFile() = default;
    // Size of the whole file in bytes.
    virtual std::uint64_t size() const = 0;
    // Reads up to len bytes at offset into buf. Returns the number read (less
    // than len only at the end of the file) or -1 on a read failure.
    virtual std::ptrdiff_t readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len) = 0;
};

// Reads exactly len bytes at offset: Ok, Truncated (the file ends first) or ReadError.
Error readExact(ArchiveFile &file, std::uint64_t offset, std::uint8_t *buf, std::size_t len);

// What identifies one version of a host file: a rewritten or replaced archive
// differs in at least one of these.
struct FileIdentity {
    std::string path;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    bool operator==(const FileIdentity &) const = default;
};

// A host file read with pread().
class HostArchiveFile final : public ArchiveFile {
public:
    // Opens path read-only; null with error OpenFailed when it cannot.
    static std::unique_ptr<HostArchiveFile> open(const std::string &path, Error &error);
    ~HostArchiveFile() override;
    HostArchiveFile(const HostArchiveFile &) = delete;
    HostArchiveFile &operator=(const HostArchiveFile &) = delete;

    std::uint64_t size() const override { return identity_.size; }
    std::ptrdiff_t readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len) override;
    // Identity taken from the open descriptor, so it describes what is read.
    const FileIdentity &identity() const { return identity_; }

private:
    HostArchiveFile(int fd, FileIdentity identity) : fd_(fd), identity_(std::move(identity)) {}
    int fd_;
    FileIdentity identity_;
};

// An archive held in memory (the bytes are copied or viewed, see constructors).
class MemoryArchiveFile final : public ArchiveFile {
public:
    // Views data that must outlive this object.
    MemoryArchiveFile(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    // Owns a copy.
    explicit MemoryArchiveFile(std::vector<std::uint8_t> bytes)
        : owned_(std::move(bytes)), data_(owned_.data()), size_(owned_.size())
    {
    }
    std::uint64_t size() const override { return size_; }
    std::ptrdiff_t readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len) override;

private:
    std::vector<std::uint8_t> owned_;
    const std::uint8_t *data_;
    std::size_t size_;
};

} // namespace unzip
