#pragma once

// Streams one entry of a parsed archive to a Sink: local header, optional
// decryption, decoding, then the CRC-32 and size checks.

#include <cstddef>
#include <optional>
#include <string_view>

#include "archive_file.h"
#include "central_directory.h"
#include "codecs/codec.h"
#include "unzip_error.h"

namespace unzip {

// Decodes entry `index` into out. password is used only for encrypted
// entries (PasswordRequired when missing). Ok only after the whole data was
// delivered and its size and CRC-32 matched the directory. Errors:
// BadEntryIndex, EntryOnOtherDisk, BadLocalHeader, BadDataDescriptor,
// UnsupportedMethod, UnsupportedEncryption, PasswordRequired, WrongPassword,
// DataError, CrcMismatch, SizeMismatch, Truncated, ReadError, Stopped,
// OutOfMemory.
Error readEntry(ArchiveFile &file, const ArchiveDirectory &dir, std::size_t index,
                codecs::Sink &out, std::optional<std::string_view> password = std::nullopt);

// The same for an entry whose local header starts at headerOffset of file
// (the segment of a spanned set that holds it); no disk check.
Error readEntryAt(ArchiveFile &file, const CentralEntry &e, std::uint64_t headerOffset,
                  codecs::Sink &out, std::optional<std::string_view> password = std::nullopt);

// A Sink that drops everything (testing an archive).
class DiscardSink final : public codecs::Sink {
public:
    bool write(const std::uint8_t *, std::size_t) override { return true; }
};

} // namespace unzip
