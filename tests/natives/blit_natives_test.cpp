// Natives 333-385 (blits and filters): on random pictures, with rectangles across every edge and
// 65535 in each absent position, each native draws exactly what its call in
// docs/natives-drawing.md draws; dead or foreign surface words draw nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "../files/gll_test_support.h"
#include "display/display_objects.h"
#include "files/gll_manager.h"
#include "display/screen.h"
#include "natives/native_table.h"
#include "raster/blend_mode_ops.h"
#include "raster/blur_ops.h"
#include "raster/compose_ops.h"
#include "raster/device_copy_ops.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "raster/rotate_ops.h"
#include "raster/scale_ops.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t A = 65535;

uint32_t Native(CScriptHost& host, uint32_t n, const std::vector<uint32_t>& words)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    const uint32_t result = GetNativeRow(n).function(args);
    host.Memory().Free(block);
    return result;
}

void Randomise(CImage& image, uint32_t seed)
{
    std::mt19937 rng(seed);
    const size_t bytes = static_cast<size_t>(image.GetPitch()) * static_cast<size_t>(image.GetHeight());
    for (size_t i = 0; i < bytes; ++i)
        image.GetBits()[i] = static_cast<BYTE>(rng());
}

bool Same(const CImage& a, const CImage& b)
{
    const size_t bytes = static_cast<size_t>(a.GetPitch()) * static_cast<size_t>(a.GetHeight());
    return std::memcmp(a.GetBits(), b.GetBits(), bytes) == 0;
}

using Expected = std::function<int(CImage& dst, CImage* src, LONG x, LONG y, const SIZE* size, const RECT* rect)>;

struct BlitRow {
    uint32_t n;
    bool scaled;
    int layout; // 0 plain (params after the rectangle), 1 cross-fade (level at word 2), 2 mode first
    std::vector<uint32_t> params;
    Expected call;
};

std::vector<BlitRow> Rows()
{
    return {
        {333, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.Copy(s, x, y, r, false); }},
        {334, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopy(s, z, x, y, r, false); }},
        {335, false, 0, {1}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.CopyFlip(s, 1, x, y, r); }},
        {336, true, 0, {2}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopyFlip(s, 2, z, x, y, r); }},
        {337, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.BlendAlpha(s, x, y, r, false); }},
        {338, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchBlendAlpha(s, z, x, y, r, false); }},
        {339, false, 0, {1}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.BlendAlphaFlip(s, 1, x, y, r); }},
        {340, true, 0, {1}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchBlendAlphaFlip(s, 1, z, x, y, r); }},
        {341, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.CopyAlphaPlane(s, x, y, r, false); }},
        {342, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopyAlphaPlane(s, z, x, y, r, false); }},
        {343, false, 0, {1}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.CopyAlphaPlaneFlip(s, 1, x, y, r); }},
        {344, true, 0, {1}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopyAlphaPlaneFlip(s, 1, z, x, y, r); }},
        {345, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.CopyColorKeepAlpha(s, x, y, r); }},
        {346, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopyColorKeepAlpha(s, z, x, y, r); }},
        {347, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return d.CopyAlphaKeepColor(s, x, y, r); }},
        {348, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return d.StretchCopyAlphaKeepColor(s, z, x, y, r); }},
        {349, false, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return CopyFromAny(d, s, x, y, r); }},
        {350, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchCopyFromAny(d, s, z, x, y, r); }},
        {357, false, 1, {100}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return CrossFade(d, s, 100, x, y, r); }},
        {358, true, 1, {100}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchCrossFade(d, s, 100, z, x, y, r); }},
        {359, false, 0, {0x804020, 0x102040}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return MixChannels(d, s, 0x804020, 0x102040, x, y, r); }},
        {360, true, 0, {0x804020, 0x102040}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchMixChannels(d, s, 0x804020, 0x102040, z, x, y, r); }},
        {361, false, 2, {3}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlendMode(d, 3, s, x, y, r); }},
        {362, true, 2, {3}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchBlendMode(d, 3, s, z, x, y, r); }},
        {363, false, 0, {90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return AddBlendOpacity(d, s, 90, x, y, r); }},
        {364, false, 0, {90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return SubBlendOpacity(d, s, 90, x, y, r); }},
        {365, false, 0, {1, 90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlendAlphaTable(d, 1, s, 90, x, y, r); }},
        {366, true, 0, {1, 90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchBlendAlphaTable(d, 1, s, 90, z, x, y, r); }},
        {367, false, 0, {90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlendAlphaOnAlpha(d, s, 90, x, y, r); }},
        {368, true, 0, {90}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return StretchBlendAlphaOnAlpha(d, s, 90, z, x, y, r); }},
        {371, false, 0, {2, 128}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlurBlend(d, s, 2, 128, x, y, r); }},
        {372, false, 0, {2, 128}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlurBlendAlpha(d, s, 2, 128, x, y, r); }},
        {369, false, 0, {0, 128, 100, 16}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return BlendByRule(d, s, nullptr, 128, 100, 16, x, y, r); }},
        {376, false, 0, {1, 64, 98304}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return RotateZoom(d, s, 1, x, y, 64, 98304, r, nullptr); }},
        {377, false, 0, {1, 64, 98304, 100}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE*, const RECT* r) { return RotateZoomBlend(d, s, 1, x, y, 64, 98304, 100, r, nullptr); }},
        {373, true, 0, {}, [](CImage& d, CImage* s, LONG x, LONG y, const SIZE* z, const RECT* r) { return SmoothStretchCopy(d, s, z, x, y, r); }},
    };
}

