// RGB pixels of a DirectDraw surface format read and written by its masks, for the software
// Direct3D device. Internal to winapi.
#pragma once

#include <bit>
#include <cstring>

#include "winapi/ddraw.h"
#include "winapi/ddraw/surface_access.h"

namespace winapi::ddraw {

struct PixelFormat {
    int bytes = 4;
    DWORD mask[3]{};
    int shift[3]{};
    int bits[3]{};

    DWORD alphaMask = 0;   // with DDPF_ALPHAPIXELS
    int alphaShift = 0;
    int alphaBits = 0;

    explicit PixelFormat(const DDPIXELFORMAT& pf)
    {
        bytes = static_cast<int>(pf.dwRGBBitCount / 8);
        if (pf.dwFlags & DDPF_ALPHAPIXELS) {
            alphaMask = pf.dwRGBAlphaBitMask;
            alphaShift = alphaMask ? std::countr_zero(alphaMask) : 0;
            alphaBits = std::popcount(alphaMask);
            if (alphaBits == 0)
                alphaMask = 0;
        }
        const DWORD masks[3] = {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
        for (int i = 0; i < 3; ++i) {
            mask[i] = masks[i];
            shift[i] = masks[i] ? std::countr_zero(masks[i]) : 0;
            bits[i] = std::popcount(masks[i]);
        }
    }
    // Whether the device draws into and samples from this format (2 to 4 bytes, channels of 1 to 8 bits).
    bool Usable() const
    {
        return (bytes == 2 || bytes == 3 || bytes == 4) && bits[0] > 0 && bits[1] > 0 && bits[2] > 0 &&
               bits[0] <= 8 && bits[1] <= 8 && bits[2] <= 8;
    }
    // Four bytes with red, green and blue at bits 16, 8 and 0.
    bool IsX888() const { return bytes == 4 && mask[0] == 0xFF0000 && mask[1] == 0xFF00 && mask[2] == 0xFF; }
    bool SameAs(const PixelFormat& other) const
    {
        return bytes == other.bytes && std::memcmp(mask, other.mask, sizeof mask) == 0;
    }
    DWORD Read(const BYTE* p) const
    {
        DWORD v = 0;
        Copy(&v, p);
        return v;
    }
    // Channel i of a pixel, widened to 8 bits by repeating its top bits.
    int Channel(DWORD v, int i) const { return WidenChannel(v, shift[i], bits[i]); }
    // The pixel's alpha widened to 8 bits; 255 without alpha bits.
    int Alpha(DWORD v) const { return alphaBits ? WidenChannel(v, alphaShift, alphaBits) : 255; }
    // The pixel's colour bits (alpha left out).
    DWORD ColourBits(DWORD v) const { return v & (mask[0] | mask[1] | mask[2]); }
    // The pixel as x888 (red at bit 16) of its widened channels.
    uint32_t X888(DWORD v) const
    {
        return static_cast<uint32_t>(Channel(v, 0) << 16 | Channel(v, 1) << 8 | Channel(v, 2));
    }
    void Write(BYTE* p, int r, int g, int b) const
    {
        const int c[3] = {r, g, b};
        DWORD v = 0;
        for (int i = 0; i < 3; ++i)
            v |= (static_cast<DWORD>(c[i] >> (8 - bits[i])) << shift[i]) & mask[i];
        Copy(p, &v);
    }

private:
    // One pixel's bytes, by sizes known to the compiler (a copy of a variable size is a call).
    void Copy(void* to, const void* from) const
    {
        if (bytes == 4)
            std::memcpy(to, from, 4);
        else if (bytes == 2)
            std::memcpy(to, from, 2);
        else if (bytes == 3)
            std::memcpy(to, from, 3);
        else
            std::memcpy(to, from, static_cast<size_t>(bytes));
    }
};

} // namespace winapi::ddraw
