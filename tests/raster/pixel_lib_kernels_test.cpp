// Our pixel library's AVX2 kernels against the raster's plain kernels on random pictures whose
// alpha comes in runs (clear, opaque, between) as sprites have it, over every width 1-40 with
// guard bytes; and the entries that use them (the turned drawing's span kernel among them) giving
// the plain pixels at every SIMD level.
#include "platform/cpu_info.h"
#include "raster/blend_mode_kernels.h"
#include "raster/blend_tables.h"
#include "raster/compose_kernels.h"
#include "raster/pixel_lib_entries.h"
#include "raster/pixel_lib_kernels.h"
#include "winapi/simd_level.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

#include <cmath>
#include <functional>

using namespace pixel_test;

namespace {

// Alpha in runs of 1-24 pixels of one kind: 0, 255 or any; the colours random.
void AlphaRuns(std::mt19937& rng, Picture& p)
{
    for (int y = 0; y < p.height; ++y) {
        int run = 0, kind = 0;
        for (int x = 0; x < p.width; ++x, --run) {
            if (run <= 0) {
                run = 1 + int(rng() % 24);
                kind = int(rng() % 3);
            }
            p.At(x, y)[3] = kind == 0 ? 0 : kind == 1 ? 255 : uint8_t(rng());
        }
    }
}

// The colour of the first source pixel: the colour a fill goes towards.
uint32_t FirstColour(const BYTE* s)
{
    uint32_t v;
    std::memcpy(&v, s, 4);
    return v & 0xFFFFFF;
}

using Kernel =
    std::function<void(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int w, int h, BYTE o)>;

struct TwinCase {
    const char* name;
    Kernel ours, plain;
    bool atFull = true; // opacity 255 served here (else the callers copy instead)
    bool wide = false;  // a 512-bit twin: run where the processor has it
    bool tables = false; // with the 512-bit byte permutes too
};

// Alpha over alpha of s over a copy of d, written to d, by a kernel of the from-another-picture form.
template <auto OverRows> void OverACopy(BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o)
{
    const std::vector<BYTE> under(d, d + size_t(h) * size_t(4 * w + ds));
    OverRows(d, under.data(), s, ds, ds, ss, w, h, o);
}

const TwinCase kTwins[] = {
    {"alpha over alpha", pixel_lib::AlphaOnAlphaRowsAvx2,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         AlphaOnAlphaRows32(d, s, ds, ss, w, h, g_MulTable[o]);
     }},
    // Over pixels read from elsewhere (a copy of the destination), against the blend in place.
    {"alpha over alpha from another picture", OverACopy<pixel_lib::AlphaOnAlphaOverRowsAvx2>,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         AlphaOnAlphaRows32(d, s, ds, ss, w, h, g_MulTable[o]);
     }},
    {"alpha over alpha from another picture, 512-bit", OverACopy<pixel_lib::AlphaOnAlphaOverRowsAvx512>,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         AlphaOnAlphaRows32(d, s, ds, ss, w, h, g_MulTable[o]);
     },
     true, true},
    {"add by the opacity, 512-bit", pixel_lib::AddRowsAvx512,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) { AddBlendRows32(d, s, ds, ss, w, h, o); },
     true, true},
    {"by alpha at a level", pixel_lib::BlendByLevelRowsAvx2,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         BlendAlphaTableRows32(d, s, ds, ss, w, h, g_MulTable[o]);
     }},
    {"by alpha at a level, 512-bit", pixel_lib::BlendByLevelRowsAvx512,
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         BlendAlphaTableRows32(d, s, ds, ss, w, h, g_MulTable[o]);
     },
     true, true},
    // The colour as a row read again for every row, as the plain fill towards a colour runs.
    {"towards a colour",
     [](BYTE* d, const BYTE* s, int ds, int, int w, int h, BYTE o) {
         pixel_lib::FillColorRowsAvx2(d, ds, w, h, FirstColour(s), o);
     },
     [](BYTE* d, const BYTE* s, int ds, int, int w, int h, BYTE o) {
         const std::vector<uint32_t> row(size_t(w), FirstColour(s));
         CrossFadeRows32(d, reinterpret_cast<const BYTE*>(row.data()), ds, -4 * w, w, h,
                         (255u - o) * 0x010101u, o * 0x010101u);
     },
     false},
    // Two sources in one pass: the destination as the first (read from a copy), the source as the
    // second, against the cross-fade of the second over the first in place.
    {"two sources faded",
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         const std::vector<BYTE> first(d, d + size_t(h) * size_t(4 * w + ds));
         pixel_lib::CrossFadeRowsAvx2(d, first.data(), s, ds, ds, ss, w, h, o);
     },
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         CrossFadeRows32(d, s, ds, ss, w, h, (255u - o) * 0x010101u, o * 0x010101u);
     },
     false},
    {"two sources faded, 512-bit tables",
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         const std::vector<BYTE> first(d, d + size_t(h) * size_t(4 * w + ds));
         pixel_lib::CrossFadeRowsAvx512(d, first.data(), s, ds, ds, ss, w, h, o);
     },
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         CrossFadeRows32(d, s, ds, ss, w, h, (255u - o) * 0x010101u, o * 0x010101u);
     },
     false, true, true},
    // In place, the destination its own first source, as the cross-fade wipe runs it.
    {"two sources faded in place, 512-bit tables",
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         pixel_lib::CrossFadeRowsAvx512(d, d, s, ds, ds, ss, w, h, o);
     },
     [](BYTE* d, const BYTE* s, int ds, int ss, int w, int h, BYTE o) {
         CrossFadeRows32(d, s, ds, ss, w, h, (255u - o) * 0x010101u, o * 0x010101u);
     },
     false, true, true},
};

