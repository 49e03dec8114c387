#include "cabinet_catalogue.h"

#include "cabinet_io.h"
#include "cabinet_strings.h"

#include "cabinet/reader.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kResultFailed = 3;

// One catalogue pass: the records being filled and how many are done. Kept per
// call, since the extract worker lists archives while the UI thread may too.
struct CatalogueContext {
    ZIPINFOEX *entries = nullptr;
    int capacity = 0;
    int filled = 0;
    std::string partialPrefix;
};

// Reads the header of the cabinet at `path` through a reader of its own.
bool readHeader(const char *path, cab::CabinetInfo &info)
{
    cab::Io io = platformCabinetIo();
    cab::Reader *reader = cab::create(io, nullptr);
    if (!reader)
        return false;
    bool ok = false;
    cab::FileHandle file = io.open(io.context, path);
    if (file != cab::kInvalidHandle) {
        ok = cab::isCabinet(reader, file, &info);
        io.close(io.context, file);
    }
    return cab::destroy(reader) && ok;
}

void formatDosDateTime(std::uint16_t date, std::uint16_t time, char (&out)[kEntryDateTimeSize])
{
    const unsigned day = date & 0x1F;
    const unsigned month = (date >> 5) & 0x0F;
    const unsigned year = 1980u + (date >> 9);
    const unsigned hour = time >> 11;
    const unsigned minute = (time >> 5) & 0x3F;
    std::snprintf(out, sizeof out, "%02u/%02u/%04u %02u:%02u", month, day, year, hour, minute);
}

void copyText(char (&out)[kEntryPathSize], const std::string &text)
{
    const std::size_t n = text.size() < sizeof out - 1 ? text.size() : sizeof out - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Fills the next record from a partial-file or copy-file notification. Records
// beyond the caller's count are not written: a count taken before the cabinet
// changed must not let the pass run past the array.
void addRecord(CatalogueContext &ctx, const cab::Notification &n, bool partial)
{
    if (ctx.filled >= ctx.capacity)
        return;
    ZIPINFOEX &r = ctx.entries[ctx.filled];
    r.entryIndex = ctx.filled;
    r.uncompressedSize = n.size;
    r.compressedSize = n.size;
    r.attributes = n.attributes;
    formatDosDateTime(n.date, n.time, r.dateTime);
    const std::string name = n.fileName ? n.fileName : "";
    if (partial) {
        r.hasFolder = 0;
        copyText(r.path, ctx.partialPrefix + name);
    } else {
        r.hasFolder = name.find('\\') != std::string::npos ? 1 : 0;
        copyText(r.path, name);
    }
    ++ctx.filled;
}

cab::FileHandle catalogueNotify(cab::Notify type, cab::Notification &n)
{
    auto &ctx = *static_cast<CatalogueContext *>(n.user);
    switch (type) {
    case cab::Notify::PartialFile: addRecord(ctx, n, true); return 0;
    case cab::Notify::CopyFile:
        addRecord(ctx, n, false);
        return 0; // skip: the catalogue writes nothing
    case cab::Notify::NextCabinet:
        // Only a file being extracted leads into the next cabinet; listing one
        // cabinet never leaves it.
        return -1;
    default: return 0;
    }
}

// Splits a Windows path at its last '\' into folder (with the '\') and name.
void splitPath(const std::string &path, std::string &folder, std::string &name)
{
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
}

// Walks the cabinet at `path` once in catalogue mode. True when the walk and
// the release of its reader both succeed.
bool cataloguePass(const char *path, CatalogueContext &ctx)
{
    std::string folder, name;
    splitPath(path, folder, name);
    cab::Reader *reader = cab::create(platformCabinetIo(), nullptr);
    if (!reader)
        return false;
    const bool walked = cab::copy(reader, name.c_str(), folder.c_str(), catalogueNotify, &ctx);
    const bool released = cab::destroy(reader);
    return walked && released;
}

} // namespace

int cabinetFileCount(const char *path, int *count)
{
    if (count)
        *count = -1;
    if (!path || !count)
        return kResultFailed;
    cab::CabinetInfo info;
    if (!readHeader(path, info))
        return kResultFailed;
    // A count for a cabinet whose file records cannot be read would only make
    // the caller allocate records the catalogue then fails to fill.
    CatalogueContext probe;
    if (!cataloguePass(path, probe))
        return kResultFailed;
    // A file continued from the previous cabinet is counted once more besides
    // the records this cabinet holds.
    const int n = info.fileCount + (info.hasPrevious ? 1 : 0);
    if (n == 0)
        return kResultFailed;
    *count = n;
    return 0;
}

int cabinetLoadFile(const char *path, int count, ZIPINFOEX *entries, int *cabInfo)
{
    if (!path || !entries || count < 1)
        return kResultFailed;
    // The count may include a continued file that yields no record of its own;
    // such a record is left cleared rather than holding whatever was there.
    std::memset(static_cast<void *>(entries), 0,
                static_cast<std::size_t>(count) * sizeof(ZIPINFOEX));

    cab::CabinetInfo info;
    if (!readHeader(path, info))
        return kResultFailed;
    if (cabInfo) {
        // Computed unsigned: a damaged header can carry a part number of 32768
        // or more, whose product with 65536 does not fit a signed int.
        const std::uint32_t value =
            std::uint32_t{info.iCabinet} * 65536u + (info.folderCount == info.fileCount ? 1u : 0u);
        *cabInfo = static_cast<int>(value);
    }

    CatalogueContext ctx;
    ctx.entries = entries;
    ctx.capacity = count;
    ctx.partialPrefix = plat::loadString(kCabinetTextModule, IDS_CAB_PARTIAL);
    return cataloguePass(path, ctx) && ctx.filled > 0 ? 0 : kResultFailed;
}
