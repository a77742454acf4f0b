// Window-bound drawing targets; see window_surface.h.
#include "display/window_surface.h"

#include "winapi/gdi.h"

void WindowHook::Unhook()
{
    if (subclassed && IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc));
        SetWindowLongPtrA(window, GWLP_USERDATA, savedUserData);
    }
    savedProc = nullptr;
    savedUserData = 0;
    subclassed = false;
    window = nullptr;
}

void WindowHook::Hook(HWND hwnd, WNDPROC proc, void* owner)
{
    savedProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    savedUserData = GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    subclassed = true;
}

LRESULT WindowHook::Forward(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC proc, void* owner)
{
    const WNDPROC saved = savedProc;
    if (savedUserData != 0) {
        // The window's own procedure may read its own user data: it gets it back for the call.
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, savedUserData);
        const LRESULT result = CallWindowProcA(saved, hwnd, message, wParam, lParam);
        if (IsWindow(hwnd) && subclassed && window == hwnd) {
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        }
        return result;
    }
    return CallWindowProcA(saved, hwnd, message, wParam, lParam);
}

namespace {

// WM_PAINT: the paint rectangle copied from the same place of the image.
LRESULT PaintFrom(HWND hwnd, const CImage& image)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc && image.GetDc()) {
        const RECT& r = paint.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, image.GetDc(), r.left, r.top, SRCCOPY);
    }
    EndPaint(hwnd, &paint);
    return 0;
}

// The message for a hooked object: paint, or forward (and let go after WM_DESTROY).
template <class Owner>
LRESULT Dispatch(Owner* owner, WindowHook& hook, const CImage& image, HWND hwnd, UINT message, WPARAM wParam,
                 LPARAM lParam, WNDPROC proc, void (*detach)(Owner*))
{
    if (message == WM_PAINT)
        return PaintFrom(hwnd, image);
    const LRESULT result = hook.Forward(hwnd, message, wParam, lParam, proc, owner);
    if (message == WM_DESTROY)
        detach(owner);
    return result;
}

// Creates a 32-bit (or the depth given) image with a device context at the window's client size.
bool MakeClientImage(CImage& image, HWND hwnd, int bitsPerPixel)
{
    RECT client{0, 0, 0, 0};
    GetClientRect(hwnd, &client);
    return image.Create(client.right - client.left, client.bottom - client.top, bitsPerPixel, kImageWithDc) == 0;
}

} // namespace

CWindowSurface::CWindowSurface(HWND window)
{
    if (window)
        Attach(window, true);
}

CWindowSurface::~CWindowSurface()
{
    if (m_hook.window && m_hook.subclassed)
        Attach(nullptr, true);
    SetTarget(nullptr, false);
}

int CWindowSurface::Attach(HWND window, bool subclass)
{
    m_hook.Unhook();
    m_hook.window = window;
    if (!window)
        return -1;
    if (subclass)
        m_hook.Hook(window, &CWindowSurface::WindowProc, this);
    int result = 0;
    if (!MakeClientImage(m_image, window, 32))
        result = 1;
    else if (SetTarget(&m_image, true) != 0)
        result = 2;
    if (result != 0)
        m_hook.Unhook();
    return result;
}

void CWindowSurface::Redraw(bool keepInvalid)
{
    if (!m_hook.window)
        return;
    if (!keepInvalid)
        InvalidateAll();
    RedrawToDC(m_hook.window, nullptr, nullptr, 0, 0);
}

LRESULT CALLBACK CWindowSurface::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CWindowSurface*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return Dispatch<CWindowSurface>(self, self->m_hook, self->m_image, hwnd, message, wParam, lParam,
                                    &CWindowSurface::WindowProc,
                                    [](CWindowSurface* s) { s->Attach(nullptr, true); });
}

CGdiBackingWindow::CGdiBackingWindow(HWND window)
{
    if (window)
        Attach(window, 32);
}

CGdiBackingWindow::~CGdiBackingWindow()
{
    if (m_hook.window)
        Attach(nullptr, 32);
}

int CGdiBackingWindow::Attach(HWND window, int bitsPerPixel)
{
    m_hook.Unhook();
    m_hook.window = window;
    if (!window)
        return -1;
    m_hook.Hook(window, &CGdiBackingWindow::WindowProc, this);
    if (!MakeClientImage(m_image, window, bitsPerPixel)) {
        m_hook.Unhook();
        return 1;
    }
    return 0;
}

void CGdiBackingWindow::PaintNow()
{
    if (!m_hook.window || !m_image.GetDc())
        return;
    HDC dc = GetDC(m_hook.window);
    if (!dc)
        return;
    BitBlt(dc, 0, 0, m_image.GetWidth(), m_image.GetHeight(), m_image.GetDc(), 0, 0, SRCCOPY);
    ReleaseDC(m_hook.window, dc);
}

LRESULT CALLBACK CGdiBackingWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CGdiBackingWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return Dispatch<CGdiBackingWindow>(self, self->m_hook, self->m_image, hwnd, message, wParam, lParam,
                                       &CGdiBackingWindow::WindowProc,
                                       [](CGdiBackingWindow* s) { s->Attach(nullptr, 32); });
}
