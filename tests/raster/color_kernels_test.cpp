// Fill and colour row kernels: SIMD twins against the plain kernels on random pictures of every
// width from 1 to 33 with guard bytes, and the per-pixel rules against their definitions.
#include "raster/color_kernels.h"

#include "raster/blend_tables.h"
#include "winapi/simd_level.h"

#include "pixel_test_util.h"

#include <algorithm>

using namespace pixel_test;

namespace {

// dst (32-bit) and an 8-bit mask of the same size; run(simd, dst, mask, key, colour, level).
template <class Run> void ExpectTwins(const char* name, Run run)
{
    std::mt19937 rng(99);
    for (int width = 1; width <= 33; ++width) {
        for (int rep = 0; rep < 3; ++rep) {
            const int height = 1 + int(rng() % 3);
            Picture dst = RandomPicture(rng, width, height, 4);
            Picture mask = RandomPicture(rng, width, height, 1, int(rng() % 5));
            SprinkleEdges(rng, dst);
            SprinkleEdges(rng, mask);
            const uint32_t key = dst.Px(int(rng() % width), int(rng() % height));
            const uint32_t color = rng() & 0xFFFFFF;
            const uint32_t level = rng() % 256;
            Picture a = dst, b = dst;
            run(false, a, mask, key, color, level);
            run(true, b, mask, key, color, level);
            ASSERT_EQ(a.mem, b.mem) << name << " width " << width;
        }
    }
}

BYTE* B(uint32_t& v) { return reinterpret_cast<BYTE*>(&v); }

} // namespace

TEST(ColorKernels, TwinsMatch)
{
    for (SimdLevel level : kAllSimdLevels) {
        ScopedSimdLevel forced(level);
        SCOPED_TRACE(int(level));
        ExpectTwins("add", [](bool simd, Picture& d, const Picture&, uint32_t key, uint32_t c, uint32_t) {
            (simd ? AddColorRows32Mmx : AddColorRows32)(d.First(), d.Skip(), d.width, d.height, c);
            (simd ? AddColorKeyRows32Mmx : AddColorKeyRows32)(d.First(), d.Skip(), d.width, d.height, c >> 3, key);
        });
        ExpectTwins("sub", [](bool simd, Picture& d, const Picture&, uint32_t key, uint32_t c, uint32_t) {
            (simd ? SubColorRows32Mmx : SubColorRows32)(d.First(), d.Skip(), d.width, d.height, c);
            (simd ? SubColorKeyRows32Mmx : SubColorKeyRows32)(d.First(), d.Skip(), d.width, d.height, c >> 3, key);
        });
    }
    ExpectTwins("gray", [](bool simd, Picture& d, const Picture&, uint32_t, uint32_t, uint32_t) {
        (simd ? GrayRows32Mmx : GrayRows32)(d.First(), d.Skip(), d.width, d.height);
    });
    ExpectTwins("brightest to alpha", [](bool simd, Picture& d, const Picture&, uint32_t, uint32_t, uint32_t) {
        (simd ? BrightestToAlphaRows32Mmx : BrightestToAlphaRows32)(d.First(), d.Skip(), d.width, d.height);
    });
    ExpectTwins("colorize", [](bool simd, Picture& d, const Picture&, uint32_t, uint32_t c, uint32_t l) {
        const int rg = int(c % 257), gg = int((c >> 9) % 257), bg = int(l);
        const int ro = int(c % 511) - 255, go = int((c >> 5) % 511) - 255, bo = int(l) - 128;
        (simd ? ColorizeRows32Mmx : ColorizeRows32)(d.First(), d.Skip(), d.width, d.height, rg, gg, bg, ro, go, bo);
    });
    for (int mode = 0; mode < 4; ++mode) {
        ExpectTwins("paint mask", [mode](bool simd, Picture& d, const Picture& m, uint32_t, uint32_t c, uint32_t l) {
            using K = void (*)(BYTE*, const BYTE*, int, int, int, int, DWORD, const BYTE*);
            const K kernels[4][2] = {{PaintMaskRows32, PaintMaskRows32Mmx},
                                     {PaintMaskAddRows32, PaintMaskAddRows32Mmx},
                                     {PaintMaskSubRows32, PaintMaskSubRows32Mmx},
                                     {PaintMaskOnAlphaRows32, PaintMaskOnAlphaRows32Mmx}};
            kernels[mode][simd](d.First(), m.First(), d.Skip(), m.Skip(), d.width, d.height, c, g_MulTable[l]);
        });
    }
    ExpectTwins("glyph", [](bool simd, Picture& d, const Picture& m, uint32_t, uint32_t c, uint32_t) {
        (simd ? BlendGlyphRows32Mmx : BlendGlyphRows32)(d.First(), m.First(), d.Skip(), m.Skip(), d.width,
                                                        d.height, c);
    });
    // Glyph-like masks: runs of 0 and 255 with blended edges, at every alignment.
    ExpectTwins("glyph runs", [](bool simd, Picture& d, const Picture& m, uint32_t, uint32_t c, uint32_t l) {
        Picture runs = m;
        for (int y = 0; y < runs.height; ++y)
            for (int x = 0; x < runs.width; ++x) {
                const uint32_t k = ((x + l) / 5 + y) % 3;
                *runs.At(x, y) = k == 0 ? 0 : k == 1 ? 255 : *m.At(x, y);
            }
        (simd ? BlendGlyphRows32Mmx : BlendGlyphRows32)(d.First(), runs.First(), d.Skip(), runs.Skip(), d.width,
                                                        d.height, c | 0xFF000000u);
    });
}

