// Memory images into the seven device pixel formats: every format against the channel rules
// written out here, the alpha formats' opacity, unknown codes, and the clipped copy of an image
// into a locked DirectDraw surface.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "raster/dib_convert.h"
#include "raster/image.h"
#include "raster/surface_convert.h"
#include "winapi/ddraw.h"

namespace {

// 0xAARRGGBB into a format, channel by channel: top bits of each channel at its place.
uint32_t Expected(uint32_t code, uint32_t p, bool indexed)
{
    const uint32_t a = indexed ? 255 : p >> 24, r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
    switch (code) {
    case kPixelX1R5G5B5: return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case kPixelR5G6B5: return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case kPixelR8G8B8: return r << 16 | g << 8 | b;
    case kPixelX8R8G8B8: return indexed ? p : (p & 0xFFFFFF);
    case kPixelA1R5G5B5: return (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case kPixelA4R4G4B4: return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
    default: return a << 24 | r << 16 | g << 8 | b;
    }
}

uint32_t Read(const BYTE* at, int bytes)
{
    uint32_t v = 0;
    std::memcpy(&v, at, static_cast<size_t>(bytes));
    return v;
}

const uint32_t kCodes[] = {kPixelX1R5G5B5, kPixelR5G6B5,   kPixelR8G8B8,  kPixelX8R8G8B8,
                           kPixelA1R5G5B5, kPixelA4R4G4B4, kPixelA8R8G8B8};

TEST(SurfaceConvert, EveryFormatFollowsTheChannelRules)
{
    const uint32_t pixels[] = {0x00000000, 0xFFFFFFFF, 0x80FF8040, 0x7F123456, 0x01F0F0F0, 0xFE0F0F0F, 0x40ABCDEF};
    constexpr int n = sizeof(pixels) / 4;
    uint32_t palette[256];
    BYTE indexes[n];
    for (int i = 0; i < 256; ++i)
        palette[i] = 0x00010203u * static_cast<uint32_t>(i) & 0xFFFFFF;
    for (int i = 0; i < n; ++i) {
        indexes[i] = static_cast<BYTE>(40 + i);
        palette[40 + i] = pixels[i] & 0xFFFFFF;
    }
    for (const uint32_t code : kCodes) {
        const int bytes = PixelFormatBytes(code);
        // Two rows, placed at (2, 1) of a guarded buffer.
        const LONG pitch = (n + 4) * bytes;
        std::vector<BYTE> out(static_cast<size_t>(pitch) * 4, 0xCC), in(out.size(), 0xCC);
        std::vector<BYTE> src(2 * 4 * n);
        for (int row = 0; row < 2; ++row)
            std::memcpy(&src[static_cast<size_t>(row) * 4 * n], pixels, sizeof(pixels));
        ASSERT_TRUE(ConvertRgb32ToSurface(code, out.data(), 2, 1, pitch, src.data(), 4 * n, n, 2));
        ASSERT_TRUE(ConvertIndexedToSurface(code, in.data(), 2, 1, pitch, indexes, 0, n, 2, palette));
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < n + 4; ++col) {
                const size_t at = static_cast<size_t>(row) * pitch + static_cast<size_t>(col) * bytes;
                const bool inside = row >= 1 && row <= 2 && col >= 2 && col < 2 + n;
                const uint32_t guard = Read(std::vector<BYTE>(4, 0xCC).data(), bytes);
                EXPECT_EQ(Read(&out[at], bytes), inside ? Expected(code, pixels[col - 2], false) : guard)
                    << "code " << code << " at " << col << "," << row;
                EXPECT_EQ(Read(&in[at], bytes), inside ? Expected(code, pixels[col - 2] & 0xFFFFFF, true) : guard)
                    << "indexed, code " << code << " at " << col << "," << row;
            }
    }
}

TEST(SurfaceConvert, UnknownCodesAndEmptySizesWriteNothing)
{
    BYTE dst[16] = {};
    const BYTE src[16] = {1, 2, 3, 4};
    const uint32_t palette[256] = {0xFFFFFF};
    for (const uint32_t code : {0u, 1u, 2u, 3u, 512u, kPixelR5G6B5 | kPixelR8G8B8}) {
        EXPECT_FALSE(ConvertRgb32ToSurface(code, dst, 0, 0, 16, src, 16, 1, 1));
        EXPECT_FALSE(ConvertIndexedToSurface(code, dst, 0, 0, 16, src, 16, 1, 1, palette));
    }
    EXPECT_FALSE(ConvertRgb32ToSurface(kPixelR5G6B5, dst, 0, 0, 16, src, 16, 0, 1));
    EXPECT_FALSE(ConvertIndexedToSurface(kPixelR5G6B5, dst, 0, 0, 16, src, 16, 1, 1, nullptr));
    for (const BYTE b : dst)
        EXPECT_EQ(b, 0);
    // The worked values: (255, 128, 64) as 555 and 565.
    uint16_t v = 0;
    const uint32_t entry[256] = {0xFF8040};
    const BYTE zero = 0;
    ASSERT_TRUE(ConvertIndexedToSurface(kPixelX1R5G5B5, reinterpret_cast<BYTE*>(&v), 0, 0, 2, &zero, 1, 1, 1, entry));
    EXPECT_EQ(v, 31 << 10 | 16 << 5 | 8);
    ASSERT_TRUE(ConvertIndexedToSurface(kPixelR5G6B5, reinterpret_cast<BYTE*>(&v), 0, 0, 2, &zero, 1, 1, 1, entry));
    EXPECT_EQ(v, 31 << 11 | 32 << 5 | 8);
}

class CopyToSurface : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = 10;
        d.dwHeight = 6;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = 16;
        d.ddpfPixelFormat.dwRBitMask = 0xF800;
        d.ddpfPixelFormat.dwGBitMask = 0x7E0;
        d.ddpfPixelFormat.dwBBitMask = 0x1F;
        ASSERT_EQ(dd->CreateSurface(&d, &surface, nullptr), DD_OK);
    }
    void TearDown() override
    {
        if (surface)
            surface->Release();
        dd->Release();
    }
    std::vector<uint16_t> Pixels()
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        std::vector<uint16_t> out;
        EXPECT_EQ(surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x)
                out.push_back(static_cast<uint16_t>(Read(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + 2 * x, 2)));
        surface->Unlock(nullptr);
        return out;
    }
    IDirectDraw7* dd = nullptr;
    IDirectDrawSurface7* surface = nullptr;
};

