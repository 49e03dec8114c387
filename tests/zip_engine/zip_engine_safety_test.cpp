// The existing archive survives every failure byte for byte: a cancel from a
// callback, a full disk (through the temporary file and in place), files that
// cannot be opened; a finished archive that cannot replace the old one is left
// in the temporary folder and reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/drives.h"
#include "platform/path.h"
#include "testenv.h"
#include "zip_engine_support.h"

using namespace ziptest;
namespace fs = std::filesystem;

namespace {

struct Messages {
    std::vector<std::pair<int, int>> calls; // (type, number 1)
    std::vector<std::string> texts;
    int answer = 1;
};

int recordMessage(int type, unsigned, int n1, int, const char *text, int, void *ctx)
{
    auto *m = static_cast<Messages *>(ctx);
    m->calls.emplace_back(type, n1);
    m->texts.emplace_back(text ? text : "");
    return m->answer;
}

Bytes noise(std::size_t n, unsigned seed)
{
    Bytes b(n);
    std::mt19937 rng(seed);
    for (auto &x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

// An archive with two entries in `dir`.
std::string makeArchive(const std::string &dir)
{
    writeText(dir + "/one.txt", sampleText(4000, 1));
    writeText(dir + "/two.txt", sampleText(4000, 2));
    Command cmd(ZIP_ADD, dir + "/keep.zip");
    cmd.files({dir + "/one.txt", dir + "/two.txt"});
    cmd.cmd.noFolderNames = 1;
    EXPECT_EQ(cmd.run(), 0);
    return dir + "/keep.zip";
}

} // namespace

struct CancelCase {
    const char *label;
    bool grow;
    bool fromFileCallback;
};

class ZipEngineSafetyCancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(ZipEngineSafetyCancel, LeavesTheArchiveUntouched)
{
    const CancelCase &c = GetParam();
    const std::string dir = brxtest::makeScratchDir(std::string("cancel_") + c.label);
    const std::string zip = makeArchive(dir);
    const Bytes before = readBytes(zip);
    for (int i = 0; i < 5; ++i)
        writeText(dir + "/new/f" + std::to_string(i), sampleText(10000, 10 + i));

    struct Counter {
        int seen = 0;
    } counter;
    Command cmd(ZIP_ADD, zip);
    cmd.files({dir + "/new/*.*"});
    cmd.cmd.growArchive = c.grow;
    if (c.fromFileCallback) {
        cmd.cmd.fileCallback = [](const char *, int percent, void *ctx) {
            auto *k = static_cast<Counter *>(ctx);
            return percent == 100 && ++k->seen == 3 ? 1 : 0;
        };
        cmd.cmd.fileContext = &counter;
    } else {
        cmd.cmd.statusCallback = [](const char *line, int, void *ctx) {
            auto *k = static_cast<Counter *>(ctx);
            return std::string(line).rfind("Item 3 of 5  adding: ", 0) == 0 ? (++k->seen, 1) : 0;
        };
        cmd.cmd.statusContext = &counter;
    }
    EXPECT_EQ(cmd.run(), 9);
    EXPECT_EQ(counter.seen, c.fromFileCallback ? 3 : 1);
    EXPECT_EQ(readBytes(zip), before);
    EXPECT_EQ(listFiles(dir), (std::vector<std::string>{"keep.zip", "new/f0", "new/f1", "new/f2",
                                                        "new/f3", "new/f4", "one.txt", "two.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, ZipEngineSafetyCancel,
                         ::testing::Values(CancelCase{"status_temp", false, false},
                                           CancelCase{"file_temp", false, true},
                                           CancelCase{"status_grow", true, false},
                                           CancelCase{"file_grow", true, true}),
                         [](const auto &info) { return std::string(info.param.label); });

class ZipEngineSafetyDiskFull : public ::testing::TestWithParam<bool> {};

TEST_P(ZipEngineSafetyDiskFull, ReportsAndLeavesTheArchiveUntouched)
{
    const bool grow = GetParam();
    const std::string medium = brxtest::makeScratchDir(grow ? "full_grow" : "full_temp");
    ASSERT_TRUE(plat::defineDrive({'R', plat::DRIVE_REMOVABLE, medium, 200 * 1024}));
    const std::string zip = makeArchive(medium);
    const Bytes before = readBytes(zip);
    const std::string src = brxtest::makeScratchDir(grow ? "full_grow_src" : "full_temp_src");
    writeBytes(src + "/big.bin", noise(195 * 1024, 3));

    Messages m;
    Command cmd(ZIP_ADD, zip);
    cmd.archive = "R:\\keep.zip";
    cmd.files({src + "/big.bin"});
    cmd.cmd.growArchive = grow;
    cmd.cmd.messageCallback = recordMessage;
    cmd.cmd.messageContext = &m;
    EXPECT_EQ(cmd.run(), 14);
    EXPECT_EQ(m.calls, (std::vector<std::pair<int, int>>{{11, 14}}));
    EXPECT_EQ(readBytes(zip), before);
    EXPECT_EQ(listFiles(medium), (std::vector<std::string>{"keep.zip", "one.txt", "two.txt"}));
    plat::removeDrive('R');
}

INSTANTIATE_TEST_SUITE_P(Modes, ZipEngineSafetyDiskFull, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "grow" : "temp"; });

TEST(ZipEngineSafety, FinishedArchiveThatCannotReplaceTheOldOneIsLeftInTheTempFolder)
{
    const std::string medium = brxtest::makeScratchDir("left_medium");
    ASSERT_TRUE(plat::defineDrive({'R', plat::DRIVE_REMOVABLE, medium, 120 * 1024}));
    const std::string zip = makeArchive(medium);
    const Bytes before = readBytes(zip);
    const std::string temp = brxtest::makeScratchDir("left_temp");
    const std::string src = brxtest::makeScratchDir("left_src");
    writeBytes(src + "/big.bin", noise(110 * 1024, 4));

    Messages m;
    Command cmd(ZIP_ADD, zip);
    cmd.archive = "R:\\keep.zip";
    cmd.files({src + "/big.bin"});
    cmd.temp = win(temp);
    cmd.cmd.messageCallback = recordMessage;
    cmd.cmd.messageContext = &m;
    EXPECT_EQ(cmd.run(), 16);
    ASSERT_EQ(m.calls.size(), 1u);
    EXPECT_EQ(m.calls[0].first, 12);
    const std::string prefix = "new zip file left as: ";
    ASSERT_EQ(m.texts[0].rfind(prefix, 0), 0u);
    const auto left = plat::windowsToHostPath(m.texts[0].substr(prefix.size()));
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ(checkWithTools(*left), "");
    EXPECT_EQ(readArchive(*left).size(), 3u);
    EXPECT_EQ(readBytes(zip), before);
    EXPECT_EQ(listFiles(medium), (std::vector<std::string>{"keep.zip", "one.txt", "two.txt"}));
    plat::removeDrive('R');
}

TEST(ZipEngineSafety, UnopenableFilesFailTheRunUnlessSkipped)
{
    const std::string dir = brxtest::makeScratchDir("unopenable");
    writeText(dir + "/in/good.txt", "fine");
    fs::create_symlink(dir + "/nowhere", dir + "/in/dangling.txt");
    for (bool skip : {false, true}) {
        const std::string zip = dir + (skip ? "/skip.zip" : "/fail.zip");
        Messages m;
        Command cmd(ZIP_ADD, zip);
        cmd.files({dir + "/in/*.*"});
        cmd.cmd.noFolderNames = 1;
        cmd.cmd.options = skip ? ZIP_OPT_SKIP_LOCKED : 0;
        cmd.cmd.messageCallback = recordMessage;
        cmd.cmd.messageContext = &m;
        if (skip) {
            ASSERT_EQ(cmd.run(), 0);
            EXPECT_EQ(readArchive(zip).size(), 1u);
            EXPECT_TRUE(m.calls.empty());
        } else {
            EXPECT_EQ(cmd.run(), 18);
            EXPECT_EQ(m.calls, (std::vector<std::pair<int, int>>{{11, 18}}));
            EXPECT_FALSE(exists(zip));
        }
    }
    EXPECT_EQ(listFiles(dir + "/in"), std::vector<std::string>{"good.txt"});
}

TEST(ZipEngineSafety, StatusLinesCarryItemNumberAndTotalWhereTheCallerReadsThem)
{
    const std::string dir = brxtest::makeScratchDir("status");
    for (int i = 0; i < 12; ++i)
        writeText(dir + "/in/f" + std::to_string(i), "x");
    std::vector<std::string> lines;
    Command cmd(ZIP_ADD, dir + "/s.zip");
    cmd.files({dir + "/in/*.*"});
    cmd.cmd.statusCallback = [](const char *line, int, void *ctx) {
        static_cast<std::vector<std::string> *>(ctx)->push_back(line);
        return 0;
    };
    cmd.cmd.statusContext = &lines;
    ASSERT_EQ(cmd.run(), 0);
    ASSERT_EQ(lines.size(), 12u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string &l = lines[i];
        ASSERT_EQ(l[0], 'I');
        const std::size_t blank = l.find(' ', 6);
        ASSERT_NE(blank, std::string::npos);
        EXPECT_EQ(std::stol(l.substr(5, blank - 5)), static_cast<long>(i + 1));
        EXPECT_EQ(std::stol(l.substr(blank + 4)), 12);
    }
}
