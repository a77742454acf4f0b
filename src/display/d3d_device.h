// CD3DDevice: the general Direct3D 7 device of the display device, rendering into the back buffer,
// with a cache of the render states and stage-0 states the scene objects set on every draw. Each
// cached setter calls Direct3D only when the value changes; after a device loss ReapplyStates
// pushes every known value to the new device. The screen is one and publishes itself as
// g_pRenderDevice.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "display/display_device.h"
#include "winapi/d3d.h"

class CDeviceImage;

class CD3DDevice : public CDisplayDevice {
public:
    // The cached 8-bit states, in the order ReapplyStates pushes them.
    enum CachedState : int {
        kCullMode,
        kShadeMode,
        kColorKeyEnable,
        kAlphaBlendEnable,
        kSrcBlend,
        kDestBlend,
        kAlphaTestEnable,
        kColorOp,
        kColorArg1,
        kColorArg2,
        kAlphaOp,
        kAlphaArg1,
        kAlphaArg2,
        kAlphaFunc,
        kCachedStateCount
    };
    static constexpr uint8_t kUnknown = 255;

    CD3DDevice();
    // The device released, then the display device destroyed.
    ~CD3DDevice() override;

    // 0 ok; 1 no DirectDraw or no target; 2 IDirect3D7 not available; 3 the device cannot be
    // created; 4 GetCaps failed; 5 SetViewport failed; -1 the device exists but the z-buffer
    // could not be made.
    int CreateDevice(IDirectDrawSurface7* target, const RECT* output, bool zBuffer);
    // Unbinds the current texture, releases z-buffer, device and IDirect3D7, frees the texture
    // formats. The caches stay for ReapplyStates.
    void ReleaseDevice();
    // 0 ok (also when the device needs none); 1 no IDirect3D7 or no target; 2 no z-buffer format
    // of that depth; 3 the target's DirectDraw object unavailable; 4 the surface cannot be made;
    // 5 it cannot be attached.
    int CreateZBuffer(IDirectDrawSurface7* target, DWORD bits);
    // The first texture format of a pixel-format code 4..256; null for other codes or none.
    const DDPIXELFORMAT* GetTextureFormat(uint32_t code) const;

    // The cached setters: 0 set or unchanged; 1 no device; 2 the Direct3D call failed (the cache
    // keeps its old value). The 8-bit ones take the low byte of their argument.
    int SetCullMode(DWORD value) { return SetCached(kCullMode, value); }
    int SetShadeMode(DWORD value) { return SetCached(kShadeMode, value); }
    int SetColorKeyEnable(DWORD value) { return SetCached(kColorKeyEnable, value); }
    int SetAlphaBlendEnable(DWORD value) { return SetCached(kAlphaBlendEnable, value); }
    int SetSrcBlend(DWORD value) { return SetCached(kSrcBlend, value); }
    int SetDestBlend(DWORD value) { return SetCached(kDestBlend, value); }
    int SetAlphaTestEnable(DWORD value) { return SetCached(kAlphaTestEnable, value); }
    int SetColorOp(DWORD value) { return SetCached(kColorOp, value); }
    int SetColorArg1(DWORD value) { return SetCached(kColorArg1, value); }
    int SetColorArg2(DWORD value) { return SetCached(kColorArg2, value); }
    int SetAlphaOp(DWORD value) { return SetCached(kAlphaOp, value); }
    int SetAlphaArg1(DWORD value) { return SetCached(kAlphaArg1, value); }
    int SetAlphaArg2(DWORD value) { return SetCached(kAlphaArg2, value); }
    int SetAlphaFunc(DWORD value) { return SetCached(kAlphaFunc, value); }
    int SetTextureFactor(DWORD value);
    int SetAlphaRef(DWORD value);
    // Binds the image's surface to stage 0 (null unbinds): 0; 1 no device, or the image has no
    // surface; 2 SetTexture failed. The image already bound is not bound again.
    int SetTexture(CDeviceImage* image);
    // An image going away: unbound when it is the current texture, so nothing binds it later.
    void ForgetTexture(CDeviceImage* image);
    // Pushes every known cached value and the texture again: 0 or the last failure code.
    int ReapplyStates();

    IDirect3DDevice7* GetD3DDevice() const { return m_d3dDevice; }
    IDirect3D7* GetDirect3D() const { return m_direct3D; }
    CDeviceImage* GetCurrentTexture() const { return m_currentTexture; }
    uint8_t GetCachedState(CachedState state) const { return m_cache[state]; }
    bool DrawsTransformedVertices() const { return m_tlVertex; }
    bool HasAlphaGouraudBlend() const { return m_alphaGouraud; }
    bool IsAlphaTestUsable() const { return m_alphaTestUsable; }
    bool NeedsNoZBuffer() const { return m_noZBufferNeeded; }
    WORD GetTextureBlendStages() const { return m_blendStages; }
    DWORD GetTextureCaps() const { return m_textureCaps; }
    DWORD GetTextureOpCaps() const { return m_textureOpCaps; }
    DWORD GetSrcBlendCaps() const { return m_srcBlendCaps; }
    DWORD GetDestBlendCaps() const { return m_destBlendCaps; }
    DWORD GetMinTextureWidth() const { return m_minTextureWidth; }
    DWORD GetMinTextureHeight() const { return m_minTextureHeight; }
    DWORD GetMaxTextureWidth() const { return m_maxTextureWidth; }
    DWORD GetMaxTextureHeight() const { return m_maxTextureHeight; }
    uint32_t GetTextureFormatMask() const { return m_textureFormatMask; }
    uint8_t GetZBufferDepth() const { return m_zBufferDepth; }

private:
    int SetCached(CachedState state, DWORD value);
    static HRESULT CALLBACK CollectTextureFormat(LPDDPIXELFORMAT format, LPVOID context);

    IDirect3D7* m_direct3D = nullptr;
    IDirect3DDevice7* m_d3dDevice = nullptr;
    IDirectDrawSurface7* m_zBuffer = nullptr;
    std::array<std::unique_ptr<DDPIXELFORMAT>, 7> m_textureFormats;
    bool m_tlVertex = false;
    bool m_alphaGouraud = false;
    bool m_alphaTestUsable = false;
    bool m_noZBufferNeeded = false;
    WORD m_blendStages = 0;
    DWORD m_textureCaps = 0;
    DWORD m_textureOpCaps = 0;
    DWORD m_srcBlendCaps = 0;
    DWORD m_destBlendCaps = 0;
    DWORD m_minTextureWidth = 0;
    DWORD m_minTextureHeight = 0;
    DWORD m_maxTextureWidth = 0;
    DWORD m_maxTextureHeight = 0;
    uint32_t m_textureFormatMask = 0;
    uint8_t m_zBufferDepth = 0;
    std::array<uint8_t, kCachedStateCount> m_cache;
    uint8_t m_alphaRef = 0;  // 0: the device's default
    CDeviceImage* m_currentTexture = nullptr;
    DWORD m_textureFactor = 0xFFFFFFFF;
};

// The screen as the render context of the scene objects; null while there is none.
extern CD3DDevice* g_pRenderDevice;
