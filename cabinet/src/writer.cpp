#include "writer_impl.h"

#include "cab_format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace cab {

const char *writerErrorText(int code) noexcept
{
    switch (code) {
    case kErrNone: return "No error";
    case kErrOpenSource: return "Failure opening file to be stored in cabinet";
    case kErrReadSource: return "Failure reading file to be stored in cabinet";
    case kErrAllocFail: return "Insufficient memory in FCI";
    case kErrTempFile: return "Could not create a temporary file";
    case kErrBadCompressionType: return "Unknown compression type";
    case kErrCabFile: return "Could not create cabinet file";
    case kErrUserAbort: return "Client requested abort";
    case kErrMciFail: return "Failure compressing data";
    default: return "Unknown error";
    }
}

namespace detail {
namespace {

constexpr std::uint32_t kIoFailed = 0xFFFFFFFFu;
constexpr std::size_t kIoSize = kBlockMax + kLzxMaxGrowth + kDataSize + kMaxDataReserve;
// Room kept for the next cabinet's name and disk label, which are only known
// once the cabinet is full.
constexpr std::uint64_t kNextNamesRoom = 2 * 256;
// Data blocks kept free in a folder for records split across cabinets.
constexpr std::uint64_t kBlockMargin = 16;

bool isAscii(const std::string &s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

} // namespace

WriterImpl::WriterImpl(Error *error, const Callbacks &callbacks, const CCAB &ccab, void *ctx)
    : error_(error), cb_(callbacks), ccab_(ccab), ctx_(ctx)
{
    alloc_.alloc = callbacks.alloc;
    alloc_.free = callbacks.free;
}

WriterImpl::~WriterImpl()
{
    release();
}

bool WriterImpl::fail(int code, int crtErrno)
{
    // The first failure is the one worth reporting; later ones follow from it.
    if (!error_->present) {
        error_->code = code;
        error_->crtErrno = crtErrno;
        error_->present = true;
    }
    return false;
}

bool WriterImpl::start()
{
    if (ccab_.cbReserveCFHeader > kMaxHeaderReserve ||
        ccab_.cbReserveCFFolder > kMaxFolderReserve || ccab_.cbReserveCFData > kMaxDataReserve)
        return fail(kErrCabFile, EINVAL);
    if (!io_.allocate(alloc_, kIoSize) || !frame_.allocate(alloc_, kBlockMax))
        return fail(kErrAllocFail);
    if (!cb_.getTempFile(tempName_, sizeof tempName_, ctx_))
        return fail(kErrTempFile);
    tempName_[sizeof tempName_ - 1] = '\0';
    int err = 0;
    temp_ = cb_.open(tempName_, kOpenReadWrite | kOpenCreate | kOpenExclusive | kOpenBinary,
                     kPermRead | kPermWrite, &err, ctx_);
    if (temp_ == -1)
        return fail(kErrTempFile, err);
    return true;
}

bool WriterImpl::release()
{
    bool ok = true;
    compressor_.reset();
    if (temp_ != -1) {
        int err = 0;
        cb_.close(temp_, &err, ctx_);
        temp_ = -1;
        if (cb_.remove(tempName_, &err, ctx_) != 0)
            ok = fail(kErrTempFile, err);
    }
    io_.release();
    frame_.release();
    return ok;
}

std::size_t WriterImpl::recordHeader() const
{
    return kDataSize + ccab_.cbReserveCFData;
}

std::uint64_t WriterImpl::fixedHeaderSize(const std::string *nextCab,
                                          const std::string *nextDisk) const
{
    std::uint64_t size = kHeaderSize;
    if (ccab_.cbReserveCFHeader || ccab_.cbReserveCFFolder || ccab_.cbReserveCFData)
        size += kHeaderReserveFieldsSize + ccab_.cbReserveCFHeader;
    if (hasPrev_)
        size += prevCab_.size() + 1 + prevDisk_.size() + 1;
    if (nextCab)
        size += nextCab->size() + 1 + nextDisk->size() + 1;
    return size;
}

// Size of the cabinet if it were closed now, with room for the next
// cabinet's names.
std::uint64_t WriterImpl::cabinetSize() const
{
    std::uint64_t size = fixedHeaderSize(nullptr, nullptr) + kNextNamesRoom + dataBytes_;
    for (const FolderPart &part : folders_) {
        size += kFolderSize + ccab_.cbReserveCFFolder;
        for (const FileRec &f : part.files)
            size += kFileSize + f.name.size() + 1;
    }
    return size;
}

bool WriterImpl::fileRecordFits(const std::string &name) const
{
    const std::uint64_t needed =
        cabinetSize() + kFileSize + name.size() + 1 + 2 * (recordHeader() + 1);
    return needed <= ccab_.cb;
}

bool WriterImpl::openFolder(int compression)
{
    compressor_ = makeCompressor(compression, alloc_, *this);
    if (!compressor_ || !compressor_->init()) {
        compressor_.reset();
        return fail(kErrAllocFail);
    }
    FolderPart part;
    part.type = static_cast<std::uint16_t>(compression);
    folders_.push_back(std::move(part));
    folderCode_ = compression;
    folderIn_ = folderOut_ = folderCompressed_ = 0;
    folderSplits_ = 0;
    frameLen_ = 0;
    return true;
}

bool WriterImpl::flushFolder()
{
    if (failed())
        return false;
    if (!compressor_)
        return true;
    if (frameLen_ != 0) {
        const std::size_t len = frameLen_;
        frameLen_ = 0;
        if (!compressor_->addFrame(frame_.data(), len))
            return compressor_->sinkStopped() ? false : fail(kErrMciFail);
    }
    if (!compressor_->finish())
        return compressor_->sinkStopped() ? false : fail(kErrMciFail);
    compressor_.reset();
    folderCode_ = -1;
    const auto total =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(folderCompressed_, UINT32_MAX));
    if (cb_.status && cb_.status(kStatusFolder, total, total, ctx_) == -1)
        return fail(kErrUserAbort);
    return true;
}

bool WriterImpl::readSource(std::intptr_t hf, std::uint8_t *buf, std::uint32_t want,
                            std::uint32_t &got)
{
    got = 0;
    while (got < want) {
        int err = 0;
        const std::uint32_t n = cb_.read(hf, buf + got, want - got, &err, ctx_);
        if (n == kIoFailed || n > want - got)
            return fail(kErrReadSource, err);
        if (n == 0)
            break;
        got += n;
    }
    return true;
}

bool WriterImpl::addFile(const char *source, const char *storedName, bool execute, int compression)
{
    if (failed())
        return false;
    if (!source || !storedName)
        return fail(kErrOpenSource, EINVAL);
    if (!detail::isValidCompression(compression))
        return fail(kErrBadCompressionType);
    const std::string name = storedName;
    if (name.empty() || name.size() > 255)
        return fail(kErrOpenSource, ENAMETOOLONG);

    std::uint16_t date = 0, time = 0, attribs = 0;
    int err = 0;
    const std::intptr_t hf = cb_.getOpenInfo(source, &date, &time, &attribs, &err, ctx_);
    if (hf == -1)
        return fail(kErrOpenSource, err);

    // The size is needed up front: a file may continue into the next cabinet
    // before all of it has been read.
    bool ok = true;
    long size = cb_.seek(hf, 0, kSeekEnd, &err, ctx_);
    if (size < 0 || cb_.seek(hf, 0, kSeekSet, &err, ctx_) != 0)
        ok = fail(kErrReadSource, err);
    const auto limit = (kMaxBlocksPerFolder - 2 * kBlockMargin) * kBlockMax;
    if (ok && static_cast<std::uint64_t>(size) > limit)
        ok = fail(kErrReadSource, EFBIG);

    // A folder continued from the previous cabinet holds only the files
    // listed in both; readers would drop any other file added to it.
    if (ok && compressor_ && !folders_.back().files.empty() &&
        folders_.back().files.front().fromPrev)
        ok = flushFolder();
    if (ok && compressor_) {
        const std::uint64_t frames = (folderIn_ + size + kBlockMax - 1) / kBlockMax;
        if (folderCode_ != compression ||
            frames + folderSplits_ + kBlockMargin > kMaxBlocksPerFolder)
            ok = flushFolder();
    }
    // A cabinet too full for another file record (or file count) moves on.
    if (ok) {
        std::size_t files = 0;
        for (const FolderPart &f : folders_)
            files += f.files.size();
        if (files >= 0xFFF0 || (!fileRecordFits(name) && dataBytes_ != 0)) {
            ok = flushFolder() && advanceCabinet(true);
        }
    }
    if (ok && !compressor_)
        ok = openFolder(compression);
    if (ok) {
        FileRec rec;
        rec.name = name;
        rec.size = static_cast<std::uint32_t>(size);
        rec.start = static_cast<std::uint32_t>(folderIn_);
        rec.date = date;
        rec.time = time;
        rec.attribs = attribs;
        if (execute)
            rec.attribs |= kAttribExecute;
        if (!isAscii(name))
            rec.attribs |= kAttribNameIsUtf;
        folders_.back().files.push_back(std::move(rec));
        if (cb_.filePlaced && cb_.filePlaced(&ccab_, name.c_str(), size, false, ctx_) != 0)
            ok = fail(kErrUserAbort);
    }

    std::uint64_t remaining = ok ? static_cast<std::uint64_t>(size) : 0;
    while (ok && remaining > 0) {
        const auto want =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(remaining, kBlockMax - frameLen_));
        std::uint32_t got = 0;
        ok = readSource(hf, frame_.data() + frameLen_, want, got);
        if (ok && got != want)
            ok = fail(kErrReadSource, EIO); // the file shrank while being read
        if (ok) {
            remaining -= got;
            ok = feed(frame_.data() + frameLen_, got);
        }
    }
    if (ok) {
        // A file that grew while being read would be stored cut short.
        std::uint8_t probe;
        std::uint32_t got = 0;
        ok = readSource(hf, &probe, 1, got) && (got == 0 || fail(kErrReadSource, EIO));
    }
    if (cb_.close(hf, &err, ctx_) != 0 && ok)
        ok = fail(kErrReadSource, err);
    if (ok && folderCompressed_ >= ccab_.cbFolderThresh)
        ok = flushFolder();
    return ok;
}

