#include "effects/screen_transition.h"

#include <cmath>
#include <new>

#include "display/image_object.h"
#include "effects/eased_time.h"
#include "platform/cos_table.h"
#include "platform/decimal_text.h"
#include "raster/draw_transition.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "raster/rotate_ops.h"

namespace {

bool Holds(const CImage* image, LONG x, LONG y, LONG width, LONG height)
{
    return image != nullptr && image->GetBits() != nullptr && image->GetBitsPerPixel() == 32 && x >= 0 &&
           y >= 0 && int64_t{x} + width <= image->GetWidth() && int64_t{y} + height <= image->GetHeight();
}

// A decimal word: a double, or a decimal text (null or unreadable: fallback).
double DecimalWord(const CEffectArgs& args, size_t i, double fallback)
{
    double value = fallback;
    if (!args.GetDouble(i, &value))
        value = ReadDecimalText(args.TextAt(i), fallback);
    return std::isfinite(value) ? value : fallback;
}

DWORD* PixelAt(CImage* image, LONG x, LONG y)
{
    return reinterpret_cast<DWORD*>(image->GetRowAddress(y)) + x;
}

bool HasLibrary()
{
    return g_pPixelLib != nullptr;
}

struct Placed {
    const CImage* picture;
    LONG shiftX, shiftY; // picture pixel = canvas point - origin + shift
    LONG originX, originY;
};

// Draws the part of a placed picture inside `canvasRect` (canvas coordinates, cut to the area):
// copied (opacity < 0) or blended at the opacity through entry 9.
bool DrawPlaced(const FilterArea& area, const Placed& placed, RECT canvasRect, int opacity)
{
    canvasRect.left = std::max(canvasRect.left, area.x);
    canvasRect.top = std::max(canvasRect.top, area.y);
    canvasRect.right = std::min<LONG>(canvasRect.right, area.x + area.width);
    canvasRect.bottom = std::min<LONG>(canvasRect.bottom, area.y + area.height);
    if (canvasRect.left >= canvasRect.right || canvasRect.top >= canvasRect.bottom)
        return true;
    const LONG srcX = canvasRect.left - placed.originX + placed.shiftX;
    const LONG srcY = canvasRect.top - placed.originY + placed.shiftY;
    const RECT from{srcX, srcY, srcX + (canvasRect.right - canvasRect.left),
                    srcY + (canvasRect.bottom - canvasRect.top)};
    const LONG toX = area.dx + (canvasRect.left - area.x);
    const LONG toY = area.dy + (canvasRect.top - area.y);
    if (opacity < 0)
        return area.dst->Copy(placed.picture, toX, toY, &from, false) == 0;
    return PixelLibBlend(*area.dst, placed.picture, 0, static_cast<DWORD>(opacity), 0, toX, toY, &from) == 0;
}

} // namespace

bool CheckFilterJob(const FilterJob& job, FilterArea* area)
{
    if (job.bandWidth < 0 || job.bandHeight < 0)
        return false;
    CImage* second = job.secondSource != nullptr ? job.secondSource : job.source;
    const LONG tx = job.secondSource != nullptr ? job.secondX : job.sourceX;
    const LONG ty = job.secondSource != nullptr ? job.secondY : job.sourceY;
    if (!Holds(job.destination, job.destinationX, job.destinationY, job.bandWidth, job.bandHeight) ||
        !Holds(job.source, job.sourceX, job.sourceY, job.bandWidth, job.bandHeight) ||
        !Holds(second, tx, ty, job.bandWidth, job.bandHeight))
        return false;
    *area = FilterArea{job.destination, job.source, second, job.bandX, job.bandY, job.bandWidth, job.bandHeight,
                       job.destinationX, job.destinationY, job.sourceX, job.sourceY, tx, ty};
    return true;
}

bool CopyArea(const FilterArea& area, const CImage* from, LONG fromX, LONG fromY)
{
    if (area.width == 0 || area.height == 0)
        return true;
    const RECT rect{fromX, fromY, fromX + area.width, fromY + area.height};
    return area.dst->Copy(from, area.dx, area.dy, &rect, false) == 0;
}

