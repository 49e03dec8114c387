// The engines' message callbacks: every message type, both status tables,
// one report per engine call, the replace question and the archive left in
// the temporary folder; and their binding by ordinal.

#include "brxmsg.h"
#include "message_test_util.h"
#include "platform/module.h"
#include "scripted_responder.h"
#include "testenv.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

using namespace plat;

namespace {

constexpr const char *kArchive = "C:\\arch\\a.zip";

class MessageEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = createWindow([](UINT, WPARAM, LPARAM) { return 0; });
        extract = std::make_unique<_EXTRACT>();
        extract->progressWnd = owner;
        std::strcpy(extract->archivePath, kArchive);
        add = std::make_unique<_ADD>();
        add->progressWnd = owner;
        std::strcpy(add->archivePath, kArchive);
    }
    void TearDown() override { destroyWindow(owner); }

    HWND owner = nullptr;
    std::unique_ptr<_EXTRACT> extract;
    std::unique_ptr<_ADD> add;
};

TEST_F(MessageEngine, MessagesBothEnginesSend)
{
    struct Case {
        int type, number1, number2;
        UINT id;
        const char *text;
    };
    const Case cases[] = {
        {0, -1, 0, 57370, "Please insert the first disk"},
        {0, 2, -1, 57372, "Please insert the last disk"},
        {0, 3, 5, 57371, "Please insert disk 3"},
        {1, 2, 4, 57373, "Please insert disk 2 of 4"},
        {2, 0, 0, 57374, "The file 'C:\\arch\\a.zip' could not be opened"},
        {3, 0, 0, 57375, "The file 'C:\\arch\\a.zip' could not be read"},
        {4, 0, 0, 57376, "The file 'C:\\arch\\a.zip' could not be written to"},
        {5, 0, 0, 604, "This operation is only valid for zipping to removable media."},
        {6, 0, 0, 605, "This operation is not valid for using the same source and target media."},
        {7, 1, 0, 57378, "The disk could not be wiped"},
        {7, 0, 0, 57377, "The disk could not be formatted"},
        {10, 0, 0, 57379, "The inserted disk is not the first disk, please insert the first disk"},
    };
    const UINT style = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
    for (EngineMessageCallback callback : {&MessageDisplayAdd, &MessageDisplayExtract}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.id);
            brxtest::ScriptedResponder responder;
            responder.answer(c.id, IDRETRY);
            void *context = callback == &MessageDisplayAdd ? static_cast<void *>(add.get())
                                                           : static_cast<void *>(extract.get());
            EXPECT_EQ(callback(c.type, style, c.number1, c.number2, "", 0, context), IDRETRY);
            ASSERT_EQ(responder.requests().size(), 1u);
            const ModalRequest request = responder.requests()[0];
            EXPECT_EQ(request.text, c.text);
            EXPECT_EQ(request.caption, "Brindle Dovozoz");
            EXPECT_EQ(request.style, style);
            EXPECT_EQ(request.owner, owner);
            EXPECT_EQ(request.module, "BRXMSG.DLL");
        }
    }
}

struct StatusCase {
    int code;
    UINT id; // 0: nothing shown
};

TEST_F(MessageEngine, ExtractStatusTable)
{
    const StatusCase cases[] = {{2, 57354},  {4, 57351},  {5, 57352},  {9, 57353},  {11, 57350},
                                {28, 57349}, {29, 57348}, {46, 57347}, {50, 57346}, {41, 0},
                                {44, 0},     {49, 0},     {1, 0},      {99, 0}};
    for (const StatusCase &c : cases) {
        SCOPED_TRACE(c.code);
        brxtest::ScriptedResponder responder;
        if (c.id)
            responder.answer(c.id, IDOK);
        extract->errorShown = 0;
        extract->encryptedSkipped = 0;
        EXPECT_EQ(MessageDisplayExtract(11, MB_YESNO, c.code, 0, "", 0, extract.get()), 1);
        ASSERT_EQ(responder.requests().size(), c.id ? 1u : 0u);
        if (c.id) {
            EXPECT_EQ(responder.requests()[0].id, c.id);
            EXPECT_EQ(responder.requests()[0].style, MB_OK);
        }
        EXPECT_EQ(extract->errorShown, c.id ? 1 : 0) << "only a shown message uses up the report";
        EXPECT_EQ(extract->encryptedSkipped, c.code == 41 || c.code == 44 ? 1 : 0);
    }
}

