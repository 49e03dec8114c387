#include "platform/registry.h"

#include "platform/sysroot.h"
#include "registry_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace plat {
namespace {

using regstore::Hive;
using regstore::KeyId;
using regstore::Stmt;

// Longest key name component and value name, in characters, as Windows allows.
constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

// What a handle stands for: a key of a hive, the access it was opened with and the
// databases it was opened in (a changed system root makes it stale).
struct KeyObject {
    Hive hive = Hive::User;
    KeyId id = 0;
    REGSAM access = KEY_ALL_ACCESS;
    std::uint64_t generation = 0;
    bool predefined = false;
    bool classesRoot = false;
};

std::mutex g_handleMutex;
std::unordered_map<std::uintptr_t, KeyObject> g_handles;
std::uintptr_t g_nextHandle = 0x10000;

LONG finish(DWORD err)
{
    if (err != ERROR_SUCCESS)
        setLastError(err);
    return static_cast<LONG>(err);
}

std::uintptr_t handleValue(HKEY key)
{
    return reinterpret_cast<std::uintptr_t>(key);
}

DWORD resolve(HKEY key, KeyObject &out)
{
    initSystemRoot();
    std::uint64_t gen = regstore::generation();
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) {
        out = KeyObject{};
        out.hive = key == HKEY_CURRENT_USER ? Hive::User : Hive::Machine;
        out.id = regstore::kRootKey;
        out.generation = gen;
        out.predefined = true;
        out.classesRoot = key == HKEY_CLASSES_ROOT;
        return ERROR_SUCCESS;
    }
    std::lock_guard<std::mutex> lock(g_handleMutex);
    auto it = g_handles.find(handleValue(key));
    if (it == g_handles.end() || it->second.generation != gen)
        return ERROR_INVALID_HANDLE;
    out = it->second;
    return ERROR_SUCCESS;
}

HKEY allocHandle(const KeyObject &obj)
{
    std::lock_guard<std::mutex> lock(g_handleMutex);
    std::uintptr_t value;
    do {
        value = g_nextHandle;
        g_nextHandle += 4;
        if (g_nextHandle >= 0x80000000u)
            g_nextHandle = 0x10000;
    } while (g_handles.count(value));
    g_handles[value] = obj;
    return reinterpret_cast<HKEY>(value);
}

std::size_t charCount(const std::string &utf8)
{
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    return n;
}

