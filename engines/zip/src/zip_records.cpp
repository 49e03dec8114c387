#include "zip_records.h"

#include <algorithm>

namespace zipengine {

void put16(Bytes &b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes &b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void put64(Bytes &b, std::uint64_t v)
{
    put32(b, static_cast<std::uint32_t>(v));
    put32(b, static_cast<std::uint32_t>(v >> 32));
}

namespace {

constexpr std::uint64_t kMax32 = fmt::kZip64Marker32;

std::uint32_t field32(std::uint64_t v)
{
    return v >= kMax32 ? fmt::kZip64Marker32 : static_cast<std::uint32_t>(v);
}

void appendBytes(Bytes &out, const void *p, std::size_t n)
{
    const auto *b = static_cast<const std::uint8_t *>(p);
    out.insert(out.end(), b, b + n);
}

} // namespace

Bytes withoutZip64(std::span<const std::uint8_t> extra)
{
    Bytes out;
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const std::uint16_t id = fmt::get16(extra.data() + pos);
        const std::size_t len = fmt::get16(extra.data() + pos + 2);
        if (pos + 4 + len > extra.size())
            break; // a damaged tail is dropped rather than copied
        if (id != fmt::extra::kZip64)
            appendBytes(out, extra.data() + pos, 4 + len);
        pos += 4 + len;
    }
    return out;
}

void appendCentral(Bytes &out, const CentralRecord &r)
{
    Bytes z64;
    if (r.uncompressedSize >= kMax32)
        put64(z64, r.uncompressedSize);
    if (r.compressedSize >= kMax32)
        put64(z64, r.compressedSize);
    if (r.localHeaderOffset >= kMax32)
        put64(z64, r.localHeaderOffset);
    if (r.diskStart >= fmt::kZip64Marker16)
        put32(z64, r.diskStart);
    const std::size_t extraLen = r.extra.size() + (z64.empty() ? 0 : 4 + z64.size());
    const std::uint16_t needed =
        z64.empty() ? r.versionNeeded : std::max<std::uint16_t>(r.versionNeeded, 45);

    put32(out, fmt::kCentralHeaderSig);
    put16(out, r.versionMadeBy);
    put16(out, needed);
    put16(out, r.flags);
    put16(out, r.method);
    put16(out, r.modTime);
    put16(out, r.modDate);
    put32(out, r.crc32);
    put32(out, field32(r.compressedSize));
    put32(out, field32(r.uncompressedSize));
    put16(out, static_cast<std::uint32_t>(r.name.size()));
    put16(out, static_cast<std::uint32_t>(extraLen));
    put16(out, static_cast<std::uint32_t>(r.comment.size()));
    put16(out, r.diskStart >= fmt::kZip64Marker16 ? fmt::kZip64Marker16 : r.diskStart);
    put16(out, r.internalAttributes);
    put32(out, r.externalAttributes);
    put32(out, field32(r.localHeaderOffset));
    appendBytes(out, r.name.data(), r.name.size());
    if (!z64.empty()) {
        put16(out, fmt::extra::kZip64);
        put16(out, static_cast<std::uint32_t>(z64.size()));
        appendBytes(out, z64.data(), z64.size());
    }
    appendBytes(out, r.extra.data(), r.extra.size());
    appendBytes(out, r.comment.data(), r.comment.size());
}

void appendLocal(Bytes &out, const LocalRecord &r)
{
    const std::size_t otherExtra = r.extra ? r.extra->size() : 0;
    const std::size_t extraLen = otherExtra + (r.zip64 ? 20 : 0);
    put32(out, fmt::kLocalHeaderSig);
    put16(out, r.zip64 ? std::max<std::uint16_t>(r.versionNeeded, 45) : r.versionNeeded);
    put16(out, r.flags);
    put16(out, r.method);
    put16(out, r.modTime);
    put16(out, r.modDate);
    put32(out, r.crc32);
    put32(out, r.zip64 ? fmt::kZip64Marker32 : static_cast<std::uint32_t>(r.compressedSize));
    put32(out, r.zip64 ? fmt::kZip64Marker32 : static_cast<std::uint32_t>(r.uncompressedSize));
    put16(out, static_cast<std::uint32_t>(r.name->size()));
    put16(out, static_cast<std::uint32_t>(extraLen));
    appendBytes(out, r.name->data(), r.name->size());
    if (r.zip64) {
        put16(out, fmt::extra::kZip64);
        put16(out, 16);
        put64(out, r.uncompressedSize);
        put64(out, r.compressedSize);
    }
    if (otherExtra)
        appendBytes(out, r.extra->data(), otherExtra);
}

void appendDataDescriptor(Bytes &out, std::uint32_t crc, std::uint64_t csize, std::uint64_t usize,
                          bool zip64)
{
    put32(out, fmt::kDataDescriptorSig);
    put32(out, crc);
    if (zip64) {
        put64(out, csize);
        put64(out, usize);
    } else {
        put32(out, static_cast<std::uint32_t>(csize));
        put32(out, static_cast<std::uint32_t>(usize));
    }
}

void appendEnd(Bytes &out, const EndRecord &r)
{
    const bool zip64 = r.entriesOnDisk >= fmt::kZip64Marker16 ||
                       r.totalEntries >= fmt::kZip64Marker16 || r.directorySize >= kMax32 ||
                       r.directoryOffset >= kMax32 || r.thisDisk >= fmt::kZip64Marker16 ||
                       r.directoryDisk >= fmt::kZip64Marker16;
    if (zip64) {
        put32(out, fmt::kZip64EndRecordSig);
        put64(out, fmt::end64::kSize - 12);
        put16(out, kVersionMadeBy);
        put16(out, 45);
        put32(out, r.thisDisk);
        put32(out, r.directoryDisk);
        put64(out, r.entriesOnDisk);
        put64(out, r.totalEntries);
        put64(out, r.directorySize);
        put64(out, r.directoryOffset);
        put32(out, fmt::kZip64LocatorSig);
        put32(out, r.thisDisk);
        put64(out, r.endOffset);
        put32(out, r.thisDisk + 1);
    }
    auto f16 = [](std::uint64_t v) {
        return v >= fmt::kZip64Marker16 ? fmt::kZip64Marker16 : static_cast<std::uint32_t>(v);
    };
    put32(out, fmt::kEndRecordSig);
    put16(out, f16(r.thisDisk));
    put16(out, f16(r.directoryDisk));
    put16(out, f16(r.entriesOnDisk));
    put16(out, f16(r.totalEntries));
    put32(out, field32(r.directorySize));
    put32(out, field32(r.directoryOffset));
    const std::size_t commentLen = r.comment ? r.comment->size() : 0;
    put16(out, static_cast<std::uint32_t>(commentLen));
    if (commentLen)
        appendBytes(out, r.comment->data(), commentLen);
}

Bytes timestampExtra(std::int64_t unixSeconds)
{
    Bytes b;
    if (unixSeconds < 0 || unixSeconds > 0x7FFFFFFF)
        return b;
    put16(b, fmt::extra::kExtendedTimestamp);
    put16(b, 5);
    b.push_back(0x01); // modification time present
    put32(b, static_cast<std::uint32_t>(unixSeconds));
    return b;
}

} // namespace zipengine
