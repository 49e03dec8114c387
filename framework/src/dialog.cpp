#include "framework/dialog.h"

#include "framework/gui.h"
#include "platform/errors.h"
#include "platform/strings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>

namespace framework {
namespace {

// Number of a control from its object name; false for unnumbered widgets.
bool controlNumber(const QWidget *widget, int *id)
{
    bool ok = false;
    const int value = widget->objectName().toInt(&ok);
    if (ok)
        *id = value;
    return ok;
}

QString fieldText(const QWidget *w)
{
    if (auto *label = qobject_cast<const QLabel *>(w))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(w))
        return edit->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->isCheckable() ? QString(button->isChecked() ? "1" : "0") : button->text();
    if (auto *combo = qobject_cast<const QComboBox *>(w))
        return combo->currentText();
    if (auto *plain = qobject_cast<const QPlainTextEdit *>(w))
        return plain->toPlainText();
    if (auto *rich = qobject_cast<const QTextEdit *>(w))
        return rich->toPlainText();
    if (auto *bar = qobject_cast<const QProgressBar *>(w))
        return QString::number(bar->value());
    return {};
}

void setFieldText(QWidget *w, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(w))
        label->setText(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        edit->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable())
        button->setChecked(text == "1");
    else if (auto *combo = qobject_cast<QComboBox *>(w))
        combo->setCurrentText(text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(w))
        plain->setPlainText(text);
    else if (auto *rich = qobject_cast<QTextEdit *>(w))
        rich->setPlainText(text);
}

} // namespace

CDialogBase::CDialogBase(const char *module, plat::UINT dialogId, QWidget *parent)
    : QDialog(parent), m_module(module), m_dialogId(dialogId)
{
    setObjectName(QString::number(dialogId));
}

CDialogBase::~CDialogBase() = default;

QString CDialogBase::loadText(plat::UINT id) const
{
    return QString::fromStdString(plat::loadString(m_module, id));
}

void CDialogBase::assignControlId(QWidget *control, int id)
{
    if (control)
        control->setObjectName(QString::number(id));
}

QWidget *CDialogBase::control(int id) const
{
    return findChild<QWidget *>(QString::number(id));
}

QPushButton *CDialogBase::addButton(int id, const QString &text)
{
    auto *button = new QPushButton(text, this);
    assignControlId(button, id);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { onCommand(id); });
    return button;
}

void CDialogBase::setToolTipId(QWidget *control, plat::UINT stringId)
{
    if (control)
        control->setToolTip(loadText(stringId));
}

void CDialogBase::endDialog(int result)
{
    done(result);
}

void CDialogBase::onCommand(int id)
{
    endDialog(id);
}

void CDialogBase::reject()
{
    onCommand(plat::IDCANCEL);
}

std::map<int, std::string> CDialogBase::fieldTexts() const
{
    std::map<int, std::string> fields;
    for (const QWidget *w : findChildren<QWidget *>()) {
        int id = 0;
        if (controlNumber(w, &id))
            fields[id] = fieldText(w).toStdString();
    }
    return fields;
}

void CDialogBase::applyFields(const std::map<int, std::string> &fields)
{
    for (const auto &[id, text] : fields)
        if (QWidget *w = control(id))
            setFieldText(w, QString::fromStdString(text));
}

int CDialogBase::pressScripted(const plat::ModalAnswer &answer)
{
    applyFields(answer.fields);
    setResult(0);
    auto *button = control<QAbstractButton>(answer.button);
    if (button && button->isEnabled() && !button->isCheckable()) {
        // The real button, so the dialog's own handling of it runs.
        button->click();
    } else {
        onCommand(answer.button);
    }
    // A command the dialog refused (its checks failed) leaves it open; a
    // scripted run cannot go on, so it counts as cancelled.
    if (result() == 0)
        return plat::IDCANCEL;
    return result();
}

int CDialogBase::doModal(plat::HWND owner)
{
    if (thread() != QThread::currentThread()) {
        plat::setLastError(plat::ERROR_ACCESS_DENIED);
        return 0;
    }
    plat::ModalRequest request;
    request.module = m_module;
    request.id = m_dialogId;
    request.caption = windowTitle().toStdString();
    request.fields = fieldTexts();
    return plat::runModalDialog(owner, request, [this](const plat::ModalAnswer *scripted) {
        if (scripted)
            return pressScripted(*scripted);
        return exec();
    });
}

int doModalOnUiThread(plat::HWND owner, const char *module, plat::UINT dialogId,
                      const std::function<std::unique_ptr<CDialogBase>(QWidget *owner)> &make)
{
    if (!hasGui()) {
        plat::ModalRequest request;
        request.module = module ? module : "";
        request.id = dialogId;
        return plat::runModalDialog(owner, request, [](const plat::ModalAnswer *scripted) {
            return scripted ? scripted->button : plat::IDCANCEL;
        });
    }
    int result = 0;
    plat::DWORD error = 0;
    const bool ran = runOnUiThread([&] {
        if (owner && !plat::isWindow(owner)) {
            error = plat::ERROR_INVALID_WINDOW_HANDLE;
            return;
        }
        std::unique_ptr<CDialogBase> dialog = make(widgetFromHandle(owner));
        if (!dialog) {
            error = plat::ERROR_INVALID_PARAMETER;
            return;
        }
        // The owner's destruction takes its child dialogs with it.
        QPointer<CDialogBase> alive(dialog.get());
        result = dialog->doModal(owner);
        if (result == 0)
            error = plat::getLastError();
        if (!alive)
            (void)dialog.release();
    });
    if (!ran)
        error = plat::ERROR_INVALID_WINDOW_HANDLE;
    if (error != 0)
        plat::setLastError(error);
    return result;
}

} // namespace framework
