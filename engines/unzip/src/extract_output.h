#pragma once

// Writing one extracted file: the data goes to a temporary file beside the
// target, which replaces the target only once it is complete and checked.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "central_directory.h"
#include "codecs/codec.h"
#include "platform/filetime.h"
#include "platform/handle.h"

namespace unzip {

// Reports the share of an entry done so far (0..100) whenever it changes;
// returning false stops the entry.
using PercentHook = std::function<bool(int percent)>;

// Counts what passes and reports the percentage; a base for both sinks.
class ProgressSink : public codecs::Sink {
public:
    ProgressSink(std::uint64_t total, PercentHook hook) : total_(total), hook_(std::move(hook)) {}
    bool write(const std::uint8_t *data, std::size_t len) override;
    // True when the hook asked to stop.
    bool stopped() const { return stopped_; }

protected:
    virtual bool put(const std::uint8_t *, std::size_t) { return true; }

private:
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    int percent_ = -1;
    PercentHook hook_;
    bool stopped_ = false;
};

// Writes to an open file through the platform layer.
class FileSink final : public ProgressSink {
public:
    FileSink(plat::HANDLE file, std::uint64_t total, PercentHook hook)
        : ProgressSink(total, std::move(hook)), file_(file)
    {
    }
    bool diskFull() const { return diskFull_; }
    bool writeFailed() const { return writeFailed_; }

protected:
    bool put(const std::uint8_t *data, std::size_t len) override;

private:
    plat::HANDLE file_;
    bool diskFull_ = false;
    bool writeFailed_ = false;
};

// Modification time of an entry: the extended-timestamp field (UTC) when
// present, else the DOS date and time read as local time. nullopt when the
// stored date is invalid.
std::optional<plat::FILETIME> entryModificationTime(const ArchiveDirectory &dir,
                                                    const CentralEntry &e);

// Creates every folder of `relative` below `base` (base itself included).
// False when a component exists as a file or cannot be created; diskFull then
// says whether the medium was full.
bool createFolders(const std::string &base, const std::string &relative, bool &diskFull);

// A new empty temporary file in `folder`; empty on failure.
std::string createTemporaryBeside(const std::string &folder);

} // namespace unzip
