// DirectInput of the stand-in (the interface version 0x0500 subset the engine uses): the system
// keyboard and mouse, fed by the host's key and mouse events, and the joysticks of the host's
// joystick table. Made by CoCreateInstance(CLSID_DirectInput) or DirectInputCreateA of the
// built-in "dinput.dll". Keyboard codes are DIK_ values (PC set-1 scan codes, +0x80 when extended).
// A foreground device loses its acquisition when the application is deactivated: its next
// GetDeviceState answers DIERR_INPUTLOST, the ones after DIERR_NOTACQUIRED until Acquire.
#pragma once

#include "winapi/com.h"
#include "winapi/dinput/dinput_keys.h"

#define DIRECTINPUT_VERSION 0x0500

#define DI_OK S_OK
#define DI_NOEFFECT S_FALSE
#define DIERR_INPUTLOST static_cast<HRESULT>(0x8007001Eu)
#define DIERR_NOTACQUIRED static_cast<HRESULT>(0x8007000Cu)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_DEVICENOTREG REGDB_E_CLASSNOTREG
#define DIERR_NOTINITIALIZED static_cast<HRESULT>(0x80070015u)
#define DIERR_OLDDIRECTINPUTVERSION static_cast<HRESULT>(0x8007047Eu)
#define DIERR_BETADIRECTINPUTVERSION static_cast<HRESULT>(0x80070481u)
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_ACQUIRED static_cast<HRESULT>(0x800700AAu)
#define DIERR_OBJECTNOTFOUND static_cast<HRESULT>(0x80070002u)

#define DISCL_EXCLUSIVE 0x1u
#define DISCL_NONEXCLUSIVE 0x2u
#define DISCL_FOREGROUND 0x4u
#define DISCL_BACKGROUND 0x8u

#define DIDEVTYPE_DEVICE 1
#define DIDEVTYPE_MOUSE 2
#define DIDEVTYPE_KEYBOARD 3
#define DIDEVTYPE_JOYSTICK 4
#define DIEDFL_ALLDEVICES 0x0u
#define DIEDFL_ATTACHEDONLY 0x1u
#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
#define DIPROPAXISMODE_ABS 0
#define DIPROPAXISMODE_REL 1
#define DIDC_ATTACHED 0x1u

extern const GUID CLSID_DirectInput;
extern const GUID IID_IDirectInputA;
extern const GUID IID_IDirectInputDeviceA;
extern const GUID IID_IDirectInputDevice2A;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
// Property ids (Windows passes small integers as GUID references; here they are real GUIDs).
extern const GUID DIPROP_AXISMODE;
extern const GUID DIPROP_RANGE;

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;  // bytes of the state GetDeviceState fills
    DWORD dwNumObjs;
    const void* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;
// The three formats the engine uses: 256 key bytes, DIMOUSESTATE and DIJOYSTATE.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIJoystick;

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;  // the wheel, 120 a notch
    BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
    LONG lX, lY, lZ;
    LONG lRx, lRy, lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];  // hundredths of a degree; 0xFFFFFFFF centred
    BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

struct DIDEVCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDevType;
    DWORD dwAxes;
    DWORD dwButtons;
    DWORD dwPOVs;
    DWORD dwFFSamplePeriod;
    DWORD dwFFMinTimeResolution;
    DWORD dwFirmwareRevision;
    DWORD dwHardwareRevision;
    DWORD dwFFDriverVersion;
};
static_assert(sizeof(DIDEVCAPS) == 44);
using LPDIDEVCAPS = DIDEVCAPS*;

struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[260];
    CHAR tszProductName[260];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580);
using LPDIDEVICEINSTANCEA = DIDEVICEINSTANCEA*;
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
using LPDIPROPHEADER = DIPROPHEADER*;
using LPCDIPROPHEADER = const DIPROPHEADER*;
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
static_assert(sizeof(DIPROPDWORD) == 20);
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24);

using LPDIENUMDEVICESCALLBACKA = BOOL(CALLBACK*)(LPCDIDEVICEINSTANCEA instance, LPVOID ref);

// Every method answers DI_OK or a DIERR_ code.
struct IDirectInputDeviceA : IUnknown {
    // dwSize must be 44 (DIERR_INVALIDPARAM).
    virtual HRESULT GetCapabilities(LPDIDEVCAPS caps) = 0;
    // DIPROP_RANGE of the x (offset 0) or y (offset 4) axis of a joystick: 0..65535.
    virtual HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) = 0;
    // DIPROP_AXISMODE of the mouse (DIPROPAXISMODE_REL or _ABS). DIERR_ACQUIRED while acquired.
    virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
    // DI_NOEFFECT when already acquired; DIERR_INVALIDPARAM before SetDataFormat.
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // size must be the data format's size (DIERR_INVALIDPARAM). DIERR_NOTACQUIRED when not
    // acquired; DIERR_INPUTLOST once after the acquisition was lost; a joystick whose device was
    // unplugged answers DIERR_INPUTLOST and then DIERR_NOTACQUIRED.
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    // The device's own format only (DIERR_INVALIDPARAM otherwise); DIERR_ACQUIRED while acquired.
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
    // Exactly one of EXCLUSIVE/NONEXCLUSIVE and one of FOREGROUND/BACKGROUND (DIERR_INVALIDPARAM).
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    // dwSize must be 580 (DIERR_INVALIDPARAM).
    virtual HRESULT GetDeviceInfo(LPDIDEVICEINSTANCEA instance) = 0;

protected:
    ~IDirectInputDeviceA() = default;
};
using LPDIRECTINPUTDEVICEA = IDirectInputDeviceA*;

struct IDirectInputDevice2A : IDirectInputDeviceA {
    // Reads the device (nothing to do for the host's devices): DI_NOEFFECT, or DIERR_NOTACQUIRED.
    virtual HRESULT Poll() = 0;

protected:
    ~IDirectInputDevice2A() = default;
};
using LPDIRECTINPUTDEVICE2A = IDirectInputDevice2A*;

struct IDirectInputA : IUnknown {
    // GUID_SysKeyboard, GUID_SysMouse or an attached joystick's instance GUID
    // (DIERR_DEVICENOTREG otherwise); DIERR_NOTINITIALIZED before Initialize.
    virtual HRESULT CreateDevice(REFGUID guid, IDirectInputDeviceA** device, LPUNKNOWN outer) = 0;
    // Devices of a type (0 all), keyboard and mouse first, joysticks by id.
    virtual HRESULT EnumDevices(DWORD devType, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD flags) = 0;
    // Versions 0x0300 to 0x0500 (DIERR_OLDDIRECTINPUTVERSION below, DIERR_BETADIRECTINPUTVERSION above).
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;

protected:
    ~IDirectInputA() = default;
};
using LPDIRECTINPUTA = IDirectInputA*;

// The entry point of "dinput.dll": an initialised object for the version.
HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA* out, LPUNKNOWN outer);

namespace winapi {
// The DIK code of a key the host delivers (PC set-1 scan code, +0x80 when extended, with Pause at
// 0xC5 and Num Lock at 0x45).
int DikFromScan(int scan, bool extended, int vk);
// What the host's events tell DirectInput; called by the window system's host entry points.
void DinputKey(int dik, bool down);
void DinputMouseMove(int screenX, int screenY);
void DinputMouseButton(int button, bool down);
void DinputMouseWheel(int delta);
void DinputFocusLost();
// Releases every key and button (tests).
void DinputResetState();
} // namespace winapi
