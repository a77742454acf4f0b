// The ripple transition: its tables against the formulas, its frames against a per-pixel
// reference, the shared table cache, and the fast kernels against the plain ones.
#include "effect_test_world.h"

#include <cmath>
#include <numbers>
#include <random>

#include "effects/ripple_filter.h"
#include "files/transition_plugin_manager.h"
#include "platform/cpu_info.h"
#include "winapi/simd_level.h"

using namespace effects_test;

namespace {

int32_t RefQuadrant(int32_t r, int32_t c, int32_t n, float aspect)
{
    const double x = c + 0.5, y = (r + 0.5) * double(aspect);
    const int64_t distance = int64_t(std::sqrt(x * x + y * y));
    return int32_t((distance & (n - 1)) << 5) +
           std::min(31, int32_t(std::atan(x / y) * 64 / std::numbers::pi));
}

int32_t RefProfile(int32_t i, int32_t n)
{
    const float inverse = 1.0f / float(n);
    const double t = -2 * std::numbers::pi * i * double(inverse);
    const double s = (std::sin(2 * t - 2.0) * 0.2 + std::sin(t)) * 0.8403361344537815;
    return int32_t(std::round(std::clamp(s * s, -1.0, 1.0) * 2048));
}

// (dx, dy) of a level, ring and angle.
std::pair<int32_t, int32_t> RefShift(int32_t level, int32_t ring, int32_t angle, int32_t n)
{
    const double b = std::numbers::pi / 2 - (angle + 0.5) * std::numbers::pi / 64;
    const int32_t c = int32_t(std::round(std::cos(b) * 2048)), s = int32_t(std::round(std::sin(b) * 2048));
    const int32_t m = (RefProfile(ring % n, n) * (level * 256)) >> 10;
    return {int8_t((c * m) >> 22), int8_t((s * m) >> 22)};
}

int32_t Mirror(int32_t v, int32_t size)
{
    if (v < 0)
        v = -v;
    else if (v >= size)
        v = 2 * size - v - 1;
    return std::clamp(v, 0, size - 1);
}

uint32_t RefMix(uint32_t o, uint32_t n, int32_t opacity)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int32_t a = int32_t(o >> shift & 255), b = int32_t(n >> shift & 255);
        out |= uint32_t(a + ((b - a) * opacity >> 8)) << shift;
    }
    return out;
}

struct RippleWorld {
    explicit RippleWorld(LONG w = 61, LONG h = 45)
    {
        EXPECT_EQ(front.Create(w, h, 32, 1), 0);
        EXPECT_EQ(back.Create(w, h, 32, 1), 0);
        EXPECT_EQ(front.SetBackCanvas(&back), 0);
        std::mt19937 random(5);
        for (CSurfaceSprite* canvas : {&front, &back})
            for (LONG y = 0; y < h; ++y)
                for (LONG x = 0; x < w; ++x)
                    reinterpret_cast<uint32_t*>(canvas->GetImage()->GetRowAddress(y))[x] = random();
        RegisterRows(registry, HostFilterRows());
    }
    ~RippleWorld() { registry.UnloadAll(); }

    CRippleFilter* Make(const CEffectArgs& args)
    {
        return static_cast<CRippleFilter*>(registry.CreateObject(&front, "ripple", args));
    }

    // The frame drawn in bands of `band` rows.
    std::vector<uint32_t> Frame(CRippleFilter& ripple, LONG band)
    {
        CImage* old = front.GetImage();
        const LONG w = old->GetWidth(), h = old->GetHeight();
        CImage out;
        EXPECT_EQ(out.Create(w, h, 32, 0), 0);
        for (LONG y = 0; y < h; y += band)
            EXPECT_EQ(ripple.Draw(FilterJob{0, y, w, std::min(band, h - y), &out, 0, y, old, 0, y,
                                            back.GetImage(), 0, y}),
                      0);
        std::vector<uint32_t> pixels;
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x)
                pixels.push_back(PixelAt(out, x, y));
        return pixels;
    }

    std::vector<uint32_t> Reference(const CRippleFilter& r)
    {
        const CImage& old = *front.GetImage();
        const CImage& fresh = *back.GetImage();
        const LONG w = old.GetWidth(), h = old.GetHeight();
        std::vector<uint32_t> pixels;
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x) {
                const int32_t qr = y < r.CentreY() ? r.CentreY() - y - 1 : y - r.CentreY();
                const bool right = x >= r.CentreX();
                const int32_t qc = right ? x - r.CentreX() : r.CentreX() - x - 1;
                const int32_t entry = RefQuadrant(qr, qc, r.Rings(), r.Aspect());
                const auto [dx, dy] = RefShift(r.Level(), (entry >> 5) + r.Phase(), entry & 31, r.Rings());
                const int32_t sx = Mirror(right ? x - dx : x + dx, w), sy = Mirror(y + dy, h);
                pixels.push_back(RefMix(PixelAt(old, sx, sy), PixelAt(fresh, sx, sy), r.Opacity()));
            }
        return pixels;
    }

    VirtualClock clock;
    CSurfaceSprite front;
    CSurfaceSprite back;
    CTransitionPluginManager registry;
};

