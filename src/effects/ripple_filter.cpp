#include "effects/ripple_filter.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>

#include "display/image_object.h"
#include "platform/cpu_info.h"
#include "platform/decimal_text.h"
#include "raster/image.h"
#include "raster/pixel_simd_avx2.h"
#include "winapi/simd_level.h"

namespace {

constexpr int kSlots = 4;
// The columns a frame is drawn in at a time.
constexpr int32_t kRippleStrip = 256;
// The rows a frame is drawn in at a time, every strip across them before the next rows.
constexpr int32_t kRippleBlock = 8;
RippleTables* g_slots[kSlots] = {};

double DecimalWord(const CEffectArgs& args, size_t i, double fallback)
{
    double value = fallback;
    if (!args.GetDouble(i, &value))
        value = ReadDecimalText(args.TextAt(i), fallback);
    return value;
}

// old + ((new - old) × opacity >> 8) per channel (the packed form gives the same), top byte 0.
inline uint32_t Mix(uint32_t o, uint32_t n, uint32_t opacity)
{
    const uint32_t rb = ((o & 0xFF00FF) + (((n & 0xFF00FF) - (o & 0xFF00FF)) * opacity >> 8)) & 0xFF00FF;
    const uint32_t g = ((o & 0xFF00) + (((n & 0xFF00) - (o & 0xFF00)) * opacity >> 8)) & 0xFF00;
    return rb | g;
}

// A source position outside the picture mirrored back in, then held on it (a shift larger than
// the picture left the mirrored position outside as well).
inline int32_t Reflect(int32_t v, int32_t size)
{
    if (v < 0)
        v = -v;
    else if (v >= size)
        v = 2 * size - v - 1;
    return std::clamp(v, 0, size - 1);
}

inline uint32_t Read(const uint8_t* bits, int32_t pitch, int32_t x, int32_t y)
{
    return reinterpret_cast<const uint32_t*>(bits + static_cast<intptr_t>(y) * pitch)[x];
}

// The source positions of one pixel.
template <int kStep, bool kBorder> inline void Source(const RippleRun& r, int32_t i, int32_t* sx, int32_t* sy)
{
    const uint16_t d = r.displacement[r.quad[kStep * i]];
    const int32_t dx = static_cast<int8_t>(d >> 8), dy = static_cast<int8_t>(d & 0xFF);
    *sx = kStep > 0 ? r.x + i - dx : r.x + i + dx;
    *sy = r.y + dy;
    if (kBorder) {
        *sx = Reflect(*sx, r.width);
        *sy = Reflect(*sy, r.height);
    }
}

template <int kStep, bool kBorder> void PlainKernel(const RippleRun& r)
{
    for (int32_t i = 0; i < r.count; ++i) {
        int32_t sx = 0, sy = 0;
        Source<kStep, kBorder>(r, i, &sx, &sy);
        r.dst[i] = Mix(Read(r.oldBits, r.oldPitch, sx, sy), Read(r.newBits, r.newPitch, sx, sy),
                       static_cast<uint32_t>(r.opacity));
    }
}

// (old × (256 - o) + new × o) >> 8 of four pixels in 16-bit lanes, which equals the plain rule
// (old × 256 + (new - old) × o never leaves 0..65280); the top byte 0.
inline __m128i Mix4(__m128i ov, __m128i nv, __m128i keep, __m128i take)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(ov, zero), keep),
                                                    _mm_mullo_epi16(_mm_unpacklo_epi8(nv, zero), take)),
                                      8);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(ov, zero), keep),
                                                    _mm_mullo_epi16(_mm_unpackhi_epi8(nv, zero), take)),
                                      8);
    return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
}

