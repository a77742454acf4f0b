#include "platform/random.h"

#include "winapi/kernel.h"
#include "winapi/simd_level.h"

#include <immintrin.h>

SubtractiveRandomState g_RandomState;
uint8_t* g_pNoiseTable = nullptr;

namespace {
constexpr int32_t kModulus = 1000000000;
CRandom g_Random;
} // namespace

// a - b on 32-bit words, wrapping as the original's machine arithmetic does (a seed is stored as
// given, so words outside 0..M-1 occur), then + M when negative.
static int32_t SubtractWord(int32_t a, int32_t b)
{
    auto d = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    if (d < 0)
        d = static_cast<int32_t>(static_cast<uint32_t>(d) + static_cast<uint32_t>(kModulus));
    return d;
}

namespace {

#define RANDOM_AVX2 __attribute__((target("avx2")))

RANDOM_AVX2 inline __m256i Words(const int32_t* t, int i)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
}

RANDOM_AVX2 inline void PutWords(int32_t* t, int i, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(t + i), v);
}

// SubtractWord on eight lanes.
RANDOM_AVX2 inline __m256i SubtractWords(__m256i a, __m256i b)
{
    const __m256i d = _mm256_sub_epi32(a, b);
    return _mm256_add_epi32(d, _mm256_and_si256(_mm256_srai_epi32(d, 31), _mm256_set1_epi32(kModulus)));
}

// Words 1..55 in seven registers: 1..8, 9..16, 17..24, 25..32, 33..40, 41..48 and 48..55 (word
// 48 in two of them).
struct TableWords {
    __m256i r[7];
};

// The words from `from`'s last lane and `to`'s first seven: a run of eight that straddles two
// registers.
RANDOM_AVX2 inline __m256i Straddle(__m256i from, __m256i to)
{
    const __m256i turn = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    return _mm256_blend_epi32(_mm256_permutevar8x32_epi32(to, turn), _mm256_permutevar8x32_epi32(from, turn), 0x01);
}

// One refill eight words at a time. Words 1..24 take the old words 32..55; words 25..55 then take
// the new words 1..31, so 25..47 follow from the first three registers, and 48..55 (48 once more,
// the same value) from the new words 24..31.
RANDOM_AVX2 inline void RefillWords(TableWords& w)
{
    __m256i* r = w.r;
    const __m256i a1 = SubtractWords(r[0], Straddle(r[3], r[4]));
    const __m256i a2 = SubtractWords(r[1], Straddle(r[4], r[5]));
    const __m256i a3 = SubtractWords(r[2], r[6]);
    const __m256i b1 = SubtractWords(r[3], a1);
    r[4] = SubtractWords(r[4], a2);
    r[5] = SubtractWords(r[5], a3);
    r[6] = SubtractWords(r[6], Straddle(a3, b1));
    r[0] = a1;
    r[1] = a2;
    r[2] = a3;
    r[3] = b1;
}

// `times` refills in a row, the words kept in registers between them.
RANDOM_AVX2 void RefillAvx2(int32_t* t, int64_t times)
{
    constexpr int kAt[7] = {1, 9, 17, 25, 33, 41, 48};
    TableWords w;
    for (int i = 0; i < 7; ++i)
        w.r[i] = Words(t, kAt[i]);
    for (int64_t n = 0; n < times; ++n)
        RefillWords(w);
    for (int i = 0; i < 7; ++i)
        PutWords(t, kAt[i], w.r[i]);
}

} // namespace

void RefillSubtractiveRandom(SubtractiveRandomState& state)
{
    if (UseAvx2()) {
        RefillAvx2(state.table, 1);
        return;
    }
    for (int i = 1; i <= 24; ++i)
        state.table[i] = SubtractWord(state.table[i], state.table[i + 31]);
    for (int i = 25; i <= 55; ++i)
        state.table[i] = SubtractWord(state.table[i], state.table[i - 24]);
}

void RefillSubtractiveRandom(SubtractiveRandomState& state, int64_t times)
{
    if (UseAvx2()) {
        RefillAvx2(state.table, times);
        return;
    }
    for (int64_t n = 0; n < times; ++n)
        RefillSubtractiveRandom(state);
}

void SeedSubtractiveRandom(SubtractiveRandomState& state, int32_t seed)
{
    state.table[0] = 0;
    state.table[55] = seed;
    int32_t j = seed;
    int32_t k = 1;
    for (int n = 1; n <= 54; ++n) {
        int i = (21 * n) % 55;
        state.table[i] = k;
        k = SubtractWord(j, k);
        j = state.table[i];
    }
    for (int pass = 0; pass < 3; ++pass)
        RefillSubtractiveRandom(state);
    state.position = 55;
}

CRandom::CRandom()
{
    SeedSubtractiveRandom(g_RandomState, static_cast<int32_t>(timeGetTime()));
}

CRandom::~CRandom()
{
    delete[] g_pNoiseTable;
    g_pNoiseTable = nullptr;
}

CMersenneTwister::CMersenneTwister() : m_mt{}, m_index(625) {}

void CMersenneTwister::Seed(uint32_t seed)
{
    for (int i = 0; i < 624; ++i) {
        m_mt[i] = seed & 0xFFFF0000u;
        seed = 69069u * seed + 1u;
        m_mt[i] |= seed >> 16;
        seed = 69069u * seed + 1u;
    }
    m_index = 624;
}

uint32_t CMersenneTwister::Next()
{
    static const uint32_t kMag01[2] = {0u, 0x9908B0DFu};
    if (m_index >= 624) {
        if (m_index == 625)
            Seed(4357);
        int k = 0;
        for (; k < 624 - 397; ++k) {
            uint32_t y = (m_mt[k] & 0x80000000u) | (m_mt[k + 1] & 0x7FFFFFFFu);
            m_mt[k] = m_mt[k + 397] ^ (y >> 1) ^ kMag01[y & 1];
        }
        for (; k < 623; ++k) {
            uint32_t y = (m_mt[k] & 0x80000000u) | (m_mt[k + 1] & 0x7FFFFFFFu);
            m_mt[k] = m_mt[k + (397 - 624)] ^ (y >> 1) ^ kMag01[y & 1];
        }
        uint32_t y = (m_mt[623] & 0x80000000u) | (m_mt[0] & 0x7FFFFFFFu);
        m_mt[623] = m_mt[396] ^ (y >> 1) ^ kMag01[y & 1];
        m_index = 0;
    }
    uint32_t y = m_mt[m_index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}
