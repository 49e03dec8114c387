#include "extract_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine_codes.h"
#include "entry_record.h"
#include "extract_output.h"
#include "names.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/path.h"
#include "short_names.h"
#include "zip_format.h"

namespace unzip {
namespace {

// Entries decoded ahead of the one being finished, per worker thread.
constexpr std::size_t kAheadPerWorker = 3;
constexpr unsigned kMaxWorkers = 4;

enum class JobKind { Skip, Folder, Test, File };

struct Job {
    std::size_t index = 0;
    JobKind kind = JobKind::Skip;
    std::string name;   // decoded entry name (for messages)
    std::string target; // final path (files)
    std::string temp;   // temporary file beside it
    std::optional<plat::FILETIME> mtime;
    std::uint32_t attributes = 0;
    bool itemSent = false;
    // Filled by whoever runs the job.
    std::atomic<int> percent{-1};
    std::atomic<bool> done{false};
    Error error = Error::Ok;
    bool stopped = false;
    bool diskFull = false;
    bool writeFailed = false;
    bool createFailed = false;
};

std::string upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool isFolderEntry(const std::string &name, const CentralEntry &e)
{
    return (!name.empty() && (name.back() == '/' || name.back() == '\\')) ||
           ((dosAttributes(e) & kAttrDirectory) && e.uncompressedSize == 0);
}

std::string lastComponent(std::string_view rel)
{
    std::size_t cut = rel.find_last_of('\\');
    return std::string(cut == std::string_view::npos ? rel : rel.substr(cut + 1));
}

bool nameMatches(std::string_view mask, const std::string &name)
{
    if (mask.empty() || mask == "*.*" || mask == "*")
        return true;
    std::string path = toBackslashes(name);
    std::string maskText = toBackslashes(std::string(mask));
    if (plat::matchesWildcard(maskText, path))
        return true;
    return maskText.find('\\') == std::string::npos &&
           plat::matchesWildcard(maskText, lastComponent(path));
}

class Runner {
public:
    Runner(const UnzipCommand &cmd, OpenArchive &archive)
        : cmd_(cmd), archive_(archive), dir_(archive.directory())
    {
        if (cmd_.useDecryptCode && cmd_.decryptCode)
            password_ = std::string(cmd_.decryptCode);
    }
    ~Runner() { stopWorkers(); }

    int run();

private:
    // Callbacks (calling thread only).
    bool sendItem(Job &job);
    bool sendProgress(int percent);
    void report(int code, const std::string &text);
    int ask(const std::string &target);

    std::unique_ptr<Job> plan(std::size_t index);
    bool entryIsNewer(const CentralEntry &e, const std::string &target) const;
    void execute(Job &job, const PercentHook &hook);
    void finish(Job &job);
    void finishAll();
    void abandonAll();
    void enqueue(std::unique_ptr<Job> job);
    void startWorkers(unsigned count);
    void stopWorkers();
    void workerLoop();
    void fail(int code) { firstError_ = firstError_ ? firstError_ : code; }

    const UnzipCommand &cmd_;
    OpenArchive &archive_;
    const ArchiveDirectory &dir_;
    std::optional<std::string> password_;
    std::string destination_;
    ShortNameMap shortNames_;
    std::vector<std::string> shortPaths_;

    std::deque<std::unique_ptr<Job>> pending_;
    std::unordered_set<std::string> pendingTargets_;
    int firstError_ = 0;
    int stopCode_ = 0;
    bool encryptedSkipped_ = false;

