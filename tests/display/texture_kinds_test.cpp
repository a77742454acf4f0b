// The text texture (kind 3), the canvas texture (kind 8) and the canvas quad (type 5) with the
// screen's Direct3D device on: texture sizes by the device's caps; a GDI font in mode 0 into 8888
// and 1555 (text opaque, background transparent), 4444 refused by its DC; glyph fonts equal the
// font's own DrawTextWithAlpha converted; Update copies the tracked rectangles only; Restore after
// losses; the kinds refused as shipped; the canvas quad drawing the canvas through the device.
#include <gtest/gtest.h>

#include "display/canvas_quad_object.h"
#include "display/canvas_surface.h"
#include "display/canvas_texture.h"
#include "display/screen.h"
#include "display/text_surface.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/text_image.h"
#include "platform/cos_table.h"
#include "raster/color_kernels.h"
#include "raster/dib_convert.h"
#include "raster/image.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

namespace sw = winapi::ddraw_testing;

// The raw pixel (x, y) of a surface, its bytes as they lie.
uint32_t Raw(IDirectDrawSurface7* s, LONG x, LONG y)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
    uint32_t p = 0;
    std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * (d.ddpfPixelFormat.dwRGBBitCount / 8),
                d.ddpfPixelFormat.dwRGBBitCount / 8);
    s->Unlock(nullptr);
    return p;
}

class TextureKinds : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        sw::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TextureKinds";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "TextureKinds", "t", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        savedCosines = g_pCosTable;
        g_pCosTable = &cosines;
    }
    void TearDown() override
    {
        screen.reset();
        g_pCosTable = savedCosines;
        g_bCanvasImageDC = 0;
        DestroyWindow(window);
        sw::Reset();
    }
    void Open(bool direct3D = true)
    {
        screen.reset();
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetWantDirect3DForTests(direct3D);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    }
    int Frame() { return screen->RenderAll(screen->GetBackBuffer(), &screen->GetOutputRect(), screen.get()); }

    HWND window = nullptr;
    std::unique_ptr<CScreen> screen;
    CCosTable cosines;
    CCosTable* savedCosines = nullptr;
};

