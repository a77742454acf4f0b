// The settings sheet's sound page over the real application and its sound manager, heard in the
// headless mix: the TEST buttons play SE_TEST.OGG, VO_TEST.OGG or a character's own test voice
// from the host's voice table (a hidden character's cannot be played), and a volume lowered in
// the sheet is heard at once and given back by Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

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

using gamefolder::Frames;

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// The mix's rate, set by Play.
DWORD rate = 0;

// A tone of `hz` for a second as an Ogg file of the folder.
bool WriteTone(const TempFolder& dir, const std::string& name, int hz)
{
    const std::string wav = dir.Linux("tone.wav"), ogg = dir.Linux("tone.ogg");
    if (!sound_test::Run("sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth 1 sine " + std::to_string(hz) + " vol 0.5") ||
        !sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + ogg + "'"))
        return false;
    dir.Write(name, dir.Read("tone.ogg"));
    return true;
}

// The folder (it keeps APP_CFG.DAT): MAIN makes eight channels, optionally starts looping music,
// waits, asks for the sheet, waits and ends → false when sox or oggenc is missing.
bool MakeGame(gamefolder::ScriptGame& game, bool music, bool voiceTable)
{
    const TempFolder& dir = game.dir;
    if (!WriteTone(dir, "SE/SE_TEST.OGG", 440) || !WriteTone(dir, "VOICE/VO_TEST.OGG", 660) ||
        !WriteTone(dir, "VOICE/AN_TEST.OGG", 880) || !WriteTone(dir, "VOICE/BB_TEST.OGG", 1320) ||
        !WriteTone(dir, "BGM/TONE.OGG", 330))
        return false;
    if (voiceTable) {
        std::vector<uint8_t> table;
        std::string error;
        EXPECT_TRUE(WriteVoiceInfo("OGG\nAnn - AN\nBob hidden BB\n", &table, &error)) << error;
        dir.Write("SCRIPT/VOICEINF.DAT", Str(table));
    }
    // Native 668 makes the channels: the page's tests use channels 0, 4 and 7.
    game.Module("MAIN", "        ncall native 668, a668, x\n" +
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
                            "fbn:   .word 0\n");
    return true;
}

// Runs the game with the steps on the sound page → the first channel of the mix.
std::vector<int16_t> Play(gamefolder::ScriptGame& game, const std::vector<DialogStep>& steps,
                          const AppConfig* stored = nullptr)
{
    if (stored != nullptr)
        game.dir.Write("APP_CFG.DAT", Str(BuildAppCfg(*stored)));
    std::vector<DialogStep> all{SwitchToPage(3)};
    all.insert(all.end(), steps.begin(), steps.end());
    ClearDialogScripts();
    QueueDialogScript(kDlgSettingsSystem, all);
    winapi::DsoundClearRecorded();
    int frames = 0, endCode = 0;
    EXPECT_EQ(game.Run(&frames, &endCode, 120), 0);
    EXPECT_EQ(endCode, 0);
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
        gamefolder::ScriptGame game(0);
        if (!MakeGame(game, false, c.voiceTable))
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
    gamefolder::ScriptGame game(0);
    if (!MakeGame(game, true, false))
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
