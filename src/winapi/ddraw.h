// DirectDraw 7 of the Windows stand-in: the DirectDraw object and surfaces held in memory, in the
// RGB pixel formats the engine uses (15, 16, 24 and 32 bits, with or without alpha). Surfaces lock,
// blit (stretched or not, with a source colour key or a colour fill) and report their formats.
#pragma once

#include "winapi/base.h"

#define MAKE_DDHRESULT(code) static_cast<HRESULT>(0x88760000u | static_cast<DWORD>(code))

#define DD_OK S_OK
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(589)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)

// DDSURFACEDESC2 flags: which fields are valid.
#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKSRCBLT 0x00010000u

#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_TEXTURE 0x00001000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u

#define DDCKEY_COLORSPACE 0x00000001u
#define DDCKEY_DESTBLT 0x00000002u
#define DDCKEY_DESTOVERLAY 0x00000004u
#define DDCKEY_SRCBLT 0x00000008u
#define DDCKEY_SRCOVERLAY 0x00000010u

#define DDBLT_ASYNC 0x00000200u
#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_DDFX 0x00000800u
#define DDBLT_KEYDEST 0x00002000u
#define DDBLT_KEYSRC 0x00008000u
#define DDBLT_KEYSRCOVERRIDE 0x00010000u
#define DDBLT_WAIT 0x01000000u

#define DDBLTFAST_NOCOLORKEY 0x00000000u
#define DDBLTFAST_SRCCOLORKEY 0x00000001u
#define DDBLTFAST_DESTCOLORKEY 0x00000002u
#define DDBLTFAST_WAIT 0x00000010u

#define DDLOCK_SURFACEMEMORYPTR 0x00000000u
#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u
#define DDLOCK_NOSYSLOCK 0x00000800u

// Size field of a DDSURFACEDESC2 as the 32-bit engine writes it; Lock and GetSurfaceDesc accept it
// as well as sizeof(DDSURFACEDESC2) of this build.
#define DDSURFACEDESC2_SIZE32 124u

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};
using LPDDCOLORKEY = DDCOLORKEY*;

struct DDPIXELFORMAT {
    DWORD dwSize; // 32
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwZBufferBitDepth;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwStencilBitDepth;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwZBitMask;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwStencilBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwRGBZBitMask;
    };
};
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};
using LPDDSCAPS2 = DDSCAPS2*;

struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwDDFX;
    DWORD dwROP;
    DWORD dwDDROP;
    DWORD dwRotationAngle;
    DWORD dwZBufferOpCode;
    DWORD dwZBufferLow;
    DWORD dwZBufferHigh;
    DWORD dwZBufferBaseDest;
    DWORD dwZDestConstBitDepth;
    union {
        DWORD dwZDestConst;
        LPVOID lpDDSZBufferDest;
    };
    DWORD dwZSrcConstBitDepth;
    union {
        DWORD dwZSrcConst;
        LPVOID lpDDSZBufferSrc;
    };
    DWORD dwAlphaEdgeBlendBitDepth;
    DWORD dwAlphaEdgeBlend;
    DWORD dwReserved;
    DWORD dwAlphaDestConstBitDepth;
    union {
        DWORD dwAlphaDestConst;
        LPVOID lpDDSAlphaDest;
    };
    DWORD dwAlphaSrcConstBitDepth;
    union {
        DWORD dwAlphaSrcConst;
        LPVOID lpDDSAlphaSrc;
    };
    union {
        DWORD dwFillColor;
        DWORD dwFillDepth;
        DWORD dwFillPixel;
        LPVOID lpDDSPattern;
    };
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};
using LPDDBLTFX = DDBLTFX*;

extern const IID IID_IDirectDraw7;
extern const IID IID_IDirectDrawSurface7;

#include "winapi/com.h"  // IUnknown

// A surface in memory. Every method answers DD_OK or a DDERR_ code.
struct IDirectDrawSurface7 : IUnknown {
    // Stretches srcRect of src (null: the whole source) into destRect (null: the whole surface).
    // Flags: DDBLT_COLORFILL (fx->dwFillColor, no source), DDBLT_KEYSRC (the source's own key),
    // DDBLT_KEYSRCOVERRIDE (fx->ddckSrcColorkey); DDBLT_WAIT and DDBLT_ASYNC are accepted.
    // DDERR_INVALIDRECT for a rectangle that is empty or leaves its surface, DDERR_INVALIDPIXELFORMAT
    // when the two formats differ, DDERR_SURFACEBUSY when either surface is locked, DDERR_NOCOLORKEY
    // for DDBLT_KEYSRC on a source without a key, DDERR_INVALIDPARAMS for a missing source or fx.
    virtual HRESULT Blt(LPRECT destRect, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags,
                        LPDDBLTFX fx) = 0;
    // Copies srcRect of src (null: the whole source) to (x, y) unscaled. Flags DDBLTFAST_SRCCOLORKEY
    // and DDBLTFAST_WAIT; the same errors as Blt.
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* src, LPRECT srcRect, DWORD flags) = 0;
    // DDCKEY_SRCBLT (or DDCKEY_DESTBLT) with a key, or null to remove it. DDERR_INVALIDPARAMS for
    // other kinds; DDERR_NOCOLORKEY from GetColorKey when none is set.
    virtual HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
    virtual HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
    // A device context over the pixels (DDERR_DCALREADYCREATED when one is out, DDERR_SURFACEBUSY
    // when locked, DDERR_CANTCREATEDC when GDI cannot make one); ReleaseDC gives it back
    // (DDERR_NODC when it is not this surface's).
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT GetPixelFormat(LPDDPIXELFORMAT format) = 0;
    // desc->dwSize must be sizeof(DDSURFACEDESC2) or DDSURFACEDESC2_SIZE32 (else DDERR_INVALIDPARAMS).
    virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) = 0;
    // Fills desc (size rule as GetSurfaceDesc) with lpSurface at rect's top-left (null: the whole
    // surface). DDERR_SURFACEBUSY when already locked or a DC is out, DDERR_INVALIDRECT.
    virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) = 0;
    // DDERR_NOTLOCKED when it is not locked.
    virtual HRESULT Unlock(LPRECT rect) = 0;
    // Memory surfaces are never lost: DD_OK.
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;

protected:
    ~IDirectDrawSurface7() = default;
};
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;

struct IDirectDraw7 : IUnknown {
    // Makes an off-screen surface in memory. desc needs DDSD_WIDTH and DDSD_HEIGHT (1 to 16384);
    // with DDSD_PIXELFORMAT an RGB format of 16, 24 or 32 bits (DDERR_INVALIDPIXELFORMAT
    // otherwise), else X8R8G8B8. With DDSD_CKSRCBLT the source key is set. outer must be null.
    virtual HRESULT CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** surface, IUnknown* outer) = 0;

protected:
    ~IDirectDraw7() = default;
};
using LPDIRECTDRAW7 = IDirectDraw7*;

// Makes the DirectDraw object (iid must be IID_IDirectDraw7; guid is ignored, outer must be null).
HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* out, REFIID iid, IUnknown* outer);
