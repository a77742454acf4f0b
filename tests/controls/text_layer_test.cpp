// The choice list: layout with and without header and footer, hits after moving it, read flags,
// disabled lines, mouse choice on release, the keyboard's 100 ms pressed look and the refused
// frame-count combinations.
#include "control_test_form.h"

#include "controls/text_layer.h"
#include "drawing/glyph_font.h"
#include "platform/bit_array.h"
#include "winapi/text.h"

#include <algorithm>

namespace {

using namespace controls_test;
using drawing_test::Px;
using Log = std::vector<std::string>;

class TextLayerTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    }
    void AddThree(CTextLayer& layer, bool secondDisabled = false)
    {
        ASSERT_EQ(layer.AddLine(winapi::Sjis("はい"), "yes", false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(layer.AddLine("two", nullptr, secondDisabled, 7, "n", 3, "cmd", nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(layer.AddLine("three", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 0);
    }
    CGlyphFont font;
};

TEST_F(TextLayerTest, LayoutWithAndWithoutHeader)
{
    CTextLayer layer;
    EXPECT_EQ(layer.Create(&scene.GetList(), 1, 10, 100, 120, 24, 4, nullptr, 3), 1);
    EXPECT_EQ(layer.AddLine("x", nullptr, false, -1, nullptr, -1, nullptr, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(layer.Create(&scene.GetList(), 1, 10, 100, 120, 24, 4, &font, 3), 0);
    AddThree(layer);
    // Pitch 28: total 24 + 2 x 28 = 80, centred on 100.
    EXPECT_EQ(layer.GetHeight(), 80);
    EXPECT_EQ(layer.GetY(), 60);
    EXPECT_EQ(layer.GetLineSprite(2)->GetY(), 60 + 56);
    EXPECT_EQ(layer.GetWidth(), 120);
    EXPECT_EQ(layer.GetLineImage(0)->GetWidth(), 240) << "two frames";
    EXPECT_EQ(layer.GetLineSprite(-1), nullptr);

    CTextLayer headed;
    ASSERT_EQ(headed.Create(&scene.GetList(), 1, 10, 100, 120, 24, 4, &font, 4), 0);
    ASSERT_EQ(headed.SetCellSize(120, 24, 10, 6), 0);
    AddThree(headed);
    // No spacing with a header: 10 + 3 x 24 + 6 = 88.
    EXPECT_EQ(headed.GetHeight(), 88);
    EXPECT_EQ(headed.GetY(), 56);
    ASSERT_NE(headed.GetLineSprite(-1), nullptr);
    EXPECT_EQ(headed.GetLineSprite(-1)->GetY(), 56);
    EXPECT_EQ(headed.GetLineSprite(0)->GetY(), 66);
    EXPECT_EQ(headed.GetLineSprite(2)->GetY(), 66 + 48);
    EXPECT_EQ(headed.GetLineSprite(3)->GetY(), 66 + 72) << "the footer";
    // Moved, the lines are hit where they are drawn.
    ASSERT_EQ(headed.SetPosition(0, 0), 0);
    EXPECT_EQ(headed.GetLineSprite(1)->GetY(), 34);
    headed.SetLocked(false);
    ASSERT_EQ(form->AddControl(&headed, -1), 0);
    MovePointer(50, 40);
    Frame();
    MovePointer(50, 45);
    Frame();
    EXPECT_EQ(headed.GetHoveredLine(), 1);
    EXPECT_EQ(headed.LineAt(50, 5), -1) << "on the header";
    form->RemoveControl(&headed);
}

TEST_F(TextLayerTest, MouseChoosesOnReleaseAndSetsTheReadFlag)
{
    CBitArray flags;
    ASSERT_EQ(flags.Create(64), 0u);
    int32_t result = -1;
    CTextLayer layer;
    ASSERT_EQ(layer.Create(&scene.GetList(), 1, 0, 100, 120, 24, 0, &font, 3), 0);
    layer.SetReadFlags(&flags, 10, &result);
    layer.SetUserValue(50);
    AddThree(layer);
    ASSERT_EQ(form->AddControl(&layer, -1), 0);
    // Lines at y 64, 88, 112.
    MovePointer(20, 70);
    Frame();
    EXPECT_EQ(layer.GetHoveredLine(), 0);
    EXPECT_EQ(layer.GetLineSprite(0)->GetSourceOriginX(), 120) << "highlighted frame";
    form->Take();
    Button(true);
    Frame();
    EXPECT_EQ(layer.GetLineState(), 2);
    EXPECT_EQ(result, -1) << "nothing before the release";
    Button(false);
    Frame();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(flags.GetBit(10));
    EXPECT_TRUE(layer.IsLocked());
    const Log log = form->Take();
    EXPECT_NE(std::find(log.begin(), log.end(), "result 50"), log.end());
    // The disabled middle line is never hit; a line with a value is keyed by it.
    CTextLayer second;
    ASSERT_EQ(second.Create(&scene.GetList(), 2, 200, 100, 100, 24, 0, &font, 5), 0);
    second.CopyReadSettings(&layer);
    AddThree(second, true);
    EXPECT_EQ(second.LineAt(20, 24 + 10), -1);
    EXPECT_TRUE(second.SelectLine(1));
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(flags.GetBit(17));
    form->RemoveControl(&layer);
}

TEST_F(TextLayerTest, KeysSkipDisabledLinesAndPressFor100Ms)
{
    drawing_test::VirtualClockAt clock(1000);
    CImage strip;
    ASSERT_EQ(strip.Create(300, 24, 32, 0), 0);
    strip.FillRect32(0xFF202020u, nullptr);
    CTextLayer layer;
    EXPECT_EQ(layer.SetLineImages(2, true, false, &strip, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), 1);
    EXPECT_EQ(layer.SetLineImages(3, true, true, &strip, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), 1);
    EXPECT_EQ(layer.SetLineImages(5, false, false, &strip, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), 1);
    ASSERT_EQ(layer.SetLineImages(3, true, false, &strip, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr), 0);
    ASSERT_EQ(layer.Create(&scene.GetList(), 1, 0, 100, 100, 24, 0, &font, 3), 0);
    AddThree(layer, true);
    EXPECT_EQ(layer.GetWidth(), 100) << "three frames of the strip";
    ASSERT_EQ(form->AddControl(&layer, -1), 0);
    ASSERT_EQ(form->SetFocus(&layer), 0);
    EXPECT_EQ(layer.GetHoveredLine(), 0);
    KeyFrame(kHidDown);
    EXPECT_EQ(layer.GetHoveredLine(), 2) << "the disabled line is skipped";
    form->Take();
    Key(kHidEnter, true);
    Frame();
    Key(kHidEnter, false);
    EXPECT_EQ(layer.GetLineState(), 2);
    EXPECT_EQ(layer.GetLineSprite(2)->GetSourceOriginX(), 200) << "the pressed frame";
    host->AdvanceClock(100);
    Frame();
    EXPECT_FALSE(layer.IsLocked()) << "pressed for 100 ms";
    host->AdvanceClock(1);
    Frame();
    EXPECT_TRUE(layer.IsLocked());
    EXPECT_EQ(form->Take(), Log{"sound - -4"});
    form->RemoveControl(&layer);
}

} // namespace
