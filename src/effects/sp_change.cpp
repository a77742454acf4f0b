#include "effects/sp_change.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "drawing/draw_list.h"
#include "drawing/sprite.h"
#include "effects/change_blend.h"
#include "platform/cpu_info.h"
#include "raster/blend_mode_ops.h"
#include "raster/fill_ops.h"
#include "raster/image.h"

namespace {

CSprite* AsImageSprite(CDrawable* drawable)
{
    return drawable != nullptr && drawable->GetKind() == kDrawableSprite ? static_cast<CSprite*>(drawable) : nullptr;
}

bool IsTransformed(const CSprite& sprite)
{
    return sprite.IsRotated() || sprite.GetRequestedWidth() != 0 || sprite.GetRequestedHeight() != 0;
}

// What a sprite draws: its own work image when it is turned or resized, else its source.
void DrawingPicture(const CSprite& sprite, const CImage** picture, RECT* source)
{
    if (IsTransformed(sprite) && sprite.GetWorkImage() != nullptr) {
        *picture = sprite.GetWorkImage();
        *source = RECT{0, 0, sprite.GetWorkImage()->GetWidth(), sprite.GetWorkImage()->GetHeight()};
    } else {
        *picture = sprite.GetImage();
        *source = sprite.GetSourceRect();
    }
}

LONG Clamp32(int64_t v)
{
    return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

double RoundedToFloat(double v)
{
    return static_cast<double>(static_cast<float>(v));
}

} // namespace

SpChangePlan SettleSpChangeMode(int input, bool zoomFlag, bool newTransformed, LONG oldWidth, LONG newWidth,
                                bool listZoomsOrTurns)
{
    SpChangePlan plan;
    const double oldW = std::max<LONG>(oldWidth, 1), newW = std::max<LONG>(newWidth, 1);
    plan.zoom = zoomFlag;
    switch (input) {
    case 0:
        plan.mode = 0;
        plan.ratio = zoomFlag ? oldW / newW : 1.0;
        break;
    case 1:
        plan.mode = 1;
        plan.ratio = zoomFlag ? newW / oldW : 1.0;
        break;
    case 4:
        // The blended geometry stepped as mode 1.
        plan.mode = 1;
        plan.blended = true;
        plan.ratio = zoomFlag ? newW / oldW : 1.0;
        break;
    default:
        plan.blended = true;
        if (zoomFlag) {
            plan.mode = newW < oldW ? 3 : 2;
            plan.ratio = plan.mode == 3 ? newW / oldW : oldW / newW;
        } else if (!newTransformed) {
            plan.mode = 5;
        } else {
            plan.mode = input == 3 ? 3 : 2;
        }
        break;
    }
    plan.curve = plan.mode;
    // A list that zooms or turns needs the zoom whatever the mode (else the new sprite would not
    // end in the list's end state); mode 5 is then blended with zoom as 2.
    if (listZoomsOrTurns || zoomFlag) {
        plan.zoom = true;
        if (plan.mode == 5)
            plan.mode = plan.curve = 2;
    }
    return plan;
}

double SpChangeZoom(uint8_t mode, double r, double f)
{
    switch (mode) {
    case 0: return r >= 1.0 ? (1.0 - f) * (r - 1.0) + 1.0 : (1.0 - r) * f + r;
    case 1: return r < 1.0 ? 1.0 - (1.0 - r) * f : (r - 1.0) * f + 1.0;
    case 2: return (1.0 - r) * f + r;
    default: return (1.0 - f) * (1.0 - r) + r;
    }
}

CPluginEffect* CSpChangeEffect::Create(DWORD)
{
    return new (std::nothrow) CSpChangeEffect;
}

CSpChangeEffect::~CSpChangeEffect()
{
    m_workSprite.reset();
    if (m_ownOld && m_old != nullptr) {
        CImage* image = m_old->GetImage();
        delete m_old;
        delete image;
    }
}

int CSpChangeEffect::SetUpV(CTimerManager* manager, CImageObject*, const CEffectArgs& args)
{
    m_new = AsImageSprite(args.GetDrawable(0));
    m_old = AsImageSprite(args.GetDrawable(1));
    if (manager == nullptr || m_new == nullptr || m_old == nullptr || m_new == m_old ||
        m_new->GetOwnerList() == nullptr || m_new->GetImage() == nullptr || m_old->GetImage() == nullptr)
        return 1;
    m_new->SetVisible(false);
    if (m_old->GetRequestedWidth() != 0 || m_old->GetRequestedHeight() != 0)
        return 2;
    RECT oldRect{}, newRect{};
    m_old->GetScreenRect(&oldRect);
    m_new->GetScreenRect(&newRect);
    const LONG oldW = oldRect.right - oldRect.left, oldH = oldRect.bottom - oldRect.top;
    const LONG newW = newRect.right - newRect.left, newH = newRect.bottom - newRect.top;
    if (oldW < 1 || oldH < 1 || newW < 1 || newH < 1)
        return 1;
    // Both pictures stand on the middle of their bottom edge.
    const LONG originX = Clamp32(int64_t{oldRect.left} + oldW / 2), originY = oldRect.bottom;
    m_new->SetPosition(Clamp32(int64_t{originX} - newW / 2 + (m_new->GetX() - newRect.left)),
                       Clamp32(int64_t{originY} - newH + (m_new->GetY() - newRect.top)));
    if (m_path.ParseCommands(args.TextAt(2), m_new, nullptr) != 0)
        return 3;
    const bool zoomFlag = args.IntAt(5) != 0;
    m_plan = SettleSpChangeMode(args.IntAt(3), zoomFlag, IsTransformed(*m_new), oldW, newW,
                                m_path.HasZoom() || m_path.HasTurn());
    m_time = static_cast<uint32_t>(std::max(args.IntAt(6), 1));
    m_priority = args.IntAt(4);
    m_sprite = m_new;
    StartList(SpriteState(m_new), false, m_time);
    m_anchorX = newW / 2;
    m_anchorY = newH;
    DrawingPicture(*m_old, &m_oldPicture, &m_oldSource);
    DrawingPicture(*m_new, &m_newPicture, &m_newSource);
    if (m_plan.blended) {
        if (PrepareBlend(args.IntAt(4), zoomFlag, oldRect, originX, originY) != 0)
            return 4;
        m_moving = m_workSprite.get();
        m_pivotX = originX - m_split.area.left;
        m_pivotY = originY - m_split.area.top;
    } else if (m_plan.mode == 0) {
        m_moving = m_new;
        m_pivotX = m_anchorX;
        m_pivotY = m_anchorY;
    } else {
        m_moving = m_old;
        m_pivotX = oldW / 2;
        m_pivotY = oldH;
    }
    m_offsetX = Clamp32(int64_t{m_moving->GetX()} - m_new->GetX());
    m_offsetY = Clamp32(int64_t{m_moving->GetY()} - m_new->GetY());
    if (m_plan.zoom) {
        const double largest = m_path.GetLargestZoom() * std::max({MovingZoom(0.0), MovingZoom(1.0), 1.0});
        m_moving->SetRotationPivot(-1, m_pivotX, m_pivotY);
        if (!m_moving->IsRotated() && m_moving->CreateRotationWorkImage(largest) != 0)
            return 4;
    }
    if (manager->Add(this, 0, 0, 0) != 0)
        return 4;
    // Only now is the old sprite ours: a refusal leaves it to the caller, which deletes it.
    m_ownOld = 1;
    if (args.IntAt(7) != 0)
        BeginBusy();
    return 0;
}

int CSpChangeEffect::PrepareBlend(LONG priority, bool zoomFlag, const RECT& oldRect, LONG originX, LONG originY)
{
    LONG w = m_newSource.right - m_newSource.left, h = m_newSource.bottom - m_newSource.top;
    const LONG oldW = oldRect.right - oldRect.left;
    if (zoomFlag && w != oldW) {
        // The work image keeps the old picture's scale: the new one is scaled to its width.
        const double s = static_cast<double>(oldW) / w;
        const LONG sw = std::max<LONG>(1, static_cast<LONG>(std::lround(w * s)));
        const double sh = std::round(h * s);
        if (!(sh >= 1.0 && sh <= kMaxWorkImageSide) || sw > kMaxWorkImageSide)
            return 4;
        m_scaledNew.reset(new (std::nothrow) CImage);
        const SIZE size{sw, static_cast<LONG>(sh)};
        if (!m_scaledNew || m_scaledNew->Create(size.cx, size.cy, 32, 0) != 0 ||
            m_scaledNew->StretchCopy(m_newPicture, &size, 0, 0, &m_newSource, false) != 0)
            return 4;
        m_newPicture = m_scaledNew.get();
        m_newSource = RECT{0, 0, size.cx, size.cy};
        w = size.cx;
        h = size.cy;
    }
    const RECT newRect{Clamp32(int64_t{originX} - w / 2), Clamp32(int64_t{originY} - h),
                       Clamp32(int64_t{originX} - w / 2 + w), originY};
    if (!SplitChangeRects(oldRect, newRect, &m_split))
        return 4;
    const RECT& area = m_split.area;
    const int64_t areaW = int64_t{area.right} - area.left, areaH = int64_t{area.bottom} - area.top;
    if (areaW > kMaxWorkImageSide || areaH > kMaxWorkImageSide)
        return 4;
    m_work.reset(new (std::nothrow) CImage);
    m_workSprite.reset(new (std::nothrow) CSprite);
    if (!m_work || !m_workSprite || m_work->Create(static_cast<LONG>(areaW), static_cast<LONG>(areaH), 32, 0) != 0)
        return 4;
    RectSplit reverse;
    SplitChangeRects(newRect, oldRect, &reverse);
    m_newOnlyCount = reverse.oldOnlyCount;
    for (int i = 0; i < m_newOnlyCount; ++i)
        m_newOnly[i] = RECT{reverse.oldOnly[i].left + reverse.area.left - area.left,
                            reverse.oldOnly[i].top + reverse.area.top - area.top,
                            reverse.oldOnly[i].right + reverse.area.left - area.left,
                            reverse.oldOnly[i].bottom + reverse.area.top - area.top};
    m_oldAt = POINT{oldRect.left - area.left, oldRect.top - area.top};
    m_newAt = POINT{newRect.left - area.left, newRect.top - area.top};
    Blend(0);
    if (m_workSprite->SetImage(m_work.get(), nullptr, area.left, area.top) != 0 ||
        m_new->GetOwnerList()->Insert(m_workSprite.get(), static_cast<uint32_t>(priority), 0) != 0)
        return 4;
    m_workSprite->SetBlendMode(2);
    m_workSprite->SetDrawMode(1);
    m_workSprite->SetVisible(false);
    return 0;
}

void CSpChangeEffect::Blend(uint8_t level)
{
    if (m_blended && level == m_lastLevel)
        return;
    CImage& work = *m_work;
    // Outside both pictures the work image stays clear. Where it can, one pass writes each pixel
    // of the two pictures' places once; else the new picture's own part is cleared again before
    // each fade and the old picture's part is copied anew.
    const bool first = !m_blended;
    if (first)
        work.FillRect32(0, nullptr);
    m_blended = 1;
    m_lastLevel = level;
    if (m_oldPicture == nullptr || m_newPicture == nullptr ||
        !DrawChangeBlend(work, *m_oldPicture, m_oldSource, m_oldAt.x, m_oldAt.y, *m_newPicture, m_newSource,
                         m_newAt.x, m_newAt.y, level, g_bUseMmx != 0)) {
        if (!first)
            for (int i = 0; i < m_newOnlyCount; ++i)
                work.FillRect32(0, &m_newOnly[i]);
        work.Copy(m_oldPicture, m_oldAt.x, m_oldAt.y, &m_oldSource, false);
        for (int i = 0; i < m_split.oldOnlyCount; ++i)
            AdjustAlphaLevel(work, 255 - level, &m_split.oldOnly[i]);
        CrossFadeAlphaAware(work, m_newPicture, level, m_newAt.x, m_newAt.y, &m_newSource);
    }
    if (m_workSprite && m_workSprite->GetOwnerList() != nullptr)
        for (int i = 0; i < m_split.refreshCount; ++i) {
            RECT r = m_split.refresh[i];
            m_workSprite->InvalidateLocalRect(&r);
        }
}

double CSpChangeEffect::MovingZoom(double f) const
{
    if (m_done || !m_plan.zoom)
        return 1.0;
    if (!m_plan.blended)
        return SpChangeZoom(m_plan.curve, m_plan.ratio, f);
    const double start = SpChangeZoom(m_plan.curve, m_plan.ratio, 0.0);
    return start > 0.0 ? SpChangeZoom(m_plan.curve, m_plan.ratio, f) / start : 1.0;
}

int32_t CSpChangeEffect::Step(uint32_t now)
{
    if (m_first) {
        m_first = 0;
        m_changeStart = now;
        if (m_plan.blended) {
            m_old->SetVisible(false);
            m_workSprite->SetVisible(true);
        } else if (m_plan.mode == 0) {
            m_old->SetVisible(false);
            m_new->SetVisible(true);
        }
    }
    m_elapsed = now - m_changeStart;
    return CSpPanimeEffect::Step(now);
}

void CSpChangeEffect::ApplyPoint(const PathStep& from, const PathStep& to, double t)
{
    if (m_moving == nullptr)
        return;
    const double f = m_done ? 1.0 : std::min(1.0, static_cast<double>(m_elapsed) / m_time);
    if (m_work && !m_done)
        Blend(static_cast<uint8_t>(f * 255.0));
    int32_t x = 0, y = 0;
    PositionAt(from, to, t, &x, &y);
    m_moving->SetPosition(Clamp32(int64_t{x} + m_offsetX), Clamp32(int64_t{y} + m_offsetY));
    m_moving->SetAlpha(static_cast<BYTE>(from.opacity + TruncateToInt32((to.opacity - from.opacity) * t)));
    if (m_plan.zoom) {
        const double zoom = (from.zoom + (to.zoom - from.zoom) * t) * MovingZoom(f);
        const double turns = (from.rotation + (to.rotation - from.rotation) * t) / 360.0;
        if (std::isfinite(zoom) && zoom > 0.0 && std::isfinite(turns))
            m_moving->SetRotateZoom(TruncateToInt32(turns * 512.0), zoom);
    }
}

void CSpChangeEffect::Complete()
{
    if (m_new == nullptr || m_moving == nullptr)
        return;
    if (m_moving != m_new)
        m_moving->SetVisible(false);
    if (m_workSprite)
        m_workSprite->SetVisible(false);
    m_old->SetVisible(false);
    m_new->SetVisible(true);
    m_moving = m_new;
    m_offsetX = m_offsetY = 0;
    m_done = 1;
    if (m_plan.zoom) {
        m_new->SetRotationPivot(-1, m_anchorX, m_anchorY);
        if (!m_new->IsRotated())
            m_new->CreateRotationWorkImage(m_path.GetLargestZoom());
    }
    CSpPanimeEffect::Complete();
}

int CSpChangeEffect::QueryV(const CEffectArgs&, CEffectArgs* out)
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
        out->SetInt(2, m_priority);
        out->SetDouble(4, RoundedToFloat(point.zoom));
        out->SetDouble(5, RoundedToFloat(point.rotation / 360.0));
    } else {
        out->SetInt(2, -1);
    }
    out->SetInt(3, m_path.GetFlag());
    out->SetInt(6, m_anchorX);
    out->SetInt(7, m_anchorY);
    out->SetInt(8, m_plan.zoom ? 1 : 0);
    return 0;
}

void CSpChangeEffect::MoveOwnSprites(uint32_t priority)
{
    MoveInItsList(m_old, priority);
    MoveInItsList(m_workSprite.get(), priority);
}
