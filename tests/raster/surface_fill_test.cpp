// Colour fills of DirectDraw surfaces in each format: 16-bit channels cut to their bits, channels
// the format lacks left out, the rectangle kept, a lost surface refused.
#include <gtest/gtest.h>

#include <cstring>

#include "raster/device_blit.h"
#include "winapi/ddraw.h"
#include "winapi/ddraw_testing.h"

namespace {

struct FillCase {
    const char* name;
    DWORD bits, r, g, b, a;
    BYTE fr, fg, fb, fa;
    DWORD expected;
};

TEST(FillSurfaceRect, WritesEachFormatsPixelInsideTheRectangleOnly)
{
    const FillCase cases[] = {
        {"565", 16, 0xF800, 0x07E0, 0x001F, 0, 255, 128, 0, 0, (31u << 11) | (32u << 5)},
        {"555 without alpha ignores a", 16, 0x7C00, 0x03E0, 0x001F, 0, 255, 128, 64, 255, (31u << 10) | (16u << 5) | 8u},
        {"1555", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, 0, 255, 255, 0x8000u | 31u},
        {"4444", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0x10, 0x20, 0x30, 0xFF, 0xF123u},
        {"888", 24, 0xFF0000, 0xFF00, 0xFF, 0, 1, 2, 3, 9, 0x010203u},
        {"x888 ignores a", 32, 0xFF0000, 0xFF00, 0xFF, 0, 1, 2, 3, 9, 0x010203u},
        {"8888", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 2, 3, 9, 0x09010203u},
    };
    IDirectDraw7* dd = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.name);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = 4;
        d.dwHeight = 3;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (c.a ? DDPF_ALPHAPIXELS : 0);
        d.ddpfPixelFormat.dwRGBBitCount = c.bits;
        d.ddpfPixelFormat.dwRBitMask = c.r;
        d.ddpfPixelFormat.dwGBitMask = c.g;
        d.ddpfPixelFormat.dwBBitMask = c.b;
        d.ddpfPixelFormat.dwRGBAlphaBitMask = c.a;
        IDirectDrawSurface7* s = nullptr;
        ASSERT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        RECT r{1, 1, 3, 2};
        ASSERT_EQ(FillSurfaceRect(s, nullptr, c.fr, c.fg, c.fb, &r, c.fa), 0);
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        ASSERT_EQ(s->Lock(nullptr, &locked, 0, nullptr), DD_OK);
        const int bytes = static_cast<int>(c.bits / 8);
        for (LONG y = 0; y < 3; ++y)
            for (LONG x = 0; x < 4; ++x) {
                DWORD v = 0;
                std::memcpy(&v, static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch + x * bytes,
                            static_cast<size_t>(bytes));
                const bool inside = x >= 1 && x < 3 && y == 1;
                EXPECT_EQ(v, inside ? c.expected : 0u) << x << "," << y;
            }
        s->Unlock(nullptr);
        s->Release();
    }
    EXPECT_EQ(FillSurfaceRect(nullptr, nullptr, 0, 0, 0, nullptr, 0), 1);

    // A lost surface refuses both the fill and the lock.
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 2;
    IDirectDrawSurface7* s = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(FillSurfaceRect(s, nullptr, 1, 2, 3, nullptr, 0), 2);
    s->Release();
    dd->Release();
}

} // namespace
