// Natives 317-332, 351, 355, 356: one image's pixels, palette, files and fills through its handle;
// palettes refused where there is none or past their 256 entries; files only inside the roots.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/screen.h"
#include "files/gll_manager.h"
#include "natives/native_table.h"
#include "raster/dib_surface.h"
#include "raster/fill_ops.h"
#include "raster/pixel_lib_ops.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
constexpr uint32_t A = 65535;

uint32_t Native(CScriptHost& host, uint32_t n, const std::vector<uint32_t>& words)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    const uint32_t result = GetNativeRow(n).function(args);
    host.Memory().Free(block);
    return result;
}

uint32_t Str(CScriptHost& host, const std::string& text)
{
    const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(text.size() + 1));
    std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(text.size() + 1)), text.c_str(), text.size() + 1);
    return at;
}

struct ImageHost {
    HostFixture f;
    CScriptHost& host;
    TestPixelLibrary pixels;
    CGllManager loaders;
    ImageHost() : host((f.UseScreen(), f.Start()))
    {
        EXPECT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
    }
    ~ImageHost() { g_pGllManager = nullptr; }
    uint32_t N(uint32_t n, const std::vector<uint32_t>& w) { return Native(host, n, w); }
    uint32_t Image(int32_t w, int32_t h, int32_t bits)
    {
        return N(231, {static_cast<uint32_t>(w), static_cast<uint32_t>(h), static_cast<uint32_t>(bits), 0});
    }
    CImage* Of(uint32_t handle) { return host.Object<CImage>(handle); }
};

