// Natives 200-259: images and canvases made, read, filled and deleted through their handles on a
// headless screen; files read only inside the script roots; sizes refused before allocation.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "authoring/picture_io.h"
#include "display/display_objects.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/sprite.h"
#include "effects/effect_rows.h"
#include "effects/sp_panime.h"
#include "files/object_plugin_manager.h"
#include "platform/cos_table.h"
#include "files/gll_manager.h"
#include "natives/native_table.h"
#include "natives/surface_natives.h"
#include "raster/draw_transition.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

uint32_t Native(CScriptHost& host, uint32_t n, std::vector<uint32_t> words)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    const uint32_t result = GetNativeRow(n).function(args);
    host.Memory().Free(block);
    return result;
}

uint32_t Bytes(CScriptHost& host, const std::string& bytes)
{
    const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(bytes.size() + 1));
    std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(bytes.size() + 1)), bytes.c_str(), bytes.size() + 1);
    return at;
}

std::string Bmp(int w, int h, uint32_t seed)
{
    pictures::Decoded picture;
    picture.width = w;
    picture.height = h;
    for (int i = 0; i < w * h; ++i)
        picture.pixels.push_back(0xFF000000u | ((static_cast<uint32_t>(i) * 2654435761u + seed) & 0xFFFFFF));
    std::vector<uint8_t> bmp;
    std::string error;
    EXPECT_TRUE(pictures::EncodeBmp32(picture, bmp, &error)) << error;
    return std::string(bmp.begin(), bmp.end());
}

struct SurfaceHost {
    HostFixture f;
    CScriptHost& host;
    CGllManager loaders;
    SurfaceHost() : host((f.UseScreen(), f.Start()))
    {
        EXPECT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
    }
    ~SurfaceHost() { g_pGllManager = nullptr; }
    uint32_t Image(int32_t w, int32_t h, int32_t bits = 32)
    {
        return Native(host, 231, {static_cast<uint32_t>(w), static_cast<uint32_t>(h), static_cast<uint32_t>(bits), 0});
    }
    CImage* ImageOf(uint32_t handle) { return GetSurfaceImage(host.Object<CSurface>(handle)); }
};

