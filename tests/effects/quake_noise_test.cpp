// The layer quake and noise effects on a front and a back canvas.
#include "effect_test_world.h"

#include <cmath>

#include "effects/layer_noise.h"
#include "effects/layer_quake.h"
#include "authoring/elg_encoder.h"
#include "platform/cos_table.h"

using namespace effects_test;

namespace {

struct QuakeCase {
    const char* what;
    int32_t cycle;
    int32_t ax, ay;
    int32_t duration;
    const char* endFactor;
    int32_t frameMode;
};

// The quake's formulas, written out for the test over its own copy of the generator.
struct QuakeReference {
    const QuakeCase& c;
    SubtractiveRandomState state;
    uint32_t start = 0;
    bool first = true;
    bool alternate = false;
    // false when the quake is over at t.
    bool Step(uint32_t t, int& dx, int& dy)
    {
        if (first) {
            first = false;
            start = t;
        }
        const uint32_t e = t - start;
        const double end = c.endFactor ? std::atof(c.endFactor) : 0.0;
        double factor = 1.0;
        int64_t angle = 0;
        const int64_t cycle = c.duration ? int64_t{c.cycle} * 256 : std::abs(int64_t{c.cycle});
        if (c.duration) {
            if (e >= uint32_t(c.duration))
                return false;
            const double f = double(e) / c.duration;
            factor = 1.0 - (1.0 - end) * f;
            angle = int64_t(std::trunc(cycle * f));
        } else if (cycle) {
            uint32_t ee = e;
            if (ee >= cycle) {
                start = t;
                ee = uint32_t(cycle);
            }
            angle = int64_t(std::trunc(double(ee) / double(cycle) * 511.0));
        }
        if (cycle) {
            const int64_t s = CCosTable().Cos(int32_t((angle - 128) & 511));
            dx = int(std::trunc(double((int64_t{c.ax} * s) >> 16) * factor));
            dy = int(std::trunc(double((int64_t{c.ay} * s) >> 16) * factor));
            return true;
        }
        const double r1 = DrawSubtractiveRandom(state), r2 = DrawSubtractiveRandom(state);
        const double ax = c.ax, ay = c.ay;
        dx = int(std::trunc((r1 * ax * 1e-9 - ax * 0.5) * factor));
        dy = int(std::trunc((r2 * ay * 1e-9 - ay * 0.5) * factor));
        if (ax < ay)
            dy = int(std::trunc((alternate ? 1 : -1) * r2 * 1e-9 * ay * factor));
        if (ax > ay)
            dx = int(std::trunc((alternate ? 1 : -1) * r1 * 1e-9 * ax * factor));
        alternate = !alternate;
        return true;
    }
};

void BackgroundAt(CScene& scene, LONG& x, LONG& y)
{
    CSurface* image = nullptr;
    scene.GetBackground(&image, &x, &y, nullptr, nullptr, nullptr);
}

// The work picture shows the background shifted by (ox, oy), black where it uncovers.
void ExpectShiftedWork(CScene& scene, int ox, int oy, BYTE id)
{
    CImage* work = scene.GetBackgroundWork();
    ASSERT_NE(work, nullptr);
    const LONG w = work->GetWidth(), h = work->GetHeight();
    for (LONG y = 0; y < h; y += 7) {
        for (LONG x = 0; x < w; x += 5) {
            const LONG sx = x + ox, sy = y + oy;
            const uint32_t expected = sx >= 0 && sx < w && sy >= 0 && sy < h
                                          ? (uint32_t(sx) << 16 | uint32_t(sy) << 8 | id)
                                          : 0u;
            ASSERT_EQ(PixelAt(*work, x, y) & 0xFFFFFF, expected) << x << "," << y << " shift " << ox << "," << oy;
        }
    }
}

// The redrawn canvas shows background pixel p + (bx, by) at p, the scene's colour where it uncovers.
void ExpectShownMoved(CScene& scene, LONG bx, LONG by, BYTE id)
{
    scene.Redraw(nullptr, nullptr, 0, 0);
    const CImage& shown = *scene.GetTarget();
    const uint32_t colour = scene.GetBackgroundColor() & 0xFFFFFF;
    const LONG w = shown.GetWidth(), h = shown.GetHeight();
    for (LONG y = 0; y < h; ++y) {
        for (LONG x = 0; x < w; ++x) {
            const LONG sx = x + bx, sy = y + by;
            const uint32_t expected = sx >= 0 && sx < w && sy >= 0 && sy < h
                                          ? (uint32_t(sx) << 16 | uint32_t(sy) << 8 | id)
                                          : colour;
            ASSERT_EQ(PixelAt(shown, x, y) & 0xFFFFFF, expected) << x << "," << y << " moved " << bx << "," << by;
        }
    }
}

} // namespace

