// The blit rows: plain kernels, their SSE2 twins and the AVX2 (and a few AVX-512) ones chosen at run time.
#include "winapi/ddraw/row_kernels.h"

#include "winapi/ddraw/triangle.h"
#include "winapi/simd_level.h"

// GCC 12 starts some 512-bit intrinsics' results from a deliberately undefined register and then
// reports that register from inside its own header; the header is included quietly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <cstring>

namespace winapi::ddraw {

namespace {

inline uint32_t Load32(const void* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(void* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline uint16_t Load16(const void* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline __m128i Load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Per channel (a * (256 - t) + b * t) >> 8 for two channels at a time; alpha comes out 0.
inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t t)
{
    auto pair = [t](uint32_t x, uint32_t y, uint32_t mask) {
        return (((x & mask) * (256 - t) + (y & mask) * t) >> 8) & mask;
    };
    return pair(a, b, 0xFF00FF) | pair(a, b, 0xFF00);
}

// The same in 16-bit lanes as a * 256 + (b - a) * t: worked modulo 2^16, which holds the true
// sum (at most 65280) exactly.
inline __m128i Lerp16(__m128i a, __m128i b, __m128i t)
{
    return _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(a, 8), _mm_mullo_epi16(_mm_sub_epi16(b, a), t)), 8);
}

inline __m128i Colour() { return _mm_set1_epi32(0x00FFFFFF); }

} // namespace

void LerpAcrossPlain(const uint32_t* src, const int32_t* xa, const int32_t* xb, const uint16_t* weights,
                     uint32_t* out, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        Store32(out + i, Lerp(Load32(src + xa[i]), Load32(src + xb[i]), weights[4 * i]));
}

void LerpAcrossSse2(const uint32_t* src, const int32_t* xa, const int32_t* xb, const uint16_t* weights,
                    uint32_t* out, LONG count)
{
    auto two = [src](int32_t x0, int32_t x1) {
        return _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(Load32(src + x0))),
                                                    _mm_cvtsi32_si128(static_cast<int>(Load32(src + x1)))),
                                 _mm_setzero_si128());
    };
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i low = Lerp16(two(xa[i], xa[i + 1]), two(xb[i], xb[i + 1]), Load128(weights + 4 * i));
        const __m128i high =
            Lerp16(two(xa[i + 2], xa[i + 3]), two(xb[i + 2], xb[i + 3]), Load128(weights + 4 * i + 8));
        Store128(out + i, _mm_and_si128(_mm_packus_epi16(low, high), Colour()));
    }
    LerpAcrossPlain(src, xa + i, xb + i, weights + 4 * i, out + i, count - i);
}

void LerpDownPlain(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        Store32(out + i, Lerp(Load32(top + i), Load32(bottom + i), w));
}

void LerpDownSse2(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i weight = _mm_set1_epi16(static_cast<short>(w));
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i t = Load128(top + i), b = Load128(bottom + i);
        const __m128i low = Lerp16(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero), weight);
        const __m128i high = Lerp16(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero), weight);
        Store128(out + i, _mm_and_si128(_mm_packus_epi16(low, high), Colour()));
    }
    LerpDownPlain(top + i, bottom + i, w, out + i, count - i);
}

__attribute__((target("avx2"))) void LerpDownAvx2(const uint32_t* top, const uint32_t* bottom, uint32_t w,
                                                 uint32_t* out, LONG count)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weight = _mm256_set1_epi16(static_cast<short>(w));
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + i));
        // Unpacking and packing both work within 128-bit halves, so the pixels keep their places.
        const __m256i tLow = _mm256_unpacklo_epi8(t, zero), bLow = _mm256_unpacklo_epi8(b, zero);
        const __m256i tHigh = _mm256_unpackhi_epi8(t, zero), bHigh = _mm256_unpackhi_epi8(b, zero);
        const __m256i low = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_slli_epi16(tLow, 8), _mm256_mullo_epi16(_mm256_sub_epi16(bLow, tLow), weight)), 8);
        const __m256i high = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_slli_epi16(tHigh, 8), _mm256_mullo_epi16(_mm256_sub_epi16(bHigh, tHigh), weight)),
            8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(_mm256_packus_epi16(low, high), colour));
    }
    LerpDownSse2(top + i, bottom + i, w, out + i, count - i);
}

__attribute__((target("avx2"))) void LerpPairsAvx2(const uint32_t* src, const int32_t* xa, const uint16_t* weights,
                                                  uint32_t* out, LONG count)
{
    const __m256i zero = _mm256_setzero_si256();
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i mixed[2];
        for (int half = 0; half < 2; ++half) {
            // Four pixels and their right neighbours: [a0 b0 a1 b1 | a2 b2 a3 b3].
            const int32_t* x = xa + i + 4 * half;
            auto pair = [src](int32_t at) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + at)); };
            const __m256i v = _mm256_set_m128i(_mm_unpacklo_epi64(pair(x[2]), pair(x[3])),
                                               _mm_unpacklo_epi64(pair(x[0]), pair(x[1])));
            const __m256i first = _mm256_unpacklo_epi8(v, zero), second = _mm256_unpackhi_epi8(v, zero);
            const __m256i a = _mm256_unpacklo_epi64(first, second), b = _mm256_unpackhi_epi64(first, second);
            const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 4 * (i + 4 * half)));
            mixed[half] =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_slli_epi16(a, 8), _mm256_mullo_epi16(_mm256_sub_epi16(b, a), w)), 8);
        }
        // Packing interleaves the halves' 64-bit parts; one permute puts them back in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(mixed[0], mixed[1]), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_and_si256(packed, _mm256_set1_epi32(0x00FFFFFF)));
    }
    for (; i < count; ++i)
        Store32(out + i, Lerp(Load32(src + xa[i]), Load32(src + xa[i] + 1), weights[4 * i]));
}

