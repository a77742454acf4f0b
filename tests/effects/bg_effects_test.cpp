#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "display/display_objects.h"
#include "drawing/scene.h"
#include "effect_test_world.h"
#include "effects/bg_effects.h"
#include "platform/cos_table.h"
#include "raster/pixel_lib.h"
#include "raster/pixel_lib_ops.h"
#include "winapi/simd_level.h"

namespace {

using effects_test::EffectWorld;

struct BgWorld : EffectWorld {
    BgWorld() : EffectWorld(640, 480, false)
    {
        RegisterRows(registry, GameEffectRows());
        g_pCosTable = &cosines;
    }
    ~BgWorld() { g_pCosTable = nullptr; }
    CScene& Layer() { return *front.GetScene(); }
    // The view rectangle the layer shows as (x, y, w, h); all -1 when it shows the plain picture.
    std::array<LONG, 4> View()
    {
        RECT r;
        if (!Layer().GetBackgroundViewSource(&r))
            return {-1, -1, -1, -1};
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    CCosTable cosines;
};

TEST(BgEffects, GameRowsRegisterTheBuiltEffects)
{
    BgWorld world;
    DWORD parameter = 0;
    EXPECT_EQ(world.registry.FindFactory("bg_zoom", &parameter), &CBgZoomEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_rot", &parameter), &CBgRotEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_loop", &parameter), &CBgLoopEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_rast", &parameter), &CBgRastEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_haze", &parameter), &CBgHazeEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_cross", &parameter), &CBgCrossEffect::Create);
    EXPECT_EQ(world.registry.FindFactory("bg_blur", &parameter), &CBgBlurEffect::Create);
    EXPECT_EQ(world.registry.FindCallbackFunc2("bg_blur"), &ApplyBgBlurDirect);
    EXPECT_EQ(world.registry.FindCallbackFunc2("bg_zoom"), &ApplyBgZoomDirect);
    EXPECT_EQ(RegisterRows(world.registry, GameEffectRows()), 0); // registered again: skipped
}

TEST(BgEffects, ZoomRectangleTable)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        LONG cx, cy;
        double zoom;
        bool ok;
        std::array<LONG, 4> rect;
    } cases[] = {
        {320, 240, 2.0, true, {160, 120, 320, 240}},
        {0, 0, 2.0, true, {0, 0, 320, 240}},         // clamped into the canvas
        {640, 480, 2.0, true, {320, 240, 320, 240}}, // clamped at the far edge
        {100, 100, 0.5, true, {0, 0, 640, 480}},     // wider than the canvas
        {320, 240, 0.0, false, {}},
        {320, 240, -2.0, false, {}},
        {320, 240, 1e-300, false, {}},
        {320, 240, 1e6, false, {}},
        {320, 240, nan, false, {}},
    };
    for (const Case& c : cases) {
        LONG out[4] = {};
        EXPECT_EQ(ComputeBgZoomRect(640, 480, 640, 480, c.cx, c.cy, c.zoom, out), c.ok) << c.zoom;
        if (c.ok) {
            EXPECT_EQ((std::array<LONG, 4>{out[0], out[1], out[2], out[3]}), c.rect) << c.cx << " " << c.zoom;
        }
    }
}

TEST(BgEffects, ZoomSetUpCodes)
{
    BgWorld world;
    CBgZoomEffect zoom;
    EXPECT_EQ(zoom.SetUp(nullptr, &world.front, 320, 240, "2.0", nullptr, 100), 1);
    EXPECT_EQ(zoom.SetUp(&world.scheduler, &world.front, 320, 240, "0", nullptr, 100), 1);
    EXPECT_EQ(zoom.SetUp(&world.scheduler, &world.front, 320, 240, "-2", nullptr, 100), 2);
    // Duration 0: the end rectangle at once, no task.
    CBgZoomEffect now;
    EXPECT_EQ(now.SetUp(&world.scheduler, &world.front, 320, 240, "2.0", nullptr, 0), -1);
    EXPECT_FALSE(world.scheduler.Contains(&now));
    EXPECT_EQ(world.View(), (std::array<LONG, 4>{160, 120, 320, 240}));
    CEffectArgs out;
    EXPECT_EQ(now.Query(&out), 0);
    EXPECT_EQ(out.IntAt(0), 160);
    EXPECT_EQ(out.IntAt(3), 240);
}

