// The "EDIT" control class, at its minimum: it keeps its text (WM_SETTEXT, WM_GETTEXT) and appends
// at the caret, which stays at the end (EM_REPLACESEL); the dialog stand-in shows it.
#pragma once

#include "winapi/user_window.h"

#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_REPLACESEL 0x00C2
#define ES_MULTILINE 0x0004L
#define ES_READONLY 0x0800L

// The procedure of the "EDIT" class.
LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
