// The blits of GDI: BitBlt, StretchBlt, SetDIBitsToDevice, StretchDIBits and GetPixel over the
// pixel stores of winapi/gdi_pixels.h.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "winapi/ddraw/row_kernels.h"
#include "winapi/gdi_dc.h"
#include "winapi/gdi_pixels.h"

namespace winapi {

namespace {

bool DepthSupported(int bpp)
{
    return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

uint32_t Expand5(uint32_t v)
{
    return (v << 3) | (v >> 2);
}

uint32_t Expand6(uint32_t v)
{
    return (v << 2) | (v >> 4);
}

void WritePixel(const PixelView& view, BYTE* p, uint32_t argb)
{
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (view.bitsPerPixel) {
    case 16: {
        const uint16_t v = view.r5g6b5 ? static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                       : static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        std::memcpy(p, &v, 2);
        break;
    }
    case 24:
        p[0] = static_cast<BYTE>(b);
        p[1] = static_cast<BYTE>(g);
        p[2] = static_cast<BYTE>(r);
        break;
    case 32:
        std::memcpy(p, &argb, 4);
        break;
    default:
        break;
    }
}

uint32_t ReadAt(const PixelView& view, const BYTE* p)
{
    switch (view.bitsPerPixel) {
    case 8: {
        const BYTE i = *p;
        if (view.palette == nullptr)
            return (uint32_t{i} << 16) | (uint32_t{i} << 8) | i;
        const RGBQUAD& q = view.palette[i];
        return (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
    }
    case 16: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        if (view.r5g6b5)
            return (Expand5(v >> 11) << 16) | (Expand6((v >> 5) & 63) << 8) | Expand5(v & 31);
        return (Expand5((v >> 10) & 31) << 16) | (Expand5((v >> 5) & 31) << 8) | Expand5(v & 31);
    }
    case 24:
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    case 32: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        return 0;
    }
}

BYTE* At(const PixelView& view, int x, int y)
{
    return view.top + view.stride * y + static_cast<std::ptrdiff_t>(x) * (view.bitsPerPixel / 8);
}

bool PairSupported(const PixelView& dst, const PixelView& src)
{
    if (!DepthSupported(dst.bitsPerPixel) || !DepthSupported(src.bitsPerPixel))
        return false;
    return dst.bitsPerPixel != 8 || src.bitsPerPixel == 8;
}

// The bytes a view's rows span, first to last.
std::pair<const BYTE*, const BYTE*> Span(const PixelView& view)
{
    const BYTE* top = view.top;
    const BYTE* last = top + view.stride * (view.height - 1);
    const size_t rowBytes = static_cast<size_t>(view.width) * (view.bitsPerPixel / 8);
    return view.stride < 0 ? std::pair{last, top + rowBytes} : std::pair{top, last + rowBytes};
}

// Rows of a rectangle between two stores that do not overlap. A row of a small rectangle is a few
// cache lines a pitch away from the last one, too short a walk for the processor's own prefetch,
// and a window's store is seldom in the cache: the rows a few ahead are asked for while this one
// is copied.
void CopyRectRows(BYTE* dst, std::ptrdiff_t dstStride, const BYTE* src, std::ptrdiff_t srcStride, size_t rowBytes,
                  int rows)
{
    constexpr int kAhead = 3;
    constexpr size_t kShortRow = 4096;
    const bool ask = rowBytes <= kShortRow;
    const auto askFor = [rowBytes](const BYTE* s, BYTE* d) {
        for (size_t at = 0; at < rowBytes; at += 64) {
            __builtin_prefetch(s + at);
            __builtin_prefetch(d + at, 1);
        }
        __builtin_prefetch(s + rowBytes - 1);
        __builtin_prefetch(d + rowBytes - 1, 1);
    };
    // The first rows are asked for together, before the first is copied.
    for (int row = 1; ask && row < kAhead && row < rows; ++row)
        askFor(src + srcStride * row, dst + dstStride * row);
    for (int row = 0; row < rows; ++row) {
        if (ask && row + kAhead < rows)
            askFor(src + srcStride * kAhead, dst + dstStride * kAhead);
        ddraw::CopyRow(src, dst, rowBytes);
        src += srcStride;
        dst += dstStride;
    }
}

// A raw byte copy is right when the depths match and, for 16 bits, the layouts too.
bool SameLayout(const PixelView& dst, const PixelView& src)
{
    return dst.bitsPerPixel == src.bitsPerPixel && (dst.bitsPerPixel != 16 || dst.r5g6b5 == src.r5g6b5);
}

void Normalise(int& pos, int& size, bool& mirror)
{
    if (size < 0) {
        pos += size;
        size = -size;
        mirror = !mirror;
    }
}

} // namespace

void FillPixels(const PixelView& view, const RECT& rect, uint32_t rgb)
{
    const int bytes = view.bitsPerPixel / 8;
    for (int y = rect.top; y < rect.bottom; ++y) {
        BYTE* p = At(view, rect.left, y);
        for (int x = rect.left; x < rect.right; ++x, p += bytes)
            WritePixel(view, p, rgb);
    }
}

uint32_t ReadPixel(const PixelView& view, int x, int y)
{
    return ReadAt(view, At(view, x, y));
}

bool CopyPixels(const PixelView& dst, int x, int y, int w, int h, const PixelView& src, int sx, int sy,
                RECT* changed)
{
    if (changed != nullptr)
        *changed = RECT{0, 0, 0, 0};
    if (!PairSupported(dst, src))
        return false;
    // Clip against the source, then the destination, moving the other corner along.
    int64_t left = x, top = y, right = int64_t{x} + w, bottom = int64_t{y} + h;
    int64_t srcLeft = sx, srcTop = sy;
    if (srcLeft < 0) {
        left -= srcLeft;
        srcLeft = 0;
    }
    if (srcTop < 0) {
        top -= srcTop;
        srcTop = 0;
    }
    right = std::min(right, left + (src.width - srcLeft));
    bottom = std::min(bottom, top + (src.height - srcTop));
    if (left < 0) {
        srcLeft -= left;
        left = 0;
    }
    if (top < 0) {
        srcTop -= top;
        top = 0;
    }
    right = std::min<int64_t>(right, dst.width);
    bottom = std::min<int64_t>(bottom, dst.height);
    if (right <= left || bottom <= top)
        return true;
    const int cw = static_cast<int>(right - left), ch = static_cast<int>(bottom - top);
    const int dl = static_cast<int>(left), dt = static_cast<int>(top);
    const int sl = static_cast<int>(srcLeft), st = static_cast<int>(srcTop);
    if (SameLayout(dst, src)) {
        const size_t rowBytes = static_cast<size_t>(cw) * (dst.bitsPerPixel / 8);
        const auto [dstFirst, dstEnd] = Span(dst);
        const auto [srcFirst, srcEnd] = Span(src);
        if (dstEnd <= srcFirst || srcEnd <= dstFirst) {
            CopyRectRows(At(dst, dl, dt), dst.stride, At(src, sl, st), src.stride, rowBytes, ch);
            if (changed != nullptr)
                *changed = RECT{dl, dt, dl + cw, dt + ch};
            return true;
        }
        // Rows in the order that keeps an overlapping copy within one store right.
        const bool upward = dst.top == src.top && dt > st;
        for (int i = 0; i < ch; ++i) {
            const int row = upward ? ch - 1 - i : i;
            std::memmove(At(dst, dl, dt + row), At(src, sl, st + row), rowBytes);
        }
    } else {
        const int sb = src.bitsPerPixel / 8, db = dst.bitsPerPixel / 8;
        for (int row = 0; row < ch; ++row) {
            const BYTE* s = At(src, sl, st + row);
            BYTE* d = At(dst, dl, dt + row);
            for (int col = 0; col < cw; ++col, s += sb, d += db)
                WritePixel(dst, d, ReadAt(src, s) & 0x00FFFFFF);
        }
    }
    if (changed != nullptr)
        *changed = RECT{dl, dt, dl + cw, dt + ch};
    return true;
}

bool StretchPixels(const PixelView& dst, int x, int y, int w, int h, const PixelView& src, int sx, int sy, int sw,
                   int sh, RECT* changed)
{
    if (changed != nullptr)
        *changed = RECT{0, 0, 0, 0};
    if (!PairSupported(dst, src))
        return false;
    bool mirrorX = false, mirrorY = false;
    Normalise(x, w, mirrorX);
    Normalise(y, h, mirrorY);
    Normalise(sx, sw, mirrorX);
    Normalise(sy, sh, mirrorY);
    if (w == 0 || h == 0 || sw == 0 || sh == 0)
        return true;
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + w, dst.width));
    const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + h, dst.height));
    if (right <= left || bottom <= top)
        return true;
    const bool raw = SameLayout(dst, src);
    const int sb = src.bitsPerPixel / 8, db = dst.bitsPerPixel / 8;
    RECT written{right, bottom, left, top};
    for (int dy = top; dy < bottom; ++dy) {
        int64_t i = dy - y;
        if (mirrorY)
            i = h - 1 - i;
        const int64_t srcRow = sy + (2 * i + 1) * sh / (2 * int64_t{h});
        if (srcRow < 0 || srcRow >= src.height)
            continue;
        BYTE* d = At(dst, left, dy);
        const BYTE* srcLine = src.top + src.stride * srcRow;
        bool any = false;
        for (int dx = left; dx < right; ++dx, d += db) {
            int64_t j = dx - x;
            if (mirrorX)
                j = w - 1 - j;
            const int64_t srcCol = sx + (2 * j + 1) * sw / (2 * int64_t{w});
            if (srcCol < 0 || srcCol >= src.width)
                continue;
            const BYTE* s = srcLine + srcCol * sb;
            if (raw)
                std::memcpy(d, s, static_cast<size_t>(db));
            else
                WritePixel(dst, d, ReadAt(src, s) & 0x00FFFFFF);
            written.left = std::min<LONG>(written.left, dx);
            written.right = std::max<LONG>(written.right, dx + 1);
            any = true;
        }
        if (any) {
            written.top = std::min<LONG>(written.top, dy);
            written.bottom = std::max<LONG>(written.bottom, dy + 1);
        }
    }
    if (changed != nullptr && written.right > written.left && written.bottom > written.top)
        *changed = written;
    return true;
}

} // namespace winapi