TEST(BgEffects, ZoomGlidesOnTheEasedCurve)
{
    struct Case {
        const char* acceleration;
        std::array<LONG, 4> half;
    } cases[] = {
        {nullptr, {80, 60, 480, 360}}, // t = 0.5
        {"2", {40, 30, 560, 420}},     // t = 0.25
        {"-2", {120, 90, 400, 300}},   // t = 0.75
    };
    for (const Case& c : cases) {
        BgWorld world;
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_zoom", &world.front, CEffectArgs::Of(320, 240, "2.0", c.acceleration, 1000),
                                    &holder),
                  0);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->GetKind(), kBgEffectKind);
        world.Tick(0);
        EXPECT_EQ(world.View(), (std::array<LONG, 4>{-1, -1, -1, -1})); // t = 0: the whole picture
        world.Tick(500);
        EXPECT_EQ(world.View(), c.half) << (c.acceleration ? c.acceleration : "null");
        world.Tick(500);
        EXPECT_EQ(world.View(), (std::array<LONG, 4>{160, 120, 320, 240}));
        EXPECT_EQ(holder, nullptr);
    }
}

TEST(BgEffects, RotTurnsFromTheCurrentState)
{
    BgWorld world;
    CBgRotEffect bad;
    EXPECT_EQ(bad.SetUp(&world.scheduler, &world.front, 0, 0, 64, "0", nullptr, 100), 1);
    EXPECT_EQ(bad.SetUp(nullptr, &world.front, 0, 0, 64, "2", nullptr, 100), 1);

    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_rot", &world.front, CEffectArgs::Of(320, 240, 128, "2.0", nullptr, 1000), &holder),
              0);
    world.Tick(0);
    world.Tick(500);
    LONG cx = 0, cy = 0;
    int angle = 0;
    double zoom = 0.0;
    ASSERT_TRUE(world.Layer().GetBackgroundRotation(&cx, &cy, &angle, &zoom));
    EXPECT_EQ(cx, 160);
    EXPECT_EQ(cy, 120);
    EXPECT_EQ(angle, 64);
    EXPECT_DOUBLE_EQ(zoom, 1.5);
    world.Tick(500);
    EXPECT_EQ(holder, nullptr);
    ASSERT_TRUE(world.Layer().GetBackgroundRotation(&cx, &cy, &angle, &zoom));
    EXPECT_EQ(angle, 128);
    EXPECT_DOUBLE_EQ(zoom, 2.0);

    // A second turn starts from that end state; duration 0 lands at once.
    CBgRotEffect back;
    EXPECT_EQ(back.SetUp(&world.scheduler, &world.front, 320, 240, 0, "1.5", nullptr, 0), -1);
    ASSERT_TRUE(world.Layer().GetBackgroundRotation(&cx, &cy, &angle, &zoom));
    EXPECT_EQ(angle, 0);
    EXPECT_DOUBLE_EQ(zoom, 1.5);
}

TEST(BgEffects, ApplyZoomDirect)
{
    BgWorld world;
    CEffectArgs in;
    in.AddObject(static_cast<CImageObject*>(&world.front));
    in.AddInt(320);
    in.AddInt(240);
    in.AddText("2.0");
    CEffectArgs out;
    EXPECT_EQ(ApplyBgZoomDirect(in, &out), 0);
    EXPECT_EQ(out.IntAt(4), 160);
    EXPECT_EQ(out.IntAt(5), 120);
    EXPECT_EQ(out.IntAt(6), 320);
    EXPECT_EQ(out.IntAt(7), 240);
    EXPECT_EQ(world.View(), (std::array<LONG, 4>{160, 120, 320, 240}));
    EXPECT_EQ(ApplyBgZoomDirect(CEffectArgs::Of(0, 320, 240, "2.0"), nullptr), -1);
    // The page given as its display object (a surface) reaches the same canvas, and back.
    CSurface* page = GetEffectTargetImage(&world.front);
    ASSERT_EQ(page, static_cast<CSurface*>(&world.front));
    EXPECT_EQ(GetDisplayCanvas(page), static_cast<CImageObject*>(&world.front));
    EXPECT_EQ(ApplyBgZoomDirect(CEffectArgs::Of(page, 320, 240, "4.0"), nullptr), 0);
    EXPECT_EQ(world.View(), (std::array<LONG, 4>{240, 180, 160, 120}));
    in.SetDouble(3, -1.0);
    EXPECT_EQ(ApplyBgZoomDirect(in, nullptr), 2);
}

BYTE Red(const CImage& image, LONG x, LONG y)
{
    return static_cast<BYTE>(effects_test::PixelAt(image, x, y) >> 16);
}

BYTE Green(const CImage& image, LONG x, LONG y)
{
    return static_cast<BYTE>(effects_test::PixelAt(image, x, y) >> 8);
}

