// The eased-time curve of the gliding effects: elapsed time e of a duration d bent by an
// acceleration a (below 0 fast then slow, above 0 slow then fast, 0 linear).
#pragma once

#include <cmath>
#include <cstdint>

// e ≥ d (also d ≤ 0) → d; a < 0: (1 - (1 - e/d)^-a) d; a > 0: (e/d)^a d; a = 0: e.
inline double EasedTime(double e, double d, double a)
{
    if (!(e < d) || d <= 0.0)
        return d;
    if (e <= 0.0)
        return 0.0;
    double eased = e;
    if (a < 0.0)
        eased = (1.0 - std::pow(1.0 - e / d, -a)) * d;
    else if (a > 0.0)
        eased = std::pow(e / d, a) * d;
    // An infinite acceleration must not hand NaN to the callers' integer conversions.
    return std::isfinite(eased) ? eased : e;
}

// The time since an effect's first step: that step fixes the start (kept in start, with started
// set), so an effect begins at its first step, whenever it was added.
inline uint32_t ElapsedSinceFirstStep(uint32_t now, uint32_t& start, uint8_t& started)
{
    if (!started) {
        start = now;
        started = 1;
    }
    return now - start;
}
