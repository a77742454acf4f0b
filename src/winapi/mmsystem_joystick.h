// The multimedia joystick calls of winmm over the host's joystick table (winapi/joystick.h).
// Ids 0-15; a free id answers JOYERR_UNPLUGGED.
#pragma once

#include "winapi/base.h"

#define JOYERR_NOERROR 0
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_INVALPARAM 11
#define JOYERR_PARMS 165
#define JOYERR_UNPLUGGED 167
using MMRESULT = UINT;

#define JOYSTICKID1 0
#define JOY_RETURNX 0x01u
#define JOY_RETURNY 0x02u
#define JOY_RETURNZ 0x04u
#define JOY_RETURNR 0x08u
#define JOY_RETURNU 0x10u
#define JOY_RETURNV 0x20u
#define JOY_RETURNPOV 0x40u
#define JOY_RETURNBUTTONS 0x80u
#define JOY_RETURNALL 0xFFu
#define JOY_POVCENTERED 0xFFFFu
#define JOYCAPS_HASZ 0x01u
#define JOYCAPS_HASR 0x02u
#define JOYCAPS_HASU 0x04u
#define JOYCAPS_HASV 0x08u
#define JOYCAPS_HASPOV 0x10u
#define JOYCAPS_POV4DIR 0x20u

struct JOYCAPSA {
    WORD wMid;
    WORD wPid;
    CHAR szPname[32];
    UINT wXmin, wXmax, wYmin, wYmax, wZmin, wZmax;
    UINT wNumButtons;
    UINT wPeriodMin, wPeriodMax;
    UINT wRmin, wRmax, wUmin, wUmax, wVmin, wVmax;
    UINT wCaps;
    UINT wMaxAxes;
    UINT wNumAxes;
    UINT wMaxButtons;
    CHAR szRegKey[32];
    CHAR szOEMVxD[260];
};
static_assert(sizeof(JOYCAPSA) == 404);
using LPJOYCAPSA = JOYCAPSA*;

struct JOYINFO {
    UINT wXpos, wYpos, wZpos;
    UINT wButtons;  // the first four buttons
};
using LPJOYINFO = JOYINFO*;

struct JOYINFOEX {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwXpos, dwYpos, dwZpos, dwRpos, dwUpos, dwVpos;
    DWORD dwButtons;
    DWORD dwButtonNumber;
    DWORD dwPOV;
    DWORD dwReserved1, dwReserved2;
};
static_assert(sizeof(JOYINFOEX) == 52);
using LPJOYINFOEX = JOYINFOEX*;

// → 16.
UINT WINAPI joyGetNumDevs();
// size must be sizeof(JOYCAPSA) (else JOYERR_PARMS); the name is the device's in Shift-JIS.
// MMSYSERR_BADDEVICEID above 15, JOYERR_UNPLUGGED for a free id, MMSYSERR_INVALPARAM for null.
MMRESULT WINAPI joyGetDevCapsA(UINT_PTR id, LPJOYCAPSA caps, UINT size);
MMRESULT WINAPI joyGetPos(UINT id, LPJOYINFO info);
// info->dwSize must be 52 (JOYERR_PARMS). Axes 0..65535, POV in hundredths of a degree.
MMRESULT WINAPI joyGetPosEx(UINT id, LPJOYINFOEX info);