int CTimedFilter::TakeCommon(CImageObject* canvas, const CEffectArgs& args, uint32_t minDuration)
{
    if (canvas == nullptr || args.GetCount() == 0)
        return 1;
    const uint32_t duration = static_cast<uint32_t>(args.IntAt(0));
    if (duration == 0)
        return 1;
    if (canvas->GetBitsPerPixel() != 32)
        return 2;
    m_duration = std::max(duration, minDuration);
    m_width = canvas->GetImage()->GetWidth();
    m_height = canvas->GetImage()->GetHeight();
    m_restart = 1;
    return 0;
}

bool CTimedFilter::Restart(DWORD now, uint32_t* e)
{
    if (m_restart) {
        m_restart = 0;
        m_start = now;
        *e = 0;
        return true;
    }
    *e = now - m_start;
    return false;
}

// --- cross and rule ---

CPluginFilter* CCrossTransition::Create(DWORD)
{
    return new (std::nothrow) CCrossTransition;
}

int CCrossTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    if (!HasLibrary() || g_PixelLibFuncs.crossFade == nullptr)
        return 5;
    return 0;
}

int CCrossTransition::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : static_cast<uint8_t>(ScaleProgress(e, 255, m_duration));
    return 0;
}

int CCrossTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    return PixelLibOp25(*a.dst, a.first, a.second, m_progress, 0, a.dx, a.dy, a.width, a.height, a.sx, a.sy, a.tx,
                        a.ty) == 0
               ? 0
               : 5;
}

CPluginFilter* CRuleTransition::Create(DWORD)
{
    return new (std::nothrow) CRuleTransition;
}

int CRuleTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    CSurface* rule = args.GetSurface(1);
    // A rule smaller than the canvas was read outside its pixels.
    if (rule == nullptr || rule->GetBits() == nullptr || rule->GetBitsPerPixel() != 8 ||
        rule->GetWidth() < m_width || rule->GetHeight() < m_height)
        return 2;
    if (!HasLibrary() || g_PixelLibFuncs.ruleFade == nullptr)
        return 5;
    m_rule = rule;
    m_softness = static_cast<uint32_t>(args.IntAt(2));
    return 0;
}

int CRuleTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a) || m_rule == nullptr || a.x < 0 || a.y < 0 ||
        int64_t{a.x} + a.width > m_rule->GetWidth() || int64_t{a.y} + a.height > m_rule->GetHeight())
        return 5;
    return PixelLibOp26(*a.dst, a.first, a.second, m_rule, m_progress, m_softness, 0, a.dx, a.dy, a.width, a.height,
                        a.sx, a.sy, a.tx, a.ty, a.x, a.y) == 0
               ? 0
               : 5;
}

// --- scroll ---

CPluginFilter* CScrollTransition::Create(DWORD)
{
    return new (std::nothrow) CScrollTransition;
}

int CScrollTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    const uint8_t direction = static_cast<uint8_t>(args.IntAt(1));
    // Directions above 3 have no origins.
    if (direction > 3)
        return 2;
    const uint8_t mode = static_cast<uint8_t>(args.IntAt(2));
    m_direction = direction;
    m_style = mode <= 2 ? mode : (mode == 4 ? 1 : 0);
    m_fade = mode >= 3;
    if (m_fade && (!HasLibrary() || g_PixelLibFuncs.blend == nullptr))
        return 5;
    m_acceleration = DecimalWord(args, 3, 0.0);
    m_distance = static_cast<uint32_t>((direction & 1) == 0 ? m_width : m_height);
    m_position = 0;
    return 0;
}

int CScrollTransition::Step(DWORD now)
{
    uint32_t e = 0;
    if (Restart(now, &e)) {
        m_position = 0;
        if (m_fade)
            m_fadeOpacity = m_style != 0 ? 255 : 0;
        return 0;
    }
    const double eased = std::trunc(EasedTime(e, m_duration, m_acceleration));
    const uint32_t ePrime = static_cast<uint32_t>(std::clamp(eased, 0.0, static_cast<double>(m_duration)));
    m_position = ScaleProgress(ePrime, m_distance, m_duration);
    if (m_fade) {
        const uint32_t opacity = ScaleProgress(ePrime, 255, m_duration);
        m_fadeOpacity = static_cast<uint8_t>(m_style == 1 ? 255 - opacity : opacity);
    }
    return 0;
}

int CScrollTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    const LONG w = a.first->GetWidth(), h = a.first->GetHeight();
    const LONG p = static_cast<LONG>(m_position);
    // Origins of the old and the new picture on the canvas.
    LONG ox = 0, oy = 0, nx = 0, ny = 0;
    const bool oldMoves = m_style != 0, newMoves = m_style != 1;
    switch (m_direction) {
    case 0:
        ox = oldMoves ? p : 0;
        nx = newMoves ? p - w : 0;
        break;
    case 1:
        oy = oldMoves ? p : 0;
        ny = newMoves ? p - h : 0;
        break;
    case 2:
        ox = oldMoves ? -p : 0;
        nx = newMoves ? w - p : 0;
        break;
    default:
        oy = oldMoves ? -p : 0;
        ny = newMoves ? h - p : 0;
        break;
    }
    const Placed oldPic{a.first, a.sx - a.x, a.sy - a.y, ox, oy};
    const Placed newPic{a.second, a.tx - a.x, a.ty - a.y, nx, ny};
    RECT oldRect{ox, oy, ox + w, oy + h};
    RECT newRect{nx, ny, nx + w, ny + h};
    if (!m_fade) {
        // The lower picture only where the upper one leaves it uncovered.
        RECT& lower = m_style == 0 ? oldRect : newRect;
        const RECT& upper = m_style == 0 ? newRect : oldRect;
        if (m_style != 2) {
            // Trimmed on the side away from the upper picture.
            if ((m_direction & 1) == 0) {
                if (upper.left > lower.left)
                    lower.right = std::min(lower.right, upper.left);
                else
                    lower.left = std::max(lower.left, upper.right);
            } else {
                if (upper.top > lower.top)
                    lower.bottom = std::min(lower.bottom, upper.top);
                else
                    lower.top = std::max(lower.top, upper.bottom);
            }
        }
    }
    bool ok = true;
    if (m_fade && m_style == 1) {
        ok = DrawPlaced(a, newPic, newRect, -1) && DrawPlaced(a, oldPic, oldRect, m_fadeOpacity);
    } else {
        ok = DrawPlaced(a, oldPic, oldRect, -1) && DrawPlaced(a, newPic, newRect, m_fade ? m_fadeOpacity : -1);
    }
    return ok ? 0 : 5;
}

// --- wave ---

CPluginFilter* CWaveTransition::Create(DWORD)
{
    return new (std::nothrow) CWaveTransition;
}

int CWaveTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args, 2); code != 0)
        return code;
    if (g_pCosTable == nullptr || !HasLibrary() || g_PixelLibFuncs.fill32 == nullptr ||
        g_PixelLibFuncs.fadePixels == nullptr)
        return 5;
    m_mode = static_cast<uint32_t>(args.IntAt(1));
    m_limit = args.IntAt(2);
    m_rowStep = args.IntAt(3);
    m_firstColor = static_cast<uint32_t>(args.IntAt(4));
    m_lastColor = static_cast<uint32_t>(args.IntAt(5));
    Compute(0);
    return 0;
}

