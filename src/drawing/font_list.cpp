#include "drawing/font_list.h"

#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"

#include <new>

CFontList::~CFontList()
{
    DeleteAllFonts();
}

int CFontList::Add(std::unique_ptr<CFont> font, CFont** out, const char* face, int32_t height)
{
    if (out == nullptr)
        return 2;
    *out = nullptr;
    if (!font)
        return 2;
    const int result = font->SetFont(height, 0, 0, face);
    if (result != 0)
        return result;
    *out = font.get();
    m_fonts.push_back(std::move(font));
    return 0;
}

int CFontList::CreateGdiFont(CFont** out, const char* face, int32_t height)
{
    return Add(std::unique_ptr<CFont>(new (std::nothrow) CGdiFont), out, face, height);
}

int CFontList::CreateGlyphFont(CFont** out, const char* face, int32_t height)
{
    return Add(std::unique_ptr<CFont>(new (std::nothrow) CGlyphFont), out, face, height);
}

int CFontList::DeleteFont(CFont** font)
{
    if (font == nullptr || *font == nullptr)
        return 1;
    for (auto it = m_fonts.begin(); it != m_fonts.end(); ++it)
        if (it->get() == *font) {
            m_fonts.erase(it);
            *font = nullptr;
            return 0;
        }
    return 2;
}

void CFontList::DeleteAllFonts()
{
    m_fonts.clear();
}

bool CFontList::Contains(const CFont* font) const
{
    for (const auto& f : m_fonts)
        if (f.get() == font)
            return true;
    return false;
}
