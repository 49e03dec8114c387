#include "archive_builder.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <new>
#include <random>
#include <thread>

#include "deflater.h"
#include "platform/errors.h"
#include "source_list.h"
#include "traditional_keys.h"
#include "worker_pool.h"
#include "zip_result.h"

namespace zipengine {

namespace {

// Memory held by entries compressed ahead of the writer.
constexpr std::uint64_t kInFlightBudget = 256ull << 20;
constexpr std::size_t kMaxPending = 256;
constexpr std::size_t kStreamChunk = 1 << 20;
// Streamed entries at least this large get ZIP64 sizes: their compressed size
// is unknown when the header is written and could pass 4 GiB.
constexpr std::uint64_t kStreamZip64From = 0xFF000000ull;

std::uint32_t externalAttributes(const NewItem &item)
{
    const std::uint32_t dos = item.attributes & 0x37; // read-only, hidden, system, folder, archive
    std::uint32_t mode;
    if (item.isFolder)
        mode = 040755;
    else
        mode = (item.attributes & plat::FILE_ATTRIBUTE_READONLY) ? 0100444 : 0100644;
    return (mode << 16) | dos;
}

std::int64_t unixSeconds(const plat::FILETIME &ft)
{
    std::int64_t s = 0;
    long ns = 0;
    plat::fileTimeToUnix(ft, &s, &ns);
    return s;
}

// 11 random bytes and the check byte, encrypted, as the entry's first bytes.
void encryptionHeader(zipcommon::TraditionalKeys &keys, std::uint8_t check, std::uint8_t out[12])
{
    thread_local std::mt19937 rng{std::random_device{}()};
    for (int i = 0; i < 11; ++i)
        out[i] = static_cast<std::uint8_t>(rng());
    out[11] = check;
    keys.encrypt(out, 12);
}

} // namespace

void dosStamp(const plat::FILETIME &utc, std::uint16_t &date, std::uint16_t &time)
{
    plat::FILETIME local;
    plat::WORD d = 0, t = 0;
    if (plat::fileTimeToLocalFileTime(&utc, &local) &&
        plat::fileTimeToDosDateTime(&local, &d, &t)) {
        date = d;
        time = t;
        return;
    }
    date = (0 << 9) | (1 << 5) | 1;
    time = 0;
}

struct ArchiveBuilder::Prepared {
    int error = kOk;
    bool skipped = false;
    Bytes data; // what follows the local header
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint16_t method = fmt::method::kStored;
    bool encrypted = false;
};

int ArchiveBuilder::outputError() const
{
    return out_.error() == plat::ERROR_DISK_FULL || out_.error() == plat::ERROR_HANDLE_DISK_FULL
               ? kDiskFull
               : kTempFileError;
}

int ArchiveBuilder::copyOld(OldArchive &old, const std::vector<std::size_t> &keep)
{
    std::vector<std::uint8_t> buf(1 << 20);
    // Entries that lie back to back in the old file are copied as one run.
    std::size_t k = 0;
    while (k < keep.size()) {
        const std::uint64_t runStart = old.entries[keep[k]].rangeStart;
        std::uint64_t runEnd = runStart;
        const std::uint64_t shift = out_.position();
        while (k < keep.size() && old.entries[keep[k]].rangeStart == runEnd) {
            const OldEntry &e = old.entries[keep[k]];
            CentralRecord r = e.record;
            r.localHeaderOffset = shift + (e.rangeStart - runStart);
            r.diskStart = 0;
            central_.push_back(std::move(r));
            runEnd = e.rangeEnd;
            ++k;
        }
        std::uint64_t pos = runStart;
        while (pos < runEnd) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), runEnd - pos));
            if (!readAt(old.file->handle(), pos, buf.data(), n)) {
                rep_.status(kDamaged);
                return kDamaged;
            }
            if (!out_.write(buf.data(), n)) {
                rep_.status(outputError());
                return outputError();
            }
            pos += n;
        }
    }
    return kOk;
}

