#include "cabinet/reader.h"

#include "cab_format.h"
#include "reader_headers.h"
#include "reader_system.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace cab {

const char *readerErrorText(int code)
{
    switch (code) {
    case kErrNone: return "No error";
    case kErrCabinetNotFound: return "Cabinet not found";
    case kErrNotACabinet: return "Not a cabinet";
    case kErrUnknownVersion: return "Unknown cabinet version";
    case kErrCorruptCabinet: return "Corrupt cabinet";
    case kErrOutOfMemory: return "Memory allocation failed";
    case kErrBadCompressionType: return "Unknown compression type";
    case kErrDecompressFailed: return "Failure decompressing data";
    case kErrTargetFile: return "Failure writing to target file";
    case kErrReserveMismatch: return "Cabinets in set have different RESERVE sizes";
    case kErrWrongCabinet: return "Cabinet returned on fdintNEXT_CABINET is incorrect";
    case kErrUserAbort: return "User aborted";
    default: return "Unknown error";
    }
}

struct Reader {
    Io io;
    ErrorRecord *callerError = nullptr;
    ErrorRecord error;
    detail::SystemGlue glue;

    void clearError() { setError(kErrNone, 0); }

    void setError(int code, int detail)
    {
        error.code = code;
        error.detail = detail;
        error.present = code != kErrNone;
        if (callerError)
            *callerError = error;
    }

    bool fail(int code, int detail = 0)
    {
        setError(code, detail);
        return false;
    }
};

namespace {

// Error number for a failure of libmspack while opening or joining a part.
int openErrorFor(int mspackError)
{
    switch (mspackError) {
    case MSPACK_ERR_OPEN: return kErrCabinetNotFound;
    case MSPACK_ERR_SIGNATURE: return kErrNotACabinet;
    case MSPACK_ERR_NOMEMORY: return kErrOutOfMemory;
    default: return kErrCorruptCabinet;
    }
}

// One part of the set as loaded during a walk.
struct Part {
    std::string folder; // where it was found, as given (ends with a separator or is empty)
    std::string name;
    detail::Header header;
    mscabd_cabinet *cab = nullptr;
    // libmspack's folder for each folder record; after joining, the first one
    // of a continuing part is the (shared) last folder of its predecessor.
    std::vector<mscabd_folder *> folders;
};

std::size_t countFolders(const mscabd_cabinet *cab)
{
    std::size_t n = 0;
    for (const mscabd_folder *f = cab->folders; f; f = f->next)
        ++n;
    return n;
}

class Walk {
public:
    Walk(Reader &reader, NotifyFn notify, void *user)
        : r_(reader), io_(reader.io), notify_(notify), user_(user)
    {
    }

    ~Walk()
    {
        if (cabd_) {
            if (!parts_.empty())
                cabd_->close(cabd_, parts_.front()->cab); // frees every joined part
            mspack_destroy_cab_decompressor(cabd_);
        }
    }

    bool run(const char *name, const char *folder)
    {
        cabd_ = mspack_create_cab_decompressor(&r_.glue.sys);
        if (!cabd_)
            return r_.fail(kErrOutOfMemory);
        auto first = std::make_unique<Part>();
        first->folder = folder;
        first->name = name;
        if (!openPart(*first))
            return false;
        parts_.push_back(std::move(first));
        if (!cabinetInfo(*parts_.back()))
            return false;
        // Parts loaded for a file that spans them are walked in turn.
        for (std::size_t k = 0; k < parts_.size(); ++k)
            if (!walkPart(k))
                return false;
        return true;
    }

private:
    FileHandle send(Notify type, Notification &n)
    {
        n.user = user_;
        return notify_(type, n);
    }

    bool cabinetInfo(const Part &p)
    {
        Notification n;
        n.cabinetName = p.header.nextName.c_str();
        n.diskName = p.header.nextDisk.c_str();
        n.cabinetPath = p.folder.c_str();
        n.setId = p.header.setId;
        n.iCabinet = p.header.iCabinet;
        if (send(Notify::CabinetInfo, n) == -1)
            return r_.fail(kErrUserAbort);
        return true;
    }

