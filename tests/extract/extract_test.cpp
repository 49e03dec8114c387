// Extraction requests: ZIP and cabinet archives, settings, questions and
// the way a run ends.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "brxextrc.h"
#include "common/settings.h"
#include "platform/drives.h"
#include "platform/messages.h"
#include "platform/path.h"
#include "scripted_responder.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

constexpr int kConfirmDialog = 131;
constexpr int kDecryptDialog = 132;
constexpr int kYes = 6, kNo = 7, kYesToAll = 5, kNoToAll = 11;

std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

void writeText(const std::string &path, const std::string &text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void setTime(const std::string &path, int daysAgo)
{
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * daysAgo));
}

bool sh(const std::string &command)
{
    return std::system(("set -e; " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// A source tree: dir/a.txt, b.txt, c.txt, all dated 10 days ago.
std::string makeTree(const std::string &name)
{
    const std::string src = brxtest::makeScratchDir(name);
    writeText(src + "/dir/a.txt", "alpha");
    writeText(src + "/b.txt", "bravo");
    writeText(src + "/c.txt", "charlie");
    for (const char *f : {"/dir/a.txt", "/b.txt", "/c.txt"})
        setTime(src + f, 10);
    return src;
}

std::string makeZip(const std::string &name, const std::string &options = "")
{
    const std::string src = makeTree(name + "-src");
    const std::string zip = brxtest::scratchDir() + "/" + name + ".zip";
    EXPECT_TRUE(
        sh("cd '" + src + "' && zip -q -X " + options + " '" + zip + "' dir/a.txt b.txt c.txt"));
    return zip;
}

std::string makeCab(const std::string &name)
{
    const std::string src = makeTree(name + "-src");
    const std::string cab = brxtest::scratchDir() + "/" + name + ".cab";
    EXPECT_TRUE(sh("cd '" + src + "' && gcab -c -z '" + cab + "' dir/a.txt b.txt c.txt"));
    return cab;
}

struct Settings {
    int overwrite = 0, method = 0, path = 1;
    std::string mask = "%f (%n)";
    void apply() const
    {
        using namespace settings::decompression;
        settings::write(Overwrite, overwrite);
        settings::write(Method, method);
        settings::write(Path, path);
        settings::write(RenameMask, mask);
    }
};

// One request; the record, lists and window are released at the end.
struct Request {
    StringList sources, dests;
    _EXTRACT req{};
    bool done = false;
    plat::WPARAM doneRequest = 0;
    plat::LPARAM doneOperation = 0;

    Request(std::uint32_t flags, std::vector<std::string> archives,
            std::vector<std::string> folders)
    {
        for (auto &a : archives)
            sources.push_back(win(a));
        for (auto &f : folders) {
            fs::create_directories(f);
            dests.push_back(win(f));
        }
        req.flags = flags;
        req.sourceList = &sources;
        req.destList = &dests;
    }
    ~Request()
    {
        if (req.progressWnd)
            plat::sendMessage(req.progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
        plat::ThreadObject::current()->setHandler(nullptr);
    }

    // Starts the worker and handles events until the completion message.
    int async()
    {
        req.uiThread = plat::ThreadObject::current();
        req.uiThread->setHandler([this](plat::UINT msg, plat::WPARAM w, plat::LPARAM l) {
            if (msg == plat::WM_OPERATION_DONE) {
                done = true;
                doneRequest = w;
                doneOperation = l;
            }
        });
        EXPECT_EQ(Extract(&req), 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(done);
        return req.result;
    }
};

int countRequests(const brxtest::ScriptedResponder &r, plat::UINT id)
{
    int n = 0;
    for (const auto &q : r.requests())
        n += q.id == id;
    return n;
}

} // namespace

TEST(ExtractRun, DefaultSettingsKeepFoldersAndCompletionMessage)
{
    Settings{}.apply();
    const std::string zip = makeZip("keep");
    const std::string out = brxtest::scratchDir() + "/keep-out";
    Request run(EXF_EXTRACT | EXF_ALL, {zip}, {out});
    EXPECT_EQ(run.async(), 0);
    EXPECT_EQ(run.doneRequest, reinterpret_cast<plat::WPARAM>(&run.req));
    EXPECT_EQ(run.doneOperation, 2);
    EXPECT_EQ(readText(out + "/dir/a.txt"), "alpha");
    EXPECT_FALSE(fs::exists(out + "/a.txt"));

    Settings drop;
    drop.path = 0;
    drop.apply();
    const std::string flat = brxtest::scratchDir() + "/flat-out";
    Request run2(EXF_EXTRACT | EXF_ALL | EXF_CABINET, {makeCab("flat")}, {flat});
    EXPECT_EQ(run2.async(), 0);
    EXPECT_EQ(readText(flat + "/a.txt"), "alpha");
    EXPECT_FALSE(fs::exists(flat + "/dir"));
}

TEST(ExtractRun, SyncResultAndTestOnly)
{
    const std::string zip = makeZip("sync");
    const std::string out = brxtest::scratchDir() + "/sync-out";
    Request test(EXF_TEST | EXF_SYNC, {zip}, {out});
    EXPECT_EQ(Extract(&test.req), 0);
    EXPECT_EQ(test.req.operation, 3);
    EXPECT_TRUE(fs::is_empty(out));

    Request run(EXF_SYNC | EXF_ALL, {zip}, {out});
    EXPECT_EQ(Extract(&run.req), 0);
    EXPECT_EQ(run.req.result, 0);
    EXPECT_EQ(readText(out + "/dir/a.txt"), "alpha");
    EXPECT_EQ(run.req.entries, nullptr);
}

TEST(ExtractRun, SeveralArchivesInOneRequest)
{
    Settings{}.apply();
    const std::string base = brxtest::scratchDir();
    Request run(EXF_EXTRACT | EXF_ALL, {makeZip("many1"), makeZip("many2")},
                {base + "/many-out1", base + "/many-out2"});
    EXPECT_EQ(run.async(), 0);
    EXPECT_EQ(readText(base + "/many-out1/c.txt"), "charlie");
    EXPECT_EQ(readText(base + "/many-out2/c.txt"), "charlie");
}

// Overwrite modes 0-3 on both archive kinds: b.txt exists (larger) beforehand.
TEST(ExtractOverwrite, ModesOnZipAndCabinet)
{
    struct Case {
        int mode;
        int confirmButton; // answer to the replace question, 0 when none may come
        std::string expectB, expectB2, expectB3;
    } cases[] = {
        {0, kYes, "bravo", "", ""},
        {0, kNo, "old content, much longer", "", ""},
        {1, 0, "old content, much longer", "bravo", "bravo"},
        {2, 0, "bravo", "", ""},
        {3, 0, "old content, much longer", "", ""},
    };
    int n = 0;
    for (const bool cabinet : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::to_string(c.mode) + (cabinet ? " cabinet" : " zip"));
            Settings s;
            s.overwrite = c.mode;
            s.apply();
            const std::string name = "ow" + std::to_string(n++);
            const std::string archive = cabinet ? makeCab(name) : makeZip(name);
            const std::string out = brxtest::scratchDir() + "/" + name + "-out";
            writeText(out + "/b.txt", "old content, much longer");
            brxtest::ScriptedResponder responder;
            if (c.confirmButton)
                responder.answer(kConfirmDialog, c.confirmButton);
            const std::uint32_t flags =
                EXF_EXTRACT | EXF_ALL | (cabinet ? std::uint32_t(EXF_CABINET) : 0u);
            // Mode 1 runs twice so the second copy gets the next number.
            for (int pass = 0; pass < (c.mode == 1 ? 2 : 1); ++pass) {
                Request run(flags, {archive}, {out});
                EXPECT_EQ(run.async(), 0);
            }
            EXPECT_EQ(countRequests(responder, kConfirmDialog), c.confirmButton ? 1 : 0);
            EXPECT_EQ(readText(out + "/b.txt"), c.expectB);
            EXPECT_EQ(fs::exists(out + "/b (2).txt"), !c.expectB2.empty());
            EXPECT_EQ(fs::exists(out + "/b (3).txt"), !c.expectB3.empty());
            if (!c.expectB2.empty()) {
                EXPECT_EQ(readText(out + "/b (2).txt"), c.expectB2);
            }
        }
    }
}

TEST(ExtractOverwrite, BadRenameMaskFallsBack)
{
    for (const std::string mask : {"%f %n %n", "copy of %f", "%f-%n"}) {
        SCOPED_TRACE(mask);
        Settings s;
        s.overwrite = 1;
        s.mask = mask;
        s.apply();
        const std::string name = "mask" + std::to_string(mask.size());
        const std::string out = brxtest::scratchDir() + "/" + name + "-out";
        writeText(out + "/c.txt", "x");
        Request run(EXF_EXTRACT | EXF_ALL, {makeZip(name)}, {out});
        EXPECT_EQ(run.async(), 0);
        const bool accepted = mask == "%f-%n";
        EXPECT_EQ(fs::exists(out + "/c-2.txt"), accepted);
        EXPECT_EQ(fs::exists(out + "/c (2).txt"), !accepted);
    }
}

// Yes To All / No To All hold for the rest of the run.
TEST(ExtractOverwrite, ToAllAnswersCoverTheRun)
{
    int n = 0;
    for (const bool cabinet : {false, true}) {
        for (const int button : {kYesToAll, kNoToAll}) {
            Settings{}.apply();
            const std::string name = "all" + std::to_string(n++);
            const std::string archive = cabinet ? makeCab(name) : makeZip(name);
            const std::string out = brxtest::scratchDir() + "/" + name + "-out";
            for (const char *f : {"/dir/a.txt", "/b.txt", "/c.txt"})
                writeText(out + f, "old");
            brxtest::ScriptedResponder responder;
            responder.answer(kConfirmDialog, button);
            Request run(EXF_EXTRACT | EXF_ALL | (cabinet ? std::uint32_t(EXF_CABINET) : 0u),
                        {archive}, {out});
            EXPECT_EQ(run.async(), 0);
            EXPECT_EQ(countRequests(responder, kConfirmDialog), 1);
            EXPECT_EQ(readText(out + "/c.txt"), button == kYesToAll ? "charlie" : "old");
            EXPECT_EQ(readText(out + "/dir/a.txt"), button == kYesToAll ? "alpha" : "old");
        }
    }
}

// b.txt exists and is newer than the entries, c.txt older, a.txt missing.
TEST(ExtractOverwrite, UpdateAndFreshen)
{
    int n = 0;
    for (const bool cabinet : {false, true}) {
        for (const int method : {1, 2}) {
            SCOPED_TRACE(std::to_string(method) + (cabinet ? " cabinet" : " zip"));
            Settings s;
            s.overwrite = 2;
            s.method = method;
            s.apply();
            const std::string name = "upd" + std::to_string(n++);
            const std::string archive = cabinet ? makeCab(name) : makeZip(name);
            const std::string out = brxtest::scratchDir() + "/" + name + "-out";
            writeText(out + "/b.txt", "newer");
            writeText(out + "/c.txt", "older");
            setTime(out + "/c.txt", 20);
            Request run(EXF_EXTRACT | EXF_ALL | (cabinet ? std::uint32_t(EXF_CABINET) : 0u),
                        {archive}, {out});
            EXPECT_EQ(run.async(), 0);
            EXPECT_EQ(readText(out + "/b.txt"), "newer");
            EXPECT_EQ(readText(out + "/c.txt"), "charlie");
            EXPECT_EQ(fs::exists(out + "/dir/a.txt"), method == 1);
        }
    }
}

// b.txt and c.txt are encrypted with "secret"; dir/a.txt is not.
TEST(ExtractDecrypt, ButtonsOfTheCodePrompt)
{
    Settings{}.apply();
    struct Case {
        const char *name;
        std::vector<int> buttons;
        int prompts;
        int result;
        bool bWritten, cWritten;
    } cases[] = {
        {"ok", {1, 1}, 2, 0, true, true},      {"useall", {4}, 1, 0, true, true},
        {"skip", {3, 1}, 2, 0, false, true},   {"skiplast", {1, 3}, 2, 41, true, false},
        {"skipall", {5}, 1, 41, false, false}, {"cancel", {2}, 1, 48, false, false},
    };
    const std::string src = makeTree("dec-src");
    const std::string zip = brxtest::scratchDir() + "/dec.zip";
    ASSERT_TRUE(sh("cd '" + src + "' && zip -q -X '" + zip +
                   "' dir/a.txt && zip -q -X -P secret '" + zip + "' b.txt c.txt"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = brxtest::scratchDir() + "/dec-" + c.name;
        brxtest::ScriptedResponder responder;
        for (int button : c.buttons)
            responder.answer(kDecryptDialog, button, {{1006, "secret"}});
        Request run(EXF_EXTRACT | EXF_ALL, {zip}, {out});
        EXPECT_EQ(run.async(), c.result);
        EXPECT_EQ(countRequests(responder, kDecryptDialog), c.prompts);
        EXPECT_EQ(fs::exists(out + "/b.txt"), c.bWritten);
        EXPECT_EQ(fs::exists(out + "/c.txt"), c.cWritten);
        if (c.bWritten) {
            EXPECT_EQ(readText(out + "/b.txt"), "bravo");
        }
        EXPECT_TRUE(fs::exists(out + "/dir/a.txt"));
        const auto requests = responder.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].caption, "Brindle Dovozoz - Enter Decryption Code");
        EXPECT_NE(requests[0].fields.at(1005).find("The file 'b.txt' is encrypted."),
                  std::string::npos);
        EXPECT_EQ(std::string(run.req.decryptCode), "secret");
    }
}

TEST(ExtractDecrypt, SkipAllEndsWithTheArchive)
{
    Settings{}.apply();
    const std::string src = makeTree("dec2-src");
    const std::string zip = brxtest::scratchDir() + "/dec2.zip";
    ASSERT_TRUE(sh("cd '" + src + "' && zip -q -X -P secret '" + zip + "' b.txt c.txt"));
    const std::string base = brxtest::scratchDir();
    brxtest::ScriptedResponder responder;
    responder.answer(kDecryptDialog, 5);
    Request run(EXF_EXTRACT | EXF_ALL, {zip, zip}, {base + "/dec2-a", base + "/dec2-b"});
    EXPECT_EQ(run.async(), 41);
    EXPECT_EQ(countRequests(responder, kDecryptDialog), 2);
}

TEST(ExtractCabinet, MissingNextPartOnFixedDrive)
{
    const std::string dir = brxtest::makeScratchDir("set-fixed");
    fs::copy_file(brxtest::fixturePath("cab/cabd_multi_basic_pt1.cab"),
                  dir + "/cabd_multi_basic_pt1.cab");
    const std::string out = brxtest::scratchDir() + "/set-fixed-out";
    brxtest::ScriptedResponder responder;
    responder.answer(7, plat::IDOK);
    Request run(EXF_SYNC | EXF_ALL | EXF_CABINET, {dir + "/cabd_multi_basic_pt1.cab"}, {out});
    EXPECT_EQ(Extract(&run.req), 1);
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].id, 7u);
    EXPECT_NE(responder.requests()[0].text.find("cabd_multi_basic_pt2.cab"), std::string::npos);
}

