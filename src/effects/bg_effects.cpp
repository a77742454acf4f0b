#include "effects/bg_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <new>

#include "display/display_objects.h"
#include "display/image_object.h"
#include "drawing/scene.h"
#include "effects/eased_time.h"
#include "platform/cos_table.h"
#include "platform/decimal_text.h"
#include "raster/image.h"
#include "raster/pixel_lib.h"
#include "raster/pixel_lib_ops.h"
#include "raster/row_kernels.h"
#include "raster/surface.h"
#include "winapi/simd_level.h"

namespace {

// A decimal word: a double of the pack, else its text (null or unreadable: fallback).
double DecimalWord(const CEffectArgs& args, size_t i, double fallback)
{
    double value = 0.0;
    if (args.GetDouble(i, &value))
        return std::isfinite(value) ? value : fallback;
    return ReadDecimalText(args.TextAt(i), fallback);
}

// The interpolation factor of the gliding effects at elapsed e < d. The eased time is taken as
// a fraction of the duration without wrapping: a curve rounding up to d must not jump back to 0.
double GlideFactor(uint32_t e, uint32_t d, double a)
{
    const double eased = std::trunc(EasedTime(e, d, a));
    const double t = std::clamp(eased / d, 0.0, 1.0);
    return (t >= 0.999 && t <= 1.001) ? 1.0 : t;
}

LONG Between(LONG from, LONG to, double t)
{
    const double v = from + std::trunc((double(to) - double(from)) * t);
    return static_cast<LONG>(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

CSurface* LayerPicture(const CScene* scene)
{
    CSurface* picture = nullptr;
    scene->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
    return picture;
}

// The canvas behind a display object given as a typed object of the pack.
CImageObject* DisplayCanvasWord(const CEffectArgs& args, size_t i)
{
    if (CImageObject* canvas = args.GetImageObject(i))
        return canvas;
    return GetDisplayCanvas(args.GetSurface(i));
}

// The part rect (x, y, w, h) of the picture stretched to the picture's own size.
void ShowView(CScene& layer, const LONG rect[4])
{
    CSurface* picture = LayerPicture(&layer);
    if (picture == nullptr)
        return;
    const RECT src{rect[0], rect[1], static_cast<LONG>(int64_t{rect[0]} + rect[2]),
                   static_cast<LONG>(int64_t{rect[1]} + rect[3])};
    layer.SetBackgroundView(0, 0, picture->GetWidth(), picture->GetHeight(), &src);
}

} // namespace

bool ComputeBgZoomRect(LONG pictureW, LONG pictureH, LONG canvasW, LONG canvasH, LONG cx, LONG cy, double zoom,
                       LONG out[4])
{
    if (!std::isfinite(zoom) || zoom == 0.0)
        return false;
    const double w = std::trunc(pictureW / zoom), h = std::trunc(pictureH / zoom);
    // A negative zoom or one so small that the rectangle leaves 32 bits has no end rectangle.
    if (!(w >= 1.0 && h >= 1.0 && w <= INT32_MAX && h <= INT32_MAX))
        return false;
    int64_t rw = static_cast<int64_t>(w), rh = static_cast<int64_t>(h);
    int64_t x = int64_t{cx} - rw / 2, y = int64_t{cy} - rh / 2;
    if (rw > canvasW) {
        x = 0;
        rw = canvasW;
    } else {
        x = std::clamp<int64_t>(x, 0, canvasW - rw);
    }
    if (rh > canvasH) {
        y = 0;
        rh = canvasH;
    } else {
        y = std::clamp<int64_t>(y, 0, canvasH - rh);
    }
    if (rw < 1 || rh < 1)
        return false;
    out[0] = static_cast<LONG>(x);
    out[1] = static_cast<LONG>(y);
    out[2] = static_cast<LONG>(rw);
    out[3] = static_cast<LONG>(rh);
    return true;
}

CPluginEffect* CBgZoomEffect::Create(DWORD)
{
    return new (std::nothrow) CBgZoomEffect;
}

int CBgZoomEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_layer == nullptr)
        return 1;
    const double zoom = DecimalWord(args, 2, 1.0);
    CSurface* picture = LayerPicture(m_layer);
    CImage* canvas = m_layer->GetTarget();
    if (zoom == 0.0 || picture == nullptr || canvas == nullptr)
        return 1;
    m_width = picture->GetWidth();
    m_height = picture->GetHeight();
    if (!ComputeBgZoomRect(m_width, m_height, canvas->GetWidth(), canvas->GetHeight(), args.IntAt(0), args.IntAt(1),
                           zoom, m_to))
        return 2;
    m_acceleration = DecimalWord(args, 3, 0.0);
    m_duration = static_cast<uint32_t>(std::max(args.IntAt(4), 0));
    RECT shown;
    if (m_layer->GetBackgroundViewSource(&shown)) {
        m_from[0] = shown.left;
        m_from[1] = shown.top;
        m_from[2] = shown.right - shown.left;
        m_from[3] = shown.bottom - shown.top;
    } else {
        m_from[0] = m_from[1] = 0;
        m_from[2] = m_width;
        m_from[3] = m_height;
    }
    if (m_duration == 0) {
        ShowView(*m_layer, m_to);
        return -1;
    }
    if (manager->Add(this, 0, 0, 0) != 0)
        return 3;
    BeginBusy();
    return 0;
}

int32_t CBgZoomEffect::Step(uint32_t now)
{
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_duration) {
        ShowView(*m_layer, m_to);
        return 1;
    }
    const double t = GlideFactor(e, m_duration, m_acceleration);
    LONG rect[4];
    for (int i = 0; i < 4; ++i)
        rect[i] = Between(m_from[i], m_to[i], t);
    ShowView(*m_layer, rect);
    return 0;
}

int CBgZoomEffect::QueryV(const CEffectArgs&, CEffectArgs* out)
{
    if (out != nullptr)
        for (int i = 0; i < 4; ++i)
            out->SetInt(i, m_to[i]);
    return 0;
}

CPluginEffect* CBgRotEffect::Create(DWORD)
{
    return new (std::nothrow) CBgRotEffect;
}

int CBgRotEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_layer == nullptr)
        return 1;
    m_toZoom = DecimalWord(args, 3, 1.0);
    if (m_toZoom == 0.0)
        return 1;
    m_toX = args.IntAt(0);
    m_toY = args.IntAt(1);
    m_toAngle = args.IntAt(2);
    m_acceleration = DecimalWord(args, 4, 0.0);
    m_duration = static_cast<uint32_t>(std::max(args.IntAt(5), 0));
    if (!m_layer->GetBackgroundRotation(&m_fromX, &m_fromY, &m_fromAngle, &m_fromZoom)) {
        m_fromX = m_fromY = 0;
        m_fromAngle = 0;
        m_fromZoom = 1.0;
    }
    if (m_duration == 0) {
        m_layer->SetBackgroundRotateZoom(m_toX, m_toY, m_toAngle, m_toZoom);
        return -1;
    }
    if (m_layer->GetTarget() == nullptr)
        return 2;
    if (manager->Add(this, 0, 0, 0) != 0)
        return 3;
    BeginBusy();
    return 0;
}

int32_t CBgRotEffect::Step(uint32_t now)
{
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_duration) {
        m_layer->SetBackgroundRotateZoom(m_toX, m_toY, m_toAngle, m_toZoom);
        return 1;
    }
    const double t = GlideFactor(e, m_duration, m_acceleration);
    const int angle = static_cast<int>(Between(m_fromAngle, m_toAngle, t));
    m_layer->SetBackgroundRotateZoom(Between(m_fromX, m_toX, t), Between(m_fromY, m_toY, t), angle,
                                     m_fromZoom + (m_toZoom - m_fromZoom) * t);
    return 0;
}

int ApplyBgZoomDirect(const CEffectArgs& in, CEffectArgs* out)
{
    CImageObject* canvas = DisplayCanvasWord(in, 0);
    CScene* layer = canvas != nullptr ? canvas->GetScene() : nullptr;
    if (layer == nullptr)
        return -1;
    const double zoom = DecimalWord(in, 3, 1.0);
    CSurface* picture = LayerPicture(layer);
    CImage* target = layer->GetTarget();
    if (zoom == 0.0 || picture == nullptr || target == nullptr)
        return 1;
    LONG rect[4];
    if (!ComputeBgZoomRect(picture->GetWidth(), picture->GetHeight(), target->GetWidth(), target->GetHeight(),
                           in.IntAt(1), in.IntAt(2), zoom, rect))
        return 2;
    if (out != nullptr)
        for (int i = 0; i < 4; ++i)
            out->SetInt(4 + i, rect[i]);
    ShowView(*layer, rect);
    return 0;
}

CPluginEffect* CBgLoopEffect::Create(DWORD)
{
    return new (std::nothrow) CBgLoopEffect;
}

int CBgLoopEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_layer == nullptr || m_layer->GetTarget() == nullptr)
        return 1;
    m_direction = static_cast<uint8_t>(args.IntAt(0) & 3);
    m_period = static_cast<uint32_t>(std::max(args.IntAt(1), 1));
    m_repeats = static_cast<uint32_t>(std::max(args.IntAt(2), 0));
    CSurface* picture = LayerPicture(m_layer);
    CImage* canvas = m_layer->GetTarget();
    const bool horizontal = m_direction < 2;
    m_span = horizontal ? canvas->GetWidth() : canvas->GetHeight();
    if (m_layer->CreateBackgroundWork(false) != 0)
        return 2;
    m_owned = 1;
    if (picture == nullptr || picture->GetBits() == nullptr) {
        Restore();
        return horizontal ? 3 : 4;
    }
    if (horizontal && picture->GetWidth() < canvas->GetWidth()) {
        Restore();
        return 3;
    }
    if (!horizontal && picture->GetHeight() < canvas->GetHeight()) {
        Restore();
        return 4;
    }
    Draw(0);
    if (manager->Add(this, 0, 0, 0) != 0) {
        Restore();
        return 5;
    }
    if (args.IntAt(3) != 0)
        BeginBusy();
    return 0;
}

int CBgLoopEffect::SetParamsV(const CEffectArgs& args)
{
    if (args.IntAt(0, 1) == 0)
        m_stop = 1;
    return 0;
}

int32_t CBgLoopEffect::Step(uint32_t now)
{
    uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_period) {
        if (m_repeats == 1 || (m_repeats == 0 && m_stop)) {
            Restore();
            return -1;
        }
        if (m_repeats > 1) {
            // A long stall may pass several periods: each counts.
            const uint32_t passed = e / m_period;
            if (passed >= m_repeats) {
                Restore();
                return -1;
            }
            m_repeats -= passed;
        }
        m_start += e / m_period * m_period;
        e = now - m_start;
    }
    // 64-bit: span × e overflowed 32 bits for long periods.
    const LONG offset = static_cast<LONG>(int64_t{m_span} * e / m_period);
    if (offset != m_lastOffset)
        Draw(offset);
    return 0;
}

void CBgLoopEffect::Draw(LONG offset)
{
    m_lastOffset = offset;
    CImage* work = m_layer->GetBackgroundWork();
    CSurface* picture = LayerPicture(m_layer);
    if (work == nullptr || picture == nullptr || m_span <= 0)
        return;
    // Work pixel p shows picture pixel (p - shift) wrapped at the span.
    const LONG shift = (m_direction == 1 || m_direction == 3) ? (m_span - offset) % m_span : offset % m_span;
    const LONG w = work->GetWidth(), h = work->GetHeight();
    const bool horizontal = m_direction < 2;
    // The other dimension may be shorter than the canvas: the rest shows the layer's colour.
    if ((horizontal && picture->GetHeight() < h) || (!horizontal && picture->GetWidth() < w)) {
        BYTE r = 0, g = 0, b = 0;
        m_layer->GetBackground(nullptr, nullptr, nullptr, &r, &g, &b);
        work->FillRect(r, g, b, nullptr);
    }
    if (horizontal) {
        const LONG rows = std::min(h, picture->GetHeight());
        const RECT head{0, 0, m_span - shift, rows};
        const RECT tail{m_span - shift, 0, m_span, rows};
        if (head.right > head.left)
            work->Copy(picture, shift, 0, &head, false);
        if (tail.right > tail.left)
            work->Copy(picture, 0, 0, &tail, false);
    } else {
        const LONG cols = std::min(w, picture->GetWidth());
        const RECT head{0, 0, cols, m_span - shift};
        const RECT tail{0, m_span - shift, cols, m_span};
        if (head.bottom > head.top)
            work->Copy(picture, 0, shift, &head, false);
        if (tail.bottom > tail.top)
            work->Copy(picture, 0, 0, &tail, false);
    }
    work->SetChanged(true);
    m_layer->InvalidateAll();
}

