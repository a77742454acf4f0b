// Natives 166-199 (see font_natives.h).
#include "natives/font_natives.h"

#include <cstring>

#include "display/app_frame.h"
#include "display/display_objects.h"
#include "display/screen.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/installed_font_list.h"
#include "drawing/text_image.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "winapi/gdi_dc.h"

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);
// Heights past this would make GDI render a glyph plane of gigabytes; refused before any work.
constexpr int32_t kMaxFontHeight = 4096;

bool HeightFits(int32_t height)
{
    return height >= -kMaxFontHeight && height <= kMaxFontHeight;
}

// The font behind word k, or null (no host, 0, stale, foreign or not a font).
CFont* FontAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? host->Object<CFont>(args.U32(k)) : nullptr;
}

template <class T>
T* FontAs(SobNativeArgs& args, uint32_t k)
{
    return dynamic_cast<T*>(FontAt(args, k));
}

// The image of the surface in word k (GetSurfaceImage), or null.
CImage* ImageAt(SobNativeArgs& args, uint32_t k)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? GetSurfaceImage(host->Object<CSurface>(args.U32(k))) : nullptr;
}

// An optional font word: 0 is the default font (the text operations' own null); false for a
// word that names no font.
bool OptionalFont(SobNativeArgs& args, uint32_t k, CFont** font)
{
    *font = nullptr;
    if (args.IsNull(k))
        return true;
    *font = FontAt(args, k);
    return *font != nullptr;
}

// An out address given as word k: 0 is none; any other must hold `size` bytes of script memory.
bool OutSpan(SobNativeArgs& args, uint32_t k, uint32_t size)
{
    return args.IsNull(k) || args.Span(k, size) != nullptr;
}

uint32_t CreateFont(SobNativeArgs& args, bool glyph)
{
    CScriptHostBase* host = NativeHost(args);
    const char* face = NativeOptionalString(args, 1);
    const int32_t height = args.I32(2);
    if (!OutSpan(args, 0, 4) || args.Faulted())
        return 0;
    if (host == nullptr || g_pDisplay == nullptr || !HeightFits(height))
        return 0;
    CFont* font = nullptr;
    const int code = glyph ? g_pDisplay->CreateGlyphFont(&font, face, height)
                           : g_pDisplay->CreateGdiFont(&font, face, height);
    if (code != 0 || font == nullptr)
        return 0;
    const uint32_t handle = host->ObjectHandle(font);
    if (handle == 0) {
        g_pDisplay->DeleteFont(&font); // a full handle table: nothing the script could reach
        return 0;
    }
    if (!args.IsNull(0))
        args.Out32(0, handle);
    return handle;
}

// Words 1-3 of a call as the low bytes.
void Bytes3(SobNativeArgs& args, uint8_t out[3])
{
    for (uint32_t i = 0; i < 3; ++i)
        out[i] = static_cast<uint8_t>(args.U32(i + 1));
}

} // namespace

CInstalledFontList& ScriptInstalledFonts()
{
    static CInstalledFontList list;
    return list;
}

uint32_t NativeDeleteAllFonts(SobNativeArgs&)
{
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->DeleteAllFonts();
    return 0;
}

uint32_t NativeCreateGdiFont(SobNativeArgs& args)
{
    return CreateFont(args, false);
}

uint32_t NativeCreateGlyphFont(SobNativeArgs& args)
{
    return CreateFont(args, true);
}

