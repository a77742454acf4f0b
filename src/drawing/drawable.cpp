#include "drawing/drawable.h"

#include "drawing/draw_list.h"
#include "raster/image.h"
#include "platform/object_lifetime.h"

#include <climits>

CDrawable::~CDrawable()
{
    NotifyObjectDestroyed(this);
    DetachFromList();
}

void CDrawable::SetVisible(bool visible)
{
    if ((m_visible != 0) != visible) {
        m_visible = visible ? 1 : 0;
        SetDirty(true);
    }
}

void CDrawable::DetachFromList()
{
    if (m_ownerList) {
        m_ownerList->Remove(this);
        m_ownerList = nullptr;
    }
}

int CDrawable::DrawWhole(CImage* target)
{
    const uint8_t dirty = m_dirty;
    const int result = Draw(target, nullptr);
    m_dirty = dirty;
    return result;
}

bool CDrawable::PlanRegion(const CImage*, const RECT&, DrawPlan&) const
{
    return false;
}

void CDrawable::DrawPlannedRows(CImage*, const DrawPlan&, LONG, LONG) {}

void CDrawable::ReportDrawn(const CImage* target, const RECT& rect, RECT* outRect)
{
    if (!outRect) {
        return;
    }
    *outRect = rect;
    if (!target || !target->ClipRectToBounds(outRect)) {
        outRect->left = -1;
    }
}