// The words of a blit: the leading ones in the row's layout, then its parameters.
std::vector<uint32_t> Words(const BlitRow& row, uint32_t dst, uint32_t src, const std::vector<uint32_t>& point)
{
    std::vector<uint32_t> w;
    if (row.layout == 2)
        w.push_back(row.params[0]);
    w.push_back(dst);
    w.push_back(src);
    if (row.layout == 1)
        w.push_back(row.params[0]);
    w.insert(w.end(), point.begin(), point.end());
    if (row.layout == 0)
        w.insert(w.end(), row.params.begin(), row.params.end());
    return w;
}

struct Place {
    const char* name;
    std::vector<uint32_t> plain;  // x, y, rect
    std::vector<uint32_t> scaled; // x, y, w, h, rect
};

const Place kPlaces[] = {
    {"all defaults", {A, 9, 9, 9, 9, 9}, {A, 9, 9, 9, 9, 9, 9, 9}},
    {"whole source at a point", {5, 3, A, 9, 9, 9}, {5, 3, 20, 9, A, 9, 9, 9}},
    {"rectangle inside", {2, 1, 1, 2, 9, 8}, {2, 1, 24, 18, 1, 2, 9, 8}},
    {"over the left and top edges", {static_cast<uint32_t>(-6), static_cast<uint32_t>(-4), 0, 0, 12, 10},
     {static_cast<uint32_t>(-6), static_cast<uint32_t>(-4), 30, 20, 0, 0, 12, 10}},
    {"over the right and bottom edges", {30, 20, 2, 2, 14, 12}, {30, 20, 20, 20, 2, 2, 14, 12}},
    {"rectangle past the source", {0, 0, static_cast<uint32_t>(-3), 5, 40, 30}, {0, 0, 16, 16, static_cast<uint32_t>(-3), 5, 40, 30}},
    {"far outside", {0x7FFFFFF0u, 0x7FFFFFF0u, 0, 0, 4, 4}, {0x7FFFFFF0u, 0, 0x7FFFFFF0u, 4, 0, 0, 4, 4}},
};

