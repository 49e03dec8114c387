#pragma once

// The progress window (dialog 129): a modeless dialog on the GUI thread that
// workers drive with the WM_PROGRESS_* messages.

#include "framework/dialog.h"
#include "platform/messages.h"

#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

// Internal message of InitProgress: lParam points to a ProgressInitArgs.
constexpr plat::UINT WM_PROGRESS_INIT_PRIVATE = plat::WM_USER + 0x101;

struct ProgressInitArgs {
    int totalMin, totalMax, fileMin, fileMax;
    const char *title;
};

class CProgressDlg : public framework::CDialogBase {
    Q_OBJECT
public:
    CProgressDlg(int operation, plat::HWND owner);

    plat::LRESULT windowProc(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam);

protected:
    void onCommand(int id) override;
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildLayout();
    void initProgress(const ProgressInitArgs &args);
    plat::LRESULT onStep(long long filePos, long long entry);
    void setTotalRange(long long min, long long max);
    void setFileRange(long long min, long long max);
    void onFileName(const char *text, long long entry);
    void onCloseBox();
    void cancelRequest();
    bool queryEndSession();
    void setStatus(const QString &text);
    void destroySelf();
    // Shows a message box owned by the window; false when the window was
    // closed meanwhile (it is then gone and must not be touched).
    bool ask(unsigned id, unsigned style, int *answer);

    int m_operation;
    QPointer<QWidget> m_owner;
    bool m_cancel = false;
    bool m_finished = false;
    int m_openQuestions = 0;
    bool m_deletePending = false;
    long long m_totalMin = 0, m_totalMax = 0;
    long long m_fileMin = 0, m_fileMax = 0;
    long long m_lastFilePos = -1, m_lastEntry = -1;

    QLabel *m_status = nullptr;
    QProgressBar *m_fileBar = nullptr;
    QProgressBar *m_totalBar = nullptr;
    QLabel *m_filePercent = nullptr;
    QLabel *m_totalPercent = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
