// The plain row kernels of the copies, blends, planes and fills.
#include "raster/row_kernels.h"

#include "raster/blend_tables.h"
#include "raster/row_kernel_loops.h"

#include <emmintrin.h>

#include <cstring>

using namespace raster_detail;

namespace {

struct Copy32 {
    void operator()(BYTE* d, const BYTE* s) const { std::memcpy(d, s, 4); }
};
struct CopyKey32 {
    DWORD key;
    void operator()(BYTE* d, const BYTE* s) const
    {
        const uint32_t v = Load<uint32_t>(s);
        if (v != key) {
            Store<uint32_t>(d, v);
        }
    }
};
struct Palette32 {
    const uint32_t* palette;
    void operator()(BYTE* d, const BYTE* s) const { Store<uint32_t>(d, palette[*s]); }
};
struct PaletteKey32 {
    const uint32_t* palette;
    BYTE key;
    void operator()(BYTE* d, const BYTE* s) const
    {
        if (*s != key) {
            Store<uint32_t>(d, palette[*s]);
        }
    }
};
struct Blend32 {
    void operator()(BYTE* d, const BYTE* s) const
    {
        Store<uint32_t>(d, BlendPixel(Load<uint32_t>(d), Load<uint32_t>(s)));
    }
};
struct PlaneToAlpha {
    void operator()(BYTE* d, const BYTE* s) const { d[3] = *s; }
};
struct AlphaToPlane {
    void operator()(BYTE* d, const BYTE* s) const { *d = s[3]; }
};
struct UniteAlpha {
    void operator()(BYTE* d, const BYTE* s) const { d[3] = g_AlphaUnionTable[d[3]][*s]; }
};
struct CopyColor32 {
    void operator()(BYTE* d, const BYTE* s) const
    {
        Store<uint32_t>(d, (Load<uint32_t>(s) & 0x00FFFFFFu) | (Load<uint32_t>(d) & 0xFF000000u));
    }
};
struct CopyColorKey32 {
    DWORD key;
    void operator()(BYTE* d, const BYTE* s) const
    {
        const uint32_t v = Load<uint32_t>(s);
        if (v != key) {
            Store<uint32_t>(d, (v & 0x00FFFFFFu) | (Load<uint32_t>(d) & 0xFF000000u));
        }
    }
};
struct CopyAlpha32 {
    void operator()(BYTE* d, const BYTE* s) const
    {
        Store<uint32_t>(d, (Load<uint32_t>(s) & 0xFF000000u) | (Load<uint32_t>(d) & 0x00FFFFFFu));
    }
};

}  // namespace

// --- 32-bit copies ----------------------------------------------------------------------------

void CopyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const size_t bytes = static_cast<size_t>(width) * 4;
    if (dstSkip == 0 && srcSkip == 0) {
        // Rows that follow each other on both sides are one block: one call instead of a call a row.
        const size_t total = bytes * static_cast<size_t>(height);
        const auto d = reinterpret_cast<uintptr_t>(dst), s = reinterpret_cast<uintptr_t>(src);
        if (d + total <= s || s + total <= d) {
            std::memcpy(dst, src, total);
            return;
        }
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(dst, src, bytes);
        dst += static_cast<ptrdiff_t>(bytes) + dstSkip;
        src += static_cast<ptrdiff_t>(bytes) + srcSkip;
    }
}

void CopyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                      const StretchState& step)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, Copy32{});
}

void CopyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRowsMirror<4, 4>(dst, src, dstSkip, srcSkip, width, height, Copy32{});
}

void CopyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step)
{
    WalkRowsMirrorScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, Copy32{});
}

void CopyKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key)
{
    // Four pixels a step with the x86-64 baseline's 128-bit compares (this kernel has no twin):
    // groups without the key are stored whole, groups with it merged.
    const __m128i key4 = _mm_set1_epi32(static_cast<int>(key));
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 4 <= width; x += 4, dst += 16, src += 16) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            const __m128i isKey = _mm_cmpeq_epi32(s, key4);
            const int keyed = _mm_movemask_epi8(isKey);
            if (keyed == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
            } else if (keyed != 0xFFFF) {
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                                 _mm_or_si128(_mm_and_si128(isKey, d), _mm_andnot_si128(isKey, s)));
            }
        }
        for (; x < width; ++x, dst += 4, src += 4) {
            CopyKey32{key}(dst, src);
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

void CopyKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step, DWORD key)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, CopyKey32{key});
}

void CopyKeyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key)
{
    WalkRowsMirror<4, 4>(dst, src, dstSkip, srcSkip, width, height, CopyKey32{key});
}

void CopyKeyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step, DWORD key)
{
    WalkRowsMirrorScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, CopyKey32{key});
}

// --- 8 -> 32 through a palette ----------------------------------------------------------------

void PaletteRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                   const uint32_t* palette)
{
    // Eight indices read as one word: a byte load a pixel kept the loop waiting on its ports.
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 8 <= width; x += 8, src += 8, dst += 32) {
            const uint64_t indices = Load<uint64_t>(src);
            for (int i = 0; i < 8; ++i) {
                Store<uint32_t>(dst + 4 * i, palette[(indices >> (8 * i)) & 0xFF]);
            }
        }
        for (; x < width; ++x, ++src, dst += 4) {
            Store<uint32_t>(dst, palette[*src]);
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

void PaletteRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                         const StretchState& step, const uint32_t* palette)
{
    WalkRowsScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, Palette32{palette});
}

void PaletteRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                         const uint32_t* palette)
{
    WalkRowsMirror<4, 1>(dst, src, dstSkip, srcSkip, width, height, Palette32{palette});
}

void PaletteRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                               const StretchState& step, const uint32_t* palette)
{
    WalkRowsMirrorScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, Palette32{palette});
}

void PaletteKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                      const uint32_t* palette, BYTE key)
{
    WalkRows<4, 1>(dst, src, dstSkip, srcSkip, width, height, PaletteKey32{palette, key});
}

void PaletteKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step, const uint32_t* palette, BYTE key)
{
    WalkRowsScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, PaletteKey32{palette, key});
}

void PaletteKeyRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height,
                            const uint32_t* palette, BYTE key)
{
    WalkRowsMirror<4, 1>(dst, src, dstSkip, srcSkip, width, height, PaletteKey32{palette, key});
}

void PaletteKeyRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                  int height, const StretchState& step, const uint32_t* palette, BYTE key)
{
    WalkRowsMirrorScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, PaletteKey32{palette, key});
}

// --- alpha blend -------------------------------------------------------------------------------

void BlendAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<4, 4>(dst, src, dstSkip, srcSkip, width, height, Blend32{});
}

void BlendAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                            const StretchState& step)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, Blend32{});
}

void BlendAlphaRows32Mirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRowsMirror<4, 4>(dst, src, dstSkip, srcSkip, width, height, Blend32{});
}

void BlendAlphaRows32MirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                  int height, const StretchState& step)
{
    WalkRowsMirrorScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, Blend32{});
}

// --- alpha planes ------------------------------------------------------------------------------

void CopyPlaneToAlphaRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<4, 1>(dst, src, dstSkip, srcSkip, width, height, PlaneToAlpha{});
}

void CopyPlaneToAlphaRowsScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                const StretchState& step)
{
    WalkRowsScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, PlaneToAlpha{});
}

void CopyPlaneToAlphaRowsMirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRowsMirror<4, 1>(dst, src, dstSkip, srcSkip, width, height, PlaneToAlpha{});
}

void CopyPlaneToAlphaRowsMirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                      int height, const StretchState& step)
{
    WalkRowsMirrorScaled<4, 1>(dst, src, dstSkip, srcPitch, width, height, step, PlaneToAlpha{});
}

void CopyAlphaToPlaneRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<1, 4>(dst, src, dstSkip, srcSkip, width, height, AlphaToPlane{});
}

void CopyAlphaToPlaneRowsScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                const StretchState& step)
{
    WalkRowsScaled<1, 4>(dst, src, dstSkip, srcPitch, width, height, step, AlphaToPlane{});
}

void CopyAlphaToPlaneRowsMirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRowsMirror<1, 4>(dst, src, dstSkip, srcSkip, width, height, AlphaToPlane{});
}

void CopyAlphaToPlaneRowsMirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width,
                                      int height, const StretchState& step)
{
    WalkRowsMirrorScaled<1, 4>(dst, src, dstSkip, srcPitch, width, height, step, AlphaToPlane{});
}

void UniteAlphaWithPlaneRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<4, 1>(dst, src, dstSkip, srcSkip, width, height, UniteAlpha{});
}

// --- colour / alpha parts ----------------------------------------------------------------------

void CopyColorRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<4, 4>(dst, src, dstSkip, srcSkip, width, height, CopyColor32{});
}

void CopyColorRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, CopyColor32{});
}

void CopyColorKeyRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, DWORD key)
{
    WalkRows<4, 4>(dst, src, dstSkip, srcSkip, width, height, CopyColorKey32{key});
}

void CopyColorKeyRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                              const StretchState& step, DWORD key)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, CopyColorKey32{key});
}

void CopyAlphaRows32(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    WalkRows<4, 4>(dst, src, dstSkip, srcSkip, width, height, CopyAlpha32{});
}

void CopyAlphaRows32Scaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& step)
{
    WalkRowsScaled<4, 4>(dst, src, dstSkip, srcPitch, width, height, step, CopyAlpha32{});
}

// --- fills -------------------------------------------------------------------------------------

void FillRows32(BYTE* dst, int dstSkip, int width, int height, DWORD value)
{
    if (dstSkip == 0 && int64_t{width} * height <= INT32_MAX) {
        // Rows that follow each other without a gap are one long row.
        width *= height;
        height = 1;
    }
    if ((value & 0xFF) * 0x01010101u == value) {
        // Four equal bytes (black, white, greys): the library's fill.
        for (int y = 0; y < height; ++y) {
            std::memset(dst, static_cast<int>(value & 0xFF), static_cast<size_t>(width) * 4);
            dst += static_cast<ptrdiff_t>(width) * 4 + dstSkip;
        }
        return;
    }
    // Sixteen bytes a store with the x86-64 baseline's 128-bit registers (this kernel has no twin).
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16, dst += 64) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), four);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 48), four);
        }
        for (; x + 4 <= width; x += 4, dst += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), four);
        }
        for (; x < width; ++x, dst += 4) {
            Store<uint32_t>(dst, value);
        }
        dst += dstSkip;
    }
}

void FillRgbRows32(BYTE* dst, int dstSkip, int width, int height, DWORD rgb)
{
    const uint32_t colour = rgb & 0x00FFFFFFu;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Store<uint32_t>(dst, (Load<uint32_t>(dst) & 0xFF000000u) | colour);
            dst += 4;
        }
        dst += dstSkip;
    }
}

// --- invert ------------------------------------------------------------------------------------

void InvertRows32(BYTE* dst, int skip, int width, int height, BYTE mode)
{
    const uint32_t mask = InvertMask(mode);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Store<uint32_t>(dst, Load<uint32_t>(dst) ^ mask);
            dst += 4;
        }
        dst += skip;
    }
}
