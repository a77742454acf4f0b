// Fuzzes the cutting of glyph sheets. Input: sheet width and height, depth, count, cell width and
// height, flags, direction and outline settings as little-endian words; the rest fills the sheet.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drawing/glyph_kernels.h"
#include "drawing/image_glyph_table.h"
#include "raster/image.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in{data, size};
    const int width = 1 + in.Small(96), height = 1 + in.Small(96);
    const int depth = in.U32() & 1 ? 32 : 8;
    const int32_t count = in.I32() % 100000;
    const int32_t cellWidth = in.I32() % 200, cellHeight = in.I32() % 200;
    const uint32_t flags = in.U32() & 7;
    const int32_t direction = in.U32() & 1 ? 2700 : in.I32() % 4000;
    const int32_t strength = in.I32(), radius = in.I32() % 80;
    CImage sheet;
    if (sheet.Create(width, height, depth, 0) != 0)
        return 0;
    sheet.SetAlphaFlag(flags & 4);
    for (int y = 0; y < height && !in.AtEnd(); ++y)
        for (LONG x = 0; x < sheet.GetPitch() && !in.AtEnd(); ++x)
            sheet.GetRowAddress(y)[x] = data[in.pos++];
    CImageGlyphTable table;
    table.SetOutline(strength, radius, OutlineKernelValue(radius));
    if (table.Cut(sheet, count, cellWidth, cellHeight, flags) != 0)
        return 0;
    table.SetDirection(direction);
    for (int32_t i = -1; i <= table.Count() && i < 40; ++i)
        for (uint8_t variant = 0; variant < 2; ++variant)
            for (uint8_t outlined = 0; outlined < 2; ++outlined)
                if (CGlyphBitmap* g = table.GetGlyph(i, variant, outlined))
                    if (g->pixels != nullptr && g->width > 0)
                        (void)g->pixels[(g->height - 1) * g->pitch + g->width - 1];
    return 0;
}
