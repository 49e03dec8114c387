#pragma once

// The archive catalogue as the list view shows it: loading the entry
// records through the extract library and the text of every column.

#include "common/records.h"

#include <optional>
#include <string>
#include <vector>

namespace brx {

enum class Column { Name, Size, Compressed, Ratio, Modified, Attributes, Crc, Path, Method, Index };

struct ColumnInfo {
    Column column;
    const char *key;    // name on the command line
    const char *header; // column title
    bool rightAligned;
};

// Every column in the view's order.
const std::vector<ColumnInfo> &allColumns();
// The column with this command-line name, or null.
const ColumnInfo *findColumn(const std::string &key);

// The entry records of an archive; result 0, else the catalogue's failure
// (the records are then empty).
struct Catalogue {
    int kind = ARCHIVE_UNKNOWN;
    std::vector<ZIPINFOEX> entries;
};
int loadCatalogue(const std::string &windowsPath, int kind, Catalogue *out);

// True for a record the view shows (folder records are left out: the folder
// attribute, or a stored name ending in a separator).
bool isListed(const ZIPINFOEX &entry);

// The text of one cell; `index` is the record's position in the catalogue.
std::string cellText(const ZIPINFOEX &entry, Column column, std::size_t index);

// Ratio in percent: 0 when the size is 0 or smaller than the compressed size.
int ratioOf(const ZIPINFOEX &entry);

// Base name and folder part of the stored path.
std::string entryName(const ZIPINFOEX &entry);
std::string entryFolder(const ZIPINFOEX &entry);

// Thousands-separated decimal through the utility library.
std::string withCommas(unsigned long long value);

} // namespace brx
