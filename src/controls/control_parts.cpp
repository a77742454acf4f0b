#include "controls/control_parts.h"

#include "controls/button_control.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"

namespace {

ControlPart Drawable(CDrawable* d)
{
    ControlPart p;
    p.drawable = d;
    return p;
}

ControlPart Image(CImage* i)
{
    ControlPart p;
    p.image = i;
    return p;
}

} // namespace

ControlPart GetObjectPart(CControl* control, int index)
{
    if (control == nullptr)
        return {};
    switch (control->GetType()) {
    case kControlButton:
        if (auto* c = dynamic_cast<CButtonControl*>(control))
            return Drawable(&c->GetSprite());
        break;
    case kControlToggle:
        if (auto* c = dynamic_cast<CToggleButton*>(control))
            return Drawable(&c->GetSprite());
        break;
    case kControlRect:
        if (auto* c = dynamic_cast<CControlType2*>(control))
            return Drawable(&c->GetShape());
        break;
    case kControlTextInput:
        if (auto* c = dynamic_cast<CTextInput*>(control))
            return Image(&c->GetImage());
        break;
    case kControlTextPanel:
    case kControlTextObject:
        if (auto* c = dynamic_cast<CTextPanel*>(control))
            return Drawable(&c->GetSprite());
        break;
    case kControlTextLayer:
        if (auto* c = dynamic_cast<CTextLayer*>(control))
            return Drawable(c->GetLineSprite(index));
        break;
    case kControlListBase:
    case kControlListLayer:
        if (auto* c = dynamic_cast<CListBase*>(control))
            return Drawable(&c->GetSprite());
        break;
    default:
        break;
    }
    return {};
}

ControlPart GetObjectPart2(CControl* control, int index)
{
    if (control == nullptr)
        return {};
    switch (control->GetType()) {
    case kControlButton:
        if (auto* c = dynamic_cast<CButtonControl*>(control))
            return Image(c->GetPicture());
        break;
    case kControlTextInput:
        if (auto* c = dynamic_cast<CTextInput*>(control))
            return Image(&c->GetImage());
        break;
    case kControlTextPanel:
    case kControlTextObject:
        if (auto* c = dynamic_cast<CTextPanel*>(control))
            return Image(&c->GetImage());
        break;
    case kControlTextLayer:
        if (auto* c = dynamic_cast<CTextLayer*>(control))
            return Image(c->GetLineImage(index));
        break;
    case kControlListBase:
    case kControlListLayer:
        if (auto* c = dynamic_cast<CListBase*>(control))
            return Image(&c->GetImage());
        break;
    default:
        break;
    }
    return {};
}
