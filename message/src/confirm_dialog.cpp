#include "confirm_dialog.h"

#include "brxmsg.h"
#include "brxutil.h"
#include "framework/gui.h"
#include "msg_strings.h"
#include "path_label.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/strings.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QVBoxLayout>

#include <cstring>

namespace {

constexpr int kIconSize = 32;
constexpr int kQuestionWidth = 440; // widest the question is laid out

QString timeFormatWithoutSeconds()
{
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    // Short formats rarely show seconds, but some locales do; drop them with
    // the separator before them.
    static const QRegularExpression seconds(QStringLiteral("[:.]?s{1,2}"));
    format.remove(seconds);
    return format.trimmed();
}

QString formatLocal(const QDateTime &when)
{
    const QLocale locale;
    return locale.toString(when.date(), QLocale::ShortFormat) + ' ' +
           locale.toString(when.time(), timeFormatWithoutSeconds());
}

QString sizeText(unsigned long size)
{
    return QString::fromStdString(
        plat::formatText(msgString(IDS_BYTES), std::string(FormatComma(&size))));
}

QLabel *readOnlyText(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setToolTip(text);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

QString CConfirmReplaceDlg::localDateTime(const char *dateTime)
{
    const QString text = QString::fromUtf8(dateTime ? dateTime : "");
    static const QRegularExpression shape(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{1,4})\\s+(\\d{1,2}):(\\d{1,2})"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return text;
    const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), 0);
    if (!date.isValid() || !time.isValid())
        return text;
    return formatLocal(QDateTime(date, time));
}

