#include "controls/ime_indicator.h"

#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "platform/ime_context.h"
#include "winapi/text.h"

#include <cstdlib>
#include <string>

void CImeIndicator::Release()
{
    m_sprite.DetachFromList();
    m_sprite.Reset();
    m_image.Destroy();
    m_ime = nullptr;
    m_conversion = m_sentence = 0;
    m_font = nullptr;
    m_open = 0;
}

int CImeIndicator::SetPosition(int x, int y)
{
    m_sprite.SetPosition(m_rightAligned ? x - m_sprite.GetWidth() : x, y);
    m_x = x;
    m_y = y;
    return 0;
}

int CImeIndicator::SetColors(uint32_t text, uint32_t outline)
{
    if (text != 0xFFFFFFFFu)
        m_textColor = text & 0xFFFFFF;
    if (outline != 0xFFFFFFFFu)
        m_outlineColor = outline & 0xFFFFFF;
    m_redraw = 1;
    return 0;
}

int CImeIndicator::SetRightAligned(bool on)
{
    m_rightAligned = on ? 1 : 0;
    m_redraw = 1;
    return 0;
}

int CImeIndicator::Create(CDrawList* list, CImeContext* ime, CGlyphFont* font, int x, int y, bool rightAligned,
                          int group)
{
    if (!list || !ime || !font)
        return 1;
    if (list == m_list)
        m_list = nullptr;
    Release();
    m_list = list;
    const int64_t e = std::abs(static_cast<int64_t>(font->m_outlineRadius));
    const int64_t h = std::llabs(static_cast<int64_t>(font->m_logFont.lfHeight));
    const int64_t w = 2 * e + 4 * (h + 2 * e), hh = h + 2 * e;
    if (w < 1 || hh < 1 || w > 65536 || hh > 65536 || m_image.Create(static_cast<LONG>(w), static_cast<LONG>(hh), 32, 0) != 0) {
        Release();
        return 2;
    }
    m_image.SetAlphaFlag(true);
    m_sprite.SetImage(&m_image, nullptr, x, y);
    m_sprite.SetBlendMode(2);
    list->Insert(&m_sprite, 0, static_cast<DWORD>(group));
    m_sprite.SetTag(static_cast<DWORD>(group));
    m_sprite.SetVisible(false);
    m_group = group;
    m_ime = ime;
    m_font = font;
    m_x = x;
    m_y = y;
    m_rightAligned = rightAligned ? 1 : 0;
    m_redraw = 1;
    Update();
    return 0;
}

void CImeIndicator::Update()
{
    if (!m_ime || !m_font || !m_image.GetBits())
        return;
    DWORD conversion = m_conversion, sentence = m_sentence;
    m_ime->GetConversionStatus(&conversion, &sentence);
    const uint8_t open = m_ime->IsOpen() ? 1 : 0;
    if (conversion == m_conversion && sentence == m_sentence && open == m_open && !m_redraw)
        return;
    m_conversion = conversion;
    m_sentence = sentence;
    m_open = open;
    ++m_draws;
    const uint8_t color[3] = {m_font->m_textColor[0], m_font->m_textColor[1], m_font->m_textColor[2]};
    const uint8_t effect = m_font->m_effectMode;
    const uint8_t effectColor[3] = {m_font->m_effectColor[0], m_font->m_effectColor[1], m_font->m_effectColor[2]};
    const int32_t sx = m_font->m_shadowX, sy = m_font->m_shadowY;
    m_font->SetTextColor(static_cast<uint8_t>(m_textColor >> 16), static_cast<uint8_t>(m_textColor >> 8),
                         static_cast<uint8_t>(m_textColor));
    m_font->SetEffect(2, static_cast<uint8_t>(m_outlineColor >> 16), static_cast<uint8_t>(m_outlineColor >> 8),
                      static_cast<uint8_t>(m_outlineColor));
    m_font->SetShadowOffset(2, 2);
    m_image.FillRect32(0, nullptr);
    std::string letters;
    if (!open || (conversion & IME_CMODE_NOCONVERSION)) {
        letters = "英数";
    } else {
        if (conversion & IME_CMODE_ROMAN)
            letters += "Ｒ";
        letters += (conversion & IME_CMODE_FULLSHAPE) ? "全" : "半";
        letters += (conversion & IME_CMODE_KATAKANA) ? "カ" : (conversion & IME_CMODE_NATIVE) ? "ひ" : "英";
        if (sentence & IME_SMODE_PHRASEPREDICT)
            letters += "連";
        else if (sentence & IME_SMODE_PLAURALCLAUSE)
            letters += "複";
        else if (sentence & IME_SMODE_SINGLECONVERT)
            letters += "単";
        else if (sentence & IME_SMODE_AUTOMATIC)
            letters += "自";
    }
    const std::string sjis = winapi::Utf8ToSjis(letters);
    const int e = std::abs(m_font->m_outlineRadius);
    int pen = e;
    for (size_t p = 0; p + 1 < sjis.size(); p += 2) {
        POINT end{pen, e};
        m_font->DrawString(&m_image, pen, e, sjis.substr(p, 2).c_str(), nullptr, &end);
        pen = end.x;
    }
    const RECT src{0, 0, std::min<LONG>(pen + e, m_image.GetWidth()), m_image.GetHeight()};
    m_sprite.SetSourceRect(&src);
    if (m_rightAligned)
        m_sprite.SetPosition(m_x - src.right, m_y);
    RECT all{0, 0, src.right, src.bottom};
    m_sprite.InvalidateLocalRect(&all);
    m_font->SetTextColor(color[0], color[1], color[2]);
    m_font->SetEffect(effect, effectColor[0], effectColor[1], effectColor[2]);
    m_font->SetShadowOffset(sx, sy);
    m_redraw = 0;
}
