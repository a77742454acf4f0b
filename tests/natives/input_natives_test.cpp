// Natives 541-595, 796-799 and 802-808 through the host: the clock and the scripts' timers on the
// virtual clock, the action map, the keyboard and mouse fed as the window feeds them, a virtual
// joystick, the cursor, the message dialog, and the desktop services kept to the roots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "drawing/sprite.h"
#include "platform/cursor_image.h"
#include "platform/input_manager.h"
#include "platform/timer_resolution.h"
#include "support/native_script.h"
#include "winapi/host_headless.h"
#include "winapi/joystick.h"
#include "winapi/shell.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

struct InputNatives : testing::Test {
    HostFixture f;
    CScriptHost* host = nullptr;
    CActionMap* map = nullptr;
    void SetUp() override
    {
        host = &f.Start();
        CInputManager& input = f.app.GetInput();
        ASSERT_EQ(input.CreateDevices(nullptr, kInputMessages, kInputMessages), 0u);
        ASSERT_EQ(input.CreateActionMap(8, &map), 0u);
        input.m_active = 1; // the window has the focus: polls take the input
        f.app.actions = map;
        g_pKeyboard = input.GetKeyboard();
        g_pMouse = input.GetMouse();
        g_pJoystick = nullptr;
    }
    void TearDown() override
    {
        g_pKeyboard = nullptr;
        g_pMouse = nullptr;
        g_pJoystick = nullptr;
        winapi::DetachAllJoysticks();
    }
    uint32_t Out(int native, const std::string& args = "0", const std::string& data = "")
    {
        return Script(*host, Call(native, args, data)).Word("out");
    }
    std::string Str(const std::string& text) { return "s: .sjis \"" + text + "\""; }
    CMessageKeyboard& Keyboard() { return *static_cast<CMessageKeyboard*>(g_pKeyboard); }
    CMessageMouse& Mouse() { return *static_cast<CMessageMouse*>(g_pMouse); }
    void Poll() { f.app.GetInput().Poll(); }
};

void Advance(uint32_t ms)
{
    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    winapi::CurrentHeadlessHost()->AdvanceClock(ms);
}

// A scene object that can draw the software cursor.
struct CursorPart : ICursorImage {
    int GetCursorType() override { return kImageRegion; }
    bool IsCursorReady() override { return true; }
    RECT GetCursorSourceRect() override { return RECT{0, 0, 64, 16}; }
    void SetCursorEnabled(bool) override {}
    void SetCursorPosition(int, int) override {}
    void SetCursorSourceOrigin(int, int) override {}
};
struct CursorDouble : CSprite, CursorPart {};

} // namespace

TEST_F(InputNatives, ClockAndTimersPauseNested)
{
    EXPECT_EQ(Out(541), TimerNow());
    EXPECT_EQ(Out(543, "0"), 1u); // an empty set
    EXPECT_EQ(Out(543, "0x10004"), 0u); // the id is 16 bits: 4 timers
    EXPECT_EQ(Out(544, "1"), 1u);
    EXPECT_EQ(Out(544, "9"), 0u);
    Advance(100);
    EXPECT_EQ(Out(545, "1"), 100u);
    Out(547, "1");
    Advance(50);
    EXPECT_EQ(Out(545, "1"), 100u);
    // The timer's own pause outlasts a pause and resume of all.
    Out(549);
    Out(550);
    Advance(10);
    EXPECT_EQ(Out(545, "1"), 100u);
    Out(548, "1");
    Advance(20);
    EXPECT_EQ(Out(545, "1"), 120u);
    Out(546, "1, 500");
    EXPECT_EQ(Out(545, "1"), 500u);
    EXPECT_EQ(Out(545, "9"), 0u);

    {
        Script date(*host, Call(542, "y, m, d, h, 0", "y: .word 0\nm: .word 0\nd: .word 0\nh: .word 99"));
        SYSTEMTIME now{};
        GetLocalTime(&now);
        EXPECT_EQ(date.Word("y"), now.wYear);
        EXPECT_GE(date.Word("m"), 1u);
        EXPECT_LE(date.Word("h"), 23u);
        // An out address past memory stores none of the five.
        Script bad(*host, Call(542, "y, 0xFFFFFFF0, 0, 0, 0", "y: .word 7"));
        EXPECT_TRUE(bad.Faulted());
        EXPECT_EQ(bad.Word("y"), 7u);
    }
    f.host.reset(); // the host's end empties the timers
    EXPECT_EQ(g_ScriptTimers.GetCount(), 0);
}