using namespace winapi;

namespace {

// A caller's DIB described as a view; false for formats the blits do not take. The view is
// laid out top-down (bottom-up DIBs get a negative stride).
bool DibView(const void* bits, const BITMAPINFO* bmi, UINT usage, PixelView* view, std::array<RGBQUAD, 256>* palette)
{
    if (bits == nullptr || bmi == nullptr)
        return false;
    const BITMAPINFOHEADER& header = bmi->bmiHeader;
    const int bpp = header.biBitCount;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth < 1 || header.biHeight == 0 ||
        header.biHeight == INT32_MIN || !DepthSupported(bpp))
        return false;
    const bool bitfields = header.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32);
    if (header.biCompression != BI_RGB && !bitfields)
        return false;
    if (bpp == 8 && usage != DIB_RGB_COLORS)
        return false;
    const bool bottomUp = header.biHeight > 0;
    const int height = bottomUp ? header.biHeight : -header.biHeight;
    const int64_t pitch = ((int64_t{header.biWidth} * bpp + 31) / 32) * 4;
    if (pitch * height > (int64_t{1} << 31))
        return false;
    const auto* after = reinterpret_cast<const BYTE*>(bmi) + header.biSize;
    view->width = header.biWidth;
    view->height = height;
    view->bitsPerPixel = bpp;
    BYTE* base = static_cast<BYTE*>(const_cast<void*>(bits));
    view->top = bottomUp ? base + pitch * (height - 1) : base;
    view->stride = bottomUp ? -pitch : pitch;
    if (bpp == 8) {
        const DWORD used = header.biClrUsed == 0 || header.biClrUsed > 256 ? 256 : header.biClrUsed;
        palette->fill(RGBQUAD{0, 0, 0, 0});
        std::memcpy(palette->data(), after, used * sizeof(RGBQUAD));
        view->palette = palette->data();
    }
    if (bitfields && bpp == 16) {
        DWORD green;
        std::memcpy(&green, after + 4, 4);
        view->r5g6b5 = green == 0x07E0;
    }
    return true;
}

