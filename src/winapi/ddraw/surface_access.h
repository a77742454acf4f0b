// The memory behind a stand-in DirectDraw surface, for the Direct3D device that draws into it and
// samples from it. Internal to winapi.
#pragma once

#include "winapi/ddraw.h"

namespace winapi::ddraw {

struct SurfaceMemory {
    BYTE* pixels = nullptr;
    LONG pitch = 0;
    LONG width = 0;
    LONG height = 0;
    DDPIXELFORMAT format{};
    DWORD caps = 0;
    bool lost = false;
};

// False for a surface without pixels of its own (the primary) or a null one.
bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory* out);

} // namespace winapi::ddraw
