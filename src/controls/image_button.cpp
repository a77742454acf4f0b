#include "controls/image_button.h"

#include "controls/control_container.h"
#include "platform/action_map.h"
#include "platform/input_source.h"

CButton::~CButton() { ClearCommand(); }

int CButton::SetPosition(int x, int y)
{
    m_x = x;
    m_y = y;
    return 0;
}

int CButton::Create(int x, int y, int width, int height, int hotX, int hotY, bool pointerEnabled, bool activatable,
                    int id)
{
    if (width <= 0 || height <= 0)
        return 1;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    m_hotX = hotX < 0 ? x + (width >> 1) : hotX;
    m_hotY = hotY < 0 ? y + (height >> 1) : hotY;
    m_pointerEnabled = pointerEnabled ? 1 : 0;
    m_activatable = activatable ? 1 : 0;
    m_id = id;
    return 0;
}

void CButton::SetHotPoint(int x, int y)
{
    m_hotX = x < 0 ? m_x + (m_width >> 1) : x;
    m_hotY = y < 0 ? m_y + (m_height >> 1) : y;
}

bool CButton::HitTest(int x, int y)
{
    if (!m_pointerEnabled)
        return false;
    return static_cast<uint32_t>(x - m_x) < static_cast<uint32_t>(m_width) &&
           static_cast<uint32_t>(y - m_y) < static_cast<uint32_t>(m_height);
}

void CButton::Highlight()
{
    if (m_highlighted)
        return;
    m_highlighted = 1;
    FireEnterEvent(GetContainer(), m_command.get());
}

void CButton::OnMouseMove(int, int) { Highlight(); }

void CButton::OnMouseLeave()
{
    if (!m_highlighted)
        return;
    m_highlighted = 0;
    FireLeaveEvent(GetContainer(), m_command.get(), true);
}

bool CButton::OnMouseInput(int, int, CInputSource* mouse)
{
    if (m_highlighted && mouse && mouse->IsPushed(0))
        return Activate();
    return false;
}

bool CButton::OnKeyInput(CActionMap* actions)
{
    if (m_highlighted && actions && actions->IsPushed(kActionDecide))
        return Activate();
    return false;
}

void CButton::OnSetFocus(CControl*, bool)
{
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        form->SetCursorPos(m_hotX, m_hotY);
        return;
    }
    Highlight();
    if (mode == 2)
        form->ParkPointer();
}

void CButton::OnKillFocus(CControl*)
{
    if (!m_highlighted)
        return;
    m_highlighted = 0;
    FireLeaveEvent(GetContainer(), m_command.get(), false);
}

bool CButton::Activate()
{
    if (!GetContainer() || !m_activatable)
        return false;
    FireActivateEvent(GetContainer(), m_command.get(), m_userValue);
    return true;
}
