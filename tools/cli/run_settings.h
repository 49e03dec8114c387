#pragma once

// Settings for one run. Some exported functions (Extract for the overwrite,
// path and update modes, DoCab for every cabinet option) read the settings
// store themselves and take no override in their records; the command-line
// options reach them by writing the values for the duration of the command.
// Every value touched is put back as it was (or removed when it was absent)
// when the object goes, so the user's own choices survive the run.

#include "common/settings.h"

#include <string>
#include <vector>

namespace brx {

class RunSettings {
public:
    RunSettings() = default;
    ~RunSettings();
    RunSettings(const RunSettings &) = delete;
    RunSettings &operator=(const RunSettings &) = delete;

    // Writes the value for this run; false when the registry refused it.
    bool set(const settings::IntSetting &setting, int value);
    bool set(const settings::StringSetting &setting, const std::string &value);

    // Puts every value back now (also done by the destructor).
    void restore();

private:
    struct Saved {
        std::string section, name;
        bool existed = false;
        unsigned long type = 0;
        std::vector<unsigned char> data;
    };
    void remember(const char *section, const char *name);
    std::vector<Saved> m_saved;
};

} // namespace brx
