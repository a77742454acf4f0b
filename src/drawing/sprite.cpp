#include "drawing/sprite.h"

#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "raster/blend_mode_ops.h"
#include "raster/compose_ops.h"
#include "raster/image.h"
#include "raster/op_frame.h"
#include "raster/pixel_lib.h"
#include "raster/scale_ops.h"
#include "raster/sprite_rows.h"

#include <algorithm>
#include <new>

namespace {

// The offset of v from origin is inside 0..extent-1 (one unsigned compare, as the hit tests do).
bool InSpan(LONG v, LONG origin, LONG end)
{
    return static_cast<uint64_t>(static_cast<int64_t>(v) - origin) <
           static_cast<uint64_t>(static_cast<int64_t>(end) - origin);
}

// Pixel of an image at (x, y) when it lies inside; false outside.
bool PixelAt(const CImage& image, LONG x, LONG y, DWORD& pixel)
{
    if (x < 0 || y < 0 || x >= image.GetWidth() || y >= image.GetHeight()) {
        return false;
    }
    pixel = static_cast<DWORD>(image.GetPixel(x, y));
    return true;
}

// Byte span [first, last) of a rectangle's rows in a 32-bit picture.
void RowBytes(const CSurface& s, const RECT& r, const BYTE*& first, const BYTE*& last)
{
    const auto at = [&](LONG x, LONG y) { return s.GetBits() + intptr_t(y) * s.GetPitch() + intptr_t(x) * 4; };
    first = std::min(at(r.left, r.top), at(r.right, r.bottom - 1));
    last = std::max(at(r.left, r.top), at(r.right, r.bottom - 1));
}

// Cuts screen and the source rectangle drawn there (same size) to the rectangle clip of the one
// side; false when nothing is left.
bool CutBoth(RECT& screen, RECT& from, const RECT& clip, bool bySource)
{
    const RECT& side = bySource ? from : screen;
    const LONG l = std::max<LONG>(clip.left - side.left, 0), t = std::max<LONG>(clip.top - side.top, 0);
    const LONG r = std::max<LONG>(side.right - clip.right, 0), b = std::max<LONG>(side.bottom - clip.bottom, 0);
    screen = RECT{screen.left + l, screen.top + t, screen.right - r, screen.bottom - b};
    from = RECT{from.left + l, from.top + t, from.right - r, from.bottom - b};
    return screen.left < screen.right && screen.top < screen.bottom;
}

// Fills the plan's pixel pointers where its rows are the pixel library's blend by source alpha
// at full opacity (the same clip, the same pixels): a scene draws a sprite once a band, and the
// library's entry checks cost as much as a small sprite's few rows. The plan's rectangles take the
// library's clip; a plan that needs the library's own path (other depths, a source sharing the
// target's memory) is left as it was.
void PlanBlendBySourceAlpha(const CImage& target, DrawPlan& plan)
{
    const CImage& source = *plan.source;
    if (target.GetBitsPerPixel() != 32 || source.GetBitsPerPixel() != 32 || !target.GetBits() ||
        !source.GetBits()) {
        return;
    }
    RECT screen = plan.screen, from = plan.from;
    if (!CutBoth(screen, from, op_frame::SourceClip(&source), true) ||
        !CutBoth(screen, from, target.ClipRect(), false)) {
        plan.screen = plan.from = RECT{0, 0, 0, 0};
        return;
    }
    const BYTE *d0, *d1, *s0, *s1;
    RowBytes(target, screen, d0, d1);
    RowBytes(source, from, s0, s1);
    if (s0 < d1 && d0 < s1) {
        return;
    }
    plan.screen = screen;
    plan.from = from;
    plan.dstPitch = target.GetPitch();
    plan.srcPitch = source.GetPitch();
    plan.dst = target.GetBits() + intptr_t(screen.top) * plan.dstPitch + intptr_t(screen.left) * 4;
    plan.src = source.GetBits() + intptr_t(from.top) * plan.srcPitch + intptr_t(from.left) * 4;
}

// The keyed 32-bit drawing of the four modes that have one: at alpha 255 and below.
struct KeyedMode {
    BYTE mode;
    int (*opaque)(CImage& dst, const CImage* src, LONG x, LONG y, const RECT* rect);
    int (*faded)(CImage& dst, const CImage* src, BYTE alpha, LONG x, LONG y, const RECT* rect);
};
const KeyedMode kKeyedModes[] = {
    {0, [](CImage& d, const CImage* s, LONG x, LONG y, const RECT* r) { return d.Copy(s, x, y, r, false); },
     [](CImage& d, const CImage* s, BYTE a, LONG x, LONG y, const RECT* r) { return CrossFade(d, s, a, x, y, r); }},
    {2, [](CImage& d, const CImage* s, LONG x, LONG y, const RECT* r) { return d.BlendAlpha(s, x, y, r, false); },
     [](CImage& d, const CImage* s, BYTE a, LONG x, LONG y, const RECT* r) {
         return BlendAlphaTable(d, 0, s, a, x, y, r);
     }},
    {4, [](CImage& d, const CImage* s, LONG x, LONG y, const RECT* r) { return BlendMode(d, 1, s, x, y, r); },
     [](CImage& d, const CImage* s, BYTE a, LONG x, LONG y, const RECT* r) {
         return AddBlendOpacity(d, s, a, x, y, r);
     }},
    {5, [](CImage& d, const CImage* s, LONG x, LONG y, const RECT* r) { return BlendMode(d, 2, s, x, y, r); },
     [](CImage& d, const CImage* s, BYTE a, LONG x, LONG y, const RECT* r) {
         return SubBlendOpacity(d, s, a, x, y, r);
     }},
};

} // namespace

