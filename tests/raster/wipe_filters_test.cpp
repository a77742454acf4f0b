// The filter entries over the drawn picture in device-blit mode: mosaic and negative in the
// locked destination, in the destination's own pixel format and inside the locked surface, and
// the answers when the surface cannot be locked or unlocked.
#include "wipe_test_util.h"

#include "op_test_util.h"
#include "raster/blur_ops.h"
#include "raster/fill_ops.h"
#include "winapi/simd_level.h"

#include <cstdlib>

namespace {

using namespace wipetest;

constexpr LONG kSw = 53, kSh = 37, kDw = 64, kDh = 48, kX = 5, kY = 4;

// A destination surface that forwards to a real one but can refuse Lock or Unlock.
class RefusingSurface final : public IDirectDrawSurface7 {
public:
    RefusingSurface(IDirectDrawSurface7* real, bool refuseLock, bool refuseUnlock)
        : m_real(real), m_refuseLock(refuseLock), m_refuseUnlock(refuseUnlock)
    {}
    ~RefusingSurface() = default;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Blt(LPRECT d, IDirectDrawSurface7* s, LPRECT r, DWORD f, LPDDBLTFX fx) override
    {
        return m_real->Blt(d, s, r, f, fx);
    }
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* s, LPRECT r, DWORD f) override
    {
        return m_real->BltFast(x, y, s, r, f);
    }
    HRESULT GetColorKey(DWORD f, LPDDCOLORKEY k) override { return m_real->GetColorKey(f, k); }
    HRESULT SetColorKey(DWORD f, LPDDCOLORKEY k) override { return m_real->SetColorKey(f, k); }
    HRESULT GetDC(HDC* dc) override { return m_real->GetDC(dc); }
    HRESULT ReleaseDC(HDC dc) override { return m_real->ReleaseDC(dc); }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT f) override { return m_real->GetPixelFormat(f); }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 d) override { return m_real->GetSurfaceDesc(d); }
    HRESULT Lock(LPRECT r, LPDDSURFACEDESC2 d, DWORD f, HANDLE e) override
    {
        return m_refuseLock ? DDERR_SURFACEBUSY : m_real->Lock(r, d, f, e);
    }
    HRESULT Unlock(LPRECT r) override
    {
        const HRESULT hr = m_real->Unlock(r);
        return m_refuseUnlock ? DDERR_NOTLOCKED : hr;
    }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }
    HRESULT GetCaps(LPDDSCAPS2 c) override { return m_real->GetCaps(c); }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER c) override { return m_real->SetClipper(c); }
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* c) override { return m_real->GetClipper(c); }
    HRESULT GetAttachedSurface(LPDDSCAPS2 c, IDirectDrawSurface7** s) override { return m_real->GetAttachedSurface(c, s); }
    HRESULT AddAttachedSurface(IDirectDrawSurface7* s) override { return m_real->AddAttachedSurface(s); }
    HRESULT GetDDInterface(LPVOID* out) override { return m_real->GetDDInterface(out); }
    HRESULT Flip(IDirectDrawSurface7* t, DWORD f) override { return m_real->Flip(t, f); }

private:
    IDirectDrawSurface7* m_real;
    bool m_refuseLock;
    bool m_refuseUnlock;
};

class WipeFilterTest : public WipeTest {
protected:
    void SetUp() override
    {
        WipeTest::SetUp();
        m_src = MakeSource(kSw, kSh);
        m_blank = MakeDestination(kDw, kDh);
        m_dstSurface = m_dev.SurfaceLike(*m_blank);
        m_srcSurface = m_dev.SurfaceLike(*m_src);
    }
    // The destination pixels after entry index at progress in device mode.
    std::vector<uint32_t> Run(int index, int progress, int32_t* result)
    {
        TestDeviceImage dst(m_dstSurface);
        TestDeviceImage src(m_srcSurface);
        *result = DrawTransition(index, &dst, &src, progress, kX, kY, 0, nullptr);
        return DeviceSet::Read(m_dstSurface);
    }
    static bool InPicture(LONG i, LONG j) { return i >= kX && j >= kY && i < kX + kSw && j < kY + kSh; }

