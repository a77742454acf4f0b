// The surfaces on the display device. The DirectDraw image: pictures made by ImageMagick and
// tessaro-tool's ELG encoder loaded from memory in each display depth equal convert's pixels packed
// into the surface's format; named files through the file manager and the image cache; colour keys
// per format; bad ELG data; a loss followed by Restore gives back each kind of image. Text surfaces
// equal the GDI or glyph font's own drawing. The blank surface comes back black; the canvas surface
// copies only what changed; the screen's restore pass brings every kind back after a loss.
#include <gtest/gtest.h>

#include "../files/gll_test_support.h"
#include "display/blank_surface.h"
#include "display/canvas_surface.h"
#include "display/dd_image.h"
#include "display/dd_surface.h"
#include "display/screen.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "files/file_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "platform/cos_table.h"
#include "raster/image.h"
#include "winapi/text.h"
#include "files/gll_manager.h"
#include "raster/device_blit.h"
#include "raster/dib_convert.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

constexpr int kW = 37;  // odd: widened in a 24-bit mode
constexpr int kH = 11;

struct Picture {
    std::string name;
    Bytes data;
    Bytes rgba;  // convert's reading
};

std::vector<Picture>* g_pictures = nullptr;

int Tool(const std::string& args)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args + " 2>/dev/null";
    return std::system(command.c_str());
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

class DDImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_pictures = new std::vector<Picture>;
        if (!picture_test::HaveConvert())
            return;
        const std::string dir = picture_test::TempDir();
        std::vector<uint32_t> full(static_cast<size_t>(kW) * kH);
        std::vector<uint32_t> few(full.size());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto i = static_cast<size_t>(y) * kW + x;
                full[i] = 0xFF000000u | static_cast<uint32_t>((x * 7) & 0xFF) << 16 |
                          static_cast<uint32_t>((y * 23) & 0xFF) << 8 | static_cast<uint32_t>((x * y * 5) & 0xFF);
                few[i] = 0xFF000000u | ((x * 3 + y) % 30) * 0x080402u;
            }
        full[0] = 0xFFFFFFFFu;  // opaque white for the key test
        const struct {
            const char* name;
            const std::vector<uint32_t>* pixels;
            const char* convertArgs;
            int elgDepth;
        } forms[] = {{"p8", &few, "-type palette BMP3:", 8},
                     {"p24", &full, "-alpha off -type truecolor BMP3:", 24},
                     {"p32", &full, "-define bmp3:alpha=true BMP3:", 32}};
        for (const auto& form : forms) {
            const std::string base = dir + "/ddimage_" + form.name;
            if (!picture_test::WritePam(base + ".pam", kW, kH, *form.pixels) ||
                !picture_test::RunConvert("'" + base + ".pam' " + form.convertArgs + "'" + base + ".bmp'") ||
                Tool("elg encode '" + base + ".bmp' '" + base + ".elg' --depth " + std::to_string(form.elgDepth)) !=
                    0)
                continue;
            const Bytes rgba = picture_test::ConvertRgba(base + ".bmp");
            g_pictures->push_back({std::string(form.name) + ".bmp", picture_test::ReadAll(base + ".bmp"), rgba});
            g_pictures->push_back({std::string(form.name) + ".elg", picture_test::ReadAll(base + ".elg"), rgba});
        }
    }
    static void TearDownTestSuite()
    {
        delete g_pictures;
        g_pictures = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        winapi::ddraw_testing::Reset();
        winapi::ddraw_testing::Current().offer24Bits = true;
        CDisplayDevice::ExclusiveNeeded() = false;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "DDImageTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "DDImageTest", "d", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, false, 0, 0, false, true, false), 0);
        device.SetDepthMask(DepthBit(16) | DepthBit(24) | DepthBit(32));
        g_pSurfaceDisplayDevice = &device;
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
    }
    void TearDown() override
    {
        g_pGllManager = nullptr;
        g_pSurfaceDisplayDevice = nullptr;
        device.Release();
        DestroyWindow(window);
        Pump();
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
    }
    void SetDepth(DWORD bits) { ASSERT_EQ(device.SetFullScreenMode(window, 640, 480, bits, false), 0); }

    // Every pixel of the image equals convert's colour packed by the format's masks (channels cut
    // to their top bits).
    static void ExpectPicture(CDDImage& image, const Picture& p)
    {
        ASSERT_EQ(image.GetWidth(), kW);
        ASSERT_EQ(image.GetHeight(), kH);
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        ASSERT_EQ(image.GetDirectDrawSurface()->GetSurfaceDesc(&desc), DD_OK);
        const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const BYTE* c = &p.rgba[(static_cast<size_t>(y) * kW + x) * 4];
                DWORD want = 0;
                const DWORD masks[3] = {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
                for (int i = 0; i < 3; ++i) {
                    int shift = 0;
                    while (!((masks[i] >> shift) & 1))
                        ++shift;
                    const int bits = __builtin_popcount(masks[i]);
                    want |= static_cast<DWORD>(c[i] >> (8 - bits)) << shift;
                }
                ASSERT_EQ(image.GetPixelValue(x, y), static_cast<int64_t>(want))
                    << p.name << " at " << x << "," << y << " in " << pf.dwRGBBitCount << " bits";
            }
    }

    HWND window = nullptr;
    CDisplayDevice device;
    CGllManager manager;
};

