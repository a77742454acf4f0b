// "ripple" (CRippleFilter, kind 0): cross-fades from the old to the new picture while rings
// travel outward from a centre and push both pictures radially, their strength rising and
// falling with a half sine. Table driven: a quadrant table gives each pixel its ring and angle, a
// displacement table the shift of every level, ring and angle; the tables of a geometry are
// shared through a four-slot cache that the class teardown empties.
// SetParamsV words: duration (below 2: 2), centre x and y (negative: the middle; past the edge:
// the last pixel), ring count (16, 32, 64 or 128, else 16), aspect and speed as decimal texts
// (null, unreadable, not finite: 1.0 and 6.0; an aspect <= 0: 1.0), amplitude (below 1: 24,
// above 127: 127). Codes: 1, 2 as every transition's; 5 no memory for the tables.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/screen_transition.h"

// One geometry's tables.
struct RippleTables {
    uint32_t holdCount = 0;
    int32_t width = 0, height = 0, centreX = 0, centreY = 0, rings = 16;
    float aspect = 1.0f;
    int32_t amplitude = 24;
    int32_t quadrantWidth = 0, quadrantHeight = 0;
    std::vector<uint16_t> quadrant;     // quadrantHeight rows of quadrantWidth
    std::vector<uint16_t> displacement; // 4A levels of 2N rows of 32
};

// The tables' parts, exposed for the tests.
int32_t RippleQuadrantEntry(int32_t row, int32_t column, int32_t rings, float aspect);
int32_t RippleProfile(int32_t i, int32_t rings);
int32_t RippleAngleCos(int32_t a);
int32_t RippleAngleSin(int32_t a);

// The cache: a record for the geometry (found or built, the caller's hold added) or null when
// memory is short; Release drops one hold. Slots() lists the records, most recent first.
RippleTables* AcquireRippleTables(int32_t width, int32_t height, int32_t centreX, int32_t centreY,
                                  int32_t rings, float aspect, int32_t amplitude);
void ReleaseRippleTables(RippleTables* tables);
const RippleTables* RippleCacheSlot(int index);

// One run of pixels: dst gets `count` pixels of row y from column x on; quad points at the
// quadrant entry of column x; step is +1 (forward, right of the centre) or -1 (mirrored).
struct RippleRun {
    uint32_t* dst;
    const uint8_t* oldBits;
    const uint8_t* newBits;
    int32_t oldPitch, newPitch;
    const uint16_t* quad;
    const uint16_t* displacement;
    int32_t x, y, count, opacity;
    int32_t width, height; // for the border kernels
    // Inner runs, optional: for each entry of the displacement row, its shift as an offset in
    // pixels (dy × pitch / 4 - dx forward, + dx mirrored); given only when both pictures share
    // their pitch.
    const int32_t* offsets;
};
using RippleKernel = void (*)(const RippleRun& run);
struct RippleKernels {
    RippleKernel forward, mirrored, borderForward, borderMirrored;
};
RippleKernels RipplePlainKernels();
RippleKernels RippleSse2Kernels();
RippleKernels RippleAvx2Kernels(); // only while UseAvx2() holds
// The set a frame draws with: the widest the SIMD level allows, plain while g_bUseMmx is clear.
RippleKernels RippleActiveKernels();

// The class init (nothing to prepare) and teardown (empties the cache).
void RippleClassInit();
void RippleClassTeardown();

class CRippleFilter : public CTimedFilter {
public:
    static CPluginFilter* Create(DWORD parameter);
    ~CRippleFilter() override;
    uint8_t GetObjectType() override { return 0; }
    const char* GetName() override { return "ripple"; }
    int SetParamsV(CImageObject* canvas, const CEffectArgs& args) override;
    int Step(DWORD now) override;
    int Draw(const FilterJob& job) override;
    int IsDone() override { return m_opacity == 255 ? -1 : 0; }

    int32_t CentreX() const { return m_centreX; }
    int32_t CentreY() const { return m_centreY; }
    int32_t Rings() const { return m_rings; }
    float Aspect() const { return m_aspect; }
    float Speed() const { return m_speed; }
    int32_t Amplitude() const { return m_amplitude; }
    int32_t Opacity() const { return m_opacity; }
    int32_t Phase() const { return m_phase; }
    int32_t Level() const { return m_level; }
    int32_t Margin() const { return m_margin; }
    const RippleTables* Tables() const { return m_tables; }

private:
    int32_t m_centreX = 0, m_centreY = 0, m_rings = 16;
    float m_aspect = 1.0f, m_speed = 6.0f;
    int32_t m_amplitude = 24;
    RippleTables* m_tables = nullptr;
    int32_t m_opacity = 0, m_phase = 0, m_level = 0, m_margin = 2;
    const uint16_t* m_row = nullptr;
    // The inner runs' offsets of m_row at a pitch (forward, then mirrored), remade when either
    // changes.
    std::vector<int32_t> m_offsets;
    const uint16_t* m_offsetsRow = nullptr;
    int32_t m_offsetsPitch = 0;
};
