// Memory canvases and the canvas base: presentation of the changed rectangles into a device
// context and into device surfaces of every format, the kind-10 differences, and screen filters
// (refusals, bands, sharing, the end of a filter and what it applies).
#include "display/surface_sprite.h"
#include "display_test_util.h"
#include "drawing/primitive_object.h"
#include "winapi/gdi_memory_dc.h"

#include <memory>
#include <random>

namespace {

using display_test::CrossFade;
using display_test::kDeviceFormats;
using drawing_test::SurfaceSet;
using display_test::MakeSurface;

// A DC over a buffer of 32-bit pixels filled with a canary.
struct DcBuffer {
    DcBuffer(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0xDEADBEEF)
    {
        dc = winapi::CreateMemoryDC(pixels.data(), w, h, w * 4, 32);
    }
    ~DcBuffer() { DeleteDC(dc); }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int width, height;
    std::vector<uint32_t> pixels;
    HDC dc;
};

uint32_t ImagePixel(const CImage& image, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, image.GetRowAddress(y) + 4 * x, 4);
    return v;
}

void FillPattern(CImage& image, uint32_t seed)
{
    std::mt19937 random(seed);
    for (LONG y = 0; y < image.GetHeight(); ++y)
        for (LONG x = 0; x < image.GetWidth(); ++x) {
            const uint32_t v = random();
            std::memcpy(image.GetRowAddress(y) + 4 * x, &v, 4);
        }
}

bool Inside(const RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

TEST(MemoryCanvas, PlainPresentCopiesOnlyTheTrackedRectangles)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(64, 48, 32, 0), 0);
    EXPECT_EQ(canvas.GetKind(), kSurfaceSprite);
    EXPECT_EQ(canvas.GetWidth(), 64);
    EXPECT_EQ(canvas.Restore(true), 0);
    FillPattern(*canvas.GetImage(), 1);
    DcBuffer target(64, 48);
    EXPECT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, true), -1); // nothing changed

    const RECT rects[] = {{2, 3, 10, 9}, {30, 0, 34, 48}, {50, 40, 64, 48}};
    for (const RECT& r : rects)
        canvas.InvalidateRect(&r);
    EXPECT_EQ(canvas.Present(nullptr, nullptr, nullptr, 0, true), 1); // nowhere to draw
    ASSERT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, true), 0);
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool tracked = Inside(rects[0], x, y) || Inside(rects[1], x, y) || Inside(rects[2], x, y);
            const uint32_t expected = tracked ? ImagePixel(*canvas.GetImage(), x, y) : 0xDEADBEEF;
            wrong += (target.At(x, y) & 0xFFFFFF) != (expected & 0xFFFFFF);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(canvas.GetImage()->IsChanged());
    EXPECT_EQ(canvas.GetImage()->GetUpdateRegion()->Count(), 0);
    EXPECT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, true), -1);

    // A full present copies everything and leaves the tracker as it was.
    RECT one{0, 0, 1, 1};
    canvas.InvalidateRect(&one);
    ASSERT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, false), 0);
    EXPECT_EQ(target.At(63, 47) & 0xFFFFFF, ImagePixel(*canvas.GetImage(), 63, 47) & 0xFFFFFF);
    EXPECT_TRUE(canvas.GetImage()->IsChanged());
}

TEST(MemoryCanvas, PresentIntoSurfacesOfEveryFormatIsCutToImageAndSurface)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(40, 30, 32, 0), 0);
    FillPattern(*canvas.GetImage(), 2);
    SurfaceSet set;
    const RECT rects[] = {{1, 1, 6, 5}, {20, 10, 40, 30}};
    for (const auto& f : kDeviceFormats) {
        for (const LONG size : {40, 25}) { // as large as the canvas, and smaller
            SCOPED_TRACE(testing::Message() << f.code << " " << size);
            IDirectDrawSurface7* surface = MakeSurface(set, size, size, f);
            for (const RECT& r : rects)
                canvas.InvalidateRect(&r);
            ASSERT_EQ(canvas.Present(nullptr, nullptr, surface, f.code, true), 0);
            const int bytes = PixelFormatBytes(f.code);
            std::vector<BYTE> expected(static_cast<size_t>(size * size * bytes), 0);
            for (const RECT& r : rects) {
                const LONG w = std::min(r.right, size) - r.left, h = std::min(r.bottom, size) - r.top;
                if (w > 0 && h > 0) {
                    ASSERT_TRUE(ConvertRgb32ToSurface(f.code, expected.data(), r.left, r.top, size * bytes,
                                                      canvas.GetImage()->GetRowAddress(r.top) + 4 * r.left,
                                                      canvas.GetImage()->GetPitch(), w, h));
                }
            }
            EXPECT_EQ(SurfaceSet::Bytes(surface, bytes), expected);
        }
    }
}

