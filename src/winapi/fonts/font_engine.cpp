// FreeType library and faces, face-name resolution through the alias table and fontconfig, and
// the glyph loader behind the GDI text calls.
#include "winapi/fonts/font_engine.h"

#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <hb-ft.h>
#include <hb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

#include "winapi/text.h"

namespace winapi {

namespace {

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            return static_cast<FT_Library>(nullptr);
        return l;
    }();
    return library;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

void UseFontconfig()
{
    // fontconfig's configuration is freed at exit, so that leak checks see only our own memory.
    static const bool ready = [] {
        const bool ok = FcInit() != FcFalse;
        if (ok)
            std::atexit(FcFini);
        return ok;
    }();
    (void)ready;
}

namespace {

// The faces of a Japanese Windows system and where they are served from.
struct FaceAlias {
    const char* windowsName; // UTF-8
    const char* family;
};
constexpr FaceAlias kFaceAliases[] = {
    {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},   {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"MS PGothic", "IPAPGothic"},   {"ＭＳ 明朝", "IPAMincho"},   {"MS Mincho", "IPAMincho"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},  {"MS PMincho", "IPAPMincho"}, {"MS UI Gothic", "IPAPGothic"},
};
constexpr const char* kDefaultFamily = "IPAPGothic";

// fontconfig's best match for a family: its file, index, spacing and whether one of its family
// names is the one asked for.
struct FaceMatch {
    std::string file;
    int index = 0;
    int spacing = FC_PROPORTIONAL;
    std::string family;
    bool named = false;
};

bool MatchFamily(const std::string& family, FaceMatch* out)
{
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (ok) {
        out->file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out->index);
        FcPatternGetInteger(match, FC_SPACING, 0, &out->spacing);
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            if (i == 0)
                out->family = reinterpret_cast<const char*>(name);
            if (EqualNoCase(reinterpret_cast<const char*>(name), family))
                out->named = true;
        }
    }
    FcPatternDestroy(match);
    return ok;
}

long Scale(long units, int em, int unitsPerEm, bool up)
{
    const int64_t n = static_cast<int64_t>(units) * em;
    if (up)
        return static_cast<long>(n >= 0 ? (n + unitsPerEm - 1) / unitsPerEm : -((-n) / unitsPerEm));
    return static_cast<long>(n >= 0 ? (n + unitsPerEm / 2) / unitsPerEm
                                    : -((-n + unitsPerEm / 2) / unitsPerEm));
}

unsigned long ReadFontFile(FT_Stream stream, unsigned long offset, unsigned char* buffer, unsigned long count)
{
    if (count == 0) // a seek: nonzero is an error
        return offset > stream->size ? 1 : 0;
    return static_cast<FontFile*>(stream->descriptor.pointer)->Read(offset, buffer, count);
}

// Faces stay open for the life of the process: FreeType's close has nothing to do.
void KeepFontFile(FT_Stream) {}

// → the face, or a FreeType error.
FT_Error OpenFaceFile(FT_Library library, FontFile& file, int index, FT_Face* face)
{
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = file.Stream();
    return FT_Open_Face(library, &args, index, face);
}

} // namespace

FontFile::~FontFile()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool FontFile::Open(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > ULONG_MAX) {
        close(fd);
        return false;
    }
    m_bytes.reset(new (std::nothrow) unsigned char[kBlocks * kBlockBytes]);
    if (m_bytes == nullptr) {
        close(fd);
        return false;
    }
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    for (Block& b : m_blocks)
        b = Block{};
    m_stream = FT_StreamRec{};
    m_stream.size = static_cast<unsigned long>(info.st_size);
    m_stream.descriptor.pointer = this;
    m_stream.read = ReadFontFile;
    m_stream.close = KeepFontFile;
    return true;
}

