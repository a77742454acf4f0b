// Natives of the application state through the host: the application's strings (7), the voice
// table (10, 11), the link operations recorded by the test application (14-25), the host's
// variables and persistent data (26-30, 34-36) and the frame's one-shot notice flag (38).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/voice_info_writer.h"
#include "display/app_frame.h"
#include "natives/app_state_natives.h"
#include "support/native_script.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

struct AppStateNatives : testing::Test {
    HostFixture f;
    CScriptHost* host = nullptr;
    void SetUp() override { host = &f.Start(); }
    uint32_t Out(int native, const std::string& args, const std::string& data = "")
    {
        return Script(*host, Call(native, args, data)).Word("out");
    }
};

} // namespace

TEST_F(AppStateNatives, StringsBySizeCutAtCharactersAndInsideTheirBlock)
{
    f.app.saveFolder = "C:\\save\\";
    f.app.installSource = winapi::Sjis("D:\\ゲーム");
    const uint32_t kId = sizeof kGameIdentifier; // with its NUL
    struct Case {
        const char* name;
        std::string words;
        uint32_t result;
        std::string text; // in buf afterwards
    };
    const std::string sjis = winapi::Sjis("D:\\ゲ");
    const Case cases[] = {
        {"size 0 asks the length + 1", "0, buf, 0", kId, "x"},
        {"the save folder's length", "2, buf, 0", 9, "x"},
        {"string 3 is none", "3, buf, 0", 0, "x"},
        {"an exact fit", "2, buf, 9", 0, "C:\\save\\"},
        {"size 1 writes only the NUL", "0, buf, 1", 0, ""},
        {"a short size cuts", "2, buf, 3", 0, "C:"},
        {"a cut never splits a character", "1, buf, 6", 0, sjis},
        {"a cut one byte into a character drops it", "1, buf, 5", 0, "D:\\"},
        {"none writes an empty text", "3, buf, 8", 0, ""},
        {"which outside 0-3", "4, buf, 8", static_cast<uint32_t>(-1), "x"},
    };
    for (const Case& c : cases) {
        Script r(*host, Call(7, c.words, "buf: .sjis \"x\"\n.space 60"));
        ASSERT_FALSE(r.Faulted()) << c.name;
        EXPECT_EQ(r.Word("out"), c.result) << c.name;
        EXPECT_EQ(r.Text("buf"), c.text) << c.name;
    }
    // A size larger than the buffer's block: the copy must still end inside it.
    EXPECT_TRUE(Script(*host, Call(7, "0, buf, 100", "buf: .space 8")).Faulted());
    f.app.installSource.clear();
    EXPECT_EQ(Out(7, "1, buf, 0", "buf: .space 8"), 0u); // missing: 0
}

TEST_F(AppStateNatives, VoiceTableEntries)
{
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(WriteVoiceInfo("WAV\nAnn - an AN\n\nBob hidden\nCy Who c\n", &file, &error)) << error;
    f.dir.Write("SCRIPT/VOICEINF.DAT", Text(file));
    ASSERT_EQ(host->LoadVoiceInfo("SCRIPT\\VOICEINF.DAT"), 0);
    auto text = [&](int i, int selector) {
        Script r(*host, Call(11, std::to_string(i) + ", " + std::to_string(selector)));
        return r.Word("out") == 0 ? std::string("<none>") : r.TextAt(r.Word("out"));
    };
    EXPECT_EQ(Out(11, "-1, 0"), 3u); // outside the table: the count
    EXPECT_EQ(Out(11, "3, 0"), 3u);
    EXPECT_EQ(Out(11, "0, 0"), 256u);
    EXPECT_EQ(text(0, 3), "Ann");
    EXPECT_EQ(text(2, 4), "Who");
    EXPECT_EQ(text(0, 5), "Ann");                    // not hidden: the name
    EXPECT_EQ(text(1, 5), winapi::Sjis("？？？"));   // hidden without alias
    EXPECT_EQ(text(0, 6), "an");                     // the entry's first prefix
    EXPECT_EQ(text(1, 6), "<none>");
    EXPECT_EQ(Out(11, "0, 7"), 0u);
    // 10 writes the three fields; others and entries outside answer -1.
    EXPECT_EQ(Out(10, "2, 0, 128"), 0u);
    EXPECT_EQ(Out(10, "2, 1, 0"), 0u);
    EXPECT_EQ(Out(10, "2, 2, 1"), 0u);
    EXPECT_EQ(host->Voices().characters[2].volume2, 128);
    EXPECT_EQ(host->Voices().characters[2].enabled, 0);
    EXPECT_EQ(text(2, 5), "Who"); // hidden now: the alias
    EXPECT_EQ(Out(10, "2, 3, 1"), static_cast<uint32_t>(-1));
    EXPECT_EQ(Out(10, "3, 0, 1"), static_cast<uint32_t>(-1));
    EXPECT_EQ(Out(10, "-1, 0, 1"), static_cast<uint32_t>(-1));
}

