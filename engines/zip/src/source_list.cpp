#include "source_list.h"

#include <cctype>
#include <unordered_set>

#include "platform/file.h"
#include "platform/path.h"

namespace zipengine {

namespace {

bool hasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

std::string toSlashes(std::string s)
{
    for (char &c : s)
        if (c == '\\')
            c = '/';
    return s;
}

class Scanner {
public:
    Scanner(const SourceOptions &o, SourceScan &out) : opt_(o), out_(out)
    {
        for (const auto &p : o.skipPaths)
            skip_.insert(foldName(p));
    }

    void item(const std::string &raw)
    {
        const std::string full = plat::fullPathName(raw);
        if (full.empty())
            return;
        std::string folder = plat::pathFolder(full);
        std::string pattern = plat::pathFileName(full);
        std::string base = folder;
        bool namedFolder = false;
        if (!hasWildcard(pattern)) {
            const plat::DWORD a = plat::getFileAttributes(full.c_str());
            if (a != plat::INVALID_FILE_ATTRIBUTES && (a & plat::FILE_ATTRIBUTE_DIRECTORY)) {
                namedFolder = true;
                folder = full;
                pattern = "*.*";
            }
        }
        if (namedFolder && opt_.recurse)
            addFolder(folder, base);
        walk(folder, pattern, base);
    }

private:
    void walk(const std::string &folder, const std::string &pattern, const std::string &base)
    {
        std::vector<std::string> subfolders;
        plat::WIN32_FIND_DATA fd;
        plat::HANDLE h = plat::findFirstFile(plat::joinPath(folder, pattern).c_str(), &fd);
        if (h != plat::INVALID_HANDLE_VALUE) {
            do {
                if (fd.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY)
                    continue;
                out_.anyPatternMatched = true;
                addFile(folder, fd, base);
            } while (plat::findNextFile(h, &fd));
            plat::findClose(h);
        }
        if (!opt_.recurse)
            return;
        h = plat::findFirstFile(plat::joinPath(folder, "*").c_str(), &fd);
        if (h == plat::INVALID_HANDLE_VALUE)
            return;
        do {
            const std::string_view n = fd.cFileName;
            if ((fd.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) && n != "." && n != "..")
                subfolders.push_back(plat::joinPath(folder, n));
        } while (plat::findNextFile(h, &fd));
        plat::findClose(h);
        for (const auto &sub : subfolders) {
            addFolder(sub, base);
            walk(sub, pattern, base);
        }
    }

    std::string storedName(const std::string &path, const std::string &base) const
    {
        switch (opt_.names) {
        case NameMode::NoFolders: return plat::pathFileName(path);
        case NameMode::Relative: {
            const std::string prefix = plat::addBackslash(base);
            if (path.size() > prefix.size() && equalNoCase(path.substr(0, prefix.size()), prefix))
                return toSlashes(path.substr(prefix.size()));
            break;
        }
        case NameMode::Full: break;
        }
        std::size_t start = 0;
        if (path.size() >= 2 && path[1] == ':')
            start = 2;
        while (start < path.size() && (path[start] == '\\' || path[start] == '/'))
            ++start;
        return toSlashes(path.substr(start));
    }

    void addFolder(const std::string &path, const std::string &base)
    {
        if (opt_.names == NameMode::NoFolders || (opt_.include && !opt_.include->empty()))
            return;
        SourceFile f;
        f.path = path;
        f.isFolder = true;
        f.storedName = storedName(path, base);
        if (f.storedName.empty())
            return;
        f.storedName += '/';
        plat::WIN32_FIND_DATA fd;
        plat::HANDLE h = plat::findFirstFile(path.c_str(), &fd);
        if (h != plat::INVALID_HANDLE_VALUE) {
            f.attributes = fd.dwFileAttributes;
            f.lastWrite = fd.ftLastWriteTime;
            plat::findClose(h);
        } else {
            f.attributes = plat::FILE_ATTRIBUTE_DIRECTORY;
            plat::getSystemTimeAsFileTime(&f.lastWrite);
        }
        push(std::move(f));
    }

