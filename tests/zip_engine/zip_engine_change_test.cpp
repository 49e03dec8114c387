// Changing archives: freshen, update and delete agree with Info-ZIP's zip on
// the same files; growing in place leaves existing bytes alone; moving files.

#include <gtest/gtest.h>

#include <filesystem>

#include "archive_file.h"
#include "central_directory.h"
#include "testenv.h"
#include "zip_engine_support.h"

using namespace ziptest;
namespace fs = std::filesystem;

namespace {

// A folder of files, an archive of them made by zip, then changes on disk:
// one file newer, one file older than its entry, one new file.
struct Scene {
    std::string root;
    explicit Scene(const std::string &name) : root(brxtest::makeScratchDir(name))
    {
        const long t0 = 1262304000; // 2010-01-01
        for (const char *n : {"same.txt", "newer.txt", "older.txt", "sub/inner.txt"}) {
            writeText(root + "/src/" + n, sampleText(2000, n[0]));
            setMtime(root + "/src/" + n, t0);
        }
        run("cd " + shellQuote(root + "/src") + " && zip -q -r -X ../base.zip .");
        writeText(root + "/src/newer.txt", "changed later");
        setMtime(root + "/src/newer.txt", t0 + 86400);
        writeText(root + "/src/older.txt", "changed, but dated earlier");
        setMtime(root + "/src/older.txt", t0 - 86400);
        writeText(root + "/src/added.txt", "a new file");
        setMtime(root + "/src/added.txt", t0 + 86400);
    }
    std::string copyBase(const std::string &name) const
    {
        fs::copy_file(root + "/base.zip", root + "/" + name, fs::copy_options::overwrite_existing);
        return root + "/" + name;
    }
};

} // namespace

struct ChangeCase {
    const char *label;
    int function;
    const char *zipOption;
};

class ZipEngineChangeLikeZip : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ZipEngineChangeLikeZip, EntriesAndContentsMatchZip)
{
    if (!haveTool("zip"))
        GTEST_SKIP() << "zip not installed";
    const ChangeCase &c = GetParam();
    Scene s(std::string("like_") + c.label);
    const std::string ours = s.copyBase("ours.zip"), theirs = s.copyBase("theirs.zip");
    ASSERT_EQ(run("cd " + shellQuote(s.root + "/src") + " && zip -q -r " + c.zipOption +
                  " ../theirs.zip ."),
              0);

    Command cmd(c.function, ours);
    cmd.files({s.root + "/src/*.*"});
    cmd.cmd.recurse = 1;
    cmd.cmd.options = ZIP_OPT_RELATIVE_FOLDERS;
    ASSERT_EQ(cmd.run(), 0);
    EXPECT_EQ(readArchive(ours), readArchive(theirs));
    EXPECT_EQ(checkWithTools(ours), "");
}

