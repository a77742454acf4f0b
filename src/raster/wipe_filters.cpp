// Wipe entries 53 and 68 to 86: the cross-fade, the filters over the drawn picture (mosaic,
// negative), the band and slide entries over the shared routines, the four turning sectors and the
// halves sliding in.
#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/blur_ops.h"
#include "raster/compose_ops.h"
#include "raster/device_blit.h"
#include "raster/fill_ops.h"
#include "raster/kernels8.h"
#include "raster/pixel_ops.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernels.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_common.h"

using wipe::Cos;

namespace {

enum EFilter { kMosaicCentred, kMosaicCorner, kNegative };

// 68 to 70 on a memory image: the filter's own result.
int32_t MemoryFilter(CWipeCanvas& c, EFilter filter, int block, RECT* e)
{
    switch (filter) {
    case kMosaicCentred:
        return Mosaic(*c.Image(), static_cast<DWORD>(block), 0, e);
    case kMosaicCorner:
        return Mosaic(*c.Image(), static_cast<DWORD>(block), 1, e);
    case kNegative:
        return Invert(*c.Image(), 0, e);
    }
    return 0;
}

// Source rows drawn by the mode and then inverted by mask, in one pass eight pixels at a time: the
// same pixels as drawing them and inverting the result.
template <bool Blend>
PIXEL_SIMD_AVX2 void DrawInvertedRowsAvx2(BYTE* dst, const BYTE* src, LONG dstPitch, LONG srcPitch, int width,
                                          int rows, uint32_t mask)
{
    using namespace pixel_simd_avx2;
    const __m256i flip = Splat(mask);
    for (int row = 0; row < rows; ++row, dst += dstPitch, src += srcPitch) {
        int i = 0;
        for (; i + 8 <= width; i += 8) {
            const __m256i s = Load8(src + i * 4);
            Store8(dst + i * 4, _mm256_xor_si256(Blend ? BlendAlpha8(s, Load8(dst + i * 4)) : s, flip));
        }
        if (i == width)
            continue;
        if (Blend)
            wipe::BlendShort(dst + i * 4, src + i * 4, width - i);
        else
            wipe::CopyShort(dst + i * 4, src + i * 4, width - i);
        for (; i < width; ++i)
            pixel_simd::Store32(dst + i * 4, pixel_simd::Load32(dst + i * 4) ^ mask);
    }
}

// Whether the whole source is drawn when the canvas draws it in pieces: its clip is all of it
// (the whole-picture draw ignores the source's clip, the pieces keep to it).
bool WholeSourceClip(const CWipeCanvas& c)
{
    RECT from{};
    c.Source()->GetClipRect(&from);
    return from.left <= 0 && from.top <= 0 && from.right >= c.Width() && from.bottom >= c.Height();
}

// Whether area lies inside the clip: drawing the source then covers it exactly.
bool InsideClip(const CWipeCanvas& c, const RECT& area)
{
    const RECT& clip = c.Clip();
    return area.left >= clip.left && area.top >= clip.top && area.right <= clip.right && area.bottom <= clip.bottom;
}

// 68 to 70 on a memory image: the whole source, then the filter over e. The mosaic reads only
// the first row of each band of blocks and writes every other row of its area whole, so only
// those rows of the source are drawn under it; the negative is drawn and inverted a band of rows
// at a time, each band inverted while it is still in the cache (with AVX2, drawn and inverted in
// one pass). The same pixels as drawing the whole source first, where the clip lies inside the
// image (the filter's area then holds all that is drawn) and the source's clip is all of it;
// otherwise, or when the mosaic would leave the picture as it is, that is what is done.
int32_t MemoryStep(CWipeCanvas& c, EFilter filter, int block, RECT e)
{
    CImage& image = *c.Image();
    RECT bounds{};
    image.GetBounds(&bounds);
    const RECT& clip = c.Clip();
    RECT area = e; // the filter's own area
    const bool inside = clip.left >= bounds.left && clip.top >= bounds.top && clip.right <= bounds.right &&
                        clip.bottom <= bounds.bottom;
    const bool banded = c.DrawsInAnyOrder() && inside && WholeSourceClip(c) && image.ClipRectToBounds(&area) &&
                        area.left < area.right && area.top < area.bottom;
    const LONG w = area.right - area.left, h = area.bottom - area.top;
    const int64_t y = c.Y();
    if (banded && filter != kNegative && block >= 2 && w >= 3 && h >= 3) {
        const BYTE anchor = filter == kMosaicCentred ? 0 : 1;
        const int first = MosaicFirstBand(h, block, anchor);
        for (int64_t row = area.top; row < area.bottom; row += row == area.top ? first : block)
            c.Piece(0, row - y, c.Width(), row - y + 1);
        return MemoryFilter(c, filter, block, &e);
    }
    if (banded && filter == kNegative && image.GetColorKey() == kNoColorKey) {
        const LONG pitch = image.GetPitch();
        const bool blend = c.Mode() == kTransitionBlendAlpha;
        if (wipe::UseAvx2Loops() && (blend || c.ColorKey() == kNoColorKey) && InsideClip(c, area)) {
            const CSurface* src = c.Source();
            BYTE* first = image.GetBits() + static_cast<ptrdiff_t>(area.top) * pitch + static_cast<ptrdiff_t>(area.left) * 4;
            const BYTE* from = src->GetBits() + (area.top - y) * src->GetPitch() + (area.left - c.X()) * 4;
            (blend ? DrawInvertedRowsAvx2<true> : DrawInvertedRowsAvx2<false>)(first, from, pitch, src->GetPitch(),
                                                                            w, h, InvertMask(0));
            image.MarkChanged(area);
            return 0;
        }
        constexpr LONG kBand = 16;
        for (LONG top = area.top; top < area.bottom; top += kBand) {
            const LONG rows = std::min(kBand, area.bottom - top);
            c.Piece(0, top - y, c.Width(), top - y + rows);
            BYTE* first = image.GetBits() + static_cast<ptrdiff_t>(top) * pitch + static_cast<ptrdiff_t>(area.left) * 4;
            (g_bUseMmx ? InvertRows32Mmx : InvertRows32)(first, pitch - w * 4, w, rows, 0);
        }
        image.MarkChanged(area);
        return 0;
    }
    c.DrawWhole();
    return MemoryFilter(c, filter, block, &e);
}

// 68 to 70: the whole source, then the filter over its rectangle on the destination.
int32_t FilterStep(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, int32_t mode,
                   const CDisplayTarget* screen, EFilter filter)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    // The picture's rectangle, kept inside the 32-bit range.
    RECT e{x, y, static_cast<LONG>(std::min<int64_t>(int64_t{x} + w, INT32_MAX)),
           static_cast<LONG>(std::min<int64_t>(int64_t{y} + h, INT32_MAX))};
    const int block = ((255 - progress) >> 2) + 1;
    if (mode != kTransitionDeviceBlit)
        return MemoryStep(c, filter, block, e);
    RECT whole{0, 0, c.Width(), c.Height()};
    BltFastClipped(c.DeviceDestination(), c.DeviceSource(), x, y, &whole, &c.Clip(), c.ColorKey());

