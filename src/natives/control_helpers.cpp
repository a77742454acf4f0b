#include "natives/control_helpers.h"

#include "controls/button_control.h"
#include "controls/control.h"
#include "controls/scroll_control.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"

namespace {

bool IsOn(const CToggleButton& toggle)
{
    return toggle.GetState() >= 3 && toggle.GetState() != 6;
}

bool IsPanelType(int type)
{
    return type == kControlTextPanel || type == kControlTextObject;
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

int SetObjectValue(CControl* control, int32_t value, const char* text)
{
    if (control == nullptr)
        return -1;
    const int type = control->GetType();
    if (type == kControlToggle) {
        if (auto* toggle = dynamic_cast<CToggleButton*>(control)) {
            toggle->SetChecked(value != 0);
            return IsOn(*toggle) ? 1 : 0;
        }
    } else if (type == kControlScroll) {
        if (auto* bar = dynamic_cast<CScrollControl*>(control))
            return bar->SetValue(value);
    } else if (IsPanelType(type)) {
        auto* panel = dynamic_cast<CTextPanelBase*>(control);
        if (panel != nullptr && text != nullptr) {
            WriteIntoPanel(*panel, text);
            return 0;
        }
    }
    return -1;
}

int GetObjectValue(CControl* control)
{
    if (control == nullptr)
        return -1;
    if (control->GetType() == kControlToggle) {
        if (auto* toggle = dynamic_cast<CToggleButton*>(control))
            return IsOn(*toggle) ? 1 : 0;
    } else if (control->GetType() == kControlScroll) {
        if (auto* bar = dynamic_cast<CScrollControl*>(control))
            return bar->GetValue();
    }
    return -1;
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
