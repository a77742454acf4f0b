// CRenderStateObjectB (scene object type 10): draws nothing, but sets nine render states on the
// screen's general device for the tasks after it: blend enable, source blend, destination blend,
// and texture stage 0's colour op, arg 1, arg 2, alpha op, arg 1, arg 2. 255 leaves a state as it is.
#pragma once

#include <array>
#include <cstdint>

#include "display/task.h"

class CRenderStateObjectB : public CTask {
public:
    enum Slot : uint8_t {
        kBlendEnable, kSourceBlend, kDestinationBlend, kColorOp, kColorArg1, kColorArg2, kAlphaOp,
        kAlphaArg1, kAlphaArg2, kCount
    };

    CRenderStateObjectB() { Reset(); }
    // Every state back to 255 (left as it is).
    void Reset() { m_states.fill(255); }
    std::array<uint8_t, kCount>& States() { return m_states; }
    void SetState(Slot slot, uint8_t value) { m_states[slot] = value; }

    uint8_t GetType() const override { return kSceneRenderStateB; }
    LONG GetX() const override { return 0; }
    LONG GetY() const override { return 0; }
    void SetPosition(LONG, LONG) override {}
    void SetSize(LONG, LONG) override {}
    void SetSizeAndPosition(LONG, LONG, LONG, LONG) override {}
    void MoveBy(LONG, LONG) override {}
    bool HitTest(LONG, LONG, bool) override { return false; }
    bool Overlaps(CTask*) override { return false; }
    bool GetBounds(RECT*) override { return false; }
    // 0 disabled or applied; 1 no context.
    int Draw(IDirectDrawSurface7* target, const RECT* output, CScreen* context) override;
    int OnDeviceRestore() override { return 0; }

private:
    std::array<uint8_t, kCount> m_states{};
};
