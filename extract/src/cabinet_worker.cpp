// The cabinet side of Extract: one reader walk per archive (or per chosen
// entry), deciding for every file whether and where it is written.

#include "brxmsg.h"
#include "brxutil.h"
#include "cabinet_io.h"
#include "extract_strings.h"
#include "extract_worker.h"
#include "platform/file.h"
#include "platform/filetime.h"
#include "platform/modal.h"
#include "platform/strings.h"
#include "removable_cabinet_io.h"
#include "short_names.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

struct PassContext {
    char destination[260] = {}; // ends with '\'
    char target[260] = {};      // file being written
    const ZIPINFOEX *entries = nullptr;
    int entryCount = 0;
    int fileNumber = 0; // running number of the pass, from 0
    int wanted = -1;    // -1: every file
    bool quietPartial = false;
    bool gaveUp = false;
    bool createFailed = false; // a wanted file could not be written
    ExtractRun *run = nullptr;
    RemovableCabinetFiles *files = nullptr; // parts read so far, kept for the archive's passes
    // 8.3 names of the pass: every file of the walk is mapped in order, so a
    // file gets the same short name whether it is extracted alone or with
    // the rest, and the same one the ZIP side would give it.
    unzip::ShortNameMap shortNames;
};

void showMessage(const _EXTRACT *req, unsigned id, const std::string &text, plat::UINT style)
{
    plat::ModalText t{id ? kExtractModule : "", id, text};
    plat::messageBox(messageOwner(req), t, extractString(IDS_PRODUCT),
                     style | plat::MB_SETFOREGROUND);
}

// 8.3 test of the cabinet's skip-long-names option.
bool isLongName(std::string_view name)
{
    if (name.find(' ') != std::string_view::npos)
        return true;
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos)
        return name.size() > 11;
    if (name.find('.', dot + 1) != std::string_view::npos)
        return true;
    return dot > 8 || name.size() - dot - 1 > 3;
}

bool isDeviceName(const std::string &part)
{
    std::string base = part.substr(0, part.find('.'));
    for (char &c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// A stored name as a path below the destination: no drive, no root, no
// parent references, no characters Windows refuses. Empty when nothing
// usable remains.
std::string safeRelativeName(std::string_view name)
{
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        name.remove_prefix(2);
    std::string out;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = name.size();
        std::string_view part = name.substr(start, end - start);
        start = end + 1;
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.remove_suffix(1);
        if (part.empty())
            continue;
        std::string comp(part);
        for (char &c : comp)
            if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"|?*", c))
                c = '_';
        if (isDeviceName(comp))
            comp.insert(comp.begin(), '_');
        if (!out.empty())
            out += '\\';
        out += comp;
    }
    return out;
}

// True when the entry's DOS time is newer than the file's last write (both
// as local time). DOS times have a 2-second grain, so a difference within
// it counts as the same time.
bool entryIsNewer(const char *path, std::uint16_t date, std::uint16_t time)
{
    plat::HANDLE h =
        plat::createFile(path, plat::GENERIC_READ, plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE)
        return true;
    plat::FILETIME written{}, writtenLocal{}, entryLocal{};
    const bool ok = plat::getFileTime(h, nullptr, nullptr, &written);
    plat::closeHandle(h);
    if (!ok || !plat::fileTimeToLocalFileTime(&written, &writtenLocal) ||
        !plat::dosDateTimeToFileTime(date, time, &entryLocal))
        return true;
    constexpr std::uint64_t kGrain = 2ull * 10000000ull;
    return plat::fileTimeToU64(entryLocal) > plat::fileTimeToU64(writtenLocal) + kGrain;
}

ZIPINFOEX entryRecord(const PassContext &ctx, const cab::Notification &n)
{
    if (ctx.wanted >= 0 && ctx.entryCount == 1)
        return ctx.entries[0];
    if (ctx.entries && ctx.fileNumber < ctx.entryCount)
        return ctx.entries[ctx.fileNumber];
    ZIPINFOEX e{};
    e.uncompressedSize = e.compressedSize = n.size;
    copyText(e.path, n.fileName);
    return e;
}

// Tells the progress window which file comes; false when the user cancelled.
bool announceFile(PassContext &ctx, const std::string &name, int number)
{
    _EXTRACT *req = ctx.run->request;
    if (!req->progressWnd)
        return true;
    copyText(ctx.run->shownName, name);
    plat::postMessage(req->progressWnd, plat::WM_PROGRESS_FILE_NAME,
                      reinterpret_cast<plat::WPARAM>(ctx.run->shownName),
                      static_cast<plat::LPARAM>(req->entryNumber));
    postStep(req, 0, number);
    return !userCancelled(req);
}

