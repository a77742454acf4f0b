// Monitors, display settings, system metrics and system parameters of the stand-in, taken from
// the host's displays (the headless host reports configurable ones).
#pragma once

#include "winapi/user_window.h"

#define MONITOR_DEFAULTTONULL 0
#define MONITOR_DEFAULTTOPRIMARY 1
#define MONITOR_DEFAULTTONEAREST 2
#define MONITORINFOF_PRIMARY 1
#define CCHDEVICENAME 32
#define CCHFORMNAME 32

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};

struct MONITORINFOEXA {
    DWORD cbSize;  // sizeof(MONITORINFO) or sizeof(MONITORINFOEXA)
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
    CHAR szDevice[CCHDEVICENAME];
};

using MONITORENUMPROC = BOOL(CALLBACK*)(HMONITOR, HDC, LPRECT, LPARAM);

// Calls back once per monitor (primary first) that meets the clip rectangle; FALSE when the
// callback stopped it.
BOOL WINAPI EnumDisplayMonitors(HDC hdc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
// Fills a MONITORINFO or MONITORINFOEXA by cbSize; FALSE for an unknown monitor or size.
BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info);
HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD flags);
HMONITOR WINAPI MonitorFromPoint(POINT point, DWORD flags);
HMONITOR WINAPI MonitorFromRect(LPCRECT rect, DWORD flags);

#define ENUM_CURRENT_SETTINGS (static_cast<DWORD>(-1))
#define ENUM_REGISTRY_SETTINGS (static_cast<DWORD>(-2))
#define DM_BITSPERPEL 0x00040000u
#define DM_PELSWIDTH 0x00080000u
#define DM_PELSHEIGHT 0x00100000u
#define DM_DISPLAYFREQUENCY 0x00400000u

struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    POINT dmPosition;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};

// Mode `index` of the device (null = primary): the current mode, then the host's list of modes.
// FALSE past the last mode or for an unknown device.
BOOL WINAPI EnumDisplaySettingsA(LPCSTR device, DWORD index, DEVMODEA* mode);

// Virtual display modes (the DirectDraw stand-in's; nothing real changes). ChangeDisplaySettingsExA
// sets a mode of the device (null: primary; fields DM_PELSWIDTH, DM_PELSHEIGHT, DM_BITSPERPEL)
// or, with a null mode, restores the desktop's → DISP_CHANGE_SUCCESSFUL (WM_DISPLAYCHANGE
// posted), DISP_CHANGE_BADMODE for a size not offered. EnumDisplaySettingsExA lists the offered
// modes (ENUM_CURRENT_SETTINGS: the one in force).
#define CDS_FULLSCREEN 0x00000004u
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_BADMODE (-2)
#define DISP_CHANGE_FAILED (-1)
LONG WINAPI ChangeDisplaySettingsExA(LPCSTR device, DEVMODEA* mode, HWND hwnd, DWORD flags, LPVOID param);
BOOL WINAPI EnumDisplaySettingsExA(LPCSTR device, DWORD index, DEVMODEA* mode, DWORD flags);

#define DISPLAY_DEVICE_ATTACHED_TO_DESKTOP 0x00000001u
#define DISPLAY_DEVICE_PRIMARY_DEVICE 0x00000004u

struct DISPLAY_DEVICEA {
    DWORD cb;
    CHAR DeviceName[32];
    CHAR DeviceString[128];
    DWORD StateFlags;
    CHAR DeviceID[128];
    CHAR DeviceKey[128];
};

// Adapter `index` (one per display); FALSE past the last.
BOOL WINAPI EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* out, DWORD flags);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_MOUSEPRESENT 19
#define SM_CXMIN 28
#define SM_CYMIN 29
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXFIXEDFRAME SM_CXDLGFRAME
#define SM_CYFIXEDFRAME SM_CYDLGFRAME
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXMAXIMIZED 61
#define SM_CYMAXIMIZED 62
#define SM_CMOUSEBUTTONS 43
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CMONITORS 80
#define SM_MOUSEWHEELPRESENT 75

int WINAPI GetSystemMetrics(int index);

#define SPI_GETSCREENSAVEACTIVE 0x0010
#define SPI_SETSCREENSAVEACTIVE 0x0011
#define SPI_GETWORKAREA 0x0030
#define SPI_GETLOWPOWERACTIVE 0x0053
#define SPI_SETLOWPOWERACTIVE 0x0055
#define SPI_GETPOWEROFFACTIVE 0x0054
#define SPI_SETPOWEROFFACTIVE 0x0056

// SPI_GETWORKAREA (the primary display's work area) and the screen-saver and power switches,
// which are process-local values here. FALSE for other actions.
BOOL WINAPI SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT winIni);
