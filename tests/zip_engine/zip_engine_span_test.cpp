// Multi-volume archives on simulated floppy disks: written across disks with
// the prompts answered by changing media, then joined and checked by the tools.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/drives.h"
#include "platform/file.h"
#include "testenv.h"
#include "zip_engine_support.h"

using namespace ziptest;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kFloppy = 1457664;

// Answers disk prompts by putting the next blank medium into drive A:.
struct DiskChanger {
    std::vector<std::string> media;
    std::size_t inserted = 0;
    std::vector<std::vector<int>> prompts; // type, number 1, number 2
    int refuseAt = -1;                     // cancel at this prompt

    static int callback(int type, unsigned, int n1, int n2, const char *, int, void *ctx)
    {
        auto *d = static_cast<DiskChanger *>(ctx);
        d->prompts.push_back({type, n1, n2});
        if (type != 0 && type != 1)
            return 1;
        if (static_cast<int>(d->prompts.size()) - 1 == d->refuseAt)
            return 2;
        if (d->inserted < d->media.size())
            plat::changeMedium('A', d->media[d->inserted++]);
        return 1;
    }
};

Bytes noise(std::size_t n, unsigned seed)
{
    Bytes b(n);
    std::mt19937 rng(seed);
    for (auto &x : b)
        x = static_cast<std::uint8_t>(rng());
    return b;
}

// Sources that do not compress: about 3.4 MB in five files, so three disks.
std::string makeSources(const std::string &root)
{
    for (int i = 0; i < 5; ++i)
        writeBytes(root + "/src/part" + std::to_string(i) + ".bin", noise(680 * 1024, 20 + i));
    writeText(root + "/src/readme.txt", sampleText(5000, 1));
    return root + "/src";
}

// Joins the disks' files as a split archive (name.z01, .z02, ..., name.zip)
// and converts it to one file with zip -s 0.
std::string join(const std::string &root, const std::vector<std::string> &media)
{
    const std::string dir = root + "/joined";
    fs::create_directories(dir);
    for (std::size_t i = 0; i < media.size(); ++i) {
        const std::string ext = (i + 1 < 10 ? ".z0" : ".z") + std::to_string(i + 1);
        const std::string target = i + 1 == media.size() ? dir + "/set.zip" : dir + "/set" + ext;
        fs::copy_file(media[i] + "/set.zip", target, fs::copy_options::overwrite_existing);
    }
    run("cd " + shellQuote(dir) + " && zip -q -s 0 set.zip --out whole.zip >/dev/null 2>&1");
    return dir + "/whole.zip";
}

class ZipEngineSpan : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = brxtest::makeScratchDir(
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        for (int i = 0; i < 4; ++i) {
            media.push_back(root + "/disk" + std::to_string(i + 1));
            fs::create_directories(media.back());
        }
        ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, media[0], kFloppy}));
        changer.media = media;
    }
    void TearDown() override { plat::removeDrive('A'); }

    int runSpan(std::uint16_t mode)
    {
        Command cmd(ZIP_ADD, "");
        cmd.archive = "A:\\set.zip";
        cmd.files({makeSources(root) + "\\*.*"});
        cmd.list = "\"" + win(root + "/src") + "\\*.*\"";
        cmd.cmd.multiVolume = mode;
        cmd.cmd.options = ZIP_OPT_RELATIVE_FOLDERS;
        cmd.cmd.factor = 6;
        cmd.cmd.messageCallback = DiskChanger::callback;
        cmd.cmd.messageContext = &changer;
        return cmd.run();
    }

    void expectJoinedArchiveIsWhole()
    {
        if (!haveTool("zip"))
            GTEST_SKIP() << "zip not installed";
        const std::string whole = join(root, {media[0], media[1], media[2]});
        ASSERT_TRUE(exists(whole));
        EXPECT_EQ(checkWithTools(whole), "");
        auto entries = readArchive(whole);
        ASSERT_EQ(entries.size(), 6u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(entries["part" + std::to_string(i) + ".bin"], noise(680 * 1024, 20 + i));
    }

    std::string root;
    std::vector<std::string> media;
    DiskChanger changer;
};

} // namespace

TEST_F(ZipEngineSpan, WritesThreeDisksAskingForEach)
{
    writeText(media[1] + "/old.txt", "kept");
    ASSERT_EQ(runSpan(ZIP_SPAN), 0);
    EXPECT_EQ(changer.prompts, (std::vector<std::vector<int>>{{0, -1, 0}, {1, 2, 3}, {1, 3, 3}}));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(exists(media[i] + "/set.zip")) << i;
    EXPECT_FALSE(exists(media[3] + "/set.zip"));
    EXPECT_TRUE(exists(media[1] + "/old.txt"));
    const Bytes first = readBytes(media[0] + "/set.zip");
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 4), (Bytes{0x50, 0x4b, 0x07, 0x08}));
    expectJoinedArchiveIsWhole();
}

TEST_F(ZipEngineSpan, DeleteModeWipesEachDiskFirst)
{
    writeBytes(media[0] + "/filler.bin", noise(1000 * 1024, 5));
    writeText(media[1] + "/old.txt", "goes");
    ASSERT_EQ(runSpan(ZIP_SPAN_DELETE), 0);
    EXPECT_FALSE(exists(media[0] + "/filler.bin"));
    EXPECT_FALSE(exists(media[1] + "/old.txt"));
    expectJoinedArchiveIsWhole();
}

TEST_F(ZipEngineSpan, FormatModeFormatsEachDisk)
{
    writeText(media[2] + "/old.txt", "goes");
    char label[] = "OLDLABEL";
    plat::changeMedium('A', media[2]);
    plat::setVolumeLabel("A:\\", label);
    plat::changeMedium('A', media[0]);
    ASSERT_EQ(runSpan(ZIP_SPAN_FORMAT), 0);
    EXPECT_FALSE(exists(media[2] + "/old.txt"));
    expectJoinedArchiveIsWhole();
}

TEST_F(ZipEngineSpan, CancelAtADiskPromptStops)
{
    changer.refuseAt = 1;
    EXPECT_EQ(runSpan(ZIP_SPAN), 9);
    EXPECT_FALSE(exists(media[0] + "/set.zip") && exists(media[1] + "/set.zip"));
}

TEST(ZipEngineSpanRefused, FixedDriveGetsMessageFive)
{
    const std::string root = brxtest::makeScratchDir("span_fixed");
    writeText(root + "/a.txt", "a");
    std::vector<int> types;
    Command cmd(ZIP_ADD, root + "/s.zip");
    cmd.files({root + "/a.txt"});
    cmd.cmd.multiVolume = ZIP_SPAN;
    cmd.cmd.messageCallback = [](int type, unsigned, int, int, const char *, int, void *ctx) {
        static_cast<std::vector<int> *>(ctx)->push_back(type);
        return 1;
    };
    cmd.cmd.messageContext = &types;
    EXPECT_EQ(cmd.run(), 17);
    EXPECT_EQ(types, std::vector<int>{5});
    EXPECT_FALSE(exists(root + "/s.zip"));
}