// Splits a key path into its names: empty for null or "", one trailing `\` ignored.
DWORD splitPath(const char *subKey, std::vector<std::string> &parts)
{
    parts.clear();
    if (!subKey || !*subKey)
        return ERROR_SUCCESS;
    std::string path = subKey;
    if (path.front() == '\\')
        return ERROR_BAD_PATHNAME;
    if (path.back() == '\\')
        path.pop_back();
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (charCount(part) > kMaxKeyNameChars)
            return ERROR_INVALID_PARAMETER;
        parts.push_back(std::move(part));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

std::string valueNameOf(const char *name)
{
    return name ? name : "";
}

// The key a handle points to, inside a transaction: the Software\Classes key of
// the machine hive for HKEY_CLASSES_ROOT (made when a write needs it).
DWORD baseKey(sqlite3 *db, const KeyObject &obj, bool create, KeyId &id)
{
    if (obj.classesRoot) {
        KeyId software = regstore::findChild(db, regstore::kRootKey, "Software");
        if (!software && create)
            software = regstore::createChild(db, regstore::kRootKey, "Software");
        KeyId classes = software ? regstore::findChild(db, software, "Classes") : 0;
        if (!classes && software && create)
            classes = regstore::createChild(db, software, "Classes");
        if (!classes)
            return ERROR_FILE_NOT_FOUND;
        id = classes;
        return ERROR_SUCCESS;
    }
    if (!obj.predefined && !regstore::keyExists(db, obj.id))
        return ERROR_KEY_DELETED;
    id = obj.id;
    return ERROR_SUCCESS;
}

DWORD walk(sqlite3 *db, KeyId from, const std::vector<std::string> &parts, KeyId &id)
{
    id = from;
    for (const std::string &part : parts) {
        id = regstore::findChild(db, id, part);
        if (!id)
            return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

bool isStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Copies a value into a caller buffer with the Windows size protocol.
DWORD copyOut(const std::vector<BYTE> &value, BYTE *data, DWORD *size)
{
    if (!size)
        return ERROR_SUCCESS;
    DWORD needed = static_cast<DWORD>(value.size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (needed)
            std::memcpy(data, value.data(), needed);
    }
    *size = needed;
    return ERROR_SUCCESS;
}

DWORD copyName(const std::string &text, char *name, DWORD *nameSize)
{
    if (!name || !nameSize)
        return ERROR_INVALID_PARAMETER;
    if (*nameSize <= text.size()) {
        *nameSize = static_cast<DWORD>(text.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, text.c_str(), text.size() + 1);
    *nameSize = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

DWORD readValue(const KeyObject &obj, const std::string &name, DWORD &type, std::vector<BYTE> &data)
{
    return regstore::transact(obj.hive, false, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD err = baseKey(db, obj, false, id))
            return err;
        Stmt s(db, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
        s.bind(1, id).bind(2, regstore::foldName(name));
        if (!s.step())
            return ERROR_FILE_NOT_FOUND;
        type = static_cast<DWORD>(s.integer(0));
        data = s.blob(1);
        return ERROR_SUCCESS;
    });
}

void deleteKeys(sqlite3 *db, const std::vector<KeyId> &ids)
{
    Stmt vals(db, "DELETE FROM vals WHERE key = ?");
    Stmt keys(db, "DELETE FROM keys WHERE id = ?");
    for (KeyId id : ids) {
        vals.reset();
        vals.bind(1, id);
        vals.step();
        keys.reset();
        keys.bind(1, id);
        keys.step();
    }
}

} // namespace

LONG regCreateKeyEx(HKEY key, const char *subKey, DWORD options, REGSAM access, HKEY *result,
                    DWORD *disposition)
{
    if (result)
        *result = nullptr;
    if (!result)
        return finish(ERROR_INVALID_PARAMETER);
    if (options != REG_OPTION_NON_VOLATILE)
        return finish(ERROR_NOT_SUPPORTED);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    std::vector<std::string> parts;
    if (DWORD err = splitPath(subKey, parts))
        return finish(err);
    KeyId target = 0;
    bool created = false;
    DWORD err = regstore::transact(obj.hive, true, [&](sqlite3 *db) -> DWORD {
        created = false;
        KeyId id;
        if (DWORD e = baseKey(db, obj, true, id))
            return e;
        for (const std::string &part : parts) {
            KeyId child = regstore::findChild(db, id, part);
            if (!child) {
                if (!(obj.access & KEY_CREATE_SUB_KEY))
                    return ERROR_ACCESS_DENIED;
                child = regstore::createChild(db, id, part);
                created = true;
            }
            id = child;
        }
        target = id;
        return ERROR_SUCCESS;
    });
    if (err)
        return finish(err);
    KeyObject made{obj.hive, target, access, obj.generation, false, false};
    *result = allocHandle(made);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG regOpenKeyEx(HKEY key, const char *subKey, DWORD options, REGSAM access, HKEY *result)
{
    if (result)
        *result = nullptr;
    if (!result)
        return finish(ERROR_INVALID_PARAMETER);
    if (options != 0)
        return finish(ERROR_NOT_SUPPORTED);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    std::vector<std::string> parts;
    if (DWORD err = splitPath(subKey, parts))
        return finish(err);
    KeyId target = 0;
    DWORD err = regstore::transact(obj.hive, false, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, false, id))
            return e;
        return walk(db, id, parts, target);
    });
    if (err)
        return finish(err);
    KeyObject made{obj.hive, target, access, obj.generation, false, false};
    *result = allocHandle(made);
    return ERROR_SUCCESS;
}

LONG regCreateKey(HKEY key, const char *subKey, HKEY *result)
{
    return regCreateKeyEx(key, subKey, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, result, nullptr);
}

LONG regOpenKey(HKEY key, const char *subKey, HKEY *result)
{
    return regOpenKeyEx(key, subKey, 0, KEY_ALL_ACCESS, result);
}

LONG regCloseKey(HKEY key)
{
    if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> lock(g_handleMutex);
    if (!g_handles.erase(handleValue(key)))
        return finish(ERROR_INVALID_HANDLE);
    return ERROR_SUCCESS;
}

LONG regQueryValueEx(HKEY key, const char *valueName, DWORD *type, BYTE *data, DWORD *size)
{
    if (data && !size)
        return finish(ERROR_INVALID_PARAMETER);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_QUERY_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    DWORD valueType = REG_NONE;
    std::vector<BYTE> value;
    if (DWORD err = readValue(obj, valueNameOf(valueName), valueType, value))
        return finish(err);
    if (type)
        *type = valueType;
    return finish(copyOut(value, data, size));
}

LONG regReadValue(HKEY key, const char *valueName, DWORD &type, std::vector<BYTE> &data)
{
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_QUERY_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    return finish(readValue(obj, valueNameOf(valueName), type, data));
}

LONG regSetValueEx(HKEY key, const char *valueName, DWORD type, const BYTE *data, DWORD size)
{
    if (!data && size)
        return finish(ERROR_INVALID_PARAMETER);
    if (type == REG_DWORD && size != 4)
        return finish(ERROR_INVALID_PARAMETER);
    std::string name = valueNameOf(valueName);
    if (charCount(name) > kMaxValueNameChars)
        return finish(ERROR_INVALID_PARAMETER);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_SET_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    std::vector<BYTE> stored(data, data + size);
    if (isStringType(type)) {
        // Readers rely on a terminated string, whatever size the writer passed.
        auto nul = std::find(stored.begin(), stored.end(), BYTE{0});
        stored.erase(nul, stored.end());
        stored.push_back(0);
    }
    DWORD err = regstore::transact(obj.hive, true, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, true, id))
            return e;
        Stmt s(db, "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data");
        s.bind(1, id).bind(2, name).bind(3, regstore::foldName(name)).bind(4, type);
        s.bindBlob(5, stored.data(), stored.size());
        s.step();
        return ERROR_SUCCESS;
    });
    return finish(err);
}

