// The memory canvases: CSurfaceSprite (kind 9), a canvas whose image has a device context and a
// change tracker and can run screen filters, presented once a frame as the screen's frame image;
// and CSurfaceSprite10 (kind 10), the plain variant without device context, tracker or filters.
// Each is at once a surface (its surface part answers from the canvas image) and a canvas.
#pragma once

#include "display/image_object.h"
#include "display/surface_base.h"

class CSurfaceSprite : public CSurfaceBase, public CImageObject {
public:
    CSurfaceSprite() = default;
    ~CSurfaceSprite() override = default;

    // --- surface part: answers from the canvas image ---
    uint8_t GetKind() const override { return kSurfaceSprite; }
    LONG GetWidth() const override { return m_image.GetWidth(); }
    LONG GetHeight() const override { return m_image.GetHeight(); }
    LONG GetPitch() const override { return m_image.GetPitch(); }
    // The image's clip rectangle.
    RECT* GetBounds(RECT* out) const override;
    BYTE* GetBits() const override { return m_image.GetBits(); }
    BYTE* GetRowPointer(LONG y) const override { return m_image.GetRowPointer(y); }
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override;
    int SetColorKeyAt(LONG x, LONG y) override;
    DWORD GetColorKey() const override { return m_image.GetColorKey(); }
    int ClearColorKey() override;
    // Memory is never lost: 0.
    int Restore(bool) override { return 0; }

    // --- canvas part ---
    uint8_t GetBitsPerPixel() const override { return m_image.GetBitsPerPixel(); }
    // 1 when the surface has no pixels; 2 the image could not be made at that depth (released).
    int SetDepth(int bitsPerPixel) override;
    // 0 ok; 1 the image; 2 scene or list allocation; 3 the scene refused the image. A failure
    // leaves the canvas released.
    virtual int Create(LONG width, LONG height, int bitsPerPixel, int sceneMode);
    // Brings the canvas to a window (its DC), a DC, or a locked DirectDraw surface of the format
    // code given. With a filter: one filter frame, 0. With an active scene: the scene's redraw
    // (CScene::RedrawToSurface or RedrawToDC). Plain image, incremental: only the tracked
    // rectangles, then the tracker emptied; full: the whole image, tracker kept. 0 done; -1
    // nothing had changed; 1 no device context (or an image without one); 2 the lock failed.
    int Present(HWND window, HDC dc, IDirectDrawSurface7* surface, uint32_t pixelFormat, bool incremental) override;

protected:
    // Image creation flags and overlay list of the kind.
    virtual uint32_t ImageFlags() const { return kImageWithDc | kImageWithTracker; }
    virtual bool HasOverlay() const { return true; }
    // The surface part's own fields follow the image (raster code reads them directly).
    void SyncSurfaceFields();
};

class CSurfaceSprite10 : public CSurfaceSprite {
public:
    uint8_t GetKind() const override { return kSurfaceSprite10; }
    // Stores the byte only (there is no tracker to switch).
    bool SetSceneActive(bool active) override;
    // Active scene: the scene's InvalidateRect; otherwise nothing.
    void InvalidateRect(const RECT* rect) override;
    // Memory canvases of this kind run no filters: -1.
    int AttachFilter(CScreenFilter*, uint8_t, uint8_t, uint8_t) override { return -1; }

protected:
    uint32_t ImageFlags() const override { return 0; }
    bool HasOverlay() const override { return false; }
};
