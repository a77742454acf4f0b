// Common controls of the stand-in: the tab control ("SysTabControl32") and the list view
// ("SysListView32", report view with full-row single selection), and the notification header
// they and the common dialogs send with WM_NOTIFY. Engine code includes this header.
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
