#include "natives/script_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/image_object.h"
#include "files/file_manager.h"
#include "natives/game_app_link.h"
#include "natives/script_host_base.h"
#include "platform/decimal_text.h"
#include "platform/timer_manager.h"
#include "raster/image.h"
#include "sound/sound_fade_tasks.h"
#include "sound/sound_player.h"
#include "winapi/kernel.h"
#include "winapi/user.h"

std::string g_LoadFileName;
int32_t g_CurrentBgmNumber = 0;

int CopyTextToClipboard(const char* text, uint32_t size)
{
    if (text == nullptr)
        return 1;
    if (size == 0)
        size = static_cast<uint32_t>(std::strlen(text) + 1);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (block == nullptr)
        return 2;
    void* bytes = GlobalLock(block);
    std::memcpy(bytes, text, size);
    GlobalUnlock(block);
    OpenClipboard(nullptr);
    EmptyClipboard();
    if (SetClipboardData(CF_TEXT, block) == nullptr)
        GlobalFree(block);
    CloseClipboard();
    return 0;
}

namespace {

// The system-menu requests: message, command word, and the condition that allows it.
enum class MenuCondition { None, Flag0, Flag1, Flag2, Flag3, WindowMode, Command };
struct MenuRequest {
    UINT message;
    WPARAM command;
    MenuCondition condition;
};
constexpr MenuRequest kMenuRequests[8] = {
    {WM_COMMAND, 40005, MenuCondition::Flag0},
    {WM_COMMAND, 40007, MenuCondition::Flag1},
    {WM_COMMAND, 40008, MenuCondition::Flag2},
    {WM_CLOSE, 0, MenuCondition::None},
    {WM_COMMAND, 40001, MenuCondition::WindowMode},
    {WM_COMMAND, 40004, MenuCondition::None},
    {WM_COMMAND, 40002, MenuCondition::Flag3},
    {0x9009, 0, MenuCondition::Command}, // the given command, refused when 0
};

} // namespace

int PostSystemMenuCommand(uint8_t request, bool synchronous, uint32_t command)
{
    CGameAppLink* app = g_pGameApp;
    if (app == nullptr || request >= 8)
        return 0;
    const MenuRequest& row = kMenuRequests[request];
    WPARAM wParam = row.command;
    switch (row.condition) {
    case MenuCondition::None:
        break;
    case MenuCondition::WindowMode:
        if (!app->IsWindowModeAllowed())
            return 0;
        break;
    case MenuCondition::Command:
        if (command == 0)
            return 0;
        wParam = command;
        break;
    default:
        if (!app->IsMenuFlagSet(static_cast<int>(row.condition) - static_cast<int>(MenuCondition::Flag0)))
            return 0;
        break;
    }
    HWND window = app->GetMainWindow();
    if (!synchronous)
        return PostMessageA(window, row.message, wParam, 0) ? 1 : 0;
    app->PauseForCommand();
    SendMessageA(window, row.message, wParam, 0);
    app->ResumeAfterCommand();
    return 1;
}

void SetLoadFileName(const char* name)
{
    g_LoadFileName = name != nullptr ? name : "";
}

int PlayBgmByNumber(int32_t number, uint32_t fadeTime, int32_t loop)
{
    CSoundPlayer* sound = g_pSoundManager;
    if (number == g_CurrentBgmNumber) {
        if (number == 0 && sound != nullptr)
            sound->StopMusic();
        return 0;
    }
    g_CurrentBgmNumber = number;
    if (sound == nullptr)
        return 0;
    CTimerManager* scheduler = sound->GetTaskScheduler();
    if (number == 0) {
        if (fadeTime == 0 || scheduler == nullptr)
            sound->StopMusic();
        else
            CMusicFadeOutTask::Start(scheduler, sound, sound->GetActiveSlot(), fadeTime);
        return 0;
    }
    char main[MAX_PATH], intro[MAX_PATH], found[MAX_PATH];
    std::snprintf(main, sizeof main, "BGM\\BGM%02d.OGG", number);
    intro[0] = '\0';
    WIN32_FIND_DATAA data;
    const int where = g_pFileManager != nullptr ? g_pFileManager->FindFileOrEntry(found, main, &data) : 2;
    if (where > 0) {
        std::snprintf(main, sizeof main, "BGM\\BGM%02dB.OGG", number);
        std::snprintf(intro, sizeof intro, "BGM\\BGM%02dA.OGG", number);
    } else if (where == 0) {
        std::snprintf(main, sizeof main, "%s", found); // a loose file: its full path
    }
    const char* introName = intro[0] != '\0' ? intro : nullptr;
    if (fadeTime == 0 || scheduler == nullptr)
        return sound->PlayMusic(main, introName, loop != 0) > 0 ? 1 : 0;
    if (sound->IsMusicPlaying())
        CMusicCrossFadeTask::Start(scheduler, sound, main, introName, -1, fadeTime, fadeTime);
    else
        CMusicFadeInTask::Start(scheduler, sound, sound->GetActiveSlot(), main, introName, loop != 0, fadeTime);
    return 0;
}

int StartBgmDuckTask(int32_t channel, const char* ratioText, int32_t duckingSetting)
{
    if (g_pSoundManager == nullptr)
        return 1;
    double ratio;
    if (ratioText != nullptr)
        ratio = ReadDecimalText(ratioText, 0.0);
    else
        ratio = duckingSetting == 50 ? -1.0 : duckingSetting * 0.01;
    return g_pSoundManager->StartVoiceDucking(g_pSoundManager->GetTaskScheduler(), channel, ratio);
}

CTimedTask* FindObject(int32_t kind)
{
    return g_pObjectManager != nullptr ? g_pObjectManager->FindKind(kind) : nullptr;
}

int RemoveObject(CScriptHostBase& host, uint32_t cell)
{
    if (cell == 0)
        return 0;
    uint32_t handle = 0;
    if (!host.Memory().Load32(cell, &handle) || !host.Memory().Store32(cell, 0))
        return -1;
    // The cell held a raw address in the original; a stale or foreign handle finds nothing here.
    CTimedTask* task = host.Object<CTimedTask>(handle);
    if (task == nullptr || g_pObjectManager == nullptr)
        return 0;
    return g_pObjectManager->Cancel(task) ? 1 : 0;
}
