#include "game/game_app.h"

#include "natives/script_host.h"
#include "platform/cpu_info.h"

#include "files/file_manager.h"
#include "files/path_utils.h"
#include "game/resources.h"
#include "winapi/text.h"
#include "winapi/user.h"

CGameApp* g_pTheGameApp = nullptr;

CGameApp::CGameApp()
{
    SetUserBlockDefaults(m_settings.user.user);
    SetAppConfigDefaults(&m_settings.config);
    m_settings.savedSyncMode = m_settings.user.user[kUserSyncMode];
    m_settings.savedTimerFlag = m_settings.user.user[kUserHighResTimer];
    m_description = DefaultAppDescription(m_options);
    SetScreen(&m_screenLink);
    g_pTheGameApp = this;
    g_pGameApp = this;
    g_pCosTable = &m_cosTable;
    g_pSllManager = &m_soundDecoders;
    g_pTransitionPluginManager = &m_transitions;
    g_pObjectPluginManager = &m_objectKinds;
}

CGameApp::~CGameApp()
{
    m_host.reset();
    ReleaseDevices();
    g_pKeyboard = nullptr;
    g_pMouse = nullptr;
    g_pJoystick = nullptr;
    if (m_pixelLibrary)
        SetPixelLibrary(nullptr);
    if (g_pAppConfig == &m_settings.config)
        g_pAppConfig = nullptr;
    if (g_pCosTable == &m_cosTable)
        g_pCosTable = nullptr;
    if (g_pSllManager == &m_soundDecoders)
        g_pSllManager = nullptr;
    if (g_pTransitionPluginManager == &m_transitions)
        g_pTransitionPluginManager = nullptr;
    if (g_pObjectPluginManager == &m_objectKinds)
        g_pObjectPluginManager = nullptr;
    if (g_pGameApp == this)
        g_pGameApp = nullptr;
    if (g_pTheGameApp == this)
        g_pTheGameApp = nullptr;
}

void CGameApp::Message(const char* utf8, uint8_t icon)
{
    ShowMessage(winapi::Sjis(utf8), icon, GetDesktopWindow());
}

int CGameApp::OnDevicesReady()
{
    PublishDevices();
    const std::string path = GetProgramFolder() + "tvpgl.dll";
    m_pixelLibrary.reset(LoadPixelLibrary(path.c_str(), &g_CpuInfo));
    if (m_pixelLibrary && m_pixelLibrary->module == nullptr)
        m_pixelLibrary.reset();  // not usable: the raster keeps its own paths
    SetPixelLibrary(m_pixelLibrary.get());
    LoadMovieLibraries();
    if (int failed = SetUpInput(); failed != 0)
        return failed;
    SetUpSound();
    ApplyUserBlockToLayers();
    ApplyScreenOptions();
    ApplyFrameTiming(-1);
    return 0;
}

void CGameApp::OnExit(int code)
{
    if (m_failureByte == 1)
        Message("描画オブジェクトのリストアに失敗", 4);
    else if (m_failureByte == 2)
        Message("画面モード切替に失敗", 4);
    if (m_failureByte <= 2)
        DeleteMovieObject();
    (void)code;
}

std::string CGameApp::UserCfgFolder() const
{
    switch (SaveMode()) {
    case 1: {
        const char* line = GetCommandLine();
        if (line != nullptr && line[0] == '/' && (line[1] == 'L' || line[1] == 'l'))
            return line + 2;
        return GetProgramFolder();
    }
    case 2:
        return m_userFolder;
    default:
        return m_saveFolder;
    }
}

void CGameApp::SaveSettings(int skip)
{
    if (skip != 0 || SaveMode() >= 5)
        return;
    m_settings.user.frame = m_options;
    const int result = WriteSettingsFiles(&m_settings, UserCfgFolder(), m_saveFolder);
    m_options.windowX = m_settings.user.frame.windowX;
    m_options.windowY = m_settings.user.frame.windowY;
    if (result == 1)
        Message("環境設定ファイルの保存に失敗", 4);
    else if (result == 2)
        Message("アプリケーション設定ファイルの保存に失敗", 4);
}

int CGameApp::EnableMenuItemGroup(int group, bool enable)
{
    struct Group {
        int count;
        UINT items[2];
    };
    static const Group kGroups[5] = {{2, {40005, 40006}}, {1, {40007}}, {1, {40008}}, {1, {40002}}, {1, {40001}}};
    if (group < 0 || group > 4)
        return -1;
    const uint8_t flag = enable ? 1 : 0;
    if (group == 4) {
        // Screen-mode change: only when the description allows switching at all.
        if (m_description.bytes[kSysSwitchAllowed] == 0)
            return 0;
        if (HWND window = GetMainWindow()) {
            LONG style = GetWindowLongA(window, GWL_STYLE);
            style = enable ? (style | WS_MAXIMIZEBOX) : (style & ~static_cast<LONG>(WS_MAXIMIZEBOX));
            SetWindowLongA(window, GWL_STYLE, style);
        }
    } else if (m_menuGroups[group] == flag) {
        return 0;
    }
    if (HMENU menu = GetMenuHandle()) {
        for (int i = 0; i < kGroups[group].count; ++i)
            EnableMenuItem(menu, kGroups[group].items[i], MF_BYCOMMAND | (enable ? 0u : static_cast<UINT>(MF_GRAYED)));
        if (GetMainWindow() != nullptr)
            DrawMenuBar(GetMainWindow());
    }
    m_menuGroups[group] = flag;
    return 0;
}
