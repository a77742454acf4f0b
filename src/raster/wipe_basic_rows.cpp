// Stretched pieces drawn a destination row at a time, eight pixels a step: the stretched rows
// (entry 2) and the slide smears, whose pieces are one source column or one source row.
#include "platform/cpu_info.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"
#include "raster/wipe_basic_rows.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_canvas.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD kNoKey = 0xFFFFFFFFu;

bool Fits32(int64_t v)
{
    return v >= INT32_MIN && v <= INT32_MAX;
}

// The columns of the stepping below in closed form, eight at a time: while the accumulator starts
// in [-den, 0) and the fraction is below the denominator it stays there, so after k steps the
// source has moved k * step + floor((acc + k * frac) / den) + 1 columns. Each lane keeps its
// quotient and remainder and steps eight columns a time: 8 * frac is q8 * den + r8, so the quotient
// grows by q8, and by one more where the remainder passes den. False, with nothing written, where
// the conditions or the 32-bit range do not hold.
PIXEL_SIMD_AVX2 bool FillByDivision(int32_t* at, int w, const StretchState& st)
{
    const int64_t acc = st.xAcc, frac = st.xFrac, den = st.xDen, step = st.xStep;
    if (den <= 0 || frac < 0 || frac >= den || acc < -den || acc >= 0 || step < 0)
        return false;
    // Every acc + k * frac, its quotient times den and k * step + quotient stay within 2^30.
    constexpr int64_t kLimit = int64_t{1} << 30;
    if (den + w * frac >= kLimit || w * (step + 1) >= kLimit)
        return false;
    const auto floorDiv = [den](int64_t v) { return v >= 0 ? v / den : -((-v + den - 1) / den); };
    int k = 0;
    if (w >= 8) {
        alignas(32) int32_t q0[8], r0[8], moved0[8];
        for (int j = 0; j < 8; ++j) {
            const int64_t v = acc + j * frac;
            q0[j] = static_cast<int32_t>(floorDiv(v));
            r0[j] = static_cast<int32_t>(v - floorDiv(v) * den);
            moved0[j] = static_cast<int32_t>(j * step + 1);
        }
        __m256i q = _mm256_load_si256(reinterpret_cast<const __m256i*>(q0));
        __m256i r = _mm256_load_si256(reinterpret_cast<const __m256i*>(r0));
        __m256i moved = _mm256_load_si256(reinterpret_cast<const __m256i*>(moved0));
        const __m256i dens = _mm256_set1_epi32(static_cast<int>(den));
        const __m256i denLess1 = _mm256_set1_epi32(static_cast<int>(den - 1));
        const __m256i q8 = _mm256_set1_epi32(static_cast<int>(8 * frac / den));
        const __m256i r8 = _mm256_set1_epi32(static_cast<int>(8 * frac % den));
        const __m256i movedStep = _mm256_set1_epi32(static_cast<int>(8 * step));
        // One step of `by` (r8 = (by frac) mod den, q8 = its quotient) for every lane.
        const auto advance = [&](__m256i& q, __m256i& r, __m256i rBy, __m256i qBy) PIXEL_SIMD_AVX2 {
            r = _mm256_add_epi32(r, rBy);
            const __m256i carry = _mm256_cmpgt_epi32(r, denLess1); // -1 where r reached den
            r = _mm256_sub_epi32(r, _mm256_and_si256(carry, dens));
            q = _mm256_sub_epi32(_mm256_add_epi32(q, qBy), carry);
        };
        // Two runs of lanes, eight columns apart, sixteen columns a step: the remainder's chain of
        // steps is the loop's limit, and two of them overlap.
        const __m256i q16 = _mm256_set1_epi32(static_cast<int>(16 * frac / den));
        const __m256i r16 = _mm256_set1_epi32(static_cast<int>(16 * frac % den));
        const __m256i movedStep16 = _mm256_add_epi32(movedStep, movedStep);
        __m256i q2 = q, r2 = r;
        advance(q2, r2, r8, q8);
        __m256i moved2 = _mm256_add_epi32(moved, movedStep);
        for (; k + 16 <= w; k += 16) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + k), _mm256_add_epi32(moved, q));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + k + 8), _mm256_add_epi32(moved2, q2));
            advance(q, r, r16, q16);
            advance(q2, r2, r16, q16);
            moved = _mm256_add_epi32(moved, movedStep16);
            moved2 = _mm256_add_epi32(moved2, movedStep16);
        }
        if (k + 8 <= w) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + k), _mm256_add_epi32(moved, q));
            k += 8;
        }
    }
    for (; k < w; ++k) {
        const int64_t v = acc + k * frac;
        const int64_t q = v >= 0 ? v / den : -((-v + den - 1) / den);
        at[k] = static_cast<int32_t>(k * step + q + 1);
    }
    return true;
}

