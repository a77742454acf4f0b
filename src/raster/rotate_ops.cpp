// Quadrilateral mapping, rotation and zoom (see rotate_ops.h).
#include "raster/rotate_ops.h"

#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "raster/blend_tables.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib_handoff.h"
#include "raster/quad_kernels.h"
#include "raster/row_kernels.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

// The clip rectangle of a call: the image's own, narrowed by a given one.
bool CallClip(const CImage& dst, const RECT* clip, RECT& out)
{
    out = dst.ClipRect();
    if (clip) {
        RECT c = *clip;
        if (!dst.ClipRectToBounds(&c)) {
            return false;
        }
        out = c;
    }
    return out.left < out.right && out.top < out.bottom;
}

using op_frame::SourceClip;

// srcRect (null: the source's clip rectangle) cut to the source's clip rectangle; false when empty.
bool SourceRect(const CSurface* src, const RECT* srcRect, RECT& out)
{
    const RECT clip = SourceClip(src);
    out = srcRect ? *srcRect : clip;
    out.left = std::max(out.left, clip.left);
    out.top = std::max(out.top, clip.top);
    out.right = std::min(out.right, clip.right);
    out.bottom = std::min(out.bottom, clip.bottom);
    return out.left < out.right && out.top < out.bottom;
}

void MarkQuadBox(CImage& dst, const POINT* dq, const RECT& c);

int Map(CImage& dst, const CSurface* src, const POINT* dq, const POINT* sq, const RECT* clip, int edgeFlag,
        bool blend, BYTE level)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    RECT c;
    if (!CallClip(dst, clip, c)) {
        return 0;
    }
    const QuadTarget target{dst.GetBits(), dst.GetPitch(), c};
    const QuadSource source{src->GetBits(), src->GetPitch(), SourceClip(src)};
    const DWORD key = src->GetColorKey();
    if (blend) {
        (g_bUseMmx ? MapQuadBlendRows32Mmx : MapQuadBlendRows32)(target, source, dq, sq, edgeFlag,
                                                                 g_MulTable[level]);
    } else if (key != kNoColorKey) {
        MapQuadKeyRows32(target, source, dq, sq, edgeFlag, key);
    } else {
        MapQuadRows32(target, source, dq, sq, edgeFlag);
    }
    MarkQuadBox(dst, dq, c);
    return 0;
}

// Records the bounding box of the destination points, cut to the call's clip rectangle c.
void MarkQuadBox(CImage& dst, const POINT* dq, const RECT& c)
{
    RECT box{dq[0].x, dq[0].y, dq[0].x, dq[0].y};
    for (int i = 1; i < 4; ++i) {
        box.left = std::min(box.left, dq[i].x);
        box.top = std::min(box.top, dq[i].y);
        box.right = std::max(box.right, dq[i].x);
        box.bottom = std::max(box.bottom, dq[i].y);
    }
    // Cut to the call's clip rectangle: nothing outside it can have changed.
    box.left = std::max(box.left, c.left);
    box.top = std::max(box.top, c.top);
    box.right = std::min(box.right, c.right);
    box.bottom = std::min(box.bottom, c.bottom);
    if (box.left < box.right && box.top < box.bottom) {
        dst.MarkChanged(box);
    }
}

// The pivot's offset within the zoomed W x H picture by the anchor.
void AnchorOffset(BYTE anchor, int64_t W, int64_t H, int64_t& px, int64_t& py)
{
    px = anchor == 1 || anchor == 3 ? W : anchor == 4 ? W >> 1 : 0;
    py = anchor == 2 || anchor == 3 ? H : anchor == 4 ? H >> 1 : 0;
    // 0, and anchors beyond the defined ones, pivot at (x, y).
}

