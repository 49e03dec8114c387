#include "progress_dialog.h"

#include "brxutil.h"
#include "framework/gui.h"
#include "msg_strings.h"
#include "path_label.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

int clampToInt(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

// A range of zero width would divide by zero; such a bar shows 0 %.
long long percentOf(long long value, long long span)
{
    return span == 0 ? 0 : value * 100 / span;
}

QString withCommas(long long value)
{
    const unsigned long n = value < 0 ? 0 : static_cast<unsigned long>(value);
    return QString::fromUtf8(FormatComma(&n));
}

} // namespace

CProgressDlg::CProgressDlg(int operation, plat::HWND owner)
    : CDialogBase(kMsgModule, IDD_PROGRESS), m_operation(operation),
      m_owner(framework::widgetFromHandle(owner))
{
    setWindowTitle(msgText(IDS_PROGRESS_CAPTION));
    setWindowIcon(QIcon(QStringLiteral(":/brxmsg/icon128.png")));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildLayout();
    framework::makePlatformWindow(this, [this](plat::UINT msg, plat::WPARAM w, plat::LPARAM l) {
        return windowProc(msg, w, l);
    });
    framework::setTransientOwner(this, owner);
}

void CProgressDlg::buildLayout()
{
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/brxmsg/icon128.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    // The file name line may be far wider than the window: it is shortened
    // in the middle, where a path can best spare characters.
    m_status = setControlId(
        new PathLabel(PathLabel::Mode::ElideLines, msgText(IDS_PLEASE_WAIT), this), IDC_STATUS);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_status->setFixedHeight(m_status->fontMetrics().lineSpacing() * 2 + 2);

    auto makeBar = [this](int id, unsigned tip) {
        auto *bar = setControlId(new QProgressBar(this), id);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setFixedHeight(18);
        setToolTipId(bar, tip);
        return bar;
    };
    auto makePercent = [this](int id) {
        auto *label = setControlId(new QLabel(msgText(IDS_PROGRESS_ZERO), this), id);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 6);
        return label;
    };
    m_fileBar = makeBar(IDC_FILE_BAR, IDS_TIP_FILE);
    m_totalBar = makeBar(IDC_TOTAL_BAR, IDS_TIP_TOTAL);
    m_filePercent = makePercent(IDC_FILE_PERCENT);
    m_totalPercent = makePercent(IDC_TOTAL_PERCENT);

    m_cancelButton = addButton(plat::IDCANCEL, msgText(IDS_PROGRESS_CANCEL));
    setToolTipId(m_cancelButton, IDS_TIP_CANCEL);
    m_cancelButton->setMinimumWidth(88);

    auto *top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(m_status, 1);

    auto *bars = new QGridLayout;
    bars->setHorizontalSpacing(8);
    bars->setVerticalSpacing(8);
    bars->addWidget(new QLabel(msgText(IDS_PROGRESS_FILE), this), 0, 0);
    bars->addWidget(m_fileBar, 0, 1);
    bars->addWidget(m_filePercent, 0, 2);
    bars->addWidget(new QLabel(msgText(IDS_PROGRESS_TOTAL), this), 1, 0);
    bars->addWidget(m_totalBar, 1, 1);
    bars->addWidget(m_totalPercent, 1, 2);
    bars->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(12);
    layout->addLayout(top);
    layout->addLayout(bars);
    layout->addLayout(buttons);
    setFixedSize(420, sizeHint().height());
}

plat::LRESULT CProgressDlg::windowProc(plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam)
{
    switch (msg) {
    case plat::WM_PROGRESS_STEP: return onStep(static_cast<long long>(wParam), lParam);
    case plat::WM_PROGRESS_TOTAL_RANGE:
        if (!m_finished)
            setTotalRange(static_cast<long long>(wParam), lParam);
        return 0;
    case plat::WM_PROGRESS_FILE_RANGE:
        if (!m_finished)
            setFileRange(static_cast<long long>(wParam), lParam);
        return 0;
    case plat::WM_PROGRESS_FILE_NAME:
        if (!m_finished)
            onFileName(reinterpret_cast<const char *>(static_cast<std::uintptr_t>(wParam)), lParam);
        return 0;
    case plat::WM_PROGRESS_QUERY_CANCEL: return m_cancel ? 1 : 0;
    case plat::WM_PROGRESS_CLOSE: destroySelf(); return 0;
    case plat::WM_PROGRESS_DONE:
        m_finished = true;
        m_cancelButton->setEnabled(false);
        return 0;
    case WM_PROGRESS_INIT_PRIVATE:
        if (lParam)
            initProgress(*reinterpret_cast<const ProgressInitArgs *>(lParam));
        return 1;
    case plat::WM_CLOSE: onCloseBox(); return 0;
    case framework::WM_QUERYENDSESSION: return queryEndSession() ? 1 : 0;
    case framework::WM_ENDSESSION:
        if (wParam)
            cancelRequest();
        return 0;
    default: return 0;
    }
}