// Takes `len` bytes just placed at the end of the frame buffer.
bool WriterImpl::feed(const std::uint8_t *, std::size_t len)
{
    frameLen_ += len;
    folderIn_ += len;
    if (frameLen_ < kBlockMax)
        return true;
    frameLen_ = 0;
    if (!compressor_->addFrame(frame_.data(), kBlockMax))
        return compressor_->sinkStopped() ? false : fail(kErrMciFail);
    return true;
}

bool WriterImpl::writeRecord(const std::uint8_t *data, std::size_t size, std::size_t uncomp)
{
    std::uint8_t *rec = io_.data();
    const std::size_t head = recordHeader();
    put32(rec, blockChecksum(data, static_cast<std::uint16_t>(size),
                             static_cast<std::uint16_t>(uncomp)));
    put16(rec + 4, static_cast<std::uint16_t>(size));
    put16(rec + 6, static_cast<std::uint16_t>(uncomp));
    std::memset(rec + kDataSize, 0, ccab_.cbReserveCFData);
    std::memcpy(rec + head, data, size);
    int err = 0;
    if (cb_.seek(temp_, static_cast<long>(dataBytes_), kSeekSet, &err, ctx_) < 0)
        return fail(kErrTempFile, err);
    const auto total = static_cast<std::uint32_t>(head + size);
    if (cb_.write(temp_, rec, total, &err, ctx_) != total)
        return fail(kErrTempFile, err);
    dataBytes_ += total;
    folders_.back().dataBytes += total;
    folders_.back().blocks += 1;
    return true;
}

