#include "drawing/image_glyph_table.h"

#include "drawing/glyph_kernels.h"
#include "platform/cos_table.h"
#include "raster/image.h"
#include "raster/kernels8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

CImageGlyphTable::~CImageGlyphTable() = default;

void CImageGlyphTable::Clear()
{
    m_first.clear();
    m_second.clear();
    m_firstOutlined.clear();
    m_secondOutlined.clear();
    m_count = 0;
}

void CImageGlyphTable::ClearOutlined()
{
    for (auto& g : m_firstOutlined)
        g.reset();
    for (auto& g : m_secondOutlined)
        g.reset();
}

// The advance and left edge of a picture for the direction. One formula for Load and
// SetDirection (SetDirection used to zero the advance of turned pictures); the sine's table index
// is reduced mod 512.
void CImageGlyphTable::PlaceAdvance(CGlyphBitmap& glyph) const
{
    glyph.left = 0;
    glyph.top = 0;
    glyph.advanceX = m_cellWidth;
    glyph.advanceY = 0;
    if (m_direction == 0)
        return;
    if (m_direction == 2700) {
        glyph.advanceX = 0;
        glyph.advanceY = m_cellHeight;
        glyph.left = -m_cellWidth;
        return;
    }
    if (g_pCosTable == nullptr)
        return;
    const auto k = static_cast<int32_t>(static_cast<int64_t>(m_direction) * 512 / 3600);
    glyph.advanceX = static_cast<int32_t>((int64_t{g_pCosTable->Cos(k)} * m_cellWidth) >> 16);
    glyph.advanceY = static_cast<int32_t>((-int64_t{g_pCosTable->Cos(k - 128)} * m_cellHeight) >> 16);
}

int CImageGlyphTable::Load(const char* sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                           uint32_t flags)
{
    CImage picture;
    if (sheet == nullptr || picture.Load(sheet, nullptr, 0, 0) != 0) {
        Clear();
        return 1;
    }
    return Cut(picture, count, cellWidth, cellHeight, flags);
}

int CImageGlyphTable::Cut(const CImage& sheet, int32_t count, int32_t cellWidth, int32_t cellHeight,
                          uint32_t flags)
{
    Clear();
    const LONG sheetWidth = sheet.GetWidth(), sheetHeight = sheet.GetHeight();
    const int bpp = sheet.GetBitsPerPixel();
    if (sheet.GetBits() == nullptr || (bpp != 8 && bpp != 32))
        return 1;
    // Checked before anything is allocated: negative counts and empty cells used to reach new[].
    if (count < 0 || cellWidth < 1 || cellHeight < 1 || cellWidth > sheetWidth || cellHeight > sheetHeight)
        return 2;
    const int64_t perRow = sheetWidth / cellWidth, rowsOfCells = sheetHeight / cellHeight;
    const int variants = ((flags & 1) ? 1 : 0) + ((flags & 2) ? 1 : 0);
    const int64_t rowsNeeded = (int64_t{count} + perRow - 1) / perRow;
    if (rowsNeeded * variants > rowsOfCells)
        return 2;
    m_count = count;
    m_cellWidth = cellWidth;
    m_cellHeight = cellHeight;
    const uint32_t pitch = (static_cast<uint32_t>(cellWidth) + 3) & ~3u;
    // 32-bit sheets give their alpha when they have one, else their red channel.
    const int channel = bpp == 8 ? 0 : sheet.HasAlpha() ? 3 : 2;
    const int step = bpp / 8;
    int64_t firstRow = 0;
    auto cut = [&](std::vector<std::unique_ptr<CGlyphBitmap>>& into) -> int {
        into.resize(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            // A cell that would reach past the sheet's right edge starts the next row of cells.
            const int64_t cellX = (i % perRow) * cellWidth;
            const int64_t cellY = (firstRow + i / perRow) * cellHeight;
            auto glyph = std::unique_ptr<CGlyphBitmap>(new (std::nothrow) CGlyphBitmap);
            uint8_t* pixels =
                glyph ? new (std::nothrow) uint8_t[static_cast<size_t>(pitch) * cellHeight]() : nullptr;
            if (pixels == nullptr)
                return 3;
            glyph->pixels = pixels;
            glyph->width = static_cast<uint32_t>(cellWidth);
            glyph->height = static_cast<uint32_t>(cellHeight);
            glyph->pitch = pitch;
            for (int32_t y = 0; y < cellHeight; ++y) {
                const BYTE* src = sheet.GetRowAddress(static_cast<LONG>(cellY + y)) + cellX * step + channel;
                uint8_t* dst = pixels + static_cast<size_t>(y) * pitch;
                if (step == 1)
                    CopyRows(dst, src, 0, 0, 1, cellWidth, 1);
                else
                    for (int32_t x = 0; x < cellWidth; ++x)
                        dst[x] = src[x * step];
            }
            PlaceAdvance(*glyph);
            into[static_cast<size_t>(i)] = std::move(glyph);
        }
        firstRow += rowsNeeded;
        return 0;
    };
    int result = 0;
    if (flags & 1)
        result = cut(m_first);
    if (result == 0 && (flags & 2))
        result = cut(m_second);
    if (result != 0) {
        Clear();
        return result;
    }
    m_firstOutlined.resize(m_first.size());
    m_secondOutlined.resize(m_second.size());
    return 0;
}

