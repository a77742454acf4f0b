#include "natives/tgs_natives.h"

#include <cstdio>
#include <new>
#include <string>

#include "controls/control.h"
#include "display/app_frame.h"
#include "display/image_object.h"
#include "display/path_move_task.h"
#include "natives/caption.h"
#include "natives/game_app_link.h"
#include "natives/main_form.h"
#include "natives/native_args.h"
#include "natives/save_slots.h"
#include "natives/script_helpers.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/action_map.h"
#include "platform/app_config.h"
#include "platform/frame_timer.h"
#include "platform/skip_key.h"
#include "raster/surface.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "winapi/clock.h"
#include "winapi/dinput/dinput_keys.h"
#include "winapi/text.h"

namespace {

// F1-F5 as the keyboard device codes them.
constexpr int kKeyF1 = 0x3B;
constexpr int kKeyRightShift = 0x36;
constexpr int kKeyRightControl = 0x9D;
constexpr int kKeyLeftAlt = 0x38;
constexpr int kKeyRightAlt = 0xB8;

class CTgsScriptHostLink : public CTgsHostLink {
public:
    CScriptHost* host = nullptr;

    int StepFrame() override { return g_pGameApp != nullptr ? g_pGameApp->StepFrame() : 0; }
    uint32_t Now() override { return timeGetTime(); }
    CControlContainer* Form() override { return &g_MainForm; }
    void HandleInput() override { g_MainForm.HandleInput(timeGetTime()); }
    bool AdvancePushed() override { return CTextObject::PlayerAsksToGoOn(); }
    bool SkipKeyDown() override { return IsSkipKeyDown(g_MainForm.GetKeyboard()); }
    bool SkipInputHeld() override
    {
        CActionMap* actions = g_pGameApp != nullptr ? g_pGameApp->GetActionMap() : nullptr;
        if (actions != nullptr && actions->IsPushed(kActionDecide))
            return true;
        CInputSource* mouse = g_MainForm.GetMouse();
        return mouse != nullptr && mouse->IsDown(0);
    }
    int MenuActionIndex(int* slot) override
    {
        *slot = -1;
        CActionMap* actions = g_pGameApp != nullptr ? g_pGameApp->GetActionMap() : nullptr;
        if (actions != nullptr && actions->GetActionCount() > 6) {
            const int pushed = actions->FindFirstPushed(6, actions->GetActionCount() - 6);
            if (pushed >= 6)
                return pushed - 6;
        }
        CInputSource* keys = g_MainForm.GetKeyboard();
        if (keys == nullptr || keys->IsDown(kKeyLeftAlt) || keys->IsDown(kKeyRightAlt))
            return -1;
        for (int k = 0; k < 5; ++k) {
            if (!keys->IsPushed(kKeyF1 + k))
                continue;
            *slot = k;
            const bool ctrl = g_pAppConfig != nullptr && g_pAppConfig->fastForwardKey != 0;
            return keys->IsDown(ctrl ? kKeyRightControl : kKeyRightShift) ? 3 : 4;
        }
        return -1;
    }
    void GetMousePos(int* x, int* y) override { g_MainForm.GetCursorPos(x, y); }
    bool IsMenuGroupEnabled(int group) override
    {
        return g_pGameApp == nullptr || g_pGameApp->IsMenuItemGroupEnabled(group);
    }
    uint8_t SettingsChanged() override { return g_pGameApp != nullptr ? g_pGameApp->GetSettingsChanged() : 0; }
    void SetSettingsChanged(uint8_t value) override
    {
        if (g_pGameApp != nullptr)
            g_pGameApp->SetSettingsChanged(value);
    }
    int MouseAreaState() override { return g_pGameApp != nullptr ? g_pGameApp->GetMouseAreaState() : 0; }
    uint8_t MenuCommandByte() override { return g_pGameApp != nullptr ? g_pGameApp->GetMenuCommandByte() : 0; }
    bool PostWindowCommand(uint32_t id) override { return g_pGameApp != nullptr && g_pGameApp->PostWindowCommand(id); }
    bool PostQuestion(int kind, const std::string& text) override
    {
        return g_pGameApp != nullptr && g_pGameApp->PostQuestion(kind, text.c_str());
    }
    int QuestionAnswer() override { return g_pGameApp != nullptr ? g_pGameApp->GetQuestionAnswer() : -1; }
    bool IsThreaded() override { return g_pGameApp != nullptr && g_pGameApp->IsThreaded(); }
    bool WaitCommandTaken(uint32_t ms) override { return g_pGameApp != nullptr && g_pGameApp->WaitMenuCommandTaken(ms); }
    int32_t ScriptSetting6() override { return host != nullptr ? host->SettingsWord(6) : 0; }
    CControlSet* ScriptControls() override { return &g_TextObjectList; }
    void ShowCaption(const char* text) override { g_Caption.ShowText(text, 2000); }
    bool IsCaptionBusy() override { return g_Caption.GetValidHandle() != nullptr; }
    CTimedTask* CaptionTask() override { return g_Caption.GetValidHandle(); }
    bool HasStateSnapshot() override { return host != nullptr && host->HasStateSnapshot(); }
    bool IsInterrupted() override { return g_pGameApp != nullptr && g_pGameApp->IsInterrupted(); }
    void ShowMessage(const char* text) override
    {
        if (g_pAppFrame != nullptr)
            g_pAppFrame->SendRequest(0, text, 4);
    }
    // The ring's next slot is the one a save without a number would take: such a save moves the
    // ring on.
    int SaveGame(int bank, int slot) override
    {
        if (host == nullptr)
            return -1;
        return host->SaveGame(bank, slot >= 0 && slot == ::NextRingSlot(bank) ? -1 : slot);
    }
    int LoadGameSlot(int bank, int slot) override { return host != nullptr ? host->LoadGameSlot(bank, slot) : -1; }
    int TakeStateSnapshot() override { return host != nullptr ? host->TakeStateSnapshot() : -1; }
    int RestoreStateSnapshot() override { return host != nullptr ? host->RestoreStateSnapshot() : -1; }
    std::string SlotTitle(int bank, int slot) override
    {
        std::string text;
        return GetSaveTitleText(&text, bank, slot, 2) == 0 ? text : std::string();
    }
    int NextRingSlot(int bank) override { return ::NextRingSlot(bank); }
    int LastRingSlot(int bank) override { return ::LastRingSlot(bank); }
    bool CountsLateFrames() override
    {
        const uint8_t* user = g_pGameApp != nullptr ? g_pGameApp->GetUserBlock() : nullptr;
        return user != nullptr && user[kUserBlockLateFrames] != 0;
    }
    void SetLateFrameCounting(bool on) override
    {
        CFrameTimer* timer = g_pGameApp != nullptr ? g_pGameApp->GetFrameTimer() : nullptr;
        if (timer != nullptr)
            timer->SetCountLateFrames(on);
    }

