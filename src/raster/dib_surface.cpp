#include "raster/dib_surface.h"

#include "platform/rect_clip.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/row_kernels.h"
#include "winapi/pixel_memory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Pitch of a row of width pixels at bitsPerPixel; -1 when it does not fit in 31 bits.
int64_t PitchFor(LONG width, int bitsPerPixel)
{
    const int64_t pitch = (static_cast<int64_t>(bitsPerPixel / 8) * width + 3) & ~int64_t{3};
    return pitch > INT32_MAX ? -1 : pitch;
}

// Bytes of a heap block for pitch x height; 0 when it is too large.
size_t HeapBytesFor(int64_t pitch, LONG height)
{
    if (pitch < 0) {
        return 0;
    }
    const uint64_t bytes = static_cast<uint64_t>(pitch) * static_cast<uint64_t>(height);
    // Sizes past 2^40 bytes are refused outright: no image of the engine comes near.
    if (bytes > (uint64_t{1} << 40)) {
        return 0;
    }
    return bytes == 0 ? 0 : static_cast<size_t>(bytes);
}

void GreyRamp(uint32_t* palette)
{
    for (uint32_t i = 0; i < 256; ++i) {
        palette[i] = i * 0x010101u;
    }
}

// The library's fill as the own path answers: false when it refused or filled nothing (a
// rectangle outside the clip), else true with what it filled.
bool LibraryFilled(bool ok, RECT* changedOut)
{
    const RECT r = pixel_lib::LastChange();
    if (!ok || r.left >= r.right || r.top >= r.bottom) {
        return false;
    }
    if (changedOut) {
        *changedOut = r;
    }
    return true;
}

}  // namespace

CDibSurface::~CDibSurface()
{
    Release();
}

std::unique_ptr<BYTE[]> BuildDibHeader(LONG width, LONG height, int bitsPerPixel)
{
    const size_t size = sizeof(BITMAPINFOHEADER) + (bitsPerPixel == 8 ? 1024 : 4);
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]());
    if (!block) {
        return block;
    }
    auto* info = reinterpret_cast<BITMAPINFO*>(block.get());
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = -height;  // rows top first
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
    info->bmiHeader.biCompression = BI_RGB;
    if (bitsPerPixel == 8) {
        info->bmiHeader.biClrUsed = 256;
        for (int i = 0; i < 256; ++i) {
            info->bmiColors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        }
    }
    return block;
}

int CDibSurface::Create(LONG width, LONG height, int bitsPerPixel, bool withDc, bool clearKept)
{
    // A heap block of the size asked is cleared and kept rather than freed and allocated again.
    struct Kept {
        void* block = nullptr;
        size_t size = 0;
        ~Kept() { winapi::FreePixelBytes(block, size); }
    } kept;
    const size_t keptSize = m_heapSize;
    if (!m_hdc) {
        kept.block = m_heapBlock;
        kept.size = m_heapSize;
        m_heapBlock = nullptr;
    }
    Release();
    if (width < 1 || height < 1 || bitsPerPixel < 8 || bitsPerPixel > 32 || bitsPerPixel % 8 != 0) {
        return 1;
    }
    const int64_t pitch = PitchFor(width, bitsPerPixel);
    const size_t heapBytes = HeapBytesFor(pitch, height);
    if (heapBytes == 0) {
        return 2;  // pitch x height does not fit
    }
    if (withDc) {
        std::unique_ptr<BYTE[]> header = BuildDibHeader(width, height, bitsPerPixel);
        if (!header) {
            return 2;
        }
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        void* bits = nullptr;
        HBITMAP section = dc ? CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(header.get()),
                                                DIB_RGB_COLORS, &bits, nullptr, 0)
                             : nullptr;
        if (screen) {
            ReleaseDC(nullptr, screen);
        }
        if (!section || !bits) {
            if (section) {
                DeleteObject(section);
            }
            if (dc) {
                DeleteDC(dc);
            }
            return 2;
        }
        SelectObject(dc, section);
        m_hdc = dc;
        m_hBitmap = section;
        m_bits = static_cast<BYTE*>(bits);
    } else {
        void* block = nullptr;  // zeroed, as DIB sections are
        if (kept.block && keptSize == heapBytes) {
            block = clearKept ? std::memset(kept.block, 0, heapBytes) : kept.block;
            kept.block = nullptr;
        } else {
            block = winapi::AllocatePixelBytes(heapBytes);
        }
        if (!block) {
            return 2;
        }
        m_heapBlock = block;
        m_heapSize = heapBytes;
        m_bits = static_cast<BYTE*>(block);
    }
    m_bitsPerPixel = static_cast<uint8_t>(bitsPerPixel);
    m_width = width;
    m_height = height;
    m_pitch = static_cast<LONG>(pitch);
    GetBounds(&m_clip);
    return 0;
}

