// brx extract: overwrite modes, named entries, folders kept or dropped, host
// and Windows paths, and the settings left as they were.

#include "cli_test_util.h"
#include "common/settings.h"
#include "testenv.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace clitest;
namespace fs = std::filesystem;

namespace {

// d/a.txt, d/b.log, d/sub/c.txt in a ZIP archive (made by zip) and a cabinet
// (made by gcab).
struct Archives {
    std::string zip, cab;
    explicit Archives(const std::string &name)
    {
        const std::string root = makeTree(name);
        zip = root + "/t.zip";
        cab = root + "/t.cab";
        EXPECT_EQ(sh("cd '" + root +
                     "' && zip -q -r -X t.zip d && gcab -c -z t.cab d/a.txt "
                     "d/b.log d/sub/c.txt"),
                  0);
    }
};

} // namespace

TEST(CliExtract, OverwriteModes)
{
    const Archives archives("ex-overwrite");
    struct Case {
        std::string mode;
        int exitCode;
        std::string expectA; // d/a.txt afterwards
        bool renamedCopy;    // d/a (2).txt made
        std::string errHint; // part of the message
    } cases[] = {
        {"replace", 0, "alpha", false, ""},
        {"skip", 0, "old", false, ""},
        {"rename", 0, "old", true, ""},
        // "ask" with no terminal: refused with a hint, the file untouched.
        {"ask", 80, "old", false, "--overwrite"},
    };
    int n = 0;
    for (const std::string &archive : {archives.zip, archives.cab}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.mode + " " + archive);
            const std::string out = brxtest::makeScratchDir("ex-ow-" + std::to_string(n++));
            writeFile(out + "/d/a.txt", "old");
            const Result r = brx({"extract", archive, "-d", out, "--overwrite", c.mode});
            ASSERT_TRUE(r.finished);
            const bool cabinetAsk = archive == archives.cab && c.mode == "ask";
            // The cabinet pass reports a refused question as a failed pass.
            EXPECT_EQ(r.exitCode, cabinetAsk ? 1 : c.exitCode) << r.err;
            EXPECT_EQ(readFile(out + "/d/a.txt"), c.expectA);
            EXPECT_EQ(fs::exists(out + "/d/a (2).txt"), c.renamedCopy);
            if (c.renamedCopy) {
                EXPECT_EQ(readFile(out + "/d/a (2).txt"), "alpha");
            }
            EXPECT_NE(r.err.find(c.errHint), std::string::npos) << r.err;
            if (c.exitCode == 0) {
                EXPECT_EQ(readFile(out + "/d/sub/c.txt"), "charlie");
            }
        }
    }
}

TEST(CliExtract, NamedEntriesFlatAndPaths)
{
    const Archives archives("ex-named");
    for (const std::string &archive : {archives.zip, archives.cab}) {
        SCOPED_TRACE(archive);
        const std::string out = brxtest::makeScratchDir("ex-named-out");
        // Names with either separator and any case, a wildcard, a Windows
        // destination path.
        const Result r =
            brx({"extract", win(archive), "D/SUB/c.txt", "d\\*.log", "--flat", "-d", win(out)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readFile(out + "/c.txt"), "charlie");
        EXPECT_EQ(readFile(out + "/b.log"), "bravo log");
        EXPECT_FALSE(fs::exists(out + "/a.txt"));
        EXPECT_FALSE(fs::exists(out + "/d"));

        const Result missing = brx({"extract", archive, "d/none.txt", "-d", out});
        EXPECT_EQ(missing.exitCode, 11);
        EXPECT_NE(missing.err.find("d/none.txt"), std::string::npos);
    }
    // Relative host paths start from the working folder.
    const std::string work = brxtest::makeScratchDir("ex-relative");
    fs::copy_file(archives.zip, work + "/t.zip");
    const Result r = brx({"extract", "t.zip", "-d", "out", "--folders"}, work);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(work + "/out/d/a.txt"), "alpha");
}

TEST(CliExtract, OptionsLeaveTheSettingsAlone)
{
    settings::write(settings::decompression::Overwrite, 3);
    const Archives archives("ex-settings");
    const std::string out = brxtest::makeScratchDir("ex-settings-out");
    writeFile(out + "/d/a.txt", "old");
    const Result r = brx({"extract", archives.zip, "-d", out, "--overwrite", "replace", "--flat"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(out + "/a.txt"), "alpha");
    EXPECT_EQ(settings::read(settings::decompression::Overwrite), 3);
    // "Path" had no value before the run, and has none after it.
    EXPECT_EQ(settings::readInt(settings::section::kDecompression, "Path", -7), -7);

    // Without options the setting (skip existing files) applies.
    writeFile(out + "/d/a.txt", "old");
    EXPECT_EQ(brx({"extract", archives.zip, "-d", out}).exitCode, 0);
    EXPECT_EQ(readFile(out + "/d/a.txt"), "old");
    settings::write(settings::decompression::Overwrite, 0);
}

TEST(CliExtract, EncryptedEntries)
{
    const std::string root = makeTree("ex-encrypted");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -r -X -P code e.zip d"), 0);
    const std::string out = brxtest::makeScratchDir("ex-encrypted-out");
    const Result without = brx({"extract", root + "/e.zip", "-d", out});
    EXPECT_TRUE(without.finished);
    EXPECT_EQ(without.exitCode, 41) << without.err;
    EXPECT_NE(without.err.find("--password"), std::string::npos);
    EXPECT_FALSE(fs::exists(out + "/d/a.txt"));

    const Result with = brx({"extract", root + "/e.zip", "-d", out, "-p", "code"});
    EXPECT_EQ(with.exitCode, 0) << with.err;
    EXPECT_EQ(readFile(out + "/d/sub/c.txt"), "charlie");
}
