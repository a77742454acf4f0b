// The game's resources and its main window's set-up and handlers: the menu and accelerators as
// KW_APP.SYS switches them on, Ctrl held at start, the monitor for full screen, the end of the
// session.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "game/resources.h"
#include "game/user_settings.h"
#include "script/sob_native_args.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/kernel.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

std::string ItemText(HMENU menu, UINT item, UINT flags)
{
    char text[128] = {};
    GetMenuStringA(menu, item, text, sizeof text, flags);
    return winapi::SjisToUtf8(text);
}

// A game folder whose scripts never start (no MAIN): the window lives until the game ends.
struct WindowGame {
    TempFolder dir;
    explicit WindowGame(uint8_t saveMode, bool menu, uint8_t switchAllowed)
    {
        AppDescription sys = DefaultAppDescription(AppFrameOptions{});
        sys.bytes[kSysSaveMode] = saveMode;
        sys.bytes[kSysSingleInstance] = 0;
        sys.bytes[kSysSwitchAllowed] = switchAllowed;
        sys.SetU16(kSysMenu, menu ? 1 : 0);
        sys.SetU16(kSysAccelerators, menu ? 1 : 0);
        WriteAppFiles(dir, sys, "WindowTest", 0);
    }
    std::string Line() { return "/L" + dir.Windows(); }
};

} // namespace

TEST(GameResources, MenuAcceleratorsIconAndCursors)
{
    RegisterGameResources();
    HINSTANCE self = GetModuleHandleA(nullptr);
    HMENU menu = LoadMenuA(self, MAKEINTRESOURCEA(kMenuId));
    ASSERT_NE(nullptr, menu);
    struct Item {
        UINT id;  // 0: the popup
        const char* text;
        bool grayed;
    };
    const Item bar[] = {{0, "システム(&M)", false},
                        {40005, "設定(&C)", false},
                        {40007, "セーブ(&S)", true},
                        {40008, "ロード(&L)", true},
                        {40003, "終了(&E)", false}};
    const Item popup[] = {{40001, "画面モード変更(&D)\tShift+D", false},
                          {40002, "タイトルに戻る(&T)\tShift+T", true},
                          {40006, "設定(&C)\tShift+C", false},
                          {40003, "終了(&Q)\tAlt+F4", false},
                          {0, "", false},
                          {40004, "バージョン情報(&V)\tShift+V", false}};
    auto check = [](HMENU m, const Item* items, int count) {
        ASSERT_EQ(count, GetMenuItemCount(m));
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(items[i].text);
            const UINT state = GetMenuState(m, static_cast<UINT>(i), MF_BYPOSITION);
            EXPECT_EQ(items[i].text, ItemText(m, static_cast<UINT>(i), MF_BYPOSITION));
            EXPECT_EQ(items[i].grayed, (state & MF_GRAYED) != 0);
            if (items[i].id != 0) {
                EXPECT_EQ(items[i].id, GetMenuItemID(m, i));
            }
        }
    };
    check(menu, bar, 5);
    EXPECT_NE(0u, GetMenuState(menu, 0, MF_BYPOSITION) & MF_POPUP);
    ASSERT_NE(nullptr, GetSubMenu(menu, 0));
    check(GetSubMenu(menu, 0), popup, 6);
    EXPECT_NE(0u, GetMenuState(GetSubMenu(menu, 0), 4, MF_BYPOSITION) & MF_SEPARATOR);
    // The popup's items are found by command through the bar.
    EXPECT_EQ("バージョン情報(&V)\tShift+V", ItemText(menu, 40004, MF_BYCOMMAND));
    EXPECT_NE(0u, GetMenuState(menu, 40002, MF_BYCOMMAND) & MF_GRAYED);
    DestroyMenu(menu);

    EXPECT_NE(nullptr, LoadAcceleratorsA(self, MAKEINTRESOURCEA(kAcceleratorsId)));
    EXPECT_NE(nullptr, LoadIconA(self, MAKEINTRESOURCEA(kIconId)));
    EXPECT_NE(nullptr, LoadCursorA(self, MAKEINTRESOURCEA(kCursorId)));
    EXPECT_NE(nullptr, LoadCursorA(self, MAKEINTRESOURCEA(kBusyCursorId)));
    EXPECT_EQ(nullptr, LoadIconA(self, MAKEINTRESOURCEA(104)));
}

