// The disk procedure of cabinet creation on removable media: the first-disk
// prompt, the choice of the multi-volume dialog (keep, delete, format) and the
// prompts for following disks until the drive has room for a cabinet.

#include "brxutil.h"
#include "cab_run.h"
#include "compress_strings.h"

#include "platform/drives.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

int ask(CabRun &run, unsigned id, const std::string &text, plat::UINT style)
{
    return plat::messageBox(run.cab->progressWnd, plat::ModalText{kCompressModule, id, text},
                            compressString(IDS_PRODUCT_NAME), style);
}

std::string driveRoot(const CAB *cab)
{
    return std::string{cab->cabinetPath[0], ':', '\\'};
}

std::optional<std::uint64_t> freeSpace(const CAB *cab)
{
    plat::DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
    if (!plat::getDiskFreeSpace(driveRoot(cab).c_str(), &sectors, &bytes, &freeClusters, &total))
        return std::nullopt;
    return std::uint64_t(sectors) * bytes * freeClusters;
}

// The files (not folders) in the cabinet's folder, through the shell.
void deleteExistingFiles(CabRun &run)
{
    const std::string folder = run.cab->folder;
    std::string list;
    plat::WIN32_FIND_DATA data;
    plat::HANDLE search = plat::findFirstFile((folder + "*.*").c_str(), &data);
    if (search == plat::INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY)) {
            list += folder + data.cFileName;
            list += '\0';
        }
    } while (plat::findNextFile(search, &data));
    plat::findClose(search);
    if (list.empty())
        return;
    list += '\0';
    ShellFileOp(FO_DELETE, list.c_str(), nullptr, run.cab->progressWnd, 1, 1);
}

void formatDisk(CabRun &run)
{
    plat::formatMedium(run.cab->cabinetPath[0], nullptr);
}

void prepareMedium(CabRun &run)
{
    if (run.cab->volumeMode == 1)
        deleteExistingFiles(run);
    else if (run.cab->volumeMode == 2)
        formatDisk(run);
}

std::string followingDiskPrompt(const CabRun &run)
{
    // The disk being asked for is the one the next cabinet goes to.
    const std::string disk = !run.currentDisk.empty()
                                 ? run.currentDisk
                                 : plat::formatText(compressString(IDS_DISK_NUMBER),
                                                    static_cast<unsigned>(run.cabinets.size() + 1));
    return plat::formatText(compressString(IDS_INSERT_NEXT_DISK), disk);
}

} // namespace

bool diskProcedure(CabRun &run, bool first)
{
    CAB *cab = run.cab;
    const bool wipes = cab->volumeMode == 1 || cab->volumeMode == 2;
    if (first) {
        if (ask(run, IDS_INSERT_FIRST_DISK, compressString(IDS_INSERT_FIRST_DISK),
                plat::MB_OKCANCEL | plat::MB_ICONINFORMATION) != plat::IDOK)
            return false;
        plat::DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
        if (plat::getDiskFreeSpace(driveRoot(cab).c_str(), &sectors, &bytes, &freeClusters,
                                   &total)) {
            std::uint64_t capacity = std::uint64_t(sectors) * bytes * total;
            if (capacity > 0xFFFFFFFFu)
                capacity = 0xFFFFFFFFu;
            // The writer's parameters are already fixed; from here on the
            // size only steers the free-space checks and following names.
            if (cab->maxCabinetSize == 0) {
                cab->maxCabinetSize = static_cast<std::uint32_t>(capacity);
                cab->singleCabinet = 0;
            } else if (capacity < cab->maxCabinetSize) {
                cab->maxCabinetSize = static_cast<std::uint32_t>(capacity);
            }
        }
        prepareMedium(run);
    }

    for (int pass = 0;; ++pass) {
        const std::optional<std::uint64_t> space = freeSpace(cab);
        if (!space || *space >= cab->maxCabinetSize)
            return true;
        if (!first && (pass == 0 || wipes)) {
            if (ask(run, IDS_INSERT_NEXT_DISK, followingDiskPrompt(run),
                    plat::MB_OKCANCEL | plat::MB_ICONINFORMATION) != plat::IDOK)
                return false;
        } else if (first && pass > 0 && wipes) {
            // Deleting or formatting did not free enough: ask for another disk
            // rather than wiping the same one over and over.
            if (ask(run, IDS_INSERT_FIRST_DISK, compressString(IDS_INSERT_FIRST_DISK),
                    plat::MB_OKCANCEL | plat::MB_ICONINFORMATION) != plat::IDOK)
                return false;
        }
        if (wipes) {
            prepareMedium(run);
        } else if (pass > 0) {
            const std::string text =
                plat::formatText(compressString(IDS_NOT_ENOUGH_SPACE), std::string(cab->folder));
            const int answer =
                ask(run, IDS_NOT_ENOUGH_SPACE, text, plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION);
            if (answer == plat::IDCANCEL)
                return false;
            if (answer == plat::IDYES)
                deleteExistingFiles(run);
        }
    }
}
