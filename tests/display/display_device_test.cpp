// The DirectDraw display device: the driver list, the choice of a Direct3D device over made-up
// driver lists, creation, the full-screen mode with its exclusive retry, and the clipper.
#include <gtest/gtest.h>

#include "display/display_device.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

winapi::DisplayInfo Display(RECT bounds, const char* name, bool primary)
{
    winapi::DisplayInfo info;
    info.bounds = bounds;
    info.work = bounds;
    info.deviceName = name;
    info.primary = primary;
    return info;
}

class DisplayDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        winapi::CurrentHeadlessHost()->SetDisplays({Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true)});
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "DisplayDeviceTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "DisplayDeviceTest", "d", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        Pump();
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
    }
    HWND window = nullptr;
};

TEST_F(DisplayDevice, TheDriverListHasOneRecordPerDriverWithModesAndDevices)
{
    CDisplayDevice device;  // COM for this thread
    ASSERT_EQ(CDisplayDevice::BuildDriverList(false, true), 0);
    auto& list = CDisplayDevice::DriverList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].hasGuid);
    EXPECT_EQ(list[0].monitor, nullptr);
    EXPECT_TRUE(list[0].hardware3D);
    EXPECT_EQ(list[0].modes.size(), 18u);
    ASSERT_EQ(list[0].devices.size(), 2u);
    EXPECT_TRUE(list[0].devices[0].hardwareRasterization);

    winapi::CurrentHeadlessHost()->SetDisplays(
        {Display({0, 0, 1920, 1080}, "\\\\.\\DISPLAY1", true), Display({1920, 0, 3200, 1024}, "\\\\.\\DISPLAY2", false)});
    ASSERT_EQ(CDisplayDevice::BuildDriverList(false, false), 0);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(list[2].hasGuid);
    EXPECT_NE(list[2].monitor, nullptr);
    EXPECT_TRUE(list[2].modes.empty());
    CDisplayDevice::FreeDriverList();
    EXPECT_TRUE(list.empty());
}

CDriverRecord Driver(BYTE id, bool hardware3D, std::vector<std::pair<GUID, bool>> devices)
{
    CDriverRecord record;
    record.hasGuid = id != 0;
    record.guid = GUID{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, id}};
    record.hardware3D = hardware3D;
    for (auto& [guid, hardware] : devices) {
        D3DDEVICEDESC7 desc{};
        desc.deviceGUID = guid;
        desc.dwDeviceRenderBitDepth = hardware ? DDBD_16 | DDBD_32 : DDBD_16 | DDBD_24 | DDBD_32;
        record.devices.push_back({guid, "", desc, hardware});
    }
    return record;
}

TEST_F(DisplayDevice, FindBestDevicePrefersTnLThenHardwareThenSoftwareThenMmx)
{
    const GUID tnl = IID_IDirect3DTnLHalDevice, hal = IID_IDirect3DHALDevice, rgb = IID_IDirect3DRGBDevice,
               mmx = IID_IDirect3DMMXDevice;
    struct Case {
        const char* name;
        std::vector<CDriverRecord> drivers;
        bool preferSecondary;
        bool found;
        BYTE driver;
        GUID device;
        uint8_t kind;
        bool hardware3D;
    } const cases[] = {
        {"nothing", {}, false, false, 0, {}, 0, false},
        {"mmx only", {Driver(0, false, {{mmx, false}})}, false, true, 0, mmx, 0, false},
        {"software over mmx", {Driver(0, false, {{mmx, false}, {rgb, false}})}, false, true, 0, rgb, 0, false},
        {"hal over software", {Driver(0, true, {{rgb, false}, {hal, true}})}, false, true, 0, hal, 1, true},
        {"tnl over hal", {Driver(0, true, {{hal, true}, {tnl, true}})}, false, true, 0, tnl, 2, true},
        {"later hal replaces earlier", {Driver(0, true, {{hal, true}}), Driver(2, true, {{hal, true}})}, false, true,
         2, hal, 1, true},
        {"hal without 3D hardware is no candidate", {Driver(0, false, {{hal, true}, {rgb, false}})}, false, true, 0,
         rgb, 0, false},
        {"secondary hardware first when preferred",
         {Driver(0, true, {{hal, true}}), Driver(3, false, {{hal, true}})}, true, true, 3, hal, 1, false},
        {"secondary hardware ignored otherwise",
         {Driver(0, true, {{hal, true}}), Driver(3, false, {{hal, true}})}, false, true, 0, hal, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDisplayDevice::DriverList() = c.drivers;
        CBestDevice best;
        ASSERT_EQ(CDisplayDevice::FindBestDevice(&best, c.preferSecondary), c.found);
        if (!c.found)
            continue;
        EXPECT_EQ(best.driverGuid.Data4[7], c.driver);
        EXPECT_TRUE(best.deviceGuid == c.device);
        EXPECT_EQ(best.kind, c.kind);
        EXPECT_EQ(best.hardware3D, c.hardware3D);
    }
    CDisplayDevice::FreeDriverList();
}

TEST_F(DisplayDevice, CreateReadsCapsModesAndTheIdentifier)
{
    CDisplayDevice device;
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, false, 800, 600, false, true, false), 0);
    ASSERT_NE(device.DirectDraw(), nullptr);
    EXPECT_FALSE(device.HasNoHardware());
    EXPECT_EQ(device.VideoMemoryTotal(), 256u << 20);
    EXPECT_EQ(device.DepthMask(), DepthBit(32) | DepthBit(16));
    EXPECT_TRUE(device.Has60Hz());
    EXPECT_EQ(device.DriverDescription(), "Primary Display Driver");
    EXPECT_GT(device.GetVideoMemory(true), 0u);

    // With Direct3D the mask is cut to the device's render depths.
    winapi::ddraw_testing::Current().offer24Bits = true;
    const GUID hal = IID_IDirect3DHALDevice;
    ASSERT_EQ(device.Create(false, true, nullptr, nullptr, 0, false, 800, 600, false, false, false), 0);
    EXPECT_EQ(device.DepthMask(), DepthBit(32) | DepthBit(24) | DepthBit(16));
    // A given driver that does not initialise: with Direct3D a device is searched and the object
    // tried once more; without, 4.
    const GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(device.Create(false, true, &unknown, &hal, DDBD_32, true, 0, 0, false, true, false), 0);
    EXPECT_EQ(device.Create(false, false, &unknown, nullptr, 0, false, 0, 0, false, true, false), 4);
    EXPECT_EQ(device.DirectDraw(), nullptr);
    winapi::ddraw_testing::Current().noHardware = true;
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, false, 0, 0, false, true, false), 0);
    EXPECT_TRUE(device.HasNoHardware());
    device.Release();
    EXPECT_EQ(device.GetVideoMemory(true), 0u);
}

