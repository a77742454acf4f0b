#include "controls/text_input.h"

#include "controls/control_container.h"
#include "controls/ime_indicator.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "platform/action_map.h"
#include "platform/ime_context.h"
#include "platform/input_source.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "winapi/text.h"
#include "winapi/user.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kBlinkMs = 500;

bool Lead(char c)
{
    return winapi::IsSjisLeadByte(static_cast<unsigned char>(c));
}

} // namespace

int32_t CCaretBlinkTask::Step(uint32_t)
{
    if (enabled && m_caret)
        m_caret->SetVisible(!m_caret->IsVisible());
    return 0;
}

CTextInput::CTextInput() = default;

CTextInput::~CTextInput()
{
    Release();
}

int CTextInput::FontHeight() const
{
    if (!m_font)
        return 0;
    const int64_t h = m_font->m_logFont.lfHeight;
    return static_cast<int>(std::min<int64_t>(h < 0 ? -h : h, 1 << 16));
}

void CTextInput::Release()
{
    if (m_timers && m_blink)
        m_timers->Cancel(m_blink);
    m_blink = nullptr;
    m_sprite.DetachFromList();
    m_caretShape.DetachFromList();
    m_sprite.Reset();
    m_image.Destroy();
    m_caretShape.SetVisible(false);
    if (m_compSprite)
        m_compSprite->DetachFromList();
    m_compSprite.reset();
    m_compImage.reset();
    m_text.clear();
    m_lineStarts.clear();
    m_cellCount = -1;
    m_widthKnown = false;
    m_width = m_height = m_lineCount = m_bytesPerLine = 0;
    m_caret = m_caretLine = m_column = 0;
    m_linesInUse = 1;
    m_ime = nullptr;
}

int CTextInput::SetMaxLength(int length)
{
    if (!m_text.empty() || length < 1)
        return 1;
    m_maxLength = length;
    return 0;
}

int CTextInput::SetCompositionStyle(int length, uint32_t textColor, uint32_t backgroundColor)
{
    if (length > 0)
        m_compLength = std::min(length, 256);
    if (textColor != 0xFFFFFFFFu)
        m_compText = textColor & 0xFFFFFF;
    if (backgroundColor != 0xFFFFFFFFu)
        m_compBack = backgroundColor & 0xFFFFFF;
    return 0;
}

int CTextInput::CreateSingleLine(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime,
                                 CGlyphFont* font, int width, char* buffer, int capacity, int x, int y, int margin,
                                 bool border, int group)
{
    return Create(list, priority, timers, ime, font, 0, width, buffer, capacity, x, y, margin, 0, border, group);
}

int CTextInput::CreateMultiLine(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime,
                                CGlyphFont* font, int lines, int width, char* buffer, int capacity, int x, int y,
                                int margin, int lineSpacing, bool border, int group)
{
    if (lines < 2)
        return 1;
    return Create(list, priority, timers, ime, font, lines, width, buffer, capacity, x, y, margin, lineSpacing, border,
                  group);
}

