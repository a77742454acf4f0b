// CAppFrame: the application frame under the game. It owns the main window, the file and
// image-loader managers, the input manager, the game thread, the system information, the monitor
// list, the full-screen menu window and the IME context; Init brings the system up in a fixed
// order and answers a numbered code at the first failure, Exit takes it down again. The game's
// class derives from it, sets the options in SetAppInfo and supplies the game loop. The screen is
// reached through IFrameScreen (null: the frame runs without one, as a GDI window).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <memory>
#include <string>

#include "display/frame_screen.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "platform/frame_window.h"
#include "platform/ime_context.h"
#include "platform/input_manager.h"
#include "platform/lock.h"
#include "platform/monitor_list.h"
#include "platform/window_app.h"
#include "platform/windows_info.h"
#include "platform/worker_thread.h"

// The private messages between the game thread, the frame and the UI thread.
enum : UINT {
    WM_FRAME_SHOWCURSOR = 0x9000,
    WM_FRAME_MESSAGEBOX = 0x9001,
    WM_FRAME_SCREENMODE = 0x9002,
    WM_FRAME_SHOWMENU = 0x9003,
    WM_FRAME_HIDEMENU = 0x9004,
    WM_FRAME_THREADENDED = 0x9005,
    WM_FRAME_MOVIE = 0x9006,
    WM_FRAME_IME = 0x9007,
    WM_FRAME_IMEOPEN = 0x9008,
    WM_FRAME_DIALOG = 0x9009,
};

// What the frame hands typed keys and text to: the focus text-input control.
class ITextInputTarget {
public:
    virtual ~ITextInputTarget() = default;
    virtual uint8_t OnKeyDown(int virtualKey) = 0;
    virtual uint8_t OnTextInput(const char* bytes, int count) = 0;
};

// The options (defaults as the constructor sets them); SetAppInfo changes them before Init goes on.
struct AppFrameOptions {
    uint16_t screenWidth = 640;
    uint16_t screenHeight = 480;
    uint32_t windowStyle = 0xCA0000;
    uint32_t windowExStyle = 0;
    uint16_t iconId = 0;
    uint16_t menuId = 0;
    uint16_t acceleratorId = 0;
    uint8_t singleInstance = 1;
    uint8_t screenModes = 2;       // 0 window only, 1 full screen only, 2 both
    uint8_t skipDriveCheck = 0;
    uint8_t reportInProgramFolder = 1;
    uint8_t fullScreenMenuStyle = 1;
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
    uint8_t revision = 0;
    uint8_t gameThread = 0;
    uint8_t allowCmov = 1;
    uint8_t allowMmx = 1;
    uint8_t allowSse = 1;
    uint8_t allowSse2 = 1;
    uint8_t displayCanvas = 1;
    uint8_t direct3DReport = 1;
    uint8_t useZBuffer = 0;
    uint8_t secondDisplayFlag = 0;
    uint8_t enumerationFlag = 1;
    uint8_t topMostInFullScreen = 1;
    uint8_t cursorPlacement = 1;
    uint16_t menuHoverDelay = 0;
    uint8_t keepDrawingWhenInactive = 0;
    uint8_t minimiseOnDeactivation = 1;
    uint8_t writeReport = 0;
    uint8_t measureCpuClock = 0;
    uint8_t inputMode = 2;         // 0 DirectInput, 1 polling, 2 window messages
    uint8_t joysticks = 1;
    uint8_t globalDisplaySwitch = 1;  // becomes g_bCanvasImageDC: canvas images with a device context
    uint8_t disableScreenSaver = 0;
    uint8_t disablePowerSaving = 0;
    uint8_t keepSystemAwake = 0;
    uint8_t requestedMode = 0;     // 0 the allowed-modes value, 1 full screen, 2 window; then current
    uint8_t requestedDepth = 3;
    int32_t windowX = -1;
    int32_t windowY = -1;
    uint8_t keyOptions = 0x05;
    uint8_t gameBytes[5] = {1, 0, 1, 2, 1};  // read by the game layer only
};

// The message-box request a game thread sends with WM_FRAME_MESSAGEBOX.
struct MessageBoxRequest {
    int32_t kind = 0;              // 0 ShowMessage, 1 AskYesNo, 2 AskOkCancel
    const char* text = nullptr;
    const char* caption = nullptr; // null: the application name
    uint8_t iconKind = 0;          // 1 exclamation, 2 information, 3 question, 4 stop
    uint8_t answer = 1;
};

