#include "platform/module.h"
#include "platform/path.h"

#include "platform/errors.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace plat {

struct ModuleRecord {
    void *handle = nullptr;
    const link_map *map = nullptr;
    std::string hostPath;
    int refs = 0;
};

namespace {

std::mutex g_mutex;
std::vector<std::unique_ptr<ModuleRecord>> g_modules;

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && lower(s.substr(s.size() - suffix.size())) == suffix;
}

// The entry of `dir` named `name`: the exact name when it exists, else the
// first (in sorted order) that differs only in case. Empty when none.
std::string findNoCase(const std::string &dir, const std::string &name)
{
    std::error_code ec;
    const fs::path exact = fs::path(dir) / name;
    if (fs::exists(exact, ec))
        return exact.string();
    const std::string wanted = lower(name);
    std::vector<std::string> matches;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == wanted)
            matches.push_back(it->path().string());
    if (matches.empty())
        return {};
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

// Follows the components of a relative path below `base`, each without regard to case.
std::string resolveBelow(const std::string &base, const std::vector<std::string> &components)
{
    std::string current = base;
    for (const std::string &part : components) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            current = fs::path(current).parent_path().string();
            continue;
        }
        current = findNoCase(current, part);
        if (current.empty())
            return {};
    }
    std::error_code ec;
    return fs::is_regular_file(current, ec) ? current : std::string();
}

std::vector<std::string> splitPath(std::string_view path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    parts.push_back(part);
    return parts;
}

int collectDeliverableDir(dl_phdr_info *info, size_t, void *data)
{
    auto *dirs = static_cast<std::vector<std::string> *>(data);
    const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
    if (endsWithNoCase(name, ".dll") || endsWithNoCase(name, ".exe"))
        dirs->push_back(fs::path(std::string(name)).parent_path().string());
    return 0;
}

std::vector<std::string> searchFolders()
{
    std::vector<std::string> dirs;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        dirs.push_back(exe.parent_path().string());
    dl_iterate_phdr(collectDeliverableDir, &dirs);
    if (const char *bin = std::getenv("BRX_BIN_DIR"); bin && *bin)
        dirs.emplace_back(bin);
    // Last, the platform's own folder, where modules that stand in for the
    // operating system's (the mail module) live.
    Dl_info self;
    if (dladdr(reinterpret_cast<void *>(&searchFolders), &self) && self.dli_fname)
        dirs.push_back(fs::path(self.dli_fname).parent_path().string());
    std::vector<std::string> unique;
    for (auto &d : dirs)
        if (!d.empty() && std::find(unique.begin(), unique.end(), d) == unique.end())
            unique.push_back(d);
    return unique;
}

bool isDrivePath(std::string_view name)
{
    return name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) &&
           name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

// $BRX_MODULE_OVERRIDES ("MAPI32.DLL=/host/file.so;...") points a module name
// at another host file, so tests can stand a recording module in for one.
std::string overrideFor(const std::string &fileName)
{
    const char *spec = std::getenv("BRX_MODULE_OVERRIDES");
    if (!spec)
        return {};
    std::string_view rest(spec);
    while (!rest.empty()) {
        size_t end = rest.find(';');
        std::string_view item = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        size_t eq = item.find('=');
        if (eq != std::string_view::npos && lower(item.substr(0, eq)) == lower(fileName))
            return std::string(item.substr(eq + 1));
    }
    return {};
}

// Host file for a Windows module name; empty when there is none.
std::string locate(std::string_view name)
{
    std::vector<std::string> parts = splitPath(name);
    // Windows appends the default extension to a name that has none.
    if (parts.back().find('.') == std::string::npos)
        parts.back() += ".DLL";
    if (std::string overridden = overrideFor(parts.back()); !overridden.empty())
        return overridden;
    if (isDrivePath(name)) {
        std::string full(name);
        if (splitPath(name).back().find('.') == std::string::npos)
            full += ".DLL";
        std::string host = windowsToHostPath(full).value_or(std::string());
        std::error_code ec;
        return fs::is_regular_file(host, ec) ? host : std::string();
    }
    if (!name.empty() && (name[0] == '\\' || name[0] == '/'))
        return {};
    for (const std::string &dir : searchFolders())
        if (std::string found = resolveBelow(dir, parts); !found.empty())
            return found;
    return {};
}

