// The settings sheet headless: each page's controls against the block's fields after OK, Cancel,
// the restore button, the page remembered in b2, the window page's kill-active and reset, key and
// joystick capture, the checks a damaged block passes, the key-name table and the speed strips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "display/movie_object.h"
#include "drawing/glyph_font.h"
#include "natives/movie_natives.h"
#include "raster/image.h"

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

namespace {

// The sample as the test composes it: the frame colour at its opacity over an 8 × 8 checkerboard
// (white at the corner), the face's name drawn at (2, 2) by a glyph font of height 24 set up by
// hand.
struct SampleLook {
    bool bold = false, antiAlias = true, gradient = false;
    int decoration = 2;
    uint32_t colour = 0;
    int opacity = 255;
};

void ComposeSample(CImage& image, const std::string& faceSjis, const SampleLook& look, bool withText)
{
    for (int y = 0; y < image.GetHeight(); ++y) {
        uint8_t* row = image.GetBits() + static_cast<ptrdiff_t>(y) * image.GetPitch();
        for (int x = 0; x < image.GetWidth(); ++x) {
            const uint32_t checker = ((x / 8 + y / 8) % 2 == 0) ? 0xFFFFFF : 0xCCCCCC;
            for (int c = 0; c < 3; ++c) {
                const uint32_t over = (look.colour >> (8 * c)) & 0xFF, under = (checker >> (8 * c)) & 0xFF;
                row[x * 4 + c] = static_cast<uint8_t>((over * look.opacity + under * (255 - look.opacity) + 127) / 255);
            }
            row[x * 4 + 3] = 0xFF;
        }
    }
    if (!withText)
        return;
    CGlyphFont font;
    font.SetShadowOffset(2, 2);
    font.SetOutline(font.m_outlineStrength, 2);
    font.SetFont(24, look.bold ? 1 : 0, 0, faceSjis.c_str());
    font.SetAntialias(look.antiAlias ? 2 : 0);
    font.SetEffect(static_cast<uint8_t>(look.decoration), 0, 0, 0);
    font.SetGradient(look.gradient ? 1 : 0, 0xFFEB00, 0xFF4646, 1);
    ASSERT_EQ(font.DrawString(&image, 2, 2, faceSjis.c_str(), nullptr, nullptr), 0);
}

// Pixels whose colour differs (alpha aside).
int ColourDifferences(CImage& a, CImage& b)
{
    int differences = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x) {
            const uint8_t* p = a.GetBits() + static_cast<ptrdiff_t>(y) * a.GetPitch() + x * 4;
            const uint8_t* q = b.GetBits() + static_cast<ptrdiff_t>(y) * b.GetPitch() + x * 4;
            differences += std::memcmp(p, q, 3) != 0 ? 1 : 0;
        }
    return differences;
}

// The page's face list as the sheet showed it.
std::vector<std::string> ShownFaces()
{
    AppConfig config = Defaults();
    RunSheet(config, 2, {ClickOn(IDCANCEL)});
    const DialogRecord page = PageRecord(kDlgSettingsTextFont);
    const ControlRecord* list = page.Control(1121);
    return list != nullptr ? list->itemsUtf8 : std::vector<std::string>{};
}

} // namespace

