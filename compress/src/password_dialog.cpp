#include "compress_strings.h"
#include "dialogs.h"
#include "framework/dialog.h"
#include "framework/gui.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

class CPasswordDlg : public framework::CDialogBase {
public:
    CPasswordDlg(std::string *password, QWidget *parent)
        : CDialogBase(kCompressModule, IDD_PASSWORD, parent), m_password(password)
    {
        setWindowTitle(loadText(IDS_PASSWORD_CAPTION));
        auto *layout = new QVBoxLayout(this);
        auto *prompt = setControlId(new QLabel(loadText(IDS_PASSWORD_PROMPT), this), IDC_PROMPT);
        m_edit = setControlId(new QLineEdit(this), IDC_PASSWORD_EDIT);
        m_edit->setMaxLength(kPasswordMax);
        prompt->setBuddy(m_edit);
        layout->addWidget(prompt);
        layout->addWidget(m_edit);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(addButton(plat::IDOK, QStringLiteral("OK")));
        buttons->addWidget(addButton(plat::IDCANCEL, QStringLiteral("Cancel")));
        buttons->addWidget(addButton(IDC_NO_PASSWORD, loadText(IDS_NO_PASSWORD)));
        layout->addLayout(buttons);
    }

protected:
    void onCommand(int id) override
    {
        if (id == plat::IDOK)
            *m_password = m_edit->text().left(kPasswordMax).toStdString();
        CDialogBase::onCommand(id);
    }

private:
    std::string *m_password;
    QLineEdit *m_edit = nullptr;
};

} // namespace

int askPassword(plat::HWND owner, std::string *password)
{
    framework::installGuiPresenter();
    password->clear();
    return framework::doModalOnUiThread(owner, kCompressModule, IDD_PASSWORD, [&](QWidget *parent) {
        return std::make_unique<CPasswordDlg>(password, parent);
    });
}
