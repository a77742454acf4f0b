#include "platform/random.h"
#include "winapi/simd_level.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

// Reference draws computed apart from the engine from the stated algorithm (32-bit words,
// modulus 10^9, lags 24 and 55, three refills at seeding): draws 1, 2, 3, 55, 56 and 57.
TEST(SubtractiveRandom, MatchesReferenceSequences)
{
    struct Case {
        int32_t seed;
        uint32_t draws[6];
    } cases[] = {
        {0, {692824711u, 864580962u, 30005235u, 783916132u, 613610054u, 771029073u}},
        {1, {89320604u, 577544758u, 463496939u, 806007132u, 849306556u, 378918708u}},
        {12345, {434623796u, 402642582u, 485091115u, 497311132u, 286927244u, 168573148u}},
        // a clock reading above 2^31 is a negative seed stored as it is; the arithmetic wraps
        {static_cast<int32_t>(3000000000u),
         {259509383u, 812565346u, 262692851u, 247980132u, 742011462u, 868652113u}},
    };
    for (const Case& c : cases) {
        SubtractiveRandomState state;
        SeedSubtractiveRandom(state, c.seed);
        EXPECT_EQ(state.position, 55);
        uint32_t draws[57];
        for (uint32_t& d : draws)
            d = DrawSubtractiveRandom(state);
        const int at[6] = {0, 1, 2, 54, 55, 56};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(draws[at[i]], c.draws[i]) << "seed " << c.seed << " draw " << at[i] + 1;
    }
}

TEST(SubtractiveRandom, DrawsTwoToFiftyFiveReadTheTableWithoutRefill)
{
    SubtractiveRandomState state;
    SeedSubtractiveRandom(state, 777);
    DrawSubtractiveRandom(state); // refills
    SubtractiveRandomState copy = state;
    for (int i = 2; i <= 55; ++i)
        EXPECT_EQ(DrawSubtractiveRandom(state), static_cast<uint32_t>(copy.table[i]));
    EXPECT_EQ(0, std::memcmp(copy.table, state.table, sizeof copy.table));
    RefillSubtractiveRandom(copy);
    EXPECT_EQ(DrawSubtractiveRandom(state), static_cast<uint32_t>(copy.table[1]));
}

// The refill at every SIMD level, one at a time or several in one go, gives the plain one's words,
// from seeded tables and from tables of any 32-bit words (a negative seed puts words outside the modulus in the table).
TEST(SubtractiveRandom, RefillIsTheSameAtEveryLevel)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        SubtractiveRandomState start;
        SeedSubtractiveRandom(start, static_cast<int32_t>(rng()));
        if (round % 2 == 1)
            for (int i = 1; i <= 55; ++i)
                start.table[i] = static_cast<int32_t>(rng());
        SubtractiveRandomState plain = start;
        {
            ScopedSimdLevel scoped(SimdLevel::Plain);
            RefillSubtractiveRandom(plain);
            RefillSubtractiveRandom(plain);
        }
        for (SimdLevel level : kAllSimdLevels) {
            ScopedSimdLevel scoped(level);
            SubtractiveRandomState state = start;
            RefillSubtractiveRandom(state);
            RefillSubtractiveRandom(state);
            ASSERT_EQ(0, std::memcmp(state.table, plain.table, sizeof plain.table))
                << "round " << round << ", level " << static_cast<int>(level);
            SubtractiveRandomState twice = start;
            RefillSubtractiveRandom(twice, 2);
            ASSERT_EQ(0, std::memcmp(twice.table, plain.table, sizeof plain.table))
                << "round " << round << ", level " << static_cast<int>(level) << ", two in one go";
        }
    }
}

TEST(SubtractiveRandom, CorruptPositionRefillsInsteadOfReadingOutside)
{
    SubtractiveRandomState state;
    SeedSubtractiveRandom(state, 5);
    state.position = -7;
    DrawSubtractiveRandom(state);
    EXPECT_EQ(state.position, 1);
}

TEST(MersenneTwister, MatchesReferenceAndUnseededUses4357)
{
    CMersenneTwister unseeded;
    const uint32_t expected4357[] = {2867219139u, 1585203162u, 3113124129u};
    for (uint32_t e : expected4357)
        EXPECT_EQ(unseeded.Next(), e);
    CMersenneTwister seeded;
    seeded.Seed(4357);
    uint32_t last = 0, after = 0;
    for (int i = 0; i < 625; ++i) {
        uint32_t v = seeded.Next();
        if (i < 3) {
            EXPECT_EQ(v, expected4357[i]);
        }
        if (i == 623)
            last = v;
        if (i == 624)
            after = v;
    }
    EXPECT_EQ(last, 589403970u);   // end of the first block
    EXPECT_EQ(after, 1044672925u); // first word of the regenerated block
    seeded.Seed(1);
    EXPECT_EQ(seeded.Next(), 3556162021u);
    EXPECT_EQ(seeded.Next(), 4012392791u);
}
