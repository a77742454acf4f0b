// Dialogs of the stand-in: dialog templates from the resource table run by the stand-in's own
// dialog manager, with the "BUTTON", "EDIT" and "STATIC" controls painting through the GDI
// stand-in with the dialog's font. Each dialog is a top-level window, shown by the host as a
// window of its own.
#pragma once

#include "winapi/user_edit.h"
#include "winapi/user_message.h"

using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

// The dialog class and the extra bytes of its windows.
#define WC_DIALOG MAKEINTRESOURCEA(0x8002)
#define DLGWINDOWEXTRA 48
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC 8
#define DWLP_USER 16

// Dialog styles.
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L

// Messages of dialogs and controls.
#define WM_GETDLGCODE 0x0087
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_NEXTDLGCTL 0x0028
#define WM_CTLCOLOREDIT 0x0133
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSTATIC 0x0138
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// Buttons.
#define BS_PUSHBUTTON 0x0L
#define BS_DEFPUSHBUTTON 0x1L
#define BS_CHECKBOX 0x2L
#define BS_AUTOCHECKBOX 0x3L
#define BS_RADIOBUTTON 0x4L
#define BS_GROUPBOX 0x7L
#define BS_AUTORADIOBUTTON 0x9L
#define BS_OWNERDRAW 0xBL
#define BS_TYPEMASK 0xFL
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BM_CLICK 0x00F5
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008
#define BN_CLICKED 0
#define BN_DOUBLECLICKED 5

// Statics.
#define SS_LEFT 0x0L
#define SS_CENTER 0x1L
#define SS_RIGHT 0x2L
#define SS_ICON 0x3L
#define SS_OWNERDRAW 0xDL
#define SS_TYPEMASK 0x1FL
#define SS_NOTIFY 0x0100L
#define SS_CENTERIMAGE 0x0200L
#define SS_SUNKEN 0x1000L
#define STM_SETICON 0x0170
#define STM_GETICON 0x0171
#define STN_CLICKED 0
#define STN_DBLCLK 1

// Edits (with EM_GETSEL, EM_SETSEL, EM_REPLACESEL of user_edit.h).
#define ES_LEFT 0x0000L
#define ES_AUTOVSCROLL 0x0040L
#define ES_AUTOHSCROLL 0x0080L
#define ES_WANTRETURN 0x1000L
#define EM_GETLINECOUNT 0x00BA
#define EM_LINEINDEX 0x00BB
#define EM_LINELENGTH 0x00C1
#define EM_GETLINE 0x00C4
#define EM_LIMITTEXT 0x00C5
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_SETREADONLY 0x00CF
#define EM_GETLIMITTEXT 0x00D5
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_MAXTEXT 0x0501

// Combo boxes (drop-down lists: CBS_DROPDOWNLIST; the list opens as a child of the dialog).
#define CBS_DROPDOWN 0x0002L
#define CBS_DROPDOWNLIST 0x0003L
#define CBS_HASSTRINGS 0x0200L
#define CB_ERR (-1)
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_GETLBTEXTLEN 0x0149
#define CB_ADDSTRING 0x0143
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E
#define CB_SHOWDROPDOWN 0x014F
#define CB_GETDROPPEDSTATE 0x0157
#define CBN_SELCHANGE 1
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
struct COMBOBOXINFO {
    DWORD cbSize;
    RECT rcItem;
    RECT rcButton;
    DWORD stateButton;
    HWND hwndCombo;
    HWND hwndItem;
    HWND hwndList;  // the dropped list while it is open, else null
};
// → FALSE for a window that is not a combo box.
BOOL WINAPI GetComboBoxInfo(HWND combo, COMBOBOXINFO* info);

// List boxes (single selection).
#define LBS_NOTIFY 0x0001L
#define LB_ERR (-1)
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_SETCURSEL 0x0186
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETTOPINDEX 0x018E
#define LB_FINDSTRINGEXACT 0x01A2
#define LB_GETITEMRECT 0x0198
#define LB_SETTOPINDEX 0x0197
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2

// Owner drawing (SS_OWNERDRAW statics, BS_OWNERDRAW buttons).
#define WM_DRAWITEM 0x002B
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODA_DRAWENTIRE 0x0001
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};

// DrawTextA formats.
#define DT_LEFT 0x0000
#define DT_CENTER 0x0001
#define DT_RIGHT 0x0002
#define DT_VCENTER 0x0004
#define DT_SINGLELINE 0x0020
#define DT_WORDBREAK 0x0010
#define DT_CALCRECT 0x0400
#define DT_NOPREFIX 0x0800

// Draws text in the DC's font and colours, lines broken at "\n" ("\r\n") and, with DT_WORDBREAK,
// between characters that would pass the right edge (a double-byte character is never split).
// DT_CALCRECT measures only: the rectangle's right and bottom become the text's. The text's height.
int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format);

// A modal dialog from template `name`: the owner is disabled while it runs, the thread's queue is
// served (sent messages, posts, timers, paint), dialogs nest. The value given to EndDialog; -1
// when the template is missing or the window cannot be made. A WM_QUIT ends the dialog with 0 and
// is posted again for the loop outside.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
// A modeless dialog; null when the template is missing or WM_INITDIALOG's creation failed.
HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param);
// Ends a modal dialog once its procedure returns; FALSE for a window that is not a dialog.
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
LRESULT WINAPI DefDlgProcA(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Tab, Shift+Tab, Enter, Escape and the arrows between radio buttons, as Win32 does; TRUE when the
// message was for the dialog (then it was handled).
BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg);
HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND WINAPI GetDlgItem(HWND dialog, int id);
int WINAPI GetDlgCtrlID(HWND control);
LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL signedValue);
UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL signedValue);
BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check);
UINT WINAPI IsDlgButtonChecked(HWND dialog, int id);
BOOL WINAPI CheckRadioButton(HWND dialog, int first, int last, int check);
// Dialog units of the dialog's font to pixels.
BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect);
