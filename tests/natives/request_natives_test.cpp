// Natives 73, 74, 158-160 and 596 through the host against a test window that answers the
// requests 40026-40030, and the plug-in natives 103-106, 114, 116, 117 and 151: answers copied
// back inside their blocks, picked folders made roots, plug-ins only from the roots.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "authoring/kpk_writer.h"
#include "files/file_list.h"
#include "files/kpk_archive.h"
#include "natives/script_request.h"
#include "support/native_script.h"
#include "winapi/text.h"
#include "winapi/user_message.h"
#include "winapi/user_window.h"

using namespace hosttest;

namespace {

// What the test window saw and answers.
struct Answer {
    int32_t answer = 1;
    std::string text, title;
};
Answer g_answer;
std::vector<ScriptRequest> g_seen;
std::vector<WPARAM> g_commands;

LRESULT CALLBACK AnswerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COMMAND)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    auto* request = reinterpret_cast<ScriptRequest*>(lParam);
    g_commands.push_back(wParam);
    g_seen.push_back(*request);
    request->answer = g_answer.answer;
    request->answerText = g_answer.text;
    request->answerTitle = g_answer.title;
    return 0;
}

struct RequestNatives : testing::Test {
    HostFixture f;
    CScriptHost* host = nullptr;
    void SetUp() override
    {
        host = &f.Start();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = AnswerProc;
        wc.lpszClassName = "ScriptRequests";
        RegisterClassExA(&wc);
        f.app.window = CreateWindowExA(0, "ScriptRequests", "main", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                       nullptr, nullptr, nullptr);
        ASSERT_NE(f.app.window, nullptr);
        g_answer = Answer{};
        g_seen.clear();
        g_commands.clear();
    }
    void TearDown() override { DestroyWindow(f.app.window); }
    std::string Str(const char* label, const std::string& text) { return std::string(label) + ": .sjis \"" + text + "\"\n"; }
};

} // namespace

TEST_F(RequestNatives, DataInputCopiesTheAnswerIntoItsBuffer)
{
    g_answer.text = "typed";
    {
        Script r(*host, Call(73, "buf", "buf: .sjis \"old\"\n.space 4"));
        ASSERT_FALSE(r.Faulted());
        EXPECT_EQ(r.Word("out"), 0u);
        EXPECT_EQ(r.Text("buf"), "typed");
        ASSERT_EQ(g_seen.size(), 1u);
        EXPECT_EQ(g_commands[0], kScriptRequestDataInput);
        EXPECT_EQ(g_seen[0].text, "old"); // the buffer's text starts the edit
        EXPECT_EQ(f.app.calls, (std::vector<std::string>{"Pause", "Resume"}));
    }
    // An answer ending exactly at its block's end fits; one byte more faults and writes nothing.
    const uint32_t block = host->Memory().Allocate(16);
    const std::string b8 = std::to_string(block + 8);
    host->Memory().Store32(block + 8, 0x41414141);
    host->Memory().Store32(block + 12, 0);
    g_answer.text = "typed123";
    {
        Script r(*host, Call(73, b8));
        EXPECT_TRUE(r.Faulted());
        EXPECT_EQ(r.TextAt(block + 8), "AAAA");
    }
    g_answer.text = "typed12";
    {
        Script r(*host, Call(73, b8));
        EXPECT_FALSE(r.Faulted());
        EXPECT_EQ(r.TextAt(block + 8), "typed12");
    }
    host->Memory().Free(block);
    g_answer.text.clear();
    EXPECT_EQ(Script(*host, Call(73, "buf", "buf: .space 8")).Word("out"), 1u); // empty answer
    EXPECT_EQ(Script(*host, Call(73, "0")).Word("out"), 2u);                      // null buffer
    EXPECT_EQ(g_seen.size(), 4u); // the fault sent first; the null buffer sent nothing
    // 74 hands its eight words to the application.
    f.app.calls.clear();
    Script set(*host, Call(74, "c, l, 1, 20, 1, 300, -1, 5", Str("c", "Name") + Str("l", "Your name")));
    EXPECT_EQ(set.Word("out"), 0u);
    EXPECT_EQ(f.app.calls, (std::vector<std::string>{"InputTextForScript Name Your name 1 20 1 300 -1 5"}));
}

