// The composed window frame: a decoration picture over mask A keeps the frame visible, with the
// alpha that the mask and the decoration cover together.
#include <gtest/gtest.h>

#include "controls/frame_compose.h"

namespace {

void SetPixel(CImage& image, LONG x, uint32_t argb)
{
    BYTE* p = image.GetRowPointer(0) + x * 4;
    p[0] = static_cast<BYTE>(argb);
    p[1] = static_cast<BYTE>(argb >> 8);
    p[2] = static_cast<BYTE>(argb >> 16);
    p[3] = static_cast<BYTE>(argb >> 24);
}

const BYTE* Pixel(const CImage& image, LONG x)
{
    return image.GetRowPointer(0) + x * 4;
}

} // namespace

TEST(FrameCompose, DecorationOverMaskKeepsTheFrameVisible)
{
    CImage frame, decoration, mask;
    ASSERT_EQ(frame.Create(5, 1, 32, 0), 0);
    ASSERT_EQ(decoration.Create(5, 1, 32, 0), 0);
    ASSERT_EQ(mask.Create(5, 1, 8, 0), 0);
    const BYTE maskAlpha[5] = {0, 128, 255, 200, 0};
    const uint32_t top[5] = {0x00FF0000, 0xFFFF0000, 0x00FF0000, 0x80FF0000, 0xFFFF0000};
    for (LONG x = 0; x < 5; ++x) {
        mask.GetRowPointer(0)[x] = maskAlpha[x];
        SetPixel(decoration, x, top[x]);
    }
    FrameSources s;
    s.frame = &frame;
    s.decoration = &decoration;
    s.maskA = &mask;
    ComposeFrameImage(s, 1, 0x0000FF, 255, true, true, true);
    // alpha = mask + decoration × (255 − mask) / 255
    const BYTE alpha[5] = {0, 255, 255, 228, 255};
    for (LONG x = 0; x < 5; ++x)
        EXPECT_EQ(Pixel(frame, x)[3], alpha[x]) << x;
    // Where the decoration is clear the window's colour shows; where it is opaque, its own.
    EXPECT_EQ(Pixel(frame, 2)[0], 0xFF);
    EXPECT_EQ(Pixel(frame, 2)[2], 0x00);
    EXPECT_EQ(Pixel(frame, 1)[2], 0xFF);
    EXPECT_EQ(Pixel(frame, 1)[0], 0x00);

    // Faded to half: the mask's share is scaled, the decoration stays at full strength.
    ComposeFrameImage(s, 1, 0x0000FF, 128, true, false, true);
    EXPECT_NEAR(Pixel(frame, 2)[3], 128, 1);
    EXPECT_EQ(Pixel(frame, 1)[3], 255);
}
