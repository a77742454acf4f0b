// The caption along its path on the virtual clock, a second caption replacing the first's task,
// the pointer glide onto a control and its refusals; the control parts and the sprite helpers.
#include <gtest/gtest.h>

#include "controls/control_parts.h"
#include "controls/control_set.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/rectangle_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "display/path_move_task.h"
#include "display/sprite_setup.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "effects/cursor_move.h"
#include "natives/caption.h"
#include "natives/main_form.h"
#include "natives/text_object.h"
#include "platform/message_handler.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "support/pixel_library.h"
#include "support/test_game_app.h"
#include "winapi/clock.h"
#include "winapi/text.h"

namespace {

struct CaptionFixture {
    TestPixelLibrary pixels;
    CaptionFixture()
    {
        winapi::UseVirtualClock(true);
        g_pObjectManager = &objects;
        g_pTaskList = &tasks;
        caption.SetUp();
        EXPECT_EQ(target.Create(640, 480, 32, 0), 0);
        EXPECT_EQ(scene.SetTarget(&target, false), 0);
        EXPECT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        set.SetScene(&scene);
    }
    ~CaptionFixture()
    {
        caption.TearDown();
        g_MainForm.RemoveAllControls();
        set.DeleteAll();
        objects.CancelAll();
        tasks.CancelAll();
        g_pObjectManager = nullptr;
        g_pTaskList = nullptr;
        winapi::UseVirtualClock(false);
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        objects.RunDue(TimerNow());
        tasks.RunDue(TimerNow());
    }

    CTestGameApp app;
    CTimerManager objects;
    CTimerManager tasks;
    CCaption caption;
    CImage target;
    CScene scene;
    CGlyphFont font;
    CControlSet set;
};

} // namespace

TEST(Caption, SlidesInStaysAndFadesOutAlongItsPath)
{
    CaptionFixture f;
    EXPECT_EQ(g_pCaption, &f.caption);
    EXPECT_EQ(f.caption.ShowText("", 0), 1);
    ASSERT_EQ(f.caption.ShowText(winapi::Sjis("セーブしました"), 0), 0);
    ASSERT_NE(f.caption.GetValidHandle(), nullptr);
    EXPECT_EQ(f.caption.Sprite().GetImage(), &f.caption.Image());
    f.Run(0);
    EXPECT_EQ(f.caption.Sprite().GetX(), 12);
    bool stood = false;
    for (uint32_t t = 0; t < 1600; t += 50) {
        f.Run(50);
        const LONG y = f.caption.Sprite().GetY();
        EXPECT_GE(y, 575);
        EXPECT_LE(y, 600);
        stood = stood || (y == 575 && f.caption.Sprite().GetAlpha() == 255);
    }
    EXPECT_TRUE(stood);
    for (int i = 0; i < 40 && f.caption.GetValidHandle() != nullptr; ++i)
        f.Run(50);
    EXPECT_EQ(f.caption.GetValidHandle(), nullptr);
    EXPECT_EQ(f.caption.Sprite().GetY(), 600);
    EXPECT_EQ(f.caption.Sprite().GetAlpha(), 0);
    f.caption.TearDown();
    EXPECT_EQ(g_pCaption, nullptr);
}

TEST(Caption, ASecondCaptionReplacesTheFirstsTask)
{
    CaptionFixture f;
    ASSERT_EQ(f.caption.ShowText(winapi::Sjis("一つ目"), 0), 0);
    f.Run(500);
    ASSERT_EQ(f.caption.ShowText(winapi::Sjis("二つ目の方が長い"), 0), 0);
    f.Run(0);
    EXPECT_EQ(f.objects.GetCount(), 1u);
    ASSERT_NE(f.caption.GetValidHandle(), nullptr);
    EXPECT_EQ(f.caption.Sprite().GetWidth(), f.caption.Image().GetWidth());
    f.caption.DropMotionTask();
    EXPECT_EQ(f.caption.GetValidHandle(), nullptr);
}

