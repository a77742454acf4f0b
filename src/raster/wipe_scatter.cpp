// The block-scatter entries' positions in 32-bit lanes, eight blocks of a grid row at a time, each
// the 64-bit block walk's arithmetic: the bounds of wipe_scatter.h keep every product within 32 bits,
// and an arithmetic shift of a lane rounds as the 64-bit shift does.
#include "raster/wipe_scatter_avx512.h" // first: the 512-bit header
#include "raster/wipe_scatter.h"

#include "platform/random.h"

namespace wipe {
namespace {

// The parts every entry's placement shares: the noise strips, the amplitude and the placement.
struct Common {
    Common(const CWipeCanvas& c, int n, int64_t a)
        : strips(g_pNoiseTable, n), amplitude(static_cast<int32_t>(a)), x(c.X()), y(c.Y())
    {
    }
    NoiseStrides strips;
    int32_t amplitude;
    int32_t x, y;
};

// (noise * u * a) >> 16 of eight blocks.
PIXEL_SIMD_AVX2 inline __m256i Thrown(__m256i noise, __m256i u, int32_t a)
{
    return MulShift(_mm256_mullo_epi32(noise, u), _mm256_set1_epi32(a), 16);
}

// The 512-bit walk's placements give sixteen blocks at once, the same lanes as two groups of eight.
WIPE_SIMD_AVX512 inline __m512i MulShift16(__m512i a, __m512i b, int s)
{
    return _mm512_srai_epi32(_mm512_mullo_epi32(a, b), s);
}
WIPE_SIMD_AVX512 inline __m512i Thrown16(__m512i noise, __m512i u, int32_t a)
{
    return MulShift16(_mm512_mullo_epi32(noise, u), _mm512_set1_epi32(a), 16);
}
WIPE_SIMD_AVX512 inline __m512i NoiseSixteen(NoiseStrides::Run& run)
{
    return _mm512_loadu_si512(run.TakeSixteen());
}
// The column of each of sixteen blocks b0 .. b0 + 15 of Width pixels, plus base.
template <int Width> WIPE_SIMD_AVX512 inline __m512i BlockColumns16(int b0, int32_t base)
{
    return _mm512_add_epi32(
        _mm512_set1_epi32(b0 * Width + base),
        _mm512_mullo_epi32(_mm512_set1_epi32(Width),
                           _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15)));
}

struct ScatterNoisePlace : Common {
    using Common::Common;
    NoiseStrides::Run na, nb;
    int32_t top = 0;
    void Row(int64_t, int64_t j)
    {
        na = strips.From(j);
        nb = strips.From(j + 1);
        top = y + static_cast<int32_t>(j);
    }
    PIXEL_SIMD_AVX2 void Eight(int b0, __m256i& dx, __m256i& dy)
    {
        const __m256i a = _mm256_set1_epi32(amplitude);
        dx = _mm256_add_epi32(BlockColumns<4>(b0, x), MulShift(na.Next(), a, 8));
        dy = _mm256_add_epi32(_mm256_set1_epi32(top), MulShift(nb.Next(), a, 8));
    }
    WIPE_SIMD_AVX512 void Sixteen(int b0, __m512i& dx, __m512i& dy)
    {
        const __m512i a = _mm512_set1_epi32(amplitude);
        dx = _mm512_add_epi32(BlockColumns16<4>(b0, x), MulShift16(NoiseSixteen(na), a, 8));
        dy = _mm512_add_epi32(_mm512_set1_epi32(top), MulShift16(NoiseSixteen(nb), a, 8));
    }
};

// The burst's rows: noise from 26k and 1 + 38k (or the given multiples), the directions of row k.
struct BurstRows : Common {
    BurstRows(const CWipeCanvas& c, int n, int64_t a, const int16_t* table, int64_t stepA, int64_t stepB)
        : Common(c, n, a), directions(table), perRow((int64_t{c.Width()} + n - 1) / n), ka(stepA), kb(stepB)
    {
    }
    const int16_t* directions;
    int64_t perRow;
    int64_t ka, kb;
    NoiseStrides::Run na, nb;
    const int16_t* row = nullptr;
    int32_t top = 0;
    void Row(int64_t k, int64_t j)
    {
        na = strips.From(ka * k);
        nb = strips.From(1 + kb * k);
        row = directions + k * perRow * 2;
        top = y + static_cast<int32_t>(j);
    }
    // The directions of eight blocks from b0 on. The table outgrows the second-level cache and is
    // read once a step: the pairs kAhead blocks on are asked for meanwhile (an address past the
    // table's end is only asked for, never read).
    PIXEL_SIMD_AVX2 void Directions(int b0, __m256i& ux, __m256i& uy) const
    {
        const int16_t* const at = row + 2 * b0;
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(at) + 4 * kAhead), _MM_HINT_T0);
        LoadDirections(at, ux, uy);
    }
    // The same for sixteen blocks; lanes past the row's end read nothing (the table's end may
    // come first).
    WIPE_SIMD_AVX512 void Directions16(int b0, __m512i& ux, __m512i& uy) const
    {
        const int16_t* const at = row + 2 * b0;
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(at) + 4 * kAhead),
                     _MM_HINT_T0);
        const int64_t left = perRow - b0;
        const __mmask16 valid = left >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << left) - 1);
        const __m512i v = _mm512_maskz_loadu_epi32(valid, at);
        ux = _mm512_srai_epi32(_mm512_slli_epi32(v, 16), 16);
        uy = _mm512_srai_epi32(v, 16);
    }
    static constexpr uintptr_t kAhead = 256;
};

