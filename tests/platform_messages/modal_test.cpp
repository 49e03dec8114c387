// The modal-UI gateway: who answers, on which thread, with which numbers.
#include "test_util.h"

#include "scripted_responder.h"

#include "platform/errors.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

using namespace plat;
using msgtest::runWorker;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

const StringEntry kModalStrings[] = {
    {57344, "Brindle Dovozoz"},
    {57355, "Closing this window will cancel the operation.\n\nAre you sure you want to cancel?"},
    {602, "Please insert %s for %s. Click OK when ready or Cancel to abort."},
};
const StringTableRegistrar kRegistrar("MODALTEST.DLL", kModalStrings);

// Takes the test mains' strict responder away, and puts it back afterwards.
class NoResponder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = setModalResponder({});
        m_savedPresenter = setMessageBoxPresenter({});
    }
    void TearDown() override
    {
        setModalResponder(std::move(m_saved));
        setMessageBoxPresenter(std::move(m_savedPresenter));
    }

private:
    ModalResponder m_saved;
    MessageBoxPresenter m_savedPresenter;
};

TEST(Modal, WorkerRequestIsAnsweredOnTheOwnersThread)
{
    QObject progress; // the progress window, on the UI thread
    attachWindowProc(&progress, [](UINT, WPARAM, LPARAM) { return LRESULT{0}; });
    brxtest::ScriptedResponder responder;
    responder.answer(602, IDOK);
    QThread *answeredOn = nullptr;
    // Wrap the scripted responder to see where it runs.
    ModalResponder scripted = setModalResponder({});
    setModalResponder([&](const ModalRequest &r) {
        answeredOn = QThread::currentThread();
        return scripted(r);
    });

    int answer = 0;
    const std::string text = formatText(loadString("MODALTEST.DLL", 602), "Disk 2", "A:\\SET2.CAB");
    ASSERT_TRUE(runWorker([&] {
        answer = messageBox(&progress, ModalText{"MODALTEST.DLL", 602, text}, "Brindle Dovozoz",
                            MB_OKCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    }));
    setModalResponder(std::move(scripted));

    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(answeredOn, QThread::currentThread());
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, ModalKind::MessageBox);
    EXPECT_EQ(requests[0].owner, &progress);
    EXPECT_EQ(requests[0].id, 602u);
    EXPECT_EQ(requests[0].text,
              "Please insert Disk 2 for A:\\SET2.CAB. Click OK when ready or Cancel to abort.");
    EXPECT_EQ(requests[0].style, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

TEST(Modal, ResponderAnswersByStringNumber)
{
    brxtest::ScriptedResponder responder;
    responder.answer(57355, IDYES);
    responder.answer(57355, IDNO);
    const std::string caption = loadString("MODALTEST.DLL", 57344);

    EXPECT_EQ(messageBoxId(nullptr, "modaltest.dll", 57355, caption, MB_YESNO), IDYES);
    EXPECT_EQ(messageBoxId(nullptr, "MODALTEST.DLL", 57355, caption, MB_YESNO), IDNO);
    // The last answer for a number keeps answering.
    EXPECT_EQ(messageBoxId(nullptr, "MODALTEST.DLL", 57355, caption, MB_YESNO), IDNO);

    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].module, "modaltest.dll");
    EXPECT_EQ(requests[0].text,
              "Closing this window will cancel the operation.\n\nAre you sure you want to cancel?");
    EXPECT_EQ(requests[0].caption, "Brindle Dovozoz");
    EXPECT_EQ(requests[0].style, MB_YESNO);
}

TEST(Modal, DialogGetsTheScriptedFieldsAndButton)
{
    brxtest::ScriptedResponder responder;
    responder.answer(132, 4, {{1006, "secret"}}); // "Use For All" with a typed code
    std::map<int, std::string> controls{{1005, "The file 'a.txt' is encrypted."}, {1006, ""}};
    ModalRequest request;
    request.module = "BRXEXTRC.DLL";
    request.id = 132;
    request.caption = "Brindle Dovozoz - Enter Decryption Code";
    request.fields = controls;

    bool shownForReal = false;
    const int result = runModalDialog(nullptr, request, [&](const ModalAnswer *scripted) {
        if (!scripted) {
            shownForReal = true;
            return IDCANCEL;
        }
        for (const auto &[control, value] : scripted->fields)
            controls[control] = value;
        return scripted->button;
    });
    EXPECT_EQ(result, 4);
    EXPECT_FALSE(shownForReal);
    EXPECT_EQ(controls[1006], "secret");
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, ModalKind::Dialog);
    EXPECT_EQ(requests[0].fields.at(1005), "The file 'a.txt' is encrypted.");
}

TEST_F(NoResponder, DefaultAnswersWithoutResponderOrGui)
{
    const struct {
        UINT style;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL},
        {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNO | MB_TOPMOST, IDNO},
        {MB_RETRYCANCEL, IDCANCEL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(messageBox(nullptr, "text", "caption", c.style), c.answer);
    }

    setLastError(kSentinel);
    EXPECT_EQ(messageBox(nullptr, "text", "caption", 0x7), 0);
    EXPECT_EQ(getLastError(), ERROR_INVALID_MSGBOX_STYLE);

    bool ran = false;
    EXPECT_EQ(runModalDialog(nullptr, {},
                             [&](const ModalAnswer *) {
                                 ran = true;
                                 return IDOK;
                             }),
              IDCANCEL);
    EXPECT_FALSE(ran);
}

TEST_F(NoResponder, GuiPresenterShowsWhatNoResponderAnswers)
{
    std::vector<ModalRequest> shown;
    setMessageBoxPresenter([&](const ModalRequest &r) {
        shown.push_back(r);
        return IDRETRY;
    });
    EXPECT_EQ(messageBox(nullptr, "Disk full", "Brindle Dovozoz", MB_RETRYCANCEL), IDRETRY);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Disk full");

    // With a GUI the dialog is shown for real.
    const ModalAnswer *given = reinterpret_cast<const ModalAnswer *>(1);
    EXPECT_EQ(runModalDialog(nullptr, {},
                             [&](const ModalAnswer *a) {
                                 given = a;
                                 return IDOK;
                             }),
              IDOK);
    EXPECT_EQ(given, nullptr);

    // A responder comes before the GUI.
    setModalResponder([](const ModalRequest &) { return ModalAnswer{IDCANCEL, {}}; });
    EXPECT_EQ(messageBox(nullptr, "Disk full", "Brindle Dovozoz", MB_RETRYCANCEL), IDCANCEL);
    EXPECT_EQ(shown.size(), 1u);
}

TEST(Modal, OwnerThatIsNoWindowFails)
{
    brxtest::ScriptedResponder responder;
    QObject notAWindow;
    setLastError(kSentinel);
    EXPECT_EQ(messageBox(&notAWindow, "text", "caption", MB_OK), 0);
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(responder.requests().empty());
}

} // namespace
