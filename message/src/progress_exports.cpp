// Exports that create and drive the progress window.

#include "brxmsg.h"
#include "framework/gui.h"
#include "progress_dialog.h"

HWND CreateProgress(_PROGRESS_INIT *init)
{
    if (!init || !framework::hasGui())
        return nullptr;
    framework::installGuiPresenter();
    HWND window = nullptr;
    framework::runOnUiThread([&] {
        const HWND owner = plat::isWindow(init->parent) ? init->parent : nullptr;
        auto *dialog = new CProgressDlg(init->operation, owner);
        if (QWidget *ownerWidget = framework::widgetFromHandle(owner))
            ownerWidget->setEnabled(false);
        if (init->show) {
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
        }
        window = dialog;
    });
    return window;
}

int InitProgress(HWND window, int totalMin, int totalMax, int fileMin, int fileMax,
                 const char *title)
{
    ProgressInitArgs args{totalMin, totalMax, fileMin, fileMax, title};
    return plat::sendMessage(window, WM_PROGRESS_INIT_PRIVATE, 0,
                             reinterpret_cast<plat::LPARAM>(&args)) == 1
               ? 1
               : 0;
}

void ProgressPump(HWND)
{
    plat::pumpMessages();
}