    DeviceSet m_dev;
    std::unique_ptr<CImage> m_src;
    std::unique_ptr<CImage> m_blank;
    IDirectDrawSurface7* m_dstSurface = nullptr;
    IDirectDrawSurface7* m_srcSurface = nullptr;
};

TEST_F(WipeFilterTest, NegativeFlashInvertsTheColourOfThePicture)
{
    for (int progress : {1, 255}) {
        DeviceSet::Load(m_dstSurface, *m_blank);
        int32_t result = -99;
        const auto pixels = Run(70, progress, &result);
        EXPECT_EQ(result, 0);
        for (LONG j = 0; j < kDh; ++j)
            for (LONG i = 0; i < kDw; ++i)
                EXPECT_EQ(pixels[static_cast<size_t>(j * kDw + i)],
                          InPicture(i, j) ? SourcePixel(i - kX, j - kY) ^ 0x00FFFFFFu : kOld);
    }
    DeviceSet::Load(m_dstSurface, *m_blank);
    int32_t result = -99;
    const auto plain = Run(70, 256, &result);
    EXPECT_EQ(plain[static_cast<size_t>(kY * kDw + kX)], SourcePixel(0, 0));
}

TEST_F(WipeFilterTest, MosaicBlocksShrinkWithProgress)
{
    int32_t result = -99;
    // p = 1: blocks of 64, larger than the picture: one block of its top-left pixel.
    auto pixels = Run(68, 1, &result);
    EXPECT_EQ(result, 0);
    for (LONG j = kY; j < kY + kSh; ++j)
        for (LONG i = kX; i < kX + kSw; ++i)
            ASSERT_EQ(pixels[static_cast<size_t>(j * kDw + i)], SourcePixel(0, 0));
    // p = 200: blocks of 14 from the picture's top-left corner.
    DeviceSet::Load(m_dstSurface, *m_blank);
    pixels = Run(69, 200, &result);
    EXPECT_EQ(result, 0);
    for (LONG j = 0; j < kSh; ++j)
        for (LONG i = 0; i < kSw; ++i)
            ASSERT_EQ(pixels[static_cast<size_t>((j + kY) * kDw + i + kX)],
                      SourcePixel(i - i % 14, j - j % 14));
    // p = 252 and on: blocks of one, the picture unchanged.
    DeviceSet::Load(m_dstSurface, *m_blank);
    pixels = Run(68, 252, &result);
    EXPECT_EQ(pixels[static_cast<size_t>((kY + 3) * kDw + kX + 7)], SourcePixel(7, 3));
}

TEST_F(WipeFilterTest, LockAndUnlockFailures)
{
    TestDeviceImage src(m_srcSurface);
    {
        RefusingSurface refusing(m_dstSurface, true, false);
        TestDeviceImage dst(&refusing);
        EXPECT_EQ(DrawTransition(69, &dst, &src, 10, kX, kY, 0, nullptr), 3);
        // The plain source is drawn all the same.
        const auto pixels = DeviceSet::Read(m_dstSurface);
        EXPECT_EQ(pixels[static_cast<size_t>((kY + 20) * kDw + kX + 30)], SourcePixel(30, 20));
    }
    {
        RefusingSurface refusing(m_dstSurface, false, true);
        TestDeviceImage dst(&refusing);
        EXPECT_EQ(DrawTransition(70, &dst, &src, 10, kX, kY, 0, nullptr), 4);
    }
}

