// Fuzzes the GDI font stand-in. Input: a LOGFONTA (its bytes as they come, the height reduced so
// that one input stays quick), then records of code, format and MAT2 for GetGlyphOutlineA, and
// the remaining bytes as a TextOutA text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/fuzz_input.h"
#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LOGFONTA lf{};
    std::memcpy(&lf, data, std::min(size, sizeof lf));
    lf.lfHeight %= 200;
    HFONT font = CreateFontIndirectA(&lf);
    if (font == nullptr)
        return 0;
    std::vector<uint32_t> pixels(32 * 24);
    HDC dc = winapi::CreateMemoryDC(pixels.data(), 32, 24, 32 * 4, 32);
    HGDIOBJ old = SelectObject(dc, font);
    FuzzInput in{data, size, std::min(size, sizeof lf)};
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    for (int i = 0; i < 4 && !in.AtEnd(); ++i) {
        const UINT code = in.U32() & 0x1FFFF;
        const UINT format = in.U32() % 8;
        MAT2 m;
        const uint32_t a = in.U32(), b = in.U32();
        // Scales kept within ±8 so that a glyph stays small.
        auto fixed = [](uint32_t v) {
            return FIXED{static_cast<WORD>(v), static_cast<SHORT>(static_cast<int16_t>(v >> 16) % 9)};
        };
        m.eM11 = fixed(a);
        m.eM12 = fixed(a * 2654435761u);
        m.eM21 = fixed(b);
        m.eM22 = fixed(b * 2654435761u);
        GLYPHMETRICS gm{};
        const DWORD need = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &m);
        if (need != GDI_ERROR && need > 0 && need < (1u << 22)) {
            std::vector<BYTE> buffer(need);
            GetGlyphOutlineA(dc, code, format, &gm, need, buffer.data(), &m);
            GetGlyphOutlineA(dc, code, format, &gm, need - 1, buffer.data(), &m);
        }
    }
    const size_t rest = in.pos < size ? size - in.pos : 0;
    const char* text = reinterpret_cast<const char*>(data + in.pos);
    SetBkMode(dc, rest & 1 ? OPAQUE : TRANSPARENT);
    TextOutA(dc, static_cast<int>(rest % 40) - 8, 2, text, static_cast<int>(std::min<size_t>(rest, 64)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::min<size_t>(rest, 64)), &extent);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return 0;
}