int CTextInput::Create(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime, CGlyphFont* font,
                       int lines, int width, char* buffer, int capacity, int x, int y, int margin, int lineSpacing,
                       bool border, int group)
{
    if (!list || !font || width < 1 || margin < 0 || margin > 4096 || lineSpacing < 0 || lineSpacing > 4096 ||
        lines > 256)
        return 1;
    m_font = font;
    const int h = FontHeight();
    const int e = margin + (border ? 1 : 0);
    // A font of height 0 would divide by zero, and a field narrower than one full-width character
    // would hold no byte a line.
    if (h == 0 || width - 2 * e < h)
        return 1;
    if (list == m_list)
        m_list = nullptr;
    Release();
    m_list = list;
    m_font = font;
    m_vertical = font->m_logFont.lfEscapement == 2700 ? 1 : 0;
    const int64_t across = lines ? h + static_cast<int64_t>(lines - 1) * (h + lineSpacing) : h;
    if (across + 2 * e > 32768)
        return 1;
    const int thick = static_cast<int>(across + 2 * e);
    const int w = m_vertical ? thick : width, hh = m_vertical ? width : thick;
    if (m_image.Create(w, hh, 32, 0) != 0) {
        Release();
        return 2;
    }
    m_image.SetAlphaFlag(true);
    m_image.FillRect32(0, nullptr);
    if (border) {
        m_image.FillRect32XYWH(0, 0, w - 1, 1, 0x80000000u);
        m_image.FillRect32XYWH(0, 1, 1, hh - 2, 0x80000000u);
        if (!m_vertical) {
            m_image.FillRect32XYWH(0, hh - 1, w, 1, 0x80FFFFFFu);
            m_image.FillRect32XYWH(w - 1, 0, 1, 1, 0x80FFFFFFu);
        } else {
            m_image.FillRect32XYWH(0, hh - 1, 1, 1, 0x80FFFFFFu);
            m_image.FillRect32XYWH(w - 1, 0, 1, hh, 0x80FFFFFFu);
        }
    }
    if (lines) {
        m_bytesPerLine = 2 * ((width - 2 * e) / h);
        m_maxLength = (m_bytesPerLine + 1) * lines;
        m_lineCount = lines;
        m_lineSpacing = lineSpacing;
        m_lineStarts.assign(static_cast<size_t>(lines), 0);
    }
    m_text.assign(static_cast<size_t>(m_maxLength) + 1, '\0');
    m_cells.assign(static_cast<size_t>(m_maxLength) + 2, DrawnCell{});
    m_cellCount = -1;
    TextChanged(0);
    if (buffer && capacity > 0) {
        // The caller's text is read up to its capacity and our maximum, cut at a character.
        const size_t n = winapi::SjisPrefixLength(std::string_view(buffer, strnlen(buffer, static_cast<size_t>(capacity))),
                                                  static_cast<size_t>(m_maxLength));
        std::memcpy(m_text.data(), buffer, n);
        m_callerBuffer = buffer;
        m_callerCapacity = capacity;
    } else {
        m_callerBuffer = nullptr;
        m_callerCapacity = 0;
    }
    m_sprite.SetImage(&m_image, nullptr, x, y);
    m_sprite.SetBlendMode(2);
    if (m_vertical)
        m_caretShape.Setup(h, 2, 0xFF000000u | m_textColor, x, y);
    else
        m_caretShape.Setup(2, h, 0xFF000000u | m_textColor, x, y);
    m_caretShape.SetVisible(false);
    m_timers = timers;
    if (timers) {
        auto* task = new CCaretBlinkTask(&m_caretShape);
        if (timers->Add(task, kBlinkMs, kBlinkMs, 0) != 0) {
            delete task;
            Release();
            return 3;
        }
        m_blink = task;
        task->SetOwnerSlot(&m_blink);
    }
    m_width = w;
    m_height = hh;
    m_margin = margin;
    m_edge = e;
    m_originX = m_vertical ? static_cast<int>(across) + e : e;
    m_originY = e;
    SetPriority(priority, group, true);
    if (ime) {
        const int cw = m_vertical ? h : m_compLength * h, ch = m_vertical ? m_compLength * h : h;
        m_compImage = std::make_unique<CImage>();
        if (m_compImage->Create(cw, ch, 32, 0) != 0) {
            Release();
            return 4;
        }
        m_compSprite = std::make_unique<CSprite>();
        m_compSprite->SetImage(m_compImage.get(), nullptr, 0, 0);
        list->Insert(m_compSprite.get(), 0, static_cast<DWORD>(group));
        m_compSprite->SetTag(static_cast<DWORD>(group));
        m_compSprite->SetVisible(false);
        m_ime = ime;
    }
    m_border = border ? 1 : 0;
    if (m_lineCount)
        LocateCaret();
    RedrawText();
    return 0;
}

int CTextInput::SetPosition(int x, int y)
{
    m_sprite.SetPosition(x, y);
    return 0;
}

void CTextInput::SetVisible(bool visible)
{
    CControlContainer* form = GetContainer();
    if (form) {
        if (!visible && form->IsFocus(this))
            form->SetFocus(nullptr);
        if (form->IsCapture(this))
            form->ForgetPointer();
    }
    m_sprite.SetVisible(visible);
}

