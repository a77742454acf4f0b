// The edit control; see user_edit.h.
#include "winapi/user_edit.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "winapi/dialogs/controls.h"
#include "winapi/text.h"

namespace winapi::dialogs {
namespace {

constexpr size_t kDefaultLimit = 30000;

struct EditState : ControlState {
    size_t limit = kDefaultLimit;
    int pendingLead = -1;  // the lead byte of a double-byte character whose trail byte is due
};

LONG_PTR Style(HWND hwnd)
{
    return GetWindowLongPtrA(hwnd, GWL_STYLE);
}

void SetText(HWND hwnd, const std::string& text)
{
    DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Removes the last character (both bytes of a double-byte one).
std::string WithoutLast(const std::string& text)
{
    size_t last = 0;
    for (size_t i = 0; i < text.size();) {
        last = i;
        i += winapi::IsSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    return text.substr(0, text.empty() ? 0 : last);
}

// Typed bytes at the caret: refused as a whole when they would pass the limit.
void Type(HWND hwnd, EditState& state, const std::string& bytes)
{
    if ((Style(hwnd) & ES_READONLY) != 0)
        return;
    const std::string text = WindowText(hwnd);
    if (text.size() + bytes.size() > state.limit) {
        NotifyParent(hwnd, EN_MAXTEXT);
        return;
    }
    SetText(hwnd, text + bytes);
    NotifyParent(hwnd, EN_CHANGE);
}

void TypeChar(HWND hwnd, EditState& state, unsigned char c)
{
    if (state.pendingLead >= 0) {
        const std::string pair{static_cast<char>(state.pendingLead), static_cast<char>(c)};
        state.pendingLead = -1;
        Type(hwnd, state, pair);
        return;
    }
    if (winapi::IsSjisLeadByte(c)) {
        state.pendingLead = c;
        return;
    }
    const bool multiLine = (Style(hwnd) & ES_MULTILINE) != 0;
    if (c == '\b') {
        if ((Style(hwnd) & ES_READONLY) != 0)
            return;
        const std::string text = WindowText(hwnd);
        if (text.empty())
            return;
        SetText(hwnd, WithoutLast(text));
        NotifyParent(hwnd, EN_CHANGE);
    } else if (c == '\r') {
        if (multiLine)
            Type(hwnd, state, "\r\n");
    } else if (c >= 0x20 && c != 0x7F) {
        Type(hwnd, state, std::string(1, static_cast<char>(c)));
    }
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.emplace_back();
            ++i;
        } else if (text[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    HGDIOBJ oldFont = SelectControlFont(hwnd, hdc);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, IsWindowEnabled(hwnd) ? 0x000000 : 0x808080);
    const bool readOnly = (Style(hwnd) & ES_READONLY) != 0;
    // Read-only edits colour like statics, as in Win32.
    FillRect(hdc, &rc,
             ControlBrush(hwnd, hdc, readOnly ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                          readOnly ? FaceBrush() : WindowBrush()));
    FrameRectangle(hdc, rc, ShadowBrush());
    RECT textRect{rc.left + 2, rc.top + 2, rc.right - 2, rc.bottom - 2};
    const std::string text = WindowText(hwnd);
    const bool multiLine = (Style(hwnd) & ES_MULTILINE) != 0;
    DrawTextA(hdc, text.c_str(), -1, &textRect, multiLine ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    if (oldFont != nullptr)
        SelectObject(hdc, oldFont);
    EndPaint(hwnd, &ps);
}

} // namespace
} // namespace winapi::dialogs

using namespace winapi::dialogs;

LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<EditState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<EditState>(hwnd);
    switch (message) {
    case EM_REPLACESEL: {
        if (lParam == 0)
            return 0;
        SetText(hwnd, WindowText(hwnd) + reinterpret_cast<const char*>(lParam));
        NotifyParent(hwnd, EN_CHANGE);
        return 0;
    }
    case EM_GETSEL: {
        const DWORD end = static_cast<DWORD>(GetWindowTextLengthA(hwnd));
        if (wParam != 0)
            *reinterpret_cast<DWORD*>(wParam) = end;
        if (lParam != 0)
            *reinterpret_cast<DWORD*>(lParam) = end;
        return static_cast<LRESULT>(MAKELONG(end, end));
    }
    case EM_SETSEL: return 0;  // the caret stays at the end
    case EM_LIMITTEXT:
        if (state != nullptr)
            state->limit = wParam == 0 ? 0x7FFFFFFEu : static_cast<size_t>(wParam);
        return 0;
    case EM_GETLIMITTEXT: return state != nullptr ? static_cast<LRESULT>(state->limit) : 0;
    case EM_SETREADONLY: {
        LONG_PTR style = Style(hwnd);
        style = wParam != 0 ? (style | ES_READONLY) : (style & ~static_cast<LONG_PTR>(ES_READONLY));
        SetWindowLongPtrA(hwnd, GWL_STYLE, style);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case EM_GETLINECOUNT: return static_cast<LRESULT>(Lines(WindowText(hwnd)).size());
    case EM_GETLINE: {
        // wParam: the line; lParam: a buffer whose first word is its size. The bytes copied, no NUL.
        const auto lines = Lines(WindowText(hwnd));
        if (lParam == 0 || wParam >= lines.size())
            return 0;
        auto* buffer = reinterpret_cast<char*>(lParam);
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof size);
        const size_t n = std::min<size_t>(size, lines[wParam].size());
        std::memcpy(buffer, lines[wParam].data(), n);
        return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT: {
        const LRESULT done = DefWindowProcA(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        if ((Style(hwnd) & ES_MULTILINE) == 0)
            NotifyParent(hwnd, EN_CHANGE);
        return done;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if ((Style(hwnd) & ES_MULTILINE) != 0 && (Style(hwnd) & ES_WANTRETURN) != 0)
            code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_CHAR:
        if (state != nullptr)
            TypeChar(hwnd, *state, static_cast<unsigned char>(wParam & 0xFF));
        return 0;
    case WM_KEYDOWN: return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: TakeFocusOnClick(hwnd); return 0;
    case WM_SETFOCUS:
        NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (state != nullptr)
            state->pendingLead = -1;
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_PAINT:
        if (state == nullptr)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND: return 1;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