TEST(BgEffects, LoopScrollsWrappedAndEndsAfterItsRepeats)
{
    struct Case {
        int direction;
        LONG x, y; // a work pixel at offset 16 of 64
        bool horizontal;
        BYTE shows;
    } cases[] = {
        {0, 16, 5, true, 0}, {0, 0, 5, true, 48}, {1, 0, 5, true, 16}, {1, 63, 5, true, 15},
        {2, 5, 16, false, 0}, {3, 5, 0, false, 16},
    };
    for (const Case& c : cases) {
        EffectWorld world(64, 64, false);
        RegisterRows(world.registry, GameEffectRows());
        CScene& layer = *world.front.GetScene();
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_loop", &world.front, CEffectArgs::Of(c.direction, 640, 2, 0), &holder), 0);
        world.Tick(0);
        ASSERT_NE(layer.GetBackgroundWork(), nullptr);
        EXPECT_EQ(effects_test::PixelAt(*layer.GetBackgroundWork(), 7, 9), effects_test::PixelAt(*world.frontBackground, 7, 9));
        world.Tick(160);
        const CImage& work = *layer.GetBackgroundWork();
        EXPECT_EQ(c.horizontal ? Red(work, c.x, c.y) : Green(work, c.x, c.y), c.shows) << c.direction << " " << c.x;
        EXPECT_EQ(c.horizontal ? Green(work, c.x, c.y) : Red(work, c.x, c.y), c.horizontal ? c.y : c.x);
        world.Tick(480); // end of the first period
        ASSERT_NE(holder, nullptr);
        world.Tick(640); // end of the second
        EXPECT_EQ(holder, nullptr);
        EXPECT_EQ(layer.GetBackgroundWork(), nullptr);
    }
}

TEST(BgEffects, LoopStopsOnRequestAndSkipsAStall)
{
    {
        EffectWorld world(64, 64, false);
        RegisterRows(world.registry, GameEffectRows());
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_loop", &world.front, CEffectArgs::Of(0, 100, 0, 0), &holder), 0);
        world.Tick(0);
        world.Tick(350);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->SetParams(0), 0);
        world.Tick(10); // still inside the period
        ASSERT_NE(holder, nullptr);
        world.Tick(50);
        EXPECT_EQ(holder, nullptr);
    }
    {
        EffectWorld world(64, 64, false);
        RegisterRows(world.registry, GameEffectRows());
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_loop", &world.front, CEffectArgs::Of(0, 100, 3, 0), &holder), 0);
        world.Tick(0);
        world.Tick(250); // two periods at once: one left
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(Red(*world.front.GetScene()->GetBackgroundWork(), 32, 0), 0); // offset 32 of the third
        world.Tick(50);
        EXPECT_EQ(holder, nullptr);
    }
}

TEST(BgEffects, LoopSetUpCodes)
{
    struct Case {
        LONG bgW, bgH;
        int direction;
        int code;
    } cases[] = {{32, 64, 0, 3}, {32, 64, 1, 3}, {64, 32, 2, 4}, {64, 32, 3, 4}};
    for (const Case& c : cases) {
        EffectWorld world(64, 64, false, c.bgW, c.bgH);
        CBgLoopEffect loop;
        EXPECT_EQ(loop.SetUp(&world.scheduler, &world.front, c.direction, 100, 0, 0), c.code);
        EXPECT_EQ(world.front.GetScene()->GetBackgroundWork(), nullptr);
    }
    EffectWorld world(64, 64, false);
    CBgLoopEffect loop;
    EXPECT_EQ(loop.SetUp(nullptr, &world.front, 0, 100, 0, 0), 1);
}

