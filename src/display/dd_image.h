// CDDImage: a DirectDraw image (surface kind 0), an off-screen surface or texture on the screen's
// display device, loaded from an image file or memory or filled with one colour. It keeps what it
// was made from (file name, loaded bytes or fill colour) so Restore can rebuild it after a loss.
#pragma once

#include "display/dd_keyed_surface.h"
#include "display/display_device.h"

#include <vector>

class CDibSurface;

class CDDImage : public CDDKeyedSurface {
public:
    // A non-null device becomes g_pSurfaceDisplayDevice.
    explicit CDDImage(CDisplayDevice* device = nullptr);
    ~CDDImage() override;

    uint8_t GetKind() const override { return kSurfaceDDImage; }
    uint32_t GetPixelFormatCode() const override { return m_format; }

    // 0; 1 no display device, a size below 1 or a texture without a pixel format; 2 no DirectDraw
    // object; 3 the surface could not be created; 4 it could not be described.
    int Create(LONG width, LONG height, bool systemMemory, bool texture, const DDPIXELFORMAT* format);
    // 0; 1 nothing to load (no name and no data, name not found); 2 no image-loader manager or
    // data not decodable; 3 the surface could not be created; 4 lock or DC failed; 5 unknown
    // format or conversion failed; 6 anything else. Every failure after creation releases the
    // surface.
    int Load(const char* name, const void* data, uint32_t size, bool systemMemory);
    // Copies srcRect (null: the source's clip rectangle) of an 8- or 32-bit memory image to (x, y)
    // of this image's surface, cut to its clip rectangle; desc: the surface already locked (null:
    // locked here). 0 done or nothing to copy; 1 no surface, no source or no pixels; 2 lock failed.
    int CopyImageToSurface(const CDibSurface* source, LONG x, LONG y, const RECT* srcRect,
                           const DDSURFACEDESC2* desc);
    // 0; 1 no surface; 2 the fill failed. Restore then refills instead of reloading.
    int FillColor(BYTE r, BYTE g, BYTE b);
    // The colour of the last FillColor as 0xRRGGBB; kNoColorKey when the image was not filled.
    DWORD GetFillColor() const { return m_fillColor; }
    void Release();

    // 0; 1 no surface; 2 DirectDraw refused.
    int ClearColorKey() override;
    // 0 usable; 1 reload failed; 2 no memory; 3 create failed; 4 fill failed; 5 and 6 the key
    // could not be set again.
    int Restore(bool onlyIfLost) override;

    bool InVideoMemory() const { return m_inVideoMemory; }

private:
    int LoadBytes(const char* name, const BYTE* bytes, DWORD count, bool systemMemory);
    int LoadElgDirect(const BYTE* bytes, DWORD count);

    std::vector<char> m_fileName;      // with its terminator; empty for memory and blank images
    std::vector<BYTE> m_loadedData;    // bytes loaded from memory, for Restore
    uint32_t m_format = 0;
    DWORD m_fillColor = kNoColorKey;
    bool m_systemMemory = false;
    bool m_inVideoMemory = false;
};
