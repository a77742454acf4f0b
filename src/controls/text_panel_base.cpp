#include "controls/control_command.h"
#include "controls/control_container.h"
#include "controls/text_panel.h"
#include "drawing/glyph_font.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "winapi/text.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The break lists, converted to Shift-JIS once. The one-byte line-end list starts with the yen
// sign of the code page (the byte 0x5C).
struct BreakLists {
    std::string startSingle, startDouble, smallSingle, smallDouble, endSingle, endDouble;
    BreakLists()
        : startSingle(winapi::Sjis("%),:;]}｡｣ﾞﾟ")),
          startDouble(winapi::Sjis("。，、．：；゛゜ヽヾゝゞ々’”）〕］｝〉》」』】°′″℃￠％‰")),
          smallSingle(winapi::Sjis("!.?､･ｧｨｩｪｫｬｭｮｯｰ")),
          smallDouble(winapi::Sjis("・？！ーぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ")),
          endSingle(std::string("\\") + winapi::Sjis("$([{｢")),
          endDouble(winapi::Sjis("‘“（〔［｛〈《「『【￥＄￡"))
    {
    }
};

const BreakLists& Lists()
{
    static const BreakLists lists;
    return lists;
}

bool InSingle(const std::string& list, uint8_t ch)
{
    return ch != 0 && list.find(static_cast<char>(ch)) != std::string::npos;
}

bool InDouble(const std::string& list, uint16_t ch)
{
    for (const char* p = list.c_str(); p[0] && p[1]; p += 2)
        if ((static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8)) == ch)
            return true;
    return false;
}

bool PreviousOpens(uint16_t previous)
{
    if (previous == 0)
        return false;
    if ((previous >> 8) == 0)
        return InSingle(Lists().endSingle, static_cast<uint8_t>(previous));
    return InDouble(Lists().endDouble, previous);
}

} // namespace

bool HoldsLineSingle(uint16_t previous, uint8_t ch)
{
    return PreviousOpens(previous) || InSingle(Lists().startSingle, ch) || InSingle(Lists().smallSingle, ch);
}

bool HoldsLineDouble(uint16_t previous, uint16_t ch)
{
    return PreviousOpens(previous) || InDouble(Lists().startDouble, ch) || InDouble(Lists().smallDouble, ch);
}

CTextPanelBase::~CTextPanelBase()
{
    for (CTextPanelItem* item : m_items)
        delete item;
}

int CTextPanelBase::FontHeight(const CGlyphFont* font) const
{
    if (!font)
        return 0;
    const int64_t h = font->m_logFont.lfHeight;
    return static_cast<int>(h < 0 ? -h : h);
}

const CTextPanelItem* CTextPanelBase::GetItem(int index) const
{
    return index >= 0 && index < static_cast<int>(m_items.size()) ? m_items[index] : nullptr;
}

void CTextPanelBase::ClearItems()
{
    CControlContainer* form = GetContainer();
    if (form && form->IsCapture(this))
        form->HideHint();
    m_itemHint.clear();
    for (CTextPanelItem* item : m_items)
        delete item;
    m_items.clear();
    m_itemCount = 0;
    m_itemOpen = 0;
    m_runOpen = 0;
}

int CTextPanelBase::BeginItem(const char* name, int value, const char* command, const char* hint, int32_t* chosen,
                              int32_t* entered, int32_t* left, uint32_t highlight, const char* chooseSound,
                              const char* enterSound, const char* leaveSound, int chooseNumber, int enterNumber,
                              int leaveNumber)
{
    // The hit map holds index + 1 in a byte.
    if (!m_itemsEnabled || m_itemOpen || m_itemCount >= 255)
        return 1;
    auto* item = new CTextPanelItem;
    item->name = name ? name : "";
    item->value = value;
    item->command = command ? command : "";
    item->hint = hint ? hint : "";
    item->chosen = chosen;
    item->entered = entered;
    item->left = left;
    item->highlight = highlight;
    auto sound = [](std::string& s, int32_t& n, const char* name, int number) {
        s = name ? name : "";
        n = s.empty() ? number : 0;
    };
    sound(item->chooseSound, item->chooseNumber, chooseSound, chooseNumber);
    sound(item->enterSound, item->enterNumber, enterSound, enterNumber);
    sound(item->leaveSound, item->leaveNumber, leaveSound, leaveNumber);
    m_items.push_back(item);
    ++m_itemCount;
    m_itemOpen = 1;
    m_runOpen = 0;
    return 0;
}

