// CAppFrame's text entry (the 32-byte buffer and its deliveries), the IME switch and composition,
// cursor tracking in a window and over a scaled, letterboxed full screen, and the keyboard hook.
#include <gtest/gtest.h>

#include "command_output.h"
#include "frame_fixture.h"
#include "winapi/dinput.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"

namespace {

class FrameText : public FrameFixture {
protected:
    void Type(const std::string& bytes)
    {
        for (unsigned char c : bytes)
            SendMessageA(hwnd, WM_CHAR, c, 1);
    }
    // Delivers once; → the bytes that reached the control.
    std::string Deliver()
    {
        control.text.clear();
        game->DeliverTextInput(&control);
        return control.text;
    }

    FrameTestText control;
};

// Moves the cursor to each point (screen coordinates) and checks what the frame makes of it.
struct CursorStep {
    int x, y;
    bool over;
    int posX, posY;
    int edge;
};

void CheckCursorSteps(FrameTestGame& game, const std::vector<CursorStep>& steps, int originX, int originY)
{
    for (const CursorStep& s : steps) {
        SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
        ::SetCursorPos(originX + s.x, originY + s.y);
        EXPECT_EQ(game.UpdateCursor(), s.over);
        EXPECT_EQ(game.GetCursorPosition().x, s.posX);
        EXPECT_EQ(game.GetCursorPosition().y, s.posY);
        EXPECT_EQ(game.GetEdge(), s.edge);
    }
}

TEST_F(FrameText, TheBufferKeepsWholeCharactersOnly)
{
    Start();
    game->AttachTextInput(hwnd);
    const std::string a = "\x82\xA0";  // a two-byte character
    struct Case {
        const char* name;
        std::string typed;
        std::string delivered;
    } kCases[] = {
        {"33 bytes keep the first 32", std::string(33, 'x'), std::string(32, 'x')},
        {"a lead byte filling the buffer goes with its trail", std::string(31, 'y') + a, std::string(31, 'y')},
        {"a character that fits exactly", std::string(30, 'z') + a, std::string(30, 'z') + a},
        {"a lead byte waiting is not delivered", std::string(3, 'w') + "\x82", ""},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        game->AttachTextInput(hwnd);  // a fresh buffer
        Type(c.typed);
        EXPECT_EQ(Deliver(), c.delivered);
    }
    // The trail byte completes the waiting character; after a delivery the next byte starts anew.
    Type("\xA0");
    EXPECT_EQ(Deliver(), "www" + a);
    EXPECT_EQ(Deliver(), "");
    Type("k");
    EXPECT_EQ(Deliver(), "k");
    game->AttachTextInput(nullptr);
}

TEST_F(FrameText, AKeyGoesFirstAndAloneThenTheText)
{
    Start();
    game->AttachTextInput(hwnd);
    SendMessageA(hwnd, WM_KEYDOWN, VK_LEFT, 0);
    Type("ab");
    EXPECT_EQ(game->DeliverTextInput(&control), 1);  // the key's answer
    EXPECT_EQ(control.keys, std::vector<int>{VK_LEFT});
    EXPECT_EQ(control.text, "");
    EXPECT_EQ(game->DeliverTextInput(&control), 2);  // the text's answer
    EXPECT_EQ(control.text, "ab");
    EXPECT_EQ(game->DeliverTextInput(&control), 0);
    game->AttachTextInput(nullptr);
}

TEST_F(FrameText, JapaneseTypedThroughTheHostArrivesAsCp932)
{
    Start();
    game->AttachTextInput(hwnd);
    winapi::HostText(hwnd, "日本語ｶﾅ");
    game->PumpMessages(true);
    const std::string expected = CommandOutput("printf '日本語ｶﾅ' | iconv -f UTF-8 -t CP932", false);
    ASSERT_EQ(expected.size(), 8u);
    EXPECT_EQ(Deliver(), expected);
    game->AttachTextInput(nullptr);
}

TEST_F(FrameText, ImeSwitchAndOpenState)
{
    Start();
    // Init switched the IME off; attaching a text window switches it on again.
    EXPECT_EQ(game->EnableIme(false), 0u);
    EXPECT_FALSE(game->SetImeOpen(true));
    game->AttachTextInput(hwnd);
    EXPECT_NE(ImmGetContext(hwnd), nullptr);
    EXPECT_TRUE(game->SetImeOpen(true));
    EXPECT_TRUE(game->GetImeContext().IsOpen());
    EXPECT_TRUE(game->SetImeOpen(false));
    EXPECT_FALSE(game->GetImeContext().IsOpen());
    EXPECT_EQ(game->EnableIme(true), 0u);
    game->AttachTextInput(nullptr);
    EXPECT_EQ(ImmGetContext(hwnd), nullptr);
    EXPECT_EQ(game->EnableIme(false), 0u);  // already off
}

TEST_F(FrameText, CompositionAndCandidatePosition)
{
    Start();
    game->AttachTextInput(hwnd);
    ASSERT_TRUE(game->SetImeOpen(true));
    winapi::HostComposition(hwnd, "にほん", 2);
    game->PumpMessages(true);
    const char* first = game->GetImeContext().UpdateComposition();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(first), winapi::Utf8ToSjis("にほん"));
    EXPECT_EQ(game->GetImeContext().UpdateComposition(), nullptr);  // unchanged
    game->GetImeContext().SetCandidatePos(30, 40);
    CANDIDATEFORM form{0, CFS_CANDIDATEPOS, POINT{30, 40}, RECT{0, 0, 0, 0}};
    ImmSetCandidateWindow(ImmGetContext(hwnd), &form);
    EXPECT_EQ(Host().TextInputRect().left, 30);
    EXPECT_EQ(Host().TextInputRect().top, 40);
    winapi::HostComposition(hwnd, "", 0);
    game->PumpMessages(true);
    game->AttachTextInput(nullptr);
}

