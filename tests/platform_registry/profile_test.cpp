// The application profile: defaults, round trips through the registry, sections
// that are subkey paths, and several profile objects that never disagree.

#include "platform/profile.h"
#include "regtest.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plat;

namespace {

class PlatformRegistryProfile : public regtest::FreshRoot {
protected:
    Profile app{"Nordvale", "Brindle Dovozoz"};
};

TEST_F(PlatformRegistryProfile, EmptyKeyGivesTheDefaults)
{
    EXPECT_EQ(app.getProfileInt("Settings\\Decompression", "Overwrite", 0), 0);
    EXPECT_EQ(app.getProfileInt("Settings\\Compression", "Factor", 9), 9);
    EXPECT_EQ(app.getProfileInt("Settings", "Missing", -5), -5);
    EXPECT_EQ(app.getProfileString("Settings\\Decompression", "Rename Mask", "%f (%n)"), "%f (%n)");
    EXPECT_EQ(app.getProfileString("Settings", "List", nullptr), "");
    std::vector<BYTE> data{1};
    EXPECT_FALSE(app.getProfileBinary("Settings", "Blob", data));
    EXPECT_TRUE(data.empty());
    // Reading creates nothing.
    HKEY key = nullptr;
    EXPECT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Nordvale", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatformRegistryProfile, ValuesRoundTripAsDwordStringAndBinaryUnderTheAppKey)
{
    ASSERT_TRUE(app.writeProfileInt("Settings\\Decompression", "Overwrite", 2));
    ASSERT_TRUE(app.writeProfileInt("Settings\\Preview", "Font Height", -13));
    ASSERT_TRUE(app.writeProfileString("Settings\\Folders", "Extract MRU", "C:\\Out\\Dir"));
    const BYTE blob[] = {0, 1, 2, 0xfe};
    ASSERT_TRUE(app.writeProfileBinary("bar-Summary", "Data", blob, sizeof blob));
    ASSERT_TRUE(app.writeProfileInt("", "Do not manually edit these values...", 0));

    EXPECT_EQ(app.getProfileInt("settings\\decompression", "overwrite", 0), 2);
    EXPECT_EQ(app.getProfileInt("Settings\\Preview", "Font Height", 0), -13);
    EXPECT_EQ(app.getProfileString("Settings\\Folders", "Extract MRU", ""), "C:\\Out\\Dir");
    std::vector<BYTE> data;
    EXPECT_TRUE(app.getProfileBinary("bar-Summary", "Data", data));
    EXPECT_EQ(data, std::vector<BYTE>(blob, blob + sizeof blob));

    // Where and how they are stored is what other deliverables rely on.
    HKEY key = nullptr;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER,
                           "Software\\Nordvale\\Brindle Dovozoz\\Settings\\Decompression", 0,
                           KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = 4;
    EXPECT_EQ(regQueryValueEx(key, "Overwrite", &type, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 2u);
    regCloseKey(key);
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER,
                                  "Software\\Nordvale\\Brindle Dovozoz\\Settings\\Folders",
                                  "Extract MRU"),
              "C:\\Out\\Dir");
    ASSERT_EQ(
        regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Nordvale\\Brindle Dovozoz", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    EXPECT_EQ(regQueryValueEx(key, "Do not manually edit these values...", &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    regCloseKey(key);
}

TEST_F(PlatformRegistryProfile, ValuesOfAnotherTypeGiveTheDefault)
{
    ASSERT_TRUE(app.writeProfileString("Settings", "AutoFix", "1"));
    ASSERT_TRUE(app.writeProfileInt("Settings", "List", 5));
    const BYTE two[] = {1, 0};
    ASSERT_TRUE(app.writeProfileBinary("Settings", "Blob", two, sizeof two));
    EXPECT_EQ(app.getProfileInt("Settings", "AutoFix", 7), 7);
    EXPECT_EQ(app.getProfileString("Settings", "List", "dflt"), "dflt");
    EXPECT_EQ(app.getProfileInt("Settings", "Blob", 3), 3);
    std::vector<BYTE> data;
    EXPECT_FALSE(app.getProfileBinary("Settings", "List", data));
}

TEST_F(PlatformRegistryProfile, ProfileObjectsSeeEachOthersWritesAtOnce)
{
    Profile library("Nordvale", "Brindle Dovozoz");
    EXPECT_EQ(library.getProfileInt("Settings", "Submenu", 1), 1);
    ASSERT_TRUE(app.writeProfileInt("Settings", "Submenu", 0));
    EXPECT_EQ(library.getProfileInt("Settings", "Submenu", 1), 0);
    ASSERT_TRUE(library.writeProfileString("Settings", "List", "C:\\A|C:\\B"));
    EXPECT_EQ(app.getProfileString("Settings", "List", ""), "C:\\A|C:\\B");

    Profile other("Nordvale", "Other Product");
    EXPECT_EQ(other.getProfileInt("Settings", "Submenu", 1), 1);
}

TEST_F(PlatformRegistryProfile, NullValueDeletesTheEntryAndNullEntryTheSection)
{
    ASSERT_TRUE(app.writeProfileString("Settings\\Columns", "WidthDef", "10|20"));
    ASSERT_TRUE(app.writeProfileInt("Settings\\Columns\\Deeper", "X", 1));
    ASSERT_TRUE(app.writeProfileInt("Settings", "Keep", 4));

    ASSERT_TRUE(app.writeProfileString("Settings\\Columns", "WidthDef", nullptr));
    EXPECT_EQ(app.getProfileString("Settings\\Columns", "WidthDef", "gone"), "gone");
    setLastError(0);
    EXPECT_FALSE(app.writeProfileString("Settings\\Columns", "WidthDef", nullptr));
    EXPECT_EQ(getLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(app.writeProfileString("Settings\\Columns", nullptr, nullptr));
    EXPECT_EQ(app.getProfileInt("Settings\\Columns\\Deeper", "X", 9), 9);
    EXPECT_EQ(app.getProfileInt("Settings", "Keep", 0), 4);
}

TEST_F(PlatformRegistryProfile, WithoutARegistryKeyReadsDefaultAndWritesFail)
{
    Profile unnamed;
    EXPECT_EQ(unnamed.getProfileInt("Settings", "AutoFix", 1), 1);
    setLastError(0);
    EXPECT_FALSE(unnamed.writeProfileInt("Settings", "AutoFix", 0));
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_PARAMETER));
    defaultProfile().setRegistryKey("Nordvale");
    defaultProfile().setProfileName("Brindle Dovozoz");
    ASSERT_TRUE(app.writeProfileInt("Settings", "AutoFix", 0));
    EXPECT_EQ(defaultProfile().getProfileInt("Settings", "AutoFix", 1), 0);
}

} // namespace
