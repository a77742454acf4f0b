// Property-sheet and list-control cases run on the headless host and on the SDL host under X: a
// sheet of three pages (the first with a combo box, a list box and a trackbar), what each page
// procedure saw and in which order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "winapi/commctrl.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace sheet_cases {

using namespace winapi::dialogs;
using winapi::DialogItemResource;
using winapi::DialogResource;

constexpr int kPageA = 910, kPageB = 911, kPageC = 912;
constexpr int kCombo = 100, kListBox = 101, kSlider = 102, kKeep = 103, kEditB = 104;

inline void RegisterPages()
{
    static const DialogItemResource kItemsA[] = {
        {"COMBOBOX", "", kCombo, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 4, 4, 80, 12},
        {"LISTBOX", "", kListBox, WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY, 4, 60, 80, 40},
        {"msctls_trackbar32", "", kSlider, WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS, 90, 4, 110, 16},
    };
    static const DialogItemResource kItemsB[] = {
        {"BUTTON", "keep", kKeep, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 4, 60, 10},
        {"EDIT", "", kEditB, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 4, 20, 60, 12},
    };
    constexpr DWORD kPage = WS_CHILD | WS_CAPTION | DS_CONTROL;
    static const DialogResource kA{kPage, 0, 0, 210, 110, "first", "MS UI Gothic", 9, kItemsA, 3};
    static const DialogResource kB{kPage, 0, 0, 180, 80, "second", "MS UI Gothic", 9, kItemsB, 2};
    static const DialogResource kC{kPage, 0, 0, 100, 40, "third", "MS UI Gothic", 9, nullptr, 0};
    static const winapi::ResourceRow kRows[] = {
        {winapi::ResourceKind::Dialog, kPageA, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kA},
        {winapi::ResourceKind::Dialog, kPageB, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kB},
        {winapi::ResourceKind::Dialog, kPageC, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kC},
    };
    static bool done = false;
    if (!done)
        winapi::RegisterResources(kRows, std::size(kRows));
    done = true;
}

// What the pages saw: (page 0-2, message or PSN_ code), in order.
using Event = std::pair<int, UINT>;
using Note = std::pair<int, UINT>;  // control id, notification code
struct Seen {
    std::vector<Event> events;
    std::vector<std::pair<int, int>> scrolls;  // WM_HSCROLL: code, position
    std::vector<Note> commands;
    HWND sheetAtCallback = nullptr;
    int sliderEnd = -1;
};
inline Seen g_seen;

inline INT_PTR PageProc(int page, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        g_seen.events.emplace_back(page, WM_INITDIALOG);
        if (page == 0) {
            for (const char* text : {"red", "green", "blue"}) {
                SendDlgItemMessageA(hwnd, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
                SendDlgItemMessageA(hwnd, kListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            }
            SendDlgItemMessageA(hwnd, kCombo, CB_SETCURSEL, 0, 0);
            SendDlgItemMessageA(hwnd, kSlider, TBM_SETRANGE, TRUE, MAKELONG(0, 100));
            SendDlgItemMessageA(hwnd, kSlider, TBM_SETPAGESIZE, 0, 10);
            SendDlgItemMessageA(hwnd, kSlider, TBM_SETLINESIZE, 0, 1);
            SendDlgItemMessageA(hwnd, kSlider, TBM_SETTICFREQ, 10, 0);
            SendDlgItemMessageA(hwnd, kSlider, TBM_SETPOS, TRUE, 50);
        }
        return TRUE;
    case WM_DESTROY:
        g_seen.events.emplace_back(page, WM_DESTROY);
        if (page == 0)
            g_seen.sliderEnd = static_cast<int>(SendDlgItemMessageA(hwnd, kSlider, TBM_GETPOS, 0, 0));
        return FALSE;
    case WM_HSCROLL:
        g_seen.scrolls.emplace_back(LOWORD(wParam), HIWORD(wParam));
        (void)lParam;
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != EN_SETFOCUS && HIWORD(wParam) != EN_KILLFOCUS)
            g_seen.commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        g_seen.events.emplace_back(page, header->code);
        // The second page will not be left while its box is ticked.
        if (header->code == PSN_KILLACTIVE && page == 1)
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, IsDlgButtonChecked(hwnd, kKeep) == BST_CHECKED);
        return TRUE;
    }
    default: return FALSE;
    }
}

