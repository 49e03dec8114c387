// DUNZIPS32.DLL: the command-block entry of the unzip engine.

#include "dunzip.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive_access.h"
#include "engine_codes.h"
#include "entry_record.h"
#include "extract_run.h"

namespace unzip {
namespace {

// Where the entry-record function keeps its place between calls: in the
// caller's own command block (a reserved area the caller zeroes before each
// use), so listings on several threads never share state and n calls cost
// O(n). Call i fills record i as long as the caller moves entryOut on by one
// record per call; a block that was not used for a listing starts at 0.
struct ListingCursor {
    std::uint32_t tag;
    std::int32_t nextIndex;
    const ZIPINFOEX *lastOut;
    const char *archivePath;
};
constexpr std::uint32_t kCursorTag = 0x5453494C; // "LIST"
static_assert(sizeof(ListingCursor) <= sizeof(UnzipCommand::reserved150));

std::int32_t nextListingIndex(UnzipCommand &cmd)
{
    ListingCursor c;
    std::memcpy(&c, cmd.reserved150, sizeof c);
    if (c.tag != kCursorTag || c.archivePath != cmd.archivePath)
        return 0;
    if (cmd.entryOut == c.lastOut + 1)
        return c.nextIndex;
    if (cmd.entryOut == c.lastOut)
        return c.nextIndex - 1;
    return 0;
}

void saveListingCursor(UnzipCommand &cmd, std::int32_t index)
{
    ListingCursor c{kCursorTag, index + 1, cmd.entryOut, cmd.archivePath};
    std::memcpy(cmd.reserved150, &c, sizeof c);
}

void fillRecord(const EntryInfo &info, const CentralEntry &e, ZIPINFOEX &out)
{
    // Only the fields and the path up to its terminator are written: clearing
    // all 2150 bytes of each record costs more than the rest of the listing.
    // The packed DOS date and time, for whoever wants the exact stored value.
    out.reserved0 = (std::uint32_t{e.modDate} << 16) | e.modTime;
    out.entryIndex = info.entryIndex;
    out.uncompressedSize = info.uncompressedSize;
    out.compressedSize = info.compressedSize;
    out.attributes = info.attributes;
    out.crc32 = info.crc32;
    out.method = info.method;
    out.reserved34 = e.flags;
    out.hasFolder = info.hasFolder;
    std::memcpy(out.dateTime, info.dateTime, sizeof out.dateTime);
    std::size_t n = std::min(info.path.size(), sizeof out.path - 1);
    std::memcpy(out.path, info.path.data(), n);
    out.path[n] = 0;
}

int dispatch(UnzipCommand &cmd)
{
    if (cmd.size != kUnzipCommandSize || !cmd.archivePath)
        return kBadCommand;
    const int function = cmd.function;
    if (function != UNZIP_COUNT && function != UNZIP_ENTRY && function != UNZIP_COMMENT_LENGTH &&
        function != UNZIP_COMMENT && function != UNZIP_EXTRACT)
        return kBadCommand;
    if ((function == UNZIP_ENTRY && !cmd.entryOut) ||
        (function == UNZIP_COMMENT && !cmd.commentBuffer))
        return kBadCommand;

    OpenArchive archive;
    int code = archive.open(cmd.archivePath, DiskPrompter{cmd.messageCallback, cmd.messageContext},
                            function != UNZIP_EXTRACT);
    if (code != kOk) {
        if (function == UNZIP_EXTRACT && cmd.messageCallback)
            cmd.messageCallback(11, 0x30, code, 0, cmd.archivePath, 0, cmd.messageContext);
        return code;
    }
    const ArchiveDirectory &dir = archive.directory();
    switch (function) {
    case UNZIP_COUNT:
        cmd.count = static_cast<std::int32_t>(
            std::min<std::size_t>(dir.entries.size(), std::size_t{0x7FFFFFFF}));
        return kOk;
    case UNZIP_ENTRY: {
        std::int32_t index = nextListingIndex(cmd);
        EntryInfo info;
        if (!fillEntryInfo(dir, static_cast<std::size_t>(index), info))
            return kNoSuchEntry;
        fillRecord(info, dir.entries[static_cast<std::size_t>(index)], *cmd.entryOut);
        saveListingCursor(cmd, index);
        return kOk;
    }
    case UNZIP_COMMENT_LENGTH:
        cmd.count = static_cast<std::int32_t>(dir.comment.size());
        return kOk;
    case UNZIP_COMMENT: {
        // A count left by the length call bounds what the buffer takes.
        std::size_t n = dir.comment.size();
        if (cmd.count > 0)
            n = std::min(n, static_cast<std::size_t>(cmd.count));
        std::memcpy(cmd.commentBuffer, dir.comment.data(), n);
        cmd.count = static_cast<std::int32_t>(n);
        return kOk;
    }
    default: return runExtract(cmd, archive);
    }
}

} // namespace
} // namespace unzip

BRX_EXPORT_C int dunzipS(UnzipCommand *cmd)
{
    if (!cmd)
        return unzip::kBadCommand;
    try {
        return unzip::dispatch(*cmd);
    } catch (const std::bad_alloc &) {
        return unzip::kOutOfMemory;
    } catch (...) {
        return unzip::kDamaged;
    }
}
