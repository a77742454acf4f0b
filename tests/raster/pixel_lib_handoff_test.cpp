// The raster operations that hand their work to the pixel library give, with our library loaded,
// exactly the pixels, result and update region of their own paths (the library absent), over
// placements clipped at every edge, source rectangles outside the source, every kind of opacity
// and both kernel sets. At 255 the cross-fades are plain copies and the alpha-table blends are
// alpha blends (what the library binds those modes to).
#include "raster/blend_mode_ops.h"
#include "raster/compose_ops.h"
#include "raster/fill_ops.h"
#include "raster/rotate_ops.h"

#include "op_test_util.h"
#include "pixel_lib_test_util.h"
#include "platform/cos_table.h"

#include <functional>
#include <optional>

using namespace op_test;

namespace {

// What an operation left: result, every pixel byte, changed flag and update region bounds.
struct Outcome {
    int result;
    std::vector<BYTE> pixels;
    bool changed;
    std::optional<RECT> bounds;
};

using Draw = std::function<int(CImage& dst, const CImage& src)>;

Outcome Draw1(const Draw& draw, uint32_t seed, bool withLibrary, int dstBpp = 32)
{
    raster_test::Random random(seed);
    auto dst = MakeImage(23, 17, dstBpp, random);
    auto src = MakeImage(13, 11, 32, random);
    std::optional<pixel_lib_test::Published> library;
    if (withLibrary) {
        library.emplace();
    }
    Outcome out;
    out.result = draw(*dst, *src);
    out.pixels = raster_test::Snapshot(*dst);
    out.changed = dst->IsChanged();
    const CUpdateRegion* region = dst->GetUpdateRegion();
    if (region && region->Count() > 0) {
        out.bounds = region->Bounds();
    }
    return out;
}

void ExpectSame(const Outcome& lib, const Outcome& own)
{
    EXPECT_EQ(lib.result, own.result);
    EXPECT_TRUE(lib.pixels == own.pixels) << "pixels differ";
    EXPECT_EQ(lib.changed, own.changed);
    ASSERT_EQ(lib.bounds.has_value(), own.bounds.has_value());
    if (lib.bounds) {
        EXPECT_EQ(lib.bounds->left, own.bounds->left);
        EXPECT_EQ(lib.bounds->top, own.bounds->top);
        EXPECT_EQ(lib.bounds->right, own.bounds->right);
        EXPECT_EQ(lib.bounds->bottom, own.bounds->bottom);
    }
}

struct Placement {
    LONG x, y;
    std::optional<RECT> srcRect;
};
// Clipped at each edge and not at all, wholly outside, and source rectangles cut by the source.
const Placement kPlacements[] = {
    {0, 0, std::nullopt},     {5, 3, std::nullopt},        {-4, -3, std::nullopt},
    {15, 10, std::nullopt},   {-20, 0, std::nullopt},      {30, 2, std::nullopt},
    {2, 1, RECT{2, 1, 9, 8}}, {3, 4, RECT{-3, -2, 20, 5}}, {-2, 9, RECT{4, 3, 30, 30}},
    {1, 1, RECT{8, 2, 3, 9}}, {6, 6, RECT{11, 9, 13, 11}},
};
const SIZE kSizes[] = {{13, 11}, {7, 5}, {30, 25}, {23, 4}, {0, 5}, {-3, 4}};
const BYTE kOpacities[] = {0, 1, 100, 254, 255};

const RECT* Rect(const Placement& p)
{
    return p.srcRect ? &*p.srcRect : nullptr;
}

// Library side and own side of one operation at one opacity.
struct Pair {
    const char* name;
    std::function<int(CImage&, const CImage&, const Placement&, BYTE, const SIZE*)> lib;
    std::function<int(CImage&, const CImage&, const Placement&, BYTE, const SIZE*)> own;
    bool scaled;
};

const Pair kPairs[] = {
    {"StretchCopy",
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE* z) {
         return d.StretchCopy(&s, z, p.x, p.y, Rect(p), false);
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE* z) {
         return d.StretchCopy(&s, z, p.x, p.y, Rect(p), false);
     },
     true},
    {"BlendAlpha",
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE*) {
         return d.BlendAlpha(&s, p.x, p.y, Rect(p), false);
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE*) {
         return d.BlendAlpha(&s, p.x, p.y, Rect(p), false);
     },
     false},
    {"StretchBlendAlpha",
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE* z) {
         return d.StretchBlendAlpha(&s, z, p.x, p.y, Rect(p), false);
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE, const SIZE* z) {
         return d.StretchBlendAlpha(&s, z, p.x, p.y, Rect(p), false);
     },
     true},
    {"CrossFade",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return CrossFade(d, &s, o, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return o == 255 ? d.Copy(&s, p.x, p.y, Rect(p), false) : CrossFade(d, &s, o, p.x, p.y, Rect(p));
     },
     false},
    {"StretchCrossFade",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return StretchCrossFade(d, &s, o, z, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return o == 255 ? d.StretchCopy(&s, z, p.x, p.y, Rect(p), false)
                         : StretchCrossFade(d, &s, o, z, p.x, p.y, Rect(p));
     },
     true},
    {"AddBlendOpacity",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return AddBlendOpacity(d, &s, o, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return AddBlendOpacity(d, &s, o, p.x, p.y, Rect(p));
     },
     false},
    {"BlendAlphaTable",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return BlendAlphaTable(d, 0, &s, o, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return o == 255 ? d.BlendAlpha(&s, p.x, p.y, Rect(p), false)
                         : BlendAlphaTable(d, 0, &s, o, p.x, p.y, Rect(p));
     },
     false},
    {"StretchBlendAlphaTable",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return StretchBlendAlphaTable(d, 0, &s, o, z, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return o == 255 ? d.StretchBlendAlpha(&s, z, p.x, p.y, Rect(p), false)
                         : StretchBlendAlphaTable(d, 0, &s, o, z, p.x, p.y, Rect(p));
     },
     true},
    {"BlendAlphaOnAlpha",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return BlendAlphaOnAlpha(d, &s, o, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE*) {
         return BlendAlphaOnAlpha(d, &s, o, p.x, p.y, Rect(p));
     },
     false},
    {"StretchBlendAlphaOnAlpha",
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return StretchBlendAlphaOnAlpha(d, &s, o, z, p.x, p.y, Rect(p));
     },
     [](CImage& d, const CImage& s, const Placement& p, BYTE o, const SIZE* z) {
         return StretchBlendAlphaOnAlpha(d, &s, o, z, p.x, p.y, Rect(p));
     },
     true},
};