TEST(BlitNatives, EachBlitDrawsWhatItsCallDraws)
{
    HostFixture f;
    CScreen& screen = f.UseScreen();
    CScriptHost& host = f.Start();
    CImage *dst = nullptr, *src = nullptr;
    ASSERT_EQ(screen.CreateImage(&dst, 36, 26, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&src, 16, 12, 32, 0), 0);
    const uint32_t d = host.ObjectHandle(dst), s = host.ObjectHandle(src);
    CImage expected, source, original;
    int drawn = 0, cases = 0;
    for (const BlitRow& row : Rows()) {
        EXPECT_TRUE(GetNativeRow(row.n).built) << row.n;
        for (const Place& place : kPlaces) {
            SCOPED_TRACE(std::to_string(row.n) + " " + place.name);
            Randomise(*dst, row.n);
            Randomise(*src, row.n + 1);
            ASSERT_EQ(expected.CopyFrom(dst, 0), 0);
            ASSERT_EQ(original.CopyFrom(dst, 0), 0);
            ASSERT_EQ(source.CopyFrom(src, 0), 0);
            const std::vector<uint32_t>& p = row.scaled ? place.scaled : place.plain;
            const uint32_t got = Native(host, row.n, Words(row, d, s, p));
            // The call the table names, with the 65535 rules applied by hand.
            LONG x = 0, y = 0;
            SIZE size{expected.GetWidth(), expected.GetHeight()};
            RECT rect{};
            const RECT* r = nullptr;
            if (p[0] != A) {
                x = static_cast<int32_t>(p[0]);
                y = static_cast<int32_t>(p[1]);
                size_t at = 2;
                if (row.scaled) {
                    size = {static_cast<int32_t>(p[2]), static_cast<int32_t>(p[3])};
                    at = 4;
                }
                if (p[at] != A) {
                    rect = {static_cast<int32_t>(p[at]), static_cast<int32_t>(p[at + 1]), static_cast<int32_t>(p[at + 2]),
                            static_cast<int32_t>(p[at + 3])};
                    r = &rect;
                }
            }
            const int want = row.call(expected, &source, x, y, row.scaled ? &size : nullptr, r);
            EXPECT_EQ(got, static_cast<uint32_t>(want));
            EXPECT_TRUE(Same(*dst, expected));
            drawn += Same(*dst, original) ? 0 : 1;
            ++cases;
        }
    }
    // The comparison means something only when the calls draw: most places do.
    EXPECT_GT(drawn, cases / 2);
}

TEST(BlitNatives, RuleAndQuadBlits)
{
    HostFixture f;
    CScreen& screen = f.UseScreen();
    CScriptHost& host = f.Start();
    CImage *dst = nullptr, *src = nullptr, *rule = nullptr;
    ASSERT_EQ(screen.CreateImage(&dst, 24, 20, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&src, 16, 12, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&rule, 16, 12, 8, 0), 0);
    const uint32_t d = host.ObjectHandle(dst), s = host.ObjectHandle(src), r = host.ObjectHandle(rule);
    CImage expected;
    Randomise(*src, 5);
    Randomise(*rule, 6);
    // 370 with a rule image, 374 and 375 with quads.
    Randomise(*dst, 7);
    ASSERT_EQ(expected.CopyFrom(dst, 0), 0);
    EXPECT_EQ(Native(host, 370, {d, s, 2, 3, A, 0, 0, 0, r, 200, 50, 8}),
              static_cast<uint32_t>(BlendAlphaByRule(expected, src, rule, 200, 50, 8, 2, 3, nullptr)));
    EXPECT_TRUE(Same(*dst, expected));
    const POINT quad[4] = {{1, 1}, {20, 3}, {2, 18}, {22, 19}};
    Randomise(*dst, 8);
    ASSERT_EQ(expected.CopyFrom(dst, 0), 0);
    EXPECT_EQ(Native(host, 374, {d, s, 1, 1, 20, 3, 2, 18, 22, 19, A, 0, 0, 0}),
              static_cast<uint32_t>(MapQuad(expected, src, quad, nullptr, nullptr)));
    EXPECT_TRUE(Same(*dst, expected));
    const RECT part{2, 2, 20, 16};
    Randomise(*dst, 9);
    ASSERT_EQ(expected.CopyFrom(dst, 0), 0);
    EXPECT_EQ(Native(host, 375, {d, s, 1, 1, 20, 3, 2, 18, 22, 19, 2, 2, 20, 16}),
              static_cast<uint32_t>(MapQuadToRect(expected, src, quad, &part, nullptr)));
    EXPECT_TRUE(Same(*dst, expected));
    // A rule word that names no surface: -1.
    EXPECT_EQ(Native(host, 369, {d, s, 0, 0, A, 0, 0, 0, 0x123, 1, 1, 1}), kMinus1);
    EXPECT_EQ(Native(host, 374, {d, 0, 1, 1, 20, 3, 2, 18, 22, 19, A, 0, 0, 0}), kMinus1);
}

