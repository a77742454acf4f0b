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

protected:
    ~IDirect3D7() = default;
};
using LPDIRECT3D7 = IDirect3D7*;
