// The scroll bar and the list layer: values and listener calls, track paging with its repeat,
// thumb dragging under the pointer lock, wheel and Home/End, arrow states and placement, the arrow
// triangle; list geometry, icon cursor, End, and the visible rows of a 10,000-row list as a picture.
#include "control_test_form.h"

#include "controls/list_layer.h"
#include "controls/scroll_control.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "winapi/text.h"

#include <cstdlib>
#include <string>

namespace {

using namespace controls_test;
using drawing_test::Px;

struct Listener : CScrollListener {
    void OnScroll(CScrollControl*, int v) override
    {
        ++scrolls;
        last = v;
    }
    void OnScrollEnd(CScrollControl*) override { ++ends; }
    int scrolls = 0, ends = 0, last = -1;
};

class ScrollTest : public ControlBench {};

TEST(ArrowTriangle, RowsWidenFromTheTip)
{
    CImage image;
    image.Create(16, 16, 32, 0);
    for (uint8_t direction = 0; direction < 4; ++direction) {
        image.FillRect32(0, nullptr);
        DrawArrowTriangle(&image, RECT{0, 0, 16, 16}, direction, 0x123456);
        // n = 6 lines from 5; the tip is 1 wide at 7, the base 11 wide from 2.
        for (int line = 0; line < 16; ++line)
            for (int p = 0; p < 16; ++p) {
                const int i = (direction == 0 || direction == 2) ? line - 5 : 10 - line;
                const bool in = i >= 0 && i < 6 && p >= 7 - i && p <= 7 + i;
                const int x = direction >= 2 ? line : p, y = direction >= 2 ? p : line;
                ASSERT_EQ(Px(image, x, y), in ? 0xFF123456u : 0u) << int(direction) << " " << x << "," << y;
            }
    }
}

TEST_F(ScrollTest, ValuesPagingDragAndKeys)
{
    drawing_test::VirtualClockAt clock(5000);
    CScrollControl bar;
    EXPECT_EQ(bar.Create(&scene.GetList(), 1, 100, 10, true, 7, 0xC0C0C0, 0x404040, 0x400080FF, 0x40FF8000, 0, 2), 1);
    ASSERT_EQ(bar.Create(&scene.GetList(), 1, 100, 10, true, 16, 0xC0C0C0, 0x404040, 0x400080FF, 0x40FF8000, 0, 2), 0);
    Listener listener;
    bar.SetListener(&listener);
    EXPECT_EQ(bar.SetValue(3), 1) << "not set up";
    EXPECT_EQ(bar.StepValue(true), -1);
    EXPECT_EQ(listener.ends, 1);
    // Track 180 - 2 x 16 = 148; thumb at least 1 + caps 3 = 4.
    ASSERT_EQ(bar.SetRange(180, 10000, 100, 0, 0), 0);
    EXPECT_EQ(bar.GetMaximum(), 9900);
    EXPECT_EQ(bar.GetTravel(), 144);
    EXPECT_EQ(bar.GetThumbLength(), 4);
    EXPECT_FALSE(bar.GetArrow(1)->IsEnabled());
    EXPECT_TRUE(bar.GetArrow(2)->IsEnabled());
    EXPECT_EQ(bar.SetValue(99999), 0);
    EXPECT_EQ(bar.SetValue(99999), -1);
    EXPECT_EQ(listener.scrolls, 1);
    EXPECT_EQ(bar.GetValue(), 9900);
    EXPECT_EQ(bar.GetThumbOffset(), 144);
    EXPECT_FALSE(bar.GetArrow(2)->IsEnabled());
    EXPECT_EQ(bar.StepValue(true), 0);
    EXPECT_EQ(listener.ends, 2);
    EXPECT_EQ(bar.GetThumbSprite().GetY(), 10 + 16 + 144);
    EXPECT_EQ(bar.SetRange(180, 100, 100, 0, 0), -1) << "everything visible";
    EXPECT_FALSE(bar.IsEnabled());
    ASSERT_EQ(bar.SetRange(180, 1000, 100, 0, 0), 0);
    EXPECT_EQ(bar.GetThumbLength(), 14);
    EXPECT_EQ(bar.GetTravel(), 134);

    ASSERT_EQ(bar.AddToContainer(form.get(), -1), 0);
    EXPECT_EQ(form->GetControls().size(), 3u);
    // Paging: press on the track below the thumb (thumb 26..40).
    MovePointer(108, 100);
    Frame();
    Button(true);
    Frame();
    EXPECT_EQ(bar.GetThumbOffset(), 14);
    host->AdvanceClock(499);
    Frame();
    EXPECT_EQ(bar.GetThumbOffset(), 14);
    host->AdvanceClock(1);
    Frame();
    EXPECT_EQ(bar.GetThumbOffset(), 28);
    host->AdvanceClock(100);
    Frame();
    EXPECT_EQ(bar.GetThumbOffset(), 42);
    Button(false);
    Frame();
    EXPECT_EQ(bar.GetPartState(), 1);
    // Drag the thumb (26 + 42 = 68..82) under the pointer lock, off the bar.
    MovePointer(108, 10 + 16 + 45);
    Frame();
    Button(true);
    Frame();
    EXPECT_TRUE(bar.IsDragging());
    EXPECT_TRUE(form->IsPointerLocked());
    MovePointer(20, 10 + 16 + 55);
    Frame();
    EXPECT_EQ(bar.GetThumbOffset(), 52);
    Button(false);
    Frame();
    EXPECT_FALSE(form->IsPointerLocked());
    // Keys while focused: down steps one value unit, End goes to the travel.
    ASSERT_EQ(form->SetFocus(&bar), 0);
    const int before = bar.GetValue();
    KeyFrame(kHidDown);
    EXPECT_EQ(bar.GetValue(), before + 1);
    KeyFrame(77); // End
    EXPECT_EQ(bar.GetThumbOffset(), 134);
    EXPECT_EQ(bar.GetValue(), 900);
    bar.RemoveFromContainer();
}

TEST_F(ScrollTest, HorizontalPlacement)
{
    CScrollControl bar;
    ASSERT_EQ(bar.Create(&scene.GetList(), 1, 10, 150, false, 12, 0xC0C0C0, 0x404040, 0, 0, 0, 2), 0);
    ASSERT_EQ(bar.SetRange(200, 400, 100, 0, 0), 0);
    EXPECT_EQ(bar.GetWidth(), 176);
    EXPECT_EQ(bar.GetArrow(2)->GetX(), 10 + 12 + 176);
    EXPECT_EQ(bar.GetThumbSprite().GetX(), 22);
    EXPECT_EQ(bar.GetArrow(1)->GetDirection(), 2);
}

class ListTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        ASSERT_EQ(ref.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    }
    CGlyphFont font, ref;
};

