#include "zip_command.h"

#include "brxutil.h"
#include "common/settings.h"
#include "platform/file.h"

#include <cstdio>

namespace brx {

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

std::string settingsDateFilter()
{
    char text[40];
    std::snprintf(text, sizeof text, "%2d%2d%2d", settings::read(cs::FilterMonth),
                  settings::read(cs::FilterDay), settings::read(cs::FilterYear) % 100);
    return text;
}

} // namespace

void prepareAddCommand(_ADD *add, const AddChoices &choices)
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
    command.factor = choices.factor.value_or(settings::read(cs::Factor));
    command.growArchive =
        archiveExists && choices.grow.value_or(settings::read(cs::Grow) != 0) ? 1 : 0;
    if (choices.skipLocked.value_or(settings::read(cs::SkipLock) != 0))
        command.options |= ZIP_OPT_SKIP_LOCKED;

    if (choices.convert) {
        // The sources are temporary copies: they move into the archive.
        command.function = ZIP_ADD;
        command.options |= ZIP_OPT_RELATIVE_FOLDERS;
        command.moveFiles = 1;
        command.recurse = 1;
        add->flags |= ADF_CONVERT;
    } else {
        const int method = choices.method.value_or(settings::read(cs::Method));
        command.function = !archiveExists ? ZIP_ADD
                           : method == 1  ? ZIP_UPDATE
                           : method == 2  ? ZIP_FRESHEN
                                          : ZIP_ADD;
        command.moveFiles = choices.move.value_or(settings::read(cs::Move) != 0) ? 1 : 0;
        command.recurse = choices.recurse.value_or(settings::read(cs::Recurse) != 0) ? 1 : 0;
        switch (choices.pathMode.value_or(settings::read(cs::Path))) {
        case 0: command.noFolderNames = 1; break;
        case 1: command.options |= ZIP_OPT_RELATIVE_FOLDERS; break;
        default: break;
        }
        std::optional<std::string> date = choices.dateFilter;
        if (!date && settings::read(cs::FilterDate))
            date = settingsDateFilter();
        if (date) {
            copyText(add->dateFilter, sizeof add->dateFilter, *date);
            command.useDateFilter = 1;
            command.dateFilter = add->dateFilter;
        }
        std::optional<std::string> include = choices.include, exclude = choices.exclude;
        if (!include && !exclude) {
            switch (settings::read(cs::FilterFile)) {
            case 1: exclude = settings::read(cs::FilterExclude); break;
            case 2: include = settings::read(cs::FilterInclude); break;
            default: break;
            }
        }
        if (exclude) {
            copyText(add->excludeFilter, sizeof add->excludeFilter, *exclude);
            command.useExclude = 1;
            command.exclude = add->excludeFilter;
        }
        if (include) {
            copyText(add->includeFilter, sizeof add->includeFilter, *include);
            command.useInclude = 1;
            command.include = add->includeFilter;
        }
    }
    if (choices.password)
        copyText(add->password, sizeof add->password, *choices.password);
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
    command.reserved120 = 1;
    command.reserved124 = 1;
    add->commandReady = 1;
}

} // namespace brx
