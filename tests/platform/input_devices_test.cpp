// Input devices and the input manager: the back-ends' samples and flags, the key code table
// through every back-end, the mouse's cursor checks, joystick thresholds and hot-plugging, the
// software cursor's frames, DirectInput's lost acquisition and the two-thread message keyboard.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "input_test_window.h"
#include "platform/input_manager.h"
#include "platform/key_code_table.h"
#include "platform/timer_resolution.h"
#include "winapi/joystick.h"
#include "winapi/text.h"

namespace {

constexpr int kScanA = 4, kScanRShift = 229;

class InputDevices : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::DetachAllJoysticks();
        JoystickSlotTable = JoystickSlotTableType{};
        winapi::DinputResetState();
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        winapi::DetachAllJoysticks();
        CoUninitialize();
    }
    // A manager with DirectInput (method 0) or the given Win32 method.
    std::unique_ptr<CInputManager> Make(int method)
    {
        auto manager = std::make_unique<CInputManager>();
        EXPECT_EQ(manager->OpenDirectInput(method == 0, reinterpret_cast<HINSTANCE>(1)), 0u);
        EXPECT_EQ(manager->CreateDevices(window.hwnd, method, method == 3 ? 1 : method), 0u);
        manager->AcquireAll();
        return manager;
    }
    InputTestWindow window;
};

TEST_F(InputDevices, HeldKeyIsPushedInTheFirstFrameOnlyInEveryBackEnd)
{
    for (int method : {0, 1, 2, 3}) {
        auto manager = Make(method);
        CKeyboardDevice* keyboard = manager->GetKeyboard();
        ASSERT_EQ(keyboard->GetMethod(), method);
        const int code = method == 3 ? DIK_Z : DIK_A;
        const int scan = method == 3 ? 29 : kScanA;
        window.Key(scan, true);
        if (method == 2)
            manager->OnKeyDown(method == 3 ? 'Z' : 'A', 0);
        std::vector<std::pair<bool, bool>> frames;
        for (int frame = 0; frame < 3; ++frame) {
            manager->Poll();
            frames.emplace_back(keyboard->IsDown(code), keyboard->IsPushed(code));
        }
        window.Key(scan, false);
        if (method == 2)
            manager->OnKeyUp('A', 0);
        manager->Poll();
        const std::vector<std::pair<bool, bool>> expected = {{true, true}, {true, false}, {true, false}};
        EXPECT_EQ(frames, expected) << "method " << method;
        EXPECT_FALSE(keyboard->IsDown(code)) << "method " << method;
        EXPECT_EQ(keyboard->FindFirstDown(), -1) << "method " << method;
    }
}

