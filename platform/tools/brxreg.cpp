// brxreg: reads and edits the registry of the system root from the command line.
//
//   brxreg query  KEY [/v NAME | /ve]          a value, or the key's values and subkeys
//   brxreg set    KEY [/v NAME | /ve] [/t TYPE] /d DATA
//                 TYPE: REG_SZ (default), REG_EXPAND_SZ, REG_DWORD (decimal or 0x hex),
//                 REG_BINARY (hex bytes, optionally separated by commas)
//   brxreg delete KEY [/v NAME | /ve]          a value, or the key with its subtree
//   brxreg export KEY FILE                     the subtree as REGEDIT4 text (FILE - : stdout)
//   brxreg import FILE                         apply such text (FILE - : stdin)
//   brxreg init                                initialise the system root
//
// KEY starts with a root: HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM) or
// HKEY_CLASSES_ROOT (HKCR). Exit status 0 on success, 1 when the operation failed,
// 2 for a usage error; the reason goes to stderr.

#include "platform/registry.h"
#include "platform/regtext.h"
#include "platform/sysroot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace plat;

namespace {

const char *const kUsage =
    "usage: brxreg query KEY [/v NAME | /ve]\n"
    "       brxreg set KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY] /d DATA\n"
    "       brxreg delete KEY [/v NAME | /ve]\n"
    "       brxreg export KEY FILE\n"
    "       brxreg import FILE\n"
    "       brxreg init\n";

int usage(const std::string &why)
{
    std::cerr << "brxreg: " << why << "\n" << kUsage;
    return 2;
}

int failed(const std::string &what, LONG rc)
{
    std::cerr << "brxreg: " << what << " (error " << rc << ")\n";
    return 1;
}

struct KeyArg {
    HKEY root = nullptr;
    std::string sub;
};

bool splitKey(const std::string &text, KeyArg &out)
{
    std::size_t slash = text.find('\\');
    out.root = regRootFromName(text.substr(0, slash));
    out.sub = slash == std::string::npos ? "" : text.substr(slash + 1);
    return out.root != nullptr;
}

struct Options {
    bool haveValue = false;
    std::string value;
    bool haveType = false;
    std::string type = "REG_SZ";
    bool haveData = false;
    std::string data;
};

bool parseOptions(const std::vector<std::string> &args, std::size_t from, Options &o,
                  std::string &why)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto next = [&](std::string &dst) {
            if (i + 1 >= args.size()) {
                why = a + " needs an argument";
                return false;
            }
            dst = args[++i];
            return true;
        };
        if (a == "/ve") {
            o.haveValue = true;
            o.value.clear();
        } else if (a == "/v") {
            o.haveValue = true;
            if (!next(o.value))
                return false;
        } else if (a == "/t") {
            o.haveType = true;
            if (!next(o.type))
                return false;
        } else if (a == "/d") {
            o.haveData = true;
            if (!next(o.data))
                return false;
        } else {
            why = "unknown argument '" + a + "'";
            return false;
        }
    }
    return true;
}

std::string typeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_TYPE_" + std::to_string(type);
    }
}

std::string showData(DWORD type, const std::vector<BYTE> &data)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string s(data.begin(), data.end());
        s.resize(std::strlen(s.c_str()));
        return s;
    }
    if (type == REG_DWORD && data.size() == 4) {
        DWORD v;
        std::memcpy(&v, data.data(), 4);
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(v));
        return buf;
    }
    std::string out;
    for (BYTE b : data) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::string showName(const std::string &name)
{
    return name.empty() ? "(Default)" : name;
}

int query(const KeyArg &k, const std::string &keyText, const Options &o)
{
    HKEY key = nullptr;
    LONG rc = regOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS)
        return failed("cannot open " + keyText, rc);
    int status = 0;
    if (o.haveValue) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        rc = regReadValue(key, o.value.c_str(), type, data);
        if (rc == ERROR_SUCCESS)
            std::cout << showName(o.value) << "\t" << typeName(type) << "\t" << showData(type, data)
                      << "\n";
        else
            status = failed("cannot read value '" + showName(o.value) + "' of " + keyText, rc);
    } else {
        std::cout << keyText << "\n";
        std::vector<char> name(16384 + 1);
        for (DWORD i = 0;; ++i) {
            DWORD size = static_cast<DWORD>(name.size());
            rc = regEnumValue(key, i, name.data(), &size, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS)
                break;
            std::string valueName(name.data(), size);
            DWORD type = REG_NONE;
            std::vector<BYTE> data;
            if (regReadValue(key, valueName.c_str(), type, data) == ERROR_SUCCESS)
                std::cout << "    " << showName(valueName) << "\t" << typeName(type) << "\t"
                          << showData(type, data) << "\n";
        }
        for (DWORD i = 0;; ++i) {
            DWORD size = static_cast<DWORD>(name.size());
            rc = regEnumKeyEx(key, i, name.data(), &size);
            if (rc != ERROR_SUCCESS)
                break;
            std::cout << keyText << "\\" << std::string(name.data(), size) << "\n";
        }
        if (rc != ERROR_NO_MORE_ITEMS)
            status = failed("cannot list " + keyText, rc);
    }
    regCloseKey(key);
    return status;
}