CSprite::CSprite()
{
    Reset();
}

CSprite::~CSprite()
{
    DropWorkImage();
}

void CSprite::Reset()
{
    m_alpha = 255;
    m_blendMode = 0;
    m_image = nullptr;
    m_originX = m_originY = 0;
    m_reqW = m_reqH = 0;
    m_angle = 0;
    m_zoom = 1.0;
    m_rotW = m_rotH = 0;
    DropWorkImage();
}

void CSprite::DropWorkImage()
{
    m_work.reset();
    m_borrowed = 0;
}

void CSprite::UpdateScreenRect()
{
    PlaceScreenRect();
    SetDirty(true);
}

int CSprite::SetImage(CImage* image, const RECT* srcRect, LONG x, LONG y)
{
    if (!image || !image->GetBits()) {
        return 1;
    }
    if (!g_pPixelLib) {
        return 2;
    }
    Reset();
    m_image = image;
    RECT src = image->ClipRect();
    if (srcRect) {
        src = *srcRect;
        if (!image->ClipRectToBounds(&src)) {
            Reset();
            return 3;
        }
    }
    m_src = src;
    if (image->HasAlpha()) {
        m_blendMode = 2;
    }
    m_x = x;
    m_y = y;
    m_screen = RECT{x, y, AddClamped(x, GetWidth()), AddClamped(y, GetHeight())};
    m_pivotX = GetWidth() >> 1;
    m_pivotY = GetHeight() >> 1;
    SetDirty(true);
    return 0;
}

int CSprite::ReplaceImage(CImage* image)
{
    if (!image || !image->GetBits() || !m_image) {
        return 1;
    }
    if (image->GetBitsPerPixel() != m_image->GetBitsPerPixel() || m_borrowed) {
        DropWorkImage();
    }
    m_image = image;
    SetDirty(true);
    return 0;
}

int CSprite::EnsureWork(LONG width, LONG height, int bitsPerPixel)
{
    if (width < 1 || height < 1 || width > kMaxWorkImageSide || height > kMaxWorkImageSide) {
        return 2;
    }
    if (m_work && m_work->GetBitsPerPixel() == bitsPerPixel) {
        if (m_work->Resize(width, height) != 0) {
            return 3;
        }
    } else {
        auto work = std::shared_ptr<CImage>(new (std::nothrow) CImage);
        if (!work || work->Create(width, height, bitsPerPixel, 0) != 0) {
            return 2;
        }
        m_work = std::move(work);
        m_borrowed = 0;
    }
    if (bitsPerPixel == 8) {
        m_work->CopyPalette(m_image);
    }
    return 0;
}

