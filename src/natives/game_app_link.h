// CGameAppLink: the operations of the game application that the system-script host and its
// natives call. The application lives in the layer above; it derives from this and publishes
// itself as g_pGameApp. Each group of natives adds the operations it needs.
#pragma once

#include <cstdint>

#include "winapi/base.h"

class CActionMap;
class CLock;
class CImeContext;
class CTimerManager;

class CGameAppLink {
public:
    virtual ~CGameAppLink() = default;

    // Waits for and shows the next frame (natives that wait inside a call use it) → 0 stop,
    // else the script steps the frame asks for.
    virtual int StepFrame() = 0;
    // The game's input actions (null before the devices are set up).
    virtual CActionMap* GetActionMap() = 0;
    // While one of the game's dialogs is open.
    virtual bool IsDialogBusy() = 0;
    // The main window, the menu-enable flags (0-3) and whether the display flags allow the
    // window mode (bit value 4), for the system-menu commands.
    virtual HWND GetMainWindow() = 0;
    virtual bool IsMenuFlagSet(int flag) = 0;
    virtual bool IsWindowModeAllowed() = 0;
    // Around a synchronous command: the frame's running flag cleared and its pause operation run;
    // then the flag set again and its resume operation run.
    virtual void PauseForCommand() = 0;
    virtual void ResumeAfterCommand() = 0;
    // What the host hands the sound player and the scripts' control set at its construction: the
    // frame's task list (null while there is none), its IME context, and the byte of the
    // settings block at an offset (0 past the block).
    virtual CTimerManager* GetTaskList() = 0;
    virtual CImeContext* GetFrameImeContext() = 0;
    virtual uint8_t GetSettingsByte(uint32_t offset) = 0;
    // The movie natives: the lock around g_pMovie, the movie-playing byte (0 none, 1 the window
    // movie plays, 2 it plays painting through a device context), and the movie-sprite option
    // (movies as scene sprites rather than primitives).
    virtual CLock* GetMovieLock() { return nullptr; }
    virtual uint8_t GetMoviePlaying() { return 0; }
    virtual void SetMoviePlaying(uint8_t value) { (void)value; }
    virtual bool IsMovieSpriteOption() { return false; }
    // The application's flag bit that native 199 sets from a script (kept with its other flags).
    virtual void SetScriptDrawFlag(bool on) { (void)on; }
};

// The application, or null (tools and tests without one).
extern CGameAppLink* g_pGameApp;
