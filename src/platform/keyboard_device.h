// The keyboard as an input source, with its four back-ends: DirectInput, polling every row of the
// key code table with GetAsyncKeyState, window messages, and polling the key subset. Each keeps
// two samples (the latest and the one before) so that a press is seen in one frame only.
#pragma once

#include <atomic>

#include "platform/input_source.h"
#include "winapi/dinput.h"
#include "winapi/user.h"

class CKeyboardDevice : public CInputSource {
public:
    CKeyboardDevice();

    bool IsDown(int code) override;
    bool IsPushed(int code) override;
    int FindFirstDown() override;
    int FindFirstPushed() override;
    void Clear() override;

    // Pushed with the Windows repeat bit (message keyboard); false elsewhere.
    virtual bool IsRepeated(int code);
    virtual EInputMethod GetMethod() = 0;
    virtual void Acquire() {}
    virtual void Unacquire() { Clear(); }
    // → 0 ok, 1 no device, 2 read failed.
    virtual uint32_t Poll() = 0;

    // Reads the three toggle keys with GetKeyState bit 0 (vk 0 = all three).
    void RefreshToggleKey(int virtualKey);
    void RefreshToggleKeys() { RefreshToggleKey(0); }

    uint8_t m_index = 0;          // the sample written next; (index ^ 1) is the latest
    uint8_t m_state[2][256]{};    // bit 7 = down
    uint8_t m_scrollLock = 0;
    uint8_t m_capsLock = 0;
    uint8_t m_numLock = 0;
    uint8_t m_keyRepeat = 1;      // written by the script natives
    uint32_t m_keyCount = 0;      // DirectInput capabilities (the report prints it)

protected:
    const uint8_t* Latest() const { return m_state[m_index ^ 1]; }
    const uint8_t* Previous() const { return m_state[m_index]; }
};

class CDirectInputKeyboard final : public CKeyboardDevice {
public:
    ~CDirectInputKeyboard() override;
    // → 0, 1 no interface, 2 device not created, 3 data format refused, 4 cooperative level refused.
    uint32_t Create(IDirectInputA* input, HWND hwnd);
    void Release();

    EInputMethod GetMethod() override { return kInputDirectInput; }
    void Acquire() override;
    void Unacquire() override;
    uint32_t Poll() override;

private:
    IDirectInputDeviceA* m_device = nullptr;
};

class CPollingKeyboard : public CKeyboardDevice {
public:
    EInputMethod GetMethod() override { return kInputPolling; }
    uint32_t Poll() override;
};

class CPollingKeyboardSubset final : public CKeyboardDevice {
public:
    EInputMethod GetMethod() override { return kInputPollingSubset; }
    uint32_t Poll() override;
};

// Window messages feed it on the window's thread while Poll runs on the game thread: what the
// messages record goes into atomic pending flags, and Poll takes them whole into the frame's
// flags, so that a press recorded during one frame is read during the next, exactly once.
class CMessageKeyboard final : public CKeyboardDevice {
public:
    CMessageKeyboard();

    bool IsDown(int code) override;
    bool IsPushed(int code) override;
    bool IsRepeated(int code) override;
    int FindFirstDown() override;
    int FindFirstPushed() override;
    void Clear() override;
    EInputMethod GetMethod() override { return kInputMessages; }
    uint32_t Poll() override;

    void OnKeyDown(int virtualKey, LPARAM lParam);
    void OnKeyUp(int virtualKey);

    uint8_t m_map[256]{};  // virtual key → key code

private:
    // Per key: bit 0 a key-down was seen, bit 1 it carried the repeat bit.
    std::atomic<uint8_t> m_pending[256]{};
    uint8_t m_frame[256]{};
    std::atomic<uint8_t> m_held[256]{};
};