bool HasAvx2()
{
    return UseAvx2();
}

void LerpDown(const uint32_t* top, const uint32_t* bottom, uint32_t w, uint32_t* out, LONG count)
{
    if (HasAvx2())
        LerpDownAvx2(top, bottom, w, out, count);
    else
        LerpDownSse2(top, bottom, w, out, count);
}

void QuadAcrossPlain(const uint32_t* src, LONG, const int32_t* xa, const int32_t* xb, const int32_t* w,
                     int32_t* const out[3], LONG count)
{
    for (LONG i = 0; i < count; ++i) {
        const uint32_t a = Load32(src + xa[i]), b = Load32(src + xb[i]);
        for (int k = 0; k < 3; ++k) {
            const int shift = 16 - 8 * k;
            out[k][i] = MixAcross(static_cast<int32_t>((a >> shift) & 0xFF), static_cast<int32_t>((b >> shift) & 0xFF), w[i]);
        }
    }
}

namespace {

// Channel k of a and b as 16-bit pairs (a low), so that one multiply-add by the pairs
// (one - w, w) mixes them.
inline __m128i ChannelPairs(__m128i a, __m128i b, int k)
{
    const __m128i low = _mm_and_si128(_mm_srli_epi32(a, 16 - 8 * k), _mm_set1_epi32(0xFF));
    const __m128i high = _mm_and_si128(_mm_slli_epi32(b, 8 * k), _mm_set1_epi32(0xFF0000));
    return _mm_or_si128(low, high);
}
inline __attribute__((target("avx2"))) __m256i ChannelPairs(__m256i a, __m256i b, int k)
{
    const __m256i low = _mm256_and_si256(_mm256_srli_epi32(a, 16 - 8 * k), _mm256_set1_epi32(0xFF));
    const __m256i high = _mm256_and_si256(_mm256_slli_epi32(b, 8 * k), _mm256_set1_epi32(0xFF0000));
    return _mm256_or_si256(low, high);
}

} // namespace

void QuadAcrossSse2(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                    int32_t* const out[3], LONG count)
{
    auto four = [src](const int32_t* x) {
        return _mm_setr_epi32(static_cast<int>(Load32(src + x[0])), static_cast<int>(Load32(src + x[1])),
                              static_cast<int>(Load32(src + x[2])), static_cast<int>(Load32(src + x[3])));
    };
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i a = four(xa + i), b = four(xb + i);
        const __m128i wb = Load128(w + i);
        const __m128i weights = _mm_or_si128(_mm_sub_epi32(_mm_set1_epi32(kWeightOne), wb), _mm_slli_epi32(wb, 16));
        for (int k = 0; k < 3; ++k)
            Store128(out[k] + i, _mm_madd_epi16(ChannelPairs(a, b, k), weights));
    }
    int32_t* const rest[3] = {out[0] + i, out[1] + i, out[2] + i};
    QuadAcrossPlain(src, length, xa + i, xb + i, w + i, rest, count - i);
}

__attribute__((target("avx2"))) void QuadAcrossAvx2(const uint32_t* src, LONG length, const int32_t* xa,
                                                   const int32_t* xb, const int32_t* w, int32_t* const out[3],
                                                   LONG count)
{
    const __m256i seven = _mm256_set1_epi32(7);
    const auto* base = reinterpret_cast<const int*>(src);
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i ia = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xa + i));
        const __m256i ib = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xb + i));
        // When the eight samples read within eight pixels from the first one (enlarging), one
        // load and two permutes replace two gathers.
        const int32_t first = xa[i];
        const __m256i start = _mm256_set1_epi32(first);
        const __m256i oa = _mm256_sub_epi32(ia, start), ob = _mm256_sub_epi32(ib, start);
        const __m256i outside = _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi32(oa, seven), _mm256_cmpgt_epi32(ob, seven)),
                                                _mm256_cmpgt_epi32(_mm256_setzero_si256(), _mm256_or_si256(oa, ob)));
        __m256i a, b;
        if (first + 8 <= length && _mm256_testz_si256(outside, outside)) {
            const __m256i run = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + first));
            a = _mm256_permutevar8x32_epi32(run, oa);
            b = _mm256_permutevar8x32_epi32(run, ob);
        } else {
            a = _mm256_i32gather_epi32(base, ia, 4);
            b = _mm256_i32gather_epi32(base, ib, 4);
        }
        const __m256i wb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i));
        const __m256i weights =
            _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(kWeightOne), wb), _mm256_slli_epi32(wb, 16));
        for (int k = 0; k < 3; ++k)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[k] + i), _mm256_madd_epi16(ChannelPairs(a, b, k), weights));
    }
    int32_t* const rest[3] = {out[0] + i, out[1] + i, out[2] + i};
    QuadAcrossSse2(src, length, xa + i, xb + i, w + i, rest, count - i);
}

void QuadAcross(const uint32_t* src, LONG length, const int32_t* xa, const int32_t* xb, const int32_t* w,
                int32_t* const out[3], LONG count)
{
    if (HasAvx2())
        QuadAcrossAvx2(src, length, xa, xb, w, out, count);
    else
        QuadAcrossSse2(src, length, xa, xb, w, out, count);
}

void QuadDownPlain(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count)
{
    for (LONG i = 0; i < count; ++i) {
        uint32_t pixel = 0;
        for (int k = 0; k < 3; ++k)
            pixel |= static_cast<uint32_t>(MixDown(top[k][i], bottom[k][i], w)) << (16 - 8 * k);
        Store32(out + i, pixel);
    }
}

