// The GDI font: setters, line measuring, DrawToDib over TextOutA, and DrawText / DrawTextWithAlpha
// through an 8-bit work DIB laid over the target with the glyph blitters.
#include "drawing/gdi_font.h"

#include "drawing/glyph_blit.h"
#include "drawing/glyph_kernels.h"
#include "raster/image.h"
#include "raster/pixel_ops.h"
#include "winapi/text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The lines of a text: split at LF; a lead byte (0x81-0x9F, 0xE0-0xFC) takes the next byte with it,
// except before the NUL. (Bytes 129-254 as lead bytes swallowed the character after a half-width
// katakana.)
std::vector<std::string> SplitLines(const char* text, int32_t* charCount)
{
    std::vector<std::string> lines(1);
    int32_t count = 0;
    for (const char* p = text; *p != '\0';) {
        if (*p == '\n') {
            lines.emplace_back();
            ++p;
            continue;
        }
        const int n = winapi::IsSjisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0' ? 2 : 1;
        lines.back().append(p, static_cast<size_t>(n));
        p += n;
        ++count;
    }
    if (charCount != nullptr)
        *charCount = count;
    return lines;
}

COLORREF Ref(const uint8_t rgb[3])
{
    return RGB(rgb[0], rgb[1], rgb[2]);
}

uint32_t Pack(const uint8_t rgb[3])
{
    return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
}

// A glyph record over a plane that something else owns.
struct PlaneGlyph {
    CGlyphBitmap glyph;
    PlaneGlyph(CImage& plane, uint32_t width, uint32_t height)
    {
        glyph.pixels = plane.GetBits();
        glyph.pitch = static_cast<uint32_t>(plane.GetPitch());
        glyph.width = width;
        glyph.height = height;
    }
    ~PlaneGlyph() { glyph.pixels = nullptr; }
};

} // namespace

CGdiFont::~CGdiFont()
{
    Release();
}

void CGdiFont::Release()
{
    FreeDcAndFont(&m_hDC, &m_hFont);
}

int CGdiFont::Rebuild()
{
    if (!ReplaceFont(m_logFont, &m_hDC, &m_hFont)) {
        Release();
        return 1;
    }
    return 0;
}

int CGdiFont::SetFont(int32_t height, uint8_t bold, uint8_t italic, const char* face)
{
    m_logFont.lfHeight = NegativeHeight(height);
    m_logFont.lfItalic = italic;
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    if (face != nullptr)
        CopyFaceName(face);
    return Rebuild();
}

int CGdiFont::SetFaceName(const char* face)
{
    if (face == nullptr)
        return 2;
    if (SameFaceName(face))
        return 0;
    CopyFaceName(face);
    return Rebuild();
}

int CGdiFont::SetHeight(int32_t height)
{
    const int32_t h = NegativeHeight(height);
    if (h == m_logFont.lfHeight)
        return 0;
    m_logFont.lfHeight = h;
    return Rebuild();
}

int CGdiFont::SetStyle(uint8_t bold, uint8_t italic)
{
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    m_logFont.lfItalic = italic;
    return Rebuild();
}

int CGdiFont::SetAngle(int32_t tenths)
{
    if (tenths == m_logFont.lfEscapement)
        return 0;
    m_logFont.lfEscapement = m_logFont.lfOrientation = tenths;
    return Rebuild();
}

void CGdiFont::SetAntialias(uint8_t mode)
{
    m_antialias = mode;
}

void CGdiFont::SetBackground(uint8_t transparent, uint8_t red, uint8_t green, uint8_t blue)
{
    m_transparent = transparent;
    m_bgColor[0] = red;
    m_bgColor[1] = green;
    m_bgColor[2] = blue;
}

int CGdiFont::SetUnderlineStrikeout(uint8_t underline, uint8_t strikeout)
{
    m_logFont.lfUnderline = underline;
    m_logFont.lfStrikeOut = strikeout;
    return Rebuild();
}

int CGdiFont::SetQuality(uint8_t quality)
{
    m_logFont.lfQuality = quality;
    return Rebuild();
}

int CGdiFont::MeasureString(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY,
                            uint8_t withEffect, int32_t* charCount)
{
    if (text == nullptr || m_hDC == nullptr)
        return 0;
    int32_t count = 0;
    const auto lines = SplitLines(text, &count);
    int64_t width = 0, height = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        SIZE extent{};
        GetTextExtentPoint32A(m_hDC, lines[i].data(), static_cast<int>(lines[i].size()), &extent);
        width = std::max<int64_t>(width, extent.cx);
        height += extent.cy;
        if (i + 1 < lines.size())
            height += m_lineSpacing;
    }
    if (m_logFont.lfItalic)
        width += std::llabs(m_logFont.lfHeight) / 3;
    int32_t ox = 0, oy = 0;
    if (withEffect)
        AddEffectRoom(&width, &height, &ox, &oy, 1);
    if (offsetX != nullptr)
        *offsetX = ox;
    if (offsetY != nullptr)
        *offsetY = oy;
    StoreSize(size, width, height);
    if (charCount != nullptr)
        *charCount = count;
    return static_cast<int>(lines.size());
}