TEST_F(MessageEngine, AddStatusTable)
{
    const StatusCase cases[] = {{2, 57380},  {3, 57381},  {4, 57382},  {8, 57383},  {10, 57384},
                                {11, 57385}, {12, 57396}, {13, 57386}, {14, 57387}, {15, 57388},
                                {18, 57389}, {19, 57390}, {5, 0},      {16, 0},     {0, 0}};
    for (const StatusCase &c : cases) {
        SCOPED_TRACE(c.code);
        brxtest::ScriptedResponder responder;
        if (c.id)
            responder.answer(c.id, IDOK);
        add->errorShown = 0;
        EXPECT_EQ(MessageDisplayAdd(11, 0, c.code, 0, "", 0, add.get()), 1);
        ASSERT_EQ(responder.requests().size(), c.id ? 1u : 0u);
        if (c.id) {
            EXPECT_EQ(responder.requests()[0].id, c.id);
        }
        EXPECT_EQ(add->errorShown, c.id ? 1 : 0);
    }
}

TEST_F(MessageEngine, OneReportPerEngineCall)
{
    brxtest::ScriptedResponder responder;
    responder.answer(57349, IDOK);
    responder.answer(57354, IDOK);
    responder.answer(57387, IDOK);
    for (int code : {28, 2, 50, 29})
        MessageDisplayExtract(11, 0, code, 0, "", 0, extract.get());
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].id, 57349u);
    // The next engine call starts with the flag cleared.
    extract->errorShown = 0;
    MessageDisplayExtract(11, 0, 2, 0, "", 0, extract.get());
    ASSERT_EQ(responder.requests().size(), 2u);
    EXPECT_EQ(responder.requests()[1].id, 57354u);

    for (int code : {14, 2, 19})
        MessageDisplayAdd(11, 0, code, 0, "", 0, add.get());
    ASSERT_EQ(responder.requests().size(), 3u);
    EXPECT_EQ(responder.requests()[2].id, 57387u);
}

TEST_F(MessageEngine, SkippedEncryptedEntriesReportedOnlyWhenSomeWereSkipped)
{
    brxtest::ScriptedResponder responder;
    responder.answer(57345, IDOK);
    MessageDisplayExtract(11, 0, 49, 0, "", 0, extract.get());
    EXPECT_TRUE(responder.requests().empty());

    // The skip and the closing 49 come in the same engine call.
    extract->errorShown = 0;
    MessageDisplayExtract(11, 0, 41, 0, "", 0, extract.get());
    EXPECT_EQ(extract->encryptedSkipped, 1);
    MessageDisplayExtract(11, 0, 49, 0, "", 0, extract.get());
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].text,
              "Some files were skipped because no decryption code was provided or it was "
              "incorrect.");
}

TEST_F(MessageEngine, ReplaceQuestionWithRememberedAnswers)
{
    ZIPINFOEX entries[2] = {};
    entries[1].uncompressedSize = 2048;
    std::strcpy(entries[1].dateTime, "01/02/2022 03:04");
    extract->entries = entries;
    extract->entryCount = 2;
    extract->entryNumber = 2;
    const char *text = "C:\\out\\b.txt exists";

    struct Step {
        int button; // 0: no question expected
        int state;  // replaceAllState before the call
        int answer; // callback's answer
        int stateAfter;
    };
    const Step steps[] = {
        {5, 0, IDYES, 1}, {0, 1, IDYES, 1}, {11, 0, IDNO, 2},    {0, 2, IDNO, 2},
        {6, 0, IDYES, 0}, {7, 0, IDNO, 0},  {2, 0, IDCANCEL, 0},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.button);
        brxtest::ScriptedResponder responder;
        if (s.button)
            responder.answer(131, s.button);
        extract->replaceAllState = s.state;
        EXPECT_EQ(MessageDisplayExtract(8, 0, 0, 0, text, 0, extract.get()), s.answer);
        EXPECT_EQ(extract->replaceAllState, s.stateAfter);
        ASSERT_EQ(responder.requests().size(), s.button ? 1u : 0u);
        if (s.button) {
            std::map<int, std::string> fields = responder.requests()[0].fields;
            EXPECT_EQ(fields[1009], "The file 'C:\\out\\b.txt' already exists.");
            EXPECT_EQ(fields[1007], "2,048 bytes");
            EXPECT_EQ(responder.requests()[0].owner, owner);
        }
    }

    // From the engine's worker thread, with an entry number out of range.
    brxtest::ScriptedResponder responder;
    responder.answer(131, 7);
    extract->replaceAllState = 0;
    extract->entryNumber = 9;
    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = MessageDisplayExtract(8, 0, 0, 0, text, 0, extract.get()); });
    ASSERT_TRUE(msgtest::pumpUntil([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), IDNO);
    EXPECT_EQ(responder.requests().at(0).fields[1007], "");
}