TEST_F(ListTest, GeometryIconsAndTheLastRows)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "convert is not installed";
    PictureFolder pictures;
    const std::string folder = pictures.dir.Linux();
    ASSERT_EQ(std::system(("cd '" + folder + "' && convert -size 8x6 xc:'#c02010' xc:'#10c020' xc:'#2010c0' "
                           "xc:'#808000' -append BMP3:thumb.bmp && convert -size 12x12 xc:'#ff0000' "
                           "xc:'#00ff00' xc:'#0000ff' xc:'#ffff00' +append BMP3:icons.bmp")
                              .c_str()),
              0);
    CListLayer list;
    EXPECT_EQ(list.Create(&scene.GetList(), 1, &font, -5, 0, 0, 0, "thumb.bmp", 1, 1, 100, 200, 0, 0, nullptr, 4, 3), 1);
    ASSERT_EQ(list.Create(&scene.GetList(), 1, &font, -5, 100, 10, 20, "thumb.bmp", 1, 1, 100, 200, 20, 0, "icons.bmp",
                          4, 3),
              0);
    EXPECT_EQ(list.GetHeight(), 96);
    EXPECT_EQ(list.GetWidth(), 112);
    for (int i = 0; i < 3; ++i)
        list.AddItem(("row" + std::to_string(i)).c_str(), nullptr, false);
    list.UpdateScrollRange();
    EXPECT_EQ(list.GetContentHeight(), 56);
    list.SetUserValue(40);
    ASSERT_EQ(list.AddToContainer(form.get(), -1), 0);
    // The icon column of row 2: cursor 2 + 3; a click toggles the attribute, not the selection.
    // Entering takes the focus (which drops the capture); the next move is routed to the list.
    MovePointer(10 + 5, 20 + 2 * 20 + 3);
    Frame();
    MovePointer(10 + 6, 20 + 2 * 20 + 3);
    Frame();
    EXPECT_EQ(list.GetCursor(), 5) << list.GetX() << " " << list.GetY();
    form->Take();
    Button(true);
    Frame();
    Button(false);
    Frame();
    EXPECT_EQ(list.GetItemAttribute(2), 0);
    EXPECT_EQ(list.GetSelected(), -1);
    EXPECT_EQ(form->Take(), std::vector<std::string>{"result 40"});
    list.RemoveFromContainer();

    // 10,000 rows: End shows the last rows at the bottom.
    for (int i = 3; i < 10000; ++i)
        list.AddItem(("row" + std::to_string(i)).c_str(), nullptr, false);
    list.UpdateScrollRange();
    EXPECT_EQ(list.GetContentHeight(), 10000 * 20 - 4);
    EXPECT_TRUE(list.GetScrollBar().IsEnabled());
    ASSERT_EQ(list.AddToContainer(form.get(), -1), 0);
    ASSERT_EQ(form->SetFocus(&list), 0);
    KeyFrame(77); // End
    EXPECT_EQ(list.GetCursor(), 9999);
    EXPECT_EQ(list.GetScrollBar().GetValue(), 10000 * 20 - 4 - 96);
    // The visible rows as a picture: 9995 (partly) to 9999, each at i x 20 - scroll.
    CImage expected;
    expected.Create(112, 96, 32, 0);
    expected.FillRect32(0xC0C0DCC0u, nullptr);
    const int scroll = list.GetScrollBar().GetValue();
    CImage icons;
    ASSERT_EQ(icons.Load("icons.bmp", nullptr, 0, 0), 0);
    for (int i = 9995; i < 10000; ++i) {
        const int y = i * 20 - scroll;
        const int cell = 2 + (i == 9999 ? 1 : 0);
        const RECT src{cell * 12, 0, cell * 12 + 12, 12};
        expected.Copy(&icons, 0, y + 2, &src, false);
        if (i == 9999) {
            expected.FillRect32XYWH(12, y, 100, 1, 0xFFFF9CBFu);
            expected.FillRect32XYWH(12, y + 15, 100, 1, 0xFFFF9CBFu);
            expected.FillRect32XYWH(12, y, 1, 16, 0xFFFF9CBFu);
            expected.FillRect32XYWH(111, y, 1, 16, 0xFFFF9CBFu);
        }
        ref.DrawString(&expected, 14, y, ("row" + std::to_string(i)).c_str(), nullptr, nullptr);
    }
    EXPECT_EQ(drawing_test::FirstDifference(list.GetImage(), expected), -1);
    list.RemoveFromContainer();
}