const unsigned char* FontFile::FetchBlock(unsigned long index, unsigned long* size)
{
    Block* victim = &m_blocks[0];
    for (Block& b : m_blocks) {
        if (b.index == index) {
            b.used = ++m_clock;
            *size = b.size;
            return m_bytes.get() + (&b - m_blocks) * kBlockBytes;
        }
        if (b.used < victim->used)
            victim = &b;
    }
    unsigned char* bytes = m_bytes.get() + (victim - m_blocks) * kBlockBytes;
    const unsigned long start = index * kBlockBytes;
    const unsigned long want = std::min(kBlockBytes, m_stream.size - start);
    ++m_systemReads;
    const ssize_t got = pread(m_fd, bytes, want, static_cast<off_t>(start));
    if (got <= 0) {
        *victim = Block{};
        return nullptr;
    }
    *victim = Block{index, static_cast<unsigned long>(got), ++m_clock};
    *size = victim->size;
    return bytes;
}

unsigned long FontFile::Read(unsigned long offset, unsigned char* buffer, unsigned long count)
{
    if (m_fd < 0 || offset >= m_stream.size)
        return 0;
    count = std::min(count, m_stream.size - offset);
    if (count > kBlockBytes) { // a whole table: one read, not through the blocks
        ++m_systemReads;
        const ssize_t got = pread(m_fd, buffer, count, static_cast<off_t>(offset));
        return got > 0 ? static_cast<unsigned long>(got) : 0;
    }
    unsigned long done = 0;
    while (done < count) {
        const unsigned long at = offset + done;
        unsigned long size = 0;
        const unsigned char* block = FetchBlock(at / kBlockBytes, &size);
        const unsigned long inBlock = at % kBlockBytes;
        if (block == nullptr || inBlock >= size)
            break;
        const unsigned long n = std::min(count - done, size - inBlock);
        std::memcpy(buffer + done, block + inBlock, n);
        done += n;
    }
    return done;
}

