// The GDI font calls that measure: CreateFontIndirectA, GetTextMetricsA, GetTextExtentPoint32A
// and GetGlyphOutlineA.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "winapi/fonts/font_engine.h"

namespace winapi {

namespace {

std::atomic<bool> g_greyRefused{false};

FT_Fixed FixedValue(const FIXED& f)
{
    return static_cast<FT_Fixed>(f.value) * 65536 + f.fract;
}

// Bytes of one row of a glyph bitmap in a format.
size_t RowBytes(UINT format, int width)
{
    if (format == GGO_BITMAP)
        return static_cast<size_t>((width + 31) / 32) * 4;
    return static_cast<size_t>((width + 3) & ~3);
}

} // namespace

void SetGreyGlyphFormatsRefused(bool refused)
{
    g_greyRefused = refused;
}

} // namespace winapi

using namespace winapi;

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* font)
{
    if (font == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto made = MakeFont(*font);
    if (!made) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiRegister(made);
    return reinterpret_cast<HFONT>(static_cast<GdiObject*>(made.get()));
}

BOOL WINAPI GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || metrics == nullptr)
        return FALSE;
    auto font = DcFont(*dc);
    if (!font)
        return FALSE;
    const FontFace& face = *font->face;
    TEXTMETRICA tm{};
    tm.tmAscent = font->ascent;
    tm.tmDescent = font->descent;
    tm.tmHeight = font->ascent + font->descent;
    tm.tmInternalLeading = std::max(0, tm.tmHeight - font->em);
    tm.tmAveCharWidth = static_cast<LONG>(
        (static_cast<int64_t>(face.avgCharWidth) * font->em + face.unitsPerEm / 2) / face.unitsPerEm);
    {
        std::lock_guard lock(FontEngineLock());
        const FT_BBox& box = face.face->bbox;
        tm.tmMaxCharWidth = static_cast<LONG>(
            (static_cast<int64_t>(box.xMax - box.xMin) * font->em + face.unitsPerEm - 1) / face.unitsPerEm);
    }
    tm.tmWeight = font->logfont.lfWeight == 0 ? FW_NORMAL : font->logfont.lfWeight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = font->logfont.lfItalic;
    tm.tmUnderlined = font->logfont.lfUnderline;
    tm.tmStruckOut = font->logfont.lfStrikeOut;
    tm.tmPitchAndFamily = face.fixedPitch ? FIXED_PITCH : VARIABLE_PITCH;
    tm.tmCharSet = font->logfont.lfCharSet;
    *metrics = tm;
    return TRUE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || size == nullptr || (text == nullptr && count > 0) || count < 0)
        return FALSE;
    auto font = DcFont(*dc);
    if (!font)
        return FALSE;
    const bool mono = font->logfont.lfQuality == NONANTIALIASED_QUALITY;
    int64_t width = 0;
    ForEachCode(text, count, [&](unsigned code) { width += FontAdvance(*font, code, mono); });
    size->cx = static_cast<LONG>(std::min<int64_t>(width, INT32_MAX));
    size->cy = font->ascent + font->descent;
    return TRUE;
}

DWORD WINAPI GetGlyphOutlineA(HDC hdc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize,
                              LPVOID buffer, const MAT2* matrix)
{
    auto dc = GdiFindDc(hdc);
    if (!dc || metrics == nullptr)
        return GDI_ERROR;
    const bool grey = format == GGO_GRAY4_BITMAP || format == GGO_GRAY8_BITMAP;
    if (format != GGO_METRICS && format != GGO_BITMAP && !grey)
        return GDI_ERROR;
    if (grey && g_greyRefused)
        return GDI_ERROR;
    auto font = DcFont(*dc);
    if (!font || code > 0xFFFF)
        return GDI_ERROR;
    FT_Matrix extra{0x10000, 0, 0, 0x10000};
    if (matrix != nullptr)
        extra = FT_Matrix{FixedValue(matrix->eM11), FixedValue(matrix->eM21), FixedValue(matrix->eM12),
                          FixedValue(matrix->eM22)};
    const bool identity = extra.xx == 0x10000 && extra.yy == 0x10000 && extra.xy == 0 && extra.yx == 0;
    const bool mono =
        format == GGO_BITMAP || (format == GGO_METRICS && font->logfont.lfQuality == NONANTIALIASED_QUALITY);

    std::lock_guard lock(FontEngineLock());
    // The size query and the fill that follows it render once.
    const uint64_t key = (uint64_t{code} << 8) | (mono ? 1 : 0);
    const bool same =
        font->lastValid && font->lastKey == key && std::memcmp(&font->lastMatrix, &extra, sizeof extra) == 0;
    if (!same) {
        GlyphRequest request;
        request.mono = mono;
        request.matrix = identity ? nullptr : &extra;
        font->lastFound = LoadFontGlyph(*font, code, request, &font->lastImage);
        font->lastValid = true;
        font->lastKey = key;
        font->lastMatrix = extra;
    }
    if (!font->lastFound)
        return GDI_ERROR;
    const GlyphImage& image = font->lastImage;
    const bool empty = image.width == 0 || image.rows == 0;
    GLYPHMETRICS gm{};
    gm.gmBlackBoxX = empty ? 0 : static_cast<UINT>(image.width);
    gm.gmBlackBoxY = empty ? 0 : static_cast<UINT>(image.rows);
    gm.gmptGlyphOrigin = POINT{image.left, image.top};
    gm.gmCellIncX = static_cast<SHORT>(std::clamp<FT_Pos>((image.advance.x + 32) >> 6, -32768, 32767));
    gm.gmCellIncY = static_cast<SHORT>(std::clamp<FT_Pos>((image.advance.y + 32) >> 6, -32768, 32767));
    *metrics = gm;
    if (format == GGO_METRICS)
        return 1;
    if (empty)
        return 0;
    const size_t rowBytes = RowBytes(format, image.width);
    const size_t size = rowBytes * image.rows;
    if (buffer == nullptr)
        return static_cast<DWORD>(size);
    if (bufferSize < size)
        return GDI_ERROR;
    auto* out = static_cast<BYTE*>(buffer);
    std::memset(out, 0, size);
    const int levels = format == GGO_GRAY4_BITMAP ? 16 : 64;
    for (int y = 0; y < image.rows; ++y) {
        const uint8_t* src = image.bits.data() + static_cast<size_t>(y) * image.pitch;
        BYTE* dst = out + rowBytes * y;
        if (format == GGO_BITMAP) {
            std::memcpy(dst, src, std::min<size_t>(static_cast<size_t>(image.pitch), rowBytes));
            continue;
        }
        for (int x = 0; x < image.width; ++x)
            dst[x] = static_cast<BYTE>((src[x] * levels + 127) / 255);
    }
    return static_cast<DWORD>(size);
}
