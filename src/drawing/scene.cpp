#include "drawing/scene.h"

#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "raster/row_kernels.h"
#include "raster/scale_ops.h"
#include "raster/surface_convert.h"
#include "winapi/simd_level.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <iterator>
#include <utility>

uint8_t g_bBandedRedraw = 1;
uint8_t g_bMergeUpdateRects = 1;

namespace {

// The band rows of a width (the table the banded redraw walks).
constexpr struct {
    LONG belowWidth;
    LONG rows;
} kBandRows[] = {{40, 128}, {80, 64}, {160, 32}, {320, 16}};

} // namespace

LONG CScene::BandHeight(LONG width)
{
    for (const auto& row : kBandRows) {
        if (width < row.belowWidth) {
            return row.rows;
        }
    }
    return 8;
}

LONG CScene::CacheBandHeight(LONG width)
{
    // Past the table's last row a full-HD band is 60 KB: too few rows for each drawable's call,
    // while 256 KB still stays in the level-2 cache with the sprite rows blended over it.
    constexpr LONG kBandPixels = 64 * 1024;
    const LONG rows = BandHeight(width);
    return width < kBandRows[std::size(kBandRows) - 1].belowWidth ? rows : std::max(rows, kBandPixels / width / 8 * 8);
}

CScene::CScene()
{
    m_list.SetScene(this);
}

CScene::~CScene()
{
    delete m_work;
    if (m_overlay) {
        m_overlay->SetScene(nullptr);
    }
    m_list.SetScene(nullptr);
}

int CScene::SetTarget(CImage* image, bool invalidate)
{
    if (!image || !image->GetBits()) {
        return 1;
    }
    if (m_tiled) {
        // Tiles sized for another target: what they held is dirty as a whole.
        DropTiles();
        m_region.AddRect(RECT{0, 0, std::min(m_target->GetWidth(), image->GetWidth()),
                              std::min(m_target->GetHeight(), image->GetHeight())});
    }
    m_target = image;
    // The band walk counts the rows of any rectangle in one buffer, sized once for the target.
    m_rowCounts.reserve(static_cast<size_t>(image->GetHeight()) + 2);
    if (invalidate) {
        InvalidateAll();
    }
    return 0;
}

void CScene::SetOverlay(CDrawList* overlay)
{
    if (m_overlay && m_overlay != overlay) {
        m_overlay->SetScene(nullptr);
    }
    m_overlay = overlay;
    if (overlay) {
        overlay->SetScene(this);
    }
}

bool CScene::SetBackgroundImage(CSurface* image, LONG x, LONG y, bool invalidate)
{
    if (image && !image->GetBits()) {
        return false;
    }
    if (image) {
        m_anchorX = static_cast<LONG>(static_cast<uint32_t>(image->GetWidth()) / 2);
        m_anchorY = static_cast<LONG>(static_cast<uint32_t>(image->GetHeight()) / 2);
    }
    ReleaseBackgroundWork();
    m_background = image;
    m_bgX = x;
    m_bgY = y;
    if (invalidate) {
        InvalidateAll();
    }
    return true;
}

bool CScene::SetBackgroundPosition(LONG x, LONG y, bool invalidate)
{
    if (x == m_bgX && y == m_bgY)
        return false;
    m_bgX = x;
    m_bgY = y;
    if (invalidate)
        InvalidateAll();
    return true;
}

void CScene::SetBackgroundRGB(BYTE r, BYTE g, BYTE b, bool invalidate)
{
    SetBackgroundColor(static_cast<DWORD>(r) << 16 | static_cast<DWORD>(g) << 8 | b, invalidate);
}

void CScene::SetBackgroundColor(DWORD rgb, bool invalidate)
{
    m_background = nullptr;
    ReleaseBackgroundWork();
    m_color = rgb & 0xFFFFFF;
    if (invalidate) {
        InvalidateAll();
    }
}

void CScene::GetBackground(CSurface** image, LONG* x, LONG* y, BYTE* r, BYTE* g, BYTE* b) const
{
    if (image) {
        *image = m_background;
    }
    if (x) {
        *x = m_bgX;
    }
    if (y) {
        *y = m_bgY;
    }
    if (r) {
        *r = static_cast<BYTE>(m_color >> 16);
    }
    if (g) {
        *g = static_cast<BYTE>(m_color >> 8);
    }
    if (b) {
        *b = static_cast<BYTE>(m_color);
    }
}

bool CScene::SetBackgroundAnchor(int mode, LONG x, LONG y)
{
    if (!m_background) {
        return false;
    }
    const LONG w = m_background->GetWidth();
    const LONG h = m_background->GetHeight();
    const struct {
        LONG x, y;
    } kAnchors[] = {{0, 0}, {w, 0}, {0, h}, {w, h}, {w / 2, h / 2}};
    if (mode >= 0 && mode < 5) {
        m_anchorX = kAnchors[mode].x;
        m_anchorY = kAnchors[mode].y;
    } else {
        m_anchorX = x;
        m_anchorY = y;
    }
    return true;
}

bool CScene::MakeWork(int bitsPerPixel)
{
    if (m_work) {
        return true;
    }
    auto* work = new (std::nothrow) CImage;
    if (!work) {
        return false;
    }
    if (work->Create(m_target->GetWidth(), m_target->GetHeight(), bitsPerPixel, 0) != 0) {
        delete work;
        return false;
    }
    m_work = work;
    return true;
}

