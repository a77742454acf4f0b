// The FreeType side of the GDI fonts: shared faces, face-name resolution, logical font objects
// and the glyph loader that GetGlyphOutlineA, GetTextExtentPoint32A and TextOutA share. Every
// FreeType call runs under FontEngineLock(). Internal to winapi.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "winapi/fonts/fonts.h"
#include "winapi/gdi_object.h"
#include "winapi/text.h"

struct hb_font_t;

namespace winapi {

std::recursive_mutex& FontEngineLock();
// Initialises fontconfig once (and frees it at exit); every fontconfig user calls it first.
void UseFontconfig();

// A face file as FreeType's stream. Files are read, not mapped: the glyphs a game shows lie
// scattered over a face's several megabytes, and each touch of a mapped page brings its
// neighbours in too (about 3 MB resident for the two faces of a game's first screens). FreeType
// reads a glyph's metrics a field at a time, and neighbouring glyphs share the blocks of their
// metrics and outlines, so small reads come from a few cached blocks (one call each otherwise).
class FontFile {
public:
    static constexpr unsigned long kBlockBytes = 4096;
    static constexpr unsigned kBlocks = 16;

    FontFile() = default;
    ~FontFile();
    FontFile(const FontFile&) = delete;
    FontFile& operator=(const FontFile&) = delete;

    // Opens path for reading → true; false (nothing open) when it cannot be read or is empty.
    bool Open(const std::string& path);
    // Copies [offset, offset + count) into buffer → the bytes copied (fewer at the end of the
    // file or on a read error).
    unsigned long Read(unsigned long offset, unsigned char* buffer, unsigned long count);
    unsigned long Size() const { return m_stream.size; }
    // The stream FreeType reads through (it stays owned here).
    FT_Stream Stream() { return &m_stream; }
    // Reads the system was asked for (for tests and profiles).
    uint64_t SystemReads() const { return m_systemReads; }

private:
    struct Block {
        unsigned long index = ULONG_MAX; // block number in the file; ULONG_MAX: empty
        unsigned long size = 0;
        uint64_t used = 0; // for choosing the least recently used
    };
    // The cached block of a number (read on a miss), its byte count in *size; null on an error.
    const unsigned char* FetchBlock(unsigned long index, unsigned long* size);

    FT_StreamRec m_stream{};
    int m_fd = -1;
    Block m_blocks[kBlocks];
    std::unique_ptr<unsigned char[]> m_bytes; // kBlocks × kBlockBytes
    uint64_t m_clock = 0;
    uint64_t m_systemReads = 0;
};

// One face file, opened once for the life of the process.
struct FontFace {
    FT_Face face = nullptr;
    std::unique_ptr<FontFile> file; // what the face reads from
    hb_font_t* shaper = nullptr; // for the vertical forms of "@" faces
    std::string family;
    int unitsPerEm = 1000;
    int winAscent = 0; // font units
    int winDescent = 0;
    int typoDescender = 0; // negative below the baseline
    int underlinePosition = 0;
    int underlineThickness = 0;
    int strikeoutPosition = 0;
    int strikeoutSize = 0;
    int avgCharWidth = 0;
    bool bold = false;
    bool fixedPitch = false;
    std::unordered_map<uint32_t, uint32_t> verticalForms; // glyph index → vertical glyph index
};

// The face file for a family name (UTF-8) as fontconfig names it; null when there is none.
FontFace* OpenFaceForFamily(const std::string& family);

// The family a LOGFONTA face name resolves to (UTF-8): the Windows alias table, then fontconfig
// when the match bears the name, else IPAPGothic. `vertical` receives whether it began with "@".
std::string ResolveFaceName(const CHAR (&faceName)[LF_FACESIZE], bool* vertical);

// One glyph as the stand-in renders it.
struct GlyphImage {
    int left = 0; // pixels right of the origin
    int top = 0;  // pixels above the origin
    int width = 0;
    int rows = 0;
    int pitch = 0;             // bytes a row of bits
    std::vector<uint8_t> bits; // mono: MSB-first rows; grey: 0..255
    FT_Vector advance{0, 0};   // 26.6, transformed, y upwards
};

class GdiFont : public GdiObject {
public:
    GdiFont() : GdiObject(GdiKind::Font) {}
    ~GdiFont() override;

    LOGFONTA logfont{};
    FontFace* face = nullptr;
    FT_Size size = nullptr; // this font's pixel size on the shared face
    int em = 16;            // pixels
    int ascent = 0;         // pixels, rounded up
    int descent = 0;
    int boldStrength = 0;  // pixels of synthetic emboldening (0: none)
    bool vertical = false; // an "@" face
    bool stock = false;
    // Under FontEngineLock: advances by code (bit 16: mono load), and the last glyph that
    // GetGlyphOutlineA rendered (its size query and its fill come in pairs).
    std::unordered_map<uint32_t, int> advances;
    bool lastValid = false;
    uint64_t lastKey = 0;
    FT_Matrix lastMatrix{};
    bool lastFound = false;
    GlyphImage lastImage;
};

std::shared_ptr<GdiFont> GdiFindFont(const void* handle);
// The font a DC draws with: its selected font or the stock font.
std::shared_ptr<GdiFont> DcFont(GdiDc& dc);
std::shared_ptr<GdiFont> StockFont();
// A font from a description (CreateFontIndirectA without registering); null as that call.
std::shared_ptr<GdiFont> MakeFont(const LOGFONTA& logfont);
// SelectObject of a font: the previous font's handle (the stock font's when none was selected).
HGDIOBJ SelectFontIntoDc(GdiDc& dc, const std::shared_ptr<GdiFont>& font);

// Calls each(code) for the characters of a text in order: a lead byte takes the next byte as its
// trail, except at the end or before a NUL. Nothing is allocated (measuring runs per keystroke).
template <class Each> void ForEachCode(const char* text, int count, Each&& each)
{
    if (text == nullptr)
        return;
    for (int i = 0; i < count; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsSjisLeadByte(c) && i + 1 < count && text[i + 1] != '\0') {
            each(c * 256u + static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            each(unsigned{c});
        }
    }
}
// The same characters as a list.
std::vector<unsigned> SplitCodes(const char* text, int count);

// Rendering options: mono (one bit) or grey; an extra 16.16 matrix after the escapement;
// render false measures only.
struct GlyphRequest {
    bool mono = true;
    bool render = true;
    const FT_Matrix* matrix = nullptr;
    bool turn = true; // apply the font's escapement
};

// false when the code has no Unicode form or the face has no glyph for it.
bool LoadFontGlyph(GdiFont& font, unsigned code, const GlyphRequest& request, GlyphImage* out);
// The untransformed advance in whole pixels (0 for a code without a glyph).
int FontAdvance(GdiFont& font, unsigned code, bool mono);

} // namespace winapi
