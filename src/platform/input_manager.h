// The input manager owns the keyboard, the mouse, the joysticks, the DirectInput probe and the
// action maps. The frame creates the devices in Init, acquires and releases them on activation,
// forwards keyboard, button and wheel messages to it and calls Poll once a frame.
#pragma once

#include <memory>
#include <vector>

#include "platform/action_map.h"
#include "platform/direct_input_probe.h"
#include "platform/joystick_device.h"
#include "platform/keyboard_device.h"
#include "platform/mouse_device.h"

class CInputManager {
public:
    CInputManager();
    ~CInputManager();
    CInputManager(const CInputManager&) = delete;
    CInputManager& operator=(const CInputManager&) = delete;

    // Destroys the devices and the previous probe; with use set makes a probe and creates it.
    // → 0 ok or not used, 1 no instance, 2 no memory, 3 DirectInput not available.
    uint32_t OpenDirectInput(bool use, HINSTANCE instance);
    // → 0, 1 unknown keyboard method, 2 unknown mouse method, 3 no memory, 4 DirectInput keyboard
    // failed, 5 DirectInput mouse failed. With a probe the methods are ignored.
    uint32_t CreateDevices(HWND hwnd, int keyboardMethod, int mouseMethod);
    // → the device number, or 1 (DirectInput) / 2 (multimedia calls) when none could be opened.
    int CreateJoystick(int number, HWND hwnd);
    CJoystickDevice* GetJoystick(int i) const;
    // → 0, 1 no memory, 2 Create failed. The map stays the manager's.
    uint32_t CreateActionMap(uint32_t actionCount, CActionMap** out);
    // Tests: the next CreateActionMap answers 1, as when memory runs out.
    void FailNextActionMap() { m_failNextActionMap = true; }

    void AcquireAll();
    void UnacquireAll();
    void Poll();
    // WM_KEYDOWN / WM_SYSKEYDOWN and the ups; true when handled.
    bool OnKeyDown(int virtualKey, LPARAM lParam);
    bool OnKeyUp(int virtualKey, LPARAM lParam);
    void OnMouseWheel(WPARAM wParam);
    bool OnLButtonDown() { return OnButton(0, true); }
    bool OnLButtonUp() { return OnButton(0, false); }
    bool OnRButtonDown() { return OnButton(1, true); }
    bool OnRButtonUp() { return OnButton(1, false); }
    bool OnMButtonDown() { return OnButton(2, true); }
    bool OnMButtonUp() { return OnButton(2, false); }
    void EnableJoysticks(bool enable);

    CKeyboardDevice* GetKeyboard() const { return m_keyboard.get(); }
    CMouseDevice* GetMouse() const { return m_mouse.get(); }
    size_t GetJoystickCount() const { return m_joysticks.size(); }
    CDirectInputProbe* GetProbe() const { return m_probe.get(); }

    uint8_t m_active = 0;
    uint8_t m_joysticksEnabled = 1;

private:
    void DestroyDevices();
    bool OnButton(int button, bool down);

    std::unique_ptr<CDirectInputProbe> m_probe;
    std::unique_ptr<CKeyboardDevice> m_keyboard;
    std::unique_ptr<CMouseDevice> m_mouse;
    std::vector<std::unique_ptr<CJoystickDevice>> m_joysticks;
    std::vector<std::unique_ptr<CActionMap>> m_actionMaps;
    bool m_failNextActionMap = false;
};

// The input devices, published by the application's device set-up while it exists (null
// otherwise); the natives reach them here.
extern CKeyboardDevice* g_pKeyboard;
extern CMouseDevice* g_pMouse;
extern CJoystickDevice* g_pJoystick;