TEST(LayerQuake, OffsetsFollowTheFormulasAndEverythingGoesBack)
{
    const QuakeCase cases[] = {
        {"random, duration, equal amplitudes", 0, 8, 8, 1000, "0.5", 0},
        {"random, duration, x larger alternates", 0, 10, 2, 400, nullptr, 0},
        {"random, duration, y larger alternates", 0, 2, 10, 400, "1", 0},
        {"cycles with duration", 2, 6, 4, 500, "0.25", 0},
        {"random, frame mode", 0, 9, 5, 300, nullptr, 1},
        {"cycles, frame mode", 3, 7, 7, 300, nullptr, 1},
    };
    for (const QuakeCase& c : cases) {
        SCOPED_TRACE(c.what);
        EffectWorld world;
        QuakeReference reference{c, world.Copy()};
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("quake", &world.front,
                                    CEffectArgs::Of(c.cycle, c.ax, c.ay, c.duration, c.endFactor, c.frameMode, 1, 1, 0),
                                    &holder),
                  0);
        bool over = false;
        int signs[2] = {0, 0};
        int lastSign = 0, flips = 0;
        for (int step = 0; step < 200 && holder; ++step) {
            world.Tick(16);
            int dx = 0, dy = 0;
            over = !reference.Step(VirtualClock::Now(), dx, dy);
            if (over)
                break;
            for (int s = 0; s < 2; ++s) {
                CScene& scene = s == 0 ? *world.front.GetScene() : *world.back.GetScene();
                if (c.frameMode) {
                    ExpectShiftedWork(scene, -dx, -dy, BYTE(s + 1));
                    LONG x = 0, y = 0;
                    BackgroundAt(scene, x, y);
                    EXPECT_EQ(x, 0); // frame mode keeps the picture in place
                } else {
                    LONG x = 0, y = 0;
                    BackgroundAt(scene, x, y);
                    ASSERT_EQ(x, -dx) << "step " << step;
                    ASSERT_EQ(y, -dy) << "step " << step;
                    ExpectShownMoved(scene, x, y, BYTE(s + 1));
                }
            }
            const int along = c.ax > c.ay ? dx : dy;
            const int sign = along > 0 ? 1 : along < 0 ? -1 : 0;
            if (sign != 0 && lastSign != 0 && sign != lastSign)
                ++flips;
            if (sign)
                lastSign = sign, ++signs[sign > 0];
        }
        EXPECT_TRUE(over);
        EXPECT_EQ(holder, nullptr);
        if (c.cycle == 0 && c.ax != c.ay) {
            EXPECT_GE(flips, 10); // the larger axis jumps to one side, then the other
        }
        for (CImageObject* canvas : {static_cast<CImageObject*>(&world.front), static_cast<CImageObject*>(&world.back)}) {
            LONG x = 1, y = 1;
            BackgroundAt(*canvas->GetScene(), x, y);
            EXPECT_EQ(x, 0);
            EXPECT_EQ(y, 0);
            EXPECT_EQ(canvas->GetScene()->GetBackgroundWork(), nullptr);
        }
    }
}