TEST_F(RequestNatives, FileAndFolderDialogsAnswerInsideTheirBuffersAndAddRoots)
{
    const std::string picked = "Z:\\picked\\";
    g_answer = {7, picked + "data.txt", "data.txt"};
    {
        Script r(*host, Call(158, "t, file, title, dir, filter",
                             Str("t", "Open") + Str("dir", "C:\\\\start") +
                                 "filter: .word 0x002A0054, 0\nfile: .space 260\ntitle: .space 256"));
        ASSERT_FALSE(r.Faulted());
        EXPECT_EQ(r.Word("out"), 7u);
        EXPECT_EQ(r.Word("args"), 7u); // word 0 receives the answer
        EXPECT_EQ(r.Text("file"), picked + "data.txt");
        EXPECT_EQ(r.Text("title"), "data.txt");
        ASSERT_EQ(g_seen.size(), 1u);
        EXPECT_EQ(g_commands[0], kScriptRequestOpenFile);
        EXPECT_EQ(g_seen[0].title, "Open");
        EXPECT_EQ(g_seen[0].folder, "C:\\start");
        EXPECT_EQ(g_seen[0].filter, std::string("T\0*\0", 4));
    }
    std::string resolved;
    EXPECT_TRUE(host->ResolveScriptPath((picked + "other.txt").c_str(), &resolved)); // the folder is a root now
    // 159 passes the default extension; 158 and 159 refuse a null buffer without sending.
    Script save(*host, Call(159, "0, file, title, 0, 0, ext", Str("ext", "sav") + "file: .space 260\ntitle: .space 256"));
    EXPECT_EQ(g_commands.back(), kScriptRequestSaveFile);
    EXPECT_EQ(g_seen.back().extension, "sav");
    EXPECT_EQ(Script(*host, Call(158, "0, 0, title", "title: .space 8")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(159, "0, file, 0", "file: .space 8")).Word("out"), 0u);
    EXPECT_EQ(g_seen.size(), 2u);
    // A path longer than its buffer's block faults and writes nothing.
    {
        Script r(*host, Call(158, "0, file, title", "title: .space 256\nfile: .space 8"));
        EXPECT_TRUE(r.Faulted());
        EXPECT_EQ(r.Text("file"), "");
    }
    // 160: the folder, with its backslash, into word 2's buffer; it becomes a root.
    g_answer = {1, "Y:\\saves\\", ""};
    {
        Script r(*host, Call(160, "t, 0, path", Str("t", "Pick") + "path: .space 260"));
        EXPECT_EQ(r.Word("out"), 1u);
        EXPECT_EQ(r.Text("path"), "Y:\\saves\\");
        EXPECT_EQ(g_commands.back(), kScriptRequestFolder);
        EXPECT_EQ(g_seen.back().title, "Pick");
    }
    EXPECT_TRUE(host->ResolveScriptPath("Y:\\saves\\a.dat", &resolved));
    g_answer = {0, "", ""};
    Script none(*host, Call(160, "0, 0, path", "path: .sjis \"keep\""));
    EXPECT_EQ(none.Word("out"), 0u);
    EXPECT_EQ(none.Text("path"), "keep");
    EXPECT_EQ(Script(*host, Call(160, "0, 0, 0")).Word("out"), 0u);
}

