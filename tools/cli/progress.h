#pragma once

// Progress on standard error while an operation runs: the libraries drive
// their (off-screen) progress window, and this reads its title, bar and
// status line a few times a second and writes them as one updating line.

#include <QObject>
#include <QTimer>

namespace brx {

class StderrProgress : public QObject {
public:
    // Does nothing unless `enabled` (standard error is a terminal).
    explicit StderrProgress(bool enabled);
    ~StderrProgress() override;

private:
    void tick();
    QTimer m_timer;
    bool m_shown = false;
};

} // namespace brx