TEST_F(TextureKinds, CanvasTextureSizesFollowTheDevicesCaps)
{
    struct Case {
        const char* name;
        DWORD caps, maxSide, minSide;
        LONG w, h;
        int code;
        LONG tw, th;
        double u639;  // GetTexU (639) when made
    } const cases[] = {
        {"powers of two", D3DPTEXTURECAPS_POW2, 4096, 1, 640, 480, 0, 1024, 512, 639.5 / 1024},
        {"square", D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 4096, 1, 640, 480, 0, 1024, 1024, 639.5 / 1024},
        {"any size", 0, 4096, 1, 640, 480, 0, 640, 480, 639.5 / 640},
        {"over the maximum", 0, 512, 1, 640, 480, 2, 0, 0, 0},
        {"under the minimum", 0, 4096, 16, 5, 3, 0, 16, 16, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sw::Reset();
        sw::Current().textureCaps = c.caps;
        sw::Current().maxTextureSide = c.maxSide;
        sw::Current().minTextureSide = c.minSide;
        Open();
        CCanvasTexture canvas;
        ASSERT_EQ(canvas.Create(kPixelX8R8G8B8, c.w, c.h, 32, 0, false), c.code);
        EXPECT_EQ(canvas.GetImageWidth(), c.tw);
        EXPECT_EQ(canvas.GetImageHeight(), c.th);
        if (c.code != 0) {
            EXPECT_EQ(canvas.GetTextureSurface(), nullptr);
            EXPECT_EQ(canvas.GetImage()->GetBits(), nullptr);
            continue;
        }
        EXPECT_EQ(canvas.GetSourceWidth(), c.w);
        EXPECT_EQ(canvas.GetWidth(), c.tw);
        if (c.w >= 640) {
            EXPECT_DOUBLE_EQ(canvas.GetTexU(639), c.u639);
        }
    }
}

TEST_F(TextureKinds, CanvasImageGetsADeviceContextOnlyInOpaqueFormats)
{
    Open();
    g_bCanvasImageDC = 1;
    CCanvasTexture alpha, opaque;
    ASSERT_EQ(alpha.Create(kPixelA8R8G8B8, 8, 8, 32, 0, false), 0);
    ASSERT_EQ(opaque.Create(kPixelX8R8G8B8, 8, 8, 32, 0, false), 0);
    EXPECT_EQ(alpha.GetImage()->GetDc(), nullptr);
    EXPECT_NE(opaque.GetImage()->GetDc(), nullptr);
    CCanvasTexture before;
    EXPECT_EQ(before.GetTexU(3), 0.0);  // nothing made: no division by zero
}

// Update copies only what the image's tracker holds; a full Update copies everything; Restore
// after a loss refills the texture from the image and sets the key again.
TEST_F(TextureKinds, CanvasUpdateCopiesTrackedRectanglesOnly)
{
    for (bool dc : {false, true}) {
        SCOPED_TRACE(dc ? "by GDI" : "by locking");
        g_bCanvasImageDC = dc ? 1 : 0;
        Open();
        CCanvasTexture canvas;
        ASSERT_EQ(canvas.Create(kPixelX8R8G8B8, 16, 8, 32, 0, false), 0);
        CImage* image = canvas.GetImage();
        EXPECT_EQ(canvas.Update(true), -1);  // nothing changed
        // Pixels written behind the tracker's back, then one rectangle marked.
        image->CDibSurface::FillRect(0x11, 0x22, 0x33, nullptr, nullptr);
        const RECT marked{2, 1, 5, 4};
        canvas.InvalidateRect(&marked);
        ASSERT_EQ(canvas.Update(true), 0);
        IDirectDrawSurface7* t = canvas.GetTextureSurface();
        EXPECT_EQ(Raw(t, 2, 1) & 0xFFFFFF, 0x112233u);
        EXPECT_EQ(Raw(t, 4, 3) & 0xFFFFFF, 0x112233u);
        EXPECT_EQ(Raw(t, 5, 3) & 0xFFFFFF, 0u);
        EXPECT_EQ(Raw(t, 1, 1) & 0xFFFFFF, 0u);
        EXPECT_EQ(canvas.Update(true), -1);  // the tracker emptied
        ASSERT_EQ(canvas.Update(false), 0);
        EXPECT_EQ(Raw(t, 15, 7) & 0xFFFFFF, 0x112233u);

        ASSERT_EQ(canvas.SetColorKeyAt(0, 0), 0);
        const DWORD key = canvas.GetColorKey();
        EXPECT_EQ(canvas.Restore(true), 0);  // not lost: nothing done
        EXPECT_EQ(canvas.GetTextureSurface(), t);
        sw::LoseAllSurfaces();
        ASSERT_EQ(canvas.Restore(true), 0);
        EXPECT_EQ(Raw(canvas.GetTextureSurface(), 15, 7) & 0xFFFFFF, 0x112233u);
        EXPECT_EQ(canvas.GetColorKey(), key);
    }
}

TEST_F(TextureKinds, CanvasColorKeyAtAnOpaqueWhitePixel)
{
    Open();
    CCanvasTexture canvas;
    ASSERT_EQ(canvas.Create(kPixelA8R8G8B8, 4, 4, 32, 0, false), 0);
    canvas.GetImage()->CDibSurface::FillRect(255, 255, 255, nullptr, nullptr);
    std::memset(canvas.GetImage()->GetRowPointer(0), 0xFF, 4);  // alpha 255 too: reads as -1
    EXPECT_EQ(canvas.SetColorKeyAt(0, 0), 0);
    EXPECT_NE(canvas.GetColorKey(), kNoColorKey);
    EXPECT_EQ(canvas.SetColorKeyAt(4, 0), 1);
    EXPECT_EQ(canvas.ClearColorKey(), 0);
    EXPECT_EQ(canvas.GetColorKey(), kNoColorKey);
}

// A GDI font in mode 0: the texture holds the font's own GDI drawing; with alpha the background
// is transparent and the text opaque. 4444 has no DC: Render's 7.
TEST_F(TextureKinds, GdiTextInAlphaFormats)
{
    Open();
    const char* text = "Ab";
    CGdiFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    font.SetAntialias(0);
    font.SetTextColor(250, 240, 10);
    font.SetBackground(1, 0, 0, 64);
    SIZE size{};
    int32_t ox = 0, oy = 0;
    font.MeasureString(text, &size, &ox, &oy, 1, nullptr);
    CImage reference;
    ASSERT_EQ(reference.Create(size.cx, size.cy, 32, kImageWithDc), 0);
    reference.CDibSurface::FillRect(0, 0, 64, nullptr, nullptr);
    ASSERT_EQ(font.DrawToDib(reference.GetDc(), -ox, -oy, text), 0);
    struct Format {
        uint32_t code;
        uint32_t alphaMask;
        int colourBits;
    } const formats[] = {{kPixelA8R8G8B8, 0xFF000000u, 8}, {kPixelA1R5G5B5, 0x8000u, 5}};
    for (const Format& f : formats) {
        SCOPED_TRACE(f.code);
        CTextSurface surface;
        ASSERT_EQ(surface.SetText(f.code, text, &font), 0);
        EXPECT_EQ(surface.GetKind(), kSurfaceTextTexture);
        EXPECT_EQ(surface.GetSourceWidth(), size.cx);
        EXPECT_EQ(surface.GetSourceHeight(), size.cy);
        EXPECT_DOUBLE_EQ(surface.GetTexU(3), 3.5 / surface.GetImageWidth());
        auto check = [&](const char* when) {
            int differing = 0, textPixels = 0;
            for (LONG y = 0; y < size.cy; ++y)
                for (LONG x = 0; x < size.cx; ++x) {
                    const auto want = static_cast<uint32_t>(reference.GetPixel(x, y)) & 0xFFFFFFu;
                    const bool isText = want != 0x40u;
                    textPixels += isText;
                    const uint32_t got = Raw(surface.GetTextureSurface(), x, y);
                    const bool opaque = (got & f.alphaMask) == f.alphaMask;
                    const bool clear = (got & f.alphaMask) == 0;
                    uint32_t rgb = want;
                    if (f.colourBits == 5)
                        rgb = ((want >> 19) & 0x1F) << 10 | ((want >> 11) & 0x1F) << 5 | ((want >> 3) & 0x1F);
                    differing += (got & ~f.alphaMask) != rgb || (isText ? !opaque : !clear);
                }
            EXPECT_GT(textPixels, 10) << when;
            EXPECT_EQ(differing, 0) << when;
        };
        check("drawn");
        sw::LoseAllSurfaces();
        ASSERT_EQ(surface.Restore(true), 0);
        check("restored");
    }
    CTextSurface refused;
    EXPECT_EQ(refused.SetText(kPixelA4R4G4B4, text, &font), 2 + 7);
    EXPECT_EQ(refused.GetTextureSurface(), nullptr);
    EXPECT_EQ(refused.GetSourceWidth(), 0);
    EXPECT_EQ(refused.SetText(kPixelA8R8G8B8, nullptr, &font), 1);
}

// Glyph fonts (turned too) equal the font's own DrawTextWithAlpha converted into each alpha
// format; without alpha the font's drawing on its background, which becomes the key.
TEST_F(TextureKinds, GlyphTextEqualsDrawTextWithAlphaConverted)
{
    Open();
    const char* text = "Ag";
    for (int32_t angle : {0, 300}) {
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        ASSERT_EQ(font.SetAngle(angle), 0);
        font.SetTextColor(250, 240, 10);
        font.m_bgColor[0] = 0, font.m_bgColor[1] = 0, font.m_bgColor[2] = 64;
        SIZE size{};
        int32_t ox = 0, oy = 0;
        font.MeasureString(text, &size, &ox, &oy, 1, nullptr);
        RECT box{};
        RotateRectToQuad(&font, &box, ox, oy, size.cx, size.cy);
        const LONG w = box.right - box.left, h = box.bottom - box.top;
        for (uint32_t code : {kPixelA8R8G8B8, kPixelA1R5G5B5, kPixelA4R4G4B4, kPixelX8R8G8B8}) {
            SCOPED_TRACE(std::to_string(angle) + " into " + std::to_string(code));
            CTextSurface surface;
            ASSERT_EQ(surface.SetText(code, text, &font), 0);
            ASSERT_EQ(surface.GetSourceWidth(), w);
            ASSERT_EQ(surface.GetSourceHeight(), h);
            const LONG tw = surface.GetImageWidth();
            CImage reference;
            ASSERT_EQ(reference.Create(tw, surface.GetImageHeight(), 32, kImageWithDc), 0);
            if (code == kPixelX8R8G8B8) {
                reference.CDibSurface::FillRect(0, 0, 64, nullptr, nullptr);
                ASSERT_EQ(font.DrawText(&reference, -box.left, -box.top, text, nullptr, nullptr), 0);
                EXPECT_EQ(surface.GetColorKey(), 0x000040u);
            } else {
                for (LONG y = 0; y < reference.GetHeight(); ++y)
                    std::memset(reference.GetRowPointer(y), 0, static_cast<size_t>(tw) * 4);
                ASSERT_EQ(font.DrawTextWithAlpha(&reference, -box.left, -box.top, text, nullptr, nullptr), 0);
            }
            const int bytes = code == kPixelA8R8G8B8 || code == kPixelX8R8G8B8 ? 4 : 2;
            int differing = 0, inked = 0;
            for (LONG y = 0; y < h; ++y)
                for (LONG x = 0; x < w; ++x) {
                    BYTE want[4] = {};
                    if (bytes == 4)
                        std::memcpy(want, reference.GetRowPointer(y) + x * 4, 4);
                    else
                        ConvertArgbToTexture16(code, want, 0, 0, 1, 1, 4, reference.GetRowPointer(y) + x * 4, 0, 0, 4);
                    uint32_t wanted = 0;
                    std::memcpy(&wanted, want, static_cast<size_t>(bytes));
                    uint32_t got = Raw(surface.GetTextureSurface(), x, y);
                    if (code == kPixelX8R8G8B8) {
                        wanted &= 0xFFFFFF;
                        got &= 0xFFFFFF;
                        inked += wanted != 0x40u;
                    } else {
                        inked += (wanted >> (bytes * 8 - 1)) != 0;
                    }
                    differing += got != wanted;
                }
            EXPECT_GT(inked, 20);
            EXPECT_EQ(differing, 0);
        }
    }
}

TEST_F(TextureKinds, TextTooWideIsScaledOntoTheMaximum)
{
    sw::Current().maxTextureSide = 16;
    Open();
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    CTextSurface surface;
    ASSERT_EQ(surface.SetText(kPixelA8R8G8B8, "WWWW", &font), 0);
    EXPECT_EQ(surface.GetImageWidth(), 16);
    ASSERT_GT(surface.GetSourceWidth(), 16);
    const LONG tw = surface.GetSourceWidth();
    EXPECT_DOUBLE_EQ(surface.GetTexU(10), (16.0 * 10 / tw + 0.5) / 16);
    bool inked = false;
    for (LONG x = 0; x < 16; ++x)
        inked |= (Raw(surface.GetTextureSurface(), x, surface.GetImageHeight() / 2) >> 24) != 0;
    EXPECT_TRUE(inked);
}

// As shipped there is no general device: the texture kinds cannot be made.
TEST_F(TextureKinds, RefusedAsShipped)
{
    Open(false);
    CGdiFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    CTextSurface* text = nullptr;
    EXPECT_EQ(screen->CreateTextSurface(&text, kPixelA8R8G8B8, "A", &font), 4);
    EXPECT_EQ(text, nullptr);
    CCanvasTexture* canvas = nullptr;
    EXPECT_EQ(screen->CreateCanvasTexture(&canvas, kPixelX8R8G8B8, 8, 8, 32, 0, false), 2);
    EXPECT_EQ(canvas, nullptr);
    EXPECT_EQ(screen->SurfaceCount(), 0u);
    screen.reset();
    CCanvasTexture orphan;
    EXPECT_EQ(orphan.Create(kPixelX8R8G8B8, 8, 8, 32, 0, false), 1);
    CTextSurface none;
    EXPECT_EQ(none.SetText(kPixelA8R8G8B8, "A", &font), 1);
}

// The canvas quad brings its canvas texture up to date and draws it; it takes only canvas
// textures; deleting the canvas leaves it without texture (code 1).
TEST_F(TextureKinds, CanvasQuadDrawsTheCanvasThroughTheDevice)
{
    Open();
    CCanvasTexture* canvas = nullptr;
    ASSERT_EQ(screen->CreateCanvasTexture(&canvas, kPixelX8R8G8B8, 8, 6, 32, 0, false), 0);
    CTextSurface* text = nullptr;
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    ASSERT_EQ(screen->CreateTextSurface(&text, kPixelA8R8G8B8, "A", &font), 0);
    CCanvasQuadObject* quad = nullptr;
    EXPECT_EQ(screen->CreateCanvasQuad(&quad, text, 0, 0, nullptr), 1);
    ASSERT_EQ(screen->CreateCanvasQuad(&quad, canvas, 10, 12, nullptr), 0);
    EXPECT_EQ(quad->GetType(), kSceneCanvasQuad);
    EXPECT_EQ(quad->Blend()[0], 0);  // an opaque format
    screen->Insert(quad, 1, 0);
    screen->ClearBackBuffer();
    CImage* image = canvas->GetImage();
    image->CDibSurface::FillRect(0xC0, 0x40, 0x20, nullptr, nullptr);
    canvas->InvalidateRect(nullptr);
    ASSERT_EQ(Frame(), 0);
    IDirectDrawSurface7* back = screen->GetBackBuffer();
    EXPECT_EQ(Raw(back, 10, 12) & 0xFFFFFF, 0xC04020u);
    EXPECT_EQ(Raw(back, 17, 17) & 0xFFFFFF, 0xC04020u);
    EXPECT_NE(Raw(back, 18, 17) & 0xFFFFFF, 0xC04020u);
    EXPECT_NE(Raw(back, 17, 18) & 0xFFFFFF, 0xC04020u);
    ASSERT_EQ(screen->DeleteSurface(canvas), 0);
    EXPECT_EQ(quad->Draw(back, &screen->GetOutputRect(), screen.get()), 1);
}

TEST_F(TextureKinds, TheFactoryMakesTextImages)
{
    Open();
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    CImage* image = nullptr;
    ASSERT_EQ(screen->CreateTextImage(&image, "Ab", &font, 0), 0);
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->GetWidth(), 0);
    EXPECT_TRUE(screen->HasSurface(image));
    CImage* none = nullptr;
    EXPECT_EQ(screen->CreateTextImage(&none, "", &font, 0), 1);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(screen->SurfaceCount(), 1u);
}

} // namespace
