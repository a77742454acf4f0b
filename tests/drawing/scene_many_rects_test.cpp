// A scene with many moving drawables: the dirty rectangles go into tiles rather than a long
// region, and the redraw still equals a whole render and changes nothing outside the tiles.
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"
#include "winapi/simd_level.h"

#include <memory>
#include <random>
#include <vector>

using namespace drawing_test;

class SceneManyRects : public DrawingEnvironment {};

TEST_F(SceneManyRects, ManyDirtyRectanglesCollapseAndRedrawTheSame)
{
    auto target = RandomImage(200, 150, 32, 1);
    auto background = RandomImage(200, 150, 32, 2);
    auto picture = RandomImage(6, 5, 32, 3);
    CScene scene;
    ASSERT_EQ(scene.SetTarget(target.get(), true), 0);
    scene.SetBackgroundImage(background.get(), 0, 0, true);
    std::vector<std::unique_ptr<CSprite>> sprites;
    for (int i = 0; i < 300; ++i) {
        sprites.push_back(std::make_unique<CSprite>());
        ASSERT_EQ(sprites.back()->SetImage(picture.get(), nullptr, (i * 37) % 200, (i * 53) % 150), 0);
        scene.GetList().Insert(sprites.back().get(), static_cast<uint32_t>(i), 0);
    }
    ASSERT_EQ(scene.Redraw(nullptr, nullptr, 0, 0), 0);
    CImage whole;
    ASSERT_EQ(whole.Create(200, 150, 32, 0), 0);
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < sprites.size(); ++i)
            sprites[i]->MoveBy(static_cast<LONG>(i % 7) - 3, static_cast<LONG>(i % 5) - 2);
        scene.CollectDirtyRects(nullptr, nullptr);
        EXPECT_LE(scene.GetRegion().Count(), 64);
        ASSERT_EQ(scene.Redraw(nullptr, nullptr, 0, 0), 0);
        ASSERT_EQ(scene.RenderToImage(&whole, 0, 0, false), 0);
        EXPECT_EQ(FirstDifference(*target, whole), -1) << "round " << round;
    }
}

// Many small movers between fixed drawables that reach across the moved places (large soft
// sprites, shapes, a turned sprite), in both lists: each redraw equals a whole render at every
// SIMD level and band switch, on widths of narrow and wide tiles and on a target tall enough to be
// composed in several strips, and every pixel it changed lies in the rectangles it hands on.
TEST_F(SceneManyRects, ScatteredMoversRedrawOnlyTheirPlacesAndTheSame)
{
    const struct {
        int width, height;
    } sizes[] = {{100, 90}, {333, 77}, {1000, 70}, {2048, 30}, {640, 700}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.width);
        const int w = size.width, h = size.height;
        auto target = RandomImage(w, h, 32, 1);
        auto background = RandomImage(w - 7, h + 5, 32, 2, 0);
        auto small = RandomImage(5, 6, 32, 3);
        auto large = RandomImage(w / 2 + 3, h / 3 + 2, 32, 4);
        CScene scene;
        CDrawList overlay;
        ASSERT_EQ(scene.SetTarget(target.get(), true), 0);
        scene.SetOverlay(&overlay);
        scene.SetBackgroundColor(0x304050, false);
        scene.SetBackgroundImage(background.get(), 3, -2, true);
        std::mt19937 random(static_cast<uint32_t>(w));
        const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        std::vector<std::unique_ptr<CDrawable>> fixed;
        std::vector<std::unique_ptr<CSprite>> movers;
        for (int i = 0; i < 12; ++i) {
            if (i % 3 == 0) {
                auto shape = std::make_unique<CPrimitiveObject>();
                shape->Setup(pick(1, w), pick(1, h / 2), static_cast<DWORD>(random()), pick(-10, w), pick(-10, h));
                shape->SetBlendMode(static_cast<BYTE>(pick(0, 3)));
                fixed.push_back(std::move(shape));
            } else {
                auto sprite = std::make_unique<CSprite>();
                ASSERT_EQ(sprite->SetImage(large.get(), nullptr, pick(-20, w), pick(-20, h)), 0);
                if (i % 3 == 2)
                    sprite->SetRotateZoom(pick(0, 511), 1.0);
                fixed.push_back(std::move(sprite));
            }
            (i % 4 == 0 ? overlay : scene.GetList()).Insert(fixed.back().get(), static_cast<uint32_t>(pick(0, 300)), 0);
        }
        for (int i = 0; i < 200; ++i) {
            movers.push_back(std::make_unique<CSprite>());
            ASSERT_EQ(movers.back()->SetImage(small.get(), nullptr, pick(-5, w), pick(-5, h)), 0);
            scene.GetList().Insert(movers.back().get(), static_cast<uint32_t>(pick(0, 300)), 0);
        }
        ASSERT_EQ(scene.Redraw(nullptr, nullptr, 0, 0), 0);
        CImage whole, before;
        ASSERT_EQ(whole.Create(w, h, 32, 0), 0);
        ASSERT_EQ(before.Create(w, h, 32, 0), 0);
        int round = 0;
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel simd(level);
            for (uint8_t banded : {uint8_t{1}, uint8_t{0}}) {
                SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level) << " banded " << int(banded)
                                                << " round " << round++);
                g_bBandedRedraw = banded;
                // A few of them move, each a little, as falling snow does.
                for (auto& mover : movers)
                    if (pick(0, 2) == 0)
                        mover->MoveBy(pick(-2, 2), pick(1, 9));
                before.Copy(target.get(), 0, 0, nullptr, false);
                CUpdateRegion out;
                ASSERT_EQ(scene.Redraw(&out, nullptr, 0, 0), 0);
                ASSERT_EQ(scene.RenderToImage(&whole, 0, 0, true), 0);
                ASSERT_EQ(FirstDifference(*target, whole), -1);
                std::vector<RECT> handed;
                for (RectNode* node = out.Head(); node; node = node->next == out.Head() ? nullptr : node->next)
                    handed.push_back(node->rect);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (Px(*target, x, y) != Px(before, x, y)) {
                            bool inside = false;
                            for (const RECT& r : handed)
                                inside = inside || Inside(r, x, y);
                            ASSERT_TRUE(inside) << x << "," << y << " changed outside the handed rectangles";
                        }
            }
        }
        g_bBandedRedraw = 1;
        scene.SetOverlay(nullptr);
    }
}
