// The IME status label shown while a text field has the focus: "英数" when the IME is closed or
// does not convert, else single full-width letters for roman input, width, kind and conversion
// mode. Not a control: the text fields show, hide and update it.
#pragma once

#include "drawing/sprite.h"
#include "raster/image.h"

#include <cstdint>

class CDrawList;
class CGlyphFont;
class CImeContext;

class CImeIndicator {
public:
    CImeIndicator() = default;
    CImeIndicator(const CImeIndicator&) = delete;
    CImeIndicator& operator=(const CImeIndicator&) = delete;
    virtual ~CImeIndicator() { Release(); }

    void Release();
    int GetX() const { return m_sprite.GetX(); }
    int GetY() const { return m_sprite.GetY(); }
    // Right aligned: x is the label's right edge. 0.
    int SetPosition(int x, int y);
    void SetVisible(bool visible) { m_sprite.SetVisible(visible); }
    bool IsVisible() const { return m_sprite.IsVisible(); }
    // Redraws when the IME's state changed (or a redraw was asked for).
    void Update();
    // 0xFFFFFFFF keeps a colour. 0.
    int SetColors(uint32_t text, uint32_t outline);
    int SetRightAligned(bool on);
    // 0; 1 no list, context or font; 2 image.
    int Create(CDrawList* list, CImeContext* ime, CGlyphFont* font, int x, int y, bool rightAligned, int group);

    CGlyphFont* GetFont() const { return m_font; }
    CSprite& GetSprite() { return m_sprite; }
    CImage& GetImage() { return m_image; }
    int GetLabelWidth() const { return m_sprite.GetWidth(); }
    int GetDrawCount() const { return m_draws; }

private:
    CImeContext* m_ime = nullptr;
    uint32_t m_conversion = 0, m_sentence = 0;
    uint32_t m_textColor = 0xFFFFFF, m_outlineColor = 0;
    CGlyphFont* m_font = nullptr;
    int32_t m_x = 0, m_y = 0;
    uint8_t m_rightAligned = 0, m_open = 0, m_redraw = 0;
    CDrawList* m_list = nullptr;
    CImage m_image;
    CSprite m_sprite;
    int32_t m_group = 0;
    int32_t m_draws = 0;
};
