// The scenario engine over a recording link: pages, choices and the result cell, the waits and
// the chained-wait rule, the window menu, menu commands, the window fade and the message window.
#include <gtest/gtest.h>

#include <filesystem>

#include "authoring/file_io.h"
#include "authoring/tgs_skin.h"
#include "controls/button_control.h"
#include "controls/control_set.h"
#include "controls/text_layer.h"
#include "drawing/glyph_font.h"
#include "script/script_transfer.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/image_loader.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "script/message_window.h"
#include "support/tgs_engine_host.h"
#include "support/tgs_skin_folder.h"
#include "winapi/text.h"

using tgsengine::Bench;

namespace {

std::string S(const char* utf8)
{
    return winapi::Utf8ToSjis(utf8);
}

// Clicks whenever a page waits and takes choice `pick` when the list shows.
void Player(Bench& b, int pick)
{
    b.link.onStep = [&b, pick](tgsengine::RecordingLink& l) {
        if (b.frame->PageWaitByte())
            l.advance = true;
        CTextLayer* layer = b.frame->ChoiceLayer();
        if (layer != nullptr && layer->IsVisible() && layer->GetLineCount() > pick)
            layer->SelectLine(pick);
    };
}

const char* kChoiceScenario = "@message\n"
                              "@speaker \"太郎\" \"V001\"\n"
                              "「こんにちは、@rubybase\n"
                              "世界@ruby \"せかい\"\n"
                              "。\n"
                              "@page\n"
                              "@message\n"
                              "二頁目\n"
                              "@choice - \"はい\" \"いいえ\" - - - - - - 3\n"
                              "@choicewait\n"
                              "@if {Score == 1} goto *b\n"
                              "はいの道\n"
                              "@page\n"
                              "@return\n"
                              "*b\n"
                              "いいえの道\n"
                              "@page\n";

TEST(TgsEngine, PagesChoiceAndTheResultCell)
{
    Bench b;
    Player(b, 1);
    b.frame->SetStartValue(0, static_cast<int32_t>(b.VarAddress(0)));
    EXPECT_EQ(b.Run(kChoiceScenario), 0);
    ASSERT_NE(b.frame->MessageWindow(), nullptr);
    ASSERT_NE(b.frame->ChoiceLayer(), nullptr);
    EXPECT_EQ(b.Var(0), 1u);
    const CTextLog& log = b.frame->TextLog();
    std::vector<std::string> pages;
    int32_t selected = -2;
    for (int32_t i = 0; i < log.Count(); ++i) {
        const TextLogEntry* e = log.GetEntry(i);
        if (e->type == 0)
            pages.emplace_back(e->message.data.begin(), e->message.data.end());
        if (e->type == 1) {
            selected = e->choices.selected;
            EXPECT_EQ(e->choices.texts, (std::vector<std::string>{S("はい"), S("いいえ")}));
        }
    }
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[1], S("二頁目"));
    EXPECT_EQ(pages[2], S("いいえの道"));
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(log.GetEntry(0)->message.name, S("太郎"));
    EXPECT_EQ(log.GetEntry(0)->message.voice, "V001");
}

TEST(TgsEngine, ChoiceByKeyboardLeavesTheCellAloneWhenItIsNoCell)
{
    // Start value 1 names a cell only when it is 4-aligned with its 4 bytes in script memory.
    const struct {
        const char* name;
        int64_t offset; // from Score's address; or an absolute address when absolute
        bool absolute;
        bool written;
    } cases[] = {
        {"valid", 0, false, true},
        {"zero", 0, true, false},
        {"unaligned", 2, false, false},
        {"outside memory", 0xFFFFFFF0, true, false},
    };
    for (const auto& c : cases) {
        Bench b;
        Player(b, 0);
        const uint32_t address = c.absolute ? static_cast<uint32_t>(c.offset) : b.VarAddress(0) + static_cast<uint32_t>(c.offset);
        b.frame->SetStartValue(0, static_cast<int32_t>(address));
        EXPECT_EQ(b.Run(kChoiceScenario), 0) << c.name;
        EXPECT_EQ(b.Var(0), c.written ? 0u : 7u) << c.name;
        EXPECT_FALSE(b.frame->ChoiceLayer()->IsVisible()) << c.name;
    }
}

