// The SIMD twins against the plain kernels at every SIMD level, on random pixels, every width from
// 1 to 33, forward, mirrored, upwards and scaled walks, with guard bytes around every buffer; and
// the per-pixel rules against formulas written here.
#include "raster/blend_tables.h"
#include "raster/row_kernels.h"
#include "support/pixel_buffers.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace raster_test;

namespace {

constexpr int kHeight = 3;

// How a kernel walks its source.
enum class Walk { Forward, Mirror, Upward, MirrorUpward };

// Calls an unscaled kernel over a plane pair with the given walk.
using Unscaled = std::function<void(BYTE*, const BYTE*, int, int, int, int)>;
using Scaled = std::function<void(BYTE*, const BYTE*, int, int, int, int, const StretchState&)>;

struct UnscaledTwin {
    const char* name;
    Unscaled plain;
    Unscaled simd;
    bool mirrored;
};

struct ScaledTwin {
    const char* name;
    Scaled plain;
    Scaled simd;
    bool mirrored;
};

void RunUnscaled(const Unscaled& kernel, GuardedPlane& dst, GuardedPlane& src, int width, bool mirrored, bool upward)
{
    const int rowBytes = width * 4;
    const BYTE* first = upward ? src.Row(src.height - 1) : src.Row(0);
    const int step = upward ? -src.pitch : src.pitch;
    if (mirrored) {
        kernel(dst.Row(0), first + rowBytes, dst.pitch - rowBytes, step + rowBytes, width, kHeight);
    } else {
        kernel(dst.Row(0), first, dst.pitch - rowBytes, step - rowBytes, width, kHeight);
    }
}

DWORD KeyFrom(GuardedPlane& src)
{
    // A key that occurs in the source: its second pixel.
    DWORD key;
    std::memcpy(&key, src.At(1 % src.width, 0), 4);
    return key;
}

// Runs a twin test at every SIMD level this machine runs (the twins pick their forms by it), and
// at the AVX2 level once more without the 512-bit twins where the processor has them.
void AtEverySimdLevel(const std::function<void()>& body)
{
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel forced(level);
        SCOPED_TRACE(testing::Message() << "SIMD level " << static_cast<int>(ActiveSimdLevel()));
        body();
    }
    if (MachineSimdLevel() >= SimdLevel::Avx2 && MachineHasAvx512Bw()) {
        const ScopedSimdLevel forced(SimdLevel::Avx2);
        const ScopedAvx512 narrow(false);
        SCOPED_TRACE("AVX2 without the 512-bit twins");
        body();
    }
}

}  // namespace

TEST(RowKernels, UnscaledTwinsGivePlainResults)
{
    AtEverySimdLevel([&] {
        DWORD key = 0;
        const UnscaledTwin twins[] = {
            {"CopyRows32", CopyRows32, CopyRows32Mmx, false},
            {"CopyRows32Mirror", CopyRows32Mirror, CopyRows32MirrorMmx, true},
            {"BlendAlphaRows32", BlendAlphaRows32, BlendAlphaRows32Mmx, false},
            {"BlendAlphaRows32Mirror", BlendAlphaRows32Mirror, BlendAlphaRows32MirrorMmx, true},
            {"CopyColorRows32", CopyColorRows32, CopyColorRows32Mmx, false},
            {"CopyAlphaRows32", CopyAlphaRows32, CopyAlphaRows32Mmx, false},
            {"CopyColorKeyRows32",
             [&](BYTE* d, const BYTE* s, int ds, int ss, int w, int h) { CopyColorKeyRows32(d, s, ds, ss, w, h, key); },
             [&](BYTE* d, const BYTE* s, int ds, int ss, int w, int h) { CopyColorKeyRows32Mmx(d, s, ds, ss, w, h, key); },
             false},
        };
        Random random(1);
        for (const UnscaledTwin& twin : twins) {
            std::vector<int> widths;
            for (int width = 1; width <= 32; ++width)
                widths.push_back(width);
            // Longer rows at a few widths too (the copy's steps of 128 bytes, and past 512 pixels
            // the library's copy).
            for (int width : {64, 100, 129, 513})
                widths.push_back(width);
            for (const int w : widths) {
                for (bool upward : {false, true}) {
                    GuardedPlane src(w, kHeight, 4), a(w, kHeight, 4), b(w, kHeight, 4);
                    random.FillPixels(src.buffer.data(), src.buffer.size() / 4);
                    random.FillPixels(a.buffer.data(), a.buffer.size() / 4);
                    std::memcpy(b.buffer.data(), a.buffer.data(), a.buffer.size());
                    key = KeyFrom(src);
                    RunUnscaled(twin.plain, a, src, w, twin.mirrored, upward);
                    RunUnscaled(twin.simd, b, src, w, twin.mirrored, upward);
                    ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size()))
                        << twin.name << " width " << w << (upward ? " upward" : "");
                    ASSERT_TRUE(a.buffer.GuardsIntact() && b.buffer.GuardsIntact() && src.buffer.GuardsIntact())
                        << twin.name << " width " << w;
                    // Slack bytes at the end of each row are not pixels: nothing writes them.
                    for (int y = 0; y < kHeight; ++y) {
                        for (int i = w * 4; i < a.pitch; ++i) {
                            ASSERT_EQ(a.Row(y)[i], b.Row(y)[i]);
                        }
                    }
                }
            }
        }
    });
}

