// Row kernels of the fill and colour operations (see color_kernels.h).
#include "raster/color_kernels.h"

#include <algorithm>
#include <cstring>

#include "raster/blend_tables.h"
#include "platform/cpu_info.h"
#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

using namespace pixel_simd;

namespace {

struct AddColorOp {
    uint32_t c;
    uint32_t Pixel(uint32_t d) const { return AddSat4(d, c); }
    __m128i Vec(__m128i d) const { return _mm_adds_epu8(d, Splat32(c)); }
};
struct SubColorOp {
    uint32_t c;
    uint32_t Pixel(uint32_t d) const { return SubSat4(d, c); }
    __m128i Vec(__m128i d) const { return _mm_subs_epu8(d, Splat32(c)); }
};

uint32_t GrayOf(uint32_t d)
{
    const uint32_t g = (77 * ((d >> 16) & 0xFF) + 150 * ((d >> 8) & 0xFF) + 29 * (d & 0xFF)) >> 8;
    return (d & 0xFF000000u) | g * 0x010101u;
}
struct GrayOp {
    uint32_t Pixel(uint32_t d) const { return GrayOf(d); }
    __m128i Vec(__m128i d) const
    {
        const __m128i byte = Splat32(0xFF);
        const __m128i b = _mm_mullo_epi16(_mm_and_si128(d, byte), Splat32(29));
        const __m128i g = _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(d, 8), byte), Splat32(150));
        const __m128i r = _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(d, 16), byte), Splat32(77));
        const __m128i y = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(b, g), r), 8);
        const __m128i yyy = _mm_or_si128(_mm_or_si128(y, _mm_slli_epi32(y, 8)), _mm_slli_epi32(y, 16));
        return _mm_or_si128(_mm_and_si128(d, Splat32(0xFF000000u)), yyy);
    }
};

struct BrightestToAlphaOp {
    uint32_t Pixel(uint32_t d) const
    {
        const uint32_t m = std::max({d & 0xFF, (d >> 8) & 0xFF, (d >> 16) & 0xFF});
        return (d & 0xFFFFFFu) | m << 24;
    }
    __m128i Vec(__m128i d) const
    {
        // Each lane's low byte becomes max(blue, green, red); the bytes above it are dropped.
        const __m128i m = _mm_max_epu8(_mm_max_epu8(d, _mm_srli_epi32(d, 8)), _mm_srli_epi32(d, 16));
        return _mm_or_si128(_mm_and_si128(d, Splat32(0xFFFFFFu)), _mm_slli_epi32(m, 24));
    }
};

struct ColorizeOp {
    int gain[3], offset[3];
    __m128i gainv, offsetv;
    ColorizeOp(int rg, int gg, int bg, int ro, int go, int bo)
        : gain{bg, gg, rg}, offset{bo, go, ro}
    {
        gainv = _mm_set_epi16(128, short(rg), short(gg), short(bg), 128, short(rg), short(gg), short(bg));
        offsetv = _mm_set_epi16(0, short(ro), short(go), short(bo), 0, short(ro), short(go), short(bo));
    }
    uint32_t Pixel(uint32_t d) const
    {
        uint32_t out = d & 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const int v = static_cast<int>((d >> (8 * c)) & 0xFF);
            out |= static_cast<uint32_t>(g_ClampTable[((v * gain[c]) >> 7) + offset[c]]) << (8 * c);
        }
        return out;
    }
    __m128i Lanes(__m128i v) const
    {
        return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(v, gainv), 7), offsetv);
    }
    __m128i Vec(__m128i d) const
    {
        const __m128i zero = _mm_setzero_si128();
        return _mm_packus_epi16(Lanes(_mm_unpacklo_epi8(d, zero)), Lanes(_mm_unpackhi_epi8(d, zero)));
    }
};

struct InvertOp {
    uint32_t mask;
    uint32_t Pixel(uint32_t d) const { return d ^ mask; }
    __m128i Vec(__m128i d) const { return _mm_xor_si128(d, Splat32(mask)); }
};

