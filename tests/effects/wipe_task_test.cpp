// The 22 rectangle wipes against the revealed areas the test computes, and the runner functions.
#include "effect_test_world.h"

#include <cmath>

#include "effects/wipe_task.h"
#include "raster/fill_ops.h"

using namespace effects_test;

namespace {

// Whether pixel (x, y) of a W × H rectangle is revealed (or painted) at elapsed e of d.
bool Revealed(int kind, int64_t W, int64_t H, uint32_t e, uint32_t d, int64_t x, int64_t y)
{
    if (e >= d)
        return true;
    const bool rows = kind == 2 || kind == 5 || kind == 8 || kind == 11 || kind == 16 || kind == 17 || kind == 20 ||
                      kind == 21;
    const int64_t n = rows ? H : W, p = rows ? y : x;
    const int64_t half = n >> 1;
    const int64_t t = int64_t(e) * half / d;
    const int64_t hw = W >> 1, hh = H >> 1, tx = int64_t(e) * hw / d, ty = int64_t(e) * hh / d;
    switch (kind) {
    case 2: case 3: case 8: case 9: return (p >= half - t && p < half) || (p >= n - half && p < n - half + t);
    case 5: case 6: case 11: case 12: return p < t || p >= n - t;
    case 4: case 10: return x >= hw - tx && x < W - hw + tx && y >= hh - ty && y < H - hh + ty;
    case 7: case 13: return !(x >= tx && x < W - tx && y >= ty && y < H - ty);
    case 14: case 16: return p % 16 < int64_t(e) * 16 / d;
    case 15: case 17: return p % 16 >= 16 - int64_t(e) * 16 / d;
    default: {
        const int64_t strips = (n + 15) / 16, ts = int64_t(e) * (strips + 15) / d;
        const int64_t q = kind == 19 || kind == 21 ? n - 1 - p : p;
        return q % 16 < std::clamp<int64_t>(ts - q / 16, 0, 16);
    }
    }
}

// One blend of the half-transparent source over black, as the raster makes it.
uint32_t OnceBlended(uint32_t sourcePixel)
{
    CImage one, src;
    one.Create(1, 1, 32, 0);
    src.Create(1, 1, 32, 0);
    one.FillRect32(0xFF000000u, nullptr);
    src.FillRect32(sourcePixel, nullptr);
    src.SetAlphaFlag(true);
    one.BlendAlpha(&src, 0, 0, nullptr, false);
    return PixelAt(one, 0, 0);
}

struct WipeWorld {
    WipeWorld() { runner.manager = &scheduler; }
    void At(uint32_t e) { scheduler.RunDue(start + e); }
    VirtualClock clock;
    CTimerManager scheduler;
    CWipeRunner runner;
    uint32_t start = VirtualClock::Now();
};

} // namespace

TEST(WipeTask, EveryKindRevealsEachPixelOnceAtItsTime)
{
    const uint32_t sourcePixel = 0x80F0E0D0u;
    const uint32_t blended = OnceBlended(sourcePixel);
    const uint32_t times[] = {0, 9, 23, 37, 50, 64, 77, 91, 99, 100, 140};
    struct Size {
        LONG w, h;
    };
    for (const Size size : {Size{17, 13}, Size{16, 12}, Size{35, 3}, Size{1, 1}}) {
        for (int run = 2 * 2; run < 2 * kWipeKinds; ++run) {
            const int kind = run / 2, blend = run % 2;
            const bool paint = kind >= 8 && kind <= 13;
            if (paint && blend == 0)
                continue;
            SCOPED_TRACE(::testing::Message() << "kind " << kind << " size " << size.w << "x" << size.h << " blend "
                                              << blend);
            WipeWorld world;
            CImage dst, src;
            // The worked rectangle sits at (3, 2) of the destination.
            ASSERT_EQ(dst.Create(size.w + 6, size.h + 4, 32, 0), 0);
            dst.FillRect32(0xFF000000u, nullptr);
            ASSERT_EQ(src.Create(size.w + 5, size.h + 5, 32, 0), 0);
            src.FillRect32(sourcePixel, nullptr);
            src.SetAlphaFlag(true);
            // Source: the rectangle at (5, 5) of the source, copied or blended at (3, 2); paint: add (1, 2, 3).
            const int32_t sourceWords[8] = {3, 2, blend, 5, 5, size.w, size.h, 0};
            const int32_t paintWords[8] = {3, 2, size.w, size.h, 1, 1, 2, 3};
            CWipeTask* task =
                StartWipeTask(&world.runner, kind, 100, &dst, paint ? nullptr : &src, paint ? paintWords : sourceWords);
            ASSERT_NE(task, nullptr);
            const uint32_t inside = paint ? 0xFF010203u : blend ? blended : sourcePixel;
            for (uint32_t e : times) {
                world.At(e);
                for (LONG y = 0; y < dst.GetHeight(); ++y) {
                    for (LONG x = 0; x < dst.GetWidth(); ++x) {
                        const bool inRect = x >= 3 && x < 3 + size.w && y >= 2 && y < 2 + size.h;
                        const bool shown = inRect && Revealed(kind, size.w, size.h, e, 100, x - 3, y - 2);
                        ASSERT_EQ(PixelAt(dst, x, y), shown ? inside : 0xFF000000u) << "e " << e << " at " << x << "," << y;
                    }
                }
            }
            EXPECT_FALSE(world.scheduler.Contains(task));
        }
    }
}