struct Owned {
    explicit Owned(CRippleFilter* f) : filter(f) {}
    ~Owned()
    {
        if (filter)
            filter->Release();
    }
    CRippleFilter* filter;
};

} // namespace

TEST(Ripple, DefaultsAndWordChecks)
{
    RippleWorld world;
    Owned plain(world.Make(CEffectArgs::Of(1, -1, -1, 7, nullptr, nullptr, 0)));
    ASSERT_NE(plain.filter, nullptr);
    EXPECT_EQ(plain.filter->Duration(), 2u);
    EXPECT_EQ(plain.filter->CentreX(), 30);
    EXPECT_EQ(plain.filter->CentreY(), 22);
    EXPECT_EQ(plain.filter->Rings(), 16);
    EXPECT_EQ(plain.filter->Aspect(), 1.0f);
    EXPECT_EQ(plain.filter->Speed(), 6.0f);
    EXPECT_EQ(plain.filter->Amplitude(), 24);
    // Past the edge: the last pixel; texts read without the locale; non-finite values fall back.
    Owned edge(world.Make(CEffectArgs::Of(500, 1000, 45, 128, "1e300", "inf", 999)));
    ASSERT_NE(edge.filter, nullptr);
    EXPECT_EQ(edge.filter->CentreX(), 60);
    EXPECT_EQ(edge.filter->CentreY(), 44);
    EXPECT_EQ(edge.filter->Rings(), 128);
    EXPECT_EQ(edge.filter->Aspect(), 1.0f);
    EXPECT_EQ(edge.filter->Speed(), 6.0f);
    EXPECT_EQ(edge.filter->Amplitude(), 127);
    Owned texts(world.Make(CEffectArgs::Of(500, 3, 4, 32, "0.5", "-2.5", 10)));
    EXPECT_EQ(texts.filter->Aspect(), 0.5f);
    EXPECT_EQ(texts.filter->Speed(), -2.5f);
    EXPECT_EQ(world.Make(CEffectArgs::Of(0)), nullptr);
}

TEST(Ripple, TablesFollowTheFormulas)
{
    for (int32_t n : {16, 32, 64, 128})
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(RippleProfile(i, n), RefProfile(i, n)) << n << " " << i;
    for (int32_t a = 0; a < 32; ++a) {
        const double b = std::numbers::pi / 2 - (a + 0.5) * std::numbers::pi / 64;
        EXPECT_EQ(RippleAngleCos(a), int32_t(std::round(std::cos(b) * 2048)));
        EXPECT_EQ(RippleAngleSin(a), int32_t(std::round(std::sin(b) * 2048)));
    }
    for (float aspect : {1.0f, 0.75f, 2.5f})
        for (int32_t r = 0; r < 40; r += 3)
            for (int32_t c = 0; c < 40; c += 3)
                ASSERT_EQ(RippleQuadrantEntry(r, c, 32, aspect), RefQuadrant(r, c, 32, aspect));
    // A tiny aspect keeps the angle within its five bits.
    EXPECT_EQ(RippleQuadrantEntry(0, 5, 16, 1e-30f) & 31, 31);
    EXPECT_LT(RippleQuadrantEntry(0, 5, 16, 1e-30f) >> 5, 16);

    RippleWorld world;
    Owned ripple(world.Make(CEffectArgs::Of(500, 10, 40, 32, "0.75", nullptr, 9)));
    const RippleTables& t = *ripple.filter->Tables();
    EXPECT_EQ(t.quadrantWidth, 51);
    EXPECT_EQ(t.quadrantHeight, 40);
    EXPECT_EQ(t.displacement.size(), size_t(4 * 9 * 2 * 32 * 32));
    for (int32_t level : {0, 1, 17, 35})
        for (int32_t ring = 0; ring < 64; ring += 5)
            for (int32_t angle = 0; angle < 32; angle += 7) {
                const uint16_t entry = t.displacement[(size_t(level) * 64 + ring) * 32 + angle];
                const auto [dx, dy] = RefShift(level, ring, angle, 32);
                ASSERT_EQ(int8_t(entry >> 8), dx);
                ASSERT_EQ(int8_t(entry & 255), dy);
            }
}

