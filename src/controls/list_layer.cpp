#include "controls/list_layer.h"

#include "controls/control_container.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "platform/action_map.h"
#include "platform/input_source.h"
#include "platform/string_list.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int kScanHome = 0xC7;
constexpr int kScanEnd = 0xCF;
constexpr int kScanSpace = 0x39;
} // namespace

// --- CListBase ---

int CListBase::SetPosition(int x, int y)
{
    m_sprite.SetPosition(x, y);
    return 0;
}

void CListBase::SetVisible(bool visible)
{
    if (!visible)
        DropFocusAndCapture();
    m_sprite.SetVisible(visible);
}

int CListBase::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (!m_sprite.GetOwnerList()) {
        m_list->Insert(&m_sprite, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_id = group;
    } else {
        m_list->SetPriority(&m_sprite, static_cast<uint32_t>(priority), keep);
    }
    m_priority = priority;
    return 0;
}

int CListBase::SetAlpha(int alpha)
{
    m_sprite.SetAlpha(static_cast<BYTE>(alpha));
    return 0;
}

void CListBase::OnSetFocus(CControl*, bool)
{
    CControlContainer* form = GetContainer();
    const int mode = form ? form->GetFocusPointerMode() : 0;
    if (mode == 1)
        form->SetCursorPos(GetX() + GetWidth() / 2, GetY() + GetHeight() / 2);
    else if (mode == 2)
        form->ParkPointer();
}

void CListScrollBar::OnSetFocus(CControl*, bool forward)
{
    CControlContainer* form = GetContainer();
    if (!form)
        return;
    if ((forward ? form->FocusNext() : form->FocusPrevious()) != 0)
        form->SetFocus(nullptr);
}

// --- CListLayer ---

CListLayer::CListLayer() = default;

CListLayer::~CListLayer()
{
    RemoveFromContainer();
    Release();
}

void CListLayer::Release()
{
    m_sprite.DetachFromList();
    m_sprite.Reset();
    m_image.Destroy();
    m_bar.Release();
    m_texts1.reset();
    m_texts2.reset();
    m_icons.reset();
    m_attributes.clear();
    m_iconWidth = 0;
    m_font = nullptr;
    m_selected = m_cursor = m_savedCursor = -1;
}

int CListLayer::GetRowCount() const
{
    return m_texts1 ? m_texts1->GetCount() : m_texts2 ? m_texts2->GetCount() : 0;
}

int CListLayer::GetContentHeight() const
{
    const int rows = GetRowCount();
    if (rows == 0)
        return GetHeight();
    const int64_t h = static_cast<int64_t>(rows) * Pitch() - m_gap;
    return static_cast<int>(std::min<int64_t>(h, INT32_MAX));
}

int CListLayer::Create(CDrawList* list, int priority, CFont* font, int height, int width, int x, int y,
                       const char* thumbFile, int thumbCap1, int thumbCap2, int barLength, int barX, int barY,
                       int blendMode, const char* iconFile, int lineGap, int id)
{
    // Only a glyph font draws here; a font of height 0 would make the pitch 0.
    if (!list || !font || !font->IsGlyphFont() || width <= 0 || !thumbFile ||
        static_cast<int64_t>(thumbCap1) + 1 + thumbCap2 > barLength)
        return 1;
    const int64_t fontH = std::llabs(static_cast<int64_t>(font->m_logFont.lfHeight));
    if (fontH == 0 || fontH > 4096 || lineGap < 0 || lineGap > 4096)
        return 1;
    Release();
    if (iconFile) {
        m_icons = std::make_unique<CImage>();
        if (m_icons->Load(iconFile, nullptr, 0, 0) != 0) {
            Release();
            return 2;
        }
        m_iconWidth = m_icons->GetWidth() / 4;
        width += m_iconWidth;
    }
    m_lineHeight = static_cast<int32_t>(fontH);
    m_gap = lineGap;
    if (height < 0)
        height = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(-static_cast<int64_t>(height)) * Pitch() - m_gap, 1 << 20));
    if (height <= 0 || m_image.Create(width, height, 32, 0) != 0) {
        Release();
        return 3;
    }
    m_image.SetAlphaFlag(true);
    m_image.FillRect32(m_background, nullptr);
    m_sprite.SetImage(&m_image, nullptr, x, y);
    m_sprite.SetBlendMode(2);
    if (const int code = m_bar.CreateFromFile(list, priority, barX, barY, 0, 0, thumbFile, thumbCap1, thumbCap2,
                                              nullptr, 0, 0, nullptr, nullptr, true, true, blendMode, 255, -1, -1, id)) {
        Release();
        return 4 + code;
    }
    m_bar.SetListener(this);
    m_bar.SetStep(Pitch());
    m_barLength = barLength;
    m_font = static_cast<CGlyphFont*>(font);
    m_list = list;
    SetPriority(priority, id, true);
    return 0;
}

