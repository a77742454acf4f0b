// The rows of the dissolves and the noisy circle drawn straight from their draws: the 512-bit rows
// against the AVX2 rows on random pictures, the same pixels, extents and draws left in the shared
// random state, for parts that rise, fall or mix, levels and radii that leave whole stretches shown
// or hidden, widths whose blocks do not fill the last group, one and two pixel rows.
#include "platform/random.h"
#include "raster/wipe_basic_masks.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using wipe::BlockRows;
using wipe::MaskDraws;

enum class Kind { CopyDissolve, BlendDissolve, CopyCircle, BlendCircle };

struct Outcome {
    std::vector<uint32_t> dst;
    std::vector<int64_t> extents; // l and r of every row
    SubtractiveRandomState after;
};

struct Picture {
    int64_t w;
    int rows;
    std::vector<uint32_t> src, dst;
};

// Colours under alpha that is clear, opaque or soft in about equal shares.
uint32_t NoisyPixel(std::mt19937& rng)
{
    const uint32_t v = rng();
    const uint32_t alpha = v % 4 == 0 ? 0u : v % 4 == 1 ? 0xFF000000u : (v << 8) & 0xFF000000u;
    return (v & 0x00FFFFFFu) | alpha;
}

// Five rows of blocks drawn in turn over the same pixel rows (the draws run on from row to row),
// each with its own level or radius from `values`; the circle's rows lie `lift` rows off its middle
// and a few more.
Outcome Draw(const Picture& p, Kind kind, const std::vector<int32_t>& part, const std::vector<int64_t>& values,
             int32_t seed, bool wide, int32_t lift = 0)
{
    SeedSubtractiveRandom(g_RandomState, seed);
    // Start part way into the table, so groups of draws meet a refill at every place.
    for (int32_t k = 0; k < seed % 55; ++k)
        DrawSubtractiveRandom(g_RandomState);
    Outcome out{p.dst, {}, {}};
    const auto pitch = static_cast<LONG>(p.w * 4);
    const BlockRows at{reinterpret_cast<BYTE*>(out.dst.data()), pitch, reinterpret_cast<const BYTE*>(p.src.data()),
                       pitch, p.rows};
    std::vector<int32_t> across;
    for (int64_t x0 = 0; x0 < p.w; x0 += 2)
        across.push_back(static_cast<int32_t>((2 * x0 - p.w) * (2 * x0 - p.w)));
    const wipe::PartOrder order = wipe::OrderOfParts(part.data(), static_cast<int64_t>(part.size()));
    {
        ScopedAvx512 twins(wide);
        MaskDraws draws;
        for (size_t i = 0; i < values.size(); ++i) {
            int64_t l = 0, r = 0;
            const int64_t v = values[i];
            const auto dy = static_cast<int32_t>((2 * static_cast<int64_t>(i) * 7 % 40) - 20) + lift;
            switch (kind) {
            case Kind::CopyDissolve:
                draws.CopyDissolveRow(at, p.w, v, part.data(), order, l, r);
                break;
            case Kind::BlendDissolve:
                draws.BlendDissolveRow(at, p.w, v, part.data(), order, l, r);
                break;
            case Kind::CopyCircle:
                draws.CopyCircleRow(at, p.w, dy * dy, static_cast<int32_t>(v), across.data(), l, r);
                break;
            case Kind::BlendCircle:
                draws.BlendCircleRow(at, p.w, dy * dy, static_cast<int32_t>(v), across.data(), l, r);
                break;
            }
            out.extents.push_back(l < r ? l : 0);
            out.extents.push_back(l < r ? r : 0);
        }
    }
    out.after = g_RandomState;
    return out;
}

