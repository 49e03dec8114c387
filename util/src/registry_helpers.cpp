// Registry helpers with the simple results the other deliverables expect.

#include "brxutil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace plat;

namespace {
thread_local char t_regBuffer[260];
}

const char *RegReadSZ(HKEY key, const char *subkey, const char *name)
{
    t_regBuffer[0] = '\0';
    HKEY opened = nullptr;
    if (regOpenKeyEx(key, subkey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return t_regBuffer;
    DWORD type = 0;
    DWORD size = sizeof t_regBuffer;
    LONG status = regQueryValueEx(opened, name, &type, reinterpret_cast<BYTE *>(t_regBuffer), &size);
    regCloseKey(opened);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) {
        t_regBuffer[0] = '\0';
        return t_regBuffer;
    }
    t_regBuffer[size < sizeof t_regBuffer ? size : sizeof t_regBuffer - 1] = '\0';
    return t_regBuffer;
}

long RegSetSZ(HKEY key, const char *subkey, const char *name, const char *text)
{
    HKEY opened = nullptr;
    LONG status = regCreateKey(key, subkey, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    status = regSetValueEx(opened, name, REG_SZ, reinterpret_cast<const BYTE *>(text),
                           static_cast<DWORD>(std::strlen(text) + 1));
    regCloseKey(opened);
    return status;
}

std::uint8_t *RegReadBinary(HKEY key, const char *subkey, const char *name, std::uint32_t *size)
{
    HKEY opened = nullptr;
    if (regOpenKeyEx(key, subkey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return nullptr;
    DWORD type = 0;
    std::vector<BYTE> data;
    LONG status = regReadValue(opened, name, type, data);
    regCloseKey(opened);
    if (status != ERROR_SUCCESS || type != REG_BINARY)
        return nullptr;
    auto *copy = static_cast<std::uint8_t *>(std::malloc(data.empty() ? 1 : data.size()));
    if (!copy)
        return nullptr;
    if (!data.empty())
        std::memcpy(copy, data.data(), data.size());
    if (size)
        *size = static_cast<std::uint32_t>(data.size());
    return copy;
}

long RegSetBinary(HKEY key, const char *subkey, const char *name, const std::uint8_t *data,
                  std::uint32_t size)
{
    HKEY opened = nullptr;
    LONG status = regCreateKey(key, subkey, &opened);
    if (status != ERROR_SUCCESS)
        return status;
    status = regSetValueEx(opened, name, REG_BINARY, data, size);
    regCloseKey(opened);
    return status;
}

long RegDelValue(HKEY key, const char *subkey, const char *name)
{
    if (!key || !subkey || !*subkey || !name || !*name)
        return 0;
    HKEY opened = nullptr;
    if (regOpenKeyEx(key, subkey, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return 0;
    LONG status = regDeleteValue(opened, name);
    regCloseKey(opened);
    return status;
}

int BrxutilDelete(void *block, int)
{
    std::free(block);
    return 0;
}