TEST(BgEffects, RastWavesRowsAgainstTheReference)
{
    for (int fill : {1, 0}) {
        EffectWorld world(64, 48, false);
        CCosTable cosines;
        g_pCosTable = &cosines;
        RegisterRows(world.registry, GameEffectRows());
        CScene& layer = *world.front.GetScene();
        layer.SetBackgroundColor(0x123456, false);
        layer.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_rast", &world.front, CEffectArgs::Of(8, 32, 1000, 0, 100, 100, fill, 0), &holder),
                  0);
        world.Tick(0);
        world.Tick(250); // holding at amplitude 8, phase 128
        EXPECT_EQ(holder->Query(nullptr), 1);
        const CImage& work = *layer.GetBackgroundWork();
        for (LONG y = 0; y < 48; ++y) {
            const int32_t shift = (int64_t{cosines.Cos((128 + 16 * y - 128) & 511)} * 8) >> 16;
            ASSERT_LE(std::abs(shift), 8);
            EXPECT_EQ(shift, RastRowShift(y, 128, 8, 32));
            for (LONG x = 0; x < 64; ++x) {
                const LONG from = x - shift;
                uint32_t expected = effects_test::PixelAt(*world.frontBackground, x, y);
                if (from >= 0 && from < 64)
                    expected = effects_test::PixelAt(*world.frontBackground, from, y);
                else if (fill)
                    expected = 0x123456;
                ASSERT_EQ(effects_test::PixelAt(work, x, y) & 0xFFFFFF, expected & 0xFFFFFF)
                    << "fill " << fill << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(holder->SetParams(), 0);
        EXPECT_EQ(holder->SetParams(), 1);
        world.Tick(50);
        EXPECT_EQ(holder->Query(nullptr), 3);
        world.Tick(100);
        EXPECT_EQ(holder, nullptr);
        EXPECT_EQ(layer.GetBackgroundWork(), nullptr);
        g_pCosTable = nullptr;
    }
}

// The work image's pixels now.
std::vector<uint32_t> Pixels(const CImage& image)
{
    std::vector<uint32_t> out;
    for (LONG y = 0; y < image.GetHeight(); ++y)
        for (LONG x = 0; x < image.GetWidth(); ++x)
            out.push_back(effects_test::PixelAt(image, x, y));
    return out;
}

TEST(BgEffects, RastAndHazeRawRowsEqualThePlainDrawing)
{
    CCosTable cosines;
    g_pCosTable = &cosines;
    std::mt19937 random(35);
    const auto any = [&random](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const auto noise = [&random](CImage& image) {
        for (LONG y = 0; y < image.GetHeight(); ++y)
            for (LONG x = 0; x < image.GetWidth(); ++x)
                reinterpret_cast<uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch())[x] = random();
    };
    for (int round = 0; round < 300; ++round) {
        const LONG w = any(1, 90), h = any(1, 70);
        CImage picture, raw, plain;
        ASSERT_EQ(picture.Create(any(1, 100), any(1, 80), 32, 0), 0);
        ASSERT_EQ(raw.Create(w, h, 32, 0), 0);
        ASSERT_EQ(plain.Create(w, h, 32, 0), 0);
        noise(picture);
        noise(raw);
        plain.Copy(&raw, 0, 0, nullptr, false);
        const LONG px = any(-30, 30), py = any(-30, 30);
        const int amplitudes[] = {0, any(-8, 8), any(-200, 200), INT32_MAX, INT32_MIN};
        const RastWave wave{any(0, 511), amplitudes[any(0, 4)], uint32_t(any(0, 100))};
        const bool fill = any(0, 1) != 0;
        const BYTE r = BYTE(any(0, 255)), g = BYTE(any(0, 255)), b = BYTE(any(0, 255));
        const std::vector<uint32_t> before = Pixels(raw);
        DrawRastRows(plain, picture, px, py, wave, fill, r, g, b, false);
        // The raw rows at every level, each from the same start.
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            for (LONG y = 0; y < h; ++y)
                std::memcpy(raw.GetBits() + intptr_t(y) * raw.GetPitch(), &before[size_t(y) * w], size_t(w) * 4);
            DrawRastRows(raw, picture, px, py, wave, fill, r, g, b, true);
            ASSERT_EQ(Pixels(raw), Pixels(plain)) << "rast round " << round << ": " << w << "x" << h << " at " << px
                                                  << "," << py << " amplitude " << wave.amplitude << " fill " << fill
                                                  << " level " << static_cast<int>(level);
        }
        // The haze's rows over what the rast left, from a table of any offsets.
        std::vector<int32_t> table(size_t(any(1, 90)));
        for (int32_t& entry : table)
            entry = any(0, 3) == 0 ? any(-300, 300) : any(-12, 12);
        const int32_t phase = any(0, int(table.size()) - 1), level = any(0, 512);
        DrawHazeRows(raw, picture, px, py, table, phase, level, fill, r, g, b, true);
        DrawHazeRows(plain, picture, px, py, table, phase, level, fill, r, g, b, false);
        ASSERT_EQ(Pixels(raw), Pixels(plain)) << "haze round " << round << ": " << w << "x" << h << " at " << px
                                              << "," << py << " level " << level << " fill " << fill;
    }
    g_pCosTable = nullptr;
}

