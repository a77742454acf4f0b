// The abstract surface: every picture the engine holds (memory images, DirectDraw surfaces,
// textures, canvases) answers this interface. The raster draws from any kind that gives a pixel
// pointer and into memory images (kind 4).
#pragma once

#include "winapi/base.h"
#include "platform/object_lifetime.h"

#include <cstdint>

// What GetKind answers.
enum ESurfaceKind : uint8_t {
    kSurfaceDDImage = 0,        // DirectDraw image
    kSurfaceDDSurface = 1,      // DirectDraw text surface
    kSurfaceFileImage = 2,      // device image (texture from a file)
    kSurfaceTextTexture = 3,    // device image (texture with text)
    kSurfaceMemoryImage = 4,    // CDibSurface, CImage
    kSurfaceSoftBitmap = 5,
    kSurfaceBlank = 6,
    kSurfaceCanvas = 7,
    kSurfaceCanvasTexture = 8,
    kSurfaceSprite = 9,
    kSurfaceSprite10 = 10,
};

constexpr DWORD kNoColorKey = 0xFFFFFFFFu;

class CSurface {
public:
    CSurface() = default;
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    // Virtual operations, in the interface's slot order.
    virtual ~CSurface() { NotifyObjectDestroyed(this); }
    virtual uint8_t GetKind() const = 0;
    virtual LONG GetWidth() const { return m_width; }
    virtual LONG GetHeight() const { return m_height; }
    virtual LONG GetPitch() const { return m_pitch; }
    // Writes (0, 0, width, height) into out and returns out.
    virtual RECT* GetBounds(RECT* out) const;
    // First row's address; null for device kinds and for a surface without pixels.
    virtual BYTE* GetBits() const = 0;
    // Row y's address; null without pixels or when y is not below the height.
    virtual BYTE* GetRowPointer(LONG y) const = 0;
    // 0 when a key is set, non-zero when the key came out as none.
    virtual int SetColorKeyRgb(BYTE r, BYTE g, BYTE b) = 0;
    virtual int SetColorKeyAt(LONG x, LONG y) = 0;
    // The key; kNoColorKey = none.
    virtual DWORD GetColorKey() const { return m_colorKey; }
    // Key := none; 0.
    virtual int ClearColorKey() = 0;
    // 0 when usable (memory kinds always).
    virtual int Restore(bool onlyIfLost) = 0;
    // Null: clip := bounds, true. Empty r: false, clip kept. Else clip := r cut to the bounds, true.
    virtual bool ClipRectToSize(const RECT* r) = 0;
    // Copies the clip rectangle into out and returns out.
    virtual RECT* GetClipRect(RECT* out) const;
    virtual RECT* GetClipRectPtr() { return &m_clip; }
    // Cuts r in place to the clip rectangle; false when nothing is left.
    virtual bool ClipRectToBounds(RECT* r) const = 0;
    virtual DWORD GetUserValue1() const { return m_userValue1; }
    virtual DWORD GetUserValue2() const { return m_userValue2; }
    virtual DWORD SetUserValue1(DWORD v) { return m_userValue1 = v; }
    virtual DWORD SetUserValue2(DWORD v) { return m_userValue2 = v; }
    virtual DWORD SetGroup(DWORD g) { return m_group = g; }
    virtual DWORD GetGroup() const { return m_group; }

    // Stores a key as it is (kNoColorKey = none), without conversion: a key handed between
    // surfaces of one pixel format, or put back after a copy that had to ignore it.
    void SetColorKeyValue(DWORD key) { m_colorKey = key; }
    // Bits per pixel of the pixel memory (8 or 32 for memory images; 0 when there is none).
    uint8_t GetBitsPerPixel() const { return m_bitsPerPixel; }
    const RECT& ClipRect() const { return m_clip; }

protected:
    LONG m_width = 0;
    LONG m_height = 0;
    LONG m_pitch = 0;
    uint8_t m_bitsPerPixel = 0;
    DWORD m_colorKey = kNoColorKey;
    RECT m_clip{0, 0, 0, 0};
    DWORD m_userValue1 = 0;
    DWORD m_userValue2 = 0;
    DWORD m_group = 0;
};