int CScene::CreateBackgroundWork(bool recreate)
{
    if (!m_target) {
        return 1;
    }
    if (recreate) {
        delete m_work;
        m_work = nullptr;
    }
    if (!MakeWork(m_target->GetBitsPerPixel())) {
        return 2;
    }
    m_viewX = m_viewY = m_viewW = m_viewH = 0;
    m_viewSrc = RECT{0, 0, 0, 0};
    m_angle = 0;
    m_zoom = 0.0;
    return 0;
}

void CScene::ReleaseBackgroundWork()
{
    delete m_work;
    m_work = nullptr;
    m_viewW = m_viewH = 0;
    m_angle = 0;
    m_zoom = 0.0;
}

bool CScene::SetBackgroundView(LONG x, LONG y, LONG w, LONG h, const RECT* srcRect)
{
    if (!m_background || !m_target) {
        return false;
    }
    RECT whole;
    m_background->GetBounds(&whole);
    const RECT src = srcRect ? *srcRect : whole;
    if (m_work && x == m_viewX && y == m_viewY && w == m_viewW && h == m_viewH && SameRect(src, m_viewSrc)) {
        return false;
    }
    const LONG tw = m_target->GetWidth();
    const LONG th = m_target->GetHeight();
    if ((w == 0 && h == 0) || (x == 0 && y == 0 && w == tw && h == th && SameRect(src, whole))) {
        ReleaseBackgroundWork();
        InvalidateAll();
        return true;
    }
    if (w <= 0) {
        w = tw;
    }
    if (h <= 0) {
        h = th;
    }
    if (!MakeWork(m_background->GetBitsPerPixel())) {
        return false;
    }
    bool filled = false;
    if (x > 0 || y > 0 || AddClamped(x, w) < tw || AddClamped(y, h) < th) {
        FillColor(m_work, RECT{0, 0, tw, th});
        filled = true;
    }
    const SIZE size{w, h};
    RECT from = src;
    int result;
    if (m_background->GetBitsPerPixel() == 32 && g_pPixelLib && g_PixelLibFuncs.stretchBlend) {
        result = g_PixelLibFuncs.stretchBlend(m_work, m_background, &size, x, y, &from, 0, m_filter, 255, 0);
    } else if ((m_filter & 0x0F) == 0) {
        result = m_work->StretchCopy(m_background, &size, x, y, &from, false);
    } else {
        result = SmoothStretchCopy(*m_work, m_background, &size, x, y, &from);
    }
    if (result != 0 && !filled) {
        FillColor(m_work, RECT{0, 0, tw, th});
    }
    m_viewX = x;
    m_viewY = y;
    m_viewW = w;
    m_viewH = h;
    m_viewSrc = src;
    m_angle = 0;
    m_zoom = 0.0;
    InvalidateAll();
    return true;
}

bool CScene::SetBackgroundRotateZoom(LONG cx, LONG cy, int angle, double zoom)
{
    if (!m_background || m_background->GetBitsPerPixel() != 32 || !m_target) {
        return false;
    }
    if (m_work && cx == m_viewX && cy == m_viewY && angle == m_angle && zoom == m_zoom) {
        return false;
    }
    QuadPoint quad[4];
    const int64_t destX = static_cast<int64_t>(cx) - m_anchorX;
    const int64_t destY = static_cast<int64_t>(cy) - m_anchorY;
    const bool identity = (angle & 511) == 0 && zoom == 1.0;
    if (identity || !(zoom > 0.0) || destX != static_cast<int32_t>(destX) || destY != static_cast<int32_t>(destY) ||
        !ComputeRotateZoomQuad(quad, static_cast<int32_t>(destX), static_cast<int32_t>(destY), angle, zoom,
                               m_background->GetWidth(), m_background->GetHeight(), m_anchorX, m_anchorY, nullptr,
                               nullptr, nullptr, nullptr)) {
        ReleaseBackgroundWork();
    } else {
        if (m_work && m_work->GetBitsPerPixel() != 32) {
            delete m_work;
            m_work = nullptr;
        }
        if (!MakeWork(32)) {
            return false;
        }
        const RECT whole{0, 0, m_target->GetWidth(), m_target->GetHeight()};
        RECT src;
        m_background->GetBounds(&src);
        const PixelLibPoint corners[3] = {{quad[0].x, quad[0].y}, {quad[1].x, quad[1].y}, {quad[2].x, quad[2].y}};
        RECT changed{};
        const bool drawn = g_pPixelLib && g_PixelLibFuncs.drawQuad &&
                           g_PixelLibFuncs.drawQuad(m_work, m_background, corners, &src, 0, m_filter, 255, 0, 1,
                                                    m_color, &changed) == 0;
        if (!drawn) {
            FillColor(m_work, whole);
        }
        m_viewX = cx;
        m_viewY = cy;
        m_angle = angle;
        m_zoom = zoom;
        m_viewW = m_viewH = 0;
    }
    InvalidateAll();
    return true;
}

