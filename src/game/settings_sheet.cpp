// The settings sheet: its opening, the restore button, the table-bound controls the pages share,
// and the checks a settings block passes before the pages show it.
#include "game/settings_sheet.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "display/screen.h"
#include "game/game_app.h"
#include "natives/main_form.h"
#include "natives/script_host.h"
#include "platform/lock.h"
#include "winapi/text.h"

namespace {

SheetSession* g_session = nullptr;

struct PageRow {
    int templateId;
    DLGPROC proc;
};
const PageRow kPages[kSettingsPageCount] = {
    {kDlgSettingsSystem, SystemPageProc},       {kDlgSettingsTextSpeed, TextSpeedPageProc},
    {kDlgSettingsTextFont, TextFontPageProc},   {kDlgSettingsSound, SoundPageProc},
    {kDlgSettingsKeyboard, KeyboardPageProc},   {kDlgSettingsJoystick, JoystickMousePageProc},
    {kDlgSettingsWindow, WindowPageProc},
};

WNDPROC g_sheetProc = nullptr;

// The sheet's subclass: the restore button resets the page in view.
LRESULT CALLBACK RestoreDefaultsButtonProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == kCtlRestoreDefaults && HIWORD(wParam) == BN_CLICKED) {
        if (HWND page = PropSheet_GetCurrentPageHwnd(sheet))
            SendMessageA(page, kMsgRestoreDefaults, 0, 0);
        return 0;
    }
    return CallWindowProcA(g_sheetProc, sheet, message, wParam, lParam);
}

int CALLBACK SettingsSheetCallback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED) {
        const LONG_PTR ex = GetWindowLongPtrA(sheet, GWL_EXSTYLE);
        SetWindowLongPtrA(sheet, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CONTEXTHELP));
        if (g_session != nullptr)
            g_session->sheet = sheet;
    }
    return 0;
}

} // namespace

SheetSession* CurrentSheet()
{
    return g_session;
}

void SetCurrentSheet(SheetSession* session)
{
    g_session = session;
}

uint32_t ReadField(const AppConfig& config, size_t offset, uint8_t width)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(&config);
    if (offset + width > sizeof(AppConfig))
        return 0;
    if (width == 1)
        return bytes[offset];
    uint32_t value = 0;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

void WriteField(AppConfig* config, size_t offset, uint8_t width, uint32_t value)
{
    auto* bytes = reinterpret_cast<uint8_t*>(config);
    if (offset + width > sizeof(AppConfig))
        return;
    if (width == 1)
        bytes[offset] = static_cast<uint8_t>(value);
    else
        std::memcpy(bytes + offset, &value, sizeof value);
}

int SliderValue(HWND page, const SheetSlider& row)
{
    return static_cast<int>(SendDlgItemMessageA(page, row.slider, TBM_GETPOS, 0, 0)) * row.scale;
}

void SetSliderValue(HWND page, const SheetSlider& row, int value)
{
    const int position = std::clamp(value / row.scale, row.minimum, row.maximum);
    SendDlgItemMessageA(page, row.slider, TBM_SETPOS, TRUE, position);
    SetDlgItemInt(page, row.edit, static_cast<UINT>(position * row.scale), FALSE);
}

void FillTables(HWND page, const SheetTables& tables, const AppConfig& config)
{
    for (const SheetCheck& row : tables.checks) {
        const bool on = ReadField(config, row.offset, 1) != 0;
        CheckDlgButton(page, row.id, on != row.inverted ? BST_CHECKED : BST_UNCHECKED);
    }
    for (const SheetSlider& row : tables.sliders) {
        HWND slider = GetDlgItem(page, row.slider);
        SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELONG(row.minimum, row.maximum));
        if (row.tick > 0)
            SendMessageA(slider, TBM_SETTICFREQ, static_cast<WPARAM>(row.tick), 0);
        SendMessageA(slider, TBM_SETPAGESIZE, 0, row.page);
        SendMessageA(slider, TBM_SETLINESIZE, 0, row.line);
        // A field past its slider (a damaged file) is shown at the nearest end.
        const uint32_t raw = ReadField(config, row.offset, row.width);
        const int64_t stored = row.isSigned ? int64_t{static_cast<int32_t>(raw)} : int64_t{raw};
        SetSliderValue(page, row,
                       static_cast<int>(std::clamp<int64_t>(stored, int64_t{row.minimum} * row.scale,
                                                            int64_t{row.maximum} * row.scale)));
    }
    for (const SheetCombo& row : tables.combos) {
        const int count = static_cast<int>(SendDlgItemMessageA(page, row.id, CB_GETCOUNT, 0, 0));
        const int index = static_cast<int>(ReadField(config, row.offset, 1)) - row.bias;
        SendDlgItemMessageA(page, row.id, CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : 0),
                            0);
    }
}

