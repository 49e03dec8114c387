// The reader's answers to its callbacks: skip, abort, failing writes and
// closes, short reads, failing allocations; error texts; cabinet tests; and
// cabinets written by gcab read back.

#include "reader_harness.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace cabtest;

namespace {

const char kThree[] = "mszip_lzx_qtm.cab";

std::string fixtures()
{
    return brxtest::fixturePath("cab/");
}

Collector readAll(const char *name)
{
    Collector c;
    EXPECT_TRUE(readCabinet(fixtures(), name, c, nullptr));
    return c;
}

} // namespace

TEST(CabinetReaderErrors, TextsByNumber)
{
    const std::pair<int, const char *> texts[] = {
        {0, "No error"},
        {1, "Cabinet not found"},
        {2, "Not a cabinet"},
        {3, "Unknown cabinet version"},
        {4, "Corrupt cabinet"},
        {5, "Memory allocation failed"},
        {6, "Unknown compression type"},
        {7, "Failure decompressing data"},
        {8, "Failure writing to target file"},
        {9, "Cabinets in set have different RESERVE sizes"},
        {10, "Cabinet returned on fdintNEXT_CABINET is incorrect"},
        {11, "User aborted"},
        {12, "Unknown error"},
        {-1, "Unknown error"},
    };
    for (auto [code, text] : texts)
        EXPECT_STREQ(cab::readerErrorText(code), text) << code;
}

TEST(CabinetReaderInfo, IsCabinetReportsTheHeader)
{
    struct Case {
        const char *fixture;
        bool ok;
        cab::CabinetInfo info;
        int error;
    };
    const Case cases[] = {
        {"cabd_multi_basic_pt2.cab", true, {274, 12345, 1, 1, 3, false, true, true}, 0},
        {"reserve_HFD.cab", true, {226, 1, 0, 1, 2, true, false, false}, 0},
        {"bad_signature.cab", false, {}, cab::kErrNotACabinet},
        {"partial_shortheader.cab", false, {}, cab::kErrNotACabinet},
        {"cve-2015-4470-mszip-over-read.cab", false, {}, cab::kErrUnknownVersion},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.fixture);
        HostIo host;
        cab::Io io = host.io();
        cab::ErrorRecord err;
        cab::Reader *reader = cab::create(io, &err);
        ASSERT_NE(reader, nullptr);
        cab::FileHandle h = io.open(io.context, (fixtures() + k.fixture).c_str());
        ASSERT_NE(h, cab::kInvalidHandle);
        cab::CabinetInfo info;
        EXPECT_EQ(cab::isCabinet(reader, h, &info), k.ok);
        io.close(io.context, h);
        EXPECT_EQ(err.code, k.error);
        EXPECT_EQ(cab::lastError(reader).code, k.error);
        if (k.ok) {
            EXPECT_EQ(info.totalLength, k.info.totalLength);
            EXPECT_EQ(info.setId, k.info.setId);
            EXPECT_EQ(info.iCabinet, k.info.iCabinet);
            EXPECT_EQ(info.folderCount, k.info.folderCount);
            EXPECT_EQ(info.fileCount, k.info.fileCount);
            EXPECT_EQ(info.hasReserve, k.info.hasReserve);
            EXPECT_EQ(info.hasPrevious, k.info.hasPrevious);
            EXPECT_EQ(info.hasNext, k.info.hasNext);
        }
        EXPECT_TRUE(cab::destroy(reader));
        EXPECT_EQ(host.liveBlocks, 0);
    }
}

TEST(CabinetReaderCopy, SkipAndAbortAnswers)
{
    const Collector all = readAll(kThree);
    ASSERT_EQ(all.files.size(), 3u);

    Collector skipping;
    skipping.skip = {"mszip.txt", "qtm.txt"};
    ASSERT_TRUE(readCabinet(fixtures(), kThree, skipping, nullptr));
    ASSERT_EQ(skipping.files.size(), 1u);
    EXPECT_EQ(skipping.files[0].name, "lzx.txt");
    EXPECT_EQ(skipping.files[0].data, all.files[1].data);

    Collector aborting;
    HostIo host;
    aborting.host = &host;
    aborting.abortOn = "lzx.txt";
    cab::ErrorRecord err;
    EXPECT_FALSE(readCabinet(fixtures(), kThree, aborting, &err));
    EXPECT_EQ(err.code, cab::kErrUserAbort);
    ASSERT_EQ(aborting.files.size(), 1u);
    EXPECT_EQ(aborting.files[0].name, "mszip.txt");
    EXPECT_EQ(host.liveBlocks, 0);
    EXPECT_TRUE(host.files.empty());
}

