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

TEST(LocalMemory, FixedBlocksAreGlobalBlocks)
{
    HLOCAL block = LocalAlloc(LPTR, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(LocalLock(block), block);
    EXPECT_EQ(LocalSize(block), 8u);
    EXPECT_EQ(GlobalSize(block), 8u);
    EXPECT_FALSE(LocalUnlock(block));
    EXPECT_EQ(GlobalFree(block), nullptr); // the engine frees a handed-over fixed block globally
    EXPECT_EQ(LocalFree(block), block);
}

TEST(LocalMemory, MoveableBlocksHaveHandlesApartFromTheirMemory)
{
    HLOCAL handle = LocalAlloc(LHND, 4);
    ASSERT_NE(handle, nullptr);
    auto* memory = static_cast<unsigned char*>(LocalLock(handle));
    ASSERT_NE(memory, nullptr);
    EXPECT_NE(static_cast<void*>(memory), handle);
    EXPECT_EQ(memory[3], 0);
    memory[0] = 9;
    EXPECT_EQ(LocalLock(handle), memory);
    EXPECT_TRUE(LocalUnlock(handle));  // still locked once
    EXPECT_FALSE(LocalUnlock(handle));
    EXPECT_EQ(GlobalFree(handle), handle); // not a global block
    EXPECT_EQ(LocalSize(handle), 4u);
    EXPECT_EQ(LocalReAlloc(handle, 64, LMEM_ZEROINIT), handle);
    auto* grown = static_cast<unsigned char*>(LocalLock(handle));
    EXPECT_EQ(grown[0], 9);
    EXPECT_EQ(grown[63], 0);
    EXPECT_EQ(LocalSize(handle), 64u);
    EXPECT_EQ(LocalFree(handle), nullptr);
    EXPECT_EQ(LocalLock(handle), nullptr);
    EXPECT_EQ(LocalFree(handle), handle);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}
