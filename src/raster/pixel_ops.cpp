#include "raster/pixel_ops.h"

#include "platform/cpu_info.h"
#include "raster/kernels8.h"
#include "raster/row_kernels.h"
#include "winapi/kernel.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Null checks and the clip: 0 with the rectangle to work on, or the operation's result code.
int WorkArea(const BYTE* pixels, const RECT* bounds, RECT* clip, RECT& area)
{
    if (!pixels || !bounds) {
        return 1;
    }
    if (clip) {
        clip->left = std::max(clip->left, bounds->left);
        clip->top = std::max(clip->top, bounds->top);
        clip->right = std::min(clip->right, bounds->right);
        clip->bottom = std::min(clip->bottom, bounds->bottom);
        if (clip->left >= clip->right || clip->top >= clip->bottom) {
            return -1;
        }
        area = *clip;
    } else {
        area = *bounds;
    }
    return 0;
}

void XorRows16(BYTE* first, LONG pitch, int width, int height, uint16_t mask)
{
    for (int y = 0; y < height; ++y) {
        BYTE* p = first + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x, p += 2) {
            p[0] ^= static_cast<BYTE>(mask);
            p[1] ^= static_cast<BYTE>(mask >> 8);
        }
    }
}

}  // namespace

int InvertPixels(uint8_t mode, uint32_t format, BYTE* pixels, LONG pitch, const RECT* bounds, RECT* clip)
{
    if (!pixels || !bounds) {
        return 1;
    }
    if (format < 33 && mode != 0) {
        return 1;  // formats without alpha take only mode 0
    }
    RECT area;
    const int result = WorkArea(pixels, bounds, clip, area);
    if (result != 0) {
        return result;
    }
    const int bytes = PixelFormatBytes(format);
    if (bytes == 0) {
        return 2;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return 0;
    }
    BYTE* first = pixels + static_cast<ptrdiff_t>(area.top) * pitch + static_cast<ptrdiff_t>(area.left) * bytes;
    switch (format) {
    case kPixelR8G8B8:
        for (int y = 0; y < height; ++y) {
            BYTE* p = first + static_cast<ptrdiff_t>(y) * pitch;
            for (int i = 0; i < width * 3; ++i) {
                p[i] = static_cast<BYTE>(~p[i]);
            }
        }
        break;
    case kPixelX8R8G8B8:
    case kPixelA8R8G8B8:
        (g_bUseMmx ? InvertRows32Mmx : InvertRows32)(first, pitch - width * 4, width, height, mode);
        break;
    case kPixelX1R5G5B5:
        XorRows16(first, pitch, width, height, 0x7FFF);
        break;
    case kPixelR5G6B5:
        XorRows16(first, pitch, width, height, 0xFFFF);
        break;
    case kPixelA1R5G5B5:
        XorRows16(first, pitch, width, height, mode == 1 ? 0xFFFF : mode == 2 ? 0x8000 : 0x7FFF);
        break;
    case kPixelA4R4G4B4:
        XorRows16(first, pitch, width, height, mode == 1 ? 0xFFFF : mode == 2 ? 0xF000 : 0x0FFF);
        break;
    }
    return 0;
}

int MosaicPixels(uint32_t format, BYTE* pixels, LONG pitch, const RECT* bounds, RECT* clip, int n, BYTE anchor)
{
    RECT area;
    const int result = WorkArea(pixels, bounds, clip, area);
    if (result != 0) {
        return result;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width < 3 || height < 3 || n < 2) {
        return 0;
    }
    const int bytes = PixelFormatBytes(format);
    if (bytes == 0) {
        return 2;
    }
    BYTE* first = pixels + static_cast<ptrdiff_t>(area.top) * pitch + static_cast<ptrdiff_t>(area.left) * bytes;
    MosaicRows(first, pitch, width, height, bytes, n, anchor);
    return 0;
}

void WriteAlphaPlaneToTexture16(uint32_t format, BYTE* texture, LONG x, LONG y, LONG width, LONG height,
                                LONG texturePitch, const BYTE* plane, LONG planeX, LONG planeY, LONG planePitch)
{
    if (!texture || !plane || width <= 0 || height <= 0) {
        return;
    }
    for (LONG row = 0; row < height; ++row) {
        const BYTE* b = plane + static_cast<ptrdiff_t>(planeY + row) * planePitch + planeX;
        BYTE* t = texture + static_cast<ptrdiff_t>(y + row) * texturePitch;
        for (LONG col = 0; col < width; ++col) {
            const BYTE v = b[col];
            if (format == kPixelA1R5G5B5 || format == kPixelA4R4G4B4) {
                BYTE* p = t + static_cast<ptrdiff_t>(x + col) * 2;
                uint16_t tv = static_cast<uint16_t>(p[0] | p[1] << 8);
                tv = format == kPixelA1R5G5B5 ? static_cast<uint16_t>(((v & 0x80) << 8) | (tv & 0x7FFF))
                                              : static_cast<uint16_t>(((v & 0xF0) << 8) | (tv & 0x0FFF));
                p[0] = static_cast<BYTE>(tv);
                p[1] = static_cast<BYTE>(tv >> 8);
            } else if (format == kPixelA8R8G8B8) {
                t[static_cast<ptrdiff_t>(x + col) * 4 + 3] = v;
            } else {
                return;  // other formats have no alpha to write
            }
        }
    }
}

void ReduceToBytePlane(BYTE* pixels, LONG pitch, LONG width, LONG height)
{
    if (!pixels || width <= 0 || height <= 0) {
        return;
    }
    auto t = [](uint32_t v) {
        const uint32_t s = v + (v >> 16);
        return (s + (s >> 8)) & 255;
    };
    for (LONG k = 0; k < height; ++k) {
        BYTE* out = pixels + static_cast<ptrdiff_t>(k) * pitch;
        for (LONG x = 0; x < width; ++x) {
            uint32_t sum = 0;
            for (int r = 0; r < 4; ++r) {
                uint32_t v;
                std::memcpy(&v, pixels + static_cast<ptrdiff_t>(4 * k + r) * pitch + static_cast<ptrdiff_t>(x) * 4, 4);
                sum += t(v);
            }
            // Output bytes go in front of the 4x4 source words they come from, so a byte never
            // lands on a word that is still to be read.
            const uint32_t o = sum & 255;
            out[x] = static_cast<BYTE>(o | ((o >> 3) & 7));
        }
    }
}

void BuildNoiseTable()
{
    if (g_pNoiseTable) {
        return;
    }
    g_pNoiseTable = new (std::nothrow) uint8_t[256];
    if (!g_pNoiseTable) {
        return;
    }
    SeedSubtractiveRandom(g_RandomState, 0);
    for (int i = 0; i < 256; ++i) {
        g_pNoiseTable[i] = static_cast<uint8_t>(DrawSubtractiveRandom(g_RandomState));
    }
    SeedSubtractiveRandom(g_RandomState, static_cast<int32_t>(timeGetTime()));
}
