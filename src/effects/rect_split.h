// The rectangle split of the blended picture changes (sp_cfade, sp_change): two overlapping
// screen rectangles, the old picture's and the new one's, become one work area (their union's
// bounding box), the parts of it to refresh and the old-only strips (the old rectangle less the
// new one) whose alpha fades out while the new picture fades in over the rest.
#pragma once

#include <algorithm>

#include "winapi/base.h"

struct RectSplit {
    RECT area{};        // both rectangles' bounding box, in screen coordinates
    RECT refresh[4]{};  // work-area coordinates: the old and the new picture's rectangles
    int refreshCount = 0;
    RECT oldOnly[4]{};  // work-area coordinates: strips left, right, above and below the new one
    int oldOnlyCount = 0;
};

inline bool IsEmptyRect(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

// r cut to clip; false (r empty) when nothing is left.
inline bool ClipRectTo(RECT& r, const RECT& clip)
{
    r = RECT{std::max(r.left, clip.left), std::max(r.top, clip.top), std::min(r.right, clip.right),
             std::min(r.bottom, clip.bottom)};
    if (!IsEmptyRect(r))
        return true;
    r = RECT{};
    return false;
}

// False when either rectangle is empty or they do not overlap (then out is left empty).
inline bool SplitChangeRects(const RECT& oldRect, const RECT& newRect, RectSplit* out)
{
    *out = RectSplit{};
    RECT overlap = oldRect;
    if (IsEmptyRect(oldRect) || IsEmptyRect(newRect) || !ClipRectTo(overlap, newRect))
        return false;
    const RECT area{std::min(oldRect.left, newRect.left), std::min(oldRect.top, newRect.top),
                    std::max(oldRect.right, newRect.right), std::max(oldRect.bottom, newRect.bottom)};
    out->area = area;
    const auto local = [&area](LONG l, LONG t, LONG r, LONG b) {
        return RECT{l - area.left, t - area.top, r - area.left, b - area.top};
    };
    out->refresh[out->refreshCount++] = local(oldRect.left, oldRect.top, oldRect.right, oldRect.bottom);
    out->refresh[out->refreshCount++] = local(newRect.left, newRect.top, newRect.right, newRect.bottom);
    // Left and right strips take the old rectangle's full height, above and below only the overlap's
    // width, so the strips never overlap each other.
    const RECT strips[4] = {
        {oldRect.left, oldRect.top, overlap.left, oldRect.bottom},
        {overlap.right, oldRect.top, oldRect.right, oldRect.bottom},
        {overlap.left, oldRect.top, overlap.right, overlap.top},
        {overlap.left, overlap.bottom, overlap.right, oldRect.bottom},
    };
    for (const RECT& s : strips)
        if (!IsEmptyRect(s))
            out->oldOnly[out->oldOnlyCount++] = local(s.left, s.top, s.right, s.bottom);
    return true;
}
