// Five-part set: continuing across parts, moving to another folder, a missing
// or wrong part, and the partial-file report when starting in the middle.

#include "reader_harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using namespace cabtest;

namespace {

std::string part(int n)
{
    return "cabd_multi_basic_pt" + std::to_string(n) + ".cab";
}

// Copies the given parts into a new scratch folder; returns it with a trailing '/'.
std::string folderWith(const std::string &name, std::initializer_list<int> parts)
{
    std::string dir = brxtest::makeScratchDir(name) + "/";
    for (int n : parts)
        fs::copy_file(brxtest::fixturePath("cab/" + part(n)), dir + part(n));
    return dir;
}

size_t countEvents(const Collector &c, const std::string &prefix)
{
    return static_cast<size_t>(std::count_if(c.events.begin(), c.events.end(),
                                             [&](auto &e) { return e.rfind(prefix, 0) == 0; }));
}

} // namespace

TEST(CabinetReaderSet, ReadsFromFirstPartAcrossAllPartsAndFolders)
{
    const std::string first = folderWith("set-a", {1, 2});
    const std::string second = folderWith("set-b", {3, 4, 5});
    Collector c;
    HostIo host;
    c.host = &host;
    c.redirect[part(3)] = second; // the remaining parts are in another folder
    cab::ErrorRecord err;
    ASSERT_TRUE(readCabinet(first, part(1), c, &err)) << cab::readerErrorText(err.code);

    ASSERT_EQ(c.files.size(), 3u);
    EXPECT_EQ(c.files[0].name, "test1.txt");
    EXPECT_EQ(c.files[1].name, "test2.txt");
    EXPECT_EQ(c.files[2].name, "test3.txt");
    EXPECT_EQ(c.files[0].data.size(), 76u);
    EXPECT_EQ(c.files[1].data.size(), 38u);
    EXPECT_EQ(c.files[2].data.size(), 76u);
    EXPECT_EQ(c.files[0].date, 0x226c);
    EXPECT_EQ(c.files[0].time, 0x59ba);
    EXPECT_EQ(c.files[0].attributes, 0x20);
    // Each part is asked for once and reported once; the tails of the files
    // repeated in later parts are not offered again.
    for (int n = 2; n <= 5; ++n)
        EXPECT_EQ(countEvents(c, "next " + part(n)), 1u) << n;
    EXPECT_EQ(countEvents(c, "info "), 5u);
    EXPECT_EQ(countEvents(c, "copy "), 3u);
    EXPECT_EQ(countEvents(c, "partial "), 0u);
    EXPECT_TRUE(host.files.empty());
    EXPECT_EQ(host.liveBlocks, 0);

    // Same bytes as when every part lies in the fixture folder (cabextract's
    // own view of the set is checked with the single-file fixtures).
    const std::string all = folderWith("set-all", {1, 2, 3, 4, 5});
    Collector plain;
    ASSERT_TRUE(readCabinet(all, part(1), plain, nullptr));
    ASSERT_EQ(plain.files.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(plain.files[i].data, c.files[i].data);
}

TEST(CabinetReaderSet, MatchesCabextractOnTheWholeSet)
{
    if (std::system("cabextract --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "cabextract not installed";
    const std::string all = folderWith("set-oracle", {1, 2, 3, 4, 5});
    const std::string out = brxtest::makeScratchDir("set-oracle-out") + "/";
    ASSERT_EQ(
        std::system(
            ("cabextract -q -d '" + out + "' '" + all + part(1) + "' >/dev/null 2>&1").c_str()),
        0);
    Collector c;
    ASSERT_TRUE(readCabinet(all, part(1), c, nullptr));
    ASSERT_EQ(c.files.size(), 3u);
    for (const Extracted &e : c.files)
        EXPECT_EQ(e.data, readHostFile(out + e.name)) << e.name;
}

TEST(CabinetReaderSet, FailuresWhileContinuing)
{
    struct Case {
        const char *what;
        std::initializer_list<int> parts;
        bool abortNext;
        bool wrongPart;
        int error;
    };
    const Case cases[] = {
        {"missing part", {1, 2}, false, false, cab::kErrCabinetNotFound},
        {"callback gives up", {1, 2, 3, 4, 5}, true, false, cab::kErrUserAbort},
        {"wrong part", {1, 2}, false, true, cab::kErrWrongCabinet},
    };
    int i = 0;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        const std::string dir = folderWith("set-fail-" + std::to_string(i++), k.parts);
        if (k.wrongPart) // part 3 under the name of part 2
            fs::copy_file(brxtest::fixturePath("cab/" + part(3)), dir + part(2),
                          fs::copy_options::overwrite_existing);
        Collector c;
        HostIo host;
        c.host = &host;
        c.abortNextCabinet = k.abortNext;
        cab::ErrorRecord err;
        EXPECT_FALSE(readCabinet(dir, part(1), c, &err));
        EXPECT_EQ(err.code, k.error);
        EXPECT_TRUE(c.files.empty());
        // The output handle opened for the first file was closed again.
        EXPECT_EQ(host.closedSinks, 1);
        EXPECT_TRUE(host.files.empty());
        EXPECT_EQ(host.liveBlocks, 0);
    }
}

TEST(CabinetReaderSet, StartingAtSecondPartReportsPartialFiles)
{
    const std::string dir = folderWith("set-mid", {2, 3, 4, 5});
    Collector c;
    cab::ErrorRecord err;
    ASSERT_TRUE(readCabinet(dir, part(2), c, &err)) << cab::readerErrorText(err.code);
    const std::vector<std::string> expected = {
        "info 1 next=cabd_multi_basic_pt3.cab",
        "partial test1.txt from cabd_multi_basic_pt1.cab on basic multipart test part 1",
        "partial test2.txt from cabd_multi_basic_pt1.cab on basic multipart test part 1",
        "partial test3.txt from cabd_multi_basic_pt1.cab on basic multipart test part 1",
    };
    EXPECT_EQ(c.events, expected);
    EXPECT_TRUE(c.files.empty());
}
