// CTestGameApp: a recording application for the host's tests. It answers the link's questions
// from its fields and records the calls the host and the natives make.
#pragma once

#include <string>
#include <vector>

#include "natives/game_app_link.h"

class CTestGameApp : public CGameAppLink {
public:
    CTestGameApp() { g_pGameApp = this; }
    ~CTestGameApp() override
    {
        if (g_pGameApp == this)
            g_pGameApp = nullptr;
    }

    CControlContainer* GetMainForm() override { return form; }
    void SetUpCaption() override { calls.push_back("SetUpCaption"); }
    void TearDownCaption() override { calls.push_back("TearDownCaption"); }
    HWND GetMainWindow() override { return window; }
    bool IsMenuFlagSet(int flag) override { return flag >= 0 && flag < 4 && menuFlags[flag]; }
    bool IsWindowModeAllowed() override { return windowMode; }
    void PauseForCommand() override { calls.push_back("Pause"); }
    void ResumeAfterCommand() override { calls.push_back("Resume"); }

    CControlContainer* form = nullptr;
    HWND window = nullptr;
    bool menuFlags[4] = {true, true, true, true};
    bool windowMode = true;
    std::vector<std::string> calls;
};