// Sprite-like sources (runs of opaque, transparent and mixed alpha starting at any pixel) through
// the blend twins, so that the groups the SIMD blend copies or skips whole fall at every offset
// of the row, over destinations whose alpha is already clear or still set.
TEST(RowKernels, BlendTwinsMatchOnSpriteRuns)
{
    AtEverySimdLevel([&] {
        const UnscaledTwin twins[] = {
            {"BlendAlphaRows32", BlendAlphaRows32, BlendAlphaRows32Mmx, false},
            {"BlendAlphaRows32Mirror", BlendAlphaRows32Mirror, BlendAlphaRows32MirrorMmx, true},
        };
        Random random(4);
        for (const UnscaledTwin& twin : twins) {
            for (int width : {7, 8, 9, 15, 16, 17, 23, 31, 32, 33, 40, 47, 48, 63, 64, 65, 79, 100, 700}) {
                for (bool clearDst : {false, true}) {
                    GuardedPlane src(width, kHeight, 4), a(width, kHeight, 4), b(width, kHeight, 4);
                    random.FillPixels(src.buffer.data(), src.buffer.size() / 4);
                    random.FillPixels(a.buffer.data(), a.buffer.size() / 4);
                    for (int y = 0; y < kHeight; ++y) {
                        for (int x = 0; x < width;) {
                            const int run = random.Range(1, 24), kind = random.Range(0, 2);
                            for (int end = std::min(width, x + run); x < end; ++x) {
                                BYTE* p = src.At(x, y);
                                p[3] = kind == 0 ? 0 : kind == 1 ? 255 : p[3];
                                if (clearDst) {
                                    a.At(x, y)[3] = 0;
                                }
                            }
                        }
                    }
                    std::memcpy(b.buffer.data(), a.buffer.data(), a.buffer.size());
                    for (bool upward : {false, true}) {
                        RunUnscaled(twin.plain, a, src, width, twin.mirrored, upward);
                        RunUnscaled(twin.simd, b, src, width, twin.mirrored, upward);
                        ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size()))
                            << twin.name << " width " << width << (clearDst ? " clear" : "") << (upward ? " upward" : "");
                    }
                    ASSERT_TRUE(a.buffer.GuardsIntact() && b.buffer.GuardsIntact() && src.buffer.GuardsIntact())
                        << twin.name << " width " << width;
                }
            }
        }
    });
}

// A destination too large for the caches (past 16 MB), whose rows start at every 16-byte offset
// of a cache line: the blend twin streams the lines a run of opaque source fills, and must leave
// the same pixels as the plain blend, over alpha still set and already clear.
TEST(RowKernels, BlendTwinMatchesOnPicturesLargerThanTheCaches)
{
    const int width = 2051, height = 2080;
    const ptrdiff_t pitch = width + 4; // in pixels: each row starts 16 bytes further along a line
    const size_t pixels = static_cast<size_t>(pitch) * height + 1;
    Random random(12);
    std::vector<uint32_t> src(pixels), start(pixels);
    random.FillPixels(reinterpret_cast<BYTE*>(src.data()), pixels);
    random.FillPixels(reinterpret_cast<BYTE*>(start.data()), pixels);
    for (size_t i = 0; i < pixels;) {
        const int run = random.Range(1, 200), kind = random.Range(0, 2);
        const bool clear = random.Range(0, 1) == 1;
        for (const size_t end = std::min(pixels, i + run); i < end; ++i) {
            const uint32_t alpha = kind == 0 ? 0u : kind == 1 ? 255u : src[i] >> 24;
            src[i] = (src[i] & 0x00FFFFFFu) | alpha << 24;
            if (clear) {
                start[i] &= 0x00FFFFFFu;
            }
        }
    }
    // One pixel in, so that the rows do not start on a line either.
    const auto blend = [&](const Unscaled& kernel, std::vector<uint32_t>& dst) {
        const int skip = static_cast<int>(pitch - width) * 4;
        kernel(reinterpret_cast<BYTE*>(dst.data() + 1), reinterpret_cast<const BYTE*>(src.data() + 1), skip, skip,
               width, height);
    };
    std::vector<uint32_t> expected = start;
    blend(BlendAlphaRows32, expected);
    AtEverySimdLevel([&] {
        std::vector<uint32_t> ours = start;
        blend(BlendAlphaRows32Mmx, ours);
        ASSERT_TRUE(ours == expected);
    });
}

