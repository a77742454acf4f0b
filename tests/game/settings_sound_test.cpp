// The settings sheet's sound page over the real application and its sound manager, heard in the
// headless mix: the TEST buttons play SE_TEST.OGG, VO_TEST.OGG or a character's own test voice
// from the host's voice table (a hidden character's cannot be played), and a volume lowered in
// the sheet is heard at once and given back by Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "authoring/voice_info_writer.h"
#include "files/sound_fixtures.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "game/settings_sheet.h"
#include "game/user_settings.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/dsound.h"

using namespace winapi::dialogs;

namespace {

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// A looping wait of n frames under label p.
std::string Frames(const std::string& p, int n)
{
    return p + ":  yield\n"
               "        inc " + p + "n\n"
               "        movm " + p + "n, " + p + "l.1\n" +
           p + "l: lt 0, " + std::to_string(n) + ", " + p + "m.1\n" +
           p + "m: jz 0, " + p + "e\n"
               "        jmp " + p + "\n" +
           p + "e:\n";
}

// The mix's rate, set by Play.
DWORD rate = 0;

struct Game {
    TempFolder dir, home;
    bool made = false;
};

// A tone of `hz` for `seconds` as an Ogg file of the folder.
bool WriteTone(Game& game, const std::string& name, int hz, double seconds)
{
    const std::string wav = game.dir.Linux("tone.wav"), ogg = game.dir.Linux("tone.ogg");
    if (!sound_test::Run("sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth " + std::to_string(seconds) + " sine " +
                         std::to_string(hz) + " vol 0.5") ||
        !sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + ogg + "'"))
        return false;
    game.dir.Write(name, game.dir.Read("tone.ogg"));
    return true;
}

// The folder: MAIN optionally starts looping music, waits, asks for the sheet, waits and ends.
void MakeGame(Game& game, bool music, bool voiceTable)
{
    setenv("HOME", game.home.Linux().c_str(), 1);
    setenv("XDG_DATA_HOME", game.home.Linux("data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", game.home.Linux("config").c_str(), 1);
    std::filesystem::create_directories(game.home.Linux("Documents"));
    std::filesystem::create_directories(game.home.Linux("data"));
    if (!WriteTone(game, "SE/SE_TEST.OGG", 440, 1) || !WriteTone(game, "VOICE/VO_TEST.OGG", 660, 1) ||
        !WriteTone(game, "VOICE/AN_TEST.OGG", 880, 1) || !WriteTone(game, "VOICE/BB_TEST.OGG", 1320, 1) ||
        !WriteTone(game, "BGM/TONE.OGG", 330, 1))
        return;
    if (voiceTable) {
        std::vector<uint8_t> table;
        std::string error;
        ASSERT_TRUE(WriteVoiceInfo("OGG\nAnn - AN\nBob hidden BB\n", &table, &error)) << error;
        game.dir.Write("SCRIPT/VOICEINF.DAT", Str(table));
    }
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.SetU16(kSysWidth, 640);
    sys.SetU16(kSysHeight, 480);
    sys.bytes[kSysSaveMode] = 0;
    sys.bytes[kSysSingleInstance] = 0;
    WriteAppFiles(game.dir, sys, "SettingsSound", 0);
    // Eight channels (668): the page's tests use channels 0, 4 and 7.
    const std::string source = "        ncall native 668, a668, x\n" +
                               std::string(music ? "        ncall native 662, a662, x\n" : "") + Frames("fa", 30) +
                               "        ncall native 24, a24, x\n" + Frames("fb", 30) +
                               "        ret\n"
                               ".data\n"
                               "a662:  .word 0, bgm, 65535, 1\n"
                               "bgm:   .sjis \"BGM\\\\TONE.OGG\"\n"
                               "a24:   .word 0, 1\n"
                               "a668:  .word 8\n"
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
    game.dir.Write("SCRIPT/MAIN.SOB", Str(bytes));
    game.made = true;
}

// Runs the game with the steps on the sound page → the first channel of the mix.
std::vector<int16_t> Play(Game& game, const std::vector<DialogStep>& steps, const AppConfig* stored = nullptr)
{
    if (stored != nullptr) {
        const std::vector<uint8_t> bytes = BuildAppCfg(*stored);
        game.home.Write("Documents/SettingsSound SaveData/APP_CFG.DAT", Str(bytes));
    }
    std::vector<DialogStep> all{SwitchToPage(3)};
    all.insert(all.end(), steps.begin(), steps.end());
    ClearDialogScripts();
    QueueDialogScript(kDlgSettingsSystem, all);
    winapi::DsoundClearRecorded();
    {
        gamefolder::Watchdog watchdog(120);
        CGameApp app;
        std::string line = "/L" + game.dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
        EXPECT_EQ(app.GetEndCode(), 0);
    }
    const winapi::DsoundRecording mix = winapi::DsoundRecorded();
    std::vector<int16_t> left;
    for (size_t i = 0; mix.channels > 0 && i < mix.samples.size(); i += mix.channels)
        left.push_back(mix.samples[i]);
    rate = mix.rate;
    return left;
}

// The loudest stretch's pitch in Hz from its zero crossings (0 for silence).
double Pitch(const std::vector<int16_t>& samples)
{
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::abs(samples[i]) > 2000) {
            first = std::min(first, i);
            last = i;
        }
    if (first >= last || rate == 0)
        return 0;
    int crossings = 0;
    for (size_t i = first + 1; i <= last; ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0) ? 1 : 0;
    return crossings / 2.0 / (static_cast<double>(last - first) / rate);
}

