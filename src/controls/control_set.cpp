#include "controls/control_set.h"

#include "controls/button_control.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/ime_indicator.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "drawing/scene.h"

#include <new>

CControlSet::~CControlSet()
{
    DeleteAll();
    ReleaseImeIndicator();
}

void CControlSet::SetScene(CScene* scene)
{
    m_scene = scene;
    m_list = scene ? &scene->GetList() : nullptr;
    m_overlay = scene ? scene->GetOverlay() : nullptr;
}

void CControlSet::DeleteAll()
{
    for (CControl* control : m_controls)
        delete control;
    m_controls.clear();
}

void CControlSet::RemoveById(int id, bool invert)
{
    for (auto it = m_controls.begin(); it != m_controls.end();) {
        if (((*it)->GetId() == id) != invert) {
            delete *it;
            it = m_controls.erase(it);
        } else {
            ++it;
        }
    }
}

int CControlSet::RemoveControl(CControl* control)
{
    if (!control)
        return 1;
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it)
        if (*it == control) {
            delete control;
            m_controls.erase(it);
            return 0;
        }
    return 2;
}

template <class T>
int CControlSet::Finish(T* control, int result, T** out)
{
    if (result != 0) {
        delete control;
        return result;
    }
    m_controls.push_back(control);
    *out = control;
    return 0;
}

int CControlSet::AddButtonControl(CButtonControl** out, int x, int y, int width, int height, bool hasDisabledFrame,
                                  const char* label, CGlyphFont* font, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CButtonControl;
    if (!c)
        return -2;
    c->SetFaceColor(buttonColor1);
    c->SetHighlightColor(buttonColor2);
    return Finish(c, c->CreateDrawn(Target(), priority, label, font, x, y, width, height, hasDisabledFrame, currentId),
                  out);
}

int CControlSet::AddButtonControlB(CButtonControl** out, int x, int y, const char* file, bool hasDisabledFrame,
                                   bool hasPressedFrame, int blendMode, int alpha, int firstTransparency,
                                   int secondTransparency, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CButtonControl;
    if (!c)
        return -2;
    return Finish(c,
                  c->CreateFromFile(Target(), priority, file, hasDisabledFrame, hasPressedFrame, x, y, blendMode, alpha,
                                    firstTransparency, secondTransparency, currentId),
                  out);
}

int CControlSet::AddButtonControlC(CButtonControl** out, int x, int y, CImage* image, bool hasDisabledFrame,
                                   bool hasPressedFrame, int blendMode, int alpha, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CButtonControl;
    if (!c)
        return -2;
    return Finish(c,
                  c->CreateFromImage(Target(), priority, image, hasDisabledFrame, hasPressedFrame, x, y, blendMode,
                                     alpha, currentId),
                  out);
}

int CControlSet::AddControlType1(CToggleButton** out, int x, int y, const char* file, int kind, bool hasDisabledFrames,
                                 CToggleButton* leader, int blendMode, int alpha, int firstTransparency,
                                 int secondTransparency, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CToggleButton;
    if (!c)
        return -2;
    return Finish(c,
                  c->CreateFromFile(Target(), priority, nullptr, file, kind, hasDisabledFrames, leader, x, y, blendMode,
                                    alpha, firstTransparency, secondTransparency, currentId),
                  out);
}

int CControlSet::AddControlType1B(CToggleButton** out, int x, int y, CImage* image, int kind, bool hasDisabledFrames,
                                  CToggleButton* leader, int blendMode, int alpha, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CToggleButton;
    if (!c)
        return -2;
    return Finish(c,
                  c->CreateFromImage(Target(), priority, nullptr, image, kind, hasDisabledFrames, leader, x, y,
                                     blendMode, alpha, currentId),
                  out);
}

int CControlSet::AddControlType2(CControlType2** out, int x, int y, int width, int height, uint32_t normal,
                                 uint32_t highlight, uint32_t pressed, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CControlType2;
    if (!c)
        return -2;
    return Finish(c, c->Create(Target(), priority, x, y, width, height, normal, highlight, pressed, currentId), out);
}

int CControlSet::AddScrollControl(CScrollControl** out, int x, int y, bool vertical, int thickness,
                                  uint32_t baseColor, uint32_t trackColor, uint32_t highlightTint,
                                  uint32_t pressedTint, uint32_t arrowColor, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CScrollControl;
    if (!c)
        return -2;
    const int result = Finish(c,
                              c->Create(Target(), priority, x, y, vertical, thickness, baseColor, trackColor,
                                        highlightTint, pressedTint, arrowColor, currentId),
                              out);
    if (result == 0) {
        c->SetPageActions(pageBackAction, pageForwardAction);
        c->SetClickMode(trackClickMode);
        c->SetStep(scrollStep);
    }
    return result;
}

int CControlSet::AddScrollControlB(CScrollControl** out, int x, int y, int thumbX, int thumbY, const char* thumbFile,
                                   int thumbCap1, int thumbCap2, const char* trackFile, int trackCap1, int trackCap2,
                                   const char* arrow1File, const char* arrow2File, bool fourCells, bool vertical,
                                   int blendMode, int alpha, int keyA, int keyB, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CScrollControl;
    if (!c)
        return -2;
    const int result = Finish(c,
                              c->CreateFromFile(Target(), priority, x, y, thumbX, thumbY, thumbFile, thumbCap1,
                                                thumbCap2, trackFile, trackCap1, trackCap2, arrow1File, arrow2File,
                                                fourCells, vertical, blendMode, alpha, keyA, keyB, currentId),
                              out);
    if (result == 0) {
        c->SetPageActions(pageBackAction, pageForwardAction);
        c->SetClickMode(trackClickMode);
        c->SetStep(scrollStep);
    }
    return result;
}

