// The game's start-up: decoders, archives, the application files, the save folder and the
// player's settings, in the order the game has always used.
#include <cstdio>
#include <cstring>
#include <memory>

#include "effects/effect_rows.h"
#include "files/gll_manager.h"
#include "files/kpk_archive.h"
#include "files/ogg_decoder.h"
#include "files/path_utils.h"
#include "files/read_stream.h"
#include "files/shell_dialogs.h"
#include "files/spi_plugin.h"
#include "game/game_app.h"
#include "game/thread_priority.h"
#include "winapi/kernel.h"
#include "winapi/registry.h"
#include "winapi/shell.h"
#include "winapi/text.h"

namespace {

constexpr const char kCreateFailed[] =
    "%s\nセーブデータ作成フォルダの作成に失敗しました。\nセーブデータの作成、アプリケーション設定の保存を行うことができません。";
constexpr const char kAskSaveData[] =
    "%s\nに、「%s」のセーブデータを作成します。\n作成するセーブファイルと同名のファイルが存在する場合、\n上書きされる可能性があります。\nよろしいですか？";
constexpr const char kAskSettings[] =
    "%s\nに、「%s」の環境設定データを作成します。\n作成する設定ファイルと同名のファイルが存在する場合、上書きされます。\nよろしいですか？";
constexpr const char kMoveOrRename[] =
    "%s\nを移動させるか名前を変更して、セーブデータを保存できる状態にしてから、\n「%s」を再度、実行して下さい。";
constexpr const char kFolderMissing[] =
    "%s\nセーブデータ作成フォルダが見つかりません。\n新しくセーブデータ作成フォルダを設定しますか？";
constexpr const char kNoFolder[] =
    "セーブデータ作成フォルダが設定されていないため、ゲームを起動できません。";
constexpr const char kBrowsePrompt[] = "「%s」のセーブデータを作成するフォルダを選択して下さい。";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::string Format(const char* utf8Format, const std::string& a, const std::string& b = std::string())
{
    const std::string format = winapi::Utf8ToSjis(utf8Format);
    std::string out;
    int which = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += which++ == 0 ? a : b;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

// The folder of a shell folder id, or empty.
std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE))
        return std::string();
    return path;
}

} // namespace

std::string CGameApp::HostPath(const std::string& windowsPath)
{
    std::string onDisk;
    return winapi::ResolvePath(windowsPath.c_str(), &onDisk) ? onDisk : winapi::SjisToUtf8(windowsPath);
}

bool CGameApp::LoadGameFile(const char* name, std::vector<uint8_t>* out, std::string* why)
{
    char path[MAX_PATH] = {};
    int code = 0;
    std::string cause;
    const std::string full = std::string(g_BaseFolder) + name;
    auto fail = [&](const std::string& text) {
        if (why != nullptr)
            *why = text;
        return false;
    };
    if (!m_baseFolderTooLong.empty())
        return fail(m_baseFolderTooLong);
    if (full.size() >= MAX_PATH)
        return fail(HostPath(full) + ": path too long (" + std::to_string(full.size()) + " characters; at most " +
                    std::to_string(MAX_PATH - 1) + ")");
    std::unique_ptr<CReadStream> stream(g_pFileManager->Open(name, path, &code, true));
    if (!stream) {
        // A file of the scripts' folder would have come from SCRIPT.KPK: its damage is the cause.
        if (!m_archiveFailure.empty() && std::strncmp(name, "SCRIPT\\", 7) == 0)
            return fail(m_archiveFailure);
        static const char* const kCauses[] = {"cannot open", "no decoder", "cannot open", "not found",
                                              "cannot open", "bad name", "cannot seek", "read failed",
                                              "out of memory"};
        const char* text = code >= 0 && code < 9 ? kCauses[code] : "cannot open";
        return fail(HostPath(full) + ": " + text);
    }
    const DWORD size = stream->GetSize();
    if (size > (16u << 20))
        return fail(HostPath(path) + ": larger than 16 MiB");
    out->resize(size);
    if (size != 0 && stream->Read(out->data(), size) != size)
        return fail(HostPath(path) + ": read failed");
    return true;
}

