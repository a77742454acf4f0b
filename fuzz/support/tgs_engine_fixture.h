// The scenario engine the frame harnesses fuzz: a link whose frame step advances a clock by 16 ms,
// clicks and takes a choice line on a schedule and stops the game after a budget of steps; a bare
// form; an 800 × 600 canvas; the pixel library and default settings; a frame over the decoder's
// fuzz runtime.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/control_container.h"
#include "controls/text_layer.h"
#include "display/surface_sprite.h"
#include "files/pixel_library.h"
#include "platform/app_config.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "script/tgs_host_link.h"
#include "support/tgs_frame_fixture.h"

namespace fuzzengine {

class Form : public CControlContainer {
public:
    ~Form() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override { *x = *y = 0; }
    void SetResult(int value) override { m_result = value; }
    int TakeActivatedValue() override
    {
        const int v = m_result;
        m_result = -1;
        return v;
    }
    CActionMap* GetActionMap() override { return nullptr; }
    CInputSource* GetKeyboard() override { return nullptr; }
    CInputSource* GetMouse() override { return nullptr; }

private:
    int m_result = -1;
};

class EngineFrame;

class Link : public CTgsHostLink {
public:
    int StepFrame() override;
    uint32_t Now() override { return now; }
    CControlContainer* Form() override { return form; }
    bool IsMenuGroupEnabled(int) override { return true; }
    uint8_t SettingsChanged() override { return 0; }
    void SetSettingsChanged(uint8_t) override {}
    int MouseAreaState() override { return 0; }
    uint8_t MenuCommandByte() override { return 0; }
    bool PostWindowCommand(uint32_t) override { return true; }
    bool PostQuestion(int, const std::string&) override { return true; }
    int QuestionAnswer() override { return 0; }
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
    bool CountsLateFrames() override { return (steps & 1) != 0; }
    void SetLateFrameCounting(bool) override {}
    int PlayBgm(int32_t number, uint32_t, bool) override
    {
        bgm = number;
        return 0;
    }
    int32_t CurrentBgm() override { return bgm; }
    int32_t bgm = 0;
    void ReadInput(TgsInput* in) override
    {
        *in = input;
        input = TgsInput{};
    }
    TgsInput input;
    void HandleInput() override {}
    bool AdvancePushed() override { return (steps % clickEvery) == 0; }
    bool SkipKeyDown() override { return skipKey; }
    bool SkipInputHeld() override { return skipHeld; }
    int MenuActionIndex(int* slot) override
    {
        *slot = -1;
        return menuAt != 0 && steps == menuAt ? menuAction : -1;
    }
    void GetMousePos(int* x, int* y) override
    {
        *x = 0;
        *y = static_cast<int>(steps % 600);
    }
    void ShowMessage(const char*) override {}
    bool WaitCommandTaken(uint32_t) override { return true; }

    CTgsFrame* frame = nullptr;
    CControlContainer* form = nullptr;
    // What else a frame step does (the effect scheduler and the screen's transition); may be empty.
    std::function<void(uint32_t now)> onStep;
    uint32_t now = 0;
    int steps = 0, budget = 200, clickEvery = 3, menuAt = 0, menuAction = 0, pick = 0;
    bool skipKey = false, skipHeld = false;
};

inline int Link::StepFrame()
{
    ++steps;
    now += 16;
    if (onStep)
        onStep(now);
    if (frame != nullptr) {
        CTextLayer* layer = frame->ChoiceLayer();
        if (layer != nullptr && layer->IsVisible() && layer->GetLineCount() > 0 && steps % 4 == 0)
            layer->SelectLine(pick % layer->GetLineCount());
    }
    return steps < budget ? 1 : 0;
}

class EngineFrame : public CTgsFrame {
public:
    EngineFrame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host, link) {}
    std::vector<uint8_t> script;

protected:
    bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes) override
    {
        if (path != "MAIN.TOB")
            return false;
        *bytes = script;
        return true;
    }
};

struct Engine {
    std::unique_ptr<CPixelLibrary> library;
    AppConfig config{};
    fuzztgs::Host host; // the runtime (its test frame is not used)
    Form form;
    Link link;
    CSurfaceSprite canvas;
    std::unique_ptr<EngineFrame> frame;

    Engine()
    {
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
        SetAppConfigDefaults(&config);
        g_pAppConfig = &config;
        link.form = &form;
        if (canvas.Create(800, 600, 32, 2) != 0)
            __builtin_trap();
        frame = std::make_unique<EngineFrame>(host.rt, &link);
        link.frame = frame.get();
        if (frame->CreateMessageWindow(&canvas, &form) != 0)
            __builtin_trap();
    }
    // Plays text as the MAIN scenario: RunText again while it stops for a handler's value, at
    // most rounds times.
    void Play(const std::string& text, int rounds)
    {
        std::vector<uint8_t> file = {'T', 'O', 'B', '0', 8, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
        file.insert(file.end(), text.begin(), text.end());
        frame->script = file;
        if (frame->StartScript("MAIN") != 0 || frame->StartScenario(false) != 0)
            return;
        for (int i = 0; i < rounds; ++i) {
            const int r = frame->RunText();
            if (r <= 0 || frame->CurrentScript() == nullptr)
                break;
        }
    }
    ~Engine()
    {
        frame.reset();
        g_pAppConfig = nullptr;
        SetPixelLibrary(nullptr);
    }
};

} // namespace fuzzengine