TEST(LayerQuake, StopsAtTheEndOfTheCycleOrAtOnce)
{
    struct Case {
        const char* what;
        int32_t cycle;
        int stepsAfterStop; // steps that still run after SetParams(0)
    };
    // Cycle 160 ms, stop asked at 48 ms: the steps at 64..144 ms run, the one at 160 ends it.
    const Case cases[] = {{"cycle of 160 ms", 160, 6}, {"random: the next step", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EffectWorld world(32, 24);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("quake", &world.front, CEffectArgs::Of(c.cycle, 4, 4, 0, nullptr, 0, 1, 0, 0), &holder),
                  0);
        for (int i = 0; i < 4; ++i)
            world.Tick(16);
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(holder->SetParams(0), 0);
        int steps = 0;
        while (holder != nullptr && steps < 100) {
            world.Tick(16);
            if (holder != nullptr)
                ++steps;
        }
        EXPECT_EQ(steps, c.stepsAfterStop);
        LONG x = 1, y = 1;
        BackgroundAt(*world.front.GetScene(), x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    }
}

TEST(LayerQuake, RefusalsAndHugeWords)
{
    EffectWorld world(16, 16);
    CQuakeEffect quake;
    EXPECT_EQ(quake.SetUp(nullptr, &world.front, 0, 1, 1, 0), 1);
    EXPECT_EQ(quake.SetUp(&world.scheduler, nullptr, 0, 1, 1, 0), 1);
    EXPECT_EQ(quake.SetUpV(&world.scheduler, &world.front, CEffectArgs()), 1);
    CSurfaceSprite lone;
    ASSERT_EQ(lone.Create(8, 8, 32, 1), 0);
    EXPECT_EQ(quake.SetUp(&world.scheduler, &lone, 0, 1, 1, 0, nullptr, 0, 1, 1, 0), 1); // no back scene
    SetEffectRandomSources(nullptr);
    EXPECT_EQ(quake.SetUp(&world.scheduler, &world.front, 0, 1, 1, 0, nullptr, 0, 1, 1, 0), 5);
    SetEffectRandomSources(&world.state);
    // Cycle INT_MIN with and without duration, amplitudes at the extremes: offsets stay clipped.
    for (int32_t duration : {0, 1000}) {
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect("quake", &world.front,
                                    CEffectArgs::Of(INT32_MIN, INT32_MAX, INT32_MIN, duration, "1e999", 0, 1, 1, 0),
                                    &holder),
                  0);
        for (int i = 0; i < 5; ++i)
            world.Tick(16);
        LONG x = 0, y = 0;
        BackgroundAt(*world.front.GetScene(), x, y);
        EXPECT_LE(std::abs(int64_t{x}), kQuakeOffsetLimit);
        EXPECT_LE(std::abs(int64_t{y}), kQuakeOffsetLimit);
        world.scheduler.Cancel(holder);
        world.Tick(1);
        BackgroundAt(*world.front.GetScene(), x, y);
        EXPECT_EQ(x, 0); // a cancel puts the pictures back
    }
}

