// CAppFrame: modal pausing, message boxes and requests from the game thread, the modal loop, the
// screen-mode switch, the windowed-mode test and the full-screen menu.
#include "display/app_frame.h"

#include "winapi/imm.h"
#include "winapi/kernel.h"

namespace {

// Message-box flags of the icon kinds 1 to 4.
UINT IconFlags(uint8_t kind)
{
    static const UINT kIcons[] = {0, MB_ICONEXCLAMATION, MB_ICONINFORMATION, MB_ICONQUESTION, MB_ICONSTOP};
    return kind < 5 ? kIcons[kind] : 0;
}

} // namespace

void CAppFrame::EnterModal()
{
    m_menuInUse = true;
    m_modalHold = true;
    if (m_options.gameThread == 0) {
        m_running = false;
        OnPause();
    }
    if (m_mainWindow.IsValid())
        SendMessageA(m_mainWindow.GetHwnd(), WM_FRAME_SHOWCURSOR, 1, 0);
    if (m_screen != nullptr && m_screen->IsDeviceFullScreen()) {
        DisableScreenSaver();
        m_screen->FlipToGdi();
    }
}

void CAppFrame::LeaveModal()
{
    if (CurrentMode() == 1) {
        if (m_screen != nullptr)
            m_screen->LeaveGdi();
        RestoreScreenSaver();
    }
    CMouseDevice* mouse = m_input.GetMouse();
    if (mouse != nullptr && mouse->m_keepCursor == 0 && m_mainWindow.IsValid())
        SendMessageA(m_mainWindow.GetHwnd(), WM_FRAME_SHOWCURSOR, 0, 0);
    if (m_options.gameThread == 0) {
        m_running = true;
        OnResume();
    }
    m_menuInUse = false;
    m_modalHold = false;
}

void CAppFrame::DisableScreenSaver()
{
    if (CurrentMode() != 1)
        return;
    BOOL active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    if (active) {
        m_screenSaverOff = true;
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
    }
}

void CAppFrame::RestoreScreenSaver()
{
    if (!m_screenSaverOff)
        return;
    m_screenSaverOff = false;
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
}

int CAppFrame::ShowBox(const char* text, uint8_t iconKind, HWND owner, const char* caption, UINT buttons)
{
    if (owner == nullptr)
        owner = m_mainWindow.GetHwnd();
    UINT flags = IconFlags(iconKind) | buttons;
    if (owner == GetDesktopWindow())
        flags |= MB_SYSTEMMODAL | MB_SETFOREGROUND;
    EnterModal();
    int answer = MessageBoxA(owner, text, caption != nullptr ? caption : m_appName.c_str(), flags);
    LeaveModal();
    return answer;
}

void CAppFrame::ShowMessage(const char* text, uint8_t iconKind, HWND owner, const char* caption)
{
    ShowBox(text, iconKind, owner, caption, MB_OK);
}

bool CAppFrame::AskYesNo(const char* text, uint8_t iconKind, HWND owner, const char* caption)
{
    return ShowBox(text, iconKind, owner, caption, MB_YESNO) == IDYES;
}

bool CAppFrame::AskOkCancel(const char* text, uint8_t iconKind, HWND owner, const char* caption)
{
    return ShowBox(text, iconKind, owner, caption, MB_OKCANCEL) == IDOK;
}

LRESULT CAppFrame::SendWithoutFrameLock(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The UI thread's handlers take the frame lock: a send made while holding it would wait for a
    // thread that waits for us. The caller's levels are given up for the send and taken back.
    int levels = 0;
    while (m_frameLock.IsOwnedByCurrentThread()) {
        m_frameLock.Unlock();
        ++levels;
    }
    LRESULT result = SendMessageA(m_mainWindow.GetHwnd(), message, wParam, lParam);
    for (int i = 0; i < levels; ++i)
        m_frameLock.Lock();
    return result;
}

