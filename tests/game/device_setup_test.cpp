// The game's device set-up: the key table and the stored assignments in the action map, the input
// globals, missing input devices, the warning when there is no sound device, the globals of the
// screen, the schedulers and the movie libraries, and the user block's options of the lower layers.
#include <gtest/gtest.h>

#include <cstring>

#include "drawing/scene.h"
#include "effects/layer_effect.h"
#include "files/gll_manager.h"
#include "game/game_app.h"
#include "game/user_settings.h"
#include "platform/input_manager.h"
#include "platform/font_settings.h"
#include "platform/input_test_window.h"
#include "winapi/dsound.h"

namespace {

const char kNoSound[] = "サウンドカードが正常に接続されていないか\n対応していないため、DirectSoundを利用できません。\n"
                        "サウンドを再生できません。";

size_t CountBoxes(const char* text)
{
    size_t n = 0;
    for (const auto& box : winapi::CurrentHeadlessHost()->MessageBoxes())
        n += box.text == text ? 1 : 0;
    return n;
}

TEST(DeviceSetUp, KeyTableAssignmentsAndGlobals)
{
    InputTestWindow window;
    CGameApp app;
    ASSERT_EQ(app.GetInput().CreateDevices(window.hwnd, 2, 2), 0u);
    std::memset(app.Config().keys, 0, sizeof app.Config().keys);
    app.Config().keys[0] = 0x39;  // action 4: Space after Return and numeric-pad Enter
    app.Config().keys[2] = 0x0E;  // action 6
    app.Config().rightButtonAction = 1;
    app.UserBlock()[kUserWarnNoSound] = 0;
    ASSERT_EQ(app.OnDevicesReady(), 0);

    CActionMap* map = app.GetActionMap();
    ASSERT_NE(map, nullptr);
    const std::vector<uint8_t> expected[] = {{0xC8, 0x48}, {0xD0, 0x50}, {0xCB, 0x4B}, {0xCD, 0x4D},
                                             {0x1C, 0x9C, 0x39}, {0x01}, {0x0E}, {}};
    for (uint32_t action = 0; action < std::size(expected); ++action) {
        ASSERT_EQ(map->CountBindings(action, 0), expected[action].size()) << "action " << action;
        for (uint32_t n = 0; n < expected[action].size(); ++n) {
            uint8_t code = 0;
            ASSERT_EQ(map->GetBinding(action, 0, n, &code, nullptr), 0u);
            EXPECT_EQ(code, expected[action][n]) << "action " << action << " binding " << n;
        }
    }
    EXPECT_EQ(map->CountBindings(12, 1), 1u) << "the right button's action";
    EXPECT_EQ(g_pKeyboard, app.GetInput().GetKeyboard());
    EXPECT_EQ(g_pMouse, app.GetInput().GetMouse());

    // The key table speaks the devices' key codes: Return is action 4, numeric-pad 8 action 0.
    app.GetInput().AcquireAll();
    app.GetInput().OnKeyDown(VK_RETURN, 0);
    app.GetInput().OnKeyDown(VK_NUMPAD0 + 8, 0);
    app.GetInput().Poll();
    EXPECT_TRUE(map->IsDown(4));
    EXPECT_TRUE(map->IsDown(0));
    EXPECT_FALSE(map->IsDown(1));

    // The settings pages re-apply: the player's key moves, the fixed ones stay.
    app.Config().keys[0] = 0x2C;
    app.ApplyKeyAssignments();
    uint8_t code = 0;
    ASSERT_EQ(map->GetBinding(4, 0, 2, &code, nullptr), 0u);
    EXPECT_EQ(code, 0x2C);
    EXPECT_EQ(map->CountBindings(4, 0), 3u);
}

// Input creation failing: no action map (the virtual input device) → 2, no input devices → 1.
TEST(DeviceSetUp, InputFailuresGiveTwoAndOne)
{
    struct Case {
        bool failActionMap;
        int code;
        const char* text;
    };
    const Case cases[] = {{true, 2, "仮想入力デバイスの作成に失敗"}, {false, 1, "入力デバイスの初期化に失敗"}};
    for (const Case& c : cases) {
        CGameApp app;
        if (c.failActionMap)
            app.GetInput().FailNextActionMap();
        const size_t before = CountBoxes(c.text);
        EXPECT_EQ(app.OnDevicesReady(), c.code);
        EXPECT_EQ(CountBoxes(c.text), before + 1);
        EXPECT_EQ(winapi::CurrentHeadlessHost()->MessageBoxes().back().type & 0xF0u, static_cast<UINT>(MB_ICONHAND));
        EXPECT_EQ(c.failActionMap, app.GetActionMap() == nullptr);
    }
}

TEST(DeviceSetUp, NoSoundDeviceWarnsOnceWhenTheFlagIsSet)
{
    InputTestWindow window;
    winapi::Dsound().failCoCreate = true;
    for (uint8_t warn : {0, 1}) {
        CGameApp app;
        ASSERT_EQ(app.GetInput().CreateDevices(window.hwnd, 2, 2), 0u);
        app.UserBlock()[kUserWarnNoSound] = warn;
        const size_t before = CountBoxes(kNoSound);
        ASSERT_EQ(app.OnDevicesReady(), 0);
        ASSERT_EQ(app.OnDevicesReady(), 0);
        EXPECT_EQ(CountBoxes(kNoSound), before + warn) << int(warn);
        EXPECT_EQ(g_pSoundList, &app.SoundDevice());
        EXPECT_EQ(app.SoundDevice().GetDirectSound(), nullptr);
        if (warn != 0) {
            EXPECT_EQ(winapi::CurrentHeadlessHost()->MessageBoxes().back().type & 0xF0u,
                      static_cast<UINT>(MB_ICONWARNING));
        }
    }
    winapi::Dsound() = {};
}

uint32_t MovieVersion() { return kMovieLibraryVersion; }
void MovieFactory() {}
const winapi::BuiltinProc kSpriteLibrary[] = {
    {"GetDllVersion", winapi::ToFarProc(&MovieVersion)},
    {"GetDShowGdiSpriteCtrl", winapi::ToFarProc(&MovieFactory)},
};

TEST(DeviceSetUp, PublishesScreenSchedulersMovieLibrariesAndUserBlockOptions)
{
    const uint8_t banded = g_bBandedRedraw, merge = g_bMergeUpdateRects;
    const uint32_t glyphs = g_GlyphCacheLimit;
    ASSERT_TRUE(winapi::RegisterBuiltinModule("DS_SPRITE.DLL", kSpriteLibrary, std::size(kSpriteLibrary)));
    InputTestWindow window;
    // The image cache option v: 0 automatic, 1 off, else (v - 1) x 4 megabytes.
    struct Case {
        uint8_t drawFlag8, drawFlag16;
        uint16_t glyphLimit;
        uint8_t cacheOption;
        uint64_t cacheMegabytes;  // 0xFFFF: automatic, some budget
    } cases[] = {
        {0, 1, 300, 1, 0},
        {1, 0, 512, 3, 8},
        {1, 1, 0, 2, 4},
        {0, 0, 65535, 0, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cache option " << int(c.cacheOption));
        {
            CGameApp app;
            ASSERT_EQ(app.GetInput().CreateDevices(window.hwnd, 2, 2), 0u);
            uint8_t* user = app.UserBlock();
            user[kUserWarnNoSound] = 0;
            user[kUserDrawFlag8] = c.drawFlag8;
            user[kUserDrawFlag16] = c.drawFlag16;
            user[kUserDrawLimit] = static_cast<uint8_t>(c.glyphLimit);
            user[kUserDrawLimit + 1] = static_cast<uint8_t>(c.glyphLimit >> 8);
            user[kUserImageLoaderOption] = c.cacheOption;
            user[kUserKeepPriority] = c.drawFlag16;
            ASSERT_EQ(app.OnDevicesReady(), 0);
            EXPECT_EQ(g_bKeepEffectPriority, c.drawFlag16);
            EXPECT_EQ(g_bBandedRedraw, c.drawFlag8);
            EXPECT_EQ(g_bMergeUpdateRects, c.drawFlag16);
            EXPECT_EQ(g_GlyphCacheLimit, c.glyphLimit);
            if (c.cacheMegabytes == 0xFFFF)
                EXPECT_GT(g_pGllManager->GetCacheBudget(), 0u);
            else
                EXPECT_EQ(g_pGllManager->GetCacheBudget(), c.cacheMegabytes << 20);
            EXPECT_EQ(g_pDisplay, &app.ScreenObject());
            EXPECT_EQ(g_pTaskList, &app.TaskList());
            EXPECT_EQ(g_pObjectManager, &app.ObjectManager());
            ASSERT_NE(app.MovieLibrary(MovieLibraryKind::Sprite), nullptr);
            EXPECT_EQ(g_pMovieSpriteLibrary, app.MovieLibrary(MovieLibraryKind::Sprite));
            EXPECT_EQ(app.MovieLibrary(MovieLibraryKind::Primitive), nullptr) << "no DS_PRIM.DLL";
            EXPECT_EQ(app.MovieLibrary(MovieLibraryKind::Window), nullptr) << "no DS_MOVIE.DLL";
            EXPECT_EQ(g_pMoviePrimitiveLibrary, nullptr);
            EXPECT_EQ(g_pMovieWindowLibrary, nullptr);
        }
        EXPECT_EQ(g_pDisplay, nullptr);
        EXPECT_EQ(g_pTaskList, nullptr);
        EXPECT_EQ(g_pObjectManager, nullptr);
        EXPECT_EQ(g_pMovieSpriteLibrary, nullptr);
    }
    winapi::UnregisterBuiltinModule("DS_SPRITE.DLL");
    g_bBandedRedraw = banded;
    g_bMergeUpdateRects = merge;
    g_GlyphCacheLimit = glyphs;
    g_bKeepEffectPriority = 0;
}

} // namespace

