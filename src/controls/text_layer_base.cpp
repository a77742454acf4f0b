#include "controls/control_command.h"
#include "controls/control_container.h"
#include "controls/text_layer.h"
#include "platform/action_map.h"
#include "platform/bit_array.h"
#include "platform/input_source.h"
#include "platform/timer_resolution.h"

#include <cstdlib>

CTextLayerBase::~CTextLayerBase()
{
    for (CTextLayerItem* item : m_items)
        delete item;
}

const CTextLayerItem* CTextLayerBase::GetItem(int line) const
{
    return line >= 0 && line < static_cast<int>(m_items.size()) ? m_items[line] : nullptr;
}

bool CTextLayerBase::IsLineEnabled(int line) const
{
    if (line < 0 || line >= m_lineCount)
        return false;
    const CTextLayerItem* item = GetItem(line);
    return !item || !item->disabled;
}

int CTextLayerBase::NextEnabled(int from, int step) const
{
    for (int line = from; line >= 0 && line < m_lineCount; line += step)
        if (IsLineEnabled(line))
            return line;
    return -1;
}

void CTextLayerBase::ClearItems()
{
    CControlContainer* form = GetContainer();
    if (form && form->IsCapture(this))
        form->HideHint();
    m_lineHint.clear();
    for (CTextLayerItem* item : m_items)
        delete item;
    m_items.clear();
    m_lineCount = 0;
    m_hovered = -1;
    m_state = 0;
}

void CTextLayerBase::SetReadFlags(CBitArray* flags, int base, int32_t* result)
{
    m_readFlags = flags;
    m_readBase = base;
    m_result = result;
}

int CTextLayerBase::CopyReadSettings(const CTextLayerBase* other)
{
    if (!other)
        return 1;
    m_readFlags = other->m_readFlags;
    m_readBase = other->m_readBase;
    m_result = other->m_result;
    m_readMarks = other->m_readMarks;
    return 0;
}

void CTextLayerBase::SetSounds(const char* choose, const char* enter, const char* leave, int chooseNumber,
                               int enterNumber, int leaveNumber)
{
    auto set = [](std::string& s, int32_t& n, const char* name, int number) {
        s = name ? name : "";
        n = s.empty() ? number : 0;
    };
    set(m_chooseSound, m_chooseNumber, choose, chooseNumber);
    set(m_enterSound, m_enterNumber, enter, enterNumber);
    set(m_leaveSound, m_leaveNumber, leave, leaveNumber);
}

void CTextLayerBase::SetTextColors(uint32_t normal, uint32_t read, uint32_t highlighted, uint32_t disabled)
{
    m_normal = normal & 0xFFFFFF;
    m_read = read & 0xFFFFFF;
    m_highlighted = highlighted & 0xFFFFFF;
    m_disabledColor = disabled & 0xFFFFFF;
}

void CTextLayerBase::SetTextGradients(uint32_t normalTop, uint32_t normalBottom, uint32_t readTop,
                                      uint32_t readBottom, uint32_t highTop, uint32_t highBottom,
                                      uint32_t disabledTop, uint32_t disabledBottom)
{
    const uint32_t values[8] = {normalTop, normalBottom, readTop, readBottom,
                                highTop,   highBottom,   disabledTop, disabledBottom};
    for (int i = 0; i < 8; ++i)
        m_gradients[i] = values[i];
}

void CTextLayerBase::SetCellMargins(int left, int top, int right, int bottom)
{
    m_marginL = left;
    m_marginT = top;
    m_marginR = right;
    m_marginB = bottom;
}

