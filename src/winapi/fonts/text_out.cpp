// TextOutA and the DC's text colours: glyphs laid from the first cell's top-left along the
// escapement into DCs of 8, 16, 24 and 32 bits, with the opaque box, underline and strike-out.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "winapi/fonts/font_engine.h"
#include "winapi/gdi_pixels.h"

namespace winapi {

namespace {

uint32_t Rgb(COLORREF c)
{
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// Writes colours into the DC's pixels; 8-bit DCs take the nearest palette entry.
class TextCanvas {
public:
    explicit TextCanvas(const PixelView& view) : view_(view) {}

    void Put(int x, int y, uint32_t rgb)
    {
        if (x < 0 || y < 0 || x >= view_.width || y >= view_.height)
            return;
        if (view_.bitsPerPixel == 8) {
            view_.top[view_.stride * y + x] = Nearest(rgb);
        } else {
            const RECT one{x, y, x + 1, y + 1};
            FillPixels(view_, one, rgb & 0xFFFFFF);
        }
        Grow(x, y);
    }

    void Blend(int x, int y, uint32_t rgb, unsigned coverage)
    {
        if (coverage == 0 || x < 0 || y < 0 || x >= view_.width || y >= view_.height)
            return;
        if (coverage >= 255) {
            Put(x, y, rgb);
            return;
        }
        const uint32_t d = ReadPixel(view_, x, y);
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const unsigned s = (rgb >> shift) & 0xFF, t = (d >> shift) & 0xFF;
            out |= ((s * coverage + t * (255 - coverage) + 127) / 255) << shift;
        }
        Put(x, y, out);
    }

    const RECT& Changed() const { return changed_; }
    int Width() const { return view_.width; }
    int Height() const { return view_.height; }

private:
    BYTE Nearest(uint32_t rgb)
    {
        if (cachedValid_ && cachedRgb_ == rgb)
            return cachedIndex_;
        int best = 0;
        int64_t bestDistance = INT64_MAX;
        for (int i = 0; i < 256; ++i) {
            const int r = view_.palette ? view_.palette[i].rgbRed : i;
            const int g = view_.palette ? view_.palette[i].rgbGreen : i;
            const int b = view_.palette ? view_.palette[i].rgbBlue : i;
            const int dr = r - static_cast<int>((rgb >> 16) & 0xFF),
                      dg = g - static_cast<int>((rgb >> 8) & 0xFF), db = b - static_cast<int>(rgb & 0xFF);
            const int64_t distance = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        cachedValid_ = true;
        cachedRgb_ = rgb;
        cachedIndex_ = static_cast<BYTE>(best);
        return cachedIndex_;
    }

    void Grow(int x, int y)
    {
        if (changed_.right <= changed_.left) {
            changed_ = RECT{x, y, x + 1, y + 1};
            return;
        }
        changed_.left = std::min<LONG>(changed_.left, x);
        changed_.top = std::min<LONG>(changed_.top, y);
        changed_.right = std::max<LONG>(changed_.right, x + 1);
        changed_.bottom = std::max<LONG>(changed_.bottom, y + 1);
    }

    PixelView view_;
    RECT changed_{0, 0, 0, 0};
    bool cachedValid_ = false;
    uint32_t cachedRgb_ = 0;
    BYTE cachedIndex_ = 0;
};

// A box of the text's own frame (u along the baseline, v downwards from the cell's top) turned by
// the escapement about (x, y): every pixel whose centre lies inside it takes the colour.
void FillTurnedBox(TextCanvas& canvas, int x, int y, double c, double s, double u0, double v0, double u1,
                   double v1, uint32_t rgb)
{
    if (u1 <= u0 || v1 <= v0)
        return;
    // Device = (x, y) + u·(c, −s) + v·(s, c).
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (double u : {u0, u1})
        for (double v : {v0, v1}) {
            const double px = x + u * c + v * s, py = y - u * s + v * c;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
    const int left = std::max(0, static_cast<int>(std::floor(minX)));
    const int top = std::max(0, static_cast<int>(std::floor(minY)));
    const int right = std::min(canvas.Width(), static_cast<int>(std::ceil(maxX)));
    const int bottom = std::min(canvas.Height(), static_cast<int>(std::ceil(maxY)));
    for (int py = top; py < bottom; ++py)
        for (int px = left; px < right; ++px) {
            const double dx = px + 0.5 - x, dy = py + 0.5 - y;
            const double u = dx * c - dy * s, v = dx * s + dy * c;
            if (u >= u0 && u < u1 && v >= v0 && v < v1)
                canvas.Put(px, py, rgb);
        }
}

} // namespace

} // namespace winapi

using namespace winapi;

namespace {

// Swaps one of the DC's colours; CLR_INVALID for a bad DC.
COLORREF SwapDcColour(HDC hdc, COLORREF GdiDc::*field, COLORREF color)
{
    auto dc = GdiFindDc(hdc);
    if (!dc)
        return CLR_INVALID;
    std::lock_guard lock(GdiLock());
    return std::exchange((*dc).*field, color & 0xFFFFFF);
}

} // namespace

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    return SwapDcColour(hdc, &GdiDc::textColor, color);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    return SwapDcColour(hdc, &GdiDc::bkColor, color);
}

int WINAPI SetBkMode(HDC hdc, int mode)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    std::lock_guard lock(GdiLock());
    return std::exchange(dc->bkMode, mode);
}

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR text, int count)
{
    DcPixelAccess access(hdc);
    if (!access.Valid() || !access.Ok() || count < 0 || (text == nullptr && count > 0))
        return FALSE;
    GdiDc& dc = access.Dc();
    auto font = DcFont(dc);
    if (!font)
        return FALSE;
    COLORREF textColor, bkColor;
    int bkMode;
    {
        std::lock_guard lock(GdiLock());
        textColor = dc.textColor;
        bkColor = dc.bkColor;
        bkMode = dc.bkMode;
    }
    const PixelView& view = access.View();
    const bool mono = font->logfont.lfQuality == NONANTIALIASED_QUALITY || view.bitsPerPixel == 8;
    const auto codes = SplitCodes(text, count);
    const int escapement = font->logfont.lfEscapement % 3600;
    const double angle = escapement * M_PI / 1800.0;
    const double c = std::lround(std::cos(angle) * 65536.0) / 65536.0;
    const double s = std::lround(std::sin(angle) * 65536.0) / 65536.0;
    const int height = font->ascent + font->descent;
    TextCanvas canvas(view);
    const uint32_t fore = Rgb(textColor);

    int64_t width = 0;
    for (unsigned code : codes)
        width += FontAdvance(*font, code, mono);
    if (bkMode == OPAQUE)
        FillTurnedBox(canvas, x, y, c, s, 0, 0, static_cast<double>(width), height, Rgb(bkColor));

    // The origin of the first glyph: the baseline under the first cell's top-left, in 26.6.
    FT_Pos penX = static_cast<FT_Pos>(std::lround((x + font->ascent * s) * 64.0));
    FT_Pos penY = static_cast<FT_Pos>(std::lround((y + font->ascent * c) * 64.0));
    GlyphRequest request;
    request.mono = mono;
    GlyphImage glyph;
    for (unsigned code : codes) {
        if (!LoadFontGlyph(*font, code, request, &glyph))
            continue;
        const int originX = static_cast<int>((penX + 32) >> 6), originY = static_cast<int>((penY + 32) >> 6);
        for (int row = 0; row < glyph.rows; ++row) {
            const uint8_t* bits = glyph.bits.data() + static_cast<size_t>(row) * glyph.pitch;
            const int py = originY - glyph.top + row;
            for (int col = 0; col < glyph.width; ++col) {
                const int px = originX + glyph.left + col;
                if (mono) {
                    if (bits[col >> 3] & (0x80 >> (col & 7)))
                        canvas.Put(px, py, fore);
                } else {
                    canvas.Blend(px, py, fore, bits[col]);
                }
            }
        }
        penX += glyph.advance.x;
        penY -= glyph.advance.y;
    }
    const FontFace& face = *font->face;
    auto scaled = [&](int units) { return static_cast<double>(units) * font->em / face.unitsPerEm; };
    if (font->logfont.lfUnderline) {
        const double thick = std::max(1.0, std::round(scaled(face.underlineThickness)));
        const double top =
            font->ascent + std::max(1.0, std::round(-scaled(face.underlinePosition))) - thick / 2;
        FillTurnedBox(canvas, x, y, c, s, 0, std::round(top), static_cast<double>(width),
                      std::round(top) + thick, fore);
    }
    if (font->logfont.lfStrikeOut) {
        const double thick = std::max(1.0, std::round(scaled(face.strikeoutSize)));
        const double top = font->ascent - std::round(scaled(face.strikeoutPosition));
        FillTurnedBox(canvas, x, y, c, s, 0, top, static_cast<double>(width), top + thick, fore);
    }
    access.MarkChanged(canvas.Changed());
    return TRUE;
}