// Mask painting: the mode decides how the colour meets the destination.
enum class MaskMode { Blend, Add, Sub };
template <MaskMode M> struct PaintMaskOp {
    uint32_t c;
    const BYTE* table;
    ByteTable levels{table};
    uint32_t Pixel(uint32_t d, uint32_t m) const
    {
        const uint32_t f = FactorOf(table[m]);
        if (M == MaskMode::Blend) {
            return BlendByFactor(d, c, f);
        }
        return M == MaskMode::Add ? AddByFactor(d, c, f) : SubByFactor(d, c, f);
    }
    __m128i Vec(__m128i d, __m128i m) const
    {
        const __m128i f = Factor32(levels.Look4(m));
        if (M == MaskMode::Blend) {
            return BlendByFactor4(d, Splat32(c), f);
        }
        return M == MaskMode::Add ? AddByFactor4(d, Splat32(c), f) : SubByFactor4(d, Splat32(c), f);
    }
};

struct PaintMaskOnAlphaOp {
    uint32_t c;
    const BYTE* table;
    ByteTable levels{table};
    uint32_t Pixel(uint32_t d, uint32_t m) const
    {
        const uint32_t dA = d >> 24;
        const uint32_t o = table[m];
        const uint32_t out = BlendByFactor(d, c, FactorOf(g_SourceWeightTable[dA][o])) & 0x00FFFFFFu;
        return out | uint32_t(g_AlphaUnionTable[dA][o]) << 24;
    }
    __m128i Vec(__m128i d, __m128i m) const
    {
        return BlendOnAlpha4(d, Splat32(c), levels.Look4(m));
    }
};

// mul(m, c) + mul(255 - m, d) per colour byte; a zero mask byte leaves the pixel.
struct GlyphOp {
    uint32_t c;
    uint32_t Pixel(uint32_t d, uint32_t m) const
    {
        if (m == 0) {
            return d;
        }
        uint32_t out = d & 0xFF000000u;
        for (int ch = 0; ch < 3; ++ch) {
            const uint32_t v = g_MulTable[m][(c >> (8 * ch)) & 0xFF] + g_MulTable[255 - m][(d >> (8 * ch)) & 0xFF];
            out |= (v > 255 ? 255 : v) << (8 * ch);
        }
        return out;
    }
    __m128i Vec(__m128i d, __m128i m) const
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i m16 = _mm_or_si128(m, _mm_slli_epi32(m, 16));
        const __m128i mlo = _mm_unpacklo_epi32(m16, m16);
        const __m128i mhi = _mm_unpackhi_epi32(m16, m16);
        const __m128i inv255 = Splat16(255);
        const __m128i clo = _mm_unpacklo_epi8(Splat32(c), zero);
        const __m128i lo = _mm_add_epi16(MulByte16(clo, mlo),
                                         MulByte16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(inv255, mlo)));
        const __m128i hi = _mm_add_epi16(MulByte16(clo, mhi),
                                         MulByte16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(inv255, mhi)));
        const __m128i v = KeepAlpha(d, _mm_packus_epi16(lo, hi));
        return Select(_mm_cmpeq_epi32(m, zero), d, v);
    }
};

// Clips a mask placed at (x, y) to a destination of the given size; false when nothing is inside.
bool ClipMask(int& x, int& y, int& mx, int& my, int& w, int& h, int dstWidth, int dstHeight)
{
    mx = my = 0;
    int64_t left = x, top = y, right = int64_t(x) + w, bottom = int64_t(y) + h;
    if (w <= 0 || h <= 0 || right <= 0 || bottom <= 0 || left >= dstWidth || top >= dstHeight) {
        return false;
    }
    if (left < 0) {
        mx = static_cast<int>(-left);
        left = 0;
    }
    if (top < 0) {
        my = static_cast<int>(-top);
        top = 0;
    }
    right = right > dstWidth ? dstWidth : right;
    bottom = bottom > dstHeight ? dstHeight : bottom;
    x = static_cast<int>(left);
    y = static_cast<int>(top);
    w = static_cast<int>(right - left);
    h = static_cast<int>(bottom - top);
    return w > 0 && h > 0;
}

uint32_t Pack(BYTE r, BYTE g, BYTE b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

} // namespace

namespace {
void BlendColorRows(BYTE* dst, int pitch, int width, int height, DWORD color, BYTE alpha, bool keyed, DWORD key)
{
    const uint8_t* keep = g_MulTable[255 - alpha];
    const BYTE add[3] = {g_MulTable[color & 0xFF][alpha], g_MulTable[(color >> 8) & 0xFF][alpha],
                         g_MulTable[(color >> 16) & 0xFF][alpha]};
    for (int y = 0; y < height; ++y, dst += pitch) {
        BYTE* p = dst;
        for (int x = 0; x < width; ++x, p += 4) {
            if (keyed && Load32(p) == key) {
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                p[c] = static_cast<BYTE>(keep[p[c]] + add[c]);
            }
        }
    }
}

} // namespace