int CTextInput::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (!m_sprite.GetOwnerList()) {
        m_list->Insert(&m_sprite, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_list->Insert(&m_caretShape, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_sprite.SetTag(static_cast<DWORD>(group));
        m_caretShape.SetTag(static_cast<DWORD>(group));
        m_id = group;
    } else {
        m_list->SetPriority(&m_sprite, static_cast<uint32_t>(priority), keep);
        m_list->SetPriority(&m_caretShape, static_cast<uint32_t>(priority), keep);
    }
    m_priority = priority;
    return 0;
}

int CTextInput::SetAlpha(int alpha)
{
    m_sprite.SetAlpha(static_cast<BYTE>(alpha));
    return 0;
}

// --- characters ---

int CTextInput::StepForward(int p) const
{
    const char* t = m_text.data();
    if (!t[p])
        return 0;
    return Lead(t[p]) && t[p + 1] ? 2 : 1;
}

int CTextInput::StepBack(int p) const
{
    if (p <= 0)
        return 0;
    const char* t = m_text.data();
    if (p >= 2 && Lead(t[p - 2])) {
        int k = 0;
        for (int i = p - 2; i >= 0 && Lead(t[i]); --i)
            ++k;
        return (k % 2) ? -2 : -1;
    }
    return -1;
}

int CTextInput::InnerLength() const
{
    return (m_vertical ? m_height : m_width) - 2 * m_edge;
}

int CTextInput::TextWidth(int from, int to) const
{
    if (to <= from)
        return 0;
    // A keystroke asks for the same width up to three times (scrolling back, forward, the caret).
    const LayoutKey key = CurrentKey();
    if (m_widthKnown && m_widthFrom == from && m_widthTo == to && key == m_widthKey)
        return m_widthValue;
    // Measured in place: the byte at `to` is set to NUL for the call and put back.
    char* t = m_text.data();
    const char saved = t[to];
    t[to] = '\0';
    SIZE size{0, 0};
    m_font->MeasureString(t + from, &size, nullptr, nullptr, 0, nullptr);
    t[to] = saved;
    m_widthKnown = true;
    m_widthFrom = from;
    m_widthTo = to;
    m_widthKey = key;
    m_widthValue = m_vertical ? std::max(size.cx, size.cy) : size.cx;
    return m_widthValue;
}

void CTextInput::Scroll(int step)
{
    const int before = m_column;
    const int length = Length();
    auto width = [&]() { return m_caret >= m_column ? TextWidth(m_column, m_caret) : -TextWidth(m_caret, m_column); };
    // Bytes without a glyph measure 0 wide, so "before the first visible byte" is decided by position.
    while (m_column > 0 && (m_caret < m_column || (m_caret == length && width() <= 0))) {
        for (int i = 0; i < step && m_column > 0; ++i)
            m_column += StepBack(m_column);
    }
    while (width() >= InnerLength()) {
        int moved = 0;
        for (int i = 0; i < step; ++i) {
            const int s = StepForward(m_column);
            if (!s || m_column + s > m_caret)
                break;
            m_column += s;
            moved += s;
        }
        if (!moved) {
            // The last character or two stay visible, never half of one.
            int p = length;
            for (int i = 0; i < 2 && p > 0; ++i)
                p += StepBack(p);
            m_column = std::min(p, m_caret);
            break;
        }
    }
    if (m_column != before)
        RedrawText();
}

int CTextInput::LineLength(int line) const
{
    if (line < 0 || line >= m_linesInUse)
        return 0;
    const int end = line + 1 < m_linesInUse ? m_lineStarts[line + 1] : Length();
    return end - m_lineStarts[line];
}

void CTextInput::LocateCaret()
{
    // Walks the line-breaking rule up to the caret.
    const char* t = m_text.data();
    int line = 0, column = 0, count = 0, p = 0;
    while (p < m_caret && t[p]) {
        if (t[p] == '\n') {
            if (line + 1 >= m_lineCount)
                break;
            ++p;
            ++line;
            column = count = 0;
            continue;
        }
        const int s = StepForward(p);
        const int half = s == 2 ? 2 : 1;
        if (count + half > m_bytesPerLine) {
            if (line + 1 >= m_lineCount)
                break;
            ++line;
            column = count = 0;
        }
        if (p + s > m_caret)
            break;
        p += s;
        column += s;
        count += half;
    }
    m_caret = p;
    m_caretLine = line;
    m_column = column;
}

int CTextInput::MultiAlong(int line, int column) const
{
    const char* t = m_text.data() + (line < m_linesInUse ? m_lineStarts[line] : 0);
    int along = 0;
    for (int i = 0; i < column && t[i];) {
        const int s = Lead(t[i]) && t[i + 1] ? 2 : 1;
        along += s == 2 ? FontHeight() : FontHeight() / 2;
        i += s;
    }
    return along;
}

// --- drawing ---

CTextInput::LayoutKey CTextInput::CurrentKey() const
{
    LayoutKey key;
    key.font = m_font;
    if (m_font) {
        key.logFont = m_font->m_logFont;
        key.antialias = m_font->m_antialias;
        key.effectMode = m_font->m_effectMode;
        std::memcpy(key.effectColor, m_font->m_effectColor, sizeof key.effectColor);
        key.shadowX = m_font->m_shadowX;
        key.shadowY = m_font->m_shadowY;
        key.fontLineSpacing = m_font->m_lineSpacing;
        key.gradient = m_font->m_gradientOn;
    }
    key.background = m_background;
    key.textColor = m_textColor;
    key.column = m_lineCount ? 0 : m_column; // a field of lines always starts at its first byte
    return key;
}

bool CTextInput::LayoutKey::operator==(const LayoutKey& o) const
{
    return font == o.font && std::memcmp(&logFont, &o.logFont, sizeof logFont) == 0 && antialias == o.antialias &&
           effectMode == o.effectMode && std::memcmp(effectColor, o.effectColor, sizeof effectColor) == 0 &&
           shadowX == o.shadowX && shadowY == o.shadowY && fontLineSpacing == o.fontLineSpacing &&
           gradient == o.gradient && background == o.background && textColor == o.textColor && column == o.column;
}

RECT CTextInput::TextArea() const
{
    const int b = m_border ? 1 : 0;
    RECT area{b, b, m_width - b, m_height - b};
    if (!m_lineCount) {
        if (m_vertical)
            area.bottom -= m_margin;
        else
            area.right -= m_margin;
    }
    return area;
}

int CTextInput::LineTop(int line) const
{
    return line == 0 ? TextArea().top : m_originY + line * (FontHeight() + m_lineSpacing);
}

// The part of the image a redraw from cell `from` paints: the rest of that cell's line from its pen
// (`head`) and, in a field of lines, every line after it (`rest`, empty in a single line).
void CTextInput::ChangedArea(int from, RECT* head, RECT* rest) const
{
    const DrawnCell& c = from < m_cellCount ? m_cells[static_cast<size_t>(from)] : m_endCell;
    const RECT area = TextArea();
    if (!m_lineCount) {
        *head = RECT{c.pen, area.top, area.right, area.bottom};
        *rest = RECT{0, 0, 0, 0};
        return;
    }
    const int next = std::min<int>(LineTop(c.line + 1), area.bottom);
    *head = RECT{m_originX + c.along, LineTop(c.line), area.right, next};
    *rest = RECT{area.left, next, area.right, area.bottom};
}

namespace {

bool Empty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}
bool Meets(const RECT& a, const RECT& b)
{
    return !Empty(a) && !Empty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
bool Inside(const RECT& a, const RECT& b)
{
    return Empty(a) || (a.left >= b.left && a.right <= b.right && a.top >= b.top && a.bottom <= b.bottom);
}

} // namespace

// The first cell a redraw must start from so that its pixels equal a whole redraw, or -1 when only
// a whole redraw will do. The cells before the first changed byte stay; a partial redraw is exact
// when none of their ink reaches the painted part and all ink of the cells after lies within it.
int CTextInput::FirstChangedCell() const
{
    if (m_cellCount < 0 || m_vertical || !(CurrentKey() == m_cellKey))
        return -1;
    int from = 0;
    while (from < m_cellCount) {
        const DrawnCell& c = m_cells[static_cast<size_t>(from)];
        if (c.byte + c.bytes >= m_dirtyFrom)
            break;
        ++from;
    }
    RECT head, rest;
    ChangedArea(from, &head, &rest);
    const RECT area = TextArea();
    const RECT below{head.left, head.top, head.right, rest.bottom > head.bottom ? rest.bottom : head.bottom};
    for (int i = 0; i < m_cellCount; ++i) {
        RECT ink = m_cells[static_cast<size_t>(i)].ink;
        // In a single line everything past the limit is painted over on each redraw.
        if (!m_lineCount)
            ink.right = std::min(ink.right, area.right);
        if (i < from ? Meets(ink, head) || Meets(ink, rest) : !(Inside(ink, rest) || Inside(ink, below)))
            return -1;
    }
    return from;
}

void CTextInput::RedrawText()
{
    Lay(-1);
}

void CTextInput::RedrawChanged()
{
    Lay(FirstChangedCell());
}

void CTextInput::Lay(int from)
{
    if (!m_image.GetBits() || !m_font || m_text.empty())
        return;
    const int b = m_border ? 1 : 0;
    const int h = FontHeight();
    const RECT area = TextArea();
    RECT head{}, rest{};
    if (from < 0) {
        m_image.FillRect32(m_background, &area);
    } else {
        ChangedArea(from, &head, &rest);
        if (!Empty(head))
            m_image.FillRect32(m_background, &head);
        if (!Empty(rest))
            m_image.FillRect32(m_background, &rest);
    }
    const uint8_t saved[3] = {m_font->m_textColor[0], m_font->m_textColor[1], m_font->m_textColor[2]};
    m_font->SetTextColor(static_cast<uint8_t>(m_textColor >> 16), static_cast<uint8_t>(m_textColor >> 8),
                         static_cast<uint8_t>(m_textColor));
    char* t = m_text.data();
    // Each character is drawn on its own (the pen is the field's, not the font's), and remembered.
    char ch[3] = {0, 0, 0};
    auto draw = [&](int p, int s, int x, int y, RECT* ink, POINT* end) {
        ch[0] = t[p];
        ch[1] = s == 2 ? t[p + 1] : '\0';
        *ink = RECT{0, 0, 0, 0};
        m_font->DrawString(&m_image, x, y, ch, ink, end);
    };
    const int capacity = static_cast<int>(m_cells.size());
    int count = from < 0 ? 0 : from;
    auto record = [&](const DrawnCell& c) {
        if (count < capacity)
            m_cells[static_cast<size_t>(count)] = c;
        ++count;
    };
    if (!m_lineCount) {
        const int limit = (m_vertical ? m_height : m_width) - m_margin - b;
        int pen = m_vertical ? m_originY : m_originX;
        int p = m_column;
        if (from >= 0) {
            const DrawnCell& c = from < m_cellCount ? m_cells[static_cast<size_t>(from)] : m_endCell;
            pen = c.pen;
            p = c.byte;
        }
        for (; t[p] && pen < limit;) {
            const int s = StepForward(p);
            DrawnCell c{p, s, 0, 0, 0, pen, {}};
            POINT end{0, 0};
            if (m_vertical) {
                draw(p, s, m_originX, pen, &c.ink, &end);
                pen = end.y;
            } else {
                draw(p, s, pen, m_originY, &c.ink, &end);
                pen = end.x;
            }
            record(c);
            p += s;
        }
        m_endCell = DrawnCell{p, 0, 0, 0, 0, pen, {}};
        // A character crossing the end is cut off.
        if (m_vertical) {
            m_image.FillRect32XYWH(b, limit, m_width - 2 * b, m_height - limit, m_background);
            if (m_border)
                m_image.FillRect32XYWH(0, m_height - 1, m_width, 1, 0x80FFFFFFu);
        } else {
            m_image.FillRect32XYWH(limit, b, m_width - limit, m_height - 2 * b, m_background);
            if (m_border)
                m_image.FillRect32XYWH(m_width - 1, 0, 1, m_height, 0x80FFFFFFu);
        }
    } else {
        int line = 0, along = 0, lineCount = 0, p = 0;
        m_lineStarts[0] = 0;
        if (from >= 0) {
            const DrawnCell& c = from < m_cellCount ? m_cells[static_cast<size_t>(from)] : m_endCell;
            p = c.byte;
            line = c.line;
            along = c.along;
            lineCount = c.count;
        }
        auto place = [&](int ln, int a, POINT* at) {
            const int across = ln * (h + m_lineSpacing);
            if (m_vertical)
                *at = POINT{m_originX - across, m_originY + a};
            else
                *at = POINT{m_originX + a, m_originY + across};
        };
        while (t[p]) {
            // Each step is remembered with the layout state before it, so a redraw can resume there.
            DrawnCell c{p, 1, line, lineCount, along, 0, {}};
            if (t[p] == '\n') {
                if (line + 1 >= m_lineCount) {
                    t[p] = '\0';
                    m_widthKnown = false;
                    break;
                }
                record(c);
                ++p;
                ++line;
                m_lineStarts[line] = p;
                lineCount = along = 0;
                continue;
            }
            const int s = StepForward(p);
            c.bytes = s;
            const int half = s == 2 ? 2 : 1;
            if (lineCount + half > m_bytesPerLine) {
                if (line + 1 >= m_lineCount) {
                    t[p] = '\0';
                    m_widthKnown = false;
                    break;
                }
                ++line;
                m_lineStarts[line] = p;
                lineCount = along = 0;
            }
            POINT at;
            place(line, along, &at);
            c.pen = m_vertical ? at.y : at.x;
            draw(p, s, at.x, at.y, &c.ink, nullptr);
            record(c);
            along += s == 2 ? h : h / 2;
            lineCount += half;
            p += s;
        }
        m_endCell = DrawnCell{p, 0, line, lineCount, along, 0, {}};
        m_linesInUse = line + 1;
    }
    m_font->SetTextColor(saved[0], saved[1], saved[2]);
    // Cells past the room kept are unknown: the next redraw is whole.
    m_cellCount = count <= capacity ? count : -1;
    m_cellKey = CurrentKey();
    m_dirtyFrom = INT32_MAX;
    RECT changed{0, 0, m_width, m_height};
    if (from >= 0)
        changed = RECT{Empty(rest) ? head.left : area.left, head.top, m_width, m_height};
    m_sprite.InvalidateLocalRect(&changed);
}

void CTextInput::PlaceCaret()
{
    if (!m_font || m_text.empty())
        return;
    const int base = (m_border ? 1 : 0) + m_margin;
    int dx = 0, dy = 0;
    if (!m_lineCount) {
        const int w = m_caret >= m_column ? TextWidth(m_column, m_caret) : 0;
        (m_vertical ? dy : dx) = w;
    } else {
        const int along = MultiAlong(m_caretLine, m_column);
        const int across = (FontHeight() + m_lineSpacing);
        if (m_vertical) {
            dx = (m_lineCount - m_caretLine - 1) * across;
            dy = along;
        } else {
            dx = along;
            dy = across * m_caretLine;
        }
    }
    m_caretShape.SetPosition(GetX() + base + dx, GetY() + base + dy);
}

void CTextInput::ShowCaret()
{
    PlaceCaret();
    m_caretShape.SetVisible(true);
    if (m_blink) {
        m_blink->enabled = 1;
        if (m_timers)
            m_timers->Reschedule(m_blink, kBlinkMs);
    }
}

void CTextInput::HideCaret()
{
    if (m_blink)
        m_blink->enabled = 0;
    m_caretShape.SetVisible(false);
}

// --- editing ---

void CTextInput::DeleteBefore()
{
    const int s = -StepBack(m_caret);
    if (!s)
        return;
    char* t = m_text.data();
    std::memmove(t + m_caret - s, t + m_caret, static_cast<size_t>(Length() - m_caret + 1));
    m_caret -= s;
    TextChanged(m_caret);
    if (m_lineCount)
        LocateCaret();
    else if (m_column > m_caret)
        m_column = m_caret;
}

void CTextInput::DeleteAt()
{
    const int s = StepForward(m_caret);
    if (!s)
        return;
    char* t = m_text.data();
    std::memmove(t + m_caret, t + m_caret + s, static_cast<size_t>(Length() - m_caret - s + 1));
    TextChanged(m_caret);
}

void CTextInput::AfterKey()
{
    CControlContainer* form = GetContainer();
    if (form && form->IsCapture(this) && !m_cursorHidden) {
        m_cursorHidden = 1;
        form->SetCursorVisible(false);
        form->HideHint();
    }
}

bool CTextInput::OnKeyDown(int key)
{
    if (m_text.empty() || m_locked)
        return false;
    const int back = m_vertical ? VK_UP : VK_LEFT, forward = m_vertical ? VK_DOWN : VK_RIGHT;
    bool handled = true;
    if (key == back || key == forward) {
        const int s = key == back ? StepBack(m_caret) : StepForward(m_caret);
        m_caret += s;
        if (m_lineCount)
            LocateCaret();
        else
            Scroll(3);
        ShowCaret();
    } else if (m_lineCount && (key == (m_vertical ? VK_RIGHT : VK_UP) || key == (m_vertical ? VK_LEFT : VK_DOWN))) {
        const int target = m_caretLine + (key == (m_vertical ? VK_RIGHT : VK_UP) ? -1 : 1);
        if (target < 0 || target >= m_linesInUse)
            return false;
        const char* t = m_text.data() + m_lineStarts[target];
        int column = 0, count = 0;
        while (column < m_column && t[column] && t[column] != '\n') {
            const int s = Lead(t[column]) && t[column + 1] ? 2 : 1;
            if (count + (s == 2 ? 2 : 1) > m_bytesPerLine)
                break;
            column += s;
            count += s == 2 ? 2 : 1;
        }
        m_caret = m_lineStarts[target] + column;
        LocateCaret();
        ShowCaret();
    } else if (key == VK_END) {
        m_caret = Length();
        if (m_lineCount)
            LocateCaret();
        else
            Scroll(1);
        RedrawText();
        ShowCaret();
    } else if (key == VK_HOME) {
        m_caret = m_caretLine = m_column = 0;
        RedrawText();
        ShowCaret();
    } else if (key == VK_DELETE) {
        DeleteAt();
        if (m_lineCount) {
            RedrawChanged();
            LocateCaret();
        } else {
            Scroll(1);
            RedrawChanged();
        }
        ShowCaret();
    } else {
        handled = false;
    }
    if (handled)
        AfterKey();
    return handled;
}

bool CTextInput::OnTextInput(const char* bytes, int count)
{
    if (m_text.empty() || m_locked || !bytes || count <= 0)
        return true;
    int limit = m_maxLength;
    int lines = m_linesInUse;
    if (m_lineCount) {
        int breaks = 0;
        // Breaks are counted by character as the layout sees them: a lead byte before 0x0A takes it
        // as its trail, and counting that byte would let the text outgrow its buffer.
        if (m_linesInUse > 1)
            for (int p = 0, s; (s = StepForward(p)) != 0; p += s)
                breaks += s == 1 && m_text[static_cast<size_t>(p)] == '\n';
        limit = m_maxLength - m_lineCount + breaks;
    }
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        const char b = bytes[i];
        if (b == 0x08) {
            DeleteBefore();
            if (!m_lineCount)
                Scroll(5);
            changed = true;
            continue;
        }
        if (b == 0x0D) {
            CControlContainer* form = GetContainer();
            if (form && form->FocusNext() != 0)
                form->SetFocus(nullptr);
            break;
        }
        if (b == 0x09 || b == 0x1B)
            continue;
        int n = 1;
        if (b == 0x0A) {
            if (!m_lineCount || lines >= m_lineCount)
                continue;
            ++lines;
            ++limit;
        } else if (Lead(b)) {
            // A lead byte that ends the input has no trail: dropped.
            if (i + 1 >= count)
                break;
            n = 2;
        } else if (m_fullWidthOnly) {
            continue;
        }
        const int length = Length();
        if (length + n > std::min(limit, m_maxLength))
            break;
        char* t = m_text.data();
        std::memmove(t + m_caret + n, t + m_caret, static_cast<size_t>(length - m_caret + 1));
        std::memcpy(t + m_caret, bytes + i, static_cast<size_t>(n));
        TextChanged(m_caret);
        m_caret += n;
        i += n - 1;
        changed = true;
    }
    if (changed) {
        if (m_lineCount) {
            // Laying out may cut what needs a line past the last; the caret is located after it.
            RedrawChanged();
            LocateCaret();
        } else {
            Scroll(1);
            RedrawChanged();
        }
        ShowCaret();
        AfterKey();
    }
    return true;
}

