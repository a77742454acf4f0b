// The default window procedure: the behaviour the engine counts on when its handlers pass a
// message on (closing, system commands, painting, the class cursor, IME results as characters).
#include <cstring>

#include "winapi/imm.h"
#include "winapi/text.h"
#include "winapi/user_internal.h"

using namespace winapi::user;

namespace {

LRESULT SystemCommand(HWND hwnd, WPARAM wParam)
{
    switch (wParam & 0xFFF0) {
    case SC_CLOSE:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case SC_MINIMIZE:
        ShowWindow(hwnd, SW_MINIMIZE);
        return 0;
    case SC_MAXIMIZE:
        ShowWindow(hwnd, SW_MAXIMIZE);
        return 0;
    case SC_RESTORE:
        ShowWindow(hwnd, SW_RESTORE);
        return 0;
    case SC_KEYMENU: {
        // No menu is drawn by the host: the menu loop opens and closes at once, so that the
        // window sees the bracket it expects.
        HMENU menu = GetMenu(hwnd);
        if (menu == nullptr)
            return 0;
        SendMessageA(hwnd, WM_ENTERMENULOOP, FALSE, 0);
        SendMessageA(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        SendMessageA(hwnd, WM_EXITMENULOOP, FALSE, 0);
        return 0;
    }
    default:
        return 0;
    }
}

// The IME's result string, one character at a time: WM_IME_CHAR carries a double-byte
// character as lead << 8 | trail.
void SendImeResult(HWND hwnd)
{
    HIMC context = ImmGetContext(hwnd);
    if (context == nullptr)
        return;
    const LONG size = ImmGetCompositionStringA(context, GCS_RESULTSTR, nullptr, 0);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ImmGetCompositionStringA(context, GCS_RESULTSTR, text.data(), static_cast<DWORD>(size));
    ImmReleaseContext(hwnd, context);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (winapi::IsSjisLeadByte(lead) && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[++i]);
            SendMessageA(hwnd, WM_IME_CHAR, static_cast<WPARAM>((lead << 8) | trail), 1);
        } else
            SendMessageA(hwnd, WM_IME_CHAR, lead, 1);
    }
}

} // namespace

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        {
            std::lock_guard lock(WindowLock());
            window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        }
        UpdateHostWindow(hwnd);
        return TRUE;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || lParam == 0)
            return 0;
        return GetWindowTextA(hwnd, reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(WindowLock());
        return static_cast<LRESULT>(window->text.size());
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = window->cls ? window->cls->info.hbrBackground : nullptr;
        if (brush == nullptr)
            return 0;
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        return SystemCommand(hwnd, wParam);
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window through the system menu's command.
        if (wParam == VK_F4 && (lParam & (1 << 29)) != 0)
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSKEYUP:
        if ((wParam == VK_MENU && AltPressedAlone()) || wParam == VK_F10)
            SendMessageA(hwnd, WM_SYSCOMMAND, SC_KEYMENU, 0);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_SETCURSOR:
        // A child's parent chooses first (a dialog shows its own cursor over a control).
        if ((GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) != 0 && GetParent(hwnd) != nullptr &&
            SendMessageA(GetParent(hwnd), WM_SETCURSOR, wParam, lParam) != 0)
            return TRUE;
        if (reinterpret_cast<HWND>(wParam) != hwnd && reinterpret_cast<HWND>(wParam) != nullptr)
            return FALSE;
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(ClassCursor(hwnd));
            return TRUE;
        }
        return FALSE;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(hwnd))
            SetFocus(hwnd);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_IME_COMPOSITION:
        if (lParam & GCS_RESULTSTR)
            SendImeResult(hwnd);
        return 0;
    case WM_IME_CHAR:
        // Lead byte first, then the trail byte, each as its own WM_CHAR.
        if (wParam > 0xFF)
            PostMessageA(hwnd, WM_CHAR, (wParam >> 8) & 0xFF, lParam);
        PostMessageA(hwnd, WM_CHAR, wParam & 0xFF, lParam);
        return 0;
    default:
        return 0;
    }
}
