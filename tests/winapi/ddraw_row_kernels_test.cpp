// The DirectDraw stand-in's blit rows: each SSE2 (and AVX2) twin against its plain kernel on random
// pixels, every width from 1 to 40 and odd byte offsets, with keys at the edges of the value range;
// the blits' own choice of twin at every SIMD level.
#include "winapi/ddraw/row_kernels.h"
#include "winapi/ddraw/triangle.h"

#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace dd = winapi::ddraw;

namespace {

constexpr LONG kMaxWidth = 40;

std::vector<BYTE> RandomBytes(std::mt19937& random, size_t n)
{
    std::vector<BYTE> bytes(n);
    for (BYTE& b : bytes)
        b = static_cast<BYTE>(random());
    return bytes;
}

// Source pixels of a small palette, so that keys meet some of them.
std::vector<BYTE> KeyedBytes(std::mt19937& random, size_t n, int bytesPerPixel)
{
    static const uint32_t kValues[] = {0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x123456};
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i + bytesPerPixel <= n; i += bytesPerPixel) {
        const uint32_t v = random() % 2 ? static_cast<uint32_t>(random()) : kValues[random() % std::size(kValues)];
        std::memcpy(&bytes[i], &v, static_cast<size_t>(bytesPerPixel));
    }
    return bytes;
}

TEST(DDrawRowKernels, LerpsMatchThePlainRows)
{
    std::mt19937 random(11);
    const LONG sourceWidth = 23;
    for (LONG width = 1; width <= kMaxWidth; ++width) {
        for (int offset : {0, 1, 3}) {
            SCOPED_TRACE(testing::Message() << "width " << width << " offset " << offset);
            // Rows are read and written at odd byte offsets, as the kernels allow.
            const std::vector<BYTE> a = RandomBytes(random, 4 * sourceWidth + 4);
            const std::vector<BYTE> b = RandomBytes(random, 4 * kMaxWidth + 4), c = RandomBytes(random, b.size());
            const auto* src = reinterpret_cast<const uint32_t*>(a.data() + offset);
            std::vector<int32_t> xa(static_cast<size_t>(width)), xb(xa.size());
            std::vector<uint16_t> weights(4 * xa.size());
            for (LONG i = 0; i < width; ++i) {
                xa[static_cast<size_t>(i)] = static_cast<int32_t>(random() % sourceWidth);
                xb[static_cast<size_t>(i)] = static_cast<int32_t>(random() % sourceWidth);
                const auto w = static_cast<uint16_t>(i == 0 ? 0 : i == 1 ? 255 : random() % 256);
                for (int k = 0; k < 4; ++k)
                    weights[4 * static_cast<size_t>(i) + k] = w;
            }
            std::vector<BYTE> plain(4 * kMaxWidth + 4), twin(plain.size());
            dd::LerpAcrossPlain(src, xa.data(), xb.data(), weights.data(),
                                reinterpret_cast<uint32_t*>(plain.data() + offset), width);
            dd::LerpAcrossSse2(src, xa.data(), xb.data(), weights.data(),
                               reinterpret_cast<uint32_t*>(twin.data() + offset), width);
            EXPECT_EQ(plain, twin) << "across";
            if (dd::HasAvx2()) {
                // Neighbours only, with the full weight 256 that a clamped right edge takes.
                for (LONG i = 0; i < width; ++i) {
                    xa[static_cast<size_t>(i)] = static_cast<int32_t>(random() % (sourceWidth - 1));
                    xb[static_cast<size_t>(i)] = xa[static_cast<size_t>(i)] + 1;
                    if (i == 2)
                        std::fill_n(weights.begin() + 4 * i, 4, uint16_t{256});
                }
                dd::LerpAcrossPlain(src, xa.data(), xb.data(), weights.data(),
                                    reinterpret_cast<uint32_t*>(plain.data() + offset), width);
                dd::LerpPairsAvx2(src, xa.data(), weights.data(), reinterpret_cast<uint32_t*>(twin.data() + offset),
                                  width);
                EXPECT_EQ(plain, twin) << "pairs (AVX2)";
            }

            const auto* top = reinterpret_cast<const uint32_t*>(b.data() + offset);
            const auto* bottom = reinterpret_cast<const uint32_t*>(c.data() + offset);
            for (uint32_t w : {0u, 1u, 128u, 255u, static_cast<uint32_t>(random() % 256)}) {
                std::fill(plain.begin(), plain.end(), BYTE{0});
                std::fill(twin.begin(), twin.end(), BYTE{0});
                dd::LerpDownPlain(top, bottom, w, reinterpret_cast<uint32_t*>(plain.data() + offset), width);
                dd::LerpDownSse2(top, bottom, w, reinterpret_cast<uint32_t*>(twin.data() + offset), width);
                EXPECT_EQ(plain, twin) << "down, w " << w;
                // The blits' choice, at every level this machine runs.
                for (SimdLevel level : kAllSimdLevels) {
                    const ScopedSimdLevel forced(level);
                    std::fill(twin.begin(), twin.end(), BYTE{0});
                    dd::LerpDown(top, bottom, w, reinterpret_cast<uint32_t*>(twin.data() + offset), width);
                    EXPECT_EQ(plain, twin) << "down, w " << w << " level " << static_cast<int>(ActiveSimdLevel());
                }
            }
        }
    }
}