int CTextLayerBase::AddItem(const char* text, bool disabled, int value, const char* name, int number,
                            const char* command, const char* hint, int32_t* chosen, int32_t* entered, int32_t* left)
{
    const bool plain = !text && !disabled && value < 0 && !name && number == -1 && !command && !hint && !chosen &&
                       !entered && !left;
    CTextLayerItem* item = nullptr;
    if (!plain) {
        item = new CTextLayerItem;
        item->text = text ? text : "";
        item->disabled = disabled ? 1 : 0;
        item->value = value;
        item->name = name ? name : "";
        item->number = number;
        item->command = command ? command : "";
        item->hint = hint ? hint : "";
        item->chosen = chosen;
        item->entered = entered;
        item->left = left;
    }
    m_items.push_back(item);
    ++m_lineCount;
    if (CControlContainer* form = GetContainer())
        form->GetCursorPos(&m_suppressX, &m_suppressY);
    m_suppressed = 1;
    SetLocked(false);
    return 0;
}

bool CTextLayerBase::OnLineEnter(int line)
{
    if (line < 0 || line >= m_lineCount)
        return false;
    SetLineState(line, 1);
    m_state = 1;
    PlayEventSound(GetContainer(), m_enterSound, m_enterNumber, kSoundDefaultEnter);
    const CTextLayerItem* item = GetItem(line);
    if (item) {
        if (item->entered)
            *item->entered = 1;
        if (item->left)
            *item->left = 0;
    }
    m_lineHint = item ? item->hint : "";
    return true;
}

void CTextLayerBase::OnLineLeave(int line)
{
    if (line < 0 || line >= m_lineCount)
        return;
    SetLineState(line, 0);
    m_state = 0;
    PlayEventSound(GetContainer(), m_leaveSound, m_leaveNumber, kSoundDefaultLeave);
    if (const CTextLayerItem* item = GetItem(line)) {
        if (item->entered)
            *item->entered = 0;
        if (item->left)
            *item->left = 1;
    }
    m_lineHint.clear();
}

void CTextLayerBase::LeaveHovered()
{
    if (m_hovered >= 0)
        OnLineLeave(m_hovered);
    m_hovered = -1;
}

bool CTextLayerBase::SelectLine(int line)
{
    if (line < 0 || line >= m_lineCount)
        return false;
    const CTextLayerItem* item = GetItem(line);
    const int key = item && item->value >= 0 ? item->value : line;
    if (m_readFlags)
        m_readFlags->SetBit(static_cast<uint32_t>(m_readBase + key), 1);
    if (m_result)
        *m_result = key;
    CControlContainer* form = GetContainer();
    if (form && GetUserValue() >= 0)
        form->SetResult(GetUserValue() + line);
    SetLocked(true);
    PlayEventSound(form, m_chooseSound, m_chooseNumber, kSoundDefaultActivate);
    if (item && item->chosen)
        *item->chosen = 1;
    if (form && item && (!item->command.empty() || !item->name.empty() || item->number != -1))
        form->OnButtonCommand(item->command.empty() ? nullptr : item->command.c_str(),
                              item->name.empty() ? nullptr : item->name.c_str(), item->number);
    return true;
}

void CTextLayerBase::FocusLine(int line)
{
    if (line < 0 || line >= m_lineCount)
        return;
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        int x = 0, y = 0;
        if (GetLinePointerPos(line, &x, &y))
            form->SetCursorPos(x, y);
        return;
    }
    if (form)
        form->ReleaseCapture();
    if (mode == 2 && form && form->IsHintShown()) {
        form->HideHint();
        form->RestartHintTimer();
    }
    if (m_hovered != line)
        LeaveHovered();
    if (OnLineEnter(line))
        m_hovered = line;
    if (mode == 2)
        form->ParkPointer();
}

bool CTextLayerBase::HitTest(int x, int y)
{
    CControlContainer* form = GetContainer();
    if (FollowDrag(&m_dragging, x, y, m_grabX, m_grabY))
        return true;
    const int lx = x - GetX(), ly = y - GetY();
    if (m_dragThreshold && IsOnFrame(lx, ly)) {
        if (!m_locked)
            LeaveHovered();
        if (form)
            form->SetCursorKind(3);
        return true;
    }
    if (m_locked)
        return false;
    if (m_suppressed && (std::abs(x - m_suppressX) > 3 || std::abs(y - m_suppressY) > 3))
        m_suppressed = 0;
    if (LineAt(lx, ly) >= 0) {
        if (form)
            form->SetCursorKind(1);
        return true;
    }
    return false;
}

