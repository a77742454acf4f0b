// Quadrilateral mapping kernels: exact pictures for zoom 1, 2, 0.5 and a quarter turn, quads that
// share an edge (no gaps, no pixel twice), safety for degenerate and far-out points, and the SIMD
// blend twin and samplers against the plain ones.
#include "raster/quad_kernels.h"

#include "raster/blend_tables.h"
#include "winapi/simd_level.h"

#include "pixel_test_util.h"

#include <array>
#include <vector>

using namespace pixel_test;

namespace {

using Quad = std::array<POINT, 4>;

Quad RectQuad(int l, int t, int r, int b) { return {POINT{l, t}, POINT{r - 1, t}, POINT{l, b - 1}, POINT{r - 1, b - 1}}; }
Quad CornerQuad(int x, int y, int w, int h) { return {POINT{x, y}, POINT{x + w, y}, POINT{x, y + h}, POINT{x + w, y + h}}; }

QuadTarget Target(Picture& p, RECT clip) { return {p.First(), p.pitch, clip}; }
QuadTarget Target(Picture& p) { return Target(p, RECT{0, 0, p.width, p.height}); }
QuadSource Source(const Picture& p) { return {p.First(), p.pitch, RECT{0, 0, p.width, p.height}}; }

// Index along an edge of n samples reaching both ends: floor(i (extent - 1) / (n - 1)).
int Sample(int i, int extent, int n) { return n <= 1 ? 0 : int(int64_t(i) * (extent - 1) / (n - 1)); }

} // namespace

TEST(QuadKernels, AxisAlignedZoomsArePixelExact)
{
    std::mt19937 rng(2);
    const Picture src = RandomPicture(rng, 8, 6, 4);
    struct Case {
        const char* what;
        int w, h;
    };
    const Case cases[] = {{"zoom 1", 8, 6}, {"zoom 2", 16, 12}, {"zoom 0.5", 4, 3}, {"one pixel", 1, 1}};
    for (const Case& c : cases) {
        Picture dst = RandomPicture(rng, 24, 20, 4);
        const Picture before = dst;
        const Quad dq = CornerQuad(3, 2, c.w, c.h);
        const Quad sq = RectQuad(0, 0, 8, 6);
        MapQuadRows32(Target(dst), Source(src), dq.data(), sq.data(), 0);
        for (int y = 0; y < dst.height; ++y) {
            for (int x = 0; x < dst.width; ++x) {
                const bool inside = x >= 3 && x < 3 + c.w && y >= 2 && y < 2 + c.h;
                const uint32_t want = inside ? src.Px(Sample(x - 3, 8, c.w), Sample(y - 2, 6, c.h)) : before.Px(x, y);
                ASSERT_EQ(dst.Px(x, y), want) << c.what << " at " << x << "," << y;
            }
        }
        ASSERT_TRUE(std::equal(dst.mem.begin(), dst.mem.begin() + kGuard, before.mem.begin()));
    }
}

TEST(QuadKernels, QuarterTurnIsPixelExact)
{
    std::mt19937 rng(3);
    const Picture src = RandomPicture(rng, 7, 4, 4);
    Picture dst = RandomPicture(rng, 20, 20, 4);
    const Picture before = dst;
    // The source's top-right corner lands at the top-left, its right column along the top row.
    const Quad dq = {POINT{5, 3 + 7}, POINT{5, 3}, POINT{5 + 4, 3 + 7}, POINT{5 + 4, 3}};
    const Quad sq = RectQuad(0, 0, 7, 4);
    MapQuadRows32(Target(dst), Source(src), dq.data(), sq.data(), 0);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 9 && y >= 3 && y < 10;
            const uint32_t want = inside ? src.Px(6 - (y - 3), x - 5) : before.Px(x, y);
            ASSERT_EQ(dst.Px(x, y), want) << x << "," << y;
        }
    }
}

