// Every cabinet fixture either reads exactly like cabextract reads it, or fails
// with the error its defect calls for, without crashing or hanging.

#include "reader_harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace cabtest;

namespace {

bool haveCabextract()
{
    return std::system("cabextract --version >/dev/null 2>&1") == 0;
}

struct Outcome {
    const char *fixture;
    int error;
};

// Damaged fixtures and the error their defect produces. Every fixture not
// listed (except the parts of the five-part set, tested apart) must read
// completely and match cabextract.
const Outcome kDamaged[] = {
    {"bad_folderindex.cab", cab::kErrCorruptCabinet},
    {"bad_nofiles.cab", cab::kErrCorruptCabinet},
    {"bad_nofolders.cab", cab::kErrCorruptCabinet},
    {"bad_signature.cab", cab::kErrNotACabinet},
    {"cve-2010-2800-mszip-infinite-loop.cab", cab::kErrCorruptCabinet},
    {"cve-2014-9556-qtm-infinite-loop.cab", cab::kErrCorruptCabinet},
    {"cve-2014-9732-folders-segfault.cab", cab::kErrBadCompressionType},
    {"cve-2015-4470-mszip-over-read.cab", cab::kErrUnknownVersion},
    {"cve-2015-4471-lzx-under-read.cab", cab::kErrCorruptCabinet},
    {"cve-2017-11423-fname-overread.cab", cab::kErrCorruptCabinet},
    {"cve-2018-18584-qtm-max-size-block.cab", cab::kErrDecompressFailed},
    {"filename-read-violation-1.cab", cab::kErrCorruptCabinet},
    {"filename-read-violation-2.cab", cab::kErrDecompressFailed},
    {"filename-read-violation-3.cab", cab::kErrDecompressFailed},
    {"filename-read-violation-4.cab", cab::kErrDecompressFailed},
    {"hidden-file-bad-folderid.cab", cab::kErrCorruptCabinet},
    {"hidden-file-beyond-eof.cab", cab::kErrCorruptCabinet},
    {"lzx-main-tree-no-lengths.cab", cab::kErrDecompressFailed},
    {"lzx-premature-matches.cab", cab::kErrDecompressFailed},
    {"partial_nodata.cab", cab::kErrCorruptCabinet},
    {"partial_nofiles.cab", cab::kErrCorruptCabinet},
    {"partial_nofolder.cab", cab::kErrCorruptCabinet},
    {"partial_shortextheader.cab", cab::kErrCorruptCabinet},
    {"partial_shortfile1.cab", cab::kErrCorruptCabinet},
    {"partial_shortfile2.cab", cab::kErrCorruptCabinet},
    {"partial_shortfolder.cab", cab::kErrCorruptCabinet},
    {"partial_shortheader.cab", cab::kErrNotACabinet},
    {"partial_str_nofname.cab", cab::kErrCorruptCabinet},
    {"partial_str_noninfo.cab", cab::kErrCorruptCabinet},
    {"partial_str_nonname.cab", cab::kErrCorruptCabinet},
    {"partial_str_nopinfo.cab", cab::kErrCorruptCabinet},
    {"partial_str_nopname.cab", cab::kErrCorruptCabinet},
    {"partial_str_shortfname.cab", cab::kErrCorruptCabinet},
    {"partial_str_shortninfo.cab", cab::kErrCorruptCabinet},
    {"partial_str_shortnname.cab", cab::kErrCorruptCabinet},
    {"partial_str_shortpinfo.cab", cab::kErrCorruptCabinet},
    {"partial_str_shortpname.cab", cab::kErrCorruptCabinet},
    // Embedded in other data: the reader only takes a cabinet at offset 0.
    {"search_basic.cab", cab::kErrNotACabinet},
    {"search_tricky1.cab", cab::kErrUnknownVersion},
};

const Outcome *damaged(const std::string &name)
{
    for (const Outcome &o : kDamaged)
        if (name == o.fixture)
            return &o;
    return nullptr;
}

// What cabextract extracts from a fixture: path with '\' -> contents.
std::map<std::string, std::string> cabextractFiles(const std::string &path)
{
    std::map<std::string, std::string> out;
    std::string dir = brxtest::makeScratchDir("cabextract-" + nameOf(path));
    std::string cmd = "cabextract -q -d '" + dir + "' '" + path + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        return out;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file())
            continue;
        std::string rel = fs::relative(e.path(), dir).string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        out[rel] = readHostFile(e.path().string());
    }
    return out;
}

std::vector<std::string> fixtureNames()
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(brxtest::fixturePath("cab")))
        if (e.path().extension() == ".cab" &&
            e.path().filename().string().rfind("cabd_multi_basic_pt", 0) != 0)
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(CabinetReaderFixtures, DamagedFixturesFailWithTheirError)
{
    for (const Outcome &o : kDamaged) {
        SCOPED_TRACE(o.fixture);
        Collector c;
        HostIo host;
        c.host = &host;
        cab::ErrorRecord err;
        EXPECT_FALSE(readCabinet(brxtest::fixturePath("cab/"), o.fixture, c, &err));
        EXPECT_EQ(err.code, o.error);
        EXPECT_TRUE(err.present);
        // Every handle the reader opened, and every block it allocated, is released.
        EXPECT_TRUE(host.files.empty());
        EXPECT_EQ(host.liveBlocks, 0);
        EXPECT_EQ(host.closedSinks, static_cast<int>(host.sinks.size()));
    }
}

TEST(CabinetReaderFixtures, SoundFixturesMatchCabextract)
{
    const bool oracle = haveCabextract();
    int compared = 0;
    for (const std::string &name : fixtureNames()) {
        if (damaged(name))
            continue;
        SCOPED_TRACE(name);
        Collector c;
        cab::ErrorRecord err;
        ASSERT_TRUE(readCabinet(brxtest::fixturePath("cab/"), name, c, &err))
            << cab::readerErrorText(err.code);
        EXPECT_FALSE(err.present);
        ASSERT_FALSE(c.files.empty());
        if (name == "hidden-files.cab") {
            // Its file records sit where the header's file offset points, past
            // two decoy records that directly follow the folder; cabextract
            // lists the decoys.
            ASSERT_EQ(c.files.size(), 2u);
            EXPECT_EQ(c.files[0].name, "hidden1.txt");
            EXPECT_EQ(c.files[1].name, "hidden2.txt");
            continue;
        }
        if (!oracle)
            continue;
        auto expected = cabextractFiles(brxtest::fixturePath("cab/" + name));
        std::map<std::string, std::string> ours;
        for (const Extracted &e : c.files)
            ours[e.name] = e.data;
        EXPECT_EQ(ours, expected);
        ++compared;
    }
    if (!oracle)
        GTEST_SKIP() << "cabextract not installed: contents not compared";
    EXPECT_GT(compared, 10);
}

TEST(CabinetReaderFixtures, EveryFixtureIsInTheTableOrReads)
{
    // A new fixture must be classified: either it reads, or it is listed above.
    for (const std::string &name : fixtureNames()) {
        if (damaged(name))
            continue;
        SCOPED_TRACE(name);
        Collector c;
        EXPECT_TRUE(readCabinet(brxtest::fixturePath("cab/"), name, c, nullptr));
    }
}