void CProgressDlg::initProgress(const ProgressInitArgs &args)
{
    setTotalRange(args.totalMin, args.totalMax);
    setFileRange(args.fileMin, args.fileMax);
    m_totalBar->setValue(std::max(m_totalBar->minimum(), 0));
    setWindowTitle(QString::fromUtf8(args.title ? args.title : ""));
    setStatus(msgText(IDS_PLEASE_WAIT));
}

plat::LRESULT CProgressDlg::onStep(long long filePos, long long entry)
{
    if (m_finished)
        return 0;
    if (filePos == m_lastFilePos && entry == m_lastEntry)
        return 1;
    m_lastFilePos = filePos;
    m_lastEntry = entry;

    const QString fileText = QString::number(percentOf(filePos, m_fileMax - m_fileMin)) + '%';
    if (m_filePercent->text() != fileText)
        m_filePercent->setText(fileText);
    m_fileBar->setValue(clampToInt(filePos));

    const long long totalPos = std::max(0LL, filePos + 100 * (entry - 1));
    const QString totalText =
        QString::number(percentOf(totalPos, m_totalMax - m_totalMin) / 100) + '%';
    if (m_totalPercent->text() != totalText)
        m_totalPercent->setText(totalText);
    m_totalBar->setValue(clampToInt(totalPos));
    return 1;
}

void CProgressDlg::setTotalRange(long long min, long long max)
{
    m_totalMin = min;
    m_totalMax = max;
    m_totalBar->setRange(clampToInt(min * 100), clampToInt(max * 100));
}

void CProgressDlg::setFileRange(long long min, long long max)
{
    m_fileMin = min;
    m_fileMax = max;
    m_fileBar->setRange(clampToInt(min), clampToInt(max));
}

void CProgressDlg::onFileName(const char *text, long long entry)
{
    const QString name = QString::fromUtf8(text ? text : "");
    if (entry <= 0) {
        setStatus(name);
        return;
    }
    const unsigned id = m_operation == 2   ? IDS_EXTRACTING_FILE
                        : m_operation == 3 ? IDS_TESTING_FILE
                                           : IDS_COMPRESSING_FILE;
    const std::string entryText = withCommas(entry).toStdString();
    const std::string totalText = withCommas(m_totalMax).toStdString();
    setStatus(QString::fromStdString(
        plat::formatText(msgString(id), entryText, totalText, name.toStdString())));
}

void CProgressDlg::setStatus(const QString &text)
{
    if (m_status->text().compare(text, Qt::CaseInsensitive) != 0)
        m_status->setText(text);
}

void CProgressDlg::cancelRequest()
{
    if (m_finished || m_cancel)
        return;
    m_cancel = true;
    m_cancelButton->setEnabled(false);
    setStatus(msgText(IDS_CANCELLING));
}

void CProgressDlg::onCommand(int id)
{
    if (id == plat::IDCANCEL)
        cancelRequest();
}

void CProgressDlg::reject()
{
    // Escape is the Cancel button, and only while that is enabled.
    if (m_cancelButton->isEnabled())
        cancelRequest();
}

void CProgressDlg::closeEvent(QCloseEvent *event)
{
    // The window goes away only through WM_PROGRESS_CLOSE.
    event->ignore();
    onCloseBox();
}

void CProgressDlg::onCloseBox()
{
    if (m_cancel || m_finished)
        return;
    int answer = 0;
    if (ask(IDS_CLOSE_QUESTION, plat::MB_YESNO | plat::MB_ICONQUESTION, &answer) &&
        answer == plat::IDYES)
        cancelRequest();
}

bool CProgressDlg::queryEndSession()
{
    // A test run leaves nothing half-written behind.
    if (m_operation == 3)
        return true;
    int answer = 0;
    ask(m_operation == 2 ? IDS_SHUTDOWN_EXTRACT : IDS_SHUTDOWN_COMPRESS,
        plat::MB_OK | plat::MB_ICONEXCLAMATION, &answer);
    return false;
}

bool CProgressDlg::ask(unsigned id, unsigned style, int *answer)
{
    ++m_openQuestions;
    *answer = plat::messageBox(this, plat::ModalText{kMsgModule, id, msgString(id)},
                               msgString(IDS_PRODUCT_NAME), style);
    --m_openQuestions;
    if (m_deletePending) {
        if (m_openQuestions == 0)
            deleteLater();
        return false;
    }
    return true;
}

void CProgressDlg::destroySelf()
{
    // The operation may end while a question of this window is open; the
    // object then goes once the question has returned.
    plat::destroyWindow(this);
    hide();
    if (m_openQuestions > 0)
        m_deletePending = true;
    else
        deleteLater();
}