TEST(ExtractCabinet, MissingNextPartOnRemovableDrive)
{
    const std::string dir = brxtest::makeScratchDir("set-floppy");
    fs::copy_file(brxtest::fixturePath("cab/cabd_multi_basic_pt1.cab"),
                  dir + "/cabd_multi_basic_pt1.cab");
    ASSERT_TRUE(plat::defineDrive({'B', plat::DRIVE_REMOVABLE, dir, 0}));
    const std::string out = brxtest::scratchDir() + "/set-floppy-out";
    brxtest::ScriptedResponder responder;
    responder.answer(602, plat::IDCANCEL);
    Request run(EXF_SYNC | EXF_ALL | EXF_CABINET, {}, {out});
    run.sources.push_back("B:\\cabd_multi_basic_pt1.cab");
    EXPECT_EQ(Extract(&run.req), 1);
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].id, 602u);
    EXPECT_NE(responder.requests()[0].text.find("B:\\cabd_multi_basic_pt2.cab"), std::string::npos);
}

// Names that climb out of the destination stay inside it. gcab cleans the
// names it is given, so they are patched into the cabinet afterwards (same
// length; cabinet checksums cover only the data blocks).
TEST(ExtractCabinet, StoredNamesStayInsideTheDestination)
{
    const std::string src = brxtest::makeScratchDir("evil-src");
    writeText(src + "/xxxevil.txt", "evil");
    writeText(src + "/xxxev2.txt", "ev2");
    const std::string cab = brxtest::scratchDir() + "/evil.cab";
    ASSERT_TRUE(sh("cd '" + src + "' && gcab -c '" + cab + "' xxxevil.txt xxxev2.txt"));
    std::string bytes = readText(cab);
    for (auto [from, to] : {std::pair<std::string, std::string>{"xxxevil.txt", "..\\evil.txt"},
                            {"xxxev2.txt", "C:\\ev2.txt"}}) {
        const std::size_t at = bytes.find(from);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, from.size(), to);
    }
    std::ofstream(cab, std::ios::binary | std::ios::trunc) << bytes;
    const std::string out = brxtest::scratchDir() + "/evil-root/out";
    Request run(EXF_SYNC | EXF_ALL | EXF_CABINET, {cab}, {out});
    EXPECT_EQ(Extract(&run.req), 0);
    EXPECT_FALSE(fs::exists(brxtest::scratchDir() + "/evil-root/evil.txt"));
    EXPECT_EQ(readText(out + "/evil.txt"), "evil");
    EXPECT_EQ(readText(out + "/ev2.txt"), "ev2");
}

