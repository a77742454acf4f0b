// The main-screen form: the hint box against a composed reference and its placement, cursor
// kinds, event sounds, the activated value and the per-frame control updates.
#include <gtest/gtest.h>

#include <cstring>

#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "natives/main_form.h"
#include "platform/app_config.h"
#include "platform/input_manager.h"
#include "platform/mouse_device.h"
#include "sound/sound_manager.h"
#include "support/pixel_library.h"
#include "support/test_game_app.h"
#include "winapi/text.h"
#include "winapi/user_resource.h"

namespace {

struct FormFixture {
    TestPixelLibrary pixels;
    CTestGameApp app;
    CMainForm form;
    CScene scene;
    CImage target;
    CDrawList overlay;
    CGlyphFont font;

    FormFixture()
    {
        EXPECT_EQ(app.GetInput().CreateDevices(nullptr, kInputMessages, kInputMessages), 0u);
        EXPECT_EQ(target.Create(640, 480, 32, 0), 0);
        EXPECT_EQ(scene.SetTarget(&target, false), 0);
        scene.SetOverlay(&overlay);
        EXPECT_EQ(font.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        form.DetachAndSetTarget(&scene);
        form.SetHintFont(&font);
    }
    ~FormFixture() { form.DetachAndSetTarget(nullptr); }
};

uint32_t Pixel(const CImage& image, int x, int y)
{
    uint32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(image.GetBits()) + y * image.GetPitch() + x * 4, 4);
    return value;
}

} // namespace

TEST(MainForm, HintBoxMatchesItsFillsFrameShadowAndText)
{
    FormFixture f;
    const char* text = winapi::Sjis("ヒントの文字");
    f.form.ShowHint(text, 100, 100);
    const CImage& hint = f.form.HintImage();
    ASSERT_NE(hint.GetBits(), nullptr);

    CGlyphFont ref;
    ASSERT_EQ(ref.SetFont(12, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    SIZE size{};
    int32_t ox = 0, oy = 0;
    ref.MeasureString(text, &size, &ox, &oy, 1, nullptr);
    const LONG w = size.cx + 10, h = size.cy + 10;
    ASSERT_EQ(hint.GetWidth(), w);
    ASSERT_EQ(hint.GetHeight(), h);
    CImage expected;
    ASSERT_EQ(expected.Create(w, h, 32, 0), 0);
    expected.FillRect32(0, nullptr);
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            uint32_t v = 0;
            if (x >= 1 && y >= 1 && x <= w - 6 && y <= h - 6)
                v = 0xD0FFFFE1u;
            if ((y == 0 || y == h - 5) && x <= w - 5)
                v = 0xFF445F97u;
            if ((x == 0 || x == w - 5) && y <= h - 5)
                v = 0xFF445F97u;
            if ((x >= w - 4 && y >= 4) || (y >= h - 4 && x >= 4))
                v = 0x80000000u;
            expected.FillRect32XYWH(x, y, 1, 1, v);
        }
    ref.DrawString(&expected, 3 + ox, 3 + oy, text, nullptr, nullptr);
    int differing = 0;
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x)
            differing += Pixel(hint, x, y) != Pixel(expected, x, y);
    EXPECT_EQ(differing, 0);
    // Some text was drawn inside the box.
    int inked = 0;
    for (LONG y = 3; y < h - 6; ++y)
        for (LONG x = 3; x < w - 6; ++x)
            inked += Pixel(hint, x, y) != 0xD0FFFFE1u;
    EXPECT_GT(inked, 10);

    const CSprite& sprite = f.form.HintSprite();
    EXPECT_EQ(sprite.GetOwnerList(), &f.overlay);
    EXPECT_EQ(sprite.GetImage(), &hint);
    EXPECT_TRUE(sprite.IsVisible());
    EXPECT_EQ(sprite.GetScreenRectPtr()->left, 100);
    EXPECT_EQ(sprite.GetScreenRectPtr()->top, 122);
    f.form.OnHideHint();
    EXPECT_FALSE(sprite.IsVisible());
}

