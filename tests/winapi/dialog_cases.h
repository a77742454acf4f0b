// Dialog cases run on the headless host and on the SDL host under X: a template with every
// control, scripts acting on it, and what the dialog procedure saw.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "winapi/commctrl.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace dialog_cases {

using namespace winapi::dialogs;
using winapi::DialogItemResource;
using winapi::DialogResource;

constexpr int kAll = 900;     // every control
constexpr int kInner = 901;   // a small one opened from the first
constexpr int kMessage = 902; // a message template (OK / No)

constexpr int kCheck = 10, kRadioA = 11, kRadioB = 12, kGroup = 13, kEdit = 20, kStatic = 30, kTab = 40,
              kList = 50, kOpenInner = 60;
constexpr int kTabKey = 43, kEnterKey = 40, kEscapeKey = 41;

inline void RegisterTemplates()
{
    static const DialogItemResource kItems[] = {
        {"BUTTON", "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 4, 4, 40, 14},
        {"BUTTON", "Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 48, 4, 40, 14},
        {"BUTTON", "check", kCheck, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 22, 60, 10},
        {"BUTTON", "group", kGroup, WS_VISIBLE | BS_GROUPBOX, 70, 20, 100, 40},
        {"BUTTON", "a", kRadioA, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 76, 30, 40, 10},
        {"BUTTON", "b", kRadioB, WS_VISIBLE | BS_AUTORADIOBUTTON, 120, 30, 40, 10},
        {"EDIT", "", kEdit, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 4, 64, 80, 12},
        {"STATIC", "logo", kStatic, WS_VISIBLE | SS_NOTIFY, 90, 64, 40, 12},
        {"SysTabControl32", "", kTab, WS_VISIBLE | WS_TABSTOP, 4, 80, 160, 20},
        {"SysListView32", "", kList, WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, 4, 104, 160, 60},
        {"BUTTON", "inner", kOpenInner, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 92, 4, 40, 14},
    };
    static const DialogItemResource kInnerItems[] = {
        {"BUTTON", "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 4, 4, 40, 14},
    };
    static const DialogItemResource kMessageItems[] = {
        {"STATIC", "", 1012, WS_VISIBLE, 4, 4, 120, 20},
        {"BUTTON", "yes", 1, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 4, 30, 40, 14},
        {"BUTTON", "no", 2, WS_VISIBLE | WS_TABSTOP, 50, 30, 40, 14},
    };
    static const DialogResource kAllDialog{WS_POPUP | WS_CAPTION | WS_SYSMENU, 10, 10, 180, 170, "all", "MS UI Gothic",
                                           9, kItems, static_cast<int>(std::size(kItems))};
    static const DialogResource kInnerDialog{WS_POPUP | WS_CAPTION, 20, 20, 60, 30, "inner", "MS UI Gothic", 9,
                                             kInnerItems, 1};
    static const DialogResource kMessageDialog{WS_POPUP | WS_CAPTION | DS_CENTER, 0, 0, 130, 50, "question",
                                               "MS UI Gothic", 9, kMessageItems, 3, 1012, MB_YESNO};
    static const winapi::ResourceRow kRows[] = {
        {winapi::ResourceKind::Dialog, kAll, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kAllDialog},
        {winapi::ResourceKind::Dialog, kInner, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kInnerDialog},
        {winapi::ResourceKind::Dialog, kMessage, nullptr, 0, 0, 0, 0, nullptr, 0, nullptr, 0, 0, &kMessageDialog},
    };
    static bool done = false;
    if (!done)
        winapi::RegisterResources(kRows, std::size(kRows));
    done = true;
}

// What the procedure of the big dialog saw.
struct Seen {
    bool ownerEnabledInside = true;
    INT_PTR innerResult = -2;
    std::vector<UINT> subclassMessages;  // reaching the edit's subclass first
    WNDPROC editProc = nullptr;
};
inline Seen g_seen;

inline LRESULT CALLBACK EditSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE || message == WM_KEYDOWN || message == WM_CHAR)
        g_seen.subclassMessages.push_back(message);
    if (message == WM_CHAR && wParam == 'x')
        return 0;  // the subclass swallows it
    return CallWindowProcA(g_seen.editProc, hwnd, message, wParam, lParam);
}

inline INT_PTR CALLBACK AllProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        g_seen.ownerEnabledInside = lParam != 0 && IsWindowEnabled(reinterpret_cast<HWND>(lParam));
        SendDlgItemMessageA(dialog, kEdit, EM_LIMITTEXT, 4, 0);
        HWND edit = GetDlgItem(dialog, kEdit);
        g_seen.editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditSubclass)));
        const char* tabs[] = {"one", "two"};
        for (int i = 0; i < 2; ++i) {
            TCITEMA item{TCIF_TEXT, 0, 0, const_cast<char*>(tabs[i]), 0, 0, 0};
            SendDlgItemMessageA(dialog, kTab, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
        LVCOLUMNA column{LVCF_TEXT | LVCF_WIDTH, 0, 120, const_cast<char*>("name"), 0, 0};
        SendDlgItemMessageA(dialog, kList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        for (int i = 0; i < 3; ++i) {
            LVITEMA item{LVIF_TEXT, i, 0, 0, 0, const_cast<char*>("row"), 0, 0, 0};
            SendDlgItemMessageA(dialog, kList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        if (LOWORD(wParam) == kOpenInner) {
            g_seen.innerResult = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInner), dialog,
                                                 [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                                                     if (m == WM_COMMAND && LOWORD(w) == IDOK) {
                                                         EndDialog(d, 77);
                                                         return TRUE;
                                                     }
                                                     return m == WM_INITDIALOG;
                                                 },
                                                 0);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

inline HWND MakeOwner()
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "DialogCaseOwner";
    RegisterClassExA(&wc);
    return CreateWindowExA(0, "DialogCaseOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 320, 240, nullptr,
                           nullptr, nullptr, nullptr);
}

// Runs the big dialog with a script; its record.
inline DialogRecord RunAll(const std::vector<DialogStep>& steps, INT_PTR* result = nullptr,
                           const std::vector<DialogStep>* innerSteps = nullptr)
{
    RegisterTemplates();
    ClearDialogScripts();
    g_seen = Seen{};
    HWND owner = MakeOwner();
    QueueDialogScript(kAll, steps);
    if (innerSteps != nullptr)
        QueueDialogScript(kInner, *innerSteps);
    const INT_PTR value = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kAll), owner, AllProc, reinterpret_cast<LPARAM>(owner));
    if (result != nullptr)
        *result = value;
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
    auto records = DialogRecords();
    EXPECT_FALSE(records.empty());
    return records.empty() ? DialogRecord{} : records.back();
}

using Note = std::pair<int, UINT>;  // control id, notification code

inline std::vector<Note> Notes(const DialogRecord& record)
{
    std::vector<Note> notes;
    for (const auto& n : record.notifications)
        notes.emplace_back(n.id, n.code);
    return notes;
}

struct ActionCase {
    const char* name;
    std::vector<DialogStep> steps;
    std::vector<Note> notes;  // in order, the ran-out IDCANCEL included
    INT_PTR result;
    bool ranOut;
};

inline std::vector<ActionCase> ActionCases()
{
    const Note cancel{IDCANCEL, BN_CLICKED};
    const Note ok{IDOK, BN_CLICKED};
    const Note editFocus{kEdit, EN_SETFOCUS}, editLeaves{kEdit, EN_KILLFOCUS}, editChange{kEdit, EN_CHANGE};
    return {
        {"nothing", {}, {cancel}, IDCANCEL, true},
        {"check box", {ClickOn(kCheck)}, {{kCheck, BN_CLICKED}, cancel}, IDCANCEL, true},
        {"radio", {ClickOn(kRadioB)}, {{kRadioB, BN_CLICKED}, cancel}, IDCANCEL, true},
        {"ok", {ClickOn(IDOK)}, {ok}, IDOK, false},
        {"group box takes no click", {ClickOn(kGroup)}, {cancel}, IDCANCEL, true},
        {"typing", {TypeInto(kEdit, "ab")}, {editFocus, editChange, editChange, cancel, editLeaves}, IDCANCEL, true},
        {"edit loses focus to a button", {TypeInto(kEdit, "a"), ClickOn(kCheck)},
         {editFocus, editChange, editLeaves, {kCheck, BN_CLICKED}, cancel}, IDCANCEL, true},
        {"static click", {ClickOn(kStatic)}, {{kStatic, STN_CLICKED}, cancel}, IDCANCEL, true},
        {"static double click", {DoubleClickOn(kStatic)},
         {{kStatic, STN_CLICKED}, {kStatic, STN_DBLCLK}, {kStatic, STN_CLICKED}, cancel}, IDCANCEL, true},
        {"tab", {PickTabOf(kTab, 1)}, {{kTab, TCN_SELCHANGING}, {kTab, TCN_SELCHANGE}, cancel}, IDCANCEL, true},
        {"row", {PickRowOf(kList, 2)}, {{kList, LVN_ITEMCHANGED}, {kList, NM_CLICK}, cancel}, IDCANCEL, true},
        {"row double click", {DoubleClickOn(kList)},
         {{kList, LVN_ITEMCHANGED}, {kList, NM_CLICK}, {kList, NM_DBLCLK}, cancel}, IDCANCEL, true},
        {"enter presses the default button", {PressKey(kEnterKey)}, {ok}, IDOK, false},
        {"escape cancels", {PressKey(kEscapeKey)}, {cancel}, IDCANCEL, false},
        {"tab then enter presses the focused button", {PressKey(kTabKey), PressKey(kEnterKey)}, {cancel}, IDCANCEL, false},
    };
}

inline void CheckActions()
{
    for (const ActionCase& c : ActionCases()) {
        SCOPED_TRACE(c.name);
        INT_PTR result = 0;
        const DialogRecord record = RunAll(c.steps, &result);
        EXPECT_EQ(Notes(record), c.notes);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(record.result, c.result);
        EXPECT_EQ(record.scriptRanOut, c.ranOut);
    }
}

// The controls' last state: check, radio group, edit within its CP932 limit, tab, row.
inline void CheckStates()
{
    const DialogRecord record =
        RunAll({ClickOn(kCheck), ClickOn(kRadioA), ClickOn(kRadioB), TypeInto(kEdit, "a\u3042\u3044"),
                PickTabOf(kTab, 1), PickRowOf(kList, 1)});
    ASSERT_NE(record.Control(kCheck), nullptr);
    EXPECT_EQ(record.Control(kCheck)->check, BST_CHECKED);
    EXPECT_EQ(record.Control(kRadioA)->check, BST_UNCHECKED);
    EXPECT_EQ(record.Control(kRadioB)->check, BST_CHECKED);
    // Four bytes: "a" and one double-byte character; the second would pass the limit.
    EXPECT_EQ(record.Control(kEdit)->textUtf8, "a\u3042");
    EXPECT_EQ(record.Control(kTab)->selection, 1);
    EXPECT_EQ(record.Control(kList)->selection, 1);
    EXPECT_EQ(record.templateId, kAll);
    EXPECT_TRUE(g_seen.ownerEnabledInside == false);
}

// A subclass of the edit sees the keys and characters first, and may swallow them.
inline void CheckSubclass()
{
    constexpr int kKeyA = 4;
    const DialogRecord record = RunAll({TypeInto(kEdit, "xy"), PressKey(kKeyA)});
    EXPECT_EQ(record.Control(kEdit)->textUtf8, "y");
    auto& seen = g_seen.subclassMessages;
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_CHAR)), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_GETDLGCODE)), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_KEYDOWN)), seen.end());
}