TEST(PixelLibKernels, Avx2TwinsGiveThePlainPixels)
{
    if (MachineSimdLevel() < SimdLevel::Avx2) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 rng(49);
    for (const TwinCase& twin : kTwins) {
        if ((twin.wide && !MachineHasAvx512Bw()) || (twin.tables && !MachineHasAvx512Vbmi())) {
            continue;
        }
        // 127 and 128 on either side of the table kernels' change of weights.
        for (int o : {1, 77, 127, 128, 254, 255}) {
            if (o == 255 && !twin.atFull) {
                continue;
            }
            for (int w = 1; w <= 40; ++w) {
                SCOPED_TRACE(testing::Message() << twin.name << ", opacity " << o << ", width " << w);
                // Narrow ones over more rows: rain columns share registers across rows.
                const int h = 1 + int(rng() % (w < 8 ? 19 : 3));
                Picture src = RandomPicture(rng, w, h, 4);
                Picture dst = RandomPicture(rng, w, h, 4);
                AlphaRuns(rng, src);
                AlphaRuns(rng, dst);
                SprinkleEdges(rng, dst);
                Picture expected = dst;
                twin.plain(expected.First(), src.First(), dst.Skip(), src.Skip(), w, h, BYTE(o));
                twin.ours(dst.First(), src.First(), dst.Skip(), src.Skip(), w, h, BYTE(o));
                ASSERT_EQ(dst.mem, expected.mem);
            }
        }
    }
}