// The reveal kinds copy each source pixel to its own place: a source whose pixels tell where they
// came from, placed with an offset, partly outside the destination, in shapes that take every way
// the copies are gathered (single columns, strips, bands, narrow boxes, long and short rows).
TEST(WipeTask, RevealsCopyEachPixelFromItsPlace)
{
    struct Case {
        LONG w, h;   // the worked rectangle
        LONG sx, sy; // its corner in the source
        LONG x, y;   // where it lands
        LONG dw, dh; // the destination
    };
    const Case cases[] = {
        {37, 29, 5, 5, 3, 2, 45, 35},       // inside, cells with a remainder
        {4, 200, 2, 1, 1, 1, 8, 210},       // narrow and tall: box pieces over different rows
        {300, 40, 0, 3, -7, 5, 280, 50},    // clipped left and right, long rows
        {70, 50, 9, 0, 20, -9, 100, 60},    // clipped at the top
        {33, 70, 1, 2, 60, 30, 80, 80},     // clipped right and below
    };
    const uint32_t times[] = {0, 7, 23, 50, 77, 99, 100};
    for (const Case& c : cases) {
        const auto src = OriginImage(c.sx + c.w + 3, c.sy + c.h + 2, 7);
        for (int kind : {2, 3, 4, 5, 6, 7, 14, 15, 16, 17, 18, 19, 20, 21}) {
            SCOPED_TRACE(::testing::Message() << "kind " << kind << " rectangle " << c.w << "x" << c.h << " at "
                                              << c.x << "," << c.y);
            WipeWorld world;
            const auto dst = OriginImage(c.dw, c.dh, 9);
            const int32_t words[8] = {c.x, c.y, 0, c.sx, c.sy, c.w, c.h, 0};
            ASSERT_NE(StartWipeTask(&world.runner, kind, 100, dst.get(), src.get(), words), nullptr);
            for (uint32_t e : times) {
                world.At(e);
                for (LONG y = 0; y < c.dh; ++y) {
                    for (LONG x = 0; x < c.dw; ++x) {
                        const LONG lx = x - c.x, ly = y - c.y;
                        const bool shown = lx >= 0 && lx < c.w && ly >= 0 && ly < c.h &&
                                           Revealed(kind, c.w, c.h, e, 100, lx, ly);
                        const uint32_t expected =
                            shown ? PixelAt(*src, c.sx + lx, c.sy + ly) : 0xFF000009u | uint32_t(x & 255) << 16 |
                                                                              uint32_t(y & 255) << 8;
                        ASSERT_EQ(PixelAt(*dst, x, y), expected) << "e " << e << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(WipeTask, FadesReachBlackAndWhiteEvenWhenStepsAreSkipped)
{
    for (int kind : {0, 1}) {
        SCOPED_TRACE(kind);
        WipeWorld world;
        CImage dst;
        ASSERT_EQ(dst.Create(8, 8, 32, 0), 0);
        dst.FillRect32(0xFF646464u, nullptr);
        const int32_t words[8] = {1, 1, 5, 4, 0, 0, 0, 0};
        CWipeTask* task = StartWipeTask(&world.runner, kind, 512, &dst, nullptr, words);
        ASSERT_NE(task, nullptr);
        for (uint32_t e : {2u, 100u, 300u}) {
            world.At(e);
            const int level = int(e * 255.0 / 512);
            const int expected = kind == 0 ? std::max(0x64 - level, 0) : std::min(0x64 + level, 255);
            EXPECT_EQ(PixelAt(dst, 2, 2) & 0xFF, uint32_t(expected)) << e;
            EXPECT_EQ(PixelAt(dst, 0, 0) & 0xFF, 0x64u); // outside
        }
        world.At(600);
        EXPECT_EQ(PixelAt(dst, 5, 4) & 0xFFFFFF, kind == 0 ? 0u : 0xFFFFFFu);
        EXPECT_EQ(PixelAt(dst, 6, 5) & 0xFF, 0x64u);
    }
}

TEST(WipeTask, RunnerFinishCancelAndHooks)
{
    BusyCounter busy;
    CImage dst, src;
    ASSERT_EQ(dst.Create(20, 20, 32, 0), 0);
    ASSERT_EQ(src.Create(20, 20, 32, 0), 0);
    src.FillRect32(0xFFFFFFFFu, nullptr);
    const int32_t words[8] = {0, 0, 0, 65535, 0, 0, 0, 0};
    {
        WipeWorld world;
        // Finish draws the rest at once; the scheduler drops it on its next pass.
        dst.FillRect32(0xFF000000u, nullptr);
        CWipeTask* task = StartWipeTask(&world.runner, 18, 1000, &dst, &src, words);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->GetBusyState(), 2);
        world.At(100);
        EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 1);
        EXPECT_EQ(FinishWipeTask(&world.runner, task), 0);
        EXPECT_EQ(PixelAt(dst, 19, 19), 0xFFFFFFFFu);
        world.At(101);
        EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 0);
        EXPECT_EQ(FinishWipeTask(&world.runner, task), 0); // no longer held: nothing
        EXPECT_EQ(BusyCounter::ends, 1);
        // Cancel keeps what was drawn.
        dst.FillRect32(0xFF000000u, nullptr);
        task = StartWipeTask(&world.runner, 14, 1000, &dst, &src, words);
        world.At(500);
        EXPECT_EQ(CancelWipeTask(&world.runner, task), 0);
        EXPECT_EQ(PixelAt(dst, 0, 0), 0xFFFFFFFFu);
        EXPECT_EQ(PixelAt(dst, 15, 0), 0xFF000000u);
        world.At(501); // the scheduler deletes it on its next pass
        EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 0);
        EXPECT_EQ(BusyCounter::begins, 2);
        EXPECT_EQ(BusyCounter::ends, 2);
        // A duration of 0 is 1 ms: the first step finishes.
        task = StartWipeTask(&world.runner, 2, 0, &dst, &src, words);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->GetDuration(), 1u);
        world.At(1000);
        EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 0);
        // Rectangles with nothing left after clipping finish at once and draw nothing.
        dst.FillRect32(0xFF000000u, nullptr);
        const int32_t outside[8] = {500, 500, 1, 0, 0, 10, 10, 0};
        const int32_t none[8] = {0, 0, 0, 0, 0, 0, 5, 0};
        for (const int32_t* w : {outside, none}) {
            task = StartWipeTask(&world.runner, 6, 1000, &dst, &src, w);
            ASSERT_NE(task, nullptr);
            world.At(1001);
            EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 0);
        }
        const int32_t emptyFill[8] = {30, 30, 4, 4, 1, 9, 9, 9};
        task = StartWipeTask(&world.runner, 10, 1000, &dst, nullptr, emptyFill);
        world.At(1002);
        EXPECT_EQ(IsWipeTaskAlive(&world.runner, task), 0);
        for (LONG y = 0; y < 20; ++y)
            for (LONG x = 0; x < 20; ++x)
                ASSERT_EQ(PixelAt(dst, x, y), 0xFF000000u);
        // Refusals.
        EXPECT_EQ(StartWipeTask(&world.runner, 22, 10, &dst, &src, words), nullptr);
        EXPECT_EQ(StartWipeTask(&world.runner, -1, 10, &dst, &src, words), nullptr);
        EXPECT_EQ(StartWipeTask(&world.runner, 3, 10, &dst, nullptr, words), nullptr);
        EXPECT_EQ(StartWipeTask(&world.runner, 0, 10, nullptr, nullptr, words), nullptr);
        world.At(2000);
    }
    EXPECT_EQ(BusyCounter::open, 0);
    // The game's runner holds no scheduler.
    EXPECT_EQ(StartWipeTask(g_pWipeRunner, 2, 10, &dst, &src, words), nullptr);
    EXPECT_EQ(IsWipeTaskAlive(g_pWipeRunner, nullptr), 0);
    EXPECT_EQ(FinishWipeTask(g_pWipeRunner, nullptr), 1);
    EXPECT_EQ(CancelWipeTask(g_pWipeRunner, nullptr), 1);
}

TEST(WipeTask, ColourModeWords)
{
    struct Case {
        int32_t word, a6;
        uint8_t operation;
        uint32_t level;
    };
    const Case cases[] = {{0, 0, 0, 128}, {1, 0, 1, 0}, {2, 0, 2, 0}, {3, 300, 3, 300}, {4, 0, 0, 4},
                          {255, 0, 0, 255}, {256, 0, 0, 128}, {-1, 0, 0, 128}};
    CImage dst;
    ASSERT_EQ(dst.Create(4, 4, 32, 0), 0);
    for (const Case& c : cases) {
        CWipeTask task;
        const int32_t words[8] = {0, 0, 4, 4, c.word, c.a6, 0, 0};
        ASSERT_TRUE(task.Init(8, 10, &dst, nullptr, words));
        EXPECT_EQ(task.GetOperation(), c.operation) << c.word;
        if (c.operation == 0 || c.operation == 3) {
            EXPECT_EQ(task.GetLevel(), c.level) << c.word;
        }
    }
}
