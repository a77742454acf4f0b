// CSpGfadeEffect ("sp_gfade", kind byte 1, task kind 14001): wipes a sprite in behind a soft
// gradient edge: the shown part of its source rectangle grows from one side over the duration,
// and a strip of the gradient's width just behind the edge has its alpha bytes ramped.
// Set-up words: w0 sprite, w1 duration ms (0: shown whole at once, -1), w2 direction (0 from the
// left, 1 from the right, 2 from the top, 3 from the bottom; above 3 -> 3), w3 gradient width (0
// hard edge), w4 acceleration (decimal text; null 0.0 and no busy call). Codes: 1 no manager or no
// image sprite, 3 the gradient cannot be made, 5 the manager refused.
#pragma once

#include <cstdint>
#include <vector>

#include "effects/layer_effect.h"
#include "winapi/base.h"

class CSprite;

class CSpGfadeEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    // Gives the picture back the alpha bytes of the strip it ramped last.
    ~CSpGfadeEffect() override;

    int32_t GetKind() override;
    const char* GetName() override { return "sp_gfade"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    // The sprite is left whole and shown, its picture's alpha untouched.
    void OnCancel() override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;

    // The strip whose alpha bytes are ramped now (source-image coordinates; empty: none).
    const RECT& GetStrip() const { return m_strip; }
    LONG GetSpan() const { return m_span; }

private:
    void RestoreStrip();
    void ShowWhole();

    CSprite* m_sprite = nullptr;
    uint32_t m_duration = 0;
    uint8_t m_direction = 0;
    uint16_t m_gradient = 0;
    double m_acceleration = 0.0;
    RECT m_source{};
    LONG m_x = 0, m_y = 0;
    LONG m_span = 0;
    std::vector<uint8_t> m_ramp;
    std::vector<uint8_t> m_saved; // the strip's alpha bytes as they were
    RECT m_strip{};
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    LONG m_lastEdge = 0;
    uint8_t m_done = 0;
};