// The sample on the テキスト２ page, as the block shows it and after each kind of change, equals
// the same glyph font's DrawString over the checkerboard and frame colour composed here.
TEST(SettingsSheet, FontSampleIsTheGlyphFontOverTheFrameColour)
{
    const std::vector<std::string> faces = ShownFaces();
    if (faces.empty())
        GTEST_SKIP() << "no Japanese face is installed";
    const std::string face = winapi::Sjis(faces.back().c_str());
    AppConfig start = Defaults();
    std::memset(start.faceName, 0, sizeof start.faceName);
    ASSERT_LT(face.size(), sizeof start.faceName);
    std::memcpy(start.faceName, face.data(), face.size());
    start.frameColour = 0x106EA8;
    start.frameTransparency = 140;

    struct Case {
        const char* name;
        std::vector<DialogStep> steps;
        SampleLook look;
    };
    const Case cases[] = {
        {"as stored", {}, {false, true, false, 2, 0x106EA8, 140}},
        {"bold with a shadow",
         {SetCheck(1126, true), SetCheck(1124, true), AdvanceClock(48)},
         {true, true, false, 1, 0x106EA8, 140}},
        {"gradient without anti-aliasing or effect",
         {SetCheck(1123, true), SetCheck(1122, false), SetCheck(1125, false), AdvanceClock(48)},
         {false, false, true, 0, 0x106EA8, 140}},
        {"frame colour and opacity", {DragSlider(1051, 200), DragSlider(1054, 30), AdvanceClock(48)},
         {false, true, false, 2, 0xC86EA8, 30}},
        {"a change after another", {SetCheck(1126, true), AdvanceClock(48), DragSlider(1053, 0), AdvanceClock(48)},
         {true, true, false, 2, 0x106E00, 140}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppConfig config = start;
        RegisterSettingsResources();
        ClearDialogScripts();
        config.lastSheetPage = 2;
        QueueDialogScript(kDlgSettingsSystem, Join(c.steps, {ClickOn(IDCANCEL)}));
        CImage shown;
        SheetSession session;
        session.config = &config;
        session.fontSampleCopy = &shown;
        RunSettingsSheet(session, nullptr);
        ASSERT_NE(shown.GetBits(), nullptr) << "the sample was never shown";
        ASSERT_GT(shown.GetWidth(), 100);
        ASSERT_GT(shown.GetHeight(), 28);
        CImage expected, background;
        ASSERT_EQ(expected.Create(shown.GetWidth(), shown.GetHeight(), 32, 0), 0);
        ASSERT_EQ(background.Create(shown.GetWidth(), shown.GetHeight(), 32, 0), 0);
        ComposeSample(expected, face, c.look, true);
        ComposeSample(background, face, c.look, false);
        EXPECT_GT(ColourDifferences(expected, background), 50) << "no text was drawn";
        EXPECT_EQ(ColourDifferences(shown, expected), 0);
    }
}

// The face list holds each Japanese family that fontconfig knows once, by its Japanese name where
// it has one, and no vertical "@" face.
TEST(SettingsSheet, FaceListHoldsEachJapaneseFamilyOnce)
{
    std::set<std::string> families;
    if (FILE* pipe = popen("fc-list :lang=ja family 2>/dev/null", "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            std::string names(line);
            while (!names.empty() && (names.back() == '\n' || names.back() == '\r'))
                names.pop_back();
            // "English,日本語": the name with non-ASCII letters where there is one.
            std::string chosen;
            size_t from = 0;
            while (from <= names.size()) {
                const size_t comma = std::min(names.find(',', from), names.size());
                const std::string name = names.substr(from, comma - from);
                if (chosen.empty())
                    chosen = name;
                for (unsigned char ch : name)
                    if (ch >= 0x80) {
                        chosen = name;
                        break;
                    }
                from = comma + 1;
            }
            if (!chosen.empty())
                families.insert(chosen);
        }
        pclose(pipe);
    }
    if (families.empty())
        GTEST_SKIP() << "fc-list reports no Japanese family";
    const std::vector<std::string> faces = ShownFaces();
    for (const std::string& family : families)
        EXPECT_EQ(std::count(faces.begin(), faces.end(), family), 1) << family;
    for (const std::string& face : faces)
        EXPECT_NE(face.rfind('@', 0), 0u) << face;
}

// The movie volume slider is heard at once by whichever movie is open, not by the page's first
// fill; Cancel gives the movie the stored volume again.
TEST(SettingsSheet, MovieVolumeReachesTheOpenMovie)
{
    enum Where { kWindow, kPrimitive, kSprite };
    struct Case {
        const char* name;
        Where where;
        std::vector<DialogStep> steps;
        int volume;
    };
    const Case cases[] = {
        {"window movie, dragged, OK", kWindow, {DragSlider(1051, 100), ClickOn(IDOK)}, 100},
        {"primitive, dragged, OK", kPrimitive, {DragSlider(1051, 100), ClickOn(IDOK)}, 100},
        {"sprite, typed, OK", kSprite, Join(Retype(1056, "64"), {ClickOn(IDOK)}), 64},
        {"sprite, dragged, Cancel", kSprite, {DragSlider(1051, 100), ClickOn(IDCANCEL)}, 200},
        {"window movie, untouched", kWindow, {ClickOn(IDOK)}, 50},
        {"primitive, untouched, Cancel", kPrimitive, {ClickOn(IDCANCEL)}, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* window = c.where == kWindow ? new CMovieObject : nullptr;
        auto* primitive = c.where == kPrimitive ? new CMoviePrimitive(nullptr) : nullptr;
        auto* sprite = c.where == kSprite ? new CMovieSprite : nullptr;
        g_pMovie = window;
        g_pMoviePrimitive = primitive;
        g_pMovieSprite = sprite;
        ASSERT_NE(SetOpenMovieVolume(50), -2);
        AppConfig config = Defaults();
        config.playMovies = 1;
        config.movieVolume = 200;
        RunSheet(config, 6, c.steps);
        const int volume = window != nullptr ? window->GetVolume()
                           : primitive != nullptr ? primitive->GetVolume()
                                                  : sprite->GetVolume();
        EXPECT_EQ(volume, c.volume);
        CloseMovies();
        EXPECT_EQ(SetOpenMovieVolume(10), -2);
    }
}
