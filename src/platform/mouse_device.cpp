// The mouse back-ends and the cursor; see mouse_device.h.
#include "platform/mouse_device.h"

#include <cstring>

#include "platform/direct_input_device.h"
#include "platform/timer_resolution.h"

bool CMouseDevice::ButtonDown(int button)
{
    return (Latest().rgbButtons[button] & 0x80) != 0;
}

bool CMouseDevice::IsDown(int code)
{
    if (Outside())
        return false;
    switch (code) {
    case 0:
    case 1:
    case 2: return ButtonDown(code);
    case 3: return Latest().lZ > 0;
    case 4: return Latest().lZ < 0;
    default: return false;
    }
}

bool CMouseDevice::IsPushed(int code)
{
    if (Outside())
        return false;
    switch (code) {
    case 0:
    case 1:
    case 2: return ButtonPushed(code);
    case 3: return Previous().lZ == 0 && Latest().lZ > 0;
    case 4: return Previous().lZ == 0 && Latest().lZ < 0;
    default: return false;
    }
}

int CMouseDevice::FindFirstDown()
{
    for (int code = 0; code < 5; ++code)
        if (IsDown(code))
            return code;
    return -1;
}

int CMouseDevice::FindFirstPushed()
{
    for (int code = 0; code < 5; ++code)
        if (IsPushed(code))
            return code;
    return -1;
}

void CMouseDevice::Clear()
{
    std::memset(m_state, 0, sizeof(m_state));
}

int CMouseDevice::GetWheel()
{
    return Outside() ? 0 : Latest().lZ;
}

void CMouseDevice::OnWheel(WPARAM wParam)
{
    m_pendingWheel.store(static_cast<int16_t>(HIWORD(wParam)));
}

// The cursor.

uint32_t CMouseDevice::SetCursorShape(int kind, HINSTANCE instance, uintptr_t resourceId)
{
    static const uintptr_t kStandard[] = {32512, 32515, 32651, 32513, 32648, 32646, 32643,
                                          32645, 32642, 32644, 32516, 32650, 32514};
    HCURSOR cursor = nullptr;
    if (LOWORD(resourceId) != 0)
        cursor = LoadCursorA(instance, MAKEINTRESOURCEA(LOWORD(resourceId)));
    else if (kind >= 0 && kind < static_cast<int>(std::size(kStandard)))
        cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(kStandard[kind]));
    if (cursor == nullptr)
        return 1;
    m_cursor = cursor;
    m_cursorKind = static_cast<uint8_t>(kind);
    SetCursor(cursor);
    POINT point;
    if (GetCursorPos(&point))
        SetCursorPos(point.x, point.y);
    return 0;
}

void CMouseDevice::ShowSystemCursor(bool show)
{
    if (show)
        while (::ShowCursor(TRUE) < 0) {
        }
    else
        while (::ShowCursor(FALSE) >= 0) {
        }
    m_systemCursorShown = show ? 1 : 0;
}

void CMouseDevice::ShowCursor(bool show, HWND hwnd, UINT message)
{
    if (message != 0)
        SendMessageA(hwnd, message, show ? 1 : 0, 0);
    else
        ShowSystemCursor(show);
    m_cursorShown = show ? 1 : 0;
}

void CMouseDevice::ShowImage(bool show)
{
    m_imageVisible = show ? 1 : 0;
    if (m_image != nullptr)
        m_image->SetCursorEnabled(show);
}

uint32_t CMouseDevice::SetCursorImage(ICursorImage* image, int frameCount, int frameTime, bool pingPong, int hotX,
                                      int hotY)
{
    if (image == nullptr) {
        ShowImage(false);
        LetImageGo();
        return 0;
    }
    const int type = image->GetCursorType();
    if (type != ICursorImage::kTexturedQuad && type != ICursorImage::kImageRegion) {
        ShowImage(false);
        LetImageGo();
        return 3;
    }
    if (!image->IsCursorReady())
        return type == ICursorImage::kTexturedQuad ? 2 : 1;
    if (m_image != nullptr && m_image != image) {
        m_image->SetCursorEnabled(false);
        LetImageGo();
    }
    m_image = image;
    image->SetCursorHolder(this);
    if (frameCount != 0) {
        const RECT source = image->GetCursorSourceRect();
        m_cellWidth = source.right - source.left;
        m_originX = source.left;
        m_originY = source.top;
    }
    m_frameCount = frameCount < 0 ? 0 : frameCount;
    m_frameTime = frameTime < 0 ? 0 : frameTime;
    const int64_t steps = pingPong && m_frameCount > 0 ? 2 * int64_t{m_frameCount} - 1 : m_frameCount;
    m_cycle = static_cast<uint32_t>(steps * m_frameTime);
    m_hotX = hotX;
    m_hotY = hotY;
    m_shownFrame = -1;
    m_startTime = TimerNow();
    ShowImage(m_visibleWanted != 0);
    return 0;
}

CMouseDevice::~CMouseDevice()
{
    LetImageGo();
}

void CMouseDevice::LetImageGo()
{
    if (m_image != nullptr && m_image->GetCursorHolder() == this)
        m_image->SetCursorHolder(nullptr);
    m_image = nullptr;
}

void CMouseDevice::OnCursorImageGone(ICursorImage* image)
{
    // The object deleted under the cursor used to be drawn from freed memory the next frame.
    if (image == m_image) {
        m_image = nullptr;
        m_imageVisible = 0;
    }
}