uint32_t FloatWord(float f)
{
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

// 390-401 with our pixel library loaded: each native answers and draws what its call does.
TEST(BlitNatives, PixelLibraryOperations)
{
    HostFixture f;
    CScreen& screen = f.UseScreen();
    CScriptHost& host = f.Start();
    TestPixelLibrary library;
    CImage *dst = nullptr, *src = nullptr, *src2 = nullptr, *rule = nullptr;
    ASSERT_EQ(screen.CreateImage(&dst, 24, 20, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&src, 16, 12, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&src2, 16, 12, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&rule, 16, 12, 8, 0), 0);
    const uint32_t d = host.ObjectHandle(dst), s = host.ObjectHandle(src), s2 = host.ObjectHandle(src2),
                   r = host.ObjectHandle(rule);
    Randomise(*src, 11);
    Randomise(*src2, 12);
    Randomise(*rule, 13);
    const RECT part{1, 1, 9, 9};
    const SIZE size{20, 10};
    const PixelLibPoint corners[4] = {{1, 1}, {20, 2}, {2, 18}, {21, 19}};
    const PixelLibTransform t{1.5, 0.25, -0.25, 1.5, 2, 3};
    struct Case {
        uint32_t n;
        std::vector<uint32_t> words;
        std::function<int(CImage&)> call;
    };
    const Case cases[] = {
        {390, {d, s, 2, 3, 1, 1, 9, 9, 0, 128, 0}, [&](CImage& e) { return PixelLibBlend(e, src, 0, 128, 0, 2, 3, &part); }},
        {391, {d, s, 1, 2, 20, 10, A, 0, 0, 0, 2, 1, 200, 0},
         [&](CImage& e) { return PixelLibStretchCopy(e, src, 2, 1, 200, 0, &size, 1, 2, nullptr); }},
        {392, {d, s, FloatWord(1), FloatWord(1), FloatWord(20), FloatWord(2), FloatWord(2), FloatWord(18), FloatWord(21),
               FloatWord(19), A, 0, 0, 0, 0, 1, 255, 0, 0, 0},
         [&](CImage& e) { return PixelLibOp11(e, src, corners, nullptr, 0, 1, 255, 0, 0, 0, nullptr); }},
        {393, {d, s, FloatWord(1.5f), FloatWord(0.25f), FloatWord(-0.25f), FloatWord(1.5f), FloatWord(2), FloatWord(3), 1, 1, 9,
               9, 0, 0, 255, 0, 0, 0},
         [&](CImage& e) { return PixelLibOp12(e, src, &t, &part, 0, 0, 255, 0, 0, 0, nullptr); }},
        {394, {d, 1, 2, 3, 4}, [&](CImage& e) { return PixelLibOp13(e, 1, 2, 3, 4); }},
        {395, {d, 1, 1, 9, 9}, [&](CImage& e) { return PixelLibOp14(e, &part); }},
        {396, {d, A, 0, 0, 0}, [&](CImage& e) { return PixelLibOp16(e, nullptr); }},
        {397, {d, 1}, [&](CImage& e) { return PixelLibOp21(e, 1) ? 1 : 0; }},
        {398, {d, 77}, [&](CImage& e) { return PixelLibOp23(e, 77) ? 1 : 0; }},
        {399, {d, 77}, [&](CImage& e) { return PixelLibOp24(e, 77) ? 1 : 0; }},
        {400, {d, s, s2, 100, 0, 2, 2, 10, 8, 1, 1, 3, 3},
         [&](CImage& e) { return PixelLibOp25(e, src, src2, 100, 0, 2, 2, 10, 8, 1, 1, 3, 3); }},
        {401, {d, s, s2, r, 50, 8, 0, 2, 2, 10, 8, 1, 1, 3, 3, 0, 0},
         [&](CImage& e) { return PixelLibOp26(e, src, src2, rule, 50, 8, 0, 2, 2, 10, 8, 1, 1, 3, 3, 0, 0); }},
    };
    CImage expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_TRUE(GetNativeRow(c.n).built);
        Randomise(*dst, c.n);
        ASSERT_EQ(expected.CopyFrom(dst, 0), 0);
        EXPECT_EQ(Native(host, c.n, c.words), static_cast<uint32_t>(c.call(expected)));
        EXPECT_TRUE(Same(*dst, expected));
        // The destination word dead: -1, nothing drawn.
        std::vector<uint32_t> dead = c.words;
        dead[0] = 0x66666666;
        EXPECT_EQ(Native(host, c.n, dead), kMinus1);
    }
}

