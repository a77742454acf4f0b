// Stretched columns a destination row at a time: every column's source row and stepping live in
// a lane of their own, so every eight columns of a row take one or two loads (a gather where
// more runs of columns meet) and one step of the steppings, with no branch on which column moves
// on.
#include "raster/wipe_basic_columns.h"

#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"
#include "raster/wipe_common.h"

#include <algorithm>
#include <vector>

namespace wipe {
namespace {

// One lane per destination column of the drawn span; columns no piece lands on never show.
struct ColumnLanes {
    std::vector<int32_t> offset; // source byte offset of the row the column reads now
    std::vector<int32_t> acc;
    std::vector<int32_t> frac;
    std::vector<int32_t> den;
    std::vector<int32_t> whole; // whole rows a step, in bytes
    std::vector<int32_t> top;   // destination rows top..bottom-1 show the column
    std::vector<int32_t> bottom;
    // How each group of eight lanes reads its pixels (Fetch), and for two loads the lanes the
    // first one serves (-1). Neighbouring columns that step alike from neighbouring source
    // columns stay together for the whole step, so this is settled once.
    std::vector<uint8_t> fetch;
    std::vector<int32_t> fromLow;

    void Reset(size_t n)
    {
        for (std::vector<int32_t>* v : {&offset, &acc, &frac, &den, &whole, &top, &bottom, &fromLow})
            v->assign(n, 0);
        fetch.assign(n / 8, 0);
    }

