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
#include "platform/frame_timer.h"
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
    bool GetStreamOffDefault() override { return streamOffDefault; }

    // --- strings, heap, random, files; application state ---
    uint8_t* GetUserBlock() override { return userBlock; }
    uint8_t RequestMessageDialog(const char* text, uint8_t kind, uint8_t* check, const char* title, uint8_t fit) override
    {
        calls.push_back("RequestMessageDialog " + std::to_string(kind) + " " + std::to_string(fit) + " " +
                        (title != nullptr ? title : "-") + " " + (text != nullptr ? text : ""));
        if (check != nullptr)
            *check = dialogTick;
        return dialogAnswer;
    }
    int InputTextForScript(const char* caption, const char* label, uint8_t doubleByteOnly, uint8_t maxBytes,
                           uint8_t imeOn, int32_t width, int32_t x, int32_t y) override
    {
        calls.push_back("InputTextForScript " + std::string(caption != nullptr ? caption : "-") + " " +
                        (label != nullptr ? label : "-") + " " + std::to_string(doubleByteOnly) + " " +
                        std::to_string(maxBytes) + " " + std::to_string(imeOn) + " " + std::to_string(width) + " " +
                        std::to_string(x) + " " + std::to_string(y));
        return 0;
    }

    const std::string& GetSaveFolder() const override { return saveFolder; }
    const std::string& GetInstallSourcePath() const override { return installSource; }
    CFrameTimer* GetFrameTimer() override { return &timer; }
    void SetScriptFlag(bool on) override { calls.push_back(std::string("SetScriptFlag ") + (on ? "1" : "0")); }
    void ApplyFrameTiming(int fps) override { calls.push_back("ApplyFrameTiming " + std::to_string(fps)); }
    int PushSyncOverride() override
    {
        calls.push_back("PushSyncOverride");
        return 1;
    }
    void PopSyncOverride() override { calls.push_back("PopSyncOverride"); }
    void PushTimerFlagOverride() override { calls.push_back("PushTimerFlagOverride"); }
    void PopTimerFlagOverride() override { calls.push_back("PopTimerFlagOverride"); }
    int LowerThreadPriority() override
    {
        calls.push_back("LowerThreadPriority");
        return 2;
    }
    int RestoreThreadPriority() override
    {
        calls.push_back("RestoreThreadPriority");
        return 1;
    }

    int EnableMenuItemGroup(int group, bool enable) override
    {
        calls.push_back("EnableMenuItemGroup " + std::to_string(group) + " " + (enable ? "1" : "0"));
        if (group < 0 || group > 4)
            return -1;
        menuGroups[group] = enable ? 1 : 0;
        return 0;
    }
    uint8_t GetMenuGroupFlag(int group) const override { return group >= 0 && group < 5 ? menuGroups[group] : 0; }
    uint8_t GetStopWhenInactive() const override { return stopWhenInactive; }
    void SetStopWhenInactive(uint8_t value) override { stopWhenInactive = value; }
    int SelectTargetMonitor(HWND, DWORD flags) override
    {
        calls.push_back("SelectTargetMonitor " + std::to_string(flags));
        return monitorAnswer;
    }
    uint8_t GetDisplayFlag() const override { return displayFlag; }
    int ApplyTextDisplaySettings(bool onlyIfChanged, uint8_t clearChanged, CTextPanel* frame, CTextLayer* text,
                                 CFont* font, bool applyFont, bool applyHistory) override
    {
        calls.push_back(std::string("ApplyTextDisplaySettings ") + (onlyIfChanged ? "1" : "0") + " " +
                        std::to_string(clearChanged) + " " + (frame != nullptr ? "frame" : "-") + " " +
                        (text != nullptr ? "text" : "-") + " " + (font != nullptr ? "font" : "-") + " " +
                        (applyFont ? "1" : "0") + " " + (applyHistory ? "1" : "0"));
        return 5;
    }
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
    uint8_t userBlock[17] = {0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0, 0, 2, 1, 1, 0, 1};
    uint8_t dialogTick = 0;   // the tick a message dialog leaves
    uint8_t dialogAnswer = 1;
    std::string saveFolder, installSource;
    CFrameTimer timer{60, false};
    uint8_t menuGroups[5] = {1, 0, 0, 0, 1};
    uint8_t stopWhenInactive = 0;
    int monitorAnswer = 0;
    uint8_t displayFlag = 0;
    bool streamOffDefault = false;
    bool scriptDrawFlag = false;
};