TEST_F(WipeFilterTest, FiltersUseTheDestinationFormatAndStayInsideIt)
{
    // A 16-bit destination while the source says it is 32-bit: the filter must step two bytes a
    // pixel (the source's code would run four bytes a pixel past the locked rows).

    IDirectDrawSurface7* dst16 = nullptr;
    IDirectDrawSurface7* src16 = nullptr;
    IDirectDraw7* dd = nullptr;
    ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
    for (IDirectDrawSurface7** s : {&dst16, &src16}) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = s == &dst16 ? 20 : 8;
        d.dwHeight = s == &dst16 ? 10 : 6;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB;
        d.ddpfPixelFormat.dwRGBBitCount = 16;
        d.ddpfPixelFormat.dwRBitMask = 0xF800;
        d.ddpfPixelFormat.dwGBitMask = 0x07E0;
        d.ddpfPixelFormat.dwBBitMask = 0x001F;
        ASSERT_EQ(dd->CreateSurface(&d, s, nullptr), DD_OK);
    }
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x0F0F;
    ASSERT_EQ(src16->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    struct Screen final : CDisplayTarget {
        IDirectDrawSurface7* surface;
        IDirectDrawSurface7* GetTargetSurface() const override { return surface; }
        RECT GetTargetRect() const override { return RECT{-50, -50, 500, 500}; } // past the surface
    } screen;
    screen.surface = dst16;
    TestDeviceImage src(src16); // reports code 32
    EXPECT_EQ(DrawTransition(70, nullptr, &src, 10, 3, 2, 0, &screen), 0);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(dst16->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (LONG j = 0; j < 10; ++j)
        for (LONG i = 0; i < 20; ++i) {
            const uint16_t v =
                reinterpret_cast<const uint16_t*>(static_cast<BYTE*>(d.lpSurface) + j * d.lPitch)[i];
            const bool inside = i >= 3 && i < 11 && j >= 2 && j < 8;
            EXPECT_EQ(v, inside ? 0xF0F0 : 0) << i << "," << j;
        }
    dst16->Unlock(nullptr);
    dst16->Release();
    src16->Release();
    dd->Release();
}

} // namespace

namespace {

using namespace wipetest;

class WipeCrossFadeTest : public WipeTest {};

TEST_F(WipeCrossFadeTest, MixesTowardsTheSourceAndHasNoDeviceForm)
{
    auto src = MakeSource(20, 10);
    int32_t result = -99;
    // Progress 1: source factor 0, the destination unchanged.
    EXPECT_EQ(Step(53, *src, 20, 10, 1, 0, 0, 0, &result), Pixels(*MakeDestination(20, 10)));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Step(53, *src, 20, 10, 1, 0, 0, 1, &result), Pixels(*MakeDestination(20, 10)));
    EXPECT_EQ(result, 0);
    // Progress 255: almost all source (factors 1 and 254 of 255).
    const auto late = Step(53, *src, 20, 10, 255, 0, 0, 0, &result);
    EXPECT_EQ(result, 0);
    for (LONG j = 0; j < 10; ++j)
        for (LONG i = 0; i < 20; ++i) {
            const uint32_t v = late[static_cast<size_t>(j * 20 + i)];
            const uint32_t s = SourcePixel(i, j);
            for (int shift : {0, 8, 16}) {
                const int got = static_cast<int>((v >> shift) & 0xFF),
                          want = static_cast<int>((s >> shift) & 0xFF);
                const int old = static_cast<int>((kOld >> shift) & 0xFF);
                EXPECT_LE(std::abs(got - want), std::abs(old - want) / 64 + 2) << i << "," << j;
            }
        }
    // Device mode: -1 and nothing drawn.
    DeviceSet dev;
    auto blank = MakeDestination(20, 10);
    TestDeviceImage devDst(dev.SurfaceLike(*blank));
    TestDeviceImage devSrc(dev.SurfaceLike(*src));
    EXPECT_EQ(DrawTransition(53, &devDst, &devSrc, 128, 0, 0, 0, nullptr), -1);
    EXPECT_EQ(DeviceSet::Read(devDst.GetDirectDrawSurface()), Pixels(*blank));
}

TEST_F(WipeCrossFadeTest, MemoryFiltersReturnTheirOwnResults)
{
    auto src = MakeSource(20, 10);
    int32_t result = -99;
    // Negative flash on a memory image: the colour inverted inside the picture.
    const auto inverted = Step(70, *src, 24, 12, 30, 2, 1, 0, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(inverted[static_cast<size_t>(1 * 24 + 2)], SourcePixel(0, 0) ^ 0x00FFFFFFu);
    EXPECT_EQ(inverted[0], kOld);
    // An 8-bit destination: the source cannot be drawn and the negative refuses a rectangle there.
    CImage dst8;
    ASSERT_EQ(dst8.Create(24, 12, 8, 0), 0);
    EXPECT_EQ(DrawTransition(70, &dst8, src.get(), 30, 0, 0, 0, nullptr), 2);
}

} // namespace