// Four pixels at a time.
template <int kStep, bool kBorder> void Sse2Kernel(const RippleRun& r)
{
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - r.opacity));
    const __m128i take = _mm_set1_epi16(static_cast<short>(r.opacity));
    int32_t i = 0;
    for (; i + 4 <= r.count; i += 4) {
        alignas(16) uint32_t o[4], n[4];
        for (int k = 0; k < 4; ++k) {
            int32_t sx = 0, sy = 0;
            Source<kStep, kBorder>(r, i + k, &sx, &sy);
            o[k] = Read(r.oldBits, r.oldPitch, sx, sy);
            n[k] = Read(r.newBits, r.newPitch, sx, sy);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r.dst + i),
                         Mix4(_mm_load_si128(reinterpret_cast<const __m128i*>(o)),
                              _mm_load_si128(reinterpret_cast<const __m128i*>(n)), keep, take));
    }
    for (; i < r.count; ++i) {
        int32_t sx = 0, sy = 0;
        Source<kStep, kBorder>(r, i, &sx, &sy);
        r.dst[i] = Mix(Read(r.oldBits, r.oldPitch, sx, sy), Read(r.newBits, r.newPitch, sx, sy),
                       static_cast<uint32_t>(r.opacity));
    }
}

// The inner runs (no position leaves the picture) when both pictures share a pitch: each
// quadrant entry's shift is one offset in pixels, so a pixel is two table reads and two pixel
// reads, four pixels mixed at a time.
template <int kStep> void OffsetKernel(const RippleRun& r)
{
    if (r.offsets == nullptr || r.oldPitch != r.newPitch) {
        Sse2Kernel<kStep, false>(r);
        return;
    }
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - r.opacity));
    const __m128i take = _mm_set1_epi16(static_cast<short>(r.opacity));
    const auto* oldAt =
        reinterpret_cast<const uint32_t*>(r.oldBits + static_cast<intptr_t>(r.y) * r.oldPitch) + r.x;
    const auto* newAt =
        reinterpret_cast<const uint32_t*>(r.newBits + static_cast<intptr_t>(r.y) * r.newPitch) + r.x;
    const uint16_t* quad = r.quad;
    const int32_t* offsets = r.offsets;
    int32_t i = 0;
    for (; i + 4 <= r.count; i += 4) {
        const intptr_t a0 = i + offsets[quad[kStep * i]];
        const intptr_t a1 = i + 1 + offsets[quad[kStep * (i + 1)]];
        const intptr_t a2 = i + 2 + offsets[quad[kStep * (i + 2)]];
        const intptr_t a3 = i + 3 + offsets[quad[kStep * (i + 3)]];
        const __m128i ov = _mm_unpacklo_epi64(
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(oldAt[a0])), _mm_cvtsi32_si128(int(oldAt[a1]))),
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(oldAt[a2])), _mm_cvtsi32_si128(int(oldAt[a3]))));
        const __m128i nv = _mm_unpacklo_epi64(
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(newAt[a0])), _mm_cvtsi32_si128(int(newAt[a1]))),
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(newAt[a2])), _mm_cvtsi32_si128(int(newAt[a3]))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r.dst + i), Mix4(ov, nv, keep, take));
    }
    for (; i < r.count; ++i) {
        const intptr_t at = i + offsets[quad[kStep * i]];
        r.dst[i] = Mix(oldAt[at], newAt[at], static_cast<uint32_t>(r.opacity));
    }
}

// OffsetKernel eight pixels a step, mixed as BlendColour does (old + floor((new - old) o / 256)).
// The pixels are read one by one: gathers were measured slower than single reads.
template <int kStep> PIXEL_SIMD_AVX2 void OffsetKernelAvx2(const RippleRun& r)
{
    using namespace pixel_simd_avx2;
    if (r.offsets == nullptr || r.oldPitch != r.newPitch) {
        Sse2Kernel<kStep, false>(r);
        return;
    }
    const auto* oldAt =
        reinterpret_cast<const int*>(r.oldBits + static_cast<intptr_t>(r.y) * r.oldPitch) + r.x;
    const auto* newAt =
        reinterpret_cast<const int*>(r.newBits + static_cast<intptr_t>(r.y) * r.newPitch) + r.x;
    const uint16_t* quad = r.quad;
    const int32_t* offsets = r.offsets;
    uint32_t* dst = r.dst;
    const int32_t count = r.count;
    const __m256i factor = Splat(static_cast<uint32_t>(r.opacity) * 0x10001u);
    const __m256i colour = Splat(0x00FFFFFFu);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        // Offsets widened as they are read and the lane folded into the address: a pixel is
        // then one table read, one offset read and two pixel reads.
        const uint16_t* q = quad + kStep * i;
        const int* o = oldAt + i;
        const int* n = newAt + i;
        intptr_t at[8];
        for (int k = 0; k < 8; ++k)
            at[k] = offsets[q[kStep * k]];
        const __m256i ov = _mm256_setr_epi32(o[at[0]], o[at[1] + 1], o[at[2] + 2], o[at[3] + 3], o[at[4] + 4],
                                             o[at[5] + 5], o[at[6] + 6], o[at[7] + 7]);
        const __m256i nv = _mm256_setr_epi32(n[at[0]], n[at[1] + 1], n[at[2] + 2], n[at[3] + 3], n[at[4] + 4],
                                             n[at[5] + 5], n[at[6] + 6], n[at[7] + 7]);
        Store8(reinterpret_cast<uint8_t*>(dst + i),
               _mm256_and_si256(BlendColourByWords(ov, nv, factor), colour));
    }
    for (; i < count; ++i) {
        const intptr_t from = i + offsets[quad[kStep * i]];
        dst[i] = Mix(static_cast<uint32_t>(oldAt[from]), static_cast<uint32_t>(newAt[from]),
                     static_cast<uint32_t>(r.opacity));
    }
}

