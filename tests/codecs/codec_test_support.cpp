#include "codec_test_support.h"

#include "codecs/decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace codectest {

long MemorySource::read(std::uint8_t *buf, std::size_t len)
{
    ++reads_;
    if (pos_ >= failAt_)
        return -1;
    std::size_t n = std::min({len, step_, data_.size() - pos_});
    if (failAt_ != SIZE_MAX)
        n = std::min(n, failAt_ - pos_);
    if (n != 0)
        std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
}

bool VectorSink::write(const std::uint8_t *d, std::size_t len)
{
    if (data.size() + len > stopAfter_)
        return false;
    data.insert(data.end(), d, d + len);
    return true;
}

Bytes readFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    EXPECT_TRUE(f.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::uint32_t crcOf(const Bytes &data)
{
    return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

namespace {
std::uint32_t le(const Bytes &b, std::size_t at, int n)
{
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    return v;
}
} // namespace

std::vector<ZipEntry> readZip(const std::string &path)
{
    std::vector<ZipEntry> entries;
    Bytes zip = readFile(path);
    if (zip.size() < 22) {
        ADD_FAILURE() << path << " is too small for a ZIP file";
        return entries;
    }
    std::size_t eocd = zip.size() - 22;
    while (eocd > 0 && le(zip, eocd, 4) != 0x06054b50)
        --eocd;
    if (le(zip, eocd, 4) != 0x06054b50) {
        ADD_FAILURE() << path << " has no end of central directory";
        return entries;
    }
    std::size_t count = le(zip, eocd + 10, 2);
    std::size_t at = le(zip, eocd + 16, 4);
    for (std::size_t i = 0; i < count; ++i) {
        if (le(zip, at, 4) != 0x02014b50) {
            ADD_FAILURE() << path << ": bad central header " << i;
            break;
        }
        ZipEntry e;
        e.flags = static_cast<std::uint16_t>(le(zip, at + 8, 2));
        e.method = static_cast<std::uint16_t>(le(zip, at + 10, 2));
        e.crc = le(zip, at + 16, 4);
        std::size_t csize = le(zip, at + 20, 4);
        e.uncompressedSize = le(zip, at + 24, 4);
        std::size_t nameLen = le(zip, at + 28, 2);
        std::size_t extraLen = le(zip, at + 30, 2);
        std::size_t commentLen = le(zip, at + 32, 2);
        std::size_t local = le(zip, at + 42, 4);
        e.name.assign(zip.begin() + static_cast<long>(at + 46),
                      zip.begin() + static_cast<long>(at + 46 + nameLen));
        std::size_t data = local + 30 + le(zip, local + 26, 2) + le(zip, local + 28, 2);
        e.compressed.assign(zip.begin() + static_cast<long>(data),
                            zip.begin() + static_cast<long>(data + csize));
        entries.push_back(std::move(e));
        at += 46 + nameLen + extraLen + commentLen;
    }
    return entries;
}

codecs::Result decode(const ZipEntry &e, const Bytes &compressed, Bytes &out, std::size_t step)
{
    MemorySource src(compressed, step);
    VectorSink sink;
    codecs::Result r = codecs::decodeEntry(e.method, e.flags, src, e.uncompressedSize, sink);
    out = std::move(sink.data);
    return r;
}

} // namespace codectest
