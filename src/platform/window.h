// CWindow wraps one Win32 window: it registers the class, computes the window rectangle from a
// wanted client size and a placement rule, creates the window with itself as the creation
// parameter, and routes every message through its message map of handlers, then its virtual
// OnMessage, then DefWindowProcA.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "platform/message_handler.h"
#include "winapi/user.h"

// Creation parameters; a fresh record holds the defaults.
struct CWindowCreateParams {
    int32_t x = -1;
    int32_t y = -1;
    int32_t clientWidth = 640;
    int32_t clientHeight = 480;
    uint32_t style = 0x2CF0000;  // WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN
    uint32_t exStyle = 0;
    uint16_t iconId = 0;         // 0: IDI_APPLICATION
    uint16_t menuId = 0;         // 0: none
    uint8_t placement = 1;       // 0 at (x, y); 1 keep (x, y) when it fits, else centre; 2 centre
    HBRUSH background = nullptr;
    std::string title;
    std::string className;
};

class CWindow {
public:
    CWindow();
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    // The window's own handling after the map: 0 = handled. Base: WM_DESTROY with quit on
    // destroy posts WM_QUIT(0) and answers 0; everything else 1.
    virtual uint32_t OnMessage(CWindowMessage* message);

    // → 0 created, 1 class registration failed, 2 CreateWindowExA failed. The standard control
    // classes ("BUTTON", "EDIT", ...) and registerClass false skip the registration.
    int Create(HINSTANCE instance, const CWindowCreateParams* params, HWND parent, bool quitOnDestroy,
               bool registerClass);
    // The class of the parameters with StaticWindowProc; → its atom, 0 on failure.
    ATOM RegisterClass(HINSTANCE instance, const CWindowCreateParams* params);
    // Takes ownership of the handler (null: none); the map's previous handler for the message is
    // deleted, but not while it is running (it then goes when it returns).
    void SetMessageHandler(UINT message, CMessageHandler* handler);
    // DestroyWindow when the window exists; deletes every handler.
    void Destroy();
    // SendMessageA / PostMessageA when the window exists; else 0 / nothing.
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool IsValid() const;
    void GetHandle(HWND* out) const { *out = m_hWnd; }
    HWND GetHwnd() const { return m_hWnd; }
    uint8_t GetPlacement() const { return m_placement; }
    void SetPlacement(uint8_t placement) { m_placement = placement; }

    // The outer rectangle for a client size. Without computePosition the adjusted rectangle;
    // with it (left, top, width, height) placed by the window's placement mode.
    void ComputeWindowRect(RECT* out, int width, int height, DWORD style, DWORD exStyle, bool hasMenu,
                           bool computePosition, int x, int y);

    // The window procedure of every class registered here.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Map handler, then OnMessage, then DefWindowProcA.
    void Dispatch(CWindowMessage* message);

private:
    std::atomic<HWND> m_hWnd{nullptr};  // cleared on the UI thread, read by the game thread
    std::map<UINT, std::shared_ptr<CMessageHandler>> m_handlers;
    bool m_quitOnDestroy = false;
    uint8_t m_placement = 1;
    // Shared with every dispatch in progress: false once the object is gone, so that a handler
    // that deletes its own window object does not make the dispatch touch freed memory.
    std::shared_ptr<bool> m_alive;
};

// The client rectangle of a window in screen coordinates.
void GetClientRectOnScreen(HWND hwnd, RECT* out);
