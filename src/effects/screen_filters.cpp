#include "effects/screen_filters.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "display/image_object.h"
#include "effects/effect_random.h"
#include "platform/cos_table.h"
#include "platform/cpu_info.h"
#include "platform/decimal_text.h"
#include "raster/blur_ops.h"
#include "raster/color_kernels.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "raster/rotate_ops.h"

namespace {

// Draws picture (its area-sized rectangle at (px, py)) stretched to w × h at (x, y) of the area.
bool StretchInto(const FilterArea& a, const CImage* picture, LONG px, LONG py, int64_t x, int64_t y, int64_t w,
                 int64_t h, uint8_t filter, DWORD opacity)
{
    if (w <= 0 || h <= 0)
        return true;
    const SIZE size{static_cast<LONG>(w), static_cast<LONG>(h)};
    const RECT from{px, py, px + a.width, py + a.height};
    return PixelLibStretchCopy(*a.dst, picture, 0, filter, opacity, 0, &size, static_cast<LONG>(a.dx + x),
                               static_cast<LONG>(a.dy + y), &from) == 0;
}

bool FillBlack(const FilterArea& a)
{
    const RECT rect{a.dx, a.dy, a.dx + a.width, a.dy + a.height};
    return a.width == 0 || a.height == 0 || a.dst->FillRect32(0, &rect);
}

} // namespace

// --- quake ---

CPluginFilter* CQuakeFilter::Create(DWORD)
{
    return new (std::nothrow) CQuakeFilter;
}

int CQuakeFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (g_pQuakeFilterRandom == nullptr)
        return 5;
    if (canvas == nullptr || args.GetCount() == 0)
        return 1;
    if (canvas->GetBitsPerPixel() != 32)
        return 2;
    m_motion = QuakeMotion{};
    m_motion.duration = static_cast<uint32_t>(args.IntAt(3));
    SetQuakeCycle(m_motion, args.IntAt(0), m_motion.duration);
    m_motion.amplitudeX = args.IntAt(1);
    m_motion.amplitudeY = args.IntAt(2);
    double endFactor = 0.0;
    if (!args.GetDouble(4, &endFactor))
        endFactor = ReadDecimalText(args.TextAt(4), 0.0);
    m_motion.endFactor = std::isfinite(endFactor) ? endFactor : 0.0;
    m_clearBorder = args.IntAt(5) != 0;
    if (m_clearBorder && (g_pPixelLib == nullptr || g_PixelLibFuncs.fill32 == nullptr))
        return 5;
    m_dx = m_dy = 0;
    m_state = 0;
    return 0;
}

int CQuakeFilter::Step(DWORD now)
{
    if (g_pQuakeFilterRandom == nullptr)
        return 5;
    if (m_state == 2)
        return 0;
    if (StepQuakeMotion(m_motion, now, g_pQuakeFilterRandom, &m_dx, &m_dy) != 0) {
        m_dx = m_dy = 0;
        m_state = 2;
    } else {
        m_state = 1;
    }
    return 0;
}

int CQuakeFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    // Canvas point p shows old pixel p + offset; the covered columns and rows of the area:
    const int64_t w = a.first->GetWidth(), h = a.first->GetHeight();
    const int64_t shiftX = int64_t{a.sx} - a.x, shiftY = int64_t{a.sy} - a.y;
    const int64_t left = std::max<int64_t>(a.x, -shiftX - m_dx);
    const int64_t right = std::min<int64_t>(int64_t{a.x} + a.width, w - shiftX - m_dx);
    const int64_t top = std::max<int64_t>(a.y, -shiftY - m_dy);
    const int64_t bottom = std::min<int64_t>(int64_t{a.y} + a.height, h - shiftY - m_dy);
    const bool covered = left < right && top < bottom;
    if (m_clearBorder) {
        if (g_PixelLibFuncs.fill32 == nullptr)
            return 5;
        const int64_t areaRight = int64_t{a.x} + a.width, areaBottom = int64_t{a.y} + a.height;
        const int64_t cl = covered ? left : areaRight, cr = covered ? right : areaRight;
        const int64_t ct = covered ? top : areaBottom, cb = covered ? bottom : areaBottom;
        const int64_t strips[4][4] = {{a.x, a.y, areaRight, ct},
                                      {a.x, cb, areaRight, areaBottom},
                                      {a.x, ct, cl, cb},
                                      {cr, ct, areaRight, cb}};
        for (const auto& s : strips) {
            if (s[0] >= s[2] || s[1] >= s[3])
                continue;
            const RECT rect{static_cast<LONG>(a.dx + (s[0] - a.x)), static_cast<LONG>(a.dy + (s[1] - a.y)),
                            static_cast<LONG>(a.dx + (s[2] - a.x)), static_cast<LONG>(a.dy + (s[3] - a.y))};
            if (!g_PixelLibFuncs.fill32(a.dst, 0, &rect))
                return 5;
        }
    }
    if (!covered)
        return 0;
    const RECT from{static_cast<LONG>(left + shiftX + m_dx), static_cast<LONG>(top + shiftY + m_dy),
                    static_cast<LONG>(right + shiftX + m_dx), static_cast<LONG>(bottom + shiftY + m_dy)};
    return a.dst->Copy(a.first, static_cast<LONG>(a.dx + (left - a.x)), static_cast<LONG>(a.dy + (top - a.y)), &from,
                       false) == 0
               ? 0
               : 5;
}