namespace {

constexpr int kDownShift = 2 * kWeightBits;
constexpr int32_t kDownHalf = 1 << (kDownShift - 1);

} // namespace

void QuadDownSse2(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count)
{
    // Both products are below 2^31, so the low halves of the unsigned 64-bit ones hold them.
    const __m128i upper = _mm_set1_epi32(kWeightOne - w), lower = _mm_set1_epi32(w);
    const __m128i lowHalves = _mm_set_epi32(0, -1, 0, -1), half = _mm_set1_epi32(kDownHalf);
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i pixel = _mm_setzero_si128();
        for (int k = 0; k < 3; ++k) {
            const __m128i t = Load128(top[k] + i), b = Load128(bottom[k] + i);
            const __m128i even = _mm_add_epi64(_mm_mul_epu32(t, upper), _mm_mul_epu32(b, lower));
            const __m128i odd = _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(t, 32), upper),
                                              _mm_mul_epu32(_mm_srli_epi64(b, 32), lower));
            const __m128i sum = _mm_or_si128(_mm_and_si128(even, lowHalves), _mm_slli_epi64(odd, 32));
            pixel = _mm_or_si128(pixel, _mm_slli_epi32(_mm_srli_epi32(_mm_add_epi32(sum, half), kDownShift), 16 - 8 * k));
        }
        Store128(out + i, pixel);
    }
    const int32_t* const topRest[3] = {top[0] + i, top[1] + i, top[2] + i};
    const int32_t* const bottomRest[3] = {bottom[0] + i, bottom[1] + i, bottom[2] + i};
    QuadDownPlain(topRest, bottomRest, w, out + i, count - i);
}

__attribute__((target("avx2"))) void QuadDownAvx2(const int32_t* const top[3], const int32_t* const bottom[3],
                                                 int32_t w, uint32_t* out, LONG count)
{
    const __m256i weight = _mm256_set1_epi32(w), half = _mm256_set1_epi32(kDownHalf);
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i pixel = _mm256_setzero_si256();
        for (int k = 0; k < 3; ++k) {
            const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top[k] + i));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom[k] + i));
            // t * (one - w) + b * w as t * one + (b - t) * w.
            const __m256i sum = _mm256_add_epi32(_mm256_slli_epi32(t, kWeightBits),
                                                 _mm256_mullo_epi32(_mm256_sub_epi32(b, t), weight));
            pixel = _mm256_or_si256(pixel, _mm256_slli_epi32(_mm256_srli_epi32(_mm256_add_epi32(sum, half), kDownShift),
                                                             16 - 8 * k));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), pixel);
    }
    const int32_t* const topRest[3] = {top[0] + i, top[1] + i, top[2] + i};
    const int32_t* const bottomRest[3] = {bottom[0] + i, bottom[1] + i, bottom[2] + i};
    QuadDownSse2(topRest, bottomRest, w, out + i, count - i);
}

void QuadDown(const int32_t* const top[3], const int32_t* const bottom[3], int32_t w, uint32_t* out, LONG count)
{
    if (HasAvx2())
        QuadDownAvx2(top, bottom, w, out, count);
    else
        QuadDownSse2(top, bottom, w, out, count);
}

namespace {

template <typename Pixel> void KeyedCopyPlain(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    for (LONG i = 0; i < count; ++i) {
        Pixel v;
        std::memcpy(&v, src + sizeof(Pixel) * i, sizeof(Pixel));
        if (v < low || v > high)
            std::memcpy(dst + sizeof(Pixel) * i, &v, sizeof(Pixel));
    }
}

// Whole registers of pixels: `outside(s)` marks the pixels that go in; the rest keep dst.
template <typename Pixel, typename Outside>
LONG KeyedCopyBlocks(const BYTE* src, BYTE* dst, LONG count, Outside outside)
{
    constexpr LONG kStep = 16 / sizeof(Pixel);
    LONG i = 0;
    for (; i + kStep <= count; i += kStep) {
        const __m128i s = Load128(src + sizeof(Pixel) * i), d = Load128(dst + sizeof(Pixel) * i);
        const __m128i keep = outside(s);
        Store128(dst + sizeof(Pixel) * i, _mm_or_si128(_mm_and_si128(keep, s), _mm_andnot_si128(keep, d)));
    }
    return i;
}

} // namespace

void KeyedCopy32Plain(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    KeyedCopyPlain<uint32_t>(src, dst, count, low, high);
}

void KeyedCopy32Sse2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    // Unsigned order by signed compares of values with the top bit flipped.
    const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i lowFlipped = _mm_set1_epi32(static_cast<int>(low ^ 0x80000000u));
    const __m128i highFlipped = _mm_set1_epi32(static_cast<int>(high ^ 0x80000000u));
    const LONG i = KeyedCopyBlocks<uint32_t>(src, dst, count, [&](__m128i s) {
        const __m128i f = _mm_xor_si128(s, flip);
        return _mm_or_si128(_mm_cmpgt_epi32(lowFlipped, f), _mm_cmpgt_epi32(f, highFlipped));
    });
    KeyedCopy32Plain(src + 4 * i, dst + 4 * i, count - i, low, high);
}

void KeyedCopy16Plain(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    KeyedCopyPlain<uint16_t>(src, dst, count, low, high);
}

void KeyedCopy16Sse2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    // A key above every 16-bit value keeps every pixel; one reaching past 0xFFFF ends there.
    if (low > 0xFFFF) {
        std::memcpy(dst, src, static_cast<size_t>(count) * 2);
        return;
    }
    const DWORD top = high > 0xFFFF ? 0xFFFF : high;
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i lowFlipped = _mm_set1_epi16(static_cast<short>(low ^ 0x8000));
    const __m128i highFlipped = _mm_set1_epi16(static_cast<short>(top ^ 0x8000));
    const LONG i = KeyedCopyBlocks<uint16_t>(src, dst, count, [&](__m128i s) {
        const __m128i f = _mm_xor_si128(s, flip);
        return _mm_or_si128(_mm_cmpgt_epi16(lowFlipped, f), _mm_cmpgt_epi16(f, highFlipped));
    });
    KeyedCopy16Plain(src + 2 * i, dst + 2 * i, count - i, low, high);
}