void CBgLoopEffect::Restore()
{
    if (!m_owned)
        return;
    m_owned = 0;
    m_layer->ReleaseBackgroundWork();
    m_layer->InvalidateAll();
}

int32_t RastRowShift(int32_t row, int32_t phase, int32_t amplitude, uint32_t wavelength)
{
    if (g_pCosTable == nullptr)
        return 0;
    // 64-bit: phase << 16 plus the row's advance passes 32 bits on tall pictures.
    const int64_t p = (int64_t{phase} << 16) + int64_t{row} * ((int64_t{1} << 25) / std::max<uint32_t>(wavelength, 1));
    const int32_t index = static_cast<int32_t>(((p >> 16) - 128) & 0x1FF);
    return static_cast<int32_t>((int64_t{g_pCosTable->Cos(index)} * amplitude) >> 16);
}

namespace {

// Whether the rows can be moved as raw memory: both pictures 32-bit and distinct, the picture
// without a colour key, and the work image's clip its whole area (as Copy would clip).
bool RawRowsAllowed(const CImage& work, const CSurface& picture)
{
    const RECT& clip = work.ClipRect();
    return work.GetBitsPerPixel() == 32 && picture.GetBitsPerPixel() == 32 && picture.GetBits() != nullptr &&
           picture.GetBits() != work.GetBits() && picture.GetColorKey() == kNoColorKey && clip.left == 0 &&
           clip.top == 0 && clip.right == work.GetWidth() && clip.bottom == work.GetHeight();
}

} // namespace

void DrawRastRows(CImage& work, const CSurface& picture, LONG px, LONG py, const RastWave& wave, bool fill, BYTE r,
                  BYTE g, BYTE b, bool raw)
{
    if (work.GetBits() == nullptr)
        return;
    const int64_t w = work.GetWidth(), h = work.GetHeight();
    const int64_t pw = picture.GetWidth(), ph = picture.GetHeight();
    const int64_t left = std::clamp<int64_t>(px, 0, w), right = std::clamp<int64_t>(int64_t{px} + pw, 0, w);
    const int64_t top = std::clamp<int64_t>(py, 0, h), bottom = std::clamp<int64_t>(int64_t{py} + ph, 0, h);
    const auto L = [](int64_t v) { return static_cast<LONG>(v); };
    if (left >= right || top >= bottom) {
        work.SetChanged(true);
        return;
    }
    raw = raw && RawRowsAllowed(work, picture);
    if (raw && fill) {
        // The uncovered ends of a row lie within |amplitude| of its sides: two fills of those
        // bands, then every row's covered span copied over them.
        const int64_t band = std::min<int64_t>(std::abs(int64_t{wave.amplitude}), right - left);
        if (band > 0) {
            const RECT leftBand{L(left), L(top), L(left + band), L(bottom)};
            const RECT rightBand{L(right - band), L(top), L(right), L(bottom)};
            work.FillRect(r, g, b, &leftBand);
            work.FillRect(r, g, b, &rightBand);
        }
    }
    const BYTE* source = picture.GetBits();
    const LONG sourcePitch = picture.GetPitch();
    // The shifted rows start at any pixel: the library's copy of such unaligned kilobytes was half
    // the speed of the vector rows.
    const bool vectorRows = UseAvx2();
    for (int64_t y = top; y < bottom; ++y) {
        const auto row = static_cast<LONG>(y - py);
        // Shifts beyond the picture are clipped; the uncovered pixels take the fill colour, or
        // without the fill flag keep the picture where it stands.
        const int64_t shift = RastRowShift(row, wave.phase, wave.amplitude, wave.wavelength);
        const int64_t from = std::clamp<int64_t>(int64_t{px} + shift, left, right);
        const int64_t to = std::clamp<int64_t>(int64_t{px} + shift + pw, left, right);
        if (raw) {
            BYTE* out = work.GetBits() + static_cast<ptrdiff_t>(y) * work.GetPitch();
            const BYTE* in = source + static_cast<ptrdiff_t>(row) * sourcePitch;
            const auto copy = [&](int64_t x0, int64_t x1, int64_t offset) {
                if (vectorRows && x1 - x0 >= 8)
                    CopyRows32Avx2(out + x0 * 4, in + (x0 - px - offset) * 4, 0, 0, static_cast<int>(x1 - x0), 1);
                else if (x0 < x1)
                    std::memcpy(out + x0 * 4, in + (x0 - px - offset) * 4, static_cast<size_t>(x1 - x0) * 4);
            };
            if (from < to) {
                copy(from, to, shift);
                if (!fill) {
                    copy(left, from, 0);
                    copy(to, right, 0);
                }
            } else if (!fill) {
                copy(left, right, 0);
            }
            continue;
        }
        // Only the uncovered ends take the fill or the unshifted picture: each pixel written once.
        const auto uncovered = [&](int64_t x0, int64_t x1) {
            if (x0 >= x1)
                return;
            if (fill) {
                const RECT line{L(x0), L(y), L(x1), L(y + 1)};
                work.FillRect(r, g, b, &line);
            } else {
                const RECT part{L(x0 - px), row, L(x1 - px), row + 1};
                work.Copy(&picture, L(x0), L(y), &part, false);
            }
        };
        if (from < to) {
            uncovered(left, from);
            uncovered(to, right);
            const RECT part{L(from - px - shift), row, L(to - px - shift), row + 1};
            work.Copy(&picture, L(from), L(y), &part, false);
        } else {
            uncovered(left, right);
        }
    }
    if (raw)
        work.MarkChanged(RECT{L(left), L(top), L(right), L(bottom)});
    work.SetChanged(true);
}

CPluginEffect* CBgRastEffect::Create(DWORD)
{
    return new (std::nothrow) CBgRastEffect;
}

