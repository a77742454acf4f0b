#include "effects/weather_layer.h"

#include <algorithm>

#include "drawing/draw_list.h"
#include "drawing/primitive_object.h"
#include "drawing/scene.h"
#include "platform/cpu_info.h"
#include "raster/image.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/pixel_lib_kernels.h"
#include "raster/sprite_rows.h"
#include "raster/update_region.h"
#include "winapi/simd_level.h"

namespace {

bool Shown(const CDrawable& d)
{
    return d.IsVisible() && d.GetAlpha() != 0;
}

} // namespace

void CWeatherLayer::InvalidateParticle(const CDrawable& member)
{
    CDrawList* list = GetOwnerList();
    CScene* scene = list != nullptr ? list->GetScene() : nullptr;
    if (scene != nullptr && Shown(member))
        scene->InvalidateScattered(*member.GetScreenRectPtr());
}

void CWeatherLayer::Moved()
{
    RECT bounds{0, 0, 0, 0};
    bool any = false;
    for (const CDrawable* member : m_members) {
        const RECT& r = *member->GetScreenRectPtr();
        if (!Shown(*member) || r.left >= r.right || r.top >= r.bottom)
            continue;
        if (!any) {
            bounds = r;
            any = true;
            continue;
        }
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    m_bounds = bounds;
    m_indexed = false;
}

int CWeatherLayer::SetAlpha(BYTE alpha)
{
    if (alpha != m_alpha) {
        m_alpha = alpha;
        SetDirty(true);
    }
    return 0;
}

bool CWeatherLayer::InvalidateLocalRect(RECT* rect)
{
    const RECT shown{0, 0, GetWidth(), GetHeight()};
    if (GetOwnerList() == nullptr || !IntersectRects(rect, *rect, shown))
        return false;
    *rect = MovedRect(*rect, m_bounds.left, m_bounds.top);
    return GetOwnerList()->InvalidateRect(rect) != 0;
}

bool CWeatherLayer::HitTest(LONG x, LONG y, bool exact)
{
    // The frontmost member first.
    for (auto it = m_members.rbegin(); it != m_members.rend(); ++it)
        if (Shown(**it) && (*it)->HitTest(x, y, exact))
            return true;
    return false;
}

bool CWeatherLayer::Intersects(CDrawable* other)
{
    if (other == nullptr)
        return false;
    RECT o;
    other->GetScreenRect(&o);
    return IntersectRects(nullptr, o, m_bounds);
}

RECT* CWeatherLayer::GetScreenRect(RECT* out) const
{
    if (out != nullptr)
        *out = m_bounds;
    return out;
}

int CWeatherLayer::Draw(CImage* target, RECT* outRect)
{
    if (target == nullptr)
        return 1;
    if (!IsVisible() || m_alpha == 0)
        return 0;
    for (CDrawable* member : m_members)
        if (Shown(*member))
            member->Draw(target, nullptr);
    ReportDrawn(target, m_bounds, outRect);
    return 0;
}

void CWeatherLayer::MakeIndex(const CImage& target)
{
    const LONG width = target.GetWidth(), height = target.GetHeight();
    const RECT whole{0, 0, width, height};
    const LONG rows = height > 0 ? (height + kCellRows - 1) / kCellRows : 0;
    // About as many cells as members, none narrower than kCellWidth: a layer of a few members
    // keeps only its rows, so the index costs what its members do.
    const LONG most = width > 0 ? (width + kCellWidth - 1) / kCellWidth : 0;
    m_columns = std::clamp<LONG>(static_cast<LONG>(std::min<size_t>(m_members.size(), INT32_MAX)) / std::max<LONG>(rows, 1),
                                 std::min<LONG>(1, most), most);
    m_cellWidth = m_columns > 0 ? (width + m_columns - 1) / m_columns : 1;
    const auto cells = static_cast<size_t>(m_columns + 1) * static_cast<size_t>(rows);
    // The fade towards a colour the pixel library would run for a shape, straight.
    const bool colourRows = pixel_lib::Loaded() && g_bUseMmx != 0 && UseAvx2() && target.GetBitsPerPixel() == 32 &&
                            target.GetBits() != nullptr;
    m_plans.resize(m_members.size());
    for (size_t i = 0; i < m_members.size(); ++i) {
        CDrawable& member = *m_members[i];
        Planned& p = m_plans[i];
        p.how = Planned::kAsScene;
        p.dst = nullptr;
        if (!Shown(member) || !IntersectRects(&p.screen, *member.GetScreenRectPtr(), whole)) {
            p.screen = RECT{0, 0, 0, 0};
            continue;
        }
        const int kind = member.GetKind();
        if (kind == kDrawableSprite) {
            DrawPlan plan;
            member.PlanRegion(&target, whole, plan);
            if (plan.dst != nullptr) {
                p.how = Planned::kRows;
                p.dst = plan.dst;
                p.src = plan.src;
                p.dstPitch = plan.dstPitch;
                p.srcPitch = plan.srcPitch;
                p.screen = plan.screen;
            }
        } else if (kind == kDrawableShape && colourRows && member.GetBlendMode() == 0 && member.GetAlpha() != 255) {
            RECT area = p.screen;
            if (!target.ClipRectToBounds(&area) || area.left >= area.right || area.top >= area.bottom) {
                p.screen = RECT{0, 0, 0, 0};
                continue;
            }
            p.how = Planned::kColour;
            p.screen = area;
            p.alpha = member.GetAlpha();
            p.rgb = static_cast<const CPrimitiveObject&>(member).GetColor() & 0xFFFFFFu;
            p.dstPitch = target.GetPitch();
            p.dst = const_cast<BYTE*>(target.GetBits()) + intptr_t{area.top} * p.dstPitch + intptr_t{area.left} * 4;
        }
    }
    // The cells each shown member reaches, counted, then filled in member order so that each
    // cell's list is in drawing order (the starts move to the ends while filling, then back).
    m_cellStarts.assign(cells + 1, 0);
    // Each row of cells ends in one more that holds the whole row.
    const auto forCells = [&](const RECT& r, auto&& each) {
        const LONG left = r.left / m_cellWidth, right = (r.right - 1) / m_cellWidth;
        for (LONG row = r.top / kCellRows; row <= (r.bottom - 1) / kCellRows; ++row) {
            const size_t first = static_cast<size_t>(row) * static_cast<size_t>(m_columns + 1);
            for (LONG column = left; column <= right; ++column)
                each(first + static_cast<size_t>(column));
            each(first + static_cast<size_t>(m_columns));
        }
    };
    for (const Planned& p : m_plans)
        if (p.screen.left < p.screen.right)
            forCells(p.screen, [&](size_t cell) { ++m_cellStarts[cell + 1]; });
    for (size_t c = 1; c <= cells; ++c)
        m_cellStarts[c] += m_cellStarts[c - 1];
    m_celled.resize(m_cellStarts[cells]);
    for (uint32_t i = 0; i < m_plans.size(); ++i)
        if (m_plans[i].screen.left < m_plans[i].screen.right)
            forCells(m_plans[i].screen, [&](size_t cell) { m_celled[m_cellStarts[cell]++] = i; });
    for (size_t c = cells; c > 0; --c)
        m_cellStarts[c] = m_cellStarts[c - 1];
    m_cellStarts[0] = 0;
    m_indexTarget = &target;
    m_indexBits = target.GetBits();
    m_indexed = true;
}

void CWeatherLayer::DrawMember(CDrawable& member, CImage* target, const RECT& rect)
{
    if (!Shown(member) || !IntersectRects(nullptr, *member.GetScreenRectPtr(), rect))
        return;
    // As the scene draws a drawable alone: through its plan where its kind makes one (a sprite
    // blending by its alpha then goes straight to the rows).
    DrawPlan plan;
    if (member.PlanRegion(target, rect, plan))
        member.DrawPlannedRows(target, plan, rect.top, rect.bottom);
    else
        member.DrawRegion(target, rect);
}

void CWeatherLayer::DrawRegion(CImage* target, const RECT& rect)
{
    RECT r;
    if (target == nullptr || !IntersectRects(&r, rect, RECT{0, 0, target->GetWidth(), target->GetHeight()}))
        return;
    // A piece of a tile row lies in one row of cells: only the members reaching its cells are
    // looked at. Taller rectangles walk every member.
    if (r.top / kCellRows != (r.bottom - 1) / kCellRows) {
        for (CDrawable* member : m_members)
            DrawMember(*member, target, rect);
        return;
    }
    if (!m_indexed || m_indexTarget != target || m_indexBits != target->GetBits())
        MakeIndex(*target);
    const size_t row = static_cast<size_t>(r.top / kCellRows) * static_cast<size_t>(m_columns + 1);
    const auto first = static_cast<size_t>(r.left / m_cellWidth),
               last = static_cast<size_t>((r.right - 1) / m_cellWidth);
    // Inside one cell its members; across several the whole row's, each looked at once.
    const size_t cell = row + (first == last ? first : static_cast<size_t>(m_columns));
    RECT drawn{0, 0, 0, 0};
    for (uint32_t i = m_cellStarts[cell]; i < m_cellStarts[cell + 1]; ++i)
        DrawIndexed(m_celled[i], target, r, drawn);
    if (drawn.left < drawn.right)
        target->MarkChanged(drawn);
}

void CWeatherLayer::DrawIndexed(uint32_t i, CImage* target, const RECT& rect, RECT& drawn)
{
    const Planned& p = m_plans[i];
    RECT a;
    if (!IntersectRects(&a, p.screen, rect))
        return;
    if (p.how == Planned::kAsScene) {
        DrawMember(*m_members[i], target, rect);
        return;
    }
    const int width = a.right - a.left, height = a.bottom - a.top;
    const intptr_t down = a.top - p.screen.top, across = intptr_t{a.left - p.screen.left} * 4;
    BYTE* dst = p.dst + down * p.dstPitch + across;
    if (p.how == Planned::kRows)
        BlendSpriteRows32(dst, p.src + down * p.srcPitch + across, p.dstPitch - width * 4, p.srcPitch - width * 4,
                          width, height);
    else
        pixel_lib::FillColorRowsAvx2(dst, p.dstPitch - width * 4, width, height, p.rgb, p.alpha);
    if (drawn.left >= drawn.right) {
        drawn = a;
        return;
    }
    drawn = RECT{std::min(drawn.left, a.left), std::min(drawn.top, a.top), std::max(drawn.right, a.right),
                 std::max(drawn.bottom, a.bottom)};
}

void CWeatherLayer::Reset()
{
    m_members.clear();
    m_bounds = RECT{0, 0, 0, 0};
    m_indexed = false;
    m_visible = 1;
    m_alpha = 255;
    m_blendMode = 0;
    SetDirty(true);
}