int CScene::SwapBackground(CScene* other, bool invalidate)
{
    if (!other) {
        return 1;
    }
    std::swap(m_background, other->m_background);
    std::swap(m_bgX, other->m_bgX);
    std::swap(m_bgY, other->m_bgY);
    std::swap(m_color, other->m_color);
    std::swap(m_work, other->m_work);
    std::swap(m_viewX, other->m_viewX);
    std::swap(m_viewY, other->m_viewY);
    std::swap(m_viewW, other->m_viewW);
    std::swap(m_viewH, other->m_viewH);
    std::swap(m_viewSrc, other->m_viewSrc);
    std::swap(m_angle, other->m_angle);
    std::swap(m_zoom, other->m_zoom);
    std::swap(m_anchorX, other->m_anchorX);
    std::swap(m_anchorY, other->m_anchorY);
    if (invalidate) {
        InvalidateAll();
        other->InvalidateAll();
    }
    return 0;
}

int CScene::InvalidateAll()
{
    if (!m_target) {
        return 1;
    }
    for (CDrawList* list : {&m_list, m_overlay}) {
        for (DrawNode* node = list ? list->Head() : nullptr; node; node = node->next) {
            if (node->drawable->IsVisible() && node->drawable->GetAlpha() != 0) {
                node->drawable->SetDirty(true);
                node->last.left = -1;
            }
        }
    }
    m_region.Reset();
    DropTiles();
    m_region.AddRect(RECT{0, 0, m_target->GetWidth(), m_target->GetHeight()});
    return 0;
}

bool CScene::InvalidateClippedRect(RECT* rect)
{
    if (!m_target) {
        return false;
    }
    if (rect && m_target->ClipRectToBounds(rect)) {
        m_region.AddRect(*rect);
    }
    return true;
}

void CScene::ClearDirtyState()
{
    for (CDrawList* list : {&m_list, m_overlay}) {
        for (DrawNode* node = list ? list->Head() : nullptr; node; node = node->next) {
            node->drawable->SetDirty(false);
        }
    }
    m_region.Reset();
    DropTiles();
}

