// Helpers shared by the wipe entries: the frame prologue, the shared random state and the cosine
// table, in the forms the entries use them.
#pragma once

#include "platform/cos_table.h"
#include "platform/random.h"
#include "raster/wipe_canvas.h"
#include "raster/wipes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// Opens the common frame; returns from the entry when its shape does not follow.
#define WIPE_BEGIN(canvas)                                                                                   \
    CWipeCanvas canvas;                                                                                      \
    {                                                                                                        \
        int32_t frameResult_ = 0;                                                                            \
        if (!canvas.Begin(dst, src, progress, x, y, mode, screen, &frameResult_))                            \
            return frameResult_;                                                                             \
    }

namespace wipe {

// One draw of the shared subtractive state.
inline uint32_t Draw()
{
    return DrawSubtractiveRandom(g_RandomState);
}

// Draws of the shared subtractive state, the same sequence as Draw, with the position kept in a
// register while the entry's loop runs (a draw per block otherwise waits on the store of the
// previous one); the position is written back when the run ends. Nothing else may draw meanwhile.
class RandomRun {
public:
    RandomRun() : m_position(g_RandomState.position) {}
    RandomRun(const RandomRun&) = delete;
    RandomRun& operator=(const RandomRun&) = delete;
    ~RandomRun() { g_RandomState.position = static_cast<int16_t>(m_position); }

    uint32_t Draw()
    {
        ++m_position;
        if (m_position > 55 || m_position < 1) { // a corrupt negative position refills too
            RefillSubtractiveRandom(g_RandomState);
            m_position = 1;
        }
        return static_cast<uint32_t>(g_RandomState.table[m_position]);
    }

    // True when the next three draws come from the table as it stands (no refill among them).
    bool ThreeAhead() const { return m_position >= 0 && m_position <= 52; }
    // Draw k (1 to 3) from now, without drawing it; only when ThreeAhead.
    uint32_t Peek(int k) const { return static_cast<uint32_t>(g_RandomState.table[m_position + k]); }
    // Takes n peeked draws (at most those ThreeAhead or EightAhead vouches for).
    void Skip(int n) { m_position += n; }
    // True when the next eight draws come from the table as it stands.
    bool EightAhead() const { return m_position >= 0 && m_position <= 47; }
    // The next draws' words in the table, read without drawing them; only when EightAhead.
    const int32_t* Ahead() const { return &g_RandomState.table[m_position + 1]; }
    // Draws left before the next refill (0 to 55), or -1 for a position out of range.
    int Left() const { return m_position >= 0 && m_position <= 55 ? 55 - m_position : -1; }
    // The refill the next draw would make; the draws then continue from the new table's start.
    void Refill()
    {
        RefillSubtractiveRandom(g_RandomState);
        m_position = 0;
    }
    // Takes n draws unread: only the refills among them are made.
    void Pass(int64_t n)
    {
        if (n <= 0)
            return;
        if (Left() < 0) {
            Draw();
            --n;
        }
        if (n > Left()) {
            // The refills these draws pass, in one go; the draws then end inside the last table.
            n -= Left();
            const int64_t times = (n + 54) / 55;
            RefillSubtractiveRandom(g_RandomState, times);
            m_position = static_cast<int>(n - 55 * (times - 1));
            return;
        }
        m_position += static_cast<int>(n);
    }

private:
    int m_position;
};

// Entry i of the 16.16 cosine table (index AND 511); the table must exist.
inline int64_t Cos(int64_t i)
{
    return g_pCosTable->Cos(static_cast<int32_t>(i & 511));
}

// trunc(sqrt(v)) of a non-negative integer (negative values, which rounding can give at a rim,
// count as 0).
inline int64_t ISqrt(int64_t v)
{
    return v > 0 ? static_cast<int64_t>(std::sqrt(static_cast<double>(v))) : 0;
}

// Arithmetic shift right (rounds toward minus infinity).
inline int64_t Sar(int64_t v, int n)
{
    return v >> n;
}

} // namespace wipe
