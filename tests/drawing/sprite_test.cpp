// Sprites: the keyed blend modes against formulas written here, the unkeyed alpha blend against
// the non-premultiplied OVER rule, cell sheets walked by the source origin, work-image sizes and
// the quarter turn, hit tests, copies and shared work images outliving their owner, and sources
// or positions at the edges of what can be drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"
#include "raster/blend_tables.h"
#include "winapi/simd_level.h"

namespace {

using namespace drawing_test;

class SpriteTest : public DrawingEnvironment {};

uint32_t Channel(uint32_t p, int shift) { return p >> shift & 255; }

// The expected pixel of a keyed 32-bit source s over destination d in mode m at alpha a.
uint32_t Keyed(int mode, int a, uint32_t d, uint32_t s)
{
    const auto M = [](uint32_t x, uint32_t y) { return static_cast<uint32_t>(g_MulTable[x][y]); };
    uint32_t out = 0;
    if (mode == 0 && a == 255)
        return s;
    if (mode == 4 && a == 255) {
        for (int sh = 0; sh < 32; sh += 8)
            out |= std::min(255u, Channel(d, sh) + Channel(s, sh)) << sh;
        return out;
    }
    if (mode == 5 && a == 255) {
        for (int sh = 0; sh < 32; sh += 8)
            out |= (Channel(d, sh) > Channel(s, sh) ? Channel(d, sh) - Channel(s, sh) : 0) << sh;
        return out;
    }
    const uint32_t sa = s >> 24;
    for (int sh = 0; sh < 24; sh += 8) {
        const int dc = static_cast<int>(Channel(d, sh));
        const int sc = static_cast<int>(Channel(s, sh));
        int c = 0;
        if (mode == 0) {
            c = static_cast<int>(std::min(255u, M(255 - static_cast<uint32_t>(a), static_cast<uint32_t>(dc)) +
                                                     M(static_cast<uint32_t>(a), static_cast<uint32_t>(sc))));
        } else if (mode == 2 && a == 255) {
            c = (sc * static_cast<int>(sa) + dc * (255 - static_cast<int>(sa)) + 127) / 255;
        } else {
            const uint32_t e = mode == 2 ? M(static_cast<uint32_t>(a), sa) : static_cast<uint32_t>(a);
            const int f = e == 0 ? 0 : static_cast<int>(e) + 1;
            if (mode == 2)
                c = dc + static_cast<int>(std::floor((sc - dc) * f / 256.0));
            else if (mode == 4)
                c = std::min(255, dc + (sc * f >> 8));
            else
                c = std::max(0, dc - (sc * f >> 8));
        }
        out |= static_cast<uint32_t>(c) << sh;
    }
    return out;
}

TEST_F(SpriteTest, KeyedModesFollowTheirFormulas)
{
    constexpr DWORD kKey = 0x12345678;
    for (const int mode : {0, 2, 4, 5}) {
        for (const int alpha : {255, 77}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " alpha " + std::to_string(alpha));
            auto source = RandomImage(21, 13, 32, static_cast<uint32_t>(mode * 7 + alpha));
            for (int i = 0; i < 13; ++i)
                SetPx(*source, i, i, kKey);
            source->SetColorKeyValue(kKey);
            auto target = RandomImage(40, 30, 32, 3, kImageWithTracker);
            auto before = RandomImage(40, 30, 32, 3);
            CSprite sprite;
            ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 11, 9), 0);
            ASSERT_EQ(sprite.SetBlendMode(static_cast<BYTE>(mode)), 0);
            sprite.SetAlpha(static_cast<BYTE>(alpha));
            RECT drawn;
            ASSERT_EQ(sprite.Draw(target.get(), &drawn), 0);
            EXPECT_TRUE(SameRect(drawn, RECT{11, 9, 32, 22}));
            EXPECT_TRUE(target->IsChanged());
            const bool colourOnly = (mode == 2) || (mode != 4 && mode != 5 && alpha != 255) || alpha != 255;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    const uint32_t d = Px(*before, x, y);
                    uint32_t want = d;
                    const bool on = x >= 11 && x < 32 && y >= 9 && y < 22;
                    const uint32_t s = on ? Px(*source, x - 11, y - 9) : 0;
                    const bool keyPixel = on && s == kKey;
                    if (keyPixel && mode != 0 && !(alpha == 255 && (mode == 4 || mode == 5)))
                        continue; // only the copy, cross-fade and add/subtract skip keyed pixels
                    if (on && !keyPixel)
                        want = Keyed(mode, alpha, d, s);
                    const uint32_t mask = on && !keyPixel && colourOnly ? 0xFFFFFF : 0xFFFFFFFF;
                    ASSERT_EQ(Px(*target, x, y) & mask, want & mask) << x << "," << y;
                }
        }
    }
    auto source = RandomImage(4, 4, 32, 1);
    source->SetColorKeyValue(kKey);
    auto target = RandomImage(8, 8, 32, 2);
    CSprite sprite;
    ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 0, 0), 0);
    EXPECT_EQ(sprite.SetBlendMode(32), 1);
    EXPECT_EQ(sprite.GetBlendMode(), 0);
    EXPECT_EQ(sprite.SetBlendMode(31), 0);
    EXPECT_EQ(sprite.SetBlendMode(1), 0);
    EXPECT_EQ(sprite.Draw(target.get(), nullptr), 2); // keyed: mode 1 is not drawable
}

