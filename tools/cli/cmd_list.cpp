// brx list: the catalogue in the list view's columns and formats.

#include "brxextrc.h"
#include "commands.h"
#include "common.h"
#include "listing.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <sstream>

namespace brx {

namespace {

const CommandSyntax &syntax()
{
    static const CommandSyntax s{
        "list",
        "[options] ARCHIVE",
        "Lists the entries of a ZIP archive or cabinet with the list view's columns:\n"
        "name, size, compressed size, ratio, modified, attributes (R H S A, EN encrypted,\n"
        "LFN long name), CRC-32, path, method and index. Folder records are not listed.",
        {
            {"columns", 'c', "LIST",
             "comma-separated columns to show (default: all):\n" + std::string(32, ' ') +
                 "name,size,compressed,ratio,modified,attributes,crc,"
                 "path,method,index"},
            {"sort", 's', "COLUMN", "sort by this column (default: index)"},
            {"reverse", 'r', "", "sort in descending order"},
            {"tab", 't', "", "tab-separated cells without padding and totals"},
            {"no-header", 0, "", "leave out the header line"},
            diskOption(),
        },
        "Equal values sort by name, then by folder, as the list view does.\n",
    };
    return s;
}

// The view's comparison: the column's value, ties by name ascending, then by
// folder (ascending for the name and path columns, else in the column's
// direction); nothing breaks ties of the index.
struct Sorter {
    Column column;
    bool descending;
    const std::vector<ZIPINFOEX> &entries;

    static int text(const std::string &a, const std::string &b)
    {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive);
    }
    template <typename T> static int number(T a, T b) { return a < b ? -1 : a > b ? 1 : 0; }

    int primary(std::size_t a, std::size_t b) const
    {
        const ZIPINFOEX &x = entries[a], &y = entries[b];
        switch (column) {
        case Column::Name: return text(entryName(x), entryName(y));
        case Column::Size: return number(x.uncompressedSize, y.uncompressedSize);
        case Column::Compressed: return number(x.compressedSize, y.compressedSize);
        case Column::Ratio: return number(ratioOf(x), ratioOf(y));
        case Column::Modified: return text(cellKey(x), cellKey(y));
        case Column::Attributes: return number(x.attributes & 0x18027u, y.attributes & 0x18027u);
        case Column::Crc: return number(x.crc32, y.crc32);
        case Column::Path: return text(entryFolder(x), entryFolder(y));
        case Column::Method: return number(x.method, y.method);
        case Column::Index: return number(a, b);
        }
        return 0;
    }
    // "MM/DD/YYYY HH:MM" reordered so text order is time order.
    static std::string cellKey(const ZIPINFOEX &e)
    {
        const std::string t(e.dateTime, strnlen(e.dateTime, kEntryDateTimeSize));
        if (t.size() < 16)
            return t;
        return t.substr(6, 4) + t.substr(0, 2) + t.substr(3, 2) + t.substr(11, 5);
    }

    bool operator()(std::size_t a, std::size_t b) const
    {
        const int d = descending ? -1 : 1;
        int r = primary(a, b) * d;
        if (r || column == Column::Index)
            return r < 0;
        const ZIPINFOEX &x = entries[a], &y = entries[b];
        const int byName = text(entryName(x), entryName(y));
        const int byFolder = text(entryFolder(x), entryFolder(y));
        if (column == Column::Name)
            r = byFolder;
        else if (column == Column::Path)
            r = byName;
        else
            r = byName ? byName : byFolder * d;
        return r < 0;
    }
};

std::optional<std::vector<const ColumnInfo *>> chosenColumns(const std::string &list)
{
    std::vector<const ColumnInfo *> chosen;
    if (list.empty()) {
        for (const ColumnInfo &c : allColumns())
            chosen.push_back(&c);
        return chosen;
    }
    std::istringstream in(list);
    for (std::string key; std::getline(in, key, ',');) {
        const ColumnInfo *c = findColumn(key);
        if (!c)
            return std::nullopt;
        chosen.push_back(c);
    }
    return chosen;
}

std::string kilobytes(unsigned long long bytes)
{
    return withCommas(bytes / 1024 + (bytes % 1024 ? 1 : 0));
}

void printTable(const std::vector<std::vector<std::string>> &rows,
                const std::vector<const ColumnInfo *> &columns, bool tab)
{
    std::vector<std::size_t> widths(columns.size(), 0);
    for (const auto &row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i],
                                 static_cast<std::size_t>(QString::fromStdString(row[i]).size()));
    for (const auto &row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (tab) {
                line += (i ? "\t" : "") + row[i];
                continue;
            }
            const std::size_t pad =
                widths[i] - static_cast<std::size_t>(QString::fromStdString(row[i]).size());
            if (i)
                line += "  ";
            if (columns[i]->rightAligned)
                line += std::string(pad, ' ') + row[i];
            else
                line += row[i] + (i + 1 < row.size() ? std::string(pad, ' ') : "");
        }
        std::printf("%s\n", line.c_str());
    }
}

} // namespace

int listCommand(int argc, char **argv, int first)
{
    const ParsedArgs args = parseArgs(syntax(), argc, argv, first);
    if (auto done = checkArgs(syntax(), args))
        return *done;
    if (args.positional.size() != 1)
        return usageError(syntax(), "name one archive");
    const auto columns = chosenColumns(args.value("columns"));
    if (!columns)
        return usageError(syntax(), "unknown column in --columns " + args.value("columns"));
    const ColumnInfo *sortColumn = findColumn(args.value("sort", "index"));
    if (!sortColumn)
        return usageError(syntax(), "unknown column for --sort: " + args.value("sort"));
    PromptOptions prompts;
    if (!promptOptionsFrom(args, &prompts))
        return kExitUsage;
    setPromptOptions(prompts);

    int exitCode = 0;
    const auto archive = existingArchive(args.positional[0], &exitCode);
    if (!archive)
        return exitCode;
    Catalogue catalogue;
    const int loaded = loadCatalogue(archive->windowsPath, archive->kind, &catalogue);
    if (loaded != 0) {
        errorLine("the file '" + args.positional[0] + "' is empty or could not be opened");
        return loaded > 0 && loaded < 256 ? loaded : kExitNotArchive;
    }

    std::vector<std::size_t> order;
    unsigned long long total = 0, packed = 0;
    for (std::size_t i = 0; i < catalogue.entries.size(); ++i) {
        total += catalogue.entries[i].uncompressedSize;
        packed += catalogue.entries[i].compressedSize;
        if (isListed(catalogue.entries[i]))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     Sorter{sortColumn->column, args.has("reverse"), catalogue.entries});

    const bool tab = args.has("tab");
    std::vector<std::vector<std::string>> rows;
    if (!args.has("no-header")) {
        rows.emplace_back();
        for (const ColumnInfo *c : *columns)
            rows.back().push_back(c->header);
    }
    for (const std::size_t i : order) {
        rows.emplace_back();
        for (const ColumnInfo *c : *columns)
            rows.back().push_back(cellText(catalogue.entries[i], c->column, i));
    }
    printTable(rows, *columns, tab);
    if (!tab)
        std::printf("%s file(s), %sKB (%sKB compressed), %s\n", withCommas(order.size()).c_str(),
                    kilobytes(total).c_str(), kilobytes(packed).c_str(),
                    GetTypeString(archive->kind));
    return kExitOk;
}

} // namespace brx
