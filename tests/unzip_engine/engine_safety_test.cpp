// Hostile entry names never leave the destination; a full disk stops the
// extraction without leaving a partial file.

#include <filesystem>
#include <gtest/gtest.h>

#include "dunzip.h"
#include "engine_test_support.h"
#include "platform/drives.h"
#include "testenv.h"

using namespace enginetest;

TEST(UnzipEngineSafety, HostileNamesStayInside)
{
    SKIP_WITHOUT("python3");
    std::string root = brxtest::makeScratchDir("hostile");
    std::string archive = buildWithPython(root, "h.zip", R"PY(
names = [b'../../evil1', b'C:\\evil2', b'/abs/evil3', b'a/../../b/evil4', b'CON', b'aux.txt',
         b'..\\..\\evil5', b'ok/. ./x', b'q?*:.txt']
es = [entry(n, n) for n in names]
# A Unix symbolic link entry (mode 0120777): written as a plain file.
es.append(entry(b'link', b'/etc/passwd', made_by=0x0314, ext_attr=0o120777 << 16))
save(build(es))
)PY");
    std::string dest = root + "/box/dest";
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(archive), win(dest), rec);
    EXPECT_EQ(dunzipS(&cmd), 0);
    std::vector<std::string> expected = {"C/evil2", "_CON",  "_aux.txt", "a/b/evil4", "abs/evil3",
                                         "evil1",   "evil5", "link",     "ok/x",      "q___.txt"};
    // "C:" is removed, so "C:\evil2" lands at the top.
    expected[0] = "evil2";
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listTree(dest), expected);
    EXPECT_EQ(listTree(root + "/box"), [&] {
        std::vector<std::string> v;
        for (auto &e : expected)
            v.push_back("dest/" + e);
        return v;
    }());
    EXPECT_FALSE(std::filesystem::is_symlink(dest + "/link"));
    EXPECT_EQ(fileText(dest + "/link"), "/etc/passwd");
}

TEST(UnzipEngineSafety, DiskFullRemovesThePartialFile)
{
    SKIP_WITHOUT("python3");
    std::string root = brxtest::makeScratchDir("diskfull");
    std::string archive = buildWithPython(root, "big.zip", R"PY(
import random
r = random.Random(5)
small = entry(b'small.txt', b'fits')
big = entry(b'big.bin', bytes(r.getrandbits(8) for _ in range(300000)), method=8)
save(build([small, big]))
)PY");
    std::string medium = brxtest::makeScratchDir("diskfull-medium");
    ASSERT_TRUE(plat::defineDrive({'R', plat::DRIVE_REMOVABLE, medium, 200 * 1024}));
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(archive), "R:\\out", rec);
    EXPECT_EQ(dunzipS(&cmd), 50);
    EXPECT_EQ(rec.statusCodes(), std::vector<int>{50});
    EXPECT_EQ(listTree(medium), std::vector<std::string>{"out/small.txt"});
    plat::removeDrive('R');
}

TEST(UnzipEngineFuzzRegression, SavedInputsFailCleanly)
{
    // Each saved input is damaged: every function answers with a failure code
    // (a crash or an allocation of the stated size would end the test).
    const char *inputs[] = {"unzip-engine-fuzz/oom_directory_on_other_disk.zip"};
    for (const char *input : inputs) {
        SCOPED_TRACE(input);
        std::string path = win(brxtest::fixturePath(input));
        UnzipCommand cmd;
        initUnzipCommand(cmd);
        cmd.function = UNZIP_COUNT;
        cmd.archivePath = path.c_str();
        EXPECT_NE(dunzipS(&cmd), 0);
        Recorder rec;
        UnzipCommand test = extractCommand(path, "", rec);
        EXPECT_NE(dunzipS(&test), 0);
    }
}
