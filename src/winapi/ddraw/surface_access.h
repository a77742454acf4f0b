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

// The channel of `bits` bits at `shift` in a pixel, widened to 8 bits by repeating its top bits.
inline int WidenChannel(DWORD pixel, int shift, int bits)
{
    const DWORD c = bits >= 32 ? pixel >> shift : (pixel >> shift) & ((1u << bits) - 1);
    if (bits >= 8)
        return static_cast<int>(c >> (bits - 8));
    const int rest = 2 * bits - 8;
    return static_cast<int>((c << (8 - bits)) | (rest > 0 ? c >> rest : c >> 0)) & 0xFF;
}

} // namespace winapi::ddraw
