// Natives of the application state through the host: the screen-mode menu (3), the engine
// options (4, 5), the frame's state (6), the application's strings (7), the settings block (8,
// 9), the text settings (12), the screen-mode switch (13), the voice table (10, 11), the link
// operations recorded by the test application (14-25), the host's variables and persistent data
// (26-30, 34-36) and the frame's one-shot notice flag (38).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "authoring/voice_info_writer.h"
#include "display/app_frame.h"
#include "natives/app_state_natives.h"
#include "platform/app_config.h"
#include "support/native_script.h"
#include "winapi/text.h"
#include "winapi/user_resource.h"

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

TEST_F(AppStateNatives, SettingsBlockByGroupAndIndex)
{
    AppConfig config{};
    g_pAppConfig = &config;
    auto bytes = reinterpret_cast<uint8_t*>(&config);
    struct Case {
        const char* name;
        int group, index;
        uint32_t value;
        uint32_t setResult;
        size_t offset, width; // width 0: nothing stored
    };
    const Case cases[] = {
        {"0.0 a byte", 0, 0, 0x101, 0, 3, 1},
        {"0.15 the hint delay", 0, 15, 0x12345678, 0, 20, 4},
        {"1.7 auto play's minimum wait", 1, 7, 1500, 0, 32, 4},
        {"1.8 comes after 1.7", 1, 8, 9, 0, 31, 1},
        {"2.8 the frame colour", 2, 8, 0x00AABBCC, 0, 76, 4},
        {"3.16 master sound on", 3, 16, 1, 0, 81, 1},
        {"3.17 master volume", 3, 17, 200, 0, 88, 4},
        {"4.2 the first key", 4, 2, 0x2C, 0, 114, 1},
        {"4.17 the last key", 4, 17, 0xC9, 0, 129, 1},
        {"5.21 the last button", 5, 21, 7, 0, 148, 1},
        {"6.5 movie volume", 6, 5, 128, 0, 168, 4},
        {"7.0 saved once", 7, 0, 1, 0, 186, 1},
        {"8.4 a click skips effects", 8, 4, 1, 0, 191, 1},
        {"0.7 may not be changed", 0, 7, 5, 1, 0, 0},
        {"an index outside groups 0-5", 3, 18, 5, static_cast<uint32_t>(-1), 0, 0},
        {"an index outside groups 6-8", 7, 1, 5, 0, 0, 0},
        {"a group above 8", 9, 0, 5, 0, 0, 0},
        {"a negative group", -1, 0, 5, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::memset(&config, 0xEE, sizeof config);
        const std::string words = std::to_string(c.group) + ", " + std::to_string(c.index);
        EXPECT_EQ(Out(8, words + ", " + std::to_string(c.value)), c.setResult) << c.name;
        if (c.width == 0) {
            for (size_t k = 0; k < sizeof config; ++k)
                ASSERT_EQ(bytes[k], 0xEE) << c.name << ": byte " << k << " changed";
            EXPECT_EQ(Out(9, words), 0u) << c.name;
            continue;
        }
        uint32_t stored = 0;
        std::memcpy(&stored, bytes + c.offset, c.width);
        const uint32_t mask = c.width == 4 ? 0xFFFFFFFFu : 0xFFu;
        EXPECT_EQ(stored, c.value & mask) << c.name;
        EXPECT_EQ(bytes[c.offset + c.width], 0xEE) << c.name << ": stored past its width";
        EXPECT_EQ(Out(9, words), c.value & mask) << c.name;
    }
    // The face name: at most 31 bytes, cut where a character ends.
    std::string face(30, 'a');
    face += "字"; // the assembler stores it in Shift-JIS: 32 bytes in all
    EXPECT_EQ(Out(8, "2, 0, s", "s: .sjis \"" + face + "\""), 0u);
    EXPECT_EQ(std::string(config.faceName), std::string(30, 'a'));
    Script read(*host, Call(9, "2, 0"));
    EXPECT_EQ(read.TextAt(read.Word("out")), std::string(30, 'a'));
    g_pAppConfig = nullptr;
    EXPECT_EQ(Out(9, "0, 0"), 0u);
    EXPECT_EQ(Out(8, "0, 0, 1"), 0u);
}

TEST_F(AppStateNatives, EngineOptionsWriteAndReadBack)
{
    struct Case {
        int selector;
        uint32_t value, read;
    };
    const Case cases[] = {
        {0, 0x101, 1}, {1, 7, 1}, {2, 3, 3}, {3, 0x12345, 0x2345}, {4, 9, 9}, {5, 0x1FF, 0xFF}, {6, 0x10300, 0x300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Out(4, std::to_string(c.selector) + ", " + std::to_string(c.value)), 0u) << c.selector;
        EXPECT_EQ(Out(5, std::to_string(c.selector)), c.read) << c.selector;
    }
    EXPECT_EQ(f.app.userBlock[5], 1);
    EXPECT_EQ(f.app.userBlock[11], 0x00);
    EXPECT_EQ(f.app.userBlock[12], 0x03);
    // 7-11 are the menu groups; 11 reads group 4 only while the screen mode may change.
    f.app.calls.clear();
    EXPECT_EQ(Out(4, "9, 0x100"), 0u); // the value's low byte: 0
    EXPECT_EQ(Out(4, "11, 0"), 0u);
    EXPECT_EQ(f.app.calls, (std::vector<std::string>{"EnableMenuItemGroup 2 0", "EnableMenuItemGroup 4 0"}));
    EXPECT_EQ(Out(4, "8, 1"), 0u);
    EXPECT_EQ(Out(5, "8"), 1u);
    EXPECT_EQ(Out(4, "11, 1"), 0u);
    f.app.m_options.screenModes = 2;
    EXPECT_EQ(Out(5, "11"), 1u);
    f.app.m_options.screenModes = 0;
    EXPECT_EQ(Out(5, "11"), 0u);
    // Selector 12 changes nothing; 5's 12 is the save folder, 13 the user block's byte 14.
    f.app.calls.clear();
    EXPECT_EQ(Out(4, "12, 1"), 0u);
    EXPECT_TRUE(f.app.calls.empty());
    f.app.saveFolder = "C:\\save\\";
    Script folder(*host, Call(5, "12"));
    EXPECT_EQ(folder.TextAt(folder.Word("out")), "C:\\save\\");
    f.app.userBlock[14] = 6;
    EXPECT_EQ(Out(5, "13"), 6u);
    EXPECT_EQ(Out(5, "14"), 0u);
}

TEST_F(AppStateNatives, FrameStateAndScreenModeMenu)
{
    f.app.m_options.screenWidth = 800;
    f.app.m_options.requestedMode = 2;
    f.app.displayFlag = 1;
    EXPECT_EQ(Out(6, "0"), 800u);
    EXPECT_EQ(Out(6, "6"), 0u); // no joystick
    EXPECT_EQ(Out(6, "9"), 1u); // the current mode - 1
    EXPECT_EQ(Out(6, "22"), 1u);
    EXPECT_EQ(Out(6, "23"), 0u);
    // 3 selector 0 over the menu: 40001 enabled or grayed, display flag 4 with it.
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 40001, "mode");
    f.app.SetMenuHandle(menu);
    f.app.m_options.screenModes = 2;
    f.app.m_options.keyOptions = 1;
    EXPECT_EQ(Out(3, "0, 1"), 0u);
    EXPECT_EQ(GetMenuState(menu, 40001, MF_BYCOMMAND) & MF_GRAYED, 0u);
    EXPECT_EQ(f.app.m_options.keyOptions, 5);
    EXPECT_EQ(Out(3, "0, 0"), 0u);
    EXPECT_EQ(GetMenuState(menu, 40001, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), UINT(MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(f.app.m_options.keyOptions, 1);
    // Without the capability selector 0 does nothing.
    f.app.m_options.screenModes = 0;
    EXPECT_EQ(Out(3, "0, 1"), 0u);
    EXPECT_EQ(f.app.m_options.keyOptions, 1);
    // Selector 1: the two key bits; 0 removes the keyboard hook.
    EXPECT_EQ(Out(3, "1, 6"), 0u);
    EXPECT_EQ(f.app.m_options.keyOptions, 2);
    EXPECT_EQ(Out(3, "1, 0"), 0u);
    EXPECT_EQ(f.app.m_options.keyOptions, 0);
    EXPECT_EQ(f.app.GetKeyboardHook(), nullptr);
    f.app.SetMenuHandle(nullptr);
    DestroyMenu(menu);
}

TEST_F(AppStateNatives, ScreenModeRefusalsAndTheMonitor)
{
    AppFrameOptions& o = f.app.m_options;
    struct Case {
        const char* name;
        uint8_t capability, flags;
        int mode;
        int monitor;
        uint32_t result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"no capability", 0, 4, 3, 0, 1, {}},
        {"flag 4 clear", 2, 0, 3, 0, 1, {}},
        {"window mode while full screen only", 1, 4, 3, 0, 1, {}},
        {"no monitor for 32 bits", 2, 4, 2, 1, 2, {"SelectTargetMonitor 32"}},
        {"full screen at the current depth", 2, 4, -1, 0, 0, {"SelectTargetMonitor 0", "ApplyFrameTiming -1"}},
        {"window mode", 2, 4, 3, 0, 0, {"ApplyFrameTiming -1"}},
    };
    for (const Case& c : cases) {
        o.screenModes = c.capability;
        o.keyOptions = c.flags;
        o.requestedMode = 2;
        o.requestedDepth = 3;
        f.app.monitorAnswer = c.monitor;
        f.app.calls.clear();
        EXPECT_EQ(Out(13, std::to_string(c.mode)), c.result) << c.name;
        EXPECT_EQ(f.app.calls, c.calls) << c.name;
        if (c.result == 2) {
            EXPECT_EQ(o.requestedMode, 2) << c.name; // the two bytes are restored
            EXPECT_EQ(o.requestedDepth, 3) << c.name;
        }
    }
}

TEST_F(AppStateNatives, TextSettingsResolveTheirHandlesFirst)
{
    // A stream's handle is no control and no font: no target.
    Script made(*host, Call(124, "0"));
    const std::string stream = std::to_string(made.Word("out"));
    f.app.calls.clear();
    EXPECT_EQ(Out(12, "0x101, 2, " + stream + ", " + stream + ", " + stream + ", 1, 0x100"), 5u);
    EXPECT_EQ(f.app.calls, (std::vector<std::string>{"ApplyTextDisplaySettings 1 2 - - - 1 0"}));
}
