// The screen as the report's display source; see screen.h.
#include "display/screen.h"

#include <bit>

#include "raster/device_blit.h"
#include "raster/dib_convert.h"

namespace {

bool InVideoMemory(IDirectDrawSurface7* surface, uint32_t* caps)
{
    DDSCAPS2 c{};
    if (surface == nullptr || FAILED(surface->GetCaps(&c)))
        return false;
    *caps = c.dwCaps;
    return (c.dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
}

} // namespace

DisplayReportFacts CScreen::GetDisplayReportFacts()
{
    DisplayReportFacts f;
    f.initialised = m_mode != kDisplayNone;
    f.fullScreen = m_mode == kDisplayFullScreen;
    f.fullWidth = m_output.right - m_output.left;
    f.fullHeight = m_output.bottom - m_output.top;
    f.fullDepth = m_colorDepth;
    f.adapterDescription = DriverDescription();
    f.presentation = GetPresentPath();
    f.vsyncWait = m_waitMode != 0;
    f.directDrawFlip = m_backInChain;
    f.directDraw = DirectDraw() != nullptr;
    if (f.directDraw) {
        f.driverName = m_driverDescription;
        f.driverFile = m_driverName;
        f.driverVersion[0] = static_cast<uint16_t>(m_driverVersionHigh >> 16);
        f.driverVersion[1] = static_cast<uint16_t>(m_driverVersionHigh);
        f.driverVersion[2] = static_cast<uint16_t>(m_driverVersionLow >> 16);
        f.driverVersion[3] = static_cast<uint16_t>(m_driverVersionLow);
        f.hal = !HasNoHardware();
        f.halStretch = m_stretchTest == 2;
        f.videoMemoryTotal = m_videoMemoryTotal;
        f.videoMemoryFree = m_videoMemoryFree;
        f.primaryExists = m_primary != nullptr;
        f.primaryVram = InVideoMemory(m_primary, &f.primaryCaps);
        f.secondaryVram = InVideoMemory(m_backBuffer, &f.secondaryCaps);
        DDPIXELFORMAT pf{};
        pf.dwSize = sizeof pf;
        if (m_backBuffer != nullptr && SUCCEEDED(m_backBuffer->GetPixelFormat(&pf))) {
            f.pixelBits = static_cast<int>(pf.dwRGBBitCount);
            f.pixelType = m_pixelFormat;
            f.redMask = pf.dwRBitMask;
            f.greenMask = pf.dwGBitMask;
            f.blueMask = pf.dwBBitMask;
            f.redBits = std::popcount(pf.dwRBitMask);
            f.greenBits = std::popcount(pf.dwGBitMask);
            f.blueBits = std::popcount(pf.dwBBitMask);
        }
    }
    f.deviceBlit = m_device != nullptr;
    if (f.deviceBlit) {
        f.textureWidth = m_textureWidth;
        f.textureHeight = m_textureHeight;
        f.textureType = m_textureFormat;
        f.directBlt = m_texture32 && !m_drawThroughBackBuffer;
    }
    f.direct3D = GetD3DDevice() != nullptr;
    if (f.direct3D) {
        f.d3dDevice = DeviceKind();
        f.zBufferBits = GetZBufferDepth();
        // Bit n: 555, 565, 1555, 4444, 888, x888, 8888.
        const uint32_t codes[] = {kPixelX1R5G5B5, kPixelR5G6B5, kPixelA1R5G5B5, kPixelA4R4G4B4,
                                  kPixelR8G8B8,   kPixelX8R8G8B8, kPixelA8R8G8B8};
        for (size_t i = 0; i < std::size(codes); ++i)
            if (GetTextureFormatMask() & codes[i])
                f.textureFormats |= 1u << i;
        f.maxTextureStages = GetTextureBlendStages();
        f.minTextureWidth = static_cast<int>(GetMinTextureWidth());
        f.minTextureHeight = static_cast<int>(GetMinTextureHeight());
        f.maxTextureWidth = static_cast<int>(GetMaxTextureWidth());
        f.maxTextureHeight = static_cast<int>(GetMaxTextureHeight());
        f.drawPrimitiveVertex = DrawsTransformedVertices();
        f.gouraudAlpha = HasAlphaGouraudBlend();
        f.alphaTest = IsAlphaTestUsable();
        f.zBufferLessHsr = NeedsNoZBuffer();
        f.textureCaps = GetTextureCaps();
        f.textureOpCaps = GetTextureOpCaps();
        f.srcBlendCaps = GetSrcBlendCaps();
        f.destBlendCaps = GetDestBlendCaps();
        f.powerOfTwo = (f.textureCaps & D3DPTEXTURECAPS_POW2) != 0;
        f.squareOnly = (f.textureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0;
        f.noLimitation = !f.powerOfTwo && !f.squareOnly;
    }
    return f;
}
