// CDDSurface: a DirectDraw text surface (surface kind 1) showing one string drawn with a font. It
// keeps the string and the font, so Restore can draw it again after a loss.
#pragma once

#include "display/dd_keyed_surface.h"
#include "display/display_device.h"

#include <string>

class CFont;

class CDDSurface : public CDDKeyedSurface {
public:
    // Non-null arguments become g_pDefaultFont and g_pSurfaceDisplayDevice.
    explicit CDDSurface(CFont* font = nullptr, CDisplayDevice* device = nullptr);
    ~CDDSurface() override;

    uint8_t GetKind() const override { return kSurfaceDDSurface; }
    uint32_t GetPixelFormatCode() const override;

    // 0; 1 no display device or no text; 2 no memory; else 2 + Render's code (the object is
    // cleared again). A null font draws with the default font.
    int SetText(const char* text, CFont* font);
    // 0; 3 no text or no font; the code of CreateSurface; 3 + the drawing step's code (1 work
    // picture, 2 drawing, 3 DC, 4 releasing the DC, 5 fill, 6 key, 7 clearing the key); 11 other.
    // A failure clears the object (text and font included).
    int Render();
    // 0; 1 no display device (no DirectDraw object); 2 the surface could not be made or described.
    int CreateSurface(LONG width, LONG height, bool texture, const DDPIXELFORMAT* format);
    // Text, font, surface and keys dropped.
    void Clear();
    // Without a device key: 0 with nothing done. Else 0; 1 no surface; 2 DirectDraw refused.
    int ClearColorKey() override;
    // 0 usable; 1 the redraw failed; 5 or 6 the key could not be set again.
    int Restore(bool onlyIfLost) override;

protected:
    std::string m_text;
    bool m_hasText = false;
    CFont* m_font = nullptr;

private:
    int DrawGdi(CFont* font, LONG x, LONG y);
    int DrawGlyphs(CFont* font, LONG x, LONG y);
    int BlitFromDc(HDC from);
};
