// Glyph fonts against FreeType on the same glyphs: uncached rasterising, cached line drawing into
// a 1920x1080 image, and weighted outlines against FreeType's stroker; plus the glyph cache's hit
// rate on a scenario-like text.
#include "contest.h"
#include "drawing/glyph_font.h"
#include "drawing/glyph_kernels.h"
#include "font_reference.h"
#include "platform/cpu_info.h"
#include "raster/image.h"
#include "winapi/text.h"

#include FT_GLYPH_H
#include FT_STROKER_H

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Contest;

const char* Gothic()
{
    return winapi::Sjis("ＭＳ ゴシック");
}

// The first n kanji of CP932 (from 0x889F on).
std::vector<unsigned> Kanji(size_t n)
{
    std::vector<unsigned> codes;
    for (unsigned lead = 0x88; codes.size() < n; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC && codes.size() < n; ++trail)
            if (trail != 0x7F && (lead > 0x88 || trail >= 0x9F) &&
                winapi::SjisCodeToUnicode(lead * 256 + trail) != 0)
                codes.push_back(lead * 256 + trail);
    return codes;
}

std::string Text(const std::vector<unsigned>& codes)
{
    std::string text;
    for (unsigned c : codes) {
        text += static_cast<char>(c >> 8);
        text += static_cast<char>(c & 0xFF);
    }
    return text;
}

void UncachedGlyphVsFreeType(benchmark::State& state)
{
    g_bUseMmx = 1;
    const auto codes = Kanji(1000);
    CGlyphFont font;
    font.m_cache.SetLimit(0);
    font.SetFont(24, 0, 0, Gothic());
    font.SetAntialias(2);
    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, 24);
    std::vector<char32_t> unicode;
    for (unsigned c : codes)
        unicode.push_back(winapi::SjisCodeToUnicode(c));
    Contest(
        state,
        [&] {
            for (unsigned c : codes)
                font.DoneWithGlyph(font.GetGlyph(c, 24, 0, 0, 0, 0), false);
        },
        [&] {
            for (char32_t u : unicode) {
                FT_Load_Char(face.Get(), u, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
                FT_Render_Glyph(face.Get()->glyph, FT_RENDER_MODE_NORMAL);
                benchmark::DoNotOptimize(face.Get()->glyph->bitmap.buffer);
            }
        },
        bench::Goal{.ratio = 1 / 1.2}, // our overhead under 20 %
        5);
}

void CachedDrawStringVsFreeTypeBlend(benchmark::State& state)
{
    g_bUseMmx = 1;
    const auto codes = Kanji(1000);
    std::string text;
    for (size_t i = 0; i < codes.size(); ++i) {
        text += static_cast<char>(codes[i] >> 8);
        text += static_cast<char>(codes[i] & 0xFF);
        if (i % 75 == 74)
            text += '\n';
    }
    CGlyphFont font;
    font.m_cache.SetLimit(1024);
    font.SetFont(24, 0, 0, Gothic());
    font.SetAntialias(2);
    CImage ours;
    ours.Create(1920, 1080, 32, 0);
    font.DrawString(&ours, 0, 0, text.c_str(), nullptr, nullptr); // fills the cache
    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, 24);
    std::vector<uint32_t> peer(1920 * 1080);
    int ascent = 0, descent = 0;
    face.Extent(24, &ascent, &descent);
    Contest(
        state, [&] { font.DrawString(&ours, 0, 0, text.c_str(), nullptr, nullptr); },
        [&] {
            int penX = 0, penY = 0;
            for (size_t i = 0; i < codes.size(); ++i) {
                FT_Load_Char(face.Get(), winapi::SjisCodeToUnicode(codes[i]),
                             FT_LOAD_RENDER | FT_LOAD_NO_BITMAP);
                const FT_GlyphSlot g = face.Get()->glyph;
                const int x0 = penX + g->bitmap_left, y0 = penY + ascent - g->bitmap_top;
                for (unsigned y = 0; y < g->bitmap.rows; ++y)
                    for (unsigned x = 0; x < g->bitmap.width; ++x) {
                        const unsigned a = g->bitmap.buffer[y * g->bitmap.pitch + x];
                        uint32_t& d = peer[static_cast<size_t>(y0 + y) * 1920 + x0 + x];
                        uint32_t out = d & 0xFF000000u;
                        for (int s = 0; s < 24; s += 8)
                            out |= ((255 * a + ((d >> s) & 255) * (255 - a) + 127) / 255) << s;
                        d = out;
                    }
                penX += static_cast<int>(g->advance.x >> 6);
                if (i % 75 == 74) {
                    penX = 0;
                    penY += 24;
                }
            }
        },
        bench::Goal{.ratio = 5},
        5);
}