// For each of `groups` groups of eight columns of `at`: its first column, whether the rest lie
// within eight of it, and their places from it.
PIXEL_SIMD_AVX2 void PlanGroupsAvx2(const int32_t* at, size_t groups, int32_t* first, uint8_t* close, int32_t* lanes)
{
    for (size_t g = 0; g < groups; ++g) {
        const __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 8 * g));
        first[g] = at[8 * g];
        const __m256i rel = _mm256_sub_epi32(columns, _mm256_set1_epi32(first[g]));
        const __m256i near = _mm256_cmpeq_epi32(_mm256_min_epu32(rel, _mm256_set1_epi32(7)), rel);
        close[g] = _mm256_movemask_epi8(near) == -1 ? 1 : 0;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes + 8 * g), rel);
    }
}

// The source column each destination pixel of a scaled row reads, counted from the first one
// read, by the scaled kernels' stepping. Rows of one width step alike (entry 2 has a few hundred
// widths for a thousand rows), so the table is kept while the stepping stays the same.
struct ColumnTable {
    std::vector<int32_t> at;
    // Each whole group of eight pixels: the column its first pixel reads, whether its columns lie
    // within eight of that one (a load and a permute serve), and then the permute's lanes.
    std::vector<int32_t> first;
    std::vector<uint8_t> close;
    std::vector<int32_t> lanes;
    int width = -1;
    int32_t acc = 0, frac = 0, den = 0, step = 0;
    bool uniform = false;  // every pixel reads column 0 (a smear of one column)
    bool straight = false; // pixel k reads column k (a smear of one row)
    bool valid = false;    // the columns fit 32 bits
    bool planned = false;  // the groups are worked out (only the blends read them)
    // The 512-bit batches' groups of sixteen (StretchedRowsAvx512): the column each group's load
    // starts at and its permute, for the leading groups that a load of sixteen serves within
    // `room16` pixels of the first read column.
    std::vector<int32_t> first16;
    std::vector<int32_t> lanes16;
    int groups16 = 0;
    int64_t room16 = -1;

    // The table for the stepping; `plan`: the groups too.
    void Fill(const StretchState& st, int w, bool plan)
    {
        if (w == width && st.xAcc == acc && st.xFrac == frac && st.xDen == den && st.xStep == step) {
            if (plan && valid && !planned)
                PlanGroups();
            return;
        }
        planned = false;
        room16 = -1;
        width = w;
        acc = st.xAcc;
        frac = st.xFrac;
        den = st.xDen;
        step = st.xStep;
        at.resize(static_cast<size_t>(w));
        valid = true;
        if (UseAvx2() && FillByDivision(at.data(), w, st)) {
            // Columns that never fall back: one column throughout, or each in turn.
            uniform = w == 0 || at[static_cast<size_t>(w) - 1] == 0;
            straight = st.xStep == 1 && st.xFrac == 0;
            if (plan)
                PlanGroups();
            return;
        }
        int64_t a = st.xAcc, pos = 0;
        uniform = straight = true;
        for (int k = 0; k < w; ++k) {
            if (!Fits32(pos)) {
                valid = false;
                return;
            }
            at[static_cast<size_t>(k)] = static_cast<int32_t>(pos);
            uniform = uniform && pos == 0;
            straight = straight && pos == k;
            pos += st.xStep;
            a += st.xFrac;
            if (a >= 0) {
                ++pos;
                a -= st.xDen;
            }
        }
        if (plan)
            PlanGroups();
    }

