// Fixtures of the wipe tests: pictures whose every pixel names its own position, a sentinel
// destination, device surfaces over DirectDraw memory surfaces, a fixed random seed and the
// cosine table.
#pragma once

#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/random.h"
#include "raster/device_surface.h"
#include "raster/draw_transition.h"
#include "authoring/memory_device_image.h"
#include "raster/image.h"
#include "winapi/ddraw.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace wipetest {

// A destination pixel nothing of the source can equal (source colours are (row << 12) | column).
constexpr uint32_t kOld = 0x00ABCDEFu;
constexpr uint32_t kSeed = 20261209;

inline uint32_t SourcePixel(LONG i, LONG j)
{
    return 0xFF000000u | (static_cast<uint32_t>(j) << 12) | static_cast<uint32_t>(i);
}

inline std::unique_ptr<CImage> MakeImage(LONG w, LONG h, uint32_t flags = 0)
{
    auto image = std::make_unique<CImage>();
    EXPECT_EQ(image->Create(w, h, 32, flags), 0);
    return image;
}

inline uint32_t At(const CSurface& s, LONG i, LONG j)
{
    uint32_t v;
    std::memcpy(&v, s.GetRowPointer(j) + i * 4, 4);
    return v;
}

inline void Put(CSurface& s, LONG i, LONG j, uint32_t v)
{
    std::memcpy(s.GetRowPointer(j) + i * 4, &v, 4);
}

// A tracked copy of a picture, for a step to draw on.
inline std::unique_ptr<CImage> TrackedCopy(const CImage& start)
{
    auto image = MakeImage(start.GetWidth(), start.GetHeight(), kImageWithTracker);
    for (LONG j = 0; j < start.GetHeight(); ++j)
        for (LONG i = 0; i < start.GetWidth(); ++i)
            Put(*image, i, j, At(start, i, j));
    return image;
}

// Runs body at every SIMD level, with the raster's SIMD switch off and then on; the switch is
// restored after.
template <typename Body> void AtEverySimdSetting(Body body)
{
    const uint8_t saved = g_bUseMmx;
    for (bool on : {false, true})
        for (SimdLevel level : kAllSimdLevels) {
            g_bUseMmx = on ? 1 : 0;
            ScopedSimdLevel scoped(level);
            body();
        }
    g_bUseMmx = saved;
}

// Random colours under alpha that is clear, opaque or soft in about equal shares.
inline std::unique_ptr<CImage> NoisyImage(std::mt19937& rng, LONG w, LONG h, uint32_t flags = 0)
{
    auto image = MakeImage(w, h, flags);
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i) {
            const uint32_t v = rng();
            const uint32_t alpha = v % 4 == 0 ? 0u : v % 4 == 1 ? 0xFF000000u : (v << 8) & 0xFF000000u;
            Put(*image, i, j, (v & 0x00FFFFFFu) | alpha);
        }
    return image;
}

// A noisy sw x sh source, keyed on its first pixel where asked, and one time in four clipped to a
// random rectangle reaching its bottom right corner.
inline std::unique_ptr<CImage> RandomSource(std::mt19937& rng, LONG sw, LONG sh, bool keyed)
{
    auto src = NoisyImage(rng, sw, sh);
    if (keyed)
        src->SetColorKeyValue(At(*src, 0, 0));
    if (rng() % 4 == 0) {
        const RECT from{static_cast<LONG>(rng() % sw), static_cast<LONG>(rng() % sh), sw, sh};
        src->ClipRectToSize(&from);
    }
    return src;
}

// A random clip within a dw x dh destination, its right and bottom edges up to two pixels in.
inline RECT RandomClip(std::mt19937& rng, LONG dw, LONG dh)
{
    return RECT{static_cast<LONG>(rng() % dw), static_cast<LONG>(rng() % dh), dw - static_cast<LONG>(rng() % 3),
                dh - static_cast<LONG>(rng() % 3)};
}