int CTextInput::Commit()
{
    SetLocked(true);
    if (m_text.empty() || !m_callerBuffer || m_callerCapacity < 1)
        return 1;
    const size_t n = winapi::SjisPrefixLength(std::string_view(m_text.data(), static_cast<size_t>(Length())),
                                              static_cast<size_t>(m_callerCapacity - 1));
    std::memcpy(m_callerBuffer, m_text.data(), n);
    m_callerBuffer[n] = '\0';
    return 0;
}

void CTextInput::SetLocked(bool locked)
{
    m_locked = locked ? 1 : 0;
    CControlContainer* form = GetContainer();
    if (locked && form && form->IsFocus(this))
        form->SetFocus(nullptr);
}

int CTextInput::Clear()
{
    if (m_text.empty())
        return 1;
    m_text[0] = '\0';
    TextChanged(0);
    m_caretLine = m_caret = m_column = 0;
    RedrawText();
    ShowCaret();
    return 0;
}

int CTextInput::SetText(const char* text)
{
    if (m_text.empty() || !text)
        return 1;
    const size_t n = winapi::SjisPrefixLength(std::string_view(text), static_cast<size_t>(m_maxLength));
    std::memcpy(m_text.data(), text, n);
    m_text[n] = '\0';
    TextChanged(0);
    m_caretLine = m_caret = m_column = 0;
    RedrawText();
    CControlContainer* form = GetContainer();
    if (form && form->IsFocus(this))
        ShowCaret();
    return 0;
}

