#include "display/path_move_task.h"

#include "display/color_rect_object.h"
#include "display/primitive_list_object.h"
#include "display/textured_quad.h"
#include "display/triangle_object.h"

#include "display/task.h"
#include "drawing/spline_path.h"
#include "drawing/sprite.h"

CPathMoveTask::CPathMoveTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                             uint8_t targetMode, uint8_t curve, uint8_t loop, uint8_t waitMode)
    : CPathTask(segmentTime, startDelay, visibleWhileRunning, easing, loop, waitMode), m_targetMode(targetMode),
      m_curve(curve)
{
}

int CPathMoveTask::SetPathText(const char* text)
{
    return ReadPathText(text, false, m_curve ? 2 : 1);
}

int CPathMoveTask::SetPoints(uint32_t n, const int32_t* triples)
{
    return TakeTriples(n, triples, m_curve ? 2 : 1);
}

int CPathMoveTask::SetTarget(CTimerManager* timers, CDrawable* sprite)
{
    if (m_running)
        return -1;
    if (!timers || m_points.size() < 2 || !sprite)
        return 1;
    PathPoint start{static_cast<double>(sprite->GetX()), static_cast<double>(sprite->GetY())};
    if (m_targetMode == 2) {
        if (sprite->GetKind() != kDrawableSprite)
            return 2;
        const auto* plain = static_cast<const CSprite*>(sprite);
        start = {static_cast<double>(plain->GetSourceOriginX()), static_cast<double>(plain->GetSourceOriginY())};
    }
    m_sprite = sprite;
    BindSceneTarget(nullptr);
    m_spriteInScene = sprite->GetOwnerList() ? 1 : 0;
    m_points[0] = start;
    m_alphaOn = 1;
    m_values[0] = sprite->GetAlpha();
    return Start(timers);
}

int CPathMoveTask::SetSceneTarget(CTimerManager* timers, CTask* object)
{
    if (m_running)
        return -1;
    if (!timers || m_points.size() < 2 || !object)
        return 1;
    const uint8_t type = object->GetType();
    if (type == kSceneRenderStateA || type == kSceneRenderStateB)
        return 2;
    BindSceneTarget(object);
    m_sprite = nullptr;
    m_spriteInScene = 0;
    m_points[0] = {static_cast<double>(object->GetX()), static_cast<double>(object->GetY())};
    // Types 0 to 3 have no alpha; a coloured object's is its first vertex's. Found by class, so a
    // task of another class answering one of those types is not misread.
    DWORD colour = 0;
    m_alphaOn = 1;
    if (auto* rect = dynamic_cast<CColorRectObject*>(object))
        colour = rect->Vertices()[0].diffuse;
    else if (auto* quad = dynamic_cast<CTexturedQuad*>(object))
        colour = quad->Vertices()[0].diffuse;
    else if (auto* triangle = dynamic_cast<CTriangleObject*>(object))
        colour = triangle->Vertices()[0].diffuse;
    else if (auto* list = dynamic_cast<CPrimitiveListObject*>(object))
        colour = list->Count() != 0 ? list->Vertices()[0].diffuse : 0;
    else
        m_alphaOn = 0;
    m_values[0] = static_cast<uint8_t>(colour >> 24);
    return Start(timers);
}

int CPathMoveTask::Prepare()
{
    m_coefX.clear();
    m_coefY.clear();
    if (!m_curve || m_targetMode == 0)
        return 0;
    std::vector<double> xs, ys;
    for (const PathPoint& p : m_points) {
        xs.push_back(p.a);
        ys.push_back(p.b);
    }
    m_coefX.assign(xs.size(), 0.0);
    m_coefY.assign(ys.size(), 0.0);
    SolveNaturalSpline(xs.data(), xs.size(), m_coefX.data());
    SolveNaturalSpline(ys.data(), ys.size(), m_coefY.data());
    return 0;
}

void CPathMoveTask::ApplyAt(uint32_t i, double u)
{
    if (m_targetMode == 0 && !m_sceneTarget)
        return;
    const PathPoint& p = m_points[i];
    const PathPoint& q = m_points[i + 1];
    double x = Lerp(p.a, q.a, u), y = Lerp(p.b, q.b, u);
    if (!m_coefX.empty()) {
        x = EvalSplineSegment(p.a, q.a, m_coefX[i], m_coefX[i + 1], u);
        y = EvalSplineSegment(p.b, q.b, m_coefY[i], m_coefY[i + 1], u);
    }
    const LONG ix = TruncateToInt32(x), iy = TruncateToInt32(y);
    if (m_sceneTarget)
        m_sceneTarget->SetPosition(ix, iy);
    else if (m_targetMode == 1)
        m_sprite->SetPosition(ix, iy);
    else if (m_targetMode == 2)
        static_cast<CSprite*>(m_sprite)->SetSourceOrigin(ix, iy);
}
