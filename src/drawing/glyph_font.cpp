// The glyph font's setters, rebuild, measuring and glyph rasteriser.
#include "drawing/glyph_font.h"

#include "drawing/glyph_kernels.h"
#include "drawing/image_glyph_table.h"
#include "platform/cpu_info.h"
#include "platform/font_settings.h"
#include "winapi/text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// The bytes of one character code: one byte below 256, else lead and trail.
int CodeBytes(uint32_t code, char* out)
{
    if (code < 256) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code);
    return 2;
}

} // namespace

CGlyphFont::CGlyphFont() : m_cache(g_GlyphCacheLimit & 0xFFFF) {}

CGlyphFont::~CGlyphFont()
{
    m_cache.Clear();
    DropImageGlyphs();
    Release();
}

void CGlyphFont::DropImageGlyphs()
{
    if (m_imageGlyphs == nullptr)
        return;
    if (m_imageGlyphs->m_references > 0)
        --m_imageGlyphs->m_references;
    else
        delete m_imageGlyphs;
    m_imageGlyphs = nullptr;
}

void CGlyphFont::ShareImageGlyphs(CImageGlyphTable* table)
{
    if (table == m_imageGlyphs)
        return;
    DropImageGlyphs();
    if (table != nullptr) {
        ++table->m_references;
        m_imageGlyphs = table;
    }
}

void CGlyphFont::ForgetWidths()
{
    for (KnownWidth& w : m_widths)
        w = KnownWidth{};
    m_widthsDc = nullptr;
}

int32_t CGlyphFont::MeasuredWidth(HDC measure, uint32_t code)
{
    if (measure != m_widthsDc) {
        ForgetWidths();
        m_widthsDc = measure;
    }
    KnownWidth& known = m_widths[(code * 0x9E3779B1u) >> 24];
    if (known.code == code && code != 0)
        return known.width;
    char bytes[2];
    SIZE extent{};
    GetTextExtentPoint32A(measure, bytes, CodeBytes(code, bytes), &extent);
    known = KnownWidth{code, extent.cx};
    return extent.cx;
}

void CGlyphFont::Release()
{
    ForgetWidths();
    FreeDcAndFont(&m_hDC, &m_hFont);
    FreeDcAndFont(&m_hRegularDC, &m_hRegularFont);
}

void CGlyphFont::EmptyCache()
{
    if (m_cache.Enabled())
        m_cache.Clear();
}

int CGlyphFont::Rebuild()
{
    ForgetWidths();
    if (m_logFont.lfWeight == FW_BOLD) {
        LOGFONTA regular = m_logFont;
        regular.lfWeight = FW_NORMAL;
        if (!ReplaceFont(regular, &m_hRegularDC, &m_hRegularFont)) {
            Release();
            return 1;
        }
    } else {
        FreeDcAndFont(&m_hRegularDC, &m_hRegularFont);
    }
    if (!ReplaceFont(m_logFont, &m_hDC, &m_hFont)) {
        Release();
        return 2;
    }
    TEXTMETRICA tm{};
    GetTextMetricsA(m_hDC, &tm);
    const TextTurn turn = GetTextTurn(m_logFont.lfEscapement);
    m_baselineX = turn.turned ? MulFixed(turn.s, tm.tmAscent) : 0;
    m_baselineY = turn.turned ? MulFixed(turn.c, tm.tmAscent) : tm.tmAscent;
    return 0;
}

int CGlyphFont::SetFont(int32_t height, uint8_t bold, uint8_t italic, const char* face)
{
    const int32_t previous = m_logFont.lfHeight;
    m_logFont.lfHeight = NegativeHeight(height);
    m_logFont.lfItalic = italic;
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    if (face != nullptr) {
        EmptyCache();
        CopyFaceName(face);
    }
    if (m_logFont.lfHeight != previous && m_gradientOn)
        SetGradient(1, m_gradientTop, m_gradientBottom, 1);
    return Rebuild();
}

int CGlyphFont::SetFaceName(const char* face)
{
    if (face == nullptr)
        return 3;
    if (SameFaceName(face))
        return 0;
    EmptyCache();
    CopyFaceName(face);
    return Rebuild();
}

int CGlyphFont::SetHeight(int32_t height)
{
    const int32_t h = NegativeHeight(height);
    if (h == m_logFont.lfHeight)
        return 0;
    m_logFont.lfHeight = h;
    if (m_gradientOn)
        SetGradient(1, m_gradientTop, m_gradientBottom, 1);
    return Rebuild();
}

