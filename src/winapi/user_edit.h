// The "EDIT" control class: it keeps its text, takes typed characters at the caret, which stays
// at the end (Shift-JIS pairs arrive as two WM_CHAR bytes and are kept whole), Backspace, the
// limit of EM_LIMITTEXT in bytes, read-only and multi-line styles; it paints through the GDI
// stand-in with its font and notifies its parent (EN_CHANGE, EN_SETFOCUS, EN_KILLFOCUS,
// EN_MAXTEXT).
#pragma once

#include "winapi/user_window.h"

#define EM_GETSEL 0x00B0
#define EM_SETSEL 0x00B1
#define EM_REPLACESEL 0x00C2
#define ES_MULTILINE 0x0004L
#define ES_READONLY 0x0800L

// The procedure of the "EDIT" class.
LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
