#include "display/path_size_task.h"

#include "drawing/spline_path.h"
#include "drawing/sprite.h"

#include <algorithm>

CPathSizeTask::CPathSizeTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                             uint8_t hAlign, uint8_t vAlign, uint8_t anchor, uint8_t alphaOn, uint8_t loop,
                             uint8_t waitMode)
    : CPathTask(segmentTime, startDelay, visibleWhileRunning, easing, loop, waitMode), m_hAlign(hAlign),
      m_vAlign(vAlign), m_anchor(anchor)
{
    m_alphaOn = alphaOn;
}

int CPathSizeTask::SetPathText(const char* text)
{
    return ReadPathText(text, false, 1);
}

int CPathSizeTask::SetPoints(uint32_t n, const int32_t* triples)
{
    return TakeTriples(n, triples, 1);
}

int CPathSizeTask::SetTarget(CTimerManager* timers, CDrawable* sprite)
{
    if (m_running)
        return -1;
    if (!timers || m_points.size() < 2 || !sprite)
        return 1;
    m_sprite = sprite;
    m_spriteInScene = sprite->GetOwnerList() ? 1 : 0;
    m_values[0] = sprite->GetAlpha();
    m_boundX = sprite->GetX();
    m_boundY = sprite->GetY();
    m_shiftX = m_shiftY = 0;
    RECT screen{};
    sprite->GetScreenRect(&screen);
    m_points[0] = {static_cast<double>(screen.right - screen.left), static_cast<double>(screen.bottom - screen.top)};
    return Start(timers);
}

int CPathSizeTask::Prepare()
{
    double w = 0, h = 0;
    for (const PathPoint& p : m_points) {
        w = std::max(w, p.a);
        h = std::max(h, p.b);
    }
    m_maxW = TruncateToInt32(w);
    m_maxH = TruncateToInt32(h);
    if (m_sprite->GetKind() == kDrawableSprite
        && static_cast<CSprite*>(m_sprite)->CreateWorkImage(m_maxW, m_maxH) != 0)
        return 2;
    return 0;
}

void CPathSizeTask::ApplyAt(uint32_t i, double u)
{
    const LONG w = TruncateToInt32(Lerp(m_points[i].a, m_points[i + 1].a, u));
    const LONG h = TruncateToInt32(Lerp(m_points[i].b, m_points[i + 1].b, u));
    const LONG startW = TruncateToInt32(m_points[0].a), startH = TruncateToInt32(m_points[0].b);
    // Without the anchor the base is the current position less the last alignment offset, so the
    // offsets do not pile up from step to step.
    const int64_t baseX = m_anchor ? m_boundX : static_cast<int64_t>(m_sprite->GetX()) - m_shiftX;
    const int64_t baseY = m_anchor ? m_boundY : static_cast<int64_t>(m_sprite->GetY()) - m_shiftY;
    const int64_t dw = static_cast<int64_t>(startW) - w, dh = static_cast<int64_t>(startH) - h;
    m_shiftX = static_cast<LONG>(m_hAlign == 1 ? dw >> 1 : m_hAlign == 2 ? dw : 0);
    m_shiftY = static_cast<LONG>(m_vAlign == 1 ? dh >> 1 : m_vAlign == 2 ? dh : 0);
    m_sprite->SetSizeAndPosition(w, h, AddClamped(0, baseX + m_shiftX), AddClamped(0, baseY + m_shiftY));
}
