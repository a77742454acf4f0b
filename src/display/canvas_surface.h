// CCanvasSurface (surface kind 7): a canvas composed in a memory image and shown from an
// off-screen DirectDraw surface. Update carries only the changed rectangles from the image to the
// surface (by GDI when the image has a device context, else by locking); after a loss Restore
// makes the surface again and copies the whole image.
#pragma once

#include "display/display_device.h"
#include "display/surface_sprite.h"

// Set at start-up from the settings: canvas images get a device context and copy through GDI.
extern uint8_t g_bCanvasImageDC;

class CCanvasSurface : public CSurfaceSprite {
public:
    // A non-null device becomes g_pSurfaceDisplayDevice.
    explicit CCanvasSurface(CDisplayDevice* device = nullptr);
    ~CCanvasSurface() override;

    uint8_t GetKind() const override { return kSurfaceCanvas; }
    IDirectDrawSurface7* GetDeviceSurface() const { return m_surface; }
    // The surface's format code (1555 kept as 555, 8888 as x888); 0 without a surface.
    uint32_t GetPixelFormatCode() const { return m_format; }

    // 0; 1 no surface; 2 format unreadable; 3 DirectDraw refused. The key is kept in the
    // surface's own format.
    int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) override;
    // 0; 1 no surface or no pixel there; else SetColorKeyRgb's code.
    int SetColorKeyAt(LONG x, LONG y) override;
    DWORD GetColorKey() const override { return m_deviceKey; }
    // 0 (also without a key); 1 no surface; 2 DirectDraw refused.
    int ClearColorKey() override;
    // 0; 1 the surface could not be made again; 2 the copy failed; 3 the key could not be set again.
    int Restore(bool onlyIfLost) override;
    // 1 without surface; 2 the image could not be made at that depth (all released); 0.
    int SetDepth(int bitsPerPixel) override;

    // 0; 1 no display device; 2 the surface; 3 the image; 4 scene or list allocation; 5 the scene
    // refused the image. A failure leaves everything released.
    int Create(LONG width, LONG height, int bitsPerPixel, int sceneMode) override;
    // 0; 1 the device has no DirectDraw object; 2 CreateSurface failed.
    int CreateSurface(LONG width, LONG height);
    void ReleaseSurface();
    void ReleaseAll();
    // Brings the surface up to date: a filter frame, the scene's redraw (its code + 1; nothing
    // dirty 0), or a plain copy. 0; -1 nothing had changed (incremental); 1 no surface; 2 the
    // surface's DC or lock failed; 3 ReleaseDC failed.
    int Update(bool incremental);
    int CopyByGdi(bool incremental);
    int CopyByLock(bool incremental);

protected:
    uint32_t ImageFlags() const override
    {
        return kImageWithTracker | (g_bCanvasImageDC ? static_cast<uint32_t>(kImageWithDc) : 0u);
    }

private:
    CDisplayDevice* m_device;
    IDirectDrawSurface7* m_surface = nullptr;
    uint32_t m_format = 0;
    DWORD m_deviceKey = kNoColorKey;
};