TEST(ColorKernels, PerPixelRules)
{
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t d = rng(), c = rng() & 0xFFFFFF;
        const uint32_t m = rng() % 256, level = rng() % 256;
        const uint32_t f = Factor(Mul(level, m));
        uint32_t add = d & 0xFF000000u, sub = add, gray, blend, fill = add, glyph = add, paintAdd = add,
                 paintSub = add;
        const int g = (77 * Chan(d, 2) + 150 * Chan(d, 1) + 29 * Chan(d, 0)) >> 8;
        gray = (d & 0xFF000000u) | uint32_t(g) * 0x010101u;
        blend = BlendF(d, c, f);
        const uint32_t alpha = level;
        for (int ch = 0; ch < 3; ++ch) {
            add |= uint32_t(std::min(255, Chan(d, ch) + Chan(c, ch))) << (8 * ch);
            sub |= uint32_t(std::max(0, Chan(d, ch) - Chan(c, ch))) << (8 * ch);
            fill |= (Mul(255 - alpha, Chan(d, ch)) + Mul(Chan(c, ch), alpha)) << (8 * ch);
            glyph |= std::min(255u, Mul(m, Chan(c, ch)) + Mul(255 - m, Chan(d, ch))) << (8 * ch);
            paintAdd |= uint32_t(std::min(255, Chan(d, ch) + (Chan(c, ch) * int(f) >> 8))) << (8 * ch);
            paintSub |= uint32_t(std::max(0, Chan(d, ch) - (Chan(c, ch) * int(f) >> 8))) << (8 * ch);
        }
        if (m == 0) {
            glyph = d;
        }
        const BYTE mb = BYTE(m);
        for (int simd = 0; simd < 2; ++simd) {
            uint32_t v = d;
            (simd ? AddColorRows32Mmx : AddColorRows32)(B(v), 0, 1, 1, c);
            ASSERT_EQ(v, add);
            v = d;
            (simd ? SubColorRows32Mmx : SubColorRows32)(B(v), 0, 1, 1, c);
            ASSERT_EQ(v, sub);
            v = d;
            (simd ? GrayRows32Mmx : GrayRows32)(B(v), 0, 1, 1);
            ASSERT_EQ(v, gray);
            v = d;
            (simd ? BrightestToAlphaRows32Mmx : BrightestToAlphaRows32)(B(v), 0, 1, 1);
            ASSERT_EQ(v, (d & 0xFFFFFFu) | uint32_t(std::max({Chan(d, 0), Chan(d, 1), Chan(d, 2)})) << 24);
            v = d;
            (simd ? PaintMaskRows32Mmx : PaintMaskRows32)(B(v), &mb, 0, 0, 1, 1, c, g_MulTable[level]);
            ASSERT_EQ(v, blend);
            v = d;
            (simd ? PaintMaskAddRows32Mmx : PaintMaskAddRows32)(B(v), &mb, 0, 0, 1, 1, c, g_MulTable[level]);
            ASSERT_EQ(v, paintAdd);
            v = d;
            (simd ? PaintMaskSubRows32Mmx : PaintMaskSubRows32)(B(v), &mb, 0, 0, 1, 1, c, g_MulTable[level]);
            ASSERT_EQ(v, paintSub);
            v = d;
            (simd ? BlendGlyphRows32Mmx : BlendGlyphRows32)(B(v), &mb, 0, 0, 1, 1, c);
            ASSERT_EQ(v, glyph);
            // Over a destination with alpha: weight and union from their definitions.
            v = d;
            (simd ? PaintMaskOnAlphaRows32Mmx : PaintMaskOnAlphaRows32)(B(v), &mb, 0, 0, 1, 1, c, g_MulTable[level]);
            const uint32_t o = Mul(level, m);
            ASSERT_EQ(v, (BlendF(d, c, Factor(Weight(d >> 24, o))) & 0xFFFFFF) | Union(d >> 24, o) << 24);
        }
        uint32_t v = d;
        BlendColorRows32(B(v), 4, 1, 1, c, BYTE(alpha));
        ASSERT_EQ(v, fill);
    }
}

