// Resources and the small dialogs of the stand-in: icons, cursors, accelerators and menus found
// by id in the compiled-in resource table, menus as records (the host draws no menu bar), and
// message boxes shown by the host.
#pragma once

#include <cstddef>

#include "winapi/user_message.h"

// Standard icons and cursors (with a null instance).
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_ERROR MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_WARNING MAKEINTRESOURCEA(32515)
#define IDI_INFORMATION MAKEINTRESOURCEA(32516)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_HAND MAKEINTRESOURCEA(32649)

// Null when the table has no such resource.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI DestroyIcon(HICON icon);
// Draws an icon or cursor picture at its own size (width and height 0) blended by its alpha;
// FALSE for a bad DC or an icon without pixels.
#define DI_NORMAL 0x0003
BOOL WINAPI DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker,
                       UINT flags);
BOOL WINAPI DestroyCursor(HCURSOR cursor);

// Accelerators.
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name);
HACCEL WINAPI CreateAcceleratorTableA(const ACCEL* entries, int count);
BOOL WINAPI DestroyAcceleratorTable(HACCEL table);
// Sends WM_COMMAND (HIWORD 1 = from an accelerator) when a key-down (FVIRTKEY entries, with
// exactly the entry's Shift, Ctrl and Alt) or a WM_CHAR (other entries) matches; non-zero then.
int WINAPI TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg);

// Menus: records of items; SetMenu counts in the window's non-client height.
#define MF_BYCOMMAND 0x0000
#define MF_BYPOSITION 0x0400
#define MF_STRING 0x0000
#define MF_GRAYED 0x0001
#define MF_DISABLED 0x0002
#define MF_CHECKED 0x0008
#define MF_POPUP 0x0010
#define MF_SEPARATOR 0x0800

HMENU WINAPI CreateMenu();
HMENU WINAPI CreatePopupMenu();
HMENU WINAPI LoadMenuA(HINSTANCE instance, LPCSTR name);
BOOL WINAPI DestroyMenu(HMENU menu);
BOOL WINAPI AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags);
int WINAPI GetMenuItemCount(HMENU menu);
UINT WINAPI GetMenuItemID(HMENU menu, int position);
// Previous check state (MF_CHECKED or 0), 0xFFFFFFFF when no such item.
DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT enable);
// The item's flags (MF_GRAYED, MF_CHECKED, MF_SEPARATOR, ...), 0xFFFFFFFF when no such item.
UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags);
// Copies the item's text (at most max - 1 bytes and a zero) → the bytes copied; with a null
// buffer the text's length; 0 when no such item.
int WINAPI GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int max, UINT flags);
// The popup menu at the position; null when the item there is no popup or there is none.
HMENU WINAPI GetSubMenu(HMENU menu, int position);
BOOL WINAPI SetMenu(HWND hwnd, HMENU menu);
HMENU WINAPI GetMenu(HWND hwnd);
// The window's system menu (Restore, Move, Size, Minimize, Maximize, Close); revert resets it.
HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert);
BOOL WINAPI DrawMenuBar(HWND hwnd);

// Message boxes.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON2 0x00000100u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows the box through the host (text and caption as UTF-8) and waits for the answer; the
// owner is disabled meanwhile. 0 when the host cannot show it.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

namespace winapi {

// The compiled-in resource table. The game registers its rows at start-up (before its first
// LoadIconA, ...); a later row with the same kind and id replaces an earlier one.
enum class ResourceKind { Icon, Cursor, Accelerators, Menu, Dialog };

// A control of a dialog template; place and size in dialog units.
struct DialogItemResource {
    const char* className;  // "BUTTON", "EDIT", "STATIC", "SysTabControl32", "SysListView32"
    const char* text;       // Shift-JIS; null for none
    WORD id;
    DWORD style;            // WS_CHILD and WS_VISIBLE are added
    short x, y, cx, cy;
    DWORD exStyle = 0;
};

// A dialog template. A message template names its text control and the MB_ buttons it stands
// for: unscripted on the headless host it takes the next message-box answer, and its text goes to
// stderr on every host, as a message box's does.
struct DialogResource {
    DWORD style;
    short x, y, cx, cy;
    const char* caption;  // Shift-JIS
    const char* face;     // Shift-JIS face of the dialog font
    WORD pointSize;
    const DialogItemResource* items;
    int itemCount;
    WORD messageTextId = 0;  // 0: not a message template
    UINT messageType = 0;    // MB_OK, MB_YESNO: button 1 answers IDOK / IDYES, button 2 IDNO
};

struct MenuItemResource {
    UINT flags;        // MF_STRING, MF_SEPARATOR, MF_POPUP, MF_GRAYED, ...
    UINT id;           // command id; for MF_POPUP the index of the sub-menu's first item in the same list
    const char* text;  // Shift-JIS; null for a separator
    int popupCount;    // MF_POPUP: number of items of the sub-menu (they follow at `id`)
};

struct ResourceRow {
    ResourceKind kind;
    WORD id;
    // Icon and cursor: a 32-bit top-down picture (B, G, R, A bytes), its size and the hot spot.
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    // Accelerators.
    const ACCEL* accelerators = nullptr;
    int acceleratorCount = 0;
    // Menu: the top-level items first (menuCount of them), their sub-menus after them.
    const MenuItemResource* menu = nullptr;
    int menuCount = 0;
    int menuTotal = 0;  // every item of the list, sub-menus included
    // Dialog.
    const DialogResource* dialog = nullptr;
};

// The dialog template of that name (an id by MAKEINTRESOURCEA); null when there is none.
const DialogResource* FindDialogResource(LPCSTR name);

// Adds rows to the table; the rows and what they point to must outlive the process's windows.
void RegisterResources(const ResourceRow* rows, size_t count);

} // namespace winapi
