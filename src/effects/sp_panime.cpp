#include "effects/sp_panime.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "drawing/draw_list.h"
#include "drawing/drawable.h"
#include "drawing/sprite.h"
#include "effects/eased_time.h"
#include "platform/cos_table.h"

uint32_t g_spPriorityLow = 0;
uint32_t g_spPriorityHigh = 0;

namespace {

CSprite* AsSprite(CDrawable* drawable)
{
    return drawable != nullptr && drawable->GetKind() == kDrawableSprite ? static_cast<CSprite*>(drawable) : nullptr;
}

// A sprite that shows another's work image cannot be moved, turned or zoomed on its own.
bool IsBusySprite(CDrawable* drawable)
{
    const CSprite* sprite = AsSprite(drawable);
    return sprite != nullptr && sprite->IsSharing();
}

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

double RoundedToFloat(double v)
{
    return static_cast<double>(static_cast<float>(v));
}

} // namespace

int32_t SwingOffset(int32_t a, int32_t b, double f)
{
    if (a == 0)
        return 0;
    const int64_t s = TruncateToInt32(2.0 * a * f);
    const int64_t A = a, B = b;
    if (B == 0)
        return Clamp32(s <= A ? s : 2 * A - s);
    if (s <= -2 * B)
        return Clamp32(s > -B ? s + 2 * B : -s);
    const int64_t t = s + 2 * B;
    return Clamp32(t <= A + B ? t : 2 * (A + B) - t);
}

CPluginEffect* CSpPanimeEffect::Create(DWORD)
{
    return new (std::nothrow) CSpPanimeEffect;
}

PathStep CSpPanimeEffect::SpriteState(const CDrawable* sprite)
{
    PathStep state;
    if (sprite == nullptr)
        return state;
    state.x = sprite->GetX();
    state.y = sprite->GetY();
    state.opacity = sprite->GetAlpha();
    if (sprite->GetKind() == kDrawableSprite) {
        const auto* s = static_cast<const CSprite*>(sprite);
        state.zoom = s->GetZoom();
        state.rotation = s->GetAngle() * 360.0 / 512.0;
    }
    return state;
}

bool CSpPanimeEffect::StartList(const PathStep& from, bool loop, uint32_t duration)
{
    const auto& steps = m_path.GetSteps();
    if (loop) {
        // A looping list without a point after record 0 would look for its next target for ever.
        bool point = false;
        for (size_t i = 1; i < steps.size() && !point; ++i)
            point = steps[i].kind == kPathStepPoint;
        if (!point)
            return false;
    }
    m_from = from;
    m_fromPoint = -1;
    m_next = 0;
    m_target = -1;
    m_base = 0;
    m_duration = std::max<uint32_t>(duration, 1);
    m_loop = loop ? 1 : 0;
    m_curve = 1;
    m_spline = 0;
    m_acceleration = 0.0;
    m_values[0] = 25;
    m_values[1] = 50;
    m_low = g_spPriorityLow;
    m_high = g_spPriorityHigh;
    return true;
}

void CSpPanimeEffect::Execute(const PathStep& step)
{
    CDrawList* list = m_sprite != nullptr ? m_sprite->GetOwnerList() : nullptr;
    switch (step.kind) {
    case kPathStepDuration: m_duration = step.value < 1 ? 1u : static_cast<uint32_t>(step.value); break;
    case kPathStepValue:
        m_curve = step.opacity;
        m_acceleration = std::isfinite(step.amount) ? step.amount : 0.0;
        break;
    case kPathStepForward:
        if (list != nullptr)
            list->SetPriority(m_sprite, m_low, false);
        break;
    case kPathStepBack:
        if (list != nullptr)
            list->SetPriorityAfterEqual(m_sprite, m_high, false);
        break;
    // The layer form has no sprite but follows the spline too.
    case kPathStepSpline: m_spline = 1; break;
    case kPathStepN: m_spline = 0; break;
    case kPathStepMoveUnit: m_values[0] = step.value; break;
    case kPathStepSizeUnit: m_values[1] = step.value; break;
    case kPathStepCentre:
        if (CSprite* sprite = AsSprite(m_sprite))
            sprite->SetRotationPivot(-1, step.value, step.value2);
        break;
    default: break;
    }
}