TEST(LayerNoise, DrawsTenTimesASecondFromARandomPlaceWithWrap)
{
    EffectWorld world(40, 30);
    CImage noise;
    ASSERT_EQ(noise.Load("SYS\\NOISE.ELG", nullptr, 0, 0), 0);
    const uint64_t total = uint64_t(noise.GetWidth()) * noise.GetHeight();
    CLayerEffect* holder = nullptr;
    SubtractiveRandomState copy = world.Copy();
    ASSERT_EQ(CreateLayerEffect("noise", &world.front, CEffectArgs::Of(128, 19900, 1, 0), &holder), 0);
    auto* effect = static_cast<CNoiseEffect*>(holder);
    auto expectFrom = [&](uint64_t r) {
        const CImage& frame = *effect->GetFrameImage();
        uint64_t at = r % total;
        for (LONG y = 0; y < frame.GetHeight(); ++y)
            for (LONG x = 0; x < frame.GetWidth(); ++x, at = (at + 1) % total)
                ASSERT_EQ(PixelAt(frame, x, y), PixelAt(noise, LONG(at % noise.GetWidth()), LONG(at / noise.GetWidth())))
                    << x << "," << y;
    };
    expectFrom(DrawSubtractiveRandom(copy)); // the first frame at set-up
    world.Tick(99);
    EXPECT_EQ(std::memcmp(&copy, &world.state, sizeof copy), 0); // not yet due
    world.Tick(1);
    expectFrom(DrawSubtractiveRandom(copy));
    // A start near the end wraps to the picture's first pixel.
    CopyNoiseFrame(noise, *effect->GetFrameImage(), total - 3);
    expectFrom(total - 3);
    // Sprites: alpha, priority, shown per the flags.
    CSprite* first = effect->GetSprite(0);
    CSprite* second = effect->GetSprite(1);
    EXPECT_EQ(first->GetAlpha(), 128);
    EXPECT_EQ(world.front.GetScene()->GetList().FindNode(first)->priority, 19900u);
    EXPECT_TRUE(first->IsVisible());
    EXPECT_FALSE(second->IsVisible());
    // After the pages swapped the flags are applied crosswise.
    world.front.SwapScenes(&world.back);
    EXPECT_EQ(holder->SetParams(1, 0), 0);
    EXPECT_FALSE(first->IsVisible());
    EXPECT_TRUE(second->IsVisible());
    world.front.SwapScenes(&world.back);
    EXPECT_EQ(holder->SetParams(1, 0), 0);
    EXPECT_TRUE(first->IsVisible());
    EXPECT_FALSE(second->IsVisible());
    // It never ends by itself; a cancel hides it and the scheduler deletes it with its sprites.
    for (int i = 0; i < 30; ++i)
        world.Tick(100);
    ASSERT_NE(holder, nullptr);
    world.scheduler.Cancel(holder);
    world.Tick(1);
    EXPECT_EQ(world.front.GetScene()->GetList().Head(), nullptr);
    EXPECT_EQ(world.back.GetScene()->GetList().Head(), nullptr);
}

TEST(LayerNoise, Refusals)
{
    struct Case {
        const char* what;
        bool registered, withData, backCanvas;
        int expected;
    };
    const Case cases[] = {
        {"not registered", false, true, true, 5},
        {"no back canvas", true, true, false, 2},
        {"no noise picture", true, false, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EffectWorld world(16, 16, c.withData);
        if (!c.registered)
            SetEffectRandomSources(nullptr);
        if (!c.backCanvas)
            world.front.SetBackCanvas(nullptr);
        CNoiseEffect noise;
        EXPECT_EQ(noise.SetUp(&world.scheduler, &world.front, 255, 1, 1, 1), c.expected);
        EXPECT_EQ(world.front.GetScene()->GetList().Head(), nullptr); // nothing drawn, nothing left
        EXPECT_EQ(world.scheduler.GetCount(), 0u);
    }
    // An 8-bit noise file is taken at 32 bits.
    EffectWorld world(16, 16);
    std::vector<uint32_t> pixels(8 * 8);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | uint32_t(i * 3);
    elg::Picture picture;
    std::string error;
    ASSERT_TRUE(elg::PictureFromPixels(8, 8, pixels.data(), 8, picture, &error)) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(elg::Encode(picture, elg::Options{}, bytes, &error)) << error;
    world.dir.Write("SYS/NOISE.ELG", std::string(bytes.begin(), bytes.end()));
    CLayerEffect* holder = nullptr;
    SubtractiveRandomState copy = world.Copy();
    ASSERT_EQ(CreateLayerEffect("noise", &world.front, CEffectArgs::Of(255, 1, 1, 1), &holder), 0);
    const CImage& frame = *static_cast<CNoiseEffect*>(holder)->GetFrameImage();
    const uint32_t r = DrawSubtractiveRandom(copy);
    for (LONG x = 0; x < 16; ++x)
        EXPECT_EQ(PixelAt(frame, x, 0) & 0xFFFFFF, pixels[(r + x) % 64] & 0xFFFFFF);
}
