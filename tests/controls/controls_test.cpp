// The controls: the image button's events, the drawn push button's columns and its states, the
// rectangle control's colours and release activation, check boxes and radio groups, and the image
// map's regions, lock and keys; each through the real input on the test form.
#include "control_test_form.h"

#include "controls/button_control.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/rectangle_control.h"
#include "controls/toggle_button.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "raster/fill_ops.h"
#include "winapi/text.h"

#include <cstdio>
#include <cstdlib>
#include "raster/blend_tables.h"

namespace {

using namespace controls_test;
using drawing_test::Px;
using drawing_test::SetPx;
using Log = std::vector<std::string>;

class ControlsTest : public ControlBench {
protected:
    // The scene rendered, and the pixel at (x, y) of it.
    uint32_t Shown(int x, int y)
    {
        CImage out;
        out.Create(320, 200, 32, 0);
        EXPECT_EQ(scene.RenderToImage(&out, 0, 0, true), 0);
        return Px(out, x, y) & 0xFFFFFF;
    }
    // A strip of `columns` columns w x h, column i filled with colour 0x10 * (i + 1) in blue.
    std::unique_ptr<CImage> Strip(int columns, int w, int h)
    {
        auto image = std::make_unique<CImage>();
        image->Create(columns * w, h, 32, 0);
        for (int i = 0; i < columns; ++i)
            image->FillRect32XYWH(i * w, 0, w, h, 0xFF000000u | static_cast<uint32_t>(0x10 * (i + 1)));
        return image;
    }
    int ColumnShown(CSprite& sprite, int w) { return sprite.GetSourceRect().left / w; }
};

TEST_F(ControlsTest, ImageButtonEvents)
{
    CButton button;
    EXPECT_EQ(button.Create(0, 0, 0, 5, -1, -1, true, true, 1), 1);
    ASSERT_EQ(button.Create(20, 20, 40, 20, -1, -1, true, true, 7), 0);
    EXPECT_EQ(button.GetHotX(), 40);
    EXPECT_FALSE(button.Activate()) << "in no container";
    int32_t activated = 0, highlight = 0, normal = 1;
    button.SetCommand("t1", 0, nullptr, &activated, &highlight, &normal, nullptr, nullptr, "leave.wav", -1, -1, -1);
    button.SetUserValue(5);
    ASSERT_EQ(form->AddControl(&button, -1), 0);
    MovePointer(25, 25);
    Frame();
    MovePointer(26, 25);
    Frame();
    EXPECT_EQ(form->Take(), Log{"sound - -3"}) << "one enter sound per entry";
    EXPECT_EQ(highlight, 1);
    EXPECT_EQ(normal, 0);
    Button(true);
    EXPECT_EQ(Frame(), 1);
    Button(false);
    EXPECT_EQ(form->Take(), (Log{"result 5", "sound - -4", "command - t1 0"}));
    EXPECT_EQ(activated, 1);
    MovePointer(200, 150);
    Frame();
    EXPECT_EQ(form->Take(), Log{"sound leave.wav 0"});
    EXPECT_EQ(normal, 1);
}

TEST_F(ControlsTest, DrawnButtonColumns)
{
    CButtonControl button;
    EXPECT_EQ(button.CreateDrawn(nullptr, 1, "", nullptr, 0, 0, 20, 10, true, 3), 1);
    EXPECT_EQ(button.CreateDrawn(&scene.GetList(), 1, "", nullptr, 0, 0, 7, 10, true, 3), 1);
    button.SetFaceColor(0x00C06030);
    button.SetHighlightColor(0x80FFFFFF);
    ASSERT_EQ(button.CreateDrawn(&scene.GetList(), 1, "", nullptr, 10, 20, 20, 10, true, 3), 0);
    CImage* p = button.GetPicture();
    ASSERT_EQ(p->GetWidth(), 80);
    const uint32_t face = 0xC06030, light = 0xEACA90, half = 0x603018, quarter = 0x30180C;
    struct Probe {
        const char* name;
        int x, y;
        uint32_t expected;
    } probes[] = {
        {"normal face", 5, 5, face},
        {"normal top row light", 5, 0, light},
        {"normal left column light", 0, 5, light},
        {"normal bottom row quarter", 5, 9, quarter},
        {"normal right column quarter", 19, 5, quarter},
        {"normal inner bottom half", 5, 8, half},
        {"normal inner right half", 18, 5, half},
        {"pressed top row 0", 45, 0, 0},
        {"pressed inner top half", 45, 1, half},
        {"pressed inner left half", 41, 5, half},
        {"pressed bottom row 0", 45, 9, 0},
        {"disabled face", 65, 5, face},
        {"disabled top row light", 65, 0, light},
    };
    for (const Probe& probe : probes)
        EXPECT_EQ(Px(*p, probe.x, probe.y) & 0xFFFFFF, probe.expected) << probe.name;
    // The hover glow blends the highlight colour at its alpha over the face.
    for (int s = 0; s < 24; s += 8) {
        const uint32_t d = face >> s & 255;
        EXPECT_NEAR(static_cast<int>(Px(*p, 25, 5) >> s & 255), static_cast<int>((d * 127 + 255 * 128) / 255), 1);
    }
    EXPECT_EQ(Shown(15, 25), face) << "column 0 on the scene";
    button.SetState(kButtonHover);
    EXPECT_EQ(Shown(15, 25), Px(*p, 25, 5) & 0xFFFFFF);
    button.SetEnabled(false);
    EXPECT_EQ(ColumnShown(button.GetSprite(), 20), 3);
    EXPECT_EQ(Shown(10, 20), light);
}

TEST_F(ControlsTest, PictureButtonColumnsAndKeyPress)
{
    auto strip = Strip(3, 10, 10);
    CButtonControl button;
    // Three columns without a pressed frame: normal, hover, disabled... pressed shows hover.
    ASSERT_EQ(button.CreateFromImage(&scene.GetList(), 1, strip.get(), true, false, 0, 0, 0, 255, 2), 0);
    EXPECT_TRUE(button.IsRectangularHit()) << "no key and blend mode 0";
    struct Case {
        int state;
        int column;
    } cases[] = {{kButtonHover, 1}, {kButtonPressed, 1}, {kButtonDisabled, 2}, {kButtonNormal, 0}};
    for (const Case& c : cases) {
        button.SetState(c.state);
        EXPECT_EQ(ColumnShown(button.GetSprite(), 10), c.column) << "state " << c.state;
        EXPECT_EQ(Shown(5, 5), static_cast<uint32_t>(0x10 * (c.column + 1))) << "state " << c.state;
    }
    auto four = Strip(4, 10, 10);
    CButtonControl keyed;
    ASSERT_EQ(keyed.CreateFromImage(&scene.GetList(), 1, four.get(), false, true, 50, 0, 0, 255, 2), 0);
    keyed.SetState(kButtonDisabled);
    EXPECT_EQ(ColumnShown(keyed.GetSprite(), 10), 0) << "no disabled frame: the normal column";
    keyed.SetState(kButtonNormal);
    ASSERT_EQ(form->AddControl(&keyed, -1), 0);
    ASSERT_EQ(form->SetFocus(&keyed), 0);
    EXPECT_EQ(keyed.GetState(), kButtonHover);
    form->Take();
    Key(kHidEnter, true);
    EXPECT_EQ(Frame(), 2);
    Key(kHidEnter, false);
    EXPECT_EQ(keyed.GetState(), kButtonPressed);
    host->AdvanceClock(100);
    EXPECT_EQ(Frame(), 2);
    EXPECT_EQ(keyed.GetState(), kButtonPressed) << "pressed for 100 ms";
    EXPECT_TRUE(form->Take().empty());
    host->AdvanceClock(1);
    Frame();
    EXPECT_EQ(keyed.GetState(), kButtonHover);
    EXPECT_EQ(form->Take(), Log{"sound - -4"}) << "user value -1: no result";
    keyed.SetEvents("go", 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, -1, -1, -1);
    keyed.FireClick();
    EXPECT_EQ(form->Take(), (Log{"sound - -4", "command - go 0"})) << "user value -1 still reports the command";
}

TEST_F(ControlsTest, RectangleControlColoursAndRelease)
{
    CControlType2 rect;
    EXPECT_EQ(rect.Create(nullptr, 1, 0, 0, 10, 10, 0, 0, 0, 1), 1);
    ASSERT_EQ(rect.Create(&scene.GetList(), 1, 100, 100, 20, 20, 0xFF102030, 0xFF405060, 0xFFFFFFFF, 4), 0);
    EXPECT_EQ(rect.GetShape().GetColor(), 0x102030u);
    ASSERT_EQ(form->AddControl(&rect, -1), 0);
    scene.SetBackgroundColor(0, true);
    MovePointer(105, 105);
    Frame();
    EXPECT_EQ(rect.GetState(), 1);
    EXPECT_EQ(Shown(105, 105), 0x405060u);
    Button(true);
    Frame();
    EXPECT_EQ(rect.GetState(), 2);
    // Pressed colour kept at 0x40FF8000: blended at alpha 0x40 over black.
    const uint32_t shown = Shown(105, 105);
    EXPECT_EQ(shown, static_cast<uint32_t>(g_MulTable[0x40][0xFF]) << 16 | static_cast<uint32_t>(g_MulTable[0x40][0x80]) << 8);
    form->Take();
    MovePointer(200, 150);  // off while pressed: back to normal, nothing activates
    Frame();
    Button(false);
    Frame();
    EXPECT_EQ(rect.GetState(), 0);
    EXPECT_EQ(form->Take(), Log{"sound - -2"});
    MovePointer(105, 105);
    Frame();
    Button(true);
    Frame();
    Button(false);
    Frame();
    EXPECT_EQ(form->Take(), (Log{"sound - -3", "sound - -4"})) << "activated once, on the release";

    ASSERT_EQ(form->SetFocus(&rect), 0);
    form->Take();
    EXPECT_EQ(KeyFrame(kHidEnter), 2);
    EXPECT_EQ(rect.GetState(), 2) << "confirm shows the pressed colour";
    host->AdvanceClock(100);
    Frame();
    EXPECT_EQ(rect.GetState(), 2) << "for at least 100 ms";
    host->AdvanceClock(1);
    Frame();
    EXPECT_EQ(rect.GetState(), 1);
    EXPECT_EQ(form->Take(), Log{"sound - -4"});
}

class ToggleTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        strip = Strip(8, 10, 10);
    }
    std::unique_ptr<CImage> strip;
};

