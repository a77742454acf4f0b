// The game's devices after the window exists: the input actions with their key table and the
// player's assignments, the sound device and its warning, and the input globals.
#include "game/apply_settings.h"
#include "game/game_app.h"
#include "game/user_settings.h"
#include "natives/script_host.h"
#include "platform/input_manager.h"
#include "winapi/text.h"
#include "winapi/user.h"

CKeyboardDevice* g_pKeyboard = nullptr;
CMouseDevice* g_pMouse = nullptr;
CJoystickDevice* g_pJoystick = nullptr;

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

void CGameApp::SetUpSound()
{
    g_pSoundList = &m_soundDevice;
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
