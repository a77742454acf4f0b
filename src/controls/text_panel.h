// The text panel: a control that owns a 32-bit image shown by a sprite and draws Shift-JIS text
// into it one character at a time (horizontal or vertical, wrapping with the Japanese line-break
// rules, ruby, picture escapes), over a background or a frame composed from up to three images
// (optionally a nine-slice). Runs of text can be selectable items, hit-tested through an 8-bit map.
// Pacing belongs to the classes that derive from it.
#pragma once

#include "controls/control.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "raster/image.h"

#include <cstdint>
#include <deque>
#include <string>

class CDrawList;
class CGlyphFont;

struct CTextPanelItem {
    struct Cell {
        int32_t x, y, width, height;
    };
    virtual ~CTextPanelItem() = default;
    std::string name;
    int32_t value = -1;
    std::string command;
    int32_t* chosen = nullptr;
    int32_t* entered = nullptr;
    int32_t* left = nullptr;
    std::string chooseSound, enterSound, leaveSound;
    int32_t chooseNumber = -1, enterNumber = -1, leaveNumber = -1;
    std::string hint;
    uint32_t highlight = 0;
    uint8_t complete = 0;
    std::deque<Cell> cells;
};

// Line-break rule: true when the character may not start a line after `previous` (previous an
// opening bracket, or the character a closing mark or small kana). Two-byte characters are 16-bit
// values with the lead byte low.
bool HoldsLineSingle(uint16_t previous, uint8_t ch);
bool HoldsLineDouble(uint16_t previous, uint16_t ch);

class CTextPanelBase : public CControl {
public:
    ~CTextPanelBase() override;
    int GetType() const override { return kControlTextPanel; }
    int GetWidth() const override { return m_width; }
    int GetHeight() const override { return m_height; }
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;
    const char* GetHintText() const override { return m_itemHint.empty() ? nullptr : m_itemHint.c_str(); }

    // Drawing operations the panel implements.
    virtual bool IsOnFrame(int x, int y) = 0;
    virtual void MarkItemArea(int x, int y, int width, int height) = 0;
    virtual int ItemAt(int x, int y) = 0;
    virtual void ShowItemHighlight(int index, bool show) = 0;
    // 0 drawn; -1 drawn after an automatic new line; 1 page full (pointer unchanged).
    virtual int DrawNextChar(const char** text) = 0;
    // True when the next line does not fit (nothing moved).
    virtual bool NewLine() = 0;
    virtual void DrawTextAt(const char* text, int x, int y, bool viaCursor) = 0;
    virtual void SetTextCursor(int x, int y) = 0;

    void ClearItems();
    // 1 items disabled or an item already open; 0 appended and open.
    int BeginItem(const char* name, int value, const char* command, const char* hint, int32_t* chosen,
                  int32_t* entered, int32_t* left, uint32_t highlight, const char* chooseSound, const char* enterSound,
                  const char* leaveSound, int chooseNumber, int enterNumber, int leaveNumber);
    void AddItemCell();
    void CloseItemCellRun();
    void EndItem();
    void CancelDrag() { m_dragging = 0; }
    void SetLocked(bool locked) { m_locked = locked ? 1 : 0; }
    void UpdateLineMetrics();
    int GetCursorBaseOffset() const;
    int GetCursorMarginOffsetX() const;
    int GetCursorMarginOffsetY() const;
    void ComputeWrapLimit();
    void UpdateLayout();
    // False after a successful new line; else the auto-wrap flag.
    bool NewLineForWrap();
    void SetIndentHere();
    void ClearIndent() { m_indent = 0; }
    // 0 (nothing stored) without a ruby font; 1 stored.
    int SetRubyText(const char* text);
    // Alignment 0 centred, 1 centred along the line, 2 line start, 3 line end.
    void DrawAlignedText(const char* text, int alignment);
    // Characters spread evenly over the rectangle (left, top, right, bottom).
    void DrawSpacedText(const char* text, int left, int top, int right, int bottom);
    bool SelectItem(int index);
    void FocusItem(int index);
    bool OnItemEnter(int index);
    void OnItemLeave(int index);

