#include "removable_cabinet_io.h"

#include "brxutil.h"
#include "cabinet_io.h"
#include "platform/file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace {

std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

cab::Io RemovableCabinetFiles::io()
{
    m_platform = platformCabinetIo();
    cab::Io io = m_platform;
    io.context = this;
    io.open = open;
    io.read = read;
    io.write = write;
    io.close = close;
    io.seek = seek;
    return io;
}

bool RemovableCabinetFiles::holds(const std::string &path) const
{
    return m_parts.count(upper(path)) != 0;
}

const std::vector<unsigned char> *RemovableCabinetFiles::load(const std::string &path)
{
    const std::string key = upper(path);
    if (auto found = m_parts.find(key); found != m_parts.end())
        return found->second.get();
    if (!CheckIfRemovable(path.c_str()))
        return nullptr;
    plat::HANDLE h = plat::createFile(path.c_str(), plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                      plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
    if (h == plat::INVALID_HANDLE_VALUE)
        return nullptr;
    std::uint64_t size = 0;
    auto bytes = std::make_unique<std::vector<unsigned char>>();
    bool ok = plat::getFileSizeEx(h, &size) && size <= kLargestKept;
    if (ok) {
        bytes->resize(static_cast<std::size_t>(size));
        plat::DWORD got = 0;
        ok = size == 0 || (plat::readFile(h, bytes->data(), static_cast<plat::DWORD>(size), &got) &&
                           got == size);
    }
    plat::closeHandle(h);
    if (!ok)
        return nullptr;
    return (m_parts[key] = std::move(bytes)).get();
}

RemovableCabinetFiles::OpenCopy *RemovableCabinetFiles::copyOf(cab::FileHandle file)
{
    auto found = m_open.find(file);
    return found == m_open.end() ? nullptr : found->second.get();
}

cab::FileHandle RemovableCabinetFiles::open(void *context, const char *path)
{
    auto *self = static_cast<RemovableCabinetFiles *>(context);
    if (const std::vector<unsigned char> *bytes = path ? self->load(path) : nullptr) {
        auto copy = std::make_unique<OpenCopy>();
        copy->bytes = bytes;
        // The copy's own address names it: no platform handle can be equal
        // to a live object of ours.
        const auto handle =
            static_cast<cab::FileHandle>(reinterpret_cast<std::intptr_t>(copy.get()));
        self->m_open[handle] = std::move(copy);
        return handle;
    }
    return self->m_platform.open(self->m_platform.context, path);
}

std::int32_t RemovableCabinetFiles::read(void *context, cab::FileHandle file, void *buffer,
                                         std::uint32_t size)
{
    auto *self = static_cast<RemovableCabinetFiles *>(context);
    OpenCopy *copy = self->copyOf(file);
    if (!copy)
        return self->m_platform.read(self->m_platform.context, file, buffer, size);
    const std::size_t left = copy->bytes->size() - std::min(copy->position, copy->bytes->size());
    const std::size_t n = std::min<std::size_t>(
        {left, size, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())});
    if (n)
        std::memcpy(buffer, copy->bytes->data() + copy->position, n);
    copy->position += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t RemovableCabinetFiles::write(void *context, cab::FileHandle file, const void *buffer,
                                          std::uint32_t size)
{
    auto *self = static_cast<RemovableCabinetFiles *>(context);
    if (self->copyOf(file))
        return -1; // parts are only read
    return self->m_platform.write(self->m_platform.context, file, buffer, size);
}

int RemovableCabinetFiles::close(void *context, cab::FileHandle file)
{
    auto *self = static_cast<RemovableCabinetFiles *>(context);
    if (self->m_open.erase(file))
        return 0;
    return self->m_platform.close(self->m_platform.context, file);
}

std::int64_t RemovableCabinetFiles::seek(void *context, cab::FileHandle file, std::int64_t offset,
                                         int origin)
{
    auto *self = static_cast<RemovableCabinetFiles *>(context);
    OpenCopy *copy = self->copyOf(file);
    if (!copy)
        return self->m_platform.seek(self->m_platform.context, file, offset, origin);
    std::int64_t base = 0;
    switch (origin) {
    case cab::kSeekSet: base = 0; break;
    case cab::kSeekCur: base = static_cast<std::int64_t>(copy->position); break;
    case cab::kSeekEnd: base = static_cast<std::int64_t>(copy->bytes->size()); break;
    default: return -1;
    }
    if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) ||
        base + offset < 0)
        return -1;
    copy->position = static_cast<std::size_t>(base + offset);
    return base + offset;
}
