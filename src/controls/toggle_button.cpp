#include "controls/toggle_button.h"

#include "controls/control_container.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "platform/timer_resolution.h"

#include <algorithm>

namespace {
// The column each state shows, per kind; the entry of state 6 is the column count without
// disabled frames.
constexpr uint8_t kColumns[4][8] = {
    {0, 1, 2, 3, 4, 5, 6, 7},
    {0, 1, 1, 2, 3, 3, 4, 5},
    {0, 1, 2, 3, 3, 3, 4, 5},
    {0, 1, 1, 2, 2, 2, 3, 4},
};
bool IsHover(int state) { return state == 1 || state == 4; }
bool IsPressed(int state) { return state == 2 || state == 5; }
} // namespace

CToggleButton::~CToggleButton()
{
    Release();
    DeleteEvents();
    DissolveGroup();
}

void CToggleButton::Release()
{
    m_face.Release();
    m_fileName.clear();
    m_frameWidth = 0;
}

int CToggleButton::SetPosition(int x, int y)
{
    const int dx = x - GetX();
    const int dy = y - GetY();
    m_face.m_sprite.SetPosition(x, y);
    if (m_isLeader)
        ForMembers([dx, dy](CToggleButton* m) { m->SetPosition(m->GetX() + dx, m->GetY() + dy); });
    return 0;
}

void CToggleButton::SetVisible(bool visible)
{
    if (m_isLeader)
        ForMembers([visible](CToggleButton* m) { m->SetVisible(visible); });
    if (!visible)
        DropFocusAndCapture();
    m_face.m_sprite.SetVisible(visible);
}

int CToggleButton::SetPriority(int priority, int group, bool keep)
{
    if (m_isLeader)
        ForMembers([priority, keep](CToggleButton* m) { m->SetPriority(priority, m->GetId(), keep); });
    const int result = m_face.SetPriority(priority, group, keep);
    if (result == 0)
        m_id = group;
    return result;
}

int CToggleButton::SetAlpha(int alpha)
{
    if (m_isLeader)
        ForMembers([alpha](CToggleButton* m) { m->SetAlpha(alpha); });
    return m_face.m_sprite.SetAlpha(static_cast<BYTE>(alpha));
}

bool CToggleButton::SetEnabled(bool enabled)
{
    if (Leader()->m_groupLocked)
        return false;
    if (m_isLeader)
        ForMembers([enabled](CToggleButton* m) { m->SetEnabled(enabled); });
    if (!CControl::SetEnabled(enabled))
        return false;
    const bool on = IsOn();
    SetState(enabled ? (on ? 3 : 0) : (on ? 7 : 6));
    return true;
}

int CToggleButton::SetState(int state)
{
    if (state == m_state)
        return 0;
    m_state = static_cast<uint8_t>(state);
    if (m_stateVariable)
        *m_stateVariable = state < 3 ? 0 : state <= 5 ? 1 : 2;
    int shown = state;
    if (!m_hasDisabledFrames && state >= 6)
        shown = state == 6 ? 0 : 3;
    m_face.ShowColumn(m_frameWidth, kColumns[m_kind][std::clamp(shown, 0, 7)]);
    return 0;
}

bool CToggleButton::HitTest(int x, int y)
{
    if (Leader()->m_groupLocked)
        return false;
    bool hit = m_rectangularHit ? static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(m_frameWidth) &&
                                      static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(m_frameHeight)
                                : PixelHitTest(x, y);
    if (hit && IsRadio() && Leader()->IsSelected(this))
        hit = false;
    return hit;
}

void CToggleButton::OnMouseMove(int, int)
{
    if (m_state != 0 && m_state != 3)
        return;
    SetState(m_state + 1);
    FireEnterEvent(GetContainer(), m_command.get());
}

void CToggleButton::OnMouseLeave()
{
    if (!IsHover(m_state) && !IsPressed(m_state))
        return;
    SetState(m_state < 3 ? 0 : 3);
    FireLeaveEvent(GetContainer(), m_command.get(), true);
}

void CToggleButton::OnKillFocus(CControl*)
{
    if (!IsHover(m_state) && !IsPressed(m_state))
        return;
    SetState(m_state < 3 ? 0 : 3);
    FireLeaveEvent(GetContainer(), m_command.get(), false);
}

