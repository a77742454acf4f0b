#include "controls/frame_compose.h"

#include "raster/fill_ops.h"

#include <algorithm>
#include <initializer_list>

void ComposeFrameImage(const FrameSources& s, uint8_t maskChoice, uint32_t color, uint8_t alpha, bool maskChanged,
                       bool colorChanged, bool alphaChanged)
{
    CImage* frame = s.frame;
    if (!frame || !frame->GetBits())
        return;
    const BYTE r = static_cast<BYTE>(color >> 16), g = static_cast<BYTE>(color >> 8), b = static_cast<BYTE>(color);
    auto common = [frame](const CImage* a, const CImage* c) {
        RECT rc{0, 0, frame->GetWidth(), frame->GetHeight()};
        for (const CImage* img : {a, c})
            if (img) {
                rc.right = std::min<LONG>(rc.right, img->GetWidth());
                rc.bottom = std::min<LONG>(rc.bottom, img->GetHeight());
            }
        return rc;
    };
    const bool useDecoration = maskChoice == 1;
    CImage* mask = useDecoration ? s.maskA : s.maskB;
    if (mask) {
        const RECT rc = common(mask, useDecoration ? s.decoration : nullptr);
        if (colorChanged && !maskChanged && !alphaChanged) {
            frame->FillRgbKeepAlpha(r, g, b, &rc);
            return;
        }
        if ((useDecoration && s.decoration) || colorChanged || maskChanged)
            frame->FillRect32(0xFF000000u | (color & 0xFFFFFF), &rc);
        frame->CopyAlphaPlane(mask, 0, 0, &rc, false);
        if (alpha < 255)
            AdjustAlphaLevel(*frame, alpha, &rc);
        if (useDecoration && s.decoration)
            frame->BlendAlpha(s.decoration, 0, 0, &rc, false);
        return;
    }
    if (useDecoration && alphaChanged && s.decoration && s.composite) {
        const RECT rc = common(s.decoration, nullptr);
        frame->Copy(s.decoration, 0, 0, &rc, false);
        if (alpha < 255)
            AdjustAlphaLevel(*frame, alpha, &rc);
    }
}