void CDibSurface::Release()
{
    if (m_hdc) {
        DeleteDC(m_hdc);
        m_hdc = nullptr;
    }
    if (m_hBitmap) {
        // Our sections never have a file mapping (CreateDIBSection is called without one).
        DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
    }
    if (m_heapBlock) {
        winapi::FreePixelBytes(m_heapBlock, m_heapSize);
        m_heapBlock = nullptr;
    }
    m_bits = nullptr;
    delete[] m_palette;
    m_palette = nullptr;
    m_width = 0;
    m_heapSize = 0;
    m_colorKey = kNoColorKey;
}

int CDibSurface::Resize(LONG width, LONG height)
{
    if (!m_bits || width < 1 || height < 1) {
        return 1;
    }
    if (width == m_width && height == m_height) {
        return 0;
    }
    if (m_hdc) {
        return Create(width, height, m_bitsPerPixel, true);
    }
    const int64_t pitch = PitchFor(width, m_bitsPerPixel);
    const size_t bytes = HeapBytesFor(pitch, height);
    if (bytes == 0) {
        return 2;
    }
    if (bytes <= m_heapSize) {
        // The block is large enough: keep it and its bytes.
        m_width = width;
        m_height = height;
        m_pitch = static_cast<LONG>(pitch);
        GetBounds(&m_clip);
        return 0;
    }
    return Create(width, height, m_bitsPerPixel, false);
}

int CDibSurface::SetColorKeyRgb(BYTE r, BYTE g, BYTE b)
{
    if (m_bitsPerPixel == 8) {
        m_colorKey = static_cast<DWORD>(FindPaletteIndex(r, g, b));
    } else {
        m_colorKey = static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | b;
    }
    return m_colorKey == kNoColorKey ? 1 : 0;
}

int CDibSurface::SetColorKeyAt(LONG x, LONG y)
{
    m_colorKey = static_cast<DWORD>(GetPixel(x, y));
    return m_colorKey == kNoColorKey ? 1 : 0;
}

int CDibSurface::ClearColorKey()
{
    m_colorKey = kNoColorKey;
    return 0;
}

int CDibSurface::Restore(bool)
{
    return 0;  // a memory surface is never lost
}

bool CDibSurface::ClipRectToSize(const RECT* r)
{
    return ::ClipRectToSize(m_clip, m_width, m_height, r);
}

bool CDibSurface::ClipRectToBounds(RECT* r) const
{
    return r && ::ClipRectToBounds(m_clip, *r);
}

void CDibSurface::ApplyPaletteToDc()
{
    if (m_hdc && m_palette) {
        SetDIBColorTable(m_hdc, 0, 256, reinterpret_cast<const RGBQUAD*>(m_palette));
    }
}

