// CSpCfadeEffect ("sp_cfade", kind byte 1, task kind 14001): replaces a sprite's picture by
// another over a time, the old sprite fading out while the new one fades in. When both pictures
// are on screen and overlap, both are blended into one work image shown by a work sprite, so the
// overlap never shows the background through two half-transparent pictures.
// Set-up words: w0 new sprite, w1 old sprite (detached by the caller; owned by the effect once the
// set-up answered 0, deleted with its picture), w2 priority of the work sprite, w3 time ms (0 ->
// 1), w4 busy flag. Codes: 1 no manager; 2 the new drawable is no plain image sprite; 3 neither
// sprite has a picture; 4 blending needs the new sprite's display list and a target; 5 the
// target has no canvas; 6 the manager refused; 7 the work image or sprite cannot be made.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/layer_effect.h"
#include "effects/rect_split.h"
#include "winapi/base.h"

class CDrawable;
class CImage;
class CSprite;

class CSpCfadeEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    // Deletes the owned old sprite with its picture, the work sprite and the work image.
    ~CSpCfadeEffect() override;

    int32_t GetKind() override;
    const char* GetName() override { return "sp_cfade"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Complete(); }
    void MoveOwnSprites(uint32_t priority) override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    // Ends the change at once: only the new sprite stays shown, at full alpha.
    virtual void Complete();

    bool IsBlended() const { return m_blended != 0; }
    CSprite* GetWorkSprite() const { return m_workSprite.get(); }
    CImage* GetWorkImage() const { return m_workImage.get(); }
    const RectSplit& GetSplit() const { return m_split; }

private:
    // Renders the blend at the level into the work image.
    void DrawBlend(BYTE level);
    void DropWork();

    CDrawable* m_old = nullptr;
    bool m_ownsOld = false;
    CSprite* m_new = nullptr;
    std::unique_ptr<CImage> m_workImage;
    std::unique_ptr<CSprite> m_workSprite;
    uint32_t m_time = 1;
    const CImage* m_oldImage = nullptr;
    const CImage* m_newImage = nullptr;
    uint8_t m_blended = 0;
    // Source rectangles of the clipped parts, and where they go in the work image.
    RECT m_oldSource{}, m_newSource{};
    LONG m_oldX = 0, m_oldY = 0, m_newX = 0, m_newY = 0;
    RectSplit m_split;
    uint8_t m_firstStep = 1;
    uint32_t m_start = 0;
    BYTE m_lastLevel = 0;
};
