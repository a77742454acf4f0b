// Milestone (headless): the real application runs a system script on the virtual clock that
// formats a line, writes it to a file and reads it back through a stream, times frames with the
// scripts' timers (a paused timer stands still), plays a channel and fades music in (Oggs made by
// sox and oggenc), sets the decoders' in-memory switch to the application's default and asks a
// yes/no question through the application's message dialog; it also sets and reads a setting,
// asks for window mode, and brackets work in the sync, timer and priority overrides. A last native
// reports the results.
#include <gtest/gtest.h>

#include <vector>

#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "files/sll_manager.h"
#include "files/sound_fixtures.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

constexpr uint32_t kReported = 26;
std::vector<uint32_t> g_report;
bool g_streamOff = false;

// Native 809: the words from its argument address on, and the decoders' switch.
uint32_t ReportNative(SobNativeArgs& args)
{
    g_report.clear();
    for (uint32_t k = 0; k < kReported; ++k)
        g_report.push_back(args.U32(k));
    g_streamOff = g_pSllManager != nullptr && g_pSllManager->GetStreamOff();
    return 0;
}

struct MilestoneApp : CGameApp {
    int streamOffAsked = 0;
    std::vector<std::string> reached; // the link operations the script reached, in order
    bool GetStreamOffDefault() override
    {
        ++streamOffAsked;
        return true;
    }
    int PushSyncOverride() override
    {
        reached.push_back("PushSync");
        return CGameApp::PushSyncOverride();
    }
    void PopSyncOverride() override
    {
        reached.push_back("PopSync");
        CGameApp::PopSyncOverride();
    }
    void PushTimerFlagOverride() override
    {
        reached.push_back("PushTimer");
        CGameApp::PushTimerFlagOverride();
    }
    void PopTimerFlagOverride() override
    {
        reached.push_back("PopTimer");
        CGameApp::PopTimerFlagOverride();
    }
    int LowerThreadPriority() override
    {
        reached.push_back("Lower");
        return CGameApp::LowerThreadPriority();
    }
    int RestoreThreadPriority() override
    {
        reached.push_back("Restore");
        return CGameApp::RestoreThreadPriority();
    }
    void ApplyFrameTiming(int fps) override
    {
        reached.push_back("Timing " + std::to_string(fps));
        CGameApp::ApplyFrameTiming(fps);
    }
    bool IsDialogBusy() override
    {
        reached.push_back("Busy");
        return CGameApp::IsDialogBusy();
    }
};

using gamefolder::Frames;

} // namespace

