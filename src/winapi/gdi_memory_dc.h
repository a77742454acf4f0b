// Stand-in extensions of GDI: device contexts over pixel stores that GDI does not own, such as a
// DirectDraw memory surface or a window's backing store, and a view of the pixels behind any DC.
// Engine code above winapi does not use these; other parts of winapi do.
#pragma once

#include <cstddef>
#include <memory>

#include "winapi/base.h"
#include "winapi/gdi_bitmap.h"

namespace winapi {

// The pixels a DC draws into. `top` is the first byte of the top row; `stride` is the signed
// distance in bytes from one row to the row below it (negative for bottom-up storage).
struct PixelView {
    BYTE* top = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;         // 8, 16, 24 or 32
    const RGBQUAD* palette = nullptr;  // 256 entries for 8 bits; null: the grey ramp
    bool r5g6b5 = false;               // 16 bits: R5G6B5 instead of X1R5G5B5
};

// Makes a DC over a caller-owned buffer: `bits` is the first byte of the top row, `pitch` the
// signed bytes from a row to the one below it (negative for bottom-up), bitsPerPixel 8, 16, 24 or
// 32 (16 is X1R5G5B5). The caller keeps the buffer alive until DeleteDC. 8-bit DCs start with the
// grey ramp as palette (SetDIBColorTable changes it). Null for a null buffer, a size below 1, a
// pitch shorter than a row, or another depth. The DC takes no bitmap (SelectObject of one fails).
HDC CreateMemoryDC(void* bits, int width, int height, int pitch, int bitsPerPixel);

// A pixel store that changes size or must be told what changed: a window's backing store.
// Lock is called before each GDI operation on the DC and Unlock after it, with the rectangle
// that was drawn (null when nothing was).
class DcTarget {
public:
    virtual ~DcTarget() = default;
    // false: no pixels now (the operation fails).
    virtual bool Lock(PixelView* view) = 0;
    virtual void Unlock(const RECT* changed) = 0;
    // The window GetDC gave the DC out for (null for none); ReleaseDC checks it.
    virtual HWND Window() const { return nullptr; }
    // The end of a batch of drawing (ReleaseDC of the DC, EndPaint, GdiFlush): what was drawn
    // since the last batch is shown.
    virtual void Flush() {}
};

// A DC over a target. When the target names a window the DC is given back with ReleaseDC
// (DeleteDC refuses it); otherwise DeleteDC frees it. Null when out of memory or target is null.
HDC CreateTargetDC(std::shared_ptr<DcTarget> target);

// Copies the description of the pixels behind a DC (memory DC with a DIB, caller-owned buffer).
// false for a bad DC, a DC without pixels, or a target DC (its pixels move; use BitBlt).
bool GetDcPixels(HDC hdc, PixelView* view);

} // namespace winapi
