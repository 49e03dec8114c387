// The progress window driven by messages, as the workers drive it.

#include "brxmsg.h"
#include "framework/gui.h"
#include "message_test_util.h"
#include "platform/modal.h"
#include "scripted_responder.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace plat;

namespace {

class MessageProgress : public ::testing::Test {
protected:
    void open(int operation, int show = 1)
    {
        owner = std::make_unique<QWidget>();
        owner->resize(200, 100);
        owner->show();
        framework::makePlatformWindow(owner.get(), [](UINT, WPARAM, LPARAM) { return 0; });
        _PROGRESS_INIT init{show, operation, owner.get()};
        window = CreateProgress(&init);
        ASSERT_NE(window, nullptr);
        dialog = qobject_cast<QWidget *>(window);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override
    {
        if (isWindow(window))
            sendMessage(window, WM_PROGRESS_CLOSE, 0, 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString text(int id) const { return dialog->findChild<QLabel *>(QString::number(id))->text(); }
    QProgressBar *bar(int id) const
    {
        return dialog->findChild<QProgressBar *>(QString::number(id));
    }
    QPushButton *cancelButton() const { return dialog->findChild<QPushButton *>("2"); }
    LRESULT step(long long filePos, long long entry)
    {
        return sendMessage(window, WM_PROGRESS_STEP, static_cast<WPARAM>(filePos), entry);
    }

    std::unique_ptr<QWidget> owner;
    HWND window = nullptr;
    QWidget *dialog = nullptr;
};

TEST_F(MessageProgress, StartsWithItsOwnTextsAndDisablesTheOwner)
{
    open(2);
    EXPECT_EQ(dialog->windowTitle(), "Initializing...");
    EXPECT_EQ(text(1002), "Please wait...");
    EXPECT_EQ(text(1003), "0%");
    EXPECT_EQ(text(1004), "0%");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(owner->isEnabled());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(cancelButton()->toolTip(), "Press to abort the current operation.");
    EXPECT_EQ(bar(1001)->toolTip(), "This shows the current file's progress.");
    EXPECT_EQ(bar(1000)->toolTip(), "This shows the total progress.");

    sendMessage(window, WM_PROGRESS_CLOSE, 0, 0);
    EXPECT_FALSE(isWindow(window));
    // The owner is given back by the completion handler, not by the window.
    EXPECT_FALSE(owner->isEnabled());
}

TEST_F(MessageProgress, HiddenWhenNotAskedToShow)
{
    open(2, 0);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MessageProgress, StepArithmeticOfEntryThreeOfFourAtHalf)
{
    open(2);
    ASSERT_EQ(InitProgress(window, 0, 4, 0, 100, "Extracting Files From C:\\a\\b.zip"), 1);
    EXPECT_EQ(dialog->windowTitle(), "Extracting Files From C:\\a\\b.zip");
    EXPECT_EQ(bar(1000)->maximum(), 400);
    EXPECT_EQ(bar(1001)->maximum(), 100);

    EXPECT_EQ(step(50, 3), 1);
    EXPECT_EQ(text(1004), "50%");
    EXPECT_EQ(text(1003), "62%");
    EXPECT_EQ(bar(1001)->value(), 50);
    EXPECT_EQ(bar(1000)->value(), 250);

    // Entry 0 would make the total negative: it stays at 0.
    EXPECT_EQ(step(30, 0), 1);
    EXPECT_EQ(text(1003), "0%");
    EXPECT_EQ(bar(1000)->value(), 0);

    // Ranges of zero width show 0 % instead of dividing by zero.
    sendMessage(window, WM_PROGRESS_FILE_RANGE, 0, 0);
    sendMessage(window, WM_PROGRESS_TOTAL_RANGE, 5, 5);
    EXPECT_EQ(step(10, 2), 1);
    EXPECT_EQ(text(1004), "0%");
    EXPECT_EQ(text(1003), "0%");
}

TEST_F(MessageProgress, RepeatedStepDoesNotRedraw)
{
    open(2);
    InitProgress(window, 0, 4, 0, 100, "t");
    step(40, 1);
    // Mark the labels: an unchanged step must leave them untouched.
    dialog->findChild<QLabel *>("1004")->setText("mark");
    dialog->findChild<QLabel *>("1003")->setText("mark");
    EXPECT_EQ(step(40, 1), 1);
    EXPECT_EQ(text(1004), "mark");
    EXPECT_EQ(text(1003), "mark");
    step(40, 2);
    EXPECT_EQ(text(1004), "40%");
    EXPECT_EQ(text(1003), "35%");
}

TEST_F(MessageProgress, FileNameTextPerOperation)
{
    struct Case {
        int operation;
        const char *expected;
    };
    const Case cases[] = {
        {2, "Extracting file 1,234 of 2,000: docs\\read me.txt"},
        {3, "Testing file 1,234 of 2,000: docs\\read me.txt"},
        {1, "Compressing file 1,234 of 2,000: docs\\read me.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.operation);
        open(c.operation);
        InitProgress(window, 0, 2000, 0, 100, "t");
        const char *name = "docs\\read me.txt";
        postMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>(name), 1234);
        ASSERT_TRUE(msgtest::pumpUntil([&] { return text(1002) != "Please wait..."; }));
        EXPECT_EQ(text(1002), c.expected);
        // Without an entry number the text is shown as it stands.
        sendMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>("Reading"), 0);
        EXPECT_EQ(text(1002), "Reading");
        // Same text in other case: the shown one stays.
        sendMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>("READING"), 0);
        EXPECT_EQ(text(1002), "Reading");
        TearDown();
    }
}

TEST_F(MessageProgress, EverythingIgnoredAfterDone)
{
    open(2);
    InitProgress(window, 0, 4, 0, 100, "t");
    step(50, 3);
    sendMessage(window, WM_PROGRESS_DONE, 0, 0);
    EXPECT_FALSE(cancelButton()->isEnabled());

    EXPECT_EQ(step(80, 4), 0);
    EXPECT_EQ(text(1004), "50%");
    EXPECT_EQ(text(1003), "62%");
    sendMessage(window, WM_PROGRESS_TOTAL_RANGE, 0, 9);
    EXPECT_EQ(bar(1000)->maximum(), 400);
    sendMessage(window, WM_PROGRESS_FILE_RANGE, 0, 7);
    EXPECT_EQ(bar(1001)->maximum(), 100);
    sendMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>("late"), 0);
    EXPECT_EQ(text(1002), "Please wait...");
    // Cancelling is no longer possible either.
    postMessage(window, WM_CLOSE, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0), 0);
}

