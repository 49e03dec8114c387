// Catalogue exports of the extract library: archive kind, entry count, entry
// records, kind names and the archive comment. ZIP archives are read through
// the unzip engine's command block, cabinets through the cabinet catalogue.

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "brxextrc.h"
#include "cabinet_catalogue.h"
#include "dunzip.h"
#include "extract_strings.h"
#include "platform/drives.h"
#include "platform/globalmem.h"
#include "platform/module.h"
#include "platform/strings.h"
#include "platform/virtualmem.h"

namespace {

constexpr int kPrefetchRecords = 256;

// The listing callback of the message library (ordinal 3), bound once. When
// the library cannot be loaded the engine runs without a callback: it then
// cannot ask for the last disk of a spanned archive and reports a failure.
EngineMessageCallback listingCallback()
{
    static std::once_flag once;
    static EngineMessageCallback callback = nullptr;
    std::call_once(once, [] {
        if (plat::HMODULE module = plat::loadLibrary("BRXMSG.DLL"))
            callback = reinterpret_cast<EngineMessageCallback>(
                plat::getProcAddress(module, plat::ordinalName(3)));
    });
    return callback;
}

void prepareCommand(UnzipCommand &cmd, std::int32_t function, const char *path)
{
    initUnzipCommand(cmd);
    cmd.function = function;
    cmd.archivePath = path;
}

bool equalsIgnoreCase(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

} // namespace

BRX_EXPORT int DetermineFileType(const char *path)
{
    if (!path)
        return ARCHIVE_UNKNOWN;
    const char *dot = std::strrchr(path, '.');
    if (!dot)
        return ARCHIVE_UNKNOWN;
    if (equalsIgnoreCase(dot, ".zip"))
        return ARCHIVE_ZIP;
    if (equalsIgnoreCase(dot, ".cab"))
        return ARCHIVE_CABINET;
    if (!equalsIgnoreCase(dot, ".exe"))
        return ARCHIVE_UNKNOWN;
    // Programs on removable media are not probed (that would read a whole disk).
    char root[4] = {path[0], ':', '\\', 0};
    if (plat::getDriveType(root) == plat::DRIVE_REMOVABLE)
        return ARCHIVE_UNKNOWN;
    UnzipCommand cmd;
    prepareCommand(cmd, UNZIP_COUNT, path);
    return dunzipS(&cmd) == 0 ? ARCHIVE_ZIP : ARCHIVE_UNKNOWN;
}

BRX_EXPORT int GetFileCount(const char *path, int *count)
{
    int dummy = 0;
    int &out = count ? *count : dummy;
    int result = RESULT_CATALOGUE_FAILED;
    switch (DetermineFileType(path)) {
    case ARCHIVE_ZIP: {
        UnzipCommand cmd;
        prepareCommand(cmd, UNZIP_COUNT, path);
        cmd.neverPrompt = 1;
        cmd.messageCallback = listingCallback();
        result = dunzipS(&cmd);
        out = cmd.count;
        break;
    }
    case ARCHIVE_CABINET: result = cabinetFileCount(path, &out); break;
    default: break;
    }
    if (result != 0)
        out = -1;
    return result;
}

BRX_EXPORT int LoadFile(const char *path, int count, ZIPINFOEX **entries, int *cabInfo)
{
    if (!entries || !*entries || count < 1)
        return RESULT_CATALOGUE_FAILED;
    switch (DetermineFileType(path)) {
    case ARCHIVE_ZIP: {
        UnzipCommand cmd;
        prepareCommand(cmd, UNZIP_ENTRY, path);
        cmd.neverPrompt = 1;
        cmd.messageCallback = listingCallback();
        int result = 0;
        ZIPINFOEX *records = *entries;
        // Callers allocate the array just before this call; for big archives
        // faulting its fresh pages in one by one costs more than the listing.
        if (count >= kPrefetchRecords)
            plat::prefetchVirtualMemory(records, static_cast<std::size_t>(count) * sizeof *records);
        for (int i = 0; i < count; ++i) {
            cmd.entryOut = &records[i];
            result = dunzipS(&cmd);
            for (char *c = records[i].path; *c; ++c)
                if (*c == '/')
                    *c = '\\';
        }
        return result;
    }
    case ARCHIVE_CABINET: {
        int info = 0;
        int result = cabinetLoadFile(path, count, *entries, &info);
        if (cabInfo)
            *cabInfo = info;
        return result;
    }
    default: return RESULT_CATALOGUE_FAILED;
    }
}

BRX_EXPORT const char *GetTypeString(int kind)
{
    static char buffer[260];
    unsigned id = kind == ARCHIVE_ZIP       ? IDS_TYPE_ZIP
                  : kind == ARCHIVE_CABINET ? IDS_TYPE_CABINET
                                            : IDS_TYPE_UNKNOWN;
    plat::loadString(kExtractModule, id, buffer, sizeof buffer);
    return buffer;
}

BRX_EXPORT HGLOBAL GetZipComment(const char *path)
{
    UnzipCommand cmd;
    prepareCommand(cmd, UNZIP_COMMENT_LENGTH, path);
    if (dunzipS(&cmd) != 0 || cmd.count <= 0)
        return nullptr;
    const int length = cmd.count;
    plat::HGLOBAL block = plat::globalAlloc(plat::GHND, static_cast<std::size_t>(length) + 1);
    if (!block)
        return nullptr;
    char *text = static_cast<char *>(plat::globalLock(block));
    cmd.function = UNZIP_COMMENT;
    cmd.commentBuffer = text;
    cmd.count = length;
    if (!text || dunzipS(&cmd) != 0) {
        if (text)
            plat::globalUnlock(block);
        plat::globalFree(block);
        return nullptr;
    }
    text[length] = 0;
    plat::globalUnlock(block);
    return block;
}

BRX_EXPORT int ExtractDelete(void *block, int)
{
    std::free(block);
    return 0;
}