TEST(Caption, GlidesThePointerToAControlsCentre)
{
    CaptionFixture f;
    CWindowMessage active;
    active.wParam = 1;
    f.app.OnActivateApp(&active);
    ASSERT_TRUE(f.app.IsActive());
    CTextPanel* panel = nullptr;
    ASSERT_EQ(f.set.AddTextPanel(&panel, 100, 200, 60, 40, &f.font, nullptr, 0, 0, 0, 1), 0);
    panel->SetVisible(true);
    ASSERT_EQ(g_MainForm.AddControl(panel, -1), 0);
    f.app.SetCursorPos(10, 10);
    CControl* out = nullptr;
    ASSERT_EQ(f.caption.MoveCursorToObject(panel, false, &out), 0);
    EXPECT_EQ(out, panel);
    CCursorMoveEffect* move = static_cast<CCursorMoveEffect*>(f.tasks.FindKind(kCursorMoveKind));
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->GetTargetX(), 130);
    EXPECT_EQ(move->GetTargetY(), 220);
    f.tasks.CancelAll();
    f.Run(0);

    // Waiting runs frames until the move has landed; a stopping frame answers -1.
    int frames = 0;
    f.app.onStep = [&] {
        ++frames;
        f.Run(20);
        return 1;
    };
    f.app.SetCursorPos(10, 10);
    EXPECT_EQ(f.caption.MoveCursorToObject(panel, true, nullptr), 0);
    EXPECT_GE(frames, 7);
    EXPECT_LE(frames, 9);
    f.app.SetCursorPos(10, 10);
    f.app.onStep = [] { return 0; };
    EXPECT_EQ(f.caption.MoveCursorToObject(panel, true, nullptr), -1);
    f.app.onStep = nullptr;
    f.tasks.CancelAll();
    f.Run(0);

    // From the parked corner (this screen's, 640 x 480) the control gets the focus instead.
    CControlType2* rect = nullptr;
    ASSERT_EQ(f.set.AddControlType2(&rect, 0, 0, 10, 10, 1, 2, 3, 1), 0);
    rect->SetVisible(true);
    ASSERT_EQ(g_MainForm.AddControl(rect, -1), 0);
    f.app.SetCursorPos(639, 479);
    EXPECT_EQ(f.caption.MoveCursorToObject(rect, false, nullptr), 1);
    EXPECT_EQ(g_MainForm.GetFocus(), rect);
    EXPECT_EQ(f.tasks.GetCount(), 0u);
    EXPECT_EQ(f.caption.MoveCursorToObject(nullptr, false, nullptr), -2);
}

