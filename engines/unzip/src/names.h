#pragma once

// Entry names: from the bytes stored in the archive to UTF-8 (the system's
// ANSI code page), the long-name test, and the mapping of a name to a path
// that stays inside the destination folder.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace unzip {

// Code page 437 bytes to UTF-8 (bytes below 0x80 are ASCII).
std::string cp437ToUtf8(std::span<const std::uint8_t> bytes);

// Copies valid UTF-8; each byte that does not start a valid sequence (bad
// lead byte, missing continuation, overlong form, surrogate, beyond U+10FFFF)
// becomes U+FFFD.
std::string sanitizeUtf8(std::span<const std::uint8_t> bytes);

// True when the bytes are valid UTF-8 throughout.
bool isValidUtf8(std::span<const std::uint8_t> bytes);

// The entry's name in UTF-8: the stored bytes as UTF-8 when flag bit 11 is
// set, else the Unicode path extra field when it is version 1 and its CRC-32
// matches the stored name, else the stored bytes as CP437 - except that an
// archive made on a system other than DOS/OS2/Windows whose stored name is
// valid UTF-8 is taken as UTF-8 (zip on Linux writes names that way without
// the flag). NUL bytes become '_' so the name survives as a C string.
std::string decodeEntryName(std::span<const std::uint8_t> raw, std::uint16_t flags,
                            std::span<const std::uint8_t> extra, std::uint16_t versionMadeBy);

// Every '/' replaced by '\'.
std::string toBackslashes(std::string name);

// True when some component of the name (split at '/' and '\') is not of the
// 8.3 form; see README.md for the rule.
bool isLongName(std::string_view name);

// Maps an entry name to a relative path below the destination folder, with
// '\' separators; never absolute, never climbing out. Empty when nothing
// usable remains. See README.md for the rule.
std::string safeRelativePath(std::string_view name);

} // namespace unzip