bool WriterImpl::block(const std::uint8_t *data, std::size_t size, std::size_t uncomp)
{
    if (failed())
        return false;
    if (size > kBlockMax + kLzxMaxGrowth || uncomp == 0 || uncomp > kBlockMax)
        return fail(kErrMciFail);
    if (cb_.status && cb_.status(kStatusFile, static_cast<std::uint32_t>(size),
                                 static_cast<std::uint32_t>(uncomp), ctx_) == -1)
        return fail(kErrUserAbort);
    if (ccab_.fFailOnIncompressible && folderCode_ != kCompressNone && size >= uncomp)
        return fail(kErrMciFail);

    const std::uint64_t pos = folderOut_;
    const std::size_t head = recordHeader();
    // Every cabinet keeps room for the first piece of a block split into the
    // next one, so a continued folder can always be closed here.
    const std::uint64_t splitRoom = head + 1;
    while (true) {
        if (cabinetSize() + head + size + splitRoom <= ccab_.cb)
            break;
        // The block is split: its first piece ends this cabinet and the files
        // it belongs to are listed here and in the next one. A folder with
        // nothing here yet rather moves on whole when there is no room at all.
        const FolderPart &part = folders_.back();
        const bool fresh = part.blocks == 0 && (part.files.empty() || !part.files.front().fromPrev);
        const std::uint64_t used = cabinetSize() + head;
        const std::size_t piece =
            used <= ccab_.cb
                ? static_cast<std::size_t>(std::min<std::uint64_t>(ccab_.cb - used, size - 1))
                : 0;
        if (piece == 0 && fresh && folders_.size() > 1) {
            if (!breakCabinet(pos, false))
                return false;
            continue;
        }
        if (used > ccab_.cb || (piece == 0 && dataBytes_ == 0))
            return fail(kErrCabFile, EFBIG); // the maximum size leaves no room for data
        if (!writeRecord(data, piece, 0))
            return false;
        data += piece;
        size -= piece;
        ++folderSplits_;
        if (!breakCabinet(pos, true))
            return false;
    }
    if (!writeRecord(data, size, uncomp))
        return false;
    folderOut_ += uncomp;
    folderCompressed_ += size;
    return true;
}