    // Column j steps as column j - 1 does, one source pixel to the right; both have pieces.
    bool Together(size_t j) const
    {
        return top[j] < bottom[j] && top[j - 1] < bottom[j - 1] && offset[j] == offset[j - 1] + 4 &&
               acc[j] == acc[j - 1] && frac[j] == frac[j - 1] && den[j] == den[j - 1] &&
               whole[j] == whole[j - 1] && top[j] == top[j - 1] && bottom[j] == bottom[j - 1];
    }
    void PlanFetches(int span, bool loads);
};

thread_local ColumnLanes t_lanes;
thread_local columns_detail::ColumnRuns t_runs;

// Pads every group to the largest count of runs a group holds, where that is small and every
// group has one: the copies step as their run does and show no lane.
void EvenOutGroups(columns_detail::ColumnRuns& runs)
{
    constexpr int kMostPerGroup = 8;
    runs.perGroup = 0;
    int most = 0, from = 0;
    for (const int32_t end : runs.groupEnd) {
        if (end == from)
            return;
        most = std::max(most, end - from);
        from = end;
    }
    if (most == 0 || most > kMostPerGroup)
        return;
    const size_t groups = runs.groupEnd.size();
    std::vector<int32_t>* const fields[] = {&runs.base,  &runs.acc, &runs.frac,  &runs.den,
                                            &runs.whole, &runs.top, &runs.bottom};
    const size_t total = groups * static_cast<size_t>(most);
    for (std::vector<int32_t>* v : fields)
        v->resize(total);
    runs.lanes.resize(total);
    // From the last group down, each group's runs moved up to their new place from the top down:
    // nothing is overwritten before it is read.
    for (size_t g = groups; g-- > 0;) {
        const size_t begin = g == 0 ? 0 : static_cast<size_t>(runs.groupEnd[g - 1]);
        const size_t count = static_cast<size_t>(runs.groupEnd[g]) - begin;
        const size_t to = g * static_cast<size_t>(most);
        for (size_t k = static_cast<size_t>(most); k-- > 0;) {
            const size_t at = begin + std::min(k, count - 1);
            for (std::vector<int32_t>* v : fields)
                (*v)[to + k] = (*v)[at];
            runs.lanes[to + k] = k < count ? runs.lanes[at] : uint16_t{0};
        }
        runs.groupEnd[g] = static_cast<int32_t>(to + static_cast<size_t>(most));
    }
    runs.perGroup = most;
}

// The shown lanes of the span as runs of neighbours that step together, cut at every sixteenth
// lane (the 512-bit twin's groups).
void PlanRuns(const ColumnLanes& lanes, int span, columns_detail::ColumnRuns& runs)
{
    for (std::vector<int32_t>* v : {&runs.base, &runs.acc, &runs.frac, &runs.den, &runs.whole, &runs.top,
                                    &runs.bottom, &runs.groupEnd})
        v->clear();
    runs.lanes.clear();
    runs.groupLanes.clear();
    uint32_t group = 0;
    for (size_t j = 0; j < static_cast<size_t>(span); ++j) {
        const size_t lane = j % 16;
        if (lanes.top[j] < lanes.bottom[j]) {
            if (lane != 0 && lanes.Together(j)) {
                runs.lanes.back() = static_cast<uint16_t>(runs.lanes.back() | 1u << lane);
            } else {
                runs.base.push_back(lanes.offset[j] - 4 * static_cast<int32_t>(lane));
                runs.acc.push_back(lanes.acc[j]);
                runs.frac.push_back(lanes.frac[j]);
                runs.den.push_back(lanes.den[j]);
                runs.whole.push_back(lanes.whole[j]);
                runs.top.push_back(lanes.top[j]);
                runs.bottom.push_back(lanes.bottom[j]);
                runs.lanes.push_back(static_cast<uint16_t>(1u << lane));
            }
        }
        if (lanes.top[j] < lanes.bottom[j])
            group |= 1u << lane;
        if (lane == 15 || j + 1 == static_cast<size_t>(span)) {
            runs.groupEnd.push_back(static_cast<int32_t>(runs.base.size()));
            runs.groupLanes.push_back(static_cast<uint16_t>(group));
            group = 0;
        }
    }
    EvenOutGroups(runs);
    // Padding that never shows and never steps.
    const size_t padded = (runs.base.size() + 15) & ~size_t{15};
    for (std::vector<int32_t>* v : {&runs.base, &runs.acc, &runs.frac, &runs.den, &runs.whole, &runs.top,
                                    &runs.bottom})
        v->resize(padded, 0);
    runs.lanes.resize(padded, 0);
}

enum Fetch : uint8_t {
    kGather,   // lanes from anywhere
    kOneLoad,  // the pixels from the first lane's on
    kTwoLoads, // the first lane's run and the run ending at the last lane
};

void ColumnLanes::PlanFetches(int span, bool loads)
{
    for (size_t g = 0; g < fetch.size(); ++g) {
        const size_t base = 8 * g;
        const size_t n = std::min<size_t>(8, static_cast<size_t>(span) - base);
        fetch[g] = kGather;
        if (!loads || top[base] >= bottom[base])
            continue;
        size_t second = 0; // where the second run starts
        int runs = 1;
        for (size_t j = base + 1; j < base + n; ++j)
            if (top[j] < bottom[j] && !Together(j)) {
                ++runs;
                second = j;
            }
        if (runs == 1) {
            fetch[g] = kOneLoad;
            std::fill_n(fromLow.begin() + static_cast<ptrdiff_t>(base), 8, -1);
        } else if (runs == 2 && n == 8 && top[base + 7] < bottom[base + 7]) {
            fetch[g] = kTwoLoads;
            std::fill(fromLow.begin() + static_cast<ptrdiff_t>(base),
                      fromLow.begin() + static_cast<ptrdiff_t>(second), -1);
        }
    }
}

// Magnitudes that keep every sum of the stepping inside 32 bits.
constexpr int64_t kLaneLimit = int64_t{1} << 30;

bool WithinLane(int64_t v)
{
    return v > -kLaneLimit && v < kLaneLimit;
}

PIXEL_SIMD_AVX2 inline __m256i LoadLanes(const int32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

PIXEL_SIMD_AVX2 inline void StoreLanes(int32_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The source pixels of the shown lanes (the others 0) as planned; a load of eight must start at
// most `limit` bytes into the source, where a gather serves instead.
PIXEL_SIMD_AVX2 inline __m256i FetchLanes(const BYTE* src, __m256i at, __m256i shown, uint8_t fetch,
                                          __m256i fromLow, int64_t limit)
{
    if (fetch != kGather) {
        const int32_t low = _mm256_cvtsi256_si32(at);
        const int32_t high = fetch == kTwoLoads ? _mm256_extract_epi32(at, 7) - 28 : low;
        if (low >= 0 && high >= 0 && low <= limit && high <= limit)
            return fetch == kOneLoad ? pixel_simd_avx2::Load8(src + low)
                                     : _mm256_blendv_epi8(pixel_simd_avx2::Load8(src + high),
                                                          pixel_simd_avx2::Load8(src + low), fromLow);
    }
    return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(src), at, shown,
                                       1);
}

// Rows drawn in bands of this many, each group of eight columns down the band before the next: a
// group's steppings stay in registers over the band.
constexpr int32_t kBandRows = 4;

// Rows top..bottom-1 of the span drawn; Uniform: every column of the span shows on each of them and
// steps on after each but the last.
template <bool Blend, bool Uniform>
PIXEL_SIMD_AVX2 void DrawLaneRows(BYTE* dstRow, LONG dstPitch, const BYTE* src, int32_t srcPitch, int span,
                                  int64_t limit, int32_t top, int32_t bottom, ColumnLanes& lanes)
{
    using namespace pixel_simd_avx2;
    const __m256i pitches = _mm256_set1_epi32(srcPitch);
    // The lines a column reads a band on: each column's source moves by rows no walker of memory
    // foresees.
    const ptrdiff_t ahead = kBandRows * static_cast<ptrdiff_t>(srcPitch);
    const __m256i minusOne = _mm256_set1_epi32(-1);
    const __m256i lanesAt = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    int32_t* const offset = lanes.offset.data();
    int32_t* const acc = lanes.acc.data();
    const int32_t* const frac = lanes.frac.data();
    const int32_t* const den = lanes.den.data();
    const int32_t* const whole = lanes.whole.data();
    const int32_t* const first = lanes.top.data();
    const int32_t* const last = lanes.bottom.data();
    for (int32_t y0 = top; y0 < bottom;
         y0 += kBandRows, dstRow += kBandRows * static_cast<ptrdiff_t>(dstPitch)) {
        const int32_t rows = std::min(kBandRows, bottom - y0);
        for (int k = 0; k < span; k += 8) {
            __m256i at = LoadLanes(offset + k);
            __m256i a = LoadLanes(acc + k);
            const __m256i fracs = LoadLanes(frac + k), dens = LoadLanes(den + k),
                          wholes = LoadLanes(whole + k);
            const __m256i firsts = Uniform ? minusOne : LoadLanes(first + k);
            const __m256i lasts = Uniform ? minusOne : LoadLanes(last + k);
            // The lanes past the span's end are neither read nor written.
            const bool tail = k + 8 > span;
            const __m256i inSpan = _mm256_cmpgt_epi32(_mm256_set1_epi32(span - k), lanesAt);
            const bool whole8 = Uniform && !tail;
            const uint8_t fetch = lanes.fetch[static_cast<size_t>(k / 8)];
            const __m256i fromLow = LoadLanes(lanes.fromLow.data() + k);
            BYTE* d = dstRow + static_cast<ptrdiff_t>(k) * 4;
            for (int32_t r = 0; r < rows; ++r, d += dstPitch) {
                const int32_t y = y0 + r;
                if (Blend && k % 16 == 0)
                    // The destination's lines a little further along each row of the band.
                    _mm_prefetch(reinterpret_cast<const char*>(d) + raster_detail::kBlendAhead, _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(src) + _mm256_cvtsi256_si32(at) + ahead,
                             _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(src) + _mm256_extract_epi32(at, 7) + ahead,
                             _MM_HINT_T0);
                __m256i shown = tail ? inSpan : minusOne;
                if (!Uniform)
                    shown = _mm256_and_si256(
                        shown, _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(y + 1), firsts),
                                                _mm256_cmpgt_epi32(lasts, _mm256_set1_epi32(y))));
                __m256i s = FetchLanes(src, at, shown, fetch, fromLow, limit);
                if (Blend || !whole8) {
                    const __m256i old =
                        tail ? _mm256_maskload_epi32(reinterpret_cast<const int*>(d), inSpan) : Load8(d);
                    if (Blend)
                        s = BlendAlpha8(s, old);
                    if (!whole8)
                        s = _mm256_blendv_epi8(old, s, shown);
                }
                if (tail)
                    _mm256_maskstore_epi32(reinterpret_cast<int*>(d), inSpan, s);
                else
                    Store8(d, s);
                // The shown columns step on to the row they read next, as the scaled kernels step.
                if (Uniform && y + 1 >= bottom)
                    continue;
                const __m256i moves =
                    Uniform ? shown
                            : _mm256_and_si256(shown, _mm256_cmpgt_epi32(lasts, _mm256_set1_epi32(y + 1)));
                const __m256i sum = _mm256_add_epi32(a, fracs);
                const __m256i carry = _mm256_cmpgt_epi32(sum, minusOne);
                const __m256i movedAcc = _mm256_sub_epi32(sum, _mm256_and_si256(carry, dens));
                const __m256i movedAt =
                    _mm256_add_epi32(_mm256_add_epi32(at, wholes), _mm256_and_si256(carry, pitches));
                a = _mm256_blendv_epi8(a, movedAcc, moves);
                at = _mm256_blendv_epi8(at, movedAt, moves);
            }
            StoreLanes(acc + k, a);
            StoreLanes(offset + k, at);
        }
    }
}

} // namespace

