// The cabinet writer's services for DoCab: files through the platform layer
// (Windows paths, the drive table), the overwrite warning and the disk
// procedure when a cabinet file is opened, the names of following cabinets,
// and progress with cancel.

#include "brxmsg.h"
#include "brxutil.h"
#include "cab_run.h"
#include "compress_strings.h"

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/filetime.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <QWidget>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

CabRun &runOf(void *ctx)
{
    return *static_cast<CabRun *>(ctx);
}

// The C runtime error number closest to the platform's last error.
int crtError()
{
    switch (plat::getLastError()) {
    case plat::ERROR_FILE_NOT_FOUND:
    case plat::ERROR_PATH_NOT_FOUND: return ENOENT;
    case plat::ERROR_ACCESS_DENIED:
    case plat::ERROR_SHARING_VIOLATION:
    case plat::ERROR_LOCK_VIOLATION:
    case plat::ERROR_WRITE_PROTECT: return EACCES;
    case plat::ERROR_FILE_EXISTS:
    case plat::ERROR_ALREADY_EXISTS: return EEXIST;
    case plat::ERROR_DISK_FULL:
    case plat::ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case plat::ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case plat::ERROR_NOT_ENOUGH_MEMORY:
    case plat::ERROR_OUT_OF_MEMORY: return ENOMEM;
    case plat::ERROR_INVALID_HANDLE: return EBADF;
    case plat::ERROR_CANCELLED: return EINTR;
    default: return EIO;
    }
}

plat::HANDLE handleOf(std::intptr_t hf)
{
    return reinterpret_cast<plat::HANDLE>(hf);
}