    IDirectDrawSurface7* target = c.DeviceDestination();
    DDSURFACEDESC2 desc{};
    desc.dwSize = DDSURFACEDESC2_SIZE32;
    if (FAILED(target->Lock(nullptr, &desc, 0, nullptr)))
        return 3;
    // The filter reads the locked surface's own format and stays inside it: the source's format
    // or a target rectangle larger than the surface would walk past the locked memory.
    const uint32_t format = GetPixelFormatCode(nullptr, nullptr, &desc.ddpfPixelFormat);
    RECT bounds = c.Clip();
    bounds.left = std::max<LONG>(bounds.left, 0);
    bounds.top = std::max<LONG>(bounds.top, 0);
    bounds.right = std::min(bounds.right, static_cast<LONG>(desc.dwWidth));
    bounds.bottom = std::min(bounds.bottom, static_cast<LONG>(desc.dwHeight));
    int32_t result = -1;
    if (bounds.left < bounds.right && bounds.top < bounds.bottom) {
        BYTE* pixels = static_cast<BYTE*>(desc.lpSurface);
        switch (filter) {
        case kMosaicCentred:
            result = MosaicPixels(format, pixels, desc.lPitch, &bounds, &e, block, 0);
            break;
        case kMosaicCorner:
            result = MosaicPixels(format, pixels, desc.lPitch, &bounds, &e, block, 1);
            break;
        case kNegative:
            result = InvertPixels(0, format, pixels, desc.lPitch, &bounds, &e);
            break;
        }
    }
    if (FAILED(target->Unlock(nullptr)))
        return 4;
    return result;
}

