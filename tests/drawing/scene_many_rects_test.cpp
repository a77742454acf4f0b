// A scene with many moving drawables: the dirty rectangles collapse to their bounds, and the
// redraw still equals a whole render.
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"

#include <memory>
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
