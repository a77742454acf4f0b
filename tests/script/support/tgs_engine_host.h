// The scenario engine's test bench: a recording link (a virtual clock stepped 16 ms a frame,
// scripted input, and a record of everything posted, saved, loaded and shown), a bare form that
// takes the choice layer's result, a memory canvas of the game's size and a frame over the
// decoder's test runtime whose scripts come from memory.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/control_container.h"
#include "controls/control_set.h"
#include "display/surface_sprite.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "platform/app_config.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "support/tgs_test_frame.h"

namespace tgsengine {

class BareForm : public CControlContainer {
public:
    ~BareForm() override { RemoveAllControls(); }
    void GetCursorPos(int* x, int* y) override
    {
        *x = 0;
        *y = 0;
    }
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

class RecordingLink : public CTgsHostLink {
public:
    int StepFrame() override
    {
        ++steps;
        action = -1; // a pushed action lasts one frame, as the game's input does
        now += stepMs;
        if (onStep)
            onStep(*this);
        return stopAfter >= 0 && steps >= stopAfter ? 0 : 1;
    }
    uint32_t Now() override { return now; }
    CControlContainer* Form() override { return form; }
    bool IsMenuGroupEnabled(int group) override { return group == 1 ? saveGroup : loadGroup; }
    uint8_t SettingsChanged() override { return settingsChanged; }
    void SetSettingsChanged(uint8_t v) override { settingsChanged = v; }
    int MouseAreaState() override { return mouseArea; }
    uint8_t MenuCommandByte() override { return menuByte; }
    bool PostWindowCommand(uint32_t id) override
    {
        posted.push_back(id);
        return postOk;
    }
    bool PostQuestion(int kind, const std::string& text) override
    {
        questions.emplace_back(kind, text);
        return postOk;
    }
    int QuestionAnswer() override { return answer; }
    bool IsThreaded() override { return threaded; }
    int32_t ScriptSetting6() override { return setting6; }
    CControlSet* ScriptControls() override { return controls; }
    void ShowCaption(const char* text) override { captions.emplace_back(text); }
    bool IsCaptionBusy() override { return false; }
    CTimedTask* CaptionTask() override { return captionTask; }
    bool HasStateSnapshot() override { return hasSnapshot; }
    bool IsInterrupted() override { return interrupted; }
    int SaveGame(int bank, int slot) override
    {
        saves.emplace_back(bank, slot);
        return onSave ? onSave(bank, slot) : saveResult;
    }
    int LoadGameSlot(int bank, int slot) override
    {
        loads.emplace_back(bank, slot);
        return onLoad ? onLoad(bank, slot) : 0;
    }
    // What a save or load of a slot does (the game's host writes and reads files); unset, nothing.
    std::function<int(int, int)> onSave, onLoad;
    int TakeStateSnapshot() override { return ++snapshots, 0; }
    int RestoreStateSnapshot() override { return ++restores, 0; }
    std::string SlotTitle(int, int) override { return slotTitle; }
    int NextRingSlot(int bank) override { return bank == 0 ? 20 : 5; }
    int LastRingSlot(int bank) override { return bank == 0 ? 19 : 9; }
    bool CountsLateFrames() override { return userLateFrames; }
    void SetLateFrameCounting(bool on) override
    {
        lateCounting = on;
        lateCountingSets.push_back(on);
    }
    // Music: every PlayBgm call (number, fade, loop); the link remembers the number as the game's
    // does (0 when stopped).
    int PlayBgm(int32_t number, uint32_t fadeTime, bool loop) override
    {
        bgmCalls.push_back({number, static_cast<int32_t>(fadeTime), loop ? 1 : 0});
        bgm = number;
        return 0;
    }
    int32_t CurrentBgm() override { return bgm; }
    int32_t bgm = 0;
    std::vector<std::array<int32_t, 3>> bgmCalls;
    // The modal screens' input: `input` is taken once (a push lasts one frame); `held` stays.
    void ReadInput(TgsInput* in) override
    {
        *in = input;
        in->held = held;
        input = TgsInput{};
    }
    TgsInput input;
    bool held = false;
    void HandleInput() override { ++inputs; }
    bool AdvancePushed() override { return std::exchange(advance, false); }
    bool SkipKeyDown() override { return skipKey; }
    bool SkipInputHeld() override { return skipHeld; }
    int MenuActionIndex(int* slot) override
    {
        *slot = actionSlot;
        return action;
    }
    void GetMousePos(int* x, int* y) override
    {
        *x = mouseX;
        *y = mouseY;
    }
    void ShowMessage(const char* text) override { messages.emplace_back(text); }
    bool WaitCommandTaken(uint32_t) override { return taken; }

