// What both extraction workers share: progress-window traffic, the
// catalogue of each archive and the completion of a run.

#include "brxextrc.h"
#include "brxmsg.h"
#include "extract_strings.h"
#include "extract_worker.h"
#include "platform/messages.h"
#include "platform/strings.h"

#include <cstdlib>

bool userCancelled(const _EXTRACT *request)
{
    if (!request->progressWnd)
        return false;
    return plat::sendMessage(request->progressWnd, plat::WM_PROGRESS_QUERY_CANCEL, 0, 0) != 0;
}

void postStep(const _EXTRACT *request, int percent, int entryNumber)
{
    if (request->progressWnd)
        plat::postMessage(request->progressWnd, plat::WM_PROGRESS_STEP,
                          static_cast<plat::WPARAM>(percent),
                          static_cast<plat::LPARAM>(entryNumber));
}

plat::HWND messageOwner(const _EXTRACT *request)
{
    if (request->progressWnd)
        return request->progressWnd;
    // Without a progress window (no GUI, or it could not be made) the
    // caller's window is the natural owner; one that is gone would make the
    // box fail, so it is not used then.
    return plat::isWindow(request->parentWnd) ? request->parentWnd : nullptr;
}

bool loadEntries(ExtractRun &run)
{
    _EXTRACT *req = run.request;
    if (req->entriesSupplied)
        return true;
    int count = 0;
    if (GetFileCount(req->archivePath, &count) != 0 || count <= 0)
        return false;
    auto *entries = static_cast<ZIPINFOEX *>(std::calloc(count, sizeof(ZIPINFOEX)));
    if (!entries)
        return false;
    if (LoadFile(req->archivePath, count, &entries, nullptr) != 0) {
        std::free(entries);
        return false;
    }
    req->entries = entries;
    req->entryCount = count;
    run.libraryEntries = true;
    return true;
}

void releaseEntries(ExtractRun &run)
{
    if (!run.libraryEntries)
        return;
    std::free(run.request->entries);
    run.request->entries = nullptr;
    run.request->entryCount = 0;
    run.libraryEntries = false;
}

void initArchiveProgress(const _EXTRACT *request)
{
    if (!request->progressWnd)
        return;
    const unsigned titleId = (request->flags & EXF_TEST) ? IDS_TESTING : IDS_EXTRACTING_FROM;
    const std::string title = plat::formatText(extractString(titleId), request->archivePath);
    InitProgress(request->progressWnd, 0, request->entryCount, 0, 100, title.c_str());
}

int completeRun(ExtractRun &run, int result)
{
    _EXTRACT *req = run.request;
    releaseEntries(run);
    delete run.renameRecord;
    run.renameRecord = nullptr;
    req->command.renameRecord = nullptr;
    req->command.renameCallback = nullptr;
    req->result = result;
    if (!(req->flags & EXF_SYNC)) {
        const auto wParam = reinterpret_cast<plat::WPARAM>(req);
        const auto lParam = static_cast<plat::LPARAM>(req->operation);
        if (req->uiThread)
            plat::postThreadMessage(req->uiThread, plat::WM_OPERATION_DONE, wParam, lParam);
        else
            plat::postMessage(req->parentWnd, plat::WM_OPERATION_DONE, wParam, lParam);
    }
    return result;
}