TEST_F(ListTest, RefusedFontsAndRowsWithOnlyAFace)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "convert is not installed";
    PictureFolder pictures;
    ASSERT_EQ(std::system(("cd '" + pictures.dir.Linux() + "' && convert -size 8x24 xc:'#c02010' BMP3:thumb.bmp").c_str()), 0);
    CListLayer list;
    CGdiFont gdi;
    ASSERT_EQ(gdi.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    EXPECT_EQ(list.Create(&scene.GetList(), 1, &gdi, 60, 100, 0, 0, "thumb.bmp", 1, 1, 60, 100, 0, 0, nullptr, 4, 3), 1)
        << "it could draw nothing";
    CGlyphFont flat;
    flat.SetFont(0, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    EXPECT_EQ(list.Create(&scene.GetList(), 1, &flat, -3, 100, 0, 0, "thumb.bmp", 1, 1, 60, 100, 0, 0, nullptr, 4, 3), 1)
        << "a pitch of 0";
    EXPECT_EQ(list.Create(&scene.GetList(), 1, &font, 60, 100, 0, 0, "thumb.bmp", 30, 30, 60, 100, 0, 0, nullptr, 4, 3), 1)
        << "caps longer than the bar";
    ASSERT_EQ(list.Create(&scene.GetList(), 1, &font, 60, 100, 0, 0, "thumb.bmp", 1, 1, 60, 100, 0, 0, nullptr, 4, 3), 0);
    // A first row given only a face still has its (empty) text; drawing leaves the font's face.
    const std::string face = font.m_logFont.lfFaceName;
    ASSERT_EQ(list.AddItem(nullptr, winapi::Sjis("ＭＳ 明朝"), true), 0);
    ASSERT_EQ(list.AddItem("b", winapi::Sjis("ＭＳ 明朝"), true), 0);
    EXPECT_EQ(list.GetRowCount(), 2);
    EXPECT_EQ(std::string(font.m_logFont.lfFaceName), face);
}

} // namespace
