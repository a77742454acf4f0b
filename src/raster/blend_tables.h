// The lookup tables behind the raster's per-pixel arithmetic: a rounded byte multiply, a
// saturation table, opacity factors, the source weight of a source laid over a destination with
// its own alpha, and the union of two alphas. Built once before the first drawing operation
// (BuildBlendTables also runs from a static initialiser, so they are always ready) and read-only
// afterwards.
#pragma once

#include <cstdint>

// [a][b] = floor((a * b + 127) / 255).
extern uint8_t g_MulTable[256][256];
// Indexable from -768 to +1023: 0 below 0, the index for 0..255, 255 above.
extern const uint8_t* const g_ClampTable;
// [i] = blue, green, red, alpha words: (0,0,0,0) for 0, else (i + 1, i + 1, i + 1, 0).
extern uint16_t g_OpacityFactors[256][4];
// [d][s]: weight (in 1/255) of a source of alpha s laid over a destination of alpha d.
extern uint8_t g_SourceWeightTable[256][256];
// [a][b] = 255 - floor((255 - a) * (255 - b) / 255).
extern uint8_t g_AlphaUnionTable[256][256];

// Fills the five tables (idempotent).
void BuildBlendTables();

// A ramp of count bytes or 32-bit colours from start towards end, through the opacity factors.
class CGradientRamp {
public:
    CGradientRamp() { Init(); }
    // Constructs and builds; Build's result is stored in *resultOut (when given).
    CGradientRamp(int* resultOut, int count, uint32_t start, uint32_t end, uint8_t depth);
    ~CGradientRamp() { Free(); }
    CGradientRamp(const CGradientRamp&) = delete;
    CGradientRamp& operator=(const CGradientRamp&) = delete;

    // The empty state (no buffer, count 0, start and end -1).
    void Init();
    // 0 success, 1 count below 2, 2 no memory, 3 depth neither 8 nor 32, -1 any other failure;
    // a failure leaves the ramp empty.
    int Build(int count, uint32_t start, uint32_t end, uint8_t depth);
    void Free();

    const uint8_t* Bytes() const { return static_cast<const uint8_t*>(m_buffer); }
    const uint32_t* Colors() const { return static_cast<const uint32_t*>(m_buffer); }
    int Count() const { return m_count; }
    uint32_t Start() const { return m_start; }
    uint32_t End() const { return m_end; }
    uint8_t Depth() const { return m_depth; }

private:
    void* m_buffer;
    int m_count;
    uint32_t m_start;
    uint32_t m_end;
    uint8_t m_depth;
};
