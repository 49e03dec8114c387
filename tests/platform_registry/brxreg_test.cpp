// The registry shared between processes: values written by the brxreg tool are
// seen at once by this process and the other way round, and two processes
// writing at the same time both keep every write.

#include "platform/registry.h"
#include "regtest.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace plat;

namespace {

class PlatformRegistryTool : public regtest::FreshRoot {};

TEST_F(PlatformRegistryTool, ValuesCrossBetweenProcesses)
{
    regtest::ToolResult r = regtest::runTool(
        {"set", "HKCU\\Software\\Nordvale\\Shared", "/v", "Greeting", "/d", "hello there"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, "Software\\Nordvale\\Shared", "Greeting"),
              "hello there");

    r = regtest::runTool({"set", "HKEY_CURRENT_USER\\Software\\Nordvale\\Shared", "/v", "N", "/t",
                          "REG_DWORD", "/d", "0x2a"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    HKEY key = nullptr;
    ASSERT_EQ(regOpenKey(HKEY_CURRENT_USER, "Software\\Nordvale\\Shared", &key), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = 4;
    EXPECT_EQ(regQueryValueEx(key, "N", &type, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 42u);

    // Written here, read there, through the same open handle's database.
    const char text[] = "from the test";
    ASSERT_EQ(regSetValueEx(key, "Back", REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof text),
              ERROR_SUCCESS);
    r = regtest::runTool({"query", "HKCU\\Software\\Nordvale\\Shared", "/v", "back"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("from the test"), std::string::npos) << r.out;

    r = regtest::runTool({"delete", "HKCU\\Software\\Nordvale\\Shared", "/v", "Greeting"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    size = 0;
    EXPECT_EQ(regQueryValueEx(key, "Greeting", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    r = regtest::runTool({"delete", "HKCU\\Software\\Nordvale"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(regQueryValueEx(key, "N", nullptr, nullptr, &size), ERROR_KEY_DELETED);
    regCloseKey(key);
}

struct FailCase {
    std::vector<std::string> args;
    int exitCode;
};

TEST_F(PlatformRegistryTool, FailuresExitNonZeroWithAMessage)
{
    const FailCase cases[] = {
        {{}, 2},
        {{"query", "HKCU\\Software\\Missing"}, 1},
        {{"query", "HKEY_NOWHERE\\X"}, 2},
        {{"set", "HKCU\\Software\\X", "/v", "N", "/t", "REG_DWORD", "/d", "-1"}, 2},
        {{"set", "HKCU\\Software\\X", "/v", "N", "/t", "REG_BINARY", "/d", "0g"}, 2},
        {{"set", "HKCU\\Software\\X", "/v", "N"}, 2},
        {{"delete", "HKCU"}, 2},
        {{"delete", "HKCU\\Software\\Missing"}, 1},
        {{"import", brxtest::scratchDir() + "/no such file"}, 1},
        {{"frobnicate", "HKCU\\Software"}, 2},
    };
    for (const FailCase &c : cases) {
        regtest::ToolResult r = regtest::runTool(c.args);
        std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << label;
        EXPECT_FALSE(r.err.empty()) << label;
    }
}

TEST_F(PlatformRegistryTool, ExportAndImportThroughFiles)
{
    ASSERT_EQ(regtest::runTool({"set", "HKCU\\Software\\Trip\\A", "/ve", "/d", "top"}).exitCode, 0);
    ASSERT_EQ(regtest::runTool({"set", "HKCU\\Software\\Trip\\A\\B", "/v", "Bin", "/t",
                                "REG_BINARY", "/d", "00,ff,10"})
                  .exitCode,
              0);
    std::string file = brxtest::makeScratchDir("brxreg-export") + "/trip.reg";
    regtest::ToolResult r = regtest::runTool({"export", "HKCU\\Software\\Trip", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(regtest::runTool({"delete", "HKCU\\Software\\Trip"}).exitCode, 0);
    r = regtest::runTool({"import", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, "Software\\Trip\\A", ""), "top");
    r = regtest::runTool({"export", "HKCU\\Software\\Trip", "-"});
    std::ifstream in(file);
    std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(r.out, saved);
    EXPECT_NE(saved.find("\"Bin\"=hex:00,ff,10"), std::string::npos) << saved;

    // A broken file changes nothing and names its line.
    r = regtest::runTool({"import", "-"},
                         "REGEDIT4\n[-HKCU\\Software\\Trip]\n[HKCU\\X]\n\"a\"=?\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 4"), std::string::npos) << r.err;
    EXPECT_EQ(regtest::readString(HKEY_CURRENT_USER, "Software\\Trip\\A", ""), "top");
}

TEST_F(PlatformRegistryTool, ConcurrentWritersKeepAllTheirWrites)
{
    constexpr int kPerWriter = 200;
    std::string dir = brxtest::makeScratchDir("brxreg-concurrent");
    std::vector<std::vector<std::string>> commands;
    for (const char *writer : {"first", "second"}) {
        std::string text = "REGEDIT4\n";
        for (int i = 0; i < kPerWriter; ++i) {
            // Each value in a section of its own as well as one shared key, so
            // key creation races too.
            text += "[HKCU\\Software\\Race\\Shared]\n\"" + std::string(writer) + " " +
                    std::to_string(i) + "\"=dword:" + std::to_string(i) + "\n";
            if (i % 20 == 0)
                text += "[HKCU\\Software\\Race\\" + std::string(writer) + std::to_string(i) +
                        "]\n@=\"x\"\n";
        }
        std::string file = dir + "/" + writer + ".reg";
        std::ofstream(file) << text;
        commands.push_back({"import", file});
    }
    std::vector<regtest::ToolResult> results = regtest::runToolsTogether(commands);
    for (const regtest::ToolResult &r : results)
        ASSERT_EQ(r.exitCode, 0) << r.err;

    HKEY key = nullptr;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Race\\Shared", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(regQueryInfoKey(key, nullptr, nullptr, &values, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(values, DWORD(2 * kPerWriter));
    std::set<std::string> names;
    char name[64];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (regEnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size_t(2 * kPerWriter));
    EXPECT_EQ(names.count("first 199"), 1u);
    EXPECT_EQ(names.count("second 0"), 1u);
    regCloseKey(key);
    DWORD subKeys = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(regQueryInfoKey(key, &subKeys, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u + 2 * (kPerWriter / 20));
    regCloseKey(key);
}

} // namespace