void CTextLayerBase::OnMouseMove(int x, int y)
{
    CControlContainer* form = GetContainer();
    if (m_locked) {
        if (form && form->GetCursorKind() == 1)
            form->SetCursorKind(0);
        return;
    }
    if (m_dragThreshold && IsOnFrame(x, y))
        return;
    const int line = LineAt(x, y);
    if (line == m_hovered)
        return;
    if (m_hovered >= 0 && form && form->IsHintShown()) {
        form->HideHint();
        form->RestartHintTimer();
    }
    LeaveHovered();
    if (line >= 0 && OnLineEnter(line))
        m_hovered = line;
}

void CTextLayerBase::OnMouseLeave()
{
    m_dragging = 0;
    if (!m_locked)
        LeaveHovered();
    if (CControlContainer* form = GetContainer())
        form->SetCursorKind(0);
}

bool CTextLayerBase::OnMouseInput(int x, int y, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (mouse->IsPushed(0) && m_dragThreshold && IsOnFrame(x, y)) {
        m_dragging = 1;
        m_grabX = x;
        m_grabY = y;
        return true;
    }
    if (m_state == 1 && mouse->IsPushed(0) && !m_locked && !m_suppressed && m_hovered >= 0) {
        SetLineState(m_hovered, 2);
        m_state = 2;
        m_pressTimeout = 0;
        return true;
    }
    if (m_state == 2 && m_pressTimeout == 0 && !mouse->IsDown(0)) {
        SetLineState(m_hovered, 1);
        m_state = 1;
        SelectLine(m_hovered);
        return true;
    }
    return false;
}

void CTextLayerBase::OnSetFocus(CControl*, bool forward)
{
    if (m_lineCount > 0 && !m_locked) {
        const int line = forward ? NextEnabled(0, 1) : NextEnabled(m_lineCount - 1, -1);
        if (line >= 0) {
            FocusLine(line);
            return;
        }
    }
    CControlContainer* form = GetContainer();
    if (!form || m_lineCount == 0 || m_locked)
        return;
    if ((forward ? form->FocusNext() : form->FocusPrevious()) != 0)
        form->SetFocus(nullptr);
}

void CTextLayerBase::OnKillFocus(CControl*)
{
    OnMouseLeave();
}

bool CTextLayerBase::OnKeyInput(CActionMap* actions)
{
    CControlContainer* form = GetContainer();
    if (m_locked || !form)
        return false;
    const int direction = form->GetNavigationDirection(actions);
    if (direction == 1 || direction == 2) {
        const int step = direction == 1 ? -1 : 1;
        const int next = m_hovered >= 0 ? NextEnabled(m_hovered + step, step) : -1;
        if (next >= 0) {
            FocusLine(next);
        } else if ((direction == 1 ? form->FocusPrevious() : form->FocusNext()) != 0) {
            OnSetFocus(nullptr, direction == 2);
        }
        return true;
    }
    if (m_hovered < 0)
        return false;
    const uint32_t now = TimerNow();
    if (m_state == 1 && actions && actions->IsPushed(kActionDecide)) {
        if (m_hasPressed) {
            SetLineState(m_hovered, 2);
            m_state = 2;
            m_pressTimeout = now + kKeyPressMs;
            if (m_pressTimeout == 0)
                m_pressTimeout = 1;
        } else {
            SelectLine(m_hovered);
        }
        return true;
    }
    if (m_state == 2 && m_pressTimeout != 0 && static_cast<int32_t>(now - m_pressTimeout) > 0) {
        m_pressTimeout = 0;
        SetLineState(m_hovered, 1);
        m_state = 1;
        SelectLine(m_hovered);
        return true;
    }
    return false;
}