// A scaled copy whose destination is larger than the caches (which the SIMD kernel may stream to
// memory) against the plain one: rows on 32-byte boundaries and one pixel off them, a row length
// that leaves a tail, source rows repeated and skipped, and nothing beside the rows touched.
TEST(RowKernels, ScaledCopyTwinMatchesOnPicturesLargerThanTheCaches)
{
    const int width = 1283, height = 1030, pitch = 1288; // pitch in pixels: 32-byte rows
    const int srcWidth = 857, srcHeight = 1544;
    Random random(13);
    std::vector<uint32_t> src(static_cast<size_t>(srcWidth) * srcHeight);
    random.FillPixels(reinterpret_cast<BYTE*>(src.data()), src.size());
    const size_t pixels = static_cast<size_t>(pitch) * height + 16;
    std::vector<uint32_t> start(pixels);
    random.FillPixels(reinterpret_cast<BYTE*>(start.data()), pixels);
    for (const bool upscaled : {true, false}) {
        // Up: 857 columns to 1283, 1030 of the source's rows to 1030 (as many); down: 1544 rows to
        // 1030, so rows are skipped.
        const int rows = upscaled ? height * 2 / 3 : srcHeight;
        const StretchState st{-width - 1, srcWidth % width, width, srcWidth / width,
                              -height - 1, rows % height, height, rows / height};
        for (const int offset : {0, 1}) {
            // The pixels from the first on a 32-byte boundary on, copied into (plus the offset's).
            const auto copy = [&](const Scaled& kernel, std::vector<uint32_t>& dst) {
                const size_t lead = ((32 - reinterpret_cast<uintptr_t>(dst.data()) % 32) % 32) / 4;
                kernel(reinterpret_cast<BYTE*>(dst.data() + lead + offset), reinterpret_cast<const BYTE*>(src.data()),
                       (pitch - width) * 4, srcWidth * 4, width, height, st);
                return std::vector<uint32_t>(dst.begin() + static_cast<ptrdiff_t>(lead),
                                             dst.begin() + static_cast<ptrdiff_t>(lead + pixels - 8));
            };
            std::vector<uint32_t> plain = start;
            const std::vector<uint32_t> expected = copy(CopyRows32Scaled, plain);
            AtEverySimdLevel([&] {
                std::vector<uint32_t> ours = start;
                ASSERT_TRUE(copy(CopyRows32ScaledMmx, ours) == expected) << (upscaled ? "up" : "down") << ", offset "
                                                                         << offset;
            });
        }
    }
}