TEST(TgsEngine, DisabledLinesAndTheirMarks)
{
    Bench b;
    std::vector<bool> enabled;
    bool enabled2 = false;
    b.link.onStep = [&](tgsengine::RecordingLink&) {
        CTextLayer* layer = b.frame->ChoiceLayer();
        if (layer == nullptr || !layer->IsVisible())
            return;
        if (!enabled.empty()) {
            enabled2 = layer->GetItem(0) != nullptr && !layer->GetItem(0)->disabled;
            layer->SelectLine(0);
            return;
        }
        for (int i = 0; i < layer->GetLineCount(); ++i)
            enabled.push_back(layer->GetItem(i) != nullptr && !layer->GetItem(i)->disabled);
        layer->SelectLine(5);
    };
    b.frame->SetStartValue(0, static_cast<int32_t>(b.VarAddress(0)));
    EXPECT_EQ(b.Run("@disable 1\n@disable 5\n@disable -1\n@disable 0\n"
                    "@choice - \"1\" \"2\" \"3\" \"4\" \"5\" \"6\" \"7\" \"8\" 0\n@choicewait\n"
                    "@choice - \"a\" \"b\" 0\n@choicewait\n"),
              0);
    // Disabled lines count: the sixth text is index 5.
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, true, true, true, true, true, true}));
    ASSERT_GE(b.frame->TextLog().Count(), 1);
    EXPECT_EQ(b.frame->TextLog().GetEntry(0)->choices.selected, 5);
    EXPECT_EQ(b.frame->TextLog().GetEntry(0)->choices.flags, (std::vector<uint8_t>{0, 0, 1, 1, 1, 1, 1, 1}));
    // The marks are gone for the next list.
    EXPECT_TRUE(enabled2);
    EXPECT_EQ(b.Var(0), 0u);
}

TEST(TgsEngine, ChoiceWaitSurvivesTheBacklogEmptiedUnderIt)
{
    Bench b;
    int waits = 0;
    b.link.onStep = [&](tgsengine::RecordingLink&) {
        CTextLayer* layer = b.frame->ChoiceLayer();
        if (layer != nullptr && layer->IsVisible() && ++waits == 3) {
            b.frame->TextLog().SetCapacity(0);
            layer->SelectLine(1);
        }
    };
    EXPECT_EQ(b.Run("@choice - \"a\" \"b\" 0\n@choicewait\n"), 0);
    EXPECT_EQ(b.frame->TextLog().Count(), 0);
    EXPECT_FALSE(b.frame->HasChoiceSerial());
}

TEST(TgsEngine, AutosaveAtChoicesGoesToBankZerosRing)
{
    Bench b;
    b.settings.config.autoSaveAtChoices = 1;
    Player(b, 0);
    EXPECT_EQ(b.Run("@choice - \"a\" 0\n@choicewait\n"), 0);
    EXPECT_EQ(b.link.saves, (std::vector<std::pair<int, int>>{{0, 20}}));
}

