#include "controls/control.h"

#include "controls/control_container.h"
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
