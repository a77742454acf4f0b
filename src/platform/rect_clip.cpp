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
    // Each edge is kept inside the surface and right/bottom never pass left/top: a rectangle wholly
    // outside, e.g. (30, 30, 50, 50) on 20 x 20, used to leave the inverted clip (30, 30, 20, 20).
    const LONG w = std::max<LONG>(width, 0);
    const LONG h = std::max<LONG>(height, 0);
    const LONG left = std::clamp<LONG>(wanted->left, 0, w);
    const LONG top = std::clamp<LONG>(wanted->top, 0, h);
    clip = RECT{left, top, std::clamp<LONG>(wanted->right, left, w), std::clamp<LONG>(wanted->bottom, top, h)};
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