TEST_F(ToggleTest, KindTableAndCheckBox)
{
    const int columns[4][8] = {
        {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 1, 2, 3, 3, 4, 5}, {0, 1, 2, 3, 3, 3, 4, 5}, {0, 1, 1, 2, 2, 2, 3, 4}};
    for (int kind = 0; kind < 4; ++kind) {
        CToggleButton box;
        const int count = columns[kind][6] + 2;
        auto image = Strip(count, 10, 10);
        ASSERT_EQ(box.CreateFromImage(&scene.GetList(), 1, nullptr, image.get(), kind, true, nullptr, 0, 0, 0, 255, 1), 0);
        EXPECT_EQ(box.GetWidth(), 10);
        for (int state = 7; state >= 0; --state) {
            box.SetState(state);
            EXPECT_EQ(ColumnShown(box.GetSprite(), 10), columns[kind][state]) << "kind " << kind << " state " << state;
        }
    }
    CToggleButton bad;
    CToggleButton pressedKind;
    ASSERT_EQ(pressedKind.CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 0, false, nullptr, 100, 0, 0, 255, 1), 0);
    ASSERT_EQ(form->AddControl(&pressedKind, -1), 0);
    ASSERT_EQ(form->SetFocus(&pressedKind), 0);
    EXPECT_EQ(KeyFrame(kHidEnter), 2);
    EXPECT_EQ(pressedKind.GetState(), 2) << "kind 0 shows its pressed picture first";
    host->AdvanceClock(101);
    Frame();
    EXPECT_EQ(pressedKind.GetState(), 4) << "then toggles on";
    form->RemoveControl(&pressedKind);
    EXPECT_EQ(bad.CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 4, false, nullptr, 0, 0, 0, 255, 1), 1)
        << "kinds past the table";

    int32_t value = -1;
    CToggleButton check;
    ASSERT_EQ(check.CreateFromImage(&scene.GetList(), 1, &value, strip.get(), 1, false, nullptr, 0, 0, 0, 255, 1), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(form->AddControl(&check, -1), 0);
    ASSERT_EQ(form->SetFocus(&check), 0);
    EXPECT_EQ(KeyFrame(kHidEnter), 2) << "kind 1 toggles at once";
    EXPECT_EQ(check.GetState(), 4);
    EXPECT_EQ(value, 1);
    check.SetEnabled(false);
    EXPECT_EQ(check.GetState(), 7);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(ColumnShown(check.GetSprite(), 20), 2) << "no disabled frames: state 7 shows as 3";
}