TEST_F(MessageEngine, AnswersWithoutMessages)
{
    struct Case {
        EngineMessageCallback callback;
        int type;
        int answer;
    };
    const Case cases[] = {
        {&MessageDisplayExtract, 13, 0}, {&MessageDisplayExtract, 9, 1},
        {&MessageDisplayExtract, 12, 1}, {&MessageDisplayExtract, 14, 1},
        {&MessageDisplayAdd, 8, 0},      {&MessageDisplayAdd, 9, 0},
        {&MessageDisplayAdd, 13, 0},     {&MessageDisplayAdd, 14, 1},
        {&MessageDisplayAdd, 12, 1}, // a type-12 text that names no left archive
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        void *context = c.callback == &MessageDisplayAdd ? static_cast<void *>(add.get())
                                                         : static_cast<void *>(extract.get());
        EXPECT_EQ(c.callback(c.type, 0, 0, 0, "something else", 0, context), c.answer);
    }
}

TEST_F(MessageEngine, ArchiveLeftInTheTemporaryFolderGetsItsName)
{
    const std::string dir = brxtest::makeScratchDir("left");
    std::filesystem::create_directories(dir + "/temp");
    const auto write = [](const std::string &p, const char *data) {
        QFile f(QString::fromStdString(p));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    write(dir + "/temp/BRX3F.tmp", "finished archive");
    write(dir + "/temp/final.zip", "someone else's");
    const std::string archive = msgtest::winPath(dir + "/dest/final.zip");
    std::strcpy(add->archivePath, archive.c_str());
    const std::string text = "new zip file left as: " + msgtest::winPath(dir + "/temp/BRX3F.tmp");
    const std::string expectedName = msgtest::winPath(dir + "/temp") + "\\final (2).zip";

    brxtest::ScriptedResponder responder;
    responder.answer(57395, IDOK);
    EXPECT_EQ(MessageDisplayAdd(12, MB_OK | MB_ICONHAND, 0, 0, text.c_str(), 0, add.get()), IDOK);
    EXPECT_EQ(add->errorShown, 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/temp/BRX3F.tmp"));
    QFile moved(QString::fromStdString(dir + "/temp/final (2).zip"));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), QByteArray("finished archive"));
    ASSERT_EQ(responder.requests().size(), 1u);
    EXPECT_EQ(responder.requests()[0].text,
              "The file '" + archive +
                  "' could not be copied from the temporary folder.\n\nIt has been left in the "
                  "temporary folder as '" +
                  expectedName + "'.");
    EXPECT_EQ(responder.requests()[0].style, MB_OK | MB_ICONHAND);

    // A left file that cannot be renamed is named where it really is.
    const std::string gone = msgtest::winPath(dir + "/temp/GONE.tmp");
    const std::string goneText = "new zip file left as: " + gone;
    add->errorShown = 0;
    MessageDisplayAdd(12, MB_OK, 0, 0, goneText.c_str(), 0, add.get());
    ASSERT_EQ(responder.requests().size(), 2u);
    EXPECT_NE(responder.requests()[1].text.find("as '" + gone + "'."), std::string::npos);
}

TEST_F(MessageEngine, CountingAndListingCallback)
{
    brxtest::ScriptedResponder responder;
    responder.answer(57370, IDCANCEL);
    responder.answer(57371, IDOK);
    responder.answer(57379, IDOK);
    EXPECT_EQ(MessageDisplayFIZI(0, 1, -1, 0, "", 0, nullptr), IDCANCEL);
    EXPECT_EQ(MessageDisplayFIZI(0, 1, 2, 0, "", 0, nullptr), IDOK);
    EXPECT_EQ(MessageDisplayFIZI(0, 10, 0, 0, "", 0, nullptr), IDOK);
    EXPECT_EQ(MessageDisplayFIZI(0, 11, 0, 0, "", 0, nullptr), 1);
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].style & MB_TYPEMASK, MB_OKCANCEL);
    EXPECT_EQ(requests[1].text, "Please insert disk 2");
    EXPECT_EQ(requests[2].owner, nullptr);
    EXPECT_EQ(requests[2].caption, "Brindle Dovozoz");
}

TEST(MessageBinding, CallbacksByOrdinal)
{
    HMODULE module = loadLibrary("brxmsg.dll");
    ASSERT_NE(module, nullptr);
    const struct {
        WORD ordinal;
        const char *name;
        EngineMessageCallback linked;
    } exports[] = {{1, "MessageDisplayAdd", &MessageDisplayAdd},
                   {2, "MessageDisplayExtract", &MessageDisplayExtract},
                   {3, "MessageDisplayFIZI", &MessageDisplayFIZI}};
    for (const auto &e : exports) {
        SCOPED_TRACE(e.name);
        auto byOrdinal = getProc<EngineMessageCallback>(module, ordinalName(e.ordinal));
        EXPECT_EQ(byOrdinal, e.linked);
        EXPECT_EQ(getProc<EngineMessageCallback>(module, e.name), e.linked);
    }
    EXPECT_EQ(getProcAddress(module, ordinalName(4)), nullptr);
    EXPECT_EQ(MessageDelete(nullptr, 0), 0);
    EXPECT_TRUE(freeLibrary(module));
}

} // namespace