void CTextPanelBase::AddItemCell()
{
    if (!m_itemsEnabled || m_runOpen || !m_itemOpen || m_items.empty())
        return;
    CTextPanelItem::Cell cell{m_cursorX - m_itemL, m_cursorY - m_itemT, 0, 0};
    if (m_vertical)
        cell.x += -1 - m_lineHeight;
    m_items.back()->cells.push_back(cell);
    m_runOpen = 1;
}

void CTextPanelBase::CloseItemCellRun()
{
    if (!m_runOpen)
        return;
    m_runOpen = 0;
    if (m_items.empty() || m_items.back()->cells.empty())
        return;
    CTextPanelItem::Cell& cell = m_items.back()->cells.back();
    const int italic = (m_font && m_font->m_logFont.lfItalic) ? FontHeight(m_font) / 4 : 0;
    int64_t along;
    if (m_vertical) {
        cell.width = m_linePitch;
        along = static_cast<int64_t>(m_cursorY) - cell.y + italic;
        cell.height = along < 1 ? 0 : static_cast<int32_t>(along + m_itemB);
    } else {
        cell.height = m_linePitch;
        along = static_cast<int64_t>(m_cursorX) - cell.x + italic;
        cell.width = along < 1 ? 0 : static_cast<int32_t>(along + m_itemR);
    }
    MarkItemArea(cell.x, cell.y, cell.width, cell.height);
}

void CTextPanelBase::EndItem()
{
    if (!m_itemOpen)
        return;
    CloseItemCellRun();
    m_itemOpen = 0;
    if (!m_items.empty())
        m_items.back()->complete = 1;
    RememberPointer();
    m_suppressed = 1;
    m_locked = 0;
}

void CTextPanelBase::RememberPointer()
{
    if (CControlContainer* form = GetContainer())
        form->GetCursorPos(&m_suppressX, &m_suppressY);
}

void CTextPanelBase::UpdateLineMetrics()
{
    if (!m_font)
        return;
    m_lineHeight = FontHeight(m_font);
    if (!m_vertical && m_rubyReserve && m_rubyFont)
        m_lineHeight += m_rubyGap + FontHeight(m_rubyFont);
    if (m_lineHeight < m_minLineHeight)
        m_lineHeight = m_minLineHeight;
    m_linePitch = m_lineHeight + (m_vertical ? m_itemL + m_itemR : m_itemT + m_itemB);
}

int CTextPanelBase::GetCursorBaseOffset() const
{
    return m_vertical ? (m_lineHeight >> 1) + m_itemL : m_itemT + m_lineHeight;
}

int CTextPanelBase::GetCursorMarginOffsetX() const
{
    return m_vertical ? m_itemR - m_linePitch : -m_itemL;
}

int CTextPanelBase::GetCursorMarginOffsetY() const
{
    return m_vertical ? m_itemR - m_linePitch : -m_itemT;
}

void CTextPanelBase::ComputeWrapLimit()
{
    const int64_t reserve = static_cast<int64_t>(m_wrapReserve) * FontHeight(m_font);
    const int64_t limit = m_vertical ? m_height - reserve - m_marginB : m_width - reserve - m_marginR;
    m_wrapLimit = static_cast<int32_t>(limit < INT32_MIN ? INT32_MIN : limit);
}

void CTextPanelBase::UpdateLayout()
{
    if (m_font)
        ComputeWrapLimit();
}

bool CTextPanelBase::NewLineForWrap()
{
    return NewLine() ? m_autoWrap != 0 : false;
}

void CTextPanelBase::SetIndentHere()
{
    m_indent = m_vertical ? m_cursorY - m_marginT : m_cursorX - m_marginL;
}

int CTextPanelBase::SetRubyText(const char* text)
{
    if (!m_rubyFont)
        return 0;
    m_ruby = text;
    return 1;
}

void CTextPanelBase::DrawAlignedText(const char* text, int alignment)
{
    if (!m_font || !text)
        return;
    SIZE size{0, 0};
    m_font->MeasureString(text, &size, nullptr, nullptr, 0, nullptr);
    RECT box;
    RotateRectToQuad(m_font, &box, 0, 0, size.cx, size.cy);
    const int boxW = box.right - box.left, boxH = box.bottom - box.top;
    const int roomW = m_width - m_marginL - m_marginR + m_itemL + m_itemR;
    const int roomH = m_height - m_marginT - m_marginB + m_itemT + m_itemB;
    int x = -1, y = -1;
    if (!m_vertical) {
        switch (alignment) {
        case 0: x = (roomW - boxW) / 2; y = (roomH - boxH) / 2; break;
        case 1: x = (roomW - boxW) / 2; break;
        case 2: x = 0; break;
        case 3: x = roomW - boxW; break;
        default: return;
        }
    } else {
        switch (alignment) {
        case 0:
            y = (roomH - boxH) / 2;
            x = (roomW - boxW) / 2 - m_itemR - box.left + 1;
            break;
        case 1: y = (roomH - boxH) / 2; break;
        case 2: y = 0; break;
        case 3: y = roomH - boxH; break;
        default: return;
        }
    }
    DrawTextAt(text, x, y, true);
}

