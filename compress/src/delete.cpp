#include "brxcomp.h"
#include "engine_glue.h"

#include "platform/messages.h"

int Delete(_ADD *add)
{
    if (!add)
        return -1;
    if (!add->commandReady) {
        initZipCommand(add->command);
        add->command.function = ZIP_DELETE;
        add->command.archivePath = add->archivePath;
        add->command.reserved44 = 1;
        add->commandReady = 1;
    }
    if (add->keepList && *add->keepList) {
        add->command.useExclude = 1;
        add->command.exclude = add->keepList;
    }
    add->command.fileList = add->fileList;
    add->command.messageCallback = messageDisplayAdd();
    add->command.messageContext = add;
    // The engine's message boxes are owned by the caller's window.
    add->progressWnd = add->parentWnd;
    add->errorShown = 0;
    add->counting = 0;
    const int result = dzipS(&add->command);
    add->progressWnd = nullptr;
    add->result = result;
    plat::postThreadMessage(add->uiThread, plat::WM_OPERATION_DONE,
                            reinterpret_cast<plat::WPARAM>(add), OPERATION_ADD_OR_DELETE);
    return result;
}
