// The tab control and the list view (report view, full-row single selection) of the stand-in.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "winapi/dialogs/controls.h"

namespace winapi::dialogs {
namespace {

int LineHeight(HWND hwnd)
{
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc, &metrics);
    if (old != nullptr)
        SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return std::max<int>(metrics.tmHeight, 8);
}

int TextWidth(HWND hwnd, const std::string& text)
{
    HDC hdc = GetDC(hwnd);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    SIZE size{0, 0};
    if (!text.empty())
        GetTextExtentPoint32A(hdc, text.data(), static_cast<int>(text.size()), &size);
    if (old != nullptr)
        SelectObject(hdc, old);
    ReleaseDC(hwnd, hdc);
    return size.cx;
}

bool Inside(const RECT& r, POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// ---- Tab control ----

struct TabItem {
    std::string text;
    LPARAM param = 0;
};

struct TabState : ControlState {
    std::vector<TabItem> items;
    int current = -1;
};

RECT TabRect(HWND hwnd, const TabState& state, int index)
{
    int x = 2;
    const int height = LineHeight(hwnd) + 6;
    for (int i = 0; i < index; ++i)
        x += TextWidth(hwnd, state.items[static_cast<size_t>(i)].text) + 12;
    const int width = TextWidth(hwnd, state.items[static_cast<size_t>(index)].text) + 12;
    return RECT{x, 0, x + width, height};
}

void PaintTabs(HWND hwnd, TabState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    FillRect(hdc, &rc, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC, FaceBrush()));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, 0x000000);
    const int height = LineHeight(hwnd) + 6;
    RECT page{rc.left, height - 1, rc.right, rc.bottom};
    FrameRectangle(hdc, page, ShadowBrush());
    for (size_t i = 0; i < state.items.size(); ++i) {
        RECT tab = TabRect(hwnd, state, static_cast<int>(i));
        if (static_cast<int>(i) == state.current)
            FillRect(hdc, &tab, WindowBrush());
        FrameRectangle(hdc, tab, ShadowBrush());
        DrawTextA(hdc, state.items[i].text.c_str(), -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (old != nullptr)
        SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

void SelectTab(HWND hwnd, TabState& state, int index)
{
    if (index == state.current || index < 0 || index >= static_cast<int>(state.items.size()))
        return;
    NMHDR header{};
    if (NotifyParentHeader(hwnd, &header, TCN_SELCHANGING) != 0)
        return;  // the parent keeps the page
    state.current = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    NotifyParentHeader(hwnd, &header, TCN_SELCHANGE);
}

// ---- List view ----

struct ListRow {
    std::vector<std::string> cells;
    UINT state = 0;
    LPARAM param = 0;
};

struct ListColumn {
    std::string text;
    int width = 0;
};

struct ListState : ControlState {
    std::vector<ListColumn> columns;
    std::vector<ListRow> rows;
    int top = 0;  // the first row shown
    DWORD extended = 0;
};

int RowHeight(HWND hwnd)
{
    return LineHeight(hwnd) + 4;
}

int HeaderHeight(HWND hwnd)
{
    return LineHeight(hwnd) + 6;
}

int VisibleRows(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    return std::max(1, (static_cast<int>(rc.bottom - rc.top) - HeaderHeight(hwnd)) / RowHeight(hwnd));
}

RECT RowRect(HWND hwnd, const ListState& state, int row)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int y = HeaderHeight(hwnd) + (row - state.top) * RowHeight(hwnd);
    return RECT{rc.left, y, rc.right, y + RowHeight(hwnd)};
}

void PaintList(HWND hwnd, ListState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ old = SelectControlFont(hwnd, hdc);
    FillRect(hdc, &rc, WindowBrush());
    SetBkMode(hdc, TRANSPARENT);
    RECT header{rc.left, rc.top, rc.right, rc.top + HeaderHeight(hwnd)};
    FillRect(hdc, &header, FaceBrush());
    SetTextColor(hdc, 0x000000);
    int x = 0;
    for (const ListColumn& column : state.columns) {
        RECT cell{x + 4, header.top, x + column.width, header.bottom};
        DrawTextA(hdc, column.text.c_str(), -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        x += column.width;
    }
    const int shown = VisibleRows(hwnd);
    for (int row = state.top; row < static_cast<int>(state.rows.size()) && row < state.top + shown; ++row) {
        const ListRow& item = state.rows[static_cast<size_t>(row)];
        RECT line = RowRect(hwnd, state, row);
        const bool selected = (item.state & LVIS_SELECTED) != 0;
        if (selected)
            FillRect(hdc, &line, SelectedBrush());
        SetTextColor(hdc, selected ? 0xFFFFFF : 0x000000);
        x = 0;
        for (size_t c = 0; c < state.columns.size(); ++c) {
            RECT cell{x + 4, line.top, x + state.columns[c].width, line.bottom};
            if (c < item.cells.size())
                DrawTextA(hdc, item.cells[c].c_str(), -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
            x += state.columns[c].width;
        }
    }
    FrameRectangle(hdc, rc, ShadowBrush());
    if (old != nullptr)
        SelectObject(hdc, old);
    EndPaint(hwnd, &ps);
}

void NotifyItem(HWND hwnd, int row, UINT oldState, UINT newState, LPARAM param)
{
    NMLISTVIEW info{};
    info.iItem = row;
    info.uOldState = oldState;
    info.uNewState = newState;
    info.uChanged = LVIF_STATE;
    info.lParam = param;
    NotifyParentHeader(hwnd, &info.hdr, LVN_ITEMCHANGED);
}

// Sets the state bits of a row (or every row for -1); LVN_ITEMCHANGED for each change. One row
// stays selected at most: selecting one clears the others first.
void SetRowState(HWND hwnd, ListState& state, int row, UINT value, UINT mask)
{
    if (row >= static_cast<int>(state.rows.size()))
        return;
    if (row >= 0 && (mask & value & LVIS_SELECTED) != 0)
        for (size_t i = 0; i < state.rows.size(); ++i)
            if (static_cast<int>(i) != row && (state.rows[i].state & (LVIS_SELECTED | LVIS_FOCUSED)) != 0) {
                const UINT before = state.rows[i].state;
                state.rows[i].state &= ~static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED);
                NotifyItem(hwnd, static_cast<int>(i), before, state.rows[i].state, state.rows[i].param);
            }
    for (size_t i = 0; i < state.rows.size(); ++i) {
        if (row >= 0 && static_cast<int>(i) != row)
            continue;
        const UINT before = state.rows[i].state;
        const UINT after = (before & ~mask) | (value & mask);
        if (after == before)
            continue;
        state.rows[i].state = after;
        NotifyItem(hwnd, static_cast<int>(i), before, after, state.rows[i].param);
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

int RowAt(HWND hwnd, const ListState& state, POINT at)
{
    if (at.y < HeaderHeight(hwnd))
        return -1;
    const int row = state.top + (at.y - HeaderHeight(hwnd)) / RowHeight(hwnd);
    return row < static_cast<int>(state.rows.size()) ? row : -1;
}

int Selected(const ListState& state)
{
    for (size_t i = 0; i < state.rows.size(); ++i)
        if ((state.rows[i].state & LVIS_SELECTED) != 0)
            return static_cast<int>(i);
    return -1;
}

void EnsureVisible(HWND hwnd, ListState& state, int row)
{
    const int shown = VisibleRows(hwnd);
    if (row < state.top)
        state.top = row;
    else if (row >= state.top + shown)
        state.top = row - shown + 1;
    state.top = std::max(0, state.top);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void CopyText(const std::string& text, LPSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return;
    const size_t n = std::min<size_t>(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

} // namespace
} // namespace winapi::dialogs

using namespace winapi::dialogs;

LRESULT CALLBACK TabControlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<TabState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<TabState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_PAINT: PaintTabs(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        for (size_t i = 0; i < state->items.size(); ++i)
            if (Inside(TabRect(hwnd, *state, static_cast<int>(i)), at)) {
                SelectTab(hwnd, *state, static_cast<int>(i));
                break;
            }
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_LEFT)
            SelectTab(hwnd, *state, state->current - 1);
        else if (wParam == VK_RIGHT)
            SelectTab(hwnd, *state, state->current + 1);
        return 0;
    case TCM_GETITEMCOUNT: return static_cast<LRESULT>(state->items.size());
    case TCM_INSERTITEMA: {
        const auto* item = reinterpret_cast<const TCITEMA*>(lParam);
        if (item == nullptr)
            return -1;
        const size_t at = std::min<size_t>(wParam, state->items.size());
        TabItem tab;
        if ((item->mask & TCIF_TEXT) != 0 && item->pszText != nullptr)
            tab.text = item->pszText;
        if ((item->mask & TCIF_PARAM) != 0)
            tab.param = item->lParam;
        state->items.insert(state->items.begin() + static_cast<std::ptrdiff_t>(at), tab);
        if (state->current < 0)
            state->current = 0;
        else if (static_cast<int>(at) <= state->current)
            ++state->current;
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(at);
    }
    case TCM_DELETEALLITEMS:
        state->items.clear();
        state->current = -1;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TCM_GETITEMRECT: {
        if (wParam >= state->items.size() || lParam == 0)
            return FALSE;
        *reinterpret_cast<RECT*>(lParam) = TabRect(hwnd, *state, static_cast<int>(wParam));
        return TRUE;
    }
    case TCM_GETCURSEL: return state->current;
    case TCM_SETCURSEL: {
        const int previous = state->current;
        if (static_cast<int>(wParam) < 0 || wParam >= state->items.size())
            return -1;
        state->current = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ListViewWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<ListState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<ListState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_PAINT: PaintList(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TakeFocusOnClick(hwnd);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const int row = RowAt(hwnd, *state, at);
        if (row >= 0)
            SetRowState(hwnd, *state, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        NMITEMACTIVATE info{};
        info.iItem = row;
        info.ptAction = at;
        NotifyParentHeader(hwnd, &info.hdr, message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_CLICK);
        return 0;
    }
    case WM_KEYDOWN: {
        const int current = Selected(*state);
        int next = current;
        if (wParam == VK_UP)
            next = std::max(0, current - 1);
        else if (wParam == VK_DOWN)
            next = std::min(static_cast<int>(state->rows.size()) - 1, current + 1);
        if (next != current && next >= 0) {
            SetRowState(hwnd, *state, next, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            EnsureVisible(hwnd, *state, next);
        }
        return 0;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const DWORD previous = state->extended;
        const DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
        state->extended = (state->extended & ~mask) | (static_cast<DWORD>(lParam) & mask);
        return previous;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return state->extended;
    case LVM_INSERTCOLUMNA: {
        const auto* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
        if (column == nullptr)
            return -1;
        const size_t at = std::min<size_t>(wParam, state->columns.size());
        ListColumn added;
        if ((column->mask & LVCF_TEXT) != 0 && column->pszText != nullptr)
            added.text = column->pszText;
        if ((column->mask & LVCF_WIDTH) != 0)
            added.width = std::max(0, column->cx);
        state->columns.insert(state->columns.begin() + static_cast<std::ptrdiff_t>(at), added);
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(at);
    }
    case LVM_INSERTITEMA: {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (item == nullptr || item->iItem < 0)
            return -1;
        const size_t at = std::min<size_t>(static_cast<size_t>(item->iItem), state->rows.size());
        ListRow row;
        row.cells.resize(std::max<size_t>(state->columns.size(), 1));
        if ((item->mask & LVIF_TEXT) != 0 && item->pszText != nullptr)
            row.cells[0] = item->pszText;
        if ((item->mask & LVIF_PARAM) != 0)
            row.param = item->lParam;
        if ((item->mask & LVIF_STATE) != 0)
            row.state = item->state & item->stateMask;
        state->rows.insert(state->rows.begin() + static_cast<std::ptrdiff_t>(at), row);
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(at);
    }
    case LVM_SETITEMTEXTA:
    case LVM_GETITEMTEXTA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (item == nullptr || wParam >= state->rows.size() || item->iSubItem < 0)
            return FALSE;
        ListRow& row = state->rows[wParam];
        const size_t cell = static_cast<size_t>(item->iSubItem);
        if (message == LVM_GETITEMTEXTA) {
            const std::string text = cell < row.cells.size() ? row.cells[cell] : std::string();
            CopyText(text, item->pszText, item->cchTextMax);
            return static_cast<LRESULT>(std::min<size_t>(text.size(), static_cast<size_t>(std::max(item->cchTextMax - 1, 0))));
        }
        if (cell >= row.cells.size())
            row.cells.resize(cell + 1);
        row.cells[cell] = item->pszText != nullptr ? item->pszText : "";
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case LVM_GETITEMCOUNT: return static_cast<LRESULT>(state->rows.size());
    case LVM_DELETEALLITEMS:
        state->rows.clear();
        state->top = 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case LVM_SETITEMSTATE: {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (item == nullptr)
            return FALSE;
        SetRowState(hwnd, *state, static_cast<int>(static_cast<intptr_t>(wParam)), item->state, item->stateMask);
        return TRUE;
    }
    case LVM_GETITEMSTATE:
        return wParam < state->rows.size() ? static_cast<LRESULT>(state->rows[wParam].state & static_cast<UINT>(lParam))
                                           : 0;
    case LVM_GETNEXTITEM: {
        const int start = static_cast<int>(static_cast<intptr_t>(wParam));
        for (int i = start + 1; i < static_cast<int>(state->rows.size()); ++i)
            if ((lParam & LVNI_SELECTED) == 0 || (state->rows[static_cast<size_t>(i)].state & LVIS_SELECTED) != 0)
                return i;
        return -1;
    }
    case LVM_GETITEMRECT: {
        if (wParam >= state->rows.size() || lParam == 0)
            return FALSE;
        *reinterpret_cast<RECT*>(lParam) = RowRect(hwnd, *state, static_cast<int>(wParam));
        return TRUE;
    }
    case LVM_ENSUREVISIBLE:
        if (wParam >= state->rows.size())
            return FALSE;
        EnsureVisible(hwnd, *state, static_cast<int>(wParam));
        return TRUE;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