TEST(PixelLibHandOff, SourceOperationsGiveTheirOwnPathsResults)
{
    uint32_t seed = 1;
    for (const Pair& pair : kPairs) {
        for (bool simd : {false, true}) {
            SimdSwitch sw(simd);
            for (const Placement& p : kPlacements) {
                for (BYTE o : kOpacities) {
                    for (const SIZE& size : kSizes) {
                        const SIZE* z = &size;
                        SCOPED_TRACE(testing::Message()
                                     << pair.name << " simd " << simd << " at " << p.x << "," << p.y
                                     << " opacity " << int(o) << " size " << size.cx << "x" << size.cy);
                        const Outcome lib = Draw1(
                            [&](CImage& d, const CImage& s) { return pair.lib(d, s, p, o, z); }, seed, true);
                        const Outcome own = Draw1(
                            [&](CImage& d, const CImage& s) { return pair.own(d, s, p, o, z); }, seed, false);
                        ExpectSame(lib, own);
                        ++seed;
                        if (!pair.scaled) {
                            break;
                        }
                    }
                }
            }
        }
    }
}

TEST(PixelLibHandOff, NullSizeAndFailuresMatch)
{
    const Draw nullSize = [](CImage& d, const CImage& s) {
        return d.StretchCopy(&s, nullptr, 2, 3, nullptr, false);
    };
    ExpectSame(Draw1(nullSize, 7, true), Draw1(nullSize, 7, false));
    const Draw noSource = [](CImage& d, const CImage&) {
        return d.BlendAlpha(nullptr, 0, 0, nullptr, false);
    };
    ExpectSame(Draw1(noSource, 7, true), Draw1(noSource, 7, false));
    const Draw eightBit = [](CImage& d, const CImage& s) { return CrossFade(d, &s, 100, 0, 0, nullptr); };
    ExpectSame(Draw1(eightBit, 7, true, 8), Draw1(eightBit, 7, false, 8));
}

