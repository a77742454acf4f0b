// The screen's display-device list, mode selection and scaled output: the mode heights found for
// the game's width, " (Primary)" names, depth choice, scaled rectangles with their borders, and
// display-settings changes as the window system sees them.
#include <gtest/gtest.h>

#include "display/screen.h"
#include "platform/monitor_list.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace {

winapi::DisplayInfo Display(RECT bounds, const char* name, bool primary)
{
    winapi::DisplayInfo info;
    info.bounds = bounds;
    info.work = bounds;
    info.deviceName = name;
    info.adapter = std::string("Adapter ") + name;
    info.primary = primary;
    return info;
}

void UseDisplays(std::vector<winapi::DisplayInfo> displays)
{
    winapi::CurrentHeadlessHost()->SetDisplays(std::move(displays));
}

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class ScreenModes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        UseDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)});
    }
    void TearDown() override { UseDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)}); }
};

TEST_F(ScreenModes, ScaledRectanglesKeepTheAspectWithBorders)
{
    CScreen screen;
    ASSERT_EQ(screen.SetOutputSize(640, 480), 0);
    struct Case {
        LONG tw, th;
        bool keep;
        int result;
        bool active;
        LONG x, y, w, h;
        RECT border0, border1;
    } const cases[] = {
        {1280, 1024, false, 0, true, 0, 32, 1280, 960, {0, 0, 1280, 32}, {0, 992, 1280, 1024}},
        {1920, 1080, false, 0, true, 240, 0, 1440, 1080, {0, 0, 240, 1080}, {1680, 0, 1920, 1080}},
        {640, 480, false, -1, false, 0, 0, 0, 0, {}, {}},
        {640, 480, true, -1, false, 0, 0, 0, 0, {}, {}},
        {1280, 960, true, 0, false, 0, 0, 0, 0, {}, {}},
        {1280, 960, false, 0, true, 0, 0, 1280, 960, {}, {}},
        {0, 960, false, 1, false, 0, 0, 0, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.tw) + "x" + std::to_string(c.th) + (c.keep ? " keep" : ""));
        screen.ClearScaledOutput();
        ASSERT_EQ(screen.SetScaledOutput(c.tw, c.th, c.keep), c.result);
        const CScaledOutput& s = screen.GetScaledOutput();
        ASSERT_EQ(s.active, c.active);
        if (!c.active)
            continue;
        EXPECT_EQ(s.x, c.x);
        EXPECT_EQ(s.y, c.y);
        EXPECT_EQ(s.width, c.w);
        EXPECT_EQ(s.height, c.h);
        EXPECT_EQ(s.borders, c.w != c.tw || c.h != c.th);
        if (s.borders) {
            EXPECT_TRUE(Same(s.border[0], c.border0));
            EXPECT_TRUE(Same(s.border[1], c.border1));
        }
        EXPECT_EQ(s.windowWidth, c.tw);
    }
    screen.ClearScaledOutput();
    EXPECT_EQ(screen.GetScaledOutput().windowWidth, 640);
}

TEST_F(ScreenModes, RecordsFindTheModeHeightForTheGamesWidth)
{
    struct Case {
        const char* name;
        RECT display;
        LONG gw, gh;
        bool exclusive;
        DWORD fw, fh;
        bool exact;
        DWORD depthMask;
    } const cases[] = {
        {"aspect height", {0, 0, 1920, 1080}, 1280, 720, true, 1280, 720, true, (DepthBit(32) | DepthBit(16)) << 8},
        {"wanted height", {0, 0, 1920, 1080}, 640, 480, true, 640, 480, true, (DepthBit(32) | DepthBit(16)) << 8},
        {"last other height", {0, 0, 1920, 1200}, 1280, 800, true, 1280, 1024, false,
         (DepthBit(32) | DepthBit(16)) << 8},
        {"no mode of that width", {0, 0, 1920, 1080}, 700, 500, true, 0, 0, false, 0},
        {"display settings when not exclusive", {0, 0, 1920, 1080}, 800, 600, false, 800, 600, true,
         (DepthBit(32) | DepthBit(16)) << 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UseDisplays({Display(c.display, "\\\\.\\DISPLAY1", true)});
        CMonitorList monitors;
        CScreen screen;
        ASSERT_EQ(screen.EnumDisplayDevices(&monitors, c.gw, c.gh, c.exclusive), 0);
        ASSERT_EQ(screen.GetDisplayDevices().size(), 1u);
        const CDisplayDeviceRecord& r = screen.GetDisplayDevices()[0];
        EXPECT_EQ(r.fullScreenWidth, c.fw);
        EXPECT_EQ(r.fullScreenHeight, c.fh);
        EXPECT_EQ(r.exactHeight, c.exact);
        EXPECT_EQ(r.depthMask, c.depthMask);
        EXPECT_EQ(r.has60Hz, c.fw != 0);
        EXPECT_TRUE(r.hardwareDevice == IID_IDirect3DHALDevice);
        EXPECT_EQ(r.displayName.find(" (Primary)"), std::string::npos);
    }
    EXPECT_EQ(CScreen().EnumDisplayDevices(nullptr, 640, 480, true), 1);
}

TEST_F(ScreenModes, TwoMonitorsNameThePrimaryAndMatchTheirDrivers)
{
    UseDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true), Display({1920, 0, 3200, 1024}, "\\\\.\\DISPLAY2", false)});
    CMonitorList monitors;
    CScreen screen;
    ASSERT_EQ(screen.SetOutputSize(640, 480), 0);
    ASSERT_EQ(screen.EnumDisplayDevices(&monitors, 640, 480, true), 0);
    const auto& records = screen.GetDisplayDevices();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].displayName.find(" (Primary)"), std::string::npos);
    EXPECT_EQ(records[1].displayName.find(" (Primary)"), std::string::npos);
    EXPECT_TRUE(records[0].driverHasGuid);
    EXPECT_FALSE(records[0].driverGuid == records[1].driverGuid);

    // The second monitor by handle; full screen at an exact height clears the scaling.
    ASSERT_EQ(screen.SelectDisplayMode(true, records[1].monitor, 0, 0, &monitors), 0);
    EXPECT_TRUE(screen.IsFullScreenMode());
    EXPECT_EQ(screen.GetChosenMonitor(), records[1].monitor);
    EXPECT_FALSE(screen.GetScaledOutput().active);
    // The window on the first monitor: scaled into the monitor's rectangle.
    ASSERT_EQ(screen.SelectDisplayMode(false, nullptr, 0, 32, &monitors), 0);
    EXPECT_FALSE(screen.IsFullScreenMode());
    EXPECT_EQ(screen.GetChosenDepth(), 32u);
    EXPECT_EQ(screen.GetScaledOutput().width, 1440);
}