namespace {

std::string copySet(const std::string &name)
{
    const std::string dir = brxtest::makeScratchDir(name);
    for (int i = 1; i <= 5; ++i) {
        const std::string part = "cab/cabd_multi_basic_pt" + std::to_string(i) + ".cab";
        fs::copy_file(brxtest::fixturePath(part), dir + "/" + fs::path(part).filename().string());
    }
    return dir;
}

} // namespace

// Chosen entries: only the file whose number matches is written.
TEST(ExtractCabinet, SelectedEntryOnly)
{
    const std::string dir = copySet("set-pick");
    const std::string cab = win(dir + "/cabd_multi_basic_pt1.cab");
    int count = 0;
    ASSERT_EQ(GetFileCount(cab.c_str(), &count), 0);
    std::vector<ZIPINFOEX> entries(count);
    ZIPINFOEX *records = entries.data();
    ASSERT_EQ(LoadFile(cab.c_str(), count, &records, nullptr), 0);
    const auto pick = std::find_if(entries.begin(), entries.end(), [](const ZIPINFOEX &e) {
        return std::string(e.path) == "test2.txt";
    });
    ASSERT_NE(pick, entries.end());
    const std::string out = brxtest::scratchDir() + "/set-pick-out";
    Request run(EXF_SYNC | EXF_CABINET, {dir + "/cabd_multi_basic_pt1.cab"}, {out});
    run.req.entriesSupplied = 1;
    run.req.entries = &*pick;
    run.req.entryCount = 1;
    EXPECT_EQ(Extract(&run.req), 0);
    EXPECT_TRUE(fs::exists(out + "/test2.txt"));
    EXPECT_FALSE(fs::exists(out + "/test1.txt"));
    EXPECT_EQ(run.req.entries, &*pick);
}