// Closes the current cabinet while the open folder goes on. With `split` the
// folder's last record here is the first piece of a block finished in the
// next cabinet; otherwise the folder has nothing here yet and moves on whole.
bool WriterImpl::breakCabinet(std::uint64_t pos, bool split)
{
    std::vector<FileRec> carry;
    if (split) {
        // Readers join the two parts of the folder by matching the files listed
        // at the end of this cabinet with those at the start of the next one,
        // so every file not finished here is listed in both.
        // A part that is itself continued carries all its files again: the
        // reader compares the next cabinet with the files first listed as
        // continued, wherever the folder began.
        FolderPart &part = folders_.back();
        auto firstCarried =
            std::find_if(part.files.begin(), part.files.end(), [&](const FileRec &f) {
                return f.fromPrev || f.start + std::uint64_t(f.size) > pos;
            });
        if (firstCarried == part.files.end())
            return fail(kErrMciFail); // a split block always holds file data
        for (auto it = firstCarried; it != part.files.end(); ++it) {
            it->toNext = true;
            FileRec cont = *it;
            cont.fromPrev = true;
            cont.toNext = false;
            carry.push_back(std::move(cont));
        }
    } else {
        carry = std::move(folders_.back().files);
        folders_.pop_back();
    }
    if (!advanceCabinet(true))
        return false;
    FolderPart part;
    part.type = static_cast<std::uint16_t>(folderCode_);
    part.files = std::move(carry);
    folders_.push_back(std::move(part));
    for (const FileRec &f : folders_.back().files)
        if (cb_.filePlaced && cb_.filePlaced(&ccab_, f.name.c_str(), static_cast<long>(f.size),
                                             f.fromPrev, ctx_) != 0)
            return fail(kErrUserAbort);
    return true;
}

// Writes the current cabinet and starts the next one of the set (or, without
// `withNext`, the same one again after a final flush).
bool WriterImpl::advanceCabinet(bool withNext)
{
    if (folders_.empty() && dataBytes_ == 0)
        return true; // nothing was added since the last cabinet
    if (!withNext)
        return writeCabinet(nullptr, nullptr);
    CCAB next = ccab_;
    next.iCab += 1;
    next.iDisk += 1;
    const auto estimate =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(cabinetSize(), UINT32_MAX));
    if (!cb_.getNextCabinet(&next, estimate, ctx_))
        return fail(kErrUserAbort);
    next.szCab[255] = next.szDisk[255] = next.szCabPath[255] = '\0';
    if (!writeCabinet(next.szCab, next.szDisk))
        return false;
    prevCab_ = ccab_.szCab;
    prevDisk_ = ccab_.szDisk;
    hasPrev_ = true;
    // Reserves and the set identifier stay those the set was started with.
    ccab_.iCab = next.iCab;
    ccab_.iDisk = next.iDisk;
    if (next.cb != 0)
        ccab_.cb = next.cb;
    std::memcpy(ccab_.szCab, next.szCab, sizeof ccab_.szCab);
    std::memcpy(ccab_.szDisk, next.szDisk, sizeof ccab_.szDisk);
    std::memcpy(ccab_.szCabPath, next.szCabPath, sizeof ccab_.szCabPath);
    ++cabinetIndex_;
    return true;
}

