// DoCab: builds a cabinet, or a numbered set of cabinets, from the files,
// folders and wildcards of a CAB record, on the caller's thread with the
// progress window kept alive by pumping its messages.

#include "brxcomp.h"
#include "brxmsg.h"
#include "brxutil.h"
#include "cab_run.h"
#include "common/settings.h"
#include "compress_strings.h"
#include "dialogs.h"
#include "mail.h"

#include "platform/file.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <QWidget>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <vector>

namespace cc = settings::cabcompression;
namespace co = settings::caboptions;

namespace {

constexpr std::uint32_t kUnlimited = 0x7FFFFFFF;
constexpr std::uint32_t kMaxReserve = 60000;
constexpr std::uint16_t kSetId = 12345;

void copyText(char *target, std::size_t capacity, const std::string &text)
{
    std::snprintf(target, capacity, "%s", text.c_str());
}

// The leading decimal number of a setting's text; 0 for none or a negative
// number, at most 2^32 - 1.
std::uint64_t numberIn(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    std::uint64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > 0xFFFFFFFFu)
            return 0xFFFFFFFFu;
    }
    return value;
}

std::uint64_t unitBytes(int unit)
{
    switch (unit) {
    case 1: return 1024;
    case 2: return 1;
    default: return 1048576;
    }
}

// Bytes of `number` in `unit`, no more than `limit`.
std::uint32_t sizeIn(const std::string &number, int unit, std::uint32_t limit)
{
    const std::uint64_t bytes = numberIn(number) * unitBytes(unit);
    return static_cast<std::uint32_t>(bytes > limit ? limit : bytes);
}

std::uint32_t maxSizeOfType(int type)
{
    switch (type) {
    case 1: return 1457664;
    case 2: return 1310720;
    case 3: return 1213952;
    case 4: return 730112;
    case 5: return 362496;
    case 6: return 100431872;
    default:
        return sizeIn(settings::read(co::MaxDiskSize), settings::read(co::MaxDiskUnit),
                      0xFFFFFFFFu);
    }
}

// Reads the settings into the record; false when the multi-volume dialog
// was cancelled.
bool prepare(CAB *cab)
{
    if (cab->flags & (ADF_RECOMPRESS | ADF_CONVERT)) {
        // The sources are temporary copies: they move into the cabinet.
        cab->moveFiles = 1;
        cab->recurse = 1;
        cab->pathMode = 1;
    } else {
        cab->moveFiles = settings::read(cc::Move) ? 1 : 0;
        cab->recurse = settings::read(cc::Recurse) ? 1 : 0;
        cab->pathMode = static_cast<std::uint32_t>(settings::read(cc::Path));
    }
    cab->skipLocked = settings::read(cc::SkipLock) ? 1 : 0;

    const std::string name = GetFileNameFromFullPath(static_cast<const char *>(cab->cabinetPath));
    copyText(cab->baseName, sizeof cab->baseName, name.substr(0, name.rfind('.')));
    // A bare file name has no folder of its own (not the drive's root).
    copyText(cab->folder, sizeof cab->folder,
             std::strchr(cab->cabinetPath, '\\') ? GetDirFromFullPath(cab->cabinetPath) : "");
    copyText(cab->diskLabel, sizeof cab->diskLabel, settings::read(co::Disk));

    const int type = settings::read(co::MaxDiskType);
    cab->singleCabinet = type == 0 ? 1 : 0;
    cab->maxCabinetSize = type == 0 ? 0 : maxSizeOfType(type);

    cab->volumeMode = -1;
    if (settings::read(cc::MultiVolume) && CheckIfRemovable(cab->cabinetPath)) {
        int choice = 0;
        if (askMultiVolume(cab->parentWnd, cab->cabinetPath[0], &choice) != plat::IDOK)
            return false;
        cab->volumeMode = choice;
    }

    cab->reserveSize =
        sizeIn(settings::read(co::ReservedSize), settings::read(co::ReservedUnit), kMaxReserve);
    cab->compressionType = static_cast<std::uint32_t>(settings::read(co::CompressionType));
    cab->compressionLevel = static_cast<std::uint32_t>(settings::read(co::CompressionLevel));
    cab->nameStart = settings::read(co::NameStartingNumber);
    cab->diskStart = settings::read(co::DiskStartingNumber);
    cab->folderPerFile = settings::read(co::Folder) ? 1 : 0;
    return true;
}

void showError(CabRun &run, unsigned id, const std::string &text)
{
    if (auto *window = qobject_cast<QWidget *>(run.cab->progressWnd)) {
        window->raise();
        window->activateWindow();
    }
    plat::messageBox(run.cab->progressWnd, plat::ModalText{kCompressModule, id, text},
                     compressString(IDS_PRODUCT_NAME), plat::MB_OK | plat::MB_ICONSTOP);
}

