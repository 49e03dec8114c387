#include "posix_io.h"

#include "cabinet/posix_io.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

namespace cabtest {
namespace {

Io &io(void *ctx)
{
    return *static_cast<Io *>(ctx);
}

int placed(cab::CCAB *ccab, const char *file, long, bool continuation, void *ctx)
{
    io(ctx).placed.push_back(std::string(ccab->szCab) + ":" + file + (continuation ? "+" : ""));
    return 0;
}

// Counts writes so a test can make a given one fail; the rest is the
// shared host file code.
std::uint32_t writeFile(std::intptr_t hf, const void *buf, std::uint32_t cb, int *err, void *ctx)
{
    Io &s = io(ctx);
    if (++s.writes == s.failWriteAt) {
        *err = ENOSPC;
        return 0xFFFFFFFFu;
    }
    return cab::posix::writeFile(hf, buf, cb, err, ctx);
}

bool tempName(char *name, int cbName, void *ctx)
{
    Io &s = io(ctx);
    if (++s.tempNames == s.failTempNameAt)
        return false;
    const int n = std::snprintf(name, static_cast<std::size_t>(cbName), "%s/xx%d",
                                s.tempDir.c_str(), s.tempNames);
    return n > 0 && n < cbName;
}

bool nextCabinet(cab::CCAB *ccab, std::uint32_t, void *ctx)
{
    Io &s = io(ctx);
    s.nextICab.push_back(ccab->iCab);
    s.nextIDisk.push_back(ccab->iDisk);
    std::snprintf(ccab->szCab, sizeof ccab->szCab, "%s%d.cab", s.setPrefix.c_str(), ccab->iCab);
    if (s.diskLabels)
        std::snprintf(ccab->szDisk, sizeof ccab->szDisk, "Disk%d", ccab->iDisk);
    else
        ccab->szDisk[0] = '\0';
    s.cabinets.push_back(ccab->szCab);
    return true;
}

std::intptr_t openInfo(const char *name, std::uint16_t *date, std::uint16_t *time,
                       std::uint16_t *attribs, int *err, void *)
{
    const int fd = ::open(name, O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    *date = static_cast<std::uint16_t>(((2024 - 1980) << 9) | (5 << 5) | 17);
    *time = static_cast<std::uint16_t>((13 << 11) | (45 << 5) | 10);
    *attribs = 0x20;
    return fd;
}

long status(unsigned, std::uint32_t, std::uint32_t, void *ctx)
{
    return io(ctx).abortOnStatus ? -1 : 0;
}

} // namespace

cab::Callbacks posixCallbacks()
{
    cab::Callbacks cb = cab::posix::fileCallbacks();
    cb.filePlaced = placed;
    cb.write = writeFile;
    cb.getTempFile = tempName;
    cb.getNextCabinet = nextCabinet;
    cb.getOpenInfo = openInfo;
    cb.status = status;
    return cb;
}

cab::CCAB makeCcab(const std::string &dir, const std::string &name, unsigned maxSize)
{
    cab::CCAB c{};
    c.cb = maxSize;
    c.cbFolderThresh = 0x7FFFFFFF;
    c.iCab = 1;
    c.iDisk = 1;
    c.setID = 12345;
    std::snprintf(c.szCab, sizeof c.szCab, "%s", name.c_str());
    std::snprintf(c.szCabPath, sizeof c.szCabPath, "%s", dir.c_str());
    std::snprintf(c.szDisk, sizeof c.szDisk, "Disk1");
    return c;
}

} // namespace cabtest
