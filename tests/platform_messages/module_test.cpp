// Loading a deliverable by its Windows name, exports by name and by ordinal.
#include "testenv.h"

#include "platform/errors.h"
#include "platform/module.h"
#include "platform/strings.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fstream>

using namespace plat;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// "/a/b" -> "C:\a\b" under the default drive table (C: is the host root).
std::string windowsPathOf(const std::string &hostPath)
{
    std::string out = "C:";
    for (char c : hostPath)
        out.push_back(c == '/' ? '\\' : c);
    return out;
}

TEST(Module, LoadsByNameInAnyCaseAndResolvesExportsByNameAndOrdinal)
{
    setLastError(kSentinel);
    HMODULE module = loadLibrary("testmod.dll");
    ASSERT_NE(module, nullptr) << getLastError();

    using AddFn = int (*)(int, int);
    using NameFn = const char *(*)();
    auto add = getProc<AddFn>(module, "TestModAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(getProc<AddFn>(module, ordinalName(1)), add);
    auto name = getProc<NameFn>(module, ordinalName(2));
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name(), "TESTMOD");

    // Not exports of this module: an unknown ordinal, one whose function is
    // not exported, a hidden function, and a function of a library it uses.
    for (const char *missing :
         {ordinalName(9), ordinalName(3), "TestModHidden", "malloc", "testmodadd"}) {
        setLastError(kSentinel);
        EXPECT_EQ(getProcAddress(module, missing), nullptr);
        EXPECT_EQ(getLastError(), ERROR_PROC_NOT_FOUND);
    }

    // Loaded, the module's string table is there.
    EXPECT_EQ(loadString("TESTMOD.DLL", 1), "Test module");
    EXPECT_EQ(freeLibrary(module), TRUE);
}

TEST(Module, ReferencesAreCountedAndUnloadingWithdrawsTheStringTable)
{
    HMODULE first = loadLibrary("TESTMOD.DLL");
    ASSERT_NE(first, nullptr);
    HMODULE second = loadLibrary("TestMod"); // the default extension is added
    EXPECT_EQ(second, first);
    char hostPath[kMaxPath];
    ASSERT_GT(getModuleHostPath(first, hostPath, sizeof hostPath), 0u);
    HMODULE byPath = loadLibrary(windowsPathOf(hostPath).c_str());
    EXPECT_EQ(byPath, first);
    EXPECT_EQ(getModuleHandle("testmod"), first);

    EXPECT_EQ(freeLibrary(byPath), TRUE);
    EXPECT_EQ(freeLibrary(second), TRUE);
    EXPECT_TRUE(hasString("TESTMOD.DLL", 1));
    EXPECT_EQ(freeLibrary(first), TRUE);
    EXPECT_FALSE(hasString("TESTMOD.DLL", 1));

    setLastError(kSentinel);
    EXPECT_EQ(getModuleHandle("TESTMOD.DLL"), nullptr);
    EXPECT_EQ(getLastError(), ERROR_MOD_NOT_FOUND);
    setLastError(kSentinel);
    EXPECT_EQ(freeLibrary(first), FALSE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
    setLastError(kSentinel);
    EXPECT_EQ(getProcAddress(first, "TestModAdd"), nullptr);
    EXPECT_EQ(getLastError(), ERROR_INVALID_HANDLE);
}

TEST(Module, FailuresGiveTheWindowsErrors)
{
    const std::string dir = brxtest::makeScratchDir("module");
    std::ofstream(dir + "/BAD.DLL") << "this is no library";
    const struct {
        std::string name;
        DWORD error;
    } cases[] = {
        {"NOSUCH.DLL", ERROR_MOD_NOT_FOUND},
        {windowsPathOf(dir) + "\\NOSUCH.DLL", ERROR_MOD_NOT_FOUND},
        {windowsPathOf(dir) + "\\bad.dll", ERROR_BAD_EXE_FORMAT},
        {"", ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        setLastError(kSentinel);
        EXPECT_EQ(loadLibrary(c.name.c_str()), nullptr) << c.name;
        EXPECT_EQ(getLastError(), c.error) << c.name;
    }
    setLastError(kSentinel);
    EXPECT_EQ(loadLibrary(nullptr), nullptr);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace

TEST(Module, AttachRefusalAndOverrides)
{
    setenv("TESTMOD_REFUSE", "1", 1);
    setLastError(kSentinel);
    EXPECT_EQ(loadLibrary("TESTMOD.DLL"), nullptr);
    EXPECT_EQ(getLastError(), ERROR_DLL_INIT_FAILED);
    unsetenv("TESTMOD_REFUSE");

    // An override stands another host file in for a module name.
    char hostBuffer[4096] = {};
    ASSERT_GT(getModuleHostPath(loadLibrary("TESTMOD.DLL"), hostBuffer, sizeof hostBuffer), 0u);
    const std::string host = hostBuffer;
    setenv("BRX_MODULE_OVERRIDES", ("OTHER.DLL=" + host).c_str(), 1);
    HMODULE other = loadLibrary("other.dll");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(getProcAddress(other, "TestModAdd"), nullptr);
    unsetenv("BRX_MODULE_OVERRIDES");
}
