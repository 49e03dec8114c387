#include "brxcomp.h"
#include "brxmsg.h"
#include "brxutil.h"
#include "common/settings.h"
#include "compress_strings.h"
#include "dialogs.h"
#include "engine_glue.h"
#include "mail.h"

#include "platform/file.h"
#include "platform/globalmem.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

namespace cs = settings::compression;

namespace {

void copyText(char *target, std::size_t capacity, const std::string &text)
{
    std::snprintf(target, capacity, "%s", text.c_str());
}

bool isZeroLengthFile(const char *path)
{
    plat::WIN32_FIND_DATA data;
    plat::HANDLE search = plat::findFirstFile(path, &data);
    if (search == plat::INVALID_HANDLE_VALUE)
        return false;
    plat::findClose(search);
    return data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

// Names, paths, move/recurse and the filters of a plain add.
void prepareFilesAdd(_ADD *add, ZipCommand &command, bool archiveExists)
{
    if (!archiveExists) {
        command.function = ZIP_ADD;
    } else {
        switch (settings::read(cs::Method)) {
        case 1: command.function = ZIP_UPDATE; break;
        case 2: command.function = ZIP_FRESHEN; break;
        default: command.function = ZIP_ADD; break;
        }
    }
    command.moveFiles = settings::read(cs::Move);
    command.recurse = settings::read(cs::Recurse);
    switch (settings::read(cs::Path)) {
    case 0: command.noFolderNames = 1; break;
    case 1: command.options |= ZIP_OPT_RELATIVE_FOLDERS; break;
    default: break;
    }
    if (settings::read(cs::FilterDate)) {
        command.useDateFilter = 1;
        // Month and day are kept in range by the settings page; should a
        // stored value be wider anyway, the text is cut to its six places
        // and the engine rejects it as no valid date.
        char text[40];
        std::snprintf(text, sizeof text, "%2d%2d%2d", settings::read(cs::FilterMonth),
                      settings::read(cs::FilterDay), settings::read(cs::FilterYear) % 100);
        copyText(add->dateFilter, sizeof add->dateFilter, text);
        command.dateFilter = add->dateFilter;
    }
    switch (settings::read(cs::FilterFile)) {
    case 1:
        copyText(add->excludeFilter, sizeof add->excludeFilter, settings::read(cs::FilterExclude));
        command.useExclude = 1;
        command.exclude = add->excludeFilter;
        break;
    case 2:
        copyText(add->includeFilter, sizeof add->includeFilter, settings::read(cs::FilterInclude));
        command.useInclude = 1;
        command.include = add->includeFilter;
        break;
    default: break;
    }
}

// Fills the command from the settings and the dialogs; false when the user
// cancelled one of them.
bool prepare(_ADD *add)
{
    ZipCommand &command = add->command;
    initZipCommand(command);
    command.archivePath = add->archivePath;
    command.fileList = add->fileList;
    command.reserved44 = 1;
    command.reserved188 = 1;

    bool archiveExists = DoesFileExist(add->archivePath) != 0;
    if (archiveExists && isZeroLengthFile(add->archivePath)) {
        plat::deleteFile(add->archivePath);
        archiveExists = false;
    }
    command.factor = settings::read(cs::Factor);
    command.growArchive = archiveExists && settings::read(cs::Grow) ? 1 : 0;
    if (settings::read(cs::SkipLock))
        command.options |= ZIP_OPT_SKIP_LOCKED;

    if (add->flags & (ADF_RECOMPRESS | ADF_CONVERT)) {
        // The sources are temporary copies: they move into the archive.
        command.function = ZIP_ADD;
        command.options |= ZIP_OPT_RELATIVE_FOLDERS;
        command.moveFiles = 1;
        command.recurse = 1;
        command.noFolderNames = 0;
    } else if (add->flags & ADF_MEMORY) {
        command.function = ZIP_ADD_MEMORY;
        command.moveFiles = 0;
        command.recurse = 0;
        command.noFolderNames = 0;
        command.sourceData = add->sourceMemory ? plat::globalLock(add->sourceMemory) : nullptr;
        command.sourceSize = add->sourceLength;
    } else {
        prepareFilesAdd(add, command, archiveExists);
    }

    if (settings::read(cs::Password)) {
        std::string typed;
        const int answer = askPassword(add->parentWnd, &typed);
        if (answer != plat::IDOK && answer != IDC_NO_PASSWORD)
            return false;
        copyText(add->password, sizeof add->password, answer == plat::IDOK ? typed : "");
    }
    if (add->password[0]) {
        command.usePassword = 1;
        command.password = add->password;
    }
    if (add->comment[0]) {
        command.setComment = 1;
        command.comment = add->comment;
    }
    if (settings::read(cs::OldAsLatest))
        command.archiveTimeFromNewest = 1;
    if (add->tempFolder[0]) {
        command.useTempFolder = 1;
        command.tempFolder = add->tempFolder;
    }

    if (settings::read(cs::MultiVolume) && CheckIfRemovable(add->archivePath)) {
        int choice = 0;
        if (askMultiVolume(add->parentWnd, add->archivePath[0], &choice) != plat::IDOK)
            return false;
        // Spanning writes fresh disks; it never updates an archive in place.
        command.function = ZIP_ADD;
        command.growArchive = 0;
        command.multiVolume = choice == 1   ? ZIP_SPAN_DELETE
                              : choice == 2 ? ZIP_SPAN_FORMAT
                                            : ZIP_SPAN;
    }
    command.reserved120 = 1;
    command.reserved124 = 1;
    return true;
}

bool cancelRequested(const _ADD *add)
{
    return plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_QUERY_CANCEL, 0, 0) != 0;
}

int statusCallback(const char *line, int, void *context)
{
    auto *add = static_cast<_ADD *>(context);
    if (line && line[0] == 'I') {
        const std::size_t length = std::strlen(line);
        const char *blank = length > 6 ? std::strchr(line + 6, ' ') : nullptr;
        if (!blank)
            return 0;
        const std::string number(line + 5, blank);
        const int previous = add->entryNumber;
        add->entryNumber = std::atoi(number.c_str());
        if (previous == 0 && static_cast<std::size_t>(blank - line) + 4 <= length)
            plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_TOTAL_RANGE, 0,
                              std::atoi(blank + 4));
        add->counting = 1;
    }
    plat::postMessage(add->progressWnd, plat::WM_PROGRESS_STEP, 0, add->entryNumber);
    return cancelRequested(add) ? 1 : 0;
}

