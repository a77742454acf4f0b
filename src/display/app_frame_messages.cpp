// CAppFrame: the handlers of the main window's message map and of the private messages.
#include "display/app_frame.h"

#include "winapi/gdi.h"
#include "winapi/kernel.h"

bool CAppFrame::ChildCoversClient(HWND* top)
{
    HWND hwnd = m_mainWindow.GetHwnd();
    HWND child = hwnd != nullptr ? GetWindow(hwnd, GW_CHILD) : nullptr;
    if (child == nullptr || !IsWindowVisible(child))
        return false;
    RECT client, area;
    GetClientRect(hwnd, &client);
    GetClientRectOnScreen(child, &area);
    RECT onScreen;
    GetClientRectOnScreen(hwnd, &onScreen);
    if (top != nullptr)
        *top = child;
    return area.left <= onScreen.left && area.top <= onScreen.top && area.right >= onScreen.right &&
           area.bottom >= onScreen.bottom;
}

uint32_t CAppFrame::OnActivateApp(CWindowMessage* m)
{
    m_active = m->wParam != 0;
    if (CurrentMode() != 1 && m_pendingRestore == 0) {
        if (m_active)
            OnActivateWindowed(true);
        else
            OnDeactivateWindowed();
        return 0;
    }
    CScopedLock lock(m_frameLock);
    HWND hwnd = m_mainWindow.GetHwnd();
    if (m_active) {
        if (m_pendingRestore != 0 && m_screen != nullptr) {
            ScreenBox size = m_pendingRestore == 2 ? m_screen->GetScaledModeSize() : m_screen->GetOutputRect();
            if (m_screen->SetFullScreenMode(hwnd, size.width, size.height, m_screen->GetFullScreenDepth(), 0) != 0)
                m_displayError = 2;
            m_pendingRestore = 0;
        }
        if (m_screen != nullptr && m_screen->RestoreDevice() > 1)
            m_displayError = 1;
        if (hwnd != nullptr && m_options.fullScreenMenuStyle != 2)
            SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) | 0x1000000);
        OnActivateFullScreen();
        return 0;
    }
    if (m_menuOpen) {
        CWindowMessage exit{&m_mainWindow, WM_EXITMENULOOP, 0, 0, 0};
        OnExitMenuLoop(&exit);
    }
    if (CurrentMode() == 1 && m_screen != nullptr) {
        if (m_screen->ShowsMenuInFullScreen() && m_info.m_isXp != 0 && m_menu != nullptr && hwnd != nullptr) {
            SetMenu(hwnd, nullptr);
            m_menuWindow.Destroy();
        } else if (m_screen->IsDeviceFullScreen() && m_options.minimiseOnDeactivation != 0) {
            CScopedLock inner(m_frameLock);
            m_screen->RestoreWindowedMode(0);
            m_pendingRestore = m_screen->IsScaled() ? 2 : 1;
            ShowWindow(hwnd, SW_MINIMIZE);
        }
    }
    OnDeactivateFullScreen();
    return 0;
}

uint32_t CAppFrame::OnActivate(CWindowMessage* m)
{
    CScopedLock lock(m_frameLock);
    if (m->wParam != 0)
        m_input.AcquireAll();
    else
        m_input.UnacquireAll();
    return 1;
}

uint32_t CAppFrame::OnDisplayChange(CWindowMessage* m)
{
    if (CurrentMode() == 1)
        return 0;
    m_monitors.Refresh();
    m_info.m_bitsPerPixel = static_cast<uint8_t>(m->wParam);
    m_info.m_screenWidth = LOWORD(m->lParam);
    m_info.m_screenHeight = HIWORD(m->lParam);
    m_info.UpdateRefreshRate();
    if (m_screen != nullptr && m_screen->HasDevice() && m_options.gameThread != 0) {
        CScopedLock lock(m_frameLock);
        if (m_screen->RestoreDevice() > 1)
            m_displayError = 1;
    }
    return 0;
}

