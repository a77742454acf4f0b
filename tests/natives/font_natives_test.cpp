// Natives 166-199: fonts made, set, measured, drawn with and deleted through their handles on a
// headless screen; the installed-font list; the screen settings and the application flag.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/screen.h"
#include "drawing/gdi_font.h"
#include "drawing/glyph_font.h"
#include "drawing/installed_font_list.h"
#include "drawing/text_image.h"
#include "natives/font_natives.h"
#include "natives/native_table.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "winapi/text.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus1 = static_cast<uint32_t>(-1);

uint32_t Native(CScriptHost& host, uint32_t n, std::vector<uint32_t> words)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    const uint32_t result = GetNativeRow(n).function(args);
    host.Memory().Free(block);
    return result;
}

uint32_t Str(CScriptHost& host, const std::string& text)
{
    const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(text.size() + 1));
    std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(text.size() + 1)), text.c_str(), text.size() + 1);
    return at;
}

uint32_t Load(CScriptHost& host, uint32_t at)
{
    uint32_t v = 0;
    host.Memory().Load32(at, &v);
    return v;
}

std::string Gothic()
{
    return winapi::Sjis("ＭＳ ゴシック");
}

struct FontHost {
    HostFixture f;
    CScriptHost& host;
    uint32_t face;
    FontHost() : host((f.UseScreen(), f.Start())), face(Str(host, Gothic())) {}
    uint32_t Make(bool glyph, int32_t height = 16, uint32_t out = 0)
    {
        return Native(host, glyph ? 168 : 167, {out, face, static_cast<uint32_t>(height)});
    }
    CImage* Image(uint32_t* handle, LONG w = 64, LONG h = 32)
    {
        CImage* image = nullptr;
        EXPECT_EQ(f.screen->CreateImage(&image, w, h, 32, kImageWithDc), 0);
        *handle = host.ObjectHandle(image);
        return image;
    }
};

bool SamePixels(const CImage& a, const CImage& b)
{
    const size_t bytes = static_cast<size_t>(a.GetPitch()) * static_cast<size_t>(a.GetHeight());
    return a.GetPitch() == b.GetPitch() && a.GetHeight() == b.GetHeight() &&
           std::memcmp(a.GetBits(), b.GetBits(), bytes) == 0;
}

bool AnyInk(const CImage& a)
{
    const size_t bytes = static_cast<size_t>(a.GetPitch()) * static_cast<size_t>(a.GetHeight());
    for (size_t i = 0; i < bytes; ++i)
        if (a.GetBits()[i] != 0)
            return true;
    return false;
}

