// The engines' message callbacks: disk prompts, file errors, status reports
// and the replace question, shown as message boxes owned by the progress
// window of the request.

#include "brxmsg.h"
#include "brxutil.h"
#include "msg_strings.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/strings.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" BRX_EXPORT const plat::OrdinalExport brx_ordinal_exports[] = {
    {1, "MessageDisplayAdd"},
    {2, "MessageDisplayExtract"},
    {3, "MessageDisplayFIZI"},
    {0, nullptr},
};

namespace {

enum : int {
    MSG_INSERT_DISK = 0,
    MSG_INSERT_DISK_OF = 1,
    MSG_NOT_OPENED = 2,
    MSG_NOT_READ = 3,
    MSG_NOT_WRITTEN = 4,
    MSG_REMOVABLE_ONLY = 5,
    MSG_SAME_MEDIA = 6,
    MSG_FORMAT_FAILED = 7,
    MSG_REPLACE = 8,
    MSG_NOT_FIRST_DISK = 10,
    MSG_STATUS = 11,
    MSG_LEFT_IN_TEMP = 12,
    MSG_LAST_KNOWN = 13,
};

constexpr const char kLeftPrefix[] = "new zip file left as: ";
constexpr const char kExistsSuffix[] = " exists";

int show(HWND owner, unsigned id, const std::string &text, unsigned style)
{
    return plat::messageBox(owner, plat::ModalText{kMsgModule, id, text},
                            msgString(IDS_PRODUCT_NAME), style);
}

int showId(HWND owner, unsigned id, unsigned style)
{
    return show(owner, id, msgString(id), style);
}

int insertDiskPrompt(HWND owner, int number1, int number2, unsigned style)
{
    if (number1 == -1)
        return showId(owner, IDS_INSERT_FIRST_DISK, style);
    if (number2 == -1)
        return showId(owner, IDS_INSERT_LAST_DISK, style);
    return show(owner, IDS_INSERT_DISK, plat::formatText(msgString(IDS_INSERT_DISK), number1),
                style);
}

// Messages both engines send alike. Returns true when `type` was one of them.
bool commonMessage(int type, unsigned style, int number1, int number2, HWND owner,
                   const char *archivePath, int *answer)
{
    switch (type) {
    case MSG_INSERT_DISK: *answer = insertDiskPrompt(owner, number1, number2, style); return true;
    case MSG_INSERT_DISK_OF:
        *answer = show(owner, IDS_INSERT_DISK_OF,
                       plat::formatText(msgString(IDS_INSERT_DISK_OF), number1, number2), style);
        return true;
    case MSG_NOT_OPENED:
    case MSG_NOT_READ:
    case MSG_NOT_WRITTEN: {
        const unsigned id = type == MSG_NOT_OPENED ? IDS_NOT_OPENED
                            : type == MSG_NOT_READ ? IDS_NOT_READ
                                                   : IDS_NOT_WRITTEN;
        *answer = show(owner, id, plat::formatText(msgString(id), archivePath), style);
        return true;
    }
    case MSG_REMOVABLE_ONLY: *answer = showId(owner, IDS_REMOVABLE_ONLY, style); return true;
    case MSG_SAME_MEDIA: *answer = showId(owner, IDS_SAME_MEDIA, style); return true;
    case MSG_FORMAT_FAILED:
        *answer = showId(owner, number1 ? IDS_NOT_WIPED : IDS_NOT_FORMATTED, style);
        return true;
    case MSG_NOT_FIRST_DISK: *answer = showId(owner, IDS_NOT_FIRST_DISK, style); return true;
    default: return false;
    }
}

// The status tables: string to show for a code, 0 for none.
unsigned extractStatusString(int code, _EXTRACT *request)
{
    switch (code) {
    case 2: return IDS_ARCHIVE_DAMAGED_EXTRACT;
    case 4: return IDS_OUT_OF_MEMORY_4;
    case 5: return IDS_OUT_OF_MEMORY_5;
    case 9: return IDS_ARCHIVE_GONE;
    case 11: return IDS_NOTHING_TO_EXTRACT;
    case 28: return IDS_FILE_NOT_CREATED;
    case 29: return IDS_ARCHIVE_NOT_OPENED;
    case 41:
    case 44:
        if (request)
            request->encryptedSkipped = 1;
        return 0;
    case 46: return IDS_VOLUME_ID;
    case 49: return request && request->encryptedSkipped ? unsigned(IDS_NO_DECRYPTION_CODE) : 0u;
    case 50: return IDS_DISK_FULL;
    default: return 0;
    }
}

unsigned addStatusString(int code)
{
    switch (code) {
    case 2: return IDS_ZIP_DAMAGED;
    case 3: return IDS_ZIP_STRUCTURE;
    case 4: return IDS_ZIP_MEMORY;
    case 8: return IDS_ZIP_DAMAGED_OR_MEMORY;
    case 10: return IDS_ZIP_TEMP_FILE;
    case 11: return IDS_ZIP_READ_FILE;
    case 12: return IDS_ZIP_NOTHING;
    case 13: return IDS_ZIP_MISSING;
    case 14: return IDS_ZIP_NOT_WRITTEN;
    case 15: return IDS_ZIP_NOT_CREATED;
    case 18: return IDS_ZIP_NOT_FOUND;
    case 19: return IDS_ZIP_DISK_NOT_READ;
    default: return 0;
    }
}

// One report per engine call: the first status that shows a message sets the
// request's flag and every later message of the same call is suppressed.
// Statuses without a message (an encrypted entry skipped) do not use up the
// report, or the closing "files were skipped" message of that very call
// would never be seen.
bool firstReport(std::int32_t *errorShown)
{
    if (!errorShown)
        return true;
    if (*errorShown)
        return false;
    *errorShown = 1;
    return true;
}

int replaceQuestion(_EXTRACT *request, const char *text)
{
    if (!request)
        return plat::IDCANCEL;
    if (request->replaceAllState == 1)
        return plat::IDYES;
    if (request->replaceAllState == 2)
        return plat::IDNO;
    std::string path = text ? text : "";
    if (const std::size_t cut = path.rfind(kExistsSuffix); cut != std::string::npos)
        path.resize(cut);
    const int index = request->entryNumber - 1;
    const ZIPINFOEX *entry = request->entries && index >= 0 && index < request->entryCount
                                 ? &request->entries[index]
                                 : nullptr;
    switch (Confirm(path.c_str(), entry, request->progressWnd)) {
    case 0: return plat::IDYES;
    case 1: request->replaceAllState = 1; return plat::IDYES;
    case 2: return plat::IDNO;
    case 3: request->replaceAllState = 2; return plat::IDNO;
    default: return plat::IDCANCEL;
    }
}

// The finished archive could not replace the original and stays in the
// temporary folder: give it the archive's own name there and say where it is.
int leftInTemporaryFolder(_ADD *request, unsigned style, const char *leftPath)
{
    const std::string left = leftPath;
    const char *archivePath = request ? request->archivePath : "";
    char target[plat::kMaxPath] = {};
    const std::string wanted = plat::pathFolder(left) + "\\" + GetFileNameFromFullPath(archivePath);
    std::snprintf(target, sizeof target, "%s", wanted.c_str());
    MakeValidFileName(target, 0, 1);
    _RENAMEINFO mask{};
    PrepareMUFNMask("%f (%n)", &mask, 1);
    const std::string unique = MakeUniqueFileName(target, &mask);
    // When the file cannot be renamed, the message names it where it is.
    std::string shownName = left;
    if (!unique.empty() && wanted.size() < sizeof target &&
        plat::moveFile(left.c_str(), unique.c_str()))
        shownName = unique;
    const int answer =
        show(request ? request->progressWnd : nullptr, IDS_LEFT_IN_TEMP,
             plat::formatText(msgString(IDS_LEFT_IN_TEMP), archivePath, shownName), style);
    if (request)
        request->errorShown = 1;
    return answer;
}

} // namespace