void showWriterError(CabRun &run, unsigned id, const cab::Error &error)
{
    showError(run, id, plat::formatText(compressString(id), cab::writerErrorText(error.code)));
}

// The parameters of the first cabinet; false when the names do not fit.
bool fillParameters(CAB *cab, cab::CCAB &ccab)
{
    std::memset(&ccab, 0, sizeof ccab);
    ccab.cb = cab->maxCabinetSize ? cab->maxCabinetSize : kUnlimited;
    ccab.cbFolderThresh = kUnlimited;
    ccab.cbReserveCFHeader = cab->reserveSize;
    ccab.setID = kSetId;
    ccab.iDisk = cab->diskStart;
    // The first cabinet is the file the caller named, whatever its extension
    // or case; following ones are made from the base name.
    const std::string fileName =
        GetFileNameFromFullPath(static_cast<const char *>(cab->cabinetPath));
    std::string disk = cab->diskLabel;
    if (cab->singleCabinet) {
        ccab.iCab = cab->nameStart;
    } else {
        // A set is numbered on from the digits the chosen name ends in
        // (at most nine of them, so the numbers cannot overflow).
        std::string prefix = cab->baseName;
        std::size_t digits = 0;
        while (digits < prefix.size() && digits < 9 &&
               std::isdigit(static_cast<unsigned char>(prefix[prefix.size() - 1 - digits])))
            ++digits;
        ccab.iCab = digits ? std::atoi(prefix.c_str() + prefix.size() - digits) : 1;
        prefix.resize(prefix.size() - digits);
        copyText(cab->baseName, sizeof cab->baseName, prefix);
        if (!disk.empty())
            disk += std::to_string(ccab.iDisk);
    }
    if (fileName.size() >= sizeof ccab.szCab || std::strlen(cab->folder) >= sizeof ccab.szCabPath)
        return false;
    copyText(ccab.szCab, sizeof ccab.szCab, fileName);
    copyText(ccab.szDisk, sizeof ccab.szDisk, disk);
    copyText(ccab.szCabPath, sizeof ccab.szCabPath, cab->folder);
    return true;
}

int compressionCode(const CAB *cab)
{
    if (cab->compressionType == 2)
        return static_cast<int>(cab->compressionLevel * 256 + 3);
    return static_cast<int>(cab->compressionType);
}

