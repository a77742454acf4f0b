// CSpPanimeEffect ("sp_panime", kind byte 1, task kind 14001): moves a sprite through a step list
// (CSplinePath::ParseCommands' records) over time. Its interpreter is shared: bg_panime,
// sp_change and the sp_parts part objects derive from it and override Complete and ApplyPoint.
// Records: 0 a point (the step's target), 1 the step duration (0 -> 1), 2 the curve (flag byte 0
// the cosine ease, else the power curve with the record's acceleration), 3 / 4 the sprite to the
// low / high priority copied at set-up, 5 / 6 the spline on / off, 7 / 8 the two values, 9 the
// sprite's rotation pivot. The end of the list ends the effect unless it loops (from record 1).
// Set-up words: w0 sprite, w1 step list, w2 first step duration (0: finished at once, -1), w3
// loop flag, w4 busy flag. Codes: 1 no manager or sprite, or a sprite that shares another's work
// image; 2 the list cannot be read (a looping list needs a point after record 0); 3 the manager
// refused.
// QueryV outs: 0 x, 1 y, 2 alpha (-1 without a point), 3 the list's F/B flag, 4 zoom, 5 angle in
// turns (both rounded to float), 6 / 7 the pivot at the end, 8 1.0 with a zoom or turn work image;
// 1 without a list.
#pragma once

#include <cstdint>

#include "drawing/spline_path.h"
#include "effects/layer_effect.h"
#include "effects/sp_loop.h"

class CDrawable;
class CSprite;

// The priorities of the steps' F and B commands, copied by each effect at set-up.
extern uint32_t g_spPriorityLow;
extern uint32_t g_spPriorityHigh;

// The out-and-back offset of a swing of amplitude a and offset b at factor f (0..1).
int32_t SwingOffset(int32_t a, int32_t b, double f);

class CSpPanimeEffect : public CLayerEffect {
public:
    static CPluginEffect* Create(DWORD parameter);

    int32_t GetKind() override { return kSpEffectKind; }
    const char* GetName() override { return "sp_panime"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t now) override;
    void OnCancel() override { Complete(); }
    int SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args) override;
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override;

    // Runs the rest of the list at once (its commands, then the final point placed).
    virtual void Complete();
    // Places the moving object between from and to at factor f (0..1).
    virtual void ApplyPoint(const PathStep& from, const PathStep& to, double f);

    // Reads the list for sprite and starts its interpreter: 0, the reader's code, or 5 for a
    // looping list without a point after record 0.
    int ParseAndStart(CDrawable* sprite, const char* text, bool loop, uint32_t duration);

    const CSplinePath& GetPath() const { return m_path; }
    int32_t GetValue(int i) const { return m_values[i]; }
    bool IsSplineOn() const { return m_spline != 0; }
    bool HasWorkImage() const { return m_rotating != 0; }

protected:
    // After m_path holds the list: the interpreter's state from its start (from = the object's
    // current state). False when the list cannot be played (no point to loop over).
    bool StartList(const PathStep& from, bool loop, uint32_t duration);
    // Plays the list to elapsed time e: 0 running, 1 at its end (not yet completed).
    int32_t RunTo(uint32_t e);
    // The factor of elapsed u within the current step.
    double Factor(uint32_t u) const;
    // The position between two points at f: on the line, or on the spline while it is on; the
    // target's swing added until the step's end.
    void PositionAt(const PathStep& from, const PathStep& to, double f, int32_t* x, int32_t* y) const;
    // The sprite placing of sp_panime, for the classes that add to it.
    void PlaceSprite(const PathStep& from, const PathStep& to, double f);
    // Runs the commands of the rest of the list and answers its final point (null when none).
    const PathStep* RunRest();
    // Gives a sprite the zoom / turn work image its list needs; sets m_rotating.
    void PrepareWorkImage();
    // The sprite's state as a point.
    static PathStep SpriteState(const CDrawable* sprite);

    CSplinePath m_path;
    CDrawable* m_sprite = nullptr;
    size_t m_next = 0;       // the next record to read
    int32_t m_target = -1;   // the record of the step's target point, -1 between steps
    PathStep m_from;         // the previous point (the object's start state before the first)
    int32_t m_fromPoint = -1;
    uint32_t m_base = 0;     // elapsed time at which the current step began
    uint32_t m_duration = 1;
    uint32_t m_start = 0;
    uint8_t m_started = 0;
    uint8_t m_loop = 0;
    uint8_t m_curve = 1;
    uint8_t m_spline = 0;
    uint8_t m_rotating = 0;
    double m_acceleration = 0.0;
    int32_t m_values[2] = {25, 50};
    uint32_t m_low = 0;
    uint32_t m_high = 0;

private:
    void Execute(const PathStep& step);
};

// The registry's second callback of sp_panime. w0 = 0: sets g_spPriorityLow (w1) and
// g_spPriorityHigh (w2), 0. Else w1 the sprite (1 missing or sharing), w2 the step list (its
// reader's code): the list's end state is applied at once and written to out 3 x, 4 y, 5 alpha,
// 6 the list's F/B flag, 7 1 when zoom and angle were applied, 8 zoom, 9 angle in turns, 10 the
// low and 11 the high priority; 0.
int ApplySpPanimeDirect(const CEffectArgs& in, CEffectArgs* out);
