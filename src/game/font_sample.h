// The font sample of the settings sheet's テキスト２ page: the chosen face's own name drawn at (2, 2)
// by a glyph font with the chosen effects, over the text frame's colour at the chosen opacity on
// an 8 × 8 checkerboard of 0xCCCCCC and 0xFFFFFF, shown as a scene of its own on a static.
#pragma once

#include <cstdint>
#include <string>

#include "display/window_surface.h"
#include "drawing/glyph_font.h"
#include "raster/image.h"

struct FontSampleLook {
    std::string faceSjis;        // the face, which is also the text shown
    bool bold = false;
    bool antiAlias = true;
    bool gradient = false;       // 0xFFEB00 at the top to 0xFF4646 at the bottom
    uint8_t decoration = 2;      // 0 none, 1 shadow, 2 outline
    uint32_t frameColour = 0;    // 0xRRGGBB
    uint8_t frameOpacity = 255;  // the frame colour's alpha over the checkerboard

    bool SameFace(const FontSampleLook& o) const { return faceSjis == o.faceSjis && bold == o.bold; }
    bool SameEffects(const FontSampleLook& o) const
    {
        return antiAlias == o.antiAlias && gradient == o.gradient && decoration == o.decoration;
    }
};

class CFontSample {
public:
    static constexpr int kTextHeight = 24;
    static constexpr int kTextX = 2, kTextY = 2;
    static constexpr int kShadowOffset = 2;
    static constexpr int kOutlineWidth = 2;
    static constexpr uint32_t kGradientTop = 0xFFEB00, kGradientBottom = 0xFF4646;

    // Draws on the static from now on → 0, or the window surface's code (the sample is left out).
    int Attach(HWND staticControl);
    // Shows `look`: only what differs from the last one is made again (the face and weight
    // rebuild the font, the effects are set again, the colours only recompose).
    void Show(const FontSampleLook& look);
    // The sample as last composed into the static (empty without a static).
    CImage& Image() { return m_surface.GetImage(); }
    CGlyphFont& Font() { return m_font; }

private:
    void Compose();

    CWindowSurface m_surface;
    CImage m_picture;  // the scene's background: checkerboard, frame colour and text
    CGlyphFont m_font;
    FontSampleLook m_look;
    bool m_shown = false;
};