struct KeyCase {
    const char* name;
    DWORD low, high;
};

const KeyCase kKeys[] = {
    {"zero", 0, 0},
    {"one value", 0x123456, 0x123456},
    {"range", 0x10, 0x7FFF0000},
    {"around the 16-bit sign", 0x7FFF, 0x8000},
    {"top values", 0xFFFF, 0xFFFFFFFF},
    {"above 16 bits", 0x10000, 0x20000},
    {"high past 16 bits", 0x8000, 0x10000},
    {"empty range", 0x9000, 0x10},
    {"everything", 0, 0xFFFFFFFF},
};

TEST(DDrawRowKernels, KeyedCopiesMatchThePlainRows)
{
    std::mt19937 random(12);
    for (const KeyCase& key : kKeys) {
        for (LONG width = 1; width <= kMaxWidth; ++width) {
            for (int offset : {0, 1, 2}) {
                SCOPED_TRACE(testing::Message() << key.name << " width " << width << " offset " << offset);
                for (int bytes : {4, 2}) {
                    const std::vector<BYTE> src = KeyedBytes(random, static_cast<size_t>(bytes) * kMaxWidth + 4, bytes);
                    const std::vector<BYTE> before = RandomBytes(random, src.size());
                    std::vector<BYTE> plain = before, twin = before;
                    if (bytes == 4) {
                        dd::KeyedCopy32Plain(src.data() + offset, plain.data() + offset, width, key.low, key.high);
                        dd::KeyedCopy32Sse2(src.data() + offset, twin.data() + offset, width, key.low, key.high);
                        for (SimdLevel level : kAllSimdLevels) {
                            const ScopedSimdLevel forced(level);
                            std::vector<BYTE> chosen = before;
                            dd::KeyedCopy32(src.data() + offset, chosen.data() + offset, width, key.low, key.high);
                            EXPECT_EQ(plain, chosen) << "level " << static_cast<int>(ActiveSimdLevel());
                        }
                    } else {
                        dd::KeyedCopy16Plain(src.data() + offset, plain.data() + offset, width, key.low, key.high);
                        dd::KeyedCopy16Sse2(src.data() + offset, twin.data() + offset, width, key.low, key.high);
                    }
                    EXPECT_EQ(plain, twin) << bytes << " bytes";
                }
            }
        }
    }
}

