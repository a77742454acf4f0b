#include "controls/control_parts.h"

#include "controls/button_control.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "drawing/sprite.h"

#include <climits>

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
        // The layer's own sprite lookup sends every negative index to the header and every
        // index past the lines to the footer; scripts name those two by -1 and -2 only.
        if (auto* c = dynamic_cast<CTextLayer*>(control)) {
            CSprite* footer = c->GetLineSprite(INT_MAX);
            if (index == -1 || index == -2)
                return Drawable(index == -1 ? c->GetLineSprite(-1) : footer);
            if (index >= 0 && index < c->GetLineCount() && c->GetLineSprite(index) != footer)
                return Drawable(c->GetLineSprite(index));
        }
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
    case kControlToggle:
        if (auto* c = dynamic_cast<CToggleButton*>(control))
            return Image(c->GetPicture());
        break;
    case kControlImageMap:
        if (auto* c = dynamic_cast<CImageMap*>(control))
            return Image(&c->GetMap());
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
        if (auto* c = dynamic_cast<CTextLayer*>(control); c != nullptr && index >= 0 && index < c->GetLineCount())
            if (c->GetLineImage(index) != c->GetLineImage(INT_MAX))
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