// 83 and 84: four sectors opening from the centre; clockwise selects the table of entry 83.
int32_t FourSectors(CWipeCanvas& c, int32_t progress, bool clockwise)
{
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t hw = c.Width() >> 1, hh = c.Height() >> 1;
    const int64_t m = std::max(hw, hh);
    const int64_t r = ((m + 1) * 65536) / Cos(448);
    const int64_t angle = progress >> 1;
    const int64_t cv = (Cos(angle) * r) >> 16;
    const int64_t sv = (Cos(angle - 128) * r) >> 16;
    // Pieces are drawn in place; the drawing clips them to the source as clamping would.
    if (sv > 0) {
        // Pieces 1 and 2 are rows already. Pieces 3 and 4 are columns k whose rows start (or end)
        // q_k from the centre; as q_k never falls, the columns that reach row offset r are the
        // first K(r) of them, so each family is drawn as one row run per row. Every piece lies in
        // place, so a pixel covered twice is blended twice in any order: the rows are walked top
        // to bottom, each row's runs left to right, in memory order.
        const RECT& source = c.SourceClip();
        const int64_t span = std::max(sv, cv) + 1;
        const int64_t yBegin = std::max<int64_t>(source.top, hh - span);
        const int64_t yEnd = std::min<int64_t>(source.bottom, hh + span);
        // K(r) for the row offsets the walk meets.
        const int64_t offsets = std::clamp<int64_t>(std::max(yEnd - hh, hh - yBegin) + 1, 0, cv);
        std::vector<int64_t>& reach = wipe::Scratch<int64_t, wipe::ScratchUse::SectorReach>();
        reach.resize(static_cast<size_t>(offsets));
        int64_t count = 0;
        for (int64_t r = 0; r < offsets; ++r) {
            while (count < sv && (count * cv) / sv <= r)
                ++count;
            reach[static_cast<size_t>(r)] = count;
        }
        const auto reachAt = [&](int64_t r) {
            return r >= 0 && r < offsets ? reach[static_cast<size_t>(r)] : 0;
        };
        for (int64_t y = yBegin; y < yEnd; ++y) {
            const int64_t down = y - hh, up = hh - y; // k or r below the centre, k above it
            // Clockwise: piece 1 below, 2 above, 3 below, 4 above; the other way round otherwise.
            const int64_t k1 = clockwise ? down : up, k2 = clockwise ? up : down;
            const int64_t r3 = clockwise ? down : up - 1, r4 = clockwise ? up - 1 : down;
            if (k2 >= 0 && k2 < sv)
                c.Piece(hw - cv, y, hw - (k2 * cv) / sv, y + 1); // piece 2
            if (const int64_t k = reachAt(r3); k > 0)
                c.Piece(hw - k + 1, y, hw + 1, y + 1); // piece 3
            if (const int64_t k = reachAt(r4); k > 0)
                c.Piece(hw, y, hw + k, y + 1); // piece 4
            if (k1 >= 0 && k1 < sv)
                c.Piece(hw + (k1 * cv) / sv, y, hw + cv, y + 1); // piece 1
        }
    }
    if (sv > cv) {
        if (clockwise) {
            c.Piece(hw + cv, hh, 2 * hw, hh + sv + 1);
            c.Piece(0, hh - sv, hw - cv, hh + 1);
            c.Piece(0, hh + cv, hw + 1, 2 * hh);
            c.Piece(hw, 0, 2 * hw + 1, hh - cv);
        } else {
            c.Piece(hw + cv, hh - sv, 2 * hw, hh + 1);
            c.Piece(0, hh, hw - cv, hh + sv + 1);
            c.Piece(0, 0, hw + 1, hh - cv);
            c.Piece(hw, hh + cv, 2 * hw + 1, 2 * hh);
        }
    }
    return 0;
}

} // namespace