namespace {

// Past this many dirty rectangles merging and composing each costs more than it saves (a few
// thousand moving particles made the redraw quadratic in their number): they go into tiles.
constexpr int kMaxDirtyRects = 64;

bool Contains(const RECT& outer, const RECT& inner)
{
    return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Tile rows, and the narrowest tile column: fine enough that a thin falling line or a small flake
// repaints little more than itself. Columns widen so that a row of tiles takes at most
// kMaxTileWords words.
constexpr LONG kTileRows = 16;
constexpr LONG kTileColumnPixels = 4;
constexpr int kMaxTileWords = 64;
// Gaps between marked tiles of a row up to this wide are repainted with them.
constexpr LONG kTileGapPixels = 32;
// The tiles are composed in strips of about this many pixels (a megabyte of target).
constexpr LONG kTileStripPixels = 256 * 1024;

// The first column from `from` on whose tile is marked (set) or not (!set) in a row of `words`
// words; words * 64 when there is none.
int NextTile(const uint64_t* row, int words, int from, bool set)
{
    for (int word = from / 64; word < words; ++word) {
        uint64_t bits = set ? row[word] : ~row[word];
        if (word == from / 64) {
            bits &= ~uint64_t{0} << (from % 64);
        }
        if (bits != 0) {
            return word * 64 + std::countr_zero(bits);
        }
    }
    return words * 64;
}

// The bits of columns [first, last] that fall in word `word`.
uint64_t ColumnBits(int first, int last, int word)
{
    const int from = std::max(first - word * 64, 0), to = std::min(last - word * 64, 63);
    return from > to ? 0 : (to == 63 ? ~uint64_t{0} : (uint64_t{1} << (to + 1)) - 1) & (~uint64_t{0} << from);
}

} // namespace

void CScene::AddCollected(const RECT& rect)
{
    if (m_tiled) {
        MarkTiles(rect);
        return;
    }
    m_region.AddRect(rect);
    if (m_region.Count() > kMaxDirtyRects) {
        StartTiles();
    }
}

void CScene::StartTiles()
{
    if (!m_target) {
        // No grid to mark in: the bounds are repainted whole.
        if (!m_region.BoundsValid())
            m_region.RecomputeBounds();
        const RECT bounds = m_region.Bounds();
        m_region.Reset();
        m_region.AddRect(bounds);
        return;
    }
    const LONG width = m_target->GetWidth();
    m_tileW = std::max<LONG>(kTileColumnPixels, (width + kMaxTileWords * 64 - 1) / (kMaxTileWords * 64));
    m_tileH = kTileRows;
    m_tileWords = static_cast<int>((width + m_tileW * 64 - 1) / (m_tileW * 64));
    const size_t rows = static_cast<size_t>((m_target->GetHeight() + kTileRows - 1) / kTileRows);
    m_tiles.assign(rows * m_tileWords, 0);
    // A row's runs are parted by gaps too wide to fill, so a row holds at most this many: the
    // lists are sized once here and a redraw never grows them.
    const size_t columns = static_cast<size_t>(m_tileWords) * 64;
    const size_t runsPerRow = columns / static_cast<size_t>(kTileGapPixels / m_tileW + 2) + 1;
    m_tileRects.reserve(rows * runsPerRow);
    m_openRects.reserve(runsPerRow);
    m_nextOpen.reserve(runsPerRow);
    m_tiled = true;
    for (RectNode* node = m_region.Head(); node;) {
        MarkTiles(node->rect);
        node = node->next == m_region.Head() ? nullptr : node->next;
    }
    m_region.Reset();
}

void CScene::MarkTiles(const RECT& rect)
{
    RECT r;
    if (!IntersectRects(&r, rect, RECT{0, 0, m_target->GetWidth(), m_target->GetHeight()})) {
        return;
    }
    const auto first = static_cast<int>(r.left / m_tileW);
    const auto last = static_cast<int>((r.right - 1) / m_tileW);
    const auto words = static_cast<size_t>(m_tileWords);
    const auto bottom = static_cast<size_t>((r.bottom - 1) / m_tileH);
    for (auto row = static_cast<size_t>(r.top / m_tileH); row <= bottom && (row + 1) * words <= m_tiles.size(); ++row) {
        for (int word = first / 64; word <= last / 64; ++word) {
            m_tiles[row * words + static_cast<size_t>(word)] |= ColumnBits(first, last, word);
        }
    }
}

void CScene::DropTiles()
{
    m_tiled = false;
    std::fill(m_tiles.begin(), m_tiles.end(), uint64_t{0});
}

void CScene::CollectDirtyRects(DrawNode** ownTail, DrawNode** overlayTail)
{
    for (CDrawList* list : {&m_list, m_overlay}) {
        for (DrawNode* node = list ? list->Head() : nullptr; node; node = node->next) {
            CDrawable* drawable = node->drawable;
            if (!drawable->IsDirty()) {
                continue;
            }
            if (node->last.left != -1) {
                AddCollected(node->last);
            }
            RECT r;
            drawable->GetScreenRect(&r);
            drawable->SetDirty(false);
            if (m_target && m_target->ClipRectToBounds(&r)) {
                AddCollected(r);
                node->last = r;
            } else {
                node->last.left = -1;
            }
        }
    }
    if (ownTail) {
        *ownTail = m_list.Tail();
    }
    if (overlayTail) {
        *overlayTail = m_overlay ? m_overlay->Tail() : nullptr;
    }
    if (g_bMergeUpdateRects) {
        m_region.Optimize();
    }
}

bool CScene::CollectAnyDirty(DrawNode** ownTail, DrawNode** overlayTail)
{
    CollectDirtyRects(ownTail, overlayTail);
    return m_region.Count() != 0 || m_tiled;
}

void CScene::FillColor(CImage* image, const RECT& rect) const
{
    if (image->GetBitsPerPixel() == 32) {
        image->FillRect32(m_color, &rect);
    } else if (image->GetBitsPerPixel() == 8) {
        image->FillRect(static_cast<BYTE>(m_color >> 16), 0, 0, &rect);
    }
}

void CScene::PrefetchBackground(const RECT& rect) const
{
    // The next piece's rows are asked for while this one is painted: short rows a pitch apart are
    // too short a walk for the processor's own prefetch.
    const CSurface* source = m_work ? m_work : m_background;
    if (m_noBackground || !source || source->GetBitsPerPixel() != 32 || m_target->GetBitsPerPixel() != 32) {
        return;
    }
    const LONG ox = m_work ? 0 : m_bgX;
    const LONG oy = m_work ? 0 : m_bgY;
    const RECT from = MovedRect(rect, ox, oy);
    RECT covered;
    if (!IntersectRects(&covered, from, source->ClipRect()) || !SameRect(covered, from)) {
        return;
    }
    const LONG pitch = m_target->GetPitch(), sourcePitch = source->GetPitch();
    const BYTE* to = m_target->GetBits() + intptr_t{rect.top} * pitch + intptr_t{rect.left} * 4;
    const BYTE* in = source->GetBits() + intptr_t{from.top} * sourcePitch + intptr_t{from.left} * 4;
    const intptr_t last = intptr_t{rect.right - rect.left} * 4 - 1;
    for (LONG y = rect.top; y < rect.bottom; ++y, to += pitch, in += sourcePitch) {
        __builtin_prefetch(to, 1);
        __builtin_prefetch(to + last, 1);
        __builtin_prefetch(in);
        __builtin_prefetch(in + last);
    }
}

namespace {

// Pieces of more pixels than a cache band (see CacheBandHeight).
constexpr int64_t kLargePiecePixels = 64 * 1024;

} // namespace

void CScene::PaintBackground(CImage* image, const RECT& rect) const
{
    if (m_noBackground) {
        return;
    }
    const CSurface* source = m_work ? m_work : m_background;
    if (!source) {
        FillColor(image, rect);
        return;
    }
    const LONG ox = m_work ? 0 : m_bgX;
    const LONG oy = m_work ? 0 : m_bgY;
    const RECT from = MovedRect(rect, ox, oy);
    // What the source does not cover (a smaller or offset background) or keys out gets the
    // colour: it used to keep whatever was drawn there before, so moving sprites left trails.
    RECT covered;
    if (!IntersectRects(&covered, from, source->ClipRect()) || source->GetColorKey() != kNoColorKey) {
        FillColor(image, rect);
    } else if (!SameRect(covered, from)) {
        // Only the strips left uncovered: a shaking background would otherwise be filled whole
        // and then copied over.
        const RECT in = MovedRect(covered, -int64_t{ox}, -int64_t{oy});
        if (!SameRect(MovedRect(in, ox, oy), covered)) {
            FillColor(image, rect);
        } else {
            const RECT strips[4] = {{rect.left, rect.top, rect.right, in.top},
                                    {rect.left, in.bottom, rect.right, rect.bottom},
                                    {rect.left, in.top, in.left, in.bottom},
                                    {in.right, in.top, rect.right, in.bottom}};
            for (const RECT& strip : strips) {
                if (strip.left < strip.right && strip.top < strip.bottom) {
                    FillColor(image, strip);
                }
            }
        }
    }
    if (SameRect(covered, from) && image->GetBitsPerPixel() == 32 && source->GetBitsPerPixel() == 32 &&
        image->GetBits() != source->GetBits() && Contains(image->ClipRect(), rect)) {
        // The plain 32-bit case row by row: a redraw of scattered particles paints hundreds of
        // small pieces, where the general copy's checks cost more than the pixels.
        const LONG width = rect.right - rect.left;
        const LONG pitch = image->GetPitch(), sourcePitch = source->GetPitch();
        // A piece larger than a band (a frame composed whole) goes row by row too: the library's
        // copy of megabytes in one call ran slower than the vector rows, and the drawables
        // blended over it next waited for it.
        const bool large = int64_t{width} * (rect.bottom - rect.top) > kLargePiecePixels;
        (g_bUseMmx && UseAvx2() && width >= 8 && large ? CopyRows32Avx2 : g_bUseMmx ? CopyRows32Mmx : CopyRows32)(
            image->GetBits() + intptr_t{rect.top} * pitch + intptr_t{rect.left} * 4,
            source->GetBits() + intptr_t{from.top} * sourcePitch + intptr_t{from.left} * 4, pitch - width * 4,
            sourcePitch - width * 4, width, rect.bottom - rect.top);
        image->MarkChanged(rect);
        return;
    }
    image->Copy(source, rect.left, rect.top, &from, false);
}

void CScene::CollectShown(DrawNode* tail, const RECT& rect)
{
    for (DrawNode* node = tail; node; node = node->prev) {
        CDrawable* drawable = node->drawable;
        RECT part;
        if (drawable->IsVisible() && drawable->GetAlpha() != 0 &&
            IntersectRects(&part, *drawable->GetScreenRectPtr(), rect)) {
            Shown shown{drawable, part.top, part.bottom, false, DrawPlan{}};
            shown.planned = drawable->PlanRegion(m_target, rect, shown.plan);
            if (shown.planned) {
                // Only the rows the plan draws (none for an empty one) call the drawable.
                shown.top = std::max(shown.top, shown.plan.screen.top);
                shown.bottom = std::min(shown.bottom, shown.plan.screen.bottom);
                if (shown.top >= shown.bottom) {
                    continue;
                }
            }
            m_shown.push_back(shown);
        }
    }
}

void CScene::StartBands(const RECT& rect)
{
    // Counted by row rather than sorted: a few thousand particles made two sorts a tenth of the
    // redraw. Every row lies in [rect.top, rect.bottom].
    const auto count = static_cast<uint32_t>(m_shown.size());
    const auto rows = static_cast<size_t>(rect.bottom - rect.top) + 2;
    const auto byRow = [&](std::vector<uint32_t>& order, LONG Shown::*row) {
        m_rowCounts.assign(rows, 0);
        for (const Shown& shown : m_shown) {
            ++m_rowCounts[static_cast<size_t>(shown.*row - rect.top) + 1];
        }
        for (size_t i = 1; i < rows; ++i) {
            m_rowCounts[i] += m_rowCounts[i - 1];
        }
        order.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            order[m_rowCounts[static_cast<size_t>(m_shown[i].*row - rect.top)]++] = i;
        }
    };
    byRow(m_byTop, &Shown::top);
    byRow(m_byBottom, &Shown::bottom);
    m_active.assign((count + 63) / 64, 0);
    m_entered = 0;
    m_left = 0;
}