TEST(Ripple, FramesEqualThePerPixelReference)
{
    const uint8_t savedMmx = g_bUseMmx;
    // With the SIMD switch off (plain kernels) and on; a canvas wide enough to be drawn in
    // several strips of columns, the centre and the margins inside strips.
    for (uint8_t mmx : {0, 1})
        for (const auto& [width, height] : {std::pair<LONG, LONG>{61, 45}, {301, 37}}) {
            g_bUseMmx = mmx;
            for (const CEffectArgs& args : {CEffectArgs::Of(800, -1, -1, 16, nullptr, nullptr, 24),
                                            CEffectArgs::Of(800, 0, 0, 64, "1.3", "11", 60),
                                            CEffectArgs::Of(800, 60, 44, 32, "0.6", "3", 127),
                                            CEffectArgs::Of(800, 200, 7, 16, "1.7", "5", 40)}) {
                RippleWorld world(width, height);
                Owned ripple(world.Make(args));
                ASSERT_NE(ripple.filter, nullptr);
                ASSERT_EQ(ripple.filter->Step(5000), 0);
                EXPECT_EQ(ripple.filter->Level(), 0);
                EXPECT_EQ(world.Frame(*ripple.filter, 45), world.Reference(*ripple.filter));
                for (uint32_t at : {100u, 400u, 555u, 800u}) {
                    SCOPED_TRACE(at);
                    ASSERT_EQ(ripple.filter->Step(5000 + at), 0);
                    const int32_t level = ripple.filter->Level();
                    EXPECT_EQ(level, std::clamp(int32_t(std::sin(std::numbers::pi * at / 800) *
                                                        ripple.filter->Amplitude() * 4.0),
                                                0, 4 * ripple.filter->Amplitude() - 1));
                    EXPECT_EQ(ripple.filter->Margin() % 2, 0);
                    EXPECT_GT(ripple.filter->Margin(), level / 4);
                    const auto reference = world.Reference(*ripple.filter);
                    EXPECT_EQ(world.Frame(*ripple.filter, 45), reference);
                    EXPECT_EQ(world.Frame(*ripple.filter, 8), reference);
                }
                EXPECT_EQ(ripple.filter->Level(), 0);
                EXPECT_NE(ripple.filter->IsDone(), 0);
            }
        }
    g_bUseMmx = savedMmx;
}

TEST(Ripple, PhaseStaysInRangeForAnySpeed)
{
    RippleWorld world;
    for (const char* speed : {"1e30", "-1e30", "3.4e38", "0"}) {
        Owned ripple(world.Make(CEffectArgs::Of(800, -1, -1, 16, nullptr, speed, 24)));
        ASSERT_EQ(ripple.filter->Step(0), 0);
        for (uint32_t at : {1u, 400u, 0xFFFFFFFFu}) {
            ASSERT_EQ(ripple.filter->Step(at), 0);
            EXPECT_GE(ripple.filter->Phase(), 0);
            EXPECT_LT(ripple.filter->Phase(), 16);
        }
    }
}

TEST(Ripple, CacheKeepsFourGeometriesAndTeardownEmptiesIt)
{
    RippleWorld world;
    std::vector<const RippleTables*> made;
    for (int centre = 0; centre < 4; ++centre) {
        Owned ripple(world.Make(CEffectArgs::Of(500, centre, 3, 16, nullptr, nullptr, 4)));
        made.push_back(ripple.filter->Tables());
    }
    EXPECT_EQ(RippleCacheSlot(0), made[3]);
    EXPECT_EQ(RippleCacheSlot(3), made[0]);
    // A hit moves its record to the front; a fifth geometry evicts the least recent.
    Owned again(world.Make(CEffectArgs::Of(500, 0, 3, 16, nullptr, nullptr, 4)));
    EXPECT_EQ(again.filter->Tables(), made[0]);
    EXPECT_EQ(RippleCacheSlot(0), made[0]);
    EXPECT_EQ(RippleCacheSlot(3), made[1]);
    Owned fifth(world.Make(CEffectArgs::Of(500, 9, 9, 16, nullptr, nullptr, 4)));
    EXPECT_EQ(RippleCacheSlot(0), fifth.filter->Tables());
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(RippleCacheSlot(i), made[1]);
    // A corner centre makes the quadrant table as large as the picture.
    Owned corner(world.Make(CEffectArgs::Of(500, 0, 0, 16, nullptr, nullptr, 4)));
    EXPECT_EQ(corner.filter->Tables()->quadrantWidth, 61);
    EXPECT_EQ(corner.filter->Tables()->quadrantHeight, 45);
    world.registry.UnloadAll();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RippleCacheSlot(i), nullptr);
    // Objects still holding a record keep it alive after the teardown.
    EXPECT_EQ(corner.filter->Tables()->quadrantWidth, 61);
}

