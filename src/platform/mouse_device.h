// The mouse as an input source (buttons and wheel), with its back-ends DirectInput, polling and
// window messages; it also carries the cursor: the system cursor's shape and visibility, or a
// software cursor drawn by a scene object with frame animation.
#pragma once

#include <atomic>

#include "platform/cursor_image.h"
#include "platform/input_source.h"
#include "winapi/dinput.h"
#include "winapi/user.h"

// The cursor's position in game-screen coordinates, kept by the frame: -1 in either means
// outside the game screen; -2 never counts as outside.
struct CursorPosition {
    int32_t x = 0;
    int32_t y = 0;
};

class CMouseDevice : public CInputSource, public ICursorHolder {
public:
    // A cursor image still held is let go.
    ~CMouseDevice() override;

    bool IsDown(int code) override;
    bool IsPushed(int code) override;
    int FindFirstDown() override;
    int FindFirstPushed() override;
    void Clear() override;

    // The wheel value of the latest sample (0 outside the game screen).
    virtual int GetWheel();
    virtual EInputMethod GetMethod() = 0;
    virtual void Acquire() {}
    virtual void Unacquire() { Clear(); }
    // → 0 ok, 1 no device, 2 read failed.
    virtual uint32_t Poll() = 0;
    // WM_MOUSEWHEEL: the pending delta (the last of a frame counts).
    virtual void OnWheel(WPARAM wParam);

    // → 0, 1 no cursor. A non-zero low word of resourceId loads that cursor from instance, else
    // kind 0..12 the standard cursors.
    uint32_t SetCursorShape(int kind, HINSTANCE instance, uintptr_t resourceId);
    // With a message number it is sent to hwnd (wParam = show), else ShowSystemCursor.
    void ShowCursor(bool show, HWND hwnd, UINT message);
    void ShowSystemCursor(bool show);
    // → 0, 1 region not ready, 2 quad not ready, 3 wrong object type. Null forgets the image.
    uint32_t SetCursorImage(ICursorImage* image, int frameCount, int frameTime, bool pingPong, int hotX, int hotY);
    void SetCursorVisible(bool show, HWND hwnd, UINT message);
    // Once a frame: places and animates the software cursor.
    void UpdateCursorImage();
    // The held image is being destroyed: the mouse is left without one.
    void OnCursorImageGone(ICursorImage* image) override;

    uint8_t m_index = 0;
    DIMOUSESTATE m_state[2]{};
    const CursorPosition* m_cursorPos = nullptr;
    HCURSOR m_cursor = nullptr;
    uint8_t m_cursorKind = 0;
    uint8_t m_cursorShown = 1;
    uint8_t m_imageVisible = 0;
    uint8_t m_visibleWanted = 1;
    uint8_t m_systemCursorShown = 1;
    uint16_t m_buttonCount = 0;
    uint16_t m_axisCount = 0;
    // Software cursor.
    ICursorImage* m_image = nullptr;
    int m_frameCount = 0;
    int m_cellWidth = 0;
    int m_originX = 0;
    int m_originY = 0;
    int m_hotX = 0;
    int m_hotY = 0;
    int m_shownFrame = -1;
    int m_frameTime = 0;
    uint32_t m_cycle = 0;
    uint32_t m_startTime = 0;
    // Read by the frame's cursor tracking: keep the system cursor shown everywhere, and hide it
    // while the cursor is over the client area.
    uint8_t m_keepCursor = 0;
    uint8_t m_hideInClient = 0;

protected:
    const DIMOUSESTATE& Latest() const { return m_state[m_index ^ 1]; }
    const DIMOUSESTATE& Previous() const { return m_state[m_index]; }
    bool Outside() const
    {
        return m_cursorPos != nullptr && m_cursorPos->x != -2 && m_cursorPos->y != -2 &&
               (m_cursorPos->x < 0 || m_cursorPos->y < 0);
    }
    virtual bool ButtonDown(int button);
    bool ButtonPushed(int button) const
    {
        return (Latest().rgbButtons[button] & 0x80) != 0 && (Previous().rgbButtons[button] & 0x80) == 0;
    }
    void ShowImage(bool show);
    // Forgets the image, clearing its holder.
    void LetImageGo();

    std::atomic<int32_t> m_pendingWheel{0};
};

class CDirectInputMouse final : public CMouseDevice {
public:
    ~CDirectInputMouse() override;
    // → 0, 1 no interface, 2 device, 3 data format, 4 cooperative level, 5 axis mode.
    uint32_t Create(IDirectInputA* input, HWND hwnd, bool absolute);
    void Release();

    EInputMethod GetMethod() override { return kInputDirectInput; }
    void Acquire() override;
    void Unacquire() override;
    uint32_t Poll() override;
    // The wheel comes from the device's z axis.
    void OnWheel(WPARAM) override {}

private:
    IDirectInputDeviceA* m_device = nullptr;
    uint8_t m_absolute = 0;
};

class CPollingMouse final : public CMouseDevice {
public:
    EInputMethod GetMethod() override { return kInputPolling; }
    uint32_t Poll() override;
};

// Buttons come from the window's messages on its thread: presses go into atomic pending flags
// that Poll takes whole, so no press is lost between the two threads.
class CMessageMouse final : public CMouseDevice {
public:
    EInputMethod GetMethod() override { return kInputMessages; }
    uint32_t Poll() override;
    void Clear() override;
    void OnButton(int button, bool down);

protected:
    bool ButtonDown(int button) override;

private:
    std::atomic<uint8_t> m_pending[3]{};
    std::atomic<uint8_t> m_held[3]{};
};
