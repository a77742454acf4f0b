// Window-bound drawing targets: CWindowSurface, a scene composed into an image of a window's
// client size, and CGdiBackingWindow, a plain image of that size that callers draw into. Both
// subclass the window: they answer WM_PAINT from their image, pass every other message to the
// window's own procedure, and let go of the window when it is destroyed.
#pragma once

#include "drawing/scene.h"
#include "raster/image.h"
#include "winapi/user.h"

// The subclassing both classes share: the window, its own procedure and user data while attached.
struct WindowHook {
    HWND window = nullptr;
    WNDPROC savedProc = nullptr;
    LONG_PTR savedUserData = 0;
    bool subclassed = false;

    // Puts the window's procedure and user data back (when it still exists) and forgets them.
    void Unhook();
    // Saves the window's procedure and user data and installs proc with owner as user data.
    void Hook(HWND hwnd, WNDPROC proc, void* owner);
    // WM_PAINT from image; other messages to the saved procedure with the window's own user data
    // in place for the call. detach runs after WM_DESTROY.
    LRESULT Forward(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC proc, void* owner);
};

class CWindowSurface : public CScene {
public:
    // With a window: Attach (window, subclass).
    explicit CWindowSurface(HWND window = nullptr);
    ~CWindowSurface() override;

    // 0 attached; -1 detached (null window); 1 the image could not be made (a client of 0x0);
    // 2 the scene refused the image. On 1 and 2 the window is let go again.
    int Attach(HWND window, bool subclass);
    // With a window: the whole scene marked changed (unless keepInvalid), then the changed
    // rectangles composed and shown in the window.
    void Redraw(bool keepInvalid);
    HWND GetWindow() const { return m_hook.window; }
    CImage& GetImage() { return m_image; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    WindowHook m_hook;
    CImage m_image;
};

class CGdiBackingWindow {
public:
    // With a window: Attach (window, 32).
    explicit CGdiBackingWindow(HWND window = nullptr);
    ~CGdiBackingWindow();
    CGdiBackingWindow(const CGdiBackingWindow&) = delete;
    CGdiBackingWindow& operator=(const CGdiBackingWindow&) = delete;

    // 0 attached; -1 detached (null window); 1 the image could not be made. Always subclasses.
    int Attach(HWND window, int bitsPerPixel);
    // The whole image copied to the window now.
    void PaintNow();
    HWND GetWindow() const { return m_hook.window; }
    CImage& GetImage() { return m_image; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    WindowHook m_hook;
    CImage m_image;
};
