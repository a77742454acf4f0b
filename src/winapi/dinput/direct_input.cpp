// DirectInput objects and the input state the host feeds them; see winapi/dinput.h.
#include "winapi/dinput.h"

#include <atomic>
#include <cstring>
#include <iterator>
#include <mutex>

#include "winapi/joystick.h"
#include "winapi/kernel_module.h"
#include "winapi/text.h"

const GUID CLSID_DirectInput = {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInputA = {0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInputDeviceA = {0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInputDevice2A = {0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID DIPROP_AXISMODE = {0x44495002, 0, 0, {'D', 'I', 'P', 'R', 'O', 'P', 0, 2}};
const GUID DIPROP_RANGE = {0x44495004, 0, 0, {'D', 'I', 'P', 'R', 'O', 'P', 0, 4}};

const DIDATAFORMAT c_dfDIKeyboard = {24, 16, 0x2, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {24, 16, 0x2, sizeof(DIMOUSESTATE), 0, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {24, 16, 0x1, sizeof(DIJOYSTATE), 0, nullptr};

namespace winapi {

namespace {

// What the host has told: keys by DIK code, the mouse's running totals, and the number of
// deactivations (a foreground device acquired before the last one has lost its acquisition).
struct RawInput {
    std::mutex mutex;
    BYTE keys[256]{};
    BYTE buttons[4]{};
    int64_t totalX = 0, totalY = 0, totalWheel = 0;
    LONG cursorX = 0, cursorY = 0;
    bool haveCursor = false;
    std::atomic<uint32_t> focusLosses{0};
};

RawInput& Raw()
{
    static auto* raw = new RawInput;
    return *raw;
}

enum class Kind { Keyboard, Mouse, Joystick };

// The joystick id that an instance GUID names now; -1 when it is not attached.
int JoystickIdOf(const GUID& instance)
{
    JoystickInfo info;
    for (int id = 0; id < kJoystickIds; ++id)
        if (ReadJoystick(id, &info, nullptr) && info.instance == instance)
            return id;
    return -1;
}

class CDevice final : public IDirectInputDevice2A {
public:
    CDevice(Kind kind, const GUID& instance) : m_kind(kind), m_instance(instance) {}

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDirectInputDeviceA || iid == IID_IDirectInputDevice2A) {
            *out = static_cast<IDirectInputDevice2A*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    HRESULT GetCapabilities(LPDIDEVCAPS caps) override
    {
        if (caps == nullptr || caps->dwSize != sizeof(DIDEVCAPS))
            return DIERR_INVALIDPARAM;
        std::memset(caps, 0, sizeof(*caps));
        caps->dwSize = sizeof(DIDEVCAPS);
        caps->dwFlags = DIDC_ATTACHED;
        switch (m_kind) {
        case Kind::Keyboard:
            caps->dwDevType = DIDEVTYPE_KEYBOARD;
            caps->dwButtons = 128;
            break;
        case Kind::Mouse:
            caps->dwDevType = DIDEVTYPE_MOUSE;
            caps->dwAxes = 3;
            caps->dwButtons = 3;
            break;
        case Kind::Joystick: {
            JoystickInfo info;
            if (!ReadJoystick(JoystickIdOf(m_instance), &info, nullptr))
                return DIERR_INPUTLOST;
            caps->dwDevType = DIDEVTYPE_JOYSTICK;
            caps->dwAxes = static_cast<DWORD>(info.axes);
            caps->dwButtons = static_cast<DWORD>(info.buttons);
            caps->dwPOVs = info.hasPov ? 1 : 0;
            break;
        }
        }
        return DI_OK;
    }

    HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) override
    {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (property == DIPROP_RANGE && m_kind == Kind::Joystick && header->dwSize == sizeof(DIPROPRANGE) &&
            header->dwHow == DIPH_BYOFFSET && header->dwObj <= 20 && header->dwObj % 4 == 0) {
            auto* range = reinterpret_cast<DIPROPRANGE*>(header);
            range->lMin = 0;
            range->lMax = 65535;
            return DI_OK;
        }
        if (property == DIPROP_AXISMODE && m_kind == Kind::Mouse && header->dwSize == sizeof(DIPROPDWORD)) {
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = m_absolute ? DIPROPAXISMODE_ABS : DIPROPAXISMODE_REL;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override
    {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (property == DIPROP_AXISMODE && m_kind == Kind::Mouse && header->dwSize == sizeof(DIPROPDWORD) &&
            header->dwHow == DIPH_DEVICE) {
            if (m_acquired)
                return DIERR_ACQUIRED;
            const DWORD mode = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (mode != DIPROPAXISMODE_ABS && mode != DIPROPAXISMODE_REL)
                return DIERR_INVALIDPARAM;
            m_absolute = mode == DIPROPAXISMODE_ABS;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT Acquire() override
    {
        if (m_format == nullptr)
            return DIERR_INVALIDPARAM;
        if (m_acquired)
            return DI_NOEFFECT;
        if (m_kind == Kind::Joystick && JoystickIdOf(m_instance) < 0)
            return DIERR_INPUTLOST;
        RawInput& raw = Raw();
        std::lock_guard lock(raw.mutex);
        m_acquired = true;
        m_losses = raw.focusLosses.load();
        m_lastX = raw.totalX;
        m_lastY = raw.totalY;
        m_lastWheel = raw.totalWheel;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        if (!m_acquired)
            return DI_NOEFFECT;
        m_acquired = false;
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override
    {
        if (data == nullptr || m_format == nullptr || size != m_format->dwDataSize)
            return DIERR_INVALIDPARAM;
        if (!m_acquired)
            return DIERR_NOTACQUIRED;
        RawInput& raw = Raw();
        if ((m_flags & DISCL_FOREGROUND) != 0 && raw.focusLosses.load() != m_losses) {
            m_acquired = false;
            return DIERR_INPUTLOST;
        }
        switch (m_kind) {
        case Kind::Keyboard: {
            std::lock_guard lock(raw.mutex);
            std::memcpy(data, raw.keys, 256);
            return DI_OK;
        }
        case Kind::Mouse: {
            DIMOUSESTATE state{};
            std::lock_guard lock(raw.mutex);
            if (m_absolute) {
                state.lX = raw.cursorX;
                state.lY = raw.cursorY;
                state.lZ = static_cast<LONG>(raw.totalWheel);
            } else {
                state.lX = static_cast<LONG>(raw.totalX - m_lastX);
                state.lY = static_cast<LONG>(raw.totalY - m_lastY);
                state.lZ = static_cast<LONG>(raw.totalWheel - m_lastWheel);
            }
            m_lastX = raw.totalX;
            m_lastY = raw.totalY;
            m_lastWheel = raw.totalWheel;
            std::memcpy(state.rgbButtons, raw.buttons, 4);
            std::memcpy(data, &state, sizeof(state));
            return DI_OK;
        }
        case Kind::Joystick: {
            JoystickInfo info;
            JoystickState joystick;
            if (!ReadJoystick(JoystickIdOf(m_instance), &info, &joystick)) {
                m_acquired = false;
                return DIERR_INPUTLOST;
            }
            DIJOYSTATE state{};
            LONG* const axes[] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz};
            for (int axis = 0; axis < info.axes; ++axis)
                *axes[axis] = joystick.axes[axis];
            for (DWORD& pov : state.rgdwPOV)
                pov = 0xFFFFFFFFu;
            if (info.hasPov && joystick.pov >= 0)
                state.rgdwPOV[0] = static_cast<DWORD>(joystick.pov);
            for (int button = 0; button < info.buttons; ++button)
                state.rgbButtons[button] = (joystick.buttons >> button & 1) != 0 ? 0x80 : 0;
            std::memcpy(data, &state, sizeof(state));
            return DI_OK;
        }
        }
        return DIERR_INVALIDPARAM;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override
    {
        static const DIDATAFORMAT* const kFormats[] = {&c_dfDIKeyboard, &c_dfDIMouse, &c_dfDIJoystick};
        if (format != kFormats[static_cast<int>(m_kind)])
            return DIERR_INVALIDPARAM;
        if (m_acquired)
            return DIERR_ACQUIRED;
        m_format = format;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override
    {
        const DWORD exclusive = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD ground = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (exclusive == 0 || exclusive == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE) || ground == 0 ||
            ground == (DISCL_FOREGROUND | DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        m_flags = flags;
        return DI_OK;
    }

    HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) override
    {
        if (instance == nullptr || instance->dwSize != sizeof(DIDEVICEINSTANCEA))
            return DIERR_INVALIDPARAM;
        return Describe(m_kind, m_instance, instance) ? DI_OK : DIERR_INPUTLOST;
    }

    HRESULT Poll() override { return m_acquired ? DI_NOEFFECT : DIERR_NOTACQUIRED; }

    // Fills a device instance record for a kind (the joystick by its instance GUID).
    static bool Describe(Kind kind, const GUID& instance, DIDEVICEINSTANCEA* out)
    {
        std::string name;
        DWORD type = DIDEVTYPE_KEYBOARD;
        if (kind == Kind::Keyboard) {
            name = "Keyboard";
        } else if (kind == Kind::Mouse) {
            name = "Mouse";
            type = DIDEVTYPE_MOUSE;
        } else {
            JoystickInfo info;
            if (!ReadJoystick(JoystickIdOf(instance), &info, nullptr))
                return false;
            name = Utf8ToSjis(info.nameUtf8);
            type = DIDEVTYPE_JOYSTICK;
        }
        std::memset(out, 0, sizeof(*out));
        out->dwSize = sizeof(DIDEVICEINSTANCEA);
        out->guidInstance = instance;
        out->guidProduct = instance;
        out->dwDevType = type;
        const size_t length = SjisPrefixLength(name, sizeof(out->tszProductName) - 1);
        std::memcpy(out->tszInstanceName, name.data(), length);
        std::memcpy(out->tszProductName, name.data(), length);
        return true;
    }

private:
    ~CDevice() = default;

    std::atomic<ULONG> m_refs{1};
    Kind m_kind;
    GUID m_instance;
    const DIDATAFORMAT* m_format = nullptr;
    DWORD m_flags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool m_acquired = false;
    bool m_absolute = false;
    uint32_t m_losses = 0;
    int64_t m_lastX = 0, m_lastY = 0, m_lastWheel = 0;
};

class CDirectInput final : public IDirectInputA {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDirectInputA) {
            *out = static_cast<IDirectInputA*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    HRESULT CreateDevice(REFGUID guid, IDirectInputDeviceA** device, LPUNKNOWN outer) override
    {
        if (device == nullptr)
            return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        if (!m_initialised)
            return DIERR_NOTINITIALIZED;
        Kind kind;
        if (guid == GUID_SysKeyboard)
            kind = Kind::Keyboard;
        else if (guid == GUID_SysMouse)
            kind = Kind::Mouse;
        else if (JoystickIdOf(guid) >= 0)
            kind = Kind::Joystick;
        else
            return DIERR_DEVICENOTREG;
        *device = new CDevice(kind, guid);
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD) override
    {
        if (callback == nullptr)
            return DIERR_INVALIDPARAM;
        if (!m_initialised)
            return DIERR_NOTINITIALIZED;
        DIDEVICEINSTANCEA instance;
        if ((devType == 0 || devType == DIDEVTYPE_KEYBOARD) && CDevice::Describe(Kind::Keyboard, GUID_SysKeyboard, &instance) &&
            callback(&instance, ref) == DIENUM_STOP)
            return DI_OK;
        if ((devType == 0 || devType == DIDEVTYPE_MOUSE) && CDevice::Describe(Kind::Mouse, GUID_SysMouse, &instance) &&
            callback(&instance, ref) == DIENUM_STOP)
            return DI_OK;
        if (devType != 0 && devType != DIDEVTYPE_JOYSTICK)
            return DI_OK;
        for (int id = 0; id < kJoystickIds; ++id) {
            JoystickInfo info;
            if (ReadJoystick(id, &info, nullptr) && CDevice::Describe(Kind::Joystick, info.instance, &instance) &&
                callback(&instance, ref) == DIENUM_STOP)
                break;
        }
        return DI_OK;
    }

    HRESULT Initialize(HINSTANCE, DWORD version) override
    {
        if (version < 0x0300)
            return DIERR_OLDDIRECTINPUTVERSION;
        if (version > DIRECTINPUT_VERSION)
            return DIERR_BETADIRECTINPUTVERSION;
        m_initialised = true;
        return DI_OK;
    }

private:
    ~CDirectInput() = default;

    std::atomic<ULONG> m_refs{1};
    bool m_initialised = false;
};

HRESULT MakeDirectInput(REFIID iid, void** out)
{
    auto* object = new CDirectInput;
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
}

const BuiltinProc kDinputProcs[] = {
    {"DirectInputCreateA", ToFarProc(&DirectInputCreateA)},
};

} // namespace

void RegisterDirectInputClass()
{
    static const bool registered = [] {
        RegisterComClass(CLSID_DirectInput, MakeDirectInput);
        RegisterBuiltinModule("dinput.dll", kDinputProcs, std::size(kDinputProcs));
        return true;
    }();
    (void)registered;
}

const bool g_dinputRegistered = (RegisterDirectInputClass(), true);

int DikFromScan(int scan, bool extended, int vk)
{
    // Pause shares Num Lock's scan code on the wire; DirectInput tells them apart the other way.
    if (vk == 0x13)
        return DIK_PAUSE;
    if (vk == 0x90)
        return DIK_NUMLOCK;
    return (scan & 0x7F) | (extended ? 0x80 : 0);
}

void DinputKey(int dik, bool down)
{
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    raw.keys[dik & 0xFF] = down ? 0x80 : 0;
}

void DinputMouseMove(int screenX, int screenY)
{
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    if (raw.haveCursor) {
        raw.totalX += screenX - raw.cursorX;
        raw.totalY += screenY - raw.cursorY;
    }
    raw.haveCursor = true;
    raw.cursorX = screenX;
    raw.cursorY = screenY;
}

void DinputMouseButton(int button, bool down)
{
    if (button < 0 || button > 3)
        return;
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    raw.buttons[button] = down ? 0x80 : 0;
}

void DinputMouseWheel(int delta)
{
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    raw.totalWheel += delta;
}

void DinputFocusLost()
{
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    ++raw.focusLosses;
    std::memset(raw.keys, 0, sizeof(raw.keys));
    std::memset(raw.buttons, 0, sizeof(raw.buttons));
}

void DinputResetState()
{
    RawInput& raw = Raw();
    std::lock_guard lock(raw.mutex);
    std::memset(raw.keys, 0, sizeof(raw.keys));
    std::memset(raw.buttons, 0, sizeof(raw.buttons));
}

} // namespace winapi

HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* out, LPUNKNOWN outer)
{
    if (out == nullptr)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    auto* object = new winapi::CDirectInput;
    const HRESULT result = object->Initialize(instance, version);
    if (FAILED(result)) {
        object->Release();
        return result;
    }
    *out = object;
    return DI_OK;
}
