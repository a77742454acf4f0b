// The settings sheet headless: each page's controls against the block's fields after OK, Cancel,
// the restore button, the page remembered in b2, the window page's kill-active and reset, key and
// joystick capture, the checks a damaged block passes, the key-name table and the speed strips.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/game_app.h"
#include "game/settings_sheet.h"
#include "game/speed_preview.h"
#include "game/settings_sheet_cases.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/joystick.h"
#include "winapi/text.h"

using namespace winapi::dialogs;

using namespace settings_sheet_cases;

// Each row from the defaults: the control acted on, the field after OK.
TEST(SettingsSheet, PageControlsStoreTheirFields) { CheckFieldCases(); }

// A block of other values goes through every page unchanged when OK is pressed without a change,
// and a row's change lands on it as on the defaults.
TEST(SettingsSheet, PagesShowTheBlockTheyAreGiven)
{
    for (int page = 0; page < kSettingsPageCount; ++page) {
        SCOPED_TRACE(page);
        const AppConfig other = Other();
        AppConfig config = other;
        EXPECT_EQ(RunSheet(config, page, {ClickOn(IDOK)}), 1);
        config.lastSheetPage = other.lastSheetPage;
        AppConfig expected = other;
        expected.lastSheetPage = other.lastSheetPage;
        EXPECT_EQ(std::memcmp(&config, &expected, sizeof config), 0);
    }
    AppConfig config = Other();
    RunSheet(config, 3, {ArrowSlider(1052, 3), ClickOn(IDOK)});
    EXPECT_EQ(config.bgmVolume, 80);
}

// Cancel keeps the block whatever the pages showed; only b2 follows the last page shown.
TEST(SettingsSheet, CancelKeepsTheBlock)
{
    const AppConfig other = Other();
    AppConfig config = other;
    const std::vector<DialogStep> steps{SetCheck(1101, false),  SwitchToPage(2), SetCheck(1126, false),
                                        SwitchToPage(3),        ArrowSlider(1051, -5), SwitchToPage(6),
                                        SetCheck(1186, false),  SwitchToPage(5), PickItemOf(1083, 1),
                                        ClickOn(IDCANCEL)};
    EXPECT_EQ(RunSheet(config, 0, steps), 0);
    EXPECT_EQ(config.lastSheetPage, 5);
    config.lastSheetPage = 0;
    EXPECT_EQ(std::memcmp(&config, &other, sizeof config), 0);
}

// "デフォルト設定に戻す" fills only the page in view; nothing else changes.
TEST(SettingsSheet, RestoreDefaultsTouchesOnlyThePageInView)
{
    const AppConfig defaults = Defaults();
    for (int page : {0, 1, 2, 3, 5, 6}) {
        SCOPED_TRACE(page);
        AppConfig config = Other();
        RunSheet(config, page, {ClickOn(kCtlRestoreDefaults), ClickOn(IDOK)});
        const FieldCase* shown = nullptr;
        const AppConfig other = Other();
        for (const FieldCase& c : FieldCases()) {
            const uint32_t now = Field(config, c.offset, c.width);
            if (c.page == page)
                EXPECT_EQ(now, Field(defaults, c.offset, c.width)) << c.name;
            else
                EXPECT_EQ(now, Field(other, c.offset, c.width)) << c.name;
            shown = &c;
        }
        (void)shown;
    }
    // The keyboard page's keys come back too.
    AppConfig config = Other();
    RunSheet(config, 4, {ClickOn(kCtlRestoreDefaults), ClickOn(IDOK)});
    EXPECT_EQ(config.keys[0], Defaults().keys[0]);
    EXPECT_EQ(config.rightButtonAction, Other().rightButtonAction);
}

