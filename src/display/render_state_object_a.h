// CRenderStateObjectA (scene object type 9): draws nothing, but sets nine render states on the
// screen's general device for the tasks after it: cull, shade, colour key, blend enable, source
// blend, destination blend, alpha test, alpha reference, alpha function. 255 leaves a state as it is.
#pragma once

#include <array>
#include <cstdint>

#include "display/task.h"

class CRenderStateObjectA : public CTask {
public:
    enum Slot : uint8_t {
        kCull, kShade, kColorKey, kBlendEnable, kSourceBlend, kDestinationBlend, kAlphaTest, kAlphaRef,
        kAlphaFunc, kCount
    };

    CRenderStateObjectA() { Reset(); }
    // Every state back to 255 (left as it is).
    void Reset() { m_states.fill(255); }
    std::array<uint8_t, kCount>& States() { return m_states; }
    void SetState(Slot slot, uint8_t value) { m_states[slot] = value; }

    uint8_t GetType() const override { return kSceneRenderStateA; }
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
