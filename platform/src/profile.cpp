#include "platform/profile.h"

#include "platform/errors.h"

#include <cstring>

namespace plat {
namespace {

std::string text(const char *s)
{
    return s ? s : "";
}

BOOL fail(DWORD error)
{
    setLastError(error);
    return 0;
}

// Reads one value of the section; false when the key or value is missing.
bool readEntry(const Profile &profile, const char *section, const char *entry, DWORD &type,
               std::vector<BYTE> &data)
{
    if (!entry)
        return false;
    HKEY key = profile.openSectionKey(section, false);
    if (!key)
        return false;
    LONG rc = regReadValue(key, entry, type, data);
    regCloseKey(key);
    return rc == ERROR_SUCCESS;
}

BOOL writeEntry(const Profile &profile, const char *section, const char *entry, DWORD type,
                const BYTE *data, DWORD size)
{
    if (!entry)
        return fail(ERROR_INVALID_PARAMETER);
    HKEY key = profile.openSectionKey(section, true);
    if (!key)
        return 0;
    LONG rc = regSetValueEx(key, entry, type, data, size);
    regCloseKey(key);
    return rc == ERROR_SUCCESS ? 1 : fail(static_cast<DWORD>(rc));
}

} // namespace

Profile::Profile(std::string registryKey, std::string profileName)
    : m_registryKey(std::move(registryKey)), m_profileName(std::move(profileName))
{
}

std::string Profile::appKeyPath() const
{
    if (m_registryKey.empty() || m_profileName.empty())
        return {};
    return "Software\\" + m_registryKey + "\\" + m_profileName;
}

HKEY Profile::openAppKey(bool create) const
{
    return openSectionKey(nullptr, create);
}

HKEY Profile::openSectionKey(const char *section, bool create) const
{
    std::string path = appKeyPath();
    if (path.empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (section && *section)
        path += "\\" + std::string(section);
    HKEY key = nullptr;
    if (create)
        regCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                       &key, nullptr);
    else
        regOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    return key;
}

int Profile::getProfileInt(const char *section, const char *entry, int defaultValue) const
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!readEntry(*this, section, entry, type, data) || type != REG_DWORD || data.size() != 4)
        return defaultValue;
    DWORD value;
    std::memcpy(&value, data.data(), 4);
    return static_cast<int>(value);
}

BOOL Profile::writeProfileInt(const char *section, const char *entry, int value) const
{
    DWORD stored = static_cast<DWORD>(value);
    return writeEntry(*this, section, entry, REG_DWORD, reinterpret_cast<const BYTE *>(&stored), 4);
}

std::string Profile::getProfileString(const char *section, const char *entry,
                                      const char *defaultValue) const
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (!readEntry(*this, section, entry, type, data) || type != REG_SZ)
        return text(defaultValue);
    std::string value(data.begin(), data.end());
    value.resize(std::strlen(value.c_str()));
    return value;
}

BOOL Profile::writeProfileString(const char *section, const char *entry, const char *value) const
{
    if (!entry) {
        HKEY app = openAppKey(false);
        if (!app)
            return 0;
        LONG rc = regDeleteTree(app, section && *section ? section : nullptr);
        regCloseKey(app);
        return rc == ERROR_SUCCESS ? 1 : fail(static_cast<DWORD>(rc));
    }
    if (!value) {
        HKEY key = openSectionKey(section, false);
        if (!key)
            return 0;
        LONG rc = regDeleteValue(key, entry);
        regCloseKey(key);
        return rc == ERROR_SUCCESS ? 1 : fail(static_cast<DWORD>(rc));
    }
    return writeEntry(*this, section, entry, REG_SZ, reinterpret_cast<const BYTE *>(value),
                      static_cast<DWORD>(std::strlen(value) + 1));
}

BOOL Profile::getProfileBinary(const char *section, const char *entry,
                               std::vector<BYTE> &data) const
{
    DWORD type = REG_NONE;
    if (readEntry(*this, section, entry, type, data) && type == REG_BINARY)
        return 1;
    data.clear();
    return 0;
}

BOOL Profile::writeProfileBinary(const char *section, const char *entry, const BYTE *data,
                                 DWORD size) const
{
    return writeEntry(*this, section, entry, REG_BINARY, data, size);
}

Profile &defaultProfile()
{
    static Profile profile;
    return profile;
}

} // namespace plat
