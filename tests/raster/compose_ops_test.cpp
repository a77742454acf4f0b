// Operations that draw a 32-bit source onto an image (cross-fade, mix, blend modes, opacity,
// alpha table, alpha over alpha, rule blends): every one through a table of placements (clipped on
// each side, source rectangle outside the source, clip rectangle set, wholly outside) with the
// plain and the SIMD kernels, checked pixel by pixel against its rule, with nothing outside the
// drawn rectangle changed and exactly that rectangle recorded; then their error results and the
// no-op cases.
#include "raster/blend_mode_ops.h"
#include "raster/compose_ops.h"

#include "op_test_util.h"
#include "pixel_test_util.h"
#include "winapi/simd_level.h"

#include <functional>

using namespace op_test;
using namespace pixel_test;

namespace {

using Op = std::function<int(CImage&, const CSurface*, LONG, LONG, const RECT*)>;
using Rule = std::function<uint32_t(uint32_t d, uint32_t s)>;

// The rule blends' level table from its definition.
std::vector<uint32_t> RuleLevels(uint32_t level, int progress, int softness)
{
    std::vector<uint32_t> t(256);
    const bool inv = progress > 256;
    const int start = inv ? progress - 256 : progress;
    for (int i = 0; i < 256; ++i) {
        if (i <= start - 2) {
            t[i] = inv ? 0 : level;
        } else if (i <= std::min(start - 2 + softness, 255)) {
            const int k = (i - start + 1) * 255 / softness;
            t[i] = inv ? Mul(level, k) : Mul(level, 255 - k);
        } else {
            t[i] = inv ? level : 0;
        }
    }
    return t;
}

uint32_t MixRule(uint32_t d, uint32_t s, uint32_t fd, uint32_t fs)
{
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        out |= std::min(255u, Mul(Chan(fd, c), Chan(d, c)) + Mul(Chan(fs, c), Chan(s, c))) << (8 * c);
    }
    return out;
}
uint32_t PerByte(uint32_t d, uint32_t s, int (*f)(int, int), bool colourOnly)
{
    uint32_t out = colourOnly ? d & 0xFF000000u : 0;
    for (int c = 0; c < (colourOnly ? 3 : 4); ++c) {
        out |= uint32_t(f(Chan(d, c), Chan(s, c))) << (8 * c);
    }
    return out;
}
uint32_t AddF(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        out |= uint32_t(std::min(255, Chan(d, c) + (Chan(s, c) * int(f) >> 8))) << (8 * c);
    }
    return out;
}
uint32_t SubF(uint32_t d, uint32_t s, uint32_t f)
{
    uint32_t out = d & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        out |= uint32_t(std::max(0, Chan(d, c) - (Chan(s, c) * int(f) >> 8))) << (8 * c);
    }
    return out;
}
uint32_t AlphaAware(uint32_t d, uint32_t s, uint32_t l)
{
    const uint32_t dA = d >> 24, sA = s >> 24;
    if (sA == 0) {
        return (d & 0xFFFFFF) | Mul(255 - l, dA) << 24;
    }
    if (dA == 0) {
        return (s & 0xFFFFFF) | Mul(l, sA) << 24;
    }
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        out |= (Mul(255 - l, Chan(d, c)) + Mul(l, Chan(s, c))) << (8 * c);
    }
    return out;
}

struct OpCase {
    const char* name;
    Op op;
    Rule rule;
    bool keyed; // honours the source's colour key
};