// KW_APP.SYS's menu and accelerator switches: the window gets menu 101 (screen-mode change grayed
// unless switching is allowed), the frame accelerators 102 and the window icon 103; the window's
// place is remembered when it goes.
TEST(GameWindow, MenuAndAcceleratorsFollowTheDescription)
{
    struct Case {
        bool menu;
        uint8_t switchAllowed;
    };
    for (const Case c : {Case{true, 0}, Case{true, 1}, Case{false, 1}}) {
        SCOPED_TRACE(testing::Message() << "menu " << c.menu << " switching " << int(c.switchAllowed));
        WindowGame game(5, c.menu, c.switchAllowed);
        CGameApp app;
        std::string line = game.Line();
        EXPECT_EQ(0, app.Run(GetModuleHandleA(nullptr), nullptr, line.data(), SW_SHOWNORMAL));
        EXPECT_NE(nullptr, app.GetIcon());
        // Destroyed in window mode: the window's place is remembered.
        EXPECT_EQ(2, app.m_options.requestedMode);
        EXPECT_GE(app.m_options.windowX, 0);
        EXPECT_GE(app.m_options.windowY, 0);
        EXPECT_EQ(c.menu, app.GetMenuHandle() != nullptr);
        EXPECT_EQ(c.menu, app.GetAcceleratorTable() != nullptr);
        if (c.menu) {
            const UINT state = GetMenuState(app.GetMenuHandle(), kCmdScreenMode, MF_BYCOMMAND);
            EXPECT_EQ(c.switchAllowed == 0, (state & MF_GRAYED) != 0);
        }
    }
}

// Ctrl held at start starts the game in a window.
TEST(GameWindow, CtrlHeldAtStartChoosesTheWindow)
{
    auto* host = winapi::CurrentHeadlessHost();
    for (bool held : {false, true}) {
        CGameApp app;
        app.m_options.requestedMode = 1;
        host->HoldKey(VK_CONTROL, held);
        EXPECT_EQ(0, app.OnBeforeCreateWindow());
        host->HoldKey(VK_CONTROL, false);
        EXPECT_EQ(held ? 2 : 1, app.m_options.requestedMode) << held;
    }
}

// The monitor-choice bit: a monitor that cannot be chosen turns screen-mode switching off and
// starts in a window; a chosen one starts full screen unless the settings ask for a window or the
// stored option is 3.
TEST(GameWindow, MonitorChoiceAtStart)
{
    {
        CGameApp app;  // no display devices enumerated: nothing to choose from
        app.Settings().user.monitorChoice = 4 | 1;
        app.m_options.requestedMode = 1;
        ASSERT_EQ(0, app.OnBeforeCreateWindow());
        EXPECT_EQ(2, app.m_options.requestedMode);
        EXPECT_EQ(0, app.Description().bytes[kSysSwitchAllowed]);
        EXPECT_EQ(1, app.Settings().user.monitorChoice);
    }
    struct Case {
        uint8_t bit;
        uint8_t startInWindow;
        uint8_t storedOption;
        uint8_t option;
        uint8_t expected;
    };
    const Case cases[] = {
        {4, 0, 0, 0, 1}, {4, 0, 2, 2, 1}, {4, 1, 0, 0, 0}, {4, 0, 3, 2, 2}, {4, 1, 1, 1, 1}, {0, 0, 0, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.bit) << " " << int(c.startInWindow) << " " << int(c.storedOption)
                                        << " " << int(c.option));
        CGameApp app;
        app.GetMonitorList().Refresh();
        ASSERT_EQ(0, app.ScreenObject().EnumDisplayDevices(&app.GetMonitorList(), 640, 480, false));
        app.Settings().user.monitorChoice = c.bit;
        app.Config().startInWindow = c.startInWindow;
        app.Settings().user.frame.requestedMode = c.storedOption;
        app.m_options.requestedMode = c.option;
        ASSERT_EQ(0, app.OnBeforeCreateWindow());
        EXPECT_EQ(c.expected, app.m_options.requestedMode);
        EXPECT_EQ(c.bit, app.Settings().user.monitorChoice);
        // A stored monitor past the list is automatic.
        app.Config().targetMonitor = 200;
        EXPECT_EQ(0, app.SelectTargetMonitor(nullptr, 0));
    }
}

