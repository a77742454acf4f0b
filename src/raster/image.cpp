#include "raster/image.h"

#include "platform/cpu_info.h"
#include "platform/rect_clip.h"
#include "raster/blend_tables.h"
#include "raster/color_kernels.h"
#include "raster/pixel_lib_handoff.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

CImage::~CImage()
{
    Destroy();
}

int CImage::Create(LONG width, LONG height, int bitsPerPixel, uint32_t flags)
{
    if (bitsPerPixel != 8 && bitsPerPixel != 32) {
        Destroy();
        return 1;
    }
    ForgetExtras();  // the surface's own Create releases the pixels, keeping a block of the same size
    if (CDibSurface::Create(width, height, bitsPerPixel, (flags & kImageWithDc) != 0, (flags & kImageUncleared) == 0)
        != 0) {
        return 2;
    }
    if (flags & kImageWithTracker) {
        m_ownedTracker = new (std::nothrow) CUpdateRegion();
        if (!m_ownedTracker) {
            Destroy();
            return 3;
        }
        m_tracker = m_ownedTracker;
    }
    return 0;
}

void CImage::Destroy()
{
    ForgetExtras();
    Release();
}

void CImage::ForgetExtras()
{
    delete[] m_savedPalette;
    m_savedPalette = nullptr;
    if (m_ownedTracker) {
        m_ownedTracker->Reset();
        delete m_ownedTracker;
    }
    m_ownedTracker = nullptr;
    m_tracker = nullptr;
    delete[] m_rowTable;
    m_rowTable = nullptr;
    delete[] m_extraData;
    m_extraData = nullptr;
    m_extraSize = 0;
    m_alpha = 0;
    m_changed = 0;
}

int CImage::CopyFrom(const CImage* source, uint32_t flags)
{
    if (!source || !source->GetBits()) {
        return 1;
    }
    if (source == this) {
        return 0;
    }
    uint32_t createFlags;
    if (flags == 2) {
        createFlags = (source->GetDc() ? uint32_t{kImageWithDc} : 0u) |
                      (source->GetUpdateRegion() ? uint32_t{kImageWithTracker} : 0u);
    } else {
        createFlags = flags & kImageWithDc;
    }
    if (Create(source->GetWidth(), source->GetHeight(), source->GetBitsPerPixel(), createFlags) != 0) {
        return 2;
    }
    if (source->GetBitsPerPixel() == 8 && source->GetPalette()) {
        if (CDibSurface::SetPaletteEntries(source->GetPalette(), 256, 0) != 0) {
            Destroy();
            return 3;
        }
    }
    std::memcpy(m_bits, source->GetBits(), static_cast<size_t>(m_pitch) * static_cast<size_t>(m_height));
    m_colorKey = source->GetColorKey();
    m_userValue1 = source->GetUserValue1();
    m_userValue2 = source->GetUserValue2();
    m_alpha = source->m_alpha;
    return 0;
}

int CImage::BuildRowTable()
{
    if (!m_bits) {
        return 1;
    }
    BYTE** table = new (std::nothrow) BYTE*[static_cast<size_t>(m_height)];
    if (!table) {
        return 2;
    }
    for (LONG i = 0; i < m_height; ++i) {
        table[i] = m_bits + static_cast<ptrdiff_t>(i) * m_pitch;
    }
    delete[] m_rowTable;
    m_rowTable = table;
    return 0;
}

bool CImage::SetExtraData(const void* data, uint32_t size)
{
    delete[] m_extraData;
    m_extraData = nullptr;
    m_extraSize = 0;
    if (!data || size == 0) {
        return true;
    }
    m_extraData = new (std::nothrow) BYTE[size];
    if (!m_extraData) {
        return false;
    }
    std::memcpy(m_extraData, data, size);
    m_extraSize = size;
    return true;
}

void CImage::MarkChanged(const RECT& rect)
{
    if (m_tracker) {
        m_tracker->AddRect(rect);
    }
    m_changed = 1;
}

// ---------------------------------------------------------------------------------------------
// Clip computations

namespace {

// The source's clip rectangle, kept inside its pixels whatever kind of surface it is. Written in
// place: a rectangle returned by value is packed into registers through the stack, which stalled
// every clip on its reload.
void SourceClip(const CSurface* source, RECT& clip)
{
    source->GetClipRect(&clip);
    clip.left = std::max<LONG>(clip.left, 0);
    clip.top = std::max<LONG>(clip.top, 0);
    clip.right = std::min(clip.right, source->GetWidth());
    clip.bottom = std::min(clip.bottom, source->GetHeight());
}

}  // namespace

int CImage::TransferRect(const CSurface* source, LONG x, LONG y, const RECT* sourceRect, const SIZE* destSize,
                         StretchState* state, RECT* clip)
{
    return TransferRectImpl(source, x, y, sourceRect, destSize, state, clip, false, false);
}

