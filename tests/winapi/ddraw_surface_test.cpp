// DirectDraw memory surfaces: creation in every RGB format, locking, blits with and without a
// source colour key, stretching, fills and the error answers the display code relies on.
#include "winapi/ddraw.h"
#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct FormatCase {
    const char* name;
    DWORD bits;
    DWORD r, g, b, a;
};

const FormatCase kFormats[] = {
    {"X1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0},
    {"R5G6B5", 16, 0xF800, 0x07E0, 0x001F, 0},
    {"R8G8B8", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {"X8R8G8B8", 32, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {"A1R5G5B5", 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {"A4R4G4B4", 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {"A8R8G8B8", 32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000},
};

DDPIXELFORMAT MakeFormat(const FormatCase& f)
{
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof(pf);
    pf.dwFlags = DDPF_RGB | (f.a ? DDPF_ALPHAPIXELS : 0);
    pf.dwRGBBitCount = f.bits;
    pf.dwRBitMask = f.r;
    pf.dwGBitMask = f.g;
    pf.dwBBitMask = f.b;
    pf.dwRGBAlphaBitMask = f.a;
    return pf;
}

class DDrawSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr),
                  DD_OK);
    }
    void TearDown() override
    {
        for (auto* s : surfaces)
            s->Release();
        dd->Release();
    }

    IDirectDrawSurface7* Make(LONG w, LONG h, const DDPIXELFORMAT* pf = nullptr)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (pf ? DDSD_PIXELFORMAT : 0);
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        if (pf)
            d.ddpfPixelFormat = *pf;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        if (s)
            surfaces.push_back(s);
        return s;
    }

    // Writes value v(x, y) into every 32-bit pixel.
    template <typename F> void Paint32(IDirectDrawSurface7* s, F v)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                DWORD value = v(static_cast<LONG>(x), static_cast<LONG>(y));
                std::memcpy(static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, &value, 4);
            }
        ASSERT_EQ(s->Unlock(nullptr), DD_OK);
    }

    DWORD Pixel32(IDirectDrawSurface7* s, LONG x, LONG y)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        DWORD v = 0;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        s->Unlock(nullptr);
        return v;
    }

    IDirectDraw7* dd = nullptr;
    std::vector<IDirectDrawSurface7*> surfaces;
};

TEST_F(DDrawSurfaceTest, EveryFormatCreatesAndReportsItself)
{
    for (const auto& f : kFormats) {
        SCOPED_TRACE(f.name);
        const DDPIXELFORMAT pf = MakeFormat(f);
        IDirectDrawSurface7* s = Make(5, 3, &pf);
        ASSERT_NE(s, nullptr);
        DDPIXELFORMAT got{};
        ASSERT_EQ(s->GetPixelFormat(&got), DD_OK);
        EXPECT_EQ(got.dwRGBBitCount, f.bits);
        EXPECT_EQ(got.dwRBitMask, f.r);
        EXPECT_EQ(got.dwRGBAlphaBitMask, f.a);
        DDSURFACEDESC2 d{};
        d.dwSize = DDSURFACEDESC2_SIZE32;
        ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.dwWidth, 5u);
        EXPECT_EQ(d.dwHeight, 3u);
        EXPECT_EQ(d.lPitch, static_cast<LONG>((5 * f.bits / 8 + 3) & ~3u));
        EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, f.g);
    }
}

