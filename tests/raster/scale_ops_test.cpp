// Smooth scaled copies: the same size copies every pixel (key included), strong shrinking is the
// nearest-pixel copy, the bilinear path against its interpolation formula for each depth pair,
// clipping that keeps the sampled positions, plain against SIMD, and the error results.
#include "raster/scale_ops.h"
#include "winapi/simd_level.h"

#include "op_test_util.h"
#include "pixel_test_util.h"

#include <iterator>

using namespace op_test;
using namespace pixel_test;

namespace {

uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f, int channels)
{
    uint32_t out = 0;
    for (int c = 0; c < channels; ++c) {
        out |= uint32_t(Chan(a, c) + FloorShift8((Chan(b, c) - Chan(a, c)) * int(f))) << (8 * c);
    }
    return out;
}

// The bilinear value of destination pixel (i, j) of a sw x sh source scaled to dw x dh.
template <class At> uint32_t Bilinear(At at, int sw, int sh, int dw, int dh, int i, int j, int channels)
{
    const uint64_t xs = (uint64_t(sw - 1) << 32) / dw, ys = (uint64_t(sh - 1) << 32) / dh;
    const uint64_t xp = xs * i, yp = ys * j;
    const int x = int(xp >> 32), y = int(yp >> 32);
    const uint32_t fx = uint32_t(xp) >> 24, fy = uint32_t(yp) >> 24;
    const uint32_t top = Lerp(at(x, y), at(x + 1, y), fx, channels);
    const uint32_t bottom = Lerp(at(x, y + 1), at(x + 1, y + 1), fx, channels);
    return Lerp(top, bottom, fy, channels);
}

} // namespace

TEST(ScaleOps, SameSizeCopiesEveryPixelKeyIncluded)
{
    raster_test::Random random(1);
    auto src = MakeImage(7, 5, 32, random);
    src->SetColorKeyAt(3, 3);
    const DWORD key = src->GetColorKey();
    auto dst = MakeImage(10, 10, 32, random);
    const SIZE size{7, 5};
    ASSERT_EQ(SmoothStretchCopy(*dst, src.get(), &size, 2, 3, nullptr), 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(Px(*dst, x + 2, y + 3), Px(*src, x, y));
        }
    }
    EXPECT_EQ(src->GetColorKey(), key);
    EXPECT_TRUE(Marked(*dst, RECT{2, 3, 9, 8}));
}

TEST(ScaleOps, StrongShrinkIsTheNearestPixelCopy)
{
    raster_test::Random random(2);
    auto src = MakeImage(100, 100, 32, random);
    src->SetColorKeyAt(0, 0);
    auto a = MakeImage(50, 50, 32, random);
    CImage b;
    ASSERT_EQ(b.CopyFrom(a.get(), 0), 0);
    const SIZE size{40, 40};
    ASSERT_EQ(SmoothStretchCopy(*a, src.get(), &size, 0, 0, nullptr), 0);
    CImage unkeyed;
    ASSERT_EQ(unkeyed.CopyFrom(src.get(), 0), 0);
    unkeyed.ClearColorKey();
    ASSERT_EQ(b.StretchCopy(&unkeyed, &size, 0, 0, nullptr, false), 0);
    EXPECT_EQ(raster_test::Snapshot(*a), raster_test::Snapshot(b));
}

TEST(ScaleOps, EightBitCopiesArePlacedByteWise)
{
    raster_test::Random random(6);
    auto src = MakeImage(20, 20, 8, random);
    for (const SIZE size : {SIZE{20, 20}, SIZE{6, 5}}) {
        auto dst = MakeImage(30, 30, 8, random);
        CImage ref;
        ASSERT_EQ(ref.CopyFrom(dst.get(), 0), 0);
        ASSERT_EQ(SmoothStretchCopy(*dst, src.get(), &size, 23, 25, nullptr), 0);
        ASSERT_EQ(ref.StretchCopy(src.get(), &size, 23, 25, nullptr, false), 0);
        EXPECT_EQ(raster_test::Snapshot(*dst), raster_test::Snapshot(ref)) << size.cx;
    }
}

