// Common controls of the stand-in: the tab control ("SysTabControl32"), the list view
// ("SysListView32", report view with full-row single selection), the horizontal trackbar
// ("msctls_trackbar32"), property sheets, and the notification header they and the common dialogs
// send with WM_NOTIFY. Engine code includes this header.
#pragma once

#include "winapi/user.h"

#define WM_NOTIFY 0x004E
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
using LPNMHDR = NMHDR*;

// The classes exist from the start; this only keeps the call of the engine.
void WINAPI InitCommonControls();

#define WC_TABCONTROLA "SysTabControl32"
#define WC_LISTVIEWA "SysListView32"

#define NM_FIRST 0u
#define NM_CLICK (NM_FIRST - 2u)
#define NM_DBLCLK (NM_FIRST - 3u)

// Tab control.
#define TCM_FIRST 0x1300
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_INSERTITEMA (TCM_FIRST + 7)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9)
#define TCM_GETITEMRECT (TCM_FIRST + 10)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCN_FIRST (0u - 550u)
#define TCN_SELCHANGE (TCN_FIRST - 1u)
#define TCN_SELCHANGING (TCN_FIRST - 2u)
#define TCIF_TEXT 0x0001
#define TCIF_PARAM 0x0008
struct TCITEMA {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

// List view, report view.
#define LVS_REPORT 0x0001
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_NOSORTHEADER 0x8000
#define LVM_FIRST 0x1000
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETNEXTITEM (LVM_FIRST + 12)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_SETITEMSTATE (LVM_FIRST + 43)
#define LVM_GETITEMSTATE (LVM_FIRST + 44)
#define LVM_GETITEMTEXTA (LVM_FIRST + 45)
#define LVM_SETITEMTEXTA (LVM_FIRST + 46)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_INSERTITEMA (LVM_FIRST + 7)
#define LVM_INSERTCOLUMNA (LVM_FIRST + 27)
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVS_EX_GRIDLINES 0x00000001
#define LVIF_TEXT 0x0001
#define LVIF_STATE 0x0008
#define LVIF_PARAM 0x0004
#define LVIS_FOCUSED 0x0001
#define LVIS_SELECTED 0x0002
#define LVNI_ALL 0x0000
#define LVNI_SELECTED 0x0002
#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCFMT_LEFT 0x0000
#define LVIR_BOUNDS 0
#define LVN_FIRST (0u - 100u)
#define LVN_ITEMCHANGING (LVN_FIRST - 0u)
#define LVN_ITEMCHANGED (LVN_FIRST - 1u)
struct LVITEMA {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};
struct LVCOLUMNA {
    UINT mask;
    int fmt;
    int cx;
    LPSTR pszText;
    int cchTextMax;
    int iSubItem;
};
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};

// Trackbar (horizontal). It tells its parent with WM_HSCROLL (LOWORD the TB_ code, HIWORD the
// position for TB_THUMBTRACK and TB_THUMBPOSITION, lParam the trackbar).
#define TRACKBAR_CLASSA "msctls_trackbar32"
#define WM_HSCROLL 0x0114
#define WM_VSCROLL 0x0115
#define TBS_HORZ 0x0000
#define TBS_AUTOTICKS 0x0001
#define TBS_BOTTOM 0x0000
#define TBS_BOTH 0x0008
#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETTICFREQ (WM_USER + 20)
#define TBM_SETPAGESIZE (WM_USER + 21)
#define TBM_GETPAGESIZE (WM_USER + 22)
#define TBM_SETLINESIZE (WM_USER + 23)
#define TBM_GETLINESIZE (WM_USER + 24)
#define TBM_GETTHUMBRECT (WM_USER + 25)
#define TBM_GETCHANNELRECT (WM_USER + 26)
#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_PAGEUP 2
#define TB_PAGEDOWN 3
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_TOP 6
#define TB_BOTTOM 7
#define TB_ENDTRACK 8

// Property sheets: a modal dialog of its own with a tab control (id 0x3020), OK (1) and Cancel
// (2); each page a child dialog made from its template when first shown.
#define PSH_PROPSHEETPAGE 0x00000008
#define PSH_NOAPPLYNOW 0x00000080
#define PSH_USECALLBACK 0x00000100
#define PSP_DEFAULT 0x00000000
#define PSCB_INITIALIZED 1
#define PSCB_PRECREATE 2
#define PSN_FIRST (0u - 200u)
#define PSN_SETACTIVE (PSN_FIRST - 0u)
#define PSN_KILLACTIVE (PSN_FIRST - 1u)
#define PSN_APPLY (PSN_FIRST - 2u)
#define PSN_RESET (PSN_FIRST - 3u)
#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define kPropertySheetTabId 0x3020
using PFNPROPSHEETCALLBACK = int(CALLBACK*)(HWND, UINT, LPARAM);
struct PROPSHEETPAGEA;
using LPFNPSPCALLBACKA = UINT(CALLBACK*)(HWND, UINT, PROPSHEETPAGEA*);
struct PROPSHEETPAGEA {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    LPCSTR pszTemplate;
    HICON hIcon;
    LPCSTR pszTitle;  // unused: the tab shows the template's caption
    INT_PTR(CALLBACK* pfnDlgProc)(HWND, UINT, WPARAM, LPARAM);
    LPARAM lParam;    // the page's WM_INITDIALOG gets a pointer to its record
    LPFNPSPCALLBACKA pfnCallback;
    UINT* pcRefParent;
};
struct PROPSHEETHEADERA {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    HICON hIcon;
    LPCSTR pszCaption;
    UINT nPages;
    UINT nStartPage;
    const PROPSHEETPAGEA* ppsp;
    PFNPROPSHEETCALLBACK pfnCallback;
};
// Runs a modal sheet. Each page's life is Win32's: made (WM_INITDIALOG) when first shown;
// PSN_KILLACTIVE to the page left (a non-zero DWLP_MSGRESULT keeps it) and PSN_SETACTIVE to the
// one shown; OK: PSN_KILLACTIVE to the page in view, then PSN_APPLY to every made page; Cancel:
// PSN_RESET to every made page; every page destroyed at the end. → 1 after OK, 0 after Cancel,
// -1 when the header is bad or a page's template is missing.
INT_PTR WINAPI PropertySheetA(const PROPSHEETHEADERA* header);
inline HWND PropSheet_GetCurrentPageHwnd(HWND sheet)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}
inline BOOL PropSheet_SetCurSel(HWND sheet, HWND page, int index)
{
    return static_cast<BOOL>(SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(page)));
}
