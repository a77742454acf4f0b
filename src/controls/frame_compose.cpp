#include "controls/frame_compose.h"

#include "raster/fill_ops.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

// The decoration blended over the masked frame. The blend itself leaves the frame's alpha at 0,
// which made the whole window invisible: the frame keeps what the mask and the decoration cover
// together (the decoration over the mask).
void BlendDecoration(CImage& frame, const CImage& decoration, const RECT& rc)
{
    const LONG w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0 || frame.GetBitsPerPixel() != 32)
        return;
    std::vector<uint8_t> kept(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (LONG y = 0; y < h; ++y) {
        const BYTE* row = frame.GetRowPointer(rc.top + y);
        for (LONG x = 0; x < w; ++x)
            kept[static_cast<size_t>(y * w + x)] = row[(rc.left + x) * 4 + 3];
    }
    frame.BlendAlpha(&decoration, rc.left, rc.top, &rc, false);
    const bool decorationAlpha = decoration.GetBitsPerPixel() == 32;
    for (LONG y = 0; y < h; ++y) {
        BYTE* row = frame.GetRowPointer(rc.top + y);
        const BYTE* top = decorationAlpha ? decoration.GetRowPointer(rc.top + y) : nullptr;
        for (LONG x = 0; x < w; ++x) {
            const uint32_t a = kept[static_cast<size_t>(y * w + x)];
            const uint32_t d = top != nullptr ? top[(rc.left + x) * 4 + 3] : 255;
            row[(rc.left + x) * 4 + 3] = static_cast<BYTE>(a + (d * (255 - a) + 127) / 255);
        }
    }
}

} // namespace

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
            BlendDecoration(*frame, *s.decoration, rc);
        return;
    }
    if (useDecoration && alphaChanged && s.decoration && s.composite) {
        const RECT rc = common(s.decoration, nullptr);
        frame->Copy(s.decoration, 0, 0, &rc, false);
        if (alpha < 255)
            AdjustAlphaLevel(*frame, alpha, &rc);
    }
}
