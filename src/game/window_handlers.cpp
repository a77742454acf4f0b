// The game's main window: its set-up before creation (icon, Ctrl at start, the handlers, the
// monitor for full screen), the handlers of creation, closing, destruction, the end of the
// session and the game thread's dialog requests, and the message dialogs they show.
#include <string>

#include "game/game_app.h"
#include "game/resources.h"
#include "natives/script_host.h"
#include "winapi/text.h"
#include "winapi/user.h"

int CGameApp::OnBeforeCreateWindow()
{
    // 1. The icon.
    RegisterGameResources();
    m_icon = LoadIconA(GetInstance(), MAKEINTRESOURCEA(kIconId));
    // 2. Ctrl held at start: the game starts in a window.
    if (GetKeyState(VK_CONTROL) < 0)
        m_options.requestedMode = 2;
    // 3. The handlers; 4. the monitor for full screen.
    InstallMessageHandlers();
    ChooseStartMonitor();
    return 0;
}

void CGameApp::InstallMessageHandlers()
{
    struct Binding {
        UINT message;
        uint32_t (CGameApp::*handler)(CWindowMessage*);
    };
    static const Binding kBindings[] = {
        {WM_CREATE, &CGameApp::OnCreate},
        {WM_CLOSE, &CGameApp::OnCloseRequest},
        {WM_SYSCOMMAND, &CGameApp::OnSysCommand},
        {WM_COMMAND, &CGameApp::OnCommand},
        {WM_DROPFILES, &CGameApp::OnDropFiles},
        {WM_DESTROY, &CGameApp::OnDestroy},
        {WM_QUERYENDSESSION, &CGameApp::OnQueryEndSession},
        {WM_FRAME_DIALOG, &CGameApp::OnMessageDialogRequest},
        {WM_FRAME_MOVIE, &CGameApp::OnMovieNotify},
    };
    for (const Binding& b : kBindings)
        GetMainWindowObject().SetMessageHandler(b.message, MakeMessageHandler(this, b.handler));
}

void CGameApp::ChooseStartMonitor()
{
    // Bit value 4 of the stored monitor-choice byte: start full screen on the chosen monitor.
    uint8_t& choice = m_settings.user.monitorChoice;
    if ((choice & 4) == 0)
        return;
    if (SelectTargetMonitor(nullptr, 0) != 0) {
        m_description.bytes[kSysSwitchAllowed] = 0;
        m_options.requestedMode = 2;
        choice = static_cast<uint8_t>(choice & ~4u);
        return;
    }
    if (m_options.requestedMode != 1 && m_settings.config.startInWindow == 0 &&
        m_settings.user.frame.requestedMode != 3)
        m_options.requestedMode = 1;
}

int CGameApp::SelectTargetMonitor(HWND window, DWORD flags)
{
    const size_t devices = m_screenObject.GetDisplayDevices().size();
    const uint8_t stored = m_settings.config.targetMonitor;
    HMONITOR monitor = nullptr;
    size_t index = 0;
    if (stored != 0 && stored - 1u < devices) {
        index = stored - 1u;
    } else {
        // Automatic (also for a stored monitor that is no longer there).
        RECT rect;
        if (window == nullptr || !GetWindowRect(window, &rect))
            rect = {m_options.windowX, m_options.windowY, m_options.windowX + m_options.screenWidth,
                    m_options.windowY + m_options.screenHeight};
        monitor = MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    }
    return m_screenObject.SelectDisplayMode(true, monitor, index, flags, &GetMonitorList());
}

uint32_t CGameApp::OnCreate(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    SetMenuHandle(GetMenu(hwnd));
    if (GetMenuHandle() != nullptr && m_options.menuId != 0 && m_description.bytes[kSysSwitchAllowed] == 0)
        EnableMenuItem(GetMenuHandle(), kCmdScreenMode, MF_BYCOMMAND | MF_GRAYED);
    return 0;
}