// b2 is the page last made active, kept across the sheet's end either way.
TEST(SettingsSheet, LastPageIsRemembered)
{
    struct Case {
        int start;
        std::vector<DialogStep> steps;
        int b2;
    };
    const Case cases[] = {
        {2, {ClickOn(IDOK)}, 2},
        {2, {SwitchToPage(5), ClickOn(IDOK)}, 5},
        {0, {SwitchToPage(4), SwitchToPage(1), ClickOn(IDCANCEL)}, 1},
        {6, {SwitchToPage(0), ClickOn(IDCANCEL)}, 0},
    };
    for (const Case& c : cases) {
        AppConfig config = Defaults();
        RunSheet(config, c.start, c.steps);
        EXPECT_EQ(config.lastSheetPage, c.b2) << c.start;
    }
}

// The window page writes its display fields when it is left; Cancel puts them back.
TEST(SettingsSheet, WindowPageKillActiveAndReset)
{
    AppConfig config = Defaults();
    const uint8_t bilinear = config.bilinear;
    AppConfig during{};
    (void)during;
    RunSheet(config, 6, {SetCheck(1186, bilinear == 0), SwitchToPage(0), ClickOn(IDCANCEL)});
    EXPECT_EQ(config.bilinear, bilinear);
    RunSheet(config, 6, {SetCheck(1186, bilinear == 0), SwitchToPage(0), ClickOn(IDOK)});
    EXPECT_NE(config.bilinear, bilinear);
}