    // Fields without operations of their own, for the classes deriving from the panel.
    void SetLineSpacing(int v) { m_lineSpacing = v; }
    void SetCharSpacing(int v) { m_charSpacing = v; }
    void SetRubyGap(int v) { m_rubyGap = v; }
    void SetRubyReserve(bool v) { m_rubyReserve = v ? 1 : 0; }
    void SetMinLineHeight(int v) { m_minLineHeight = v; }
    void SetWrapReserve(int v) { m_wrapReserve = v; ComputeWrapLimit(); }
    void SetUprightCentring(bool v) { m_upright = v ? 1 : 0; }
    void SetAutoWrap(bool v) { m_autoWrap = v ? 1 : 0; }
    void SetFrameDragThreshold(uint8_t v) { m_dragThreshold = v; }

    int GetCursorX() const { return m_cursorX; }
    int GetCursorY() const { return m_cursorY; }
    int GetLineHeight() const { return m_lineHeight; }
    int GetLinePitch() const { return m_linePitch; }
    int GetWrapLimit() const { return m_wrapLimit; }
    bool IsPageFull() const { return m_pageFull != 0; }
    int GetItemCount() const { return m_itemCount; }
    int GetHoveredItem() const { return m_hovered; }
    const CTextPanelItem* GetItem(int index) const;
    bool IsLocked() const { return m_locked != 0; }

protected:
    int FontHeight(const CGlyphFont* font) const;
    int CompleteItemCount() const;
    void LeaveHovered();
    void RememberPointer();

    CGlyphFont* m_font = nullptr;
    CGlyphFont* m_rubyFont = nullptr;
    int32_t m_width = 0, m_height = 0;
    uint32_t m_bgColor = 0;
    uint8_t m_bgAlpha = 128;
    uint8_t m_maskChoice = 1;
    int32_t m_marginL = 8, m_marginT = 8, m_marginR = 8, m_marginB = 8;
    int32_t m_minLineHeight = 0;
    int32_t m_lineHeight = 0, m_linePitch = 0;
    int32_t m_itemL = 2, m_itemT = 2, m_itemR = 2, m_itemB = 2;
    int32_t m_cursorX = 0, m_cursorY = 0;
    uint8_t m_itemsEnabled = 0, m_upright = 0, m_vertical = 0, m_autoWrap = 1;
    int32_t m_lineSpacing = 0, m_charSpacing = 0, m_rubyGap = 0;
    int32_t m_wrapReserve = 2, m_wrapLimit = 0;
    uint8_t m_dragThreshold = 0;
    int32_t m_indent = 0;
    const char* m_ruby = nullptr;
    uint8_t m_pageFull = 0;
    uint16_t m_prevChar = 0;
    uint8_t m_pageEmpty = 1;
    uint8_t m_rubyReserve = 1;
    uint8_t m_dragging = 0, m_locked = 0, m_suppressed = 0;
    int32_t m_grabX = 0, m_grabY = 0, m_suppressX = 0, m_suppressY = 0;
    std::deque<CTextPanelItem*> m_items;
    int32_t m_itemCount = 0;
    uint8_t m_itemOpen = 0, m_runOpen = 0;
    int32_t m_hovered = -1;
    std::string m_itemHint;
};

class CTextPanel : public CTextPanelBase {
public:
    CTextPanel();
    ~CTextPanel() override;

