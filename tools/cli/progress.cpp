#include "progress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <cstdio>

namespace brx {

namespace {

constexpr int kTotalBar = 1000;
constexpr int kStatus = 1002;
constexpr int kWidth = 100;

int percentOf(const QProgressBar *bar)
{
    const long long span = static_cast<long long>(bar->maximum()) - bar->minimum();
    if (span <= 0)
        return 0;
    return static_cast<int>((static_cast<long long>(bar->value()) - bar->minimum()) * 100 / span);
}

} // namespace

StderrProgress::StderrProgress(bool enabled)
{
    if (!enabled)
        return;
    connect(&m_timer, &QTimer::timeout, this, &StderrProgress::tick);
    m_timer.start(200);
}

StderrProgress::~StderrProgress()
{
    m_timer.stop();
    if (m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void StderrProgress::tick()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        const auto *bar = window->findChild<QProgressBar *>(QString::number(kTotalBar));
        if (!bar)
            continue;
        const auto *status = window->findChild<QLabel *>(QString::number(kStatus));
        QString line = QStringLiteral("%1 %2%").arg(window->windowTitle()).arg(percentOf(bar), 3);
        if (status && !status->text().isEmpty())
            line += QStringLiteral(" ") + status->text();
        if (line.size() > kWidth)
            line = line.left(kWidth - 3) + QStringLiteral("...");
        std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
        std::fflush(stderr);
        m_shown = true;
        return;
    }
}

} // namespace brx
