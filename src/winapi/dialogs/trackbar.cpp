// The horizontal trackbar ("msctls_trackbar32") of the stand-in: a channel with tick marks and a
// thumb. A drag sends TB_THUMBTRACK while moving and TB_THUMBPOSITION on release, a click beside
// the thumb TB_PAGEUP or TB_PAGEDOWN, the arrows TB_LINEUP or TB_LINEDOWN; each ends with
// TB_ENDTRACK, all as WM_HSCROLL to the parent.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "winapi/dialogs/controls.h"

namespace winapi::dialogs {
namespace {

constexpr int kMargin = 8;      // the channel starts and ends this far from the sides
constexpr int kThumbHalf = 4;

struct TrackbarState : ControlState {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    int page = 20;
    int line = 1;
    int ticFrequency = 1;
    bool dragging = false;
};

RECT Channel(HWND hwnd)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int y = (rc.top + rc.bottom) / 2;
    return RECT{rc.left + kMargin, y - 2, std::max<LONG>(rc.left + kMargin + 1, rc.right - kMargin), y + 2};
}

int PositionToX(HWND hwnd, const TrackbarState& state, int position)
{
    const RECT channel = Channel(hwnd);
    const int span = channel.right - channel.left - 1;
    const int range = state.maximum - state.minimum;
    if (range <= 0)
        return channel.left;
    return channel.left + static_cast<int>((static_cast<int64_t>(position - state.minimum) * span + range / 2) / range);
}

int XToPosition(HWND hwnd, const TrackbarState& state, int x)
{
    const RECT channel = Channel(hwnd);
    const int span = channel.right - channel.left - 1;
    const int range = state.maximum - state.minimum;
    if (span <= 0 || range <= 0)
        return state.minimum;
    const int along = std::clamp(x - static_cast<int>(channel.left), 0, span);
    return state.minimum + static_cast<int>((static_cast<int64_t>(along) * range + span / 2) / span);
}

RECT Thumb(HWND hwnd, const TrackbarState& state)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    const int x = PositionToX(hwnd, state, state.position);
    return RECT{x - kThumbHalf, rc.top + 2, x + kThumbHalf + 1, rc.bottom - 2};
}

int Clamp(const TrackbarState& state, int position)
{
    return std::clamp(position, state.minimum, std::max(state.minimum, state.maximum));
}

void Tell(HWND hwnd, int code, int position)
{
    HWND parent = GetParent(hwnd);
    if (parent != nullptr)
        SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)), reinterpret_cast<LPARAM>(hwnd));
}

// A user's move: the position changes, then the parent hears the code and TB_ENDTRACK.
void Move(HWND hwnd, TrackbarState& state, int position, int code)
{
    state.position = Clamp(state, position);
    InvalidateRect(hwnd, nullptr, FALSE);
    Tell(hwnd, code, state.position);
    Tell(hwnd, TB_ENDTRACK, 0);
}

void PaintTrackbar(HWND hwnd, TrackbarState& state)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(hdc, &rc, ControlBrush(hwnd, hdc, WM_CTLCOLORSTATIC, FaceBrush()));
    RECT channel = Channel(hwnd);
    FillRect(hdc, &channel, WindowBrush());
    FrameRectangle(hdc, channel, ShadowBrush());
    if ((GetWindowLongPtrA(hwnd, GWL_STYLE) & TBS_AUTOTICKS) != 0 && state.ticFrequency > 0 &&
        state.maximum > state.minimum) {
        for (int64_t p = state.minimum; p <= state.maximum; p += state.ticFrequency) {
            const int x = PositionToX(hwnd, state, static_cast<int>(p));
            RECT tick{x, rc.bottom - 4, x + 1, rc.bottom - 1};
            FillRect(hdc, &tick, ShadowBrush());
        }
    }
    RECT thumb = Thumb(hwnd, state);
    FillRect(hdc, &thumb, IsWindowEnabled(hwnd) ? FaceBrush() : WindowBrush());
    FrameRectangle(hdc, thumb, GetFocus() == hwnd ? SelectedBrush() : ShadowBrush());
    EndPaint(hwnd, &ps);
}

} // namespace
} // namespace winapi::dialogs

using namespace winapi::dialogs;

LRESULT CALLBACK TrackbarWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (HandleStateMessages<TrackbarState>(hwnd, message, wParam, &result))
        return result;
    auto* state = StateOf<TrackbarState>(hwnd);
    if (state == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_PAINT: PaintTrackbar(hwnd, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TakeFocusOnClick(hwnd);
        const int x = GET_X_LPARAM(lParam);
        const RECT thumb = Thumb(hwnd, *state);
        if (x >= thumb.left && x < thumb.right) {
            state->dragging = true;
            SetCapture(hwnd);
        } else if (x < thumb.left) {
            Move(hwnd, *state, state->position - state->page, TB_PAGEUP);
        } else {
            Move(hwnd, *state, state->position + state->page, TB_PAGEDOWN);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (state->dragging) {
            const int position = XToPosition(hwnd, *state, GET_X_LPARAM(lParam));
            if (position != state->position) {
                state->position = position;
                InvalidateRect(hwnd, nullptr, FALSE);
                Tell(hwnd, TB_THUMBTRACK, position);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (state->dragging) {
            state->dragging = false;
            ReleaseCapture();
            Tell(hwnd, TB_THUMBPOSITION, state->position);
            Tell(hwnd, TB_ENDTRACK, 0);
        }
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_LEFT:
        case VK_UP: Move(hwnd, *state, state->position - state->line, TB_LINEUP); break;
        case VK_RIGHT:
        case VK_DOWN: Move(hwnd, *state, state->position + state->line, TB_LINEDOWN); break;
        case VK_PRIOR: Move(hwnd, *state, state->position - state->page, TB_PAGEUP); break;
        case VK_NEXT: Move(hwnd, *state, state->position + state->page, TB_PAGEDOWN); break;
        case VK_HOME: Move(hwnd, *state, state->minimum, TB_TOP); break;
        case VK_END: Move(hwnd, *state, state->maximum, TB_BOTTOM); break;
        default: break;
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case TBM_GETPOS: return state->position;
    case TBM_GETRANGEMIN: return state->minimum;
    case TBM_GETRANGEMAX: return state->maximum;
    case TBM_SETPOS:
        state->position = Clamp(*state, static_cast<int>(lParam));
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETRANGE:
        state->minimum = static_cast<short>(LOWORD(lParam));
        state->maximum = static_cast<short>(HIWORD(lParam));
        state->position = Clamp(*state, state->position);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETTICFREQ:
        state->ticFrequency = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TBM_SETPAGESIZE: return std::exchange(state->page, static_cast<int>(lParam));
    case TBM_GETPAGESIZE: return state->page;
    case TBM_SETLINESIZE: return std::exchange(state->line, static_cast<int>(lParam));
    case TBM_GETLINESIZE: return state->line;
    case TBM_GETTHUMBRECT:
        if (lParam != 0)
            *reinterpret_cast<RECT*>(lParam) = Thumb(hwnd, *state);
        return 0;
    case TBM_GETCHANNELRECT:
        if (lParam != 0)
            *reinterpret_cast<RECT*>(lParam) = Channel(hwnd);
        return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