cab::FileHandle copyFile(PassContext &ctx, cab::Notification &n)
{
    _EXTRACT *req = ctx.run->request;
    UnzipCommand &cmd = req->command;
    const int number = ctx.fileNumber;
    const bool wanted = ctx.wanted < 0 || ctx.wanted == number;
    const ZIPINFOEX record = entryRecord(ctx, n);
    ++ctx.fileNumber;

    std::string name = n.fileName ? n.fileName : "";
    const std::string leaf = name.substr(name.find_last_of('\\') + 1);
    std::string relative = safeRelativeName(cmd.dropFolders ? leaf : name);
    // Mapped before the skip tests: the numbering of short names must not
    // depend on which files this pass writes.
    const std::string shortRelative = ctx.shortNames.map(relative);
    if (!wanted)
        return 0;
    if (cmd.testOnly) {
        // Testing reads every file's data but writes nothing, whatever
        // folder the request names.
        return announceFile(ctx, name, number) ? kDiscardHandle : -1;
    }
    if (cmd.nameFlags & UNZIP_SKIP_LONG_NAMES) {
        if (isLongName(leaf))
            return 0;
    } else if (cmd.nameFlags & UNZIP_SHORT_NAMES) {
        relative = shortRelative;
    }
    if (relative.empty())
        return 0;
    char target[260 * 2] = {};
    copyText(ctx.target, ctx.destination);
    std::strncpy(target, ctx.destination, sizeof target - 1);
    catpath(target, relative.c_str());
    if (std::strlen(target) >= sizeof ctx.target)
        return 0;

    const unsigned exists = DoesFileExist(target);
    if (exists >= 2)
        return 0;
    if (cmd.freshen) {
        if (exists != 1 || !entryIsNewer(target, n.date, n.time))
            return 0;
    } else if (cmd.update && exists == 1 && !entryIsNewer(target, n.date, n.time)) {
        return 0;
    }
    if (exists == 1) {
        if (!cmd.overwrite) {
            if (cmd.neverPrompt)
                return 0;
            switch (Confirm(target, &record, messageOwner(req))) {
            case 0: break;
            case 1: cmd.overwrite = 1; break;
            case 2: return 0;
            case 3: cmd.neverPrompt = 1; return 0;
            default: return -1;
            }
        } else if (cmd.renameCallback) {
            cmd.renameCallback(target, cmd.renameRecord);
        }
        if (DoesFileExist(target) == 1)
            plat::setFileAttributes(target, plat::FILE_ATTRIBUTE_NORMAL);
    }

    // Checked before the file is created, so a cancel leaves nothing
    // half-made behind.
    if (!announceFile(ctx, name, number))
        return -1;

    std::string folder(target);
    folder.resize(folder.find_last_of('\\') == std::string::npos ? 0 : folder.find_last_of('\\'));
    if (!folder.empty())
        make_dirs(folder.c_str());
    copyText(ctx.target, target);
    plat::HANDLE h = plat::createFile(target, plat::GENERIC_WRITE, 0, plat::CREATE_ALWAYS,
                                      plat::FILE_ATTRIBUTE_NORMAL);
    if (h == plat::INVALID_HANDLE_VALUE) {
        const std::string text =
            plat::formatText(extractString(IDS_FAIL_TO_CREATE), std::string(target));
        plat::messageBox(nullptr, plat::ModalText{kExtractModule, IDS_FAIL_TO_CREATE, text},
                         extractString(IDS_PRODUCT), plat::MB_OK | plat::MB_ICONEXCLAMATION);
        // The walk goes on with the other files, but the pass must not
        // report success for a file that is not there.
        ctx.createFailed = true;
        return 0;
    }
    return toCabinetHandle(h);
}

cab::FileHandle closeFile(PassContext &ctx, cab::Notification &n)
{
    if (n.handle == kDiscardHandle)
        return 1;
    plat::HANDLE h = toPlatformHandle(n.handle);
    plat::FILETIME local{}, utc{};
    if (plat::dosDateTimeToFileTime(n.date, n.time, &local) &&
        plat::localFileTimeToFileTime(&local, &utc))
        plat::setFileTime(h, &utc, nullptr, &utc);
    plat::closeHandle(h);
    const plat::DWORD attributes = n.attributes & 0x27;
    plat::setFileAttributes(ctx.target, attributes ? attributes : plat::FILE_ATTRIBUTE_NORMAL);
    return 1;
}

cab::FileHandle nextCabinet(PassContext &ctx, cab::Notification &n)
{
    _EXTRACT *req = ctx.run->request;
    const std::string path = std::string(n.pathBuffer ? n.pathBuffer : "") + n.cabinetName;
    // A part already read in this run needs no disk of its own again.
    while (DoesFileExist(path.c_str()) != 1 && !ctx.files->holds(path)) {
        if (CheckIfRemovable(path.c_str())) {
            const std::string text =
                plat::formatText(extractString(IDS_INSERT_DISK), std::string(n.diskName), path);
            if (plat::messageBox(messageOwner(req),
                                 plat::ModalText{kExtractModule, IDS_INSERT_DISK, text},
                                 extractString(IDS_PRODUCT),
                                 plat::MB_OKCANCEL | plat::MB_ICONEXCLAMATION |
                                     plat::MB_SETFOREGROUND) == plat::IDOK)
                continue;
        } else {
            showMessage(req, IDS_CANNOT_FIND_CABINET,
                        plat::formatText(extractString(IDS_CANNOT_FIND_CABINET), path),
                        plat::MB_OK | plat::MB_ICONEXCLAMATION);
        }
        ctx.gaveUp = true;
        return -1;
    }
    postStep(req, 100, ctx.fileNumber + 1);
    return 0;
}

