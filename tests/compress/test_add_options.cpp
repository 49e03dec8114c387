// Add with the options that change where and how the archive is written:
// conversion of temporary sources, unopenable files, the archive's time, the
// temporary folder, a comment, and spanning removable disks.

#include "compress_test_util.h"
#include "dunzip.h"
#include "platform/drives.h"
#include "scripted_responder.h"

#include <chrono>
#include <random>

using namespace comptest;
namespace cs = settings::compression;

namespace {

class CompressAddOptions : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveUnzip())
            GTEST_SKIP() << "unzip not installed";
        settings::write(cs::Path, 1);
        settings::write(cs::Recurse, 1);
    }
};

std::string noise(std::size_t n, unsigned seed)
{
    std::string bytes(n, '\0');
    std::mt19937 rng(seed);
    for (char &c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void setAge(const std::string &path, int days)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * days));
}

std::vector<std::string> filesIn(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A conversion gets the extracted contents of the other kind of archive in
// a temporary folder: they go in with their folders and leave the folder.
TEST_F(CompressAddOptions, ConversionMovesTheTemporaryContentsIn)
{
    SourceTree tree("convert");
    settings::write(cs::Method, 1);
    settings::write(cs::Move, 0);
    settings::write(cs::Recurse, 0);
    settings::write(cs::Path, 2);
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_CONVERT;
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->result, 0);
    EXPECT_EQ(add->command.function, ZIP_ADD);
    EXPECT_NE(add->command.options & ZIP_OPT_RELATIVE_FOLDERS, 0);
    expectSound(tree.archive());
    EXPECT_EQ(names(tree.archive()),
              (std::set<std::string>{"a.txt", "b.txt", "sub/", "sub/c.txt"}));
    EXPECT_EQ(run("unzip -p '" + tree.archive() + "' sub/c.txt"), "sea");
    EXPECT_FALSE(fs::exists(tree.root + "/src/a.txt"));
    EXPECT_FALSE(fs::exists(tree.root + "/src/sub"));
}

// A source that cannot be opened (a link to nothing) is left out with
// "Skip Lock"; without it the run fails, says so once and writes nothing.
TEST_F(CompressAddOptions, SkipLockLeavesOutFilesThatCannotBeOpened)
{
    for (const int skip : {1, 0}) {
        SCOPED_TRACE(skip);
        SourceTree tree("skiplock" + std::to_string(skip));
        fs::create_symlink(tree.root + "/nowhere", tree.root + "/src/locked.txt");
        settings::write(cs::SkipLock, skip);
        brxtest::ScriptedResponder responder;
        responder.answer(57389, plat::IDOK);
        Record add = newRecord(tree.archive(), tree.quotedAll());
        ASSERT_EQ(runAdd(add.get()), 1);
        EXPECT_EQ(add->command.options & ZIP_OPT_SKIP_LOCKED, skip ? ZIP_OPT_SKIP_LOCKED : 0);
        if (skip) {
            EXPECT_EQ(add->result, 0);
            EXPECT_TRUE(responder.requests().empty());
            expectSound(tree.archive());
            EXPECT_EQ(names(tree.archive()),
                      (std::set<std::string>{"a.txt", "b.txt", "sub/", "sub/c.txt"}));
        } else {
            EXPECT_EQ(add->result, 18);
            ASSERT_EQ(responder.requests().size(), 1u);
            EXPECT_EQ(responder.requests()[0].text, "File not found or no read permission");
            EXPECT_FALSE(fs::exists(tree.archive()));
        }
    }
}

