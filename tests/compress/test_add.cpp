#include "compress_test_util.h"
#include "platform/drives.h"
#include "platform/globalmem.h"
#include "scripted_responder.h"

#include <QAbstractButton>
#include <QWidget>

using namespace comptest;
namespace cs = settings::compression;

namespace {

class CompressAdd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveUnzip())
            GTEST_SKIP() << "unzip not installed";
        // Defaults ask for nothing: no password, no spanning on fixed drives.
        settings::write(cs::Path, 1);
        settings::write(cs::Recurse, 1);
    }
};

// An empty file named like the archive, or no file at all, gets a fresh
// archive whatever "Method" says (update and freshen would add nothing).
TEST_F(CompressAdd, MissingOrEmptyArchiveIsCreatedWhateverTheMethod)
{
    struct Case {
        bool emptyFileFirst;
        int method;
    };
    const Case cases[] = {{true, 1}, {true, 2}, {false, 1}, {false, 2}};
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(n);
        SourceTree tree("method" + std::to_string(n++));
        if (c.emptyFileFirst)
            writeFile(tree.archive(), "");
        settings::write(cs::Method, c.method);
        Record add = newRecord(tree.archive(), tree.quotedAll());
        ASSERT_EQ(runAdd(add.get()), 1);
        EXPECT_EQ(add->command.function, ZIP_ADD);
        EXPECT_EQ(add->command.growArchive, 0);
        EXPECT_EQ(add->result, 0);
        expectSound(tree.archive());
        EXPECT_EQ(names(tree.archive()),
                  (std::set<std::string>{"a.txt", "b.txt", "sub/", "sub/c.txt"}));
    }
}

TEST_F(CompressAdd, MethodOnAnExistingArchive)
{
    const std::pair<int, int> cases[] = {
        {0, ZIP_ADD}, {1, ZIP_UPDATE}, {2, ZIP_FRESHEN}, {7, ZIP_ADD}};
    SourceTree tree("existing");
    Record first = newRecord(tree.archive(), "\"" + win(tree.root + "/src/a.txt") + "\"");
    ASSERT_EQ(runAdd(first.get()), 1);
    ASSERT_EQ(first->result, 0);
    for (const auto &[method, function] : cases) {
        SCOPED_TRACE(method);
        settings::write(cs::Method, method);
        Record add = newRecord(tree.archive(), tree.quotedAll());
        ASSERT_EQ(runAdd(add.get()), 1);
        EXPECT_EQ(add->command.function, function);
        EXPECT_EQ(add->result, 0);
    }
    expectSound(tree.archive());
    EXPECT_EQ(names(tree.archive()).count("sub/c.txt"), 1u);
}

TEST_F(CompressAdd, PathModesAndFilters)
{
    SourceTree tree("paths");
    settings::write(cs::Path, 0);
    settings::write(cs::FilterFile, 1);
    settings::write(cs::FilterExclude, "b.txt");
    Record add = newRecord(tree.archive(), tree.quotedAll());
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.noFolderNames, 1);
    EXPECT_EQ(add->command.options & ZIP_OPT_RELATIVE_FOLDERS, 0);
    EXPECT_EQ(add->command.useExclude, 1);
    EXPECT_STREQ(add->excludeFilter, "b.txt");
    EXPECT_EQ(add->result, 0);
    expectSound(tree.archive());
    EXPECT_EQ(names(tree.archive()), (std::set<std::string>{"a.txt", "c.txt"}));
}

TEST_F(CompressAdd, DateFilterTextIsMonthDayYearInTwoPlacesEach)
{
    SourceTree tree("date");
    settings::write(cs::FilterDate, 1);
    settings::write(cs::FilterMonth, 3);
    settings::write(cs::FilterDay, 5);
    settings::write(cs::FilterYear, 2001);
    Record add = newRecord(tree.archive(), tree.quotedAll());
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.useDateFilter, 1);
    EXPECT_STREQ(add->dateFilter, " 3 5 1");
    EXPECT_EQ(add->command.dateFilter, add->dateFilter);
    EXPECT_EQ(add->result, 0);
    expectSound(tree.archive());
    EXPECT_EQ(names(tree.archive()).count("a.txt"), 1u);
}