bool WriterImpl::writeCabinet(const char *nextCab, const char *nextDisk)
{
    std::size_t fileCount = 0;
    for (const FolderPart &f : folders_)
        fileCount += f.files.size();
    if (fileCount == 0 && dataBytes_ == 0) {
        folders_.clear();
        return true;
    }
    const std::string nCab = nextCab ? nextCab : "", nDisk = nextDisk ? nextDisk : "";
    const bool reserve =
        ccab_.cbReserveCFHeader || ccab_.cbReserveCFFolder || ccab_.cbReserveCFData;

    std::vector<std::uint8_t> head;
    try {
        head.resize(fixedHeaderSize(nextCab ? &nCab : nullptr, nextCab ? &nDisk : nullptr));
    } catch (const std::bad_alloc &) {
        return fail(kErrAllocFail);
    }
    std::uint8_t *h = head.data();
    std::memcpy(h, kSignature, 4);
    h[24] = kVersionMinor;
    h[25] = kVersionMajor;
    put16(h + 26, static_cast<std::uint16_t>(folders_.size()));
    put16(h + 28, static_cast<std::uint16_t>(fileCount));
    std::uint16_t flags = 0;
    if (hasPrev_)
        flags |= kFlagPrevCabinet;
    if (nextCab)
        flags |= kFlagNextCabinet;
    if (reserve)
        flags |= kFlagReservePresent;
    put16(h + 30, flags);
    put16(h + 32, ccab_.setID);
    put16(h + 34, cabinetIndex_);
    std::size_t at = kHeaderSize;
    if (reserve) {
        put16(h + at, static_cast<std::uint16_t>(ccab_.cbReserveCFHeader));
        h[at + 2] = static_cast<std::uint8_t>(ccab_.cbReserveCFFolder);
        h[at + 3] = static_cast<std::uint8_t>(ccab_.cbReserveCFData);
        at += kHeaderReserveFieldsSize + ccab_.cbReserveCFHeader; // reserved bytes stay zero
    }
    auto putString = [&](const std::string &s) {
        std::memcpy(h + at, s.c_str(), s.size() + 1);
        at += s.size() + 1;
    };
    if (hasPrev_) {
        putString(prevCab_);
        putString(prevDisk_);
    }
    if (nextCab) {
        putString(nCab);
        putString(nDisk);
    }

    const std::size_t folderRec = kFolderSize + ccab_.cbReserveCFFolder;
    std::size_t filesBytes = 0;
    for (const FolderPart &f : folders_)
        for (const FileRec &r : f.files)
            filesBytes += kFileSize + r.name.size() + 1;
    const std::uint64_t coffFiles = head.size() + folders_.size() * folderRec;
    const std::uint64_t dataStart = coffFiles + filesBytes;
    const std::uint64_t total = dataStart + dataBytes_;
    if (total > UINT32_MAX)
        return fail(kErrCabFile, EFBIG);
    put32(h + 8, static_cast<std::uint32_t>(total));
    put32(h + 16, static_cast<std::uint32_t>(coffFiles));

    std::vector<std::uint8_t> dir(folders_.size() * folderRec + filesBytes, 0);
    std::uint64_t offset = dataStart;
    std::size_t d = 0;
    for (const FolderPart &f : folders_) {
        put32(&dir[d], static_cast<std::uint32_t>(offset));
        put16(&dir[d + 4], static_cast<std::uint16_t>(f.blocks));
        put16(&dir[d + 6], f.type);
        d += folderRec;
        offset += f.dataBytes;
    }
    for (std::size_t i = 0; i < folders_.size(); ++i) {
        for (const FileRec &r : folders_[i].files) {
            std::uint16_t iFolder = static_cast<std::uint16_t>(i);
            if (r.fromPrev && r.toNext)
                iFolder = kFolderContinuedPrevAndNext;
            else if (r.fromPrev)
                iFolder = kFolderContinuedFromPrev;
            else if (r.toNext)
                iFolder = kFolderContinuedToNext;
            put32(&dir[d], r.size);
            put32(&dir[d + 4], r.start);
            put16(&dir[d + 8], iFolder);
            put16(&dir[d + 10], r.date);
            put16(&dir[d + 12], r.time);
            put16(&dir[d + 14], r.attribs);
            std::memcpy(&dir[d + kFileSize], r.name.c_str(), r.name.size() + 1);
            d += kFileSize + r.name.size() + 1;
        }
    }

    std::string path = std::string(ccab_.szCabPath) + ccab_.szCab;
    int err = 0;
    const std::intptr_t out =
        cb_.open(path.c_str(), kOpenWriteOnly | kOpenCreate | kOpenTruncate | kOpenBinary,
                 kPermRead | kPermWrite, &err, ctx_);
    if (out == -1)
        return fail(kErrCabFile, err);
    bool ok = cb_.write(out, head.data(), static_cast<std::uint32_t>(head.size()), &err, ctx_) ==
                  head.size() &&
              cb_.write(out, dir.data(), static_cast<std::uint32_t>(dir.size()), &err, ctx_) ==
                  dir.size();
    if (!ok)
        fail(kErrCabFile, err);
    ok = ok && copyData(out);
    if (cb_.close(out, &err, ctx_) != 0 && ok)
        ok = fail(kErrCabFile, err);
    if (!ok) {
        int ignored = 0;
        cb_.remove(path.c_str(), &ignored, ctx_); // no partial cabinet is left behind
        return false;
    }
    folders_.clear();
    dataBytes_ = 0;
    const auto size32 = static_cast<std::uint32_t>(total);
    if (cb_.status && cb_.status(kStatusCabinet, size32, size32, ctx_) == -1)
        return fail(kErrUserAbort);
    return true;
}