TEST(Ripple, KernelsOfEverySimdLevelEqualThePlainOnes)
{
    std::mt19937 random(17);
    const RippleKernels plain = RipplePlainKernels();
    auto shift = [&] { return uint8_t(int8_t(int(random() % 5) - 2)); };
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 33; ++w)
        widths.push_back(w);
    // Runs longer than the fast kernels' stretch of read pixels.
    widths.insert(widths.end(), {255, 256, 300, 777});
    const uint8_t savedMmx = g_bUseMmx;
    g_bUseMmx = 1;
    for (SimdLevel level : kAllSimdLevels) {
        ScopedSimdLevel forced(level);
        SCOPED_TRACE(int(ActiveSimdLevel()));
        const RippleKernels fast = RippleActiveKernels();
        for (int32_t inner : widths) {
            // Two columns and rows of margin round the inner runs, whose shifts stay within 2.
            const int32_t width = inner + 4, height = 9;
            // The new picture's rows lie further apart, so each picture's pitch must be its own.
            const int32_t freshAcross = width + 3;
            std::vector<uint32_t> old(size_t(width) * height), fresh(size_t(freshAcross) * height);
            for (auto& p : old)
                p = random();
            for (auto& p : fresh)
                p = random();
            std::vector<uint16_t> quad(size_t(width) * 2);
            std::vector<uint16_t> displacement(256 * 32);
            std::vector<int32_t> offsets(displacement.size());
            for (auto& q : quad)
                q = uint16_t(random() % (256 * 32));
            for (int which = 0; which < 4; ++which) {
                const bool forward = which % 2 == 0, border = which >= 2;
                for (size_t e = 0; e < displacement.size(); ++e) {
                    displacement[e] = border ? uint16_t(random()) : uint16_t(shift() << 8 | shift());
                    const int32_t dx = int8_t(displacement[e] >> 8), dy = int8_t(displacement[e] & 0xFF);
                    offsets[e] = dy * width + (forward ? -dx : dx);
                }
                for (int32_t y = border ? 0 : 2; y < (border ? height : height - 2); ++y) {
                    for (bool withOffsets : {true, false}) {
                        RippleRun run{};
                        const int32_t x = border ? 0 : 2, count = border ? width : inner;
                        std::vector<uint32_t> a(static_cast<size_t>(count)), b(static_cast<size_t>(count));
                        run.oldBits = reinterpret_cast<const uint8_t*>(old.data());
                        run.newBits = reinterpret_cast<const uint8_t*>(fresh.data());
                        run.oldPitch = width * 4;
                        run.newPitch = withOffsets ? width * 4 : freshAcross * 4;
                        run.quad = forward ? quad.data() : quad.data() + count;
                        run.displacement = displacement.data();
                        run.offsets = withOffsets && !border ? offsets.data() : nullptr;
                        run.x = x;
                        run.y = y;
                        run.count = count;
                        run.opacity = int32_t(random() % 256);
                        run.width = width;
                        run.height = height;
                        RippleKernel p[] = {plain.forward, plain.mirrored, plain.borderForward,
                                            plain.borderMirrored};
                        RippleKernel f[] = {fast.forward, fast.mirrored, fast.borderForward,
                                            fast.borderMirrored};
                        run.dst = a.data();
                        p[which](run);
                        run.dst = b.data();
                        f[which](run);
                        ASSERT_EQ(a, b) << inner << " " << which << " " << y << " " << withOffsets;
                    }
                }
            }
        }
    }
    g_bUseMmx = savedMmx;
}

TEST(Ripple, ShiftsLargerThanThePictureStayOnIt)
{
    // Amplitude 127 on a few pixels: the mirrored position still lies outside, so it is held on
    // the picture.
    for (const auto& [w, h] : {std::pair<LONG, LONG>{3, 2}, {1, 1}, {7, 5}}) {
        RippleWorld world(w, h);
        Owned ripple(world.Make(CEffectArgs::Of(800, -1, -1, 128, "0.3", "9", 127)));
        ASSERT_NE(ripple.filter, nullptr);
        ASSERT_EQ(ripple.filter->Step(0), 0);
        ASSERT_EQ(ripple.filter->Step(400), 0);
        EXPECT_EQ(ripple.filter->Level(), 507);
        EXPECT_EQ(world.Frame(*ripple.filter, 1), world.Reference(*ripple.filter));
    }
}
