#pragma once

#include "platform/messages.h"

#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace msgtest {

// Pumps the calling thread's messages until `done` holds or `timeoutMs` passes.
inline bool pumpUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        plat::pumpMessages();
        QThread::msleep(1);
    }
    return true;
}

// Runs `fn` on a new thread while the calling (UI) thread keeps pumping its
// messages, as a UI thread does while a worker runs. False on a hang.
inline bool runWorker(std::function<void()> fn, int timeoutMs = 5000)
{
    QThread *thread = QThread::create(std::move(fn));
    thread->start();
    const bool finished = pumpUntil([thread] { return thread->isFinished(); }, timeoutMs);
    if (finished)
        thread->wait();
    else
        thread->setParent(nullptr); // leave a hung thread alone; the test has failed
    if (finished)
        delete thread;
    return finished;
}

} // namespace msgtest