void Pick32Plain(const BYTE* src, const int32_t* xs, BYTE* out, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        std::memcpy(out + 4 * i, src + 4 * static_cast<ptrdiff_t>(xs[i]), 4);
}

void Pick32Sse2(const BYTE* src, const int32_t* xs, BYTE* out, LONG count)
{
    auto one = [src](int32_t x) {
        return _mm_cvtsi32_si128(static_cast<int>(Load32(src + 4 * static_cast<ptrdiff_t>(x))));
    };
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i low = _mm_unpacklo_epi32(one(xs[i]), one(xs[i + 1]));
        const __m128i high = _mm_unpacklo_epi32(one(xs[i + 2]), one(xs[i + 3]));
        Store128(out + 4 * i, _mm_unpacklo_epi64(low, high));
    }
    Pick32Plain(src, xs + i, out + 4 * i, count - i);
}

void Pick16Plain(const BYTE* src, const int32_t* xs, BYTE* out, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        std::memcpy(out + 2 * i, src + 2 * static_cast<ptrdiff_t>(xs[i]), 2);
}

void Pick16Sse2(const BYTE* src, const int32_t* xs, BYTE* out, LONG count)
{
    auto at = [src](int32_t x) { return static_cast<int>(Load16(src + 2 * static_cast<ptrdiff_t>(x))); };
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i v = _mm_cvtsi32_si128(at(xs[i]));
        v = _mm_insert_epi16(v, at(xs[i + 1]), 1);
        v = _mm_insert_epi16(v, at(xs[i + 2]), 2);
        v = _mm_insert_epi16(v, at(xs[i + 3]), 3);
        v = _mm_insert_epi16(v, at(xs[i + 4]), 4);
        v = _mm_insert_epi16(v, at(xs[i + 5]), 5);
        v = _mm_insert_epi16(v, at(xs[i + 6]), 6);
        v = _mm_insert_epi16(v, at(xs[i + 7]), 7);
        Store128(out + 2 * i, v);
    }
    Pick16Plain(src, xs + i, out + 2 * i, count - i);
}


__attribute__((target("avx2"))) void KeyedCopy32Avx2(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    const __m256i flip = _mm256_set1_epi32(static_cast<int>(0x80000000u));
    const __m256i lowFlipped = _mm256_set1_epi32(static_cast<int>(low ^ 0x80000000u));
    const __m256i highFlipped = _mm256_set1_epi32(static_cast<int>(high ^ 0x80000000u));
    LONG i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        const __m256i f = _mm256_xor_si256(s, flip);
        const __m256i keep = _mm256_or_si256(_mm256_cmpgt_epi32(lowFlipped, f), _mm256_cmpgt_epi32(f, highFlipped));
        auto* d = reinterpret_cast<__m256i*>(dst + 4 * i);
        // Mostly no pixel is keyed: the destination is then not read.
        if (_mm256_testc_si256(keep, _mm256_set1_epi32(-1)))
            _mm256_storeu_si256(d, s);
        else
            _mm256_storeu_si256(d, _mm256_blendv_epi8(_mm256_loadu_si256(d), s, keep));
    }
    KeyedCopy32Sse2(src + 4 * i, dst + 4 * i, count - i, low, high);
}

void KeyedCopy32(const BYTE* src, BYTE* dst, LONG count, DWORD low, DWORD high)
{
    if (HasAvx2())
        KeyedCopy32Avx2(src, dst, count, low, high);
    else if (UseSse2())
        KeyedCopy32Sse2(src, dst, count, low, high);
    else
        KeyedCopy32Plain(src, dst, count, low, high);
}

void BlendOver8888Plain(const uint32_t* src, uint32_t* dst, LONG count)
{
    for (LONG i = 0; i < count; ++i) {
        const uint32_t s = Load32(src + i), d = Load32(dst + i);
        const uint32_t a = s >> 24, ia = 255 - a;
        uint32_t v = 0;
        for (int shift = 0; shift < 24; shift += 8)
            v |= (((s >> shift & 0xFF) * a + (d >> shift & 0xFF) * ia + 127) / 255) << shift;
        Store32(dst + i, v);
    }
}

// In 16-bit lanes, (x + 128 + ((x + 128) >> 8)) >> 8 is x / 255 rounded for every x up to 65025.
void BlendOver8888Sse2(const uint32_t* src, uint32_t* dst, LONG count)
{
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255), half = _mm_set1_epi16(128);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    auto mix = [&](__m128i s, __m128i d) {
        const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
        __m128i x = _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(full, a)));
        x = _mm_add_epi16(x, half);
        return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    };
    LONG i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i s = Load128(src + i), d = Load128(dst + i);
        const __m128i lo = mix(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
        const __m128i hi = mix(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
        Store128(dst + i, _mm_and_si128(_mm_packus_epi16(lo, hi), colour));
    }
    BlendOver8888Plain(src + i, dst + i, count - i);
}

namespace {

// Widened source and destination channels by their weights a and 255 - a: s * a + d * (255 - a)
// + 128, then (x * 257) >> 16, which is x / 255 rounded for every x up to 65153.
__attribute__((target("avx2"))) inline __m256i MixOver(__m256i s, __m256i d, __m256i a, __m256i inverse)
{
    const __m256i x = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(s, a), _mm256_mullo_epi16(d, inverse)),
                                       _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(x, _mm256_set1_epi16(257));
}

