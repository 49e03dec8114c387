#include "cab_test_util.h"
#include "scripted_responder.h"

using namespace cabtest;

namespace {

class DoCabBuild : public CabTest {};

// A tree src/{a.bin, b.txt, sub/c.txt} with incompressible a.bin.
struct Tree {
    explicit Tree(const std::string &name) : root(brxtest::makeScratchDir(name))
    {
        writeFile(root + "/src/a.bin", noise(size, 1));
        writeFile(root + "/src/b.txt", "bee");
        writeFile(root + "/src/sub/c.txt", "sea");
        fs::create_directories(root + "/out");
    }
    std::string src() const { return win(root + "/src"); }
    std::string out() const { return root + "/out"; }
    std::size_t size = 3000;
    std::string root;
};

void expectSameContents(const std::string &extracted, const std::string &srcHost,
                        const std::vector<std::string> &relative)
{
    for (const std::string &name : relative)
        EXPECT_TRUE(sameFile(extracted + "/" + name, srcHost + "/" + name));
}

// "Max Disk Type" 0: one file named exactly as asked, whatever its size,
// with the stored names relative to the base folder and the default MSZIP.
TEST_F(DoCabBuild, UnlimitedSizeWritesOneCabinetNamedAsAsked)
{
    Tree tree("single");
    tree.size = 3 * 1024 * 1024;
    writeFile(tree.root + "/src/a.bin", noise(tree.size, 7));
    settings::write(cc::Recurse, 1);
    settings::write(co::CompressionType, 1);
    Record cab = newRecord(tree.out() + "/Result.CAB", {tree.src() + "\\*.*"});
    std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s", tree.src().c_str());
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 0u);
    EXPECT_EQ(cab->filesAdded, 3);
    EXPECT_EQ(cab->singleCabinet, 1);
    EXPECT_EQ(cab->maxCabinetSize, 0u);
    EXPECT_EQ(filesIn(tree.out()), (std::set<std::string>{"Result.CAB"}));
    const CabInfo info = readCab(tree.out() + "/Result.CAB");
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(std::set<std::string>(info.names.begin(), info.names.end()),
              (std::set<std::string>{"a.bin", "b.txt", "\\sub\\c.txt"}));
    EXPECT_EQ(info.folderTypes, (std::vector<std::uint16_t>{1}));
    EXPECT_EQ(info.setId, 12345);
    EXPECT_EQ(info.flags & 3, 0);
    const std::string extracted = brxtest::makeScratchDir("single-x");
    expectSound(tree.out() + "/Result.CAB", extracted);
    expectSameContents(extracted, tree.root + "/src", {"a.bin", "b.txt", "sub/c.txt"});
}

} // namespace

namespace {

// Sets take their numbers from the digits the chosen name ends in; every
// cabinet is full-sized but the last, and cabextract joins the set.
TEST_F(DoCabBuild, NumberedSetsAreNamedFromTheChosenName)
{
    struct Case {
        const char *chosen;
        std::set<std::string> written;
        std::vector<std::string> nextNames;
    };
    const Case cases[] = {
        {"disk1.cab", {"disk1.cab", "disk2.cab", "disk3.cab"}, {"disk2.cab", "disk3.cab", ""}},
        {"backup.cab",
         {"backup.cab", "backup2.cab", "backup3.cab"},
         {"backup2.cab", "backup3.cab", ""}},
        {"set07.cab", {"set07.cab", "set8.cab", "set9.cab"}, {"set8.cab", "set9.cab", ""}},
    };
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "20");
    settings::write(co::MaxDiskUnit, 1); // KB
    settings::write(cc::Path, 0);
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen);
        Tree tree("set" + std::to_string(n++));
        tree.size = 44 * 1024;
        writeFile(tree.root + "/src/a.bin", noise(tree.size, 3));
        Record cab = newRecord(tree.out() + "/" + c.chosen, {tree.src() + "\\a.bin"});
        std::string caption;
        ASSERT_EQ(runCab(cab.get(), &caption), 1);
        // The caption follows the cabinet being written.
        EXPECT_EQ(caption, "Adding files to '" +
                               win(tree.out() + "/" + c.nextNames[c.nextNames.size() - 2]) + "'");
        EXPECT_EQ(cab->failed, 0u);
        EXPECT_EQ(cab->singleCabinet, 0);
        EXPECT_EQ(cab->maxCabinetSize, 20480u);
        EXPECT_EQ(filesIn(tree.out()), c.written);
        std::string name = c.chosen;
        for (std::size_t i = 0; i < c.nextNames.size(); ++i) {
            const CabInfo info = readCab(tree.out() + "/" + name);
            ASSERT_TRUE(info.valid) << name;
            EXPECT_LE(fs::file_size(tree.out() + "/" + name), 20480u) << name;
            EXPECT_EQ(info.nextCab, c.nextNames[i]) << name;
            EXPECT_EQ(info.index, i) << name;
            name = info.nextCab;
        }
        const std::string extracted = brxtest::makeScratchDir("set-x" + std::to_string(n));
        expectSound(tree.out() + "/" + c.chosen, extracted);
        EXPECT_TRUE(sameFile(extracted + "/a.bin", tree.root + "/src/a.bin"));
    }
}