int CListLayer::AddToContainer(CControlContainer* container, int position)
{
    if (!container)
        return 1;
    if (m_container)
        return -1;
    if (position < 0) {
        container->AddControl(this, -1);
        container->AddControl(&m_bar, -1);
    } else {
        container->AddControl(&m_bar, -1);
        container->AddControl(this, position);
    }
    m_container = container;
    return 0;
}

bool CListLayer::RemoveFromContainer()
{
    if (!m_container)
        return false;
    m_container->RemoveControl(this);
    m_container->RemoveControl(&m_bar);
    m_container = nullptr;
    return true;
}

int CListLayer::AddItem(const char* text1, const char* text2, bool update)
{
    if (!m_font)
        return 1;
    // List 1 always exists, so a row given only a second text still has its (empty) text.
    if (!m_texts1)
        m_texts1 = std::make_unique<CStringList>();
    if (!m_texts2 && text2 && m_texts1->GetCount() == 0)
        m_texts2 = std::make_unique<CStringList>();
    m_texts1->Add(text1 ? text1 : "");
    m_attributes.push_back(m_newAttribute);
    if (m_texts2)
        m_texts2->Add(text2 ? text2 : "");
    if (update)
        UpdateScrollRange();
    return 0;
}

void CListLayer::UpdateScrollRange()
{
    m_bar.SetRange(m_barLength, GetContentHeight(), GetHeight(), 0, 0);
    m_cursor = m_savedCursor = -1;
    Redraw();
}

int CListLayer::SelectItem(int row)
{
    if (!m_font)
        return 1;
    m_selected = row >= 0 && row < GetRowCount() ? row : -1;
    if (m_selected >= 0)
        EnsureVisible(m_selected);
    Redraw();
    return 0;
}

int CListLayer::SetItemAttribute(int row, uint8_t value, bool redraw)
{
    if (!m_font || !m_texts1 || m_attributes.empty())
        return 1;
    if (row < 0 || row >= static_cast<int>(m_attributes.size()))
        return 2;
    m_attributes[row] = value;
    if (redraw)
        Redraw();
    return 0;
}

uint8_t CListLayer::GetItemAttribute(int row) const
{
    return row >= 0 && row < static_cast<int>(m_attributes.size()) ? m_attributes[row] : 0;
}