TEST(WipeMaskRows, WideRowsDrawTheAvx2Rows)
{
    if (!MachineHasAvx512Bw() || MachineSimdLevel() < SimdLevel::Avx2)
        GTEST_SKIP() << "no 512-bit registers here";
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    std::mt19937 rng(20261211);
    struct Parts {
        const char* name;
        int32_t (*at)(int64_t k, int64_t count, std::mt19937& rng);
    };
    const Parts parts[] = {
        {"none", [](int64_t, int64_t, std::mt19937&) { return 0; }},
        {"rising", [](int64_t k, int64_t n, std::mt19937&) { return static_cast<int32_t>(k * 256 / n); }},
        {"falling", [](int64_t k, int64_t n, std::mt19937&) { return static_cast<int32_t>((n - 1 - k) * 256 / n); }},
        {"mixed", [](int64_t, int64_t, std::mt19937& g) { return static_cast<int32_t>(g() % 256); }},
    };
    // Dissolve levels from all hidden to all shown, and circle radii from none to every block.
    // Levels and radii about where a block shows every other time, too, along rows of every width.
    const std::vector<int64_t> levels[] = {
        {-600, -256, -1, 0, 1}, {40, 128, 200, 254, 255}, {-130, 60, 256, 511, 900}, {127, 128, 129, 96, 160},
        {130, 140, 150, 170, 190}};
    const std::vector<int64_t> radii[] = {{-5, 0, 3, 10, 30},
                                          {60, 254, 255, 256, 300},
                                          {400, 1000, 40, 128, 700},
                                          {1500, 1213, 1777, 901, 1999},
                                          {1499, 1437, 1610, 1333, 1550}};
    for (int64_t w : {3, 8, 17, 32, 37, 64, 100, 130, 301, 999, 1920})
        for (int rows : {1, 2})
            for (Kind kind : {Kind::CopyDissolve, Kind::BlendDissolve, Kind::CopyCircle, Kind::BlendCircle}) {
                const bool circle = kind == Kind::CopyCircle || kind == Kind::BlendCircle;
                for (const Parts& shape : parts) {
                    if (circle && shape.at != parts[0].at)
                        continue; // the circle has no parts
                    for (const auto& values : circle ? radii : levels) {
                        Picture p{w, rows, {}, {}};
                        for (int64_t i = 0; i < w * rows; ++i) {
                            p.src.push_back(NoisyPixel(rng));
                            p.dst.push_back(NoisyPixel(rng));
                        }
                        const int64_t count = (w + 3) / 4;
                        std::vector<int32_t> part;
                        for (int64_t k = 0; k < count; ++k)
                            part.push_back(shape.at(k, count, rng));
                        const auto seed = static_cast<int32_t>(rng() % 100000);
                        const Outcome plain = Draw(p, kind, part, values, seed, false);
                        const Outcome wide = Draw(p, kind, part, values, seed, true);
                        const auto where = ::testing::Message() << "kind " << static_cast<int>(kind) << ", width "
                                                                << w << ", rows " << rows << ", parts " << shape.name
                                                                << ", first value " << values[0];
                        ASSERT_EQ(wide.dst, plain.dst) << where;
                        ASSERT_EQ(wide.extents, plain.extents) << where;
                        ASSERT_EQ(wide.after.position, plain.after.position) << where;
                        ASSERT_EQ(0, std::memcmp(wide.after.table, plain.after.table, sizeof(plain.after.table)))
                            << where;
                    }
                }
            }
}

// Rows far from the circle's middle on a wide picture: every stretch of the row (hidden, uncertain,
// shown every other time or more, certain) then ends at its own place within a group, so each
// leaves a few blocks to be drawn alone.
TEST(WipeMaskRows, WideCircleRowsFarFromTheMiddleDrawTheAvx2Rows)
{
    if (!MachineHasAvx512Bw() || MachineSimdLevel() < SimdLevel::Avx2)
        GTEST_SKIP() << "no 512-bit registers here";
    ScopedSimdLevel scoped(SimdLevel::Avx2);
    std::mt19937 rng(20261212);
    const std::vector<int64_t> radii = {1500, 1433, 1610, 1388, 1555};
    for (int64_t w : {1920, 1601})
        for (int32_t lift = 0; lift < 1100; lift += 2)
            for (Kind kind : {Kind::CopyCircle, Kind::BlendCircle}) {
                Picture p{w, 2, {}, {}};
                for (int64_t i = 0; i < w * 2; ++i) {
                    p.src.push_back(NoisyPixel(rng));
                    p.dst.push_back(NoisyPixel(rng));
                }
                const std::vector<int32_t> none((w + 3) / 4, 0);
                const auto seed = static_cast<int32_t>(rng() % 100000);
                const Outcome plain = Draw(p, kind, none, radii, seed, false, lift);
                const Outcome wide = Draw(p, kind, none, radii, seed, true, lift);
                const auto where = ::testing::Message()
                                   << "kind " << static_cast<int>(kind) << ", width " << w << ", rows off " << lift;
                ASSERT_EQ(wide.dst, plain.dst) << where;
                ASSERT_EQ(wide.extents, plain.extents) << where;
                ASSERT_EQ(wide.after.position, plain.after.position) << where;
            }
}

} // namespace
