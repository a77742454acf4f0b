// winmm joystick calls; see mmsystem_joystick.h.
#include "winapi/mmsystem_joystick.h"

#include <cstring>

#include "winapi/joystick.h"
#include "winapi/text.h"

UINT WINAPI joyGetNumDevs()
{
    return winapi::kJoystickIds;
}

namespace {

MMRESULT Read(UINT_PTR id, winapi::JoystickInfo* info, winapi::JoystickState* state)
{
    if (id >= static_cast<UINT_PTR>(winapi::kJoystickIds))
        return MMSYSERR_BADDEVICEID;
    return winapi::ReadJoystick(static_cast<int>(id), info, state) ? JOYERR_NOERROR : JOYERR_UNPLUGGED;
}

} // namespace

MMRESULT WINAPI joyGetDevCapsA(UINT_PTR id, LPJOYCAPSA caps, UINT size)
{
    if (caps == nullptr)
        return MMSYSERR_INVALPARAM;
    if (size != sizeof(JOYCAPSA))
        return JOYERR_PARMS;
    winapi::JoystickInfo info;
    if (MMRESULT result = Read(id, &info, nullptr); result != JOYERR_NOERROR)
        return result;
    std::memset(caps, 0, sizeof(*caps));
    const std::string name = winapi::Utf8ToSjis(info.nameUtf8);
    std::memcpy(caps->szPname, name.data(), winapi::SjisPrefixLength(name, sizeof(caps->szPname) - 1));
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = static_cast<UINT>(info.buttons);
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    caps->wNumAxes = static_cast<UINT>(info.axes);
    caps->wMaxAxes = winapi::kJoystickAxes;
    caps->wMaxButtons = 32;
    static const UINT kAxisCaps[] = {0, 0, JOYCAPS_HASZ, JOYCAPS_HASR, JOYCAPS_HASU, JOYCAPS_HASV};
    for (int axis = 2; axis < info.axes; ++axis)
        caps->wCaps |= kAxisCaps[axis];
    if (info.hasPov)
        caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POV4DIR;
    return JOYERR_NOERROR;
}

MMRESULT WINAPI joyGetPos(UINT id, LPJOYINFO info)
{
    if (info == nullptr)
        return MMSYSERR_INVALPARAM;
    winapi::JoystickState state;
    if (MMRESULT result = Read(id, nullptr, &state); result != JOYERR_NOERROR)
        return result;
    info->wXpos = static_cast<UINT>(state.axes[0]);
    info->wYpos = static_cast<UINT>(state.axes[1]);
    info->wZpos = static_cast<UINT>(state.axes[2]);
    info->wButtons = state.buttons & 0x0F;
    return JOYERR_NOERROR;
}

MMRESULT WINAPI joyGetPosEx(UINT id, LPJOYINFOEX info)
{
    if (info == nullptr)
        return MMSYSERR_INVALPARAM;
    if (info->dwSize != sizeof(JOYINFOEX))
        return JOYERR_PARMS;
    winapi::JoystickInfo joystick;
    winapi::JoystickState state;
    if (MMRESULT result = Read(id, &joystick, &state); result != JOYERR_NOERROR)
        return result;
    DWORD* const axes[] = {&info->dwXpos, &info->dwYpos, &info->dwZpos, &info->dwRpos, &info->dwUpos, &info->dwVpos};
    for (int axis = 0; axis < winapi::kJoystickAxes; ++axis)
        *axes[axis] = static_cast<DWORD>(state.axes[axis]);
    info->dwButtons = state.buttons;
    info->dwButtonNumber = 0;
    for (uint32_t bits = state.buttons; bits != 0; bits &= bits - 1)
        ++info->dwButtonNumber;
    info->dwPOV = state.pov < 0 ? JOY_POVCENTERED : static_cast<DWORD>(state.pov);
    return JOYERR_NOERROR;
}
