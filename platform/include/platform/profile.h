#pragma once

// Application profile over the registry, as the application framework offers it:
// an application names its registry key (the company) and its profile name, and
// then reads and writes values by section and entry below
// HKEY_CURRENT_USER\Software\<company>\<profile>. A section may name a subkey path
// ("Settings\Decompression"); the empty section is the application key itself.
// Integers are stored as DWORD, strings as REG_SZ, binary data as REG_BINARY.
// Every call goes to the registry; nothing is cached, so several Profile objects
// (one per library of a process, or in several processes) always agree.

#include "platform/registry.h"
#include "platform/types.h"

#include <string>
#include <vector>

namespace plat {

class Profile {
public:
    Profile() = default;
    Profile(std::string registryKey, std::string profileName);

    // The company part of the key ("Nordvale").
    void setRegistryKey(const std::string &registryKey) { m_registryKey = registryKey; }
    // The application part of the key ("Brindle Dovozoz").
    void setProfileName(const std::string &profileName) { m_profileName = profileName; }
    const std::string &registryKey() const { return m_registryKey; }
    const std::string &profileName() const { return m_profileName; }

    // "Software\<company>\<profile>" below HKEY_CURRENT_USER; empty while either
    // part is unset.
    std::string appKeyPath() const;

    // Opens the application key (created when create is set). null on failure
    // with the last error set. The caller closes it with regCloseKey.
    HKEY openAppKey(bool create) const;
    // Opens the key of a section (created when create is set); null on failure.
    HKEY openSectionKey(const char *section, bool create) const;

    // The DWORD entry as int; defaultValue when it is missing or not a DWORD.
    int getProfileInt(const char *section, const char *entry, int defaultValue) const;
    // Stores value as DWORD. TRUE on success; FALSE with the last error set.
    BOOL writeProfileInt(const char *section, const char *entry, int value) const;

    // The REG_SZ entry; defaultValue (null counts as "") when missing or of
    // another type.
    std::string getProfileString(const char *section, const char *entry,
                                 const char *defaultValue) const;
    // Stores value as REG_SZ. A null entry deletes the whole section with its
    // subkeys; a null value deletes the entry. TRUE on success; FALSE with the last
    // error set (ERROR_FILE_NOT_FOUND when what is to be deleted is not there).
    BOOL writeProfileString(const char *section, const char *entry, const char *value) const;

    // The REG_BINARY entry into data. TRUE when present; FALSE (data emptied) when
    // missing or of another type.
    BOOL getProfileBinary(const char *section, const char *entry, std::vector<BYTE> &data) const;
    // Stores size bytes as REG_BINARY. TRUE on success; FALSE with the last error set.
    BOOL writeProfileBinary(const char *section, const char *entry, const BYTE *data,
                            DWORD size) const;

private:
    std::string m_registryKey;
    std::string m_profileName;
};

// The process's default profile (for code with no application object of its own).
Profile &defaultProfile();

} // namespace plat
