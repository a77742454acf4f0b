// Scenes: the main property (after any sequence of list and drawable changes a redraw, banded or
// not, merged or not, leaves the target equal to the scene rendered afresh, and touches nothing
// outside what the changes touched), then the order rules, removals, hidden lists, bands, the
// background and its views, and the redraws into device contexts and locked surfaces.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "drawing/primitive_object.h"
#include "platform/cpu_info.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"
#include "raster/dib_convert.h"
#include "raster/surface_convert.h"
#include "winapi/ddraw.h"
#include "winapi/gdi.h"
#include "winapi/simd_level.h"

namespace {

using namespace drawing_test;

// Restores the two switches after a test.
struct Switches {
    uint8_t banded = g_bBandedRedraw;
    uint8_t merged = g_bMergeUpdateRects;
    ~Switches()
    {
        g_bBandedRedraw = banded;
        g_bMergeUpdateRects = merged;
    }
};

class SceneTest : public DrawingEnvironment {
protected:
    static constexpr int kW = 160;
    static constexpr int kH = 120;

    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        target = RandomImage(kW, kH, 32, 1, kImageWithTracker);
        ASSERT_EQ(scene.SetTarget(target.get(), true), 0);
    }
    // The scene rendered into a fresh image.
    std::unique_ptr<CImage> Rendered(int filter = 0, DWORD tag = 0)
    {
        auto fresh = RandomImage(kW, kH, 32, 99);
        EXPECT_EQ(scene.RenderToImage(fresh.get(), filter, tag, true), 0);
        return fresh;
    }

    Switches switches;
    std::unique_ptr<CImage> target;
    CScene scene;
};

// One random change to the scene; `touched` receives every rectangle it may have changed.
struct World {
    std::vector<std::unique_ptr<CImage>> images;
    std::vector<std::unique_ptr<CDrawable>> drawables;
    CDrawList overlay;
};

