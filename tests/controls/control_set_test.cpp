// The control set with real controls (arguments read back through them, defaults, a failed
// creation, removal by id both ways, DeleteAll unlinking, SetScene(null)) and reader B of the
// parts files over it, with files packed by tessaro-tool.
#include "control_test_form.h"

#include "controls/button_control.h"
#include "controls/control_set.h"
#include "controls/image_button.h"
#include "controls/list_layer.h"
#include "controls/parts_file_b.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "display/screen.h"
#include "drawing/glyph_font.h"
#include "winapi/text.h"

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

using namespace controls_test;

class ControlSetTest : public ControlBench {
protected:
    void SetUp() override
    {
        ControlBench::SetUp();
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        set.SetScene(&scene);
    }
    void TearDown() override
    {
        set.DeleteAll();
        ControlBench::TearDown();
    }
    CGlyphFont font;
    CControlSet set;
};

TEST_F(ControlSetTest, AddsWithTheirArgumentsAndDefaults)
{
    set.currentId = 7;
    CButtonControl* button = nullptr;
    ASSERT_EQ(set.AddButtonControl(&button, 10, 20, 40, 16, true, "ok", &font, 3), 0);
    EXPECT_EQ(button->GetX(), 10);
    EXPECT_EQ(button->GetWidth(), 40);
    EXPECT_EQ(button->GetId(), 7);
    EXPECT_EQ(button->GetPriority(), 3);
    CControlType2* rect = nullptr;
    ASSERT_EQ(set.AddControlType2(&rect, 1, 2, 30, 10, 0xFF102030, 0xFF405060, 0xFF708090, 4), 0);
    EXPECT_EQ(rect->GetHeight(), 10);
    set.pageBackAction = 6;
    set.scrollStep = 5;
    CScrollControl* bar = nullptr;
    ASSERT_EQ(set.AddScrollControl(&bar, 100, 0, true, 12, 0xC0C0C0, 0x404040, 0, 0, 0, 2), 0);
    ASSERT_EQ(bar->SetRange(100, 50, 10, 0, 0), 0);
    bar->StepBy(true);
    EXPECT_EQ(bar->GetValue(), 5) << "the set's step";
    CTextPanel* panel = nullptr;
    ASSERT_EQ(set.AddTextPanel(&panel, 5, 6, 80, 40, &font, nullptr, 1, 0x102030, 255, 1), 0);
    EXPECT_EQ(panel->GetX(), 5);
    EXPECT_EQ(panel->GetWidth(), 80);
    EXPECT_EQ(drawing_test::Px(panel->GetImage(), 0, 0), 0xFF102030u) << "the background set before creation";
    CTextLayer* layer = nullptr;
    ASSERT_EQ(set.AddTextLayer(&layer, 0, 100, 60, 20, 2, &font, 1), 0);
    EXPECT_EQ(layer->GetId(), 7);
    CButton* hot = nullptr;
    ASSERT_EQ(set.AddImageButton(&hot, 1, 1, 5, 5, -1, -1, true, true), 0);
    EXPECT_EQ(set.GetCount(), 6u);

    // A failed creation keeps nothing.
    CTextLayer* failed = nullptr;
    EXPECT_EQ(set.AddTextLayer(&failed, 0, 0, 10, 10, 0, nullptr, 1), 1);
    EXPECT_EQ(failed, nullptr);
    CListLayer* list = nullptr;
    EXPECT_EQ(set.AddListLayer(&list, &font, 0, 50, 0, 0, nullptr, 0, 0, 10, 0, 0, 0, nullptr, 0, 1), 1);
    EXPECT_EQ(set.GetCount(), 6u);

    // Removal by id both ways; DeleteAll unlinks from the form.
    set.currentId = 9;
    CButton* other = nullptr;
    ASSERT_EQ(set.AddImageButton(&other, 1, 1, 5, 5, -1, -1, true, true), 0);
    ASSERT_EQ(form->AddControl(other, -1), 0);
    ASSERT_EQ(form->AddControl(hot, -1), 0);
    set.RemoveById(8, false);
    EXPECT_EQ(set.GetCount(), 7u);
    set.RemoveById(7, true);
    EXPECT_EQ(set.GetCount(), 6u) << "only the id-9 button goes";
    EXPECT_EQ(form->GetControls().size(), 1u);
    EXPECT_EQ(set.RemoveControl(nullptr), 1);
    CButton stranger;
    EXPECT_EQ(set.RemoveControl(&stranger), 2);
    EXPECT_EQ(set.RemoveControl(rect), 0);
    set.DeleteAll();
    EXPECT_EQ(set.GetCount(), 0u);
    EXPECT_TRUE(form->GetControls().empty());

    // Without a scene the controls get no list.
    set.SetScene(nullptr);
    CControlType2* none = nullptr;
    EXPECT_EQ(set.AddControlType2(&none, 1, 2, 30, 10, 0, 0, 0, 4), 1);
}

