#include "platform/messages.h"

#include "dispatch_p.h"
#include "messages_p.h"
#include "platform/errors.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace plat {
namespace {

struct WindowEntry {
    std::shared_ptr<const WindowProc> proc;
    DestroyAction onDestroy = DestroyAction::Keep;
    // Distinguishes this window from a later one at the same address, so a
    // message queued for the old window never reaches the new one.
    std::uint64_t serial = 0;
    QMetaObject::Connection destroyedConnection;
    // Created, used and deleted on the window's thread only.
    std::map<UINT_PTR, std::unique_ptr<QTimer>> timers;
};

std::mutex g_mutex;
std::unordered_map<QObject *, std::unique_ptr<WindowEntry>> g_windows;
std::uint64_t g_nextSerial = 1;

WindowEntry *findLocked(HWND hwnd)
{
    auto it = hwnd ? g_windows.find(hwnd) : g_windows.end();
    return it == g_windows.end() ? nullptr : it->second.get();
}

std::unique_ptr<WindowEntry> detach(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    auto it = g_windows.find(hwnd);
    if (it == g_windows.end())
        return nullptr;
    std::unique_ptr<WindowEntry> entry = std::move(it->second);
    g_windows.erase(it);
    return entry;
}

// Runs the procedure of window `hwnd` if it is still the window `serial`
// names. The procedure runs without the lock held, so it may post, send or
// destroy windows itself.
LRESULT deliver(HWND hwnd, std::uint64_t serial, UINT msg, WPARAM wParam, LPARAM lParam,
                bool *delivered)
{
    std::shared_ptr<const WindowProc> proc;
    {
        std::lock_guard lock(g_mutex);
        WindowEntry *entry = findLocked(hwnd);
        if (entry && entry->serial == serial)
            proc = entry->proc;
    }
    if (delivered)
        *delivered = static_cast<bool>(proc);
    return proc ? (*proc)(msg, wParam, lParam) : 0;
}

bool onOwnThread(HWND hwnd)
{
    return hwnd->thread() == QThread::currentThread();
}

} // namespace

WindowProc attachWindowProc(QObject *object, WindowProc proc, DestroyAction onDestroy)
{
    if (!object || !proc) {
        setLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    std::lock_guard lock(g_mutex);
    auto &slot = g_windows[object];
    WindowProc previous;
    if (slot) {
        previous = *slot->proc;
    } else {
        slot = std::make_unique<WindowEntry>();
        slot->serial = g_nextSerial++;
        slot->destroyedConnection =
            QObject::connect(object, &QObject::destroyed, [object] { detach(object); });
    }
    slot->proc = std::make_shared<const WindowProc>(std::move(proc));
    slot->onDestroy = onDestroy;
    return previous;
}

HWND createWindow(WindowProc proc, QObject *parent)
{
    if (!proc) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto *object = new QObject(parent);
    object->setObjectName(QStringLiteral("plat-window"));
    attachWindowProc(object, std::move(proc), DestroyAction::DeleteLater);
    return object;
}

BOOL isWindow(HWND hwnd)
{
    std::lock_guard lock(g_mutex);
    return findLocked(hwnd) ? TRUE : FALSE;
}

BOOL destroyWindow(HWND hwnd)
{
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(g_mutex);
        WindowEntry *entry = findLocked(hwnd);
        if (!entry) {
            setLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!onOwnThread(hwnd)) {
            setLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        serial = entry->serial;
    }
    deliver(hwnd, serial, WM_DESTROY, 0, 0, nullptr);
    // The procedure may have destroyed the window itself while handling WM_DESTROY.
    std::unique_ptr<WindowEntry> entry = detach(hwnd);
    if (!entry || entry->serial != serial)
        return TRUE;
    QObject::disconnect(entry->destroyedConnection);
    const bool deleteObject = entry->onDestroy == DestroyAction::DeleteLater;
    entry.reset(); // stops the timers
    if (deleteObject)
        hwnd->deleteLater();
    return TRUE;
}

LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    if (msg == WM_CLOSE)
        destroyWindow(hwnd);
    return 0;
}

BOOL postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The lock keeps the window alive until the message is queued; once
    // queued, Qt discards it if the window goes away first.
    std::lock_guard lock(g_mutex);
    WindowEntry *entry = findLocked(hwnd);
    if (!entry) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const std::uint64_t serial = entry->serial;
    QMetaObject::invokeMethod(
        hwnd,
        [hwnd, serial, msg, wParam, lParam] {
            deliver(hwnd, serial, msg, wParam, lParam, nullptr);
        },
        Qt::QueuedConnection);
    return TRUE;
}

LRESULT sendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::unique_lock lock(g_mutex);
    WindowEntry *entry = findLocked(hwnd);
    if (!entry) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const std::uint64_t serial = entry->serial;
    bool delivered = false;
    LRESULT result = 0;
    if (onOwnThread(hwnd)) {
        lock.unlock();
        result = deliver(hwnd, serial, msg, wParam, lParam, &delivered);
    } else {
        // A window whose thread has ended can never answer.
        if (QThread *owner = hwnd->thread(); !owner || owner->isFinished()) {
            setLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        detail::callAndWait(
            hwnd, [&] { result = deliver(hwnd, serial, msg, wParam, lParam, &delivered); }, lock);
    }
    if (!delivered) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return result;
}

UINT_PTR setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs)
{
    std::unique_ptr<QTimer> replaced;
    std::lock_guard lock(g_mutex);
    WindowEntry *entry = findLocked(hwnd);
    if (!entry) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!onOwnThread(hwnd)) {
        setLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (id == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(std::min<UINT>(elapseMs, 0x7FFFFFFF)));
    const std::uint64_t serial = entry->serial;
    QObject::connect(timer.get(), &QTimer::timeout, [hwnd, serial, id] {
        deliver(hwnd, serial, WM_TIMER, static_cast<WPARAM>(id), 0, nullptr);
    });
    timer->start();
    replaced = std::exchange(entry->timers[id], std::move(timer));
    return id;
}

BOOL killTimer(HWND hwnd, UINT_PTR id)
{
    std::unique_ptr<QTimer> stopped;
    std::lock_guard lock(g_mutex);
    WindowEntry *entry = findLocked(hwnd);
    if (!entry) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!onOwnThread(hwnd)) {
        setLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto it = entry->timers.find(id);
    if (it == entry->timers.end()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    stopped = std::move(it->second);
    entry->timers.erase(it);
    return TRUE;
}

namespace detail {

CallResult callOnWindowThread(HWND hwnd, const std::function<void()> &fn)
{
    std::unique_lock lock(g_mutex);
    if (!findLocked(hwnd))
        return CallResult::NoWindow;
    if (onOwnThread(hwnd)) {
        lock.unlock();
        fn();
        return CallResult::Ran;
    }
    if (QThread *owner = hwnd->thread(); !owner || owner->isFinished())
        return CallResult::NoWindow;
    return callAndWait(hwnd, fn, lock) ? CallResult::Ran : CallResult::NoWindow;
}

} // namespace detail

void pumpMessages()
{
    if (!QCoreApplication::instance())
        return;
    // A thread not started by Qt has no event dispatcher until an event loop
    // object asks for one.
    if (!QAbstractEventDispatcher::instance()) {
        QEventLoop ensureDispatcher;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void postQuitMessage(int exitCode)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread())
        QCoreApplication::exit(exitCode);
    else
        QThread::currentThread()->exit(exitCode);
}

} // namespace plat