TEST_F(SceneTest, RedrawEqualsAFreshRenderAndTouchesOnlyWhatChanged)
{
    World w;
    scene.SetOverlay(&w.overlay);
    w.images.push_back(RandomImage(70, 50, 32, 2)); // soft alpha
    w.images.push_back(RandomImage(40, 60, 32, 3)); // keyed
    w.images.back()->SetColorKeyValue(Px(*w.images.back(), 3, 3));
    w.images.push_back(RandomImage(30, 30, 8, 4)); // 8-bit keyed
    w.images.back()->SetColorKeyValue(w.images.back()->GetRowAddress(0)[0]);
    w.images.push_back(RandomImage(120, 90, 32, 5)); // background, smaller than the target
    scene.SetBackgroundImage(w.images[3].get(), -15, 10, true);
    scene.SetBackgroundColor(0x203040, false);
    scene.SetBackgroundImage(w.images[3].get(), -15, 10, true);
    std::mt19937 random(7);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int i = 0; i < 12; ++i) {
        if (i % 4 == 3) {
            auto shape = std::make_unique<CPrimitiveObject>();
            shape->Setup(pick(5, 60), pick(5, 60), static_cast<DWORD>(random()), pick(-20, kW), pick(-20, kH));
            shape->SetBlendMode(static_cast<BYTE>(pick(0, 3)));
            w.drawables.push_back(std::move(shape));
        } else {
            auto sprite = std::make_unique<CSprite>();
            ASSERT_EQ(sprite->SetImage(w.images[static_cast<size_t>(i % 3)].get(), nullptr, pick(-20, kW), pick(-20, kH)),
                      0);
            w.drawables.push_back(std::move(sprite));
        }
        w.drawables.back()->SetTag(static_cast<DWORD>(i % 3));
    }
    ASSERT_EQ(scene.Redraw(nullptr, nullptr, 0, 0), 0);
    ASSERT_EQ(FirstDifference(*target, *Rendered()), -1);

    for (int step = 0; step < 300; ++step) {
        SCOPED_TRACE(step);
        g_bBandedRedraw = static_cast<uint8_t>(pick(0, 1));
        g_bMergeUpdateRects = static_cast<uint8_t>(pick(0, 1));
        std::vector<RECT> touched;
        const int changes = pick(1, 4);
        for (int c = 0; c < changes; ++c) {
            CDrawable* d = w.drawables[static_cast<size_t>(pick(0, static_cast<int>(w.drawables.size()) - 1))].get();
            auto* sprite = d->GetKind() == kDrawableSprite ? static_cast<CSprite*>(d) : nullptr;
            auto* shape = d->GetKind() == kDrawableShape ? static_cast<CPrimitiveObject*>(d) : nullptr;
            const int kind = pick(0, 13);
            // List-wide changes touch every drawable.
            std::vector<CDrawable*> subjects{d};
            if (kind >= 12)
                for (auto& each : w.drawables)
                    subjects.push_back(each.get());
            for (CDrawable* s : subjects)
                touched.push_back(*s->GetScreenRectPtr());
            CDrawList* list = d->GetOwnerList();
            switch (kind) {
            case 0:
                if (!list) {
                    CDrawList& into = pick(0, 2) == 0 ? w.overlay : scene.GetList();
                    const uint32_t priority = pick(0, 5) == 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(pick(0, 6));
                    if (pick(0, 1))
                        into.Insert(d, priority, static_cast<DWORD>(pick(0, 2)));
                    else
                        into.InsertAfterEqual(d, priority, static_cast<DWORD>(pick(0, 2)));
                } else {
                    list->Remove(d);
                }
                break;
            case 1: d->SetPosition(pick(-40, kW + 10), pick(-40, kH + 10)); break;
            case 2: d->SetVisible(!d->IsVisible()); break;
            case 3: d->SetAlpha(static_cast<BYTE>(pick(0, 2) == 0 ? (pick(0, 1) ? 0 : 255) : pick(1, 254))); break;
            case 4: d->SetBlendMode(static_cast<BYTE>(pick(0, 3) == 0 ? pick(0, 31) : (pick(0, 1) ? 2 : pick(0, 5)))); break;
            case 5:
                if (list)
                    list->SetPriority(d, static_cast<uint32_t>(pick(0, 6)), pick(0, 1) != 0);
                break;
            case 6:
                if (sprite)
                    sprite->SetSize(pick(0, 2) == 0 ? 0 : pick(4, 90), pick(0, 2) == 0 ? 0 : pick(4, 90));
                else
                    d->SetSize(pick(0, 50), pick(0, 50));
                break;
            case 7:
                if (sprite)
                    sprite->SetRotateZoom(pick(0, 511), pick(3, 15) / 10.0);
                else
                    shape->SetColorARGB(static_cast<DWORD>(random()));
                break;
            case 8:
                if (sprite)
                    sprite->SetSourceOrigin(pick(-20, 20), pick(-20, 20));
                break;
            case 9:
                if (sprite) {
                    const RECT r{pick(-5, 20), pick(-5, 20), pick(10, 80), pick(10, 80)};
                    sprite->SetSourceRect(pick(0, 3) == 0 ? nullptr : &r);
                }
                break;
            case 10:
                if (sprite)
                    sprite->SetDrawMode(static_cast<BYTE>(pick(0, 1) << 4 | pick(0, 3)));
                break;
            case 11: d->MoveBy(pick(-9, 9), pick(-9, 9)); break;
            case 12:
                w.overlay.SetVisibleWhere(pick(0, 1) != 0, pick(0, 1) ? kDrawAny : static_cast<DWORD>(pick(0, 6)),
                                          kDrawAny, static_cast<DWORD>(pick(0, 2)), pick(0, 1) != 0);
                break;
            default:
                if (pick(0, 1))
                    scene.GetList().RemoveWhere(kDrawAny, static_cast<DWORD>(pick(0, 2)), pick(0, 1) != 0);
                else
                    w.overlay.RemoveByPriority(static_cast<uint32_t>(pick(0, 6)), pick(0, 1) != 0);
                break;
            }
            for (CDrawable* s : subjects)
                touched.push_back(*s->GetScreenRectPtr());
        }
        // Canaries where no change reached: the redraw must leave them alone.
        std::vector<std::pair<POINT, uint32_t>> canaries;
        for (int k = 0; k < 40; ++k) {
            const POINT p{pick(0, kW - 1), pick(0, kH - 1)};
            bool free = true;
            for (const auto& [q, v] : canaries)
                free = free && (q.x != p.x || q.y != p.y);
            for (const RECT& r : touched)
                free = free && !Inside(r, p.x, p.y);
            if (free) {
                const uint32_t value = 0x5A000000u | static_cast<uint32_t>(k);
                SetPx(*target, p.x, p.y, value);
                canaries.push_back({p, value});
            }
        }
        CUpdateRegion handedOn;
        const int result = scene.Redraw(&handedOn, nullptr, 0, 0);
        ASSERT_TRUE(result == 0 || result == -1);
        EXPECT_EQ(scene.GetRegion().Count(), 0);
        auto fresh = Rendered();
        for (const auto& [p, value] : canaries) {
            ASSERT_EQ(Px(*target, p.x, p.y), value) << "canary at " << p.x << "," << p.y;
            SetPx(*target, p.x, p.y, Px(*fresh, p.x, p.y));
        }
        const long diff = FirstDifference(*target, *fresh);
        ASSERT_EQ(diff, -1) << "at " << diff % kW << "," << diff / kW;
    }
    w.drawables.clear(); // destruction leaves the lists
    EXPECT_EQ(scene.GetList().Head(), nullptr);
    EXPECT_EQ(w.overlay.Head(), nullptr);
    scene.SetOverlay(nullptr);
}

