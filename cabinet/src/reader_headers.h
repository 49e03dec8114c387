#pragma once

// The reader's own view of a cabinet's headers. libmspack keeps what the
// notifications need (which files continue from the previous part, the names
// of the neighbouring parts, per-part file lists) out of reach once parts are
// joined, so the reader parses each part itself and uses libmspack only to
// decode folders.

#include "cabinet/reader.h"

#include <string>
#include <vector>

namespace cab::detail {

struct FolderEntry {
    std::uint32_t dataOffset = 0;
    std::uint16_t blockCount = 0;
    std::uint16_t compression = 0;
};

struct FileEntry {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0; // in the folder's uncompressed stream
    std::uint16_t folder = 0; // index, or one of the continuation markers
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attribs = 0;

    bool fromPrevious() const;
    bool toNext() const;
};

struct Header {
    std::uint32_t length = 0;
    std::uint32_t filesOffset = 0;
    std::uint8_t versionMinor = 0;
    std::uint8_t versionMajor = 0;
    std::uint16_t folderCount = 0;
    std::uint16_t fileCount = 0;
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint16_t iCabinet = 0;
    std::uint16_t headerReserve = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::string prevName, prevDisk, nextName, nextDisk;
    std::vector<FolderEntry> folders;
    std::vector<FileEntry> files;

    bool hasPrevious() const;
    bool hasNext() const;
    // Some file of this part continues into the next part.
    bool continuesToNext() const;
};

// Reads the header of the cabinet in `file` (from offset 0); with `entries`
// also its folder and file records. Returns a ReaderError (kErrNone on success).
int readHeader(const Io &io, FileHandle file, bool entries, Header &out);

// Whether a folder's compression type is one the decoders handle.
bool compressionSupported(std::uint16_t type);

} // namespace cab::detail