int CBgRastEffect::PrepareLayer(CTimerManager* manager, CImageObject* target, bool fill)
{
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (g_pCosTable == nullptr || manager == nullptr || m_layer == nullptr)
        return 1;
    CImage* canvas = m_layer->GetTarget();
    if (canvas == nullptr)
        return 2;
    if (m_layer->GetBackgroundWork() != nullptr)
        return 3;
    m_fill = fill;
    CSurface* picture = LayerPicture(m_layer);
    if (m_layer->CreateBackgroundWork(false) != 0)
        return 4;
    m_owned = 1;
    if (picture == nullptr || picture->GetBits() == nullptr || picture->GetWidth() > canvas->GetWidth() ||
        picture->GetHeight() > canvas->GetHeight()) {
        Restore();
        return 5;
    }
    CImage* work = m_layer->GetBackgroundWork();
    if (m_fill) {
        BYTE r = 0, g = 0, b = 0;
        m_layer->GetBackground(nullptr, nullptr, nullptr, &r, &g, &b);
        work->FillRect(r, g, b, nullptr);
    } else {
        work->Copy(canvas, 0, 0, nullptr, false);
    }
    return 0;
}

int CBgRastEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    // Zero times used to divide by zero: they count as 1 ms.
    const auto atLeast1 = [](int32_t v) { return static_cast<uint32_t>(std::max(v, 1)); };
    m_max = args.IntAt(0);
    m_wavelength = atLeast1(args.IntAt(1));
    m_period = atLeast1(args.IntAt(2));
    m_hold = static_cast<uint32_t>(std::max(args.IntAt(3), 0));
    m_rampIn = atLeast1(args.IntAt(4));
    m_rampOut = atLeast1(args.IntAt(5));
    if (const int code = PrepareLayer(manager, target, args.IntAt(6) != 0); code != 0)
        return code;
    Draw(0, 0);
    if (manager->Add(this, 0, 0, 0) != 0) {
        Restore();
        return 6;
    }
    if (args.IntAt(7) != 0)
        BeginBusy();
    return 0;
}

int CBgRastEffect::SetParamsV(const CEffectArgs&)
{
    if (m_state >= 2)
        return 1;
    m_state = 2;
    return 0;
}

int CBgRastEffect::QueryV(const CEffectArgs&, CEffectArgs*)
{
    return m_state;
}

int32_t CBgRastEffect::Step(uint32_t now)
{
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (m_state == 0) {
        if (e >= m_rampIn) {
            m_state = 1;
            m_amplitude = m_max;
        } else {
            m_amplitude = static_cast<int32_t>(int64_t{m_max} * e / m_rampIn);
        }
    }
    if (m_state == 1) {
        m_amplitude = m_max;
        if (m_hold != 0 && e - m_rampIn >= m_hold)
            m_state = 2;
    }
    if (m_state == 2) {
        m_outStart = e;
        m_outFrom = m_amplitude;
        m_state = 3;
    }
    if (m_state == 3) {
        const uint32_t out = e - m_outStart;
        if (out >= m_rampOut) {
            Restore();
            return 1;
        }
        m_amplitude = static_cast<int32_t>(m_outFrom - int64_t{m_outFrom} * out / m_rampOut);
    }
    const auto phase = static_cast<int32_t>(int64_t{e % m_period} * m_phaseSteps / m_period);
    if (phase != m_lastPhase || m_amplitude != m_lastAmplitude)
        Draw(phase, m_amplitude);
    return 0;
}

void CBgRastEffect::Draw(int32_t phase, int32_t amplitude)
{
    m_lastPhase = phase;
    m_lastAmplitude = amplitude;
    CImage* work = m_layer->GetBackgroundWork();
    CSurface* picture = LayerPicture(m_layer);
    if (work == nullptr || picture == nullptr)
        return;
    LONG px = 0, py = 0;
    BYTE r = 0, g = 0, b = 0;
    m_layer->GetBackground(nullptr, &px, &py, &r, &g, &b);
    DrawRastRows(*work, *picture, px, py, RastWave{phase, amplitude, m_wavelength}, m_fill != 0, r, g, b, true);
    m_layer->InvalidateAll();
}

void CBgRastEffect::Restore()
{
    if (!m_owned)
        return;
    m_owned = 0;
    m_layer->ReleaseBackgroundWork();
    m_layer->InvalidateAll();
}

int BuildHazeTable(const char* text, uint32_t n, std::vector<int32_t>* table)
{
    if (text == nullptr)
        return 1;
    struct Group {
        int64_t m, q, a;
    };
    std::vector<Group> groups;
    const char* p = text;
    const auto skip = [&p] {
        while (*p == ' ' || *p == '\t' || *p == ',')
            ++p;
    };
    const auto number = [&p](int64_t* out) {
        while (*p == ' ')
            ++p;
        char* end = nullptr;
        const long long v = std::strtoll(p, &end, 10);
        if (end == p)
            return false;
        *out = std::clamp<long long>(v, INT32_MIN, INT32_MAX);
        p = end;
        while (*p == ' ')
            ++p;
        return true;
    };
    for (skip(); *p != '\0'; skip()) {
        Group g{};
        if (*p++ != '(' || !number(&g.m) || *p++ != ',' || !number(&g.q) || *p++ != ',' || !number(&g.a) ||
            *p++ != ')')
            return 2;
        groups.push_back(g);
    }
    if (groups.empty())
        return 2;
    n = std::clamp<uint32_t>(n, 1, 65536);
    try {
        table->assign(n, 0);
    } catch (const std::bad_alloc&) {
        return 4;
    }
    const int64_t step = (int64_t{1} << 25) / n;
    const auto count = static_cast<int64_t>(groups.size());
    for (uint32_t i = 0; i < n; ++i) {
        int64_t sum = 0;
        for (const Group& g : groups) {
            const int64_t index = ((int64_t{i} * step >> 16) * g.m + g.q) & 0x1FF;
            // 64-bit: table × A overflowed 32 bits for large amplitudes.
            sum += int64_t{g_pCosTable->Cos(static_cast<int32_t>(index))} * g.a;
        }
        (*table)[i] = static_cast<int32_t>(std::clamp<int64_t>((sum / count) >> 16, INT32_MIN, INT32_MAX));
    }
    return 0;
}

