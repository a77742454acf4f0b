// Property sheets and the list controls on the headless host: the pages' life in Win32's order,
// combo boxes, list boxes and trackbars driven by dialog scripts, and their messages.
#include <gtest/gtest.h>

#include "sheet_cases.h"

using namespace sheet_cases;

TEST(PropertySheet, PagesLiveInWin32Order) { CheckPageLife(); }

TEST(PropertySheet, ListControlsNotifyAndKeepTheirChoice) { CheckListControls(); }

TEST(PropertySheet, BadHeaderOrMissingPageFails)
{
    RegisterPages();
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof page;
    page.pszTemplate = MAKEINTRESOURCEA(4321);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE;
    header.nPages = 1;
    header.ppsp = &page;
    EXPECT_EQ(PropertySheetA(&header), -1);
    header.nPages = 0;
    EXPECT_EQ(PropertySheetA(&header), -1);
    EXPECT_EQ(PropertySheetA(nullptr), -1);
}

// The messages of the list box and the combo box, without a dialog.
TEST(ListControls, MessagesAnswerAsWin32)
{
    for (const char* cls : {"LISTBOX", "COMBOBOX"}) {
        SCOPED_TRACE(cls);
        const bool list = std::string(cls) == "LISTBOX";
        const UINT add = list ? LB_ADDSTRING : CB_ADDSTRING, count = list ? LB_GETCOUNT : CB_GETCOUNT;
        const UINT setSel = list ? LB_SETCURSEL : CB_SETCURSEL, getSel = list ? LB_GETCURSEL : CB_GETCURSEL;
        const UINT text = list ? LB_GETTEXT : CB_GETLBTEXT, reset = list ? LB_RESETCONTENT : CB_RESETCONTENT;
        HWND hwnd = CreateWindowExA(0, cls, "", WS_VISIBLE, 0, 0, 100, 60, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(SendMessageA(hwnd, getSel, 0, 0), -1);
        EXPECT_EQ(SendMessageA(hwnd, add, 0, reinterpret_cast<LPARAM>("Alpha")), 0);
        EXPECT_EQ(SendMessageA(hwnd, add, 0, reinterpret_cast<LPARAM>("beta")), 1);
        EXPECT_EQ(SendMessageA(hwnd, count, 0, 0), 2);
        EXPECT_EQ(SendMessageA(hwnd, setSel, 1, 0), 1);
        EXPECT_EQ(SendMessageA(hwnd, getSel, 0, 0), 1);
        EXPECT_EQ(SendMessageA(hwnd, setSel, 5, 0), -1);  // out of range
        char buffer[16] = {};
        EXPECT_EQ(SendMessageA(hwnd, text, 0, reinterpret_cast<LPARAM>(buffer)), 5);
        EXPECT_STREQ(buffer, "Alpha");
        EXPECT_EQ(SendMessageA(hwnd, text, 7, reinterpret_cast<LPARAM>(buffer)), -1);
        if (list) {
            EXPECT_EQ(SendMessageA(hwnd, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("BETA")), 1);
            EXPECT_EQ(SendMessageA(hwnd, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("bet")), -1);
            EXPECT_EQ(SendMessageA(hwnd, LB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>("alpha")), 0);  // wraps
        }
        SendMessageA(hwnd, reset, 0, 0);
        EXPECT_EQ(SendMessageA(hwnd, count, 0, 0), 0);
        EXPECT_EQ(SendMessageA(hwnd, getSel, 0, 0), -1);
        DestroyWindow(hwnd);
    }
}

TEST(ListControls, TrackbarKeepsItsRange)
{
    HWND hwnd = CreateWindowExA(0, TRACKBAR_CLASSA, "", WS_VISIBLE, 0, 0, 120, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SendMessageA(hwnd, TBM_SETRANGE, TRUE, MAKELONG(0, 300));
    SendMessageA(hwnd, TBM_SETPOS, TRUE, 500);
    EXPECT_EQ(SendMessageA(hwnd, TBM_GETPOS, 0, 0), 300);
    SendMessageA(hwnd, TBM_SETPOS, TRUE, -4);
    EXPECT_EQ(SendMessageA(hwnd, TBM_GETPOS, 0, 0), 0);
    SendMessageA(hwnd, TBM_SETPOS, TRUE, 120);
    SendMessageA(hwnd, TBM_SETRANGE, TRUE, MAKELONG(0, 90));  // a narrower range pulls the position in
    EXPECT_EQ(SendMessageA(hwnd, TBM_GETPOS, 0, 0), 90);
    DestroyWindow(hwnd);
}
