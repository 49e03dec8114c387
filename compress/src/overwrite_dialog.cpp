// The overwrite warning asked before a cabinet replaces an existing file
// (dialog "OverWrite").

#include "cab_run.h"
#include "compress_strings.h"
#include "framework/dialog.h"
#include "framework/gui.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

class COverwriteDlg : public framework::CDialogBase {
public:
    COverwriteDlg(const std::string &path, QWidget *parent)
        : CDialogBase(kCompressModule, IDD_OVERWRITE, parent)
    {
        setWindowTitle(loadText(IDS_OVERWRITE_CAPTION));
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(loadText(IDS_OVERWRITE_QUESTION), this));
        auto *name =
            setControlId(new QLabel(QString::fromStdString(path), this), IDC_OVERWRITE_NAME);
        name->setWordWrap(true);
        layout->addWidget(name);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(addButton(plat::IDYES, QStringLiteral("&Yes")));
        buttons->addWidget(addButton(IDC_YES_TO_ALL, loadText(IDS_YES_TO_ALL)));
        buttons->addWidget(addButton(plat::IDCANCEL, QStringLiteral("Cancel")));
        layout->addLayout(buttons);
    }
};

} // namespace

int askOverwrite(plat::HWND owner, const std::string &path)
{
    framework::installGuiPresenter();
    const int answer =
        framework::doModalOnUiThread(owner, kCompressModule, IDD_OVERWRITE, [&](QWidget *parent) {
            return std::make_unique<COverwriteDlg>(path, parent);
        });
    return answer == plat::IDYES || answer == IDC_YES_TO_ALL ? answer : plat::IDCANCEL;
}