TEST(BgEffects, RastSetUpCodesAndZeroTimes)
{
    CCosTable cosines;
    {
        EffectWorld world(64, 48, false);
        CBgRastEffect rast;
        EXPECT_EQ(rast.SetUp(&world.scheduler, &world.front, 8, 32, 100, 0, 10, 10, 0, 0), 1); // no table
    }
    g_pCosTable = &cosines;
    {
        EffectWorld world(64, 48, false);
        ASSERT_EQ(world.front.GetScene()->CreateBackgroundWork(false), 0);
        CBgRastEffect rast;
        EXPECT_EQ(rast.SetUp(&world.scheduler, &world.front, 8, 32, 100, 0, 10, 10, 0, 0), 3);
        EXPECT_NE(world.front.GetScene()->GetBackgroundWork(), nullptr); // not ours: kept
    }
    {
        EffectWorld world(64, 48, false, 80, 48);
        CBgRastEffect rast;
        EXPECT_EQ(rast.SetUp(&world.scheduler, &world.front, 8, 32, 100, 0, 10, 10, 0, 0), 5);
        EXPECT_EQ(world.front.GetScene()->GetBackgroundWork(), nullptr);
    }
    {
        // Zero wavelength, period and ramps count as 1 instead of dividing by zero.
        EffectWorld world(64, 48, false);
        RegisterRows(world.registry, GameEffectRows());
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_rast", &world.front, CEffectArgs::Of(INT32_MAX, 0, 0, 5, 0, 0, 1, 0), &holder),
                  0);
        for (int i = 0; i < 10 && holder != nullptr; ++i)
            world.Tick(1);
        EXPECT_EQ(holder, nullptr);
    }
    g_pCosTable = nullptr;
}

TEST(BgEffects, HazeTableAndTexts)
{
    CCosTable cosines;
    g_pCosTable = &cosines;
    std::vector<int32_t> table;
    ASSERT_EQ(BuildHazeTable("(1,0,20) (2, 128, 10)", 64, &table), 0);
    ASSERT_EQ(table.size(), 64u);
    for (int i = 0; i < 64; ++i) {
        const int64_t sum = int64_t{cosines.Cos(8 * i)} * 20 + int64_t{cosines.Cos(16 * i + 128)} * 10;
        EXPECT_EQ(table[i], (sum / 2) >> 16) << i;
    }
    struct Case {
        const char* text;
        int code;
    } cases[] = {{nullptr, 1}, {"", 2}, {"  ", 2}, {"(1,0)", 2}, {"abc", 2}, {"(1,0,10", 2}, {"(1,0,10)x", 2}};
    for (const Case& c : cases)
        EXPECT_EQ(BuildHazeTable(c.text, 16, &table), c.code) << (c.text ? c.text : "null");
    ASSERT_EQ(BuildHazeTable("(1,0,10)", 1u << 31, &table), 0); // n capped
    EXPECT_EQ(table.size(), 65536u);
    g_pCosTable = nullptr;
}

TEST(BgEffects, HazeMovesRowsAgainstTheReference)
{
    EffectWorld world(64, 48, false);
    CCosTable cosines;
    g_pCosTable = &cosines;
    RegisterRows(world.registry, GameEffectRows());
    CScene& layer = *world.front.GetScene();
    layer.SetBackgroundColor(0x123456, false);
    layer.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
    CBgHazeEffect bad;
    EXPECT_EQ(bad.SetUp(&world.scheduler, &world.front, "(1,0)", 48, 1000, 0, 100, 100, 1, 0), 6);
    EXPECT_EQ(layer.GetBackgroundWork(), nullptr);
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_haze", &world.front, CEffectArgs::Of("(1,0,6)", 48, 1000, 0, 100, 100, 1, 0), &holder),
              0);
    const std::vector<int32_t> table = static_cast<CBgHazeEffect*>(holder)->Table();
    world.Tick(0);
    world.Tick(250); // level 512, phase 250 * 48 / 1000 = 12
    const CImage& work = *layer.GetBackgroundWork();
    for (LONG y = 0; y < 48; ++y) {
        const int32_t o = table[(12 + y) % 48];
        for (LONG x = 0; x < 64; ++x) {
            const LONG sx = x - o, sy = y + o;
            const uint32_t expected = (sx >= 0 && sx < 64 && sy >= 0 && sy < 48)
                                          ? effects_test::PixelAt(*world.frontBackground, sx, sy)
                                          : 0x123456;
            ASSERT_EQ(effects_test::PixelAt(work, x, y) & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
        }
    }
    EXPECT_EQ(holder->SetParams(), 0);
    world.Tick(50);
    world.Tick(100);
    EXPECT_EQ(holder, nullptr);
    EXPECT_EQ(layer.GetBackgroundWork(), nullptr);
    g_pCosTable = nullptr;
}

// The pixel library's own cross-fade of two pictures at a level.
std::unique_ptr<CImage> CrossFadeReference(const CSurface* first, const CSurface* second, DWORD level)
{
    auto want = std::make_unique<CImage>();
    EXPECT_EQ(want->Create(first->GetWidth(), first->GetHeight(), 32, 0), 0);
    EXPECT_EQ(g_PixelLibFuncs.crossFade(want.get(), first, second, level, 0, 0, 0, first->GetWidth(),
                                        first->GetHeight(), 0, 0, 0, 0),
              0);
    return want;
}

