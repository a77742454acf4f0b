// PropertySheetA: a modal dialog of its own (tab control, OK, Cancel) whose pages are child
// dialogs made from their templates when first shown, with Win32's page notifications.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "winapi/dialogs/controls.h"
#include "winapi/text.h"

namespace winapi::dialogs {
namespace {

constexpr int kMargin = 7;       // dialog units around the tab control and the pages
constexpr int kTabRow = 14;      // dialog units of the tab row
constexpr int kButtonCx = 50, kButtonCy = 14;

struct Page {
    PROPSHEETPAGEA record{};
    const DialogResource* resource = nullptr;
    HWND hwnd = nullptr;
};

struct Sheet {
    std::vector<Page> pages;
    int current = -1;
    PFNPROPSHEETCALLBACK callback = nullptr;
    UINT startPage = 0;
    HINSTANCE instance = nullptr;
    RECT pageArea{};  // pixels, in the sheet's client area
};

Sheet* SheetOf(HWND hwnd)
{
    return reinterpret_cast<Sheet*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

LRESULT Notify(HWND sheet, HWND page, UINT code)
{
    NMHDR header{sheet, 0, code};
    return SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

// Made on first showing; false when its template failed.
bool MakePage(HWND sheet, Sheet& state, int index)
{
    Page& page = state.pages[static_cast<size_t>(index)];
    if (page.hwnd != nullptr)
        return true;
    const int id = static_cast<int>(reinterpret_cast<uintptr_t>(page.record.pszTemplate));
    page.hwnd = CreateDialogFrom(page.record.hInstance != nullptr ? page.record.hInstance : state.instance,
                                 page.resource, id, sheet, page.record.pfnDlgProc,
                                 reinterpret_cast<LPARAM>(&page.record));
    if (page.hwnd == nullptr)
        return false;
    AddChildDialog(sheet, page.hwnd);
    SetWindowPos(page.hwnd, HWND_TOP, state.pageArea.left, state.pageArea.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

// The page in view leaves (PSN_KILLACTIVE; a non-zero answer keeps it) → true when it may.
bool LeaveCurrent(HWND sheet, Sheet& state)
{
    if (state.current < 0)
        return true;
    HWND page = state.pages[static_cast<size_t>(state.current)].hwnd;
    return page == nullptr || Notify(sheet, page, PSN_KILLACTIVE) == 0;
}

// Shows page `index` after the one in view has agreed to leave.
void ShowPage(HWND sheet, Sheet& state, int index)
{
    if (index < 0 || index >= static_cast<int>(state.pages.size()) || !MakePage(sheet, state, index))
        return;
    const int previous = state.current;
    state.current = index;
    HWND page = state.pages[static_cast<size_t>(index)].hwnd;
    Notify(sheet, page, PSN_SETACTIVE);
    if (previous >= 0 && previous != index)
        ShowWindow(state.pages[static_cast<size_t>(previous)].hwnd, SW_HIDE);
    ShowWindow(page, SW_SHOW);
    SendDlgItemMessageA(sheet, kPropertySheetTabId, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (HWND first = GetNextDlgTabItem(page, nullptr, FALSE))
        SetFocus(first);
}

INT_PTR Answer(HWND sheet, LRESULT value)
{
    SetWindowLongPtrA(sheet, DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    Sheet* state = message == WM_INITDIALOG ? reinterpret_cast<Sheet*>(lParam) : SheetOf(sheet);
    if (state == nullptr)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrA(sheet, DWLP_USER, lParam);
        HWND tabs = GetDlgItem(sheet, kPropertySheetTabId);
        for (size_t i = 0; i < state->pages.size(); ++i) {
            const char* caption = state->pages[i].resource->caption;
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(caption != nullptr ? caption : "");
            SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        if (state->callback != nullptr)
            state->callback(sheet, PSCB_INITIALIZED, 0);
        const UINT start = state->startPage < state->pages.size() ? state->startPage : 0;
        ShowPage(sheet, *state, static_cast<int>(start));
        return FALSE;  // the page placed the focus
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr || header->idFrom != kPropertySheetTabId)
            return FALSE;
        if (header->code == TCN_SELCHANGING)
            return Answer(sheet, LeaveCurrent(sheet, *state) ? FALSE : TRUE);
        if (header->code == TCN_SELCHANGE)
            ShowPage(sheet, *state, static_cast<int>(SendDlgItemMessageA(sheet, kPropertySheetTabId, TCM_GETCURSEL, 0, 0)));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (!LeaveCurrent(sheet, *state))
                return TRUE;
            for (const Page& page : state->pages)
                if (page.hwnd != nullptr)
                    Notify(sheet, page.hwnd, PSN_APPLY);
            EndDialog(sheet, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            for (const Page& page : state->pages)
                if (page.hwnd != nullptr)
                    Notify(sheet, page.hwnd, PSN_RESET);
            EndDialog(sheet, 0);
            return TRUE;
        }
        return FALSE;
    case PSM_GETCURRENTPAGEHWND:
        return Answer(sheet, state->current >= 0
                                 ? reinterpret_cast<LRESULT>(state->pages[static_cast<size_t>(state->current)].hwnd)
                                 : 0);
    case PSM_GETTABCONTROL: return Answer(sheet, reinterpret_cast<LRESULT>(GetDlgItem(sheet, kPropertySheetTabId)));
    case PSM_SETCURSEL: {
        int index = static_cast<int>(wParam);
        for (size_t i = 0; i < state->pages.size(); ++i)
            if (lParam != 0 && state->pages[i].hwnd == reinterpret_cast<HWND>(lParam))
                index = static_cast<int>(i);
        if (index == state->current || !LeaveCurrent(sheet, *state))
            return Answer(sheet, FALSE);
        ShowPage(sheet, *state, index);
        return Answer(sheet, TRUE);
    }
    default: return FALSE;
    }
}

} // namespace
} // namespace winapi::dialogs

using namespace winapi;
using namespace winapi::dialogs;

INT_PTR WINAPI PropertySheetA(const PROPSHEETHEADERA* header)
{
    if (header == nullptr || (header->dwFlags & PSH_PROPSHEETPAGE) == 0 || header->ppsp == nullptr ||
        header->nPages == 0)
        return -1;
    Sheet state;
    state.instance = header->hInstance;
    state.callback = (header->dwFlags & PSH_USECALLBACK) != 0 ? header->pfnCallback : nullptr;
    state.startPage = header->nStartPage;
    short width = 0, height = 0;
    for (UINT i = 0; i < header->nPages; ++i) {
        Page page;
        page.record = header->ppsp[i];
        page.resource = FindDialogResource(page.record.pszTemplate);
        if (page.resource == nullptr)
            return -1;
        width = std::max(width, page.resource->cx);
        height = std::max(height, page.resource->cy);
        state.pages.push_back(page);
    }
    const DialogResource& first = *state.pages.front().resource;
    // The sheet's own template: the tab control around the largest page, OK and Cancel below.
    const short cx = static_cast<short>(width + 4 * kMargin);
    const short cy = static_cast<short>(height + kTabRow + 4 * kMargin + kButtonCy);
    const short buttonsY = static_cast<short>(cy - kMargin - kButtonCy);
    const DialogItemResource items[] = {
        {WC_TABCONTROLA, "", kPropertySheetTabId, WS_VISIBLE | WS_TABSTOP, kMargin, kMargin,
         static_cast<short>(cx - 2 * kMargin), static_cast<short>(buttonsY - 2 * kMargin)},
        {"BUTTON", "OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
         static_cast<short>(cx - 2 * (kButtonCx + 4) - kMargin + 4), buttonsY, kButtonCx, kButtonCy},
        {"BUTTON", Sjis("キャンセル"), IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
         static_cast<short>(cx - kButtonCx - kMargin), buttonsY, kButtonCx, kButtonCy},
    };
    const DialogResource sheet{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER,
                               0,
                               0,
                               cx,
                               cy,
                               header->pszCaption,
                               first.face,
                               first.pointSize,
                               items,
                               3};
    const int templateId = static_cast<int>(reinterpret_cast<uintptr_t>(state.pages.front().record.pszTemplate));
    // The page area in pixels is mapped by the sheet itself before any page is made.
    DLGPROC proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            auto* s = reinterpret_cast<Sheet*>(lParam);
            RECT area{2 * kMargin, kMargin + kTabRow + kMargin, 0, 0};
            MapDialogRect(hwnd, &area);
            s->pageArea = area;
        }
        return SheetProc(hwnd, message, wParam, lParam);
    };
    const INT_PTR result = DialogBoxFrom(header->hInstance, &sheet, templateId, header->hwndParent, proc,
                                         reinterpret_cast<LPARAM>(&state), true);
    return result < 0 ? -1 : result;
}