// --- pointer and focus ---

void CTextInput::TakeFocus()
{
    CControlContainer* form = GetContainer();
    if (!form || form->IsFocus(this))
        return;
    m_focusByPointer = 1;
    form->SetFocus(this);
    ShowCaret();
}

bool CTextInput::HitTest(int x, int y)
{
    if (static_cast<uint32_t>(x - GetX()) >= static_cast<uint32_t>(m_width) ||
        static_cast<uint32_t>(y - GetY()) >= static_cast<uint32_t>(m_height))
        return false;
    CControlContainer* form = GetContainer();
    if (form)
        form->SetCursorKind(m_vertical ? 5 : 4);
    if (m_focusOnPointer && !m_locked)
        TakeFocus();
    return true;
}

void CTextInput::OnMouseMove(int, int)
{
    if (m_cursorHidden) {
        m_cursorHidden = 0;
        if (CControlContainer* form = GetContainer())
            form->SetCursorVisible(true);
    }
}

void CTextInput::OnMouseLeave()
{
    if (m_focusByPointer)
        return;
    CControlContainer* form = GetContainer();
    if (form)
        form->SetCursorKind(0);
    OnMouseMove(0, 0);
}

void CTextInput::CaretFromPoint(int x, int y)
{
    const int base = (m_border ? 1 : 0) + m_margin;
    int along = (m_vertical ? y : x) - base;
    along = std::clamp(along, 0, std::max(0, InnerLength()));
    if (!m_lineCount) {
        int p = m_column;
        const char* t = m_text.data();
        while (t[p]) {
            const int s = StepForward(p);
            const int before = TextWidth(m_column, p), after = TextWidth(m_column, p + s);
            if (after >= along) {
                m_caret = along <= after - (after - before) / 2 ? p : p + s;
                return;
            }
            p += s;
        }
        m_caret = p;
        return;
    }
    const int h = FontHeight();
    int across = m_vertical ? (m_width - base) - x : y - base;
    int line = 0;
    while (line + 1 < m_linesInUse && h + line * (h + m_lineSpacing) < across)
        ++line;
    const char* t = m_text.data() + m_lineStarts[line];
    const int lineLength = LineLength(line);
    int column = 0, pos = 0, count = 0;
    while (column < lineLength && t[column] && t[column] != '\n') {
        const int s = Lead(t[column]) && t[column + 1] ? 2 : 1;
        const int cell = s == 2 ? h : h / 2;
        if (count + s > m_bytesPerLine)
            break;
        if (pos + cell >= along) {
            if (along > pos + cell / 2)
                column += s;
            break;
        }
        pos += cell;
        count += s;
        column += s;
    }
    m_caret = m_lineStarts[line] + column;
    LocateCaret();
}

