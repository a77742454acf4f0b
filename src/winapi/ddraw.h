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
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(140)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(205)
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(110)

// DDSURFACEDESC2 flags: which fields are valid.
#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_REFRESHRATE 0x00040000u
#define DDSD_CKSRCBLT 0x00010000u
#define DDSD_TEXTURESTAGE 0x00100000u
#define DDSCAPS2_TEXTUREMANAGE 0x00000010u

#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_TEXTURE 0x00001000u
#define DDSCAPS_3DDEVICE 0x00002000u
#define DDSCAPS_ZBUFFER 0x00020000u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
#define DDSCAPS_LOCALVIDMEM 0x10000000u

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_FOURCC 0x00000004u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_ZBUFFER 0x00000400u

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
extern const IID IID_IDirectDrawClipper;
extern const CLSID CLSID_DirectDraw;

#include "winapi/com.h"  // IUnknown

// --- the display device: caps, drivers, modes, cooperative levels, clippers ---
#define DDCAPS_3D 0x00000001u
#define DDCAPS_BLT 0x00000040u
#define DDCAPS_BLTCOLORFILL 0x04000000u
#define DDCAPS_BLTSTRETCH 0x00000200u
#define DDCAPS_COLORKEY 0x00400000u
#define DDCAPS_NOHARDWARE 0x02000000u
#define DDCKEYCAPS_SRCBLT 0x00000200u
#define DDFXCAPS_BLTSTRETCHX 0x00200000u
#define DDFXCAPS_BLTSTRETCHY 0x02000000u

#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_NORMAL 0x00000008u
#define DDSCL_EXCLUSIVE 0x00000010u

#define DDENUM_ATTACHEDSECONDARYDEVICES 0x00000001u
#define DDENUM_DETACHEDSECONDARYDEVICES 0x00000002u
#define DDENUM_NONDISPLAYDEVICES 0x00000004u
#define DDEDM_REFRESHRATES 0x00000001u
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1
#define DDCREATE_HARDWAREONLY reinterpret_cast<GUID*>(static_cast<uintptr_t>(1))
#define DDCREATE_EMULATIONONLY reinterpret_cast<GUID*>(static_cast<uintptr_t>(2))

#define DDWAITVB_BLOCKBEGIN 0x00000001u
#define DDFLIP_WAIT 0x00000001u
#define DDFLIP_NOVSYNC 0x00000008u

// Bit depths of DirectDraw (render depths of a Direct3D device, modes).
#define DDBD_8 0x00000800u
#define DDBD_16 0x00000400u
#define DDBD_24 0x00000200u
#define DDBD_32 0x00000100u

// The capabilities (all 32-bit fields: 380 bytes).
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
    DWORD dwRops[8];
    DWORD ddsOldCaps;
    DWORD dwMinOverlayStretch;
    DWORD dwMaxOverlayStretch;
    DWORD dwMinLiveVideoStretch;
    DWORD dwMaxLiveVideoStretch;
    DWORD dwMinHwCodecStretch;
    DWORD dwMaxHwCodecStretch;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwReserved3;
    DWORD dwSVBCaps;
    DWORD dwSVBCKeyCaps;
    DWORD dwSVBFXCaps;
    DWORD dwSVBRops[8];
    DWORD dwVSBCaps;
    DWORD dwVSBCKeyCaps;
    DWORD dwVSBFXCaps;
    DWORD dwVSBRops[8];
    DWORD dwSSBCaps;
    DWORD dwSSBCKeyCaps;
    DWORD dwSSBFXCaps;
    DWORD dwSSBRops[8];
    DWORD dwMaxVideoPorts;
    DWORD dwCurrVideoPorts;
    DWORD dwSVBCaps2;
    DWORD dwNLVBCaps;
    DWORD dwNLVBCaps2;
    DWORD dwNLVBCKeyCaps;
    DWORD dwNLVBFXCaps;
    DWORD dwNLVBRops[8];
    DDSCAPS2 ddsCaps;
};
using LPDDCAPS = DDCAPS*;

#define MAX_DDDEVICEID_STRING 512

struct DDDEVICEIDENTIFIER2 {
    char szDriver[MAX_DDDEVICEID_STRING];
    char szDescription[MAX_DDDEVICEID_STRING];
    LARGE_INTEGER liDriverVersion;
    DWORD dwVendorId;
    DWORD dwDeviceId;
    DWORD dwSubSysId;
    DWORD dwRevision;
    GUID guidDeviceIdentifier;
    DWORD dwWHQLLevel;
};
using LPDDDEVICEIDENTIFIER2 = DDDEVICEIDENTIFIER2*;

using LPDDENUMMODESCALLBACK2 = HRESULT(CALLBACK*)(LPDDSURFACEDESC2 desc, LPVOID context);
using LPDDENUMCALLBACKEXA = BOOL(CALLBACK*)(GUID* guid, LPSTR description, LPSTR name, LPVOID context,
                                            HMONITOR monitor);
using LPDDENUMSURFACESCALLBACK7 = HRESULT(CALLBACK*)(struct IDirectDrawSurface7* surface,
                                                     LPDDSURFACEDESC2 desc, LPVOID context);