// The label gets the disk number in a set; an empty label stays empty.
TEST_F(DoCabBuild, DiskLabelsOfASet)
{
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"Backup", {"Backup1", "Backup2", "Backup3"}}, {"", {"", "", ""}}};
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "20000");
    settings::write(co::MaxDiskUnit, 2); // bytes
    settings::write(co::DiskStartingNumber, 1);
    int n = 0;
    for (const auto &[label, labels] : cases) {
        SCOPED_TRACE(label);
        settings::write(co::Disk, label);
        Tree tree("labels" + std::to_string(n++));
        writeFile(tree.root + "/src/a.bin", noise(44 * 1024, 5));
        Record cab = newRecord(tree.out() + "/l.cab", {tree.src() + "\\a.bin"});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        const CabInfo first = readCab(tree.out() + "/l.cab");
        const CabInfo second = readCab(tree.out() + "/l2.cab");
        const CabInfo third = readCab(tree.out() + "/l3.cab");
        ASSERT_TRUE(first.valid && second.valid && third.valid);
        EXPECT_EQ(first.nextDisk, labels[1]);
        EXPECT_EQ(second.prevDisk, labels[0]);
        EXPECT_EQ(second.nextDisk, labels[2]);
        EXPECT_EQ(third.prevDisk, labels[1]);
        EXPECT_EQ(third.prevCab, "l2.cab");
        expectSound(tree.out() + "/l.cab");
    }
}

// Size by "Max Disk Type", custom sizes by unit, and the header reserve
// (capped at 60000) as the written header carries it.
TEST_F(DoCabBuild, SizesAndReserveFromTheSettings)
{
    struct Case {
        int type;
        const char *size;
        int unit;
        std::uint32_t expected;
    };
    const Case sizes[] = {{1, "", 0, 1457664},         {2, "", 0, 1310720},   {3, "", 0, 1213952},
                          {4, "", 0, 730112},          {5, "", 0, 362496},    {6, "", 0, 100431872},
                          {7, "2", 0, 2097152},        {7, "300", 1, 307200}, {7, "5000", 2, 5000},
                          {7, "99999", 0, 0xFFFFFFFFu}};
    const std::pair<const char *, int> reserves[] = {{"100", 1}, {"512", 2}, {"0", 0}};
    const std::uint16_t reserveBytes[] = {60000, 512, 0};
    Tree tree("sizes");
    int n = 0;
    for (const Case &c : sizes) {
        SCOPED_TRACE(n);
        settings::write(co::MaxDiskType, c.type);
        settings::write(co::MaxDiskSize, c.size);
        settings::write(co::MaxDiskUnit, c.unit);
        const auto &[reserve, unit] = reserves[n % 3];
        settings::write(co::ReservedSize, reserve);
        settings::write(co::ReservedUnit, unit);
        const std::string file = tree.out() + "/s" + std::to_string(n) + ".cab";
        Record cab = newRecord(file, {tree.src() + "\\b.txt"});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        EXPECT_EQ(cab->maxCabinetSize, c.expected);
        EXPECT_EQ(cab->reserveSize, reserveBytes[n % 3]);
        const CabInfo info = readCab(file);
        ASSERT_TRUE(info.valid);
        EXPECT_EQ(info.reserveHeader, reserveBytes[n % 3]);
        EXPECT_EQ((info.flags & 4) != 0, reserveBytes[n % 3] != 0);
        expectSound(file);
        ++n;
    }
}

// LZX level 21 is compression code 5379 (0x1503); each file its own folder
// when "Folder" is set.
TEST_F(DoCabBuild, CompressionCodeAndFolderPerFile)
{
    const std::tuple<int, int, int, std::uint16_t, std::size_t> cases[] = {
        {2, 21, 0, 0x1503, 1}, {2, 15, 1, 0x0F03, 3}, {1, 0, 1, 1, 3}, {0, 0, 0, 0, 1}};
    settings::write(cc::Recurse, 1);
    int n = 0;
    for (const auto &[type, level, perFile, code, folders] : cases) {
        SCOPED_TRACE(n);
        settings::write(co::CompressionType, type);
        settings::write(co::CompressionLevel, level);
        settings::write(co::Folder, perFile);
        Tree tree("codes" + std::to_string(n++));
        writeFile(tree.root + "/src/b.txt", std::string(70000, 'b'));
        Record cab = newRecord(tree.out() + "/c.cab", {tree.src()});
        std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s\\", tree.src().c_str());
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        const CabInfo info = readCab(tree.out() + "/c.cab");
        ASSERT_TRUE(info.valid);
        EXPECT_EQ(info.folderTypes, std::vector<std::uint16_t>(folders, code));
        const std::string extracted = brxtest::makeScratchDir("codes-x" + std::to_string(n));
        expectSound(tree.out() + "/c.cab", extracted);
        expectSameContents(extracted, tree.root + "/src", {"a.bin", "b.txt", "sub/c.txt"});
    }
}