    int PlayBgm(int32_t number, uint32_t fadeTime, bool loop) override
    {
        return PlayBgmByNumber(number, fadeTime, loop ? 1 : 0);
    }
    int32_t CurrentBgm() override { return g_CurrentBgmNumber; }
    void ReadInput(TgsInput* in) override
    {
        *in = TgsInput{};
        CActionMap* actions = g_pGameApp != nullptr ? g_pGameApp->GetActionMap() : nullptr;
        auto pushed = [&](uint32_t action) { return actions != nullptr && actions->IsPushed(action); };
        CInputSource* mouse = g_MainForm.GetMouse();
        CInputSource* keys = g_MainForm.GetKeyboard();
        const bool rightPushed = mouse != nullptr && mouse->IsPushed(1);
        in->cancel = rightPushed || pushed(kActionCancel);
        in->click = mouse != nullptr && mouse->IsPushed(0);
        in->held = mouse != nullptr && mouse->IsDown(0);
        if (mouse != nullptr)
            in->wheel = mouse->IsPushed(3) ? 1 : (mouse->IsPushed(4) ? -1 : 0);
        if (keys != nullptr) {
            in->pageUp = keys->IsPushed(DIK_PRIOR);
            in->pageDown = keys->IsPushed(DIK_NEXT);
            in->home = keys->IsPushed(DIK_HOME);
            in->end = keys->IsPushed(DIK_END);
        }
        in->hide = pushed(11);
        in->lineUp = pushed(18);
        in->lineDown = pushed(19);
    }
};

CTgsScriptHostLink g_TgsLink;

void ShowRequest(const std::string& text)
{
    if (g_pAppFrame != nullptr)
        g_pAppFrame->SendRequest(0, text.c_str(), 4);
}

void DeleteFrame()
{
    delete g_pTgsFrame;
    g_pTgsFrame = nullptr;
}

} // namespace

