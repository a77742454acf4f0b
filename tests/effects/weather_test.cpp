// The weather layer effects: particles, their drawables in both scenes, steps, stop and refusals.
#include "effect_test_world.h"

#include <cmath>
#include <memory>
#include <vector>

#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "effects/weather_effect.h"
#include "platform/cpu_info.h"
#include "winapi/simd_level.h"

using namespace effects_test;

namespace {

uint32_t PriorityOf(CScene& scene, CDrawable* d)
{
    DrawNode* node = scene.GetList().FindNode(d);
    return node ? node->priority : 0xFFFFFFFFu;
}

} // namespace

TEST(Weather, ParticlesFollowTheFamilyTable)
{
    for (int family = 0; family < 4; ++family) {
        const WeatherFamily& f = g_WeatherFamilies[family];
        SCOPED_TRACE(f.name);
        EffectWorld world(120, 90);
        CLayerEffect* holder = nullptr;
        ASSERT_EQ(CreateLayerEffect(f.name, &world.front, CEffectArgs::Of(24, 19950, 600, 1, "0", 1, 0), &holder), 0);
        auto* effect = static_cast<CWeatherEffect*>(holder);
        EXPECT_EQ(effect->GetSpeedFactor(), 1.0);
        const auto& particles = effect->Particles();
        ASSERT_EQ(particles.size(), 24u);
        std::vector<WeatherParticle> before(particles.size());
        auto snapshot = [&] {
            for (size_t i = 0; i < particles.size(); ++i) {
                before[i].x = particles[i].x, before[i].y = particles[i].y, before[i].frame = particles[i].frame;
                before[i].alive = particles[i].alive, before[i].v = particles[i].v, before[i].h = particles[i].h;
            }
        };
        for (const WeatherParticle& p : particles) {
            EXPECT_TRUE(p.alive); // spread: all born at once, inside the picture
            EXPECT_GE(p.k, 0);
            EXPECT_LT(p.k, f.classes);
            const uint32_t priority = 19950 + uint32_t(p.k * 600 / (f.classes - 1));
            EXPECT_EQ(PriorityOf(*world.front.GetScene(), p.drawables[0].get()), priority);
            EXPECT_EQ(PriorityOf(*world.back.GetScene(), p.drawables[1].get()), priority);
            EXPECT_TRUE(p.drawables[0]->IsVisible());
            EXPECT_FALSE(p.drawables[1]->IsVisible());
            if (family == kWeatherRain) {
                EXPECT_EQ(p.drawables[0]->GetHeight(), LONG(std::trunc((1.0 - 0.1 * p.k) * 200.0)));
                EXPECT_EQ(p.drawables[0]->GetWidth(), 1);
                EXPECT_EQ(p.drawables[0]->GetAlpha(), 0x82 - 0x14 * p.k);
                EXPECT_GE(p.v, 225.0);
                EXPECT_LT(p.v, 240.0);
            } else {
                auto* sprite = static_cast<CSprite*>(p.drawables[0].get());
                EXPECT_EQ(sprite->GetWidth(), p.frameWidth);
                EXPECT_EQ(p.frameWidth, sprite->GetImage()->GetWidth() / f.frames);
            }
        }
        snapshot();
        for (int step = 0; step < 12; ++step) {
            world.Tick(79);
            EXPECT_EQ(before[0].y, particles[0].y); // every 80 ms only
            world.Tick(1);
            for (size_t i = 0; i < particles.size(); ++i) {
                const WeatherParticle& p = particles[i];
                const WeatherParticle& b = before[i];
                if (!p.alive)
                    continue;
                EXPECT_EQ(p.drawables[0]->GetX(), LONG(std::trunc(p.x)));
                EXPECT_EQ(p.drawables[1]->GetY(), LONG(std::trunc(p.y)));
                const double move = std::max(p.v, 1.0);
                const bool moved = f.rises ? p.y == b.y - move : p.y == b.y + move;
                if (moved && b.alive) {
                    EXPECT_DOUBLE_EQ(p.x, b.x + b.h);
                    if (f.frames > 1) {
                        EXPECT_EQ(p.frame, (b.frame + 1) % f.frames);
                        auto* sprite = static_cast<CSprite*>(p.drawables[0].get());
                        EXPECT_EQ(sprite->GetSourceRect().left, p.frame * p.frameWidth);
                    }
                }
                if (f.pictureFormat) {
                    EXPECT_LE(std::abs(p.h), f.hLimit);
                    EXPECT_LE(std::abs(p.a), f.aLimit);
                }
                if (family == kWeatherLight) {
                    EXPECT_LE(p.phase, 509);
                    EXPECT_EQ(p.drawables[0]->GetAlpha(), (510 - p.phase) & 0xFF);
                }
            }
            snapshot();
        }
        // A stop: none is born again, and the effect ends once the last one has left.
        EXPECT_EQ(holder->SetParams(0), 0);
        size_t alive = 24;
        for (int step = 0; step < 400 && holder; ++step) {
            world.Tick(80);
            if (!holder)
                break;
            size_t now = 0;
            for (const WeatherParticle& p : particles)
                now += p.alive;
            EXPECT_LE(now, alive);
            alive = now;
        }
        EXPECT_EQ(holder, nullptr);
        EXPECT_EQ(world.front.GetScene()->GetList().Head(), nullptr);
        EXPECT_EQ(world.back.GetScene()->GetList().Head(), nullptr);
    }
}