TEST_F(InputDevices, EveryTableKeyTheHostGivesReadsAsItsCodeInAllThreeBackEnds)
{
    auto direct = Make(0);
    CInputManager polling, messages;
    polling.CreateDevices(window.hwnd, 1, 1);
    messages.CreateDevices(window.hwnd, 2, 2);
    polling.AcquireAll();
    messages.AcquireAll();
    auto* messageKeyboard = static_cast<CMessageKeyboard*>(messages.GetKeyboard());
    std::set<int> seenDirect, seenPolling, seenMessages;
    for (int scancode = 1; scancode < 256; ++scancode) {
        const int vk = winapi::VirtualKeyFromScancode(scancode);
        if (vk == 0 || vk == VK_MENU || vk == VK_F1 + 9)
            continue;  // Alt and F10 start the menu loop of the window; their rows are checked below
        window.Key(scancode, true);
        messages.OnKeyDown(vk, 0);
        direct->Poll();
        polling.Poll();
        messages.Poll();
        for (size_t row = 0; row < std::size(KeyCodeTable); ++row) {
            const KeyCodeRow& r = KeyCodeTable[row];
            if (direct->GetKeyboard()->IsDown(r.code) && direct->GetKeyboard()->FindFirstDown() == r.code)
                seenDirect.insert(static_cast<int>(row));
            if (vk == r.virtualKey) {
                EXPECT_TRUE(polling.GetKeyboard()->IsDown(r.code)) << "row " << row;
                seenPolling.insert(static_cast<int>(row));
                // Shared virtual keys read as the table's last row with that key.
                if (messageKeyboard->IsPushed(r.code))
                    seenMessages.insert(static_cast<int>(row));
                EXPECT_TRUE(messageKeyboard->IsPushed(messageKeyboard->m_map[vk])) << "row " << row;
            }
        }
        window.Key(scancode, false);
        messages.OnKeyUp(vk, 0);
    }
    // Alt's rows through the state the window system keeps.
    EXPECT_EQ(messageKeyboard->m_map[VK_MENU], DIK_LMENU);
    EXPECT_EQ(messageKeyboard->m_map[VK_SHIFT], DIK_LSHIFT);
    EXPECT_EQ(messageKeyboard->m_map[VK_CONTROL], DIK_LCONTROL);
    EXPECT_EQ(messageKeyboard->m_map[VK_RETURN], DIK_RETURN);
    std::set<int> missingDirect, missingPolling;
    for (int row = 0; row < 104; ++row) {
        const int code = KeyCodeTable[row].code;
        if (!seenDirect.count(row) && code != DIK_LMENU && code != DIK_RMENU && code != DIK_F10)
            missingDirect.insert(code);
        if (!seenPolling.count(row) && KeyCodeTable[row].virtualKey != VK_MENU && code != DIK_F10)
            missingPolling.insert(code);
    }
    // The host's keyboard has no Kanji key; every other row is reachable.
    EXPECT_EQ(missingDirect, std::set<int>({DIK_KANJI}));
    EXPECT_EQ(missingPolling, std::set<int>({DIK_KANJI}));
    EXPECT_TRUE(seenMessages.count(95));   // LSHIFT
    EXPECT_FALSE(seenMessages.count(94));  // RSHIFT reads as LSHIFT
}

TEST_F(InputDevices, SharedKeysFollowTheBackEnd)
{
    auto polling = Make(1);
    window.Key(kScanRShift, true);
    polling->Poll();
    EXPECT_TRUE(polling->GetKeyboard()->IsDown(DIK_LSHIFT));
    EXPECT_TRUE(polling->GetKeyboard()->IsDown(DIK_RSHIFT));
    window.Key(kScanRShift, false);
    auto direct = Make(0);
    window.Key(kScanRShift, true);
    direct->Poll();
    EXPECT_TRUE(direct->GetKeyboard()->IsDown(DIK_RSHIFT));
    EXPECT_FALSE(direct->GetKeyboard()->IsDown(DIK_LSHIFT));
    window.Key(kScanRShift, false);
    // Pause and Num Lock share a scan code on the wire.
    window.Key(72, true);
    direct->Poll();
    EXPECT_EQ(direct->GetKeyboard()->FindFirstDown(), DIK_PAUSE);
    window.Key(72, false);
    window.Key(83, true);
    direct->Poll();
    EXPECT_EQ(direct->GetKeyboard()->FindFirstDown(), DIK_NUMLOCK);
    window.Key(83, false);
}

TEST_F(InputDevices, MessageKeyboardFlags)
{
    const LPARAM kRepeat = LPARAM{1} << 30;
    struct Case {
        const char* name;
        uint8_t keyRepeat;
        std::vector<std::vector<LPARAM>> downsPerFrame;  // key-downs before each Poll
        std::vector<std::pair<bool, bool>> expected;     // pushed, repeated after each Poll
    } cases[] = {
        {"repeat on: auto-repeats count", 1, {{0}, {kRepeat}, {kRepeat}}, {{true, false}, {true, true}, {true, true}}},
        {"repeat off: only the first down", 0, {{0}, {kRepeat}, {kRepeat}}, {{true, false}, {false, false}, {false, false}}},
        {"two downs in a frame count once", 1, {{0, kRepeat}, {}}, {{true, false}, {false, false}}},
        {"nothing pushed without a down", 1, {{}}, {{false, false}}},
    };
    for (const Case& c : cases) {
        CInputManager manager;
        manager.CreateDevices(window.hwnd, 2, 2);
        manager.AcquireAll();
        manager.GetKeyboard()->m_keyRepeat = c.keyRepeat;
        for (size_t frame = 0; frame < c.downsPerFrame.size(); ++frame) {
            for (LPARAM lParam : c.downsPerFrame[frame])
                EXPECT_TRUE(manager.OnKeyDown(VK_SPACE, lParam));
            manager.Poll();
            EXPECT_EQ(manager.GetKeyboard()->IsPushed(DIK_SPACE), c.expected[frame].first) << c.name << " frame " << frame;
            EXPECT_EQ(manager.GetKeyboard()->IsRepeated(DIK_SPACE), c.expected[frame].second) << c.name << " frame " << frame;
        }
    }
}

