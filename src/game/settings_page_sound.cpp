// The settings sheet's サウンド page: every change is heard at once through the script host's
// sound manager (under its lock); Cancel puts the stored settings back; the voice volume and
// switch are per character when the host has a voice table.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game/game_app.h"
#include "game/settings_page.h"
#include "natives/script_host.h"
#include "platform/lock.h"
#include "sound/sound_player.h"
#include "winapi/text.h"

namespace {

const SheetCheck kChecks[] = {
    {1070, offsetof(AppConfig, masterOn), true},   {1071, offsetof(AppConfig, bgmOn)},
    {1072, offsetof(AppConfig, seOn)},             {1073, offsetof(AppConfig, systemSeOn)},
    {1074, offsetof(AppConfig, voiceOn)},          {1075, offsetof(AppConfig, oneVoiceVolume)},
    {1142, offsetof(AppConfig, lowerBgmForVoice)}, {1143, offsetof(AppConfig, stopVoiceAtNext)},
};
const SheetSlider kSliders[] = {
    {1051, 1056, offsetof(AppConfig, masterVolume), 4, 0, 256, 1, 16, 16, 1, true},
    {1052, 1057, offsetof(AppConfig, bgmVolume), 4, 0, 256, 1, 16, 16, 1, true},
    {1053, 1058, offsetof(AppConfig, seVolume), 4, 0, 256, 1, 16, 16, 1, true},
    {1054, 1059, offsetof(AppConfig, systemSeVolume), 4, 0, 256, 1, 16, 16, 1, true},
};
// The voice slider: a character's volume, or b104 without a voice table.
const SheetSlider kVoice{1055, 1060, offsetof(AppConfig, voiceVolume), 4, 0, 256, 1, 16, 16, 1, true};
constexpr int kSeChannel = 7, kSystemSeChannel = 0, kVoiceChannel = 4;

struct VoiceCopy {
    int32_t volume = 256;
    uint8_t play = 1;
    uint8_t hidden = 0;
};

CScriptHost* Host()
{
    SheetSession* session = CurrentSheet();
    return session != nullptr && session->app != nullptr ? session->app->Host() : nullptr;
}

class CSoundPage final : public CSettingsPage {
public:
    int Index() const override { return 3; }
    SheetTables Tables() const override { return {kChecks, kSliders, {}}; }

