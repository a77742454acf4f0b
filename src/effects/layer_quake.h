// CQuakeEffect ("quake", kind byte 3): shakes the background pictures of a canvas's scene and of
// its back canvas's scene, by moving them (normal mode) or by redrawing each shifted into the
// scene's background work picture (frame mode); everything goes back when it ends.
// Set-up words: w0 cycle, w1 amplitude x, w2 amplitude y, w3 duration ms (0 until stopped), w4 end
// factor text, w5 frame mode, w6 / w7 shake the first / second scene, w8 busy mode.
// Set-up codes: 0; 1 null manager, target, scene or words; 4 a work picture failed; 5 not
// registered (no random source) or not added. SetParams(0) asks for a stop at the cycle's end.
#pragma once

#include "effects/layer_effect.h"
#include "effects/quake_motion.h"
#include "winapi/base.h"

class CScene;

class CQuakeEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);

    int32_t GetKind() override { return kLayerEffectKind; }
    const char* GetName() override { return "quake"; }
    uint8_t GetObjectType() override { return 3; }
    int32_t Step(uint32_t now) override;
    // The pictures go back at once (the quake's Part leaves its cancel open).
    void OnCancel() override { Restore(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

    const QuakeMotion& Motion() const { return m_motion; }

private:
    // Shakes every scene to be shaken by (ox, oy).
    void Apply(int32_t ox, int32_t oy);
    void Restore();

    CScene* m_scenes[2] = {nullptr, nullptr};
    uint8_t m_frameMode = 0;
    uint8_t m_apply[2] = {0, 0};
    LONG m_savedX[2] = {0, 0};
    LONG m_savedY[2] = {0, 0};
    uint8_t m_restored = 0;
    QuakeMotion m_motion;
};

// Draws the background of scene, shifted by (ox, oy) from its position, into its work picture;
// the uncovered strips get the background colour.
void RenderShiftedBackground(CScene& scene, int32_t ox, int32_t oy);
