#include "platform/ini.h"

#include "fs_internal.h"
#include "ini_internal.h"
#include "platform/errors.h"
#include "platform/path.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

namespace plat {
namespace detail {
namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool isHeader(std::string_view line, std::string *name)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return false;
    std::size_t close = line.find(']');
    *name =
        std::string(trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1)));
    return true;
}

} // namespace

bool splitIniLine(std::string_view line, std::string *key, std::string *value)
{
    line = trim(line);
    if (line.empty() || line.front() == ';')
        return false;
    std::size_t eq = line.find('=');
    *key = std::string(trim(line.substr(0, eq)));
    std::string_view v =
        eq == std::string_view::npos ? std::string_view() : trim(line.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    *value = std::string(v);
    return true;
}

bool IniDocument::load(const std::string &hostPath)
{
    preamble_.clear();
    sections_.clear();
    std::string text;
    if (!readHostFile(hostPath, &text, true))
        return false;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        first = false;
        std::string name;
        if (isHeader(line, &name))
            sections_.push_back(Section{name, line, {}});
        else if (sections_.empty())
            preamble_.push_back(line);
        else
            sections_.back().lines.push_back(line);
    }
    return true;
}

bool IniDocument::save(const std::string &hostPath) const
{
    std::string text;
    for (const std::string &l : preamble_)
        text += l + "\r\n";
    for (const Section &s : sections_) {
        text += s.header + "\r\n";
        for (const std::string &l : s.lines)
            text += l + "\r\n";
    }
    return writeHostFileAtomically(hostPath, text);
}

const IniDocument::Section *IniDocument::find(std::string_view section) const
{
    for (const Section &s : sections_)
        if (sameNameNoCase(s.name, section))
            return &s;
    return nullptr;
}

IniDocument::Section *IniDocument::find(std::string_view section)
{
    return const_cast<Section *>(std::as_const(*this).find(section));
}

IniDocument::Section &IniDocument::findOrAdd(std::string_view section)
{
    if (Section *s = find(section))
        return *s;
    // Keep a blank line between sections, as Windows writes them.
    std::vector<std::string> &last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!last.empty() && !trim(last.back()).empty())
        last.emplace_back();
    sections_.push_back(Section{std::string(section), "[" + std::string(section) + "]", {}});
    return sections_.back();
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    const Section *s = find(section);
    if (!s)
        return std::nullopt;
    std::string k, v;
    for (const std::string &line : s->lines)
        if (splitIniLine(line, &k, &v) && sameNameNoCase(k, key))
            return v;
    return std::nullopt;
}

void IniDocument::setValue(std::string_view section, std::string_view key,
                           std::optional<std::string_view> value)
{
    Section *s = value ? &findOrAdd(section) : find(section);
    if (!s)
        return;
    std::string k, v;
    for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
        if (splitIniLine(*it, &k, &v) && sameNameNoCase(k, key)) {
            if (value)
                *it = std::string(key) + "=" + std::string(*value);
            else
                s->lines.erase(it);
            return;
        }
    }
    if (value)
        appendLine(section, std::string(key) + "=" + std::string(*value));
}

void IniDocument::removeSection(std::string_view section)
{
    for (auto it = sections_.begin(); it != sections_.end(); ++it) {
        if (sameNameNoCase(it->name, section)) {
            sections_.erase(it);
            return;
        }
    }
}

bool IniDocument::hasSection(std::string_view section) const
{
    return find(section) != nullptr;
}

std::vector<std::string> IniDocument::sectionNames() const
{
    std::vector<std::string> out;
    for (const Section &s : sections_)
        out.push_back(s.name);
    return out;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const
{
    std::vector<std::string> out;
    const Section *s = find(section);
    if (!s)
        return out;
    std::string k, v;
    for (const std::string &line : s->lines) {
        if (!splitIniLine(line, &k, &v))
            continue;
        bool seen = false;
        for (const std::string &o : out)
            seen = seen || sameNameNoCase(o, k);
        if (!seen)
            out.push_back(k);
    }
    return out;
}

std::vector<std::string> IniDocument::dataLines(std::string_view section) const
{
    std::vector<std::string> out;
    if (const Section *s = find(section)) {
        for (const std::string &line : s->lines) {
            std::string_view t = trim(line);
            if (!t.empty() && t.front() != ';')
                out.emplace_back(t);
        }
    }
    return out;
}

void IniDocument::replaceSection(std::string_view section, const std::vector<std::string> &lines)
{
    findOrAdd(section).lines = lines;
}

void IniDocument::appendLine(std::string_view section, std::string_view line)
{
    Section &s = findOrAdd(section);
    auto pos = s.lines.end();
    while (pos != s.lines.begin() && trim(*(pos - 1)).empty())
        --pos; // before the blank lines that separate it from the next section
    s.lines.insert(pos, std::string(line));
}

} // namespace detail

