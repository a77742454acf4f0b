// The joystick back-ends; see joystick_device.h.
#include "platform/joystick_device.h"

#include <cstring>

#include "platform/direct_input_device.h"

JoystickSlotTableType JoystickSlotTable{};

void CJoystickDevice::SetThresholds(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax)
{
    m_xLow = static_cast<int32_t>((int64_t{xMax} + 2 * int64_t{xMin}) / 3);
    m_xHigh = static_cast<int32_t>((int64_t{xMin} + 2 * int64_t{xMax}) / 3);
    m_yLow = static_cast<int32_t>((int64_t{yMax} + 2 * int64_t{yMin}) / 3);
    m_yHigh = static_cast<int32_t>((int64_t{yMin} + 2 * int64_t{yMax}) / 3);
}

bool CJoystickDevice::IsDown(int code)
{
    return Held(Latest(), code, *this);
}

bool CJoystickDevice::IsPushed(int code)
{
    return Held(Latest(), code, *this) && !Held(Previous(), code, *this);
}

int CJoystickDevice::FindFirstDown()
{
    const int codes = 4 + static_cast<int>(m_buttonCount < 32 ? m_buttonCount : 32);
    for (int code = 0; code < codes; ++code)
        if (IsDown(code))
            return code;
    return -1;
}

int CJoystickDevice::FindFirstPushed()
{
    const int codes = 4 + static_cast<int>(m_buttonCount < 32 ? m_buttonCount : 32);
    for (int code = 0; code < codes; ++code)
        if (IsPushed(code))
            return code;
    return -1;
}

void CJoystickDevice::Clear()
{
    std::memset(m_state, 0, sizeof(m_state));
    for (DIJOYSTATE& s : m_state) {
        s.lX = m_xLow;
        s.lY = m_yLow;
    }
}

// DirectInput.

namespace {

BOOL CALLBACK StoreJoystick(LPCDIDEVICEINSTANCEA instance, LPVOID)
{
    if (JoystickSlotTable.count >= 16)
        return DIENUM_STOP;
    JoystickSlot& slot = JoystickSlotTable.slots[JoystickSlotTable.count++];
    slot.instance = instance->guidInstance;
    slot.present = 1;
    return JoystickSlotTable.count < 16 ? DIENUM_CONTINUE : DIENUM_STOP;
}

} // namespace

CDirectInputJoystick::~CDirectInputJoystick()
{
    Close();
}

void CDirectInputJoystick::Close()
{
    if (m_device != nullptr) {
        m_device->Unacquire();
        m_device->Release();
        m_device = nullptr;
    }
    if (m_number >= 0 && m_number < 16)
        JoystickSlotTable.slots[m_number].inUse = 0;
    m_number = -1;
}

uint32_t CDirectInputJoystick::Open(IDirectInputA* input, HWND hwnd, int number, bool rescan)
{
    Close();
    // Numbers below -1 would index before the slot table.
    if (input == nullptr || number > 15 || number < -1)
        return 1;
    if (JoystickSlotTable.count == 0 || rescan) {
        // Devices held open keep their mark wherever the new walk puts them.
        const JoystickSlotTableType before = JoystickSlotTable;
        JoystickSlotTable = JoystickSlotTableType{};
        input->EnumDevices(DIDEVTYPE_JOYSTICK, StoreJoystick, nullptr, DIEDFL_ATTACHEDONLY);
        for (JoystickSlot& slot : JoystickSlotTable.slots)
            for (const JoystickSlot& old : before.slots)
                if (old.inUse && slot.present && old.instance == slot.instance)
                    slot.inUse = 1;
    }
    if (number >= static_cast<int>(JoystickSlotTable.count))
        return 1;
    int slot = -1;
    if (number == -1) {
        for (uint32_t i = 0; i < JoystickSlotTable.count && slot < 0; ++i)
            if (JoystickSlotTable.slots[i].present && !JoystickSlotTable.slots[i].inUse)
                slot = static_cast<int>(i);
    } else if (static_cast<uint32_t>(number) < JoystickSlotTable.count && JoystickSlotTable.slots[number].present &&
               !JoystickSlotTable.slots[number].inUse) {
        slot = number;
    }
    if (slot < 0)
        return 2;
    IDirectInputDeviceA* first = nullptr;
    if (FAILED(input->CreateDevice(JoystickSlotTable.slots[slot].instance, &first, nullptr)) || first == nullptr)
        return 3;
    void* second = nullptr;
    const HRESULT queried = first->QueryInterface(IID_IDirectInputDevice2A, &second);
    first->Release();
    if (FAILED(queried) || second == nullptr)
        return 3;
    m_device = static_cast<IDirectInputDevice2A*>(second);
    auto fail = [this](uint32_t code) {
        m_device->Release();
        m_device = nullptr;
        return code;
    };
    if (FAILED(m_device->SetDataFormat(&c_dfDIJoystick)) ||
        FAILED(m_device->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
        return fail(4);
    DIDEVCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (FAILED(m_device->GetCapabilities(&caps)))
        return fail(5);
    m_buttonCountCaps = m_buttonCount = caps.dwButtons;
    m_axisCount = static_cast<uint16_t>(caps.dwAxes);
    DIPROPRANGE x{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), 0, DIPH_BYOFFSET}, 0, 0};
    DIPROPRANGE y{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), 4, DIPH_BYOFFSET}, 0, 0};
    if (FAILED(m_device->GetProperty(DIPROP_RANGE, &x.diph)) || FAILED(m_device->GetProperty(DIPROP_RANGE, &y.diph)))
        return fail(5);
    SetThresholds(x.lMin, x.lMax, y.lMin, y.lMax);
    m_device->Acquire();
    JoystickSlotTable.slots[slot].inUse = 1;
    m_number = slot;
    Clear();
    DIDEVICEINSTANCEA info{};
    info.dwSize = sizeof(info);
    m_name = SUCCEEDED(m_device->GetDeviceInfo(&info)) && info.tszProductName[0] != 0
                 ? std::string(info.tszProductName, strnlen(info.tszProductName, sizeof(info.tszProductName)))
                 : std::string("Unknown");
    return 0;
}