// A whole extraction that starts in the middle of a set: the file continued
// from the previous part is named unless the caller extracts the whole set.
TEST(ExtractCabinet, PartialFileMessageUnlessSet)
{
    const std::string dir = copySet("set-mid");
    const std::string cab = win(dir + "/cabd_multi_basic_pt2.cab");
    int count = 0;
    ASSERT_EQ(GetFileCount(cab.c_str(), &count), 0);
    std::vector<ZIPINFOEX> entries(count);
    ZIPINFOEX *records = entries.data();
    ASSERT_EQ(LoadFile(cab.c_str(), count, &records, nullptr), 0);
    const auto partial = std::count_if(entries.begin(), entries.end(), [](const ZIPINFOEX &e) {
        return std::string(e.path).rfind("Partial ", 0) == 0;
    });
    ASSERT_GT(partial, 0);
    for (const bool set : {false, true}) {
        const std::string out = brxtest::scratchDir() + (set ? "/set-mid-quiet" : "/set-mid-out");
        brxtest::ScriptedResponder responder;
        responder.answer(32, plat::IDOK);
        Request run(EXF_SYNC | EXF_ALL | EXF_CABINET | (set ? std::uint32_t(EXF_CAB_SET) : 0u),
                    {dir + "/cabd_multi_basic_pt2.cab"}, {out});
        EXPECT_EQ(Extract(&run.req), 0);
        EXPECT_EQ(countRequests(responder, 32), set ? 0 : partial);
    }
}

