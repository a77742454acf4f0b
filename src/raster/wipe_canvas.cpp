// The shared frame of the wipe entries and the routing of their pieces.
#include "raster/wipe_canvas.h"

#include "platform/cpu_info.h"
#include "raster/device_blit.h"
#include "raster/device_surface.h"
#include "raster/pixel_simd.h"
#include "raster/pixel_simd_avx2.h"
#include "raster/row_kernel_loops.h"
#include "raster/row_kernels.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_rows_avx512.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <cstring>

using wipe::BlendShort;
using wipe::CopyShort;
using wipe::ShortRows;

namespace {

constexpr DWORD kNoKey = 0xFFFFFFFFu;

// Copies a run of 32-bit pixels of any width.
inline void CopyRun(BYTE* d, const BYTE* s, int width)
{
    if (width <= 16)
        CopyShort(d, s, width);
    else
        std::memcpy(d, s, static_cast<size_t>(width) * 4);
}

// Whether the runs are narrow on the whole (under sixteen pixels on average).
bool NarrowRuns(const std::vector<CWipeCanvas::ColumnRun>& runs)
{
    int64_t covered = 0;
    for (const CWipeCanvas::ColumnRun& run : runs)
        covered += run.r - run.l;
    return covered < 16 * static_cast<int64_t>(runs.size());
}

// The rows of ScatteredMaskedRows eight pixels at a time: every group is drawn and the hidden
// columns keep the destination (on random masks a test per group costs more in wrong guesses
// than the group's work).
template <bool Blend>
PIXEL_SIMD_AVX2 void MaskedRowsAvx2(BYTE* dstRow, const BYTE* srcRow, LONG dstPitch, LONG srcPitch, int width,
                                    LONG rows, const uint8_t* mask)
{
    using namespace pixel_simd_avx2;
    const __m256i zero = _mm256_setzero_si256();
    // The lines a little further along are asked for ahead, as the blend kernels do: the loads of
    // the destination otherwise wait on memory.
    const ptrdiff_t ahead =
        std::min(raster_detail::kBlendAhead, static_cast<ptrdiff_t>(width) * 4 & ~ptrdiff_t{63});
    const ptrdiff_t dstSkip = dstPitch - ptrdiff_t{width} * 4, srcSkip = srcPitch - ptrdiff_t{width} * 4;
    for (LONG row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch) {
        int i = 0;
        for (; i + 8 <= width; i += 8) {
            BYTE* d = dstRow + i * 4;
            if ((i & 15) == 0) {
                const ptrdiff_t left = static_cast<ptrdiff_t>(width - i) * 4;
                raster_detail::PrefetchAlong(d, ahead, left, dstSkip);
                raster_detail::PrefetchAlong(srcRow + i * 4, ahead, left, srcSkip);
            }
            const __m256i keep = _mm256_cmpeq_epi32(
                _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + i))), zero);
            const __m256i s = Load8(srcRow + i * 4);
            const __m256i old = Load8(d);
            Store8(d, _mm256_blendv_epi8(Blend ? BlendAlpha8(s, old) : s, old, keep));
        }
        for (; i < width; ++i) {
            if (!mask[i])
                continue;
            if (Blend)
                BlendShort(dstRow + i * 4, srcRow + i * 4, 1);
            else
                pixel_simd::Store32(dstRow + i * 4, pixel_simd::Load32(srcRow + i * 4));
        }
    }
}

// Column runs blended down rows, eight pixels at a time and the last few inline; runs wider than
// kInlineRun pixels go to the row kernel, whose opaque and clear stretches cost less.
constexpr int kInlineRun = 64;

PIXEL_SIMD_AVX2 void BlendRunRowsAvx2(BYTE* dstRow, const BYTE* srcRow, ptrdiff_t dstPitch,
                                      ptrdiff_t srcPitch, int64_t rows,
                                      const std::vector<CWipeCanvas::ColumnRun>& runs)
{
    using namespace pixel_simd_avx2;
    for (int64_t row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch)
        for (const CWipeCanvas::ColumnRun& run : runs) {
            const int width = static_cast<int>(run.r - run.l);
            BYTE* d = dstRow + run.l * 4;
            const BYTE* s = srcRow + run.l * 4;
            if (width > kInlineRun) {
                BlendAlphaRows32Mmx(d, s, 0, 0, width, 1);
                continue;
            }
            int i = 0;
            for (; i + 8 <= width; i += 8)
                Store8(d + i * 4, BlendAlpha8(Load8(s + i * 4), Load8(d + i * 4)));
            if (i < width)
                BlendShort(d + i * 4, s + i * 4, width - i);
        }
}

bool FitsLong(int64_t v)
{
    return v >= INT32_MIN && v <= INT32_MAX;
}

// The DirectDraw surface of a device kind; null for every other kind (memory images handed in with
// the device mode have none, so the step answers 1 instead of misreading them).
IDirectDrawSurface7* DeviceSurfaceOf(CSurface* s)
{
    if (s == nullptr || (s->GetKind() != kSurfaceDDImage && s->GetKind() != kSurfaceDDSurface))
        return nullptr;
    return static_cast<CDeviceSurface*>(s)->GetDirectDrawSurface();
}

} // namespace

bool wipe::UseAvx2Loops()
{
    return g_bUseMmx && UseAvx2();
}

bool wipe::UseAvx512Loops()
{
    return UseAvx2Loops() && UseAvx512Bw();
}

CWipeCanvas::~CWipeCanvas()
{
    if (m_tracked && m_image != nullptr)
        m_image->MarkChanged(m_bounds);
}