TEST(ControlParts, PartsByControlType)
{
    CaptionFixture f;
    CTextPanel* panel = nullptr;
    ASSERT_EQ(f.set.AddTextPanel(&panel, 0, 0, 60, 40, &f.font, nullptr, 0, 0, 0, 1), 0);
    CControlType2* rect = nullptr;
    ASSERT_EQ(f.set.AddControlType2(&rect, 0, 0, 10, 10, 1, 2, 3, 1), 0);
    CButton* button = nullptr;
    ASSERT_EQ(f.set.AddImageButton(&button, 0, 0, 5, 5, -1, -1, true, true), 0);
    CTextObject object(nullptr, nullptr);
    ASSERT_EQ(object.Create(&f.scene.GetList(), 1, 50, 30, 0, 0, &f.font, nullptr, 0), 0);
    CImage strip;
    ASSERT_EQ(strip.Create(80, 10, 32, 0), 0);
    CToggleButton toggle;
    ASSERT_EQ(toggle.CreateFromImage(&f.scene.GetList(), 1, nullptr, &strip, 0, true, nullptr, 0, 0, 0, 255, 1), 0);
    CImage map;
    ASSERT_EQ(map.Create(16, 16, 8, 0), 0);
    CImageMap regions;
    ASSERT_EQ(regions.CreateFromImage(map, 2, 0, 0, true, 0), 0);
    // A layer of two lines closed by a header and a footer.
    CTextLayer* layer = nullptr;
    ASSERT_EQ(f.set.AddTextLayer(&layer, 0, 100, 60, 20, 2, &f.font, 1), 0);
    ASSERT_EQ(layer->SetCellSize(60, 20, 8, 6), 0);
    for (const char* line : {"one", "two"})
        ASSERT_EQ(layer->AddLine(line, nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_NE(layer->GetLineSprite(-1), nullptr);
    ASSERT_NE(layer->GetLineSprite(2), nullptr);
    CTextLayer* bare = nullptr;
    ASSERT_EQ(f.set.AddTextLayer(&bare, 0, 300, 60, 20, 2, &f.font, 1), 0);
    ASSERT_EQ(bare->AddLine("one", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
    struct Case {
        const char* what;
        CControl* control;
        int index;
        CDrawable* first;
        CImage* second;
    };
    const Case cases[] = {
        {"none", nullptr, 0, nullptr, nullptr},
        {"text panel", panel, 0, &panel->GetSprite(), &panel->GetImage()},
        {"text object", &object, 0, &object.GetSprite(), &object.GetImage()},
        {"rectangle", rect, 0, &rect->GetShape(), nullptr},
        {"image button", button, 0, nullptr, nullptr},
        {"toggle", &toggle, 0, &toggle.GetSprite(), &strip},
        {"image map", &regions, 0, nullptr, &regions.GetMap()},
        {"layer line 0", layer, 0, layer->GetLineSprite(0), layer->GetLineImage(0)},
        {"layer line 1", layer, 1, layer->GetLineSprite(1), layer->GetLineImage(1)},
        {"layer header", layer, -1, layer->GetLineSprite(-1), nullptr},
        {"layer footer", layer, -2, layer->GetLineSprite(2), nullptr},
        {"layer past the lines", layer, 2, nullptr, nullptr},
        {"layer below -2", layer, -3, nullptr, nullptr},
        {"layer without header", bare, -1, nullptr, nullptr},
        {"layer without footer", bare, -2, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ControlPart first = GetObjectPart(c.control, c.index);
        EXPECT_EQ(first.drawable, c.first);
        EXPECT_EQ(first.image, nullptr);
        const ControlPart second = GetObjectPart2(c.control, c.index);
        EXPECT_EQ(second.image, c.second);
        EXPECT_EQ(second.drawable, nullptr);
    }
    EXPECT_NE(layer->GetLineSprite(-1), layer->GetLineSprite(2));
}

TEST(SpriteSetup, ImageBlendPriorityAndCanvas)
{
    TestPixelLibrary pixels;
    CImage image;
    ASSERT_EQ(image.Create(20, 10, 32, 0), 0);
    CSprite sprite;
    EXPECT_EQ(SetUpSpriteFromImage(nullptr, &image, 0, 0, 0, 0, -1, 0, 0, 0, -1, true, 0, nullptr), 1);
    EXPECT_EQ(SetUpSpriteFromImage(&sprite, nullptr, 0, 0, 0, 0, -1, 0, 0, 0, -1, true, 0, nullptr), 1);
    // No priority: placed and shown only.
    ASSERT_EQ(SetUpSpriteFromImage(&sprite, &image, 3, 4, 2, 77, 2, 1, 12, 9, -1, false, 0, nullptr), 0);
    EXPECT_EQ(sprite.GetX(), 3);
    EXPECT_EQ(sprite.GetY(), 4);
    EXPECT_EQ(sprite.GetWidth(), 10);
    EXPECT_EQ(sprite.GetHeight(), 8);
    EXPECT_EQ(sprite.GetAlpha(), 77);
    EXPECT_FALSE(sprite.IsVisible());
    EXPECT_EQ(sprite.GetOwnerList(), nullptr);
    // A priority with no canvas and no screen to insert into.
    EXPECT_EQ(SetUpSpriteFromImage(&sprite, &image, 0, 0, 0, 0, -1, 0, 0, 0, 5, true, 0, nullptr), 3);
    EXPECT_EQ(SetUpSpriteFromFile(&sprite, &image, "NO\\SUCH.ELG", 0, 0, -1, 0, -1, 0, 0, 0, -1, true, 0, nullptr),
              2);
}