// Eight 8888 pixels over eight x888 ones: each pixel's alpha (or 255 - alpha, from the inverted
// pixel) as the 16-bit weight of its three colours and 0 for its alpha, which so comes out 0.
__attribute__((target("avx2"))) inline __m256i Over8(__m256i s, __m256i d)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lowWeights = _mm256_setr_epi8(3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1, 3, -1, 3,
                                                -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1);
    const __m256i highWeights = _mm256_setr_epi8(11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1, 11,
                                                 -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1);
    const __m256i inverse = _mm256_xor_si256(s, _mm256_set1_epi32(-1));
    const __m256i lo = MixOver(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero),
                               _mm256_shuffle_epi8(s, lowWeights), _mm256_shuffle_epi8(inverse, lowWeights));
    const __m256i hi = MixOver(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero),
                               _mm256_shuffle_epi8(s, highWeights), _mm256_shuffle_epi8(inverse, highWeights));
    return _mm256_packus_epi16(lo, hi);
}

} // namespace

__attribute__((target("avx2"))) void BlendOver8888Avx2(const uint32_t* src, uint32_t* dst, LONG count)
{
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF), alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    auto* to = reinterpret_cast<__m256i*>(dst);
    auto* from = reinterpret_cast<const __m256i*>(src);
    LONG i = 0;
    // Sixteen pixels a step: all opaque are the source's colours, all clear the destination's.
    for (; i + 16 <= count; i += 16, from += 2, to += 2) {
        const __m256i s0 = _mm256_loadu_si256(from), s1 = _mm256_loadu_si256(from + 1);
        if (_mm256_testc_si256(_mm256_and_si256(s0, s1), alpha)) {
            _mm256_storeu_si256(to, _mm256_and_si256(s0, colour));
            _mm256_storeu_si256(to + 1, _mm256_and_si256(s1, colour));
            continue;
        }
        const __m256i d0 = _mm256_loadu_si256(to), d1 = _mm256_loadu_si256(to + 1);
        if (_mm256_testz_si256(_mm256_or_si256(s0, s1), alpha)) {
            if (!_mm256_testz_si256(_mm256_or_si256(d0, d1), alpha)) {
                _mm256_storeu_si256(to, _mm256_and_si256(d0, colour));
                _mm256_storeu_si256(to + 1, _mm256_and_si256(d1, colour));
            }
            continue;
        }
        _mm256_storeu_si256(to, Over8(s0, d0));
        _mm256_storeu_si256(to + 1, Over8(s1, d1));
    }
    for (; i + 8 <= count; i += 8, ++from, ++to)
        _mm256_storeu_si256(to, Over8(_mm256_loadu_si256(from), _mm256_loadu_si256(to)));
    BlendOver8888Sse2(src + i, dst + i, count - i);
}

namespace {

// Four lanes of sample positions (texels; the sample lies half a texel before) clamped to 0..top
// and placed to fixed point: the whole fixed-point values, and which lie edge or more from them.
__attribute__((target("avx2"))) inline __m128i FixedPositions(__m256d p, double top, double edge, int* unsure)
{
    const __m256d clamped = _mm256_min_pd(_mm256_max_pd(_mm256_sub_pd(p, _mm256_set1_pd(0.5)), _mm256_setzero_pd()),
                                          _mm256_set1_pd(top));
    const __m256d f = _mm256_add_pd(_mm256_mul_pd(clamped, _mm256_set1_pd(kWeightOne)), _mm256_set1_pd(0.5));
    const __m128i fixed = _mm256_cvttpd_epi32(f);  // f >= 0.5: truncation is the floor
    const __m256d off = _mm256_sub_pd(_mm256_sub_pd(f, _mm256_cvtepi32_pd(fixed)), _mm256_set1_pd(0.5));
    const __m256d distance = _mm256_andnot_pd(_mm256_set1_pd(-0.0), off);
    *unsure = _mm256_movemask_pd(_mm256_cmp_pd(distance, _mm256_set1_pd(edge), _CMP_GE_OQ));
    return fixed;
}

// Two gathered texels of each of two pixels (lane groups 0 and 4 of a shuffle) mixed across by
// the pairs (one - w, w): 32-bit channels B, G, R, A of each.
__attribute__((target("avx2"))) inline __m256i MixPairs(__m256i pairs16, __m256i weights)
{
    return _mm256_madd_epi16(pairs16, weights);
}

// The texels at offsets[a], offsets[a + 1] (low half) and offsets[b], offsets[b + 1] (high half)
// each with its right neighbour, as eight bytes loaded at once, interleaved channel by channel.
__attribute__((target("avx2"))) inline __m256i TexelPairs(const BYTE* pixels, const int32_t* offsets, int a, int b,
                                                          __m256i alpha)
{
    const __m256i interleave = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2,
                                                6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
    auto load = [pixels, offsets](int k) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels + offsets[k]));
    };
    const __m256i both = _mm256_set_m128i(_mm_unpacklo_epi64(load(b), load(b + 1)), _mm_unpacklo_epi64(load(a), load(a + 1)));
    return _mm256_shuffle_epi8(_mm256_or_si256(both, alpha), interleave);
}

} // namespace

