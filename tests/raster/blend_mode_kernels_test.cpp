// Blend-mode row kernels: SIMD twins against the plain kernels on random pictures of every width
// from 1 to 33 (guard bytes included in the comparison), and the per-pixel rules against formulas
// written from their definitions.
#include "raster/blend_mode_kernels.h"

#include "pixel_test_util.h"

#include "winapi/simd_level.h"

using namespace pixel_test;

namespace {

StretchState RandomStep(std::mt19937& rng, int dstW, int dstH, int& srcW, int& srcH)
{
    srcW = 1 + int(rng() % 40);
    srcH = 1 + int(rng() % 6);
    auto axis = [](int s, int d, int32_t& acc, int32_t& frac, int32_t& den, int32_t& step) {
        acc = -d - 1;
        step = s / d;
        frac = s % d;
        den = d;
    };
    StretchState st{};
    axis(srcW, dstW, st.xAcc, st.xFrac, st.xDen, st.xStep);
    axis(srcH, dstH, st.yAcc, st.yFrac, st.yDen, st.yStep);
    return st;
}

// Runs plain and SIMD forms on the same random pictures and compares the whole destination memory.
template <class Run> void ExpectTwins(const char* name, Run run, bool scaled = false)
{
    std::mt19937 rng(1234);
    for (int width = 1; width <= 33; ++width) {
        for (int rep = 0; rep < 3; ++rep) {
            const int height = 1 + int(rng() % 3);
            int srcW = width, srcH = height;
            StretchState step{};
            if (scaled) {
                step = RandomStep(rng, width, height, srcW, srcH);
            }
            Picture dst = RandomPicture(rng, width, height, 4);
            Picture src = RandomPicture(rng, srcW, srcH, 4);
            SprinkleEdges(rng, dst);
            SprinkleEdges(rng, src);
            // Make some source pixels equal the key.
            const uint32_t key = src.Px(int(rng() % srcW), int(rng() % srcH));
            const uint32_t level = rng() % 256;
            const uint32_t fd = rng() & 0xFFFFFF, fs = rng() & 0xFFFFFF;
            Picture a = dst, b = dst;
            run(false, a, src, step, key, level, fd, fs);
            run(true, b, src, step, key, level, fd, fs);
            ASSERT_EQ(a.mem, b.mem) << name << " width " << width << " rep " << rep;
        }
    }
}

} // namespace

TEST(BlendModeKernels, CrossFadeTwinsMatch)
{
    ExpectTwins("fade", [](bool simd, Picture& d, const Picture& s, const StretchState&, uint32_t, uint32_t l,
                           uint32_t, uint32_t) {
        if (simd) {
            CrossFadeRows32Mmx(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, BYTE(l));
        } else {
            CrossFadeRows32(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, (255 - l) * 0x010101u,
                            l * 0x010101u);
        }
    });
    ExpectTwins("fade key", [](bool simd, Picture& d, const Picture& s, const StretchState&, uint32_t key,
                               uint32_t l, uint32_t, uint32_t) {
        if (simd) {
            CrossFadeKeyRows32Mmx(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, BYTE(l), key);
        } else {
            CrossFadeKeyRows32(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, key,
                               (255 - l) * 0x010101u, l * 0x010101u);
        }
    });
    ExpectTwins(
        "fade scaled",
        [](bool simd, Picture& d, const Picture& s, const StretchState& st, uint32_t key, uint32_t l, uint32_t,
           uint32_t) {
            if (simd) {
                CrossFadeRows32MmxScaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, BYTE(l));
                CrossFadeKeyRows32MmxScaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st,
                                            BYTE(255 - l), key);
            } else {
                CrossFadeRows32Scaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st,
                                      (255 - l) * 0x010101u, l * 0x010101u);
                CrossFadeKeyRows32Scaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, key,
                                         l * 0x010101u, (255 - l) * 0x010101u);
            }
        },
        true);
}