// The first three corners of RotateZoomCorners in doubles, handed to the library. A clip
// rectangle narrower than the image's own is the image's clip for the call.
int LibraryRotate(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom,
                  const RECT* srcRect, const RECT* clip, bool blend, BYTE level)
{
    if (!g_pCosTable->BuildDoubleTable()) {
        return 2;
    }
    RECT sr;
    if (!SourceRect(src, srcRect, sr)) {
        return 0;
    }
    const double* cosines = g_pCosTable->DoubleTable();
    const int64_t W = (int64_t(sr.right) - sr.left) * zoom >> 16;
    const int64_t H = (int64_t(sr.bottom) - sr.top) * zoom >> 16;
    int64_t px, py;
    AnchorOffset(anchor, W, H, px, py);
    const double Px = double(x) + double(px), Py = double(y) + double(py);
    const int32_t a = int32_t((0u - uint32_t(angle)) & 0x1FF);
    const double c = cosines[a], s = cosines[(a - 128) & 0x1FF];
    const double xs[3] = {double(x), double(x) + double(W), double(x)};
    const double ys[3] = {double(y), double(y), double(y) + double(H)};
    PixelLibPoint corners[3];
    for (int i = 0; i < 3; ++i) {
        const double dx = xs[i] - Px, dy = ys[i] - Py;
        corners[i] = PixelLibPoint{c * dx - s * dy + Px, c * dy + s * dx + Py};
    }
    RECT saved;
    dst.GetClipRect(&saved);
    if (clip) {
        RECT c2 = *clip;
        if (!dst.ClipRectToBounds(&c2) || c2.left >= c2.right || c2.top >= c2.bottom) {
            return 0;
        }
        dst.ClipRectToSize(&c2);
    }
    const int r = g_PixelLibFuncs.drawQuad(&dst, src, corners, &sr, blend ? 2 : 0, 0, blend ? level : 255, 0,
                                           0, 0, nullptr);
    if (clip) {
        dst.ClipRectToSize(&saved);
    }
    return pixel_lib::Finish(dst, r, 2);
}

int Rotate(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom,
           const RECT* srcRect, const RECT* clip, bool blend, BYTE level)
{
    if (!g_pCosTable) {
        return 1;
    }
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    // Unkeyed rotations (blended ones always) go to the library's parallelogram drawing.
    if (pixel_lib::Loaded() && (blend || src->GetColorKey() == kNoColorKey)) {
        return LibraryRotate(dst, src, anchor, x, y, angle, zoom, srcRect, clip, blend, level);
    }
    RECT s;
    if (!SourceRect(src, srcRect, s)) {
        return 0;
    }
    POINT corners[4];
    if (!RotateZoomCorners(anchor, x, y, angle, zoom, s.right - s.left, s.bottom - s.top, corners)) {
        return 0;
    }
    POINT sq[4];
    RectQuad(s, sq);
    return Map(dst, src, corners, sq, clip, 0, blend, level);
}

} // namespace

void RectQuad(const RECT& r, POINT* quad)
{
    // Right and bottom are exclusive; an edge at the 32-bit minimum wraps rather than overflows.
    const LONG right = LONG(uint32_t(r.right) - 1u), bottom = LONG(uint32_t(r.bottom) - 1u);
    quad[0] = POINT{r.left, r.top};
    quad[1] = POINT{right, r.top};
    quad[2] = POINT{r.left, bottom};
    quad[3] = POINT{right, bottom};
}

int MapQuad(CImage& dst, const CSurface* src, const POINT* dstQuad, const RECT* srcRect, const RECT* clip)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    RECT s;
    if (!dstQuad || !SourceRect(src, srcRect, s)) {
        return 0;
    }
    POINT sq[4];
    RectQuad(s, sq);
    return MapQuadCore(dst, src, dstQuad, sq, clip, 0);
}

int MapQuadOnColour(CImage& dst, const CSurface* src, const POINT* dstQuad, const RECT* srcRect, const RECT* clip,
                    const RECT& fill, DWORD colour)
{
    RECT area = fill;
    const bool filling = dst.GetBits() && dst.GetBitsPerPixel() == 32 && dst.ClipRectToBounds(&area) &&
                         area.left < area.right && area.top < area.bottom;
    RECT s, c;
    if (filling && op_frame::CheckPair32(dst, src) == 0 && dstQuad && SourceRect(src, srcRect, s) &&
        src->GetColorKey() == kNoColorKey && CallClip(dst, clip, c)) {
        POINT sq[4];
        RectQuad(s, sq);
        const QuadTarget target{dst.GetBits(), dst.GetPitch(), c};
        const QuadSource source{src->GetBits(), src->GetPitch(), SourceClip(src)};
        MapQuadOnColourRows32(target, source, dstQuad, sq, 0, area, colour);
        MarkQuadBox(dst, dstQuad, c);
        return 0;
    }
    if (filling) {
        FillRows32(dst.GetBits() + intptr_t(area.top) * dst.GetPitch() + intptr_t(area.left) * 4,
                   dst.GetPitch() - 4 * (area.right - area.left), area.right - area.left, area.bottom - area.top,
                   colour);
    }
    return MapQuad(dst, src, dstQuad, srcRect, clip);
}

