#include "common/settings.h"

#include "platform/profile.h"

#include <cstdio>

namespace settings {
namespace {

// Each deliverable holds its own profile object on the one application key, the
// way each library has its own application object.
const plat::Profile &profile()
{
    static const plat::Profile instance(kCompany, kProductName);
    return instance;
}

int screenDpi = 96;

} // namespace

int readInt(const char *section, const char *name, int defaultValue)
{
    return profile().getProfileInt(section, name, defaultValue);
}

std::string readString(const char *section, const char *name, const char *defaultValue)
{
    return profile().getProfileString(section, name, defaultValue);
}

bool writeInt(const char *section, const char *name, int value)
{
    return profile().writeProfileInt(section, name, value) != 0;
}

bool writeString(const char *section, const char *name, const std::string &value)
{
    return profile().writeProfileString(section, name, value.c_str()) != 0;
}

int read(const IntSetting &s) { return readInt(s.section, s.name, s.defaultValue); }
std::string read(const StringSetting &s) { return readString(s.section, s.name, s.defaultValue); }
int read(const ComputedIntSetting &s) { return readInt(s.section, s.name, s.defaultValue()); }
std::string read(const ComputedStringSetting &s)
{
    return readString(s.section, s.name, s.defaultValue().c_str());
}

bool write(const IntSetting &s, int value) { return writeInt(s.section, s.name, value); }
bool write(const StringSetting &s, const std::string &value)
{
    return writeString(s.section, s.name, value);
}
bool write(const ComputedIntSetting &s, int value) { return writeInt(s.section, s.name, value); }
bool write(const ComputedStringSetting &s, const std::string &value)
{
    return writeString(s.section, s.name, value);
}

const std::vector<const char *> &markerSections()
{
    static const std::vector<const char *> sections = {
        "", section::kSettings, section::kColumns, section::kInterface,
        section::kMainFrame, section::kPreview, section::kCompression};
    return sections;
}

bool writeMarkers()
{
    bool ok = true;
    for (const char *s : markerSections())
        ok = writeInt(s, kMarkerName, 0) && ok;
    return ok;
}

namespace preview {
void setScreenDpi(int dpi) { screenDpi = dpi > 0 ? dpi : 96; }

int defaultFontHeight()
{
    // Rounded like MulDiv(8, dpi, 72).
    return -((8 * screenDpi + 36) / 72);
}
} // namespace preview

std::string recentFileName(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "File%d", index);
    return name;
}

} // namespace settings
