// The list layer's Redraw: a list of 10,000 rows scrolled to its end against the same layout
// holding 20 rows (20 visible rows of the same texts, 16 px glyph font, warm cache). Redraw starts
// at the first visible row, so the long list should cost what the short one does (goal: at most
// 1.1x, ratio >= 0.91).
#include "authoring/file_io.h"
#include "contest.h"
#include "controls/list_layer.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "platform/cpu_info.h"
#include "winapi/text.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::Contest;

// A scratch base folder holding the bar's thumb picture, with the file and picture managers.
struct ThumbFolder {
    ThumbFolder()
    {
        std::string pattern = "/tmp/tessaro-bench-list-XXXXXX";
        folder = mkdtemp(pattern.data()) ? pattern : "/tmp";
        SetBaseFolder(WindowsPathOf(folder).c_str());
        g_pFileManager = &files;
        RegisterBuiltinImageLoaders(loaders);
        g_pGllManager = &loaders;
        WriteThumb(folder + "/thumb.bmp");
        RegisterPixelLibraryModule();
        library.reset(LoadPixelLibrary("Z:\\bench\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(library.get());
    }
    ~ThumbFolder()
    {
        SetPixelLibrary(nullptr);
        g_pFileManager = nullptr;
        g_pGllManager = nullptr;
        std::error_code e;
        std::filesystem::remove_all(folder, e);
    }
    // An 8x6 24-bit BMP (rows of 24 bytes, no padding needed).
    static void WriteThumb(const std::string& path)
    {
        const int w = 8, h = 6, row = w * 3;
        std::vector<uint8_t> b(54 + static_cast<size_t>(row) * h, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put32(2, static_cast<uint32_t>(b.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, w);
        put32(22, h);
        b[26] = 1;
        b[28] = 24;
        put32(34, static_cast<uint32_t>(row * h));
        for (size_t i = 54; i < b.size(); ++i)
            b[i] = static_cast<uint8_t>(0x40 + (i % 3) * 0x40);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                    static_cast<std::streamsize>(b.size()));
    }
    std::string folder;
    CFileManager files;
    CGllManager loaders;
    std::unique_ptr<CPixelLibrary> library;
};

// A 20-row-high list (pitch 20: 16 px rows, gap 4) holding `rows` rows, scrolled to its end. Row i
// reads the text of row i % 20, so both lists show the same texts.
bool MakeList(CListLayer& list, CDrawList& draw, CGlyphFont& font, int rows)
{
    if (list.Create(&draw, 1, &font, -20, 320, 0, 0, "thumb.bmp", 1, 2, 396, 320, 0, 0, nullptr, 4, 1) != 0)
        return false;
    for (int i = 0; i < rows; ++i)
        list.AddItem(winapi::Utf8ToSjis("項目 " + std::to_string(i % 20) + " の説明文 abc").c_str(), nullptr, false);
    list.UpdateScrollRange();
    list.GetScrollBar().SetValue(list.GetContentHeight() - list.GetHeight());
    return true;
}

void ListRedrawAtEndVsShortList(benchmark::State& state)
{
    g_bUseMmx = 1;
    ThumbFolder folder;
    CGlyphFont font;
    font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック"));
    font.SetAntialias(2);
    CDrawList draw;
    CListLayer longList, shortList;
    if (!MakeList(longList, draw, font, 10000) || !MakeList(shortList, draw, font, 20)) {
        state.SkipWithError("list creation failed");
        return;
    }
    if (longList.GetScrollBar().GetValue() != (10000 - 20) * 20) {
        state.SkipWithError("the long list is not at its end");
        return;
    }
    longList.Redraw(); // warm cache
    shortList.Redraw();
    // At most 1.1 times the short list's time.
    Contest(state, [&] { longList.Redraw(); }, [&] { shortList.Redraw(); }, bench::Goal{.ratio = 1 / 1.1}, 51);
}
BENCHMARK(ListRedrawAtEndVsShortList)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