TEST(QuadKernels, EdgeFlagOneDividesByTheSpan)
{
    std::mt19937 rng(4);
    const Picture src = RandomPicture(rng, 9, 9, 4);
    Picture dst = RandomPicture(rng, 9, 9, 4);
    const Picture before = dst;
    // Rectangle quads of the same size with flag 1: the drawn part shows the source's pixels.
    const Quad q = RectQuad(0, 0, 9, 9);
    MapQuadRows32(Target(dst), Source(src), q.data(), q.data(), 1);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(dst.Px(x, y), x < 8 && y < 8 ? src.Px(x, y) : before.Px(x, y)) << x << "," << y;
        }
    }
}

TEST(QuadKernels, QuadsSharingAnEdgeNeitherOverlapNorLeaveGaps)
{
    std::mt19937 rng(5);
    Picture white = RandomPicture(rng, 4, 4, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            white.SetPx(x, y, 0xFFFFFFFFu);
        }
    }
    const Quad sq = RectQuad(0, 0, 4, 4);
    const Quad halves[2] = {{POINT{0, 0}, POINT{10, 2}, POINT{3, 30}, POINT{13, 32}},
                            {POINT{10, 2}, POINT{20, 4}, POINT{13, 32}, POINT{23, 34}}};
    const Quad whole = {POINT{0, 0}, POINT{20, 4}, POINT{3, 30}, POINT{23, 34}};
    auto blank = [&] {
        Picture p = RandomPicture(rng, 40, 40, 4, 0);
        std::fill(p.mem.begin(), p.mem.end(), 0);
        return p;
    };
    Picture split = blank(), once = blank();
    for (const Quad& q : halves) {
        MapQuadBlendRows32(Target(split), Source(white), q.data(), sq.data(), 0, g_MulTable[128]);
    }
    MapQuadBlendRows32Mmx(Target(once), Source(white), whole.data(), sq.data(), 0, g_MulTable[128]);
    int covered = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const uint32_t v = split.Px(x, y) & 0xFF;
            ASSERT_TRUE(v == 0 || v == 128) << "drawn twice at " << x << "," << y;
            ASSERT_EQ(v, once.Px(x, y) & 0xFF) << "gap or extra at " << x << "," << y;
            covered += v != 0;
        }
    }
    EXPECT_GT(covered, 500);
}

TEST(QuadKernels, OppositeSecondVertexDrawsNothing)
{
    std::mt19937 rng(6);
    const Picture src = RandomPicture(rng, 4, 4, 4);
    Picture dst = RandomPicture(rng, 16, 16, 4);
    const Picture before = dst;
    const Quad dq = {POINT{5, 0}, POINT{0, 10}, POINT{10, 10}, POINT{6, 1}};
    const Quad sq = RectQuad(0, 0, 4, 4);
    MapQuadRows32(Target(dst), Source(src), dq.data(), sq.data(), 0);
    EXPECT_EQ(dst.mem, before.mem);
}

