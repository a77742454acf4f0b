// CAppFrame: construction, options, the start-up sequence, the two threading modes and the exit.
#include "display/app_frame.h"

#include <chrono>
#include <cstdio>

#include "display/canvas_surface.h"
#include "drawing/text_draw_switch.h"
#include "files/path_utils.h"
#include "platform/cpu_info.h"
#include "platform/startup_report.h"
#include "raster/blend_tables.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

CAppFrame* g_pAppFrame = nullptr;
IFrameScreen* g_pDisplayDevice = nullptr;

namespace {

// The frame's default notice line (the game names its own).
constexpr const char* kDefaultNotice = "Copyright (C) Ravelkit";

} // namespace

CAppFrame::CAppFrame()
    : CWindowApp(true), m_mainWindow(this), m_fileManager(std::make_unique<CFileManager>()),
      m_gllManager(std::make_unique<CGllManager>()), m_menuWindow(this)
{
    g_pAppFrame = this;
    SetBaseFolderFromModule(nullptr);
    m_programFolder = g_BaseFolder;
    g_pFileManager = g_pSPIFileManager = m_fileManager.get();
    g_pGllManager = g_pSPIGllManager = m_gllManager.get();
    m_appName = "RVK DX Application";
}

CAppFrame::~CAppFrame()
{
    // The game thread goes before the members its job reaches.
    EndStopWatch();
    m_gameThread.Stop();
    if (g_pFileManager == m_fileManager.get())
        g_pFileManager = g_pSPIFileManager = nullptr;
    if (g_pGllManager == m_gllManager.get())
        g_pGllManager = g_pSPIGllManager = nullptr;
    if (g_pMonitorList == &m_monitors)
        g_pMonitorList = nullptr;
    if (g_pAppFrame == this)
        g_pAppFrame = nullptr;
}

void CAppFrame::SetAppStrings(const char* name, const char* title, const char* notice, const char* web,
                              const char* fifth)
{
    m_appName = name != nullptr ? name : "";
    m_title = title != nullptr ? title : "";
    m_notice = notice != nullptr ? notice : "";
    m_webAddress = web != nullptr ? web : "";
    m_fifth = fifth != nullptr ? fifth : "";
}

int CAppFrame::SetAppInfo()
{
    SetAppStrings("RVK DX Application", "Ravelkit DX", kDefaultNotice, "http://", "");
    return 0;
}

bool CAppFrame::IsFullScreen()
{
    return CurrentMode() == 1;
}

uint8_t CAppFrame::CurrentMode()
{
    return m_screen != nullptr ? m_screen->GetMode() : 2;
}

void CAppFrame::RegisterMessageMap()
{
    struct Binding {
        UINT message;
        uint32_t (CAppFrame::*handler)(CWindowMessage*);
    };
    static const Binding kBindings[] = {
        {WM_ACTIVATEAPP, &CAppFrame::OnActivateApp},
        {WM_ACTIVATE, &CAppFrame::OnActivate},
        {WM_DISPLAYCHANGE, &CAppFrame::OnDisplayChange},
        {WM_PAINT, &CAppFrame::OnPaint},
        {WM_CLOSE, &CAppFrame::OnClose},
        {WM_KEYDOWN, &CAppFrame::OnKeyDown},
        {WM_SYSKEYUP, &CAppFrame::OnSysKeyUp},
        {WM_MOUSEWHEEL, &CAppFrame::OnMouseWheel},
        {WM_SETCURSOR, &CAppFrame::OnSetCursor},
        {WM_ENTERMENULOOP, &CAppFrame::OnEnterMenuLoop},
        {WM_EXITMENULOOP, &CAppFrame::OnExitMenuLoop},
        {WM_FRAME_SHOWCURSOR, &CAppFrame::OnShowCursorMessage},
        {WM_FRAME_MESSAGEBOX, &CAppFrame::OnMessageBoxRequest},
        {WM_FRAME_SCREENMODE, &CAppFrame::OnScreenModeRequest},
        {WM_FRAME_SHOWMENU, &CAppFrame::OnShowMenuRequest},
        {WM_FRAME_HIDEMENU, &CAppFrame::OnHideMenuRequest},
        {WM_FRAME_IME, &CAppFrame::OnImeRequest},
        {WM_KEYUP, &CAppFrame::OnKeyUp},
        {WM_SYSKEYDOWN, &CAppFrame::OnSysKeyDown},
        {WM_LBUTTONDOWN, &CAppFrame::OnLButtonDown},
        {WM_LBUTTONUP, &CAppFrame::OnLButtonUp},
        {WM_RBUTTONDOWN, &CAppFrame::OnRButtonDown},
        {WM_RBUTTONUP, &CAppFrame::OnRButtonUp},
        {WM_MBUTTONDOWN, &CAppFrame::OnMButtonDown},
        {WM_MBUTTONUP, &CAppFrame::OnMButtonUp},
    };
    static const Binding kThreaded[] = {{WM_FRAME_THREADENDED, &CAppFrame::OnThreadEnded}};
    static const Binding kSingle[] = {
        {WM_ENTERSIZEMOVE, &CAppFrame::OnEnterSizeMove},
        {WM_EXITSIZEMOVE, &CAppFrame::OnExitSizeMove},
    };
    for (const Binding& b : kBindings)
        m_mainWindow.SetMessageHandler(b.message, MakeMessageHandler(this, b.handler));
    if (m_options.gameThread != 0)
        for (const Binding& b : kThreaded)
            m_mainWindow.SetMessageHandler(b.message, MakeMessageHandler(this, b.handler));
    else
        for (const Binding& b : kSingle)
            m_mainWindow.SetMessageHandler(b.message, MakeMessageHandler(this, b.handler));
}