void CScene::DrawBand(const RECT& band)
{
    // A drawable reaches only the rows of its screen rectangle: it joins the walk at the first
    // band it reaches and leaves after its last, so the bands it misses (most of them, for small
    // sprites on a wide rectangle) cost neither a call nor a look.
    for (; m_entered < m_byTop.size() && m_shown[m_byTop[m_entered]].top < band.bottom; ++m_entered) {
        m_active[m_byTop[m_entered] / 64] |= uint64_t{1} << (m_byTop[m_entered] % 64);
    }
    for (; m_left < m_byBottom.size() && m_shown[m_byBottom[m_left]].bottom <= band.top; ++m_left) {
        m_active[m_byBottom[m_left] / 64] &= ~(uint64_t{1} << (m_byBottom[m_left] % 64));
    }
    for (size_t word = 0; word < m_active.size(); ++word) {
        for (uint64_t bits = m_active[word]; bits != 0; bits &= bits - 1) {
            const Shown& shown = m_shown[word * 64 + static_cast<size_t>(std::countr_zero(bits))];
            if (shown.planned) {
                shown.drawable->DrawPlannedRows(m_target, shown.plan, band.top, band.bottom);
            } else {
                shown.drawable->DrawRegion(m_target, band);
            }
        }
    }
}

bool CScene::DrawsLists() const
{
    return (!m_hideList && m_list.Head()) || (!m_hideOverlay && m_overlay && m_overlay->Head());
}

