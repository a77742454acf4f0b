// Test switches of the stand-in's DirectDraw: injected failures and losses, caps, and the modes
// the headless host may offer. Reset puts everything back to the normal machine.
#pragma once

#include <string>
#include <vector>

#include "winapi/ddraw.h"

namespace winapi::ddraw_testing {

struct Switches {
    int loseAtCall = 0;            // every surface lost at this DirectDraw/Direct3D call (counted from 1)
    bool failCreateSurface = false;
    bool fail3DDeviceSurfaces = false;     // CreateSurface refuses DDSCAPS_3DDEVICE (render targets)
    bool failLock = false;
    bool failGetDC = false;
    bool failRestore = false;
    bool failClipper = false;
    bool failCooperativeLevel = false;
    bool failDisplayMode = false;
    bool failCreateDevice = false;
    bool displayModeAtNormalLevel = false;  // SetDisplayMode allowed without the exclusive level
    bool noHardware = false;                // DDCAPS_NOHARDWARE, no hardware 3D
    bool offer24Bits = false;               // 24-bit modes besides 16 and 32
    DWORD maxTextureSide = 4096;
    bool noQuadRows = false;                // axis-aligned quads drawn as two triangles, pixel by pixel
    bool noFastSpans = false;               // every pixel through the general span loop
    bool needsZBuffer = false;              // devices leave out D3DPRASTERCAPS_ZBUFFERLESSHSR
    DWORD minTextureSide = 1;
    DWORD textureCaps = 0;                  // D3DPTEXTURECAPS_ flags the devices add (POW2, SQUAREONLY, ...)
    std::vector<DDPIXELFORMAT> textureFormats;  // the devices' texture formats (empty: the seven usual)
    std::string failMethod;                 // this method's call number failMethodCall answers DDERR_GENERIC
    int failMethodCall = 0;
};

// The switches in force (tests set them on one thread before the calls they affect).
Switches& Current();
// Back to the normal machine; the call counter starts again.
void Reset();
// Loses every video-memory surface now (as a mode change does).
void LoseAllSurfaces();
// The DirectDraw/Direct3D calls counted since Reset; they are counted while loseAtCall is set
// (a loseAtCall past every call counts without losing).
int CallsCounted();
// The axis-aligned quads the Direct3D device drew by rows since Reset.
int QuadsByRows();
// Calls of a method by name ("SetRenderState", "DrawPrimitive", "CreateSurface", ...) since Reset.
int MethodCalls(const std::string& method);
// SetRenderState calls of a state, and SetTextureStageState calls of a stage state, since Reset.
int RenderStateCalls(DWORD state);
int StageStateCalls(DWORD state);
// Texture formats as the devices offer them, for tests to name one.
DDPIXELFORMAT TextureFormat(DWORD bits, DWORD alpha, DWORD red, DWORD green, DWORD blue);

} // namespace winapi::ddraw_testing
