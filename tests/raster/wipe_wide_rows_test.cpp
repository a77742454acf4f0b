// The wipes' 512-bit row blends against the plain row kernels: a run blended with whole aligned
// lines and rows blended with the source mirrored, at every length up to a few lines and every
// alignment of both ends, nothing outside the run touched. Then the entries that draw through
// them (0, the mirrored columns; 4, 18 and 23, rows of their own) with the 512-bit twins on against
// the same steps with them off, and entry 0 against one canvas piece per column: the same pixels
// and bounds on random pictures placed inside and across the destination's edges, with clipped
// sources and destinations, both modes, at every SIMD level.
#include "platform/cpu_info.h"
#include "raster/row_kernels.h"
#include "raster/wipe_canvas.h"
#include "raster/wipe_rows_avx512.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <cstring>
#include <random>

namespace {

using namespace wipetest;

// Random pixels with alpha clear, opaque or between in about equal shares.
void Fill(std::mt19937& rng, std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        const uint32_t v = rng();
        const uint32_t alpha = v % 3 == 0 ? 0u : v % 3 == 1 ? 0xFF000000u : (v << 8) & 0xFF000000u;
        const uint32_t pixel = (v & 0x00FFFFFFu) | alpha;
        std::memcpy(bytes.data() + i, &pixel, 4);
    }
}

TEST(WipeWideRows, BlendTheRowKernelsPixelsAtEveryLengthAndAlignment)
{
    if (!MachineHasAvx512Bw() || !UseAvx2())
        GTEST_SKIP() << "no 512-bit registers";
    std::mt19937 rng(kSeed);
    constexpr size_t kGuard = 128; // bytes on either side that must stay as they were
    constexpr int64_t kLongest = 140;
    // 64-byte aligned, so `from` and `to` are the pixels' places within their lines.
    alignas(64) static uint8_t src[kGuard + 16 * 4 + kLongest * 4 + kGuard];
    alignas(64) static uint8_t start[sizeof(src)], want[sizeof(src)], got[sizeof(src)];
    std::vector<uint8_t> bytes(sizeof(src));
    for (int64_t n = 0; n <= kLongest; ++n)
        for (size_t from = 0; from < 16; ++from)
            for (size_t to = 0; to < 16; ++to) {
                Fill(rng, bytes);
                std::memcpy(src, bytes.data(), sizeof(src));
                Fill(rng, bytes);
                std::memcpy(start, bytes.data(), sizeof(src));
                const uint8_t* const s = src + kGuard + from * 4;
                const size_t at = kGuard + to * 4;
                const int width = static_cast<int>(n);
                // Forwards.
                std::memcpy(want, start, sizeof(src));
                std::memcpy(got, start, sizeof(src));
                if (n > 0)
                    BlendAlphaRows32(want + at, s, 0, 0, width, 1);
                wipe::BlendPixelsAvx512(got + at, s, n);
                ASSERT_EQ(0, std::memcmp(got, want, sizeof(src)))
                    << n << " pixels forwards, source " << from << " and destination " << to;
                // Mirrored: the kernels start one pixel past the source segment's end.
                std::memcpy(want, start, sizeof(src));
                std::memcpy(got, start, sizeof(src));
                if (n > 0)
                    BlendAlphaRows32Mirror(want + at, s + n * 4, 0, 0, width, 1);
                wipe::MirroredBlendRowsAvx512(got + at, s + n * 4, 0, 0, width, 1);
                ASSERT_EQ(0, std::memcmp(got, want, sizeof(src)))
                    << n << " pixels mirrored, source " << from << " and destination " << to;
            }
}

TEST(WipeWideRows, MirroredRowsFollowTheirPitches)
{
    if (!MachineHasAvx512Bw() || !UseAvx2())
        GTEST_SKIP() << "no 512-bit registers";
    std::mt19937 rng(kSeed + 2);
    struct Shape {
        int width, rows;
        ptrdiff_t dstPitch, srcPitch; // in pixels
    };
    const Shape shapes[] = {{37, 5, 40, 50}, {16, 3, 16, 16}, {64, 4, 70, 64}, {3, 6, 9, 4}, {100, 2, 101, 130}};
    for (const Shape& k : shapes) {
        std::vector<uint8_t> src(static_cast<size_t>(k.srcPitch * k.rows) * 4);
        std::vector<uint8_t> want(static_cast<size_t>(k.dstPitch * k.rows) * 4);
        Fill(rng, src);
        Fill(rng, want);
        std::vector<uint8_t> got = want;
        const int dstSkip = static_cast<int>(k.dstPitch - k.width) * 4;
        const int srcSkip = static_cast<int>(k.srcPitch + k.width) * 4;
        BlendAlphaRows32Mirror(want.data(), src.data() + k.width * 4, dstSkip, srcSkip, k.width, k.rows);
        wipe::MirroredBlendRowsAvx512(got.data(), src.data() + k.width * 4, k.dstPitch * 4, k.srcPitch * 4, k.width,
                                      k.rows);
        ASSERT_EQ(got, want) << k.width << " x " << k.rows;
    }
}

class WipeWideRowsTest : public WipeTest {
protected:
    // Entry 0 as one canvas piece per column.
    static Drawn MirrorByColumns(const PlacedCase& k, const CImage& start, CImage& src, int32_t mode)
    {
        auto dst = PlacedStart(k, start);
        {
            int32_t result = 0;
            CWipeCanvas canvas;
            EXPECT_TRUE(canvas.Begin(dst.get(), &src, 100, k.x, k.y, mode, nullptr, &result));
            const int64_t w = src.GetWidth(), h = src.GetHeight();
            for (int64_t i = 0; i < w; ++i)
                canvas.PieceAt(i, 0, i + 1, h, int64_t{k.x} + w - 1 - i, k.y);
        }
        return Drawn{Pixels(*dst), dst->GetUpdateRegion()->Bounds()};
    }
};

// The row kernels' placements, and rows of interleaves in every phase.
const std::vector<PlacedCase> kCases = [] {
    std::vector<PlacedCase> cases = kRowPlacements;
    cases.push_back({129, 23, 140, 30, 5, 4, false, false});
    return cases;
}();

TEST_F(WipeWideRowsTest, EntriesDrawTheSamePixelsWithTheWideRowsOnAndOff)
{
    ExpectWideRowsMatchPlain(kSeed + 1, kCases, {0, 4, 17, 18, 19, 23, 32, 33}, {1, 64, 128, 129, 192, 255});
}

TEST_F(WipeWideRowsTest, MirroredColumnsDrawTheCanvasPiecesOfEachColumn)
{
    std::mt19937 rng(kSeed + 3);
    for (const PlacedCase& k : kCases) {
        auto src = PlacedSource(rng, k);
        auto start = NoisyImage(rng, k.dw, k.dh, kImageWithTracker);
        for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha}) {
            Drawn pieces;
            {
                ScopedSimdLevel level(SimdLevel::Plain);
                pieces = MirrorByColumns(k, *start, *src, mode);
            }
            AtEverySimdSetting([&] {
                const Drawn got = DrawPlaced(0, k, *start, *src, 100, mode);
                ASSERT_EQ(got.pixels, pieces.pixels)
                    << k.sw << "x" << k.sh << " on " << k.dw << "x" << k.dh << " at " << k.x << ", " << k.y
                    << ", mode " << mode;
                EXPECT_TRUE(SameRect(got.changed, pieces.changed));
            });
        }
    }
}

} // namespace