TEST(MainForm, HintPlacementNearEachCorner)
{
    FormFixture f;
    const char* text = winapi::Sjis("ヒント");
    f.form.ShowHint(text, 0, 0);
    const int w = f.form.HintImage().GetWidth(), h = f.form.HintImage().GetHeight();
    struct Case {
        int x, y, wantX, wantY;
    };
    const Case cases[] = {
        {0, 0, 0, 22},
        {639, 0, 640 - w, 22},
        {0, 479, 0, 479 - h},
        {639, 479, 640 - w, 479 - h},
        {300, 200, 300, 222},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        f.form.ShowHint(text, c.x, c.y);
        EXPECT_EQ(f.form.HintSprite().GetScreenRectPtr()->left, c.wantX);
        EXPECT_EQ(f.form.HintSprite().GetScreenRectPtr()->top, c.wantY);
    }
    // A box larger than the screen stays on it.
    f.app.m_options.screenWidth = 20;
    f.app.m_options.screenHeight = 10;
    f.form.ShowHint(text, 5, 5);
    EXPECT_EQ(f.form.HintSprite().GetScreenRectPtr()->left, 0);
    EXPECT_EQ(f.form.HintSprite().GetScreenRectPtr()->top, 0);
    f.app.m_options.screenWidth = 640;
    f.app.m_options.screenHeight = 480;
    // Without a target or font nothing is drawn; a new target detaches the sprite.
    f.form.DetachAndSetTarget(nullptr);
    EXPECT_EQ(f.form.HintSprite().GetOwnerList(), nullptr);
    f.form.ShowHint(text, 5, 5);
    EXPECT_EQ(f.form.HintSprite().GetOwnerList(), nullptr);
}

TEST(MainForm, ForgetsADeletedSceneOrFont)
{
    FormFixture f;
    f.form.ShowHint(winapi::Sjis("ヒント"), 5, 5);
    f.form.ForgetObject(&f.font);
    EXPECT_EQ(f.form.GetHintFont(), nullptr);
    EXPECT_EQ(f.form.GetTarget(), &f.scene);
    f.form.ForgetObject(&f.scene);
    EXPECT_EQ(f.form.GetTarget(), nullptr);
    EXPECT_EQ(f.form.HintSprite().GetOwnerList(), nullptr);
}

