#include "unzip_fuzz_input.h"

#include "central_directory.h"
#include "entry_reader.h"
#include "entry_record.h"
#include "names.h"

namespace {

// Bounds the work per input: a tiny input can declare huge entries.
class CappedSink final : public codecs::Sink {
public:
    bool write(const std::uint8_t *, std::size_t len) override
    {
        total_ += len;
        return total_ < (8u << 20);
    }

private:
    std::size_t total_ = 0;
};

} // namespace

int runUnzipFuzzInput(const std::uint8_t *data, std::size_t size)
{
    unzip::MemoryArchiveFile file(data, size);
    unzip::ArchiveDirectory dir;
    if (unzip::readArchiveDirectory(file, dir) != unzip::Error::Ok)
        return 0;
    const std::size_t n = std::min<std::size_t>(dir.entries.size(), 64);
    for (std::size_t i = 0; i < n; ++i) {
        unzip::EntryInfo info;
        unzip::fillEntryInfo(dir, i, info);
        unzip::safeRelativePath(info.path);
        CappedSink sink;
        unzip::readEntry(file, dir, i, sink, std::string_view("secret"));
    }
    return 0;
}