TEST_F(InputDevices, MessagesOnOneThreadAgainstPollOnAnotherLoseNoPress)
{
    CInputManager manager;
    manager.CreateDevices(window.hwnd, 2, 2);
    manager.AcquireAll();
    constexpr int kPresses = 1000;
    std::atomic<int> seen{0};
    std::atomic<bool> done{false};
    std::thread game([&] {
        while (!done.load()) {
            manager.Poll();
            if (manager.GetKeyboard()->IsPushed(DIK_RETURN))
                seen.fetch_add(1);
            if (manager.GetMouse()->IsPushed(0))
                seen.fetch_add(1 << 16);
        }
    });
    bool lost = false;
    for (int i = 0; i < kPresses && !lost; ++i) {
        manager.OnKeyDown(VK_RETURN, 0);
        manager.OnKeyUp(VK_RETURN, 0);
        manager.OnLButtonDown();
        manager.OnLButtonUp();
        const int want = (i + 1) | ((i + 1) << 16);
        for (int spin = 0; seen.load() != want; ++spin) {
            if (spin > 2000000) {
                lost = true;
                break;
            }
            std::this_thread::yield();
        }
    }
    done = true;
    game.join();
    EXPECT_FALSE(lost);
    EXPECT_EQ(seen.load() & 0xFFFF, kPresses);
    EXPECT_EQ(seen.load() >> 16, kPresses);
}

TEST_F(InputDevices, MouseQueriesAndTheCursorOutsideTheScreen)
{
    struct Case {
        const char* name;
        int32_t x, y;
        bool answers;
    } cases[] = {
        {"inside", 10, 10, true},
        {"outside at -1, -1", -1, -1, false},
        {"one coordinate -1", 5, -1, false},
        {"-2 never counts as outside", -2, -1, true},
        {"-2 in y", -1, -2, true},
    };
    for (int method : {1, 2}) {
        for (const Case& c : cases) {
            auto manager = Make(method);
            CursorPosition position{c.x, c.y};
            CMouseDevice* mouse = manager->GetMouse();
            mouse->m_cursorPos = &position;
            winapi::HostMouseButton(window.hwnd, 1, true, 5, 5);
            if (method == 2)
                manager->OnRButtonDown();
            manager->OnMouseWheel(static_cast<WPARAM>(static_cast<WORD>(120)) << 16);
            manager->OnMouseWheel(static_cast<WPARAM>(static_cast<WORD>(120)) << 16);  // the last counts
            manager->Poll();
            EXPECT_EQ(mouse->IsDown(1), c.answers) << c.name << " method " << method;
            EXPECT_EQ(mouse->IsPushed(1), c.answers) << c.name;
            EXPECT_EQ(mouse->IsPushed(3), c.answers) << c.name;
            EXPECT_EQ(mouse->IsDown(3), c.answers) << c.name;
            EXPECT_FALSE(mouse->IsDown(4)) << c.name;
            EXPECT_EQ(mouse->GetWheel(), c.answers ? 120 : 0) << c.name;
            EXPECT_EQ(mouse->FindFirstDown(), c.answers ? 1 : -1) << c.name;
            EXPECT_EQ(mouse->FindFirstPushed(), c.answers ? 1 : -1) << c.name;
            manager->Poll();
            EXPECT_FALSE(mouse->IsPushed(3)) << c.name << ": one notch is one frame";
            EXPECT_FALSE(mouse->IsPushed(1)) << c.name;
            winapi::HostMouseButton(window.hwnd, 1, false, 5, 5);
            manager->OnRButtonUp();
        }
    }
}