TEST_F(CopyToSurface, ClipsToTheClipAndTheSurface)
{
    CImage image;
    ASSERT_EQ(image.Create(8, 8, 32, 0), 0);
    image.FillRect32(0xFFFFFFFF, nullptr);
    // Placed at (6, 3): 4 x 3 pixels land; the rest lies past the surface.
    ASSERT_EQ(CopyImageToSurface(surface, kPixelR5G6B5, nullptr, &image, 6, 3, nullptr, nullptr), 0);
    std::vector<uint16_t> px = Pixels();
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(px[static_cast<size_t>(y) * 10 + x], (x >= 6 && y >= 3) ? 0xFFFF : 0) << x << "," << y;
    // A clip rectangle larger than the surface still stops at its edge; a smaller one cuts.
    image.FillRect32(0x00FF0000, nullptr);
    const RECT big{-50, -50, 500, 500};
    ASSERT_EQ(CopyImageToSurface(surface, kPixelR5G6B5, &big, &image, -4, -4, nullptr, nullptr), 0);
    const RECT clip{1, 1, 3, 2};
    CImage grey;
    ASSERT_EQ(grey.Create(4, 4, 8, 0), 0); // no palette: read as the grey ramp
    grey.FillRect(255, 0, 0, nullptr);
    ASSERT_EQ(CopyImageToSurface(surface, kPixelR5G6B5, &clip, &grey, 0, 0, nullptr, nullptr), 0);
    px = Pixels();
    EXPECT_EQ(px[0], 0xF800);
    EXPECT_EQ(px[11], 0xFFFF);
    EXPECT_EQ(px[12], 0xFFFF);
    EXPECT_EQ(px[13], 0xF800); // outside the clip: the red copy stays
    EXPECT_EQ(px[14], 0);
    EXPECT_EQ(CopyImageToSurface(nullptr, kPixelR5G6B5, nullptr, &image, 0, 0, nullptr, nullptr), 1);
    CImage empty;
    EXPECT_EQ(CopyImageToSurface(surface, kPixelR5G6B5, nullptr, &empty, 0, 0, nullptr, nullptr), 1);
    const RECT outside{20, 20, 30, 30};
    EXPECT_EQ(CopyImageToSurface(surface, kPixelR5G6B5, nullptr, &image, 0, 0, &outside, nullptr), 0);
}

} // namespace
