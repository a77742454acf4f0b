// The four walks shared by the plain row kernels (forward, mirrored, scaled, mirrored scaled),
// each over a per-pixel operation. Internal to the raster's kernels.
#pragma once

#include "raster/row_kernels.h"

#include <cstdint>
#include <cstring>

#include <xmmintrin.h>

namespace raster_detail {

template <typename T>
inline T Load(const BYTE* p)
{
    T v;
    std::memcpy(&v, p, sizeof(T));
    return v;
}

template <typename T>
inline void Store(BYTE* p, T v)
{
    std::memcpy(p, &v, sizeof(T));
}

// The source rows of a scaled walk: each step goes yStep rows on, and one more when the
// fraction carries.
class ScaledRows {
public:
    ScaledRows(const StretchState& st, ptrdiff_t srcPitch)
        : m_whole(static_cast<ptrdiff_t>(st.yStep) * srcPitch), m_pitch(srcPitch), m_acc(st.yAcc), m_frac(st.yFrac),
          m_den(st.yDen)
    {
    }
    template <typename P>
    void Next(P*& src)
    {
        src += m_whole;
        m_acc += m_frac;
        if (m_acc >= 0) {
            src += m_pitch;
            m_acc -= m_den;
        }
    }

private:
    ptrdiff_t m_whole, m_pitch;
    int64_t m_acc;
    int64_t m_frac, m_den;
};

// op(BYTE* dst, const BYTE* src) handles one pixel.
template <size_t D, size_t S, typename Op>
inline void WalkRows(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, Op op)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            op(dst, src);
            dst += D;
            src += S;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

template <size_t D, size_t S, typename Op>
inline void WalkRowsMirror(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height, Op op)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            src -= S;
            op(dst, src);
            dst += D;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

template <size_t D, size_t S, typename Op>
inline void WalkRowsScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                           const StretchState& st, Op op)
{
    const ptrdiff_t xWhole = static_cast<ptrdiff_t>(st.xStep) * static_cast<ptrdiff_t>(S);
    ScaledRows rows(st, srcPitch);
    for (int y = 0; y < height; ++y) {
        const BYTE* s = src;
        int64_t xAcc = st.xAcc;
        for (int x = 0; x < width; ++x) {
            op(dst, s);
            dst += D;
            s += xWhole;
            xAcc += st.xFrac;
            if (xAcc >= 0) {
                s += S;
                xAcc -= st.xDen;
            }
        }
        dst += dstSkip;
        if (y + 1 < height) {
            rows.Next(src);
        }
    }
}

template <size_t D, size_t S, typename Op>
inline void WalkRowsMirrorScaled(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& st, Op op)
{
    const ptrdiff_t xWhole = static_cast<ptrdiff_t>(st.xStep) * static_cast<ptrdiff_t>(S);
    ScaledRows rows(st, srcPitch);
    for (int y = 0; y < height; ++y) {
        const BYTE* s = src;
        int64_t xAcc = st.xAcc;
        for (int x = 0; x < width; ++x) {
            op(dst, s - S);
            dst += D;
            s -= xWhole;
            xAcc += st.xFrac;
            if (xAcc >= 0) {
                s -= S;
                xAcc -= st.xDen;
            }
        }
        dst += dstSkip;
        if (y + 1 < height) {
            rows.Next(src);
        }
    }
}

// The exact blend of one channel: (s * a + d * (255 - a) + 127) / 255.
inline uint32_t BlendChannel(uint32_t s, uint32_t d, uint32_t a)
{
    return (s * a + d * (255 - a) + 127) / 255;
}

inline uint32_t BlendPixel(uint32_t d, uint32_t s)
{
    const uint32_t a = s >> 24;
    return BlendChannel(s & 0xFF, d & 0xFF, a) | BlendChannel((s >> 8) & 0xFF, (d >> 8) & 0xFF, a) << 8 |
           BlendChannel((s >> 16) & 0xFF, (d >> 16) & 0xFF, a) << 16;
}

// How far ahead of the walk the blend asks for its lines (beyond the first-level cache the blend
// waits on memory; the hardware's own prefetch leaves it waiting). Rows shorter than that look
// one row ahead, so that the lines asked for are the ones the walk reaches.
constexpr ptrdiff_t kBlendAhead = 2048;

// Asks for the line `ahead` bytes (at most a row) further along a walk whose row has `left` bytes
// still to go; past the row's end the walk continues `skip` bytes further (the next row). A hint
// only: the address may lie outside any buffer.
inline void PrefetchAlong(const BYTE* p, ptrdiff_t ahead, ptrdiff_t left, ptrdiff_t skip)
{
    uintptr_t at = reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(ahead);
    if ((ahead < 0 ? -ahead : ahead) >= left) {
        at += static_cast<uintptr_t>(skip);
    }
    _mm_prefetch(reinterpret_cast<const char*>(at), _MM_HINT_T0);
}

}  // namespace raster_detail
