#include "span_writer.h"

#include <algorithm>
#include <memory>
#include <set>

#include "archive_output.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/path.h"
#include "zip_result.h"

namespace zipengine {

namespace {

// How often the same disk may come back before the run gives up.
constexpr int kMaxSameDiskPrompts = 20;

class DiskSet {
public:
    DiskSet(Reporter &rep, const SpanRequest &req, std::uint64_t estimatedTotal)
        : rep_(rep), req_(req), total_(estimatedTotal)
    {
        letter_ = req.target[0];
        root_ = std::string(1, letter_) + ":\\";
    }

    ~DiskSet()
    {
        if (out_) {
            out_->close();
            // An unfinished set is useless: do not leave its last part behind.
            plat::deleteFile(req_.target.c_str());
        }
    }

    int disk() const { return disk_; }
    std::uint64_t offset() const { return out_ ? out_->position() : 0; }
    std::uint64_t room() const { return out_ ? capacity_ - out_->position() : 0; }

    // First disk: asks for it and opens the archive file on it.
    int start() { return openDisk(-1); }

    // Makes `len` contiguous bytes available on the current disk.
    int reserve(std::uint64_t len)
    {
        while (room() < len) {
            if (out_ && out_->position() == 0 && capacity_ < len)
                return fail(kDiskFull); // even an empty disk cannot take the record
            if (int rc = nextDisk())
                return rc;
        }
        return kOk;
    }

    // Writes bytes, moving to further disks as each fills.
    int write(const std::uint8_t *p, std::uint64_t len)
    {
        while (len > 0) {
            if (room() == 0) {
                if (int rc = nextDisk())
                    return rc;
                continue;
            }
            const std::uint64_t n = std::min(len, room());
            if (!out_->write(p, static_cast<std::size_t>(n)))
                return fail(out_->error() == plat::ERROR_DISK_FULL ? kDiskFull : kDiskError);
            p += n;
            len -= n;
        }
        return kOk;
    }

    // Writes a record that must stay on one disk.
    int writeWhole(const Bytes &b)
    {
        if (int rc = reserve(b.size()))
            return rc;
        return write(b.data(), b.size());
    }

    int finish()
    {
        const bool ok = out_->close();
        out_.reset();
        return ok ? kOk : fail(kDiskFull);
    }

private:
    int fail(int code)
    {
        rep_.status(code);
        return code;
    }

    int nextDisk()
    {
        if (out_) {
            if (!out_->close())
                return fail(kDiskFull);
            out_.reset();
        }
        return openDisk(disk_ + 1);
    }

    // Asks for disk `index` (0-based; -1 = the first disk, asked as such).
    int openDisk(int index)
    {
        const int number = index < 0 ? 0 : index;
        for (int attempt = 0;; ++attempt) {
            if (attempt >= kMaxSameDiskPrompts)
                return fail(kDiskError);
            int answer;
            if (index < 0) {
                answer = rep_.message(0, plat::MB_OKCANCEL, -1, 0, "", plat::IDOK);
            } else {
                if (!rep_.hasMessageCallback())
                    return fail(kDiskFull); // nobody to ask for another disk
                const int estimate = std::max<int>(number + 1, static_cast<int>(total_));
                answer =
                    rep_.message(1, plat::MB_OKCANCEL, number + 1, estimate, "", plat::IDCANCEL);
            }
            if (answer != plat::IDOK)
                return kCancelled;
            plat::DWORD serial = 0;
            if (!plat::getVolumeInformation(root_.c_str(), nullptr, 0, &serial, nullptr, nullptr,
                                            nullptr, 0))
                continue; // no disk in the drive: ask again
            if (used_.count(serial)) {
                rep_.message(6, plat::MB_OK, 0, 0, "", plat::IDOK);
                continue; // the disk that was just written
            }
            if (int rc = prepareMedium())
                return rc;
            plat::getVolumeInformation(root_.c_str(), nullptr, 0, &serial, nullptr, nullptr,
                                       nullptr, 0);
            used_.insert(serial);
            disk_ = number;
            return openFile();
        }
    }