CTgsHostLink* TgsHostLinkFor(CScriptHost* host)
{
    g_TgsLink.host = host;
    return &g_TgsLink;
}

uint32_t NativeTgsCreate(SobNativeArgs& args)
{
    const uint32_t surfaceWord = args.U32(2);
    if (args.Faulted())
        return 0;
    DeleteFrame();
    CScriptHost* host = dynamic_cast<CScriptHost*>(NativeHost(args));
    if (host == nullptr)
        return static_cast<uint32_t>(-1);
    CImageObject* canvas = nullptr;
    if (surfaceWord != 0) {
        CSurface* surface = host->Object<CSurface>(surfaceWord);
        canvas = surface != nullptr && surface->GetKind() == kSurfaceSprite ? dynamic_cast<CImageObject*>(surface) : nullptr;
        if (canvas == nullptr)
            return 1;
    }
    g_pTgsFrame = new (std::nothrow) CTgsFrame(*host, TgsHostLinkFor(host));
    if (g_pTgsFrame == nullptr)
        return static_cast<uint32_t>(-1);
    if (g_pTgsFrame->CreateMessageWindow(canvas, &g_MainForm) != 0) {
        DeleteFrame();
        return 2;
    }
    for (int i = 0; i < 6; ++i)
        g_pTgsFrame->SetStartValue(i, host->SettingsWord(i));
    g_pTgsFrame->SetScriptFolder("SCRIPT\\");
    if (g_pTgsFrame->LoadScriptTable("TGS_INIT.DAT") > 1) {
        DeleteFrame();
        return 3;
    }
    const std::string folder = g_pGameApp != nullptr ? g_pGameApp->GetSaveFolder() : std::string();
    g_pTgsFrame->SetReadLogFolder(folder.c_str());
    g_pTgsFrame->SetReadLogFile("TEXT_LOG.DAT");
    g_pTgsFrame->LoadReadLog(nullptr);
    return 0;
}

uint32_t NativeTgsDelete(SobNativeArgs&)
{
    DeleteFrame();
    return 0;
}

uint32_t NativeTgsRun(SobNativeArgs& args)
{
    const int32_t start = args.I32(0);
    const char* name = start >= 0 ? NativeOptionalString(args, 1) : nullptr;
    if (args.Faulted())
        return 0;
    CScriptHost* host = dynamic_cast<CScriptHost*>(NativeHost(args));
    if (g_pTgsFrame == nullptr) {
        ShowRequest(winapi::Utf8ToSjis("TGSフレームが初期化されていません。"));
        return 1;
    }
    CTgsFrame& frame = *g_pTgsFrame;
    // A state loaded between script steps is resumed even when a scenario is named.
    const bool resume = start < 0 || frame.StateReplaced() != 0;
    if (!resume && frame.StartScript(name) != 0) {
        char text[512];
        std::snprintf(text, sizeof text, winapi::Utf8ToSjis("TGSスクリプト「%s」のロードに失敗。").c_str(),
                      name != nullptr ? name : "");
        ShowRequest(text);
        return 2;
    }
    int r = frame.StartScenario(resume);
    if (r == 0)
        r = frame.RunText();
    if (host != nullptr && host->RetTgsExpAddress() != 0)
        host->Memory().Store32(host->RetTgsExpAddress(), static_cast<uint32_t>(r));
    if (r == -1) {
        if (frame.Link() == nullptr || !frame.Link()->IsInterrupted())
            return 1;
        frame.ResetScreenCanvas();
        frame.ClearScene();
        return 0;
    }
    if (r == 4) {
        // No request is pending before the transition side exists.
        return 0;
    }
    if (r > 0)
        frame.ResetScreenCanvas();
    frame.ClearScene();
    return 0;
}

uint32_t NativeTgsSetStartValue(SobNativeArgs& args)
{
    const uint32_t selector = args.U32(0);
    const int32_t value = args.I32(1);
    if (args.Faulted())
        return 0;
    CScriptHost* host = dynamic_cast<CScriptHost*>(NativeHost(args));
    if (host != nullptr && selector <= 6)
        host->SetSettingsWord(static_cast<int>(selector), value);
    return 0;
}
