// The AVX2 forms of the unscaled alpha blends, which the SIMD twins hand their rows to while the
// SIMD level allows it. Sixteen pixels a step, two registers of eight: a step whose pixels are all
// opaque stores the source colour without reading the destination, one all transparent only
// clears the alpha bytes still set, and the rest blend with the plain kernel's exact rounding.
// A row's last pixels go eight, four and one at a time (masked loads and stores cost more there).
#include "raster/row_kernels.h"

#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace raster_detail;

#define TESSARO_AVX2 __attribute__((target("avx2")))

namespace {

using pixel_simd_avx2::BlendAlpha8;
using pixel_simd_avx2::Load8;
using pixel_simd_avx2::Store8;

TESSARO_AVX2 inline __m256i Reverse8(__m256i v)
{
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// The alpha bytes' bits of a 32-byte compare mask.
constexpr uint32_t kAlphaBytes = 0x88888888u;

TESSARO_AVX2 inline uint32_t AlphaBytesEqual(__m256i v, __m256i to)
{
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, to))) & kAlphaBytes;
}

// Sixteen pixels s0, s1 over dst. All opaque: the source colour, the destination unread. All
// transparent: the destination keeps its colour, stored only where an alpha byte is still set.
TESSARO_AVX2 inline void Blend16(BYTE* dst, __m256i s0, __m256i s1)
{
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i zero = _mm256_setzero_si256();
    if (AlphaBytesEqual(_mm256_and_si256(s0, s1), _mm256_set1_epi32(-1)) == kAlphaBytes) {
        Store8(dst, _mm256_and_si256(s0, colour));
        Store8(dst + 32, _mm256_and_si256(s1, colour));
        return;
    }
    const __m256i d0 = Load8(dst);
    const __m256i d1 = Load8(dst + 32);
    if (AlphaBytesEqual(_mm256_or_si256(s0, s1), zero) == kAlphaBytes) {
        if (AlphaBytesEqual(_mm256_or_si256(d0, d1), zero) != kAlphaBytes) {
            Store8(dst, _mm256_and_si256(d0, colour));
            Store8(dst + 32, _mm256_and_si256(d1, colour));
        }
        return;
    }
    Store8(dst, BlendAlpha8(s0, d0));
    Store8(dst + 32, BlendAlpha8(s1, d1));
}

// The next eight source pixels in walking order (a mirrored walk reads leftwards).
template <bool Mirror> TESSARO_AVX2 inline __m256i Next8(const BYTE*& src)
{
    if (Mirror) {
        src -= 32;
        return Reverse8(Load8(src));
    }
    const __m256i v = Load8(src);
    src += 32;
    return v;
}

template <bool Mirror> inline __m128i Next4(const BYTE*& src)
{
    if (Mirror) {
        src -= 16;
        return _mm_shuffle_epi32(pixel_simd::Load4(src), 0x1B);
    }
    const __m128i v = pixel_simd::Load4(src);
    src += 16;
    return v;
}

template <bool Mirror>
TESSARO_AVX2 void BlendRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    const ptrdiff_t ahead = std::min(kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 16 <= width; x += 16) {
            const ptrdiff_t left = static_cast<ptrdiff_t>(width - x) * 4;
            PrefetchAlong(dst, ahead, left, dstSkip);
            PrefetchAlong(src, Mirror ? -ahead - 64 : ahead, left, srcSkip);
            const __m256i s0 = Next8<Mirror>(src);
            const __m256i s1 = Next8<Mirror>(src);
            Blend16(dst, s0, s1);
            dst += 64;
        }
        for (; x + 8 <= width; x += 8) {
            Store8(dst, BlendAlpha8(Next8<Mirror>(src), Load8(dst)));
            dst += 32;
        }
        if (x + 4 <= width) {
            pixel_simd::Store4(dst, pixel_simd::BlendAlpha4(Next4<Mirror>(src), pixel_simd::Load4(dst)));
            dst += 16;
            x += 4;
        }
        for (; x < width; ++x) {
            if (Mirror) {
                src -= 4;
            }
            Store<uint32_t>(dst, BlendPixel(Load<uint32_t>(dst), Load<uint32_t>(src)));
            if (!Mirror) {
                src += 4;
            }
            dst += 4;
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

}  // namespace

void BlendAlphaRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    BlendRowsAvx2<false>(dst, src, dstSkip, srcSkip, width, height);
}

void BlendAlphaRows32MirrorAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    BlendRowsAvx2<true>(dst, src, dstSkip, srcSkip, width, height);
}