TEST_F(SpriteTest, UnkeyedAlphaBlendIsOverWithinOne)
{
    for (const int alpha : {255, 128}) {
        auto source = RandomImage(33, 17, 32, 40);
        source->SetAlphaFlag(true);
        auto target = RandomImage(33, 17, 32, 41, kImageWithTracker);
        auto before = RandomImage(33, 17, 32, 41);
        CSprite sprite;
        ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 0, 0), 0);
        EXPECT_EQ(sprite.GetBlendMode(), 2); // from the alpha flag
        sprite.SetAlpha(static_cast<BYTE>(alpha));
        ASSERT_EQ(sprite.Draw(target.get(), nullptr), 0);
        EXPECT_TRUE(SameRect(target->GetUpdateRegion()->Bounds(), RECT{0, 0, 33, 17}));
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 33; ++x) {
                const uint32_t s = Px(*source, x, y), d = Px(*before, x, y), got = Px(*target, x, y);
                if (alpha != 255) {
                    // Below 255: the same rule as the keyed path (opacity and source alpha are
                    // two rounded steps, so OVER is only met within 2).
                    ASSERT_EQ(got & 0xFFFFFF, Keyed(2, alpha, d, s) & 0xFFFFFF) << x << "," << y;
                    continue;
                }
                const double a = (s >> 24) / 255.0;
                for (int sh = 0; sh < 24; sh += 8) {
                    const double over = Channel(s, sh) * a + Channel(d, sh) * (1 - a);
                    ASSERT_LE(std::fabs(Channel(got, sh) - over), 1.0) << x << "," << y;
                }
            }
    }
}

TEST_F(SpriteTest, CellSheetWalkedBySourceOrigin)
{
    auto sheet = RandomImage(128, 32, 32, 50);
    CSprite sprite;
    const RECT cell{32, 0, 64, 32};
    ASSERT_EQ(sprite.SetImage(sheet.get(), &cell, 5, 5), 0);
    EXPECT_EQ(sprite.SetSourceOrigin(32, 0), 0);
    EXPECT_TRUE(SameRect(sprite.GetSourceRect(), RECT{64, 0, 96, 32}));
    EXPECT_EQ(sprite.SetSourceOrigin(64, 0), 0);
    EXPECT_TRUE(SameRect(sprite.GetSourceRect(), RECT{96, 0, 128, 32}));
    auto target = RandomImage(50, 50, 32, 51);
    ASSERT_EQ(sprite.Draw(target.get(), nullptr), 0);
    EXPECT_EQ(Px(*target, 5, 5), Px(*sheet, 96, 0));
    EXPECT_EQ(Px(*target, 36, 36), Px(*sheet, 127, 31));
    // Past the sheet: only what lies inside the image is read and drawn.
    auto clean = RandomImage(50, 50, 32, 52);
    auto moved = RandomImage(50, 50, 32, 52);
    EXPECT_EQ(sprite.SetSourceOrigin(80, -10), 0); // source (112, -10, 144, 22)
    ASSERT_EQ(sprite.Draw(moved.get(), nullptr), 0);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
            const bool drawn = x >= 5 && x < 5 + 16 && y >= 15 && y < 37;
            ASSERT_EQ(Px(*moved, x, y), drawn ? Px(*sheet, x - 5 + 112, y - 15) : Px(*clean, x, y)) << x << "," << y;
        }
    // A smaller replacement picture is read only inside it, scaled and turned alike.
    auto small = RandomImage(20, 20, 32, 53);
    EXPECT_EQ(sprite.ReplaceImage(small.get()), 0);
    EXPECT_EQ(sprite.Draw(moved.get(), nullptr), 0);
    EXPECT_TRUE(sprite.SetSize(64, 64));
    EXPECT_EQ(sprite.Draw(moved.get(), nullptr), 0);
    EXPECT_TRUE(sprite.SetRotateZoom(100, 1.5));
    EXPECT_EQ(sprite.Draw(moved.get(), nullptr), 0);
}

