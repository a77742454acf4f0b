// CSpLoopEffect ("sp_loop", kind byte 1, task kind 14001): a picture that scrolls endlessly
// inside a window of the scene, drawn by two sprites (the second shows the picture's beginning
// where its end falls inside the window).
// Set-up words: w0 picture file, w1 canvas (null: the target), w2 x, w3 y, w4 window size along
// the direction (below 1: the picture's), w5 direction (0 left, 1 right, 2 up, 3 down; above 3 ->
// 3), w6 period ms (0 -> 1), w7 repeat count (0 until asked to stop), w8 stop-at-end option (kept),
// w9 busy flag. Codes: 1 no manager or scene, 2 the picture cannot be loaded or is smaller than
// the window, 3 the sprites cannot be made, 4 the manager refused.
// SetParams: (0) stop at the end of the period; (1, v) visible; (2, x, y) move; (3, p) priority.
#pragma once

#include <memory>

#include "effects/layer_effect.h"
#include "winapi/base.h"

class CImage;
class CScene;
class CSprite;

// Task kind of the sprite effects.
constexpr int32_t kSpEffectKind = 14001;

class CSpLoopEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CSpLoopEffect() override;

    int32_t GetKind() override { return kSpEffectKind; }
    const char* GetName() override { return "sp_loop"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

    CSprite* GetSprite(int i) const { return m_sprites[i]; }

private:
    void Draw(LONG offset);
    void Remove();

    std::unique_ptr<CImage> m_picture;
    CSprite* m_sprites[2] = {nullptr, nullptr};
    CScene* m_scene = nullptr;
    LONG m_x = 0, m_y = 0;
    LONG m_window = 0;
    uint8_t m_direction = 0;
    uint32_t m_period = 1;
    uint32_t m_repeats = 0;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    LONG m_span = 0;
    LONG m_lastOffset = -1;
    uint8_t m_stop = 0;
    uint8_t m_visible = 1;
    uint8_t m_stopAtEnd = 0;
};
