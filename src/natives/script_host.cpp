#include "natives/script_host.h"

#include "controls/control_container.h"
#include "controls/control_set.h"
#include "files/file_list.h"
#include "natives/game_app_link.h"
#include "natives/native_table.h"
#include "platform/timer_resolution.h"

SubtractiveRandomState g_Ran3State = {};
std::set<uint32_t> g_ScriptHeapBlocks;
CMersenneTwister* g_pMersenneTwister = nullptr;
CFileList g_ScriptFileList;
CControlSet g_TextObjectList;
CGameAppLink* g_pGameApp = nullptr;

CScriptHost::CScriptHost(uint32_t memorySize) : CScriptHostBase(memorySize)
{
    SeedSubtractiveRandom(g_Ran3State, static_cast<int32_t>(TimerNow()));
    for (uint32_t n = NativeCount(); n < kNativeCount; ++n)
        AddNative(GetNativeRow(n).function);
    m_sound.SetVoiceTable(&Voices());
    m_sound.SetTaskScheduler(g_pTaskList);
    g_pSoundManager = &m_sound;
    g_pScriptTextObject = &m_text;
    if (g_pGameApp != nullptr)
        g_pGameApp->SetUpCaption();
}

CScriptHost::~CScriptHost()
{
    if (g_pGameApp != nullptr) {
        g_pGameApp->TearDownCaption();
        if (CControlContainer* form = g_pGameApp->GetMainForm())
            form->RemoveAllControls();
    }
    g_TextObjectList.DeleteAll();
    g_TextObjectList.ReleaseImeIndicator();
    g_ScriptFileList.Clear();
    for (uint32_t block : g_ScriptHeapBlocks)
        Memory().Free(block);
    g_ScriptHeapBlocks.clear();
    delete g_pMersenneTwister;
    g_pMersenneTwister = nullptr;
    if (g_pScriptTextObject == &m_text)
        g_pScriptTextObject = nullptr;
    if (g_pSoundManager == &m_sound)
        g_pSoundManager = nullptr;
}