    // Worker pool.
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<Job *> queue_;
    bool quitting_ = false;
    std::atomic<bool> cancel_{false};
};

bool Runner::sendItem(Job &job)
{
    job.itemSent = true;
    if (!cmd_.statusCallback)
        return true;
    std::string text = "Item " + std::to_string(job.index + 1) + " " + job.name;
    return cmd_.statusCallback(text.c_str(), 0, cmd_.statusContext) == 0;
}

bool Runner::sendProgress(int percent)
{
    return !cmd_.progressCallback || cmd_.progressCallback(0, percent, cmd_.progressContext) == 0;
}

void Runner::report(int code, const std::string &text)
{
    if (cmd_.messageCallback)
        cmd_.messageCallback(11, plat::MB_OK | plat::MB_ICONEXCLAMATION, code, 0, text.c_str(), 0,
                             cmd_.messageContext);
}

int Runner::ask(const std::string &target)
{
    if (!cmd_.messageCallback)
        return plat::IDNO;
    std::string text = target + " exists";
    return cmd_.messageCallback(8, plat::MB_YESNOCANCEL | plat::MB_ICONQUESTION, 0, 0, text.c_str(),
                                0, cmd_.messageContext);
}

bool Runner::entryIsNewer(const CentralEntry &e, const std::string &target) const
{
    auto mtime = entryModificationTime(dir_, e);
    plat::WIN32_FIND_DATA fd;
    plat::HANDLE h = plat::findFirstFile(target.c_str(), &fd);
    if (h == plat::INVALID_HANDLE_VALUE)
        return true;
    plat::findClose(h);
    if (!mtime)
        return false;
    // DOS times have a two-second grain; anything within it is the same time.
    constexpr std::uint64_t kGrain = 2 * 10000000ull;
    return plat::fileTimeToU64(*mtime) > plat::fileTimeToU64(fd.ftLastWriteTime) + kGrain;
}

std::unique_ptr<Job> Runner::plan(std::size_t index)
{
    const CentralEntry &e = dir_.entries[index];
    auto job = std::make_unique<Job>();
    job->index = index;
    job->name = decodeEntryName(dir_.name(e), e.flags, dir_.extra(e), e.versionMadeBy);
    const bool folder = isFolderEntry(job->name, e);

    std::string rel = safeRelativePath(job->name);
    if (cmd_.dropFolders)
        rel = folder ? std::string() : lastComponent(rel);
    if ((cmd_.nameFlags & UNZIP_SKIP_LONG_NAMES) &&
        isLongName(cmd_.dropFolders ? lastComponent(job->name) : job->name))
        return job;
    if ((e.flags & fmt::flag::kEncrypted) && !password_) {
        finishAll();
        if (!sendItem(*job)) {
            stopCode_ = kCancelled;
            return job;
        }
        report(kEncryptedNoCode, job->name);
        encryptedSkipped_ = true;
        return job;
    }
    if (cmd_.testOnly) {
        if (!folder)
            job->kind = JobKind::Test;
        return job;
    }
    if (rel.empty())
        return job;
    if (cmd_.nameFlags & UNZIP_SHORT_NAMES)
        rel = shortPaths_[index];
    if (folder) {
        bool full = false;
        if (!createFolders(destination_, rel, full)) {
            finishAll();
            sendItem(*job);
            report(full ? kDiskFull : kCreateFailed, job->name);
            if (full)
                stopCode_ = kDiskFull;
            else
                fail(kCreateFailed);
            return job;
        }
        job->kind = JobKind::Folder;
        return job;
    }

    std::string target = plat::joinPath(destination_, rel);
    if (pendingTargets_.count(upper(target)))
        finishAll(); // an earlier entry of the same name decides what exists
    plat::DWORD attrs = plat::getFileAttributes(target.c_str());
    bool exists = attrs != plat::INVALID_FILE_ATTRIBUTES;
    if (exists && (attrs & plat::FILE_ATTRIBUTE_DIRECTORY))
        return job;
    if (cmd_.freshen && (!exists || !entryIsNewer(e, target)))
        return job;
    if (cmd_.update && exists && !entryIsNewer(e, target))
        return job;
    if (exists) {
        if (cmd_.overwrite) {
            if (cmd_.renameCallback) {
                char buffer[plat::kMaxPath] = {};
                if (target.size() >= sizeof buffer) {
                    fail(kCreateFailed);
                    return job;
                }
                target.copy(buffer, target.size());
                cmd_.renameCallback(buffer, cmd_.renameRecord);
                buffer[sizeof buffer - 1] = 0;
                if (buffer[0] == 0)
                    return job;
                target = buffer;
            }
        } else if (cmd_.neverPrompt) {
            return job;
        } else {
            finishAll();
            if (stopCode_ || !sendItem(*job)) {
                stopCode_ = stopCode_ ? stopCode_ : kCancelled;
                return job;
            }
            int answer = ask(target);
            if (answer == plat::IDCANCEL)
                stopCode_ = kCancelled;
            if (answer != plat::IDYES)
                return job;
        }
    }
    std::string folderPath = plat::pathFolder(target);
    bool full = false;
    std::string relFolder = plat::pathFolder(rel);
    if (!createFolders(destination_, relFolder, full) ||
        (job->temp = createTemporaryBeside(folderPath)).empty()) {
        finishAll();
        if (!job->itemSent)
            sendItem(*job);
        report(full ? kDiskFull : kCreateFailed, target);
        if (full)
            stopCode_ = kDiskFull;
        else
            fail(kCreateFailed);
        return job;
    }
    job->kind = JobKind::File;
    job->target = target;
    job->mtime = entryModificationTime(dir_, e);
    job->attributes = dosAttributes(e) & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    pendingTargets_.insert(upper(target));
    return job;
}

void Runner::execute(Job &job, const PercentHook &hook)
{
    const CentralEntry &e = dir_.entries[job.index];
    if (job.kind == JobKind::Test) {
        ProgressSink sink(e.uncompressedSize, hook);
        job.error = archive_.readEntry(job.index, sink, password_);
        job.stopped = sink.stopped();
        return;
    }
    plat::HANDLE h = plat::createFile(job.temp.c_str(), plat::GENERIC_WRITE, 0,
                                      plat::TRUNCATE_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (h == plat::INVALID_HANDLE_VALUE) {
        job.createFailed = true;
        plat::deleteFile(job.temp.c_str());
        return;
    }
    FileSink sink(h, e.uncompressedSize, hook);
    job.error = archive_.readEntry(job.index, sink, password_);
    job.stopped = sink.stopped();
    job.diskFull = sink.diskFull();
    job.writeFailed = sink.writeFailed();
    if (job.error == Error::Ok && job.mtime)
        plat::setFileTime(h, nullptr, &*job.mtime, &*job.mtime);
    plat::closeHandle(h);
    if (job.error != Error::Ok)
        plat::deleteFile(job.temp.c_str());
}

void Runner::finish(Job &job)
{
    if (!job.itemSent && !sendItem(job)) {
        cancel_ = true;
        stopCode_ = kCancelled;
    }
    if (job.kind != JobKind::Test && job.kind != JobKind::File)
        return;
    int lastPercent = -1;
    if (workers_.empty()) {
        if (!stopCode_)
            execute(job, [&](int percent) {
                lastPercent = percent;
                return sendProgress(percent);
            });
        else
            job.stopped = true;
    } else {
        std::unique_lock lock(mutex_);
        while (!job.done) {
            finished_.wait_for(lock, std::chrono::milliseconds(50));
            int percent = job.percent;
            if (percent > lastPercent && !job.done && !stopCode_) {
                lastPercent = percent;
                lock.unlock();
                if (!sendProgress(percent)) {
                    cancel_ = true;
                    stopCode_ = kCancelled;
                }
                lock.lock();
            }
        }
    }
    if (job.kind == JobKind::File)
        pendingTargets_.erase(upper(job.target));
    if (stopCode_) {
        if (job.kind == JobKind::File)
            plat::deleteFile(job.temp.c_str());
        return;
    }
    const bool ok = job.error == Error::Ok && !job.stopped && !job.createFailed && !job.writeFailed;
    if (ok && lastPercent < 100 && !stopCode_ && !sendProgress(100)) {
        cancel_ = true;
        stopCode_ = kCancelled;
        if (job.kind == JobKind::File)
            plat::deleteFile(job.temp.c_str());
        return;
    }
    if (!ok) {
        if (job.kind == JobKind::File)
            plat::deleteFile(job.temp.c_str());
        if (job.stopped || job.error == Error::Stopped) {
            if (job.diskFull) {
                report(kDiskFull, job.target);
                stopCode_ = kDiskFull;
            } else if (job.writeFailed) {
                report(kCreateFailed, job.target);
                fail(kCreateFailed);
            } else {
                stopCode_ = stopCode_ ? stopCode_ : kCancelled;
            }
            return;
        }
        if (job.createFailed) {
            report(kCreateFailed, job.target);
            fail(kCreateFailed);
            return;
        }
        int code = engineCodeOf(job.error);
        report(code, job.name);
        if (code == kEncryptedNoCode || code == kEncryptedWrongCode)
            encryptedSkipped_ = true;
        else if (code == kDiskNotInserted || code == kOpenFailed)
            stopCode_ = code;
        else
            fail(code);
        return;
    }
    if (job.kind != JobKind::File)
        return;
    plat::DWORD existing = plat::getFileAttributes(job.target.c_str());
    if (existing != plat::INVALID_FILE_ATTRIBUTES &&
        (existing & (plat::FILE_ATTRIBUTE_READONLY | plat::FILE_ATTRIBUTE_HIDDEN |
                     plat::FILE_ATTRIBUTE_SYSTEM)))
        plat::setFileAttributes(job.target.c_str(), plat::FILE_ATTRIBUTE_NORMAL);
    if (!plat::moveFileEx(job.temp.c_str(), job.target.c_str(), plat::MOVEFILE_REPLACE_EXISTING)) {
        bool full = plat::getLastError() == plat::ERROR_DISK_FULL;
        plat::deleteFile(job.temp.c_str());
        report(full ? kDiskFull : kCreateFailed, job.target);
        if (full)
            stopCode_ = kDiskFull;
        else
            fail(kCreateFailed);
        return;
    }
    plat::setFileAttributes(job.target.c_str(),
                            job.attributes ? job.attributes : plat::FILE_ATTRIBUTE_NORMAL);
}

void Runner::finishAll()
{
    while (!pending_.empty()) {
        std::unique_ptr<Job> job = std::move(pending_.front());
        pending_.pop_front();
        if (stopCode_) {
            cancel_ = true;
            pending_.push_front(std::move(job));
            abandonAll();
            return;
        }
        finish(*job);
    }
}

// Stops every pending job and removes what it wrote.
void Runner::abandonAll()
{
    cancel_ = true;
    for (auto &job : pending_) {
        if (!workers_.empty()) {
            std::unique_lock lock(mutex_);
            finished_.wait(lock, [&] { return job->done.load(); });
        }
        if (job->kind == JobKind::File)
            plat::deleteFile(job->temp.c_str());
    }
    pending_.clear();
    pendingTargets_.clear();
}

void Runner::enqueue(std::unique_ptr<Job> job)
{
    Job *raw = job.get();
    pending_.push_back(std::move(job));
    if (workers_.empty() || (raw->kind != JobKind::Test && raw->kind != JobKind::File)) {
        raw->done = true;
    } else {
        std::lock_guard lock(mutex_);
        queue_.push_back(raw);
        queued_.notify_one();
    }
    while (pending_.size() > std::max<std::size_t>(1, workers_.size() * kAheadPerWorker) &&
           !stopCode_) {
        std::unique_ptr<Job> front = std::move(pending_.front());
        pending_.pop_front();
        finish(*front);
    }
}

void Runner::workerLoop()
{
    for (;;) {
        Job *job = nullptr;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [&] { return quitting_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            job = queue_.front();
            queue_.pop_front();
        }
        if (cancel_) {
            job->stopped = true;
        } else {
            execute(*job, [&](int percent) {
                job->percent = percent;
                return !cancel_.load();
            });
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        finished_.notify_all();
    }
}

void Runner::startWorkers(unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        workers_.emplace_back([this] { workerLoop(); });
}

void Runner::stopWorkers()
{
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
    }
    queued_.notify_all();
    for (auto &t : workers_)
        t.join();
    workers_.clear();
}

int Runner::run()
{
    if (!cmd_.testOnly) {
        if (!cmd_.destination || !*cmd_.destination)
            return kBadCommand;
        destination_ = plat::fullPathName(cmd_.destination);
        bool full = false;
        if (!createFolders(destination_, std::string(), full)) {
            report(full ? kDiskFull : kCreateFailed, destination_);
            return full ? kDiskFull : kCreateFailed;
        }
    }

    std::vector<std::size_t> selected;
    const std::size_t count = dir_.entries.size();
    if (cmd_.entryIndex >= 0) {
        if (static_cast<std::size_t>(cmd_.entryIndex) < count)
            selected.push_back(static_cast<std::size_t>(cmd_.entryIndex));
    } else {
        std::string_view mask = cmd_.nameMask ? cmd_.nameMask : "*.*";
        for (std::size_t i = 0; i < count; ++i) {
            const CentralEntry &e = dir_.entries[i];
            if (nameMatches(mask,
                            decodeEntryName(dir_.name(e), e.flags, dir_.extra(e), e.versionMadeBy)))
                selected.push_back(i);
        }
    }
    if (selected.empty()) {
        report(kNothingToDo, "");
        return kNothingToDo;
    }
    if (cmd_.nameFlags & UNZIP_SHORT_NAMES) {
        // Every entry in archive order, so a name never depends on the selection.
        shortPaths_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const CentralEntry &e = dir_.entries[i];
            shortPaths_[i] = shortNames_.map(safeRelativePath(
                decodeEntryName(dir_.name(e), e.flags, dir_.extra(e), e.versionMadeBy)));
        }
    }

    // A set of disks is read on this thread (reading may ask for a disk).
    if (!archive_.multiDisk() && selected.size() > 1) {
        unsigned hc = std::max(1u, std::thread::hardware_concurrency());
        startWorkers(std::min(kMaxWorkers, hc));
    }
    for (std::size_t index : selected) {
        if (stopCode_)
            break;
        enqueue(plan(index));
    }
    finishAll();
    if (stopCode_) {
        abandonAll();
        stopWorkers();
        return stopCode_;
    }
    stopWorkers();
    if (firstError_)
        return firstError_;
    if (encryptedSkipped_) {
        report(kEncryptedSkipped, "");
        return kEncryptedSkipped;
    }
    return kOk;
}

} // namespace

int runExtract(const UnzipCommand &cmd, OpenArchive &archive)
{
    Runner runner(cmd, archive);
    return runner.run();
}

} // namespace unzip
