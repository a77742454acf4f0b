// The system menu of the scenario screen over the tools' skin: placed near the pointer, its
// twelve items enabled as the bar's (the skip item naming its action while a skip is possible),
// each answering its result code; quit asks first; a cancel or a click outside closes it; nothing
// of it is left once it is closed.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "authoring/file_io.h"
#include "authoring/tgs_skin.h"
#include "controls/control.h"
#include "controls/control_set.h"
#include "drawing/sprite.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/image_loader.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "support/tgs_engine_host.h"
#include "support/tgs_skin_folder.h"
#include "winapi/text.h"

using tgsengine::Bench;

namespace {

// A game folder holding the skin (less the files named in leaveOut), with the file manager and
// the picture loaders published for the fixture's life.
class TgsSystemMenu : public ::testing::Test {
protected:
    void SetUp() override { WriteSkin({}); }
    void TearDown() override
    {
        b.reset();
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
    }
    void WriteSkin(const std::set<std::string>& leaveOut)
    {
        b.reset();
        dir = std::make_unique<TempFolder>();
        std::string error;
        ASSERT_TRUE(tgsskin::WriteSkin(*dir, leaveOut, &error)) << error;
        ASSERT_EQ(SetBaseFolder(dir->Windows().c_str()), 0);
        g_pFileManager = &manager;
        if (g_pGllManager == nullptr) {
            ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
            g_pGllManager = &loaders;
        }
        b = std::make_unique<Bench>();
        b->link.stopAfter = 2000; // a menu that never closes fails instead of hanging
        set.SetScene(b->canvas.GetScene());
        b->link.controls = &set;
        ASSERT_EQ(b->frame->StartScenario(false), 0);
        itemsBefore = set.GetControls().size();
    }
    CTgsFrame& F() { return *b->frame; }
    // Chooses item i once the menu is open.
    void ChooseOnceOpen(int i)
    {
        b->link.onStep = [this, i](tgsengine::RecordingLink&) {
            if (F().SystemButtonsShown() && F().SystemMenuItem(i) != nullptr)
                b->form.SetResult(CTgsFrame::kSystemMenuValue + i);
        };
    }
    // The menu left nothing behind.
    void ExpectClosed()
    {
        EXPECT_EQ(set.GetControls().size(), itemsBefore);
        EXPECT_EQ(F().SystemMenuBackground(), nullptr);
        for (int i = 0; i < CTgsFrame::kSystemMenuItems; ++i)
            EXPECT_EQ(F().SystemMenuItem(i), nullptr) << i;
    }

    std::unique_ptr<TempFolder> dir;
    CFileManager manager;
    CGllManager loaders;
    CControlSet set;
    std::unique_ptr<Bench> b;
    size_t itemsBefore = 0;
};

} // namespace

TEST(TgsSystemMenuPlace, NearThePointerInsideTheScreen)
{
    const struct {
        int x, y, start, left, top;
    } cases[] = {
        {10, 10, 0, 0, 0},       {790, 590, 0, 667, 320}, {400, 300, 0, 334, 281},
        {400, 300, 5, 334, 171}, {400, 300, 99, 334, 39},  // the start item clamped to the last
        {-2, 100, 0, 667, 81},   {100, -2, 0, 34, 320},    {-2, -2, 3, 667, 320},
        {733, 338, 0, 667, 319}, {734, 339, 0, 667, 320},
    };
    for (const auto& c : cases) {
        int left = -1, top = -1;
        CTgsFrame::SystemMenuPlace(c.x, c.y, c.start, &left, &top);
        EXPECT_EQ(left, c.left) << c.x << "," << c.y << " start " << c.start;
        EXPECT_EQ(top, c.top) << c.x << "," << c.y << " start " << c.start;
    }
    const int results[] = {9, 8, 17, 10, 11, 12, 13, 14, 15, 16, 18, -1, -1};
    for (int i = -1; i < 12; ++i)
        EXPECT_EQ(CTgsFrame::SystemMenuResult(i), i < 0 ? -1 : results[i]) << i;
}

TEST_F(TgsSystemMenu, OpensAtThePointerAndAnswersTheChosenItem)
{
    const struct {
        int mouseX, mouseY, left, top;
    } places[] = {{10, 10, 0, 0}, {790, 590, 667, 320}};
    for (const auto& p : places) {
        b->link.mouseX = p.mouseX;
        b->link.mouseY = p.mouseY;
        int seenX = -1, seenY = -1, itemX = -1, itemY = -1;
        b->link.onStep = [&](tgsengine::RecordingLink&) {
            if (F().SystemButtonsShown() && F().SystemMenuBackground() != nullptr && seenX < 0) {
                seenX = F().SystemMenuBackground()->GetX();
                seenY = F().SystemMenuBackground()->GetY();
                itemX = F().SystemMenuItem(11)->GetX();
                itemY = F().SystemMenuItem(11)->GetY();
                b->form.SetResult(CTgsFrame::kSystemMenuValue + 10);
            }
        };
        EXPECT_EQ(F().RunSystemMenu(), 18);
        EXPECT_EQ(seenX, p.left);
        EXPECT_EQ(seenY, p.top);
        EXPECT_EQ(itemX, p.left + 8);
        EXPECT_EQ(itemY, p.top + 9 + 22 * 11);
        ExpectClosed();
    }
    // Through the window menu: the result leaves with the result word.
    ChooseOnceOpen(2);
    EXPECT_EQ(F().HandleWindowMenu(10), 17);
}

