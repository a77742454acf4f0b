#include "effects/change_blend.h"

#include <algorithm>

#include <emmintrin.h>

#include "raster/blend_mode_ops.h"
#include "raster/blend_tables.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

namespace {

uint32_t BlendPixel(uint32_t o, uint32_t n, EChangeRun run, uint8_t level)
{
    const uint8_t* keep = g_MulTable[255 - level];
    const uint8_t* take = g_MulTable[level];
    const uint32_t oA = o >> 24, nA = n >> 24;
    switch (run) {
    case EChangeRun::kOld:
        return (o & 0xFFFFFFu) | uint32_t(keep[oA]) << 24;
    case EChangeRun::kNew:
        // Over the cleared place: transparent stays 0, else the colours at the faded alpha.
        return nA == 0 ? 0u : (n & 0xFFFFFFu) | uint32_t(take[nA]) << 24;
    default:
        if (nA == 0)
            return (o & 0xFFFFFFu) | uint32_t(keep[oA]) << 24;
        if (oA == 0)
            return (n & 0xFFFFFFu) | uint32_t(take[nA]) << 24;
        uint32_t out = 0;
        for (int c = 0; c < 32; c += 8)
            out |= uint32_t(uint8_t(keep[o >> c & 255] + take[n >> c & 255])) << c;
        return out;
    }
}

// (x × v + 127) / 255 on eight 16-bit lanes, exact for bytes.
inline __m128i Mul255(__m128i x, __m128i v)
{
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, v), _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
}

inline __m128i MulBytes(__m128i px, __m128i v)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(Mul255(_mm_unpacklo_epi8(px, zero), v), Mul255(_mm_unpackhi_epi8(px, zero), v));
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

void RunSimd(uint32_t* dst, const uint32_t* old, const uint32_t* fresh, int count, EChangeRun run,
             uint8_t level)
{
    const __m128i keep = _mm_set1_epi16(static_cast<short>(255 - level));
    const __m128i take = _mm_set1_epi16(static_cast<short>(level));
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i result;
        if (run == EChangeRun::kOld) {
            const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + i));
            result = Select(alpha, MulBytes(o, keep), o);
        } else if (run == EChangeRun::kNew) {
            const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fresh + i));
            const __m128i clear = _mm_cmpeq_epi32(_mm_and_si128(n, alpha), zero);
            result = _mm_andnot_si128(clear, Select(alpha, MulBytes(n, take), n));
        } else {
            const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(old + i));
            const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fresh + i));
            const __m128i mo = MulBytes(o, keep), mn = MulBytes(n, take);
            const __m128i newClear = _mm_cmpeq_epi32(_mm_and_si128(n, alpha), zero);
            const __m128i oldClear = _mm_cmpeq_epi32(_mm_and_si128(o, alpha), zero);
            const __m128i both = _mm_add_epi8(mo, mn); // bytes wrap as the plain kernel's casts do
            result = Select(newClear, Select(alpha, mo, o), Select(oldClear, Select(alpha, mn, n), both));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), result);
    }
    for (; i < count; ++i)
        dst[i] = BlendPixel(old ? old[i] : 0, fresh ? fresh[i] : 0, run, level);
}

// The colours of v under its own alpha times the factor (in 16-bit lanes).
PIXEL_SIMD_AVX2 inline __m256i Faded(__m256i v, __m256i factor)
{
    const __m256i a = pixel_simd_avx2::MulByte(_mm256_srli_epi32(v, 24), factor);
    return _mm256_or_si256(_mm256_and_si256(v, pixel_simd_avx2::Splat(0x00FFFFFFu)), _mm256_slli_epi32(a, 24));
}

// Eight pixels a step. The one-picture runs change only the alpha byte, so only it is multiplied.
PIXEL_SIMD_AVX2 void RunAvx2(uint32_t* dst, const uint32_t* old, const uint32_t* fresh, int count, EChangeRun run,
                             uint8_t level)
{
    using namespace pixel_simd_avx2;
    const __m256i keep = _mm256_set1_epi16(static_cast<short>(255 - level));
    const __m256i take = _mm256_set1_epi16(static_cast<short>(level));
    const __m256i zero = _mm256_setzero_si256();
    auto* out = reinterpret_cast<uint8_t*>(dst);
    const auto* o8 = reinterpret_cast<const uint8_t*>(old);
    const auto* n8 = reinterpret_cast<const uint8_t*>(fresh);
    int i = 0;
    if (run == EChangeRun::kOld) {
        for (; i + 8 <= count; i += 8)
            Store8(out + 4 * i, Faded(Load8(o8 + 4 * i), keep));
    } else if (run == EChangeRun::kNew) {
        for (; i + 8 <= count; i += 8) {
            const __m256i n = Load8(n8 + 4 * i);
            const __m256i clear = _mm256_cmpeq_epi32(_mm256_srli_epi32(n, 24), zero);
            Store8(out + 4 * i, _mm256_andnot_si256(clear, Faded(n, take)));
        }
    } else {
        for (; i + 8 <= count; i += 8) {
            const __m256i o = Load8(o8 + 4 * i), n = Load8(n8 + 4 * i);
            const __m256i mo = _mm256_packus_epi16(MulByte(_mm256_unpacklo_epi8(o, zero), keep),
                                                   MulByte(_mm256_unpackhi_epi8(o, zero), keep));
            const __m256i mn = _mm256_packus_epi16(MulByte(_mm256_unpacklo_epi8(n, zero), take),
                                                   MulByte(_mm256_unpackhi_epi8(n, zero), take));
            const __m256i both = _mm256_add_epi8(mo, mn); // bytes wrap as the plain kernel's casts do
            const __m256i oldClear = _mm256_cmpeq_epi32(_mm256_srli_epi32(o, 24), zero);
            const __m256i newClear = _mm256_cmpeq_epi32(_mm256_srli_epi32(n, 24), zero);
            const __m256i onlyNew = _mm256_blendv_epi8(both, WithAlpha(n, mn), oldClear);
            Store8(out + 4 * i, _mm256_blendv_epi8(onlyNew, WithAlpha(o, mo), newClear));
        }
    }
    for (; i < count; ++i)
        dst[i] = BlendPixel(old ? old[i] : 0, fresh ? fresh[i] : 0, run, level);
}

