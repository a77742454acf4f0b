// CTgsHostLink: what the scenario engine asks of the application and the system-script host above
// it. The natives implement it over the script host, the text objects, the caption and the game
// application; tests use a recording double.
#pragma once

#include <cstdint>
#include <string>

class CControlContainer;
class CControlSet;
class CTimedTask;

// One frame's input for the frame's modal screens (the system menu and the backlog).
struct TgsInput {
    bool cancel = false;   // the right button or the cancel action (5) pushed
    bool click = false;    // the left button pushed
    bool held = false;     // the left button down
    int wheel = 0;         // 1 turned up, -1 turned down, 0 not turned
    bool pageUp = false, pageDown = false, home = false, end = false;
    bool hide = false;     // action 11 pushed
    bool lineUp = false;   // action 18 pushed
    bool lineDown = false; // action 19 pushed
};

class CTgsHostLink {
public:
    virtual ~CTgsHostLink() = default;

    // One application frame: draws, pumps input → 0 when the game is ending.
    virtual int StepFrame() = 0;
    // The game's clock in milliseconds (the frame's timers read it).
    virtual uint32_t Now() = 0;
    // Routes this frame's input through the form (its HandleInput).
    virtual void HandleInput() = 0;
    // A click or an advance key was pushed this frame.
    virtual bool AdvancePushed() = 0;
    // The forced-skip key is held.
    virtual bool SkipKeyDown() = 0;
    // The left mouse button held or input action 4 pushed (the effect-skip input).
    virtual bool SkipInputHeld() = 0;
    // The window-menu index of this frame's input: a pushed action from 6 up gives action − 6;
    // else F1-F5 (no Alt) give 3 with the modifier key and 4 without, *slot the key's number
    // (0-4). -1 none; *slot -1 when no F key chose the slot.
    virtual int MenuActionIndex(int* slot) = 0;
    virtual void GetMousePos(int* x, int* y) = 0;
    // Shows a message box with the stop icon (the run loop's transfer failures).
    virtual void ShowMessage(const char* text) = 0;
    // Waits up to ms for the user-interface thread to take a posted command → false on time-out.
    virtual bool WaitCommandTaken(uint32_t ms) = 0;
    // The main form that receives the frame's controls (null: none).
    virtual CControlContainer* Form() = 0;
    // Menu groups of the application (1 save, 2 load).
    virtual bool IsMenuGroupEnabled(int group) = 0;
    // The application's settings-changed byte.
    virtual uint8_t SettingsChanged() = 0;
    virtual void SetSettingsChanged(uint8_t value) = 0;
    // Where the pointer is: 2 when it rests in the bottom area of the screen.
    virtual int MouseAreaState() = 0;
    // The menu-command byte (0 none; command + 1 while the user-interface thread runs one).
    virtual uint8_t MenuCommandByte() = 0;
    // Posts a window command (WM_COMMAND id) → false when it could not be posted.
    virtual bool PostWindowCommand(uint32_t id) = 0;
    // Posts the Yes/No question (0x9009) for window command kind (1 quick load, 2 back, 3 title)
    // with its text → false when it could not be posted.
    virtual bool PostQuestion(int kind, const std::string& text) = 0;
    // The answer of the last question: 1 yes, 0 no, -1 none yet.
    virtual int QuestionAnswer() = 0;
    // True in the threaded mode (the user-interface thread runs the menu commands).
    virtual bool IsThreaded() = 0;
    // Script-settings word 6 of the host.
    virtual int32_t ScriptSetting6() = 0;
    // The scripts' control set (the system-menu items are deleted from it by id).
    virtual CControlSet* ScriptControls() = 0;
    // The caption's text and whether its task runs.
    virtual void ShowCaption(const char* text) = 0;
    virtual bool IsCaptionBusy() = 0;
    // The caption's motion task while it runs (null: none); the frame pauses it during a fade.
    virtual CTimedTask* CaptionTask() = 0;
    // The script host holds a back-to-the-previous-choice snapshot.
    virtual bool HasStateSnapshot() = 0;
    // The application's interrupt flag (a stop was asked).
    virtual bool IsInterrupted() = 0;
    // Save data: → 0 ok; -1 until the save side exists.
    virtual int SaveGame(int bank, int slot) = 0;
    virtual int LoadGameSlot(int bank, int slot) = 0;
    virtual int TakeStateSnapshot() = 0;
    virtual int RestoreStateSnapshot() = 0;
    // The slot's title (Shift-JIS), empty when the slot holds nothing.
    virtual std::string SlotTitle(int bank, int slot) = 0;
    // The next slot of a bank's ring (where a quick save goes).
    virtual int NextRingSlot(int bank) = 0;
    // The slot of a bank's ring saved last (where a quick load looks).
    virtual int LastRingSlot(int bank) = 0;
    // The user block's count-late-frames byte (5) is set.
    virtual bool CountsLateFrames() = 0;
    // The frame timer's late-frame counting on or off (the byte is left as it is).
    virtual void SetLateFrameCounting(bool on) = 0;

    // ---- music ----
    // Plays music piece number (0 stops it) with a fade of fadeTime ms (0 at once) → 0; 1 the
    // piece could not be played at once.
    virtual int PlayBgm(int32_t number, uint32_t fadeTime, bool loop) = 0;
    // The piece PlayBgm last started (0 none: the music is silent or fading to silence).
    virtual int32_t CurrentBgm() = 0;

    // ---- the system menu and the backlog ----
    // This frame's input (read after StepFrame).
    virtual void ReadInput(TgsInput* input) = 0;
};