void CWaveTransition::Compute(uint32_t e)
{
    const uint64_t d = m_duration;
    const uint64_t bigE = std::min<uint64_t>(e, d);
    const uint64_t half = d / 2;
    const uint64_t e2 = e < half ? e : (e < d ? d - e : 0);
    const uint64_t k = e2 * 128 / half;
    const int64_t s = g_pCosTable->Cos(static_cast<int32_t>((k - 128) & 511));
    m_amplitude = (int64_t{m_limit} * s) >> 16;
    const int64_t step = m_rowStep;
    switch (m_mode) {
    case 0:
        m_rowStepNow = (step * s) >> 16;
        break;
    case 1:
        m_rowStepNow = static_cast<int64_t>(d - bigE) * step / static_cast<int64_t>(d);
        break;
    case 2:
        m_rowStepNow = step * static_cast<int64_t>(bigE) / static_cast<int64_t>(d);
        break;
    default:
        m_rowStepNow = step;
        break;
    }
    if (m_mode <= 2)
        m_phaseOffset = -static_cast<int64_t>(m_height / 2) * m_rowStepNow;
    else
        m_phaseOffset = (step * static_cast<int64_t>(bigE) / static_cast<int64_t>(d)) * m_limit;
    m_opacity = static_cast<uint32_t>(std::min<uint64_t>(255, bigE * 255 / d));
    const uint32_t t = m_opacity != 0 ? m_opacity + 1 : 0;
    const uint32_t rb1 = m_firstColor & 0xFF00FF, rb2 = m_lastColor & 0xFF00FF;
    const uint32_t g1 = m_firstColor & 0xFF00, g2 = m_lastColor & 0xFF00;
    const uint32_t rb = (rb1 + static_cast<uint32_t>((static_cast<int64_t>(rb2) - rb1) * t >> 8)) & 0xFF00FF;
    const uint32_t g = (g1 + static_cast<uint32_t>((static_cast<int64_t>(g2) - g1) * t >> 8)) & 0xFF00;
    m_fillColor = (m_firstColor & 0xFF000000) | rb | g;
}

int CWaveTransition::Step(DWORD now)
{
    uint32_t e = 0;
    Restart(now, &e);
    Compute(e);
    return 0;
}

int CWaveTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    if (g_pCosTable == nullptr || g_PixelLibFuncs.fill32 == nullptr || g_PixelLibFuncs.fadePixels == nullptr)
        return 5;
    const int64_t w = a.first->GetWidth();
    const int64_t areaLeft = a.x, areaRight = int64_t{a.x} + a.width;
    // Shifted rows read whole picture rows at the canvas's columns.
    const int64_t oldLeft = int64_t{a.sx} - a.x, newLeft = int64_t{a.tx} - a.x;
    if (oldLeft < 0 || oldLeft + w > a.first->GetWidth() || newLeft < 0 || newLeft + w > a.second->GetWidth())
        return 5;
    // Only bits 9..17 of the phase matter, so it may wrap.
    uint64_t u = static_cast<uint64_t>(int64_t{a.y}) * static_cast<uint64_t>(m_rowStepNow) +
                 static_cast<uint64_t>(m_phaseOffset);
    for (LONG row = 0; row < a.height; ++row, u += static_cast<uint64_t>(m_rowStepNow)) {
        const int64_t index = (static_cast<int64_t>(u) >> 9) - 128;
        int64_t o = (int64_t{g_pCosTable->Cos(static_cast<int32_t>(index & 511))} * m_amplitude) >> 16;
        // Shifts beyond the picture only fill.
        o = std::clamp<int64_t>(o, -w, w);
        const int64_t fillLeft = o > 0 ? 0 : w + o, fillRight = o > 0 ? o : w;
        const int64_t fl = std::max(fillLeft, areaLeft), fr = std::min(fillRight, areaRight);
        if (o != 0 && fl < fr) {
            const RECT rect{static_cast<LONG>(a.dx + (fl - a.x)), a.dy + row, static_cast<LONG>(a.dx + (fr - a.x)),
                            a.dy + row + 1};
            if (!g_PixelLibFuncs.fill32(a.dst, m_fillColor, &rect))
                return 5;
        }
        const int64_t cl = std::max(o, areaLeft), cr = std::min(o + w, areaRight);
        if (cl < cr) {
            DWORD* to = PixelAt(a.dst, static_cast<LONG>(a.dx + (cl - a.x)), a.dy + row);
            const LONG from = static_cast<LONG>(cl - o - a.x);
            const DWORD* s1 = PixelAt(a.first, a.sx + from, a.sy + row);
            const DWORD* s2 = PixelAt(a.second, a.tx + from, a.ty + row);
            if (g_PixelLibFuncs.fadePixels(to, s1, s2, static_cast<int>(cr - cl), m_opacity) != 0)
                return 5;
        }
    }
    return 0;
}

// --- mosaic ---

CPluginFilter* CMosaicTransition::Create(DWORD)
{
    return new (std::nothrow) CMosaicTransition;
}

int CMosaicTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    const uint8_t anchor = static_cast<uint8_t>(args.IntAt(1));
    m_anchor = anchor > 4 ? 0 : anchor;
    const int32_t block = std::max(1, args.IntAt(2));
    m_end = static_cast<uint32_t>(block) * 2;
    m_keepAspect = args.IntAt(3) != 0;
    m_progress = 0;
    return 0;
}

int CMosaicTransition::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : ScaleProgress(e, m_end, m_duration);
    return 0;
}

int CMosaicTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    const bool old = m_progress < m_end / 2;
    CImage* picture = old ? a.first : a.second;
    const LONG px = old ? a.sx : a.tx, py = old ? a.sy : a.ty;
    const uint64_t b = old ? m_progress : m_end - m_progress;
    if (b < 2 || a.width == 0 || a.height == 0)
        return CopyArea(a, picture, px, py) ? 0 : 5;
    const uint64_t w = static_cast<uint64_t>(a.width), h = static_cast<uint64_t>(a.height);
    uint64_t bx = b, by = b;
    if (m_keepAspect) {
        if (w < h)
            bx = std::max<uint64_t>(2, w * b / h);
        else
            by = std::max<uint64_t>(2, h * b / w);
    }
    // Blocks beyond the area are cut to it.
    bx = std::min(bx, w);
    by = std::min(by, h);
    auto first = [](uint64_t size, uint64_t block, bool centred, bool partial) {
        uint64_t width = block;
        if (centred)
            width = size > block ? ((size - block) / 2) % block : block;
        else if (partial)
            width = size % block;
        return width == 0 ? block : width;
    };
    const uint64_t firstW = first(w, bx, m_anchor == 0, m_anchor == 2 || m_anchor == 4);
    const uint64_t firstH = first(h, by, m_anchor == 0, m_anchor == 3 || m_anchor == 4);
    for (uint64_t y0 = 0, bh = firstH; y0 < h; y0 += bh, bh = by) {
        const uint64_t rows = std::min(bh, h - y0);
        for (uint64_t x0 = 0, bw = firstW; x0 < w; x0 += bw, bw = bx) {
            const uint64_t cols = std::min(bw, w - x0);
            const DWORD value = *PixelAt(picture, px + static_cast<LONG>(x0), py + static_cast<LONG>(y0));
            for (uint64_t r = 0; r < rows; ++r) {
                DWORD* to = PixelAt(a.dst, a.dx + static_cast<LONG>(x0), a.dy + static_cast<LONG>(y0 + r));
                std::fill(to, to + cols, value);
            }
        }
    }
    return 0;
}

// --- rotaxis ---

CPluginFilter* CRotAxisTransition::Create(DWORD)
{
    return new (std::nothrow) CRotAxisTransition;
}

int CRotAxisTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    if (g_pCosTable == nullptr || !g_pCosTable->BuildDoubleTable() || !HasLibrary() ||
        g_PixelLibFuncs.fill32 == nullptr)
        return 5;
    m_axis = static_cast<uint8_t>(args.IntAt(1));
    m_progress = 0;
    return 0;
}

int CRotAxisTransition::Step(DWORD now)
{
    uint32_t e = 0;
    m_progress = Restart(now, &e) ? 0 : ScaleProgress(e, 256, m_duration);
    return 0;
}

int CRotAxisTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    const bool old = m_progress <= 128;
    const CImage* picture = old ? a.first : a.second;
    const LONG px = old ? a.sx : a.tx, py = old ? a.sy : a.ty;
    const uint32_t index = old ? m_progress : m_progress + 256;
    if (index == 0 || index == 512)
        return CopyArea(a, picture, px, py) ? 0 : 5;
    if (g_pCosTable == nullptr || g_pCosTable->DoubleTable() == nullptr || g_PixelLibFuncs.fill32 == nullptr)
        return 5;
    // The whole area goes black (beside the four strips, the corners between the tilted picture
    // and its bounding box kept the previous frame), but for the pixels the picture covers.
    const RECT whole{a.dx, a.dy, a.dx + a.width, a.dy + a.height};
    const double c = g_pCosTable->DoubleTable()[index & 511];
    const double s = g_pCosTable->DoubleTable()[(index - 128) & 511];
    const double halfW = a.width / 2, halfH = a.height / 2;
    const double corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    POINT quad[4];
    for (int i = 0; i < 4; ++i) {
        const double x = corners[i][0], y = corners[i][1];
        double X = x, Y = y, Z = 0;
        switch (m_axis) {
        case 0:
            X = x * c, Z = -x * s;
            break;
        case 1:
            X = x * c, Z = x * s;
            break;
        case 2:
            Y = y * c, Z = y * s;
            break;
        default:
            Y = y * c, Z = -y * s;
            break;
        }
        const double sx = (2 * X / (Z + 2.0) + 1.0) * halfW;
        const double sy = (1.0 - 2 * Y / (Z + 2.0)) * halfH;
        // The far edge lands one past the last pixel when flat; keep it on the picture.
        quad[i].x = a.dx + std::clamp<LONG>(static_cast<LONG>(sx), 0, std::max<LONG>(0, a.width - 1));
        quad[i].y = a.dy + std::clamp<LONG>(static_cast<LONG>(sy), 0, std::max<LONG>(0, a.height - 1));
    }
    const RECT from{px, py, px + a.width, py + a.height};
    return MapQuadOnColour(*a.dst, picture, quad, &from, &whole, whole, 0) == 0 ? 0 : 5;
}

// --- trans ---

CPluginFilter* CTransTransition::Create(DWORD)
{
    return new (std::nothrow) CTransTransition;
}

int CTransTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    const uint8_t index = static_cast<uint8_t>(args.IntAt(1));
    // Indices past the table failed every Draw.
    if (index >= kTransitionCount)
        return 2;
    m_index = index;
    m_reverse = args.IntAt(2) != 0;
    m_progress = m_reverse ? 256 : 0;
    return 0;
}

int CTransTransition::Step(DWORD now)
{
    uint32_t e = 0;
    if (Restart(now, &e)) {
        m_progress = m_reverse ? 256 : 0;
        return 0;
    }
    const uint32_t p = ScaleProgress(e, 256, m_duration);
    m_progress = m_reverse ? 256 - p : p;
    return 0;
}

int CTransTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    if (!CopyArea(a, a.first, a.sx, a.sy))
        return 5;
    return DrawTransition(m_index, a.dst, a.second, static_cast<int32_t>(m_progress), a.dx - a.tx, a.dy - a.ty,
                          kTransitionCopy, nullptr) == 0
               ? 0
               : 5;
}

// --- tone ---

CPluginFilter* CToneTransition::Create(DWORD)
{
    return new (std::nothrow) CToneTransition;
}

int CToneTransition::SetParamsV(CImageObject* canvas, const CEffectArgs& args)
{
    if (const int code = TakeCommon(canvas, args); code != 0)
        return code;
    if (!HasLibrary() || g_PixelLibFuncs.fill32 == nullptr || g_PixelLibFuncs.fillColor == nullptr)
        return 5;
    m_color = static_cast<uint32_t>(args.IntAt(1)) & 0xFFFFFF;
    m_reverse = args.IntAt(2) != 0;
    m_progress = m_reverse ? 255 : 0;
    return 0;
}

int CToneTransition::Step(DWORD now)
{
    uint32_t e = 0;
    if (Restart(now, &e)) {
        m_progress = m_reverse ? 255 : 0;
        return 0;
    }
    const uint32_t p = ScaleProgress(e, 255, m_duration);
    m_progress = static_cast<uint8_t>(m_reverse ? 255 - p : p);
    return 0;
}

int CToneTransition::Draw(const FilterJob& job)
{
    FilterArea a{};
    if (!CheckFilterJob(job, &a))
        return 5;
    if (g_PixelLibFuncs.fill32 == nullptr || g_PixelLibFuncs.fillColor == nullptr)
        return 5;
    if (a.width == 0 || a.height == 0)
        return 0;
    const RECT rect{a.dx, a.dy, a.dx + a.width, a.dy + a.height};
    if (m_progress == 255)
        return g_PixelLibFuncs.fill32(a.dst, m_color, &rect) ? 0 : 5;
    if (!CopyArea(a, a.first, a.sx, a.sy))
        return 5;
    if (m_progress != 0 && !g_PixelLibFuncs.fillColor(a.dst, m_color, m_progress, &rect))
        return 5;
    return 0;
}
