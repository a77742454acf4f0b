#include "effects/ripple_filter.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "display/image_object.h"
#include "platform/cpu_info.h"
#include "platform/decimal_text.h"
#include "raster/image.h"
#include "winapi/simd_level.h"

namespace {

constexpr int kSlots = 4;
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

// Four pixels at a time: (old × (256 - o) + new × o) >> 8 in 16-bit lanes, which equals the
// plain rule (old × 256 + (new - old) × o never leaves 0..65280).
template <int kStep, bool kBorder> void Sse2Kernel(const RippleRun& r)
{
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - r.opacity));
    const __m128i take = _mm_set1_epi16(static_cast<short>(r.opacity));
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 4 <= r.count; i += 4) {
        alignas(16) uint32_t o[4], n[4];
        for (int k = 0; k < 4; ++k) {
            int32_t sx = 0, sy = 0;
            Source<kStep, kBorder>(r, i + k, &sx, &sy);
            o[k] = Read(r.oldBits, r.oldPitch, sx, sy);
            n[k] = Read(r.newBits, r.newPitch, sx, sy);
        }
        const __m128i ov = _mm_load_si128(reinterpret_cast<const __m128i*>(o));
        const __m128i nv = _mm_load_si128(reinterpret_cast<const __m128i*>(n));
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(ov, zero), keep),
                                                        _mm_mullo_epi16(_mm_unpacklo_epi8(nv, zero), take)),
                                          8);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(ov, zero), keep),
                                                        _mm_mullo_epi16(_mm_unpackhi_epi8(nv, zero), take)),
                                          8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r.dst + i),
                         _mm_and_si128(_mm_packus_epi16(lo, hi), colour));
    }
    for (; i < r.count; ++i) {
        int32_t sx = 0, sy = 0;
        Source<kStep, kBorder>(r, i, &sx, &sy);
        r.dst[i] = Mix(Read(r.oldBits, r.oldPitch, sx, sy), Read(r.newBits, r.newPitch, sx, sy),
                       static_cast<uint32_t>(r.opacity));
    }
}

// Eight pixels at a time: the eight displacement entries, positions and old and new pixels are
// gathered, then mixed as the SSE2 form does. The displacement entries are read as 32-bit words,
// which is why the table holds one spare entry past its end.
#define RIPPLE_AVX2 __attribute__((target("avx2")))

template <int kStep, bool kBorder> RIPPLE_AVX2 inline __m256i Reflect8(__m256i v, __m256i size)
{
    if (!kBorder)
        return v;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i below = _mm256_cmpgt_epi32(zero, v);
    const __m256i beyond =
        _mm256_andnot_si256(below, _mm256_cmpgt_epi32(v, _mm256_sub_epi32(size, _mm256_set1_epi32(1))));
    const __m256i mirrored =
        _mm256_sub_epi32(_mm256_sub_epi32(_mm256_add_epi32(size, size), v), _mm256_set1_epi32(1));
    v = _mm256_blendv_epi8(v, _mm256_sub_epi32(zero, v), below);
    v = _mm256_blendv_epi8(v, mirrored, beyond);
    return _mm256_min_epi32(_mm256_max_epi32(v, zero), _mm256_sub_epi32(size, _mm256_set1_epi32(1)));
}