int CGdiFont::DrawToDib(HDC dc, int32_t x, int32_t y, const char* text)
{
    if (m_hFont == nullptr || text == nullptr)
        return 1;
    x = AddClamped(x, 0);
    y = AddClamped(y, 0);
    HGDIOBJ oldFont = SelectObject(dc, m_hFont);
    const bool turned = m_logFont.lfEscapement != 0;
    HBRUSH brush = nullptr;
    if (!m_transparent && m_effectMode != 0 && !turned)
        brush = CreateSolidBrush(Ref(m_bgColor));
    POINT step, shadow;
    TurnLineStep(*this, std::llabs(m_logFont.lfHeight) + m_lineSpacing, &step, &shadow);
    const int32_t shadowX = shadow.x, shadowY = shadow.y;
    for (const std::string& line : SplitLines(text, nullptr)) {
        const int n = static_cast<int>(line.size());
        SIZE extent{};
        GetTextExtentPoint32A(dc, line.data(), n, &extent);
        if (brush != nullptr) {
            RECT box{x, y, AddClamped(x, extent.cx), AddClamped(y, extent.cy)};
            if (m_effectMode == 1) {
                LONG& side = shadowX < 0 ? box.left : box.right;
                side = AddClamped(side, shadowX);
                LONG& edge = shadowY < 0 ? box.top : box.bottom;
                edge = AddClamped(edge, shadowY);
            } else {
                box.left -= 1;
                box.top -= 1;
                box.right += 1;
                box.bottom += 1;
            }
            if (m_logFont.lfItalic)
                box.right += static_cast<LONG>(std::llabs(m_logFont.lfHeight) / 3);
            FillRect(dc, &box, brush);
            SetBkMode(dc, TRANSPARENT);
        } else if (!m_transparent && !turned) {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, Ref(m_bgColor));
        } else {
            SetBkMode(dc, TRANSPARENT);
        }
        if (m_effectMode == 1) {
            ::SetTextColor(dc, Ref(m_effectColor));
            TextOutA(dc, AddClamped(x, shadowX), AddClamped(y, shadowY), line.data(), n);
        } else if (m_effectMode == 2) {
            ::SetTextColor(dc, Ref(m_effectColor));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx != 0 || dy != 0)
                        TextOutA(dc, x + dx, y + dy, line.data(), n);
        }
        ::SetTextColor(dc, Ref(m_textColor));
        TextOutA(dc, x, y, line.data(), n);
        x = AddClamped(x, step.x);
        y = AddClamped(y, step.y);
    }
    SelectObject(dc, oldFont);
    if (brush != nullptr)
        DeleteObject(brush);
    return 0;
}

bool CGdiFont::RenderCoverage(const char* text, int width, int height, int offsetX, int offsetY,
                              bool outlineToo, CImage* plane)
{
    const bool super = m_antialias != 0;
    const int scale = super ? 4 : 1;
    CGdiFont work;
    work.m_logFont = m_logFont;
    work.m_logFont.lfHeight = NegativeHeight(
        static_cast<int32_t>(std::min<int64_t>(std::llabs(m_logFont.lfHeight) * scale, INT32_MAX)));
    work.m_lineSpacing = m_lineSpacing * scale;
    const uint8_t ink = super ? 15 : 255;
    work.SetTextColor(ink, ink, ink);
    work.SetEffect(outlineToo ? 2 : 0, ink, ink, ink);
    work.m_transparent = 1;
    if (work.Rebuild() != 0)
        return false;
    if (plane->Create(width * scale, height * scale, 8, kImageWithDc) != 0)
        return false;
    work.DrawToDib(plane->GetDc(), -offsetX * scale, -offsetY * scale, text);
    GdiFlush();
    if (super)
        ReduceToBytePlane(plane->GetBits(), plane->GetPitch(), width, height);
    return true;
}

bool CGdiFont::MeasureAndRender(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY,
                                CImage* plane)
{
    MeasureString(text, size, offsetX, offsetY, 1, nullptr);
    return RenderCoverage(text, size->cx, size->cy, *offsetX, *offsetY, false, plane);
}

