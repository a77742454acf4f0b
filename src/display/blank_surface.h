// CBlankSurface: a blank off-screen DirectDraw work surface in system memory (surface kind 6),
// black when made and simply made again, black, after a device loss. It takes no colour key.
#pragma once

#include "display/display_device.h"
#include "display/surface_base.h"
#include "platform/lock.h"

class CBlankSurface : public CDeviceSurfaceBase {
public:
    // A non-null device becomes g_pSurfaceDisplayDevice; the object keeps the one in force.
    explicit CBlankSurface(CDisplayDevice* device = nullptr);
    ~CBlankSurface() override;

    uint8_t GetKind() const override { return kSurfaceBlank; }
    IDirectDrawSurface7* GetDeviceSurface() const override { return m_surface; }
    // Keys do nothing: 0, and GetColorKey stays kNoColorKey.
    int SetColorKeyRgb(BYTE, BYTE, BYTE) override { return 0; }
    int SetColorKeyAt(LONG, LONG) override { return 0; }
    int ClearColorKey() override { return 0; }
    // 0 usable; 1 Create failed.
    int Restore(bool onlyIfLost) override;

    // 0; 1 no display device or a size below 1; 2 no DirectDraw object; 3 CreateSurface failed;
    // 4 the surface could not be locked (it is released).
    int Create(LONG width, LONG height);
    void Release();
    uint32_t GetPixelFormatCode() const { return m_format; }

private:
    CDisplayDevice* m_device;
    IDirectDrawSurface7* m_surface = nullptr;
    void* m_memory = nullptr;
    uint32_t m_format = 0;
    CLock m_lock;
};
