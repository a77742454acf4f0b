// Natives 260-280, 283-288, 314: scene objects made, listed in the screen's task list, moved and
// deleted through their handles; point lists checked against script memory.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/canvas_quad_object.h"
#include "display/canvas_texture.h"
#include "display/color_rect_object.h"
#include "display/text_surface.h"
#include "display/screen.h"
#include "display/task.h"
#include "platform/cos_table.h"
#include "natives/native_table.h"
#include "drawing/text_image.h"
#include "raster/dib_convert.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "winapi/ddraw_testing.h"
#include "winapi/text.h"
#include "winapi/user.h"

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

struct SceneHost {
    HostFixture f;
    CScriptHost& host;
    CCosTable cosines;
    SceneHost() : host((f.UseScreen(), f.Start())) { g_pCosTable = &cosines; }
    ~SceneHost() { g_pCosTable = nullptr; }
    uint32_t N(uint32_t n, const std::vector<uint32_t>& w) { return Native(host, n, w); }
};

TEST(SceneNatives, RowsAreBuilt)
{
    for (uint32_t n = 260; n <= 314; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(SceneNatives, MadeListedMovedAndDeleted)
{
    SceneHost h;
    CScreen& screen = *h.f.screen;
    const uint32_t rect = h.N(263, {20, 10, 0x80FF0000, 5, 6});
    ASSERT_NE(rect, 0u);
    CTask* task = h.host.Object<CTask>(rect);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->GetX(), 5);
    EXPECT_EQ(h.N(263, {16385, 10, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(263, {static_cast<uint32_t>(-1), 10, 0, 0, 0}), 0u);
    const uint32_t tri = h.N(264, {0, 0, 10, 0, 0, 10, 0xFFFFFFFF, 1, 1});
    ASSERT_NE(tri, 0u);
    const uint32_t stateA = h.N(265, {});
    const uint32_t stateB = h.N(266, {});
    EXPECT_NE(stateA, 0u);
    EXPECT_NE(stateB, 0u);
    EXPECT_EQ(h.N(268, {}), 0u); // no canvas texture
    EXPECT_EQ(screen.SceneObjectCount(), 4u);

    // The task list.
    EXPECT_EQ(h.N(271, {rect, 10, 0}), 0u);
    EXPECT_EQ(h.N(272, {tri, 10, 0}), 0u);
    EXPECT_EQ(screen.Head()->task, h.host.Object<CTask>(tri));
    EXPECT_EQ(h.N(279, {tri, 20, 0}), 1u); // moved
    EXPECT_EQ(h.N(279, {tri, 20, 1}), 0u); // unchanged
    EXPECT_EQ(h.N(280, {tri, 10, 0}), 1u);
    EXPECT_EQ(h.N(271, {tri, 1, 0}), 2u); // already listed
    EXPECT_EQ(h.N(278, {0, 10, static_cast<uint32_t>(-1)}), 0u);
    EXPECT_EQ(task->IsEnabled(), 0);
    EXPECT_EQ(h.N(277, {rect, 1}), 1u);
    EXPECT_EQ(task->IsEnabled(), 1);
    EXPECT_EQ(h.N(273, {rect}), 0u);
    EXPECT_EQ(task->GetList(), nullptr);
    EXPECT_EQ(h.N(274, {10}), 0u);
    EXPECT_EQ(screen.Head(), nullptr);
    EXPECT_EQ(h.N(271, {rect, 3, 0}), 0u);
    EXPECT_EQ(h.N(275, {}), 0u);
    EXPECT_EQ(screen.Head(), nullptr);
    EXPECT_EQ(h.N(276, {}), static_cast<uint32_t>(screen.RestoreAll()));

    // The task interface.
    EXPECT_EQ(h.N(283, {rect, 30, 40}), 1u);
    EXPECT_EQ(task->GetX(), 30);
    EXPECT_EQ(h.N(286, {rect, 1, 2}), 1u);
    EXPECT_EQ(task->GetY(), 42);
    EXPECT_EQ(h.N(284, {rect, 8, 8}), 1u);
    EXPECT_EQ(h.N(285, {rect, 4, 4, 0, 0}), 1u);
    EXPECT_EQ(h.N(284, {rect, 20000, 8}), 0u);
    EXPECT_EQ(h.N(287, {rect, 1, 1, 0}), static_cast<uint32_t>(task->HitTest(1, 1, false)));
    EXPECT_EQ(h.N(288, {rect, tri}), static_cast<uint32_t>(task->Overlaps(h.host.Object<CTask>(tri))));
    const uint32_t outs = h.host.Memory().Allocate(16);
    RECT bounds{};
    const bool has = task->GetBounds(&bounds);
    EXPECT_EQ(h.N(314, {rect, outs, 0, outs + 8, 0}), has ? 1u : 0u);
    if (has) {
        uint32_t right = 0;
        h.host.Memory().Load32(outs + 8, &right);
        EXPECT_EQ(static_cast<LONG>(right), bounds.right);
    }
    EXPECT_EQ(h.N(314, {rect, 0xFFFFFFF0u, 0, 0, 0}), kMinus1);

    // Deleted: every task row gives its null result.
    EXPECT_EQ(h.N(270, {rect}), 0u);
    EXPECT_EQ(h.host.Object<CTask>(rect), nullptr);
    for (uint32_t dead : {rect, 0u, 0x31313131u}) {
        EXPECT_EQ(h.N(270, {dead}), kMinus1);
        EXPECT_EQ(h.N(271, {dead, 1, 0}), kMinus1);
        EXPECT_EQ(h.N(272, {dead, 1, 0}), kMinus1);
        EXPECT_EQ(h.N(273, {dead}), kMinus1);
        EXPECT_EQ(h.N(277, {dead, 1}), kMinus1);
        EXPECT_EQ(h.N(279, {dead, 1, 0}), kMinus1);
        EXPECT_EQ(h.N(280, {dead, 1, 0}), kMinus1);
        for (uint32_t n : {283u, 284u, 285u, 286u, 287u, 288u})
            EXPECT_EQ(h.N(n, {dead, 1, 1, 1, 1}), 0u) << n;
        EXPECT_EQ(h.N(288, {tri, dead}), 0u);
        EXPECT_EQ(h.N(314, {dead, 0, 0, 0, 0}), kMinus1);
    }
}

TEST(SceneNatives, ColourAndGeometryByKind)
{
    SceneHost h;
    const uint32_t rect = h.N(263, {20, 10, 0xFF000000, 0, 0});
    const uint32_t tri = h.N(264, {0, 0, 10, 0, 0, 10, 0xFFFFFFFF, 0, 0});
    const uint32_t state = h.N(265, {});
    ASSERT_NE(rect, 0u);
    ASSERT_NE(tri, 0u);
    auto* colour = static_cast<CColorRectObject*>(h.host.Object<CTask>(rect));
    EXPECT_EQ(h.N(292, {rect, 0x123456}), 0u);
    EXPECT_EQ(colour->Vertices()[2].diffuse & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(h.N(293, {rect, 1, 0xABCDEF}), 0u);
    EXPECT_EQ(colour->Vertices()[1].diffuse & 0xFFFFFF, 0xABCDEFu);
    EXPECT_EQ(h.N(293, {rect, 9, 0x111111}), 0u); // an index past the corners changes nothing
    EXPECT_EQ(h.N(294, {rect, 1, 2, 3, 4}), 0u);
    EXPECT_EQ(colour->Vertices()[3].diffuse & 0xFFFFFF, 4u);
    EXPECT_EQ(h.N(296, {rect, 0x80}), 0u);
    EXPECT_EQ(colour->Vertices()[0].diffuse >> 24, 0x80u);
    EXPECT_EQ(h.N(298, {rect, 1, 2, 3, 4}), 0u);
    EXPECT_EQ(colour->Vertices()[3].diffuse >> 24, 4u);
    EXPECT_EQ(h.N(290, {rect, 1, 5, 6}), 0u);
    EXPECT_EQ(colour->SourceBlend(), 5);
    EXPECT_EQ(h.N(303, {rect, 7, 8}), 0u);
    RECT shown{};
    ASSERT_TRUE(colour->GetBounds(&shown));
    EXPECT_EQ(shown.right - shown.left, 7);
    EXPECT_EQ(h.N(303, {rect, 70000, 8}), kMinus1);
    EXPECT_EQ(h.N(304, {rect, 9, 8, 1, 2}), 0u);
    EXPECT_EQ(colour->GetX(), 1);
    EXPECT_EQ(h.N(302, {rect, 0, 0, 10, 0, 0, 10, 10, 10}), 0u);
    EXPECT_EQ(h.N(289, {rect, 64, 0}), 0u);
    EXPECT_EQ(h.N(291, {rect, 1, 128, 0}), 0u);
    // Triangles: their own three-vertex rows and points.
    EXPECT_EQ(h.N(295, {tri, 1, 2, 3}), 0u);
    EXPECT_EQ(h.N(299, {tri, 1, 2, 3}), 0u);
    EXPECT_EQ(h.N(306, {tri, 2, 5, 5}), 1u);
    EXPECT_EQ(h.N(306, {tri, 3, 5, 5}), 0u);
    EXPECT_EQ(h.N(308, {tri, 0, 0, 4, 0, 0, 4}), 0u);
    RECT bounds{};
    ASSERT_TRUE(h.host.Object<CTask>(tri)->GetBounds(&bounds));
    EXPECT_EQ(bounds.right - bounds.left, 4);
    // Rows of other kinds refuse: -1 and nothing changed.
    const std::vector<std::vector<uint32_t>> refused = {
        {294, tri, 1, 2, 3, 4}, {298, tri, 1, 2, 3, 4}, {295, rect, 1, 2, 3}, {299, rect, 1, 2, 3},
        {300, rect, 1, 2, 3},   {301, rect, 1, 2, 3},   {303, tri, 1, 1},     {305, rect, 1},
        {307, tri, 0, 0, 1, 1}, {308, rect, 0, 0, 1, 1, 2, 2}, {309, rect, 10}, {281, rect, rect},
        {282, rect, 0, 0, A, 0, 0, 0}, {292, state, 1}, {289, tri, 1, 0},
    };
    for (const auto& w : refused)
        EXPECT_EQ(h.N(w[0], {w.begin() + 1, w.end()}), kMinus1) << w[0];
    for (uint32_t n : {310u, 311u, 312u, 313u})
        EXPECT_EQ(h.N(n, {rect, 0}), kMinus1) << n;
}

TEST(SceneNatives, PointListsAndSurfaces)
{
    SceneHost h;
    const uint32_t xs = h.host.Memory().Allocate(12), ys = h.host.Memory().Allocate(12);
    for (uint32_t i = 0; i < 3; ++i) {
        h.host.Memory().Store32(xs + 4 * i, 10 * i);
        h.host.Memory().Store32(ys + 4 * i, 5 * i);
    }
    EXPECT_NE(h.N(262, {3, xs, ys, 0xFFFFFFFF, 1, 0}), 0u);
    EXPECT_EQ(h.N(262, {1, xs, ys, 0xFFFFFFFF, 1, 0}), 0u);           // below 2 points
    EXPECT_EQ(h.N(262, {0x40000000, xs, ys, 0xFFFFFFFF, 1, 0}), 0u);  // a huge count
    // Past the end of their blocks: a memory fault, nothing made.
    const size_t before = h.f.screen->SceneObjectCount();
    const uint32_t block = h.host.Memory().Allocate(28);
    const uint32_t words[] = {1000, xs, ys, 0, 1, 0};
    for (uint32_t i = 0; i < 6; ++i)
        h.host.Memory().Store32(block + 4 * i, words[i]);
    SobNativeArgs args(h.host.Memory(), nullptr, block, &h.host);
    EXPECT_EQ(GetNativeRow(262).function(args), 0u);
    EXPECT_EQ(h.f.screen->SceneObjectCount(), before);
    // Surface-based objects: a word naming no surface makes nothing.
    const uint32_t image = h.N(231, {16, 16, 32, 0});
    EXPECT_EQ(h.N(260, {0x5555, A, 0, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(269, {0x5555, image, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(269, {0, 0, 0, 0, 0, 0}), 0u);
    const uint32_t region = h.N(260, {image, A, 0, 0, 0, 3, 4});
    if (region != 0) {
        EXPECT_EQ(h.N(282, {region, 1, 1, 0, 0, 4, 4}), 1u);
        EXPECT_EQ(h.N(270, {region}), 0u);
    }
    const uint32_t list = h.N(262, {3, xs, ys, 0xFFFFFFFF, 1, 0});
    ASSERT_NE(list, 0u);
    EXPECT_EQ(h.N(305, {list, 2}), 0u);
    EXPECT_EQ(h.N(306, {list, 2, 7, 7}), 1u);
    EXPECT_EQ(h.N(306, {list, 3, 7, 7}), 0u);
    EXPECT_NE(h.N(307, {list, 0, 0, 5, 5}), kMinus1);
    EXPECT_NE(h.N(289, {list, 64, 0}), kMinus1);
}

// The texture kinds on a screen with its Direct3D device: 229 text surfaces, 230 canvas textures,
// 236 text images and 268 canvas quads (canvas textures only) answer what the creators make; a
// font word naming no font, a null text and sides past the limit make nothing.
TEST(SceneNatives, TextureKindsThroughTheirNatives)
{
    SceneHost h;
    winapi::ddraw_testing::Reset();
    CDisplayDevice::ExclusiveNeeded() = false;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "SceneNativesTextures";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, "SceneNativesTextures", "t", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    CScreen& screen = *h.f.screen;
    ASSERT_EQ(screen.SetOutputSize(64, 48), 0);
    screen.SetWantDirect3DForTests(true);
    ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);

    const uint32_t faceBlock = h.host.Memory().Allocate(32);
    const std::string face = winapi::Sjis("ＭＳ ゴシック");
    std::memcpy(h.host.Memory().Span(faceBlock, 32), face.c_str(), face.size() + 1);
    const uint32_t font = h.N(168, {0, faceBlock, 16});
    ASSERT_NE(font, 0u);
    const uint32_t textBlock = h.host.Memory().Allocate(4);
    std::memcpy(h.host.Memory().Span(textBlock, 4), "Ab", 3);

    const uint32_t canvas = h.N(230, {kPixelX8R8G8B8, 8, 6, 32, 0, 0});
    ASSERT_NE(canvas, 0u);
    EXPECT_NE(dynamic_cast<CCanvasTexture*>(h.host.Object<CSurface>(canvas)), nullptr);
    EXPECT_EQ(h.N(245, {canvas}), 6u);
    EXPECT_EQ(h.N(230, {kPixelX8R8G8B8, 16385, 6, 32, 0, 0}), 0u);
    EXPECT_EQ(h.N(230, {kPixelX8R8G8B8, 0, 6, 32, 0, 0}), 0u);

    const uint32_t text = h.N(229, {kPixelA8R8G8B8, textBlock, font});
    ASSERT_NE(text, 0u);
    EXPECT_NE(dynamic_cast<CTextSurface*>(h.host.Object<CSurface>(text)), nullptr);
    EXPECT_EQ(h.N(229, {kPixelA8R8G8B8, textBlock, canvas}), 0u); // a surface is no font

    const uint32_t image = h.N(236, {textBlock, font, 0});
    ASSERT_NE(image, 0u);
    CImage expected;
    CFont* f = h.host.Object<CFont>(font);
    ASSERT_EQ(CreateTextImage(&expected, "Ab", f, 0), 0);
    CImage* made = h.host.Object<CImage>(image);
    ASSERT_EQ(made->GetWidth(), expected.GetWidth());
    ASSERT_EQ(made->GetHeight(), expected.GetHeight());
    for (LONG y = 0; y < expected.GetHeight(); ++y)
        for (LONG x = 0; x < expected.GetWidth(); ++x)
            ASSERT_EQ(made->GetPixel(x, y), expected.GetPixel(x, y)) << x << "," << y;
    EXPECT_EQ(h.N(236, {0, font, 0}), 0u);
    EXPECT_EQ(h.N(236, {textBlock, 0x5555, 0}), 0u);

    const uint32_t quad = h.N(268, {canvas, 10, 12, A, 0, 0, 0});
    ASSERT_NE(quad, 0u);
    EXPECT_EQ(h.host.Object<CTask>(quad)->GetType(), kSceneCanvasQuad);
    EXPECT_EQ(h.N(268, {text, 0, 0, A, 0, 0, 0}), 0u); // not a canvas texture
    EXPECT_EQ(h.N(268, {0, 0, 0, A, 0, 0, 0}), 0u);
    // Deleted by 243 and 270: the handles are stale.
    EXPECT_EQ(h.N(270, {quad}), 0u);
    EXPECT_EQ(h.N(243, {canvas}), 0u);
    EXPECT_EQ(h.N(268, {canvas, 0, 0, A, 0, 0, 0}), 0u);
    EXPECT_EQ(h.N(245, {canvas}), 0u);

    h.f.screen.reset(); // before the window and the device tables go
    g_pDisplay = h.f.savedDisplay;
    DestroyWindow(window);
    winapi::ddraw_testing::Reset();
}

} // namespace