// The DC-to-DC blits (SRCCOPY only): draw(target, source, &changed) moves the pixels and says
// whether it could; the changed rectangle is marked on the target.
template <typename Draw> BOOL BlitBetweenDcs(HDC dst, HDC src, DWORD rop, Draw draw)
{
    if (rop != SRCCOPY) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    DcPixelAccess target(dst);
    DcPixelAccess source(src);
    if (!target.Ok() || !source.Ok()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RECT changed;
    if (!draw(target, source, &changed)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    target.MarkChanged(changed);
    return TRUE;
}

} // namespace

BOOL WINAPI BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    return BlitBetweenDcs(dst, src, rop, [&](DcPixelAccess& target, DcPixelAccess& source, RECT* changed) {
        return CopyPixels(target.View(), x, y, width, height, source.View(), srcX, srcY, changed);
    });
}

BOOL WINAPI StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                       int srcHeight, DWORD rop)
{
    return BlitBetweenDcs(dst, src, rop, [&](DcPixelAccess& target, DcPixelAccess& source, RECT* changed) {
        if (width == srcWidth && height == srcHeight && width > 0 && height > 0)
            return CopyPixels(target.View(), x, y, width, height, source.View(), srcX, srcY, changed);
        if (target.SameStore(source)) {
            // Scaling within one store would read pixels it has already written: go through a copy.
            const PixelView& view = source.View();
            const size_t rowBytes = static_cast<size_t>(view.width) * (view.bitsPerPixel / 8);
            std::vector<BYTE> copy(rowBytes * static_cast<size_t>(view.height));
            for (int row = 0; row < view.height; ++row)
                std::memcpy(copy.data() + rowBytes * row, view.top + view.stride * row, rowBytes);
            PixelView snapshot = view;
            snapshot.top = copy.data();
            snapshot.stride = static_cast<std::ptrdiff_t>(rowBytes);
            return StretchPixels(target.View(), x, y, width, height, snapshot, srcX, srcY, srcWidth, srcHeight,
                                 changed);
        }
        return StretchPixels(target.View(), x, y, width, height, source.View(), srcX, srcY, srcWidth, srcHeight,
                             changed);
    });
}

