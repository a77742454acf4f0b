// CControlCommand: the record of texts, flag pointers and sounds that a button reports through
// when it is highlighted, left or activated; and the three event steps that every button-like
// control shares (flags written, form asked for the sound, result and command).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

class CControlContainer;

class CControlCommand {
public:
    // Texts are copied (null or empty: none); a given sound name stores its number as 0.
    CControlCommand(const char* text1, int number, const char* text2, int32_t* activatedFlag, int32_t* highlightFlag,
                    int32_t* normalFlag, const char* activateSound, const char* enterSound, const char* leaveSound,
                    int activateNumber, int enterNumber, int leaveNumber);
    virtual ~CControlCommand() = default;

    std::string text1;
    int32_t number = 0;
    std::string text2;
    int32_t* activatedFlag = nullptr;
    int32_t* highlightFlag = nullptr;
    int32_t* normalFlag = nullptr;
    std::string activateSound;
    std::string enterSound;
    std::string leaveSound;
    int32_t activateNumber = -1;
    int32_t enterNumber = -1;
    int32_t leaveNumber = -1;
};

// The owned command record of a button-like control.
class CCommandHolder {
public:
    // Replaces the record (texts copied; a given sound name stores its number as 0).
    void SetCommand(const char* text1, int number, const char* text2, int32_t* activatedFlag, int32_t* highlightFlag,
                    int32_t* normalFlag, const char* activateSound, const char* enterSound, const char* leaveSound,
                    int activateNumber, int enterNumber, int leaveNumber);
    void ClearCommand() { m_command.reset(); }
    // The same two under the names the sprite-drawn buttons use.
    template <class... Args>
    void SetEvents(Args&&... args)
    {
        SetCommand(std::forward<Args>(args)...);
    }
    void DeleteEvents() { ClearCommand(); }
    const CControlCommand* GetEvents() const { return m_command.get(); }

protected:
    std::unique_ptr<CControlCommand> m_command;
};

// Null for an empty text.
inline const char* TextOrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// number >= 0: (name or null, number); else (null, fallback). Nothing without a form.
void PlayEventSound(CControlContainer* form, const std::string& name, int number, int fallback);
// Highlight flag 1, normal flag 0, the enter sound (default -3). form may be null (no request).
void FireEnterEvent(CControlContainer* form, const CControlCommand* command);
// Highlight flag 0, normal flag 1, the leave sound (default -2) when sound is set.
void FireLeaveEvent(CControlContainer* form, const CControlCommand* command, bool sound);
// SetResult (userValue >= 0), the activate sound (default -4), activated flag 1, OnButtonCommand
// when the record carries a text or a non-zero number. Nothing without a form.
void FireActivateEvent(CControlContainer* form, const CControlCommand* command, int userValue);