namespace {

FontFace* OpenFace(const FaceMatch& match)
{
    // Faces live as long as the process (fonts of static objects may use them at exit).
    static auto& faces = *new std::map<std::pair<std::string, int>, std::unique_ptr<FontFace>>;
    std::lock_guard lock(FontEngineLock());
    auto key = std::make_pair(match.file, match.index);
    auto it = faces.find(key);
    if (it != faces.end())
        return it->second.get();
    FT_Library library = Library();
    FT_Face face = nullptr;
    auto file = std::make_unique<FontFile>();
    if (library == nullptr || !file->Open(match.file) || OpenFaceFile(library, *file, match.index, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto entry = std::make_unique<FontFace>();
    entry->face = face;
    entry->file = std::move(file);
    entry->family = match.family;
    entry->unitsPerEm = face->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        entry->winAscent = os2->usWinAscent;
        entry->winDescent = os2->usWinDescent;
        entry->typoDescender = os2->sTypoDescender;
        entry->strikeoutPosition = os2->yStrikeoutPosition;
        entry->strikeoutSize = os2->yStrikeoutSize;
        entry->avgCharWidth = os2->xAvgCharWidth;
    } else {
        entry->winAscent = face->ascender;
        entry->winDescent = -face->descender;
        entry->typoDescender = face->descender;
    }
    if (entry->winAscent + entry->winDescent <= 0) {
        entry->winAscent = face->units_per_EM;
        entry->winDescent = 0;
    }
    if (entry->strikeoutSize <= 0) {
        entry->strikeoutSize = std::max(1, face->units_per_EM / 20);
        entry->strikeoutPosition = face->units_per_EM / 4;
    }
    entry->underlinePosition = face->underline_position;
    entry->underlineThickness =
        face->underline_thickness > 0 ? face->underline_thickness : std::max(1, face->units_per_EM / 20);
    if (entry->avgCharWidth <= 0)
        entry->avgCharWidth = face->units_per_EM / 2;
    entry->bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    entry->fixedPitch = match.spacing == FC_MONO || match.spacing == FC_DUAL;
    hb_face_t* shaperFace = hb_ft_face_create_referenced(face);
    entry->shaper = hb_font_create(shaperFace);
    hb_face_destroy(shaperFace);
    FontFace* result = entry.get();
    faces.emplace(key, std::move(entry));
    return result;
}

// The glyph a vertical ("@") face draws for a double-byte character: its 'vert' form.
FT_UInt VerticalForm(FontFace& face, FT_UInt glyph, char32_t unicode)
{
    auto it = face.verticalForms.find(glyph);
    if (it != face.verticalForms.end())
        return it->second;
    FT_UInt result = glyph;
    if (face.shaper != nullptr) {
        hb_buffer_t* buffer = hb_buffer_create();
        const uint32_t u = unicode;
        hb_buffer_add_utf32(buffer, &u, 1, 0, 1);
        hb_buffer_set_direction(buffer, HB_DIRECTION_TTB);
        hb_buffer_set_language(buffer, hb_language_from_string("ja", -1));
        hb_buffer_guess_segment_properties(buffer);
        hb_feature_t feature;
        hb_feature_from_string("vert", -1, &feature);
        hb_shape(face.shaper, buffer, &feature, 1);
        unsigned int count = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
        if (count == 1 && info[0].codepoint != 0)
            result = info[0].codepoint;
        hb_buffer_destroy(buffer);
    }
    face.verticalForms.emplace(glyph, result);
    return result;
}

FT_Matrix RotationMatrix(int tenths)
{
    const double angle = static_cast<double>(tenths % 3600) * M_PI / 1800.0;
    const auto c = static_cast<FT_Fixed>(std::lround(std::cos(angle) * 65536.0));
    const auto s = static_cast<FT_Fixed>(std::lround(std::sin(angle) * 65536.0));
    return FT_Matrix{c, -s, s, c};
}

} // namespace

std::recursive_mutex& FontEngineLock()
{
    static auto* mutex = new std::recursive_mutex; // used by static destructors of fonts
    return *mutex;
}

FontFace* OpenFaceForFamily(const std::string& family)
{
    // Fonts are rebuilt by every setter: each name is matched once.
    static auto& known = *new std::map<std::string, FontFace*>;
    std::lock_guard lock(FontEngineLock());
    auto it = known.find(family);
    if (it != known.end())
        return it->second;
    FaceMatch match;
    FontFace* face = MatchFamily(family, &match) ? OpenFace(match) : nullptr;
    known.emplace(family, face);
    return face;
}

std::string ResolveFaceName(const CHAR (&faceName)[LF_FACESIZE], bool* vertical)
{
    size_t length = 0;
    while (length < LF_FACESIZE && faceName[length] != '\0')
        ++length;
    std::string_view name(faceName, length);
    *vertical = !name.empty() && name[0] == '@';
    if (*vertical)
        name.remove_prefix(1);
    if (name.empty())
        return kDefaultFamily;
    const std::string utf8 = SjisToUtf8(name);
    for (const FaceAlias& alias : kFaceAliases)
        if (EqualNoCase(utf8, alias.windowsName))
            return alias.family;
    static auto& installed = *new std::map<std::string, bool>;
    std::lock_guard lock(FontEngineLock());
    auto it = installed.find(utf8);
    if (it == installed.end()) {
        FaceMatch match;
        it = installed.emplace(utf8, MatchFamily(utf8, &match) && match.named).first;
    }
    return it->second ? utf8 : kDefaultFamily;
}

GdiFont::~GdiFont()
{
    if (size != nullptr) {
        std::lock_guard lock(FontEngineLock());
        FT_Done_Size(size);
    }
}

std::shared_ptr<GdiFont> GdiFindFont(const void* handle)
{
    auto object = GdiFind(handle);
    if (!object || object->Kind() != GdiKind::Font)
        return nullptr;
    return std::static_pointer_cast<GdiFont>(object);
}

std::shared_ptr<GdiFont> DcFont(GdiDc& dc)
{
    std::shared_ptr<GdiObject> selected;
    {
        std::lock_guard lock(GdiLock());
        selected = dc.font;
    }
    // The stock font registers itself on first use: made outside the registry's lock.
    return selected ? std::static_pointer_cast<GdiFont>(selected) : StockFont();
}

HGDIOBJ SelectFontIntoDc(GdiDc& dc, const std::shared_ptr<GdiFont>& font)
{
    auto stock = StockFont();
    std::lock_guard lock(GdiLock());
    std::shared_ptr<GdiObject> previous = dc.font ? dc.font : std::static_pointer_cast<GdiObject>(stock);
    dc.font = font;
    return previous.get();
}

std::vector<unsigned> SplitCodes(const char* text, int count)
{
    std::vector<unsigned> codes;
    if (text == nullptr || count <= 0)
        return codes;
    codes.reserve(static_cast<size_t>(count));
    ForEachCode(text, count, [&](unsigned code) { codes.push_back(code); });
    return codes;
}

namespace {

// The glyph index for a code; 0 when there is none.
FT_UInt GlyphIndex(GdiFont& font, unsigned code)
{
    const char32_t unicode = SjisCodeToUnicode(code);
    if (unicode == 0)
        return 0;
    FT_UInt glyph = FT_Get_Char_Index(font.face->face, unicode);
    if (glyph != 0 && font.vertical && code > 255)
        glyph = VerticalForm(*font.face, glyph, unicode);
    return glyph;
}

bool LoadOutline(GdiFont& font, FT_UInt glyph, bool mono)
{
    if (FT_Activate_Size(font.size) != 0)
        return false;
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(font.face->face, glyph, flags) != 0)
        return false;
    return font.face->face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
}

} // namespace