int CDibSurface::SetPaletteEntries(const uint32_t* entries, int count, int first)
{
    if (m_bitsPerPixel != 8) {
        return 1;
    }
    if (!m_palette) {
        m_palette = new (std::nothrow) uint32_t[256];
        if (!m_palette) {
            return 2;
        }
        GreyRamp(m_palette);
    }
    if (!entries) {
        GreyRamp(m_palette);
    } else {
        for (int p = std::max(first, 0), n = 0; p < 256 && n < count; ++p, ++n) {
            m_palette[p] = entries[p];
        }
    }
    ApplyPaletteToDc();
    return 0;
}

bool CDibSurface::SetPaletteEntry(int index, uint32_t color, bool apply)
{
    if (!m_palette) {
        return false;
    }
    uint32_t& entry = m_palette[index & 0xFF];
    if (entry == color) {
        return true;
    }
    entry = color;
    if (apply) {
        ApplyPaletteToDc();
    }
    return true;
}

bool CDibSurface::FillPalette(uint32_t color, bool apply)
{
    if (!m_palette) {
        return false;
    }
    std::fill(m_palette, m_palette + 256, color);
    if (apply) {
        ApplyPaletteToDc();
    }
    return true;
}

int CDibSurface::FindPaletteIndex(BYTE r, BYTE g, BYTE b) const
{
    if (!m_palette) {
        return -1;
    }
    const uint32_t want = static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
    for (int i = 0; i < 256; ++i) {
        if ((m_palette[i] & 0x00FFFFFFu) == want) {
            return i;
        }
    }
    return -1;
}

LONG CDibSurface::GetPixel(LONG x, LONG y) const
{
    if (!m_bits || x < 0 || x >= m_width || y < 0 || y >= m_height) {
        return -1;
    }
    const BYTE* row = m_bits + static_cast<ptrdiff_t>(m_pitch) * y;
    if (m_bitsPerPixel == 8) {
        return row[x];
    }
    if (m_bitsPerPixel == 32) {
        uint32_t v;
        std::memcpy(&v, row + static_cast<ptrdiff_t>(x) * 4, 4);
        return static_cast<LONG>(v);
    }
    return -1;
}

BYTE* CDibSurface::GetRowAddress(LONG y) const
{
    if (!m_bits || static_cast<uint32_t>(y) >= static_cast<uint32_t>(m_height)) {
        return nullptr;
    }
    return m_bits + static_cast<ptrdiff_t>(m_pitch) * y;
}

