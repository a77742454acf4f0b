// CPathMoveTask: moves a sprite (its position or its source origin) or a scene object through
// (x, y, value) points in straight lines or on a natural cubic spline.
#pragma once

#include "display/path_task.h"

class CPathMoveTask : public CPathTask {
public:
    // targetMode: 0 no position change, 1 the position, 2 the sprite's source origin; curve: the
    // spline (needs at least 2 given points); waitMode: 1 lowers the thread priority while running.
    CPathMoveTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                  uint8_t targetMode, uint8_t curve, uint8_t loop, uint8_t waitMode);

    // 12000 scene object, 12003 sprite, 12004 sprite in a display list.
    int32_t GetKind() override { return KindOf(12000, 12003, 12004); }
    // "(x, y, value)" groups: -1 running; 1 null text; 2 no group, with curve fewer than 2, or a
    // group whose numbers cannot be read (nothing kept); 0.
    int SetPathText(const char* text);
    // n (x, y, value) triples: -1 running; 1 n = 0, no array, or with curve n < 2; 0.
    int SetPoints(uint32_t n, const int32_t* triples);
    // -1 running; 1 no timers, no points or no sprite; 2 source origin of a sprite that is not a
    // plain sprite, or the timer manager refused; -2 segment time 0 (finished at once, not listed);
    // 0 started. Sprites take their alpha as value 0 and the values as alpha.
    int SetTarget(CTimerManager* timers, CDrawable* sprite);
    // The same for a scene object; 2 also for the render-state types 9 and 10.
    int SetSceneTarget(CTimerManager* timers, CTask* object);

    const std::vector<double>& GetCoefficientsX() const { return m_coefX; }

protected:
    int Prepare() override;
    void ApplyAt(uint32_t i, double u) override;

private:
    uint8_t m_targetMode;
    uint8_t m_curve;
    std::vector<double> m_coefX;
    std::vector<double> m_coefY;
};