TEST(BlitNatives, FiltersDrawWhatTheirCallDraws)
{
    HostFixture f;
    CScreen& screen = f.UseScreen();
    CScriptHost& host = f.Start();
    CImage* image = nullptr;
    ASSERT_EQ(screen.CreateImage(&image, 20, 14, 32, 0), 0);
    const uint32_t h = host.ObjectHandle(image);
    using Filter = std::function<int(CImage&, const RECT*)>;
    struct FilterRow {
        uint32_t n;
        std::vector<uint32_t> params;
        Filter call;
    };
    const FilterRow rows[] = {
        {352, {1, 2, 3, 128}, [](CImage& i, const RECT* r) { return FillRectAlpha(i, 1, 2, 3, 128, r); }},
        {353, {10, 20, 30}, [](CImage& i, const RECT* r) { return AddColor(i, 10, 20, 30, r); }},
        {354, {10, 20, 30}, [](CImage& i, const RECT* r) { return SubColor(i, 10, 20, 30, r); }},
        {378, {}, [](CImage& i, const RECT* r) { return Grayscale(i, r); }},
        {379, {256, 128, 64, 1, 2, 3}, [](CImage& i, const RECT* r) { return Colorize(i, 256, 128, 64, 1, 2, 3, r); }},
        {380, {1}, [](CImage& i, const RECT* r) { return Invert(i, 1, r); }},
        {381, {1}, [](CImage& i, const RECT* r) { return Blur(i, 1, r); }},
        {382, {3, 1}, [](CImage& i, const RECT* r) { return Mosaic(i, 3, 1, r); }},
        {383, {1, 0xFF, 0x10, 0x20, 0x01, 0x02, 0x03}, [](CImage& i, const RECT* r) { return GradientFill(i, 1, 0xFF1020, 0x010203, r); }},
        {384, {100}, [](CImage& i, const RECT* r) { return AdjustAlphaLevel(i, 100, r) ? 1 : 0; }},
        {385, {200, 5}, [](CImage& i, const RECT* r) { return ScaleOffsetAlpha(i, 200, 5, r) ? 1 : 0; }},
    };
    const std::vector<std::vector<uint32_t>> rects = {
        {A, 0, 0, 0}, {2, 3, 9, 11}, {static_cast<uint32_t>(-5), static_cast<uint32_t>(-5), 8, 40}, {15, 10, 4, 2}};
    CImage expected;
    for (const FilterRow& row : rows) {
        EXPECT_TRUE(GetNativeRow(row.n).built) << row.n;
        for (const auto& rc : rects) {
            SCOPED_TRACE(std::to_string(row.n) + " rect " + std::to_string(static_cast<int32_t>(rc[0])));
            Randomise(*image, row.n);
            ASSERT_EQ(expected.CopyFrom(image, 0), 0);
            std::vector<uint32_t> words{h};
            words.insert(words.end(), row.params.begin(), row.params.end());
            words.insert(words.end(), rc.begin(), rc.end());
            const uint32_t got = Native(host, row.n, words);
            RECT r{static_cast<int32_t>(rc[0]), static_cast<int32_t>(rc[1]), static_cast<int32_t>(rc[2]),
                   static_cast<int32_t>(rc[3])};
            EXPECT_EQ(got, static_cast<uint32_t>(row.call(expected, rc[0] == A ? nullptr : &r)));
            EXPECT_TRUE(Same(*image, expected));
        }
        // A dead surface word: the null result (-2 for the gradient), nothing drawn.
        std::vector<uint32_t> words{0x55555555};
        words.insert(words.end(), row.params.begin(), row.params.end());
        words.insert(words.end(), {A, 0, 0, 0});
        EXPECT_EQ(Native(host, row.n, words), row.n == 383 ? static_cast<uint32_t>(-2) : kMinus1) << row.n;
    }
}

TEST(BlitNatives, DeadOrMissingSurfacesDrawNothing)
{
    HostFixture f;
    CScreen& screen = f.UseScreen();
    CScriptHost& host = f.Start();
    CImage *dst = nullptr, *src = nullptr;
    ASSERT_EQ(screen.CreateImage(&dst, 8, 8, 32, 0), 0);
    ASSERT_EQ(screen.CreateImage(&src, 8, 8, 32, 0), 0);
    const uint32_t d = host.ObjectHandle(dst), s = host.ObjectHandle(src);
    Randomise(*dst, 1);
    CImage before;
    ASSERT_EQ(before.CopyFrom(dst, 0), 0);
    CImage* gone = nullptr;
    ASSERT_EQ(screen.CreateImage(&gone, 8, 8, 32, 0), 0);
    const uint32_t dead = host.ObjectHandle(gone);
    ASSERT_EQ(screen.DeleteSurface(gone), 0);
    for (const BlitRow& row : Rows()) {
        const std::vector<uint32_t> p = row.scaled ? std::vector<uint32_t>{0, 0, 8, 8, A, 0, 0, 0}
                                                   : std::vector<uint32_t>{0, 0, A, 0, 0, 0};
        for (uint32_t bad : {0u, dead, 0x77777777u}) {
            EXPECT_EQ(Native(host, row.n, Words(row, d, bad, p)), kMinus1) << row.n;
            EXPECT_EQ(Native(host, row.n, Words(row, bad, s, p)), kMinus1) << row.n;
        }
    }
    EXPECT_TRUE(Same(*dst, before));
}