int CGlyphFont::SetStyle(uint8_t bold, uint8_t italic)
{
    const LONG weight = bold ? FW_BOLD : FW_NORMAL;
    if (weight == m_logFont.lfWeight && italic == m_logFont.lfItalic)
        return 0;
    m_logFont.lfWeight = weight;
    m_logFont.lfItalic = italic;
    return Rebuild();
}

int CGlyphFont::SetAngle(int32_t tenths)
{
    if (tenths == m_logFont.lfEscapement)
        return 0;
    m_logFont.lfEscapement = m_logFont.lfOrientation = tenths;
    EmptyCache();
    if (m_imageGlyphs != nullptr)
        m_imageGlyphs->SetDirection(tenths);
    return Rebuild();
}

void CGlyphFont::SetAntialias(uint8_t mode)
{
    if (mode != m_antialias)
        EmptyCache();
    m_antialias = mode;
}

int CGlyphFont::SetGradient(uint8_t on, uint32_t top, uint32_t bottom, uint8_t build)
{
    if (on) {
        m_gradientTop = top;
        m_gradientBottom = bottom;
        const int rows = static_cast<int>(std::min<int64_t>(std::llabs(m_logFont.lfHeight), INT32_MAX));
        if (build &&
            (m_gradient.Count() != rows || m_gradient.Start() != top || m_gradient.End() != bottom)) {
            const int result = m_gradient.Build(rows, top, bottom, 32);
            if (result != 0) {
                m_gradientOn = 0;
                return result;
            }
        }
    }
    m_gradientOn = on;
    return 0;
}

void CGlyphFont::SetOutline(int32_t strength, int32_t radius)
{
    if (strength == m_outlineStrength && radius == m_outlineRadius)
        return;
    EmptyCache();
    m_outlineStrength = strength;
    m_outlineRadius = radius;
    m_outlineKernel = OutlineKernelValue(radius);
    if (m_imageGlyphs != nullptr)
        m_imageGlyphs->SetOutline(strength, radius, m_outlineKernel);
}

CImageGlyphTable* CGlyphFont::ImageGlyphs()
{
    if (m_imageGlyphs == nullptr) {
        m_imageGlyphs = new (std::nothrow) CImageGlyphTable;
        if (m_imageGlyphs == nullptr)
            return nullptr;
        m_imageGlyphs->SetDirection(m_logFont.lfEscapement);
        m_imageGlyphs->SetOutline(m_outlineStrength, m_outlineRadius, m_outlineKernel);
    }
    return m_imageGlyphs;
}

int CGlyphFont::LoadImageGlyphs(const char* sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                                uint32_t flags)
{
    CImageGlyphTable* table = ImageGlyphs();
    return table != nullptr ? table->Load(sheet, count, cellWidth, cellHeight, flags) : 3;
}

int CGlyphFont::CutImageGlyphs(const CImage& sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                               uint32_t flags)
{
    CImageGlyphTable* table = ImageGlyphs();
    return table != nullptr ? table->Cut(sheet, count, cellWidth, cellHeight, flags) : 3;
}

int CGlyphFont::MeasureString(const char* text, SIZE* size, int32_t* offsetX, int32_t* offsetY,
                              uint8_t withEffect, int32_t* charCount)
{
    if (text == nullptr || m_hDC == nullptr)
        return 0;
    const int64_t charHeight = std::llabs(m_logFont.lfHeight);
    const bool bold = m_logFont.lfWeight >= FW_BOLD;
    HDC measure = bold && m_hRegularDC != nullptr ? m_hRegularDC : m_hDC;
    int64_t width = 0, lineWidth = 0, height = 0;
    int lines = 1;
    int32_t count = 0;
    TextChar ch;
    for (const char* p = text; *p != '\0'; p += NextTextChar(p, &ch)) {
        NextTextChar(p, &ch);
        if (ch.kind == TextChar::LineFeed) {
            width = std::max(width, lineWidth);
            height += charHeight + m_lineSpacing;
            ++lines;
            lineWidth = 0;
            continue;
        }
        ++count;
        if (ch.kind == TextChar::Picture) {
            lineWidth += m_imageGlyphs != nullptr ? m_imageGlyphs->CellWidth() : 0;
            continue;
        }
        const int64_t cx = MeasuredWidth(measure, ch.code);
        lineWidth += bold ? cx + cx / 50 + 1 : cx;
    }
    width = std::max(width, lineWidth);
    height += charHeight;
    if (m_logFont.lfItalic)
        width += charHeight / 3;
    int32_t ox = 0, oy = 0;
    if (withEffect)
        AddEffectRoom(&width, &height, &ox, &oy, std::min(std::abs(m_outlineRadius), 64));
    if (offsetX != nullptr)
        *offsetX = ox;
    if (offsetY != nullptr)
        *offsetY = oy;
    StoreSize(size, width, height);
    if (charCount != nullptr)
        *charCount = count;
    return lines;
}

