// The script text object on the virtual clock: typing speeds, waits with the wait animation,
// pages and a character that does not fit, tags, the skip key, ControlTyping, bad tokens, the
// name panel and voice line, and an object deleted while it types.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/toggle_button.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "natives/main_form.h"
#include "natives/text_object.h"
#include "platform/app_config.h"
#include "platform/input_manager.h"
#include "platform/keyboard_device.h"
#include "platform/mouse_device.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "script/message_store.h"
#include "script/script_memory.h"
#include "support/pixel_library.h"
#include "support/test_game_app.h"
#include "winapi/clock.h"
#include "winapi/text.h"

namespace {

// A store whose messages count as read when the test says so.
struct Store : CMessageStore {
    using CMessageStore::CMessageStore;
    bool IsMessageRead(uint8_t, uint16_t) override { return read; }
    void MarkMessageRead(uint8_t, uint16_t) override {}
    bool read = false;
};

struct TypingFixture {
    TestPixelLibrary pixels;
    TypingFixture()
    {
        winapi::UseVirtualClock(true);
        EXPECT_EQ(app.GetInput().CreateDevices(nullptr, kInputMessages, kInputMessages), 0u);
        EXPECT_EQ(target.Create(640, 480, 32, 0), 0);
        EXPECT_EQ(scene.SetTarget(&target, false), 0);
        EXPECT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        config.unreadCharMs = 10;
        config.readCharMs = 5;
        config.fastForwardKey = 1;
        g_pAppConfig = &config;
    }
    ~TypingFixture()
    {
        object.reset();
        tasks.CancelAll();
        tasks.RunDue(TimerNow());
        g_pAppConfig = nullptr;
        winapi::UseVirtualClock(false);
    }
    // A message record in script memory: scope, number, text.
    void SetText(const std::string& text, bool read = false)
    {
        std::vector<uint8_t> b{0, 1, 0};
        b.insert(b.end(), text.begin(), text.end());
        b.push_back(0);
        const uint32_t at = memory.Allocate(static_cast<uint32_t>(b.size()));
        std::memcpy(memory.Span(at, static_cast<uint32_t>(b.size())), b.data(), b.size());
        store.read = read;
        ASSERT_EQ(store.SetMessage(at), 0);
    }
    CTextObject& Make(int width = 300, int height = 100)
    {
        object = std::make_unique<CTextObject>(&store, &tasks);
        EXPECT_EQ(object->Create(&scene.GetList(), 1, width, height, 0, 0, &font, nullptr, 0), 0);
        return *object;
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        tasks.RunDue(TimerNow());
    }
    // Body bytes typed so far.
    size_t Typed() const { return store.ParseCursor(); }

    CTestGameApp app;
    CScriptMemory memory{1u << 16};
    Store store{memory};
    CTimerManager tasks;
    CImage target;
    CScene scene;
    CGlyphFont font;
    AppConfig config{};
    std::unique_ptr<CTextObject> object;
};

} // namespace