inline std::unique_ptr<CImage> MakeSource(LONG w, LONG h)
{
    auto image = MakeImage(w, h);
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i)
            Put(*image, i, j, SourcePixel(i, j));
    return image;
}

inline std::unique_ptr<CImage> MakeDestination(LONG w, LONG h, uint32_t flags = 0)
{
    auto image = MakeImage(w, h, flags);
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i)
            Put(*image, i, j, kOld);
    return image;
}

inline std::vector<uint32_t> Pixels(const CSurface& s)
{
    std::vector<uint32_t> out;
    for (LONG j = 0; j < s.GetHeight(); ++j)
        for (LONG i = 0; i < s.GetWidth(); ++i)
            out.push_back(At(s, i, j));
    return out;
}

inline uint64_t Hash(const std::vector<uint32_t>& pixels, uint64_t h = 1469598103934665603ull)
{
    for (uint32_t v : pixels)
        for (int b = 0; b < 4; ++b) {
            h ^= (v >> (8 * b)) & 0xFF;
            h *= 1099511628211ull;
        }
    return h;
}

// A source placed on a destination at (x, y), each picture clipped or not.
struct PlacedCase {
    LONG sw, sh; // source
    LONG dw, dh; // destination
    int32_t x, y;
    bool clipSource, clipDestination;
};

// Placements for the row kernels: short and long rows, clipped pictures, and rows across each
// edge of the destination.
inline const std::vector<PlacedCase> kRowPlacements = {
    {40, 12, 40, 12, 0, 0, false, false},   // in place, rows shorter than a few lines
    {300, 9, 300, 9, 0, 0, false, false},   // rows of several lines
    {300, 9, 320, 14, 7, 3, true, false},   // clipped source
    {257, 7, 250, 9, -20, 1, false, true},  // across the left edge, clipped destination
    {333, 6, 300, 8, 40, -2, true, true},   // across the right and top edges
    {17, 5, 19, 5, 1, 0, false, false},     // rows of about one register
    {500, 3, 40, 3, -200, 0, false, false}, // far wider than the destination
};

// What a step left: the pixels and the bounds of the update region.
struct Drawn {
    std::vector<uint32_t> pixels;
    RECT changed;
};

inline bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The case's noisy source, clipped as the case says.
inline std::unique_ptr<CImage> PlacedSource(std::mt19937& rng, const PlacedCase& k)
{
    auto src = NoisyImage(rng, k.sw, k.sh);
    if (k.clipSource) {
        const RECT from{2, 1, k.sw - 3, k.sh};
        src->ClipRectToSize(&from);
    }
    return src;
}

// A tracked copy of start, clipped as the case says.
inline std::unique_ptr<CImage> PlacedStart(const PlacedCase& k, const CImage& start)
{
    auto dst = TrackedCopy(start);
    if (k.clipDestination) {
        const RECT clip{3, 2, k.dw - 5, k.dh - 1};
        dst->ClipRectToSize(&clip);
    }
    return dst;
}

