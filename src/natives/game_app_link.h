// CGameAppLink: the operations of the game application that the system-script host and its
// natives call. The application lives in the layer above; it derives from this and publishes
// itself as g_pGameApp. Each group of natives adds the operations it needs.
#pragma once

#include <cstdint>
#include <string>

#include "winapi/base.h"

class CActionMap;
class CFont;
class CFrameTimer;
class CLock;
class CImeContext;
class CTextLayer;
class CTextPanel;
class CTimerManager;

// Offsets of the 17-byte user block that the natives name.
constexpr uint32_t kUserBlockLateFrames = 5;  // late frames become extra logic ticks
constexpr uint32_t kUserBlockWarnNoSound = 6; // warn when the sound device is unavailable

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

    // --- strings, heap, random, files; application state ---
    // The 17-byte user block of engine options (null without one).
    virtual uint8_t* GetUserBlock() { return nullptr; }
    // A message dialog on the UI thread (Shift-JIS text; kinds 0 OK, 1 OK and the "do not show
    // again" tick written through check, 2 Yes/No, 3 Yes/No and the tick) → 1 Yes, 0 No for kinds
    // 2 and 3, 1 for kinds 0 and 1; 0 without a main window.
    virtual uint8_t RequestMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title, uint8_t fit)
    {
        (void)text, (void)kind, (void)check, (void)title, (void)fit;
        return 0;
    }
    // Prepares the data-input dialog's request (null texts keep the caption and label) → 0.
    virtual int InputTextForScript(const char* caption, const char* label, uint8_t doubleByteOnly, uint8_t maxBytes,
                                   uint8_t imeOn, int32_t width, int32_t x, int32_t y)
    {
        (void)caption, (void)label, (void)doubleByteOnly, (void)maxBytes, (void)imeOn, (void)width, (void)x, (void)y;
        return 0;
    }
    // The save folder and the install source's path (empty when unknown).
    virtual const std::string& GetSaveFolder() const { return EmptyText(); }
    virtual const std::string& GetInstallSourcePath() const { return EmptyText(); }
    // The frame timer (null without one).
    virtual CFrameTimer* GetFrameTimer() { return nullptr; }
    // The application flag that native 14 sets.
    virtual void SetScriptFlag(bool on) { (void)on; }
    // The frame timing (fps < 0 keeps the rate) and its nestable overrides: PushSyncOverride
    // → 1 when it forced vertical sync, else 0.
    virtual void ApplyFrameTiming(int fps) { (void)fps; }
    virtual int PushSyncOverride() { return 0; }
    virtual void PopSyncOverride() {}
    virtual void PushTimerFlagOverride() {}
    virtual void PopTimerFlagOverride() {}
    // The game thread's priority around long work → the codes of game/thread_priority.h; -1
    // nothing done.
    virtual int LowerThreadPriority() { return -1; }
    virtual int RestoreThreadPriority() { return -1; }
    // The system menu's five item groups → 0, or -1 for a group outside 0-4; a group's flag (0
    // outside).
    virtual int EnableMenuItemGroup(int group, bool enable)
    {
        (void)group, (void)enable;
        return -1;
    }
    virtual uint8_t GetMenuGroupFlag(int group) const
    {
        (void)group;
        return 0;
    }
    // The frame's stop-when-inactive option (kept with the player's settings).
    virtual uint8_t GetStopWhenInactive() const { return 0; }
    virtual void SetStopWhenInactive(uint8_t value) { (void)value; }
    // The monitor for full screen at the depth in flags → 0, or the display's failure code.
    virtual int SelectTargetMonitor(HWND window, DWORD flags)
    {
        (void)window, (void)flags;
        return 1;
    }
    // The frame's display flag that a screen-mode change snapshots.
    virtual uint8_t GetDisplayFlag() const { return 0; }
    // The text-display settings into a message frame, a text layer, a font (null: the default
    // font) and the message log, as game/apply_settings.h describes; clearChanged is handed to
    // a scenario frame, which applies its own → the settings-changed byte as it was.
    virtual int ApplyTextDisplaySettings(bool onlyIfChanged, uint8_t clearChanged, CTextPanel* frame,
                                         CTextLayer* text, CFont* font, bool applyFont, bool applyHistory)
    {
        (void)onlyIfChanged, (void)clearChanged, (void)frame, (void)text, (void)font, (void)applyFont,
            (void)applyHistory;
        return 0;
    }

    // --- time, input, desktop; sound and system ---
    // The application's default of the sound decoders' in-memory switch (native 597).
    virtual bool GetStreamOffDefault() { return false; }

    // --- the scenario engine ---
    // The scenario engine: its menu groups (1 save, 2 load); the
    // settings-changed byte; the mouse-area state (2: the pointer rests at the screen's bottom);
    // the menu-command byte (command + 1 while the window thread runs one); posting a window
    // command or the Yes/No question (0x9009) and its answer (1 yes, 0 no, -1 none); the wait for
    // the window thread to take a command; whether a window thread runs the commands; and the
    // interrupt flag.
    virtual bool IsMenuItemGroupEnabled(int group) { return group == 1 || group == 2; }
    virtual uint8_t GetSettingsChanged() const { return 0; }
    virtual void SetSettingsChanged(uint8_t value) { (void)value; }
    virtual int GetMouseAreaState() { return 0; }
    virtual uint8_t GetMenuCommandByte() { return 0; }
    virtual bool PostWindowCommand(uint32_t id) { (void)id; return false; }
    virtual bool PostQuestion(int kind, const char* text) { (void)kind; (void)text; return false; }
    virtual int GetQuestionAnswer() { return -1; }
    virtual bool WaitMenuCommandTaken(uint32_t ms) { (void)ms; return false; }
    virtual bool IsThreaded() { return false; }
    virtual bool IsInterrupted() { return false; }

    // --- fonts, surfaces, scene objects, drawing ---
    // The application's flag bit that native 199 sets from a script (kept with its other flags).
    virtual void SetScriptDrawFlag(bool on) { (void)on; }

private:
    static const std::string& EmptyText()
    {
        static const std::string empty;
        return empty;
    }
};

// The application, or null (tools and tests without one).
extern CGameAppLink* g_pGameApp;
