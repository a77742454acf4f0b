// Filter row kernels (see blur_kernels.h).
#include "raster/blur_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace pixel_simd;

namespace {

enum class BlurWay { Replace, Level, Alpha };

template <BlurWay W>
void BoxBlurRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                 int srcRight, int radius, BYTE level)
{
    const uint32_t weight = 65536u / (2u * radius + 1u);
    const uint32_t f = FactorOf(level);
    auto at = [&](const BYTE* row, int k) {
        k = k < -srcLeft ? -srcLeft : k > srcRight ? srcRight : k;
        return Load32(row + intptr_t(k) * 4);
    };
    for (int y = 0; y < height; ++y) {
        // Sums held per channel; at most 255 x 255, so 32 bits are plenty.
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int k = -radius; k <= radius; ++k) {
            const uint32_t p = at(src, k);
            for (int c = 0; c < 4; ++c) {
                sum[c] += (p >> (8 * c)) & 0xFF;
            }
        }
        for (int x = 0; x < width; ++x, dst += 4) {
            uint32_t b = 0;
            for (int c = 0; c < 4; ++c) {
                b |= ((sum[c] * weight + 32768) >> 16) << (8 * c);
            }
            const uint32_t d = Load32(dst);
            if (W == BlurWay::Replace) {
                Store32(dst, b);
            } else if (W == BlurWay::Level) {
                Store32(dst, BlendByFactor(d, b, f));
            } else {
                Store32(dst, BlendByFactor(d, b, FactorOf(g_MulTable[level][b >> 24])));
            }
            const uint32_t in = at(src, x + radius + 1);
            const uint32_t out = at(src, x - radius);
            for (int c = 0; c < 4; ++c) {
                sum[c] += ((in >> (8 * c)) & 0xFF) - ((out >> (8 * c)) & 0xFF);
            }
        }
        dst += dstSkip;
        src += intptr_t(width) * 4 + srcSkip;
    }
}

} // namespace

void BlurBlendRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, int srcLeft,
                     int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Replace>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius,
                                  level);
}
void BlurBlendLevelRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Level>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius, level);
}
void BlurBlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                          int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRows<BlurWay::Alpha>(dst, src, dstSkip, srcSkip, width, height, srcLeft, srcRight, radius, level);
}

namespace {

// The SIMD box blur works on column chunks of a row: the running sums of the chunk's extended
// source run (held on the picture's first and last column) are taken per channel in 16-bit words,
// and each window sum is the difference of two of them. The sums wrap, but a window's sum is
// at most 255 x 255, so the difference modulo 65536 is exact.
constexpr int kBlurChunk = 512;
// A chunk and both windows' overhang, its sums with the one before the first.
constexpr int kBlurRun = kBlurChunk + 2 * 127 + 1;

// The rounded quotients of four windows' sums (the running sums span apart).
PIXEL_SIMD_AVX2 inline __m256i WindowQuotients(const uint64_t* sums, int span, __m256i w)
{
    const __m256i s = _mm256_sub_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + span)),
                                       _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums)));
    return _mm256_add_epi16(_mm256_mulhi_epu16(s, w), _mm256_srli_epi16(_mm256_mullo_epi16(s, w), 15));
}

// Eight windows a step from a chunk's running sums, blended as they come; answers how many
// pixels it drew (a multiple of eight).
template <BlurWay W>
PIXEL_SIMD_AVX2 int WindowsAvx2(BYTE* out, const BYTE* below, const uint64_t* sums, int span, int n, int weight,
                                BYTE level)
{
    using namespace pixel_simd_avx2;
    const __m256i w = _mm256_set1_epi16(static_cast<short>(weight));
    const __m256i factor = Splat(FactorOf(level));
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i lo = WindowQuotients(sums + x, span, w);
        const __m256i hi = WindowQuotients(sums + x + 4, span, w);
        // The pack interleaves the halves by 128-bit lane: pixels 0-1, 4-5, 2-3, 6-7.
        const __m256i b = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
        if (W == BlurWay::Replace) {
            Store8(out + x * 4, b);
        } else {
            const __m256i d = Load8(below + x * 4);
            const __m256i f = W == BlurWay::Level ? factor : Factor(LevelOf<false>(b, level));
            Store8(out + x * 4, WithAlpha(BlendColour(d, b, f), d));
        }
    }
    return x;
}

