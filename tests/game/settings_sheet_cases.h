// The settings sheet's scripted cases, run on the headless host and on the SDL host under X:
// blocks to start from, the sheet run over a block with a dialog script, and each page's table of
// control actions against the field they store.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "game/settings_sheet.h"
#include "winapi/dialogs/dialog_script.h"

namespace settings_sheet_cases {

using namespace winapi::dialogs;


constexpr int kBackspace = 42, kEnter = 40, kTab = 43, kF1 = 58, kLeftShift = 225, kLeftCtrl = 224,
              kLeftAlt = 226, kKeyQ = 20, kKeyZ = 29;

inline AppConfig Defaults()
{
    AppConfig c{};
    SetAppConfigDefaults(&c);
    ClampSettingsForSheet(&c, 0);
    return c;
}

// Every field a page shows, set away from its default (and valid).
inline AppConfig Other()
{
    AppConfig c = Defaults();
    c.fastEffects = 1;
    c.clickSkipsEffects = 0;
    c.choicesEndSkip = 1;
    c.systemMenuStart = 9;
    c.popupHintDelay = 1230;
    c.unreadCharMs = 77;
    c.readNoWait = 0;
    c.autoMinimumWait = 4500;
    c.historyPages = 20;
    c.decoration = 1;
    c.bold = 1;
    c.frameColour = 0x00123456;
    c.frameTransparency = 99;
    c.masterOn = 0;
    c.bgmVolume = 77;
    c.seOn = 0;
    c.lowerBgmForVoice = 0;
    c.keys[0] = 0x10;  // Q
    c.fastForwardKey = 0;
    c.rightButtonAction = 5;
    c.wheelButtonAction = 6;
    c.hideCursor = 0;
    c.resolutionMethod = 2;
    c.enlargedDrawing = 3;
    c.bilinear = 1;
    c.movieVolume = 100;
    return c;
}

// Whatever the edit held is erased, then the text typed.
inline std::vector<DialogStep> Retype(int id, const std::string& text)
{
    std::vector<DialogStep> steps{TypeInto(id, "")};
    for (int i = 0; i < 6; ++i)
        steps.push_back(PressKey(kBackspace));
    steps.push_back(TypeInto(id, text));
    return steps;
}

inline std::vector<DialogStep> Join(std::vector<DialogStep> a, const std::vector<DialogStep>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Runs the sheet over `config` from its page `page` with the steps → the sheet's result.
inline INT_PTR RunSheet(AppConfig& config, int page, const std::vector<DialogStep>& steps)
{
    RegisterSettingsResources();
    ClearDialogScripts();
    config.lastSheetPage = static_cast<uint8_t>(page);
    QueueDialogScript(kDlgSettingsSystem, steps);
    SheetSession session;
    session.config = &config;
    return RunSettingsSheet(session, nullptr);
}

// The last record of a page template (its controls as the sheet ended).
inline DialogRecord PageRecord(int templateId)
{
    DialogRecord found;
    for (const DialogRecord& r : DialogRecords())
        if (r.templateId == templateId && !r.propertySheet)
            found = r;
    return found;
}

inline uint32_t Field(const AppConfig& c, size_t offset, uint8_t width)
{
    return ReadField(c, offset, width);
}

struct FieldCase {
    const char* name;
    int page;
    std::vector<DialogStep> steps;
    size_t offset;
    uint8_t width;
    uint32_t expected;
};

#define AT(field) offsetof(AppConfig, field), static_cast<uint8_t>(sizeof(AppConfig::field) == 4 ? 4 : 1)

inline std::vector<FieldCase> FieldCases()
{
    return {
        {"fast effects", 0, {SetCheck(1101, true)}, AT(fastEffects), 1},
        {"skip ends at choices, inverted box", 0, {SetCheck(1105, false)}, AT(choicesEndSkip), 1},
        {"system menu's first item", 0, {PickItemOf(1082, 7)}, AT(systemMenuStart), 7},
        {"hint delay typed past its end", 0, Retype(1056, "5000"), AT(popupHintDelay), 3000},
        {"hint delay in tens", 0, {DragSlider(1051, 300)}, AT(popupHintDelay), 3000},
        {"hints off", 0, {SetCheck(1109, false)}, AT(popupHints), 0},
        {"minimum time truncated to hundreds", 1, Retype(1059, "95"), AT(autoMinimumWait), 0},
        {"minimum time", 1, Retype(1059, "4567"), AT(autoMinimumWait), 4500},
        {"unread speed by arrows", 1, {ArrowSlider(1051, 2)}, AT(unreadCharMs), 32},
        {"read speed by a page", 1, {PageSlider(1052, 1)}, AT(readCharMs), 45},
        {"history pages dragged to the end", 1, {DragSlider(1055, 255)}, AT(historyPages), 255},
        {"unread without wait", 1, {SetCheck(1070, true)}, AT(unreadNoWait), 1},
        {"shadow", 2, {SetCheck(1124, true)}, AT(decoration), 1},
        {"outline cleared by shadow then set again", 2, {SetCheck(1124, true), SetCheck(1125, true)}, AT(decoration), 2},
        {"no anti-aliasing", 2, {SetCheck(1122, false)}, AT(antiAlias), 0},
        {"frame red one lower", 2, {ArrowSlider(1051, -1)}, AT(frameColour), 0x000F6EA8},
        {"frame transparency", 2, Retype(1059, "300"), AT(frameTransparency), 255},
        {"all muted, inverted box", 3, {SetCheck(1070, true)}, AT(masterOn), 0},
        {"BGM volume", 3, {ArrowSlider(1052, -10)}, AT(bgmVolume), 140},
        {"SE volume a page lower", 3, {PageSlider(1053, -1)}, AT(seVolume), 144},
        {"voice volume without a voice table", 3, Retype(1060, "100"), AT(voiceVolume), 100},
        {"BGM level while a voice plays", 3, Retype(1061, "40"), AT(bgmLevelForVoice), 40},
        {"BGM level kept a percentage", 3, Retype(1061, "250"), AT(bgmLevelForVoice), 100},
        {"quick slots with Shift", 4, {ClickOn(1080)}, AT(fastForwardKey), 0},
        {"unread not fast-forwarded", 4, {SetCheck(1070, true)}, AT(noFastForwardUnread), 1},
        {"right button saves", 5, {PickItemOf(1082, 5)}, AT(rightButtonAction), 5},
        {"wheel down does not read on", 5, {SetCheck(1072, false)}, AT(wheelDownAdvances), 0},
        {"cursor shown", 5, {SetCheck(1162, false)}, AT(hideCursor), 0},
        {"DirectDraw for the resolution", 6, {SetCheck(1183, true)}, AT(resolutionMethod), 2},
        {"drawing method Direct3D", 6, {PickItemOf(1083, 2)}, AT(enlargedDrawing), 3},
        {"bilinear", 6, {SetCheck(1186, true)}, AT(bilinear), 1},
        {"movie volume", 6, {ArrowSlider(1051, -1)}, AT(movieVolume), 255},
    };
}


inline void CheckFieldCases()
{
    for (const FieldCase& c : FieldCases()) {
        SCOPED_TRACE(c.name);
        AppConfig config = Defaults();
        if (c.page == 6)
            config.playMovies = 1;
        EXPECT_EQ(RunSheet(config, c.page, Join(c.steps, {ClickOn(IDOK)})), 1);
        EXPECT_EQ(Field(config, c.offset, c.width), c.expected);
    }
}

} // namespace settings_sheet_cases
