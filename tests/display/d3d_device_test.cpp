// The general Direct3D device of the screen and its state cache: as shipped (no device: setters
// answer 1, no scene bracket) and with the test seam on (the device on the back buffer, setters
// calling Direct3D only on a change, CreateDevice's codes by switch, ReapplyStates after
// re-creation, the scene bracket around the task list, restore after a loss).
#include <gtest/gtest.h>

#include "display/device_image.h"
#include "display/screen.h"
#include "display_test_util.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <memory>

namespace {

using headless_test::Display;
using headless_test::Host;
using headless_test::Pump;
namespace sw = winapi::ddraw_testing;

class D3DScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        Host().SetDisplays({Display({0, 0, 1920, 1080})});
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "D3DScreen";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "D3DScreen", "s", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        Pump();
        sw::Reset();
    }
    int Open(bool zBuffer = false)
    {
        screen->SetWantDirect3DForTests(true);
        return screen->CreateDisplay(window, true, false, zBuffer);
    }

    std::unique_ptr<CScreen> screen = std::make_unique<CScreen>();
    HWND window = nullptr;
};

// A device image over a plain texture surface.
class TextureImage : public CDeviceImage {
public:
    explicit TextureImage(IDirectDrawSurface7* s) : m_surface(s) {}
    uint8_t GetImageKind() const override { return 2; }
    LONG GetImageWidth() const override { return 4; }
    LONG GetImageHeight() const override { return 4; }
    IDirectDrawSurface7* GetTextureSurface() const override { return m_surface; }
    LONG GetSourceWidth() const override { return 4; }
    LONG GetSourceHeight() const override { return 4; }
    double GetTexU(LONG x) const override { return x / 4.0; }
    double GetTexV(LONG y) const override { return y / 4.0; }

private:
    IDirectDrawSurface7* m_surface;
};

IDirectDrawSurface7* MakeTexture(IDirectDraw7* dd)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 4;
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
    return s;
}

TEST_F(D3DScreen, AsShippedThereIsNoDeviceAndEverySetterAnswersOne)
{
    ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    EXPECT_EQ(g_pRenderDevice, screen.get());
    EXPECT_FALSE(screen->UsesDirect3D());
    EXPECT_EQ(screen->GetD3DDevice(), nullptr);
    EXPECT_EQ(screen->SetCullMode(1), 1);
    EXPECT_EQ(screen->SetColorKeyEnable(1), 1);
    EXPECT_EQ(screen->SetTextureFactor(5), 1);
    EXPECT_EQ(screen->SetAlphaRef(9), 1);
    EXPECT_EQ(screen->SetTexture(nullptr), 1);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kCullMode), CD3DDevice::kUnknown);
    EXPECT_EQ(screen->ReapplyStates(), 0);
    std::string log;
    display_test::LogTask a("A", &log);
    screen->Insert(&a, 1, 0);
    EXPECT_EQ(screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()), 0);
    EXPECT_EQ(log, "A");
    EXPECT_EQ(sw::MethodCalls("BeginScene"), 0);
    screen->Remove(&a);
}

TEST_F(D3DScreen, TheSeamMakesTheDeviceOnTheBackBuffer)
{
    ASSERT_EQ(Open(), 0);
    ASSERT_NE(screen->GetD3DDevice(), nullptr);
    EXPECT_EQ(screen->GetPresentPath(), 1);
    EXPECT_TRUE(screen->DrawsTransformedVertices());
    EXPECT_TRUE(screen->HasAlphaGouraudBlend());
    EXPECT_TRUE(screen->IsAlphaTestUsable());
    EXPECT_EQ(screen->GetTextureFormatMask(), 0x1FCu);
    struct {
        uint32_t code;
        bool present;
    } const formats[] = {{2, false}, {3, false}, {4, true}, {32, true}, {128, true}, {256, true}, {512, false}};
    for (const auto& f : formats)
        EXPECT_EQ(screen->GetTextureFormat(f.code) != nullptr, f.present) << f.code;
    EXPECT_EQ(screen->GetTextureFormat(128)->dwRGBAlphaBitMask, 0xF000u);
    // Only the first format of each code is kept.
    sw::Current().textureFormats = {sw::TextureFormat(32, 0, 0xFF0000, 0xFF00, 0xFF),
                                    sw::TextureFormat(32, 0, 0xFF0000, 0xFF00, 0xFF),
                                    sw::TextureFormat(16, 0, 0xF800, 0x7E0, 0x1F)};
    ASSERT_EQ(screen->CreateDevice(screen->GetBackBuffer(), &screen->GetOutputRect(), false), 0);
    EXPECT_EQ(screen->GetTextureFormatMask(), 32u | 8u);
    EXPECT_EQ(screen->GetTextureFormat(4), nullptr);
}