int CSprite::RenderScaled(LONG width, LONG height)
{
    const SIZE size{width, height};
    RECT src = m_src;
    if (m_image->GetBitsPerPixel() == 32) {
        if (!g_pPixelLib || !g_PixelLibFuncs.stretchBlend ||
            g_PixelLibFuncs.stretchBlend(m_work.get(), m_image, &size, 0, 0, &src, 0, m_drawMode, 255, 0) != 0) {
            return 1;
        }
        return 0;
    }
    if ((m_drawMode & 0x0F) == 0) {
        // The nearest stretch would leave keyed pixels out; the work image keeps the key instead.
        const DWORD key = m_image->GetColorKey();
        m_image->SetColorKeyValue(kNoColorKey);
        const int result = m_work->StretchCopy(m_image, &size, 0, 0, &src, false);
        m_image->SetColorKeyValue(key);
        return result == 0 ? 0 : 3;
    }
    return SmoothStretchCopy(*m_work, m_image, &size, 0, 0, &src) == 0 ? 0 : 2;
}

int CSprite::RenderRotateZoom(DWORD key)
{
    if (!g_pPixelLib || !g_PixelLibFuncs.drawQuad) {
        return 1;
    }
    const PixelLibPoint corners[3] = {{m_quad[0].x, m_quad[0].y}, {m_quad[1].x, m_quad[1].y},
                                      {m_quad[2].x, m_quad[2].y}};
    RECT src = m_src;
    RECT changed{};
    return g_PixelLibFuncs.drawQuad(m_work.get(), m_image, corners, &src, 0, m_drawMode, 255, 0, 1,
                                    key == kNoColorKey ? 0 : key, &changed) == 0
               ? 0
               : 1;
}

void CSprite::Rerender()
{
    if (!m_image || m_borrowed || !m_work) {
        return;
    }
    if (m_rotW != 0) {
        ApplyRotateZoom(m_angle, m_zoom);
    } else if (m_reqW != 0 || m_reqH != 0) {
        RenderScaled(m_reqW, m_reqH);
    }
}

int CSprite::SetSourceRect(const RECT* rect)
{
    if (!m_image || m_borrowed) {
        return 1;
    }
    RECT src = m_image->ClipRect();
    if (rect) {
        src = *rect;
        if (!m_image->ClipRectToBounds(&src)) {
            return 2;
        }
    }
    if (SameRect(src, m_src)) {
        return 0;
    }
    m_src = src;
    m_originX = m_originY = 0;
    m_pivotX = GetWidth() >> 1;
    m_pivotY = GetHeight() >> 1;
    if (m_rotW != 0) {
        ApplyRotateZoom(m_angle, m_zoom);
    } else if (m_reqW != 0 || m_reqH != 0) {
        if (EnsureWork(m_reqW, m_reqH, m_image->GetBitsPerPixel()) != 0 || RenderScaled(m_reqW, m_reqH) != 0) {
            return 3;
        }
    }
    UpdateScreenRect();
    return 0;
}

int CSprite::SetSourceOrigin(LONG x, LONG y)
{
    if (!m_image || m_borrowed) {
        return 1;
    }
    if (x == m_originX && y == m_originY) {
        return 0;
    }
    // Not clipped here: every draw and render cuts the rectangle to the image instead.
    const int64_t dx = static_cast<int64_t>(x) - m_originX;
    const int64_t dy = static_cast<int64_t>(y) - m_originY;
    m_src = MovedRect(m_src, dx, dy);
    m_originX = x;
    m_originY = y;
    Rerender();
    SetDirty(true);
    return 0;
}

int CSprite::SetBlendMode(BYTE mode)
{
    if (mode > 31) {
        return 1;
    }
    if (mode != m_blendMode) {
        m_blendMode = mode;
        SetDirty(true);
    }
    return 0;
}

int CSprite::SetAlpha(BYTE alpha)
{
    if (alpha != m_alpha) {
        m_alpha = alpha;
        SetDirty(true);
    }
    return 0;
}

bool CSprite::SetPosition(LONG x, LONG y)
{
    if (x == m_x && y == m_y) {
        return false;
    }
    m_x = x;
    m_y = y;
    UpdateScreenRect();
    return true;
}