    int GetX() const override { return m_sprite.GetX(); }
    int GetY() const override { return m_sprite.GetY(); }
    // 1 not created.
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_sprite.IsVisible(); }
    // 1 without a draw list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    // 1 not created.
    int SetAlpha(int alpha) override;
    int GetAlpha() const override;

    // 0; 1 no list or font, or no frame and a side not positive; 2 the text image; 3 the hit map.
    int Create(CDrawList* list, int priority, int width, int height, int x, int y, CGlyphFont* font,
               CGlyphFont* ruby, int id);
    void Release();
    // 1 no main font; -1 not created; 0.
    int SetFonts(CGlyphFont* font, CGlyphFont* ruby, bool redraw);
    // -1 unchanged; -2 not created; 0.
    int SetBackgroundColor(uint8_t maskChoice, uint32_t color, uint8_t alpha, bool redraw);
    void SetMargins(int left, int top, int right, int bottom, bool redraw);
    void SetItemMargins(int left, int top, int right, int bottom, bool redraw);
    // 0; 1 the hit map could not be made.
    int SetItemsEnabled(bool enabled, bool redraw);
    // 0; 1/3 main/ruby font without an "@" face; 2/4 main/ruby font not back to the plain face.
    int SetVertical(bool vertical, bool redraw);
    // 1 stored; 0 a frame image is set.
    int SetFrameSlices(int left, int top, int tileWidth, int tileHeight);
    // 0; 1 nothing given; 2-8 a file or image failed (see the order in the source); 9 recreation
    // failed; 10 slices leaving a border negative (images freed).
    int LoadFrameImages(const char* decoration, const char* maskA, const char* maskB, bool redraw);
    // As LoadFrameImages with borrowed images; mask A may be (CImage*)-1 (ignored). 1 none has pixels.
    int SetFrameImages(CImage* decoration, CImage* maskA, CImage* maskB, bool redraw);
    void FreeFrameImages(bool redraw);
    // In every panel: a font that ends is none (nothing is drawn with it), and a borrowed frame
    // image that ends takes the frame with it (the plain background is drawn from then on). Any
    // thread.
    static void ForgetEverywhere(const void* object);
    void ComposeFrame(bool maskChanged, bool colorChanged, bool alphaChanged);
    // 1 not created; 3 recreation failed.
    int Rebuild(int width, int height);
    // 1 no tiled frame or a side not positive; 2 text image; 4 hit map; 0.
    int Resize(int width, int height);
    void SetTextCursor(int x, int y) override;
    void GetTextCursorPoint(int* x, int* y, int width, int height) const;
    void ResetTextCursor(bool redraw);
    void HomeTextCursor(bool redraw);
    void Clear();
    bool NewLine() override;
    int DrawNextChar(const char** text) override { return DrawChar(text, nullptr); }
    // While held, what the panel draws is marked changed as one rectangle when released (a page
    // typed at once marks the union of its characters, not each one).
    void HoldChangeMarks();
    void ReleaseChangeMarks();
    // 0 drawn; -1 after an automatic new line; 1 page full (pointer unchanged); 0 without a font.
    int DrawChar(const char** text, CImage* target);
    void DrawTextAt(const char* text, int x, int y, bool viaCursor) override;
    // 0; -1 after a new line; 1 page full; 2 the file could not be read.
    int DrawImageChar(const char* file, int keyX, int keyY);
    // 0; -1 after a new column; 1 page full; 2 not vertical; 3 no font or text, or no face switch.
    int DrawUprightRun(const char* text);
    bool IsOnFrame(int x, int y) override;
    void MarkItemArea(int x, int y, int width, int height) override;
    int ItemAt(int x, int y) override;
    void ShowItemHighlight(int index, bool show) override;

    CImage& GetImage() { return m_image; }
    CDrawList* GetDrawList() const { return m_list; }
    // Every drawable of the panel's group goes to list behind its equals (drawables of other
    // controls sharing the group go along), and later insertions go there. 1 no list either side.
    int MoveToDrawList(CDrawList* list);
    CSprite& GetSprite() { return m_sprite; }
    CImage* GetHitMap() const { return m_hitMap; }
    CImage* GetFrameImage() const { return m_frame; }
    size_t GetShownHighlights() const { return m_shown; }
    CPrimitiveObject* GetHighlight(size_t i) const { return i < m_highlights.size() ? m_highlights[i] : nullptr; }

private:
    bool Created() const { return m_image.GetBits() != nullptr; }
    void MarkDirty(RECT r);
    void DeleteHighlights();
    int Recreate(int width, int height);
    int FinishFrame(bool redraw);
    bool CheckSlices();
    void DrawNineSlice(bool lone);
    int CreateHitMap(int width, int height);

    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    CImage m_image;
    CSprite m_sprite;
    CImage* m_frame = nullptr;
    CImage* m_decoration = nullptr;
    CImage* m_maskA = nullptr;
    CImage* m_maskB = nullptr;
    uint8_t m_composite = 0;
    uint8_t m_ownsFrame = 0;
    uint8_t m_ownsSources = 0;
    std::string m_decorationName, m_maskAName, m_maskBName;
    int32_t m_tileW = 0, m_tileH = 0, m_borderL = 0, m_borderT = 0, m_borderR = 0, m_borderB = 0;
    int32_t m_prevCursor = 0;
    bool m_holdMarks = false;
    RECT m_heldMarks{0, 0, 0, 0};
    CImage* m_hitMap = nullptr;
    std::deque<CPrimitiveObject*> m_highlights;
    size_t m_shown = 0;
};
