// The primary's bilinear rows.
#include "winapi/ddraw/bilinear_rows.h"

#include <algorithm>
#include <cstring>

#include "winapi/ddraw/row_kernels.h"

namespace winapi::ddraw {

void BilinearAxis(LONG i, LONG from, LONG to, LONG* at, int* weight)
{
    // 16.16 position of the result pixel's centre in the source, less half a pixel.
    const int64_t pos = ((2 * int64_t{i} + 1) * from * 65536) / (2 * int64_t{to}) - 32768;
    const int64_t clamped = std::clamp<int64_t>(pos, 0, int64_t{from - 1} * 65536);
    *at = static_cast<LONG>(clamped >> 16);
    *weight = static_cast<int>((clamped & 0xFFFF) >> 8);
}

BilinearRows::BilinearRows(const BYTE* source, std::ptrdiff_t pitch, LONG sourceWidth, LONG sourceHeight,
                           LONG width, LONG height)
    : m_source(source), m_pitch(pitch), m_sourceWidth(sourceWidth), m_sourceHeight(sourceHeight), m_height(height),
      m_xa(static_cast<size_t>(width)), m_xb(static_cast<size_t>(width)), m_weights(4 * static_cast<size_t>(width))
{
    // With two source columns or more every sample can mix a pixel with its right neighbour: a
    // clamped one at the right edge takes all of that neighbour instead of all of itself.
    m_pairs = sourceWidth >= 2 && HasAvx2();
    for (LONG i = 0; i < width; ++i) {
        LONG at;
        int weight;
        BilinearAxis(i, sourceWidth, width, &at, &weight);
        if (m_pairs && at == sourceWidth - 1) {
            at = sourceWidth - 2;
            weight = 256;
        }
        m_xa[static_cast<size_t>(i)] = at;
        m_xb[static_cast<size_t>(i)] = std::min(at + 1, sourceWidth - 1);
        std::fill_n(m_weights.begin() + 4 * static_cast<std::ptrdiff_t>(i), 4, static_cast<uint16_t>(weight));
    }
}

const uint32_t* BilinearRows::Across(LONG y, LONG keep)
{
    for (int slot = 0; slot < 2; ++slot)
        if (m_rowOf[slot] == y)
            return m_rows[slot].data();
    const int slot = m_rowOf[0] == keep ? 1 : 0;
    const LONG count = m_right - m_left;
    m_rows[slot].resize(static_cast<size_t>(count));
    const auto* row = reinterpret_cast<const uint32_t*>(m_source + static_cast<std::ptrdiff_t>(y) * m_pitch);
    const uint16_t* weights = m_weights.data() + 4 * static_cast<size_t>(m_left);
    if (m_pairs)
        LerpPairsAvx2(row, m_xa.data() + m_left, weights, m_rows[slot].data(), count);
    else
        LerpAcrossSse2(row, m_xa.data() + m_left, m_xb.data() + m_left, weights, m_rows[slot].data(), count);
    m_rowOf[slot] = y;
    return m_rows[slot].data();
}

void BilinearRows::Make(LONG row, LONG left, LONG right, uint32_t* out)
{
    if (left != m_left || right != m_right) {
        m_left = left;
        m_right = right;
        m_rowOf[0] = m_rowOf[1] = -1;
    }
    LONG y0;
    int wy;
    BilinearAxis(row, m_sourceHeight, m_height, &y0, &wy);
    const LONG y1 = std::min(y0 + 1, m_sourceHeight - 1);
    const uint32_t* top = Across(y0, y1);
    if (wy == 0) {
        std::memcpy(out, top, static_cast<size_t>(right - left) * 4);
        return;
    }
    const uint32_t* bottom = Across(y1, y0);
    LerpDown(top, bottom, static_cast<uint32_t>(wy), out, right - left);
}

} // namespace winapi::ddraw