template <class Piece, class Done>
void CScene::ComposeRegion(Bands bands, DrawNode* ownTail, DrawNode* overlayTail, Piece&& piece, Done&& done)
{
    if (m_tiled) {
        ComposeTiles(ownTail, overlayTail, piece, done);
    }
    for (RectNode* node = m_region.Head(); node;) {
        const RECT rect = node->rect;
        // The drawables over this rectangle, in drawing order, found once rather than once a band.
        m_shown.clear();
        if (!m_hideList) {
            CollectShown(ownTail, rect);
        }
        if (!m_hideOverlay) {
            CollectShown(overlayTail, rect);
        }
        StartBands(rect);
        const LONG width = rect.right - rect.left;
        const LONG rows = bands == Bands::kTable   ? BandHeight(width)
                          : bands == Bands::kCache ? CacheBandHeight(width)
                                                   : rect.bottom - rect.top;
        for (LONG top = rect.top; top < rect.bottom;) {
            const LONG bottom = rect.bottom - top > rows ? top + rows : rect.bottom;
            const RECT band{rect.left, top, rect.right, bottom};
            PaintBackground(m_target, band);
            DrawBand(band);
            piece(band);
            top = bottom;
        }
        done(rect);
        node = node->next == m_region.Head() ? nullptr : node->next;
    }
    m_region.Reset();
}

int CScene::TileCover(const RECT& rect) const
{
    const auto first = static_cast<int>(rect.left / m_tileW);
    const auto last = static_cast<int>((rect.right - 1) / m_tileW);
    const auto words = static_cast<size_t>(m_tileWords);
    bool any = false, all = true;
    for (auto row = static_cast<size_t>(rect.top / m_tileH); row <= static_cast<size_t>((rect.bottom - 1) / m_tileH);
         ++row) {
        for (int word = first / 64; word <= last / 64; ++word) {
            const uint64_t want = ColumnBits(first, last, word);
            const uint64_t have = m_tiles[row * words + static_cast<size_t>(word)] & want;
            any = any || have != 0;
            all = all && have == want;
        }
    }
    return all ? 2 : any ? 1 : 0;
}

void CScene::MakeTileRects(size_t firstRow, size_t lastRow)
{
    // Each row's runs of marked tiles; a run with the same columns as one of the row above lengthens
    // that rectangle, so a thin line falling through many tile rows is painted as one.
    const LONG width = m_target->GetWidth();
    const LONG height = m_target->GetHeight();
    const int columns = m_tileWords * 64;
    m_tileRects.clear();
    m_openRects.clear();
    for (size_t row = firstRow; row <= lastRow; ++row) {
        uint64_t* marks = &m_tiles[row * static_cast<size_t>(m_tileWords)];
        const LONG top = static_cast<LONG>(row) * m_tileH;
        const LONG bottom = std::min<LONG>(height, top + m_tileH);
        m_nextOpen.clear();
        size_t open = 0;
        for (int start = NextTile(marks, m_tileWords, 0, true); start < columns;) {
            int end = NextTile(marks, m_tileWords, start, false);
            // A narrow gap is marked too: copying its pixels costs less than another piece.
            while (end < columns) {
                const int again = NextTile(marks, m_tileWords, end, true);
                if (again >= columns || (again - end) * m_tileW > kTileGapPixels) {
                    break;
                }
                for (int word = end / 64; word <= (again - 1) / 64; ++word) {
                    marks[word] |= ColumnBits(end, again - 1, word);
                }
                end = NextTile(marks, m_tileWords, again, false);
            }
            const LONG left = start * m_tileW, right = std::min<LONG>(width, end * m_tileW);
            while (open < m_openRects.size() && m_tileRects[m_openRects[open]].left < left) {
                ++open;
            }
            if (open < m_openRects.size() && m_tileRects[m_openRects[open]].left == left &&
                m_tileRects[m_openRects[open]].right == right) {
                m_tileRects[m_openRects[open]].bottom = bottom;
                m_nextOpen.push_back(m_openRects[open++]);
            } else {
                m_nextOpen.push_back(static_cast<uint32_t>(m_tileRects.size()));
                m_tileRects.push_back(RECT{left, top, right, bottom});
            }
            start = end < columns ? NextTile(marks, m_tileWords, end, true) : end;
        }
        m_openRects.swap(m_nextOpen);
    }
}

void CScene::DrawOnTiles(CDrawable* drawable, const RECT& part)
{
    const int cover = TileCover(part);
    if (cover == 2) {
        // All of it lies on repainted tiles (a moved particle always does): one call.
        DrawPlan plan;
        if (drawable->PlanRegion(m_target, part, plan)) {
            drawable->DrawPlannedRows(m_target, plan, part.top, part.bottom);
        } else {
            drawable->DrawRegion(m_target, part);
        }
    } else if (cover == 1) {
        // Only inside the repainted rectangles: the pixels between them were not repainted.
        for (const RECT& rect : m_tileRects) {
            RECT piece;
            if (IntersectRects(&piece, rect, part)) {
                drawable->DrawRegion(m_target, piece);
            }
        }
    }
}

