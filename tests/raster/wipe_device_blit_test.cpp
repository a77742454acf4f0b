// The clipped DirectDraw blits the device-blit mode draws through, and the pixel-format codes of
// DirectDraw formats.
#include "raster/device_blit.h"
#include "raster/dib_convert.h"
#include "winapi/ddraw.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

namespace {

class DeviceBlitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr),
                  DD_OK);
        m_src = Make(6, 4);
        m_dst = Make(10, 8);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(m_src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD j = 0; j < 4; ++j)
            for (DWORD i = 0; i < 6; ++i) {
                const uint32_t v = 0x100 * j + i + 1;
                std::memcpy(static_cast<BYTE*>(d.lpSurface) + j * d.lPitch + i * 4, &v, 4);
            }
        m_src->Unlock(nullptr);
    }
    void TearDown() override
    {
        m_src->Release();
        m_dst->Release();
        m_dd->Release();
    }
    IDirectDrawSurface7* Make(DWORD w, DWORD h)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = w;
        d.dwHeight = h;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(m_dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }
    uint32_t At(LONG i, LONG j)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        EXPECT_EQ(m_dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        uint32_t v;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + j * d.lPitch + i * 4, 4);
        m_dst->Unlock(nullptr);
        return v;
    }

    IDirectDraw7* m_dd = nullptr;
    IDirectDrawSurface7* m_src = nullptr;
    IDirectDrawSurface7* m_dst = nullptr;
};

TEST_F(DeviceBlitTest, BltFastClippedCutsAndMovesThePosition)
{
    const RECT clip{2, 1, 9, 7};
    RECT whole{0, 0, 6, 4};
    // Placed at (0, 0): the clip cuts two columns and a row; they are taken off the source too.
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 0, 0, &whole, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(At(2, 1), 0x100u + 3);
    EXPECT_EQ(At(1, 1), 0u);
    EXPECT_EQ(At(5, 3), 0x300u + 6);
    // A source rectangle reaching outside the source: cut there, the position moving along.
    RECT outside{-2, 0, 3, 1};
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 4, 6, &outside, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(At(6, 6), 1u);
    EXPECT_EQ(At(8, 6), 3u);
    // Nothing left, null arguments, a far-off position that must not wrap round.
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 20, 0, &whole, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(BltFastClipped(m_dst, m_src, INT32_MAX - 2, 0, &whole, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(BltFastClipped(nullptr, m_src, 0, 0, &whole, &clip, 0xFFFFFFFFu), 1);
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 0, 0, nullptr, &clip, 0xFFFFFFFFu), 1);
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 0, 0, &whole, nullptr, 0xFFFFFFFFu), 1);
    // A key without a DirectDraw key on the source: BltFast fails and the result says so.
    EXPECT_EQ(BltFastClipped(m_dst, m_src, 3, 3, &whole, &clip, 5), 2);
}

TEST_F(DeviceBlitTest, BltClippedStretchesAndCutsInProportion)
{
    const RECT clip{0, 0, 10, 8};
    RECT row{0, 0, 6, 1};
    // Six pixels to three: every other one.
    EXPECT_EQ(BltClipped(m_dst, m_src, 3, 1, 1, 2, &row, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(At(1, 2), 1u);
    EXPECT_EQ(At(2, 2), 3u);
    EXPECT_EQ(At(3, 2), 5u);
    // Twelve wide from x = -6: the left half is cut, and with it the left half of the source.
    EXPECT_EQ(BltClipped(m_dst, m_src, 12, 1, -6, 5, &row, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(At(0, 5), 4u);
    EXPECT_EQ(At(5, 5), 6u);
    EXPECT_EQ(BltClipped(m_dst, m_src, 0, 1, 0, 0, &row, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(BltClipped(m_dst, m_src, 3, 1, INT32_MAX - 1, 0, &row, &clip, 0xFFFFFFFFu), 0);
    EXPECT_EQ(BltClipped(m_dst, nullptr, 3, 1, 0, 0, &row, &clip, 0xFFFFFFFFu), 1);
}

TEST(PixelFormatCodeTest, EveryDeviceFormatHasItsCode)
{
    struct Case {
        DWORD bits, flags, r, g, b, a;
        uint32_t code;
    };
    const Case cases[] = {
        {16, DDPF_RGB, 0x7C00, 0x03E0, 0x001F, 0, kPixelX1R5G5B5},
        {16, DDPF_RGB, 0xF800, 0x07E0, 0x001F, 0, kPixelR5G6B5},
        {24, DDPF_RGB, 0xFF0000, 0xFF00, 0xFF, 0, kPixelR8G8B8},
        {32, DDPF_RGB, 0xFF0000, 0xFF00, 0xFF, 0, kPixelX8R8G8B8},
        {16, DDPF_RGB | DDPF_ALPHAPIXELS, 0x7C00, 0x03E0, 0x001F, 0x8000, kPixelA1R5G5B5},
        {16, DDPF_RGB | DDPF_ALPHAPIXELS, 0x0F00, 0x00F0, 0x000F, 0xF000, kPixelA4R4G4B4},
        {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, kPixelA8R8G8B8},
        {32, DDPF_RGB, 0xFF, 0xFF00, 0xFF0000, 0, kPixelUnknown}, // blue and red swapped
        {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0xFF0000, 0xFF00, 0xFF, 0x00FF0000, kPixelUnknown},
        {16, DDPF_RGB, 0x7C00, 0x03E0, 0x001F, 0x4000, kPixelX1R5G5B5},  // another alpha mask: 555
        {16, DDPF_RGB, 0x0F00, 0x00F0, 0x000F, 0, kPixelUnknown},
        {8, DDPF_PALETTEINDEXED8, 0, 0, 0, 0, kPixelIndexed8},
    };
    for (const Case& c : cases) {
        DDPIXELFORMAT pf{};
        pf.dwSize = sizeof(pf);
        pf.dwFlags = c.flags;
        pf.dwRGBBitCount = c.bits;
        pf.dwRBitMask = c.r;
        pf.dwGBitMask = c.g;
        pf.dwBBitMask = c.b;
        pf.dwRGBAlphaBitMask = c.a;
        EXPECT_EQ(GetPixelFormatCode(nullptr, nullptr, &pf), c.code) << c.bits << " " << std::hex << c.r;
        CPixelFormatDesc desc;
        EXPECT_EQ(GetPixelFormatCode(nullptr, &desc, &pf), c.code);
        EXPECT_EQ(desc.bits, c.bits);
        EXPECT_EQ(desc.mask[3], c.a);
        EXPECT_EQ(desc.shift[3], c.a == 0 ? 32 : std::countr_zero(c.a));
        EXPECT_EQ(desc.maskBits[0], std::popcount(c.r));
    }
    EXPECT_EQ(GetPixelFormatCode(nullptr, nullptr, nullptr), 0u);
}

} // namespace