void CListLayer::Redraw()
{
    if (!m_font || !m_texts1 || !m_image.GetBits())
        return;
    m_image.FillRect32(m_background, nullptr);
    const int rows = m_texts1->GetCount();
    const int pitch = Pitch();
    const int64_t scroll = std::max(m_bar.GetValue(), 0);
    const int height = m_image.GetHeight(), width = m_image.GetWidth();
    std::string face;
    if (m_texts2)
        face = m_font->m_logFont.lfFaceName;
    // Start at the first visible row: a long list scrolled to its end costs what a short one does.
    for (int i = static_cast<int>(std::min<int64_t>(scroll / pitch, rows)); i < rows; ++i) {
        const int64_t top = static_cast<int64_t>(i) * pitch - scroll;
        if (top >= height)
            break;
        if (top + m_lineHeight <= 0)
            continue;
        const int y = static_cast<int>(top);
        if (i == m_selected)
            m_image.FillRect32XYWH(m_iconWidth, y, width - m_iconWidth, m_lineHeight, m_selectionColor);
        if (m_icons && m_iconWidth > 0) {
            const int cell = (GetItemAttribute(i) ? 2 : 0) + (i == m_cursor || i == m_cursor - rows ? 1 : 0);
            const RECT src{cell * m_iconWidth, 0, (cell + 1) * m_iconWidth, m_icons->GetHeight()};
            const int iy = y + (m_lineHeight - m_icons->GetHeight()) / 2;
            if (m_icons->HasAlpha())
                m_image.BlendAlpha(m_icons.get(), 0, iy, &src, false);
            else
                m_image.Copy(m_icons.get(), 0, iy, &src, false);
        }
        if (i == m_cursor) {
            m_image.FillRect32XYWH(m_iconWidth, y, width - m_iconWidth, 1, m_cursorColor);
            m_image.FillRect32XYWH(m_iconWidth, y + m_lineHeight - 1, width - m_iconWidth, 1, m_cursorColor);
            m_image.FillRect32XYWH(m_iconWidth, y, 1, m_lineHeight, m_cursorColor);
            m_image.FillRect32XYWH(width - 1, y, 1, m_lineHeight, m_cursorColor);
        }
        if (m_texts2 && i < m_texts2->GetCount())
            m_font->SetFaceName(m_texts2->Get(i));
        m_font->DrawString(&m_image, m_iconWidth + 2, y, m_texts1->Get(i), nullptr, nullptr);
    }
    // The shared font goes back to its own face.
    if (m_texts2 && !face.empty())
        m_font->SetFaceName(face.c_str());
    RECT all{0, 0, width, height};
    m_sprite.InvalidateLocalRect(&all);
}

void CListLayer::EnsureVisible(int row)
{
    const int64_t scroll = std::max(m_bar.GetValue(), 0);
    const int64_t top = static_cast<int64_t>(row) * Pitch() - scroll;
    int64_t wanted = scroll;
    if (top < 0)
        wanted = static_cast<int64_t>(row) * Pitch();
    else if (top + m_lineHeight > GetHeight())
        wanted = static_cast<int64_t>(row) * Pitch() + m_lineHeight - GetHeight();
    if (wanted == scroll || m_bar.SetValue(static_cast<int>(std::min<int64_t>(wanted, INT32_MAX))) != 0)
        Redraw();
}

void CListLayer::OnScroll(CScrollControl*, int)
{
    Redraw();
}

int CListLayer::SetPosition(int x, int y)
{
    const int dx = x - GetX(), dy = y - GetY();
    CListBase::SetPosition(x, y);
    m_bar.SetPosition(m_bar.GetX() + dx, m_bar.GetY() + dy);
    return 0;
}

void CListLayer::SetVisible(bool visible)
{
    CListBase::SetVisible(visible);
    m_bar.SetVisible(visible);
}

bool CListLayer::SetEnabled(bool enabled)
{
    m_bar.SetEnabled(enabled);
    return CControl::SetEnabled(enabled);
}

int CListLayer::SetAlpha(int alpha)
{
    m_bar.SetAlpha(alpha);
    return CListBase::SetAlpha(alpha);
}

bool CListLayer::HitTest(int x, int y)
{
    return x >= GetX() && x < GetX() + GetWidth() && y >= GetY() && y < GetY() + GetHeight();
}

void CListLayer::OnMouseEnter()
{
    CControlContainer* form = GetContainer();
    if (form && !form->IsFocus(this))
        form->SetFocus(this);
}

