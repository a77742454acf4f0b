// The sprite blend against the plain alpha blend at every SIMD level, with the 512-bit twins and
// without, and with the SIMD switch off: sprite-like sources (runs of opaque, transparent and soft
// pixels starting anywhere, so that the groups the fast walk copies or skips whole fall at every
// offset and the row's last pixels take every count, the narrow rows of small flakes too),
// destinations with their alpha set or clear, band-high and taller blocks, downward and upward
// walks, guard bytes around every buffer.
#include "platform/cpu_info.h"
#include "raster/row_kernels.h"
#include "raster/sprite_rows.h"
#include "support/pixel_buffers.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace raster_test;

namespace {

// Alpha of the source in runs: 0, 255 or random, each run 1 to maxRun pixels; the destination's
// alpha cleared where asked.
void MakeSpriteRuns(GuardedPlane& src, GuardedPlane& dst, Random& random, int maxRun, bool clearDst)
{
    random.FillPixels(src.buffer.data(), src.buffer.size() / 4);
    random.FillPixels(dst.buffer.data(), dst.buffer.size() / 4);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width;) {
            const int run = random.Range(1, maxRun), kind = random.Range(0, 2);
            for (const int end = std::min(src.width, x + run); x < end; ++x) {
                BYTE* p = src.At(x, y);
                p[3] = kind == 0 ? 0 : kind == 1 ? 255 : p[3];
                if (clearDst) {
                    dst.At(x, y)[3] = 0;
                }
            }
        }
    }
}

void Draw(void (*kernel)(BYTE*, const BYTE*, int, int, int, int), GuardedPlane& dst, GuardedPlane& src, bool upward)
{
    const int rowBytes = src.width * 4;
    const BYTE* first = upward ? src.Row(src.height - 1) : src.Row(0);
    const int step = upward ? -src.pitch : src.pitch;
    kernel(dst.Row(0), first, dst.pitch - rowBytes, step - rowBytes, src.width, src.height);
}

}  // namespace

TEST(SpriteRows, BlendEqualsThePlainAlphaBlend)
{
    const uint8_t savedSwitch = g_bUseMmx;
    Random random(49);
    for (SimdLevel level : kAllSimdLevels) {
        for (bool wide : {false, true}) {
            const ScopedSimdLevel forced(level);
            const ScopedAvx512 twins(wide);
            for (uint8_t simdSwitch : {0, 1}) {
                g_bUseMmx = simdSwitch;
                for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 39, 40, 47, 64, 65, 100, 161, 257}) {
                    for (int height : {1, 2, 8, 17, 33}) {
                        for (int maxRun : {3, 24, 90}) {
                            for (bool clearDst : {false, true}) {
                                for (bool upward : {false, true}) {
                                    GuardedPlane src(width, height, 4), a(width, height, 4), b(width, height, 4);
                                    MakeSpriteRuns(src, a, random, maxRun, clearDst);
                                    std::memcpy(b.buffer.data(), a.buffer.data(), a.buffer.size());
                                    Draw(BlendAlphaRows32, a, src, upward);
                                    Draw(BlendSpriteRows32, b, src, upward);
                                    ASSERT_EQ(0, std::memcmp(a.buffer.data(), b.buffer.data(), a.buffer.size()))
                                        << "level " << static_cast<int>(ActiveSimdLevel()) << " 512-bit " << wide << " switch "
                                        << int(simdSwitch) << " width " << width << " height " << height << " runs "
                                        << maxRun << (clearDst ? " clear" : "") << (upward ? " upward" : "");
                                    ASSERT_TRUE(a.buffer.GuardsIntact() && b.buffer.GuardsIntact() &&
                                                src.buffer.GuardsIntact())
                                        << "width " << width << " height " << height;
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    g_bUseMmx = savedSwitch;
}