TEST_F(ToggleTest, RadioGroups)
{
    int32_t v[3] = {-1, -1, -1};
    CToggleButton leader, m1, m2;
    ASSERT_EQ(leader.CreateFromImage(&scene.GetList(), 1, &v[0], strip.get(), 2, false, nullptr, 0, 0, 0, 255, 1), 0);
    ASSERT_EQ(m1.CreateFromImage(&scene.GetList(), 1, &v[1], strip.get(), 2, false, &leader, 0, 20, 0, 255, 1), 0);
    ASSERT_EQ(m2.CreateFromImage(&scene.GetList(), 1, &v[2], strip.get(), 2, false, &m1, 0, 40, 0, 255, 1), 0);
    EXPECT_EQ((std::vector<int32_t>{v[0], v[1], v[2]}), (std::vector<int32_t>{1, 0, 0}));
    EXPECT_EQ(leader.GetMembers().size(), 2u);
    for (CToggleButton* c : {&leader, &m1, &m2})
        ASSERT_EQ(form->AddControl(c, -1), 0);
    MovePointer(5, 5);
    Frame();
    EXPECT_EQ(form->GetCapture(), nullptr) << "the selected radio button is not hit";
    MovePointer(5, 45);
    Frame();
    Button(true);
    Frame();
    Button(false);
    EXPECT_EQ(Frame(), 1);
    EXPECT_EQ(leader.GetSelectedIndex(), 2);
    EXPECT_EQ((std::vector<int32_t>{v[0], v[1], v[2]}), (std::vector<int32_t>{0, 0, 1}));
    EXPECT_TRUE(m2.SetChecked(false)) << "off on the last member selects the leader";
    EXPECT_EQ(leader.GetState(), 3);
    EXPECT_EQ(leader.Select(-1), 2);
    EXPECT_EQ(leader.Select(3), 2);
    ASSERT_EQ(m2.Select(2), 0);
    EXPECT_EQ(leader.RemoveMember(&m1), 0) << "a member before the selected one";
    EXPECT_EQ(leader.GetSelectedIndex(), 1);
    EXPECT_TRUE(leader.IsSelected(&m2)) << "the index still names m2";
    EXPECT_EQ(leader.RemoveMember(&m1), 2);
    EXPECT_EQ(m2.UpdateVariables(), 0);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[2], 1);
    EXPECT_TRUE(leader.IsGroupLocked());
    EXPECT_FALSE(m2.IsEnabled());
    EXPECT_FALSE(m2.SetEnabled(true)) << "refused while locked";
    leader.SetGroupLocked(false);
    EXPECT_TRUE(m2.IsEnabled());
}

