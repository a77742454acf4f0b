// CTextSurface (surface kind 3): a Direct3D texture showing one string drawn with a font, sized by
// the device's texture rules. In a texture format with alpha the text becomes coverage in the
// alpha channel, so the scene objects can blend it over anything. It redraws itself after a loss.
#pragma once

#include "display/d3d_device.h"
#include "display/dd_surface.h"
#include "display/device_image.h"

class CTextSurface : public CDeviceImage, public CDDSurface {
public:
    // A non-null device becomes g_pRenderDevice.
    explicit CTextSurface(CD3DDevice* device = nullptr);
    ~CTextSurface() override;

    uint8_t GetKind() const override { return kSurfaceTextTexture; }

    // 0 ok; 1 no display device, no Direct3D device or no text; 2 no memory for the copy; else 2 +
    // Render's code (the object cleared again). A null font draws with the default font.
    int SetText(uint32_t format, const char* text, CFont* font);
    // 0 ok; 1 no text or font, other failure; 2 the device has no texture format for the code;
    // 3 or 4 (2 + CreateSurface's code) the texture or its temporary could not be made; 5 to 12
    // 4 + the drawing step's code (1 work picture, also a text box over 16384 a side; 2 drawing;
    // 3 DC; 4 releasing the DC; 5 fill; 6 lock; 7 unlock; 8 colour key); 15 the scaling blit
    // failed. A failure clears the object.
    int Render();
    // Text, font, texture, keys, text size and format dropped.
    void Clear();
    // 0 usable; 1 the redraw failed; 5 or 6 a key set before could not be set again.
    int Restore(bool onlyIfLost) override;

    // --- the image face ---
    uint8_t GetImageKind() const override { return kSurfaceTextTexture; }
    LONG GetImageWidth() const override { return m_surface ? m_width : 0; }
    LONG GetImageHeight() const override { return m_surface ? m_height : 0; }
    IDirectDrawSurface7* GetTextureSurface() const override { return m_surface; }
    LONG GetSourceWidth() const override { return m_textWidth; }
    LONG GetSourceHeight() const override { return m_textHeight; }
    // (x + 0.5) / texture width, x scaled into the texture when the text was shrunk; 0 without
    // a texture.
    double GetTexU(LONG x) const override;
    double GetTexV(LONG y) const override;
    uint32_t GetTextureFormatCode() const { return m_format; }

private:
    // The drawing steps into a surface of w x h in format code: their codes as in Render - 4.
    int DrawGdi(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x, LONG y);
    int DrawGlyphs(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x, LONG y);
    // Colour and coverage drawn into a cleared 32-bit picture, converted into the texture's format.
    int DrawWithAlpha(IDirectDrawSurface7* into, LONG w, LONG h, uint32_t code, CFont* font, LONG x, LONG y);

    LONG m_textWidth = 0;
    LONG m_textHeight = 0;
    uint32_t m_format = 0;
};
