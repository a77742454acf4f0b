// The shaking motion shared by the layer quake and the quake screen filter: from the elapsed time
// (and, in random mode, the shared generator) it gives the offset of each step, weakening towards
// an end factor over a duration, following a cosine cycle or jumping at random.
#pragma once

#include <cstdint>

#include "platform/random.h"

struct QuakeMotion {
    uint32_t duration = 0;   // ms; 0 = until stopped
    int64_t cycle = 0;       // with a duration: cycles × 256; without: cycle length in ms; 0 = random
    double amplitudeX = 0.0; // pixels
    double amplitudeY = 0.0;
    double endFactor = 0.0;
    uint32_t start = 0;
    uint8_t firstStep = 1;
    uint8_t alternate = 0;
    uint8_t stopState = 0; // 0 running, 1 stop asked, 2 stopping
};

// The largest offset a quake gives on either axis: a huge amplitude is clipped, never wrapped.
constexpr int32_t kQuakeOffsetLimit = 1 << 24;

// Stores the cycle word of a set-up: w0 × 256 with a duration, |w0| without (64-bit: the word
// may be any integer).
void SetQuakeCycle(QuakeMotion& motion, int32_t cycleWord, uint32_t duration);

// One step at time now → 0 with the offsets (dx, dy) to shake by, -1 when the quake is over.
// A null source gives offsets 0 in random mode.
int StepQuakeMotion(QuakeMotion& motion, uint32_t now, SubtractiveRandomState* source, int32_t* dx, int32_t* dy);
