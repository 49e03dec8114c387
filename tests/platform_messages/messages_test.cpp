// Windows, posted and sent messages, destruction and timers.
#include "test_util.h"

#include "platform/errors.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace plat;
using msgtest::pumpUntil;
using msgtest::runWorker;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

struct Seen {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    QThread *thread;
};

// A window on the calling thread that records what it receives.
struct RecordingWindow {
    QObject object;
    std::vector<Seen> seen;
    std::function<LRESULT(UINT, WPARAM, LPARAM)> reply = [](UINT, WPARAM, LPARAM) {
        return LRESULT{0};
    };

    RecordingWindow()
    {
        attachWindowProc(&object, [this](UINT msg, WPARAM w, LPARAM l) {
            seen.push_back({msg, w, l, QThread::currentThread()});
            return reply(msg, w, l);
        });
    }
    HWND hwnd() { return &object; }
};

TEST(Messages, SameThreadSendIsDirectAndBypassesPostedMessages)
{
    RecordingWindow w;
    w.reply = [](UINT msg, WPARAM wParam, LPARAM) { return static_cast<LRESULT>(msg + wParam); };

    ASSERT_EQ(postMessage(w.hwnd(), WM_USER + 1, 0, 0), TRUE);
    EXPECT_EQ(sendMessage(w.hwnd(), WM_USER + 2, 5, 0), WM_USER + 2 + 5);
    // The sent message was handled at once; the posted one waits for the pump.
    ASSERT_EQ(w.seen.size(), 1u);
    EXPECT_EQ(w.seen[0].msg, WM_USER + 2);

    pumpMessages();
    ASSERT_EQ(w.seen.size(), 2u);
    EXPECT_EQ(w.seen[1].msg, WM_USER + 1);
}

TEST(Messages, PostedMessagesKeepOrderAndCarry64BitParameters)
{
    RecordingWindow w;
    const WPARAM bigW = 0xFEDCBA9876543210ull;
    const LPARAM pointerL = reinterpret_cast<LPARAM>(&w);
    for (UINT i = 0; i < 5; ++i)
        ASSERT_EQ(postMessage(w.hwnd(), WM_PROGRESS_STEP, bigW - i, pointerL), TRUE);
    ASSERT_TRUE(pumpUntil([&] { return w.seen.size() == 5; }));
    for (UINT i = 0; i < 5; ++i) {
        EXPECT_EQ(w.seen[i].wParam, bigW - i);
        EXPECT_EQ(w.seen[i].lParam, pointerL);
    }
}

TEST(Messages, CrossThreadSendBlocksUntilHandledAndReturnsResult)
{
    RecordingWindow w;
    std::atomic<bool> handling{false}, handled{false};
    w.reply = [&](UINT, WPARAM wParam, LPARAM) {
        handling = true;
        QThread::msleep(30); // a slow handler: the sender must still wait for it
        handled = true;
        return static_cast<LRESULT>(wParam * 2);
    };

    LRESULT result = 0;
    bool handledWhenReturned = false;
    BOOL posted = FALSE;
    ASSERT_TRUE(runWorker([&] {
        result = sendMessage(w.hwnd(), WM_PROGRESS_QUERY_CANCEL, 21, 0);
        handledWhenReturned = handled;
        posted = postMessage(w.hwnd(), WM_PROGRESS_FILE_NAME, 1, 2);
    }));
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(handledWhenReturned);
    EXPECT_EQ(posted, TRUE);
    ASSERT_TRUE(pumpUntil([&] { return w.seen.size() == 2; }));
    // Both reached the window on its own (this) thread.
    for (const Seen &s : w.seen)
        EXPECT_EQ(s.thread, QThread::currentThread());
    EXPECT_EQ(w.seen[1].msg, WM_PROGRESS_FILE_NAME);
}

