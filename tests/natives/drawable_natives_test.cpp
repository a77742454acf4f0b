// Natives 402-465 of drawables and scenes: sprites and primitives made, listed, changed and
// deleted through their handles; the scene's lists and background; and the headless milestone, a
// scene built by natives whose rendering equals the same scene built in C++.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/display_objects.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/draw_list.h"
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "natives/native_table.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);
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

uint32_t FloatWord(float f)
{
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

struct DrawHost {
    HostFixture f;
    CScriptHost& host;
    TestPixelLibrary pixels; // after the fixture, which points the program's folder at the game
    DrawHost() : host((f.UseScreen(), f.Start())) {}
    uint32_t N(uint32_t n, const std::vector<uint32_t>& words) { return Native(host, n, words); }
    uint32_t Image(int32_t w, int32_t h, uint32_t rgb)
    {
        const uint32_t image = N(231, {static_cast<uint32_t>(w), static_cast<uint32_t>(h), 32, 0});
        EXPECT_NE(image, 0u);
        N(251, {image, rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF, A, 0, 0, 0});
        return image;
    }
    uint32_t Canvas(int32_t w, int32_t h) { return N(238, {static_cast<uint32_t>(w), static_cast<uint32_t>(h), 32, 1}); }
};

TEST(DrawableNatives, EveryRowIsBuilt)
{
    for (uint32_t n = 402; n <= 465; ++n)
        if (n != 439 && (n < 446 || n > 450)) {
            EXPECT_TRUE(GetNativeRow(n).built) << n;
        }
}

TEST(DrawableNatives, MadeListedAndDeleted)
{
    DrawHost h;
    const uint32_t canvas = h.Canvas(64, 48);
    ASSERT_NE(canvas, 0u);
    const uint32_t image = h.Image(20, 10, 0x102030);
    const uint32_t whole = h.N(402, {image, A, 0, 0, 0, 5, 6});
    const uint32_t part = h.N(402, {image, 2, 2, 8, 6, 0, 0});
    ASSERT_NE(whole, 0u);
    ASSERT_NE(part, 0u);
    EXPECT_EQ(h.host.Object<CSprite>(whole)->GetWidth(), 20);
    EXPECT_EQ(h.host.Object<CSprite>(part)->GetWidth(), 6);
    EXPECT_EQ(h.host.Object<CSprite>(whole)->GetX(), 5);
    const uint32_t copy = h.N(403, {whole});
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(h.host.Object<CSprite>(copy)->GetWidth(), 20);
    const uint32_t prim = h.N(404, {4, 4, 0xFF00FF00, 1, 1});
    ASSERT_NE(prim, 0u);
    for (uint32_t bad : {0u, static_cast<uint32_t>(-3), 16385u})
        EXPECT_EQ(h.N(404, {bad, 4, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(402, {0, A, 0, 0, 0, 0, 0}), 0u);

    // Lists: in no list 0; listed and visible 2; hidden 1.
    EXPECT_EQ(h.N(434, {whole}), 0u);
    EXPECT_EQ(h.N(409, {canvas, whole, 10, 0}), 0u);
    EXPECT_EQ(h.N(409, {canvas, whole, 10, 0}), 2u); // already listed
    EXPECT_EQ(h.N(410, {canvas, part, 10, 0}), 0u);
    EXPECT_EQ(h.N(409, {canvas, prim, 5, 3}), 0u);
    EXPECT_EQ(h.N(434, {whole}), 2u);
    EXPECT_EQ(h.N(433, {whole, 0}), 0u);
    EXPECT_EQ(h.N(434, {whole}), 1u);
    EXPECT_EQ(h.N(417, {canvas, 1, A, 0xFFFFFFFF, 0xFFFFFFFF, 0}), 0u);
    CScene* scene = GetSurfaceScene(h.host.Object<CSurface>(canvas));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetList().Head()->drawable, h.host.Object<CDrawable>(prim));
    EXPECT_EQ(h.N(414, {canvas, prim, 20, 0}), 1u);
    EXPECT_EQ(scene->GetList().Tail()->drawable, h.host.Object<CDrawable>(prim));
    EXPECT_EQ(h.N(411, {canvas, prim}), 1u);
    EXPECT_EQ(h.N(434, {prim}), 0u);
    EXPECT_EQ(h.N(412, {canvas, 10, 0}), 0u);
    EXPECT_EQ(scene->GetList().Head(), nullptr);
    EXPECT_EQ(h.N(409, {canvas, prim, 5, 3}), 0u);
    EXPECT_EQ(h.N(413, {canvas, 3, 0xFFFFFFFF, 0}), 0u);
    EXPECT_EQ(h.N(434, {prim}), 0u);
    EXPECT_EQ(h.N(409, {canvas, prim, 5, 3}), 0u);
    EXPECT_EQ(h.N(416, {canvas}), 0u);
    EXPECT_EQ(h.N(434, {prim}), 0u);
    // A memory image has no scene: the list rows' null result.
    for (uint32_t n : {409u, 410u, 411u, 414u, 415u})
        EXPECT_EQ(h.N(n, {image, whole, 1, 0}), kMinus1) << n;

    // Deletions: single, by group, all; each handle stale afterwards.
    EXPECT_EQ(h.N(406, {7}), 0u);
    const uint32_t grouped = h.N(404, {2, 2, 0, 0, 0});
    EXPECT_EQ(h.N(407, {7, 0}), 0u);
    EXPECT_EQ(h.host.Object<CDrawable>(grouped), nullptr);
    EXPECT_NE(h.host.Object<CDrawable>(prim), nullptr);
    EXPECT_EQ(h.N(409, {canvas, part, 1, 0}), 0u);
    EXPECT_EQ(h.N(408, {part}), 0u);
    EXPECT_EQ(scene->GetList().Head(), nullptr); // it left its list with it
    EXPECT_EQ(h.N(405, {}), 0u);
    for (uint32_t dead : {whole, part, copy, prim, grouped, 0u, image}) {
        struct Row {
            uint32_t n;
            std::vector<uint32_t> rest;
            uint32_t null;
        };
        const Row rows[] = {
            {403, {}, 0}, {408, {}, kMinus1}, {433, {1}, 0}, {434, {}, 0}, {435, {}, 0}, {436, {0, 0, 9, 9}, 0},
            {437, {1}, kMinus2}, {438, {1}, kMinus2}, {440, {1}, 0}, {441, {1, 1}, 0}, {442, {0, 0, 0}, 0},
            {443, {whole}, 0}, {444, {0, 0, 0, 0}, 0}, {451, {whole}, kMinus1}, {452, {whole}, kMinus1},
            {453, {4, 4}, kMinus1}, {454, {A, 0, 0, 0}, kMinus1}, {455, {0, 0}, kMinus1}, {456, {1}, kMinus1},
            {457, {5, 0, 0}, kMinus1}, {458, {0, FloatWord(1)}, kMinus1}, {459, {FloatWord(1)}, kMinus1},
            {460, {}, kMinus1}, {461, {image, A, 0, 0, 0, A, 0}, kMinus1}, {462, {0}, kMinus1},
            {463, {0}, kMinus1}, {464, {1, 1}, kMinus1}, {465, {1, 1, 0, 0}, kMinus1},
        };
        for (const Row& r : rows) {
            std::vector<uint32_t> words{dead};
            words.insert(words.end(), r.rest.begin(), r.rest.end());
            EXPECT_EQ(h.N(r.n, words), r.null) << r.n << " word " << dead;
        }
        EXPECT_EQ(h.N(445, {image, dead}), kMinus2);
    }
    EXPECT_EQ(h.N(445, {0, whole}), kMinus1);
}

TEST(DrawableNatives, PropertiesAndSpriteOperations)
{
    DrawHost h;
    const uint32_t image = h.Image(16, 8, 0x808080);
    const uint32_t other = h.Image(4, 4, 0x010101);
    const uint32_t s = h.N(402, {image, A, 0, 0, 0, 10, 20});
    const uint32_t t = h.N(402, {image, A, 0, 0, 0, 100, 100});
    CSprite* sprite = h.host.Object<CSprite>(s);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(h.N(438, {s, 0x180}), static_cast<uint32_t>(0));
    EXPECT_EQ(sprite->GetAlpha(), 0x80);
    EXPECT_EQ(h.N(437, {s, 2}), 0u);
    EXPECT_EQ(sprite->GetBlendMode(), 2);
    EXPECT_EQ(h.N(440, {s, 99}), 0u);
    EXPECT_EQ(sprite->GetTag(), 99u);
    EXPECT_EQ(h.N(441, {s, 1, 2}), 1u);
    EXPECT_EQ(sprite->GetX(), 11);
    EXPECT_EQ(h.N(442, {s, 12, 23, 0}), 1u);
    EXPECT_EQ(h.N(442, {s, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(443, {s, t}), 0u);
    EXPECT_EQ(h.N(443, {s, s}), 1u);
    const uint32_t outs = h.host.Memory().Allocate(16);
    EXPECT_EQ(h.N(444, {s, outs, 0, outs + 8, 0}), 1u);
    uint32_t left = 0, right = 0;
    h.host.Memory().Load32(outs, &left);
    h.host.Memory().Load32(outs + 8, &right);
    EXPECT_EQ(left, 11u);
    EXPECT_EQ(right, 27u);
    EXPECT_EQ(h.N(444, {s, 0xFFFFFFF0u, 0, 0, 0}), 0u); // outside script memory: nothing written
    // Clip rectangles near the 32-bit limits do not wrap.
    EXPECT_EQ(h.N(436, {s, 0, 0, 12, 23}), 1u);
    EXPECT_EQ(h.N(436, {s, 0x80000000u, 0x80000000u, 0x7FFFFFFF, 0x7FFFFFFF}), 1u);
    EXPECT_EQ(h.N(436, {s, 0x7FFFFFF0u, 0, 0x7FFFFFFF, 100}), 0u);
    EXPECT_EQ(h.N(435, {s}), 1u);
    EXPECT_TRUE(sprite->IsDirty());

    EXPECT_EQ(h.N(454, {s, 2, 2, 10, 6}), 0u);
    EXPECT_EQ(sprite->GetWidth(), 8);
    EXPECT_EQ(h.N(455, {s, 1, 1}), static_cast<uint32_t>(0));
    EXPECT_EQ(sprite->GetSourceOriginX(), 1);
    EXPECT_EQ(h.N(456, {s, 1}), 1u);
    EXPECT_EQ(sprite->GetDrawMode(), 1);
    EXPECT_EQ(h.N(453, {s, 0, 4}), kMinus1);
    EXPECT_EQ(h.N(453, {s, 16385, 4}), kMinus1);
    EXPECT_EQ(h.N(453, {s, 32, 16}), 0u);
    EXPECT_NE(sprite->GetWorkImage(), nullptr);
    EXPECT_EQ(h.N(460, {s}), 0u);
    EXPECT_EQ(sprite->GetWorkImage(), nullptr);
    EXPECT_EQ(h.N(457, {s, 5, 4, 4}), 1u);
    EXPECT_EQ(h.N(458, {s, 64, FloatWord(1e9f)}), kMinus1); // a huge zoom is refused
    EXPECT_NE(h.N(458, {s, 64, FloatWord(1.5f)}), kMinus1);
    EXPECT_EQ(h.N(459, {s, FloatWord(-1.0f)}), kMinus1);
    EXPECT_EQ(h.N(461, {s, other, A, 0, 0, 0, 3, 4}), 0u);
    EXPECT_EQ(sprite->GetImage(), GetSurfaceImage(h.host.Object<CSurface>(other)));
    EXPECT_EQ(sprite->GetX(), 3);
    EXPECT_EQ(h.N(445, {image, s}), 0u);
    EXPECT_EQ(sprite->GetImage(), GetSurfaceImage(h.host.Object<CSurface>(image)));
    EXPECT_EQ(h.N(451, {t, s}), 0u);
    EXPECT_EQ(h.host.Object<CSprite>(t)->GetImage(), sprite->GetImage());
    EXPECT_EQ(h.N(452, {t, t}), kMinus1);

    const uint32_t p = h.N(404, {4, 4, 0xFF000000, 0, 0});
    CPrimitiveObject* prim = h.host.Object<CPrimitiveObject>(p);
    EXPECT_EQ(h.N(464, {p, 9, 7}), 1u);
    RECT shown{};
    prim->GetScreenRect(&shown);
    EXPECT_EQ(shown.right - shown.left, 9);
    EXPECT_EQ(h.N(465, {p, 3, 2, 5, 6}), 1u);
    EXPECT_EQ(prim->GetX(), 5);
    EXPECT_EQ(h.N(464, {p, static_cast<uint32_t>(-1), 7}), kMinus1);
    EXPECT_EQ(h.N(463, {p, 0x00FF00}), 1u);
    // A sprite's handle is no primitive's.
    EXPECT_EQ(h.N(463, {s, 0}), kMinus1);
}

TEST(DrawableNatives, SceneBackgroundAndFlags)
{
    DrawHost h;
    const uint32_t canvas = h.Canvas(32, 24);
    const uint32_t bg = h.Image(32, 24, 0x336699);
    CScene* scene = GetSurfaceScene(h.host.Object<CSurface>(canvas));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(h.N(419, {canvas, 0x11223344, 0}), 0u);
    EXPECT_EQ(scene->GetBackgroundColor(), 0x223344u);
    EXPECT_EQ(h.N(418, {canvas, bg, 0, 0, 1}), 1u);
    const uint32_t outs = h.host.Memory().Allocate(16);
    EXPECT_EQ(h.N(424, {canvas, outs, outs + 4, outs + 8, outs + 12}), 1u);
    uint32_t got = 0;
    h.host.Memory().Load32(outs, &got);
    EXPECT_EQ(got, bg);
    EXPECT_EQ(h.N(418, {canvas, 0x4444, 0, 0, 1}), kMinus1);
    EXPECT_EQ(h.N(420, {canvas}), static_cast<uint32_t>(0));
    EXPECT_EQ(h.N(425, {canvas}), static_cast<uint32_t>(0));
    EXPECT_EQ(h.N(430, {canvas, 1, 0}), 0u);
    EXPECT_TRUE(scene->IsListHidden());
    EXPECT_FALSE(scene->IsOverlayHidden());
    EXPECT_EQ(h.N(431, {canvas, 1}), 0u);
    EXPECT_EQ(h.N(430, {canvas, 0, 0}), 0u);
    EXPECT_EQ(h.N(431, {canvas, 0}), 0u);
    EXPECT_EQ(h.N(426, {canvas, 0, 0, 8, 8}), 1u);
    EXPECT_EQ(h.N(422, {canvas, 0, 0, 0}), h.N(422, {canvas, 0, 0, 0}));
    EXPECT_EQ(h.N(427, {bg, 1}), 0u); // a memory image has no canvas part
    EXPECT_EQ(h.N(432, {1}), 0u);
    for (uint32_t n : {412u, 413u, 416u, 417u, 419u, 420u, 421u, 422u, 423u, 424u, 425u, 426u, 428u, 430u, 431u})
        EXPECT_EQ(h.N(n, {bg, 0, 0, 0, 0, 0, 0, 0, 0}), kMinus1) << n;
    EXPECT_EQ(h.N(429, {canvas, 0, 0, 0, 0}), kMinus1);
}

// The milestone: a canvas shown as the frame image, a background, two sprites and a primitive in
// its draw list, images drawn by blits; the scene rendered by native 429 equals the same scene
// built and rendered in C++.
TEST(DrawableNatives, MilestoneSceneByNativesEqualsTheSceneInCpp)
{
    DrawHost h;
    const uint32_t canvas = h.Canvas(80, 60);
    ASSERT_NE(canvas, 0u);
    EXPECT_EQ(h.N(242, {canvas}), 0u);
    EXPECT_EQ(h.N(241, {}), canvas);
    const uint32_t bg = h.Image(80, 60, 0x204060);
    const uint32_t a = h.Image(24, 16, 0xC08020);
    const uint32_t b = h.Image(12, 12, 0x20C0A0);
    // Blits build the sprites' pictures: b copied into a (333), a's corner stretched (334), a soft
    // alpha square blended over b (337).
    EXPECT_EQ(h.N(333, {a, b, 4, 2, A, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(334, {b, a, 0, 0, 6, 6, 0, 0, 12, 12}), 0u);
    const uint32_t soft = h.Image(6, 6, 0xFFFFFF);
    EXPECT_EQ(h.N(384, {soft, 128, A, 0, 0, 0}), 1u);
    h.N(337, {b, soft, 3, 3, A, 0, 0, 0});
    EXPECT_EQ(h.N(418, {canvas, bg, 0, 0, 1}), 1u);
    EXPECT_EQ(h.N(419, {canvas, 0x000000, 1}), 0u);
    const uint32_t s1 = h.N(402, {a, A, 0, 0, 0, 10, 8});
    const uint32_t s2 = h.N(402, {b, 0, 0, 10, 10, 40, 30});
    const uint32_t p = h.N(404, {20, 10, 0x80FF0000, 50, 5});
    EXPECT_EQ(h.N(409, {canvas, s1, 10, 0}), 0u);
    EXPECT_EQ(h.N(409, {canvas, s2, 20, 0}), 0u);
    EXPECT_EQ(h.N(409, {canvas, p, 30, 0}), 0u);
    EXPECT_EQ(h.N(438, {s2, 200}), 0u);
    EXPECT_EQ(h.N(441, {s1, 2, 2}), 1u);
    const uint32_t out = h.Image(80, 60, 0);
    h.N(428, {canvas});
    EXPECT_EQ(h.N(429, {canvas, out, 0, 0xFFFFFFFF, 0}), 0u);

    // The same in C++.
    CImage ia, ib, ibg, isoft, target;
    ASSERT_EQ(ibg.Create(80, 60, 32, 0), 0);
    ibg.FillRect(0x20, 0x40, 0x60, nullptr);
    ASSERT_EQ(ia.Create(24, 16, 32, 0), 0);
    ia.FillRect(0xC0, 0x80, 0x20, nullptr);
    ASSERT_EQ(ib.Create(12, 12, 32, 0), 0);
    ib.FillRect(0x20, 0xC0, 0xA0, nullptr);
    ASSERT_EQ(isoft.Create(6, 6, 32, 0), 0);
    isoft.FillRect(0xFF, 0xFF, 0xFF, nullptr);
    ia.Copy(&ib, 4, 2, nullptr, false);
    const SIZE six{6, 6};
    const RECT corner{0, 0, 12, 12};
    ib.StretchCopy(&ia, &six, 0, 0, &corner, false);
    EXPECT_TRUE(AdjustAlphaLevel(isoft, 128, nullptr));
    ib.BlendAlpha(&isoft, 3, 3, nullptr, false);
    CScene scene;
    CImage sceneTarget;
    ASSERT_EQ(sceneTarget.Create(80, 60, 32, 0), 0);
    ASSERT_EQ(scene.SetTarget(&sceneTarget, false), 0);
    scene.SetBackgroundImage(&ibg, 0, 0, true);
    scene.SetBackgroundColor(0, true);
    CSprite c1, c2;
    CPrimitiveObject c3;
    ASSERT_EQ(c1.SetImage(&ia, nullptr, 10, 8), 0);
    const RECT part{0, 0, 10, 10};
    ASSERT_EQ(c2.SetImage(&ib, &part, 40, 30), 0);
    c3.Setup(20, 10, 0x80FF0000, 50, 5);
    scene.GetList().Insert(&c1, 10, 0);
    scene.GetList().Insert(&c2, 20, 0);
    scene.GetList().Insert(&c3, 30, 0);
    c2.SetAlpha(200);
    c1.MoveBy(2, 2);
    ASSERT_EQ(target.Create(80, 60, 32, 0), 0);
    ASSERT_EQ(scene.RenderToImage(&target, 0, 0xFFFFFFFF, false), 0);
    CImage* rendered = GetSurfaceImage(h.host.Object<CSurface>(out));
    ASSERT_NE(rendered, nullptr);
    int worst = 0;
    for (LONG y = 0; y < 60; ++y)
        for (LONG x = 0; x < 80; ++x) {
            const uint32_t u = static_cast<uint32_t>(rendered->GetPixel(x, y));
            const uint32_t v = static_cast<uint32_t>(target.GetPixel(x, y));
            for (int c = 0; c < 24; c += 8)
                worst = std::max(worst, std::abs(static_cast<int>((u >> c) & 0xFF) - static_cast<int>((v >> c) & 0xFF)));
        }
    EXPECT_LE(worst, 1);
    // The sprites are there: the first sprite's colour at its place.
    EXPECT_EQ(static_cast<uint32_t>(rendered->GetPixel(13, 11)) & 0xFFFFFF, 0xC08020u);
    scene.GetList().Clear();
}

} // namespace