CPluginEffect* CBgHazeEffect::Create(DWORD)
{
    return new (std::nothrow) CBgHazeEffect;
}

int CBgHazeEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    // n is taken as 1..65536: a script's 2^31 used to allocate gigabytes; zero times count as 1.
    const uint32_t n = static_cast<uint32_t>(std::clamp(args.IntAt(1), 1, 65536));
    const auto atLeast1 = [](int32_t v) { return static_cast<uint32_t>(std::max(v, 1)); };
    m_phaseSteps = n;
    m_max = 512;
    m_period = atLeast1(args.IntAt(2));
    m_hold = static_cast<uint32_t>(std::max(args.IntAt(3), 0));
    m_rampIn = atLeast1(args.IntAt(4));
    m_rampOut = atLeast1(args.IntAt(5));
    if (const int code = PrepareLayer(manager, target, args.IntAt(6) != 0); code != 0)
        return code;
    if (const int code = BuildHazeTable(args.TextAt(0), n, &m_table); code != 0) {
        Restore();
        return code == 4 ? 4 : 6;
    }
    Draw(0, 0);
    if (manager->Add(this, 0, 0, 0) != 0) {
        Restore();
        return 7;
    }
    if (args.IntAt(7) != 0)
        BeginBusy();
    return 0;
}

void CBgHazeEffect::Draw(int32_t phase, int32_t level)
{
    m_lastPhase = phase;
    m_lastAmplitude = level;
    CImage* work = m_layer->GetBackgroundWork();
    CSurface* picture = LayerPicture(m_layer);
    if (work == nullptr || picture == nullptr || m_table.empty())
        return;
    LONG px = 0, py = 0;
    BYTE r = 0, g = 0, b = 0;
    m_layer->GetBackground(nullptr, &px, &py, &r, &g, &b);
    DrawHazeRows(*work, *picture, px, py, m_table, phase, level, m_fill != 0, r, g, b, true);
    m_layer->InvalidateAll();
}

void DrawHazeRows(CImage& work, const CSurface& picture, LONG px, LONG py, const std::vector<int32_t>& table,
                  int32_t phase, int32_t level, bool fill, BYTE r, BYTE g, BYTE b, bool raw)
{
    if (work.GetBits() == nullptr || table.empty())
        return;
    const int64_t w = work.GetWidth(), h = work.GetHeight();
    const int64_t pw = picture.GetWidth(), ph = picture.GetHeight();
    const auto n = static_cast<int64_t>(table.size());
    const auto L = [](int64_t v) { return static_cast<LONG>(v); };
    raw = raw && RawRowsAllowed(work, picture);
    // Work row y shows picture row y - py + o, shifted right by o.
    struct Span {
        int64_t row, from, to, o;
        bool inside;
    };
    const auto spanOf = [&](int64_t y) {
        // 64-bit: table × level overflowed 32 bits.
        const int64_t o = (int64_t{table[static_cast<size_t>((phase + y) % n)]} * level) >> 9;
        const int64_t row = y - py + o;
        const int64_t from = std::clamp<int64_t>(px + o, 0, w), to = std::clamp<int64_t>(px + o + pw, 0, w);
        return Span{row, from, to, o, row >= 0 && row < ph && from < to};
    };
    if (raw && fill) {
        // The uncovered ends of the shown rows lie in two bands at the sides: filled once, the
        // rows copied over them; rows that show nothing are filled whole.
        int64_t leftBand = 0, rightBand = w;
        for (int64_t y = 0; y < h; ++y) {
            const Span span = spanOf(y);
            if (span.inside) {
                leftBand = std::max(leftBand, span.from);
                rightBand = std::min(rightBand, span.to);
            } else {
                const RECT line{0, L(y), L(w), L(y + 1)};
                work.FillRect(r, g, b, &line);
            }
        }
        if (leftBand > 0) {
            const RECT band{0, 0, L(std::min(leftBand, w)), L(h)};
            work.FillRect(r, g, b, &band);
        }
        if (rightBand < w) {
            const RECT band{L(std::max<int64_t>(rightBand, 0)), 0, L(w), L(h)};
            work.FillRect(r, g, b, &band);
        }
    }
    for (int64_t y = 0; y < h; ++y) {
        const Span span = spanOf(y);
        if (raw) {
            if (span.inside)
                std::memcpy(work.GetBits() + static_cast<ptrdiff_t>(y) * work.GetPitch() + span.from * 4,
                            picture.GetBits() + static_cast<ptrdiff_t>(span.row) * picture.GetPitch() +
                                (span.from - px - span.o) * 4,
                            static_cast<size_t>(span.to - span.from) * 4);
            continue;
        }
        if (fill) {
            if (!span.inside) {
                const RECT line{0, L(y), L(w), L(y + 1)};
                work.FillRect(r, g, b, &line);
                continue;
            }
            if (span.from > 0) {
                const RECT line{0, L(y), L(span.from), L(y + 1)};
                work.FillRect(r, g, b, &line);
            }
            if (span.to < w) {
                const RECT line{L(span.to), L(y), L(w), L(y + 1)};
                work.FillRect(r, g, b, &line);
            }
        }
        if (span.inside) {
            const RECT part{L(span.from - px - span.o), L(span.row), L(span.to - px - span.o), L(span.row + 1)};
            work.Copy(&picture, L(span.from), L(y), &part, false);
        }
    }
    if (raw)
        work.MarkChanged(RECT{0, 0, L(w), L(h)});
    work.SetChanged(true);
}

CPluginEffect* CBgCrossEffect::Create(DWORD)
{
    return new (std::nothrow) CBgCrossEffect;
}

CBgCrossEffect::~CBgCrossEffect()
{
    Restore();
    delete m_copy;
}

int CBgCrossEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_layer == nullptr || g_pPixelLib == nullptr || LayerPicture(m_layer) == nullptr)
        return 1;
    CImageObject* back = target->GetBackCanvas();
    m_other = back != nullptr ? back->GetScene() : nullptr;
    if (m_other == nullptr || LayerPicture(m_other) == nullptr)
        return 3;
    CSurface* first = LayerPicture(m_layer);
    CSurface* second = LayerPicture(m_other);
    if (first->GetWidth() != second->GetWidth() || first->GetHeight() != second->GetHeight())
        return 4;
    m_width = first->GetWidth();
    m_height = first->GetHeight();
    m_period = static_cast<uint32_t>(std::max(args.IntAt(0), 1));
    m_repeats = static_cast<uint32_t>(std::max(args.IntAt(1), 0));
    m_mode = static_cast<uint8_t>(std::clamp(args.IntAt(2), 0, 2));
    if (args.IntAt(3) != 0) {
        std::swap(m_layer, m_other);
        std::swap(first, second);
    }
    if (m_mode != 0) {
        auto* picture = dynamic_cast<CImage*>(m_mode == 1 ? second : first);
        m_copy = new (std::nothrow) CImage;
        if (picture == nullptr || m_copy == nullptr || m_copy->CopyFrom(picture, 0) != 0)
            return 5;
    }
    if (m_layer->CreateBackgroundWork(false) != 0)
        return 5;
    m_owned = 1;
    m_layer->GetBackgroundWork()->Copy(first, 0, 0, nullptr, false);
    m_layer->InvalidateAll();
    if (manager->Add(this, 0, 0, 0) != 0) {
        Restore();
        return 3;
    }
    if (args.IntAt(4) != 0)
        BeginBusy();
    return 0;
}

int CBgCrossEffect::SetParamsV(const CEffectArgs&)
{
    m_stop = 1;
    return 0;
}

int32_t CBgCrossEffect::Step(uint32_t now)
{
    uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (e >= m_period) {
        const uint32_t passed = e / m_period;
        if (m_repeats == 1 || (m_repeats == 0 && m_stop) || (m_repeats > 1 && passed >= m_repeats)) {
            Restore();
            return -1;
        }
        if (m_repeats > 1)
            m_repeats -= passed;
        m_start += passed * m_period;
        e = now - m_start;
    }
    // 64-bit: e × 510 overflowed 32 bits for long periods.
    const auto level = static_cast<int32_t>(int64_t{e} * 510 / m_period);
    if (level != m_lastLevel) {
        m_lastLevel = level;
        Draw(level > 255 ? 510 - level : level);
    }
    return 0;
}

void CBgCrossEffect::Draw(int32_t level)
{
    CImage* work = m_layer->GetBackgroundWork();
    const CSurface* first = m_mode == 2 ? m_copy : LayerPicture(m_layer);
    const CSurface* second = m_mode == 1 ? m_copy : LayerPicture(m_other);
    if (work == nullptr || first == nullptr || second == nullptr)
        return;
    // A picture changed since the set-up to another size is not drawn.
    for (const CSurface* picture : {first, second})
        if (picture->GetWidth() != m_width || picture->GetHeight() != m_height)
            return;
    PixelLibOp25(*work, first, second, static_cast<DWORD>(level), 0, 0, 0, m_width, m_height, 0, 0, 0, 0);
    m_layer->InvalidateAll();
}

void CBgCrossEffect::Restore()
{
    if (!m_owned)
        return;
    m_owned = 0;
    m_layer->ReleaseBackgroundWork();
    m_layer->InvalidateAll();
}

bool ParseBlurPath(const char* text, std::vector<CBgBlurEffect::Point>* points)
{
    points->clear();
    if (text == nullptr)
        return false;
    const char* p = text;
    const auto skip = [&p] {
        while (*p == ' ' || *p == '\t' || *p == ',')
            ++p;
    };
    for (skip(); *p != '\0'; skip()) {
        if (*p++ != '(')
            return false;
        const char* close = std::strchr(p, ')');
        if (close == nullptr)
            return false;
        std::string group(p, close);
        p = close + 1;
        char* end = nullptr;
        const long x = std::strtol(group.c_str(), &end, 10);
        if (end == group.c_str() || *end != ',')
            return false;
        const char* rest = end + 1;
        const long y = std::strtol(rest, &end, 10);
        if (end == rest)
            return false;
        double zoom = 1.0;
        if (*end == ',')
            zoom = ReadDecimalText(end + 1, 1.0);
        if (!std::isfinite(zoom))
            zoom = 1.0;
        points->push_back({double(std::clamp<long>(x, INT32_MIN, INT32_MAX)),
                           double(std::clamp<long>(y, INT32_MIN, INT32_MAX)), zoom});
    }
    return points->size() >= 2;
}

