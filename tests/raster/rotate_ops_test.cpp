// Quad mapping, rotation and zoom on images: exact pictures for zoom 1, 2 and right angles, the
// changed rectangle, angles of any size, zoom 0 and negative, the blend form against the copy,
// and random placements that must leave everything outside the clip rectangle alone.
#include "raster/rotate_ops.h"

#include "platform/cos_table.h"
#include "raster/pixel_lib_entries.h"
#include "winapi/simd_level.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

#include <array>
#include <climits>

using namespace op_test;
using namespace pixel_test;

namespace {

class RotateOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = g_pCosTable;
        g_pCosTable = &m_table;
    }
    void TearDown() override { g_pCosTable = m_saved; }
    CCosTable m_table;
    CCosTable* m_saved = nullptr;
};

int Sample(int i, int extent, int n) { return n <= 1 ? 0 : int(int64_t(i) * (extent - 1) / (n - 1)); }

} // namespace

TEST_F(RotateOps, ZoomOneTwoAndHalfArePixelExact)
{
    raster_test::Random random(1);
    auto src = MakeImage(9, 7, 32, random);
    const RECT part{1, 2, 7, 6}; // 6 x 4
    for (int zoom : {65536, 131072, 32768}) {
        auto base = MakeImage(30, 25, 32, random);
        CImage dst;
        ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
        dst.SetChanged(false);
        ASSERT_EQ(RotateZoom(dst, src.get(), 0, 5, 4, 0, zoom, &part, nullptr), 0);
        const int W = 6 * zoom / 65536, H = 4 * zoom / 65536;
        for (int y = 0; y < 25; ++y) {
            for (int x = 0; x < 30; ++x) {
                const bool in = x >= 5 && x < 5 + W && y >= 4 && y < 4 + H;
                const uint32_t want = in ? Px(*src, 1 + Sample(x - 5, 6, W), 2 + Sample(y - 4, 4, H)) : Px(*base, x, y);
                ASSERT_EQ(Px(dst, x, y), want) << zoom << " at " << x << "," << y;
            }
        }
        EXPECT_TRUE(Marked(dst, RECT{5, 4, 5 + W, 4 + H}));
    }
}