TEST(DDrawRowKernels, BlendsOverMatchThePlainRows)
{
    // Source alpha wholly clear, wholly opaque, random, and runs of each in one row; destinations
    // with their unused byte set (it comes out 0 even where nothing is blended in).
    std::mt19937 random(14);
    for (LONG width = 1; width <= 4 * kMaxWidth; ++width) {
        for (int kind = 0; kind < 4; ++kind) {
            SCOPED_TRACE(testing::Message() << "width " << width << " kind " << kind);
            std::vector<uint32_t> src(static_cast<size_t>(width)), before(src.size());
            for (size_t i = 0; i < src.size(); ++i) {
                const uint32_t alphas[] = {0, 255, static_cast<uint32_t>(random() % 256),
                                           (i / 17) % 3 == 0 ? 0u : (i / 17) % 3 == 1 ? 255u : static_cast<uint32_t>(random() % 256)};
                src[i] = alphas[kind] << 24 | (static_cast<uint32_t>(random()) & 0xFFFFFF);
                before[i] = static_cast<uint32_t>(random());
                if (i % 13 == 5)
                    before[i] &= 0xFFFFFF;
            }
            std::vector<uint32_t> plain = before, twin = before;
            dd::BlendOver8888Plain(src.data(), plain.data(), width);
            dd::BlendOver8888Sse2(src.data(), twin.data(), width);
            EXPECT_EQ(plain, twin);
            if (MachineSimdLevel() >= SimdLevel::Avx2) {
                twin = before;
                dd::BlendOver8888Avx2(src.data(), twin.data(), width);
                EXPECT_EQ(plain, twin) << "AVX2";
            }
            if (MachineHasAvx512Bw()) {
                twin = before;
                dd::BlendOver8888Avx512(src.data(), twin.data(), width);
                EXPECT_EQ(plain, twin) << "AVX-512";
                // Destinations at each pixel of a cache line.
                for (size_t shift = 1; shift < 16; ++shift) {
                    std::vector<uint32_t> placed(shift + before.size());
                    std::copy(before.begin(), before.end(), placed.begin() + static_cast<std::ptrdiff_t>(shift));
                    dd::BlendOver8888Avx512(src.data(), placed.data() + shift, width);
                    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), placed.begin() + static_cast<std::ptrdiff_t>(shift)))
                        << "AVX-512 shifted by " << shift;
                }
            }
            for (size_t i = 0; i < src.size(); ++i) {
                const uint32_t a = src[i] >> 24;
                if (a == 0 || a == 255) {
                    ASSERT_EQ(plain[i], (a == 0 ? before[i] : src[i]) & 0xFFFFFF) << i;
                }
            }
            for (SimdLevel level : kAllSimdLevels) {
                const ScopedSimdLevel forced(level);
                twin = before;
                dd::BlendOver8888(src.data(), twin.data(), width);
                EXPECT_EQ(plain, twin) << "level " << static_cast<int>(ActiveSimdLevel());
            }
        }
    }
}

TEST(DDrawRowKernels, RowCopiesMatchTheLibraryCopy)
{
    // Every length up to a few of the widest steps, at odd offsets of both rows; the bytes around
    // the destination row stay as they were.
    std::mt19937 random(15);
    for (size_t bytes = 0; bytes <= 600; ++bytes) {
        for (size_t offset : {0, 1, 7}) {
            SCOPED_TRACE(testing::Message() << "bytes " << bytes << " offset " << offset);
            const std::vector<BYTE> src = RandomBytes(random, bytes + 16);
            const std::vector<BYTE> before = RandomBytes(random, bytes + 16);
            std::vector<BYTE> expected = before;
            std::memcpy(expected.data() + offset, src.data() + 3, bytes);
            std::vector<BYTE> twin = before;
            dd::CopyRowPlain(src.data() + 3, twin.data() + offset, bytes);
            EXPECT_EQ(expected, twin) << "plain";
            if (MachineSimdLevel() >= SimdLevel::Avx2) {
                twin = before;
                dd::CopyRowAvx2(src.data() + 3, twin.data() + offset, bytes);
                EXPECT_EQ(expected, twin) << "AVX2";
            }
            if (MachineHasAvx512Bw()) {
                twin = before;
                dd::CopyRowAvx512(src.data() + 3, twin.data() + offset, bytes);
                EXPECT_EQ(expected, twin) << "AVX-512";
            }
            for (SimdLevel level : kAllSimdLevels) {
                const ScopedSimdLevel forced(level);
                twin = before;
                dd::CopyRow(src.data() + 3, twin.data() + offset, bytes);
                EXPECT_EQ(expected, twin) << "level " << static_cast<int>(ActiveSimdLevel());
            }
        }
    }
}