    uint32_t now = 1000, stepMs = 16;
    int steps = 0, stopAfter = -1, inputs = 0;
    std::function<void(RecordingLink&)> onStep;
    CControlContainer* form = nullptr;
    CControlSet* controls = nullptr;
    bool saveGroup = true, loadGroup = true, postOk = true, threaded = false, taken = true, interrupted = false;
    bool advance = false, skipKey = false, skipHeld = false;
    // The user block's late-frame byte and the frame timer's flag as the frame leaves it.
    bool userLateFrames = false, lateCounting = false;
    std::vector<bool> lateCountingSets;
    int action = -1, actionSlot = -1, mouseArea = 0, mouseX = 0, mouseY = 0, answer = 1, saveResult = 0;
    int snapshots = 0, restores = 0;
    CTimedTask* captionTask = nullptr;
    bool hasSnapshot = false;
    uint8_t settingsChanged = 0, menuByte = 0;
    int32_t setting6 = 0;
    std::string slotTitle;
    std::vector<uint32_t> posted;
    std::vector<std::pair<int, std::string>> questions;
    std::vector<std::string> captions, messages;
    std::vector<std::pair<int, int>> saves, loads;
};

class EngineFrame : public CTgsFrame {
public:
    EngineFrame(CSobRuntime& host, CTgsHostLink* link) : CTgsFrame(host, link) {}
    std::map<std::string, std::vector<uint8_t>> files;

protected:
    bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes) override
    {
        auto it = files.find(path);
        if (it == files.end())
            return false;
        *bytes = it->second;
        return true;
    }
};

// The settings with defaults, published as the game's for the bench's life.
struct Settings {
    AppConfig config{};
    AppConfig* saved = g_pAppConfig;
    Settings()
    {
        SetAppConfigDefaults(&config);
        g_pAppConfig = &config;
    }
    ~Settings() { g_pAppConfig = saved; }
};

// The pixel library the sprites draw through, published for the bench's life.
struct PixelLibrary {
    PixelLibrary()
    {
        EXPECT_TRUE(RegisterPixelLibraryModule());
        library.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~PixelLibrary() { SetPixelLibrary(nullptr); }
    std::unique_ptr<CPixelLibrary> library;
};

struct Bench {
    PixelLibrary pixels;
    Settings settings;
    CSobRuntime rt{4u << 20};
    BareForm form;
    RecordingLink link;
    CSurfaceSprite canvas;
    std::unique_ptr<EngineFrame> frame;

    explicit Bench(bool setUp = true)
    {
        EXPECT_EQ(rt.AddNative(tgstest::SumNative), 0);
        const std::vector<uint8_t> vars = WriteSobUserVarFile(tgstest::Layout());
        EXPECT_EQ(rt.LoadUserVariables(vars.data(), vars.size(), true, true), 0);
        link.form = &form;
        EXPECT_EQ(canvas.Create(800, 600, 32, 2), 0);
        frame = std::make_unique<EngineFrame>(rt, &link);
        if (setUp) {
            EXPECT_EQ(frame->CreateMessageWindow(&canvas, &form), 0);
        }
    }
    ~Bench() { frame.reset(); }
    uint32_t VarAddress(size_t v)
    {
        uint32_t a = 0;
        EXPECT_TRUE(rt.VariableValueAddress(kSobLiveCopy, v, &a));
        return a;
    }
    uint32_t Var(size_t v, uint32_t k = 0)
    {
        uint32_t value = 0xDEADBEEF;
        rt.Memory().Load32(VarAddress(v) + 4 * k, &value);
        return value;
    }
    // Packs source as "MAIN", starts it and the scenario → RunText's result.
    int Run(const std::string& source)
    {
        frame->files["MAIN.TOB"] = tgstest::Pack(source);
        EXPECT_EQ(frame->StartScript("MAIN"), 0);
        EXPECT_EQ(frame->StartScenario(false), 0);
        return frame->RunText();
    }
};

} // namespace tgsengine