void StoreTables(HWND page, const SheetTables& tables, AppConfig* config)
{
    for (const SheetCheck& row : tables.checks) {
        const bool checked = IsDlgButtonChecked(page, row.id) == BST_CHECKED;
        WriteField(config, row.offset, 1, checked != row.inverted ? 1 : 0);
    }
    for (const SheetSlider& row : tables.sliders)
        WriteField(config, row.offset, row.width, static_cast<uint32_t>(SliderValue(page, row)));
    for (const SheetCombo& row : tables.combos) {
        const int index = static_cast<int>(SendDlgItemMessageA(page, row.id, CB_GETCURSEL, 0, 0));
        WriteField(config, row.offset, 1, static_cast<uint32_t>(std::max(index, 0) + row.bias));
    }
}

bool HandleSliderMessage(HWND page, const SheetTables& tables, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (const SheetSlider& row : tables.sliders) {
        if (message == WM_HSCROLL && reinterpret_cast<HWND>(lParam) == GetDlgItem(page, row.slider)) {
            SetDlgItemInt(page, row.edit, static_cast<UINT>(SliderValue(page, row)), FALSE);
            return true;
        }
        if (message != WM_COMMAND || LOWORD(wParam) != row.edit)
            continue;
        if (HIWORD(wParam) == EN_CHANGE) {
            BOOL ok = FALSE;
            const UINT typed = GetDlgItemInt(page, row.edit, &ok, FALSE);
            if (ok) {
                const int number = static_cast<int>(std::min<UINT>(typed, static_cast<UINT>(row.maximum * row.scale)));
                const int position = std::clamp(number / row.scale, row.minimum, row.maximum);
                if (position != SendDlgItemMessageA(page, row.slider, TBM_GETPOS, 0, 0))
                    SendDlgItemMessageA(page, row.slider, TBM_SETPOS, TRUE, position);
            }
        } else if (HIWORD(wParam) == EN_KILLFOCUS) {
            SetDlgItemInt(page, row.edit, static_cast<UINT>(SliderValue(page, row)), FALSE);
        }
        return true;
    }
    return false;
}

void FillCombo(HWND page, int id, std::span<const char* const> utf8)
{
    SendDlgItemMessageA(page, id, CB_RESETCONTENT, 0, 0);
    for (const char* text : utf8)
        SendDlgItemMessageA(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(winapi::Sjis(text)));
}

void NotePageActive(int index)
{
    if (g_session != nullptr && g_session->config != nullptr)
        g_session->config->lastSheetPage = static_cast<uint8_t>(index);
}

void AddRestoreDefaultsButton(HWND sheet)
{
    if (g_session == nullptr || g_session->restoreButtonAdded || sheet == nullptr)
        return;
    g_session->restoreButtonAdded = true;
    g_sheetProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RestoreDefaultsButtonProc)));
    RECT ok{};
    GetWindowRect(GetDlgItem(sheet, IDOK), &ok);
    POINT corner{ok.left, ok.top};
    ScreenToClient(sheet, &corner);
    HWND button = CreateWindowExA(0, "button", winapi::Sjis("デフォルト設定に戻す"), WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                  6, corner.y, 120, ok.bottom - ok.top, sheet,
                                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(kCtlRestoreDefaults)), nullptr,
                                  nullptr);
    SendMessageA(button, WM_SETFONT, SendMessageA(sheet, WM_GETFONT, 0, 0), FALSE);
    if (g_session->app != nullptr) {
        g_session->app->CenterWindow(sheet);
        if (g_session->app->FrameOptions().cursorPlacement != 0) {
            RECT rect{};
            GetWindowRect(sheet, &rect);
            SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        }
    }
}