std::uint64_t fileSize(const std::string &path)
{
    plat::WIN32_FIND_DATA data;
    plat::HANDLE search = plat::findFirstFile(path.c_str(), &data);
    if (search == plat::INVALID_HANDLE_VALUE)
        return 0;
    plat::findClose(search);
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Deletes the sources the finished cabinets hold (never a cabinet of this run).
void deleteStoredSources(const CabRun &run)
{
    for (std::size_t index : run.stored) {
        const std::string &path = run.files[index];
        bool isCabinet = false;
        for (const std::string &cabinet : run.cabinets)
            isCabinet = isCabinet || strcasecmp(cabinet.c_str(), path.c_str()) == 0;
        if (!isCabinet)
            plat::deleteFile(path.c_str());
    }
}

// Adds every gathered file; false when the run failed (reported here).
bool addAll(CabRun &run, cab::Writer *writer, cab::Error &error, int compression)
{
    CAB *cab = run.cab;
    plat::sendMessage(cab->progressWnd, plat::WM_PROGRESS_TOTAL_RANGE, 0,
                      static_cast<plat::LPARAM>(run.files.size()));
    cab->filesAdded = 0;
    for (std::size_t i = 0; i < run.files.size(); ++i) {
        if (cabCancelled(run))
            return true; // reported with the flush
        const std::string &path = run.files[i];
        const std::string name = storedName(path, cab->pathMode, cab->baseFolder);
        if (DoesFileExist(path.c_str()) != 1)
            continue;
        if (cab->folderPerFile && !cab::flushFolder(writer))
            return false;
        cab->filesAdded += 1;
        plat::postMessage(cab->progressWnd, plat::WM_PROGRESS_STEP, 0, cab->filesAdded);
        plat::postMessage(cab->progressWnd, plat::WM_PROGRESS_FILE_NAME,
                          reinterpret_cast<plat::WPARAM>(path.c_str()), cab->filesAdded);
        const std::uint64_t size = fileSize(path);
        run.expected = run.done < run.expected ? run.expected + size - run.done : size;
        run.done = 0;
        if (cab::addFile(writer, path.c_str(), name.c_str(), false, compression)) {
            run.stored.push_back(i);
            continue;
        }
        if (run.skipFile) {
            // Only the source's open failed, before the writer changed
            // anything: clear the failure so the writer goes on.
            run.skipFile = false;
            error = cab::Error{cab::kErrNone, 0, false};
            continue;
        }
        if (run.cancelled)
            return true; // reported with the flush
        showWriterError(run, IDS_ADD_FAILED, error);
        return false;
    }
    return true;
}

bool build(CabRun &run)
{
    CAB *cab = run.cab;
    const std::size_t folderLength = std::strlen(cab->folder);
    if (folderLength && cab->folder[folderLength - 1] != '\\' &&
        folderLength + 1 < sizeof cab->folder) {
        cab->folder[folderLength] = '\\';
        cab->folder[folderLength + 1] = '\0';
    }
    cab::CCAB ccab;
    const bool namesFit = fillParameters(cab, ccab);
    const int compression = compressionCode(cab);

    if (cab->volumeMode != -1 && !diskProcedure(run, true))
        return false;

    cab::Error error{};
    cab::Writer *writer = namesFit ? cab::create(&error, cabCallbacks(), ccab, &run) : nullptr;
    if (!writer) {
        if (!namesFit)
            error.code = cab::kErrCabFile;
        showWriterError(run, IDS_CREATE_FAILED, error);
        return false;
    }

    gatherFiles(run);
    if (!run.cancelled && run.files.empty()) {
        showError(run, IDS_NOTHING_TO_ADD, compressString(IDS_NOTHING_TO_ADD));
        cab::destroy(writer);
        return false;
    }
    if (!run.cancelled && !addAll(run, writer, error, compression)) {
        cab::destroy(writer);
        return false;
    }
    // Every source vanished or was skipped: there is no cabinet to report
    // as made.
    if (!run.cancelled && run.stored.empty()) {
        showError(run, IDS_NOTHING_TO_ADD, compressString(IDS_NOTHING_TO_ADD));
        cab::destroy(writer);
        return false;
    }
    // A cancelled run writes nothing more: the cabinet being filled is dropped.
    const bool flushed = !run.cancelled && cab::flushCabinet(writer, false);
    const bool destroyed = cab::destroy(writer);
    if (!flushed || !destroyed) {
        showError(run, IDS_CABINET_FAILED, compressString(IDS_CABINET_FAILED));
        return false;
    }
    if (cab->moveFiles)
        deleteStoredSources(run);
    return true;
}

} // namespace

bool cabCancelled(CabRun &run)
{
    ProgressPump(run.cab->progressWnd);
    if (!run.cancelled &&
        plat::sendMessage(run.cab->progressWnd, plat::WM_PROGRESS_QUERY_CANCEL, 0, 0) != 0)
        run.cancelled = true;
    return run.cancelled;
}

int DoCab(CAB *cab)
{
    if (!cab)
        return 0;
    try {
        if (!prepare(cab))
            return 0;
    } catch (const std::bad_alloc &) {
        return 0;
    }

    _PROGRESS_INIT init{1, 1, cab->parentWnd};
    cab->progressWnd = CreateProgress(&init);
    const std::string title =
        plat::formatText(compressString(IDS_ADDING_FILES), std::string(cab->cabinetPath));
    InitProgress(cab->progressWnd, 0, 100, 0, 100, title.c_str());

    bool ok = false;
    std::vector<std::string> cabinets;
    try {
        CabRun run;
        run.cab = cab;
        ok = build(run);
        cabinets = run.cabinets;
        // File names posted during the run point into the run: let the
        // window take them in before the run goes away.
        ProgressPump(cab->progressWnd);
    } catch (const std::bad_alloc &) {
        ok = false;
    }

    // With a UI thread named, its completion handler does the mailing. Every
    // cabinet of a set goes along: one alone cannot be unpacked.
    if (ok && (cab->flags & ADF_MAIL) && !cab->uiThread && cab->parentWnd)
        mailFiles(cabinets.empty() ? std::vector<std::string>{cab->cabinetPath} : cabinets,
                  cab->parentWnd);

    plat::sendMessage(cab->progressWnd, plat::WM_PROGRESS_STEP, 100, cab->filesAdded);
    plat::sendMessage(cab->progressWnd, plat::WM_PROGRESS_DONE, 0, 0);
    cab->failed = ok ? 0 : 1;
    const auto record = reinterpret_cast<plat::WPARAM>(cab);
    if (cab->uiThread)
        plat::postThreadMessage(cab->uiThread, plat::WM_OPERATION_DONE, record, OPERATION_CABINET);
    else
        plat::postMessage(cab->parentWnd, plat::WM_OPERATION_DONE, record, OPERATION_CABINET);
    return 1;
}