// The root mean square level of each 50 ms window.
std::vector<double> Levels(const std::vector<int16_t>& samples)
{
    std::vector<double> levels;
    const size_t window = std::max<size_t>(rate / 20, 1);
    for (size_t at = 0; at + window <= samples.size(); at += window) {
        double sum = 0;
        for (size_t i = at; i < at + window; ++i)
            sum += static_cast<double>(samples[i]) * samples[i];
        levels.push_back(std::sqrt(sum / static_cast<double>(window)));
    }
    return levels;
}

} // namespace

// Each TEST button is heard in the mix as its own file; a hidden character's voice cannot be
// tested, and the combo names it "？？？".
TEST(SettingsSound, TestButtonsPlayTheirFilesIntoTheMix)
{
    struct Case {
        const char* name;
        bool voiceTable;
        std::vector<DialogStep> steps;
        double hz;  // 0: silence
    };
    const Case cases[] = {
        {"SE", false, {ClickOn(kCtlTestSe), AdvanceClock(400)}, 440},
        {"voice without a voice table", false, {ClickOn(kCtlTestVoice), AdvanceClock(400)}, 660},
        {"the first character's own voice", true, {PickItemOf(1141, 0), ClickOn(kCtlTestVoice), AdvanceClock(400)}, 880},
        {"a hidden character", true, {PickItemOf(1141, 1), ClickOn(kCtlTestVoice), AdvanceClock(400)}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Game game;
        MakeGame(game, false, c.voiceTable);
        if (!game.made)
            GTEST_SKIP() << "sox or oggenc is missing";
        const std::vector<int16_t> mix = Play(game, c.steps);
        const double hz = Pitch(mix);
        if (c.hz == 0)
            EXPECT_EQ(hz, 0);
        else
            EXPECT_NEAR(hz, c.hz, c.hz * 0.1);
        if (c.voiceTable) {
            DialogRecord page;
            for (const DialogRecord& r : DialogRecords())
                if (r.templateId == kDlgSettingsSound)
                    page = r;
            const ControlRecord* combo = page.Control(1141);
            ASSERT_NE(combo, nullptr);
            EXPECT_EQ(combo->itemsUtf8, (std::vector<std::string>{"Ann", "？？？"}));
            EXPECT_EQ(page.Control(kCtlTestVoice)->enabled, c.hz != 0);
        }
    }
}

// Music lowered in the sheet is heard lower at once; Cancel brings back the stored volume.
TEST(SettingsSound, CancelGivesBackTheStoredVolumes)
{
    Game game;
    MakeGame(game, true, false);
    if (!game.made)
        GTEST_SKIP() << "sox or oggenc is missing";
    AppConfig stored{};
    SetAppConfigDefaults(&stored);
    stored.bgmVolume = 200;
    const std::vector<int16_t> mix =
        Play(game, {AdvanceClock(300), DragSlider(1052, 40), AdvanceClock(1000), ClickOn(IDCANCEL)}, &stored);
    const std::vector<double> levels = Levels(mix);
    // Loud before the sheet, a long quiet stretch in it, loud again after Cancel.
    const double loud = *std::max_element(levels.begin(), levels.end());
    ASSERT_GT(loud, 1000);
    size_t quietFrom = 0, quietRun = 0, bestFrom = 0, bestRun = 0;
    for (size_t i = 0; i < levels.size(); ++i) {
        const bool quiet = levels[i] > loud * 0.01 && levels[i] < loud * 0.4;
        if (quiet && quietRun++ == 0)
            quietFrom = i;
        if (!quiet)
            quietRun = 0;
        if (quietRun > bestRun) {
            bestRun = quietRun;
            bestFrom = quietFrom;
        }
    }
    EXPECT_GE(bestRun, 15u) << "the lowered volume was not heard in the sheet";
    bool loudBefore = false, loudAfter = false;
    for (size_t i = 0; i < levels.size(); ++i) {
        const bool atLoud = levels[i] > loud * 0.85;
        loudBefore |= atLoud && i < bestFrom;
        loudAfter |= atLoud && i >= bestFrom + bestRun;
    }
    EXPECT_TRUE(loudBefore);
    EXPECT_TRUE(loudAfter) << "Cancel did not give the music its stored volume back";
}