void CGameApp::StartFailure(const char* what, const std::string& cause)
{
    std::fprintf(stderr, "tessaro: cannot read %s: %s\n", what, cause.c_str());
}

void CGameApp::MessageWithFolder(const char* utf8Format, const std::string& folder, uint8_t icon)
{
    ShowMessage(Format(utf8Format, folder, GetName()).c_str(), icon, GetDesktopWindow());
}

bool CGameApp::AskWithFolder(const char* utf8Format, const std::string& folder)
{
    return AskYesNo(Format(utf8Format, folder, GetName()).c_str(), 3, GetDesktopWindow());
}

std::string CGameApp::SaveFolderName() const
{
    return m_info.saveName.empty() ? m_info.name + " SaveData" : m_info.saveName;
}

int CGameApp::LoadAppFiles()
{
    std::vector<uint8_t> bytes;
    std::string why;
    const std::string sysPath = HostPath(std::string(g_BaseFolder) + "SCRIPT\\KW_APP.SYS");
    if (!LoadGameFile("SCRIPT\\KW_APP.SYS", &bytes, &why) || !ParseAppSys(bytes.data(), bytes.size(), &m_description)) {
        Message("アプリケーション設定ファイルの読み込みに失敗", 4);
        StartFailure("application settings", why.empty() ? sysPath + ": damaged (wrong size or fields)" : why);
        return 1;
    }
    ApplyAppDescription(&m_description, &m_options);
    // A screen no window can hold is refused here, where the file that asks for it is known.
    if (m_options.screenWidth == 0 || m_options.screenHeight == 0 || m_options.screenWidth > kMaxScreenSide ||
        m_options.screenHeight > kMaxScreenSide) {
        Message("アプリケーション設定ファイルの読み込みに失敗", 4);
        StartFailure("application settings", sysPath + ": screen " + std::to_string(m_options.screenWidth) + "x" +
                                                  std::to_string(m_options.screenHeight) + " is out of range (1 to " +
                                                  std::to_string(kMaxScreenSide) + " pixels a side)");
        return 1;
    }
    if (!LoadGameFile("SCRIPT\\KW_APP.INF", &bytes, &why) || !ParseAppInf(bytes.data(), bytes.size(), &m_info)) {
        Message("アプリケーション情報ファイルの読み込みに失敗", 4);
        StartFailure("application information",
                     why.empty() ? HostPath(std::string(g_BaseFolder) + "SCRIPT\\KW_APP.INF") + ": damaged" : why);
        return 2;
    }
    m_options.versionMajor = m_info.version[0];
    m_options.versionMinor = m_info.version[1];
    m_options.revision = m_info.version[2];
    SetAppStrings(m_info.name.c_str(), m_info.title.c_str(), m_info.notice.c_str(), m_info.web.c_str(),
                  m_info.saveName.c_str());
    if (m_description.bytes[kSysMode1AsMode0] != 0 && m_description.bytes[kSysSaveMode] == 1)
        m_description.bytes[kSysSaveMode] = 0;
    return 0;
}

// Makes the folder ready to hold USER.CFG (a copy of the game's default one) → 0, or 3 when the
// player refused.
int CGameApp::PrepareUserFolder(const std::string& folder)
{
    const std::string defaults = std::string(g_BaseFolder) + "USER.CFG";
    const std::string target = WithSlash(folder) + "USER.CFG";
    if (!Exists(folder)) {
        if (!CreateDirectoryA(folder.c_str(), nullptr))
            MessageWithFolder(kCreateFailed, folder, 4);
    } else if (!Exists(target)) {
        if (!AskWithFolder(SaveMode() == 2 ? kAskSettings : kAskSaveData, folder)) {
            MessageWithFolder(kMoveOrRename, folder, 1);
            return 3;
        }
    } else {
        return 0;
    }
    CopyFileA(defaults.c_str(), target.c_str(), FALSE);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return 0;
}

