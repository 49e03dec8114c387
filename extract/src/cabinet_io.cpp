#include "cabinet_io.h"

#include "platform/file.h"

#include <cstdlib>
#include <limits>

namespace {

void *ioAlloc(void *, std::size_t size)
{
    return std::malloc(size ? size : 1);
}

void ioFree(void *, void *block)
{
    std::free(block);
}

cab::FileHandle ioOpen(void *, const char *path)
{
    plat::HANDLE h = plat::createFile(path, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                      plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    return h == plat::INVALID_HANDLE_VALUE ? cab::kInvalidHandle : toCabinetHandle(h);
}

std::int32_t ioRead(void *, cab::FileHandle file, void *buffer, std::uint32_t size)
{
    // The result must fit the signed count the reader expects.
    if (size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        size = std::numeric_limits<std::int32_t>::max();
    if (size == 0)
        return 0;
    plat::DWORD done = 0;
    if (!plat::readFile(toPlatformHandle(file), buffer, size, &done))
        return -1;
    return static_cast<std::int32_t>(done);
}

std::int32_t ioWrite(void *, cab::FileHandle file, const void *buffer, std::uint32_t size)
{
    if (size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return -1;
    if (size == 0 || file == kDiscardHandle)
        return static_cast<std::int32_t>(size);
    plat::DWORD done = 0;
    if (!plat::writeFile(toPlatformHandle(file), buffer, size, &done))
        return -1;
    return static_cast<std::int32_t>(done);
}

int ioClose(void *, cab::FileHandle file)
{
    if (file == kDiscardHandle)
        return 0;
    return plat::closeHandle(toPlatformHandle(file)) ? 0 : -1;
}

std::int64_t ioSeek(void *, cab::FileHandle file, std::int64_t offset, int origin)
{
    plat::DWORD method;
    switch (origin) {
    case cab::kSeekSet: method = plat::FILE_BEGIN; break;
    case cab::kSeekCur: method = plat::FILE_CURRENT; break;
    case cab::kSeekEnd: method = plat::FILE_END; break;
    default: return -1;
    }
    std::int64_t position = 0;
    if (!plat::setFilePointerEx(toPlatformHandle(file), offset, &position, method))
        return -1;
    return position;
}

} // namespace

cab::Io platformCabinetIo()
{
    cab::Io io;
    io.context = nullptr;
    io.alloc = ioAlloc;
    io.free = ioFree;
    io.open = ioOpen;
    io.read = ioRead;
    io.write = ioWrite;
    io.close = ioClose;
    io.seek = ioSeek;
    return io;
}

cab::FileHandle toCabinetHandle(plat::HANDLE handle)
{
    return static_cast<cab::FileHandle>(reinterpret_cast<std::intptr_t>(handle));
}

plat::HANDLE toPlatformHandle(cab::FileHandle handle)
{
    return reinterpret_cast<plat::HANDLE>(static_cast<std::intptr_t>(handle));
}
