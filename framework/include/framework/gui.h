#pragma once

// The framework's links to the desktop: the GUI presenter of the modal-UI
// gateway, running work on the user-interface thread, and turning widgets
// into platform windows that receive the system's messages.

#include "platform/messages.h"
#include "platform/modal.h"

#include <functional>

class QWidget;

namespace framework {

using plat::LPARAM;
using plat::LRESULT;
using plat::UINT;
using plat::WPARAM;

// Standard messages the framework delivers from Qt's session management to
// every window made with makePlatformWindow: the desktop asks whether the
// session may end (result nonzero: yes), then tells whether it really ends
// (wParam nonzero).
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_ENDSESSION = 0x0016;

// True when the process has a QApplication (widgets can be shown).
bool hasGui();

// Installs the message-box presenter of the modal-UI gateway (a QMessageBox
// with the style's buttons, icon and default button) when the process has a
// QApplication, and points the icon theme at a fallback the desktop may lack.
// Idempotent. Returns true when a presenter is installed. A responder set
// with plat::setModalResponder still answers first.
bool installGuiPresenter();

// The presenter itself, for callers that chain presenters: shows the box on
// the calling thread (must be the GUI thread) and returns IDOK ... IDNO.
int presentMessageBox(const plat::ModalRequest &request);

// Runs `fn` on the GUI thread and waits for it; runs it directly when called
// there or when the process has no application object. Returns false when
// the call could not be delivered.
bool runOnUiThread(const std::function<void()> &fn);

// The widget behind a window handle, or null when `hwnd` is no live window or
// not a widget. Call on the GUI thread.
QWidget *widgetFromHandle(plat::HWND hwnd);

// Makes `widget` a platform window handled by `proc` (see
// plat::attachWindowProc): posted and sent messages reach it on the GUI
// thread, WM_QUERYENDSESSION / WM_ENDSESSION reach it from the desktop's
// session manager. The widget stays owned by its Qt parent or creator.
// Returns the handle (the widget itself), null for a null widget or proc.
plat::HWND makePlatformWindow(QWidget *widget, plat::WindowProc proc);

// Puts a top-level widget above its owner's window without making it a Qt
// child (a disabled owner would otherwise disable it too).
void setTransientOwner(QWidget *window, plat::HWND owner);

} // namespace framework
