// Painting: the invalid rectangle of each window, WM_PAINT, BeginPaint and EndPaint.
#include <algorithm>

#include "winapi/user_internal.h"

namespace winapi::user {

namespace {

RECT Union(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

bool Empty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

void InvalidateOne(const std::shared_ptr<Window>& window, const RECT* rect, bool erase)
{
    const RECT screen = ClientRectOnScreen(*window);
    RECT client{0, 0, screen.right - screen.left, screen.bottom - screen.top};
    RECT area = client;
    if (rect != nullptr) {
        area = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top),
                    std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)};
    }
    if (Empty(area))
        return;
    bool visible;
    {
        std::lock_guard lock(WindowLock());
        window->invalid = window->hasInvalid ? Union(window->invalid, area) : area;
        window->hasInvalid = true;
        window->invalidErase = window->invalidErase || erase;
        visible = IsVisibleStyle(*window);
    }
    // Hidden windows keep their region; ShowWindow asks for paint when they appear.
    if (visible)
        InvalidateInQueue(*window->queue, window->hwnd, true);
}

} // namespace

} // namespace winapi::user

using namespace winapi::user;

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (hwnd == nullptr || hwnd == GetDesktopWindow()) {
        for (auto& window : AllWindows())
            if (IsTopLevel(*window))
                InvalidateOne(window, nullptr, erase != FALSE);
        return TRUE;
    }
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    InvalidateOne(window, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT* rect)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    bool empty;
    {
        std::lock_guard lock(WindowLock());
        // One bounding rectangle is kept: validating part of it validates it only when the part
        // covers it.
        if (rect == nullptr ||
            (rect->left <= window->invalid.left && rect->top <= window->invalid.top &&
             rect->right >= window->invalid.right && rect->bottom >= window->invalid.bottom)) {
            window->hasInvalid = false;
            window->invalidErase = false;
            window->invalid = RECT{0, 0, 0, 0};
        }
        empty = !window->hasInvalid;
    }
    if (empty)
        InvalidateInQueue(*window->queue, hwnd, false);
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    std::lock_guard lock(WindowLock());
    if (rect != nullptr)
        *rect = window->hasInvalid ? window->invalid : RECT{0, 0, 0, 0};
    return window->hasInvalid;
}

HDC WINAPI BeginPaint(HWND hwnd, PAINTSTRUCT* paint)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || paint == nullptr)
        return nullptr;
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        std::lock_guard lock(WindowLock());
        paint->rcPaint = window->hasInvalid ? window->invalid : RECT{0, 0, 0, 0};
        erase = window->invalidErase;
        window->hasInvalid = false;
        window->invalidErase = false;
        window->invalid = RECT{0, 0, 0, 0};
    }
    InvalidateInQueue(*window->queue, hwnd, false);
    HDC hdc = GetDC(hwnd);
    paint->hdc = hdc;
    paint->fErase = TRUE;
    if (erase && hdc != nullptr)
        paint->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    return hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint)
{
    if (paint == nullptr)
        return FALSE;
    ReleaseDC(hwnd, paint->hdc);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    bool paint;
    {
        std::lock_guard lock(WindowLock());
        paint = window->hasInvalid && IsVisibleStyle(*window);
    }
    if (paint)
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
