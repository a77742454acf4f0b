#include "drawing/text_image.h"

#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "raster/image.h"
#include "winapi/picture_limit.h"

namespace {

CFont* Choose(CFont* font)
{
    return font != nullptr ? font : g_pDefaultFont;
}

// Clips the drawn rectangle to the image and records it as changed.
int Finish(CImage* image, RECT drawn)
{
    const RECT bounds{0, 0, image->GetWidth(), image->GetHeight()};
    if (!IntersectClipRect(&drawn, &bounds))
        return 0;
    image->MarkChanged(drawn);
    return 0;
}

} // namespace

int DrawTextIntoImage(CImage* image, int32_t x, int32_t y, const char* text, CFont* font)
{
    if (image == nullptr || image->GetBits() == nullptr || text == nullptr || *text == '\0')
        return 1;
    font = Choose(font);
    if (font == nullptr)
        return 2;
    RECT drawn{};
    const int result = font->DrawText(image, x, y, text, &drawn, nullptr);
    if (result != 0)
        return result + 2;
    return Finish(image, drawn);
}

int DrawGlyphTextIntoImage(CImage* image, int32_t x, int32_t y, const char* text, CFont* font)
{
    if (image == nullptr || image->GetBits() == nullptr || text == nullptr || *text == '\0')
        return 1;
    font = Choose(font);
    if (font == nullptr || !font->IsGlyphFont())
        return 2;
    RECT drawn{};
    const int result = static_cast<CGlyphFont*>(font)->DrawString(image, x, y, text, &drawn, nullptr);
    if (result != 0)
        return result + 2;
    return Finish(image, drawn);
}

int DrawTextRotated(CImage* image, int32_t x, int32_t y, const char* text, CFont* font)
{
    if (image == nullptr || image->GetDc() == nullptr || text == nullptr || *text == '\0')
        return 1;
    font = Choose(font);
    if (font == nullptr || font->IsGlyphFont())
        return 2;
    auto* gdi = static_cast<CGdiFont*>(font);
    if (gdi->DrawToDib(image->GetDc(), x, y, text) != 0)
        return 3;
    GdiFlush();
    SIZE size{};
    int32_t ox = 0, oy = 0;
    if (gdi->MeasureString(text, &size, &ox, &oy, 1, nullptr) == 0)
        return 4;
    RECT drawn;
    RotateRectToQuad(font, &drawn, ox, oy, size.cx, size.cy);
    MoveRect(&drawn, x, y);
    return Finish(image, drawn);
}

int CreateTextImage(CImage* image, const char* text, CFont* font, uint32_t createFlags)
{
    if (text == nullptr || *text == '\0')
        return 1;
    font = Choose(font);
    if (font == nullptr)
        return 2;
    if (image == nullptr)
        return 3;
    SIZE size{};
    int32_t ox = 0, oy = 0;
    font->MeasureString(text, &size, &ox, &oy, 1, nullptr);
    const uint8_t* bg = font->m_bgColor;
    int result;
    if (font->IsGlyphFont()) {
        RECT box;
        RotateRectToQuad(font, &box, ox, oy, size.cx, size.cy);
        if (!PictureWithinLimit(box.right - box.left, box.bottom - box.top) ||
            image->Create(box.right - box.left, box.bottom - box.top, 32, createFlags) != 0)
            return 3;
        if (font->m_antialias == 0) {
            image->FillRect(bg[0], bg[1], bg[2], nullptr);
            result = DrawTextIntoImage(image, -box.left, -box.top, text, font);
            image->SetColorKeyRgb(bg[0], bg[1], bg[2]);
        } else {
            if (font->m_effectMode == 0)
                image->FillRect32(0, nullptr);
            result = font->DrawTextWithAlpha(image, -box.left, -box.top, text, nullptr, nullptr);
            image->SetAlphaFlag(true);
        }
    } else {
        auto* gdi = static_cast<CGdiFont*>(font);
        if (!PictureWithinLimit(size.cx, size.cy) || image->Create(size.cx, size.cy, 32, createFlags) != 0)
            return 3;
        if (font->m_antialias != 0) {
            image->SetAlphaFlag(true);
            result = font->DrawTextWithAlpha(image, -ox, -oy, text, nullptr, nullptr);
        } else {
            const uint8_t transparent = gdi->m_transparent;
            image->FillRect(bg[0], bg[1], bg[2], nullptr);
            gdi->m_transparent = 1;
            result = image->GetDc() != nullptr ? DrawTextRotated(image, -ox, -oy, text, font)
                                               : DrawTextIntoImage(image, -ox, -oy, text, font);
            gdi->m_transparent = transparent;
            if (transparent)
                image->SetColorKeyRgb(bg[0], bg[1], bg[2]);
        }
    }
    if (result != 0) {
        image->Destroy();
        return 4;
    }
    return 0;
}
