// Fuzzes text drawing. Input: 16 leading bytes choose the font (kind, height, angle, bold,
// italic, antialias, effect, outline radius and strength, shadow, spacing, gradient, cache
// limit), the rest is the text (seeds: Japanese lines with LF, "@" escapes, lone lead bytes). The
// text is measured and drawn into 8- and 32-bit images and made into a text image.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/text_image.h"
#include "platform/cos_table.h"
#include "platform/font_settings.h"
#include "raster/image.h"
#include "winapi/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 16)
        return 0;
    static CCosTable cosines;
    static const int32_t kAngles[8] = {0, 0, 900, 2700, -900, 450, 3599, 123456};
    const bool glyph = data[0] & 1;
    g_pCosTable = (data[0] & 2) ? &cosines : nullptr;
    g_GlyphCacheLimit = data[15] % 4; // tiny caches evict all the time
    const int32_t height = static_cast<int8_t>(data[1]) % 48;
    std::string text(reinterpret_cast<const char*>(data + 16), size - 16);
    text = text.substr(0, std::min<size_t>(text.find('\0'), 160));

    CGlyphFont glyphFont;
    CGdiFont gdiFont;
    CFont& font = glyph ? static_cast<CFont&>(glyphFont) : gdiFont;
    font.SetFont(height, data[2] & 1, data[2] & 2,
                 winapi::Sjis((data[2] & 4) ? "ＭＳ 明朝" : "@ＭＳ ゴシック"));
    font.SetAngle(kAngles[data[3] % 8]);
    font.SetAntialias(data[4] % 4);
    font.SetEffect(data[5] % 3, data[6], data[7], data[8]);
    font.SetShadowOffset(static_cast<int8_t>(data[9]) % 9, static_cast<int8_t>(data[10]) % 9);
    font.SetLineSpacing(static_cast<int8_t>(data[11]) % 17);
    if (glyph) {
        // Radii past 64 (clamped) only now and then: they are slow to draw.
        const int radiusRange = (data[13] & 0x40) ? 71 : 6;
        glyphFont.SetOutline(static_cast<int8_t>(data[12]) * 97, static_cast<int8_t>(data[13]) % radiusRange);
        glyphFont.SetGradient(data[14] & 1, 0xFF8000, 0x0080FF, 1);
    }
    SIZE measured{};
    int32_t ox = 0, oy = 0, count = 0;
    font.MeasureString(text.c_str(), &measured, &ox, &oy, data[14] & 2, &count);
    for (int depth : {8, 32}) {
        CImage image;
        if (image.Create(48, 40, depth, 0) != 0)
            continue;
        RECT drawn{};
        POINT end{};
        font.DrawText(&image, static_cast<int8_t>(data[12]) % 30, static_cast<int8_t>(data[13]) % 30,
                      text.c_str(), &drawn, &end);
        font.DrawTextWithAlpha(&image, 3, 3, text.c_str(), &drawn, &end);
        if (glyph)
            glyphFont.DrawString(&image, -5, 7, text.c_str(), &drawn, &end);
    }
    if (measured.cx < 2000 && measured.cy < 2000) {
        CImage made;
        CreateTextImage(&made, text.c_str(), &font, data[15] & 1);
    }
    g_pCosTable = nullptr;
    return 0;
}