bool CToggleButton::OnMouseInput(int, int, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (IsHover(m_state) && mouse->IsPushed(0)) {
        SetState(m_state + 1);
        m_repeatDeadline = 0;
        return true;
    }
    if (IsPressed(m_state) && m_repeatDeadline == 0 && !mouse->IsDown(0)) {
        Toggle(true);
        return true;
    }
    return false;
}

void CToggleButton::HandFocusOn(bool forward)
{
    CControlContainer* form = GetContainer();
    if (!form)
        return;
    if ((forward ? form->FocusNext() : form->FocusPrevious()) != 0 && form->IsFocus(this))
        form->SetFocus(nullptr);
}

void CToggleButton::OnSetFocus(CControl*, bool forward)
{
    if (Leader()->m_groupLocked || (IsRadio() && Leader()->IsSelected(this))) {
        HandFocusOn(forward);
        return;
    }
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        form->SetCursorPos(GetX() + m_frameWidth / 2, GetY() + m_frameHeight / 2);
        return;
    }
    OnMouseMove(0, 0);
    if (mode == 2)
        form->ParkPointer();
}

bool CToggleButton::OnKeyInput(CActionMap* actions)
{
    const uint32_t now = TimerNow();
    if (IsHover(m_state)) {
        m_repeatDeadline = 0;
        if (!actions || !actions->IsPushed(kActionDecide))
            return false;
        if (m_kind & 1) {
            Toggle(false);
        } else {
            SetState(m_state + 1);
            m_repeatDeadline = now + kKeyPressMs;
        }
        return true;
    }
    if (IsPressed(m_state) && m_repeatDeadline != 0) {
        if (static_cast<int32_t>(now - m_repeatDeadline) > 0) {
            m_repeatDeadline = 0;
            Toggle(false);
        }
        return true;
    }
    m_repeatDeadline = 0;
    return false;
}

void CToggleButton::Toggle(bool fromPointer)
{
    const bool wasOn = m_state >= 3;
    if (!IsRadio()) {
        SetState(wasOn ? 1 : 4);
        FireClick();
        return;
    }
    SetState(wasOn ? 0 : 3);
    Leader()->Select(Leader()->IndexOf(this));
    CControlContainer* form = GetContainer();
    if (fromPointer && form)
        form->ReleaseCapture();
    FireClick();
}

void CToggleButton::FireClick() { FireActivateEvent(GetContainer(), m_command.get(), m_userValue); }

int CToggleButton::IndexOf(const CToggleButton* control) const
{
    if (control == this)
        return 0;
    const auto it = std::find(m_members.begin(), m_members.end(), control);
    return it == m_members.end() ? -1 : static_cast<int>(it - m_members.begin()) + 1;
}

CToggleButton* CToggleButton::MemberAt(int index)
{
    if (index == 0)
        return this;
    return index > 0 && static_cast<size_t>(index) <= m_members.size() ? m_members[index - 1] : nullptr;
}

bool CToggleButton::IsSelected(const CToggleButton* control) const
{
    return m_isLeader && control && IndexOf(control) == m_selected;
}

bool CToggleButton::SetChecked(bool on)
{
    if (IsOn() == on)
        return false;
    if (!m_isLeader && !m_leader) {
        SetState(m_enabled ? (on ? 3 : 0) : (on ? 7 : 6));
        return true;
    }
    CToggleButton* leader = Leader();
    int index = leader->IndexOf(this);
    if (!on)
        index = static_cast<size_t>(index) >= leader->m_members.size() ? 0 : index + 1;
    leader->Select(index);
    return true;
}

int CToggleButton::Select(int index)
{
    if (m_leader)
        return m_leader->Select(index);
    if (!m_isLeader)
        return 1;
    if (index == m_selected)
        return 0;
    // A negative index used to pick a member before the list.
    if (index < 0 || static_cast<size_t>(index) > m_members.size())
        return 2;
    if (CToggleButton* old = MemberAt(m_selected))
        old->SetState(old->m_enabled ? 0 : 6);
    CToggleButton* now = MemberAt(index);
    now->SetState(now->m_enabled ? 3 : 7);
    m_selected = index;
    return 0;
}

int CToggleButton::UpdateVariables()
{
    if (m_leader)
        return m_leader->UpdateVariables();
    SetGroupLocked(true);
    if (m_isLeader) {
        if (m_stateVariable)
            *m_stateVariable = m_selected;
        ForMembers([this](CToggleButton* m) {
            if (m->m_stateVariable)
                *m->m_stateVariable = m_selected;
        });
    }
    return 0;
}

