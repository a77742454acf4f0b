// Entry 4's rows, moved a few pixels each, copied through the 512-bit copy against the pieces the
// canvas cuts and draws itself: the same pixels and the same bounds of what changed, on random
// pictures placed inside and across the destination's edges, with clipped sources and
// destinations, both modes, at every SIMD level and with the 512-bit twins off and on. The copy
// itself against memcpy at every length up to a few lines and every alignment of both ends.
#include "platform/cpu_info.h"
#include "raster/wipe_basic_rows.h"
#include "raster/wipe_canvas.h"
#include "winapi/simd_level.h"
#include "wipe_test_util.h"

#include <cstring>
#include <random>

namespace {

using namespace wipetest;

TEST(WipeJitterRowsCopy, CopiesTheBytesOfMemcpyAtEveryAlignment)
{
    if (!MachineHasAvx512Bw() || !UseAvx2())
        GTEST_SKIP() << "no 512-bit registers";
    std::mt19937 rng(kSeed);
    constexpr size_t kGuard = 128; // bytes on either side that must stay as they were
    std::vector<uint8_t> src(kGuard + 16 * 4 + 260 * 4 + kGuard), want, got;
    for (uint8_t& b : src)
        b = static_cast<uint8_t>(rng());
    for (int64_t n = 0; n <= 260; ++n)
        for (size_t from = 0; from < 16; ++from)
            for (size_t to = 0; to < 16; ++to) {
                want.assign(src.size(), 0);
                for (uint8_t& b : want)
                    b = static_cast<uint8_t>(rng());
                got = want;
                uint8_t* const s = src.data() + kGuard + from * 4;
                std::memcpy(want.data() + kGuard + to * 4, s, static_cast<size_t>(n) * 4);
                wipe::rows_detail::CopyPixelsAvx512(got.data() + kGuard + to * 4, s, n);
                ASSERT_EQ(got, want) << n << " pixels, source " << from << " and destination " << to
                                     << " pixels into their lines";
            }
}

using WipeJitterRowsTest = WipeTest;

TEST_F(WipeJitterRowsTest, WideCopiesDrawThePiecesOfTheCanvas)
{
    std::mt19937 rng(kSeed + 1);
    for (const PlacedCase& k : kRowPlacements) {
        auto src = PlacedSource(rng, k);
        auto start = NoisyImage(rng, k.dw, k.dh, kImageWithTracker);
        for (int32_t mode : {kTransitionCopy, kTransitionBlendAlpha})
            for (int32_t progress : {1, 100, 200, 250}) {
                Drawn plain;
                {
                    ScopedAvx512 narrow(false);
                    plain = DrawPlaced(4, k, *start, *src, progress, mode);
                }
                AtEverySimdSetting([&] {
                    const Drawn wide = DrawPlaced(4, k, *start, *src, progress, mode);
                    ASSERT_EQ(wide.pixels, plain.pixels)
                        << k.sw << "x" << k.sh << " on " << k.dw << "x" << k.dh << " at " << k.x << ", " << k.y
                        << ", mode " << mode << ", progress " << progress;
                    EXPECT_TRUE(SameRect(wide.changed, plain.changed));
                });
            }
    }
}

} // namespace