    // The table and its groups of sixteen for the stepping, in one pass where the closed form
    // serves (the 512-bit batches' fill).
    void FillWide(const StretchState& st, int w, int64_t room)
    {
        if (w == width && st.xAcc == acc && st.xFrac == frac && st.xDen == den && st.xStep == step) {
            if (valid)
                PlanGroups16(room);
            return;
        }
        const int64_t a = st.xAcc, f = st.xFrac, d = st.xDen, s = st.xStep;
        constexpr int64_t kLimit = int64_t{1} << 30;
        if (d <= 0 || f < 0 || f >= d || a < -d || a >= 0 || s < 0 || d + w * f >= kLimit ||
            w * (s + 1) >= kLimit) {
            Fill(st, w, false);
            if (valid)
                PlanGroups16(room);
            return;
        }
        planned = false;
        width = w;
        acc = st.xAcc;
        frac = st.xFrac;
        den = st.xDen;
        step = st.xStep;
        valid = true;
        at.resize(static_cast<size_t>(w));
        first16.resize(static_cast<size_t>(w / 16));
        lanes16.resize(static_cast<size_t>(w / 16) * 16);
        groups16 = wipe::rows_detail::FillColumnsAvx512(at.data(), w, st, room, first16.data(), lanes16.data());
        room16 = room;
        uniform = w == 0 || at[static_cast<size_t>(w) - 1] == 0;
        straight = st.xStep == 1 && st.xFrac == 0;
    }

    // The groups of sixteen for loads that may reach `room` pixels past the first read column.
    void PlanGroups16(int64_t room)
    {
        if (room16 == room)
            return;
        room16 = room;
        const int groups = width / 16;
        first16.resize(static_cast<size_t>(groups));
        lanes16.resize(static_cast<size_t>(groups) * 16);
        groups16 = wipe::rows_detail::PlanGroups16Avx512(at.data(), groups, room, first16.data(), lanes16.data());
    }

    void PlanGroups()
    {
        planned = true;
        const size_t groups = static_cast<size_t>(width / 8);
        first.resize(groups);
        close.resize(groups);
        lanes.resize(groups * 8);
        PlanGroupsAvx2(at.data(), groups, first.data(), close.data(), lanes.data());
    }
};

thread_local ColumnTable t_columns;

// Fetch8 from the table's columns alone, each group's closeness worked out where it is read: the
// copies read their pixels so (measured faster there than through the plan, whose loads cost more
// than the arithmetic in a loop that does no blending).
PIXEL_SIMD_AVX2 inline __m256i Fetch8Columns(const BYTE* src, const int32_t* at, int x, int64_t room)
{
    const __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + x));
    const int32_t first = at[x];
    const __m256i rel = _mm256_sub_epi32(columns, _mm256_set1_epi32(first));
    const __m256i close = _mm256_cmpeq_epi32(_mm256_min_epu32(rel, _mm256_set1_epi32(7)), rel);
    if (_mm256_movemask_epi8(close) == -1 && first >= 0 && int64_t{first} + 8 <= room)
        return _mm256_permutevar8x32_epi32(pixel_simd_avx2::Load8(src + static_cast<ptrdiff_t>(first) * 4),
                                           rel);
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), columns, 4);
}

// A table's groups as plain pointers: the loops below store through byte pointers, which could
// otherwise be taken to change the vectors' own pointers between groups.
struct GroupPlan {
    const int32_t* at;
    const int32_t* first;
    const uint8_t* close;
    const int32_t* lanes;
};

// Eight source pixels of a row through the table from column x (a multiple of eight): a load and
// a permute where the columns lie within eight of the first (as they do where a row is widened)
// and the load stays in the source row, a gather otherwise.
PIXEL_SIMD_AVX2 inline __m256i Fetch8(const BYTE* src, const GroupPlan& t, int x, int64_t room)
{
    const int g = x / 8;
    const int32_t first = t.first[g];
    if (t.close[g] != 0 && first >= 0 && int64_t{first} + 8 <= room)
        return _mm256_permutevar8x32_epi32(pixel_simd_avx2::Load8(src + static_cast<ptrdiff_t>(first) * 4),
                                           _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.lanes + 8 * g)));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(src),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.at + x)), 4);
}

inline void OnePixel(BYTE* d, const BYTE* s, bool blend)
{
    if (blend)
        wipe::BlendShort(d, s, 1);
    else
        std::memcpy(d, s, 4);
}

