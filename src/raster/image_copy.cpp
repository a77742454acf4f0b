// The copy and alpha-blend operations of images: clip, choose the row kernel by depth pair,
// colour key, flip and g_bUseMmx, draw, record the drawn rectangle.
#include "raster/image.h"

#include "platform/cpu_info.h"
#include "raster/kernels8.h"
#include "raster/pixel_lib_handoff.h"

#include <cstring>
#include <vector>

namespace {

enum Op { kOpCopy, kOpBlend, kOpAlphaPlane, kOpColorKeepAlpha, kOpAlphaKeepColor };

bool DepthPairServed(Op op, int srcBpp, int dstBpp)
{
    switch (op) {
    case kOpCopy:
        return (dstBpp == 8 && srcBpp == 8) || (dstBpp == 32 && (srcBpp == 8 || srcBpp == 32));
    case kOpAlphaPlane:
        return (srcBpp == 32 && dstBpp == 8) || (srcBpp == 8 && dstBpp == 32);
    default:
        return srcBpp == 32 && dstBpp == 32;
    }
}

// Byte span [first, last) of a rectangle's rows in a pixel store.
void RowSpan(const BYTE* bits, LONG pitch, const RECT& r, int bpp, const BYTE*& first, const BYTE*& last)
{
    const BYTE* a = bits + static_cast<ptrdiff_t>(r.top) * pitch + static_cast<ptrdiff_t>(r.left) * bpp;
    const BYTE* b = bits + static_cast<ptrdiff_t>(r.bottom - 1) * pitch + static_cast<ptrdiff_t>(r.right) * bpp;
    first = a < b ? a : b;
    last = a < b ? b : a;
}

}  // namespace

