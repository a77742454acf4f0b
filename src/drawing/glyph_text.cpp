// The glyph font's pen loop: DrawString, DrawText and DrawTextWithAlpha differ only in the
// blitters and in what they write into the alpha channel.
#include "drawing/glyph_blit.h"
#include "drawing/glyph_font.h"
#include "drawing/glyph_kernels.h"

#include <algorithm>
#include <cstdlib>

namespace {

enum PenMode { kPenString, kPenText, kPenAlpha };

uint32_t Pack(const uint8_t rgb[3])
{
    return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
}

// Sets the colour bytes of the glyph's box (per row or column from a gradient), alpha kept.
void FillGlyphBox(CSurface* target, const CGlyphBitmap& glyph, int32_t x, int32_t y, const GlyphInk& ink,
                  RECT* out)
{
    RECT r;
    if (!ClipGlyphRect(target, x, y, glyph.width, glyph.height, &r))
        return;
    const LONG pitch = target->GetPitch();
    for (LONG py = r.top; py < r.bottom; ++py) {
        auto* row = reinterpret_cast<uint32_t*>(target->GetBits() + static_cast<ptrdiff_t>(py) * pitch);
        if (ink.ramp == nullptr || !ink.columns) { // one colour along the row
            const int i = ink.rampStart + (py - y);
            const uint32_t colour = ink.ramp == nullptr ? ink.rgb
                                    : i < ink.rampCount ? ink.ramp[i]
                                                        : ink.ramp[ink.rampCount - 1];
            FillColourKeepAlphaRow32Best(row + r.left, r.right - r.left, colour);
            continue;
        }
        for (LONG px = r.left; px < r.right; ++px) {
            uint32_t colour = ink.rgb;
            if (ink.ramp != nullptr) {
                const int i = ink.rampStart + (ink.columns ? px - x : py - y);
                colour = i < ink.rampCount ? ink.ramp[i] & 0xFFFFFF : ink.ramp[ink.rampCount - 1] & 0xFFFFFF;
            }
            row[px] = (row[px] & 0xFF000000u) | colour;
        }
    }
    UniteRect(out, r);
}

} // namespace

int CGlyphFont::DrawString(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end)
{
    return PenLoop(target, x, y, text, drawn, end, kPenString);
}

int CGlyphFont::DrawText(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end)
{
    return PenLoop(target, x, y, text, drawn, end, kPenText);
}

int CGlyphFont::DrawTextWithAlpha(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn,
                                  POINT* end)
{
    if (target == nullptr || target->GetBitsPerPixel() != 32)
        return 1;
    return PenLoop(target, x, y, text, drawn, end, kPenAlpha);
}

