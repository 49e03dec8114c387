#include "platform/strings.h"

#include "platform/errors.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace plat {
namespace {

std::string foldName(std::string_view name)
{
    std::string out(name);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

struct ModuleStrings {
    std::vector<std::pair<const StringEntry *, std::size_t>> tables;
    std::unordered_map<UINT, const char *> byId;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, ModuleStrings> modules;
    MissingResourceHandler handler;
};

Registry &registry()
{
    // Deliverables register from their static constructors, possibly before
    // this file's own statics exist; a function-local object avoids that order
    // problem and is never destroyed, so late unregistrations stay safe.
    static Registry *r = new Registry;
    return *r;
}

void rebuildIndex(ModuleStrings &m, std::vector<UINT> &duplicates)
{
    m.byId.clear();
    for (const auto &[entries, count] : m.tables)
        for (std::size_t i = 0; i < count; ++i)
            if (!m.byId.emplace(entries[i].id, entries[i].text).second)
                duplicates.push_back(entries[i].id);
}

const char *findText(const char *module, UINT id)
{
    if (!module)
        return nullptr;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.modules.find(foldName(module));
    if (it == r.modules.end())
        return nullptr;
    auto s = it->second.byId.find(id);
    return s == it->second.byId.end() ? nullptr : s->second;
}

} // namespace

void registerStringTable(const char *module, const StringEntry *entries, std::size_t count)
{
    if (!module || (!entries && count))
        return;
    std::vector<UINT> duplicates;
    std::string key = foldName(module);
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        ModuleStrings &m = r.modules[key];
        m.tables.emplace_back(entries, count);
        rebuildIndex(m, duplicates);
    }
    for (UINT id : duplicates)
        qCritical("string %u of %s is defined twice; the first text is kept", id, key.c_str());
}

void unregisterStringTable(const char *module, const StringEntry *entries)
{
    if (!module)
        return;
    std::vector<UINT> duplicates;
    std::string key = foldName(module);
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.modules.find(key);
    if (it == r.modules.end())
        return;
    auto &tables = it->second.tables;
    tables.erase(std::remove_if(tables.begin(), tables.end(),
                                [entries](const auto &t) { return t.first == entries; }),
                 tables.end());
    if (tables.empty())
        r.modules.erase(it);
    else
        rebuildIndex(it->second, duplicates);
}

bool hasString(const char *module, UINT id)
{
    return findText(module, id) != nullptr;
}

std::string missingResourceText(std::string_view kind, std::string_view module, UINT id)
{
    return "<missing " + std::string(kind) + " " + std::to_string(id) + " in " +
           std::string(module) + ">";
}

MissingResourceHandler setMissingResourceHandler(MissingResourceHandler handler)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    std::swap(r.handler, handler);
    return handler;
}

void reportMissingResource(std::string_view kind, std::string_view module, UINT id)
{
    MissingResourceHandler handler;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        handler = r.handler;
    }
    if (handler) {
        handler(kind, module, id);
        return;
    }
    const std::string text = missingResourceText(kind, module, id);
    qCritical("resource lookup failed: %s", text.c_str());
}

std::string loadString(const char *module, UINT id)
{
    if (const char *text = findText(module, id))
        return text;
    const char *name = module ? module : "(no module)";
    reportMissingResource("string", name, id);
    return missingResourceText("string", name, id);
}

int loadString(const char *module, UINT id, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize < 1) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char *text = findText(module, id);
    std::string placeholder;
    if (!text) {
        const char *name = module ? module : "(no module)";
        reportMissingResource("string", name, id);
        placeholder = missingResourceText("string", name, id);
    }
    std::string_view src = text ? std::string_view(text) : std::string_view(placeholder);
    std::size_t n = std::min(src.size(), static_cast<std::size_t>(bufferSize - 1));
    std::memcpy(buffer, src.data(), n);
    buffer[n] = '\0';
    if (!text) {
        setLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    return static_cast<int>(n);
}

} // namespace plat