bool CTextInput::OnMouseInput(int x, int y, CInputSource* mouse)
{
    if (m_locked || !mouse || !mouse->IsPushed(0) || m_text.empty())
        return false;
    TakeFocus();
    CaretFromPoint(x, y);
    ShowCaret();
    return true;
}

void CTextInput::OnSetFocus(CControl*, bool forward)
{
    CControlContainer* form = GetContainer();
    if (m_locked) {
        if (form && (forward ? form->FocusNext() : form->FocusPrevious()) != 0)
            form->SetFocus(nullptr);
        return;
    }
    if (OpensIme() && m_ime && !m_ime->IsOpen() && form) {
        form->SetImeOpen(true);
        m_openedIme = 1;
    }
    if (m_indicator)
        m_indicator->SetVisible(true);
    if (m_focusByPointer) {
        m_focusByPointer = 0;
        return;
    }
    const int mode = form ? form->GetFocusPointerMode() : 0;
    const int b = m_border ? 1 : 0;
    if (mode == 1)
        form->SetCursorPos(m_vertical ? GetX() + m_width / 2 : GetX() + b,
                           m_vertical ? GetY() + b : GetY() + m_height / 2);
    else if (mode == 2)
        form->ForgetPointer();
    ShowCaret();
}

void CTextInput::OnKillFocus(CControl*)
{
    if (m_indicator)
        m_indicator->SetVisible(false);
    HideComposition();
    CControlContainer* form = GetContainer();
    if (OpensIme() && m_ime && m_ime->IsOpen() && form)
        form->SetImeOpen(false);
    m_openedIme = 0;
    HideCaret();
    OnMouseMove(0, 0);
}