inline INT_PTR CALLBACK PageAProc(HWND h, UINT m, WPARAM w, LPARAM l) { return PageProc(0, h, m, w, l); }
inline INT_PTR CALLBACK PageBProc(HWND h, UINT m, WPARAM w, LPARAM l) { return PageProc(1, h, m, w, l); }
inline INT_PTR CALLBACK PageCProc(HWND h, UINT m, WPARAM w, LPARAM l) { return PageProc(2, h, m, w, l); }

inline int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED)
        g_seen.sheetAtCallback = sheet;
    return 0;
}

// Runs the sheet with a script; its result.
inline INT_PTR RunSheet(const std::vector<DialogStep>& steps, UINT startPage = 0)
{
    RegisterPages();
    ClearDialogScripts();
    g_seen = Seen{};
    QueueDialogScript(kPageA, steps);
    PROPSHEETPAGEA pages[3] = {};
    const int ids[3] = {kPageA, kPageB, kPageC};
    DLGPROC procs[3] = {PageAProc, PageBProc, PageCProc};
    for (int i = 0; i < 3; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].pszTemplate = MAKEINTRESOURCEA(ids[i]);
        pages[i].pfnDlgProc = procs[i];
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.pszCaption = "sheet";
    header.nPages = 3;
    header.nStartPage = startPage;
    header.ppsp = pages;
    header.pfnCallback = SheetCallback;
    return PropertySheetA(&header);
}

struct LifeCase {
    const char* name;
    std::vector<DialogStep> steps;
    UINT start;
    INT_PTR result;
    std::vector<Event> events;
};

inline void CheckPageLife()
{
    const UINT init = WM_INITDIALOG, gone = WM_DESTROY;
    const LifeCase cases[] = {
        {"ok at once", {ClickOn(IDOK)}, 0, 1, {{0, init}, {0, PSN_SETACTIVE}, {0, PSN_KILLACTIVE}, {0, PSN_APPLY}, {0, gone}}},
        {"a page is made when first shown; cancel resets every made page",
         {SwitchToPage(2), SwitchToPage(0), ClickOn(IDCANCEL)},
         0,
         0,
         {{0, init}, {0, PSN_SETACTIVE}, {0, PSN_KILLACTIVE}, {2, init}, {2, PSN_SETACTIVE}, {2, PSN_KILLACTIVE},
          {0, PSN_SETACTIVE}, {0, PSN_RESET}, {2, PSN_RESET}, {2, gone}, {0, gone}}},
        {"ok applies every made page after the shown one leaves",
         {SwitchToPage(1), ClickOn(IDOK)},
         0,
         1,
         {{0, init}, {0, PSN_SETACTIVE}, {0, PSN_KILLACTIVE}, {1, init}, {1, PSN_SETACTIVE}, {1, PSN_KILLACTIVE},
          {0, PSN_APPLY}, {1, PSN_APPLY}, {1, gone}, {0, gone}}},
        {"a page that answers kill-active keeps the sheet on it",
         {ClickOn(kKeep), SwitchToPage(2), ClickOn(IDOK), ClickOn(IDCANCEL)},
         1,
         0,
         {{1, init}, {1, PSN_SETACTIVE}, {1, PSN_KILLACTIVE}, {1, PSN_KILLACTIVE}, {1, PSN_RESET}, {1, gone}}},
        {"the start page", {ClickOn(IDCANCEL)}, 2, 0, {{2, init}, {2, PSN_SETACTIVE}, {2, PSN_RESET}, {2, gone}}},
    };
    for (const LifeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunSheet(c.steps, c.start), c.result);
        EXPECT_EQ(g_seen.events, c.events);
        EXPECT_NE(g_seen.sheetAtCallback, nullptr);
    }
    RunSheet({ClickOn(IDOK)});
    const auto records = DialogRecords();
    ASSERT_FALSE(records.empty());
    EXPECT_TRUE(records.back().propertySheet);
    EXPECT_EQ(records.back().templateId, kPageA);
    EXPECT_EQ(records.back().result, 1);
}

