#include "effects/quake_motion.h"

#include <algorithm>
#include <cmath>

#include "platform/cos_table.h"

namespace {

const CCosTable& CosTable()
{
    if (g_pCosTable != nullptr)
        return *g_pCosTable;
    static const CCosTable table;
    return table;
}

// Truncation toward zero, clipped to the offset limit (NaN gives 0).
int32_t ClipOffset(double value)
{
    if (!(value == value))
        return 0;
    value = std::clamp(value, -static_cast<double>(kQuakeOffsetLimit), static_cast<double>(kQuakeOffsetLimit));
    return static_cast<int32_t>(std::trunc(value));
}

int64_t TruncAmplitude(double amplitude)
{
    if (!(amplitude == amplitude))
        return 0;
    return static_cast<int64_t>(std::clamp(std::trunc(amplitude), -2147483648.0, 2147483647.0));
}

} // namespace

void SetQuakeCycle(QuakeMotion& motion, int32_t cycleWord, uint32_t duration)
{
    // Both used to be 32-bit: w0 × 256 wrapped and |INT_MIN| stayed negative.
    motion.cycle = duration != 0 ? int64_t{cycleWord} * 256 : std::abs(int64_t{cycleWord});
}

int StepQuakeMotion(QuakeMotion& m, uint32_t now, SubtractiveRandomState* source, int32_t* dx, int32_t* dy)
{
    *dx = 0;
    *dy = 0;
    if (m.firstStep) {
        m.firstStep = 0;
        m.start = now;
        m.alternate = 0;
    }
    uint32_t e = now - m.start;
    double factor = 1.0;
    int64_t angle = 0;
    if (m.duration != 0) {
        if (e >= m.duration)
            return -1;
        const double f = static_cast<double>(e) / m.duration;
        factor = 1.0 - (1.0 - m.endFactor) * f;
        if (m.cycle != 0)
            angle = static_cast<int64_t>(std::trunc(static_cast<double>(m.cycle) * f));
    } else {
        if (m.cycle != 0) {
            if (e >= m.cycle) {
                m.start = now;
                e = static_cast<uint32_t>(std::min<int64_t>(m.cycle, UINT32_MAX));
                if (m.stopState == 1)
                    m.stopState = 2;
            }
            angle = static_cast<int64_t>(std::trunc(static_cast<double>(e) / static_cast<double>(m.cycle) * 511.0));
        } else if (m.stopState == 1) {
            m.stopState = 2;
        }
        if (m.stopState == 2)
            return -1;
    }
    if (m.cycle != 0) {
        const int64_t s = CosTable().Cos(static_cast<int32_t>((angle - 128) & 511));
        // 64-bit: trunc(amplitude) × s overflowed 32 bits from amplitudes of 32768 on.
        *dx = ClipOffset(static_cast<double>((TruncAmplitude(m.amplitudeX) * s) >> 16) * factor);
        *dy = ClipOffset(static_cast<double>((TruncAmplitude(m.amplitudeY) * s) >> 16) * factor);
        return 0;
    }
    if (source == nullptr)
        return 0;
    const double ax = m.amplitudeX, ay = m.amplitudeY;
    const double r1 = DrawSubtractiveRandom(*source);
    const double r2 = DrawSubtractiveRandom(*source);
    const double centredX = (r1 * ax * 1e-9 - ax * 0.5) * factor;
    const double centredY = (r2 * ay * 1e-9 - ay * 0.5) * factor;
    if (ax == ay) {
        *dx = ClipOffset(centredX);
        *dy = ClipOffset(centredY);
    } else if (ax < ay) {
        *dx = ClipOffset(centredX);
        *dy = ClipOffset(m.alternate ? r2 * 1e-9 * ay * factor : -r2 * 1e-9 * ay * factor);
    } else {
        *dx = ClipOffset(m.alternate ? r1 * 1e-9 * ax * factor : -r1 * 1e-9 * ax * factor);
        *dy = ClipOffset(centredY);
    }
    m.alternate ^= 1;
    return 0;
}
