// The settings sheet's 入力２ page: the joystick's fourteen buttons (caught from a private
// multimedia joystick polled every 16 ms), the mouse buttons' actions and the cursor options.
// Without a joystick its box and edits are disabled.
#include <cstdio>
#include <cstring>
#include <memory>

#include "game/game_app.h"
#include "game/settings_page.h"
#include "platform/joystick_device.h"
#include "winapi/text.h"

namespace {

const SheetCheck kChecks[] = {
    {1070, offsetof(AppConfig, useJoystick)},        {1071, offsetof(AppConfig, rightClickEndsAuto)},
    {1072, offsetof(AppConfig, wheelDownAdvances)},  {1162, offsetof(AppConfig, hideCursor)},
    {1163, offsetof(AppConfig, bottomHidesFrame)},
};
const SheetCombo kCombos[] = {
    {1082, offsetof(AppConfig, rightButtonAction), 0},
    {1083, offsetof(AppConfig, wheelButtonAction), 0},
};
const char* const kMouseActions[] = {"割り当て無し", "システムメニュー", "ウィンドウを消去", "オートプレイ",
                                     "次の選択肢までスキップ", "セーブ", "ロード"};
constexpr UINT_PTR kTimerId = 1;
constexpr int kFirstButtonCode = 4;  // codes 0-3 are the stick's directions
constexpr int kLastButtonCode = kFirstButtonCode + 31;

std::string ButtonName(int code)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%d", winapi::Sjis("ボタン"), code - 3);
    return text;
}

class CJoystickPage final : public CSettingsPage {
public:
    int Index() const override { return 5; }
    SheetTables Tables() const override { return {kChecks, {}, kCombos}; }
    void Init(HWND page) override
    {
        FillCombo(page, 1082, kMouseActions);
        FillCombo(page, 1083, kMouseActions);
        m_opened = m_joystick.Open(-1, true, false) == 0;
        if (!m_opened) {
            EnableWindow(GetDlgItem(page, 1070), FALSE);
            for (int i = 0; i < kAssignEdits; ++i)
                EnableWindow(GetDlgItem(page, kFirstAssignEdit + i), FALSE);
        }
    }
    void Fill(HWND page, const AppConfig& config) override
    {
        for (int i = 0; i < kAssignEdits; ++i) {
            const uint8_t code = config.joystickButtons[i];
            m_codes[i] = code >= kFirstButtonCode && code <= kLastButtonCode ? code : 0;
            SetDlgItemTextA(page, kFirstAssignEdit + i, m_codes[i] != 0 ? ButtonName(m_codes[i]).c_str() : "");
        }
        SheetSession* session = CurrentSheet();
        const bool autoMove = session != nullptr && session->app != nullptr &&
                              session->app->FrameOptions().cursorPlacement != 0;
        CheckDlgButton(page, 1161, autoMove ? BST_CHECKED : BST_UNCHECKED);
        EnableEdits(page);
    }
    void Command(HWND page, int id, int code) override
    {
        if (id == 1070 && code == BN_CLICKED)
            EnableEdits(page);
    }
    void Activate(HWND page, bool active) override
    {
        if (active && m_opened)
            SetTimer(page, kTimerId, 16, nullptr);
        else
            KillTimer(page, kTimerId);
    }
    void Timer(HWND page, UINT_PTR id) override
    {
        if (id != kTimerId || !m_opened)
            return;
        m_joystick.Poll();
        const bool deleteDown = (GetAsyncKeyState(VK_DELETE) & 0x8000) != 0;
        const bool freshDelete = deleteDown && !m_deleteDown;
        m_deleteDown = deleteDown;
        const int edit = FocusedAssignEdit(page);
        if (edit < 0)
            return;
        if (freshDelete) {
            AssignCode(page, m_codes, edit, 0, "");
            return;
        }
        int code = 0;
        for (int c = kFirstButtonCode; c <= kLastButtonCode && code == 0; ++c)
            if (m_joystick.IsPushed(c))  // a fresh press, as for the keys
                code = c;
        if (code == 0 || code == m_codes[edit])
            return;
        AssignCode(page, m_codes, edit, static_cast<uint8_t>(code), ButtonName(code).c_str());
    }
    void Store(HWND page, AppConfig* config, const AppConfig&) override
    {
        if (m_opened)
            std::memcpy(config->joystickButtons, m_codes, kAssignEdits);
        SheetSession* session = CurrentSheet();
        if (session == nullptr || session->app == nullptr)
            return;
        session->app->FrameOptions().cursorPlacement = IsDlgButtonChecked(page, 1161) == BST_CHECKED ? 1 : 0;
        session->app->ApplyJoystickAssignments();
    }
    void Destroy(HWND page) override
    {
        KillTimer(page, kTimerId);
        m_joystick.Close();
    }

private:
    void EnableEdits(HWND page)
    {
        const bool on = m_opened && IsDlgButtonChecked(page, 1070) == BST_CHECKED;
        for (int i = 0; i < kAssignEdits; ++i)
            EnableWindow(GetDlgItem(page, kFirstAssignEdit + i), on ? TRUE : FALSE);
    }

    CWinmmJoystick m_joystick;
    bool m_opened = false;
    bool m_deleteDown = false;
    uint8_t m_codes[kAssignEdits] = {};
};

std::unique_ptr<CSettingsPage> MakeJoystickPage()
{
    return std::make_unique<CJoystickPage>();
}

} // namespace

INT_PTR CALLBACK JoystickMousePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSettingsPage(MakeJoystickPage, page, message, wParam, lParam);
}
