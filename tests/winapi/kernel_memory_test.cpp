#include "winapi/kernel_memory.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GlobalMemory, FixedBlocksWithSizes)
{
    HGLOBAL block = GlobalAlloc(GPTR, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalLock(block), block);
    EXPECT_EQ(GlobalSize(block), 16u);
    auto* bytes = static_cast<unsigned char*>(block);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bytes[i], 0);
    std::memset(block, 7, 16);
    EXPECT_FALSE(GlobalUnlock(block));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    HGLOBAL grown = GlobalReAlloc(block, 32, GMEM_ZEROINIT);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(GlobalSize(grown), 32u);
    EXPECT_EQ(static_cast<unsigned char*>(grown)[15], 7);
    EXPECT_EQ(static_cast<unsigned char*>(grown)[16], 0);
    EXPECT_EQ(GlobalFree(grown), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(GlobalMemory, StrayHandlesAreRefused)
{
    int local = 0;
    EXPECT_EQ(GlobalFree(&local), &local);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalSize(&local), 0u);
    EXPECT_EQ(GlobalLock(&local), nullptr);
    HGLOBAL empty = GlobalAlloc(GMEM_FIXED, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    GlobalFree(empty);
    EXPECT_EQ(GlobalFree(empty), empty); // a second free is refused, not a double free
}