TEST_F(RequestNatives, SoundFormatWarnsOnceTheTickClearsTheByte)
{
    struct Case {
        const char* name;
        const char* words;
        int32_t answer;
        uint8_t byteBefore, tick, byteAfter;
        bool dialog;
    };
    const Case cases[] = {
        {"success shows nothing", "0, 0, 0, 0", 0, 1, 0, 1, false},
        {"failure with the byte set warns; no tick keeps it", "1, 3, 2, 16", 1, 1, 0, 1, true},
        {"the tick clears the byte", "0, 0, 0, 0", 2, 1, 1, 0, true},
        {"a cleared byte shows nothing", "0, 0, 0, 0", 1, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        g_answer.answer = c.answer;
        f.app.userBlock[kUserBlockWarnNoSound] = c.byteBefore;
        f.app.dialogTick = c.tick;
        f.app.calls.clear();
        Script r(*host, Call(596, c.words));
        EXPECT_EQ(r.Word("out"), static_cast<uint32_t>(c.answer)) << c.name;
        EXPECT_EQ(r.Word("args"), static_cast<uint32_t>(c.answer)) << c.name;
        EXPECT_EQ(f.app.userBlock[kUserBlockWarnNoSound], c.byteAfter) << c.name;
        const bool shown = f.app.calls.size() > 2 && f.app.calls[2].rfind("RequestMessageDialog 1 1", 0) == 0;
        EXPECT_EQ(shown, c.dialog) << c.name;
        if (shown) {
            EXPECT_NE(f.app.calls[2].find(winapi::Sjis("DirectSoundを利用できません。")), std::string::npos);
        }
    }
    ASSERT_EQ(g_seen.size(), 4u);
    EXPECT_FALSE(g_seen[0].formatGiven);
    EXPECT_TRUE(g_seen[1].formatGiven);
    EXPECT_EQ(g_seen[1].rateCode, 3);
    EXPECT_EQ(g_seen[1].channels, 2);
    EXPECT_EQ(g_seen[1].bits, 16);
    // Without a window nothing is sent and word 0 comes back unchanged.
    DestroyWindow(f.app.window);
    EXPECT_EQ(Script(*host, Call(596, "5")).Word("out"), 5u);
    EXPECT_EQ(g_seen.size(), 4u);
}

namespace {

DWORD g_assistBlock[3];
DWORD SumAssist(void* block)
{
    auto* words = static_cast<DWORD*>(block);
    std::memcpy(g_assistBlock, words, sizeof g_assistBlock);
    words[1] = 99; // written back to the script
    return words[0] + words[2];
}

} // namespace

TEST_F(RequestNatives, PluginsLoadOnlyFromTheRootsAndGetTheirWords)
{
    f.manager.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
    f.manager.RegisterDecoder(new CKpkDecoder, "XYZ\0", "test", 77, nullptr, SumAssist, nullptr);
    // 106: words from word 1 to the block's end go to the assist function and come back.
    {
        Script r(*host, Call(106, "77, 5, 6, 7"));
        EXPECT_EQ(r.Word("out"), 12u);
        EXPECT_EQ(g_assistBlock[0], 5u);
        EXPECT_EQ(g_assistBlock[1], 6u);
        EXPECT_EQ(r.Word("args", 2), 99u);
    }
    EXPECT_EQ(Script(*host, Call(106, "78, 1")).Word("out"), static_cast<uint32_t>(-2));
    // 105 unloads by type; then 106 finds none.
    EXPECT_EQ(Script(*host, Call(105, "77")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(106, "77, 1")).Word("out"), static_cast<uint32_t>(-2));
    // 114: no mount -3; a KPK answers no queries.
    EXPECT_EQ(Script(*host, Call(114, "9, 1")).Word("out"), static_cast<uint32_t>(-3));
    std::string error;
    ASSERT_TRUE(WriteKpkArchive(f.dir.Linux("data.kpk"), {{"a.txt", {'x'}}}, {}, &error)) << error;
    ASSERT_EQ(Script(*host, Call(107, "s, 9, 0, 0", Str("s", "data.kpk"))).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(114, "9, 1")).Word("out"), static_cast<uint32_t>(-2));
    // Plug-ins outside the roots are refused before any library is opened.
    EXPECT_EQ(Script(*host, Call(103, "s", Str("s", "Z:\\\\evil.adl"))).Word("out"), 1u);
    EXPECT_EQ(Script(*host, Call(104, "s", Str("s", "Z:\\\\plugins"))).Word("out"), static_cast<uint32_t>(-1));
    EXPECT_EQ(Script(*host, Call(116, "s", Str("s", "..\\\\..\\\\x.spi"))).Word("out"), 1u);
    EXPECT_EQ(Script(*host, Call(117, "s", Str("s", "Z:\\\\"))).Word("out"), static_cast<uint32_t>(-1));
    // Inside the roots a missing library is the loader's failure, an empty folder no failures.
    EXPECT_EQ(Script(*host, Call(103, "s", Str("s", "none.adl"))).Word("out"), 2u);
    std::filesystem::create_directories(f.dir.Linux("plug"));
    EXPECT_EQ(Script(*host, Call(104, "s", Str("s", "plug"))).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(117, "s", Str("s", "plug"))).Word("out"), 0u);
    // 105 with -1 unloads everything: the archive decoder is gone for the next mount.
    EXPECT_EQ(Script(*host, Call(105, "-1")).Word("out"), 0u);
    EXPECT_EQ(Script(*host, Call(107, "s, 10, 0, 0", Str("s", "data.kpk"))).Word("out"), 1u);
}

TEST_F(RequestNatives, ListEntrySecondStringIsEmptyHere)
{
    f.dir.Write("list/a.txt", "1");
    Script build(*host, Call(149, "s, 0, 0, 0", Str("s", "list")));
    ASSERT_EQ(build.Word("out"), 1u);
    Script second(*host, Call(151, "0"));
    ASSERT_NE(second.Word("out"), 0u);
    EXPECT_EQ(second.TextAt(second.Word("out")), "");
    EXPECT_EQ(Script(*host, Call(151, "1")).Word("out"), 0u);
}