TESSARO_AVX2 void CopyRows32Avx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width, int height)
{
    // 128 bytes a step, then 32; a row's last bytes as the 32 that end it (a row never shares
    // bytes with its source row).
    const ptrdiff_t bytes = static_cast<ptrdiff_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        ptrdiff_t i = 0;
        if (bytes >= 64) {
            // The stores from the first 32-byte boundary of the destination on, after the first 32
            // bytes as they lie: a store across two cache lines costs as much as two.
            Store8(dst, Load8(src));
            i = 32 - static_cast<ptrdiff_t>(reinterpret_cast<uintptr_t>(dst) & 31);
        }
        for (; i + 128 <= bytes; i += 128) {
            const __m256i a = Load8(src + i), b = Load8(src + i + 32), c = Load8(src + i + 64),
                          d = Load8(src + i + 96);
            Store8(dst + i, a);
            Store8(dst + i + 32, b);
            Store8(dst + i + 64, c);
            Store8(dst + i + 96, d);
        }
        for (; i + 32 <= bytes; i += 32) {
            Store8(dst + i, Load8(src + i));
        }
        if (i < bytes) {
            Store8(dst + bytes - 32, Load8(src + bytes - 32));
        }
        dst += bytes + dstSkip;
        src += bytes + srcSkip;
    }
}

TESSARO_AVX2 void CopyRows32MirrorAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcSkip, int width,
                                       int height)
{
    // The source is read leftwards from the pixel before src, eight pixels a step, the last few
    // one at a time.
    const __m256i turn = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 8 <= width; x += 8, dst += 32) {
            src -= 32;
            Store8(dst, _mm256_permutevar8x32_epi32(Load8(src), turn));
        }
        for (; x < width; ++x, dst += 4) {
            src -= 4;
            std::memcpy(dst, src, 4);
        }
        dst += dstSkip;
        src += srcSkip;
    }
}

// --- scaled forward walks -----------------------------------------------------------------------

namespace {

// The columns a forward scaled walk reads, worked out once a call for groups of eight destination
// pixels: a group whose pixels lie within eight neighbouring source pixels loads those eight whole
// and permutes them; a wider one gathers. The last pixels of a row (fewer than eight) keep their
// own offsets. Kept for the thread, so a call allocates nothing once the widest row was seen.
struct ScaledGroup {
    int32_t first; // the pixel the group's load or gather starts at
    bool gather;
    alignas(32) int32_t index[8];
};

struct ScaledColumns {
    std::vector<ScaledGroup> groups;
    int32_t tail[8];
    int tailCount = 0;
    int64_t lowest = 0, highest = 0; // the pixels read lie in [lowest, highest]

    // False when the walk goes backwards or its offsets do not fit the lanes.
    bool Build(int width, const StretchState& st)
    {
        std::vector<int64_t>& at = Offsets();
        at.resize(static_cast<size_t>(width));
        int64_t pos = 0, acc = st.xAcc;
        lowest = 0;
        highest = 0;
        for (int64_t& a : at) {
            a = pos;
            lowest = std::min(lowest, pos);
            highest = std::max(highest, pos);
            int64_t move = st.xStep;
            acc += st.xFrac;
            if (acc >= 0) {
                ++move;
                acc -= st.xDen;
            }
            pos += move;
        }
        if (lowest < 0 || highest > (int64_t{1} << 28)) {
            return false;
        }
        const int count = width / 8;
        groups.resize(static_cast<size_t>(count));
        for (int g = 0; g < count; ++g) {
            const int64_t* p = &at[static_cast<size_t>(g) * 8];
            const int64_t lo = *std::min_element(p, p + 8), hi = *std::max_element(p, p + 8);
            ScaledGroup& group = groups[static_cast<size_t>(g)];
            // The window is moved back where it would run past the last pixel the row reads.
            const int64_t window = std::min(lo, highest - 7);
            group.gather = hi - lo >= 8 || window < lowest;
            group.first = static_cast<int32_t>(group.gather ? lo : window);
            for (int i = 0; i < 8; ++i) {
                group.index[i] = static_cast<int32_t>(p[i] - group.first);
            }
        }
        tailCount = width - count * 8;
        for (int i = 0; i < tailCount; ++i) {
            tail[i] = static_cast<int32_t>(at[static_cast<size_t>(count) * 8 + static_cast<size_t>(i)]);
        }
        return true;
    }

    static std::vector<int64_t>& Offsets()
    {
        thread_local std::vector<int64_t> at;
        return at;
    }
};

ScaledColumns& ThreadColumns()
{
    thread_local ScaledColumns columns;
    return columns;
}

// Eight pixels s over dst by the plain blend's rule. All opaque: the source colour, the
// destination unread. All transparent: the destination's colour, stored only where an alpha byte
// is still set.
TESSARO_AVX2 inline void Blend8(BYTE* dst, __m256i s)
{
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i zero = _mm256_setzero_si256();
    if (AlphaBytesEqual(s, _mm256_set1_epi32(-1)) == kAlphaBytes) {
        Store8(dst, _mm256_and_si256(s, colour));
        return;
    }
    const __m256i d = Load8(dst);
    if (AlphaBytesEqual(s, zero) == kAlphaBytes) {
        if (AlphaBytesEqual(d, zero) != kAlphaBytes) {
            Store8(dst, _mm256_and_si256(d, colour));
        }
        return;
    }
    Store8(dst, BlendAlpha8(s, d));
}

TESSARO_AVX2 inline __m256i GroupPixels(const BYTE* row, const ScaledGroup& group)
{
    const BYTE* from = row + static_cast<ptrdiff_t>(group.first) * 4;
    const __m256i index = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.index));
    if (group.gather) {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(from), index, 4);
    }
    return _mm256_permutevar8x32_epi32(Load8(from), index);
}