TEST_F(InputDevices, DirectInputMouseReadsButtonsWheelAndMotion)
{
    auto manager = Make(0);
    CMouseDevice* mouse = manager->GetMouse();
    EXPECT_EQ(mouse->m_axisCount, 3);
    EXPECT_EQ(mouse->m_buttonCount, 3);
    winapi::HostMouseMove(window.hwnd, 100, 100);
    manager->Poll();
    winapi::HostMouseMove(window.hwnd, 130, 90);
    winapi::HostMouseButton(window.hwnd, 2, true, 130, 90);
    winapi::HostMouseWheel(window.hwnd, -120, 130, 90);
    manager->Poll();
    EXPECT_TRUE(mouse->IsPushed(2));
    EXPECT_TRUE(mouse->IsPushed(4));
    EXPECT_EQ(mouse->GetWheel(), -120);
    EXPECT_EQ(mouse->m_state[mouse->m_index ^ 1].lX, 30);
    EXPECT_EQ(mouse->m_state[mouse->m_index ^ 1].lY, -10);
    winapi::HostMouseButton(window.hwnd, 2, false, 130, 90);
}

TEST_F(InputDevices, DeactivationLosesTheDirectInputDevicesUntilAcquire)
{
    IDirectInputA* input = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &input, nullptr), DI_OK);
    IDirectInputDeviceA* keyboard = nullptr;
    ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    BYTE keys[256];
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->SetCooperativeLevel(window.hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
    winapi::HostFocus(window.hwnd, false);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
    keyboard->Release();
    input->Release();
    winapi::HostFocus(window.hwnd, true);

    // The keyboard device answers the loss by acquiring again and reading as released.
    auto manager = Make(0);
    window.Key(kScanA, true);
    manager->Poll();
    EXPECT_TRUE(manager->GetKeyboard()->IsDown(DIK_A));
    winapi::HostFocus(window.hwnd, false);
    EXPECT_EQ(manager->GetKeyboard()->Poll(), 2u);
    EXPECT_FALSE(manager->GetKeyboard()->IsDown(DIK_A));
    EXPECT_EQ(manager->GetKeyboard()->Poll(), 0u);
    winapi::HostFocus(window.hwnd, true);
}