// Reflect of eight positions: last is size - 1, far is 2 × size - 1.
PIXEL_SIMD_AVX2 inline __m256i Reflect8(__m256i v, __m256i last, __m256i far)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i r = _mm256_blendv_epi8(v, _mm256_sub_epi32(far, v), _mm256_cmpgt_epi32(v, last));
    r = _mm256_blendv_epi8(r, _mm256_sub_epi32(zero, v), _mm256_cmpgt_epi32(zero, v));
    return _mm256_min_epi32(_mm256_max_epi32(r, zero), last);
}

// The border runs eight pixels a step: the positions mirrored in vectors, the pixels read one by one.
// Needs pitches of whole pixels whose picture spans fit 32-bit indices; else the SSE2 kernel.
template <int kStep> PIXEL_SIMD_AVX2 void BorderKernelAvx2(const RippleRun& r)
{
    using namespace pixel_simd_avx2;
    const int32_t oldAcross = r.oldPitch / 4, newAcross = r.newPitch / 4;
    const int64_t widest = std::max(std::abs(int64_t{oldAcross}), std::abs(int64_t{newAcross}));
    if (r.oldPitch % 4 != 0 || r.newPitch % 4 != 0 || int64_t{r.height} * widest + r.width > INT32_MAX) {
        Sse2Kernel<kStep, true>(r);
        return;
    }
    const int* oldBits = reinterpret_cast<const int*>(r.oldBits);
    const int* newBits = reinterpret_cast<const int*>(r.newBits);
    const uint16_t* quad = r.quad;
    const uint16_t* displacement = r.displacement;
    const __m256i lastX = Splat(static_cast<uint32_t>(r.width - 1)),
                  farX = Splat(static_cast<uint32_t>(2 * r.width - 1));
    const __m256i lastY = Splat(static_cast<uint32_t>(r.height - 1)),
                  farY = Splat(static_cast<uint32_t>(2 * r.height - 1));
    const __m256i oldRow = Splat(static_cast<uint32_t>(oldAcross)),
                  newRow = Splat(static_cast<uint32_t>(newAcross));
    const __m256i y = Splat(static_cast<uint32_t>(r.y));
    const __m256i factor = Splat(static_cast<uint32_t>(r.opacity) * 0x10001u);
    const __m256i colour = Splat(0x00FFFFFFu);
    __m256i column =
        _mm256_add_epi32(Splat(static_cast<uint32_t>(r.x)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    int32_t i = 0;
    for (; i + 8 <= r.count; i += 8) {
        const __m256i d =
            _mm256_setr_epi32(displacement[quad[kStep * i]], displacement[quad[kStep * (i + 1)]],
                              displacement[quad[kStep * (i + 2)]], displacement[quad[kStep * (i + 3)]],
                              displacement[quad[kStep * (i + 4)]], displacement[quad[kStep * (i + 5)]],
                              displacement[quad[kStep * (i + 6)]], displacement[quad[kStep * (i + 7)]]);
        const __m256i dx = _mm256_srai_epi32(_mm256_slli_epi32(d, 16), 24);
        const __m256i dy = _mm256_srai_epi32(_mm256_slli_epi32(d, 24), 24);
        const __m256i sx =
            Reflect8(kStep > 0 ? _mm256_sub_epi32(column, dx) : _mm256_add_epi32(column, dx), lastX, farX);
        const __m256i sy = Reflect8(_mm256_add_epi32(y, dy), lastY, farY);
        // Single reads: gathers were measured slower.
        alignas(32) int32_t oldAt[8], newAt[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(oldAt),
                           _mm256_add_epi32(_mm256_mullo_epi32(sy, oldRow), sx));
        _mm256_store_si256(reinterpret_cast<__m256i*>(newAt),
                           _mm256_add_epi32(_mm256_mullo_epi32(sy, newRow), sx));
        const __m256i ov =
            _mm256_setr_epi32(oldBits[oldAt[0]], oldBits[oldAt[1]], oldBits[oldAt[2]], oldBits[oldAt[3]],
                              oldBits[oldAt[4]], oldBits[oldAt[5]], oldBits[oldAt[6]], oldBits[oldAt[7]]);
        const __m256i nv =
            _mm256_setr_epi32(newBits[newAt[0]], newBits[newAt[1]], newBits[newAt[2]], newBits[newAt[3]],
                              newBits[newAt[4]], newBits[newAt[5]], newBits[newAt[6]], newBits[newAt[7]]);
        Store8(reinterpret_cast<uint8_t*>(r.dst + i),
               _mm256_and_si256(BlendColourByWords(ov, nv, factor), colour));
        column = _mm256_add_epi32(column, Splat(8));
    }
    for (; i < r.count; ++i) {
        int32_t sx = 0, sy = 0;
        Source<kStep, true>(r, i, &sx, &sy);
        r.dst[i] = Mix(Read(r.oldBits, r.oldPitch, sx, sy), Read(r.newBits, r.newPitch, sx, sy),
                       static_cast<uint32_t>(r.opacity));
    }
}

RippleTables* Build(int32_t width, int32_t height, int32_t cx, int32_t cy, int32_t rings, float aspect,
                    int32_t amplitude)
{
    auto* t = new (std::nothrow) RippleTables;
    if (t == nullptr)
        return nullptr;
    t->holdCount = 1;
    t->width = width, t->height = height, t->centreX = cx, t->centreY = cy;
    t->rings = rings, t->aspect = aspect, t->amplitude = amplitude;
    // The larger distance to an edge on each side (the odd-size case of "width - centre" fell a
    // column short).
    t->quadrantWidth = std::max(cx, width - cx);
    t->quadrantHeight = std::max(cy, height - cy);
    try {
        t->quadrant.resize(static_cast<size_t>(t->quadrantWidth) * t->quadrantHeight);
        t->displacement.resize(static_cast<size_t>(4 * amplitude) * 2 * rings * 32);
    } catch (const std::bad_alloc&) {
        delete t;
        return nullptr;
    }
    for (int32_t r = 0; r < t->quadrantHeight; ++r)
        for (int32_t c = 0; c < t->quadrantWidth; ++c)
            t->quadrant[static_cast<size_t>(r) * t->quadrantWidth + c] =
                static_cast<uint16_t>(RippleQuadrantEntry(r, c, rings, aspect));
    int32_t profile[128];
    for (int32_t i = 0; i < rings; ++i)
        profile[i] = RippleProfile(i, rings);
    int32_t cosines[32], sines[32];
    for (int32_t a = 0; a < 32; ++a) {
        cosines[a] = RippleAngleCos(a);
        sines[a] = RippleAngleSin(a);
    }
    for (int32_t level = 0; level < 4 * amplitude; ++level) {
        uint16_t* rows = t->displacement.data() + static_cast<size_t>(level) * 2 * rings * 32;
        for (int32_t i = 0; i < rings; ++i) {
            const int32_t m = (profile[i] * (level * 256)) >> 10;
            for (int32_t a = 0; a < 32; ++a) {
                const int32_t high = (cosines[a] * m) >> 22, low = (sines[a] * m) >> 22;
                const uint16_t entry =
                    static_cast<uint16_t>((static_cast<uint8_t>(high) << 8) | static_cast<uint8_t>(low));
                rows[i * 32 + a] = entry;
                rows[(i + rings) * 32 + a] = entry;
            }
        }
    }
    return t;
}

} // namespace

int32_t RippleQuadrantEntry(int32_t row, int32_t column, int32_t rings, float aspect)
{
    const double x = column + 0.5, y = (row + 0.5) * static_cast<double>(aspect);
    const double distance = std::trunc(std::sqrt(x * x + y * y));
    // The ring is the distance modulo N: an integer AND while the distance fits (fmod was the
    // slow part of a large table), fmod beyond.
    int32_t ring = 0;
    if (distance < 9.0e15)
        ring = static_cast<int32_t>(static_cast<int64_t>(distance) & (rings - 1));
    else if (std::isfinite(distance))
        ring = static_cast<int32_t>(std::fmod(distance, rings));
    // A tiny aspect gave the angle 32, which spilled into the ring bits.
    const int32_t angle =
        std::min(31, static_cast<int32_t>(std::trunc(std::atan(x / y) * 64 / std::numbers::pi)));
    return (ring << 5) + angle;
}

int32_t RippleProfile(int32_t i, int32_t rings)
{
    const double inverse = static_cast<float>(1.0 / rings);
    const double t = -2 * std::numbers::pi * i * inverse;
    const double s = (std::sin(2 * t - 2.0) * 0.2 + std::sin(t)) * 0.8403361344537815;
    const double v = std::clamp(s * s, -1.0, 1.0);
    return static_cast<int32_t>(std::lround(v * 2048));
}

int32_t RippleAngleCos(int32_t a)
{
    return static_cast<int32_t>(
        std::lround(std::cos(std::numbers::pi / 2 - (a + 0.5) * std::numbers::pi / 64) * 2048));
}

int32_t RippleAngleSin(int32_t a)
{
    return static_cast<int32_t>(
        std::lround(std::sin(std::numbers::pi / 2 - (a + 0.5) * std::numbers::pi / 64) * 2048));
}

RippleTables* AcquireRippleTables(int32_t width, int32_t height, int32_t cx, int32_t cy, int32_t rings,
                                  float aspect, int32_t amplitude)
{
    for (int i = 0; i < kSlots; ++i) {
        RippleTables* t = g_slots[i];
        if (t != nullptr && t->width == width && t->height == height && t->centreX == cx &&
            t->centreY == cy && t->rings == rings && t->aspect == aspect && t->amplitude == amplitude) {
            std::rotate(g_slots, g_slots + i, g_slots + i + 1);
            ++t->holdCount;
            return t;
        }
    }
    RippleTables* made = Build(width, height, cx, cy, rings, aspect, amplitude);
    if (made == nullptr)
        return nullptr;
    ReleaseRippleTables(g_slots[kSlots - 1]);
    std::rotate(g_slots, g_slots + kSlots - 1, g_slots + kSlots);
    g_slots[0] = made;
    ++made->holdCount;
    return made;
}

void ReleaseRippleTables(RippleTables* tables)
{
    if (tables == nullptr)
        return;
    if (tables->holdCount <= 1)
        delete tables;
    else
        --tables->holdCount;
}

const RippleTables* RippleCacheSlot(int index)
{
    return index >= 0 && index < kSlots ? g_slots[index] : nullptr;
}

RippleKernels RipplePlainKernels()
{
    return {&PlainKernel<1, false>, &PlainKernel<-1, false>, &PlainKernel<1, true>, &PlainKernel<-1, true>};
}

RippleKernels RippleSse2Kernels()
{
    return {&OffsetKernel<1>, &OffsetKernel<-1>, &Sse2Kernel<1, true>, &Sse2Kernel<-1, true>};
}

RippleKernels RippleAvx2Kernels()
{
    return {&OffsetKernelAvx2<1>, &OffsetKernelAvx2<-1>, &BorderKernelAvx2<1>, &BorderKernelAvx2<-1>};
}

RippleKernels RippleActiveKernels()
{
    if (!g_bUseMmx)
        return RipplePlainKernels();
    if (UseAvx2())
        return RippleAvx2Kernels();
    return UseSse2() ? RippleSse2Kernels() : RipplePlainKernels();
}

void RippleClassInit() {}

void RippleClassTeardown()
{
    for (RippleTables*& slot : g_slots) {
        ReleaseRippleTables(slot);
        slot = nullptr;
    }
}

CPluginFilter* CRippleFilter::Create(DWORD)
{
    return new (std::nothrow) CRippleFilter;
}

CRippleFilter::~CRippleFilter()
{
    ReleaseRippleTables(m_tables);
}

int CRippleFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args, 2); code != 0)
        return code;
    auto place = [](int32_t word, int32_t size) { return word < 0 ? size / 2 : std::min(word, size - 1); };
    m_centreX = place(args.IntAt(1), m_width);
    m_centreY = place(args.IntAt(2), m_height);
    const int32_t rings = args.IntAt(3);
    m_rings = rings == 16 || rings == 32 || rings == 64 || rings == 128 ? rings : 16;
    const float aspect = static_cast<float>(DecimalWord(args, 4, 1.0));
    m_aspect = std::isfinite(aspect) && aspect > 0.0f ? aspect : 1.0f;
    const float speed = static_cast<float>(DecimalWord(args, 5, 6.0));
    m_speed = std::isfinite(speed) ? speed : 6.0f;
    const int32_t amplitude = args.IntAt(6);
    m_amplitude = amplitude < 1 ? 24 : std::min(amplitude, 127);
    ReleaseRippleTables(m_tables);
    m_tables = AcquireRippleTables(m_width, m_height, m_centreX, m_centreY, m_rings, m_aspect, m_amplitude);
    if (m_tables == nullptr)
        return 5;
    try {
        m_offsets.assign(static_cast<size_t>(m_rings) * 32 * 2, 0);
    } catch (const std::bad_alloc&) {
        return 5;
    }
    m_offsetsRow = nullptr;
    m_opacity = m_phase = m_level = 0;
    m_margin = 2;
    m_row = m_tables->displacement.data() + static_cast<size_t>(m_rings - 1) * 32;
    return 0;
}