namespace {

// Presses the progress window's Cancel button while a question is up, then
// gives `button` as the answer.
class CancellingResponder {
public:
    CancellingResponder(_EXTRACT *req, int button)
    {
        m_previous = plat::setModalResponder([req, button, this](const plat::ModalRequest &q) {
            m_ids.push_back(q.id);
            if (auto *window = qobject_cast<QWidget *>(req->progressWnd))
                if (auto *cancel = window->findChild<QAbstractButton *>("2"))
                    cancel->click();
            return plat::ModalAnswer{button, {}};
        });
    }
    ~CancellingResponder() { plat::setModalResponder(m_previous); }
    std::vector<plat::UINT> m_ids;

private:
    plat::ModalResponder m_previous;
};

} // namespace

TEST(ExtractCancel, ZipRunStopsBeforeTheNextArchive)
{
    Settings{}.apply();
    const std::string src = makeTree("cancel-src");
    const std::string zip = brxtest::scratchDir() + "/cancel.zip";
    ASSERT_TRUE(sh("cd '" + src + "' && zip -q -X -P secret '" + zip + "' b.txt"));
    const std::string base = brxtest::scratchDir();
    Request run(EXF_EXTRACT | EXF_ALL, {zip, makeZip("cancel2")},
                {base + "/cancel-a", base + "/cancel-b"});
    CancellingResponder responder(&run.req, 3); // Skip
    EXPECT_EQ(run.async(), 40);
    EXPECT_EQ(responder.m_ids, std::vector<plat::UINT>{132});
    EXPECT_FALSE(fs::exists(base + "/cancel-b/c.txt"));
}

TEST(ExtractCancel, CabinetEntriesEndAfterTheCurrentOne)
{
    Settings{}.apply();
    const std::string cab = makeCab("cancel-cab");
    const std::string wcab = win(cab);
    int count = 0;
    ASSERT_EQ(GetFileCount(wcab.c_str(), &count), 0);
    std::vector<ZIPINFOEX> entries(count);
    ZIPINFOEX *records = entries.data();
    ASSERT_EQ(LoadFile(wcab.c_str(), count, &records, nullptr), 0);
    const std::string out = brxtest::scratchDir() + "/cancel-cab-out";
    writeText(out + "/dir/a.txt", "old");
    Request run(EXF_EXTRACT | EXF_CABINET, {cab}, {out});
    run.req.entriesSupplied = 1;
    run.req.entries = entries.data();
    run.req.entryCount = count;
    // Yes to replacing a.txt, but the cancel seen right after abandons that
    // pass before the existing file is touched, and no later entry starts.
    CancellingResponder responder(&run.req, 6);
    EXPECT_EQ(run.async(), 1);
    EXPECT_EQ(readText(out + "/dir/a.txt"), "old");
    EXPECT_FALSE(fs::exists(out + "/b.txt"));
    EXPECT_EQ(responder.m_ids, (std::vector<plat::UINT>{131, 0}));
}

