#pragma once

// Windows, window messages, thread messages and timers on Qt's event system.
//
// A window handle (HWND) is a pointer to a QObject that has a window procedure
// attached. Any QObject can become a window, so the framework turns its
// QWidget classes into windows by attaching a procedure that forwards to a
// virtual member; there is no window base class to inherit twice.
//
// Delivery rules:
//  - postMessage queues the message as a posted Qt event on the thread the
//    window lives in and returns at once; messages to one window arrive in
//    the order they were posted.
//  - sendMessage on the window's own thread calls the procedure directly.
//    From another thread it posts the call and blocks until the window's
//    thread has handled it (Qt's blocking queued invocation), then returns
//    the procedure's result. The window's thread must be running an event
//    loop (or pumping with pumpMessages) for that to finish. Unlike Windows,
//    a thread blocked in sendMessage does not handle messages sent to its own
//    windows meanwhile: never send to a thread that may be waiting for you
//    (in sendMessage, a modal request or a wait for your thread to end).
//  - A window destroyed while messages are queued for it drops them; posting
//    or sending to a destroyed window fails with ERROR_INVALID_WINDOW_HANDLE.
//    Handles are checked against the table of live windows before they are
//    touched, so a stale handle is safe to pass.
//  - Thread messages go to a ThreadObject, the message queue of one thread,
//    and reach its handler on that thread.

#include "platform/types.h"

#include <cstdint>
#include <functional>

class QObject;
class QThread;

namespace plat {

using UINT = unsigned int;
using UINT_PTR = std::uintptr_t;
// Pointers travel in message parameters, so they are 64 bits wide here.
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
using LRESULT = std::int64_t;
using HWND = QObject *;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

// Standard message numbers the system uses.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// The system's own message numbers.
constexpr UINT WM_OPERATION_DONE =
    22222; // request record / 1 add-delete, 2 extract, 3 test, 4 cabinet
constexpr UINT WM_ADD_TO_ARCHIVE = 22223;      // mode / file list or update record
constexpr UINT WM_SELECT_ARCHIVE = 22224;      // 0 open, 1 add to, 2 convert target / file list
constexpr UINT WM_REMOVE_FROM_ARCHIVE = 22225; // - / stored name of one entry
constexpr UINT WM_SETTINGS_CHANGED = 22227;    // 0 / 0
constexpr UINT WM_PROGRESS_STEP = 22334;
constexpr UINT WM_PROGRESS_TOTAL_RANGE = 22335;
constexpr UINT WM_PROGRESS_FILE_RANGE = 22336;
constexpr UINT WM_PROGRESS_FILE_NAME = 22337;
constexpr UINT WM_PROGRESS_QUERY_CANCEL = 22338;
constexpr UINT WM_PROGRESS_CLOSE = 22339;
constexpr UINT WM_PROGRESS_DONE = 22340;
constexpr UINT WM_SAVE_LAYOUT = 22341;     // 0 / 0
constexpr UINT WM_CHILD_ACTIVATED = 22342; // 0 / 0
constexpr UINT WM_SHOW_CONFIG = 22343;     // page set / owner window

// A window procedure: message, wParam, lParam -> result.
using WindowProc = std::function<LRESULT(UINT msg, WPARAM wParam, LPARAM lParam)>;

// What destroyWindow does with the QObject after WM_DESTROY.
enum class DestroyAction {
    Keep,        // the owner of the object deletes it (stack objects, framework windows)
    DeleteLater, // destroyWindow deletes it through deleteLater
};

// Makes `object` a window handled by `proc`, replacing a procedure attached
// before (which is returned, so a procedure can be chained like a subclass).
// Call on the object's thread. Failure (null object or proc): returns an
// empty function, ERROR_INVALID_PARAMETER. The window stops being one when
// the object is destroyed or destroyWindow is called.
WindowProc attachWindowProc(QObject *object, WindowProc proc,
                            DestroyAction onDestroy = DestroyAction::Keep);

// A plain hidden window (a message-only object) owned by the current thread,
// deleted by destroyWindow. Returns the handle; null proc: null,
// ERROR_INVALID_PARAMETER.
HWND createWindow(WindowProc proc, QObject *parent = nullptr);

// TRUE when `hwnd` is a live window. Never dereferences a stale handle.
BOOL isWindow(HWND hwnd);

// Sends WM_DESTROY to the window, kills its timers and detaches its procedure
// (the handle is dead from then on), then deletes the object when it was
// attached with DestroyAction::DeleteLater. Must run on the window's thread.
// Failure: FALSE with ERROR_INVALID_WINDOW_HANDLE (no window) or
// ERROR_ACCESS_DENIED (another thread's window).
BOOL destroyWindow(HWND hwnd);

// Default handling: WM_CLOSE destroys the window; everything else returns 0.
LRESULT defWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Queues a message for the window. TRUE when queued; FALSE with
// ERROR_INVALID_WINDOW_HANDLE for a null or destroyed window.
BOOL postMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Calls the window procedure (directly on its own thread, else blocking until
// the window's thread handled it) and returns its result. A null or destroyed
// window, or one destroyed before the message was handled: 0 with
// ERROR_INVALID_WINDOW_HANDLE.
LRESULT sendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Starts (or restarts, for an id in use) a timer that delivers WM_TIMER with
// wParam = id to the window every `elapseMs` milliseconds. Call on the
// window's thread. Returns `id` (nonzero); failure: 0 with
// ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED (another thread's window)
// or ERROR_INVALID_PARAMETER (id 0).
UINT_PTR setTimer(HWND hwnd, UINT_PTR id, UINT elapseMs);

// Stops a timer of the window. FALSE with ERROR_INVALID_WINDOW_HANDLE,
// ERROR_ACCESS_DENIED or ERROR_INVALID_PARAMETER (no such timer).
BOOL killTimer(HWND hwnd, UINT_PTR id);

// Handles every message and event waiting for the calling thread, then
// returns; for long loops on a UI thread that must keep its windows alive.
void pumpMessages();

// Ends the calling thread's event loop with `exitCode` (the application's
// loop on the UI thread).
void postQuitMessage(int exitCode);

// The message queue of one thread, the target of thread messages. The UI
// thread's object and every worker's object are found with current() on
// that thread; the UI thread's also with ui() from anywhere.
class ThreadObject {
public:
    using Handler = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)>;

    // Object of the calling thread, created on first use and destroyed when
    // the thread ends.
    static ThreadObject *current();
    // Object of the thread of the Qt application object (the UI thread).
    static ThreadObject *ui();

    // Installs the handler that receives the thread messages (callable from
    // any thread; it runs on the object's thread).
    void setHandler(Handler handler);

    QThread *thread() const;

    ThreadObject(const ThreadObject &) = delete;
    ThreadObject &operator=(const ThreadObject &) = delete;

private:
    friend struct ThreadObjectAccess;
    ThreadObject();
    ~ThreadObject();
    struct Impl;
    Impl *m_impl;
};

// Queues a thread message for `thread`. TRUE when queued; FALSE with
// ERROR_INVALID_THREAD_ID for a null or ended thread object. A message that
// arrives while the thread has no handler is logged and dropped.
BOOL postThreadMessage(ThreadObject *thread, UINT msg, WPARAM wParam, LPARAM lParam);

} // namespace plat