TEST(RowKernels, ScaledTwinsGivePlainResults)
{
    AtEverySimdLevel([&] {
        DWORD key = 0;
        const ScaledTwin twins[] = {
            {"CopyRows32Scaled", CopyRows32Scaled, CopyRows32ScaledMmx, false},
            {"CopyRows32MirrorScaled", CopyRows32MirrorScaled, CopyRows32MirrorScaledMmx, true},
            {"BlendAlphaRows32Scaled", BlendAlphaRows32Scaled, BlendAlphaRows32ScaledMmx, false},
            {"BlendAlphaRows32MirrorScaled", BlendAlphaRows32MirrorScaled, BlendAlphaRows32MirrorScaledMmx, true},
            {"CopyColorRows32Scaled", CopyColorRows32Scaled, CopyColorRows32ScaledMmx, false},
            {"CopyAlphaRows32Scaled", CopyAlphaRows32Scaled, CopyAlphaRows32ScaledMmx, false},
            {"CopyColorKeyRows32Scaled",
             [&](BYTE* d, const BYTE* s, int ds, int sp, int w, int h, const StretchState& st) {
                 CopyColorKeyRows32Scaled(d, s, ds, sp, w, h, st, key);
             },
             [&](BYTE* d, const BYTE* s, int ds, int sp, int w, int h, const StretchState& st) {
                 CopyColorKeyRows32ScaledMmx(d, s, ds, sp, w, h, st, key);
             },
             false},
        };
        Random random(2);
        // Every width to 33, then rows of many eight-pixel groups, whose sources are loaded whole,
        // gathered, or loaded from a window moved back at the row's end.
        std::vector<int> widths;
        for (int width = 1; width <= 33; ++width) {
            widths.push_back(width);
        }
        widths.insert(widths.end(), {47, 64, 100});
        for (const ScaledTwin& twin : twins) {
            for (int width : widths) {
                // Source extents below, at and above the destination's, rows likewise; single rows
                // take a walk of their own.
                for (int srcWidth : {1, width / 2 + 1, width, width * 2 + 1})
                    for (int rows : {kHeight, 1}) {
                        const int srcHeight = random.Range(1, 7);
                        GuardedPlane src(srcWidth, srcHeight, 4), a(width, rows, 4), b(width, rows, 4);
                        random.FillPixels(src.buffer.data(), src.buffer.size() / 4);
                        random.FillPixels(a.buffer.data(), a.buffer.size() / 4);
                        std::memcpy(b.buffer.data(), a.buffer.data(), a.buffer.size());
                        key = KeyFrom(src);
                        const StretchState st{-width - 1, srcWidth % width, width, srcWidth / width,
                                              -rows - 1, srcHeight % rows, rows, srcHeight / rows};
                        const BYTE* first = twin.mirrored ? src.Row(0) + srcWidth * 4 : src.Row(0);
                        twin.plain(a.Row(0), first, a.pitch - width * 4, src.pitch, width, rows, st);
                        twin.simd(b.Row(0), first, b.pitch - width * 4, src.pitch, width, rows, st);
                        ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size()))
                            << twin.name << " " << srcWidth << " -> " << width << ", " << rows << " rows";
                        ASSERT_TRUE(a.buffer.GuardsIntact() && src.buffer.GuardsIntact()) << twin.name;
                    }
            }
        }
    });
}

TEST(RowKernels, FillAndInvertTwinsGivePlainResults)
{
    AtEverySimdLevel([&] {
        Random random(3);
        for (int width = 1; width <= 33; ++width) {
            GuardedPlane a(width, kHeight, 4), b(width, kHeight, 4);
            random.FillPixels(a.buffer.data(), a.buffer.size() / 4);
            std::memcpy(b.buffer.data(), a.buffer.data(), a.buffer.size());
            const DWORD rgb = random.Next() & 0x00FFFFFFu;
            FillRgbRows32(a.Row(0), a.pitch - width * 4, width, kHeight, rgb);
            FillRgbRows32Mmx(b.Row(0), b.pitch - width * 4, width, kHeight, rgb);
            for (BYTE mode : {0, 1, 2, 7}) {
                InvertRows32(a.Row(0), a.pitch - width * 4, width, kHeight, mode);
                InvertRows32Mmx(b.Row(0), b.pitch - width * 4, width, kHeight, mode);
            }
            ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size())) << width;
            ASSERT_TRUE(a.buffer.GuardsIntact() && b.buffer.GuardsIntact());
        }
    });
}

// The fill against a loop written here: rows with and without a gap between them, four equal
// bytes and mixed ones, nothing outside the rows touched.
TEST(RowKernels, FillSetsEveryPixelOfItsRows)
{
    Random random(4);
    for (int width = 1; width <= 33; ++width) {
        for (int extra : {0, 12}) {
            for (DWORD value : {0x7F7F7F7Fu, 0x80123456u}) {
                GuardedPlane a(width, kHeight, 4, extra);
                random.FillPixels(a.buffer.data(), a.buffer.size() / 4);
                GuardedPlane b = a;
                FillRows32(a.Row(0), a.pitch - width * 4, width, kHeight, value);
                for (int y = 0; y < kHeight; ++y) {
                    for (int x = 0; x < width; ++x) {
                        std::memcpy(b.At(x, y), &value, 4);
                    }
                }
                ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size())) << width;
                ASSERT_TRUE(a.buffer.GuardsIntact());
            }
        }
    }
}

