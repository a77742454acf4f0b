// Keyboard and mouse of the stand-in: virtual-key codes, key state, focus and activation, the
// cursor, mouse capture and the process-local low-level keyboard hook.
#pragma once

#include "winapi/user_window.h"

// Virtual-key codes.
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F4 0x73
#define VK_F10 0x79
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2

// Key state: high bit (SHORT < 0) down; low bit toggled (GetKeyState) or pressed since the last
// call (GetAsyncKeyState). GetKeyState follows the messages the thread has taken out of its
// queue; GetAsyncKeyState follows the host.
SHORT WINAPI GetKeyState(int virtualKey);
SHORT WINAPI GetAsyncKeyState(int virtualKey);
BOOL WINAPI GetKeyboardState(BYTE* state);
// MAPVK_VK_TO_VSC (0) and MAPVK_VSC_TO_VK (1); 0 when there is no mapping.
UINT WINAPI MapVirtualKeyA(UINT code, UINT mapType);

// Focus and activation (this process only). The previous window, or null.
HWND WINAPI SetFocus(HWND hwnd);
HWND WINAPI GetFocus();
HWND WINAPI SetActiveWindow(HWND hwnd);
HWND WINAPI GetActiveWindow();
BOOL WINAPI SetForegroundWindow(HWND hwnd);
HWND WINAPI GetForegroundWindow();
HWND WINAPI SetCapture(HWND hwnd);
BOOL WINAPI ReleaseCapture();
HWND WINAPI GetCapture();

// The cursor. Positions are in screen coordinates.
HCURSOR WINAPI SetCursor(HCURSOR cursor);
HCURSOR WINAPI GetCursor();
// The new display count; the cursor shows while it is >= 0.
int WINAPI ShowCursor(BOOL show);
BOOL WINAPI SetCursorPos(int x, int y);
BOOL WINAPI GetCursorPos(LPPOINT point);
// Null frees the cursor.
BOOL WINAPI ClipCursor(const RECT* rect);
BOOL WINAPI GetClipCursor(LPRECT rect);

// The low-level keyboard hook, process-local: it sees the keys the host delivers to this
// process's windows, before they are queued; a non-zero answer swallows the key.
#define WH_KEYBOARD_LL 13
#define HC_ACTION 0
#define LLKHF_EXTENDED 0x01
#define LLKHF_INJECTED 0x10
#define LLKHF_ALTDOWN 0x20
#define LLKHF_UP 0x80

struct KBDLLHOOKSTRUCT {
    DWORD vkCode;
    DWORD scanCode;
    DWORD flags;
    DWORD time;
    ULONG_PTR dwExtraInfo;
};

using HOOKPROC = LRESULT(CALLBACK*)(int code, WPARAM wParam, LPARAM lParam);

// Only WH_KEYBOARD_LL; null (ERROR_INVALID_PARAMETER) for other kinds or no procedure.
HHOOK WINAPI SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE instance, DWORD threadId);
BOOL WINAPI UnhookWindowsHookEx(HHOOK hook);
LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