TEST(TgsEngine, TimedWaits)
{
    Bench b;
    b.frame->StartScenario(false);
    // 0 ms: the first step after which more than 0 ms have passed.
    EXPECT_EQ(b.frame->WaitTime(0, true), 0);
    EXPECT_EQ(b.link.steps, 1);
    b.frame->SkipMode() = 1;
    EXPECT_EQ(b.frame->WaitTime(500, true), 1);
    EXPECT_EQ(b.link.steps, 1);
    b.frame->SkipMode() = 0;
    b.link.skipKey = true;
    EXPECT_EQ(b.frame->WaitTime(500, true), 0);
    EXPECT_EQ(b.link.steps, 2);
    b.link.skipKey = false;
    b.link.skipHeld = true;
    b.settings.config.clickSkipsEffects = 1;
    EXPECT_EQ(b.frame->WaitTime(500, true), 1);
    EXPECT_EQ(b.frame->WaitTime(32, false), 0);
    b.link.stopAfter = b.link.steps + 1;
    EXPECT_EQ(b.frame->WaitTimer(1000), -1);
    b.link.stopAfter = -1;
    // A load that replaced the state ends the page wait.
    b.link.onStep = [&](tgsengine::RecordingLink&) { b.frame->StateReplaced() = 1; };
    EXPECT_EQ(b.frame->WaitPage(2, false), -1);
}

TEST(TgsEngine, ChainedWaitsAfterOneIsCutShort)
{
    const struct {
        const char* source;
        int steps; // frames of the whole run
    } cases[] = {
        // The first wait is cut at its first frame; the second does not wait.
        {"@wait 1000\n@wait 1000\n", 1},
        // A message command between them makes the second wait again.
        {"@wait 1000\n@message\n@wait 1000\n", 2},
    };
    for (const auto& c : cases) {
        Bench b;
        b.settings.config.clickSkipsEffects = 1;
        b.link.skipHeld = true;
        EXPECT_EQ(b.Run(c.source), 0);
        EXPECT_EQ(b.link.steps, c.steps) << c.source;
    }
    // Not cut: both run out.
    Bench b;
    EXPECT_EQ(b.Run("@wait 100\n@wait 100\n"), 0);
    EXPECT_EQ(b.link.steps, 14);
}