struct FillCase {
    const char* name;
    std::function<int(CImage&, const RECT*)> fill;
};
const FillCase kFills[] = {
    {"FillRect", [](CImage& d, const RECT* r) { return int(d.FillRect(12, 34, 56, r)); }},
    {"FillRect32", [](CImage& d, const RECT* r) { return int(d.FillRect32(0x80123456u, r)); }},
    {"FillRgbKeepAlpha", [](CImage& d, const RECT* r) { return int(d.FillRgbKeepAlpha(200, 10, 99, r)); }},
    {"FillRectAlpha 1", [](CImage& d, const RECT* r) { return FillRectAlpha(d, 200, 10, 99, 1, r); }},
    {"FillRectAlpha 130", [](CImage& d, const RECT* r) { return FillRectAlpha(d, 200, 10, 99, 130, r); }},
    {"FillRectAlpha 255", [](CImage& d, const RECT* r) { return FillRectAlpha(d, 200, 10, 99, 255, r); }},
    {"FillRectAlpha 0", [](CImage& d, const RECT* r) { return FillRectAlpha(d, 200, 10, 99, 0, r); }},
};

TEST(PixelLibHandOff, FillsGiveTheirOwnPathsResults)
{
    const std::optional<RECT> rects[] = {std::nullopt,         RECT{2, 3, 9, 8},   RECT{-5, -5, 4, 30},
                                         RECT{20, 10, 40, 40}, RECT{30, 0, 40, 5}, RECT{5, 5, 5, 9},
                                         RECT{8, 8, 2, 2}};
    uint32_t seed = 100;
    for (const FillCase& f : kFills) {
        for (int bpp : {32, 8}) {
            for (bool simd : {false, true}) {
                SimdSwitch sw(simd);
                for (const auto& r : rects) {
                    SCOPED_TRACE(testing::Message() << f.name << " bpp " << bpp << " simd " << simd);
                    const Draw draw = [&](CImage& d, const CImage&) { return f.fill(d, r ? &*r : nullptr); };
                    ExpectSame(Draw1(draw, seed, true, bpp), Draw1(draw, seed, false, bpp));
                    ++seed;
                }
            }
        }
    }
}

TEST(PixelLibHandOff, RotationsAtRightAnglesGiveTheIntegerPathsPixels)
{
    CCosTable table;
    CCosTable* saved = g_pCosTable;
    g_pCosTable = &table;
    const RECT clip{3, 2, 19, 15};
    uint32_t seed = 500;
    for (int angle : {0, 128, 256, 384, -128, 640}) {
        for (int zoom : {32768, 65536, 131072}) {
            for (BYTE anchor : {0, 3, 4}) {
                for (const RECT* c : {static_cast<const RECT*>(nullptr), &clip}) {
                    for (bool simd : {false, true}) {
                        SimdSwitch sw(simd);
                        SCOPED_TRACE(testing::Message() << "angle " << angle << " zoom " << zoom << " anchor "
                                                        << int(anchor) << " clip " << (c != nullptr));
                        const RECT part{1, 2, 12, 9};
                        const Draw rotate = [&](CImage& d, const CImage& s) {
                            return RotateZoom(d, &s, anchor, 11, 8, angle, zoom, &part, c);
                        };
                        ExpectSame(Draw1(rotate, seed, true), Draw1(rotate, seed, false));
                        for (BYTE level : {BYTE(0), BYTE(90), BYTE(255)}) {
                            const Draw blend = [&](CImage& d, const CImage& s) {
                                return RotateZoomBlend(d, &s, anchor, 11, 8, angle, zoom, level, nullptr, c);
                            };
                            ExpectSame(Draw1(blend, seed, true), Draw1(blend, seed, false));
                        }
                        ++seed;
                    }
                }
            }
        }
    }
    g_pCosTable = saved;
}

} // namespace