TEST(BlendModeKernels, AlphaAwareCrossFadeTwinsMatch)
{
    ExpectTwins("alpha-aware fade", [](bool simd, Picture& d, const Picture& s, const StretchState&, uint32_t,
                                       uint32_t l, uint32_t, uint32_t) {
        (simd ? CrossFadeAlphaAwareRows32Mmx : CrossFadeAlphaAwareRows32)(d.First(), s.First(), d.Skip(), s.Skip(),
                                                                          d.width, d.height, BYTE(l));
    });
}

TEST(BlendModeKernels, MixTwinsMatch)
{
    ExpectTwins("mix", [](bool simd, Picture& d, const Picture& s, const StretchState&, uint32_t key, uint32_t,
                          uint32_t fd, uint32_t fs) {
        if (simd) {
            MixRows32Mmx(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, fd, fs);
            MixKeyRows32Mmx(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, key, fs, fd);
        } else {
            CrossFadeRows32(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, fd, fs);
            CrossFadeKeyRows32(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height, key, fs, fd);
        }
    });
    ExpectTwins(
        "mix scaled",
        [](bool simd, Picture& d, const Picture& s, const StretchState& st, uint32_t key, uint32_t, uint32_t fd,
           uint32_t fs) {
            if (simd) {
                MixRows32MmxScaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, fd, fs);
                MixKeyRows32MmxScaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, key, fs, fd);
            } else {
                CrossFadeRows32Scaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, fd, fs);
                CrossFadeKeyRows32Scaled(d.First(), s.First(), d.Skip(), s.pitch, d.width, d.height, st, key, fs,
                                         fd);
            }
        },
        true);
}

TEST(BlendModeKernels, ModeTwinsMatch)
{
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel forced(level);
        SCOPED_TRACE(testing::Message() << "SIMD level " << int(level));
        for (int mode = 0; mode < 3; ++mode) {
            for (int keyed = 0; keyed < 2; ++keyed) {
                ExpectTwins("mode", [&](bool simd, Picture& d, const Picture& s, const StretchState&, uint32_t key,
                                        uint32_t, uint32_t, uint32_t) {
                    BlendModeRows32(mode, keyed, simd)(d.First(), s.First(), d.Skip(), s.Skip(), d.width, d.height,
                                                       key);
                });
                ExpectTwins(
                    "mode scaled",
                    [&](bool simd, Picture& d, const Picture& s, const StretchState& st, uint32_t key, uint32_t,
                        uint32_t, uint32_t) {
                        BlendModeRows32Scaled(mode, keyed, simd)(d.First(), s.First(), d.Skip(), s.pitch, d.width,
                                                                 d.height, st, key);
                    },
                    true);
            }
        }
    }
    EXPECT_EQ(BlendModeRows32(3, false, false), nullptr);
}

// Cross-fade over every (level, d, s) triple, one channel at a time: the rounded products of the
// multiply table, alpha untouched; level 255 gives the source exactly.
TEST(BlendModeKernels, CrossFadeRuleExhaustive)
{
    std::vector<uint32_t> d(256 * 256), s(256 * 256);
    for (int level = 0; level < 256; ++level) {
        for (int i = 0; i < 256 * 256; ++i) {
            const uint32_t dv = i >> 8, sv = i & 255;
            d[i] = 0x5A000000u | dv << 16 | sv << 8 | dv;
            s[i] = 0xA5000000u | sv << 16 | dv << 8 | sv;
        }
        std::vector<uint32_t> plain = d, simd = d;
        CrossFadeRows32(reinterpret_cast<BYTE*>(plain.data()), reinterpret_cast<BYTE*>(s.data()), 0, 0, 256 * 256,
                        1, (255 - level) * 0x010101u, level * 0x010101u);
        CrossFadeRows32Mmx(reinterpret_cast<BYTE*>(simd.data()), reinterpret_cast<BYTE*>(s.data()), 0, 0,
                           256 * 256, 1, BYTE(level));
        ASSERT_EQ(plain, simd) << level;
        for (int i = 0; i < 256 * 256; ++i) {
            uint32_t want = 0x5A000000u;
            for (int c = 0; c < 3; ++c) {
                want |= std::min(255u, Mul(255 - level, Chan(d[i], c)) + Mul(level, Chan(s[i], c))) << (8 * c);
            }
            ASSERT_EQ(plain[i], want) << level << " " << i;
            if (level == 255) {
                ASSERT_EQ(plain[i] & 0xFFFFFF, s[i] & 0xFFFFFF);
            }
        }
    }
}