bool CWipeCanvas::Begin(CSurface* dst, CSurface* src, int32_t progress, int32_t x, int32_t y, int32_t mode,
                        const CDisplayTarget* screen, int32_t* result)
{
    *result = 0;
    if (progress < 1)
        return false;
    m_src = src;
    m_screen = screen;
    m_x = x;
    m_y = y;
    m_mode = mode;
    if (mode == kTransitionDeviceBlit) {
        if (screen != nullptr) {
            m_devDst = screen->GetTargetSurface();
            m_clip = screen->GetTargetRect();
        } else {
            m_devDst = DeviceSurfaceOf(dst);
            if (m_devDst != nullptr)
                dst->GetClipRect(&m_clip);
        }
        if (m_devDst == nullptr) {
            *result = 1;
            return false;
        }
        m_devSrc = DeviceSurfaceOf(src);
        m_key = src->GetColorKey();
        m_w = src->GetWidth();
        m_h = src->GetHeight();
        m_srcClip = RECT{0, 0, m_w, m_h};
        m_active = m_devSrc != nullptr;
    } else {
        m_w = src->GetWidth();
        m_h = src->GetHeight();
        m_image = static_cast<CImage*>(dst);
        if (mode == kTransitionCopy || mode == kTransitionBlendAlpha) {
            m_image->GetClipRect(&m_clip);
            src->GetClipRect(&m_srcClip);
            m_key = src->GetColorKey();
            m_active = !m_image->IsEmpty() && src->GetBits() != nullptr;
            m_fast = m_active && m_image->GetBitsPerPixel() == 32 && src->GetBitsPerPixel() == 32;
            // A source that shares pixels with the destination goes through the image's own
            // copy, which reads each piece as it stands when the piece is drawn.
            if (m_fast) {
                const BYTE* srcFirst = src->GetBits();
                const BYTE* srcEnd = srcFirst + static_cast<ptrdiff_t>(src->GetPitch()) * src->GetHeight();
                const BYTE* dstFirst = m_image->GetBits();
                const BYTE* dstEnd =
                    dstFirst + static_cast<ptrdiff_t>(m_image->GetPitch()) * m_image->GetHeight();
                m_fast = srcEnd <= dstFirst || dstEnd <= srcFirst;
            }
            if (m_fast) {
                m_dstBits = m_image->GetBits();
                m_dstPitch = m_image->GetPitch();
                m_srcBits = src->GetBits();
                m_srcPitch = src->GetPitch();
            }
        }
    }
    if (progress >= 256) {
        const bool known =
            mode == kTransitionCopy || mode == kTransitionBlendAlpha || mode == kTransitionDeviceBlit;
        if (known) {
            *result = DrawWhole();
            return false;
        }
    }
    return true;
}

int32_t CWipeCanvas::DrawWhole()
{
    switch (m_mode) {
    case kTransitionCopy:
        return m_image->Copy(m_src, m_x, m_y, nullptr, false);
    case kTransitionBlendAlpha:
        return m_image->BlendAlpha(m_src, m_x, m_y, nullptr, false);
    case kTransitionDeviceBlit: {
        RECT whole{};
        m_src->GetClipRect(&whole);
        return BltFastClipped(m_devDst, m_devSrc, m_x, m_y, &whole, &m_clip, m_key);
    }
    default:
        return 0;
    }
}

bool CWipeCanvas::ClipSpan(Span& s) const
{
    // The source rectangle is cut to what the source gives, the destination moving with a cut at
    // the left or top; then the placed rectangle is cut to the clip, the source moving with it.
    if (s.l < m_srcClip.left) {
        s.dx += m_srcClip.left - s.l;
        s.l = m_srcClip.left;
    }
    if (s.t < m_srcClip.top) {
        s.dy += m_srcClip.top - s.t;
        s.t = m_srcClip.top;
    }
    s.r = std::min<int64_t>(s.r, m_srcClip.right);
    s.b = std::min<int64_t>(s.b, m_srcClip.bottom);
    if (s.l >= s.r || s.t >= s.b)
        return false;
    if (s.dx < m_clip.left) {
        s.l += m_clip.left - s.dx;
        s.dx = m_clip.left;
    }
    if (s.dy < m_clip.top) {
        s.t += m_clip.top - s.dy;
        s.dy = m_clip.top;
    }
    s.r = std::min<int64_t>(s.r, s.l + (int64_t{m_clip.right} - s.dx));
    s.b = std::min<int64_t>(s.b, s.t + (int64_t{m_clip.bottom} - s.dy));
    return s.l < s.r && s.t < s.b;
}

bool CWipeCanvas::Misses(const Span& s) const
{
    // Cutting to the source only shrinks the placed rectangle: one that misses the clip draws
    // nothing (a quick test before the whole cutting).
    const int64_t w = s.r - s.l, h = s.b - s.t;
    return s.dx >= m_clip.right || s.dx + w <= m_clip.left || s.dy >= m_clip.bottom || s.dy + h <= m_clip.top;
}