uint8_t CAppFrame::SendRequest(int kind, const char* text, uint8_t iconKind, const char* caption)
{
    HWND hwnd = m_mainWindow.GetHwnd();
    if (hwnd == nullptr || !IsWindow(hwnd))
        return 0;
    MessageBoxRequest request;
    request.kind = kind;
    request.text = text;
    request.caption = caption;
    request.iconKind = iconKind;
    request.answer = 1;
    m_running = false;
    OnPause();
    SendWithoutFrameLock(WM_FRAME_MESSAGEBOX, reinterpret_cast<WPARAM>(&request), 0);
    m_running = true;
    OnResume();
    return request.answer;
}

void CAppFrame::CenterWindow(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HWND parent = GetParent(window);
    if (parent != nullptr && IsWindowVisible(parent)) {
        RECT area;
        GetClientRectOnScreen(parent, &area);
        SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return;
    }
    // Centred in the work area from its own origin (a work area that does not start at 0, 0, as
    // beside a left task bar, used to put the window off centre).
    RECT work{0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(window, HWND_TOPMOST, work.left + (work.right - work.left) / 2 - width / 2,
                 work.top + (work.bottom - work.top) / 2 - height / 2, 0, 0, SWP_NOSIZE);
}

int CAppFrame::RunModalLoop(HWND* owner)
{
    if (m_options.gameThread == 0)
        return 0;
    if (GetCurrentThreadId() == m_gameThread.GetThreadId())
        return 1;
    m_modal = true;
    HWND window = owner != nullptr ? *owner : nullptr;
    if (window != nullptr)
        EnableWindow(window, FALSE);
    int result;
    for (;;) {
        Sleep(10);
        if (!m_gameThread.IsRunning()) {
            result = -2;
            break;
        }
        if (PumpMessages(true)) {
            if (owner != nullptr)
                *owner = nullptr;
            result = -1;
            break;
        }
        if (!m_modal) {
            result = 0;
            break;
        }
    }
    // The owner is usable again however the loop ended.
    if (window != nullptr && IsWindow(window))
        EnableWindow(window, TRUE);
    m_modal = false;
    return result;
}

int CAppFrame::EndModalLoop(HWND* owner)
{
    if (owner != nullptr && *owner != nullptr)
        EnableWindow(*owner, TRUE);
    m_modal = false;
    return 0;
}

int CAppFrame::RequestScreenMode(uint8_t mode, uint8_t depth, uint8_t force)
{
    int result = 0;
    const WPARAM packed = (static_cast<WPARAM>(mode) << 16) | (static_cast<WPARAM>(depth) << 8) | force;
    SendWithoutFrameLock(WM_FRAME_SCREENMODE, packed, reinterpret_cast<LPARAM>(&result));
    return result;
}

int CAppFrame::SwitchScreenMode(uint8_t mode, uint8_t depth, uint8_t force)
{
    AppFrameOptions& o = m_options;
    if (force == 0 && mode == o.requestedMode)
        return 0;
    HWND hwnd = m_mainWindow.GetHwnd();
    if (hwnd == nullptr)
        return 1;
    CScopedLock lock(m_frameLock);
    OnBeforeScreenModeChange();
    m_busySwitching = true;
    const uint8_t before = CurrentMode();
    const uint8_t previousRequest = o.requestedMode;
    if (before != 1) {
        RECT rect;
        GetWindowRect(hwnd, &rect);
        o.windowX = rect.left;
        o.windowY = rect.top;
    }
    o.requestedMode = mode;
    int code = 0;
    if (mode == 1) {
        if (m_menu != nullptr)
            SetMenu(hwnd, nullptr);
        SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(0x900A0000u));
        HMENU system = GetSystemMenu(hwnd, FALSE);
        DeleteMenu(system, SC_MOVE, MF_BYCOMMAND);
        DeleteMenu(system, SC_SIZE, MF_BYCOMMAND);
        DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND);
        SetWindowLongA(hwnd, GWL_EXSTYLE, 0);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x27);
        code = m_screen != nullptr ? m_screen->CreateDisplay(hwnd, false, depth, o.useZBuffer != 0,
                                                             o.secondDisplayFlag != 0)
                                   : 1;
        if (code == 0) {
            ShowWindow(hwnd, SW_SHOW);
            ScreenBox out = m_screen->GetOutputRect();
            MoveWindow(hwnd, out.x, out.y, out.width, out.height, TRUE);
            SetWindowPos(hwnd, o.topMostInFullScreen != 0 ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE);
            HWND top = nullptr;
            if (ChildCoversClient(&top) && !m_screen->IsGdiMode())
                InvalidateRect(top, nullptr, FALSE);
            OnEnterFullScreen();
            m_info.UpdateRefreshRate();
            InstallKeyboardHook();
            if (m_imeStatusWindow) {
                SendMessageA(ImmGetDefaultIMEWnd(hwnd), WM_IME_CONTROL, IMC_CLOSESTATUSWINDOW, 0);
                m_imeStatusWindow = false;
            }
        }
    } else {
        code = m_screen != nullptr ? m_screen->CreateDisplay(hwnd, true, depth, o.useZBuffer != 0,
                                                             o.secondDisplayFlag != 0)
                                   : 0;
        if (code == 0) {
            if (before == 2) {
                ShowWindow(hwnd, SW_SHOW);
            } else {
                if (m_menu != nullptr) {
                    if (m_menuWindow.IsValid())
                        SetMenu(m_menuWindow.GetHwnd(), nullptr);
                    m_menuWindow.Destroy();
                    SetMenu(hwnd, m_menu);
                }
                GetSystemMenu(hwnd, TRUE);
                SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(o.windowStyle));
                SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(o.windowExStyle));
                SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, 0x27);
                RECT rect;
                m_mainWindow.ComputeWindowRect(&rect, o.screenWidth, o.screenHeight, o.windowStyle, o.windowExStyle,
                                               m_menu != nullptr, true, o.windowX, o.windowY);
                ShowWindow(hwnd, SW_SHOW);
                MoveWindow(hwnd, rect.left, rect.top, rect.right, rect.bottom, TRUE);
                SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
                InvalidateRect(nullptr, nullptr, TRUE);
                OnEnterWindowMode();
                m_info.UpdateRefreshRate();
                if (!m_imeStatusWindow) {
                    SendMessageA(ImmGetDefaultIMEWnd(hwnd), WM_IME_CONTROL, IMC_OPENSTATUSWINDOW, 0);
                    m_imeStatusWindow = true;
                }
            }
            RemoveKeyboardHook();
        }
    }
    int result = 0;
    if (code == 0) {
        SetForegroundWindow(hwnd);
        o.keyOptions |= 8;
        o.requestedMode = CurrentMode();
        o.requestedDepth = o.requestedMode == 1 && m_screen != nullptr ? m_screen->GetFullScreenDepth() : 3;
        if (o.cursorPlacement != 0) {
            POINT at;
            if (m_cursorPos.x >= 0 && m_cursorPos.y >= 0) {
                at = POINT{m_cursorPos.x, m_cursorPos.y};
                ClientToScreen(&at);
            } else {
                GetCursorPos(&at);
            }
            RECT rect;
            GetWindowRect(hwnd, &rect);
            if (at.x < rect.left || at.y < rect.top || at.x >= rect.right || at.y >= rect.bottom) {
                at.x = (rect.left + rect.right) / 2;
                at.y = (rect.top + rect.bottom) / 2;
            }
            ::SetCursorPos(at.x, at.y);
        }
    } else {
        result = code < 0 ? code : code + 1;
        o.requestedMode = previousRequest;
    }
    m_busySwitching = false;
    m_sizeMove = false;
    return result;
}

