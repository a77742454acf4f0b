// The block-scatter entries (54 the noise scatter, 55 and 56 the bursts, 57 the swirl, 63 the turning
// burst) walked eight blocks at a time in 32-bit lanes against the 64-bit block walk the SIMD switch
// off leaves: the same pixels and the same bounds of what changed, on random pictures of odd and tiny
// sizes, placed inside and across the destination's edges and far off it, with clipped sources and
// destinations, both modes, every progress that matters, at every SIMD level (at the AVX2 level with
// the 512-bit walk and without it, as small pictures take either); and the 512-bit walk that
// pictures of a few megabytes take against the AVX2 lanes.
#include "platform/cpu_info.h"
#include "raster/update_region.h"
#include "raster/wipe_scatter.h"
#include "raster/wipe_scatter_avx512.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <random>

namespace {

using namespace wipetest;

struct Result {
    std::vector<uint32_t> pixels;
    RECT changed;
};

struct Case {
    LONG sw, sh; // source
    LONG dw, dh; // destination
    int32_t x, y;
    bool clipSource, clipDestination;
};

Result Draw(int32_t index, const CImage& start, const CImage& src, const RECT* dstClip, int32_t progress,
            const Case& c, int32_t mode, bool simd)
{
    const uint8_t savedSwitch = g_bUseMmx;
    g_bUseMmx = simd ? 1 : 0;
    auto dst = TrackedCopy(start);
    if (dstClip != nullptr) {
        EXPECT_TRUE(dst->ClipRectToSize(dstClip));
    }
    DrawTransition(index, dst.get(), const_cast<CImage*>(&src), progress, c.x, c.y, mode, nullptr);
    g_bUseMmx = savedSwitch;
    CUpdateRegion& region = *dst->GetUpdateRegion();
    region.RecomputeBounds();
    return Result{Pixels(*dst), region.Bounds()};
}

RECT RandomClip(std::mt19937& rng, LONG w, LONG h)
{
    const LONG l = static_cast<LONG>(rng() % (w / 2 + 1)), t = static_cast<LONG>(rng() % (h / 2 + 1));
    return RECT{l, t, l + 1 + static_cast<LONG>(rng() % (w - l)), t + 1 + static_cast<LONG>(rng() % (h - t))};
}

class WipeScatterTest : public WipeTest {};

TEST_F(WipeScatterTest, LanesDrawTheBlockWalk)
{
    std::mt19937 rng(kSeed);
    constexpr int32_t kFar = int32_t{1} << 28; // the farthest placement the lanes take
    const Case cases[] = {
        {64, 48, 64, 48, 0, 0, false, false},   {53, 37, 64, 48, 5, 4, false, false},
        {37, 19, 41, 23, -6, 5, true, false},   {41, 23, 37, 29, 3, -7, false, true},
        {45, 31, 50, 40, -9, -3, true, true},   {5, 3, 9, 7, 1, 1, false, false},
        {3, 1, 4, 4, 0, 2, false, true},        {1, 1, 3, 3, 1, 0, false, false},
        {2, 5, 6, 6, -1, -1, true, false},      {97, 61, 70, 50, -20, -10, false, true},
        {30, 20, 40, 30, kFar, 0, false, false}, {30, 20, 40, 30, 0, -kFar, false, false},
        {30, 20, 40, 30, kFar + 1, 0, false, false},
    };
    const int32_t kEntries[] = {54, 55, 56, 57, 63};
    struct Pass {
        SimdLevel level;
        bool wide; // the 512-bit twins where the machine has them
    };
    std::vector<Pass> passes;
    for (SimdLevel level : kAllSimdLevels)
        passes.push_back({level, true});
    passes.push_back({SimdLevel::Avx2, false});
    for (const Pass& pass : passes) {
        const SimdLevel level = pass.level;
        ScopedSimdLevel scoped(level);
        ScopedAvx512 wide(pass.wide);
        for (int32_t index : kEntries)
            for (const Case& c : cases)
                for (int32_t progress : {1, 32, 64, 128, 192, 230, 255})
                    for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                        auto src = NoisyImage(rng, c.sw, c.sh);
                        auto start = NoisyImage(rng, c.dw, c.dh);
                        if (c.clipSource) {
                            const RECT clip = RandomClip(rng, c.sw, c.sh);
                            ASSERT_TRUE(src->ClipRectToSize(&clip));
                        }
                        RECT dstClip{};
                        if (c.clipDestination)
                            dstClip = RandomClip(rng, c.dw, c.dh);
                        const RECT* clip = c.clipDestination ? &dstClip : nullptr;
                        const Result walk = Draw(index, *start, *src, clip, progress, c, mode, false);
                        const Result lanes = Draw(index, *start, *src, clip, progress, c, mode, true);
                        ASSERT_EQ(lanes.pixels, walk.pixels)
                            << "entry " << index << ", " << c.sw << "x" << c.sh << " on " << c.dw << "x"
                            << c.dh << " at " << c.x << "," << c.y << ", progress " << progress << ", mode "
                            << mode << ", level " << static_cast<int>(level)
                            << (pass.wide ? "" : ", 512-bit off");
                        EXPECT_TRUE(lanes.changed.left == walk.changed.left && lanes.changed.top == walk.changed.top &&
                                    lanes.changed.right == walk.changed.right &&
                                    lanes.changed.bottom == walk.changed.bottom)
                            << "entry " << index << ", progress " << progress << ", mode " << mode;
                    }
    }
}

