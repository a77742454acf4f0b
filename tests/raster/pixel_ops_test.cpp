// The 8-bit kernels, the locked-memory routines (invert, mosaic, alpha plane into textures), the
// byte-plane reduction and the noise table.
#include "platform/random.h"
#include "raster/kernels8.h"
#include "raster/pixel_ops.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace raster_test;

TEST(Kernels8, CopiesForwardMirroredAndKeyed)
{
    GuardedPlane src(5, 2, 1), dst(5, 2, 1);
    const BYTE row0[5] = {1, 2, 3, 4, 5}, row1[5] = {6, 7, 8, 7, 9};
    std::memcpy(src.Row(0), row0, 5);
    std::memcpy(src.Row(1), row1, 5);
    CopyRows(dst.Row(0), src.Row(0), dst.pitch - 5, src.pitch - 5, 1, 5, 2);
    EXPECT_EQ(0, std::memcmp(dst.Row(1), row1, 5));
    CopyRows(dst.Row(0), src.Row(0) + 4, dst.pitch - 5, src.pitch + 5, -1, 5, 2);
    EXPECT_EQ((std::vector<BYTE>{9, 7, 8, 7, 6}), std::vector<BYTE>(dst.Row(1), dst.Row(1) + 5));
    std::memset(dst.Row(1), 0, 5);
    CopyRowsKeyed8(dst.Row(1), src.Row(1), 0, 0, 1, 5, 1, 7);
    EXPECT_EQ((std::vector<BYTE>{6, 0, 8, 0, 9}), std::vector<BYTE>(dst.Row(1), dst.Row(1) + 5));
    EXPECT_TRUE(src.buffer.GuardsIntact() && dst.buffer.GuardsIntact());
}

TEST(Kernels8, SmoothPlaneRules)
{
    BYTE p[16];
    for (int i = 0; i < 16; ++i) {
        p[i] = static_cast<BYTE>(i * 16);
    }
    BYTE q[16];
    std::memcpy(q, p, 16);
    ASSERT_EQ(0, SmoothPlane8(q, 0, 4, 4, 4));
    auto at = [&](int x, int y) { return static_cast<int>(p[y * 4 + x]); };
    EXPECT_EQ((at(0, 1) + 2 * at(0, 0) + at(1, 0)) >> 2, q[0]);                   // top-left corner
    EXPECT_EQ((at(0, 0) + at(1, 0) + at(2, 0) + at(1, 1)) >> 2, q[1]);            // top edge
    EXPECT_EQ((at(0, 1) + at(0, 0) + at(0, 2) + at(1, 1)) >> 2, q[4]);           // left column
    EXPECT_EQ((at(1, 0) + 2 * (at(0, 1) + at(1, 1) + at(2, 1)) + at(1, 2)) >> 3, q[5]);  // inner
    EXPECT_EQ((at(3, 2) + 2 * at(3, 3) + at(2, 3)) >> 2, q[15]);                  // bottom-right corner
    BYTE narrow[30] = {};
    EXPECT_EQ(1, SmoothPlane8(narrow, 0, 3, 3, 10));
}

TEST(Kernels8, BilinearMidpoints)
{
    // A 2 x 2 source sampled at its centre: the average of the four (with the kernel's rounding).
    BYTE src[2 * 3] = {0, 100, 0, 100, 200, 0};
    BYTE out = 0;
    const StretchSteps steps{0x80000000u, 0x80000000u, uint64_t{1} << 32, uint64_t{1} << 32};
    BilinearScaleRows8(&out, src, 0, 3, 1, 1, steps);
    const int top = 0 + ((100 * 128) >> 8), bottom = 100 + ((100 * 128) >> 8);
    EXPECT_EQ(top + (((bottom - top) * 128) >> 8), out);
}