// Binds blits into the primary to a window's client area.
struct IDirectDrawClipper : IUnknown {
    // The window (null: none, blits go unclipped). DD_OK.
    virtual HRESULT SetHWnd(DWORD flags, HWND hwnd) = 0;
    // DDERR_NOHWND when none is set.
    virtual HRESULT GetHWnd(HWND* hwnd) = 0;

protected:
    ~IDirectDrawClipper() = default;
};
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;

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
    // DDERR_SURFACELOST for a video-memory surface after a display-mode change (every other call
    // of a lost surface answers it too); Restore gives it back black, or DDERR_WRONGMODE when the
    // display's format changed since it was made. System-memory surfaces are never lost.
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT GetCaps(LPDDSCAPS2 caps) = 0;
    // The clipper of the primary (null: none). DDERR_INVALIDPARAMS for other surfaces.
    virtual HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
    // DDERR_NOCLIPPERATTACHED when none.
    virtual HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) = 0;
    // The back buffer of a flip chain (DDSCAPS_BACKBUFFER), counted; DDERR_NOTFOUND otherwise.
    virtual HRESULT GetAttachedSurface(LPDDSCAPS2 caps, IDirectDrawSurface7** surface) = 0;
    // Shows the back buffer (the chain's front); DDERR_NOTFLIPPABLE on a surface that is not the
    // front of a chain. The back buffer keeps its picture.
    virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
    // Attaches a z-buffer (DDSCAPS_ZBUFFER) of the same size, counted; DDERR_CANNOTATTACHSURFACE
    // for another surface, a second z-buffer or a primary.
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* attach) = 0;
    // The DirectDraw object that made the surface (an IDirectDraw7, counted); DDERR_INVALIDOBJECT
    // once that object is gone.
    virtual HRESULT GetDDInterface(LPVOID* out) = 0;

protected:
    ~IDirectDrawSurface7() = default;
};
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;

struct IDirectDraw7 : IUnknown {
    // Makes an off-screen surface in memory. desc needs DDSD_WIDTH and DDSD_HEIGHT (1 to 16384);
    // with DDSD_PIXELFORMAT an RGB format of 16, 24 or 32 bits (DDERR_INVALIDPIXELFORMAT
    // otherwise), else X8R8G8B8. With DDSD_CKSRCBLT the source key is set. outer must be null.
    //
    // The primary (DDSCAPS_PRIMARYSURFACE) spans the display and owns no pixels: what is drawn into
    // it lands in the windows it meets. With DDSCAPS_FLIP | DDSCAPS_COMPLEX and 1 or 2 back buffers
    // (exclusive level only, else DDERR_NOEXCLUSIVEMODE) it is the front of a flip chain. Surfaces
    // without a pixel format take the display's; caps say video memory unless system memory was
    // asked. DDERR_UNSUPPORTED while the test switch fails surfaces.
    virtual HRESULT CreateSurface(LPDDSURFACEDESC2 desc, IDirectDrawSurface7** surface, IUnknown* outer) = 0;
    // Binds an object made by CoCreateInstance to a driver (null: the default one; also
    // DDCREATE_EMULATIONONLY). DDERR_ALREADYINITIALIZED the second time; DDERR_INVALIDPARAMS for an
    // unknown driver.
    virtual HRESULT Initialize(GUID* guid) = 0;
    // The driver's caps (hardware) and the emulation caps; either may be null.
    virtual HRESULT GetCaps(LPDDCAPS hardware, LPDDCAPS emulation) = 0;
    virtual HRESULT GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2 identifier, DWORD flags) = 0;
    // Calls back for each offered mode that matches desc's given width/height (null: all).
    virtual HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                                     LPDDENUMMODESCALLBACK2 callback) = 0;
    // DDSCL_NORMAL, or DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN with a window: exclusive for one object
    // at a time (DDERR_EXCLUSIVEMODEALREADYSET), DDERR_INVALIDPARAMS for other mixes.
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    // Sets a virtual mode (no real mode change): DDERR_NOEXCLUSIVEMODE without the exclusive
    // level, DDERR_INVALIDMODE for one not offered. The display reports it until
    // RestoreDisplayMode (also at release).
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) = 0;
    virtual HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) = 0;
    // Waits to the next refresh tick (at once on the headless host).
    virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
    // FALSE always.
    virtual HRESULT GetVerticalBlankStatus(BOOL* inBlank) = 0;
    // DD_OK: GDI draws into the same window stores.
    virtual HRESULT FlipToGDISurface() = 0;

protected:
    ~IDirectDraw7() = default;
};
using LPDIRECTDRAW7 = IDirectDraw7*;

// Makes the DirectDraw object of a driver (null: the default one) initialised (iid must be
// IID_IDirectDraw7, outer null).
HRESULT WINAPI DirectDrawCreateEx(GUID* guid, LPVOID* out, REFIID iid, IUnknown* outer);
// The primary display driver (null GUID and monitor), then one per display when there are two or
// more. Also the entry points of the built-in "ddraw.dll".
HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags);
HRESULT WINAPI DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer);