// under: the pixels blended over (dst itself but for BlurBlendLevelOverRows32Mmx).
template <BlurWay W>
void BoxBlurRowsSimd(BYTE* dst, const BYTE* under, const BYTE* src, int dstSkip, int underSkip, int srcSkip,
                     int width, int height, int srcLeft, int srcRight, int radius, BYTE level)
{
    // The running sums of a chunk's run: sums[j] holds the pixels before j.
    alignas(16) uint64_t sums[kBlurRun + 3];
    alignas(16) uint32_t blurred[kBlurChunk + 4];
    const int span = 2 * radius + 1;
    const __m128i weight = Splat16(int(65536u / uint32_t(span)));
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = Splat32(FactorOf(level));
    const __m128i levels = Splat32(level);
    const bool avx2 = UseAvx2();
    for (int y = 0; y < height; ++y) {
        for (int x0 = 0; x0 < width; x0 += kBlurChunk) {
            const int n = std::min(kBlurChunk, width - x0);
            // Source columns x0 - r .. x0 + n + r - 1, held on the first and last column: a run of
            // the left one, the columns themselves, a run of the right one.
            const int first = x0 - radius, count = n + 2 * radius;
            const int inFrom = std::max(first, -srcLeft), inTo = std::min(first + count, srcRight + 1);
            uint64_t* at = sums + 1;
            __m128i carry = zero;
            // Two pixels a step (within the pair, then the carry of everything before); an odd one
            // alone at the end.
            auto accumulate = [&](const BYTE* from, int pixels, bool repeat) {
                const int step = repeat ? 0 : 8;
                for (; pixels >= 2; pixels -= 2, from += step, at += 2) {
                    __m128i v = repeat ? _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(Load32(from))),
                                                            _mm_cvtsi32_si128(int(Load32(from))))
                                       : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
                    v = _mm_unpacklo_epi8(v, zero);
                    v = _mm_add_epi16(v, _mm_slli_si128(v, 8));
                    v = _mm_add_epi16(v, carry);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
                    carry = _mm_shuffle_epi32(v, 0xEE);
                }
                if (pixels == 1) {
                    const __m128i v =
                        _mm_add_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Load32(from))), zero), carry);
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), v);
                    carry = _mm_unpacklo_epi64(v, v);
                    ++at;
                }
            };
            sums[0] = 0;
            accumulate(src - intptr_t(srcLeft) * 4, std::min(inFrom - first, count), true);
            accumulate(src + intptr_t(inFrom) * 4, std::max(0, inTo - inFrom), false);
            accumulate(src + intptr_t(srcRight) * 4, first + count - std::max(inTo, first), true);
            // The last group of four reads up to three sums past the run.
            at[0] = at[1] = at[2] = 0;
            // Window sums, rounded quotients: (s w + 32768) >> 16 is the high word plus the top
            // bit of the low word.
            const int done = avx2 ? WindowsAvx2<W>(dst + intptr_t(x0) * 4, under + intptr_t(x0) * 4, sums, span, n,
                                                   int(65536u / uint32_t(span)), level)
                                  : 0;
            for (int x = done; x < n; x += 4) {
                const __m128i lo =
                    _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x + span)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x)));
                const __m128i hi =
                    _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x + span + 2)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + x + 2)));
                const __m128i qLo = _mm_add_epi16(_mm_mulhi_epu16(lo, weight),
                                                  _mm_srli_epi16(_mm_mullo_epi16(lo, weight), 15));
                const __m128i qHi = _mm_add_epi16(_mm_mulhi_epu16(hi, weight),
                                                  _mm_srli_epi16(_mm_mullo_epi16(hi, weight), 15));
                _mm_store_si128(reinterpret_cast<__m128i*>(blurred + x), _mm_packus_epi16(qLo, qHi));
            }
            BYTE* out = dst + intptr_t(x0) * 4;
            const BYTE* below = under + intptr_t(x0) * 4;
            int x = done;
            for (; x + 4 <= n; x += 4) {
                const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(blurred + x));
                if (W == BlurWay::Replace) {
                    Store4(out + x * 4, b);
                } else if (W == BlurWay::Level) {
                    Store4(out + x * 4, BlendByFactor4(Load4(below + x * 4), b, factor));
                } else {
                    Store4(out + x * 4,
                           BlendByFactor4(Load4(below + x * 4), b, Factor32(MulByte32(AlphaOf(b), levels))));
                }
            }
            for (; x < n; ++x) {
                const uint32_t b = blurred[x];
                const uint32_t d = Load32(below + x * 4);
                Store32(out + x * 4, W == BlurWay::Replace ? b
                                     : W == BlurWay::Level
                                         ? BlendByFactor(d, b, FactorOf(level))
                                         : BlendByFactor(d, b, FactorOf(g_MulTable[level][b >> 24])));
            }
        }
        dst += intptr_t(width) * 4 + dstSkip;
        under += intptr_t(width) * 4 + underSkip;
        src += intptr_t(width) * 4 + srcSkip;
    }
}

} // namespace

void BlurBlendRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                        int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRowsSimd<BlurWay::Replace>(dst, dst, src, dstSkip, dstSkip, srcSkip, width, height, srcLeft, srcRight,
                                 radius,
                                      level);
}
void BlurBlendLevelRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRowsSimd<BlurWay::Level>(dst, dst, src, dstSkip, dstSkip, srcSkip, width, height, srcLeft, srcRight,
                                 radius,
                                    level);
}
void BlurBlendAlphaRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                             int srcLeft, int srcRight, int radius, BYTE level)
{
    BoxBlurRowsSimd<BlurWay::Alpha>(dst, dst, src, dstSkip, dstSkip, srcSkip, width, height, srcLeft, srcRight,
                                 radius,
                                    level);
}

void BlurBlendLevelOverRows32(BYTE* dst, const BYTE* under, int dstSkip, int underSkip, const BYTE* src,
                              int srcSkip, int width, int height, int srcLeft, int srcRight, int radius, BYTE level)
{
    for (int y = 0; y < height; ++y) {
        std::memcpy(dst, under, size_t(width) * 4);
        BlurBlendLevelRows32(dst, src, dstSkip, srcSkip, width, 1, srcLeft, srcRight, radius, level);
        dst += intptr_t(width) * 4 + dstSkip;
        under += intptr_t(width) * 4 + underSkip;
        src += intptr_t(width) * 4 + srcSkip;
    }
}
void BlurBlendLevelOverRows32Mmx(BYTE* dst, const BYTE* under, int dstSkip, int underSkip, const BYTE* src,
                                 int srcSkip, int width, int height, int srcLeft, int srcRight, int radius,
                                 BYTE level)
{
    BoxBlurRowsSimd<BlurWay::Level>(dst, under, src, dstSkip, underSkip, srcSkip, width, height, srcLeft, srcRight,
                                    radius, level);
}

int BlurRows32(BYTE* pixels, int pitch, int width, int height, BYTE mode)
{
    if (width < 4 || height < 4 || pitch % 4 != 0) {
        return 2;
    }
    std::vector<uint32_t> pending;
    std::vector<uint32_t> saved;
    try {
        pending.resize(width);
        saved.resize(width);
    } catch (const std::bad_alloc&) {
        return 3;
    }
    const uint32_t cut = mode == 0 || mode == 1 ? 0xF8F8F8u : 0xFFFFFFu;
    const uint32_t bias = mode == 1 ? 7 : 0;
    // Every result comes from the pixels as they were: `saved` keeps the row above as it was.
    auto sample = [&](const BYTE* row, int x) { return Load32(row + intptr_t(x) * 4) & cut; };
    auto channel = [](uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; };
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels + intptr_t(y) * pitch;
        const BYTE* below = y + 1 < height ? row + pitch : nullptr;
        const bool top = y == 0, bottom = y + 1 == height;
        for (int x = 0; x < width; ++x) {
            const bool left = x == 0, right = x + 1 == width;
            uint32_t v = 0;
            for (int c = 0; c < 3; ++c) {
                const uint32_t cc = channel(sample(row, x), c);
                const uint32_t l = left ? 0 : channel(sample(row, x - 1), c);
                const uint32_t r = right ? 0 : channel(sample(row, x + 1), c);
                const uint32_t a = top ? 0 : channel(saved[x] & cut, c);
                const uint32_t b = bottom ? 0 : channel(sample(below, x), c);
                uint32_t sum;
                uint32_t shift = 2;
                if (top || bottom) {
                    const uint32_t n = top ? b : a;
                    sum = left ? n + 2 * cc + r : right ? n + 2 * cc + l : l + cc + r + n;
                } else if (left) {
                    sum = a + cc + b + r;
                } else if (right) {
                    sum = a + cc + b + l;
                } else {
                    sum = a + 2 * l + 2 * cc + 2 * r + b;
                    shift = 3;
                }
                v |= ((sum >> shift) + bias) << (8 * c);
            }
            pending[x] = v;
        }
        // Keep this row's old pixels for the next row's "above", then write its new values.
        for (int x = 0; x < width; ++x) {
            saved[x] = Load32(row + intptr_t(x) * 4);
            Store32(row + intptr_t(x) * 4, pending[x]);
        }
    }
    return 0;
}