TEST(ImageNatives, EveryRowIsBuilt)
{
    for (uint32_t n : {317u, 318u, 319u, 320u, 321u, 322u, 323u, 324u, 325u, 326u, 327u, 328u, 329u, 330u, 331u, 332u,
                       351u, 355u, 356u})
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(ImageNatives, PixelsAndFills)
{
    ImageHost h;
    const uint32_t a = h.Image(8, 6, 32);
    CImage* image = h.Of(a);
    EXPECT_EQ(h.N(317, {a, 1}), 1u);
    EXPECT_EQ(h.N(319, {a}), 1u);
    EXPECT_EQ(h.N(317, {a, 0x100}), 1u); // the low byte: off
    EXPECT_EQ(h.N(319, {a}), 0u);
    EXPECT_EQ(h.N(327, {a, 9, 8, 7}), 1u);
    EXPECT_EQ(static_cast<uint32_t>(h.N(328, {a, 7, 5})) & 0xFFFFFF, 0x090807u);
    EXPECT_EQ(h.N(322, {a, 1, 1, 3, 3, 1, 2, 3}), 1u);
    EXPECT_EQ(static_cast<uint32_t>(h.N(328, {a, 2, 2})) & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(static_cast<uint32_t>(h.N(328, {a, 3, 3})) & 0xFFFFFF, 0x090807u);
    EXPECT_EQ(h.N(328, {a, 8, 0}), kMinus1); // outside
    EXPECT_EQ(h.N(326, {a, 0x40}), 0u);
    EXPECT_EQ(static_cast<uint32_t>(h.N(328, {a, 0, 0})) >> 24, 0x40u);
    EXPECT_EQ(h.N(324, {a, 5, 5, 5, A, 0, 0, 0}), 1u);
    EXPECT_EQ(static_cast<uint32_t>(h.N(328, {a, 0, 0})), 0x40050505u);
    EXPECT_EQ(h.N(323, {a, A, 0, 0, 0}), 0u);
    EXPECT_TRUE(image->IsChanged());
    EXPECT_NE(h.N(351, {a, 200, A, 0, 0, 0}), kMinus1);
    EXPECT_EQ(h.N(351, {a, 511, A, 0, 0, 0}), kMinus1);
    CImage twin;
    ASSERT_EQ(twin.CopyFrom(image, 0), 0);
    const RECT part{1, 1, 4, 4};
    EXPECT_EQ(h.N(325, {a, 0x80, 1, 1, 4, 4}), static_cast<uint32_t>(PixelLibOp7(twin, 0x80, &part)));
    EXPECT_EQ(std::memcmp(image->GetBits(), twin.GetBits(), 4 * 8 * 6), 0);
    // 356: the mask's shape painted through.
    const uint32_t mask = h.Image(4, 4, 32);
    EXPECT_NE(h.N(356, {a, mask, 1, 1, A, 0, 0, 0, 0, 128, 255, 0, 0}), kMinus1);
    EXPECT_EQ(h.N(356, {a, 0, 1, 1, A, 0, 0, 0, 0, 128, 255, 0, 0}), kMinus1);
    EXPECT_NE(h.N(355, {a, 0xFF0000, 128, 0, A, 0, 0, 0}), kMinus1);
    // A canvas is not a memory image: 317 and 319 answer 0 for it.
    const uint32_t canvas = h.N(238, {8, 8, 32, 1});
    EXPECT_EQ(h.N(317, {canvas, 1}), 0u);
    EXPECT_EQ(h.N(319, {canvas}), 0u);
}

TEST(ImageNatives, PalettesRefuseWhatTheyCannotHold)
{
    ImageHost h;
    const uint32_t rgb = h.Image(4, 4, 32);
    const uint32_t indexed = h.Image(4, 4, 8);
    CImage* image = h.Of(indexed);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->SetPaletteEntries(nullptr, 256, 0), 0); // the grey ramp
    EXPECT_EQ(h.N(329, {indexed, 7, 7, 7}), 7u);
    EXPECT_EQ(h.N(331, {indexed, 7, 0x00ABCDEF, 1}), 1u);
    EXPECT_EQ(image->GetPalette()[7], 0x00ABCDEFu);
    const uint32_t before44 = image->GetPalette()[44];
    EXPECT_EQ(h.N(331, {indexed, 300, 0x123456, 1}), kMinus1); // used to wrap onto entry 44
    EXPECT_EQ(h.N(331, {indexed, static_cast<uint32_t>(-1), 0x123456, 1}), kMinus1);
    EXPECT_EQ(image->GetPalette()[44], before44);
    EXPECT_EQ(h.N(332, {indexed, 0x010203, 0}), 1u);
    EXPECT_EQ(image->GetPalette()[200], 0x010203u);
    const uint32_t other = h.Image(4, 4, 8);
    ASSERT_EQ(h.Of(other)->SetPaletteEntries(nullptr, 256, 0), 0);
    EXPECT_EQ(h.N(330, {indexed, other}), 1u);
    EXPECT_EQ(image->GetPalette()[200], h.Of(other)->GetPalette()[200]);
    // Without a palette every palette row fails and writes nothing.
    for (const std::vector<uint32_t>& w : std::vector<std::vector<uint32_t>>{
             {329, rgb, 1, 1, 1}, {330, rgb, other}, {331, rgb, 1, 2, 1}, {332, rgb, 1, 1}})
        EXPECT_EQ(h.N(w[0], {w.begin() + 1, w.end()}), kMinus1) << w[0];
}

TEST(ImageNatives, FilesOnlyInsideTheRoots)
{
    ImageHost h;
    const uint32_t a = h.Image(16, 16, 32);
    const uint32_t out = Str(h.host, "out.bmp");
    const uint32_t outside = Str(h.host, "..\\..\\out.bmp");
    h.N(327, {a, 1, 2, 3});
    EXPECT_EQ(h.N(318, {a, outside, 0, 0}), kMinus1);
    const uint32_t saved = h.N(318, {a, out, 0, 0});
    EXPECT_NE(saved, kMinus1);
    if (saved == 0) {
        const uint32_t b = h.Image(20, 20, 32);
        EXPECT_EQ(h.N(320, {b, out, 2, 2, 0}), 0u);
        EXPECT_EQ(static_cast<uint32_t>(h.N(328, {b, 5, 5})) & 0xFFFFFF, 0x010203u);
    }
    EXPECT_EQ(h.N(320, {a, outside, 0, 0, 0}), kMinus1);
    EXPECT_EQ(h.N(321, {a, out, 0x7FFFFFF0u, 0, 0, 0}), kMinus1); // a span past memory
    EXPECT_EQ(h.N(321, {a, out, 0, 0, 0, 0}), kMinus1);
}

TEST(ImageNatives, DeadSurfacesAreRefused)
{
    ImageHost h;
    const uint32_t a = h.Image(4, 4, 32);
    EXPECT_EQ(h.N(243, {a}), 0u);
    for (uint32_t n : {318u, 320u, 321u, 322u, 323u, 324u, 325u, 326u, 327u, 328u, 329u, 330u, 331u, 332u, 351u, 355u, 356u})
        EXPECT_EQ(h.N(n, {a, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}), kMinus1) << n;
    EXPECT_EQ(h.N(317, {a, 1}), 0u);
    EXPECT_EQ(h.N(319, {a}), 0u);
}

} // namespace