int CAppFrame::CheckWindowedMode()
{
    AppFrameOptions& o = m_options;
    m_info.UpdateDisplayInfo();
    m_monitors.Refresh();
    const bool depthOk = m_info.m_bitsPerPixel > 8;
    RECT rect;
    m_mainWindow.ComputeWindowRect(&rect, o.screenWidth, o.screenHeight, o.windowStyle, o.windowExStyle,
                                   o.menuId != 0, false, 0, 0);
    m_fits = m_monitors.FindMonitorFitting(rect.right - rect.left, rect.bottom - rect.top) != nullptr;
    if (o.screenModes == 0) {
        if (!depthOk)
            return 1;
        if (!m_fits)
            return 2;
        o.requestedMode = 2;
        return 0;
    }
    if (o.requestedMode == 2 && (!depthOk || !m_fits))
        o.requestedMode = 0;
    return 0;
}

int CAppFrame::ShowFullScreenMenu()
{
    if (m_menuWindow.IsValid()) {
        ShowWindow(m_menuWindow.GetHwnd(), SW_HIDE);
        ShowWindow(m_menuWindow.GetHwnd(), SW_SHOW);
        return -1;
    }
    m_menuWindow.SetMessageHandler(WM_SYSCOMMAND, MakeMessageHandler(this, &CAppFrame::FilterMenuSysCommand));
    m_menuWindow.SetMessageHandler(WM_ENTERMENULOOP, MakeMessageHandler(this, &CAppFrame::OnEnterMenuLoop));
    m_menuWindow.SetMessageHandler(WM_EXITMENULOOP, MakeMessageHandler(this, &CAppFrame::OnExitMenuLoop));
    if (OnCreateMenuWindow() != 0)
        return 1;
    const AppFrameOptions& o = m_options;
    ScreenBox out = m_screen != nullptr ? m_screen->GetOutputRect() : ScreenBox{0, 0, o.screenWidth, o.screenHeight};
    CWindowCreateParams params;
    params.className = "RVK DX FullScreenMenu";
    params.title = m_appName;
    params.x = out.x;
    params.y = out.y;
    params.clientWidth = out.width;
    params.clientHeight = GetSystemMetrics(SM_CYMENU);
    params.style = o.windowStyle;
    params.exStyle = WS_EX_TOPMOST;
    params.iconId = o.iconId;
    params.placement = 1;
    if (o.fullScreenMenuStyle == 1)
        params.clientWidth -= 2 * GetSystemMetrics(SM_CXDLGFRAME);
    else if (o.fullScreenMenuStyle == 2)
        params.style = (params.style & ~static_cast<uint32_t>(WS_CAPTION)) | WS_POPUP;
    if (!(o.screenModes == 2 && (o.keyOptions & 4) != 0))
        params.style &= ~static_cast<uint32_t>(WS_MAXIMIZEBOX);
    if (m_menuWindow.Create(GetInstance(), &params, m_mainWindow.GetHwnd(), false, !m_menuClassRegistered) != 0)
        return 2;
    m_menuClassRegistered = true;
    HWND menuWindow = m_menuWindow.GetHwnd();
    SetMenu(menuWindow, m_menu);
    if (o.fullScreenMenuStyle != 2) {
        DeleteMenu(GetSystemMenu(menuWindow, FALSE), SC_MOVE, MF_BYCOMMAND);
        SetWindowLongA(menuWindow, GWL_STYLE, GetWindowLongA(menuWindow, GWL_STYLE) | 0x1000000);
    }
    ShowWindow(menuWindow, SW_SHOW);
    return 0;
}

uint32_t CAppFrame::FilterMenuSysCommand(CWindowMessage* m)
{
    const UINT command = static_cast<UINT>(m->wParam) & 0xFFF0u;
    switch (command) {
    case SC_MINIMIZE:
    case SC_MAXIMIZE:
    case SC_CLOSE:
    case SC_RESTORE: {
        CWindowMessage exit{&m_mainWindow, WM_EXITMENULOOP, 0, 0, 0};
        OnExitMenuLoop(&exit);
        m_mainWindow.PostMessage(WM_SYSCOMMAND, command, 0);
        return 0;
    }
    case SC_SCREENSAVE:
        return 0;
    default:
        return 1;
    }
}