void CWipeCanvas::Track(int64_t l, int64_t t, int64_t r, int64_t b)
{
    if (!m_tracked) {
        m_bounds =
            RECT{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
        m_tracked = true;
        return;
    }
    m_bounds.left = std::min(m_bounds.left, static_cast<LONG>(l));
    m_bounds.top = std::min(m_bounds.top, static_cast<LONG>(t));
    m_bounds.right = std::max(m_bounds.right, static_cast<LONG>(r));
    m_bounds.bottom = std::max(m_bounds.bottom, static_cast<LONG>(b));
}

// A clipped span: every value now lies inside a surface, so it fits 32 bits.
void CWipeCanvas::DrawSpan(const Span& s)
{
    const LONG width = static_cast<LONG>(s.r - s.l);
    const LONG height = static_cast<LONG>(s.b - s.t);
    RECT piece{static_cast<LONG>(s.l), static_cast<LONG>(s.t), static_cast<LONG>(s.r),
               static_cast<LONG>(s.b)};
    if (m_mode == kTransitionDeviceBlit) {
        BltFastClipped(m_devDst, m_devSrc, static_cast<LONG>(s.dx), static_cast<LONG>(s.dy), &piece, &m_clip,
                       m_key);
        return;
    }
    Track(s.dx, s.dy, s.dx + width, s.dy + height);
    if (!m_fast) {
        if (m_mode == kTransitionCopy)
            m_image->Copy(m_src, static_cast<LONG>(s.dx), static_cast<LONG>(s.dy), &piece, false);
        else
            m_image->BlendAlpha(m_src, static_cast<LONG>(s.dx), static_cast<LONG>(s.dy), &piece, false);
        return;
    }
    const LONG dstPitch = m_dstPitch;
    const LONG srcPitch = m_srcPitch;
    BYTE* d = m_dstBits + static_cast<ptrdiff_t>(s.dy) * dstPitch + s.dx * 4;
    const BYTE* p = m_srcBits + static_cast<ptrdiff_t>(s.t) * srcPitch + s.l * 4;
    const int dstSkip = dstPitch - width * 4;
    const int srcSkip = srcPitch - width * 4;
    if (m_mode == kTransitionBlendAlpha) {
        (g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32)(d, p, dstSkip, srcSkip, width, height);
    } else if (m_key != kNoKey) {
        CopyKeyRows32(d, p, dstSkip, srcSkip, width, height, m_key);
    } else if (width <= 16) {
        for (LONG row = 0; row < height; ++row, d += dstPitch, p += srcPitch)
            CopyShort(d, p, width);
    } else {
        (g_bUseMmx ? CopyRows32Mmx : CopyRows32)(d, p, dstSkip, srcSkip, width, height);
    }
}

void CWipeCanvas::PieceAt(int64_t l, int64_t t, int64_t r, int64_t b, int64_t dx, int64_t dy)
{
    if (!m_active)
        return;
    Span s{l, t, r, b, dx, dy};
    if (ClipSpan(s))
        DrawSpan(s);
}

bool CWipeCanvas::CutPiece(Placed& p) const
{
    Span s{p.l, p.t, p.r, p.b, p.dx, p.dy};
    if (!ClipSpan(s))
        return false;
    p = Placed{s.l, s.t, s.r, s.b, s.dx, s.dy};
    return true;
}

void CWipeCanvas::Pieces(const std::vector<Placed>& pieces)
{
    if (!m_active)
        return;
    if (!m_fast) {
        for (const Placed& p : pieces)
            PieceAt(p.l, p.t, p.r, p.b, p.dx, p.dy);
        return;
    }
    // Plain copies of same-sized small blocks (the block wipes' batches) take a loop made for
    // their size.
    const bool plainCopy = m_mode == kTransitionCopy && m_key == kNoKey;
    const bool blend = m_mode == kTransitionBlendAlpha;
    if ((plainCopy || blend) && !pieces.empty()) {
        const int64_t w = pieces.front().r - pieces.front().l;
        const int64_t h = pieces.front().b - pieces.front().t;
        if (h > 0 && h <= 8) {
            if (w == 2)
                return blend ? DrawBlocks<2, true>(pieces, h) : DrawBlocks<2, false>(pieces, h);
            if (w == 4)
                return blend ? DrawBlocks<4, true>(pieces, h) : DrawBlocks<4, false>(pieces, h);
            if (w == 8)
                return blend ? DrawBlocks<8, true>(pieces, h) : DrawBlocks<8, false>(pieces, h);
        }
    }
    // A piece wholly inside the source's clip and, once placed, inside the destination's clip is
    // drawn as it stands; any other goes through the cutting of PieceAt.
    const int64_t srcL = m_srcClip.left, srcT = m_srcClip.top, srcR = m_srcClip.right,
                  srcB = m_srcClip.bottom;
    const int64_t clipL = m_clip.left, clipT = m_clip.top, clipR = m_clip.right, clipB = m_clip.bottom;
    const LONG dstPitch = m_dstPitch;
    const LONG srcPitch = m_srcPitch;
    const auto blendRows = g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32;
    const bool avx2 = wipe::UseAvx2Loops();
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const Placed& p : pieces) {
        const int64_t w = p.r - p.l, h = p.b - p.t;
        const bool inside = w > 0 && h > 0 && p.l >= srcL && p.t >= srcT && p.r <= srcR && p.b <= srcB &&
                            p.dx >= clipL && p.dy >= clipT && p.dx + w <= clipR && p.dy + h <= clipB;
        if (!inside) {
            Span s{p.l, p.t, p.r, p.b, p.dx, p.dy};
            if (!Misses(s) && ClipSpan(s))
                DrawSpan(s);
            continue;
        }
        BYTE* d = m_dstBits + static_cast<ptrdiff_t>(p.dy) * dstPitch + p.dx * 4;
        const BYTE* q = m_srcBits + static_cast<ptrdiff_t>(p.t) * srcPitch + p.l * 4;
        const int width = static_cast<int>(w), height = static_cast<int>(h);
        if (plainCopy && width == 4) {
            ShortRows<4, false>(d, q, dstPitch, srcPitch, height);
        } else if (plainCopy && width == 2) {
            ShortRows<2, false>(d, q, dstPitch, srcPitch, height);
        } else if (blend && width <= 16 && avx2) {
            wipe::BlendBlockAvx2(d, q, dstPitch, srcPitch, width, height);
        } else if (blend && width <= 16) {
            for (int row = 0; row < height; ++row, d += dstPitch, q += srcPitch)
                BlendShort(d, q, width);
        } else if (plainCopy && width <= 16) {
            for (int row = 0; row < height; ++row, d += dstPitch, q += srcPitch)
                CopyShort(d, q, width);
        } else if (plainCopy) {
            (g_bUseMmx ? CopyRows32Mmx : CopyRows32)(d, q, dstPitch - width * 4, srcPitch - width * 4, width,
                                                     height);
        } else if (blend) {
            blendRows(d, q, dstPitch - width * 4, srcPitch - width * 4, width, height);
        } else {
            CopyKeyRows32(d, q, dstPitch - width * 4, srcPitch - width * 4, width, height, m_key);
        }
        left = std::min(left, p.dx);
        top = std::min(top, p.dy);
        right = std::max(right, p.dx + w);
        bottom = std::max(bottom, p.dy + h);
    }
    if (left < right)
        Track(left, top, right, bottom);
}