void CMouseDevice::SetCursorVisible(bool show, HWND hwnd, UINT message)
{
    m_visibleWanted = show ? 1 : 0;
    if (m_image == nullptr)
        ShowCursor(show, hwnd, message);
    else
        ShowImage(show);
}

void CMouseDevice::UpdateCursorImage()
{
    if (m_image == nullptr || !m_imageVisible || m_cursorPos == nullptr)
        return;
    const int x = m_cursorPos->x;
    const int y = m_cursorPos->y;
    if (x < 0 || y < 0) {
        m_image->SetCursorEnabled(false);
        return;
    }
    m_image->SetCursorEnabled(true);
    m_image->SetCursorPosition(x - m_hotX, y - m_hotY);
    if (m_frameCount == 0)
        return;
    int frame = 0;
    // A frame time of 0 (scripts may give it) shows frame 0 still.
    if (m_frameTime > 0) {
        const uint32_t now = TimerNow();
        uint32_t elapsed = now - m_startTime;
        if (elapsed >= m_cycle) {
            elapsed = 0;
            m_startTime = now;
        }
        frame = static_cast<int>(elapsed / static_cast<uint32_t>(m_frameTime));
        if (frame >= m_frameCount)
            frame = 2 * m_frameCount - frame - 2;
    }
    if (frame != m_shownFrame) {
        m_image->SetCursorSourceOrigin(m_originX + m_cellWidth * frame, m_originY);
        m_shownFrame = frame;
    }
}

// DirectInput.

CDirectInputMouse::~CDirectInputMouse()
{
    Release();
}

void CDirectInputMouse::Release()
{
    ReleaseDevice(m_device);
    Clear();
}

uint32_t CDirectInputMouse::Create(IDirectInputA* input, HWND hwnd, bool absolute)
{
    Release();
    if (input == nullptr)
        return 1;
    if (FAILED(input->CreateDevice(GUID_SysMouse, &m_device, nullptr)) || m_device == nullptr) {
        m_device = nullptr;
        return 2;
    }
    uint32_t failure = 0;
    DIPROPDWORD mode{};
    mode.diph = DIPROPHEADER{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE};
    mode.dwData = absolute ? DIPROPAXISMODE_ABS : DIPROPAXISMODE_REL;
    if (FAILED(m_device->SetDataFormat(&c_dfDIMouse)))
        failure = 3;
    else if (FAILED(m_device->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
        failure = 4;
    else if (FAILED(m_device->SetProperty(DIPROP_AXISMODE, &mode.diph)))
        failure = 5;
    if (failure != 0) {
        Release();
        return failure;
    }
    m_absolute = absolute ? 1 : 0;
    DIDEVCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (SUCCEEDED(m_device->GetCapabilities(&caps))) {
        m_buttonCount = static_cast<uint16_t>(caps.dwButtons);
        m_axisCount = static_cast<uint16_t>(caps.dwAxes);
    }
    Acquire();
    return 0;
}

void CDirectInputMouse::Acquire()
{
    AcquireDevice(m_device);
}

void CDirectInputMouse::Unacquire()
{
    UnacquireDevice(m_device);
    Clear();
}

uint32_t CDirectInputMouse::Poll()
{
    const uint32_t result = ReadDeviceState(m_device, sizeof(DIMOUSESTATE), &m_state[m_index]);
    if (result == 0)
        m_index ^= 1;
    else if (result == 2)
        Clear();
    return result;
}

// Polling.

uint32_t CPollingMouse::Poll()
{
    DIMOUSESTATE& sample = m_state[m_index];
    sample.rgbButtons[0] = static_cast<uint8_t>(static_cast<uint16_t>(GetAsyncKeyState(VK_LBUTTON)) >> 8);
    sample.rgbButtons[1] = static_cast<uint8_t>(static_cast<uint16_t>(GetAsyncKeyState(VK_RBUTTON)) >> 8);
    sample.rgbButtons[2] = static_cast<uint8_t>(static_cast<uint16_t>(GetAsyncKeyState(VK_MBUTTON)) >> 8);
    sample.lZ = m_pendingWheel.exchange(0);
    m_index ^= 1;
    return 0;
}

// Window messages.

void CMessageMouse::OnButton(int button, bool down)
{
    if (button < 0 || button > 2)
        return;
    m_held[button].store(down ? 0x80 : 0);
    if (down)
        m_pending[button].store(1);
}

uint32_t CMessageMouse::Poll()
{
    // The presses taken whole become the frame's samples: pressed in the latest, never in the one
    // before, so the common pushed test reads them.
    for (int button = 0; button < 3; ++button) {
        m_state[m_index].rgbButtons[button] = m_pending[button].exchange(0) != 0 ? 0x80 : 0;
        m_state[m_index ^ 1].rgbButtons[button] = 0;
    }
    m_state[m_index].lZ = m_pendingWheel.exchange(0);
    m_index ^= 1;
    return 0;
}

bool CMessageMouse::ButtonDown(int button)
{
    return (m_held[button].load() & 0x80) != 0;
}

void CMessageMouse::Clear()
{
    CMouseDevice::Clear();
    for (int button = 0; button < 3; ++button) {
        m_pending[button].store(0);
        m_held[button].store(0);
    }
}