bool SamePixels(const CImage& a, const CImage& b)
{
    for (LONG y = 0; y < a.GetHeight(); ++y)
        for (LONG x = 0; x < a.GetWidth(); ++x)
            if (effects_test::PixelAt(a, x, y) != effects_test::PixelAt(b, x, y))
                return false;
    return true;
}

TEST(BgEffects, CrossFadesThereAndBackWithinAPeriod)
{
    struct Case {
        int mode, swap;
    } cases[] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}};
    for (const Case& c : cases) {
        EffectWorld world(64, 48, false);
        RegisterRows(world.registry, GameEffectRows());
        CImage* mine = c.swap ? world.backBackground.get() : world.frontBackground.get();
        CImage* other = c.swap ? world.frontBackground.get() : world.backBackground.get();
        CScene& layer = *(c.swap ? world.back : world.front).GetScene();
        const auto mineAtSetUp = effects_test::OriginImage(64, 48, c.swap ? 2 : 1);
        const auto otherAtSetUp = effects_test::OriginImage(64, 48, c.swap ? 1 : 2);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_cross", &world.front, CEffectArgs::Of(1000, 1, c.mode, c.swap, 0), &holder), 0);
        ASSERT_NE(layer.GetBackgroundWork(), nullptr);
        EXPECT_TRUE(SamePixels(*layer.GetBackgroundWork(), *mine)); // shows the first picture at once
        // Both live pictures change after the set-up: the copies of modes 1 and 2 do not.
        mine->FillRect(10, 20, 30, nullptr);
        other->FillRect(40, 50, 60, nullptr);
        const CSurface* first = c.mode == 2 ? mineAtSetUp.get() : mine;
        const CSurface* second = c.mode == 1 ? otherAtSetUp.get() : other;
        world.Tick(0);
        world.Tick(250);
        EXPECT_TRUE(SamePixels(*layer.GetBackgroundWork(), *CrossFadeReference(first, second, 127))) << c.mode;
        world.Tick(500); // level 382: back to 128
        EXPECT_TRUE(SamePixels(*layer.GetBackgroundWork(), *CrossFadeReference(first, second, 128))) << c.mode;
        world.Tick(250);
        EXPECT_EQ(holder, nullptr);
        EXPECT_EQ(layer.GetBackgroundWork(), nullptr);
    }
}

TEST(BgEffects, CrossSetUpCodesAndStop)
{
    {
        EffectWorld world(64, 48, false);
        world.back.GetScene()->SetBackgroundImage(nullptr, 0, 0, false);
        CBgCrossEffect cross;
        EXPECT_EQ(cross.SetUp(&world.scheduler, &world.front, 100, 0, 0, 0, 0), 3);
    }
    {
        EffectWorld world(64, 48, false);
        const auto narrow = effects_test::OriginImage(32, 48, 3);
        world.back.GetScene()->SetBackgroundImage(narrow.get(), 0, 0, false);
        CBgCrossEffect cross;
        EXPECT_EQ(cross.SetUp(&world.scheduler, &world.front, 100, 0, 0, 0, 0), 4);
        EXPECT_EQ(world.front.GetScene()->GetBackgroundWork(), nullptr);
    }
    {
        EffectWorld world(64, 48, false);
        SetPixelLibrary(nullptr);
        CBgCrossEffect cross;
        EXPECT_EQ(cross.SetUp(&world.scheduler, &world.front, 100, 0, 0, 0, 0), 1);
        SetPixelLibrary(world.pixels.library.get());
    }
    EffectWorld world(64, 48, false);
    RegisterRows(world.registry, GameEffectRows());
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_cross", &world.front, CEffectArgs::Of(0, 0, 0, 0, 0), &holder), 0);
    world.Tick(0);
    world.Tick(5); // period 0 counts as 1 ms
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->SetParams(), 0);
    world.Tick(1);
    EXPECT_EQ(holder, nullptr);
}

