// The minimal edit control; see user_edit.h.
#include "winapi/user_edit.h"

#include <string>
#include <vector>

LRESULT CALLBACK EditWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case EM_REPLACESEL: {
        if (lParam == 0)
            return 0;
        const int length = static_cast<int>(DefWindowProcA(hwnd, WM_GETTEXTLENGTH, 0, 0));
        std::vector<char> text(static_cast<size_t>(length) + 1);
        GetWindowTextA(hwnd, text.data(), length + 1);
        std::string joined(text.data());
        joined += reinterpret_cast<const char*>(lParam);
        DefWindowProcA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(joined.c_str()));
        return 0;
    }
    case EM_GETSEL: {
        const DWORD end = static_cast<DWORD>(static_cast<int>(DefWindowProcA(hwnd, WM_GETTEXTLENGTH, 0, 0)));
        if (wParam != 0)
            *reinterpret_cast<DWORD*>(wParam) = end;
        if (lParam != 0)
            *reinterpret_cast<DWORD*>(lParam) = end;
        return static_cast<LRESULT>(MAKELONG(end, end));
    }
    case EM_SETSEL: return 0;  // the caret stays at the end
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