TEST_F(CompressAdd, MemoryBlockBecomesOneEntry)
{
    SourceTree tree("memory");
    const std::string text = "bytes held in memory";
    plat::HGLOBAL block = plat::globalAlloc(plat::GMEM_MOVEABLE, text.size());
    ASSERT_NE(block, nullptr);
    std::memcpy(plat::globalLock(block), text.data(), text.size());
    plat::globalUnlock(block);
    settings::write(cs::Method, 2); // ignored: memory always adds
    Record add = newRecord(tree.archive(), "\"notes\\memo.txt\"");
    add->flags = ADF_MEMORY;
    add->sourceMemory = block;
    add->sourceLength = static_cast<std::uint32_t>(text.size());
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.function, ZIP_ADD_MEMORY);
    EXPECT_EQ(add->result, 0);
    // What the completion handler does with the block.
    plat::globalUnlock(block);
    plat::globalFree(block);
    expectSound(tree.archive());
    ASSERT_EQ(names(tree.archive()).size(), 1u);
    EXPECT_EQ(run("unzip -p '" + tree.archive() + "' '" + *names(tree.archive()).begin() + "'"),
              text);
}

// Re-compression moves extracted temporary files in with their folders,
// whatever the settings say, but the password question still comes.
TEST_F(CompressAdd, RecompressIgnoresTheSettingsButAsksForAPassword)
{
    SourceTree tree("recompress");
    settings::write(cs::Method, 2);
    settings::write(cs::Path, 0);
    settings::write(cs::Recurse, 0);
    settings::write(cs::FilterFile, 2);
    settings::write(cs::FilterInclude, ".none");
    settings::write(cs::FilterDate, 1);
    settings::write(cs::Password, 1);
    brxtest::ScriptedResponder responder;
    responder.answer(175, plat::IDOK, {{1151, "secret"}});

    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->flags = ADF_RECOMPRESS;
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.function, ZIP_ADD);
    EXPECT_EQ(add->command.moveFiles, 1);
    EXPECT_EQ(add->command.recurse, 1);
    EXPECT_EQ(add->command.noFolderNames, 0);
    EXPECT_EQ(add->command.useInclude, 0);
    EXPECT_EQ(add->command.useDateFilter, 0);
    EXPECT_EQ(add->command.usePassword, 1);
    EXPECT_STREQ(add->password, "secret");
    EXPECT_EQ(add->result, 0);
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].caption, "Brindle Dovozoz - Enter Password");
    expectSound(tree.archive(), "secret");
    EXPECT_EQ(names(tree.archive()).count("sub/c.txt"), 1u);
    EXPECT_FALSE(fs::exists(tree.root + "/src/a.txt"));
}

TEST_F(CompressAdd, NoPasswordButtonAddsWithoutEncryption)
{
    SourceTree tree("nopassword");
    settings::write(cs::Password, 1);
    brxtest::ScriptedResponder responder;
    responder.answer(175, 4, {{1151, "typed but dropped"}});
    Record add = newRecord(tree.archive(), tree.quotedAll());
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.usePassword, 0);
    EXPECT_STREQ(add->password, "");
    EXPECT_EQ(add->result, 0);
    expectSound(tree.archive());
}

TEST_F(CompressAdd, CancelledPasswordStartsNothing)
{
    SourceTree tree("cancel");
    settings::write(cs::Password, 1);
    brxtest::ScriptedResponder responder;
    responder.answer(175, plat::IDCANCEL);
    Record add = newRecord(tree.archive(), tree.quotedAll());
    EXPECT_EQ(runAdd(add.get()), 0);
    EXPECT_EQ(add->progressWnd, nullptr);
    EXPECT_FALSE(fs::exists(tree.archive()));
}

// The worker cannot pass its first question to the progress window before
// this (the UI) thread pumps, so the cancel is in before the engine could run.
TEST_F(CompressAdd, CancelBeforeTheEngineGivesNineAndNoArchive)
{
    SourceTree tree("early-cancel");
    bool done = false;
    plat::ThreadObject *thread = plat::ThreadObject::current();
    thread->setHandler([&](plat::UINT msg, plat::WPARAM, plat::LPARAM) {
        done = done || msg == plat::WM_OPERATION_DONE;
    });
    Record add = newRecord(tree.archive(), tree.quotedAll());
    add->uiThread = thread;
    ASSERT_EQ(Add(add.get()), 1);
    auto *progress = qobject_cast<QWidget *>(add->progressWnd);
    ASSERT_NE(progress, nullptr);
    auto *cancel = progress->findChild<QAbstractButton *>("2");
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    thread->setHandler({});
    EXPECT_EQ(add->result, RESULT_ADD_CANCELLED);
    EXPECT_FALSE(fs::exists(tree.archive()));
}