TEST(TextObject, SpeedsReadAndUnreadAndNoWait)
{
    struct Case {
        const char* what;
        bool read;
        uint8_t noWait;
        uint32_t step; // ms between characters
    };
    const Case cases[] = {
        {"unread", false, 0, 10},
        {"read", true, 0, 5},
        {"unread no-wait", false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TypingFixture f;
        f.config.unreadNoWait = c.noWait;
        f.SetText("abcdef", c.read);
        CTextObject& o = f.Make();
        ASSERT_EQ(o.StartTyping(false), 0);
        EXPECT_EQ(o.TypingTask()->GetCharTime(), c.read ? 5 : 10);
        f.Run(0);
        if (c.noWait) {
            EXPECT_EQ(f.Typed(), 6u); // the whole text in the first update
            continue;
        }
        EXPECT_EQ(f.Typed(), 1u);
        f.Run(c.step - 1);
        EXPECT_EQ(f.Typed(), 1u);
        f.Run(1);
        EXPECT_EQ(f.Typed(), 2u);
        for (int i = 0; i < 10; ++i)
            f.Run(c.step);
        EXPECT_EQ(o.TypingTask()->GetLastKind(), 5);
        EXPECT_EQ(o.TypingTask()->GetPhase(), CTypingTask::kFinished);
        EXPECT_TRUE(o.TypingTask()->IsPaused());
    }
}

TEST(TextObject, WaitsShowTheAnimationUntilThePlayerGoesOn)
{
    TypingFixture f;
    CImage sheetImage, shown;
    ASSERT_EQ(sheetImage.Create(32, 16, 32, 0), 0);
    ASSERT_EQ(shown.Create(16, 16, 32, 0), 0);
    CCellSheet sheet;
    CSprite user;
    user.SetImage(&shown, nullptr, 0, 0);
    ASSERT_EQ(sheet.SetImage(&sheetImage, 16, 16, nullptr, &shown, 0, 0, 0, 0, false), 0);
    sheet.SetAnimation(2, 50, 0, 0, 1);
    sheet.AddUser(&user);
    for (const char* wait : {"$", "$&", "$\0"}) {
        SCOPED_TRACE(wait);
        const std::string text = std::string("ab") + (std::strcmp(wait, "$\0") == 0 ? "$" : wait) + "cd";
        f.SetText(text);
        CTextObject& o = f.Make();
        o.SetTypingAnimation(&sheet);
        ASSERT_EQ(o.StartTyping(false), 0);
        ASSERT_NE(o.WaitAnimation(), nullptr);
        EXPECT_FALSE(o.IsWaitShown());
        EXPECT_FALSE(user.IsVisible());
        for (int i = 0; i < 4; ++i)
            f.Run(10);
        EXPECT_EQ(o.TypingTask()->GetPhase(), CTypingTask::kWaiting);
        EXPECT_TRUE(o.IsWaitShown());
        EXPECT_TRUE(user.IsVisible());
        const size_t at = f.Typed();
        f.Run(100);
        EXPECT_EQ(f.Typed(), at); // the wait holds
        EXPECT_EQ(o.ControlTyping(3), 0);
        EXPECT_FALSE(o.IsWaitShown());
        EXPECT_EQ(o.ControlTyping(3), 0); // not paused any more: nothing
        f.Run(10);
        EXPECT_GT(f.Typed(), at);
        f.object.reset();
    }
    sheet.RemoveUser(&user);
}

TEST(TextObject, ACharacterThatDoesNotFitOpensTheNextPage)
{
    TypingFixture f;
    f.SetText(std::string(200, 'W'));
    CTextObject& o = f.Make(80, 40);
    ASSERT_EQ(o.StartTyping(false), 0);
    EXPECT_EQ(o.ControlTyping(1), 0);
    EXPECT_EQ(o.TypingTask()->GetLastKind(), 3);
    const size_t fitted = f.Typed();
    ASSERT_GT(fitted, 0u);
    ASSERT_LT(fitted, 200u);
    const int startX = 8;
    // Going on: the new page begins with the character that did not fit.
    EXPECT_EQ(o.ControlTyping(3), 0);
    EXPECT_EQ(o.ControlTyping(0), 0);
    EXPECT_GT(f.Typed(), fitted);
    o.NewPage();
    EXPECT_EQ(o.GetCursorX(), startX);
    // Page ends (&) clear the panel and go on in the same step.
    f.SetText("ab&cd");
    CTextObject& p = f.Make();
    ASSERT_EQ(p.StartTyping(false), 0);
    EXPECT_EQ(p.ControlTyping(1), 0);
    EXPECT_EQ(p.TypingTask()->GetLastKind(), 5);
    const int endX = p.GetCursorX();
    f.SetText("cd");
    CTextObject& q = f.Make();
    ASSERT_EQ(q.StartTyping(false), 0);
    q.ControlTyping(1);
    EXPECT_EQ(endX, q.GetCursorX()); // only "cd" stands on the last page
}

TEST(TextObject, TagsInsertTextAndChangeTheHeightUntilTheEnd)
{
    struct Case {
        const char* text;
        int32_t height; // after the tag
    };
    const Case cases[] = {
        {"a<4>b", 20},
        {"a<-4>b", 12},
        {"a<-100>b", 1},
        {"a<99999>b", 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TypingFixture f;
        f.SetText(c.text);
        CTextObject& o = f.Make();
        ASSERT_EQ(o.StartTyping(false), 0);
        o.ControlTyping(0); // "a" then the tag, then "b"... up to the end
        EXPECT_EQ(o.TypingTask()->GetLastKind(), 5);
        EXPECT_EQ(std::abs(f.font.m_logFont.lfHeight), 16); // back at the end
        f.SetText(c.text);
        ASSERT_EQ(o.StartTyping(false), 0);
        f.Run(0);  // "a"
        f.Run(10); // the tag, then "b"
        EXPECT_EQ(std::abs(f.font.m_logFont.lfHeight), c.height);
        EXPECT_GT(o.GetLineHeight(), 0);
        f.Run(10);
        EXPECT_EQ(std::abs(f.font.m_logFont.lfHeight), 16);
    }
    TypingFixture f;
    f.SetText("a<\"XY\">b");
    CTextObject& o = f.Make();
    ASSERT_EQ(o.StartTyping(false), 0);
    f.Run(0);
    const int afterA = o.GetCursorX();
    f.Run(10); // the string tag ends the step
    EXPECT_GT(o.GetCursorX(), afterA);
    EXPECT_EQ(o.TypingTask()->GetLastKind(), 0);
}

TEST(TextObject, SkipKeyBySettingAndUnreadRule)
{
    struct Case {
        const char* what;
        uint8_t key;      // b130: 0 Shift, 1 Ctrl
        int scan;         // held
        uint8_t noUnread; // b131
        bool read;
        bool skips;
    };
    const Case cases[] = {
        {"ctrl held", 1, 0x1D, 0, false, true},
        {"shift held, ctrl chosen", 1, 0x2A, 0, false, false},
        {"shift held and chosen", 0, 0x2A, 0, false, true},
        {"unread with b131", 1, 0x1D, 1, false, false},
        {"read with b131", 1, 0x1D, 1, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TypingFixture f;
        f.config.fastForwardKey = c.key;
        f.config.noFastForwardUnread = c.noUnread;
        f.SetText("abcdef$gh", c.read);
        CTextObject& o = f.Make();
        ASSERT_EQ(o.StartTyping(false), 0);
        auto* keyboard = static_cast<CMessageKeyboard*>(f.app.GetInput().GetKeyboard());
        keyboard->OnKeyDown(c.scan == 0x1D ? 0x11 : 0x10, LPARAM(c.scan) << 16);
        f.Run(0);
        EXPECT_EQ(o.TypingTask()->GetPhase() == CTypingTask::kFinished, c.skips);
        EXPECT_EQ(f.Typed(), c.skips ? 9u : 1u); // waits do not stop a skip
        keyboard->OnKeyUp(c.scan == 0x1D ? 0x11 : 0x10);
    }
}

TEST(TextObject, ControlTypingCodesAndBadTokens)
{
    TypingFixture f;
    f.SetText("ab$cd$ef");
    CTextObject& o = f.Make();
    EXPECT_EQ(o.ControlTyping(0), 1); // no task yet
    ASSERT_EQ(o.StartTyping(false), 0);
    EXPECT_EQ(o.ControlTyping(4), 2);
    EXPECT_EQ(o.ControlTyping(0), 0); // "ab" up to the wait
    EXPECT_EQ(f.Typed(), 3u);
    EXPECT_EQ(o.TypingTask()->GetLastKind(), 1);
    EXPECT_EQ(o.ControlTyping(3), 0);
    EXPECT_EQ(o.ControlTyping(2), 0); // the rest of the page over the waits
    EXPECT_EQ(o.TypingTask()->GetPhase(), CTypingTask::kFinished);
    EXPECT_EQ(f.Typed(), 8u);

    f.SetText("a<\"unclosed");
    ASSERT_EQ(o.StartTyping(false), 0);
    EXPECT_EQ(o.TypingTask()->StepTokens(true), 1);
    EXPECT_EQ(o.TypingTask()->GetLastKind(), -1);
    EXPECT_EQ(CTextObject(nullptr, &f.tasks).StartTyping(false), 1);
    EXPECT_EQ(CTextObject(&f.store, nullptr).StartTyping(false), 1);
}

// A page typed at once draws each token as its text ("<<" as "<", one- and two-byte characters):
// the same pixels as the characters drawn one by one.
TEST(TextObject, TypedPageDrawsEachTokenAsItsText)
{
    TypingFixture f;
    const std::string body = winapi::Sjis("aあ<<yテz語");
    f.SetText(body);
    CTextObject& o = f.Make();
    o.SetWrapReserve(0);
    ASSERT_EQ(o.StartTyping(false), 0);
    EXPECT_EQ(o.ControlTyping(2), 0);
    ASSERT_EQ(f.Typed(), body.size());

    CTextPanel reference;
    ASSERT_EQ(reference.Create(&f.scene.GetList(), 1, 300, 100, 0, 0, &f.font, nullptr, 0), 0);
    reference.SetWrapReserve(0);
    const std::string text = winapi::Sjis("aあ<yテz語");
    for (const char* p = text.c_str(); *p != 0;)
        ASSERT_EQ(reference.DrawNextChar(&p), 0);
    const CImage& a = o.GetImage();
    const CImage& b = reference.GetImage();
    ASSERT_EQ(a.GetPitch(), b.GetPitch());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    EXPECT_EQ(std::memcmp(a.GetBits(), b.GetBits(), static_cast<size_t>(a.GetPitch()) * a.GetHeight()), 0);
}

TEST(TextObject, NamePanelAndVoiceLine)
{
    TypingFixture f;
    CTextPanel name;
    ASSERT_EQ(name.Create(&f.scene.GetList(), 1, 100, 30, 0, 0, &f.font, nullptr, 0), 0);
    name.SetVisible(false);
    struct Case {
        std::string text;
        bool nameShown;
        int result;
        const char* voice;
    };
    const Case cases[] = {
        {"#Taro\\V0123456789ABCDE$hello", true, 0, "V0123456789ABCDE"},
        {"#Taro\\V0123456789ABCDEF$hello", true, 2, ""},
        {"plain", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        f.SetText(c.text);
        CTextObject& o = f.Make();
        o.SetNamePanel(&name, 0);
        EXPECT_EQ(o.StartTyping(false), c.result);
        EXPECT_EQ(name.IsVisible(), c.nameShown);
        EXPECT_STREQ(o.GetVoiceName(), c.voice);
        if (c.nameShown) {
            EXPECT_GT(name.GetCursorX(), 8);
        }
    }
}

TEST(TextObject, DeletedWhileTypingTakesItsTasks)
{
    TypingFixture f;
    CImage sheetImage, shown;
    ASSERT_EQ(sheetImage.Create(32, 16, 32, 0), 0);
    ASSERT_EQ(shown.Create(16, 16, 32, 0), 0);
    CCellSheet sheet;
    ASSERT_EQ(sheet.SetImage(&sheetImage, 16, 16, nullptr, &shown, 0, 0, 0, 0, false), 0);
    sheet.SetAnimation(2, 50, 0, 0, 1);
    f.SetText("abcdef$gh");
    CTextObject& o = f.Make();
    o.SetTypingAnimation(&sheet);
    ASSERT_EQ(o.StartTyping(false), 0);
    f.Run(0);
    EXPECT_EQ(f.tasks.GetCount(), 2u);
    f.object.reset();
    f.Run(10); // ASan: no step reaches the deleted object
    EXPECT_EQ(f.tasks.GetCount(), 0u);
}

TEST(TextObject, ListMakesTextObjectsAndDeletesThem)
{
    TypingFixture f;
    CTextObjectList list;
    list.SetScene(&f.scene);
    CTextObject* made = nullptr;
    CTimerManager* saved = g_pObjectManager;
    g_pObjectManager = &f.tasks;
    ASSERT_EQ(list.AddTextObject(&made, 0, 0, 100, 50, &f.font, nullptr, 1), 0);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetType(), kControlTextObject);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.AddTextObject(&made, 0, 0, 100, 50, nullptr, nullptr, 1), 1);
    EXPECT_EQ(made, nullptr);
    list.DeleteAll();
    g_pObjectManager = saved;
}

TEST(TextObject, ClickAdvanceCompletesUpToTheBreak)
{
    TypingFixture f;
    f.SetText("abcdef$gh");
    CTextObject& o = f.Make();
    ASSERT_EQ(o.StartTyping(false), 0);
    f.Run(0);
    f.Run(10);
    EXPECT_EQ(f.Typed(), 2u);
    CMouseDevice* mouse = f.app.GetInput().GetMouse();
    f.app.SetCursorPos(5, 5);
    f.app.GetInput().OnLButtonDown();
    mouse->Poll();
    ASSERT_TRUE(mouse->IsPushed(0));
    f.Run(1);
    EXPECT_EQ(f.Typed(), 7u); // the page up to the wait
    EXPECT_EQ(o.TypingTask()->GetPhase(), CTypingTask::kWaiting);
    // The same click ends the wait on the next update.
    f.Run(1);
    EXPECT_EQ(o.TypingTask()->GetPhase(), CTypingTask::kTyping);
    f.app.GetInput().OnLButtonUp();
    mouse->Poll();
    mouse->Poll();
    // Without click advance a click only ends waits.
    f.SetText("abcdef");
    ASSERT_EQ(o.StartTyping(false), 0);
    o.SetClickAdvance(false);
    f.Run(0);
    f.app.GetInput().OnLButtonDown();
    mouse->Poll();
    f.Run(1);
    EXPECT_EQ(f.Typed(), 1u);
}

TEST(TextObject, LinkedToggleTypesThePageWhileOn)
{
    struct Case {
        const char* what;
        int state;
        bool read;
        uint8_t stopAtUnread; // b5
        bool atOnce;
        bool enabledAfter;
    };
    const Case cases[] = {
        {"off", 0, false, 0, false, true},
        {"state 3 unread", 3, false, 0, true, true},
        {"state 4 read", 4, true, 1, true, true},
        {"state 5 unread", 5, false, 0, true, true},
        {"state 7 unread", 7, false, 0, true, true},
        {"state 6 is not on", 6, false, 0, false, true},
        {"on, unread, b5 switches it off", 3, false, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TypingFixture f;
        CImage faces;
        ASSERT_EQ(faces.Create(64, 16, 32, 0), 0);
        CToggleButton toggle;
        ASSERT_EQ(toggle.CreateFromImage(&f.scene.GetList(), 1, nullptr, &faces, 0, false, nullptr, 0, 0, 0, 255, 0), 0);
        toggle.SetState(c.state);
        ASSERT_EQ(toggle.GetState(), c.state);
        f.config.skipStopsAtUnread = c.stopAtUnread;
        f.SetText("abcdef$gh", c.read);
        CTextObject& o = f.Make();
        o.SetLinkedControl(&toggle);
        ASSERT_EQ(o.StartTyping(false), 0);
        EXPECT_EQ(o.TypingTask()->GetPhase() == CTypingTask::kFinished, c.atOnce);
        EXPECT_EQ(toggle.IsEnabled(), c.enabledAfter);
        if (!c.enabledAfter) {
            EXPECT_FALSE(o.IsLinkedOn());
        }
        f.object.reset();
    }
}
