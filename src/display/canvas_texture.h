// CCanvasTexture (surface kind 8): a canvas composed in a memory image and shown through a
// Direct3D texture that the canvas quad maps onto a quad. After each change only the changed
// rectangles are copied into the texture; the texture is sized to what the device accepts, and
// texture coordinates for image pixels come from the object. After a loss Restore makes the
// texture again and refills it from the image.
#pragma once

#include "display/d3d_device.h"
#include "display/dd_image.h"
#include "display/device_image.h"
#include "display/image_object.h"

class CCanvasTexture : public CDeviceImage, public CDDImage, public CImageObject {
public:
    // A non-null device becomes g_pRenderDevice.
    explicit CCanvasTexture(CD3DDevice* device = nullptr);
    ~CCanvasTexture() override;

    uint8_t GetKind() const override { return kSurfaceCanvasTexture; }
    uint8_t GetBitsPerPixel() const override { return m_image.GetBitsPerPixel(); }

    // 0 ok; 1 no render device; 2 the texture could not be made (no format for the code, a side
    // over the device's maximum, or the surface refused); 3 the image; 4 scene or list allocation;
    // 5 the scene refused the image. A failure leaves everything released.
    int Create(uint32_t pixelFormat, LONG width, LONG height, int bitsPerPixel, int sceneMode, bool systemMemory);
    // 0 ok; 1 no render device; 2 no texture format for the code; 3 a side over the device's
    // maximum; 4 the surface could not be made.
    int CreateTexture(uint32_t pixelFormat, LONG width, LONG height, bool systemMemory);
    // The canvas, then the texture released.
    void ReleaseAll();
    // Brings the texture up to date: a filter frame, the scene's redraw (its code + 1), or a
    // copy. 0; -1 nothing had changed (incremental); 1 no texture; 2 the texture's DC or lock
    // failed; 3 ReleaseDC failed.
    int Update(bool incremental);
    int CopyByGdi(bool incremental);
    int CopyByLock(bool incremental);

    // --- surface part ---
    // The canvas image's pixels and clip rectangle; sizes are the texture's.
    BYTE* GetBits() const override { return m_image.GetBits(); }
    BYTE* GetRowPointer(LONG y) const override { return m_image.GetRowPointer(y); }
    // 0; 1 no texture or no pixel there; else the colour key's code. The point is tested apart
    // from the value: an opaque white 32-bit pixel reads as -1.
    int SetColorKeyAt(LONG x, LONG y) override;
    // 0; 1 no texture; 2 DirectDraw refused.
    int ClearColorKey() override;
    // 0; 1 the texture could not be made again; 2 the refill failed; 3 the colour key, 4 the
    // pixel key could not be set again.
    int Restore(bool onlyIfLost) override;
    bool ClipRectToSize(const RECT* r) override { return m_image.ClipRectToSize(r); }
    RECT* GetClipRect(RECT* out) const override { return m_image.GetClipRect(out); }
    RECT* GetClipRectPtr() override { return m_image.GetClipRectPtr(); }
    bool ClipRectToBounds(RECT* r) const override { return m_image.ClipRectToBounds(r); }

    // --- canvas part ---
    // 1 without texture; 2 the image could not be made at that depth (all released); 0.
    int SetDepth(int bitsPerPixel) override;

    // --- the image face ---
    uint8_t GetImageKind() const override { return kSurfaceCanvasTexture; }
    LONG GetImageWidth() const override { return m_surface ? m_width : 0; }
    LONG GetImageHeight() const override { return m_surface ? m_height : 0; }
    IDirectDrawSurface7* GetTextureSurface() const override { return m_surface; }
    LONG GetSourceWidth() const override { return m_image.GetWidth(); }
    LONG GetSourceHeight() const override { return m_image.GetHeight(); }
    // (x + 0.5) / texture width, x scaled into the texture when the image is wider; 0 without a
    // texture.
    double GetTexU(LONG x) const override;
    double GetTexV(LONG y) const override;
    uint32_t GetTextureFormatCode() const { return m_requested; }

private:
    uint32_t ImageFlags() const;

    uint32_t m_requested = 0;  // the format code asked for
    bool m_keptSystemMemory = false;
};
