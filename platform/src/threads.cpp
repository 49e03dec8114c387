#include "platform/messages.h"

#include "platform/errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QtGlobal>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace plat {

struct ThreadObject::Impl {
    // Lives on the object's thread; thread messages are queued calls to it.
    QObject receiver;
    std::mutex handlerMutex;
    std::shared_ptr<const Handler> handler;
};

struct ThreadObjectAccess {
    static ThreadObject *create() { return new ThreadObject; }
    static void destroy(ThreadObject *t) { delete t; }
    static QObject *receiver(ThreadObject *t) { return &t->m_impl->receiver; }
    static std::shared_ptr<const ThreadObject::Handler> handler(ThreadObject *t)
    {
        std::lock_guard lock(t->m_impl->handlerMutex);
        return t->m_impl->handler;
    }
};

namespace {

std::mutex g_mutex;
std::unordered_map<QThread *, ThreadObject *> g_byThread;
std::unordered_set<ThreadObject *> g_live;

void unregister(ThreadObject *t)
{
    std::lock_guard lock(g_mutex);
    g_live.erase(t);
    for (auto it = g_byThread.begin(); it != g_byThread.end(); ++it) {
        if (it->second == t) {
            g_byThread.erase(it);
            break;
        }
    }
}

// Owns the object a thread created for itself and ends it with the thread.
struct ThreadOwner {
    ThreadObject *object = nullptr;
    ~ThreadOwner()
    {
        if (object) {
            unregister(object);
            ThreadObjectAccess::destroy(object);
        }
    }
};

thread_local ThreadOwner t_owner;

// The UI thread's object when it was first asked for from another thread.
struct UiOwner {
    ThreadObject *object = nullptr;
    ~UiOwner()
    {
        if (object) {
            unregister(object);
            ThreadObjectAccess::destroy(object);
        }
    }
};
UiOwner g_uiOwner;

ThreadObject *createFor(QThread *thread)
{
    ThreadObject *t = ThreadObjectAccess::create();
    if (thread != QThread::currentThread())
        ThreadObjectAccess::receiver(t)->moveToThread(thread);
    g_byThread[thread] = t;
    g_live.insert(t);
    return t;
}

} // namespace

ThreadObject::ThreadObject() : m_impl(new Impl) {}

ThreadObject::~ThreadObject()
{
    delete m_impl;
}

ThreadObject *ThreadObject::current()
{
    QThread *self = QThread::currentThread();
    std::lock_guard lock(g_mutex);
    if (auto it = g_byThread.find(self); it != g_byThread.end())
        return it->second;
    ThreadObject *t = createFor(self);
    t_owner.object = t;
    // A QThread reports "finished" (and wait() returns) before its thread
    // runs its exit handlers, so end the object with the signal: a message
    // posted after wait() must fail, not vanish into a dead queue.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() != self) {
        QObject::connect(
            self, &QThread::finished, ThreadObjectAccess::receiver(t),
            [t] {
                unregister(t);
                if (t_owner.object == t)
                    t_owner.object = nullptr;
                ThreadObjectAccess::destroy(t);
            },
            Qt::DirectConnection);
    }
    return t;
}

ThreadObject *ThreadObject::ui()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    QThread *uiThread = app->thread();
    if (uiThread == QThread::currentThread())
        return current();
    std::lock_guard lock(g_mutex);
    if (auto it = g_byThread.find(uiThread); it != g_byThread.end())
        return it->second;
    ThreadObject *t = createFor(uiThread);
    g_uiOwner.object = t;
    return t;
}

void ThreadObject::setHandler(Handler handler)
{
    auto shared = handler ? std::make_shared<const Handler>(std::move(handler)) : nullptr;
    std::lock_guard lock(m_impl->handlerMutex);
    m_impl->handler = std::move(shared);
}

QThread *ThreadObject::thread() const
{
    return m_impl->receiver.thread();
}

BOOL postThreadMessage(ThreadObject *thread, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(g_mutex);
    if (!thread || !g_live.count(thread)) {
        setLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    // The queued call dies with the receiver, so a message to a thread that
    // ends first is dropped rather than delivered to freed memory.
    QMetaObject::invokeMethod(
        ThreadObjectAccess::receiver(thread),
        [thread, msg, wParam, lParam] {
            auto handler = ThreadObjectAccess::handler(thread);
            if (handler)
                (*handler)(msg, wParam, lParam);
            else
                qWarning("thread message %u dropped: the thread has no handler", msg);
        },
        Qt::QueuedConnection);
    return TRUE;
}

} // namespace plat