double CSpPanimeEffect::Factor(uint32_t u) const
{
    const uint32_t d = m_duration;
    if (d < 2 || u >= d)
        return 1.0;
    if (m_curve == 0) {
        const int64_t index = (-(int64_t{u} * 256 / d) - 256) & 511;
        const double* table = g_pCosTable != nullptr ? g_pCosTable->DoubleTable() : nullptr;
        const double c = table != nullptr ? table[index] : std::cos(static_cast<double>(index) * std::numbers::pi / 256.0);
        return (c + 1.0) / 2.0;
    }
    return std::clamp(EasedTime(u, d, m_acceleration) / d, 0.0, 1.0);
}

int32_t CSpPanimeEffect::RunTo(uint32_t e)
{
    const auto& steps = m_path.GetSteps();
    bool wrapped = false;
    uint32_t wrapAt = 0;
    for (;;) {
        if (m_target < 0) {
            bool wrap = false;
            while (m_target < 0) {
                if (m_next >= steps.size()) {
                    if (!m_loop)
                        return 1;
                    m_next = 1;
                    wrap = true;
                    continue;
                }
                const PathStep& step = steps[m_next];
                if (step.kind == kPathStepPoint)
                    m_target = static_cast<int32_t>(m_next);
                else
                    Execute(step);
                ++m_next;
            }
            if (wrap) {
                // After a long stall the whole cycles that fit are skipped at once instead of
                // being played through (a list of short steps ran millions of times).
                if (wrapped && m_base > wrapAt) {
                    const uint32_t cycle = m_base - wrapAt;
                    m_base += (e - m_base) / cycle * cycle;
                }
                wrapped = true;
                wrapAt = m_base;
            }
        }
        const PathStep& to = steps[static_cast<size_t>(m_target)];
        const uint32_t u = e - m_base;
        if (u < m_duration) {
            ApplyPoint(m_from, to, Factor(u));
            return 0;
        }
        m_base += m_duration;
        m_from = to;
        m_fromPoint = to.pointIndex;
        m_target = -1;
    }
}

const PathStep* CSpPanimeEffect::RunRest()
{
    const auto& steps = m_path.GetSteps();
    for (; m_next < steps.size(); ++m_next)
        if (steps[m_next].kind != kPathStepPoint)
            Execute(steps[m_next]);
    m_target = -1;
    const int32_t last = m_path.GetFinalPointStep();
    return last >= 0 ? &steps[static_cast<size_t>(last)] : nullptr;
}

void CSpPanimeEffect::PrepareWorkImage()
{
    m_rotating = 0;
    CSprite* sprite = AsSprite(m_sprite);
    if (sprite == nullptr || !(m_path.HasZoom() || m_path.HasTurn()))
        return;
    const double zoom = std::max(m_path.GetLargestZoom(), sprite->GetZoom() > 0 ? sprite->GetZoom() : 1.0);
    if (sprite->IsRotated() || sprite->CreateRotationWorkImage(zoom) == 0)
        m_rotating = 1;
}

void CSpPanimeEffect::PositionAt(const PathStep& from, const PathStep& to, double f, int32_t* px, int32_t* py) const
{
    int32_t x = 0, y = 0;
    if (m_spline && m_path.HasSpline() && from.pointIndex >= 0 && to.pointIndex == from.pointIndex + 1)
        m_path.EvalCubic(from.pointIndex, from, to, f, &x, &y);
    else
        CSplinePath::EvalLinear(from, to, f, &x, &y);
    // The swing goes out and back within the step and ends where the step ends.
    if (f < 1.0 && to.widthChange != 0)
        x = Clamp32(int64_t{x} + SwingOffset(to.widthChange, to.xCorrection, f));
    if (f < 1.0 && to.heightChange != 0)
        y = Clamp32(int64_t{y} + SwingOffset(to.heightChange, to.yCorrection, f));
    *px = x;
    *py = y;
}

void CSpPanimeEffect::PlaceSprite(const PathStep& from, const PathStep& to, double f)
{
    if (m_sprite == nullptr)
        return;
    int32_t x = 0, y = 0;
    PositionAt(from, to, f, &x, &y);
    m_sprite->SetPosition(x, y);
    m_sprite->SetAlpha(static_cast<BYTE>(from.opacity + TruncateToInt32((to.opacity - from.opacity) * f)));
    CSprite* sprite = AsSprite(m_sprite);
    if (m_rotating && sprite != nullptr) {
        const double zoom = from.zoom + (to.zoom - from.zoom) * f;
        const double turns = (from.rotation + (to.rotation - from.rotation) * f) / 360.0;
        if (std::isfinite(zoom) && zoom > 0.0 && std::isfinite(turns))
            sprite->SetRotateZoom(TruncateToInt32(turns * 512.0), zoom);
    }
}

