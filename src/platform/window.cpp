#include "platform/window.h"

#include <algorithm>

#include "platform/monitor_list.h"
#include "winapi/kernel.h"

HWND CWindowMessage::GetWindowHandle() const
{
    return window != nullptr ? window->GetHwnd() : nullptr;
}

namespace {

bool IsStandardControlClass(const char* name)
{
    static const char* const kClasses[] = {"BUTTON", "COMBOBOX", "EDIT", "LISTBOX", "MDICLIENT", "SCROLLBAR", "STATIC"};
    for (const char* standard : kClasses)
        if (lstrcmpA(name, standard) == 0)
            return true;
    return false;
}

} // namespace

CWindow::CWindow() : m_alive(std::make_shared<bool>(true)) {}

CWindow::~CWindow()
{
    Destroy();
    // A window that could not be destroyed (another thread's) must not reach this object again.
    if (m_hWnd != nullptr && IsWindow(m_hWnd) &&
        GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    *m_alive = false;
}

uint32_t CWindow::OnMessage(CWindowMessage* message)
{
    if (message->message == WM_DESTROY && m_quitOnDestroy) {
        PostQuitMessage(0);
        return 0;
    }
    return 1;
}

int CWindow::Create(HINSTANCE instance, const CWindowCreateParams* params, HWND parent, bool quitOnDestroy,
                    bool registerClass)
{
    if (registerClass && !IsStandardControlClass(params->className.c_str()) && RegisterClass(instance, params) == 0)
        return 1;
    m_quitOnDestroy = quitOnDestroy;
    m_placement = params->placement;
    RECT rect;
    ComputeWindowRect(&rect, params->clientWidth, params->clientHeight, params->style, params->exStyle,
                      params->menuId != 0, true, params->x, params->y);
    // ComputeWindowRect with a position gives (left, top, width, height).
    HWND hwnd = CreateWindowExA(params->exStyle, params->className.c_str(), params->title.c_str(), params->style,
                                rect.left, rect.top, rect.right, rect.bottom, parent, nullptr, instance, this);
    if (hwnd == nullptr)
        return 2;
    // A class whose procedure is not StaticWindowProc (a standard control) never told us its handle.
    if (m_hWnd == nullptr)
        m_hWnd = hwnd;
    return 0;
}

ATOM CWindow::RegisterClass(HINSTANCE instance, const CWindowCreateParams* params)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = StaticWindowProc;
    wc.hInstance = instance;
    wc.hIcon = params->iconId != 0 ? LoadIconA(instance, MAKEINTRESOURCEA(params->iconId))
                                   : LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = params->background;
    wc.lpszMenuName = params->menuId != 0 ? MAKEINTRESOURCEA(params->menuId) : nullptr;
    wc.lpszClassName = params->className.c_str();
    return RegisterClassExA(&wc);
}

void CWindow::SetMessageHandler(UINT message, CMessageHandler* handler)
{
    // A running handler stays alive through the dispatch's own reference.
    m_handlers.erase(message);
    if (handler != nullptr)
        m_handlers[message] = std::shared_ptr<CMessageHandler>(handler);
}

void CWindow::Destroy()
{
    if (m_hWnd != nullptr && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    m_handlers.clear();
}

LRESULT CWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindow(m_hWnd) ? SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindow(m_hWnd) ? PostMessageA(m_hWnd, message, wParam, lParam) : FALSE;
}

bool CWindow::IsValid() const
{
    return IsWindow(m_hWnd) != FALSE;
}