    int prepareMedium()
    {
        if ((req_.mode & 0x0001) != 0) {
            if (!plat::formatMedium(letter_, nullptr)) {
                rep_.message(7, plat::MB_OK, 0, 0, "", plat::IDOK);
                return kDiskError;
            }
        } else if ((req_.mode & 0x0700) != 0) {
            if (!wipe(root_)) {
                rep_.message(7, plat::MB_OK, 1, 0, "", plat::IDOK);
                return kDiskError;
            }
        }
        return kOk;
    }

    static bool wipe(const std::string &folder)
    {
        plat::WIN32_FIND_DATA fd;
        plat::HANDLE h = plat::findFirstFile(plat::joinPath(folder, "*").c_str(), &fd);
        if (h == plat::INVALID_HANDLE_VALUE)
            return true;
        bool ok = true;
        do {
            const std::string_view n = fd.cFileName;
            if (n == "." || n == "..")
                continue;
            const std::string path = plat::joinPath(folder, n);
            if (fd.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) {
                ok = wipe(path) && plat::removeDirectory(path.c_str()) && ok;
            } else {
                if (fd.dwFileAttributes & plat::FILE_ATTRIBUTE_READONLY)
                    plat::setFileAttributes(path.c_str(), plat::FILE_ATTRIBUTE_NORMAL);
                ok = plat::deleteFile(path.c_str()) && ok;
            }
        } while (plat::findNextFile(h, &fd));
        plat::findClose(h);
        return ok;
    }

    int openFile()
    {
        // An older file of the same name gives its space back first.
        plat::deleteFile(req_.target.c_str());
        std::uint64_t freeBytes = 0;
        if (!plat::getDiskFreeSpaceEx(root_.c_str(), &freeBytes, nullptr, nullptr))
            return fail(kDiskError);
        plat::HANDLE h = plat::createFile(req_.target.c_str(), plat::GENERIC_WRITE, 0,
                                          plat::CREATE_ALWAYS, plat::FILE_ATTRIBUTE_NORMAL);
        if (h == plat::INVALID_HANDLE_VALUE)
            return fail(kCreateFailed);
        capacity_ = freeBytes;
        out_ = std::make_unique<ArchiveOutput>(h, 0);
        return kOk;
    }

    Reporter &rep_;
    const SpanRequest &req_;
    std::uint64_t total_;
    char letter_;
    std::string root_;
    int disk_ = 0;
    std::unique_ptr<ArchiveOutput> out_;
    std::uint64_t capacity_ = 0;
    std::set<plat::DWORD> used_;
};

int copyRange(plat::HANDLE src, std::uint64_t from, std::uint64_t len, DiskSet &disks,
              Reporter &rep)
{
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(std::min<std::uint64_t>(len, 1 << 20)));
    while (len > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(len, buf.size()));
        if (!readAt(src, from, buf.data(), n)) {
            rep.status(kTempFileError);
            return kTempFileError;
        }
        if (int rc = disks.write(buf.data(), n))
            return rc;
        from += n;
        len -= n;
    }
    return kOk;
}

} // namespace