void BlendColorRows32(BYTE* dst, int pitch, int width, int height, DWORD color, BYTE alpha)
{
    BlendColorRows(dst, pitch, width, height, color, alpha, false, 0);
}
void BlendColorKeyRows32(BYTE* dst, int pitch, int width, int height, DWORD color, BYTE alpha, DWORD key)
{
    BlendColorRows(dst, pitch, width, height, color, alpha, true, key);
}

void AddColorRows32(BYTE* dst, int skip, int width, int height, DWORD color)
{
    Rows1(dst, skip, width, height, AddColorOp{color & 0xFFFFFFu});
}
void AddColorKeyRows32(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key)
{
    Rows1(dst, skip, width, height, DestKeyed<AddColorOp>{{color & 0xFFFFFFu}, key});
}
namespace {

// The colour added to (or taken from) every pixel with saturation, sixteen pixels a step; the
// rest by the four-pixel kernel's own rule.
template <bool Add> PIXEL_SIMD_AVX2 inline __m256i AddSub8(__m256i d, __m256i v)
{
    return Add ? _mm256_adds_epu8(d, v) : _mm256_subs_epu8(d, v);
}

template <bool Add> PIXEL_SIMD_AVX2 void AddSubRowsAvx2(BYTE* dst, int skip, int width, int height, uint32_t c)
{
    using pixel_simd_avx2::Load8, pixel_simd_avx2::Store8;
    const __m256i v = pixel_simd_avx2::Splat(c);
    for (int y = 0; y < height; ++y, dst += skip) {
        int x = 0;
        for (; x + 16 <= width; x += 16, dst += 64) {
            const __m256i a = Load8(dst), b = Load8(dst + 32);
            Store8(dst, AddSub8<Add>(a, v));
            Store8(dst + 32, AddSub8<Add>(b, v));
        }
        for (; x + 8 <= width; x += 8, dst += 32)
            Store8(dst, AddSub8<Add>(Load8(dst), v));
        for (; x < width; ++x, dst += 4)
            Store32(dst, Add ? AddSat4(Load32(dst), c) : SubSat4(Load32(dst), c));
    }
}

} // namespace

void AddColorRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color)
{
    if (UseAvx2()) {
        AddSubRowsAvx2<true>(dst, skip, width, height, color & 0xFFFFFFu);
        return;
    }
    Rows1Simd(dst, skip, width, height, AddColorOp{color & 0xFFFFFFu});
}
void AddColorKeyRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key)
{
    Rows1Simd(dst, skip, width, height, DestKeyed<AddColorOp>{{color & 0xFFFFFFu}, key});
}
void SubColorRows32(BYTE* dst, int skip, int width, int height, DWORD color)
{
    Rows1(dst, skip, width, height, SubColorOp{color & 0xFFFFFFu});
}
void SubColorKeyRows32(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key)
{
    Rows1(dst, skip, width, height, DestKeyed<SubColorOp>{{color & 0xFFFFFFu}, key});
}
void SubColorRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color)
{
    if (UseAvx2()) {
        AddSubRowsAvx2<false>(dst, skip, width, height, color & 0xFFFFFFu);
        return;
    }
    Rows1Simd(dst, skip, width, height, SubColorOp{color & 0xFFFFFFu});
}
void SubColorKeyRows32Mmx(BYTE* dst, int skip, int width, int height, DWORD color, DWORD key)
{
    Rows1Simd(dst, skip, width, height, DestKeyed<SubColorOp>{{color & 0xFFFFFFu}, key});
}

void PaintMaskRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height, DWORD color,
                     const BYTE* table)
{
    MaskRows(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Blend>{color, table});
}
void PaintMaskRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table)
{
    MaskRowsSimd(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Blend>{color, table});
}
void PaintMaskAddRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table)
{
    MaskRows(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Add>{color, table});
}
void PaintMaskAddRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                           DWORD color, const BYTE* table)
{
    MaskRowsSimd(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Add>{color, table});
}
void PaintMaskSubRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                        DWORD color, const BYTE* table)
{
    MaskRows(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Sub>{color, table});
}
void PaintMaskSubRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                           DWORD color, const BYTE* table)
{
    MaskRowsSimd(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOp<MaskMode::Sub>{color, table});
}
void PaintMaskOnAlphaRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                            DWORD color, const BYTE* table)
{
    MaskRows(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOnAlphaOp{color, table});
}
void PaintMaskOnAlphaRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                               DWORD color, const BYTE* table)
{
    MaskRowsSimd(dst, mask, dstSkip, maskSkip, width, height, PaintMaskOnAlphaOp{color, table});
}

void GrayRows32(BYTE* dst, int skip, int width, int height) { Rows1(dst, skip, width, height, GrayOp{}); }
void GrayKeyRows32(BYTE* dst, int skip, int width, int height, DWORD key)
{
    Rows1(dst, skip, width, height, DestKeyed<GrayOp>{{}, key});
}
void GrayRows32Mmx(BYTE* dst, int skip, int width, int height) { Rows1Simd(dst, skip, width, height, GrayOp{}); }

void BrightestToAlphaRows32(BYTE* dst, int skip, int width, int height)
{
    Rows1(dst, skip, width, height, BrightestToAlphaOp{});
}
void BrightestToAlphaRows32Mmx(BYTE* dst, int skip, int width, int height)
{
    Rows1Simd(dst, skip, width, height, BrightestToAlphaOp{});
}

void ColorizeRows32(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                    int redOffset, int greenOffset, int blueOffset)
{
    Rows1(dst, skip, width, height, ColorizeOp(redGain, greenGain, blueGain, redOffset, greenOffset, blueOffset));
}
void ColorizeKeyRows32(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                       int redOffset, int greenOffset, int blueOffset, DWORD key)
{
    Rows1(dst, skip, width, height,
          DestKeyed<ColorizeOp>{ColorizeOp(redGain, greenGain, blueGain, redOffset, greenOffset, blueOffset), key});
}
void ColorizeRows32Mmx(BYTE* dst, int skip, int width, int height, int redGain, int greenGain, int blueGain,
                       int redOffset, int greenOffset, int blueOffset)
{
    Rows1Simd(dst, skip, width, height,
              ColorizeOp(redGain, greenGain, blueGain, redOffset, greenOffset, blueOffset));
}

void InvertKeyRows32(BYTE* dst, int skip, int width, int height, BYTE mode, DWORD key)
{
    const uint32_t mask = mode == 0 ? 0x00FFFFFFu : mode == 1 ? 0xFFFFFFFFu : 0xFF000000u;
    Rows1(dst, skip, width, height, DestKeyed<InvertOp>{{mask}, key});
}

void AdjustAlphaRows(BYTE* dst, int skip, int width, int height, int bytesPerPixel, int level)
{
    BYTE map[256];
    const int k = level - 256;
    for (int v = 0; v < 256; ++v) {
        map[v] = level < 256 ? g_MulTable[level][v] : static_cast<BYTE>(g_MulTable[255 - k][v] + k);
    }
    BYTE* p = dst + (bytesPerPixel == 4 ? 3 : 0);
    for (int y = 0; y < height; ++y, p += skip) {
        for (int x = 0; x < width; ++x, p += bytesPerPixel) {
            *p = map[*p];
        }
    }
}

void ScaleOffsetAlphaRows(BYTE* dst, int skip, int width, int height, int bytesPerPixel, int gain, int offset)
{
    BYTE map[256];
    for (int v = 0; v < 256; ++v) {
        map[v] = g_ClampTable[((v * gain) >> 7) + offset];
    }
    BYTE* p = dst + (bytesPerPixel == 4 ? 3 : 0);
    for (int y = 0; y < height; ++y, p += skip) {
        for (int x = 0; x < width; ++x, p += bytesPerPixel) {
            *p = map[*p];
        }
    }
}

void ScaleColorRows32(BYTE* pixels, int pitch, int width, int height, BYTE level)
{
    const uint8_t* row = g_MulTable[level];
    for (int y = 0; y < height; ++y, pixels += pitch) {
        BYTE* p = pixels;
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = row[p[0]];
            p[1] = row[p[1]];
            p[2] = row[p[2]];
        }
    }
}