std::vector<OpCase> Cases()
{
    const auto rl = std::make_shared<std::vector<uint32_t>>(RuleLevels(200, 100, 40));
    const auto rl2 = std::make_shared<std::vector<uint32_t>>(RuleLevels(255, 300, 7));
    return {
        {"CrossFade", [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return CrossFade(d, s, 77, x, y, r); },
         [](uint32_t d, uint32_t s) { return MixRule(d, s, 178 * 0x010101u, 77 * 0x010101u); }, true},
        {"MixChannels",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return MixChannels(d, s, 0x10F030, 0xF0E0D0, x, y, r); },
         [](uint32_t d, uint32_t s) { return MixRule(d, s, 0x10F030, 0xF0E0D0); }, true},
        {"MixChannels as a cross-fade",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return MixChannels(d, s, 0x373737, 0xC8C8C8, x, y, r); },
         [](uint32_t d, uint32_t s) { return MixRule(d, s, 0x373737, 0xC8C8C8); }, true},
        {"BlendMode average", [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendMode(d, 0, s, x, y, r); },
         [](uint32_t d, uint32_t s) { return ((d & s) & 0xFF000000u) | (PerByte(d, s, [](int a, int b) { return (a + b) / 2; }, true) & 0xFFFFFF); },
         true},
        {"BlendMode add", [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendMode(d, 1, s, x, y, r); },
         [](uint32_t d, uint32_t s) { return PerByte(d, s, [](int a, int b) { return std::min(255, a + b); }, false); }, true},
        {"BlendMode subtract", [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendMode(d, 2, s, x, y, r); },
         [](uint32_t d, uint32_t s) { return PerByte(d, s, [](int a, int b) { return std::max(0, a - b); }, false); }, true},
        {"CrossFadeAlphaAware",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return CrossFadeAlphaAware(d, s, 128, x, y, r); },
         [](uint32_t d, uint32_t s) { return AlphaAware(d, s, 128); }, false},
        {"AddBlendOpacity",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return AddBlendOpacity(d, s, 200, x, y, r); },
         [](uint32_t d, uint32_t s) { return AddF(d, s, 201); }, false},
        {"SubBlendOpacity",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return SubBlendOpacity(d, s, 255, x, y, r); },
         [](uint32_t d, uint32_t s) { return SubF(d, s, 256); }, false},
        {"BlendAlphaTable blend",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendAlphaTable(d, 0, s, 180, x, y, r); },
         [](uint32_t d, uint32_t s) { return BlendF(d, s, Factor(Mul(180, s >> 24))); }, false},
        {"BlendAlphaTable add",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendAlphaTable(d, 1, s, 180, x, y, r); },
         [](uint32_t d, uint32_t s) { return AddF(d, s, Factor(Mul(180, s >> 24))); }, false},
        {"BlendAlphaTable subtract",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendAlphaTable(d, 2, s, 180, x, y, r); },
         [](uint32_t d, uint32_t s) { return SubF(d, s, Factor(Mul(180, s >> 24))); }, false},
        {"BlendAlphaOnAlpha",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendAlphaOnAlpha(d, s, 230, x, y, r); },
         [](uint32_t d, uint32_t s) {
             const uint32_t e = Mul(230, s >> 24);
             return (BlendF(d, s, Factor(Weight(d >> 24, e))) & 0xFFFFFF) | Union(d >> 24, e) << 24;
         },
         false},
        {"BlendByRule by source alpha",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendByRule(d, s, nullptr, 200, 100, 40, x, y, r); },
         [rl](uint32_t d, uint32_t s) { return BlendF(d, s, Factor((*rl)[s >> 24])); }, false},
        {"BlendByRule hiding",
         [](CImage& d, const CSurface* s, LONG x, LONG y, const RECT* r) { return BlendByRule(d, s, nullptr, 255, 300, 7, x, y, r); },
         [rl2](uint32_t d, uint32_t s) { return BlendF(d, s, Factor((*rl2)[s >> 24])); }, false},
    };
}

struct Placement {
    const char* what;
    LONG x, y;
    bool hasRect;
    RECT srcRect;
    bool clipDst;
};
const Placement kPlacements[] = {
    {"inside", 3, 2, false, {}, false},
    {"cut at left and top", -4, -3, false, {}, false},
    {"cut at right and bottom", 12, 10, false, {}, false},
    {"source rectangle reaching outside the source", 2, 1, true, {-3, -2, 8, 20}, false},
    {"inside a smaller clip rectangle", 1, 1, false, {}, true},
    {"wholly outside", 30, 2, false, {}, false},
};

} // namespace