LONG regDeleteValue(HKEY key, const char *valueName)
{
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_SET_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    std::string name = valueNameOf(valueName);
    DWORD err = regstore::transact(obj.hive, true, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, false, id))
            return e;
        Stmt s(db, "DELETE FROM vals WHERE key = ? AND fold = ?");
        s.bind(1, id).bind(2, regstore::foldName(name));
        s.step();
        return sqlite3_changes(db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    return finish(err);
}

LONG regDeleteKey(HKEY key, const char *subKey)
{
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    std::vector<std::string> parts;
    if (DWORD err = splitPath(subKey, parts))
        return finish(err);
    if (parts.empty() && obj.predefined)
        return finish(ERROR_ACCESS_DENIED);
    DWORD err = regstore::transact(obj.hive, true, [&](sqlite3 *db) -> DWORD {
        KeyId base, target;
        if (DWORD e = baseKey(db, obj, false, base))
            return e;
        if (DWORD e = walk(db, base, parts, target))
            return e;
        if (target == regstore::kRootKey)
            return ERROR_ACCESS_DENIED;
        Stmt children(db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        children.bind(1, target);
        if (children.step())
            return ERROR_ACCESS_DENIED;
        deleteKeys(db, {target});
        return ERROR_SUCCESS;
    });
    return finish(err);
}

LONG regDeleteTree(HKEY key, const char *subKey)
{
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    std::vector<std::string> parts;
    if (DWORD err = splitPath(subKey, parts))
        return finish(err);
    // Emptying a whole hive (or the classes view) is never what a caller means.
    if (parts.empty() && (obj.predefined || !(obj.access & KEY_SET_VALUE)))
        return finish(ERROR_ACCESS_DENIED);
    DWORD err = regstore::transact(obj.hive, true, [&](sqlite3 *db) -> DWORD {
        KeyId base, target;
        if (DWORD e = baseKey(db, obj, false, base))
            return e;
        if (DWORD e = walk(db, base, parts, target))
            return e;
        std::vector<KeyId> doomed = regstore::descendants(db, target);
        if (parts.empty()) {
            Stmt s(db, "DELETE FROM vals WHERE key = ?");
            s.bind(1, target);
            s.step();
        } else {
            doomed.push_back(target);
        }
        deleteKeys(db, doomed);
        return ERROR_SUCCESS;
    });
    return finish(err);
}

LONG regEnumKeyEx(HKEY key, DWORD index, char *name, DWORD *nameSize)
{
    if (!name || !nameSize)
        return finish(ERROR_INVALID_PARAMETER);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_ENUMERATE_SUB_KEYS))
        return finish(ERROR_ACCESS_DENIED);
    std::string found;
    DWORD err = regstore::transact(obj.hive, false, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, false, id))
            return e == ERROR_FILE_NOT_FOUND && obj.classesRoot ? ERROR_NO_MORE_ITEMS : e;
        Stmt s(db, "SELECT name FROM keys WHERE parent = ? ORDER BY fold, id LIMIT 1 OFFSET ?");
        s.bind(1, id).bind(2, static_cast<std::int64_t>(index));
        if (!s.step())
            return ERROR_NO_MORE_ITEMS;
        found = s.text(0);
        return ERROR_SUCCESS;
    });
    if (err)
        return finish(err);
    return finish(copyName(found, name, nameSize));
}

