// Helpers shared by the natives: surfaces behind surface objects, the clipboard as the headless
// host records it, the load-file name and the numbered music player's choice of files.
#include <gtest/gtest.h>

#include "display/surface_sprite.h"
#include "natives/script_helpers.h"
#include "raster/image.h"
#include "support/host_fixture.h"
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