bool PaintMaskColor(int x, int y, BYTE red, BYTE green, BYTE blue, BYTE* dst, int dstWidth, int dstHeight,
                    int dstPitch, const BYTE* mask, int maskWidth, int maskHeight, int maskPitch)
{
    int mx, my, w = maskWidth, h = maskHeight;
    if (!dst || !mask || !ClipMask(x, y, mx, my, w, h, dstWidth, dstHeight)) {
        return false;
    }
    const uint32_t color = Pack(red, green, blue);
    for (int row = 0; row < h; ++row) {
        const BYTE* m = mask + intptr_t(my + row) * maskPitch + mx;
        BYTE* p = dst + intptr_t(y + row) * dstPitch + intptr_t(x) * 4;
        for (int col = 0; col < w; ++col, p += 4) {
            if (m[col]) {
                Store32(p, (Load32(p) & 0xFF000000u) | color);
            }
        }
    }
    return true;
}

bool BlendGlyphMask(int x, int y, BYTE red, BYTE green, BYTE blue, BYTE* dst, int dstWidth, int dstHeight,
                    int dstPitch, const BYTE* mask, int maskWidth, int maskHeight, int maskPitch)
{
    int mx, my, w = maskWidth, h = maskHeight;
    if (!dst || !mask || !ClipMask(x, y, mx, my, w, h, dstWidth, dstHeight)) {
        return false;
    }
    BYTE* p = dst + intptr_t(y) * dstPitch + intptr_t(x) * 4;
    const BYTE* m = mask + intptr_t(my) * maskPitch + mx;
    (g_bUseMmx ? BlendGlyphRows32Mmx : BlendGlyphRows32)(p, m, dstPitch - 4 * w, maskPitch - w, w, h,
                                                         Pack(red, green, blue));
    return true;
}

void BlendGlyphRows32(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height, DWORD color)
{
    MaskRows(dst, mask, dstSkip, maskSkip, width, height, GlyphOp{color});
}
void BlendGlyphRows32Mmx(BYTE* dst, const BYTE* mask, int dstSkip, int maskSkip, int width, int height,
                         DWORD color)
{
    // A glyph's mask is mostly empty or solid: four pixels under mask 0 stay as they are, four
    // under 255 take the colour (mul(255, c) + mul(0, d) = c), and only the edges are blended.
    const GlyphOp op{color};
    const __m128i ink = Splat32(color & 0xFFFFFFu);
    for (int y = 0; y < height; ++y) {
        int x = 0;
        for (; x + 4 <= width; x += 4, dst += 16, mask += 4) {
            uint32_t m;
            std::memcpy(&m, mask, 4);
            if (m == 0)
                continue;
            const __m128i d = Load4(dst);
            Store4(dst, m == 0xFFFFFFFFu ? KeepAlpha(d, ink) : op.Vec(d, LoadMask4(mask)));
        }
        for (; x < width; ++x, dst += 4, ++mask)
            Store32(dst, op.Pixel(Load32(dst), *mask));
        dst += dstSkip;
        mask += maskSkip;
    }
}

void ConvertArgbToTexture16(uint32_t format, BYTE* dstBase, int dstX, int dstY, int width, int height,
                            int dstPitch, const BYTE* srcBase, int srcX, int srcY, int srcPitch)
{
    if (format != 64 && format != 128 && format != 256) {
        return;
    }
    const int dstBytes = format == 256 ? 4 : 2;
    for (int y = 0; y < height; ++y) {
        BYTE* d = dstBase + intptr_t(dstY + y) * dstPitch + intptr_t(dstX) * dstBytes;
        const BYTE* s = srcBase + intptr_t(srcY + y) * srcPitch + intptr_t(srcX) * 4;
        for (int x = 0; x < width; ++x, s += 4) {
            const uint32_t p = Load32(s);
            if (format == 256) {
                Store32(d + 4 * x, p);
                continue;
            }
            uint16_t t;
            if (format == 64) {
                t = static_cast<uint16_t>(((p >> 9) & 0x7C00) + ((p >> 6) & 0x3E0) + ((p >> 3) & 0x1F) +
                                          ((p >> 16) & 0x8000));
            } else {
                t = static_cast<uint16_t>(((p >> 16) & 0xF000) + ((p >> 12) & 0xF00) + ((p >> 8) & 0xF0) +
                                          ((p >> 4) & 0xF));
            }
            std::memcpy(d + 2 * x, &t, 2);
        }
    }
}
