// Wipe steps with the parameters a script can hand in beyond the usual ranges: progress far past
// the end, positions and sizes at the edges, unusual modes. Each case is an input that once broke a
// step; nothing may overflow or touch memory outside the pictures.
#include "wipe_test_util.h"

#include <climits>

namespace {

using namespace wipetest;

constexpr LONG kSw = 21, kSh = 13, kDw = 24, kDh = 16;

class WipeHostileInputTest : public WipeTest {};

TEST_F(WipeHostileInputTest, ProgressFarPastTheEndInAnUnknownModeDrawsNothing)
{
    // An unknown mode does not take the whole-source path at 256, so the entries run their shapes
    // with the progress as given: the rotating and swirling ones once overflowed turning it into an
    // angle in 32 bits, the directed dissolves doubling it.
    auto src = MakeSource(kSw, kSh);
    const auto untouched = Pixels(*MakeDestination(kDw, kDh));
    for (int32_t progress : {257, 1 << 30, INT32_MAX}) {
        for (int index = 0; index < kTransitionCount; ++index) {
            if (index == 53 || (index >= 68 && index <= 70))
                continue; // the cross-fade refuses the mode; the filters run whatever the mode
            int32_t result = -99;
            EXPECT_EQ(Step(index, *src, kDw, kDh, progress, 2, 1, 3, &result), untouched) << index;
            EXPECT_EQ(result, 0) << index;
        }
    }
}

} // namespace