TEST_F(InputDevices, DirectInputIsFoundThroughComOrTheLibraryAndNeedsCom)
{
    CDirectInputProbe probe;
    EXPECT_EQ(probe.Create(nullptr), 0u);
    EXPECT_EQ(probe.m_version, 0x0500u);
    EXPECT_NE(probe.m_input, nullptr);
    probe.Release();
    EXPECT_EQ(probe.m_version, 0u);
    // A thread without COM.
    std::thread([] {
        CoUninitialize();
        CDirectInputProbe uninitialised;
        uninitialised.m_comInitialised = 0;
        EXPECT_EQ(uninitialised.Create(nullptr), 1u);
    }).join();
    HMODULE module = LoadLibraryA("DINPUT.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "DirectInputCreateA"), nullptr);
    FreeLibrary(module);
}

winapi::JoystickInfo Pad(int buttons = 6)
{
    winapi::JoystickInfo info;
    info.nameUtf8 = "パッド";
    info.axes = 2;
    info.buttons = buttons;
    return info;
}

TEST_F(InputDevices, JoystickThresholdsSplitTheRangeIntoThirds)
{
    const int id = winapi::AttachJoystick(Pad());
    ASSERT_EQ(id, 0);
    struct Case {
        const char* name;
        int32_t x, y;
        uint32_t buttons;
        int firstDown;
    } cases[] = {
        {"centred", 32767, 32767, 0, -1},
        {"exactly at the low x threshold is not left", 21845, 32767, 0, -1},
        {"one below is left", 21844, 32767, 0, 2},
        {"exactly at the high threshold is not right", 43690, 32767, 0, -1},
        {"right", 43691, 32767, 0, 3},
        {"up", 32767, 0, 0, 0},
        {"down", 32767, 65535, 0, 1},
        {"button 5 (above four: joyGetPosEx)", 32767, 32767, 1u << 5, 9},
        {"a button beyond the count", 32767, 32767, 1u << 6, -1},
    };
    for (int method : {0, 1}) {
        auto manager = Make(method);
        ASSERT_EQ(manager->CreateJoystick(-1, window.hwnd), 0) << method;
        CJoystickDevice* joystick = manager->GetJoystick(0);
        ASSERT_NE(joystick, nullptr);
        EXPECT_EQ(joystick->m_xLow, 21845);
        EXPECT_EQ(joystick->m_xHigh, 43690);
        EXPECT_EQ(joystick->m_name, winapi::Utf8ToSjis("パッド"));
        EXPECT_EQ(joystick->m_buttonCount, 6u);
        EXPECT_EQ(joystick->m_axisCount, 2);
        for (const Case& c : cases) {
            winapi::JoystickState state;
            state.axes[0] = c.x;
            state.axes[1] = c.y;
            state.buttons = c.buttons;
            winapi::SetJoystickState(id, state);
            manager->Poll();
            EXPECT_EQ(joystick->FindFirstDown(), c.firstDown) << c.name << " method " << method;
            EXPECT_EQ(joystick->FindFirstPushed(), c.firstDown) << c.name << " method " << method;
            winapi::SetJoystickState(id, winapi::JoystickState{});
            manager->Poll();
        }
        // Unplugged: the device reads as released and the read fails.
        winapi::JoystickState left;
        left.axes[0] = 0;
        winapi::SetJoystickState(id, left);
        manager->Poll();
        EXPECT_TRUE(joystick->IsDown(2));
        winapi::DetachJoystick(id);
        EXPECT_EQ(joystick->Poll(), 2u);
        EXPECT_EQ(joystick->FindFirstDown(), -1);
        ASSERT_EQ(winapi::AttachJoystick(Pad()), id);
        JoystickSlotTable = JoystickSlotTableType{};
    }
}

TEST_F(InputDevices, JoystickNumbersOutsideTheSlotsAreRefused)
{
    winapi::AttachJoystick(Pad());
    for (int number : {-5, -2, 16, 1000}) {
        CWinmmJoystick winmm;
        EXPECT_EQ(winmm.Open(number, false, true), 1u) << number;
        EXPECT_EQ(winmm.Open(number, true, false), 1u) << number;
        CDirectInputProbe probe;
        ASSERT_EQ(probe.Create(nullptr), 0u);
        CDirectInputJoystick direct;
        EXPECT_EQ(direct.Open(probe.m_input, window.hwnd, number, true), 1u) << number;
    }
    CDirectInputProbe probe;
    probe.Create(nullptr);
    CDirectInputJoystick direct;
    EXPECT_EQ(direct.Open(probe.m_input, window.hwnd, 1, true), 1u) << "one device: slot 1 is past the count";
    EXPECT_EQ(direct.Open(probe.m_input, window.hwnd, 0, false), 0u);
    CDirectInputJoystick second;
    EXPECT_EQ(second.Open(probe.m_input, window.hwnd, -1, false), 2u) << "the only device is in use";
}

TEST_F(InputDevices, NoJoystickAttachedGivesNoDevice)
{
    for (int method : {0, 1}) {
        auto manager = Make(method);
        EXPECT_NE(manager->CreateJoystick(-1, window.hwnd), 0);
        EXPECT_EQ(manager->GetJoystick(0), nullptr);
        EXPECT_EQ(manager->GetJoystick(-1), nullptr);
    }
}

TEST_F(InputDevices, WinmmJoystickCallsAnswerUnpluggedForFreeIds)
{
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    EXPECT_EQ(joyGetNumDevs(), 16u);
    EXPECT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_UNPLUGGED));
    EXPECT_EQ(joyGetPosEx(16, &info), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    winapi::JoystickInfo pad = Pad(12);
    pad.axes = 4;
    pad.hasPov = true;
    const int id = winapi::AttachJoystick(pad);
    winapi::JoystickState state;
    state.axes[3] = 1234;
    state.buttons = 0x801;
    state.pov = 9000;
    winapi::SetJoystickState(id, state);
    ASSERT_EQ(joyGetPosEx(static_cast<UINT>(id), &info), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(info.dwRpos, 1234u);
    EXPECT_EQ(info.dwButtons, 0x801u);
    EXPECT_EQ(info.dwButtonNumber, 2u);
    EXPECT_EQ(info.dwPOV, 9000u);
    JOYCAPSA caps{};
    ASSERT_EQ(joyGetDevCapsA(static_cast<UINT>(id), &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wNumButtons, 12u);
    EXPECT_EQ(caps.wNumAxes, 4u);
    EXPECT_NE(caps.wCaps & JOYCAPS_HASPOV, 0u);
    EXPECT_EQ(joyGetDevCapsA(static_cast<UINT>(id), &caps, 100), static_cast<MMRESULT>(JOYERR_PARMS));
    // A second device takes the next id, and a freed id is taken again first.
    EXPECT_EQ(winapi::AttachJoystick(pad), id + 1);
    winapi::DetachJoystick(id);
    EXPECT_EQ(joyGetPosEx(static_cast<UINT>(id), &info), static_cast<MMRESULT>(JOYERR_UNPLUGGED));
    EXPECT_EQ(winapi::AttachJoystick(pad), id);
}

class FakeCursorImage : public ICursorImage {
public:
    int GetCursorType() override { return type; }
    bool IsCursorReady() override { return ready; }
    RECT GetCursorSourceRect() override { return RECT{8, 4, 40, 36}; }
    void SetCursorEnabled(bool on) override { enabled = on; }
    void SetCursorPosition(int x, int y) override { position = POINT{x, y}; }
    void SetCursorSourceOrigin(int x, int y) override { origins.push_back(POINT{x, y}); }
    int type = kTexturedQuad;
    bool ready = true;
    bool enabled = false;
    POINT position{0, 0};
    std::vector<POINT> origins;
};

TEST_F(InputDevices, SoftwareCursorFrames)
{
    auto* host = winapi::CurrentHeadlessHost();
    ASSERT_NE(host, nullptr);
    struct Case {
        const char* name;
        int frames, time;
        bool pingPong;
        std::vector<int> shown;  // frame at 0, 10, 20, ... ms
    } cases[] = {
        {"ping-pong of three: 0 1 2 1 0, then again", 3, 10, true, {0, 1, 2, 1, 0, 0, 1}},
        {"loop of three", 3, 10, false, {0, 1, 2, 0, 1}},
        {"frame time 0 shows frame 0 still", 3, 0, false, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        CMouseDevice* mouse;
        CInputManager manager;
        manager.CreateDevices(window.hwnd, 1, 1);
        mouse = manager.GetMouse();
        CursorPosition position{100, 50};
        mouse->m_cursorPos = &position;
        FakeCursorImage image;
        ASSERT_EQ(mouse->SetCursorImage(&image, c.frames, c.time, c.pingPong, 3, 2), 0u);
        std::vector<int> shown;
        for (size_t step = 0; step < c.shown.size(); ++step) {
            manager.Poll();
            shown.push_back(mouse->m_shownFrame);
            host->AdvanceClock(10);
        }
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_TRUE(image.enabled);
        EXPECT_EQ(image.position.x, 97);
        EXPECT_EQ(image.position.y, 48);
        ASSERT_FALSE(image.origins.empty());
        EXPECT_EQ(image.origins.front().x, 8);
        position = CursorPosition{-1, 5};
        manager.Poll();
        EXPECT_FALSE(image.enabled) << "outside the screen the cursor image hides";
    }
    CInputManager manager;
    manager.CreateDevices(window.hwnd, 1, 1);
    FakeCursorImage image;
    image.ready = false;
    EXPECT_EQ(manager.GetMouse()->SetCursorImage(&image, 1, 10, false, 0, 0), 2u);
    image.type = ICursorImage::kImageRegion;
    EXPECT_EQ(manager.GetMouse()->SetCursorImage(&image, 1, 10, false, 0, 0), 1u);
    image.type = 2;
    EXPECT_EQ(manager.GetMouse()->SetCursorImage(&image, 1, 10, false, 0, 0), 3u);
    EXPECT_EQ(manager.GetMouse()->SetCursorImage(nullptr, 0, 0, false, 0, 0), 0u);
}

TEST_F(InputDevices, CreateDevicesResults)
{
    CInputManager manager;
    EXPECT_EQ(manager.CreateDevices(window.hwnd, 7, 1), 1u);
    EXPECT_EQ(manager.CreateDevices(window.hwnd, 1, 3), 2u);
    EXPECT_EQ(manager.GetKeyboard(), nullptr);
    EXPECT_EQ(manager.OpenDirectInput(true, nullptr), 1u);
    EXPECT_EQ(manager.CreateDevices(window.hwnd, 1, 2), 0u);
    EXPECT_EQ(manager.GetMouse()->GetMethod(), kInputMessages);
    EXPECT_EQ(manager.GetKeyboard()->GetMethod(), kInputPolling);
}

} // namespace
