// The control set: owns the controls that scripts create on a form. Each Add constructs a control,
// applies the set's defaults, creates it in the scene's display list (or overlay) with the current
// id and keeps it; controls are deleted by identity, by id or all at once. The caller links the
// returned controls into its form.
#pragma once

#include <cstdint>
#include <list>

class CButton;
class CButtonControl;
class CControl;
class CControlType2;
class CDrawList;
class CFont;
class CGlyphFont;
class CImage;
class CImageMap;
class CImeContext;
class CImeIndicator;
class CListLayer;
class CScene;
class CScrollControl;
class CTextLayer;
class CTextInput;
class CTextPanel;
class CTimerManager;
class CToggleButton;

class CControlSet {
public:
    CControlSet() = default;
    CControlSet(const CControlSet&) = delete;
    CControlSet& operator=(const CControlSet&) = delete;
    virtual ~CControlSet();

    // Null clears the scene and both lists.
    void SetScene(CScene* scene);
    void DeleteAll();
    // Deletes every control whose id equals (or, inverted, differs from) id.
    void RemoveById(int id, bool invert);
    // 0; 1 null; 2 not in the set.
    int RemoveControl(CControl* control);
    uint32_t GetCount() const { return static_cast<uint32_t>(m_controls.size()); }
    const std::list<CControl*>& GetControls() const { return m_controls; }
    CScene* GetScene() const { return m_scene; }

    // Each Add: 0 and *out set; -2 no memory; else the control's own creation result (*out null).
    int AddButtonControl(CButtonControl** out, int x, int y, int width, int height, bool hasDisabledFrame,
                         const char* label, CGlyphFont* font, int priority);
    int AddButtonControlB(CButtonControl** out, int x, int y, const char* file, bool hasDisabledFrame,
                          bool hasPressedFrame, int blendMode, int alpha, int firstTransparency, int secondTransparency,
                          int priority);
    int AddButtonControlC(CButtonControl** out, int x, int y, CImage* image, bool hasDisabledFrame,
                          bool hasPressedFrame, int blendMode, int alpha, int priority);
    int AddControlType1(CToggleButton** out, int x, int y, const char* file, int kind, bool hasDisabledFrames,
                        CToggleButton* leader, int blendMode, int alpha, int firstTransparency, int secondTransparency,
                        int priority);
    int AddControlType1B(CToggleButton** out, int x, int y, CImage* image, int kind, bool hasDisabledFrames,
                         CToggleButton* leader, int blendMode, int alpha, int priority);
    int AddControlType2(CControlType2** out, int x, int y, int width, int height, uint32_t normal, uint32_t highlight,
                        uint32_t pressed, int priority);
    int AddScrollControl(CScrollControl** out, int x, int y, bool vertical, int thickness, uint32_t baseColor,
                         uint32_t trackColor, uint32_t highlightTint, uint32_t pressedTint, uint32_t arrowColor,
                         int priority);
    int AddScrollControlB(CScrollControl** out, int x, int y, int thumbX, int thumbY, const char* thumbFile,
                          int thumbCap1, int thumbCap2, const char* trackFile, int trackCap1, int trackCap2,
                          const char* arrow1File, const char* arrow2File, bool fourCells, bool vertical, int blendMode,
                          int alpha, int keyA, int keyB, int priority);
    // maskChoice, colour and alpha, when any is non-zero, set the panel's background first.
    int AddTextPanel(CTextPanel** out, int x, int y, int width, int height, CGlyphFont* font, CGlyphFont* ruby,
                     uint8_t maskChoice, uint32_t color, uint8_t alpha, int priority);
    int AddTextLayer(CTextLayer** out, int x, int y, int cellWidth, int cellHeight, int spacing, CGlyphFont* font,
                     int priority);
    int AddImageButton(CButton** out, int x, int y, int width, int height, int hotX, int hotY, bool pointerEnabled,
                       bool activatable);
    int AddListLayer(CListLayer** out, CFont* font, int height, int width, int x, int y, const char* thumbFile,
                     int thumbCap1, int thumbCap2, int barLength, int barX, int barY, int blendMode,
                     const char* iconFile, int lineGap, int priority);
    int AddControlType10(CImageMap** out, const char* mapFile, int regionCount, int x, int y, bool clickable);
    int AddTextInput(CTextInput** out, int x, int y, CGlyphFont* font, int width, int margin, bool border, int priority);
    int AddTextInputB(CTextInput** out, int x, int y, CGlyphFont* font, int lines, int width, int margin,
                      int lineSpacing, bool border, int priority);
    // The shared indicator, drawn with font. 0; 1 no display list; else the indicator's creation
    // result. The same font again only moves it.
    int CreateImeIndicator(CGlyphFont* font, int x, int y);
    void ReleaseImeIndicator();
    CImeIndicator* GetImeIndicator() const { return m_indicator; }

    // Defaults, changed by the natives between Add calls.
    int32_t currentId = 0;
    uint8_t useOverlay = 0;
    uint32_t buttonColor1 = 0xD4D0C8;
    uint32_t buttonColor2 = 0x400080FF;
    uint8_t pageBackAction = 0;
    uint8_t pageForwardAction = 0;
    uint8_t trackClickMode = 0;
    int32_t scrollStep = 0;
    uint32_t listColor1 = 0xC0C0DCC0u;
    uint32_t listColor2 = 0xFFFF9CBFu;
    uint32_t listColor3 = 0xC00B2BD7u;
    uint8_t listNewRowAttribute = 1;
    // What every text input is made with: the timer manager of its caret and the frame's IME context.
    CTimerManager* textInputTimers = nullptr;
    CImeContext* textInputIme = nullptr;
    int32_t textInputMaxLength = 0xFF;
    uint32_t textInputBackground = 0xC0C0DCC0u;
    uint32_t textInputColor = 0;
    // Sets the field's open-IME-on-focus byte.
    uint8_t textInputFlag = 0;
    int32_t compositionLength = 0;
    uint32_t compositionText = 0xFFFFFFFFu;
    uint32_t compositionBackground = 0xFFFFFFFFu;

protected:
    // Keeps a control made outside the set (a derived set's own kinds): deleted with the others.
    void Adopt(CControl* control) { m_controls.push_back(control); }
    // Where the next control is created: the scene's overlay or its list (null without a scene).
    CDrawList* Target() const { return useOverlay ? m_overlay : m_list; }

private:
    // Keeps a created control, or deletes it and answers the creation result.
    template <class T>
    int Finish(T* control, int result, T** out);
    void PrepareTextInput(CTextInput* input);
    void FinishTextInput(CTextInput* input);

    std::list<CControl*> m_controls;
    CScene* m_scene = nullptr;
    CDrawList* m_list = nullptr;
    CDrawList* m_overlay = nullptr;
    CImeIndicator* m_indicator = nullptr;
};
