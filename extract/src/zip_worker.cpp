// The ZIP side of Extract: one engine call per archive when nothing asks
// for a decryption code, else one call per entry with the code prompt.

#include "dunzip.h"
#include "extract_worker.h"
#include "platform/messages.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int onProgress(int, int percent, void *context)
{
    auto *req = static_cast<_EXTRACT *>(context);
    postStep(req, percent, req->entryNumber);
    if (req->progressWnd && req->entryNumber >= 1 && req->entryNumber <= req->entryCount &&
        req->entries)
        plat::postMessage(req->progressWnd, plat::WM_PROGRESS_FILE_NAME,
                          reinterpret_cast<plat::WPARAM>(req->entries[req->entryNumber - 1].path),
                          static_cast<plat::LPARAM>(req->entryNumber));
    return userCancelled(req) ? 1 : 0;
}

// "Item <n> <name>" tells which entry the engine is on.
int onStatus(const char *text, int, void *context)
{
    auto *req = static_cast<_EXTRACT *>(context);
    if (text && std::strncmp(text, "Item ", 5) == 0)
        req->entryNumber = std::atoi(text + 5);
    return userCancelled(req) ? 1 : 0;
}

bool anyEncrypted(const _EXTRACT *req)
{
    for (int i = 0; i < req->entryCount; ++i)
        if (req->entries[i].attributes & ENTRY_ENCRYPTED)
            return true;
    return false;
}

int runEngine(_EXTRACT *req)
{
    req->errorShown = 0;
    return dunzipS(&req->command);
}

// Goes through the chosen entries one by one. Returns the archive's result.
int extractEntries(_EXTRACT *req, int result)
{
    bool useForAll = false;
    bool skipAll = false;
    for (int i = 0; i < req->entryCount; ++i) {
        const ZIPINFOEX &entry = req->entries[i];
        req->entryNumber = i + 1;
        if ((entry.attributes & ENTRY_ENCRYPTED) && !useForAll) {
            if (skipAll) {
                result = 41;
                continue;
            }
            switch (askDecryptionCode(req, entry)) {
            case DECRYPT_USE_FOR_ALL: useForAll = true; [[fallthrough]];
            case DECRYPT_OK:
                req->command.useDecryptCode = 1;
                req->command.decryptCode = req->decryptCode;
                break;
            case DECRYPT_SKIP_ALL: skipAll = true; [[fallthrough]];
            case DECRYPT_SKIP: result = 41; continue;
            default: return 48;
            }
        }
        req->command.nameMask = nullptr;
        req->command.entryIndex = entry.entryIndex;
        result = runEngine(req);
        if (result != 0 && result != 49)
            break;
    }
    return result;
}

} // namespace

int runZipWorker(ExtractRun &run)
{
    _EXTRACT *req = run.request;
    UnzipCommand &cmd = req->command;
    cmd.nameFlags |= UNZIP_BIT_EXTRACT1 | UNZIP_BIT_EXTRACT2;
    cmd.progressCallback = onProgress;
    cmd.progressContext = req;
    cmd.statusCallback = onStatus;
    cmd.statusContext = req;

    int result = 48;
    const std::size_t count = req->sourceList->size();
    for (std::size_t a = 0; a < count; ++a) {
        if (userCancelled(req))
            return completeRun(run, 40);
        copyText(req->archivePath, (*req->sourceList)[a]);
        copyText(req->destFolder, a < req->destList->size() ? (*req->destList)[a] : std::string());
        if (!loadEntries(run))
            continue;
        req->entryNumber = 0;
        initArchiveProgress(req);
        if ((req->flags & (EXF_TEST | EXF_ALL)) && !anyEncrypted(req)) {
            cmd.nameMask = "*.*";
            cmd.entryIndex = -1;
            result = runEngine(req);
        } else {
            result = extractEntries(req, result);
        }
        if (req->progressWnd)
            plat::sendMessage(req->progressWnd, plat::WM_PROGRESS_STEP, 100,
                              static_cast<plat::LPARAM>(req->entryCount));
        releaseEntries(run);
    }
    if (req->progressWnd)
        plat::sendMessage(req->progressWnd, plat::WM_PROGRESS_DONE, 0, 0);
    return completeRun(run, result);
}
