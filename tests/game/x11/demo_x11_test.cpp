// The demo game the build makes (build/demo) in the real program on the SDL host under X, in both
// threading modes: the title shows, a click on はじめから brings the room of scene 1, and the close
// box's quit question, answered Yes by a dialog script, ends the program with status 0.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "files/elg_loader.h"
#include "files/gll_test_support.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "game/game_main.h"
#include "game/resources.h"
#include "game/user_settings.h"
#include "winapi/dialogs/dialog_script.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"

namespace {

using namespace winapi::dialogs;
using picture_test::Target;
namespace sdl = winapi::sdl_testing;

const std::string kDemo = std::string(TESSARO_BINARY_DIR) + "/demo";

// One of the game's pictures as its own reader decodes it.
Target Picture(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<BYTE> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Target t;
    CElgLoader loader;
    EXPECT_EQ(kGllOk, loader.Load(file.data(), static_cast<DWORD>(file.size()), Target::Allocate, &t, FALSE, nullptr,
                                  nullptr))
        << path;
    return t;
}

// Whether the window shows the picture in the rectangle (colours only).
bool Shows(HWND hwnd, const Target& picture, const RECT& area)
{
    const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
    if (frame.pixels.empty() || frame.width < area.right || frame.height < area.bottom || picture.width < area.right ||
        picture.height < area.bottom)
        return false;
    for (LONG y = area.top; y < area.bottom; ++y)
        for (LONG x = area.left; x < area.right; ++x)
            if ((frame.At(x, y) & 0xFFFFFF) != (picture.Pixel32(x, y) & 0xFFFFFF))
                return false;
    return true;
}

// Polls until `done` holds, or `seconds` have passed or the game has ended.
bool Within(const std::atomic<bool>& ended, int seconds, const std::function<bool()>& done)
{
    for (int i = 0; i < seconds * 20 && !ended; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class DemoOnX : public testing::Test {
protected:
    void SetUp() override
    {
        if (!UseTestXServer() || !StartSdlHost("x11"))
            GTEST_SKIP() << "no test X server";
        ASSERT_TRUE(std::filesystem::exists(kDemo + "/SCRIPT.KPK")) << "the build made no demo in " << kDemo;
    }
};

TEST_F(DemoOnX, TitleClickIntoSceneOneAndTheCloseBoxEnds)
{
    const Target title = Picture(kDemo + "/BG/TITLE.ELG"), room = Picture(kDemo + "/BG/ROOM.ELG");
    // Above the title's choice lines; left of Mina and above the name window.
    const RECT titleBand{0, 0, 800, 130}, roomBeside{0, 0, 240, 420};
    for (uint8_t thread : {1, 0}) {
        SCOPED_TRACE(thread ? "threaded" : "single-threaded");
        TempFolder dir;
        const std::string game = dir.Linux("game");
        std::filesystem::copy(kDemo, game, std::filesystem::copy_options::recursive);
        UserCfg user;
        SetUserBlockDefaults(user.user);
        user.frame.requestedMode = 2;  // in a window
        user.frame.gameThread = thread;
        dir.Write("game/USER.CFG", gamefolder::Str(BuildUserCfg(user)));
        // Saves, settings and the one-copy lock in the run's own folders.
        std::filesystem::create_directories(dir.Linux("run"));
        std::filesystem::permissions(dir.Linux("run"), std::filesystem::perms::owner_all);
        setenv("HOME", dir.Linux("home").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.Linux("home/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.Linux("home/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.Linux("run").c_str(), 1);

        const size_t dialogsBefore = DialogRecords().size();
        QueueDialogScript(kDlgMessageYesNo, {ClickOn(kCtlYes)});
        std::atomic<bool> ended{false}, sawTitle{false}, sawRoom{false}, closed{false};
        std::thread player([&] {
            HWND hwnd = nullptr;
            Within(ended, 60, [&] {
                hwnd = g_pTheGameApp != nullptr ? g_pTheGameApp->GetMainWindow() : nullptr;
                return hwnd != nullptr && sdl::SdlWindowId(hwnd) != 0;
            });
            if (hwnd == nullptr)
                return;
            sawTitle = Within(ended, 60, [&] { return Shows(hwnd, title, titleBand); });
            // はじめから, the first of the three choice lines. The lines take input only once
            // they have faded in, which a busy machine may show later than the picture: the
            // click is given again until the room comes (a click in the room leaves it there).
            for (int tries = 0; sawTitle && !sawRoom && tries < 20 && !ended; ++tries) {
                sdl::PushMouseMotion(hwnd, 400, 150);
                sdl::PushMouseButton(hwnd, 400, 150, 0, true);
                sdl::PushMouseButton(hwnd, 400, 150, 0, false);
                sawRoom = Within(ended, 3, [&] { return Shows(hwnd, room, roomBeside); });
            }
            // Closed whatever was seen, so that a failure still ends the game.
            closed = sdl::ClickCloseBox(hwnd);
        });
        std::string folder = game;
        char program[] = "tessaro";
        char* argv[] = {program, folder.data(), nullptr};
        int status = -1;
        {
            gamefolder::Watchdog watchdog(240);
            status = GameMain(2, argv);
        }
        ended = true;
        player.join();
        EXPECT_TRUE(sawTitle) << "the title never showed";
        EXPECT_TRUE(sawRoom) << "the click brought no room";
        EXPECT_TRUE(closed);
        EXPECT_EQ(status, 0);
        const std::vector<DialogRecord> dialogs = DialogRecords();
        ASSERT_EQ(dialogs.size(), dialogsBefore + 1) << "the close box asked nothing";
        EXPECT_EQ(dialogs.back().templateId, kDlgMessageYesNo);
        EXPECT_EQ(dialogs.back().result, 1);
        ClearDialogScripts();
    }
}

} // namespace