// The cosine table and a fixed random sequence for every test.
class WipeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedCos = g_pCosTable;
        g_pCosTable = &m_cos;
        Reseed();
    }
    void TearDown() override { g_pCosTable = m_savedCos; }
    static void Reseed() { SeedSubtractiveRandom(g_RandomState, static_cast<int32_t>(kSeed)); }

    // One step on a fresh sentinel destination, reseeded first.
    std::vector<uint32_t> Step(int index, const CImage& src, LONG dw, LONG dh, int progress, LONG x, LONG y,
                               int mode, int32_t* result = nullptr)
    {
        auto dst = MakeDestination(dw, dh);
        Reseed();
        const int32_t r =
            DrawTransition(index, dst.get(), const_cast<CImage*>(&src), progress, x, y, mode, nullptr);
        if (result)
            *result = r;
        return Pixels(*dst);
    }

    // Entry `index` on a copy of start placed as the case says, reseeded first.
    static Drawn DrawPlaced(int index, const PlacedCase& k, const CImage& start, const CImage& src,
                            int32_t progress, int32_t mode)
    {
        auto dst = PlacedStart(k, start);
        Reseed();
        DrawTransition(index, dst.get(), const_cast<CImage*>(&src), progress, k.x, k.y, mode, nullptr);
        return Drawn{Pixels(*dst), dst->GetUpdateRegion()->Bounds()};
    }

    // Each entry on each case, both modes, at each progress: the same pixels and bounds at every
    // SIMD setting, with the 512-bit twins on and off, as the plain drawing.
    void ExpectWideRowsMatchPlain(uint32_t seed, const std::vector<PlacedCase>& cases, const std::vector<int>& entries,
                                  const std::vector<int32_t>& progresses)
    {
        std::mt19937 rng(seed);
        for (const PlacedCase& k : cases) {
            auto src = PlacedSource(rng, k);
            auto start = NoisyImage(rng, k.dw, k.dh, kImageWithTracker);
            for (int index : entries)
                for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha})
                    for (int32_t progress : progresses) {
                        Drawn plain;
                        {
                            ScopedAvx512 narrow(false);
                            ScopedSimdLevel level(SimdLevel::Plain);
                            plain = DrawPlaced(index, k, *start, *src, progress, mode);
                        }
                        AtEverySimdSetting([&] {
                            for (bool wide : {false, true}) {
                                ScopedAvx512 twins(wide);
                                const Drawn got = DrawPlaced(index, k, *start, *src, progress, mode);
                                ASSERT_EQ(got.pixels, plain.pixels)
                                    << "entry " << index << ", " << k.sw << "x" << k.sh << " on " << k.dw << "x"
                                    << k.dh << " at " << k.x << ", " << k.y << ", mode " << mode << ", progress "
                                    << progress << (wide ? ", 512-bit" : "");
                                EXPECT_TRUE(SameRect(got.changed, plain.changed)) << "entry " << index;
                            }
                        });
                        if (HasFatalFailure())
                            return;
                    }
        }
    }

    CCosTable m_cos;
    CCosTable* m_savedCos = nullptr;
};

// A DirectDraw image (surface kind 0) over a memory DirectDraw surface.
using TestDeviceImage = CMemoryDeviceImage;

// DirectDraw and its surfaces for one test.
class DeviceSet {
public:
    DeviceSet()
    {
        EXPECT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&m_dd), IID_IDirectDraw7, nullptr),
                  DD_OK);
    }
    ~DeviceSet()
    {
        for (auto* s : m_surfaces)
            s->Release();
        m_dd->Release();
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;

    // A 32-bit surface holding the pixels of image.
    IDirectDrawSurface7* SurfaceLike(const CImage& image)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = static_cast<DWORD>(image.GetWidth());
        d.dwHeight = static_cast<DWORD>(image.GetHeight());
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(m_dd->CreateSurface(&d, &s, nullptr), DD_OK);
        m_surfaces.push_back(s);
        Load(s, image);
        return s;
    }
    static void Load(IDirectDrawSurface7* s, const CImage& image)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (LONG j = 0; j < image.GetHeight(); ++j)
            std::memcpy(static_cast<BYTE*>(d.lpSurface) + j * d.lPitch, image.GetRowPointer(j),
                        static_cast<size_t>(image.GetWidth()) * 4);
        s->Unlock(nullptr);
    }
    static std::vector<uint32_t> Read(IDirectDrawSurface7* s)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        std::vector<uint32_t> out;
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD j = 0; j < d.dwHeight; ++j)
            for (DWORD i = 0; i < d.dwWidth; ++i) {
                uint32_t v;
                std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + j * d.lPitch + i * 4, 4);
                out.push_back(v);
            }
        s->Unlock(nullptr);
        return out;
    }

private:
    IDirectDraw7* m_dd = nullptr;
    std::vector<IDirectDrawSurface7*> m_surfaces;
};

} // namespace wipetest
