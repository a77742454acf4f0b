// The settings sheet "環境設定": a modal property sheet of seven pages (templates 131-137) through
// which the player edits the settings block, with a "デフォルト設定に戻す" button that resets the
// page in view. Each page fills its controls from a block, stores them on OK and keeps the block
// on Cancel; the sound page is heard at once, the input pages capture keys and joystick buttons.
// What the pages share lives here; each page has a file of its own (settings_page_*.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/app_config.h"
#include "winapi/commctrl.h"
#include "winapi/user.h"

class CGameApp;
class CImage;

// The page templates and the sheet's own controls and message.
enum SettingsDialog : uint16_t {
    kDlgSettingsSystem = 131,
    kDlgSettingsTextSpeed = 132,
    kDlgSettingsTextFont = 133,
    kDlgSettingsSound = 134,
    kDlgSettingsKeyboard = 135,
    kDlgSettingsJoystick = 136,
    kDlgSettingsWindow = 137,
};
constexpr int kSettingsPageCount = 7;
constexpr int kCtlRestoreDefaults = 1301;
// Sent to the page in view by the restore button: the page's controls take the defaults.
constexpr UINT kMsgRestoreDefaults = 0x900A;
// The sound page's three TEST buttons (SE, system SE, voice).
constexpr int kCtlTestSe = 1091, kCtlTestSystemSe = 1092, kCtlTestVoice = 1093;
// The frame's game byte that says whether movies can be played (the window page's movie
// controls are usable only while it is non-zero).
constexpr int kGameByteMoviesAvailable = 4;

// Registers templates 131-137 (once).
void RegisterSettingsResources();

// Runs the sheet over the application's settings block (busy and modal state are the caller's)
// → 1 after OK, 0 after Cancel, -1 when the sheet could not be made. Afterwards the changed
// hint settings and the text display are re-applied on the game thread.
INT_PTR ShowSettingsSheet(CGameApp& app, HWND owner);

struct SheetSession;
// The sheet over a session's block (its application may be null: the pages then only edit the
// block), as ShowSettingsSheet runs it → the same results.
INT_PTR RunSettingsSheet(SheetSession& session, HWND owner);

// Corrects the values a damaged or foreign settings block brings, before a page shows them:
// indexes past their lists and values past their sliders take their defaults or nearest value.
void ClampSettingsForSheet(AppConfig* config, size_t monitorCount);

// Copies the display options of the block (b160-b164) into the screen, under its lock.
class CScreen;
void ApplyDisplayOptionsToScreen(CScreen& screen, const AppConfig& config);

// ---- shared by the pages ----

// A check box bound to a byte of the block (inverted: checked = 0).
struct SheetCheck {
    int id;
    size_t offset;
    bool inverted = false;
};
// A slider and its edit bound to a field (u8 or i32/u32). The slider runs minimum..maximum; the
// edit and the field show position × scale.
struct SheetSlider {
    int slider;
    int edit;
    size_t offset;
    uint8_t width;  // 1 or 4 bytes
    int minimum, maximum, scale;
    int tick, page, line;
    bool isSigned = false;  // an i32 field (the volumes); a u32 one past INT32_MAX is large, not negative
};
// A combo box bound to a byte holding its item index (+ bias).
struct SheetCombo {
    int id;
    size_t offset;
    int bias;
};

struct SheetTables {
    std::span<const SheetCheck> checks;
    std::span<const SheetSlider> sliders;
    std::span<const SheetCombo> combos;
};

// The running sheet: the application, the block edited and what the pages tell afterwards.
struct SheetSession {
    CGameApp* app = nullptr;
    AppConfig* config = nullptr;
    HWND sheet = nullptr;
    bool restoreButtonAdded = false;
    // When set, takes a copy of the font sample each time the テキスト２ page shows it.
    CImage* fontSampleCopy = nullptr;
};
// The sheet that runs now (null outside ShowSettingsSheet; tests set one to run pages alone).
SheetSession* CurrentSheet();
void SetCurrentSheet(SheetSession* session);

uint32_t ReadField(const AppConfig& config, size_t offset, uint8_t width);
void WriteField(AppConfig* config, size_t offset, uint8_t width, uint32_t value);
// Table-bound controls from a block, and back into one.
void FillTables(HWND page, const SheetTables& tables, const AppConfig& config);
void StoreTables(HWND page, const SheetTables& tables, AppConfig* config);
// The slider-edit pairs: WM_HSCROLL rewrites the edit; EN_CHANGE moves the slider to the clamped
// number; EN_KILLFOCUS rewrites the edit from the slider → true when the message was theirs.
bool HandleSliderMessage(HWND page, const SheetTables& tables, UINT message, WPARAM wParam, LPARAM lParam);
int SliderValue(HWND page, const SheetSlider& row);  // position × scale
void SetSliderValue(HWND page, const SheetSlider& row, int value);
// The first page made adds the restore button to the sheet.
void AddRestoreDefaultsButton(HWND sheet);
// Fills a combo box with UTF-8 texts.
void FillCombo(HWND page, int id, std::span<const char* const> utf8);
// The page index (0-6) stored in b2 when a page becomes active.
void NotePageActive(int index);

// The seven page procedures.
INT_PTR CALLBACK SystemPageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK TextSpeedPageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK TextFontPageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK SoundPageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK KeyboardPageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK JoystickMousePageProc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK WindowPageProc(HWND, UINT, WPARAM, LPARAM);

// The key-name table: the name of DirectInput key code 0..211, empty for a key that cannot be
// assigned (and for any other code).
const char* KeyNameUtf8(int code);
