#pragma once

// CDialogBase: dialogs addressed by the system's numbers. A dialog knows the
// deliverable whose string table holds its texts and its resource number;
// every control carries its control number as object name (tests and the
// gateway find it with findChild<QWidget *>("1009")). Modal dialogs run only
// through the modal-UI gateway, so a responder can answer them by dialog
// number, filling controls by number and pressing a button.

#include "platform/modal.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QAbstractButton;
class QPushButton;

namespace framework {

class CDialogBase : public QDialog {
    Q_OBJECT
public:
    // `module` is the deliverable's file name ("BRXMSG.DLL"); it must outlive
    // the dialog (a string literal).
    CDialogBase(const char *module, plat::UINT dialogId, QWidget *parent = nullptr);
    ~CDialogBase() override;

    const char *module() const { return m_module; }
    plat::UINT dialogId() const { return m_dialogId; }

    // Text of string `id` of the dialog's deliverable.
    QString loadText(plat::UINT id) const;

    // Gives a control its number; returns the control for chaining.
    template <typename T> T *setControlId(T *control, int id)
    {
        assignControlId(control, id);
        return control;
    }
    // The control with number `id`, or null.
    QWidget *control(int id) const;
    template <typename T> T *control(int id) const { return qobject_cast<T *>(control(id)); }

    // A push button with number `id`; pressing it calls onCommand(id).
    QPushButton *addButton(int id, const QString &text);
    // Tool tip from the string table.
    void setToolTipId(QWidget *control, plat::UINT stringId);

    // Ends a modal dialog (or hides a modeless one) with `result`.
    void endDialog(int result);

    // Runs the dialog modally for `owner` through the gateway and returns the
    // result given to endDialog (IDCANCEL when closed). Must be called on the
    // dialog's (the GUI) thread; elsewhere returns 0 with ERROR_ACCESS_DENIED.
    int doModal(plat::HWND owner);

    // Texts of every numbered control, by number (what a responder sees).
    std::map<int, std::string> fieldTexts() const;
    // Puts texts into numbered controls (line edits, labels, check boxes with
    // "1"/"0", combo boxes); unknown numbers are ignored.
    void applyFields(const std::map<int, std::string> &fields);

protected:
    // A button or command: the default ends the dialog with the number.
    virtual void onCommand(int id);
    // Escape and the close box: the default is the Cancel command.
    void reject() override;

private:
    void assignControlId(QWidget *control, int id);
    int pressScripted(const plat::ModalAnswer &answer);

    const char *m_module;
    plat::UINT m_dialogId;
    bool m_modalRunning = false;
};

// Creates a dialog on the GUI thread with `make` (given the owner's widget,
// or null) and runs it with doModal for `owner`; callable from any thread
// (a worker waits). Without an application object, no widget can exist:
// the gateway is asked with a request that names only the dialog, and the
// answer's button is returned (the default answer without a responder).
int doModalOnUiThread(plat::HWND owner, const char *module, plat::UINT dialogId,
                      const std::function<std::unique_ptr<CDialogBase>(QWidget *owner)> &make);

} // namespace framework