void CSpPanimeEffect::ApplyPoint(const PathStep& from, const PathStep& to, double f)
{
    PlaceSprite(from, to, f);
}

void CSpPanimeEffect::Complete()
{
    if (const PathStep* last = RunRest()) {
        ApplyPoint(*last, *last, 1.0);
        m_from = *last;
        m_fromPoint = last->pointIndex;
    }
}

int32_t CSpPanimeEffect::Step(uint32_t now)
{
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (RunTo(e) == 0)
        return 0;
    Complete();
    return 1;
}

int CSpPanimeEffect::ParseAndStart(CDrawable* sprite, const char* text, bool loop, uint32_t duration)
{
    m_sprite = sprite;
    if (const int code = m_path.ParseCommands(text, sprite, nullptr); code != 0)
        return code;
    if (!StartList(SpriteState(sprite), loop, duration))
        return 5;
    PrepareWorkImage();
    return 0;
}

int CSpPanimeEffect::SetUpV(CTimerManager* manager, CImageObject*, const CEffectArgs& args)
{
    CDrawable* sprite = args.GetDrawable(0);
    if (manager == nullptr || sprite == nullptr || IsBusySprite(sprite))
        return 1;
    const uint32_t duration = static_cast<uint32_t>(std::max(args.IntAt(2), 0));
    if (ParseAndStart(sprite, args.TextAt(1), args.IntAt(3) != 0, duration) != 0)
        return 2;
    if (duration == 0) {
        Complete();
        return -1;
    }
    if (manager->Add(this, 0, 0, 0) != 0)
        return 3;
    if (args.IntAt(4) != 0)
        BeginBusy();
    return 0;
}

int CSpPanimeEffect::QueryV(const CEffectArgs&, CEffectArgs* out)
{
    if (m_path.GetSteps().empty())
        return 1;
    if (out == nullptr)
        return 0;
    const int32_t last = m_path.GetFinalPointStep();
    if (last >= 0) {
        const PathStep& point = m_path.GetSteps()[static_cast<size_t>(last)];
        out->SetInt(0, point.x);
        out->SetInt(1, point.y);
        out->SetInt(2, point.opacity);
        out->SetDouble(4, RoundedToFloat(point.zoom));
        out->SetDouble(5, RoundedToFloat(point.rotation / 360.0));
        out->SetDouble(8, m_rotating ? 1.0 : 0.0);
    } else {
        out->SetInt(2, -1);
    }
    out->SetInt(3, m_path.GetFlag());
    out->SetInt(6, m_path.GetCentreX());
    out->SetInt(7, m_path.GetCentreY());
    return 0;
}

int ApplySpPanimeDirect(const CEffectArgs& in, CEffectArgs* out)
{
    if (in.GetType(0) == CEffectArgs::kInt && in.IntAt(0) == 0) {
        g_spPriorityLow = static_cast<uint32_t>(in.IntAt(1));
        g_spPriorityHigh = static_cast<uint32_t>(in.IntAt(2));
        return 0;
    }
    CDrawable* sprite = in.GetDrawable(1);
    if (sprite == nullptr || IsBusySprite(sprite))
        return 1;
    CSpPanimeEffect effect;
    const int code = effect.ParseAndStart(sprite, in.TextAt(2), false, 1);
    if (code != 0)
        return code;
    effect.Complete();
    if (out != nullptr) {
        const CSplinePath& path = effect.GetPath();
        const int32_t last = path.GetFinalPointStep();
        const PathStep* point = last >= 0 ? &path.GetSteps()[static_cast<size_t>(last)] : nullptr;
        out->SetInt(3, sprite->GetX());
        out->SetInt(4, sprite->GetY());
        out->SetInt(5, sprite->GetAlpha());
        out->SetInt(6, path.GetFlag());
        out->SetInt(7, effect.HasWorkImage() ? 1 : 0);
        out->SetDouble(8, RoundedToFloat(point != nullptr ? point->zoom : 1.0));
        out->SetDouble(9, RoundedToFloat(point != nullptr ? point->rotation / 360.0 : 0.0));
        out->SetInt(10, static_cast<int32_t>(g_spPriorityLow));
        out->SetInt(11, static_cast<int32_t>(g_spPriorityHigh));
    }
    return 0;
}