cab::FileHandle notify(cab::Notify type, cab::Notification &n)
{
    PassContext &ctx = *static_cast<PassContext *>(n.user);
    switch (type) {
    case cab::Notify::PartialFile: {
        const bool wanted = ctx.wanted < 0 || ctx.wanted == ctx.fileNumber;
        if (!ctx.quietPartial && wanted)
            showMessage(ctx.run->request, IDS_START_AT_FIRST_PART,
                        plat::formatText(extractString(IDS_START_AT_FIRST_PART),
                                         std::string(n.cabinetName), std::string(n.diskName)),
                        plat::MB_OK | plat::MB_ICONINFORMATION);
        ++ctx.fileNumber;
        return 0;
    }
    case cab::Notify::CopyFile: return copyFile(ctx, n);
    case cab::Notify::CloseFileInfo: return closeFile(ctx, n);
    case cab::Notify::NextCabinet: return nextCabinet(ctx, n);
    default: return 0;
    }
}

// One walk over the cabinet; true when it succeeded.
bool cabinetPass(PassContext &ctx)
{
    _EXTRACT *req = ctx.run->request;
    const plat::UINT style = plat::MB_OK | plat::MB_ICONEXCLAMATION;
    cab::ErrorRecord error;
    const cab::Io io = ctx.files->io();
    cab::Reader *reader = cab::create(io, &error);
    if (!reader) {
        showMessage(
            req, 0,
            plat::formatText("Create failed: %s\n", std::string(cab::readerErrorText(error.code))),
            style);
        return false;
    }
    const std::string path = req->archivePath;
    cab::FileHandle file = io.open(io.context, path.c_str());
    if (file == cab::kInvalidHandle) {
        showMessage(req, 0, plat::formatText("Unable to open '%s' for input\n", path), style);
        cab::destroy(reader);
        return false;
    }
    cab::CabinetInfo info;
    const bool isCab = cab::isCabinet(reader, file, &info);
    io.close(io.context, file);
    if (!isCab) {
        showMessage(req, 0, plat::formatText("IsCabinet() failed: '%s' is not a cabinet\n", path),
                    style);
        cab::destroy(reader);
        return false;
    }
    const std::size_t slash = path.rfind('\\');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string dest = req->destFolder;
    if (dest.empty() || dest.back() != '\\')
        dest += '\\';
    copyText(ctx.destination, dest);

    const bool walked = cab::copy(reader, name.c_str(), folder.c_str(), notify, &ctx);
    const int code = cab::lastError(reader).code;
    const bool released = cab::destroy(reader);
    if (!walked && !ctx.gaveUp)
        showMessage(req, 0,
                    plat::formatText("Copy failed: %s\n", std::string(cab::readerErrorText(code))),
                    style);
    return walked && released && !ctx.createFailed;
}

} // namespace

int runCabinetWorker(ExtractRun &run)
{
    _EXTRACT *req = run.request;
    int result = 48;
    bool cancelled = false;
    const std::size_t count = req->sourceList->size();
    for (std::size_t a = 0; a < count && !cancelled; ++a) {
        copyText(req->archivePath, (*req->sourceList)[a]);
        copyText(req->destFolder, a < req->destList->size() ? (*req->destList)[a] : std::string());
        if (!loadEntries(run))
            continue;
        req->entryNumber = 0;
        initArchiveProgress(req);
        // Chosen entries take one pass each; parts of a set on removable
        // disks stay at hand so the disks are not asked for again.
        RemovableCabinetFiles files;
        if (req->flags & (EXF_TEST | EXF_ALL)) {
            req->errorShown = 0;
            PassContext ctx;
            ctx.run = &run;
            ctx.files = &files;
            ctx.entries = req->entries;
            ctx.entryCount = req->entryCount;
            ctx.quietPartial = (req->flags & EXF_CAB_SET) != 0;
            result = cabinetPass(ctx) ? 0 : 1;
        } else {
            for (int i = 0; i < req->entryCount; ++i) {
                if (userCancelled(req)) {
                    cancelled = true;
                    break;
                }
                req->entryNumber = i + 1;
                req->errorShown = 0;
                PassContext ctx;
                ctx.run = &run;
                ctx.files = &files;
                ctx.entries = &req->entries[i];
                ctx.entryCount = 1;
                ctx.wanted = req->entries[i].entryIndex;
                result = cabinetPass(ctx) ? 0 : 1;
            }
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
