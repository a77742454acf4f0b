#include "natives/script_host.h"

#include <cstring>
#include <new>

#include "controls/control_container.h"
#include "controls/control_set.h"
#include "files/file_list.h"
#include "files/loader_thread.h"
#include "natives/caption.h"
#include "natives/game_app_link.h"
#include "natives/form_natives.h"
#include "natives/main_form.h"
#include "natives/native_table.h"
#include "natives/owned_list_natives.h"
#include "natives/register_screen_effects.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "script/tgs_frame.h"

SubtractiveRandomState g_Ran3State = {};
std::set<uint32_t> g_ScriptHeapBlocks;
CMersenneTwister* g_pMersenneTwister = nullptr;
CFileList g_ScriptFileList;
CDropFiles g_ScriptDropFiles;
COwnedList<CFileStream> g_ScriptFileStreams;
CTimerSet g_ScriptTimers;
CLoaderThread* g_pScriptLoader = nullptr;
std::vector<std::string> g_ScriptLoaderNames;
CTextObjectList g_TextObjectList;
CGameAppLink* g_pGameApp = nullptr;
CTgsFrame* g_pTgsFrame = nullptr;

CScriptHost::CScriptHost(uint32_t memorySize) : CScriptHostBase(memorySize)
{
    SeedSubtractiveRandom(g_Ran3State, static_cast<int32_t>(TimerNow()));
    for (uint32_t n = NativeCount(); n < kNativeCount; ++n)
        AddNative(GetNativeRow(n).function);
    m_sound.SetVoiceTable(&Voices());
    m_sound.SetTaskScheduler(g_pTaskList);
    g_pSoundManager = &m_sound;
    g_pScriptTextObject = &m_text;
    if (g_pGameApp != nullptr) {
        CTimerManager* tasks = g_pGameApp->GetTaskList();
        m_sound.SetTaskScheduler(tasks);
        g_TextObjectList.textInputTimers = tasks;
        g_TextObjectList.textInputIme = g_pGameApp->GetFrameImeContext();
        // The settings block's bytes 18 and 19 carry no value of their own; the control set's
        // byte pair, the page actions, takes them.
        g_TextObjectList.pageBackAction = g_pGameApp->GetSettingsByte(18);
        g_TextObjectList.pageForwardAction = g_pGameApp->GetSettingsByte(19);
    }
    g_MainForm.SetSoundManager(&m_sound);
    RegisterScreenEffects(*this);
    g_Caption.SetUp();
}

CScriptHost::~CScriptHost()
{
    // The effects work on the canvases that go with the host: they end first (the game used to
    // delete them after the canvases, and they touched freed scenes).
    g_Caption.TearDown();
    if (g_pObjectManager != nullptr)
        g_pObjectManager->CancelAll();
    delete g_pTgsFrame;
    g_pTgsFrame = nullptr;
    // The form outlives the host: it keeps none of the host's controls, scenes, fonts or sounds.
    g_MainForm.RemoveAllControls();
    g_MainForm.DetachAndSetTarget(nullptr);
    g_MainForm.SetHintFont(nullptr);
    g_MainForm.SetSoundManager(nullptr);
    g_MainForm.Reset();
    g_TextObjectList.DeleteAll();
    g_TextObjectList.ReleaseImeIndicator();
    ReleaseFormNativesScene();
    // The frame's task list and IME context were lent for this host's life.
    g_TextObjectList.textInputTimers = nullptr;
    g_TextObjectList.textInputIme = nullptr;
    g_ScriptFileList.Clear();
    g_ScriptDropFiles.Clear();
    delete g_pScriptLoader; // stops its thread
    g_pScriptLoader = nullptr;
    g_ScriptLoaderNames.clear();
    while (g_ScriptFileStreams.GetCount() != 0) // every use dropped: none outlives the host
        g_ScriptFileStreams.ReleaseAll();
    ReleaseScriptOwnedLists();
    g_ScriptTimers.Clear();
    m_settingsText.reset();
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

bool CScriptHost::SetSettingsText(const char* text)
{
    m_settingsText.reset();
    if (text == nullptr)
        return true;
    const size_t size = std::strlen(text) + 1;
    m_settingsText.reset(new (std::nothrow) char[size]);
    if (!m_settingsText)
        return false;
    std::memcpy(m_settingsText.get(), text, size);
    return true;
}
