// Blend-mode operations (see blend_mode_ops.h).
#include "raster/blend_mode_ops.h"

#include "platform/cpu_info.h"
#include "raster/blend_mode_kernels.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/pixel_lib_kernels.h"
#include "winapi/simd_level.h"

using op_frame::Placement;

namespace {

constexpr DWORD Spread(BYTE v) { return DWORD(v) * 0x010101u; }

// An unkeyed, unscaled cross-fade at level 1..254 in the AVX2 kernel (or its 512-bit table twin),
// the destination being its own first source; false where the SIMD switch or level does not allow
// it (nothing drawn then).
bool CrossFadeAvx2(const Placement& p, int level)
{
    if (!g_bUseMmx || !UseAvx2() || level < 1 || level > 254) {
        return false;
    }
    (UseAvx512Vbmi() ? pixel_lib::CrossFadeRowsAvx512 : pixel_lib::CrossFadeRowsAvx2)(
        p.dst, p.dst, p.src, p.dstSkip, p.dstSkip, p.srcSkip, p.width, p.height, static_cast<BYTE>(level));
    return true;
}

int Fade(CImage& dst, const CSurface* src, BYTE level, bool scaled, const SIZE* dstSize, LONG x, LONG y,
         const RECT* srcRect)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    // The library takes unkeyed cross-fades before the level is looked at.
    if (pixel_lib::Loaded() && src->GetColorKey() == kNoColorKey) {
        const int r = scaled ? g_PixelLibFuncs.stretchBlend(&dst, src, dstSize, x, y, srcRect, 0, 0, level, 0)
                             : g_PixelLibFuncs.blend(&dst, src, x, y, srcRect, 0, level, 0);
        return pixel_lib::Finish(dst, r, 2);
    }
    if (level == 0) {
        return 0;
    }
    Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, scaled, dstSize, p)) {
        return 0;
    }
    const DWORD key = src->GetColorKey();
    const bool keyed = key != kNoColorKey;
    if (!scaled && !keyed && CrossFadeAvx2(p, level)) {
        dst.MarkChanged(p.dstRect);
        return 0;
    }
    if (!scaled) {
        if (g_bUseMmx) {
            keyed ? CrossFadeKeyRows32Mmx(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, level, key)
                  : CrossFadeRows32Mmx(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, level);
        } else {
            keyed ? CrossFadeKeyRows32(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, key,
                                       Spread(255 - level), Spread(level))
                  : CrossFadeRows32(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, Spread(255 - level),
                                    Spread(level));
        }
    } else if (g_bUseMmx) {
        keyed ? CrossFadeKeyRows32MmxScaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, level,
                                            key)
              : CrossFadeRows32MmxScaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, level);
    } else {
        keyed ? CrossFadeKeyRows32Scaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, key,
                                         Spread(255 - level), Spread(level))
              : CrossFadeRows32Scaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step,
                                      Spread(255 - level), Spread(level));
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

int Mix(CImage& dst, const CSurface* src, DWORD fd, DWORD fs, bool scaled, const SIZE* dstSize, LONG x, LONG y,
        const RECT* srcRect)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    if (fs == 0) {
        return 0;
    }
    // The alpha position of a packed factor takes no part in the plain rule.
    fd &= 0xFFFFFF;
    fs &= 0xFFFFFF;
    Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, scaled, dstSize, p)) {
        return 0;
    }
    const DWORD key = src->GetColorKey();
    const bool keyed = key != kNoColorKey;
    // Factors of one level for every colour, summing to 255, are a cross-fade.
    const bool fade = fd == Spread(BYTE(fd)) && fs == Spread(BYTE(fs)) && (fd & 0xFF) + (fs & 0xFF) == 255;
    if (!scaled && !keyed && fade && CrossFadeAvx2(p, int(fs & 0xFF))) {
        dst.MarkChanged(p.dstRect);
        return 0;
    }
    // The SIMD kernels give the plain results, so one rule serves both paths (the sum saturates).
    if (!scaled) {
        if (g_bUseMmx) {
            keyed ? MixKeyRows32Mmx(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, key, fd, fs)
                  : MixRows32Mmx(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, fd, fs);
        } else {
            keyed ? CrossFadeKeyRows32(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, key, fd, fs)
                  : CrossFadeRows32(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, fd, fs);
        }
    } else if (g_bUseMmx) {
        keyed ? MixKeyRows32MmxScaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, key, fd, fs)
              : MixRows32MmxScaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, fd, fs);
    } else {
        keyed ? CrossFadeKeyRows32Scaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, key, fd,
                                         fs)
              : CrossFadeRows32Scaled(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, fd, fs);
    }
    dst.MarkChanged(p.dstRect);
    return 0;
}

