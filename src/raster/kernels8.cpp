#include "raster/kernels8.h"

#include "raster/row_kernel_loops.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

using namespace raster_detail;

namespace {

struct Copy8 {
    void operator()(BYTE* d, const BYTE* s) const { *d = *s; }
};
struct CopyKey8 {
    BYTE key;
    void operator()(BYTE* d, const BYTE* s) const
    {
        if (*s != key) {
            *d = *s;
        }
    }
};

}  // namespace

void CopyRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int direction, int width, int height)
{
    if (direction >= 0) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(dst, src, static_cast<size_t>(width));
            dst += width + dstSkip;
            src += width + srcSkip;
        }
        return;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            *dst++ = *src--;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

void CopyRowsKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int direction, int width, int height,
                    BYTE key)
{
    const int step = direction < 0 ? -1 : 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (*src != key) {
                *dst = *src;
            }
            ++dst;
            src += step;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

void ScaledCopyRows8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                     const StretchState& step)
{
    WalkRowsScaled<1, 1>(dst, src, dstSkip, srcPitch, width, height, step, Copy8{});
}

void ScaledCopyRowsKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                          const StretchState& step, BYTE key)
{
    WalkRowsScaled<1, 1>(dst, src, dstSkip, srcPitch, width, height, step, CopyKey8{key});
}

void ScaledCopyRowsMirror8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step)
{
    WalkRowsMirrorScaled<1, 1>(dst, src, dstSkip, srcPitch, width, height, step, Copy8{});
}

void ScaledCopyRowsMirrorKeyed8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                const StretchState& step, BYTE key)
{
    WalkRowsMirrorScaled<1, 1>(dst, src, dstSkip, srcPitch, width, height, step, CopyKey8{key});
}

void BilinearScaleRows8(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                        const StretchSteps& steps)
{
    uint64_t yAcc = steps.yFraction;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = src + static_cast<ptrdiff_t>(yAcc >> 32) * srcPitch;
        const int fy = static_cast<int>((yAcc >> 24) & 0xFF);
        uint64_t xAcc = steps.xFraction;
        for (int x = 0; x < width; ++x) {
            const BYTE* s = row + (xAcc >> 32);
            const int fx = static_cast<int>((xAcc >> 24) & 0xFF);
            const int top = s[0] + (((s[1] - s[0]) * fx) >> 8);
            const int bottom = s[srcPitch] + (((s[srcPitch + 1] - s[srcPitch]) * fx) >> 8);
            *dst++ = static_cast<BYTE>(top + ((((bottom & 255) - (top & 255)) * fy) >> 8));
            xAcc += steps.xStep;
        }
        dst += dstSkip;
        yAcc += steps.yStep;
    }
}

int SmoothPlane8(BYTE* pixels, int /*rowSkip*/, int pitch, int width, int height)
{
    if (width <= 3 || height <= 3) {
        return 1;
    }
    // Every output comes from the pixels as they were: work from a copy.
    std::vector<BYTE> copy;
    try {
        copy.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        return 2;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(&copy[static_cast<size_t>(y) * width], pixels + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(width));
    }
    auto at = [&](int x, int y) { return static_cast<int>(copy[static_cast<size_t>(y) * width + x]); };
    for (int y = 0; y < height; ++y) {
        BYTE* out = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x) {
            const int c = at(x, y);
            const int l = x > 0 ? at(x - 1, y) : 0;
            const int r = x + 1 < width ? at(x + 1, y) : 0;
            const int a = y > 0 ? at(x, y - 1) : 0;
            const int b = y + 1 < height ? at(x, y + 1) : 0;
            int v;
            if (y == 0) {
                v = x == 0 ? (b + 2 * c + r) >> 2 : x == width - 1 ? (b + 2 * c + l) >> 2 : (l + c + r + b) >> 2;
            } else if (y == height - 1) {
                v = x == 0 ? (a + 2 * c + r) >> 2 : x == width - 1 ? (a + 2 * c + l) >> 2 : (l + c + r + a) >> 2;
            } else if (x == 0) {
                v = (c + a + b + r) >> 2;
            } else if (x == width - 1) {
                v = (c + a + b + l) >> 2;
            } else {
                v = (a + 2 * (l + c + r) + b) >> 3;
            }
            out[x] = static_cast<BYTE>(v);
        }
    }
    return 0;
}

namespace {

int FirstBlock(int size, int n, int anchorFar, bool centred)
{
    int first;
    if (centred) {
        first = n < size ? ((size - n) / 2) % n : n;
    } else if (anchorFar) {
        first = size % n;
    } else {
        first = n;
    }
    return (first == 0 || n >= size) ? n : first;
}

// Fills each block's part of one row with the block's first pixel (first block c0 wide, then n).
template <int Bytes>
void FillBlocksOfRow(BYTE* row, int width, int c0, int n)
{
    for (int bx = 0; bx < width; bx += (bx == 0 ? c0 : n)) {
        const int bw = std::min(bx == 0 ? c0 : n, width - bx);
        BYTE* block = row + static_cast<ptrdiff_t>(bx) * Bytes;
        BYTE value[Bytes];
        std::memcpy(value, block, Bytes);
        for (int x = 1; x < bw; ++x) {
            std::memcpy(block + static_cast<ptrdiff_t>(x) * Bytes, value, Bytes);
        }
    }
}

}  // namespace

int MosaicFirstBand(int height, int n, BYTE anchor)
{
    return FirstBlock(height, n, anchor == 3 || anchor == 4, anchor < 1 || anchor > 4);
}

void MosaicRows(BYTE* pixels, int pitch, int width, int height, int bytesPerPixel, int n, BYTE anchor)
{
    if (n < 2) {
        return;
    }
    MosaicBlocks(pixels, pitch, width, height, bytesPerPixel, n, n, anchor);
}

void MosaicBlocks(BYTE* pixels, int pitch, int width, int height, int bytesPerPixel, int blockWidth,
                  int blockHeight, BYTE anchor)
{
    if (!pixels || width < 3 || height < 3 || blockWidth < 1 || blockHeight < 1 ||
        (blockWidth < 2 && blockHeight < 2) || bytesPerPixel < 1 || bytesPerPixel > 4) {
        return;
    }
    const int n = blockWidth;
    const int m = blockHeight;
    const bool centred = anchor < 1 || anchor > 4;
    const int c0 = FirstBlock(width, n, anchor == 2 || anchor == 4, centred);
    const int r0 = FirstBlock(height, m, anchor == 3 || anchor == 4, centred);
    // Each band of blocks is filled on its first row, which every further row of the band copies.
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    for (int by = 0; by < height; by += (by == 0 ? r0 : m)) {
        const int bh = std::min(by == 0 ? r0 : m, height - by);
        BYTE* first = pixels + static_cast<ptrdiff_t>(by) * pitch;
        switch (bytesPerPixel) {
        case 1:
            FillBlocksOfRow<1>(first, width, c0, n);
            break;
        case 2:
            FillBlocksOfRow<2>(first, width, c0, n);
            break;
        case 3:
            FillBlocksOfRow<3>(first, width, c0, n);
            break;
        default:
            FillBlocksOfRow<4>(first, width, c0, n);
            break;
        }
        for (int y = 1; y < bh; ++y) {
            std::memcpy(first + static_cast<ptrdiff_t>(y) * pitch, first, rowBytes);
        }
    }
}

void MosaicPlane8(BYTE* pixels, int /*rowSkip*/, int pitch, int width, int height, int n, BYTE anchor)
{
    MosaicRows(pixels, pitch, width, height, 1, n, anchor);
}