TEST(SurfaceNatives, EveryRowIsBuilt)
{
    for (uint32_t n = 200; n <= 259; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(SurfaceNatives, SizesAreCheckedBeforeAllocating)
{
    SurfaceHost h;
    struct Case {
        int32_t w, h, bits;
        bool made;
    };
    const Case cases[] = {
        {1, 1, 32, true},         {16384, 1, 8, true},  {0, 4, 32, false},        {4, 0, 32, false},
        {-1, 4, 32, false},       {16385, 1, 32, false}, {4, INT32_MIN, 32, false}, {4, 4, 24, false},
    };
    for (const Case& c : cases) {
        const uint32_t handle = h.Image(c.w, c.h, c.bits);
        EXPECT_EQ(handle != 0, c.made) << c.w << "x" << c.h << "x" << c.bits;
        if (handle != 0) {
            EXPECT_EQ(Native(h.host, 244, {handle}), static_cast<uint32_t>(c.w));
            EXPECT_EQ(Native(h.host, 245, {handle}), static_cast<uint32_t>(c.h));
        }
    }
    for (uint32_t n : {226u, 238u, 239u}) {
        EXPECT_EQ(Native(h.host, n, {0, 10, 32, 0}), 0u) << n;
        EXPECT_EQ(Native(h.host, n, {20000, 10, 32, 0}), 0u) << n;
    }
    EXPECT_EQ(Native(h.host, 222, {0x7FFFFFFF, 4, 1}), 0u);
}

TEST(SurfaceNatives, SurfaceInterfaceAndFill)
{
    SurfaceHost h;
    const uint32_t a = h.Image(8, 6);
    ASSERT_NE(a, 0u);
    CImage* image = h.ImageOf(a);
    EXPECT_EQ(Native(h.host, 249, {a, 77}), 77u);
    EXPECT_EQ(image->GetUserValue1(), 77u);
    EXPECT_EQ(Native(h.host, 240, {a, 1}), 1u);
    EXPECT_EQ(image->GetUserValue2(), 77u);
    EXPECT_EQ(Native(h.host, 240, {a, 0}), 1u);
    EXPECT_EQ(image->GetUserValue2(), 0u);
    EXPECT_EQ(Native(h.host, 250, {a, 5}), 5u);
    EXPECT_EQ(image->GetGroup(), 5u);
    // Whole image (65535 in the rectangle's first word), then one rectangle.
    EXPECT_EQ(Native(h.host, 251, {a, 10, 20, 30, 65535, 0, 0, 0}), 1u);
    EXPECT_EQ(static_cast<uint32_t>(image->GetPixel(7, 5)) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(Native(h.host, 251, {a, 1, 2, 3, 2, 2, 4, 4}), 1u);
    EXPECT_EQ(static_cast<uint32_t>(image->GetPixel(2, 2)) & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(static_cast<uint32_t>(image->GetPixel(4, 4)) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(Native(h.host, 247, {a, 1, 2, 3}), 0u);
    EXPECT_EQ(Native(h.host, 248, {a}), 0u);
    // A copy (237) holds the same pixels.
    const uint32_t copy = Native(h.host, 237, {a, 0});
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(h.ImageOf(copy)->GetPixel(2, 2), image->GetPixel(2, 2));
}

TEST(SurfaceNatives, FilesOnlyInsideTheRoots)
{
    SurfaceHost h;
    const std::string bmp = Bmp(5, 3, 7);
    h.f.dir.Write("pic.bmp", bmp);
    const uint32_t name = Bytes(h.host, "pic.bmp");
    const uint32_t outside = Bytes(h.host, "..\\..\\pic.bmp");
    const uint32_t a = Native(h.host, 232, {name, 0});
    ASSERT_NE(a, 0u);
    EXPECT_EQ(h.ImageOf(a)->GetWidth(), 5);
    EXPECT_NE(Native(h.host, 233, {name, 0}), 0u);
    EXPECT_EQ(Native(h.host, 232, {outside, 0}), 0u);
    EXPECT_EQ(Native(h.host, 233, {outside, 0}), 0u);
    EXPECT_EQ(Native(h.host, 232, {0, 0}), 0u);
    EXPECT_EQ(Native(h.host, 227, {0, outside, 0}), 0u);
    EXPECT_EQ(Native(h.host, 223, {outside, 0}), 0u);
    // From script memory: the same picture; a size past the block is a memory fault, nothing made.
    const uint32_t data = Bytes(h.host, bmp);
    const uint32_t b = Native(h.host, 234, {data, static_cast<uint32_t>(bmp.size()), 0});
    ASSERT_NE(b, 0u);
    EXPECT_EQ(h.ImageOf(b)->GetPixel(4, 2), h.ImageOf(a)->GetPixel(4, 2));
    EXPECT_NE(Native(h.host, 235, {data, static_cast<uint32_t>(bmp.size()), 0}), 0u);
    const size_t before = h.f.screen->SurfaceCount();
    EXPECT_EQ(Native(h.host, 234, {data, 0x7FFFFFF0u, 0}), 0u);
    EXPECT_EQ(Native(h.host, 234, {data, 0, 0}), 0u);
    EXPECT_EQ(h.f.screen->SurfaceCount(), before);
}

TEST(SurfaceNatives, CanvasesAndTheFrameImage)
{
    SurfaceHost h;
    // A canvas surface (226) needs DirectDraw, which this headless screen has not made.
    EXPECT_EQ(Native(h.host, 226, {32, 24, 32, 1}), 0u);
    const uint32_t canvas = Native(h.host, 238, {32, 24, 32, 1});
    const uint32_t sprite = Native(h.host, 238, {16, 8, 32, 1});
    const uint32_t sprite10 = Native(h.host, 239, {16, 8, 32, 1});
    ASSERT_NE(canvas, 0u);
    ASSERT_NE(sprite, 0u);
    ASSERT_NE(sprite10, 0u);
    EXPECT_EQ(Native(h.host, 241, {}), 0u); // no frame image yet
    EXPECT_EQ(Native(h.host, 242, {canvas}), 0u);
    EXPECT_EQ(Native(h.host, 241, {}), canvas);
    const uint32_t rect = h.host.Memory().Allocate(16);
    EXPECT_EQ(Native(h.host, 210, {rect, rect + 4, rect + 8, rect + 12}), 1u);
    uint32_t right = 0;
    h.host.Memory().Load32(rect + 8, &right);
    EXPECT_EQ(right, 32u);
    EXPECT_EQ(Native(h.host, 210, {0, 0, 0, 0}), 1u);
    EXPECT_EQ(Native(h.host, 209, {}), h.f.screen->GetMode());
    CImageObject* object = GetSurfaceCanvas(h.host.Object<CSurface>(canvas));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Native(h.host, 257, {canvas, 1, 0}), 0u);
    EXPECT_EQ(Native(h.host, 256, {canvas, 1}), 0u);
    EXPECT_EQ(Native(h.host, 258, {canvas, 65535, 0, 0, 0}), 0u);
    EXPECT_EQ(Native(h.host, 258, {canvas, 1, 1, 4, 4}), 0u);
    EXPECT_EQ(Native(h.host, 253, {canvas, sprite}), static_cast<uint32_t>(object->SetBackCanvas(
                                                          GetSurfaceCanvas(h.host.Object<CSurface>(sprite)))));
    EXPECT_EQ(Native(h.host, 218, {canvas}), object->IsSceneActive() ? 1u : 0u);
    // A memory image has no canvas part: the canvas rows' null result.
    const uint32_t plain = h.Image(4, 4);
    for (uint32_t n : {253u, 255u, 256u, 257u, 258u, 259u})
        EXPECT_EQ(Native(h.host, n, {plain, 1, 1, 2, 2}), kMinus1) << n;
    EXPECT_EQ(Native(h.host, 242, {plain}), kMinus1);
    // Deleting the frame image's surface leaves no frame image behind.
    EXPECT_EQ(Native(h.host, 243, {canvas}), 0u);
    EXPECT_EQ(h.f.screen->GetFrameImage(), nullptr);
    EXPECT_EQ(Native(h.host, 241, {}), 0u);
}

TEST(SurfaceNatives, DeletedSurfacesAreStaleEverywhere)
{
    SurfaceHost h;
    const uint32_t a = h.Image(4, 4);
    const uint32_t canvas = Native(h.host, 239, {8, 8, 32, 1});
    ASSERT_NE(canvas, 0u);
    EXPECT_EQ(Native(h.host, 201, {9}), 0u); // later objects join group 9
    const uint32_t grouped = h.Image(4, 4);
    EXPECT_EQ(Native(h.host, 202, {9, 1}), 0u);
    EXPECT_EQ(h.host.Object<CSurface>(grouped), nullptr);
    EXPECT_NE(h.host.Object<CSurface>(a), nullptr);
    EXPECT_EQ(Native(h.host, 243, {a}), 0u);
    EXPECT_EQ(Native(h.host, 200, {}), 0u);
    EXPECT_EQ(h.f.screen->SurfaceCount(), 0u);
    struct Row {
        uint32_t n;
        std::vector<uint32_t> rest;
        uint32_t null;
    };
    const Row rows[] = {
        {218, {}, 0},           {237, {0}, 0},          {240, {1}, kMinus1},   {242, {}, kMinus1},
        {243, {}, kMinus1},     {244, {}, 0},           {245, {}, 0},          {246, {0, 0}, kMinus1},
        {247, {1, 2, 3}, kMinus1}, {248, {}, kMinus1},  {249, {1}, kMinus1},   {250, {1}, kMinus1},
        {251, {1, 2, 3, 65535, 0, 0, 0}, kMinus1},      {253, {0}, kMinus1},   {255, {1}, kMinus1},
        {256, {1}, kMinus1},    {257, {1, 1}, kMinus1}, {258, {65535, 0, 0, 0}, kMinus1}, {259, {32}, kMinus1},
    };
    const uint32_t font = 0x12345678; // a word no handle has
    for (uint32_t dead : {a, canvas, grouped, font}) {
        for (const Row& r : rows) {
            std::vector<uint32_t> words{dead};
            words.insert(words.end(), r.rest.begin(), r.rest.end());
            EXPECT_EQ(Native(h.host, r.n, words), r.null) << r.n << " word " << dead;
        }
        EXPECT_EQ(Native(h.host, 252, {0, dead, 0, 0, 0, 0, 0}), kMinus1);
    }
}

TEST(SurfaceNatives, LoaderManagerAndTransitions)
{
    SurfaceHost h;
    EXPECT_EQ(Native(h.host, 203, {16}), 0u);
    EXPECT_EQ(Native(h.host, 204, {}), kMinus1);
    EXPECT_EQ(Native(h.host, 206, {0xDEAD}), 0u);
    EXPECT_EQ(Native(h.host, 208, {0xDEAD}), 0u);
    EXPECT_EQ(Native(h.host, 207, {0xDEAD}), 0u);
    EXPECT_EQ(Native(h.host, 205, {Bytes(h.host, "..\\..\\x.bmp")}), kMinus1);
    for (uint32_t n : {211u, 212u, 213u, 214u, 215u, 216u, 217u, 221u, 229u, 230u, 236u})
        EXPECT_EQ(Native(h.host, n, {1, 2, 3}), 0u) << n;
    // The effect operations' null result.
    for (uint32_t n : {219u, 220u})
        EXPECT_EQ(Native(h.host, n, {1, 2, 3}), kMinus1) << n;
    EXPECT_EQ(Native(h.host, 254, {1}), kMinus1);
    // 252 draws through DrawTransition: the same answer as the direct call.
    const uint32_t dst = h.Image(8, 8), src = h.Image(8, 8);
    CSurface* d = h.host.Object<CSurface>(dst);
    CSurface* s = h.host.Object<CSurface>(src);
    EXPECT_EQ(Native(h.host, 252, {0, dst, src, 128, 0, 0, 0}),
              static_cast<uint32_t>(DrawTransition(0, d, s, 128, 0, 0, 0, nullptr)));
    EXPECT_EQ(Native(h.host, 252, {999, dst, src, 128, 0, 0, 0}), kMinus1);
    EXPECT_EQ(Native(h.host, 252, {0, 0, 0, 128, 0, 0, 0}), 1u);
}

} // namespace

namespace {

// A second callback the engine has no signature for: it records the pack it is handed.
CEffectArgs g_foreignPack;
int ForeignAssist(const CEffectArgs& in, CEffectArgs*)
{
    g_foreignPack = in;
    return 7;
}

struct AssistRegistry {
    CObjectPluginManager effects;
    CCosTable cosines;
    AssistRegistry()
    {
        RegisterRows(effects, GameEffectRows());
        effects.Register(&CSpPanimeEffect::Create, "foreign", 1, nullptr, &ForeignAssist, 0);
        g_pObjectPluginManager = &effects;
        g_pCosTable = &cosines;
    }
    ~AssistRegistry()
    {
        g_pObjectPluginManager = nullptr;
        g_pCosTable = nullptr;
    }
};

uint32_t Load32(CScriptHost& host, uint32_t at)
{
    uint32_t value = 0;
    host.Memory().Load32(at, &value);
    return value;
}

} // namespace

// 221: the kind's second callback gets the words laid out by its signature and its out values
// are stored through the out addresses that follow; every word is checked before it runs.
TEST(SurfaceNatives, SecondCallbacksTakeTheirSignaturesPack)
{
    SurfaceHost h;
    TestPixelLibrary pixels; // sprites draw through it
    AssistRegistry registry;
    const uint32_t spPanime = Bytes(h.host, "sp_panime");
    // The first form of sp_panime: the priority range.
    EXPECT_EQ(Native(h.host, 221, {spPanime, 0, 12300, 45600}), 0u);
    EXPECT_EQ(g_spPriorityLow, 12300u);
    EXPECT_EQ(g_spPriorityHigh, 45600u);

    // The second form on a sprite: its end state comes back through the out addresses.
    const uint32_t image = h.Image(3, 4);
    ASSERT_NE(image, 0u);
    ASSERT_NE(h.ImageOf(image), nullptr);
    const uint32_t sprite = Native(h.host, 402, {image, 65535, 0, 0, 0, 5, 6});
    ASSERT_NE(sprite, 0u);
    CSprite* object = h.host.Object<CSprite>(sprite);
    ASSERT_NE(object, nullptr);
    // Step lists read the size of the scene the sprite is listed in.
    const uint32_t canvas = Native(h.host, 238, {128, 96, 32, 1});
    ASSERT_EQ(Native(h.host, 409, {canvas, sprite, 20, 0}), 0u);
    const uint32_t list = Bytes(h.host, "200 P30,20O100]2 A2 P60,10Z1.5R45");
    const uint32_t outs = h.host.Memory().Allocate(9 * 4);
    std::vector<uint32_t> words = {spPanime, 1, sprite, list};
    for (uint32_t j = 0; j < 9; ++j)
        words.push_back(j == 2 ? 0 : outs + 4 * j); // alpha not asked for
    h.host.Memory().Store32(outs + 8, 0xDEAD);
    EXPECT_EQ(Native(h.host, 221, words), 0u);
    EXPECT_EQ(object->GetX(), 60);
    EXPECT_EQ(Load32(h.host, outs), 60u);
    EXPECT_EQ(Load32(h.host, outs + 4), 10u);
    EXPECT_EQ(Load32(h.host, outs + 8), 0xDEADu);
    EXPECT_EQ(Load32(h.host, outs + 16), 1u); // zoom and angle applied
    EXPECT_EQ(std::bit_cast<float>(Load32(h.host, outs + 20)), 1.5f);

    // Checked before acting: an out address outside script memory faults the call and the
    // sprite stays where it is; an object word of another kind is -1.
    object->SetPosition(1, 2);
    words[4] = 0xFFFFFFF0u;
    EXPECT_EQ(Native(h.host, 221, words), 0u);
    EXPECT_EQ(object->GetX(), 1);
    words[4] = outs;
    words[2] = image;
    EXPECT_EQ(Native(h.host, 221, words), kMinus1);
    EXPECT_EQ(object->GetX(), 1);

    // No such callback: an unknown kind, a kind without a second callback, no name.
    EXPECT_EQ(Native(h.host, 221, {Bytes(h.host, "nothing"), 0}), static_cast<uint32_t>(-2));
    EXPECT_EQ(Native(h.host, 221, {Bytes(h.host, "bg_rot"), 0}), static_cast<uint32_t>(-2));
    EXPECT_EQ(Native(h.host, 221, {0, 0}), static_cast<uint32_t>(-2));

    // A callback the engine does not know gets words 1-16 as integers.
    std::vector<uint32_t> foreign = {Bytes(h.host, "foreign")};
    for (uint32_t k = 1; k <= 16; ++k)
        foreign.push_back(k * 3);
    EXPECT_EQ(Native(h.host, 221, foreign), 7u);
    ASSERT_EQ(g_foreignPack.GetCount(), 16u);
    for (uint32_t k = 0; k < 16; ++k)
        EXPECT_EQ(g_foreignPack.IntAt(k), static_cast<int32_t>((k + 1) * 3));
}
