#include "mail.h"

#include "compress_strings.h"
#include "platform/mapi.h"
#include "platform/modal.h"
#include "platform/module.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <mutex>
#include <vector>

namespace {

// The mail module stays loaded until the process ends: the mail program may
// still be reading the attachments when the library is done.
plat::MapiSendMailFn sendMailFunction()
{
    static std::once_flag once;
    static plat::MapiSendMailFn function = nullptr;
    std::call_once(once, [] {
        if (plat::HMODULE module = plat::loadLibrary(plat::kMailModuleName))
            function = plat::getProc<plat::MapiSendMailFn>(module, plat::kSendMailExport);
    });
    return function;
}

// Runs `work` on the thread of `owner` (widgets may be touched only there).
template <typename Fn> void onOwnerThread(QObject *owner, Fn work)
{
    if (!owner || owner->thread() == QThread::currentThread())
        work();
    else
        QMetaObject::invokeMethod(owner, work, Qt::BlockingQueuedConnection);
}

// The send dialog is modal to the owner: the owner stays disabled and
// without focus while the mail program has the user, and so do the other
// windows of the application (a modeless window could otherwise start
// another operation on the archive being mailed).
struct MailModality {
    QPointer<QWidget> owner;
    std::vector<QPointer<QWidget>> disabled; // windows this step disabled
};

MailModality beginMailModal(plat::HWND hwnd)
{
    MailModality state;
    auto *widget = qobject_cast<QWidget *>(hwnd);
    if (!widget)
        return state;
    state.owner = widget;
    onOwnerThread(widget, [&state, widget] {
        if (QWidget *focus = QApplication::focusWidget())
            focus->clearFocus();
        widget->setEnabled(false);
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window != widget->window() && window->isVisible() && window->isEnabled()) {
                window->setEnabled(false);
                state.disabled.emplace_back(window);
            }
    });
    return state;
}

void endMailModal(MailModality &state)
{
    QWidget *widget = state.owner;
    if (!widget)
        return;
    onOwnerThread(widget, [&state, widget] {
        for (const QPointer<QWidget> &window : state.disabled)
            if (window)
                window->setEnabled(true);
        widget->setEnabled(true);
        widget->activateWindow();
        widget->setFocus();
    });
}

} // namespace

void mailFiles(const std::vector<std::string> &paths, plat::HWND owner)
{
    plat::MapiSendMailFn sendMail = sendMailFunction();
    if (!sendMail)
        return;
    // The descriptors point into copies that live until the call returns.
    std::vector<std::string> names(paths);
    std::vector<plat::MapiFileDesc> files(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        files[i].reserved = 0;
        files[i].flags = 0;
        files[i].position = ~plat::MAPI_ULONG{0};
        files[i].pathName = names[i].data();
        files[i].fileName = names[i].data();
        files[i].fileType = nullptr;
    }
    plat::MapiMessage message{};
    message.fileCount = static_cast<plat::MAPI_ULONG>(files.size());
    message.files = files.empty() ? nullptr : files.data();

    MailModality modality = beginMailModal(owner);
    const plat::MAPI_ULONG result = sendMail(0, reinterpret_cast<std::uintptr_t>(owner), &message,
                                             plat::MAPI_LOGON_UI | plat::MAPI_DIALOG, 0);
    endMailModal(modality);

    if (result == plat::SUCCESS_SUCCESS || result == plat::MAPI_USER_ABORT ||
        result == plat::MAPI_E_LOGON_FAILURE)
        return;
    plat::messageBoxId(owner, kCompressModule, IDS_SEND_MAIL_FAILED,
                       compressString(IDS_PRODUCT_NAME), plat::MB_OK | plat::MB_ICONSTOP);
}