int writeSpanned(Reporter &rep, const SpanRequest &req)
{
    plat::HANDLE src = plat::createFile(req.source.c_str(), plat::GENERIC_READ,
                                        plat::FILE_SHARE_READ, plat::OPEN_EXISTING, 0);
    if (src == plat::INVALID_HANDLE_VALUE) {
        rep.status(kTempFileError);
        return kTempFileError;
    }
    struct Closer {
        plat::HANDLE h;
        ~Closer() { plat::closeHandle(h); }
    } closer{src};

    std::uint64_t total = 0, capacity = 0;
    plat::getFileSizeEx(src, &total);
    const std::string root = std::string(1, req.target[0]) + ":\\";
    plat::getDiskFreeSpaceEx(root.c_str(), nullptr, &capacity, nullptr);
    const std::uint64_t estimate = capacity ? (total + capacity - 1) / capacity : 1;

    DiskSet disks(rep, req, estimate);
    if (int rc = disks.start())
        return rc;
    const bool single = disks.room() >= total;
    if (single) {
        // It fits: an ordinary archive, byte for byte the one written first.
        if (int rc = copyRange(src, 0, total, disks, rep))
            return rc;
        return disks.finish();
    }
    const Bytes marker = {0x50, 0x4b, 0x07, 0x08};
    if (int rc = disks.writeWhole(marker))
        return rc;

    std::vector<CentralRecord> placed = req.entries;
    std::vector<std::size_t> order(placed.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return req.entries[a].localHeaderOffset < req.entries[b].localHeaderOffset;
    });
    for (std::size_t k = 0; k < order.size(); ++k) {
        const CentralRecord &e = req.entries[order[k]];
        const std::uint64_t start = e.localHeaderOffset;
        const std::uint64_t end = k + 1 < order.size() ? req.entries[order[k + 1]].localHeaderOffset
                                                       : req.directoryOffset;
        std::uint8_t fixed[fmt::local::kSize];
        if (!readAt(src, start, fixed, sizeof fixed)) {
            rep.status(kTempFileError);
            return kTempFileError;
        }
        const std::uint64_t headerLen = fmt::local::kSize +
                                        fmt::get16(fixed + fmt::local::kNameLength) +
                                        fmt::get16(fixed + fmt::local::kExtraLength);
        const std::uint64_t dataEnd = std::min(end, start + headerLen + e.compressedSize);
        Bytes header(static_cast<std::size_t>(headerLen));
        if (!readAt(src, start, header.data(), header.size())) {
            rep.status(kTempFileError);
            return kTempFileError;
        }
        if (int rc = disks.reserve(headerLen))
            return rc;
        placed[order[k]].diskStart = static_cast<std::uint32_t>(disks.disk());
        placed[order[k]].localHeaderOffset = disks.offset();
        if (int rc = disks.write(header.data(), header.size()))
            return rc;
        if (int rc = copyRange(src, start + headerLen, dataEnd - start - headerLen, disks, rep))
            return rc;
        if (end > dataEnd) { // the data descriptor stays whole
            Bytes desc(static_cast<std::size_t>(end - dataEnd));
            if (!readAt(src, dataEnd, desc.data(), desc.size())) {
                rep.status(kTempFileError);
                return kTempFileError;
            }
            if (int rc = disks.writeWhole(desc))
                return rc;
        }
    }

    EndRecord end;
    bool first = true;
    std::uint64_t dirSize = 0;
    Bytes rec;
    for (const auto &r : placed) {
        rec.clear();
        appendCentral(rec, r);
        if (int rc = disks.reserve(rec.size()))
            return rc;
        if (first) {
            end.directoryDisk = static_cast<std::uint32_t>(disks.disk());
            end.directoryOffset = disks.offset();
            first = false;
        }
        if (static_cast<std::uint32_t>(disks.disk()) != end.thisDisk) {
            end.thisDisk = static_cast<std::uint32_t>(disks.disk());
            end.entriesOnDisk = 0;
        }
        ++end.entriesOnDisk;
        dirSize += rec.size();
        if (int rc = disks.write(rec.data(), rec.size()))
            return rc;
    }
    end.totalEntries = placed.size();
    end.directorySize = dirSize;
    end.comment = &req.comment;
    // The end records go together; if they need another disk, the numbers
    // they carry are those of that disk.
    Bytes tail;
    EndRecord probe = end;
    appendEnd(tail, probe);
    if (int rc = disks.reserve(tail.size() + 76))
        return rc;
    if (first) {
        end.directoryDisk = static_cast<std::uint32_t>(disks.disk());
        end.directoryOffset = disks.offset();
    }
    if (static_cast<std::uint32_t>(disks.disk()) != end.thisDisk) {
        end.thisDisk = static_cast<std::uint32_t>(disks.disk());
        end.entriesOnDisk = 0;
    }
    end.endOffset = disks.offset();
    tail.clear();
    appendEnd(tail, end);
    if (int rc = disks.write(tail.data(), tail.size()))
        return rc;
    return disks.finish();
}

} // namespace zipengine