void CTextPanelBase::DrawSpacedText(const char* text, int left, int top, int right, int bottom)
{
    if (!m_font || !text || !*text || right <= left || bottom <= top)
        return;
    const int64_t roomW = static_cast<int64_t>(right) - left + m_itemL + m_itemR;
    const int64_t roomH = static_cast<int64_t>(bottom) - top + m_itemT + m_itemB;
    SIZE size{0, 0};
    int32_t count = 0;
    m_font->MeasureString(text, &size, nullptr, nullptr, 0, &count);
    RECT box;
    RotateRectToQuad(m_font, &box, 0, 0, size.cx, size.cy);
    const int64_t textW = box.right - box.left, textH = box.bottom - box.top;
    const int64_t n = CountChars(text);
    const int64_t free = m_vertical ? roomH - textH : roomW - textW;
    if (m_vertical)
        SetTextCursor(static_cast<int>(((roomW - textW) >> 1) - m_itemR + 1), top);
    else
        SetTextCursor(left, static_cast<int>((roomH - textH) >> 1));
    if (m_itemOpen)
        AddItemCell();
    const int64_t step = free / (n + 1);
    const int64_t half = (free % (n + 1)) / 2;
    auto move = [this](int64_t by) {
        if (m_vertical)
            m_cursorY = static_cast<int32_t>(m_cursorY + by);
        else
            m_cursorX = static_cast<int32_t>(m_cursorX + by);
    };
    move(half);
    const char* p = text;
    while (*p) {
        move(step);
        if (DrawNextChar(&p) == 1)
            break;
    }
    move(half + step);
}

int CTextPanelBase::CompleteItemCount() const
{
    return m_itemCount - (m_itemOpen ? 1 : 0);
}

void CTextPanelBase::LeaveHovered()
{
    if (m_hovered >= 0)
        OnItemLeave(m_hovered);
    m_hovered = -1;
}

bool CTextPanelBase::OnItemEnter(int index)
{
    const CTextPanelItem* c = GetItem(index);
    if (!c || !c->complete)
        return false;
    CTextPanelItem* item = m_items[index];
    if (item->entered)
        *item->entered = 1;
    if (item->left)
        *item->left = 0;
    PlayEventSound(GetContainer(), item->enterSound, item->enterNumber, kSoundDefaultEnter);
    m_itemHint = item->hint;
    ShowItemHighlight(index, true);
    return true;
}

void CTextPanelBase::OnItemLeave(int index)
{
    CTextPanelItem* item = index >= 0 && index < static_cast<int>(m_items.size()) ? m_items[index] : nullptr;
    if (!item)
        return;
    if (item->entered)
        *item->entered = 0;
    if (item->left)
        *item->left = 1;
    PlayEventSound(GetContainer(), item->leaveSound, item->leaveNumber, kSoundDefaultLeave);
    m_itemHint.clear();
    ShowItemHighlight(m_hovered, false);
}

bool CTextPanelBase::SelectItem(int index)
{
    const CTextPanelItem* c = GetItem(index);
    if (!c || !c->complete)
        return false;
    CTextPanelItem* item = m_items[index];
    CControlContainer* form = GetContainer();
    if (form && GetUserValue() >= 0)
        form->SetResult(GetUserValue() + index);
    m_locked = 1;
    PlayEventSound(form, item->chooseSound, item->chooseNumber, kSoundDefaultActivate);
    if (item->chosen)
        *item->chosen = 1;
    if (form && (!item->command.empty() || !item->name.empty() || item->value != -1))
        form->OnButtonCommand(item->command.empty() ? nullptr : item->command.c_str(),
                              item->name.empty() ? nullptr : item->name.c_str(), item->value);
    return true;
}