// A drawable that records the rectangles it is asked to draw.
class Probe : public CPrimitiveObject {
public:
    void DrawRegion(CImage* target, const RECT& rect) override
    {
        bands.push_back(rect);
        CPrimitiveObject::DrawRegion(target, rect);
    }
    std::vector<RECT> bands;
};

TEST_F(SceneTest, OrderRulesAsATable)
{
    // Each row inserts A then B (priority pa, pb; B after equals or not) and names the front one.
    const struct {
        uint32_t pa, pb;
        bool bAfterEqual;
        char front;
    } cases[] = {
        {5, 5, false, 'B'},          {5, 5, true, 'A'},          {1, 2, false, 'A'},
        {2, 1, true, 'B'},           {0xFFFFFFFFu, 0, false, 'B'}, {0, 0xFFFFFFFFu, true, 'A'},
        {0xFFFFFFFFu, 0xFFFFFFFFu, false, 'B'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pa) + " " + std::to_string(c.pb));
        CPrimitiveObject a, b;
        a.Setup(10, 10, 0xFFFF0000, 0, 0);
        b.Setup(10, 10, 0xFF00FF00, 0, 0);
        ASSERT_EQ(scene.GetList().Insert(&a, c.pa, 0), 0);
        ASSERT_EQ(c.bAfterEqual ? scene.GetList().InsertAfterEqual(&b, c.pb, 0) : scene.GetList().Insert(&b, c.pb, 0),
                  0);
        scene.Redraw(nullptr, nullptr, 0, 0);
        EXPECT_EQ(Px(*target, 5, 5) & 0xFFFFFF, c.front == 'A' ? 0xFF0000u : 0x00FF00u);
    }
    CPrimitiveObject a, b;
    EXPECT_EQ(scene.GetList().Insert(nullptr, 0, 0), 1);
    ASSERT_EQ(scene.GetList().Insert(&a, 3, 0), 0);
    EXPECT_EQ(scene.GetList().Insert(&a, 3, 0), 2);
    CDrawList other;
    EXPECT_EQ(other.Insert(&a, 3, 0), 2);
    ASSERT_EQ(scene.GetList().Insert(&b, 3, 0), 0); // b before a
    scene.ClearDirtyState();
    EXPECT_TRUE(scene.GetList().SetPriority(&a, 3, true));
    EXPECT_FALSE(a.IsDirty());
    EXPECT_EQ(scene.GetList().Head()->drawable, &b);
    EXPECT_TRUE(scene.GetList().SetPriority(&a, 3, false));
    EXPECT_TRUE(a.IsDirty());
    EXPECT_EQ(scene.GetList().Head()->drawable, &a); // the front of its equals
    EXPECT_TRUE(scene.GetList().SetPriorityAfterEqual(&a, 3, false));
    EXPECT_EQ(scene.GetList().Tail()->drawable, &a);
    EXPECT_FALSE(other.SetPriority(&a, 1, false));
    EXPECT_FALSE(scene.GetList().SetPriority(nullptr, 1, false));
}

TEST_F(SceneTest, FilteredRemovalsAndVisibility)
{
    CPrimitiveObject d[6];
    const uint32_t priorities[] = {1, 2, 2, 3, 2, 9};
    for (int i = 0; i < 6; ++i) {
        d[i].Setup(4, 4, 0xFF000000u | static_cast<DWORD>(i), i * 10, 0);
        d[i].SetTag(static_cast<DWORD>(i % 2));
        ASSERT_EQ(scene.GetList().Insert(&d[i], priorities[i], static_cast<DWORD>(i % 3)), 0);
    }
    const auto inList = [&](int i) { return d[i].GetOwnerList() != nullptr; };
    scene.Redraw(nullptr, nullptr, 0, 0);
    scene.GetList().SetVisibleWhere(false, 2, kDrawAny, 0, false); // priority 2 and tag 0: d2, d4
    EXPECT_TRUE(d[0].IsVisible() && d[1].IsVisible() && !d[2].IsVisible() && d[3].IsVisible() && !d[4].IsVisible());
    scene.GetList().RemoveByPriority(2, true); // all but priority 2
    EXPECT_TRUE(!inList(0) && inList(1) && inList(2) && !inList(3) && inList(4) && !inList(5));
    EXPECT_GT(scene.GetRegion().Count(), 0); // their last rectangles are dirty
    scene.GetList().RemoveWhere(kDrawAny, 0, true); // tag differs from 0: d1
    EXPECT_TRUE(!inList(1) && inList(2) && inList(4));
    scene.GetList().RemoveWhere(1, kDrawAny, false); // group 1: d4
    EXPECT_TRUE(inList(2) && !inList(4));
    scene.GetList().Clear();
    EXPECT_FALSE(inList(2));
}