TEST(CabinetReaderCopy, TargetFailuresAreReported)
{
    // The write callback fails part-way through the second file.
    Collector writing;
    HostIo host;
    host.writeBudget = 57 + 100;
    writing.host = &host;
    cab::ErrorRecord err;
    EXPECT_FALSE(readCabinet(fixtures(), kThree, writing, &err));
    EXPECT_EQ(err.code, cab::kErrTargetFile);
    EXPECT_EQ(writing.files.size(), 1u);
    EXPECT_EQ(host.closedSinks, 2); // the failed file's handle was closed too
    EXPECT_TRUE(host.files.empty());

    Collector closing;
    closing.closeFails = true;
    EXPECT_FALSE(readCabinet(fixtures(), kThree, closing, &err));
    EXPECT_EQ(err.code, cab::kErrTargetFile);
}

TEST(CabinetReaderCopy, ShortReadsGiveTheSameFiles)
{
    const Collector all = readAll(kThree);
    Collector trickle;
    HostIo host;
    host.readChunk = 7;
    trickle.host = &host;
    ASSERT_TRUE(readCabinet(fixtures(), kThree, trickle, nullptr));
    ASSERT_EQ(trickle.files.size(), all.files.size());
    for (size_t i = 0; i < all.files.size(); ++i)
        EXPECT_EQ(trickle.files[i].data, all.files[i].data);
}

TEST(CabinetReaderCopy, AllocationFailuresAreCleanAtEveryPoint)
{
    const Collector all = readAll(kThree);
    bool sawSuccess = false;
    for (long budget = 0; budget < 60 && !sawSuccess; ++budget) {
        SCOPED_TRACE(budget);
        HostIo host;
        host.allocBudget = budget;
        Collector c;
        c.host = &host;
        cab::ErrorRecord err;
        bool ok = readCabinet(fixtures(), kThree, c, &err);
        if (ok) {
            sawSuccess = true;
            ASSERT_EQ(c.files.size(), 3u);
            EXPECT_EQ(c.files[2].data, all.files[2].data);
        } else {
            EXPECT_EQ(err.code, cab::kErrOutOfMemory);
        }
        EXPECT_EQ(host.liveBlocks, 0);
        EXPECT_TRUE(host.files.empty());
    }
    EXPECT_TRUE(sawSuccess);
}

TEST(CabinetReaderCopy, MissingCabinet)
{
    Collector c;
    cab::ErrorRecord err;
    EXPECT_FALSE(readCabinet(fixtures(), "no-such.cab", c, &err));
    EXPECT_EQ(err.code, cab::kErrCabinetNotFound);
    EXPECT_TRUE(c.events.empty());
}

TEST(CabinetReaderGcab, CabinetsWrittenByGcabReadBack)
{
    if (std::system("gcab --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "gcab not installed";
    const std::string dir = brxtest::makeScratchDir("gcab") + "/";
    std::string text, binary;
    for (int i = 0; i < 20000; ++i)
        text += std::to_string(i) + " lines of text\n";
    std::uint32_t x = 12345;
    for (int i = 0; i < 70000; ++i) {
        x = x * 1103515245u + 12345u;
        binary += static_cast<char>(x >> 24);
    }
    std::filesystem::create_directories(dir + "sub");
    std::ofstream(dir + "a.txt", std::ios::binary) << text;
    std::ofstream(dir + "sub/r.bin", std::ios::binary) << binary;
    std::ofstream(dir + "empty.txt", std::ios::binary);

    for (const char *option : {"", "-z"}) {
        SCOPED_TRACE(option);
        const std::string cabName = std::string("out") + option + ".cab";
        const std::string cmd = "cd '" + dir + "' && gcab -c " + option + " '" + cabName +
                                "' a.txt sub/r.bin empty.txt >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Collector c;
        cab::ErrorRecord err;
        ASSERT_TRUE(readCabinet(dir, cabName, c, &err)) << cab::readerErrorText(err.code);
        ASSERT_EQ(c.files.size(), 3u);
        EXPECT_EQ(c.files[0].name, "a.txt");
        EXPECT_EQ(c.files[0].data, text);
        EXPECT_EQ(c.files[1].name, "sub\\r.bin");
        EXPECT_EQ(c.files[1].data, binary);
        EXPECT_EQ(c.files[2].name, "empty.txt");
        EXPECT_EQ(c.files[2].data, "");
    }
}