TEST(ScaleOps, BilinearForEachDepthPair)
{
    raster_test::Random random(3);
    const SIZE size{60, 45};
    for (int pair = 0; pair < 3; ++pair) {
        const int sbpp = pair == 0 ? 32 : 8, dbpp = pair == 2 ? 8 : 32;
        auto src = MakeImage(100, 70, sbpp, random);
        uint32_t pal[256];
        for (auto& p : pal) {
            p = random.Next();
        }
        if (pair == 1) {
            ASSERT_EQ(src->SetPaletteEntries(pal, 256, 0), 0);
        }
        const RECT part{10, 5, 90, 65}; // 80 x 60 into 60 x 45: bilinear
        for (int simd = 0; simd < 2; ++simd) {
            SimdSwitch sw(simd);
            auto dst = MakeImage(70, 50, dbpp, random);
            const std::vector<BYTE> before = raster_test::Snapshot(*dst);
            ASSERT_EQ(SmoothStretchCopy(*dst, src.get(), &size, 4, 2, &part), 0);
            auto at = [&](int x, int y) -> uint32_t {
                const BYTE* row = src->GetRowAddress(part.top + y);
                if (sbpp == 32) {
                    uint32_t v;
                    std::memcpy(&v, row + 4 * (part.left + x), 4);
                    return v;
                }
                const BYTE i = row[part.left + x];
                return pair == 1 ? pal[i] : i;
            };
            for (int j = 0; j < 45; ++j) {
                for (int i = 0; i < 60; ++i) {
                    const uint32_t want = Bilinear(at, 80, 60, 60, 45, i, j, dbpp == 32 ? 4 : 1);
                    const uint32_t got = dbpp == 32 ? Px(*dst, 4 + i, 2 + j) : dst->GetRowAddress(2 + j)[4 + i];
                    ASSERT_EQ(got, want) << pair << " simd " << simd << " at " << i << "," << j;
                }
            }
            EXPECT_TRUE(raster_test::SameOutside(*dst, before, RECT{4, 2, 64, 47}));
            EXPECT_TRUE(Marked(*dst, RECT{4, 2, 64, 47}));
        }
    }
}

// The bilinear rows of every SIMD level give the plain rows' pixels: rows narrower than a group
// of eight, rows across the column chunks, enlargements (columns loaded whole) and reductions to
// just over half (columns gathered), from a source rectangle inside a larger picture.
TEST(ScaleOps, BilinearRowsOfEverySimdLevelEqualThePlainRows)
{
    raster_test::Random random(9);
    auto src = MakeImage(2300, 9, 32, random);
    struct Case {
        LONG srcWidth, dstWidth, srcHeight, dstHeight;
    };
    std::vector<Case> cases;
    for (LONG w = 2; w <= 33; ++w) {
        cases.push_back({w, w * 3 / 2 + 1, 5, 7});
        cases.push_back({w + w / 2 + 1, w, 8, 5});
    }
    for (LONG w : {100, 1023, 1025, 2100}) {
        cases.push_back({w * 2 / 3, w, 6, 9});
        cases.push_back({std::min<LONG>(2290, w * 7 / 4), w, 9, 6});
        cases.push_back({w - 1, w, 9, 9});
    }
    uint32_t seed = 90;
    for (const Case& c : cases) {
        const RECT part{3, 0, 3 + c.srcWidth, c.srcHeight};
        const SIZE size{c.dstWidth, c.dstHeight};
        raster_test::Random first(++seed);
        auto plain = MakeImage(c.dstWidth + 2, c.dstHeight + 1, 32, first);
        {
            SimdSwitch sw(false);
            ASSERT_EQ(SmoothStretchCopy(*plain, src.get(), &size, 1, 1, &part), 0);
        }
        // Each level, then the AVX2 level again without its 512-bit twins (the last pass).
        const bool wide = MachineSimdLevel() >= SimdLevel::Avx2 && MachineHasAvx512Bw();
        for (size_t pass = 0; pass < std::size(kAllSimdLevels) + (wide ? 1 : 0); ++pass) {
            const bool narrow = pass == std::size(kAllSimdLevels);
            const SimdLevel level = narrow ? SimdLevel::Avx2 : kAllSimdLevels[pass];
            const ScopedSimdLevel forced(level);
            const ScopedAvx512 twins(!narrow);
            SimdSwitch sw(true);
            raster_test::Random again(seed);
            auto image = MakeImage(c.dstWidth + 2, c.dstHeight + 1, 32, again);
            ASSERT_EQ(SmoothStretchCopy(*image, src.get(), &size, 1, 1, &part), 0);
            ASSERT_TRUE(raster_test::Snapshot(*image) == raster_test::Snapshot(*plain))
                << c.srcWidth << "x" << c.srcHeight << " -> " << c.dstWidth << "x" << c.dstHeight << " level "
                << int(level) << (narrow ? " without 512-bit twins" : "");
        }
    }
}