void ArchiveBuilder::keepInPlace(const OldArchive &old, const std::vector<std::size_t> &keep)
{
    for (std::size_t idx : keep)
        central_.push_back(old.entries[idx].record);
}

CentralRecord ArchiveBuilder::baseRecord(const NewItem &item) const
{
    CentralRecord r;
    r.name = item.storedName;
    if (needsUtf8(r.name))
        r.flags |= fmt::flag::kUtf8;
    dosStamp(item.lastWrite, r.modDate, r.modTime);
    r.externalAttributes = externalAttributes(item);
    r.extra = timestampExtra(unixSeconds(item.lastWrite));
    r.versionNeeded = item.isFolder ? 20 : 10;
    return r;
}

ArchiveBuilder::Prepared ArchiveBuilder::prepare(const NewItem &item) const
{
    Prepared p;
    if (cancel_) {
        p.skipped = true;
        return p;
    }
    try {
        Bytes raw;
        const std::uint8_t *data = item.memory;
        std::size_t len = static_cast<std::size_t>(item.size);
        if (!item.memory && !item.isFolder) {
            plat::HANDLE h = plat::createFile(item.sourcePath.c_str(), plat::GENERIC_READ,
                                              plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
            if (h == plat::INVALID_HANDLE_VALUE) {
                p.skipped = opt_.skipUnopenable;
                p.error = p.skipped ? kOk : kOpenFailed;
                return p;
            }
            std::uint64_t size = 0;
            plat::getFileSizeEx(h, &size);
            raw.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kWholeEntryLimit)) +
                       1);
            std::size_t got = 0;
            for (;;) {
                if (got == raw.size())
                    raw.resize(raw.size() * 2);
                plat::DWORD n = 0;
                const auto want =
                    static_cast<plat::DWORD>(std::min<std::size_t>(raw.size() - got, 1u << 30));
                if (!plat::readFile(h, raw.data() + got, want, &n)) {
                    plat::closeHandle(h);
                    p.error = kReadError;
                    return p;
                }
                if (n == 0)
                    break;
                got += n;
            }
            plat::closeHandle(h);
            raw.resize(got);
            data = raw.data();
            len = got;
        }
        if (item.isFolder)
            len = 0;
        p.size = len;
        p.crc = len ? crc32Of(0, data, len) : 0;
        Bytes packed;
        const bool deflated =
            opt_.factor > 0 && len > 0 && deflateWhole(data, len, opt_.factor, packed);
        p.method = deflated ? fmt::method::kDeflated : fmt::method::kStored;
        p.encrypted = opt_.password.has_value() && !item.isFolder;
        const std::size_t head = p.encrypted ? fmt::kEncryptionHeaderSize : 0;
        const std::uint8_t *body = deflated ? packed.data() : data;
        const std::size_t bodyLen = deflated ? packed.size() : len;
        if (!p.encrypted && deflated) {
            p.data = std::move(packed);
        } else if (!p.encrypted && !item.memory && !item.isFolder) {
            p.data = std::move(raw);
        } else {
            p.data.resize(head + bodyLen);
            std::copy(body, body + bodyLen, p.data.begin() + static_cast<std::ptrdiff_t>(head));
        }
        if (p.encrypted) {
            zipcommon::TraditionalKeys keys(*opt_.password);
            encryptionHeader(keys, static_cast<std::uint8_t>(p.crc >> 24), p.data.data());
            keys.encrypt(p.data.data() + head, bodyLen);
        }
    } catch (const std::bad_alloc &) {
        p = Prepared{};
        p.error = kOutOfMemory;
    }
    return p;
}