__attribute__((target("avx2"))) uint64_t SampleBilinearRowAvx2(const BYTE* pixels, LONG pitch, LONG width,
                                                                 LONG height, bool opaque, double a0, double b0,
                                                                 double da, double db, LONG first, LONG count,
                                                                 double edge, uint32_t* out)
{
    uint64_t unsureBits = 0;
    const __m256i zero = _mm256_setzero_si256(), mask = _mm256_set1_epi32(kWeightOne - 1);
    const __m256i one = _mm256_set1_epi32(kWeightOne);
    const __m256i lastX = _mm256_set1_epi32(width - 1), lastY = _mm256_set1_epi32(height - 1);
    const __m256i alpha = _mm256_set1_epi32(opaque ? static_cast<int>(0xFF000000u) : 0);
    const __m256i pitchV = _mm256_set1_epi32(pitch), half = _mm256_set1_epi32(1 << (2 * kWeightBits - 1));
    const auto* base = reinterpret_cast<const int*>(pixels);
    for (LONG k = 0; k < count; k += 8) {
        // Positions in double exactly as the per-pixel loop works them: a0 + index * da.
        const __m256d indexLow = _mm256_setr_pd(first + k, first + k + 1, first + k + 2, first + k + 3);
        const __m256d indexHigh = _mm256_add_pd(indexLow, _mm256_set1_pd(4));
        int unsure[4];
        const __m128i uLow = FixedPositions(_mm256_add_pd(_mm256_set1_pd(a0), _mm256_mul_pd(indexLow, _mm256_set1_pd(da))),
                                            width - 1.0, edge, &unsure[0]);
        const __m128i uHigh = FixedPositions(
            _mm256_add_pd(_mm256_set1_pd(a0), _mm256_mul_pd(indexHigh, _mm256_set1_pd(da))), width - 1.0, edge, &unsure[1]);
        const __m128i vLow = FixedPositions(_mm256_add_pd(_mm256_set1_pd(b0), _mm256_mul_pd(indexLow, _mm256_set1_pd(db))),
                                            height - 1.0, edge, &unsure[2]);
        const __m128i vHigh = FixedPositions(
            _mm256_add_pd(_mm256_set1_pd(b0), _mm256_mul_pd(indexHigh, _mm256_set1_pd(db))), height - 1.0, edge, &unsure[3]);
        const uint32_t lanes = static_cast<uint32_t>((unsure[0] | unsure[2]) | (unsure[1] | unsure[3]) << 4);
        const __m256i fu = _mm256_set_m128i(uHigh, uLow), fv = _mm256_set_m128i(vHigh, vLow);
        const __m256i wu = _mm256_and_si256(fu, mask), wv = _mm256_and_si256(fv, mask);
        const __m256i x0 = _mm256_srai_epi32(fu, kWeightBits), y0 = _mm256_srai_epi32(fv, kWeightBits);
        const __m256i x1 = _mm256_min_epi32(_mm256_add_epi32(x0, _mm256_set1_epi32(1)), lastX);
        const __m256i y1 = _mm256_min_epi32(_mm256_add_epi32(y0, _mm256_set1_epi32(1)), lastY);
        const __m256i row0 = _mm256_mullo_epi32(y0, pitchV), row1 = _mm256_mullo_epi32(y1, pitchV);
        const __m256i col0 = _mm256_slli_epi32(x0, 2), col1 = _mm256_slli_epi32(x1, 2);
        // Each texel beside its right neighbour, channel by channel: pixels 0 1 | 4 5 (low) and
        // 2 3 | 6 7 (high). Lanes past count read clamped positions: harmless, and not stored.
        __m256i topLow, topHigh, bottomLow, bottomHigh;
        const __m256i top0 = _mm256_add_epi32(row0, col0), bottom0 = _mm256_add_epi32(row1, col0);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(x1, _mm256_add_epi32(x0, _mm256_set1_epi32(1)))) == -1) {
            // Both texels of a row in one 8-byte load.
            alignas(32) int32_t at[2][8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(at[0]), top0);
            _mm256_store_si256(reinterpret_cast<__m256i*>(at[1]), bottom0);
            topLow = TexelPairs(pixels, at[0], 0, 4, alpha), topHigh = TexelPairs(pixels, at[0], 2, 6, alpha);
            bottomLow = TexelPairs(pixels, at[1], 0, 4, alpha), bottomHigh = TexelPairs(pixels, at[1], 2, 6, alpha);
        } else {
            const __m256i p00 = _mm256_or_si256(_mm256_i32gather_epi32(base, top0, 1), alpha);
            const __m256i p01 = _mm256_or_si256(_mm256_i32gather_epi32(base, _mm256_add_epi32(row0, col1), 1), alpha);
            const __m256i p10 = _mm256_or_si256(_mm256_i32gather_epi32(base, bottom0, 1), alpha);
            const __m256i p11 = _mm256_or_si256(_mm256_i32gather_epi32(base, _mm256_add_epi32(row1, col1), 1), alpha);
            topLow = _mm256_unpacklo_epi8(p00, p01), topHigh = _mm256_unpackhi_epi8(p00, p01);
            bottomLow = _mm256_unpacklo_epi8(p10, p11), bottomHigh = _mm256_unpackhi_epi8(p10, p11);
        }
        // (one - w) in the low 16 bits of each lane, w in the high ones.
        const __m256i across = _mm256_or_si256(_mm256_sub_epi32(one, wu), _mm256_slli_epi32(wu, 16));
        const __m256i upper = _mm256_sub_epi32(one, wv);
        __m256i mixed[4];
        for (int j = 0; j < 4; ++j) {
            // Pixels j and j + 4 (one in each half of the registers).
            const __m256i top16 = j < 2 ? topLow : topHigh, bottom16 = j < 2 ? bottomLow : bottomHigh;
            const __m256i top = j % 2 == 0 ? _mm256_unpacklo_epi8(top16, zero) : _mm256_unpackhi_epi8(top16, zero);
            const __m256i bottom =
                j % 2 == 0 ? _mm256_unpacklo_epi8(bottom16, zero) : _mm256_unpackhi_epi8(bottom16, zero);
            __m256i w, up, down;
            switch (j) {
            case 0:
                w = _mm256_shuffle_epi32(across, 0x00), up = _mm256_shuffle_epi32(upper, 0x00),
                down = _mm256_shuffle_epi32(wv, 0x00);
                break;
            case 1:
                w = _mm256_shuffle_epi32(across, 0x55), up = _mm256_shuffle_epi32(upper, 0x55),
                down = _mm256_shuffle_epi32(wv, 0x55);
                break;
            case 2:
                w = _mm256_shuffle_epi32(across, 0xAA), up = _mm256_shuffle_epi32(upper, 0xAA),
                down = _mm256_shuffle_epi32(wv, 0xAA);
                break;
            default:
                w = _mm256_shuffle_epi32(across, 0xFF), up = _mm256_shuffle_epi32(upper, 0xFF),
                down = _mm256_shuffle_epi32(wv, 0xFF);
                break;
            }
            const __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(MixPairs(top, w), up),
                                                 _mm256_mullo_epi32(MixPairs(bottom, w), down));
            mixed[j] = _mm256_srli_epi32(_mm256_add_epi32(sum, half), 2 * kWeightBits);
        }
        // Channels back to bytes: pixels 0 1 2 3 in the low half, 4 5 6 7 in the high one.
        __m256i samples = _mm256_packus_epi16(_mm256_packus_epi32(mixed[0], mixed[1]),
                                              _mm256_packus_epi32(mixed[2], mixed[3]));
        if (lanes != 0) {
            const __m256i bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
            const __m256i drop =
                _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(lanes)), bits), bits);
            samples = _mm256_andnot_si256(drop, samples);
        }
        const LONG n = count - k < 8 ? count - k : 8;
        if (n == 8) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), samples);
        } else {
            alignas(32) uint32_t rest[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(rest), samples);
            std::memcpy(out + k, rest, static_cast<size_t>(n) * 4);
        }
        unsureBits |= static_cast<uint64_t>(lanes & ((1u << n) - 1)) << k;
    }
    return unsureBits;
}