TEST_F(ToggleTest, LeaderOrMemberDestroyedFirst)
{
    auto leader = std::make_unique<CToggleButton>();
    auto member = std::make_unique<CToggleButton>();
    auto other = std::make_unique<CToggleButton>();
    ASSERT_EQ(leader->CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 3, false, nullptr, 0, 0, 0, 255, 1), 0);
    ASSERT_EQ(member->CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 3, false, leader.get(), 0, 20, 0, 255, 1), 0);
    ASSERT_EQ(other->CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 3, false, leader.get(), 0, 40, 0, 255, 1), 0);
    member.reset();
    EXPECT_EQ(leader->GetMembers().size(), 1u);
    leader.reset();
    EXPECT_EQ(other->GetLeader(), nullptr);
    EXPECT_EQ(other->Select(0), 1);
}

class ImageMapTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        // 40 x 10: values 0 | 1 | 2 | 3 in 10-pixel bands, saved as BMP through the engine.
        CImage map;
        map.Create(40, 10, 8, 0);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x)
                map.GetRowAddress(y)[x] = static_cast<BYTE>(x / 10);
        mapPath = pictures.dir.Windows("map.bmp");
        ASSERT_EQ(map.ExportPixels(mapPath.c_str(), 0, 0), 0);
    }
    PictureFolder pictures;
    std::string mapPath;
};

