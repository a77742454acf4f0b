// The controls' test bench: a headless window, the real input manager (polling keyboard and
// mouse) with an action map bound as the game binds it, a scene with its display list, and a test
// form over CControlContainer that takes the pointer from the stand-in and records every request.
#pragma once

#include "../drawing/drawing_test_util.h"
#include "../platform/input_test_window.h"
#include "controls/control_container.h"
#include "drawing/scene.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "platform/action_map.h"
#include "platform/input_manager.h"
#include "platform/keyboard_device.h"
#include "platform/mouse_device.h"
#include "platform/timer_resolution.h"
#include "winapi/dinput.h"

#include <string>
#include <vector>

namespace controls_test {

// USB HID scancodes of the keys the tests press.
enum : int { kHidEnter = 40, kHidEscape = 41, kHidTab = 43, kHidRight = 79, kHidLeft = 80, kHidDown = 81,
             kHidUp = 82, kHidLeftShift = 225 };

class TestForm : public CControlContainer {
public:
    TestForm(HWND window, CInputManager& input, CActionMap* actions) : m_window(window), m_input(input), m_actions(actions) {}
    ~TestForm() override
    {
        while (PopControlLayer() == 0) {
        }
        RemoveAllControls();
    }
    void GetCursorPos(int* x, int* y) override
    {
        POINT p{0, 0};
        ::GetCursorPos(&p);
        ::ScreenToClient(m_window, &p);
        *x = p.x;
        *y = p.y;
    }
    void SetCursorPos(int x, int y) override { log.push_back("cursor " + std::to_string(x) + "," + std::to_string(y)); }
    int GetWidth() override { return 640; }
    int GetHeight() override { return 480; }
    int GetFocusPointerMode() override { return pointerMode; }
    int PlaySound(const char* file, int number, int, int) override
    {
        log.push_back("sound " + std::string(file ? file : "-") + " " + std::to_string(number));
        return 0;
    }
    void OnButtonCommand(const char* text2, const char* text1, int number) override
    {
        log.push_back("command " + std::string(text2 ? text2 : "-") + " " + std::string(text1 ? text1 : "-") + " " +
                      std::to_string(number));
    }
    void SetResult(int value) override { log.push_back("result " + std::to_string(value)); }
    void ShowHint(const char* text, int, int) override { log.push_back(std::string("hint ") + text); }
    void OnHideHint() override { log.push_back("hide hint"); }
    CActionMap* GetActionMap() override { return m_actions; }
    CInputSource* GetKeyboard() override { return m_input.GetKeyboard(); }
    CInputSource* GetMouse() override { return m_input.GetMouse(); }
    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }

    std::vector<std::string> log;
    int pointerMode = 0;

private:
    HWND m_window;
    CInputManager& m_input;
    CActionMap* m_actions;
};

class ControlBench : public drawing_test::DrawingEnvironment {
public:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        host = winapi::CurrentHeadlessHost();
        ASSERT_NE(host, nullptr);
        ASSERT_EQ(input.CreateDevices(window.hwnd, 1, 1), 0u);
        input.AcquireAll();
        ASSERT_EQ(input.CreateActionMap(6, &actions), 0u);
        const uint8_t keys[6] = {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_RETURN, DIK_ESCAPE};
        for (uint32_t i = 0; i < 6; ++i)
            ASSERT_EQ(actions->Bind(i, 0, keys[i]), 0u);
        actions->Bind(4, 0, DIK_NUMPADENTER);
        form = std::make_unique<TestForm>(window.hwnd, input, actions);
        target.Create(320, 200, 32, kImageWithTracker);
        ASSERT_EQ(scene.SetTarget(&target, true), 0);
        MovePointer(639, 479);
    }
    void TearDown() override
    {
        form.reset();
        DrawingEnvironment::TearDown();
    }
    // One frame: poll, route, answer HandleInput's result.
    int Frame()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        input.Poll();
        return form->HandleInput(TimerNow());
    }
    void MovePointer(int x, int y)
    {
        px = x;
        py = y;
        winapi::HostMouseMove(window.hwnd, x, y);
    }
    void Button(bool down) { winapi::HostMouseButton(window.hwnd, 0, down, px, py); }
    void Key(int scancode, bool down) { window.Key(scancode, down); }
    // Down for one frame, then up; answers the frame's result.
    int KeyFrame(int scancode)
    {
        Key(scancode, true);
        const int result = Frame();
        Key(scancode, false);
        Frame();
        return result;
    }

    int px = 0;
    int py = 0;
    InputTestWindow window;
    winapi::HeadlessHost* host = nullptr;
    CInputManager input;
    CActionMap* actions = nullptr;
    CImage target;
    CScene scene;
    std::unique_ptr<TestForm> form;
};

// A temporary base folder with the file manager and the built-in picture loaders published.
class PictureFolder {
public:
    PictureFolder()
    {
        SetBaseFolder(dir.Windows().c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
    }
    ~PictureFolder()
    {
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
    }
    TempFolder dir;
    CFileManager files;
    CGllManager loaders;
};

} // namespace controls_test
