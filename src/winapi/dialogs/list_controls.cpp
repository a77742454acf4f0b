// The "LISTBOX" (single selection) and the drop-down "COMBOBOX" of the stand-in. The combo's list
// is a list box made as a child of the dialog, above the other controls, below the box or above it
// when the dialog ends first, so no host popup is needed.
#include <algorithm>
#include <utility>
#include <cstring>
#include <string>
#include <vector>

#include "winapi/dialogs/controls.h"
#include "winapi/kernel_string.h"

namespace winapi::dialogs {
namespace {

int FontLineHeight(HWND hwnd)
{
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc, &metrics);
    if (old != nullptr)
        SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return std::max<int>(metrics.tmHeight, 8) + 2;
}

LRESULT CopyItemText(const std::vector<std::string>& items, WPARAM index, LPARAM buffer)
{
    if (index >= items.size())
        return LB_ERR;
    const std::string& text = items[index];
    if (buffer != 0) {
        std::memcpy(reinterpret_cast<char*>(buffer), text.data(), text.size());
        reinterpret_cast<char*>(buffer)[text.size()] = '\0';
    }
    return static_cast<LRESULT>(text.size());
}

// ---- List box ----

struct ListBoxState : ControlState {
    std::vector<std::string> items;
    int current = -1;
    int top = 0;
    HWND combo = nullptr;  // set when this is a combo box's dropped list
};

int ShownRows(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    return std::max(1, static_cast<int>(rc.bottom - rc.top - 2) / FontLineHeight(hwnd));
}

RECT ItemRect(HWND hwnd, const ListBoxState& state, int index)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int height = FontLineHeight(hwnd);
    const int y = 1 + (index - state.top) * height;
    return RECT{rc.left + 1, y, rc.right - 1, y + height};
}