int CGlyphFont::PenLoop(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end,
                        int mode)
{
    if (m_hFont == nullptr || target == nullptr || target->GetBits() == nullptr || text == nullptr)
        return 1;
    if (mode == kPenString && target->GetBitsPerPixel() != 32)
        return 1;
    const int32_t size = static_cast<int32_t>(std::min<int64_t>(std::llabs(m_logFont.lfHeight), INT32_MAX));
    const uint8_t bold = m_logFont.lfWeight == FW_BOLD;
    const uint8_t italic = m_logFont.lfItalic;
    RECT box{x, y, x, y};
    const GlyphBlit blit = mode == kPenString ? GlyphBlit::Coverage32
                           : m_antialias == 0 ? GlyphBlit::SolidMask
                                              : GlyphBlit::Coverage;

    POINT step, shadow;
    TurnLineStep(*this, int64_t{size} + m_lineSpacing, &step, &shadow);
    const int32_t shadowX = shadow.x, shadowY = shadow.y;

    // With an effect the alpha box is filled first in the colour that lies under the glyphs.
    const uint32_t textRgb = Pack(m_textColor), effectRgb = Pack(m_effectColor);
    if (mode == kPenAlpha && m_effectMode != 0) {
        SIZE measured{};
        int32_t ox = 0, oy = 0;
        MeasureString(text, &measured, &ox, &oy, 1, nullptr);
        RECT quad;
        RotateRectToQuad(this, &quad, ox, oy, measured.cx, measured.cy);
        MoveRect(&quad, x, y);
        FillColourKeepAlpha(target, quad, m_effectMode == 1 ? textRgb : effectRgb);
    }

    // The pen runs in 64 bits: long texts with large line spacings overflowed 32.
    int64_t lineX = x, lineY = y, penX = x, penY = y;
    const auto at = AddClamped;
    GlyphInk effectInk;
    effectInk.rgb = effectRgb;
    TextChar ch;
    for (const char* p = text; *p != '\0';) {
        p += NextTextChar(p, &ch);
        if (ch.kind == TextChar::LineFeed) {
            lineX += step.x;
            lineY += step.y;
            penX = lineX;
            penY = lineY;
            continue;
        }
        const uint8_t picture = ch.kind == TextChar::Picture;
        if (m_effectMode == 2) {
            CGlyphBitmap* outline = GetGlyph(ch.code, size, 1, bold, italic, picture);
            if (outline == nullptr)
                continue;
            RECT r;
            const int32_t gx = at(penX, outline->left), gy = at(penY, outline->top);
            if (BlitGlyph(target, *outline, gx, gy, blit, effectInk, &r))
                UniteRect(&box, r);
            if (mode == kPenAlpha)
                WriteCoverageAlpha(target, *outline, gx, gy, true);
            DoneWithGlyph(outline, picture);
        }
        CGlyphBitmap* glyph = GetGlyph(ch.code, size, 0, bold, italic, picture);
        if (glyph == nullptr)
            continue;
        if (glyph->pixels != nullptr) {
            const int32_t gx = at(penX, glyph->left), gy = at(penY, glyph->top);
            RECT r;
            if (m_effectMode == 1) {
                if (mode == kPenAlpha)
                    WriteCoverageAlpha(target, *glyph, at(gx, shadowX), at(gy, shadowY), true);
                if (BlitGlyph(target, *glyph, at(gx, shadowX), at(gy, shadowY), blit, effectInk, &r))
                    UniteRect(&box, r);
            }
            GlyphInk ink;
            ink.rgb = textRgb;
            if (m_gradientOn && m_gradient.Colors() != nullptr && m_gradient.Count() > 0 &&
                (m_logFont.lfEscapement == 0 || m_logFont.lfEscapement == 2700)) {
                ink.ramp = m_gradient.Colors();
                ink.rampCount = m_gradient.Count();
                ink.columns = m_logFont.lfEscapement == 2700;
                const int64_t along =
                    ink.columns ? static_cast<int64_t>(glyph->width) : static_cast<int64_t>(glyph->height);
                int64_t start = ink.columns ? std::llabs(int64_t{m_logFont.lfHeight} - glyph->left)
                                            : std::llabs(glyph->top);
                start = std::max<int64_t>(0, std::min<int64_t>(start, ink.rampCount - along));
                ink.rampStart = static_cast<int>(start);
            }
            bool placed;
            if (mode == kPenAlpha && m_effectMode == 0) {
                // Coverage is united rather than copied so that overlapping glyph boxes keep each
                // other's alpha.
                RECT filled{0, 0, 0, 0};
                FillGlyphBox(target, *glyph, gx, gy, ink, &filled);
                WriteCoverageAlpha(target, *glyph, gx, gy, true);
                placed = filled.right > filled.left;
                r = filled;
            } else {
                placed = BlitGlyph(target, *glyph, gx, gy, blit, ink, &r);
                if (mode == kPenAlpha && m_effectMode == 1)
                    WriteCoverageAlpha(target, *glyph, gx, gy, true);
            }
            if (placed && m_effectMode != 2)
                UniteRect(&box, r);
        }
        penX += glyph->advanceX;
        penY += glyph->advanceY;
        DoneWithGlyph(glyph, picture);
    }
    if (drawn != nullptr)
        *drawn = box;
    if (end != nullptr)
        *end = POINT{at(penX, 0), at(penY, 0)};
    return 0;
}
