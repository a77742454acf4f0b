#include "controls/control_command.h"

#include "controls/control.h"
#include "controls/control_container.h"

CControlCommand::CControlCommand(const char* text1_, int number_, const char* text2_, int32_t* activated,
                                 int32_t* highlight, int32_t* normal, const char* activateName, const char* enterName,
                                 const char* leaveName, int activateNo, int enterNo, int leaveNo)
    : text1(text1_ ? text1_ : ""), number(number_), text2(text2_ ? text2_ : ""), activatedFlag(activated),
      highlightFlag(highlight), normalFlag(normal), activateSound(activateName ? activateName : ""),
      enterSound(enterName ? enterName : ""), leaveSound(leaveName ? leaveName : ""),
      activateNumber(activateSound.empty() ? activateNo : 0), enterNumber(enterSound.empty() ? enterNo : 0),
      leaveNumber(leaveSound.empty() ? leaveNo : 0)
{
}

void CCommandHolder::SetCommand(const char* text1, int number, const char* text2, int32_t* activatedFlag,
                                int32_t* highlightFlag, int32_t* normalFlag, const char* activateSound,
                                const char* enterSound, const char* leaveSound, int activateNumber, int enterNumber,
                                int leaveNumber)
{
    m_command = std::make_unique<CControlCommand>(text1, number, text2, activatedFlag, highlightFlag, normalFlag,
                                                  activateSound, enterSound, leaveSound, activateNumber, enterNumber,
                                                  leaveNumber);
}

void PlayEventSound(CControlContainer* form, const std::string& name, int number, int fallback)
{
    if (!form)
        return;
    if (number >= 0)
        form->PlaySound(TextOrNull(name), number, 0, 0);
    else
        form->PlaySound(nullptr, fallback, 0, 0);
}

namespace {
void Play(CControlContainer* form, const std::string& name, int number, int fallback)
{
    PlayEventSound(form, name, number, fallback);
}
void Write(int32_t* flag, int32_t value)
{
    if (flag)
        *flag = value;
}
} // namespace

void FireEnterEvent(CControlContainer* form, const CControlCommand* command)
{
    if (!command) {
        Play(form, std::string(), -1, kSoundDefaultEnter);
        return;
    }
    Write(command->highlightFlag, 1);
    Write(command->normalFlag, 0);
    Play(form, command->enterSound, command->enterNumber, kSoundDefaultEnter);
}

void FireLeaveEvent(CControlContainer* form, const CControlCommand* command, bool sound)
{
    if (command) {
        Write(command->highlightFlag, 0);
        Write(command->normalFlag, 1);
    }
    if (sound)
        Play(form, command ? command->leaveSound : std::string(), command ? command->leaveNumber : -1,
             kSoundDefaultLeave);
}

void FireActivateEvent(CControlContainer* form, const CControlCommand* command, int userValue)
{
    if (!form)
        return;
    if (userValue >= 0)
        form->SetResult(userValue);
    if (!command) {
        Play(form, std::string(), -1, kSoundDefaultActivate);
        return;
    }
    Play(form, command->activateSound, command->activateNumber, kSoundDefaultActivate);
    Write(command->activatedFlag, 1);
    if (!command->text2.empty() || !command->text1.empty() || command->number != 0)
        form->OnButtonCommand(TextOrNull(command->text2), TextOrNull(command->text1), command->number);
}