class CAppFrame : public CWindowApp, public CFrameWindow::Frame {
public:
    // The largest screen width or height Init accepts.
    static constexpr uint16_t kMaxScreenSide = 8192;

    CAppFrame();
    ~CAppFrame() override;

    // --- CWindowApp ---
    // 0, or 1 (also a screen size of 0 or above kMaxScreenSide), 2, 3, 5, 6, 7, 8, 11, 12, 13:
    // the first failing step.
    int Init() override;
    void Exit(int code) override;
    // true for the system keys the frame swallows.
    bool PreTranslateMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time, LONG x,
                             LONG y) override;
    const char* GetName() override { return m_appName.c_str(); }

    // --- operations the game overrides ---
    // Default: the frame's own names; 0. Non-zero fails Init with 1.
    virtual int SetAppInfo();
    virtual const char* GetLogFolder() { return nullptr; }
    virtual int OnBeforeCreateWindow() { return 0; }   // non-zero: Init 8
    virtual int OnDevicesReady() { return 0; }         // non-zero: Init 13
    virtual void OnExit(int code) { (void)code; }
    virtual void OnExitDone(int code) { (void)code; }
    virtual int OnCreateMenuWindow() { return 0; }
    virtual LRESULT ThreadMain();
    virtual int OnThreadStart() { return 0; }
    virtual int OnThreadFrame();
    virtual void OnThreadEnd() {}
    // The game thread was asked to stop (a close, the exit): the game makes a step that never
    // yields give up (UI thread).
    virtual void OnGameThreadStopRequested() {}
    // The game thread did not end within kGameThreadStopWaitMs of the stop: the frame cannot
    // release what it draws on, so the process ends here with what was saved. Default: exit code.
    virtual void OnGameThreadHung(int code);
    // How long the exit waits for the game thread (real milliseconds). Long enough for a thread
    // that is only slow (a loaded machine took over two seconds to wind one down), short enough
    // that the player's close of a caught game still ends it soon.
    static constexpr uint32_t kGameThreadStopWaitMs = 5000;
    // → 0 single-threaded or ended by EndModalLoop, 1 on the game thread, -1 WM_QUIT, -2 the
    // game thread stopped.
    virtual int RunModalLoop(HWND* owner);
    virtual int EndModalLoop(HWND* owner);
    virtual void OnBeforeScreenModeChange() {}
    virtual void OnEnterFullScreen() {}
    virtual void OnEnterWindowMode() {}
    virtual void OnPause() {}
    virtual void OnResume() {}
    virtual void OnActivateFullScreen() {}
    virtual void OnDeactivateFullScreen() {}
    virtual void OnActivateWindowed(bool active) { (void)active; }
    virtual void OnDeactivateWindowed() {}

    // --- message handlers (0 handled, non-zero: default processing goes on) ---
    virtual uint32_t OnActivateApp(CWindowMessage* m);
    virtual uint32_t OnActivate(CWindowMessage* m);
    virtual uint32_t OnDisplayChange(CWindowMessage* m);
    virtual uint32_t OnPaint(CWindowMessage* m);
    virtual uint32_t OnClose(CWindowMessage* m);
    virtual uint32_t OnKeyDown(CWindowMessage* m);
    virtual uint32_t OnKeyUp(CWindowMessage* m);
    virtual uint32_t OnSysKeyDown(CWindowMessage* m);
    virtual uint32_t OnSysKeyUp(CWindowMessage* m);
    virtual uint32_t OnMouseWheel(CWindowMessage* m);
    virtual uint32_t OnSetCursor(CWindowMessage* m);
    virtual uint32_t OnEnterMenuLoop(CWindowMessage* m);
    virtual uint32_t OnExitMenuLoop(CWindowMessage* m);
    virtual uint32_t OnEnterSizeMove(CWindowMessage* m);
    virtual uint32_t OnExitSizeMove(CWindowMessage* m);
    virtual uint32_t OnLButtonDown(CWindowMessage* m);
    virtual uint32_t OnLButtonUp(CWindowMessage* m);
    virtual uint32_t OnRButtonDown(CWindowMessage* m);
    virtual uint32_t OnRButtonUp(CWindowMessage* m);
    virtual uint32_t OnMButtonDown(CWindowMessage* m);
    virtual uint32_t OnMButtonUp(CWindowMessage* m);
    virtual uint32_t OnShowCursorMessage(CWindowMessage* m);
    virtual uint32_t OnMessageBoxRequest(CWindowMessage* m);
    virtual uint32_t OnScreenModeRequest(CWindowMessage* m);
    virtual uint32_t OnShowMenuRequest(CWindowMessage* m);
    virtual uint32_t OnHideMenuRequest(CWindowMessage* m);
    virtual uint32_t OnImeRequest(CWindowMessage* m);
    virtual uint32_t OnThreadEnded(CWindowMessage* m);
    virtual LRESULT OnTextInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // --- modal UI, message boxes, screen modes, full-screen menu ---
    void EnterModal();
    void LeaveModal();
    void DisableScreenSaver();
    void RestoreScreenSaver();
    // Owner null: the main window. Kinds: 1 exclamation, 2 information, 3 question, 4 stop.
    void ShowMessage(const char* text, uint8_t iconKind, HWND owner = nullptr, const char* caption = nullptr);
    // true for IDYES / IDOK.
    bool AskYesNo(const char* text, uint8_t iconKind, HWND owner = nullptr, const char* caption = nullptr);
    bool AskOkCancel(const char* text, uint8_t iconKind, HWND owner = nullptr, const char* caption = nullptr);
    // Game thread: the box on the UI thread → its answer; 0 without a main window.
    uint8_t SendRequest(int kind, const char* text, uint8_t iconKind, const char* caption = nullptr);
    void CenterWindow(HWND window);
    // → SwitchScreenMode's answer, run on the UI thread.
    int RequestScreenMode(uint8_t mode, uint8_t depth, uint8_t force);
    // → 0 done or nothing to do, 1 no main window, the device's code + 1 on failure.
    int SwitchScreenMode(uint8_t mode, uint8_t depth, uint8_t force);
    // → 0, 1 desktop of 8 bits or less, 2 the window does not fit (window-only configuration).
    int CheckWindowedMode();
    // → -1 shown again, 0 created, 1 OnCreateMenuWindow refused, 2 creation failed.
    int ShowFullScreenMenu();
    uint32_t FilterMenuSysCommand(CWindowMessage* m);

    // --- text entry, IME, cursor, keyboard hook ---
    uint32_t AttachTextInput(HWND window);
    uint8_t DeliverTextInput(ITextInputTarget* control);
    // → 0, 1 no imm32 entry, 2 association failed, 3 no previous context.
    uint32_t EnableIme(bool on);
    bool SetImeOpen(bool open);
    void ClientToScreen(POINT* point);
    void SetCursorPos(int x, int y);
    // Once a frame: true when the cursor is over the game picture.
    bool UpdateCursor();
    // → -1 hooks unavailable, 0 installed or nothing to do, 1 failed.
    int InstallKeyboardHook();
    void RemoveKeyboardHook();

    // --- CFrameWindow::Frame ---
    HIMC GetImeContextHandle() override { return m_ime.GetContext(); }
    POINT GetCandidatePos() override { return m_ime.GetCandidatePos(); }
    void SetCandidateListOpen(bool open) override { m_candidateListOpen = open; }
    bool IsFullScreen() override;

    // --- members and state the game reads ---
    void SetScreen(IFrameScreen* screen) { m_screen = screen; }
    IFrameScreen* GetScreen() const { return m_screen; }
    HWND GetMainWindow() const { return m_mainWindow.GetHwnd(); }
    CFrameWindow& GetMainWindowObject() { return m_mainWindow; }
    CFrameWindow& GetMenuWindowObject() { return m_menuWindow; }
    CInputManager& GetInput() { return m_input; }
    CWorkerThread& GetGameThread() { return m_gameThread; }
    CLock& GetFrameLock() { return m_frameLock; }
    CWindowsInfo& GetWindowsInfo() { return m_info; }
    CMonitorList& GetMonitorList() { return m_monitors; }
    CImeContext& GetImeContext() { return m_ime; }
    const CursorPosition& GetCursorPosition() const { return m_cursorPos; }
    uint8_t GetEdge() const { return m_edge; }
    HHOOK GetKeyboardHook() const { return m_hook; }
    uint8_t GetDisplayError() const { return m_displayError; }
    void SetDisplayError(uint8_t state) { m_displayError = state; }
    void SetMenuHandle(HMENU menu) { m_menu = menu; }
    HMENU GetMenuHandle() const { return m_menu; }
    void SetAppStrings(const char* name, const char* title, const char* notice, const char* web, const char* fifth);
    const std::string& GetProgramFolder() const { return m_programFolder; }
    bool IsRunningFlag() const { return m_running; }
    bool IsModal() const { return m_modal; }
    bool IsMenuOpen() const { return m_menuOpen; }
    bool IsMenuInUse() const { return m_menuInUse; }
    bool IsActive() const { return m_active; }
    uint8_t GetPendingRestore() const { return m_pendingRestore; }
    bool WindowFits() const { return m_fits; }
    int GetTextCount() const { return m_textCount; }

    AppFrameOptions m_options;

