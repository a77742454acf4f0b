// The general Direct3D device against the memory image's own routines: an opaque 1:1 point canvas
// quad gives exactly CImage::Copy of the canvas image, and a constant-alpha quad
// blended SRCALPHA / INVSRCALPHA gives CImage::BlendAlpha within 1, over a random back buffer.
#include <gtest/gtest.h>

#include "display/canvas_quad_object.h"
#include "display/canvas_texture.h"
#include "display/screen.h"
#include "raster/dib_convert.h"
#include "raster/image.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace {

namespace sw = winapi::ddraw_testing;
constexpr LONG kW = 64, kH = 48;

class QuadAgainstImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "QuadAgainstImage";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "QuadAgainstImage", "q", WS_POPUP | WS_VISIBLE, 0, 0, kW, kH, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(kW, kH), 0);
        screen->SetWantDirect3DForTests(true);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    }
    void TearDown() override
    {
        screen.reset();
        DestroyWindow(window);
        sw::Reset();
    }
    // Copies between the back buffer and a 32-bit image of its size, either way.
    void Transfer(CImage& image, bool toBack)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        IDirectDrawSurface7* back = screen->GetBackBuffer();
        ASSERT_EQ(back->Lock(nullptr, &d, 0, nullptr), DD_OK);
        for (LONG y = 0; y < kH; ++y) {
            BYTE* row = static_cast<BYTE*>(d.lpSurface) + y * d.lPitch;
            if (toBack)
                std::memcpy(row, image.GetRowPointer(y), kW * 4);
            else
                std::memcpy(image.GetRowPointer(y), row, kW * 4);
        }
        back->Unlock(nullptr);
    }
    static void Randomise(CImage& image, std::mt19937& random, int alpha)
    {
        for (LONG y = 0; y < image.GetHeight(); ++y) {
            auto* row = reinterpret_cast<uint32_t*>(image.GetRowPointer(y));
            for (LONG x = 0; x < image.GetWidth(); ++x) {
                const uint32_t a = alpha < 0 ? random() & 0xFF : static_cast<uint32_t>(alpha);
                row[x] = a << 24 | (random() & 0xFFFFFF);
            }
        }
    }

    HWND window = nullptr;
    std::unique_ptr<CScreen> screen;
};

TEST_F(QuadAgainstImage, OneToOneQuadsEqualCopyAndBlendAlpha)
{
    std::mt19937 random(7);
    CCanvasTexture* canvas = nullptr;
    const LONG sw_ = 37, sh = 23;
    ASSERT_EQ(screen->CreateCanvasTexture(&canvas, kPixelA8R8G8B8, sw_, sh, 32, 0, false), 0);
    CCanvasQuadObject* quad = nullptr;
    const LONG qx = 9, qy = 14;
    ASSERT_EQ(screen->CreateCanvasQuad(&quad, canvas, qx, qy, nullptr), 0);
    screen->Insert(quad, 1, 0);
    struct Case {
        const char* name;
        int alpha;   // the texels' alpha; -1 random (opaque copy only)
        bool blend;  // SRCALPHA / INVSRCALPHA, else opaque
    } const cases[] = {
        {"opaque copy of random alpha", -1, false},
        {"alpha 0", 0, true},
        {"alpha 1", 1, true},
        {"alpha 127", 127, true},
        {"alpha 128", 128, true},
        {"alpha 254", 254, true},
        {"alpha 255", 255, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CImage background, want, got;
        ASSERT_EQ(background.Create(kW, kH, 32, 0), 0);
        ASSERT_EQ(want.Create(kW, kH, 32, 0), 0);
        ASSERT_EQ(got.Create(kW, kH, 32, 0), 0);
        Randomise(background, random, 0);
        Randomise(*canvas->GetImage(), random, c.alpha);
        canvas->InvalidateRect(nullptr);
        ASSERT_EQ(want.Copy(&background, 0, 0, nullptr, false), 0);
        if (c.blend) {
            quad->SetBlendStates(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            ASSERT_EQ(want.BlendAlpha(canvas->GetImage(), qx, qy, nullptr, false), 0);
        } else {
            quad->SetBlendStates(0, D3DBLEND_ONE, D3DBLEND_ZERO);
            ASSERT_EQ(want.Copy(canvas->GetImage(), qx, qy, nullptr, false), 0);
        }
        Transfer(background, true);
        ASSERT_EQ(screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()), 0);
        Transfer(got, false);
        int off = 0, worst = 0;
        for (LONG y = 0; y < kH; ++y)
            for (LONG x = 0; x < kW; ++x) {
                const BYTE* a = got.GetRowPointer(y) + x * 4;
                const BYTE* b = want.GetRowPointer(y) + x * 4;
                for (int i = 0; i < 3; ++i) {
                    const int d = std::abs(a[i] - b[i]);
                    worst = std::max(worst, d);
                    if (d > (c.blend ? 1 : 0) && off++ < 3)
                        ADD_FAILURE() << x << "," << y << " channel " << i << ": " << int(a[i]) << " want "
                                      << int(b[i]);
                }
            }
        EXPECT_EQ(off, 0) << "worst " << worst;
    }
}

} // namespace
