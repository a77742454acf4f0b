// Copies onto memory images from surfaces of any kind: DirectDraw surfaces through their device
// context (placed, clipped, stretched, and refused when the context cannot be had), memory images
// through the raster copies, and the error results.
#include "raster/device_copy_ops.h"

#include "op_test_util.h"
#include "wipe_test_util.h"

using namespace op_test;

namespace {

std::unique_ptr<CImage> DcImage(int w, int h, raster_test::Random& random)
{
    auto image = std::make_unique<CImage>();
    EXPECT_EQ(image->Create(w, h, 32, kImageWithDc | kImageWithTracker), 0);
    raster_test::FillRandom(*image, random);
    image->SetChanged(false);
    return image;
}

} // namespace

TEST(DeviceCopyOps, CopiesFromADirectDrawSurface)
{
    raster_test::Random random(1);
    wipetest::DeviceSet devices;
    auto pixels = MakeImage(9, 7, 32, random);
    wipetest::TestDeviceImage device(devices.SurfaceLike(*pixels));
    struct Case {
        const char* what;
        LONG x, y;
        bool hasRect;
        RECT rect;
        RECT drawn; // destination rectangle
        LONG sx, sy; // source pixel drawn at the rectangle's top-left
    };
    const Case cases[] = {
        {"whole surface", 2, 3, false, {}, {2, 3, 11, 10}, 0, 0},
        {"cut at left and top", -3, -2, false, {}, {0, 0, 6, 5}, 3, 2},
        {"part", 1, 1, true, {2, 1, 6, 4}, {1, 1, 5, 4}, 2, 1},
        {"part reaching outside the surface", 0, 0, true, {-2, -1, 20, 3}, {2, 1, 11, 4}, 0, 0},
    };
    for (const Case& c : cases) {
        auto base = DcImage(14, 12, random);
        CImage dst;
        ASSERT_EQ(dst.Create(14, 12, 32, kImageWithDc | kImageWithTracker), 0);
        ASSERT_EQ(dst.Copy(base.get(), 0, 0, nullptr, false), 0);
        dst.SetChanged(false);
        dst.GetUpdateRegion()->Reset();
        ASSERT_EQ(CopyFromAny(dst, &device, c.x, c.y, c.hasRect ? &c.rect : nullptr), 0) << c.what;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 14; ++x) {
                const bool in = x >= c.drawn.left && x < c.drawn.right && y >= c.drawn.top && y < c.drawn.bottom;
                const uint32_t want = in ? Px(*pixels, c.sx + x - c.drawn.left, c.sy + y - c.drawn.top) : Px(*base, x, y);
                ASSERT_EQ(Px(dst, x, y) & 0xFFFFFF, want & 0xFFFFFF) << c.what << " at " << x << "," << y;
            }
        }
        EXPECT_TRUE(Marked(dst, c.drawn)) << c.what;
    }
}

TEST(DeviceCopyOps, StretchesFromADirectDrawSurface)
{
    raster_test::Random random(2);
    wipetest::DeviceSet devices;
    auto pixels = MakeImage(4, 3, 32, random);
    wipetest::TestDeviceImage device(devices.SurfaceLike(*pixels), 1);
    auto dst = DcImage(12, 10, random);
    const SIZE size{8, 6};
    ASSERT_EQ(StretchCopyFromAny(*dst, &device, &size, 1, 2, nullptr), 0);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(Px(*dst, 1 + x, 2 + y) & 0xFFFFFF, Px(*pixels, x / 2, y / 2) & 0xFFFFFF) << x << "," << y;
        }
    }
    EXPECT_TRUE(Marked(*dst, RECT{1, 2, 9, 8}));
}

TEST(DeviceCopyOps, RefusalsLeaveTheDestination)
{
    raster_test::Random random(3);
    wipetest::DeviceSet devices;
    auto pixels = MakeImage(6, 6, 32, random);
    IDirectDrawSurface7* surface = devices.SurfaceLike(*pixels);
    wipetest::TestDeviceImage device(surface);
    auto dst = DcImage(8, 8, random);
    const std::vector<BYTE> before = raster_test::Snapshot(*dst);
    // A locked surface gives no device context: 2.
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(surface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(CopyFromAny(*dst, &device, 0, 0, nullptr), 2);
    EXPECT_EQ(StretchCopyFromAny(*dst, &device, nullptr, 0, 0, nullptr), 2);
    surface->Unlock(nullptr);
    // No destination context, no source, no DirectDraw surface, an unknown kind: 1.
    auto heap = MakeImage(8, 8, 32, random);
    EXPECT_EQ(CopyFromAny(*heap, &device, 0, 0, nullptr), 1);
    EXPECT_EQ(CopyFromAny(*dst, nullptr, 0, 0, nullptr), 1);
    wipetest::TestDeviceImage none(nullptr);
    EXPECT_EQ(CopyFromAny(*dst, &none, 0, 0, nullptr), 1);
    wipetest::TestDeviceImage odd(surface, 5);
    EXPECT_EQ(CopyFromAny(*dst, &odd, 0, 0, nullptr), 1);
    // Nothing left after clipping: 0 and nothing recorded.
    EXPECT_EQ(CopyFromAny(*dst, &device, 50, 0, nullptr), 0);
    EXPECT_EQ(raster_test::Snapshot(*dst), before);
    EXPECT_TRUE(Untouched(*dst));
}

TEST(DeviceCopyOps, MemoryKindsUseTheRasterCopy)
{
    raster_test::Random random(4);
    auto src = MakeImage(5, 5, 32, random);
    auto a = DcImage(9, 9, random);
    CImage b;
    ASSERT_EQ(b.CopyFrom(a.get(), 0), 0);
    ASSERT_EQ(CopyFromAny(*a, src.get(), 2, 2, nullptr), 0);
    ASSERT_EQ(b.Copy(src.get(), 2, 2, nullptr, false), 0);
    EXPECT_EQ(raster_test::Snapshot(*a), raster_test::Snapshot(b));
    const SIZE size{3, 7};
    ASSERT_EQ(StretchCopyFromAny(*a, src.get(), &size, 1, 0, nullptr), 0);
    ASSERT_EQ(b.StretchCopy(src.get(), &size, 1, 0, nullptr, false), 0);
    EXPECT_EQ(raster_test::Snapshot(*a), raster_test::Snapshot(b));
}