TEST(MainForm, CursorKindsSetTheirShapesOnce)
{
    static const uint32_t pixels[4] = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    static const winapi::ResourceRow rows[] = {
        {winapi::ResourceKind::Cursor, 120, pixels, 2, 2, 0, 0},
        {winapi::ResourceKind::Cursor, 121, pixels, 2, 2, 0, 0},
    };
    winapi::RegisterResources(rows, 2);
    FormFixture f;
    CMouseDevice* mouse = f.app.GetInput().GetMouse();
    ASSERT_NE(mouse, nullptr);
    struct Case {
        int kind;
        bool answer;
        int shape; // -1: SetCursorShape not called
        int kindAfter;
    };
    const Case cases[] = {
        {-1, false, -1, 0}, {1, true, 13, 1}, {1, true, -1, 1}, {0, true, 0, 0}, {2, true, 0, 2},
        {3, true, 5, 3},    {4, true, 3, 4},  {5, true, 14, 5}, {6, true, 7, 6}, {7, false, -1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        mouse->m_cursorKind = 99;
        EXPECT_EQ(f.form.SetCursorKind(c.kind), c.answer);
        EXPECT_EQ(mouse->m_cursorKind, c.shape < 0 ? 99 : c.shape);
        EXPECT_EQ(f.form.GetCursorKind(), c.kindAfter);
    }
}

TEST(MainForm, EventSoundsByChannelAndEvent)
{
    FormFixture f;
    EXPECT_EQ(f.form.PlaySound(nullptr, 0, 0, 0), -2); // no manager
    CSoundManager sound;
    ASSERT_EQ(sound.SetChannelCount(4), 0);
    f.form.SetSoundManager(&sound);
    const int direct = sound.StartChannel(2, false);
    EXPECT_EQ(f.form.PlaySound(nullptr, 2, 0, 0), direct);
    EXPECT_EQ(f.form.PlaySound(nullptr, -1, 0, 0), -2);
    EXPECT_EQ(f.form.PlaySound(nullptr, -5, 0, 0), -2);
    for (int event : {-4, -3, -2})
        EXPECT_EQ(f.form.PlaySound(nullptr, event, 0, 0), -2) << event; // unset
    EXPECT_TRUE(f.form.SetEventChannel(-3, 2));
    EXPECT_FALSE(f.form.SetEventChannel(-1, 2));
    EXPECT_EQ(f.form.PlaySound(nullptr, -3, 0, 0), direct);
    EXPECT_EQ(f.form.PlaySound(nullptr, -4, 0, 0), -2);
    f.form.SetSoundManager(nullptr);
}

namespace {

// A control that counts its updates.
class Counting : public CControl {
public:
    int GetType() const override { return kControlRect; }
    int GetX() const override { return 0; }
    int GetY() const override { return 0; }
    int GetWidth() const override { return 10; }
    int GetHeight() const override { return 10; }
    int SetPosition(int, int) override { return 0; }
    void SetVisible(bool visible) override { shown = visible; }
    bool IsVisible() const override { return shown; }
    int SetPriority(int, int, bool) override { return 0; }
    int GetPriority() const override { return 0; }
    int SetAlpha(int) override { return 0; }
    int GetAlpha() const override { return 255; }
    bool HitTest(int, int) override { return false; }
    int Update(uint32_t) override { return ++updates; }
    bool shown = true;
    int updates = 0;
};

} // namespace

TEST(MainForm, ActivatedValueIsTakenOnceAndPreInputUpdatesShownEnabledControls)
{
    FormFixture f;
    f.form.SetResult(7);
    EXPECT_EQ(f.form.TakeActivatedValue(), 7);
    EXPECT_EQ(f.form.TakeActivatedValue(), -1);
    f.form.SetResult(3);
    f.form.Reset();
    EXPECT_EQ(f.form.TakeActivatedValue(), -1);

    Counting shown, hidden, disabled;
    for (Counting* c : {&shown, &hidden, &disabled})
        ASSERT_EQ(f.form.AddControl(c, -1), 0);
    hidden.SetVisible(false);
    disabled.SetEnabled(false);
    bool moved = false;
    EXPECT_TRUE(f.form.PreInput(5, &moved, 1, 1));
    EXPECT_EQ(shown.updates, 1);
    EXPECT_EQ(hidden.updates, 0);
    EXPECT_EQ(disabled.updates, 0);
    f.form.RemoveAllControls();
}

TEST(MainForm, ScreenAnswersAndParking)
{
    FormFixture f;
    EXPECT_EQ(f.form.GetWidth(), 640);
    EXPECT_EQ(f.form.GetHeight(), 480);
    EXPECT_EQ(f.form.GetFocusPointerMode(), 2);
    f.form.SetCursorPos(30, 40);
    int x = 0, y = 0;
    f.form.GetCursorPos(&x, &y);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    f.form.ParkPointer();
    f.form.GetCursorPos(&x, &y);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
}

TEST(MainForm, PopupHintSettingsApply)
{
    AppConfig config{};
    config.popupHints = 1;
    config.popupHintDelay = 700;
    g_pAppConfig = &config;
    ApplyPopupHintSettings();
    EXPECT_TRUE(g_MainForm.IsHintEnabled());
    EXPECT_EQ(g_MainForm.GetHintDelay(), 700u);
    config.popupHints = 0;
    ApplyPopupHintSettings();
    EXPECT_FALSE(g_MainForm.IsHintEnabled());
    g_pAppConfig = nullptr;
}