bool WriterImpl::copyData(std::intptr_t out)
{
    int err = 0;
    if (dataBytes_ == 0)
        return true;
    if (cb_.seek(temp_, 0, kSeekSet, &err, ctx_) != 0)
        return fail(kErrTempFile, err);
    std::uint64_t left = dataBytes_;
    while (left > 0) {
        const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, io_.size()));
        if (cb_.read(temp_, io_.data(), chunk, &err, ctx_) != chunk)
            return fail(kErrTempFile, err);
        if (cb_.write(out, io_.data(), chunk, &err, ctx_) != chunk)
            return fail(kErrCabFile, err);
        left -= chunk;
    }
    return true;
}

bool WriterImpl::flushCabinet(bool getNext)
{
    if (failed())
        return false;
    if (!flushFolder())
        return false;
    if (!advanceCabinet(getNext))
        return false;
    if (!getNext) {
        // Further files start a fresh cabinet with the same parameters.
        hasPrev_ = false;
        prevCab_.clear();
        prevDisk_.clear();
    }
    return true;
}

} // namespace detail

struct Writer {
    Writer(Error *error, const Callbacks &callbacks, const CCAB &ccab, void *ctx)
        : impl(error, callbacks, ccab, ctx)
    {
    }
    detail::WriterImpl impl;
};

Writer *create(Error *error, const Callbacks &callbacks, const CCAB &ccab, void *ctx) noexcept
{
    if (!error)
        return nullptr;
    *error = Error{kErrNone, 0, false};
    if (!callbacks.alloc || !callbacks.free || !callbacks.open || !callbacks.read ||
        !callbacks.write || !callbacks.close || !callbacks.seek || !callbacks.remove ||
        !callbacks.getTempFile || !callbacks.getNextCabinet || !callbacks.getOpenInfo) {
        *error = Error{kErrAllocFail, EINVAL, true};
        return nullptr;
    }
    Writer *w = nullptr;
    try {
        w = new Writer(error, callbacks, ccab, ctx);
    } catch (const std::bad_alloc &) {
        *error = Error{kErrAllocFail, ENOMEM, true};
        return nullptr;
    }
    if (!w->impl.start()) {
        delete w;
        return nullptr;
    }
    return w;
}

template <class F> static bool guarded(Writer *w, F &&f) noexcept
{
    if (!w)
        return false;
    try {
        return f(w->impl);
    } catch (const std::bad_alloc &) {
        return w->impl.outOfMemory();
    }
}

bool addFile(Writer *writer, const char *sourcePath, const char *storedName, bool execute,
             int compression) noexcept
{
    return guarded(writer, [&](detail::WriterImpl &w) {
        return w.addFile(sourcePath, storedName, execute, compression);
    });
}

bool flushFolder(Writer *writer) noexcept
{
    return guarded(writer, [](detail::WriterImpl &w) { return w.flushFolder(); });
}

bool flushCabinet(Writer *writer, bool getNextCabinet) noexcept
{
    return guarded(writer, [&](detail::WriterImpl &w) { return w.flushCabinet(getNextCabinet); });
}

bool destroy(Writer *writer) noexcept
{
    if (!writer)
        return false;
    const bool ok = writer->impl.release();
    delete writer;
    return ok;
}

} // namespace cab
