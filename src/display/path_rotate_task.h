// CPathRotateTask: turns (512 steps a turn) and zooms a sprite through (angle, zoom, value) points.
#pragma once

#include "display/path_task.h"

class CPathRotateTask : public CPathTask {
public:
    // zoomOn: interpolate the zoom (else the bound zoom stays).
    CPathRotateTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                    uint8_t zoomOn, uint8_t alphaOn, uint8_t loop, uint8_t waitMode);

    // 12002 scene object, 12007 sprite, 12008 sprite in a display list.
    int32_t GetKind() override { return KindOf(12002, 12007, 12008); }
    // "(angle, zoom, value)" groups, the zoom a decimal; codes as CPathMoveTask's without curve.
    int SetPathText(const char* text);
    // -1 running; 1 no timers, no points or no sprite; 2 not a plain sprite, its rotation work
    // image (at the path's largest zoom) cannot be made, or the timer manager refused; -2 segment
    // time 0; 0 started.
    int SetTarget(CTimerManager* timers, CDrawable* sprite);

protected:
    int Prepare() override;
    void ApplyAt(uint32_t i, double u) override;

private:
    uint8_t m_zoomOn;
    double m_boundZoom = 1.0;
};