CGlyphBitmap* CGlyphFont::GetGlyph(uint32_t code, int32_t height, uint8_t outlined, uint8_t bold,
                                   uint8_t italic, uint8_t picture)
{
    if (picture)
        return m_imageGlyphs != nullptr
                   ? m_imageGlyphs->GetGlyph(static_cast<int32_t>(code), m_antialias, outlined)
                   : nullptr;
    const auto h = static_cast<uint32_t>(std::min<int64_t>(std::llabs(height), UINT32_MAX));
    uint64_t key = 0;
    uint32_t hash = 0;
    if (m_cache.Enabled()) {
        key = CGlyphCache::MakeKey(code, h, outlined, bold, italic);
        hash = CGlyphCache::MakeHash(code, h, outlined, bold, italic);
        if (CGlyphBitmap* hit = m_cache.Find(key, hash))
            return hit;
    }
    CGlyphBitmap* glyph = nullptr;
    if (outlined) {
        // The outline grows from the plain glyph (usually cached already: the pen draws both),
        // so a character is rasterised once for the pair.
        CGlyphBitmap* plain = GetGlyph(code, height, 0, bold, italic, 0);
        if (plain == nullptr)
            return nullptr;
        glyph = Outline(*plain);
        DoneWithGlyph(plain, false);
    } else {
        glyph = Rasterise(code, static_cast<int32_t>(std::min<uint32_t>(h, INT32_MAX)), bold);
    }
    if (glyph == nullptr || !m_cache.Enabled())
        return glyph;
    return m_cache.Store(key, hash, glyph);
}

void CGlyphFont::DoneWithGlyph(CGlyphBitmap* glyph, bool picture)
{
    if (!picture && !m_cache.Enabled())
        ReleaseGlyph(glyph);
}