void CDirectInputJoystick::Acquire()
{
    AcquireDevice(m_device);
}

void CDirectInputJoystick::Unacquire()
{
    UnacquireDevice(m_device);
    Clear();
}

uint32_t CDirectInputJoystick::Poll()
{
    if (m_device != nullptr)
        m_device->Poll();
    const uint32_t result = ReadDeviceState(m_device, sizeof(DIJOYSTATE), &m_state[m_index]);
    if (result == 0)
        m_index ^= 1;
    else if (result == 2)
        Clear();
    return result;
}

// The multimedia joystick calls.

CWinmmJoystick::~CWinmmJoystick()
{
    Close();
}

void CWinmmJoystick::Close()
{
    if (m_opened && m_exclusive && m_number >= 0 && m_number < 16)
        JoystickSlotTable.slots[m_number].inUse = 0;
    m_opened = 0;
    m_exclusive = 0;
    m_number = -1;
}

uint32_t CWinmmJoystick::Open(int number, bool scan, bool exclusive)
{
    Close();
    if (JoystickSlotTable.count == 0) {
        const UINT devices = joyGetNumDevs();
        JoystickSlotTable.count = devices > 16 ? 16 : devices;
    }
    const int slots = static_cast<int>(JoystickSlotTable.count);
    // Any number outside -1..slots-1 is refused: it would index past the slot table.
    if (number < -1 || number >= slots)
        return 1;
    JOYCAPSA caps{};
    if (scan) {
        m_scanned = 1;
        for (int i = 0; i < slots; ++i)
            JoystickSlotTable.slots[i].present = joyGetDevCapsA(static_cast<UINT>(i), &caps, sizeof(caps)) == JOYERR_NOERROR;
    }
    int id = -1;
    if (number >= 0) {
        if (exclusive && JoystickSlotTable.slots[number].inUse)
            return 2;
        if (joyGetDevCapsA(static_cast<UINT>(number), &caps, sizeof(caps)) != JOYERR_NOERROR)
            return 3;
        id = number;
    } else if (scan) {
        for (int i = 0; i < slots && id < 0; ++i)
            if (JoystickSlotTable.slots[i].present && (!exclusive || !JoystickSlotTable.slots[i].inUse))
                id = i;
        if (id < 0)
            return 2;
        if (joyGetDevCapsA(static_cast<UINT>(id), &caps, sizeof(caps)) != JOYERR_NOERROR)
            return 3;
    } else {
        for (int i = 0; i < slots && id < 0; ++i)
            if ((!exclusive || !JoystickSlotTable.slots[i].inUse) &&
                joyGetDevCapsA(static_cast<UINT>(i), &caps, sizeof(caps)) == JOYERR_NOERROR)
                id = i;
        if (id < 0)
            return 2;
    }
    JOYINFO position{};
    if (joyGetPos(static_cast<UINT>(id), &position) != JOYERR_NOERROR)
        return 4;
    m_opened = 1;
    SetThresholds(static_cast<int32_t>(caps.wXmin), static_cast<int32_t>(caps.wXmax), static_cast<int32_t>(caps.wYmin),
                  static_cast<int32_t>(caps.wYmax));
    m_buttonCountCaps = m_buttonCount = caps.wNumButtons;
    m_axisCount = static_cast<uint16_t>(caps.wNumAxes);
    m_number = id;
    if (exclusive) {
        JoystickSlotTable.slots[id].inUse = 1;
        m_exclusive = 1;
    }
    m_name = caps.szPname[0] != 0 ? std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)))
                                  : std::string("Unknown");
    Clear();
    return 0;
}

void CWinmmJoystick::Unacquire()
{
    if (m_opened)
        Clear();
}

uint32_t CWinmmJoystick::Poll()
{
    if (!m_opened)
        return 1;
    DIJOYSTATE& sample = m_state[m_index];
    bool ok;
    if (m_buttonCount > 4) {
        JOYINFOEX info{};
        info.dwSize = sizeof(info);
        info.dwFlags = JOY_RETURNALL;
        ok = joyGetPosEx(static_cast<UINT>(m_number), &info) == JOYERR_NOERROR;
        if (ok) {
            sample.lX = static_cast<LONG>(info.dwXpos & 0xFFFF);
            sample.lY = static_cast<LONG>(info.dwYpos & 0xFFFF);
            for (int n = 0; n < 32; ++n)
                sample.rgbButtons[n] = static_cast<BYTE>((info.dwButtons >> n & 1) << 7);
        }
    } else {
        JOYINFO info{};
        ok = joyGetPos(static_cast<UINT>(m_number), &info) == JOYERR_NOERROR;
        if (ok) {
            sample.lX = static_cast<LONG>(info.wXpos);
            sample.lY = static_cast<LONG>(info.wYpos);
            for (int n = 0; n < 32; ++n)
                sample.rgbButtons[n] = static_cast<BYTE>((info.wButtons >> n & 1) << 7);
        }
    }
    if (!ok) {
        Clear();
        return 2;
    }
    m_index ^= 1;
    return 0;
}
