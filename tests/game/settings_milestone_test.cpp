// Milestone (headless, both threading modes): the real application plays looping music, the
// script asks for the settings sheet (native 24, request 0), and a dialog script lowers the BGM
// volume, gives action 9 another key and changes the unread speed, then presses OK. The music's
// volume falls at once, the action map binds the new key, the APP_CFG.DAT written at exit holds
// the values and a second start applies them. A last native reports what it sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "files/sound_fixtures.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "game/settings_sheet.h"
#include "platform/action_map.h"
#include "platform/lock.h"
#include "sound/sound_player.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/host_headless.h"

using namespace winapi::dialogs;

namespace {

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

struct Seen {
    int32_t musicVolume = -1;
    uint8_t action9Key = 0;
    uint8_t unreadMs = 0;
};
std::vector<Seen> g_seen;

// Native 809: the music's volume, action 9's player key and the unread speed now.
uint32_t ReportNative(SobNativeArgs&)
{
    Seen seen;
    if (g_pSoundManager != nullptr) {
        CScopedLock guard(&g_pSoundManager->GetLock());
        seen.musicVolume = g_pSoundManager->GetMusicScale();
    }
    if (g_pTheGameApp != nullptr) {
        if (CActionMap* map = g_pTheGameApp->GetActionMap())
            map->GetBinding(9, 0, 0, &seen.action9Key, nullptr);
        seen.unreadMs = g_pTheGameApp->Config().unreadCharMs;
    }
    g_seen.push_back(seen);
    return 0;
}

using gamefolder::Frames;

constexpr int kKeyQ = 20, kBackspace = 42;

class SettingsMilestone : public testing::TestWithParam<int> {};

} // namespace

TEST_P(SettingsMilestone, SheetChangesAreHeardBoundAndKept)
{
    const uint8_t threaded = static_cast<uint8_t>(GetParam());
    TempFolder dir, home;
    // The save folder (and so APP_CFG.DAT) lies in a home of the test's own.
    setenv("HOME", home.Linux().c_str(), 1);
    setenv("XDG_DATA_HOME", home.Linux("data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.Linux("config").c_str(), 1);
    std::filesystem::create_directories(home.Linux("Documents"));
    std::filesystem::create_directories(home.Linux("data"));
    const std::string wav = dir.Linux("tone.wav");
    if (!sound_test::Run("sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth 1 sine 440 vol 0.5") ||
        !sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + dir.Linux("tone.ogg") + "'"))
        GTEST_SKIP() << "sox or oggenc is missing";
    const std::string ogg = dir.Read("tone.ogg");
    dir.Write("SE/SE_TEST.OGG", ogg);
    dir.Write("BGM/TONE.OGG", ogg);
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.SetU16(kSysWidth, 640);
    sys.SetU16(kSysHeight, 480);
    sys.bytes[kSysSaveMode] = 0;
    sys.bytes[kSysSingleInstance] = 0;
    WriteAppFiles(dir, sys, "SettingsMilestone", threaded);

    const std::string source =
        "        ncall native 662, a662, x\n" +
        Frames("fa", 5) +
        "        ncall native 809, none, x\n"
        "        ncall native 24, a24, x\n" +
        Frames("fb", 5) +
        "        ncall native 809, none, x\n"
        "        ret\n"
        ".data\n"
        "a662:  .word 0, bgm, 65535, 1\n"
        "bgm:   .sjis \"BGM\\\\TONE.OGG\"\n"
        "a24:   .word 0, 1\n"
        "none:  .word 0, 0, 0, 0\n"
        "x:     .word 0\n"
        "fan:   .word 0\n"
        "fbn:   .word 0\n";
    SobVariableLayout layout;
    std::vector<std::string> errors;
    SobAssembly assembly;
    ASSERT_TRUE(AssembleSob(source, "MAIN", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
    dir.Write("SCRIPT/MAIN.SOB", Str(bytes));

    std::vector<DialogStep> steps{SwitchToPage(3), ArrowSlider(1052, -100), SwitchToPage(4), ClickOn(1061),
                                  HoldKeyFor(kKeyQ, 48), SwitchToPage(1), TypeInto(1056, "")};
    for (int i = 0; i < 4; ++i)
        steps.push_back(PressKey(kBackspace));
    steps.push_back(TypeInto(1056, "12"));
    steps.push_back(ClickOn(IDOK));
    ClearDialogScripts();
    QueueDialogScript(kDlgSettingsSystem, steps);
    g_seen.clear();
    {
        CGameApp app;
        app.SetExtraNatives({ReportNative});
        std::string line = "/L" + dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
        EXPECT_EQ(app.GetEndCode(), 0);
    }
    ASSERT_EQ(g_seen.size(), 2u) << "the script did not reach its reports";
    EXPECT_EQ(g_seen[0].musicVolume, 150);
    EXPECT_EQ(g_seen[1].musicVolume, 50);
    EXPECT_EQ(g_seen[0].action9Key, 0x43);  // F9
    EXPECT_EQ(g_seen[1].action9Key, 0x10);  // Q
    EXPECT_EQ(g_seen[1].unreadMs, 12);

    const std::string saved = home.Read("Documents/SettingsMilestone SaveData/APP_CFG.DAT");
    AppConfig stored{};
    SetAppConfigDefaults(&stored);
    ASSERT_TRUE(ParseAppCfg(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), &stored));
    EXPECT_EQ(stored.bgmVolume, 50);
    EXPECT_EQ(stored.keys[5], 0x10);
    EXPECT_EQ(stored.unreadCharMs, 12);
    EXPECT_EQ(stored.lastSheetPage, 1);

    // A second start: no sheet, the stored values are in force from the first frame.
    ClearDialogScripts();
    QueueDialogScript(kDlgSettingsSystem, {ClickOn(IDCANCEL)});
    g_seen.clear();
    {
        CGameApp app;
        app.SetExtraNatives({ReportNative});
        std::string line = "/L" + dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
    }
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].musicVolume, 50);
    EXPECT_EQ(g_seen[0].action9Key, 0x10);
    EXPECT_EQ(g_seen[0].unreadMs, 12);
}

INSTANTIATE_TEST_SUITE_P(BothThreadingModes, SettingsMilestone, testing::Values(0, 1));
