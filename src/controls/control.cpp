#include "controls/control.h"

#include "controls/control_container.h"
#include "platform/input_source.h"
#include "platform/object_lifetime.h"

CControl::~CControl()
{
    NotifyObjectDestroyed(this);
    SetHintText(nullptr);
    if (m_container) {
        CControlContainer* container = m_container;
        container->RemoveControl(this);
        container->ForgetNeighbour(this);
    }
}

bool CControl::SetEnabled(bool enabled)
{
    if ((m_enabled != 0) == enabled)
        return false;
    if (m_container && !enabled)
        DropFocusAndCapture();
    m_enabled = enabled ? 1 : 0;
    return true;
}

void CControl::DropFocusAndCapture()
{
    if (!m_container)
        return;
    if (m_container->IsFocus(this))
        m_container->SetFocus(nullptr);
    if (m_container->IsCapture(this))
        m_container->ReleaseCapture();
}

bool CControl::FollowDrag(uint8_t* dragging, int x, int y, int grabX, int grabY)
{
    if (!*dragging)
        return false;
    CInputSource* mouse = m_container ? m_container->GetMouse() : nullptr;
    if (mouse && mouse->IsDown(0)) {
        SetPosition(x - grabX, y - grabY);
        return true;
    }
    *dragging = 0;
    return false;
}

void CControl::SetHintText(const char* text)
{
    if (!m_hint.empty() && m_container && m_container->IsCapture(this))
        m_container->HideHint();
    m_hint = text ? text : "";
}

void CControl::SetNeighbours(CControl* left, CControl* right, CControl* up, CControl* down)
{
    m_neighbours[kNeighbourUp] = up;
    m_neighbours[kNeighbourDown] = down;
    m_neighbours[kNeighbourLeft] = left;
    m_neighbours[kNeighbourRight] = right;
}
