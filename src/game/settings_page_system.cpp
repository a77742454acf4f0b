// The settings sheet's システム page: screen mode (acting at once), the effect and skip switches,
// the system menu's first item and the popup hints.
#include <iterator>
#include <memory>

#include "game/game_app.h"
#include "game/resources.h"
#include "game/settings_page.h"

namespace {

const SheetCheck kChecks[] = {
    {1101, offsetof(AppConfig, fastEffects)},        {1102, offsetof(AppConfig, clickSkipsEffects)},
    {1103, offsetof(AppConfig, fastSystemScreens)},  {1104, offsetof(AppConfig, skipStopsAtUnread)},
    {1105, offsetof(AppConfig, choicesEndSkip), true}, {1106, offsetof(AppConfig, colourTakenChoices)},
    {1107, offsetof(AppConfig, autoSaveAtChoices)},  {1108, offsetof(AppConfig, keepBackData)},
    {1070, offsetof(AppConfig, confirmBack)},        {1071, offsetof(AppConfig, askBeforeWebPage)},
    {1072, offsetof(AppConfig, hideSystemButtons)},  {1109, offsetof(AppConfig, popupHints)},
};
// The hint delay: the slider counts tens of milliseconds.
const SheetSlider kSliders[] = {
    {1051, 1056, offsetof(AppConfig, popupHintDelay), 4, 0, 300, 10, 20, 20, 10},
};
const SheetCombo kCombos[] = {{1082, offsetof(AppConfig, systemMenuStart), 0}};

const char* const kMenuItems[] = {"オートプレイ", "スキップ",     "前の選択肢に戻る", "テキスト履歴",
                                  "ウィンドウ消去", "セーブ",     "ロード",           "クイックセーブ",
                                  "クイックロード", "環境設定",   "タイトルに戻る",   "ゲーム終了"};

class CSystemPage final : public CSettingsPage {
public:
    int Index() const override { return 0; }
    SheetTables Tables() const override { return {kChecks, kSliders, kCombos}; }
    void Init(HWND page) override
    {
        FillCombo(page, 1082, kMenuItems);
        ShowScreenMode(page);
    }
    void Command(HWND page, int id, int code) override
    {
        if ((id != 1080 && id != 1081) || code != BN_CLICKED)
            return;
        SheetSession* session = CurrentSheet();
        if (session == nullptr || session->app == nullptr)
            return;
        const bool full = session->app->FrameOptions().requestedMode == 1;
        if (full != (id == 1081))
            SendMessageA(session->app->GetMainWindow(), WM_COMMAND, kCmdScreenMode, 0);
        ShowScreenMode(page);
        if (session->sheet != nullptr)
            session->app->CenterWindow(session->sheet);
    }
    void Store(HWND, AppConfig* config, const AppConfig& before) override
    {
        SheetSession* session = CurrentSheet();
        if (session == nullptr || session->app == nullptr)
            return;
        if (config->popupHints != before.popupHints || config->popupHintDelay != before.popupHintDelay)
            session->app->SetHintSettingsChanged(1);
    }

private:
    // The radios follow the screen mode the frame has now.
    static void ShowScreenMode(HWND page)
    {
        SheetSession* session = CurrentSheet();
        const bool full = session != nullptr && session->app != nullptr && session->app->FrameOptions().requestedMode == 1;
        CheckRadioButton(page, 1080, 1081, full ? 1081 : 1080);
    }
};

std::unique_ptr<CSettingsPage> MakeSystemPage()
{
    return std::make_unique<CSystemPage>();
}

} // namespace

INT_PTR CALLBACK SystemPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSettingsPage(MakeSystemPage, page, message, wParam, lParam);
}