TEST_F(SpriteTest, WorkImageSizesFollowTheQuadBox)
{
    auto source = RandomImage(60, 34, 32, 60);
    CSprite sprite;
    ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 0, 0), 0);
    const struct {
        int angle;
        double zoom;
    } cases[] = {{64, 1.0}, {128, 1.0}, {30, 1.3}, {200, 0.5}, {512, 2.0}, {-77, 0.75}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        ASSERT_TRUE(sprite.SetRotateZoom(c.angle, c.zoom));
        QuadPoint quad[4];
        int32_t w = 0, h = 0, ox = 0, oy = 0;
        ASSERT_TRUE(ComputeRotateZoomQuad(quad, 0, 0, c.angle, c.zoom, 60, 34, 30, 17, &w, &h, &ox, &oy));
        ASSERT_NE(sprite.GetWorkImage(), nullptr);
        EXPECT_EQ(sprite.GetWorkImage()->GetWidth(), w);
        EXPECT_EQ(sprite.GetWorkImage()->GetHeight(), h);
        EXPECT_TRUE(SameRect(*sprite.GetScreenRectPtr(), RECT{ox, oy, ox + w, oy + h}));
    }
    EXPECT_FALSE(sprite.SetRotateZoom(-77, 0.75)); // unchanged
    EXPECT_TRUE(sprite.SetRotateZoom(512, 1.0));   // a whole turn at zoom 1: rotation off
    EXPECT_FALSE(sprite.IsRotated());
    EXPECT_TRUE(SameRect(*sprite.GetScreenRectPtr(), RECT{0, 0, 60, 34}));
    EXPECT_TRUE(sprite.SetSize(0, 40)); // keeps the width
    EXPECT_EQ(sprite.GetRequestedWidth(), 60);
    EXPECT_EQ(sprite.GetWorkImage()->GetHeight(), 40);
    EXPECT_TRUE(sprite.SetSize(0, 0));
    EXPECT_TRUE(SameRect(*sprite.GetScreenRectPtr(), RECT{0, 0, 60, 34}));
    // Too large a work image is refused like a failed creation; nothing changes.
    EXPECT_FALSE(sprite.SetSize(kMaxWorkImageSide + 1, 10));
    EXPECT_FALSE(sprite.SetRotateZoom(3, 600.0));
    EXPECT_FALSE(sprite.IsRotated());
    EXPECT_EQ(sprite.CreateWorkImage(kMaxWorkImageSide + 1, 1), 2);
    EXPECT_EQ(sprite.CreateRotationWorkImage(1.0), 0);
    CSprite none;
    EXPECT_FALSE(none.SetRotateZoom(64, 1.0));
    EXPECT_EQ(none.CreateWorkImage(1, 1), 1);
}

TEST_F(SpriteTest, QuarterTurnIsTheSourceTurned)
{
    auto source = RandomImage(24, 16, 32, 70);
    CSprite sprite;
    ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 0, 0), 0);
    ASSERT_TRUE(sprite.SetRotateZoom(128, 1.0));
    const CImage* work = sprite.GetWorkImage();
    ASSERT_EQ(work->GetWidth(), 16);
    ASSERT_EQ(work->GetHeight(), 24);
    // A positive angle turns counter-clockwise on screen: the top-right corner comes to the top-left.
    for (int j = 0; j < 24; ++j)
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(Px(*work, i, j), Px(*source, 23 - j, i)) << i << "," << j;
}