// --- zoomflip ---

CPluginFilter* CZoomFlipFilter::Create(DWORD)
{
    return new (std::nothrow) CZoomFlipFilter;
}

int CZoomFlipFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    if (g_pPixelLib == nullptr || g_PixelLibFuncs.stretchBlend == nullptr)
        return 5;
    const uint8_t mode = static_cast<uint8_t>(args.IntAt(1));
    m_mode = mode > 6 ? 4 : mode;
    m_filter = static_cast<uint8_t>(args.IntAt(2));
    switch (m_mode) {
    case 0:
    case 2:
        m_end = static_cast<uint32_t>(m_width);
        break;
    case 1:
    case 3:
        m_end = static_cast<uint32_t>(m_height);
        break;
    case 6:
        m_end = 256;
        break;
    default:
        m_end = 512;
        break;
    }
    m_progress = 0;
    m_lastDrawn = -1;
    m_pictures = 0;
    return 0;
}

int CZoomFlipFilter::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : ScaleProgress(e, m_end, m_duration);
    return 0;
}

int CZoomFlipFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    const int64_t W = a.width, H = a.height, q = m_progress;
    bool ok = true;
    switch (m_mode) {
    case 0:
        ok = StretchInto(a, a.second, a.tx, a.ty, 0, 0, std::min(q, W), H, m_filter, 255) &&
             StretchInto(a, a.first, a.sx, a.sy, q, 0, W - q, H, m_filter, 255);
        break;
    case 2:
        ok = StretchInto(a, a.first, a.sx, a.sy, 0, 0, W - q, H, m_filter, 255) &&
             StretchInto(a, a.second, a.tx, a.ty, W - std::min(q, W), 0, std::min(q, W), H, m_filter, 255);
        break;
    case 1:
        ok = StretchInto(a, a.second, a.tx, a.ty, 0, 0, W, std::min(q, H), m_filter, 255) &&
             StretchInto(a, a.first, a.sx, a.sy, 0, q, W, H - q, m_filter, 255);
        break;
    case 3:
        ok = StretchInto(a, a.first, a.sx, a.sy, 0, 0, W, H - q, m_filter, 255) &&
             StretchInto(a, a.second, a.tx, a.ty, 0, H - std::min(q, H), W, std::min(q, H), m_filter, 255);
        break;
    case 6:
        if (q >= 255) {
            ok = CopyArea(a, a.second, a.tx, a.ty);
        } else {
            const int64_t w = W * q / 256, h = H * q / 256;
            ok = CopyArea(a, a.first, a.sx, a.sy) &&
                 StretchInto(a, a.second, a.tx, a.ty, (W - w) / 2, (H - h) / 2, w, h, m_filter, static_cast<DWORD>(q));
        }
        break;
    default: {
        if (m_mode == 5) {
            if (q == m_lastDrawn)
                return 0;
            m_lastDrawn = q;
            ++m_pictures;
        }
        const bool old = q <= 256;
        const int64_t scale = old ? std::max<int64_t>(1, 256 - q) : q - 256;
        const int64_t w = W * scale / 256, h = H * scale / 256;
        const DWORD opacity = m_mode == 5 && m_pictures > 1 && scale != 256 ? 8 : 255;
        // Mode 4 shows the picture on black; mode 5 keeps the earlier pictures as trails.
        if (m_mode == 4 && scale != 256)
            ok = FillBlack(a);
        ok = ok && StretchInto(a, old ? a.first : a.second, old ? a.sx : a.tx, old ? a.sy : a.ty, (W - w) / 2,
                               (H - h) / 2, w, h, m_filter, opacity);
        break;
    }
    }
    return ok ? 0 : 5;
}

