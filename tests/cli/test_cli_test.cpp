// brx test: the verdict and the result codes on sound, damaged and encrypted
// archives, with and without the decryption code.

#include "cli_test_util.h"
#include "testenv.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace clitest;

namespace {

// Flips a byte in the middle of the file (inside the compressed data of the
// one large entry).
void damage(const std::string &path)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(0, std::ios::end);
    const auto size = static_cast<long long>(f.tellg());
    f.seekp(size / 2);
    char c = 0;
    f.seekg(size / 2);
    f.read(&c, 1);
    f.seekp(size / 2);
    c = static_cast<char>(c ^ 0x5A);
    f.write(&c, 1);
}

} // namespace

TEST(CliTest, VerdictsAndResultCodes)
{
    const std::string root = brxtest::makeScratchDir("test-verdicts");
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += std::to_string(i * 7919 % 10007) + " ";
    writeFile(root + "/src/big.txt", text);
    writeFile(root + "/src/small.txt", "small");
    ASSERT_EQ(sh("cd '" + root +
                 "/src' && zip -q -X ../good.zip big.txt small.txt && "
                 "zip -q -X -P right ../locked.zip big.txt small.txt && "
                 "gcab -c -z ../good.cab big.txt small.txt"),
              0);
    ASSERT_EQ(sh("cd '" + root + "' && cp good.zip bad.zip && head -c 5000 good.cab > bad.cab"), 0);
    damage(root + "/bad.zip");

    const std::string passed = "The archive passed the test and is valid";
    const std::string failed = "The archive FAILED the test and is invalid";
    const std::string untested = "could not be fully tested";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out, err;
    } cases[] = {
        {{"test", root + "/good.zip"}, 0, passed, ""},
        {{"test", win(root + "/good.zip")}, 0, passed, ""},
        {{"test", root + "/bad.zip"}, 2, failed, ""},
        {{"test", root + "/good.cab"}, 0, passed, ""},
        {{"test", root + "/bad.cab"}, 1, failed, "Corrupt cabinet"},
        {{"test", "--password", "right", root + "/locked.zip"}, 0, passed, ""},
        {{"test", "--password", "wrong", root + "/locked.zip"}, 49, untested, ""},
        // No code and no terminal: a clear refusal, never a wait.
        {{"test", root + "/locked.zip"}, 41, untested, "--password"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.back() + " " + c.args[1]);
        const Result r = brx(c.args);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

// Testing a cabinet decodes its files; none of them may be left anywhere (not
// in the working folder, not in the drive's root).
TEST(CliTest, CabinetTestLeavesNoFiles)
{
    const std::string root = brxtest::makeScratchDir("test-cab-clean");
    const std::string name = "brx-cli-test-" + std::to_string(getpid()) + ".txt";
    writeFile(root + "/src/" + name, "decoded but not kept");
    ASSERT_EQ(sh("cd '" + root + "/src' && gcab -c -z ../t.cab " + name), 0);
    const std::string work = brxtest::makeScratchDir("test-cab-clean-work");
    const Result r = brx({"test", root + "/t.cab"}, work);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists("/" + name));
    EXPECT_TRUE(std::filesystem::is_empty(work));
    std::filesystem::remove("/" + name);
}
