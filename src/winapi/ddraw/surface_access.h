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
    bool hasKey = false;   // a source colour key
    DDCOLORKEY key{};
};

// False for a surface without pixels of its own (the primary) or a null one.
bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory* out);

// The channel of `bits` bits at `shift` in a pixel, widened to 8 bits by repeating its top bits.
inline int WidenChannel(DWORD pixel, int shift, int bits)
{
    const DWORD c = bits >= 32 ? pixel >> shift : (pixel >> shift) & ((1u << bits) - 1);
    if (bits >= 8)
        return static_cast<int>(c >> (bits - 8));
    if (bits < 4) {
        // One to three bits repeat more than twice (a 1-bit alpha of 1 is 255).
        DWORD v = 0;
        for (int s = 8 - bits; s > -bits; s -= bits)
            v |= s >= 0 ? c << s : c >> -s;
        return static_cast<int>(v & 0xFF);
    }
    const int rest = 2 * bits - 8;
    return static_cast<int>((c << (8 - bits)) | (rest > 0 ? c >> rest : c >> 0)) & 0xFF;
}

} // namespace winapi::ddraw
