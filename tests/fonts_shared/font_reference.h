// FreeType itself as the reference for the font tests: the face file fontconfig names for a
// family, rendered the plain FreeType way. Header-only; tests that include it link FreeType and
// fontconfig directly.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <cstdint>
#include <string>
#include <vector>

namespace font_reference {

inline std::string FamilyFile(const char* family)
{
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string file;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
        file = reinterpret_cast<const char*>(path);
    if (match != nullptr)
        FcPatternDestroy(match);
    return file;
}

// One rendered glyph: coverage 0/255 (mono) or 0..255 (grey), top-down rows of width bytes.
struct Glyph {
    bool found = false;
    int left = 0, top = 0, width = 0, rows = 0;
    int advance = 0; // whole pixels
    std::vector<uint8_t> pixels;
    bool At(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < width && y < rows && pixels[static_cast<size_t>(y) * width + x] != 0;
    }
};

class Face {
public:
    explicit Face(const char* family)
    {
        FT_Init_FreeType(&library_);
        const std::string file = FamilyFile(family);
        if (!file.empty())
            FT_New_Face(library_, file.c_str(), 0, &face_);
    }
    ~Face()
    {
        if (face_)
            FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    FT_Face Get() const { return face_; }

    Glyph Render(char32_t unicode, int em, bool mono) const
    {
        Glyph g;
        FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(em));
        const FT_Int32 flags =
            FT_LOAD_NO_BITMAP | FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Get_Char_Index(face_, unicode) == 0 || FT_Load_Char(face_, unicode, flags) != 0)
            return g;
        const FT_GlyphSlot slot = face_->glyph;
        g.found = true;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(slot->bitmap.width);
        g.rows = static_cast<int>(slot->bitmap.rows);
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.pixels.resize(static_cast<size_t>(g.width) * g.rows);
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                const unsigned char* row = slot->bitmap.buffer + y * slot->bitmap.pitch;
                g.pixels[static_cast<size_t>(y) * g.width + x] =
                    mono ? ((row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0) : row[x];
            }
        return g;
    }

    // usWinAscent and usWinDescent scaled to em pixels and rounded up.
    void Extent(int em, int* ascent, int* descent) const
    {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        const int units = face_->units_per_EM;
        *ascent = static_cast<int>((int64_t{os2->usWinAscent} * em + units - 1) / units);
        *descent = static_cast<int>((int64_t{os2->usWinDescent} * em + units - 1) / units);
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

} // namespace font_reference