TEST(Mosaic, BlocksByAnchor)
{
    struct Case {
        BYTE anchor;
        std::vector<int> starts;  // first column of each block
    } cases[] = {{1, {0, 4, 8}}, {2, {0, 2, 6}}, {3, {0, 4, 8}}, {4, {0, 2, 6}}, {0, {0, 3, 7}}};
    for (const Case& c : cases) {
        GuardedPlane plane(10, 3, 1);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 10; ++x) {
                *plane.At(x, y) = static_cast<BYTE>(y * 10 + x);
            }
        }
        MosaicPlane8(plane.Row(0), plane.pitch - 10, plane.pitch, 10, 3, 4, c.anchor);
        std::vector<int> starts;
        for (int x = 0; x < 10; ++x) {
            if (*plane.At(x, 0) == x) {
                starts.push_back(x);
            }
        }
        EXPECT_EQ(c.starts, starts) << int(c.anchor);
        EXPECT_TRUE(plane.buffer.GuardsIntact());
    }
    GuardedPlane two(2, 5, 4);
    std::vector<BYTE> before(two.buffer.data(), two.buffer.data() + two.buffer.size());
    const RECT bounds{0, 0, 2, 5};
    EXPECT_EQ(0, MosaicPixels(kPixelA8R8G8B8, two.buffer.data(), two.pitch, &bounds, nullptr, 4, 1));
    EXPECT_EQ(before, std::vector<BYTE>(two.buffer.data(), two.buffer.data() + two.buffer.size()));
    const RECT square{0, 0, 2, 3};
    EXPECT_EQ(0, MosaicPixels(12, two.buffer.data(), two.pitch, &square, nullptr, 4, 1));  // too narrow first
    GuardedPlane three(3, 3, 4);
    const RECT bounds3{0, 0, 3, 3};
    EXPECT_EQ(2, MosaicPixels(12, three.buffer.data(), three.pitch, &bounds3, nullptr, 2, 1));
}

TEST(InvertPixels, FormatsAndModes)
{
    struct Case {
        uint32_t format;
        uint8_t mode;
        int result;
        uint32_t before, after;
    } cases[] = {
        {kPixelA1R5G5B5, 2, 0, 0x1234, 0x9234},
        {kPixelA1R5G5B5, 1, 0, 0x1234, 0xEDCB},
        {kPixelA1R5G5B5, 0, 0, 0x1234, 0x6DCB},
        {kPixelA4R4G4B4, 2, 0, 0x1234, 0xE234},
        {kPixelA4R4G4B4, 0, 0, 0x1234, 0x1DCB},
        {kPixelR5G6B5, 0, 0, 0x1234, 0xEDCB},
        {kPixelX1R5G5B5, 0, 0, 0x1234, 0x6DCB},
        {kPixelX8R8G8B8, 1, 1, 0x11223344, 0x11223344},
        {kPixelX8R8G8B8, 0, 0, 0x11223344, 0x11DDCCBB},
        {kPixelA8R8G8B8, 1, 0, 0x11223344, 0xEEDDCCBB},
        {kPixelA8R8G8B8, 2, 0, 0x11223344, 0xEE223344},
        {kPixelR8G8B8, 0, 0, 0x00223344, 0x00DDCCBB},
        {kPixelA8R8G8B8 * 2, 0, 2, 0x11223344, 0x11223344},
    };
    for (const Case& c : cases) {
        const int bytes = c.format == kPixelR8G8B8 ? 3 : PixelFormatBytes(c.format) ? PixelFormatBytes(c.format) : 4;
        GuardedPlane plane(3, 2, bytes);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                std::memcpy(plane.At(x, y), &c.before, static_cast<size_t>(bytes));
            }
        }
        const RECT bounds{0, 0, 3, 2};
        RECT clip{1, 0, 9, 9};
        ASSERT_EQ(c.result, InvertPixels(c.mode, c.format, plane.buffer.data(), plane.pitch, &bounds, &clip)) << c.format;
        uint32_t left = 0, right = 0;
        std::memcpy(&left, plane.At(0, 1), static_cast<size_t>(bytes));
        std::memcpy(&right, plane.At(2, 1), static_cast<size_t>(bytes));
        EXPECT_EQ(c.before, left) << c.format;  // outside the clip
        EXPECT_EQ(c.after, right) << c.format << " mode " << int(c.mode);
        EXPECT_TRUE(plane.buffer.GuardsIntact());
    }
    GuardedPlane plane(3, 2, 4);
    const RECT bounds{0, 0, 3, 2};
    RECT away{5, 5, 9, 9};
    EXPECT_EQ(-1, InvertPixels(0, kPixelA8R8G8B8, plane.buffer.data(), plane.pitch, &bounds, &away));
    EXPECT_EQ(1, InvertPixels(0, kPixelA8R8G8B8, nullptr, plane.pitch, &bounds, nullptr));
    EXPECT_EQ(1, InvertPixels(0, kPixelA8R8G8B8, plane.buffer.data(), plane.pitch, nullptr, nullptr));
}

