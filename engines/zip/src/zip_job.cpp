#include "zip_job.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "archive_builder.h"
#include "archive_output.h"
#include "old_archive.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/modal.h"
#include "platform/path.h"
#include "reporter.h"
#include "source_list.h"
#include "span_writer.h"
#include "zip_result.h"

namespace zipengine {

namespace {

bool hasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

std::string toSlashes(std::string s)
{
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

// An entry name as given in a list: '/' separators, no drive, no leading slash.
std::string entryNameFromList(std::string s)
{
    s = toSlashes(std::move(s));
    if (s.size() >= 2 && s[1] == ':')
        s.erase(0, 2);
    s.erase(0, std::min(s.size(), s.find_first_not_of('/')));
    return s;
}

bool entryMatches(const std::string &pattern, const std::string &name)
{
    if (hasWildcard(pattern))
        return plat::matchesWildcard(foldName(pattern), foldName(name));
    const std::string p = foldName(pattern), n = foldName(name);
    return p == n ||
           (n.size() == p.size() + 1 && n.back() == '/' && n.compare(0, p.size(), p) == 0);
}

std::uint32_t stampOf(std::uint16_t date, std::uint16_t time)
{
    return (std::uint32_t(date) << 16) | time;
}

class Job {
public:
    explicit Job(const ZipCommand &cmd) : cmd_(cmd), rep_(cmd) {}

    int run()
    {
        if (cmd_.size != kZipCommandSize || cmd_.function < ZIP_FRESHEN ||
            cmd_.function > ZIP_ADD_MEMORY || !cmd_.archivePath || !*cmd_.archivePath)
            return kBadCommand;
        archive_ = plat::fullPathName(cmd_.archivePath);
        spanning_ = (cmd_.multiVolume & ZIP_SPAN) != 0;
        if (spanning_) {
            const std::string root = archive_.substr(0, 3);
            if (archive_.size() < 3 || archive_[1] != ':' ||
                plat::getDriveType(root.c_str()) != plat::DRIVE_REMOVABLE) {
                rep_.message(5, plat::MB_OK, 0, 0, "", plat::IDOK);
                return kNotRemovable;
            }
        }
        if (int rc = openOld())
            return rc;
        int rc = cmd_.function == ZIP_DELETE ? planDelete() : planAdd();
        if (rc != kOk)
            return rc;
        if (!changes_)
            return kOk;
        rc = write();
        if (rc != kOk)
            return rc;
        finishRun();
        return kOk;
    }

private:
    int fail(int code, std::string_view detail = {})
    {
        rep_.status(code, detail);
        return code;
    }

    int openOld()
    {
        if (spanning_)
            return kOk; // a spanned set is always written anew
        const plat::DWORD attrs = plat::getFileAttributes(archive_.c_str());
        if (attrs == plat::INVALID_FILE_ATTRIBUTES)
            return kOk;
        if (attrs & plat::FILE_ATTRIBUTE_DIRECTORY)
            return fail(kCreateFailed, archive_);
        old_ = std::make_unique<OldArchive>();
        const int rc = loadOldArchive(archive_, *old_);
        if (rc == kOk)
            return kOk;
        if (old_->file && old_->file->size() == 0) {
            old_.reset(); // an empty file stands for no archive
            return kOk;
        }
        old_.reset();
        return fail(rc, archive_);
    }

    Bytes requestedComment() const
    {
        Bytes c;
        if (cmd_.comment) {
            const std::size_t n =
                std::min<std::size_t>(std::strlen(cmd_.comment), fmt::end::kMaxCommentLength);
            c.assign(cmd_.comment, cmd_.comment + n);
        }
        return c;
    }

    void setComment()
    {
        comment_ = old_ ? old_->comment : Bytes{};
        if (cmd_.setComment) {
            Bytes wanted = requestedComment();
            if (wanted != comment_ || !old_)
                changes_ = true;
            comment_ = std::move(wanted);
        }
    }

    int planDelete()
    {
        if (!old_)
            return fail(kArchiveMissing, archive_);
        const auto patterns = splitList(cmd_.fileList ? cmd_.fileList : "");
        std::vector<std::string> keepers;
        if (cmd_.useExclude && cmd_.exclude)
            keepers = splitList(cmd_.exclude);
        for (auto &p : keepers)
            p = entryNameFromList(p);
        std::vector<std::string> wanted;
        for (const auto &p : patterns)
            wanted.push_back(entryNameFromList(p));
        for (std::size_t i = 0; i < old_->entries.size(); ++i) {
            const std::string &name = old_->entries[i].record.name;
            auto hit = [&](const std::string &p) { return entryMatches(p, name); };
            const bool remove = std::any_of(wanted.begin(), wanted.end(), hit) &&
                                !std::any_of(keepers.begin(), keepers.end(), hit);
            if (remove)
                deleted_.push_back(i);
            else
                keep_.push_back(i);
        }
        setComment();
        if (deleted_.empty() && !changes_)
            return fail(kNothingToDo);
        changes_ = true;
        return kOk;
    }

    int planAdd()
    {
        setComment();
        if (cmd_.function == ZIP_ADD_MEMORY)
            return planMemory();
        const auto list = splitList(cmd_.fileList ? cmd_.fileList : "");
        if (list.empty()) {
            if (cmd_.function == ZIP_ADD && cmd_.setComment) {
                keepAllOld();
                return kOk;
            }
            return fail(kNothingToDo);
        }
        if (cmd_.function == ZIP_FRESHEN && !old_)
            return fail(kArchiveMissing, archive_);

        NameFilter include(cmd_.useInclude && cmd_.include ? cmd_.include : "");
        NameFilter exclude(cmd_.useExclude && cmd_.exclude ? cmd_.exclude : "");
        SourceOptions so;
        so.recurse = cmd_.recurse != 0;
        so.names = cmd_.noFolderNames                          ? NameMode::NoFolders
                   : (cmd_.options & ZIP_OPT_RELATIVE_FOLDERS) ? NameMode::Relative
                                                               : NameMode::Full;
        so.include = &include;
        so.exclude = &exclude;
        if (cmd_.useDateFilter) {
            so.notBefore = parseDateFilter(cmd_.dateFilter ? cmd_.dateFilter : "");
            if (!so.notBefore)
                return kBadCommand;
        }
        so.skipPaths.push_back(archive_);
        SourceScan scan = scanSources(list, so);
        if (scan.files.empty())
            return fail(kNothingToDo);

        std::unordered_map<std::string, std::size_t> oldByName;
        if (old_)
            for (std::size_t i = 0; i < old_->entries.size(); ++i)
                oldByName.emplace(foldName(old_->entries[i].record.name), i);
        std::vector<bool> replaced(old_ ? old_->entries.size() : 0, false);
        for (SourceFile &f : scan.files) {
            auto it = oldByName.find(foldName(f.storedName));
            const bool exists = it != oldByName.end();
            if (exists) {
                if (f.isFolder)
                    continue; // the folder entry is there already
                if (cmd_.function != ZIP_ADD) {
                    const auto &r = old_->entries[it->second].record;
                    std::uint16_t d, t;
                    dosStamp(f.lastWrite, d, t);
                    if (stampOf(d, t) <= stampOf(r.modDate, r.modTime))
                        continue;
                }
                replaced[it->second] = true;
            } else if (cmd_.function == ZIP_FRESHEN) {
                continue;
            }
            NewItem item;
            item.storedName = f.storedName;
            item.sourcePath = f.path;
            item.isFolder = f.isFolder;
            item.attributes = f.attributes;
            item.lastWrite = f.lastWrite;
            item.size = f.size;
            items_.push_back(std::move(item));
        }
        for (std::size_t i = 0; i < replaced.size(); ++i)
            if (!replaced[i])
                keep_.push_back(i);
        if (!items_.empty())
            changes_ = true;
        return kOk;
    }

    void keepAllOld()
    {
        if (old_)
            for (std::size_t i = 0; i < old_->entries.size(); ++i)
                keep_.push_back(i);
    }

    int planMemory()
    {
        const auto list = splitList(cmd_.fileList ? cmd_.fileList : "");
        if (list.empty() || (!cmd_.sourceData && cmd_.sourceSize))
            return kBadCommand;
        NewItem item;
        item.storedName = entryNameFromList(list.front());
        if (item.storedName.empty() || item.storedName.back() == '/')
            return kBadCommand;
        item.memory = static_cast<const std::uint8_t *>(cmd_.sourceData);
        static const std::uint8_t kNothing = 0;
        if (!item.memory)
            item.memory = &kNothing;
        item.size = cmd_.sourceSize;
        item.attributes = plat::FILE_ATTRIBUTE_ARCHIVE;
        plat::getSystemTimeAsFileTime(&item.lastWrite);
        if (old_)
            for (std::size_t i = 0; i < old_->entries.size(); ++i)
                if (!sameName(old_->entries[i].record.name, item.storedName))
                    keep_.push_back(i);
        items_.push_back(std::move(item));
        changes_ = true;
        return kOk;
    }

    BuildOptions buildOptions() const
    {
        BuildOptions o;
        o.factor = std::clamp(cmd_.factor, 0, 9);
        if (cmd_.usePassword && cmd_.password && *cmd_.password)
            o.password = std::string(cmd_.password);
        o.skipUnopenable = (cmd_.options & ZIP_OPT_SKIP_LOCKED) != 0;
        o.verb = cmd_.function == ZIP_FRESHEN  ? "freshening"
                 : cmd_.function == ZIP_UPDATE ? "updating"
                                               : "adding";
        return o;
    }

    int reportDeletes()
    {
        const long total = static_cast<long>(deleted_.size());
        for (long n = 0; n < total; ++n)
            if (!rep_.item(n + 1, total, "deleting", old_->entries[deleted_[n]].record.name))
                return kCancelled;
        return kOk;
    }

    int write()
    {
        if (cmd_.growArchive && old_ && !spanning_ && cmd_.function != ZIP_DELETE &&
            old_->offsetCorrection == 0)
            return writeInPlace();
        return writeThroughTemp();
    }

    int buildInto(ArchiveBuilder &b, bool copyOld)
    {
        if (cmd_.function == ZIP_DELETE) {
            if (int rc = reportDeletes())
                return rc;
        }
        if (copyOld && old_) {
            if (int rc = b.copyOld(*old_, keep_))
                return rc;
        } else if (old_) {
            b.keepInPlace(*old_, keep_);
        }
        if (int rc = b.addItems(items_, 1, static_cast<long>(items_.size())))
            return rc;
        return b.finish(comment_);
    }

    int writeInPlace()
    {
        plat::HANDLE h = plat::createFile(
            archive_.c_str(), plat::GENERIC_READ | plat::GENERIC_WRITE, 0, plat::OPEN_EXISTING, 0);
        if (h == plat::INVALID_HANDLE_VALUE)
            return fail(kCreateFailed, archive_);
        const std::uint64_t start = old_->directoryStart;
        const std::uint64_t oldSize = old_->file->size();
        // What gets overwritten, kept so a failure can put it back.
        Bytes tail(static_cast<std::size_t>(oldSize - start));
        if (!tail.empty() && !readAt(h, start, tail.data(), tail.size())) {
            plat::closeHandle(h);
            return fail(kDamaged, archive_);
        }
        plat::setFilePointerEx(h, static_cast<std::int64_t>(start), nullptr, plat::FILE_BEGIN);
        ArchiveOutput out(h, start);
        ArchiveBuilder b(rep_, out, buildOptions());
        int rc = buildInto(b, false);
        if (rc == kOk) {
            plat::setFilePointerEx(h, static_cast<std::int64_t>(out.position()), nullptr,
                                   plat::FILE_BEGIN);
            if (!plat::setEndOfFile(h))
                rc = fail(kDiskFull, archive_);
        }
        if (rc != kOk) {
            out.discard();
            plat::DWORD written = 0;
            plat::setFilePointerEx(h, static_cast<std::int64_t>(start), nullptr, plat::FILE_BEGIN);
            plat::setEndOfFile(h);
            if (!tail.empty())
                plat::writeFile(h, tail.data(), static_cast<plat::DWORD>(tail.size()), &written);
            out.close();
            return rc;
        }
        if (!out.close())
            return fail(kDiskFull, archive_);
        central_ = std::move(b.central());
        added_ = b.added();
        return kOk;
    }

    std::string tempFolder() const
    {
        if (cmd_.useTempFolder && cmd_.tempFolder && *cmd_.tempFolder)
            return plat::fullPathName(cmd_.tempFolder);
        if (spanning_) {
            char buf[plat::kMaxPath];
            if (plat::getTempPath(sizeof buf, buf) && buf[0])
                return buf;
        }
        return plat::pathFolder(archive_);
    }

    int writeThroughTemp()
    {
        char temp[plat::kMaxPath];
        if (!plat::getTempFileName(tempFolder().c_str(), "dz", 0, temp))
            return fail(kTempFileError, tempFolder());
        tempPath_ = temp;
        plat::HANDLE h = plat::createFile(temp, plat::GENERIC_WRITE, 0, plat::CREATE_ALWAYS, 0);
        if (h == plat::INVALID_HANDLE_VALUE) {
            plat::deleteFile(temp);
            return fail(kTempFileError, temp);
        }
        int rc;
        std::uint64_t directoryOffset = 0;
        {
            ArchiveOutput out(h, 0);
            ArchiveBuilder b(rep_, out, buildOptions());
            rc = buildInto(b, true);
            if (rc == kOk && !out.close())
                rc = fail(out.error() == plat::ERROR_DISK_FULL ? kDiskFull : kTempFileError, temp);
            central_ = std::move(b.central());
            added_ = b.added();
            directoryOffset = b.directoryOffset();
        }
        old_.reset(); // the old archive is closed before it is replaced
        if (rc == kOk)
            rc = spanning_ ? span(directoryOffset) : replaceArchive();
        if (plat::getFileAttributes(temp) != plat::INVALID_FILE_ATTRIBUTES && rc != kLeftInTemp)
            plat::deleteFile(temp);
        return rc;
    }

    int span(std::uint64_t directoryOffset)
    {
        SpanRequest req;
        req.source = tempPath_;
        req.entries = central_;
        req.directoryOffset = directoryOffset;
        req.comment = comment_;
        req.target = archive_;
        req.mode = cmd_.multiVolume;
        return writeSpanned(rep_, req);
    }

    int replaceArchive()
    {
        const std::string folder = plat::pathFolder(archive_);
        std::string ready = tempPath_;
        if (foldName(plat::pathFolder(tempPath_)) != foldName(folder)) {
            // Another drive or folder: copy beside the archive first, so the
            // final step is a rename that either happens whole or not at all.
            char beside[plat::kMaxPath];
            if (!plat::getTempFileName(folder.c_str(), "dz", 0, beside))
                return leftInTemp();
            if (!plat::copyFile(tempPath_.c_str(), beside, plat::FALSE)) {
                plat::deleteFile(beside);
                return leftInTemp();
            }
            ready = beside;
        }
        if (!plat::moveFileEx(ready.c_str(), archive_.c_str(), plat::MOVEFILE_REPLACE_EXISTING)) {
            if (ready != tempPath_)
                plat::deleteFile(ready.c_str());
            return leftInTemp();
        }
        return kOk;
    }

    int leftInTemp()
    {
        rep_.message(12, plat::MB_OK, 0, 0, "new zip file left as: " + tempPath_, plat::IDOK);
        return kLeftInTemp;
    }

    void finishRun()
    {
        if (cmd_.moveFiles) {
            for (std::size_t i : added_)
                if (!items_[i].isFolder && !items_[i].sourcePath.empty())
                    plat::deleteFile(items_[i].sourcePath.c_str());
            for (auto it = added_.rbegin(); it != added_.rend(); ++it)
                if (items_[*it].isFolder)
                    plat::removeDirectory(items_[*it].sourcePath.c_str());
        }
        if (cmd_.archiveTimeFromNewest && !spanning_ && !central_.empty()) {
            std::uint32_t newest = 0;
            for (const auto &r : central_)
                newest = std::max(newest, stampOf(r.modDate, r.modTime));
            plat::FILETIME local, utc;
            if (plat::dosDateTimeToFileTime(static_cast<plat::WORD>(newest >> 16),
                                            static_cast<plat::WORD>(newest & 0xFFFF), &local) &&
                plat::localFileTimeToFileTime(&local, &utc)) {
                plat::HANDLE h = plat::createFile(archive_.c_str(), plat::FILE_WRITE_ATTRIBUTES, 0,
                                                  plat::OPEN_EXISTING, 0);
                if (h != plat::INVALID_HANDLE_VALUE) {
                    plat::setFileTime(h, nullptr, nullptr, &utc);
                    plat::closeHandle(h);
                }
            }
        }
    }

    const ZipCommand &cmd_;
    Reporter rep_;
    std::string archive_;
    bool spanning_ = false;
    std::unique_ptr<OldArchive> old_;
    std::vector<std::size_t> keep_;
    std::vector<std::size_t> deleted_;
    std::vector<NewItem> items_;
    Bytes comment_;
    bool changes_ = false;
    std::string tempPath_;
    std::vector<CentralRecord> central_;
    std::vector<std::size_t> added_;
};

} // namespace

int runCommand(const ZipCommand &cmd)
{
    Job job(cmd);
    return job.run();
}

} // namespace zipengine