int MapQuadToRect(CImage& dst, const CSurface* src, const POINT* srcQuad, const RECT* dstRect, const RECT* clip)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    if (!srcQuad) {
        return 0;
    }
    // An empty or inverted destination rectangle has nothing to map onto.
    const RECT to = dstRect ? *dstRect : dst.ClipRect();
    if (to.left >= to.right || to.top >= to.bottom) {
        return 0;
    }
    POINT dq[4];
    RectQuad(to, dq);
    return MapQuadCore(dst, src, dq, srcQuad, clip, 1);
}

int MapQuadCore(CImage& dst, const CSurface* src, const POINT* dstQuad, const POINT* srcQuad, const RECT* clip,
                int edgeFlag)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    return dstQuad && srcQuad ? Map(dst, src, dstQuad, srcQuad, clip, edgeFlag, false, 0) : 0;
}

int MapQuadBlend(CImage& dst, const CSurface* src, const POINT* dstQuad, const POINT* srcQuad, BYTE level,
                 const RECT* clip, int edgeFlag)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    return dstQuad && srcQuad ? Map(dst, src, dstQuad, srcQuad, clip, edgeFlag, true, level) : 0;
}

bool RotateZoomCorners(BYTE anchor, LONG x, LONG y, int angle, int zoom, LONG width, LONG height, POINT* corners)
{
    if (!g_pCosTable || zoom == 0) {
        return false;
    }
    using i128 = __int128;
    const int64_t W = (int64_t(width) * zoom) >> 16;
    const int64_t H = (int64_t(height) * zoom) >> 16;
    int64_t px, py;
    AnchorOffset(anchor, W, H, px, py);
    const int64_t Px = int64_t(x) + px, Py = int64_t(y) + py;
    // -angle taken modulo 512 without overflowing for any angle.
    const int32_t a = int32_t((0u - uint32_t(angle)) & 0x1FF);
    const int64_t c = g_pCosTable->Cos(a);
    const int64_t s = g_pCosTable->Cos(a - 128);
    const int64_t xs[4] = {x, x + W, x, x + W};
    const int64_t ys[4] = {y, y, y + H, y + H};
    for (int i = 0; i < 4; ++i) {
        const i128 dx = xs[i] - Px, dy = ys[i] - Py;
        const i128 X = ((c * dx - s * dy) >> 16) + Px;
        const i128 Y = ((c * dy + s * dx) >> 16) + Py;
        if (X < INT32_MIN || X > INT32_MAX || Y < INT32_MIN || Y > INT32_MAX) {
            return false;
        }
        corners[i] = POINT{LONG(X), LONG(Y)};
    }
    return true;
}

int RotateZoom(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom,
               const RECT* srcRect, const RECT* clip)
{
    return Rotate(dst, src, anchor, x, y, angle, zoom, srcRect, clip, false, 0);
}

int RotateZoomBlend(CImage& dst, const CSurface* src, BYTE anchor, LONG x, LONG y, int angle, int zoom, BYTE level,
                    const RECT* srcRect, const RECT* clip)
{
    return Rotate(dst, src, anchor, x, y, angle, zoom, srcRect, clip, true, level);
}

bool ParallelogramQuad(const double (*corners)[2], POINT* quad)
{
    int64_t px[4], py[4];
    for (int i = 0; i < 3; ++i) {
        const double fx = std::floor(corners[i][0] + 0.5), fy = std::floor(corners[i][1] + 0.5);
        if (!(std::fabs(fx) < 2147483647.0 && std::fabs(fy) < 2147483647.0)) {
            return false;
        }
        px[i] = int64_t(fx);
        py[i] = int64_t(fy);
    }
    px[3] = px[1] + px[2] - px[0];
    py[3] = py[1] + py[2] - py[0];
    if (px[3] < INT32_MIN || px[3] > INT32_MAX || py[3] < INT32_MIN || py[3] > INT32_MAX) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        quad[i] = POINT{LONG(px[i]), LONG(py[i])};
    }
    return true;
}