int CAppFrame::Init()
{
    AppFrameOptions& o = m_options;
    HWND desktop = GetDesktopWindow();
    // 1. The game's description and options.
    if (SetAppInfo() != 0)
        return 1;
    // A screen no window or canvas can hold (a size of 0, or one that would take gigabytes of
    // backing store) is a bad description, refused before anything is made for it.
    if (o.screenWidth == 0 || o.screenHeight == 0 || o.screenWidth > kMaxScreenSide || o.screenHeight > kMaxScreenSide) {
        std::fprintf(stderr, "tessaro: cannot start: screen %ux%u is out of range (1 to %u pixels a side)\n",
                     static_cast<unsigned>(o.screenWidth), static_cast<unsigned>(o.screenHeight),
                     static_cast<unsigned>(kMaxScreenSide));
        return 1;
    }
    if (o.screenModes == 1 && o.requestedMode == 2)
        o.requestedMode = 0;
    // 2. Not from a CD-ROM.
    if (o.skipDriveCheck == 0 && !m_programFolder.empty()) {
        char root[4] = {m_programFolder[0], ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_CDROM) {
            ShowMessage(winapi::Sjis("ハードディスクから起動してください"), 1, desktop);
            return 2;
        }
    }
    // 3. One copy only. The mutex is created first and its "already exists" answer decides, so
    // that two copies started together cannot both pass an open-then-create test.
    if (o.singleInstance != 0) {
        std::string name = "Ravelkit DX" + m_appName;
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
        if (mutex == nullptr)
            return 1;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            // The other copy's window comes forward; a player who started this one from a
            // terminal is told why nothing opened.
            std::fprintf(stderr, "tessaro: cannot start: %s is already running (one copy only)\n",
                         winapi::SjisToUtf8(m_appName).c_str());
            HWND other = FindWindowA(m_appName.c_str(), m_appName.c_str());
            if (other != nullptr) {
                SetForegroundWindow(other);
                ShowWindow(other, SW_SHOWNORMAL);
            }
            return 3;
        }
        m_mutex = mutex;
    }
    // 4. The message map.
    RegisterMessageMap();
    // 5. Can the window mode run here?
    switch (CheckWindowedMode()) {
    case 1:
        ShowMessage(winapi::Sjis("画面モードをHighColor(16bit)以上にして起動して下さい"), 2, desktop);
        return 5;
    case 2:
        ShowMessage(winapi::Sjis("画面解像度を現在の設定より大きくして起動して下さい"), 2, desktop);
        return 5;
    default:
        break;
    }
    // 6. The CPU.
    IdentifyCpu();
    // 7. The start-up report.
    std::unique_ptr<CStartupReport> report;
    ReportFrameInfo facts;
    if (o.writeReport != 0) {
        report = std::make_unique<CStartupReport>();
        const char* folder = o.reportInProgramFolder == 1 ? m_programFolder.c_str() : GetLogFolder();
        if (folder == nullptr || report->Open(folder) != 0) {
            ShowMessage(winapi::Sjis("ログファイルの作成に失敗"), 4, desktop);
            return 6;
        }
        facts.appName = m_appName;
        facts.title = m_title;
        facts.notice = m_notice;
        facts.webAddress = m_webAddress;
        facts.versionMajor = o.versionMajor;
        facts.versionMinor = o.versionMinor;
        facts.revision = o.revision;
        facts.measureCpuClock = o.measureCpuClock != 0;
        facts.direct3DReport = o.direct3DReport != 0;
        facts.useZBuffer = o.useZBuffer != 0;
        facts.useJoystick = o.joysticks != 0;
        facts.programFolder = m_programFolder;
        report->WriteStart(facts, m_info, &m_monitors);
    }
    // 8. The CPU features the options forbid.
    if (o.allowCmov == 0)
        g_CpuInfo.cmov = 0;
    if (o.allowMmx == 0)
        g_CpuInfo.mmx = g_CpuInfo.mmxExtensions = 0;
    if (o.allowSse == 0)
        g_CpuInfo.sse = g_CpuInfo.sse3 = 0;
    if (o.allowSse2 == 0)
        g_CpuInfo.sse2 = g_CpuInfo.avx2 = 0;
    // The kernels' SIMD level follows what the options leave.
    ForceSimdLevel(SimdLevelOf(g_CpuInfo));
    // 9. The display devices.
    if (m_screen != nullptr && m_screen->EnumDisplayDevices(&m_monitors, o.screenWidth, o.screenHeight,
                                                            o.enumerationFlag) != 0) {
        if (o.screenModes == 1) {
            ShowMessage(winapi::Sjis("ディスプレイデバイスの情報を取得できません。"), 4, desktop);
            return 5;
        }
        ShowMessage(winapi::Sjis("ディスプレイデバイスの情報取得に失敗しました。\nウィンドウモードのみ利用可能です。"), 1,
                    desktop);
        o.screenModes = 0;
        o.requestedMode = 2;
        o.keyOptions &= static_cast<uint8_t>(~4u);
    }
    // 10. The output size, or the display canvas.
    if (m_screen != nullptr) {
        if (o.displayCanvas == 0) {
            m_screen->SetOutputSize(o.screenWidth, o.screenHeight);
        } else {
            if (m_screen->CreateSurfaceSprite(o.screenWidth, o.screenHeight, 32, o.displayCanvas == 2 ? 2 : 0) != 0) {
                ShowMessage(winapi::Sjis("ディスプレイキャンバスの作成に失敗"), 4, desktop);
                return 7;
            }
            m_screen->SetFrameImage();
        }
    }
    // 11.
    if (OnBeforeCreateWindow() != 0)
        return 8;
    // 12. The threading mode.
    SetHasMessageLoop(o.gameThread != 0);
    // 13. The main window.
    g_pMonitorList = &m_monitors;
    CWindowCreateParams params;
    params.className = m_appName;
    params.title = m_appName;
    params.x = o.windowX;
    params.y = o.windowY;
    params.style = o.windowStyle;
    params.exStyle = o.windowExStyle;
    params.clientWidth = o.screenWidth;
    params.clientHeight = o.screenHeight;
    params.iconId = o.iconId;
    params.menuId = o.menuId;
    params.background = static_cast<HBRUSH>(GetStockObject(o.displayCanvas == 0 ? BLACK_BRUSH : NULL_BRUSH));
    if (o.menuId != 0) {
        m_menuBarHeight = GetSystemMetrics(SM_CYMENU);
        if (o.fullScreenMenuStyle == 1)
            m_menuBarHeight += GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME);
    }
    if (!(o.screenModes == 2 && (o.keyOptions & 4) != 0))
        params.style &= ~static_cast<uint32_t>(WS_MAXIMIZEBOX);
    if (m_mainWindow.Create(GetInstance(), &params, nullptr, true, true) != 0) {
        ShowMessage(winapi::Sjis("ウィンドウの作成に失敗"), 4, desktop);
        return 11;
    }
    m_classRegistered = true;
    if (o.menuId != 0 && m_menu == nullptr)
        m_menu = GetMenu(m_mainWindow.GetHwnd());
    // 14. Accelerators.
    if (o.acceleratorId != 0 && LoadAccelerators(o.acceleratorId))
        SetAcceleratorWindow(m_mainWindow.GetHwnd());
    // 15. No IME until text is entered.
    EnableIme(false);
    // 16. Input.
    HWND hwnd = m_mainWindow.GetHwnd();
    if (o.inputMode == 0 && m_input.OpenDirectInput(true, GetInstance()) != 0)
        o.inputMode = 1;
    m_input.CreateDevices(hwnd, o.inputMode, o.inputMode);
    if (o.joysticks != 0)
        m_input.CreateJoystick(0, hwnd);
    if (m_input.GetMouse() != nullptr)
        m_input.GetMouse()->m_cursorPos = &m_cursorPos;
    if (report) {
        facts.inputMode = o.inputMode;
        report->WriteDevices(m_input, o.inputMode);
    }
    // 17. The screen mode. A retry that succeeds leaves no display error: the game started fine
    // (setting 2 before the retry made the driver stop a running game and Exit report a failure).
    if (o.requestedMode == 0) {
        o.requestedMode = o.screenModes;
        o.requestedDepth = m_info.m_bitsPerPixel;
    }
    int switched = SwitchScreenMode(o.requestedMode, o.requestedDepth, 1);
    if (switched != 0 && o.screenModes != 1 && o.displayCanvas != 0 && m_screen != nullptr) {
        m_screen->ClearDisplayFlags();
        switched = SwitchScreenMode(0, m_info.m_bitsPerPixel, 1);
        if (switched != 0)
            m_displayError = 2;
    }
    if (switched != 0) {
        char text[128];
        std::snprintf(text, sizeof text, winapi::Sjis("画面の初期化に失敗 : %d"), switched);
        ShowMessage(text, 4, desktop);
        return 12;
    }
    // 18. The process-wide pointers and tables.
    g_pDisplayDevice = m_screen;
    // The global display switch: canvas images with a device context (copied by GDI) or without.
    g_bCanvasImageDC = o.globalDisplaySwitch;
    BuildBlendTables();
    g_TextDrawSwitch = m_info.m_isNt;
    // 19.
    if (report)
        report->WriteDisplay(facts);
    // 20.
    if (OnDevicesReady() != 0)
        return 13;
    // 21. The game thread.
    if (o.gameThread != 0)
        m_gameThread.SetJobAndStart(CThreadJob(this, &CAppFrame::ThreadMain));
    // 22.
    if (report)
        report->WriteFinish(m_info);
    // 23. Screen saver, power saving, execution state.
    if (o.disableScreenSaver != 0) {
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &m_savedScreenSaver, 0);
        if (m_savedScreenSaver)
            SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
    }
    if (o.disablePowerSaving != 0) {
        SystemParametersInfoA(SPI_GETLOWPOWERACTIVE, 0, &m_savedLowPower, 0);
        SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &m_savedPowerOff, 0);
        if (m_savedLowPower)
            SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, FALSE, nullptr, 0);
        if (m_savedPowerOff)
            SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, FALSE, nullptr, 0);
    }
    // Windows before NT 5 has no SetThreadExecutionState.
    if (o.keepSystemAwake != 0 && m_info.m_isNt5 != 0) {
        m_savedExecutionState = SetThreadExecutionState(0x80000001u);
        m_executionStateSet = true;
    }
    return 0;
}

