#include "common/settings.h"

#include "platform/registry.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace plat;

namespace {

LONG setRaw(const char *section, const char *name, DWORD type, const void *data, DWORD size)
{
    std::string key = std::string(settings::kApplicationKey) + "\\" + section;
    HKEY handle = nullptr;
    LONG status = regCreateKey(HKEY_CURRENT_USER, key.c_str(), &handle);
    if (status != ERROR_SUCCESS)
        return status;
    status = regSetValueEx(handle, name, type, static_cast<const BYTE *>(data), size);
    regCloseKey(handle);
    return status;
}

} // namespace

TEST(Settings, EmptyStoreGivesDefaults)
{
    EXPECT_EQ(settings::read(settings::decompression::Overwrite), 0) << "ask before replacing";
    EXPECT_EQ(settings::read(settings::decompression::Path), 1) << "restore folders";
    EXPECT_EQ(settings::read(settings::decompression::RenameMask), "%f (%n)");
    EXPECT_EQ(settings::read(settings::kColumns.SortColumn), 15);
    EXPECT_EQ(settings::read(settings::kCabColumns.SortColumn), 9);
    EXPECT_EQ(settings::read(settings::compression::FilterYear), 1980);
}

// Every read goes to the registry: a value another deliverable (or process)
// writes directly is seen by the next read.
TEST(Settings, ReadsSeeTheRegistryAtTheMomentOfTheCall)
{
    EXPECT_EQ(settings::read(settings::compression::Factor), 9);
    DWORD three = 3;
    ASSERT_EQ(setRaw("Settings\\Compression", "Factor", REG_DWORD, &three, 4), ERROR_SUCCESS);
    EXPECT_EQ(settings::read(settings::compression::Factor), 3);

    ASSERT_TRUE(settings::write(settings::folders::Temp, "C:\\Scratch"));
    EXPECT_EQ(settings::read(settings::folders::Temp), "C:\\Scratch");
    ASSERT_TRUE(settings::write(settings::compression::Factor, 0));
    EXPECT_EQ(settings::read(settings::compression::Factor), 0);
}

TEST(Settings, ValueOfTheWrongTypeYieldsTheDefault)
{
    const char text[] = "7";
    ASSERT_EQ(setRaw("Settings\\Decompression", "Overwrite", REG_SZ, text, sizeof text),
              ERROR_SUCCESS);
    EXPECT_EQ(settings::read(settings::decompression::Overwrite), 0);
}

TEST(Settings, MarkersGoIntoTheKeyAndTheMainSections)
{
    ASSERT_TRUE(settings::writeMarkers());
    for (const char *section : {"", "Settings", "Settings\\Columns", "Settings\\Interface",
                                "Settings\\Main Frame", "Settings\\Preview",
                                "Settings\\Compression"}) {
        std::string key = std::string(settings::kApplicationKey) +
                          (*section ? std::string("\\") + section : std::string());
        HKEY handle = nullptr;
        ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle),
                  ERROR_SUCCESS)
            << section;
        DWORD type = 0, value = 99, size = 4;
        EXPECT_EQ(regQueryValueEx(handle, "Do not manually edit these values...", &type,
                                  reinterpret_cast<BYTE *>(&value), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value, 0u);
        regCloseKey(handle);
    }
}

TEST(Settings, FontHeightDefaultFollowsTheScreen)
{
    EXPECT_EQ(settings::read(settings::preview::FontHeight), -11);
    settings::preview::setScreenDpi(120);
    EXPECT_EQ(settings::read(settings::preview::FontHeight), -13);
    settings::preview::setScreenDpi(96);
}
