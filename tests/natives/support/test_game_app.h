// CTestGameApp: a recording application for the host's tests, over a real application frame. It
// answers the link's questions from its fields and the frame's members (the IME context, the
// pause and resume operations) and records the calls the host and the natives make.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display/app_frame.h"
#include "natives/game_app_link.h"
#include "platform/app_config.h"
#include "platform/timer_manager.h"

class CTestGameApp : public CAppFrame, public CGameAppLink {
public:
    CTestGameApp() { g_pGameApp = this; }
    ~CTestGameApp() override
    {
        if (g_pGameApp == this)
            g_pGameApp = nullptr;
    }

    // --- the frame's operations the link runs ---
    void OnPause() override { calls.push_back("Pause"); }
    void OnResume() override { calls.push_back("Resume"); }

    // --- CGameAppLink ---
    // Runs the hook (a test's frame) when set, else answers stepAnswer.
    int StepFrame() override
    {
        ++steps;
        return onStep ? onStep() : stepAnswer;
    }
    CActionMap* GetActionMap() override { return actions; }
    bool IsDialogBusy() override { return dialogBusy; }
    HWND GetMainWindow() override { return window != nullptr ? window : CAppFrame::GetMainWindow(); }
    bool IsMenuFlagSet(int flag) override { return flag >= 0 && flag < 4 && menuFlags[flag]; }
    bool IsWindowModeAllowed() override { return windowMode; }
    void PauseForCommand() override { OnPause(); }
    void ResumeAfterCommand() override { OnResume(); }
    CTimerManager* GetTaskList() override { return hasTaskList ? &tasks : nullptr; }
    CImeContext* GetFrameImeContext() override { return &GetImeContext(); }
    uint8_t GetSettingsByte(uint32_t offset) override { return offset < sizeof settings ? settings[offset] : 0; }
    void SetScriptDrawFlag(bool on) override { scriptDrawFlag = on; }

    std::function<int()> onStep;
    int stepAnswer = 1;
    int steps = 0;
    CActionMap* actions = nullptr;
    bool dialogBusy = false;
    HWND window = nullptr; // null: the frame's own main window
    bool menuFlags[4] = {true, true, true, true};
    bool windowMode = true;
    CTimerManager tasks;
    bool hasTaskList = true;
    uint8_t settings[sizeof(AppConfig)] = {};
    std::vector<std::string> calls;
    bool scriptDrawFlag = false;
};
