#include "interrupt.h"

#include "platform/messages.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <unistd.h>

namespace brx {

namespace {

volatile std::sig_atomic_t g_requests = 0;

void onSignal(int)
{
    if (g_requests > 0)
        _exit(130);
    g_requests = 1;
}

void closeProgressWindows()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->findChild<QProgressBar *>(QStringLiteral("1000")))
            plat::postMessage(window, plat::WM_CLOSE, 0, 0);
}

} // namespace

void installInterruptHandling()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    auto *watcher = new QTimer(qApp);
    QObject::connect(watcher, &QTimer::timeout, [] {
        static bool sent = false;
        if (g_requests > 0 && !sent) {
            sent = true;
            closeProgressWindows();
        }
    });
    watcher->start(100);
}

bool interruptRequested()
{
    return g_requests > 0;
}

} // namespace brx