    void Init(HWND page) override
    {
        CScriptHost* host = Host();
        m_sound = host != nullptr ? g_pSoundManager : nullptr;
        if (m_sound != nullptr) {
            CScopedLock guard(&m_sound->GetLock());
            m_sound->SetChannelSound(kSeChannel, "SE\\SE_TEST.OGG", 0, false);
            m_sound->SetChannelKind(kSeChannel, 1);
            m_sound->SetChannelSound(kVoiceChannel, "VOICE\\VO_TEST.OGG", 0, false);
            m_sound->SetChannelKind(kVoiceChannel, 4);
        }
        const VoiceTable* table = host != nullptr ? &host->Voices() : nullptr;
        if (table != nullptr && !table->characters.empty()) {
            for (size_t i = 0; i < table->characters.size(); ++i) {
                const VoiceCharacter& c = table->characters[i];
                m_voices.push_back({std::clamp(c.volume2, 0, 256), c.enabled, c.flag});
                const std::string* alias = host->VoiceAlias(i);
                const std::string* name = host->VoiceName(i);
                std::string shown = name != nullptr ? *name : std::string();
                if (c.flag != 0)  // hidden until heard
                    shown = alias != nullptr && !alias->empty() ? *alias : winapi::Sjis("？？？");
                SendDlgItemMessageA(page, 1141, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
            }
        }
        LOGFONTA bold{};
        bold.lfHeight = -16;
        bold.lfWeight = FW_BOLD;
        bold.lfCharSet = SHIFTJIS_CHARSET;
        std::strncpy(bold.lfFaceName, winapi::Sjis(kDefaultFaceNameUtf8), LF_FACESIZE - 1);
        if (HFONT font = CreateFontIndirectA(&bold)) {
            m_font = font;
            SendDlgItemMessageA(page, 1141, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        HWND slider = GetDlgItem(page, kVoice.slider);
        SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELONG(0, 256));
        SendMessageA(slider, TBM_SETTICFREQ, 16, 0);
        SendMessageA(slider, TBM_SETPAGESIZE, 0, 16);
        SendMessageA(slider, TBM_SETLINESIZE, 0, 1);
    }

    void Fill(HWND page, const AppConfig& config) override
    {
        if (!m_voices.empty()) {
            m_current = config.voiceCharacter < m_voices.size() ? config.voiceCharacter : 0;
            SendDlgItemMessageA(page, 1141, CB_SETCURSEL, static_cast<WPARAM>(m_current), 0);
            ShowCharacter(page);
        } else {
            SetSliderValue(page, kVoice, std::clamp(config.voiceVolume, 0, 256));
        }
        SetDlgItemInt(page, 1061, std::min<UINT>(config.bgmLevelForVoice, 100), FALSE);
        Enable(page);
    }

    void Restored(HWND page) override
    {
        for (VoiceCopy& v : m_voices) {
            v.volume = 256;
            v.play = 1;
        }
        m_current = 0;
        if (!m_voices.empty()) {
            SendDlgItemMessageA(page, 1141, CB_SETCURSEL, 0, 0);
            ShowCharacter(page);
        }
        Hear(page);
    }

    void Command(HWND page, int id, int code)
    {
        if (id == 1141 && code == CBN_SELCHANGE) {
            KeepCharacter(page);
            m_current = static_cast<int>(SendDlgItemMessageA(page, 1141, CB_GETCURSEL, 0, 0));
            ShowCharacter(page);
            Enable(page);
            return;
        }
        if (code == BN_CLICKED && id >= 1070 && id <= 1076) {
            Enable(page);
            Hear(page);
        } else if (code == EN_CHANGE && id >= 1056 && id <= 1060) {
            Hear(page);
        } else if (code == BN_CLICKED && (id == kCtlTestSe || id == kCtlTestSystemSe || id == kCtlTestVoice)) {
            Test(page, id);
        }
    }

    void Scrolled(HWND page, int) override { Hear(page); }

    void Store(HWND page, AppConfig* config, const AppConfig&) override
    {
        if (!m_voices.empty())
            config->voiceCharacter = static_cast<uint8_t>(m_current);
        BOOL ok = FALSE;
        const UINT percent = GetDlgItemInt(page, 1061, &ok, FALSE);
        if (ok)
            config->bgmLevelForVoice = static_cast<uint8_t>(std::min<UINT>(percent, 100));
        if (!m_voices.empty()) {
            KeepCharacter(page);
        } else {
            config->voiceVolume = SliderValue(page, kVoice);
        }
        CScriptHost* host = Host();
        if (m_sound == nullptr || host == nullptr) {
            return;
        }
        // The game thread's voice player reads the entries: they change under the sound lock.
        CScopedLock guard(&m_sound->GetLock());
        VoiceTable& table = host->Voices();
        for (size_t i = 0; i < m_voices.size() && i < table.characters.size(); ++i) {
            table.characters[i].volume2 = m_voices[i].volume;
            table.characters[i].enabled = m_voices[i].play;
        }
        ::ApplySoundSettings(m_sound, *config, true, !m_voices.empty());
    }

    void Reset(HWND page) override
    {
        // Cancel: the stored settings are heard again.
        AppConfig& config = SheetConfig();
        // The character shown is remembered even on Cancel; without characters b80 is kept.
        if (!m_voices.empty())
            config.voiceCharacter = static_cast<uint8_t>(std::max(m_current, 0));
        (void)page;
        HearBlock(config);
    }

    void Destroy(HWND) override
    {
        if (m_sound != nullptr) {
            CScopedLock guard(&m_sound->GetLock());
            m_sound->ReleaseChannel(kSeChannel);
            m_sound->ReleaseChannel(kVoiceChannel);
        }
        if (m_font != nullptr)
            DeleteObject(m_font);
    }

private:
    void ShowCharacter(HWND page)
    {
        if (m_current < 0 || m_current >= static_cast<int>(m_voices.size()))
            return;
        const VoiceCopy& v = m_voices[static_cast<size_t>(m_current)];
        CheckDlgButton(page, 1076, v.play != 0 ? BST_CHECKED : BST_UNCHECKED);
        SetSliderValue(page, kVoice, v.volume);
    }

    void KeepCharacter(HWND page)
    {
        if (m_current < 0 || m_current >= static_cast<int>(m_voices.size()))
            return;
        VoiceCopy& v = m_voices[static_cast<size_t>(m_current)];
        v.play = IsDlgButtonChecked(page, 1076) == BST_CHECKED ? 1 : 0;
        v.volume = SliderValue(page, kVoice);
    }

    void Enable(HWND page)
    {
        auto on = [page](int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; };
        auto enable = [page](int id, bool value) { EnableWindow(GetDlgItem(page, id), value ? TRUE : FALSE); };
        const bool voices = !m_voices.empty();
        enable(1052, on(1071));
        enable(1057, on(1071));
        for (int id : {1053, 1058, kCtlTestSe})
            enable(id, on(1072));
        for (int id : {1054, 1059, kCtlTestSystemSe})
            enable(id, on(1073));
        enable(1141, voices && on(1074));
        enable(1075, voices && on(1074));
        enable(1076, voices);
        const bool voiceOn = voices ? on(1076) : true;
        enable(1055, voiceOn);
        enable(1060, voiceOn);
        const bool hidden = voices && m_current >= 0 && m_voices[static_cast<size_t>(m_current)].hidden != 0;
        enable(kCtlTestVoice, voiceOn && !hidden);
    }

    // The controls' settings heard now.
    void Hear(HWND page)
    {
        AppConfig now = SheetConfig();
        StoreTables(page, Tables(), &now);
        now.voiceVolume = SliderValue(page, kVoice);
        HearBlock(now);
    }

    void HearBlock(const AppConfig& config)
    {
        if (m_sound == nullptr)
            return;
        const bool voices = !m_voices.empty();
        ::ApplySoundSettings(m_sound, config, true, voices);
        CScopedLock guard(&m_sound->GetLock());
        m_sound->SetKindVolume(config.seVolume, false, 1);
        m_sound->SetKindVolume(config.systemSeVolume, false, 2);
        if (!voices)
            m_sound->SetKindVolume(config.voiceVolume, false, 4);
    }

    void Test(HWND page, int id)
    {
        if (m_sound == nullptr)
            return;
        CScopedLock guard(&m_sound->GetLock());
        if (id == kCtlTestSe) {
            m_sound->StartChannel(kSeChannel, false);
        } else if (id == kCtlTestSystemSe) {
            m_sound->StartChannel(kSystemSeChannel, false);
        } else if (m_voices.empty()) {
            m_sound->StartChannel(kVoiceChannel, false);
        } else if (CScriptHost* host = Host()) {
            // The character's own test voice, by the file stem that names it.
            for (const VoicePrefix& prefix : host->Voices().prefixes)
                if (prefix.character == m_current) {
                    char name[96];
                    if (std::snprintf(name, sizeof name, "VOICE\\%s_TEST.OGG", prefix.prefix.c_str()) <
                        static_cast<int>(sizeof name)) {
                        m_sound->SetChannelSound(kVoiceChannel, name, 0, false);
                        m_sound->SetChannelKind(kVoiceChannel, 4);
                        m_sound->SetChannelVolume(kVoiceChannel, 256, SliderValue(page, kVoice));
                        m_sound->StartChannel(kVoiceChannel, false);
                    }
                    break;
                }
        }
    }

    CSoundPlayer* m_sound = nullptr;
    std::vector<VoiceCopy> m_voices;
    int m_current = -1;
    HFONT m_font = nullptr;
};

std::unique_ptr<CSettingsPage> MakeSoundPage()
{
    return std::make_unique<CSoundPage>();
}

} // namespace

INT_PTR CALLBACK SoundPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The voice edit pairs with its slider like the table's.
    if (message == WM_HSCROLL || message == WM_COMMAND) {
        const SheetTables voice{{}, std::span<const SheetSlider>(&kVoice, 1), {}};
        HandleSliderMessage(page, voice, message, wParam, lParam);
    }
    return RunSettingsPage(MakeSoundPage, page, message, wParam, lParam);
}