int CImage::TransferRectFlipX(const CSurface* source, LONG x, LONG y, const RECT* sourceRect,
                              const SIZE* destSize, StretchState* state, RECT* clip)
{
    return TransferRectImpl(source, x, y, sourceRect, destSize, state, clip, true, false);
}

int CImage::TransferRectImpl(const CSurface* source, LONG x, LONG y, const RECT* sourceRect, const SIZE* destSize,
                             StretchState* state, RECT* clip, bool flipX, bool flipY)
{
    // All edges in 64 bits: positions near the ends of the 32-bit range must not wrap.
    int64_t sl, st, sr, sb;
    int64_t px = x, py = y;
    if (sourceRect) {
        sl = sourceRect->left;
        st = sourceRect->top;
        sr = sourceRect->right;
        sb = sourceRect->bottom;
        if (source) {
            // Cut to the source's clip rectangle; the placement follows the columns and rows that
            // remain (a mirrored axis loses its far edge's cut at the near side of the destination).
            RECT sc;
            SourceClip(source, sc);
            if (sl < sc.left) {
                if (!flipX) {
                    px += sc.left - sl;
                }
                sl = sc.left;
            }
            if (st < sc.top) {
                if (!flipY) {
                    py += sc.top - st;
                }
                st = sc.top;
            }
            if (sr > sc.right) {
                if (flipX) {
                    px += sr - sc.right;
                }
                sr = sc.right;
            }
            if (sb > sc.bottom) {
                if (flipY) {
                    py += sb - sc.bottom;
                }
                sb = sc.bottom;
            }
        }
    } else {
        if (!source) {
            return 1;
        }
        RECT sc;
        SourceClip(source, sc);
        sl = sc.left;
        st = sc.top;
        sr = sc.right;
        sb = sc.bottom;
    }
    if (sl >= sr || st >= sb) {
        return -1;
    }
    if (destSize && !state) {
        return 2;
    }

    RECT c = m_clip;
    if (clip) {
        clip->left = std::max(clip->left, m_clip.left);
        clip->top = std::max(clip->top, m_clip.top);
        clip->right = std::min(clip->right, m_clip.right);
        clip->bottom = std::min(clip->bottom, m_clip.bottom);
        c = *clip;
    }

    int64_t dl = px, dt = py, dr, db;
    if (!destSize) {
        dr = px + (sr - sl);
        db = py + (sb - st);
        if (c.left > dl) {
            const int64_t d = c.left - dl;
            (flipX ? sr -= d : sl += d);
            dl = c.left;
        }
        if (c.top > dt) {
            const int64_t d = c.top - dt;
            (flipY ? sb -= d : st += d);
            dt = c.top;
        }
        if (dr > c.right) {
            const int64_t d = dr - c.right;
            (flipX ? sl += d : sr -= d);
            dr = c.right;
        }
        if (db > c.bottom) {
            const int64_t d = db - c.bottom;
            (flipY ? st += d : sb -= d);
            db = c.bottom;
        }
        if (sl >= sr || st >= sb || dl >= dr || dt >= db) {
            return -1;
        }
    } else {
        // A zero or negative destination size has nothing to draw and must not reach a divide.
        if (destSize->cx <= 0 || destSize->cy <= 0) {
            return -1;
        }
        const int64_t w = destSize->cx, h = destSize->cy;
        const int64_t sw = sr - sl, sh = sb - st;
        dr = px + w;
        db = py + h;
        if (dr <= c.left || db <= c.top || dl >= c.right || dt >= c.bottom || sw > INT32_MAX || sh > INT32_MAX) {
            return -1;
        }
        const int64_t xWhole = sw / w, xFrac = sw % w, yWhole = sh / h, yFrac = sh % h;
        // A cut of n destination pixels at the left (top) starts the walk where the unclipped walk
        // is after n pixels: n x whole + e source pixels further, e being the times the
        // accumulator (from -D, adding the fraction each pixel) reached 0. (Moving by
        // (n x S - D) / D + 1 instead is one pixel off whenever D divides n x S.) Starting from
        // -D - 1 used to show the first source pixel once more and the last once less than the
        // others: a 3x stretch drew its first column 4 wide and its last 2.
        auto advance = [](int64_t n, int64_t whole, int64_t frac, int64_t den, int64_t& acc) {
            const int64_t f = n * frac;
            const int64_t e = f / den;
            acc = -den + f - den * e;
            return n * whole + e;
        };
        int64_t xAcc = -w, yAcc = -h;
        if (c.left > dl) {
            const int64_t move = advance(c.left - dl, xWhole, xFrac, w, xAcc);
            (flipX ? sr -= move : sl += move);
            dl = c.left;
        }
        if (c.top > dt) {
            const int64_t move = advance(c.top - dt, yWhole, yFrac, h, yAcc);
            (flipY ? sb -= move : st += move);
            dt = c.top;
        }
        dr = std::min<int64_t>(dr, c.right);
        db = std::min<int64_t>(db, c.bottom);
        if (sl >= sr || st >= sb || dl >= dr || dt >= db) {
            return -1;
        }
        state->xStep = static_cast<int32_t>(xWhole);
        state->xFrac = static_cast<int32_t>(xFrac);
        state->xDen = static_cast<int32_t>(w);
        state->xAcc = static_cast<int32_t>(xAcc);
        state->yStep = static_cast<int32_t>(yWhole);
        state->yFrac = static_cast<int32_t>(yFrac);
        state->yDen = static_cast<int32_t>(h);
        state->yAcc = static_cast<int32_t>(yAcc);
    }
    m_transferSrc = RECT{static_cast<LONG>(sl), static_cast<LONG>(st), static_cast<LONG>(sr), static_cast<LONG>(sb)};
    m_transferDst = RECT{static_cast<LONG>(dl), static_cast<LONG>(dt), static_cast<LONG>(dr), static_cast<LONG>(db)};
    return 0;
}