void CListLayer::OnMouseMove(int x, int y)
{
    const int rows = GetRowCount();
    const int64_t row = (static_cast<int64_t>(std::max(m_bar.GetValue(), 0)) + y) / std::max(1, Pitch());
    int cursor;
    if (row >= rows || row < 0)
        cursor = -1;
    else if (x < m_iconWidth)
        cursor = static_cast<int>(row) + rows;
    else
        cursor = static_cast<int>(row);
    if (cursor != m_cursor) {
        m_cursor = cursor;
        Redraw();
    }
}

void CListLayer::Choose(int value)
{
    const int rows = GetRowCount();
    if (value < 0)
        return;
    if (m_icons && m_texts1 && value >= rows) {
        const int row = value - rows;
        if (row >= rows)
            return;
        m_attributes[row] = m_attributes[row] ? 0 : 1;
    } else if (value < rows) {
        if (value == m_selected)
            return;
        m_selected = value;
    } else {
        return;
    }
    CControlContainer* form = GetContainer();
    if (form && GetUserValue() >= 0)
        form->SetResult(GetUserValue());
    Redraw();
}

bool CListLayer::OnMouseInput(int x, int y, CInputSource* mouse)
{
    if (!mouse)
        return false;
    if (mouse->IsPushed(0)) {
        Choose(m_cursor);
        return true;
    }
    if (mouse->IsPushed(3) || mouse->IsPushed(4))
        return m_bar.OnMouseInput(x, y, mouse);
    return false;
}

void CListLayer::OnSetFocus(CControl* previous, bool forward)
{
    CListBase::OnSetFocus(previous, forward);
    if (m_savedCursor >= 0) {
        m_cursor = m_savedCursor;
        Redraw();
    }
}

void CListLayer::OnKillFocus(CControl*)
{
    m_savedCursor = m_cursor;
    m_cursor = -1;
    Redraw();
}

bool CListLayer::OnKeyInput(CActionMap* actions)
{
    const int rows = GetRowCount();
    if (!m_texts1 || rows == 0 || !actions)
        return false;
    // The cursor leaves the icon column only when a key acts: this runs every frame, and the
    // pointer's icon cursor must survive until its click.
    const int last = rows - 1;
    const int perPage = std::max(1, (GetHeight() - m_gap) / std::max(1, Pitch()));
    int cursor = m_cursor >= rows ? m_cursor - rows : m_cursor;
    bool moved = true;
    if (actions->IsPushed(kActionUp))
        cursor = std::max(cursor - 1, 0);
    else if (actions->IsPushed(kActionDown))
        cursor = std::min(cursor + 1, last);
    else if (actions->IsPushed(kActionDecide)) {
        m_cursor = cursor;
        Choose(m_cursor);
        return true;
    } else if (m_pageBack && actions->IsPushed(m_pageBack))
        cursor = std::max(cursor - perPage, 0);
    else if (m_pageForward && actions->IsPushed(m_pageForward))
        cursor = std::min(cursor + perPage, last);
    else
        moved = false;
    if (moved) {
        m_cursor = cursor;
        EnsureVisible(cursor);
        return true;
    }
    CControlContainer* form = GetContainer();
    CInputSource* keys = form ? form->GetKeyboard() : nullptr;
    if (keys && keys->IsPushed(kScanHome)) {
        m_cursor = 0;
        if (m_bar.SetValue(0) != 0)
            Redraw();
        return true;
    }
    if (keys && keys->IsPushed(kScanEnd)) {
        m_cursor = last;
        if (m_bar.SetThumbOffset(m_bar.GetTravel()) != 0)
            Redraw();
        return true;
    }
    if (keys && keys->IsPushed(kScanSpace) && m_icons && cursor >= 0) {
        m_cursor = cursor;
        m_attributes[m_cursor] = m_attributes[m_cursor] ? 0 : 1;
        Redraw();
        return true;
    }
    return false;
}