TEST_F(TgsSystemMenu, ItemsFollowTheBarsEnableStates)
{
    F().SetMenuControlState(3, 0);
    F().SetMenuControlState(1, 0);
    std::vector<bool> enabled;
    b->link.onStep = [&](tgsengine::RecordingLink& l) {
        if (F().SystemButtonsShown() && enabled.empty()) {
            for (int i = 0; i < CTgsFrame::kSystemMenuItems; ++i)
                enabled.push_back(F().SystemMenuItem(i)->IsEnabled());
            l.input.cancel = true;
        }
    };
    EXPECT_EQ(F().RunSystemMenu(), -1);
    ASSERT_EQ(enabled.size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(enabled[static_cast<size_t>(i)], i != 1 && i != 3 && (i >= 10 || F().MenuControlState(i) != 0)) << i;
    ExpectClosed();
}

TEST_F(TgsSystemMenu, SkipItemNamesItsActionWhileASkipIsPossible)
{
    const std::string text = winapi::Utf8ToSjis("次の選択肢までスキップ");
    for (const int state : {1, 0, 1}) {
        F().SetMenuControlState(5, state);
        std::string seen = "(not open)";
        b->link.onStep = [&](tgsengine::RecordingLink& l) {
            if (F().SystemButtonsShown() && seen == "(not open)") {
                const char* hint = F().SystemMenuItem(5)->GetHintText();
                seen = hint != nullptr ? hint : "";
                l.input.cancel = true;
            }
        };
        EXPECT_EQ(F().RunSystemMenu(), -1);
        EXPECT_EQ(seen, state != 0 ? text : "") << state; // each opening loads the items afresh
        ExpectClosed();
    }
}

TEST_F(TgsSystemMenu, CancelOrAClickOutsideCloses)
{
    b->link.mouseX = 10;
    b->link.mouseY = 10;
    const struct {
        bool cancel;
        int clickX, clickY;
        int result;
    } cases[] = {{true, 0, 0, -1}, {false, 300, 300, -1}, {false, 132, 279, 16}};
    for (const auto& c : cases) {
        b->link.onStep = [&](tgsengine::RecordingLink& l) {
            if (!F().SystemButtonsShown())
                return;
            if (c.cancel) {
                l.input.cancel = true;
            } else {
                l.mouseX = c.clickX;
                l.mouseY = c.clickY;
                l.input.click = true;
                // A click inside reaches an item: the last one before quit at the menu's bottom.
                if (c.result > 0)
                    b->form.SetResult(CTgsFrame::kSystemMenuValue + 9);
            }
        };
        EXPECT_EQ(F().RunSystemMenu(), c.result) << c.clickX;
        ExpectClosed();
        b->link.mouseX = 10;
        b->link.mouseY = 10;
    }
}

TEST_F(TgsSystemMenu, QuitAsksFirst)
{
    for (const int answer : {1, 0}) {
        b->link.answer = answer;
        b->link.questions.clear();
        b->link.bgmCalls.clear();
        ChooseOnceOpen(11);
        EXPECT_EQ(F().RunSystemMenu(), answer == 1 ? -2 : -1);
        ASSERT_EQ(b->link.questions.size(), 1u);
        EXPECT_EQ(b->link.questions[0].second, winapi::Utf8ToSjis("ゲームを終了します。\r\nよろしいですか？"));
        if (answer == 1) {
            EXPECT_EQ(b->link.bgmCalls, (std::vector<std::array<int32_t, 3>>{{0, 1000, 1}}));
        } else {
            EXPECT_TRUE(b->link.bgmCalls.empty());
        }
        ExpectClosed();
    }
}

TEST_F(TgsSystemMenu, MissingPartsFileOpensNothing)
{
    WriteSkin({"SYS/SM_BG.GMP"});
    ChooseOnceOpen(0);
    EXPECT_EQ(F().RunSystemMenu(), -1);
    EXPECT_EQ(b->link.steps, 0);
    ExpectClosed();
    // Without the background picture the items still work.
    WriteSkin({"SYS/SM_BASE.ELG"});
    ChooseOnceOpen(0);
    EXPECT_EQ(F().RunSystemMenu(), 9);
    ExpectClosed();
}

TEST_F(TgsSystemMenu, GameEndingWhileOpen)
{
    b->link.stopAfter = b->link.steps + 2;
    EXPECT_EQ(F().RunSystemMenu(), -2);
    ExpectClosed();
}
