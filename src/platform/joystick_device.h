// Joysticks as input sources, through DirectInput or the multimedia joystick calls. Each axis
// range is split into thirds; a stick past a third counts as that direction. The slot table,
// shared by both kinds, keeps which of the sixteen devices are present and which are open.
#pragma once

#include <string>

#include "platform/input_source.h"
#include "winapi/dinput.h"
#include "winapi/mmsystem.h"

struct JoystickSlot {
    GUID instance;
    uint8_t present;
    uint8_t inUse;
};
struct JoystickSlotTableType {
    JoystickSlot slots[16];
    uint32_t count;
};
extern JoystickSlotTableType JoystickSlotTable;

class CJoystickDevice : public CInputSource {
public:
    bool IsDown(int code) override;
    bool IsPushed(int code) override;
    int FindFirstDown() override;
    int FindFirstPushed() override;
    // Both records to released, the sticks centred.
    void Clear() override;

    virtual void Acquire() {}
    virtual void Unacquire() { Clear(); }
    // → 0 ok, 1 not open, 2 read failed.
    virtual uint32_t Poll() = 0;

    int32_t m_number = -1;
    uint8_t m_index = 0;
    DIJOYSTATE m_state[2]{};
    int32_t m_xLow = 0, m_xHigh = 0, m_yLow = 0, m_yHigh = 0;
    uint32_t m_buttonCountCaps = 0;
    uint32_t m_buttonCount = 0;
    uint16_t m_axisCount = 0;
    std::string m_name;

protected:
    void SetThresholds(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);
    const DIJOYSTATE& Latest() const { return m_state[m_index ^ 1]; }
    const DIJOYSTATE& Previous() const { return m_state[m_index]; }
    static bool Held(const DIJOYSTATE& s, int code, const CJoystickDevice& d)
    {
        switch (code) {
        case 0: return s.lY < d.m_yLow;
        case 1: return s.lY > d.m_yHigh;
        case 2: return s.lX < d.m_xLow;
        case 3: return s.lX > d.m_xHigh;
        default: {
            const int button = code - 4;
            return button >= 0 && button < 32 && static_cast<uint32_t>(button) < d.m_buttonCount &&
                   (s.rgbButtons[button] & 0x80) != 0;
        }
        }
    }
};

class CDirectInputJoystick final : public CJoystickDevice {
public:
    ~CDirectInputJoystick() override;
    // → 0, 1 no interface or number > 15, 2 no free present slot, 3 device not created,
    // 4 data format or cooperative level refused, 5 capabilities or range failed.
    uint32_t Open(IDirectInputA* input, HWND hwnd, int number, bool rescan);
    void Close();

    void Acquire() override;
    void Unacquire() override;
    uint32_t Poll() override;

private:
    IDirectInputDevice2A* m_device = nullptr;
};

class CWinmmJoystick final : public CJoystickDevice {
public:
    ~CWinmmJoystick() override;
    // → 0, 1 number out of range (exclusive only), 2 none available, 3 capabilities refused,
    // 4 position refused.
    uint32_t Open(int number, bool scan, bool exclusive);
    void Close();

    void Unacquire() override;
    uint32_t Poll() override;

private:
    uint8_t m_opened = 0;
    uint8_t m_scanned = 0;
    uint8_t m_exclusive = 0;
};
