#include "drawing/glyph_kernels.h"

#include "platform/cpu_info.h"
#include "raster/blend_tables.h"
#include "raster/color_kernels.h"
#include "raster/row_kernels.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

int ApproxDistance(int dx, int dy)
{
    const int ax = std::abs(dx), ay = std::abs(dy);
    const int a = std::min(ax, ay), b = std::max(ax, ay);
    const int a2 = a + (a >> 1);
    return (a2 >> 2) + b + (a2 >> 6) - (b >> 7) - (b >> 5);
}

namespace {

int ClampRadius(int radius)
{
    return std::min(std::abs(radius), 64);
}

} // namespace

int OutlineKernelValue(int radius)
{
    const int r = ClampRadius(radius);
    int64_t sum = 0;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int d = ApproxDistance(dx, dy);
            if (d <= r)
                sum += r - d + 1;
        }
    return sum == 0 ? 65536 : static_cast<int>(65536 / sum);
}

void ScaleGreyRows(uint8_t* pixels, int pitch, int width, int height, int factor)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* p = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x)
            p[x] = static_cast<uint8_t>(std::min(255, p[x] * factor));
    }
}

void ScaleGreyRowsMmx(uint8_t* pixels, int pitch, int width, int height, int factor)
{
    const __m128i f = _mm_set1_epi16(static_cast<short>(std::min(factor, 256)));
    const __m128i zero = _mm_setzero_si128();
    for (int y = 0; y < height; ++y) {
        uint8_t* p = pixels + static_cast<ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m128i v =
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + x)), zero);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p + x),
                             _mm_packus_epi16(_mm_mullo_epi16(v, f), zero));
        }
        for (; x + 4 <= width; x += 4) {
            int32_t word;
            std::memcpy(&word, p + x, 4);
            const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero);
            word = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_mullo_epi16(v, f), zero));
            std::memcpy(p + x, &word, 4);
        }
        for (; x < width; ++x)
            p[x] = static_cast<uint8_t>(std::min(255, p[x] * factor));
    }
}

void AccumulateOutlineRow(uint8_t* dst, const uint8_t* src, int width, uint32_t weight)
{
    for (int x = 0; x < width; ++x) {
        const uint32_t add = static_cast<uint32_t>((uint64_t{src[x]} * weight) >> 16);
        dst[x] = static_cast<uint8_t>(std::min<uint32_t>(255, dst[x] + add));
    }
}

void AccumulateOutlineRowMmx(uint8_t* dst, const uint8_t* src, int width, uint32_t weight)
{
    // (b × w) >> 16 = b × (w >> 16) + (b × (w & 0xFFFF)) >> 16, both in 16 bits for w ≤ 2^24.
    const __m128i high = _mm_set1_epi16(static_cast<short>(weight >> 16));
    const __m128i low = _mm_set1_epi16(static_cast<short>(weight & 0xFFFF));
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x)), zero);
        const __m128i add = _mm_add_epi16(_mm_mullo_epi16(b, high), _mm_mulhi_epu16(b, low));
        const __m128i d = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + x)), zero);
        const __m128i sum = _mm_adds_epu16(d, add);
        // min(sum, 255) as unsigned words (packus reads them signed): sum − max(sum − 255, 0).
        const __m128i capped = _mm_sub_epi16(sum, _mm_subs_epu16(sum, _mm_set1_epi16(255)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(capped, zero));
    }
    if (x < width)
        AccumulateOutlineRow(dst + x, src + x, width - x, weight);
}

void BuildGlyphOutline(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                       int strength, int radius, int kernel)
{
    const int r = ClampRadius(radius);
    if (r == 0) {
        const int level = std::max(strength, 0);
        for (int y = 0; y < height; ++y) {
            const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcPitch;
            uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
            if (level >= 256) {
                std::memcpy(d, s, static_cast<size_t>(width));
                continue;
            }
            for (int x = 0; x < width; ++x)
                d[x] = g_MulTable[level][s[x]];
        }
        return;
    }
    const int outWidth = width + 2 * r;
    for (int y = 0; y < height + 2 * r; ++y)
        std::memset(dst + static_cast<ptrdiff_t>(y) * dstPitch, 0, static_cast<size_t>(outWidth));
    auto* accumulate = g_bUseMmx ? AccumulateOutlineRowMmx : AccumulateOutlineRow;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int d = ApproxDistance(dx, dy);
            if (d > r)
                continue;
            // 64 bits and saturated: large strengths used to overflow the weight.
            const int64_t w = (static_cast<int64_t>(r - d + 1) * strength * kernel) >> 8;
            const auto weight = static_cast<uint32_t>(std::clamp<int64_t>(w, 0, int64_t{1} << 24));
            if (weight == 0)
                continue;
            for (int y = 0; y < height; ++y)
                accumulate(dst + static_cast<ptrdiff_t>(y + dy + r) * dstPitch + dx + r,
                           src + static_cast<ptrdiff_t>(y) * srcPitch, width, weight);
        }
}