TEST_F(DDImageTest, PicturesInEveryDisplayDepthEqualConvertsPixels)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    for (DWORD bits : {16u, 24u, 32u}) {
        SetDepth(bits);
        for (const Picture& p : *g_pictures) {
            CDDImage image;
            ASSERT_EQ(image.Load(nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0)
                << p.name << " " << bits;
            EXPECT_EQ(image.GetKind(), kSurfaceDDImage);
            ExpectPicture(image, p);
            // In a 24-bit mode the odd width is widened underneath.
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof(desc);
            ASSERT_EQ(image.GetDirectDrawSurface()->GetSurfaceDesc(&desc), DD_OK);
            EXPECT_EQ(desc.dwWidth, bits == 24 ? kW + 1u : static_cast<DWORD>(kW));
        }
    }
}

TEST_F(DDImageTest, KeysPerFormat)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    const struct {
        DWORD bits;
        DWORD magenta;
    } cases[] = {{16, 0xF81F}, {24, 0xFF00FF}, {32, 0xFF00FF}};
    for (const auto& c : cases) {
        SetDepth(c.bits);
        CDDImage image;
        const Picture& p = (*g_pictures)[2];  // p24.bmp, opaque white at (0, 0)
        ASSERT_EQ(image.Load(nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
        ASSERT_EQ(image.SetColorKeyRgb(255, 0, 255), 0);
        EXPECT_EQ(image.GetColorKey(), c.magenta) << c.bits;
        EXPECT_EQ(image.SetColorKeyAt(kW, 0), 1);
        EXPECT_EQ(image.GetColorKey(), c.magenta) << "the old key stays";
        const DWORD white = c.bits == 16 ? 0xFFFFu : 0xFFFFFFu;
        ASSERT_EQ(image.SetColorKeyAt(0, 0), 0) << c.bits;
        EXPECT_EQ(image.GetColorKey(), white);
        DDCOLORKEY key{};
        ASSERT_EQ(image.GetDirectDrawSurface()->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
        EXPECT_EQ(key.dwColorSpaceLowValue, white);
        ASSERT_EQ(image.ClearColorKey(), 0);
        EXPECT_EQ(image.GetColorKey(), kNoColorKey);
    }
}

TEST_F(DDImageTest, BadElgDataFailsWithoutASurface)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    SetDepth(32);
    for (const Picture& p : *g_pictures) {
        if (p.name.find(".elg") == std::string::npos)
            continue;
        const Bytes cases[] = {Bytes(p.data.begin(), p.data.begin() + 6), Bytes(p.data.begin(), p.data.begin() + 3),
                               Bytes(p.data.begin(), p.data.end() - static_cast<long>(p.data.size() / 3))};
        for (const Bytes& bad : cases) {
            CDDImage image;
            EXPECT_EQ(image.Load(nullptr, bad.data(), static_cast<uint32_t>(bad.size()), false), 2)
                << p.name << " cut to " << bad.size();
            EXPECT_EQ(image.GetDirectDrawSurface(), nullptr);
        }
    }
    CDDImage image;
    EXPECT_EQ(image.Load(nullptr, nullptr, 0, false), 1);
    g_pGllManager = nullptr;
    EXPECT_EQ(image.Load(nullptr, "ELG", 3, false), 2);
}

TEST_F(DDImageTest, EachKindComesBackAfterALoss)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    SetDepth(32);
    const Picture& p = (*g_pictures)[3];  // p24.elg: the direct path
    CDDImage loaded;
    ASSERT_EQ(loaded.Load(nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
    ASSERT_EQ(loaded.SetColorKeyAt(0, 0), 0);
    CDDImage filled;
    ASSERT_EQ(filled.Create(5, 3, false, false, nullptr), 0);
    ASSERT_EQ(filled.FillColor(10, 20, 30), 0);
    ASSERT_EQ(filled.SetColorKeyRgb(10, 20, 30), 0);

    winapi::ddraw_testing::LoseAllSurfaces();
    EXPECT_EQ(loaded.GetDirectDrawSurface()->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(loaded.Restore(true), 0);
    EXPECT_EQ(filled.Restore(true), 0);
    ExpectPicture(loaded, p);
    EXPECT_EQ(loaded.GetColorKey(), 0xFFFFFFu);
    EXPECT_EQ(filled.GetPixelValue(4, 2), 0x0A141E);
    EXPECT_EQ(filled.GetColorKey(), 0x0A141Eu);
    EXPECT_EQ(filled.Restore(true), 0) << "intact: nothing to do";
}

TEST_F(DDImageTest, AMemoryImageCopiedIntoTheImageIsCutToItsClip)
{
    SetDepth(16);
    CDDImage image;
    CImage source;
    EXPECT_EQ(image.CopyImageToSurface(&source, 0, 0, nullptr, nullptr), 1);
    ASSERT_EQ(image.Create(6, 4, false, false, nullptr), 0);
    EXPECT_EQ(image.CopyImageToSurface(&source, 0, 0, nullptr, nullptr), 1) << "no pixels";
    ASSERT_EQ(source.Create(4, 4, 32, 0), 0);
    source.CDibSurface::FillRect(255, 128, 64, nullptr, nullptr);
    const RECT clip{0, 0, 5, 4};
    ASSERT_TRUE(image.ClipRectToSize(&clip));
    ASSERT_EQ(image.CopyImageToSurface(&source, 3, 1, nullptr, nullptr), 0);
    EXPECT_EQ(image.GetPixelValue(2, 1), 0);
    EXPECT_EQ(image.GetPixelValue(3, 1), (31 << 11) | (32 << 5) | 8);
    EXPECT_EQ(image.GetPixelValue(4, 3), (31 << 11) | (32 << 5) | 8);
    EXPECT_EQ(image.GetPixelValue(5, 1), 0) << "outside the clip rectangle";
    EXPECT_EQ(image.CopyImageToSurface(&source, 6, 0, nullptr, nullptr), 0) << "nothing to copy";
}

TEST_F(DDImageTest, CreateRefusals)
{
    CDDImage image;
    EXPECT_EQ(image.Create(0, 4, false, false, nullptr), 1);
    EXPECT_EQ(image.Create(4, 4, false, true, nullptr), 1);
    EXPECT_EQ(image.FillColor(1, 2, 3), 1);
    EXPECT_EQ(image.SetColorKeyRgb(1, 2, 3), 1);
    EXPECT_EQ(image.GetPixelValue(0, 0), -1);
    winapi::ddraw_testing::Current().failCreateSurface = true;
    EXPECT_EQ(image.Create(4, 4, false, false, nullptr), 3);
    g_pSurfaceDisplayDevice = nullptr;
    EXPECT_EQ(image.Create(4, 4, false, false, nullptr), 1);
}

} // namespace

namespace {

TEST_F(DDImageTest, BlankSurfaceIsBlackAndComesBackBlack)
{
    SetDepth(32);
    CBlankSurface blank;
    EXPECT_EQ(blank.Create(0, 3), 1);
    ASSERT_EQ(blank.Create(7, 3), 0);
    EXPECT_EQ(blank.GetKind(), kSurfaceBlank);
    EXPECT_EQ(blank.SetColorKeyRgb(255, 0, 255), 0);
    EXPECT_EQ(blank.GetColorKey(), kNoColorKey);
    IDirectDrawSurface7* surface = blank.GetDeviceSurface();
    ASSERT_EQ(FillSurfaceRect(surface, nullptr, 200, 100, 50, nullptr, 0), 0);
    winapi::ddraw_testing::LoseAllSurfaces();
    ASSERT_EQ(blank.Restore(true), 0) << "system memory: not lost";
    ASSERT_EQ(blank.Restore(false), 0);
    EXPECT_EQ(blank.GetWidth(), 7);
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof(locked);
    ASSERT_EQ(blank.GetDeviceSurface()->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            uint32_t v;
            std::memcpy(&v, static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch + x * 4, 4);
            EXPECT_EQ(v & 0xFFFFFFu, 0u) << x << "," << y;
        }
    blank.GetDeviceSurface()->Unlock(nullptr);
}

} // namespace

namespace {

uint32_t SurfacePixel32(IDirectDrawSurface7* surface, LONG x, LONG y)
{
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof(locked);
    if (surface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) != DD_OK)
        return 0xDEADBEEF;
    uint32_t v;
    std::memcpy(&v, static_cast<BYTE*>(locked.lpSurface) + y * locked.lPitch + x * 4, 4);
    surface->Unlock(nullptr);
    return v & 0xFFFFFFu;
}

TEST_F(DDImageTest, CanvasSurfaceCopiesOnlyWhatChangedAndComesBackWhole)
{
    SetDepth(32);
    for (uint8_t withDc : {0, 1}) {
        g_bCanvasImageDC = withDc;
        CCanvasSurface canvas;
        ASSERT_EQ(canvas.Create(16, 8, 32, 0), 0);
        EXPECT_EQ(canvas.GetKind(), kSurfaceCanvas);
        EXPECT_EQ(canvas.GetPixelFormatCode(), kPixelX8R8G8B8);
        CImage* image = canvas.GetImage();
        image->SetChanged(false);
        image->GetUpdateRegion()->Reset();
        const RECT r{2, 1, 5, 4};
        ASSERT_TRUE(image->CDibSurface::FillRect(255, 0, 0, &r, nullptr));
        image->MarkChanged(r);
        // Paint outside the tracked rectangle too: it must not travel.
        RECT other{10, 5, 12, 7};
        image->CDibSurface::FillRect(0, 255, 0, &other, nullptr);
        EXPECT_EQ(canvas.Update(true), 0) << int(withDc);
        EXPECT_EQ(SurfacePixel32(canvas.GetDeviceSurface(), 3, 2), 0xFF0000u);
        EXPECT_EQ(SurfacePixel32(canvas.GetDeviceSurface(), 11, 6), 0u);
        EXPECT_EQ(canvas.Update(true), -1);

        ASSERT_EQ(canvas.SetColorKeyRgb(255, 0, 255), 0);
        winapi::ddraw_testing::LoseAllSurfaces();
        ASSERT_EQ(canvas.Restore(true), 0);
        EXPECT_EQ(SurfacePixel32(canvas.GetDeviceSurface(), 3, 2), 0xFF0000u);
        EXPECT_EQ(SurfacePixel32(canvas.GetDeviceSurface(), 11, 6), 0x00FF00u) << "the whole image came back";
        EXPECT_EQ(canvas.GetColorKey(), 0xFF00FFu);
        EXPECT_EQ(canvas.ClearColorKey(), 0);
        EXPECT_EQ(canvas.GetColorKey(), kNoColorKey);
    }
    g_bCanvasImageDC = 0;
}

TEST_F(DDImageTest, CanvasSurfaceKeysAndRefusals)
{
    SetDepth(16);
    CCanvasSurface canvas;
    ASSERT_EQ(canvas.Create(4, 4, 32, 0), 0);
    ASSERT_EQ(canvas.SetColorKeyRgb(255, 0, 255), 0);
    EXPECT_EQ(canvas.GetColorKey(), 0xF81Fu);
    RECT corner{0, 0, 1, 1};
    canvas.GetImage()->CDibSurface::FillRect(255, 255, 255, &corner, nullptr);
    EXPECT_EQ(canvas.SetColorKeyAt(0, 0), 0) << "opaque white is a pixel like any other";
    EXPECT_EQ(canvas.GetColorKey(), 0xFFFFu);
    EXPECT_EQ(canvas.SetColorKeyAt(4, 0), 1);
    g_pSurfaceDisplayDevice = nullptr;
    CCanvasSurface orphan;
    EXPECT_EQ(orphan.Create(4, 4, 32, 0), 1);
    EXPECT_EQ(orphan.GetDeviceSurface(), nullptr);
}

} // namespace

namespace {

// The text surface holds what the font itself draws on its background (32-bit mode: exact), with
// the background as key for a transparent font, and draws it again after a loss.
TEST_F(DDImageTest, TextSurfaceEqualsTheFontsOwnDrawing)
{
    SetDepth(32);
    const char* text = "Ab";
    for (uint8_t antialias : {0, 2}) {
        CGdiFont font;
        ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        font.SetAntialias(antialias);
        font.SetTextColor(250, 240, 10);
        font.SetBackground(1, 0, 0, 64);
        CDDSurface surface;
        EXPECT_EQ(surface.SetText(nullptr, &font), 1);
        ASSERT_EQ(surface.SetText(text, &font), 0) << int(antialias);
        EXPECT_EQ(surface.GetKind(), kSurfaceDDSurface);
        EXPECT_EQ(surface.GetColorKey(), 0x000040u);

        SIZE size{};
        int32_t ox = 0, oy = 0;
        font.MeasureString(text, &size, &ox, &oy, 1, nullptr);
        ASSERT_EQ(surface.GetWidth(), size.cx);
        ASSERT_EQ(surface.GetHeight(), size.cy);
        CImage reference;
        ASSERT_EQ(reference.Create(size.cx, size.cy, 32, kImageWithDc), 0);
        reference.CDibSurface::FillRect(0, 0, 64, nullptr, nullptr);
        if (antialias == 0) {
            font.SetBackground(1, 0, 0, 0);
            ASSERT_EQ(font.DrawToDib(reference.GetDc(), -ox, -oy, text), 0);
            font.SetBackground(1, 0, 0, 64);
        } else {
            font.SetBackground(0, 0, 0, 64);
            ASSERT_EQ(font.DrawText(&reference, -ox, -oy, text, nullptr, nullptr), 0);
            font.SetBackground(1, 0, 0, 64);
        }
        auto expectPicture = [&](const char* when) {
            int differing = 0;
            bool anyText = false;
            for (LONG y = 0; y < size.cy; ++y)
                for (LONG x = 0; x < size.cx; ++x) {
                    const auto want = static_cast<uint32_t>(reference.GetPixel(x, y)) & 0xFFFFFFu;
                    anyText |= want != 0x40u;
                    differing += surface.GetPixelValue(x, y) != static_cast<int64_t>(want);
                }
            EXPECT_TRUE(anyText) << when;
            EXPECT_EQ(differing, 0) << when << " antialias " << int(antialias);
        };
        expectPicture("drawn");
        winapi::ddraw_testing::LoseAllSurfaces();
        ASSERT_EQ(surface.Restore(true), 0);
        expectPicture("restored");
        EXPECT_EQ(surface.GetColorKey(), 0x000040u);
    }
}

} // namespace

namespace {

// The screen's creators list the device kinds on its own display device and delete them again; a
// failed creation lists nothing and answers the object's own code.
TEST_F(DDImageTest, TheScreenMakesAndDeletesTheDeviceKinds)
{
    CScreen screen;
    ASSERT_EQ(g_pSurfaceDisplayDevice, static_cast<CDisplayDevice*>(&screen));
    ASSERT_EQ(screen.CDisplayDevice::Create(false, false, nullptr, nullptr, 0, false, 0, 0, false, true, false), 0);
    CDDImage* image = nullptr;
    CDDImage* loaded = nullptr;
    CBlankSurface* blank = nullptr;
    CCanvasSurface* canvas = nullptr;
    CDDSurface* text = nullptr;
    ASSERT_EQ(screen.CreateDDImage(&image, 8, 4, false), 0);
    EXPECT_EQ(screen.CreateDDImageFromFile(&loaded, nullptr, nullptr, 0, false), 1);
    EXPECT_EQ(loaded, nullptr);
    ASSERT_EQ(screen.CreateBlankSurface(&blank), 0);
    ASSERT_EQ(screen.CreateCanvasSurface(&canvas, 8, 4, 32, 0), 0);
    EXPECT_EQ(screen.CreateDDSurface(&text, nullptr, nullptr), 1);
    EXPECT_EQ(screen.SurfaceCount(), 3u);
    EXPECT_EQ(screen.RestoreSurfaces(false), 0);
    EXPECT_EQ(screen.DeleteSurface(image), 0);
    EXPECT_EQ(screen.DeleteSurface(canvas), 0);
    EXPECT_EQ(screen.SurfaceCount(), 1u);
    EXPECT_TRUE(screen.HasSurface(blank));
}

} // namespace

namespace {

// Images loaded by name go through the file manager, and through the image cache when it is on:
// Restore reloads by name, from the cache when the picture is cached (the file on disk has been
// spoilt since, so only the cache can give the picture back). An ELG decoded straight into an
// x888 surface never makes a picture, so nothing is cached and Restore reads the file again.
TEST_F(DDImageTest, NamedImagesReloadThroughTheFileManagerAndItsCache)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    TempFolder dir;
    CFileManager files;
    ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
    g_pFileManager = &files;
    struct Case {
        size_t picture;  // p24.bmp or p24.elg
        DWORD bits;
        bool cache;
        DWORD cached;           // pictures in the cache after the load
        int restoreWhenSpoilt;  // Restore after the file was spoilt
    } const cases[] = {
        {2, 32, false, 0, 1},
        {2, 32, true, 1, 0},
        {3, 16, true, 1, 0},  // 565: decoded into a picture
        {3, 32, true, 0, 1},  // x888: decoded in place
    };
    DWORD depth = 0;
    for (const Case& c : cases) {
        const Picture& p = (*g_pictures)[c.picture];
        SCOPED_TRACE(p.name + " " + std::to_string(c.bits) + (c.cache ? " cached" : ""));
        if (c.bits != depth)
            SetDepth(depth = c.bits);
        manager.SetCacheBudget(c.cache ? 64u << 20 : 0);
        dir.Write(p.name, std::string(p.data.begin(), p.data.end()));
        CDDImage image;
        EXPECT_EQ(image.Load("missing.bmp", nullptr, 0, false), 1);
        ASSERT_EQ(image.Load(p.name.c_str(), nullptr, 0, false), 0);
        ExpectPicture(image, p);
        EXPECT_EQ(manager.GetCache().GetCount(), c.cached);
        ASSERT_EQ(image.SetColorKeyRgb(255, 0, 255), 0);

        dir.Write(p.name, "spoilt");
        winapi::ddraw_testing::LoseAllSurfaces();
        EXPECT_EQ(image.Restore(true), c.restoreWhenSpoilt);
        if (c.restoreWhenSpoilt != 0) {
            dir.Write(p.name, std::string(p.data.begin(), p.data.end()));
            EXPECT_EQ(image.Restore(true), 0) << "the lost surface is tried again";
        }
        ExpectPicture(image, p);
        EXPECT_EQ(image.GetColorKey(), c.bits == 16 ? 0xF81Fu : 0xFF00FFu);
        EXPECT_EQ(image.Restore(true), 0) << "intact";
        manager.SetCacheBudget(0);
    }
    g_pFileManager = nullptr;
}

// A glyph font's text is drawn on its background into a work picture and keyed by the background:
// the surface equals the font's own drawing at the box's offset, turned or not, also after a loss.
TEST_F(DDImageTest, GlyphFontTextEqualsTheFontsOwnDrawing)
{
    SetDepth(32);
    CCosTable cosines;
    CCosTable* const savedCosines = g_pCosTable;
    g_pCosTable = &cosines;
    const char* text = "Ag";
    for (int32_t angle : {0, 300}) {
        SCOPED_TRACE(angle);
        CGlyphFont font;
        ASSERT_EQ(font.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
        ASSERT_EQ(font.SetAngle(angle), 0);
        font.SetTextColor(250, 240, 10);
        font.m_bgColor[0] = 0, font.m_bgColor[1] = 0, font.m_bgColor[2] = 64;
        CDDSurface surface;
        ASSERT_EQ(surface.SetText(text, &font), 0);
        EXPECT_EQ(surface.GetColorKey(), 0x000040u);

        SIZE size{};
        int32_t ox = 0, oy = 0;
        font.MeasureString(text, &size, &ox, &oy, 1, nullptr);
        RECT box{};
        RotateRectToQuad(&font, &box, ox, oy, size.cx, size.cy);
        ASSERT_EQ(surface.GetWidth(), box.right - box.left);
        ASSERT_EQ(surface.GetHeight(), box.bottom - box.top);
        if (angle != 0) {
            EXPECT_GT(surface.GetHeight(), size.cy) << "a turned box is taller";
        }
        CImage reference;
        ASSERT_EQ(reference.Create(surface.GetWidth(), surface.GetHeight(), 32, kImageWithDc), 0);
        reference.CDibSurface::FillRect(0, 0, 64, nullptr, nullptr);
        ASSERT_EQ(font.DrawText(&reference, -box.left, -box.top, text, nullptr, nullptr), 0);
        auto expectPicture = [&](const char* when) {
            int differing = 0, textPixels = 0;
            for (LONG y = 0; y < surface.GetHeight(); ++y)
                for (LONG x = 0; x < surface.GetWidth(); ++x) {
                    const auto want = static_cast<uint32_t>(reference.GetPixel(x, y)) & 0xFFFFFFu;
                    textPixels += want != 0x40u;
                    differing += surface.GetPixelValue(x, y) != static_cast<int64_t>(want);
                }
            EXPECT_GT(textPixels, 20) << when;
            EXPECT_EQ(differing, 0) << when;
        };
        expectPicture("drawn");
        winapi::ddraw_testing::LoseAllSurfaces();
        ASSERT_EQ(surface.Restore(true), 0);
        expectPicture("restored");
        EXPECT_EQ(surface.GetColorKey(), 0x000040u);
    }
    g_pCosTable = savedCosines;
}

// The screen's restore pass after a real loss: every kind it made comes back with its picture
// and key (the blank surface lives in system memory and is never lost), and its tasks are told.
TEST_F(DDImageTest, TheScreensRestorePassBringsBackEveryKind)
{
    if (g_pictures->size() != 6)
        GTEST_SKIP() << "convert is not installed";
    CScreen screen;
    ASSERT_EQ(screen.SetOutputSize(64, 64), 0);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
    ASSERT_NE(screen.GetBackBuffer(), nullptr);
    const Picture& p = (*g_pictures)[2];  // p24.bmp: through a picture
    CDDImage* loaded = nullptr;
    CDDImage* filled = nullptr;
    CDDSurface* text = nullptr;
    CBlankSurface* blank = nullptr;
    CCanvasSurface* canvas = nullptr;
    const auto size = static_cast<uint32_t>(p.data.size());
    ASSERT_EQ(screen.CreateDDImageFromFile(&loaded, nullptr, p.data.data(), size, false), 0);
    ASSERT_EQ(loaded->SetColorKeyAt(0, 0), 0);
    ASSERT_EQ(screen.CreateDDImage(&filled, 5, 3, false), 0);
    ASSERT_EQ(filled->FillColor(10, 20, 30), 0);
    CGdiFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    font.SetAntialias(0);
    font.SetBackground(1, 0, 0, 64);
    ASSERT_EQ(screen.CreateDDSurface(&text, "Ab", &font), 0);
    ASSERT_EQ(screen.CreateBlankSurface(&blank), 0);
    ASSERT_EQ(blank->Create(4, 4), 0);
    ASSERT_EQ(screen.CreateCanvasSurface(&canvas, 8, 4, 32, 0), 0);
    canvas->GetImage()->CDibSurface::FillRect(200, 100, 50, nullptr, nullptr);
    canvas->GetImage()->MarkChanged(RECT{0, 0, 8, 4});
    ASSERT_EQ(canvas->Update(true), 0);
    ASSERT_EQ(canvas->SetColorKeyRgb(200, 100, 50), 0);
    const int64_t textPixel = text->GetPixelValue(text->GetWidth() / 2, text->GetHeight() / 2);
    IDirectDrawSurface7* const blankSurface = blank->GetDeviceSurface();

    auto surfaces = [&]() {
        return std::vector<IDirectDrawSurface7*>{loaded->GetDirectDrawSurface(), filled->GetDirectDrawSurface(),
                                                 text->GetDirectDrawSurface(), canvas->GetDeviceSurface()};
    };

    winapi::ddraw_testing::LoseAllSurfaces();
    for (IDirectDrawSurface7* s : surfaces())
        EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(screen.Present(), 2);
    ASSERT_EQ(screen.RestoreDevice(), 0);
    for (IDirectDrawSurface7* s : surfaces())
        EXPECT_EQ(s->IsLost(), DD_OK);
    ExpectPicture(*loaded, p);
    EXPECT_EQ(loaded->GetColorKey(), 0xFFFFFFu);
    EXPECT_EQ(filled->GetPixelValue(4, 2), 0x0A141E);
    EXPECT_EQ(text->GetPixelValue(text->GetWidth() / 2, text->GetHeight() / 2), textPixel);
    EXPECT_EQ(text->GetColorKey(), 0x000040u);
    EXPECT_EQ(SurfacePixel32(canvas->GetDeviceSurface(), 7, 3), 0xC86432u);
    EXPECT_EQ(canvas->GetColorKey(), 0xC86432u);
    EXPECT_EQ(blank->GetDeviceSurface(), blankSurface) << "not lost, not made again";
    EXPECT_EQ(screen.Present(), 0);
}

} // namespace
