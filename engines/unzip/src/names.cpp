#include "names.h"

#include <algorithm>
#include <array>
#include <vector>
#include <zlib.h>

#include "central_directory.h"
#include "zip_format.h"

namespace unzip {
namespace {

constexpr std::uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, //
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, //
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, //
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, //
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, //
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, //
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, //
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, //
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, //
};

// All 256 code points of the code page, ASCII below 0x80.
constexpr std::array<std::uint16_t, 256> makeCp437Table()
{
    std::array<std::uint16_t, 256> t{};
    for (int i = 0; i < 128; ++i)
        t[i] = static_cast<std::uint16_t>(i);
    for (int i = 0; i < 128; ++i)
        t[128 + i] = kCp437High[i];
    return t;
}
constexpr std::array<std::uint16_t, 256> kCp437 = makeCp437Table();

void appendUtf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void replaceNul(std::string &s)
{
    for (char &c : s)
        if (c == '\0')
            c = '_';
}

// Number of characters (code points) in valid UTF-8 text.
std::size_t charCount(std::string_view s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

bool isDeviceName(std::string_view component)
{
    // The device is named by the part before the first dot, blanks trimmed.
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    static constexpr std::string_view kFixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view d : kFixed)
        if (equalsNoCase(base, d))
            return true;
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9' &&
        (equalsNoCase(base.substr(0, 3), "COM") || equalsNoCase(base.substr(0, 3), "LPT")))
        return true;
    return false;
}

bool isInvalidWindowsChar(unsigned char c)
{
    return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}

std::vector<std::string_view> splitComponents(std::string_view name)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (i > start)
                parts.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool isShortComponent(std::string_view c)
{
    if (c == "." || c == "..")
        return true;
    std::size_t dot = c.find('.');
    std::string_view base = c.substr(0, dot);
    std::string_view ext = dot == std::string_view::npos ? std::string_view{} : c.substr(dot + 1);
    if (base.empty() || charCount(base) > 8)
        return false;
    if (dot != std::string_view::npos && (ext.empty() || charCount(ext) > 3))
        return false;
    if (ext.find('.') != std::string_view::npos)
        return false;
    for (char ch : c)
        if (ch == ' ' || ch == '+' || ch == ',' || ch == ';' || ch == '=' || ch == '[' || ch == ']')
            return false;
    return true;
}

// Systems whose archivers store names in the OEM code page.
bool isOemHost(std::uint8_t host)
{
    return host == fmt::host::kFat || host == fmt::host::kHpfs || host == fmt::host::kNtfs ||
           host == fmt::host::kVfat;
}

} // namespace

bool isValidUtf8(std::span<const std::uint8_t> bytes)
{
    std::string s = sanitizeUtf8(bytes);
    return s.size() == bytes.size() &&
           std::equal(s.begin(), s.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

std::string cp437ToUtf8(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes)
        appendUtf8(out, kCp437[b]);
    return out;
}

std::string sanitizeUtf8(std::span<const std::uint8_t> s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        std::uint8_t b = s[i];
        std::size_t len = 0;
        std::uint32_t cp = 0, min = 0;
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, cp = b & 0x07, min = 0x10000;
        }
        bool ok = len != 0 && s.size() - i >= len;
        for (std::size_t k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (ok) {
            out.append(reinterpret_cast<const char *>(&s[i]), len);
            i += len;
        } else {
            appendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
}

std::string decodeEntryName(std::span<const std::uint8_t> raw, std::uint16_t flags,
                            std::span<const std::uint8_t> extra, std::uint16_t versionMadeBy)
{
    std::string name;
    if (flags & fmt::flag::kUtf8) {
        name = sanitizeUtf8(raw);
    } else {
        bool found = false;
        auto field = findExtraField(extra, fmt::extra::kUnicodePath, found);
        // Version 1, then the CRC-32 of the stored name it was made for: a
        // program that renamed the entry without updating the field leaves a
        // stale CRC, and the stored name wins.
        if (found && field.size() >= 5 && field[0] == 1 &&
            fmt::get32(field.data() + 1) == ::crc32(0, raw.data(), static_cast<uInt>(raw.size()))) {
            name = sanitizeUtf8(field.subspan(5));
        } else if (!isOemHost(static_cast<std::uint8_t>(versionMadeBy >> 8)) && isValidUtf8(raw)) {
            name.assign(raw.begin(), raw.end());
        } else {
            name = cp437ToUtf8(raw);
        }
    }
    replaceNul(name);
    return name;
}

std::string toBackslashes(std::string name)
{
    for (char &c : name)
        if (c == '/')
            c = '\\';
    return name;
}

bool isLongName(std::string_view name)
{
    for (std::string_view c : splitComponents(name))
        if (!isShortComponent(c))
            return true;
    return false;
}

std::string safeRelativePath(std::string_view name)
{
    // A drive ("C:") or drive-relative prefix is never part of the path.
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.remove_prefix(2);
    std::string out;
    for (std::string_view part : splitComponents(name)) {
        // Windows drops trailing dots and blanks, so "..." or ". ." would
        // become a parent reference or nothing; trim them first.
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.remove_suffix(1);
        if (part.empty())
            continue;
        std::string comp(part);
        for (char &ch : comp)
            if (isInvalidWindowsChar(static_cast<unsigned char>(ch)))
                ch = '_';
        if (isDeviceName(comp))
            comp.insert(comp.begin(), '_');
        if (!out.empty())
            out += '\\';
        out += comp;
    }
    return out;
}

} // namespace unzip