int ArchiveBuilder::writePrepared(const NewItem &item, Prepared &p)
{
    CentralRecord r = baseRecord(item);
    r.method = p.method;
    r.crc32 = p.crc;
    r.uncompressedSize = p.size;
    r.compressedSize = p.data.size();
    if (p.method == fmt::method::kDeflated || p.encrypted)
        r.versionNeeded = 20;
    if (p.encrypted)
        r.flags |= fmt::flag::kEncrypted;
    r.localHeaderOffset = out_.position();

    LocalRecord l;
    l.versionNeeded = r.versionNeeded;
    l.flags = r.flags;
    l.method = r.method;
    l.modTime = r.modTime;
    l.modDate = r.modDate;
    l.crc32 = r.crc32;
    l.compressedSize = r.compressedSize;
    l.uncompressedSize = r.uncompressedSize;
    l.zip64 = r.compressedSize >= fmt::kZip64Marker32 || r.uncompressedSize >= fmt::kZip64Marker32;
    l.name = &r.name;
    l.extra = &r.extra;
    Bytes header;
    appendLocal(header, l);
    if (!out_.write(header.data(), header.size()) || !out_.write(p.data.data(), p.data.size())) {
        rep_.status(outputError());
        return outputError();
    }
    central_.push_back(std::move(r));
    return kOk;
}

