// Every option of function 8: what gets written, replaced or skipped.

#include <filesystem>
#include <gtest/gtest.h>

#include "dunzip.h"
#include "engine_test_support.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "testenv.h"

using namespace enginetest;

namespace {

namespace fs = std::filesystem;

// a.txt dated 2020-06-01 12:00 (DOS time, local), in a folder entry and a few more.
const char *kProgram = R"PY(
d = ((2020 - 1980) << 9) | (6 << 5) | 1
t = 12 << 11
save(build([entry(b'a.txt', b'new', date=d, time=t),
            entry(b'dir/sub/f.txt', b'deep', date=d, time=t),
            entry(b'LongFileName.txt', b'long1', date=d, time=t),
            entry(b'LongFileOther.txt', b'long2', date=d, time=t),
            entry(b'Long Folder Name/x.c', b'x', date=d, time=t),
            entry(b'SHORT.TXT', b'short', date=d, time=t)]))
)PY";

std::string archivePath()
{
    static std::string path =
        buildWithPython(brxtest::makeScratchDir("options-archive"), "o.zip", kProgram);
    return path;
}

void setTime(const std::string &path, const char *when)
{
    ASSERT_TRUE(unziptest::run(std::string("touch -d '") + when + "' '" + path + "'"));
}

} // namespace

TEST(UnzipEngineOptions, ExistingFilesByMode)
{
    SKIP_WITHOUT("python3");
    enum Existing { Missing, Older, Newer };
    struct Case {
        const char *what;
        int freshen, update, overwrite, neverPrompt;
        int answer; // to the replace question; 0: none expected
        Existing existing;
        const char *expected; // content of a.txt afterwards
        int result;
    } cases[] = {
        {"overwrite, missing", 0, 0, 1, 1, 0, Missing, "new", 0},
        {"overwrite, newer exists", 0, 0, 1, 1, 0, Newer, "new", 0},
        {"freshen, missing", 1, 0, 1, 1, 0, Missing, "<missing>", 0},
        {"freshen, older", 1, 0, 1, 1, 0, Older, "new", 0},
        {"freshen, newer", 1, 0, 1, 1, 0, Newer, "old", 0},
        {"update, missing", 0, 1, 1, 1, 0, Missing, "new", 0},
        {"update, older", 0, 1, 1, 1, 0, Older, "new", 0},
        {"update, newer", 0, 1, 1, 1, 0, Newer, "old", 0},
        {"never prompt skips", 0, 0, 0, 1, 0, Older, "old", 0},
        {"never prompt, missing", 0, 0, 0, 1, 0, Missing, "new", 0},
        {"ask: yes", 0, 0, 0, 0, plat::IDYES, Older, "new", 0},
        {"ask: no", 0, 0, 0, 0, plat::IDNO, Older, "old", 0},
        {"ask: cancel", 0, 0, 0, 0, plat::IDCANCEL, Older, "old", 80},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string dest = brxtest::makeScratchDir("mode" + std::to_string(n++));
        if (c.existing != Missing) {
            writeText(dest + "/a.txt", "old");
            setTime(dest + "/a.txt", c.existing == Older ? "2010-01-01" : "2030-01-01");
        }
        Recorder rec;
        rec.answer = [&](const Message &m) { return m.type == 8 ? c.answer : 1; };
        UnzipCommand cmd = extractCommand(win(archivePath()), win(dest), rec);
        cmd.nameMask = "a.txt";
        cmd.freshen = c.freshen;
        cmd.update = c.update;
        cmd.overwrite = c.overwrite;
        cmd.neverPrompt = c.neverPrompt;
        EXPECT_EQ(dunzipS(&cmd), c.result);
        EXPECT_EQ(fileText(dest + "/a.txt"), c.expected);
        std::vector<Message> questions;
        for (const Message &m : rec.messages)
            if (m.type == 8)
                questions.push_back(m);
        ASSERT_EQ(questions.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(questions[0].text, win(dest) + "\\a.txt exists");
            EXPECT_EQ(questions[0].style, plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION);
            EXPECT_EQ(rec.events.front(), "item 1") << "the entry is named before the question";
        }
    }
}

