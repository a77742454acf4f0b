// CSoftBitmap (surface kind 5): a plain memory bitmap of 8, 16, 24 or 32 bits per pixel in one
// GlobalAlloc block, rows top-down, without device context or palette. The block is kept when a
// resize fits into it. The lock is for the bitmap's users; the bitmap never takes it itself.
#pragma once

#include "display/surface_base.h"
#include "platform/lock.h"

class CSoftBitmap : public CSurfaceBase {
public:
    CSoftBitmap() = default;
    ~CSoftBitmap() override;

    uint8_t GetKind() const override { return kSurfaceSoftBitmap; }
    BYTE* GetBits() const override { return m_pixels; }
    // Row y; null without pixels or when y is not in 0..height-1.
    BYTE* GetRowPointer(LONG y) const override;
    // 0 ok, 1 when the key came out as none. 8 bits: r (an index); 16: 565 packing; 32: 0x00RRGGBB;
    // other depths keep the key.
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override;
    // 0 ok, 1 when the key (the pixel at x, y) is none.
    int SetColorKeyAt(LONG x, LONG y) override;
    int ClearColorKey() override;
    int Restore(bool) override { return 0; }
    // 0 ok (same size: nothing changes); 1 no pixels or a size below 1; else Create's code.
    virtual int Resize(LONG width, LONG height);

    // 0 ok; 1 a size below 1 or a depth below 8; 2 the block could not be allocated (or its size
    // does not fit 32 bits). Frees first.
    int Create(LONG width, LONG height, uint8_t bitsPerPixel);
    // Frees the block; key none, width 0, size 0.
    void Free();
    // The 8, 16 or 32-bit value at (x, y); -1 without pixels, outside, or for another depth.
    LONG GetPixel(LONG x, LONG y) const;

    uint32_t GetAllocatedSize() const { return m_allocated; }
    CLock& GetLock() { return m_lock; }

private:
    BYTE* m_pixels = nullptr;
    uint32_t m_allocated = 0;
    CLock m_lock;
};
