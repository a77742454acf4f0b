// The file image texture (kind 2) with the screen's Direct3D device on: texture sizes by the
// device's caps as a table; ELG pictures made by tessaro-tool (8, 24, 32 bits, --variant 1) from
// ImageMagick's BMPs equal ImageMagick's pixels in 8888, x888 and 565 textures on both ELG paths
// (decoded in place, or through the loader); a picture past the device's maximum scaled down; the
// codes; Restore after a loss; the device as shipped refusing the kind.
#include <gtest/gtest.h>

#include "../files/gll_test_support.h"
#include "display/file_image_surface.h"
#include "display/screen.h"
#include "files/gll_manager.h"
#include "raster/dib_convert.h"
#include "winapi/ddraw_testing.h"
#include "winapi/headless_util.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;
namespace sw = winapi::ddraw_testing;
constexpr int kW = 37, kH = 11;

struct Picture {
    std::string name;
    int depth;
    Bytes data;
    Bytes rgba;  // ImageMagick's reading of the BMP
};
std::vector<Picture>* g_pictures = nullptr;

int Tool(const std::string& args)
{
    const std::string command = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool " + args + " 2>/dev/null";
    return std::system(command.c_str());
}

class FileImageTexture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g_pictures = new std::vector<Picture>;
        if (!picture_test::HaveConvert())
            return;
        const std::string dir = picture_test::TempDir();
        std::vector<uint32_t> full(static_cast<size_t>(kW) * kH), soft(full.size()), few(full.size());
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const auto i = static_cast<size_t>(y) * kW + x;
                const uint32_t rgb = static_cast<uint32_t>((x * 7) & 0xFF) << 16 |
                                     static_cast<uint32_t>((y * 23) & 0xFF) << 8 | static_cast<uint32_t>((x * y * 5) & 0xFF);
                full[i] = 0xFF000000u | rgb;
                soft[i] = static_cast<uint32_t>((x * 9 + y * 13) & 0xFF) << 24 | rgb;
                few[i] = 0xFF000000u | ((x * 3 + y) % 30) * 0x080402u;
            }
        const struct {
            const char* name;
            const std::vector<uint32_t>* pixels;
            const char* convertArgs;
            int depth;
            const char* extra;
        } forms[] = {{"t8", &few, "-type palette BMP3:", 8, ""},
                     {"t24", &full, "-alpha off -type truecolor BMP3:", 24, ""},
                     {"t24v", &full, "-alpha off -type truecolor BMP3:", 24, " --variant 1"},
                     {"t32", &soft, "-define bmp3:alpha=true BMP3:", 32, ""}};
        for (const auto& form : forms) {
            const std::string base = dir + "/texture_" + form.name;
            if (!picture_test::WritePam(base + ".pam", kW, kH, *form.pixels) ||
                !picture_test::RunConvert("'" + base + ".pam' " + form.convertArgs + "'" + base + ".bmp'") ||
                Tool("elg encode '" + base + ".bmp' '" + base + ".elg' --depth " + std::to_string(form.depth) +
                     form.extra) != 0)
                continue;
            g_pictures->push_back({std::string(form.name) + ".elg", form.depth, picture_test::ReadAll(base + ".elg"),
                                   picture_test::ConvertRgba(base + ".bmp")});
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
        sw::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "FileImageTexture";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "FileImageTexture", "t", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
    }
    void TearDown() override
    {
        screen.reset();
        g_pGllManager = nullptr;
        DestroyWindow(window);
        sw::Reset();
    }
    void Open(bool direct3D = true)
    {
        screen = std::make_unique<CScreen>();
        ASSERT_EQ(screen->SetOutputSize(64, 48), 0);
        screen->SetWantDirect3DForTests(direct3D);
        ASSERT_EQ(screen->CreateDisplay(window, true, false, false), 0);
    }
    // Pixel (x, y) of the texture as 0xAARRGGBB widened (alpha 0xFF without alpha bits).
    static uint32_t Texel(CFileImageSurface& t, LONG x, LONG y)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        IDirectDrawSurface7* s = t.GetTextureSurface();
        EXPECT_EQ(s->Lock(nullptr, &d, 0, nullptr), DD_OK);
        const DDPIXELFORMAT& pf = d.ddpfPixelFormat;
        DWORD p = 0;
        std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * (pf.dwRGBBitCount / 8), pf.dwRGBBitCount / 8);
        s->Unlock(nullptr);
        auto top = [&](DWORD mask) -> uint32_t {
            if (mask == 0)
                return 0xFF;
            const int shift = __builtin_ctz(mask), bits = __builtin_popcount(mask);
            return static_cast<uint32_t>(((p & mask) >> shift) << (8 - bits));
        };
        const DWORD alpha = (pf.dwFlags & DDPF_ALPHAPIXELS) ? pf.dwRGBAlphaBitMask : 0;
        return top(alpha) << 24 | top(pf.dwRBitMask) << 16 | top(pf.dwGBitMask) << 8 | top(pf.dwBBitMask);
    }

    HWND window = nullptr;
    CGllManager manager;
    std::unique_ptr<CScreen> screen;
};

