#include <gtest/gtest.h>

#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "effect_test_world.h"
#include "effects/sp_cfade.h"
#include "raster/blend_tables.h"

namespace {

using effects_test::EffectWorld;
using effects_test::OriginImage;
using effects_test::PixelAt;

// An old sprite as the scenario engine hands it over: detached, its picture on the heap.
CSprite* HeapSprite(LONG w, LONG h, BYTE id, LONG x, LONG y, CDrawList* list)
{
    auto* sprite = new CSprite;
    EXPECT_EQ(sprite->SetImage(OriginImage(w, h, id).release(), nullptr, x, y), 0);
    if (list != nullptr)
        list->Insert(sprite, 0, 0);
    return sprite;
}

void DeleteHeapSprite(CSprite* sprite)
{
    CImage* image = sprite->GetImage();
    delete sprite;
    delete image;
}

struct Change {
    EffectWorld world{64, 48, false};
    CDrawList& list = world.front.GetScene()->GetList();
    std::unique_ptr<CImage> newPicture;
    CSprite fresh;
    CSprite* old = nullptr;
    CLayerEffect* holder = nullptr;

    Change(LONG oldX, LONG newX, int time)
    {
        newPicture = OriginImage(16, 16, 4);
        EXPECT_EQ(fresh.SetImage(newPicture.get(), nullptr, newX, 0), 0);
        list.Insert(&fresh, 0, 0);
        old = HeapSprite(16, 16, 3, oldX, 0, &list);
        EXPECT_EQ(CreateLayerEffect("sp_cfade", &world.front,
                                    CEffectArgs::Of(static_cast<CDrawable*>(&fresh),
                                                    static_cast<CDrawable*>(old), 5, time, 0),
                                    &holder),
                  0);
    }
    ~Change() { world.scheduler.CancelAll(); }
    CSpCfadeEffect& Effect() { return *static_cast<CSpCfadeEffect*>(holder); }
};

TEST(SpCfade, SeparatePicturesFadeIndependently)
{
    Change change(0, 30, 1000);
    CSprite* old = change.old;
    EXPECT_FALSE(change.Effect().IsBlended());
    EXPECT_FALSE(change.fresh.IsVisible());
    change.world.Tick(0);
    EXPECT_TRUE(change.fresh.IsVisible());
    EXPECT_EQ(change.fresh.GetAlpha(), 0);
    change.world.Tick(500);
    EXPECT_EQ(change.fresh.GetAlpha(), 127);
    EXPECT_EQ(old->GetAlpha(), 128);
    change.world.Tick(500);
    EXPECT_EQ(change.holder, nullptr); // the old sprite went with it
    EXPECT_TRUE(change.fresh.IsVisible());
    EXPECT_EQ(change.fresh.GetAlpha(), 255);
}

TEST(SpCfade, TimeZeroCompletesOnTheSecondStep)
{
    Change change(0, 30, 0);
    change.world.Tick(0);
    EXPECT_NE(change.holder, nullptr);
    change.world.Tick(1);
    EXPECT_EQ(change.holder, nullptr);
    EXPECT_EQ(change.fresh.GetAlpha(), 255);
}

TEST(SpCfade, OverlappingPicturesBlendInOneWorkImage)
{
    Change change(0, 8, 1000);
    CSpCfadeEffect& effect = change.Effect();
    ASSERT_TRUE(effect.IsBlended());
    const RectSplit& split = effect.GetSplit();
    EXPECT_EQ(split.area.right, 24);
    EXPECT_EQ(split.oldOnlyCount, 1);
    CSprite& work = *effect.GetWorkSprite();
    EXPECT_FALSE(work.IsVisible());
    change.world.Tick(0);
    EXPECT_FALSE(change.old->IsVisible());
    EXPECT_TRUE(work.IsVisible());
    EXPECT_FALSE(change.fresh.IsVisible());
    for (uint32_t step : {300u, 400u}) {
        change.world.Tick(step);
        const int level = (step == 300 ? 300 : 700) * 255 / 1000;
        const CImage& image = *effect.GetWorkImage();
        for (LONG y : {0, 15}) {
            for (LONG x = 0; x < 24; ++x) {
                const uint32_t oldPixel = x < 16 ? PixelAt(*change.old->GetImage(), x, y) : 0;
                const uint32_t newPixel = x >= 8 ? PixelAt(*change.newPicture, x - 8, y) : 0;
                uint32_t expected = 0;
                for (int c = 0; c < 4; ++c) {
                    const uint32_t o = oldPixel >> (8 * c) & 255, n = newPixel >> (8 * c) & 255;
                    uint32_t v;
                    if (x < 8)
                        v = c == 3 ? g_MulTable[255 - level][o] : o; // old only: its alpha fades
                    else if (x >= 16)
                        v = c == 3 ? g_MulTable[level][n] : n; // new only: its alpha rises
                    else
                        v = uint32_t(g_MulTable[255 - level][o] + g_MulTable[level][n]) & 255;
                    expected |= v << (8 * c);
                }
                ASSERT_EQ(PixelAt(image, x, y), expected) << "x " << x << " y " << y << " level " << level;
            }
        }
    }
    // A cancel leaves exactly the new picture, at full alpha.
    change.world.scheduler.Cancel(change.holder);
    EXPECT_TRUE(change.fresh.IsVisible());
    EXPECT_EQ(change.fresh.GetAlpha(), 255);
    EXPECT_FALSE(work.IsVisible());
}

// The priority a drawable has in a list; -1 when it is not listed.
int64_t ListedPriority(const CDrawList& list, const CDrawable* drawable)
{
    for (const DrawNode* n = list.Head(); n != nullptr; n = n->next)
        if (n->drawable == drawable)
            return n->priority;
    return -1;
}

// The frame restacks a sprite's group while it fades: the fading-out picture and the work sprite
// go to the sprite's new priority; the new sprite is the frame's to move.
TEST(SpCfade, OwnSpritesMoveToTheSpritesPriority)
{
    Change change(0, 8, 1000);
    ASSERT_TRUE(change.Effect().IsBlended());
    change.Effect().MoveOwnSprites(20400);
    EXPECT_EQ(ListedPriority(change.list, change.old), 20400);
    EXPECT_EQ(ListedPriority(change.list, change.Effect().GetWorkSprite()), 20400);
    EXPECT_EQ(ListedPriority(change.list, &change.fresh), 0);
}

struct RefusingManager : CTimerManager {
    uint32_t Add(CTimedTask*, uint32_t, uint32_t, uint32_t) override { return 1; }
};

TEST(SpCfade, RefusalsLeaveTheOldSpriteToTheCaller)
{
    EffectWorld world(64, 48, false);
    CDrawList& list = world.front.GetScene()->GetList();
    auto fresh = std::make_unique<CSprite>();
    std::unique_ptr<CImage> picture = OriginImage(8, 8, 4);
    ASSERT_EQ(fresh->SetImage(picture.get(), nullptr, 4, 0), 0);
    CSprite bare;  // no picture
    CSprite loose; // a picture, in no list
    ASSERT_EQ(loose.SetImage(picture.get(), nullptr, 4, 0), 0);
    CPrimitiveObject shape;
    list.Insert(fresh.get(), 0, 0);
    CSprite* old = HeapSprite(8, 8, 3, 0, 0, &list);
    RefusingManager refusing;
    struct Case {
        const char* what;
        CTimerManager* manager;
        CImageObject* target;
        CDrawable* fresh;
        CDrawable* old;
        int code;
    } const cases[] = {
        {"no manager", nullptr, &world.front, fresh.get(), old, 1},
        {"no new sprite", &world.scheduler, &world.front, nullptr, old, 2},
        {"a shape", &world.scheduler, &world.front, &shape, old, 2},
        {"no pictures", &world.scheduler, &world.front, &bare, nullptr, 3},
        {"new sprite in no list", &world.scheduler, &world.front, &loose, old, 4},
        {"no target", &world.scheduler, nullptr, fresh.get(), old, 4},
        {"manager refuses", &refusing, &world.front, fresh.get(), old, 6},
    };
    for (const Case& c : cases) {
        auto* effect = static_cast<CSpCfadeEffect*>(CSpCfadeEffect::Create(0));
        EXPECT_EQ(effect->SetUp(c.manager, c.target, c.fresh, c.old, 0, 100, 0), c.code) << c.what;
        effect->Release(); // as the creator does; the old sprite stays the caller's
    }
    fresh->SetVisible(true);
    DeleteHeapSprite(old);
}

} // namespace