TEST_F(D3DScreen, TheReportReadsDirectDrawAndTheDevice)
{
    EXPECT_EQ(g_pDisplayReportSource, screen.get());
    EXPECT_FALSE(CurrentDisplayReportFacts().initialised);
    ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    DisplayReportFacts shipped = CurrentDisplayReportFacts();
    EXPECT_TRUE(shipped.initialised);
    EXPECT_TRUE(shipped.directDraw);
    EXPECT_EQ(shipped.driverFile, "tessaro_display.drv");
    EXPECT_EQ(shipped.presentation, 1);
    EXPECT_EQ(shipped.pixelBits, 32);
    EXPECT_EQ(shipped.redMask, 0xFF0000u);
    EXPECT_FALSE(shipped.direct3D);
    screen = std::make_unique<CScreen>();
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    ASSERT_EQ(Open(), 0);
    const DisplayReportFacts on = CurrentDisplayReportFacts();
    EXPECT_TRUE(on.direct3D);
    EXPECT_EQ(on.textureFormats, 0x7Fu);
    EXPECT_TRUE(on.drawPrimitiveVertex);
    EXPECT_TRUE(on.gouraudAlpha);
    EXPECT_TRUE(on.noLimitation);
    EXPECT_EQ(on.maxTextureWidth, 4096);
    screen.reset();
    EXPECT_EQ(g_pDisplayReportSource, nullptr);
}

TEST_F(D3DScreen, SettersCallDirect3DOnlyOnAChange)
{
    ASSERT_EQ(Open(), 0);
    const int before = sw::RenderStateCalls(D3DRENDERSTATE_SRCBLEND);
    EXPECT_EQ(screen->SetSrcBlend(D3DBLEND_SRCALPHA), 0);
    EXPECT_EQ(screen->SetSrcBlend(D3DBLEND_SRCALPHA), 0);
    EXPECT_EQ(sw::RenderStateCalls(D3DRENDERSTATE_SRCBLEND) - before, 1);
    EXPECT_EQ(screen->SetSrcBlend(0x100 | D3DBLEND_SRCALPHA), 0);  // the low byte counts
    EXPECT_EQ(sw::RenderStateCalls(D3DRENDERSTATE_SRCBLEND) - before, 1);
    // A failing call answers 2 and the cache keeps its value.
    sw::Current().failMethod = "SetRenderState";
    sw::Current().failMethodCall = sw::MethodCalls("SetRenderState") + 1;
    EXPECT_EQ(screen->SetSrcBlend(D3DBLEND_ONE), 2);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kSrcBlend), D3DBLEND_SRCALPHA);
    EXPECT_EQ(screen->SetSrcBlend(D3DBLEND_ONE), 0);
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kSrcBlend), D3DBLEND_ONE);
    // The alpha reference starts at 0: setting 0 calls nothing.
    EXPECT_EQ(screen->SetAlphaRef(0), 0);
    EXPECT_EQ(sw::RenderStateCalls(D3DRENDERSTATE_ALPHAREF), 0);
    const int stage = sw::StageStateCalls(D3DTSS_COLOROP);
    EXPECT_EQ(screen->SetColorOp(D3DTOP_MODULATE), 0);
    EXPECT_EQ(screen->SetColorOp(D3DTOP_MODULATE), 0);
    EXPECT_EQ(sw::StageStateCalls(D3DTSS_COLOROP) - stage, 1);
    // Textures: bound once; an image without a surface answers 1.
    IDirectDrawSurface7* surface = MakeTexture(screen->DirectDraw());
    TextureImage image(surface), none(nullptr);
    const int binds = sw::MethodCalls("SetTexture");
    EXPECT_EQ(screen->SetTexture(&image), 0);
    EXPECT_EQ(screen->SetTexture(&image), 0);
    EXPECT_EQ(sw::MethodCalls("SetTexture") - binds, 1);
    EXPECT_EQ(screen->SetTexture(&none), 1);
    EXPECT_EQ(screen->GetCurrentTexture(), &image);
    // A deleted image is forgotten, so nothing binds it again.
    screen->ForgetTexture(&image);
    EXPECT_EQ(screen->GetCurrentTexture(), nullptr);
    EXPECT_EQ(screen->ReapplyStates(), 0);
    surface->Release();
}

