// The game's devices after the window exists: the globals of the frame's members, the movie
// libraries, the input actions with their key table and the player's assignments, the sound
// device and its warning, the input globals and the user block's options of the lower layers.
#include "drawing/scene.h"
#include "effects/layer_effect.h"
#include "files/gll_manager.h"
#include "game/apply_settings.h"
#include "game/game_app.h"
#include "game/thread_priority.h"
#include "game/user_settings.h"
#include "natives/script_host.h"
#include "platform/font_settings.h"
#include "platform/input_manager.h"
#include "script/tgs_frame.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

constexpr uint32_t kGameActionCount = kFirstAssignedAction + kAssignedActionCount;

// The fixed keyboard bindings (DirectInput key codes): the four directions, then the decision
// and cancel actions.
struct KeyTableEntry {
    uint32_t action;
    uint8_t code;
};
constexpr KeyTableEntry kKeyTable[] = {
    {0, 0xC8}, {0, 0x48},  // up, numeric pad 8
    {1, 0xD0}, {1, 0x50},  // down, numeric pad 2
    {2, 0xCB}, {2, 0x4B},  // left, numeric pad 4
    {3, 0xCD}, {3, 0x4D},  // right, numeric pad 6
    {4, 0x1C}, {4, 0x9C},  // Return, numeric pad Enter
    {5, 0x01},             // Escape
};

} // namespace

int CGameApp::SetUpInput()
{
    CInputManager& input = GetInput();
    if (input.CreateActionMap(kGameActionCount, &m_actionMap) != 0) {
        m_actionMap = nullptr;
        Message("仮想入力デバイスの作成に失敗", 4);
        return 2;
    }
    if (input.GetKeyboard() == nullptr || input.GetMouse() == nullptr) {
        Message("入力デバイスの初期化に失敗", 4);
        return 1;
    }
    g_pKeyboard = input.GetKeyboard();
    g_pMouse = input.GetMouse();
    g_pJoystick = input.GetJoystick(0);
    for (const KeyTableEntry& entry : kKeyTable)
        m_actionMap->Bind(entry.action, 0, entry.code);
    ApplyKeyAssignments();
    ApplyJoystickAssignments();
    return 0;
}

void CGameApp::ApplyKeyAssignments()
{
    if (m_actionMap == nullptr)
        return;
    CScopedLock guard(GetFrameLock());
    ::ApplyKeyAssignments(*m_actionMap, Config());
}

void CGameApp::ApplyJoystickAssignments()
{
    if (m_actionMap == nullptr)
        return;
    CScopedLock guard(GetFrameLock());
    ::ApplyJoystickAssignments(GetInput(), *m_actionMap, Config(), m_mouseActions);
}

bool CGameApp::ApplySoundSettings()
{
    if (m_host == nullptr)
        return false;
    CSoundPlayer& sound = m_host->SoundPlayer();
    const VoiceTable* voices = sound.GetVoiceTable();
    return ::ApplySoundSettings(&sound, Config(), true, voices != nullptr && !voices->characters.empty());
}

int CGameApp::ApplyTextDisplaySettings(bool onlyIfChanged, uint8_t clearChanged, CTextPanel* frame, CTextLayer* text,
                                       CFont* font, bool applyFont, bool applyHistory)
{
    // While a scenario frame exists it applies its own window, fonts and backlog.
    if (g_pTgsFrame != nullptr)
        return g_pTgsFrame->ApplyDisplaySettings(true, applyFont, applyHistory, onlyIfChanged, clearChanged != 0);
    TextDisplayTargets targets;
    targets.frame = frame;
    targets.text = text;
    targets.font = font;
    targets.applyFont = applyFont;
    targets.applyHistory = applyHistory;
    targets.history = m_host != nullptr ? &m_host->TextObject() : nullptr;
    return ::ApplyTextDisplaySettings(Config(), &m_settingsChanged, onlyIfChanged, targets);
}

void CGameApp::SetUpSound()
{
    // The buffers the scripts and the sound manager load reach the device through g_pSoundDevice.
    g_pSoundList = &m_soundDevice;
    g_pSoundDevice = &m_soundDevice;
    if (m_soundDevice.CreateDevice(GetMainWindow(), false, false, nullptr) == 0 || m_soundWarned)
        return;
    uint8_t& warn = UserBlock()[kUserWarnNoSound];
    if (warn == 0)
        return;
    // Shown once per run; a host box has no "do not show again" tick, so the flag stays set.
    m_soundWarned = true;
    ShowMessageDialog("サウンドカードが正常に接続されていないか\n対応していないため、DirectSoundを利用できません。\n"
                      "サウンドを再生できません。",
                      MB_OK | MB_ICONWARNING);
}

int CGameApp::ShowMessageDialog(const char* utf8, UINT buttons)
{
    return MessageBoxA(GetMainWindow(), winapi::Sjis(utf8), GetName(), buttons);
}

void CGameApp::PublishDevices()
{
    // The file manager, the image loaders and the sound decoders are published under the names
    // the lower layers read (g_pFileManager, g_pGllManager, g_pSllManager) by their owners'
    // constructors; the sound list by the sound set-up.
    g_pDisplay = &m_screenObject;
    g_pTaskList = &m_taskList;
    g_pObjectManager = &m_objectManager;
}

void CGameApp::LoadMovieLibraries()
{
    struct Slot {
        std::unique_ptr<CMovieLibrary>* library;
        MovieLibraryKind kind;
    };
    const Slot slots[] = {
        {&m_spriteLibrary, MovieLibraryKind::Sprite},
        {&m_primLibrary, MovieLibraryKind::Primitive},
        {&m_movieLibrary, MovieLibraryKind::Window},
    };
    const std::string folder = GetProgramFolder();
    for (const Slot& slot : slots) {
        slot.library->reset(LoadMovieLibrary(folder.c_str(), slot.kind));
        if (*slot.library && (*slot.library)->module == nullptr)
            slot.library->reset();
        PublishMovieLibrary(slot.kind, slot.library->get());
    }
}

CMovieLibrary* CGameApp::MovieLibrary(MovieLibraryKind kind) const
{
    switch (kind) {
    case MovieLibraryKind::Sprite: return m_spriteLibrary.get();
    case MovieLibraryKind::Primitive: return m_primLibrary.get();
    case MovieLibraryKind::Window: return m_movieLibrary.get();
    }
    return nullptr;
}

void CGameApp::ApplyUserBlockToLayers()
{
    const uint8_t* user = UserBlock();
    g_bBandedRedraw = user[kUserDrawFlag8];
    g_bMergeUpdateRects = user[kUserDrawFlag16];
    g_bKeepEffectPriority = user[kUserKeepPriority];
    g_GlyphCacheLimit = static_cast<uint32_t>(user[kUserDrawLimit] | (user[kUserDrawLimit + 1] << 8));
    // The image cache in megabytes: 0 → automatic (-1), 1 → off, v → (v - 1) × 4.
    const int v = user[kUserImageLoaderOption] - 1;
    if (g_pGllManager != nullptr)
        g_pGllManager->SetCacheBudgetFromMemory(v > 0 ? v * 4 : v);
}

void CGameApp::ReleaseDevices()
{
    if (g_pDisplay == &m_screenObject)
        g_pDisplay = nullptr;
    if (g_pTaskList == &m_taskList)
        g_pTaskList = nullptr;
    if (g_pObjectManager == &m_objectManager)
        g_pObjectManager = nullptr;
    // The holders clear their own globals.
    m_spriteLibrary.reset();
    m_primLibrary.reset();
    m_movieLibrary.reset();
    InstallThreadPriorityHooks(false);
}