namespace {

// The texels are sampled straight into the destination; the background goes into the area's
// pixels each row leaves undrawn.
// The spans come in the rows' order; the rows they skip are copied whole as they are passed.
class PictureOutside : public QuadSpanSink {
public:
    PictureOutside(CImage& dst, const RECT& area, const CSurface* background, LONG bx, LONG by)
        : m_dst(dst), m_area(area), m_background(background), m_bx(bx), m_by(by), m_next(area.top)
    {
    }
    void Cover(int y, int, int) override
    {
        FinishRowsBefore(y);
        m_pending = y;
        m_next = std::max<LONG>(m_next, y + 1);
    }
    void Texels(BYTE*, const uint32_t*, int) override {}
    bool Copies() const override { return true; }
    void Direct(BYTE* p, int count) override
    {
        const LONG x = LONG((p - m_dst.GetBits() - intptr_t(m_pending) * m_dst.GetPitch()) / 4);
        Copy(m_pending, m_area.left, x);
        Copy(m_pending, x + count, m_area.right);
        m_pending = kNone;
    }
    void Finish() { FinishRowsBefore(m_area.bottom); }

private:
    static constexpr LONG kNone = INT32_MIN;
    void FinishRowsBefore(LONG end)
    {
        if (m_pending != kNone) {
            Copy(m_pending, m_area.left, m_area.right);
            m_pending = kNone;
        }
        for (; m_next < std::min(end, m_area.bottom); ++m_next) {
            Copy(m_next, m_area.left, m_area.right);
        }
    }
    // Row y's pixels [x0, x1) cut to the area.
    void Copy(LONG y, LONG x0, LONG x1) const
    {
        x0 = std::max(x0, m_area.left);
        x1 = std::min(x1, m_area.right);
        if (y < m_area.top || y >= m_area.bottom || x0 >= x1) {
            return;
        }
        const BYTE* from = m_background->GetBits() + intptr_t(m_by + (y - m_area.top)) * m_background->GetPitch() +
                           intptr_t(m_bx + (x0 - m_area.left)) * 4;
        std::memcpy(m_dst.GetBits() + intptr_t(y) * m_dst.GetPitch() + intptr_t(x0) * 4, from, size_t(x1 - x0) * 4);
    }

    CImage& m_dst;
    RECT m_area;
    const CSurface* m_background;
    LONG m_bx, m_by;
    LONG m_next;
    LONG m_pending = kNone;
};

} // namespace

int DrawParallelogramOnPicture(CImage& dst, const CSurface* src, const double (*corners)[2], const RECT& srcRect,
                               const RECT& area, const CSurface* background, LONG bx, LONG by)
{
    if (int r = op_frame::CheckPair32(dst, src)) {
        return r;
    }
    if (int r = op_frame::CheckPair32(dst, background)) {
        return r;
    }
    const RECT clip = dst.ClipRect();
    if (area.left >= area.right || area.top >= area.bottom) {
        return 0;
    }
    RECT sr = srcRect;
    const RECT sc = SourceClip(src);
    sr.left = std::max(sr.left, sc.left);
    sr.top = std::max(sr.top, sc.top);
    sr.right = std::min(sr.right, sc.right);
    sr.bottom = std::min(sr.bottom, sc.bottom);
    POINT dq[4];
    PictureOutside sink(dst, area, background, bx, by);
    if (sr.left < sr.right && sr.top < sr.bottom && !(clip.left >= clip.right || clip.top >= clip.bottom) &&
        ParallelogramQuad(corners, dq)) {
        POINT sq[4];
        RectQuad(sr, sq);
        MapQuadGatherRows32(QuadTarget{dst.GetBits(), dst.GetPitch(), clip},
                            QuadSource{src->GetBits(), src->GetPitch(), sc}, dq, sq, 0, true, g_bUseMmx != 0, sink);
        MarkQuadBox(dst, dq, clip);
    }
    sink.Finish();
    dst.MarkChanged(area);
    return 0;
}