template <class Piece, class Done>
void CScene::ComposeTiles(DrawNode* ownTail, DrawNode* overlayTail, Piece&& piece, Done&& done)
{
    const LONG width = m_target->GetWidth();
    const LONG height = m_target->GetHeight();
    // The marked tiles' bounds: drawables outside them are passed over at a glance.
    const auto words = static_cast<size_t>(m_tileWords);
    uint64_t columns[kMaxTileWords] = {};
    const size_t rows = m_tiles.size() / words;
    size_t firstRow = rows, lastRow = 0;
    for (size_t row = 0; row < rows; ++row) {
        uint64_t any = 0;
        for (size_t word = 0; word < words; ++word) {
            columns[word] |= m_tiles[row * words + word];
            any |= m_tiles[row * words + word];
        }
        if (any != 0) {
            firstRow = std::min(firstRow, row);
            lastRow = row;
        }
    }
    if (firstRow < rows) {
        const int firstColumn = NextTile(columns, m_tileWords, 0, true);
        int endColumn = firstColumn;
        for (int word = m_tileWords - 1; word >= 0; --word) {
            if (columns[word] != 0) {
                endColumn = word * 64 + 64 - std::countl_zero(columns[word]);
                break;
            }
        }
        const RECT bounds{firstColumn * m_tileW, static_cast<LONG>(firstRow) * m_tileH,
                          std::min<LONG>(width, endColumn * m_tileW),
                          std::min<LONG>(height, static_cast<LONG>(lastRow + 1) * m_tileH)};
        // Strips of tile rows small enough to stay in the cache while the background is painted
        // and the drawables are blended over it. Each drawable goes to the strips it reaches, in
        // drawing order.
        const size_t stripRows =
            std::max<size_t>(1, static_cast<size_t>(kTileStripPixels / std::max<LONG>(width, 1) / m_tileH));
        const size_t strips = (lastRow - firstRow) / stripRows + 1;
        m_stripEntries.clear();
        // Sized for every drawable the last redraw walked, shown or not, over all the strips its
        // height can reach: particles that come into view then grow no list.
        if (m_stripEntries.capacity() < m_stripReach) {
            m_stripEntries.reserve(m_stripReach);
        }
        const auto stripPixels = static_cast<int64_t>(stripRows) * m_tileH;
        size_t reach = 0;
        for (DrawNode* tail : {m_hideList ? nullptr : ownTail, m_hideOverlay ? nullptr : overlayTail}) {
            for (DrawNode* node = tail; node; node = node->prev) {
                CDrawable* drawable = node->drawable;
                const RECT* screen = drawable->GetScreenRectPtr();
                const int64_t tall = int64_t{screen->bottom} - screen->top;
                reach += std::min(strips, static_cast<size_t>(std::max<int64_t>(tall - 1, 0) / stripPixels) + 2);
                RECT part;
                if (drawable->IsVisible() && drawable->GetAlpha() != 0 && IntersectRects(&part, *screen, bounds)) {
                    const size_t first = (static_cast<size_t>(part.top / m_tileH) - firstRow) / stripRows;
                    const size_t last = (static_cast<size_t>((part.bottom - 1) / m_tileH) - firstRow) / stripRows;
                    for (size_t strip = first; strip <= last; ++strip) {
                        m_stripEntries.push_back(StripEntry{static_cast<uint32_t>(strip), drawable});
                    }
                }
            }
        }
        m_stripReach = reach;
        m_stripStarts.assign(strips + 1, 0);
        for (const StripEntry& entry : m_stripEntries) {
            ++m_stripStarts[entry.strip + 1];
        }
        for (size_t strip = 1; strip <= strips; ++strip) {
            m_stripStarts[strip] += m_stripStarts[strip - 1];
        }
        m_stripOrder.reserve(m_stripEntries.capacity());
        m_stripOrder.resize(m_stripEntries.size());
        for (const StripEntry& entry : m_stripEntries) {
            m_stripOrder[m_stripStarts[entry.strip]++] = entry.drawable;
        }
        size_t next = 0;
        for (size_t strip = 0; strip < strips; ++strip) {
            const size_t top = firstRow + strip * stripRows;
            const size_t bottom = std::min(lastRow, top + stripRows - 1);
            const size_t end = m_stripStarts[strip];
            MakeTileRects(top, bottom);
            const RECT area{bounds.left, static_cast<LONG>(top) * m_tileH, bounds.right,
                            std::min<LONG>(height, static_cast<LONG>(bottom + 1) * m_tileH)};
            // The background under every rectangle first, then each drawable once in drawing
            // order: each pixel still sees the background and then the drawables over it in order.
            for (size_t i = 0; i < m_tileRects.size(); ++i) {
                if (i + 1 < m_tileRects.size()) {
                    PrefetchBackground(m_tileRects[i + 1]);
                }
                PaintBackground(m_target, m_tileRects[i]);
            }
            for (; next < end; ++next) {
                RECT part;
                if (!m_tileRects.empty() && IntersectRects(&part, *m_stripOrder[next]->GetScreenRectPtr(), area)) {
                    DrawOnTiles(m_stripOrder[next], part);
                }
            }
            for (const RECT& rect : m_tileRects) {
                piece(rect);
                done(rect);
            }
        }
    }
    DropTiles();
}