int CImage::RunDraw(int opValue, const CSurface* src, bool mirror, bool flipV, bool scaled, const SIZE* dstSize,
                    LONG x, LONG y, const RECT* srcRect)
{
    const Op op = static_cast<Op>(opValue);
    if (!m_bits || !src || !src->GetBits()) {
        return 1;
    }
    const int srcBpp = src->GetBitsPerPixel();
    const int dstBpp = m_bitsPerPixel;
    if (!DepthPairServed(op, srcBpp, dstBpp)) {
        return 2;
    }

    // 8 -> 32 copies read the source's palette (the grey ramp when it has none yet).
    const uint32_t* palette = nullptr;
    if (op == kOpCopy && srcBpp == 8 && dstBpp == 32) {
        auto* dib = dynamic_cast<CDibSurface*>(const_cast<CSurface*>(src));
        if (!dib) {
            return 2;
        }
        // Both with a device context, unscaled, no flip, no key: GDI copies.
        if (!scaled && !mirror && !flipV && dib->GetDc() && m_hdc && src->GetColorKey() == kNoColorKey) {
            if (TransferRectImpl(src, x, y, srcRect, nullptr, nullptr, nullptr, false, false) != 0) {
                return 0;
            }
            const RECT& d = m_transferDst;
            const RECT& s = m_transferSrc;
            BitBlt(m_hdc, d.left, d.top, d.right - d.left, d.bottom - d.top, dib->GetDc(), s.left, s.top, SRCCOPY);
            MarkChanged(d);
            return 0;
        }
        if (!dib->GetPalette() && dib->SetPaletteEntries(nullptr, 0, 0) != 0) {
            return 2;
        }
        palette = dib->GetPalette();
    }

    SIZE size{m_width, m_height};
    if (scaled && dstSize) {
        size = *dstSize;
    }
    StretchState st{};
    if (TransferRectImpl(src, x, y, srcRect, scaled ? &size : nullptr, &st, nullptr, mirror, flipV) != 0) {
        return 0;
    }
    const RECT s = m_transferSrc;
    const RECT d = m_transferDst;
    const int width = d.right - d.left;
    const int height = d.bottom - d.top;
    const int sB = srcBpp / 8;
    const int dB = dstBpp / 8;

    // The source as the kernels read it: when its rows share memory with the destination's, a
    // copy of the source rectangle is read instead, so the result is that of an untouched source.
    const BYTE* srcBits = src->GetBits();
    LONG srcPitch = src->GetPitch();
    RECT sr = s;
    std::vector<BYTE> staged;
    {
        const BYTE *sFirst, *sLast, *dFirst, *dLast;
        RowSpan(srcBits, srcPitch, s, sB, sFirst, sLast);
        RowSpan(m_bits, m_pitch, d, dB, dFirst, dLast);
        bool shared = sFirst < dLast && dFirst < sLast;
        if (shared && srcBits == m_bits && srcPitch == m_pitch && sB == dB) {
            // Within one picture only rectangles that share a pixel share bytes.
            shared = s.left < d.right && d.left < s.right && s.top < d.bottom && d.top < s.bottom;
        }
        if (shared) {
            const LONG rowBytes = (s.right - s.left) * sB;
            staged.resize(static_cast<size_t>(rowBytes) * static_cast<size_t>(s.bottom - s.top));
            for (LONG row = s.top; row < s.bottom; ++row) {
                std::memcpy(&staged[static_cast<size_t>(row - s.top) * rowBytes],
                            srcBits + static_cast<ptrdiff_t>(row) * srcPitch + static_cast<ptrdiff_t>(s.left) * sB,
                            static_cast<size_t>(rowBytes));
            }
            srcBits = staged.data();
            srcPitch = rowBytes;
            sr = RECT{0, 0, s.right - s.left, s.bottom - s.top};
        }
    }

    BYTE* dst = m_bits + static_cast<ptrdiff_t>(d.top) * m_pitch + static_cast<ptrdiff_t>(d.left) * dB;
    const int dstSkip = m_pitch - width * dB;
    // First source row and the row step (upwards for a vertical flip).
    const LONG firstRow = flipV ? sr.bottom - 1 : sr.top;
    const int rowStep = flipV ? -srcPitch : srcPitch;
    const BYTE* rowStart = srcBits + static_cast<ptrdiff_t>(firstRow) * srcPitch;
    // Mirrored 32-bit kernels start one pixel past the right end; the 8-bit CopyRows at the last.
    const BYTE* srcFwd = rowStart + static_cast<ptrdiff_t>(sr.left) * sB;
    const BYTE* srcEnd = rowStart + static_cast<ptrdiff_t>(sr.right) * sB;
    const int srcSkipFwd = rowStep - width * sB;
    const int srcSkipMirror = rowStep + width * sB;
    const bool mmx = g_bUseMmx != 0;
    const DWORD key = src->GetColorKey();
    const bool keyed = key != kNoColorKey;

    switch (op) {
    case kOpCopy:
        if (dstBpp == 8) {
            const BYTE k = static_cast<BYTE>(key);
            if (scaled) {
                if (mirror) {
                    keyed ? ScaledCopyRowsMirrorKeyed8(dst, srcEnd, dstSkip, rowStep, width, height, st, k)
                          : ScaledCopyRowsMirror8(dst, srcEnd, dstSkip, rowStep, width, height, st);
                } else {
                    keyed ? ScaledCopyRowsKeyed8(dst, srcFwd, dstSkip, rowStep, width, height, st, k)
                          : ScaledCopyRows8(dst, srcFwd, dstSkip, rowStep, width, height, st);
                }
            } else {
                const BYTE* first = mirror ? srcEnd - 1 : srcFwd;
                const int skip = mirror ? srcSkipMirror : srcSkipFwd;
                const int direction = mirror ? -1 : 1;
                keyed ? CopyRowsKeyed8(dst, first, dstSkip, skip, direction, width, height, k)
                      : CopyRows(dst, first, dstSkip, skip, direction, width, height);
            }
        } else if (srcBpp == 8) {
            const BYTE k = static_cast<BYTE>(key);
            if (scaled) {
                if (mirror) {
                    keyed ? PaletteKeyRows32MirrorScaled(dst, srcEnd, dstSkip, rowStep, width, height, st, palette, k)
                          : PaletteRows32MirrorScaled(dst, srcEnd, dstSkip, rowStep, width, height, st, palette);
                } else {
                    keyed ? PaletteKeyRows32Scaled(dst, srcFwd, dstSkip, rowStep, width, height, st, palette, k)
                          : PaletteRows32Scaled(dst, srcFwd, dstSkip, rowStep, width, height, st, palette);
                }
            } else if (mirror) {
                keyed ? PaletteKeyRows32Mirror(dst, srcEnd, dstSkip, srcSkipMirror, width, height, palette, k)
                      : PaletteRows32Mirror(dst, srcEnd, dstSkip, srcSkipMirror, width, height, palette);
            } else {
                keyed ? PaletteKeyRows32(dst, srcFwd, dstSkip, srcSkipFwd, width, height, palette, k)
                      : PaletteRows32(dst, srcFwd, dstSkip, srcSkipFwd, width, height, palette);
            }
        } else if (keyed) {
            if (scaled) {
                mirror ? CopyKeyRows32MirrorScaled(dst, srcEnd, dstSkip, rowStep, width, height, st, key)
                       : CopyKeyRows32Scaled(dst, srcFwd, dstSkip, rowStep, width, height, st, key);
            } else {
                mirror ? CopyKeyRows32Mirror(dst, srcEnd, dstSkip, srcSkipMirror, width, height, key)
                       : CopyKeyRows32(dst, srcFwd, dstSkip, srcSkipFwd, width, height, key);
            }
        } else if (scaled) {
            if (mirror) {
                (mmx ? CopyRows32MirrorScaledMmx : CopyRows32MirrorScaled)(dst, srcEnd, dstSkip, rowStep, width,
                                                                           height, st);
            } else {
                (mmx ? CopyRows32ScaledMmx : CopyRows32Scaled)(dst, srcFwd, dstSkip, rowStep, width, height, st);
            }
        } else {
            if (mirror) {
                (mmx ? CopyRows32MirrorMmx : CopyRows32Mirror)(dst, srcEnd, dstSkip, srcSkipMirror, width, height);
            } else {
                (mmx ? CopyRows32Mmx : CopyRows32)(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
            }
        }
        break;
    case kOpBlend:
        if (scaled) {
            if (mirror) {
                (mmx ? BlendAlphaRows32MirrorScaledMmx : BlendAlphaRows32MirrorScaled)(dst, srcEnd, dstSkip, rowStep,
                                                                                       width, height, st);
            } else {
                (mmx ? BlendAlphaRows32ScaledMmx : BlendAlphaRows32Scaled)(dst, srcFwd, dstSkip, rowStep, width,
                                                                           height, st);
            }
        } else if (mirror) {
            (mmx ? BlendAlphaRows32MirrorMmx : BlendAlphaRows32Mirror)(dst, srcEnd, dstSkip, srcSkipMirror, width,
                                                                       height);
        } else {
            (mmx ? BlendAlphaRows32Mmx : BlendAlphaRows32)(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
        }
        break;
    case kOpAlphaPlane:
        if (dstBpp == 8) {
            if (scaled) {
                mirror ? CopyAlphaToPlaneRowsMirrorScaled(dst, srcEnd, dstSkip, rowStep, width, height, st)
                       : CopyAlphaToPlaneRowsScaled(dst, srcFwd, dstSkip, rowStep, width, height, st);
            } else {
                mirror ? CopyAlphaToPlaneRowsMirror(dst, srcEnd, dstSkip, srcSkipMirror, width, height)
                       : CopyAlphaToPlaneRows(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
            }
        } else {
            if (scaled) {
                mirror ? CopyPlaneToAlphaRowsMirrorScaled(dst, srcEnd, dstSkip, rowStep, width, height, st)
                       : CopyPlaneToAlphaRowsScaled(dst, srcFwd, dstSkip, rowStep, width, height, st);
            } else {
                mirror ? CopyPlaneToAlphaRowsMirror(dst, srcEnd, dstSkip, srcSkipMirror, width, height)
                       : CopyPlaneToAlphaRows(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
            }
        }
        break;
    case kOpColorKeepAlpha:
        if (keyed) {
            if (scaled) {
                (mmx ? CopyColorKeyRows32ScaledMmx : CopyColorKeyRows32Scaled)(dst, srcFwd, dstSkip, rowStep, width,
                                                                               height, st, key);
            } else {
                (mmx ? CopyColorKeyRows32Mmx : CopyColorKeyRows32)(dst, srcFwd, dstSkip, srcSkipFwd, width, height,
                                                                   key);
            }
        } else if (scaled) {
            (mmx ? CopyColorRows32ScaledMmx : CopyColorRows32Scaled)(dst, srcFwd, dstSkip, rowStep, width, height, st);
        } else {
            (mmx ? CopyColorRows32Mmx : CopyColorRows32)(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
        }
        break;
    case kOpAlphaKeepColor:
        if (scaled) {
            (mmx ? CopyAlphaRows32ScaledMmx : CopyAlphaRows32Scaled)(dst, srcFwd, dstSkip, rowStep, width, height, st);
        } else {
            (mmx ? CopyAlphaRows32Mmx : CopyAlphaRows32)(dst, srcFwd, dstSkip, srcSkipFwd, width, height);
        }
        break;
    }
    MarkChanged(d);
    return 0;
}

namespace {

// Whether a pair of pixels the library could take (both 32-bit) goes to it.
bool LibraryTakes(const CImage& dst, const CSurface* src)
{
    return pixel_lib::Loaded() && dst.GetBits() && dst.GetBitsPerPixel() == 32 && src && src->GetBits() &&
           src->GetBitsPerPixel() == 32;
}

bool ModeMirrors(uint8_t mode)
{
    return mode != kFlipVertical;
}

bool ModeFlipsV(uint8_t mode)
{
    return mode != kFlipMirror;
}

}  // namespace

int CImage::Copy(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV)
{
    return RunDraw(kOpCopy, src, false, flipV, false, nullptr, x, y, srcRect);
}

int CImage::StretchCopy(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect, bool flipV)
{
    if (!flipV && LibraryTakes(*this, src) && src->GetColorKey() == kNoColorKey) {
        return pixel_lib::Finish(*this, g_PixelLibFuncs.stretchBlend(this, src, dstSize, x, y, srcRect, 0, 0, 255, 0),
                                 2);
    }
    return RunDraw(kOpCopy, src, false, flipV, true, dstSize, x, y, srcRect);
}

int CImage::CopyFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect)
{
    return RunDraw(kOpCopy, src, ModeMirrors(mode), ModeFlipsV(mode), false, nullptr, x, y, srcRect);
}

int CImage::StretchCopyFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                            const RECT* srcRect)
{
    return RunDraw(kOpCopy, src, ModeMirrors(mode), ModeFlipsV(mode), true, dstSize, x, y, srcRect);
}

int CImage::BlendAlpha(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV)
{
    if (!flipV && LibraryTakes(*this, src)) {
        return pixel_lib::Finish(*this, g_PixelLibFuncs.blend(this, src, x, y, srcRect, 2, 255, 0), 2);
    }
    return RunDraw(kOpBlend, src, false, flipV, false, nullptr, x, y, srcRect);
}

int CImage::StretchBlendAlpha(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                              bool flipV)
{
    if (!flipV && LibraryTakes(*this, src)) {
        return pixel_lib::Finish(*this, g_PixelLibFuncs.stretchBlend(this, src, dstSize, x, y, srcRect, 2, 0, 255, 0),
                                 2);
    }
    return RunDraw(kOpBlend, src, false, flipV, true, dstSize, x, y, srcRect);
}

int CImage::BlendAlphaFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect)
{
    return RunDraw(kOpBlend, src, ModeMirrors(mode), ModeFlipsV(mode), false, nullptr, x, y, srcRect);
}

int CImage::StretchBlendAlphaFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                                  const RECT* srcRect)
{
    return RunDraw(kOpBlend, src, ModeMirrors(mode), ModeFlipsV(mode), true, dstSize, x, y, srcRect);
}

int CImage::CopyAlphaPlane(const CSurface* src, LONG x, LONG y, const RECT* srcRect, bool flipV)
{
    return RunDraw(kOpAlphaPlane, src, false, flipV, false, nullptr, x, y, srcRect);
}

int CImage::StretchCopyAlphaPlane(const CSurface* src, const SIZE* dstSize, LONG x, LONG y, const RECT* srcRect,
                                  bool flipV)
{
    return RunDraw(kOpAlphaPlane, src, false, flipV, true, dstSize, x, y, srcRect);
}

int CImage::CopyAlphaPlaneFlip(const CSurface* src, uint8_t mode, LONG x, LONG y, const RECT* srcRect)
{
    return RunDraw(kOpAlphaPlane, src, ModeMirrors(mode), ModeFlipsV(mode), false, nullptr, x, y, srcRect);
}

int CImage::StretchCopyAlphaPlaneFlip(const CSurface* src, uint8_t mode, const SIZE* dstSize, LONG x, LONG y,
                                      const RECT* srcRect)
{
    return RunDraw(kOpAlphaPlane, src, ModeMirrors(mode), ModeFlipsV(mode), true, dstSize, x, y, srcRect);
}

int CImage::CopyColorKeepAlpha(const CSurface* src, LONG x, LONG y, const RECT* srcRect)
{
    return RunDraw(kOpColorKeepAlpha, src, false, false, false, nullptr, x, y, srcRect);
}

int CImage::StretchCopyColorKeepAlpha(const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                                      const RECT* srcRect)
{
    return RunDraw(kOpColorKeepAlpha, src, false, false, true, dstSize, x, y, srcRect);
}

int CImage::CopyAlphaKeepColor(const CSurface* src, LONG x, LONG y, const RECT* srcRect)
{
    return RunDraw(kOpAlphaKeepColor, src, false, false, false, nullptr, x, y, srcRect);
}

int CImage::StretchCopyAlphaKeepColor(const CSurface* src, const SIZE* dstSize, LONG x, LONG y,
                                      const RECT* srcRect)
{
    return RunDraw(kOpAlphaKeepColor, src, false, false, true, dstSize, x, y, srcRect);
}
