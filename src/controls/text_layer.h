// The text layer: a vertical list of text lines to choose from (the scenario's choices). Each line
// is a sprite over an image strip of its looks (normal, highlighted, pressed, last); an optional
// header and footer close the list, which is centred vertically on its anchor. Lines remember
// being chosen through a caller's bit array (read colour and mark).
#pragma once

#include "controls/control.h"
#include "controls/frame_compose.h"
#include "drawing/sprite.h"

#include <cstdint>
#include <deque>
#include <string>

class CBitArray;
class CDrawList;
class CGlyphFont;

struct CTextLayerItem {
    virtual ~CTextLayerItem() = default;
    std::string text;
    uint8_t disabled = 0;
    int32_t value = -1;
    std::string name;
    int32_t number = -1;
    std::string command;
    int32_t* chosen = nullptr;
    int32_t* entered = nullptr;
    int32_t* left = nullptr;
    std::string hint;
};

class CTextLayerBase : public CControl {
public:
    ~CTextLayerBase() override;
    int GetType() const override { return kControlTextLayer; }
    int GetWidth() const override { return m_frameWidth; }
    int GetHeight() const override { return m_totalHeight; }
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;
    const char* GetHintText() const override { return m_lineHint.empty() ? nullptr : m_lineHint.c_str(); }

    // 1 line out of range.
    virtual int SetLineState(int line, int state) = 0;
    virtual bool GetLinePointerPos(int line, int* x, int* y) = 0;
    virtual bool IsOnFrame(int x, int y) = 0;
    // The line under a layer point, or -1.
    virtual int LineAt(int x, int y) = 0;

    void ClearItems();
    void SetReadFlags(CBitArray* flags, int base, int32_t* result);
    CBitArray* ReadFlags() const { return m_readFlags; }
    int ReadBase() const { return m_readBase; }
    // 1 null.
    int CopyReadSettings(const CTextLayerBase* other);
    void SetSounds(const char* choose, const char* enter, const char* leave, int chooseNumber, int enterNumber,
                   int leaveNumber);
    void SetTextColors(uint32_t normal, uint32_t read, uint32_t highlighted, uint32_t disabled);
    void SetTextGradients(uint32_t normalTop, uint32_t normalBottom, uint32_t readTop, uint32_t readBottom,
                          uint32_t highTop, uint32_t highBottom, uint32_t disabledTop, uint32_t disabledBottom);
    void SetCellMargins(int left, int top, int right, int bottom);
    void CancelDrag() { m_dragging = 0; }
    void SetLocked(bool locked) { m_locked = locked ? 1 : 0; }
    // 0 appended.
    int AddItem(const char* text, bool disabled, int value, const char* name, int number, const char* command,
                const char* hint, int32_t* chosen, int32_t* entered, int32_t* left);
    bool SelectLine(int line);
    void FocusLine(int line);
    bool OnLineEnter(int line);
    void OnLineLeave(int line);

    void SetReadMarksEnabled(bool on) { m_readMarks = on ? 1 : 0; }
    void SetFrameDragThreshold(uint8_t v) { m_dragThreshold = v; }
    void SetPressOffset(int x, int y) { m_pressX = x; m_pressY = y; }
    void SetTextOffset(int x, int y) { m_textX = x; m_textY = y; }
    void SetHighlightFill(uint8_t style, uint32_t color) { m_fillStyle = style; m_fillColor = color; }
    // The font new lines are drawn with (lines already made keep their pictures).
    void SetFont(CGlyphFont* font) { m_font = font; }
    CGlyphFont* GetFont() const { return m_font; }
    uint8_t GetHighlightStyle() const { return m_fillStyle; }
    uint32_t GetHighlightColor() const { return m_fillColor; }
    int GetPressOffsetX() const { return m_pressX; }
    int GetTextOffsetX() const { return m_textX; }
    bool AreReadMarksEnabled() const { return m_readMarks != 0; }
    int GetLineCount() const { return m_lineCount; }
    int GetHoveredLine() const { return m_hovered; }
    int GetLineState() const { return m_state; }
    bool IsLocked() const { return m_locked != 0; }
    const CTextLayerItem* GetItem(int line) const;

protected:
    bool IsLineEnabled(int line) const;
    void LeaveHovered();
    // The next enabled line from `from` in steps of `step`, or -1.
    int NextEnabled(int from, int step) const;