bool CSprite::MoveBy(LONG dx, LONG dy)
{
    if (dx == 0 && dy == 0) {
        return false;
    }
    m_x = AddClamped(m_x, dx);
    m_y = AddClamped(m_y, dy);
    UpdateScreenRect();
    return true;
}

bool CSprite::SetDrawMode(BYTE mode)
{
    if (mode == m_drawMode || m_borrowed || (mode & 0x0F) > 3 || (mode >> 4) > 1) {
        return false;
    }
    m_drawMode = mode;
    Rerender();
    SetDirty(true);
    return true;
}

bool CSprite::SetSize(LONG width, LONG height)
{
    if (!m_image || m_borrowed || (width == m_reqW && height == m_reqH)) {
        return false;
    }
    if (width != 0 || height != 0) {
        if (width < 1) {
            width = GetWidth();
        }
        if (height < 1) {
            height = GetHeight();
        }
        if (EnsureWork(width, height, m_image->GetBitsPerPixel()) != 0 || RenderScaled(width, height) != 0) {
            return false;
        }
        m_work->SetColorKeyValue(m_image->GetColorKey());
    }
    m_zoom = 1.0;
    m_angle = 0;
    m_rotW = m_rotH = 0;
    m_reqW = width;
    m_reqH = height;
    UpdateScreenRect();
    return true;
}

bool CSprite::SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    const bool sized = SetSize(width, height);
    const bool moved = SetPosition(x, y);
    return sized || moved;
}

int CSprite::CreateWorkImage(LONG width, LONG height)
{
    if (!m_image || m_borrowed) {
        return 1;
    }
    if (width < 1) {
        width = GetWidth();
    }
    if (height < 1) {
        height = GetHeight();
    }
    const int result = EnsureWork(width, height, m_image->GetBitsPerPixel());
    if (result != 0) {
        return result;
    }
    m_reqW = m_reqH = 0;
    m_angle = 0;
    m_zoom = 1.0;
    m_rotW = m_rotH = 0;
    return 0;
}

int CSprite::CreateRotationWorkImage(double zoom)
{
    if (!m_image || m_borrowed) {
        return 1;
    }
    QuadPoint quad[4];
    int32_t w = 0;
    int32_t h = 0;
    int32_t ox = 0;
    int32_t oy = 0;
    if (!ComputeRotateZoomQuad(quad, 0, 0, 64, zoom, GetWidth(), GetHeight(), m_pivotX, m_pivotY, &w, &h, &ox,
                               &oy)) {
        return 2;
    }
    const int result = EnsureWork(w, h, m_image->GetBitsPerPixel());
    if (result != 0) {
        return result + 1;
    }
    m_reqW = m_reqH = 0;
    m_angle = 0;
    m_zoom = 1.0;
    m_rotW = m_rotH = 0;
    return 0;
}

bool CSprite::SetRotationPivot(int mode, LONG x, LONG y)
{
    if (!m_image || m_borrowed) {
        return false;
    }
    const LONG w = GetWidth();
    const LONG h = GetHeight();
    const struct {
        LONG x, y;
    } kPivots[] = {{0, 0}, {w, 0}, {0, h}, {w, h}, {w / 2, h / 2}};
    const LONG px = mode >= 0 && mode < 5 ? kPivots[mode].x : x;
    const LONG py = mode >= 0 && mode < 5 ? kPivots[mode].y : y;
    if (px == m_pivotX && py == m_pivotY) {
        return false;
    }
    m_pivotX = px;
    m_pivotY = py;
    if (m_rotW != 0) {
        ApplyRotateZoom(m_angle, m_zoom);
    }
    return true;
}

bool CSprite::SetRotateZoom(int angle, double zoom)
{
    if (!m_image || m_image->GetBitsPerPixel() != 32 || m_borrowed) {
        return false;
    }
    if (angle == m_angle && zoom == m_zoom) {
        return false;
    }
    return ApplyRotateZoom(angle, zoom);
}

