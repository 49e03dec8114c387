// Key and value rules of the registry, checked the conformance way: a sentinel
// last error, the call, then both the result and the error state.

#include "platform/registry.h"
#include "regtest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace plat;

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

class PlatformRegistryKeys : public regtest::FreshRoot {
protected:
    HKEY create(HKEY root, const char *path, REGSAM access = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(regCreateKeyEx(root, path, REG_OPTION_NON_VOLATILE, access, &key, nullptr),
                  ERROR_SUCCESS)
            << path;
        return key;
    }
    LONG setString(HKEY key, const char *name, const std::string &text)
    {
        return regSetValueEx(key, name, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
    }
    LONG setDword(HKEY key, const char *name, DWORD value)
    {
        return regSetValueEx(key, name, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
    }
    std::vector<std::string> subkeyNames(HKEY key)
    {
        std::vector<std::string> names;
        char name[300];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (regEnumKeyEx(key, i, name, &size) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, size);
        }
        return names;
    }
    std::vector<std::string> valueNames(HKEY key)
    {
        std::vector<std::string> names;
        char name[300];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (regEnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, size);
        }
        return names;
    }
};

struct OpenCase {
    const char *path;
    LONG expected;
};

TEST_F(PlatformRegistryKeys, KeyNamesAreCaseInsensitiveAndPathsAreChecked)
{
    regCloseKey(create(HKEY_CURRENT_USER, "Software\\Alpha Co\\Beta"));
    regCloseKey(create(HKEY_CURRENT_USER, "Software\\\xC3\x84rger\\\xCE\xA3igma"));
    const OpenCase cases[] = {
        {"Software\\Alpha Co\\Beta", ERROR_SUCCESS},
        {"SOFTWARE\\alpha co\\bEtA", ERROR_SUCCESS},
        {"Software\\Alpha Co\\Beta\\", ERROR_SUCCESS},
        {"software\\\xC3\xA4rger\\\xCF\x83igma", ERROR_SUCCESS}, // UTF-8 lower case
        {"", ERROR_SUCCESS},
        {"Software\\Alpha Co\\Gamma", ERROR_FILE_NOT_FOUND},
        {"Software\\Alpha", ERROR_FILE_NOT_FOUND},
        {"\\Software", ERROR_BAD_PATHNAME},
        {"Software\\\\Alpha Co", ERROR_BAD_PATHNAME},
    };
    for (const OpenCase &c : cases) {
        setLastError(kSentinel);
        HKEY key = reinterpret_cast<HKEY>(std::uintptr_t{1});
        LONG rc = regOpenKeyEx(HKEY_CURRENT_USER, c.path, 0, KEY_READ, &key);
        EXPECT_EQ(rc, c.expected) << c.path;
        EXPECT_EQ(getLastError(), c.expected == ERROR_SUCCESS ? kSentinel : DWORD(c.expected))
            << c.path;
        if (rc == ERROR_SUCCESS)
            EXPECT_EQ(regCloseKey(key), ERROR_SUCCESS);
        else
            EXPECT_EQ(key, nullptr) << c.path;
    }
    std::string longName(256, 'x');
    HKEY key = nullptr;
    EXPECT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, ("Software\\" + longName).c_str(), 0,
                             KEY_ALL_ACCESS, &key, nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(PlatformRegistryKeys, CreateReportsDispositionAndKeepsTheFirstSpelling)
{
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "Software\\Corp\\MixedCase", 0, KEY_ALL_ACCESS,
                             &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    regCloseKey(key);
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "software\\CORP\\mixedcase", 0, KEY_ALL_ACCESS,
                             &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    regCloseKey(key);

    HKEY corp = create(HKEY_CURRENT_USER, "Software\\Corp");
    regCloseKey(create(corp, "beta"));
    regCloseKey(create(corp, "GAMMA"));
    regCloseKey(create(corp, "alpha"));
    EXPECT_EQ(subkeyNames(corp), (std::vector<std::string>{"alpha", "beta", "GAMMA", "MixedCase"}));
    regCloseKey(corp);
}

struct ValueCase {
    const char *name;
    DWORD type;
    std::vector<BYTE> written;
    std::vector<BYTE> stored;
};

TEST_F(PlatformRegistryKeys, ValuesKeepTypeAndDataAndStringsAreTerminated)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Values");
    const ValueCase cases[] = {
        {"Text", REG_SZ, {'h', 'i', 0}, {'h', 'i', 0}},
        {"Unterminated", REG_SZ, {'a', 'b', 'c'}, {'a', 'b', 'c', 0}},
        {"Cut at NUL", REG_SZ, {'a', 0, 'b', 0}, {'a', 0}},
        {"Empty text", REG_SZ, {}, {0}},
        {"Expand", REG_EXPAND_SZ, {'%', 'T', '%', 0}, {'%', 'T', '%', 0}},
        {"Bytes", REG_BINARY, {0, 1, 0xff}, {0, 1, 0xff}},
        {"No bytes", REG_BINARY, {}, {}},
        {"Number", REG_DWORD, {10, 0, 0, 0}, {10, 0, 0, 0}},
        {"", REG_SZ, {'d', 0}, {'d', 0}},
    };
    for (const ValueCase &c : cases) {
        setLastError(kSentinel);
        ASSERT_EQ(regSetValueEx(key, c.name, c.type, c.written.data(),
                                static_cast<DWORD>(c.written.size())),
                  ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(getLastError(), kSentinel);
    }
    for (const ValueCase &c : cases) {
        std::string upper = c.name;
        for (char &ch : upper)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        BYTE buffer[64];
        DWORD size = sizeof buffer, type = 0;
        ASSERT_EQ(regQueryValueEx(key, upper.c_str(), &type, buffer, &size), ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), c.stored) << c.name;
    }
    // The default value answers to both a null and an empty name.
    DWORD size = 0;
    EXPECT_EQ(regQueryValueEx(key, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);
    regCloseKey(key);
}

TEST_F(PlatformRegistryKeys, QueryReportsSizesAndMissingValues)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Sizes");
    ASSERT_EQ(setString(key, "Greeting", "hello"), ERROR_SUCCESS);
    struct {
        DWORD capacity;
        bool withBuffer;
        LONG expected;
    } rows[] = {{0, false, ERROR_SUCCESS},
                {3, true, ERROR_MORE_DATA},
                {5, true, ERROR_MORE_DATA},
                {6, true, ERROR_SUCCESS},
                {100, true, ERROR_SUCCESS}};
    for (const auto &row : rows) {
        char buffer[100] = {};
        DWORD size = row.capacity, type = 0;
        setLastError(kSentinel);
        LONG rc = regQueryValueEx(key, "greeting", &type, row.withBuffer ? (BYTE *)buffer : nullptr,
                                  &size);
        EXPECT_EQ(rc, row.expected) << row.capacity;
        EXPECT_EQ(size, 6u) << row.capacity; // needed size, terminator included
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(getLastError(), rc == ERROR_SUCCESS ? kSentinel : DWORD(rc));
        if (rc == ERROR_SUCCESS && row.withBuffer) {
            EXPECT_STREQ(buffer, "hello");
        }
    }
    setLastError(kSentinel);
    DWORD size = 10;
    EXPECT_EQ(regQueryValueEx(key, "Missing", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(getLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(regQueryValueEx(key, "", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(regDeleteValue(key, "Missing"), ERROR_FILE_NOT_FOUND);
    BYTE three[3] = {1, 2, 3};
    EXPECT_EQ(regSetValueEx(key, "Short", REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(regSetValueEx(key, "Null", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    BYTE out[4];
    EXPECT_EQ(regQueryValueEx(key, "Greeting", nullptr, out, nullptr), ERROR_INVALID_PARAMETER);
    regCloseKey(key);
}

TEST_F(PlatformRegistryKeys, EnumerationAndInfoFollowTheKeysContents)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Listing");
    ASSERT_EQ(setDword(key, "Zeta", 1), ERROR_SUCCESS);
    ASSERT_EQ(setString(key, "alpha", "longest text"), ERROR_SUCCESS);
    ASSERT_EQ(setDword(key, "Mid", 2), ERROR_SUCCESS);
    // Rewriting under another spelling keeps the value's place and first name.
    ASSERT_EQ(setDword(key, "ZETA", 3), ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
    regCloseKey(create(key, "Sub One"));
    regCloseKey(create(key, "S2"));

    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(regQueryInfoKey(key, &subKeys, &maxSub, &values, &maxName, &maxData), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSub, 7u);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxName, 5u);
    EXPECT_EQ(maxData, 13u);

    char name[8];
    DWORD nameSize = 3;
    EXPECT_EQ(regEnumKeyEx(key, 1, name, &nameSize), ERROR_MORE_DATA); // "Sub One"
    EXPECT_EQ(nameSize, 7u);
    nameSize = sizeof name;
    EXPECT_EQ(regEnumKeyEx(key, 1, name, &nameSize), ERROR_SUCCESS);
    EXPECT_STREQ(name, "Sub One");
    setLastError(kSentinel);
    nameSize = sizeof name;
    EXPECT_EQ(regEnumKeyEx(key, 2, name, &nameSize), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(getLastError(), DWORD(ERROR_NO_MORE_ITEMS));

    BYTE data[4];
    DWORD type = 0, dataSize = sizeof data;
    nameSize = sizeof name;
    EXPECT_EQ(regEnumValue(key, 1, name, &nameSize, &type, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 13u);
    DWORD value = 0;
    dataSize = 4;
    nameSize = sizeof name;
    EXPECT_EQ(
        regEnumValue(key, 0, name, &nameSize, &type, reinterpret_cast<BYTE *>(&value), &dataSize),
        ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 3u);
    nameSize = sizeof name;
    EXPECT_EQ(regEnumValue(key, 3, name, &nameSize, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    regCloseKey(key);
}

TEST_F(PlatformRegistryKeys, DeleteKeyTakesLeavesOnlyAndDeleteTreeTakesEverything)
{
    HKEY top = create(HKEY_CURRENT_USER, "Software\\Tree");
    regCloseKey(create(top, "A\\B\\C"));
    regCloseKey(create(top, "D"));
    ASSERT_EQ(setDword(top, "Kept", 1), ERROR_SUCCESS);

    setLastError(kSentinel);
    EXPECT_EQ(regDeleteKey(top, "A"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(getLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(regDeleteKey(top, "a\\b\\c"), ERROR_SUCCESS);
    EXPECT_EQ(regDeleteKey(top, "A\\B\\C"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(regDeleteKey(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(regDeleteTree(HKEY_CURRENT_USER, nullptr), ERROR_ACCESS_DENIED);

    regCloseKey(create(top, "A\\B\\C2"));
    EXPECT_EQ(regDeleteTree(top, "A"), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(top), (std::vector<std::string>{"D"}));
    EXPECT_EQ(regDeleteTree(top, "A"), ERROR_FILE_NOT_FOUND);

    // Without a subkey the key is emptied but stays.
    EXPECT_EQ(regDeleteTree(top, nullptr), ERROR_SUCCESS);
    DWORD subKeys = 9, values = 9;
    EXPECT_EQ(regQueryInfoKey(top, &subKeys, nullptr, &values, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u);
    regCloseKey(top);
}

TEST_F(PlatformRegistryKeys, HandlesOfDeletedKeysFailWithKeyDeleted)
{
    HKEY inner = create(HKEY_CURRENT_USER, "Software\\Doomed\\Inner");
    HKEY outer = create(HKEY_CURRENT_USER, "Software\\Doomed");
    ASSERT_EQ(setDword(inner, "V", 1), ERROR_SUCCESS);
    ASSERT_EQ(regDeleteTree(HKEY_CURRENT_USER, "Software\\Doomed"), ERROR_SUCCESS);
    // Made again under the same name, it is still another key.
    regCloseKey(create(HKEY_CURRENT_USER, "Software\\Doomed\\Inner"));

    DWORD value = 7, size = 4;
    HKEY child = nullptr;
    char name[16];
    DWORD nameSize = sizeof name;
    setLastError(kSentinel);
    EXPECT_EQ(regQueryValueEx(inner, "V", nullptr, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(getLastError(), DWORD(ERROR_KEY_DELETED));
    EXPECT_EQ(setDword(inner, "V", 2), ERROR_KEY_DELETED);
    EXPECT_EQ(regCreateKeyEx(inner, "Child", 0, KEY_ALL_ACCESS, &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(regEnumKeyEx(outer, 0, name, &nameSize), ERROR_KEY_DELETED);
    EXPECT_EQ(regCloseKey(inner), ERROR_SUCCESS);
    EXPECT_EQ(regCloseKey(outer), ERROR_SUCCESS);
}

TEST_F(PlatformRegistryKeys, InvalidHandlesAndAccessRights)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Rights");
    ASSERT_EQ(regCloseKey(key), ERROR_SUCCESS);
    setLastError(kSentinel);
    EXPECT_EQ(regCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(getLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(setDword(key, "X", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(setDword(reinterpret_cast<HKEY>(std::uintptr_t{0x1234}), "X", 1),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(setDword(nullptr, "X", 1), ERROR_INVALID_HANDLE);

    HKEY reader = nullptr;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Rights", 0, KEY_READ, &reader),
              ERROR_SUCCESS);
    EXPECT_EQ(setDword(reader, "X", 1), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(regCreateKeyEx(reader, "New", 0, KEY_ALL_ACCESS, &child, nullptr),
              ERROR_ACCESS_DENIED);
    regCloseKey(reader);

    HKEY writer = nullptr;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Rights", 0, KEY_SET_VALUE, &writer),
              ERROR_SUCCESS);
    EXPECT_EQ(setDword(writer, "X", 1), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(regQueryValueEx(writer, "X", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    regCloseKey(writer);
}

TEST_F(PlatformRegistryKeys, ClassesRootIsTheMachinesSoftwareClassesAndHivesAreApart)
{
    HKEY ext = create(HKEY_CLASSES_ROOT, ".zip");
    ASSERT_EQ(setString(ext, nullptr, "BrindleX.1"), ERROR_SUCCESS);
    regCloseKey(ext);
    EXPECT_EQ(regtest::readString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.ZIP", ""), "BrindleX.1");
    bool found = true;
    regtest::readString(HKEY_CURRENT_USER, "Software\\Classes\\.zip", "", &found);
    EXPECT_FALSE(found);

    HKEY user = create(HKEY_CURRENT_USER, "Software\\OnlyUser");
    regCloseKey(user);
    HKEY probe = nullptr;
    EXPECT_EQ(regOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\OnlyUser", 0, KEY_READ, &probe),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatformRegistryKeys, DataOutlivesTheConnectionAndOldRootHandlesGoStale)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Durable");
    ASSERT_EQ(setString(key, "Kept", "yes"), ERROR_SUCCESS);
    std::string mine = root();
    setenv("BRX_ROOT", (mine + "-elsewhere").c_str(), 1);
    bool found = true;
    regtest::readString(HKEY_CURRENT_USER, "Software\\Durable", "Kept", &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(setString(key, "Stale", "no"), ERROR_INVALID_HANDLE);
    setenv("BRX_ROOT", mine.c_str(), 1);
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, "Software\\Durable", "Kept"), "yes");
}

} // namespace