// The same source drawn twice, as a layer redrawn each frame: the second draw finds clear pixels
// already holding the source's colour and alphas grown by the first.
TEST(PixelLibKernels, Avx2TwinsDrawnAgainOverTheirOwnResultGiveThePlainPixels)
{
    if (MachineSimdLevel() < SimdLevel::Avx2) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 rng(8);
    for (const TwinCase& twin : kTwins) {
        if ((twin.wide && !MachineHasAvx512Bw()) || (twin.tables && !MachineHasAvx512Vbmi())) {
            continue;
        }
        for (int o : {128, 255}) {
            if (o == 255 && !twin.atFull) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << twin.name << ", opacity " << o);
            const int w = 45, h = 4;
            Picture src = RandomPicture(rng, w, h, 4);
            Picture dst = RandomPicture(rng, w, h, 4);
            AlphaRuns(rng, src);
            AlphaRuns(rng, dst);
            Picture expected = dst;
            for (int pass = 0; pass < 2; ++pass) {
                twin.plain(expected.First(), src.First(), dst.Skip(), src.Skip(), w, h, BYTE(o));
                twin.ours(dst.First(), src.First(), dst.Skip(), src.Skip(), w, h, BYTE(o));
                ASSERT_EQ(dst.mem, expected.mem) << "pass " << pass;
            }
        }
    }
}

// Every pair of destination alpha and level through alpha over alpha, in runs long enough for
// the vector groups: each pair meets the source weight's quotient in the first row (no group of
// sixteen there is wholly clear or opaque), and again beside opaque pixels in the second; blended
// in place and from another picture (there also sixteen pixels a step, where the processor can).
TEST(PixelLibKernels, AlphaOverAlphaAtEveryPairOfAlphas)
{
    if (MachineSimdLevel() < SimdLevel::Avx2) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 rng(7);
    for (int dA = 0; dA < 256; ++dA) {
        Picture src = RandomPicture(rng, 256, 2, 4, 0), dst = RandomPicture(rng, 256, 2, 4, 0);
        for (int x = 0; x < 256; ++x) {
            src.At(x, 0)[3] = uint8_t(x);
            dst.At(x, 0)[3] = uint8_t(dA);
            // The second row: the same pairs under an opaque destination's neighbours.
            src.At(x, 1)[3] = uint8_t(x);
            dst.At(x, 1)[3] = x % 8 == 0 ? uint8_t(dA) : 255;
        }
        Picture expected = dst;
        AlphaOnAlphaRows32(expected.First(), src.First(), 0, 0, 256, 2, g_MulTable[255]);
        Picture inPlace = dst, apart = dst;
        pixel_lib::AlphaOnAlphaRowsAvx2(inPlace.First(), src.First(), 0, 0, 256, 2, 255);
        ASSERT_EQ(inPlace.mem, expected.mem) << "in place, destination alpha " << dA;
        pixel_lib::AlphaOnAlphaOverRowsAvx2(apart.First(), dst.First(), src.First(), 0, 0, 0, 256, 2, 255);
        ASSERT_EQ(apart.mem, expected.mem) << "from another picture, destination alpha " << dA;
        if (MachineHasAvx512Bw()) {
            Picture wide = dst;
            pixel_lib::AlphaOnAlphaOverRowsAvx512(wide.First(), dst.First(), src.First(), 0, 0, 0, 256, 2, 255);
            ASSERT_EQ(wide.mem, expected.mem) << "512-bit, destination alpha " << dA;
        }
    }
}

// The rule fade in one pass against copying the first source and rule-blending the second over
// it: every width 1-40, rule bytes through tables of runs at 0 and 255 with ramps between (as a
// fade's tables are) and through wholly random ones, each picture with its own row slack.
TEST(PixelLibKernels, RuleFadeInOnePassGivesTheTwoPassPixels)
{
    if (!MachineHasAvx512Bw() || MachineSimdLevel() < SimdLevel::Avx2) {
        GTEST_SKIP() << "no 512-bit registers on this processor";
    }
    std::mt19937 rng(26);
    for (bool randomTable : {false, true}) {
        BYTE levels[256];
        for (int i = 0; i < 256; ++i) {
            levels[i] = randomTable ? BYTE(rng()) : i < 96 ? 255 : i >= 160 ? 0 : BYTE((160 - i) * 4 - 1);
        }
        for (int w = 1; w <= 40; ++w) {
            SCOPED_TRACE(testing::Message() << (randomTable ? "random table" : "ramp") << ", width " << w);
            const int h = 1 + int(rng() % 4);
            const Picture a = RandomPicture(rng, w, h, 4), b = RandomPicture(rng, w, h, 4);
            Picture rule = RandomPicture(rng, w, h, 1);
            Picture out = RandomPicture(rng, w, h, 4);
            Picture expected = out;
            CopyRows32(expected.First(), a.First(), expected.Skip(), a.Skip(), w, h);
            RuleBlendRows32(expected.First(), b.First(), expected.Skip(), b.Skip(), w, h, rule.First(), rule.Skip(),
                            levels);
            pixel_lib::RuleFadeRowsAvx512(out.First(), a.First(), b.First(), out.Skip(), a.Skip(), b.Skip(), w, h,
                                          rule.First(), rule.Skip(), levels);
            ASSERT_EQ(out.mem, expected.mem);
        }
    }
}

