#include "archive_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace unzip {

Error readExact(ArchiveFile &file, std::uint64_t offset, std::uint8_t *buf, std::size_t len)
{
    if (offset > file.size() || len > file.size() - offset)
        return Error::Truncated;
    std::size_t done = 0;
    while (done < len) {
        std::ptrdiff_t got = file.readAt(offset + done, buf + done, len - done);
        if (got < 0)
            return Error::ReadError;
        if (got == 0)
            return Error::Truncated;
        done += static_cast<std::size_t>(got);
    }
    return Error::Ok;
}

std::unique_ptr<HostArchiveFile> HostArchiveFile::open(const std::string &path, Error &error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Error::OpenFailed;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = Error::OpenFailed;
        return nullptr;
    }
    FileIdentity id;
    id.path = path;
    id.size = static_cast<std::uint64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    id.device = static_cast<std::uint64_t>(st.st_dev);
    error = Error::Ok;
    return std::unique_ptr<HostArchiveFile>(new HostArchiveFile(fd, std::move(id)));
}

HostArchiveFile::~HostArchiveFile()
{
    ::close(fd_);
}

std::ptrdiff_t HostArchiveFile::readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len)
{
    if (offset >= identity_.size)
        return 0;
    for (;;) {
        ssize_t got = ::pread(fd_, buf, len, static_cast<off_t>(offset));
        if (got >= 0)
            return got;
        if (errno != EINTR)
            return -1;
    }
}

std::ptrdiff_t MemoryArchiveFile::readAt(std::uint64_t offset, std::uint8_t *buf, std::size_t len)
{
    if (offset >= size_)
        return 0;
    std::size_t n = std::min<std::uint64_t>(len, size_ - offset);
    std::memcpy(buf, data_ + offset, n);
    return static_cast<std::ptrdiff_t>(n);
}

} // namespace unzip