template <int kStep, bool kBorder> RIPPLE_AVX2 void Avx2Kernel(const RippleRun& r)
{
    const __m256i keep = _mm256_set1_epi16(static_cast<short>(256 - r.opacity));
    const __m256i take = _mm256_set1_epi16(static_cast<short>(r.opacity));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i lanes =
        kStep > 0 ? _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7) : _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const __m256i width = _mm256_set1_epi32(r.width), height = _mm256_set1_epi32(r.height);
    const __m256i oldPitch = _mm256_set1_epi32(r.oldPitch), newPitch = _mm256_set1_epi32(r.newPitch);
    const __m256i row = _mm256_set1_epi32(r.y);
    const auto* table = reinterpret_cast<const int*>(r.displacement);
    const auto* oldBits = reinterpret_cast<const int*>(r.oldBits);
    const auto* newBits = reinterpret_cast<const int*>(r.newBits);
    int32_t i = 0;
    for (; i + 8 <= r.count; i += 8) {
        // Forward runs read quad[i..i+7]; mirrored ones quad[-i-7..-i], last first.
        const uint16_t* q = kStep > 0 ? r.quad + i : r.quad - i - 7;
        __m256i index = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)));
        if (kStep < 0)
            index = _mm256_permutevar8x32_epi32(index, lanes);
        const __m256i d = _mm256_and_si256(_mm256_i32gather_epi32(table, index, 2), low16);
        const __m256i dx = _mm256_srai_epi32(_mm256_slli_epi32(d, 16), 24);
        const __m256i dy = _mm256_srai_epi32(_mm256_slli_epi32(d, 24), 24);
        const __m256i x = _mm256_add_epi32(_mm256_set1_epi32(r.x + i),
                                           kStep > 0 ? lanes : _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const __m256i sx =
            Reflect8<kStep, kBorder>(kStep > 0 ? _mm256_sub_epi32(x, dx) : _mm256_add_epi32(x, dx), width);
        const __m256i sy = Reflect8<kStep, kBorder>(_mm256_add_epi32(row, dy), height);
        const __m256i across = _mm256_slli_epi32(sx, 2);
        const __m256i ov =
            _mm256_i32gather_epi32(oldBits, _mm256_add_epi32(_mm256_mullo_epi32(sy, oldPitch), across), 1);
        const __m256i nv =
            _mm256_i32gather_epi32(newBits, _mm256_add_epi32(_mm256_mullo_epi32(sy, newPitch), across), 1);
        const __m256i lo =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(ov, zero), keep),
                                               _mm256_mullo_epi16(_mm256_unpacklo_epi8(nv, zero), take)),
                              8);
        const __m256i hi =
            _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(ov, zero), keep),
                                               _mm256_mullo_epi16(_mm256_unpackhi_epi8(nv, zero), take)),
                              8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(r.dst + i),
                            _mm256_and_si256(_mm256_packus_epi16(lo, hi), colour));
    }
    for (; i < r.count; ++i) {
        int32_t sx = 0, sy = 0;
        Source<kStep, kBorder>(r, i, &sx, &sy);
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
        // One spare entry: the AVX2 kernels read each entry as a 32-bit word.
        t->displacement.resize(static_cast<size_t>(4 * amplitude) * 2 * rings * 32 + 1);
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
    return {&Sse2Kernel<1, false>, &Sse2Kernel<-1, false>, &Sse2Kernel<1, true>, &Sse2Kernel<-1, true>};
}

RippleKernels RippleAvx2Kernels()
{
    return {&Avx2Kernel<1, false>, &Avx2Kernel<-1, false>, &Avx2Kernel<1, true>, &Avx2Kernel<-1, true>};
}

RippleKernels RippleActiveKernels()
{
    if (!g_bUseMmx)
        return RipplePlainKernels();
    return UseAvx2() ? RippleAvx2Kernels() : UseSse2() ? RippleSse2Kernels() : RipplePlainKernels();
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
    const int32_t left = a.x, right = a.x + a.width;
    int32_t cuts[5] = {left, right, std::clamp(m_margin, left, right),
                       std::clamp(m_width - m_margin, left, right), std::clamp(m_centreX, left, right)};
    std::sort(cuts, cuts + 5);
    for (int32_t y = a.y; y < a.y + a.height; ++y) {
        const int32_t qr = y < m_centreY ? m_centreY - y - 1 : y - m_centreY;
        const uint16_t* quadRow = t.quadrant.data() + static_cast<size_t>(qr) * t.quadrantWidth;
        const bool borderRow = y < m_margin || y >= m_height - m_margin;
        uint32_t* dstRow = reinterpret_cast<uint32_t*>(a.dst->GetRowAddress(a.dy + (y - a.y))) + a.dx - a.x;
        run.y = y;
        for (int k = 0; k + 1 < 5; ++k) {
            const int32_t from = cuts[k], to = cuts[k + 1];
            if (from >= to)
                continue;
            const bool border = borderRow || from < m_margin || from >= m_width - m_margin;
            const bool forward = from >= m_centreX;
            run.dst = dstRow + from;
            run.x = from;
            run.count = to - from;
            run.quad = quadRow + (forward ? from - m_centreX : m_centreX - from - 1);
            const RippleKernel kernel = forward ? (border ? kernels.borderForward : kernels.forward)
                                                : (border ? kernels.borderMirrored : kernels.mirrored);
            kernel(run);
        }
    }
    return 0;
}