TEST(ScaleOps, ClippingKeepsTheSampledPositions)
{
    raster_test::Random random(4);
    auto src = MakeImage(30, 20, 32, random);
    const SIZE size{41, 33};
    auto whole = MakeImage(60, 60, 32, random);
    ASSERT_EQ(SmoothStretchCopy(*whole, src.get(), &size, 0, 0, nullptr), 0);
    auto part = MakeImage(20, 20, 32, random);
    const RECT clip{3, 2, 17, 19};
    part->ClipRectToSize(&clip);
    const std::vector<BYTE> before = raster_test::Snapshot(*part);
    ASSERT_EQ(SmoothStretchCopy(*part, src.get(), &size, -7, -5, nullptr), 0);
    for (int y = 2; y < 19; ++y) {
        for (int x = 3; x < 17; ++x) {
            ASSERT_EQ(Px(*part, x, y), Px(*whole, x + 7, y + 5)) << x << "," << y;
        }
    }
    EXPECT_TRUE(raster_test::SameOutside(*part, before, clip));
}

TEST(ScaleOps, ErrorsAndEmptySizes)
{
    raster_test::Random random(5);
    auto src = MakeImage(8, 8, 32, random);
    auto dst8 = MakeImage(8, 8, 8, random);
    auto dst = MakeImage(8, 8, 32, random);
    CImage empty;
    EXPECT_EQ(SmoothStretchCopy(empty, src.get(), nullptr, 0, 0, nullptr), 1);
    EXPECT_EQ(SmoothStretchCopy(*dst, nullptr, nullptr, 0, 0, nullptr), 1);
    EXPECT_EQ(SmoothStretchCopy(*dst8, src.get(), nullptr, 0, 0, nullptr), 2);
    const SIZE zero{0, 5}, negative{-4, -4};
    EXPECT_EQ(SmoothStretchCopy(*dst, src.get(), &zero, 0, 0, nullptr), 0);
    EXPECT_EQ(SmoothStretchCopy(*dst, src.get(), &negative, 0, 0, nullptr), 0);
    const RECT outside{20, 20, 30, 30};
    EXPECT_EQ(SmoothStretchCopy(*dst, src.get(), nullptr, 0, 0, &outside), 0);
    EXPECT_TRUE(Untouched(*dst));
    // An inverted source rectangle is taken by its extent.
    const RECT inverted{6, 6, 2, 2};
    const SIZE same{4, 4};
    ASSERT_EQ(SmoothStretchCopy(*dst, src.get(), &same, 0, 0, &inverted), 0);
    EXPECT_EQ(Px(*dst, 0, 0), Px(*src, 2, 2));
}
