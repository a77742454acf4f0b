#include "controls/rectangle_control.h"

#include "controls/control_container.h"
#include "drawing/draw_list.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "platform/timer_resolution.h"

// --- CPushControlBase ---

bool CPushControlBase::SetEnabled(bool enabled)
{
    if (!CControl::SetEnabled(enabled))
        return false;
    SetState(0);
    return true;
}

bool CPushControlBase::HitTest(int x, int y)
{
    return static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(m_width) &&
           static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(m_height);
}

void CPushControlBase::OnMouseMove(int, int)
{
    if (m_state != 0)
        return;
    SetState(1);
    FireEnterEvent(GetContainer(), m_command.get());
}

void CPushControlBase::OnMouseLeave()
{
    if (m_state != 1 && m_state != 2)
        return;
    SetState(0);
    FireLeaveEvent(GetContainer(), m_command.get(), true);
}

bool CPushControlBase::OnMouseInput(int, int, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (m_state == 1 && mouse->IsPushed(0)) {
        SetState(2);
        m_keyReleaseTime = 0;
        return true;
    }
    if (m_state == 2 && m_keyReleaseTime == 0 && !mouse->IsDown(0)) {
        SetState(1);
        Activate();
        return true;
    }
    return false;
}

void CPushControlBase::OnSetFocus(CControl*, bool)
{
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        form->SetCursorPos(GetX() + m_width / 2, GetY() + m_height / 2);
        return;
    }
    OnMouseMove(0, 0);
    if (mode == 2)
        form->ParkPointer();
}

void CPushControlBase::OnKillFocus(CControl*)
{
    if (m_state != 1 && m_state != 2)
        return;
    SetState(0);
    FireLeaveEvent(GetContainer(), m_command.get(), false);
}

bool CPushControlBase::OnKeyInput(CActionMap* actions)
{
    const uint32_t now = TimerNow();
    if (m_state == 1) {
        m_keyReleaseTime = 0;
        if (!actions || !actions->IsPushed(kActionDecide))
            return false;
        SetState(2);
        m_keyReleaseTime = now + kKeyPressMs;
        return true;
    }
    if (m_state == 2 && m_keyReleaseTime != 0) {
        if (static_cast<int32_t>(now - m_keyReleaseTime) > 0) {
            SetState(1);
            Activate();
            m_keyReleaseTime = 0;
        }
        return true;
    }
    m_keyReleaseTime = 0;
    return false;
}

bool CPushControlBase::Activate()
{
    if (!GetContainer())
        return false;
    FireActivateEvent(GetContainer(), m_command.get(), m_userValue);
    return true;
}

// --- CControlType2 ---

CControlType2::~CControlType2() { Release(); }

int CControlType2::SetPosition(int x, int y)
{
    m_shape.SetPosition(x, y);
    return 0;
}

void CControlType2::SetVisible(bool visible)
{
    if (!visible)
        DropFocusAndCapture();
    m_shape.SetVisible(visible);
}

int CControlType2::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (!m_shape.GetOwnerList())
        m_list->Insert(&m_shape, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
    else
        m_list->SetPriority(&m_shape, static_cast<uint32_t>(priority), keep);
    m_shape.SetTag(static_cast<DWORD>(group));
    m_id = group;
    m_priority = priority;
    return 0;
}

int CControlType2::SetAlpha(int alpha) { return m_shape.SetAlpha(static_cast<BYTE>(alpha)); }

int CControlType2::SetState(int state)
{
    if (state == m_state)
        return 0;
    m_state = static_cast<uint8_t>(state);
    const uint32_t color = state == 0   ? m_normalColor
                           : state == 1 ? m_highlightColor
                           : state == 2 ? m_pressedColor
                                        : static_cast<uint32_t>(state);
    m_shape.SetColorARGB(color);
    return 0;
}

int CControlType2::Create(CDrawList* list, int priority, int x, int y, int width, int height, uint32_t normal,
                          uint32_t highlight, uint32_t pressed, int id)
{
    if (!list || width <= 0 || height <= 0)
        return 1;
    if (normal != 0xFFFFFFFFu)
        m_normalColor = normal;
    if (highlight != 0xFFFFFFFFu)
        m_highlightColor = highlight;
    if (pressed != 0xFFFFFFFFu)
        m_pressedColor = pressed;
    Release();
    m_list = list;
    if (m_shape.Setup(width, height, m_normalColor, x, y) != 0)
        return 2;
    m_width = width;
    m_height = height;
    m_state = 0;
    SetPriority(priority, id, true);
    return 0;
}

int CControlType2::SetSize(int width, int height)
{
    if (!m_list)
        return 1;
    if (width > 0)
        m_width = width;
    if (height > 0)
        m_height = height;
    m_shape.SetNaturalSize(m_width, m_height);
    return 0;
}

int CControlType2::SetDrawList(CDrawList* list)
{
    CDrawList* current = m_shape.GetOwnerList();
    if (!list || !current)
        return 1;
    current->Remove(&m_shape);
    m_list = list;
    list->Insert(&m_shape, static_cast<uint32_t>(m_priority), m_shape.GetTag());
    return 0;
}