int fileCallback(const char *name, int percent, void *context)
{
    auto *add = static_cast<_ADD *>(context);
    if (add->counting && name) {
        copyText(add->currentName, sizeof add->currentName, name);
        for (char *c = add->currentName; *c; ++c)
            if (*c == '/')
                *c = '\\';
        if (add->entryNumber) {
            plat::postMessage(add->progressWnd, plat::WM_PROGRESS_STEP,
                              static_cast<plat::WPARAM>(percent), add->entryNumber);
            plat::postMessage(add->progressWnd, plat::WM_PROGRESS_FILE_NAME,
                              reinterpret_cast<plat::WPARAM>(add->currentName), add->entryNumber);
        }
    }
    return cancelRequested(add) ? 1 : 0;
}

void worker(_ADD *add)
{
    const std::string title =
        plat::formatText(compressString(IDS_ADDING_FILES), std::string(add->archivePath));
    InitProgress(add->progressWnd, 0, 100, 0, 100, title.c_str());

    ZipCommand &command = add->command;
    command.options |= ZIP_OPT_ASYNC_ADD;
    command.statusCallback = statusCallback;
    command.statusContext = add;
    command.fileCallback = fileCallback;
    command.fileContext = add;
    command.messageCallback = messageDisplayAdd();
    command.messageContext = add;
    add->errorShown = 0;

    int result = RESULT_ADD_CANCELLED;
    if (!cancelRequested(add)) {
        add->counting = 0;
        result = dzipS(&command);
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_STEP, 100, add->entryNumber);
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_DONE, 0, 0);
        // With a UI thread named, its completion handler does the mailing.
        if (result == 0 && (add->flags & ADF_MAIL) && !add->uiThread && add->parentWnd)
            mailFiles({add->archivePath}, add->parentWnd);
    }
    add->result = result;
    const auto record = reinterpret_cast<plat::WPARAM>(add);
    if (add->uiThread)
        plat::postThreadMessage(add->uiThread, plat::WM_OPERATION_DONE, record,
                                OPERATION_ADD_OR_DELETE);
    else
        plat::postMessage(add->parentWnd, plat::WM_OPERATION_DONE, record, OPERATION_ADD_OR_DELETE);
}

} // namespace

int Add(_ADD *add)
{
    if (!add)
        return 0;
    if (!add->commandReady && !prepare(add))
        return 0;
    _PROGRESS_INIT init{1, 1, add->parentWnd};
    add->progressWnd = CreateProgress(&init);
    try {
        std::thread(worker, add).detach();
    } catch (const std::system_error &) {
        // No thread, no operation: the caller still owns the record.
        plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
        add->progressWnd = nullptr;
        return 0;
    }
    return 1;
}