TEST_F(FileImageTexture, TextureSizesFollowTheDevicesCaps)
{
    struct Case {
        const char* name;
        LONG w, h;
        DWORD caps, minSide, maxSide;
        LONG tw, th;
        bool tooLarge;
    } const cases[] = {
        {"any size", 300, 200, 0, 1, 4096, 300, 200, false},
        {"powers of two", 300, 200, D3DPTEXTURECAPS_POW2, 1, 4096, 512, 256, false},
        {"conditional powers", 300, 200, D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 1, 4096, 300, 200,
         false},
        {"square", 300, 200, D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, 1, 4096, 512, 512, false},
        {"square only", 300, 200, D3DPTEXTURECAPS_SQUAREONLY, 1, 4096, 300, 300, false},
        {"one stays one", 1, 1, D3DPTEXTURECAPS_POW2, 1, 4096, 1, 1, false},
        {"over the maximum", 5000, 20, 0, 1, 4096, 4096, 20, true},
        {"power over the maximum", 3000, 20, D3DPTEXTURECAPS_POW2, 1, 2048, 2048, 32, true},
        {"under the minimum", 3, 5, 0, 8, 4096, 8, 8, false},
    };
    for (const Case& c : cases) {
        LONG tw = 0, th = 0;
        bool tooLarge = false;
        CFileImageSurface::FitTexture(c.w, c.h, c.caps, c.minSide, c.minSide, c.maxSide, c.maxSide, &tw, &th, &tooLarge);
        EXPECT_EQ(tw, c.tw) << c.name;
        EXPECT_EQ(th, c.th) << c.name;
        EXPECT_EQ(tooLarge, c.tooLarge) << c.name;
    }
}