bool DrawStretchedColumnRows(CWipeCanvas& c, const std::vector<CWipeCanvas::ColumnStretch>& columns)
{
    CWipeCanvas::Memory m{};
    const bool blend = c.Mode() == kTransitionBlendAlpha;
    const bool plainCopy = c.Mode() == kTransitionCopy && c.ColorKey() == 0xFFFFFFFFu;
    if (!(blend || plainCopy) || !UseAvx2Loops() || !c.DirectMemory(m))
        return false;
    CSurface* const source = c.Source();
    if (!WithinLane(int64_t{m.srcPitch} * source->GetHeight()) ||
        !WithinLane(int64_t{source->GetWidth()} * 4))
        return false;
    const int64_t w = c.Width(), h = c.Height();
    // Each column's clip and stepping from the image's own clip computation, as StretchedColumns
    // works them out; the columns must land left to right, one to a destination column.
    struct Placed {
        RECT dr;
        int32_t offset;
        StretchState st;
    };
    std::vector<Placed>& placed = Scratch<Placed, ScratchUse::StretchedColumns>();
    placed.clear();
    for (const CWipeCanvas::ColumnStretch& col : columns) {
        if (col.height < 1 || col.i < 0 || col.i >= w || col.dx < INT32_MIN || col.dx > INT32_MAX ||
            col.dy < INT32_MIN || col.dy + col.height > INT32_MAX)
            continue;
        const RECT piece{static_cast<LONG>(col.i), 0, static_cast<LONG>(col.i) + 1, static_cast<LONG>(h)};
        const SIZE size{1, static_cast<LONG>(col.height)};
        StretchState st{};
        if (c.Image()->TransferRect(source, static_cast<LONG>(col.dx), static_cast<LONG>(col.dy), &piece,
                                    &size, &st, nullptr) != 0)
            continue;
        const RECT sr = c.Image()->TransferSrcRect();
        const RECT dr = c.Image()->TransferDstRect();
        if (dr.left >= dr.right || dr.top >= dr.bottom)
            continue;
        if (dr.right - dr.left != 1 || (!placed.empty() && placed.back().dr.left >= dr.left))
            return false;
        if (!WithinLane(st.yAcc) || !WithinLane(st.yFrac) || !WithinLane(st.yDen) ||
            !WithinLane(int64_t{st.yStep} * m.srcPitch))
            return false;
        placed.push_back(
            Placed{dr, static_cast<int32_t>(int64_t{sr.top} * m.srcPitch + int64_t{sr.left} * 4), st});
    }
    if (placed.empty())
        return true;
    const LONG first = placed.front().dr.left, last = placed.back().dr.right;
    const int span = static_cast<int>(last - first);
    ColumnLanes& lanes = t_lanes;
    // Lanes rounded up to whole groups of eight; the spare ones never show.
    lanes.Reset(static_cast<size_t>(span + 7) & ~size_t{7});
    LONG top = INT32_MAX, bottom = INT32_MIN;
    bool uniform = static_cast<size_t>(span) == placed.size();
    for (const Placed& p : placed) {
        const size_t k = static_cast<size_t>(p.dr.left - first);
        lanes.offset[k] = p.offset;
        lanes.acc[k] = p.st.yAcc;
        lanes.frac[k] = p.st.yFrac;
        lanes.den[k] = p.st.yDen;
        lanes.whole[k] = p.st.yStep * m.srcPitch;
        lanes.top[k] = p.dr.top;
        lanes.bottom[k] = p.dr.bottom;
        uniform = uniform && p.dr.top == placed.front().dr.top && p.dr.bottom == placed.front().dr.bottom;
        top = std::min(top, p.dr.top);
        bottom = std::max(bottom, p.dr.bottom);
    }
    BYTE* dstRow = m.dst + static_cast<ptrdiff_t>(top) * m.dstPitch + static_cast<ptrdiff_t>(first) * 4;
    if (UseAvx512Loops()) {
        PlanRuns(lanes, span, t_runs);
        columns_detail::DrawColumnRunsAvx512(dstRow, m.dstPitch, m.src, m.srcPitch, top, bottom, t_runs, blend);
        c.MarkDrawn(first, top, last, bottom);
        return true;
    }
    // Whole loads of eight stay inside the source's rows.
    const int64_t extent = int64_t{m.srcPitch} * (source->GetHeight() - 1) + int64_t{source->GetWidth()} * 4;
    const int64_t limit = extent - 32;
    lanes.PlanFetches(span, m.srcPitch >= source->GetWidth() * 4 && limit >= 0);
    const auto draw = blend ? (uniform ? DrawLaneRows<true, true> : DrawLaneRows<true, false>)
                            : (uniform ? DrawLaneRows<false, true> : DrawLaneRows<false, false>);
    draw(dstRow, m.dstPitch, m.src, m.srcPitch, span, limit, top, bottom, lanes);
    c.MarkDrawn(first, top, last, bottom);
    return true;
}

} // namespace wipe
