// A bare application link for programs that run a script host without the game application
// (harnesses, benchmarks, test children): it answers only the save folder, and nothing else is
// there.
#pragma once

#include <string>

#include "natives/game_app_link.h"

class CSaveFolderLink : public CGameAppLink {
public:
    std::string folder; // Windows form, ending in '\'
    int StepFrame() override { return 0; }
    CActionMap* GetActionMap() override { return nullptr; }
    bool IsDialogBusy() override { return false; }
    HWND GetMainWindow() override { return nullptr; }
    bool IsMenuFlagSet(int) override { return false; }
    bool IsWindowModeAllowed() override { return false; }
    void PauseForCommand() override {}
    void ResumeAfterCommand() override {}
    CTimerManager* GetTaskList() override { return nullptr; }
    CImeContext* GetFrameImeContext() override { return nullptr; }
    uint8_t GetSettingsByte(uint32_t) override { return 0; }
    const std::string& GetSaveFolder() const override { return folder; }
};