// Every (alpha, source, destination) byte triple through both blend kernels, against the exact
// rounded formula: one row per alpha, the 65536 (source, destination) pairs in each channel.
TEST(RowKernels, BlendIsExactForEveryByteTriple)
{
    AtEverySimdLevel([&] {
        std::vector<uint32_t> src(65536), dst(65536), a(65536), b(65536);
        for (uint32_t alpha = 0; alpha < 256; ++alpha) {
            for (uint32_t i = 0; i < 65536; ++i) {
                const uint32_t s = i & 255, d = i >> 8;
                // Blue takes (s, d), green (d, s), red (s ^ d, s).
                src[i] = alpha << 24 | (s ^ d) << 16 | d << 8 | s;
                dst[i] = 0x5A000000u | s << 16 | s << 8 | d;
            }
            a = dst;
            b = dst;
            auto* sp = reinterpret_cast<const BYTE*>(src.data());
            BlendAlphaRows32(reinterpret_cast<BYTE*>(a.data()), sp, 0, 0, 65536, 1);
            BlendAlphaRows32Mmx(reinterpret_cast<BYTE*>(b.data()), sp, 0, 0, 65536, 1);
            for (uint32_t i = 0; i < 65536; ++i) {
                auto expect = [&](uint32_t s, uint32_t d) { return (s * alpha + d * (255 - alpha) + 127) / 255; };
                const uint32_t s = i & 255, d = i >> 8;
                const uint32_t want = expect(s ^ d, s) << 16 | expect(d, s) << 8 | expect(s, d);  // alpha 0
                if (a[i] != want || b[i] != want) {
                    FAIL() << "alpha " << alpha << " s " << s << " d " << d << ": plain " << std::hex << a[i]
                           << " simd " << b[i] << " want " << want;
                }
            }
        }
    });
}

// The forward palette copy reads its indices several at a time: every width, rows walked down and
// up, each pixel the palette's word for its index, the row slack and guards untouched.
TEST(RowKernels, PaletteCopyGivesEachIndexItsColour)
{
    Random random(12);
    uint32_t palette[256];
    for (uint32_t& p : palette) {
        p = random.Next();
    }
    for (int w = 1; w <= 41; ++w) {
        for (bool upward : {false, true}) {
            GuardedPlane src(w, kHeight, 1, 5), dst(w, kHeight, 4);
            random.Fill(src.buffer.data(), src.buffer.size());
            random.Fill(dst.buffer.data(), dst.buffer.size());
            const std::vector<BYTE> before(dst.buffer.data(), dst.buffer.data() + dst.buffer.size());
            const BYTE* first = upward ? src.Row(kHeight - 1) : src.Row(0);
            const int srcStep = upward ? -src.pitch : src.pitch;
            PaletteRows32(dst.Row(0), first, dst.pitch - 4 * w, srcStep - w, w, kHeight, palette);
            for (int y = 0; y < kHeight; ++y) {
                const BYTE* indices = upward ? src.Row(kHeight - 1 - y) : src.Row(y);
                for (int x = 0; x < w; ++x) {
                    uint32_t got;
                    std::memcpy(&got, dst.At(x, y), 4);
                    ASSERT_EQ(palette[indices[x]], got) << "width " << w << " pixel " << x << "," << y;
                }
                const size_t slack = static_cast<size_t>(dst.Row(y) - dst.buffer.data()) + 4 * w;
                ASSERT_TRUE(std::equal(before.begin() + static_cast<ptrdiff_t>(slack),
                                       before.begin() + static_cast<ptrdiff_t>(slack) + (dst.pitch - 4 * w),
                                       dst.buffer.data() + slack))
                    << "width " << w << " row " << y;
            }
            ASSERT_TRUE(dst.buffer.GuardsIntact() && src.buffer.GuardsIntact()) << "width " << w;
        }
    }
}

