// Direct3D 7 of the Windows stand-in: the IDirect3D7 interface of a DirectDraw object, its device
// enumeration (a hardware device and a software RGB one) and the software device that draws.
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

using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT(CALLBACK*)(LPDDPIXELFORMAT format, LPVOID context);

#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(730)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(731)

// Reached by QueryInterface of a DirectDraw object.
struct IDirect3D7 : IUnknown {
    // The hardware device ("Direct3D HAL") then the software one ("RGB Emulation"); the callback
    // stops the walk with DDENUMRET_CANCEL. DDERR_INVALIDPARAMS without a callback.
    virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) = 0;
    // CreateDirect3DDevice (below); DDERR_GENERIC while the test switch fails devices.
    virtual HRESULT CreateDevice(REFCLSID device, IDirectDrawSurface7* target, struct IDirect3DDevice7** out) = 0;
    // The z-buffer formats of a device (DDPF_ZBUFFER): 16 bits, 24 bits in 32, 32 bits; the
    // callback stops the walk with D3DENUMRET_CANCEL. DDERR_INVALIDPARAMS without a callback or
    // for an unknown device GUID.
    virtual HRESULT EnumZBufferFormats(REFCLSID device, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;

protected:
    ~IDirect3D7() = default;
};
using LPDIRECT3D7 = IDirect3D7*;

#define D3DENUMRET_CANCEL 0
#define D3DENUMRET_OK 1

// --- devices: points, lines and triangles of pre-transformed vertices (software) ---
enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};
#define D3DFVF_XYZRHW 0x004u
#define D3DFVF_DIFFUSE 0x040u
#define D3DFVF_TEX1 0x100u
#define D3DDP_WAIT 0x00000001u
#define D3DMAXNUMVERTICES 65535u

#define D3DRENDERSTATE_ANTIALIAS 2u
#define D3DRENDERSTATE_ZENABLE 7u
#define D3DRENDERSTATE_SHADEMODE 9u
#define D3DRENDERSTATE_ZWRITEENABLE 14u
#define D3DRENDERSTATE_ALPHATESTENABLE 15u
#define D3DRENDERSTATE_SRCBLEND 19u
#define D3DRENDERSTATE_DESTBLEND 20u
#define D3DRENDERSTATE_CULLMODE 22u
#define D3DRENDERSTATE_ZFUNC 23u
#define D3DRENDERSTATE_ALPHAREF 24u
#define D3DRENDERSTATE_ALPHAFUNC 25u
#define D3DRENDERSTATE_DITHERENABLE 26u
#define D3DRENDERSTATE_ALPHABLENDENABLE 27u
#define D3DRENDERSTATE_COLORKEYENABLE 41u
#define D3DRENDERSTATE_TEXTUREFACTOR 60u
#define D3DRENDERSTATE_LIGHTING 137u

#define D3DTSS_COLOROP 1u
#define D3DTSS_COLORARG1 2u
#define D3DTSS_COLORARG2 3u
#define D3DTSS_ALPHAOP 4u
#define D3DTSS_ALPHAARG1 5u
#define D3DTSS_ALPHAARG2 6u
#define D3DTSS_ADDRESS 12u
#define D3DTSS_ADDRESSU 13u
#define D3DTSS_ADDRESSV 14u
#define D3DTSS_MAGFILTER 16u
#define D3DTSS_MINFILTER 17u
#define D3DTSS_MIPFILTER 18u

#define D3DTFG_POINT 1u
#define D3DTFG_LINEAR 2u
#define D3DTFN_POINT 1u
#define D3DTFN_LINEAR 2u
#define D3DTFP_NONE 1u
#define D3DTADDRESS_WRAP 1u
#define D3DTADDRESS_CLAMP 3u

#define D3DCULL_NONE 1u
#define D3DCULL_CW 2u
#define D3DCULL_CCW 3u
#define D3DSHADE_FLAT 1u
#define D3DSHADE_GOURAUD 2u