TEST_F(MessageProgress, CancelButtonIsSeenByAWorker)
{
    open(2);
    InitProgress(window, 0, 4, 0, 100, "t");
    std::atomic<LRESULT> before{-1};
    std::atomic<bool> done{false};
    std::thread early([&] {
        before = sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0);
        done = true;
    });
    ASSERT_TRUE(msgtest::pumpUntil([&] { return done.load(); }));
    early.join();
    EXPECT_EQ(before.load(), 0);

    QTest::mouseClick(cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(cancelButton()->isEnabled());
    EXPECT_EQ(text(1002), "Please wait, cancelling...");

    std::atomic<LRESULT> after{-1};
    done = false;
    std::thread worker([&] {
        // A worker posts its steps and asks with a blocking send.
        postMessage(window, WM_PROGRESS_STEP, 20, 1);
        after = sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0);
        done = true;
    });
    ASSERT_TRUE(msgtest::pumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(after.load(), 1);
    EXPECT_EQ(text(1004), "20%");
}

TEST_F(MessageProgress, CloseBoxAsksBeforeCancelling)
{
    brxtest::ScriptedResponder responder;
    responder.answer(57355, IDNO);
    responder.answer(57355, IDYES);
    open(3);
    InitProgress(window, 0, 4, 0, 100, "t");
    dialog->close();
    ASSERT_EQ(responder.requests().size(), 1u);
    const ModalRequest asked = responder.requests()[0];
    EXPECT_EQ(asked.text,
              "Closing this window will cancel the operation.\n\nAre you sure you want to cancel?");
    EXPECT_EQ(asked.caption, "Brindle Dovozoz");
    EXPECT_EQ(asked.style & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(asked.owner, window);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0), 0);
    EXPECT_EQ(text(1002), "Please wait...");

    sendMessage(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0), 1);
    EXPECT_EQ(text(1002), "Please wait, cancelling...");
    EXPECT_TRUE(isWindow(window));

    // While cancelling, the close box asks nothing more.
    dialog->close();
    EXPECT_EQ(responder.requests().size(), 2u);
}

TEST_F(MessageProgress, OperationEndsWhileTheCloseQuestionIsOpen)
{
    open(2);
    QPointer<QWidget> alive(dialog);
    bool asked = false;
    // The completion handler closes the window while the person still looks
    // at the question.
    const ModalResponder saved = setModalResponder([&](const ModalRequest &request) {
        asked = request.id == 57355;
        sendMessage(window, WM_PROGRESS_CLOSE, 0, 0);
        // What the box's own event loop would do meanwhile.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return ModalAnswer{IDYES, {}};
    });
    dialog->close();
    setModalResponder(saved);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(isWindow(window));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST_F(MessageProgress, EndOfSessionDependsOnTheOperation)
{
    struct Case {
        int operation;
        UINT question; // 0: none asked, the session may end
    };
    const Case cases[] = {{3, 0}, {2, 57356}, {1, 57357}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.operation);
        brxtest::ScriptedResponder responder;
        if (c.question)
            responder.answer(c.question, IDOK);
        open(c.operation);
        EXPECT_EQ(sendMessage(window, framework::WM_QUERYENDSESSION, 0, 0), c.question ? 0 : 1);
        ASSERT_EQ(responder.requests().size(), c.question ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(responder.requests()[0].id, c.question);
        }
        // When the session really ends the operation is cancelled.
        sendMessage(window, framework::WM_ENDSESSION, 1, 0);
        EXPECT_EQ(sendMessage(window, WM_PROGRESS_QUERY_CANCEL, 0, 0), 1);
        TearDown();
    }
}

// A file name far wider than the window neither widens the window nor
// changes the text the status control holds.
TEST_F(MessageProgress, LongFileNameKeepsTheWindowSize)
{
    open(2);
    InitProgress(window, 0, 3, 0, 100, "Extracting");
    QCoreApplication::processEvents();
    const QSize before = dialog->size();
    const std::string name = "src\\" + std::string(300, 'n') + ".cpp";
    sendMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>(name.c_str()), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->size(), before);
    EXPECT_NE(text(1002).toStdString().find(name), std::string::npos);
    msgtest::saveScreenshot(dialog, "progress_long_name.png");
}

TEST_F(MessageProgress, ScreenshotMidRun)
{
    open(2);
    InitProgress(window, 0, 12, 0, 100, "Extracting Files From C:\\Downloads\\project-sources.zip");
    const char *name = "src\\engines\\unzip\\inflate_window.cpp";
    sendMessage(window, WM_PROGRESS_FILE_NAME, reinterpret_cast<WPARAM>(name), 5);
    step(64, 5);
    EXPECT_EQ(text(1003), "38%");
    msgtest::saveScreenshot(dialog, "progress_mid_run.png");
}

} // namespace