// A wrong code makes the engine skip the entries itself: its result 49 is the
// run's, with the "skipped" message and nothing written.
TEST(ExtractDecrypt, WrongCodeEndsWithTheEngineSkipResult)
{
    Settings{}.apply();
    const std::string src = makeTree("wrong-src");
    const std::string zip = brxtest::scratchDir() + "/wrong.zip";
    ASSERT_TRUE(sh("cd '" + src + "' && zip -q -X -P secret '" + zip + "' b.txt c.txt"));
    const std::string out = brxtest::scratchDir() + "/wrong-out";
    brxtest::ScriptedResponder responder;
    responder.answer(kDecryptDialog, 4, {{1006, "not-the-code"}});
    responder.answer(57345, plat::IDOK);
    Request run(EXF_EXTRACT | EXF_ALL, {zip}, {out});
    EXPECT_EQ(run.async(), 49);
    EXPECT_EQ(countRequests(responder, kDecryptDialog), 1);
    EXPECT_GE(countRequests(responder, 57345), 1);
    EXPECT_EQ(responder.requests().back().text,
              "Some files were skipped because no decryption code was provided or it was "
              "incorrect.");
    EXPECT_FALSE(fs::exists(out + "/b.txt"));
    EXPECT_FALSE(fs::exists(out + "/c.txt"));
}

// Archives that cannot be read and destinations that cannot be written: each
// is reported once by its own text and the run does not claim success.
TEST(ExtractFailure, UnreadableArchivesAndUnwritableDestinations)
{
    Settings{}.apply();
    const std::string base = brxtest::makeScratchDir("fail");
    writeText(base + "/blocker", "a file where the destination folder should be");
    writeText(base + "/notcab.cab", "this is no cabinet at all");
    struct Case {
        const char *name;
        std::string archive;
        bool cabinet;
        bool supplyEntries; // skip the catalogue, as a document that listed it before
        std::string dest;
        plat::UINT message;
        std::string text;
        int result;
    } cases[] = {
        {"missing cab", base + "/gone.cab", true, true, base + "/out1", 0,
         "Unable to open '" + win(base) + "\\gone.cab' for input\n", 1},
        {"not a cab", base + "/notcab.cab", true, true, base + "/out2", 0,
         "IsCabinet() failed: '" + win(base) + "\\notcab.cab' is not a cabinet\n", 1},
        {"cab into a file", makeCab("fail-cab"), true, false, base + "/blocker", 65087,
         "Fail to create " + win(base) + "\\blocker\\dir\\a.txt file!", 1},
        {"zip into a file", makeZip("fail-zip"), false, false, base + "/blocker", 57349,
         "An extracted file could not be created.", 28},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        brxtest::ScriptedResponder responder;
        if (c.message)
            responder.answer(c.message, plat::IDOK);
        else
            responder.answerNext(plat::IDOK);
        Request run(EXF_SYNC | EXF_ALL | (c.cabinet ? std::uint32_t(EXF_CABINET) : 0u), {c.archive},
                    {});
        run.dests.push_back(win(c.dest));
        ZIPINFOEX dummy{};
        if (c.supplyEntries) {
            run.req.entriesSupplied = 1;
            run.req.entries = &dummy;
            run.req.entryCount = 1;
        }
        EXPECT_EQ(Extract(&run.req), c.result);
        const auto requests = responder.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].id, c.message);
        EXPECT_EQ(requests[0].text, c.text);
        EXPECT_EQ(requests[0].caption, "Brindle Dovozoz");
        // The file-creation failure repeats per file; the others come once.
        if (c.message != 65087) {
            EXPECT_EQ(requests.size(), 1u);
        }
    }
}