uint32_t NativeDeleteFont(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    if (font == nullptr || g_pDisplay == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(g_pDisplay->DeleteFont(&font));
}

uint32_t NativeSetDefaultFont(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    if (font == nullptr)
        return 0;
    g_pDefaultFont = font;
    return 1;
}

uint32_t NativeFontFaceName(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const char* face = NativeOptionalString(args, 1);
    if (args.Faulted() || font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetFaceName(face));
}

uint32_t NativeFontHeight(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const int32_t height = args.I32(1);
    if (font == nullptr)
        return kMinus1;
    if (!HeightFits(height))
        return 1; // as a font that could not be made, the old one kept
    return static_cast<uint32_t>(font->SetHeight(height));
}

uint32_t NativeFontStyle(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const uint8_t bold = static_cast<uint8_t>(args.U32(1));
    const uint8_t italic = static_cast<uint8_t>(args.U32(2));
    if (font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetStyle(bold, italic));
}

uint32_t NativeFontAngle(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const int32_t tenths = args.I32(1);
    if (font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetAngle(tenths));
}

uint32_t NativeFontAntialias(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const uint8_t mode = static_cast<uint8_t>(args.U32(1));
    if (font == nullptr)
        return 0;
    font->SetAntialias(mode);
    return 1;
}

uint32_t NativeFontTextColor(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    uint8_t rgb[3];
    Bytes3(args, rgb);
    if (font == nullptr)
        return 0;
    font->SetTextColor(rgb[0], rgb[1], rgb[2]);
    return 1;
}

uint32_t NativeFontShadowSpacing(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const int32_t x = args.I32(1), y = args.I32(2), spacing = args.I32(3);
    if (font == nullptr)
        return 0;
    font->SetShadowOffset(x, y);
    font->SetLineSpacing(spacing);
    return 1;
}

uint32_t NativeFontBackColor(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    uint8_t rgb[3];
    Bytes3(args, rgb);
    if (font == nullptr)
        return 0;
    std::memcpy(font->m_bgColor, rgb, 3);
    return 1;
}

uint32_t NativeFontSetColors(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const uint32_t text = args.U32(1), effect = args.U32(2);
    if (font == nullptr)
        return kMinus1;
    // 0xFFFFFFFF keeps a colour as it is.
    if (text != 0xFFFFFFFFu)
        font->SetTextColor(static_cast<uint8_t>(text >> 16), static_cast<uint8_t>(text >> 8),
                           static_cast<uint8_t>(text));
    if (effect != 0xFFFFFFFFu)
        font->SetEffect(font->m_effectMode, static_cast<uint8_t>(effect >> 16), static_cast<uint8_t>(effect >> 8),
                        static_cast<uint8_t>(effect));
    return 0;
}

uint32_t NativeFontEffectMode(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const uint8_t mode = static_cast<uint8_t>(args.U32(1));
    if (font == nullptr)
        return 0;
    font->m_effectMode = mode;
    return 1;
}

uint32_t NativeFontUnderline(SobNativeArgs& args)
{
    CGdiFont* font = FontAs<CGdiFont>(args, 0);
    const uint8_t underline = static_cast<uint8_t>(args.U32(1));
    const uint8_t strikeout = static_cast<uint8_t>(args.U32(2));
    if (font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetUnderlineStrikeout(underline, strikeout));
}

uint32_t NativeFontQuality(SobNativeArgs& args)
{
    CGdiFont* font = FontAs<CGdiFont>(args, 0);
    const uint8_t quality = static_cast<uint8_t>(args.U32(1));
    if (font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetQuality(quality));
}

uint32_t NativeFontBackground(SobNativeArgs& args)
{
    CGdiFont* font = FontAs<CGdiFont>(args, 0);
    const uint8_t transparent = static_cast<uint8_t>(args.U32(1));
    uint8_t rgb[3];
    for (uint32_t i = 0; i < 3; ++i)
        rgb[i] = static_cast<uint8_t>(args.U32(i + 2));
    if (font == nullptr)
        return kMinus1;
    font->SetBackground(transparent, rgb[0], rgb[1], rgb[2]);
    return 0;
}

uint32_t NativeFontImageGlyphs(SobNativeArgs& args)
{
    CGlyphFont* font = FontAs<CGlyphFont>(args, 0);
    const char* sheet = NativeOptionalString(args, 1);
    const int32_t count = args.I32(2), width = args.I32(3), height = args.I32(4);
    const uint32_t flags = args.U32(5);
    if (args.Faulted() || font == nullptr || sheet == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->LoadImageGlyphs(sheet, count, width, height, flags));
}

uint32_t NativeFontGradient(SobNativeArgs& args)
{
    CGlyphFont* font = FontAs<CGlyphFont>(args, 0);
    const uint8_t on = static_cast<uint8_t>(args.U32(1));
    const uint32_t top = args.U32(2), bottom = args.U32(3);
    const uint8_t build = static_cast<uint8_t>(args.U32(4));
    if (font == nullptr)
        return kMinus1;
    return static_cast<uint32_t>(font->SetGradient(on, top, bottom, build));
}

uint32_t NativeFontOutline(SobNativeArgs& args)
{
    CGlyphFont* font = FontAs<CGlyphFont>(args, 0);
    const int32_t strength = args.I32(1), radius = args.I32(2);
    if (font == nullptr)
        return kMinus1;
    font->SetOutline(strength, radius);
    return 0;
}

uint32_t NativeFontMeasure(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const char* text = NativeOptionalString(args, 1);
    const uint8_t withEffect = static_cast<uint8_t>(args.U32(5));
    if (!OutSpan(args, 2, 4) || !OutSpan(args, 3, 4) || !OutSpan(args, 4, 4) || args.Faulted())
        return kMinus1;
    if (font == nullptr)
        return kMinus1;
    SIZE size{};
    int32_t chars = 0;
    const int lines = font->MeasureString(text, &size, nullptr, nullptr, withEffect, &chars);
    const uint32_t values[3] = {static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy),
                                static_cast<uint32_t>(chars)};
    for (uint32_t i = 0; i < 3; ++i)
        if (!args.IsNull(2 + i))
            args.Out32(2 + i, values[i]);
    return static_cast<uint32_t>(lines);
}