bool CSprite::ApplyRotateZoom(int angle, double zoom)
{
    if ((angle & 511) == 0 && zoom == 1.0) {
        m_rotW = m_rotH = 0;
    } else {
        QuadPoint quad[4];
        int32_t w = 0;
        int32_t h = 0;
        int32_t ox = 0;
        int32_t oy = 0;
        if (!ComputeRotateZoomQuad(quad, 0, 0, angle, zoom, GetWidth(), GetHeight(), m_pivotX, m_pivotY, &w, &h, &ox,
                                   &oy)) {
            return false;
        }
        if (EnsureWork(w, h, 32) != 0) {
            return false;
        }
        const DWORD key = m_image->GetColorKey();
        m_work->SetColorKeyValue(key);
        for (int i = 0; i < 4; ++i) {
            m_quad[i] = quad[i];
        }
        if (RenderRotateZoom(key) != 0) {
            return false;
        }
        m_rotX = ox;
        m_rotY = oy;
        m_rotW = w;
        m_rotH = h;
    }
    m_angle = angle;
    m_zoom = zoom;
    m_reqW = m_reqH = 0;
    UpdateScreenRect();
    return true;
}

bool CSprite::InvalidateLocalRect(RECT* rect)
{
    if (!rect || !m_image) {
        return false;
    }
    const RECT area{0, 0, m_src.right, m_src.bottom};
    RECT cut;
    if (!IntersectRects(&cut, *rect, area)) {
        return false;
    }
    if (m_rotW != 0 || m_reqW != 0 || m_reqH != 0) {
        *rect = m_screen;
        Rerender();
        SetDirty(true);
        return true;
    }
    const CDrawList* list = GetOwnerList();
    if (!list) {
        return false;
    }
    const int64_t dx = static_cast<int64_t>(m_screen.left) - m_src.left;
    const int64_t dy = static_cast<int64_t>(m_screen.top) - m_src.top;
    *rect = MovedRect(cut, dx, dy);
    // Straight to the scene: a cell animation sends this notice every frame.
    if (CScene* scene = list->GetScene()) {
        scene->InvalidateRect(rect);
    }
    return rect->left < rect->right && rect->top < rect->bottom;
}

bool CSprite::HitTest(LONG x, LONG y, bool exact)
{
    if (!m_image || !m_image->GetBits() || !InSpan(x, m_screen.left, m_screen.right) ||
        !InSpan(y, m_screen.top, m_screen.bottom)) {
        return false;
    }
    if (!exact) {
        return true;
    }
    const bool transformed = m_rotW != 0 || m_reqW != 0 || m_reqH != 0;
    const CImage* image = transformed ? m_work.get() : m_image;
    if (!image) {
        return false;
    }
    const int64_t px = static_cast<int64_t>(x) - m_screen.left + (transformed ? 0 : m_src.left);
    const int64_t py = static_cast<int64_t>(y) - m_screen.top + (transformed ? 0 : m_src.top);
    DWORD pixel = 0;
    if (px != static_cast<LONG>(px) || py != static_cast<LONG>(py) ||
        !PixelAt(*image, static_cast<LONG>(px), static_cast<LONG>(py), pixel)) {
        return false;
    }
    const DWORD key = image->GetColorKey();
    if (key != kNoColorKey) {
        return pixel != key;
    }
    return image->GetBitsPerPixel() != 32 || (pixel >> 24) != 0;
}

bool CSprite::Intersects(CDrawable* other)
{
    if (!m_image || !other) {
        return false;
    }
    RECT o;
    other->GetScreenRect(&o);
    return o.left < m_screen.right && m_screen.left < o.right && o.top < m_screen.bottom && m_screen.top < o.bottom;
}

RECT* CSprite::GetScreenRect(RECT* out) const
{
    if (out) {
        *out = m_screen;
    }
    return out;
}

bool CSprite::DrawSource(const CImage*& source, RECT& rect) const
{
    if (m_rotW != 0) {
        source = m_work.get();
        rect = RECT{0, 0, m_rotW, m_rotH};
    } else if (m_reqW != 0 || m_reqH != 0) {
        source = m_work.get();
        rect = RECT{0, 0, m_reqW, m_reqH};
    } else {
        source = m_image;
        rect = m_src;
    }
    return source != nullptr;
}

