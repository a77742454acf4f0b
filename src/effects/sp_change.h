// CSpChangeEffect ("sp_change", kind byte 1, task kind 14001): changes a character sprite from its
// old picture to a new one while the step list moves it (an sp_panime whose moving sprite is the
// new one, the old one, or a work sprite blending both).
// Set-up words: w0 new sprite (in a display list, hidden at set-up), w1 old sprite (detached from
// its record; owned, with its image, once the set-up answered 0), w2 step list, w3 change mode
// (0..4), w4 the work sprite's priority, w5 zoom flag, w6 time ms (0 -> 1), w7 busy flag.
// Codes: 1 no manager, new sprite, old sprite, a new sprite that is no plain image sprite or in no
// list; 2 an old sprite with a requested size; 3 the list cannot be read; 4 the work pictures
// cannot be made or the manager refused.
//
// Geometry (ours to choose): both pictures are aligned on their origin, the middle of their
// bottom edge (a character stands on its feet); the new sprite is placed there at set-up and the
// list is read for it, so its end state is exactly sp_panime's end state for that list. The
// moving sprite is placed at the list's position plus its offset from the new sprite; zoom turns
// about the origin. Blended modes hold both pictures in a work image of their union, the new one
// scaled to the old one's width in a second work image when the zoom flag is set, and the work
// sprite's zoom is the mode's curve divided by its start value: at f = 0 the frame shows exactly
// the old picture where it stood, at f = 1 (completion) exactly the new sprite, and the blend
// touches only the union. The blend level always runs from the old picture to the new one.
// QueryV outs: 0 x, 1 y of the final point (1 without a list; 2 the priority given, -1 without a
// point), 3 the list's F/B flag, 4 zoom, 5 angle in turns (floats), 6 / 7 the anchor (the new
// sprite's origin inside it), 8 1 when the new sprite ends zoomed or turned.
#pragma once

#include <memory>

#include "effects/rect_split.h"
#include "effects/sp_panime.h"

class CImage;
class CSprite;

// How the set-up settles a change: the mode stepped, whether a work sprite blends both pictures,
// the zoom curve's mode, whether zoom is on, and the size ratio.
struct SpChangePlan {
    uint8_t mode = 0;
    bool blended = false;
    uint8_t curve = 0;
    bool zoom = false;
    double ratio = 1.0;
};

// The mode rules: input 0 new moves (ratio old / new width), 1 old moves (new / old), 2 and above
// blended (with the zoom flag 3 when the new picture is narrower, ratio new / old, else 2 with old
// / new; without it 5 unless the new sprite is turned or resized), 4 blended and stepped as 1. A
// list that zooms or turns (or the zoom flag) switches zoom on; mode 5 then becomes 2.
SpChangePlan SettleSpChangeMode(int input, bool zoomFlag, bool newTransformed, LONG oldWidth, LONG newWidth,
                                bool listZoomsOrTurns);
// The zoom factor z of a mode at f (0..1) for ratio r.
double SpChangeZoom(uint8_t mode, double r, double f);

class CSpChangeEffect : public CSpPanimeEffect {
public:
    static CPluginEffect* Create(DWORD parameter);
    ~CSpChangeEffect() override;

    const char* GetName() override { return "sp_change"; }
    int32_t Step(uint32_t now) override;
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;
    void Complete() override;
    void MoveOwnSprites(uint32_t priority) override;
    void ApplyPoint(const PathStep& from, const PathStep& to, double t) override;

    const SpChangePlan& GetPlan() const { return m_plan; }
    CSprite* GetWorkSprite() const { return m_workSprite.get(); }
    CSprite* GetMovingSprite() const { return m_moving; }
    const RectSplit& GetSplit() const { return m_split; }
    uint8_t GetLastLevel() const { return m_lastLevel; }

private:
    // The work image of the union and its sprite, hidden at priority in the new sprite's list.
    int PrepareBlend(LONG priority, bool zoomFlag, const RECT& oldRect, LONG originX, LONG originY);
    void Blend(uint8_t level);
    double MovingZoom(double f) const;

    CSprite* m_new = nullptr;
    CSprite* m_old = nullptr;
    uint8_t m_ownOld = 0;
    CSprite* m_moving = nullptr;
    std::unique_ptr<CImage> m_work;
    std::unique_ptr<CSprite> m_workSprite;
    std::unique_ptr<CImage> m_scaledNew;
    SpChangePlan m_plan;
    LONG m_anchorX = 0, m_anchorY = 0;      // the new sprite's origin inside it
    LONG m_pivotX = 0, m_pivotY = 0;        // the moving sprite's origin inside it
    LONG m_offsetX = 0, m_offsetY = 0;      // the moving sprite's place less the new one's
    const CImage* m_oldPicture = nullptr;
    RECT m_oldSource{};
    const CImage* m_newPicture = nullptr;
    RECT m_newSource{};
    RectSplit m_split;
    RECT m_newOnly[4]{};                    // work-image parts only the new picture covers
    int m_newOnlyCount = 0;
    POINT m_oldAt{}, m_newAt{};             // the pictures' places in the work image
    LONG m_priority = 0;
    uint32_t m_time = 1;
    uint32_t m_changeStart = 0;
    uint8_t m_first = 1;
    uint32_t m_elapsed = 0;
    uint8_t m_lastLevel = 0;
    uint8_t m_blended = 0;
    uint8_t m_done = 0;
};