int CGameApp::LoadUserCfg(const std::string& folder)
{
    std::vector<uint8_t> bytes;
    std::string why;
    const std::string windowsPath = (folder.empty() ? std::string(g_BaseFolder) : WithSlash(folder)) + "USER.CFG";
    bool read = folder.empty() ? LoadGameFile("USER.CFG", &bytes, &why)
                               : ReadWholeGameFile(WithSlash(folder) + "USER.CFG", &bytes);
    m_settings.user.frame = m_options;
    if (!read || ParseUserCfg(bytes.data(), bytes.size(), &m_settings.user) != 0) {
        Message("環境設定ファイルの読み込みに失敗", 4);
        StartFailure("the player's settings",
                     !why.empty() ? why : HostPath(windowsPath) + (read ? ": damaged (wrong size)" : ": cannot read"));
        return 3;
    }
    m_options = m_settings.user.frame;
    const uint8_t* user = m_settings.user.user;
    m_syncDisplayFlag = user[kUserSyncMode] == 0;
    m_settings.savedSyncMode = user[kUserSyncMode];
    m_settings.savedTimerFlag = user[kUserHighResTimer];
    return 0;
}

// Mode 2: the remembered folder, or a new one the player picks → 0, or 4.
int CGameApp::ChooseSaveFolder(std::string* folder, bool* chosen)
{
    const std::string remembered = m_settings.user.chosenFolder;
    if (!remembered.empty()) {
        if (Exists(remembered)) {
            *folder = remembered;
            return 0;
        }
        if (!AskWithFolder(kFolderMissing, remembered)) {
            Message(kNoFolder, 2);
            return 4;
        }
    }
    char picked[MAX_PATH] = {};
    const std::string prompt = Format(kBrowsePrompt, GetName());
    BrowseForFolder(nullptr, prompt.c_str(), SpecialFolder(CSIDL_PERSONAL).c_str(), picked);
    if (picked[0] == '\0') {
        Message(kNoFolder, 2);
        return 4;
    }
    std::string path = WithSlash(picked) + SaveFolderName();
    if (!Exists(path)) {
        if (!CreateDirectoryA(path.c_str(), nullptr)) {
            MessageWithFolder(kCreateFailed, path, 4);
            Message(kNoFolder, 2);
            return 4;
        }
    } else if (!AskWithFolder(kAskSaveData, path)) {
        MessageWithFolder(kMoveOrRename, path, 1);
        return 4;
    }
    m_settings.user.chosenFolder = path;
    *folder = path;
    *chosen = true;
    return 0;
}

void CGameApp::ReadInstallRecord()
{
    m_installInfo = 0;
    std::vector<uint8_t> bytes;
    std::string key;
    uint8_t perUser = 0;
    if (!LoadGameFile("SET_UP.IFG", &bytes) || !ParseSetupIfg(bytes.data(), bytes.size(), &key, &perUser))
        return;
    // The stand-in keeps no per-user registries: the machine's uninstall key is read.
    const std::string path = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return;
    uint8_t info[8] = {};
    DWORD size = sizeof info;
    if (RegQueryValueExA(handle, "RvkInstallInfo", nullptr, nullptr, info, &size) == ERROR_SUCCESS && size >= 2)
        m_installInfo = info[1];
    char source[513] = {};
    size = 512;
    if (RegQueryValueExA(handle, "RvkInstallSrcPath", nullptr, nullptr, reinterpret_cast<BYTE*>(source), &size) ==
        ERROR_SUCCESS)
        m_installSource.assign(source, strnlen(source, std::min<DWORD>(size, 512)));
    RegCloseKey(handle);
}

void CGameApp::ApplyDisplayOptions()
{
    AppConfig& c = m_settings.config;
    // Values from the file are checked here, where they are used.
    if (c.resolutionMethod > 2)
        c.resolutionMethod = 0;
    if (c.enlargedDrawing > 3)
        c.enlargedDrawing = 0;
    if (c.resolutionMethod == 0)
        c.resolutionMethod = m_displayCapable ? 1 : 2;
    if (c.enlargedDrawing == 0)
        c.enlargedDrawing = m_displayCapable ? 1 : 2;
    m_ddrawResolution = c.resolutionMethod == 2;
}

