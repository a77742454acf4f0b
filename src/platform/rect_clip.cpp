#include "platform/rect_clip.h"

#include <algorithm>

bool ClipRectToSize(RECT& clip, LONG width, LONG height, const RECT* wanted)
{
    if (!wanted) {
        clip = RECT{0, 0, width, height};
        return true;
    }
    if (wanted->top >= wanted->bottom || wanted->left >= wanted->right)
        return false;
    clip = RECT{std::max<LONG>(wanted->left, 0), std::max<LONG>(wanted->top, 0),
                std::min(wanted->right, width), std::min(wanted->bottom, height)};
    return true;
}

bool ClipRectToBounds(const RECT& clip, RECT& rect)
{
    rect.left = std::max(rect.left, clip.left);
    rect.right = std::min(rect.right, clip.right);
    if (rect.left >= rect.right)
        return false;
    rect.top = std::max(rect.top, clip.top);
    rect.bottom = std::min(rect.bottom, clip.bottom);
    return rect.top < rect.bottom;
}