namespace {

inline uint32_t Lerp(uint32_t p0, uint32_t p1, uint32_t f)
{
    uint32_t out = 0;
    for (int c = 0; c < 32; c += 8) {
        const int a = static_cast<int>((p0 >> c) & 0xFF);
        const int b = static_cast<int>((p1 >> c) & 0xFF);
        out |= static_cast<uint32_t>(a + ((b - a) * static_cast<int>(f) >> 8)) << c;
    }
    return out;
}
// a + floor((b - a) f / 256) per channel word, computed as (a (256 - f) + b f) >> 8: equal, as
// 256 a is a multiple of 256, and never above 255 * 256, so the 16-bit words neither wrap nor need
// a mask. keep = 256 - f, take = f, per word.
inline __m128i LerpWords(__m128i a, __m128i b, __m128i keep, __m128i take)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, keep), _mm_mullo_epi16(b, take)), 8);
}
struct Direct {
    uint32_t At(const BYTE* row, uint64_t i) const { return Load32(row + i * 4); }
    // Pixels i and i + 1 in the low half.
    __m128i Pair(const BYTE* row, uint64_t i) const
    {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + i * 4));
    }
};
struct ThroughPalette {
    const uint32_t* palette;
    uint32_t At(const BYTE* row, uint64_t i) const { return palette[row[i]]; }
    __m128i Pair(const BYTE* row, uint64_t i) const
    {
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(palette[row[i]])),
                                  _mm_cvtsi32_si128(int(palette[row[i + 1]])));
    }
};

// The SIMD form works on column chunks: for each source row that a chunk needs, the horizontal
// step is done once into a small row buffer (the rows are shared by neighbouring destination rows),
// then every destination row is the vertical step of two buffered rows. Same order and rounding
// as the plain form, so the results are identical.
constexpr int kChunk = 1024;

// Per column of a chunk: the source column and, for each pair of columns, their weights spread
// over the channel words. Every source row of the chunk uses the same ones.
struct ChunkColumns {
    alignas(16) __m128i keep[kChunk / 2];
    alignas(16) __m128i take[kChunk / 2];
    uint64_t column[kChunk];
    uint32_t lastFraction;
    void Build(uint64_t xpos, uint64_t xStep, int n)
    {
        for (int i = 0; i < n; ++i, xpos += xStep) {
            column[i] = xpos >> 32;
            const int f = int(static_cast<uint32_t>(xpos) >> 24);
            if (i % 2 == 0) {
                keep[i / 2] = Splat16(256 - f);
                take[i / 2] = Splat16(f);
                lastFraction = uint32_t(f);
            } else {
                keep[i / 2] = _mm_unpacklo_epi64(keep[i / 2], Splat16(256 - f));
                take[i / 2] = _mm_unpacklo_epi64(take[i / 2], Splat16(f));
            }
        }
    }
};

// Two output pixels of a source row: columns i and i + 1 with their right neighbours.
template <class Source>
inline __m128i HorizontalPair(const Source& source, const BYTE* row, const ChunkColumns& cols, int i)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i t =
        _mm_unpacklo_epi32(source.Pair(row, cols.column[i]), source.Pair(row, cols.column[i + 1]));
    return LerpWords(_mm_unpacklo_epi8(t, zero), _mm_unpackhi_epi8(t, zero), cols.keep[i / 2],
                     cols.take[i / 2]);
}

template <class Source>
void HorizontalRow(const Source& source, const BYTE* row, const ChunkColumns& cols, int n, BYTE* out)
{
    int i = 0;
    for (; i + 4 <= n; i += 4, out += 16) {
        Store4(out, _mm_packus_epi16(HorizontalPair(source, row, cols, i),
                                     HorizontalPair(source, row, cols, i + 2)));
    }
    for (; i + 2 <= n; i += 2, out += 8) {
        const __m128i h = HorizontalPair(source, row, cols, i);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(h, h));
    }
    if (i < n) {
        const uint64_t ix = cols.column[i];
        Store32(out, Lerp(source.At(row, ix), source.At(row, ix + 1), cols.lastFraction));
    }
}