// --- rotcenter ---

namespace {

// Whether two pictures' pixels share memory.
bool SharePixels(const CImage* a, const CImage* b)
{
    const auto span = [](const CImage* image, const BYTE** low, const BYTE** high) {
        const BYTE* first = image->GetRowAddress(0);
        const BYTE* last = image->GetRowAddress(image->GetHeight() - 1);
        *low = std::min(first, last);
        *high = std::max(first, last) + intptr_t(image->GetWidth()) * 4;
    };
    const BYTE *aLow, *aHigh, *bLow, *bHigh;
    span(a, &aLow, &aHigh);
    span(b, &bLow, &bHigh);
    return aLow < bHigh && bLow < aHigh;
}

} // namespace

CPluginFilter* CRotCenterFilter::Create(DWORD)
{
    return new (std::nothrow) CRotCenterFilter;
}

int CRotCenterFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    if (g_pCosTable == nullptr || !g_pCosTable->BuildDoubleTable() || g_pPixelLib == nullptr ||
        g_PixelLibFuncs.drawQuad == nullptr)
        return 5;
    m_mode = static_cast<uint8_t>(args.IntAt(1));
    m_filter = static_cast<uint8_t>(args.IntAt(2));
    m_progress = 0;
    m_lastDrawn = -1;
    m_pictures = 0;
    return 0;
}

int CRotCenterFilter::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : ScaleProgress(e, 512, m_duration);
    return 0;
}

int CRotCenterFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    if (g_pCosTable == nullptr || g_pCosTable->DoubleTable() == nullptr)
        return 5;
    const uint32_t q = m_progress;
    bool trail = false;
    if (m_mode == 2) {
        if (q == m_lastDrawn)
            return 0;
        m_lastDrawn = q;
        trail = ++m_pictures > 1 && q < 512;
    }
    const bool outward = m_mode == 1;
    const uint32_t angle = outward ? 512 - q : q;
    const CImage* background = outward ? a.second : a.first;
    const CImage* picture = outward ? a.first : a.second;
    const LONG bx = outward ? a.tx : a.sx, by = outward ? a.ty : a.sy;
    const LONG px = outward ? a.sx : a.tx, py = outward ? a.sy : a.ty;
    const int64_t w = (int64_t{a.width} * angle) >> 9, h = (int64_t{a.height} * angle) >> 9;
    // The smoothed picture over a fresh background: the background goes only where the picture
    // leaves the area (a plain copy of the area first cost as much as drawing the picture).
    const RECT area{a.dx, a.dy, a.dx + a.width, a.dy + a.height};
    const RECT clip = a.dst->ClipRect();
    const bool onPicture = !trail && (m_filter & 0xF) != 0 && w >= 2 && h >= 2 && area.left >= clip.left &&
                           area.top >= clip.top && area.right <= clip.right && area.bottom <= clip.bottom &&
                           !SharePixels(a.dst, picture) && !SharePixels(a.dst, background);
    if (!trail && !onPicture && !CopyArea(a, background, bx, by))
        return 5;
    if (w < 2 || h < 2)
        return 0;
    const double c = g_pCosTable->DoubleTable()[angle & 511];
    const double s = g_pCosTable->DoubleTable()[(angle - 128) & 511];
    const double cx = a.dx + a.width / 2.0, cy = a.dy + a.height / 2.0;
    const double hw = w / 2.0, hh = h / 2.0;
    const double local[3][2] = {{-hw, -hh}, {hw, -hh}, {-hw, hh}};
    PixelLibPoint corners[3];
    for (int i = 0; i < 3; ++i)
        corners[i] = {cx + local[i][0] * c - local[i][1] * s, cy + local[i][0] * s + local[i][1] * c};
    const RECT from{px, py, px + a.width, py + a.height};
    if (onPicture) {
        double points[3][2];
        for (int i = 0; i < 3; ++i)
            points[i][0] = corners[i].x, points[i][1] = corners[i].y;
        return DrawParallelogramOnPicture(*a.dst, picture, points, from, area, background, bx, by) == 0 ? 0 : 5;
    }
    RECT changed{};
    return PixelLibOp11(*a.dst, picture, corners, &from, 0, m_filter, trail ? 16 : 255, 0, 0, 0, &changed) == 0 ? 0
                                                                                                                 : 5;
}