TEST(DDrawRowKernels, PointTexelsMatchThePlainOnes)
{
    // Quads' axes as the texture path meets them (corners half a pixel off, whole-texture spans)
    // and random ones: scaled, flipped, reaching past both ends of the texture (clamped), and
    // positions exactly on or within the slack of a texel's edge.
    struct Axis {
        double origin, edge, step, slack;
        LONG size, first;
    };
    std::vector<Axis> axes = {
        {0, -0.5, 1.0 / 640, 0x1p-44 * 641, 640, 0},
        {0, 0, 1.0 / 256, 0x1p-44 * 257, 256, 0},
        {0, 0, 1.0 / 256, 0.25, 256, 0},
        {1, 10, -1.0 / 100, 0x1p-44 * 101, 100, 5},
        {0.5, 3, 0.0, 0x1p-44, 64, -3},
    };
    std::mt19937 random(16);
    std::uniform_real_distribution<double> unit(-1.5, 1.5);
    for (int i = 0; i < 200; ++i) {
        const LONG size = 1 + static_cast<LONG>(random() % 300);
        const double slack = i % 4 == 0 ? 0.0 : i % 4 == 1 ? 0x1p-44 * (size + 1) : std::fabs(unit(random)) / 4;
        axes.push_back({unit(random), std::round(unit(random) * 40) / (i % 2 ? 2 : 256), unit(random) / (1 + random() % 200),
                        slack, size, static_cast<LONG>(random() % 200) - 100});
    }
    for (size_t a = 0; a < axes.size(); ++a) {
        const Axis& axis = axes[a];
        for (LONG count : {1, 3, 4, 7, 37}) {
            SCOPED_TRACE(testing::Message() << "axis " << a << " count " << count);
            std::vector<int32_t> plain(static_cast<size_t>(count)), twin(plain.size());
            std::vector<uint8_t> plainSure(plain.size()), twinSure(plain.size());
            dd::PointTexelsPlain(axis.origin, axis.edge, axis.step, axis.slack, axis.size, axis.first, count,
                                 plain.data(), plainSure.data());
            for (LONG k = 0; k < count; ++k) {
                bool sure;
                const LONG texel = dd::PointTexel((axis.origin + (axis.first + k - axis.edge) * axis.step) * axis.size,
                                                  axis.slack, axis.size, &sure);
                ASSERT_EQ(plain[static_cast<size_t>(k)], texel) << k;
                ASSERT_EQ(plainSure[static_cast<size_t>(k)], sure ? 1 : 0) << k;
                ASSERT_TRUE(texel >= 0 && texel < axis.size) << k;
            }
            if (MachineSimdLevel() >= SimdLevel::Avx2) {
                dd::PointTexelsAvx2(axis.origin, axis.edge, axis.step, axis.slack, axis.size, axis.first, count,
                                    twin.data(), twinSure.data());
                EXPECT_EQ(plain, twin) << "AVX2";
                EXPECT_EQ(plainSure, twinSure) << "AVX2";
            }
            for (SimdLevel level : kAllSimdLevels) {
                const ScopedSimdLevel forced(level);
                std::fill(twin.begin(), twin.end(), -1);
                dd::PointTexels(axis.origin, axis.edge, axis.step, axis.slack, axis.size, axis.first, count,
                                twin.data(), twinSure.data());
                EXPECT_EQ(plain, twin) << "level " << static_cast<int>(ActiveSimdLevel());
                EXPECT_EQ(plainSure, twinSure) << "level " << static_cast<int>(ActiveSimdLevel());
            }
        }
    }
}

TEST(DDrawRowKernels, PicksMatchThePlainRows)
{
    std::mt19937 random(13);
    const LONG sourceWidth = 17;
    for (LONG width = 1; width <= kMaxWidth; ++width) {
        for (int offset : {0, 1, 3}) {
            SCOPED_TRACE(testing::Message() << "width " << width << " offset " << offset);
            const std::vector<BYTE> src = RandomBytes(random, 4 * sourceWidth + 4);
            std::vector<int32_t> xs(static_cast<size_t>(width));
            for (auto& x : xs)
                x = static_cast<int32_t>(random() % sourceWidth);
            for (int bytes : {4, 2}) {
                const std::vector<BYTE> before = RandomBytes(random, 4 * kMaxWidth + 4);
                std::vector<BYTE> plain = before, twin = before;
                if (bytes == 4) {
                    dd::Pick32Plain(src.data() + offset, xs.data(), plain.data() + offset, width);
                    dd::Pick32Sse2(src.data() + offset, xs.data(), twin.data() + offset, width);
                } else {
                    dd::Pick16Plain(src.data() + offset, xs.data(), plain.data() + offset, width);
                    dd::Pick16Sse2(src.data() + offset, xs.data(), twin.data() + offset, width);
                }
                EXPECT_EQ(plain, twin) << bytes << " bytes";
            }
        }
    }
}

} // namespace