int CControlSet::AddTextPanel(CTextPanel** out, int x, int y, int width, int height, CGlyphFont* font,
                              CGlyphFont* ruby, uint8_t maskChoice, uint32_t color, uint8_t alpha, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CTextPanel;
    if (!c)
        return -2;
    if (maskChoice || color || alpha)
        c->SetBackgroundColor(maskChoice, color, alpha, true);
    return Finish(c, c->Create(Target(), priority, width, height, x, y, font, ruby, currentId), out);
}

int CControlSet::AddTextLayer(CTextLayer** out, int x, int y, int cellWidth, int cellHeight, int spacing,
                              CGlyphFont* font, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CTextLayer;
    if (!c)
        return -2;
    return Finish(c, c->Create(Target(), priority, x, y, cellWidth, cellHeight, spacing, font, currentId), out);
}

int CControlSet::AddImageButton(CButton** out, int x, int y, int width, int height, int hotX, int hotY,
                                bool pointerEnabled, bool activatable)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CButton;
    if (!c)
        return -2;
    return Finish(c, c->Create(x, y, width, height, hotX, hotY, pointerEnabled, activatable, currentId), out);
}

int CControlSet::AddListLayer(CListLayer** out, CFont* font, int height, int width, int x, int y,
                              const char* thumbFile, int thumbCap1, int thumbCap2, int barLength, int barX, int barY,
                              int blendMode, const char* iconFile, int lineGap, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CListLayer;
    if (!c)
        return -2;
    c->SetColors(listColor1, listColor2, listColor3);
    c->SetNewRowAttribute(listNewRowAttribute);
    const int result = Finish(c,
                              c->Create(Target(), priority, font, height, width, x, y, thumbFile, thumbCap1, thumbCap2,
                                        barLength, barX, barY, blendMode, iconFile, lineGap, currentId),
                              out);
    if (result == 0) {
        c->SetPageActions(pageBackAction, pageForwardAction);
        c->GetScrollBar().SetPageActions(pageBackAction, pageForwardAction);
        c->GetScrollBar().SetClickMode(trackClickMode);
    }
    return result;
}

int CControlSet::AddControlType10(CImageMap** out, const char* mapFile, int regionCount, int x, int y, bool clickable)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CImageMap;
    if (!c)
        return -2;
    return Finish(c, c->Create(mapFile, regionCount, x, y, clickable, currentId), out);
}

void CControlSet::PrepareTextInput(CTextInput* input)
{
    input->SetMaxLength(textInputMaxLength);
    input->SetColors(textInputBackground, textInputColor);
    input->SetCompositionStyle(compositionLength, compositionText, compositionBackground);
}

void CControlSet::FinishTextInput(CTextInput* input)
{
    if (m_indicator)
        input->SetImeIndicator(m_indicator);
    input->SetOpenImeOnFocus(textInputFlag != 0);
}

int CControlSet::AddTextInput(CTextInput** out, int x, int y, CGlyphFont* font, int width, int margin, bool border,
                              int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CTextInput;
    if (!c)
        return -2;
    PrepareTextInput(c);
    const int result = Finish(c,
                              c->CreateSingleLine(Target(), priority, textInputTimers, textInputIme, font, width,
                                                  nullptr, 0, x, y, margin, border, currentId),
                              out);
    if (result == 0)
        FinishTextInput(c);
    return result;
}

int CControlSet::AddTextInputB(CTextInput** out, int x, int y, CGlyphFont* font, int lines, int width, int margin,
                               int lineSpacing, bool border, int priority)
{
    *out = nullptr;
    auto* c = new (std::nothrow) CTextInput;
    if (!c)
        return -2;
    PrepareTextInput(c);
    const int result = Finish(c,
                              c->CreateMultiLine(Target(), priority, textInputTimers, textInputIme, font, lines, width,
                                                 nullptr, 0, x, y, margin, lineSpacing, border, currentId),
                              out);
    if (result == 0)
        FinishTextInput(c);
    return result;
}

int CControlSet::CreateImeIndicator(CGlyphFont* font, int x, int y)
{
    if (!m_list)
        return 1;
    if (m_indicator && m_indicator->GetFont() == font) {
        m_indicator->SetPosition(x, y);
        return 0;
    }
    ReleaseImeIndicator();
    m_indicator = new (std::nothrow) CImeIndicator;
    if (!m_indicator)
        return -2;
    const int result = m_indicator->Create(Target(), textInputIme, font, x, y, true, currentId);
    if (result != 0) {
        ReleaseImeIndicator();
        return result;
    }
    for (CControl* control : m_controls)
        if (control->GetType() == kControlTextInput)
            static_cast<CTextInput*>(control)->SetImeIndicator(m_indicator);
    return 0;
}

void CControlSet::ReleaseImeIndicator()
{
    if (!m_indicator)
        return;
    for (CControl* control : m_controls)
        if (control->GetType() == kControlTextInput)
            static_cast<CTextInput*>(control)->SetImeIndicator(nullptr);
    delete m_indicator;
    m_indicator = nullptr;
}
