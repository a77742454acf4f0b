// Pixel access behind a DC and the copy routines of the blits. Internal to winapi.
#pragma once

#include <memory>

#include "winapi/gdi_object.h"

namespace winapi {

// Holds a DC's pixels for the length of one operation (locks a target DC's store).
class DcPixelAccess {
public:
    explicit DcPixelAccess(HDC hdc);
    ~DcPixelAccess();
    DcPixelAccess(const DcPixelAccess&) = delete;
    DcPixelAccess& operator=(const DcPixelAccess&) = delete;

    bool Valid() const { return dc_ != nullptr; }
    bool Ok() const { return ok_; }
    const PixelView& View() const { return view_; }
    GdiDc& Dc() const { return *dc_; }
    void MarkChanged(const RECT& rect);
    // Whether both accesses draw into the same pixels.
    bool SameStore(const DcPixelAccess& other) const;

private:
    std::shared_ptr<GdiDc> dc_;
    std::shared_ptr<GdiBitmap> bitmap_;
    PixelView view_;
    bool ok_ = false;
    bool locked_ = false;
    RECT changed_{0, 0, 0, 0};
};

// The pixel at (x, y) as 0xAARRGGBB (8 bits through the palette, alpha 0; 16 and 24 bits alpha 0).
uint32_t ReadPixel(const PixelView& view, int x, int y);

// Copies w × h pixels from (sx, sy) of src to (x, y) of dst, clipped to both. Same depth copies
// bytes; otherwise colour converts (to 8 bits only from 8 bits). `changed` receives the rectangle
// written (empty when nothing). false for an unsupported pairing of depths.
bool CopyPixels(const PixelView& dst, int x, int y, int w, int h, const PixelView& src, int sx, int sy,
                RECT* changed);

// Nearest-pixel scaling of (sx, sy, sw, sh) onto (x, y, w, h); negative sizes mirror.
bool StretchPixels(const PixelView& dst, int x, int y, int w, int h, const PixelView& src, int sx, int sy, int sw,
                   int sh, RECT* changed);

// Writes one colour (0x00RRGGBB) into a rectangle that lies inside the view (16, 24, 32 bits).
void FillPixels(const PixelView& view, const RECT& rect, uint32_t rgb);

// Called once by the window system so that GetDC(window) reaches the window's backing store.
void SetWindowDcProvider(std::shared_ptr<DcTarget> (*provider)(HWND));
// Called once by the window system: GdiFlush ends the drawing batch of every window.
void SetGdiFlushHandler(void (*handler)());

} // namespace winapi