TEST_F(InputNatives, ActionsAndSkipKeys)
{
    ASSERT_EQ(Out(555, "4, 0, 0x1C"), 0u);  // decide: Enter
    ASSERT_EQ(Out(555, "2, 0, 0x39"), 0u);  // action 2: Space
    EXPECT_EQ(Out(555, "9, 0, 1"), 1u);     // bad action
    EXPECT_EQ(Out(555, "1, 7, 1"), 2u);     // no such source
    Keyboard().OnKeyDown(VK_RETURN, LPARAM(0x1C) << 16);
    Poll();
    struct Row {
        int native;
        const char* args;
        uint32_t expected;
    };
    const Row pushed[] = {
        {551, "4", 1}, {552, "4", 1}, {551, "2", 0}, {553, "0, 0", 4}, {554, "5, 0", 0xFFFFFFFF}, {553, "0, 4", 0xFFFFFFFF},
        {558, "0", 1}, {559, "0", 0}, {560, "0", 0}, {564, "0", 1}, {569, "0", 0},
        {572, "0x1C", 1}, {573, "0x1C", 1}, {572, "0x39", 0},
    };
    for (const Row& r : pushed)
        EXPECT_EQ(Out(r.native, r.args), r.expected) << r.native << " " << r.args;
    Poll(); // held: no longer pushed
    EXPECT_EQ(Out(558), 0u);
    EXPECT_EQ(Out(564), 1u);
    EXPECT_EQ(Out(572, "0x1C"), 0u);
    Keyboard().OnKeyUp(VK_RETURN);
    // Rebind decide to Space, then unbind it.
    EXPECT_EQ(Out(557, "4, 0, 0x39, -1"), 0u);
    Keyboard().OnKeyDown(VK_SPACE, LPARAM(0x39) << 16);
    Poll();
    EXPECT_EQ(Out(558), 1u);
    EXPECT_EQ(Out(562), 1u);
    EXPECT_EQ(Out(556, "4, 0, 0x39"), 0u);
    EXPECT_EQ(Out(556, "4, 0, 0x39"), 3u);
    EXPECT_EQ(Out(552, "4"), 0u);
    Keyboard().OnKeyUp(VK_SPACE);

    // Skip keys: Ctrl by default, Shift when the settings say so.
    Poll();
    Keyboard().OnKeyDown(VK_CONTROL, LPARAM(0x1D) << 16);
    Poll();
    EXPECT_EQ(Out(570), 1u);
    EXPECT_EQ(Out(571), 1u);
    Poll();
    EXPECT_EQ(Out(570), 0u);
    EXPECT_EQ(Out(571), 1u);
    Keyboard().OnKeyUp(VK_CONTROL);
    Poll();
    EXPECT_EQ(Out(571), 0u);

    // Without a map: 0, and -1 for the searches.
    f.app.actions = nullptr;
    EXPECT_EQ(Out(551, "4"), 0u);
    EXPECT_EQ(Out(553, "0, 0"), 0xFFFFFFFFu);
    EXPECT_EQ(Out(555, "4, 0, 1"), 1u);
}