namespace {

uint32_t AdvanceKey(unsigned code, bool mono)
{
    return (code & 0xFFFF) | (mono ? 0x10000u : 0);
}

} // namespace

int FontAdvance(GdiFont& font, unsigned code, bool mono)
{
    std::lock_guard lock(FontEngineLock());
    const uint32_t key = AdvanceKey(code, mono);
    auto it = font.advances.find(key);
    if (it != font.advances.end())
        return it->second;
    const FT_UInt glyph = GlyphIndex(font, code);
    int advance = 0;
    if (glyph != 0 && LoadOutline(font, glyph, mono))
        advance = static_cast<int>((font.face->face->glyph->advance.x + 32) >> 6) + font.boldStrength;
    font.advances.emplace(key, advance);
    return advance;
}

bool LoadFontGlyph(GdiFont& font, unsigned code, const GlyphRequest& request, GlyphImage* out)
{
    std::lock_guard lock(FontEngineLock());
    const FT_UInt glyph = GlyphIndex(font, code);
    if (glyph == 0 || !LoadOutline(font, glyph, request.mono))
        return false;
    FT_GlyphSlot slot = font.face->face->glyph;
    FT_Outline* outline = &slot->outline;
    const int advance = static_cast<int>((slot->advance.x + 32) >> 6) + font.boldStrength;
    // Kept for the measuring that follows a new glyph's drawing, which would load it again.
    font.advances.emplace(AdvanceKey(code, request.mono), advance);
    if (font.boldStrength > 0)
        FT_Outline_EmboldenXY(outline, font.boldStrength * 64, 0);
    if (font.logfont.lfItalic != 0)
        FT_GlyphSlot_Oblique(slot);
    if (font.vertical && code > 255) {
        // A quarter turn counterclockwise about the em square's centre: upright at 2700.
        // Whole pixels, so that turning back at 2700 only moves the glyph by whole pixels.
        const FT_Pos cx = (font.em / 2) * 64;
        const FT_Pos cy =
            (Scale(font.face->typoDescender, font.em, font.face->unitsPerEm, false) + font.em / 2) * 64;
        FT_Outline_Translate(outline, -cx, -cy);
        FT_Matrix turn{0, -0x10000, 0x10000, 0};
        FT_Outline_Transform(outline, &turn);
        FT_Outline_Translate(outline, cx, cy);
    }
    FT_Vector pen{static_cast<FT_Pos>(advance) * 64, 0};
    const int escapement = font.logfont.lfEscapement % 3600;
    if (request.turn && escapement != 0) {
        const FT_Matrix rotation = RotationMatrix(escapement);
        FT_Outline_Transform(outline, &rotation);
        FT_Vector_Transform(&pen, &rotation);
    }
    if (request.matrix != nullptr) {
        FT_Outline_Transform(outline, request.matrix);
        FT_Vector_Transform(&pen, request.matrix);
    }
    out->advance = pen;
    // A matrix may blow a glyph up far beyond any screen: such glyphs are refused.
    FT_BBox box;
    FT_Outline_Get_CBox(outline, &box);
    constexpr FT_Pos kLargest = FT_Pos{8192} * 64;
    if (box.xMax - box.xMin > kLargest || box.yMax - box.yMin > kLargest ||
        std::abs(box.xMin) > 4 * kLargest || std::abs(box.yMin) > 4 * kLargest)
        return false;
    if (!request.render) {
        out->width = out->rows = out->pitch = 0;
        out->bits.clear();
        return true;
    }
    if (FT_Render_Glyph(slot, request.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    out->left = slot->bitmap_left;
    out->top = slot->bitmap_top;
    out->width = static_cast<int>(bitmap.width);
    out->rows = static_cast<int>(bitmap.rows);
    out->pitch = std::abs(bitmap.pitch);
    bool ink = false;
    // A flattened glyph can come back with rows but no columns and no buffer.
    if (bitmap.buffer == nullptr || out->width == 0 || out->pitch == 0)
        out->rows = 0;
    out->bits.resize(static_cast<size_t>(out->pitch) * out->rows);
    for (int y = 0; y < out->rows; ++y) {
        const unsigned char* row =
            bitmap.pitch >= 0 ? bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch
                              : bitmap.buffer + static_cast<ptrdiff_t>(out->rows - 1 - y) * -bitmap.pitch;
        std::memcpy(out->bits.data() + static_cast<size_t>(y) * out->pitch, row,
                    static_cast<size_t>(out->pitch));
        for (int x = 0; x < out->pitch && !ink; ++x)
            ink = row[x] != 0;
    }
    if (!ink) {
        // A glyph without ink (a space) has no bitmap.
        out->width = out->rows = out->pitch = 0;
        out->bits.clear();
    }
    return true;
}

// Builds a font from a description on the shared face of its family.
std::shared_ptr<GdiFont> MakeFont(const LOGFONTA& logfont)
{
    bool vertical = false;
    const std::string family = ResolveFaceName(logfont.lfFaceName, &vertical);
    FontFace* face = OpenFaceForFamily(family);
    if (face == nullptr)
        face = OpenFaceForFamily(kDefaultFamily);
    if (face == nullptr)
        return nullptr;
    int64_t em = 16;
    if (logfont.lfHeight < 0)
        em = -static_cast<int64_t>(logfont.lfHeight);
    else if (logfont.lfHeight > 0)
        em = (static_cast<int64_t>(logfont.lfHeight) * face->unitsPerEm +
              (face->winAscent + face->winDescent) / 2) /
             (face->winAscent + face->winDescent);
    if (em > 4096)
        return nullptr;
    em = std::max<int64_t>(em, 1);
    auto font = std::make_shared<GdiFont>();
    font->logfont = logfont;
    font->face = face;
    font->em = static_cast<int>(em);
    font->vertical = vertical;
    {
        std::lock_guard lock(FontEngineLock());
        if (FT_New_Size(face->face, &font->size) != 0)
            return nullptr;
        if (FT_Activate_Size(font->size) != 0 ||
            FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(em)) != 0)
            return nullptr;
    }
    font->ascent = static_cast<int>(Scale(face->winAscent, font->em, face->unitsPerEm, true));
    font->descent = static_cast<int>(Scale(face->winDescent, font->em, face->unitsPerEm, true));
    if (logfont.lfWeight >= FW_SEMIBOLD && !face->bold)
        font->boldStrength = font->em / 50 + 1;
    return font;
}

std::shared_ptr<GdiFont> StockFont()
{
    static std::shared_ptr<GdiFont> stock = [] {
        LOGFONTA logfont{};
        logfont.lfHeight = -16;
        logfont.lfWeight = FW_NORMAL;
        logfont.lfCharSet = SHIFTJIS_CHARSET;
        auto font = MakeFont(logfont);
        if (font) {
            font->stock = true;
            GdiRegister(font);
        }
        return font;
    }();
    return stock;
}

} // namespace winapi