TEST_F(AppStateNatives, LinkOperationsAreReachedAsRecorded)
{
    struct Case {
        int native;
        const char* words;
        uint32_t result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {14, "3", 0, {"SetScriptFlag 1"}},
        {14, "2", 0, {"SetScriptFlag 0"}},
        {15, "0", 1, {"PushSyncOverride"}},
        {16, "0", 0, {"PopSyncOverride"}},
        {17, "0", 0, {"PushTimerFlagOverride"}},
        {18, "0", 0, {"PopTimerFlagOverride"}},
        {19, "0", 2, {"LowerThreadPriority"}},
        {20, "0", 1, {"RestoreThreadPriority"}},
        {21, "-1", 0, {"ApplyFrameTiming -1"}},
        {21, "30", 0, {"ApplyFrameTiming 30"}},
    };
    for (const Case& c : cases) {
        f.app.calls.clear();
        EXPECT_EQ(Out(c.native, c.words), c.result) << c.native;
        EXPECT_EQ(f.app.calls, c.calls) << c.native;
    }
    // 22 and 23: the frame timer.
    EXPECT_EQ(Out(22, "0"), static_cast<uint32_t>(f.app.timer.GetMeasuredFps()));
    EXPECT_EQ(Out(23, "1"), 0u);
    // 25: the dialog busy flag.
    EXPECT_EQ(Out(25, "0"), 0u);
    f.app.dialogBusy = true;
    EXPECT_EQ(Out(25, "0"), 1u);
    // Without an application each answers its null result.
    g_pGameApp = nullptr;
    EXPECT_EQ(Out(15, "0"), 0u);
    EXPECT_EQ(Out(19, "0"), static_cast<uint32_t>(-1));
    EXPECT_EQ(Out(7, "2, buf, 0", "buf: .space 4"), 0u);
    g_pGameApp = &f.app;
}

TEST_F(AppStateNatives, VariablesAndPersistentData)
{
    f.SetWord("Score", 42);
    // 28 snapshots every class and storage (selectors 0, 0), 27 clears, 29 restores, 26 resets.
    EXPECT_EQ(Out(28, "0, 0"), 0u);
    EXPECT_EQ(Out(27, "0, 0"), 0u);
    EXPECT_EQ(f.Word("Score"), 0u);
    EXPECT_EQ(Out(29, "0, 0"), 0u);
    EXPECT_EQ(f.Word("Score"), 42u);
    EXPECT_EQ(Out(26, "0, 0"), 0u);
    EXPECT_EQ(f.Word("Score"), 7u);
    // 30 snapshots one variable: 0, or 2 for an address that is none.
    EXPECT_EQ(Out(30, std::to_string(f.Address("Score"))), 0u);
    EXPECT_EQ(Out(30, "4"), 2u);
    // 34-36: the persistent file is written and read back.
    EXPECT_EQ(Out(34, "s", "s: .sjis \"KEEP.DAT\""), 0u);
    EXPECT_EQ(host->PersistentFile(), "KEEP.DAT");
    f.SetWord("Keep", 99);
    EXPECT_EQ(Out(35, "0"), 0u);
    f.SetWord("Keep", 1);
    EXPECT_EQ(Out(36, "0"), 0u);
    EXPECT_EQ(f.Word("Keep"), 99u);
}

TEST_F(AppStateNatives, NoticeFlagIsTakenOnce)
{
    f.app.m_options.keyOptions |= 8;
    EXPECT_EQ(Out(38, "0"), 1u);
    EXPECT_EQ(Out(38, "0"), 0u);
    EXPECT_EQ(f.app.m_options.keyOptions & 4, 4); // the other flags stay
}
