// The settings sheet's 入力１ page: the fourteen keys of the player's actions, caught from a
// private DirectInput keyboard polled every 16 ms while an edit has the focus, and the quick
// slots' modifier.
#include <cstring>
#include <memory>

#include "game/game_app.h"
#include "game/settings_page.h"
#include "platform/keyboard_device.h"
#include "winapi/dinput.h"
#include "winapi/text.h"

namespace {

const SheetCheck kChecks[] = {{1070, offsetof(AppConfig, noFastForwardUnread)}};
constexpr UINT_PTR kTimerId = 1;

class CKeyboardPage final : public CSettingsPage {
public:
    int Index() const override { return 4; }
    SheetTables Tables() const override { return {kChecks, {}, {}}; }
    void Init(HWND page) override
    {
        if (SUCCEEDED(DirectInputCreateA(GetModuleHandleA(nullptr), 0x0500, &m_input, nullptr)) &&
            m_keyboard.Create(m_input, GetParent(page)) == 0)
            m_capture = true;
    }
    void Fill(HWND page, const AppConfig& config) override
    {
        for (int i = 0; i < kAssignEdits; ++i) {
            const uint8_t code = config.keys[i];
            const bool named = code <= 211 && KeyNameUtf8(code)[0] != '\0';
            m_codes[i] = named ? code : 0;  // a code without a name is shown unassigned
            SetDlgItemTextA(page, kFirstAssignEdit + i, named ? winapi::Sjis(KeyNameUtf8(code)) : "");
        }
        CheckRadioButton(page, 1080, 1081, config.fastForwardKey != 0 ? 1081 : 1080);
        ShowModifier(page);
    }
    void Command(HWND page, int id, int code) override
    {
        if ((id == 1080 || id == 1081) && code == BN_CLICKED) {
            CheckRadioButton(page, 1080, 1081, id);
            ShowModifier(page);
        }
    }
    void Activate(HWND page, bool active) override
    {
        if (active && m_capture) {
            m_keyboard.Acquire();
            SetTimer(page, kTimerId, 16, nullptr);
        } else {
            KillTimer(page, kTimerId);
            m_keyboard.Unacquire();
        }
    }
    void Timer(HWND page, UINT_PTR id) override
    {
        if (id != kTimerId || !m_capture || m_keyboard.Poll() != 0)
            return;
        const int edit = FocusedAssignEdit(page);
        if (edit < 0)
            return;
        int code = 0;
        for (int c = 1; c <= 211 && code == 0; ++c)
            if (m_keyboard.IsPushed(c))  // a fresh press: a held key does not run on to the next edit
                code = c;
        if (code == 0 || code == m_codes[edit] || KeyNameUtf8(code)[0] == '\0')
            return;
        AssignCode(page, m_codes, edit, static_cast<uint8_t>(code), winapi::Sjis(KeyNameUtf8(code)));
    }
    void Store(HWND page, AppConfig* config, const AppConfig&) override
    {
        std::memcpy(config->keys, m_codes, kAssignEdits);
        config->fastForwardKey = IsDlgButtonChecked(page, 1081) == BST_CHECKED ? 1 : 0;
        if (SheetSession* session = CurrentSheet(); session != nullptr && session->app != nullptr)
            session->app->ApplyKeyAssignments();
    }
    void Destroy(HWND page) override
    {
        KillTimer(page, kTimerId);
        m_keyboard.Release();
        if (m_input != nullptr)
            m_input->Release();
        m_input = nullptr;
    }

private:
    static void ShowModifier(HWND page)
    {
        SetDlgItemTextA(page, 1084, IsDlgButtonChecked(page, 1081) == BST_CHECKED ? "Ctrl" : "Shift");
    }

    IDirectInputA* m_input = nullptr;
    CDirectInputKeyboard m_keyboard;
    bool m_capture = false;
    uint8_t m_codes[kAssignEdits] = {};
};

std::unique_ptr<CSettingsPage> MakeKeyboardPage()
{
    return std::make_unique<CKeyboardPage>();
}

} // namespace

int FocusedAssignEdit(HWND page)
{
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != page)
        return -1;
    const int id = GetDlgCtrlID(focus);
    return id >= kFirstAssignEdit && id < kFirstAssignEdit + kAssignEdits ? id - kFirstAssignEdit : -1;
}

void AssignCode(HWND page, uint8_t (&codes)[kAssignEdits], int index, uint8_t code, const char* nameSjis)
{
    if (index < 0 || index >= kAssignEdits)
        return;
    for (int i = 0; i < kAssignEdits; ++i)
        if (i != index && code != 0 && codes[i] == code) {
            codes[i] = 0;
            SetDlgItemTextA(page, kFirstAssignEdit + i, "");
        }
    codes[index] = code;
    SetDlgItemTextA(page, kFirstAssignEdit + index, code != 0 ? nameSjis : "");
    SendMessageA(page, WM_NEXTDLGCTL, 0, FALSE);
}

INT_PTR CALLBACK KeyboardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSettingsPage(MakeKeyboardPage, page, message, wParam, lParam);
}