TEST(RowKernels, PaletteAndPlaneKernelsFollowTheirRules)
{
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; ++i) {
        palette[i] = (i * 0x9E3779B9u) | 0x01000000u * (i & 3);
    }
    const BYTE indices[6] = {0, 7, 255, 7, 128, 3};
    uint32_t out[6];
    std::memset(out, 0xEE, sizeof out);
    PaletteKeyRows32(reinterpret_cast<BYTE*>(out), indices, 0, 0, 6, 1, palette, 7);
    const uint32_t keyedWant[6] = {palette[0], 0xEEEEEEEEu, palette[255], 0xEEEEEEEEu, palette[128], palette[3]};
    EXPECT_EQ(0, std::memcmp(out, keyedWant, sizeof out));
    PaletteRows32Mirror(reinterpret_cast<BYTE*>(out), indices + 6, 0, 0, 6, 1, palette);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(palette[indices[5 - i]], out[i]) << i;
    }

    uint32_t pixels[4] = {0x11223344u, 0xFF000000u, 0x00ABCDEFu, 0x80808080u};
    const BYTE plane[4] = {0, 255, 0x40, 0x80};
    UniteAlphaWithPlaneRows(reinterpret_cast<BYTE*>(pixels), plane, 0, 0, 4, 1);
    const uint32_t alphas[4] = {0x11, 0xFF, 0x00, 0x80};
    for (int i = 0; i < 4; ++i) {
        const uint32_t a = alphas[i], p = plane[i];
        EXPECT_EQ(255 - (255 - a) * (255 - p) / 255, pixels[i] >> 24) << i;
    }
    BYTE back[4];
    CopyAlphaToPlaneRows(back, reinterpret_cast<const BYTE*>(pixels), 0, 0, 4, 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pixels[i] >> 24, back[i]);
    }
}

// Scaled sampling: 1:1 takes every source pixel once; 3 -> 2 takes pixels 0 and 1.
TEST(RowKernels, ScaledStepsSampleAsDescribed)
{
    const uint32_t src[3] = {10, 20, 30};
    uint32_t out[3] = {};
    const StretchState same{-3 - 1, 0, 3, 1, -2, 0, 1, 1};
    CopyRows32Scaled(reinterpret_cast<BYTE*>(out), reinterpret_cast<const BYTE*>(src), 0, 12, 3, 1, same);
    EXPECT_EQ(10u, out[0]);
    EXPECT_EQ(20u, out[1]);
    EXPECT_EQ(30u, out[2]);
    const StretchState shrink{-2 - 1, 1, 2, 1, -2, 0, 1, 1};
    uint32_t two[2] = {};
    CopyRows32Scaled(reinterpret_cast<BYTE*>(two), reinterpret_cast<const BYTE*>(src), 0, 12, 2, 1, shrink);
    EXPECT_EQ(10u, two[0]);
    EXPECT_EQ(20u, two[1]);
}

// The scaled copies' twins repeat a destination row whose source row repeats. Where destination
// and source rows share a picture (no row reading what it writes itself) a row must still read
// what the rows before it wrote.
TEST(RowKernels, ScaledCopyTwinMatchesWithinOnePicture)
{
    AtEverySimdLevel([&] {
        Random random(5);
        constexpr int kWidth = 24, kRows = 14, kPitch = kWidth * 4;
        const int pairs[][2] = {{0, 1}, {0, 2}, {3, 4}, {5, 7}, {7, 0}, {11, 1}, {2, 7}};
        for (const auto& pair : pairs) {
            const int srcRow = pair[0], dstRow = pair[1];
            for (int srcWidth : {5, 12, kWidth}) {
                std::vector<uint32_t> a(kWidth * kRows);
                random.FillPixels(reinterpret_cast<BYTE*>(a.data()), a.size());
                std::vector<uint32_t> b = a;
                const int width = kWidth - 3, height = 6, srcHeight = 2;
                const StretchState st{-width - 1, srcWidth % width, width, srcWidth / width,
                                      -height - 1, srcHeight % height, height, srcHeight / height};
                auto* pa = reinterpret_cast<BYTE*>(a.data());
                auto* pb = reinterpret_cast<BYTE*>(b.data());
                CopyRows32Scaled(pa + dstRow * kPitch, pa + srcRow * kPitch + 12, 12, kPitch, width, height, st);
                CopyRows32ScaledMmx(pb + dstRow * kPitch, pb + srcRow * kPitch + 12, 12, kPitch, width, height, st);
                ASSERT_EQ(a, b) << srcRow << " -> " << dstRow << " from " << srcWidth;
                if (srcWidth <= 12) {
                    // Mirrored: the walk starts one pixel past the columns it reads.
                    CopyRows32MirrorScaled(pa + dstRow * kPitch, pa + srcRow * kPitch + 60, 12, kPitch, width,
                                           height, st);
                    CopyRows32MirrorScaledMmx(pb + dstRow * kPitch, pb + srcRow * kPitch + 60, 12, kPitch, width,
                                              height, st);
                    ASSERT_EQ(a, b) << "mirrored " << srcRow << " -> " << dstRow << " from " << srcWidth;
                }
            }
        }
    });
}