TEST_F(ScreenModes, SelectionChoosesDepthsAndScalesWhenNoExactModeExists)
{
    CMonitorList monitors;
    CScreen screen;
    EXPECT_EQ(screen.SelectDisplayMode(true, nullptr, 0, 0, &monitors), 1);  // no records
    ASSERT_EQ(screen.SetOutputSize(1280, 800), 0);
    UseDisplays({Display({0, 0, 1920, 1200}, "\\\\.\\DISPLAY1", true)});
    CMonitorList wide;
    ASSERT_EQ(screen.EnumDisplayDevices(&wide, 1280, 800, true), 0);
    ASSERT_EQ(screen.SelectDisplayMode(true, nullptr, 5, 24, &wide), 0);  // index out of range: 0
    EXPECT_EQ(screen.GetChosenDepth(), 32u);  // 24 is not there: the deepest
    EXPECT_TRUE(screen.IsFullScreenMode());
    const CScaledOutput& s = screen.GetScaledOutput();
    EXPECT_TRUE(s.active);
    EXPECT_EQ(s.targetHeight, 1024);
    EXPECT_EQ(s.y, 112);
    ASSERT_EQ(screen.SelectDisplayMode(true, nullptr, 0, 16, &wide), 0);
    EXPECT_EQ(screen.GetChosenDepth(), 16u);
    ASSERT_EQ(screen.SelectDisplayMode(true, nullptr, 0, 0, &wide), 0);
    EXPECT_EQ(screen.GetChosenDepth(), 32u);  // the monitor's own

    // No mode of the game's width: not full-screen mode, scaled into the desktop resolution.
    ASSERT_EQ(screen.SetOutputSize(700, 500), 0);
    ASSERT_EQ(screen.EnumDisplayDevices(&wide, 700, 500, true), 0);
    EXPECT_EQ(screen.SelectDisplayMode(true, nullptr, 0, 24, &wide), 3);
    ASSERT_EQ(screen.SelectDisplayMode(true, nullptr, 0, 0, &wide), 0);
    EXPECT_FALSE(screen.IsFullScreenMode());
    EXPECT_EQ(screen.GetScaledOutput().targetWidth, 1920);
    EXPECT_EQ(screen.GetScaledOutput().height, 1200);
}

TEST_F(ScreenModes, DisplaySettingsChangesAreVirtualAndUndone)
{
    CScreen screen;
    EXPECT_EQ(screen.RestoreDisplaySettings(), 1);
    EXPECT_EQ(screen.ChangeDisplaySettings(1000, 1000, nullptr), 1);
    ASSERT_EQ(screen.ChangeDisplaySettings(800, 600, "\\\\.\\DISPLAY1"), 0);
    EXPECT_TRUE(screen.IsDisplaySettingsChanged());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    ASSERT_EQ(screen.ChangeDisplaySettings(1024, 768, "\\\\.\\DISPLAY1"), 0);  // the old one undone first
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(screen.RestoreDisplaySettings(), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_FALSE(screen.IsDisplaySettingsChanged());
    {
        CScreen leaving;
        ASSERT_EQ(leaving.ChangeDisplaySettings(640, 480, nullptr), 0);
    }
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);  // undone by the destructor
}

} // namespace