bool CTextInput::OnKeyInput(CActionMap* actions)
{
    if (m_indicator)
        m_indicator->Update();
    UpdateComposition();
    if (!actions)
        return false;
    const bool horizontalPair = actions->IsPushed(kActionLeft) || actions->IsPushed(kActionRight);
    const bool verticalPair = actions->IsPushed(kActionUp) || actions->IsPushed(kActionDown);
    if (m_lineCount)
        return horizontalPair || verticalPair;
    return m_vertical ? verticalPair : horizontalPair;
}

// --- composition ---

void CTextInput::HideComposition()
{
    if (m_ime && m_compSprite)
        m_compSprite->SetVisible(false);
}

void CTextInput::UpdateComposition()
{
    if (!m_ime || !m_compSprite || !m_compImage || !m_font)
        return;
    const char* fresh = m_ime->UpdateComposition();
    const int cursor = m_ime->GetCursorPos();
    int a = 0, b = 0;
    if (cursor != 0) {
        a = b = cursor;
    } else {
        b = m_ime->GetClauseEnd();
        if (b == m_ime->GetDeltaStart())
            b = 0;
    }
    // Where the caret is on the screen.
    PlaceCaret();
    const int wx = m_caretShape.GetX(), wy = m_caretShape.GetY();
    m_ime->SetCandidatePos(m_vertical ? wx + m_compImage->GetWidth() : wx,
                           m_vertical ? wy : wy + m_compImage->GetHeight());
    const std::string text = fresh ? std::string(fresh) : m_compString;
    if (text.empty()) {
        m_compString.clear();
        m_compSprite->SetVisible(false);
        return;
    }
    if (!fresh && a == m_lastA && b == m_lastB) {
        m_compSprite->SetPosition(wx, wy);
        m_compSprite->SetVisible(true);
        return;
    }
    m_compString = text;
    m_lastA = a;
    m_lastB = b;
    m_compSprite->SetPosition(wx, wy);
    CImage& img = *m_compImage;
    img.FillRect32(0, nullptr);
    const uint8_t savedColor[3] = {m_font->m_textColor[0], m_font->m_textColor[1], m_font->m_textColor[2]};
    const uint8_t savedEffect = m_font->m_effectMode;
    const int32_t sx = m_font->m_shadowX, sy = m_font->m_shadowY;
    m_font->SetEffect(0, m_font->m_effectColor[0], m_font->m_effectColor[1], m_font->m_effectColor[2]);
    m_font->SetShadowOffset(2, 2);
    const int h = FontHeight();
    int pen = 0;
    for (int p = 0; p < static_cast<int>(text.size());) {
        const int s = Lead(text[static_cast<size_t>(p)]) && p + 1 < static_cast<int>(text.size()) ? 2 : 1;
        const bool high = p == a || (p >= a && p < b);
        const uint32_t fg = high ? m_compBack : m_compText, bg = high ? m_compText : m_compBack;
        const std::string ch = text.substr(static_cast<size_t>(p), static_cast<size_t>(s));
        SIZE size{0, 0};
        m_font->MeasureString(ch.c_str(), &size, nullptr, nullptr, 0, nullptr);
        const int advance = m_vertical ? std::max<int>(size.cy, 1) : std::max<int>(size.cx, 1);
        if (m_vertical)
            img.FillRect32XYWH(0, pen, h, advance, 0xFF000000u | bg);
        else
            img.FillRect32XYWH(pen, 0, advance, h, 0xFF000000u | bg);
        m_font->SetTextColor(static_cast<uint8_t>(fg >> 16), static_cast<uint8_t>(fg >> 8), static_cast<uint8_t>(fg));
        m_font->DrawString(&img, m_vertical ? h : pen, m_vertical ? pen : 0, ch.c_str(), nullptr, nullptr);
        pen += advance;
        p += s;
    }
    const RECT src = m_vertical ? RECT{0, 0, h, std::min<LONG>(pen, img.GetHeight())}
                                : RECT{0, 0, std::min<LONG>(pen, img.GetWidth()), h};
    if (src.right > src.left && src.bottom > src.top)
        m_compSprite->SetSourceRect(&src);
    RECT all{0, 0, img.GetWidth(), img.GetHeight()};
    m_compSprite->InvalidateLocalRect(&all);
    m_compSprite->SetVisible(true);
    m_font->SetTextColor(savedColor[0], savedColor[1], savedColor[2]);
    m_font->SetEffect(savedEffect, m_font->m_effectColor[0], m_font->m_effectColor[1], m_font->m_effectColor[2]);
    m_font->SetShadowOffset(sx, sy);
}
