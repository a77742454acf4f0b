// Test helpers of the drawing layer: the pixel library and the cosine table published for a test,
// random and patterned images, pixel access, and rectangle comparison.
#pragma once

#include "drawing/drawable.h"
#include "files/pixel_library.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "winapi/clock.h"
#include "winapi/ddraw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace drawing_test {

// Our pixel library (as start-up loads it) and a cosine table, published for one test.
class DrawingEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterPixelLibraryModule());
        m_library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(m_library.get());
        ASSERT_NE(g_pPixelLib, nullptr);
        m_savedCos = g_pCosTable;
        g_pCosTable = &m_cos;
    }
    void TearDown() override
    {
        SetPixelLibrary(nullptr);
        g_pCosTable = m_savedCos;
    }

private:
    std::unique_ptr<CPixelLibrary> m_library;
    CCosTable m_cos;
    CCosTable* m_savedCos = nullptr;
};

// The program clock on the host's virtual clock at `start` for one test: timed tasks are listed at
// that time and then stepped with explicit times.
struct VirtualClockAt {
    explicit VirtualClockAt(uint32_t start)
    {
        InitTimerResolution();
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(start);
    }
    ~VirtualClockAt() { winapi::UseVirtualClock(false); }
};

inline uint32_t Px(const CImage& image, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, image.GetRowAddress(y) + 4 * x, 4);
    return v;
}
inline void SetPx(CImage& image, int x, int y, uint32_t v) { std::memcpy(image.GetRowAddress(y) + 4 * x, &v, 4); }

// An image whose pixels come from a seed: 32-bit with soft alpha (some 0 and 255), or 8-bit
// indexes over a random palette.
inline std::unique_ptr<CImage> RandomImage(int w, int h, int bits, uint32_t seed, uint32_t flags = 0)
{
    auto image = std::make_unique<CImage>();
    EXPECT_EQ(image->Create(w, h, bits, flags), 0);
    std::mt19937 random(seed);
    if (bits == 8) {
        uint32_t palette[256];
        for (uint32_t& p : palette)
            p = random() & 0xFFFFFF;
        image->SetPaletteEntries(palette, 256, 0);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t r = random();
            if (bits == 8) {
                image->GetRowAddress(y)[x] = static_cast<BYTE>(r);
            } else {
                const uint32_t pick = r >> 29;
                const uint32_t alpha = pick == 0 ? 0 : pick == 1 ? 255 : (r >> 8 & 255);
                SetPx(*image, x, y, alpha << 24 | (random() & 0xFFFFFF));
            }
        }
    image->SetChanged(false);
    if (image->GetUpdateRegion())
        image->GetUpdateRegion()->Reset();
    return image;
}

inline bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The first differing pixel of two equal-sized 32-bit images, or -1.
inline long FirstDifference(const CImage& a, const CImage& b)
{
    for (int y = 0; y < a.GetHeight(); ++y)
        if (std::memcmp(a.GetRowAddress(y), b.GetRowAddress(y), static_cast<size_t>(a.GetWidth()) * 4) != 0)
            for (int x = 0; x < a.GetWidth(); ++x)
                if (Px(a, x, y) != Px(b, x, y))
                    return static_cast<long>(y) * a.GetWidth() + x;
    return -1;
}

// DirectDraw memory surfaces of any RGB format, released with the set.
class SurfaceSet {
public:
    SurfaceSet() { EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr), DD_OK); }
    ~SurfaceSet()
    {
        for (auto* s : m_surfaces)
            s->Release();
        m_dd->Release();
    }
    IDirectDrawSurface7* Make(LONG w, LONG h, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = static_cast<DWORD>(w);
        d.dwHeight = static_cast<DWORD>(h);
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
        d.ddpfPixelFormat.dwRGBBitCount = bits;
        d.ddpfPixelFormat.dwRBitMask = r;
        d.ddpfPixelFormat.dwGBitMask = g;
        d.ddpfPixelFormat.dwBBitMask = b;
        d.ddpfPixelFormat.dwRGBAlphaBitMask = a;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(m_dd->CreateSurface(&d, &s, nullptr), DD_OK);
        m_surfaces.push_back(s);
        return s;
    }
    static std::vector<BYTE> Bytes(IDirectDrawSurface7* s, int bytesPerPixel)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        std::vector<BYTE> out;
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y) {
            const BYTE* row = static_cast<BYTE*>(d.lpSurface) + y * static_cast<DWORD>(d.lPitch);
            out.insert(out.end(), row, row + d.dwWidth * static_cast<DWORD>(bytesPerPixel));
        }
        s->Unlock(nullptr);
        return out;
    }

private:
    IDirectDraw7* m_dd = nullptr;
    std::vector<IDirectDrawSurface7*> m_surfaces;
};

} // namespace drawing_test