    CGlyphFont* m_font = nullptr;
    int32_t m_x = 0, m_y = 0;
    int32_t m_spacing = 0;
    int32_t m_frameWidth = 0, m_totalHeight = 0;
    uint8_t m_readMarks = 1, m_dragThreshold = 0;
    uint32_t m_bgColor = 0;
    uint8_t m_bgAlpha = 128, m_maskChoice = 1;
    int32_t m_marginL = 8, m_marginT = 2, m_marginR = 8, m_marginB = 2;
    int32_t m_textX = 2, m_textY = 2, m_pressX = 0, m_pressY = 0;
    uint8_t m_hasPressed = 0, m_hasLast = 0, m_fillStyle = 1;
    uint32_t m_fillColor = 0x80000080u;
    uint32_t m_normal = 0xFFFFFF, m_read = 0x8FDFDF, m_highlighted = 0xFFF000, m_disabledColor = 0x909090;
    uint32_t m_gradients[8] = {0xFFEB00, 0xFF4646, 0x00FFEB, 0x26DD26, 0xFFFF46, 0xFF9292, 0xB0B0B0, 0x595959};
    int32_t m_lineCount = 0;
    std::deque<CTextLayerItem*> m_items;
    CBitArray* m_readFlags = nullptr;
    int32_t m_readBase = 0;
    int32_t* m_result = nullptr;
    std::string m_lineHint;
    uint8_t m_dragging = 0, m_locked = 0, m_suppressed = 0;
    int32_t m_grabX = 0, m_grabY = 0;
    int32_t m_hovered = -1;
    uint8_t m_state = 0;
    int32_t m_suppressX = 0, m_suppressY = 0;
    uint32_t m_pressTimeout = 0;
    std::string m_chooseSound, m_enterSound, m_leaveSound;
    int32_t m_chooseNumber = -1, m_enterNumber = -1, m_leaveNumber = -1;
};

class CTextLayer : public CTextLayerBase {
public:
    CTextLayer();
    ~CTextLayer() override;

    int GetX() const override { return m_originX; }
    int GetY() const override { return m_originY; }
    // 1 without lines.
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override;
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override;
    int SetLineState(int line, int state) override;
    bool GetLinePointerPos(int line, int* x, int* y) override;
    bool IsOnFrame(int x, int y) override;
    int LineAt(int x, int y) override;

    void SetDrawList(CDrawList* list);
    // The shown lines (the drawables of the layer's group) go to list behind their equals, and
    // later lines are put there. 1 no list either side.
    int MoveToDrawList(CDrawList* list);
    // 0; 1 null font.
    int Create(CDrawList* list, int priority, int x, int y, int cellWidth, int cellHeight, int spacing,
               CGlyphFont* font, int id);
    // 0; 1 a side not positive; 2 header image; 3 footer image.
    int SetCellSize(int width, int height, int headerHeight, int footerHeight);
    // 0; 1 no list, font or text; 2-4 line image; 5 record.
    int AddLine(const char* text, const char* hint, bool disabled, int value, const char* name, int number,
                const char* command, int32_t* chosen, int32_t* entered, int32_t* left);
    void ClearLines();
    // 0; 1 a refused frame-count combination or no line file; 2-8 line group, 9-15 header, 16-22 footer.
    int LoadLineImages(int frames, bool pressed, bool last, const char* line, const char* lineMaskA,
                       const char* lineMaskB, const char* header, const char* headerMaskA, const char* headerMaskB,
                       const char* footer, const char* footerMaskA, const char* footerMaskB);
    // As LoadLineImages with borrowed images (a group counts when one of its images has pixels).
    int SetLineImages(int frames, bool pressed, bool last, CImage* line, CImage* lineMaskA, CImage* lineMaskB,
                      CImage* header, CImage* headerMaskA, CImage* headerMaskB, CImage* footer, CImage* footerMaskA,
                      CImage* footerMaskB);
    void FreeLineImages();
    // 0; 1 unreadable.
    int LoadReadMark(const char* file);
    // -1 unchanged; 0.
    int SetBackgroundColor(uint8_t maskChoice, uint32_t color, uint8_t alpha);
    void ComposeLineImages(bool maskChanged, bool colorChanged, bool alphaChanged);
    void RedrawLines(bool colorChanged, bool alphaChanged);
    // Index < 0: the header's; at or past the count: the footer's (null when absent).
    CImage* GetLineImage(int index) const;
    CSprite* GetLineSprite(int index) const;
    // A font that ends is none in every layer (new lines are not drawn). Any thread.
    static void ForgetFontEverywhere(const void* font);
    // A line's disabled byte, its picture drawn again → 0; 1 line out of range.
    int SetLineDisabled(int line, bool disabled);

private:
    struct Group {
        FrameSources images;
        bool ownsFrame = false;
        bool ownsSources = false;
        bool Has() const { return images.frame && images.frame->GetBits(); }
    };
    void FreeGroup(Group& group);
    int LoadGroup(Group& group, const char* decoration, const char* maskA, const char* maskB, int base);
    int SetGroup(Group& group, CImage* decoration, CImage* maskA, CImage* maskB, int base);
    int FinishImages(int frames, bool pressed, bool last);
    int MakeEdge(Group& group, CSprite*& sprite, int height, int failure);
    void DrawLine(int index, CImage* image, int frames, int frameWidth, int height);
    int LineHeight() const;
    int Pitch() const;
    void Layout();
    uint32_t Fill() const { return static_cast<uint32_t>(m_bgAlpha) << 24 | (m_bgColor & 0xFFFFFF); }

    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    uint8_t m_hasHighlighted = 0;
    int32_t m_lastOffset = 0;
    int32_t m_originX = 0, m_originY = 0;
    std::deque<CImage*> m_lineImages;
    std::deque<CSprite*> m_lineSprites;
    int32_t m_cellW = 0, m_cellH = 0;
    Group m_line, m_header, m_footer;
    CImage* m_readMark = nullptr;
    int32_t m_headerH = 0, m_footerH = 0;
    CSprite* m_headerSprite = nullptr;
    CSprite* m_footerSprite = nullptr;
};