// Held keys reach the focused edit by the key-name table; a key another action holds moves to the
// new one; keys without a name are refused.
TEST(SettingsSheet, KeysAreCaughtWhileHeld)
{
    struct Case {
        const char* name;
        std::vector<DialogStep> steps;
        uint8_t key0, key1;
        const char* text0;
    };
    const AppConfig defaults = Defaults();
    const Case cases[] = {
        {"Q to the first action", {ClickOn(1056), HoldKeyFor(kKeyQ, 64)}, 0x10, defaults.keys[1], "Q"},
        {"Z taken from the first action by the second", {ClickOn(1057), HoldKeyFor(kKeyZ, 64)}, 0, 0x2C, ""},
        {"Tab refused", {ClickOn(1056), HoldKeyFor(kTab, 64)}, defaults.keys[0], defaults.keys[1], "Z"},
        {"F1 refused", {ClickOn(1056), HoldKeyFor(kF1, 64)}, defaults.keys[0], defaults.keys[1], "Z"},
        {"Shift refused", {ClickOn(1056), HoldKeyFor(kLeftShift, 64)}, defaults.keys[0], defaults.keys[1], "Z"},
        {"Ctrl refused", {ClickOn(1056), HoldKeyFor(kLeftCtrl, 64)}, defaults.keys[0], defaults.keys[1], "Z"},
        {"Alt refused", {ClickOn(1056), HoldKeyFor(kLeftAlt, 64)}, defaults.keys[0], defaults.keys[1], "Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppConfig config = Defaults();
        RunSheet(config, 4, Join(c.steps, {ClickOn(IDOK)}));
        EXPECT_EQ(config.keys[0], c.key0);
        EXPECT_EQ(config.keys[1], c.key1);
        const DialogRecord page = PageRecord(kDlgSettingsKeyboard);
        ASSERT_NE(page.Control(1056), nullptr);
        EXPECT_EQ(page.Control(1056)->textUtf8, c.text0);
    }
    // Enter presses OK, and is not taken either.
    AppConfig config = Defaults();
    EXPECT_EQ(RunSheet(config, 4, {ClickOn(1056), HoldKeyFor(kEnter, 64)}), 1);
    EXPECT_EQ(config.keys[0], defaults.keys[0]);
}

// A stored key without a name, or past the table, is shown unassigned and stored as none.
TEST(SettingsSheet, UnnamedStoredKeysShowUnassigned)
{
    AppConfig config = Defaults();
    config.keys[0] = 0x1C;  // Enter
    config.keys[1] = 250;
    RunSheet(config, 4, {ClickOn(IDOK)});
    EXPECT_EQ(config.keys[0], 0);
    EXPECT_EQ(config.keys[1], 0);
}

TEST(SettingsSheet, JoystickButtonsAreCaughtAndThePageWithoutOneIsDisabled)
{
    winapi::DetachAllJoysticks();
    AppConfig config = Defaults();
    config.useJoystick = 1;
    RunSheet(config, 5, {ClickOn(IDOK)});
    DialogRecord page = PageRecord(kDlgSettingsJoystick);
    ASSERT_NE(page.Control(1070), nullptr);
    EXPECT_FALSE(page.Control(1070)->enabled);
    EXPECT_FALSE(page.Control(1056)->enabled);

    winapi::JoystickInfo info;
    info.nameUtf8 = "pad";
    info.buttons = 8;
    const int id = winapi::AttachJoystick(info);
    ASSERT_GE(id, 0);
    RunSheet(config, 5, {ClickOn(1056), HoldJoystickButton(id, 1, 64), ClickOn(IDOK)});
    page = PageRecord(kDlgSettingsJoystick);
    EXPECT_TRUE(page.Control(1070)->enabled);
    EXPECT_EQ(page.Control(1056)->textUtf8, "ボタン2");
    EXPECT_EQ(config.joystickButtons[0], 5);
    winapi::DetachAllJoysticks();
}

// Values of a damaged block take their defaults (or nearest value) before a page shows them.
TEST(SettingsSheet, DamagedValuesAreCorrected)
{
    const AppConfig defaults = Defaults();
    struct Case {
        const char* name;
        size_t offset;
        uint8_t width;
        uint32_t damaged, shown;
    };
    const Case cases[] = {
        {"page past the seventh", AT(lastSheetPage), 7, 0},
        {"system menu item past the twelfth", AT(systemMenuStart), 12, defaults.systemMenuStart},
        {"right button action past the list", AT(rightButtonAction), 7, defaults.rightButtonAction},
        {"wheel button action past the list", AT(wheelButtonAction), 200, defaults.wheelButtonAction},
        {"resolution method 0", AT(resolutionMethod), 0, defaults.resolutionMethod},
        {"resolution method 3", AT(resolutionMethod), 3, defaults.resolutionMethod},
        {"monitor past the list", AT(targetMonitor), 2, defaults.targetMonitor},
        {"drawing method 4", AT(enlargedDrawing), 4, defaults.enlargedDrawing},
        {"key past the table", offsetof(AppConfig, keys) + 3, 1, 212, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppConfig config = defaults;
        WriteField(&config, c.offset, c.width, c.damaged);
        ClampSettingsForSheet(&config, 1);
        EXPECT_EQ(ReadField(config, c.offset, c.width), c.shown);
    }
    // Slider fields past their range are shown, and stored, at the nearest end.
    AppConfig config = defaults;
    config.popupHintDelay = 0xFFFFFFFFu;
    config.masterVolume = 9999;
    config.movieVolume = -5;
    RunSheet(config, 0, {SwitchToPage(3), SwitchToPage(6), ClickOn(IDOK)});
    EXPECT_EQ(config.popupHintDelay, 3000u);
    EXPECT_EQ(config.masterVolume, 256);
    EXPECT_EQ(config.movieVolume, 0);
}

TEST(SettingsSheet, KeyNameTable)
{
    struct Case {
        int code;
        const char* name;
    };
    const Case cases[] = {
        {0x01, "Esc"},     {0x02, "1"},       {0x0B, "0"},       {0x0C, "-"},        {0x0D, ""},
        {0x0E, "BackSpace"}, {0x0F, ""},      {0x10, "Q"},       {0x1B, "]"},        {0x1C, ""},
        {0x1D, ""},        {0x1E, "A"},       {0x28, ":"},       {0x29, "]"},        {0x2A, ""},
        {0x2B, "\\"},      {0x2C, "Z"},       {0x35, "/"},       {0x36, ""},         {0x37, "ﾃﾝｷｰ[*]"},
        {0x38, ""},        {0x39, "Space"},   {0x3B, ""},        {0x3F, ""},         {0x40, "F6"},
        {0x44, "F10"},     {0x47, "ﾃﾝｷｰ[7]"}, {0x53, "ﾃﾝｷｰ[.]"}, {0x57, "F11"},      {0x58, "F12"},
        {0xB5, "ﾃﾝｷｰ[/]"}, {0xC7, "Home"},    {0xC8, ""},        {0xC9, "PageUp"},   {0xCF, "End"},
        {0xD1, "PageDown"}, {0xD2, "Insert"}, {0xD3, "Delete"},  {0xD4, ""},         {212, ""},
        {-1, ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(KeyNameUtf8(c.code), c.name) << c.code;
}

// The strip's cells at clock readings: filling at the speed (16 ms at least a cell), held for
// sixteen characters and the minimum time, then cleared; without wait all at once.
TEST(SettingsSheet, SpeedStripCellsFollowTheClock)
{
    struct Step {
        uint32_t at;
        int cells;
    };
    struct Case {
        const char* name;
        bool noWait;
        int speed;
        std::vector<Step> steps;
    };
    const SpeedPreviewSettings wait{10, 100};  // a full strip stays 260 ms
    const Case cases[] = {
        {"30 ms a cell", false, 30, {{0, 0}, {16, 0}, {31, 1}, {60, 1}, {100, 3}, {1000, 16}}},
        {"speed 0 counts 16 ms a cell", false, 0, {{0, 0}, {1, 0}, {48, 2}}},
        {"held then cleared", false, 30, {{0, 0}, {600, 16}, {860, 16}, {861, 0}, {892, 1}}},
        {"no wait", true, 30, {{0, 16}, {5000, 16}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSpeedPreview strip;
        for (const Step& s : c.steps) {
            strip.Tick(s.at, c.noWait, c.speed, wait);
            EXPECT_EQ(strip.Cells(), s.cells) << "at " << s.at;
        }
    }
}

// Over the application: the hint flag is raised only by a change of the hint switch or delay,
// and the screen-mode radios show the frame's mode.
TEST(SettingsSheet, ApplicationFlagsAndScreenModeRadios)
{
    struct Case {
        const char* name;
        std::vector<DialogStep> steps;
        uint8_t hintChanged;
    };
    const Case cases[] = {
        {"hints switched off", {SetCheck(1109, false), ClickOn(IDOK)}, 1},
        {"hint delay changed", {ArrowSlider(1051, 1), ClickOn(IDOK)}, 1},
        {"another box only", {SetCheck(1101, true), ClickOn(IDOK)}, 0},
        {"hints switched off, then Cancel", {SetCheck(1109, false), ClickOn(IDCANCEL)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGameApp app;
        app.Config().lastSheetPage = 0;
        ClearDialogScripts();
        QueueDialogScript(kDlgSettingsSystem, c.steps);
        ShowSettingsSheet(app, nullptr);
        EXPECT_EQ(app.GetHintSettingsChanged(), c.hintChanged);
        EXPECT_EQ(app.GetSettingsChanged(), c.steps.back().id == IDOK ? 1 : 0);
    }
    for (uint8_t mode : {1, 2}) {
        CGameApp app;
        app.FrameOptions().requestedMode = mode;
        app.Config().lastSheetPage = 0;
        ClearDialogScripts();
        QueueDialogScript(kDlgSettingsSystem, {ClickOn(IDCANCEL)});
        ShowSettingsSheet(app, nullptr);
        const DialogRecord page = PageRecord(kDlgSettingsSystem);
        EXPECT_EQ(page.Control(1081)->check, mode == 1 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(page.Control(1080)->check, mode == 1 ? BST_UNCHECKED : BST_CHECKED);
    }
}