TEST(FontNatives, EveryRowIsBuilt)
{
    for (uint32_t n = 166; n <= 199; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

TEST(FontNatives, CreateThroughAScriptWritesTheHandleAndAnswersIt)
{
    FontHost h;
    Script s(h.host, Call(167, "out, face, 20", "face: .sjis \"Arial\"\n"));
    ASSERT_FALSE(s.Faulted());
    ASSERT_NE(s.Word("out"), 0u);
    ASSERT_NE(s.Word("out"), 0x7777u);
    CFont* font = h.host.Object<CFont>(s.Word("out"));
    ASSERT_NE(font, nullptr);
    EXPECT_FALSE(font->IsGlyphFont());
    EXPECT_EQ(font->m_logFont.lfHeight, -20);
    EXPECT_EQ(h.f.screen->GetFonts().Count(), 1u);
}

TEST(FontNatives, CreationRefusals)
{
    FontHost h;
    // Heights past 4096 a side fail before any font is made.
    EXPECT_EQ(h.Make(false, 5000), 0u);
    EXPECT_EQ(h.Make(true, -5000), 0u);
    EXPECT_EQ(h.Make(true, INT32_MIN), 0u);
    EXPECT_EQ(h.f.screen->GetFonts().Count(), 0u);
    // An out address outside script memory stops the call before anything is made.
    const uint32_t block = h.host.Memory().Allocate(16);
    h.host.Memory().Store32(block, 0xFFFFFFF0u);
    h.host.Memory().Store32(block + 4, h.face);
    h.host.Memory().Store32(block + 8, 16);
    SobNativeArgs args(h.host.Memory(), nullptr, block, &h.host);
    EXPECT_EQ(NativeCreateGdiFont(args), 0u);
    EXPECT_TRUE(args.Faulted());
    EXPECT_EQ(h.f.screen->GetFonts().Count(), 0u);
    // Without a screen nothing is made.
    CScreen* saved = g_pDisplay;
    g_pDisplay = nullptr;
    EXPECT_EQ(h.Make(false), 0u);
    EXPECT_EQ(Native(h.host, 166, {}), kMinus1);
    g_pDisplay = saved;
}

TEST(FontNatives, SettersReachTheFont)
{
    FontHost h;
    const uint32_t gdi = h.Make(false);
    const uint32_t glyph = h.Make(true);
    ASSERT_NE(gdi, 0u);
    ASSERT_NE(glyph, 0u);
    CGdiFont* g = dynamic_cast<CGdiFont*>(h.host.Object<CFont>(gdi));
    CGlyphFont* y = dynamic_cast<CGlyphFont*>(h.host.Object<CFont>(glyph));
    ASSERT_NE(g, nullptr);
    ASSERT_NE(y, nullptr);
    const uint32_t arial = Str(h.host, "Arial");

    EXPECT_EQ(Native(h.host, 171, {gdi, arial}), 0u);
    EXPECT_STREQ(g->m_logFont.lfFaceName, "Arial");
    EXPECT_EQ(Native(h.host, 171, {gdi, 0}), 2u); // a null face is the font's own refusal
    EXPECT_EQ(Native(h.host, 171, {glyph, 0}), 3u);
    EXPECT_EQ(Native(h.host, 172, {gdi, 24}), 0u);
    EXPECT_EQ(g->m_logFont.lfHeight, -24);
    EXPECT_EQ(Native(h.host, 172, {gdi, 4097}), 1u); // refused, the font kept
    EXPECT_EQ(g->m_logFont.lfHeight, -24);
    EXPECT_EQ(Native(h.host, 173, {gdi, 0x101, 1}), 0u); // low byte 1: bold
    EXPECT_EQ(g->m_logFont.lfWeight, 700);
    EXPECT_EQ(g->m_logFont.lfItalic, 1);
    EXPECT_EQ(Native(h.host, 173, {gdi, 0x100, 0}), 0u); // low byte 0: regular
    EXPECT_EQ(g->m_logFont.lfWeight, 400);
    EXPECT_EQ(Native(h.host, 174, {glyph, 900}), 0u);
    EXPECT_EQ(y->m_logFont.lfEscapement, 900);
    EXPECT_EQ(y->m_logFont.lfOrientation, 900);
    EXPECT_EQ(Native(h.host, 175, {glyph, 1}), 1u);
    EXPECT_EQ(y->m_antialias, 1);
    EXPECT_EQ(Native(h.host, 176, {gdi, 0x110, 0x20, 0x30}), 1u);
    EXPECT_EQ(g->m_textColor[0], 0x10);
    EXPECT_EQ(g->m_textColor[2], 0x30);
    EXPECT_EQ(Native(h.host, 177, {gdi, static_cast<uint32_t>(-3), 4, 6}), 1u);
    EXPECT_EQ(g->m_shadowX, -3);
    EXPECT_EQ(g->m_shadowY, 4);
    EXPECT_EQ(g->m_lineSpacing, 6);
    EXPECT_EQ(Native(h.host, 178, {gdi, 1, 2, 3}), 1u);
    EXPECT_EQ(g->m_bgColor[1], 2);
    EXPECT_EQ(Native(h.host, 180, {gdi, 2}), 1u);
    EXPECT_EQ(g->m_effectMode, 2);
    EXPECT_EQ(Native(h.host, 179, {gdi, 0x123456, 0xFFFFFFFFu}), 0u);
    EXPECT_EQ(g->m_textColor[0], 0x12);
    EXPECT_EQ(g->m_textColor[2], 0x56);
    EXPECT_EQ(g->m_effectColor[0], 0); // kept
    EXPECT_EQ(Native(h.host, 179, {gdi, 0xFFFFFFFFu, 0xABCDEF}), 0u);
    EXPECT_EQ(g->m_textColor[0], 0x12);
    EXPECT_EQ(g->m_effectColor[1], 0xCD);
    EXPECT_EQ(g->m_effectMode, 2); // the mode stays
    EXPECT_EQ(Native(h.host, 181, {gdi, 1, 1}), 0u);
    EXPECT_EQ(g->m_logFont.lfUnderline, 1);
    EXPECT_EQ(g->m_logFont.lfStrikeOut, 1);
    EXPECT_EQ(Native(h.host, 182, {gdi, 4}), 0u);
    EXPECT_EQ(g->m_logFont.lfQuality, 4);
    EXPECT_EQ(Native(h.host, 183, {gdi, 0, 9, 8, 7}), 0u);
    EXPECT_EQ(g->m_transparent, 0);
    EXPECT_EQ(g->m_bgColor[0], 9);
    EXPECT_EQ(Native(h.host, 185, {glyph, 1, 0xFF0000, 0x0000FF, 1}), 0u);
    EXPECT_EQ(y->m_gradientOn, 1);
    EXPECT_EQ(y->m_gradientTop, 0xFF0000u);
    EXPECT_EQ(Native(h.host, 186, {glyph, 512, 3}), 0u);
    EXPECT_EQ(y->m_outlineStrength, 512);
    EXPECT_EQ(y->m_outlineRadius, 3);
    // A missing sheet is the table's own failure, not a crash.
    EXPECT_NE(Native(h.host, 184, {glyph, Str(h.host, "NOSUCH.ELG"), 4, 16, 16, 0}), 0u);
    EXPECT_EQ(Native(h.host, 184, {glyph, 0, 4, 16, 16, 0}), kMinus1);

    // Rows of one kind of font refuse the other kind.
    const std::vector<std::vector<uint32_t>> gdiOnly = {{181, glyph, 1, 1}, {182, glyph, 4}, {183, glyph, 0, 1, 2, 3}};
    for (const auto& row : gdiOnly)
        EXPECT_EQ(Native(h.host, row[0], {row.begin() + 1, row.end()}), kMinus1) << row[0];
    const std::vector<std::vector<uint32_t>> glyphOnly = {
        {184, gdi, arial, 1, 8, 8, 0}, {185, gdi, 1, 0, 0, 1}, {186, gdi, 1, 1}};
    for (const auto& row : glyphOnly)
        EXPECT_EQ(Native(h.host, row[0], {row.begin() + 1, row.end()}), kMinus1) << row[0];
}

TEST(FontNatives, MeasureAndRotateAgainstTheFont)
{
    FontHost h;
    const uint32_t glyph = h.Make(true, 16);
    CFont* font = h.host.Object<CFont>(glyph);
    const uint32_t text = Str(h.host, "AB\nC");
    const uint32_t outs = h.host.Memory().Allocate(16);
    EXPECT_EQ(Native(h.host, 187, {glyph, text, outs, outs + 4, outs + 8, 0}), 2u);
    SIZE size{};
    int32_t chars = 0;
    EXPECT_EQ(font->MeasureString("AB\nC", &size, nullptr, nullptr, 0, &chars), 2);
    EXPECT_EQ(Load(h.host, outs), static_cast<uint32_t>(size.cx));
    EXPECT_EQ(Load(h.host, outs + 4), static_cast<uint32_t>(size.cy));
    EXPECT_EQ(Load(h.host, outs + 8), 3u);
    // Every out address may be 0.
    EXPECT_EQ(Native(h.host, 187, {glyph, text, 0, 0, 0, 0}), 2u);

    EXPECT_EQ(Native(h.host, 174, {glyph, 450}), 0u);
    EXPECT_EQ(Native(h.host, 188, {glyph, outs, 10, 20, 30, 40}), 0u);
    RECT expected{};
    RotateRectToQuad(font, &expected, 10, 20, 30, 40);
    RECT got{};
    std::memcpy(&got, h.host.Memory().Span(outs, 16), 16);
    EXPECT_EQ(got.left, expected.left);
    EXPECT_EQ(got.top, expected.top);
    EXPECT_EQ(got.right, expected.right);
    EXPECT_EQ(got.bottom, expected.bottom);
}

TEST(FontNatives, DrawnTextEqualsTheFontsOwnDrawText)
{
    FontHost h;
    const uint32_t text = Str(h.host, "Ag");
    for (bool glyph : {false, true}) {
        SCOPED_TRACE(glyph ? "glyph" : "gdi");
        const uint32_t handle = h.Make(glyph, 18);
        CFont* font = h.host.Object<CFont>(handle);
        uint32_t target = 0;
        CImage* image = h.Image(&target);
        CImage mine;
        ASSERT_EQ(mine.Create(64, 32, 32, kImageWithDc), 0);
        const uint32_t n = glyph ? 192 : 191;
        EXPECT_EQ(Native(h.host, n, {target, 3, 4, text, handle}), 0u);
        if (glyph) {
            EXPECT_EQ(static_cast<CGlyphFont*>(font)->DrawString(&mine, 3, 4, "Ag", nullptr, nullptr), 0);
        } else {
            EXPECT_EQ(font->DrawText(&mine, 3, 4, "Ag", nullptr, nullptr), 0);
        }
        EXPECT_TRUE(AnyInk(*image));
        EXPECT_TRUE(SamePixels(*image, mine));
    }
    // 189 and 190: the same call in their two layouts.
    const uint32_t gdi = h.Make(false, 18);
    uint32_t a = 0, b = 0;
    CImage* first = h.Image(&a);
    CImage* second = h.Image(&b);
    EXPECT_EQ(Native(h.host, 189, {a, 2, 1, text, gdi}), 0u);
    EXPECT_EQ(Native(h.host, 190, {b, text, 2, 1, gdi}), 0u);
    EXPECT_TRUE(AnyInk(*first));
    EXPECT_TRUE(SamePixels(*first, *second));
    // Font word 0 is the default font; a word that names no font, or no surface, draws nothing.
    uint32_t c = 0;
    CImage* third = h.Image(&c);
    EXPECT_EQ(Native(h.host, 191, {c, 0, 0, text, 0}), 2u); // no default font
    EXPECT_EQ(Native(h.host, 170, {gdi}), 1u);
    EXPECT_EQ(Native(h.host, 191, {c, 0, 0, text, 0}), 0u);
    EXPECT_TRUE(AnyInk(*third));
    EXPECT_EQ(Native(h.host, 191, {c, 0, 0, text, c}), kMinus1);
    EXPECT_EQ(Native(h.host, 191, {gdi, 0, 0, text, gdi}), kMinus1);
    EXPECT_EQ(Native(h.host, 191, {0, 0, 0, text, gdi}), kMinus1);
}

TEST(FontNatives, DeletedFontsAreStaleEverywhere)
{
    FontHost h;
    uint32_t target = 0;
    h.Image(&target);
    const uint32_t text = Str(h.host, "A");
    const uint32_t outs = h.host.Memory().Allocate(16);
    const uint32_t gdi = h.Make(false);
    const uint32_t glyph = h.Make(true);
    EXPECT_EQ(Native(h.host, 170, {glyph}), 1u);
    EXPECT_EQ(Native(h.host, 169, {gdi}), 0u);
    EXPECT_EQ(Native(h.host, 166, {}), 0u); // the glyph font, and the default that pointed at it
    EXPECT_EQ(g_pDefaultFont, nullptr);
    EXPECT_EQ(h.f.screen->GetFonts().Count(), 0u);
    // Each font row with each dead handle: its null result, nothing touched.
    struct Row {
        uint32_t n;
        std::vector<uint32_t> rest;
        uint32_t null;
    };
    const Row rows[] = {
        {169, {}, kMinus1}, {170, {}, 0}, {171, {text}, kMinus1}, {172, {12}, kMinus1},
        {173, {1, 1}, kMinus1}, {174, {10}, kMinus1}, {175, {1}, 0}, {176, {1, 2, 3}, 0},
        {177, {1, 2, 3}, 0}, {178, {1, 2, 3}, 0}, {179, {1, 2}, kMinus1}, {180, {1}, 0},
        {181, {1, 1}, kMinus1}, {182, {1}, kMinus1}, {183, {0, 1, 2, 3}, kMinus1},
        {184, {text, 1, 8, 8, 0}, kMinus1}, {185, {1, 0, 0, 1}, kMinus1}, {186, {1, 1}, kMinus1},
        {187, {text, outs, 0, 0, 0}, kMinus1}, {188, {outs, 0, 0, 8, 8}, kMinus1},
    };
    for (uint32_t dead : {gdi, glyph, 0u, target}) {
        for (const Row& r : rows) {
            std::vector<uint32_t> words{dead};
            words.insert(words.end(), r.rest.begin(), r.rest.end());
            EXPECT_EQ(Native(h.host, r.n, words), r.null) << r.n << " word " << dead;
        }
        for (uint32_t n : {189u, 191u, 192u})
            EXPECT_EQ(Native(h.host, n, {target, 0, 0, text, dead == 0 ? 1u : dead}), kMinus1) << n;
    }
}

TEST(FontNatives, InstalledFontList)
{
    FontHost h;
    const uint32_t count = Native(h.host, 193, {13, 128});
    ASSERT_GT(count, 0u);
    EXPECT_EQ(count, ScriptInstalledFonts().Fonts().size());
    for (uint32_t i = 0; i < count; ++i) {
        const LOGFONTA& font = ScriptInstalledFonts().Fonts()[i];
        Script s(h.host, Call(194, std::to_string(i)));
        EXPECT_EQ(s.TextAt(s.Word("out")), std::string(font.lfFaceName));
        const uint32_t record = Native(h.host, 195, {i});
        ASSERT_NE(record, 0u);
        EXPECT_EQ(std::memcmp(h.host.Memory().Span(record, sizeof(LOGFONTA)), &font, sizeof(LOGFONTA)), 0);
    }
    EXPECT_EQ(Native(h.host, 194, {count}), 0u);
    EXPECT_EQ(Native(h.host, 195, {count}), 0u);
    EXPECT_EQ(Native(h.host, 194, {kMinus1}), 0u);
    // A second enumeration replaces the first.
    const uint32_t all = Native(h.host, 193, {0, 0});
    EXPECT_GE(all, count);
    EXPECT_EQ(all, ScriptInstalledFonts().Fonts().size());
}

TEST(FontNatives, ScreenSettingsAndTheApplicationFlag)
{
    FontHost h;
    EXPECT_EQ(Native(h.host, 196, {0x103}), 0u);
    EXPECT_EQ(h.f.screen->GetPresentPathRequest(), 3);
    EXPECT_EQ(Native(h.host, 197, {}), 3u);
    EXPECT_EQ(Native(h.host, 198, {1, 2, 3}), 0u);
    EXPECT_EQ(Native(h.host, 199, {5}), 0u);
    EXPECT_TRUE(h.f.app.scriptDrawFlag);
    EXPECT_EQ(Native(h.host, 199, {0}), 0u);
    EXPECT_FALSE(h.f.app.scriptDrawFlag);
    CScreen* saved = g_pDisplay;
    g_pDisplay = nullptr;
    for (uint32_t n : {196u, 197u, 198u})
        EXPECT_EQ(Native(h.host, n, {1, 2, 3}), kMinus1) << n;
    g_pDisplay = saved;
}

} // namespace