TEST(ColorKernels, NamedValues)
{
    struct Case {
        const char* what;
        uint32_t in, out;
    };
    const Case gray[] = {{"red", 0x12FF0000u, 0x124C4C4Cu},
                         {"green", 0x0000FF00u, 0x00959595u},
                         {"blue", 0x000000FFu, 0x001C1C1Cu},
                         {"white", 0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const Case& c : gray) {
        uint32_t v = c.in;
        GrayRows32(B(v), 0, 1, 1);
        EXPECT_EQ(v, c.out) << c.what;
    }
    // Colorize at gain 128, offset 0 is the identity; fill at alpha 255 writes the colour exactly.
    std::mt19937 rng(3);
    for (int i = 0; i < 1000; ++i) {
        const uint32_t d = rng();
        uint32_t v = d, w = d;
        ColorizeRows32(B(v), 0, 1, 1, 128, 128, 128, 0, 0, 0);
        ColorizeRows32Mmx(B(w), 0, 1, 1, 128, 128, 128, 0, 0, 0);
        ASSERT_EQ(v, d);
        ASSERT_EQ(w, d);
        v = d;
        BlendColorRows32(B(v), 4, 1, 1, 0x123456u, 255);
        ASSERT_EQ(v, (d & 0xFF000000u) | 0x123456u);
    }
    // A keyed destination pixel stays.
    uint32_t px[2] = {0x11223344u, 0x55667788u};
    AddColorKeyRows32Mmx(reinterpret_cast<BYTE*>(px), 0, 2, 1, 0x010101u, 0x11223344u);
    EXPECT_EQ(px[0], 0x11223344u);
    EXPECT_EQ(px[1], 0x55677889u);
    InvertKeyRows32(reinterpret_cast<BYTE*>(px), 0, 2, 1, 1, 0x11223344u);
    EXPECT_EQ(px[0], 0x11223344u);
    EXPECT_EQ(px[1], ~0x55677889u);
}

TEST(ColorKernels, AlphaLevels)
{
    struct Case {
        int level;
        BYTE in, out;
    };
    const Case cases[] = {{256, 77, 77}, {511, 0, 255}, {511, 77, 255}, {0, 200, 0}, {128, 200, 100},
                          {300, 100, BYTE(Mul(211, 100) + 44)}};
    for (const Case& c : cases) {
        uint32_t px = 0x00112233u | uint32_t(c.in) << 24;
        AdjustAlphaRows(B(px), 0, 1, 1, 4, c.level);
        EXPECT_EQ(px, 0x00112233u | uint32_t(c.out) << 24) << c.level;
        BYTE plane = c.in;
        AdjustAlphaRows(&plane, 0, 1, 1, 1, c.level);
        EXPECT_EQ(plane, c.out) << c.level;
    }
    uint32_t px = 0x80112233u;
    ScaleOffsetAlphaRows(B(px), 0, 1, 1, 4, 256, 10);
    EXPECT_EQ(px, 0xFF112233u);
    px = 0x80112233u;
    ScaleOffsetAlphaRows(B(px), 0, 1, 1, 4, 64, -10);
    EXPECT_EQ(px, 0x36112233u);
}

TEST(ColorKernels, MaskPaintingClipsToTheDestination)
{
    std::mt19937 rng(11);
    for (int rep = 0; rep < 200; ++rep) {
        Picture dst = RandomPicture(rng, 1 + int(rng() % 12), 1 + int(rng() % 12), 4);
        Picture mask = RandomPicture(rng, 1 + int(rng() % 12), 1 + int(rng() % 12), 1);
        SprinkleEdges(rng, mask);
        const int x = int(rng() % 30) - 15, y = int(rng() % 30) - 15;
        Picture plain = dst, painted = dst;
        const bool inside = x < dst.width && y < dst.height && x + mask.width > 0 && y + mask.height > 0;
        EXPECT_EQ(BlendGlyphMask(x, y, 10, 20, 30, plain.First(), dst.width, dst.height, dst.pitch, mask.First(),
                                 mask.width, mask.height, mask.pitch),
                  inside);
        EXPECT_EQ(PaintMaskColor(x, y, 10, 20, 30, painted.First(), dst.width, dst.height, dst.pitch,
                                 mask.First(), mask.width, mask.height, mask.pitch),
                  inside);
        // Every pixel is either untouched or covered by the mask; guards and padding stay.
        for (size_t i = 0; i < dst.mem.size(); ++i) {
            const ptrdiff_t off = ptrdiff_t(i) - kGuard;
            const bool inPicture = off >= 0 && off < ptrdiff_t(dst.pitch) * dst.height &&
                                   (off % dst.pitch) < dst.width * 4;
            if (!inPicture) {
                ASSERT_EQ(painted.mem[i], dst.mem[i]);
                ASSERT_EQ(plain.mem[i], dst.mem[i]);
            }
        }
        for (int py = 0; py < dst.height; ++py) {
            for (int px = 0; px < dst.width; ++px) {
                const int mx = px - x, my = py - y;
                const bool covered = mx >= 0 && my >= 0 && mx < mask.width && my < mask.height;
                const uint32_t was = dst.Px(px, py);
                const uint32_t want = covered && *mask.At(mx, my) ? (was & 0xFF000000u) | 0x0A141Eu : was;
                ASSERT_EQ(painted.Px(px, py), want);
                if (!covered) {
                    ASSERT_EQ(plain.Px(px, py), was);
                }
            }
        }
    }
}

TEST(ColorKernels, ScaleColorKeepsAlphaAndPadding)
{
    std::mt19937 rng(12);
    Picture p = RandomPicture(rng, 5, 3, 4, 8);
    const Picture before = p;
    ScaleColorRows32(p.First(), p.pitch, 5, 3, 100);
    for (size_t i = 0; i < p.mem.size(); ++i) {
        const ptrdiff_t off = ptrdiff_t(i) - kGuard;
        const bool colour = off >= 0 && off < p.pitch * 3 && off % p.pitch < 20 && off % 4 != 3;
        ASSERT_EQ(p.mem[i], colour ? Mul(100, before.mem[i]) : before.mem[i]) << i;
    }
}

TEST(ColorKernels, TextureConversion)
{
    const uint32_t src[2] = {0xFFFF0000u, 0x7F00FF80u};
    uint16_t t[2];
    ConvertArgbToTexture16(64, reinterpret_cast<BYTE*>(t), 0, 0, 2, 1, 4, reinterpret_cast<const BYTE*>(src), 0, 0,
                           8);
    EXPECT_EQ(t[0], 0xFC00);
    EXPECT_EQ(t[1], 0x03F0);
    ConvertArgbToTexture16(128, reinterpret_cast<BYTE*>(t), 0, 0, 2, 1, 4, reinterpret_cast<const BYTE*>(src), 0, 0,
                           8);
    EXPECT_EQ(t[0], 0xFF00);
    EXPECT_EQ(t[1], 0x70F8);
}
