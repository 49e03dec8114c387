#include "platform/regtext.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

namespace plat {
namespace {

// Hex lines are wrapped before this column, as the registry editor does.
constexpr std::size_t kHexLineWidth = 76;

std::string joinPath(const std::string &a, const std::string &b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + "\\" + b;
}

std::string quote(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", static_cast<unsigned char>(c));
            out += esc;
            continue;
        }
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hexData(const std::string &prefix, const std::vector<BYTE> &data)
{
    std::string out = prefix;
    std::size_t column = out.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
            if (column + 3 > kHexLineWidth) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string valueLine(const std::string &name, DWORD type, const std::vector<BYTE> &data)
{
    std::string line = name.empty() ? "@=" : quote(name) + "=";
    if (type == REG_SZ) {
        std::string text(data.begin(), data.end());
        text.resize(std::strlen(text.c_str()));
        return line + quote(text);
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD v;
        std::memcpy(&v, data.data(), 4);
        char buf[32];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v));
        return line + buf;
    }
    if (type == REG_BINARY)
        return hexData(line + "hex:", data);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    return hexData(line + prefix, data);
}

LONG exportKey(HKEY key, const std::string &fullName, std::string &out)
{
    out += "[" + fullName + "]\n";
    std::vector<char> name(16384 + 1);
    std::vector<BYTE> data(256);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        LONG rc = regEnumValue(key, index, name.data(), &nameSize, &type, data.data(), &dataSize);
        if (rc == ERROR_MORE_DATA) {
            // The value grew, or the buffer was small: take the size it asked for.
            data.resize(dataSize + 1);
            --index;
            continue;
        }
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        out += valueLine(std::string(name.data(), nameSize), type,
                         std::vector<BYTE>(data.begin(), data.begin() + dataSize)) +
               "\n";
    }
    out += "\n";
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        LONG rc = regEnumKeyEx(key, index, name.data(), &nameSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        std::string child(name.data(), nameSize);
        HKEY sub = nullptr;
        rc = regOpenKeyEx(key, child.c_str(), 0, KEY_READ, &sub);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue; // deleted by someone else meanwhile
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = exportKey(sub, joinPath(fullName, child), out);
        regCloseKey(sub);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

// One change an imported text asks for.
struct Op {
    enum Kind { DeleteTree, CreateKey, SetValue, DeleteValue } kind;
    HKEY root;
    std::string path;
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    int line;
};

struct Parser {
    std::vector<Op> ops;
    std::string error;
    int line = 0;

    bool fail(const std::string &what)
    {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    static std::string trim(const std::string &s)
    {
        std::size_t b = s.find_first_not_of(" \t");
        std::size_t e = s.find_last_not_of(" \t");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    }

    bool keyLine(const std::string &text)
    {
        std::size_t close = text.rfind(']');
        if (close == std::string::npos || trim(text.substr(close + 1)) != "")
            return fail("a key line must end with ']'");
        std::string path = text.substr(1, close - 1);
        bool remove = !path.empty() && path[0] == '-';
        if (remove)
            path.erase(0, 1);
        std::size_t slash = path.find('\\');
        HKEY root = regRootFromName(path.substr(0, slash));
        if (!root)
            return fail("unknown root key '" + path.substr(0, slash) + "'");
        std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
        if ((!sub.empty() && sub.front() == '\\') || sub.find("\\\\") != std::string::npos)
            return fail("empty key name in '" + path + "'");
        if (remove && sub.empty())
            return fail("a root key cannot be deleted");
        ops.push_back({remove ? Op::DeleteTree : Op::CreateKey, root, sub, "", REG_NONE, {}, line});
        return true;
    }

    // Reads a quoted string starting at text[pos] == '"'; pos ends after the quote.
    bool quoted(const std::string &text, std::size_t &pos, std::string &out)
    {
        out.clear();
        for (++pos; pos < text.size(); ++pos) {
            char c = text[pos];
            if (c == '"') {
                ++pos;
                return true;
            }
            if (c == '\\') {
                char next = pos + 1 < text.size() ? text[pos + 1] : '\0';
                if (next == 'x' && pos + 3 < text.size() &&
                    std::isxdigit((unsigned char)text[pos + 2]) &&
                    std::isxdigit((unsigned char)text[pos + 3])) {
                    c = static_cast<char>(std::stoul(text.substr(pos + 2, 2), nullptr, 16));
                    pos += 3;
                } else if (next == '\\' || next == '"') {
                    c = text[++pos];
                } else {
                    return fail("only \\\\, \\\" and \\xHH may follow a backslash in a string");
                }
            }
            out += c;
        }
        return fail("unterminated string");
    }

    bool hexBytes(const std::string &text, std::vector<BYTE> &out)
    {
        out.clear();
        std::string t = trim(text);
        if (t.empty())
            return true;
        std::stringstream items(t);
        std::string item;
        while (std::getline(items, item, ',')) {
            item = trim(item);
            if (item.size() < 1 || item.size() > 2 ||
                item.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("bad hex byte '" + item + "'");
            out.push_back(static_cast<BYTE>(std::stoul(item, nullptr, 16)));
        }
        if (t.back() == ',')
            return fail("hex data ends with ','");
        return true;
    }

    bool valueLine(const std::string &text)
    {
        if (ops.empty())
            return fail("a value before the first key line");
        if (ops.back().kind == Op::DeleteTree)
            return fail("a value below a key that is being deleted");
        Op op{Op::SetValue, ops.back().root, ops.back().path, "", REG_NONE, {}, line};
        std::size_t pos = 0;
        if (text[0] == '@') {
            pos = 1;
        } else if (!quoted(text, pos, op.name)) {
            return false;
        }
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos >= text.size() || text[pos] != '=')
            return fail("'=' expected after the value name");
        std::string data = trim(text.substr(pos + 1));
        if (data == "-") {
            op.kind = Op::DeleteValue;
        } else if (!data.empty() && data[0] == '"') {
            std::size_t p = 0;
            std::string s;
            if (!quoted(data, p, s))
                return false;
            if (trim(data.substr(p)) != "")
                return fail("text after the closing quote");
            op.type = REG_SZ;
            op.data.assign(s.begin(), s.end());
            op.data.push_back(0);
        } else if (data.rfind("dword:", 0) == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("dword: needs 1 to 8 hex digits");
            DWORD v = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
            op.type = REG_DWORD;
            op.data.resize(4);
            std::memcpy(op.data.data(), &v, 4);
        } else if (data.rfind("hex:", 0) == 0) {
            op.type = REG_BINARY;
            if (!hexBytes(data.substr(4), op.data))
                return false;
        } else if (data.rfind("hex(", 0) == 0) {
            std::size_t close = data.find("):");
            std::string digits = close == std::string::npos ? "" : data.substr(4, close - 4);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("hex(<type>): needs a hex type number");
            op.type = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
            if (!hexBytes(data.substr(close + 2), op.data))
                return false;
            if (op.type == REG_DWORD && op.data.size() != 4)
                return fail("a DWORD value needs 4 bytes");
        } else {
            return fail("unknown value data '" + data + "'");
        }
        ops.push_back(std::move(op));
        return true;
    }

    bool parse(const std::string &text)
    {
        std::vector<std::string> lines;
        std::stringstream in(text);
        std::string raw;
        while (std::getline(in, raw)) {
            if (!raw.empty() && raw.back() == '\r')
                raw.pop_back();
            lines.push_back(raw);
        }
        if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0)
            lines[0].erase(0, 3);
        bool header = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            line = static_cast<int>(i + 1);
            std::string t = trim(lines[i]);
            if (t.empty() || t[0] == ';')
                continue;
            if (!header) {
                if (t != "REGEDIT4" && t != "Windows Registry Editor Version 5.00")
                    return fail("the text must start with REGEDIT4");
                header = true;
                continue;
            }
            if (t[0] == '[') {
                if (!keyLine(t))
                    return false;
                continue;
            }
            if (t[0] != '@' && t[0] != '"')
                return fail("a key line or a value line expected");
            // Hex data continues on the next line after a trailing backslash.
            int first = line;
            while (t.back() == '\\' && t.find("=hex") != std::string::npos &&
                   i + 1 < lines.size()) {
                t.pop_back();
                t += trim(lines[++i]);
            }
            line = first;
            if (!valueLine(t))
                return false;
        }
        if (!header) {
            line = 1;
            return fail("the text must start with REGEDIT4");
        }
        return true;
    }
};

LONG apply(const std::vector<Op> &ops, std::string &message)
{
    HKEY key = nullptr;
    auto closeKey = [&] {
        if (key)
            regCloseKey(key);
        key = nullptr;
    };
    for (const Op &op : ops) {
        LONG rc = ERROR_SUCCESS;
        switch (op.kind) {
        case Op::DeleteTree:
            closeKey();
            rc = regDeleteTree(op.root, op.path.c_str());
            if (rc == ERROR_FILE_NOT_FOUND)
                rc = ERROR_SUCCESS;
            break;
        case Op::CreateKey:
            closeKey();
            rc = regCreateKeyEx(op.root, op.path.c_str(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                &key, nullptr);
            break;
        case Op::SetValue:
            rc = regSetValueEx(key, op.name.c_str(), op.type, op.data.data(),
                               static_cast<DWORD>(op.data.size()));
            break;
        case Op::DeleteValue:
            rc = regDeleteValue(key, op.name.c_str());
            if (rc == ERROR_FILE_NOT_FOUND)
                rc = ERROR_SUCCESS;
            break;
        }
        if (rc != ERROR_SUCCESS) {
            closeKey();
            message = "line " + std::to_string(op.line) + ": registry error " + std::to_string(rc);
            return rc;
        }
    }
    closeKey();
    return ERROR_SUCCESS;
}

} // namespace

LONG regExportText(HKEY root, const std::string &subKey, std::string &text)
{
    std::string rootName = regRootName(root);
    if (rootName.empty()) {
        setLastError(ERROR_INVALID_HANDLE);
        return ERROR_INVALID_HANDLE;
    }
    HKEY key = nullptr;
    LONG rc = regOpenKeyEx(root, subKey.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    std::string body = "REGEDIT4\n\n";
    std::string path = subKey;
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    rc = exportKey(key, joinPath(rootName, path), body);
    regCloseKey(key);
    if (rc == ERROR_SUCCESS)
        text = std::move(body);
    return rc;
}

LONG regImportText(const std::string &text, std::string &message)
{
    Parser parser;
    if (!parser.parse(text)) {
        message = parser.error;
        setLastError(ERROR_INVALID_DATA);
        return ERROR_INVALID_DATA;
    }
    message.clear();
    return apply(parser.ops, message);
}

} // namespace plat