template <int N> struct BurstPlace : BurstRows {
    BurstPlace(const CWipeCanvas& c, int64_t a, const int16_t* table) : BurstRows(c, N, a, table, 26, 38) {}
    PIXEL_SIMD_AVX2 void Eight(int b0, __m256i& dx, __m256i& dy)
    {
        __m256i ux, uy;
        Directions(b0, ux, uy);
        dx = _mm256_add_epi32(BlockColumns<N>(b0, x), Thrown(na.Next(), ux, amplitude));
        dy = _mm256_add_epi32(_mm256_set1_epi32(top), Thrown(nb.Next(), uy, amplitude));
    }
    WIPE_SIMD_AVX512 void Sixteen(int b0, __m512i& dx, __m512i& dy)
    {
        __m512i ux, uy;
        Directions16(b0, ux, uy);
        dx = _mm512_add_epi32(BlockColumns16<N>(b0, x), Thrown16(NoiseSixteen(na), ux, amplitude));
        dy = _mm512_add_epi32(_mm512_set1_epi32(top), Thrown16(NoiseSixteen(nb), uy, amplitude));
    }
};

struct SwirlPlace : BurstRows {
    SwirlPlace(const CWipeCanvas& c, int64_t a, int64_t ct, int64_t st, const int16_t* table)
        : BurstRows(c, 4, a, table, 26, 38), cosine(static_cast<int32_t>(ct)), sine(static_cast<int32_t>(st))
    {
    }
    int32_t cosine, sine;
    PIXEL_SIMD_AVX2 void Eight(int b0, __m256i& dx, __m256i& dy)
    {
        __m256i ux, uy;
        Directions(b0, ux, uy);
        const __m256i ox = MulShift(Thrown(na.Next(), ux, amplitude), _mm256_set1_epi32(cosine), 16);
        const __m256i oy = MulShift(Thrown(nb.Next(), uy, amplitude), _mm256_set1_epi32(sine), 16);
        dx = _mm256_add_epi32(BlockColumns<4>(b0, x), ox);
        dy = _mm256_add_epi32(_mm256_set1_epi32(top), oy);
    }
    WIPE_SIMD_AVX512 void Sixteen(int b0, __m512i& dx, __m512i& dy)
    {
        __m512i ux, uy;
        Directions16(b0, ux, uy);
        const __m512i ox =
            MulShift16(Thrown16(NoiseSixteen(na), ux, amplitude), _mm512_set1_epi32(cosine), 16);
        const __m512i oy = MulShift16(Thrown16(NoiseSixteen(nb), uy, amplitude), _mm512_set1_epi32(sine), 16);
        dx = _mm512_add_epi32(BlockColumns16<4>(b0, x), ox);
        dy = _mm512_add_epi32(_mm512_set1_epi32(top), oy);
    }
};

