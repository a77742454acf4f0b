// CGameAppLink: the operations of the game application that the system-script host and its
// natives call. The application lives in the layer above; it derives from this and publishes
// itself as g_pGameApp. Each group of natives adds the operations it needs.
#pragma once

#include <cstdint>
#include <string>

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
    // The scenario engine: the application's save folder; its menu groups (1 save, 2 load); the
    // settings-changed byte; the mouse-area state (2: the pointer rests at the screen's bottom);
    // the menu-command byte (command + 1 while the window thread runs one); posting a window
    // command or the Yes/No question (0x9009) and its answer (1 yes, 0 no, -1 none); the wait for
    // the window thread to take a command; whether a window thread runs the commands; and the
    // interrupt flag.
    virtual std::string GetSaveFolder() { return {}; }
    virtual bool IsMenuItemGroupEnabled(int group) { return group == 1 || group == 2; }
    virtual uint8_t GetSettingsChanged() { return 0; }
    virtual void SetSettingsChanged(uint8_t value) { (void)value; }
    virtual int GetMouseAreaState() { return 0; }
    virtual uint8_t GetMenuCommandByte() { return 0; }
    virtual bool PostWindowCommand(uint32_t id) { (void)id; return false; }
    virtual bool PostQuestion(int kind, const char* text) { (void)kind; (void)text; return false; }
    virtual int GetQuestionAnswer() { return -1; }
    virtual bool WaitMenuCommandTaken(uint32_t ms) { (void)ms; return false; }
    virtual bool IsThreaded() { return false; }
    virtual bool IsInterrupted() { return false; }
};

// The application, or null (tools and tests without one).
extern CGameAppLink* g_pGameApp;
