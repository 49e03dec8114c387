#include "archive_output.h"

#include <algorithm>
#include <cstring>

#include "platform/errors.h"

namespace zipengine {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

ArchiveOutput::ArchiveOutput(plat::HANDLE file, std::uint64_t position)
    : file_(file), position_(position)
{
    buffer_.reserve(kBufferSize);
}

ArchiveOutput::~ArchiveOutput()
{
    if (file_ != plat::INVALID_HANDLE_VALUE)
        plat::closeHandle(file_);
}

bool ArchiveOutput::flush()
{
    if (error_)
        return false;
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const auto chunk =
            static_cast<plat::DWORD>(std::min<std::size_t>(buffer_.size() - done, 1u << 30));
        plat::DWORD written = 0;
        if (!plat::writeFile(file_, buffer_.data() + done, chunk, &written) || written != chunk) {
            error_ = plat::getLastError();
            if (!error_)
                error_ = plat::ERROR_INVALID_DATA;
            return false;
        }
        done += chunk;
    }
    buffer_.clear();
    return true;
}

bool ArchiveOutput::write(const void *data, std::size_t len)
{
    if (error_)
        return false;
    const auto *p = static_cast<const std::uint8_t *>(data);
    while (len > 0) {
        if (buffer_.size() == kBufferSize && !flush())
            return false;
        const std::size_t n = std::min(len, kBufferSize - buffer_.size());
        buffer_.insert(buffer_.end(), p, p + n);
        p += n;
        len -= n;
        position_ += n;
    }
    return true;
}

bool ArchiveOutput::close()
{
    const bool ok = flush();
    if (file_ != plat::INVALID_HANDLE_VALUE)
        plat::closeHandle(file_);
    file_ = plat::INVALID_HANDLE_VALUE;
    return ok;
}

bool readAt(plat::HANDLE file, std::uint64_t offset, void *buf, std::size_t len)
{
    if (!plat::setFilePointerEx(file, static_cast<std::int64_t>(offset), nullptr, plat::FILE_BEGIN))
        return false;
    auto *p = static_cast<std::uint8_t *>(buf);
    while (len > 0) {
        const auto chunk = static_cast<plat::DWORD>(std::min<std::size_t>(len, 1u << 30));
        plat::DWORD got = 0;
        if (!plat::readFile(file, p, chunk, &got) || got == 0)
            return false;
        p += got;
        len -= got;
    }
    return true;
}

} // namespace zipengine