namespace {

// The natural cubic spline's second derivatives over unit steps, divided by 6.
std::vector<double> SplineTable(const std::vector<CBgBlurEffect::Point>& points, bool useY)
{
    const size_t n = points.size();
    std::vector<double> m(n, 0.0);
    if (n < 3)
        return m;
    std::vector<double> diag(n, 4.0), rhs(n, 0.0);
    const auto v = [&](size_t i) { return useY ? points[i].y : points[i].x; };
    for (size_t i = 1; i + 1 < n; ++i)
        rhs[i] = v(i + 1) - 2.0 * v(i) + v(i - 1);
    for (size_t i = 2; i + 1 < n; ++i) {
        const double f = 1.0 / diag[i - 1];
        diag[i] -= f;
        rhs[i] -= f * rhs[i - 1];
    }
    for (size_t i = n - 2; i >= 1; --i) {
        m[i] = (rhs[i] - (i + 2 < n ? m[i + 1] : 0.0)) / diag[i];
        if (i == 1)
            break;
    }
    return m;
}

double BlurFactor(double x, double a)
{
    double t = x;
    if (a < 0.0)
        t = 1.0 - std::pow(1.0 - x, -a);
    else if (a > 0.0)
        t = std::pow(x, a);
    return std::isfinite(t) ? t : x;
}

LONG Trunc32(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<LONG>(std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
}

DWORD BlurMode(const CSurface* picture)
{
    const auto* image = dynamic_cast<const CImage*>(picture);
    return image != nullptr && image->HasAlpha() ? 2 : 0;
}

} // namespace

int BgBlurFinalState(const CScene& layer, LONG cx, LONG cy, double zoom, double turns, LONG out[4])
{
    if (zoom == 0.0 || !std::isfinite(zoom) || !std::isfinite(turns))
        return 1;
    CSurface* picture = LayerPicture(&layer);
    if (picture == nullptr || layer.GetTarget() == nullptr)
        return 2;
    const double w = picture->GetWidth(), h = picture->GetHeight();
    if (turns == 0.0) {
        out[0] = Trunc32(cx - cx / zoom + 0.5);
        out[1] = Trunc32(cy - cy / zoom + 0.5);
        out[2] = Trunc32(w / zoom + 0.5);
        out[3] = Trunc32(h / zoom + 0.5);
        return 0;
    }
    if (g_pCosTable == nullptr)
        return 3;
    if (!g_pCosTable->BuildDoubleTable())
        return 4;
    const double* table = g_pCosTable->DoubleTable();
    const int32_t k = Trunc32(turns * -512.0);
    // Unsigned: an angle of -2^31 steps overflowed k - 128.
    const double c = table[k & 0x1FF], s = table[(static_cast<uint32_t>(k) - 128u) & 0x1FF];
    const double dx = cx - std::floor(w / 2), dy = cy - std::floor(h / 2);
    out[0] = Trunc32(dx - (dy * s + dx * c) * zoom);
    out[1] = Trunc32((dx * s - dy * c - 1.0) * zoom + dy);
    out[2] = k;
    out[3] = 0;
    return 0;
}

bool ApplyBgBlurState(CScene& layer, double zoom, double turns, const LONG state[4])
{
    if (turns != 0.0)
        return layer.SetBackgroundRotateZoom(state[0], state[1], state[2], zoom);
    CImage* target = layer.GetTarget();
    const RECT view{state[0], state[1], static_cast<LONG>(int64_t{state[0]} + state[2]),
                    static_cast<LONG>(int64_t{state[1]} + state[3])};
    return target != nullptr && layer.SetBackgroundView(0, 0, target->GetWidth(), target->GetHeight(), &view);
}

int ApplyBgBlurDirect(const CEffectArgs& in, CEffectArgs* out)
{
    CImageObject* canvas = DisplayCanvasWord(in, 0);
    CScene* layer = canvas != nullptr ? canvas->GetScene() : nullptr;
    if (layer == nullptr)
        return -1;
    double zoom = 1.0, turns = 0.0;
    in.GetDouble(3, &zoom);
    in.GetDouble(4, &turns);
    LONG state[4];
    if (const int code = BgBlurFinalState(*layer, in.IntAt(1), in.IntAt(2), zoom, turns, state); code != 0)
        return code;
    if (out != nullptr)
        for (int i = 0; i < 4; ++i)
            out->SetInt(5 + i, state[i]);
    if (turns == 0.0 && (state[2] < 1 || state[3] < 1))
        return 4;
    if (!ApplyBgBlurState(*layer, zoom, turns, state))
        layer->InvalidateAll();
    return 0;
}

CPluginEffect* CBgBlurEffect::Create(DWORD)
{
    return new (std::nothrow) CBgBlurEffect;
}

CBgBlurEffect::~CBgBlurEffect()
{
    End();
    delete m_own;
}

int CBgBlurEffect::SetUpV(CTimerManager* manager, CImageObject* target, const CEffectArgs& args)
{
    if (g_pCosTable == nullptr || !g_pCosTable->BuildDoubleTable() || g_pPixelLib == nullptr)
        return 1;
    m_layer = target != nullptr ? target->GetScene() : nullptr;
    if (manager == nullptr || m_layer == nullptr)
        return 2;
    size_t w = 7;
    if (const char* path = args.TextAt(0); path != nullptr) {
        if (!ParseBlurPath(path, &m_points))
            return 3;
        const Point& last = m_points.back();
        m_cx = Trunc32(last.x);
        m_cy = Trunc32(last.y);
        m_startZoom = m_points.front().zoom;
        m_endZoom = last.zoom;
        m_routine = Routine::kLine;
        if (args.IntAt(1) != 0 && m_points.size() > 2) {
            m_routine = Routine::kSpline;
            m_splineX = SplineTable(m_points, false);
            m_splineY = SplineTable(m_points, true);
        }
        w = 2;
    } else {
        m_cx = args.IntAt(1);
        m_cy = args.IntAt(2);
        m_startZoom = DecimalWord(args, 3, 1.0);
        m_startAngle = Trunc32(DecimalWord(args, 4, 0.0) * -512.0);
        m_endZoom = DecimalWord(args, 5, 1.0);
        m_endTurns = DecimalWord(args, 6, 0.0);
        m_endAngle = Trunc32(m_endTurns * -512.0);
        m_routine = (m_startAngle == 0 && m_endAngle == 0) ? Routine::kZoom : Routine::kRotate;
    }
    m_duration = static_cast<uint32_t>(std::max(args.IntAt(w), 0));
    m_level = static_cast<uint8_t>(args.IntAt(w + 1));
    m_acceleration = DecimalWord(args, w + 2, 0.0);
    const bool flip1 = args.IntAt(w + 4) != 0, flip2 = args.IntAt(w + 5) != 0;
    m_onPicture = args.IntAt(w + 6) != 0;
    m_smoothing = static_cast<uint8_t>(args.IntAt(w + 7));
    const auto delay = static_cast<uint32_t>(std::max(args.IntAt(w + 8), 0));
    m_finalView = args.IntAt(w + 9) != 0;
    if (const char* file = args.TextAt(w + 3); file != nullptr) {
        m_own = new (std::nothrow) CImage;
        if (m_own == nullptr || m_own->Load(file, nullptr, 0, 0) != 0 || m_own->GetBits() == nullptr)
            return 4;
        m_finalView = 0;
    } else {
        CSurface* picture = LayerPicture(m_layer);
        if (picture == nullptr)
            return 5;
        if (flip1 || flip2 || m_onPicture) {
            const auto* image = dynamic_cast<const CImage*>(picture);
            m_own = new (std::nothrow) CImage;
            if (image == nullptr || m_own == nullptr || m_own->CopyFrom(image, 0) != 0)
                return 6;
        } else {
            m_source = picture;
        }
    }
    if (m_own != nullptr) {
        m_source = m_own;
        if (flip1)
            PixelLibOp16(*m_own, nullptr);
        if (flip2)
            PixelLibOp14(*m_own, nullptr);
    }
    if (m_onPicture) {
        m_layer->ReleaseBackgroundWork();
        if (dynamic_cast<CImage*>(LayerPicture(m_layer)) == nullptr)
            return 7;
        m_finalView = 0;
    } else {
        if (m_layer->CreateBackgroundWork(false) != 0)
            return 8;
        CImage* work = m_layer->GetBackgroundWork();
        CSurface* picture = LayerPicture(m_layer);
        if (picture == nullptr) {
            BYTE r = 0, g = 0, b = 0;
            m_layer->GetBackground(nullptr, nullptr, nullptr, &r, &g, &b);
            work->FillRect(r, g, b, nullptr);
        } else {
            const bool plain = m_routine == Routine::kLine || m_routine == Routine::kSpline
                                   ? m_points.front().zoom == 1.0
                                   : (m_startAngle == 0 && m_startZoom == 1.0);
            if (m_level < 255 && !plain)
                DrawAt(0.0, 255);
            else
                work->Copy(m_source, 0, 0, nullptr, false);
        }
    }
    m_lastA = m_lastB = m_lastZoom = NAN;
    Draw(0.0);
    if (manager->Add(this, delay, 0, 0) != 0) {
        End();
        return 8;
    }
    BeginBusy();
    return 0;
}

CImage* CBgBlurEffect::DrawTarget() const
{
    if (m_onPicture)
        return dynamic_cast<CImage*>(LayerPicture(m_layer));
    return m_layer->GetBackgroundWork();
}

void CBgBlurEffect::DrawAt(double t, DWORD level)
{
    m_drawLevel = level;
    Draw(t);
    m_drawLevel = m_level;
    m_lastA = m_lastB = m_lastZoom = NAN;
}

void CBgBlurEffect::Draw(double t)
{
    CImage* target = DrawTarget();
    if (target == nullptr || m_source == nullptr)
        return;
    if (m_routine == Routine::kRotate || m_routine == Routine::kZoom) {
        const double z = m_startZoom + (m_endZoom - m_startZoom) * t;
        if (m_routine == Routine::kZoom) {
            DrawZoom(m_cx, m_cy, z);
            return;
        }
        const int32_t k = Trunc32(m_startAngle + (double(m_endAngle) - m_startAngle) * t);
        if (k == m_lastA && z == m_lastZoom)
            return;
        m_lastA = k;
        m_lastZoom = z;
        const double* table = g_pCosTable->DoubleTable();
        const double c = table[k & 0x1FF], s = table[(static_cast<uint32_t>(k) - 128u) & 0x1FF];
        const double cx = m_cx, cy = m_cy;
        const PixelLibTransform transform{c * z, -s * z, s * z, c * z, cx - (cy * s + cx * c) * z,
                                          (cx * s - cy * c) * z + cy};
        RECT changed{};
        PixelLibOp12(*target, m_source, &transform, nullptr, BlurMode(m_source), m_smoothing, m_drawLevel, 0, 0, 0,
                     &changed);
        m_layer->InvalidateAll();
        return;
    }
    const auto n = static_cast<int64_t>(m_points.size());
    const double at = double(n - 1) * t;
    int64_t i = static_cast<int64_t>(std::trunc(at));
    double u = at - double(i);
    // t = 1 used to read the point after the last one: it stands on the last.
    if (i >= n - 1) {
        i = n - 2;
        u = 1.0;
    }
    i = std::max<int64_t>(i, 0);
    const Point& a = m_points[size_t(i)];
    const Point& b = m_points[size_t(i + 1)];
    const double z = a.zoom + (b.zoom - a.zoom) * u;
    double x = a.x + (b.x - a.x) * u, y = a.y + (b.y - a.y) * u;
    if (m_routine == Routine::kSpline) {
        const auto curve = [u](double p0, double p1, double m0, double m1) {
            return p0 + u * ((p1 - p0) - (2 * m0 + m1) + u * (3 * m0 + u * (m1 - m0)));
        };
        x = curve(a.x, b.x, m_splineX[size_t(i)], m_splineX[size_t(i + 1)]);
        y = curve(a.y, b.y, m_splineY[size_t(i)], m_splineY[size_t(i + 1)]);
    }
    DrawZoom(Trunc32(x), Trunc32(y), z);
}

void CBgBlurEffect::DrawZoom(double x, double y, double z)
{
    if (x == m_lastA && y == m_lastB && z == m_lastZoom)
        return;
    m_lastA = x;
    m_lastB = y;
    m_lastZoom = z;
    CImage* target = DrawTarget();
    const double w = std::trunc(m_source->GetWidth() * z + 0.5), h = std::trunc(m_source->GetHeight() * z + 0.5);
    // A zoom that leaves no size, or one beyond 32 bits, draws nothing.
    if (!(w >= 1.0 && h >= 1.0 && w <= INT32_MAX && h <= INT32_MAX))
        return;
    const SIZE size{static_cast<LONG>(w), static_cast<LONG>(h)};
    PixelLibStretchCopy(*target, m_source, BlurMode(m_source), m_smoothing, m_drawLevel, 0, &size,
                        Trunc32(x - (x * z + 0.5)), Trunc32(y - (y * z + 0.5)), nullptr);
    m_layer->InvalidateAll();
}

int32_t CBgBlurEffect::Step(uint32_t now)
{
    const uint32_t e = ElapsedSinceFirstStep(now, m_start, m_started);
    if (m_level != 255 && e < 16)
        return 0;
    if (e >= m_duration) {
        if (!m_finalView)
            Draw(1.0);
        End();
        return 1;
    }
    Draw(BlurFactor(double(e) / m_duration, m_acceleration));
    return 0;
}

void CBgBlurEffect::End()
{
    if (m_ended || m_layer == nullptr)
        return;
    m_ended = 1;
    if (m_onPicture)
        return;
    m_layer->ReleaseBackgroundWork();
    LONG state[4];
    if (!m_finalView || BgBlurFinalState(*m_layer, m_cx, m_cy, m_endZoom, m_endTurns, state) != 0 ||
        !ApplyBgBlurState(*m_layer, m_endZoom, m_endTurns, state))
        m_layer->InvalidateAll();
}