namespace {

// One axis of MapStretchRects: a0/a1 of this image cut to clip0/clip1, b0/b1 of the other image
// cut to c0/c1. False when nothing is left.
bool MapAxis(int64_t& a0, int64_t& a1, int64_t& b0, int64_t& b1, int64_t clip0, int64_t clip1, int64_t c0,
             int64_t c1, uint64_t& step, uint32_t& fraction)
{
    using u128 = unsigned __int128;
    const int64_t sa = a1 - a0, sb = b1 - b0;
    step = static_cast<uint64_t>((static_cast<u128>(sb) << 32) / static_cast<u128>(sa));
    fraction = 0;
    if (c0 > b0) {
        const int64_t d = c0 - b0;
        a0 += static_cast<int64_t>((static_cast<u128>(d) * static_cast<u128>(sa)) / static_cast<u128>(sb));
        b0 = c0;
    }
    if (clip0 > a0) {
        const u128 t = static_cast<u128>(clip0 - a0) * step;
        b0 += static_cast<int64_t>(t >> 32);
        fraction = static_cast<uint32_t>(t);
        a0 = clip0;
    }
    if (b1 > c1) {
        const int64_t d = b1 - c1;
        a1 -= static_cast<int64_t>((static_cast<u128>(d) * static_cast<u128>(sa)) / static_cast<u128>(sb)) + 1;
        b1 = c1;
    }
    if (a1 > clip1) {
        const u128 t = static_cast<u128>(a1 - clip1) * step;
        b1 -= static_cast<int64_t>(t >> 32);
        a1 = clip1;
    }
    return a0 < a1 && b0 < b1;
}

}  // namespace