// --- cursor ---

TEST_F(FrameText, CursorInAWindowRecordsTheEdgeItLeftByOnce)
{
    Start();
    const std::vector<CursorStep> kSteps = {
        {10, 20, true, 10, 20, 0},   {-5, -5, false, -1, -1, 7}, {-5, 100, false, -1, -1, 7},
        {100, 100, true, 100, 100, 0}, {700, 100, false, -1, -1, 6}, {100, 100, true, 100, 100, 0},
        {100, -3, false, -1, -1, 8},  {100, 500, false, -1, -1, 8}, {100, 100, true, 100, 100, 0},
        {100, 500, false, -1, -1, 2}, {700, 500, false, -1, -1, 2},
    };
    RECT client;
    GetClientRectOnScreen(hwnd, &client);
    CheckCursorSteps(*game, kSteps, client.left, client.top);
}

TEST_F(FrameText, CursorOverAScaledLetterboxedFullScreen)
{
    Start();
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    // 640x480 in 1920x1080: the picture is 1440x1080 at x 240.
    ASSERT_TRUE(screen.scaled);
    ASSERT_EQ(screen.picture.x, 240);
    const std::vector<CursorStep> kSteps = {
        {240 + 720, 540, true, 320, 240, 0},
        {240, 540, true, 0, 240, 0},
        {100, 540, true, -2, 240, 8},      // beside the picture
        {1800, 540, true, -2, 240, 8},
        {960, 0, true, 320, 0, 8},
        {960, 1079, true, 320, 479, 2},
        {1679, 300, true, 639, 133, 0},
        {0, 540, true, -2, 240, 8},
    };
    CheckCursorSteps(*game, kSteps, 0, 0);
    // The logical point goes back to the same place on the monitor.
    game->SetCursorPos(320, 240);
    POINT at;
    GetCursorPos(&at);
    EXPECT_EQ(at.x, 240 + 720);
    EXPECT_EQ(at.y, 540);
}

TEST_F(FrameText, AScalingScreenWithoutAPictureAnswersOutside)
{
    Start();
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    screen.picture = ScreenBox{0, 0, 0, 0};
    ::SetCursorPos(500, 500);
    EXPECT_FALSE(game->UpdateCursor());
    EXPECT_EQ(game->GetCursorPosition().x, -1);
    EXPECT_EQ(game->GetCursorPosition().y, -1);
}