struct RotateBurstPlace : BurstRows {
    RotateBurstPlace(const CWipeCanvas& c, int64_t a, int64_t c0, int64_t s0, const int16_t* table)
        : BurstRows(c, 4, a, table, 52, 76),
          cosine(static_cast<int32_t>(c0)),
          sine(static_cast<int32_t>(s0)),
          hw(c.Width() / 2),
          hh(c.Height() / 2)
    {
    }
    int32_t cosine, sine, hw, hh;
    // Of the row: c0 (j - hh) >> 16 and s0 (j - hh) >> 16.
    int32_t cosRow = 0, sinRow = 0;
    void Row(int64_t k, int64_t j)
    {
        BurstRows::Row(k, j);
        cosRow = static_cast<int32_t>((int64_t{cosine} * (j - hh)) >> 16);
        sinRow = static_cast<int32_t>((int64_t{sine} * (j - hh)) >> 16);
    }
    PIXEL_SIMD_AVX2 void Eight(int b0, __m256i& dx, __m256i& dy)
    {
        __m256i ux, uy;
        Directions(b0, ux, uy);
        const __m256i c0 = _mm256_set1_epi32(cosine), s0 = _mm256_set1_epi32(sine);
        const __m256i across = BlockColumns<4>(b0, -hw); // i - hw
        const __m256i rx = _mm256_sub_epi32(MulShift(c0, across, 16), _mm256_set1_epi32(sinRow));
        const __m256i ry = _mm256_add_epi32(_mm256_set1_epi32(cosRow), MulShift(s0, across, 16));
        const __m256i ox = MulShift(Thrown(na.Next(), ux, amplitude), c0, 16);
        const __m256i oy = MulShift(Thrown(nb.Next(), uy, amplitude), s0, 16);
        dx = _mm256_add_epi32(_mm256_add_epi32(BlockColumns<4>(b0, x), rx), _mm256_sub_epi32(ox, ux));
        dy = _mm256_add_epi32(_mm256_add_epi32(_mm256_set1_epi32(top), ry), _mm256_sub_epi32(oy, uy));
    }
};

} // namespace

PIXEL_SIMD_AVX2 void ScatterNoiseLanes(CWipeCanvas& c, int64_t a)
{
    // The 512-bit walk beats the AVX2 lanes on small pictures too (there without asking ahead).
    ScatterNoisePlace place(c, 4, a);
    if (Scatter512Serves(c))
        return ScatterWalk512<4, 2>(c, place);
    ScatterWalk<4, 2>(c, place);
}

PIXEL_SIMD_AVX2 void BurstLanes(CWipeCanvas& c, int n, int64_t a, const int16_t* directions)
{
    if (n == 2) {
        BurstPlace<2> place(c, a, directions);
        if (Scatter512Serves(c))
            return ScatterWalk512<2, 2>(c, place);
        ScatterWalk<2, 2>(c, place);
    } else {
        BurstPlace<4> place(c, a, directions);
        if (Scatter512Serves(c))
            return ScatterWalk512<4, 2>(c, place);
        ScatterWalk<4, 2>(c, place);
    }
}

PIXEL_SIMD_AVX2 void BurstSwirlLanes(CWipeCanvas& c, int64_t a, int64_t ct, int64_t st, const int16_t* directions)
{
    // On small pictures the swirl's blends (nearly every block shows) do better in the AVX2 lanes,
    // which ask for the lines a few blocks ahead; its copies do better in the 512-bit walk.
    SwirlPlace place(c, a, ct, st, directions);
    if (Scatter512Fits(c) || (Scatter512Serves(c) && c.Mode() != kTransitionBlendAlpha))
        return ScatterWalk512<4, 2>(c, place);
    ScatterWalk<4, 2>(c, place);
}

PIXEL_SIMD_AVX2 void RotateBurstLanes(CWipeCanvas& c, int64_t a, int64_t c0, int64_t s0, const int16_t* directions)
{
    RotateBurstPlace place(c, a, c0, s0, directions);
    if (Scatter512Fits(c))
        return ScatterWalk512<4, 4>(c, place);
    ScatterWalk<4, 4>(c, place);
}

} // namespace wipe