// Stored names: file name only, relative to the base folder (which must end
// at a separator of the path), or the full path without the drive.
TEST_F(DoCabBuild, StoredNamesOfThePathModes)
{
    const std::string d = brxtest::makeScratchDir("drive-d");
    const std::string e = brxtest::makeScratchDir("drive-e");
    writeFile(d + "/data/a.txt", "a");
    writeFile(d + "/data/x/b.txt", "b");
    writeFile(d + "/database/z.txt", "z");
    writeFile(e + "/other/c.txt", "c");
    ASSERT_TRUE(plat::defineDrive({'D', plat::DRIVE_FIXED, d, 0}));
    ASSERT_TRUE(plat::defineDrive({'E', plat::DRIVE_FIXED, e, 0}));
    const std::vector<std::string> items = {"D:\\data\\a.txt", "D:\\data\\x\\b.txt",
                                            "D:\\database\\z.txt", "E:\\other\\c.txt"};
    struct Case {
        int mode;
        const char *base;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {0, "D:\\data", {"a.txt", "b.txt", "z.txt", "c.txt"}},
        {1, "D:\\data", {"a.txt", "\\x\\b.txt", "D:\\database\\z.txt", "E:\\other\\c.txt"}},
        {1, "d:\\DATA\\", {"a.txt", "\\x\\b.txt", "D:\\database\\z.txt", "E:\\other\\c.txt"}},
        {1, "", {"\\data\\a.txt", "\\data\\x\\b.txt", "\\database\\z.txt", "\\other\\c.txt"}},
        {2,
         "D:\\data",
         {"\\data\\a.txt", "\\data\\x\\b.txt", "\\database\\z.txt", "\\other\\c.txt"}},
    };
    const std::string out = brxtest::makeScratchDir("names-out");
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(n);
        settings::write(cc::Path, c.mode);
        const std::string file = out + "/n" + std::to_string(n++) + ".cab";
        Record cab = newRecord(file, items);
        std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s", c.base);
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        EXPECT_EQ(readCab(file).names, c.names);
        expectSound(file);
    }
}

// No cabinet is reported as made when nothing went into it: a pattern
// without matches, a source that is gone, or only a source skipped because
// it cannot be opened.
TEST_F(DoCabBuild, NothingToAdd)
{
    Tree tree("nothing");
    fs::create_symlink("/nonexistent/target", tree.root + "/src/locked.txt");
    settings::write(cc::SkipLock, 1);
    const std::vector<std::string> lists[] = {
        {tree.src() + "\\*.none"}, {tree.src() + "\\gone.txt"}, {tree.src() + "\\locked.txt"}};
    for (const auto &list : lists) {
        SCOPED_TRACE(list[0]);
        brxtest::ScriptedResponder responder;
        responder.answer(61283, plat::IDOK);
        Record cab = newRecord(tree.out() + "/none.cab", list);
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 1u);
        ASSERT_EQ(responder.requests().size(), 1u);
        EXPECT_EQ(responder.requests()[0].text, "Nothing to add!");
        EXPECT_EQ(responder.requests()[0].caption, "Brindle Dovozoz");
        EXPECT_TRUE(filesIn(tree.out()).empty());
    }
}

// "Skip Lock": a file that cannot be opened is left out silently and the
// writer goes on with the next one.
TEST_F(DoCabBuild, UnopenableFileIsSkippedWithSkipLock)
{
    Tree tree("skip");
    fs::create_symlink("/nonexistent/target", tree.root + "/src/locked.txt");
    settings::write(cc::SkipLock, 1);
    settings::write(cc::Path, 0);
    Record cab =
        newRecord(tree.out() + "/k.cab", {tree.src() + "\\locked.txt", tree.src() + "\\*.*"});
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 0u);
    const CabInfo info = readCab(tree.out() + "/k.cab");
    EXPECT_EQ(std::set<std::string>(info.names.begin(), info.names.end()),
              (std::set<std::string>{"a.bin", "b.txt"}));
    expectSound(tree.out() + "/k.cab");
}

// A link back up the tree does not make the recursive walk endless.
TEST_F(DoCabBuild, LinkBackUpTheTreeIsWalkedOnce)
{
    Tree tree("loop");
    fs::create_directory_symlink(tree.root + "/src", tree.root + "/src/sub/back");
    settings::write(cc::Recurse, 1);
    Record cab = newRecord(tree.out() + "/loop.cab", {tree.src()});
    std::snprintf(cab->baseFolder, sizeof cab->baseFolder, "%s", tree.src().c_str());
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 0u);
    EXPECT_EQ(readCab(tree.out() + "/loop.cab").names,
              (std::vector<std::string>{"a.bin", "b.txt", "\\sub\\c.txt"}));
    expectSound(tree.out() + "/loop.cab");
}

} // namespace