TEST(BgEffects, BlurFinalStateAndDirectApply)
{
    BgWorld world;
    LONG state[4];
    ASSERT_EQ(BgBlurFinalState(world.Layer(), 320, 240, 2.0, 0.0, state), 0);
    EXPECT_EQ((std::array<LONG, 4>{state[0], state[1], state[2], state[3]}), (std::array<LONG, 4>{160, 120, 320, 240}));
    EXPECT_EQ(BgBlurFinalState(world.Layer(), 320, 240, 0.0, 0.0, state), 1);
    ASSERT_EQ(BgBlurFinalState(world.Layer(), 320, 240, 1.0, 0.25, state), 0);
    EXPECT_EQ(state[2], -128);
    EXPECT_EQ(state[3], 0);
    g_pCosTable = nullptr;
    EXPECT_EQ(BgBlurFinalState(world.Layer(), 320, 240, 1.0, 0.25, state), 3);
    g_pCosTable = &world.cosines;

    CEffectArgs in;
    in.AddObject(static_cast<CImageObject*>(&world.front));
    in.AddInt(320);
    in.AddInt(240);
    in.AddDouble(2.0);
    in.AddDouble(0.0);
    CEffectArgs out;
    EXPECT_EQ(ApplyBgBlurDirect(in, &out), 0);
    EXPECT_EQ(out.IntAt(5), 160);
    EXPECT_EQ(out.IntAt(8), 240);
    EXPECT_EQ(world.View(), (std::array<LONG, 4>{160, 120, 320, 240}));
    in.SetDouble(3, 1e9); // a rectangle of no size
    EXPECT_EQ(ApplyBgBlurDirect(in, nullptr), 4);
    EXPECT_EQ(ApplyBgBlurDirect(CEffectArgs::Of(0, 1, 2, 1.0, 0.0), nullptr), -1);

    world.Layer().SetBackgroundImage(nullptr, 0, 0, false);
    EXPECT_EQ(BgBlurFinalState(world.Layer(), 320, 240, 2.0, 0.0, state), 2);
}


TEST(BgEffects, BlurWaitsSixteenMillisecondsBelowLevel255AndEndsOnItsFinalView)
{
    for (int level : {100, 255}) {
        EffectWorld world(64, 48, false);
        CCosTable cosines;
        g_pCosTable = &cosines;
        RegisterRows(world.registry, GameEffectRows());
        CScene& layer = *world.front.GetScene();
        CLayerEffect* holder = nullptr;
        // Zoom 1 -> 2 about (32, 24) in 100 ms, final view on.
        ASSERT_EQ(CreateLayerEffect("bg_blur", &world.front,
                                    CEffectArgs::Of(0, 32, 24, "1.0", nullptr, "2.0", nullptr, 100, level, nullptr, 0,
                                                    0, 0, 0, 0, 0, 1),
                                    &holder),
                  0);
        ASSERT_NE(layer.GetBackgroundWork(), nullptr);
        world.Tick(0);
        const auto before = Pixels(*layer.GetBackgroundWork());
        world.Tick(10);
        EXPECT_EQ(Pixels(*layer.GetBackgroundWork()) == before, level != 255) << level;
        world.Tick(10);
        EXPECT_NE(Pixels(*layer.GetBackgroundWork()), before);
        world.Tick(80);
        EXPECT_EQ(holder, nullptr);
        RECT view{};
        ASSERT_TRUE(layer.GetBackgroundViewSource(&view));
        EXPECT_EQ(view.left, 16);
        EXPECT_EQ(view.top, 12);
        EXPECT_EQ(view.right - view.left, 32);
        EXPECT_EQ(view.bottom - view.top, 24);
        g_pCosTable = nullptr;
    }
}

TEST(BgEffects, BlurPathsRunToTheirLastPoint)
{
    for (int spline : {0, 1}) {
        EffectWorld world(64, 48, false);
        CCosTable cosines;
        g_pCosTable = &cosines;
        RegisterRows(world.registry, GameEffectRows());
        CBgBlurEffect bad;
        EXPECT_EQ(bad.SetUp(&world.scheduler, &world.front, "(1,2,1.0)", 0, 100, 255), 3);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_blur", &world.front,
                                    CEffectArgs::Of("(0,0,1.0)(20,10,2.0)(40,30,1.5)", spline, 100, 255, nullptr, 0, 0,
                                                    0, 0, 0, 0, 1),
                                    &holder),
                  0);
        for (int i = 0; i < 12 && holder != nullptr; ++i)
            world.Tick(10);
        EXPECT_EQ(holder, nullptr);
        // The final view stands on the last point at its zoom.
        RECT view{};
        ASSERT_TRUE(world.front.GetScene()->GetBackgroundViewSource(&view));
        EXPECT_EQ(view.left, LONG(40 - 40 / 1.5 + 0.5));
        EXPECT_EQ(view.right - view.left, LONG(64 / 1.5 + 0.5));
        g_pCosTable = nullptr;
    }
}