// A dialog opened from a dialog runs its own loop; the outer one goes on afterwards.
inline void CheckNesting()
{
    const std::vector<DialogStep> inner{ClickOn(IDOK)};
    INT_PTR result = 0;
    const DialogRecord outer = RunAll({ClickOn(kOpenInner), ClickOn(IDOK)}, &result, &inner);
    EXPECT_EQ(g_seen.innerResult, 77);
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(outer.scriptRanOut);
    const auto records = DialogRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].templateId, kInner);  // the inner one ended first
    EXPECT_EQ(records[0].result, 77);
}

// Dialogs stay over what owns them: a dialog over its owner window, and one opened from the first
// dialog's button over that dialog (a control names its top-level window). `over` tells whether
// the host holds the first window as one over the second: 1 yes, 0 no, -1 it cannot tell.
inline void CheckDialogsStayOverTheirOwners(int (*over)(HWND window, HWND owner))
{
    RegisterTemplates();
    ClearDialogScripts();
    static int (*s_over)(HWND, HWND);
    static std::vector<int> s_seen;
    s_over = over;
    s_seen.clear();
    struct Proc {
        // Asked once shown (WM_APP comes through the modal loop, after the dialog was shown); the
        // first dialog opens the second from its OK button before it ends.
        static INT_PTR CALLBACK Over(HWND dialog, UINT message, WPARAM, LPARAM lParam)
        {
            if (message == WM_INITDIALOG) {
                SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
                PostMessageA(dialog, WM_APP, 0, 0);
                return TRUE;
            }
            if (message != WM_APP)
                return FALSE;
            s_seen.push_back(s_over(dialog, reinterpret_cast<HWND>(GetWindowLongPtrA(dialog, GWLP_USERDATA))));
            if (s_seen.size() == 1)
                DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInner), GetDlgItem(dialog, IDOK), Over,
                                reinterpret_cast<LPARAM>(dialog));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
    };
    HWND owner = MakeOwner();
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kAll), owner, Proc::Over, reinterpret_cast<LPARAM>(owner)),
              IDOK);
    DestroyWindow(owner);
    EXPECT_EQ(s_seen, (std::vector<int>{1, 1}));
}

} // namespace dialog_cases