// Random, degenerate and far-out quads: only pixels inside the clip rectangle may change, texels
// come from inside the source, and the SIMD blend equals the plain one.
TEST(QuadKernels, AnyQuadStaysInsideTheClipAndTwinsMatch)
{
    std::mt19937 rng(7);
    const Picture src = RandomPicture(rng, 13, 11, 4);
    auto coord = [&](int range) -> LONG {
        switch (rng() % 8) {
        case 0: return LONG(rng());                        // anywhere in 32 bits
        case 1: return rng() % 2 ? INT32_MAX : INT32_MIN;  // the extremes
        default: return LONG(int(rng() % (2 * range)) - range / 2);
        }
    };
    for (int rep = 0; rep < 3000; ++rep) {
        Picture dst = RandomPicture(rng, 1 + int(rng() % 33), 1 + int(rng() % 20), 4);
        const Picture before = dst;
        const RECT clip{LONG(rng() % dst.width), LONG(rng() % dst.height), 0, 0};
        RECT c = clip;
        c.right = c.left + 1 + LONG(rng() % (dst.width - c.left));
        c.bottom = c.top + 1 + LONG(rng() % (dst.height - c.top));
        Quad dq, sq;
        const int mode = rep % 4;
        for (int i = 0; i < 4; ++i) {
            dq[i] = POINT{coord(60), coord(40)};
            sq[i] = POINT{coord(30), coord(30)};
        }
        if (mode == 1) {
            dq.fill(dq[0]); // all points equal
        } else if (mode == 2) {
            for (int i = 1; i < 4; ++i) {
                dq[i] = POINT{LONG(int64_t(dq[0].x) + i * 3), LONG(int64_t(dq[0].y) + i)}; // collinear
                dq[i] = dq[i].x < dq[0].x || dq[i].y < dq[0].y ? dq[0] : dq[i];
            }
        }
        const int flag = int(rng() % 2);
        Picture plain = dst, key = dst;
        const BYTE level = BYTE(rng());
        MapQuadBlendRows32(Target(plain, c), Source(src), dq.data(), sq.data(), flag, g_MulTable[level]);
        for (SimdLevel simdLevel : kAllSimdLevels) {
            ScopedSimdLevel scoped(simdLevel);
            Picture simd = dst;
            MapQuadBlendRows32Mmx(Target(simd, c), Source(src), dq.data(), sq.data(), flag, g_MulTable[level]);
            ASSERT_EQ(plain.mem, simd.mem) << rep << ", SIMD level " << int(simdLevel);
        }
        MapQuadKeyRows32(Target(key, c), Source(src), dq.data(), sq.data(), flag, src.Px(0, 0));
        for (size_t i = 0; i < dst.mem.size(); ++i) {
            const ptrdiff_t off = ptrdiff_t(i) - kGuard;
            const int y = off >= 0 ? int(off / dst.pitch) : -1;
            const int x = off >= 0 ? int(off % dst.pitch) / 4 : -1;
            const bool inClip = off >= 0 && y < dst.height && x >= c.left && x < c.right && y >= c.top &&
                                y < c.bottom;
            if (!inClip) {
                ASSERT_EQ(plain.mem[i], before.mem[i]) << rep;
                ASSERT_EQ(key.mem[i], before.mem[i]) << rep;
            }
        }
    }
}

namespace {

// Copies the gathered texels itself, or lets the kernel sample straight into the target; records
// the covered spans.
class CopySink : public QuadSpanSink {
public:
    explicit CopySink(bool direct) : m_direct(direct) {}
    void Cover(int y, int x0, int x1) override { covers.push_back({y, x0, x1}); }
    void Texels(BYTE* dst, const uint32_t* texels, int count) override
    {
        std::memcpy(dst, texels, size_t(count) * 4);
    }
    bool Copies() const override { return m_direct; }
    std::vector<std::array<int, 3>> covers;

private:
    bool m_direct;
};

} // namespace

