// Extract: prepares the engine command block from the request and the
// decompression settings, opens the progress window and runs the worker.

#include "brxextrc.h"
#include "brxmsg.h"
#include "brxutil.h"
#include "common/settings.h"
#include "extract_strings.h"
#include "extract_worker.h"
#include "platform/module.h"
#include "platform/strings.h"

#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr const char *kDefaultRenameMask = "%f (%n)";

// A mask is usable only when "%f" and "%n" each appear exactly once;
// anything else would give MakeUniqueFileName the wrong argument list.
bool occursOnce(const std::string &text, const char *token)
{
    const std::size_t first = text.find(token);
    return first != std::string::npos && text.find(token, first + 1) == std::string::npos;
}

int renameToFreeName(char *path, _RENAMEINFO *record)
{
    const char *free = MakeUniqueFileName(path, record);
    if (free && free != path) {
        std::strncpy(path, free, 259);
        path[259] = '\0';
    }
    return 0;
}

// The engine's message callback is the message library's, bound by ordinal
// like every other user of it.
EngineMessageCallback engineMessageCallback()
{
    plat::HMODULE module = plat::loadLibrary("BRXMSG.DLL");
    if (!module)
        return nullptr;
    return reinterpret_cast<EngineMessageCallback>(
        plat::getProcAddress(module, plat::ordinalName(2)));
}

void applySettings(_EXTRACT *req, ExtractRun &run)
{
    UnzipCommand &cmd = req->command;
    if (settings::read(settings::decompression::MangleLfn))
        cmd.nameFlags |= UNZIP_SHORT_NAMES;
    if (settings::read(settings::decompression::IgnoreLfn))
        cmd.nameFlags |= UNZIP_SKIP_LONG_NAMES;
    // "Path" 1 (the default) keeps the stored folders; the command block
    // starts with folders dropped, so both values are set explicitly.
    cmd.dropFolders = settings::read(settings::decompression::Path) == 0 ? 1 : 0;
    switch (settings::read(settings::decompression::Overwrite)) {
    case 1: {
        cmd.overwrite = 1;
        std::string mask = settings::read(settings::decompression::RenameMask);
        if (!occursOnce(mask, "%f") || !occursOnce(mask, "%n"))
            mask = kDefaultRenameMask;
        run.renameRecord = new _RENAMEINFO{};
        PrepareMUFNMask(mask.c_str(), run.renameRecord, 1);
        cmd.renameCallback = renameToFreeName;
        cmd.renameRecord = run.renameRecord;
        break;
    }
    case 2: cmd.overwrite = 1; break;
    case 3:
        cmd.overwrite = 0;
        cmd.neverPrompt = 1;
        break;
    default:
        cmd.overwrite = 0;
        cmd.neverPrompt = 0;
        break;
    }
    switch (settings::read(settings::decompression::Method)) {
    case 1: cmd.update = 1; break;
    case 2: cmd.freshen = 1; break;
    default: break;
    }
}

int runWorker(ExtractRun *run)
{
    return (run->request->flags & EXF_CABINET) ? runCabinetWorker(*run) : runZipWorker(*run);
}

} // namespace

BRX_EXPORT int Extract(_EXTRACT *req)
{
    if (!req || !req->sourceList || !req->destList)
        return -1;
    auto *run = new ExtractRun;
    run->request = req;

    UnzipCommand &cmd = req->command;
    initUnzipCommand(cmd);
    cmd.function = UNZIP_EXTRACT;
    cmd.archivePath = req->archivePath;
    cmd.neverPrompt = 1;
    if (req->flags & EXF_TEST) {
        cmd.testOnly = 1;
    } else {
        cmd.destination = req->destFolder;
        if (req->flags & EXF_FIXED_SETTINGS) {
            cmd.dropFolders = 0;
            cmd.overwrite = 1;
        } else {
            applySettings(req, *run);
        }
    }
    cmd.messageCallback = engineMessageCallback();
    cmd.messageContext = req;

    req->operation = (req->flags & EXF_TEST) ? 3 : 2;
    _PROGRESS_INIT init{};
    init.show = (req->flags & (EXF_VIEW | EXF_SYNC)) ? 0 : 1;
    init.operation = req->operation;
    init.parent = req->parentWnd;
    req->progressWnd = CreateProgress(&init);

    if (req->flags & EXF_SYNC) {
        const int result = runWorker(run);
        delete run;
        return result;
    }
    try {
        std::thread([run] {
            runWorker(run);
            delete run;
        }).detach();
    } catch (...) {
        delete run->renameRecord;
        delete run;
        return -1;
    }
    return 0;
}