CGlyphBitmap* CGlyphFont::Rasterise(uint32_t code, int32_t height, uint8_t bold)
{
    if (m_hDC == nullptr)
        return nullptr;
    const int mode = std::min<int>(m_antialias, 2);
    const UINT format = mode == 0 ? GGO_BITMAP : mode == 1 ? GGO_GRAY4_BITMAP : GGO_GRAY8_BITMAP;
    MAT2 matrix{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    DWORD size = GetGlyphOutlineA(m_hDC, code, format, &gm, 0, nullptr, &matrix);
    int s = 0;
    UINT used = format;
    if (size == GDI_ERROR && mode != 0) {
        // The grey formats refused: an enlarged one-bit glyph, reduced here.
        s = mode == 1 ? 2 : 3;
        matrix.eM11.value = matrix.eM22.value = static_cast<SHORT>(1 << s);
        used = GGO_BITMAP;
        size = GetGlyphOutlineA(m_hDC, code, used, &gm, 0, nullptr, &matrix);
    }
    if (size == GDI_ERROR)
        return nullptr;
    auto glyph = std::unique_ptr<CGlyphBitmap>(new (std::nothrow) CGlyphBitmap);
    if (!glyph)
        return nullptr;

    char bytes[2];
    const int length = CodeBytes(code, bytes);
    const bool regular = bold && m_hRegularDC != nullptr;
    SIZE extent{};
    GetTextExtentPoint32A(regular ? m_hRegularDC : m_hDC, bytes, length, &extent);
    const int32_t a = bold ? extent.cx + 1 + extent.cx / 50 : extent.cx;
    const int32_t angle = m_logFont.lfEscapement;
    const TextTurn turn = GetTextTurn(angle);
    if (angle == 2700) {
        glyph->advanceY = a;
    } else if (turn.turned) {
        glyph->advanceX = MulFixed(turn.c, a);
        glyph->advanceY = MulFixed(-turn.s, a);
    } else {
        glyph->advanceX = a;
    }
    glyph->left = (gm.gmptGlyphOrigin.x >> s) + m_baselineX;
    glyph->top = m_baselineY - (gm.gmptGlyphOrigin.y >> s);
    uint32_t width = gm.gmBlackBoxX, rows = gm.gmBlackBoxY;
    if (size == 0 || rows == 0 || width == 0)
        return glyph.release();

    uint32_t pitch = used == GGO_BITMAP ? ((width + 31) / 32) * 4 : (width + 3) & ~3u;
    if (uint64_t{pitch} * rows > size)
        return nullptr;
    std::vector<uint8_t> raw(size);
    if (GetGlyphOutlineA(m_hDC, code, used, &gm, size, raw.data(), &matrix) == GDI_ERROR)
        return nullptr;

    if (bold && (s > 0 || g_bBoldByGdiFont == 0)) {
        // Into a new, wider bitmap: thickening in place ran past the old rows.
        const int n = static_cast<int>(std::min<int64_t>((int64_t{height} << s) / 50 + 1, 8));
        const uint32_t wider = width + static_cast<uint32_t>(n);
        const uint32_t widerPitch = used == GGO_BITMAP ? ((wider + 31) / 32) * 4 : (wider + 3) & ~3u;
        std::vector<uint8_t> thick(static_cast<size_t>(widerPitch) * rows);
        if (used == GGO_BITMAP)
            ThickenMonoRows(raw.data(), static_cast<int>(pitch), static_cast<int>(width),
                            static_cast<int>(rows), thick.data(), static_cast<int>(widerPitch), n);
        else
            ThickenGreyRows(raw.data(), static_cast<int>(pitch), static_cast<int>(width),
                            static_cast<int>(rows), thick.data(), static_cast<int>(widerPitch), n);
        raw.swap(thick);
        width = wider;
        pitch = widerPitch;
        glyph->left -= n / 2;
    }

    // To 8-bit coverage.
    uint32_t outWidth = width, outRows = rows;
    if (s > 0) {
        const uint32_t block = 1u << s;
        outWidth = (width + block - 1) / block;
        outRows = (rows + block - 1) / block;
    }
    uint32_t outPitch = (outWidth + 3) & ~3u;
    auto* pixels = new (std::nothrow) uint8_t[static_cast<size_t>(outPitch) * outRows];
    if (pixels == nullptr)
        return nullptr;
    glyph->pixels = pixels;
    if (mode == 0) {
        for (uint32_t y = 0; y < rows; ++y)
            for (uint32_t x = 0; x < outPitch; ++x)
                pixels[y * outPitch + x] =
                    x < width && (raw[y * pitch + (x >> 3)] & (0x80 >> (x & 7))) ? 255 : 0;
    } else {
        if (s > 0) {
            std::memset(pixels, 0, static_cast<size_t>(outPitch) * outRows);
            ReduceMonoBlocks(raw.data(), static_cast<int>(pitch), static_cast<int>(width),
                             static_cast<int>(rows), 1 << s, pixels, static_cast<int>(outPitch));
        } else {
            for (uint32_t y = 0; y < rows; ++y)
                std::memcpy(pixels + y * outPitch, raw.data() + y * pitch, outPitch);
        }
        (g_bUseMmx ? ScaleGreyRowsMmx : ScaleGreyRows)(pixels, static_cast<int>(outPitch),
                                                       static_cast<int>(outWidth), static_cast<int>(outRows),
                                                       mode == 1 ? 16 : 4);
    }
    glyph->width = outWidth;
    glyph->height = outRows;
    glyph->pitch = outPitch;
    return glyph.release();
}

CGlyphBitmap* CGlyphFont::Outline(const CGlyphBitmap& plain)
{
    auto glyph = std::unique_ptr<CGlyphBitmap>(new (std::nothrow) CGlyphBitmap);
    if (!glyph)
        return nullptr;
    glyph->left = plain.left;
    glyph->top = plain.top;
    glyph->advanceX = plain.advanceX;
    glyph->advanceY = plain.advanceY;
    if (plain.pixels == nullptr)
        return glyph.release();
    const int mode = std::min<int>(m_antialias, 2);
    const int r = std::min(std::abs(m_outlineRadius), 64);
    const uint32_t w2 = plain.width + 2 * r, h2 = plain.height + 2 * r;
    const uint32_t p2 = mode == 0 && r == 0 ? plain.pitch : (w2 + 3) & ~3u;
    auto* outline = new (std::nothrow) uint8_t[static_cast<size_t>(p2) * h2];
    if (outline == nullptr)
        return nullptr;
    glyph->pixels = outline;
    glyph->width = w2;
    glyph->height = h2;
    glyph->pitch = p2;
    if (mode == 0 && r == 0) {
        // A one-bit glyph without a radius is its own outline.
        std::memcpy(outline, plain.pixels, static_cast<size_t>(p2) * h2);
        return glyph.release();
    }
    std::memset(outline, 0, static_cast<size_t>(p2) * h2);
    if (mode == 0)
        DilateGlyph(plain.pixels, static_cast<int>(plain.pitch), static_cast<int>(plain.width),
                    static_cast<int>(plain.height), outline, static_cast<int>(p2), r);
    else
        BuildGlyphOutline(plain.pixels, static_cast<int>(plain.pitch), static_cast<int>(plain.width),
                          static_cast<int>(plain.height), outline, static_cast<int>(p2), m_outlineStrength, r,
                          m_outlineKernel);
    glyph->left -= r;
    glyph->top -= r;
    return glyph.release();
}
