// The text input field: a one-line (horizontally scrolling) or multi-line Shift-JIS entry drawn
// with a glyph font into its own image, with a blinking caret on the timer manager, editing keys,
// typed text from the application frame, and the IME's composition shown at the caret with the
// converted clause highlighted. Vertical when its font is turned to 2700.
#pragma once

#include "controls/control.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "platform/timed_task.h"
#include "raster/image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class CDrawList;
class CGlyphFont;
class CImeContext;
class CImeIndicator;
class CTimerManager;

// Toggles the caret while enabled; never finishes.
class CCaretBlinkTask : public CTimedTask {
public:
    explicit CCaretBlinkTask(CDrawable* caret) : m_caret(caret) {}
    int32_t GetKind() override { return 0x43415254; }
    int32_t Step(uint32_t now) override;
    uint8_t enabled = 0;

private:
    CDrawable* m_caret;
};

class CTextInput : public CControl {
public:
    CTextInput();
    ~CTextInput() override;

    int GetType() const override { return kControlTextInput; }
    int GetX() const override { return m_sprite.GetX(); }
    int GetY() const override { return m_sprite.GetY(); }
    int GetWidth() const override { return m_width; }
    int GetHeight() const override { return m_height; }
    int SetPosition(int x, int y) override;
    void SetVisible(bool visible) override;
    bool IsVisible() const override { return m_sprite.IsVisible(); }
    // 1 without a display list.
    int SetPriority(int priority, int group, bool keep) override;
    int GetPriority() const override { return m_priority; }
    int SetAlpha(int alpha) override;
    int GetAlpha() const override { return m_sprite.GetAlpha(); }
    bool HitTest(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnMouseLeave() override;
    bool OnMouseInput(int x, int y, CInputSource* mouse) override;
    void OnSetFocus(CControl* previous, bool forward) override;
    void OnKillFocus(CControl* next) override;
    bool OnKeyInput(CActionMap* actions) override;
    bool OnKeyDown(int key) override;
    // Always true; bytes past the capacity are dropped, and so is a lead byte that ends them.
    bool OnTextInput(const char* bytes, int count) override;

    void Release();
    // Redraws the whole text.
    void RedrawText();
    // Redraws from the first character an edit touched to the end (the same pixels as RedrawText),
    // or the whole text when the last layout cannot be resumed.
    void RedrawChanged();
    void UpdateComposition();
    void HideComposition();
    // 1 once created.
    int SetMaxLength(int length);
    int SetCompositionStyle(int length, uint32_t textColor, uint32_t backgroundColor);
    void SetImeIndicator(CImeIndicator* indicator) { m_indicator = indicator; }
    // 0; 1 no text or no caller buffer. Copies at most capacity - 1 bytes, whole characters.
    int Commit();
    void SetLocked(bool locked);
    // 0; 1 not created.
    int Clear();
    // 0; 1 not created or null.
    int SetText(const char* text);
    void PlaceCaret();
    void ShowCaret();
    void HideCaret();
    // The caller's buffer (capacity bytes, may be null) is read, never written, until Commit.
    // 0; 1 bad arguments (also a font of height 0, or less than one full-width character of room
    // a line); 2 image; 3 blink task refused; 4 composition image.
    int CreateSingleLine(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime, CGlyphFont* font,
                         int width, char* buffer, int capacity, int x, int y, int margin, bool border, int group);
    int CreateMultiLine(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime, CGlyphFont* font,
                        int lines, int width, char* buffer, int capacity, int x, int y, int margin, int lineSpacing,
                        bool border, int group);

    void SetColors(uint32_t background, uint32_t text) { m_background = background; m_textColor = text & 0xFFFFFF; }
    void SetFullWidthOnly(bool on) { m_fullWidthOnly = on ? 1 : 0; }
    void SetOpenImeOnFocus(bool on) { m_openImeOnFocus = on ? 1 : 0; }
    void SetFocusOnPointer(bool on) { m_focusOnPointer = on ? 1 : 0; }
    const char* GetText() const { return m_text.empty() ? nullptr : m_text.data(); }
    int GetCaret() const { return m_caret; }
    int GetCaretLine() const { return m_caretLine; }
    int GetFirstVisible() const { return m_column; }
    int GetLinesInUse() const { return m_linesInUse; }
    int GetMaxLength() const { return m_maxLength; }
    bool IsLocked() const { return m_locked != 0; }
    CPrimitiveObject& GetCaretShape() { return m_caretShape; }
    CImage& GetImage() { return m_image; }
    CSprite* GetCompositionSprite() const { return m_compSprite.get(); }
    CImage* GetCompositionImage() const { return m_compImage.get(); }
    CCaretBlinkTask* GetBlinkTask() const { return m_blink; }

private:
    int Create(CDrawList* list, int priority, CTimerManager* timers, CImeContext* ime, CGlyphFont* font, int lines,
               int width, char* buffer, int capacity, int x, int y, int margin, int lineSpacing, bool border,
               int group);
    int Length() const { return static_cast<int>(std::strlen(m_text.data())); }
    int FontHeight() const;
    // Signed bytes moved; back from p steps whole characters.
    int StepBack(int p) const;
    int StepForward(int p) const;
    void Scroll(int step);
    void LocateCaret();
    int LineLength(int line) const;
    void DeleteBefore();
    void DeleteAt();
    int InnerLength() const;
    // Width of the bytes [from, to); 0 when empty or reversed.
    int TextWidth(int from, int to) const;
    int MultiAlong(int line, int column) const;
    void CaretFromPoint(int x, int y);
    void AfterKey();
    void TakeFocus();
    bool OpensIme() const { return m_fullWidthOnly || m_openImeOnFocus; }

    // One step of the last layout (a character or a line break): its bytes, the layout state
    // before it (line, half-width units and pen along the line) and the ink its drawing left.
    struct DrawnCell {
        int32_t byte, bytes, line, count, along, pen;
        RECT ink;
    };
    // What the last layout depended on besides the text: a change means a whole redraw.
    struct LayoutKey {
        const CGlyphFont* font = nullptr;
        LOGFONTA logFont{};
        uint8_t antialias = 0, effectMode = 0, effectColor[3] = {}, gradient = 0;
        int32_t shadowX = 0, shadowY = 0, fontLineSpacing = 0;
        uint32_t background = 0, textColor = 0;
        int32_t column = 0;
        bool operator==(const LayoutKey& other) const;
    };
    LayoutKey CurrentKey() const;
    RECT TextArea() const;
    int LineTop(int line) const;
    void ChangedArea(int from, RECT* head, RECT* rest) const;
    int FirstChangedCell() const;
    // Lays out and draws the text from cell `from` on (-1: all of it).
    void Lay(int from);
    // Every change of the text's bytes from `byte` on is told here.
    void TextChanged(int byte)
    {
        m_dirtyFrom = std::min(m_dirtyFrom, byte);
        m_widthKnown = false;
    }

    CImeContext* m_ime = nullptr;
    int32_t m_lastA = -1, m_lastB = -1;
    std::string m_compString;
    int32_t m_compLength = 16;
    uint32_t m_compText = 0x0000FF, m_compBack = 0xFFFFFF;
    CImeIndicator* m_indicator = nullptr;
    CGlyphFont* m_font = nullptr;
    char* m_callerBuffer = nullptr;
    int32_t m_callerCapacity = 0;
    mutable std::vector<char> m_text;
    int32_t m_width = 0, m_height = 0, m_margin = 0, m_originX = 0, m_originY = 0, m_edge = 0;
    int32_t m_lineCount = 0, m_lineSpacing = 0, m_bytesPerLine = 0;
    std::vector<int32_t> m_lineStarts;
    int32_t m_linesInUse = 1, m_caretLine = 0, m_caret = 0, m_column = 0;
    uint32_t m_background = 0xC0C0DCC0u, m_textColor = 0;
    int32_t m_maxLength = 255;
    uint8_t m_border = 0, m_vertical = 0, m_fullWidthOnly = 0, m_focusOnPointer = 1, m_openImeOnFocus = 0;
    uint8_t m_locked = 0, m_focusByPointer = 0, m_cursorHidden = 0, m_openedIme = 0;
    CDrawList* m_list = nullptr;
    int32_t m_priority = 0;
    CImage m_image;
    CSprite m_sprite;
    CPrimitiveObject m_caretShape;
    CTimerManager* m_timers = nullptr;
    CCaretBlinkTask* m_blink = nullptr;
    std::unique_ptr<CImage> m_compImage;
    std::unique_ptr<CSprite> m_compSprite;
    // The last layout, kept so a keystroke redraws only what follows it (room made at creation).
    std::vector<DrawnCell> m_cells;
    int32_t m_cellCount = -1;
    DrawnCell m_endCell{};
    LayoutKey m_cellKey;
    int32_t m_dirtyFrom = INT32_MAX;
    // The last width measured.
    mutable bool m_widthKnown = false;
    mutable int32_t m_widthFrom = 0, m_widthTo = 0, m_widthValue = 0;
    mutable LayoutKey m_widthKey;
};
