// The software bitmap and the surface bases: sizes and pitches by depth, resizing in place or
// anew, pixels and colour keys by depth, the clip operations of both bases as tables.
#include <gtest/gtest.h>

#include <cstring>

#include "display/soft_bitmap.h"
#include "display/surface_base.h"

namespace {

TEST(SoftBitmap, CreateSizesAndPitches)
{
    const struct {
        LONG w, h;
        int bits;
        int code;
        LONG pitch;
    } cases[] = {
        {10, 10, 24, 0, 32}, {10, 10, 8, 0, 12}, {10, 10, 16, 0, 20}, {10, 10, 32, 0, 40}, {1, 1, 8, 0, 4},
        {10, 10, 4, 1, 0},   {0, 10, 8, 1, 0},   {10, -1, 8, 1, 0},   {65536, 65536, 32, 2, 0},
    };
    for (const auto& c : cases) {
        CSoftBitmap bitmap;
        EXPECT_EQ(bitmap.Create(c.w, c.h, static_cast<uint8_t>(c.bits)), c.code) << c.w << "x" << c.h << "@" << c.bits;
        EXPECT_EQ(bitmap.GetKind(), kSurfaceSoftBitmap);
        if (c.code == 0) {
            EXPECT_EQ(bitmap.GetPitch(), c.pitch);
            EXPECT_EQ(bitmap.GetAllocatedSize(), static_cast<uint32_t>(c.pitch * c.h));
            RECT clip;
            bitmap.GetClipRect(&clip);
            EXPECT_EQ(clip.right, c.w);
            EXPECT_EQ(clip.bottom, c.h);
            EXPECT_NE(bitmap.GetRowPointer(c.h - 1), nullptr);
        } else {
            EXPECT_EQ(bitmap.GetBits(), nullptr);
        }
        EXPECT_EQ(bitmap.GetRowPointer(-1), nullptr);
        EXPECT_EQ(bitmap.GetRowPointer(c.h), nullptr);
    }
}

TEST(SoftBitmap, ResizeKeepsTheBlockWhenItFits)
{
    CSoftBitmap bitmap;
    ASSERT_EQ(bitmap.Create(100, 100, 32), 0);
    BYTE* block = bitmap.GetBits();
    EXPECT_EQ(bitmap.Resize(50, 50), 0);
    EXPECT_EQ(bitmap.GetBits(), block);
    EXPECT_EQ(bitmap.GetPitch(), 200);
    EXPECT_EQ(bitmap.GetWidth(), 50);
    EXPECT_EQ(bitmap.GetAllocatedSize(), 40000u);
    EXPECT_EQ(bitmap.Resize(50, 50), 0);
    EXPECT_EQ(bitmap.Resize(200, 200), 0);
    EXPECT_EQ(bitmap.GetAllocatedSize(), 160000u);
    EXPECT_EQ(bitmap.Resize(0, 5), 1);
    CSoftBitmap empty;
    EXPECT_EQ(empty.Resize(5, 5), 1);
}

TEST(SoftBitmap, PixelsAndColorKeysByDepth)
{
    const struct {
        int bits;
        uint32_t stored;
        LONG pixel;
        DWORD keyOfWhite;
    } cases[] = {
        {8, 0xAB, 0xAB, 255},
        {16, 0xBEEF, 0xBEEF, 0xFFFF},
        {32, 0x80FF0102, static_cast<LONG>(0x80FF0102u), 0xFFFFFF},
        {24, 0x123456, -1, kNoColorKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        CSoftBitmap bitmap;
        ASSERT_EQ(bitmap.Create(4, 3, static_cast<uint8_t>(c.bits)), 0);
        std::memcpy(bitmap.GetRowPointer(2) + 3 * (c.bits / 8), &c.stored, static_cast<size_t>(c.bits / 8));
        EXPECT_EQ(bitmap.GetPixel(3, 2), c.pixel);
        EXPECT_EQ(bitmap.GetPixel(4, 2), -1);
        EXPECT_EQ(bitmap.GetPixel(-1, 0), -1);
        EXPECT_EQ(bitmap.SetColorKeyRgb(255, 255, 255), c.keyOfWhite == kNoColorKey ? 1 : 0);
        EXPECT_EQ(bitmap.GetColorKey(), c.keyOfWhite);
        EXPECT_EQ(bitmap.SetColorKeyAt(3, 2), c.pixel == -1 ? 1 : 0);
        EXPECT_EQ(bitmap.ClearColorKey(), 0);
        EXPECT_EQ(bitmap.GetColorKey(), kNoColorKey);
        EXPECT_EQ(bitmap.Restore(true), 0);
    }
    CSoftBitmap bitmap;
    ASSERT_EQ(bitmap.Create(2, 2, 16), 0);
    EXPECT_EQ(bitmap.SetColorKeyRgb(255, 128, 8), 0);
    EXPECT_EQ(bitmap.GetColorKey(), DWORD{0xF800 | (128 >> 2) << 5 | 1});
    bitmap.Free();
    EXPECT_EQ(bitmap.GetWidth(), 0);
    EXPECT_EQ(bitmap.GetPixel(0, 0), -1);
}

// A device kind stand-in for the base's clip operations.
class TestDeviceSurface : public CDeviceSurfaceBase {
public:
    TestDeviceSurface(LONG w, LONG h)
    {
        m_width = w;
        m_height = h;
        m_clip = RECT{0, 0, w, h};
    }
    uint8_t GetKind() const override { return kSurfaceBlank; }
    int SetColorKeyRgb(BYTE, BYTE, BYTE) override { return 0; }
    int SetColorKeyAt(LONG, LONG) override { return 0; }
    int ClearColorKey() override { return 0; }
    int Restore(bool) override { return 0; }
    IDirectDrawSurface7* GetDeviceSurface() const override { return nullptr; }
};

TEST(SurfaceBases, ClipRectToSizeAndToBounds)
{
    struct Case {
        RECT wanted;
        bool result;
        RECT clip;
    };
    const Case sizeCases[] = {
        {{-10, -10, 50, 50}, true, {0, 0, 20, 20}},
        {{5, 6, 7, 8}, true, {5, 6, 7, 8}},
        {{30, 30, 50, 50}, true, {20, 20, 20, 20}}, // wholly outside: empty, never inverted
        {{-9, 2, -1, 4}, true, {0, 2, 0, 4}},
        {{4, 4, 4, 9}, false, {1, 1, 2, 2}},         // empty: old clip kept
        {{9, 4, 3, 9}, false, {1, 1, 2, 2}},
    };
    CSoftBitmap memory;
    ASSERT_EQ(memory.Create(20, 20, 8), 0);
    TestDeviceSurface device(20, 20);
    for (CSurface* surface : {static_cast<CSurface*>(&memory), static_cast<CSurface*>(&device)}) {
        for (const Case& c : sizeCases) {
            const RECT old{1, 1, 2, 2};
            surface->ClipRectToSize(&old);
            EXPECT_EQ(surface->ClipRectToSize(&c.wanted), c.result);
            const RECT& got = surface->ClipRect();
            EXPECT_TRUE(got.left == c.clip.left && got.top == c.clip.top && got.right == c.clip.right &&
                        got.bottom == c.clip.bottom)
                << c.wanted.left << "," << c.wanted.top << " -> " << got.left << "," << got.top << ","
                << got.right << "," << got.bottom;
        }
        EXPECT_TRUE(surface->ClipRectToSize(nullptr));
        RECT bounds;
        surface->GetBounds(&bounds);
        EXPECT_EQ(surface->ClipRect().right, bounds.right);

        const RECT clip{5, 5, 15, 15};
        surface->ClipRectToSize(&clip);
        const struct {
            RECT in;
            bool result;
            RECT out;
        } boundCases[] = {
            {{0, 0, 20, 20}, true, {5, 5, 15, 15}},
            {{0, 100, 4, 200}, false, {5, 100, 4, 200}}, // left of the clip: top and bottom untouched
            {{6, 0, 8, 5}, false, {6, 5, 8, 5}},
            {{6, 6, 7, 7}, true, {6, 6, 7, 7}},
        };
        for (const auto& b : boundCases) {
            RECT r = b.in;
            EXPECT_EQ(surface->ClipRectToBounds(&r), b.result);
            EXPECT_TRUE(r.left == b.out.left && r.top == b.out.top && r.right == b.out.right &&
                        r.bottom == b.out.bottom);
        }
        EXPECT_FALSE(surface->ClipRectToBounds(nullptr));
    }
    EXPECT_EQ(device.GetBits(), nullptr);
    EXPECT_EQ(device.GetRowPointer(0), nullptr);
    CSoftBitmap none;
    RECT b{1, 2, 3, 4};
    none.GetBounds(&b);
    EXPECT_TRUE(b.left == 0 && b.top == 0 && b.right == 0 && b.bottom == 0);
}

} // namespace