TEST(DDrawRowKernels, QuadRowsMatchThePlainRows)
{
    // Across: samples within eight pixels of each block's first one (enlarging: one load and
    // permutes) and anywhere in the row (gathers), weights 0, the largest and between. Down:
    // mixed channels from 0 to 255 whole, weights 0, 1, the largest and between.
    std::mt19937 random(13);
    const LONG length = 29;
    const std::vector<BYTE> row = RandomBytes(random, 4 * length);
    const auto* src = reinterpret_cast<const uint32_t*>(row.data());
    const int32_t top = dd::kWeightOne - 1;
    for (LONG width = 1; width <= kMaxWidth; ++width)
        for (bool enlarging : {true, false}) {
            SCOPED_TRACE(testing::Message() << "width " << width << (enlarging ? " enlarging" : " anywhere"));
            std::vector<int32_t> xa(static_cast<size_t>(width)), xb(xa.size()), w(xa.size());
            for (LONG i = 0; i < width; ++i) {
                const size_t at = static_cast<size_t>(i);
                xa[at] = enlarging ? std::min<int32_t>(static_cast<int32_t>(i * 4 / 9 + random() % 2), length - 1)
                                   : static_cast<int32_t>(random() % length);
                xb[at] = std::min<int32_t>(xa[at] + 1, length - 1);
                const int32_t kinds[] = {0, top, static_cast<int32_t>(random() % dd::kWeightOne)};
                w[at] = kinds[random() % 3];
            }
            std::vector<int32_t> plain(3 * xa.size()), twin(plain.size());
            auto rows = [&](std::vector<int32_t>& v) {
                return std::array<int32_t*, 3>{v.data(), v.data() + xa.size(), v.data() + 2 * xa.size()};
            };
            dd::QuadAcrossPlain(src, length, xa.data(), xb.data(), w.data(), rows(plain).data(), width);
            dd::QuadAcrossSse2(src, length, xa.data(), xb.data(), w.data(), rows(twin).data(), width);
            EXPECT_EQ(plain, twin);
            for (SimdLevel level : kAllSimdLevels) {
                const ScopedSimdLevel forced(level);
                std::fill(twin.begin(), twin.end(), -1);
                dd::QuadAcross(src, length, xa.data(), xb.data(), w.data(), rows(twin).data(), width);
                EXPECT_EQ(plain, twin) << "level " << static_cast<int>(ActiveSimdLevel());
            }

            std::vector<int32_t> upper(3 * xa.size()), lower(upper.size());
            for (size_t i = 0; i < upper.size(); ++i) {
                const int32_t kinds[] = {0, 255 * dd::kWeightOne,
                                         static_cast<int32_t>(random() % (255 * dd::kWeightOne + 1))};
                upper[i] = kinds[random() % 3];
                lower[i] = kinds[random() % 3];
            }
            const int32_t* const t[3] = {upper.data(), upper.data() + xa.size(), upper.data() + 2 * xa.size()};
            const int32_t* const b[3] = {lower.data(), lower.data() + xa.size(), lower.data() + 2 * xa.size()};
            for (int32_t weight : {0, 1, top, 613}) {
                std::vector<uint32_t> out[2];
                auto run = [&](int which, auto kernel) {
                    out[which].assign(xa.size(), 0xFFFFFFFF);
                    kernel(t, b, weight, out[which].data(), width);
                };
                run(0, dd::QuadDownPlain);
                run(1, dd::QuadDownSse2);
                EXPECT_EQ(out[0], out[1]);
                for (SimdLevel level : kAllSimdLevels) {
                    const ScopedSimdLevel forced(level);
                    run(1, dd::QuadDown);
                    EXPECT_EQ(out[0], out[1]) << "level " << static_cast<int>(ActiveSimdLevel());
                }
            }
        }
}