TEST(StateSoundMilestone, ScriptFormatsTimesPlaysAndAsks)
{
    TempFolder dir;
    const std::string wav = dir.Linux("tone.wav");
    if (!sound_test::Run("sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth 1 sine 440 vol 0.5") ||
        !sound_test::Run("oggenc -Q -q 3 '" + wav + "' -o '" + dir.Linux("tone.ogg") + "'"))
        GTEST_SKIP() << "sox or oggenc is missing";
    const std::string ogg = dir.Read("tone.ogg");
    dir.Write("SE/TONE.OGG", ogg);
    dir.Write("BGM/TONE.OGG", ogg);

    SobVariableLayout layout;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSobVariables("Score 0 1 4 = 0\n", "vars", &layout, &errors));
    dir.Write("SCRIPT/USER_VAR.SOB", Str(WriteSobUserVarFile(layout)));
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.SetU16(kSysWidth, 800);
    sys.SetU16(kSysHeight, 600);
    sys.bytes[kSysSaveMode] = 5;
    sys.bytes[kSysSingleInstance] = 0;
    WriteAppFiles(dir, sys, "StateSoundMilestone", 0);

    const std::string source =
        "        ncall native 67, a67, r0\n"
        "        ncall native 63, a63, len\n"
        "        ncall native 124, none, hs\n"
        "        movm hs, a130\n"
        "        movm hs, a141\n"
        "        movm hs, a132\n"
        "        movm hs, a127\n"
        "        movm hs, a139\n"
        "        movm len, a141+8\n"
        "        movm len, a139+8\n"
        "        ncall native 130, a130, r1\n"
        "        ncall native 141, a141, r2\n"
        "        ncall native 132, a132, x\n"
        "        ncall native 127, a127, r3\n"
        "        ncall native 139, a139, r4\n"
        "        ncall native 64, a64, r5\n"
        "        ncall native 543, a543, r6\n"
        "        ncall native 544, a544, r7\n" +
        Frames("fa", 10) +
        "        ncall native 545, a544, r8\n"
        "        ncall native 547, a544, x\n" +
        Frames("fb", 5) +
        "        ncall native 545, a544, r9\n"
        "        ncall native 548, a544, x\n"
        "        ncall native 549, none, x\n"
        "        ncall native 550, none, x\n"
        "        ncall native 668, a668, r10\n"
        "        ncall native 672, a672, r11\n"
        "        ncall native 675, a675, r12\n"
        "        ncall native 680, a675, r13\n"
        "        ncall native 662, a662, x\n"
        "        ncall native 666, none, r14\n" +
        Frames("fc", 40) +
        "        ncall native 665, none, r15\n"
        "        ncall native 666, none, r16\n"
        "        ncall native 597, a597, x\n"
        "        ncall native 799, a799, r17\n"
        "        ncall native 545, a544, r18\n"
        "        ncall native 8, a8, x\n"
        "        ncall native 9, a8, r19\n"
        "        ncall native 13, a13, r20\n"
        "        ncall native 15, none, r21\n"
        "        ncall native 17, none, x\n"
        "        ncall native 19, none, r22\n"
        "        ncall native 20, none, r23\n"
        "        ncall native 18, none, x\n"
        "        ncall native 16, none, x\n"
        "        ncall native 21, a21, x\n"
        "        ncall native 25, none, r24\n"
        "        ncall native 809, r0, x\n"
        "        ret\n"
        ".data\n"
        "a67:   .word buf, fmt, key, 42, 255\n"
        "fmt:   .sjis \"%s=%d (%08X)\"\n"
        "key:   .sjis \"score\"\n"
        "buf:   .space 64\n"
        "back:  .space 64\n"
        "a63:   .word buf\n"
        "a64:   .word buf, back\n"
        "a130:  .word 0, file, 1\n"
        "a141:  .word 0, buf, 0\n"
        "a132:  .word 0\n"
        "a127:  .word 0, file\n"
        "a139:  .word 0, back, 0\n"
        "file:  .sjis \"LOG.TXT\"\n"
        "a543:  .word 4\n"
        "a544:  .word 1\n"
        "a668:  .word 2\n"
        "a672:  .word 0, se\n"
        "a675:  .word 0, 0\n"
        "se:    .sjis \"SE\\\\TONE.OGG\"\n"
        "a662:  .word 200, bgm, 65535, 1\n"
        "bgm:   .sjis \"BGM\\\\TONE.OGG\"\n"
        "a597:  .word 7\n"
        "a8:    .word 4, 0, 1\n"
        "a13:   .word 3\n"
        "a21:   .word 30\n"
        "a799:  .word 1, 0, ask\n"
        "ask:   .sjis \"続けますか\"\n"
        "none:  .word 0, 0, 0, 0\n"
        "x:     .word 0\n"
        "hs:    .word 0\n"
        "len:   .word 0\n"
        "fan:   .word 0\n"
        "fbn:   .word 0\n"
        "fcn:   .word 0\n"
        "r0:    .word 0\nr1: .word 0\nr2: .word 0\nr3: .word 0\nr4: .word 0\nr5: .word 0\nr6: .word 0\n"
        "r7:    .word 0\nr8: .word 0\nr9: .word 0\nr10: .word 0\nr11: .word 0\nr12: .word 0\nr13: .word 0\n"
        "r14:   .word 0\nr15: .word 0\nr16: .word 0\nr17: .word 0\nr18: .word 0\nr19: .word 0\n"
        "r20:   .word 0\nr21: .word 0\nr22: .word 0\nr23: .word 0\nr24: .word 0\nr25: .word 0\n";
    SobAssembly assembly;
    ASSERT_TRUE(AssembleSob(source, "MAIN", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
    dir.Write("SCRIPT/MAIN.SOB", Str(bytes));

    ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
    winapi::CurrentHeadlessHost()->QueueMessageBoxAnswers({IDYES});
    const size_t boxesBefore = winapi::CurrentHeadlessHost()->MessageBoxes().size();
    g_report.clear();
    int asked = 0;
    std::vector<std::string> reached;
    {
        MilestoneApp app;
        app.SetExtraNatives({ReportNative});
        std::string line = "/L" + dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
        EXPECT_EQ(app.GetEndCode(), 0);
        asked = app.streamOffAsked;
        reached = app.reached;
    }
    ASSERT_EQ(g_report.size(), kReported) << "the script did not reach its report";
    const std::string line = "score=42 (000000FF)";
    EXPECT_EQ(dir.Read("LOG.TXT"), line);
    EXPECT_EQ(g_report[1], 0u);                 // created
    EXPECT_EQ(g_report[2], line.size());        // written
    EXPECT_EQ(g_report[3], 0u);                 // opened again
    EXPECT_EQ(g_report[4], line.size());        // read back
    EXPECT_EQ(g_report[5], 0u);                 // the same text
    EXPECT_EQ(g_report[6], 0u);                 // four timers
    EXPECT_EQ(g_report[7], 1u);                 // timer 1 reset
    EXPECT_GT(g_report[8], 0u);                 // ten frames took time
    EXPECT_EQ(g_report[9], g_report[8]);        // paused: it stood still
    EXPECT_GE(g_report[18], g_report[9]);       // resumed after the pause of all
    EXPECT_EQ(g_report[10], 0u);                // two channels
    EXPECT_EQ(g_report[11], 0u);                // the effect loaded
    EXPECT_EQ(g_report[12], 0u);                // started
    EXPECT_EQ(g_report[13], 1u);                // playing
    EXPECT_EQ(g_report[14], 2u);                // a fade-in runs
    EXPECT_EQ(g_report[15], 1u);                // the music plays
    EXPECT_EQ(g_report[16], 0u);                // the fade has ended
    EXPECT_EQ(g_report[17], 1u);                // the answer: yes
    EXPECT_EQ(g_report[19], 1u);                // the setting set just before
    EXPECT_EQ(g_report[20], 0u);                // window mode taken
    EXPECT_EQ(g_report[24], 0u);                // no dialog busy
    // Window mode and the overrides re-apply the timing (-1) on their own; the rest is the script's order.
    const auto reapplied = std::erase(reached, std::string("Timing -1"));
    EXPECT_GE(reapplied, 1u);
    const std::vector<std::string> expected = {"PushSync", "PushTimer", "Lower",     "Restore",
                                               "PopTimer", "PopSync",   "Timing 30", "Busy"};
    EXPECT_EQ(reached, expected);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(g_streamOff);
    const auto boxes = winapi::CurrentHeadlessHost()->MessageBoxes();
    ASSERT_EQ(boxes.size(), boxesBefore + 1);
    EXPECT_EQ(boxes.back().text, "続けますか");
}