void DilateGlyph(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                 int radius)
{
    const int r = ClampRadius(radius);
    for (int y = 0; y < height + 2 * r; ++y)
        std::memset(dst + static_cast<ptrdiff_t>(y) * dstPitch, 0, static_cast<size_t>(width + 2 * r));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (src[static_cast<ptrdiff_t>(y) * srcPitch + x] == 0)
                continue;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx)
                    if (ApproxDistance(dx, dy) <= r)
                        dst[static_cast<ptrdiff_t>(y + dy + r) * dstPitch + x + dx + r] = 255;
        }
}

void ThickenMonoRows(const uint8_t* src, int srcPitch, int widthBits, int height, uint8_t* dst, int dstPitch,
                     int n)
{
    const int outBits = widthBits + n;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        std::memset(d, 0, static_cast<size_t>(dstPitch));
        for (int x = 0; x < widthBits; ++x) {
            if ((s[x >> 3] & (0x80 >> (x & 7))) == 0)
                continue;
            for (int k = 0; k <= n && x + k < outBits; ++k)
                d[(x + k) >> 3] |= static_cast<uint8_t>(0x80 >> ((x + k) & 7));
        }
    }
}

void ThickenGreyRows(const uint8_t* src, int srcPitch, int width, int height, uint8_t* dst, int dstPitch,
                     int n)
{
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = src + static_cast<ptrdiff_t>(y) * srcPitch;
        uint8_t* d = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        for (int x = 0; x < width + n; ++x) {
            uint8_t best = 0;
            for (int k = std::max(0, x - n); k <= std::min(x, width - 1); ++k)
                best = std::max(best, s[k]);
            d[x] = best;
        }
    }
}

void ReduceMonoBlocks(const uint8_t* src, int srcPitch, int widthBits, int height, int s, uint8_t* dst,
                      int dstPitch)
{
    const int outWidth = (widthBits + s - 1) / s, outHeight = (height + s - 1) / s;
    for (int oy = 0; oy < outHeight; ++oy)
        for (int ox = 0; ox < outWidth; ++ox) {
            int count = 0;
            for (int y = oy * s; y < std::min(height, oy * s + s); ++y) {
                const uint8_t* row = src + static_cast<ptrdiff_t>(y) * srcPitch;
                for (int x = ox * s; x < std::min(widthBits, ox * s + s); ++x)
                    count += (row[x >> 3] >> (7 - (x & 7))) & 1;
            }
            dst[static_cast<ptrdiff_t>(oy) * dstPitch + ox] = static_cast<uint8_t>(std::min(count, 255));
        }
}

void BlendGlyphRows32Best(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width, int height,
                          uint32_t rgb)
{
    if (!g_bUseMmx)
        BlendGlyphRows32(dst, mask, dstSkip, maskSkip, width, height, rgb);
    else if (UseAvx2())
        BlendGlyphRows32Avx2(dst, mask, dstSkip, maskSkip, width, height, rgb);
    else
        BlendGlyphRows32Mmx(dst, mask, dstSkip, maskSkip, width, height, rgb);
}

namespace {

// Eight pixels d under coverage m8 (a byte each) in the colour ink (its words: ink16).
PIXEL_SIMD_AVX2 inline __m256i BlendGlyph8(__m256i d, uint64_t m8, __m256i ink, __m256i ink16)
{
    using namespace pixel_simd_avx2;
    const __m256i alpha = Splat(0xFF000000u);
    if (m8 == ~uint64_t{0}) // solid: mul(255, c) + mul(0, d) = c
        return _mm256_or_si256(_mm256_and_si256(alpha, d), ink);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(255);
    const __m256i m = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(m8)));
    const __m256i m16 = _mm256_or_si256(m, _mm256_slli_epi32(m, 16));
    // Each 128-bit half: pixels 0-1 (lo) and 2-3 (hi) of its four, with their coverage.
    const __m256i mlo = _mm256_unpacklo_epi32(m16, m16), mhi = _mm256_unpackhi_epi32(m16, m16);
    const __m256i lo =
        _mm256_add_epi16(MulByte(ink16, mlo), MulByte(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(full, mlo)));
    const __m256i hi =
        _mm256_add_epi16(MulByte(ink16, mhi), MulByte(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(full, mhi)));
    const __m256i v =
        _mm256_or_si256(_mm256_and_si256(alpha, d), _mm256_andnot_si256(alpha, _mm256_packus_epi16(lo, hi)));
    return _mm256_blendv_epi8(v, d, _mm256_cmpeq_epi32(m, zero));
}

} // namespace

