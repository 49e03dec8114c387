// Extracts every file of one cabinet with our reader on plain POSIX file
// callbacks, so its time compares with cabextract.
//
// Usage: cab_bench_extract CAB OUTDIR

#include "cabinet/reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

cab::FileHandle ioOpen(void *, const char *path)
{
    const int fd = ::open(path, O_RDONLY);
    return fd < 0 ? cab::kInvalidHandle : fd;
}

std::int32_t ioRead(void *, cab::FileHandle f, void *buf, std::uint32_t size)
{
    const ssize_t n = ::read(static_cast<int>(f), buf, size);
    return n < 0 ? -1 : static_cast<std::int32_t>(n);
}

std::int32_t ioWrite(void *, cab::FileHandle f, const void *buf, std::uint32_t size)
{
    const char *p = static_cast<const char *>(buf);
    std::uint32_t left = size;
    while (left) {
        const ssize_t n = ::write(static_cast<int>(f), p, left);
        if (n <= 0)
            return -1;
        p += n;
        left -= static_cast<std::uint32_t>(n);
    }
    return static_cast<std::int32_t>(size);
}

int ioClose(void *, cab::FileHandle f)
{
    return ::close(static_cast<int>(f));
}

std::int64_t ioSeek(void *, cab::FileHandle f, std::int64_t offset, int origin)
{
    const int whence = origin == cab::kSeekEnd   ? SEEK_END
                       : origin == cab::kSeekCur ? SEEK_CUR
                                                 : SEEK_SET;
    return ::lseek(static_cast<int>(f), offset, whence);
}

void *ioAlloc(void *, std::size_t size)
{
    return std::malloc(size ? size : 1);
}

void ioFree(void *, void *p)
{
    std::free(p);
}

struct Target {
    std::string outDir;
    std::set<std::string> made; // folders already created
    int files = 0;
    bool unsafe = false;
};

// Creates the folders of `rel` below the output folder.
bool makeParents(Target &t, const std::string &rel)
{
    for (std::size_t slash = rel.find('/'); slash != std::string::npos;
         slash = rel.find('/', slash + 1)) {
        const std::string dir = rel.substr(0, slash);
        if (t.made.insert(dir).second) {
            const std::string full = t.outDir + "/" + dir;
            if (::mkdir(full.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

cab::FileHandle notify(cab::Notify type, cab::Notification &n)
{
    auto &t = *static_cast<Target *>(n.user);
    switch (type) {
    case cab::Notify::CopyFile: {
        std::string rel = n.fileName;
        for (char &c : rel)
            if (c == '\\')
                c = '/';
        // A benchmark still never writes outside its folder.
        if (rel.empty() || rel[0] == '/' || rel.find("..") != std::string::npos) {
            t.unsafe = true;
            return 0;
        }
        if (!makeParents(t, rel))
            return -1;
        const std::string full = t.outDir + "/" + rel;
        const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        return fd < 0 ? -1 : fd;
    }
    case cab::Notify::CloseFileInfo:
        ++t.files;
        return ::close(static_cast<int>(n.handle)) == 0 ? 1 : 0;
    case cab::Notify::NextCabinet: return -1;
    default: return 0;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: cab_bench_extract CAB OUTDIR\n");
        return 2;
    }
    std::string path = argv[1];
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);

    Target t;
    t.outDir = argv[2];
    ::mkdir(t.outDir.c_str(), 0755);

    cab::Io io;
    io.alloc = ioAlloc;
    io.free = ioFree;
    io.open = ioOpen;
    io.read = ioRead;
    io.write = ioWrite;
    io.close = ioClose;
    io.seek = ioSeek;
    cab::ErrorRecord err;
    cab::Reader *r = cab::create(io, &err);
    if (!r) {
        std::fprintf(stderr, "create: %s\n", cab::readerErrorText(err.code));
        return 1;
    }
    const bool ok = cab::copy(r, name.c_str(), folder.c_str(), notify, &t);
    cab::destroy(r);
    if (!ok) {
        std::fprintf(stderr, "extract: %s\n", cab::readerErrorText(err.code));
        return 1;
    }
    if (t.unsafe)
        std::fprintf(stderr, "skipped names leading outside the folder\n");
    return 0;
}