template <class Source>
void BilinearSimd(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                  const StretchSteps& steps, const Source& source)
{
    alignas(16) BYTE rows[2][kChunk * 4];
    ChunkColumns cols;
    const intptr_t dstPitch = intptr_t(width) * 4 + dstSkip;
    const __m128i zero = _mm_setzero_si128();
    for (int c0 = 0; c0 < width; c0 += kChunk) {
        const int n = std::min(kChunk, width - c0);
        cols.Build(steps.xFraction + steps.xStep * uint64_t(c0), steps.xStep, n);
        int64_t held[2] = {-1, -1}; // the source row in each buffer
        uint64_t ypos = steps.yFraction;
        BYTE* out = dst + intptr_t(c0) * 4;
        for (int y = 0; y < height; ++y, out += dstPitch, ypos += steps.yStep) {
            const int64_t r = int64_t(ypos >> 32);
            // Buffer `top` must hold row r and the other row r + 1.
            int top = held[0] == r ? 0 : held[1] == r ? 1 : -1;
            if (top < 0) {
                top = held[0] == r + 1 ? 1 : 0;
                HorizontalRow(source, src + r * srcPitch, cols, n, rows[top]);
                held[top] = r;
            }
            if (held[1 - top] != r + 1) {
                HorizontalRow(source, src + (r + 1) * srcPitch, cols, n, rows[1 - top]);
                held[1 - top] = r + 1;
            }
            const BYTE* a = rows[top];
            const BYTE* b = rows[1 - top];
            const int fy = int(static_cast<uint32_t>(ypos) >> 24);
            const __m128i keep = Splat16(256 - fy), take = Splat16(fy);
            int i = 0;
            for (; i + 4 <= n; i += 4) {
                const __m128i ta = Load4(a + 4 * i), tb = Load4(b + 4 * i);
                const __m128i lo =
                    LerpWords(_mm_unpacklo_epi8(ta, zero), _mm_unpacklo_epi8(tb, zero), keep, take);
                const __m128i hi =
                    LerpWords(_mm_unpackhi_epi8(ta, zero), _mm_unpackhi_epi8(tb, zero), keep, take);
                Store4(out + 4 * i, _mm_packus_epi16(lo, hi));
            }
            for (; i < n; ++i) {
                Store32(out + 4 * i, Lerp(Load32(a + 4 * i), Load32(b + 4 * i), uint32_t(fy)));
            }
        }
    }
}

template <bool Simd, class Source>
void Bilinear(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
              const StretchSteps& steps, const Source& source)
{
    if (Simd) {
        BilinearSimd(dst, src, dstSkip, srcPitch, width, height, steps, source);
        return;
    }
    uint64_t ypos = steps.yFraction;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = src + static_cast<intptr_t>(ypos >> 32) * srcPitch;
        const BYTE* next = row + srcPitch;
        const uint32_t fy = static_cast<uint32_t>(ypos) >> 24;
        uint64_t xpos = steps.xFraction;
        for (int x = 0; x < width; ++x, dst += 4) {
            const uint64_t ix = xpos >> 32;
            const uint32_t fx = static_cast<uint32_t>(xpos) >> 24;
            const uint32_t top = Lerp(source.At(row, ix), source.At(row, ix + 1), fx);
            const uint32_t bottom = Lerp(source.At(next, ix), source.At(next, ix + 1), fx);
            Store32(dst, Lerp(top, bottom, fy));
            xpos += steps.xStep;
        }
        dst += dstSkip;
        ypos += steps.yStep;
    }
}

} // namespace

void SmoothRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                  const StretchSteps& steps)
{
    Bilinear<false>(dst, src, dstSkip, srcPitch, width, height, steps, Direct{});
}
void SmoothRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps)
{
    Bilinear<true>(dst, src, dstSkip, srcPitch, width, height, steps, Direct{});
}
void SmoothPalRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchSteps& steps, const uint32_t* palette)
{
    Bilinear<false>(dst, src, dstSkip, srcPitch, width, height, steps, ThroughPalette{palette});
}
void SmoothPalRows32Mmx(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchSteps& steps, const uint32_t* palette)
{
    Bilinear<true>(dst, src, dstSkip, srcPitch, width, height, steps, ThroughPalette{palette});
}