uint32_t CAppFrame::OnPaint(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const bool fullScreen = CurrentMode() == 1;
    HWND top = nullptr;
    const bool covered = ChildCoversClient(&top);
    const bool canvas = m_screen != nullptr && m_screen->HasFrameImage();
    // The running game repaints by itself.
    const bool gameRepaints = !canvas && !m_sizeMove && !m_modal && (m_running || m_busySwitching) &&
                              (m_active || m_options.keepDrawingWhenInactive == 0);
    const bool movieCovers = covered && fullScreen && (!canvas || !m_screen->HasPrimarySurface());
    if (m_screen != nullptr && !gameRepaints && !movieCovers)
        m_screen->PaintToDC(dc, &ps.rcPaint);
    if (m_screen != nullptr && m_screen->IsLetterboxed()) {
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        for (int i = 0; i < 2; ++i) {
            RECT border = m_screen->GetBorderRect(i);
            const RECT& paint = ps.rcPaint;
            if (border.left < paint.right && paint.left < border.right && border.top < paint.bottom &&
                paint.top < border.bottom)
                FillRect(dc, &border, black);
        }
    }
    if (covered && (m_screen == nullptr || !m_screen->IsGdiMode()))
        InvalidateRect(top, nullptr, FALSE);
    EndPaint(hwnd, &ps);
    return 0;
}

uint32_t CAppFrame::OnClose(CWindowMessage*)
{
    if (m_options.gameThread == 0)
        DestroyWindow(m_mainWindow.GetHwnd());
    else {
        m_gameThread.RequestStop();
        OnGameThreadStopRequested();
        StartStopWatch();
    }
    return 0;
}

uint32_t CAppFrame::OnKeyDown(CWindowMessage* m)
{
    m_input.OnKeyDown(static_cast<int>(m->wParam), m->lParam);
    return 0;
}

uint32_t CAppFrame::OnKeyUp(CWindowMessage* m)
{
    m_input.OnKeyUp(static_cast<int>(m->wParam), m->lParam);
    return 0;
}

uint32_t CAppFrame::OnSysKeyDown(CWindowMessage* m)
{
    m_input.OnKeyDown(static_cast<int>(m->wParam), m->lParam);
    return 1;
}

uint32_t CAppFrame::OnSysKeyUp(CWindowMessage* m)
{
    m_input.OnKeyUp(static_cast<int>(m->wParam), m->lParam);
    if (CurrentMode() != 1)
        return 1;
    if ((m_options.keyOptions & 3) == 0)
        return 0;
    if (m->wParam != VK_MENU && m->wParam != VK_F10)
        return 1;
    if (m_menu == nullptr || m_options.fullScreenMenuStyle == 0 || m_menuInUse || !m_active)
        return 0;
    // A second Alt right after the menu closed must not open it again.
    if (GetTickCount() - m_menuClosedTime < 251)
        return 0;
    m_menuOpen = true;
    m_menuInUse = true;
    if (m_screen != nullptr && m_screen->UsesFlipping())
        m_screen->FlipToGdi();
    ShowFullScreenMenu();
    m_menuWindow.SendMessage(WM_SYSCOMMAND, SC_KEYMENU, 0);
    return 1;
}

uint32_t CAppFrame::OnMouseWheel(CWindowMessage* m)
{
    m_input.OnMouseWheel(m->wParam);
    return 0;
}

uint32_t CAppFrame::OnSetCursor(CWindowMessage* m)
{
    if (LOWORD(m->lParam) != HTCLIENT)
        return 1;
    if (m_input.GetMouse() != nullptr)
        SetCursor(m_input.GetMouse()->m_cursor);
    return 0;
}

uint32_t CAppFrame::OnEnterMenuLoop(CWindowMessage*)
{
    const bool fullScreen = CurrentMode() == 1;
    if (fullScreen && !m_menuOpen)
        return 0;
    const bool wasOpen = m_menuOpen;
    m_menuInUse = true;
    if (m_options.gameThread == 0) {
        m_running = false;
        OnPause();
    }
    if (fullScreen && m_menu != nullptr && m_options.fullScreenMenuStyle != 0 && !m_menuOpen) {
        if (m_screen != nullptr && m_screen->UsesFlipping())
            m_screen->FlipToGdi();
        m_menuOpen = true;
        m_mainWindow.SendMessage(WM_FRAME_SHOWMENU, 0, 0);
    }
    if (m_input.GetMouse() != nullptr)
        m_input.GetMouse()->ShowSystemCursor(true);
    else
        while (ShowCursor(TRUE) < 0) {
        }
    const bool menuBar = !fullScreen || (wasOpen && m_menu != nullptr && m_options.fullScreenMenuStyle != 0);
    if (m_options.cursorPlacement != 0 && menuBar) {
        POINT at;
        GetCursorPos(&at);
        RECT client;
        GetClientRectOnScreen(m_mainWindow.GetHwnd(), &client);
        int width = m_options.screenWidth, height = m_options.screenHeight;
        if (m_screen != nullptr && m_screen->IsScaled()) {
            width = m_screen->GetOutputRect().width;
            height = m_screen->GetOutputRect().height;
        }
        const bool inside = at.x >= client.left && at.y >= client.top && at.x < client.left + width &&
                            at.y < client.top + height;
        if (inside) {
            if (fullScreen && m_screen != nullptr) {
                ScreenBox out = m_screen->GetOutputRect();
                ::SetCursorPos(out.x + (m_menu != nullptr ? 28 : 8), out.y + m_menuBarHeight);
            } else {
                ::SetCursorPos(client.left, client.top - 1);
            }
        }
    }
    return 0;
}