int MessageDisplayAdd(int type, unsigned style, int number1, int number2, const char *text, int,
                      void *context)
{
    auto *request = static_cast<_ADD *>(context);
    const HWND owner = request ? request->progressWnd : nullptr;
    int answer = 1;
    if (commonMessage(type, style, number1, number2, owner, request ? request->archivePath : "",
                      &answer))
        return answer;
    switch (type) {
    case MSG_STATUS:
        if (const unsigned id = addStatusString(number1))
            if (firstReport(request ? &request->errorShown : nullptr))
                showId(owner, id, plat::MB_OK);
        return 1;
    case MSG_LEFT_IN_TEMP:
        if (text && std::strncmp(text, kLeftPrefix, sizeof kLeftPrefix - 1) == 0)
            return leftInTemporaryFolder(request, style, text + sizeof kLeftPrefix - 1);
        return 1;
    default: return type <= MSG_LAST_KNOWN ? 0 : 1;
    }
}

int MessageDisplayExtract(int type, unsigned style, int number1, int number2, const char *text, int,
                          void *context)
{
    auto *request = static_cast<_EXTRACT *>(context);
    const HWND owner = request ? request->progressWnd : nullptr;
    int answer = 1;
    if (commonMessage(type, style, number1, number2, owner, request ? request->archivePath : "",
                      &answer))
        return answer;
    switch (type) {
    case MSG_REPLACE: return replaceQuestion(request, text);
    case MSG_STATUS:
        if (const unsigned id = extractStatusString(number1, request))
            if (firstReport(request ? &request->errorShown : nullptr))
                showId(owner, id, plat::MB_OK);
        return 1;
    case MSG_LAST_KNOWN: return 0;
    default: return 1;
    }
}

int MessageDisplayFIZI(int, unsigned kind, int number1, int number2, const char *, int, void *)
{
    switch (kind) {
    case 1: return insertDiskPrompt(nullptr, number1, number2, plat::MB_OKCANCEL);
    case 10:
        // The engine's own style value here is no valid combination; the
        // message is a warning with an OK button.
        return showId(nullptr, IDS_NOT_FIRST_DISK, plat::MB_OK | plat::MB_ICONEXCLAMATION);
    default: return 1;
    }
}

int MessageDelete(void *block, int)
{
    std::free(block);
    return 0;
}