// --- addsub ---

CPluginFilter* CAddSubFilter::Create(DWORD)
{
    return new (std::nothrow) CAddSubFilter;
}

int CAddSubFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    m_mode = static_cast<uint8_t>(args.IntAt(1) & 3);
    m_progress = 0;
    return 0;
}

int CAddSubFilter::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : static_cast<uint8_t>(ScaleProgress(e, 255, m_duration));
    return 0;
}

int CAddSubFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    if (m_progress == 255)
        return CopyArea(a, a.second, a.tx, a.ty) ? 0 : 5;
    const bool arrive = (m_mode & 1) != 0;
    const DWORD amount = arrive ? 255u - m_progress : m_progress;
    if (!(arrive ? CopyArea(a, a.second, a.tx, a.ty) : CopyArea(a, a.first, a.sx, a.sy)))
        return 5;
    if (amount == 0 || a.width == 0 || a.height == 0)
        return 0;
    BYTE* first = a.dst->GetRowAddress(a.dy) + LONG{a.dx} * 4;
    const int skip = static_cast<int>(a.dst->GetPitch() - a.width * 4);
    const DWORD grey = amount * 0x010101u;
    const bool subtract = (m_mode & 2) != 0;
    if (subtract)
        (g_bUseMmx ? SubColorRows32Mmx : SubColorRows32)(first, skip, a.width, a.height, grey);
    else
        (g_bUseMmx ? AddColorRows32Mmx : AddColorRows32)(first, skip, a.width, a.height, grey);
    return 0;
}

// --- hblur ---

CPluginFilter* CHBlurFilter::Create(DWORD)
{
    return new (std::nothrow) CHBlurFilter;
}

int CHBlurFilter::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    m_mode = static_cast<uint8_t>(args.IntAt(1));
    m_radius = static_cast<uint8_t>(std::clamp(args.IntAt(2), 1, 127));
    m_end = m_mode == 0 ? 2u * m_radius + 1 : 255u;
    if (m_mode != 0 && (g_pPixelLib == nullptr || g_PixelLibFuncs.crossFade == nullptr))
        return 5;
    m_progress = 0;
    return 0;
}

int CHBlurFilter::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : ScaleProgress(e, m_end, m_duration);
    return 0;
}

int CHBlurFilter::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    const uint32_t p = m_progress;
    if (m_mode == 0) {
        const bool old = p <= m_radius;
        const uint32_t radius = old ? p : 2u * m_radius + 1 - p;
        const CImage* picture = old ? a.first : a.second;
        const LONG px = old ? a.sx : a.tx, py = old ? a.sy : a.ty;
        if (radius == 0)
            return CopyArea(a, picture, px, py) ? 0 : 5;
        const RECT from{px, py, px + a.width, py + a.height};
        return BlurBlend(*a.dst, picture, static_cast<BYTE>(radius), 255, a.dx, a.dy, &from) == 0 ? 0 : 5;
    }
    const uint32_t b = m_radius * (p < 128 ? p : 255 - p) / 127;
    if (b == 0)
        return PixelLibOp25(*a.dst, a.first, a.second, p, 0, a.dx, a.dy, a.width, a.height, a.sx, a.sy, a.tx, a.ty) ==
                       0
                   ? 0
                   : 5;
    if (a.width == 0 || a.height == 0)
        return 0;
    // The old picture under the new one's blur.
    const RECT under{a.sx, a.sy, a.sx + a.width, a.sy + a.height};
    const RECT from{a.tx, a.ty, a.tx + a.width, a.ty + a.height};
    return BlurBlendOver(*a.dst, a.first, under, a.second, static_cast<BYTE>(b), static_cast<BYTE>(p), a.dx, a.dy,
                         &from) == 0
               ? 0
               : 5;
}