// An ELG picture made by tessaro-tool from a picture convert wrote, loaded by 232, copied by 333
// and stretched by whole factors by 334: the pixels equal convert's -crop and -sample of it.
TEST(BlitNatives, CopiesAndWholeStretchesEqualImageMagick)
{
    if (!picture_test::HaveConvert())
        GTEST_SKIP() << "convert is not installed";
    HostFixture f;
    f.UseScreen();
    CScriptHost& host = f.Start();
    CGllManager loaders;
    ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
    g_pGllManager = &loaders;
    constexpr int kW = 23, kH = 17;
    std::vector<uint32_t> pixels(static_cast<size_t>(kW) * kH);
    std::mt19937 rng(5);
    for (uint32_t& p : pixels)
        p = 0xFF000000u | (rng() & 0xFFFFFF);
    const std::string base = f.dir.Linux() + "/pic";
    ASSERT_TRUE(picture_test::WritePam(base + ".pam", kW, kH, pixels));
    ASSERT_TRUE(picture_test::RunConvert("'" + base + ".pam' -alpha off -type truecolor BMP3:'" + base + ".bmp'"));
    const std::string tool = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + base + ".bmp' '" +
                             base + ".elg' --depth 24";
    ASSERT_EQ(std::system(tool.c_str()), 0);
    const uint32_t name = host.Memory().Allocate(8);
    std::memcpy(host.Memory().Span(name, 8), "pic.elg", 8);
    const uint32_t src = Native(host, 232, {name, 0});
    ASSERT_NE(src, 0u);
    const uint32_t dst = Native(host, 231, {64, 48, 32, 0});
    ASSERT_NE(dst, 0u);
    CImage* out = GetSurfaceImage(host.Object<CSurface>(dst));

    struct Case {
        const char* name;
        uint32_t native;
        std::vector<uint32_t> words; // after the two surfaces
        LONG x, y;                   // where the result lands
        std::string convertArgs;
        int w, h;                    // the result's size
    };
    const Case cases[] = {
        {"333 a rectangle", 333, {5, 4, 3, 2, 15, 11}, 5, 4, "-crop 12x9+3+2 +repage", 12, 9},
        {"333 the whole picture", 333, {1, 2, A, 0, 0, 0}, 1, 2, "", kW, kH},
        {"334 three times", 334, {2, 1, 24, 18, 3, 2, 11, 8}, 2, 1, "-crop 8x6+3+2 +repage -sample 300%", 24, 18},
        {"334 twice, the whole picture", 334, {0, 0, 46, 34, A, 0, 0, 0}, 0, 0, "-sample 200%", 46, 34},
        {"334 two by three", 334, {7, 3, 20, 24, 0, 0, 10, 8}, 7, 3, "-crop 10x8+0+0 +repage -sample 200%x300%", 20, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(out->GetBits(), 0, static_cast<size_t>(out->GetPitch()) * out->GetHeight());
        std::vector<uint32_t> words = {dst, src};
        words.insert(words.end(), c.words.begin(), c.words.end());
        Native(host, c.native, words);
        const std::vector<BYTE> want = picture_test::ConvertRgba(base + ".bmp' " + c.convertArgs + " '-");
        ASSERT_EQ(want.size(), static_cast<size_t>(c.w) * c.h * 4);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const BYTE* p = &want[(static_cast<size_t>(y) * c.w + x) * 4];
                const uint32_t rgb = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
                ASSERT_EQ(static_cast<uint32_t>(out->GetPixel(c.x + x, c.y + y)) & 0xFFFFFF, rgb) << x << "," << y;
            }
        // Nothing outside the result's rectangle.
        for (LONG y = 0; y < out->GetHeight(); ++y)
            for (LONG x = 0; x < out->GetWidth(); ++x) {
                if (x < c.x || y < c.y || x >= c.x + c.w || y >= c.y + c.h) {
                    ASSERT_EQ(out->GetPixel(x, y) & 0xFFFFFF, 0) << x << "," << y;
                }
            }
    }
    g_pGllManager = nullptr;
}

} // namespace