CGlyphBitmap* CImageGlyphTable::GetGlyph(int32_t index, uint8_t firstVariant, uint8_t outlined)
{
    if (index < 0 || index >= m_count)
        return nullptr;
    const bool useFirst = (firstVariant != 0 && !m_first.empty()) || (firstVariant == 0 && m_second.empty());
    auto& plain = useFirst ? m_first : m_second;
    auto& outlinedCopies = useFirst ? m_firstOutlined : m_secondOutlined;
    if (static_cast<size_t>(index) >= plain.size())
        return nullptr;
    CGlyphBitmap* glyph = plain[static_cast<size_t>(index)].get();
    if (!outlined)
        return glyph;
    auto& copy = outlinedCopies[static_cast<size_t>(index)];
    if (copy)
        return copy.get();
    const int r = std::min(std::abs(m_outlineRadius), 64);
    auto made = std::unique_ptr<CGlyphBitmap>(new (std::nothrow) CGlyphBitmap);
    if (!made)
        return nullptr;
    made->left = glyph->left - r;
    made->top = glyph->top - r;
    made->width = glyph->width + 2 * r;
    made->height = glyph->height + 2 * r;
    made->pitch = (made->width + 3) & ~3u;
    made->advanceX = glyph->advanceX;
    made->advanceY = glyph->advanceY;
    made->pixels = new (std::nothrow) uint8_t[static_cast<size_t>(made->pitch) * made->height]();
    if (made->pixels == nullptr)
        return nullptr;
    BuildGlyphOutline(glyph->pixels, static_cast<int>(glyph->pitch), static_cast<int>(glyph->width),
                      static_cast<int>(glyph->height), made->pixels, static_cast<int>(made->pitch),
                      m_outlineStrength, r, m_outlineKernel);
    copy = std::move(made);
    return copy.get();
}

void CImageGlyphTable::SetDirection(int32_t tenths)
{
    if (tenths == m_direction)
        return;
    m_direction = tenths;
    const int r = std::min(std::abs(m_outlineRadius), 64);
    for (auto* list : {&m_first, &m_second})
        for (auto& g : *list)
            if (g)
                PlaceAdvance(*g);
    for (int variant = 0; variant < 2; ++variant) {
        auto& plain = variant == 0 ? m_first : m_second;
        auto& outlined = variant == 0 ? m_firstOutlined : m_secondOutlined;
        for (size_t i = 0; i < outlined.size() && i < plain.size(); ++i)
            if (outlined[i]) {
                outlined[i]->advanceX = plain[i]->advanceX;
                outlined[i]->advanceY = plain[i]->advanceY;
                outlined[i]->left = plain[i]->left - r;
                outlined[i]->top = -r;
            }
    }
}

void CImageGlyphTable::SetOutline(int32_t strength, int32_t radius, int32_t kernel)
{
    m_outlineStrength = strength;
    m_outlineRadius = radius;
    m_outlineKernel = kernel;
    ClearOutlined();
}