LONG regEnumValue(HKEY key, DWORD index, char *name, DWORD *nameSize, DWORD *type, BYTE *data,
                  DWORD *dataSize)
{
    if (!name || !nameSize || (data && !dataSize))
        return finish(ERROR_INVALID_PARAMETER);
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_QUERY_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    std::string found;
    DWORD foundType = REG_NONE;
    std::vector<BYTE> value;
    DWORD err = regstore::transact(obj.hive, false, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, false, id))
            return e == ERROR_FILE_NOT_FOUND && obj.classesRoot ? ERROR_NO_MORE_ITEMS : e;
        Stmt s(db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid"
                   " LIMIT 1 OFFSET ?");
        s.bind(1, id).bind(2, static_cast<std::int64_t>(index));
        if (!s.step())
            return ERROR_NO_MORE_ITEMS;
        found = s.text(0);
        foundType = static_cast<DWORD>(s.integer(1));
        value = s.blob(2);
        return ERROR_SUCCESS;
    });
    if (err)
        return finish(err);
    if (DWORD e = copyName(found, name, nameSize))
        return finish(e);
    if (type)
        *type = foundType;
    return finish(copyOut(value, data, dataSize));
}

LONG regQueryInfoKey(HKEY key, DWORD *subKeys, DWORD *maxSubKeyLen, DWORD *values,
                     DWORD *maxValueNameLen, DWORD *maxValueLen)
{
    KeyObject obj;
    if (DWORD err = resolve(key, obj))
        return finish(err);
    if (!(obj.access & KEY_QUERY_VALUE))
        return finish(ERROR_ACCESS_DENIED);
    std::int64_t counts[5] = {0, 0, 0, 0, 0};
    DWORD err = regstore::transact(obj.hive, false, [&](sqlite3 *db) -> DWORD {
        KeyId id;
        if (DWORD e = baseKey(db, obj, false, id))
            return e == ERROR_FILE_NOT_FOUND && obj.classesRoot ? ERROR_SUCCESS : e;
        Stmt k(db, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0)"
                   " FROM keys WHERE parent = ?");
        k.bind(1, id);
        if (k.step())
            counts[0] = k.integer(0), counts[1] = k.integer(1);
        Stmt v(db, "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0),"
                   " coalesce(max(length(data)), 0) FROM vals WHERE key = ?");
        v.bind(1, id);
        if (v.step())
            counts[2] = v.integer(0), counts[3] = v.integer(1), counts[4] = v.integer(2);
        return ERROR_SUCCESS;
    });
    if (err)
        return finish(err);
    DWORD *outs[5] = {subKeys, maxSubKeyLen, values, maxValueNameLen, maxValueLen};
    for (int i = 0; i < 5; ++i)
        if (outs[i])
            *outs[i] = static_cast<DWORD>(counts[i]);
    return ERROR_SUCCESS;
}

std::string regRootName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    return {};
}

HKEY regRootFromName(const std::string &name)
{
    std::string upper = name;
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (upper == "HKEY_CLASSES_ROOT" || upper == "HKCR")
        return HKEY_CLASSES_ROOT;
    if (upper == "HKEY_CURRENT_USER" || upper == "HKCU")
        return HKEY_CURRENT_USER;
    if (upper == "HKEY_LOCAL_MACHINE" || upper == "HKLM")
        return HKEY_LOCAL_MACHINE;
    return nullptr;
}

} // namespace plat