namespace {

#define DDRAW_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))

// MixOver and Over8 in 512-bit registers: sixteen pixels, the same lanes' arithmetic.
DDRAW_AVX512 inline __m512i MixOver16(__m512i s, __m512i d, __m512i a, __m512i inverse)
{
    const __m512i x = _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(s, a), _mm512_mullo_epi16(d, inverse)),
                                       _mm512_set1_epi16(128));
    return _mm512_mulhi_epu16(x, _mm512_set1_epi16(257));
}

DDRAW_AVX512 inline __m512i Over16(__m512i s, __m512i d)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i lowWeights = _mm512_broadcast_i32x4(
        _mm_setr_epi8(3, -1, 3, -1, 3, -1, -1, -1, 7, -1, 7, -1, 7, -1, -1, -1));
    const __m512i highWeights = _mm512_broadcast_i32x4(
        _mm_setr_epi8(11, -1, 11, -1, 11, -1, -1, -1, 15, -1, 15, -1, 15, -1, -1, -1));
    const __m512i inverse = _mm512_ternarylogic_epi32(s, s, s, 0x55);
    const __m512i lo = MixOver16(_mm512_unpacklo_epi8(s, zero), _mm512_unpacklo_epi8(d, zero),
                                 _mm512_shuffle_epi8(s, lowWeights), _mm512_shuffle_epi8(inverse, lowWeights));
    const __m512i hi = MixOver16(_mm512_unpackhi_epi8(s, zero), _mm512_unpackhi_epi8(d, zero),
                                 _mm512_shuffle_epi8(s, highWeights), _mm512_shuffle_epi8(inverse, highWeights));
    return _mm512_packus_epi16(lo, hi);
}

} // namespace

DDRAW_AVX512 void BlendOver8888Avx512(const uint32_t* src, uint32_t* dst, LONG count)
{
    const __m512i colour = _mm512_set1_epi32(0x00FFFFFF), alpha = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    LONG i = 0;
    // As the AVX2 rows: all opaque are the source's colours, all clear the destination's.
    for (; i + 32 <= count; i += 32) {
        const __m512i s0 = _mm512_loadu_si512(src + i), s1 = _mm512_loadu_si512(src + i + 16);
        if (_mm512_cmpneq_epi32_mask(_mm512_and_si512(_mm512_and_si512(s0, s1), alpha), alpha) == 0) {
            _mm512_storeu_si512(dst + i, _mm512_and_si512(s0, colour));
            _mm512_storeu_si512(dst + i + 16, _mm512_and_si512(s1, colour));
            continue;
        }
        const __m512i d0 = _mm512_loadu_si512(dst + i), d1 = _mm512_loadu_si512(dst + i + 16);
        if (_mm512_test_epi32_mask(_mm512_or_si512(s0, s1), alpha) == 0) {
            if (_mm512_test_epi32_mask(_mm512_or_si512(d0, d1), alpha) != 0) {
                _mm512_storeu_si512(dst + i, _mm512_and_si512(d0, colour));
                _mm512_storeu_si512(dst + i + 16, _mm512_and_si512(d1, colour));
            }
            continue;
        }
        _mm512_storeu_si512(dst + i, Over16(s0, d0));
        _mm512_storeu_si512(dst + i + 16, Over16(s1, d1));
    }
    for (; i + 16 <= count; i += 16)
        _mm512_storeu_si512(dst + i, Over16(_mm512_loadu_si512(src + i), _mm512_loadu_si512(dst + i)));
    BlendOver8888Avx2(src + i, dst + i, count - i);
}

void CopyRowPlain(const BYTE* src, BYTE* dst, size_t bytes)
{
    std::memcpy(dst, src, bytes);
}

