#pragma once

// Helpers shared by the message library's tests.

#include "platform/path.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

// Readable QString values in assertion messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace msgtest {

// Windows path of a host path (the default drive table maps C: to /).
inline std::string winPath(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or(std::string());
}

// Keeps the GUI thread answering until `done` or a time limit.
inline bool pumpUntil(const std::function<bool()> &done, int ms = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Saves a picture of a window into the build folder (never into the sources).
inline void saveScreenshot(QWidget *window, const char *name)
{
    QDir dir(QCoreApplication::applicationDirPath());
    dir.mkpath(QStringLiteral("screenshots"));
    window->grab().save(dir.filePath(QStringLiteral("screenshots/") + name));
}

} // namespace msgtest