TEST(ComposeOps, EveryPlacementMatchesTheRule)
{
    raster_test::Random random(77);
    for (const OpCase& c : Cases()) {
        for (const Placement& pl : kPlacements) {
            for (int keyed = 0; keyed < 2; ++keyed) {
                auto src = MakeImage(13, 9, 32, random);
                if (keyed) {
                    SetPx(*src, 5, 4, Px(*src, 0, 0));
                    src->SetColorKeyAt(0, 0);
                }
                const uint32_t key = src->GetColorKey();
                auto base = MakeImage(20, 15, 32, random);
                const RECT clip{2, 2, 15, 12};
                for (int run = 0; run < 4; ++run) {
                    // The plain kernels, then the SIMD ones at each level.
                    const int simd = run == 0 ? 0 : 1;
                    ScopedSimdLevel forced(kAllSimdLevels[run == 0 ? 0 : run - 1]);
                    SimdSwitch sw(simd);
                    CImage dst;
                    ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
                    dst.SetChanged(false);
                    if (pl.clipDst) {
                        dst.ClipRectToSize(&clip);
                    }
                    const std::vector<BYTE> before = raster_test::Snapshot(dst);
                    ASSERT_EQ(c.op(dst, src.get(), pl.x, pl.y, pl.hasRect ? &pl.srcRect : nullptr), 0);
                    // Where each destination pixel's source is, and the drawn rectangle.
                    const RECT sr = pl.hasRect ? pl.srcRect : RECT{0, 0, 13, 9};
                    const RECT dc = pl.clipDst ? clip : RECT{0, 0, 20, 15};
                    // The source rectangle cut to the source, placed so each pixel keeps its position.
                    const LONG l = std::max<LONG>(sr.left, 0), t = std::max<LONG>(sr.top, 0);
                    const LONG r = std::min<LONG>(sr.right, 13), b = std::min<LONG>(sr.bottom, 9);
                    const RECT drawn{std::max(dc.left, pl.x + l - sr.left), std::max(dc.top, pl.y + t - sr.top),
                                     std::min(dc.right, pl.x + r - sr.left), std::min(dc.bottom, pl.y + b - sr.top)};
                    const bool any = drawn.left < drawn.right && drawn.top < drawn.bottom;
                    for (int y = 0; y < 15; ++y) {
                        for (int x = 0; x < 20; ++x) {
                            const uint32_t d = Px(*base, x, y);
                            uint32_t want = d;
                            if (any && x >= drawn.left && x < drawn.right && y >= drawn.top && y < drawn.bottom) {
                                const uint32_t s = Px(*src, x - pl.x + sr.left, y - pl.y + sr.top);
                                want = c.keyed && s == key ? d : c.rule(d, s);
                            }
                            ASSERT_EQ(Px(dst, x, y), want) << c.name << ", " << pl.what << ", key " << keyed
                                                           << ", simd " << simd << ", run " << run << " at " << x << "," << y;
                        }
                    }
                    if (any) {
                        EXPECT_TRUE(Marked(dst, drawn)) << c.name << ", " << pl.what;
                        EXPECT_TRUE(raster_test::SameOutside(dst, before, drawn));
                    } else {
                        EXPECT_TRUE(Untouched(dst)) << c.name << ", " << pl.what;
                    }
                }
            }
        }
    }
}

