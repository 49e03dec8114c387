#include "short_names.h"

#include <algorithm>

#include "names.h"

namespace unzip {
namespace {

char shortChar(char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    if (std::string_view("+,;=[]").find(c) != std::string_view::npos)
        return '_';
    return c;
}

std::string upperKey(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace

std::string ShortNameMap::mapComponent(const std::string &folderKey, std::string_view component)
{
    if (!isLongName(component))
        return std::string(component);
    std::size_t dot = component.rfind('.');
    if (dot == 0)
        dot = std::string_view::npos; // ".profile": all base, no extension
    std::string_view baseText = component.substr(0, dot);
    std::string_view extText =
        dot == std::string_view::npos ? std::string_view{} : component.substr(dot + 1);
    std::string base, ext;
    for (char c : baseText)
        if (c != ' ' && c != '.')
            base += shortChar(c);
    for (char c : extText)
        if (c != ' ' && c != '.' && ext.size() < 3)
            ext += shortChar(c);
    if (base.empty())
        base = "_";
    // Multi-byte characters are not cut in half.
    auto cut = [](std::string s, std::size_t n) {
        if (s.size() <= n)
            return s;
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
            --n;
        s.resize(n);
        return s;
    };
    std::string prefix6 = cut(base, 6);
    std::string key = folderKey + "\\" + prefix6 + "." + ext;
    std::vector<std::string> &seen = numbers_[key];
    std::string longKey = upperKey(component);
    auto it = std::find(seen.begin(), seen.end(), longKey);
    std::size_t n = static_cast<std::size_t>(it - seen.begin()) + 1;
    if (it == seen.end())
        seen.push_back(longKey);
    std::string number = "~" + std::to_string(n);
    std::string out = cut(base, 8 - std::min<std::size_t>(number.size(), 7)) + number;
    if (!ext.empty())
        out += "." + ext;
    return out;
}

std::string ShortNameMap::map(std::string_view relativePath)
{
    std::string out;
    std::string folderKey;
    std::size_t start = 0;
    while (start <= relativePath.size()) {
        std::size_t end = relativePath.find('\\', start);
        if (end == std::string_view::npos)
            end = relativePath.size();
        std::string part = mapComponent(folderKey, relativePath.substr(start, end - start));
        if (!out.empty())
            out += '\\';
        out += part;
        folderKey += "\\" + upperKey(part);
        start = end + 1;
    }
    return out;
}

} // namespace unzip
