// Archives spread over several disks: a spanned set on a simulated floppy
// drive (disks asked for through the message callback) and a split set of
// segment files on a fixed drive.

#include <filesystem>
#include <gtest/gtest.h>

#include "dunzip.h"
#include "engine_test_support.h"
#include "platform/drives.h"
#include "platform/modal.h"
#include "testenv.h"

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

// Three files of incompressible data split into 64 KiB segments by zip.
struct SplitSet {
    std::string root, src;
    std::vector<std::string> segments; // .z01, .z02, ..., .zip
};

SplitSet makeSplitSet(const std::string &name)
{
    SplitSet s;
    s.root = brxtest::makeScratchDir(name);
    s.src = s.root + "/src";
    for (int f = 0; f < 3; ++f) {
        std::string data;
        unsigned x = 12345u + f;
        for (int i = 0; i < 60000; ++i) {
            x = x * 1103515245u + 12345u;
            data += static_cast<char>(x >> 24);
        }
        writeText(s.src + "/file" + std::to_string(f) + ".bin", data);
    }
    unziptest::run("cd '" + s.src + "' && zip -q -s 64k '" + s.root + "/set.zip' *.bin");
    for (int k = 1;; ++k) {
        char ext[16];
        std::snprintf(ext, sizeof ext, ".z%02d", k);
        if (!fs::exists(s.root + "/set" + ext))
            break;
        s.segments.push_back(s.root + "/set" + ext);
    }
    s.segments.push_back(s.root + "/set.zip");
    return s;
}

} // namespace

TEST(UnzipEngineSpanned, SplitSegmentsOnAFixedDrive)
{
    SKIP_WITHOUT("zip");
    SplitSet s = makeSplitSet("split");
    ASSERT_GE(s.segments.size(), 3u);
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(s.root + "/set.zip"), win(s.root + "/out"), rec);
    ASSERT_EQ(dunzipS(&cmd), 0);
    for (int f = 0; f < 3; ++f) {
        std::string n = "/file" + std::to_string(f) + ".bin";
        EXPECT_EQ(fileText(s.root + "/out" + n), fileText(s.src + n));
    }
    EXPECT_TRUE(rec.messages.empty());
}

TEST(UnzipEngineSpanned, FloppySetAsksForEachDisk)
{
    SKIP_WITHOUT("zip");
    SplitSet s = makeSplitSet("span");
    const int disks = static_cast<int>(s.segments.size());
    ASSERT_GE(disks, 3);
    // Disk k (1-based) is its own medium holding the same file name.
    std::vector<std::string> media;
    for (int k = 0; k < disks; ++k) {
        media.push_back(brxtest::makeScratchDir("span-disk" + std::to_string(k + 1)));
        fs::copy_file(s.segments[k], media.back() + "/SET.ZIP");
    }
    ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, media[0], 1457664}));

    Recorder rec;
    rec.answer = [&](const Message &m) {
        if (m.type == 0 && m.n2 == -1)
            plat::changeMedium('A', media[disks - 1]);
        else if (m.type == 1 && m.n1 >= 1 && m.n1 <= disks)
            plat::changeMedium('A', media[m.n1 - 1]);
        else
            return 1;
        EXPECT_EQ(m.style, plat::MB_OKCANCEL);
        return plat::IDOK;
    };
    // Listing: the first disk is in the drive, the engine asks for the last.
    UnzipCommand count;
    initUnzipCommand(count);
    count.function = UNZIP_COUNT;
    count.archivePath = "A:\\SET.ZIP";
    count.messageCallback = extractCommand("", "", rec).messageCallback;
    count.messageContext = &rec;
    ASSERT_EQ(dunzipS(&count), 0);
    EXPECT_EQ(count.count, 3);
    ASSERT_FALSE(rec.messages.empty());
    EXPECT_EQ(rec.messages[0].type, 0);
    EXPECT_EQ(rec.messages[0].n2, -1);

    // Extraction asks for the disks the entries live on.
    plat::changeMedium('A', media[0]);
    rec.messages.clear();
    UnzipCommand cmd = extractCommand("A:\\SET.ZIP", win(s.root + "/out"), rec);
    ASSERT_EQ(dunzipS(&cmd), 0);
    for (int f = 0; f < 3; ++f) {
        std::string n = "/file" + std::to_string(f) + ".bin";
        EXPECT_EQ(fileText(s.root + "/out" + n), fileText(s.src + n));
    }
    bool askedForDisk = false;
    for (const Message &m : rec.messages)
        askedForDisk |= m.type == 1 && m.n2 == disks;
    EXPECT_TRUE(askedForDisk);

    // Refusing the disk ends the call.
    plat::changeMedium('A', media[0]);
    Recorder refuse;
    refuse.answer = [](const Message &m) { return m.type == 11 ? 1 : plat::IDCANCEL; };
    UnzipCommand no = extractCommand("A:\\SET.ZIP", win(s.root + "/out2"), refuse);
    EXPECT_EQ(dunzipS(&no), 81);
    plat::removeDrive('A');
}
