// CNoiseEffect ("noise", kind byte 3): lays a flickering noise picture over a canvas's scene and
// its back canvas's scene through one sprite in each, redrawn ten times a second from a random
// place of "SYS\NOISE.ELG"; it runs until cancelled, and a cancel hides the sprites.
// Set-up words: w0 alpha, w1 priority, w2 / w3 show in the first / second scene.
// Set-up codes: 0; 1 null manager or target; 2 no back canvas or a scene missing; 3 the noise
// picture failed to load; 4 the frame picture or a sprite could not be made; 5 not registered
// or not added. SetParams(first, second): the show flags, crosswise after the pages swapped.
#pragma once

#include <memory>

#include "effects/layer_effect.h"
#include "winapi/base.h"

#include "raster/image.h"
class CScene;
#include "drawing/sprite.h"

class CNoiseEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    // Removes the sprites from their lists.
    ~CNoiseEffect() override;

    int32_t GetKind() override { return kLayerEffectKind; }
    const char* GetName() override { return "noise"; }
    uint8_t GetObjectType() override { return 3; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int SetParamsV(const CEffectArgs& args) override;

    CSprite* GetSprite(int i) const { return i == 0 || i == 1 ? m_sprites[i].get() : nullptr; }
    CImage* GetFrameImage() const { return m_frame.get(); }

private:
    void DrawFrame();
    void Show(bool first, bool second);

    CImageObject* m_target = nullptr;
    CScene* m_scenes[2] = {nullptr, nullptr};
    std::unique_ptr<CImage> m_noise;
    std::unique_ptr<CImage> m_frame;
    std::unique_ptr<CSprite> m_sprites[2];
    uint8_t m_show[2] = {0, 0};
};

// Fills frame (32 bits) row after row from the 32-bit noise picture, starting at pixel start
// and wrapping to its first pixel at its end.
void CopyNoiseFrame(const CImage& noise, CImage& frame, uint64_t start);