bool looksLikeElf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return in.gcount() == 4 && std::memcmp(magic,
                                           "\x7f"
                                           "ELF",
                                           4) == 0;
}

ModuleRecord *findLocked(HMODULE module)
{
    for (auto &m : g_modules)
        if (m.get() == module)
            return m.get();
    return nullptr;
}

// Resolves `symbol` in `record` itself, refusing what dlsym finds in the
// libraries the module depends on.
void *ownSymbol(const ModuleRecord &record, const char *symbol)
{
    void *address = dlsym(record.handle, symbol);
    if (!address)
        return nullptr;
    Dl_info info;
    link_map *owner = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) ||
        owner != record.map)
        return nullptr;
    return address;
}

} // namespace

HMODULE loadLibrary(const char *fileName)
{
    if (!fileName || !*fileName) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string path = locate(fileName);
    if (path.empty()) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        setLastError(looksLikeElf(path) ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    std::lock_guard lock(g_mutex);
    for (auto &m : g_modules) {
        if (m->handle == handle) {
            dlclose(handle); // one dl reference per record
            ++m->refs;
            return m.get();
        }
    }
    auto record = std::make_unique<ModuleRecord>();
    record->handle = handle;
    link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        dlclose(handle);
        setLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    // Like a DLL entry point refusing the attach, a module may decline to load
    // (the mail module does when the desktop has no mail program).
    using AttachFn = int (*)();
    void *attachSymbol = dlsym(handle, kProcessAttachSymbol);
    Dl_info attachInfo;
    link_map *attachOwner = nullptr;
    if (attachSymbol &&
        dladdr1(attachSymbol, &attachInfo, reinterpret_cast<void **>(&attachOwner),
                RTLD_DL_LINKMAP) &&
        attachOwner == map && reinterpret_cast<AttachFn>(attachSymbol)() == 0) {
        dlclose(handle);
        setLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    record->map = map;
    record->hostPath = path;
    record->refs = 1;
    g_modules.push_back(std::move(record));
    return g_modules.back().get();
}

HMODULE getModuleHandle(const char *fileName)
{
    if (!fileName || !*fileName) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string wanted = lower(splitPath(fileName).back());
    if (wanted.find('.') == std::string::npos)
        wanted += ".dll";
    std::lock_guard lock(g_mutex);
    for (auto &m : g_modules)
        if (lower(fs::path(m->hostPath).filename().string()) == wanted)
            return m.get();
    setLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

BOOL freeLibrary(HMODULE module)
{
    void *handle = nullptr;
    {
        std::lock_guard lock(g_mutex);
        ModuleRecord *record = findLocked(module);
        if (!record) {
            setLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (--record->refs > 0)
            return TRUE;
        handle = record->handle;
        g_modules.erase(std::find_if(g_modules.begin(), g_modules.end(),
                                     [record](const auto &m) { return m.get() == record; }));
    }
    // Unloading runs the library's static destructors (which withdraw its
    // string tables); they may call back into the layer, so no lock is held.
    dlclose(handle);
    return TRUE;
}

FARPROC getProcAddress(HMODULE module, const char *nameOrOrdinal)
{
    std::lock_guard lock(g_mutex);
    ModuleRecord *record = findLocked(module);
    if (!record) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const char *name = nameOrOrdinal;
    if (isOrdinalName(nameOrOrdinal)) {
        const auto ordinal = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(nameOrOrdinal));
        name = nullptr;
        const auto *table =
            static_cast<const OrdinalExport *>(ownSymbol(*record, kOrdinalTableSymbol));
        for (int i = 0; ordinal != 0 && table && i < 0x10000 && table[i].name; ++i) {
            if (table[i].ordinal == ordinal) {
                name = table[i].name;
                break;
            }
        }
    }
    void *address = name && *name ? ownSymbol(*record, name) : nullptr;
    if (!address)
        setLastError(ERROR_PROC_NOT_FOUND);
    return address;
}

DWORD getModuleHostPath(HMODULE module, char *buffer, DWORD bufferSize)
{
    std::lock_guard lock(g_mutex);
    ModuleRecord *record = findLocked(module);
    if (!record || !buffer || bufferSize == 0) {
        setLastError(record ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(record->hostPath.size(), bufferSize - 1);
    std::memcpy(buffer, record->hostPath.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

} // namespace plat