TEST(UnzipEngineOptions, SelectionAndNames)
{
    SKIP_WITHOUT("python3");
    struct Case {
        const char *what;
        const char *mask;
        int index;
        int dropFolders;
        std::uint8_t nameFlags;
        std::vector<std::string> files;
    } cases[] = {
        {"mask on names",
         "*.txt",
         -1,
         0,
         0,
         {"LongFileName.txt", "LongFileOther.txt", "SHORT.TXT", "a.txt", "dir/sub/f.txt"}},
        {"mask with a folder", "dir\\*", -1, 0, 0, {"dir/sub/f.txt"}},
        {"single entry", "*.*", 1, 0, 0, {"dir/sub/f.txt"}},
        {"drop folders", "*.c", -1, 1, 0, {"x.c"}},
        {"skip long names",
         "*.*",
         -1,
         0,
         UNZIP_SKIP_LONG_NAMES,
         {"SHORT.TXT", "a.txt", "dir/sub/f.txt"}},
        {"short names",
         "*.*",
         -1,
         0,
         UNZIP_SHORT_NAMES,
         {"LONGFI~1.TXT", "LONGFI~2.TXT", "LONGFO~1/x.c", "SHORT.TXT", "a.txt", "dir/sub/f.txt"}},
        {"short name of one entry", "*.*", 3, 0, UNZIP_SHORT_NAMES, {"LONGFI~2.TXT"}},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string dest = brxtest::makeScratchDir("select" + std::to_string(n++));
        Recorder rec;
        UnzipCommand cmd = extractCommand(win(archivePath()), win(dest), rec);
        cmd.nameMask = c.mask;
        cmd.entryIndex = c.index;
        cmd.dropFolders = c.dropFolders;
        cmd.nameFlags |= c.nameFlags;
        EXPECT_EQ(dunzipS(&cmd), 0);
        EXPECT_EQ(listTree(dest), c.files);
    }
    Recorder rec;
    UnzipCommand none =
        extractCommand(win(archivePath()), win(brxtest::makeScratchDir("none")), rec);
    none.nameMask = "*.doc";
    EXPECT_EQ(dunzipS(&none), 11);
    EXPECT_EQ(rec.statusCodes(), std::vector<int>{11});
}

TEST(UnzipEngineOptions, RenameCallbackKeepsTheExistingFile)
{
    SKIP_WITHOUT("python3");
    std::string dest = brxtest::makeScratchDir("rename");
    writeText(dest + "/a.txt", "old");
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(archivePath()), win(dest), rec);
    cmd.nameMask = "a.txt";
    cmd.renameCallback = [](char *path, _RENAMEINFO *) {
        std::string p = path;
        std::snprintf(path, 260, "%s (2).txt", p.substr(0, p.size() - 4).c_str());
        return 0;
    };
    EXPECT_EQ(dunzipS(&cmd), 0);
    EXPECT_EQ(fileText(dest + "/a.txt"), "old");
    EXPECT_EQ(fileText(dest + "/a (2).txt"), "new");
}

TEST(UnzipEngineOptions, ReadOnlyTargetIsReplacedAndTestWritesNothing)
{
    SKIP_WITHOUT("python3");
    std::string dest = brxtest::makeScratchDir("readonly");
    writeText(dest + "/a.txt", "old");
    ASSERT_TRUE(
        plat::setFileAttributes(win(dest + "/a.txt").c_str(), plat::FILE_ATTRIBUTE_READONLY));
    Recorder rec;
    UnzipCommand cmd = extractCommand(win(archivePath()), win(dest), rec);
    cmd.nameMask = "a.txt";
    EXPECT_EQ(dunzipS(&cmd), 0);
    EXPECT_EQ(fileText(dest + "/a.txt"), "new");
    EXPECT_FALSE(plat::getFileAttributes(win(dest + "/a.txt").c_str()) &
                 plat::FILE_ATTRIBUTE_READONLY);

    std::string empty = brxtest::makeScratchDir("testonly");
    UnzipCommand test = extractCommand(win(archivePath()), "", rec);
    test.destination = nullptr;
    EXPECT_EQ(dunzipS(&test), 0);
    EXPECT_TRUE(listTree(empty).empty());
}