TEST(TexturePlanes, AlphaPlaneIntoTexturePixels)
{
    const BYTE plane[3] = {0x80, 0x7F, 0xF3};
    uint16_t t1555[3] = {0x1234, 0x9234, 0x7FFF};
    WriteAlphaPlaneToTexture16(kPixelA1R5G5B5, reinterpret_cast<BYTE*>(t1555), 0, 0, 3, 1, 6, plane, 0, 0, 3);
    EXPECT_EQ(0x9234, t1555[0]);
    EXPECT_EQ(0x1234, t1555[1]);
    EXPECT_EQ(0xFFFF, t1555[2]);
    uint16_t t4444[1] = {0x1234};
    WriteAlphaPlaneToTexture16(kPixelA4R4G4B4, reinterpret_cast<BYTE*>(t4444), 0, 0, 1, 1, 2, plane + 2, 0, 0, 1);
    EXPECT_EQ(0xF234, t4444[0]);
    uint32_t t8888[2] = {0x11223344u, 0x55667788u};
    WriteAlphaPlaneToTexture16(kPixelA8R8G8B8, reinterpret_cast<BYTE*>(t8888), 1, 0, 1, 1, 8, plane, 1, 0, 3);
    EXPECT_EQ(0x7F667788u, t8888[1]);
    EXPECT_EQ(0x11223344u, t8888[0]);
}

TEST(ReduceToBytePlane, FourRowsBecomeOne)
{
    const int width = 3, pitch = width * 4;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * 8);
    Random random(10);
    for (uint32_t& v : pixels) {
        v = random.Next();
    }
    const std::vector<uint32_t> source = pixels;
    ReduceToBytePlane(reinterpret_cast<BYTE*>(pixels.data()), pitch, width, 2);
    auto t = [](uint32_t v) {
        const uint32_t s = v + (v >> 16);
        return (s + (s >> 8)) & 255;
    };
    const BYTE* out = reinterpret_cast<const BYTE*>(pixels.data());
    for (int k = 0; k < 2; ++k) {
        for (int x = 0; x < width; ++x) {
            uint32_t o = 0;
            for (int r = 0; r < 4; ++r) {
                o += t(source[static_cast<size_t>(4 * k + r) * width + x]);
            }
            o &= 255;
            EXPECT_EQ(o | ((o >> 3) & 7), out[k * pitch + x]) << k << "," << x;
        }
    }
}

TEST(NoiseTable, BuiltOnceFromSeedZero)
{
    delete[] g_pNoiseTable;
    g_pNoiseTable = nullptr;
    BuildNoiseTable();
    ASSERT_NE(nullptr, g_pNoiseTable);
    SubtractiveRandomState state;
    SeedSubtractiveRandom(state, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(static_cast<uint8_t>(DrawSubtractiveRandom(state)), g_pNoiseTable[i]) << i;
    }
    uint8_t* first = g_pNoiseTable;
    BuildNoiseTable();
    EXPECT_EQ(first, g_pNoiseTable);
}
