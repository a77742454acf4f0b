// The screen's font list: every font the factory made, owned until it is deleted singly or all at
// once.
#pragma once

#include "drawing/font.h"

#include <cstdint>
#include <list>
#include <memory>

class CFontList {
public:
    CFontList() = default;
    ~CFontList();
    CFontList(const CFontList&) = delete;
    CFontList& operator=(const CFontList&) = delete;

    // A GDI font or a glyph font made with SetFont(height, 0, 0, face) and appended. 0 ok (*out set);
    // 2 no memory; SetFont's code otherwise (nothing kept, *out null).
    int CreateGdiFont(CFont** out, const char* face, int32_t height);
    int CreateGlyphFont(CFont** out, const char* face, int32_t height);
    // 0 deleted and *font null; 1 null; 2 not in the list.
    int DeleteFont(CFont** font);
    void DeleteAllFonts();

    uint32_t Count() const { return static_cast<uint32_t>(m_fonts.size()); }
    bool Contains(const CFont* font) const;

private:
    int Add(std::unique_ptr<CFont> font, CFont** out, const char* face, int32_t height);

    std::list<std::unique_ptr<CFont>> m_fonts;
};