TEST_F(SpriteTest, HitTests)
{
    auto soft = RandomImage(10, 10, 32, 80);
    SetPx(*soft, 2, 3, 0x00FFFFFF);
    SetPx(*soft, 4, 3, 0x01000000);
    auto indexed = RandomImage(10, 10, 8, 81);
    indexed->GetRowAddress(3)[2] = 9;
    CSprite a, b;
    ASSERT_EQ(a.SetImage(soft.get(), nullptr, 100, 200), 0);
    ASSERT_EQ(b.SetImage(indexed.get(), nullptr, 100, 200), 0);
    EXPECT_FALSE(a.HitTest(102, 203, true));
    EXPECT_TRUE(a.HitTest(102, 203, false));
    EXPECT_TRUE(a.HitTest(104, 203, true));
    EXPECT_TRUE(b.HitTest(102, 203, true));
    EXPECT_FALSE(a.HitTest(110, 203, false));
    EXPECT_FALSE(a.HitTest(99, 203, false));
    indexed->SetColorKeyValue(9);
    EXPECT_FALSE(b.HitTest(102, 203, true));
    EXPECT_TRUE(b.HitTest(103, 203, true) == (indexed->GetRowAddress(3)[3] != 9));
    EXPECT_TRUE(a.Intersects(&b));
    b.SetPosition(110, 200);
    EXPECT_FALSE(a.Intersects(&b)); // touching edges do not overlap
    // Scaled: the work image decides.
    ASSERT_TRUE(a.SetSize(20, 20));
    const CImage* work = a.GetWorkImage();
    int transparent = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool solid = (Px(*work, x, y) >> 24) != 0;
            transparent += solid ? 0 : 1;
            ASSERT_EQ(a.HitTest(100 + x, 200 + y, true), solid) << x << "," << y;
        }
    EXPECT_GE(transparent, 4); // the source's clear pixel, scaled up
    CSprite empty;
    EXPECT_FALSE(empty.HitTest(0, 0, false));
}

TEST_F(SpriteTest, CopiesAndSharedWorkImagesOutliveTheirOwner)
{
    auto source = RandomImage(30, 20, 32, 90);
    auto target = RandomImage(80, 80, 32, 91);
    auto expected = RandomImage(80, 80, 32, 91);
    auto sharer = std::make_unique<CSprite>();
    auto copy = std::make_unique<CSprite>();
    {
        CScene scene;
        scene.SetTarget(target.get(), false);
        CSprite owner;
        ASSERT_EQ(owner.SetImage(source.get(), nullptr, 3, 4), 0);
        ASSERT_TRUE(owner.SetSize(50, 40));
        owner.SetTag(5);
        scene.GetList().Insert(&owner, 0, 0);
        ASSERT_EQ(owner.Draw(expected.get(), nullptr), 0);
        sharer->SetTag(8);
        ASSERT_EQ(sharer->ShareFrom(&owner), 0);
        EXPECT_TRUE(sharer->IsSharing());
        EXPECT_EQ(sharer->GetTag(), 8u);
        EXPECT_EQ(sharer->GetWorkImage(), owner.GetWorkImage());
        EXPECT_FALSE(sharer->SetSize(10, 10)); // sharers never re-render
        EXPECT_EQ(sharer->SetSourceOrigin(1, 1), 1);
        ASSERT_EQ(copy->CopyFrom(&owner), 0);
        EXPECT_EQ(copy->GetOwnerList(), nullptr);
        EXPECT_FALSE(copy->IsDirty());
        EXPECT_EQ(copy->GetTag(), 5u);
        EXPECT_NE(copy->GetWorkImage(), owner.GetWorkImage());
        EXPECT_EQ(copy->CopyFrom(nullptr), 1);
    } // the owner goes first
    ASSERT_EQ(sharer->Draw(target.get(), nullptr), 0);
    EXPECT_EQ(FirstDifference(*target, *expected), -1);
    auto again = RandomImage(80, 80, 32, 91);
    ASSERT_EQ(copy->Draw(again.get(), nullptr), 0);
    EXPECT_EQ(FirstDifference(*again, *expected), -1);
    sharer.reset();
    copy.reset();
}