bool Inside(const CImage& image, const RECT& r)
{
    return r.left >= 0 && r.top >= 0 && r.right <= image.GetWidth() && r.bottom <= image.GetHeight() &&
           r.left < r.right && r.top < r.bottom;
}

uint32_t* Row(CImage& image, LONG x, LONG y)
{
    return reinterpret_cast<uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch()) + x;
}

const uint32_t* Row(const CImage& image, LONG x, LONG y)
{
    return reinterpret_cast<const uint32_t*>(image.GetBits() + intptr_t(y) * image.GetPitch()) + x;
}

} // namespace

void ChangeBlendRun(uint32_t* dst, const uint32_t* old, const uint32_t* fresh, int count, EChangeRun run,
                    uint8_t level, bool simd)
{
    // The cross-fade's ends: level 0 leaves the old picture as copied, 255 copies the new one.
    if (level == 0 && run != EChangeRun::kOld) {
        for (int i = 0; i < count; ++i)
            dst[i] = run == EChangeRun::kNew ? 0u : old[i];
        return;
    }
    if (level == 255 && run != EChangeRun::kOld) {
        std::copy(fresh, fresh + count, dst);
        return;
    }
    if (simd && UseAvx2()) {
        RunAvx2(dst, old, fresh, count, run, level);
        return;
    }
    if (simd) {
        RunSimd(dst, old, fresh, count, run, level);
        return;
    }
    for (int i = 0; i < count; ++i)
        dst[i] = BlendPixel(old ? old[i] : 0, fresh ? fresh[i] : 0, run, level);
}

bool DrawChangeBlend(CImage& work, const CImage& oldImage, const RECT& oldSource, LONG oldX, LONG oldY,
                     const CImage& newImage, const RECT& newSource, LONG newX, LONG newY, uint8_t level,
                     bool simd)
{
    const RECT o{oldX, oldY, oldX + (oldSource.right - oldSource.left),
                 oldY + (oldSource.bottom - oldSource.top)};
    const RECT n{newX, newY, newX + (newSource.right - newSource.left),
                 newY + (newSource.bottom - newSource.top)};
    if (work.GetBitsPerPixel() != 32 || oldImage.GetBitsPerPixel() != 32 ||
        newImage.GetBitsPerPixel() != 32 || work.GetBits() == nullptr || oldImage.GetBits() == nullptr ||
        newImage.GetBits() == nullptr || !Inside(oldImage, oldSource) || !Inside(newImage, newSource) ||
        !Inside(work, o) || !Inside(work, n))
        return false;
    const LONG top = std::min(o.top, n.top), bottom = std::max(o.bottom, n.bottom);
    for (LONG y = top; y < bottom; ++y) {
        const bool inOld = y >= o.top && y < o.bottom, inNew = y >= n.top && y < n.bottom;
        const uint32_t* oldRow = inOld ? Row(oldImage, oldSource.left, oldSource.top + (y - o.top)) : nullptr;
        const uint32_t* newRow = inNew ? Row(newImage, newSource.left, newSource.top + (y - n.top)) : nullptr;
        uint32_t* out = Row(work, 0, y);
        // The row's runs from left to right: old only, new only, or both.
        LONG x = std::min(inOld ? o.left : n.left, inNew ? n.left : o.left);
        const LONG end = std::max(inOld ? o.right : n.left, inNew ? n.right : o.left);
        while (x < end) {
            const bool hasOld = inOld && x >= o.left && x < o.right;
            const bool hasNew = inNew && x >= n.left && x < n.right;
            LONG next = end;
            for (LONG edge : {o.left, o.right, n.left, n.right})
                if (edge > x && edge < next)
                    next = edge;
            if (hasOld || hasNew) {
                const EChangeRun run = hasOld && hasNew ? EChangeRun::kBoth
                                       : hasOld         ? EChangeRun::kOld
                                                        : EChangeRun::kNew;
                ChangeBlendRun(out + x, hasOld ? oldRow + (x - o.left) : nullptr,
                               hasNew ? newRow + (x - n.left) : nullptr, static_cast<int>(next - x), run,
                               level, simd);
            }
            x = next;
        }
    }
    work.MarkChanged(o);
    work.MarkChanged(n);
    return true;
}

void DrawChangeBlendPasses(CImage& work, const RectSplit& split, const CImage& oldImage,
                           const RECT& oldSource, LONG oldX, LONG oldY, const CImage& newImage,
                           const RECT& newSource, LONG newX, LONG newY, uint8_t level)
{
    // Cleared first: blended over the last step's result, the part outside the old picture would
    // come in faster than the level says.
    work.FillRect32(0, &split.refresh[1]);
    work.Copy(&oldImage, oldX, oldY, &oldSource, false);
    for (int i = 0; i < split.oldOnlyCount; ++i)
        AdjustAlphaLevel(work, 255 - level, &split.oldOnly[i]);
    CrossFadeAlphaAware(work, &newImage, level, newX, newY, &newSource);
}