uint32_t CGameApp::OnCloseRequest(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    if (IsIconic(hwnd)) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        // Full screen comes back on activation; the question waits for it.
        if (IsFullScreen()) {
            m_closePending = true;
            return 0;
        }
    }
    m_busy = kBusyQuitQuestion;
    EnterModal();
    const std::string question =
        std::string(winapi::Sjis("「")) + GetName() + winapi::Sjis("」\nゲームを終了しますか？");
    const int yes = ShowMessageDialog(question.c_str(), 2, nullptr, nullptr, 0, nullptr);
    LeaveModal();
    m_busy = kBusyNone;
    if (yes == 1)
        return CAppFrame::OnClose(m);
    return 0;
}

void CGameApp::OnActivateFullScreen()
{
    if (!m_closePending)
        return;
    m_closePending = false;
    PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);
}

uint32_t CGameApp::OnDestroy(CWindowMessage* m)
{
    HWND hwnd = m->GetWindowHandle();
    ShowWindow(hwnd, SW_HIDE);
    RECT rect;
    if (m_options.requestedMode == 2 && GetWindowRect(hwnd, &rect)) {
        m_options.windowX = rect.left;
        m_options.windowY = rect.top;
    }
    PostQuitMessage(0);
    return 0;
}

uint32_t CGameApp::OnQueryEndSession(CWindowMessage* m)
{
    // The scenario store's read log joins this once the scenario frame exists.
    if (m_host != nullptr)
        m_host->SaveAllPersistentData();
    SaveSettings(0);
    m->result = 1;  // the session may end
    return 0;
}

uint32_t CGameApp::OnMessageDialogRequest(CWindowMessage* m)
{
    auto* request = reinterpret_cast<MessageDialogRequest*>(m->lParam);
    if (m_busy != kBusyNone) {
        // Another dialog is open: nothing shows. A question must not read as its Yes.
        if (request != nullptr && request->kind >= 2)
            request->result = 0;
        return 0;
    }
    m_busy = kBusyMessageDialog;
    RunMessageDialog(request);
    m_busy = kBusyNone;
    return 0;
}

uint8_t CGameApp::RequestMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title,
                                       uint8_t fit)
{
    HWND hwnd = GetMainWindow();
    if (hwnd == nullptr || !IsWindow(hwnd))
        return 0;
    MessageDialogRequest request;
    request.kind = kind;
    request.text = text;
    request.title = title;
    request.check = check;
    request.fit = fit;
    request.result = 1;
    PauseForCommand();
    SendMessageA(hwnd, WM_FRAME_DIALOG, 0, reinterpret_cast<LPARAM>(&request));
    ResumeAfterCommand();
    return request.result;
}

bool CGameApp::PostWindowCommand(uint32_t id)
{
    HWND hwnd = GetMainWindow();
    m_commandPosted = hwnd != nullptr && IsWindow(hwnd) && PostMessageA(hwnd, WM_COMMAND, id, 0);
    return m_commandPosted;
}

bool CGameApp::PostQuestion(int kind, const char* text)
{
    (void)kind; // the question's text says what it is about
    m_questionAnswer = -1;
    HWND hwnd = GetMainWindow();
    if (text == nullptr || hwnd == nullptr || !IsWindow(hwnd))
        return false;
    m_questionAnswer = RequestMessageDialog(text, 2, nullptr, nullptr, 0) != 0 ? 1 : 0;
    m_commandPosted = true;
    return true;
}

bool CGameApp::WaitMenuCommandTaken(uint32_t ms)
{
    // A question has been answered when PostQuestion returns; a posted window command counts as
    // taken once the UI thread marks it, or at once while no command handler marks them.
    if (!m_commandPosted)
        return false;
    m_commandPosted = false;
    (void)ms;
    return true;
}

void CGameApp::AddExtraNatives()
{
    for (SobNative native : m_extraNatives)
        m_host->AddNative(native);
}

int CGameApp::InputTextForScript(const char* caption, const char* label, uint8_t doubleByteOnly, uint8_t maxBytes,
                                 uint8_t imeOn, int32_t width, int32_t x, int32_t y)
{
    if (caption != nullptr)
        m_dataInput.caption = caption;
    if (label != nullptr)
        m_dataInput.label = label;
    m_dataInput.doubleByteOnly = doubleByteOnly;
    m_dataInput.maxBytes = maxBytes;
    m_dataInput.imeOn = imeOn;
    m_dataInput.width = width;
    m_dataInput.x = x;
    m_dataInput.y = y;
    return 0;
}