TEST_F(DDrawSurfaceTest, CreationRefusesBadDescriptions)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_WIDTH; // no height
    d.dwWidth = 4;
    IDirectDrawSurface7* s = reinterpret_cast<IDirectDrawSurface7*>(1);
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s, nullptr);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwHeight = 4;
    d.ddpfPixelFormat.dwFlags = DDPF_PALETTEINDEXED8;
    d.ddpfPixelFormat.dwRGBBitCount = 8;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPIXELFORMAT);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = 0;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    d.dwWidth = 0x80000000u; // would overflow a signed width
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
    d.dwSize = 12;
    d.dwWidth = 4;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DDrawSurfaceTest, LockGivesRectangleStartAndRefusesTwice)
{
    IDirectDrawSurface7* s = Make(8, 6);
    DDSURFACEDESC2 whole{};
    whole.dwSize = sizeof(whole);
    ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    DDSURFACEDESC2 again{};
    again.dwSize = sizeof(again);
    EXPECT_EQ(s->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    IDirectDrawSurface7* other = Make(8, 6);
    EXPECT_EQ(s->BltFast(0, 0, other, nullptr, DDBLTFAST_WAIT), DDERR_SURFACEBUSY);
    ASSERT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);

    RECT r{2, 3, 5, 6};
    DDSURFACEDESC2 part{};
    part.dwSize = sizeof(part);
    ASSERT_EQ(s->Lock(&r, &part, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<BYTE*>(part.lpSurface),
              static_cast<BYTE*>(whole.lpSurface) + 3 * whole.lPitch + 2 * 4);
    s->Unlock(nullptr);
    RECT outside{6, 0, 9, 2};
    EXPECT_EQ(s->Lock(&outside, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
}

TEST_F(DDrawSurfaceTest, BltFastCopiesAndHonoursTheSourceKey)
{
    IDirectDrawSurface7* src = Make(4, 4);
    IDirectDrawSurface7* dst = Make(6, 6);
    Paint32(src, [](LONG x, LONG y) {
        return (x + y) % 2 ? 0x00FF00FFu : static_cast<DWORD>(0x10 * (y * 4 + x));
    });
    Paint32(dst, [](LONG, LONG) { return 0x11223344u; });
    RECT part{1, 1, 3, 3};
    ASSERT_EQ(dst->BltFast(2, 3, src, &part, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Pixel32(dst, 2, 3), 0x10u * 5);
    EXPECT_EQ(Pixel32(dst, 3, 3), 0x00FF00FFu);
    EXPECT_EQ(Pixel32(dst, 1, 3), 0x11223344u);

    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DDERR_NOCOLORKEY);
    DDCOLORKEY key{0x00FF00FF, 0};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY read{};
    ASSERT_EQ(src->GetColorKey(DDCKEY_SRCBLT, &read), DD_OK);
    EXPECT_EQ(read.dwColorSpaceHighValue, 0x00FF00FFu);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(Pixel32(dst, 0, 0), 0u);
    EXPECT_EQ(Pixel32(dst, 1, 0), 0x11223344u); // keyed pixel skipped
    EXPECT_EQ(Pixel32(dst, 2, 0), 0x20u);

    // Positions and rectangles that leave a surface are refused, not clipped.
    EXPECT_EQ(dst->BltFast(4, 0, src, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->BltFast(static_cast<DWORD>(-1), 0, src, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    RECT bad{3, 0, 5, 1};
    EXPECT_EQ(dst->BltFast(0, 0, src, &bad, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
    RECT empty{2, 2, 2, 3};
    EXPECT_EQ(dst->BltFast(0, 0, src, &empty, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
}

TEST_F(DDrawSurfaceTest, BltStretchesWithTheRasterSampling)
{
    IDirectDrawSurface7* src = Make(3, 1);
    IDirectDrawSurface7* dst = Make(7, 2);
    Paint32(src, [](LONG x, LONG) { return static_cast<DWORD>(x + 1); });
    // 3 to 2 samples source pixels 0 and 1; 3 to 7 repeats each pixel as the raster does.
    RECT two{0, 0, 2, 1};
    ASSERT_EQ(dst->Blt(&two, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel32(dst, 0, 0), 1u);
    EXPECT_EQ(Pixel32(dst, 1, 0), 2u);
    RECT seven{0, 1, 7, 2};
    ASSERT_EQ(dst->Blt(&seven, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const DWORD expected[7] = {1, 1, 1, 2, 2, 3, 3};
    for (LONG x = 0; x < 7; ++x)
        EXPECT_EQ(Pixel32(dst, x, 1), expected[x]) << x;
}

TEST_F(DDrawSurfaceTest, BltFillsKeysAndRefusesMismatches)
{
    IDirectDrawSurface7* dst = Make(4, 4);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0xABCDEF01u;
    RECT r{1, 1, 3, 2};
    ASSERT_EQ(dst->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(Pixel32(dst, 1, 1), 0xABCDEF01u);
    EXPECT_EQ(Pixel32(dst, 3, 1), 0u);

    IDirectDrawSurface7* src = Make(2, 2);
    Paint32(src, [](LONG x, LONG) { return x ? 7u : 9u; });
    fx.ddckSrcColorkey = {9, 9};
    ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(Pixel32(dst, 0, 0), 0u); // 9 keyed out
    EXPECT_EQ(Pixel32(dst, 3, 0), 7u); // 2 to 4 samples 0, 0, 0, 1
    EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DDERR_NOCOLORKEY);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);

    const DDPIXELFORMAT pf = MakeFormat(kFormats[1]);
    IDirectDrawSurface7* small = Make(2, 2, &pf);
    EXPECT_EQ(dst->BltFast(0, 0, small, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(DDrawSurfaceTest, ColourFillsWriteTheLowBytesOfTheColourInEveryPixelSize)
{
    // A fill of odd width and height inside a surface of random bytes: each pixel of it gets the
    // colour's low bytes, every byte around it stays.
    for (const FormatCase& f : kFormats) {
        SCOPED_TRACE(f.name);
        const DDPIXELFORMAT pf = MakeFormat(f);
        IDirectDrawSurface7* s = Make(13, 6, &pf);
        ASSERT_NE(s, nullptr);
        const int bytes = static_cast<int>(f.bits / 8);
        std::vector<std::vector<BYTE>> before;
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (LONG y = 0; y < 6; ++y) {
            BYTE* row = static_cast<BYTE*>(d.lpSurface) + y * d.lPitch;
            for (LONG x = 0; x < 13 * bytes; ++x)
                row[x] = static_cast<BYTE>(x * 31 + y * 7 + 5);
            before.emplace_back(row, row + 13 * bytes);
        }
        s->Unlock(nullptr);
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = 0x89ABCDEFu;
        RECT r{2, 1, 11, 4};
        ASSERT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (LONG y = 0; y < 6; ++y) {
            const BYTE* row = static_cast<const BYTE*>(d.lpSurface) + y * d.lPitch;
            for (LONG x = 0; x < 13 * bytes; ++x) {
                const LONG pixel = x / bytes;
                const bool inside = pixel >= r.left && pixel < r.right && y >= r.top && y < r.bottom;
                const BYTE want = inside ? static_cast<BYTE>(fx.dwFillColor >> (8 * (x % bytes)))
                                         : before[static_cast<size_t>(y)][static_cast<size_t>(x)];
                EXPECT_EQ(row[x], want) << "byte " << x << " row " << y;
            }
        }
        s->Unlock(nullptr);
    }
}

TEST_F(DDrawSurfaceTest, OverlappingBlitWithinOneSurface)
{
    IDirectDrawSurface7* s = Make(6, 1);
    Paint32(s, [](LONG x, LONG) { return static_cast<DWORD>(x); });
    RECT r{0, 0, 4, 1};
    ASSERT_EQ(s->BltFast(2, 0, s, &r, DDBLTFAST_WAIT), DD_OK);
    const DWORD expected[6] = {0, 1, 0, 1, 2, 3};
    for (LONG x = 0; x < 6; ++x)
        EXPECT_EQ(Pixel32(s, x, 0), expected[x]);

    // Rectangles overlapping across rows, each way: the result is the source as it was.
    struct Move {
        const char* name;
        RECT from;
        POINT to;
    };
    const Move moves[] = {
        {"down right", {0, 0, 5, 4}, {1, 2}},  {"up left", {1, 2, 6, 6}, {0, 0}},
        {"down left", {2, 0, 6, 5}, {0, 1}},   {"up right", {0, 1, 5, 6}, {1, 0}},
        {"same rows", {0, 2, 5, 4}, {1, 2}},
    };
    IDirectDrawSurface7* square = Make(6, 6);
    for (const Move& move : moves) {
        SCOPED_TRACE(move.name);
        auto value = [](LONG x, LONG y) { return static_cast<DWORD>(x + 10 * y); };
        Paint32(square, value);
        RECT from = move.from;
        ASSERT_EQ(square->BltFast(static_cast<DWORD>(move.to.x), static_cast<DWORD>(move.to.y), square, &from,
                                  DDBLTFAST_WAIT),
                  DD_OK);
        for (LONG y = 0; y < 6; ++y)
            for (LONG x = 0; x < 6; ++x) {
                const LONG sx = x - move.to.x + from.left, sy = y - move.to.y + from.top;
                const bool moved = sx >= from.left && sx < from.right && sy >= from.top && sy < from.bottom;
                EXPECT_EQ(Pixel32(square, x, y), moved ? value(sx, sy) : value(x, y)) << x << "," << y;
            }
    }
}

TEST_F(DDrawSurfaceTest, Keyed16BitBlitComparesTheWholePixel)
{
    const DDPIXELFORMAT pf = MakeFormat(kFormats[1]);
    IDirectDrawSurface7* src = Make(2, 1, &pf);
    IDirectDrawSurface7* dst = Make(2, 1, &pf);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    static_cast<uint16_t*>(d.lpSurface)[0] = 0xF800;
    static_cast<uint16_t*>(d.lpSurface)[1] = 0x001F;
    src->Unlock(nullptr);
    DDCOLORKEY key{0xF800, 0xF800};
    src->SetColorKey(DDCKEY_SRCBLT, &key);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    ASSERT_EQ(dst->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<uint16_t*>(d.lpSurface)[0], 0);
    EXPECT_EQ(static_cast<uint16_t*>(d.lpSurface)[1], 0x001F);
    dst->Unlock(nullptr);
}

TEST_F(DDrawSurfaceTest, ReferenceCountsAndInterfaces)
{
    IDirectDrawSurface7* s = Make(1, 1);
    void* again = nullptr;
    ASSERT_EQ(s->QueryInterface(IID_IDirectDrawSurface7, &again), S_OK);
    EXPECT_EQ(again, s);
    EXPECT_EQ(s->Release(), 1u);
    EXPECT_EQ(s->QueryInterface(IID_IDirectDraw7, &again), E_NOINTERFACE);
    EXPECT_EQ(s->IsLost(), DD_OK);
}

} // namespace

namespace {

TEST_F(DDrawSurfaceTest, DeviceContextDrawsIntoThePixels)
{
    IDirectDrawSurface7* s = Make(4, 2);
    Paint32(s, [](LONG x, LONG) { return x == 1 ? 0x00112233u : 0u; });
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x11, 0x22, 0x33));
    HDC second = nullptr;
    EXPECT_EQ(s->GetDC(&second), DDERR_DCALREADYCREATED);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    uint32_t white[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
    HDC from = winapi::CreateMemoryDC(white, 2, 1, 8, 32);
    ASSERT_NE(from, nullptr);
    EXPECT_TRUE(BitBlt(dc, 2, 1, 2, 1, from, 0, 0, SRCCOPY));
    DeleteDC(from);
    EXPECT_EQ(s->ReleaseDC(reinterpret_cast<HDC>(&d)), DDERR_NODC);
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(Pixel32(s, 2, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(Pixel32(s, 1, 1), 0x00112233u); // outside the blit
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_NODC);
}

TEST_F(DDrawSurfaceTest, FormatsWithoutAGdiLayoutHaveNoDeviceContext)
{
    const DDPIXELFORMAT pf = MakeFormat(kFormats[5]); // A4R4G4B4
    IDirectDrawSurface7* s = Make(2, 2, &pf);
    HDC dc = reinterpret_cast<HDC>(1);
    EXPECT_EQ(s->GetDC(&dc), DDERR_CANTCREATEDC);
    EXPECT_EQ(dc, nullptr);
    const DDPIXELFORMAT rgb565 = MakeFormat(kFormats[1]);
    IDirectDrawSurface7* t = Make(2, 2, &rgb565);
    ASSERT_EQ(t->GetDC(&dc), DD_OK);
    EXPECT_EQ(t->ReleaseDC(dc), DD_OK);
}

} // namespace
