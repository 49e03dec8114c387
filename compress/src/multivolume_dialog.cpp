#include "compress_strings.h"
#include "dialogs.h"
#include "framework/dialog.h"
#include "framework/gui.h"
#include "platform/strings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

class CMultiVolumeDlg : public framework::CDialogBase {
public:
    CMultiVolumeDlg(char drive, int *choice, QWidget *parent)
        : CDialogBase(kCompressModule, IDD_MULTIVOLUME, parent), m_choice(choice)
    {
        setWindowTitle(loadText(IDS_MULTIVOLUME_CAPTION));
        auto *layout = new QVBoxLayout(this);
        const std::string intro =
            plat::formatText(compressString(IDS_MULTIVOLUME_INTRO), static_cast<int>(drive));
        auto *label = setControlId(new QLabel(QString::fromStdString(intro), this), IDC_PROMPT);
        label->setWordWrap(true);
        layout->addWidget(label);
        const int ids[] = {IDC_KEEP_FILES, IDC_DELETE_FILES, IDC_FORMAT_DISK};
        const unsigned texts[] = {IDS_KEEP_FILES, IDS_DELETE_FILES, IDS_FORMAT_DISK};
        for (int i = 0; i < 3; ++i) {
            m_radio[i] = setControlId(new QRadioButton(loadText(texts[i]), this), ids[i]);
            layout->addWidget(m_radio[i]);
        }
        m_radio[0]->setChecked(true);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(addButton(plat::IDOK, QStringLiteral("OK")));
        buttons->addWidget(addButton(plat::IDCANCEL, QStringLiteral("Cancel")));
        layout->addLayout(buttons);
    }

protected:
    void onCommand(int id) override
    {
        if (id == plat::IDOK) {
            *m_choice = 0;
            for (int i = 0; i < 3; ++i)
                if (m_radio[i]->isChecked())
                    *m_choice = i;
        }
        CDialogBase::onCommand(id);
    }

private:
    int *m_choice;
    QRadioButton *m_radio[3] = {};
};

} // namespace

int askMultiVolume(plat::HWND owner, char driveLetter, int *choice)
{
    framework::installGuiPresenter();
    *choice = 0;
    return framework::doModalOnUiThread(
        owner, kCompressModule, IDD_MULTIVOLUME, [&](QWidget *parent) {
            return std::make_unique<CMultiVolumeDlg>(driveLetter, choice, parent);
        });
}