TEST_F(InputNatives, KeyboardStateMouseAndJoystick)
{
    g_pKeyboard->m_scrollLock = 1;
    g_pKeyboard->m_numLock = 1;
    EXPECT_EQ(Out(574), 1u);
    EXPECT_EQ(Out(575), 0u);
    EXPECT_EQ(Out(576), 1u);
    Out(577, "0x100"); // a byte
    EXPECT_EQ(g_pKeyboard->m_keyRepeat, 0);
    Out(577, "1");
    EXPECT_EQ(g_pKeyboard->m_keyRepeat, 1);
    Keyboard().OnKeyDown('A', (LPARAM(0x1E) << 16) | (LPARAM(1) << 30));
    Poll();
    EXPECT_EQ(Out(578, "0x1E"), 1u);
    Keyboard().OnKeyUp('A');

    Mouse().OnButton(1, true);
    f.app.GetInput().OnMouseWheel(WPARAM(120) << 16);
    Poll();
    EXPECT_EQ(Out(585), 0u);
    EXPECT_EQ(Out(586), 1u);
    EXPECT_EQ(Out(589), 1u);
    EXPECT_EQ(Out(590), 0u);
    Script wheel(*host, Call(591, "w", "w: .word 0"));
    EXPECT_EQ(wheel.Word("out"), 1u);
    EXPECT_NE(wheel.Word("w"), 0u);
    EXPECT_EQ(Out(592, "0"), 0u);
    EXPECT_TRUE(Script(*host, Call(591, "0xFFFFFFF0")).Faulted());
    Mouse().OnButton(1, false);

    // No joystick: 0 for all three.
    EXPECT_EQ(Out(593), 0u);
    EXPECT_EQ(Out(594, "4"), 0u);
    EXPECT_EQ(Out(595, "4"), 0u);
    winapi::JoystickInfo pad;
    pad.buttons = 6;
    const int id = winapi::AttachJoystick(pad);
    ASSERT_GE(id, 0);
    JoystickSlotTable = JoystickSlotTableType{};
    ASSERT_EQ(f.app.GetInput().CreateJoystick(-1, nullptr), 0);
    g_pJoystick = f.app.GetInput().GetJoystick(0);
    ASSERT_NE(g_pJoystick, nullptr);
    winapi::JoystickState state;
    state.buttons = 1u << 1;
    winapi::SetJoystickState(id, state);
    Poll();
    EXPECT_EQ(Out(593), 6u);
    EXPECT_EQ(Out(594, "5"), 1u); // codes 4 up are the buttons
    EXPECT_EQ(Out(595, "5"), 1u);
    EXPECT_EQ(Out(595, "4"), 0u);
    g_pJoystick = nullptr;
    EXPECT_EQ(Out(593), 0u);
}

TEST_F(InputNatives, CursorShapeImageAndPosition)
{
    EXPECT_EQ(Out(579, "3"), 0u);
    EXPECT_EQ(g_pMouse->m_cursorKind, 3);
    // Kind 200 names cursor resource 307, which the program lacks: nothing changes.
    EXPECT_EQ(Out(579, "200"), 0u);
    EXPECT_EQ(g_pMouse->m_cursorKind, 3);

    auto* image = new CursorDouble;
    const uint32_t handle = host->ObjectHandle(static_cast<CDrawable*>(image));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(Out(580, "0, 4, 100, 0, 0, 0"), 3u);
    EXPECT_EQ(Out(580, std::to_string(handle) + ", 4, 100, 1, 2, 3"), 0u);
    EXPECT_EQ(g_pMouse->m_image, image);
    EXPECT_EQ(g_pMouse->m_frameCount, 4);
    EXPECT_EQ(g_pMouse->m_hotY, 3);
    // A standard cursor takes the image away.
    EXPECT_EQ(Out(579, "0"), 0u);
    EXPECT_EQ(g_pMouse->m_image, nullptr);
    delete image;
    EXPECT_EQ(Out(580, std::to_string(handle) + ", 4, 100, 1, 2, 3"), 3u);

    Script at(*host, Call(582, "x, y", "x: .word 5\ny: .word 5"));
    EXPECT_EQ(at.Word("x"), static_cast<uint32_t>(f.app.GetCursorPosition().x));
    EXPECT_EQ(at.Word("y"), static_cast<uint32_t>(f.app.GetCursorPosition().y));
    EXPECT_EQ(Out(584), 0u); // the frame is not active
    Out(581, "1"); // without a main window nothing is sent
    Out(583, "10, 20");

    g_pMouse = nullptr;
    EXPECT_EQ(Out(585), 0u);
    EXPECT_EQ(Out(579, "3"), 0u);
}

TEST_F(InputNatives, DialogAndMessageBoxes)
{
    f.app.dialogAnswer = 0;
    EXPECT_EQ(Out(799, "1, 1, s", Str("よろしいですか")), 0u);
    f.app.dialogAnswer = 1;
    EXPECT_EQ(Out(799, "-1, 0, s", Str("OK")), 1u);
    ASSERT_EQ(f.app.calls.size(), 2u);
    EXPECT_EQ(f.app.calls[0], std::string("RequestMessageDialog 2 1 - ") + winapi::Sjis("よろしいですか"));
    EXPECT_EQ(f.app.calls[1], "RequestMessageDialog 0 0 - OK");
    // The boxes need the frame's main window; without one they answer 0.
    EXPECT_EQ(Out(796, "2, s, 0", Str("x")), 0u);
    EXPECT_EQ(Out(797, "3, s, s", Str("x")), 0u);
    EXPECT_TRUE(Script(*host, Call(798, "3, 0xFFFFFFF0, 0")).Faulted());
}

