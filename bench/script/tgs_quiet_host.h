// The scenario frame without the game around it, for the script benchmarks: a bare form and a link
// that answers everything with "nothing".
#pragma once

#include <cstdint>
#include <string>

#include "controls/control_container.h"
#include "script/tgs_host_link.h"

namespace tgsbench {

class Form : public CControlContainer {
public:
    ~Form() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override { *x = *y = 0; }
    CActionMap* GetActionMap() override { return nullptr; }
    CInputSource* GetKeyboard() override { return nullptr; }
    CInputSource* GetMouse() override { return nullptr; }
};

// A link that answers everything with "nothing": the pages are drawn without the game around them.
class QuietLink : public CTgsHostLink {
public:
    int StepFrame() override { return 1; }
    uint32_t Now() override { return 0; }
    void HandleInput() override {}
    bool AdvancePushed() override { return false; }
    bool SkipKeyDown() override { return false; }
    bool SkipInputHeld() override { return false; }
    int MenuActionIndex(int* slot) override { return *slot = -1; }
    void GetMousePos(int* x, int* y) override { *x = *y = 0; }
    void ShowMessage(const char*) override {}
    bool WaitCommandTaken(uint32_t) override { return true; }
    CControlContainer* Form() override { return form; }
    bool IsMenuGroupEnabled(int) override { return true; }
    uint8_t SettingsChanged() override { return 0; }
    void SetSettingsChanged(uint8_t) override {}
    int MouseAreaState() override { return 0; }
    uint8_t MenuCommandByte() override { return 0; }
    bool PostWindowCommand(uint32_t) override { return false; }
    bool PostQuestion(int, const std::string&) override { return false; }
    int QuestionAnswer() override { return -1; }
    bool IsThreaded() override { return false; }
    int32_t ScriptSetting6() override { return 0; }
    CControlSet* ScriptControls() override { return nullptr; }
    void ShowCaption(const char*) override {}
    bool IsCaptionBusy() override { return false; }
    CTimedTask* CaptionTask() override { return nullptr; }
    bool HasStateSnapshot() override { return false; }
    bool IsInterrupted() override { return false; }
    int SaveGame(int, int) override { return -1; }
    int LoadGameSlot(int, int) override { return -1; }
    int TakeStateSnapshot() override { return -1; }
    int RestoreStateSnapshot() override { return -1; }
    std::string SlotTitle(int, int) override { return {}; }
    int NextRingSlot(int) override { return 0; }
    int LastRingSlot(int) override { return 0; }
    int PlayBgm(int32_t, uint32_t, bool) override { return 0; }
    int32_t CurrentBgm() override { return 0; }
    void ReadInput(TgsInput* in) override { *in = TgsInput{}; }
    bool CountsLateFrames() override { return false; }
    void SetLateFrameCounting(bool) override {}
    CControlContainer* form = nullptr;
};

} // namespace tgsbench