TEST(BgEffects, BlurFollowsItsPathOverAPictureFromAFile)
{
    // Three points; at t = 0.25 both forms stand halfway between the first two, the spline
    // pulled by the third: x(u) = p0 + u (p1 - p0) + (u^3 - u) (p0 - 2 p1 + p2) / 4.
    const double u = 0.5;
    const auto natural = [u](double p0, double p1, double p2) {
        return p0 + u * (p1 - p0) + (u * u * u - u) * (p0 - 2 * p1 + p2) / 4;
    };
    struct Case {
        int spline;
        LONG x, y;
    } const cases[] = {
        {0, 25, 19},
        {1, LONG(natural(10, 40, 20)), LONG(natural(8, 30, 10))},
    };
    std::vector<uint32_t> drawn[2];
    for (const Case& c : cases) {
        EffectWorld world(64, 48);
        CCosTable cosines;
        g_pCosTable = &cosines;
        RegisterRows(world.registry, GameEffectRows());
        CImage picture; // SYS/NOISE.ELG, 96 × 64, as the effect loads it
        ASSERT_EQ(picture.Load("SYS\\NOISE.ELG", nullptr, 0, 0), 0);
        CBgBlurEffect missing;
        EXPECT_EQ(missing.SetUp(&world.scheduler, &world.front, "(0,0,1.0)(9,9,1.0)", 0, 100, 255, nullptr,
                                "SYS\\NONE.ELG"),
                  4);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("bg_blur", &world.front,
                                    CEffectArgs::Of("(10,8,1.0)(40,30,2.0)(20,10,1.5)", c.spline, 100, 255, nullptr,
                                                    "SYS\\NOISE.ELG", 0, 0, 0, 0, 0, 1),
                                    &holder),
                  0);
        world.Tick(0);
        world.Tick(25);
        CImage want;
        ASSERT_EQ(want.Create(64, 48, 32, 0), 0);
        const double z = 1.5;
        const SIZE size{LONG(96 * z + 0.5), LONG(64 * z + 0.5)};
        ASSERT_EQ(PixelLibStretchCopy(want, &picture, picture.HasAlpha() ? 2 : 0, 0, 255, 0, &size, LONG(std::trunc(c.x - (c.x * z + 0.5))),
                                      LONG(std::trunc(c.y - (c.y * z + 0.5))), nullptr),
                  0);
        drawn[c.spline] = Pixels(*world.front.GetScene()->GetBackgroundWork());
        EXPECT_EQ(drawn[c.spline], Pixels(want)) << "spline " << c.spline;
        world.Tick(100);
        EXPECT_EQ(holder, nullptr);
        // The final view needs the layer's own picture: with a file the layer just shows its own.
        EXPECT_EQ(world.front.GetScene()->GetBackgroundWork(), nullptr);
        RECT view{};
        EXPECT_FALSE(world.front.GetScene()->GetBackgroundViewSource(&view));
        g_pCosTable = nullptr;
    }
    EXPECT_NE(drawn[0], drawn[1]);
}

TEST(BgEffects, HostileWordsNeverCrash)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const CEffectArgs packs[] = {
        CEffectArgs(),
        CEffectArgs::Of(INT32_MIN, INT32_MAX, nan, inf, INT32_MIN, INT32_MAX, -1, -1, -1, -1, -1, -1),
        CEffectArgs::Of(0, 0, "nan", "-inf", 0, 0, 0, 0, 0, 0, 0, 0),
        CEffectArgs::Of("((((", -1, -inf, 1e308, INT32_MAX, 255, "1e308", 0, 1, 1, 1, 1, 0, 1),
        CEffectArgs::Of("(1,2,nan)(3,4,inf)(5,6,-1)", 1, 50, 7, "-3", 0, 0, 0, 0, 1, 0, 1),
        CEffectArgs::Of(3, 7, 2, 1, 1, 1, 1, 1),
    };
    for (const EffectRow& row : GameEffectRows()) {
        for (const CEffectArgs& pack : packs) {
            EffectWorld world(16, 12, false, 16, 12);
            CCosTable cosines;
            g_pCosTable = &cosines;
            RegisterRows(world.registry, GameEffectRows());
            CLayerEffect* holder = nullptr;
            CreateLayerEffect(row.name, &world.front, pack, &holder);
            if (row.callback2 != nullptr) {
                CEffectArgs direct = pack;
                CEffectArgs out;
                row.callback2(direct, &out);
            }
            for (int i = 0; i < 20 && holder != nullptr; ++i) {
                world.Tick(i * 37u);
                if (holder == nullptr)
                    break;
                if (i == 5)
                    holder->SetParams(0);
                CEffectArgs out;
                holder->QueryV(pack, &out);
            }
            g_pCosTable = nullptr;
        }
    }
}

} // namespace