    void addFile(const std::string &folder, const plat::WIN32_FIND_DATA &fd,
                 const std::string &base)
    {
        const std::string_view name = fd.cFileName;
        if (opt_.include && !opt_.include->empty() && !opt_.include->matches(name))
            return;
        if (opt_.exclude && !opt_.exclude->empty() && opt_.exclude->matches(name))
            return;
        if (opt_.notBefore) {
            plat::FILETIME local;
            plat::fileTimeToLocalFileTime(&fd.ftLastWriteTime, &local);
            if (plat::fileTimeToU64(local) < *opt_.notBefore)
                return;
        }
        SourceFile f;
        f.path = plat::joinPath(folder, name);
        if (skip_.count(foldName(f.path)))
            return;
        f.storedName = storedName(f.path, base);
        f.attributes = fd.dwFileAttributes;
        f.lastWrite = fd.ftLastWriteTime;
        f.size = (std::uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        push(std::move(f));
    }

    void push(SourceFile f)
    {
        if (names_.insert(foldName(f.storedName)).second)
            out_.files.push_back(std::move(f));
    }

    const SourceOptions &opt_;
    SourceScan &out_;
    std::unordered_set<std::string> skip_;
    std::unordered_set<std::string> names_;
};

} // namespace

std::vector<std::string> splitList(std::string_view text, bool semicolons)
{
    std::vector<std::string> items;
    std::size_t i = 0;
    auto isSep = [&](char c) { return c == ' ' || c == '\t' || (semicolons && c == ';'); };
    while (i < text.size()) {
        if (isSep(text[i])) {
            ++i;
            continue;
        }
        std::string item;
        if (text[i] == '"') {
            const std::size_t end = text.find('"', i + 1);
            const std::size_t stop = end == std::string_view::npos ? text.size() : end;
            item = std::string(text.substr(i + 1, stop - i - 1));
            i = stop == text.size() ? stop : stop + 1;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !isSep(text[i]))
                ++i;
            item = std::string(text.substr(start, i - start));
        }
        if (!item.empty())
            items.push_back(std::move(item));
    }
    return items;
}

NameFilter::NameFilter(std::string_view text) : items_(splitList(text, true)) {}

bool NameFilter::matches(std::string_view fileName) const
{
    for (const auto &item : items_) {
        if (hasWildcard(item)) {
            if (plat::matchesWildcard(item, fileName))
                return true;
        } else if (item.front() == '.') {
            const std::size_t dot = fileName.rfind('.');
            if (dot != std::string_view::npos && equalNoCase(fileName.substr(dot), item))
                return true;
        } else if (equalNoCase(fileName, item)) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint64_t> parseDateFilter(std::string_view text)
{
    if (text.size() < 6)
        return std::nullopt;
    int v[3];
    for (int k = 0; k < 3; ++k) {
        int n = 0;
        bool digit = false;
        for (int j = 0; j < 2; ++j) {
            const char c = text[k * 2 + j];
            if (c >= '0' && c <= '9') {
                n = n * 10 + (c - '0');
                digit = true;
            } else if (c != ' ' || digit) {
                return std::nullopt;
            }
        }
        if (!digit)
            return std::nullopt;
        v[k] = n;
    }
    plat::SYSTEMTIME st;
    st.wMonth = static_cast<plat::WORD>(v[0]);
    st.wDay = static_cast<plat::WORD>(v[1]);
    st.wYear = static_cast<plat::WORD>(v[2] >= 80 ? 1900 + v[2] : 2000 + v[2]);
    plat::FILETIME ft;
    if (!plat::systemTimeToFileTime(&st, &ft))
        return std::nullopt;
    return plat::fileTimeToU64(ft);
}

SourceScan scanSources(const std::vector<std::string> &items, const SourceOptions &options)
{
    SourceScan scan;
    Scanner scanner(options, scan);
    for (const auto &item : items)
        scanner.item(item);
    return scan;
}

bool needsUtf8(std::string_view name)
{
    for (unsigned char c : name)
        if (c >= 0x80)
            return true;
    return false;
}

std::string foldName(std::string_view name)
{
    std::string s(name);
    for (char &c : s)
        c = c == '\\' ? '/' : lowerAscii(c);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    return foldName(a) == foldName(b);
}

} // namespace zipengine