TEST(TgsEngine, WindowMenuActionTable)
{
    // Actions 6-17 in order; 18 and 19 do nothing.
    const struct {
        int action;
        int result;
        size_t questions;
        size_t posted;
    } cases[] = {
        {6, 2, 0, 0},  // 6 auto play
        {7, 2, 0, 1},  // 3 save screen
        {8, 2, 0, 1},  // 4 load screen
        {9, 1, 0, 0},  // 0 quick save
        {11, 2, 0, 0}, // 9 hide the window (a click shows it again)
        {12, 2, 0, 0}, // 10 system menu
        {13, 2, 0, 1}, // 8 settings
        {14, 0, 0, 0}, // 7 backlog: off while it holds fewer than two entries
        {15, 3, 0, 0}, // 5 skip on
        {16, 0, 0, 0}, // 2 back: off until a snapshot exists
        {17, 5, 1, 1}, // 11 title: asked, then posted
        {18, 0, 0, 0},
        {19, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Bench b;
        b.frame->StartScenario(false);
        b.link.action = c.action - 6;
        b.link.onStep = [](tgsengine::RecordingLink& l) { l.advance = true; };
        EXPECT_EQ(b.frame->HandleWindowMenu(-1), c.result) << c.action;
        EXPECT_EQ(b.link.questions.size(), c.questions) << c.action;
        EXPECT_EQ(b.link.posted.size(), c.posted) << c.action;
    }
    Bench b;
    b.frame->StartScenario(false);
    b.link.action = 9 - 6;
    EXPECT_EQ(b.frame->HandleWindowMenu(-1), 1);
    EXPECT_EQ(b.link.saves, (std::vector<std::pair<int, int>>{{1, 5}}));
    ASSERT_EQ(b.link.captions.size(), 1u);
    EXPECT_EQ(b.link.captions[0], S("スロット6にセーブしました"));
}

TEST(TgsEngine, QuickLoadAsksAndLoadsOnYes)
{
    // F3 names slot 2; the quick-load action without a slot takes the one saved last (the link's
    // 9), not the ring's next one where the following quick save will go.
    for (int actionSlot : {2, -1}) {
        for (int answer : {1, 0}) {
            Bench b;
            b.frame->StartScenario(false);
            b.link.slotTitle = "T";
            b.link.answer = answer;
            b.link.actionSlot = actionSlot;
            b.link.action = 4; // F3 without the modifier, or the quick-load key: quick load
            EXPECT_EQ(b.frame->HandleWindowMenu(-1), answer ? 5 : 1);
            ASSERT_EQ(b.link.questions.size(), 1u);
            EXPECT_EQ(b.link.questions[0].second, "T\r\n" + S("をロードしますか？"));
            EXPECT_EQ(b.link.loads.size(), answer ? 1u : 0u);
            if (answer) {
                EXPECT_EQ(b.link.loads[0], (std::pair<int, int>{1, actionSlot >= 0 ? 2 : 9}));
                EXPECT_EQ(b.link.captions.back(), actionSlot >= 0 ? S("スロット3からロードしました") : S("スロット10からロードしました"));
            }
        }
    }
}

TEST(TgsEngine, RunMenuCommandHandsOverOnce)
{
    Bench b;
    b.frame->StartScenario(false);
    EXPECT_EQ(b.frame->RunMenuCommand(3, 0), 0);
    EXPECT_EQ(b.link.posted, (std::vector<uint32_t>{40007}));
    b.link.menuByte = 4;
    EXPECT_EQ(b.frame->RunMenuCommand(3, 0), 1);
    b.link.menuByte = 0;
    b.link.postOk = false;
    EXPECT_EQ(b.frame->RunMenuCommand(11, 0), 2);
    b.link.postOk = true;
    b.link.threaded = true;
    b.link.taken = false;
    EXPECT_EQ(b.frame->RunMenuCommand(8, 0), 3);
    // Taken: frames run while the byte says the command runs.
    b.link.taken = true;
    b.link.menuByte = 0;
    int frames = 0;
    b.link.onStep = [&](tgsengine::RecordingLink& l) {
        if (++frames == 3)
            l.menuByte = 0;
    };
    b.link.menuByte = 0;
    EXPECT_EQ(b.frame->RunMenuCommand(4, 0), 0);
    EXPECT_EQ(b.link.posted.back(), 40008u);
}

TEST(TgsEngine, FadeWindowAlphaFollowsTheClock)
{
    Bench b;
    b.frame->StartScenario(false);
    std::vector<int> alphas;
    b.link.onStep = [&](tgsengine::RecordingLink&) { alphas.push_back(b.frame->MessageWindow()->GetAlpha()); };
    EXPECT_EQ(b.frame->FadeWindow(true, 64, false), 0);
    // 255 × elapsed / 64 at 0, 16, 32 and 48 ms.
    EXPECT_EQ(alphas, (std::vector<int>{0, 63, 127, 191}));
    EXPECT_TRUE(b.frame->MessageWindow()->IsVisible());
    EXPECT_EQ(b.frame->MessageWindow()->GetAlpha(), 255);
    alphas.clear();
    EXPECT_EQ(b.frame->FadeWindow(false, 0, true), 0);
    EXPECT_EQ(alphas, (std::vector<int>{255}));
    EXPECT_FALSE(b.frame->MessageWindow()->IsVisible());
    b.link.stopAfter = b.link.steps + 1;
    EXPECT_EQ(b.Run("@fadewin 1 100 0\n"), -1);
}

TEST(TgsEngine, CharacterWaitFromTheSettings)
{
    const struct {
        bool read;
        uint8_t unreadNoWait, unreadMs, readNoWait, readMs, pass;
        uint32_t wait;
        bool pageSkip;
    } cases[] = {
        {false, 0, 40, 0, 0, 0, 40, false}, {false, 1, 40, 0, 0, 0, 0, false}, {false, 0, 0, 0, 0, 0, 1, false},
        {true, 0, 40, 0, 20, 0, 20, false}, {true, 0, 40, 1, 20, 0, 0, false}, {true, 0, 40, 0, 0, 0, 1, false},
        {true, 0, 40, 0, 20, 1, 0, true},
    };
    for (const auto& c : cases) {
        Bench b;
        b.settings.config.unreadNoWait = c.unreadNoWait;
        b.settings.config.unreadCharMs = c.unreadMs;
        b.settings.config.readNoWait = c.readNoWait;
        b.settings.config.readCharMs = c.readMs;
        b.settings.config.option28 = c.pass;
        b.frame->ReadMessage() = c.read ? 1 : 0;
        EXPECT_EQ(b.frame->GetCharacterWait(), c.wait);
        EXPECT_EQ(b.frame->PageSkip() != 0, c.pageSkip);
    }
}

TEST(TgsEngine, NoOpsAndLaterCommandsContinue)
{
    Bench b;
    EXPECT_EQ(b.Run("@cmd 15\n@cmd 68\n@cmd 73\n@layerimage \"BG\" 0\n@window 1\n@window -1\nあ\n"), 0);
    EXPECT_EQ(b.frame->Text(), S("あ"));
    EXPECT_EQ(b.link.steps, 0);
}

TEST(TgsEngine, NameSpeakerAndVoiceAreCutAtCharacters)
{
    Bench b;
    std::string longName;
    for (int i = 0; i < 30; ++i)
        longName += "名";
    EXPECT_EQ(b.Run("@name \"" + longName + "\"\n@speaker \"" + longName + "\" \"VOICE_NAME_TOO_LONG\"\n"), 0);
    EXPECT_EQ(b.frame->NameText().size(), 40u);
    EXPECT_EQ(b.frame->SpeakerName().size(), 16u);
    EXPECT_EQ(b.frame->VoiceName(), "VOICE_NAME_TOO_");
}

TEST(TgsEngine, WindowSwitchCounterWraps)
{
    Bench b;
    b.frame->StartScenario(false);
    for (int i = 0; i < 254; ++i) {
        b.frame->WindowSwitchPending() = 1;
        b.frame->EndMessage();
    }
    EXPECT_EQ(b.frame->WindowSwitchCounter(), 255);
    b.frame->WindowSwitchPending() = 1;
    b.frame->EndMessage();
    EXPECT_EQ(b.frame->WindowSwitchCounter(), 1);
}

TEST(TgsEngine, StartUpNeedsTheSetUpAndAppliesTheMenuGroups)
{
    Bench unset(false);
    EXPECT_EQ(unset.frame->StartScenario(false), -2);
    EXPECT_EQ(unset.frame->ClearScene(), 0);
    EXPECT_EQ(unset.frame->CreateMessageWindow(&unset.canvas, nullptr), 1);

    Bench b;
    b.link.saveGroup = false;
    EXPECT_EQ(b.frame->StartScenario(false), 0);
    EXPECT_EQ(b.frame->MenuControlState(0), 0);
    EXPECT_EQ(b.frame->MenuControlState(3), 0);
    EXPECT_EQ(b.frame->MenuControlState(1), 1);
    EXPECT_EQ(b.frame->MenuControlState(2), 0);
    EXPECT_EQ(b.frame->MenuControlState(7), 0);
    EXPECT_EQ(b.frame->Skippable(), 1);
    EXPECT_FALSE(b.frame->MessageWindow()->IsVisible());
    // The start-up places the windows and the choice list.
    EXPECT_EQ(b.frame->MessageWindow()->GetX(), 15);
    EXPECT_EQ(b.frame->MessageWindow()->GetY(), 475);
    EXPECT_EQ(b.frame->NameWindow()->GetY(), 425);
    EXPECT_EQ(b.frame->ChoiceLayer()->GetUserValue(), CTgsFrame::kChoiceLayerValue);
    EXPECT_EQ(b.frame->ClearScene(), 0);
    EXPECT_EQ(b.frame->MessageWindow(), nullptr);
}

// A game folder with the tools' skin: framed windows of the skin's sizes, the ten system-menu
// buttons from its parts file (id 1000, deleted with the scene), the bar hidden until the pointer
// comes down to it.
TEST(TgsEngine, SkinFromTheToolFramesTheWindowsAndMakesTheMenu)
{
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(tgsskin::WriteSkin(dir, {}, &error)) << error;
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    CFileManager manager;
    CGllManager loaders;
    g_pFileManager = &manager;
    ASSERT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
    g_pGllManager = &loaders;
    {
        CControlSet set;
        Bench b;
        set.SetScene(b.canvas.GetScene());
        b.link.controls = &set;
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        ASSERT_NE(b.frame->MessageWindow(), nullptr);
        EXPECT_EQ(b.frame->MessageWindow()->GetWidth(), 770);
        EXPECT_EQ(b.frame->MessageWindow()->GetHeight(), 110);
        ASSERT_NE(b.frame->NameWindow(), nullptr);
        EXPECT_EQ(b.frame->NameWindow()->GetWidth(), 200);
        for (int i = 0; i < CTgsFrame::kMenuItems; ++i) {
            ASSERT_NE(b.frame->MenuItem(i), nullptr) << i;
            EXPECT_FALSE(b.frame->MenuItem(i)->IsVisible());
            // Over the bar: in the overlay list, as the bar is.
            auto* button = dynamic_cast<CButtonControl*>(b.frame->MenuItem(i));
            ASSERT_NE(button, nullptr) << i;
            EXPECT_EQ(button->GetSprite().GetOwnerList(), b.canvas.GetScene()->GetOverlay()) << i;
        }
        EXPECT_EQ(set.GetControls().size(), 10u);
        EXPECT_EQ(set.useOverlay, 0);
        // The window is the masks' shape in the frame colour, the decoration over it.
        b.frame->MessageWindow()->Clear();
        CImage* frame = b.frame->MessageWindow()->GetFrameImage();
        ASSERT_NE(frame, nullptr);
        EXPECT_NEAR(frame->GetRowPointer(50)[4 * 50 + 3], 220 * 140 / 255, 1);
        EXPECT_EQ(frame->GetRowPointer(0)[3], 0) << "outside the rounded corner";
        // The decoration's border lies over the mask opaque in its own colour.
        const BYTE* border = frame->GetRowPointer(50) + 4 * 2;
        EXPECT_EQ(border[3], 255);
        EXPECT_EQ(border[2], 0xC8);
        EXPECT_EQ(border[0], 0xE8);
        // The pointer at the bottom shows the bar's buttons when the setting hides them.
        b.settings.config.hideSystemButtons = 1;
        b.link.mouseY = 590;
        b.link.onStep = [](tgsengine::RecordingLink& l) { l.advance = true; };
        b.frame->WaitPage(2, false);
        EXPECT_TRUE(b.frame->MenuItem(0)->IsVisible());
        EXPECT_EQ(b.frame->ClearScene(), 0);
        EXPECT_EQ(set.GetControls().size(), 0u);
        EXPECT_EQ(b.frame->MenuItem(0), nullptr);
    }
    g_pGllManager = nullptr;
    g_pFileManager = nullptr;
}

// Without the skin's parts file, or with one of fewer parts, the missing items are absent and
// every use skips them.
TEST(TgsEngine, MissingMenuPartsAreSkipped)
{
    CControlSet set;
    Bench b;
    set.SetScene(b.canvas.GetScene());
    b.link.controls = &set;
    ASSERT_EQ(b.frame->StartScenario(false), 0);
    for (int i = 0; i < CTgsFrame::kMenuItems; ++i)
        EXPECT_EQ(b.frame->MenuItem(i), nullptr);
    b.link.mouseY = 590;
    b.link.onStep = [](tgsengine::RecordingLink& l) { l.advance = true; };
    EXPECT_EQ(b.frame->WaitPage(2, false), 0);
    EXPECT_EQ(b.frame->FadeWindow(true, 50, true), 0);
    b.frame->SetMenuControlState(3, 2);
    EXPECT_EQ(b.frame->MenuControlState(3), 2);
}

// Message commands' edge cases: window 1 changes nothing; a page's style lasts the page (size 0 is
// 24, no size keeps it); after a resume the first page end shows and logs nothing new; text
// placement on the window record; show and hide at once.
TEST(TgsEngine, MessageCommandEdges)
{
    {
        Bench b;
        EXPECT_EQ(b.Run("あ\n@window 1\n@window -1\n"), 0);
        EXPECT_EQ(b.frame->Text(), S("あ"));
        EXPECT_EQ(b.frame->TextLog().Count(), 0);
    }
    const struct {
        const char* style;
        int32_t height; // of font 0 while the page waits
    } styles[] = {{"@style 40\n", 40}, {"@style 0\n", 24}, {"@style - 0xFF0000\n", 24}, {"@style 30\n@style -\n", 30}};
    for (const auto& c : styles) {
        Bench b;
        int32_t seen = -1;
        b.link.onStep = [&](tgsengine::RecordingLink& l) {
            if (b.frame->PageWaitByte()) {
                seen = std::abs(b.frame->Font(0)->m_logFont.lfHeight);
                l.advance = true;
            }
        };
        EXPECT_EQ(b.Run(std::string(c.style) + "あ\n@page\n"), 0) << c.style;
        EXPECT_EQ(seen, c.height) << c.style;
        EXPECT_EQ(std::abs(b.frame->Font(0)->m_logFont.lfHeight), 24) << c.style;
        EXPECT_EQ(b.frame->StyleChanged(), 0);
    }
    {
        Bench b;
        b.link.onStep = [](tgsengine::RecordingLink& l) { l.advance = true; };
        b.frame->files["MAIN.TOB"] = tgstest::Pack("@page\n");
        ASSERT_EQ(b.frame->StartScript("MAIN"), 0);
        ASSERT_EQ(b.frame->StartScenario(true), 0);
        EXPECT_EQ(b.frame->ResumedPage(), 1);
        EXPECT_EQ(b.frame->RunText(), 0);
        EXPECT_EQ(b.frame->ResumedPage(), 0);
        EXPECT_EQ(b.frame->TextLog().Count(), 0);
        EXPECT_GT(b.link.steps, 0);
    }
    {
        Bench b;
        EXPECT_EQ(b.Run("@textpos -1 10 -20\n@showwin 1\n"), 0);
        EXPECT_EQ(b.frame->WindowRecord().textX, 410);
        EXPECT_EQ(b.frame->WindowRecord().textY, 541);
        EXPECT_TRUE(b.frame->MessageWindow()->IsVisible());
    }
    {
        Bench b;
        EXPECT_EQ(b.Run("@showwin 1\n@showwinnow 0\n"), 0);
        EXPECT_FALSE(b.frame->MessageWindow()->IsVisible());
    }
    {
        // No display: the waits return at once.
        Bench b;
        b.frame->files["MAIN.TOB"] = tgstest::Pack("@wait 1000\n@waittimer 1000\n");
        ASSERT_EQ(b.frame->StartScript("MAIN"), 0);
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        b.frame->NoDisplay() = 1;
        EXPECT_EQ(b.frame->RunText(), 0);
        EXPECT_EQ(b.link.steps, 0);
    }
}

// Auto play waits per-character time × characters + the minimum: 40 characters at 30 ms with a
// minimum of 1000 ms end the page 2200 ms after its wait began (the first frame past it).
TEST(TgsEngine, AutoPlayWaitsForTheCharactersAndTheMinimum)
{
    Bench b;
    b.settings.config.autoCharMs = 30;
    b.settings.config.autoMinimumWait = 1000;
    b.settings.config.unreadNoWait = 1; // the page stands at once
    uint32_t began = 0;
    b.link.onStep = [&](tgsengine::RecordingLink& l) {
        if (b.frame->PageWaitByte() && began == 0)
            began = l.now - l.stepMs;
    };
    std::string page;
    for (int i = 0; i < 40; ++i)
        page += "あ";
    b.frame->files["MAIN.TOB"] = tgstest::Pack("@message\n" + page + "\n@page\n");
    ASSERT_EQ(b.frame->StartScript("MAIN"), 0);
    ASSERT_EQ(b.frame->StartScenario(false), 0);
    b.frame->SetAutoPlay(true);
    EXPECT_EQ(b.frame->RunText(), 0);
    EXPECT_EQ(b.frame->MessageWindow()->CharacterCount(), 40);
    ASSERT_NE(began, 0u);
    EXPECT_GT(b.link.now - began, 2200u);
    EXPECT_LE(b.link.now - began, 2200u + b.link.stepMs);
}

// The skip key passes a page at once, but not unread text when the setting keeps it.
TEST(TgsEngine, SkipKeyOverUnreadText)
{
    const struct {
        bool keepUnread, read;
        bool passes;
    } cases[] = {{false, false, true}, {true, false, false}, {true, true, true}};
    for (const auto& c : cases) {
        Bench b;
        b.settings.config.noFastForwardUnread = c.keepUnread ? 1 : 0;
        b.link.skipKey = true;
        int frames = 0;
        b.link.onStep = [&](tgsengine::RecordingLink& l) {
            if (++frames == 50)
                l.advance = true; // a click ends a page the key does not pass
        };
        ASSERT_EQ(b.frame->StartScenario(false), 0);
        b.frame->ReadMessage() = c.read ? 1 : 0;
        EXPECT_EQ(b.frame->WaitPage(2, false), 0);
        EXPECT_EQ(frames < 50, c.passes) << c.keepUnread << c.read;
    }
}

// A face the system does not list falls back to the settings' face ("@" form when vertical).
TEST(TgsEngine, ResolveFontFaceFallsBackToTheSettings)
{
    Bench b;
    const std::string face(b.settings.config.faceName);
    EXPECT_EQ(b.frame->ResolveFontFace("NoSuchFace", false), face);
    EXPECT_EQ(b.frame->ResolveFontFace("NoSuchFace", true), "@" + face);
    EXPECT_EQ(b.frame->ResolveFontFace(nullptr, false), face);
}

// Native 1 of the bench's runtime: records a transfer request (word 0: its kind) to "NONE".
uint32_t RequestTransfer(SobNativeArgs& args)
{
    SetScriptTransfer(args.U32(0), "NONE", 4);
    return 0;
}

// Inline code that yields hands its run to the frame's loop: a jump where none is allowed and a
// call whose module does not load stop it with their messages, and the text with -1.
TEST(TgsEngine, RunScriptLoopRefusesTransfers)
{
    const struct {
        uint32_t kind;
        const char* message;
    } cases[] = {
        {kTransferJump, "システムスクリプト中でJump命令は使用できません"},
        {kTransferCall, "Call命令でスクリプトのロードに失敗"},
    };
    for (const auto& c : cases) {
        Bench b;
        ASSERT_EQ(b.rt.AddNative(RequestTransfer), 0); // native 1
        b.rt.BindNatives(b.frame->Machine());
        const std::string source = "@sob\n  ncall native 1, kind, hostvar 0\n  yield\n  ret\nkind: .word " +
                                   std::to_string(c.kind) + "\n@end\nあ\n";
        EXPECT_EQ(b.Run(source), -1);
        ASSERT_EQ(b.link.messages.size(), 1u) << c.kind;
        EXPECT_EQ(b.link.messages[0], S(c.message));
        EXPECT_EQ(g_ScriptTransferState, kTransferNone);
    }
    Bench b;
    EXPECT_EQ(b.frame->LoadBackgroundTable("DATA/BG.TXT"), 1);
    EXPECT_TRUE(b.frame->BackgroundTable().empty());
}

} // namespace
