// The control helpers over real controls of each type: values, the type's flag byte and the
// enabled state, with the types each helper refuses.
#include "../controls/control_test_form.h"

#include "authoring/picture_io.h"
#include "controls/button_control.h"
#include "controls/control_set.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "drawing/glyph_font.h"
#include "natives/control_helpers.h"
#include "winapi/text.h"

namespace {

using namespace controls_test;

class ControlHelpersTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        set.SetScene(&scene);
        ASSERT_EQ(set.AddButtonControl(&button, 0, 0, 40, 16, false, "ok", &font, 1), 0);
        ASSERT_EQ(toggle.CreateFromImage(&scene.GetList(), 1, nullptr, strip.get(), 0, false, nullptr, 0, 0, 0, 255, 1),
                  0);
        ASSERT_EQ(set.AddControlType2(&rect, 1, 2, 30, 10, 0xFF102030, 0xFF405060, 0xFF708090, 1), 0);
        ASSERT_EQ(set.AddScrollControl(&bar, 100, 0, true, 12, 0xC0C0C0, 0x404040, 0, 0, 0, 1), 0);
        ASSERT_EQ(bar->SetRange(100, 50, 10, 0, 0), 0);
        ASSERT_EQ(set.AddTextPanel(&panel, 5, 6, 80, 60, &font, nullptr, 0, 0, 0, 1), 0);
        ASSERT_EQ(set.AddTextLayer(&layer, 0, 100, 60, 20, 2, &font, 1), 0);
        ASSERT_EQ(set.AddImageButton(&hot, 1, 1, 5, 5, -1, -1, true, true), 0);
    }
    void TearDown() override
    {
        set.DeleteAll();
        ControlBench::TearDown();
    }
    CGlyphFont font;
    CControlSet set;
    std::unique_ptr<CImage> strip = drawing_test::RandomImage(60, 10, 32, 1);
    CToggleButton toggle;
    CButtonControl* button = nullptr;
    CControlType2* rect = nullptr;
    CScrollControl* bar = nullptr;
    CTextPanel* panel = nullptr;
    CTextLayer* layer = nullptr;
    CButton* hot = nullptr;
};