TEST(Weather, WithoutSpreadOneIsBornThenTheOthersOneByOne)
{
    EffectWorld world(64, 48);
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("paper", &world.front, CEffectArgs::Of(30, 100, 0, 0, nullptr, 1, 1), &holder), 0);
    auto* effect = static_cast<CWeatherEffect*>(holder);
    auto count = [&] {
        size_t n = 0;
        for (const WeatherParticle& p : effect->Particles())
            n += p.alive;
        return n;
    };
    EXPECT_EQ(count(), 1u);
    EXPECT_LT(effect->Particles()[0].y, 0.0); // born above the edge
    for (int i = 0; i < 60; ++i)
        world.Tick(80);
    EXPECT_GT(count(), 10u); // rebirth chance 0.1 per step
    // After the pages swapped the show flags are applied crosswise.
    world.front.SwapScenes(&world.back);
    EXPECT_EQ(holder->SetParams(1, 0, 1), 0);
    for (const WeatherParticle& p : effect->Particles()) {
        if (!p.alive)
            continue;
        EXPECT_TRUE(p.drawables[0]->IsVisible());
        EXPECT_FALSE(p.drawables[1]->IsVisible());
    }
    // A cancel destroys the particles and their drawables.
    world.scheduler.Cancel(holder);
    EXPECT_EQ(world.front.GetScene()->GetList().Head(), nullptr);
    EXPECT_EQ(world.back.GetScene()->GetList().Head(), nullptr);
}

TEST(Weather, Refusals)
{
    struct Case {
        const char* what;
        const char* name;
        int32_t count;
        bool withData, registered;
        int expected;
    };
    const Case cases[] = {
        {"count 0", "snow", 0, true, true, 1},
        {"negative count", "rain", -5, true, true, 1},
        {"ten million particles", "rain", 10000000, true, true, 4},
        {"pictures missing", "light", 5, false, true, 3},
        {"rain needs no picture", "rain", 5, false, true, 0},
        {"not registered", "paper", 5, true, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EffectWorld world(32, 32, c.withData);
        if (!c.registered)
            SetEffectRandomSources(nullptr);
        std::unique_ptr<CPluginEffect> object(world.registry.CreateRaw(c.name));
        auto* effect = dynamic_cast<CWeatherEffect*>(object.get());
        ASSERT_NE(effect, nullptr);
        const int code = effect->SetUp(&world.scheduler, &world.front, c.count, 1, 1, 0, nullptr, 1, 1);
        EXPECT_EQ(code, c.expected);
        if (code != 0) {
            EXPECT_EQ(world.front.GetScene()->GetList().Head(), nullptr);
            EXPECT_EQ(world.back.GetScene()->GetList().Head(), nullptr);
        } else {
            world.scheduler.Cancel(effect);
            world.Tick(1);
            (void)object.release(); // the scheduler deleted it
        }
    }
}

// What a step's redraw shows equals a scene holding a copy of every particle, drawn whole, at
// every SIMD level with the SIMD switch on and off: many particles go through the scene's tiles,
// a few through its rectangles, and rain's columns through the narrow fill.
TEST(Weather, RedrawsEqualTheParticlesDrawnWhole)
{
    struct Case {
        const char* family;
        int32_t count;
        LONG w, h;
    };
    const Case cases[] = {
        {"rain", 60, 257, 300}, {"rain", 4, 61, 250}, {"snow", 300, 203, 150},
        {"light", 150, 333, 200}, {"paper", 150, 29, 90}, // crowded: they overlap
    };
    const uint8_t mmx = g_bUseMmx;
    for (const Case& c : cases) {
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            for (uint8_t on : {uint8_t{1}, uint8_t{0}}) {
                SCOPED_TRACE(testing::Message() << c.family << " x" << c.count << " level " << int(level) << " simd "
                                                << int(on));
                g_bUseMmx = on;
                EffectWorld world(c.w, c.h);
                CLayerEffect* holder = nullptr;
                ASSERT_EQ(CreateLayerEffect(c.family, &world.front, CEffectArgs::Of(c.count, 100, 600, 1, "0", 1, 0),
                                            &holder),
                          0);
                CScene& scene = *world.front.GetScene();
                for (int step = 0; step < 5 && !HasFailure(); ++step) {
                    world.Tick(80);
                    scene.Redraw(nullptr, nullptr, 0, 0);
                    CImage shown;
                    ASSERT_EQ(shown.Create(c.w, c.h, 32, 0), 0);
                    CScene expected;
                    ASSERT_EQ(expected.SetTarget(&shown, true), 0);
                    expected.SetBackgroundImage(world.frontBackground.get(), 0, 0, true);
                    std::vector<std::unique_ptr<CDrawable>> copies;
                    MirrorDrawables(scene, expected, &copies);
                    ASSERT_EQ(expected.Redraw(nullptr, nullptr, 0, 0), 0);
                    const CImage& target = *scene.GetTarget();
                    int differing = 0;
                    LONG firstX = -1, firstY = -1;
                    for (LONG y = 0; y < c.h; ++y)
                        for (LONG x = 0; x < c.w; ++x)
                            if (PixelAt(target, x, y) != PixelAt(shown, x, y) && differing++ == 0)
                                firstX = x, firstY = y;
                    EXPECT_EQ(differing, 0) << "step " << step << ", first at " << firstX << "," << firstY;
                }
                world.scheduler.Cancel(holder);
            }
        }
    }
    g_bUseMmx = mmx;
}