// The size from which a scaled copy streams its destination.
constexpr ptrdiff_t kStreamBytes = ptrdiff_t{4} << 20;

template <bool Blend>
TESSARO_AVX2 void ScaledRowsAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                 const StretchState& st, const ScaledColumns& columns)
{
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * 4;
    ScaledRows rows(st, srcPitch);
    const uintptr_t readLow = static_cast<uintptr_t>(columns.lowest) * 4;
    const uintptr_t readHigh = static_cast<uintptr_t>(columns.highest) * 4 + 4;
    // Whether a destination row shares a byte with what is read from the row at `from`.
    const auto touch = [&](const BYTE* row, const BYTE* from) {
        const uintptr_t r = reinterpret_cast<uintptr_t>(row), f = reinterpret_cast<uintptr_t>(from);
        return r < f + readHigh && f + readLow < r + static_cast<uintptr_t>(rowBytes);
    };
    const ScaledGroup* groups = columns.groups.data();
    const size_t count = columns.groups.size();
    const ptrdiff_t ahead = std::min(kBlendAhead, rowBytes & ~ptrdiff_t{63});
    const BYTE* lastSrc = nullptr;
    BYTE* lastDst = nullptr;
    // A copied picture larger than the caches goes to memory whatever is done: its whole lines
    // are streamed there, without first reading what they replace. A repeated source row is then
    // made again from its (cached) source rather than read back from memory.
    const bool stream = !Blend && rowBytes * height >= kStreamBytes && (reinterpret_cast<uintptr_t>(dst) & 31) == 0 &&
                        ((rowBytes + dstSkip) & 31) == 0;
    for (int y = 0; y < height; ++y) {
        if (!Blend && !stream && src == lastSrc && !touch(lastDst, src) && !touch(dst, src) &&
            std::abs(dst - lastDst) >= rowBytes) {
            // The same source row again: the row before, copied whole.
            CopyRows32Avx2(dst, lastDst, 0, 0, width, 1);
        } else {
            BYTE* out = dst;
            for (size_t g = 0; g < count; ++g, out += 32) {
                const __m256i v = GroupPixels(src, groups[g]);
                if (Blend) {
                    // Both walks' lines are asked for ahead, as the unscaled blend does, or each
                    // group waits on memory (the source's beyond its row's end: a hint only).
                    PrefetchAlong(out, ahead, rowBytes - static_cast<ptrdiff_t>(g) * 32, dstSkip);
                    _mm_prefetch(reinterpret_cast<const char*>(src) + static_cast<ptrdiff_t>(groups[g].first) * 4 + ahead,
                                 _MM_HINT_T0);
                    Blend8(out, v);
                } else if (stream) {
                    _mm256_stream_si256(reinterpret_cast<__m256i*>(out), v);
                } else {
                    Store8(out, v);
                }
            }
            for (int i = 0; i < columns.tailCount; ++i, out += 4) {
                const uint32_t s = Load<uint32_t>(src + static_cast<ptrdiff_t>(columns.tail[i]) * 4);
                Store<uint32_t>(out, Blend ? BlendPixel(Load<uint32_t>(out), s) : s);
            }
        }
        lastSrc = src;
        lastDst = dst;
        dst += rowBytes + dstSkip;
        if (y + 1 < height) {
            rows.Next(src);
        }
    }
    if (stream) {
        _mm_sfence();
    }
}

} // namespace

bool CopyRows32ScaledAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                          const StretchState& step)
{
    ScaledColumns& columns = ThreadColumns();
    if (width < 8 || !columns.Build(width, step)) {
        return false;
    }
    ScaledRowsAvx2<false>(dst, src, dstSkip, srcPitch, width, height, step, columns);
    return true;
}

bool BlendAlphaRows32ScaledAvx2(BYTE* dst, const BYTE* src, int dstSkip, int srcPitch, int width, int height,
                                const StretchState& step)
{
    ScaledColumns& columns = ThreadColumns();
    if (width < 8 || !columns.Build(width, step)) {
        return false;
    }
    ScaledRowsAvx2<true>(dst, src, dstSkip, srcPitch, width, height, step, columns);
    return true;
}