// The source turned by 30 degrees at zoom 1.5 about the destination's middle, by source alpha.
void Turned(const PixelLibEntries& lib, CImage& d, const CImage& s, DWORD opacity)
{
    const double a = 0.5235987755982988, z = 1.5, c = std::cos(a) * z, n = std::sin(a) * z;
    const PixelLibTransform t{c, -n, n, c, 20 - (c * 18 + n * 8), 9 - (-n * 18 + c * 8)};
    lib.drawTransformed(&d, &s, &t, nullptr, 2, 0, opacity, 0, 0, 0, nullptr);
}

// The entries through which the kernels run, at every SIMD level and with the SIMD set off, give
// the same pixels.
TEST(PixelLibKernels, EntriesGiveThePlainPixelsAtEverySimdLevel)
{
    const PixelLibEntries lib = pixel_lib::Entries();
    raster_test::Random random(3);
    struct Draw {
        const char* name;
        std::function<void(CImage& d, const CImage& s)> call;
    };
    const Draw draws[] = {
        {"alpha over alpha",
         [&](CImage& d, const CImage& s) { lib.blend(&d, &s, 3, 1, nullptr, 3, 255, 0); }},
        {"alpha over alpha at 90",
         [&](CImage& d, const CImage& s) { lib.blend(&d, &s, 0, 0, nullptr, 3, 90, 0); }},
        {"by alpha at 200",
         [&](CImage& d, const CImage& s) { lib.blend(&d, &s, -2, 2, nullptr, 2, 200, 0); }},
        {"turned by alpha", [&](CImage& d, const CImage& s) { Turned(lib, d, s, 255); }},
        {"turned by alpha at 128", [&](CImage& d, const CImage& s) { Turned(lib, d, s, 128); }},
        {"colour at 128", [&](CImage& d, const CImage&) {
             const RECT r{1, 1, 36, 6};
             lib.fillColor(&d, 0x3080F0, 128, &r);
         }}};
    for (const Draw& draw : draws) {
        auto src = op_test::MakeImage(37, 17, 32, random);
        // The same destination each time: made from one seed.
        const uint32_t seed = random.Next();
        const auto fresh = [seed] {
            raster_test::Random r(seed);
            return op_test::MakeImage(41, 19, 32, r);
        };
        for (LONG y = 0; y < src->GetHeight(); ++y) {
            for (LONG x = 0; x < src->GetWidth(); ++x) {
                const uint32_t kind = uint32_t(x / 9 + y) % 3;
                const uint32_t px = op_test::Px(*src, x, y);
                op_test::SetPx(*src, x, y, kind == 0 ? px | 0xFF000000u : kind == 1 ? px & 0xFFFFFFu : px);
            }
        }
        auto expected = fresh();
        {
            op_test::SimdSwitch off(false);
            draw.call(*expected, *src);
        }
        for (SimdLevel level : kAllSimdLevels) {
            SCOPED_TRACE(testing::Message() << draw.name << ", level " << int(level));
            ScopedSimdLevel scoped(level);
            op_test::SimdSwitch on(true);
            auto got = fresh();
            draw.call(*got, *src);
            EXPECT_EQ(raster_test::Snapshot(*got), raster_test::Snapshot(*expected));
        }
    }
}

} // namespace

