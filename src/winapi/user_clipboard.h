// The clipboard: CF_TEXT only. The text handed to SetClipboardData (Shift-JIS, up to its NUL
// within the block) goes to the host as UTF-8 when the clipboard is closed; the block becomes
// the clipboard's, as on Windows.
#pragma once

#include "winapi/base.h"

#define CF_TEXT 1u

// → TRUE; FALSE while the clipboard is already open.
BOOL WINAPI OpenClipboard(HWND owner);
// → TRUE while open (the pending text is dropped); FALSE when not open.
BOOL WINAPI EmptyClipboard();
// CF_TEXT from a GlobalAlloc block while open → the block; null for other formats, a null block
// or a closed clipboard (the block then stays the caller's).
HANDLE WINAPI SetClipboardData(UINT format, HANDLE data);
// Hands the pending text to the host → TRUE; FALSE when not open.
BOOL WINAPI CloseClipboard();
