// CTextObject: the text control the system script shows story text in, character by character.
// A text panel with a typing task (CTypingTask, on the object's task list) that walks the message
// store's tokens at the settings' speed, a wait animation shown at pauses, a linked name panel
// (the speaker line) and a linked toggle (skip while it is on). CTextObjectList is the scripts'
// control set that also makes text objects.
#pragma once

#include <cstdint>

#include "controls/control_set.h"
#include "controls/text_panel.h"
#include "platform/timed_task.h"

class CAnimTask;
class CCellSheet;
class CMessageStore;
class CTextObject;
class CTimerManager;
class CToggleButton;

constexpr int32_t kTypingTaskKind = 11100;

class CTypingTask : public CTimedTask {
public:
    enum Phase : uint8_t { kIdle = 0, kTyping = 1, kWaiting = 2, kFinished = 3, kPageAtOnce = 4 };

    explicit CTypingTask(CTextObject& owner) : m_owner(owner) {}
    int32_t GetKind() override { return kTypingTaskKind; }
    int32_t Step(uint32_t now) override;

    // One run of the token loop (all: every character up to the next break) → 0, 1 bad token.
    int StepTokens(bool all);
    // The rest of the page at once, up to a character that does not fit, a page end, the end or
    // a string tag.
    void TypeRestOfPage();
    // Leaves the pause at a break → 1 when not paused.
    using CTimedTask::Resume;
    int Resume();
    void Update(uint32_t now);
    // The start of a text (the object's StartTyping step 5).
    void Begin(bool flag);
    // The font height a numeric tag changed goes back.
    void RestoreFontHeight();

    uint8_t GetPhase() const { return m_phase; }
    int8_t GetLastKind() const { return m_lastKind; }
    uint8_t GetCharTime() const { return m_charTime; }
    uint8_t GetNoWait() const { return m_noWait; }
    bool IsFastForward() const { return m_fastForward != 0; }

private:
    void PauseClockOnce();
    void EnterWait(int8_t kind);

    CTextObject& m_owner;
    uint8_t m_phase = kIdle;
    int8_t m_lastKind = 0;
    uint8_t m_finishedOnce = 0;
    uint8_t m_alreadyRead = 0;
    uint8_t m_fastForward = 0;
    uint8_t m_charTime = 0;
    uint8_t m_noWait = 0;
    uint32_t m_nextTime = 0;
    int32_t m_baseHeight = 0;
    // A character or line that did not fit: the next page starts before typing goes on.
    uint8_t m_pageFull = 0;
};

class CTextObject : public CTextPanel {
public:
    CTextObject(CMessageStore* reader, CTimerManager* tasks);
    // Takes the typing and wait-animation tasks off the task list.
    ~CTextObject() override;

    int GetType() const override { return kControlTextObject; }

    // 0 ok, 1 no reader or task list, 2 the typing task could not be registered, 3 the wait
    // animation could not be made (also 2: a voice line longer than 16 bytes).
    int StartTyping(bool flag);
    int AdvanceTyping();
    // 0; 1 no typing task; 2 an unknown code. 0 one step with all characters, 1 up to the next
    // break, 2 the rest of the page, 3 leave the pause.
    int ControlTyping(int code);
    // Drops the wait animation; the next start makes one from the sheet (null: none).
    void SetTypingAnimation(CCellSheet* sheet);
    void SetClickAdvance(bool on) { m_clickAdvance = on ? 1 : 0; }
    bool GetClickAdvance() const { return m_clickAdvance != 0; }
    void SetNamePanel(CTextPanel* panel, int displayFlag)
    {
        m_namePanel = panel;
        m_nameFlag = displayFlag;
    }
    void SetLinkedControl(CToggleButton* control) { m_linked = control; }
    const char* GetVoiceName() const { return m_voiceName; }
    void NewPage() { ResetTextCursor(true); }
    CTextPanel* NamePanel() const { return m_namePanel; }
    // Links to an object that ends are dropped: a name panel, linked control or animation sheet a
    // script deleted is none from then on.
    void ForgetObject(const void* object);
    // Every live text object forgets the object (any thread: objects end where they end).
    static void ForgetEverywhere(const void* object);

    CMessageStore* Reader() const { return m_reader; }
    CTypingTask* TypingTask() const { return m_typing; }
    CAnimTask* WaitAnimation() const { return m_anim; }
    bool IsWaitShown() const { return m_waitShown != 0; }
    CToggleButton* LinkedControl() const { return m_linked; }
    CGlyphFont* Font() const { return m_font; }

    // Whether the player asks to go on: input action 4 or 19, or a click off the main form's
    // controls.
    static bool PlayerAsksToGoOn();
    bool IsLinkedOn() const;
    void ShowWait();
    void HideWait();

private:
    int EnsureTasks();

    CMessageStore* m_reader;
    CTimerManager* m_tasks;
    CTypingTask* m_typing = nullptr;
    CAnimTask* m_anim = nullptr;
    uint8_t m_clickAdvance = 1;
    char m_voiceName[17] = {};
    CCellSheet* m_sheet = nullptr;
    uint8_t m_waitShown = 0;
    CTextPanel* m_namePanel = nullptr;
    int32_t m_nameFlag = 0;
    CToggleButton* m_linked = nullptr;
};

class CTextObjectList : public CControlSet {
public:
    // A text object over g_pScriptTextObject and g_pObjectManager, created like a text panel.
    // 0 and *out set; -2 no memory; else the panel's creation result.
    int AddTextObject(CTextObject** out, int x, int y, int width, int height, CGlyphFont* font, CGlyphFont* ruby,
                      int priority)
    {
        return AddTextObject(out, x, y, width, height, font, ruby, 0, 0, 0, priority);
    }
    // The same with the background a text panel is made with (any of the three non-zero).
    int AddTextObject(CTextObject** out, int x, int y, int width, int height, CGlyphFont* font, CGlyphFont* ruby,
                      uint8_t maskChoice, uint32_t color, uint8_t alpha, int priority);
};