// A fill towards a colour wider than the band its plain and SSE2 forms fade at a time: every pixel
// by the rule, at every level.
TEST(PixelLibKernels, WideFillTowardsAColourFollowsTheRule)
{
    const PixelLibEntries lib = pixel_lib::Entries();
    const uint32_t c = 0x3080F0;
    const BYTE o = 77;
    for (bool simd : {false, true}) {
        for (SimdLevel level : kAllSimdLevels) {
            SCOPED_TRACE(testing::Message() << "SIMD set " << simd << ", level " << int(level));
            ScopedSimdLevel scoped(level);
            op_test::SimdSwitch sw(simd);
            raster_test::Random random(5);
            auto image = op_test::MakeImage(601, 3, 32, random);
            const auto before = raster_test::Snapshot(*image);
            std::vector<uint32_t> old;
            for (int x = 0; x < 601; ++x) {
                old.push_back(op_test::Px(*image, x, 1));
            }
            const RECT r{0, 1, 601, 2};
            ASSERT_TRUE(lib.fillColor(image.get(), c, o, &r));
            EXPECT_TRUE(raster_test::SameOutside(*image, before, r));
            for (int x = 0; x < 601; ++x) {
                uint32_t want = old[size_t(x)] & 0xFF000000u;
                for (int k = 0; k < 3; ++k) {
                    want |= (Mul(255 - o, uint32_t(Chan(old[size_t(x)], k))) + Mul(uint32_t(Chan(c, k)), o))
                            << (8 * k);
                }
                ASSERT_EQ(op_test::Px(*image, x, 1), want) << x;
            }
        }
    }
}

// Pixel runs longer than the band the fade works in, with the destination apart from the sources,
// one of them, or overlapping the first at an offset either way: the rule on the sources as they
// were before the call.
TEST(PixelLibKernels, LongPixelRunsFadeFromTheSourcesAsTheyWere)
{
    const PixelLibEntries lib = pixel_lib::Entries();
    constexpr int kCount = 700, kSlack = 8;
    enum Layout { kApart, kIsFirst, kIsSecond, kAfterFirst, kBeforeFirst };
    for (int layoutAndLevel = 0; layoutAndLevel < 10; ++layoutAndLevel) {
        const Layout layout = Layout(layoutAndLevel / 2);
        const BYTE o = layoutAndLevel % 2 ? 255 : 99;
        SCOPED_TRACE(testing::Message() << "layout " << int(layout) << ", opacity " << int(o));
        std::mt19937 rng(uint32_t(layout) + 1);
        std::vector<DWORD> first(kCount + 2 * kSlack), second(kCount), apart(kCount);
        for (DWORD& v : first) {
            v = rng();
        }
        for (DWORD& v : second) {
            v = rng();
        }
        const DWORD* s1 = first.data() + kSlack;
        const std::vector<DWORD> s1Before(s1, s1 + kCount), s2Before(second);
        DWORD* dst = layout == kApart        ? apart.data()
                     : layout == kIsFirst    ? first.data() + kSlack
                     : layout == kIsSecond   ? second.data()
                     : layout == kAfterFirst ? first.data() + kSlack + 5
                                             : first.data() + kSlack - 5;
        ASSERT_EQ(lib.fadePixels(dst, s1, second.data(), kCount, o), 0);
        for (int i = 0; i < kCount; ++i) {
            const uint32_t a = s1Before[size_t(i)], b = s2Before[size_t(i)];
            uint32_t want = a & 0xFF000000u;
            for (int k = 0; k < 3; ++k) {
                want |= std::min(255u, Mul(255 - o, uint32_t(Chan(a, k))) + Mul(o, uint32_t(Chan(b, k))))
                        << (8 * k);
            }
            ASSERT_EQ(dst[i], want) << i;
        }
    }
}