TEST_F(SpriteTest, ImagesPositionsAndTheEdgesOfTheRange)
{
    auto source = RandomImage(16, 16, 32, 100, kImageWithTracker);
    CSprite sprite;
    CImage none;
    EXPECT_EQ(sprite.SetImage(nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(sprite.SetImage(&none, nullptr, 0, 0), 1);
    const RECT outside{20, 20, 30, 30};
    EXPECT_EQ(sprite.SetImage(source.get(), &outside, 0, 0), 3);
    EXPECT_EQ(sprite.GetImage(), nullptr);
    SetPixelLibrary(nullptr);
    EXPECT_EQ(sprite.SetImage(source.get(), nullptr, 0, 0), 2);
    DrawingEnvironment::SetUp();
    ASSERT_EQ(sprite.SetImage(source.get(), nullptr, INT_MAX - 5, INT_MIN + 5), 0);
    EXPECT_EQ(sprite.GetScreenRectPtr()->right, INT_MAX);
    auto target = RandomImage(10, 10, 32, 101);
    RECT drawn;
    EXPECT_EQ(sprite.Draw(target.get(), &drawn), 0);
    EXPECT_EQ(drawn.left, -1);
    EXPECT_TRUE(sprite.MoveBy(INT_MAX, INT_MIN));
    EXPECT_FALSE(sprite.HitTest(INT_MAX, 0, false));
    EXPECT_TRUE(sprite.SetPosition(2, 2));
    EXPECT_FALSE(sprite.SetPosition(2, 2));
    // A change drawn into the source reaches the scene through RedrawWorkImage.
    auto canvas = RandomImage(30, 30, 32, 102);
    CScene scene;
    scene.SetTarget(canvas.get(), false);
    EXPECT_FALSE(sprite.RedrawWorkImage(true)); // in no list
    scene.GetList().Insert(&sprite, 0, 0);
    scene.Redraw(nullptr, nullptr, 0, 0);
    const RECT patch{1, 1, 3, 3};
    source->FillRect32(0xFF00FF00, &patch);
    EXPECT_TRUE(sprite.RedrawWorkImage(true));
    EXPECT_FALSE(source->IsChanged());
    EXPECT_EQ(source->GetUpdateRegion()->Count(), 0);
    ASSERT_EQ(scene.GetRegion().Count(), 1);
    EXPECT_TRUE(SameRect(scene.GetRegion().Bounds(), RECT{3, 3, 5, 5}));
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_EQ(Px(*canvas, 4, 4), 0xFF00FF00u);
    RECT local{0, 0, 2, 2};
    EXPECT_TRUE(sprite.InvalidateLocalRect(&local));
    EXPECT_TRUE(SameRect(local, RECT{2, 2, 4, 4}));
    // The notice reaches the scene's region; the same one again adds nothing.
    ASSERT_EQ(scene.GetRegion().Count(), 1);
    EXPECT_TRUE(SameRect(scene.GetRegion().Head()->rect, RECT{2, 2, 4, 4}));
    local = RECT{0, 0, 2, 2};
    EXPECT_TRUE(sprite.InvalidateLocalRect(&local));
    EXPECT_EQ(scene.GetRegion().Count(), 1);
    RECT far{40, 40, 50, 50};
    EXPECT_FALSE(sprite.InvalidateLocalRect(&far));
}

// The animations' one-call update leaves a sprite as SetPosition and then SetAlpha would: the
// same position, opacity and screen rectangle (plain, scaled and turned sprites, the range's
// edges), and dirty only when something changed.
TEST_F(SpriteTest, PlaceAndFadeEqualsSetPositionThenSetAlpha)
{
    auto source = RandomImage(16, 12, 32, 103);
    struct Case {
        int kind; // 0 plain, 1 scaled, 2 turned
        LONG x, y;
        BYTE alpha;
    };
    const Case cases[] = {
        {0, 5, 7, 200},          {0, 5, 7, 255},         {0, 6, 7, 200},       {0, -3, 40, 0},
        {0, INT_MAX - 2, 0, 9},  {0, 0, INT_MIN, 255},   {1, 5, 7, 255},       {1, 9, -4, 128},
        {1, INT_MAX, 1, 1},      {2, 5, 7, 255},         {2, 30, 31, 77},      {2, INT_MIN, INT_MAX, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " at " << c.x << "," << c.y << " alpha "
                                        << int(c.alpha));
        CSprite a, b;
        for (CSprite* s : {&a, &b}) {
            ASSERT_EQ(s->SetImage(source.get(), nullptr, 5, 7), 0);
            if (c.kind == 1) {
                ASSERT_TRUE(s->SetSize(24, 6));
            } else if (c.kind == 2) {
                ASSERT_TRUE(s->SetRotateZoom(64, 1.5));
            }
            s->SetDirty(false);
        }
        a.SetPosition(c.x, c.y);
        a.SetAlpha(c.alpha);
        b.PlaceAndFade(c.x, c.y, c.alpha);
        EXPECT_EQ(b.GetX(), a.GetX());
        EXPECT_EQ(b.GetY(), a.GetY());
        EXPECT_EQ(b.GetAlpha(), a.GetAlpha());
        EXPECT_TRUE(SameRect(*b.GetScreenRectPtr(), *a.GetScreenRectPtr()));
        EXPECT_EQ(b.IsDirty(), a.IsDirty());
    }
}

} // namespace

// A sprite planned once and drawn band by band gives the pixels and changed rectangles of the
// pixel library's own draw, whatever cuts it: the redraw rectangle, the target's and the source's
// clip rectangles, a source rectangle, a position off the target's edges; at full opacity (the
// planned blend) and below it (the library's path), at every SIMD level, the switch on and off.
TEST_F(SpriteTest, PlannedBandsDrawWhatTheLibraryDraws)
{
    struct Case {
        const char* name;
        LONG x, y;
        RECT sourceRect;   // empty: the whole source
        RECT sourceClip;   // set after the sprite took the source; empty: none
        RECT targetClip;   // empty: the whole target
        RECT redraw;
        int alpha;
    };
    const RECT none{0, 0, 0, 0};
    const Case cases[] = {
        {"inside", 5, 3, none, none, none, {0, 0, 90, 70}, 255},
        {"redraw cuts", 5, 3, none, none, none, {11, 9, 40, 33}, 255},
        {"off every edge", -7, -5, none, none, none, {0, 0, 90, 70}, 255},
        {"off the right and bottom", 60, 50, none, none, none, {0, 0, 90, 70}, 255},
        {"source rectangle", 4, 6, {3, 2, 41, 29}, none, none, {0, 0, 90, 70}, 255},
        {"source clip", 4, 6, none, {5, 4, 30, 40}, none, {0, 0, 90, 70}, 255},
        {"target clip", 4, 6, none, none, {13, 10, 50, 31}, {0, 0, 90, 70}, 255},
        {"every cut", -3, 2, {2, 1, 45, 37}, {4, 3, 40, 30}, {6, 5, 33, 60}, {1, 7, 80, 50}, 255},
        {"below full opacity", 5, 3, none, none, {6, 5, 33, 60}, {0, 0, 90, 70}, 128},
    };
    const uint8_t savedSwitch = g_bUseMmx;
    for (SimdLevel level : kAllSimdLevels) {
        const ScopedSimdLevel forced(level);
        for (uint8_t simdSwitch : {0, 1}) {
            g_bUseMmx = simdSwitch;
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message() << c.name << " level " << static_cast<int>(level) << " switch "
                                                << int(simdSwitch));
                auto source = RandomImage(47, 41, 32, 60);
                source->SetAlphaFlag(true);
                auto library = RandomImage(90, 70, 32, 61, kImageWithTracker);
                auto planned = RandomImage(90, 70, 32, 61, kImageWithTracker);
                if (c.targetClip.right > 0) {
                    library->ClipRectToSize(&c.targetClip);
                    planned->ClipRectToSize(&c.targetClip);
                }
                CSprite sprite;
                ASSERT_EQ(sprite.SetImage(source.get(), c.sourceRect.right > 0 ? &c.sourceRect : nullptr, c.x, c.y), 0);
                sprite.SetAlpha(static_cast<BYTE>(c.alpha));
                // A clip the source takes after it was given (the sprite's own rectangle stays).
                if (c.sourceClip.right > 0)
                    source->ClipRectToSize(&c.sourceClip);
                sprite.DrawRegion(library.get(), c.redraw);
                DrawPlan plan;
                ASSERT_TRUE(sprite.PlanRegion(planned.get(), c.redraw, plan));
                for (LONG top = c.redraw.top; top < c.redraw.bottom; top += 8)
                    sprite.DrawPlannedRows(planned.get(), plan, top, std::min(top + 8, c.redraw.bottom));
                EXPECT_EQ(FirstDifference(*library, *planned), -1);
                EXPECT_TRUE(SameRect(library->GetUpdateRegion()->Bounds(), planned->GetUpdateRegion()->Bounds()));
                EXPECT_EQ(library->IsChanged(), planned->IsChanged());
            }
        }
    }
    g_bUseMmx = savedSwitch;
}
