// Direct3D 7 of the Windows stand-in, the part that is reached today: the IDirect3D7 interface of
// a DirectDraw object and its device enumeration (a hardware device and a software RGB one).
#pragma once

#include "winapi/ddraw.h"

extern const IID IID_IDirect3D7;
extern const IID IID_IDirect3DRGBDevice;
extern const IID IID_IDirect3DHALDevice;
extern const IID IID_IDirect3DMMXDevice;
extern const IID IID_IDirect3DTnLHalDevice;

#define D3DDEVCAPS_HWRASTERIZATION 0x00080000u
#define D3DDEVCAPS_HWTRANSFORMANDLIGHT 0x00010000u
#define D3DPTEXTURECAPS_POW2 0x00000002u
#define D3DPTEXTURECAPS_SQUAREONLY 0x00000020u

struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps;
    DWORD dwRasterCaps;
    DWORD dwZCmpCaps;
    DWORD dwSrcBlendCaps;
    DWORD dwDestBlendCaps;
    DWORD dwAlphaCmpCaps;
    DWORD dwShadeCaps;
    DWORD dwTextureCaps;
    DWORD dwTextureFilterCaps;
    DWORD dwTextureBlendCaps;
    DWORD dwTextureAddressCaps;
    DWORD dwStippleWidth;
    DWORD dwStippleHeight;
};

// What the engine reads of a device: caps, render and z depths (DDBD_ flags), texture limits.
struct D3DDEVICEDESC7 {
    DWORD dwDevCaps;
    D3DPRIMCAPS dpcLineCaps;
    D3DPRIMCAPS dpcTriCaps;
    DWORD dwDeviceRenderBitDepth;
    DWORD dwDeviceZBufferBitDepth;
    DWORD dwMinTextureWidth;
    DWORD dwMinTextureHeight;
    DWORD dwMaxTextureWidth;
    DWORD dwMaxTextureHeight;
    DWORD dwMaxTextureRepeat;
    DWORD dwMaxTextureAspectRatio;
    DWORD dwMaxAnisotropy;
    float dvGuardBandLeft;
    float dvGuardBandTop;
    float dvGuardBandRight;
    float dvGuardBandBottom;
    float dvExtentsAdjust;
    DWORD dwStencilCaps;
    DWORD dwFVFCaps;
    DWORD dwTextureOpCaps;
    WORD wMaxTextureBlendStages;
    WORD wMaxSimultaneousTextures;
    DWORD dwMaxActiveLights;
    float dvMaxVertexW;
    GUID deviceGUID;
    WORD wMaxUserClipPlanes;
    WORD wMaxVertexBlendMatrices;
    DWORD dwVertexProcessingCaps;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwReserved3;
    DWORD dwReserved4;
};
using LPD3DDEVICEDESC7 = D3DDEVICEDESC7*;

using LPD3DENUMDEVICESCALLBACK7 = HRESULT(CALLBACK*)(LPSTR description, LPSTR name, LPD3DDEVICEDESC7 desc,
                                                    LPVOID context);

// Reached by QueryInterface of a DirectDraw object.
struct IDirect3D7 : IUnknown {
    // The hardware device ("Direct3D HAL") then the software one ("RGB Emulation"); the callback
    // stops the walk with DDENUMRET_CANCEL. DDERR_INVALIDPARAMS without a callback.
    virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) = 0;
    // CreateDirect3DDevice (below); DDERR_GENERIC while the test switch fails devices.
    virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, struct IDirect3DDevice7** out) = 0;

protected:
    ~IDirect3D7() = default;
};
using LPDIRECT3D7 = IDirect3D7*;

// --- devices: textured triangles of pre-transformed vertices (software) ---
enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
};
#define D3DFVF_XYZRHW 0x004u
#define D3DFVF_TEX1 0x100u
#define D3DDP_WAIT 0x00000001u

#define D3DRENDERSTATE_ZENABLE 7u
#define D3DRENDERSTATE_ALPHATESTENABLE 15u
#define D3DRENDERSTATE_CULLMODE 22u
#define D3DRENDERSTATE_ALPHABLENDENABLE 27u
#define D3DRENDERSTATE_LIGHTING 137u
#define D3DTSS_ADDRESS 12u
#define D3DTSS_MAGFILTER 16u
#define D3DTSS_MINFILTER 17u
#define D3DTSS_MIPFILTER 18u
#define D3DTFG_POINT 1u
#define D3DTFG_LINEAR 2u
#define D3DTFN_POINT 1u
#define D3DTFN_LINEAR 2u
#define D3DTADDRESS_CLAMP 3u
#define D3DCULL_NONE 1u

// A device drawing into a 3D-capable surface (15, 16, 24 or 32-bit RGB). Every method answers
// DD_OK or a DDERR_ code.
struct IDirect3DDevice7 : IUnknown {
    virtual HRESULT GetCaps(LPD3DDEVICEDESC7 desc) = 0;
    // Stage 0 only (DDERR_INVALIDPARAMS for others); null removes the texture.
    virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;
    virtual HRESULT SetRenderState(DWORD state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Triangle lists and strips of D3DFVF_XYZRHW | D3DFVF_TEX1 vertices (x, y, z, rhw, u, v),
    // opaque, textured, affine, pixel centres at integers, top-left fill, clamped coordinates;
    // point (floor of u * size) or bilinear sampling by the stage's MAGFILTER. DDERR_UNSUPPORTED
    // with blending or alpha test on, another vertex format, or no texture;
    // DDERR_SURFACELOST when the target or the texture is lost.
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD flags) = 0;

protected:
    ~IDirect3DDevice7() = default;
};
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;

// Makes a device of `device` (the HAL or RGB GUID) on a surface made with DDSCAPS_3DDEVICE:
// DDERR_INVALIDPARAMS for another surface or GUID (the HAL one also without hardware).
HRESULT CreateDirect3DDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out);
