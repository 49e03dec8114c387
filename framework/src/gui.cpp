#include "framework/gui.h"

#include "platform/modal.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSessionManager>
#include <QThread>
#include <QWindow>

#include <atomic>
#include <memory>

namespace framework {
namespace {

std::atomic<bool> g_presenterInstalled{false};

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonSpec> buttonsFor(plat::UINT style)
{
    using B = QMessageBox;
    switch (style & plat::MB_TYPEMASK) {
    case plat::MB_OKCANCEL: return {{B::Ok, plat::IDOK}, {B::Cancel, plat::IDCANCEL}};
    case plat::MB_ABORTRETRYIGNORE:
        return {{B::Abort, plat::IDABORT}, {B::Retry, plat::IDRETRY}, {B::Ignore, plat::IDIGNORE}};
    case plat::MB_YESNOCANCEL:
        return {{B::Yes, plat::IDYES}, {B::No, plat::IDNO}, {B::Cancel, plat::IDCANCEL}};
    case plat::MB_YESNO: return {{B::Yes, plat::IDYES}, {B::No, plat::IDNO}};
    case plat::MB_RETRYCANCEL: return {{B::Retry, plat::IDRETRY}, {B::Cancel, plat::IDCANCEL}};
    default: return {{B::Ok, plat::IDOK}};
    }
}

QMessageBox::Icon iconFor(plat::UINT style)
{
    switch (style & plat::MB_ICONMASK) {
    case plat::MB_ICONHAND: return QMessageBox::Critical;
    case plat::MB_ICONQUESTION: return QMessageBox::Question;
    case plat::MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case plat::MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Desktops without an icon theme of their own (or the offscreen platform)
// still find file-type icons in a theme that is commonly installed.
void ensureIconFallback()
{
    const QString fallback = QIcon::fallbackThemeName();
    if ((fallback.isEmpty() || fallback == QLatin1String("hicolor")) &&
        QDir(QStringLiteral("/usr/share/icons/Adwaita")).exists())
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

} // namespace

bool hasGui()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

int presentMessageBox(const plat::ModalRequest &request)
{
    // On the heap and watched: the owner may be destroyed while the box is
    // open, and with it the box as its child.
    QPointer<QMessageBox> box = new QMessageBox(widgetFromHandle(request.owner));
    box->setWindowTitle(QString::fromStdString(request.caption));
    box->setText(QString::fromStdString(request.text));
    box->setIcon(iconFor(request.style));
    const std::vector<ButtonSpec> specs = buttonsFor(request.style);
    std::vector<QPushButton *> buttons;
    for (const ButtonSpec &spec : specs)
        buttons.push_back(box->addButton(spec.button));
    const std::size_t defIndex = (request.style & plat::MB_DEFMASK) >> 8;
    box->setDefaultButton(buttons[defIndex < buttons.size() ? defIndex : 0]);
    if (request.style & (plat::MB_TOPMOST | plat::MB_SYSTEMMODAL))
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    if (request.style & plat::MB_SETFOREGROUND) {
        box->show();
        box->raise();
        box->activateWindow();
    }
    box->exec();
    int answer = plat::defaultModalAnswer(request);
    if (box) {
        QAbstractButton *clicked = box->clickedButton();
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (clicked == buttons[i])
                answer = specs[i].answer;
        delete box.data();
    }
    // Closed without a button (or with its owner): what Escape means on a
    // box of this kind.
    return answer;
}

bool installGuiPresenter()
{
    if (!hasGui())
        return false;
    if (!g_presenterInstalled.exchange(true)) {
        ensureIconFallback();
        plat::setMessageBoxPresenter(&presentMessageBox);
    }
    return true;
}

bool runOnUiThread(const std::function<void()> &fn)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() == QThread::currentThread()) {
        fn();
        return true;
    }
    return QMetaObject::invokeMethod(app, fn, Qt::BlockingQueuedConnection);
}

QWidget *widgetFromHandle(plat::HWND hwnd)
{
    if (!hwnd || !plat::isWindow(hwnd) || hwnd->thread() != QThread::currentThread())
        return nullptr;
    return qobject_cast<QWidget *>(hwnd);
}

plat::HWND makePlatformWindow(QWidget *widget, plat::WindowProc proc)
{
    if (!widget || !proc)
        return nullptr;
    plat::attachWindowProc(widget, std::move(proc));
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        // Whether this window agreed to the last end-of-session question.
        auto agreed = std::make_shared<bool>(false);
        QObject::connect(app, &QGuiApplication::commitDataRequest, widget,
                         [widget, agreed](QSessionManager &manager) {
                             manager.allowsInteraction();
                             *agreed = plat::sendMessage(widget, WM_QUERYENDSESSION, 0, 0) != 0;
                             if (!*agreed)
                                 manager.cancel();
                             manager.release();
                         });
        QObject::connect(app, &QCoreApplication::aboutToQuit, widget, [widget, agreed] {
            if (*agreed)
                plat::sendMessage(widget, WM_ENDSESSION, 1, 0);
        });
    }
    return widget;
}

void setTransientOwner(QWidget *window, plat::HWND owner)
{
    QWidget *ownerWidget = widgetFromHandle(owner);
    if (!window || !ownerWidget)
        return;
    window->winId();
    ownerWidget->window()->winId();
    if (QWindow *handle = window->windowHandle())
        handle->setTransientParent(ownerWidget->window()->windowHandle());
}

} // namespace framework