// A cabinet set spread over five disks of a removable drive: every prompt
// for the next part is answered by inserting that disk, and the run
// finishes with what cabextract gets from the same set. Chosen entries take
// a pass each; the later passes need no disk again.
TEST(ExtractCabinet, SetAcrossRemovableDisks)
{
    Settings{}.apply();
    const std::string base = brxtest::makeScratchDir("disks");
    std::vector<std::string> disks;
    for (int i = 1; i <= 5; ++i) {
        disks.push_back(base + "/disk" + std::to_string(i));
        fs::create_directories(disks.back());
        const std::string part = "cabd_multi_basic_pt" + std::to_string(i) + ".cab";
        fs::copy_file(brxtest::fixturePath("cab/" + part), disks.back() + "/" + part);
        fs::copy_file(brxtest::fixturePath("cab/" + part), base + "/" + part);
    }
    ASSERT_TRUE(
        sh("cabextract -q -d '" + base + "/expected' '" + base + "/cabd_multi_basic_pt1.cab'"));

    for (const bool chosen : {false, true}) {
        SCOPED_TRACE(chosen ? "chosen entries" : "whole set");
        ASSERT_TRUE(plat::defineDrive({'B', plat::DRIVE_REMOVABLE, disks[0], 0}));
        std::vector<ZIPINFOEX> entries;
        if (chosen) {
            int count = 0;
            ASSERT_EQ(GetFileCount("B:\\cabd_multi_basic_pt1.cab", &count), 0);
            entries.resize(count);
            ZIPINFOEX *records = entries.data();
            ASSERT_EQ(LoadFile("B:\\cabd_multi_basic_pt1.cab", count, &records, nullptr), 0);
            entries.erase(std::remove_if(entries.begin(), entries.end(),
                                         [](const ZIPINFOEX &e) {
                                             return std::string(e.path) == "test2.txt";
                                         }),
                          entries.end());
            ASSERT_EQ(entries.size(), 2u);
        }
        std::vector<std::string> prompts;
        std::size_t inserted = 0;
        const plat::ModalResponder previous =
            plat::setModalResponder([&](const plat::ModalRequest &q) -> plat::ModalAnswer {
                prompts.push_back(q.text);
                if (q.id != 602 || inserted + 1 >= disks.size())
                    return {plat::IDCANCEL, {}};
                EXPECT_TRUE(plat::changeMedium('B', disks[++inserted]));
                return {plat::IDOK, {}};
            });
        const std::string out = base + (chosen ? "/out-chosen" : "/out");
        Request run(EXF_EXTRACT | EXF_CABINET | (chosen ? 0u : std::uint32_t(EXF_ALL)), {}, {out});
        run.sources.push_back("B:\\cabd_multi_basic_pt1.cab");
        if (chosen) {
            run.req.entriesSupplied = 1;
            run.req.entries = entries.data();
            run.req.entryCount = static_cast<int>(entries.size());
        }
        const int result = run.async();
        plat::setModalResponder(previous);
        EXPECT_EQ(result, 0);
        ASSERT_EQ(prompts.size(), 4u);
        EXPECT_NE(prompts[0].find("B:\\cabd_multi_basic_pt2.cab"), std::string::npos) << prompts[0];
        EXPECT_NE(prompts[0].find("Click OK when ready or Cancel to abort."), std::string::npos);
        for (const char *name : {"test1.txt", "test2.txt", "test3.txt"}) {
            SCOPED_TRACE(name);
            if (chosen && std::string(name) == "test2.txt") {
                EXPECT_FALSE(fs::exists(out + "/" + name));
                continue;
            }
            EXPECT_EQ(readText(out + "/" + name), readText(base + "/expected/" + name));
            EXPECT_FALSE(readText(out + "/" + name).empty());
        }
        plat::removeDrive('B');
    }
}

namespace {

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        shown += event->type() == QEvent::Show;
        return false;
    }
};

} // namespace

// A preview extraction goes on behind the viewer: its progress window is
// never shown. Ordinary extraction shows it.
TEST(ExtractRun, PreviewKeepsTheProgressWindowHidden)
{
    Settings{}.apply();
    const struct {
        std::uint32_t flags;
        bool visible;
    } cases[] = {
        {EXF_EXTRACT | EXF_ALL, true},
        {EXF_VIEW | EXF_ALL, false},
        {EXF_VIEW | EXF_ALL | EXF_CABINET, false},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(n);
        const std::string name = "view" + std::to_string(n++);
        const std::string archive = (c.flags & EXF_CABINET) ? makeCab(name) : makeZip(name);
        const std::string out = brxtest::scratchDir() + "/" + name + "-out";
        Request run(c.flags, {archive}, {out});
        run.req.uiThread = plat::ThreadObject::current();
        run.req.uiThread->setHandler([&](plat::UINT msg, plat::WPARAM, plat::LPARAM) {
            run.done = run.done || msg == plat::WM_OPERATION_DONE;
        });
        ShowCounter counter;
        ASSERT_EQ(Extract(&run.req), 0);
        auto *window = qobject_cast<QWidget *>(run.req.progressWnd);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->isVisible(), c.visible);
        window->installEventFilter(&counter);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!run.done && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_TRUE(run.done);
        EXPECT_EQ(run.req.result, 0);
        EXPECT_EQ(window->isVisible(), c.visible);
        EXPECT_EQ(counter.shown, 0);
        window->removeEventFilter(&counter);
        EXPECT_EQ(readText(out + "/c.txt"), "charlie");
    }
}