    // Reads a part's headers ourselves, then lets libmspack open it.
    bool openPart(Part &p)
    {
        const std::string path = p.folder + p.name;
        FileHandle h = io_.open(io_.context, path.c_str());
        if (h == kInvalidHandle)
            return r_.fail(kErrCabinetNotFound);
        int code = detail::readHeader(io_, h, true, p.header);
        io_.close(io_.context, h);
        if (code != kErrNone)
            return r_.fail(code);
        // libmspack keeps the name pointer until the part is closed.
        p.cab = cabd_->open(cabd_, storePath(path));
        if (!p.cab) {
            int err = cabd_->last_error(cabd_);
            return r_.fail(openErrorFor(err), err);
        }
        if (countFolders(p.cab) != p.header.folders.size()) {
            cabd_->close(cabd_, p.cab);
            p.cab = nullptr;
            return r_.fail(kErrCorruptCabinet);
        }
        for (mscabd_folder *f = p.cab->folders; f; f = f->next)
            p.folders.push_back(f);
        return true;
    }

    const char *storePath(const std::string &path)
    {
        paths_.push_back(std::make_unique<std::string>(path));
        return paths_.back()->c_str();
    }

    bool walkPart(std::size_t k)
    {
        for (std::size_t i = 0; i < parts_[k]->header.files.size(); ++i) {
            const detail::FileEntry &f = parts_[k]->header.files[i];
            if (f.fromPrevious()) {
                // Later parts repeat the tail of a file their predecessor
                // already delivered; only the first part reports it.
                if (k == 0 && !partialFile(*parts_[k], f))
                    return false;
            } else if (!copyFile(k, f)) {
                return false;
            }
            Notification n;
            n.fileName = f.name.c_str();
            n.fileIndex = static_cast<std::uint16_t>(i);
            n.folderIndex = f.folder;
            if (send(Notify::Enumerate, n) == -1)
                return r_.fail(kErrUserAbort);
        }
        return true;
    }

    static void describe(Notification &n, const detail::FileEntry &f)
    {
        n.fileName = f.name.c_str();
        n.size = f.size;
        n.date = f.date;
        n.time = f.time;
        n.attributes = f.attribs;
    }

    bool partialFile(const Part &p, const detail::FileEntry &f)
    {
        Notification n;
        describe(n, f);
        n.cabinetName = p.header.prevName.c_str();
        n.diskName = p.header.prevDisk.c_str();
        if (send(Notify::PartialFile, n) == -1)
            return r_.fail(kErrUserAbort);
        return true;
    }

    bool copyFile(std::size_t k, const detail::FileEntry &f)
    {
        Notification n;
        describe(n, f);
        FileHandle h = send(Notify::CopyFile, n);
        if (h == -1)
            return r_.fail(kErrUserAbort);
        if (h == 0)
            return true;
        if (!extract(k, f, h)) {
            io_.close(io_.context, h);
            return false;
        }
        Notification c;
        describe(c, f);
        c.handle = h;
        if (send(Notify::CloseFileInfo, c) == 0)
            return r_.fail(kErrTargetFile);
        return true;
    }

    bool extract(std::size_t k, const detail::FileEntry &f, FileHandle out)
    {
        Part &part = *parts_[k];
        std::size_t index = f.toNext() ? part.folders.size() - 1 : f.folder;
        if (!detail::compressionSupported(part.header.folders[index].compression))
            return r_.fail(kErrBadCompressionType);
        mscabd_folder *folder = part.folders[index];
        // libmspack reads ahead across block boundaries, so a folder that goes
        // on into further parts is joined up to its end before decoding.
        while (folder == parts_.back()->folders.back() && parts_.back()->header.continuesToNext())
            if (!loadNext())
                return false;

        mscabd_file file{};
        file.filename = const_cast<char *>(f.name.c_str());
        file.length = f.size;
        file.offset = f.offset;
        file.attribs = f.attribs;
        file.folder = folder;
        r_.glue.output = out;
        r_.glue.outputFailed = false;
        r_.glue.inputFailed = false;
        int err = cabd_->extract(cabd_, &file, "output");
        r_.glue.output = 0;
        if (err == MSPACK_ERR_OK)
            return true;
        if (r_.glue.outputFailed || err == MSPACK_ERR_WRITE)
            return r_.fail(kErrTargetFile, err);
        switch (err) {
        case MSPACK_ERR_NOMEMORY: return r_.fail(kErrOutOfMemory, err);
        case MSPACK_ERR_OPEN: return r_.fail(kErrCabinetNotFound, err);
        case MSPACK_ERR_DECRUNCH: return r_.fail(kErrDecompressFailed, err);
        default: return r_.fail(kErrCorruptCabinet, err);
        }
    }