TEST(MemoryCanvas, ActiveScenePresentsThroughTheScene)
{
    CSurfaceSprite canvas;
    ASSERT_EQ(canvas.Create(32, 16, 32, 2), 0);
    ASSERT_NE(canvas.GetScene(), nullptr);
    ASSERT_NE(canvas.GetOverlayList(), nullptr);
    EXPECT_EQ(canvas.GetScene()->GetOverlay(), canvas.GetOverlayList());
    EXPECT_TRUE(canvas.IsSceneActive());
    EXPECT_EQ(canvas.GetImage()->GetUpdateRegion(), nullptr);
    CPrimitiveObject shape;
    ASSERT_EQ(shape.Setup(8, 8, 0xFF00FF00, 4, 4), 0);
    canvas.GetScene()->GetList().Insert(&shape, 0, 0);
    DcBuffer target(32, 16);
    ASSERT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, true), 0);
    EXPECT_EQ(target.At(5, 5) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(target.At(20, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, true), -1);

    // Inactive: InvalidateRect goes to the image's tracker again; active: to the scene.
    EXPECT_TRUE(canvas.SetSceneActive(false));
    RECT r{0, 0, 4, 4};
    canvas.InvalidateRect(&r);
    EXPECT_EQ(canvas.GetImage()->GetUpdateRegion()->Count(), 1);
    EXPECT_EQ(canvas.GetScene()->GetRegion().Count(), 0);
    canvas.SetSceneActive(true);
    canvas.InvalidateRect(&r);
    EXPECT_EQ(canvas.GetScene()->GetRegion().Count(), 1);
    canvas.GetScene()->GetList().Remove(&shape);
}

TEST(MemoryCanvas, KindTenHasNoDeviceContextTrackerOrFilters)
{
    CSurfaceSprite10 canvas;
    EXPECT_EQ(canvas.GetWidth(), 0);
    ASSERT_EQ(canvas.Create(16, 16, 32, 1), 0);
    EXPECT_EQ(canvas.GetKind(), kSurfaceSprite10);
    EXPECT_EQ(canvas.GetImage()->GetDc(), nullptr);
    EXPECT_EQ(canvas.GetOverlayList(), nullptr);
    canvas.SetSceneActive(false);
    canvas.InvalidateRect(nullptr);
    EXPECT_FALSE(canvas.GetImage()->IsChanged());
    CrossFade filter(3);
    CSurfaceSprite10 back;
    ASSERT_EQ(back.Create(16, 16, 32, 1), 0);
    ASSERT_EQ(canvas.SetBackCanvas(&back), 0);
    EXPECT_EQ(canvas.AttachFilter(&filter, 0, 0, 0), -1);
    // Nothing to copy from: a full present into a DC answers 1 (it used to answer 0).
    DcBuffer target(16, 16);
    EXPECT_EQ(canvas.Present(nullptr, target.dc, nullptr, 0, false), 1);
    EXPECT_EQ(canvas.Restore(false), 0);
}

TEST(MemoryCanvas, CreationAndDepth)
{
    CSurfaceSprite canvas;
    EXPECT_EQ(canvas.SetDepth(8), 1); // no pixels
    EXPECT_EQ(canvas.Create(0, 10, 32, 1), 1);
    EXPECT_EQ(canvas.GetScene(), nullptr);
    ASSERT_EQ(canvas.Create(10, 10, 32, 1), 0);
    EXPECT_EQ(ImagePixel(*canvas.GetImage(), 9, 9), 0u); // black
    ASSERT_EQ(canvas.SetDepth(8), 0);
    EXPECT_EQ(canvas.GetBitsPerPixel(), 8);
    EXPECT_EQ(canvas.GetScene()->GetTarget(), canvas.GetImage());
    EXPECT_EQ(canvas.GetImage()->GetUpdateRegion(), nullptr); // the scene is still active
}

// Two canvases of one size with scenes, each with a background colour.
struct FilterPair {
    FilterPair(LONG w, LONG h, int sceneMode = 1)
    {
        EXPECT_EQ(front.Create(w, h, 32, sceneMode), 0);
        EXPECT_EQ(back.Create(w, h, 32, sceneMode), 0);
        FillPattern(*front.GetImage(), 3);
        FillPattern(*back.GetImage(), 4);
    }
    CSurfaceSprite front, back;
};