bool CSprite::Cut(const CImage* source, RECT& screen, RECT& rect, const RECT* within) const
{
    // Screen and source move together; all in 64 bits so that far positions cannot wrap.
    int64_t sl = screen.left, st = screen.top, sr = screen.right, sb = screen.bottom;
    int64_t rl = rect.left, rt = rect.top, rr = rect.right, rb = rect.bottom;
    const auto cutTo = [&](int64_t l, int64_t t, int64_t r, int64_t b, bool bySource) {
        const int64_t dl = (bySource ? l - rl : l - sl);
        const int64_t dt = (bySource ? t - rt : t - st);
        const int64_t dr = (bySource ? rr - r : sr - r);
        const int64_t db = (bySource ? rb - b : sb - b);
        if (dl > 0) {
            sl += dl;
            rl += dl;
        }
        if (dt > 0) {
            st += dt;
            rt += dt;
        }
        if (dr > 0) {
            sr -= dr;
            rr -= dr;
        }
        if (db > 0) {
            sb -= db;
            rb -= db;
        }
    };
    // A source rectangle outside the picture (a moved origin, a smaller replacement) reads only
    // what lies inside it.
    cutTo(0, 0, source->GetWidth(), source->GetHeight(), true);
    if (within) {
        cutTo(within->left, within->top, within->right, within->bottom, false);
    }
    if (sl >= sr || st >= sb) {
        return false;
    }
    screen = RECT{static_cast<LONG>(sl), static_cast<LONG>(st), static_cast<LONG>(sr), static_cast<LONG>(sb)};
    rect = RECT{static_cast<LONG>(rl), static_cast<LONG>(rt), static_cast<LONG>(rr), static_cast<LONG>(rb)};
    return true;
}

int CSprite::Blit(CImage* target, const CImage* source, const RECT& screen, const RECT& rect) const
{
    const LONG x = screen.left;
    const LONG y = screen.top;
    if (source->GetBitsPerPixel() == 8) {
        return target->Copy(source, x, y, &rect, false) == 0 ? 0 : 3;
    }
    if (source->GetColorKey() == kNoColorKey) {
        if (!g_pPixelLib || !g_PixelLibFuncs.blend ||
            g_PixelLibFuncs.blend(target, source, x, y, &rect, m_blendMode, m_alpha, 0) != 0) {
            return 3;
        }
        if (g_pPixelLibChangedRect) {
            const RECT changed = *g_pPixelLibChangedRect;
            if (changed.left < changed.right && changed.top < changed.bottom) {
                target->MarkChanged(changed);
            }
        }
        return 0;
    }
    for (const KeyedMode& row : kKeyedModes) {
        if (row.mode == m_blendMode) {
            const int result =
                m_alpha == 255 ? row.opaque(*target, source, x, y, &rect) : row.faded(*target, source, m_alpha, x, y, &rect);
            return result == 0 ? 0 : 3;
        }
    }
    return 2;
}

int CSprite::Draw(CImage* target, RECT* outRect)
{
    if (!IsVisible() || m_alpha == 0) {
        return 0;
    }
    if (!target || !m_image) {
        return 1;
    }
    const CImage* source = nullptr;
    RECT rect;
    if (!DrawSource(source, rect)) {
        return 2;
    }
    RECT screen = m_screen;
    const int result = Cut(source, screen, rect, nullptr) ? Blit(target, source, screen, rect) : 0;
    ReportDrawn(target, m_screen, outRect);
    return result;
}

void CSprite::DrawRegion(CImage* target, const RECT& rect)
{
    const CImage* source = nullptr;
    RECT from;
    if (!target || !m_image || !DrawSource(source, from)) {
        return;
    }
    RECT screen = m_screen;
    if (Cut(source, screen, from, &rect)) {
        Blit(target, source, screen, from);
    }
}

bool CSprite::PlanRegion(const CImage* target, const RECT& rect, DrawPlan& plan) const
{
    plan = DrawPlan{};
    const CImage* source = nullptr;
    RECT from;
    if (!target || !m_image || !DrawSource(source, from)) {
        return true;
    }
    RECT screen = m_screen;
    if (Cut(source, screen, from, &rect)) {
        plan = DrawPlan{source, screen, from};
        if (m_blendMode == 2 && m_alpha == 255 && source->GetColorKey() == kNoColorKey && g_pPixelLib &&
            g_PixelLibFuncs.blend) {
            PlanBlendBySourceAlpha(*target, plan);
        }
    }
    return true;
}

