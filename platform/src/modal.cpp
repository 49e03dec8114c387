#include "platform/modal.h"

#include "dispatch_p.h"
#include "messages_p.h"
#include "platform/errors.h"
#include "platform/strings.h"

#include <QCoreApplication>
#include <QThread>
#include <QtGlobal>

#include <memory>
#include <mutex>

namespace plat {
namespace {

std::mutex g_mutex;
std::shared_ptr<const ModalResponder> g_responder;
std::shared_ptr<const MessageBoxPresenter> g_presenter;

std::shared_ptr<const ModalResponder> responder()
{
    std::lock_guard lock(g_mutex);
    return g_responder;
}

std::shared_ptr<const MessageBoxPresenter> presenter()
{
    std::lock_guard lock(g_mutex);
    return g_presenter;
}

const char *kindName(ModalKind kind)
{
    return kind == ModalKind::Dialog ? "dialog" : "message box";
}

void logDefault(const ModalRequest &request, int answer)
{
    qWarning("nobody to answer %s %u (%s) \"%s\": answered %d", kindName(request.kind), request.id,
             request.module.c_str(),
             request.text.empty() ? request.caption.c_str() : request.text.c_str(), answer);
}

// Runs `fn` where modal UI for `owner` belongs: the owner's thread, or the
// application's thread without an owner. False when the owner is no window.
bool onUiThreadOf(HWND owner, const std::function<void()> &fn)
{
    if (owner)
        return detail::callOnWindowThread(owner, fn) == detail::CallResult::Ran;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() == QThread::currentThread()) {
        fn();
        return true;
    }
    // The application object outlives every request; the lock only satisfies
    // the interface.
    std::mutex dummy;
    std::unique_lock lock(dummy);
    return detail::callAndWait(app, fn, lock);
}

int answerMessageBox(const ModalRequest &request)
{
    if ((request.style & MB_TYPEMASK) > MB_RETRYCANCEL) {
        setLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    int answer = 0;
    const bool ran = onUiThreadOf(request.owner, [&] {
        if (auto r = responder()) {
            answer = (*r)(request).button;
        } else if (auto p = presenter()) {
            answer = (*p)(request);
        } else {
            answer = defaultModalAnswer(request);
            logDefault(request, answer);
        }
    });
    if (!ran) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return answer;
}

} // namespace

ModalResponder setModalResponder(ModalResponder responder)
{
    auto shared =
        responder ? std::make_shared<const ModalResponder>(std::move(responder)) : nullptr;
    std::lock_guard lock(g_mutex);
    std::swap(g_responder, shared);
    return shared ? *shared : ModalResponder{};
}

MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter presenter)
{
    auto shared =
        presenter ? std::make_shared<const MessageBoxPresenter>(std::move(presenter)) : nullptr;
    std::lock_guard lock(g_mutex);
    std::swap(g_presenter, shared);
    return shared ? *shared : MessageBoxPresenter{};
}

int defaultModalAnswer(const ModalRequest &request)
{
    if (request.kind == ModalKind::Dialog)
        return IDCANCEL;
    switch (request.style & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;
    }
}

int messageBox(HWND owner, std::string_view text, std::string_view caption, UINT style)
{
    return messageBox(owner, ModalText{{}, 0, std::string(text)}, caption, style);
}

int messageBox(HWND owner, const ModalText &text, std::string_view caption, UINT style)
{
    ModalRequest request;
    request.kind = ModalKind::MessageBox;
    request.owner = owner;
    request.module = text.module;
    request.id = text.id;
    request.text = text.text;
    request.caption = std::string(caption);
    request.style = style;
    return answerMessageBox(request);
}

int messageBoxId(HWND owner, const char *module, UINT textId, std::string_view caption, UINT style)
{
    return messageBox(owner, ModalText{module ? module : "", textId, loadString(module, textId)},
                      caption, style);
}

int runModalDialog(HWND owner, ModalRequest request,
                   const std::function<int(const ModalAnswer *scripted)> &run)
{
    if (!run) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    request.kind = ModalKind::Dialog;
    request.owner = owner;
    int result = 0;
    const bool ran = onUiThreadOf(owner, [&] {
        if (auto r = responder()) {
            const ModalAnswer answer = (*r)(request);
            result = run(&answer);
        } else if (presenter()) {
            result = run(nullptr);
        } else {
            result = defaultModalAnswer(request);
            logDefault(request, result);
        }
    });
    if (!ran) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return result;
}

} // namespace plat