TEST(ComposeOps, ErrorsAndNoOps)
{
    raster_test::Random random(5);
    auto src = MakeImage(8, 8, 32, random);
    auto src8 = MakeImage(8, 8, 8, random);
    auto dst8 = MakeImage(8, 8, 8, random);
    CImage empty;
    for (const OpCase& c : Cases()) {
        auto dst = MakeImage(8, 8, 32, random);
        EXPECT_EQ(c.op(empty, src.get(), 0, 0, nullptr), 1) << c.name;
        EXPECT_EQ(c.op(*dst, nullptr, 0, 0, nullptr), 1) << c.name;
        EXPECT_EQ(c.op(*dst, &empty, 0, 0, nullptr), 1) << c.name;
        EXPECT_EQ(c.op(*dst, src8.get(), 0, 0, nullptr), 2) << c.name;
        EXPECT_EQ(c.op(*dst8, src.get(), 0, 0, nullptr), 2) << c.name;
        EXPECT_TRUE(Untouched(*dst)) << c.name;
    }
    // Level, opacity, factors 0 and a rule blend at progress 0 or 512 draw nothing and record nothing.
    using Call = std::function<int(CImage&)>;
    const Call noOps[] = {
        [&](CImage& d) { return CrossFade(d, src.get(), 0, 0, 0, nullptr); },
        [&](CImage& d) { return StretchCrossFade(d, src.get(), 0, nullptr, 0, 0, nullptr); },
        [&](CImage& d) { return MixChannels(d, src.get(), 0xFFFFFF, 0, 0, 0, nullptr); },
        [&](CImage& d) { return CrossFadeAlphaAware(d, src.get(), 0, 0, 0, nullptr); },
        [&](CImage& d) { return AddBlendOpacity(d, src.get(), 0, 0, 0, nullptr); },
        [&](CImage& d) { return BlendAlphaTable(d, 0, src.get(), 0, 0, 0, nullptr); },
        [&](CImage& d) { return BlendAlphaOnAlpha(d, src.get(), 0, 0, 0, nullptr); },
        [&](CImage& d) { return BlendByRule(d, src.get(), nullptr, 255, 0, 10, 0, 0, nullptr); },
        [&](CImage& d) { return BlendByRule(d, src.get(), nullptr, 255, 512, 10, 0, 0, nullptr); },
        [&](CImage& d) { return BlendByRule(d, src.get(), nullptr, 0, 100, 10, 0, 0, nullptr); },
    };
    for (const Call& call : noOps) {
        auto dst = MakeImage(8, 8, 32, random);
        const std::vector<BYTE> before = raster_test::Snapshot(*dst);
        EXPECT_EQ(call(*dst), 0);
        EXPECT_EQ(raster_test::Snapshot(*dst), before);
        EXPECT_TRUE(Untouched(*dst));
    }
    // Modes outside 0..2 draw nothing but mark the clipped rectangle.
    auto dst = MakeImage(8, 8, 32, random);
    const std::vector<BYTE> before = raster_test::Snapshot(*dst);
    EXPECT_EQ(BlendMode(*dst, 3, src.get(), 2, 3, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(*dst), before);
    EXPECT_TRUE(Marked(*dst, RECT{2, 3, 8, 8}));
    auto dst2 = MakeImage(8, 8, 32, random);
    EXPECT_EQ(BlendAlphaTable(*dst2, 7, src.get(), 255, -1, -1, nullptr), 0);
    EXPECT_TRUE(Marked(*dst2, RECT{0, 0, 7, 7}));
}

TEST(ComposeOps, RuleBlends)
{
    raster_test::Random random(9);
    auto src = MakeImage(10, 6, 32, random);
    auto rule = MakeImage(10, 6, 8, random);
    auto small = MakeImage(9, 6, 8, random);
    auto base = MakeImage(10, 6, 32, random);
    struct Bad {
        const char* what;
        int progress, softness, want;
    };
    const Bad bad[] = {{"softness 0", 100, 0, 3}, {"softness 512", 100, 512, 3}, {"progress 600", 600, 10, 3},
                       {"progress -1", -1, 10, 3}};
    for (const Bad& b : bad) {
        EXPECT_EQ(BlendByRule(*base, src.get(), rule.get(), 255, b.progress, b.softness, 0, 0, nullptr), b.want)
            << b.what;
    }
    // A rule image smaller than the drawn source, or not 8-bit, is refused before drawing.
    const std::vector<BYTE> before = raster_test::Snapshot(*base);
    EXPECT_EQ(BlendByRule(*base, src.get(), small.get(), 255, 100, 10, 0, 0, nullptr), 4);
    EXPECT_EQ(BlendByRule(*base, src.get(), src.get(), 255, 100, 10, 0, 0, nullptr), 4);
    EXPECT_EQ(BlendAlphaByRule(*base, src.get(), small.get(), 255, 100, 10, 0, 0, nullptr), 4);
    EXPECT_EQ(BlendAlphaByRule(*base, src.get(), nullptr, 255, 100, 10, 0, 0, nullptr), 2);
    EXPECT_EQ(BlendAlphaByRule(*base, src.get(), src.get(), 255, 100, 10, 0, 0, nullptr), 2);
    EXPECT_EQ(raster_test::Snapshot(*base), before);
    // The drawn part of a source cut by the destination only needs that part of the rule image.
    EXPECT_EQ(BlendByRule(*base, src.get(), small.get(), 255, 100, 10, 1, 0, nullptr), 0);

    // Rule values against the level table; by-alpha further scaled by the source alpha.
    const auto levels = RuleLevels(230, 140, 30);
    for (int byAlpha = 0; byAlpha < 2; ++byAlpha) {
        CImage dst;
        ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
        const RECT part{1, 1, 9, 5};
        auto call = byAlpha ? BlendAlphaByRule : BlendByRule;
        ASSERT_EQ(call(dst, src.get(), rule.get(), 230, 140, 30, 2, 0, &part), 0);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                const uint32_t s = Px(*src, x + 1, y + 1);
                const uint32_t r = rule->GetRowAddress(y + 1)[x + 1];
                const uint32_t o = byAlpha ? Mul(levels[r], s >> 24) : levels[r];
                const int dx = x + 2;
                if (dx < 10) {
                    ASSERT_EQ(Px(dst, dx, y), BlendF(Px(*base, dx, y), s, Factor(o))) << byAlpha;
                }
            }
        }
    }
    // Progress 256 is the plain cross-fade; progress 1 with softness 1 shows only rule value 0.
    CImage a, b;
    ASSERT_EQ(a.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(b.CopyFrom(base.get(), 0), 0);
    EXPECT_EQ(BlendByRule(a, src.get(), rule.get(), 99, 256, 5, 0, 0, nullptr), 0);
    EXPECT_EQ(CrossFade(b, src.get(), 99, 0, 0, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(a), raster_test::Snapshot(b));
    BYTE t[256];
    BuildRuleLevels(255, 1, 1, t);
    EXPECT_EQ(t[0], 255);
    EXPECT_EQ(std::count(t, t + 256, 0), 255);
}

TEST(ComposeOps, StretchedFormsSampleLikeTheCopy)
{
    raster_test::Random random(12);
    auto src = MakeImage(7, 5, 32, random);
    auto base = MakeImage(30, 20, 32, random);
    // Scaled by 3 source pixels to 2: each destination pixel uses the source pixel the scaled copy
    // would have written there.
    const SIZE size{17, 11};
    CImage sampled;
    ASSERT_EQ(sampled.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(sampled.StretchCopy(src.get(), &size, -2, 3, nullptr, false), 0);
    using Call = std::function<int(CImage&)>;
    struct Case {
        const char* name;
        Call call;
        Rule rule;
    };
    const Case cases[] = {
        {"StretchCrossFade", [&](CImage& d) { return StretchCrossFade(d, src.get(), 40, &size, -2, 3, nullptr); },
         [](uint32_t d, uint32_t s) { return MixRule(d, s, 215 * 0x010101u, 40 * 0x010101u); }},
        {"StretchMixChannels",
         [&](CImage& d) { return StretchMixChannels(d, src.get(), 0x808080, 0x80FF00, &size, -2, 3, nullptr); },
         [](uint32_t d, uint32_t s) { return MixRule(d, s, 0x808080, 0x80FF00); }},
        {"StretchBlendMode add", [&](CImage& d) { return StretchBlendMode(d, 1, src.get(), &size, -2, 3, nullptr); },
         [](uint32_t d, uint32_t s) { return PerByte(d, s, [](int a, int b) { return std::min(255, a + b); }, false); }},
        {"StretchBlendAlphaTable",
         [&](CImage& d) { return StretchBlendAlphaTable(d, 0, src.get(), 255, &size, -2, 3, nullptr); },
         [](uint32_t d, uint32_t s) { return BlendF(d, s, Factor(s >> 24)); }},
        {"StretchBlendAlphaOnAlpha",
         [&](CImage& d) { return StretchBlendAlphaOnAlpha(d, src.get(), 255, &size, -2, 3, nullptr); },
         [](uint32_t d, uint32_t s) {
             return (BlendF(d, s, Factor(Weight(d >> 24, s >> 24))) & 0xFFFFFF) | Union(d >> 24, s >> 24) << 24;
         }},
    };
    for (const Case& c : cases) {
        for (int simd = 0; simd < 2; ++simd) {
            SimdSwitch sw(simd);
            CImage dst;
            ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
            dst.SetChanged(false);
            ASSERT_EQ(c.call(dst), 0) << c.name;
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 30; ++x) {
                    const bool inside = x < 15 && y >= 3 && y < 14;
                    const uint32_t d = Px(*base, x, y);
                    ASSERT_EQ(Px(dst, x, y), inside ? c.rule(d, Px(sampled, x, y)) : d)
                        << c.name << " simd " << simd << " at " << x << "," << y;
                }
            }
            EXPECT_TRUE(Marked(dst, RECT{0, 3, 15, 14})) << c.name;
        }
    }
}