TEST_F(D3DScreen, CreateDevicesCodesBySwitch)
{
    struct Case {
        const char* name;
        const char* method;
        bool failDevice;
        bool zBuffer;
        int want;
    } const cases[] = {
        {"device refused", "", true, false, 10},
        {"caps refused", "GetCaps", false, false, 11},
        {"viewport refused", "SetViewport", false, true, 12},
        {"z-buffer not attached", "AddAttachedSurface", false, true, -1},
        {"z-buffer formats refused", "EnumZBufferFormats", false, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        sw::Reset();
        sw::Current().failCreateDevice = c.failDevice;
        sw::Current().failMethod = c.method;
        sw::Current().failMethodCall = 1;
        sw::Current().needsZBuffer = true;
        EXPECT_EQ(Open(c.zBuffer), c.want);
        EXPECT_EQ(screen->GetD3DDevice() != nullptr, c.want == -1);
        EXPECT_EQ(screen->GetBackBuffer() != nullptr, c.want == -1);
    }
    // With a z-buffer: attached at the target's depth.
    screen = std::make_unique<CScreen>();
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    sw::Reset();
    ASSERT_EQ(Open(true), 0);
    EXPECT_EQ(screen->GetZBufferDepth(), 0u);  // the software device needs none
    screen = std::make_unique<CScreen>();
    ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
    sw::Current().needsZBuffer = true;
    ASSERT_EQ(Open(true), 0);
    EXPECT_EQ(screen->GetZBufferDepth(), 32u);  // 32 bits: the back buffer's depth
}

TEST_F(D3DScreen, ReapplyStatesSetsExactlyTheStatesSetBefore)
{
    ASSERT_EQ(Open(), 0);
    screen->SetCullMode(D3DCULL_NONE);
    screen->SetColorKeyEnable(1);
    screen->SetAlphaArg2(D3DTA_DIFFUSE);
    screen->SetTextureFactor(0x80FFFFFF);
    screen->SetAlphaRef(7);
    screen->ReleaseDevice();
    ASSERT_EQ(screen->CreateDevice(screen->GetBackBuffer(), &screen->GetOutputRect(), false), 0);
    sw::Reset();
    EXPECT_EQ(screen->ReapplyStates(), 0);
    const DWORD renderStates[] = {D3DRENDERSTATE_CULLMODE,        D3DRENDERSTATE_COLORKEYENABLE, D3DRENDERSTATE_TEXTUREFACTOR,
                                  D3DRENDERSTATE_ALPHAREF,        D3DRENDERSTATE_SHADEMODE,      D3DRENDERSTATE_SRCBLEND,
                                  D3DRENDERSTATE_ALPHABLENDENABLE, D3DRENDERSTATE_ALPHAFUNC};
    const int wantRender[] = {1, 1, 1, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < std::size(renderStates); ++i)
        EXPECT_EQ(sw::RenderStateCalls(renderStates[i]), wantRender[i]) << renderStates[i];
    EXPECT_EQ(sw::StageStateCalls(D3DTSS_ALPHAARG2), 1);
    EXPECT_EQ(sw::StageStateCalls(D3DTSS_COLOROP), 0);
    EXPECT_EQ(sw::MethodCalls("SetRenderState"), 4);
    EXPECT_EQ(sw::MethodCalls("SetTextureStageState"), 1);
}

TEST_F(D3DScreen, TheTaskListDrawsInsideTheSceneBracket)
{
    ASSERT_EQ(Open(), 0);
    std::string log;
    display_test::LogTask a("A", &log), b("B", &log);
    screen->Insert(&a, 2, 0);
    screen->Insert(&b, 1, 0);
    a.drawAnswer = 2;
    EXPECT_EQ(screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()), 2);
    EXPECT_EQ(log, "A");
    EXPECT_EQ(sw::MethodCalls("BeginScene"), 1);
    EXPECT_EQ(sw::MethodCalls("EndScene"), 1);
    sw::Current().failMethod = "BeginScene";
    sw::Current().failMethodCall = 2;
    log.clear();
    EXPECT_EQ(screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()), -1);
    EXPECT_EQ(log, "");
    screen->Remove(&a);
    screen->Remove(&b);
}

TEST_F(D3DScreen, RestoreRecreatesTheDeviceAfterALoss)
{
    ASSERT_EQ(Open(), 0);
    screen->SetCullMode(D3DCULL_NONE);
    sw::LoseAllSurfaces();
    sw::Current().failRestore = true;
    EXPECT_EQ(screen->RestoreDevice(), 0);
    ASSERT_NE(screen->GetD3DDevice(), nullptr);
    sw::Current().failRestore = false;
    // The restored device gets the cached states again through RestoreSurfaces.
    EXPECT_EQ(screen->GetCachedState(CD3DDevice::kCullMode), D3DCULL_NONE);
    sw::Current().failCreateDevice = true;
    sw::LoseAllSurfaces();
    sw::Current().failRestore = true;
    EXPECT_EQ(screen->RestoreDevice(), 3);
    EXPECT_EQ(screen->GetBackBuffer(), nullptr);
}

} // namespace
