// Helpers shared by the natives: surfaces behind surface objects, the clipboard as the headless
// host records it, the load-file name and the numbered music player's choice of files.
#include <gtest/gtest.h>

#include "display/surface_sprite.h"
#include "natives/script_helpers.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/test_game_app.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

using namespace hosttest;

TEST(ScriptHelpers, SurfaceImageCanvasAndSceneByKind)
{
    CImage image;
    ASSERT_EQ(image.Create(4, 4, 32, 0), 0);
    CSurfaceSprite sprite;
    CSurfaceSprite10 sprite10;
    EXPECT_EQ(GetSurfaceImage(&image), &image);
    EXPECT_EQ(GetSurfaceCanvas(&image), nullptr);
    EXPECT_EQ(GetSurfaceImage(nullptr), nullptr);
    for (CSurfaceSprite* s : {&sprite, static_cast<CSurfaceSprite*>(&sprite10)}) {
        EXPECT_EQ(GetSurfaceCanvas(s), static_cast<CImageObject*>(s));
        EXPECT_EQ(GetSurfaceImage(s), static_cast<CImageObject*>(s)->GetImage());
        CScene* scene = reinterpret_cast<CScene*>(1);
        EXPECT_EQ(GetSurfaceCanvasAndScene(s, &scene), static_cast<CImageObject*>(s));
        EXPECT_EQ(scene, static_cast<CImageObject*>(s)->GetScene());
        EXPECT_EQ(GetSurfaceScene(s), scene);
    }
}

TEST(ScriptHelpers, ClipboardGetsTheTextAsUtf8)
{
    auto* host = dynamic_cast<winapi::HeadlessHost*>(&winapi::CurrentHost());
    ASSERT_NE(host, nullptr);
    const size_t before = host->ClipboardTexts().size();
    const std::string text = winapi::Sjis("コピー");
    EXPECT_EQ(CopyTextToClipboard(text.c_str(), 0), 0);           // with its NUL
    EXPECT_EQ(CopyTextToClipboard(text.c_str(), 2), 0);           // one character
    EXPECT_EQ(CopyTextToClipboard(nullptr, 0), 1);
    const std::vector<std::string> texts = host->ClipboardTexts();
    ASSERT_EQ(texts.size(), before + 2);
    EXPECT_EQ(texts[before], "コピー");
    EXPECT_EQ(texts[before + 1], "コ");
    // The clipboard refuses a second open and data while closed.
    EXPECT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(SetClipboardData(CF_TEXT, nullptr), nullptr);
    SetLoadFileName("SAVE01");
    EXPECT_EQ(g_LoadFileName, "SAVE01");
    SetLoadFileName(nullptr);
    EXPECT_EQ(g_LoadFileName, "");
}

TEST(ScriptHelpers, MusicByNumberChoosesItsFiles)
{
    HostFixture f;
    f.dir.Write("BGM/BGM03.OGG", "x");
    CScriptHost& host = f.Start();
    CSoundPlayer& sound = host.SoundPlayer();
    sound.SetEnableMask(0, false); // silent: the names are kept without opening the files
    g_CurrentBgmNumber = 0;
    PlayBgmByNumber(3, 0, 1);
    EXPECT_EQ(g_CurrentBgmNumber, 3);
    EXPECT_NE(sound.GetActiveSlot()->main.find("BGM03.OGG"), std::string::npos) << sound.GetActiveSlot()->main;
    EXPECT_TRUE(sound.GetActiveSlot()->intro.empty());
    PlayBgmByNumber(4, 0, 1); // no single file: the loop with its intro
    EXPECT_EQ(sound.GetActiveSlot()->main, "BGM\\BGM04B.OGG");
    EXPECT_EQ(sound.GetActiveSlot()->intro, "BGM\\BGM04A.OGG");
    PlayBgmByNumber(4, 0, 1); // the same number: nothing
    EXPECT_EQ(g_CurrentBgmNumber, 4);
    EXPECT_EQ(PlayBgmByNumber(0, 0, 0), 0);
    EXPECT_EQ(g_CurrentBgmNumber, 0);
    EXPECT_EQ(PlayBgmByNumber(0, 0, 0), 0); // 0 twice stops twice
    EXPECT_FALSE(sound.IsMusicPlaying());
}

namespace {

std::vector<std::pair<UINT, WPARAM>> g_sent;

LRESULT CALLBACK RecordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND || message == WM_CLOSE || message == 0x9009) {
        g_sent.emplace_back(message, wParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

TEST(ScriptHelpers, SystemMenuCommandsPostedAndSentAsATable)
{
    CTestGameApp app;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordProc;
    wc.lpszClassName = "MenuCommands";
    RegisterClassExA(&wc);
    app.window = CreateWindowExA(0, "MenuCommands", "main", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(app.window, nullptr);
    struct Case {
        uint8_t request;
        uint32_t command;
        UINT message;
        WPARAM wParam;
    };
    const Case cases[] = {
        {0, 0, WM_COMMAND, 40005}, {1, 0, WM_COMMAND, 40007}, {2, 0, WM_COMMAND, 40008}, {3, 0, WM_CLOSE, 0},
        {4, 0, WM_COMMAND, 40001}, {5, 0, WM_COMMAND, 40004}, {6, 0, WM_COMMAND, 40002}, {7, 77, 0x9009, 77},
    };
    for (const Case& c : cases) {
        // Posted: it waits in the queue.
        EXPECT_EQ(PostSystemMenuCommand(c.request, false, c.command), 1) << int(c.request);
        MSG msg{};
        ASSERT_TRUE(PeekMessageA(&msg, app.window, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, c.message);
        EXPECT_EQ(msg.wParam, c.wParam);
        // Sent: the procedure ran before the answer, between the pause and the resume.
        g_sent.clear();
        app.calls.clear();
        EXPECT_EQ(PostSystemMenuCommand(c.request, true, c.command), 1);
        ASSERT_EQ(g_sent.size(), 1u);
        EXPECT_EQ(g_sent[0], std::make_pair(c.message, c.wParam));
        EXPECT_EQ(app.calls, (std::vector<std::string>{"Pause", "Resume"}));
    }
    // Refusals: a clear menu flag, no window mode, command 0, a request above 7.
    app.menuFlags[2] = false;
    app.windowMode = false;
    EXPECT_EQ(PostSystemMenuCommand(2, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(4, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(7, false, 0), 0);
    EXPECT_EQ(PostSystemMenuCommand(8, false, 0), 0);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, app.window, 0, 0, PM_REMOVE));
    DestroyWindow(app.window);
}