uint32_t CAppFrame::OnExitMenuLoop(CWindowMessage*)
{
    if (CurrentMode() == 1) {
        CMouseDevice* mouse = m_input.GetMouse();
        if (mouse == nullptr || mouse->m_keepCursor == 0) {
            if (mouse != nullptr)
                mouse->ShowSystemCursor(false);
        }
        if (m_menuOpen) {
            m_menuOpen = false;
            m_mainWindow.SendMessage(WM_FRAME_HIDEMENU, 0, 0);
            if (m_screen != nullptr && m_screen->UsesFlipping())
                m_screen->LeaveGdi();
            m_menuClosedTime = GetTickCount();
        }
    }
    if (m_options.gameThread == 0) {
        m_running = true;
        OnResume();
    }
    if (!m_modalHold)
        m_menuInUse = false;
    return 0;
}

uint32_t CAppFrame::OnEnterSizeMove(CWindowMessage*)
{
    m_sizeMove = true;
    return 0;
}

uint32_t CAppFrame::OnExitSizeMove(CWindowMessage*)
{
    m_sizeMove = false;
    return 0;
}

uint32_t CAppFrame::OnLButtonDown(CWindowMessage*) { return m_input.OnLButtonDown(), 0; }
uint32_t CAppFrame::OnLButtonUp(CWindowMessage*) { return m_input.OnLButtonUp(), 0; }
uint32_t CAppFrame::OnRButtonDown(CWindowMessage*) { return m_input.OnRButtonDown(), 0; }
uint32_t CAppFrame::OnRButtonUp(CWindowMessage*) { return m_input.OnRButtonUp(), 0; }
uint32_t CAppFrame::OnMButtonDown(CWindowMessage*) { return m_input.OnMButtonDown(), 0; }
uint32_t CAppFrame::OnMButtonUp(CWindowMessage*) { return m_input.OnMButtonUp(), 0; }

uint32_t CAppFrame::OnShowCursorMessage(CWindowMessage* m)
{
    if (m_input.GetMouse() != nullptr)
        m_input.GetMouse()->ShowSystemCursor(m->wParam == 1);
    return 0;
}

uint32_t CAppFrame::OnMessageBoxRequest(CWindowMessage* m)
{
    auto* request = reinterpret_cast<MessageBoxRequest*>(m->wParam);
    if (request == nullptr)
        return 0;
    switch (request->kind & 0xFF) {
    case 0:
        ShowMessage(request->text, request->iconKind, nullptr, request->caption);
        break;
    case 1:
        request->answer = AskYesNo(request->text, request->iconKind, nullptr, request->caption) ? 1 : 0;
        break;
    case 2:
        request->answer = AskOkCancel(request->text, request->iconKind, nullptr, request->caption) ? 1 : 0;
        break;
    default:
        break;
    }
    return 0;
}

uint32_t CAppFrame::OnScreenModeRequest(CWindowMessage* m)
{
    const auto packed = static_cast<uint32_t>(m->wParam);
    int result = SwitchScreenMode(static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 8),
                                  static_cast<uint8_t>(packed));
    if (m->lParam != 0)
        *reinterpret_cast<int*>(m->lParam) = result;
    return 0;
}

uint32_t CAppFrame::OnShowMenuRequest(CWindowMessage*)
{
    ShowFullScreenMenu();
    return 0;
}

uint32_t CAppFrame::OnHideMenuRequest(CWindowMessage*)
{
    if (m_menuWindow.IsValid())
        ShowWindow(m_menuWindow.GetHwnd(), SW_HIDE);
    return 0;
}

uint32_t CAppFrame::OnImeRequest(CWindowMessage* m)
{
    EnableIme(m->wParam != 0);
    return 0;
}

uint32_t CAppFrame::OnThreadEnded(CWindowMessage*)
{
    DestroyWindow(m_mainWindow.GetHwnd());
    return 0;
}
