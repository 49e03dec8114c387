// Builds one cabinet from every file below a folder with our writer, on the
// plain POSIX file callbacks, so its time compares with other cabinet tools.
//
// Usage: cab_bench_write OUT.cab ROOT METHOD
//   METHOD: none | mszip | lzx15 ... lzx21
// Files go into one folder in name order, stored with '\' separators.

#include "cabinet/posix_io.h"
#include "cabinet/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Context {
    std::string tempDir;
    int tempCount = 0;
};

bool tempName(char *name, int cbName, void *ctx)
{
    auto &c = *static_cast<Context *>(ctx);
    const int n = std::snprintf(name, static_cast<std::size_t>(cbName), "%s/.cabtmp%d-%d",
                                c.tempDir.c_str(), static_cast<int>(::getpid()), ++c.tempCount);
    return n > 0 && n < cbName;
}

bool nextCabinet(cab::CCAB *, std::uint32_t, void *)
{
    return false; // one cabinet only
}

std::intptr_t openInfo(const char *name, std::uint16_t *date, std::uint16_t *time,
                       std::uint16_t *attribs, int *err, void *)
{
    const int fd = ::open(name, O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    *date = static_cast<std::uint16_t>(((2024 - 1980) << 9) | (1 << 5) | 1);
    *time = 0;
    *attribs = 0x20;
    return fd;
}

long status(unsigned, std::uint32_t, std::uint32_t, void *)
{
    return 0;
}

int placed(cab::CCAB *, const char *, long, bool, void *)
{
    return 0;
}

bool parseMethod(const std::string &m, int &code)
{
    if (m == "none")
        code = cab::kCompressionNone;
    else if (m == "mszip")
        code = cab::kCompressionMszip;
    else if (m.size() == 5 && m.rfind("lzx", 0) == 0) {
        const int w = std::atoi(m.c_str() + 3);
        if (w < 15 || w > 21)
            return false;
        code = cab::compressionLzx(w);
    } else
        return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int method = 0;
    if (argc != 4 || !parseMethod(argv[3], method)) {
        std::fprintf(stderr, "usage: cab_bench_write OUT.cab ROOT none|mszip|lzx15..lzx21\n");
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    const fs::path root = argv[2];
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto &e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file())
            files.push_back(e.path());
    if (ec) {
        std::fprintf(stderr, "cannot list %s\n", argv[2]);
        return 1;
    }
    std::sort(files.begin(), files.end());

    Context ctx;
    ctx.tempDir = out.parent_path().string();
    cab::Callbacks cb = cab::posix::fileCallbacks();
    cb.filePlaced = placed;
    cb.getTempFile = tempName;
    cb.getNextCabinet = nextCabinet;
    cb.getOpenInfo = openInfo;
    cb.status = status;

    cab::CCAB ccab{};
    ccab.cb = 0x7FFFFFFF;
    ccab.cbFolderThresh = 0x7FFFFFFF;
    ccab.iCab = 1;
    ccab.iDisk = 1;
    ccab.setID = 1;
    std::snprintf(ccab.szCab, sizeof ccab.szCab, "%s", out.filename().c_str());
    std::snprintf(ccab.szCabPath, sizeof ccab.szCabPath, "%s/", out.parent_path().c_str());

    cab::Error err{};
    cab::Writer *w = cab::create(&err, cb, ccab, &ctx);
    if (!w) {
        std::fprintf(stderr, "create: %s\n", cab::writerErrorText(err.code));
        return 1;
    }
    bool ok = true;
    for (const fs::path &f : files) {
        std::string stored = fs::relative(f, root).generic_string();
        std::replace(stored.begin(), stored.end(), '/', '\\');
        if (!cab::addFile(w, f.c_str(), stored.c_str(), false, method)) {
            ok = false;
            break;
        }
    }
    ok = ok && cab::flushCabinet(w, false);
    cab::destroy(w);
    if (!ok) {
        std::fprintf(stderr, "writing failed: %s (errno %d)\n", cab::writerErrorText(err.code),
                     err.crtErrno);
        return 1;
    }
    return 0;
}
