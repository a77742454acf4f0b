// The settings sheet's テキスト１ page: text speeds with their preview strips, the auto-play wait
// and the history.
#include <algorithm>
#include <memory>

#include "game/settings_page.h"
#include "game/speed_preview.h"
#include "game/game_app.h"

namespace {

const SheetCheck kChecks[] = {
    {1070, offsetof(AppConfig, unreadNoWait)},
    {1071, offsetof(AppConfig, readNoWait)},
    {1072, offsetof(AppConfig, historyInSaves)},
};
const SheetSlider kSliders[] = {
    {1051, 1056, offsetof(AppConfig, unreadCharMs), 1, 0, 255, 1, 15, 15, 1},
    {1052, 1057, offsetof(AppConfig, readCharMs), 1, 0, 255, 1, 15, 15, 1},
    {1053, 1058, offsetof(AppConfig, autoCharMs), 1, 0, 255, 1, 15, 15, 1},
    // The minimum time: the slider counts hundreds of milliseconds.
    {1054, 1059, offsetof(AppConfig, autoMinimumWait), 4, 0, 90, 100, 5, 5, 1},
    {1055, 1060, offsetof(AppConfig, historyPages), 1, 0, 255, 1, 15, 15, 1},
};
constexpr UINT_PTR kTimerId = 1;

class CTextSpeedPage final : public CSettingsPage {
public:
    int Index() const override { return 1; }
    SheetTables Tables() const override { return {kChecks, kSliders, {}}; }
    void Init(HWND page) override
    {
        const bool highRes = SheetHighResTimer();
        m_strips[0].Attach(GetDlgItem(page, 1084), highRes);
        m_strips[1].Attach(GetDlgItem(page, 1085), highRes);
        SetTimer(page, kTimerId, 16, nullptr);
    }
    void Activate(HWND page, bool active) override
    {
        if (active) {
            for (CSpeedPreview& strip : m_strips)
                strip.Resume();
            SetTimer(page, kTimerId, 16, nullptr);
        } else {
            KillTimer(page, kTimerId);
            for (CSpeedPreview& strip : m_strips)
                strip.Pause();
        }
    }
    void Timer(HWND page, UINT_PTR id) override
    {
        if (id != kTimerId)
            return;
        const SpeedPreviewSettings wait{static_cast<int>(SliderValue(page, kSliders[2])),
                                        static_cast<int>(SliderValue(page, kSliders[3]))};
        m_strips[0].Tick(IsDlgButtonChecked(page, 1070) == BST_CHECKED, SliderValue(page, kSliders[0]), wait);
        m_strips[1].Tick(IsDlgButtonChecked(page, 1071) == BST_CHECKED, SliderValue(page, kSliders[1]), wait);
    }
    void Destroy(HWND page) override { KillTimer(page, kTimerId); }

private:
    CSpeedPreview m_strips[2];
};

std::unique_ptr<CSettingsPage> MakeTextSpeedPage()
{
    return std::make_unique<CTextSpeedPage>();
}

} // namespace

INT_PTR CALLBACK TextSpeedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSettingsPage(MakeTextSpeedPage, page, message, wParam, lParam);
}