TEST(Messages, SendToWindowOfWorkerThreadRunsThere)
{
    QThread worker;
    worker.start();
    auto *object = new QObject;
    object->moveToThread(&worker);
    std::atomic<QThread *> ranOn{nullptr};
    attachWindowProc(object, [&](UINT msg, WPARAM, LPARAM) {
        ranOn = QThread::currentThread();
        return static_cast<LRESULT>(msg);
    });

    EXPECT_EQ(sendMessage(object, WM_SHOW_CONFIG, 0, 0), WM_SHOW_CONFIG);
    EXPECT_EQ(ranOn.load(), &worker);

    QMetaObject::invokeMethod(
        object, [object] { delete object; }, Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
    setLastError(kSentinel);
    EXPECT_EQ(sendMessage(object, WM_SHOW_CONFIG, 0, 0), 0);
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Messages, DestroyedWindowsRefuseMessagesCleanly)
{
    // Each way a handle can die.
    enum class Death { DestroyWindowKeep, DeleteObject, CreateWindowDestroy };
    for (Death death :
         {Death::DestroyWindowKeep, Death::DeleteObject, Death::CreateWindowDestroy}) {
        SCOPED_TRACE(static_cast<int>(death));
        std::vector<UINT> seen;
        auto proc = [&seen](UINT msg, WPARAM, LPARAM) {
            seen.push_back(msg);
            return LRESULT{1};
        };
        auto *keep = new QObject;
        HWND hwnd = nullptr;
        if (death == Death::CreateWindowDestroy) {
            hwnd = createWindow(proc);
        } else {
            hwnd = keep;
            attachWindowProc(keep, proc);
        }
        QPointer<QObject> guard(hwnd);
        ASSERT_EQ(isWindow(hwnd), TRUE);
        // Queued before the window dies: must be dropped, not delivered later.
        ASSERT_EQ(postMessage(hwnd, WM_USER, 0, 0), TRUE);

        if (death == Death::DeleteObject) {
            delete keep;
            keep = nullptr;
        } else {
            ASSERT_EQ(destroyWindow(hwnd), TRUE);
            EXPECT_EQ(seen, std::vector<UINT>{WM_DESTROY});
        }
        EXPECT_EQ(isWindow(hwnd), FALSE);
        setLastError(kSentinel);
        EXPECT_EQ(postMessage(hwnd, WM_USER, 0, 0), FALSE);
        EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
        setLastError(kSentinel);
        EXPECT_EQ(sendMessage(hwnd, WM_USER, 0, 0), 0);
        EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
        setLastError(kSentinel);
        EXPECT_EQ(destroyWindow(hwnd), FALSE);
        EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);

        pumpMessages();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(seen.size(), death == Death::DeleteObject ? 0u : 1u);
        // Only the window made by createWindow is deleted by destroyWindow.
        EXPECT_EQ(guard.isNull(), death != Death::DestroyWindowKeep);
        delete keep;
    }

    setLastError(kSentinel);
    EXPECT_EQ(postMessage(nullptr, WM_USER, 0, 0), FALSE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
    // A plain object that was never made a window is no window either.
    QObject plain;
    EXPECT_EQ(postMessage(&plain, WM_USER, 0, 0), FALSE);
}

TEST(Messages, SendToWindowDestroyedWhileSenderWaitsDoesNotHang)
{
    auto *object = new QObject;
    attachWindowProc(object, [](UINT, WPARAM, LPARAM) { return LRESULT{5}; });
    std::atomic<bool> sending{false};
    LRESULT result = -1;
    DWORD error = 0;
    QThread *worker = QThread::create([&] {
        sending = true;
        setLastError(kSentinel);
        result = sendMessage(object, WM_USER, 0, 0);
        error = getLastError();
    });
    worker->start();
    // Do not pump: the send stays queued (or is not yet posted) when the window dies.
    while (!sending)
        QThread::msleep(1);
    QThread::msleep(20);
    delete object;
    ASSERT_TRUE(worker->wait(5000));
    delete worker;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Messages, CloseThroughDefWindowProcDestroysTheWindow)
{
    std::vector<UINT> seen;
    HWND hwnd = createWindow([](UINT, WPARAM, LPARAM) { return LRESULT{0}; });
    // Replacing the procedure hands back the one before, so it can be chained.
    WindowProc previous;
    previous = attachWindowProc(hwnd, [&](UINT msg, WPARAM w, LPARAM l) {
        seen.push_back(msg);
        previous(msg, w, l);
        return defWindowProc(hwnd, msg, w, l);
    });
    ASSERT_TRUE(static_cast<bool>(previous));
    ASSERT_EQ(postMessage(hwnd, WM_CLOSE, 0, 0), TRUE);
    ASSERT_TRUE(pumpUntil([&] { return !isWindow(hwnd); }));
    EXPECT_EQ(seen, (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
}

TEST(Messages, TimersDeliverWmTimerUntilKilled)
{
    RecordingWindow w;
    ASSERT_EQ(setTimer(w.hwnd(), 7, 5), 7u);
    ASSERT_TRUE(pumpUntil([&] { return w.seen.size() >= 3; }));
    for (const Seen &s : w.seen) {
        EXPECT_EQ(s.msg, WM_TIMER);
        EXPECT_EQ(s.wParam, 7u);
    }
    ASSERT_EQ(killTimer(w.hwnd(), 7), TRUE);
    const std::size_t count = w.seen.size();
    pumpUntil([] { return false; }, 40);
    EXPECT_EQ(w.seen.size(), count);

    setLastError(kSentinel);
    EXPECT_EQ(killTimer(w.hwnd(), 7), FALSE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    setLastError(kSentinel);
    EXPECT_EQ(setTimer(w.hwnd(), 0, 5), 0u);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
    // Timers belong to the window's thread.
    UINT_PTR fromWorker = 1;
    DWORD workerError = 0;
    ASSERT_TRUE(runWorker([&] {
        fromWorker = setTimer(w.hwnd(), 8, 5);
        workerError = getLastError();
    }));
    EXPECT_EQ(fromWorker, 0u);
    EXPECT_EQ(workerError, ERROR_ACCESS_DENIED);
}

TEST(Messages, DestroyingAWindowStopsItsTimers)
{
    std::atomic<int> timerCalls{0};
    HWND hwnd = createWindow([&](UINT msg, WPARAM, LPARAM) {
        if (msg == WM_TIMER)
            ++timerCalls;
        return LRESULT{0};
    });
    ASSERT_EQ(setTimer(hwnd, 1, 1), 1u);
    ASSERT_TRUE(pumpUntil([&] { return timerCalls > 0; }));
    ASSERT_EQ(destroyWindow(hwnd), TRUE);
    const int calls = timerCalls;
    pumpUntil([] { return false; }, 30);
    EXPECT_EQ(timerCalls, calls);
    setLastError(kSentinel);
    EXPECT_EQ(setTimer(hwnd, 1, 1), 0u);
    EXPECT_EQ(getLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

} // namespace
