// CBgPanimeEffect ("bg_panime", kind byte 0, task kind 14000): the sp_panime step list played on
// a canvas's background layer. Without a picture mode the layer's picture moves to each position;
// with the work image the picture (or a picture rendered from the whole scene) is scrolled
// through it so that the picture's point (x, y) lies at its top-left corner.
// Set-up words: w0 step list, w1 first step duration (0: finished at once, -1), w2 picture
// option (65535 none, and w3..w5 are ignored; other non-zero values ask for the work image), w3
// render flag (the scene rendered into a picture that stands in for the layer's, its drawables
// hidden), w4 hide-overlay option, w5 a second option (kept), w6 busy flag. Codes: 1 no manager
// or scene, 2 the list cannot be read or the manager refused, 3 / 4 the rendered picture cannot
// be made / drawn, 5 no work image.
// QueryV outs: 0 x, 1 y of the list's final point; 1 without a list, 2 without a point.
#pragma once

#include <memory>

#include "effects/bg_effects.h"
#include "effects/sp_panime.h"

class CImage;
class CScene;
class CSurface;

class CBgPanimeEffect : public CSpPanimeEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CBgPanimeEffect() override;

    int32_t GetKind() override { return kBgEffectKind; }
    const char* GetName() override { return "bg_panime"; }
    uint8_t GetObjectType() override { return 0; }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;
    void Complete() override;
    void ApplyPoint(const PathStep& from, const PathStep& to, double f) override;

    // 0 none, 1 work image, 2 rendered picture, 3 both.
    uint8_t GetPictureMode() const { return m_mode; }

private:
    // Undoes the picture mode: drawables shown, the displaced picture back, work image released.
    void EndPictureMode();

    CScene* m_scene = nullptr;
    uint8_t m_mode = 0;
    std::unique_ptr<CImage> m_rendered;
    CSurface* m_displaced = nullptr;
    uint8_t m_hideOverlay = 0;
    uint8_t m_option = 0;
};

// The registry's second callback of bg_panime. Words: display object, step list; out 2 x, 3 y.
// The layer's picture is moved to the list's final point. -1 no canvas, else the reader's code, 0.
int ApplyBgPanimeDirect(const CEffectArgs& in, CEffectArgs* out);
