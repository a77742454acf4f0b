// Inline pictures drawn in place of characters ("@12" in a text): cells cut from a glyph sheet
// image in one or two variants, with outlined copies built on demand. Shared by reference count
// between the fonts that hold it.
#pragma once

#include "drawing/glyph_cache.h"

#include <cstdint>
#include <memory>
#include <vector>

class CImage;

class CImageGlyphTable {
public:
    CImageGlyphTable() = default;
    ~CImageGlyphTable();
    CImageGlyphTable(const CImageGlyphTable&) = delete;
    CImageGlyphTable& operator=(const CImageGlyphTable&) = delete;

    // Loads the sheet by name and cuts it (flags bit 0: the first variant, bit 1: the second).
    // 0 ok; 1 the sheet cannot be loaded; 2 bad count or cell size, or the cells do not fit; 3 no memory.
    int Load(const char* sheet, int32_t count, int32_t cellWidth, int32_t cellHeight, uint32_t flags);
    // As Load, from a picture already in memory (8 or 32 bits; 32-bit sheets give their alpha, or
    // their red channel when they have none).
    int Cut(const CImage& sheet, int32_t count, int32_t cellWidth, int32_t cellHeight, uint32_t flags);
    void Clear();
    void ClearOutlined();
    // Null for an index outside 0 .. count - 1.
    CGlyphBitmap* GetGlyph(int32_t index, uint8_t firstVariant, uint8_t outlined);
    void SetDirection(int32_t tenths);
    void SetOutline(int32_t strength, int32_t radius, int32_t kernel);

    int32_t Count() const { return m_count; }
    int32_t CellWidth() const { return m_cellWidth; }
    int32_t CellHeight() const { return m_cellHeight; }
    int32_t Direction() const { return m_direction; }

    uint32_t m_references = 0; // holders beyond the first

private:
    void PlaceAdvance(CGlyphBitmap& glyph) const;

    std::vector<std::unique_ptr<CGlyphBitmap>> m_first;
    std::vector<std::unique_ptr<CGlyphBitmap>> m_second;
    std::vector<std::unique_ptr<CGlyphBitmap>> m_firstOutlined;
    std::vector<std::unique_ptr<CGlyphBitmap>> m_secondOutlined;
    int32_t m_count = 0;
    int32_t m_cellWidth = 0;
    int32_t m_cellHeight = 0;
    int32_t m_direction = 0;
    int32_t m_outlineStrength = 1024;
    int32_t m_outlineRadius = 2;
    int32_t m_outlineKernel = 1872;
};
