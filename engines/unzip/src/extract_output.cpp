#include "extract_output.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"
#include "zip_format.h"

namespace unzip {

bool ProgressSink::write(const std::uint8_t *data, std::size_t len)
{
    if (!put(data, len))
        return false;
    done_ += len;
    int percent = total_ == 0 ? 100
                              : static_cast<int>(std::min<std::uint64_t>(
                                    100, done_ * 100 / std::max<std::uint64_t>(total_, 1)));
    if (percent != percent_) {
        percent_ = percent;
        if (hook_ && !hook_(percent)) {
            stopped_ = true;
            return false;
        }
    }
    return true;
}

bool FileSink::put(const std::uint8_t *data, std::size_t len)
{
    while (len > 0) {
        plat::DWORD n = static_cast<plat::DWORD>(std::min<std::size_t>(len, 1u << 30));
        plat::DWORD written = 0;
        if (!plat::writeFile(file_, data, n, &written) || written != n) {
            diskFull_ = plat::getLastError() == plat::ERROR_DISK_FULL;
            writeFailed_ = true;
            return false;
        }
        data += n;
        len -= n;
    }
    return true;
}

std::optional<plat::FILETIME> entryModificationTime(const ArchiveDirectory &dir,
                                                    const CentralEntry &e)
{
    bool found = false;
    auto ts = findExtraField(dir.extra(e), fmt::extra::kExtendedTimestamp, found);
    if (found && ts.size() >= 5 && (ts[0] & 1)) {
        std::int64_t seconds = static_cast<std::int32_t>(fmt::get32(ts.data() + 1));
        return plat::fileTimeFromUnix(seconds, 0);
    }
    plat::FILETIME local, utc;
    if (!plat::dosDateTimeToFileTime(e.modDate, e.modTime, &local) ||
        !plat::localFileTimeToFileTime(&local, &utc))
        return std::nullopt;
    return utc;
}

bool createFolders(const std::string &base, const std::string &relative, bool &diskFull)
{
    diskFull = false;
    std::string full = plat::joinPath(base, relative);
    // Entries mostly land in folders made for earlier entries.
    plat::DWORD existing = plat::getFileAttributes(full.c_str());
    if (existing != plat::INVALID_FILE_ATTRIBUTES)
        return (existing & plat::FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Walk from the first component after the root.
    std::size_t pos = plat::pathRootLength(full);
    for (;;) {
        std::size_t next = full.find('\\', pos);
        std::string prefix = full.substr(0, next);
        if (prefix.size() > plat::pathRootLength(full)) {
            plat::DWORD attrs = plat::getFileAttributes(prefix.c_str());
            if (attrs == plat::INVALID_FILE_ATTRIBUTES) {
                if (!plat::createDirectory(prefix.c_str()) &&
                    plat::getLastError() != plat::ERROR_ALREADY_EXISTS) {
                    diskFull = plat::getLastError() == plat::ERROR_DISK_FULL;
                    return false;
                }
            } else if (!(attrs & plat::FILE_ATTRIBUTE_DIRECTORY)) {
                return false;
            }
        }
        if (next == std::string::npos)
            return true;
        pos = next + 1;
    }
}

std::string createTemporaryBeside(const std::string &folder)
{
    // Not getTempFileName: targets deep in a tree may exceed its 260 bytes.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        unsigned n = counter.fetch_add(1) ^ (static_cast<unsigned>(::getpid()) << 12);
        char name[32];
        std::snprintf(name, sizeof name, "~bxu%06X.tmp", n & 0xFFFFFF);
        std::string path = plat::joinPath(folder, name);
        plat::HANDLE h = plat::createFile(path.c_str(), plat::GENERIC_WRITE, 0, plat::CREATE_NEW,
                                          plat::FILE_ATTRIBUTE_NORMAL);
        if (h != plat::INVALID_HANDLE_VALUE) {
            plat::closeHandle(h);
            return path;
        }
        if (plat::getLastError() != plat::ERROR_FILE_EXISTS &&
            plat::getLastError() != plat::ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

} // namespace unzip