QIcon CConfirmReplaceDlg::fileTypeIcon(const QString &hostPathOrName)
{
    const QMimeDatabase db;
    const QFileInfo info(hostPathOrName);
    const QMimeType type = info.exists()
                               ? db.mimeTypeForFile(info)
                               : db.mimeTypeForFile(hostPathOrName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

QString CConfirmReplaceDlg::existingSizeText(const char *path, QString *dateText,
                                             QString *hostPath) const
{
    // Without the file there is nothing to describe: both texts stay empty.
    plat::WIN32_FIND_DATA data;
    plat::HANDLE search = plat::findFirstFile(path, &data);
    if (search == plat::INVALID_HANDLE_VALUE)
        return {};
    plat::findClose(search);
    if (auto host = plat::windowsToHostPath(path))
        *hostPath = QString::fromStdString(*host);
    std::int64_t seconds = 0;
    long nanoseconds = 0;
    plat::fileTimeToUnix(data.ftLastWriteTime, &seconds, &nanoseconds);
    const QDateTime when = QDateTime::fromSecsSinceEpoch(seconds).toLocalTime();
    const QLocale locale;
    *dateText = QString::fromStdString(
        plat::formatText(msgString(IDS_MODIFIED_ON_DATE_TIME),
                         locale.toString(when.date(), QLocale::ShortFormat).toStdString(),
                         locale.toString(when.time(), timeFormatWithoutSeconds()).toStdString()));
    const unsigned long size =
        (static_cast<unsigned long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return sizeText(size);
}

CConfirmReplaceDlg::CConfirmReplaceDlg(const char *path, const ZIPINFOEX *entry, QWidget *parent)
    : CDialogBase(kMsgModule, IDD_CONFIRM_REPLACE, parent)
{
    setWindowTitle(msgText(IDS_CONFIRM_CAPTION));
    setWindowIcon(QIcon(QStringLiteral(":/brxmsg/icon128.png")));
    const std::string safePath = path ? path : "";

    QString existingDate, hostPath;
    const QString existingSize = existingSizeText(safePath.c_str(), &existingDate, &hostPath);
    const QIcon icon =
        fileTypeIcon(hostPath.isEmpty() ? QString::fromStdString(safePath) : hostPath);

    QString entrySize, entryDate;
    if (entry) {
        entrySize = sizeText(static_cast<std::uint32_t>(entry->uncompressedSize));
        char dateTime[kEntryDateTimeSize + 1] = {};
        std::memcpy(dateTime, entry->dateTime, kEntryDateTimeSize);
        entryDate = QString::fromStdString(
            plat::formatText(msgString(IDS_MODIFIED_ON), localDateTime(dateTime).toStdString()));
    }

    auto *question = new QLabel(this);
    question->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(kIconSize));
    question->setAlignment(Qt::AlignTop);

    // A long path breaks where it must instead of widening the dialog.
    const QString questionText =
        QString::fromStdString(plat::formatText(msgString(IDS_FILE_EXISTS), safePath));
    auto *exists = setControlId(
        new PathLabel(PathLabel::Mode::WrapAnywhere, questionText, this, kQuestionWidth),
        IDC_QUESTION);
    exists->setToolTip(questionText);
    QFont bold = exists->font();
    bold.setBold(true);
    exists->setFont(bold);

    auto fileBlock = [this, &icon](int iconId, int sizeId, const QString &size, int dateId,
                                   const QString &date) {
        auto *grid = new QGridLayout;
        grid->setContentsMargins(24, 0, 0, 0);
        grid->setHorizontalSpacing(12);
        grid->setVerticalSpacing(2);
        auto *iconLabel = setControlId(new QLabel(this), iconId);
        iconLabel->setPixmap(icon.pixmap(kIconSize));
        iconLabel->setFixedSize(kIconSize, kIconSize);
        grid->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);
        grid->addWidget(setControlId(readOnlyText(this, size), sizeId), 0, 1);
        grid->addWidget(setControlId(readOnlyText(this, date), dateId), 1, 1);
        grid->setColumnStretch(1, 1);
        return grid;
    };

    auto *text = new QVBoxLayout;
    text->setSpacing(10);
    text->addWidget(exists);
    text->addWidget(new QLabel(msgText(IDS_CONFIRM_REPLACE), this));
    text->addLayout(fileBlock(IDC_EXISTING_ICON, IDC_EXISTING_SIZE, existingSize, IDC_EXISTING_DATE,
                              existingDate));
    text->addWidget(new QLabel(msgText(IDS_CONFIRM_WITH_THIS), this));
    text->addLayout(
        fileBlock(IDC_ENTRY_ICON, IDC_ENTRY_SIZE, entrySize, IDC_ENTRY_DATE, entryDate));

    auto *top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(question, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    struct ButtonDef {
        int id;
        unsigned text;
        unsigned tip;
    };
    const ButtonDef defs[] = {{plat::IDYES, IDS_CONFIRM_YES, IDS_TIP_YES},
                              {IDC_YES_TO_ALL, IDS_CONFIRM_YES_TO_ALL, IDS_TIP_YES_TO_ALL},
                              {plat::IDNO, IDS_CONFIRM_NO, IDS_TIP_NO},
                              {IDC_NO_TO_ALL, IDS_CONFIRM_NO_TO_ALL, IDS_TIP_NO_TO_ALL},
                              {plat::IDCANCEL, IDS_CONFIRM_CANCEL, 0}};
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (const ButtonDef &def : defs) {
        QPushButton *button = addButton(def.id, msgText(def.text));
        button->setMinimumWidth(84);
        if (def.tip)
            setToolTipId(button, def.tip);
        if (def.id == plat::IDYES) {
            button->setDefault(true);
            button->setFocus();
        }
        buttons->addWidget(button);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(520);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int confirmAnswer(int button)
{
    switch (button) {
    case plat::IDYES: return 0;
    case IDC_YES_TO_ALL: return 1;
    case plat::IDNO: return 2;
    case IDC_NO_TO_ALL: return 3;
    default: return 4;
    }
}

int Confirm(const char *path, const ZIPINFOEX *entry, HWND owner)
{
    framework::installGuiPresenter();
    const int button =
        framework::doModalOnUiThread(owner, kMsgModule, IDD_CONFIRM_REPLACE, [&](QWidget *parent) {
            return std::make_unique<CConfirmReplaceDlg>(path, entry, parent);
        });
    return confirmAnswer(button);
}