LRESULT CAppFrame::ThreadMain()
{
    if (OnThreadStart() == 0) {
        while (m_gameThread.IsRunning() && OnThreadFrame() == 0) {
        }
        OnThreadEnd();
    }
    return m_mainWindow.SendMessage(WM_FRAME_THREADENDED, 0, 0);
}

int CAppFrame::OnThreadFrame()
{
    Sleep(16);
    return 0;
}

bool CAppFrame::StopGameThread()
{
    // The thread's last act is a send to this thread: serve sent messages while it ends. The wait
    // is bounded in real time: a thread that never answers (a script caught in a loop of natives)
    // held the exit for ever.
    m_gameThread.RequestStop();
    OnGameThreadStopRequested();
    EndStopWatch();
    if (m_stopDeadline == std::chrono::steady_clock::time_point{})
        m_stopDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGameThreadStopWaitMs);
    MSG msg;
    while (m_gameThread.IsSecondEventSet()) {
        if (std::chrono::steady_clock::now() >= m_stopDeadline)
            return false;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
    m_gameThread.Stop();
    return true;
}

void CAppFrame::StartStopWatch()
{
    if (m_stopDeadline == std::chrono::steady_clock::time_point{})
        m_stopDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGameThreadStopWaitMs);
    if (m_stopWatch.joinable())
        return;
    m_stopWatchDone = false;
    HWND hwnd = m_mainWindow.GetHwnd();
    const auto deadline = m_stopDeadline;
    // A thread caught in a native never sends its end: the window goes without it, and the exit's
    // bounded wait ends the process.
    m_stopWatch = std::thread([this, hwnd, deadline] {
        std::unique_lock lock(m_stopWatchMutex);
        if (!m_stopWatchCv.wait_until(lock, deadline, [this] { return m_stopWatchDone; }))
            PostMessageA(hwnd, WM_FRAME_THREADENDED, 0, 0);
    });
}