TEST_F(SceneTest, GroupMovesBehindTheEqualsOfAnotherScene)
{
    // d0-d3 in this scene (group 7: d0, d2, d3), e at priority 5 in the other one.
    CPrimitiveObject d[4], e;
    const uint32_t priorities[] = {5, 5, 5, 6};
    for (int i = 0; i < 4; ++i) {
        d[i].Setup(4, 4, 0xFF000000u | static_cast<DWORD>(i + 1), 0, 0);
        ASSERT_EQ(scene.GetList().InsertAfterEqual(&d[i], priorities[i], i == 1 ? 1 : 7), 0);
    }
    auto otherTarget = RandomImage(kW, kH, 32, 3);
    CScene other;
    ASSERT_EQ(other.SetTarget(otherTarget.get(), true), 0);
    ASSERT_EQ(other.GetList().Insert(&e, 5, 0), 0);
    scene.Redraw(nullptr, nullptr, 0, 0);
    other.Redraw(nullptr, nullptr, 0, 0);
    scene.ClearDirtyState();

    EXPECT_EQ(scene.GetList().MoveGroupTo(scene.GetList(), 7), 0);
    EXPECT_EQ(scene.GetList().MoveGroupTo(other.GetList(), 7), 3);
    std::vector<const CDrawable*> order;
    for (DrawNode* node = other.GetList().Head(); node; node = node->next) {
        order.push_back(node->drawable);
        EXPECT_EQ(node->group, node->drawable == &e ? 0u : 7u);
        EXPECT_EQ(node->last.left, -1);
    }
    EXPECT_EQ(order, (std::vector<const CDrawable*>{&e, &d[0], &d[2], &d[3]}));
    EXPECT_EQ(other.GetList().Tail()->priority, 6u);
    EXPECT_EQ(d[0].GetOwnerList(), &other.GetList());
    EXPECT_TRUE(d[0].IsDirty());
    EXPECT_EQ(scene.GetList().Head()->drawable, &d[1]);
    EXPECT_EQ(scene.GetList().Head(), scene.GetList().Tail());
    EXPECT_GT(scene.GetRegion().Count(), 0); // where they stood is redrawn
    // Each moved one is drawn by its new scene and removable there.
    EXPECT_TRUE(other.GetList().Remove(&d[2]));
    EXPECT_EQ(d[2].GetOwnerList(), nullptr);
    other.GetList().Clear();
}

