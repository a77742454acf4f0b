// The window frame shared by the text panel and the text layer: a 32-bit picture composed from a
// decoration image (with alpha) and two 8-bit alpha masks, recoloured and faded by the
// background colour and alpha.
#pragma once

#include "raster/image.h"

#include <cstdint>

struct FrameSources {
    CImage* frame = nullptr;
    CImage* decoration = nullptr;
    CImage* maskA = nullptr;
    CImage* maskB = nullptr;
    bool composite = false;
};

// Mask choice 1 composes mask A with the decoration over it, 0 mask B alone; only a changed colour
// recolours keeping the alpha. Sources of different sizes compose over their common rectangle.
void ComposeFrameImage(const FrameSources& s, uint8_t maskChoice, uint32_t color, uint8_t alpha, bool maskChanged,
                       bool colorChanged, bool alphaChanged);