// Stage operations (D3DTSS_COLOROP, D3DTSS_ALPHAOP).
#define D3DTOP_DISABLE 1u
#define D3DTOP_SELECTARG1 2u
#define D3DTOP_SELECTARG2 3u
#define D3DTOP_MODULATE 4u
#define D3DTOP_MODULATE2X 5u
#define D3DTOP_MODULATE4X 6u
#define D3DTOP_ADD 7u
#define D3DTOP_ADDSIGNED 8u
#define D3DTOP_ADDSIGNED2X 9u
#define D3DTOP_SUBTRACT 10u
#define D3DTOP_ADDSMOOTH 11u
#define D3DTOP_BLENDDIFFUSEALPHA 12u
#define D3DTOP_BLENDTEXTUREALPHA 13u
#define D3DTOP_BLENDFACTORALPHA 14u
#define D3DTOP_BLENDTEXTUREALPHAPM 15u
#define D3DTOP_BLENDCURRENTALPHA 16u

// Stage arguments and their modifiers.
#define D3DTA_SELECTMASK 0x0000000Fu
#define D3DTA_DIFFUSE 0x00000000u
#define D3DTA_CURRENT 0x00000001u
#define D3DTA_TEXTURE 0x00000002u
#define D3DTA_TFACTOR 0x00000003u
#define D3DTA_COMPLEMENT 0x00000010u
#define D3DTA_ALPHAREPLICATE 0x00000020u

#define D3DBLEND_ZERO 1u
#define D3DBLEND_ONE 2u
#define D3DBLEND_SRCCOLOR 3u
#define D3DBLEND_INVSRCCOLOR 4u
#define D3DBLEND_SRCALPHA 5u
#define D3DBLEND_INVSRCALPHA 6u
#define D3DBLEND_DESTALPHA 7u
#define D3DBLEND_INVDESTALPHA 8u
#define D3DBLEND_DESTCOLOR 9u
#define D3DBLEND_INVDESTCOLOR 10u
#define D3DBLEND_SRCALPHASAT 11u
#define D3DBLEND_BOTHSRCALPHA 12u
#define D3DBLEND_BOTHINVSRCALPHA 13u

#define D3DCMP_NEVER 1u
#define D3DCMP_LESS 2u
#define D3DCMP_EQUAL 3u
#define D3DCMP_LESSEQUAL 4u
#define D3DCMP_GREATER 5u
#define D3DCMP_NOTEQUAL 6u
#define D3DCMP_GREATEREQUAL 7u
#define D3DCMP_ALWAYS 8u

// Caps of the software device.
#define D3DDEVCAPS_DRAWPRIMTLVERTEX 0x00000400u
#define D3DPMISCCAPS_CULLNONE 0x00000010u
#define D3DPMISCCAPS_CULLCW 0x00000020u
#define D3DPMISCCAPS_CULLCCW 0x00000040u
#define D3DPRASTERCAPS_ZBUFFERLESSHSR 0x00008000u
#define D3DPSHADECAPS_COLORFLATRGB 0x00000008u
#define D3DPSHADECAPS_COLORGOURAUDRGB 0x00000200u
#define D3DPSHADECAPS_ALPHAFLATBLEND 0x00001000u
#define D3DPSHADECAPS_ALPHAGOURAUDBLEND 0x00004000u
#define D3DPTEXTURECAPS_ALPHA 0x00000004u
#define D3DPTEXTURECAPS_NONPOW2CONDITIONAL 0x00000100u
#define D3DPTFILTERCAPS_NEAREST 0x00000001u
#define D3DPTFILTERCAPS_LINEAR 0x00000002u
#define D3DPTFILTERCAPS_MINFPOINT 0x00000100u
#define D3DPTFILTERCAPS_MINFLINEAR 0x00000200u
#define D3DPTFILTERCAPS_MAGFPOINT 0x01000000u
#define D3DPTFILTERCAPS_MAGFLINEAR 0x02000000u
#define D3DPTADDRESSCAPS_CLAMP 0x00000004u
#define D3DPCMPCAPS_ALL 0x000000FFu     // NEVER .. ALWAYS
#define D3DPBLENDCAPS_ALL 0x00001FFFu   // ZERO .. BOTHINVSRCALPHA
#define D3DTEXOPCAPS_ALL 0x0000FFFFu    // DISABLE .. BLENDCURRENTALPHA
#define D3DFVFCAPS_TEXCOORDCOUNTMASK 0x0000FFFFu

struct D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    float dvMinZ;
    float dvMaxZ;
};
using LPD3DVIEWPORT7 = D3DVIEWPORT7*;

