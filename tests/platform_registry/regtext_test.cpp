// Registry text: a subtree exported, deleted and imported comes back unchanged;
// bad text is refused as a whole with the line that is wrong.

#include "platform/regtext.h"
#include "regtest.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plat;

namespace {

class PlatformRegistryText : public regtest::FreshRoot {};

void put(HKEY key, const char *name, DWORD type, const std::vector<BYTE> &data)
{
    ASSERT_EQ(regSetValueEx(key, name, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << name;
}

std::vector<BYTE> bytes(const std::string &s, bool terminate = true)
{
    std::vector<BYTE> v(s.begin(), s.end());
    if (terminate)
        v.push_back(0);
    return v;
}

TEST_F(PlatformRegistryText, ExportDeleteImportGivesTheSameTree)
{
    HKEY key = nullptr;
    ASSERT_EQ(regCreateKey(HKEY_CURRENT_USER, "Software\\Trip\\Sub \"quoted\"\\Deep", &key),
              ERROR_SUCCESS);
    regCloseKey(key);
    ASSERT_EQ(regCreateKey(HKEY_CURRENT_USER, "Software\\Trip", &key), ERROR_SUCCESS);
    put(key, nullptr, REG_SZ, bytes("default"));
    put(key, "Plain", REG_SZ, bytes("C:\\Program Files\\\"x\""));
    put(key, "Two\nlines", REG_SZ, bytes("first\nsecond"));
    put(key, "Empty", REG_SZ, bytes(""));
    put(key,
        "\xC3\x9C"
        "ber",
        REG_SZ, bytes("gr\xC3\xBC\xC3\x9F"));
    put(key, "Count", REG_DWORD, {0x0a, 0, 0, 0xff});
    std::vector<BYTE> big(100);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 7);
    put(key, "Big", REG_BINARY, big);
    put(key, "Nothing", REG_BINARY, {});
    put(key, "Expand", REG_EXPAND_SZ, bytes("%TEMP%\\x"));
    put(key, "Multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0});
    regCloseKey(key);

    std::string first;
    ASSERT_EQ(regExportText(HKEY_CURRENT_USER, "Software\\Trip", first), ERROR_SUCCESS);
    EXPECT_NE(first.find("\"Plain\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n"), std::string::npos);
    EXPECT_NE(first.find("\"Count\"=dword:ff00000a\n"), std::string::npos);
    EXPECT_NE(first.find("@=\"default\"\n"), std::string::npos);
    EXPECT_NE(first.find("[HKEY_CURRENT_USER\\Software\\Trip\\Sub \"quoted\"\\Deep]"),
              std::string::npos);

    ASSERT_EQ(regDeleteTree(HKEY_CURRENT_USER, "Software\\Trip"), ERROR_SUCCESS);
    std::string message;
    ASSERT_EQ(regImportText(first, message), ERROR_SUCCESS) << message;
    std::string second;
    ASSERT_EQ(regExportText(HKEY_CURRENT_USER, "Software\\Trip", second), ERROR_SUCCESS);
    EXPECT_EQ(second, first);
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, "Software\\Trip", "Two\nlines"),
              "first\nsecond");
}

TEST_F(PlatformRegistryText, ImportDeletesKeysAndValuesAndReadsShortRoots)
{
    std::string message;
    ASSERT_EQ(regImportText("REGEDIT4\n\n[HKCU\\Software\\Imp\\Old]\n\"A\"=\"1\"\n"
                            "[HKCU\\Software\\Imp]\n\"Gone\"=dword:1\n\"Stays\"=hex:0a,\\\n  0b\n",
                            message),
              ERROR_SUCCESS)
        << message;
    ASSERT_EQ(
        regImportText("REGEDIT4\r\n; remove things\r\n[-HKEY_CURRENT_USER\\Software\\Imp\\Old]"
                      "\r\n[HKEY_CURRENT_USER\\Software\\Imp]\r\n\"Gone\"=-\r\n\"Never\"=-\r\n"
                      "[-HKEY_CURRENT_USER\\Software\\Imp\\Missing]\r\n",
                      message),
        ERROR_SUCCESS)
        << message;
    HKEY key = nullptr;
    EXPECT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Imp\\Old", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Imp", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(regQueryValueEx(key, "Gone", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    BYTE data[4];
    size = sizeof data;
    EXPECT_EQ(regQueryValueEx(key, "Stays", nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(data, data + size), (std::vector<BYTE>{0x0a, 0x0b}));
    regCloseKey(key);
}

struct BadText {
    const char *text;
    const char *line;
};

TEST_F(PlatformRegistryText, BadTextIsRefusedWholeWithItsLine)
{
    const BadText cases[] = {
        {"[HKEY_CURRENT_USER\\Software\\Bad]\n", "line 1:"},
        {"REGEDIT4\n\"Early\"=\"x\"\n", "line 2:"},
        {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", "line 2:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\"=dword:123456789\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\"=hex:0g\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\"=\"open\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\"=\"a\\q\"\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\" \"x\"\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\n\"N\"=hex(4):01,02\n", "line 3:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad\n", "line 2:"},
        {"REGEDIT4\n[HKCU\\Software\\\\Bad]\n", "line 2:"},
        {"REGEDIT4\n[-HKCU]\n", "line 2:"},
        {"REGEDIT4\n[HKCU\\Software\\Bad]\nstray\n", "line 3:"},
    };
    for (const BadText &c : cases) {
        std::string message;
        setLastError(0);
        EXPECT_EQ(regImportText(c.text, message), ERROR_INVALID_DATA) << c.text;
        EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_DATA));
        EXPECT_EQ(message.rfind(c.line, 0), 0u) << c.text << " -> " << message;
        HKEY key = nullptr;
        EXPECT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Bad", 0, KEY_READ, &key),
                  ERROR_FILE_NOT_FOUND)
            << c.text;
    }
}

TEST_F(PlatformRegistryText, ExportOfAMissingKeyFails)
{
    std::string text = "unchanged";
    EXPECT_EQ(regExportText(HKEY_CURRENT_USER, "Software\\NotThere", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "unchanged");
}

} // namespace