// Pictures whose w + h passes the lanes' bound keep the 64-bit walk; at the bound itself the lanes
// draw it too. A tall narrow picture keeps the work small.
TEST_F(WipeScatterTest, PicturesAtTheLanesBoundDrawTheBlockWalk)
{
    std::mt19937 rng(kSeed + 1);
    for (LONG h : {static_cast<LONG>(wipe::kScatterMostSpan - 8), static_cast<LONG>(wipe::kScatterMostSpan - 7)}) {
        const Case c{8, h, 12, 300, 2, -3, false, false};
        auto src = NoisyImage(rng, c.sw, c.sh);
        auto start = NoisyImage(rng, c.dw, c.dh);
        for (int32_t index : {54, 56, 57, 63})
            for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                const Result walk = Draw(index, *start, *src, nullptr, 200, c, mode, false);
                const Result lanes = Draw(index, *start, *src, nullptr, 200, c, mode, true);
                ASSERT_EQ(lanes.pixels, walk.pixels) << "entry " << index << ", height " << h << ", mode " << mode;
            }
    }
}

// The 512-bit walk (pictures whose clip holds kScatter512LeastBytes and more) against the AVX2 lanes
// with the 512-bit twins off: the same pixels and bounds, on large random pictures inside, across the
// destination's edges and clipped, both modes, early and late steps.
TEST_F(WipeScatterTest, WideLanesDrawTheAvx2Lanes)
{
    std::mt19937 rng(kSeed + 2);
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    struct Wide {
        LONG sw, sh, dw, dh;
        int32_t x, y;
        RECT srcClip, dstClip; // empty: none
    };
    const Wide cases[] = {
        {1031, 1001, 1100, 1000, -7, 5, {}, {}},
        {1045, 999, 1100, 1002, 9, -4, {5, 3, 1040, 990}, {3, 2, 1090, 997}},
    };
    for (const Wide& w : cases) {
        auto src = NoisyImage(rng, w.sw, w.sh);
        auto start = NoisyImage(rng, w.dw, w.dh);
        if (w.srcClip.right > 0) {
            ASSERT_TRUE(src->ClipRectToSize(&w.srcClip));
        }
        const RECT* clip = w.dstClip.right > 0 ? &w.dstClip : nullptr;
        const LONG clipW = clip ? clip->right - clip->left : w.dw, clipH = clip ? clip->bottom - clip->top : w.dh;
        ASSERT_GE(int64_t{clipW} * clipH * 4, wipe::kScatter512LeastBytes);
        const Case c{w.sw, w.sh, w.dw, w.dh, w.x, w.y, false, false};
        for (int32_t index : {54, 55, 56, 57, 63})
            for (int32_t progress : {80, 200})
                for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
                    Result narrow, wide;
                    {
                        ScopedAvx512 off(false);
                        narrow = Draw(index, *start, *src, clip, progress, c, mode, true);
                    }
                    {
                        ScopedAvx512 on(true);
                        wide = Draw(index, *start, *src, clip, progress, c, mode, true);
                    }
                    ASSERT_EQ(wide.pixels, narrow.pixels) << "entry " << index << ", " << w.sw << "x" << w.sh
                                                          << " at " << w.x << "," << w.y << ", progress " << progress
                                                          << ", mode " << mode;
                    EXPECT_TRUE(wide.changed.left == narrow.changed.left && wide.changed.top == narrow.changed.top &&
                                wide.changed.right == narrow.changed.right &&
                                wide.changed.bottom == narrow.changed.bottom)
                        << "entry " << index << ", progress " << progress << ", mode " << mode;
                }
    }
}

} // namespace