TEST_F(SceneTest, NothingDirtySuspendAlphaZeroAndHiddenLists)
{
    CUpdateRegion out;
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_EQ(scene.Redraw(&out, nullptr, 0, 0), -1);
    EXPECT_EQ(out.Count(), 0);
    CPrimitiveObject shape;
    shape.Setup(10, 10, 0xFFFFFFFF, 20, 20);
    scene.GetList().Insert(&shape, 0, 0);
    scene.SetSuspended(true);
    EXPECT_EQ(scene.Redraw(&out, nullptr, 0, 0), 0);
    EXPECT_TRUE(shape.IsDirty()); // still pending
    scene.SetSuspended(false);
    const RECT clip{0, 0, 25, 25};
    EXPECT_EQ(scene.Redraw(&out, &clip, 100, 100), 0);
    EXPECT_EQ(out.Count(), 0); // shifted by 100: outside the hand-on clip
    EXPECT_EQ(Px(*target, 25, 25) & 0xFFFFFF, 0xFFFFFFu);
    // Alpha 0: not drawn and not invalidated by InvalidateAll.
    shape.SetAlpha(0);
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_NE(Px(*target, 25, 25) & 0xFFFFFF, 0xFFFFFFu);
    scene.InvalidateAll();
    EXPECT_FALSE(shape.IsDirty());
    // Invisible but dirty: old and new rectangles invalidated, nothing drawn.
    shape.SetAlpha(255);
    scene.Redraw(nullptr, nullptr, 0, 0);
    shape.SetVisible(false);
    shape.SetPosition(60, 60);
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_NE(Px(*target, 25, 25) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(Px(*target, 65, 65) & 0xFFFFFF, 0xFFFFFFu);
    shape.SetVisible(true);
    scene.SetHideList(true);
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_NE(Px(*target, 65, 65) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(FirstDifference(*target, *Rendered()), -1);
    // Render filters: 1 equal tags, 2 differing, 3 background only; another size: 2.
    scene.SetHideList(false);
    shape.SetTag(7);
    EXPECT_EQ(Px(*Rendered(1, 7), 65, 65) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(Px(*Rendered(2, 7), 65, 65) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(Px(*Rendered(3, 7), 65, 65) & 0xFFFFFF, 0xFFFFFFu);
    CImage small;
    small.Create(10, 10, 32, 0);
    EXPECT_EQ(scene.RenderToImage(&small, 0, 0, true), 2);
    EXPECT_EQ(scene.RenderToImage(nullptr, 0, 0, true), 1);
    CScene empty;
    EXPECT_EQ(empty.Redraw(nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(empty.InvalidateAll(), 1);
    EXPECT_EQ(empty.SetTarget(&small, false), 0);
    CImage none;
    EXPECT_EQ(empty.SetTarget(&none, false), 1);
}

TEST_F(SceneTest, BandsFollowTheWidthTable)
{
    const struct {
        LONG width;
        LONG rows;
    } table[] = {{1, 128}, {39, 128}, {40, 64}, {79, 64}, {80, 32}, {159, 32}, {160, 16}, {319, 16}, {320, 8}};
    for (const auto& row : table)
        EXPECT_EQ(CScene::BandHeight(row.width), row.rows) << row.width;
    CImage tall;
    ASSERT_EQ(tall.Create(40, 200, 32, 0), 0);
    CScene s;
    ASSERT_EQ(s.SetTarget(&tall, false), 0);
    Probe probe;
    probe.Setup(30, 200, 0xFF102030, 0, 0);
    s.GetList().Insert(&probe, 0, 0);
    g_bBandedRedraw = 1;
    g_bMergeUpdateRects = 0;
    s.Redraw(nullptr, nullptr, 0, 0);
    ASSERT_EQ(probe.bands.size(), 2u); // 30 wide: 128 rows, then 72
    EXPECT_EQ(probe.bands[0].bottom, 128);
    EXPECT_EQ(probe.bands[1].bottom, 200);
    probe.bands.clear();
    g_bBandedRedraw = 0;
    probe.SetPosition(1, 0);
    s.Redraw(nullptr, nullptr, 0, 0);
    for (const RECT& r : probe.bands)
        EXPECT_EQ(r.bottom - r.top, 200);
}

// Crowded scenes (far more drawables than a band walk keeps in one word, planned sprites of every
// kind among unplanned shapes and probes) on a target wide enough for 8-row bands: the banded
// redraw of the whole target and of scattered rectangles equals the unbanded one and a fresh
// render, at every SIMD level, and leaves what lies outside the rectangles alone.
TEST_F(SceneTest, CrowdedBandedRedrawEqualsUnbandedAndAFreshRender)
{
    constexpr int kWide = 400, kTall = 300;
    std::vector<std::unique_ptr<CImage>> images;
    images.push_back(RandomImage(70, 45, 32, 31));  // soft alpha
    images.push_back(RandomImage(33, 90, 32, 32));  // keyed
    images.back()->SetColorKeyValue(Px(*images.back(), 1, 1));
    images.push_back(RandomImage(41, 23, 8, 33));   // 8-bit keyed
    images.back()->SetColorKeyValue(images.back()->GetRowAddress(0)[0]);
    images.push_back(RandomImage(kWide - 30, kTall + 20, 32, 34, 0)); // background
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        auto a = RandomImage(kWide, kTall, 32, seed + 40);
        CScene s;
        ASSERT_EQ(s.SetTarget(a.get(), false), 0);
        s.SetBackgroundColor(0x405060, false);
        s.SetBackgroundImage(images[3].get(), 12, -7, false);
        std::vector<std::unique_ptr<CDrawable>> drawables;
        CDrawList overlay;
        s.SetOverlay(&overlay);
        for (int i = 0; i < 150; ++i) {
            const int kind = pick(0, 9);
            if (kind == 0) {
                auto probe = std::make_unique<Probe>();
                probe->Setup(pick(1, 120), pick(1, 60), static_cast<DWORD>(random()), pick(-50, kWide), pick(-50, kTall));
                probe->SetBlendMode(static_cast<BYTE>(pick(0, 3)));
                drawables.push_back(std::move(probe));
            } else {
                auto sprite = std::make_unique<CSprite>();
                ASSERT_EQ(sprite->SetImage(images[static_cast<size_t>(pick(0, 2))].get(), nullptr, pick(-60, kWide),
                                           pick(-80, kTall)),
                          0);
                if (kind == 1)
                    sprite->SetSize(pick(5, 150), pick(5, 120));
                else if (kind == 2)
                    sprite->SetRotateZoom(pick(0, 511), pick(5, 20) / 10.0);
                else if (kind == 3)
                    sprite->SetSourceOrigin(pick(-15, 15), pick(-15, 15)); // partly outside its picture
                else if (kind == 4)
                    sprite->SetAlpha(static_cast<BYTE>(pick(0, 255)));
                else if (kind == 5)
                    sprite->SetBlendMode(static_cast<BYTE>(pick(0, 5)));
                else if (kind == 6)
                    sprite->SetVisible(false);
                drawables.push_back(std::move(sprite));
            }
            CDrawList& list = pick(0, 4) == 0 ? overlay : s.GetList();
            list.Insert(drawables.back().get(), static_cast<uint32_t>(pick(0, 20)), 0);
        }
        auto fresh = RandomImage(kWide, kTall, 32, 99);
        ASSERT_EQ(s.RenderToImage(fresh.get(), 0, 0, true), 0);
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            SCOPED_TRACE(static_cast<int>(level));
            g_bMergeUpdateRects = 0;
            for (uint8_t banded : {uint8_t{1}, uint8_t{0}}) {
                g_bBandedRedraw = banded;
                auto whole = RandomImage(kWide, kTall, 32, 7);
                ASSERT_EQ(s.SetTarget(whole.get(), true), 0);
                ASSERT_EQ(s.Redraw(nullptr, nullptr, 0, 0), 0);
                EXPECT_EQ(FirstDifference(*whole, *fresh), -1) << "banded " << int(banded);
            }
            // Scattered rectangles of every band height, each composed on its own.
            g_bBandedRedraw = 1;
            auto parts = RandomImage(kWide, kTall, 32, 8);
            auto before = RandomImage(kWide, kTall, 32, 8);
            ASSERT_EQ(s.SetTarget(parts.get(), false), 0);
            s.ClearDirtyState();
            std::vector<RECT> rects;
            for (LONG width : {1, 39, 40, 100, 200, 330, kWide}) {
                const LONG left = pick(0, kWide - static_cast<int>(width));
                const LONG top = pick(0, kTall - 20);
                rects.push_back(RECT{left, top, left + width, top + pick(1, kTall - static_cast<int>(top))});
            }
            for (RECT& r : rects)
                s.InvalidateRect(&r);
            ASSERT_EQ(s.Redraw(nullptr, nullptr, 0, 0), 0);
            for (int y = 0; y < kTall; ++y)
                for (int x = 0; x < kWide; ++x) {
                    bool inside = false;
                    for (const RECT& r : rects)
                        inside = inside || Inside(r, x, y);
                    ASSERT_EQ(Px(*parts, x, y), Px(inside ? *fresh : *before, x, y)) << x << "," << y;
                }
        }
        ASSERT_EQ(s.SetTarget(a.get(), false), 0);
    }
}

TEST_F(SceneTest, UncoveredBackgroundGetsTheColour)
{
    auto bg = RandomImage(50, 40, 32, 11);
    scene.SetBackgroundColor(0x123456, false);
    ASSERT_TRUE(scene.SetBackgroundImage(bg.get(), -10, 5, true));
    CPrimitiveObject shape;
    shape.Setup(5, 5, 0xFFFFFFFF, 100, 100);
    scene.GetList().Insert(&shape, 0, 0);
    scene.Redraw(nullptr, nullptr, 0, 0);
    // Target (px, py) shows background (px - 10, py + 5).
    EXPECT_EQ(Px(*target, 0, 0) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(Px(*target, 10, 0), Px(*bg, 0, 5));
    EXPECT_EQ(Px(*target, 59, 34), Px(*bg, 49, 39));
    EXPECT_EQ(Px(*target, 60, 34) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(Px(*target, 10, 35) & 0xFFFFFF, 0x123456u);
    // A sprite moving over the uncovered part leaves no trail.
    shape.SetPosition(120, 100);
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_EQ(Px(*target, 102, 102) & 0xFFFFFF, 0x123456u);
    CImage none;
    EXPECT_FALSE(scene.SetBackgroundImage(&none, 0, 0, false));
    EXPECT_TRUE(scene.SetBackgroundAnchor(3, 0, 0));
    scene.SetBackgroundImage(nullptr, 0, 0, false);
    EXPECT_FALSE(scene.SetBackgroundAnchor(0, 0, 0));
}

// The background painted band by band and piece by piece is the background's pixels where it
// reaches and the colour elsewhere, for offsets inside and across every edge, with the raster's
// SIMD switch on and off, at every level.
TEST_F(SceneTest, PaintedBackgroundIsThePictureWhereItReaches)
{
    const struct {
        int w, h;
        LONG x, y;
    } table[] = {{kW, kH, 0, 0}, {kW + 9, kH + 4, 5, 3}, {kW - 20, kH - 11, -7, 6}, {kW + 30, kH - 3, -4, -9}};
    const uint8_t savedSwitch = g_bUseMmx;
    for (const auto& row : table) {
        auto bg = RandomImage(row.w, row.h, 32, 12);
        scene.SetBackgroundColor(0x5A6B7C, false);
        ASSERT_TRUE(scene.SetBackgroundImage(bg.get(), row.x, row.y, false));
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            for (uint8_t simdSwitch : {uint8_t{0}, uint8_t{1}}) {
                g_bUseMmx = simdSwitch;
                SCOPED_TRACE(testing::Message() << row.x << "," << row.y << " level " << static_cast<int>(level)
                                                << " switch " << int(simdSwitch));
                auto fresh = RandomImage(kW, kH, 32, 13);
                ASSERT_EQ(scene.RenderToImage(fresh.get(), 0, 0, true), 0);
                for (int y = 0; y < kH; ++y)
                    for (int x = 0; x < kW; ++x) {
                        const int bx = x + row.x, by = y + row.y;
                        if (bx >= 0 && by >= 0 && bx < row.w && by < row.h)
                            ASSERT_EQ(Px(*fresh, x, y), Px(*bg, bx, by)) << x << "," << y;
                        else
                            ASSERT_EQ(Px(*fresh, x, y) & 0xFFFFFF, 0x5A6B7Cu) << x << "," << y;
                    }
            }
        }
    }
    g_bUseMmx = savedSwitch;
    scene.SetBackgroundImage(nullptr, 0, 0, false);
}

TEST_F(SceneTest, WholeRedrawOfALargeTargetPaintsThePictureAtEverySimdLevel)
{
    // Targets past a band's pixels composed whole, the rows wide and narrow, a multiple of eight
    // pixels and not, the picture exactly the target's size or larger and offset into it.
    const struct {
        int w, h;
        int bgW, bgH;
        LONG x, y;
    } table[] = {{400, 200, 400, 200, 0, 0}, {403, 190, 420, 200, 13, 7}, {9, 8000, 12, 8003, 2, 1}};
    const uint8_t savedSwitch = g_bUseMmx;
    g_bBandedRedraw = 0;
    for (const auto& row : table) {
        auto bg = RandomImage(row.bgW, row.bgH, 32, 21);
        CScene s;
        auto large = RandomImage(row.w, row.h, 32, 22);
        ASSERT_EQ(s.SetTarget(large.get(), false), 0);
        ASSERT_TRUE(s.SetBackgroundImage(bg.get(), row.x, row.y, false));
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            for (uint8_t simdSwitch : {uint8_t{0}, uint8_t{1}}) {
                g_bUseMmx = simdSwitch;
                SCOPED_TRACE(testing::Message() << row.w << "x" << row.h << " level " << static_cast<int>(level)
                                                << " switch " << int(simdSwitch));
                auto painted = RandomImage(row.w, row.h, 32, 23);
                ASSERT_EQ(s.SetTarget(painted.get(), true), 0);
                ASSERT_EQ(s.Redraw(nullptr, nullptr, 0, 0), 0);
                for (int y = 0; y < row.h; ++y)
                    for (int x = 0; x < row.w; ++x)
                        ASSERT_EQ(Px(*painted, x, y), Px(*bg, x + row.x, y + row.y)) << x << "," << y;
            }
        }
        ASSERT_EQ(s.SetTarget(large.get(), false), 0);
    }
    g_bUseMmx = savedSwitch;
}

TEST_F(SceneTest, BackgroundViewAndRotateZoomAreCached)
{
    auto bg = RandomImage(80, 60, 32, 12);
    scene.SetBackgroundColor(0x0000FF, false);
    ASSERT_TRUE(scene.SetBackgroundImage(bg.get(), 0, 0, true));
    EXPECT_TRUE(scene.SetBackgroundView(20, 10, 80, 60, nullptr));
    ASSERT_NE(scene.GetBackgroundWork(), nullptr);
    EXPECT_FALSE(scene.SetBackgroundView(20, 10, 80, 60, nullptr)); // unchanged
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_EQ(Px(*target, 5, 5) & 0xFFFFFF, 0x0000FFu); // outside the view: the colour
    EXPECT_EQ(Px(*target, 20, 10), Px(*bg, 0, 0));     // same size: pixel for pixel
    EXPECT_EQ(Px(*target, 99, 69), Px(*bg, 79, 59));
    EXPECT_EQ(FirstDifference(*target, *Rendered()), -1);
    EXPECT_TRUE(scene.SetBackgroundView(0, 0, 0, 0, nullptr)); // identity: the plain background
    EXPECT_EQ(scene.GetBackgroundWork(), nullptr);
    EXPECT_TRUE(scene.SetBackgroundView(0, 0, -1, -1, nullptr)); // the whole target, stretched
    scene.Redraw(nullptr, nullptr, 0, 0);
    EXPECT_EQ(FirstDifference(*target, *Rendered()), -1);

    EXPECT_TRUE(scene.SetBackgroundRotateZoom(80, 60, 128, 1.0));
    EXPECT_FALSE(scene.SetBackgroundRotateZoom(80, 60, 128, 1.0));
    scene.Redraw(nullptr, nullptr, 0, 0);
    // A quarter turn about the centre anchor (40, 30) placed at (80, 60).
    EXPECT_EQ(Px(*target, 0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(FirstDifference(*target, *Rendered()), -1);
    EXPECT_TRUE(scene.SetBackgroundRotateZoom(80, 60, 0, 1.0)); // no turn, no zoom: plain again
    EXPECT_EQ(scene.GetBackgroundWork(), nullptr);
    auto bg8 = RandomImage(20, 20, 8, 13);
    scene.SetBackgroundImage(bg8.get(), 0, 0, false);
    EXPECT_FALSE(scene.SetBackgroundRotateZoom(10, 10, 64, 1.0));
    EXPECT_EQ(scene.CreateBackgroundWork(true), 0);
    CScene other;
    EXPECT_EQ(scene.SwapBackground(nullptr, false), 1);
    EXPECT_EQ(scene.SwapBackground(&other, false), 0);
    EXPECT_EQ(scene.GetBackgroundWork(), nullptr);
    EXPECT_NE(other.GetBackgroundWork(), nullptr);
    EXPECT_EQ(other.CreateBackgroundWork(false), 1); // no target
}

TEST_F(SceneTest, RedrawToSurfaceInEveryFormatIsCutToTheSurface)
{
    const struct {
        uint32_t code;
        DWORD bits, r, g, b, a;
    } formats[] = {
        {kPixelX1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},       {kPixelR5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
        {kPixelR8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},      {kPixelX8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {kPixelA1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},  {kPixelA4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
        {kPixelA8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    };
    auto sprite = RandomImage(50, 40, 32, 21);
    CSprite s;
    ASSERT_EQ(s.SetImage(sprite.get(), nullptr, 30, 20), 0);
    scene.GetList().Insert(&s, 0, 0);
    SurfaceSet set;
    for (const auto& f : formats) {
        SCOPED_TRACE(f.code);
        // Smaller than the target and placed at (7, 3): what passes its edges is cut.
        IDirectDrawSurface7* surface = set.Make(100, 70, f.bits, f.r, f.g, f.b, f.a);
        scene.InvalidateAll();
        ASSERT_EQ(scene.RedrawToSurface(surface, f.code, 7, 3), 0);
        const int bytes = PixelFormatBytes(f.code);
        std::vector<BYTE> expected(static_cast<size_t>(100 * 70 * bytes), 0);
        auto fresh = Rendered();
        ASSERT_TRUE(ConvertRgb32ToSurface(f.code, expected.data(), 7, 3, 100 * bytes, fresh->GetBits(),
                                          fresh->GetPitch(), 93, 67));
        EXPECT_EQ(SurfaceSet::Bytes(surface, bytes), expected);
        EXPECT_EQ(scene.RedrawToSurface(surface, f.code, 7, 3), -1);
    }
    // An 8-bit target goes through its palette (set up first when it has none).
    CImage indexed;
    ASSERT_EQ(indexed.Create(20, 10, 8, 0), 0);
    CScene s8;
    s8.SetTarget(&indexed, true);
    s8.SetBackgroundRGB(200, 0, 0, true);
    IDirectDrawSurface7* surface = set.Make(20, 10, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_EQ(s8.RedrawToSurface(surface, kPixelX8R8G8B8, 0, 0), 0);
    EXPECT_EQ(SurfaceSet::Bytes(surface, 4)[0], 200); // grey ramp entry 200
    s8.InvalidateAll();
    EXPECT_EQ(s8.RedrawToSurface(nullptr, kPixelX8R8G8B8, 0, 0), 1);
}

TEST_F(SceneTest, RedrawToDeviceContexts)
{
    CImage withDc;
    ASSERT_EQ(withDc.Create(kW, kH, 32, kImageWithDc), 0);
    CScene s;
    ASSERT_EQ(s.SetTarget(&withDc, true), 0);
    auto sprite = RandomImage(50, 40, 32, 31);
    CSprite sp;
    ASSERT_EQ(sp.SetImage(sprite.get(), nullptr, 30, 20), 0);
    s.GetList().Insert(&sp, 0, 0);
    s.SetBackgroundRGB(10, 20, 30, true);
    // Into a DIB's device context at (5, 6).
    CImage dib;
    ASSERT_EQ(dib.Create(kW + 10, kH + 10, 32, kImageWithDc), 0);
    ASSERT_EQ(s.RedrawToDC(nullptr, dib.GetDc(), nullptr, 5, 6), 0);
    for (int y = 0; y < kH; y += 7)
        for (int x = 0; x < kW; x += 5)
            ASSERT_EQ(Px(dib, x + 5, y + 6) & 0xFFFFFF, Px(withDc, x, y) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(s.RedrawToDC(nullptr, dib.GetDc(), nullptr, 0, 0), -1);
    // Into a 565 surface's device context.
    SurfaceSet set;
    IDirectDrawSurface7* surface = set.Make(kW, kH, 16, 0xF800, 0x7E0, 0x1F, 0);
    s.InvalidateAll();
    ASSERT_EQ(s.RedrawToDC(nullptr, nullptr, surface, 0, 0), 0);
    const std::vector<BYTE> got = SurfaceSet::Bytes(surface, 2);
    std::vector<BYTE> expected(got.size());
    ASSERT_TRUE(ConvertRgb32ToSurface(kPixelR5G6B5, expected.data(), 0, 0, kW * 2, withDc.GetBits(), withDc.GetPitch(),
                                      kW, kH));
    EXPECT_EQ(got, expected);
    // No device context to be had, or a target without one.
    s.InvalidateAll();
    EXPECT_EQ(s.RedrawToDC(nullptr, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(scene.RedrawToDC(nullptr, dib.GetDc(), nullptr, 0, 0), 1); // heap target: no DC
}

} // namespace