TEST_F(ImageMapTest, RegionsClicksLockAndKeys)
{
    CImageMap m;
    EXPECT_EQ(m.Create(mapPath.c_str(), 0, 0, 0, true, 1), 1);
    EXPECT_EQ(m.Create(mapPath.c_str(), 256, 0, 0, true, 1), 1) << "256 used to become 0";
    EXPECT_EQ(m.Create("missing.bmp", 3, 0, 0, true, 1), 2);
    ASSERT_EQ(m.Create(mapPath.c_str(), 3, 100, 50, true, 1), 0);
    EXPECT_EQ(m.GetWidth(), 40);
    EXPECT_EQ(m.SetRegionEnabled(3, false), 2);
    ASSERT_EQ(m.SetRegionEnabled(1, false), 0);
    int32_t activated = 0;
    m.SetRegionEvents(2, "cmd", 0, nullptr, "two", &activated, nullptr, nullptr);
    m.SetUserValue(10);
    struct Hit {
        int x;
        bool hit;
    } hits[] = {{100, true}, {110, false}, {120, true}, {135, false}, {99, false}, {140, false}};
    for (const Hit& h : hits)
        EXPECT_EQ(m.HitTest(h.x, 55), h.hit) << h.x;
    EXPECT_EQ(m.ActivateRegion(0), 1) << "no container";
    ASSERT_EQ(form->AddControl(&m, -1), 0);
    EXPECT_EQ(m.ActivateRegion(1), 2);
    MovePointer(125, 55);
    Frame();
    EXPECT_EQ(m.GetCurrentRegion(), 2);
    EXPECT_STREQ(m.GetHintText(), "two");
    form->Take();
    Button(true);
    Frame();
    Button(false);
    Frame();
    EXPECT_EQ(form->Take(), (Log{"result 12", "sound - -4", "command - cmd 0"}));
    EXPECT_EQ(activated, 1);
    EXPECT_TRUE(m.IsLocked());
    Button(true);
    Frame();
    Button(false);
    Frame();
    EXPECT_TRUE(form->Take().empty()) << "locked after the click";
    m.SetLocked(false);
    ASSERT_EQ(form->SetFocus(&m), 0);
    EXPECT_EQ(m.GetCurrentRegion(), 0) << "focus forward selects the first enabled region";
    EXPECT_EQ(KeyFrame(kHidDown), 2);
    EXPECT_EQ(m.GetCurrentRegion(), 2) << "next skips the disabled region";
    EXPECT_EQ(KeyFrame(kHidDown), 2);
    EXPECT_EQ(m.GetCurrentRegion(), 0) << "no other control: its first region again";
    form->Take();
    EXPECT_EQ(KeyFrame(kHidEnter), 2);
    EXPECT_EQ(form->Take(), (Log{"result 10", "sound - -4"}));
}

TEST_F(ImageMapTest, MapsOfOtherDepthsAreRefused)
{
    auto colorImage = drawing_test::RandomImage(4, 4, 32, 5);
    CImage& color = *colorImage;
    CImageMap m;
    EXPECT_EQ(m.CreateFromImage(color, 3, 0, 0, true, 1), 2);
    const std::string path = pictures.dir.Windows("map32.bmp");
    ASSERT_EQ(color.ExportPixels(path.c_str(), 0, 0), 0);
    CImage probe;
    ASSERT_EQ(probe.LoadWithPalette(path.c_str(), nullptr, 0, 0), 0);
    EXPECT_EQ(m.Create(path.c_str(), 3, 0, 0, true, 1), probe.GetBitsPerPixel() == 8 ? 0 : 2) << int(probe.GetBitsPerPixel());
}

} // namespace
