#pragma once

// Turning the caller's file list into the files to add: the quoted list form,
// wildcard expansion, recursion into subfolders, the stored name of each file
// and the name, extension and date filters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filetime.h"

namespace zipengine {

// Items of a list: double-quoted items (which may hold blanks) and unquoted
// items separated by blanks; with `semicolons`, ';' separates too.
std::vector<std::string> splitList(std::string_view text, bool semicolons = false);

enum class NameMode {
    NoFolders, // the file name only
    Relative,  // relative to the folder part of the pattern that found the file
    Full,      // the whole path without drive letter and leading backslashes
};

// A name filter: items separated by blanks or ';' (quotes keep blanks). An
// item with '*' or '?' is matched against the file name with Windows wildcard
// rules; an item starting with '.' matches the extension ("." + extension);
// any other item matches the whole file name. All comparisons ignore case.
class NameFilter {
public:
    explicit NameFilter(std::string_view text);
    bool empty() const { return items_.empty(); }
    bool matches(std::string_view fileName) const;

private:
    std::vector<std::string> items_;
};

// The date filter text: month, day and two-digit year, each "%2d". Years 80
// to 99 are 1980 to 1999, 00 to 79 are 2000 to 2079. Returns the start of
// that day in local time as a local FILETIME, nullopt when the text is not a
// valid date.
std::optional<std::uint64_t> parseDateFilter(std::string_view text);

struct SourceFile {
    std::string path;       // full Windows path
    std::string storedName; // '/' separators; folders end in '/'
    bool isFolder = false;
    std::uint32_t attributes = 0;
    plat::FILETIME lastWrite; // UTC
    std::uint64_t size = 0;
};

struct SourceOptions {
    bool recurse = false;
    NameMode names = NameMode::Full;
    const NameFilter *include = nullptr;
    const NameFilter *exclude = nullptr;
    std::optional<std::uint64_t> notBefore; // local FILETIME value
    std::vector<std::string> skipPaths;     // full paths never added (the archive itself)
};

struct SourceScan {
    std::vector<SourceFile> files; // in the order found, stored names unique
    bool anyPatternMatched = false;
};

// Expands every item of the list. A folder named without wildcards stands
// for all its files (and, recursed, its subfolders) under its own name.
SourceScan scanSources(const std::vector<std::string> &items, const SourceOptions &options);

// Whether a name needs the UTF-8 flag (any byte outside ASCII).
bool needsUtf8(std::string_view name);

// Case-insensitive (ASCII) comparison of stored names.
bool sameName(std::string_view a, std::string_view b);
std::string foldName(std::string_view name);

} // namespace zipengine