void CToggleButton::SetGroupLocked(bool locked)
{
    if (m_leader) {
        m_leader->SetGroupLocked(locked);
        return;
    }
    auto apply = [locked](CToggleButton* c) {
        if (locked) {
            c->DropFocusAndCapture();
            c->m_groupLocked = 1;
            c->m_enabled = 0;
        } else {
            c->m_groupLocked = 0;
            c->m_enabled = c->m_state < 6 ? 1 : 0;
        }
    };
    ForMembers(apply);
    apply(this);
}

int CToggleButton::AddMember(CToggleButton* control)
{
    if (!control)
        return 1;
    if (control == this || IndexOf(control) > 0)
        return 2;
    m_members.push_back(control);
    return 0;
}

int CToggleButton::RemoveMember(CToggleButton* control)
{
    if (!control)
        return 1;
    const int index = control == this ? -1 : IndexOf(control);
    if (index <= 0)
        return 2;
    m_members.erase(m_members.begin() + (index - 1));
    if (index == m_selected) {
        m_selected = 0;
        SetState(m_enabled ? 3 : 7);
    } else if (index < m_selected) {
        --m_selected;  // the same control keeps the selection
    }
    return 0;
}

void CToggleButton::DissolveGroup()
{
    if (m_isLeader) {
        ForMembers([](CToggleButton* m) { m->m_leader = nullptr; });
        m_members.clear();
        m_isLeader = 0;
        m_selected = 0;
    } else if (m_leader) {
        m_leader->RemoveMember(this);
        m_leader = nullptr;
    }
}

int CToggleButton::Finish(CDrawList* list, int priority, int32_t* stateVariable, int kind, bool hasDisabledFrames,
                          CToggleButton* leader, int x, int y, int blendMode, int alpha, int group)
{
    CImage* picture = m_face.Picture();
    const int columns = kColumns[kind][6] + (hasDisabledFrames ? 2 : 0);
    m_kind = static_cast<uint8_t>(kind);
    m_hasDisabledFrames = hasDisabledFrames ? 1 : 0;
    m_frameWidth = picture->GetWidth() / columns;
    m_frameHeight = picture->GetHeight();
    m_face.m_list = list;
    if (m_frameWidth <= 0 || m_face.ShowFirstColumn(m_frameWidth, x, y, blendMode, alpha) != 0)
        return 2;
    SetPriority(priority, group, true);
    m_stateVariable = stateVariable;
    m_state = 0;
    if (IsRadio() && !leader) {
        m_isLeader = 1;
        m_members.clear();
        m_selected = 0;
        SetState(3);
        if (m_stateVariable)
            *m_stateVariable = 1;
        return 0;
    }
    if (IsRadio()) {
        leader->AddMember(this);
        m_leader = leader;
    }
    if (m_stateVariable)
        *m_stateVariable = 0;
    return 0;
}

int CToggleButton::CreateFromFile(CDrawList* list, int priority, int32_t* stateVariable, const char* file, int kind,
                                  bool hasDisabledFrames, CToggleButton* leader, int x, int y, int blendMode,
                                  int alpha, int first, int second, int group)
{
    DissolveGroup();
    Release();
    if (leader && leader->m_leader)
        leader = leader->m_leader;
    if (!list || !file || kind < 0 || kind > 3 || (leader && (!leader->m_isLeader || leader == this)))
        return 1;
    int result = m_face.LoadPicture(file, first, second, blendMode, &m_rectangularHit);
    if (result == 0)
        result = Finish(list, priority, stateVariable, kind, hasDisabledFrames, leader, x, y, blendMode, alpha, group);
    if (result != 0) {
        Release();
        return result;
    }
    m_fileName = file;
    return 0;
}

int CToggleButton::CreateFromImage(CDrawList* list, int priority, int32_t* stateVariable, CImage* image, int kind,
                                   bool hasDisabledFrames, CToggleButton* leader, int x, int y, int blendMode,
                                   int alpha, int group)
{
    DissolveGroup();
    Release();
    if (leader && leader->m_leader)
        leader = leader->m_leader;
    if (!list || kind < 0 || kind > 3 || (leader && (!leader->m_isLeader || leader == this)) ||
        m_face.BorrowPicture(image, blendMode, &m_rectangularHit) != 0)
        return 1;
    const int result =
        Finish(list, priority, stateVariable, kind, hasDisabledFrames, leader, x, y, blendMode, alpha, group);
    if (result != 0)
        Release();
    return result;
}