// "Old As Latest" dates the archive like its newest entry instead of now.
TEST_F(CompressAddOptions, OldAsLatestDatesTheArchiveByItsNewestEntry)
{
    for (const int oldAsLatest : {1, 0}) {
        SCOPED_TRACE(oldAsLatest);
        SourceTree tree("oldaslatest" + std::to_string(oldAsLatest));
        setAge(tree.root + "/src/a.txt", 30);
        setAge(tree.root + "/src/b.txt", 5); // the newest
        setAge(tree.root + "/src/sub/c.txt", 40);
        setAge(tree.root + "/src/sub", 40); // folders are entries too
        settings::write(cs::OldAsLatest, oldAsLatest);
        Record add = newRecord(tree.archive(), tree.quotedAll());
        ASSERT_EQ(runAdd(add.get()), 1);
        EXPECT_EQ(add->result, 0);
        EXPECT_EQ(add->command.archiveTimeFromNewest, oldAsLatest);
        const auto archiveTime = fs::last_write_time(tree.archive());
        const auto newest = fs::last_write_time(tree.root + "/src/b.txt");
        const auto apart = archiveTime > newest ? archiveTime - newest : newest - archiveTime;
        if (oldAsLatest) {
            EXPECT_LE(apart, std::chrono::seconds(2)); // DOS times have a 2-second grain
        } else {
            EXPECT_GT(apart, std::chrono::hours(24));
        }
    }
}

// The archive is built in the temporary folder named by the caller: a full
// temporary folder fails the add and leaves the old archive as it was; a
// usable one is left empty behind a complete archive.
TEST_F(CompressAddOptions, TemporaryFolderCarriesTheNewArchive)
{
    settings::write(cs::Grow, 0);
    for (const bool full : {true, false}) {
        SCOPED_TRACE(full ? "full" : "roomy");
        SourceTree tree(full ? "temp-full" : "temp-roomy");
        writeFile(tree.root + "/src/big.bin", noise(96 * 1024, 3));
        Record first = newRecord(tree.archive(), "\"" + win(tree.root + "/src/b.txt") + "\"");
        ASSERT_EQ(runAdd(first.get()), 1);
        ASSERT_EQ(first->result, 0);
        const std::string before = readFile(tree.archive());

        const std::string temp = brxtest::makeScratchDir(full ? "temp-full-t" : "temp-roomy-t");
        ASSERT_TRUE(plat::defineDrive(
            {'T', plat::DRIVE_FIXED, temp, full ? std::uint64_t{16 * 1024} : std::uint64_t{0}}));
        brxtest::ScriptedResponder responder;
        responder.answerNext(plat::IDOK);
        Record add = newRecord(tree.archive(), tree.quotedAll());
        std::snprintf(add->tempFolder, sizeof add->tempFolder, "T:\\");
        ASSERT_EQ(runAdd(add.get()), 1);
        EXPECT_EQ(add->command.useTempFolder, 1);
        EXPECT_TRUE(filesIn(temp).empty());
        if (full) {
            EXPECT_NE(add->result, 0);
            EXPECT_FALSE(responder.requests().empty());
            EXPECT_EQ(readFile(tree.archive()), before);
        } else {
            EXPECT_EQ(add->result, 0);
            EXPECT_TRUE(responder.requests().empty());
            expectSound(tree.archive());
            EXPECT_EQ(names(tree.archive()).count("big.bin"), 1u);
        }
        plat::removeDrive('T');
    }
}

TEST_F(CompressAddOptions, CommentGivenWithTheAdd)
{
    SourceTree tree("comment");
    Record add = newRecord(tree.archive(), tree.quotedAll());
    std::snprintf(add->comment, sizeof add->comment, "Made for the tests\r\nsecond line");
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->result, 0);
    EXPECT_EQ(add->command.setComment, 1);
    expectSound(tree.archive());
    EXPECT_EQ(run("python3 -c \"import zipfile,sys; "
                  "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).comment.decode())\" '" +
                  tree.archive() + "'"),
              "Made for the tests\r\nsecond line");
}