TEST_F(InputNatives, DesktopServicesStayInTheRoots)
{
    f.dir.Write("readme.txt", "hello");
    const size_t before = winapi::ShellOpenedTargets().size();
    Out(802, "s", Str("https://example.org/"));
    Out(802, "s", Str("readme.txt"));
    Out(802, "s", Str("Z:\\\\etc\\\\passwd"));
    Out(802, "s", Str("file:///etc/passwd"));
    const auto opened = winapi::ShellOpenedTargets();
    ASSERT_EQ(opened.size(), before + 2);
    EXPECT_EQ(opened[before], "https://example.org/");
    EXPECT_EQ(opened[before + 1], f.dir.Linux("readme.txt"));

    // 803: the Windows folder with its backslash; 5 leaves the buffer alone; a block too small
    // for the folder faults.
    Script windows(*host, Call(803, "b, 0", "b: .space 300"));
    EXPECT_EQ(windows.Word("out"), 1u);
    EXPECT_EQ(windows.Text("b"), "Z:\\windows\\");
    Script five(*host, Call(803, "b, 5", "b: .sjis \"keep\""));
    EXPECT_EQ(five.Word("out"), 0u);
    EXPECT_EQ(five.Text("b"), "keep");
    const uint32_t small = host->Memory().Allocate(8);
    uint32_t start = 0, size = 0;
    ASSERT_TRUE(host->Memory().FindBlock(small, &start, &size));
    Script tight(*host, Call(803, std::to_string(start + size - 4) + ", 0")); // 4 bytes left
    EXPECT_TRUE(tight.Faulted());
    host->Memory().Free(small);
    setenv("XDG_DATA_HOME", f.dir.Linux("data").c_str(), 1);
    Script appData(*host, Call(803, "b, 3", "b: .space 300"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(appData.Word("out"), 1u);
    EXPECT_EQ(appData.Text("b"), winapi::WindowsPathFromLinux(f.dir.Linux("data")) + "\\");

    // 804: a folder in the roots opens (recorded here); one outside is a bad path.
    std::filesystem::create_directories(f.dir.Linux("saves"));
    EXPECT_EQ(Out(804, "s", Str("saves")), 0u);
    EXPECT_EQ(winapi::ShellOpenedTargets().back(), f.dir.Linux("saves"));
    EXPECT_EQ(Out(804, "s", Str("missing")), 2u);
    EXPECT_EQ(Out(804, "s", Str("Z:\\\\etc")), 1u);
    EXPECT_EQ(Out(804, "0"), 1u);

    // 805: a copy inside the roots; sources and destinations elsewhere are refused.
    EXPECT_EQ(Out(805, "s, t", Str("readme.txt") + "\nt: .sjis \"copy.txt\""), 0u);
    EXPECT_EQ(f.dir.Read("copy.txt"), "hello");
    f.dir.Write("empty.txt", "");
    EXPECT_EQ(Out(805, "s, t", Str("empty.txt") + "\nt: .sjis \"copy2.txt\""), 0u);
    EXPECT_TRUE(std::filesystem::exists(f.dir.Linux("copy2.txt")));
    EXPECT_EQ(Out(805, "s, t", Str("missing.txt") + "\nt: .sjis \"copy3.txt\""), 1u);
    EXPECT_EQ(Out(805, "s, t", Str("Z:\\\\etc\\\\hostname") + "\nt: .sjis \"copy4.txt\""), 1u);
    const std::string outside = (std::filesystem::temp_directory_path() / "tessaro_805_outside.txt").string();
    std::filesystem::remove(outside);
    EXPECT_EQ(Out(805, "s, t", Str("readme.txt") + "\nt: .sjis \"" + winapi::WindowsPathFromLinux(outside) + "\""), 2u);
    EXPECT_FALSE(std::filesystem::exists(outside));

    // 806-808 change nothing.
    EXPECT_EQ(Out(806, "s, 1", Str("readme.txt")), 0u);
    EXPECT_EQ(Out(807, "s", Str("x.scr")), 0u);
    EXPECT_EQ(Out(808), 0u);
}
