// The "BUTTON" and "STATIC" controls, and what every control shares: notifications to the parent,
// the parent's colours, the face brushes.
#include <vector>

#include "winapi/dialogs/controls.h"

namespace winapi::dialogs {

void NotifyParent(HWND control, UINT code)
{
    HWND parent = GetParent(control);
    if (parent == nullptr)
        return;
    const WORD id = static_cast<WORD>(GetDlgCtrlID(control));
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParentHeader(HWND control, NMHDR* header, UINT code)
{
    HWND parent = GetParent(control);
    if (parent == nullptr)
        return 0;
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    header->code = code;
    return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

HBRUSH ControlBrush(HWND control, HDC hdc, UINT message, HBRUSH fallback)
{
    HWND parent = GetParent(control);
    if (parent != nullptr) {
        const LRESULT brush =
            SendMessageA(parent, message, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(control));
        if (brush != 0)
            return reinterpret_cast<HBRUSH>(brush);
    }
    return fallback;
}

namespace {

HBRUSH Brush(COLORREF colour)
{
    return CreateSolidBrush(colour);
}

} // namespace

HBRUSH FaceBrush()
{
    static HBRUSH brush = Brush(kFaceColour);
    return brush;
}

HBRUSH WindowBrush()
{
    static HBRUSH brush = Brush(kWindowColour);
    return brush;
}

HBRUSH ShadowBrush()
{
    static HBRUSH brush = Brush(kShadowColour);
    return brush;
}

HBRUSH SelectedBrush()
{
    static HBRUSH brush = Brush(kSelectedColour);
    return brush;
}

void FrameRectangle(HDC hdc, const RECT& r, HBRUSH brush)
{
    const RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                           {r.left, r.bottom - 1, r.right, r.bottom},
                           {r.left, r.top, r.left + 1, r.bottom},
                           {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& side : sides)
        FillRect(hdc, &side, brush);
}

std::string WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthA(hwnd);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    GetWindowTextA(hwnd, text.data(), length + 1);
    return std::string(text.data());
}

HGDIOBJ SelectControlFont(HWND hwnd, HDC hdc)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    return font != nullptr ? SelectObject(hdc, font) : nullptr;
}

void TakeFocusOnClick(HWND hwnd)
{
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
}

namespace {

struct ButtonState : ControlState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool captured = false;
};

UINT ButtonType(HWND hwnd)
{
    return static_cast<UINT>(GetWindowLongPtrA(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

bool IsRadio(UINT type)
{
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

bool IsCheckBox(UINT type)
{
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

// An automatic radio button checks itself and clears the others of its group.
void CheckInGroup(HWND hwnd)
{
    HWND parent = GetParent(hwnd);
    // The group starts at the nearest WS_GROUP control at or before this one.
    std::vector<HWND> siblings;
    for (HWND h = GetWindow(parent, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
        siblings.push_back(h);
    // GW_CHILD lists the top of the z-order first: the last created. Creation order is the tab order.
    std::vector<HWND> order(siblings.rbegin(), siblings.rend());
    size_t at = 0;
    while (at < order.size() && order[at] != hwnd)
        ++at;
    size_t first = at;
    while (first > 0 && (GetWindowLongPtrA(order[first], GWL_STYLE) & WS_GROUP) == 0)
        --first;
    for (size_t i = first; i < order.size(); ++i) {
        if (i > first && (GetWindowLongPtrA(order[i], GWL_STYLE) & WS_GROUP) != 0)
            break;
        if (ButtonType(order[i]) == BS_AUTORADIOBUTTON)
            SendMessageA(order[i], BM_SETCHECK, order[i] == hwnd ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void PaintButton(HWND hwnd, ButtonState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    const UINT type = ButtonType(hwnd);
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE,
                            state.pushed ? 1u : 0u, hwnd, hdc, rc, 0};
        SendMessageA(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        EndPaint(hwnd, &ps);
        return;
    }
    HGDIOBJ oldFont = SelectControlFont(hwnd, hdc);
    const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
    FillRect(hdc, &rc, ControlBrush(hwnd, hdc, push ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC, FaceBrush()));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, IsWindowEnabled(hwnd) ? 0x000000 : 0x808080);
    const std::string text = WindowText(hwnd);
    TEXTMETRICA metrics{};
    GetTextMetricsA(hdc, &metrics);
    if (push) {
        if (state.pushed)
            FillRect(hdc, &rc, ShadowBrush());
        FrameRectangle(hdc, rc, GetStockObject(BLACK_BRUSH) != nullptr
                                    ? reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))
                                    : ShadowBrush());
        if (type == BS_DEFPUSHBUTTON) {
            RECT inner{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
            FrameRectangle(hdc, inner, ShadowBrush());
        }
        RECT textRect = rc;
        DrawTextA(hdc, text.c_str(), -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else if (type == BS_GROUPBOX) {
        RECT frame{rc.left, rc.top + metrics.tmHeight / 2, rc.right, rc.bottom};
        FrameRectangle(hdc, frame, ShadowBrush());
        RECT textRect{rc.left + 8, rc.top, rc.right - 8, rc.top + metrics.tmHeight};
        SIZE size{0, 0};
        GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &size);
        RECT gap{textRect.left - 2, textRect.top, textRect.left + size.cx + 2, textRect.bottom};
        FillRect(hdc, &gap, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC, FaceBrush()));
        DrawTextA(hdc, text.c_str(), -1, &textRect, DT_LEFT | DT_SINGLELINE);
    } else {
        // Check box or radio button: a box of the text's height, then the text.
        const int side = std::min<int>(metrics.tmHeight, rc.bottom - rc.top);
        const int top = rc.top + (static_cast<int>(rc.bottom - rc.top) - side) / 2;
        RECT box{rc.left, top, rc.left + side, top + side};
        FillRect(hdc, &box, WindowBrush());
        FrameRectangle(hdc, box, ShadowBrush());
        if (state.check == BST_CHECKED) {
            RECT mark{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3};
            FillRect(hdc, &mark, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        RECT textRect{box.right + 4, rc.top, rc.right, rc.bottom};
        DrawTextA(hdc, text.c_str(), -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    if (oldFont != nullptr)
        SelectObject(hdc, oldFont);
    EndPaint(hwnd, &ps);
}

// The click of a button: automatic ones change their state first, then BN_CLICKED.
void Click(HWND hwnd, ButtonState& state)
{
    const UINT type = ButtonType(hwnd);
    if (type == BS_AUTOCHECKBOX)
        SendMessageA(hwnd, BM_SETCHECK, state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    else if (type == BS_AUTORADIOBUTTON)
        CheckInGroup(hwnd);
    NotifyParent(hwnd, BN_CLICKED);
}

} // namespace

} // namespace winapi::dialogs

using namespace winapi::dialogs;

LRESULT CALLBACK ButtonWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<ButtonState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<ButtonState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const UINT type = ButtonType(hwnd);
    switch (message) {
    case WM_GETDLGCODE:
        if (type == BS_GROUPBOX)
            return DLGC_STATIC;
        if (IsRadio(type))
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        if (type == BS_DEFPUSHBUTTON)
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        if (type == BS_PUSHBUTTON)
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        return DLGC_BUTTON;
    case WM_PAINT:
        PaintButton(hwnd, *state);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX)
            return 0;
        TakeFocusOnClick(hwnd);
        SetCapture(hwnd);
        state->captured = true;
        SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
        return 0;
    case WM_LBUTTONUP: {
        if (!state->captured)
            return 0;
        state->captured = false;
        ReleaseCapture();
        SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
        RECT rc;
        GetClientRect(hwnd, &rc);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (at.x >= rc.left && at.x < rc.right && at.y >= rc.top && at.y < rc.bottom)
            Click(hwnd, *state);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX)
            SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && state->pushed) {
            SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
            Click(hwnd, *state);
        }
        return 0;
    case WM_CHAR: return 0;
    case BM_CLICK:
        if (IsWindowEnabled(hwnd))
            Click(hwnd, *state);
        return 0;
    case BM_GETCHECK: return state->check;
    case BM_SETCHECK:
        if (IsCheckBox(type) || IsRadio(type)) {
            state->check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case BM_GETSTATE: return state->check | (state->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        state->pushed = wParam != 0;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case BM_SETSTYLE: {
        LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
        style = (style & ~static_cast<LONG_PTR>(0xFFFF)) | static_cast<LONG_PTR>(wParam & 0xFFFF);
        SetWindowLongPtrA(hwnd, GWL_STYLE, style);
        if (lParam != 0)
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SETTEXT: {
        const LRESULT done = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return done;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

namespace winapi::dialogs {
namespace {

struct StaticState : ControlState {
    HICON icon = nullptr;
};

void PaintStatic(HWND hwnd, StaticState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    const LONG_PTR type = style & SS_TYPEMASK;
    if (type == SS_OWNERDRAW) {
        DRAWITEMSTRUCT item{ODT_STATIC, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, 0, hwnd, hdc, rc, 0};
        SendMessageA(GetParent(hwnd), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
        EndPaint(hwnd, &ps);
        return;
    }
    HGDIOBJ oldFont = SelectControlFont(hwnd, hdc);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, 0x000000);
    // The parent may choose the colours here (WM_CTLCOLORSTATIC sets the DC's text colour).
    FillRect(hdc, &rc, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC, FaceBrush()));
    if (type == SS_ICON) {
        if (state.icon != nullptr)
            DrawIconEx(hdc, 0, 0, state.icon, 0, 0, 0, nullptr, DI_NORMAL);
    } else {
        const std::string text = WindowText(hwnd);
        const UINT align = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
        const UINT lines = (style & SS_CENTERIMAGE) != 0 ? DT_SINGLELINE | DT_VCENTER : DT_WORDBREAK;
        DrawTextA(hdc, text.c_str(), -1, &rc, align | lines);
    }
    if ((style & SS_SUNKEN) != 0)
        FrameRectangle(hdc, rc, ShadowBrush());
    if (oldFont != nullptr)
        SelectObject(hdc, oldFont);
    EndPaint(hwnd, &ps);
}

} // namespace
} // namespace winapi::dialogs

LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<StaticState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<StaticState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    const bool notify = (GetWindowLongPtrA(hwnd, GWL_STYLE) & SS_NOTIFY) != 0;
    switch (message) {
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_PAINT:
        PaintStatic(hwnd, *state);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONUP:
        if (notify)
            NotifyParent(hwnd, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (notify)
            NotifyParent(hwnd, STN_DBLCLK);
        return 0;
    case STM_SETICON: {
        HICON old = state->icon;
        state->icon = reinterpret_cast<HICON>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON: return reinterpret_cast<LRESULT>(state->icon);
    case WM_SETTEXT: {
        const LRESULT done = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return done;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