namespace {

using namespace wipetest;

// A picture of random colours whose alpha is 0, 255 or between, a third each.
std::unique_ptr<CImage> RandomPicture(LONG w, LONG h, uint32_t seed)
{
    auto image = MakeImage(w, h);
    uint32_t v = seed;
    for (LONG j = 0; j < h; ++j)
        for (LONG i = 0; i < w; ++i) {
            v = v * 1103515245u + 12345u;
            const uint32_t alpha = (v >> 8) % 3 == 0 ? 0 : (v >> 8) % 3 == 1 ? 255 : (v >> 24);
            Put(*image, i, j, (alpha << 24) | ((v ^ (v >> 13)) & 0xFFFFFF));
        }
    return image;
}

struct FilterSetUp {
    const char* what;
    LONG x, y;
    bool clip;    // the destination clipped to {3, 2, 40, 27}
    bool srcClip; // the source clipped to {2, 1, 30, 20}
    bool srcKey;
    bool dstKey;
};

// The mosaic and negative entries on memory images draw what drawing the whole source and then
// running the filter over the picture's rectangle draws, in every set-up and at every SIMD level.
TEST_F(WipeCrossFadeTest, MemoryFiltersDrawTheWholeSourceThenTheFilter)
{
    constexpr LONG kW = 37, kH = 23, kDstW = 48, kDstH = 31;
    const FilterSetUp setUps[] = {
        {"inside", 4, 3, false, false, false, false},
        {"cut at left and top", -5, -4, false, false, false, false},
        {"cut at right and bottom", 20, 15, false, false, false, false},
        {"clipped destination", 2, 1, true, false, false, false},
        {"clipped source", 4, 3, false, true, false, false},
        {"keyed source", 4, 3, false, false, true, false},
        {"keyed destination", 4, 3, false, false, false, true},
        {"wholly outside", 60, 3, false, false, false, false},
    };
    const auto src = RandomPicture(kW, kH, 7);
    const auto base = RandomPicture(kDstW, kDstH, 11);
    for (const FilterSetUp& s : setUps)
        for (int index : {68, 69, 70})
            for (int mode : {0, 1})
                for (int progress : {1, 30, 128, 200, 248, 252, 255}) {
                    auto source = MakeImage(kW, kH);
                    ASSERT_EQ(source->CopyFrom(src.get(), 0), 0);
                    if (s.srcClip) {
                        const RECT r{2, 1, 30, 20};
                        source->ClipRectToSize(&r);
                    }
                    if (s.srcKey)
                        source->SetColorKeyAt(3, 2);
                    const auto fresh = [&] {
                        auto d = MakeImage(kDstW, kDstH);
                        EXPECT_EQ(d->CopyFrom(base.get(), 0), 0);
                        if (s.clip) {
                            const RECT r{3, 2, 40, 27};
                            d->ClipRectToSize(&r);
                        }
                        if (s.dstKey)
                            d->SetColorKeyAt(0, 0);
                        return d;
                    };
                    // The whole source, then the filter over its rectangle.
                    auto want = fresh();
                    if (mode == 0)
                        want->Copy(source.get(), s.x, s.y, nullptr, false);
                    else
                        want->BlendAlpha(source.get(), s.x, s.y, nullptr, false);
                    RECT e{s.x, s.y, s.x + kW, s.y + kH};
                    const int block = ((255 - progress) >> 2) + 1;
                    if (index == 70)
                        Invert(*want, 0, &e);
                    else
                        Mosaic(*want, static_cast<DWORD>(block), index == 68 ? 0 : 1, &e);
                    for (SimdLevel level : kAllSimdLevels)
                        for (int simd = 0; simd < 2; ++simd) {
                            ScopedSimdLevel forced(level);
                            op_test::SimdSwitch sw(simd != 0);
                            auto got = fresh();
                            EXPECT_EQ(DrawTransition(index, got.get(), source.get(), progress, s.x, s.y, mode,
                                                     nullptr),
                                      0);
                            ASSERT_EQ(Pixels(*got), Pixels(*want))
                                << s.what << ", entry " << index << ", mode " << mode << ", progress " << progress
                                << ", level " << static_cast<int>(level) << ", simd " << simd;
                        }
                }
}

} // namespace
