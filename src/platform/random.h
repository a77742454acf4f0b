// The engine's two random generators: the subtractive generator with a 55-word table, whose
// program-wide state g_RandomState feeds the random wipes, the noise table and the effects, and the
// Mersenne Twister of the scripts' random natives. Every user of a subtractive state draws the same
// way (DrawSubtractiveRandom), so equal seeds give equal pictures.
#pragma once

#include <cstdint>

struct SubtractiveRandomState {
    int16_t position;  // index of the word drawn last, 1..55; 55 right after seeding
    int32_t table[56]; // words 1..55; word 55 holds the seed after seeding; word 0 unused
};

// Seeds the state with `seed` (three refill passes; the first draw makes the fourth).
void SeedSubtractiveRandom(SubtractiveRandomState& state, int32_t seed);
// One refill pass (lags 24 and 55, modulus 1000000000); the position is not touched.
void RefillSubtractiveRandom(SubtractiveRandomState& state);
// `times` refill passes in a row (none for 0 or less).
void RefillSubtractiveRandom(SubtractiveRandomState& state, int64_t times);

// One draw: the next word, refilling after every 55 draws. Callers reduce it as value % n.
inline uint32_t DrawSubtractiveRandom(SubtractiveRandomState& state)
{
    int position = state.position + 1;
    if (position > 55 || position < 1) { // a corrupt negative position refills too
        RefillSubtractiveRandom(state);
        position = 1;
    }
    state.position = static_cast<int16_t>(position);
    return static_cast<uint32_t>(state.table[position]);
}

// The program-wide state, seeded from timeGetTime when the program starts.
extern SubtractiveRandomState g_RandomState;

// The 256-byte noise table of the noise wipes: built (with new uint8_t[256]) by the raster's
// BuildNoiseTable on first use, freed (delete[]) by the destructor of the global CRandom object.
extern uint8_t* g_pNoiseTable;

// Class of the one global object that seeds g_RandomState at start-up and frees the noise table
// at exit.
class CRandom {
public:
    CRandom();
    virtual ~CRandom();
    CRandom(const CRandom&) = delete;
    CRandom& operator=(const CRandom&) = delete;
};

// MT19937 with the 1998 seeding (linear congruential, multiplier 69069).
class CMersenneTwister {
public:
    CMersenneTwister();
    virtual ~CMersenneTwister() = default;

    void Seed(uint32_t seed);
    // The next tempered word; an object never seeded starts with seed 4357.
    uint32_t Next();

private:
    uint32_t m_mt[624];
    int32_t m_index; // 624 = all words used, 625 = never seeded
};
