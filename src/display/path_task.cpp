#include "display/path_task.h"

#include "display/color_rect_object.h"
#include "display/primitive_list_object.h"
#include "display/textured_quad.h"
#include "display/triangle_object.h"

#include "display/screen_filter.h"
#include "display/task.h"
#include "drawing/drawable.h"
#include "drawing/spline_path.h"
#include "platform/param_tokenizer.h"
#include "platform/timer_manager.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

uint8_t ToByte(int32_t v)
{
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

CPathTask::CPathTask(uint32_t segmentTime, uint32_t startDelay, uint8_t visibleWhileRunning, double easing,
                     uint8_t loop, uint8_t waitMode)
    : m_waitMode(waitMode), m_segmentTime(segmentTime), m_startDelay(startDelay), m_easing(easing),
      m_visibleWhileRunning(visibleWhileRunning), m_loop(loop)
{
}

CPathTask::~CPathTask()
{
    BindSceneTarget(nullptr);
    if (m_waitMode == 2 && g_pfnRestoreThreadPriority)
        g_pfnRestoreThreadPriority();
}

void CPathTask::BindSceneTarget(CTask* object)
{
    if (m_sceneTarget == object)
        return;
    if (m_sceneTarget != nullptr)
        m_sceneTarget->RemoveWatcher(this);
    m_sceneTarget = object;
    if (object != nullptr)
        object->AddWatcher(this);
}

void CPathTask::OnTaskGone(CTask* task)
{
    if (task != m_sceneTarget)
        return;
    m_sceneTarget = nullptr;
    m_running = 0;
}

void CPathTask::OnSpriteGone(const CDrawable* sprite)
{
    if (sprite == nullptr || sprite != m_sprite)
        return;
    m_sprite = nullptr;
    m_running = 0;
}

int32_t CPathTask::KindOf(int32_t sceneKind, int32_t spriteKind, int32_t inSceneKind) const
{
    if (m_sceneTarget)
        return sceneKind;
    return m_spriteInScene ? inSceneKind : spriteKind;
}

int CPathTask::ReadPathText(const char* text, bool decimalSecond, uint32_t minGroups)
{
    if (m_running)
        return -1;
    if (!text)
        return 1;
    // Count the groups; a trail byte never counts, and a lead byte before the end stops the scan.
    uint32_t count = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (IsLeadByte(*p)) {
            if (!p[1])
                break;
            ++p;
        } else if (*p == '(') {
            ++count;
        }
    }
    if (count == 0 || count < minGroups)
        return 2;
    std::vector<PathPoint> points(static_cast<size_t>(count) + 1);
    std::vector<uint8_t> values(static_cast<size_t>(count) + 1, 0);
    CParamTokenizer tokens(text);
    for (uint32_t i = 1; i <= count; ++i) {
        int32_t a = 0, value = 0, bInt = 0;
        double b = 0;
        const bool ok = tokens.GetInt(&a) == 0
                        && (decimalSecond ? tokens.GetFloat(&b) == 0 : tokens.GetInt(&bInt) == 0)
                        && tokens.GetInt(&value) == 0;
        if (!ok)
            return 2; // the old path stays
        points[i] = {static_cast<double>(a), decimalSecond ? b : static_cast<double>(bInt)};
        values[i] = ToByte(value);
    }
    m_points.swap(points);
    m_values.swap(values);
    return 0;
}

int CPathTask::TakeTriples(uint32_t n, const int32_t* triples, uint32_t minGroups)
{
    if (m_running)
        return -1;
    if (n == 0 || !triples || n < minGroups)
        return 1;
    m_points.assign(static_cast<size_t>(n) + 1, PathPoint{});
    m_values.assign(static_cast<size_t>(n) + 1, 0);
    for (uint32_t i = 0; i < n; ++i) {
        m_points[i + 1] = {static_cast<double>(triples[3 * i]), static_cast<double>(triples[3 * i + 1])};
        m_values[i + 1] = ToByte(triples[3 * i + 2]);
    }
    return 0;
}

int CPathTask::Start(CTimerManager* timers)
{
    if (m_segmentTime == 0) {
        Finish();
        return -2;
    }
    m_firstTick = 1;
    const uint64_t total = static_cast<uint64_t>(m_points.size() - 1) * m_segmentTime;
    m_totalTime = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    if (Prepare() != 0 || timers->Add(this, 0, 0, 0) != 0)
        return 2;
    m_running = 1;
    if (!m_loop && m_waitMode == 1 && g_pfnLowerThreadPriority) {
        g_pfnLowerThreadPriority();
        m_waitMode = 2;
    }
    return 0;
}

void CPathTask::SetTargetVisible(bool visible)
{
    if (m_sceneTarget)
        m_sceneTarget->SetEnabled(visible ? 1 : 0);
    else if (m_sprite)
        m_sprite->SetVisible(visible);
}

uint32_t CPathTask::Ease(uint32_t elapsed) const
{
    double t = elapsed;
    if (m_easing != 0 && m_totalTime != 0) {
        const double x = static_cast<double>(elapsed) / m_totalTime;
        t = m_easing > 0 ? std::pow(x, m_easing) * m_totalTime : (1 - std::pow(1 - x, -m_easing)) * m_totalTime;
    }
    // Rounding may give the total itself, whose segment has no next point.
    const double last = m_totalTime ? m_totalTime - 1.0 : 0.0;
    return static_cast<uint32_t>(std::clamp(t, 0.0, last));
}

void CPathTask::Apply(uint32_t t)
{
    Show(t / m_segmentTime, static_cast<double>(t % m_segmentTime) / m_segmentTime);
}

void CPathTask::Show(uint32_t i, double u)
{
    ApplyAt(i, u);
    if (!m_alphaOn)
        return;
    const BYTE alpha = static_cast<BYTE>(TruncateToInt32(Lerp(m_values[i], m_values[i + 1], u)));
    if (m_sceneTarget != nullptr) {
        // Of the scene objects only those with a colour have an alpha to set.
        if (auto* rect = dynamic_cast<CColorRectObject*>(m_sceneTarget))
            rect->SetAlpha(alpha);
        else if (auto* quad = dynamic_cast<CTexturedQuad*>(m_sceneTarget))
            quad->SetAlpha(alpha);
        else if (auto* triangle = dynamic_cast<CTriangleObject*>(m_sceneTarget))
            triangle->SetAlpha(alpha);
        else if (auto* list = dynamic_cast<CPrimitiveListObject*>(m_sceneTarget))
            list->SetAlpha(alpha);
    } else if (m_sprite != nullptr) {
        m_sprite->SetAlpha(alpha);
    }
}

int32_t CPathTask::Step(uint32_t now)
{
    if (!m_running)
        return 1;
    if (m_firstTick) {
        m_startTime = now;
        m_firstTick = 0;
    }
    if (m_startDelay) {
        if (now - m_startTime < m_startDelay)
            return 0;
        m_startTime = now;
        m_startDelay = 0;
        if (m_visibleWhileRunning)
            SetTargetVisible(true);
    }
    uint32_t elapsed = now - m_startTime;
    if (elapsed >= m_totalTime) {
        if (!m_loop) {
            Finish();
            return 1;
        }
        m_startTime = now;
        elapsed = 0;
    }
    Apply(Ease(elapsed));
    return 0;
}

void CPathTask::Finish()
{
    if (m_points.size() >= 2)
        Show(static_cast<uint32_t>(m_points.size() - 2), 1.0);
    if (m_visibleWhileRunning)
        SetTargetVisible(false);
    m_running = 0;
}

void CPathTask::OnCancel()
{
    if (m_running)
        Finish();
}