// "Mangle LFN" gives cabinet files the 8.3 names the ZIP side gives the same
// files, also when one entry is extracted alone.
TEST(ExtractCabinet, LongNamesBecomeTheShortNamesOfTheZipSide)
{
    Settings{}.apply();
    const std::string src = brxtest::makeScratchDir("lfn-src");
    writeText(src + "/Long Folder/first long name.txt", "one");
    writeText(src + "/Long Folder/first long other.txt", "two");
    writeText(src + "/short.txt", "three");
    const std::string files = "'Long Folder/first long name.txt' 'Long Folder/first long "
                              "other.txt' short.txt";
    const std::string base = brxtest::scratchDir();
    ASSERT_TRUE(sh("cd '" + src + "' && gcab -c '" + base + "/lfn.cab' " + files));
    ASSERT_TRUE(sh("cd '" + src + "' && zip -q -X '" + base + "/lfn.zip' " + files));
    const auto listing = [](const std::string &root) {
        std::vector<std::string> names;
        for (const auto &e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file())
                names.push_back(fs::relative(e.path(), root).string() + "=" +
                                readText(e.path().string()));
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> mangled = {"LONGFO~1/FIRSTL~1.TXT=one",
                                              "LONGFO~1/FIRSTL~2.TXT=two", "short.txt=three"};
    for (const int mangle : {1, 0}) {
        SCOPED_TRACE(mangle);
        settings::write(settings::decompression::MangleLfn, mangle);
        const std::string m = std::to_string(mangle);
        Request zip(EXF_EXTRACT | EXF_ALL, {base + "/lfn.zip"}, {base + "/lfn-zip" + m});
        EXPECT_EQ(zip.async(), 0);
        Request cab(EXF_EXTRACT | EXF_ALL | EXF_CABINET, {base + "/lfn.cab"},
                    {base + "/lfn-cab" + m});
        EXPECT_EQ(cab.async(), 0);
        EXPECT_EQ(listing(base + "/lfn-cab" + m), listing(base + "/lfn-zip" + m));
        if (mangle) {
            EXPECT_EQ(listing(base + "/lfn-cab" + m), mangled);
        } else {
            EXPECT_TRUE(fs::exists(base + "/lfn-cab0/Long Folder/first long other.txt"));
        }
    }

    // The second long file alone keeps its number.
    settings::write(settings::decompression::MangleLfn, 1);
    const std::string wcab = win(base + "/lfn.cab");
    int count = 0;
    ASSERT_EQ(GetFileCount(wcab.c_str(), &count), 0);
    std::vector<ZIPINFOEX> entries(count);
    ZIPINFOEX *records = entries.data();
    ASSERT_EQ(LoadFile(wcab.c_str(), count, &records, nullptr), 0);
    const auto other = std::find_if(entries.begin(), entries.end(), [](const ZIPINFOEX &e) {
        return std::string(e.path).find("other") != std::string::npos;
    });
    ASSERT_NE(other, entries.end());
    Request one(EXF_EXTRACT | EXF_CABINET, {base + "/lfn.cab"}, {base + "/lfn-one"});
    one.req.entriesSupplied = 1;
    one.req.entries = &*other;
    one.req.entryCount = 1;
    EXPECT_EQ(one.async(), 0);
    EXPECT_EQ(listing(base + "/lfn-one"), std::vector<std::string>{"LONGFO~1/FIRSTL~2.TXT=two"});
    settings::write(settings::decompression::MangleLfn, 0);
}

// Testing a cabinet decompresses every file but writes none of them; a
// damaged data block fails the test.
TEST(ExtractCabinet, TestModeWritesNothing)
{
    const std::string src = brxtest::makeScratchDir("cabtest-src");
    std::string text;
    for (int i = 0; text.size() < 20000; ++i)
        text += "line " + std::to_string(i * 7919 % 10007) + " of the tested file\n";
    writeText(src + "/big.txt", text);
    const std::string good = brxtest::scratchDir() + "/cabtest.cab";
    ASSERT_TRUE(sh("cd '" + src + "' && gcab -c -z '" + good + "' big.txt"));
    const std::string bad = brxtest::scratchDir() + "/cabtest-bad.cab";
    std::string bytes = readText(good);
    ASSERT_GT(bytes.size(), 200u);
    for (std::size_t i = bytes.size() - 200; i < bytes.size() - 100; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
    std::ofstream(bad, std::ios::binary) << bytes;
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged);
        const std::string out = brxtest::makeScratchDir(damaged ? "cabtest-o2" : "cabtest-o1");
        brxtest::ScriptedResponder responder;
        responder.answerNext(plat::IDOK);
        Request run(EXF_TEST | EXF_SYNC | EXF_CABINET, {damaged ? bad : good}, {out});
        EXPECT_EQ(Extract(&run.req), damaged ? 1 : 0);
        EXPECT_TRUE(fs::is_empty(out));
        EXPECT_EQ(responder.requests().size(), damaged ? 1u : 0u);
        if (damaged && !responder.requests().empty()) {
            EXPECT_EQ(responder.requests()[0].text.rfind("Copy failed: ", 0), 0u);
        }
    }
}
