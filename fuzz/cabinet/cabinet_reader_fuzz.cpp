// Feeds arbitrary bytes to the cabinet reader as an in-memory cabinet: the
// header test, then a walk that extracts every file to a sink that discards it.
// Any further part of a set is "missing", so set handling ends in a clean error.

#include "cabinet/reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Memory {
    const std::uint8_t *data;
    std::size_t size;
    std::int64_t pos[8] = {}; // per open handle (1..7)
    bool open[8] = {};
};

constexpr cab::FileHandle kSink = 100;

void *memAlloc(void *, std::size_t size)
{
    return std::malloc(size);
}
void memFree(void *, void *block)
{
    std::free(block);
}

cab::FileHandle memOpen(void *ctx, const char *path)
{
    auto *m = static_cast<Memory *>(ctx);
    if (std::strcmp(path, "in.cab") != 0)
        return cab::kInvalidHandle;
    for (int h = 1; h < 8; ++h)
        if (!m->open[h]) {
            m->open[h] = true;
            m->pos[h] = 0;
            return h;
        }
    return cab::kInvalidHandle;
}

bool valid(Memory *m, cab::FileHandle h)
{
    return h >= 1 && h < 8 && m->open[h];
}

std::int32_t memRead(void *ctx, cab::FileHandle h, void *buffer, std::uint32_t size)
{
    auto *m = static_cast<Memory *>(ctx);
    if (!valid(m, h))
        return -1;
    std::int64_t left = static_cast<std::int64_t>(m->size) - m->pos[h];
    if (left <= 0)
        return 0;
    std::uint32_t n = left < size ? static_cast<std::uint32_t>(left) : size;
    std::memcpy(buffer, m->data + m->pos[h], n);
    m->pos[h] += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t memWrite(void *, cab::FileHandle h, const void *, std::uint32_t size)
{
    return h == kSink ? static_cast<std::int32_t>(size) : -1;
}

int memClose(void *ctx, cab::FileHandle h)
{
    auto *m = static_cast<Memory *>(ctx);
    if (h == kSink)
        return 0;
    if (!valid(m, h))
        return -1;
    m->open[h] = false;
    return 0;
}

std::int64_t memSeek(void *ctx, cab::FileHandle h, std::int64_t offset, int origin)
{
    auto *m = static_cast<Memory *>(ctx);
    if (!valid(m, h))
        return -1;
    std::int64_t base = origin == cab::kSeekSet   ? 0
                        : origin == cab::kSeekCur ? m->pos[h]
                                                  : static_cast<std::int64_t>(m->size);
    if (offset > INT64_MAX / 2 || offset < -INT64_MAX / 2 || base + offset < 0)
        return -1;
    m->pos[h] = base + offset;
    return m->pos[h];
}

cab::FileHandle notify(cab::Notify type, cab::Notification &)
{
    switch (type) {
    case cab::Notify::CopyFile: return kSink;
    case cab::Notify::CloseFileInfo: return 1;
    default: return 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Memory m{data, size};
    cab::Io io;
    io.context = &m;
    io.alloc = memAlloc;
    io.free = memFree;
    io.open = memOpen;
    io.read = memRead;
    io.write = memWrite;
    io.close = memClose;
    io.seek = memSeek;
    cab::ErrorRecord err;
    cab::Reader *reader = cab::create(io, &err);
    if (!reader)
        return 0;
    cab::FileHandle h = memOpen(&m, "in.cab");
    cab::CabinetInfo info;
    bool isCab = cab::isCabinet(reader, h, &info);
    memClose(&m, h);
    if (isCab)
        cab::copy(reader, "in.cab", "", notify, nullptr);
    cab::destroy(reader);
    for (int i = 1; i < 8; ++i)
        if (m.open[i])
            std::abort(); // the reader leaked a handle
    return 0;
}
