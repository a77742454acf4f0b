// The memory surface (surface kind 4): 8-bit (palette index) or 32-bit (0xAARRGGBB) pixels held in
// a GDI DIB section selected into a memory device context, or in a plain heap block. Holds the
// palette, the fills, the pixel read and the rectangle clippers used by the blits.
#pragma once

#include "raster/surface.h"
#include "winapi/gdi.h"

#include <cstdint>
#include <memory>

class CDibSurface : public CSurface {
public:
    CDibSurface() = default;
    ~CDibSurface() override;

    uint8_t GetKind() const override { return kSurfaceMemoryImage; }
    BYTE* GetBits() const override { return m_bits; }
    BYTE* GetRowPointer(LONG y) const override { return GetRowAddress(y); }
    // 0 when a key is set, 1 when the key is now none (an 8-bit colour absent from the palette).
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override;
    int SetColorKeyAt(LONG x, LONG y) override;
    int ClearColorKey() override;
    int Restore(bool onlyIfLost) override;
    bool ClipRectToSize(const RECT* r) override;
    bool ClipRectToBounds(RECT* r) const override;
    // 0 success, 1 empty surface or a size below 1, else Create's result (2).
    virtual int Resize(LONG width, LONG height);

    // 0 success, 1 size below 1 or depth below 8 (the old storage is released first), 2 the DIB
    // section or heap block could not be made, or pitch x height does not fit in memory. The
    // pixels start zeroed; a heap block of the same size is kept, and left as it was unless
    // clearKept.
    int Create(LONG width, LONG height, int bitsPerPixel, bool withDc, bool clearKept = true);
    // Frees everything; the surface is empty afterwards.
    void Release();

    // 0 success, 1 not 8 bits per pixel, 2 no memory. Null entries: the grey ramp. Otherwise
    // entry p := entries[p] for p = first .. first + count - 1, stopping after 255.
    int SetPaletteEntries(const uint32_t* entries, int count, int first);
    // False when there is no palette.
    bool SetPaletteEntry(int index, uint32_t color, bool apply);
    bool FillPalette(uint32_t color, bool apply);
    // First entry with these colour bytes; -1 when none or no palette.
    int FindPaletteIndex(BYTE r, BYTE g, BYTE b) const;

    // The index (8 bits) or the whole pixel (32 bits); -1 when empty, outside or another depth.
    LONG GetPixel(LONG x, LONG y) const;
    // Row y; null when empty or y is not in 0..height-1.
    BYTE* GetRowAddress(LONG y) const;

    // True when something was filled; changedOut receives the filled area. Rect null = clip.
    bool FillRect(BYTE r, BYTE g, BYTE b, const RECT* rect, RECT* changedOut);
    // 32-bit surfaces only; the whole value, alpha included.
    bool FillRect32(DWORD value, const RECT* rect, RECT* changedOut);

    HDC GetDc() const { return m_hdc; }
    uint32_t* GetPalette() const { return m_palette; }
    bool IsEmpty() const { return m_bits == nullptr; }
    size_t GetHeapSize() const { return m_heapSize; }

protected:
    // Gives all 256 entries to the DIB section when there is one.
    void ApplyPaletteToDc();

    HDC m_hdc = nullptr;
    HBITMAP m_hBitmap = nullptr;
    void* m_heapBlock = nullptr;
    BYTE* m_bits = nullptr;
    uint32_t* m_palette = nullptr;
    size_t m_heapSize = 0;
};

// A bitmap information block for a top-down DIB: 40-byte header, then 256 grey entries for
// 8 bits per pixel (4 zero bytes otherwise). Null when it cannot be allocated.
std::unique_ptr<BYTE[]> BuildDibHeader(LONG width, LONG height, int bitsPerPixel);

// Sets (alpha != 0) or clears (alpha == 0) the alpha byte of every pixel of a 32-bit image, row by
// row; an image of another depth or without pixels is left alone.
void SetImageAlpha(CDibSurface* image, BYTE alpha);

// Places srcRect at (x, y), cuts it to clip and moves the source edges by the same amounts (or in
// proportion when dstSize is given). 0 something to draw, -1 nothing, 1 no clip rectangle.
int ClipBlitRects(LONG x, LONG y, RECT* srcRect, RECT* dstRectOut, const RECT* clip, const SIZE* dstSize);
// Cuts rect to clip in place; false when the intersection is empty or there is no clip.
bool IntersectClipRect(RECT* rect, const RECT* clip);