template <int Width, bool Blend>
void CWipeCanvas::DrawBlocks(const std::vector<Placed>& pieces, int64_t height)
{
    // A block of Width x height lies inside both clips when its corners fall in these ranges
    // (an empty range leaves every block to the cutting).
    const int64_t lMin = m_srcClip.left, tMin = m_srcClip.top, dxMin = m_clip.left, dyMin = m_clip.top;
    const int64_t lSpan = int64_t{m_srcClip.right} - Width - lMin,
                  tSpan = int64_t{m_srcClip.bottom} - height - tMin;
    const int64_t dxSpan = int64_t{m_clip.right} - Width - dxMin,
                  dySpan = int64_t{m_clip.bottom} - height - dyMin;
    const bool any = lSpan >= 0 && tSpan >= 0 && dxSpan >= 0 && dySpan >= 0;
    BYTE* const dstBits = m_dstBits;
    const BYTE* const srcBits = m_srcBits;
    const LONG dstPitch = m_dstPitch, srcPitch = m_srcPitch;
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (const Placed& p : pieces) {
        const bool inside = any && p.r - p.l == Width && p.b - p.t == height &&
                            static_cast<uint64_t>(p.l - lMin) <= static_cast<uint64_t>(lSpan) &&
                            static_cast<uint64_t>(p.t - tMin) <= static_cast<uint64_t>(tSpan) &&
                            static_cast<uint64_t>(p.dx - dxMin) <= static_cast<uint64_t>(dxSpan) &&
                            static_cast<uint64_t>(p.dy - dyMin) <= static_cast<uint64_t>(dySpan);
        if (!inside) {
            Span s{p.l, p.t, p.r, p.b, p.dx, p.dy};
            if (!Misses(s) && ClipSpan(s))
                DrawSpan(s);
            continue;
        }
        ShortRows<Width, Blend>(dstBits + static_cast<ptrdiff_t>(p.dy) * dstPitch + p.dx * 4,
                                srcBits + static_cast<ptrdiff_t>(p.t) * srcPitch + p.l * 4, dstPitch,
                                srcPitch, static_cast<int>(height));
        left = std::min(left, p.dx);
        top = std::min(top, p.dy);
        right = std::max(right, p.dx);
        bottom = std::max(bottom, p.dy);
    }
    if (left <= right)
        Track(left, top, right + Width, bottom + height);
}

void CWipeCanvas::Scaled(int64_t l, int64_t t, int64_t r, int64_t b, int64_t width, int64_t height,
                         int64_t dx, int64_t dy)
{
    if (!m_active || width < 1 || height < 1 || l >= r || t >= b)
        return;
    // A stretched piece that misses the clip draws nothing; one that cannot be placed in 32-bit
    // coordinates is dropped rather than wrapped round.
    const int64_t right = dx + width;
    const int64_t bottom = dy + height;
    if (right <= m_clip.left || bottom <= m_clip.top || dx >= m_clip.right || dy >= m_clip.bottom)
        return;
    if (!FitsLong(dx) || !FitsLong(dy) || !FitsLong(right) || !FitsLong(bottom) || !FitsLong(l) ||
        !FitsLong(t) || !FitsLong(r) || !FitsLong(b))
        return;
    RECT piece{static_cast<LONG>(l), static_cast<LONG>(t), static_cast<LONG>(r), static_cast<LONG>(b)};
    const LONG x = static_cast<LONG>(dx);
    const LONG y = static_cast<LONG>(dy);
    if (m_mode == kTransitionDeviceBlit) {
        BltClipped(m_devDst, m_devSrc, static_cast<LONG>(width), static_cast<LONG>(height), x, y, &piece,
                   &m_clip, m_key);
        return;
    }
    const SIZE size{static_cast<LONG>(width), static_cast<LONG>(height)};
    if (m_fast) {
        // The image's own clip computation, then the scaled kernel straight away: the pixels of
        // StretchCopy or StretchBlendAlpha without a rectangle added to the region per piece.
        StretchState st{};
        if (m_image->TransferRect(m_src, x, y, &piece, &size, &st, nullptr) != 0)
            return;
        const RECT sr = m_image->TransferSrcRect();
        const RECT dr = m_image->TransferDstRect();
        const int w = dr.right - dr.left;
        const int h = dr.bottom - dr.top;
        BYTE* d =
            m_dstBits + static_cast<ptrdiff_t>(dr.top) * m_dstPitch + static_cast<ptrdiff_t>(dr.left) * 4;
        const BYTE* p =
            m_srcBits + static_cast<ptrdiff_t>(sr.top) * m_srcPitch + static_cast<ptrdiff_t>(sr.left) * 4;
        const int dstSkip = m_dstPitch - w * 4;
        if (m_mode == kTransitionBlendAlpha)
            (g_bUseMmx ? BlendAlphaRows32ScaledMmx : BlendAlphaRows32Scaled)(d, p, dstSkip, m_srcPitch, w, h,
                                                                             st);
        else if (m_key != kNoKey)
            CopyKeyRows32Scaled(d, p, dstSkip, m_srcPitch, w, h, st, m_key);
        else
            (g_bUseMmx ? CopyRows32ScaledMmx : CopyRows32Scaled)(d, p, dstSkip, m_srcPitch, w, h, st);
        Track(dr.left, dr.top, dr.right, dr.bottom);
        return;
    }
    Track(std::max<int64_t>(dx, m_clip.left), std::max<int64_t>(dy, m_clip.top),
          std::min<int64_t>(right, m_clip.right), std::min<int64_t>(bottom, m_clip.bottom));
    if (m_mode == kTransitionCopy)
        m_image->StretchCopy(m_src, &size, x, y, &piece, false);
    else
        m_image->StretchBlendAlpha(m_src, &size, x, y, &piece, false);
}

bool CWipeCanvas::WritesBlocks() const
{
    return m_active && m_fast &&
           (m_mode == kTransitionBlendAlpha || (m_mode == kTransitionCopy && m_key == kNoKey));
}