TEST_F(FileImageTexture, ElgPicturesEqualImageMagicksPixels)
{
    if (g_pictures->empty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    struct Format {
        uint32_t code;
        bool pow2;  // powers of two: the texture is larger than the picture, so the loader decodes
    } const formats[] = {{kPixelA8R8G8B8, false}, {kPixelX8R8G8B8, false}, {kPixelR5G6B5, false},
                         {kPixelA8R8G8B8, true}, {kPixelA4R4G4B4, false}};
    for (const Format& f : formats)
        for (const Picture& p : *g_pictures) {
            SCOPED_TRACE(p.name + " into " + std::to_string(f.code) + (f.pow2 ? " power-of-two" : ""));
            sw::Reset();
            sw::Current().textureCaps = f.pow2 ? D3DPTEXTURECAPS_POW2 : 0;
            Open();
            CFileImageSurface texture;
            ASSERT_EQ(texture.Load(f.code, nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
            EXPECT_EQ(texture.GetSourceWidth(), kW);
            EXPECT_EQ(texture.GetImageWidth(), f.pow2 ? 64 : kW);
            EXPECT_EQ(texture.GetImageHeight(), f.pow2 ? 16 : kH);
            EXPECT_DOUBLE_EQ(texture.GetTexU(3), (3 + 0.5) / texture.GetImageWidth());
            const bool alphaFormat = f.code == kPixelA8R8G8B8 || f.code == kPixelA4R4G4B4;
            const int bits = f.code == kPixelR5G6B5 ? 5 : f.code == kPixelA4R4G4B4 ? 4 : 8;
            const uint32_t keep = (0xFFu << (8 - bits)) & 0xFF;
            int off = 0;
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const BYTE* c = &p.rgba[(static_cast<size_t>(y) * kW + x) * 4];
                    const uint32_t got = Texel(texture, x, y);
                    const uint32_t alpha = alphaFormat && p.depth == 32 ? c[3] & keep : 0xFF & (alphaFormat ? keep : 0xFF);
                    uint32_t want = alpha << 24;
                    for (int i = 0; i < 3; ++i) {
                        const uint32_t k = (f.code == kPixelR5G6B5 && i == 1) ? 0xFC : keep;
                        want |= static_cast<uint32_t>(c[i] & k) << (16 - 8 * i);
                    }
                    if (got != want && off++ < 3)
                        ADD_FAILURE() << x << "," << y << " got " << std::hex << got << " want " << want;
                }
            EXPECT_EQ(off, 0);
        }
}

TEST_F(FileImageTexture, APictureOverTheMaximumIsScaledDown)
{
    if (g_pictures->empty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    sw::Current().maxTextureSide = 16;
    Open();
    CFileImageSurface texture;
    const Picture& p = (*g_pictures)[1];
    ASSERT_EQ(texture.Load(kPixelX8R8G8B8, nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
    EXPECT_EQ(texture.GetImageWidth(), 16);
    EXPECT_EQ(texture.GetImageHeight(), kH);
    EXPECT_EQ(texture.GetSourceWidth(), kW);
    EXPECT_DOUBLE_EQ(texture.GetTexU(30), (30.0 * 16 / kW + 0.5) / 16);
    EXPECT_DOUBLE_EQ(texture.GetTexV(4), (4 + 0.5) / kH);
}

TEST_F(FileImageTexture, LoadCodes)
{
    Bytes header = {'E', 'L', 'G', 24, 0xFF, 0xFF, 0xFF, 0xFF};  // 65535 x 65535
    Bytes cut = {'E', 'L', 'G'};
    CFileImageSurface before;
    EXPECT_EQ(before.GetTexU(5), 0.0);  // nothing loaded: no division by zero
    Open(false);
    // As shipped there is no general device: the kind cannot be made.
    EXPECT_EQ(before.Load(kPixelX8R8G8B8, nullptr, header.data(), 8, false), 2);
    screen.reset();
    EXPECT_EQ(before.Load(kPixelX8R8G8B8, nullptr, header.data(), 8, false), 1);
    Open();
    struct Case {
        const char* name;
        uint32_t format;
        const Bytes* data;
        bool manager;
        int want;
    } const cases[] = {
        {"8-bit format", 2, &header, true, 2},
        {"format 512", 512, &header, true, 2},
        {"nothing", kPixelX8R8G8B8, nullptr, true, 3},
        {"no manager", kPixelX8R8G8B8, &header, false, 4},
        {"65535 a side", kPixelX8R8G8B8, &header, true, 4},
        {"cut header", kPixelX8R8G8B8, &cut, true, 4},
    };
    for (const Case& c : cases) {
        g_pGllManager = c.manager ? &manager : nullptr;
        CFileImageSurface texture;
        EXPECT_EQ(texture.Load(c.format, nullptr, c.data ? c.data->data() : nullptr,
                               c.data ? static_cast<uint32_t>(c.data->size()) : 0, false),
                  c.want)
            << c.name;
        EXPECT_EQ(texture.GetTextureSurface(), nullptr) << c.name;
    }
    g_pGllManager = &manager;
    if (g_pictures->empty())
        return;
    // Pixel data that runs out: 4, nothing kept.
    Bytes shortData = (*g_pictures)[1].data;
    shortData.resize(shortData.size() / 2);
    CFileImageSurface texture;
    EXPECT_EQ(texture.Load(kPixelX8R8G8B8, nullptr, shortData.data(), static_cast<uint32_t>(shortData.size()), false), 4);
    EXPECT_EQ(texture.GetTextureSurface(), nullptr);
    EXPECT_EQ(texture.GetSourceWidth(), 0);
}

TEST_F(FileImageTexture, RestoreReloadsAfterALoss)
{
    if (g_pictures->empty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    Open();
    CFileImageSurface texture;
    const Picture& p = (*g_pictures)[3];
    ASSERT_EQ(texture.Load(kPixelA8R8G8B8, nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
    const uint32_t first = Texel(texture, 5, 3);
    ASSERT_EQ(screen->SetTexture(&texture), 0);
    sw::LoseAllSurfaces();
    EXPECT_EQ(texture.Restore(true), 0);
    EXPECT_EQ(Texel(texture, 5, 3), first);
    // Deleting the bound image unbinds it.
    ASSERT_EQ(screen->SetTexture(&texture), 0);
    {
        CFileImageSurface gone;
        ASSERT_EQ(gone.Load(kPixelA8R8G8B8, nullptr, p.data.data(), static_cast<uint32_t>(p.data.size()), false), 0);
        ASSERT_EQ(screen->SetTexture(&gone), 0);
    }
    EXPECT_EQ(screen->GetCurrentTexture(), nullptr);
    EXPECT_EQ(screen->ReapplyStates(), 0);
}

} // namespace
