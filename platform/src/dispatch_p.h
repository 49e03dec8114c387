#pragma once

// Running a function on the thread of a Qt object and waiting for it, without
// deadlocking when the object dies first.

#include <QMetaObject>
#include <QObject>
#include <QSemaphore>

#include <functional>
#include <memory>
#include <mutex>

namespace plat::detail {

// Posts `fn` to run on `context`'s thread, releases `lock` (which keeps
// `context` alive until the call is queued) and waits. Returns true when `fn`
// ran; false when `context` was destroyed with the call still queued (Qt then
// discards the queued call, which releases the waiting thread).
inline bool callAndWait(QObject *context, std::function<void()> fn,
                        std::unique_lock<std::mutex> &lock)
{
    struct State {
        QSemaphore done;
        bool ran = false;
    };
    // The releaser lives inside the queued call; whether the call runs or is
    // discarded, its destruction wakes the waiting thread.
    struct Releaser {
        explicit Releaser(std::shared_ptr<State> s) : state(std::move(s)) {}
        ~Releaser() { state->done.release(); }
        Releaser(const Releaser &) = delete;
        Releaser &operator=(const Releaser &) = delete;
        std::shared_ptr<State> state;
    };
    auto state = std::make_shared<State>();
    auto releaser = std::make_shared<Releaser>(state);
    QMetaObject::invokeMethod(
        context,
        [releaser, fn = std::move(fn)]() {
            fn();
            releaser->state->ran = true;
        },
        Qt::QueuedConnection);
    releaser.reset();
    lock.unlock();
    state->done.acquire();
    return state->ran;
}

} // namespace plat::detail