int CGameApp::SetAppInfo()
{
    // 1-4. Decoders of images, archives and sounds, and the plug-ins of "plugin".
    RegisterBuiltinImageLoaders(*g_pGllManager);
    g_pGllManager->LoadFolder("plugin");
    g_pFileManager->RegisterDecoder(new CKpkDecoder, "KPK", "KPK format", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    g_pFileManager->LoadDecoderFolder("plugin");
    RegisterOggDecoder(m_soundDecoders);
    m_soundDecoders.LoadFolder("plugin");
    LoadSPIFolder("plugin", true, true);
    // 5. Effects and long loads lower the game thread's priority while they run.
    InstallThreadPriorityHooks(true);
    // 6-7. The named transitions and the game's effect kinds.
    RegisterRows(m_transitions, GameTransitionRows());
    RegisterRows(m_objectKinds, GameEffectRows());
    // 8. "/L" names the game folder.
    const char* line = GetCommandLine();
    m_baseFolderTooLong.clear();
    m_archiveFailure.clear();
    if (line != nullptr && line[0] == '/' && (line[1] == 'L' || line[1] == 'l') && SetBaseFolder(line + 2) != 0) {
        // The program's own folder stood in for it, and its files were reported missing.
        const size_t length = std::strlen(line + 2);
        m_baseFolderTooLong = HostPath(line + 2) + ": path too long (" + std::to_string(length) +
                              " characters; at most " + std::to_string(MAX_PATH - 2) + ")";
    }
    // 9. Archives: the patches, newest last, then the scripts.
    m_patches = 0;
    if (g_pFileManager->Mount("PATCH.KPK", -2, false, true, nullptr) == 0) {
        m_patches = 1;
        for (int n = 2;; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "PATCH%d.KPK", n);
            if (g_pFileManager->Mount(name, -2, false, false, nullptr) != 0)
                break;
            ++m_patches;
        }
    }
    if (const int code = g_pFileManager->Mount("SCRIPT.KPK", -2, true, true, nullptr);
        code != ADL_OK && code != ADL_BAD_PATH) {
        const char* cause = code == 1   ? "archive damaged (not a KPK archive, or its index check failed)"
                            : code == 7 ? "archive damaged (header or index cut short)"
                            : code == 8 ? "out of memory"
                                        : "cannot open";
        m_archiveFailure = HostPath(std::string(g_BaseFolder) + "SCRIPT.KPK") + ": " + cause;
    }
    // 10-12. The application files.
    if (const int code = LoadAppFiles())
        return code;
    // 13-14. The folder of USER.CFG, and the settings in it.
    const uint8_t mode = SaveMode();
    const std::string name = SaveFolderName();
    std::string folder;
    if (mode == 0)
        folder = SpecialFolder(CSIDL_PERSONAL) + "\\" + name;
    else if (mode == 2 || mode == 3)
        folder = SpecialFolder(CSIDL_APPDATA) + "\\" + name;
    else if (mode == 4) {
        const std::string common = SpecialFolder(CSIDL_COMMON_APPDATA);
        folder = (common.empty() ? SpecialFolder(CSIDL_APPDATA) : common) + "\\" + name;
    }
    if (!folder.empty()) {
        if (PrepareUserFolder(folder) != 0)
            return 3;
        m_userFolder = WithSlash(folder);
    }
    if (LoadUserCfg(folder) != 0)
        return 3;
    // 15-16. The save folder.
    bool chosen = false;
    std::string save = folder;
    if (mode == 1) {
        save = std::string(g_BaseFolder) + "SAVEDATA";
        if (!Exists(save) && !CreateDirectoryA(save.c_str(), nullptr))
            MessageWithFolder(kCreateFailed, save, 4);
    } else if (mode >= 5) {
        save = g_BaseFolder;
    } else if (mode == 2) {
        if (ChooseSaveFolder(&save, &chosen) != 0)
            return 4;
    }
    m_saveFolder = WithSlash(save);
    std::vector<uint8_t> bytes;
    if (ReadWholeGameFile(m_saveFolder + "APP_CFG.DAT", &bytes))
        ParseAppCfg(bytes.data(), bytes.size(), &m_settings.config);
    // 17. Start in a window when the settings say so.
    if (m_settings.config.startInWindow != 0 && m_options.requestedMode == 1)
        m_options.requestedMode = 2;
    // 18. The installer's record.
    ReadInstallRecord();
    // 19. A folder chosen now is remembered at once.
    if (chosen)
        SaveSettings(0);
    // 20. Display options derived from the settings.
    ApplyDisplayOptions();
    return 0;
}