TEST(CanvasFilter, Refusals)
{
    CrossFade filter(5);
    CSurfaceSprite plain;
    ASSERT_EQ(plain.Create(8, 8, 32, 0), 0);
    EXPECT_EQ(plain.AttachFilter(&filter, 0, 0, 0), 1);

    FilterPair pair(8, 8);
    EXPECT_EQ(pair.front.AttachFilter(&filter, 0, 0, 0), 2);
    CSurfaceSprite other;
    ASSERT_EQ(other.Create(9, 8, 32, 1), 0);
    EXPECT_EQ(pair.front.SetBackCanvas(&other), 1);
    ASSERT_EQ(other.Create(8, 8, 8, 1), 0);
    EXPECT_EQ(pair.front.SetBackCanvas(&other), 1);
    ASSERT_EQ(pair.front.SetBackCanvas(&pair.back), 0);
    EXPECT_EQ(pair.front.AttachFilter(&filter, 2, 0, 0), 4); // no background images
    CSurfaceSprite sceneless;
    ASSERT_EQ(sceneless.Create(8, 8, 32, 0), 0);
    ASSERT_EQ(pair.front.SetBackCanvas(&sceneless), 0);
    EXPECT_EQ(pair.front.AttachFilter(&filter, 1, 0, 0), 3);
    EXPECT_EQ(pair.front.SetBackCanvas(nullptr), 0);
    EXPECT_EQ(pair.front.GetBackCanvas(), nullptr);

    ASSERT_EQ(pair.front.SetBackCanvas(&pair.back), 0);
    ASSERT_EQ(pair.front.AttachFilter(&filter, 0, 0, 0), 0);
    ASSERT_NE(pair.front.GetFilterImage(), nullptr);
    EXPECT_EQ(pair.front.GetFilterImage()->GetWidth(), 8);
    EXPECT_EQ(pair.front.GetDrawDC(), pair.front.GetFilterImage()->GetDc());
    filter.SetUseCount(1); // the test owns it: the canvas only drops its hold
    pair.front.DetachFilter(false);
    EXPECT_EQ(filter.GetUseCount(), 0u);
}

