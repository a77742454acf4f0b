// CWindowApp: the smallest layer of the application. It owns the Win32 message loop and the
// accelerator table and defines the virtual operations through which a derived application
// starts (Init), runs (the loop, or RunNoMessageLoop) and ends (Exit). Run's value is the
// process's exit code.
#pragma once

#include "winapi/user.h"

class CWindowApp {
public:
    // Run's code when GetMessageA fails (the loop ends after the error box). The frame's Init
    // codes are 1 to 13; this one is apart from them so that the failure is not taken for success.
    static constexpr int kMessageLoopFailed = 14;

    explicit CWindowApp(bool hasMessageLoop);
    virtual ~CWindowApp();
    CWindowApp(const CWindowApp&) = delete;
    CWindowApp& operator=(const CWindowApp&) = delete;

    // 0 = success, any other value = the failure code Run returns.
    virtual int Init() = 0;
    // Runs the whole game loop on the calling thread (single-threaded mode); base: nothing.
    virtual void RunNoMessageLoop() {}
    // Called exactly once by Run, with the Init code on failure, else 0 (or kMessageLoopFailed).
    virtual void Exit(int code) { (void)code; }
    // true: the message is consumed (neither translated nor dispatched). Base: false.
    virtual bool PreTranslateMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time, LONG x,
                                     LONG y);
    // The application name (captions of the loop's error box); base: null.
    virtual const char* GetName() { return nullptr; }

    // Stores the arguments, runs Init, then the loop or RunNoMessageLoop, then Exit.
    // → the Init code when it failed; kMessageLoopFailed when GetMessageA failed; else 0.
    int Run(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand);
    // → true when the table was loaded (it then translates keys for the accelerator window).
    bool LoadAccelerators(WORD resourceId);
    // Empties the thread's queue without waiting; mouse moves, WM_NCMOUSEMOVE, WM_NCHITTEST and
    // WM_SETCURSOR are dropped unseen unless keepMouseMoves. → true when WM_QUIT was met (the quit
    // flag is then set and messages behind it stay queued), false when the queue ran empty.
    bool PumpMessages(bool keepMouseMoves);

    HINSTANCE GetInstance() const { return m_instance; }
    const char* GetCommandLine() const { return m_commandLine; }
    int GetShowCommand() const { return m_showCommand; }
    HACCEL GetAcceleratorTable() const { return m_accelerators; }
    void SetAcceleratorWindow(HWND window) { m_acceleratorWindow = window; }
    bool HasMessageLoop() const { return m_hasMessageLoop; }
    void SetHasMessageLoop(bool on) { m_hasMessageLoop = on; }
    bool IsQuitting() const { return m_quit; }

private:
    // Accelerator step, TranslateMessage and DispatchMessageA for one message.
    void Deliver(MSG& msg);

    HINSTANCE m_instance = nullptr;
    HINSTANCE m_previous = nullptr;
    char* m_commandLine = nullptr;
    int m_showCommand = 0;
    HACCEL m_accelerators = nullptr;
    HWND m_acceleratorWindow = nullptr;
    bool m_hasMessageLoop;
    bool m_quit = false;
};