void CWindow::ComputeWindowRect(RECT* out, int width, int height, DWORD style, DWORD exStyle, bool hasMenu,
                                bool computePosition, int x, int y)
{
    bool menuCounts = false;
    if (style & WS_SYSMENU) {
        if (hasMenu)
            menuCounts = true;
        else if (m_hWnd != nullptr && IsWindow(m_hWnd) && GetMenu(m_hWnd) != nullptr)
            menuCounts = true;
        if (!menuCounts)
            style &= ~WS_SYSMENU;
    }
    // The frame is added in 64 bits and the result kept within +-2^30, as window coordinates are:
    // a client size near INT_MAX overflowed.
    RECT insets{0, 0, 0, 0};
    AdjustWindowRectEx(&insets, style, menuCounts ? TRUE : FALSE, exStyle);
    static constexpr int64_t kLimit = int64_t{1} << 30;
    const auto clamp = [](int64_t v) { return static_cast<LONG>(std::clamp(v, -kLimit, kLimit)); };
    const RECT rect{clamp(insets.left), clamp(insets.top), clamp(int64_t{width} + insets.right),
                    clamp(int64_t{height} + insets.bottom)};
    if (!computePosition) {
        *out = rect;
        return;
    }
    const int outerWidth = static_cast<int>(std::clamp<int64_t>(int64_t{rect.right} - rect.left, 0, kLimit));
    const int outerHeight = static_cast<int>(std::clamp<int64_t>(int64_t{rect.bottom} - rect.top, 0, kLimit));
    int32_t left = x, top = y;
    const bool multiMonitor = g_pMonitorList != nullptr && g_pMonitorList->Records().size() > 1;
    if ((m_placement == 1 || m_placement == 2) && multiMonitor) {
        g_pMonitorList->PlaceRect(&left, &top, outerWidth, outerHeight, m_placement == 2, true);
    } else if (m_placement == 1 || m_placement == 2) {
        RECT work{0, 0, 0, 0};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int workWidth = work.right - work.left;
        const int workHeight = work.bottom - work.top;
        const bool fits = m_placement == 1 && x >= 0 && x <= workWidth - outerWidth && y >= 0 &&
                          y <= workHeight - outerHeight;
        if (!fits) {
            left = workWidth / 2 - outerWidth / 2;
            top = workHeight / 2 - outerHeight / 2;
            if (left < 0 || top < 0) {
                left = 0;
                top = 0;
            }
        }
    }
    *out = RECT{left, top, outerWidth, outerHeight};
}

LRESULT CALLBACK CWindow::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindow* window;
    if (message == WM_NCCREATE) {
        window = static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (window != nullptr)
            window->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    } else
        window = reinterpret_cast<CWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    CWindowMessage record;
    record.window = window;
    record.message = message;
    record.wParam = wParam;
    record.lParam = lParam;
    std::shared_ptr<bool> alive = window->m_alive;
    window->Dispatch(&record);
    // The window is gone after WM_NCDESTROY: later messages must not reach the object.
    if (message == WM_NCDESTROY && *alive) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        if (window->m_hWnd == hwnd)
            window->m_hWnd = nullptr;
    }
    return record.result;
}

void CWindow::Dispatch(CWindowMessage* message)
{
    std::shared_ptr<bool> alive = m_alive;
    const HWND hwnd = m_hWnd;
    // Held for the call: the handler may replace itself or destroy the window.
    std::shared_ptr<CMessageHandler> handler;
    if (auto it = m_handlers.find(message->message); it != m_handlers.end())
        handler = it->second;
    if (handler && handler->Invoke(message) == 0)
        return;
    if (!*alive) {
        message->result = DefWindowProcA(hwnd, message->message, message->wParam, message->lParam);
        return;
    }
    if (OnMessage(message) == 0)
        return;
    message->result = DefWindowProcA(hwnd, message->message, message->wParam, message->lParam);
}

void GetClientRectOnScreen(HWND hwnd, RECT* out)
{
    // A window that another thread is destroying answers nothing: an empty rectangle then, where
    // the caller's uninitialised one used to be read (the game thread's cursor tracking).
    *out = RECT{};
    if (!GetClientRect(hwnd, out))
        return;
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    out->left += origin.x;
    out->top += origin.y;
    out->right += origin.x;
    out->bottom += origin.y;
}
