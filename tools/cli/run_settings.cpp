#include "run_settings.h"

#include "platform/registry.h"

#include <algorithm>

namespace brx {

namespace {

std::string keyOf(const std::string &section)
{
    return std::string(settings::kApplicationKey) + "\\" + section;
}

} // namespace

RunSettings::~RunSettings()
{
    restore();
}

void RunSettings::remember(const char *section, const char *name)
{
    const bool known = std::any_of(m_saved.begin(), m_saved.end(), [&](const Saved &s) {
        return s.section == section && s.name == name;
    });
    if (known)
        return;
    Saved saved;
    saved.section = section;
    saved.name = name;
    plat::HKEY key = nullptr;
    if (plat::regOpenKeyEx(plat::HKEY_CURRENT_USER, keyOf(section).c_str(), 0, plat::KEY_READ,
                           &key) == 0) {
        plat::DWORD type = 0;
        std::vector<plat::BYTE> data;
        if (plat::regReadValue(key, name, type, data) == 0) {
            saved.existed = true;
            saved.type = type;
            saved.data.assign(data.begin(), data.end());
        }
        plat::regCloseKey(key);
    }
    m_saved.push_back(std::move(saved));
}

bool RunSettings::set(const settings::IntSetting &setting, int value)
{
    remember(setting.section, setting.name);
    return settings::write(setting, value);
}

bool RunSettings::set(const settings::StringSetting &setting, const std::string &value)
{
    remember(setting.section, setting.name);
    return settings::write(setting, value);
}

void RunSettings::restore()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        plat::HKEY key = nullptr;
        if (plat::regCreateKeyEx(plat::HKEY_CURRENT_USER, keyOf(it->section).c_str(), 0,
                                 plat::KEY_ALL_ACCESS, &key, nullptr) != 0)
            continue;
        if (it->existed)
            plat::regSetValueEx(key, it->name.c_str(), static_cast<plat::DWORD>(it->type),
                                it->data.data(), static_cast<plat::DWORD>(it->data.size()));
        else
            plat::regDeleteValue(key, it->name.c_str());
        plat::regCloseKey(key);
    }
    m_saved.clear();
}

} // namespace brx
