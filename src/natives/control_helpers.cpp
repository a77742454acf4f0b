#include "natives/control_helpers.h"

#include <cstring>

#include "controls/button_control.h"
#include "controls/control.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"

namespace {

bool IsOn(const CToggleButton& toggle)
{
    return toggle.GetState() >= 3 && toggle.GetState() != 6;
}

// Line breaks (CR, LF, CR LF) become one NewLine each; every other character is drawn. Stops at
// the first step that reports a full panel.
void WriteIntoPanel(CTextPanelBase& panel, const char* text)
{
    while (*text != '\0') {
        if (*text == '\r' || *text == '\n') {
            text += (text[0] == '\r' && text[1] == '\n') ? 2 : 1;
            if (panel.NewLine())
                return;
            continue;
        }
        const char* before = text;
        if (panel.DrawNextChar(&text) > 0 || text == before)
            return;
    }
}

}  // namespace

namespace {

// The value field of each control type: how it is set (value word, or the value as text) and read.
// A null operation keeps -1: buttons, rectangles, image buttons and list bases keep no value, and a
// text layer's chosen line is the player's to set, not the script's.
struct ValueRow {
    int type;
    int (*set)(CControl& control, int32_t value, const char* text);
    int (*get)(CControl& control);
};

template <class T>
T* As(CControl& control)
{
    return dynamic_cast<T*>(&control);
}

int SetToggle(CControl& c, int32_t value, const char*)
{
    CToggleButton* toggle = As<CToggleButton>(c);
    if (toggle == nullptr)
        return -1;
    toggle->SetChecked(value != 0);
    return IsOn(*toggle) ? 1 : 0;
}

int GetToggle(CControl& c)
{
    CToggleButton* toggle = As<CToggleButton>(c);
    return toggle != nullptr ? (IsOn(*toggle) ? 1 : 0) : -1;
}

// A text input's value is its text: set from the value as text (SetText's code), read as its
// length in bytes.
int SetTextInput(CControl& c, int32_t, const char* text)
{
    CTextInput* input = As<CTextInput>(c);
    return input != nullptr && text != nullptr ? input->SetText(text) : -1;
}

int GetTextInput(CControl& c)
{
    CTextInput* input = As<CTextInput>(c);
    if (input == nullptr)
        return -1;
    const char* text = input->GetText();
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

int SetScroll(CControl& c, int32_t value, const char*)
{
    CScrollControl* bar = As<CScrollControl>(c);
    return bar != nullptr ? bar->SetValue(value) : -1;
}

int GetScroll(CControl& c)
{
    CScrollControl* bar = As<CScrollControl>(c);
    return bar != nullptr ? bar->GetValue() : -1;
}

int SetPanel(CControl& c, int32_t, const char* text)
{
    CTextPanelBase* panel = As<CTextPanelBase>(c);
    if (panel == nullptr || text == nullptr)
        return -1;
    WriteIntoPanel(*panel, text);
    return 0;
}

// The text layer's line under the pointer or keys (-1 none).
int GetTextLayer(CControl& c)
{
    CTextLayerBase* layer = As<CTextLayerBase>(c);
    return layer != nullptr ? layer->GetHoveredLine() : -1;
}

// The list layer's selected row (-1 none); SelectItem's code (1 not set up).
int SetListLayer(CControl& c, int32_t value, const char*)
{
    CListLayer* list = As<CListLayer>(c);
    return list != nullptr ? list->SelectItem(value) : -1;
}

int GetListLayer(CControl& c)
{
    CListLayer* list = As<CListLayer>(c);
    return list != nullptr ? list->GetSelected() : -1;
}

// The image map's current region (-1 none): 0 once it is the region, 1 out of range or the map in
// no container.
int SetImageMap(CControl& c, int32_t value, const char*)
{
    CImageMap* map = As<CImageMap>(c);
    if (map == nullptr)
        return -1;
    map->SelectRegion(value);
    return map->GetCurrentRegion() == value ? 0 : 1;
}

int GetImageMap(CControl& c)
{
    CImageMap* map = As<CImageMap>(c);
    return map != nullptr ? map->GetCurrentRegion() : -1;
}

constexpr ValueRow kValueRows[] = {
    {kControlButton, nullptr, nullptr},
    {kControlToggle, SetToggle, GetToggle},
    {kControlRect, nullptr, nullptr},
    {kControlTextInput, SetTextInput, GetTextInput},
    {kControlScroll, SetScroll, GetScroll},
    {kControlTextPanel, SetPanel, nullptr},
    {kControlTextLayer, nullptr, GetTextLayer},
    {kControlImageButton, nullptr, nullptr},
    {kControlListBase, nullptr, nullptr},
    {kControlListLayer, SetListLayer, GetListLayer},
    {kControlImageMap, SetImageMap, GetImageMap},
    {kControlTextObject, SetPanel, nullptr},
};

const ValueRow* ValueRowOf(const CControl* control)
{
    if (control == nullptr)
        return nullptr;
    for (const ValueRow& row : kValueRows)
        if (row.type == control->GetType())
            return &row;
    return nullptr;
}

}  // namespace

int SetObjectValue(CControl* control, int32_t value, const char* text)
{
    const ValueRow* row = ValueRowOf(control);
    return row != nullptr && row->set != nullptr ? row->set(*control, value, text) : -1;
}

int GetObjectValue(CControl* control)
{
    const ValueRow* row = ValueRowOf(control);
    return row != nullptr && row->get != nullptr ? row->get(*control) : -1;
}

int SetObjectFlagByType(CControl* control, int32_t flag)
{
    if (control == nullptr)
        return -1;
    const int type = control->GetType();
    if (type == kControlButton) {
        if (auto* button = dynamic_cast<CButtonControlBase*>(control)) {
            button->SetRectangularHit(flag != 0 ? 1 : 0);
            return 0;
        }
    } else if (type == kControlToggle) {
        if (auto* toggle = dynamic_cast<CToggleButton*>(control)) {
            toggle->SetRectangularHit(flag != 0 ? 1 : 0);
            return 0;
        }
    } else if (type == kControlScroll) {
        if (auto* bar = dynamic_cast<CScrollControl*>(control)) {
            bar->SetRectangleHitTest(flag != 0);
            return 0;
        }
    }
    return -1;
}

int SetObjectEnabledByType(CControl* control, int32_t flag)
{
    if (control == nullptr)
        return -1;
    switch (control->GetType()) {
    case kControlToggle:
    case kControlTextInput:
    case kControlTextPanel:
    case kControlTextObject:
    case kControlTextLayer:
    case kControlImageMap:
        control->SetEnabled(flag != 0);
        return 0;
    default:
        return -1;
    }
}