    // Asks for the next part of the set, checks it and joins it to the chain.
    bool loadNext()
    {
        const Part &last = *parts_.back();
        char path[kMaxCabinetPath];
        if (last.folder.size() >= sizeof path)
            return r_.fail(kErrCabinetNotFound);
        std::memcpy(path, last.folder.c_str(), last.folder.size() + 1);
        Notification n;
        n.cabinetName = last.header.nextName.c_str();
        n.diskName = last.header.nextDisk.c_str();
        n.cabinetPath = last.folder.c_str();
        n.pathBuffer = path;
        n.pathCapacity = sizeof path;
        if (send(Notify::NextCabinet, n) == -1)
            return r_.fail(kErrUserAbort);
        path[sizeof path - 1] = '\0';

        auto next = std::make_unique<Part>();
        next->folder = path;
        next->name = last.header.nextName;
        if (!openPart(*next))
            return false;
        const detail::Header &h = next->header;
        int problem = kErrNone;
        if (h.setId != last.header.setId || h.iCabinet != last.header.iCabinet + 1 ||
            !h.hasPrevious())
            problem = kErrWrongCabinet;
        else if (h.folderReserve != last.header.folderReserve ||
                 h.dataReserve != last.header.dataReserve)
            problem = kErrReserveMismatch;
        const std::size_t before = countFolders(parts_.front()->cab);
        if (problem == kErrNone) {
            int err = cabd_->append(cabd_, last.cab, next->cab);
            if (err != MSPACK_ERR_OK)
                problem = err == MSPACK_ERR_NOMEMORY ? kErrOutOfMemory : kErrWrongCabinet;
        }
        if (problem != kErrNone) {
            cabd_->close(cabd_, next->cab);
            return r_.fail(problem);
        }
        // libmspack joins the split folder into the predecessor's last one and
        // frees the part's own copy.
        if (countFolders(parts_.front()->cab) == before + next->folders.size() - 1)
            next->folders.front() = last.folders.back();
        parts_.push_back(std::move(next));
        return cabinetInfo(*parts_.back());
    }

    Reader &r_;
    const Io &io_;
    NotifyFn notify_;
    void *user_;
    mscab_decompressor *cabd_ = nullptr;
    std::vector<std::unique_ptr<Part>> parts_;
    std::vector<std::unique_ptr<std::string>> paths_;
};

} // namespace

Reader *create(const Io &io, ErrorRecord *error)
{
    auto report = [error](int code) {
        if (error)
            *error = ErrorRecord{code, 0, code != kErrNone};
    };
    if (!io.alloc || !io.free || !io.open || !io.read || !io.write || !io.close || !io.seek) {
        report(kErrOutOfMemory);
        return nullptr;
    }
    int selftest;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK) {
        report(kErrOutOfMemory);
        return nullptr;
    }
    void *block = io.alloc(io.context, sizeof(Reader));
    if (!block) {
        report(kErrOutOfMemory);
        return nullptr;
    }
    auto *reader = new (block) Reader;
    reader->io = io;
    reader->callerError = error;
    detail::initSystem(reader->glue, reader->io);
    reader->clearError();
    return reader;
}

bool isCabinet(Reader *reader, FileHandle file, CabinetInfo *info)
{
    if (!reader)
        return false;
    reader->clearError();
    detail::Header h;
    int code;
    try {
        code = detail::readHeader(reader->io, file, false, h);
    } catch (const std::bad_alloc &) {
        code = kErrOutOfMemory;
    }
    if (code != kErrNone)
        return reader->fail(code);
    if (info) {
        info->totalLength = h.length;
        info->setId = h.setId;
        info->iCabinet = h.iCabinet;
        info->folderCount = h.folderCount;
        info->fileCount = h.fileCount;
        info->hasReserve = (h.flags & kFlagReservePresent) != 0;
        info->hasPrevious = h.hasPrevious();
        info->hasNext = h.hasNext();
    }
    return true;
}

bool copy(Reader *reader, const char *cabinetName, const char *cabinetPath, NotifyFn notify,
          void *user)
{
    if (!reader)
        return false;
    reader->clearError();
    if (!cabinetName || !notify)
        return reader->fail(kErrCabinetNotFound);
    try {
        detail::SystemScope scope(reader->glue);
        Walk walk(*reader, notify, user);
        return walk.run(cabinetName, cabinetPath ? cabinetPath : "");
    } catch (const std::bad_alloc &) {
        return reader->fail(kErrOutOfMemory);
    }
}

bool destroy(Reader *reader)
{
    if (!reader)
        return false;
    Io io = reader->io;
    reader->~Reader();
    io.free(io.context, reader);
    return true;
}

const ErrorRecord &lastError(const Reader *reader)
{
    return reader->error;
}

} // namespace cab