bool CDibSurface::FillRect(BYTE r, BYTE g, BYTE b, const RECT* rect, RECT* changedOut)
{
    if (!m_bits || (m_bitsPerPixel != 8 && m_bitsPerPixel != 32)) {
        return false;
    }
    if (pixel_lib::Loaded()) {
        const bool ok = m_bitsPerPixel == 8
                            ? g_PixelLibFuncs.fill8(this, r, rect)
                            : g_PixelLibFuncs.fill32(this, DWORD(r) << 16 | DWORD(g) << 8 | b, rect);
        return LibraryFilled(ok, changedOut);
    }
    RECT area = rect ? *rect : m_clip;
    if (!::ClipRectToBounds(m_clip, area)) {
        return false;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (m_bitsPerPixel == 8) {
        for (LONG y = area.top; y < area.bottom; ++y) {
            std::memset(GetRowAddress(y) + area.left, r, static_cast<size_t>(width));
        }
    } else {
        const DWORD value = static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | b;
        FillRows32(GetRowAddress(area.top) + static_cast<ptrdiff_t>(area.left) * 4, m_pitch - width * 4, width,
                   height, value);
    }
    if (changedOut) {
        *changedOut = area;
    }
    return true;
}

bool CDibSurface::FillRect32(DWORD value, const RECT* rect, RECT* changedOut)
{
    if (!m_bits || m_bitsPerPixel != 32) {
        return false;
    }
    if (pixel_lib::Loaded()) {
        return LibraryFilled(g_PixelLibFuncs.fill32(this, value, rect), changedOut);
    }
    RECT area = rect ? *rect : m_clip;
    if (!::ClipRectToBounds(m_clip, area)) {
        return false;
    }
    const int width = area.right - area.left;
    FillRows32(GetRowAddress(area.top) + static_cast<ptrdiff_t>(area.left) * 4, m_pitch - width * 4, width,
               area.bottom - area.top, value);
    if (changedOut) {
        *changedOut = area;
    }
    return true;
}

void SetImageAlpha(CDibSurface* image, BYTE alpha)
{
    // Only the pixels of a 32-bit image: an 8-bit image's block is a quarter the size.
    if (!image || !image->GetBits() || image->GetBitsPerPixel() != 32) {
        return;
    }
    const uint32_t set = static_cast<uint32_t>(alpha) << 24;
    for (LONG y = 0; y < image->GetHeight(); ++y) {
        BYTE* row = image->GetRowAddress(y);
        for (LONG x = 0; x < image->GetWidth(); ++x) {
            uint32_t v;
            std::memcpy(&v, row + x * 4, 4);
            v = (v & 0x00FFFFFFu) | set;
            std::memcpy(row + x * 4, &v, 4);
        }
    }
}

int ClipBlitRects(LONG x, LONG y, RECT* srcRect, RECT* dstRectOut, const RECT* clip, const SIZE* dstSize)
{
    if (!clip) {
        return 1;
    }
    if (!srcRect || !dstRectOut) {
        return -1;
    }
    int64_t sl = srcRect->left, st = srcRect->top, sr = srcRect->right, sb = srcRect->bottom;
    int64_t dl = x, dt = y, dr, db;
    if (!dstSize) {
        dr = dl + (sr - sl);
        db = dt + (sb - st);
        if (clip->left - dl >= 1) {
            sl += clip->left - dl;
            dl = clip->left;
        }
        if (clip->top - dt > 0) {
            st += clip->top - dt;
            dt = clip->top;
        }
        if (dr - clip->right > 0) {
            sr -= dr - clip->right;
            dr = clip->right;
        }
        if (db - clip->bottom > 0) {
            sb -= db - clip->bottom;
            db = clip->bottom;
        }
    } else {
        // A zero or negative destination size has nothing to draw (and must not reach a divide).
        if (dstSize->cx <= 0 || dstSize->cy <= 0) {
            return -1;
        }
        const int64_t w = dstSize->cx, h = dstSize->cy;
        const int64_t sw = sr - sl, sh = sb - st;
        dr = dl + w;
        db = dt + h;
        if (clip->left - dl >= 1) {
            sl += (clip->left - dl) * sw / w;
            dl = clip->left;
        }
        if (clip->top - dt > 0) {
            st += (clip->top - dt) * sh / h;
            dt = clip->top;
        }
        if (dr - clip->right > 0) {
            sr -= (dr - clip->right) * sw / w;
            dr = clip->right;
        }
        if (db - clip->bottom > 0) {
            sb -= (db - clip->bottom) * sh / h;
            db = clip->bottom;
        }
        if (dl >= dr || dt >= db) {
            return -1;
        }
    }
    if (sl >= sr || st >= sb) {
        return -1;
    }
    *srcRect = RECT{static_cast<LONG>(sl), static_cast<LONG>(st), static_cast<LONG>(sr), static_cast<LONG>(sb)};
    *dstRectOut = RECT{static_cast<LONG>(dl), static_cast<LONG>(dt), static_cast<LONG>(dr), static_cast<LONG>(db)};
    return 0;
}

bool IntersectClipRect(RECT* rect, const RECT* clip)
{
    if (!clip || !rect) {
        return false;
    }
    rect->left = std::max(rect->left, clip->left);
    rect->right = std::min(rect->right, clip->right);
    if (rect->left >= rect->right) {
        return false;
    }
    rect->top = std::max(rect->top, clip->top);
    rect->bottom = std::min(rect->bottom, clip->bottom);
    return rect->top < rect->bottom;
}
