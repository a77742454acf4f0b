// CPathSizeTask: changes a sprite's shown size through (width, height, value) points, keeping it
// aligned (left, centre or right; top, centre or bottom) to where it stood.
#pragma once

#include "display/path_task.h"

class CPathSizeTask : public CPathTask {
public:
    // hAlign 0 left, 1 centre, 2 right; vAlign 0 top, 1 centre, 2 bottom; anchor: measure from the
    // bound position rather than the current one.
    CPathSizeTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                  uint8_t hAlign, uint8_t vAlign, uint8_t anchor, uint8_t alphaOn, uint8_t loop, uint8_t waitMode);

    // 12001 scene object, 12005 sprite, 12006 sprite in a display list.
    int32_t GetKind() override { return KindOf(12001, 12005, 12006); }
    // As CPathMoveTask's, without the curve.
    int SetPathText(const char* text);
    int SetPoints(uint32_t n, const int32_t* triples);
    // -1 running; 1 no timers, no points or no sprite; 2 the work image of the largest size cannot
    // be made, or the timer manager refused; -2 segment time 0; 0 started.
    int SetTarget(CTimerManager* timers, CDrawable* sprite);

    LONG GetLargestWidth() const { return m_maxW; }
    LONG GetLargestHeight() const { return m_maxH; }

protected:
    int Prepare() override;
    void ApplyAt(uint32_t i, double u) override;

private:
    LONG m_boundX = 0;
    LONG m_boundY = 0;
    uint8_t m_hAlign;
    uint8_t m_vAlign;
    uint8_t m_anchor;
    LONG m_maxW = 0;
    LONG m_maxH = 0;
    // The alignment offset applied last, taken off the current position before the next one.
    LONG m_shiftX = 0;
    LONG m_shiftY = 0;
};
