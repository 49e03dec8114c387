#pragma once

// The modal-UI gateway. Every message box and modal dialog of the system goes
// through here, so that a test or the command-line front end can answer it
// (by string or dialog number, choosing a button and filling fields) and so
// that nothing else ever blocks on a person.
//
// Who answers, in this order:
//  1. the responder installed with setModalResponder;
//  2. in a GUI process, the real UI: message boxes through the presenter a
//     widgets-level module installs with setMessageBoxPresenter (the platform
//     links only QtCore), dialogs through the caller's own run function;
//  3. otherwise the default answer (defaultModalAnswer), logged; it never
//     waits for input.
//
// Threads: the request is answered on the thread of the owner window, or of
// the Qt application object when there is no owner. A worker asking for
// modal UI waits until that thread has answered, so that thread must be
// running its event loop and must not be waiting for the worker.

#include "platform/messages.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace plat {

// Message box styles: buttons (low four bits).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
// Icons.
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0xF0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;
// Modality and placement.
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr DWORD ERROR_INVALID_MSGBOX_STYLE = 1438;

enum class ModalKind { MessageBox, Dialog };

// One request for modal UI as a responder sees it.
struct ModalRequest {
    ModalKind kind = ModalKind::MessageBox;
    HWND owner = nullptr;
    std::string module; // deliverable whose string table or dialog it comes from, when known
    UINT id = 0;        // string number (message box) or dialog number; 0 when unknown
    std::string text;   // the formatted text of a message box
    std::string caption;
    UINT style = 0; // MB_* of a message box
    // Dialogs: the controls' texts when the dialog opens, by control number.
    std::map<int, std::string> fields;
};

// The answer: the button (IDOK, IDYES ... or a dialog's button number) and,
// for dialogs, the texts to put into controls before the button is pressed.
struct ModalAnswer {
    int button = 0;
    std::map<int, std::string> fields;
};

using ModalResponder = std::function<ModalAnswer(const ModalRequest &)>;

// Installs the process-wide responder (empty: none). Returns the previous one.
ModalResponder setModalResponder(ModalResponder responder);

// Shows a real message box and returns its answer; installed by the GUI layer.
using MessageBoxPresenter = std::function<int(const ModalRequest &)>;

// Installs the GUI presenter (empty: none, the process has no GUI). Returns
// the previous one. Its presence also tells runModalDialog that dialogs may
// be shown.
MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter presenter);

// The answer given when nobody can be asked: IDOK for MB_OK, IDCANCEL for
// OK/Cancel, Yes/No/Cancel and Retry/Cancel, IDNO for Yes/No, IDABORT for
// Abort/Retry/Ignore; IDCANCEL for dialogs.
int defaultModalAnswer(const ModalRequest &request);

// Text of a message box together with the string number it came from.
struct ModalText {
    std::string module;
    UINT id = 0;
    std::string text; // already formatted
};

// Shows a message box. Returns the answer (IDOK ...). Failure: 0 with
// ERROR_INVALID_WINDOW_HANDLE (owner given but not a window) or
// ERROR_INVALID_MSGBOX_STYLE (unknown button set).
int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT style);

// The same, telling the responder which string the text came from.
int messageBox(HWND owner, const ModalText &text, std::string_view caption, UINT style);

// Message box with the text of string `textId` of `module` as it stands.
int messageBoxId(HWND owner, const char *module, UINT textId, std::string_view caption, UINT style);

// Runs a modal dialog through the gateway on the owner's thread. `run` shows
// the real dialog when given a null answer and returns its result; given a
// responder's answer it must put the answer's fields into the controls, press
// the answer's button without waiting for a person, and return the result.
// Without responder and without GUI the default answer is returned and `run`
// is not called. `request.kind` is set to Dialog. Failure: 0 with
// ERROR_INVALID_WINDOW_HANDLE (owner given but not a window) or
// ERROR_INVALID_PARAMETER (no run function).
int runModalDialog(HWND owner, ModalRequest request,
                   const std::function<int(const ModalAnswer *scripted)> &run);

} // namespace plat