TESSARO_WIPE(WipeCrossFade)
{
    WIPE_BEGIN(c);
    // One call over the whole picture. The factors sum to 255: at progress 1 nothing changes.
    switch (mode) {
    case kTransitionCopy: {
        const DWORD dstFactor = static_cast<DWORD>(256 - progress) * 0x010101u;
        const DWORD srcFactor = static_cast<DWORD>(progress - 1) * 0x010101u;
        return MixChannels(*c.Image(), src, dstFactor, srcFactor, x, y, nullptr);
    }
    case kTransitionBlendAlpha:
        return BlendAlphaTable(*c.Image(), 0, src, static_cast<BYTE>(progress - 1), x, y, nullptr);
    default:
        return -1;
    }
}

// Entries that are a shared routine with fixed arguments, a row each.
#define WIPE_ROW(name, call)                                                                                 \
    TESSARO_WIPE(name)                                                                                       \
    {                                                                                                        \
        return call;                                                                                         \
    }

WIPE_ROW(WipeMosaicCentred,             FilterStep(dst, src, progress, x, y, mode, screen, kMosaicCentred))
WIPE_ROW(WipeMosaicCorner,              FilterStep(dst, src, progress, x, y, mode, screen, kMosaicCorner))
WIPE_ROW(WipeNegativeFlash,             FilterStep(dst, src, progress, x, y, mode, screen, kNegative))
WIPE_ROW(WipeBandsColumns16FromLeft,    WipeBandsColumns(dst, src, progress, x, y, 1, mode, 16, screen))
WIPE_ROW(WipeBandsColumns16FromRight,   WipeBandsColumns(dst, src, progress, x, y, 0, mode, 16, screen))
WIPE_ROW(WipeBandsColumns8FromLeft,     WipeBandsColumns(dst, src, progress, x, y, 1, mode, 8, screen))
WIPE_ROW(WipeBandsColumns8FromRight,    WipeBandsColumns(dst, src, progress, x, y, 0, mode, 8, screen))
WIPE_ROW(WipeBandsRows16FromTop,        WipeBandsRows(dst, src, progress, x, y, 1, mode, 16, screen))
WIPE_ROW(WipeBandsRows16FromBottom,     WipeBandsRows(dst, src, progress, x, y, 0, mode, 16, screen))
WIPE_ROW(WipeBandsRows8FromTop,         WipeBandsRows(dst, src, progress, x, y, 1, mode, 8, screen))
WIPE_ROW(WipeBandsRows8FromBottom,      WipeBandsRows(dst, src, progress, x, y, 0, mode, 8, screen))
WIPE_ROW(WipeSlideSmearFromRight,       WipeSlideSmearColumns(dst, src, progress, x, y, 1, mode, screen))
WIPE_ROW(WipeSlideSmearFromLeft,        WipeSlideSmearColumns(dst, src, progress, x, y, 0, mode, screen))
WIPE_ROW(WipeSlideSmearFromBottom,      WipeSlideSmearRows(dst, src, progress, x, y, 1, mode, screen))
WIPE_ROW(WipeSlideSmearFromTop,         WipeSlideSmearRows(dst, src, progress, x, y, 0, mode, screen))

TESSARO_WIPE(WipeFourSectorsClockwise)
{
    WIPE_BEGIN(c);
    return FourSectors(c, progress, true);
}

TESSARO_WIPE(WipeFourSectorsCounterClockwise)
{
    WIPE_BEGIN(c);
    return FourSectors(c, progress, false);
}

TESSARO_WIPE(WipeHalvesFromSides)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t half = w >> 1;
    const int64_t s = (half * progress) >> 8;
    c.PieceAt(half - s, 0, half, h, x, y);
    c.PieceAt(half, 0, half + s, h, int64_t{x} + w - s, y);
    return 0;
}

TESSARO_WIPE(WipeHalvesFromTopAndBottom)
{
    WIPE_BEGIN(c);
    const int64_t w = c.Width(), h = c.Height();
    const int64_t half = h >> 1;
    const int64_t s = (half * progress) >> 8;
    c.PieceAt(0, half - s, w, half, x, y);
    c.PieceAt(0, half, w, half + s, x, int64_t{y} + h - s);
    return 0;
}