void PaintListBox(HWND hwnd, ListBoxState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    FillRect(hdc, &rc, WindowBrush());
    SetBkMode(hdc, TRANSPARENT);
    const int shown = ShownRows(hwnd);
    for (int i = state.top; i < static_cast<int>(state.items.size()) && i < state.top + shown; ++i) {
        RECT line = ItemRect(hwnd, state, i);
        const bool selected = i == state.current;
        if (selected)
            FillRect(hdc, &line, SelectedBrush());
        SetTextColor(hdc, selected ? 0xFFFFFF : (IsWindowEnabled(hwnd) ? 0x000000 : 0x808080));
        RECT text{line.left + 2, line.top, line.right, line.bottom};
        DrawTextA(hdc, state.items[static_cast<size_t>(i)].c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    FrameRectangle(hdc, rc, ShadowBrush());
    if (old != nullptr)
        SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

void ShowRow(HWND hwnd, ListBoxState& state, int index)
{
    const int shown = ShownRows(hwnd);
    if (index < state.top)
        state.top = index;
    else if (index >= state.top + shown)
        state.top = index - shown + 1;
    state.top = std::max(0, state.top);
}

constexpr UINT kComboPicked = WM_USER + 0x3F0;  // dropped list → its combo: row wParam chosen

// A user's choice in the list: LBN_SELCHANGE when it moved; a dropped list hands it to its combo.
void PickRow(HWND hwnd, ListBoxState& state, int row, bool fromMouse)
{
    if (row < 0 || row >= static_cast<int>(state.items.size()))
        return;
    const bool moved = row != state.current;
    state.current = row;
    ShowRow(hwnd, state, row);
    InvalidateRect(hwnd, nullptr, FALSE);
    if (state.combo != nullptr) {
        if (fromMouse)
            PostMessageA(state.combo, kComboPicked, static_cast<WPARAM>(row), 0);
        return;
    }
    if (moved && (GetWindowLongPtrA(hwnd, GWL_STYLE) & LBS_NOTIFY) != 0)
        NotifyParent(hwnd, LBN_SELCHANGE);
}

// ---- Combo box ----

struct ComboState : ControlState {
    std::vector<std::string> items;
    int current = -1;
    HWND list = nullptr;  // the dropped list while open
};

void CloseList(HWND hwnd, ComboState& state)
{
    if (state.list == nullptr)
        return;
    HWND list = state.list;
    state.list = nullptr;
    DestroyWindow(list);
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyParent(hwnd, CBN_CLOSEUP);
}

void OpenList(HWND hwnd, ComboState& state)
{
    if (state.list != nullptr || state.items.empty())
        return;
    HWND parent = GetParent(hwnd);
    if (parent == nullptr)
        return;
    NotifyParent(hwnd, CBN_DROPDOWN);
    RECT box;
    GetWindowRect(hwnd, &box);
    POINT corner{box.left, box.top};
    ScreenToClient(parent, &corner);
    const int rowHeight = FontLineHeight(hwnd);
    const int rows = std::min<int>(static_cast<int>(state.items.size()), 8);
    const int width = box.right - box.left, height = rows * rowHeight + 2;
    RECT area;
    GetClientRect(parent, &area);
    int y = corner.y + (box.bottom - box.top);
    if (y + height > area.bottom && corner.y - height >= area.top)
        y = corner.y - height;  // no room below: above the box
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_BORDER, corner.x, y, width, height, parent, nullptr,
                                nullptr, nullptr);
    if (list == nullptr)
        return;
    SendMessageA(list, WM_SETFONT, SendMessageA(hwnd, WM_GETFONT, 0, 0), FALSE);
    auto* listState = StateOf<ListBoxState>(list);
    listState->items = state.items;
    listState->current = state.current;
    listState->combo = hwnd;
    ShowRow(list, *listState, std::max(state.current, 0));
    SetWindowPos(list, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(list, SW_SHOWNA);
    state.list = list;
}

void ChooseItem(HWND hwnd, ComboState& state, int index)
{
    if (index < 0 || index >= static_cast<int>(state.items.size()) || index == state.current)
        return;
    state.current = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyParent(hwnd, CBN_SELCHANGE);
}

void PaintCombo(HWND hwnd, ComboState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    const bool enabled = IsWindowEnabled(hwnd) != FALSE;
    FillRect(hdc, &rc, enabled ? WindowBrush() : FaceBrush());
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, enabled ? 0x000000 : 0x808080);
    const int arrow = std::min<int>(rc.bottom - rc.top, 16);
    if (state.current >= 0) {
        RECT text{rc.left + 3, rc.top, rc.right - arrow, rc.bottom};
        DrawTextA(hdc, state.items[static_cast<size_t>(state.current)].c_str(), -1, &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    RECT button{rc.right - arrow, rc.top, rc.right, rc.bottom};
    FillRect(hdc, &button, FaceBrush());
    FrameRectangle(hdc, button, ShadowBrush());
    const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
    for (int i = 0; i < 3; ++i) {
        RECT line{cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i};
        FillRect(hdc, &line, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    FrameRectangle(hdc, rc, ShadowBrush());
    if (old != nullptr)
        SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

LRESULT FindExact(const std::vector<std::string>& items, WPARAM start, LPARAM text)
{
    if (text == 0 || items.empty())
        return LB_ERR;
    const char* wanted = reinterpret_cast<const char*>(text);
    const size_t count = items.size();
    const size_t first = start >= count ? 0 : start + 1;  // -1 searches from the top
    for (size_t n = 0; n < count; ++n) {
        const size_t i = (first + n) % count;
        if (lstrcmpiA(items[i].c_str(), wanted) == 0)
            return static_cast<LRESULT>(i);
    }
    return LB_ERR;
}

} // namespace
} // namespace winapi::dialogs

using namespace winapi::dialogs;

LRESULT CALLBACK ListBoxWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<ListBoxState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<ListBoxState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_PAINT: PaintListBox(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (state->combo == nullptr)
            TakeFocusOnClick(hwnd);
        const int y = GET_Y_LPARAM(lParam) - 1;
        if (y < 0)
            return 0;
        const int row = state->top + y / FontLineHeight(hwnd);
        PickRow(hwnd, *state, row, true);
        if (message == WM_LBUTTONDBLCLK && state->combo == nullptr && row < static_cast<int>(state->items.size()) &&
            (GetWindowLongPtrA(hwnd, GWL_STYLE) & LBS_NOTIFY) != 0)
            NotifyParent(hwnd, LBN_DBLCLK);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_UP)
            PickRow(hwnd, *state, std::max(0, state->current - 1), false);
        else if (wParam == VK_DOWN)
            PickRow(hwnd, *state, std::min(static_cast<int>(state->items.size()) - 1, state->current + 1), false);
        return 0;
    case LB_ADDSTRING:
        state->items.emplace_back(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(state->items.size() - 1);
    case LB_RESETCONTENT:
        state->items.clear();
        state->current = -1;
        state->top = 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case LB_GETCOUNT: return static_cast<LRESULT>(state->items.size());
    case LB_GETCURSEL: return state->current;
    case LB_SETCURSEL: {
        const int index = static_cast<int>(static_cast<intptr_t>(wParam));
        if (index < -1 || index >= static_cast<int>(state->items.size()))
            return LB_ERR;
        state->current = index;
        if (index >= 0)
            ShowRow(hwnd, *state, index);
        InvalidateRect(hwnd, nullptr, FALSE);
        return index;
    }
    case LB_GETTEXT: return CopyItemText(state->items, wParam, lParam);
    case LB_GETTEXTLEN: return CopyItemText(state->items, wParam, 0);
    case LB_FINDSTRINGEXACT: return FindExact(state->items, wParam, lParam);
    case LB_GETTOPINDEX: return state->top;
    case LB_SETTOPINDEX:
        if (wParam >= state->items.size())
            return LB_ERR;
        state->top = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case LB_GETITEMRECT: {
        if (wParam >= state->items.size() || lParam == 0)
            return LB_ERR;
        ShowRow(hwnd, *state, static_cast<int>(wParam));
        *reinterpret_cast<RECT*>(lParam) = ItemRect(hwnd, *state, static_cast<int>(wParam));
        return 1;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ComboBoxWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (message == WM_NCDESTROY)
        if (auto* state = StateOf<ComboState>(hwnd); state != nullptr && state->list != nullptr)
            DestroyWindow(std::exchange(state->list, nullptr));
    if (HandleStateMessages<ComboState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<ComboState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_PAINT: PaintCombo(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        TakeFocusOnClick(hwnd);
        if (state->list != nullptr)
            CloseList(hwnd, *state);
        else
            OpenList(hwnd, *state);
        return 0;
    case WM_KILLFOCUS:
        // The list closes when the focus leaves, after a pick has been taken.
        if (state->list != nullptr)
            PostMessageA(hwnd, CB_SHOWDROPDOWN, FALSE, 0);
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_ENABLE:
        if (wParam == 0)
            CloseList(hwnd, *state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case kComboPicked:
        CloseList(hwnd, *state);
        ChooseItem(hwnd, *state, static_cast<int>(wParam));
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_UP)
            ChooseItem(hwnd, *state, state->current - 1);
        else if (wParam == VK_DOWN)
            ChooseItem(hwnd, *state, state->current + 1);
        else if (wParam == VK_F4)
            state->list != nullptr ? CloseList(hwnd, *state) : OpenList(hwnd, *state);
        return 0;
    case CB_ADDSTRING:
        state->items.emplace_back(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(state->items.size() - 1);
    case CB_RESETCONTENT:
        CloseList(hwnd, *state);
        state->items.clear();
        state->current = -1;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case CB_GETCOUNT: return static_cast<LRESULT>(state->items.size());
    case CB_GETCURSEL: return state->current;
    case CB_SETCURSEL: {
        const int index = static_cast<int>(static_cast<intptr_t>(wParam));
        if (index < -1 || index >= static_cast<int>(state->items.size())) {
            state->current = -1;
            InvalidateRect(hwnd, nullptr, FALSE);
            return CB_ERR;
        }
        state->current = index;
        InvalidateRect(hwnd, nullptr, FALSE);
        return index;
    }
    case CB_GETLBTEXT: return CopyItemText(state->items, wParam, lParam);
    case CB_GETLBTEXTLEN: return CopyItemText(state->items, wParam, 0);
    case CB_SHOWDROPDOWN:
        wParam != 0 ? OpenList(hwnd, *state) : CloseList(hwnd, *state);
        return TRUE;
    case CB_GETDROPPEDSTATE: return state->list != nullptr ? TRUE : FALSE;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

BOOL WINAPI GetComboBoxInfo(HWND combo, COMBOBOXINFO* info)
{
    auto* state = StateOf<ComboState>(combo);
    if (state == nullptr || info == nullptr)
        return FALSE;
    RECT rc;
    GetClientRect(combo, &rc);
    const int arrow = std::min<int>(rc.bottom - rc.top, 16);
    info->rcItem = RECT{rc.left, rc.top, rc.right - arrow, rc.bottom};
    info->rcButton = RECT{rc.right - arrow, rc.top, rc.right, rc.bottom};
    info->stateButton = 0;
    info->hwndCombo = combo;
    info->hwndItem = nullptr;
    info->hwndList = state->list;
    return TRUE;
}
