// The decryption-code prompt (dialog 132). It runs on the UI thread, owned
// by the progress window, while the worker waits for the answer.

#include "extract_strings.h"
#include "extract_worker.h"
#include "framework/dialog.h"
#include "framework/gui.h"
#include "platform/strings.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr plat::UINT IDD_DECRYPT = 132;
constexpr int IDC_PROMPT = 1005;
constexpr int IDC_CODE = 1006;
constexpr int kMaxCode = 65;

class CDecryptDlg : public framework::CDialogBase {
public:
    CDecryptDlg(const ZIPINFOEX &entry, std::string *typed, QWidget *parent)
        : CDialogBase(kExtractModule, IDD_DECRYPT, parent), m_typed(typed)
    {
        setWindowTitle(QStringLiteral("Brindle Dovozoz - Enter Decryption Code"));
        setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
        const std::string prompt =
            plat::formatText(extractString(IDS_DECRYPT_PROMPT), std::string(entry.path));
        auto *text =
            setControlId(new QLabel(QString::fromLocal8Bit(prompt.c_str()), this), IDC_PROMPT);
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_code = setControlId(new QLineEdit(this), IDC_CODE);
        m_code->setEchoMode(QLineEdit::Password);
        m_code->setMaxLength(kMaxCode);

        auto *buttons = new QHBoxLayout;
        const struct {
            int id;
            const char *text;
            plat::UINT tip;
        } kButtons[] = {
            {DECRYPT_OK, "OK", IDS_TIP_OK},
            {DECRYPT_USE_FOR_ALL, "Use For All", IDS_TIP_USE_FOR_ALL},
            {DECRYPT_SKIP, "Skip", IDS_TIP_SKIP},
            {DECRYPT_SKIP_ALL, "Skip All", IDS_TIP_SKIP_ALL},
            {DECRYPT_CANCEL, "Cancel", IDS_TIP_CANCEL},
        };
        for (const auto &b : kButtons) {
            QPushButton *button = addButton(b.id, QString::fromLatin1(b.text));
            setToolTipId(button, b.tip);
            if (b.id == DECRYPT_OK)
                button->setDefault(true);
            buttons->addWidget(button);
        }
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(m_code);
        layout->addLayout(buttons);
    }

protected:
    // Every button keeps what was typed, even Skip and Cancel.
    void onCommand(int id) override
    {
        *m_typed = m_code->text().toLocal8Bit().left(kMaxCode).toStdString();
        CDialogBase::onCommand(id);
    }

private:
    QLineEdit *m_code = nullptr;
    std::string *m_typed;
};

} // namespace

int askDecryptionCode(_EXTRACT *request, const ZIPINFOEX &entry)
{
    framework::installGuiPresenter();
    std::string typed;
    const int button = framework::doModalOnUiThread(
        messageOwner(request), kExtractModule, IDD_DECRYPT,
        [&](QWidget *owner) { return std::make_unique<CDecryptDlg>(entry, &typed, owner); });
    copyText(request->decryptCode, typed);
    return button;
}