void OutlineVsStroker(benchmark::State& state)
{
    g_bUseMmx = 1;
    const int r = static_cast<int>(state.range(0));
    const auto codes = Kanji(200);
    CGlyphFont font;
    font.SetFont(24, 0, 0, Gothic());
    font.SetAntialias(2);
    std::vector<CGlyphBitmap*> glyphs;
    for (unsigned c : codes)
        glyphs.push_back(font.GetGlyph(c, 24, 0, 0, 0, 0));
    std::vector<uint8_t> out(64 * 64);
    const int kernel = OutlineKernelValue(r);
    font_reference::Face face("IPAGothic");
    FT_Set_Pixel_Sizes(face.Get(), 0, 24);
    FT_Library library = face.Get()->glyph->library;
    FT_Stroker stroker;
    FT_Stroker_New(library, &stroker);
    FT_Stroker_Set(stroker, r * 64, FT_STROKER_LINECAP_ROUND, FT_STROKER_LINEJOIN_ROUND, 0);
    Contest(
        state,
        [&] {
            for (CGlyphBitmap* g : glyphs)
                if (g != nullptr && g->pixels != nullptr)
                    BuildGlyphOutline(g->pixels, static_cast<int>(g->pitch), static_cast<int>(g->width),
                                      static_cast<int>(g->height), out.data(), 64, 1024, r, kernel);
        },
        [&] {
            for (unsigned c : codes) {
                FT_Load_Char(face.Get(), winapi::SjisCodeToUnicode(c), FT_LOAD_NO_BITMAP);
                FT_Glyph glyph;
                FT_Get_Glyph(face.Get()->glyph, &glyph);
                FT_Glyph_StrokeBorder(&glyph, stroker, 0, 1);
                FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_NORMAL, nullptr, 1);
                benchmark::DoNotOptimize(reinterpret_cast<FT_BitmapGlyph>(glyph)->bitmap.buffer);
                FT_Done_Glyph(glyph);
            }
        },
        bench::Goal{.ratio = 2},
        5);
    FT_Stroker_Done(stroker);
}

// A scenario-like text: 20,000 characters drawn from kana and a few thousand kanji, the common
// ones far more often.
void CacheHitRate(benchmark::State& state)
{
    const auto kanji = Kanji(3000);
    std::vector<unsigned> pool;
    for (unsigned c = 0x829F; c <= 0x82F1; ++c)
        pool.push_back(c);
    pool.insert(pool.end(), kanji.begin(), kanji.end());
    std::mt19937 random(11);
    std::vector<unsigned> text;
    for (int i = 0; i < 20000; ++i) {
        const double u = std::uniform_real_distribution<double>(0, 1)(random);
        text.push_back(pool[static_cast<size_t>(std::pow(u, 3.0) * pool.size())]);
    }
    const std::string bytes = Text(text);
    for (auto _ : state) {
        CGlyphFont font;
        font.m_cache.SetLimit(512);
        font.SetFont(24, 0, 0, Gothic());
        CImage image;
        image.Create(1920, 1080, 32, 0);
        for (size_t at = 0; at < bytes.size(); at += 200)
            font.DrawString(&image, 0, 0, bytes.substr(at, 200).c_str(), nullptr, nullptr);
        state.counters["hit_rate"] =
            1.0 - static_cast<double>(font.m_cache.Misses()) / font.m_cache.Lookups();
    }
}

} // namespace

BENCHMARK(UncachedGlyphVsFreeType)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(CachedDrawStringVsFreeTypeBlend)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OutlineVsStroker)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(CacheHitRate)->Unit(benchmark::kMillisecond)->Iterations(1);
