#include "display/path_rotate_task.h"

#include "drawing/spline_path.h"
#include "drawing/sprite.h"

#include <algorithm>

CPathRotateTask::CPathRotateTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning,
                                 double easing, uint8_t zoomOn, uint8_t alphaOn, uint8_t loop, uint8_t waitMode)
    : CPathTask(segmentTime, startDelay, visibleWhileRunning, easing, loop, waitMode), m_zoomOn(zoomOn)
{
    m_alphaOn = alphaOn;
}

int CPathRotateTask::SetPathText(const char* text)
{
    return ReadPathText(text, true, 1);
}

int CPathRotateTask::SetTarget(CTimerManager* timers, CDrawable* sprite)
{
    if (m_running)
        return -1;
    if (!timers || m_points.size() < 2 || !sprite)
        return 1;
    if (sprite->GetKind() != kDrawableSprite)
        return 2;
    const auto* plain = static_cast<const CSprite*>(sprite);
    m_sprite = sprite;
    m_spriteInScene = sprite->GetOwnerList() ? 1 : 0;
    m_values[0] = sprite->GetAlpha();
    m_boundZoom = plain->GetZoom();
    m_points[0] = {static_cast<double>(plain->GetAngle()), m_boundZoom};
    return Start(timers);
}

int CPathRotateTask::Prepare()
{
    double zoom = m_boundZoom;
    if (m_zoomOn)
        for (const PathPoint& p : m_points)
            zoom = std::max(zoom, p.b);
    return static_cast<CSprite*>(m_sprite)->CreateRotationWorkImage(zoom) == 0 ? 0 : 2;
}

void CPathRotateTask::ApplyAt(uint32_t i, double u)
{
    const int angle = TruncateToInt32(Lerp(m_points[i].a, m_points[i + 1].a, u));
    const double zoom = m_zoomOn ? Lerp(m_points[i].b, m_points[i + 1].b, u) : m_boundZoom;
    static_cast<CSprite*>(m_sprite)->SetRotateZoom(angle, zoom);
}