bool CImage::MapStretchRects(RECT* a, RECT* b, const RECT* clipB, StretchSteps* steps)
{
    if (!a || !b || !clipB || !steps) {
        return false;
    }
    // Empty or inverted rectangles on either side have nothing to map (and must not divide).
    if (b->left >= b->right || b->top >= b->bottom || a->left >= a->right || a->top >= a->bottom) {
        return false;
    }
    int64_t at = a->top, ab = a->bottom, bt = b->top, bb = b->bottom;
    int64_t al = a->left, ar = a->right, bl = b->left, br = b->right;
    uint64_t yStep, xStep;
    uint32_t yFraction, xFraction;
    if (!MapAxis(at, ab, bt, bb, m_clip.top, m_clip.bottom, clipB->top, clipB->bottom, yStep, yFraction)) {
        return false;
    }
    if (!MapAxis(al, ar, bl, br, m_clip.left, m_clip.right, clipB->left, clipB->right, xStep, xFraction)) {
        return false;
    }
    *a = RECT{static_cast<LONG>(al), static_cast<LONG>(at), static_cast<LONG>(ar), static_cast<LONG>(ab)};
    *b = RECT{static_cast<LONG>(bl), static_cast<LONG>(bt), static_cast<LONG>(br), static_cast<LONG>(bb)};
    steps->xFraction = xFraction;
    steps->yFraction = yFraction;
    steps->xStep = xStep;
    steps->yStep = yStep;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Fills and palette

bool CImage::FillRect(BYTE r, BYTE g, BYTE b, const RECT* rect)
{
    RECT changed;
    if (!CDibSurface::FillRect(r, g, b, rect, &changed)) {
        return false;
    }
    MarkChanged(changed);
    return true;
}

bool CImage::FillRectXYWH(LONG x, LONG y, LONG width, LONG height, BYTE r, BYTE g, BYTE b)
{
    const RECT rect{x, y, x + width, y + height};
    return FillRect(r, g, b, &rect);
}

bool CImage::FillRect32(DWORD value, const RECT* rect)
{
    RECT changed;
    if (!CDibSurface::FillRect32(value, rect, &changed)) {
        return false;
    }
    MarkChanged(changed);
    return true;
}

bool CImage::FillRect32XYWH(LONG x, LONG y, LONG width, LONG height, DWORD value)
{
    const RECT rect{x, y, x + width, y + height};
    return FillRect32(value, &rect);
}

bool CImage::FillRgbKeepAlpha(BYTE r, BYTE g, BYTE b, const RECT* rect)
{
    if (!m_bits || m_bitsPerPixel != 32) {
        return false;
    }
    if (pixel_lib::Loaded()) {
        // The library's fill at full opacity leaves this path's pixels; nothing filled is false here too.
        const DWORD rgb = DWORD(r) << 16 | DWORD(g) << 8 | b;
        if (!g_PixelLibFuncs.fillColor(this, rgb, 255, rect)) {
            return false;
        }
        const RECT changed = pixel_lib::LastChange();
        if (changed.left >= changed.right || changed.top >= changed.bottom) {
            return false;
        }
        MarkChanged(changed);
        return true;
    }
    RECT area = rect ? *rect : m_clip;
    if (!::ClipRectToBounds(m_clip, area)) {
        return false;
    }
    const int width = area.right - area.left;
    const DWORD rgb = static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | b;
    BYTE* first = GetRowAddress(area.top) + static_cast<ptrdiff_t>(area.left) * 4;
    (g_bUseMmx ? FillRgbRows32Mmx : FillRgbRows32)(first, m_pitch - 4 * width, width, area.bottom - area.top, rgb);
    MarkChanged(area);
    return true;
}

bool CImage::AdjustBrightness(uint16_t level, const RECT* rect)
{
    if (!m_bits || level > 510) {
        return false;
    }
    if (m_bitsPerPixel == 8) {
        if (!m_palette || rect) {
            return false;
        }
        if (!m_savedPalette) {
            m_savedPalette = new (std::nothrow) uint32_t[256];
            if (!m_savedPalette) {
                return false;
            }
            std::memcpy(m_savedPalette, m_palette, 1024);
        }
        // Each entry from the saved one, so that levels do not compound.
        const int k = level >= 256 ? level - 255 : 0;
        const uint8_t* row = level >= 256 ? g_MulTable[255 - k] : g_MulTable[level];
        for (int i = 0; i < 256; ++i) {
            const uint32_t e = m_savedPalette[i];
            uint32_t out = e & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                out |= static_cast<uint32_t>(row[(e >> shift) & 0xFF] + k) << shift;
            }
            m_palette[i] = out;
        }
        ApplyPaletteToDc();
        MarkChanged(RECT{0, 0, m_width, m_height});
        return true;
    }
    if (m_bitsPerPixel != 32) {
        return false;
    }
    RECT area = rect ? *rect : m_clip;
    if (!::ClipRectToBounds(m_clip, area)) {
        return false;
    }
    if (level == 255) {
        return true;
    }
    BYTE* first = GetRowAddress(area.top) + static_cast<ptrdiff_t>(area.left) * 4;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (level < 255) {
        ScaleColorRows32(first, m_pitch, width, height, static_cast<BYTE>(level));
    } else {
        BlendColorRows32(first, m_pitch, width, height, 0x00FFFFFFu, static_cast<BYTE>(level - 255));
    }
    MarkChanged(area);
    return true;
}

int CImage::SetPaletteEntries(const uint32_t* entries, int count, int first)
{
    const int result = CDibSurface::SetPaletteEntries(entries, count, first);
    if (result == 0) {
        MarkChanged(RECT{0, 0, m_width, m_height});
    }
    return result;
}

bool CImage::SetPaletteEntry(int index, uint32_t color, bool apply)
{
    if (!CDibSurface::SetPaletteEntry(index, color, apply)) {
        return false;
    }
    if (apply) {
        MarkChanged(RECT{0, 0, m_width, m_height});
    }
    return true;
}

bool CImage::FillPalette(uint32_t color, bool apply)
{
    if (!CDibSurface::FillPalette(color, apply)) {
        return false;
    }
    if (apply) {
        MarkChanged(RECT{0, 0, m_width, m_height});
    }
    return true;
}

bool CImage::CopyPalette(const CImage* source)
{
    if (!source || source->GetBitsPerPixel() > 8 || m_bitsPerPixel > 8) {
        return false;
    }
    if (!source->GetPalette()) {
        return true;
    }
    if (!m_palette) {
        m_palette = new (std::nothrow) uint32_t[256];
        if (!m_palette) {
            return false;
        }
    }
    std::memcpy(m_palette, source->GetPalette(), 1024);
    ApplyPaletteToDc();
    MarkChanged(RECT{0, 0, m_width, m_height});
    return true;
}
