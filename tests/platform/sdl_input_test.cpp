// The SDL host's joysticks and drops with SDL's offscreen video driver: an SDL virtual controller
// is attached, moved and pressed, read through joyGetPosEx, DirectInput and the input manager,
// and detached; drops are pushed as SDL events.
#include <gtest/gtest.h>

#include <thread>

#include "files/drop_files.h"
#include "platform/input_manager.h"
#include "winapi/host.h"
#include "winapi/joystick.h"
#include "winapi/sdl_testing.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/text.h"

namespace {

namespace sdl = winapi::sdl_testing;

class SdlInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!started && !(started = StartSdlHost("offscreen")))
            GTEST_SKIP() << "SDL has no offscreen video driver here";
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "SdlInputTest";
        RegisterClassExA(&wc);
        hwnd = CreateWindowExA(0, "SdlInputTest", "input", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        Pump();
    }
    void TearDown() override
    {
        if (hwnd != nullptr)
            DestroyWindow(hwnd);
    }
    static void Pump()
    {
        for (int i = 0; i < 3; ++i) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
        }
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_DROPFILES && g_drops != nullptr) {
            g_results.push_back(g_drops->OnDropFiles(reinterpret_cast<HDROP>(wParam)));
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    static inline bool started = false;
    static inline CDropFiles* g_drops = nullptr;
    static inline std::vector<int> g_results;
    HWND hwnd = nullptr;
};

TEST_F(SdlInput, VirtualControllerThroughEveryReader)
{
    int handle = sdl::AttachVirtualController();
    if (handle < 0)
        GTEST_SKIP() << "SDL cannot attach a virtual joystick here";
    Pump();
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    ASSERT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_NOERROR)) << "the device took id 0";
    EXPECT_EQ(info.dwXpos, 32768u) << "centred";
    ASSERT_TRUE(sdl::SetVirtualAxis(handle, 0, 32767));
    ASSERT_TRUE(sdl::SetVirtualButton(handle, 0, true));
    Pump();
    ASSERT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(info.dwXpos, 65535u);
    EXPECT_EQ(info.dwButtons & 1u, 1u);

    for (bool directInput : {false, true}) {
        JoystickSlotTable = JoystickSlotTableType{};
        CoInitialize(nullptr);
        {
            CInputManager manager;
            ASSERT_EQ(manager.OpenDirectInput(directInput, reinterpret_cast<HINSTANCE>(1)), 0u);
            ASSERT_EQ(manager.CreateDevices(hwnd, 1, 1), 0u);
            ASSERT_EQ(manager.CreateJoystick(-1, hwnd), 0);
            manager.AcquireAll();
            manager.Poll();
            CJoystickDevice* joystick = manager.GetJoystick(0);
            EXPECT_TRUE(joystick->IsDown(3)) << "right, direct input " << directInput;
            EXPECT_TRUE(joystick->IsDown(4)) << "button A, direct input " << directInput;
            if (directInput) {
                DIJOYSTATE& state = joystick->m_state[joystick->m_index ^ 1];
                EXPECT_EQ(state.lX, 65535);
                EXPECT_EQ(state.rgbButtons[0], 0x80);
            }
            // Detached: unplugged, and the device reads as released.
            ASSERT_TRUE(sdl::DetachVirtual(handle));
            Pump();
            EXPECT_EQ(joystick->Poll(), 2u);
            EXPECT_EQ(joystick->FindFirstDown(), -1);
            EXPECT_EQ(joyGetPosEx(0, &info), static_cast<MMRESULT>(JOYERR_UNPLUGGED));
        }
        CoUninitialize();
        if (!directInput) {
            // Plug it in again for the DirectInput pass.
            const int again = sdl::AttachVirtualController();
            ASSERT_GE(again, 0);
            Pump();
            sdl::SetVirtualAxis(again, 0, 32767);
            sdl::SetVirtualButton(again, 0, true);
            Pump();
            handle = again;
        }
    }
}

TEST_F(SdlInput, DropsPushedAsSdlEvents)
{
    CDropFiles drops;
    g_drops = &drops;
    g_results.clear();
    drops.Enable(hwnd, true);
    sdl::PushDrop(hwnd, {"/tmp/背景.png", "/tmp/😀.png", "/tmp/b.txt"});
    Pump();
    ASSERT_EQ(g_results, std::vector<int>{0});
    ASSERT_EQ(drops.GetCount(), 2u);
    EXPECT_EQ(winapi::SjisToUtf8(drops.GetFile(0)), "Z:\\tmp\\背景.png");
    sdl::PushDrop(hwnd, {"/tmp/c.txt"});
    Pump();
    EXPECT_EQ(g_results, (std::vector<int>{0, -1})) << "the second drop waits for the first to be taken";
    g_drops = nullptr;
}

// Offscreen, the window thread waits without polling SDL unless something can arrive: an event
// pushed from another thread (until it has been taken) or an open joystick.
TEST_F(SdlInput, WindowThreadPollsOnlyWhileInputCanArrive)
{
    winapi::Host& host = winapi::CurrentHost();
    Pump();
    EXPECT_FALSE(host.Pump()) << "nothing can arrive";
    std::thread([&] { sdl::PushDrop(hwnd, {"/tmp/a.txt"}); }).join();
    EXPECT_TRUE(host.Pump()) << "pushed from another thread";
    Pump();
    EXPECT_FALSE(host.Pump()) << "taken";
    const int handle = sdl::AttachVirtualController();
    if (handle < 0)
        GTEST_SKIP() << "SDL cannot attach a virtual joystick here";
    Pump();
    EXPECT_TRUE(host.Pump()) << "a joystick is open";
    ASSERT_TRUE(sdl::DetachVirtual(handle));
    Pump();
    EXPECT_FALSE(host.Pump()) << "the joystick is gone";
}

} // namespace