int ArchiveBuilder::streamItem(const NewItem &item)
{
    plat::HANDLE h = plat::createFile(item.sourcePath.c_str(), plat::GENERIC_READ,
                                      plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (h == plat::INVALID_HANDLE_VALUE) {
        if (opt_.skipUnopenable)
            return kOk;
        rep_.status(kOpenFailed, item.sourcePath);
        return kOpenFailed;
    }
    struct Closer {
        plat::HANDLE h;
        ~Closer() { plat::closeHandle(h); }
    } closer{h};

    CentralRecord r = baseRecord(item);
    const bool zip64 = item.size >= kStreamZip64From;
    const bool encrypted = opt_.password.has_value();
    r.flags |= fmt::flag::kDataDescriptor;
    r.method = opt_.factor > 0 ? fmt::method::kDeflated : fmt::method::kStored;
    r.versionNeeded = 20;
    if (encrypted)
        r.flags |= fmt::flag::kEncrypted;
    r.localHeaderOffset = out_.position();
    LocalRecord l;
    l.versionNeeded = r.versionNeeded;
    l.flags = r.flags;
    l.method = r.method;
    l.modTime = r.modTime;
    l.modDate = r.modDate;
    l.zip64 = zip64;
    l.name = &r.name;
    l.extra = &r.extra;
    Bytes header;
    appendLocal(header, l);
    if (!out_.write(header.data(), header.size())) {
        rep_.status(outputError());
        return outputError();
    }

    std::optional<zipcommon::TraditionalKeys> keys;
    std::uint64_t written = 0;
    if (encrypted) {
        keys.emplace(*opt_.password);
        std::uint8_t eh[12];
        encryptionHeader(*keys, static_cast<std::uint8_t>(r.modTime >> 8), eh);
        if (!out_.write(eh, sizeof eh)) {
            rep_.status(outputError());
            return outputError();
        }
        written += sizeof eh;
    }
    DeflateStream stream(opt_.factor > 0 ? opt_.factor : 1);
    if (r.method == fmt::method::kDeflated && !stream.ok()) {
        rep_.status(kOutOfMemory);
        return kOutOfMemory;
    }
    std::vector<std::uint8_t> in(kStreamChunk), packed;
    std::uint32_t crc = 0;
    std::uint64_t total = 0;
    int lastPercent = -1;
    for (;;) {
        plat::DWORD n = 0;
        if (!plat::readFile(h, in.data(), static_cast<plat::DWORD>(in.size()), &n)) {
            rep_.status(kReadError, item.sourcePath);
            return kReadError;
        }
        crc = crc32Of(crc, in.data(), n);
        total += n;
        packed.clear();
        const std::uint8_t *chunk = in.data();
        std::size_t chunkLen = n;
        if (r.method == fmt::method::kDeflated) {
            if (!stream.feed(in.data(), n, n == 0, packed)) {
                rep_.status(kOutOfMemory);
                return kOutOfMemory;
            }
            chunk = packed.data();
            chunkLen = packed.size();
        }
        if (keys) {
            if (chunk == in.data()) {
                keys->encrypt(in.data(), chunkLen);
            } else {
                keys->encrypt(packed.data(), chunkLen);
            }
        }
        if (chunkLen && !out_.write(chunk, chunkLen)) {
            rep_.status(outputError());
            return outputError();
        }
        written += chunkLen;
        if (n == 0)
            break;
        const int percent =
            item.size ? static_cast<int>(std::min<std::uint64_t>(100, total * 100 / item.size))
                      : 100;
        if (percent != lastPercent) {
            lastPercent = percent;
            if (!rep_.filePercent(item.storedName, percent))
                return kCancelled;
        }
    }
    r.crc32 = crc;
    r.compressedSize = written;
    r.uncompressedSize = total;
    Bytes desc;
    appendDataDescriptor(desc, crc, written, total, zip64);
    if (!out_.write(desc.data(), desc.size())) {
        rep_.status(outputError());
        return outputError();
    }
    central_.push_back(std::move(r));
    return kOk;
}

int ArchiveBuilder::addItems(const std::vector<NewItem> &items, long firstNumber, long total)
{
    const bool parallelWorth = items.size() > 1;
    const unsigned threads =
        parallelWorth ? std::max(1u, std::min(16u, std::thread::hardware_concurrency())) : 1;
    WorkerPool pool(threads);
    std::deque<std::pair<std::size_t, std::future<Prepared>>> pending;
    std::uint64_t inFlight = 0;
    std::size_t next = 0;
    auto cost = [&](std::size_t i) { return items[i].isFolder ? 0 : items[i].size; };
    auto streamed = [&](std::size_t i) {
        return !items[i].isFolder && !items[i].memory && items[i].size > kWholeEntryLimit;
    };
    int result = kOk;
    for (std::size_t i = 0; i < items.size() && result == kOk; ++i) {
        while (next < items.size() && pending.size() < kMaxPending &&
               (pending.empty() || inFlight + cost(next) <= kInFlightBudget)) {
            if (!streamed(next)) {
                inFlight += cost(next);
                const NewItem *item = &items[next];
                pending.emplace_back(next, pool.submit([this, item] { return prepare(*item); }));
            }
            ++next;
        }
        const NewItem &item = items[i];
        if (!rep_.item(firstNumber + static_cast<long>(i), total, opt_.verb, item.storedName) ||
            !rep_.filePercent(item.storedName, 0)) {
            result = kCancelled;
            break;
        }
        if (streamed(i)) {
            const std::size_t before = central_.size();
            result = streamItem(item);
            if (result == kOk && central_.size() > before)
                added_.push_back(i);
        } else {
            Prepared p = pending.front().second.get();
            pending.pop_front();
            inFlight -= cost(i);
            if (p.error != kOk) {
                result = p.error;
                rep_.status(result, item.sourcePath);
                break;
            }
            if (p.skipped)
                continue;
            result = writePrepared(item, p);
            if (result == kOk)
                added_.push_back(i);
        }
        if (result == kOk && !rep_.filePercent(item.storedName, 100))
            result = kCancelled;
    }
    cancel_ = true;
    for (auto &f : pending)
        f.second.wait();
    return result;
}

int ArchiveBuilder::finish(const Bytes &comment)
{
    Bytes dir;
    const std::uint64_t start = out_.position();
    directoryOffset_ = start;
    std::uint64_t size = 0;
    for (const auto &r : central_) {
        dir.clear();
        appendCentral(dir, r);
        size += dir.size();
        if (!out_.write(dir.data(), dir.size())) {
            rep_.status(outputError());
            return outputError();
        }
    }
    EndRecord e;
    e.entriesOnDisk = e.totalEntries = central_.size();
    e.directorySize = size;
    e.directoryOffset = start;
    e.endOffset = out_.position();
    e.comment = &comment;
    dir.clear();
    appendEnd(dir, e);
    if (!out_.write(dir.data(), dir.size()) || !out_.flush()) {
        rep_.status(outputError());
        return outputError();
    }
    return kOk;
}

} // namespace zipengine