PIXEL_SIMD_AVX2 void BlendGlyphRows32Avx2(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width,
                                          int height, uint32_t rgb)
{
    using namespace pixel_simd_avx2;
    if (width < 8) { // no run of eight: the SSE2 rows
        BlendGlyphRows32Mmx(dst, mask, dstSkip, maskSkip, width, height, rgb);
        return;
    }
    const int whole = width & ~7, last = width - 8;
    const __m256i ink = Splat(rgb & 0xFFFFFFu);
    const __m256i ink16 = _mm256_unpacklo_epi8(ink, _mm256_setzero_si256()); // both pixels alike
    for (int y = 0; y < height; ++y) {
        // A row's last eight, blended from the pixels as they were before the runs change any:
        // stored after them, the pixels both cover take the same bytes twice.
        uint64_t t8 = 0;
        __m256i tail = _mm256_setzero_si256();
        if (whole < width) {
            std::memcpy(&t8, mask + last, 8);
            if (t8 != 0)
                tail = BlendGlyph8(Load8(dst + 4 * last), t8, ink, ink16);
        }
        for (int x = 0; x < whole; x += 8) {
            uint64_t m8;
            std::memcpy(&m8, mask + x, 8);
            if (m8 != 0) // no ink over these eight otherwise
                Store8(dst + 4 * x, BlendGlyph8(Load8(dst + 4 * x), m8, ink, ink16));
        }
        if (t8 != 0)
            Store8(dst + 4 * last, tail);
        dst += 4 * width + dstSkip;
        mask += width + maskSkip;
    }
}

void WriteCoverageAlphaRows32Best(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip, int width,
                                  int height, bool unite)
{
    if (g_bUseMmx && UseAvx2()) {
        WriteCoverageAlphaRows32Avx2(dst, mask, dstSkip, maskSkip, width, height, unite);
        return;
    }
    (unite ? UniteAlphaWithPlaneRows : CopyPlaneToAlphaRows)(dst, mask, dstSkip, maskSkip, width, height);
}

namespace {

// Eight pixels d with the alpha bytes of coverage m8 (a byte each), copied or united.
PIXEL_SIMD_AVX2 inline __m256i CoverageAlpha8(__m256i d, uint64_t m8, bool unite)
{
    using namespace pixel_simd_avx2;
    const __m256i colour = Splat(0x00FFFFFFu);
    const __m256i m = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(m8)));
    __m256i a = m;
    if (unite) {
        // 255 − x·y/255 with x, y the complements; x·y fits 16 bits, and (p · 0x8081) >> 23 is
        // p / 255 for every such p.
        const __m256i full = Splat(255);
        const __m256i x = _mm256_sub_epi32(full, _mm256_srli_epi32(d, 24));
        const __m256i y = _mm256_sub_epi32(full, m);
        const __m256i p = _mm256_mullo_epi16(x, y);
        const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(p, _mm256_set1_epi16(static_cast<short>(0x8081))), 7);
        a = _mm256_sub_epi32(full, q);
    }
    return _mm256_or_si256(_mm256_and_si256(d, colour), _mm256_slli_epi32(a, 24));
}

} // namespace

PIXEL_SIMD_AVX2 void WriteCoverageAlphaRows32Avx2(uint8_t* dst, const uint8_t* mask, int dstSkip, int maskSkip,
                                                  int width, int height, bool unite)
{
    using namespace pixel_simd_avx2;
    const int whole = width & ~7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < whole; x += 8) {
            uint64_t m8;
            std::memcpy(&m8, mask + x, 8);
            if (m8 != 0 || !unite) // a union with coverage 0 keeps the alpha
                Store8(dst + 4 * x, CoverageAlpha8(Load8(dst + 4 * x), m8, unite));
        }
        for (int x = whole; x < width; ++x)
            dst[4 * x + 3] = unite ? g_AlphaUnionTable[dst[4 * x + 3]][mask[x]] : mask[x];
        dst += 4 * width + dstSkip;
        mask += width + maskSkip;
    }
}

void FillColourKeepAlphaRow32Best(uint32_t* row, int width, uint32_t rgb)
{
    if (g_bUseMmx && UseAvx2()) {
        FillColourKeepAlphaRow32Avx2(row, width, rgb);
        return;
    }
    for (int x = 0; x < width; ++x)
        row[x] = (row[x] & 0xFF000000u) | (rgb & 0xFFFFFFu);
}

PIXEL_SIMD_AVX2 void FillColourKeepAlphaRow32Avx2(uint32_t* row, int width, uint32_t rgb)
{
    using namespace pixel_simd_avx2;
    const __m256i colour = Splat(rgb & 0xFFFFFFu), alpha = Splat(0xFF000000u);
    auto* bytes = reinterpret_cast<uint8_t*>(row);
    int x = 0;
    for (; x + 8 <= width; x += 8)
        Store8(bytes + 4 * x, _mm256_or_si256(_mm256_and_si256(Load8(bytes + 4 * x), alpha), colour));
    for (; x < width; ++x)
        row[x] = (row[x] & 0xFF000000u) | (rgb & 0xFFFFFFu);
}