TEST_F(ControlHelpersTest, EachHelperActsOnItsTypesAndRefusesTheOthers)
{
    // Which types each helper serves (true) or refuses with -1 (false).
    struct Row {
        const char* name;
        CControl* control;
        bool value, flag, enable;
    };
    const Row rows[] = {
        {"button (0)", button, false, true, false}, {"toggle (1)", &toggle, true, true, true},
        {"rectangle (2)", rect, false, false, false}, {"scroll bar (4)", bar, true, true, false},
        {"text panel (5)", panel, true, false, true},  {"text layer (6)", layer, false, false, true},
        {"image button (7)", hot, false, false, false}, {"null", nullptr, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(SetObjectValue(r.control, 1, "a") != -1, r.value);
        EXPECT_EQ(SetObjectFlagByType(r.control, 1), r.flag ? 0 : -1);
        EXPECT_EQ(SetObjectEnabledByType(r.control, 1), r.enable ? 0 : -1);
    }
    EXPECT_EQ(GetObjectValue(nullptr), -1);
    EXPECT_EQ(GetObjectValue(rect), -1);
    EXPECT_EQ(GetObjectValue(button), -1);
}

TEST_F(ControlHelpersTest, ToggleAndScrollValuesRoundTrip)
{
    EXPECT_EQ(SetObjectValue(&toggle, 7, nullptr), 1) << "any non-zero checks it";
    EXPECT_EQ(GetObjectValue(&toggle), 1);
    EXPECT_EQ(SetObjectValue(&toggle, 0, nullptr), 0);
    EXPECT_EQ(GetObjectValue(&toggle), 0);

    SetObjectValue(bar, 20, nullptr);
    EXPECT_EQ(GetObjectValue(bar), bar->GetValue());
    EXPECT_EQ(GetObjectValue(bar), 20);

    EXPECT_EQ(SetObjectFlagByType(&toggle, 5), 0);
    EXPECT_TRUE(toggle.IsRectangularHit());
    EXPECT_EQ(SetObjectFlagByType(&toggle, 0), 0);
    EXPECT_FALSE(toggle.IsRectangularHit());
    EXPECT_EQ(SetObjectFlagByType(button, 1), 0);
    EXPECT_TRUE(button->IsRectangularHit());

    EXPECT_EQ(SetObjectEnabledByType(layer, 0), 0);
    EXPECT_FALSE(layer->IsEnabled());
    EXPECT_EQ(SetObjectEnabledByType(layer, 3), 0);
    EXPECT_TRUE(layer->IsEnabled());
}

TEST_F(ControlHelpersTest, PanelTextTakesEachLineBreakAsOneNewLine)
{
    int x0 = 0, y0 = 0;
    panel->GetTextCursorPoint(&x0, &y0, 0, 0);
    // "a", CR LF, "b", CR, "c", LF, "d": three new lines, not four.
    EXPECT_EQ(SetObjectValue(panel, 0, "a\r\nb\rc\nd"), 0);
    int x = 0, y = 0;
    panel->GetTextCursorPoint(&x, &y, 0, 0);
    ASSERT_EQ(set.AddTextPanel(&panel, 5, 6, 80, 60, &font, nullptr, 0, 0, 0, 1), 0);
    for (int i = 0; i < 3; ++i)
        panel->NewLine();
    const char* d = "d";
    panel->DrawNextChar(&d);
    int ex = 0, ey = 0;
    panel->GetTextCursorPoint(&ex, &ey, 0, 0);
    EXPECT_EQ(x, ex);
    EXPECT_EQ(y, ey);
    EXPECT_GT(y, y0);
    // A panel that fills up stops the write without looping.
    std::string flood(4000, 'x');
    EXPECT_EQ(SetObjectValue(panel, 0, flood.c_str()), 0);
}

// The value field of every control type, set and read back through the helpers: -1 where a type
// keeps no value.
TEST_F(ControlHelpersTest, ValueFieldsOfEveryControlType)
{
    PictureFolder pictures;
    pictures::Decoded thumb;
    thumb.width = 8;
    thumb.height = 24;
    thumb.pixels.assign(8 * 24, 0xFF808080u);
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(pictures::EncodeBmp32(thumb, bmp, nullptr));
    pictures.dir.Write("thumb.bmp", std::string(bmp.begin(), bmp.end()));
    CListLayer list;
    ASSERT_EQ(list.Create(&scene.GetList(), 1, &font, -5, 100, 10, 20, "thumb.bmp", 1, 1, 100, 200, 20, 0, nullptr, 4,
                          3),
              0);
    for (const char* row : {"r0", "r1", "r2"})
        list.AddItem(row, nullptr, false);
    CTextInput* input = nullptr;
    ASSERT_EQ(set.AddTextInput(&input, 0, 0, &font, 120, 2, false, 1), 0);
    // An image map of three regions side by side (pixel value = region).
    CImage regions;
    ASSERT_EQ(regions.Create(30, 10, 8, 0), 0);
    for (LONG x = 0; x < 30; ++x)
        for (LONG y = 0; y < 10; ++y)
            regions.GetBits()[y * ((30 + 3) & ~3) + x] = static_cast<BYTE>(x / 10);
    CImageMap map;
    ASSERT_EQ(map.CreateFromImage(regions, 3, 0, 0, true, 1), 0);
    ASSERT_EQ(form->AddControl(&map, -1), 0);

    struct Row {
        const char* name;
        CControl* control;
        int32_t value;
        const char* text;
        int setResult;
        int getAfter;
    };
    const Row rows[] = {
        {"button (0) keeps none", button, 1, "a", -1, -1},
        {"toggle (1) checked", &toggle, 5, nullptr, 1, 1},
        {"rectangle (2) keeps none", rect, 1, "a", -1, -1},
        {"text input (3) takes the text, reads its length", input, 0, "abcd", 0, 4},
        {"text input (3) without text", input, 9, nullptr, -1, 4},
        {"scroll bar (4) value", bar, 30, nullptr, 0, 30},
        {"scroll bar (4) unchanged", bar, 30, nullptr, -1, 30},
        {"text panel (5) written, read as none", panel, 0, "x", 0, -1},
        {"text layer (6) read only: its line", layer, 2, nullptr, -1, layer->GetHoveredLine()},
        {"image button (7) keeps none", hot, 1, nullptr, -1, -1},
        {"list layer (9) selects a row", &list, 2, nullptr, 0, 2},
        {"list layer (9) past the rows: none", &list, 7, nullptr, 0, -1},
        {"image map (10) selects a region", &map, 1, nullptr, 0, 1},
        {"image map (10) past the regions", &map, 5, nullptr, 1, 1},
        {"null", nullptr, 1, "a", -1, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(SetObjectValue(r.control, r.value, r.text), r.setResult);
        EXPECT_EQ(GetObjectValue(r.control), r.getAfter);
    }
    EXPECT_STREQ(input->GetText(), "abcd");
    form->RemoveControl(&map);
    list.Release();
}

}  // namespace
