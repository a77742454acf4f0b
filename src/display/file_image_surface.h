// CFileImageSurface (surface kind 2): a Direct3D texture loaded from an ELG picture or any picture
// an image-loader plug-in decodes, fitted to what the device accepts as a texture (powers of two,
// square, minimum and maximum sides; a picture too large is scaled down into it). It answers
// texture coordinates for picture positions and reloads itself after a device loss.
#pragma once

#include <vector>

#include "display/d3d_device.h"
#include "display/dd_image.h"
#include "display/device_image.h"

class CFileImageSurface : public CDeviceImage, public CDDImage {
public:
    // A non-null device becomes g_pRenderDevice.
    explicit CFileImageSurface(CD3DDevice* device = nullptr);
    ~CFileImageSurface() override;

    uint8_t GetKind() const override { return kSurfaceFileImage; }

    // 0 ok; 1 no Direct3D device; 2 the device has no texture format for the code; 3 nothing to
    // load (no name and no data, name not resolved, file not opened); 4 no image-loader manager,
    // the picture could not be decoded or is larger than 16384 a side; 5 the texture could not be
    // created; 6 it could not be locked; 7 the temporary full-size texture could not be created;
    // 8 the picture could not be converted; 9 the scaling blit failed; 10 anything else. After a
    // failure from 5 on nothing is loaded.
    int Load(uint32_t format, const char* name, const void* data, uint32_t size, bool systemMemory);
    // Source size 0, the texture released.
    void Clear();
    // 0; 1 reload failed; 2 no memory for the name copy; 5 or 6 the colour key could not be set
    // again. A texture loaded from memory reloads its kept bytes.
    int Restore(bool onlyIfLost) override;

    // --- the image face ---
    uint8_t GetImageKind() const override { return kSurfaceFileImage; }
    LONG GetImageWidth() const override { return m_width; }
    LONG GetImageHeight() const override { return m_height; }
    IDirectDrawSurface7* GetTextureSurface() const override { return m_surface; }
    LONG GetSourceWidth() const override { return m_sourceWidth; }
    LONG GetSourceHeight() const override { return m_sourceHeight; }
    // (x scaled into the texture when the picture was shrunk, + 0.5) / texture width; 0 before
    // anything is loaded.
    double GetTexU(LONG x) const override;
    double GetTexV(LONG y) const override;
    uint32_t GetTextureFormatCode() const { return m_requested; }

    // The texture size for a picture of w x h on a device of the given caps and limits; `tooLarge`
    // set when a side had to be cut to the maximum.
    static void FitTexture(LONG w, LONG h, DWORD textureCaps, DWORD minW, DWORD minH, DWORD maxW, DWORD maxH,
                           LONG* outW, LONG* outH, bool* tooLarge);

private:
    int LoadInto(const char* name, const BYTE* bytes, DWORD count, bool systemMemory, const DDPIXELFORMAT& format);

    LONG m_sourceWidth = 0;
    LONG m_sourceHeight = 0;
    uint32_t m_requested = 0;          // the format code asked for
    bool m_keptSystemMemory = false;
    std::vector<char> m_name;          // with its terminator; empty when loaded from memory
    std::vector<BYTE> m_data;          // bytes loaded from memory, for Restore
};