namespace {

// Host file of an INI name: a bare name lives in the Windows folder.
std::optional<std::string> iniHostPath(const char *fileName)
{
    if (!fileName || !*fileName) {
        setLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::string_view name(fileName);
    if (name.find_first_of("\\/:") == std::string_view::npos)
        return hostWindowsFolder() + "/" + std::string(name);
    auto r = detail::resolvePath(name);
    if (!r)
        return std::nullopt;
    if (!r->exists && !r->parentExists) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return r->host;
}

// Copies a list of strings as terminated strings plus a final zero (Windows
// truncation rules for lists).
DWORD copyList(const std::vector<std::string> &items, char *buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    if (size == 1) {
        buffer[0] = 0;
        return 0;
    }
    DWORD pos = 0;
    for (const std::string &item : items) {
        if (pos + item.size() + 2 > size) {
            // Truncated: as much as fits, then the two terminators.
            DWORD room = size - 2 - pos;
            std::memcpy(buffer + pos, item.data(), room);
            buffer[size - 2] = 0;
            buffer[size - 1] = 0;
            return size - 2;
        }
        std::memcpy(buffer + pos, item.data(), item.size());
        pos += DWORD(item.size());
        buffer[pos++] = 0;
    }
    buffer[pos] = 0;
    return pos;
}

DWORD copyTruncated(std::string_view text, char *buffer, DWORD size)
{
    if (!buffer || size == 0)
        return 0;
    DWORD n = DWORD(std::min<std::size_t>(text.size(), size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return n;
}

} // namespace

DWORD getPrivateProfileString(const char *section, const char *key, const char *defaultValue,
                              char *buffer, DWORD size, const char *fileName)
{
    auto host = iniHostPath(fileName);
    detail::IniDocument doc;
    bool loaded = host && doc.load(*host);
    if (!section)
        return copyList(loaded ? doc.sectionNames() : std::vector<std::string>{}, buffer, size);
    if (!key)
        return copyList(loaded ? doc.keys(section) : std::vector<std::string>{}, buffer, size);
    if (loaded) {
        if (auto v = doc.value(section, key))
            return copyTruncated(*v, buffer, size);
    }
    std::string_view def = defaultValue ? defaultValue : "";
    while (!def.empty() && def.back() == ' ')
        def.remove_suffix(1);
    return copyTruncated(def, buffer, size);
}

DWORD getPrivateProfileInt(const char *section, const char *key, int defaultValue,
                           const char *fileName)
{
    auto host = iniHostPath(fileName);
    detail::IniDocument doc;
    if (!section || !key || !host || !doc.load(*host))
        return DWORD(defaultValue);
    auto v = doc.value(section, key);
    if (!v)
        return DWORD(defaultValue);
    return DWORD(std::strtol(v->c_str(), nullptr, 10));
}

BOOL writePrivateProfileString(const char *section, const char *key, const char *value,
                               const char *fileName)
{
    if (!section) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto host = iniHostPath(fileName);
    detail::IniDocument doc;
    if (!host || !doc.load(*host))
        return FALSE;
    if (!key)
        doc.removeSection(section);
    else if (!value)
        doc.setValue(section, key, std::nullopt);
    else
        doc.setValue(section, key, std::string_view(value));
    return doc.save(*host) ? TRUE : FALSE;
}

DWORD getPrivateProfileSection(const char *section, char *buffer, DWORD size, const char *fileName)
{
    auto host = iniHostPath(fileName);
    detail::IniDocument doc;
    if (!section || !host || !doc.load(*host))
        return copyList({}, buffer, size);
    std::vector<std::string> lines;
    std::string k, v;
    for (const std::string &line : doc.dataLines(section))
        if (detail::splitIniLine(line, &k, &v))
            lines.push_back(line.find('=') == std::string::npos ? k : k + "=" + v);
    return copyList(lines, buffer, size);
}

BOOL writePrivateProfileSection(const char *section, const char *lines, const char *fileName)
{
    if (!section || !lines) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto host = iniHostPath(fileName);
    detail::IniDocument doc;
    if (!host || !doc.load(*host))
        return FALSE;
    std::vector<std::string> list;
    for (const char *p = lines; *p; p += std::strlen(p) + 1)
        list.emplace_back(p);
    doc.replaceSection(section, list);
    return doc.save(*host) ? TRUE : FALSE;
}

} // namespace plat