struct ControlCase {
    const char* name;
    std::vector<DialogStep> steps;
    std::vector<Note> commands;
    std::vector<std::pair<int, int>> scrolls;
    int sliderEnd;
};

inline void CheckListControls()
{
    const auto ended = std::pair<int, int>{TB_ENDTRACK, 0};
    const ControlCase cases[] = {
        {"combo item", {PickItemOf(kCombo, 2), ClickOn(IDOK)}, {{kCombo, CBN_DROPDOWN}, {kCombo, CBN_CLOSEUP}, {kCombo, CBN_SELCHANGE}}, {}, 50},
        {"combo item already chosen", {PickItemOf(kCombo, 0), ClickOn(IDOK)}, {{kCombo, CBN_DROPDOWN}, {kCombo, CBN_CLOSEUP}}, {}, 50},
        {"list row", {PickItemOf(kListBox, 1), ClickOn(IDOK)}, {{kListBox, LBN_SELCHANGE}}, {}, 50},
        {"slider page right twice", {PageSlider(kSlider, 2), ClickOn(IDOK)}, {},
         {{TB_PAGEDOWN, 60}, ended, {TB_PAGEDOWN, 70}, ended}, 70},
        {"slider page left", {PageSlider(kSlider, -1), ClickOn(IDOK)}, {}, {{TB_PAGEUP, 40}, ended}, 40},
        {"slider arrows", {ArrowSlider(kSlider, 2), ArrowSlider(kSlider, -3), ClickOn(IDOK)}, {},
         {{TB_LINEDOWN, 51}, ended, {TB_LINEDOWN, 52}, ended, {TB_LINEUP, 51}, ended, {TB_LINEUP, 50}, ended,
          {TB_LINEUP, 49}, ended},
         49},
        {"slider drag to the end", {DragSlider(kSlider, 100), ClickOn(IDOK)}, {}, {}, 100},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunSheet(c.steps), 1);
        EXPECT_EQ(g_seen.commands, c.commands);
        if (std::string(c.name).find("drag") != std::string::npos) {
            // A drag tracks, then tells the position where it was let go, then ends.
            ASSERT_GE(g_seen.scrolls.size(), 3u);
            EXPECT_EQ(g_seen.scrolls.front().first, TB_THUMBTRACK);
            EXPECT_EQ(g_seen.scrolls[g_seen.scrolls.size() - 2], (std::pair<int, int>{TB_THUMBPOSITION, 100}));
            EXPECT_EQ(g_seen.scrolls.back(), ended);
        } else {
            EXPECT_EQ(g_seen.scrolls, c.scrolls);
        }
        EXPECT_EQ(g_seen.sliderEnd, c.sliderEnd);
    }
    // The records keep the choices.
    RunSheet({PickItemOf(kCombo, 1), PickItemOf(kListBox, 2), ClickOn(IDOK)});
    const auto records = DialogRecords();
    const DialogRecord* page = nullptr;
    for (const DialogRecord& r : records)
        if (r.templateId == kPageA && !r.propertySheet)
            page = &r;
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Control(kCombo)->selection, 1);
    EXPECT_EQ(page->Control(kListBox)->selection, 2);
    EXPECT_EQ(page->Control(kSlider)->selection, 50);
}

} // namespace sheet_cases