int CGdiFont::DrawText(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn, POINT* end)
{
    if (m_hDC == nullptr || target == nullptr || target->GetBits() == nullptr || text == nullptr)
        return 1;
    SIZE size{};
    int32_t ox = 0, oy = 0;
    CImage plane;
    if (!MeasureAndRender(text, &size, &ox, &oy, &plane))
        return 2;
    const int32_t px = AddClamped(x, ox), py = AddClamped(y, oy);
    const RECT box{px, py, px + size.cx, py + size.cy};
    if (!m_transparent) {
        RECT r;
        if (ClipGlyphRect(target, box.left, box.top, static_cast<uint32_t>(size.cx),
                          static_cast<uint32_t>(size.cy), &r)) {
            if (target->GetBitsPerPixel() == 32)
                FillColourKeepAlpha(target, r, Pack(m_bgColor));
            else
                for (LONG row = r.top; row < r.bottom; ++row)
                    std::memset(target->GetBits() + static_cast<ptrdiff_t>(row) * target->GetPitch() + r.left,
                                m_bgColor[0], static_cast<size_t>(r.right - r.left));
        }
    }
    PlaneGlyph coverage(plane, static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy));
    GlyphInk text_ink, effect_ink;
    text_ink.rgb = Pack(m_textColor);
    effect_ink.rgb = Pack(m_effectColor);
    const bool super = m_antialias != 0;
    const GlyphBlit blit = super ? GlyphBlit::Coverage : GlyphBlit::SolidMask;
    if (m_effectMode == 2) {
        if (super) {
            std::vector<uint8_t> outline(static_cast<size_t>((size.cx + 2 + 3) & ~3) * (size.cy + 2));
            CGlyphBitmap around;
            around.width = static_cast<uint32_t>(size.cx + 2);
            around.height = static_cast<uint32_t>(size.cy + 2);
            around.pitch = (around.width + 3) & ~3u;
            around.pixels = outline.data();
            BuildGlyphOutline(coverage.glyph.pixels, static_cast<int>(coverage.glyph.pitch), size.cx, size.cy,
                              outline.data(), static_cast<int>(around.pitch), 512, 1, 6553);
            BlitGlyph(target, around, px - 1, py - 1, blit, effect_ink, nullptr);
            around.pixels = nullptr;
        } else {
            CImage outlined;
            if (!RenderCoverage(text, size.cx, size.cy, ox, oy, true, &outlined))
                return 2;
            PlaneGlyph ring(outlined, static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy));
            BlitGlyph(target, ring.glyph, px, py, blit, effect_ink, nullptr);
        }
    } else if (m_effectMode == 1) {
        BlitGlyph(target, coverage.glyph, AddClamped(px, m_shadowX), AddClamped(py, m_shadowY), blit,
                  effect_ink, nullptr);
    }
    BlitGlyph(target, coverage.glyph, px, py, blit, text_ink, nullptr);
    if (drawn != nullptr)
        *drawn = box;
    if (end != nullptr)
        *end = POINT{x, y};
    return 0;
}

int CGdiFont::DrawTextWithAlpha(CSurface* target, int32_t x, int32_t y, const char* text, RECT* drawn,
                                POINT* end)
{
    if (m_hDC == nullptr || target == nullptr || target->GetBits() == nullptr || text == nullptr ||
        target->GetBitsPerPixel() != 32)
        return 1;
    SIZE size{};
    int32_t ox = 0, oy = 0;
    CImage plane;
    if (!MeasureAndRender(text, &size, &ox, &oy, &plane))
        return 2;
    if (drawn != nullptr)
        *drawn = RECT{0, 0, size.cx, size.cy};
    if (end != nullptr)
        *end = POINT{x, y};
    const int32_t px = AddClamped(x, ox), py = AddClamped(y, oy);
    const RECT box{px, py, px + size.cx, py + size.cy};
    PlaneGlyph coverage(plane, static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy));
    GlyphInk text_ink, effect_ink;
    text_ink.rgb = Pack(m_textColor);
    effect_ink.rgb = Pack(m_effectColor);
    if (m_effectMode == 0) {
        FillColourKeepAlpha(target, box, text_ink.rgb);
        WriteCoverageAlpha(target, coverage.glyph, px, py, false);
        return 0;
    }
    if (m_effectMode == 1) {
        FillColourKeepAlpha(target, box, text_ink.rgb);
        BlitGlyph(target, coverage.glyph, AddClamped(px, m_shadowX), AddClamped(py, m_shadowY),
                  GlyphBlit::Coverage, effect_ink, nullptr);
        BlitGlyph(target, coverage.glyph, px, py, GlyphBlit::Coverage, text_ink, nullptr);
        WriteCoverageAlpha(target, coverage.glyph, px, py, false);
        WriteCoverageAlpha(target, coverage.glyph, AddClamped(px, m_shadowX), AddClamped(py, m_shadowY),
                           true);
        return 0;
    }
    FillColourKeepAlpha(target, box, effect_ink.rgb);
    BlitGlyph(target, coverage.glyph, px, py, GlyphBlit::Coverage, text_ink, nullptr);
    if (m_antialias == 0) {
        CImage outlined;
        if (!RenderCoverage(text, size.cx, size.cy, ox, oy, true, &outlined))
            return 2;
        PlaneGlyph ring(outlined, static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy));
        WriteCoverageAlpha(target, ring.glyph, px, py, false);
        return 0;
    }
    CImage around;
    if (around.Create(size.cx + 2, size.cy + 2, 8, 0) != 0)
        return 3;
    BuildGlyphOutline(coverage.glyph.pixels, static_cast<int>(coverage.glyph.pitch), size.cx, size.cy,
                      around.GetBits(), around.GetPitch(), 512, 1, 6553);
    PlaneGlyph ring(around, static_cast<uint32_t>(size.cx + 2), static_cast<uint32_t>(size.cy + 2));
    WriteCoverageAlpha(target, ring.glyph, px - 1, py - 1, false);
    return 0;
}