void ClampSettingsForSheet(AppConfig* c, size_t monitorCount)
{
    AppConfig defaults{};
    SetAppConfigDefaults(&defaults);
    if (c->lastSheetPage >= kSettingsPageCount)
        c->lastSheetPage = 0;
    if (c->systemMenuStart > 11)
        c->systemMenuStart = defaults.systemMenuStart;
    if (c->rightButtonAction > 6)
        c->rightButtonAction = defaults.rightButtonAction;
    if (c->wheelButtonAction > 6)
        c->wheelButtonAction = defaults.wheelButtonAction;
    if (c->resolutionMethod < 1 || c->resolutionMethod > 2)
        c->resolutionMethod = defaults.resolutionMethod != 0 ? defaults.resolutionMethod : 1;
    if (c->targetMonitor > monitorCount)
        c->targetMonitor = defaults.targetMonitor;
    if (c->enlargedDrawing < 1 || c->enlargedDrawing > 3)
        c->enlargedDrawing = defaults.enlargedDrawing != 0 ? defaults.enlargedDrawing : 1;
    if (c->decoration > 2)
        c->decoration = defaults.decoration;
    // A face name without its end would be read past the field.
    c->faceName[sizeof c->faceName - 1] = '\0';
    for (uint8_t& key : c->keys)
        if (key > 211 || KeyNameUtf8(key)[0] == '\0')
            key = 0;
}

void ApplyDisplayOptionsToScreen(CScreen& screen, const AppConfig& config)
{
    CScopedLock guard(&screen.GetLock());
    screen.SetPresentPathRequest(config.enlargedDrawing);
    screen.SetTexturePathInWindow(config.drawingAlways != 0);
    screen.SetPowerOfTwoTexture(config.powerOfTwoTextures != 0);
    screen.SetLinearFilter(config.bilinear != 0);
    screen.SetDrawThroughBackBuffer(config.copyThroughDc != 0);
}

INT_PTR RunSettingsSheet(SheetSession& session, HWND owner)
{
    RegisterSettingsResources();
    SheetSession* previous = g_session;
    g_session = &session;
    PROPSHEETPAGEA pages[kSettingsPageCount] = {};
    for (int i = 0; i < kSettingsPageCount; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].pszTemplate = MAKEINTRESOURCEA(kPages[i].templateId);
        pages[i].pfnDlgProc = kPages[i].proc;
        pages[i].lParam = i;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = owner;
    header.pszCaption = winapi::Sjis("環境設定");
    header.nPages = kSettingsPageCount;
    header.nStartPage = session.config->lastSheetPage;
    header.ppsp = pages;
    header.pfnCallback = SettingsSheetCallback;
    const INT_PTR result = PropertySheetA(&header);
    g_session = previous;
    g_sheetProc = nullptr;
    return result;
}

INT_PTR ShowSettingsSheet(CGameApp& app, HWND owner)
{
    SheetSession session;
    session.app = &app;
    session.config = &app.Config();
    ClampSettingsForSheet(session.config, app.GetMonitorList().Records().size());
    app.SetHintSettingsChanged(0);
    app.SetSettingsChanged(0);
    const INT_PTR result = RunSettingsSheet(session, owner);
    // The form's hints and the text display are the game thread's: they change there.
    app.RequestAfterSettingsSheet();
    return result;
}

void CGameApp::ApplyScreenOptions()
{
    ApplyDisplayOptionsToScreen(m_screenObject, Config());
}

void CGameApp::RunAfterSettingsSheet()
{
    if (m_hintSettingsChanged != 0 && m_host != nullptr)
        ApplyPopupHintSettings();
    m_hintSettingsChanged = 0;
    // Only when a page stored something; the default font, its face and the history follow.
    ApplyTextDisplaySettings(true, 1, nullptr, nullptr, nullptr, true, true);
}
