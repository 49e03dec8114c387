#include "platform/virtualmem.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>

using namespace plat;

// The hint must never change what the buffer holds: callers fill records in
// place and some fields are left as they were.
TEST(VirtualMemory, PrefetchKeepsContentsOfUnalignedBuffers)
{
    constexpr std::size_t kBytes = (std::size_t{5} << 21) + 12345; // spans large-page bounds
    std::unique_ptr<std::uint8_t[]> owner(new std::uint8_t[kBytes + 7]);
    std::uint8_t *buffer = owner.get() + 7;
    for (std::size_t i = 0; i < kBytes; ++i)
        buffer[i] = static_cast<std::uint8_t>(i * 31 + 5);
    EXPECT_EQ(prefetchVirtualMemory(buffer, kBytes), TRUE);
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < kBytes; ++i)
        mismatches += buffer[i] != static_cast<std::uint8_t>(i * 31 + 5);
    EXPECT_EQ(mismatches, 0u);
}

TEST(VirtualMemory, PrefetchRefusesEmptyRequests)
{
    std::uint8_t byte = 1;
    EXPECT_EQ(prefetchVirtualMemory(nullptr, 100), FALSE);
    EXPECT_EQ(prefetchVirtualMemory(&byte, 0), FALSE);
    EXPECT_EQ(byte, 1);
}