void CAppFrame::EndStopWatch()
{
    {
        std::lock_guard lock(m_stopWatchMutex);
        m_stopWatchDone = true;
    }
    m_stopWatchCv.notify_all();
    if (m_stopWatch.joinable())
        m_stopWatch.join();
}

void CAppFrame::OnGameThreadHung(int code)
{
    std::fprintf(stderr, "tessaro: the game thread did not stop; ending without it\n");
    ExitProcess(static_cast<UINT>(code));
}

void CAppFrame::ReleaseDisplay()
{
    if (m_screen == nullptr)
        return;
    m_screen->ReleaseDevice();
    m_screen->ReleaseSurfaces();
    m_screen->ReleaseDisplayDevice();
}

void CAppFrame::Exit(int code)
{
    const AppFrameOptions& o = m_options;
    // 1. Single-threaded: the window goes and its last messages are served.
    if (!HasMessageLoop()) {
        if (m_mainWindow.IsValid()) {
            DestroyWindow(m_mainWindow.GetHwnd());
            MSG msg;
            while (!IsQuitting()) {
                BOOL got = GetMessageA(&msg, nullptr, 0, 0);
                if (got == 0 || got == -1)
                    break;
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    } else {
        // Threaded: the game thread ends before the display it draws on is released.
        if (!StopGameThread())
            OnGameThreadHung(code);
    }
    // 2.
    OnExit(code);
    // 3. The system switches as they were.
    if (o.disableScreenSaver != 0 && m_savedScreenSaver)
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
    if (o.disablePowerSaving != 0) {
        if (m_savedLowPower)
            SystemParametersInfoA(SPI_SETLOWPOWERACTIVE, TRUE, nullptr, 0);
        if (m_savedPowerOff)
            SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, TRUE, nullptr, 0);
    }
    if (m_executionStateSet && m_savedExecutionState != 0)
        SetThreadExecutionState(m_savedExecutionState);
    m_executionStateSet = false;
    // 4.
    ReleaseDisplay();
    if (g_pDisplayDevice == m_screen)
        g_pDisplayDevice = nullptr;
    // 5.
    m_menuWindow.Destroy();
    m_mainWindow.Destroy();
    // The classes go with the windows, so that a later frame of the process can register them.
    if (m_menuClassRegistered)
        UnregisterClassA("RVK DX FullScreenMenu", GetInstance());
    if (m_classRegistered)
        UnregisterClassA(m_appName.c_str(), GetInstance());
    m_menuClassRegistered = m_classRegistered = false;
    // 6.
    RemoveKeyboardHook();
    // 7.
    if (m_mutex != nullptr) {
        ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
    // 8.
    OnExitDone(code);
    // 9.
    if (o.writeReport != 0 && g_pSoundDeviceSource != nullptr)
        g_pSoundDeviceSource->FreeSoundDeviceList();
    // 10.
    if (m_displayError != 0) {
        char text[160];
        std::snprintf(text, sizeof text, winapi::Sjis("予期せぬエラーが発生したため、強制終了しました。ErrorCode：%d"),
                      m_displayError);
        ShowMessage(text, 4, GetDesktopWindow());
    }
}

bool CAppFrame::PreTranslateMessage(HWND, UINT message, WPARAM wParam, LPARAM, DWORD, LONG, LONG)
{
    if (message == WM_SYSKEYUP && wParam == VK_F10)
        return true;
    if ((m_options.keyOptions & 3) == 0) {
        if (message == WM_SYSKEYUP)
            return true;
        if (message == WM_SYSKEYDOWN && wParam != VK_F4 && wParam != VK_MENU && wParam != VK_F10)
            return true;
    }
    return message == WM_SYSKEYUP && wParam == VK_ESCAPE && IsFullScreen();
}