std::intptr_t openPlain(const char *file, int oflag, int *err)
{
    plat::DWORD access = plat::GENERIC_READ;
    if ((oflag & 3) == cab::kOpenWriteOnly)
        access = plat::GENERIC_WRITE;
    else if ((oflag & 3) == cab::kOpenReadWrite)
        access = plat::GENERIC_READ | plat::GENERIC_WRITE;
    plat::DWORD disposition = plat::OPEN_EXISTING;
    if (oflag & cab::kOpenCreate) {
        if (oflag & cab::kOpenExclusive)
            disposition = plat::CREATE_NEW;
        else if (oflag & cab::kOpenTruncate)
            disposition = plat::CREATE_ALWAYS;
        else
            disposition = plat::OPEN_ALWAYS;
    } else if (oflag & cab::kOpenTruncate) {
        disposition = plat::TRUNCATE_EXISTING;
    }
    plat::HANDLE h = plat::createFile(file, access, plat::FILE_SHARE_READ, disposition,
                                      plat::FILE_ATTRIBUTE_NORMAL);
    if (h == plat::INVALID_HANDLE_VALUE) {
        *err = crtError();
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(h);
}

void *allocate(std::uint32_t cb)
{
    return std::malloc(cb ? cb : 1);
}

void release(void *memory)
{
    std::free(memory);
}

std::intptr_t openFile(const char *file, int oflag, int, int *err, void *ctx)
{
    CabRun &run = runOf(ctx);
    CAB *cab = run.cab;
    const bool isCabinet =
        file && !run.currentCabinet.empty() && strcasecmp(file, run.currentCabinet.c_str()) == 0;
    if (isCabinet) {
        if (cab->volumeMode != -1 && !diskProcedure(run, false)) {
            *err = EINTR;
            return -1;
        }
        if (DoesFileExist(file) && !run.overwriteAll) {
            const int answer = askOverwrite(cab->progressWnd, file);
            if (answer == IDC_YES_TO_ALL) {
                run.overwriteAll = true;
            } else if (answer != plat::IDYES) {
                *err = EEXIST;
                return -1;
            }
        }
    }
    const std::intptr_t hf = openPlain(file, oflag, err);
    if (hf != -1 && isCabinet) {
        run.cabinets.emplace_back(file);
        const std::string title = plat::formatText(compressString(IDS_ADDING_FILES), file);
        if (auto *window = qobject_cast<QWidget *>(cab->progressWnd))
            window->setWindowTitle(QString::fromStdString(title));
    }
    return hf;
}

std::uint32_t readFile(std::intptr_t hf, void *memory, std::uint32_t cb, int *err, void *)
{
    plat::DWORD got = 0;
    if (!plat::readFile(handleOf(hf), memory, cb, &got)) {
        *err = crtError();
        return 0xFFFFFFFFu;
    }
    return got;
}

std::uint32_t writeFile(std::intptr_t hf, const void *memory, std::uint32_t cb, int *err, void *)
{
    plat::DWORD put = 0;
    if (!plat::writeFile(handleOf(hf), memory, cb, &put)) {
        *err = crtError();
        return 0xFFFFFFFFu;
    }
    return put;
}

int closeFile(std::intptr_t hf, int *err, void *)
{
    if (!plat::closeHandle(handleOf(hf))) {
        *err = crtError();
        return -1;
    }
    return 0;
}

long seekFile(std::intptr_t hf, long dist, int origin, int *err, void *)
{
    const plat::DWORD method = origin == cab::kSeekCur   ? plat::FILE_CURRENT
                               : origin == cab::kSeekEnd ? plat::FILE_END
                                                         : plat::FILE_BEGIN;
    std::int64_t position = 0;
    if (!plat::setFilePointerEx(handleOf(hf), dist, &position, method)) {
        *err = crtError();
        return -1;
    }
    return static_cast<long>(position);
}

int removeFile(const char *file, int *err, void *)
{
    if (!plat::deleteFile(file)) {
        *err = crtError();
        return -1;
    }
    return 0;
}

bool tempFile(char *name, int cbName, void *)
{
    char folder[plat::kMaxPath] = {};
    const plat::DWORD length = plat::getTempPath(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder)
        return false;
    char made[plat::kMaxPath] = {};
    if (plat::getTempFileName(folder, "xx", 0, made) == 0)
        return false;
    // The writer creates the file itself, exclusively.
    plat::deleteFile(made);
    if (static_cast<int>(std::strlen(made)) >= cbName)
        return false;
    std::memcpy(name, made, std::strlen(made) + 1);
    return true;
}

int filePlaced(cab::CCAB *ccab, const char *, long, bool, void *ctx)
{
    CabRun &run = runOf(ctx);
    run.currentCabinet = std::string(ccab->szCabPath) + ccab->szCab;
    run.currentDisk = ccab->szDisk;
    return 0;
}

bool nextCabinet(cab::CCAB *ccab, std::uint32_t, void *ctx)
{
    const CAB *cab = runOf(ctx).cab;
    const std::string name = cab->singleCabinet
                                 ? std::string(cab->baseName) + ".cab"
                                 : std::string(cab->baseName) + std::to_string(ccab->iCab) + ".cab";
    if (name.size() >= sizeof ccab->szCab)
        return false;
    std::snprintf(ccab->szCab, sizeof ccab->szCab, "%s", name.c_str());
    if (cab->diskLabel[0]) {
        const std::string disk = cab->singleCabinet
                                     ? std::string(cab->diskLabel)
                                     : std::string(cab->diskLabel) + std::to_string(ccab->iDisk);
        std::snprintf(ccab->szDisk, sizeof ccab->szDisk, "%s", disk.c_str());
    }
    return true;
}

std::intptr_t openInfo(const char *name, std::uint16_t *date, std::uint16_t *time,
                       std::uint16_t *attribs, int *err, void *ctx)
{
    CabRun &run = runOf(ctx);
    plat::HANDLE h = plat::createFile(name, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                      plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (h == plat::INVALID_HANDLE_VALUE) {
        *err = crtError();
        if (run.cab->skipLocked)
            run.skipFile = true;
        return -1;
    }
    plat::FILETIME written{}, local{};
    *date = *time = 0;
    if (plat::getFileTime(h, nullptr, nullptr, &written) &&
        plat::fileTimeToLocalFileTime(&written, &local))
        plat::fileTimeToDosDateTime(&local, date, time);
    const plat::DWORD attributes = plat::getFileAttributes(name);
    *attribs = attributes == plat::INVALID_FILE_ATTRIBUTES
                   ? 0
                   : static_cast<std::uint16_t>(
                         attributes & (plat::FILE_ATTRIBUTE_READONLY | plat::FILE_ATTRIBUTE_HIDDEN |
                                       plat::FILE_ATTRIBUTE_SYSTEM | plat::FILE_ATTRIBUTE_ARCHIVE));
    return reinterpret_cast<std::intptr_t>(h);
}

long status(unsigned typeStatus, std::uint32_t cb1, std::uint32_t cb2, void *ctx)
{
    CabRun &run = runOf(ctx);
    if (typeStatus == cab::kStatusFile) {
        run.compressedTotal += cb1;
        run.done += cb2;
        std::uint64_t done = run.done, expected = run.expected;
        while (done > 10000000) {
            done >>= 3;
            expected >>= 3;
        }
        std::uint64_t percent = expected ? done * 100 / expected : 0;
        if (percent > 100)
            percent = 100;
        plat::postMessage(run.cab->progressWnd, plat::WM_PROGRESS_STEP,
                          static_cast<plat::WPARAM>(percent), run.cab->filesAdded);
    }
    return cabCancelled(run) ? -1 : 0;
}

} // namespace

cab::Callbacks cabCallbacks()
{
    cab::Callbacks callbacks{};
    callbacks.filePlaced = filePlaced;
    callbacks.alloc = allocate;
    callbacks.free = release;
    callbacks.open = openFile;
    callbacks.read = readFile;
    callbacks.write = writeFile;
    callbacks.close = closeFile;
    callbacks.seek = seekFile;
    callbacks.remove = removeFile;
    callbacks.getTempFile = tempFile;
    callbacks.getNextCabinet = nextCabinet;
    callbacks.getOpenInfo = openInfo;
    callbacks.status = status;
    return callbacks;
}