// The end of the session saves the player's settings and lets the session end.
TEST(GameWindow, QueryEndSessionSavesTheSettings)
{
    WindowGame game(3, false, 1);
    TempFolder data;
    setenv("XDG_DATA_HOME", data.Linux().c_str(), 1);
    CGameApp app;
    SetBaseFolder(game.dir.Windows().c_str());
    ASSERT_EQ(0, app.SetAppInfo());  // the folder is made (the question answered Yes)
    std::filesystem::remove(data.Linux("WindowTest SaveData/USER.CFG"));
    CWindowMessage m;
    m.message = WM_QUERYENDSESSION;
    EXPECT_EQ(0u, app.OnQueryEndSession(&m));
    EXPECT_EQ(1, m.result);
    EXPECT_TRUE(data.Exists("WindowTest SaveData/USER.CFG"));
    EXPECT_TRUE(data.Exists("WindowTest SaveData/APP_CFG.DAT"));
}

namespace {

struct ModeSwitchCase {
    const char* what;
    bool failDirect3D;  // the display cannot make the Direct3D device on this switch
    uint8_t mode;       // the screen mode after the switch
    uint8_t enlargedDrawing, drawingAlways;
};
struct ModeSwitchSeen {
    uint8_t mode, enlargedDrawing, drawingAlways;
};
std::vector<ModeSwitchCase> g_modeCases;
std::vector<ModeSwitchSeen> g_modeSeen;

// Native 809: each case asks for Direct3D drawing in window and full screen, then switches the
// screen mode as the menu does.
uint32_t SwitchModes(SobNativeArgs&)
{
    CGameApp& app = *g_pTheGameApp;
    for (const ModeSwitchCase& c : g_modeCases) {
        app.Config().enlargedDrawing = 3;
        app.Config().drawingAlways = 1;
        app.ApplyScreenOptions();
        winapi::ddraw_testing::Current().failCreateDevice = c.failDirect3D;
        SendMessageA(app.GetMainWindow(), WM_COMMAND, kCmdScreenMode, 0);
        winapi::ddraw_testing::Reset();
        g_modeSeen.push_back({app.m_options.requestedMode, app.Config().enlargedDrawing, app.Config().drawingAlways});
    }
    return 0;
}

} // namespace

// A screen-mode switch whose display had to give up the drawing method asked for stores the
// method it fell back to (DirectDraw), and in a window the drawing-always switch off; a switch
// that kept the method leaves both.
TEST(GameWindow, AModeSwitchThatDropsTheDrawingMethodStoresIt)
{
    gamefolder::ScriptGame game(0);
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.bytes[kSysSaveMode] = 5;
    sys.bytes[kSysSingleInstance] = 0;
    sys.bytes[kSysSwitchAllowed] = 1;
    WriteAppFiles(game.dir, sys, "LoopTest", 0);
    game.natives = {SwitchModes};
    game.Module("MAIN", "ncall native 809, none, res\nret\n.data\nnone: .word 0\nres: .word 0\n");
    g_modeCases = {
        {"to full screen, Direct3D there", false, 1, 3, 1},
        {"to the window, Direct3D there", false, 2, 3, 1},
        {"to full screen at the game's size, Direct3D refused but not needed", true, 1, 3, 1},
        {"to the window, Direct3D refused", true, 2, 2, 0},
    };
    g_modeSeen.clear();
    int frames = 0, end = 0;
    EXPECT_EQ(0, game.Run(&frames, &end));
    ASSERT_EQ(g_modeSeen.size(), g_modeCases.size());
    for (size_t i = 0; i < g_modeCases.size(); ++i) {
        const ModeSwitchCase& c = g_modeCases[i];
        SCOPED_TRACE(c.what);
        EXPECT_EQ(g_modeSeen[i].mode, c.mode);
        EXPECT_EQ(g_modeSeen[i].enlargedDrawing, c.enlargedDrawing);
        EXPECT_EQ(g_modeSeen[i].drawingAlways, c.drawingAlways);
    }
}