int WINAPI SetDIBitsToDevice(HDC hdc, int x, int y, DWORD width, DWORD height, int srcX, int srcY, UINT startScan,
                             UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage)
{
    PixelView source;
    std::array<RGBQUAD, 256> palette;
    if (!DibView(bits, bmi, usage, &source, &palette) || width > INT32_MAX || height > INT32_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Only the whole picture in one call (startScan 0, every line); banded calls are not used.
    if (startScan != 0 || lines < static_cast<UINT>(source.height)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    DcPixelAccess target(hdc);
    if (!target.Ok()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // srcY counts from the bottom of a bottom-up DIB, from the top of a top-down one.
    const int top = bmi->bmiHeader.biHeight > 0 ? source.height - srcY - static_cast<int>(height) : srcY;
    RECT changed;
    if (!CopyPixels(target.View(), x, y, static_cast<int>(width), static_cast<int>(height), source, srcX, top,
                    &changed)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    target.MarkChanged(changed);
    return source.height;
}

int WINAPI StretchDIBits(HDC hdc, int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                         int srcHeight, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop)
{
    PixelView source;
    std::array<RGBQUAD, 256> palette;
    if (rop != SRCCOPY || !DibView(bits, bmi, usage, &source, &palette)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DcPixelAccess target(hdc);
    if (!target.Ok()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const int top =
        bmi->bmiHeader.biHeight > 0 ? static_cast<int>(int64_t{source.height} - srcY - srcHeight) : srcY;
    RECT changed;
    if (!StretchPixels(target.View(), x, y, width, height, source, srcX, top, srcWidth, srcHeight, &changed)) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    target.MarkChanged(changed);
    return std::abs(srcHeight);
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    DcPixelAccess access(hdc);
    if (!access.Ok())
        return CLR_INVALID;
    const PixelView& view = access.View();
    if (x < 0 || y < 0 || x >= view.width || y >= view.height || !DepthSupported(view.bitsPerPixel))
        return CLR_INVALID;
    const uint32_t argb = ReadPixel(view, x, y);
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