bool parseData(const Options &o, DWORD &type, std::vector<BYTE> &bytes, std::string &why)
{
    const std::string &d = o.data;
    if (o.type == "REG_SZ" || o.type == "REG_EXPAND_SZ") {
        type = o.type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        bytes.assign(d.begin(), d.end());
        bytes.push_back(0);
        return true;
    }
    if (o.type == "REG_DWORD") {
        errno = 0;
        char *end = nullptr;
        unsigned long long v = std::strtoull(d.c_str(), &end, 0);
        if (d.empty() || d[0] == '-' || *end || errno || v > 0xffffffffull) {
            why = "REG_DWORD data must be a number from 0 to 4294967295";
            return false;
        }
        DWORD dw = static_cast<DWORD>(v);
        type = REG_DWORD;
        bytes.resize(4);
        std::memcpy(bytes.data(), &dw, 4);
        return true;
    }
    if (o.type == "REG_BINARY") {
        std::string hex;
        for (char c : d)
            if (c != ',' && c != ' ')
                hex += c;
        if (hex.size() % 2 ||
            hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            why = "REG_BINARY data must be pairs of hex digits";
            return false;
        }
        type = REG_BINARY;
        bytes.clear();
        for (std::size_t i = 0; i < hex.size(); i += 2)
            bytes.push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        return true;
    }
    why = "unknown type '" + o.type + "'";
    return false;
}

int set(const KeyArg &k, const std::string &keyText, const Options &o)
{
    if (!o.haveData)
        return usage("set needs /d DATA");
    DWORD type;
    std::vector<BYTE> bytes;
    std::string why;
    if (!parseData(o, type, bytes, why))
        return usage(why);
    HKEY key = nullptr;
    LONG rc = regCreateKeyEx(k.root, k.sub.c_str(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &key,
                             nullptr);
    if (rc != ERROR_SUCCESS)
        return failed("cannot create " + keyText, rc);
    rc = regSetValueEx(key, o.value.c_str(), type, bytes.data(), static_cast<DWORD>(bytes.size()));
    regCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return failed("cannot write value '" + showName(o.value) + "' of " + keyText, rc);
    return 0;
}

int remove(const KeyArg &k, const std::string &keyText, const Options &o)
{
    if (!o.haveValue) {
        if (k.sub.empty())
            return usage("a root key cannot be deleted");
        LONG rc = regDeleteTree(k.root, k.sub.c_str());
        return rc == ERROR_SUCCESS ? 0 : failed("cannot delete " + keyText, rc);
    }
    HKEY key = nullptr;
    LONG rc = regOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS)
        return failed("cannot open " + keyText, rc);
    rc = regDeleteValue(key, o.value.c_str());
    regCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return failed("cannot delete value '" + showName(o.value) + "' of " + keyText, rc);
    return 0;
}

int exportTree(const KeyArg &k, const std::string &keyText, const std::string &file)
{
    std::string text;
    LONG rc = regExportText(k.root, k.sub, text);
    if (rc != ERROR_SUCCESS)
        return failed("cannot export " + keyText, rc);
    if (file == "-") {
        std::cout << text;
        return std::cout.good() ? 0
                                : failed("cannot write to standard output", ERROR_WRITE_PROTECT);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        return failed("cannot write " + file, ERROR_CANT_WRITE);
    return 0;
}

int importText(const std::string &file)
{
    std::string text;
    if (file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return failed("cannot read " + file, ERROR_FILE_NOT_FOUND);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string message;
    LONG rc = regImportText(text, message);
    if (rc != ERROR_SUCCESS)
        return failed("import of " + file + " failed: " + message, rc);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage("no command");
    const std::string &command = args[0];
    if (command == "init") {
        if (args.size() != 1)
            return usage("init takes no arguments");
        if (!initSystemRoot())
            return failed("cannot initialise " + systemRootHostDir(),
                          static_cast<LONG>(getLastError()));
        std::cout << systemRootHostDir() << "\n";
        return 0;
    }
    if (command == "import") {
        if (args.size() != 2)
            return usage("import needs one FILE");
        return importText(args[1]);
    }
    if (args.size() < 2)
        return usage(command + " needs a KEY");
    KeyArg key;
    if (!splitKey(args[1], key))
        return usage("'" + args[1] + "' does not start with a root key");
    if (command == "export") {
        if (args.size() != 3)
            return usage("export needs KEY and FILE");
        return exportTree(key, args[1], args[2]);
    }
    Options o;
    std::string why;
    if (!parseOptions(args, 2, o, why))
        return usage(why);
    if (command == "query")
        return query(key, args[1], o);
    if (command == "set")
        return set(key, args[1], o);
    if (command == "delete")
        return remove(key, args[1], o);
    return usage("unknown command '" + command + "'");
}