int CRippleFilter::Step(DWORD now)
{
    uint32_t e = 0;
    Restart(now, &e);
    const uint32_t d = m_duration;
    m_opacity = static_cast<int32_t>(ScaleProgress(e, 255, d));
    // The phase stays finite and in range for any speed.
    const double turns = std::trunc(static_cast<double>(m_speed) * m_rings * e * 0.00015915494398817547);
    const int32_t q = std::isfinite(turns) && turns > 0 ? static_cast<int32_t>(std::fmod(turns, m_rings)) : 0;
    m_phase = m_rings - q - 1;
    const double wave = std::sin(std::numbers::pi * std::min(e, d) / d) * m_amplitude * 4.0;
    m_level = std::clamp(static_cast<int32_t>(std::trunc(std::max(0.0, wave))), 0, 4 * m_amplitude - 1);
    m_margin = m_level / 4 + 1;
    m_margin += m_margin & 1;
    if (m_tables != nullptr)
        m_row = m_tables->displacement.data() +
                (static_cast<size_t>(m_phase) + size_t(m_rings) * m_level * 2) * 32;
    return 0;
}

int CRippleFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a) || m_tables == nullptr)
        return 5;
    // The rings read whole pictures at the canvas's coordinates.
    auto whole = [&](const CImage* image, LONG x, LONG y) {
        return x == a.x && y == a.y && image->GetWidth() >= m_width && image->GetHeight() >= m_height;
    };
    if (!whole(a.first, a.sx, a.sy) || !whole(a.second, a.tx, a.ty) || a.x < 0 || a.y < 0 ||
        int64_t{a.x} + a.width > m_width || int64_t{a.y} + a.height > m_height)
        return 5;
    const RippleTables& t = *m_tables;
    RippleRun run{};
    run.oldBits = a.first->GetBits();
    run.newBits = a.second->GetBits();
    run.oldPitch = a.first->GetPitch();
    run.newPitch = a.second->GetPitch();
    run.displacement = m_row;
    run.opacity = m_opacity;
    run.width = m_width;
    run.height = m_height;
    const RippleKernels kernels = RippleActiveKernels();
    // Offsets in pixels fit while 127 rows of the pitch do.
    const int32_t* offsets = nullptr;
    if (run.oldPitch == run.newPitch && run.oldPitch % 4 == 0 && run.oldPitch / 4 <= INT32_MAX / 128 &&
        !m_offsets.empty()) {
        const int32_t entries = m_rings * 32, across = run.oldPitch / 4;
        if (m_offsetsRow != m_row || m_offsetsPitch != run.oldPitch) {
            for (int32_t e = 0; e < entries; ++e) {
                const int32_t dx = static_cast<int8_t>(m_row[e] >> 8),
                              dy = static_cast<int8_t>(m_row[e] & 0xFF);
                m_offsets[static_cast<size_t>(e)] = dy * across - dx;
                m_offsets[static_cast<size_t>(entries + e)] = dy * across + dx;
            }
            m_offsetsRow = m_row;
            m_offsetsPitch = run.oldPitch;
        }
        offsets = m_offsets.data();
    }
    const int32_t left = a.x, right = a.x + a.width;
    int32_t cuts[5] = {left, right, std::clamp(m_margin, left, right),
                       std::clamp(m_width - m_margin, left, right), std::clamp(m_centreX, left, right)};
    std::sort(cuts, cuts + 5);
    // Worked in blocks of a few rows, each block in strips of columns: the rows a strip's shifted
    // reads reach stay in the nearest caches (whole rows spilled them at 1080p), and the next
    // block finds most of its rows still there (strips the height of the picture did not).
    for (int32_t blockTop = a.y; blockTop < a.y + a.height; blockTop += kRippleBlock) {
        const int32_t blockBottom = std::min(a.y + a.height, blockTop + kRippleBlock);
        for (int32_t stripLeft = left; stripLeft < right; stripLeft += kRippleStrip) {
            const int32_t stripRight = std::min(right, stripLeft + kRippleStrip);
            for (int32_t y = blockTop; y < blockBottom; ++y) {
                const int32_t qr = y < m_centreY ? m_centreY - y - 1 : y - m_centreY;
                const uint16_t* quadRow = t.quadrant.data() + static_cast<size_t>(qr) * t.quadrantWidth;
                const bool borderRow = y < m_margin || y >= m_height - m_margin;
                uint32_t* dstRow =
                    reinterpret_cast<uint32_t*>(a.dst->GetRowAddress(a.dy + (y - a.y))) + a.dx - a.x;
                run.y = y;
                // The row the next rows first reach, asked for ahead: the shifted reads wander too
                // much for the hardware to see a stream.
                if (const int32_t ahead = y + m_margin + 2; ahead < m_height)
                    for (int32_t x = stripLeft; x < stripRight; x += 16) {
                        _mm_prefetch(
                            reinterpret_cast<const char*>(run.oldBits + intptr_t(ahead) * run.oldPitch) +
                                x * 4,
                            _MM_HINT_T0);
                        _mm_prefetch(
                            reinterpret_cast<const char*>(run.newBits + intptr_t(ahead) * run.newPitch) +
                                x * 4,
                            _MM_HINT_T0);
                    }
                for (int k = 0; k + 1 < 5; ++k) {
                    const int32_t from = std::max(cuts[k], stripLeft), to = std::min(cuts[k + 1], stripRight);
                    if (from >= to)
                        continue;
                    const bool border = borderRow || from < m_margin || from >= m_width - m_margin;
                    const bool forward = from >= m_centreX;
                    run.dst = dstRow + from;
                    run.x = from;
                    run.count = to - from;
                    run.quad = quadRow + (forward ? from - m_centreX : m_centreX - from - 1);
                    run.offsets = offsets == nullptr ? nullptr : offsets + (forward ? 0 : m_rings * 32);
                    const RippleKernel kernel = forward
                                                    ? (border ? kernels.borderForward : kernels.forward)
                                                    : (border ? kernels.borderMirrored : kernels.mirrored);
                    kernel(run);
                }
            }
        }
    }
    return 0;
}