// The three modes and the mix against their definitions (saturating, alpha as documented).
TEST(BlendModeKernels, ModeAndMixRules)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t d = rng(), s = rng();
        uint32_t avg = (d & s & 0xFF000000u), add = 0, sub = 0;
        for (int c = 0; c < 4; ++c) {
            if (c < 3) {
                avg |= uint32_t((Chan(d, c) + Chan(s, c)) / 2) << (8 * c);
            }
            add |= uint32_t(std::min(255, Chan(d, c) + Chan(s, c))) << (8 * c);
            sub |= uint32_t(std::max(0, Chan(d, c) - Chan(s, c))) << (8 * c);
        }
        const uint32_t want[3] = {avg, add, sub};
        for (int mode = 0; mode < 3; ++mode) {
            for (int simd = 0; simd < 2; ++simd) {
                uint32_t out = d;
                BlendModeRows32(mode, false, simd)(reinterpret_cast<BYTE*>(&out), reinterpret_cast<const BYTE*>(&s),
                                                    0, 0, 1, 1, 0);
                ASSERT_EQ(out, want[mode]) << mode;
            }
        }
        const uint32_t fd = rng() & 0xFFFFFF, fs = rng() & 0xFFFFFF;
        uint32_t mix = d & 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            mix |= std::min(255u, Mul(Chan(fd, c), Chan(d, c)) + Mul(Chan(fs, c), Chan(s, c))) << (8 * c);
        }
        uint32_t out = d;
        CrossFadeRows32(reinterpret_cast<BYTE*>(&out), reinterpret_cast<const BYTE*>(&s), 0, 0, 1, 1, fd, fs);
        ASSERT_EQ(out, mix);
    }
    // Mode 0 of alphas 0xF0 and 0x0F gives alpha 0.
    uint32_t d = 0xF0102030u;
    const uint32_t s = 0x0F302010u;
    BlendModeRows32(0, false, true)(reinterpret_cast<BYTE*>(&d), reinterpret_cast<const BYTE*>(&s), 0, 0, 1, 1, 0);
    EXPECT_EQ(d >> 24, 0u);
}

TEST(BlendModeKernels, AlphaAwareRule)
{
    struct Case {
        const char* what;
        uint32_t d, s;
        BYTE level;
        uint32_t want;
    };
    const Case cases[] = {
        {"both alphas: all four bytes mixed", 0x80402010u, 0x40FF8000u, 128,
         (Mul(127, 0x80) + Mul(128, 0x40)) << 24 | (Mul(127, 0x40) + Mul(128, 0xFF)) << 16 |
             (Mul(127, 0x20) + Mul(128, 0x80)) << 8 | (Mul(127, 0x10) + Mul(128, 0))},
        {"source alpha 0: colour kept, alpha faded", 0x80402010u, 0x00FFFFFFu, 100,
         Mul(155, 0x80) << 24 | 0x402010u},
        {"destination alpha 0: source colour, alpha scaled", 0x00402010u, 0xC0112233u, 128,
         Mul(128, 0xC0) << 24 | 0x112233u},
    };
    for (const Case& c : cases) {
        uint32_t out = c.d;
        CrossFadeAlphaAwareRows32(reinterpret_cast<BYTE*>(&out), reinterpret_cast<const BYTE*>(&c.s), 0, 0, 1, 1,
                                  c.level);
        EXPECT_EQ(out, c.want) << c.what;
    }
}