// One destination row from the source row at `src` through the table; `room` is how many pixels
// from the row's first read column may be loaded whole (the source's own width).
template <bool Blend>
PIXEL_SIMD_AVX2 void StretchedRowAvx2(BYTE* d, const BYTE* src, const ColumnTable& t, int64_t room, LONG dstPitch,
                                      LONG srcPitch)
{
    using namespace pixel_simd_avx2;
    const int w = t.width;
    const int32_t* at = t.at.data();
    const GroupPlan plan{at, t.first.data(), t.close.data(), t.lanes.data()};
    int x = 0;
    uint32_t v;
    std::memcpy(&v, src, 4);
    const __m256i same = _mm256_set1_epi32(static_cast<int>(v));
    if (t.uniform) {
        for (; x + 8 <= w; x += 8) {
            BYTE* p = d + x * 4;
            Store8(p, Blend ? BlendAlpha8(same, Load8(p)) : same);
        }
    }
    // Two groups a step, so the fetch of one overlaps the blend of the other. The lines a little
    // further along are asked for ahead, and the next row's source beside this one's: the rows
    // come one call each, so no walker of memory sees them coming.
    const ptrdiff_t ahead = std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(w) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t dstSkip = dstPitch - static_cast<ptrdiff_t>(w) * 4;
    for (; x + 16 <= w; x += 16) {
        BYTE* p = d + x * 4;
        if (Blend)
            raster_detail::PrefetchAlong(p, ahead, static_cast<ptrdiff_t>(w - x) * 4, dstSkip);
        _mm_prefetch(reinterpret_cast<const char*>(src + srcPitch + static_cast<ptrdiff_t>(at[x]) * 4), _MM_HINT_T0);
        const __m256i s0 = Blend ? Fetch8(src, plan, x, room) : Fetch8Columns(src, at, x, room);
        const __m256i s1 = Blend ? Fetch8(src, plan, x + 8, room) : Fetch8Columns(src, at, x + 8, room);
        if (Blend) {
            const __m256i d0 = Load8(p), d1 = Load8(p + 32);
            Store8(p, BlendAlpha8(s0, d0));
            Store8(p + 32, BlendAlpha8(s1, d1));
        } else {
            Store8(p, s0);
            Store8(p + 32, s1);
        }
    }
    for (; x + 8 <= w; x += 8) {
        BYTE* p = d + x * 4;
        const __m256i s = Blend ? Fetch8(src, plan, x, room) : Fetch8Columns(src, at, x, room);
        Store8(p, Blend ? BlendAlpha8(s, Load8(p)) : s);
    }
    for (; x < w; ++x)
        OnePixel(d + x * 4, src + static_cast<ptrdiff_t>(at[x]) * 4, Blend);
}

} // namespace

