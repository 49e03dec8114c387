#include "platform/errors.h"
#include "platform/globalmem.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace plat;

TEST(GlobalMemory, LockCountsAndZeroInit)
{
    HGLOBAL block = globalAlloc(GHND, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(globalSize(block), 16u);
    auto *bytes = static_cast<unsigned char *>(globalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[15], 0);
    std::memcpy(bytes, "comment", 8);
    EXPECT_EQ(globalLock(block), bytes);
    EXPECT_EQ(globalUnlock(block), TRUE);
    EXPECT_EQ(globalUnlock(block), FALSE);

    setLastError(0);
    EXPECT_EQ(globalUnlock(block), FALSE);
    EXPECT_EQ(getLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(globalFree(block), nullptr);
}

TEST(GlobalMemory, NullHandles)
{
    setLastError(0);
    EXPECT_EQ(globalLock(nullptr), nullptr);
    EXPECT_EQ(getLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(globalSize(nullptr), 0u);
    EXPECT_EQ(globalFree(nullptr), nullptr);
}