TEST_F(DisplayDevice, FullScreenRetriesAtTheExclusiveLevelAndRestores)
{
    CDisplayDevice device;
    EXPECT_EQ(device.SetFullScreenMode(window, 800, 600, 32, true), 1);  // no DirectDraw
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, false, 800, 600, false, true, false), 0);
    EXPECT_EQ(device.SetFullScreenMode(window, 800, 600, 24, true), 2);
    EXPECT_EQ(device.CooperativeLevel(), 0);  // untouched

    // The normal level refuses the mode: the second pass takes the exclusive level.
    ASSERT_EQ(device.SetFullScreenMode(window, 800, 600, 32, true), 0);
    EXPECT_TRUE(CDisplayDevice::ExclusiveNeeded());
    EXPECT_EQ(device.CooperativeLevel(), 1);
    EXPECT_EQ(device.ModeRefresh(), 60);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(device.SetFullScreenMode(window, 800, 600, 32, true), 1);  // already set

    ASSERT_EQ(device.RestoreWindowedMode(false), 0);
    EXPECT_EQ(device.CooperativeLevel(), 2);
    EXPECT_EQ(device.DisplayModeState(), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);

    // Later calls start at the exclusive level at once; a refused mode there is 4, a refused
    // level 3.
    ASSERT_EQ(device.SetFullScreenMode(window, 800, 600, 16, false), 0);
    EXPECT_EQ(device.ModeRefresh(), 0);
    device.RestoreWindowedMode(false);
    winapi::ddraw_testing::Current().failDisplayMode = true;
    EXPECT_EQ(device.SetFullScreenMode(window, 800, 600, 32, true), 4);
    device.RestoreWindowedMode(false);
    winapi::ddraw_testing::Current().failCooperativeLevel = true;
    EXPECT_EQ(device.SetFullScreenMode(window, 800, 600, 32, true), 3);
    winapi::ddraw_testing::Reset();

    // With the normal level allowed to change modes, the first pass succeeds there.
    CDisplayDevice::ExclusiveNeeded() = false;
    winapi::ddraw_testing::Current().displayModeAtNormalLevel = true;
    CDisplayDevice other;
    ASSERT_EQ(other.Create(false, false, nullptr, nullptr, 0, false, 640, 480, false, true, false), 0);
    ASSERT_EQ(other.SetFullScreenMode(window, 640, 480, 16, true), 0);
    EXPECT_EQ(other.CooperativeLevel(), 2);
    EXPECT_FALSE(CDisplayDevice::ExclusiveNeeded());
    other.Release();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
}

TEST_F(DisplayDevice, TheClipperBindsThePrimaryToTheWindow)
{
    CDisplayDevice device;
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, false, 0, 0, false, true, false), 0);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(device.DirectDraw()->CreateSurface(&d, &primary, nullptr), DD_OK);
    CSurfaceClipper clipper;
    EXPECT_EQ(clipper.Create(device.DirectDraw(), nullptr, window), 1);
    EXPECT_EQ(clipper.Clipper(), nullptr);
    winapi::ddraw_testing::Current().failClipper = true;
    EXPECT_EQ(clipper.Create(device.DirectDraw(), primary, window), 2);
    winapi::ddraw_testing::Reset();
    ASSERT_EQ(clipper.Create(device.DirectDraw(), primary, window), 0);
    IDirectDrawClipper* attached = nullptr;
    ASSERT_EQ(primary->GetClipper(&attached), DD_OK);
    EXPECT_EQ(attached, clipper.Clipper());
    attached->Release();
    HWND bound = nullptr;
    clipper.Clipper()->GetHWnd(&bound);
    EXPECT_EQ(bound, window);
    primary->Release();
}

} // namespace