uint8_t* CWipeCanvas::ColumnMask()
{
    m_mask.assign(static_cast<size_t>(std::max(m_w, 0)) + 1, 0);
    return m_mask.data();
}

void CWipeCanvas::RunsOf(const uint8_t* on, std::vector<ColumnRun>& out) const
{
    // Eight mask bytes at a time through the long stretches of shown or hidden columns.
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const auto word = [on](int64_t i) {
        uint64_t v;
        std::memcpy(&v, on + i, 8);
        return v;
    };
    out.clear();
    const int64_t w = m_w;
    for (int64_t i = 0; i < w;) {
        while (i + 8 <= w && word(i) == 0)
            i += 8;
        while (i < w && !on[i])
            ++i;
        if (i >= w)
            break;
        int64_t end = i + 1;
        // A word with no zero byte is shown throughout.
        while (end + 8 <= w) {
            const uint64_t v = word(end);
            if (((v - kOnes) & ~v & kHighs) != 0)
                break;
            end += 8;
        }
        while (end < w && on[end])
            ++end;
        out.push_back(ColumnRun{i, end});
        i = end;
    }
}

void CWipeCanvas::MaskedRows(int64_t top, int64_t bottom, const uint8_t* on)
{
    if (!m_active || top >= bottom)
        return;
    RunsOf(on, m_runs);
    RunRows(top, bottom, m_runs);
}