// The first bytes go unaligned, then the destination steps from its next vector boundary, so that
// no store of the loop splits across two cache lines; the last vector ends at the row's end.
__attribute__((target("avx2"))) void CopyRowAvx2(const BYTE* src, BYTE* dst, size_t bytes)
{
    if (bytes < 32) {
        std::memcpy(dst, src, bytes);
        return;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src)));
    size_t i = 32 - (reinterpret_cast<uintptr_t>(dst) & 31);
    for (; i + 128 <= bytes; i += 128) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 64));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 96));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 32), b);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 64), c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 96), d);
    }
    for (; i + 32 <= bytes; i += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    if (i < bytes)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + bytes - 32),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + bytes - 32)));
}

DDRAW_AVX512 void CopyRowAvx512(const BYTE* src, BYTE* dst, size_t bytes)
{
    if (bytes < 64) {
        CopyRowAvx2(src, dst, bytes);
        return;
    }
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
    size_t i = 64 - (reinterpret_cast<uintptr_t>(dst) & 63);
    for (; i + 256 <= bytes; i += 256) {
        const __m512i a = _mm512_loadu_si512(src + i);
        const __m512i b = _mm512_loadu_si512(src + i + 64);
        const __m512i c = _mm512_loadu_si512(src + i + 128);
        const __m512i d = _mm512_loadu_si512(src + i + 192);
        _mm512_storeu_si512(dst + i, a);
        _mm512_storeu_si512(dst + i + 64, b);
        _mm512_storeu_si512(dst + i + 128, c);
        _mm512_storeu_si512(dst + i + 192, d);
    }
    for (; i + 64 <= bytes; i += 64)
        _mm512_storeu_si512(dst + i, _mm512_loadu_si512(src + i));
    if (i < bytes)
        _mm512_storeu_si512(dst + bytes - 64, _mm512_loadu_si512(src + bytes - 64));
}

void CopyRow(const BYTE* src, BYTE* dst, size_t bytes)
{
    if (UseAvx512Bw())
        CopyRowAvx512(src, dst, bytes);
    else if (HasAvx2())
        CopyRowAvx2(src, dst, bytes);
    else
        CopyRowPlain(src, dst, bytes);
}

void PointTexelsPlain(double origin, double edge, double step, double slack, LONG size, LONG first, LONG count,
                      int32_t* texels, uint8_t* sure)
{
    for (LONG k = 0; k < count; ++k) {
        bool known;
        texels[k] = PointTexel((origin + (first + k - edge) * step) * size, slack, size, &known);
        sure[k] = known ? 1 : 0;
    }
}

// The same four pixels a step: the one arithmetic in each lane (no fused multiply-add, which would
// round once where the plain code rounds twice), floor in place of the truncating conversion,
// and both of PointTexel's answers worked, the lane's own chosen.
__attribute__((target("avx2"))) void PointTexelsAvx2(double origin, double edge, double step, double slack,
                                                     LONG size, LONG first, LONG count, int32_t* texels, uint8_t* sure)
{
    const __m256d o = _mm256_set1_pd(origin), e = _mm256_set1_pd(edge), s = _mm256_set1_pd(step);
    const __m256d scale = _mm256_set1_pd(size), d = _mm256_set1_pd(slack), rest = _mm256_set1_pd(1 - slack);
    const __m256d zero = _mm256_setzero_pd(), top = _mm256_set1_pd(size - 1.0);
    LONG k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d at = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(first + k), _mm_setr_epi32(0, 1, 2, 3)));
        const __m256d p = _mm256_mul_pd(_mm256_add_pd(o, _mm256_mul_pd(_mm256_sub_pd(at, e), s)), scale);
        const __m256d whole = _mm256_floor_pd(p), part = _mm256_sub_pd(p, whole);
        const __m256d inside = _mm256_and_pd(_mm256_cmp_pd(part, d, _CMP_GT_OQ), _mm256_cmp_pd(part, rest, _CMP_LT_OQ));
        const __m256d low = _mm256_min_pd(_mm256_max_pd(_mm256_floor_pd(_mm256_sub_pd(p, d)), zero), top);
        const __m256d high = _mm256_min_pd(_mm256_max_pd(_mm256_floor_pd(_mm256_add_pd(p, d)), zero), top);
        const __m256d clamped = _mm256_min_pd(_mm256_max_pd(whole, zero), top);
        const __m256d texel = _mm256_blendv_pd(low, clamped, inside);
        const int known = _mm256_movemask_pd(_mm256_or_pd(inside, _mm256_cmp_pd(low, high, _CMP_EQ_OQ)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(texels + k), _mm256_cvttpd_epi32(texel));
        for (int lane = 0; lane < 4; ++lane)
            sure[k + lane] = static_cast<uint8_t>(known >> lane & 1);
    }
    PointTexelsPlain(origin, edge, step, slack, size, first + k, count - k, texels + k, sure + k);
}

void PointTexels(double origin, double edge, double step, double slack, LONG size, LONG first, LONG count,
                 int32_t* texels, uint8_t* sure)
{
    if (HasAvx2())
        PointTexelsAvx2(origin, edge, step, slack, size, first, count, texels, sure);
    else
        PointTexelsPlain(origin, edge, step, slack, size, first, count, texels, sure);
}

void BlendOver8888(const uint32_t* src, uint32_t* dst, LONG count)
{
    if (UseAvx512Bw())
        BlendOver8888Avx512(src, dst, count);
    else if (HasAvx2())
        BlendOver8888Avx2(src, dst, count);
    else if (UseSse2())
        BlendOver8888Sse2(src, dst, count);
    else
        BlendOver8888Plain(src, dst, count);
}

} // namespace winapi::ddraw
