#include "winapi/pixel_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

// Every size class: the heap blocks and the huge-page ones, at and around their edges. Each block
// is zero, starts on a line, and holds its last byte; so is the block asked for again after a
// written one of the same size was freed (the heap hands that one back).
TEST(PixelMemory, BlocksAreZeroLineAlignedAndWholeAtEverySize)
{
    const size_t sizes[] = {1,          63,         64,         4097,       (128 << 10) - 1, 128 << 10,
                            800 * 600 * 4, (4 << 20) - 1, 4 << 20, (4 << 20) + 1, 1920 * 1080 * 4,
                            3840 * 2160 * 4};
    for (size_t bytes : sizes) {
        for (int round = 0; round < 2; ++round) {
            auto* block = static_cast<unsigned char*>(winapi::AllocatePixelBytes(bytes));
            ASSERT_NE(nullptr, block) << bytes;
            EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(block) % winapi::kPixelAlignment) << bytes;
            size_t nonZero = 0;
            for (size_t i = 0; i < bytes; ++i)
                nonZero += block[i] != 0;
            EXPECT_EQ(0u, nonZero) << bytes << " round " << round;
            std::memset(block, 0xA5, bytes);
            EXPECT_EQ(0xA5, block[bytes - 1]) << bytes;
            winapi::FreePixelBytes(block, bytes);
        }
    }
}

TEST(PixelMemory, ImpossibleSizesAreRefusedAndNullIsFreed)
{
    EXPECT_EQ(nullptr, winapi::AllocatePixelBytes(0));
    EXPECT_EQ(nullptr, winapi::AllocatePixelBytes(SIZE_MAX));
    EXPECT_EQ(nullptr, winapi::AllocatePixelBytes(SIZE_MAX / 2 + 1));
    winapi::FreePixelBytes(nullptr, 4096);
}

} // namespace
