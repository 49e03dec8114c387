// Thread objects and thread messages.
#include "test_util.h"

#include "platform/errors.h"
#include "platform/messages.h"

#include <QEventLoop>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace plat;
using msgtest::pumpUntil;
using msgtest::runWorker;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

TEST(ThreadMessages, ReachTheWorkerThreadsHandlerOnItsThread)
{
    std::atomic<ThreadObject *> workerObject{nullptr};
    std::atomic<QThread *> handledOn{nullptr};
    std::atomic<WPARAM> gotW{0};
    std::atomic<LPARAM> gotL{0};
    int exitCode = -1;
    QThread *worker = QThread::create([&] {
        ThreadObject *self = ThreadObject::current();
        EXPECT_EQ(ThreadObject::current(), self); // one object per thread
        self->setHandler([&](UINT msg, WPARAM w, LPARAM l) {
            if (msg == WM_USER + 1) {
                handledOn = QThread::currentThread();
                gotW = w;
                gotL = l;
            } else if (msg == WM_QUIT) {
                postQuitMessage(static_cast<int>(w));
            }
        });
        workerObject = self;
        QEventLoop loop;
        exitCode = loop.exec();
    });
    worker->start();
    ASSERT_TRUE(pumpUntil([&] { return workerObject.load() != nullptr; }));
    ThreadObject *target = workerObject;
    EXPECT_EQ(target->thread(), worker);
    ASSERT_EQ(postThreadMessage(target, WM_USER + 1, 11, -22), TRUE);
    ASSERT_EQ(postThreadMessage(target, WM_QUIT, 3, 0), TRUE);
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_EQ(handledOn.load(), worker);
    EXPECT_EQ(gotW.load(), 11u);
    EXPECT_EQ(gotL.load(), -22);
    EXPECT_EQ(exitCode, 3);
    delete worker;

    // The thread has ended, and its object with it.
    setLastError(kSentinel);
    EXPECT_EQ(postThreadMessage(target, WM_USER + 1, 0, 0), FALSE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_THREAD_ID);
    setLastError(kSentinel);
    EXPECT_EQ(postThreadMessage(nullptr, WM_USER + 1, 0, 0), FALSE);
    EXPECT_EQ(getLastError(), ERROR_INVALID_THREAD_ID);
}

TEST(ThreadMessages, WorkerPostsOperationDoneToTheUiThread)
{
    ThreadObject *ui = ThreadObject::ui();
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(ui, ThreadObject::current()); // the tests run on the UI thread
    int record = 0;
    std::atomic<QThread *> handledOn{nullptr};
    WPARAM gotRecord = 0;
    LPARAM gotOperation = 0;
    ui->setHandler([&](UINT msg, WPARAM w, LPARAM l) {
        if (msg != WM_OPERATION_DONE)
            return;
        handledOn = QThread::currentThread();
        gotRecord = w;
        gotOperation = l;
    });
    ThreadObject *seenFromWorker = nullptr;
    ASSERT_TRUE(runWorker([&] {
        seenFromWorker = ThreadObject::ui();
        postThreadMessage(seenFromWorker, WM_OPERATION_DONE, reinterpret_cast<WPARAM>(&record), 2);
    }));
    ASSERT_TRUE(pumpUntil([&] { return handledOn.load() != nullptr; }));
    ui->setHandler({});
    EXPECT_EQ(seenFromWorker, ui);
    EXPECT_EQ(handledOn.load(), QThread::currentThread());
    EXPECT_EQ(gotRecord, reinterpret_cast<WPARAM>(&record));
    EXPECT_EQ(gotOperation, 2);
}

} // namespace