TEST_F(FrameText, RestingOnTheTopEdgeOpensTheMenuAfterTheDelay)
{
    Start([](AppFrameOptions& o) { o.menuHoverDelay = 300; });
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    game->SetMenuHandle(menu);
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    ::SetCursorPos(500, 0);
    EXPECT_TRUE(game->UpdateCursor());
    Host().AdvanceClock(200);
    EXPECT_TRUE(game->UpdateCursor());
    EXPECT_FALSE(game->IsMenuOpen());
    Host().AdvanceClock(150);
    EXPECT_FALSE(game->UpdateCursor());
    EXPECT_TRUE(game->IsMenuOpen());
    EXPECT_TRUE(game->GetMenuWindowObject().IsValid());
    // Moving down below the menu bar closes it again.
    ::SetCursorPos(500, 400);
    EXPECT_FALSE(game->UpdateCursor());
    EXPECT_FALSE(game->IsMenuOpen());
    EXPECT_TRUE(game->UpdateCursor());
    game->SwitchScreenMode(2, 3, 0);
    DestroyMenu(menu);
}

// --- keyboard hook ---

TEST_F(FrameText, SystemKeysAreSwallowedInFullScreenOnly)
{
    // Key options 0: the system keys are the frame's (the hook goes in).
    Start([](AppFrameOptions& o) { o.keyOptions = 0x04; });
    constexpr int kTab = 43, kEsc = 41, kCtrl = 224, kAlt = 226, kLeftWin = 227, kRightWin = 231;
    struct Combo {
        const char* name;
        int modifier;  // 0 none
        int key;
        int vk;
    } kCombos[] = {
        {"Alt+Tab", kAlt, kTab, VK_TAB},
        {"Alt+Esc", kAlt, kEsc, VK_ESCAPE},
        {"Ctrl+Esc", kCtrl, kEsc, VK_ESCAPE},
        {"left Windows key", 0, kLeftWin, VK_LWIN},
        {"right Windows key", 0, kRightWin, VK_RWIN},
    };
    auto reaches = [&](const Combo& c) {
        if (c.modifier != 0)
            winapi::HostKey(hwnd, winapi::HostKeyEvent{c.modifier, true, false});
        // A key the hook swallows never reaches the key state.
        winapi::HostKey(hwnd, winapi::HostKeyEvent{c.key, true, false});
        const bool seen = GetAsyncKeyState(c.vk) < 0;
        winapi::HostKey(hwnd, winapi::HostKeyEvent{c.key, false, false});
        if (c.modifier != 0)
            winapi::HostKey(hwnd, winapi::HostKeyEvent{c.modifier, false, false});
        game->PumpMessages(true);
        return seen;
    };
    for (const Combo& c : kCombos) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(reaches(c));  // window mode: passed on
    }
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    ASSERT_NE(game->GetKeyboardHook(), nullptr);
    EXPECT_TRUE(Host().KeyboardGrabbed());
    for (const Combo& c : kCombos) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(reaches(c));
    }
    // A plain Esc still reaches the game.
    EXPECT_TRUE(reaches(Combo{"Esc", 0, kEsc, VK_ESCAPE}));
    ASSERT_EQ(game->SwitchScreenMode(2, 3, 0), 0);
    EXPECT_EQ(game->GetKeyboardHook(), nullptr);
    EXPECT_FALSE(Host().KeyboardGrabbed());
}

TEST_F(FrameText, TheHookStaysOutWhenTheKeyOptionsLeaveTheSystemKeysAlone)
{
    Start([](AppFrameOptions& o) { o.keyOptions = 0x05; });
    ASSERT_EQ(game->SwitchScreenMode(1, 32, 0), 0);
    EXPECT_EQ(game->GetKeyboardHook(), nullptr);
    EXPECT_EQ(game->InstallKeyboardHook(), 0);
    EXPECT_EQ(game->GetKeyboardHook(), nullptr);
}

} // namespace