int Mode(CImage& dst, BYTE mode, const CSurface* src, bool scaled, const SIZE* dstSize, LONG x, LONG y,
         const RECT* srcRect)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, scaled, dstSize, p)) {
        return 0;
    }
    const DWORD key = src->GetColorKey();
    const bool keyed = key != kNoColorKey;
    if (!scaled) {
        if (BlendModeKernel k = BlendModeRows32(mode, keyed, g_bUseMmx)) {
            k(p.dst, p.src, p.dstSkip, p.srcSkip, p.width, p.height, key);
        }
    } else if (BlendModeScaledKernel k = BlendModeRows32Scaled(mode, keyed, g_bUseMmx)) {
        k(p.dst, p.src, p.dstSkip, p.srcPitch, p.width, p.height, p.step, key);
    }
    // Modes other than 0..2 draw nothing, yet the rectangle is marked as the callers expect.
    dst.MarkChanged(p.dstRect);
    return 0;
}

} // namespace

int CrossFade(CImage& dst, const CSurface* src, BYTE level, LONG x, LONG y, const RECT* srcRect)
{
    return Fade(dst, src, level, false, nullptr, x, y, srcRect);
}
int StretchCrossFade(CImage& dst, const CSurface* src, BYTE level, const SIZE* dstSize, LONG x, LONG y,
                     const RECT* srcRect)
{
    return Fade(dst, src, level, true, dstSize, x, y, srcRect);
}
int MixChannels(CImage& dst, const CSurface* src, DWORD dstFactors, DWORD srcFactors, LONG x, LONG y,
                const RECT* srcRect)
{
    return Mix(dst, src, dstFactors, srcFactors, false, nullptr, x, y, srcRect);
}
int StretchMixChannels(CImage& dst, const CSurface* src, DWORD dstFactors, DWORD srcFactors, const SIZE* dstSize,
                       LONG x, LONG y, const RECT* srcRect)
{
    return Mix(dst, src, dstFactors, srcFactors, true, dstSize, x, y, srcRect);
}
int BlendMode(CImage& dst, BYTE mode, const CSurface* src, LONG x, LONG y, const RECT* srcRect)
{
    return Mode(dst, mode, src, false, nullptr, x, y, srcRect);
}
int StretchBlendMode(CImage& dst, BYTE mode, const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                     const RECT* srcRect)
{
    return Mode(dst, mode, src, true, dstSize, x, y, srcRect);
}

int CrossFadeAlphaAware(CImage& dst, const CSurface* src, BYTE level, LONG x, LONG y, const RECT* srcRect)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    if (level == 0) {
        return 0;
    }
    if (level == 255) {
        return dst.Copy(src, x, y, srcRect, false);
    }
    Placement p;
    if (!op_frame::Place(dst, src, x, y, srcRect, false, nullptr, p)) {
        return 0;
    }
    (g_bUseMmx ? CrossFadeAlphaAwareRows32Mmx : CrossFadeAlphaAwareRows32)(p.dst, p.src, p.dstSkip, p.srcSkip,
                                                                            p.width, p.height, level);
    dst.MarkChanged(p.dstRect);
    return 0;
}
