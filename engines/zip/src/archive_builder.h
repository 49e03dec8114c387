#pragma once

// Writes the entries of the new archive in order: unchanged entries copied
// byte for byte from the old archive, new entries compressed on a pool of
// threads (whole entries) or streamed (large files), then the central
// directory and the end records.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive_output.h"
#include "old_archive.h"
#include "platform/filetime.h"
#include "reporter.h"
#include "zip_records.h"

namespace zipengine {

struct NewItem {
    std::string storedName;
    std::string sourcePath; // empty for data from memory
    bool isFolder = false;
    std::uint32_t attributes = 0;
    plat::FILETIME lastWrite; // UTC
    std::uint64_t size = 0;
    const std::uint8_t *memory = nullptr;
};

struct BuildOptions {
    int factor = 5;
    std::optional<std::string> password;
    bool skipUnopenable = false;
    const char *verb = "adding";
};

class ArchiveBuilder {
public:
    ArchiveBuilder(Reporter &reporter, ArchiveOutput &out, const BuildOptions &options)
        : rep_(reporter), out_(out), opt_(options)
    {
    }

    // Copies the listed old entries (indices into old.entries) to the output.
    int copyOld(OldArchive &old, const std::vector<std::size_t> &keep);
    // Keeps the listed old entries where they are (writing into the archive itself).
    void keepInPlace(const OldArchive &old, const std::vector<std::size_t> &keep);
    // Adds the items; item numbers in the status lines continue from `firstNumber`.
    int addItems(const std::vector<NewItem> &items, long firstNumber, long total);
    // Writes the central directory and the end records.
    int finish(const Bytes &comment);

    std::vector<CentralRecord> &central() { return central_; }
    // Indices of the items that went into the archive (skipped ones are not).
    const std::vector<std::size_t> &added() const { return added_; }
    // Where finish() put the central directory.
    std::uint64_t directoryOffset() const { return directoryOffset_; }

private:
    struct Prepared;
    Prepared prepare(const NewItem &item) const;
    int writePrepared(const NewItem &item, Prepared &p);
    int streamItem(const NewItem &item);
    int outputError() const;
    CentralRecord baseRecord(const NewItem &item) const;

    Reporter &rep_;
    ArchiveOutput &out_;
    BuildOptions opt_;
    std::vector<CentralRecord> central_;
    std::vector<std::size_t> added_;
    std::uint64_t directoryOffset_ = 0;
    std::atomic<bool> cancel_{false};
};

// DOS date and time (local) of a UTC file time; 1980-01-01 when earlier.
void dosStamp(const plat::FILETIME &utc, std::uint16_t &date, std::uint16_t &time);

} // namespace zipengine
