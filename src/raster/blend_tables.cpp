#include "raster/blend_tables.h"

#include "platform/cpu_info.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

uint8_t g_MulTable[256][256];
uint16_t g_OpacityFactors[256][4];
uint8_t g_SourceWeightTable[256][256];
uint8_t g_AlphaUnionTable[256][256];

namespace {

uint8_t g_ClampStorage[768 + 256 + 768];

// The tables are ready before main: no drawing can come before them.
struct TablesAtStartup {
    TablesAtStartup() { BuildBlendTables(); }
} g_tablesAtStartup;

}  // namespace

const uint8_t* const g_ClampTable = g_ClampStorage + 768;

void BuildBlendTables()
{
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            g_MulTable[a][b] = static_cast<uint8_t>((a * b + 127) / 255);
        }
    }
    for (int i = -768; i < 1024; ++i) {
        g_ClampStorage[i + 768] = static_cast<uint8_t>(std::clamp(i, 0, 255));
    }
    for (int i = 0; i < 256; ++i) {
        const uint16_t f = i == 0 ? 0 : static_cast<uint16_t>(i + 1);
        g_OpacityFactors[i][0] = f;
        g_OpacityFactors[i][1] = f;
        g_OpacityFactors[i][2] = f;
        g_OpacityFactors[i][3] = 0;
    }
    for (int s = 0; s < 256; ++s) {
        g_SourceWeightTable[0][s] = 255;
    }
    for (int d = 1; d < 256; ++d) {
        for (int s = 0; s < 256; ++s) {
            const int den = 255 * s + 255 * d - s * d;
            g_SourceWeightTable[d][s] = static_cast<uint8_t>(std::min(255, 255 * 255 * s / den));
        }
    }
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            g_AlphaUnionTable[a][b] = static_cast<uint8_t>(255 - (255 - a) * (255 - b) / 255);
        }
    }
}

// ---------------------------------------------------------------------------------------------

CGradientRamp::CGradientRamp(int* resultOut, int count, uint32_t start, uint32_t end, uint8_t depth)
{
    Init();
    const int result = Build(count, start, end, depth);
    if (resultOut) {
        *resultOut = result;
    }
}

void CGradientRamp::Init()
{
    m_buffer = nullptr;
    m_count = 0;
    m_start = 0xFFFFFFFFu;
    m_end = 0xFFFFFFFFu;
    m_depth = 0;
}

void CGradientRamp::Free()
{
    std::free(m_buffer);
    Init();
}

namespace {

// start + floor(f * (end - start) / 256) for one channel.
inline uint32_t RampChannel(uint32_t start, uint32_t end, uint32_t f)
{
    const int32_t diff = static_cast<int32_t>(end) - static_cast<int32_t>(start);
    return static_cast<uint32_t>(static_cast<int32_t>(start) + ((diff * static_cast<int32_t>(f)) >> 8));
}

}  // namespace

int CGradientRamp::Build(int count, uint32_t start, uint32_t end, uint8_t depth)
{
    Free();
    if (count < 2) {
        return 1;
    }
    if (depth != 8 && depth != 32) {
        return 3;
    }
    const uint32_t step = static_cast<uint32_t>((uint64_t{1} << 32) / static_cast<uint64_t>(count));
    if (depth == 8) {
        auto* out = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(count)));
        if (!out) {
            return 2;
        }
        const uint32_t s = start & 0xFF;
        const uint32_t e = end & 0xFF;
        uint32_t acc = 0;
        for (int i = 0; i < count; ++i, acc += step) {
            const uint32_t k = acc >> 24;
            if (s == 0 && e == 255) {
                out[i] = static_cast<uint8_t>(k);
            } else if (s == 255 && e == 0) {
                out[count - 1 - i] = static_cast<uint8_t>(k);
            } else {
                out[i] = static_cast<uint8_t>(RampChannel(s, e, g_OpacityFactors[k][0]));
            }
        }
        m_buffer = out;
    } else {
        auto* out = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(count) * 4));
        if (!out) {
            return 2;
        }
        uint32_t acc = 0;
        int i = 0;
        if (g_bUseMmx) {
            // Two pixels a step: 16-bit products of the channel differences with the factor
            // words (alpha factor 0), shifted, added to start; the low 8 bits of each channel are
            // exact even where a product passes 16 bits.
            const __m128i zero = _mm_setzero_si128();
            const __m128i s16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(start)), zero);
            const __m128i diff = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(end)), zero), s16);
            const __m128i low = _mm_set1_epi16(0xFF);
            for (; i + 2 <= count; i += 2) {
                uint64_t f0, f1;
                std::memcpy(&f0, g_OpacityFactors[acc >> 24], 8);
                acc += step;
                std::memcpy(&f1, g_OpacityFactors[acc >> 24], 8);
                acc += step;
                const __m128i f = _mm_set_epi64x(static_cast<long long>(f1), static_cast<long long>(f0));
                const __m128i v = _mm_and_si128(_mm_add_epi16(s16, _mm_srai_epi16(_mm_mullo_epi16(diff, f), 8)), low);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, v));
            }
        }
        for (; i < count; ++i, acc += step) {
            const uint32_t f = g_OpacityFactors[acc >> 24][0];
            uint32_t v = start & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                v |= (RampChannel((start >> shift) & 0xFF, (end >> shift) & 0xFF, f) & 0xFF) << shift;
            }
            out[i] = v;
        }
        m_buffer = out;
    }
    m_count = count;
    m_start = start;
    m_end = end;
    m_depth = depth;
    return 0;
}