int CScene::Redraw(CUpdateRegion* outRegion, const RECT* clipRect, LONG dx, LONG dy)
{
    if (m_suspend) {
        return 0;
    }
    if (!m_target) {
        return 1;
    }
    DrawNode* ownTail = nullptr;
    DrawNode* overlayTail = nullptr;
    if (!CollectAnyDirty(&ownTail, &overlayTail)) {
        return -1;
    }
    const RECT handOn = clipRect ? *clipRect : RECT{0, 0, m_target->GetWidth(), m_target->GetHeight()};
    const auto none = [](const RECT&) {};
    ComposeRegion(g_bBandedRedraw && DrawsLists() ? Bands::kCache : Bands::kWhole, ownTail, overlayTail, none, [&](const RECT& rect) {
        RECT out;
        if (outRegion && IntersectRects(&out, MovedRect(rect, dx, dy), handOn)) {
            outRegion->AddRect(out);
        }
    });
    return 0;
}

int CScene::RedrawToDC(HWND window, HDC dc, IDirectDrawSurface7* surface, LONG x, LONG y)
{
    // A target without a device context has nothing to copy from: it used to answer 0.
    if (!m_target || !m_target->GetDc()) {
        return 1;
    }
    DrawNode* ownTail = nullptr;
    DrawNode* overlayTail = nullptr;
    if (!CollectAnyDirty(&ownTail, &overlayTail)) {
        return -1;
    }
    HDC to = nullptr;
    if (window) {
        to = GetDC(window);
    } else if (surface) {
        if (FAILED(surface->GetDC(&to))) {
            to = nullptr;
        }
    } else {
        to = dc;
    }
    if (!to) {
        return 1;
    }
    HDC from = m_target->GetDc();
    // Here the bands always follow the width table, lists or not.
    ComposeRegion(
        g_bBandedRedraw != 0 ? Bands::kTable : Bands::kWhole, ownTail, overlayTail,
        [&](const RECT& band) {
            BitBlt(to, AddClamped(band.left, x), AddClamped(band.top, y), band.right - band.left,
                   band.bottom - band.top, from, band.left, band.top, SRCCOPY);
        },
        [](const RECT&) {});
    if (window) {
        ReleaseDC(window, to);
    } else if (surface && FAILED(surface->ReleaseDC(to))) {
        return 2;
    }
    return 0;
}

int CScene::RedrawToSurface(IDirectDrawSurface7* surface, uint32_t pixelFormat, LONG x, LONG y)
{
    if (!m_target) {
        return 1;
    }
    DrawNode* ownTail = nullptr;
    DrawNode* overlayTail = nullptr;
    if (!CollectAnyDirty(&ownTail, &overlayTail)) {
        return -1;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (!surface || FAILED(surface->Lock(nullptr, &desc, 0, nullptr))) {
        return 1;
    }
    if (m_target->GetBitsPerPixel() == 8 && !m_target->GetPalette() &&
        m_target->CDibSurface::SetPaletteEntries(nullptr, 256, 0) != 0) {
        surface->Unlock(nullptr);
        return 2;
    }
    ComposeRegion(
        g_bBandedRedraw && DrawsLists() ? Bands::kTable : Bands::kWhole, ownTail, overlayTail,
        [&](const RECT& band) {
            // Cut to the locked surface: the conversion used to write past its width and height.
            CopyImageToSurface(nullptr, pixelFormat, nullptr, m_target, AddClamped(band.left, x),
                               AddClamped(band.top, y), &band, &desc);
        },
        [](const RECT&) {});
    surface->Unlock(nullptr);
    return 0;
}

int CScene::RenderToImage(CImage* image, int filter, DWORD tag, bool withOverlay)
{
    if (!image || !image->GetBits()) {
        return 1;
    }
    if (!m_target || image->GetWidth() != m_target->GetWidth() || image->GetHeight() != m_target->GetHeight()) {
        return 2;
    }
    const bool drawOwn = !m_hideList && filter >= 0 && filter <= 2;
    const bool drawOverlay = withOverlay && !m_hideOverlay && m_overlay && filter >= 0 && filter <= 2;
    const auto passes = [&](const CDrawable* d) {
        return d->IsVisible() && d->GetAlpha() != 0 &&
               (filter == 0 || (filter == 1 && d->GetTag() == tag) || (filter == 2 && d->GetTag() != tag));
    };
    const RECT whole{0, 0, image->GetWidth(), image->GetHeight()};
    const bool anyList = (drawOwn && m_list.Head()) || (drawOverlay && m_overlay->Head());
    const LONG rows = g_bBandedRedraw && anyList ? BandHeight(whole.right) : whole.bottom;
    for (LONG top = 0; top < whole.bottom;) {
        const LONG bottom = whole.bottom - top > rows ? top + rows : whole.bottom;
        const RECT band{0, top, whole.right, bottom};
        PaintBackground(image, band);
        for (CDrawList* list : {drawOwn ? &m_list : nullptr, drawOverlay ? m_overlay : nullptr}) {
            for (DrawNode* node = list ? list->Tail() : nullptr; node; node = node->prev) {
                if (passes(node->drawable)) {
                    node->drawable->DrawRegion(image, band);
                }
            }
        }
        top = bottom;
    }
    return 0;
}