TEST(CanvasFilter, BandsFollowTheWidthTableAndEqualTheWholePicture)
{
    struct Case {
        LONG width, height;
        size_t bands;
        LONG firstHeight, lastHeight;
    } cases[] = {{200, 100, 7, 16, 4}, {30, 100, 1, 100, 100}, {39, 300, 3, 128, 44}, {320, 20, 3, 8, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        std::vector<uint32_t> pictures[2];
        for (const uint8_t type : {0, 1}) { // even: banded, odd: whole
            FilterPair pair(c.width, c.height);
            ASSERT_EQ(pair.front.SetBackCanvas(&pair.back), 0);
            auto* filter = new CrossFade(4, type);
            ASSERT_EQ(pair.front.AttachFilter(filter, 0, 0, 0), 0);
            DcBuffer target(c.width, c.height);
            ASSERT_EQ(pair.front.Present(nullptr, target.dc, nullptr, 0, true), 0);
            if (type == 0) {
                ASSERT_EQ(filter->jobs.size(), c.bands);
                EXPECT_EQ(filter->jobs.front().bandHeight, c.firstHeight);
                EXPECT_EQ(filter->jobs.back().bandHeight, c.lastHeight);
                EXPECT_EQ(filter->jobs.back().bandY + c.lastHeight, c.height);
                EXPECT_EQ(filter->jobs.front().secondSource, pair.back.GetImage());
            } else {
                ASSERT_EQ(filter->jobs.size(), 1u);
            }
            pictures[type] = target.pixels;
        }
        EXPECT_EQ(pictures[0], pictures[1]);
    }
}

TEST(CanvasFilter, AFilterEndingOnItsFirstStepSwapsTheScenesWhenAsked)
{
    FilterPair pair(24, 10);
    CScene* frontScene = pair.front.GetScene();
    CScene* backScene = pair.back.GetScene();
    ASSERT_EQ(pair.front.SetBackCanvas(&pair.back), 0);
    int deleted = 0;
    auto* filter = new CrossFade(0);
    filter->deleted = &deleted;
    ASSERT_EQ(pair.front.AttachFilter(filter, kFilterModeScene, 1, 0), 0);
    DcBuffer target(24, 10);
    EXPECT_EQ(pair.front.Present(nullptr, target.dc, nullptr, 0, true), 0);
    EXPECT_EQ(deleted, 1); // detached and deleted without drawing
    EXPECT_EQ(target.At(0, 0), 0xDEADBEEFu);
    EXPECT_FALSE(pair.front.HasFilter());
    EXPECT_EQ(pair.front.GetScene(), backScene);
    EXPECT_EQ(pair.back.GetScene(), frontScene);
    EXPECT_EQ(pair.front.GetScene()->GetTarget(), pair.front.GetImage());
    EXPECT_EQ(pair.back.GetScene()->GetTarget(), pair.back.GetImage());
    EXPECT_GT(pair.front.GetScene()->GetRegion().Count(), 0); // both wholly invalidated
    EXPECT_GT(pair.back.GetScene()->GetRegion().Count(), 0);
}

TEST(CanvasFilter, ScenesSwapWhileEachCanvasKeepsItsOverlay)
{
    FilterPair pair(16, 16, 2);
    CDrawList* frontOverlay = pair.front.GetOverlayList();
    CDrawList* backOverlay = pair.back.GetOverlayList();
    // Each side's handler is told once a swap, whichever side asks, after the scenes moved.
    struct Told {
        CImageObject* canvas;
        CScene* sceneSeen = nullptr;
        int times = 0;
    } front{&pair.front}, back{&pair.back};
    const auto tell = [](void* context) {
        auto* told = static_cast<Told*>(context);
        told->sceneSeen = told->canvas->GetScene();
        ++told->times;
    };
    pair.front.SetSceneSwapHandler(tell, &front);
    pair.back.SetSceneSwapHandler(tell, &back);
    CScene* backScene = pair.back.GetScene();
    pair.front.SwapScenes(&pair.back);
    EXPECT_EQ(pair.front.GetScene()->GetOverlay(), frontOverlay);
    EXPECT_EQ(pair.back.GetScene()->GetOverlay(), backOverlay);
    EXPECT_EQ(frontOverlay->GetScene(), pair.front.GetScene());
    EXPECT_EQ(backOverlay->GetScene(), pair.back.GetScene());
    EXPECT_EQ(front.times, 1);
    EXPECT_EQ(back.times, 1);
    EXPECT_EQ(front.sceneSeen, backScene);
    pair.back.SwapScenes(&pair.front);
    EXPECT_EQ(front.times, 2);
    EXPECT_EQ(back.times, 2);
    pair.front.SetSceneSwapHandler(nullptr, nullptr);
    pair.front.SwapScenes(&pair.back);
    EXPECT_EQ(front.times, 2);
    EXPECT_EQ(back.times, 3);
}

TEST(CanvasFilter, ASharedFilterOutlivesOneOfItsCanvases)
{
    int deleted = 0;
    auto* filter = new CrossFade(100);
    filter->deleted = &deleted;
    auto one = std::make_unique<FilterPair>(12, 12);
    auto two = std::make_unique<FilterPair>(12, 12);
    ASSERT_EQ(one->front.SetBackCanvas(&one->back), 0);
    ASSERT_EQ(two->front.SetBackCanvas(&two->back), 0);
    ASSERT_EQ(one->front.AttachFilter(filter, 0, 0, 0), 0);
    ASSERT_EQ(two->front.AttachFilter(filter, 0, 0, 0), 0);
    filter->SetUseCount(1);
    DcBuffer target(12, 12);
    EXPECT_EQ(one->front.Present(nullptr, target.dc, nullptr, 0, true), 0);
    EXPECT_EQ(two->front.Present(nullptr, target.dc, nullptr, 0, true), 0);
    one.reset();
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(filter->GetUseCount(), 0u);
    two.reset();
    EXPECT_EQ(deleted, 1);
}

TEST(CanvasFilter, FramesIntoSurfacesSmallerThanTheCanvas)
{
    SurfaceSet set;
    for (const auto& f : kDeviceFormats) {
        SCOPED_TRACE(f.code);
        FilterPair pair(50, 40);
        ASSERT_EQ(pair.front.SetBackCanvas(&pair.back), 0);
        ASSERT_EQ(pair.front.AttachFilter(new CrossFade(2), 0, 0, 0), 0);
        IDirectDrawSurface7* surface = MakeSurface(set, 30, 20, f);
        ASSERT_EQ(pair.front.Present(nullptr, nullptr, surface, f.code, true), 0);
        const int bytes = PixelFormatBytes(f.code);
        std::vector<BYTE> expected(static_cast<size_t>(30 * 20 * bytes), 0);
        ASSERT_TRUE(ConvertRgb32ToSurface(f.code, expected.data(), 0, 0, 30 * bytes,
                                          pair.front.GetFilterImage()->GetBits(),
                                          pair.front.GetFilterImage()->GetPitch(), 30, 20));
        EXPECT_EQ(SurfaceSet::Bytes(surface, bytes), expected);
    }
}

} // namespace
