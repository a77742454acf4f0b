#include "platform/random.h"

#include "winapi/kernel.h"

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

void RefillSubtractiveRandom(SubtractiveRandomState& state)
{
    for (int i = 1; i <= 24; ++i)
        state.table[i] = SubtractWord(state.table[i], state.table[i + 31]);
    for (int i = 25; i <= 55; ++i)
        state.table[i] = SubtractWord(state.table[i], state.table[i - 24]);
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
