// The input manager; see input_manager.h.
#include "platform/input_manager.h"

#include <new>
#include <utility>

CKeyboardDevice* g_pKeyboard = nullptr;
CMouseDevice* g_pMouse = nullptr;
CJoystickDevice* g_pJoystick = nullptr;

CInputManager::CInputManager() = default;

CInputManager::~CInputManager()
{
    DestroyDevices();
    m_actionMaps.clear();
    m_probe.reset();
}

void CInputManager::DestroyDevices()
{
    m_joysticks.clear();
    m_mouse.reset();
    m_keyboard.reset();
    // The maps the game holds stay valid; their bindings wait for the new devices.
    for (auto& map : m_actionMaps)
        map->Repoint();
}

uint32_t CInputManager::OpenDirectInput(bool use, HINSTANCE instance)
{
    DestroyDevices();
    m_probe.reset();
    if (!use)
        return 0;
    if (instance == nullptr)
        return 1;
    auto* probe = new (std::nothrow) CDirectInputProbe;
    if (probe == nullptr)
        return 2;
    m_probe.reset(probe);
    if (m_probe->Create(instance) != 0) {
        m_probe.reset();
        return 3;
    }
    return 0;
}

uint32_t CInputManager::CreateDevices(HWND hwnd, int keyboardMethod, int mouseMethod)
{
    DestroyDevices();
    uint32_t result = 0;
    if (m_probe != nullptr && m_probe->m_input != nullptr) {
        auto* keyboard = new (std::nothrow) CDirectInputKeyboard;
        auto* mouse = new (std::nothrow) CDirectInputMouse;
        m_keyboard.reset(keyboard);
        m_mouse.reset(mouse);
        if (keyboard == nullptr || mouse == nullptr)
            result = 3;
        else if (keyboard->Create(m_probe->m_input, hwnd) != 0)
            result = 4;
        else if (mouse->Create(m_probe->m_input, hwnd, false) != 0)
            result = 5;
    } else {
        switch (keyboardMethod) {
        case kInputPolling: m_keyboard.reset(new (std::nothrow) CPollingKeyboard); break;
        case kInputMessages: m_keyboard.reset(new (std::nothrow) CMessageKeyboard); break;
        case kInputPollingSubset: m_keyboard.reset(new (std::nothrow) CPollingKeyboardSubset); break;
        default: return 1;
        }
        if (m_keyboard == nullptr)
            return 3;
        switch (mouseMethod) {
        case kInputPolling: m_mouse.reset(new (std::nothrow) CPollingMouse); break;
        case kInputMessages: m_mouse.reset(new (std::nothrow) CMessageMouse); break;
        default: m_keyboard.reset(); return 2;
        }
        if (m_mouse == nullptr)
            result = 3;
    }
    if (result != 0) {
        DestroyDevices();
        return result;
    }
    for (auto& map : m_actionMaps)
        map->Repoint();
    return 0;
}

int CInputManager::CreateJoystick(int number, HWND hwnd)
{
    std::unique_ptr<CJoystickDevice> joystick;
    int failure;
    if (m_probe != nullptr && m_probe->m_input != nullptr) {
        auto* device = new (std::nothrow) CDirectInputJoystick;
        failure = 1;
        if (device != nullptr && device->Open(m_probe->m_input, hwnd, number, false) == 0)
            joystick.reset(device);
        else
            delete device;
    } else {
        auto* device = new (std::nothrow) CWinmmJoystick;
        failure = 2;
        if (device != nullptr && device->Open(number, false, true) == 0)
            joystick.reset(device);
        else
            delete device;
    }
    if (joystick == nullptr)
        return failure;
    const int opened = joystick->m_number;
    m_joysticks.push_back(std::move(joystick));
    for (auto& map : m_actionMaps)
        map->Repoint();
    return opened;
}

CJoystickDevice* CInputManager::GetJoystick(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_joysticks.size())
        return nullptr;
    return m_joysticks[static_cast<size_t>(i)].get();
}

uint32_t CInputManager::CreateActionMap(uint32_t actionCount, CActionMap** out)
{
    auto* map = std::exchange(m_failNextActionMap, false) ? nullptr : new (std::nothrow) CActionMap(this);
    if (map == nullptr)
        return 1;
    if (map->Create(actionCount) != 0) {
        delete map;
        return 2;
    }
    m_actionMaps.emplace_back(map);
    if (out != nullptr)
        *out = map;
    return 0;
}

void CInputManager::AcquireAll()
{
    m_active = 1;
    if (m_keyboard != nullptr) {
        m_keyboard->Acquire();
        m_keyboard->RefreshToggleKeys();
    }
    if (m_mouse != nullptr)
        m_mouse->Acquire();
    for (auto& joystick : m_joysticks)
        joystick->Acquire();
}

void CInputManager::UnacquireAll()
{
    m_active = 0;
    if (m_keyboard != nullptr)
        m_keyboard->Unacquire();
    if (m_mouse != nullptr)
        m_mouse->Unacquire();
    for (auto& joystick : m_joysticks)
        joystick->Unacquire();
}

void CInputManager::Poll()
{
    if (m_active) {
        if (m_keyboard != nullptr)
            m_keyboard->Poll();
        if (m_mouse != nullptr)
            m_mouse->Poll();
    }
    if (m_mouse != nullptr)
        m_mouse->UpdateCursorImage();
    if (m_active && m_joysticksEnabled)
        for (auto& joystick : m_joysticks)
            joystick->Poll();
}

bool CInputManager::OnKeyDown(int virtualKey, LPARAM lParam)
{
    if (m_keyboard == nullptr)
        return false;
    m_keyboard->RefreshToggleKey(virtualKey);
    if (m_keyboard->GetMethod() != kInputMessages)
        return false;
    static_cast<CMessageKeyboard*>(m_keyboard.get())->OnKeyDown(virtualKey, lParam);
    return true;
}

bool CInputManager::OnKeyUp(int virtualKey, LPARAM)
{
    if (m_keyboard == nullptr || m_keyboard->GetMethod() != kInputMessages)
        return false;
    static_cast<CMessageKeyboard*>(m_keyboard.get())->OnKeyUp(virtualKey);
    return true;
}

void CInputManager::OnMouseWheel(WPARAM wParam)
{
    if (m_mouse != nullptr)
        m_mouse->OnWheel(wParam);
}

bool CInputManager::OnButton(int button, bool down)
{
    if (m_mouse == nullptr || m_mouse->GetMethod() != kInputMessages)
        return false;
    static_cast<CMessageMouse*>(m_mouse.get())->OnButton(button, down);
    return true;
}

void CInputManager::EnableJoysticks(bool enable)
{
    m_joysticksEnabled = enable ? 1 : 0;
    if (!enable)
        for (auto& joystick : m_joysticks)
            joystick->Clear();
}
