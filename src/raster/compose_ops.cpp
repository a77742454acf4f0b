// Opacity, compositing and rule-blend operations (see compose_ops.h).
#include "raster/compose_ops.h"

#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/blend_tables.h"
#include "raster/compose_kernels.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/pixel_lib_kernels.h"
#include "winapi/simd_level.h"

#include <algorithm>

using op_frame::Placement;

namespace {

int Opacity(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect, bool add)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    // Adding goes to the library (its mode 4) before the opacity is looked at; subtracting stays here.
    if (add && pixel_lib::Loaded()) {
        return pixel_lib::Finish(dst, g_PixelLibFuncs.blend(&dst, src, x, y, srcRect, 4, opacity, 0), 2);
    }
    Placement p;
    if (opacity == 0 || !op_frame::Place(dst, src, x, y, srcRect, false, nullptr, p)) {
        return 0;
    }
    if (add) {
        (g_bUseMmx ? AddBlendRows32Mmx : AddBlendRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                                         opacity);
    } else {
        (g_bUseMmx ? SubBlendRows32Mmx : SubBlendRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                                         opacity);
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

// [kind][simd]: kinds 0..2 the alpha-table modes, 3 alpha over alpha.
const AlphaTableKernel kTable[4][2] = {{BlendAlphaTableRows32, BlendAlphaTableRows32Mmx},
                                       {BlendAlphaTableAddRows32, BlendAlphaTableAddRows32Mmx},
                                       {BlendAlphaTableSubRows32, BlendAlphaTableSubRows32Mmx},
                                       {AlphaOnAlphaRows32, AlphaOnAlphaRows32Mmx}};
const AlphaTableScaledKernel kTableScaled[4][2] = {
    {BlendAlphaTableRows32Scaled, BlendAlphaTableRows32MmxScaled},
    {BlendAlphaTableAddRows32Scaled, BlendAlphaTableAddRows32MmxScaled},
    {BlendAlphaTableSubRows32Scaled, BlendAlphaTableSubRows32MmxScaled},
    {AlphaOnAlphaRows32Scaled, AlphaOnAlphaRows32MmxScaled}};

int ByAlpha(CImage& dst, int kind, const CSurface* src, BYTE opacity, bool scaled, const SIZE* dstSize, LONG x,
            LONG y, const RECT* srcRect)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    // The blend by alpha (kind 0) and alpha over alpha (3) go to the library's modes 2 and 3 before
    // the opacity is looked at.
    if ((kind == 0 || kind == 3) && pixel_lib::Loaded()) {
        const DWORD mode = kind == 0 ? 2 : 3;
        const int r = scaled ? g_PixelLibFuncs.stretchBlend(&dst, src, dstSize, x, y, srcRect, mode, 0, opacity, 0)
                             : g_PixelLibFuncs.blend(&dst, src, x, y, srcRect, mode, opacity, 0);
        return pixel_lib::Finish(dst, r, 2);
    }
    Placement p;
    if (opacity == 0 || !op_frame::Place(dst, src, x, y, srcRect, scaled, dstSize, p)) {
        return 0;
    }
    if (kind <= 3) {
        const int simd = g_bUseMmx ? 1 : 0;
        if (scaled) {
            kTableScaled[kind][simd](p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step,
                                     g_MulTable[opacity]);
        } else if (kind == 0 && simd && UseAvx2()) {
            // The level worked out per pixel, eight at a time, instead of looked up in the table.
            (UseAvx512Bw() ? pixel_lib::BlendByLevelRowsAvx512 : pixel_lib::BlendByLevelRowsAvx2)(
                p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, opacity);
        } else {
            kTable[kind][simd](p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, g_MulTable[opacity]);
        }
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

int RuleBlend(CImage& dst, const CSurface* src, const CSurface* rule, BYTE level, int progress, int softness,
              LONG x, LONG y, const RECT* srcRect, bool byAlpha)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    if (byAlpha && (!rule || !rule->GetBits() || rule->GetBitsPerPixel() != 8)) {
        return 2;
    }
    if (progress < 0 || progress > 512 || softness <= 0 || softness > 511) {
        return 3;
    }
    if (progress == 0 || progress == 512 || level == 0) {
        return 0;
    }
    if (progress == 256) {
        return byAlpha ? BlendAlphaTable(dst, 0, src, level, x, y, srcRect)
                       : MixChannels(dst, src, DWORD(255 - level) * 0x010101u, DWORD(level) * 0x010101u, x, y,
                                     srcRect);
    }
    // A given rule image must be usable before anything is drawn.
    if (!byAlpha && rule && (!rule->GetBits() || rule->GetBitsPerPixel() != 8)) {
        return 4;
    }
    Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, false, nullptr, p)) {
        return 0;
    }
    BYTE levels[256];
    BuildRuleLevels(level, progress, softness, levels);
    const BYTE* rulePtr = nullptr;
    int ruleSkip = 0;
    if (rule) {
        // The rule image is aligned with the source: it must cover the drawn part of it.
        if (rule->GetWidth() < p.srcRect.left + p.width || rule->GetHeight() < p.srcRect.top + p.height) {
            return 4;
        }
        rulePtr = rule->GetBits() + intptr_t(p.srcRect.top) * rule->GetPitch() + p.srcRect.left;
        ruleSkip = rule->GetPitch() - p.width;
    }
    if (byAlpha) {
        (g_bUseMmx ? RuleBlendAlphaRows32Mmx : RuleBlendAlphaRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width,
                                                                     p.height, rulePtr, ruleSkip, levels);
    } else {
        (g_bUseMmx ? RuleBlendRows32Mmx : RuleBlendRows32)(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height,
                                                           rulePtr, ruleSkip, levels);
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

} // namespace

void BuildRuleLevels(BYTE level, int progress, int softness, BYTE* table)
{
    const bool inverted = progress > 256;
    const int t = inverted ? progress - 256 : progress;
    const int edgeEnd = std::min(t - 2 + softness, 255);
    for (int i = 0; i < 256; ++i) {
        BYTE v;
        if (i <= t - 2) {
            v = inverted ? 0 : level;
        } else if (i <= edgeEnd) {
            const int k = (i - t + 1) * 255 / softness;
            v = inverted ? g_MulTable[level][k] : g_MulTable[level][255 - k];
        } else {
            v = inverted ? level : 0;
        }
        table[i] = v;
    }
}

int AddBlendOpacity(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect)
{
    return Opacity(dst, src, opacity, x, y, srcRect, true);
}
int SubBlendOpacity(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect)
{
    return Opacity(dst, src, opacity, x, y, srcRect, false);
}
int BlendAlphaTable(CImage& dst, BYTE mode, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect)
{
    return ByAlpha(dst, mode <= 2 ? mode : 4, src, opacity, false, nullptr, x, y, srcRect);
}
int StretchBlendAlphaTable(CImage& dst, BYTE mode, const CSurface* src, BYTE opacity, const SIZE* dstSize, LONG x,
                           LONG y, const RECT* srcRect)
{
    return ByAlpha(dst, mode <= 2 ? mode : 4, src, opacity, true, dstSize, x, y, srcRect);
}
int BlendAlphaOnAlpha(CImage& dst, const CSurface* src, BYTE opacity, LONG x, LONG y, const RECT* srcRect)
{
    return ByAlpha(dst, 3, src, opacity, false, nullptr, x, y, srcRect);
}
int StretchBlendAlphaOnAlpha(CImage& dst, const CSurface* src, BYTE opacity, const SIZE* dstSize, LONG x, LONG y,
                             const RECT* srcRect)
{
    return ByAlpha(dst, 3, src, opacity, true, dstSize, x, y, srcRect);
}
int BlendByRule(CImage& dst, const CSurface* src, const CSurface* rule, BYTE level, int progress, int softness,
                LONG x, LONG y, const RECT* srcRect)
{
    return RuleBlend(dst, src, rule, level, progress, softness, x, y, srcRect, false);
}
int BlendAlphaByRule(CImage& dst, const CSurface* src, const CSurface* rule, BYTE level, int progress, int softness,
                     LONG x, LONG y, const RECT* srcRect)
{
    return RuleBlend(dst, src, rule, level, progress, softness, x, y, srcRect, true);
}