class ReaderB : public ControlSetTest {
protected:
    void SetUp() override
    {
        ControlSetTest::SetUp();
        if (std::system("convert -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "convert is not installed";
        std::filesystem::create_directories(pictures.dir.Linux("menu"));
        ASSERT_EQ(std::system(("cd '" + pictures.dir.Linux("menu") +
                               "' && convert -size 16x16 xc:'#ff0000' xc:'#00ff00' xc:'#0000ff' xc:'#ffff00' "
                               "+append BMP3:p.bmp && convert -size 32x24 xc:'#203040' BMP3:bg.bmp")
                                  .c_str()),
                  0);
    }
    void Pack(const std::string& text)
    {
        pictures.dir.Write("layout.txt", text);
        const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool kgm pack '" +
                                    pictures.dir.Linux("menu/M.GMP") + "' '" + pictures.dir.Linux("layout.txt") +
                                    "' --reader b";
        ASSERT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);
    }
    PictureFolder pictures;
    CScreen screen;
};

TEST_F(ReaderB, ControlsGroupsAndIds)
{
    // name, kind, x, y, byte 5, byte 6, width, height, c
    Pack("background\tbg.bmp\np.bmp\t1\t0\t0\t255\t1\t16\t16\t4\n"
         "p.bmp\t6\t20\t0\t255\t0\t16\t16\t6\np.bmp\t6\t40\t0\t255\t0\t16\t16\t6\np.bmp\t6\t60\t0\t255\t0\t16\t16\t6\n"
         "p.bmp\t8\t80\t0\t255\t0\t16\t16\t6\np.bmp\t6\t100\t0\t255\t0\t16\t16\t6\np.bmp\t4\t120\t0\t255\t0\t9\t8\t8\n");
    CPartsFileB parts;
    EXPECT_EQ(parts.Load(&set, form.get(), "menu\\M.GMP", 10, 5, false, nullptr), 5) << "a background needs a screen";
    EXPECT_EQ(set.GetCount(), 0u);
    ASSERT_EQ(parts.Load(&set, form.get(), "menu\\M.GMP", 10, 5, false, &screen), 0);
    ASSERT_EQ(parts.GetCount(), 7u);
    EXPECT_EQ(set.GetCount(), 7u);
    EXPECT_EQ(form->GetControls().size(), 7u);
    EXPECT_EQ(parts.GetControl(0)->GetType(), kControlButton);
    EXPECT_TRUE(static_cast<CButtonControl*>(parts.GetControl(0))->IsRectangularHit());
    auto toggle = [&](size_t i) { return static_cast<CToggleButton*>(parts.GetControl(i)); };
    EXPECT_EQ(toggle(1)->GetLeader(), nullptr);
    EXPECT_EQ(toggle(2)->GetLeader(), toggle(1));
    EXPECT_EQ(toggle(3)->GetLeader(), toggle(1));
    EXPECT_EQ(toggle(4)->GetLeader(), nullptr) << "a new kind starts a run";
    EXPECT_EQ(toggle(5)->GetLeader(), nullptr) << "kind 6 after kind 8 starts a new group";
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(parts.GetControl(i)->GetUserValue(), static_cast<int>(10 + i));
    EXPECT_EQ(parts.GetRecord(6)->width, 9);
    EXPECT_EQ(parts.GetControl(0)->GetPriority(), 5);

    // An unknown kind removes what was made; no ids with firstId -1.
    set.DeleteAll();
    Pack("p.bmp\t1\t0\t0\t255\t0\t16\t16\t0\np.bmp\t12\t0\t0\t255\t0\t16\t16\t0\n");
    CPartsFileB bad;
    EXPECT_EQ(bad.Load(&set, form.get(), "menu\\M.GMP", -1, 5, false, &screen), 12);
    EXPECT_EQ(set.GetCount(), 0u);
    EXPECT_TRUE(form->GetControls().empty());
    Pack("p.bmp\t3\t0\t0\t255\t0\t16\t16\t3\n");
    ASSERT_EQ(bad.Load(&set, form.get(), "menu\\M.GMP", -1, 5, false, &screen), 0);
    EXPECT_EQ(bad.GetControl(0)->GetUserValue(), -1);
    Pack("missing.bmp\t4\t0\t0\t255\t0\t16\t16\t0\n");
    EXPECT_EQ(bad.Load(&set, form.get(), "menu\\M.GMP", -1, 5, false, &screen), 8);
    EXPECT_EQ(bad.Load(nullptr, form.get(), "menu\\M.GMP", -1, 5, false, &screen), 1);
    EXPECT_EQ(bad.Load(&set, form.get(), "menu\\NONE.GMP", -1, 5, false, &screen), 2);
}

} // namespace