void CTextPanelBase::FocusItem(int index)
{
    const CTextPanelItem* item = GetItem(index);
    if (!item || !item->complete)
        return;
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1) {
        if (!item->cells.empty()) {
            const CTextPanelItem::Cell& c = item->cells.front();
            form->SetCursorPos(GetX() + c.x + c.width / 2, GetY() + c.y + c.height / 2);
        }
        return;
    }
    if (form)
        form->ReleaseCapture();
    if (mode == 2 && m_hovered >= 0) {
        if (form && form->IsHintShown()) {
            form->HideHint();
            form->RestartHintTimer();
        }
        LeaveHovered();
    }
    if (m_hovered >= 0 && m_hovered != index)
        LeaveHovered();
    if (OnItemEnter(index))
        m_hovered = index;
    if (mode == 2)
        form->ParkPointer();
}

bool CTextPanelBase::HitTest(int x, int y)
{
    CControlContainer* form = GetContainer();
    if (FollowDrag(&m_dragging, x, y, m_grabX, m_grabY))
        return true;
    const int px = x - GetX(), py = y - GetY();
    if (m_dragThreshold && IsOnFrame(px, py)) {
        if (!m_locked)
            LeaveHovered();
        if (form)
            form->SetCursorKind(3);
        return true;
    }
    if (!m_locked) {
        if (m_suppressed && (std::abs(x - m_suppressX) > 3 || std::abs(y - m_suppressY) > 3))
            m_suppressed = 0;
        const int item = ItemAt(px, py);
        const CTextPanelItem* it = GetItem(item);
        if (it && it->complete) {
            if (form)
                form->SetCursorKind(1);
            return true;
        }
    }
    return false;
}

void CTextPanelBase::OnMouseMove(int x, int y)
{
    CControlContainer* form = GetContainer();
    if (m_locked) {
        if (form && form->GetCursorKind() == 1)
            form->SetCursorKind(0);
        return;
    }
    if (m_dragThreshold && IsOnFrame(x, y))
        return;
    int item = ItemAt(x, y);
    const CTextPanelItem* it = GetItem(item);
    if (!it || !it->complete)
        item = -1;
    if (item == m_hovered)
        return;
    if (m_hovered >= 0) {
        if (form && form->IsHintShown()) {
            form->HideHint();
            form->RestartHintTimer();
        }
        LeaveHovered();
    }
    if (item >= 0 && OnItemEnter(item))
        m_hovered = item;
}

void CTextPanelBase::OnMouseLeave()
{
    m_dragging = 0;
    if (!m_locked)
        LeaveHovered();
    if (CControlContainer* form = GetContainer())
        form->SetCursorKind(0);
}

bool CTextPanelBase::OnMouseInput(int x, int y, CInputSource* mouse)
{
    if (!mouse || !mouse->IsPushed(0))
        return false;
    if (!m_locked && !m_suppressed && m_hovered >= 0)
        return SelectItem(m_hovered), true;
    if (m_dragThreshold && IsOnFrame(x, y)) {
        m_dragging = 1;
        m_grabX = x;
        m_grabY = y;
        return true;
    }
    return false;
}

void CTextPanelBase::OnSetFocus(CControl*, bool forward)
{
    const int complete = CompleteItemCount();
    if (complete > 0 && !m_locked) {
        FocusItem(forward ? 0 : complete - 1);
        return;
    }
    CControlContainer* form = GetContainer();
    if (!form)
        return;
    const int moved = forward ? form->FocusNext() : form->FocusPrevious();
    if (moved != 0)
        form->SetFocus(nullptr);
}

void CTextPanelBase::OnKillFocus(CControl*)
{
    m_dragging = 0;
    if (!m_locked)
        LeaveHovered();
    CControlContainer* form = GetContainer();
    if (form && form->GetCursorKind() != 0)
        form->SetCursorKind(0);
}

bool CTextPanelBase::OnKeyInput(CActionMap* actions)
{
    const int complete = CompleteItemCount();
    CControlContainer* form = GetContainer();
    if (complete <= 0 || m_locked || !form)
        return false;
    const int direction = form->GetNavigationDirection(actions);
    if (direction == 1) {
        if (m_hovered > 0)
            FocusItem(m_hovered - 1);
        else if (form->FocusPrevious() != 0)
            FocusItem(complete - 1);
        return true;
    }
    if (direction == 2) {
        if (m_hovered >= 0 && m_hovered + 1 < complete)
            FocusItem(m_hovered + 1);
        else if (form->FocusNext() != 0)
            FocusItem(0);
        return true;
    }
    if (m_hovered >= 0 && actions && actions->IsPushed(kActionDecide))
        return SelectItem(m_hovered);
    return false;
}