// A device drawing into a 3D-capable surface (555, 565, 888 or x888). Every method answers DD_OK
// or a DDERR_ code; the test switches can fail the n-th call of each method (DDERR_GENERIC).
//
// The drawing rules (every value a channel of 0..255; "x*y/255" is rounded to nearest):
// - Vertices are D3DFVF_XYZRHW with D3DFVF_DIFFUSE (a 0xAARRGGBB colour; white without it) and
//   D3DFVF_TEX1 (u, v; a texture needs them): formats 0x44, 0x104 and 0x144. z and rhw are
//   ignored (no depth test: z is 0), coordinates are affine.
// - A primitive with a NaN or infinite coordinate is dropped; everything is clipped to the target
//   before any pixel is visited.
// - A point fills pixel (floor(x + 0.5), floor(y + 0.5)). A line is one pixel wide: along its
//   major axis (x when |dx| >= |dy|) every column from the rounded first end to the rounded last
//   one, both drawn, at the rounded minor coordinate. A triangle owns the pixels whose centres
//   (integers) lie inside it or on a top or left edge, so shared edges are drawn once.
// - Culling by the winding on screen (y down): D3DCULL_CW drops clockwise triangles, D3DCULL_CCW
//   (the default) counter-clockwise ones; the odd triangles of a strip count reversed.
// - Flat shading takes the leading vertex's colour (a list's or strip's first vertex of the
//   triangle, a fan's second, a line's first); Gouraud interpolates the colour, rounding.
// - Sampling is clamped: point = texel floor(u * width); bilinear = the four texels around
//   u * width - 0.5, weighted, rounded. MINFILTER rules where the primitive covers fewer pixels
//   than texels, MAGFILTER elsewhere. With COLORKEYENABLE a texel whose colour bits (alpha bits
//   left out) lie in the texture's source key reads as 0 in all four channels before filtering;
//   a pixel whose every weighted texel is keyed is not drawn. A texture without alpha bits reads
//   alpha 255.
// - Stage 0 works operations 1-16 on colour and alpha with DIFFUSE, CURRENT (the diffuse colour),
//   TEXTURE, TFACTOR, COMPLEMENT (255 - x) and ALPHAREPLICATE; results are clamped. Without a
//   texture, or with DISABLE, the diffuse colour passes.
// - The alpha test compares the pixel's alpha with ALPHAREF's low byte and drops it when false.
// - Blending: (source * SRCBLEND + destination * DESTBLEND) / 255, rounded and clamped, the
//   destination's alpha read as 255; without blending the pixel is written as it is.
// - Writes truncate channels to the target's bits.
struct IDirect3DDevice7 : IUnknown {
    virtual HRESULT GetCaps(LPD3DDEVICEDESC7 desc) = 0;
    // The texture formats (555, 565, 1555, 4444, 888, x888, 8888, or the test switch's list); the
    // callback stops the walk with D3DENUMRET_CANCEL. DDERR_INVALIDPARAMS without a callback.
    virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
    // The target area drawn into (all of it at first); DDERR_INVALIDPARAMS for one leaving the target.
    virtual HRESULT SetViewport(LPD3DVIEWPORT7 viewport) = 0;
    // Stage 0 only (DDERR_INVALIDPARAMS for others); null removes the texture.
    virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;
    // Any state and value are taken; a value the device does not know works as the default.
    virtual HRESULT SetRenderState(DWORD state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, DWORD state, DWORD value) = 0;
    // D3DERR_SCENE_IN_SCENE inside a scene; EndScene D3DERR_SCENE_NOT_IN_SCENE outside one.
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Types 1-6 of 0 to 65535 vertices by the rules above. DDERR_INVALIDPARAMS for another type,
    // vertex format or count, no vertices, or a texture without D3DFVF_TEX1 vertices;
    // DDERR_SURFACELOST when the target or the texture is lost.
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD count, DWORD flags) = 0;

protected:
    ~IDirect3DDevice7() = default;
};
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;

// Makes a device of `device` (the HAL or RGB GUID) on a surface made with DDSCAPS_3DDEVICE:
// DDERR_INVALIDPARAMS for another surface or GUID (the HAL one also without hardware).
HRESULT CreateDirect3DDevice(REFCLSID device, IDirectDrawSurface7* target, IDirect3DDevice7** out);
