// The drawing parts of script-made controls, by control type: what a script asks for to place
// effects on a control, and what the caption glides the pointer to.
#pragma once

class CControl;
class CDrawable;
class CImage;

// One of the two set, or neither (no part).
struct ControlPart {
    CImage* image = nullptr;
    CDrawable* drawable = nullptr;
    explicit operator bool() const { return image != nullptr || drawable != nullptr; }
};

// The first part: the sprite (or shape) of buttons, toggles, rectangles, text panels, text
// objects and lists; the text input's image. A text layer: index -1 its header sprite, -2 its
// footer sprite, 0 to count - 1 that line's sprite, any other index none.
ControlPart GetObjectPart(CControl* control, int index);
// The second part: the picture or image behind the first (buttons, toggles, text inputs, panels,
// lists), an image map's region map; a text layer's line image of an index 0 to count - 1.
ControlPart GetObjectPart2(CControl* control, int index);