TEST(QuadKernels, GatheredSamplesAreTheSameByEverySampler)
{
    // Nearest and bilinear, into a buffer or straight into the target, at every SIMD level (with
    // and without the sixteen-pixel bilinear sampler), against the plain sampler into a buffer:
    // spans long and short (the eight- and sixteen-pixel steps and their tails), source clips whose
    // last column and row clamp the bilinear neighbours.
    std::mt19937 rng(11);
    for (int rep = 0; rep < 600; ++rep) {
        const Picture src = RandomPicture(rng, 1 + int(rng() % 40), 1 + int(rng() % 40), 4);
        RECT sc{LONG(rng() % src.width), LONG(rng() % src.height), 0, 0};
        sc.right = sc.left + 1 + LONG(rng() % (src.width - sc.left));
        sc.bottom = sc.top + 1 + LONG(rng() % (src.height - sc.top));
        const QuadSource from{src.First(), src.pitch, sc};
        const Picture dst = RandomPicture(rng, 1 + int(rng() % 70), 1 + int(rng() % 50), 4);
        RECT c{LONG(rng() % dst.width), LONG(rng() % dst.height), 0, 0};
        c.right = c.left + 1 + LONG(rng() % (dst.width - c.left));
        c.bottom = c.top + 1 + LONG(rng() % (dst.height - c.top));
        Quad dq, sq;
        for (int i = 0; i < 4; ++i) {
            dq[i] = POINT{LONG(int(rng() % 110) - 20), LONG(int(rng() % 80) - 15)};
            sq[i] = POINT{LONG(int(rng() % 50) - 5), LONG(int(rng() % 50) - 5)};
        }
        if (rep % 3 == 0) {
            dq[3] = POINT{dq[1].x + dq[2].x - dq[0].x, dq[1].y + dq[2].y - dq[0].y}; // a parallelogram
        }
        const bool bilinear = rep % 2 != 0;
        const int flag = int(rng() % 2);
        Picture expect = dst;
        CopySink plain(false);
        MapQuadGatherRows32(Target(expect, c), from, dq.data(), sq.data(), flag, bilinear, false, plain);
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel scoped(level);
            for (bool wide : {false, true}) {
                ScopedAvx512 twins(wide);
                for (bool direct : {false, true}) {
                    Picture got = dst;
                    CopySink sink(direct);
                    MapQuadGatherRows32(Target(got, c), from, dq.data(), sq.data(), flag, bilinear, true, sink);
                    ASSERT_EQ(got.mem, expect.mem)
                        << rep << ", level " << int(level) << ", direct " << direct << ", 512-bit " << wide;
                    ASSERT_EQ(sink.covers, plain.covers) << rep;
                }
            }
        }
    }
}

TEST(QuadKernels, LongRunsSampleTheSameByEverySampler)
{
    // Runs of hundreds of pixels across a source of megabytes (the samplers ask for texels ahead
    // along long runs there): turned, tilted and squeezed quads, nearest and bilinear, straight into
    // the target, at every SIMD level against the plain sampler.
    std::mt19937 rng(23);
    const Picture src = RandomPicture(rng, 1100, 1000, 4);
    const QuadSource from{src.First(), src.pitch, RECT{3, 2, 690, 997}};
    for (int rep = 0; rep < 40; ++rep) {
        const Picture dst = RandomPicture(rng, 640, 24, 4);
        const RECT c{0, 0, dst.width, dst.height};
        const LONG x0 = LONG(rng() % 40), y0 = LONG(rng() % 12), tilt = LONG(int(rng() % 61) - 30);
        Quad dq = {POINT{x0, y0 - tilt}, POINT{x0 + 600, y0 + tilt}, POINT{x0, y0 + 30 - tilt},
                   POINT{x0 + 600, y0 + 30 + tilt}};
        if (rep % 4 == 3) {
            std::swap(dq[0].y, dq[1].y); // a trapezoid
        }
        const auto left = [&] { return POINT{LONG(rng() % 60), LONG(rng() % 980)}; };
        const auto right = [&] { return POINT{LONG(400 + rng() % 290), LONG(rng() % 980)}; };
        Quad sq = {left(), right(), left(), right()};
        if (rep % 2 == 0) {
            std::swap(sq[0], sq[1]); // runs walking the source backwards
        }
        const bool bilinear = rep % 3 == 0;
        Picture expect = dst;
        CopySink plain(false);
        MapQuadGatherRows32(Target(expect, c), from, dq.data(), sq.data(), 0, bilinear, false, plain);
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel scoped(level);
            for (bool wide : {false, true}) {
                Picture got = dst;
                CopySink sink(true);
                {
                    ScopedAvx512 twins(wide);
                    MapQuadGatherRows32(Target(got, c), from, dq.data(), sq.data(), 0, bilinear, true, sink);
                }
                ASSERT_EQ(got.mem, expect.mem) << rep << ", level " << int(level) << ", 512-bit " << wide;
            }
        }
    }
}
