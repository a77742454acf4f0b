// Mask blend kernels (see mask_kernels.h).
#include "raster/mask_kernels.h"

#include "raster/blend_tables.h"
#include "raster/pixel_simd.h"

using namespace pixel_simd;

namespace {

// The plain form works on red with blue in one word and green alone; the borrow a negative blue
// difference takes from the red half comes back as the carry out of the blue byte.
uint32_t BlendWordwise(uint32_t d, uint32_t s, uint32_t f)
{
    const uint32_t rb = ((((s & 0x00FF00FFu) - (d & 0x00FF00FFu)) * f >> 8) + (d & 0x00FF00FFu)) & 0x00FF00FFu;
    const uint32_t g = ((((s & 0x0000FF00u) - (d & 0x0000FF00u)) * f >> 8) + (d & 0x0000FF00u)) & 0x0000FF00u;
    return rb | g;
}

template <bool PerRow, bool OnAlpha, bool Simd>
void MaskBlend(BYTE* dst, const BYTE* mask, int dstStep, int maskStep, int width, int height,
               const uint32_t* colors, const BYTE* levels)
{
    const ByteTable table(levels);
    for (int y = 0; y < height; ++y) {
        BYTE* d = dst;
        const BYTE* m = mask;
        const uint32_t* c = PerRow ? colors + y : colors;
        int x = 0;
        if (Simd) {
            for (; x + 4 <= width; x += 4, d += 16, m += 4) {
                const __m128i dv = Load4(d);
                const __m128i sv = PerRow ? Splat32(*c) : Load4(reinterpret_cast<const BYTE*>(c + x));
                const __m128i level = table.Look4(LoadMask4(m));
                if (!OnAlpha) {
                    Store4(d, BlendByFactor4(dv, sv, Factor32(level)));
                    continue;
                }
                Store4(d, BlendOnAlpha4(dv, sv, level));
            }
        }
        for (; x < width; ++x, d += 4, ++m) {
            const uint32_t dp = Load32(d);
            const uint32_t s = PerRow ? *c : c[x];
            const uint32_t level = levels[*m];
            if (!OnAlpha) {
                Store32(d, BlendWordwise(dp, s, g_OpacityFactors[level][0]) | (dp & 0xFF000000u));
            } else {
                const uint32_t a = dp >> 24;
                const uint32_t f = g_OpacityFactors[g_SourceWeightTable[a][level]][0];
                Store32(d, BlendWordwise(dp, s, f) | uint32_t(g_AlphaUnionTable[a][level]) << 24);
            }
        }
        // Plain kernels step by whole pitches, the SIMD ones by the skip after the row.
        dst = Simd ? d + dstStep : dst + dstStep;
        mask = Simd ? m + maskStep : mask + maskStep;
    }
}

} // namespace

void BlendImageByMaskRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width, int height,
                            const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<false, false, false>(dst, mask, dstPitch, maskPitch, width, height, colors, levels);
}
void BlendImageByMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<false, false, true>(dst, mask, dstSkip, maskSkip, width, height, colors, levels);
}
void BlendColorByMaskRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width, int height,
                            const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<true, false, false>(dst, mask, dstPitch, maskPitch, width, height, colors, levels);
}
void BlendColorByMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<true, false, true>(dst, mask, dstSkip, maskSkip, width, height, colors, levels);
}
void BlendImageByMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width,
                                   int height, const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<false, true, false>(dst, mask, dstPitch, maskPitch, width, height, colors, levels);
}
void BlendImageByMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width,
                                      int height, const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<false, true, true>(dst, mask, dstSkip, maskSkip, width, height, colors, levels);
}
void BlendColorByMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstPitch, int maskPitch, int width,
                                   int height, const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<true, true, false>(dst, mask, dstPitch, maskPitch, width, height, colors, levels);
}
void BlendColorByMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width,
                                      int height, const uint32_t* colors, const BYTE* levels)
{
    MaskBlend<true, true, true>(dst, mask, dstSkip, maskSkip, width, height, colors, levels);
}