uint32_t NativeRotateRectToQuad(SobNativeArgs& args)
{
    CFont* font = FontAt(args, 0);
    const int32_t x = args.I32(2), y = args.I32(3), width = args.I32(4), height = args.I32(5);
    uint8_t* out = args.Span(1, sizeof(RECT));
    if (args.Faulted() || font == nullptr)
        return kMinus1;
    RECT r{};
    RotateRectToQuad(font, &r, x, y, width, height);
    std::memcpy(out, &r, sizeof r);
    return 0;
}

namespace {

using TextDraw = int (*)(CImage*, int32_t, int32_t, const char*, CFont*);

// Words: surface, x, y, text, font, or with textFirst surface, text, x, y, font.
uint32_t DrawInto(SobNativeArgs& args, TextDraw draw, bool textFirst)
{
    CImage* image = ImageAt(args, 0);
    const char* text = NativeOptionalString(args, textFirst ? 1 : 3);
    const int32_t x = args.I32(textFirst ? 2 : 1), y = args.I32(textFirst ? 3 : 2);
    CFont* font = nullptr;
    const bool fontOk = OptionalFont(args, 4, &font);
    if (args.Faulted() || image == nullptr || !fontOk)
        return kMinus1;
    return static_cast<uint32_t>(draw(image, x, y, text, font));
}

} // namespace

uint32_t NativeDrawTextRotated(SobNativeArgs& args)
{
    return DrawInto(args, DrawTextRotated, false);
}

uint32_t NativeDrawTextRotatedB(SobNativeArgs& args)
{
    return DrawInto(args, DrawTextRotated, true);
}

uint32_t NativeDrawTextIntoImage(SobNativeArgs& args)
{
    return DrawInto(args, DrawTextIntoImage, false);
}

uint32_t NativeDrawGlyphText(SobNativeArgs& args)
{
    return DrawInto(args, DrawGlyphTextIntoImage, false);
}

uint32_t NativeEnumInstalledFonts(SobNativeArgs& args)
{
    const uint8_t flags = static_cast<uint8_t>(args.U32(0));
    const uint8_t charset = static_cast<uint8_t>(args.U32(1));
    HWND window = g_pAppFrame != nullptr ? g_pAppFrame->GetMainWindow() : nullptr;
    HDC dc = GetDC(window);
    const uint32_t count = ScriptInstalledFonts().EnumInstalledFonts(dc, flags, charset);
    if (dc != nullptr)
        ReleaseDC(window, dc);
    return count;
}

uint32_t NativeInstalledFontName(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t index = args.U32(0);
    const std::vector<LOGFONTA>& fonts = ScriptInstalledFonts().Fonts();
    if (host == nullptr || index >= fonts.size())
        return 0;
    const LOGFONTA& font = fonts[index];
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, font.lfFaceName, LF_FACESIZE); // a full-length name has no NUL of its own
    return host->MirrorString(font.lfFaceName, face);
}

uint32_t NativeInstalledFontRecord(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const uint32_t index = args.U32(0);
    const std::vector<LOGFONTA>& fonts = ScriptInstalledFonts().Fonts();
    if (host == nullptr || index >= fonts.size())
        return 0;
    return host->MirrorBytes(&fonts[index], &fonts[index], sizeof(LOGFONTA));
}

uint32_t NativeSetPresentRequest(SobNativeArgs& args)
{
    const uint8_t request = static_cast<uint8_t>(args.U32(0));
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->SetPresentPathRequest(request);
    return 0;
}

uint32_t NativeGetPresentRequest(SobNativeArgs&)
{
    return g_pDisplay != nullptr ? g_pDisplay->GetPresentPathRequest() : kMinus1;
}

uint32_t NativeSetClearColor(SobNativeArgs& args)
{
    const uint8_t r = static_cast<uint8_t>(args.U32(0));
    const uint8_t g = static_cast<uint8_t>(args.U32(1));
    const uint8_t b = static_cast<uint8_t>(args.U32(2));
    if (g_pDisplay == nullptr)
        return kMinus1;
    g_pDisplay->SetClearColor(r, g, b);
    return 0;
}

uint32_t NativeSetAppDrawFlag(SobNativeArgs& args)
{
    const bool on = args.U32(0) != 0;
    if (g_pGameApp == nullptr)
        return kMinus1;
    g_pGameApp->SetScriptDrawFlag(on);
    return 0;
}