void CWipeCanvas::StretchedRows(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height,
                                int64_t dx, int64_t dy)
{
    const bool blend = m_mode == kTransitionBlendAlpha;
    const bool plainCopy = m_mode == kTransitionCopy && m_key == kNoKey;
    if (!m_active || !m_fast || !(blend || plainCopy) || !wipe::UseAvx2Loops()) {
        Scaled(l, t, r, b, width, height, dx, dy);
        return;
    }
    if (width < 1 || height < 1 || l >= r || t >= b)
        return;
    const int64_t right = dx + width;
    const int64_t bottom = dy + height;
    if (right <= m_clip.left || bottom <= m_clip.top || dx >= m_clip.right || dy >= m_clip.bottom)
        return;
    if (!Fits32(dx) || !Fits32(dy) || !Fits32(right) || !Fits32(bottom) || !Fits32(l) || !Fits32(t) ||
        !Fits32(r) || !Fits32(b))
        return;
    const RECT piece{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
    const SIZE size{static_cast<LONG>(width), static_cast<LONG>(height)};
    StretchState st{};
    if (m_image->TransferRect(m_src, static_cast<LONG>(dx), static_cast<LONG>(dy), &piece, &size, &st,
                              nullptr) != 0)
        return;
    const RECT sr = m_image->TransferSrcRect();
    const RECT dr = m_image->TransferDstRect();
    const int w = dr.right - dr.left;
    const int h = dr.bottom - dr.top;
    ColumnTable& columns = t_columns;
    // The 512-bit twin reads the table's columns alone.
    const bool wide = wipe::UseAvx512Loops();
    columns.Fill(st, w, blend && !wide);
    if (!columns.valid) {
        Scaled(l, t, r, b, width, height, dx, dy);
        return;
    }
    BYTE* d = m_dstBits + static_cast<ptrdiff_t>(dr.top) * m_dstPitch + static_cast<ptrdiff_t>(dr.left) * 4;
    const BYTE* p =
        m_srcBits + static_cast<ptrdiff_t>(sr.top) * m_srcPitch + static_cast<ptrdiff_t>(sr.left) * 4;
    const int64_t room = int64_t{m_src->GetWidth()} - sr.left;
    raster_detail::ScaledRows rows(st, m_srcPitch);
    for (int y = 0; y < h; ++y, d += m_dstPitch) {
        if (columns.straight) {
            // The row as it stands: the row kernel, with its opaque and clear stretches.
            if (blend)
                BlendAlphaRows32Mmx(d, p, 0, 0, w, 1);
            else
                std::memcpy(d, p, static_cast<size_t>(w) * 4);
        } else if (wide && columns.uniform) {
            wipe::rows_detail::SmearRowAvx512(d, p, w, m_dstPitch, blend);
        } else if (wide) {
            wipe::rows_detail::StretchedRowAvx512(d, p, columns.at.data(), w, room, m_srcPitch, blend);
        } else if (blend) {
            StretchedRowAvx2<true>(d, p, columns, room, m_dstPitch, m_srcPitch);
        } else {
            StretchedRowAvx2<false>(d, p, columns, room, m_dstPitch, m_srcPitch);
        }
        if (y + 1 < h) {
            rows.Next(p);
        }
    }
    Track(dr.left, dr.top, dr.right, dr.bottom);
}

namespace wipe {

StretchedRowBatch::StretchedRowBatch(CWipeCanvas& canvas) : m_canvas(canvas)
{
    m_blend = canvas.Mode() == kTransitionBlendAlpha;
    const bool plainCopy = canvas.Mode() == kTransitionCopy && canvas.ColorKey() == kNoKey;
    m_on = (m_blend || plainCopy) && UseAvx512Loops() && canvas.DrawsInAnyOrder() && canvas.DirectMemory(m_memory);
    if (m_on) {
        m_sourceWidth = canvas.Source()->GetWidth();
        // The source's rows the image cuts pieces to: its clip within its own rows.
        const RECT& from = canvas.SourceClip();
        m_placed.srcTop = std::max<LONG>(from.top, 0);
        m_placed.srcBottom = std::min<LONG>(from.bottom, canvas.Source()->GetHeight());
    }
}

void StretchedRowBatch::Add(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height, int64_t dx,
                            int64_t dy)
{
    const auto passOn = [&] {
        Flush();
        m_canvas.StretchedRows(l, t, r, b, width, height, dx, dy);
    };
    if (!m_on || height != 1 || b != t + 1 || width < 1 || l >= r || !Fits32(dx) || !Fits32(dy) ||
        !Fits32(dx + width) || !Fits32(dy + 1) || !Fits32(l) || !Fits32(t) || !Fits32(r) || !Fits32(b)) {
        passOn();
        return;
    }
    const RECT& clip = m_canvas.Clip();
    if (dx + width <= clip.left || dy + 1 <= clip.top || dx >= clip.right || dy >= clip.bottom)
        return;
    StretchState st{};
    RECT sr{}, dr{};
    if (m_placed.known && l == m_placed.l && r == m_placed.r && width == m_placed.width && dx == m_placed.dx) {
        // A row placed as the last one the image cut: the same columns, and the row whole where
        // it lies within both clips (a one-row piece keeps its row or loses it).
        if (t < m_placed.srcTop || t >= m_placed.srcBottom || dy < clip.top || dy >= clip.bottom)
            return;
        st = m_placed.st;
        sr = RECT{m_placed.sr.left, static_cast<LONG>(t), m_placed.sr.right, static_cast<LONG>(t) + 1};
        dr = RECT{m_placed.dr.left, static_cast<LONG>(dy), m_placed.dr.right, static_cast<LONG>(dy) + 1};
    } else {
        const RECT piece{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
        const SIZE size{static_cast<LONG>(width), 1};
        CImage* const image = m_canvas.Image();
        if (image->TransferRect(m_canvas.Source(), static_cast<LONG>(dx), static_cast<LONG>(dy), &piece, &size, &st,
                                nullptr) != 0)
            return;
        sr = image->TransferSrcRect();
        dr = image->TransferDstRect();
        if (dr.bottom - dr.top != 1 || sr.bottom - sr.top != 1 || sr.top != t || dr.top != dy) {
            passOn();
            return;
        }
        m_placed = Placed{true, l, r, width, dx, st, sr, dr, m_placed.srcTop, m_placed.srcBottom};
    }
    const int w = dr.right - dr.left;
    const int64_t room = int64_t{m_sourceWidth} - sr.left;
    // Rows kept back go down the destination, so none lands on another's row.
    const bool alike = m_rows > 0 && m_rows < kMostRows && dr.top > m_lastTop && w == m_width && room == m_room &&
                       st.xAcc == m_st.xAcc && st.xFrac == m_st.xFrac && st.xDen == m_st.xDen &&
                       st.xStep == m_st.xStep;
    BYTE* const d =
        m_memory.dst + static_cast<ptrdiff_t>(dr.top) * m_memory.dstPitch + static_cast<ptrdiff_t>(dr.left) * 4;
    const BYTE* const p =
        m_memory.src + static_cast<ptrdiff_t>(sr.top) * m_memory.srcPitch + static_cast<ptrdiff_t>(sr.left) * 4;
    if (!alike) {
        // This row follows the rows kept back: their last row asks for its first lines.
        m_dst[m_rows] = d;
        m_src[m_rows] = p;
        Draw(true);
        ColumnTable& columns = t_columns;
        columns.FillWide(st, w, room);
        if (!columns.valid) {
            m_canvas.StretchedRows(l, t, r, b, width, height, dx, dy);
            return;
        }
        m_st = st;
        m_width = w;
        m_room = room;
    }
    m_dst[m_rows] = d;
    m_src[m_rows] = p;
    m_lastTop = dr.top;
    ++m_rows;
    // The step's bounds are one rectangle about everything drawn: the rows' own box serves.
    m_drawn = m_drawing ? RECT{std::min(m_drawn.left, dr.left), std::min(m_drawn.top, dr.top),
                               std::max(m_drawn.right, dr.right), std::max(m_drawn.bottom, dr.bottom)}
                        : dr;
    m_drawing = true;
}

void StretchedRowBatch::Draw(bool followed)
{
    const int rows = m_rows;
    if (rows == 0)
        return;
    m_rows = 0;
    m_canvas.MarkDrawn(m_drawn.left, m_drawn.top, m_drawn.right, m_drawn.bottom);
    m_drawing = false;
    // The table was filled for these rows when the first of them came (kept unless drawn through
    // since).
    ColumnTable& columns = t_columns;
    const int w = m_width;
    columns.FillWide(m_st, w, m_room);
    if (columns.straight || columns.uniform) {
        for (int k = 0; k < rows; ++k) {
            if (columns.straight) {
                if (m_blend)
                    BlendAlphaRows32Mmx(m_dst[k], m_src[k], 0, 0, w, 1);
                else
                    std::memcpy(m_dst[k], m_src[k], static_cast<size_t>(w) * 4);
            } else {
                wipe::rows_detail::SmearRowAvx512(m_dst[k], m_src[k], w, m_memory.dstPitch, m_blend);
            }
        }
        return;
    }
    const int groups = columns.groups16;
    if (groups > 0)
        wipe::rows_detail::StretchedRowsAvx512(m_dst, m_src, rows, followed, columns.first16.data(),
                                               columns.lanes16.data(), groups, m_blend);
    if (w > 16 * groups)
        for (int k = 0; k < rows; ++k)
            wipe::rows_detail::StretchedRowAvx512(m_dst[k] + static_cast<ptrdiff_t>(groups) * 64, m_src[k],
                                                  columns.at.data() + 16 * groups, w - 16 * groups, m_room,
                                                  m_memory.srcPitch, m_blend);
}

} // namespace wipe

bool CWipeCanvas::DirectMemory(Memory& out) const
{
    if (!m_active || !m_fast)
        return false;
    out = Memory{m_dstBits, m_srcBits, m_dstPitch, m_srcPitch};
    return true;
}