INSTANTIATE_TEST_SUITE_P(Functions, ZipEngineChangeLikeZip,
                         ::testing::Values(ChangeCase{"freshen", ZIP_FRESHEN, "-f"},
                                           ChangeCase{"update", ZIP_UPDATE, "-u"}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(ZipEngineChange, DeleteMatchesZipAndHonoursTheKeepList)
{
    if (!haveTool("zip"))
        GTEST_SKIP() << "zip not installed";
    Scene s("delete");
    const std::string ours = s.copyBase("ours.zip"), theirs = s.copyBase("theirs.zip");
    ASSERT_EQ(run("zip -q -d " + shellQuote(theirs) + " '*.txt' -x same.txt"), 0);
    Command del(ZIP_DELETE, ours);
    del.list = "\"*.txt\"";
    del.exclude = "\"same.txt\"";
    ASSERT_EQ(del.run(), 0);
    EXPECT_EQ(readArchive(ours), readArchive(theirs));
    EXPECT_EQ(checkWithTools(ours), "");

    // Nothing to delete: the archive is left alone and the run says so.
    const Bytes before = readBytes(ours);
    Command none(ZIP_DELETE, ours);
    none.list = "\"missing.txt\"";
    EXPECT_EQ(none.run(), 12);
    EXPECT_EQ(readBytes(ours), before);
}

TEST(ZipEngineChange, FreshenOrDeleteWithoutArchiveFails)
{
    const std::string root = brxtest::makeScratchDir("noarchive");
    writeText(root + "/a.txt", "x");
    for (int function : {ZIP_FRESHEN, ZIP_DELETE}) {
        Command cmd(function, root + "/none.zip");
        cmd.files({root + "/a.txt"});
        EXPECT_EQ(cmd.run(), 13) << function;
        EXPECT_FALSE(exists(root + "/none.zip"));
    }
}

TEST(ZipEngineChange, GrowAppendsAndLeavesExistingBytes)
{
    Scene s("grow");
    const std::string zip = s.copyBase("grow.zip");
    const Bytes before = readBytes(zip);
    const std::size_t baseCount = readArchive(zip).size();
    unzip::Error err;
    auto file = unzip::HostArchiveFile::open(zip, err);
    ASSERT_TRUE(file);
    unzip::ArchiveDirectory dir;
    ASSERT_EQ(unzip::readArchiveDirectory(*file, dir), unzip::Error::Ok);
    const std::size_t dataEnd = dir.end.directoryOffset;
    file.reset();

    Command cmd(ZIP_ADD, zip);
    cmd.files({s.root + "/src/added.txt", s.root + "/src/newer.txt"});
    cmd.cmd.growArchive = 1;
    cmd.cmd.noFolderNames = 1;
    ASSERT_EQ(cmd.run(), 0);
    const Bytes after = readBytes(zip);
    ASSERT_GT(after.size(), dataEnd);
    EXPECT_TRUE(
        std::equal(before.begin(), before.begin() + static_cast<long>(dataEnd), after.begin()));
    auto entries = readArchive(zip);
    EXPECT_EQ(entries["added.txt"], toBytes("a new file"));
    EXPECT_EQ(entries["newer.txt"], toBytes("changed later"));
    EXPECT_EQ(entries.size(), baseCount + 1); // newer.txt replaced, added.txt new
    EXPECT_EQ(checkWithTools(zip), "");
}

TEST(ZipEngineChange, MoveDeletesSourcesAfterTheArchiveIsComplete)
{
    const std::string root = brxtest::makeScratchDir("move");
    writeText(root + "/in/a.txt", "alpha");
    writeText(root + "/in/sub/b.txt", "beta");
    const std::string zip = root + "/m.zip";
    Command cmd(ZIP_ADD, zip);
    cmd.files({root + "/in/*.*"});
    cmd.cmd.recurse = 1;
    cmd.cmd.moveFiles = 1;
    cmd.cmd.options = ZIP_OPT_RELATIVE_FOLDERS;
    ASSERT_EQ(cmd.run(), 0);
    EXPECT_EQ(readArchive(zip)["sub/b.txt"], toBytes("beta"));
    EXPECT_EQ(listFiles(root + "/in"), std::vector<std::string>{});
    EXPECT_FALSE(exists(root + "/in/sub"));
}

TEST(ZipEngineChange, ArchiveTimeFollowsTheNewestEntry)
{
    const std::string root = brxtest::makeScratchDir("newest");
    writeText(root + "/a.txt", "a");
    writeText(root + "/b.txt", "b");
    setMtime(root + "/a.txt", 1262304000);
    setMtime(root + "/b.txt", 1262304000 + 3600 * 24 * 40);
    Command cmd(ZIP_ADD, root + "/t.zip");
    cmd.files({root + "/a.txt", root + "/b.txt"});
    cmd.cmd.archiveTimeFromNewest = 1;
    ASSERT_EQ(cmd.run(), 0);
    const auto t = fs::last_write_time(root + "/t.zip");
    const auto b = fs::last_write_time(root + "/b.txt");
    EXPECT_LE(std::chrono::abs(t - b), std::chrono::seconds(2));
}