void CWipeCanvas::ScatteredMaskedRows(int64_t top, int64_t bottom, const uint8_t* on)
{
    if (!m_active || top >= bottom)
        return;
    const bool blend = m_mode == kTransitionBlendAlpha;
    if (!m_fast || (!blend && (m_mode != kTransitionCopy || m_key != kNoKey))) {
        MaskedRows(top, bottom, on);
        return;
    }
    Span all{0, top, m_w, bottom, int64_t{m_x}, int64_t{m_y} + top};
    if (!ClipSpan(all))
        return;
    // The columns from the first to the last shown one; none shown draws (and tracks) nothing.
    int64_t l = all.l, r = all.r;
    while (l < r && !on[l])
        ++l;
    while (r > l && !on[r - 1])
        --r;
    if (l >= r)
        return;
    const int64_t shift = all.dx - all.l; // destination column of source column 0
    const LONG rows = static_cast<LONG>(all.b - all.t);
    const int width = static_cast<int>(r - l);
    BYTE* dstRow = m_dstBits + static_cast<ptrdiff_t>(all.dy) * m_dstPitch + (l + shift) * 4;
    const BYTE* srcRow = m_srcBits + static_cast<ptrdiff_t>(all.t) * m_srcPitch + l * 4;
    const uint8_t* mask = on + l;
    if (wipe::UseAvx2Loops()) {
        (blend ? MaskedRowsAvx2<true> : MaskedRowsAvx2<false>)(dstRow, srcRow, m_dstPitch, m_srcPitch, width,
                                                               rows, mask);
        Track(l + shift, all.dy, r + shift, all.dy + rows);
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    if (blend) {
        // Every group of four is blended, and the columns that do not show keep the destination
        // (a test per group costs more in wrong guesses on random masks than the blend).
        for (LONG row = 0; row < rows; ++row, dstRow += m_dstPitch, srcRow += m_srcPitch) {
            int i = 0;
            for (; i + 4 <= width; i += 4) {
                BYTE* d = dstRow + i * 4;
                const __m128i old = pixel_simd::Load4(d);
                const __m128i mixed = pixel_simd::BlendAlpha4(pixel_simd::Load4(srcRow + i * 4), old);
                const __m128i keep = _mm_cmpeq_epi32(pixel_simd::LoadMask4(mask + i), zero);
                pixel_simd::Store4(d, pixel_simd::Select(keep, old, mixed));
            }
            for (; i < width; ++i)
                if (mask[i])
                    BlendShort(dstRow + i * 4, srcRow + i * 4, 1);
        }
        Track(l + shift, all.dy, r + shift, all.dy + rows);
        return;
    }
    for (LONG row = 0; row < rows; ++row, dstRow += m_dstPitch, srcRow += m_srcPitch) {
        // Each pixel keeps the destination or takes the source by its column's byte, with no
        // branch on the mask: four pixels at a time, then the rest one by one.
        int i = 0;
        for (; i + 4 <= width; i += 4) {
            const __m128i keep = _mm_cmpeq_epi32(pixel_simd::LoadMask4(mask + i), zero);
            BYTE* d = dstRow + i * 4;
            pixel_simd::Store4(
                d, pixel_simd::Select(keep, pixel_simd::Load4(d), pixel_simd::Load4(srcRow + i * 4)));
        }
        for (; i < width; ++i)
            if (mask[i])
                pixel_simd::Store32(dstRow + i * 4, pixel_simd::Load32(srcRow + i * 4));
    }
    Track(l + shift, all.dy, r + shift, all.dy + rows);
}

bool CWipeCanvas::CopiesByLanes() const
{
    return m_active && m_fast && m_mode == kTransitionCopy && m_key == kNoKey && wipe::UseAvx512Loops();
}

bool CWipeCanvas::BlendsByLanes() const
{
    return m_active && m_fast && m_mode == kTransitionBlendAlpha && wipe::UseAvx512Loops();
}

void CWipeCanvas::PhasedMaskedRows(int64_t top, int64_t bottom, const uint8_t* masks, int64_t period,
                                   int64_t cell)
{
    // Rows above the source's first draw nothing, so the phases need only rows from 0 on.
    top = std::max<int64_t>(top, 0);
    if (!m_active || top >= bottom || period < 1 || cell < 1)
        return;
    const int64_t w = m_w;
    const auto phaseOf = [&](int64_t j) { return (j / cell) % period; };
    const bool blend = BlendsByLanes();
    if (!blend && !CopiesByLanes()) {
        for (int64_t j = top; j < bottom;) {
            const int64_t end = std::min(bottom, (j / cell + 1) * cell);
            MaskedRows(j, end, masks + phaseOf(j) * w);
            j = end;
        }
        return;
    }
    Span all{0, top, w, bottom, int64_t{m_x}, int64_t{m_y} + top};
    if (!ClipSpan(all))
        return;
    // Each phase's columns from the first to the last shown one inside the cut columns (empty when
    // none shows).
    std::vector<ColumnRun>& shown = wipe::Scratch<ColumnRun, wipe::ScratchUse::PhaseShown>();
    shown.resize(static_cast<size_t>(std::min(period, (all.b - 1) / cell + 1)));
    // Blended phases that show one run of columns go to the row kernel, which blends a line for
    // less than a blend under a lane mask.
    std::vector<uint8_t>& whole = wipe::Scratch<uint8_t, wipe::ScratchUse::PhaseShown>();
    whole.assign(shown.size(), 0);
    for (size_t phase = 0; phase < shown.size(); ++phase) {
        const uint8_t* on = masks + static_cast<int64_t>(phase) * w;
        int64_t l = all.l, r = all.r;
        while (l < r && !on[l])
            ++l;
        while (r > l && !on[r - 1])
            --r;
        shown[phase] = ColumnRun{l, r};
        whole[phase] = blend && r - l >= 16 && std::find(on + l, on + r, uint8_t{0}) == on + r;
    }
    const int64_t shift = all.dx - all.l; // destination column of source column 0
    const int64_t down = all.dy - all.t;  // destination row of source row 0
    int64_t left = INT64_MAX, right = INT64_MIN, first = INT64_MAX, last = INT64_MIN;
    // Phases of a row each, none of them one run: the rows of a whole period go in one call, each
    // row under its own mask (the masks lie a row's width apart), over the columns any of them shows.
    ColumnRun any{INT64_MAX, INT64_MIN};
    if (cell == 1 && period > 1 && static_cast<int64_t>(shown.size()) == period &&
        std::find(whole.begin(), whole.end(), uint8_t{1}) == whole.end())
        for (const ColumnRun& run : shown)
            if (run.l < run.r)
                any = ColumnRun{std::min(any.l, run.l), std::max(any.r, run.r)};
    for (int64_t j = all.t; j < all.b;) {
        if (any.l < any.r && j % period == 0 && j + period <= all.b) {
            (blend ? wipe::MaskedBlendRowsAvx512 : wipe::MaskedCopyRowsAvx512)(
                m_dstBits + static_cast<ptrdiff_t>(j + down) * m_dstPitch + (any.l + shift) * 4,
                m_srcBits + static_cast<ptrdiff_t>(j) * m_srcPitch + any.l * 4, m_dstPitch, m_srcPitch,
                static_cast<int>(any.r - any.l), static_cast<int>(period), masks + any.l, w);
            for (int64_t row = j; row < j + period; ++row) {
                const ColumnRun run = shown[static_cast<size_t>(row - j)];
                if (run.l < run.r) {
                    left = std::min(left, run.l);
                    right = std::max(right, run.r);
                    first = std::min(first, row);
                    last = row + 1;
                }
            }
            j += period;
            continue;
        }
        const int64_t end = std::min(all.b, (j / cell + 1) * cell);
        const int64_t phase = phaseOf(j);
        const ColumnRun run = shown[static_cast<size_t>(phase)];
        if (run.l < run.r && whole[static_cast<size_t>(phase)]) {
            const int width = static_cast<int>(run.r - run.l);
            BlendAlphaRows32Mmx(m_dstBits + static_cast<ptrdiff_t>(j + down) * m_dstPitch + (run.l + shift) * 4,
                                m_srcBits + static_cast<ptrdiff_t>(j) * m_srcPitch + run.l * 4,
                                m_dstPitch - width * 4, m_srcPitch - width * 4, width, static_cast<int>(end - j));
        } else if (run.l < run.r) {
            (blend ? wipe::MaskedBlendRowsAvx512 : wipe::MaskedCopyRowsAvx512)(
                m_dstBits + static_cast<ptrdiff_t>(j + down) * m_dstPitch + (run.l + shift) * 4,
                m_srcBits + static_cast<ptrdiff_t>(j) * m_srcPitch + run.l * 4, m_dstPitch, m_srcPitch,
                static_cast<int>(run.r - run.l), static_cast<int>(end - j), masks + phase * w + run.l, 0);
        }
        if (run.l < run.r) {
            left = std::min(left, run.l);
            right = std::max(right, run.r);
            first = std::min(first, j);
            last = end;
        }
        j = end;
    }
    if (left < right)
        Track(left + shift, first + down, right + shift, last + down);
}

void CWipeCanvas::RunRows(int64_t top, int64_t bottom, const std::vector<ColumnRun>& runs, int64_t step)
{
    if (!m_active || top >= bottom || runs.empty() || step < 1)
        return;
    // The rows and the columns that can show at all: one span over the whole width, clipped.
    Span all{0, top, m_w, bottom, int64_t{m_x}, int64_t{m_y} + top};
    if (!ClipSpan(all))
        return;
    if (!m_fast && step > 1) {
        for (int64_t row = top; row < bottom; row += step)
            RunRows(row, row + 1, runs, 1);
        return;
    }
    // The first and last rows of the walk (every step-th from top) inside the cut rows.
    const int64_t first = top + (all.t - top + step - 1) / step * step;
    if (first >= all.b)
        return;
    const int64_t rows = (all.b - 1 - first) / step + 1;
    const int64_t lastEnd = first + (rows - 1) * step + 1;
    const int64_t shift = all.dx - all.l; // destination column of source column 0
    // The runs cut to the columns that can show (the runs themselves when none is cut).
    const bool whole = runs.front().l >= all.l && runs.back().r <= all.r;
    if (!whole) {
        m_visible.clear();
        for (const ColumnRun& run : runs) {
            const int64_t l = std::max(run.l, all.l);
            const int64_t r = std::min(run.r, all.r);
            if (l < r)
                m_visible.push_back(ColumnRun{l, r});
        }
        if (m_visible.empty())
            return;
    }
    const std::vector<ColumnRun>& visible = whole ? runs : m_visible;
    if (!m_fast) {
        for (const ColumnRun& run : visible) {
            Span s{run.l, all.t, run.r, all.b, run.l + shift, all.dy};
            DrawSpan(s);
        }
        return;
    }
    const LONG dstPitch = static_cast<LONG>(m_dstPitch * step);
    const LONG srcPitch = static_cast<LONG>(m_srcPitch * step);
    BYTE* dstFirst = m_dstBits + static_cast<ptrdiff_t>(m_y + first) * m_dstPitch + shift * 4;
    const BYTE* srcFirst = m_srcBits + static_cast<ptrdiff_t>(first) * m_srcPitch;
    if (m_mode == kTransitionCopy && m_key == kNoKey) {
        // Plain copies row by row through the runs, so the rows are walked in memory order
        // however narrow the runs are.
        BYTE* dstRow = dstFirst;
        const BYTE* srcRow = srcFirst;
        for (int64_t row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch)
            for (const ColumnRun& run : visible)
                CopyRun(dstRow + run.l * 4, srcRow + run.l * 4, static_cast<int>(run.r - run.l));
    } else if (m_mode == kTransitionBlendAlpha && (NarrowRuns(visible) || wipe::UseAvx2Loops())) {
        // Narrow runs (interleaved columns, small tiles) blend inline row by row: a kernel call
        // per run and band costs more than the run's arithmetic. With AVX2 runs of any width do
        // up to a few registers a row, so the rows are walked in memory order.
        if (wipe::UseAvx2Loops()) {
            BlendRunRowsAvx2(dstFirst, srcFirst, dstPitch, srcPitch, rows, visible);
            Track(visible.front().l + shift, m_y + first, visible.back().r + shift, m_y + lastEnd);
            return;
        }
        const auto blend = g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32;
        BYTE* dstRow = dstFirst;
        const BYTE* srcRow = srcFirst;
        for (int64_t row = 0; row < rows; ++row, dstRow += dstPitch, srcRow += srcPitch)
            for (const ColumnRun& run : visible) {
                const int width = static_cast<int>(run.r - run.l);
                if (width <= 16)
                    BlendShort(dstRow + run.l * 4, srcRow + run.l * 4, width);
                else
                    blend(dstRow + run.l * 4, srcRow + run.l * 4, 0, 0, width, 1);
            }
    } else {
        // The kernels cost a call per run: each run is drawn down several rows at once, in bands
        // of rows short enough to stay in the cache while the band's runs are drawn.
        constexpr int64_t kBandRows = 16;
        const auto blend = g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32;
        for (int64_t band = 0; band < rows; band += kBandRows) {
            const int height = static_cast<int>(std::min(kBandRows, rows - band));
            for (const ColumnRun& run : visible) {
                const int width = static_cast<int>(run.r - run.l);
                BYTE* d = dstFirst + band * dstPitch + run.l * 4;
                const BYTE* p = srcFirst + band * srcPitch + run.l * 4;
                if (m_mode == kTransitionBlendAlpha)
                    blend(d, p, dstPitch - width * 4, srcPitch - width * 4, width, height);
                else
                    CopyKeyRows32(d, p, dstPitch - width * 4, srcPitch - width * 4, width, height, m_key);
            }
        }
    }
    Track(visible.front().l + shift, m_y + first, visible.back().r + shift, m_y + lastEnd);
}

void CWipeCanvas::MirroredColumns()
{
    if (!m_active)
        return;
    const int64_t w = m_w, h = m_h;
    if (!m_fast) {
        for (int64_t i = 0; i < w; ++i)
            PieceAt(i, 0, i + 1, h, int64_t{m_x} + w - 1 - i, m_y);
        return;
    }
    // Rows in place, cut to the source and the clip.
    const int64_t t0 = std::max<int64_t>({0, m_srcClip.top, int64_t{m_clip.top} - m_y});
    const int64_t t1 = std::min<int64_t>({h, m_srcClip.bottom, int64_t{m_clip.bottom} - m_y});
    // Destination columns d show source column x + w - 1 - d.
    const int64_t srcLeft = std::max<int64_t>(0, m_srcClip.left);
    const int64_t srcRight = std::min<int64_t>(w, m_srcClip.right);
    const int64_t d0 = std::max<int64_t>({int64_t{m_x}, m_clip.left, int64_t{m_x} + w - srcRight});
    const int64_t d1 = std::min<int64_t>({int64_t{m_x} + w, m_clip.right, int64_t{m_x} + w - srcLeft});
    if (t0 >= t1 || d0 >= d1)
        return;
    const int width = static_cast<int>(d1 - d0);
    const int height = static_cast<int>(t1 - t0);
    const LONG dstPitch = m_dstPitch;
    const LONG srcPitch = m_srcPitch;
    BYTE* d = m_dstBits + static_cast<ptrdiff_t>(m_y + t0) * dstPitch + d0 * 4;
    // Mirrored kernels start one pixel past the right end of the source segment.
    const BYTE* p = m_srcBits + static_cast<ptrdiff_t>(t0) * srcPitch + (int64_t{m_x} + w - d0) * 4;
    const int dstSkip = dstPitch - width * 4;
    const int srcSkip = srcPitch + width * 4;
    if (m_mode == kTransitionBlendAlpha)
        (g_bUseMmx ? BlendAlphaRows32MirrorMmx : BlendAlphaRows32Mirror)(d, p, dstSkip, srcSkip, width,
                                                                         height);
    else if (m_key != kNoKey)
        CopyKeyRows32Mirror(d, p, dstSkip, srcSkip, width, height, m_key);
    else
        (g_bUseMmx ? CopyRows32MirrorMmx : CopyRows32Mirror)(d, p, dstSkip, srcSkip, width, height);
    Track(d0, m_y + t0, d1, m_y + t1);
}

void CWipeCanvas::StretchedColumns(const std::vector<ColumnStretch>& columns)
{
    if (!m_active)
        return;
    if (!m_fast) {
        for (const ColumnStretch& c : columns)
            Scaled(c.i, 0, c.i + 1, m_h, 1, c.height, c.dx, c.dy);
        return;
    }
    // Each column's clip and stepping from the image's own clip computation, then all columns
    // walked together, one destination row at a time, with the scaled kernels' row rule.
    // Neighbouring columns that step alike (same rows, same stepping, neighbouring source
    // columns) are walked as one group and drawn as one run per row.
    struct Walk {
        LONG column;
        LONG width;
        LONG top;
        LONG bottom;
        const BYTE* src;
        int64_t acc;
        int32_t frac;
        int32_t den;
        ptrdiff_t whole;
        bool StepsLike(const Walk& o) const
        {
            return top == o.top && bottom == o.bottom && acc == o.acc && frac == o.frac && den == o.den &&
                   whole == o.whole;
        }
    };
    std::vector<Walk>& walks = wipe::Scratch<Walk, wipe::ScratchUse::Walks>();
    walks.clear();
    walks.reserve(columns.size());
    LONG first = INT32_MAX, last = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    for (const ColumnStretch& c : columns) {
        if (c.height < 1 || c.i < 0 || c.i >= m_w || !FitsLong(c.dx) || !FitsLong(c.dy) ||
            !FitsLong(c.dy + c.height))
            continue;
        const RECT piece{static_cast<LONG>(c.i), 0, static_cast<LONG>(c.i) + 1, m_h};
        const SIZE size{1, static_cast<LONG>(c.height)};
        StretchState st{};
        if (m_image->TransferRect(m_src, static_cast<LONG>(c.dx), static_cast<LONG>(c.dy), &piece, &size, &st,
                                  nullptr) != 0)
            continue;
        const RECT sr = m_image->TransferSrcRect();
        const RECT dr = m_image->TransferDstRect();
        const Walk w{dr.left,
                     1,
                     dr.top,
                     dr.bottom,
                     m_srcBits + static_cast<ptrdiff_t>(sr.top) * m_srcPitch +
                         static_cast<ptrdiff_t>(sr.left) * 4,
                     st.yAcc,
                     st.yFrac,
                     st.yDen,
                     static_cast<ptrdiff_t>(st.yStep) * m_srcPitch};
        if (!walks.empty()) {
            Walk& g = walks.back();
            if (w.column == g.column + g.width && w.src == g.src + ptrdiff_t{g.width} * 4 && w.StepsLike(g)) {
                ++g.width;
                last = std::max(last, dr.right);
                continue;
            }
        }
        walks.push_back(w);
        first = std::min(first, dr.left);
        last = std::max(last, dr.right);
        top = std::min(top, dr.top);
        bottom = std::max(bottom, dr.bottom);
    }
    if (walks.empty())
        return;
    // Pixels of a row from each group that covers it: straight to the destination for plain
    // copies; otherwise gathered in a row buffer, whose covered runs are then drawn. Groups that
    // lie left to right without overlapping (those of entry 3 always do) give the runs in order;
    // otherwise the covered columns are marked and searched.
    const bool plainCopy = m_mode == kTransitionCopy && m_key == kNoKey;
    bool ordered = true;
    for (size_t g = 1; g < walks.size(); ++g)
        ordered = ordered && walks[g - 1].column + walks[g - 1].width <= walks[g].column;
    const int span = last - first;
    std::vector<uint32_t>& row = wipe::Scratch<uint32_t, wipe::ScratchUse::Row>();
    row.assign(plainCopy ? 0 : static_cast<size_t>(span), 0);
    std::vector<uint8_t>& active = wipe::Scratch<uint8_t, wipe::ScratchUse::Active>();
    active.assign(plainCopy || ordered ? 0 : static_cast<size_t>(span), 0);
    const auto blend = g_bUseMmx ? BlendAlphaRows32Mmx : BlendAlphaRows32;
    BYTE* dstRow = nullptr;
    const auto drawRun = [&](int k, int end) {
        BYTE* d = dstRow + k * 4;
        const BYTE* p = reinterpret_cast<const BYTE*>(&row[static_cast<size_t>(k)]);
        if (m_mode == kTransitionBlendAlpha)
            blend(d, p, 0, 0, end - k, 1);
        else
            CopyKeyRows32(d, p, 0, 0, end - k, 1, m_key);
    };
    for (LONG y = top; y < bottom; ++y) {
        dstRow = m_dstBits + static_cast<ptrdiff_t>(y) * m_dstPitch + static_cast<ptrdiff_t>(first) * 4;
        if (!active.empty())
            std::fill(active.begin(), active.end(), 0);
        int runStart = 0, runEnd = 0; // the ordered groups' run being gathered
        for (Walk& w : walks) {
            if (y < w.top || y >= w.bottom)
                continue;
            const int k = w.column - first;
            if (plainCopy) {
                CopyRun(dstRow + k * 4, w.src, w.width);
            } else {
                CopyRun(reinterpret_cast<BYTE*>(&row[static_cast<size_t>(k)]), w.src, w.width);
                if (!ordered) {
                    std::fill_n(&active[static_cast<size_t>(k)], w.width, 1);
                } else if (k == runEnd) {
                    runEnd += w.width;
                } else {
                    if (runStart < runEnd)
                        drawRun(runStart, runEnd);
                    runStart = k;
                    runEnd = k + w.width;
                }
            }
            if (y + 1 < w.bottom) {
                w.src += w.whole;
                w.acc += w.frac;
                if (w.acc >= 0) {
                    w.src += m_srcPitch;
                    w.acc -= w.den;
                }
            }
        }
        if (plainCopy)
            continue;
        if (ordered) {
            if (runStart < runEnd)
                drawRun(runStart, runEnd);
            continue;
        }
        for (int k = 0; k < span;) {
            if (!active[static_cast<size_t>(k)]) {
                ++k;
                continue;
            }
            int end = k + 1;
            while (end < span && active[static_cast<size_t>(end)])
                ++end;
            drawRun(k, end);
            k = end;
        }
    }
    Track(first, top, last, bottom);
}