// Spanning always writes fresh disks: function 4 and no growing, even when
// "Method" would freshen an archive that is already there.
TEST_F(CompressAdd, MultiVolumeOnRemovableMediaAlwaysAdds)
{
    SourceTree tree("span");
    const std::string disk = brxtest::makeScratchDir("span-disk");
    ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, disk, 0}));
    // A real archive already on the disk, made without spanning.
    settings::write(cs::MultiVolume, 0);
    Record first = newRecord(disk + "/old.zip", "\"" + win(tree.root + "/src/b.txt") + "\"");
    ASSERT_EQ(runAdd(first.get()), 1);
    ASSERT_EQ(first->result, 0);
    settings::write(cs::MultiVolume, 1);
    settings::write(cs::Method, 2);
    settings::write(cs::Grow, 1);
    brxtest::ScriptedResponder responder;
    responder.answer(54, plat::IDOK);
    responder.answer(57370, plat::IDOK); // "Please insert the first disk"
    Record add = newRecord(disk + "/old.zip", tree.quotedAll());
    ASSERT_STREQ(add->archivePath, "A:\\old.zip");
    ASSERT_EQ(runAdd(add.get()), 1);
    EXPECT_EQ(add->command.function, ZIP_ADD);
    EXPECT_EQ(add->command.growArchive, 0);
    EXPECT_EQ(add->command.multiVolume, ZIP_SPAN);
    EXPECT_EQ(add->result, 0);
    ASSERT_FALSE(responder.requests().empty());
    EXPECT_EQ(responder.requests()[0].id, 54u);
    EXPECT_NE(responder.requests()[0].fields.at(1118).find("on drive A: using"), std::string::npos);
    expectSound(disk + "/old.zip");
    EXPECT_EQ(names(disk + "/old.zip").count("a.txt"), 1u) << "a freshen would not add a.txt";
}

TEST_F(CompressAdd, CancelledMultiVolumeStartsNothing)
{
    SourceTree tree("spancancel");
    const std::string disk = brxtest::makeScratchDir("spancancel-disk");
    ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, disk, 0}));
    brxtest::ScriptedResponder responder;
    responder.answer(54, plat::IDCANCEL);
    Record add = newRecord(disk + "/x.zip", tree.quotedAll());
    EXPECT_EQ(runAdd(add.get()), 0);
    EXPECT_FALSE(fs::exists(disk + "/x.zip"));
}

// After a finished add, the record's status callback is driven directly
// against a window that records what it gets.
TEST_F(CompressAdd, StatusLinesDriveTheProgress)
{
    SourceTree tree("status");
    Record add = newRecord(tree.archive(), tree.quotedAll());
    ASSERT_EQ(runAdd(add.get()), 1);
    ASSERT_NE(add->command.statusCallback, nullptr);

    std::vector<std::tuple<plat::UINT, plat::WPARAM, plat::LPARAM>> seen;
    plat::HWND window = plat::createWindow([&](plat::UINT msg, plat::WPARAM w, plat::LPARAM l) {
        seen.emplace_back(msg, w, l);
        return plat::LRESULT{0};
    });
    add->progressWnd = window;
    add->entryNumber = 0;
    add->counting = 0;

    EXPECT_EQ(add->command.statusCallback("I12345", 0, add.get()), 0);
    plat::pumpMessages();
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(add->entryNumber, 0);
    EXPECT_EQ(add->counting, 0);

    EXPECT_EQ(add->command.statusCallback("Item 3 of 7  ", 0, add.get()), 0);
    plat::pumpMessages();
    EXPECT_EQ(add->entryNumber, 3);
    EXPECT_EQ(add->counting, 1);
    const auto has = [&](plat::UINT msg, plat::WPARAM w, plat::LPARAM l) {
        return std::find(seen.begin(), seen.end(), std::make_tuple(msg, w, l)) != seen.end();
    };
    EXPECT_TRUE(has(plat::WM_PROGRESS_TOTAL_RANGE, 0, 7));
    EXPECT_TRUE(has(plat::WM_PROGRESS_STEP, 0, 3));

    seen.clear();
    EXPECT_EQ(add->command.fileCallback("sub/c.txt", 40, add.get()), 0);
    plat::pumpMessages();
    EXPECT_STREQ(add->currentName, "sub\\c.txt");
    EXPECT_TRUE(has(plat::WM_PROGRESS_STEP, 40, 3));
    EXPECT_TRUE(
        has(plat::WM_PROGRESS_FILE_NAME, reinterpret_cast<plat::WPARAM>(add->currentName), 3));
    add->progressWnd = nullptr;
    plat::destroyWindow(window);
}

} // namespace
