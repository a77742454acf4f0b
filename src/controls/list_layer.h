// The list layer: rows of text drawn into one image shown by one sprite, with an embedded vertical
// scroll bar whose value is the pixel offset of the rows. Rows may carry a two-state attribute
// shown as an icon at their left; a cursor row follows the pointer and the keys, and choosing a
// row (or toggling its icon) reports the control's user value to the form.
#pragma once

#include "controls/control.h"
#include "controls/scroll_control.h"
#include "drawing/sprite.h"
#include "raster/image.h"

#include <cstdint>
#include <memory>
#include <vector>

class CDrawList;
class CGlyphFont;
class CFont;
class CStringList;

class CListBase : public CControl {
public:
    int GetType() const override { return kControlListBase; }
    int GetX() const override { return m_sprite.GetX(); }
    int GetY() const override { return m_sprite.GetY(); }
    int GetWidth() const override { return m_sprite.GetWidth(); }
    int GetHeight() const override { return m_sprite.GetHeight(); }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_sprite.IsVisible(); }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_sprite.GetAlpha(); }
    bool HitTest(int x, int y) override { return m_sprite.HitTest(x, y, true); }
    void OnSetFocus(CControl* previous, bool forward) override;

    CImage& GetImage() { return m_image; }
    CSprite& GetSprite() { return m_sprite; }

protected:
    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    CImage m_image;
    CSprite m_sprite;
};

// The list's bar never keeps the keyboard focus.
class CListScrollBar : public CScrollControl {
public:
    void OnSetFocus(CControl* previous, bool forward) override;
};

class CListLayer : public CListBase, public CScrollListener {
public:
    CListLayer();
    ~CListLayer() override;

    int GetType() const override { return kControlListLayer; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool SetEnabled(bool enabled) override;
    int SetAlpha(int alpha) override;
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseEnter() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;
    void OnScroll(CScrollControl* control, int value) override;
    void OnScrollEnd(CScrollControl*) override {}

    // 0; 1 no list, no glyph font, font height 0, width not positive, no thumb file, or caps longer
    // than the bar; 2 icons; 3 image; 4 + the bar's code.
    int Create(CDrawList* list, int priority, CFont* font, int height, int width, int x, int y, const char* thumbFile,
               int thumbCap1, int thumbCap2, int barLength, int barX, int barY, int blendMode, const char* iconFile,
               int lineGap, int id);
    void Release();
    // 1 null; -1 already in one; 0.
    int AddToContainer(CControlContainer* container, int position);
    bool RemoveFromContainer();
    // 0; 1 not created.
    int AddItem(const char* text1, const char* text2, bool update);
    void UpdateScrollRange();
    int SelectItem(int row);
    // 0; 1 no font, list or attributes; 2 row out of range.
    int SetItemAttribute(int row, uint8_t value, bool redraw);
    uint8_t GetItemAttribute(int row) const;
    void Redraw();
    void SetPageActions(uint8_t back, uint8_t forward) { m_pageBack = back; m_pageForward = forward; }
    void SetNewRowAttribute(uint8_t value) { m_newAttribute = value; }
    void SetColors(uint32_t background, uint32_t cursorFrame, uint32_t selection)
    {
        m_background = background;
        m_cursorColor = cursorFrame;
        m_selectionColor = selection;
    }

    int GetRowCount() const;
    int GetCursor() const { return m_cursor; }
    int GetSelected() const { return m_selected; }
    int GetLineHeight() const { return m_lineHeight; }
    int GetContentHeight() const;
    CListScrollBar& GetScrollBar() { return m_bar; }

private:
    int Pitch() const { return m_lineHeight + m_gap; }
    void EnsureVisible(int row);
    void Choose(int value);

    CGlyphFont* m_font = nullptr;
    std::unique_ptr<CStringList> m_texts1, m_texts2;
    int32_t m_lineHeight = 0, m_gap = 0;
    int32_t m_selected = -1, m_cursor = -1, m_savedCursor = -1;
    CListScrollBar m_bar;
    int32_t m_barLength = 0;
    std::unique_ptr<CImage> m_icons;
    std::vector<uint8_t> m_attributes;
    int32_t m_iconWidth = 0;
    uint8_t m_newAttribute = 1;
    uint32_t m_background = 0xC0C0DCC0u, m_cursorColor = 0xFFFF9CBFu, m_selectionColor = 0xC00B2BD7u;
    uint8_t m_pageBack = 0, m_pageForward = 0;
    CControlContainer* m_container = nullptr;
};