protected:
    // The running flag around a synchronous command of the game thread (the derived
    // application's pause for a command).
    void SetRunningFlag(bool on) { m_running = on; }
    // The hook procedure and the text-entry subclass procedure reach the frame through g_pAppFrame.
    static LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK TextInputSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void RegisterMessageMap();
    void ReleaseDisplay();
    // Stops the game thread, waiting kGameThreadStopWaitMs at most → false when it did not end.
    bool StopGameThread();
    bool KeyOptionsLeaveSystemKeys() const { return (m_options.keyOptions & 3) == 1; }
    bool ChildCoversClient(HWND* top);
    uint8_t CurrentMode();
    void ForwardMessageToLoop(MSG& msg);
    int ShowBox(const char* text, uint8_t iconKind, HWND owner, const char* caption, UINT buttons);
    // A send from the calling thread with its frame lock given up for the wait.
    LRESULT SendWithoutFrameLock(UINT message, WPARAM wParam, LPARAM lParam);
    bool CloseMenuIfOpen();

    HANDLE m_mutex = nullptr;
    std::string m_programFolder;
    HHOOK m_hook = nullptr;
    CursorPosition m_cursorPos{-1, -1};
    uint8_t m_edge = 0;
    // Set on the UI thread, read by the game thread's frames.
    std::atomic<bool> m_active{false};
    bool m_busySwitching = false;
    std::atomic<uint8_t> m_pendingRestore{0};
    std::atomic<bool> m_running{true};
    bool m_sizeMove = false;
    std::atomic<bool> m_modal{false};
    BOOL m_savedScreenSaver = FALSE;
    BOOL m_savedLowPower = FALSE;
    BOOL m_savedPowerOff = FALSE;
    DWORD m_savedExecutionState = 0;
    CFrameWindow m_mainWindow;
    std::unique_ptr<CFileManager> m_fileManager;
    std::unique_ptr<CGllManager> m_gllManager;
    IFrameScreen* m_screen = nullptr;
    CLock m_frameLock;
    CInputManager m_input;
    CWorkerThread m_gameThread;
    // The stop's deadline (real time), set by the first request; the close's watch posts the
    // thread's end itself when the thread has not answered by then.
    void StartStopWatch();
    void EndStopWatch();
    std::chrono::steady_clock::time_point m_stopDeadline{};
    std::thread m_stopWatch;
    std::mutex m_stopWatchMutex;
    std::condition_variable m_stopWatchCv;
    bool m_stopWatchDone = false;
    CWindowsInfo m_info;
    CMonitorList m_monitors;
    std::string m_appName, m_title, m_notice, m_webAddress, m_fifth;
    uint8_t m_displayError = 0;
    int m_menuBarHeight = 0;
    // Read by the game thread's cursor tracking and the hook as well.
    std::atomic<bool> m_menuOpen{false};
    std::atomic<bool> m_menuInUse{false};
    std::atomic<bool> m_modalHold{false};
    bool m_screenSaverOff = false;
    DWORD m_menuClosedTime = 0;
    HMENU m_menu = nullptr;
    bool m_imeEnabled = true;
    bool m_imeStatusWindow = true;
    bool m_candidateListOpen = false;
    bool m_fits = true;
    bool m_menuClassRegistered = false;
    bool m_classRegistered = false;
    bool m_screenSaverByInit = false;
    bool m_executionStateSet = false;
    CFrameWindow m_menuWindow;
    CImeContext m_ime;
    // Text entry (under the text-input lock).
    int m_pendingKey = 0;
    char m_text[32] = {};
    int m_textCount = 0;
    int m_delivered = 0;
    bool m_leadPending = false;
    HWND m_textWindow = nullptr;
    WNDPROC m_savedProc = nullptr;
    CLock m_textLock;
};

extern CAppFrame* g_pAppFrame;
