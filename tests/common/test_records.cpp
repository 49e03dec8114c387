#include "common/records.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

// Catalogue arrays are contiguous 2150-byte records: entry i starts at 2150 * i
// and a copy keeps every byte, including the fields no one reads.
TEST(ZipInfoEx, ArrayIsContiguousAndCopiesKeepAllBytes)
{
    constexpr int n = 3;
    auto entries = std::make_unique<ZIPINFOEX[]>(n);
    auto *bytes = reinterpret_cast<unsigned char *>(entries.get());
    for (int i = 0; i < n * 2150; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(&entries[2]) - bytes, 2 * 2150);

    ZIPINFOEX copy;
    std::memcpy(&copy, &entries[1], sizeof copy);
    EXPECT_EQ(std::memcmp(&copy, bytes + 2150, 2150), 0);
    // Packed fields are read by value: a reference to them may be misaligned.
    EXPECT_EQ(std::uint32_t{copy.reserved0}, std::uint32_t{entries[1].reserved0});
    EXPECT_EQ(std::uint16_t{copy.reserved34}, std::uint16_t{entries[1].reserved34});
}

TEST(ZipInfoEx, SizesSplitIntoLowAndHighHalves)
{
    ZIPINFOEX e{};
    e.uncompressedSize = 0x0000000500000007ull;
    const auto *bytes = reinterpret_cast<const unsigned char *>(&e);
    EXPECT_EQ(bytes[8], 7);
    EXPECT_EQ(bytes[12], 5);
}

TEST(CommandBlocks, InitialValues)
{
    UnzipCommand u;
    std::memset(&u, 0xAB, sizeof u);
    initUnzipCommand(u);
    EXPECT_EQ(u.size, 202u);
    EXPECT_EQ(u.function, 9);
    EXPECT_EQ(u.entryIndex, -1);
    EXPECT_EQ(u.dropFolders, 1);
    EXPECT_EQ(u.reserved52, 1);
    EXPECT_EQ(u.reserved56, 1);
    EXPECT_EQ(u.archivePath, nullptr);
    EXPECT_EQ(u.nameFlags, 0);

    ZipCommand z;
    std::memset(&z, 0xAB, sizeof z);
    initZipCommand(z);
    EXPECT_EQ(z.size, 252u);
    EXPECT_EQ(z.function, 6);
    EXPECT_EQ(z.factor, 5);
    EXPECT_EQ(z.multiVolume, 0);
    EXPECT_EQ(z.password, nullptr);
}
