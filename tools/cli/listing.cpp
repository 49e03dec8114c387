#include "listing.h"

#include "brxextrc.h"
#include "brxutil.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <cstdio>
#include <cstring>

namespace brx {

namespace {

constexpr std::uint32_t kFolderAttribute = 0x10;

QString timeFormatWithoutSeconds(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}"));
    format.remove(seconds);
    return format.trimmed();
}

// "MM/DD/YYYY HH:MM" in the user's short date and a time without seconds;
// empty when the text is no valid date.
std::string modifiedText(const ZIPINFOEX &entry)
{
    char text[kEntryDateTimeSize + 1] = {};
    std::memcpy(text, entry.dateTime, kEntryDateTimeSize);
    unsigned month = 0, day = 0, year = 0, hour = 0, minute = 0;
    if (std::sscanf(text, "%u/%u/%u %u:%u", &month, &day, &year, &hour, &minute) != 5)
        return {};
    const QDate date(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day));
    const QTime time(static_cast<int>(hour), static_cast<int>(minute));
    if (!date.isValid() || !time.isValid())
        return {};
    const QLocale locale;
    return (locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
            locale.toString(time, timeFormatWithoutSeconds(locale)))
        .toStdString();
}

std::string attributeText(std::uint32_t attributes)
{
    std::string text;
    text += (attributes & ENTRY_READONLY) ? 'R' : '-';
    text += (attributes & ENTRY_HIDDEN) ? 'H' : '-';
    text += (attributes & ENTRY_SYSTEM) ? 'S' : '-';
    text += (attributes & ENTRY_ARCHIVE) ? 'A' : '-';
    if (attributes & ENTRY_ENCRYPTED)
        text += " EN";
    if (attributes & ENTRY_LONG_NAME)
        text += " LFN";
    return text;
}

const char *methodName(unsigned method)
{
    switch (method) {
    case 1: return "Shrunk";
    case 2: return "Reduced 1";
    case 3: return "Reduced 2";
    case 4: return "Reduced 3";
    case 5: return "Reduced 4";
    case 6: return "Imploded";
    case 7: return "Tokenized";
    case 8: return "Deflated";
    case 9: return "Enhanced Deflate";
    default: return "Stored";
    }
}

std::string storedPath(const ZIPINFOEX &entry)
{
    return std::string(entry.path, strnlen(entry.path, kEntryPathSize));
}

} // namespace

const std::vector<ColumnInfo> &allColumns()
{
    static const std::vector<ColumnInfo> columns = {
        {Column::Name, "name", "Name", false},
        {Column::Size, "size", "Size", true},
        {Column::Compressed, "compressed", "Compressed Size", true},
        {Column::Ratio, "ratio", "Ratio", true},
        {Column::Modified, "modified", "Modified", false},
        {Column::Attributes, "attributes", "Attributes", false},
        {Column::Crc, "crc", "CRC-32", true},
        {Column::Path, "path", "Path", false},
        {Column::Method, "method", "Method", false},
        {Column::Index, "index", "Index", true},
    };
    return columns;
}

const ColumnInfo *findColumn(const std::string &key)
{
    for (const ColumnInfo &c : allColumns())
        if (key == c.key)
            return &c;
    return nullptr;
}

int loadCatalogue(const std::string &windowsPath, int kind, Catalogue *out)
{
    out->kind = kind;
    out->entries.clear();
    int count = 0;
    const int counted = GetFileCount(windowsPath.c_str(), &count);
    if (counted != 0)
        return counted;
    if (count <= 0)
        return 0;
    // Zero-filled: a cabinet may announce one record more than it fills.
    std::vector<ZIPINFOEX> records(static_cast<std::size_t>(count));
    std::memset(records.data(), 0, records.size() * sizeof(ZIPINFOEX));
    ZIPINFOEX *array = records.data();
    int cabInfo = 0;
    const int loaded = LoadFile(windowsPath.c_str(), count, &array, &cabInfo);
    if (loaded != 0)
        return loaded;
    // A record the catalogue did not fill has no name; it is not an entry.
    for (ZIPINFOEX &record : records)
        if (record.path[0])
            out->entries.push_back(record);
    return 0;
}

bool isListed(const ZIPINFOEX &entry)
{
    // A stored name ending in a separator is a folder by the ZIP convention,
    // whatever attribute bits the record carries.
    const std::size_t length = strnlen(entry.path, kEntryPathSize);
    const bool folderName =
        length > 0 && (entry.path[length - 1] == '\\' || entry.path[length - 1] == '/');
    return (entry.attributes & kFolderAttribute) == 0 && !folderName;
}

int ratioOf(const ZIPINFOEX &entry)
{
    const std::uint64_t u = entry.uncompressedSize;
    const std::uint64_t c = entry.compressedSize;
    if (u == 0 || u < c)
        return 0;
    // (u - c) * 100 could overflow for sizes near 2^64; divide first then.
    const std::uint64_t saved = u - c;
    if (saved <= UINT64_MAX / 100)
        return static_cast<int>(saved * 100 / u);
    return static_cast<int>(saved / (u / 100));
}

std::string entryName(const ZIPINFOEX &entry)
{
    const std::string path = storedPath(entry);
    if (!entry.hasFolder)
        return path;
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string entryFolder(const ZIPINFOEX &entry)
{
    if (!entry.hasFolder)
        return {};
    const std::string path = storedPath(entry);
    const std::size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string withCommas(unsigned long long value)
{
    const unsigned long v = static_cast<unsigned long>(value);
    const char *text = FormatComma(&v);
    return text ? text : std::to_string(value);
}

std::string cellText(const ZIPINFOEX &entry, Column column, std::size_t index)
{
    switch (column) {
    case Column::Name: return entryName(entry);
    case Column::Size: return withCommas(entry.uncompressedSize);
    case Column::Compressed: return withCommas(entry.compressedSize);
    case Column::Ratio: {
        const int r = ratioOf(entry);
        char text[16];
        std::snprintf(text, sizeof text, "%s%d%%", r < 10 ? "0" : "", r);
        return text;
    }
    case Column::Modified: return modifiedText(entry);
    case Column::Attributes: return attributeText(entry.attributes);
    case Column::Crc: {
        if (entry.crc32 == 0)
            return {};
        char text[16];
        std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(entry.crc32));
        return text;
    }
    case Column::Path: return entryFolder(entry);
    case Column::Method: return methodName(entry.method);
    case Column::Index: return withCommas(index);
    }
    return {};
}

} // namespace brx
