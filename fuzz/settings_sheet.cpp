// Fuzzes the settings sheet over any settings block: the first 196 bytes are the block (zeros
// past the input's end), each following byte picks what is done on a page (restore defaults,
// slider arrows and pages, a check box, a combo item) as the sheet visits all seven pages; the
// last byte's low bit chooses OK or Cancel. After OK every field a page stores is within its
// range; after Cancel the block is the one given, but for b2 and the window page's fields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/settings_sheet.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"

using namespace winapi::dialogs;

namespace {

// One page action from a byte: the page's first slider moved, a box ticked or cleared, a combo
// item picked, or the page's defaults restored.
DialogStep Action(int page, uint8_t byte)
{
    static const int kSliders[kSettingsPageCount] = {1051, 1054, 1051, 1052, 0, 0, 1051};
    static const int kBoxes[kSettingsPageCount] = {1105, 1070, 1124, 1070, 1070, 1072, 1183};
    static const int kCombos[kSettingsPageCount] = {1082, 0, 0, 0, 0, 1082, 1083};
    const int amount = static_cast<int8_t>(byte) / 16;
    switch (byte & 3) {
    case 0: return kSliders[page] != 0 ? ArrowSlider(kSliders[page], amount) : SetCheck(kBoxes[page], byte & 4);
    case 1: return kSliders[page] != 0 ? PageSlider(kSliders[page], amount) : ClickOn(kCtlRestoreDefaults);
    case 2: return kCombos[page] != 0 ? PickItemOf(kCombos[page], byte >> 4) : SetCheck(kBoxes[page], byte & 4);
    default: return (byte & 4) != 0 ? ClickOn(kCtlRestoreDefaults) : SetCheck(kBoxes[page], byte & 8);
    }
}

void Check(bool ok, int line)
{
    if (!ok) {
        std::fprintf(stderr, "settings_sheet: the check of line %d failed\n", line);
        std::abort();
    }
}
#define CHECK(condition) Check(condition, __LINE__)

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    winapi::CurrentHost();
    if (winapi::CurrentHeadlessHost() == nullptr)
        return 0;
    AppConfig config{};
    if (size > 0)
        std::memcpy(&config, data, std::min(size, sizeof config));
    ClampSettingsForSheet(&config, 0);
    const AppConfig given = config;
    std::vector<DialogStep> steps;
    size_t at = sizeof config;
    for (int page = 0; page < kSettingsPageCount; ++page) {
        steps.push_back(SwitchToPage(page));
        if (at < size)
            steps.push_back(Action(page, data[at++]));
    }
    const bool ok = size == 0 || (data[size - 1] & 1) == 0;
    steps.push_back(ClickOn(ok ? IDOK : IDCANCEL));
    RegisterSettingsResources();
    ClearDialogScripts();
    QueueDialogScript(kDlgSettingsSystem, steps);
    SheetSession session;
    session.config = &config;
    const INT_PTR result = RunSettingsSheet(session, nullptr);
    CHECK(result == (ok ? 1 : 0));
    CHECK(config.lastSheetPage < kSettingsPageCount);
    if (ok) {
        CHECK(config.popupHintDelay <= 3000 && config.popupHintDelay % 10 == 0);
        CHECK(config.autoMinimumWait <= 9000 && config.autoMinimumWait % 100 == 0);
        CHECK(config.systemMenuStart <= 11 && config.rightButtonAction <= 6 && config.wheelButtonAction <= 6);
        for (int32_t volume : {config.masterVolume, config.bgmVolume, config.seVolume, config.systemSeVolume,
                               config.voiceVolume, config.movieVolume})
            CHECK(volume >= 0 && volume <= 256);
        CHECK(config.decoration <= 2 && config.bgmLevelForVoice <= 100);
        CHECK(config.resolutionMethod >= 1 && config.resolutionMethod <= 2);
        CHECK(config.enlargedDrawing >= 1 && config.enlargedDrawing <= 3);
        CHECK(config.targetMonitor == 0 && config.frameColour <= 0xFFFFFF);
        for (int i = 0; i < 14; ++i)
            CHECK(config.keys[i] == 0 || KeyNameUtf8(config.keys[i])[0] != '\0');
    } else {
        AppConfig expected = given;
        expected.lastSheetPage = config.lastSheetPage;
        for (size_t i = 0; i < sizeof config; ++i)
            if (reinterpret_cast<const uint8_t*>(&config)[i] != reinterpret_cast<const uint8_t*>(&expected)[i])
                std::fprintf(stderr, "settings_sheet: byte %zu changed by Cancel\n", i);
        CHECK(std::memcmp(&config, &expected, sizeof config) == 0);
    }
    return 0;
}