// Spanning small disks of a removable drive with "Delete existing files"
// and "Format disk": the old files go, the set reads back through the
// unzip engine with every byte.
class DiskSet {
public:
    DiskSet(const std::string &root, int count)
    {
        for (int i = 0; i < count; ++i) {
            media.push_back(root + "/disk" + std::to_string(i + 1));
            fs::create_directories(media.back());
            writeFile(media.back() + "/old" + std::to_string(i) + ".txt", "old file");
        }
    }
    // Inserts the next disk for every prompt of the compress side.
    plat::ModalAnswer answer(const plat::ModalRequest &q, int choice)
    {
        seen.push_back(q.id);
        if (q.id == 54)
            return {plat::IDOK, {{1014 + choice, "1"}}};
        if ((q.id == 57370 || q.id == 57371 || q.id == 57373) && inserted < media.size())
            plat::changeMedium('A', media[inserted++]);
        return {plat::IDOK, {}};
    }
    // The unzip engine asks for the last disk, then for disk n of m.
    static int unzipPrompt(int type, unsigned, int n1, int, const char *, int, void *context)
    {
        auto *set = static_cast<DiskSet *>(context);
        const std::size_t disk = type == 0 ? set->inserted : static_cast<std::size_t>(n1);
        if ((type != 0 && type != 1) || disk < 1 || disk > set->media.size())
            return plat::IDCANCEL;
        plat::changeMedium('A', set->media[disk - 1]);
        return plat::IDOK;
    }
    std::vector<std::string> media;
    std::size_t inserted = 0;
    std::vector<plat::UINT> seen;
};

TEST_F(CompressAddOptions, SpanningWithDeleteOrFormat)
{
    const std::pair<int, std::uint16_t> modes[] = {{1, ZIP_SPAN_DELETE}, {2, ZIP_SPAN_FORMAT}};
    for (const auto &[choice, mode] : modes) {
        SCOPED_TRACE(choice);
        const std::string root = brxtest::makeScratchDir("span" + std::to_string(choice));
        for (int i = 0; i < 3; ++i)
            writeFile(root + "/src/part" + std::to_string(i) + ".bin", noise(40 * 1024, 7 + i));
        DiskSet disks(root, 5);
        constexpr std::uint64_t kDisk = 64 * 1024;
        ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, disks.media[0], kDisk}));
        settings::write(cs::MultiVolume, 1);
        const plat::ModalResponder previous = plat::setModalResponder(
            [&disks, choice](const plat::ModalRequest &q) { return disks.answer(q, choice); });
        Record add = newRecord(disks.media[0] + "/set.zip", "\"" + win(root + "/src") + "\\*.*\"");
        std::snprintf(add->archivePath, sizeof add->archivePath, "A:\\set.zip");
        const int started = runAdd(add.get());
        plat::setModalResponder(previous);
        ASSERT_EQ(started, 1);
        EXPECT_EQ(add->command.multiVolume, mode);
        EXPECT_EQ(add->result, 0);
        ASSERT_FALSE(disks.seen.empty());
        EXPECT_EQ(disks.seen[0], 54u);
        ASSERT_GE(disks.inserted, 2u) << "the set should need several disks";
        for (std::size_t i = 0; i < disks.inserted; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(filesIn(disks.media[i]), std::vector<std::string>{"set.zip"});
        }
        EXPECT_TRUE(fs::exists(disks.media[disks.inserted] + "/old" +
                               std::to_string(disks.inserted) + ".txt"))
            << "an unused disk keeps its files";

        const std::string out = root + "/out";
        fs::create_directories(out);
        const std::string dest = win(out);
        UnzipCommand unzip;
        initUnzipCommand(unzip);
        unzip.function = UNZIP_EXTRACT;
        unzip.archivePath = "A:\\set.zip";
        unzip.destination = dest.c_str();
        unzip.nameMask = "*.*";
        unzip.overwrite = 1;
        unzip.messageCallback = DiskSet::unzipPrompt;
        unzip.messageContext = &disks;
        EXPECT_EQ(dunzipS(&unzip), 0);
        for (int i = 0; i < 3; ++i) {
            const std::string name = "/part" + std::to_string(i) + ".bin";
            EXPECT_EQ(readFile(out + name), noise(40 * 1024, 7 + i)) << name;
        }
        plat::removeDrive('A');
    }
}

} // namespace