void CSprite::DrawPlannedRows(CImage* target, const DrawPlan& plan, LONG top, LONG bottom)
{
    top = std::max(top, plan.screen.top);
    bottom = std::min(bottom, plan.screen.bottom);
    if (!target || !plan.source || top >= bottom || plan.screen.left >= plan.screen.right) {
        return;
    }
    const RECT screen{plan.screen.left, top, plan.screen.right, bottom};
    if (plan.dst) {
        const int width = plan.screen.right - plan.screen.left;
        const intptr_t down = top - plan.screen.top;
        BlendSpriteRows32(plan.dst + down * plan.dstPitch, plan.src + down * plan.srcPitch, plan.dstPitch - width * 4,
                          plan.srcPitch - width * 4, width, bottom - top);
        target->MarkChanged(screen);
        return;
    }
    const LONG sourceTop = plan.from.top + (top - plan.screen.top);
    const RECT from{plan.from.left, sourceTop, plan.from.right, sourceTop + (bottom - top)};
    Blit(target, plan.source, screen, from);
}

void CSprite::CopyDrawingState(const CSprite& other)
{
    m_visible = other.m_visible;
    m_x = other.m_x;
    m_y = other.m_y;
    m_blendMode = other.m_blendMode;
    m_alpha = other.m_alpha;
    m_image = other.m_image;
    m_src = other.m_src;
    m_screen = other.m_screen;
    m_originX = other.m_originX;
    m_originY = other.m_originY;
    m_reqW = other.m_reqW;
    m_reqH = other.m_reqH;
    m_angle = other.m_angle;
    m_zoom = other.m_zoom;
    m_pivotX = other.m_pivotX;
    m_pivotY = other.m_pivotY;
    m_rotX = other.m_rotX;
    m_rotY = other.m_rotY;
    m_rotW = other.m_rotW;
    m_rotH = other.m_rotH;
    m_drawMode = other.m_drawMode;
    for (int i = 0; i < 4; ++i) {
        m_quad[i] = other.m_quad[i];
    }
}

int CSprite::CopyFrom(const CSprite* other)
{
    if (!other || !other->m_image) {
        return 1;
    }
    DetachFromList();
    DropWorkImage();
    SetTag(other->GetTag());
    CopyDrawingState(*other);
    if (other->m_work) {
        if (m_reqW == GetWidth() && m_reqH == GetHeight()) {
            m_reqW = m_reqH = 0;
        }
        if (m_rotW != 0 || m_reqW != 0 || m_reqH != 0) {
            auto work = std::shared_ptr<CImage>(new (std::nothrow) CImage);
            if (work && work->CopyFrom(other->m_work.get(), 0) == 0) {
                m_work = std::move(work);
            }
        }
        UpdateScreenRect();
    }
    m_dirty = 0;
    return 0;
}

int CSprite::ShareFrom(const CSprite* other)
{
    if (!other) {
        return 1;
    }
    DropWorkImage();
    CopyDrawingState(*other);
    // Shared by count: the owner may now go first without leaving this sprite on freed memory.
    m_work = other->m_work;
    m_borrowed = m_work ? 1 : 0;
    SetDirty(true);
    return 0;
}

bool CSprite::RedrawWorkImage(bool clearChanges)
{
    if (!m_image || !GetOwnerList() || !m_image->GetUpdateRegion()) {
        return false;
    }
    CUpdateRegion* changes = m_image->GetUpdateRegion();
    if (m_rotW != 0 || m_reqW != 0 || m_reqH != 0) {
        Rerender();
        SetDirty(true);
    } else if (RectNode* head = changes->Head()) {
        const int64_t dx = static_cast<int64_t>(m_screen.left) - m_src.left;
        const int64_t dy = static_cast<int64_t>(m_screen.top) - m_src.top;
        RectNode* node = head;
        do {
            RECT cut;
            if (IntersectRects(&cut, node->rect, m_src)) {
                RECT moved = MovedRect(cut, dx, dy);
                GetOwnerList()->InvalidateRect(&moved);
            }
            node = node->next;
        } while (node && node != head);
    }
    if (clearChanges) {
        changes->Reset();
        m_image->SetChanged(false);
    }
    return true;
}