TEST_F(RotateOps, QuarterTurnAboutTheCentre)
{
    raster_test::Random random(2);
    auto src = MakeImage(6, 4, 32, random);
    // Angles 128, 128 + 512 and -384 are the same quarter turn; its right edge moves to the top.
    for (int angle : {128, 640, -384}) {
        auto base = MakeImage(24, 24, 32, random);
        CImage dst;
        ASSERT_EQ(dst.CopyFrom(base.get(), 0), 0);
        ASSERT_EQ(RotateZoom(dst, src.get(), 4, 10, 10, angle, 65536, nullptr, nullptr), 0);
        for (int y = 0; y < 24; ++y) {
            for (int x = 0; x < 24; ++x) {
                const bool in = x >= 11 && x < 15 && y >= 9 && y < 15;
                const uint32_t want = in ? Px(*src, 5 - (y - 9), x - 11) : Px(*base, x, y);
                ASSERT_EQ(Px(dst, x, y), want) << angle << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(RotateOps, ZoomAndAngleExtremes)
{
    raster_test::Random random(3);
    auto src = MakeImage(8, 8, 32, random);
    auto base = MakeImage(16, 16, 32, random);
    CImage dst;
    ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
    dst.SetChanged(false);
    // Zoom 0 draws nothing; corners that leave 32 bits draw nothing either.
    EXPECT_EQ(RotateZoom(dst, src.get(), 4, 3, 3, 77, 0, nullptr, nullptr), 0);
    EXPECT_EQ(RotateZoom(dst, src.get(), 0, INT_MAX - 4, 3, 0, 4 * 65536, nullptr, nullptr), 0);
    EXPECT_EQ(RotateZoom(dst, src.get(), 3, INT_MIN + 4, INT_MIN, 200, INT_MAX, nullptr, nullptr), 0);
    EXPECT_TRUE(Untouched(dst));
    // INT_MIN is a whole number of turns: the identity.
    ASSERT_EQ(RotateZoom(dst, src.get(), 0, 4, 4, INT_MIN, 65536, nullptr, nullptr), 0);
    EXPECT_EQ(Px(dst, 4, 4), Px(*src, 0, 0));
    EXPECT_EQ(Px(dst, 11, 11), Px(*src, 7, 7));
    // A negative zoom mirrors through the pivot (a half turn of the picture here).
    CImage mirrored;
    ASSERT_EQ(mirrored.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(RotateZoom(mirrored, src.get(), 0, 12, 12, 0, -65536, nullptr, nullptr), 0);
    EXPECT_EQ(Px(mirrored, 11, 11), Px(*src, 0, 0));
    EXPECT_EQ(Px(mirrored, 4, 4), Px(*src, 7, 7));
    // Errors.
    CImage empty;
    auto src8 = MakeImage(4, 4, 8, random);
    EXPECT_EQ(RotateZoom(empty, src.get(), 0, 0, 0, 0, 65536, nullptr, nullptr), 1);
    EXPECT_EQ(RotateZoom(dst, nullptr, 0, 0, 0, 0, 65536, nullptr, nullptr), 1);
    EXPECT_EQ(RotateZoomBlend(dst, src8.get(), 0, 0, 0, 0, 65536, 255, nullptr, nullptr), 2);
    g_pCosTable = nullptr;
    EXPECT_EQ(RotateZoom(dst, src.get(), 0, 0, 0, 0, 65536, nullptr, nullptr), 1);
}

TEST_F(RotateOps, BlendAtFullLevelOverOpaqueSourceIsTheCopy)
{
    raster_test::Random random(4);
    auto src = MakeImage(11, 9, 32, random);
    for (LONG y = 0; y < 9; ++y) {
        for (LONG x = 0; x < 11; ++x) {
            SetPx(*src, x, y, Px(*src, x, y) | 0xFF000000u);
        }
    }
    auto base = MakeImage(30, 30, 32, random);
    for (int angle : {0, 37, 128, 300}) {
        CImage copy, plain, simd;
        ASSERT_EQ(copy.CopyFrom(base.get(), 0), 0);
        ASSERT_EQ(plain.CopyFrom(base.get(), 0), 0);
        ASSERT_EQ(simd.CopyFrom(base.get(), 0), 0);
        ASSERT_EQ(RotateZoom(copy, src.get(), 4, 8, 8, angle, 90000, nullptr, nullptr), 0);
        {
            SimdSwitch sw(false);
            ASSERT_EQ(RotateZoomBlend(plain, src.get(), 4, 8, 8, angle, 90000, 255, nullptr, nullptr), 0);
        }
        {
            SimdSwitch sw(true);
            ASSERT_EQ(RotateZoomBlend(simd, src.get(), 4, 8, 8, angle, 90000, 255, nullptr, nullptr), 0);
        }
        // The blend keeps the destination alpha; colours equal the copy's.
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 30; ++x) {
                ASSERT_EQ(Px(plain, x, y), (Px(copy, x, y) & 0xFFFFFF) | (Px(*base, x, y) & 0xFF000000u));
                ASSERT_EQ(Px(simd, x, y), Px(plain, x, y));
            }
        }
    }
}

TEST_F(RotateOps, QuadsAndTheChangedRectangle)
{
    raster_test::Random random(5);
    auto src = MakeImage(8, 6, 32, random);
    auto base = MakeImage(20, 20, 32, random);
    // MapQuadToRect of the source's rectangle quad onto a rectangle of the same size shows the
    // source's pixels (its last column and row are the quad's far edge and stay untouched).
    CImage dst;
    ASSERT_EQ(dst.CopyFrom(base.get(), kImageWithTracker), 0);
    POINT sq[4];
    RectQuad(RECT{0, 0, 8, 6}, sq);
    const RECT to{3, 4, 11, 10};
    ASSERT_EQ(MapQuadToRect(dst, src.get(), sq, &to, nullptr), 0);
    for (int y = 4; y < 10; ++y) {
        for (int x = 3; x < 11; ++x) {
            const uint32_t want = x < 10 && y < 9 ? Px(*src, x - 3, y - 4) : Px(*base, x, y);
            ASSERT_EQ(Px(dst, x, y), want) << x << "," << y;
        }
    }
    // An empty or inverted rectangle (even at the 32-bit edge) has nothing to map onto.
    const RECT inverted{5, 5, INT_MIN, INT_MIN};
    CImage same;
    ASSERT_EQ(same.CopyFrom(base.get(), kImageWithTracker), 0);
    same.SetChanged(false);
    EXPECT_EQ(MapQuadToRect(same, src.get(), sq, &inverted, nullptr), 0);
    EXPECT_TRUE(Untouched(same));
    // A quad whose second-highest point is the corner opposite the highest draws nothing but still
    // reports its bounding box, cut to the clip rectangle.
    CImage odd;
    ASSERT_EQ(odd.CopyFrom(base.get(), kImageWithTracker), 0);
    odd.SetChanged(false);
    const POINT crossed[4] = {{5, 0}, {0, 10}, {30, 10}, {6, 1}};
    ASSERT_EQ(MapQuadCore(odd, src.get(), crossed, sq, nullptr, 0), 0);
    EXPECT_EQ(raster_test::Snapshot(odd), raster_test::Snapshot(*base));
    EXPECT_TRUE(Marked(odd, RECT{0, 0, 20, 10}));
    // A keyed source skips its key texels.
    auto keyed = MakeImage(8, 6, 32, random);
    SetPx(*keyed, 2, 2, Px(*keyed, 0, 0));
    keyed->SetColorKeyAt(0, 0);
    CImage k;
    ASSERT_EQ(k.CopyFrom(base.get(), 0), 0);
    ASSERT_EQ(MapQuad(k, keyed.get(), std::array<POINT, 4>{POINT{0, 0}, {8, 0}, {0, 6}, {8, 6}}.data(), nullptr,
                      nullptr),
              0);
    EXPECT_EQ(Px(k, 0, 0), Px(*base, 0, 0));
    EXPECT_EQ(Px(k, 2, 2), Px(*base, 2, 2));
    EXPECT_EQ(Px(k, 1, 0), Px(*keyed, 1, 0));
}

TEST_F(RotateOps, NothingOutsideTheClipChanges)
{
    raster_test::Random random(6);
    auto src = MakeImage(13, 10, 32, random);
    for (int rep = 0; rep < 400; ++rep) {
        auto base = MakeImage(1 + random.Range(0, 40), 1 + random.Range(0, 30), 32, random);
        CImage dst;
        ASSERT_EQ(dst.CopyFrom(base.get(), 0), 0);
        const RECT clip{random.Range(-5, 20), random.Range(-5, 20), random.Range(0, 45), random.Range(0, 35)};
        const bool withClip = rep % 2 == 0;
        const int zoom = random.Range(-200000, 400000);
        const int angle = int(random.Next());
        const RECT part{random.Range(-5, 10), random.Range(-5, 8), random.Range(0, 20), random.Range(0, 15)};
        const LONG x = random.Range(-60, 60), y = random.Range(-60, 60);
        if (rep % 3 == 0) {
            ASSERT_EQ(RotateZoomBlend(dst, src.get(), BYTE(rep % 6), x, y, angle, zoom, BYTE(random.Next()), &part,
                                      withClip ? &clip : nullptr),
                      0);
        } else {
            ASSERT_EQ(RotateZoom(dst, src.get(), BYTE(rep % 6), x, y, angle, zoom, rep % 5 ? &part : nullptr,
                                 withClip ? &clip : nullptr),
                      0);
        }
        RECT allowed{0, 0, base->GetWidth(), base->GetHeight()};
        if (withClip) {
            allowed.left = std::max(allowed.left, clip.left);
            allowed.top = std::max(allowed.top, clip.top);
            allowed.right = std::min(allowed.right, clip.right);
            allowed.bottom = std::min(allowed.bottom, clip.bottom);
        }
        if (allowed.left >= allowed.right || allowed.top >= allowed.bottom) {
            allowed = RECT{0, 0, 0, 0};
        }
        ASSERT_TRUE(raster_test::SameOutside(dst, raster_test::Snapshot(*base), allowed)) << rep;
    }
}

TEST_F(RotateOps, MapQuadOnColourEqualsAFillThenTheMapping)
{
    // Random quads (tilted, crossed, flat, reaching past the picture), fills and clips against the
    // fill followed by MapQuad, a keyed source among them (which takes the two steps).
    raster_test::Random random(11);
    for (int rep = 0; rep < 300; ++rep) {
        auto src = MakeImage(random.Range(1, 24), random.Range(1, 24), 32, random);
        if (rep % 10 == 9) {
            ASSERT_EQ(src->SetColorKeyAt(0, 0), 0);
        }
        auto base = MakeImage(random.Range(1, 40), random.Range(1, 40), 32, random);
        POINT quad[4];
        for (POINT& p : quad) {
            p = POINT{random.Range(-10, 50), random.Range(-10, 50)};
        }
        if (rep % 3 == 0) {
            // A tilted rectangle's corners: convex, as the transitions make them.
            const int l = random.Range(-5, 20), t = random.Range(-5, 20), w = random.Range(0, 30),
                      h = random.Range(0, 30), lean = random.Range(-6, 6);
            quad[0] = POINT{l + lean, t};
            quad[1] = POINT{l + w, t + lean};
            quad[2] = POINT{l, t + h - lean};
            quad[3] = POINT{l + w - lean, t + h};
        }
        const RECT fill{random.Range(-5, 30), random.Range(-5, 30), random.Range(-5, 45), random.Range(-5, 45)};
        const RECT clip{random.Range(-5, 20), random.Range(-5, 20), random.Range(0, 45), random.Range(0, 45)};
        const RECT* clipUsed = rep % 4 == 0 ? nullptr : &clip;
        const DWORD colour = random.Next();
        CImage want, got;
        ASSERT_EQ(want.CopyFrom(base.get(), kImageWithTracker), 0);
        ASSERT_EQ(got.CopyFrom(base.get(), kImageWithTracker), 0);
        want.SetChanged(false);
        got.SetChanged(false);
        RECT area = fill;
        if (want.ClipRectToBounds(&area) && area.left < area.right && area.top < area.bottom) {
            for (LONG y = area.top; y < area.bottom; ++y) {
                for (LONG x = area.left; x < area.right; ++x) {
                    SetPx(want, x, y, colour);
                }
            }
        }
        const int wantCode = MapQuad(want, src.get(), quad, nullptr, clipUsed);
        EXPECT_EQ(MapQuadOnColour(got, src.get(), quad, nullptr, clipUsed, fill, colour), wantCode);
        ASSERT_EQ(raster_test::Snapshot(got), raster_test::Snapshot(want)) << rep;
        EXPECT_EQ(got.IsChanged(), want.IsChanged()) << rep;
        if (want.GetUpdateRegion()->BoundsValid()) {
            EXPECT_TRUE(Marked(got, want.GetUpdateRegion()->Bounds())) << rep;
        }
    }
}

TEST_F(RotateOps, ParallelogramOnPictureEqualsACopyThenTheLibraryQuad)
{
    // Random parallelograms (turned, fractional corners, reaching past the picture), areas,
    // background offsets and source rectangles against copying the background onto the area and
    // then drawing with the library's bilinear quad entry, at every SIMD level.
    raster_test::Random random(23);
    const PixelLibEntries library = pixel_lib::Entries();
    for (int rep = 0; rep < 300; ++rep) {
        auto src = MakeImage(random.Range(1, 24), random.Range(1, 24), 32, random);
        auto background = MakeImage(random.Range(1, 40), random.Range(1, 40), 32, random);
        auto base = MakeImage(random.Range(1, 40), random.Range(1, 40), 32, random);
        const LONG aw = random.Range(1, std::min(base->GetWidth(), background->GetWidth()));
        const LONG ah = random.Range(1, std::min(base->GetHeight(), background->GetHeight()));
        const LONG ax = random.Range(0, base->GetWidth() - aw), ay = random.Range(0, base->GetHeight() - ah);
        const LONG bx = random.Range(0, background->GetWidth() - aw), by = random.Range(0, background->GetHeight() - ah);
        const RECT area{ax, ay, ax + aw, ay + ah};
        const double cx = random.Range(-100, 500) / 10.0, cy = random.Range(-100, 500) / 10.0;
        const double angle = random.Range(0, 628) / 100.0, hw = random.Range(1, 300) / 10.0,
                     hh = random.Range(1, 300) / 10.0;
        const double c = std::cos(angle), s = std::sin(angle);
        const double local[3][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}};
        double corners[3][2];
        PixelLibPoint points[3];
        for (int i = 0; i < 3; ++i) {
            corners[i][0] = cx + local[i][0] * c - local[i][1] * s;
            corners[i][1] = cy + local[i][0] * s + local[i][1] * c;
            points[i] = PixelLibPoint{corners[i][0], corners[i][1]};
        }
        const RECT from{random.Range(-3, 10), random.Range(-3, 10), random.Range(0, 30), random.Range(0, 30)};
        CImage want;
        ASSERT_EQ(want.CopyFrom(base.get(), kImageWithTracker), 0);
        const RECT part{bx, by, bx + aw, by + ah};
        ASSERT_EQ(want.Copy(background.get(), ax, ay, &part, false), 0);
        ASSERT_EQ(library.drawQuad(&want, src.get(), points, &from, 0, 1, 255, 0, 0, 0, nullptr), 0);
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel forced(level);
            for (bool simd : {false, true}) {
                SimdSwitch simdSwitch(simd);
                CImage got;
                ASSERT_EQ(got.CopyFrom(base.get(), kImageWithTracker), 0);
                got.SetChanged(false);
                ASSERT_EQ(DrawParallelogramOnPicture(got, src.get(), corners, from, area, background.get(), bx, by), 0);
                ASSERT_EQ(raster_test::Snapshot(got), raster_test::Snapshot(want))
                    << rep << ", level " << int(level) << ", simd " << simd;
                EXPECT_TRUE(got.IsChanged());
            }
        }
    }
}
